// The case-blind indexes of a file made by an earlier build. Their columns
// declare the built-in NOCASE, and their entries stand in the order of the
// fold that build had (before the fold joined every case pair of Unicode's
// simple folding, or while a byte no character stands for read as U+FFFD),
// or out of any order where an earlier build wrote into a file a later one
// had rebuilt. SQLite searches an index by the collation it is given now, so
// in such an index it misses the rows whose order changed.
//
// The first user who may write brings the file to the present order under
// the present collation's own name (Connection::kCaseBlindCollation), in one
// write transaction: it reads each such index and keeps those whose entries
// already stand in the present order (one per row), renames the collation in
// the schema, and builds the others again. Earlier builds then find a
// collation they lack and are refused every write, instead of writing where
// this order does not look. A unique index whose keys the present fold finds
// alike is built again without its unique rule, and the user is told which
// values; a table whose own key (PRIMARY KEY, UNIQUE) holds such values
// keeps its earlier order, and is told too. A reader writes nothing: a table
// in an older order is read without its indexes (TableDef::caseBlindStale).
// Users who open the file while the rebuild runs wait for it.

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <map>
#include <string_view>
#include <thread>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/locks.h"
#include "platform/dao/openupkeep.h"
#include "platform/dao/readorder.h"
#include "platform/dao/store.h"

namespace {

DaoOpenHooks& Hooks() {
  static DaoOpenHooks hooks;
  return hooks;
}

}  // namespace

DaoOpenHooks DaoSetOpenHooks(DaoOpenHooks hooks) {
  std::swap(Hooks(), hooks);
  return hooks;
}

namespace dao {

using Clock = std::chrono::steady_clock;

// Tells the progress hook how far a stage has come: at its start and its
// end, and in between a few times a second.
class OpenProgressLine {
 public:
  explicit OpenProgressLine(const std::string& path) : hook_(Hooks().Progress) { p_.path = path; }
  void Start(DaoOpenProgress::Stage stage, std::int64_t total) {
    p_.stage = stage;
    p_.done = 0;
    p_.total = total;
    Tell();
  }
  void Advance(std::int64_t n) {
    p_.done += n;
    if (Due()) Tell();
  }
  void Waited(std::int64_t milliseconds) {
    p_.done = milliseconds;
    if (Due()) Tell();
  }
  void Finish() {
    p_.done = p_.total;
    Tell();
  }
  // Tells, once, that the open's work is over, when it told anything.
  void End() {
    if (!told_) return;
    told_ = false;
    p_ = {p_.path, DaoOpenProgress::Done, 0, 0};
    if (hook_) hook_(p_);
  }
  // Called by SQLite while a statement runs, so that the hook keeps the
  // windows alive during a long one.
  static int WhileRunning(void* line) {
    auto* self = static_cast<OpenProgressLine*>(line);
    try {
      if (self->Due()) self->Tell();
    } catch (...) {
      // Nothing may leave through SQLite; a line not shown stops no rebuild.
    }
    return 0;
  }

 private:
  static constexpr auto kInterval = std::chrono::milliseconds(100);
  bool Due() const { return hook_ && Clock::now() - last_ >= kInterval; }
  void Tell() {
    last_ = Clock::now();
    told_ = true;
    if (hook_) hook_(p_);
  }
  std::function<void(const DaoOpenProgress&)> hook_;
  DaoOpenProgress p_;
  Clock::time_point last_{};
  bool told_ = false;
};

namespace {

// ---- Collations named in schema texts ------------------------------------------

bool IsWordByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || (static_cast<unsigned char>(c) & 0x80);
}

// Where the next token starts, past blanks and comments.
std::size_t SkipBlank(std::string_view sql, std::size_t i) {
  for (;;) {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i != std::string_view::npos) i += 2;
    } else {
      return i;
    }
    if (i == std::string_view::npos) return sql.size();
  }
}

// Where the token at `i` ends: a quoted name or text, a word, or one byte.
std::size_t TokenEnd(std::string_view sql, std::size_t i) {
  const char c = sql[i];
  if (c == '\'' || c == '"' || c == '`' || c == '[') {
    const char close = c == '[' ? ']' : c;
    for (std::size_t j = i + 1; j < sql.size(); ++j) {
      if (sql[j] != close) continue;
      if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
        ++j;  // a doubled quote stands for itself
        continue;
      }
      return j + 1;
    }
    return sql.size();
  }
  std::size_t j = i + 1;
  if (IsWordByte(c))
    while (j < sql.size() && IsWordByte(sql[j])) ++j;
  return j;
}

struct Token {
  std::size_t start = 0, end = 0;
  std::string_view text;
};

std::vector<Token> Tokens(std::string_view sql) {
  std::vector<Token> out;
  for (std::size_t i = SkipBlank(sql, 0); i < sql.size(); i = SkipBlank(sql, i)) {
    const std::size_t end = TokenEnd(sql, i);
    out.push_back({i, end, sql.substr(i, end - i)});
    i = end;
  }
  return out;
}

// A name as written, without its quotes.
std::string_view Unquoted(std::string_view token) {
  if (token.size() >= 2 && std::string_view("'\"`[").find(token[0]) != std::string_view::npos)
    return token.substr(1, token.size() - 2);
  return token;
}

bool IsOlderOrderName(std::string_view collation) { return SameText(Unquoted(collation), "NOCASE"); }

// The tokens that name an older case-blind collation (each after COLLATE).
std::vector<Token> OlderOrderNames(std::string_view sql) {
  const std::vector<Token> tokens = Tokens(sql);
  std::vector<Token> out;
  for (std::size_t i = 1; i < tokens.size(); ++i)
    if (SameText(tokens[i - 1].text, "COLLATE") && IsOlderOrderName(tokens[i].text)) out.push_back(tokens[i]);
  return out;
}

// The text with the tokens given written as `by`.
std::string Replaced(std::string_view sql, const std::vector<Token>& tokens, std::string_view by) {
  std::string out;
  std::size_t at = 0;
  for (const Token& t : tokens) {
    out.append(sql.substr(at, t.start - at)).append(by);
    at = t.end;
  }
  return out.append(sql.substr(at));
}

// A unique index whose keys the present order finds alike keeps no unique
// rule until they differ; its schema text says so, for every later open to
// look again (and for anyone who reads the schema).
constexpr std::string_view kUniqueLater = "/* UNIQUE once no keys are alike */";

// CREATE UNIQUE INDEX ... as CREATE INDEX ... marked so.
std::string UniqueLater(std::string_view sql) {
  const std::vector<Token> tokens = Tokens(sql);
  if (tokens.size() < 3 || !SameText(tokens[1].text, "UNIQUE")) return std::string(sql);
  return Replaced(sql, {{tokens[1].start, tokens[2].start, {}}}, "") + " " + std::string(kUniqueLater);
}

// And back.
std::string UniqueAgain(std::string_view sql) {
  const std::size_t mark = sql.find(kUniqueLater);
  const std::vector<Token> tokens = Tokens(sql);
  if (mark == std::string_view::npos || tokens.size() < 2) return std::string(sql);
  std::string out(sql.substr(0, mark));
  while (!out.empty() && out.back() == ' ') out.pop_back();
  out += sql.substr(mark + kUniqueLater.size());
  return out.insert(tokens[1].start, "UNIQUE ");
}

// ---- The schema's entries in an older order --------------------------------------

struct SchemaEntry {
  std::string type, name, sql;
};

// The schema's entries (tables, indexes, and what else names a collation)
// that name an older case-blind order, by the table they belong to.
std::map<std::string, std::vector<SchemaEntry>> OlderSchema(Connection& c) {
  std::map<std::string, std::vector<SchemaEntry>> out;
  StatementUse s(c.Cached("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL"));
  while (s->Step()) {
    std::string sql = s->ColumnText(3);
    if (!OlderOrderNames(sql).empty()) out[s->ColumnText(2)].push_back({s->ColumnText(0), s->ColumnText(1), sql});
  }
  return out;
}

// Writes the schema texts of entries anew, and has every connection read
// the schema again.
void SetSchemaTexts(Connection& c, const std::vector<SchemaEntry>& entries) {
  std::int64_t version = 0;
  {
    auto s = c.Prepare("PRAGMA schema_version");
    if (s->Step()) version = s->ColumnInteger(0);
  }
  c.Exec("PRAGMA writable_schema=ON");
  for (const SchemaEntry& e : entries) {
    auto s = c.Prepare("UPDATE sqlite_master SET sql=? WHERE type=? AND name=?");
    s->Bind(1, e.sql).Bind(2, e.type).Bind(3, e.name).Step();
  }
  c.Exec("PRAGMA schema_version=" + std::to_string(version + 1) + "; PRAGMA writable_schema=RESET");
}

// ---- Indexes and their entries ---------------------------------------------------

struct KeyColumn {
  std::string name;
  bool caseBlind = false;
  bool descending = false;
};

// An index of a table, as the checks and the rebuild treat it.
struct TableIndex {
  std::string name;  // SQLite's
  bool older = false;      // its key compares a text column case-blind in an older order
  bool unique = false;
  bool ownSql = false;     // made by CREATE INDEX, not by the table's key: it may lose its unique rule
  bool readable = true;    // its entries can be read in their order and compared here
  std::vector<KeyColumn> keys;
  bool inOrder = false;    // its entries were found in the present order
};

std::vector<TableIndex> IndexesOf(Connection& c, const std::string& table) {
  std::vector<TableIndex> out;
  auto list = c.Prepare("SELECT name, \"unique\", origin, partial FROM pragma_index_list(?)");
  list->Bind(1, table);
  while (list->Step()) {
    TableIndex index;
    index.name = list->ColumnText(0);
    index.unique = list->ColumnInteger(1) != 0;
    index.ownSql = list->ColumnText(2) == "c";
    index.readable = list->ColumnInteger(3) == 0;
    int rowids = 0, others = 0;
    auto info = c.Prepare("SELECT cid, name, \"desc\", coll, key FROM pragma_index_xinfo(?)");
    info->Bind(1, index.name);
    while (info->Step()) {
      const std::string collation = info->ColumnText(3);
      if (info->ColumnInteger(4) == 0) {
        (info->ColumnInteger(0) == -1 ? rowids : others)++;
        continue;
      }
      const bool caseBlind = IsOlderOrderName(collation) || SameText(collation, Connection::kCaseBlindCollation);
      index.older = index.older || IsOlderOrderName(collation);
      // An expression, or an order this check does not know, is built again.
      if (info->ColumnInteger(0) < 0 || !(caseBlind || SameText(collation, "BINARY"))) index.readable = false;
      index.keys.push_back({info->ColumnText(1), caseBlind, info->ColumnInteger(2) != 0});
    }
    index.readable = index.readable && rowids == 1 && others == 0;
    out.push_back(std::move(index));
  }
  return out;
}

// The table's rows, counted in a whole index whose order never changed (else
// in the table itself): an index in an older order may hold more entries.
std::int64_t RowsOf(Connection& c, const std::string& table, const std::vector<TableIndex>& indexes) {
  std::string by = " NOT INDEXED";
  for (const TableIndex& index : indexes)
    if (!index.older && index.readable) by = " INDEXED BY " + QuoteIdentifier(index.name);
  auto s = c.Prepare("SELECT count(*) FROM " + QuoteIdentifier(table) + by);
  return s->Step() ? s->ColumnInteger(0) : 0;
}

std::string KeyList(const std::vector<KeyColumn>& keys) {
  std::string out;
  for (const KeyColumn& k : keys) out += (out.empty() ? "" : ", ") + QuoteIdentifier(k.name);
  return out;
}

// Two keys in the index's order (its columns' own, a descending one turned).
int CompareKeys(const std::vector<Cell>& a, const std::vector<Cell>& b, const std::vector<KeyColumn>& keys) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const int c = CompareStored(a[i], b[i], keys[i].caseBlind);
    if (c != 0) return keys[i].descending ? -c : c;
  }
  return 0;
}

bool HasNull(const std::vector<Cell>& key, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (key[i].IsNull()) return true;
  return false;
}

// While it lives, SQLite calls the progress line every so many steps of the
// statements this connection runs.
class StatementProgress {
 public:
  StatementProgress(Connection& c, OpenProgressLine& line) : db_(c.Handle()) {
    sqlite3_progress_handler(db_, kSteps, &OpenProgressLine::WhileRunning, &line);
  }
  ~StatementProgress() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
  StatementProgress(const StatementProgress&) = delete;
  StatementProgress& operator=(const StatementProgress&) = delete;

 private:
  static constexpr int kSteps = 20000;  // a few milliseconds of work
  sqlite3* db_;
};

// Whether the index's entries stand in the present order: each after the
// one before (by its key, then its row), as many as the table has rows, and
// no two keys of a unique index alike. An index SQLite searches in this
// order then finds every row it holds.
bool InPresentOrder(Connection& c, const std::string& table, const TableIndex& index, std::int64_t rows,
                    OpenProgressLine& line) {
  if (!index.readable) return false;
  const std::size_t n = index.keys.size();
  // No condition and no order: SQLite reads the index as it stands.
  auto s = c.Prepare("SELECT " + KeyList(index.keys) + ", rowid FROM " + QuoteIdentifier(table) + " INDEXED BY " +
                     QuoteIdentifier(index.name));
  std::vector<Cell> before(n + 1), entry(n + 1);
  std::int64_t count = 0;
  while (s->Step()) {
    for (std::size_t i = 0; i <= n; ++i) s->ReadColumn(static_cast<int>(i), entry[i]);
    if (count > 0) {
      const int order = CompareKeys(before, entry, index.keys);
      if (order > 0) return false;
      if (order == 0 && ((index.unique && !HasNull(entry, n)) || before[n].integer >= entry[n].integer)) return false;
    }
    std::swap(before, entry);
    if (++count % 1024 == 0) line.Advance(1024);
  }
  line.Advance(count % 1024);
  return count == rows;
}

// Keys alike in the present order, read from `sql` in an order that keeps
// them together: each group's values as written, the first kListed groups.
constexpr std::size_t kListed = 10;
struct AlikeKeys {
  std::vector<std::vector<std::string>> groups;
  std::size_t more = 0;  // groups beyond those listed
};

std::string ValueText(const Cell& v) {
  switch (v.kind) {
    case Cell::Integer: return std::to_string(v.integer);
    case Cell::Real: {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", v.real);
      return text;
    }
    case Cell::Null: return "Null";
    default: return "\"" + v.text + "\"";
  }
}

AlikeKeys FindAlike(Connection& c, const std::string& sql, const std::vector<KeyColumn>& keys) {
  AlikeKeys out;
  auto s = c.Prepare(sql);
  const std::size_t n = keys.size();
  std::vector<Cell> before(n), entry(n);
  std::vector<std::string> group;
  auto close = [&] {
    // Alike keys stand in no order of their own: their values by their bytes.
    std::sort(group.begin(), group.end());
    if (group.size() > 1) {
      if (out.groups.size() < kListed)
        out.groups.push_back(group);
      else
        ++out.more;
    }
    group.clear();
  };
  while (s->Step()) {
    for (std::size_t i = 0; i < n; ++i) s->ReadColumn(static_cast<int>(i), entry[i]);
    if (group.empty() || HasNull(entry, n) || CompareKeys(before, entry, keys) != 0) close();
    std::string text;
    for (const Cell& v : entry) text += (text.empty() ? "" : ", ") + ValueText(v);
    group.push_back(n > 1 ? "(" + text + ")" : text);
    std::swap(before, entry);
  }
  close();
  return out;
}

std::string AlikeText(const AlikeKeys& alike) {
  std::string out;
  for (const auto& group : alike.groups) {
    std::string line;
    for (std::size_t i = 0; i < group.size(); ++i)
      line += (i == 0 ? "" : i + 1 == group.size() ? " and " : ", ") + group[i];
    out += "\r" + line;
  }
  if (alike.more > 0) out += "\r... and " + std::to_string(alike.more) + " more";
  return out;
}

std::string SchemaText(Connection& c, const char* type, const std::string& name) {
  auto s = c.Prepare("SELECT sql FROM sqlite_master WHERE type=? AND name=?");
  s->Bind(1, std::string(type)).Bind(2, name);
  return s->Step() ? s->ColumnText(0) : std::string();
}

// What the user is told of a unique index whose keys are alike.
std::string AlikeInIndexNotice(Connection& c, const std::string& table, const TableIndex& index) {
  const AlikeKeys alike = FindAlike(c,
                                    "SELECT " + KeyList(index.keys) + " FROM " + QuoteIdentifier(table) +
                                        " INDEXED BY " + QuoteIdentifier(index.name),
                                    index.keys);
  if (alike.groups.empty()) return {};
  std::string name = index.name;  // the catalogue's name for it, when it has one
  if (const TableDef* def = c.FindTable(table))
    for (const IndexDef& i : def->indexes)
      if (i.sqlName == index.name) name = i.name;
  return "Table \"" + table + "\": its index \"" + name +
         "\" requires unique values, and these now count as the same, since upper and lower case are matched in "
         "every alphabet:" +
         AlikeText(alike) + "\r\rThe index accepts such values until one of each is changed.";
}

// What the user is told of a table whose own key holds keys alike.
std::string AlikeInKeyNotice(Connection& c, const std::string& table, const TableIndex& key) {
  const AlikeKeys alike = FindAlike(c,
                                    "SELECT " + KeyList(key.keys) + " FROM " + QuoteIdentifier(table) +
                                        " NOT INDEXED ORDER BY " + KeyList(key.keys),
                                    key.keys);
  return "Table \"" + table +
         "\": its key requires unique values, and these now count as the same, since upper and lower case are "
         "matched in every alphabet:" +
         AlikeText(alike) +
         "\r\rThe table keeps its earlier order until one of each is changed; it is read more slowly meanwhile.";
}

// A table whose schema names an older order: its entries that do, and its
// indexes in that order.
struct OlderTable {
  std::string name;
  std::vector<SchemaEntry> entries;
  std::vector<TableIndex> indexes;
  std::int64_t rows = 0;
};

std::vector<OlderTable> OlderTables(Connection& c) {
  std::vector<OlderTable> out;
  for (auto& [name, schema] : OlderSchema(c)) {
    const std::vector<TableIndex> all = IndexesOf(c, name);
    OlderTable t{name, std::move(schema), {}};
    std::copy_if(all.begin(), all.end(), std::back_inserter(t.indexes), [](const TableIndex& i) { return i.older; });
    if (!t.indexes.empty()) t.rows = RowsOf(c, name, all);
    out.push_back(std::move(t));
  }
  return out;
}

// Names the present order in the table's schema and builds again its
// indexes not found in that order. A unique index whose keys are alike
// gives up its unique rule; a table's own key keeps it, and the table then
// stays in its earlier order, its renaming undone.
void BringToPresentOrder(Connection& c, const OlderTable& t, OpenProgressLine& line,
                         std::vector<std::string>& notices) {
  const bool mayGoBack =
      std::any_of(t.indexes.begin(), t.indexes.end(), [](const TableIndex& i) { return !i.ownSql && !i.inOrder; });
  if (mayGoBack) c.Exec("SAVEPOINT caseorder");  // only then: large indexes build faster without
  std::vector<SchemaEntry> renamed = t.entries;
  for (SchemaEntry& e : renamed) e.sql = Replaced(e.sql, OlderOrderNames(e.sql), Connection::kCaseBlindCollation);
  SetSchemaTexts(c, renamed);
  for (const TableIndex& index : t.indexes) {
    if (index.inOrder) continue;
    const auto rebuild = [&] {
      c.Exec("REINDEX " + QuoteIdentifier(index.name));
      line.Advance(t.rows);
    };
    try {
      rebuild();
      continue;
    } catch (const TDaoFailure& e) {
      if (e.Number() != errDuplicateKey) throw;
    }
    if (!index.ownSql) {
      c.Exec("ROLLBACK TO caseorder");
      notices.push_back(AlikeInKeyNotice(c, t.name, index));
      break;
    }
    SetSchemaTexts(c, {{"index", index.name, UniqueLater(SchemaText(c, "index", index.name))}});
    rebuild();
    std::string told = AlikeInIndexNotice(c, t.name, index);
    if (!told.empty()) notices.push_back(std::move(told));
  }
  if (mayGoBack) c.Exec("RELEASE caseorder");
}

// Where the file is rebuilt in this process. An open of it made from within
// the rebuild (its progress hook runs the event loop) cannot wait for it.
std::set<std::uint64_t>& RebuildingHere() {
  static std::set<std::uint64_t> files;
  return files;
}

// Waits while another connection holds the rebuild's mark on the file;
// answers whether it waited.
bool WaitForAnotherRebuild(LockFile& locks, OpenProgressLine& line) {
  const auto start = Clock::now();
  bool waited = false;
  while (!locks.LockTable(Connection::kRebuildMark, false)) {
    if (!waited) line.Start(DaoOpenProgress::Waiting, 0);
    waited = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    line.Waited(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  }
  locks.UnlockTable(Connection::kRebuildMark, false);
  return waited;
}


}  // namespace

std::set<std::string> Connection::TablesInOlderOrder() {
  std::set<std::string> out;
  for (const auto& [table, entries] : OlderSchema(*this)) out.insert(UpperKey(table));
  return out;
}

bool Connection::CaseBlindIndexesStale() {
  LoadCatalogue();
  return !olderOrder_.empty();
}

void Connection::BringCaseBlindIndexesInOrder() {
  std::vector<std::string> notices;
  OpenProgressLine line(path_);
  struct Over {
    OpenProgressLine& line;
    ~Over() {
      try {
        line.End();
      } catch (...) {
        // Said on the way out of a failed open: the failure is what counts.
      }
    }
  } over{line};
  if (!readOnly_) LookAgainAtUniqueRules(notices);
  if (!TablesInOlderOrder().empty()) RebuildOnce(notices, line);
  line.End();
  if (const auto notice = Hooks().Notice)
    for (const std::string& text : notices) notice(path_, text);
}

void Connection::RebuildOnce(std::vector<std::string>& notices, OpenProgressLine& line) {
  if (RebuildingHere().count(fileInode_) != 0) {
    if (readOnly_) return;
    RefuseBusy();
  }
  bool marked = false;
  for (auto since = Clock::now();;) {
    if (WaitForAnotherRebuild(*sharing_, line)) since = Clock::now();
    if (readOnly_ || TablesInOlderOrder().empty()) return;
    marked = sharing_->LockTable(kRebuildMark, true);
    // Refused while nobody rebuilds: someone looks whether anyone does, or
    // a table's lock falls on the same byte. The mark only spares others a
    // wasted wait, so after a while the rebuild goes on without it.
    if (marked || Clock::now() - since > std::chrono::seconds(1)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  RebuildingHere().insert(fileInode_);
  auto release = [&] {
    RebuildingHere().erase(fileInode_);
    if (marked) sharing_->UnlockTable(kRebuildMark, true);
  };
  try {
    RebuildInPresentOrder(notices, line);
  } catch (const TDaoFailure& e) {
    release();
    if (e.Number() == errLocked) RefuseBusy();
    throw;
  } catch (...) {
    release();
    throw;
  }
  release();
}

// A unique index left without its rule gets it back once no keys are alike;
// until then the user is told again.
void Connection::LookAgainAtUniqueRules(std::vector<std::string>& notices) {
  std::vector<std::pair<std::string, std::string>> waiting;  // index, table
  {
    StatementUse s(Cached("SELECT name, tbl_name FROM sqlite_master WHERE type='index' AND instr(sql, '" +
                          std::string(kUniqueLater) + "') > 0"));
    while (s->Step()) waiting.emplace_back(s->ColumnText(0), s->ColumnText(1));
  }
  if (waiting.empty()) return;
  try {
    WriteScope scope(*this);
    for (const auto& [name, table] : waiting)
      for (const TableIndex& index : IndexesOf(*this, table)) {
        if (index.name != name) continue;
        const std::string alike = AlikeInIndexNotice(*this, table, index);
        if (alike.empty())
          SetSchemaTexts(*this, {{"index", name, UniqueAgain(SchemaText(*this, "index", name))}});
        else
          notices.push_back(alike);
      }
    scope.Commit();
  } catch (const TDaoFailure& e) {
    // Busy with other users' writes: a later open looks again.
    if (e.Number() != errLocked) throw;
  }
}


void Connection::WaitForRebuildElsewhere(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || RebuildingHere().count(static_cast<std::uint64_t>(st.st_ino)) != 0) return;
  OpenProgressLine line(path);
  WaitForAnotherRebuild(*LockFile::For(path, false), line);
  line.End();
}

void Connection::RebuildInPresentOrder(std::vector<std::string>& notices, OpenProgressLine& line) {
  WriteScope scope(*this);
  std::vector<OlderTable> tables = OlderTables(*this);
  std::int64_t entries = 0;
  for (const OlderTable& t : tables)
    for (const TableIndex& index : t.indexes) entries += index.readable ? t.rows : 0;
  line.Start(DaoOpenProgress::Checking, entries);
  std::int64_t rebuilt = 0;
  for (OlderTable& t : tables)
    for (TableIndex& index : t.indexes) {
      index.inOrder = InPresentOrder(*this, t.name, index, t.rows, line);
      if (!index.inOrder) rebuilt += t.rows;
    }
  line.Finish();
  line.Start(DaoOpenProgress::Rebuilding, rebuilt);
  StatementProgress whileRunning(*this, line);
  for (const OlderTable& t : tables) BringToPresentOrder(*this, t, line, notices);
  line.Finish();
  Exec("PRAGMA user_version=" + std::to_string(kCaseBlindOrder));
  scope.Commit();
  catalogueLoaded_ = false;
}

}  // namespace dao
