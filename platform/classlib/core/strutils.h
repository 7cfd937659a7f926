#pragma once
// Text routines of the class library and the UTF-8 code-point helpers.
//
// Strings are std::string holding UTF-8. Two kinds of position exist:
//  - byte positions: Pos, PosEx, Copy, Delete, Insert, IsDelimiter, LastDelimiter
//    work on bytes, 1-based as the class library does. They are right for ASCII
//    delimiters and for searching (a UTF-8 sequence never matches inside another).
//  - code-point positions: the Utf8* helpers count characters (code points); use
//    them wherever the system counts characters (masks, field sizes, edit positions).
//
// Case: UpperCase/LowerCase/CompareText touch ASCII letters only; the Ansi* forms
// map every letter by Unicode's simple case mappings, and case-blind
// comparisons fold every pair of Unicode's simple case folding. Either may
// change a character's byte length ("ı" upper-cases to "I", the Kelvin sign
// folds to "k"), so positions found in a changed copy do not hold in the
// original: compare or map a character at a time where positions matter.

#include <cstddef>
#include <string>
#include <string_view>

// ---- trimming ----------------------------------------------------------------
// Remove leading and/or trailing blanks and control characters (bytes <= ' ').
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// ---- case ----------------------------------------------------------------------
std::string UpperCase(std::string_view s);  // ASCII letters only
std::string LowerCase(std::string_view s);  // ASCII letters only
// Each well-formed character mapped (UnicodeUpper, UnicodeLower), malformed
// bytes kept.
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
// The upper case for comparing without regard to case by upper-casing both
// sides: each character's UnicodeUpperFolded, so that texts map to the same
// bytes exactly when AnsiSameText holds (for well-formed texts).
std::string AnsiUpperCaseFolded(std::string_view s);
// The case folding of the Ansi*Text comparisons: each well-formed character
// folded (UnicodeFold), malformed bytes kept, so well-formed texts fold to the
// same bytes exactly when AnsiSameText holds, and folded texts compare bytewise
// in the order AnsiCompareText gives. A folded text may be shorter or longer.
std::string AnsiFoldCase(std::string_view s);

// ---- comparison (result < 0, 0 or > 0) ----------------------------------------
int CompareStr(std::string_view a, std::string_view b);   // byte-wise, case-sensitive
int CompareText(std::string_view a, std::string_view b);  // ASCII case-insensitive
bool SameStr(std::string_view a, std::string_view b);
// Code point by code point; the *Text forms compare case-folded code points, an
// order good enough for sorting names.
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// Ignoring case: the start of `text` as long as `start` is once folded (a fold
// may change a character's length) compared with `start`; 0 when the text
// starts with it.
int AnsiCompareTextStart(std::string_view text, std::string_view start);
bool AnsiStartsText(std::string_view subText, std::string_view text);
// The byte length of the start of `text` that matches `subText` ignoring case,
// character by character (a character's other case may be longer or shorter
// than it); 0 when the text does not start with it.
std::size_t AnsiStartsTextLength(std::string_view subText, std::string_view text);
bool SameText(std::string_view a, std::string_view b);  // case-insensitive, Unicode-aware

// ---- 1-based byte positions ---------------------------------------------------
// Position of the first occurrence of sub in s, 0 when absent (or sub is empty).
std::size_t Pos(std::string_view sub, std::string_view s);
// As Pos, starting the search at byte `offset` (1-based); 0 for offsets out of range.
std::size_t PosEx(std::string_view sub, std::string_view s, std::size_t offset = 1);
// `count` bytes from `index` (1-based); an index below 1 counts from the first
// byte, and a count beyond the end stops there.
std::string Copy(std::string_view s, long long index, long long count);
// Removes `count` bytes from `index` (1-based); out-of-range parts are clipped.
void Delete(std::string& s, long long index, long long count);
// Inserts `source` before byte `index` (1-based); beyond the end it appends.
void Insert(std::string_view source, std::string& s, long long index);

// ---- quoting ------------------------------------------------------------------
// 'text' with embedded quotes doubled.
std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Reads a quoted text from the front of `src` (which must start with `quote`),
// undoubling embedded quotes, and advances `src` past the closing quote. An
// unterminated text takes the rest. Returns "" and leaves `src` when it does not
// start with the quote.
std::string AnsiExtractQuotedStr(std::string_view& src, char quote);
// The unquoted text when the whole of `s` is one quoted text; otherwise `s`.
std::string AnsiDequotedStr(std::string_view s, char quote);

// ---- replacing and building ---------------------------------------------------
enum TReplaceFlags : unsigned { rfNone = 0, rfReplaceAll = 1, rfIgnoreCase = 2 };
constexpr TReplaceFlags operator|(TReplaceFlags a, TReplaceFlags b) {
  return TReplaceFlags(unsigned(a) | unsigned(b));
}
// Replaces the first (or every, with rfReplaceAll) occurrence of `oldPattern`;
// rfIgnoreCase matches Unicode-aware case-insensitively.
std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags = rfNone);
std::string StringOfChar(char ch, long long count);

// ---- delimiters ---------------------------------------------------------------
// True when byte `index` (1-based) of s is one of the bytes in `delimiters`.
bool IsDelimiter(std::string_view delimiters, std::string_view s, long long index);
// 1-based position of the last byte of s that is one of `delimiters`, 0 if none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view s);

// ---- line breaks --------------------------------------------------------------
enum TTextLineBreakStyle { tlbsLF, tlbsCRLF };
// Turns every CR, LF, CR LF and LF CR into one line break of the given style.
std::string AdjustLineBreaks(std::string_view s, TTextLineBreakStyle style = tlbsCRLF);

// ---- UTF-8 code points --------------------------------------------------------
// Decodes the code point at byte `pos` and advances `pos` past it. A malformed
// sequence (bad lead or continuation byte, overlong form, surrogate, beyond
// U+10FFFF, cut off at the end) yields U+FFFD and advances one byte, so every
// byte of damaged text is still counted as one character. At the end returns 0.
char32_t Utf8Decode(std::string_view s, std::size_t& pos);
// Encoding of one code point; invalid ones (surrogates, > U+10FFFF) give U+FFFD.
std::string Utf8Encode(char32_t cp);
void Utf8Append(std::string& out, char32_t cp);
bool IsValidUtf8(std::string_view s);
// Every byte below 0x80: the text is ASCII alone, one byte a character.
bool IsAscii(std::string_view s);
// Number of code points (each malformed byte counts as one).
std::size_t Utf8Length(std::string_view s);
// Byte offset of code point `index` (0-based); s.size() when index is past the end.
std::size_t Utf8ByteOffset(std::string_view s, std::size_t index);
// Code-point index (0-based) of the character holding byte `byteOffset`.
std::size_t Utf8CharIndex(std::string_view s, std::size_t byteOffset);
// Code-point forms of Copy/Delete/Insert (1-based character positions, clipped).
std::string Utf8Copy(std::string_view s, long long index, long long count);
void Utf8Delete(std::string& s, long long index, long long count);
void Utf8Insert(std::string_view source, std::string& s, long long index);
// Unicode's simple case mappings of single code points: every letter with a
// capital or small letter of its own ("ơ" and "Ơ", "ǅ" to "Ǆ" and "ǆ",
// Georgian, Cherokee, Deseret ...); "ß" has no capital of its own and stays.
// The UTF-8 length may differ from the character's ("ı" upper-cases to "I",
// "ⱥ" to "Ⱥ", the Kelvin sign lower-cases to "k").
char32_t UnicodeUpper(char32_t cp);
char32_t UnicodeLower(char32_t cp);
// The upper case of the character's fold (UnicodeFold): the same character for
// all the characters that fold alike, and another for every other fold. It
// differs from UnicodeUpper only where the fold joins what the upper case keeps
// apart: "ẞ" gives "ß", the Kelvin sign "K", the Ohm sign "Ω", the Angstrom
// sign "Å", "ϴ" "Θ"; and "ı" stays "ı", as "I" is the upper case of "i", which
// "ı" does not fold with.
char32_t UnicodeUpperFolded(char32_t cp);
// One character as the Ansi*Text comparisons and AnsiFoldCase fold it:
// Unicode's simple case folding (every pair it joins: a final sigma, the micro
// sign, the Kelvin sign and "k", "ẞ" and "ß", Georgian, Cherokee ...), the fold
// to compare or group characters by. Its UTF-8 length may differ from the
// character's.
char32_t UnicodeFold(char32_t cp);
// The characters that fold as `cp` does, `cp` among them, in code point order
// ({cp} alone for a character no other folds with).
std::u32string UnicodeCaseVariants(char32_t cp);
