#include <algorithm>
#include <string_view>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/cursors.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/resultstore.h"

namespace dao {

namespace {

int FieldTypeOfValue(const Cell& c) {
  switch (c.kind) {
    case Cell::Integer: return dbLong;
    case Cell::Real: return dbDouble;
    case Cell::Blob: return dbLongBinary;
    default: return dbText;
  }
}

// Dynaset-like recordset over a query: the result rows are read at open into
// a result store; a query over one table keeps each row's number so that its
// rows can be edited, deleted and added to. A read-only join whose columns
// all come from one of its tables keeps only that table's row numbers and
// reads the row the cursor stands on: the join may repeat each row many
// times, and copying its memos at open would read and store all of them.

class TQueryCursor : public TRecordsetCore {
 public:
  TQueryCursor(TDatabaseCore& db, const std::string& name, const Translation& tr,
               const std::vector<QueryParameter>& params, bool readOnly)
      : TRecordsetCore(db, name, false, readOnly) {
    bool keyed = !tr.sqlWithRowid.empty() && db.Conn().FindTable(tr.updatableTable) != nullptr;
    auto s = db.Conn().Prepare(keyed ? tr.sqlWithRowid : tr.sql);
    BindParameters(*s, tr, params);
    int first = keyed ? 1 : 0;
    int columns = s->ColumnCount();
    std::unique_ptr<Statement> locate = keyed ? nullptr : Locator(db, tr, *s);
    if (locate) BindParameters(*locate, tr, params);
    rows_ = std::make_unique<TResultStore>(locate ? 0 : static_cast<size_t>(columns - first));
    // The first value that is not Null gives an expression column its type.
    std::vector<Cell> samples(static_cast<size_t>(columns - first));
    rows_->BeginFill();
    while (locate && locate->Step()) {
      Row r;
      r.rowid = locate->ColumnInteger(0);
      rows_->Append(r);
    }
    while (!locate && s->Step()) {
      Row r;
      r.rowid = keyed ? s->ColumnInteger(0) : static_cast<std::int64_t>(rows_->Size() + 1);
      for (int i = first; i < columns; ++i) {
        r.cells.push_back(s->Column(i));
        Cell& sample = samples[static_cast<size_t>(i - first)];
        if (sample.IsNull() && !r.cells.back().IsNull()) sample = r.cells.back();
      }
      rows_->Append(r);
    }
    rows_->EndFill();
    // The catalogue may be read again below: keep the table's name, not its entry.
    if (keyed) target_ = db.Conn().Table(tr.updatableTable).name;
    for (int i = first; i < columns; ++i) {
      FieldInfo f;
      f.def.name = s->ColumnName(i);
      std::string origin = s->ColumnOrigin(i);
      const TableDef* source = s->ColumnTable(i).empty() ? nullptr : db.Conn().FindTable(s->ColumnTable(i));
      int fi = source ? source->FieldIndex(origin) : -1;
      if (fi >= 0) {
        FieldDef def = source->fields[static_cast<size_t>(fi)];
        def.name = f.def.name;
        f.def = def;
        f.sourceTable = source->name;
        f.sourceField = source->fields[static_cast<size_t>(fi)].name;
      } else {
        const Cell& sample = samples[static_cast<size_t>(i - first)];
        f.def.type = sample.IsNull() ? dbText : FieldTypeOfValue(sample);
        // A computed amount comes in the stored form, as currency columns do.
        if (tr.currencyColumns.size() == static_cast<size_t>(columns - first) &&
            tr.currencyColumns[static_cast<size_t>(i - first)])
          f.def.type = dbCurrency;
        f.def.size = DefaultFieldSize(f.def.type);
      }
      bool fromTarget = keyed && source != nullptr && AnsiSameText(source->name, target_);
      f.updatable = fromTarget && !f.def.IsCounter();
      if (fromTarget) targetColumns_.push_back(i - first);
      fields_.push_back(f);
    }
    if (!DoMoveFirst()) bof_ = eof_ = true;
  }

  std::int64_t RecordCount() override { return static_cast<std::int64_t>(rows_->Size() - goneCount_); }

  // Counting is needed only once rows were deleted.
  std::int32_t AbsolutePosition() override {
    if (!onRow_ || deleted_) return -1;
    if (goneCount_ == 0) return static_cast<std::int32_t>(pos_);
    std::int32_t n = 0;
    for (size_t i = 0; i < pos_; ++i)
      if (!Gone(i)) ++n;
    return n;
  }

  void SetAbsolutePosition(std::int32_t position) override {
    LeaveEdit();
    if (goneCount_ == 0) {
      if (position < 0 || static_cast<size_t>(position) >= rows_->Size()) Fail(errInvalidArgument);
      Go(static_cast<size_t>(position));
      return;
    }
    std::int32_t n = 0;
    for (size_t i = 0; i < rows_->Size(); ++i)
      if (!Gone(i) && n++ == position) {
        Go(i);
        return;
      }
    Fail(errInvalidArgument);
  }

 protected:
  bool DoMoveFirst() override { return Scan(0, +1); }
  bool DoMoveLast() override { return rows_->Size() == 0 ? false : Scan(rows_->Size() - 1, -1); }
  bool DoMoveNext() override { return Scan(pos_ + 1, +1); }
  bool DoMovePrevious() override { return pos_ == 0 ? false : Scan(pos_ - 1, -1); }

  std::int64_t BookmarkOf(const Row&) const override { return static_cast<std::int64_t>(pos_ + 1); }
  std::int64_t AppendedBookmark(const Row&) const override { return static_cast<std::int64_t>(rows_->Size()); }

  bool DoSetBookmark(std::int64_t bookmark) override {
    if (bookmark < 1 || static_cast<size_t>(bookmark) > rows_->Size()) Fail(errNotValidBookmark);
    size_t i = static_cast<size_t>(bookmark - 1);
    if (Gone(i)) return false;
    Go(i);
    return true;
  }

  // The stored row takes what was written, so that moving away and back
  // shows the new values.
  void Changed() override {
    if (onRow_ && pos_ < rows_->Size()) {
      if (deleted_) {
        if (gone_.size() <= pos_) gone_.resize(pos_ + 1, false);
        if (!gone_[pos_]) ++goneCount_;
        gone_[pos_] = true;
      } else {
        rows_->Replace(pos_, current_);
      }
    }
  }

  // The stored row takes what an edit read under its lock too: the user has
  // seen it, and moving away and back (after a cancel) must not bring back
  // the values the query copied before another user changed them.
  void ReadAfresh() override {
    if (onRow_ && pos_ < rows_->Size()) rows_->Replace(pos_, current_);
  }

  void Appended(const Row& row) override { rows_->Append(row); }

 private:
  bool Gone(size_t i) const { return i < gone_.size() && gone_[i]; }

  bool Scan(size_t from, int step) {
    for (size_t i = from; i < rows_->Size(); i += static_cast<size_t>(step)) {
      if (!Gone(i)) {
        Go(i);
        return true;
      }
      if (i == 0 && step < 0) break;
    }
    return false;
  }

  void Go(size_t i) {
    pos_ = i;
    SetCurrent(rows_->At(i));
    if (!located_.empty()) ReadLocatedRow();
  }

  static void BindParameters(Statement& s, const Translation& tr, const std::vector<QueryParameter>& params) {
    for (size_t i = 0; i < tr.parameters.size(); ++i) {
      if (i >= params.size() || !params[i].set) Fail(errTooFewParameters, std::to_string(tr.parameters.size()));
      s.Bind(static_cast<int>(i + 1), params[i].value);
    }
  }

  // The statement giving, in the query's order, the row number in the one
  // table all of the query's columns come from; none (the rows are copied)
  // when there is no such table, it appears more than once, or SQLite does
  // not take the query as a subquery.
  std::unique_ptr<Statement> Locator(TDatabaseCore& db, const Translation& tr, Statement& s) {
    const int columns = s.ColumnCount();
    const TableDef* table = columns > 0 ? db.Conn().FindTable(s.ColumnTable(0)) : nullptr;
    if (table == nullptr) return nullptr;
    std::string list;
    for (int i = 0; i < columns; ++i) {
      if (!AnsiSameText(s.ColumnTable(i), table->name) || table->FieldIndex(s.ColumnOrigin(i)) < 0) return nullptr;
      list += (i > 0 ? ", " : "") + QuoteIdentifier(s.ColumnOrigin(i));
    }
    std::string alias;
    for (const auto& [name, as] : tr.fromTables) {
      if (!AnsiSameText(name, table->name)) continue;
      if (!alias.empty()) return nullptr;
      alias = as;
    }
    if (alias.empty()) return nullptr;
    // The catalogue may be read again below: keep the table's name, not its entry.
    const std::string name = table->name;
    try {
      // Only the row number is asked for, so SQLite reads no other column of
      // the rows (the subquery is merged into the outer query).
      auto locate = db.Conn().Prepare("SELECT vantrel_row FROM (SELECT " + QuoteIdentifier(alias) +
                                      ".rowid AS vantrel_row," + tr.sql.substr(6) + ")");
      located_ = name;
      locatedColumns_ = list;
      return locate;
    } catch (const std::exception&) {
      return nullptr;
    }
  }

  // The current row's values as its table holds them now; a row deleted
  // since the query ran shows Nulls.
  void ReadLocatedRow() {
    auto& s = db_->Conn().Cached("SELECT " + locatedColumns_ + " FROM " + QuoteIdentifier(located_) +
                                 " WHERE rowid=?");
    StatementUse use(s);
    s.Bind(1, current_.rowid);
    const bool found = s.Step();
    current_.cells.clear();
    for (size_t i = 0; i < fields_.size(); ++i) current_.cells.push_back(found ? s.Column(static_cast<int>(i)) : Cell());
  }

  std::unique_ptr<TResultStore> rows_;
  std::string located_;         // the table whose row numbers the store holds, if any
  std::string locatedColumns_;  // the query's columns as that table names them
  std::vector<bool> gone_;
  size_t goneCount_ = 0;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<TRecordsetCore> OpenQueryCursor(TDatabaseCore& db, const std::string& name, const Translation& tr,
                                                const std::vector<QueryParameter>& params, bool readOnly) {
  return std::make_unique<TQueryCursor>(db, name, tr, params, readOnly);
}

}  // namespace dao
