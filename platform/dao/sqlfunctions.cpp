#include "platform/dao/sqlfunctions.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/classlib/core/foldedorder.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/store.h"

namespace dao {

namespace {

// Text order and equality for every text column: letters compare without
// regard to case across all of Unicode, in the order in which the engine
// compares texts (CompareFoldedText), bytes no character stands for
// included. Text columns are declared with a collation of the program's own
// name (Connection::kCaseBlindCollation), which standard SQLite tools and
// earlier builds lack: they read the rows, but SQLite refuses them every
// write and every comparison of those columns rather than letting them put
// index entries where this order does not look for them. Files made before
// declare the built-in NOCASE, which this connection replaces by the same
// order, so that it compares their texts alike while their indexes are
// brought to the new name (caseorder.cpp).
int CompareNoCase(void*, int n1, const void* p1, int n2, const void* p2) {
  return CompareFoldedText(std::string_view(static_cast<const char*>(p1), n1),
                           std::string_view(static_cast<const char*>(p2), n2));
}

// Byte order of texts read as zero-terminated strings (ZSTRING), and the same
// with the 26 ASCII letters folded (ZSTRING_ANYCASE): how a record's text
// field compares once copied out. A condition handed to SQL compares with
// these, so that a text holding a NUL byte needs no comparison of its own;
// neither is declared by any column, so the file needs nothing of them.
// One pass over the bytes: the first NUL ends a text, and being the lowest
// byte it sorts the text that ends there first.
template <bool kAnyCase>
int CompareZString(void*, int n1, const void* p1, int n2, const void* p2) {
  const auto* a = static_cast<const unsigned char*>(p1);
  const auto* b = static_cast<const unsigned char*>(p2);
  auto fold = [](unsigned c) { return kAnyCase && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  const int common = std::min(n1, n2);
  for (int i = 0; i < common; ++i) {
    const unsigned x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  // One text ran out: the other is equal when it ends here too.
  if (n1 == n2) return 0;
  if (n1 > n2) return a[common] == 0 ? 0 : 1;
  return b[common] == 0 ? 0 : -1;
}

// upper() and lower() for every letter: the built-in ones change ASCII letters
// only, so a condition that the library upper-cased ("ÉMILE") would never
// meet Upper(Name) of "Émile". lower() is Unicode's simple lowercase mapping.
// upper() is the upper case of the fold (AnsiUpperCaseFolded), through which
// the library upper-cases a filter's values, so that Upper(Name) = 'PIECE'
// joins every case pair the case-blind order joins, and no other. It gives
// Unicode's simple uppercase except for "ẞ" ("ß"), the Kelvin sign ("K"),
// the Ohm sign ("Ω"), the Angstrom sign ("Å"), "ϴ" ("Θ") and "ı" ("ı").
// Other values are changed as text, as the built-in ones change them.
template <std::string (*kMap)(std::string_view)>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  if (text == nullptr) {  // Null, or no memory for its text
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) sqlite3_result_error_nomem(ctx);
    return;
  }
  const std::string mapped = kMap(std::string_view(text, std::size_t(sqlite3_value_bytes(argv[0]))));
  sqlite3_result_text64(ctx, mapped.data(), mapped.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

std::u32string FoldedCodePoints(std::string_view s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) out += UnicodeFold(Utf8Decode(s, pos));
  return out;
}

// Access wildcards: * any run, ? one character, # one digit, [abc] [!a-z] one
// of a set. Case is ignored.
bool MatchFrom(const std::u32string& p, size_t pi, const std::u32string& s, size_t si) {
  while (pi < p.size()) {
    char32_t c = p[pi];
    if (c == U'*') {
      while (pi < p.size() && p[pi] == U'*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = si; k <= s.size(); ++k)
        if (MatchFrom(p, pi, s, k)) return true;
      return false;
    }
    if (si >= s.size()) return false;
    if (c == U'?') {
      ++pi;
    } else if (c == U'#') {
      if (s[si] < U'0' || s[si] > U'9') return false;
      ++pi;
    } else if (c == U'[') {
      size_t close = p.find(U']', pi + 1);
      if (close == std::u32string::npos) {  // a lone "[" stands for itself
        if (s[si] != c) return false;
        ++pi;
      } else {
        size_t k = pi + 1;
        bool negate = k < close && p[k] == U'!';
        if (negate) ++k;
        bool hit = false;
        for (; k < close; ++k) {
          if (k + 2 < close && p[k + 1] == U'-') {
            if (s[si] >= p[k] && s[si] <= p[k + 2]) hit = true;
            k += 2;
          } else if (p[k] == s[si]) {
            hit = true;
          }
        }
        if (hit == negate) return false;
        pi = close + 1;
      }
    } else {
      if (c != s[si]) return false;
      ++pi;
    }
    ++si;
  }
  return si == s.size();
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL ||
      sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  auto text = [](sqlite3_value* v) {
    const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string_view(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
  };
  std::u32string pattern = FoldedCodePoints(text(argv[0]));
  std::u32string value = FoldedCodePoints(text(argv[1]));
  sqlite3_result_int(ctx, MatchFrom(pattern, 0, value, 0) ? 1 : 0);
}
}  // namespace

void InstallSqlFunctions(sqlite3* db) {
  sqlite3_create_collation(db, Connection::kCaseBlindCollation, SQLITE_UTF8, nullptr, CompareNoCase);
  sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, CompareNoCase);
  sqlite3_create_collation(db, "ZSTRING", SQLITE_UTF8, nullptr, CompareZString<false>);
  sqlite3_create_collation(db, "ZSTRING_ANYCASE", SQLITE_UTF8, nullptr, CompareZString<true>);
  sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          LikeFunction, nullptr, nullptr);
  sqlite3_create_function(db, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          LikeFunction, nullptr, nullptr);
  sqlite3_create_function(db, "upper", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          CaseFunction<AnsiUpperCaseFolded>, nullptr, nullptr);
  sqlite3_create_function(db, "lower", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                          CaseFunction<AnsiLowerCase>, nullptr, nullptr);
}

}  // namespace dao
