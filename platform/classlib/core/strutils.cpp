#include "platform/classlib/core/strutils.h"

#include <algorithm>
#include <array>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Decodes one sequence at `pos`; `length` receives its byte count (1 for a
// malformed byte). Returns false for malformed input.
bool DecodeAt(std::string_view s, std::size_t pos, char32_t& cp, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  length = 1;
  if (lead < 0x80) {
    cp = lead;
    return true;
  }
  std::size_t need;
  char32_t value;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    cp = kReplacement;
    return false;
  }
  if (pos + need >= s.size()) {  // cut off at the end
    cp = kReplacement;
    return false;
  }
  for (std::size_t i = 1; i <= need; ++i) {
    const unsigned char c = byte(pos + i);
    if ((c & 0xC0) != 0x80) {
      cp = kReplacement;
      return false;
    }
    value = (value << 6) | (c & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    cp = kReplacement;
    return false;
  }
  cp = value;
  length = need + 1;
  return true;
}

// One character at `pos` mapped onto `out`, a malformed byte kept; the
// position after it. A mapping may change a character's byte length (the
// Kelvin sign folds to "k", "ı" upper-cases to "I").
template <char32_t (*kMap)(char32_t)>
std::size_t MapOneOnto(std::string& out, std::string_view s, std::size_t pos) {
  char32_t cp;
  std::size_t len;
  if (DecodeAt(s, pos, cp, len))
    Utf8Append(out, kMap(cp));
  else
    out += s[pos];
  return pos + len;
}

// Every well-formed character mapped, malformed bytes kept. Positions in the
// result are not the text's: map a character at a time where they matter.
template <char32_t (*kMap)(char32_t)>
std::string MapText(std::string_view s) {
  // ASCII, the usual case, maps to ASCII through a table of its own.
  static const std::array<char, 0x80> ascii = [] {
    std::array<char, 0x80> out{};
    for (char32_t c = 0; c < 0x80; ++c) out[c] = static_cast<char>(kMap(c));
    return out;
  }();
  std::string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) {
    const unsigned char byte = static_cast<unsigned char>(s[pos]);
    if (byte < 0x80) {
      out += ascii[byte];
      ++pos;
    } else {
      pos = MapOneOnto<kMap>(out, s, pos);
    }
  }
  return out;
}

// The byte length of the text at `at` that `pattern` matches character for
// character, folded; 0 when it does not match there. Malformed bytes match
// only themselves.
std::size_t FoldedMatchAt(std::string_view s, std::size_t at, std::string_view pattern) {
  std::size_t i = at, j = 0;
  while (j < pattern.size()) {
    if (i >= s.size()) return 0;
    char32_t a, b;
    std::size_t la, lb;
    const bool wellA = DecodeAt(s, i, a, la), wellB = DecodeAt(pattern, j, b, lb);
    if (wellA != wellB) return 0;
    if (wellA ? UnicodeFold(a) != UnicodeFold(b) : s[i] != pattern[j]) return 0;
    i += la;
    j += lb;
  }
  return i - at;
}

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Of two characters that fold alike, the one that is the fold (mostly the
// small letter) comes first; others, such as "K" and the Kelvin sign, by
// their code points.
int CaseOrder(char32_t a, char32_t fold, char32_t b) {
  if (a == fold) return -1;
  if (b == fold) return 1;
  return a < b ? -1 : 1;
}

// Compares code points, folded when `ignoreCase`. Without it, texts that differ
// only in case still sort next to each other, small letters first.
int CompareCodePoints(std::string_view a, std::string_view b, bool ignoreCase) {
  std::size_t i = 0, j = 0;
  int caseOrder = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char ua = static_cast<unsigned char>(a[i]);
    const unsigned char ub = static_cast<unsigned char>(b[j]);
    if (ua < 0x80 && ub < 0x80) {  // plain ASCII: no decoding or table needed
      const int fa = (ua >= 'A' && ua <= 'Z') ? ua + 32 : ua;
      const int fb = (ub >= 'A' && ub <= 'Z') ? ub + 32 : ub;
      if (fa != fb) return fa < fb ? -1 : 1;
      if (!ignoreCase && caseOrder == 0 && ua != ub) caseOrder = (ua >= 'a' && ua <= 'z') ? -1 : 1;
      ++i, ++j;
      continue;
    }
    const char32_t ca = Utf8Decode(a, i);
    const char32_t cb = Utf8Decode(b, j);
    const char32_t fa = UnicodeFold(ca), fb = UnicodeFold(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    if (!ignoreCase && caseOrder == 0 && ca != cb) caseOrder = CaseOrder(ca, fa, cb);
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  if (ignoreCase) return 0;
  if (caseOrder != 0) return caseOrder;
  return Sign(a.compare(b));  // malformed bytes that decoded alike
}

std::size_t ClipIndex(long long index) { return index < 1 ? 0 : std::size_t(index - 1); }

}  // namespace

// ---- trimming ----------------------------------------------------------------

std::string Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

// ---- case ----------------------------------------------------------------------

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return out;
}

std::string AnsiUpperCase(std::string_view s) { return MapText<UnicodeUpper>(s); }
std::string AnsiLowerCase(std::string_view s) { return MapText<UnicodeLower>(s); }
std::string AnsiFoldCase(std::string_view s) { return MapText<UnicodeFold>(s); }
std::string AnsiUpperCaseFolded(std::string_view s) { return MapText<UnicodeUpperFolded>(s); }

// ---- comparison --------------------------------------------------------------

int CompareStr(std::string_view a, std::string_view b) { return Sign(a.compare(b)); }

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'a' && ca <= 'z') ca -= 32;
    if (cb >= 'a' && cb <= 'z') cb -= 32;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

bool SameStr(std::string_view a, std::string_view b) { return a == b; }

int AnsiCompareStr(std::string_view a, std::string_view b) {
  return CompareCodePoints(a, b, false);
}
int AnsiCompareText(std::string_view a, std::string_view b) {
  return CompareCodePoints(a, b, true);
}
int AnsiCompareTextStart(std::string_view text, std::string_view start) {
  std::size_t i = 0;
  for (; i < start.size(); ++i) {  // plain ASCII: no decoding or folding needed
    if (i >= text.size()) return -1;
    int x = static_cast<unsigned char>(text[i]), y = static_cast<unsigned char>(start[i]);
    if (x >= 0x80 || y >= 0x80) break;  // both stand at a character's start
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == start.size()) return 0;
  const std::string wanted = AnsiFoldCase(start.substr(i));
  // The text folded a character at a time, as far as the start reaches.
  std::string head;
  for (std::size_t pos = i; pos < text.size() && head.size() < wanted.size();) pos = MapOneOnto<UnicodeFold>(head, text, pos);
  return Sign(head.compare(0, wanted.size(), wanted));
}

bool AnsiStartsText(std::string_view subText, std::string_view text) {
  return AnsiCompareTextStart(text, subText) == 0;
}

std::size_t AnsiStartsTextLength(std::string_view subText, std::string_view text) {
  return subText.empty() ? 0 : FoldedMatchAt(text, 0, subText);
}

bool AnsiSameStr(std::string_view a, std::string_view b) { return a == b; }
bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }
bool SameText(std::string_view a, std::string_view b) { return AnsiSameText(a, b); }

// ---- 1-based byte positions ---------------------------------------------------

std::size_t Pos(std::string_view sub, std::string_view s) { return PosEx(sub, s, 1); }

std::size_t PosEx(std::string_view sub, std::string_view s, std::size_t offset) {
  if (sub.empty() || offset < 1 || offset > s.size()) return 0;
  const std::size_t found = s.find(sub, offset - 1);
  return found == std::string_view::npos ? 0 : found + 1;
}

std::string Copy(std::string_view s, long long index, long long count) {
  if (count <= 0) return {};
  const std::size_t start = ClipIndex(index);  // a start before the text is its first byte
  if (start >= s.size()) return {};
  return std::string(s.substr(start, std::size_t(count)));
}

void Delete(std::string& s, long long index, long long count) {
  if (index < 1 || count <= 0 || std::size_t(index) > s.size()) return;
  s.erase(std::size_t(index - 1), std::size_t(count));
}

void Insert(std::string_view source, std::string& s, long long index) {
  const std::size_t at = std::min(ClipIndex(index), s.size());
  s.insert(at, source);
}

// ---- quoting ------------------------------------------------------------------

std::string QuotedStr(std::string_view s) { return AnsiQuotedStr(s, '\''); }

std::string AnsiQuotedStr(std::string_view s, char quote) {
  std::string out;
  out.reserve(s.size() + 2);
  out += quote;
  for (char c : s) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

std::string AnsiExtractQuotedStr(std::string_view& src, char quote) {
  if (src.empty() || src[0] != quote) return {};
  std::string out;
  std::size_t i = 1;
  while (i < src.size()) {
    if (src[i] == quote) {
      if (i + 1 < src.size() && src[i + 1] == quote) {
        out += quote;
        i += 2;
        continue;
      }
      ++i;  // the closing quote
      src.remove_prefix(i);
      return out;
    }
    out += src[i++];
  }
  src.remove_prefix(src.size());
  return out;
}

std::string AnsiDequotedStr(std::string_view s, char quote) {
  if (s.size() < 2 || s.front() != quote || s.back() != quote) return std::string(s);
  std::string_view rest = s;
  std::string text = AnsiExtractQuotedStr(rest, quote);
  return rest.empty() ? text : std::string(s);
}

// ---- replacing and building ---------------------------------------------------

std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags) {
  if (oldPattern.empty()) return std::string(s);
  const bool ignoreCase = (flags & rfIgnoreCase) != 0;
  std::string out;
  std::size_t from = 0;
  // Ignoring case, a match is tried at each character in turn: a fold may
  // change a character's length, so positions in a folded copy are not the
  // text's.
  for (std::size_t at = 0; at < s.size();) {
    std::size_t matched = 0;
    if (!ignoreCase) {
      at = s.find(oldPattern, at);
      if (at == std::string_view::npos) break;
      matched = oldPattern.size();
    } else if ((matched = FoldedMatchAt(s, at, oldPattern)) == 0) {
      char32_t skipped;
      std::size_t length;
      DecodeAt(s, at, skipped, length);
      at += length;
      continue;
    }
    out.append(s.substr(from, at - from));
    out.append(newPattern);
    at = from = at + matched;
    if (!(flags & rfReplaceAll)) break;
  }
  out.append(s.substr(from));
  return out;
}

std::string StringOfChar(char ch, long long count) {
  return count > 0 ? std::string(std::size_t(count), ch) : std::string();
}

// ---- delimiters ---------------------------------------------------------------

bool IsDelimiter(std::string_view delimiters, std::string_view s, long long index) {
  if (index < 1 || std::size_t(index) > s.size()) return false;
  return delimiters.find(s[std::size_t(index - 1)]) != std::string_view::npos;
}

std::size_t LastDelimiter(std::string_view delimiters, std::string_view s) {
  const std::size_t found = s.find_last_of(delimiters);
  return found == std::string_view::npos ? 0 : found + 1;
}

// ---- line breaks --------------------------------------------------------------

std::string AdjustLineBreaks(std::string_view s, TTextLineBreakStyle style) {
  const std::string_view lineBreak = style == tlbsCRLF ? "\r\n" : "\n";
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      out.append(lineBreak);
      const char partner = c == '\r' ? '\n' : '\r';
      if (i + 1 < s.size() && s[i + 1] == partner) ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// ---- UTF-8 code points --------------------------------------------------------

char32_t Utf8Decode(std::string_view s, std::size_t& pos) {
  if (pos >= s.size()) return 0;
  char32_t cp;
  std::size_t len;
  DecodeAt(s, pos, cp, len);
  pos += len;
  return cp;
}

void Utf8Append(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

std::string Utf8Encode(char32_t cp) {
  std::string out;
  Utf8Append(out, cp);
  return out;
}

bool IsValidUtf8(std::string_view s) {
  std::size_t pos = 0;
  while (pos < s.size()) {
    char32_t cp;
    std::size_t len;
    if (!DecodeAt(s, pos, cp, len)) return false;
    pos += len;
  }
  return true;
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::size_t Utf8Length(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < s.size(); ++count) Utf8Decode(s, pos);
  return count;
}

std::size_t Utf8ByteOffset(std::string_view s, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < index && pos < s.size(); ++n) Utf8Decode(s, pos);
  return pos;
}

std::size_t Utf8CharIndex(std::string_view s, std::size_t byteOffset) {
  std::size_t pos = 0, index = 0;
  while (pos < s.size()) {
    std::size_t next = pos;
    Utf8Decode(s, next);
    if (byteOffset < next) return index;
    pos = next;
    ++index;
  }
  return index;
}

std::string Utf8Copy(std::string_view s, long long index, long long count) {
  if (count <= 0) return {};
  const std::size_t start = Utf8ByteOffset(s, ClipIndex(index));
  const std::size_t end = start + Utf8ByteOffset(s.substr(start), std::size_t(count));
  return std::string(s.substr(start, end - start));
}

void Utf8Delete(std::string& s, long long index, long long count) {
  if (index < 1 || count <= 0) return;
  const std::size_t start = Utf8ByteOffset(s, std::size_t(index - 1));
  if (start >= s.size()) return;
  const std::size_t end = start + Utf8ByteOffset(std::string_view(s).substr(start),
                                                 std::size_t(count));
  s.erase(start, end - start);
}

void Utf8Insert(std::string_view source, std::string& s, long long index) {
  s.insert(Utf8ByteOffset(s, ClipIndex(index)), source);
}
