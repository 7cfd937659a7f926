// The fold against its source: every code point folds as Qt's case folding
// (Unicode's simple case folding) folds it, and every pair it joins compares
// equal ignoring case in the text routines.

#include <gtest/gtest.h>

#include <QChar>
#include <algorithm>
#include <map>

#include "platform/classlib/core/strutils.h"

namespace {

char32_t SourceFold(char32_t cp) { return QChar::toCaseFolded(cp); }

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
