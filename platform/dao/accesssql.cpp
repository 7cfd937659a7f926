#include "platform/dao/accesssql.h"

#include <cctype>
#include <cmath>
#include <map>
#include <set>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/accesssqltokens.h"
#include "platform/dao/accesssqltypes.h"
#include "platform/dao/daoerrors.h"
#include "platform/dao/store.h"

namespace dao {

using namespace accesssql;

namespace {

// Access functions with a SQLite counterpart of the same arguments.
std::string MappedFunction(const std::string& name) {
  static const std::pair<const char*, const char*> map[] = {
      {"UCASE", "upper"}, {"LCASE", "lower"}, {"LEN", "length"}, {"MID", "substr"},
      {"TRIM", "trim"},   {"LTRIM", "ltrim"}, {"RTRIM", "rtrim"}, {"IIF", "iif"},
      {"NZ", "ifnull"},   {"ABS", "abs"},     {"COUNT", "count"}, {"SUM", "sum"},
      {"AVG", "avg"},     {"MIN", "min"},     {"MAX", "max"},     {"INSTR", "instr"}};
  std::string u = UpperCase(name);
  for (auto& [a, b] : map)
    if (u == a) return b;
  return {};
}

std::string SqlString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string NumberText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::vector<long> Numbers(const std::string& s, size_t& pos, char sep) {
  std::vector<long> out;
  for (;;) {
    size_t start = pos;
    long v = 0;
    // No date or time part has ten digits; a longer run would overflow.
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
      if (pos - start == 9) return {};
      v = v * 10 + (s[pos++] - '0');
    }
    if (pos == start) return {};
    out.push_back(v);
    if (pos < s.size() && s[pos] == sep) {
      ++pos;
      continue;
    }
    return out;
  }
}

// ---- DDL ------------------------------------------------------------------------

class DdlParser : public TokenCursor {
 public:
  DdlParser(const std::vector<Token>& t, int error) : TokenCursor(t, 0, t.size() - 1), error_(error) {}

  const Token& Next() { return t_[pos_ < end_ ? pos_++ : pos_]; }
  void Expect(const char* word) {
    if (!Accept(word)) Fail(error_);
  }
  void ExpectPunct(const char* p) {
    if (!AcceptPunct(p)) Fail(error_);
  }
  std::string Name() {
    const Token& t = Next();
    if (t.kind != Tok::Word && t.kind != Tok::Name) Fail(error_);
    if (t.text.empty()) Fail(error_);
    return t.text;
  }
  void End() {
    AcceptPunct(";");
    if (Peek().kind != Tok::End) Fail(errCharactersAfterEnd);
  }

  std::vector<IndexColumn> ColumnList() {
    std::vector<IndexColumn> cols;
    ExpectPunct("(");
    do {
      IndexColumn c;
      c.name = Name();
      if (Accept("DESC"))
        c.descending = true;
      else
        Accept("ASC");
      cols.push_back(c);
    } while (AcceptPunct(","));
    ExpectPunct(")");
    return cols;
  }

 private:
  int error_;
};

Translation ParseCreateTable(const std::vector<Token>& tokens) {
  Translation tr;
  tr.kind = StatementKind::CreateTable;
  DdlParser p(tokens, errSyntaxInCreateTable);
  p.Expect("CREATE");
  p.Expect("TABLE");
  tr.table.name = p.Name();
  p.ExpectPunct("(");
  do {
    if (p.Accept("CONSTRAINT")) {
      IndexDef index;
      index.name = p.Name();
      if (p.Accept("PRIMARY")) {
        p.Expect("KEY");
        index.primary = true;
      } else if (p.Accept("UNIQUE")) {
        index.unique = true;
      } else {
        Fail(errSyntaxInCreateIndex);
      }
      index.columns = p.ColumnList();
      tr.table.indexes.push_back(index);
      continue;
    }
    FieldDef f;
    f.name = p.Name();
    const Token& typeTok = p.Next();
    bool counter = false;
    f.type = typeTok.kind == Tok::Word ? TypeFromDdlName(typeTok.text, counter) : 0;
    if (f.type == 0) Fail(errSyntaxInFieldDefinition);
    f.size = DefaultFieldSize(f.type);
    if (counter) f.attributes = dbAutoIncrField;
    if (p.AcceptPunct("(")) {
      const Token& n = p.Next();
      if (n.kind != Tok::Number || (f.type != dbText && f.type != dbBinary)) Fail(errSyntaxInFieldDefinition);
      f.size = std::atoi(n.text.c_str());
      if (f.size < 1 || f.size > 255) Fail(errSyntaxInFieldDefinition);
      p.ExpectPunct(")");
    }
    for (;;) {
      if (p.Accept("NOT")) {
        p.Expect("NULL");
        f.required = true;
      } else if (p.Accept("NULL")) {
      } else if (p.Accept("CONSTRAINT") || Is(p.Peek(), "PRIMARY") || Is(p.Peek(), "UNIQUE")) {
        IndexDef index;
        index.name = (Is(p.Peek(), "PRIMARY") || Is(p.Peek(), "UNIQUE")) ? "" : p.Name();
        if (p.Accept("PRIMARY")) {
          p.Expect("KEY");
          index.primary = true;
          if (index.name.empty()) index.name = "PrimaryKey";
        } else if (p.Accept("UNIQUE")) {
          index.unique = true;
          if (index.name.empty()) index.name = f.name;
        } else {
          Fail(errSyntaxInCreateIndex);
        }
        index.columns = {{f.name, false}};
        tr.table.indexes.push_back(index);
      } else {
        break;
      }
    }
    tr.table.fields.push_back(f);
  } while (p.AcceptPunct(","));
  p.ExpectPunct(")");
  p.End();
  return tr;
}

Translation ParseCreateIndex(const std::vector<Token>& tokens) {
  Translation tr;
  tr.kind = StatementKind::CreateIndex;
  DdlParser p(tokens, errSyntaxInCreateIndex);
  p.Expect("CREATE");
  tr.index.unique = p.Accept("UNIQUE");
  p.Expect("INDEX");
  tr.index.name = p.Name();
  p.Expect("ON");
  tr.tableName = p.Name();
  tr.index.columns = p.ColumnList();
  if (p.Accept("WITH")) {
    do {
      if (p.Accept("PRIMARY")) {
        tr.index.primary = true;
      } else if (p.Accept("DISALLOW")) {
        p.Expect("NULL");
        tr.index.required = true;
      } else if (p.Accept("IGNORE")) {
        p.Expect("NULL");
        tr.index.ignoreNulls = true;
      } else {
        Fail(errSyntaxInCreateIndex);
      }
    } while (!Is(p.Peek(), "") && p.Peek().kind == Tok::Word);
  }
  p.End();
  return tr;
}

Translation ParseDrop(const std::vector<Token>& tokens) {
  Translation tr;
  DdlParser p(tokens, errSyntaxInDrop);
  p.Expect("DROP");
  if (p.Accept("TABLE")) {
    tr.kind = StatementKind::DropTable;
    tr.tableName = p.Name();
  } else if (p.Accept("INDEX")) {
    tr.kind = StatementKind::DropIndex;
    tr.index.name = p.Name();
    p.Expect("ON");
    tr.tableName = p.Name();
  } else {
    Fail(errSyntaxInDrop);
  }
  p.End();
  return tr;
}

// ---- queries and changes ----------------------------------------------------------

// FROM name [[AS] alias] {, name [[AS] alias]} — the list the system sends,
// without joins or parentheses (those are left to SQLite to judge).
// Answers the tables named (name, alias).
std::vector<std::pair<std::string, std::string>> CheckFromClause(const std::vector<Token>& t, size_t from,
                                                                 size_t end) {
  std::vector<std::pair<std::string, std::string>> tables;
  size_t i = from;
  for (;;) {
    if (i >= end || (t[i].kind != Tok::Word && t[i].kind != Tok::Name)) Fail(errSyntaxInFrom);
    tables.emplace_back(t[i].text, t[i].text);
    ++i;
    if (i < end && Is(t[i], "AS")) ++i;
    if (i < end && (t[i].kind == Tok::Word || t[i].kind == Tok::Name)) tables.back().second = t[i++].text;
    if (i == end) return tables;
    if (!IsPunct(t[i], ",")) Fail(errSyntaxInFrom);
    ++i;
  }
}

bool ClauseEnd(const Token& t) {
  return t.kind == Tok::End || Is(t, "WHERE") || Is(t, "ORDER") || Is(t, "GROUP") ||
         Is(t, "HAVING") || Is(t, "UNION") || IsPunct(t, ";") || IsPunct(t, ")");
}

StatementKind ChangeKind(const Token& first) {
  if (Is(first, "SELECT")) return StatementKind::Select;
  if (Is(first, "INSERT")) return StatementKind::Insert;
  if (Is(first, "UPDATE")) return StatementKind::Update;
  if (Is(first, "DELETE")) return StatementKind::Delete;
  Fail(errInvalidStatement);
}

// The statement ends at a ";" followed by nothing.
size_t StatementEnd(const std::vector<Token>& t, size_t start) {
  size_t end = start;
  while (t[end].kind != Tok::End && !IsPunct(t[end], ";")) ++end;
  if (IsPunct(t[end], ";") && t[end + 1].kind != Tok::End) Fail(errCharactersAfterEnd);
  return end;
}

// The Access text of the statement's first condition, for messages.
std::string WhereText(const std::string& text, const std::vector<Token>& t, size_t start, size_t end) {
  std::string where;
  for (size_t i = start; i < end && where.empty(); ++i) {
    if (!Is(t[i], "WHERE")) continue;
    size_t stop = i + 1;
    while (!ClauseEnd(t[stop]) || Is(t[stop], "WHERE")) ++stop;
    where = Trim(text.substr(t[i + 1].start, t[stop].start - t[i + 1].start));
  }
  return where;
}

// The tables a SELECT names in its own FROM (not a subquery's); every FROM list
// is checked on the way.
std::vector<std::pair<std::string, std::string>> OwnTables(const std::vector<Token>& t, size_t start, size_t end) {
  // Where the list after each token ends, and where a join or parenthesis
  // comes next: found in one backward pass, so that text of many FROMs is
  // read in linear time.
  std::vector<size_t> listEnd(end + 1, end), joined(end + 1, end);
  for (size_t i = end; i-- > start;) {
    listEnd[i] = ClauseEnd(t[i]) ? i : listEnd[i + 1];
    joined[i] = Is(t[i], "JOIN") || IsPunct(t[i], "(") ? i : joined[i + 1];
  }
  std::vector<std::pair<std::string, std::string>> own;
  int depth = 0;
  for (size_t i = start; i < end; ++i) {
    if (IsPunct(t[i], "("))
      ++depth;
    else if (IsPunct(t[i], ")"))
      --depth;
    if (!Is(t[i], "FROM")) continue;
    size_t stop = listEnd[i + 1];
    auto tables = joined[i + 1] < stop ? decltype(own)() : CheckFromClause(t, i + 1, stop);
    if (depth == 0) own = tables;
  }
  return own;
}

// A table whose case-blind indexes are in another fold's order (a file no
// writer has brought to the present one) is read without any: SQLite would
// search them by this order and miss rows. Each such table named in a FROM
// list, a join or an UPDATE gets NOT INDEXED after its alias. SQLite may
// still answer "x IN (SELECT column FROM table)" from that table's index of
// the column; a unary plus there makes the column an expression it cannot.
void KeepOffOlderIndexes(const std::vector<Token>& t, size_t start, size_t end, const TableLookupFn& tables,
                         CurrencyRewrite& rewrite) {
  if (!tables) return;
  auto older = [&](const std::string& name) {
    TableDef def;
    return tables(name, def) && def.caseBlindStale;
  };
  auto add = [](std::map<size_t, std::string>& pieces, size_t i, const std::string& piece, bool first) {
    std::string& at = pieces[i];
    at = at.empty() ? piece : first ? piece + " " + at : at + " " + piece;
  };
  // A name that may stand for a table or its alias: no word SQLite reads
  // otherwise there.
  auto name = [](const Token& k) {
    static const std::set<std::string> joins = {"CROSS", "NATURAL", "FULL", "USING", "LIMIT", "OFFSET", "INDEXED"};
    const std::string u = UpperCase(k.text);
    return k.kind == Tok::Name || (k.kind == Tok::Word && !Keywords().count(u) && !joins.count(u));
  };
  std::vector<bool> fromList(1, false);  // per parenthesis depth: inside a FROM list
  bool item = Is(t[start], "UPDATE");
  for (size_t i = start + (item ? 1 : 0); i < end; ++i) {
    const Token& k = t[i];
    if (item && IsPunct(k, "(") && !Is(t[i + 1], "SELECT")) {  // a group of joins
      fromList.push_back(false);
      continue;
    }
    if (item && name(k)) {
      item = false;
      size_t last = i;  // the alias, when there is one
      if (Is(t[i + 1], "AS"))
        last = i + 2;
      else if (name(t[i + 1]))
        last = i + 1;
      if (last >= end || !older(k.text)) continue;
      add(rewrite.after, last, "NOT INDEXED", false);
      // IN ( SELECT [table .] column FROM table [alias] )
      const bool qualified = i >= start + 6 && (IsPunct(t[i - 3], ".") || IsPunct(t[i - 3], "!"));
      const size_t column = qualified ? i - 4 : i - 2;
      if (column >= start + 3 && Is(t[i - 1], "FROM") && Is(t[column - 1], "SELECT") &&
          IsPunct(t[column - 2], "(") && Is(t[column - 3], "IN") && IsPunct(t[last + 1], ")"))
        add(rewrite.before, column, "+", true);
      continue;
    }
    item = false;
    if (IsPunct(k, "(")) {
      fromList.push_back(false);
    } else if (IsPunct(k, ")")) {
      if (fromList.size() > 1) fromList.pop_back();
    } else if (Is(k, "FROM") || Is(k, "JOIN")) {
      fromList.back() = true;
      item = true;
    } else if (IsPunct(k, ",")) {
      item = fromList.back();
    } else if (ClauseEnd(k) || Is(k, "ON")) {
      fromList.back() = false;
    }
  }
}

// Whether rows of the result may stand for several rows of a table (or none):
// then the result cannot be changed through it.
bool Grouped(const std::vector<Token>& t, size_t start, size_t end) {
  for (size_t i = start; i < end; ++i) {
    if (t[i].kind != Tok::Word) continue;
    std::string u = UpperCase(t[i].text);
    if (u == "DISTINCT" || u == "DISTINCTROW" || u == "GROUP" || u == "UNION") return true;
    bool call = IsPunct(t[i + 1], "(") && !(i > start && Is(t[i - 1], "INTO"));
    if (call && (u == "COUNT" || u == "SUM" || u == "AVG" || u == "MIN" || u == "MAX")) return true;
  }
  return false;
}

// Writes the tokens of a query or change as SQLite text, one at a time.
class SqlWriter {
 public:
  SqlWriter(const std::string& text, const std::vector<Token>& t, const std::vector<ParameterDecl>& params,
            const CurrencyRewrite& currency)
      : text_(text), t_(t), params_(params), currency_(currency) {}

  std::string Write(size_t start, size_t end, StatementKind kind) {
    size_t i = start;
    if (kind == StatementKind::Delete) i = WriteDelete(start, end);
    for (; i < end; ++i) {
      if (Is(t_[i], "TOP") && i > start && (Is(t_[i - 1], "SELECT") || Is(t_[i - 1], "DISTINCT"))) {
        if (t_[i + 1].kind != Tok::Number) Fail(errSyntaxInExpression, t_[i + 1].text);
        limit_ = t_[++i].text;  // written at the end, as SQLite wants it
        continue;
      }
      size_t first = i;
      Around(currency_.before, i);
      if (auto r = currency_.replace.find(i); r != currency_.replace.end()) {
        if (!r->second.empty()) Emit(r->second);
      } else {
        i = WriteToken(i, start);
      }
      for (size_t j = first; j <= i; ++j) Around(currency_.after, j);
    }
    if (!limit_.empty()) out_ += " LIMIT " + limit_;
    return out_;
  }

 private:
  void Emit(const std::string& piece) {
    if (!out_.empty()) out_ += ' ';
    out_ += piece;
  }
  void Around(const std::map<size_t, std::string>& pieces, size_t i) {
    if (auto p = pieces.find(i); p != pieces.end()) Emit(p->second);
  }
  bool AfterDot() const { return !out_.empty() && out_.back() == '.'; }

  // DELETE [*|t.*|t] FROM ...: the target list is implied by FROM.
  size_t WriteDelete(size_t start, size_t end) {
    Emit("DELETE");
    size_t j = start + 1;
    while (j < end && !Is(t_[j], "FROM")) ++j;
    if (j == end) Fail(errSyntaxInExpression, Trim(text_.substr(t_[start].start)));
    return j;
  }

  // Writes token i (and any it takes along); answers the last token taken.
  size_t WriteToken(size_t i, size_t start) {
    const Token& k = t_[i];
    switch (k.kind) {
      case Tok::Name: WriteName(k.text); break;
      case Tok::String: Emit(SqlString(k.text)); break;
      case Tok::Number: Emit(k.text); break;
      case Tok::Date: WriteDate(k.text); break;
      case Tok::Punct: WritePunct(k.text); break;
      case Tok::Word: return WriteWord(i, start);
      case Tok::End: break;
    }
    return i;
  }

  void WriteName(const std::string& name) {
    int param = ParameterIndex(params_, name);
    Emit(param >= 0 ? "?" + std::to_string(param + 1) : QuoteIdentifier(name));
  }

  void WriteDate(const std::string& text) {
    double d = 0;
    if (!ParseAccessDate(text, d)) Fail(errSyntaxInExpression, "#" + text + "#");
    Emit(NumberText(d));
  }

  void WritePunct(const std::string& p) {
    if (p == "&")
      Emit("||");
    else if (p == "!")
      out_ += '.';  // Access's table!field
    else if (p == "." || (p == "*" && AfterDot()))
      out_ += p;
    else
      Emit(p);
  }

  size_t WriteWord(size_t i, size_t start) {
    const Token& k = t_[i];
    std::string u = UpperCase(k.text);
    bool call = IsPunct(t_[i + 1], "(") && !(i > start && Is(t_[i - 1], "INTO"));
    int param = ParameterIndex(params_, k.text);
    if ((u == "NOW" || u == "DATE" || u == "TIME") && call && IsPunct(t_[i + 2], ")")) {
      WriteClock(u);
      return i + 2;
    }
    if (u == "TRUE" || u == "YES")
      Emit("-1");
    else if (u == "FALSE" || u == "NO")
      Emit("0");
    else if (u == "MOD")
      Emit("%");
    else if (u == "DISTINCTROW")
      Emit("DISTINCT");
    else if (param >= 0)
      Emit("?" + std::to_string(param + 1));
    else if (call && !MappedFunction(k.text).empty())
      Emit(MappedFunction(k.text));
    else if (Keywords().count(u) || call)
      Emit(k.text);
    else if (AfterDot())
      out_ += QuoteIdentifier(k.text);
    else
      Emit(QuoteIdentifier(k.text));
    return i;
  }

  // Now(), Date() and Time() as date numbers, which count days from
  // 30 December 1899 (Julian day 2415018.5).
  void WriteClock(const std::string& u) {
    const std::string now = "(julianday('now', 'localtime') - 2415018.5)";
    if (u == "NOW")
      Emit(now);
    else if (u == "DATE")
      Emit("CAST(" + now + " AS INTEGER)");
    else
      Emit("(" + now + " - CAST(" + now + " AS INTEGER))");
  }

  const std::string& text_;
  const std::vector<Token>& t_;
  const std::vector<ParameterDecl>& params_;
  const CurrencyRewrite& currency_;
  std::string out_;
  std::string limit_;
};

Translation TranslateChange(const std::string& text, const std::vector<Token>& t, size_t start,
                            std::vector<ParameterDecl> params, const TableLookupFn& tables) {
  Translation tr;
  tr.parameters = std::move(params);
  tr.kind = ChangeKind(t[start]);
  size_t end = StatementEnd(t, start);
  tr.whereText = WhereText(text, t, start, end);
  std::vector<std::pair<std::string, std::string>> ownTables;
  if (tr.kind == StatementKind::Select) ownTables = OwnTables(t, start, end);
  CurrencyRewrite currency = TypeCurrency(t, start, end, tr.parameters, tables, SyntaxErrorOf(tr.kind));
  KeepOffOlderIndexes(t, start, end, tables, currency);
  tr.sql = SqlWriter(text, t, tr.parameters, currency).Write(start, end, tr.kind);
  if (tr.kind == StatementKind::Select) tr.currencyColumns = std::move(currency.currencyColumns);
  if (tr.kind == StatementKind::Select && !Grouped(t, start, end)) tr.fromTables = ownTables;
  if (tr.kind == StatementKind::Select && ownTables.size() == 1 && !Grouped(t, start, end)) {
    tr.updatableTable = ownTables[0].first;
    tr.sqlWithRowid = "SELECT " + QuoteIdentifier(ownTables[0].second) + ".rowid," + tr.sql.substr(6);
  }
  return tr;
}

std::vector<ParameterDecl> ParseParameters(const std::vector<Token>& t, size_t& i) {
  std::vector<ParameterDecl> params;
  ++i;  // PARAMETERS
  for (;;) {
    if (t[i].kind != Tok::Word && t[i].kind != Tok::Name) Fail(errSyntaxInExpression, t[i].text);
    ParameterDecl d;
    d.name = t[i].text;
    ++i;
    bool counter = false;
    if (t[i].kind != Tok::Word || (d.type = TypeFromDdlName(t[i].text, counter)) == 0)
      Fail(errSyntaxInExpression, d.name);
    ++i;
    if (IsPunct(t[i], "(")) {  // TEXT (n)
      if (t[i + 1].kind != Tok::Number) Fail(errSyntaxInExpression, d.name);
      i += 2;
      if (!IsPunct(t[i], ")")) Fail(errSyntaxInExpression, d.name);
      ++i;
    }
    params.push_back(d);
    if (IsPunct(t[i], ",")) {
      ++i;
      continue;
    }
    if (!IsPunct(t[i], ";")) Fail(errSyntaxInExpression, d.name);
    ++i;
    return params;
  }
}

}  // namespace

int TypeFromDdlName(const std::string& word, bool& counter) {
  static const std::pair<const char*, int> names[] = {
      {"TEXT", dbText},         {"CHAR", dbText},           {"VARCHAR", dbText},
      {"STRING", dbText},       {"ALPHANUMERIC", dbText},   {"MEMO", dbMemo},
      {"LONGTEXT", dbMemo},     {"NOTE", dbMemo},           {"LONG", dbLong},
      {"INTEGER", dbLong},      {"INT", dbLong},            {"INTEGER4", dbLong},
      {"SHORT", dbInteger},     {"SMALLINT", dbInteger},    {"INTEGER2", dbInteger},
      {"BYTE", dbByte},         {"INTEGER1", dbByte},       {"TINYINT", dbByte},
      {"COUNTER", dbLong},      {"AUTOINCREMENT", dbLong},  {"DATETIME", dbDate},
      {"DATE", dbDate},         {"TIME", dbDate},           {"TIMESTAMP", dbDate},
      {"CURRENCY", dbCurrency}, {"MONEY", dbCurrency},      {"SINGLE", dbSingle},
      {"REAL", dbSingle},       {"FLOAT4", dbSingle},       {"DOUBLE", dbDouble},
      {"FLOAT", dbDouble},      {"FLOAT8", dbDouble},       {"NUMBER", dbDouble},
      {"YESNO", dbBoolean},     {"BIT", dbBoolean},         {"LOGICAL", dbBoolean},
      {"BOOLEAN", dbBoolean},   {"LONGBINARY", dbLongBinary}, {"OLEOBJECT", dbLongBinary},
      {"IMAGE", dbLongBinary},  {"GENERAL", dbLongBinary},  {"BINARY", dbBinary},
      {"VARBINARY", dbBinary},  {"GUID", dbGUID},           {"UNIQUEIDENTIFIER", dbGUID}};
  std::string u = UpperCase(word);
  counter = u == "COUNTER" || u == "AUTOINCREMENT";
  for (auto& [name, type] : names)
    if (u == name) return type;
  return 0;
}

int SyntaxErrorOf(StatementKind kind) {
  switch (kind) {
    case StatementKind::Insert: return errSyntaxInInsert;
    case StatementKind::Update: return errSyntaxInUpdate;
    default: return errSyntaxInExpression;
  }
}

bool StoredCurrency(const std::string& text, std::int64_t& raw) {
  TFormatSettings settings;
  settings.DecimalSeparator = '.';
  Currency value;
  if (!TryStrToCurr(text, value, settings)) return false;
  raw = value.Raw();
  return true;
}

bool ParseAccessDate(const std::string& raw, double& result) {
  std::string s = Trim(raw);
  size_t pos = 0;
  TDateTime date;
  bool haveDate = false;
  if (s.find('/') != std::string::npos || s.find('-') != std::string::npos) {
    char sep = s.find('/') != std::string::npos ? '/' : '-';
    std::vector<long> n = Numbers(s, pos, sep);
    if (n.size() != 3) return false;
    long y, m, d;
    if (sep == '-' || n[0] > 31) {
      y = n[0], m = n[1], d = n[2];
    } else {
      m = n[0], d = n[1], y = n[2];
    }
    if (y < 100) y += y < 30 ? 2000 : 1900;  // two-digit years, as the engine reads them
    if (y > 9999 || !TryEncodeDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), date))
      return false;
    haveDate = true;
    while (pos < s.size() && s[pos] == ' ') ++pos;
  }
  TDateTime time;
  if (pos < s.size()) {
    std::vector<long> n = Numbers(s, pos, ':');
    if (n.empty() || n.size() > 3 || (n.size() == 1 && !haveDate)) return false;
    long h = n[0], mi = n.size() > 1 ? n[1] : 0, sec = n.size() > 2 ? n[2] : 0;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    std::string ampm = UpperCase(s.substr(pos));
    if (ampm == "AM" || ampm == "PM") {
      if (h < 1 || h > 12) return false;
      h = (h % 12) + (ampm == "PM" ? 12 : 0);
    } else if (!ampm.empty()) {
      return false;
    }
    if (h > 23 || !TryEncodeTime(static_cast<int>(h), static_cast<int>(mi), static_cast<int>(sec), 0, time))
      return false;
  } else if (!haveDate) {
    return false;
  }
  result = haveDate ? ComposeDateTime(date, time).Value : time.Value;
  return true;
}

namespace {
// "(SELECT ...) UNION (SELECT ...)": SQLite takes the members of a compound
// query only without their parentheses, so these are dropped; any other
// parenthesis stays.
std::vector<Token> UnwrapCompoundMembers(const std::vector<Token>& t, size_t start) {
  std::vector<bool> drop(t.size(), false);
  int depth = 0;
  for (size_t i = start; t[i].kind != Tok::End; ++i) {
    if (drop[i]) continue;  // the closing parenthesis of a member
    bool memberStart = i == start || Is(t[i - 1], "UNION") || Is(t[i - 1], "ALL");
    if (depth == 0 && memberStart && IsPunct(t[i], "(") && Is(t[i + 1], "SELECT")) {
      int inner = 0;
      for (size_t j = i; t[j].kind != Tok::End; ++j) {
        if (IsPunct(t[j], "(")) ++inner;
        if (IsPunct(t[j], ")") && --inner == 0) {
          drop[i] = drop[j] = true;
          break;
        }
      }
      if (!drop[i]) return t;  // unbalanced: the translation reports it
      continue;
    }
    if (IsPunct(t[i], "(")) ++depth;
    if (IsPunct(t[i], ")")) --depth;
  }
  std::vector<Token> kept;
  for (size_t i = 0; i < t.size(); ++i)
    if (!drop[i]) kept.push_back(t[i]);
  return kept;
}
}  // namespace

Translation TranslateAccessSql(const std::string& text, const TableLookupFn& tables) {
  std::vector<Token> tokens = Tokenize(text);
  size_t start = 0;
  std::vector<ParameterDecl> params;
  if (Is(tokens[0], "PARAMETERS")) params = ParseParameters(tokens, start);
  if (IsPunct(tokens[start], "(")) tokens = UnwrapCompoundMembers(tokens, start);
  const Token& first = tokens[start];
  if (Is(first, "CREATE")) {
    if (!params.empty()) Fail(errInvalidStatement);
    if (Is(tokens[start + 1], "TABLE")) return ParseCreateTable(tokens);
    return ParseCreateIndex(tokens);
  }
  if (Is(first, "DROP")) return ParseDrop(tokens);
  return TranslateChange(text, tokens, start, std::move(params), tables);
}

}  // namespace dao
