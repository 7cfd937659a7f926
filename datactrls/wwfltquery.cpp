#include "datactrls/wwfltquery.h"

#include <cctype>
#include <memory>

#include "bde/dbtables.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {

// ---- the token scan: each token upper-cased, at its place in the line as
// written (an upper case may be longer or shorter than its letter)

struct TSqlToken {
  std::string Text;
  int Line = 0;
  std::size_t Start = 0;  // byte offset in the line
};

bool IsWordChar(char c) {
  return c == '.' || c == '_' || std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

// The token at pos (blanks and tabs skipped): a quoted string with its quotes
// (unclosed: none), a run of word characters, else the one character there.
// Empty at the end of the line.
std::string ScanToken(const std::string& line, std::size_t& pos, std::size_t& start) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  start = pos;
  if (pos >= line.size()) return {};
  const char c = line[pos];
  if (c == '"' || c == '\'') {
    const std::size_t close = line.find(c, pos + 1);
    if (close == std::string::npos) return pos = line.size(), std::string();
    pos = close + 1;
    return line.substr(start, pos - start);
  }
  if (!IsWordChar(c)) return std::string(1, line[pos++]);
  while (pos < line.size() && IsWordChar(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

std::vector<TSqlToken> Tokens(TStrings* sql) {
  std::vector<TSqlToken> tokens;
  for (int i = 0; i < sql->Count(); ++i) {
    const std::string line = sql->Strings(i);
    std::size_t pos = 0, start = 0;
    for (std::string t; !(t = ScanToken(line, pos, start)).empty();) tokens.push_back({AnsiUpperCase(t), i, start});
  }
  return tokens;
}

bool IsClauseKeyword(const std::string& t) {
  for (const char* k : {"WHERE", "GROUP", "HAVING", "UNION", "PLAN", "ORDER", "FOR"})
    if (t == k) return true;
  return false;
}

bool IsQuoted(const std::string& t) { return t.size() >= 2 && (t[0] == '"' || t[0] == '\''); }

// ---- values by type

bool IsNumberType(TFieldType t) {
  switch (t) {
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat: case ftCurrency: case ftAutoInc:
      return true;
    default: return false;
  }
}
bool IsDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

// A number as SQL writes it (a point before the decimals whatever the locale);
// false when the text is none. A Boolean takes True/False as -1/0.
bool SqlNumber(TFieldType t, const std::string& text, std::string& sql) {
  if (t == ftBoolean && (wwSameText(text, "True") || wwSameText(text, "False")))
    return sql = wwSameText(text, "True") ? "-1" : "0", true;
  int whole = 0;
  if (TryStrToInt(text, whole)) return sql = std::to_string(whole), true;
  double value = 0;
  const bool integral = t != ftFloat && t != ftCurrency;
  if (integral || !TryStrToFloat(text, value)) return false;
  TFormatSettings point = FormatSettings;
  point.DecimalSeparator = '.';
  point.ThousandSeparator = '\0';
  sql = FloatToStr(value, point);
  return true;
}

std::string Quote(const std::string& text) { return "'" + wwReplaceCharWithString(text, '\'', "''") + "'"; }

// A like pattern in the engine's SQL, where "*" stands for any text and "?"
// for one character: those, "#" (a digit) and "[" in the value are matched
// as themselves, bracketed.
std::string LikePattern(const std::string& piece, TwwFilterMatchType matchType) {
  std::string literal;
  for (char c : piece) {
    if (c == '*' || c == '?' || c == '#' || c == '[')
      literal += std::string("[") + c + "]";
    else
      literal += c;
  }
  return (matchType == fdMatchAny ? "*" : "") + literal + "*";
}

// The literal of one value of a column of type t; false when it is no value
// of the type. `scanned`: the query reads ":name" in its text as a parameter,
// and takes "::" for a colon.
bool SqlValue(TFieldType t, const std::string& text, bool scanned, std::string& sql) {
  if (IsNumberType(t)) return SqlNumber(t, text, sql);
  if (!IsDateType(t)) return sql = Quote(text), true;
  std::string literal;
  if (!wwSqlDateLiteral(t, text, literal)) return false;
  // In hashes the engine reads a date; in quotes it would compare the column
  // with a text, and '1/5/2020' sorts after '12/31/2019'.
  sql = "#" + (scanned ? wwReplaceCharWithString(literal, ':', "::") : literal) + "#";
  return true;
}

// ---- one condition

struct TConditionWriter {
  const TwwFieldOperators& ops;
  std::string& problem;
  bool scanned;

  bool Refuse(const std::string& value, const std::string& field) {
    problem = Format(kwwFilterBadSqlValue, {value, field});
    return false;
  }

  bool Values(const TwwFieldInfo& c, const TwwDBFieldInfo& f, std::string ref, std::vector<std::string>& out) {
    const bool plain = IsNumberType(f.DataType) || IsDateType(f.DataType);
    if (!c.CaseSensitive && !plain) ref = "Upper(" + ref + ")";
    const TwwFilterPieces pieces = wwSplitFilterValue(c.FilterValue, ops);
    std::string line = "(";
    for (std::size_t k = 0; k < pieces.Pieces.size(); ++k) {
      std::string piece = pieces.Pieces[k];
      if (k > 0 && !piece.empty()) line += pieces.Join == TwwFilterJoin::Or ? " or " : " and ";
      wwTrim(piece);
      if (wwSameText(piece, ops.NullChar())) {
        line += ref + " is NULL";
        continue;
      }
      // Upper() of the database is the upper case of the fold, as this.
      if (!c.CaseSensitive) piece = AnsiUpperCaseFolded(piece);
      std::string value;
      if (plain) {
        if (!SqlValue(f.DataType, piece, scanned, value)) return Refuse(piece, c.FieldName);
        line += (f.DataType == ftTime || f.DataType == ftDateTime ? "   " : "") + ref + "=" + value;
        continue;
      }
      // Wildcards only in text comparisons: a number or date has none.
      if (c.MatchType == fdMatchExact) {
        line += ref + "=" + Quote(piece);
        continue;
      }
      line += ref + " like " + Quote(LikePattern(piece, c.MatchType));
    }
    out.push_back(line + ")");
    return true;
  }

  bool Range(const TwwFieldInfo& c, const TwwDBFieldInfo& f, std::string ref, std::vector<std::string>& out) {
    if (f.DataType != ftString && !IsNumberType(f.DataType) && !IsDateType(f.DataType)) return true;
    // Text bounds compare as the value conditions do: upper-cased unless
    // case-sensitive.
    const bool foldCase = f.DataType == ftString && !c.CaseSensitive;
    if (foldCase) ref = "Upper(" + ref + ")";
    std::string min, max;
    const auto bound = [&](std::string text, std::string& sql) {
      if (foldCase) text = AnsiUpperCaseFolded(text);
      return text.empty() || SqlValue(f.DataType, text, scanned, sql) || Refuse(text, c.FieldName);
    };
    if (!bound(c.MinValue, min) || !bound(c.MaxValue, max)) return false;
    if (!min.empty()) out.push_back("   " + ref + " >= " + min);
    if (!min.empty() && !max.empty()) out.push_back(" and");
    if (!max.empty()) out.push_back("   " + ref + " <= " + max);
    return true;
  }
};

std::string SelectedFieldName(TStrings* selectedFields, const std::string& label) {
  for (int i = 0; selectedFields && i < selectedFields->Count(); ++i) {
    const std::string entry = selectedFields->Strings(i);
    int position = 1;
    std::string name, entryLabel;
    wwNextToken(entry, ";", position, name);
    wwNextToken(entry, ";", position, entryLabel);
    if (wwSameText(entryLabel, label)) return name;
  }
  return label;
}

const TwwDBFieldInfo* FindField(const TwwDBFieldInfoList& fields, const std::string& name) {
  for (const auto& f : fields)
    if (wwSameText(f->FieldName, name)) return f.get();
  return nullptr;
}

}  // namespace

std::vector<TwwQueryTable> wwQueryTables(TStrings* sql) {
  const std::vector<TSqlToken> tokens = Tokens(sql);
  std::vector<TwwQueryTable> tables;
  std::size_t i = 0;
  while (i < tokens.size() && tokens[i].Text != "FROM") ++i;
  const auto usable = [&](std::size_t k) { return k < tokens.size() && tokens[k].Text != "," && !IsClauseKeyword(tokens[k].Text); };
  for (++i; usable(i); i += 2) {  // past the name (and alias), then past the comma
    TwwQueryTable table;
    table.Name = tokens[i].Text;
    if (IsQuoted(table.Name)) table.Name = table.Name.substr(1, table.Name.size() - 2);
    if (usable(i + 1)) table.Alias = tokens[++i].Text;
    else table.Alias = table.Name;
    tables.push_back(table);
    if (i + 1 >= tokens.size() || tokens[i + 1].Text != ",") break;
  }
  return tables;
}

bool wwSqlDateLiteral(TFieldType dataType, const std::string& text, std::string& literal) {
  literal.clear();
  if (text.empty()) return true;
  TDateTime value;
  const bool ok = dataType == ftDate   ? TryStrToDate(text, value)
                  : dataType == ftTime ? TryStrToTime(text, value)
                                       : TryStrToDateTime(text, value);
  if (!ok) return false;
  std::uint16_t y, m, d, h, n, s, ms;
  DecodeDate(value, y, m, d);
  DecodeTime(value, h, n, s, ms);
  const std::string date = Format("%d/%d/%d", {int(m), int(d), int(y)});
  const std::string time = Format("%d:%d:%d", {int(h), int(n), int(s)});
  literal = dataType == ftDate ? date : dataType == ftTime ? time : date + " " + time;
  return true;
}

bool wwBuildConditionSql(const TwwFieldInfoList& conditions, const TwwDBFieldInfoList& fields,
                         TStrings* selectedFields, const TwwFieldOperators& ops,
                         std::vector<std::string>& lines, std::string& problem, bool scansParams) {
  lines.clear();
  TConditionWriter writer{ops, problem, scansParams};
  for (const auto& c : conditions) {
    std::string name = c->FieldName.empty() ? SelectedFieldName(selectedFields, c->DisplayLabel) : c->FieldName;
    const TwwDBFieldInfo* f = FindField(fields, name);
    if (!f) {
      problem = kwwFilterFieldNotInTables + name;
      return false;
    }
    const std::string q = name.find_first_of(" -") != std::string::npos ? "\"" : "";
    const std::string ref = f->TableName + "." + q + f->SqlFieldName + q;
    std::vector<std::string> own;
    TwwFieldInfo named;
    named.CopyFrom(*c);
    named.FieldName = name;
    const bool value = c->MatchType == fdMatchStart || c->MatchType == fdMatchAny || c->MatchType == fdMatchExact;
    if (value ? !writer.Values(named, *f, ref, own) : c->MatchType == fdMatchRange && !writer.Range(named, *f, ref, own))
      return false;
    // A condition that writes nothing (end or no match, a range without
    // bounds) takes no joining word either.
    if (own.empty()) continue;
    const bool negate = value && c->NonMatching;
    if (negate) lines.push_back(lines.empty() ? "  not" : "  and not");
    else if (!lines.empty()) lines.push_back(" and");
    lines.insert(lines.end(), own.begin(), own.end());
  }
  return true;
}

void wwMergeSqlWhere(TStrings* sql, const std::vector<std::string>& lines) {
  if (sql->Count() == 0 || lines.empty()) return;
  const std::vector<TSqlToken> tokens = Tokens(sql);
  std::size_t k = 0;
  while (k < tokens.size() && !IsClauseKeyword(tokens[k].Text)) ++k;
  if (k == tokens.size()) {
    sql->Add("Where");
    for (const auto& l : lines) sql->Add(l);
    return;
  }
  int at = tokens[k].Line;
  if (tokens[k].Text != "WHERE") {
    sql->Insert(at, "Where");
    for (const auto& l : lines) sql->Insert(++at, l);
    return;
  }
  std::size_t next = k + 1;
  while (next < tokens.size() && !IsClauseKeyword(tokens[next].Text)) ++next;
  at = next < tokens.size() ? tokens[next].Line : sql->Count() - 1;
  const std::string line = sql->Strings(at);
  const std::size_t cut = next < tokens.size() ? tokens[next].Start : line.size();
  sql->SetStrings(at, line.substr(0, cut));
  sql->Insert(++at, "And");
  for (const auto& l : lines) sql->Insert(++at, l);
  sql->Insert(++at, line.substr(cut));
}

// ---- the component's side

void TwwFilterDialog::BuildQueryFieldList() {
  TDataSet* query = DataSet();
  TStrings* sql = wwSqlProperty(query);
  if (!query || !sql) return;
  for (const TwwQueryTable& table : wwQueryTables(sql)) {
    // A dataset of the query's own class reads the table's columns.
    std::unique_ptr<TObject> made(query->ClassType()->Create(nullptr));
    auto* reader = dynamic_cast<TDataSet*>(made.get());
    if (!reader) return;
    SetStrProp(reader, "DatabaseName", GetStrProp(query, "DatabaseName"));
    TStringList text;
    text.Add("Select * from " + table.Name);
    wwSqlProperty(reader)->Assign(&text);
    try {
      reader->PrepareFieldDefs();
    } catch (const Exception&) {
      continue;  // a table that cannot be read offers no fields
    }
    for (int i = 0; i < reader->FieldDefs().Count(); ++i) {
      const TFieldDef* def = reader->FieldDefs().Items(i);
      auto info = std::make_unique<TwwDBFieldInfo>();
      info->SqlFieldName = def->Name();
      info->TableName = table.Alias;
      info->DataType = def->DataType();
      info->FieldName = def->Name();
      while (FindFieldRecord(info->FieldName)) info->FieldName += "_1";
      TField* shown = query->FindField(def->Name());
      info->DisplayLabel = shown ? shown->DisplayLabel() : def->Name();
      fields_.push_back(std::move(info));
    }
  }
}

void TwwFilterDialog::BuildSqlWhere() {
  TDataSet* query = DataSet();
  TStrings* sql = wwSqlProperty(query);
  if (!sql) return;
  query->Close();
  if (originalSql_->Count() == 0)
    originalSql_->Assign(sql);
  else
    sql->Assign(originalSql_.get());
  std::vector<std::string> lines;
  std::string problem;
  const bool scansParams = IsPublishedProp(query, "ParamCheck") && GetOrdProp(query, "ParamCheck") != 0;
  if (!wwBuildConditionSql(conditions_, fields_, selectedFields_.get(), *operators_, lines, problem, scansParams)) {
    // The query comes back as it was, so the program keeps its records.
    wwShowFilterWarning(problem);
    query->Open();
    return;
  }
  auto merged = std::make_unique<TStringList>();
  merged->Assign(sql);
  wwMergeSqlWhere(merged.get(), lines);
  sql->Assign(merged.get());
  if (OnExecuteSQL && query->InheritsFrom("TQuery")) OnExecuteSQL(window_, static_cast<TQuery*>(query));
  query->Open();
}
