// A seeded random comparison of the table road (filters pre-selected by
// SQL, Locate and Find on the table, in the order of a random index) with the
// query road (the same rows, every record tested by the engine), over small
// tables of the values another program may leave in the file: Nulls, empty
// texts, case variants, letters outside ASCII, bytes no character stands for,
// texts longer than their field, numbers past their field's width or stored
// as text, dates with a time and on day 0; every round takes the next few of
// the letters Unicode's simple case folding pairs, so that a run goes through
// every pair. Both roads must show the same records in the same order and
// land on the same record. Under a filter, another user changes the record a
// road stands on (maybe out of the filter) before it is edited: the edit must
// be on that record on both roads, and what was typed must reach it alone.
// On an index led by a whole number, inside a range of one key, Locate and
// the filters answer as the record test does over the range's walk.
//
// It runs for about 20 seconds (a few in the sanitizer build);
// VANTREL_ROAD_SECONDS sets another time. A mismatch names the seed of its
// round: VANTREL_ROAD_SEED=<seed> replays that round first.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/readorder.h"
#include "roads.h"

using namespace tttest;

namespace {

using dao::Cell;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

double RunSeconds() {
  const char* set = std::getenv("VANTREL_ROAD_SECONDS");
  if (set != nullptr && *set != '\0') return std::atof(set);
  return kSanitized ? 3 : 20;
}

std::uint64_t FirstSeed() {
  const char* set = std::getenv("VANTREL_ROAD_SEED");
  if (set != nullptr && *set != '\0') return std::strtoull(set, nullptr, 10);
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

enum class Kind { Text, Short, Long, Double, Date, Bool, Money, Memo };

struct Column {
  const char* name;
  Kind kind;
};
const Column kColumns[] = {{"Name", Kind::Text}, {"Word", Kind::Text},  {"Age", Kind::Short},
                           {"Num", Kind::Long},  {"Score", Kind::Double}, {"Born", Kind::Date},
                           {"Done", Kind::Bool}, {"Pay", Kind::Money},  {"Notes", Kind::Memo}};

// The table's indexes and the query order that lists its rows alike.
struct Order {
  const char* index;
  const char* orderBy;
  const char* keyFields;  // the index's own fields, for a Locate the index narrows
  const char* rangeField;  // a whole-number first field, for a range of one key; or none
};
const Order kOrders[] = {{"PrimaryKey", "Id", "Id", nullptr},
                         {"ByName", "Name, Id", "Name", nullptr},
                         {"ByAgeWord", "Age, Word DESC, Id", "Age;Word", "Age"},
                         {"ByBorn", "Born, Id", "Born", nullptr},
                         {"ByNum", "Num, Id", "Num", "Num"}};

// Texts: case variants, letters outside ASCII that fold in several ways (and
// to letters of another length: the Kelvin sign, the long s, the capital
// sharp s, the ohm sign), pattern characters, a quote, bytes no character
// stands for, and a NUL.
const char* const kTextPieces[] = {"a",  "A",  "b",    "é",    "É",    "ö",    "Ö",  "σ",   "ς",       "Σ",  "中",
                                   "z",  "*",  "?",    "[",    "'",    " ",    "ab", "AB",  "\xA9",   "\xC3", "\xFF",
                                   "ÿ",  "Ÿ",  "\x01", "Ann",  "ann",  "ß",    "0",  "\xE0\x83\xA9",
                                   "\u212A", "k", "ſ",  "s",  "ẞ",  "\u2126", "ω"};

// Every group of characters that Unicode's simple case folding joins.
const std::vector<std::u32string>& CaseGroups() {
  static const std::vector<std::u32string> groups = [] {
    std::vector<std::u32string> out;
    for (char32_t c = 0; c < 0x20000; ++c)
      if (UnicodeFold(c) == c && (c < 0xD800 || c > 0xDFFF)) {
        std::u32string group = UnicodeCaseVariants(c);
        if (group.size() > 1) out.push_back(std::move(group));
      }
    return out;
  }();
  return groups;
}
// The groups a round takes, one after another from its seed on.
constexpr int kGroupsPerRound = 12;

class RoadComparison : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute(
        "CREATE TABLE T (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(4), Word TEXT(20), Age SHORT, "
        "Num LONG, Score DOUBLE, Born DATETIME, Done BIT, Pay CURRENCY, Notes MEMO)");
    db.Execute("CREATE INDEX ByName ON T (Name)");
    db.Execute("CREATE INDEX ByAgeWord ON T (Age, Word DESC)");
    db.Execute("CREATE INDEX ByBorn ON T (Born)");
    db.Execute("CREATE INDEX ByNum ON T (Num)");
  }

  std::mt19937_64 random_;
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }
  template <class T, std::size_t N>
  const T& Any(const T (&items)[N]) { return items[Pick(int(N))]; }

  std::string RandomText(int pieces) {
    std::string text;
    for (int i = 0; i < pieces; ++i) {
      if (Chance(30)) {  // a letter of one of the round's case groups, in any of its cases
        const std::u32string& group = roundGroups_[std::size_t(Pick(int(roundGroups_.size())))];
        Utf8Append(text, group[std::size_t(Pick(int(group.size())))]);
      } else {
        text += Any(kTextPieces);
      }
    }
    return text;
  }
  std::vector<std::u32string> roundGroups_;

  // ---- the rows, as another program writes them

  Cell TextCell(std::size_t size) {
    switch (Pick(12)) {
      case 0: return Cell();
      case 1: return Cell::MakeText("");
      case 2: return Cell::MakeBlob(RandomText(1 + Pick(2)));
      case 3: return Cell::MakeText(std::string("a\0b", 3));
      case 4: return Cell::MakeText(std::string(size + 1 + Pick(20), 'x'));  // past the field
      // Past the field's room in a character or two to SQL: cut to its start.
      case 5: return Cell::MakeText(RandomText(Pick(2)) + "\xC3" + std::string(4 * size + Pick(4), '\x80'));
      default: return Cell::MakeText(RandomText(1 + Pick(3)));
    }
  }
  Cell NumberCell(bool wide) {
    const std::int64_t narrow[] = {0, 1, -1, 2, 3, 5, 7, 32767, -32768};
    switch (Pick(12)) {
      case 0: return Cell();
      case 1: return Cell::MakeInteger(wide ? 4294967296 + Pick(9) : 65536 + Pick(3));
      case 2: return Cell::MakeInteger(wide ? -2147483649LL : 40000);
      case 3: return Cell::MakeReal(Any({2.5, -0.5, 0.4, 0.5, 2.6, -2.5, 1e10, 32767.5}));
      case 4: return Cell::MakeText(Any({"abc", "12x", "3", " 7", ""}));
      case 5: return Cell::MakeBlob("\x01");
      default: return Cell::MakeInteger(Any(narrow));
    }
  }
  Cell RealCell() {
    switch (Pick(10)) {
      case 0: return Cell();
      case 1: return Cell::MakeText(Any({"abc", "1e3x", "inf", ""}));
      case 2: return Cell::MakeBlob("z");
      case 3: return Cell::MakeReal(-0.0);
      default: return Cell::MakeReal(Any({0.0, 1.5, -1.5, 2.5, 1000.0, 1e300, 0.1}));
    }
  }
  Cell DateCell() {
    const double days[] = {32994, 32995, 0, 1, -1, 2958465, 36526};
    switch (Pick(10)) {
      case 0: return Cell();
      case 1: return Cell::MakeReal(0);
      case 2: return Cell::MakeReal(Any(days) + Any({0.25, 0.5, 0.9999999}));
      case 3: return Cell::MakeReal(Any(days) + 0.0004 / 86400.0);  // 0.4 ms past midnight
      case 4: return Cell::MakeReal(Any({-0.5, -693593.0, 3.0e6}));
      case 5: return Cell::MakeText(Any({"soon", ""}));
      default: return Cell::MakeReal(Any(days));
    }
  }
  Cell CellOf(Kind kind) {
    switch (kind) {
      case Kind::Text: return TextCell(4);
      case Kind::Short: return NumberCell(false);
      case Kind::Long: return NumberCell(true);
      case Kind::Double: return RealCell();
      case Kind::Date: return DateCell();
      case Kind::Bool: return Any({Cell(), Cell::MakeInteger(-1), Cell::MakeInteger(0), Cell::MakeInteger(2)});
      case Kind::Money: return Any({Cell(), Cell::MakeInteger(0), Cell::MakeInteger(15000), Cell::MakeReal(0.4)});
      case Kind::Memo: return Any({Cell(), Cell::MakeText(""), Cell::MakeText("m"), Cell::MakeBlob("")});
    }
    return Cell();
  }

  void WriteRows() {
    dao::TDatabaseCore db(path_, false, false, "");
    db.Conn().Prepare("PRAGMA ignore_check_constraints = ON")->Step();
    db.Conn().Prepare("DELETE FROM T")->Step();
    auto insert = db.Conn().Prepare(
        "INSERT INTO T (Name, Word, Age, Num, Score, Born, Done, Pay, Notes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const int rows = 3 + Pick(20);
    for (int r = 0; r < rows; ++r) {
      int n = 1;
      for (const Column& c : kColumns) insert->Bind(n++, c.name == std::string("Word") ? TextCell(20) : CellOf(c.kind));
      insert->Step();
      insert->Reset();
    }
  }

  // Whether no name runs past the field's room: one that does (written with
  // the file's own checks switched off) reads cut, and keeps the place SQL
  // gives the whole of it.
  bool NamesFitTheirRoom() {
    dao::TDatabaseCore db(path_, false, false, "");
    auto s = db.Conn().Prepare("SELECT 1 FROM T WHERE length(CAST(Name AS BLOB)) > " + std::to_string(dao::TextRoom(4)));
    return !s->Step();
  }

  // ---- conditions

  std::string Quoted(std::string text) {
    std::string out = "'";
    for (char c : text.substr(0, text.find('\0'))) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  }
  // A value of the column: one a row holds, or one of the kind's own.
  std::string Constant(const Column& c, TDataSet* rows) {
    if (Chance(50) && !rows->IsEmpty()) {
      rows->First();
      rows->MoveBy(Pick(rows->RecordCount()));
      TField* f = rows->FieldByName(c.name);
      if (c.kind == Kind::Text) return Quoted(f->AsString());
      if (c.kind == Kind::Date && !f->IsNull()) return Quoted(DateTimeToStr(f->AsDateTime()));
      const bool number = c.kind == Kind::Short || c.kind == Kind::Long || c.kind == Kind::Double;
      if (number && !f->IsNull()) return f->AsString();
    }
    switch (c.kind) {
      case Kind::Text: return Quoted(RandomText(Pick(3)));
      case Kind::Short: return std::to_string(Any({0, 1, -1, 3, 5, 7, -25536, 32767, -32768}));
      case Kind::Long: return std::to_string(Any({0LL, 1LL, -1LL, 7LL, 2147483647LL, -2147483648LL}));
      case Kind::Double: return Any({"0", "1.5", "-1.5", "2.5", "1000", "0.1"});
      case Kind::Date:
        return Quoted(Any({DateToStr(32994), DateToStr(0), DateToStr(1), DateTimeToStr(32994.25), DateToStr(36526)}));
      case Kind::Bool: return Any({"True", "False"});
      case Kind::Money: return Any({"0", "1.5", "0.5"});
      case Kind::Memo: return "NULL";
    }
    return "0";
  }
  std::string Term(TDataSet* rows) {
    const Column& c = Any(kColumns);
    if (c.kind == Kind::Memo || Chance(10)) return std::string(c.name) + Any({" = NULL", " <> NULL"});
    std::string value = Constant(c, rows);
    // A start of text: the constant with a star before its closing quote.
    if (c.kind == Kind::Text && Chance(30)) value.insert(value.size() - 1, "*");
    return std::string(c.name) + Any({" = ", " <> ", " < ", " <= ", " > ", " >= "}) + value;
  }
  std::string Condition(TDataSet* rows, int depth = 0) {
    if (depth >= 2 || Chance(50)) return Term(rows);
    switch (Pick(3)) {
      case 0: return "(" + Condition(rows, depth + 1) + ") and (" + Condition(rows, depth + 1) + ")";
      case 1: return "(" + Condition(rows, depth + 1) + ") or (" + Condition(rows, depth + 1) + ")";
      default: return "not (" + Condition(rows, depth + 1) + ")";
    }
  }
  TFilterOptions Options() {
    TFilterOptions options;
    if (Chance(50)) options.Include(foCaseInsensitive);
    if (Chance(50)) options.Include(foNoPartialCompare);
    return options;
  }

  // ---- what each road answers; an error counts as an answer

  template <class F>
  static std::string Answer(F&& f) {
    try {
      return f();
    } catch (const Exception& e) {
      return "error: " + e.Message();
    }
  }
  static std::string Ids(const std::vector<int>& ids) {
    std::string out;
    for (int id : ids) out += std::to_string(id) + " ";
    return out;
  }
  static std::string Located(TDataSet* d, const std::string& fields, const Variant& values, TLocateOptions options) {
    return d->Locate(fields, values, options) ? std::to_string(d->FieldByName("Id")->AsInteger()) : "none";
  }
  // Find first, next, last and prior with the filter set, not switched on.
  static std::string FindWalk(TDataSet* d, const std::string& filter, TFilterOptions options) {
    d->SetFilter(filter);
    d->SetFilterOptions(options);
    std::vector<int> ids;
    for (bool found = d->FindFirst(); found && ids.size() < 40; found = d->FindNext())
      ids.push_back(d->FieldByName("Id")->AsInteger());
    ids.push_back(-1);
    for (bool found = d->FindLast(); found && ids.size() < 80; found = d->FindPrior())
      ids.push_back(d->FieldByName("Id")->AsInteger());
    return Ids(ids);
  }
  // The same walk over the records a filter shows, given in their order.
  static std::string FindWalkOf(const std::vector<int>& shown) {
    std::vector<int> ids(shown.begin(), shown.begin() + std::min<std::ptrdiff_t>(40, std::ssize(shown)));
    ids.push_back(-1);
    for (auto it = shown.rbegin(); it != shown.rend() && ids.size() < 80; ++it) ids.push_back(*it);
    return Ids(ids);
  }
  // Locate's fields and values, taken from a row (mostly one of `among`, when
  // given) or made up, and how to show them; now and then the fields of the
  // table's index, several ones among them, which the index narrows.
  void LocateArguments(TDataSet* rows, const Order& order, std::string& fields, Variant& values,
                       std::vector<Variant>& list, std::string& shown, const std::vector<int>& among = {}) {
    const char* candidates[] = {"Name", "Word", "Age", "Num", "Score", "Born", "Done"};
    const char* first = Any(candidates);
    const char* second = Chance(30) ? Any(candidates) : nullptr;
    if (second != nullptr && std::string(second) == first) second = nullptr;
    const std::string keys = order.keyFields;
    if (Chance(30) && keys != "Id") {
      const std::size_t split = keys.find(';');
      first = split == std::string::npos ? order.keyFields : "Age";
      second = split == std::string::npos ? nullptr : "Word";
    }
    rows->First();
    if (!rows->IsEmpty()) rows->MoveBy(Pick(rows->RecordCount()));
    if (!among.empty() && Chance(70)) rows->Locate("Id", Variant(among[std::size_t(Pick(int(among.size())))]), {});
    auto value = [&](const char* field) {
      if (Chance(25)) return Chance(50) ? Variant(Null) : Variant(RandomText(1 + Pick(2)));
      TField* f = rows->FieldByName(field);
      if (f->DataType() == ftString && Chance(30)) return Variant(f->AsString().substr(0, 1 + Pick(2)));
      return f->AsVariant();
    };
    auto text = [](const Variant& v) { return v.IsNull() ? std::string("Null") : "'" + VarToStr(v) + "'"; };
    fields = first;
    if (second == nullptr) {
      values = value(first);
      list = {values};
      shown = fields + " = " + text(values);
      return;
    }
    fields += std::string(";") + second;
    const Variant a = value(first), b = value(second);
    values = VarArrayOf({a, b});
    list = {a, b};
    shown = fields + " = " + text(a) + ", " + text(b);
  }

  // FindKey and FindNearest on the table's text index, a name taken from a
  // row (or its start) or made up: the first record of the table's order
  // whose name, as the engine reads it, equals the key without regard to
  // case, and the first whose name is not below it (else the last).
  template <class Mismatch>
  void KeySearches(TTestTable* table, TDataSet* query, TDataSet* rows, const std::vector<int>& walk, Mismatch& mismatch) {
    std::string key = RandomText(Pick(3));
    if (Chance(70) && !rows->IsEmpty()) {
      rows->First();
      rows->MoveBy(Pick(rows->RecordCount()));
      key = rows->FieldByName("Name")->AsString();
      if (Chance(30)) key = key.substr(0, 1 + Pick(2));
    }
    key = key.substr(0, key.find('\0'));
    // Past every name, the search stands on the last record.
    std::string found = "none", nearest = walk.empty() ? "eof" : std::to_string(walk.back());
    for (int id : walk) {
      query->Locate("Id", Variant(id), {});
      const int c = CompareFoldedText(query->FieldByName("Name")->AsString(), key);
      if (c == 0 && found == "none") found = std::to_string(id);
      if (c >= 0) {
        nearest = std::to_string(id);
        break;
      }
    }
    const std::string shown = "'" + key + "'";
    mismatch("FindKey " + shown, found, Answer([&] {
               return table->FindKey({Variant(key)}) ? std::to_string(table->FieldByName("Id")->AsInteger())
                                                      : std::string("none");
             }));
    mismatch("FindNearest " + shown, nearest, Answer([&] {
               table->FindNearest({Variant(key)});
               return table->Eof() ? std::string("eof") : std::to_string(table->FieldByName("Id")->AsInteger());
             }));
  }

  // ---- another user's change under a filter

  // Ids of the records holding `typed` in Notes.
  std::string StoredAt(const std::string& typed) {
    dao::TDatabaseCore raw(path_, false, true, "");
    auto rows = raw.Conn().Prepare("SELECT Id FROM T WHERE Notes = ? ORDER BY Id");
    rows->Bind(1, typed);
    std::string ids;
    while (rows->Step()) ids += std::to_string(rows->ColumnInteger(0)) + " ";
    return ids;
  }
  // Another user gives a column of record `id` the value of another row's.
  void OtherUserChanges(int id, TDataSet* rows) {
    const char* columns[] = {"Name", "Word", "Age", "Num", "Score", "Born", "Done"};
    const char* column = Any(columns);
    rows->First();
    rows->MoveBy(Pick(rows->RecordCount()));
    const Variant value = rows->FieldByName(column)->AsVariant();
    auto other = MakeTable("T");
    other->SetIndexName("PrimaryKey");
    other->Open();
    if (!other->FindKey({Variant(id)})) return;
    other->Edit();
    try {
      other->FieldByName(column)->SetAsVariant(value);
      other->Post();
    } catch (const Exception&) {
      other->Cancel();  // a value the field refuses: the record stays as it was
    }
  }
  enum class EditEnd { Post, Locate, Cancel };
  // Road `d` stands on record `id` under its filter, which another user has
  // changed since: edit, type, and end.
  std::string EditAfterOtherUser(TDataSet* d, const std::string& typed, EditEnd end) {
    std::string out;
    try {
      d->Edit();
      out = "on " + d->FieldByName("Id")->AsString();
      d->FieldByName("Notes")->SetAsString(typed);
      switch (end) {
        case EditEnd::Post: d->Post(); break;
        case EditEnd::Locate: d->Locate("Id", Variant(0), {}); break;
        case EditEnd::Cancel: d->Cancel(); break;
      }
    } catch (const Exception& e) {
      out += " error: " + e.Message();
    }
    out += ", typed at " + StoredAt(typed) + (d->State() == dsBrowse ? "browsing" : "editing");
    if (d->State() != dsBrowse) d->Cancel();
    return out;
  }

  struct Counts {
    long rounds = 0, filters = 0, finds = 0, locates = 0, filteredLocates = 0, partialKeyLocates = 0, edits = 0;
    long blobOrders = 0, keySearches = 0, rangedLocates = 0, rangedFilters = 0, mismatches = 0;
  };

  // One round: fresh rows, the table on a random index, the query in its order.
  void Round(std::uint64_t seed, Counts& counts) {
    random_.seed(seed);
    const auto& groups = CaseGroups();
    roundGroups_.clear();
    for (int k = 0; k < kGroupsPerRound; ++k)
      roundGroups_.push_back(groups[(seed * kGroupsPerRound + std::uint64_t(k)) % groups.size()]);
    WriteRows();
    const Order& order = Any(kOrders);
    auto table = MakeTable("T");
    table->SetIndexName(order.index);
    table->Open();
    auto query = RecordTestRoad(path_, "T", order.orderBy, true);
    auto reference = RecordTestRoad(path_, "T", "Id");  // where the values come from
    // A blob in an indexed text column sorts by its bytes among the texts,
    // where SQL sorts it after them: the query's answers are then taken in
    // the table's own order, which must hold the same records and rise as
    // the engine compares the texts.
    const std::vector<int> walk = WalkIds(table.get());
    const bool blobOrder = walk != WalkIds(query.get());
    if (blobOrder) ++counts.blobOrders;
    const std::string textIndex = order.keyFields == std::string("Name") && NamesFitTheirRoom() ? "Name" : "";
    auto mismatch = [&](const std::string& what, const std::string& truth, const std::string& got) {
      if (truth == got) return false;
      ++counts.mismatches;
      ADD_FAILURE() << what << "\n  record test: " << truth << "\n  table (" << order.index << "): " << got
                    << "\n  replay: VANTREL_ROAD_SEED=" << seed;
      return true;
    };
    mismatch("the table's walk", Ids(InOrderOf(walk, WalkIds(query.get()))), Ids(walk));
    if (!textIndex.empty() && !TextsRise(table.get(), textIndex)) mismatch("the names rise along " + Ids(walk), "yes", "no");
    auto inOrder = [&](std::vector<int> ids) { return blobOrder ? InOrderOf(walk, std::move(ids)) : ids; };
    for (int i = 0; i < 30 && counts.mismatches < 5; ++i) {
      const std::string filter = Condition(reference.get());
      const TFilterOptions options = Options();
      const std::string shown = "filter " + filter + (options.Contains(foCaseInsensitive) ? " [any case]" : "") +
                                (options.Contains(foNoPartialCompare) ? " [whole]" : "");
      ++counts.filters;
      mismatch(shown, Answer([&] { return Ids(inOrder(FilteredIds(query.get(), filter, options))); }),
               Answer([&] { return Ids(FilteredIds(table.get(), filter, options)); }));
      if (i % 4 == 0) {
        ++counts.finds;
        mismatch("find walk, " + shown, Answer([&] {
                   return blobOrder ? FindWalkOf(inOrder(FilteredIds(query.get(), filter, options)))
                                    : FindWalk(query.get(), filter, options);
                 }),
                 Answer([&] { return FindWalk(table.get(), filter, options); }));
      }
      if (!textIndex.empty() && i % 3 == 1) {
        ++counts.keySearches;
        KeySearches(table.get(), query.get(), reference.get(), walk, mismatch);
      }
      std::string fields, located;
      Variant values;
      std::vector<Variant> list;
      LocateArguments(reference.get(), order, fields, values, list, located);
      TLocateOptions locate;
      if (Chance(50)) locate.Include(loCaseInsensitive);
      if (Chance(40)) locate.Include(loPartialKey);
      if (locate.Contains(loPartialKey) && fields.find(';') != std::string::npos) ++counts.partialKeyLocates;
      located = "locate " + located + (locate.Contains(loCaseInsensitive) ? " [any case]" : "") +
                (locate.Contains(loPartialKey) ? " [partial]" : "");
      ++counts.locates;
      auto truth = [&] {
        return blobOrder ? LocatedInOrder(query.get(), walk, fields, list, locate) : Located(query.get(), fields, values, locate);
      };
      mismatch(located, Answer(truth), Answer([&] { return Located(table.get(), fields, values, locate); }));
      if (i % 3 == 0) {
        // Inside the filter, switched on.
        ++counts.filteredLocates;
        for (TDataSet* d : {static_cast<TDataSet*>(query.get()), static_cast<TDataSet*>(table.get())}) {
          Answer([&] {
            d->SetFilter(filter);
            d->SetFilterOptions(options);
            d->SetFiltered(true);
            return std::string();
          });
        }
        mismatch(located + " inside " + shown, Answer(truth),
                 Answer([&] { return Located(table.get(), fields, values, locate); }));
        query->SetFiltered(false);
        table->SetFiltered(false);
      }
    }
    for (int i = 0; i < 2 && counts.mismatches < 5; ++i) EditsAfterOtherUser(seed, *table, *query, *reference, counts);
    if (order.rangeField != nullptr && counts.mismatches < 5) InsideARange(order, *table, *query, *reference, mismatch, counts);
    ++counts.rounds;
  }

  // A range of one key (a detail's link to its master): Locate and filters
  // inside it answer as the record test does over the range's own walk,
  // which starts at the key's first record and ends at the first record past
  // the range.
  template <class Mismatch>
  void InsideARange(const Order& order, TTestTable& table, TDataSet& query, TDataSet& reference, Mismatch& mismatch,
                    Counts& counts) {
    int key = Any({0, 1, 3, 5, 7, -1});
    reference.First();
    reference.MoveBy(Pick(reference.RecordCount()));
    if (Chance(60) && !reference.FieldByName(order.rangeField)->IsNull())
      key = reference.FieldByName(order.rangeField)->AsInteger();
    table.SetRange({Variant(key)}, {Variant(key)});
    const std::string range = std::string(" inside the range ") + order.rangeField + " = " + std::to_string(key);
    const std::vector<int> walk = WalkIds(&table);
    for (int i = 0; i < 12 && counts.mismatches < 5; ++i) {
      std::string fields, located;
      Variant values;
      std::vector<Variant> list;
      // Mostly the values of a record of the range, its last ones (past the
      // key's own, read as it) as often as the others.
      std::vector<int> among(walk.end() - std::min<std::ptrdiff_t>(Chance(50) ? 2 : 40, std::ssize(walk)), walk.end());
      LocateArguments(&reference, order, fields, values, list, located, among);
      TLocateOptions locate;
      if (Chance(50)) locate.Include(loCaseInsensitive);
      if (Chance(40)) locate.Include(loPartialKey);
      ++counts.rangedLocates;
      // Values the fields cannot hold fail alike, whatever the range holds.
      mismatch("locate " + located + range, Answer([&] {
                 query.Locate(fields, values, locate);
                 return LocatedInOrder(&query, walk, fields, list, locate);
               }),
               Answer([&] { return Located(&table, fields, values, locate); }));
      if (i % 3 != 0) continue;
      const std::string filter = Condition(&reference);
      const TFilterOptions options = Options();
      ++counts.rangedFilters;
      mismatch("filter " + filter + range, Answer([&] {
                 const std::vector<int> accepted = FilteredIds(&query, filter, options);
                 std::vector<int> shown;
                 for (int id : walk)
                   if (std::find(accepted.begin(), accepted.end(), id) != accepted.end()) shown.push_back(id);
                 return Ids(shown);
               }),
               Answer([&] { return Ids(FilteredIds(&table, filter, options)); }));
    }
    table.CancelRange();
  }

  void EditsAfterOtherUser(std::uint64_t seed, TDataSet& table, TDataSet& query, TDataSet& reference, Counts& counts) {
    const std::string filter = Condition(&reference);
    const TFilterOptions options = Options();
    std::vector<int> shown;
    try {
      shown = FilteredIds(&query, filter, options);
    } catch (const Exception&) {
      return;  // a filter the parser refuses: compared above already
    }
    if (shown.empty()) return;
    const int id = shown[std::size_t(Pick(int(shown.size())))];
    const EditEnd end = Any({EditEnd::Post, EditEnd::Locate, EditEnd::Cancel});
    const std::string step = "edit of " + std::to_string(id) + " after another user's change, filter " + filter +
                             (end == EditEnd::Post ? ", posted" : end == EditEnd::Locate ? ", posted by Locate" : ", cancelled");
    auto report = [&](const char* road, const std::string& truth, const std::string& got) {
      if (truth == got) return;
      ++counts.mismatches;
      ADD_FAILURE() << step << "\n  expected: " << truth << "\n  " << road << ": " << got
                    << "\n  replay: VANTREL_ROAD_SEED=" << seed;
    };
    for (TDataSet* d : {&table, &query}) {
      d->SetFilter(filter);
      d->SetFilterOptions(options);
      d->SetFiltered(true);
      report(d == &table ? "table" : "query", "shown", Answer([&] {
               return d->Locate("Id", Variant(id), {}) ? std::string("shown") : std::string("not shown");
             }));
    }
    OtherUserChanges(id, &reference);
    ++counts.edits;
    const std::string truth =
        "on " + std::to_string(id) + ", typed at " + (end == EditEnd::Cancel ? "" : std::to_string(id) + " ") + "browsing";
    for (TDataSet* d : {&table, &query}) {
      const std::string typed = "typed " + std::to_string(counts.edits) + (d == &table ? " t" : " q");
      report(d == &table ? "table" : "query", truth, Answer([&] { return EditAfterOtherUser(d, typed, end); }));
      d->SetFiltered(false);
    }
  }
};

TEST_F(RoadComparison, RandomTablesAnswerAlikeOnEveryRoad) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(RunSeconds());
  const std::uint64_t first = FirstSeed();
  Counts counts;
  for (std::uint64_t seed = first; std::chrono::steady_clock::now() < end && counts.mismatches < 5; ++seed)
    Round(seed, counts);
  const long groups = std::min<long>(counts.rounds * kGroupsPerRound, long(CaseGroups().size()));
  std::printf("[ road comparison ] seeds %llu..%llu: %ld rounds, %ld filters, %ld find walks, %ld locates, "
              "%ld inside a filter, %ld of several fields with a partial key, %ld edits after another user's change; "
              "%ld of %zu case groups; %ld rounds ordered with blobs among the texts, %ld key searches; "
              "inside a range of one key %ld locates, %ld filters\n",
              static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + counts.rounds),
              counts.rounds, counts.filters, counts.finds, counts.locates, counts.filteredLocates,
              counts.partialKeyLocates, counts.edits, groups, CaseGroups().size(), counts.blobOrders,
              counts.keySearches, counts.rangedLocates, counts.rangedFilters);
  EXPECT_GT(counts.rounds, 0);
}

}  // namespace
