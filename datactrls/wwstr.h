#pragma once
// Small shared routines of the data-aware library: the two stacks of the filter
// compiler and the string routines used by the field-settings readers, the
// field checks and the filter dialogs. Positions are 1-based byte positions, as
// the callers pass them; the delimiters they search for are ASCII.

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/core/object.h"

class TStrings;
class TStringList;
class TList;

// A stack of strings in a string list it owns.
class TStackStr : public TObject {
  DECLARE_CLASS(TStackStr, TObject)
 public:
  TStackStr();
  ~TStackStr() override;
  void Push(const std::string& s);
  // The last string pushed, removed from the stack; empty when the stack is empty.
  std::string Pop();
  int Count() const;

 private:
  TStringList* list_;
};

// A stack of pointers in a list it owns; it does not own what it holds.
class TStackPtr : public TObject {
  DECLARE_CLASS(TStackPtr, TObject)
 public:
  TStackPtr();
  ~TStackPtr() override;
  void Push(void* item);
  // The last pointer pushed, removed from the stack; nullptr when empty.
  void* Pop();
  int Count() const;

 private:
  TList* list_;
};

// A set of byte values.
using TwwCharSet = std::bitset<256>;
TwwCharSet wwCharSet(std::string_view chars);
// Tab and blank.
const TwwCharSet& wwDefaultTrimSet();

// From Position, the text up to the next Delimiter. A delimiter longer than one
// character is searched as " delimiter " without regard to case. Found: Token
// is the text before it and Position moves past it; not found: Token is the
// rest and Position becomes -1. Position out of range: Token is empty and
// Position stays.
void wwNextToken(std::string_view s, std::string_view delimiter, int& position,
                 std::string& token);
// Clears list and adds the pieces of s between delimiters, the last (possibly
// empty) piece included.
void wwSplitToList(std::string_view s, std::string_view delimiter, TStrings* list);
// The same pieces as a vector (never empty: a text without delimiter is one piece).
std::vector<std::string> wwSplitPieces(std::string_view s, std::string_view delimiter);

void wwTrim(std::string& s);  // blanks and tabs at both ends
void wwTrimCharSet(std::string& s, const TwwCharSet& set);
void wwTrimLeadingCharSet(std::string& s, const TwwCharSet& set);
void wwTrimTrailingCharSet(std::string& s, const TwwCharSet& set);

std::string wwRemoveChar(std::string_view s, char ch);
std::string wwReplaceChar(std::string_view s, char oldCh, char newCh);
std::string wwReplaceCharWithString(std::string_view s, char ch, std::string_view replacement);
bool wwSameText(std::string_view a, std::string_view b);  // ASCII case-insensitive
int wwCountChar(std::string_view s, char ch);
int wwMaxInt(int a, int b);
// The text after the first ch; empty when there is none.
std::string wwTextAfterChar(std::string_view s, char ch);

// The end of a key range over the texts that start with `text`: the text
// followed by a table's range-end character (NarrowSearchUpperChar) repeated
// to fill a key field of `length` characters, so that a text going on with
// that character is inside too. Its default, 255, stands above every
// character: a byte above every byte of UTF-8, as the engine and the
// database compare texts. Any other value is the character of that code.
std::string wwRangeEndOfStart(std::string_view text, std::uint16_t upperChar, int length);

// Options of wwScanWord.
enum : unsigned {
  wwswSkipBlanks = 1,   // skip leading blanks and tabs
  wwswQuotes = 2,       // a double-quoted text is one word
  wwswStripQuotes = 4,  // remove the quotes of a quoted word
};
// Reads the word at Position: up to the first character below 33 or in
// delimiters, at least one character (a delimiter alone is a word). After a word
// of one character Position moves past the character that ended it, so the
// delimiter after a longer word comes back from the next call.
void wwScanWord(std::string_view s, int& position, unsigned options, std::string& word,
                const TwwCharSet& delimiters);
