#include "datactrls/wwstr.h"

#include <algorithm>

#include "platform/classlib/core/list.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TStackStr, TObject)
IMPLEMENT_CLASS(TStackPtr, TObject)

TStackStr::TStackStr() : list_(new TStringList) {}
TStackStr::~TStackStr() { delete list_; }
void TStackStr::Push(const std::string& s) { list_->Add(s); }
std::string TStackStr::Pop() {
  if (list_->Count() == 0) return {};
  std::string s = list_->Strings(list_->Count() - 1);
  list_->Delete(list_->Count() - 1);
  return s;
}
int TStackStr::Count() const { return list_->Count(); }

TStackPtr::TStackPtr() : list_(new TList) {}
TStackPtr::~TStackPtr() { delete list_; }
void TStackPtr::Push(void* item) { list_->Add(item); }
void* TStackPtr::Pop() {
  if (list_->Count() == 0) return nullptr;
  void* item = list_->Last();
  list_->Delete(list_->Count() - 1);
  return item;
}
int TStackPtr::Count() const { return list_->Count(); }

TwwCharSet wwCharSet(std::string_view chars) {
  TwwCharSet set;
  for (unsigned char c : chars) set.set(c);
  return set;
}

const TwwCharSet& wwDefaultTrimSet() {
  static const TwwCharSet set = wwCharSet("\t ");
  return set;
}

namespace {
bool InSet(const TwwCharSet& set, char c) { return set.test(static_cast<unsigned char>(c)); }
}  // namespace

void wwNextToken(std::string_view s, std::string_view delimiter, int& position,
                 std::string& token) {
  token.clear();
  if (position < 1 || position > static_cast<int>(s.size())) return;
  std::string_view rest = s.substr(static_cast<std::size_t>(position - 1));
  std::size_t found;
  std::size_t skip;
  if (delimiter.size() == 1) {
    found = rest.find(delimiter[0]);
    skip = 1;
  } else {
    // Words such as "and" only count as delimiters when they stand alone.
    std::string padded = " " + UpperCase(delimiter) + " ";
    found = UpperCase(rest).find(padded);
    skip = padded.size();
  }
  if (found == std::string_view::npos) {
    token = std::string(rest);
    position = -1;
    return;
  }
  token = std::string(rest.substr(0, found));
  position += static_cast<int>(found + skip);
}

std::vector<std::string> wwSplitPieces(std::string_view s, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(s);
    return pieces;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t hit = s.find(delimiter, start);
    if (hit == std::string_view::npos) break;
    pieces.emplace_back(s.substr(start, hit - start));
    // The next piece starts one character after the delimiter's first one.
    start = hit + 1;
  }
  pieces.emplace_back(s.substr(start));
  return pieces;
}

void wwSplitToList(std::string_view s, std::string_view delimiter, TStrings* list) {
  list->Clear();
  for (const std::string& piece : wwSplitPieces(s, delimiter)) list->Add(piece);
}

void wwTrimLeadingCharSet(std::string& s, const TwwCharSet& set) {
  std::size_t i = 0;
  while (i < s.size() && InSet(set, s[i])) ++i;
  s.erase(0, i);
}

void wwTrimTrailingCharSet(std::string& s, const TwwCharSet& set) {
  std::size_t n = s.size();
  while (n > 0 && InSet(set, s[n - 1])) --n;
  s.resize(n);
}

void wwTrimCharSet(std::string& s, const TwwCharSet& set) {
  wwTrimTrailingCharSet(s, set);
  wwTrimLeadingCharSet(s, set);
}

void wwTrim(std::string& s) { wwTrimCharSet(s, wwDefaultTrimSet()); }

std::string wwRemoveChar(std::string_view s, char ch) {
  std::string out;
  for (char c : s)
    if (c != ch) out += c;
  return out;
}

std::string wwReplaceChar(std::string_view s, char oldCh, char newCh) {
  std::string out(s);
  for (char& c : out)
    if (c == oldCh) c = newCh;
  return out;
}

std::string wwReplaceCharWithString(std::string_view s, char ch, std::string_view replacement) {
  std::string out;
  for (char c : s) {
    if (c == ch)
      out += replacement;
    else
      out += c;
  }
  return out;
}

bool wwSameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

int wwCountChar(std::string_view s, char ch) {
  int n = 0;
  for (char c : s)
    if (c == ch) ++n;
  return n;
}

int wwMaxInt(int a, int b) { return a > b ? a : b; }

std::string wwTextAfterChar(std::string_view s, char ch) {
  std::size_t at = s.find(ch);
  if (at == std::string_view::npos) return {};
  return std::string(s.substr(at + 1));
}

void wwScanWord(std::string_view s, int& position, unsigned options, std::string& word,
                const TwwCharSet& delimiters) {
  word.clear();
  const int length = static_cast<int>(s.size());
  if (position < 1 || position > length) return;
  auto at = [&](int p) { return s[static_cast<std::size_t>(p - 1)]; };

  if (options & wwswSkipBlanks) {
    while (position <= length && (at(position) == ' ' || at(position) == '\t')) ++position;
    if (position > length) return;
  }

  if ((options & wwswQuotes) && at(position) == '"') {
    std::size_t close = s.find('"', static_cast<std::size_t>(position));
    if (close == std::string_view::npos) {
      word = std::string(s.substr(static_cast<std::size_t>(position - 1)));
      position = length + 1;
    } else {
      word = std::string(s.substr(static_cast<std::size_t>(position - 1),
                                  close + 2 - static_cast<std::size_t>(position)));
      position = static_cast<int>(close) + 2;
    }
    if ((options & wwswStripQuotes) && !word.empty()) {
      auto isQuote = [](char c) { return c == '"' || c == '\''; };
      if (word.size() >= 2 && isQuote(word.front()) && isQuote(word.back()))
        word = word.substr(1, word.size() - 2);
      else if (isQuote(word.front()))
        word.erase(0, 1);
    }
    return;
  }

  int end = position;
  while (end <= length && static_cast<unsigned char>(at(end)) >= 33 && !InSet(delimiters, at(end)))
    ++end;
  std::size_t begin = static_cast<std::size_t>(position - 1);
  if (end == position) {
    // A delimiter at Position is a word of its own: one whole character.
    std::size_t next = begin;
    Utf8Decode(s, next);
    word = std::string(s.substr(begin, next - begin));
  } else {
    word = std::string(s.substr(begin, static_cast<std::size_t>(end - position)));
  }
  position = Utf8Length(word) < 2 ? end + 1 : end;
}

std::string wwRangeEndOfStart(std::string_view text, std::uint16_t upperChar, int length) {
  constexpr std::uint16_t kAboveEverything = 255;
  std::string upper;
  if (upperChar == kAboveEverything)
    upper = "\xFF";
  else
    Utf8Append(upper, char32_t(upperChar));
  std::string end(text);
  for (int i = int(Utf8Length(text)); i < length; ++i) end += upper;
  return end;
}
