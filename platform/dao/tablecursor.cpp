#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/conditionshape.h"
#include "platform/dao/cursors.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/readorder.h"

namespace dao {

namespace {

// Table-type recordset: a live cursor over the table in the order of its
// current index (or of its row numbers), reading small windows of rows with
// indexed range queries. Nothing of the table is held beyond the window, and
// a window is dropped whenever anyone has changed the file since it was read.

class TTableCursor : public TRecordsetCore {
 public:
  TTableCursor(TDatabaseCore& db, const TableDef& table, bool readOnly)
      : TRecordsetCore(db, table.name, true, readOnly), table_(table) {
    target_ = table.name;
    const int rowNumberField = table.CounterField();
    for (size_t i = 0; i < table.fields.size(); ++i) {
      FieldInfo f;
      f.def = table.fields[i];
      f.sourceTable = table.name;
      f.sourceField = f.def.name;
      f.updatable = !f.def.IsCounter();
      fields_.push_back(f);
      targetColumns_.push_back(static_cast<int>(i));
      // Memo and binary values longer than kInlineBytes are read when asked
      // for; a move keeps only their size. A typical memo comes with its row.
      bool large = f.def.type == dbMemo || f.def.type == dbLongBinary;
      for (const auto& index : table.indexes)
        for (const auto& c : index.columns)
          if (AnsiSameText(c.name, f.def.name)) large = false;
      deferred_.push_back(large);
      // The counter is the row number (the table's INTEGER PRIMARY KEY): it
      // is read once, as rowid, not a second time under its own name.
      if (static_cast<int>(i) == rowNumberField) {
        columnOf_.push_back(0);
        continue;
      }
      columnOf_.push_back(selectColumns_++);
      selectList_ += ", " + QuoteIdentifier(f.def.name);
    }
    // A table whose case-blind indexes are in another fold's order is read
    // without any: SQLite would search them by this one and miss rows.
    from_ = " FROM " + QuoteIdentifier(table.name) + (table.caseBlindStale ? " NOT INDEXED" : "");
    SetOrder(nullptr);
    if (!DoMoveFirst()) {
      bof_ = eof_ = true;
    }
  }

  std::int64_t RecordCount() override {
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    if (countStamp_ != stamp || count_ < 0) {
      StatementUse s(db_->Conn().Cached("SELECT count(*)" + from_));
      s->Step();
      count_ = s->ColumnInteger(0);
      countStamp_ = stamp;
    }
    return count_;
  }

  // Counted once per state of the file; the moves after it keep it up to
  // date while nobody changes the file. With the keys in order at hand the
  // row is found among them instead of counting the rows before it.
  std::int32_t AbsolutePosition() override {
    if (!onRow_ || deleted_) return -1;
    if (InReadOrder()) {
      auto here = readOrder_->at.find(current_.rowid);
      return here == readOrder_->at.end() ? -1 : static_cast<std::int32_t>(here->second);
    }
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    if (!PositionKnown(stamp) && KeysCurrent(stamp)) {
      Placed(static_cast<std::int64_t>(PlaceOf(current_)), stamp);
      return static_cast<std::int32_t>(position_);
    }
    if (!PositionKnown(stamp)) {
      std::int64_t before = 0;
      for (const auto& q : Regions(false, KeyOf(current_), false, true)) {
        auto& s = db_->Conn().Cached("SELECT count(*)" + from_ + " WHERE " + q.where);
        StatementUse use(s);
        for (size_t i = 0; i < q.binds.size(); ++i) s.Bind(static_cast<int>(i + 1), q.binds[i]);
        s.Step();
        before += s.ColumnInteger(0);
      }
      Placed(before, stamp);
    }
    return static_cast<std::int32_t>(position_);
  }

  // The row's key is read from the keys in order, built when the file
  // changed since they were read (unless only this cursor changed it).
  // Near the start, counting the rows before is cheaper than reading them all.
  void SetAbsolutePosition(std::int32_t position) override {
    LeaveEdit();
    if (position < 0) Fail(errInvalidArgument);
    if (InReadOrder()) {
      if (static_cast<size_t>(position) >= readOrder_->rowids.size()) Fail(errInvalidArgument);
      MoveInReadOrder(static_cast<size_t>(position));
      return;
    }
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    if (!KeysCurrent(stamp)) {
      if (position < kCountedPositions) {
        OffsetPosition(position, stamp);
        return;
      }
      BuildKeys(stamp);
    }
    if (static_cast<size_t>(position) >= keys_.size()) Fail(errInvalidArgument);
    if (!TakeRow(keys_[static_cast<size_t>(position)], stamp)) {
      // Current keys name rows that exist; should one not, the slow count
      // still gives the right row.
      DropKeys();
      OffsetPosition(position, stamp);
      return;
    }
    Placed(position, stamp);
  }

  void OffsetPosition(std::int32_t position, std::uint64_t stamp) {
    auto& s = db_->Conn().Cached("SELECT rowid" + selectList_ + from_ + " ORDER BY " + OrderBy(true) +
                                 " LIMIT 1 OFFSET ?");
    StatementUse use(s);
    s.Bind(1, static_cast<std::int64_t>(position));
    if (!s.Step()) Fail(errInvalidArgument);
    Take({ReadRow(s)}, true, stamp);
    Placed(position, stamp);
  }

  const std::vector<IndexDef>& Indexes() const override { return table_.indexes; }
  std::string Index() const override { return index_ ? index_->name : std::string(); }

  // Bands are answered from the index. A table read without its indexes
  // reads them through, still in SQLite, all at once: each would cost a
  // scan, and one after the other in the order they come in order alike.
  void SetRowCondition(const std::string& condition, const std::vector<std::string>& bands,
                       const std::vector<Cell>& givenPoint) override {
    CheckOpen();
    // A point of columns whose order is no text's, which the stored values
    // compare in alone; otherwise every part of the index asks every band.
    std::vector<Cell> point = bands.size() >= 3 && givenPoint.size() < order_.size() ? givenPoint : std::vector<Cell>{};
    for (size_t k = 0; k < point.size(); ++k)
      if (order_[k].field < 0 || IsTextColumn(order_[k]) || order_[k].expr == "rowid") point.clear();
    point_ = std::move(point);
    if (condition == condition_ && bands == bands_) return;
    window_.clear();
    condition_.clear();
    bands_.clear();
    conditionShape_ = {};
    bandShapes_.clear();
    bandKeys_.clear();
    ++conditionSerial_;  // rows read under the one before no longer tell
    ConditionShape shape = ShapeOf(condition);
    std::vector<std::string> read = bands;
    if (table_.caseBlindStale && bands.size() > 1) {
      std::string any;
      for (const std::string& band : bands) any += (any.empty() ? "(" : " OR (") + band + ")";
      read = {any};
    }
    std::vector<ConditionShape> bandShapes;
    for (const std::string& band : read) bandShapes.push_back(ShapeOf(band));
    try {
      if (!condition.empty()) TryShape(shape);
      for (const ConditionShape& band : bandShapes) TryShape(band);
    } catch (const TDaoFailure&) {
      Fail(errInvalidArgument, condition);
    }
    condition_ = condition;
    bands_ = bands;
    conditionShape_ = std::move(shape);
    bandShapes_ = std::move(bandShapes);
    bandKeys_.clear();
    for (const std::string& band : read) bandKeys_.push_back(condition + '\x1F' + band);
  }

  bool CurrentMeetsRowCondition() const override {
    return !condition_.empty() && current_.chosenBy == conditionSerial_ && onRow_ && !deleted_ &&
           mode_ == dbEditNone;
  }

  void SetIndex(const std::string& name) override {
    CheckOpen();
    const IndexDef* index = table_.FindIndex(name);
    if (index == nullptr) Fail(errNoSuchIndex, name);
    LeaveEdit();
    SetOrder(index);
    window_.clear();
    DropKeys();
    if (!DoMoveFirst()) {
      bof_ = eof_ = true;
      onRow_ = false;
    }
  }

  void Seek(const std::string& comparison, const std::vector<Cell>& keys) override {
    CheckOpen();
    if (index_ == nullptr) Fail(errNoCurrentIndex);
    if (keys.empty() || keys.size() > index_->columns.size()) Fail(errInvalidArgument);
    std::string op = Trim(comparison);
    LeaveEdit();
    if (InReadOrder()) {
      SeekInReadOrder(op, keys);
      return;
    }
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    std::vector<Row> rows;
    // A text holding a NUL reads as its start, where a text field ends: it
    // sorts after the key it reads as, first among the texts that go on
    // from it. The key's equals are the rows whose values read as it.
    if (op == "=" || op == ">=") {
      rows = Fetch(true, keys, true, true, 1);
      if (op == "=" && !rows.empty() && !ReadsAs(rows[0], keys)) rows.clear();
    } else if (op == ">" || op == "<=") {
      std::optional<Row> last;  // the last row past the key that reads as it
      rows = Fetch(true, keys, false, true, 1);
      while (!rows.empty() && ReadsAs(rows[0], keys)) {
        last = std::move(rows[0]);
        rows = Fetch(true, KeyOf(*last), false, true, 1);
      }
      if (op == "<=") rows = last ? std::vector<Row>{std::move(*last)} : Fetch(false, keys, true, true, 1);
    } else if (op == "<") {
      rows = Fetch(false, keys, false, true, 1);
    } else {
      Fail(errInvalidArgument);
    }
    noMatch_ = rows.empty();
    if (noMatch_) return;
    Take(std::move(rows), true, stamp);
  }

 protected:
  bool DoMoveFirst() override {
    if (InReadOrder()) return !readOrder_->rowids.empty() && MoveInReadOrder(0);
    return Start(true);
  }
  bool DoMoveLast() override {
    if (InReadOrder()) return !readOrder_->rowids.empty() && MoveInReadOrder(readOrder_->rowids.size() - 1);
    return Start(false);
  }

  // Each move asks once whether anyone changed the file: a window read
  // before any change is never used after it.
  bool DoMoveNext() override { return Step(true); }
  bool DoMovePrevious() override { return Step(false); }

  // One row on: from the window while it holds one and nobody has written
  // since, else read a window's step further on.
  bool Step(bool forward) {
    if (InReadOrder()) return StepInReadOrder(forward);
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    std::int64_t to = PositionKnown(stamp) ? position_ + (forward ? 1 : -1) : -1;
    const bool inWindow = forward ? wpos_ + 1 < window_.size() : wpos_ > 0 && wpos_ < window_.size();
    if (WindowValid(stamp) && inWindow) {
      Reach(forward ? wpos_ + 1 : wpos_ - 1);
    } else {
      Grow(forward);
      // Read to the end while nobody has written since: no row comes beyond.
      bool& noneBeyond = forward ? noneAfter_ : noneBefore_;
      if (WindowValid(stamp) && noneBeyond) return false;
      bool end = false;
      std::vector<Row> rows = Fetch(forward, KeyOf(current_), false, true, step_, &end);
      if (rows.empty()) return false;
      Take(std::move(rows), forward, stamp);
      noneBeyond = end;
    }
    Placed(to, stamp);
    return true;
  }

  std::int64_t BookmarkOf(const Row& row) const override { return row.rowid; }
  std::int64_t AppendedBookmark(const Row& row) const override { return row.rowid; }

  bool DoSetBookmark(std::int64_t bookmark) override { return TakeRow(bookmark, db_->Conn().ChangeStamp()); }

  // The value comes with its row, read again in the same statement. When
  // another user changed the row since the move, the row is taken whole as
  // it stands now: no field of it may come from another version, nor be
  // measured by another version's size.
  Cell LoadDeferred(std::int64_t rowid, int field) override {
    auto& s = db_->Conn().Cached("SELECT rowid" + selectList_ + ", " +
                                 QuoteIdentifier(fields_[static_cast<size_t>(field)].def.name) + from_ +
                                 " WHERE rowid=?");
    StatementUse use(s);
    s.Bind(1, rowid);
    if (!s.Step()) Fail(errRecordDeleted);
    Cell value = s.Column(selectColumns_);
    Row now = ReadRow(s);
    if (!SameVersion(now, current_)) {
      current_ = std::move(now);
      ++rowReads_;
    }
    return value;
  }

  // The row a move read is the row as it stands while nobody has written
  // since: not other users (the stamp of the look just taken), nor this
  // connection (its writes).
  bool CurrentIsLatest() override {
    Connection& c = db_->Conn();
    if (!WindowValid(c.SeenStamp()) || takenWrites_ != c.LocalWrites()) return false;
    return std::none_of(current_.cells.begin(), current_.cells.end(), [](const Cell& v) { return v.deferred; });
  }

  // The rows read ahead are stale now, unless nobody but this cursor can have
  // written since they were read (its transaction holds the file) and its
  // write changed its own row alone, keeping the row's place: then they hold
  // as they are. Otherwise, as writes often come between moves (edit,
  // update, next), the next move reads just the row it needs, and the
  // read-ahead grows again only while no write intervenes.
  void Changed() override {
    Connection& c = db_->Conn();
    if (windowHeld_ && editedAlone_ && !deleted_ && c.TransactionDepth() > 0 && KeptPlace()) {
      stamp_ = c.ChangeStamp();
      takenWrites_ = c.LocalWrites();
    } else {
      window_.clear();
      afterWrite_ = true;
    }
    if (!keysKept_) return;  // an addition was carried already, or the keys drop
    if (deleted_) {
      KeepKeys([&] { ForgetKey(current_.rowid); });
    } else if (!KeptPlace()) {
      KeepKeys([&] {
        ForgetKey(current_.rowid);
        keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(PlaceOf(current_)), current_.rowid);
      });
    } else {
      KeepKeys([] {});
    }
  }

  void Appended(const Row& row) override {
    KeepKeys([&] { keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(PlaceOf(row)), row.rowid); });
  }

  // The keys hold through this cursor's own writes, each carried into them;
  // anyone else's write drops them.
  void Writing() override {
    Connection& c = db_->Conn();
    const std::uint64_t stamp = c.ChangeStamp();
    windowHeld_ = WindowValid(stamp) && takenWrites_ == c.LocalWrites();
    keysKept_ = KeysCurrent(stamp);
  }
  void RowNumbered() override { KeepKeys([] {}); }

 private:
  struct OrderColumn {
    std::string expr;  // quoted column, or rowid
    int field;         // -1 for the row number
    bool descending;
    bool notNull;
  };
  struct Region {
    std::string where;
    std::vector<Cell> binds;
    size_t level = 0;  // the key's first columns the region holds equal
    int side = 0;      // then the rows after (1) or before (-1) the key's value of the next; 0: none
  };

  void SetOrder(const IndexDef* index) {
    index_ = index;
    order_.clear();
    if (index != nullptr)
      for (const auto& c : index->columns) {
        int f = table_.FieldIndex(c.name);
        if (f < 0) continue;
        const FieldDef& def = table_.fields[static_cast<size_t>(f)];
        // A counter is the row number: its order is the row order.
        if (def.IsCounter() && !c.descending) {
          order_.push_back({"rowid", f, false, true});
          continue;
        }
        order_.push_back({QuoteIdentifier(def.name), f, c.descending, def.required || def.IsCounter()});
      }
    bool rowidLast = !order_.empty() && order_.back().expr == "rowid";
    if (!rowidLast) order_.push_back({"rowid", -1, false, true});
  }

  std::vector<Cell> KeyOf(const Row& row) const {
    std::vector<Cell> key;
    for (const auto& c : order_)
      key.push_back(c.expr == "rowid" ? Cell::MakeInteger(row.rowid) : row.cells[static_cast<size_t>(c.field)]);
    return key;
  }

  // Whether the edit just written left the row's order columns as they were.
  bool KeptPlace() const {
    for (const auto& c : order_)
      if (c.field >= 0 && !(current_.cells[static_cast<size_t>(c.field)] == snapshot_[static_cast<size_t>(c.field)]))
        return false;
    return true;
  }

  std::string OrderBy(bool forward) const {
    std::string out;
    for (const auto& c : order_) {
      if (!out.empty()) out += ", ";
      out += c.expr + ((c.descending != !forward) ? " DESC" : "");
    }
    return out;
  }

  // The conditions, in traversal order, that select the rows after (forward)
  // or before (backward) `key` — a prefix of the order columns. Each is a
  // prefix equality plus one range on the next column, which SQLite answers
  // from the index in O(log n).
  std::vector<Region> Regions(bool forward, const std::vector<Cell>& key, bool includeEqual,
                              bool includeBeyond) const {
    std::vector<Region> out;
    auto equalPrefix = [&](size_t n, Region& r) {
      for (size_t i = 0; i < n; ++i) {
        if (!r.where.empty()) r.where += " AND ";
        if (key[i].IsNull()) {
          r.where += order_[i].expr + " IS NULL";
        } else {
          r.where += order_[i].expr + "=?";
          r.binds.push_back(key[i]);
        }
      }
    };
    if (includeEqual) {
      Region r;
      equalPrefix(key.size(), r);
      if (r.where.empty()) r.where = "1";
      r.level = key.size();
      out.push_back(r);
    }
    if (!includeBeyond) return out;
    for (size_t level = key.size(); level-- > 0;) {
      const OrderColumn& c = order_[level];
      const Cell& v = key[level];
      bool greater = forward != c.descending;  // in SQLite's own order, where Null is least
      std::vector<std::pair<std::string, bool>> parts;  // condition, binds v
      if (greater) {
        parts.push_back(v.IsNull() ? std::make_pair(c.expr + " IS NOT NULL", false)
                                   : std::make_pair(c.expr + ">?", true));
      } else if (!v.IsNull()) {
        parts.push_back({c.expr + "<?", true});
        if (!c.notNull) parts.push_back({c.expr + " IS NULL", false});
      }
      for (const auto& [cond, bindsValue] : parts) {
        Region r;
        equalPrefix(level, r);
        if (!r.where.empty()) r.where += " AND ";
        r.where += cond;
        if (bindsValue) r.binds.push_back(v);
        r.level = level;
        r.side = forward ? 1 : -1;  // in the index's order, whichever way its column runs
        out.push_back(r);
      }
    }
    return out;
  }

  // The rows after (or before) `key`, at most `limit` of them, in the order
  // of the moves. `whole` tells whether every such row was read: a read that
  // found rows in one band ends there, short of the limit, to spare the
  // statements of the bands after it (a Locate needs its first row alone).
  std::vector<Row> Fetch(bool forward, const std::vector<Cell>& key, bool includeEqual, bool includeBeyond,
                         size_t limit, bool* whole = nullptr) {
    std::vector<Row> rows = Spare();
    size_t read = 0;
    bool cut = false;
    std::string order = " ORDER BY " + OrderBy(forward) + " LIMIT ?";
    for (const auto& region : Regions(forward, key, includeEqual, includeBeyond)) {
      cut = ReadBands(forward, BandsFor(region, key), [&](const ConditionShape* band) {
        StatementUse s = Select("SELECT rowid" + selectList_ + from_ + " WHERE " + region.where + BandTerm(band) +
                                Restriction(" AND ") + order);
        int n = 1;
        for (const auto& b : region.binds) s->Bind(n++, b);
        n = BindConditions(*s, n, band);
        s->Bind(n, static_cast<std::int64_t>(limit - read));
        return read = ReadRows(*s, rows, read);
      }, read, limit, false);
      if (read >= limit || cut) break;
    }
    KeepSurplus(rows, read);
    if (!forward) std::reverse(rows.begin(), rows.end());
    if (whole != nullptr) *whole = read < limit && !cut;
    return rows;
  }

  // The bands a region of the index can hold rows of (see put_RowCondition's
  // point): where the region lies wholly before the point, the first; within
  // it, those between; after it, the last; otherwise all. A band that cannot
  // hold rows there would still cost a look at every row of the region.
  std::pair<size_t, size_t> BandsFor(const Region& region, const std::vector<Cell>& key) const {
    const size_t n = bandShapes_.size();
    if (point_.empty() || n < 3) return {0, n};
    const size_t p = point_.size();
    const auto order = [&](size_t k) {  // the key's value against the point's, in the index's order
      const int c = CompareStored(key[k], point_[k]);
      return order_[k].descending ? -c : c;
    };
    const std::pair<size_t, size_t> before{0, 1}, within{1, n - 1}, after{n - 1, n};
    for (size_t k = 0; k < std::min(region.level, p); ++k)
      if (const int c = order(k); c != 0) return c < 0 ? before : after;
    if (region.level >= p) return within;
    if (region.side > 0 && order(region.level) >= 0) return after;
    if (region.side < 0 && order(region.level) <= 0) return before;
    return {0, n};
  }

  // Runs `read` for each band in the order of a read in that direction (once,
  // with none, without bands), each answering the rows read so far, until
  // `limit` are; answers whether it stopped at a band that found rows while
  // bands remained after it. A band found empty in the file's present state
  // is passed over: a Locate's bands about its point (the values read
  // otherwise, past the field's width) mostly hold nothing, and each would
  // cost a statement of its own. `whole`: each read takes the band whole
  // (not only what lies after a row), so that an empty one is known empty.
  // `span`: the bands [first, last) the part of the index read can hold rows of.
  template <class Read>
  bool ReadBands(bool forward, std::pair<size_t, size_t> span, Read&& read, size_t had, size_t limit, bool whole) {
    if (bandShapes_.empty()) {
      read(nullptr);
      return false;
    }
    const std::uint64_t stamp = db_->Conn().ChangeStamp();
    const size_t count = span.second - span.first;
    for (size_t k = 0; k < count; ++k) {
      const size_t i = forward ? span.first + k : span.second - 1 - k;
      auto known = emptyBands_.find(bandKeys_[i]);
      if (known != emptyBands_.end() && known->second == stamp) continue;
      const size_t now = read(&bandShapes_[i]);
      if (whole && now == had) {
        if (emptyBands_.size() >= kEmptyBands) emptyBands_.clear();
        emptyBands_[bandKeys_[i]] = stamp;
      }
      if (now >= limit) return false;
      if (now > had) return k + 1 < count;
    }
    return false;
  }

  // The rows of the window and those kept spare, for the next read to reuse
  // their storage: a scan then allocates next to nothing per row. The window
  // is left empty.
  std::vector<Row> Spare() {
    std::vector<Row> rows = std::move(window_);
    window_.clear();
    for (Row& row : spare_) rows.push_back(std::move(row));
    spare_.clear();
    return rows;
  }

  // Cuts `rows` to the first `count`, keeping the others' storage for the
  // next read instead of freeing it: a read shorter than the last (the first
  // of a scan starts small again) would otherwise free a whole window of
  // rows, memos included, and the reads after it allocate them anew.
  void KeepSurplus(std::vector<Row>& rows, size_t count) {
    for (size_t i = count; i < rows.size(); ++i) spare_.push_back(std::move(rows[i]));
    rows.resize(count);
  }

  // Reads the statement's rows into `rows` after the first `read` of them,
  // overwriting the rows there before appending; answers the new count.
  // Every statement reading them applies the row condition (Restriction).
  size_t ReadRows(Statement& s, std::vector<Row>& rows, size_t read) const {
    while (s.Step()) {
      if (read == rows.size()) rows.emplace_back();
      Row& row = rows[read++];
      ReadRowInto(s, row);
      row.chosenBy = condition_.empty() ? 0 : conditionSerial_;
    }
    return read;
  }

  bool Start(bool forward) {
    step_ = kFirstStep;
    afterWrite_ = false;
    lastForward_ = forward;
    std::uint64_t stamp = db_->Conn().ChangeStamp();
    std::vector<Row> rows = Spare();
    size_t read = 0;
    const bool cut = ReadBands(forward, {0, bandShapes_.size()}, [&](const ConditionShape* band) {
      StatementUse s = Select("SELECT rowid" + selectList_ + from_ + " WHERE 1" + BandTerm(band) +
                              Restriction(" AND ") + " ORDER BY " + OrderBy(forward) + " LIMIT ?");
      const int n = BindConditions(*s, 1, band);
      s->Bind(n, static_cast<std::int64_t>(step_ - read));
      return read = ReadRows(*s, rows, read);
    }, read, step_, true);
    KeepSurplus(rows, read);
    if (rows.empty()) return false;
    if (!forward) std::reverse(rows.begin(), rows.end());
    const bool whole = rows.size() < step_ && !cut;
    Take(std::move(rows), forward, stamp);
    (forward ? noneAfter_ : noneBefore_) = whole;
    // The first row meeting a condition is first of the table only by chance.
    if (forward && condition_.empty() && bands_.empty()) Placed(0, stamp);
    return true;
  }

  // Keeps rows read after the file's state `stamp` was taken: a change
  // committed meanwhile shows in the next stamp and drops them.
  void Take(std::vector<Row> rows, bool forward, std::uint64_t stamp) {
    window_ = std::move(rows);
    noneAfter_ = noneBefore_ = false;
    wpos_ = forward ? 0 : window_.size() - 1;
    stamp_ = stamp;
    takenWrites_ = db_->Conn().LocalWrites();
    position_ = -1;
    SetCurrent(std::move(window_[wpos_]));
  }

  // The current row is kept in current_ alone, its place in the window left
  // empty: a scan then moves each row (memos included) instead of copying
  // it. The row left goes back to its place, with any memo read meanwhile,
  // for the moves back within the window.
  void Reach(size_t to) {
    window_[wpos_] = std::move(current_);
    wpos_ = to;
    SetCurrent(std::move(window_[wpos_]));
  }

  // Moves that skip rows by a condition cannot count.
  bool PositionKnown(std::uint64_t stamp) const {
    return condition_.empty() && bands_.empty() && position_ >= 0 && positionStamp_ == stamp;
  }
  std::string Restriction(const char* joiner) const {
    return condition_.empty() ? std::string() : joiner + ("(" + conditionShape_.text + ")");
  }
  // A band as a term to join to a statement's condition; none for no band.
  static std::string BandTerm(const ConditionShape* band) {
    return band == nullptr ? std::string() : " AND (" + band->text + ")";
  }
  // Binds the values of the band's term and of the restriction, which follow
  // each other in a statement from parameter `n` on; answers the next one.
  int BindConditions(Statement& s, int n, const ConditionShape* band) const {
    if (band != nullptr)
      for (const Cell& v : band->values) s.Bind(n++, v);
    if (!condition_.empty())
      for (const Cell& v : conditionShape_.values) s.Bind(n++, v);
    return n;
  }
  // A condition's shape is prepared once to find whether it suits the
  // table, so that no move fails on it later.
  void TryShape(const ConditionShape& shape) {
    if (triedShapes_.count(shape.text) != 0) return;
    db_->Conn().Prepare("SELECT 1" + from_ + " WHERE (" + shape.text + ") LIMIT 0");
    if (triedShapes_.size() >= kTriedShapes) triedShapes_.clear();
    triedShapes_.insert(shape.text);
  }
  // A statement reading rows. One under a condition is among the
  // connection's few recent statements, not kept for good: each filter
  // brings a shape of its own.
  StatementUse Select(const std::string& sql) {
    if (condition_.empty() && bands_.empty()) return StatementUse(db_->Conn().Cached(sql));
    return db_->Conn().CachedRecent(sql);
  }
  void Placed(std::int64_t position, std::uint64_t stamp) {
    position_ = position;
    positionStamp_ = stamp;
  }

  // Reads ahead further while the moves keep going one way.
  void Grow(bool forward) {
    if (afterWrite_)
      step_ = 1;
    else if (forward == lastForward_)
      step_ = std::min<size_t>(step_ * 2, kMaxStep);
    else
      step_ = kFirstStep;
    lastForward_ = forward;
    afterWrite_ = false;
  }

  bool WindowValid(std::uint64_t stamp) const { return !window_.empty() && stamp_ == stamp; }

  bool TakeRow(std::int64_t rowid, std::uint64_t stamp) {
    auto& s = db_->Conn().Cached("SELECT rowid" + selectList_ + from_ + " WHERE rowid=?");
    StatementUse use(s);
    s.Bind(1, rowid);
    if (!s.Step()) return false;
    Take({ReadRow(s)}, true, stamp);
    return true;
  }

  // ---- The order of the values as the fields read them (readorder.h). A
  // text column of the index holding a number or a blob (only another
  // program writes one) has its rows walked in that order, by their row
  // numbers read and sorted in memory, a row at a time: the filters' SQL
  // then narrows nothing, the engine tests each record. Whether any is held
  // is looked at again when another user has written (this program writes
  // texts alone); the order is read again after every write.

  struct ReadOrder {
    std::vector<std::int64_t> rowids;          // in the order of the values as read
    std::vector<std::vector<Cell>> keys;       // each row's order columns, rowid aside
    std::unordered_map<std::int64_t, size_t> at;  // a row's place in it
    size_t place = 0;                          // of the current row, or where it was
  };

  bool InReadOrder() {
    const std::uint64_t stamp = db_->Conn().ChangeStamp();
    if (readOrderIndex_ == index_ && readOrderStamp_ == stamp) return readOrder_.has_value();
    if (!OrdersText()) {
      readOrder_.reset();
    } else {
      const std::uint64_t others = db_->Conn().OthersVersion();
      if (readOrderIndex_ != index_ || straysOthers_ != others) {
        strays_ = HoldsStrays();
        straysOthers_ = others;
      }
      if (strays_)
        BuildReadOrder();
      else
        readOrder_.reset();
    }
    readOrderIndex_ = index_;
    readOrderStamp_ = stamp;
    return readOrder_.has_value();
  }

  bool OrdersText() const {
    return std::any_of(order_.begin(), order_.end(), [&](const OrderColumn& c) { return IsTextColumn(c); });
  }
  bool IsTextColumn(const OrderColumn& c) const {
    return c.field >= 0 && c.expr != "rowid" && fields_[static_cast<size_t>(c.field)].def.type == dbText;
  }

  // Whether a text column of the order holds a value that is no text. The
  // index finds those of its first column (numbers sort before every text,
  // blobs after); those of the second column within each value of the first,
  // while the first holds a few dozen values; others by a look at every row.
  bool HoldsStrays() {
    for (size_t j = 0; j < order_.size(); ++j) {
      const OrderColumn& c = order_[j];
      if (!IsTextColumn(c)) continue;
      if (j == 0 ? StraysIn("", {}, c) : j == 1 ? StraysWithin(order_[0], c) : AnyStoredOtherThanText(c)) return true;
    }
    return false;
  }
  // Below every text or past it, after `prefix` (with its values): two
  // ranges of the index, each found in a step.
  bool StraysIn(const std::string& prefix, const std::vector<Cell>& binds, const OrderColumn& c) {
    return Any(prefix + c.expr + " < ''", binds) || Any(prefix + c.expr + " >= X''", binds);
  }
  bool Any(const std::string& where, const std::vector<Cell>& binds) {
    StatementUse s(db_->Conn().Cached("SELECT 1" + from_ + " WHERE " + where + " LIMIT 1"));
    for (size_t i = 0; i < binds.size(); ++i) s->Bind(static_cast<int>(i + 1), binds[i]);
    return s->Step();
  }
  bool AnyStoredOtherThanText(const OrderColumn& c) {
    return Any("typeof(" + c.expr + ") IN ('integer', 'real', 'blob')", {});
  }
  bool StraysWithin(const OrderColumn& lead, const OrderColumn& c) {
    if (StraysIn(lead.expr + " IS NULL AND ", {}, c)) return true;
    StatementUse first(db_->Conn().Cached("SELECT " + lead.expr + from_ + " WHERE " + lead.expr + " IS NOT NULL ORDER BY " +
                                          lead.expr + " LIMIT 1"));
    if (!first->Step()) return false;
    Cell value = first->Column(0);
    auto& next = db_->Conn().Cached("SELECT " + lead.expr + from_ + " WHERE " + lead.expr + " > ? ORDER BY " + lead.expr +
                                    " LIMIT 1");
    for (int groups = 0; groups < kStrayGroups; ++groups) {
      if (StraysIn(lead.expr + " = ? AND ", {value}, c)) return true;
      StatementUse use(next);
      next.Bind(1, value);
      if (!next.Step()) return false;
      value = next.Column(0);
    }
    return AnyStoredOtherThanText(order_[1]);
  }
  static constexpr int kStrayGroups = 64;

  // The row's values of the order's columns that ReadOrderColumns describes.
  std::vector<Cell> ReadKeyOf(const Row& row) const {
    std::vector<Cell> key;
    for (const OrderColumn& c : order_)
      if (c.field >= 0 || c.expr != "rowid")
        key.push_back(c.expr == "rowid" ? Cell::MakeInteger(row.rowid) : row.cells[static_cast<size_t>(c.field)]);
    return key;
  }
  bool ReadsAs(const Row& row, const std::vector<Cell>& key) const {
    return CompareAsRead(ReadKeyOf(row), key, ReadOrderColumns(), key.size()) == 0;
  }

  std::vector<ReadOrderColumn> ReadOrderColumns() const {
    std::vector<ReadOrderColumn> columns;
    for (const OrderColumn& c : order_)
      if (c.field >= 0 || c.expr != "rowid")
        columns.push_back({IsTextColumn(c), c.descending,
                           c.field >= 0 ? TextRoom(static_cast<size_t>(fields_[static_cast<size_t>(c.field)].def.size)) : 0});
    return columns;
  }

  // Every row's order columns in SQLite's order, sorted stably by the
  // values as read: rows whose values read alike keep SQLite's order.
  void BuildReadOrder() {
    std::string columns;
    size_t count = 0;
    for (const OrderColumn& c : order_)
      if (c.field >= 0 || c.expr != "rowid") columns += ", " + c.expr, ++count;
    ReadOrder order;
    std::vector<std::pair<std::int64_t, std::vector<Cell>>> rows;
    StatementUse s(db_->Conn().Cached("SELECT rowid" + columns + from_ + " ORDER BY " + OrderBy(true)));
    while (s->Step()) {
      std::vector<Cell> key(count);
      for (size_t i = 0; i < count; ++i) key[i] = s->Column(static_cast<int>(i + 1));
      rows.emplace_back(s->ColumnInteger(0), std::move(key));
    }
    const std::vector<ReadOrderColumn> kinds = ReadOrderColumns();
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
      return CompareAsRead(a.second, b.second, kinds, kinds.size()) < 0;
    });
    for (auto& [rowid, key] : rows) {
      order.at[rowid] = order.rowids.size();
      order.rowids.push_back(rowid);
      order.keys.push_back(std::move(key));
    }
    // The current row's place, or where it was when it is gone.
    if (readOrder_) {
      auto here = order.at.find(current_.rowid);
      order.place = here != order.at.end() ? here->second : readOrder_->place;
    }
    readOrder_ = std::move(order);
    window_.clear();
  }

  bool MoveInReadOrder(size_t place) {
    if (place >= readOrder_->rowids.size() || !TakeRow(readOrder_->rowids[place], readOrderStamp_)) return false;
    readOrder_->place = place;
    return true;
  }

  bool StepInReadOrder(bool forward) {
    auto here = readOrder_->at.find(current_.rowid);
    // Where the current row is gone, the row after it has taken its place.
    const size_t place = here != readOrder_->at.end() ? here->second : readOrder_->place;
    if (forward) return MoveInReadOrder(here != readOrder_->at.end() ? place + 1 : place);
    return place > 0 && MoveInReadOrder(place - 1);
  }

  void SeekInReadOrder(const std::string& op, const std::vector<Cell>& keys) {
    const std::vector<ReadOrderColumn> kinds = ReadOrderColumns();
    const std::vector<std::vector<Cell>>& rows = readOrder_->keys;
    auto below = [&](const std::vector<Cell>& row, const std::vector<Cell>& k) {
      return CompareAsRead(row, k, kinds, k.size()) < 0;
    };
    auto above = [&](const std::vector<Cell>& k, const std::vector<Cell>& row) {
      return CompareAsRead(k, row, kinds, k.size()) < 0;
    };
    const size_t first = static_cast<size_t>(std::lower_bound(rows.begin(), rows.end(), keys, below) - rows.begin());
    const size_t past = static_cast<size_t>(std::upper_bound(rows.begin(), rows.end(), keys, above) - rows.begin());
    size_t place = rows.size();
    if (op == "=")
      place = first < past ? first : rows.size();
    else if (op == ">=")
      place = first;
    else if (op == ">")
      place = past;
    else if (op == "<=")
      place = past > 0 ? past - 1 : rows.size();
    else if (op == "<")
      place = first > 0 ? first - 1 : rows.size();
    else
      Fail(errInvalidArgument);
    noMatch_ = !MoveInReadOrder(place);
  }

  // ---- The row numbers of every row in the order of the moves (the row
  // condition aside: positions count every row), so that a position is one
  // look-up wherever it lies. They hold while the file is as they saw it
  // apart from this cursor's own writes, which are carried into them: the
  // cheap stamp says when nothing changed at all; when it moved, the
  // connection tells this connection's writes from other users' exactly.

  bool KeysCurrent(std::uint64_t stamp) {
    if (!keysBuilt_) return false;
    Connection& c = db_->Conn();
    if (c.LocalWrites() != keysWrites_ || (stamp != keysStamp_ && c.OthersVersion() != keysVersion_)) {
      DropKeys();
      return false;
    }
    keysStamp_ = stamp;
    return true;
  }

  // Both marks are taken before the rows are read: a commit in between
  // shows in them later and only costs a rebuild.
  void BuildKeys(std::uint64_t stamp) {
    Connection& c = db_->Conn();
    keysVersion_ = c.OthersVersion();
    keysWrites_ = c.LocalWrites();
    keysStamp_ = stamp;
    keys_.clear();
    auto& s = c.Cached("SELECT rowid" + from_ + " ORDER BY " + OrderBy(true));
    StatementUse use(s);
    while (s.Step()) keys_.push_back(s.ColumnInteger(0));
    keysBuilt_ = true;
  }

  void DropKeys() {
    std::vector<std::int64_t>().swap(keys_);
    keysBuilt_ = false;
    keysKept_ = false;
  }

  // Carries this cursor's write into the keys when they held just before
  // it; otherwise the write shows in LocalWrites and drops them.
  template <class Change>
  void KeepKeys(Change&& change) {
    if (!keysKept_) return;
    keysKept_ = false;
    change();
    keysWrites_ = db_->Conn().LocalWrites();
  }

  void ForgetKey(std::int64_t rowid) {
    auto at = position_ >= 0 && static_cast<size_t>(position_) < keys_.size() &&
                      keys_[static_cast<size_t>(position_)] == rowid
                  ? keys_.begin() + position_
                  : std::find(keys_.begin(), keys_.end(), rowid);
    if (at != keys_.end()) keys_.erase(at);
  }

  // How many of the keys come before the row, by a binary search in which
  // SQLite compares (its collations and Null order are the order's own).
  size_t PlaceOf(const Row& row) {
    if (order_.size() == 1) return static_cast<size_t>(std::lower_bound(keys_.begin(), keys_.end(), row.rowid) - keys_.begin());
    std::string where;
    std::vector<Cell> binds;
    for (const auto& region : Regions(false, KeyOf(row), false, true)) {
      where += (where.empty() ? "(" : " OR (") + region.where + ")";
      binds.insert(binds.end(), region.binds.begin(), region.binds.end());
    }
    if (where.empty()) return 0;  // nothing can come before it
    auto& s = db_->Conn().Cached("SELECT 1" + from_ + " WHERE rowid=? AND (" + where + ")");
    auto before = [&](std::int64_t rowid) {
      StatementUse use(s);
      s.Bind(1, rowid);
      for (size_t i = 0; i < binds.size(); ++i) s.Bind(static_cast<int>(i + 2), binds[i]);
      return s.Step();
    };
    return static_cast<size_t>(std::partition_point(keys_.begin(), keys_.end(), before) - keys_.begin());
  }

  // Whether two reads of a row show the same values; a value left unread is
  // known by its size alone.
  bool SameVersion(const Row& a, const Row& b) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
      const Cell& x = a.cells[i];
      const Cell& y = b.cells[i];
      if (x.deferred || y.deferred ? StoredSize(x) != StoredSize(y) : !(x == y)) return false;
    }
    return true;
  }
  static std::int64_t StoredSize(const Cell& c) {
    if (c.deferred) return c.integer;
    return c.IsNull() ? -1 : static_cast<std::int64_t>(c.text.size());
  }

  Row ReadRow(Statement& s) const {
    Row r;
    ReadRowInto(s, r);
    return r;
  }

  void ReadRowInto(Statement& s, Row& r) const {
    r.rowid = s.ColumnInteger(0);
    r.cells.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
      s.ReadColumn(columnOf_[i], r.cells[i], deferred_[i] ? kInlineBytes : INT64_MAX);
  }

  // Memo and binary values up to this size come with their row. A rich-text
  // memo of a few thousand characters is stored with its markup on top, so a
  // bound at exactly 4 KB sent the longest typical memos to a query each; the
  // window of at most kMaxStep rows holds 2 MB per memo column at worst.
  static constexpr std::int64_t kInlineBytes = 8192;
  static constexpr size_t kFirstStep = 8;
  static constexpr size_t kMaxStep = 256;
  // Counting this many rows to a position costs about as much as a look-up
  // by key (some tens of microseconds): below it, no keys are read for a put.
  static constexpr std::int32_t kCountedPositions = 512;

  TableDef table_;
  const IndexDef* index_ = nullptr;
  std::vector<OrderColumn> order_;
  std::vector<bool> deferred_;  // per field: read on demand
  std::vector<int> columnOf_;   // per field: its column of "rowid" + selectList_
  std::string selectList_;
  int selectColumns_ = 1;  // of "rowid" + selectList_
  std::string from_;
  std::vector<Row> window_;
  std::vector<Row> spare_;  // storage of rows read before, for the next read (Spare)
  size_t wpos_ = 0;
  // The window's read came short of its limit: as of its stamp no row meets
  // the condition after its last row (noneAfter_) or before its first.
  bool noneAfter_ = false;
  bool noneBefore_ = false;
  std::uint64_t stamp_ = 0;
  std::uint64_t takenWrites_ = 0;  // this connection's writes when the window was read
  bool windowHeld_ = false;        // the window was current when this cursor began its write
  size_t step_ = kFirstStep;
  bool lastForward_ = true;
  bool afterWrite_ = false;  // written since the last read-ahead
  std::int64_t position_ = -1;  // of the current row; -1 unknown
  std::uint64_t positionStamp_ = 0;  // the file's state it holds for
  std::string condition_;  // rows the moves skip do not meet it (SetRowCondition)
  std::vector<std::string> bands_;  // where the rows meeting it lie, in forward order
  std::vector<Cell> point_;         // the values of the index's first columns the middle bands lie within
  ConditionShape conditionShape_;   // condition_, as the statements bind it
  std::vector<ConditionShape> bandShapes_;
  std::unordered_set<std::string> triedShapes_;  // shapes found to suit the table
  static constexpr size_t kTriedShapes = 256;
  // A band under the condition, as one key, and the file's state it was last
  // read whole and found empty in (see ReadBands).
  std::vector<std::string> bandKeys_;
  std::unordered_map<std::string, std::uint64_t> emptyBands_;
  static constexpr size_t kEmptyBands = 256;
  std::uint64_t conditionSerial_ = 1;  // numbers each condition set, for Row::chosenBy
  std::int64_t count_ = -1;
  std::uint64_t countStamp_ = 0;
  std::optional<ReadOrder> readOrder_;  // none: SQLite's order is the order
  const IndexDef* readOrderIndex_ = nullptr;  // the index and file state InReadOrder decided for
  std::uint64_t readOrderStamp_ = 0;
  bool strays_ = false;               // a text column of the order holds a number or a blob
  std::uint64_t straysOthers_ = ~std::uint64_t{0};  // other users' commits when that was looked at
  std::vector<std::int64_t> keys_;  // row numbers in order; 8 bytes a row
  bool keysBuilt_ = false;
  bool keysKept_ = false;         // they held when this cursor began its write
  std::uint64_t keysStamp_ = 0;    // ChangeStamp last found them current at
  std::uint64_t keysVersion_ = 0;  // other users' commits they include
  std::uint64_t keysWrites_ = 0;   // this connection's writes they include
};

// The rows of a query's result, numbered from 0. They live in a private
// scratch database file, not in memory: a recordset over a million rows holds
// one window of them (memos included), whatever its size. The file is the
// recordset's alone, outside every transaction of the database it came from,
// and removed with it. A result of row numbers alone (no columns) is kept in
// memory instead, 8 bytes a row: writing a million numbers to the file cost
// half a second, reading them back from memory costs nothing.

}  // namespace

std::unique_ptr<TRecordsetCore> OpenTableCursor(TDatabaseCore& db, const TableDef& table, bool readOnly) {
  return std::make_unique<TTableCursor>(db, table, readOnly);
}

}  // namespace dao
