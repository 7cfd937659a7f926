#include "dbengine/qbesql.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "dbengine/engineerrors.h"

namespace {

// ---- small text helpers

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

bool StartsWithWord(const std::string& lowered, std::string_view word) {
  if (lowered.compare(0, word.size(), word) != 0) return false;
  return lowered.size() == word.size() || std::isspace(static_cast<unsigned char>(lowered[word.size()]));
}

[[noreturn]] void Refuse(const std::string& construct) {
  RaiseEngineErrorText(kQbeNotTranslated, "QBE: " + construct + " is not supported");
}

// Splits at the separator outside double quotes; an unclosed quote is refused.
std::vector<std::string> SplitOutsideQuotes(std::string_view text, char separator) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == separator && !quoted)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  if (quoted) Refuse("an unclosed quote");
  return parts;
}

// ---- the grid: one table line and its rows of cells

struct TQbeGrid {
  std::string table;
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> rows;
};

// A grid line: cells between "|" (the last "|" closes the line).
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells = SplitOutsideQuotes(line, '|');
  if (cells.size() > 1 && Trim(cells.back()).empty()) cells.pop_back();
  for (auto& c : cells) c = Trim(c);
  return cells;
}

// Header lines the selection does not depend on: the answer line names where
// the rows go (QbeAnswerName), not which.
bool IsIgnoredHeader(const std::string& lowered) {
  return lowered == "query" || lowered == "endquery" || lowered.rfind("answer:", 0) == 0;
}

// The text's lines, whatever their ends.
std::vector<std::string> Lines(const std::string& qbe) {
  std::string text = qbe;
  std::replace(text.begin(), text.end(), '\r', '\n');
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TQbeGrid ReadGrid(const std::string& qbe) {
  TQbeGrid grid;
  for (const std::string& line : Lines(qbe)) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || IsIgnoredHeader(Lower(trimmed))) continue;
    if (trimmed.find('|') == std::string::npos) Refuse("the line \"" + trimmed + "\"");
    std::vector<std::string> cells = Cells(line);
    if (!cells.front().empty()) {  // a table line names its table first
      if (!grid.table.empty()) Refuse("a query over more than one table");
      grid.table = cells.front();
      grid.fields.assign(cells.begin() + 1, cells.end());
      continue;
    }
    if (grid.table.empty()) Refuse("a row before its table line");
    if (cells.size() - 1 > grid.fields.size()) Refuse("a row with more cells than fields");
    cells.erase(cells.begin());
    cells.resize(grid.fields.size());
    grid.rows.push_back(cells);
  }
  if (grid.table.empty()) Refuse("a text without a table");
  if (grid.fields.empty()) Refuse("a table line without fields");
  return grid;
}

// ---- check marks

enum class TCheck { none, plain, plus, descending };

// Takes the check mark off the front of a cell.
TCheck TakeCheck(std::string& cell) {
  static const std::pair<std::string_view, TCheck> marks[] = {
      {"checkdescending", TCheck::descending}, {"checkplus", TCheck::plus}, {"check", TCheck::plain}};
  std::string lowered = Lower(cell);
  for (const auto& [word, mark] : marks)
    if (StartsWithWord(lowered, word)) {
      cell = Trim(std::string_view(cell).substr(word.size()));
      return mark;
    }
  if (StartsWithWord(lowered, "checkgroup")) Refuse("the check mark \"CheckGroup\"");
  return TCheck::none;
}

// ---- conditions

bool IsNumber(const std::string& s) {
  if (s.empty()) return false;
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && !std::isspace(static_cast<unsigned char>(s.front()));
}

// A date written m/d/yyyy (digits and two slashes).
bool IsDate(const std::string& s) {
  return std::count(s.begin(), s.end(), '/') == 2 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) || c == '/'; });
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Words of the example language that select something other than plain rows.
void RefuseKeywords(const std::string& value) {
  static const char* const words[] = {"calc", "insert", "delete", "changeto", "set", "find", "or",
                                      "sum", "count", "average", "min", "max", "all", "unique",
                                      "only", "every", "exactly", "no", "as", "groupby"};
  std::string lowered = Lower(value);
  for (const char* w : words)
    if (StartsWithWord(lowered, w)) Refuse("the operator \"" + std::string(w) + "\"");
  // "or" between two values of one cell.
  if (lowered.find(" or ") != std::string::npos) Refuse("the operator \"or\"");
  if (value.front() == '_') Refuse("the example element \"" + value + "\"");
  if (value.front() == '!') Refuse("the inclusion operator \"!\"");
}

// A literal value: quoted text, a date, today, a number or plain text.
std::string Literal(const std::string& raw) {
  std::string v = Trim(raw);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
    std::string inner = v.substr(1, v.size() - 2);
    return Quoted(inner);
  }
  if (v.empty()) Refuse("an operator without a value");
  RefuseKeywords(v);
  if (std::string_view("<>=").find(v.front()) != std::string_view::npos) Refuse("the operator \"" + v + "\"");
  if (Lower(v) == "today") return "Date()";
  if (IsDate(v)) return "#" + v + "#";
  if (IsNumber(v)) return v;
  return Quoted(v);
}

// ".." stands for any characters, "@" for one.
std::string Pattern(const std::string& raw) {
  std::string v = Trim(raw);
  bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  if (quoted) v = v.substr(1, v.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v.compare(i, 2, "..") == 0) {
      out += '*';
      ++i;
    } else if (v[i] == '@') {
      out += '?';
    } else if (v[i] == '*' || v[i] == '?' || v[i] == '[' || v[i] == '#') {
      out += '[' + std::string(1, v[i]) + ']';  // taken literally, as the user typed it
    } else {
      out += v[i];
    }
  }
  return Quoted(out);
}

std::string Condition(const std::string& field, const std::string& text);

// The condition without its "not".
std::string Negated(const std::string& field, const std::string& rest) {
  std::string lowered = Lower(Trim(rest));
  if (lowered == "blank") return field + " IS NOT NULL";
  return "NOT (" + Condition(field, rest) + ")";
}

std::string Condition(const std::string& field, const std::string& text) {
  std::string c = Trim(text);
  std::string lowered = Lower(c);
  if (lowered == "blank") return field + " IS NULL";
  if (StartsWithWord(lowered, "not")) return Negated(field, c.substr(3));
  if (StartsWithWord(lowered, "like")) return field + " LIKE " + Pattern(c.substr(4));
  for (const char* op : {"<=", ">=", "=", "<", ">"}) {
    std::string_view o(op);
    if (c.compare(0, o.size(), o) == 0) return field + " " + std::string(o) + " " + Literal(c.substr(o.size()));
  }
  bool quoted = c.size() >= 2 && c.front() == '"' && c.back() == '"';
  if (!quoted && (c.find("..") != std::string::npos || c.find('@') != std::string::npos))
    return field + " LIKE " + Pattern(c);
  return field + " = " + Literal(c);
}

std::string Bracketed(const std::string& name) {
  if (name.find_first_of("[]") != std::string::npos) Refuse("the name \"" + name + "\"");
  return "[" + name + "]";
}

// ---- the statement

struct TSelection {
  std::vector<TCheck> checks;          // per field, the same in every row
  std::vector<std::string> rowWheres;  // per row, empty when it takes every record
};

TSelection ReadSelection(TQbeGrid& grid) {
  TSelection s;
  if (grid.rows.empty()) Refuse("a table without rows");
  for (std::size_t r = 0; r < grid.rows.size(); ++r) {
    std::vector<TCheck> checks;
    std::string where;
    for (std::size_t f = 0; f < grid.fields.size(); ++f) {
      std::string cell = grid.rows[r][f];
      checks.push_back(TakeCheck(cell));
      for (const std::string& part : SplitOutsideQuotes(cell, ',')) {
        if (Trim(part).empty()) continue;
        where += (where.empty() ? "" : " AND ") + Condition(Bracketed(grid.fields[f]), part);
      }
    }
    if (r == 0)
      s.checks = checks;
    else if (checks != s.checks)
      Refuse("rows with different check marks");
    s.rowWheres.push_back(where);
  }
  if (std::all_of(s.checks.begin(), s.checks.end(), [](TCheck c) { return c == TCheck::none; }))
    Refuse("a query without check marks");
  return s;
}

std::string WhereClause(const std::vector<std::string>& rows) {
  // A row without conditions takes every record, so the rows together do too.
  if (std::any_of(rows.begin(), rows.end(), [](const std::string& w) { return w.empty(); })) return {};
  if (rows.size() == 1) return " WHERE " + rows.front();
  std::string out;
  for (const auto& w : rows) out += (out.empty() ? " WHERE (" : " OR (") + w + ")";
  return out;
}

}  // namespace

std::string QbeAnswerName(const std::string& qbe) {
  constexpr std::string_view header = "answer:";
  for (const std::string& line : Lines(qbe)) {
    std::string trimmed = Trim(line);
    if (Lower(trimmed).rfind(header, 0) != 0) continue;
    std::string name = Trim(std::string_view(trimmed).substr(header.size()));
    return Lower(name).rfind(":priv:", 0) == 0 ? std::string() : name;
  }
  return {};
}

std::string TranslateQbeToSql(const std::string& qbe) {
  TQbeGrid grid = ReadGrid(qbe);
  TSelection s = ReadSelection(grid);
  // A plain or descending check shows each distinct answer once, in order;
  // a plus check keeps every record as it comes.
  bool keepDuplicates = std::count(s.checks.begin(), s.checks.end(), TCheck::plus) > 0;
  std::string columns, order;
  for (std::size_t f = 0; f < grid.fields.size(); ++f) {
    if (s.checks[f] == TCheck::none) continue;
    std::string name = Bracketed(grid.fields[f]);
    columns += (columns.empty() ? "" : ", ") + name;
    if (s.checks[f] == TCheck::plain) order += (order.empty() ? "" : ", ") + name;
    if (s.checks[f] == TCheck::descending) order += (order.empty() ? "" : ", ") + name + " DESC";
  }
  std::string sql = std::string("SELECT ") + (keepDuplicates ? "" : "DISTINCT ") + columns + " FROM " +
                    Bracketed(grid.table) + WhereClause(s.rowWheres);
  if (!order.empty()) sql += " ORDER BY " + order;
  return sql;
}
