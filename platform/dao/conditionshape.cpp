#include "platform/dao/conditionshape.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace dao {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A character that may begin a constant, a quoted name, a parameter or a
// comment: every other one is copied as it stands.
bool MayStartConstant(char c) {
  static const auto kTable = [] {
    std::array<bool, 256> table{};
    for (unsigned char k : std::string_view("'\"`[xX0123456789.?:@$-/")) table[k] = true;
    return table;
  }();
  return kTable[static_cast<unsigned char>(c)];
}

// The end of a quoted stretch starting at `at` (its quote doubled inside
// it); npos when it never closes.
std::size_t QuotedEnd(const std::string& s, std::size_t at) {
  const char quote = s[at];
  for (std::size_t i = at + 1; i < s.size(); ++i) {
    if (s[i] != quote) continue;
    if (i + 1 < s.size() && s[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string::npos;
}

// A number's end, as SQLite's reader takes it: digits, a point and digits,
// an exponent; or 0x and hex digits.
std::size_t NumberEnd(const std::string& s, std::size_t at, bool& real) {
  std::size_t i = at;
  real = false;
  if (s[i] == '0' && i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexValue(s[i + 2]) >= 0) {
    for (i += 2; i < s.size() && HexValue(s[i]) >= 0;) ++i;
    return i;
  }
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i < s.size() && s[i] == '.') {
    real = true;
    for (++i; i < s.size() && IsDigit(s[i]);) ++i;
  }
  if (i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t e = i + 1;
    if (s[e] == '+' || s[e] == '-') ++e;
    if (e < s.size() && IsDigit(s[e])) {
      real = true;
      for (i = e; i < s.size() && IsDigit(s[i]);) ++i;
    }
  }
  return i;
}

Cell NumberCell(std::string_view text, bool real) {
  if (!real) {
    const bool hex = text.size() > 2 && (text[1] == 'x' || text[1] == 'X');
    // SQLite reads a hex literal as the 64 bits it spells, a decimal one too
    // large for them as a real.
    std::uint64_t v = 0;
    const auto digits = hex ? text.substr(2) : text;
    const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
    if (read.ec == std::errc() && (hex || v <= std::uint64_t{INT64_MAX})) return Cell::MakeInteger(static_cast<std::int64_t>(v));
  }
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return Cell::MakeReal(v);
}

}  // namespace

ConditionShape ShapeOf(const std::string& condition) {
  ConditionShape shape;
  shape.text.reserve(condition.size());
  const std::string& s = condition;
  const auto whole = [&] { return ConditionShape{condition, {}}; };
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    const bool afterName = i > 0 && IsNameChar(s[i - 1]);
    if (c == '\'') {
      const std::size_t end = QuotedEnd(s, i);
      if (end == std::string::npos) return whole();
      std::string text;
      for (std::size_t k = i + 1; k + 1 < end; ++k) {
        text += s[k];
        if (s[k] == '\'') ++k;  // a doubled quote stands for one
      }
      shape.values.push_back(Cell::MakeText(std::move(text)));
      shape.text += '?';
      i = end;
    } else if (c == '"' || c == '`' || c == '[') {
      const std::size_t end = c == '[' ? s.find(']', i) + 1 : QuotedEnd(s, i);
      if (end == std::string::npos || end == 0) return whole();
      shape.text.append(s, i, end - i);
      i = end;
    } else if ((c == 'x' || c == 'X') && !afterName && i + 1 < s.size() && s[i + 1] == '\'') {
      const std::size_t end = QuotedEnd(s, i + 1);
      if (end == std::string::npos || (end - i - 3) % 2 != 0) return whole();
      std::string bytes;
      for (std::size_t k = i + 2; k + 1 < end; k += 2) {
        const int high = HexValue(s[k]), low = HexValue(s[k + 1]);
        if (high < 0 || low < 0) return whole();
        bytes += static_cast<char>(high * 16 + low);
      }
      shape.values.push_back(Cell::MakeBlob(std::move(bytes)));
      shape.text += '?';
      i = end;
    } else if (!afterName && (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1])))) {
      bool real = false;
      const std::size_t end = NumberEnd(s, i, real);
      shape.values.push_back(NumberCell(std::string_view(s).substr(i, end - i), real));
      shape.text += '?';
      i = end;
    } else if (c == '?' || ((c == ':' || c == '@' || c == '$') && !afterName)) {
      return whole();  // its own parameters: nothing would be bound to them here
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      return whole();  // a comment could hide a quote; no condition of ours has one
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      return whole();
    } else {
      std::size_t end = i + 1;  // plain characters up to the next that may start a constant
      while (end < s.size() && !MayStartConstant(s[end])) ++end;
      shape.text.append(s, i, end - i);
      i = end;
    }
  }
  return shape;
}

}  // namespace dao
