// The fold and the case mappings against their source: every code point folds
// as Qt's case folding (Unicode's simple case folding) folds it and maps as
// Unicode's simple case mappings map it, and every pair the fold joins
// compares equal ignoring case in the text routines.

#include <gtest/gtest.h>

#include <QChar>
#include <QList>
#include <QString>
#include <algorithm>
#include <map>

#include "platform/classlib/core/strutils.h"

namespace {

char32_t SourceFold(char32_t cp) { return QChar::toCaseFolded(cp); }
// Unicode's simple mappings from Qt's: QChar answers a full mapping of one
// character, and leaves a character whose full mapping has several; of those,
// the small Greek letters with an iota below upper-case to their title case,
// and "İ" lower-cases to the first character of its full lowercase.
char32_t SourceUpper(char32_t cp) {
  const char32_t upper = QChar::toUpper(cp);
  return upper != cp || !QChar::isLower(cp) ? upper : QChar::toTitleCase(cp);
}
char32_t SourceLower(char32_t cp) {
  const char32_t lower = QChar::toLower(cp);
  if (lower != cp) return lower;
  const QList<uint> full = QString::fromUcs4(&cp, 1).toLower().toUcs4();
  return full.size() > 1 ? full[0] : cp;
}

bool IsCodePoint(char32_t cp) { return cp < 0xD800 || cp > 0xDFFF; }

TEST(CaseFold, EveryCodePointFoldsAsTheSourceFoldsIt) {
  int folding = 0, wrong = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (SourceFold(cp) != cp) ++folding;
    if (UnicodeFold(cp) != SourceFold(cp) && ++wrong <= 10)
      ADD_FAILURE() << std::hex << "U+" << unsigned(cp) << " folds to U+" << unsigned(UnicodeFold(cp))
                    << ", the source says U+" << unsigned(SourceFold(cp));
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(folding, 1400) << "the source has lost its folding";
}

TEST(CaseMapping, EveryCodePointMapsAsTheSourceMapsIt) {
  int upper = 0, lower = 0, wrong = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (!IsCodePoint(cp)) continue;
    upper += SourceUpper(cp) != cp;
    lower += SourceLower(cp) != cp;
    if ((UnicodeUpper(cp) != SourceUpper(cp) || UnicodeLower(cp) != SourceLower(cp)) && ++wrong <= 10)
      ADD_FAILURE() << std::hex << "U+" << unsigned(cp) << " maps to U+" << unsigned(UnicodeUpper(cp)) << " and U+"
                    << unsigned(UnicodeLower(cp)) << ", the source says U+" << unsigned(SourceUpper(cp)) << " and U+"
                    << unsigned(SourceLower(cp));
    // A text maps a character at a time, whatever its length.
    const std::string text = Utf8Encode(cp);
    if ((AnsiUpperCase(text) != Utf8Encode(SourceUpper(cp)) || AnsiLowerCase(text) != Utf8Encode(SourceLower(cp))) &&
        ++wrong <= 10)
      ADD_FAILURE() << std::hex << "the text of U+" << unsigned(cp) << " maps apart from the character";
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(upper, 1400) << "the source has lost its upper case";
  EXPECT_GT(lower, 1400) << "the source has lost its lower case";
}

// Unicode's simple mappings as its character database states them, where a
// hand-written table or a full mapping would answer otherwise.
TEST(CaseMapping, LettersOfManyScriptsHaveTheirSimpleCase) {
  const struct {
    char32_t c, upper, lower;
  } cases[] = {
      {0x1A1, 0x1A0, 0x1A1},     {0x1B0, 0x1AF, 0x1B0},     {0x18F, 0x18F, 0x259},      // ơ Ư Ə
      {0x1C5, 0x1C4, 0x1C6},     {0x1C6, 0x1C4, 0x1C6},     {0xDF, 0xDF, 0xDF},         // ǅ ǆ ß
      {0x1E9E, 0x1E9E, 0xDF},    {0x131, U'I', 0x131},      {0x17F, U'S', 0x17F},       // ẞ ı ſ
      {0x130, 0x130, U'i'},      {0x212A, 0x212A, U'k'},    {0x2C65, 0x23A, 0x2C65},    // İ K ⱥ
      {0x1F80, 0x1F88, 0x1F80},  {0x1F88, 0x1F88, 0x1F80},  {0x1FB3, 0x1FBC, 0x1FB3},   // ᾀ ᾈ ᾳ
      {0x1F50, 0x1F50, 0x1F50},  {0x3C2, 0x3A3, 0x3C2},     {0x345, 0x399, 0x345},      // ὐ ς
      {0x10D0, 0x1C90, 0x10D0},  {0x1C90, 0x1C90, 0x10D0},  {0x2D00, 0x10A0, 0x2D00},   // Georgian
      {0xAB70, 0x13A0, 0xAB70},  {0x13A0, 0x13A0, 0xAB70},  {0x10428, 0x10400, 0x10428},  // Cherokee, Deseret
      {0xD7, 0xD7, 0xD7},        {U'1', U'1', U'1'},        {0x10FFFF, 0x10FFFF, 0x10FFFF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unsigned(UnicodeUpper(c.c)), unsigned(c.upper)) << std::hex << unsigned(c.c);
    EXPECT_EQ(unsigned(UnicodeLower(c.c)), unsigned(c.lower)) << std::hex << unsigned(c.c);
  }
}

// The upper case of the fold is one character for each fold: texts map alike
// exactly when they are alike ignoring case. It is the upper case but for the
// few characters the fold joins with a letter of another upper case.
TEST(CaseMapping, TheUpperCaseOfTheFoldJoinsExactlyTheFoldsPairs) {
  std::u32string differing;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (!IsCodePoint(cp)) continue;
    const char32_t key = UnicodeUpperFolded(cp);
    ASSERT_EQ(unsigned(UnicodeFold(key)), unsigned(UnicodeFold(cp))) << std::hex << unsigned(cp);
    ASSERT_EQ(key, UnicodeUpperFolded(UnicodeFold(cp))) << std::hex << unsigned(cp);
    ASSERT_EQ(AnsiUpperCaseFolded(Utf8Encode(cp)), Utf8Encode(key)) << std::hex << unsigned(cp);
    if (key != UnicodeUpper(cp)) differing += cp;
  }
  EXPECT_EQ(differing, (std::u32string{0x131, 0x3F4, 0x1E9E, 0x2126, 0x212A, 0x212B}));
  const std::pair<const char*, const char*> same[] = {
      {"Ơn", "ơN"}, {"Əli", "əLI"}, {"STRAẞE", "straße"}, {"\u212Am", "KM"}, {"ᲐᲑ", "აბ"}, {"ⱥ", "Ⱥ"},
  };
  for (auto [a, b] : same) EXPECT_EQ(AnsiUpperCaseFolded(a), AnsiUpperCaseFolded(b)) << a << " " << b;
  EXPECT_EQ(AnsiUpperCaseFolded("straße \u212Am ıi"), "STRAßE KM ıI");
  EXPECT_EQ(AnsiUpperCaseFolded("a\xFF" "\xC3"), "A\xFF" "\xC3") << "malformed bytes kept";
}

// Each character the source pairs with another: the two compare equal
// ignoring case and fold to the same text, differ with case, and each lists
// exactly its fold's characters as its variants.
TEST(CaseFold, EveryPairOfTheSourceIsOneLetterIgnoringCase) {
  std::map<char32_t, std::u32string> groups;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp)
    if (IsCodePoint(cp)) groups[SourceFold(cp)] += cp;
  int pairs = 0;
  for (const auto& [fold, group] : groups) {
    if (group.size() < 2) {
      ASSERT_EQ(UnicodeCaseVariants(group[0]), group) << std::hex << unsigned(group[0]);
      continue;
    }
    const std::string folded = Utf8Encode(fold);
    for (char32_t c : group) {
      const std::string text = "x" + Utf8Encode(c) + "y";
      ASSERT_TRUE(AnsiSameText(text, "X" + folded + "Y")) << std::hex << unsigned(c);
      ASSERT_EQ(AnsiCompareText(text, "x" + folded + "y"), 0) << std::hex << unsigned(c);
      ASSERT_EQ(AnsiFoldCase(text), "x" + folded + "y") << std::hex << unsigned(c);
      ASSERT_EQ(UnicodeCaseVariants(c), group) << std::hex << unsigned(c);
      if (c != fold) {
        ASSERT_NE(AnsiCompareStr(text, "x" + folded + "y"), 0) << std::hex << unsigned(c);
      }
      ++pairs;
    }
  }
  EXPECT_GT(pairs, 2800);
}

// The letters a case-blind search used to keep apart.
TEST(CaseFold, LettersOfManyScriptsMatchInAnyCase) {
  const std::pair<const char*, const char*> same[] = {
      {"Ơn", "ơN"},   {"Ư", "ư"},        {"Əli", "əLI"},    {"Ǆ", "ǆ"},        {"ǅ", "Ǆ"},
      {"ẞ", "ß"},     {"\u212A", "k"},   {"\u212A", "K"},   {"ſ", "S"},        {"Ω", "\u2126"},
      {"Å", "\u212B"}, {"Ἀθῆναι", "ἀΘῆΝΑΙ"}, {"ᾼ", "ᾳ"}, {"Ὦ", "ὦ"}, {"Ⴀ", "ⴀ"}, {"Ა", "ა"},
      {"Ꭰ", "ꭰ"},     {"𐐀", "𐐨"},       {"Ɐ", "ɐ"},
  };
  for (auto [a, b] : same) {
    EXPECT_TRUE(AnsiSameText(a, b)) << a << " " << b;
    EXPECT_EQ(AnsiCompareText(a, b), 0) << a << " " << b;
    EXPECT_EQ(AnsiFoldCase(a), AnsiFoldCase(b)) << a << " " << b;
  }
  EXPECT_FALSE(AnsiSameText("ı", "i")) << "a dotless i is no case of i in the simple folding";
}

// With case, the characters of one fold stand in one order, the same whichever
// is compared with which: the fold first, then by code point.
TEST(CaseFold, CaseVariantsHaveOneOrder) {
  for (char32_t c : {U'k', U's', char32_t(0x3C3), char32_t(0x1C6), char32_t(0xDF), char32_t(0x3B8)}) {
    const std::u32string group = UnicodeCaseVariants(c);
    ASSERT_GT(group.size(), 1u);
    for (char32_t x : group)
      for (char32_t y : group) {
        const std::string a = Utf8Encode(x), b = Utf8Encode(y);
        const int c1 = AnsiCompareStr(a, b), c2 = AnsiCompareStr(b, a);
        EXPECT_EQ(c1 < 0, c2 > 0) << std::hex << unsigned(x) << " " << unsigned(y);
        EXPECT_EQ(c1 == 0, x == y);
        if (x == UnicodeFold(x) && x != y) {
          EXPECT_LT(c1, 0) << "the fold comes first";
        }
      }
  }
}

TEST(CaseFold, ReplacingIgnoringCaseFindsFoldsOfAnotherLength) {
  const struct {
    const char *text, *pattern, *result;
  } cases[] = {
      {"1 \u212A 2 k 3 K", "k", "1 _ 2 _ 3 _"},  // the Kelvin sign is three bytes
      {"STRAẞE strasse", "ß", "STRA_E strasse"},
      {"ſun Sun", "SUN", "_ _"},
      {"a\xFF" "b \xFF", "\xFF", "a_b _"},         // a malformed byte matches only itself
      {"ωΩ\u2126", "Ω", "___"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StringReplace(c.text, c.pattern, "_", rfReplaceAll | rfIgnoreCase), c.result) << c.text;
  EXPECT_EQ(StringReplace("Kk\u212A", "k", "_", rfIgnoreCase), "_k\u212A") << "the first only";
  EXPECT_EQ(StringReplace("Kk\u212A", "k", "_", rfReplaceAll), "K_\u212A") << "with case";
}

}  // namespace
