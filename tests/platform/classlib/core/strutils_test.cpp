#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/classlib/core/strutils.h"

TEST(StrUtilsTest, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01 "), "abc");
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  // Bytes of multi-byte characters are above the blank and survive.
  EXPECT_EQ(Trim(" \xC3\xA9t\xC3\xA9 "), "\xC3\xA9t\xC3\xA9");
}

TEST(StrUtilsTest, AsciiCaseLeavesOtherLettersAlone) {
  EXPECT_EQ(UpperCase("abc\xC3\xA9z"), "ABC\xC3\xA9Z");
  EXPECT_EQ(LowerCase("ABC\xC3\x89Z"), "abc\xC3\x89z");
}

TEST(StrUtilsTest, AnsiCaseMapsLatinGreekCyrillic) {
  EXPECT_EQ(AnsiUpperCase("stra\xC3\x9f" "e \xC3\xA9t\xC3\xA9 \xC3\xBF"),
            "STRA\xC3\x9F" "E \xC3\x89T\xC3\x89 \xC5\xB8");  // sharp s stays
  EXPECT_EQ(AnsiUpperCase("\xC5\x82\xC3\xB3" "d\xC5\xBA"), "\xC5\x81\xC3\x93" "D\xC5\xB9");  // Polish
  EXPECT_EQ(AnsiUpperCase("\xCE\xB1\xCE\xB2\xCF\x82"), "\xCE\x91\xCE\x92\xCE\xA3");   // Greek, final sigma
  EXPECT_EQ(AnsiLowerCase("\xD0\x9F\xD0\xA0\xD0\x98\xD0\x81"), "\xD0\xBF\xD1\x80\xD0\xB8\xD1\x91");
  EXPECT_EQ(AnsiLowerCase("\xC3\x97\xC3\x80"), "\xC3\x97\xC3\xA0");  // multiplication sign is no letter
  // Malformed bytes pass through unchanged and keep the length.
  const std::string damaged = "a\xFF" "b\xC3";
  EXPECT_EQ(AnsiUpperCase(damaged), "A\xFF" "B\xC3");
}

// A character's other case may be longer or shorter than it: the text maps
// it all the same, each character alone.
TEST(StrUtilsTest, CaseMappingMapsLettersOfAnotherLength) {
  const struct {
    const char *text, *upper, *lower;
  } cases[] = {
      {"ıſk", "ISK", "ıſk"},                      // two bytes to one
      {"ⱥɐ Ⱥ", "ȺⱯ Ⱥ", "ⱥɐ ⱥ"},                   // two bytes to three and back
      {"\u212A \u2126 \u212B", "\u212A \u2126 \u212B", "k ω å"},
      {"İstanbul", "İSTANBUL", "istanbul"},
      {"Ơn \xFF ǅ", "ƠN \xFF Ǆ", "ơn \xFF ǆ"},  // malformed bytes kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiUpperCase(c.text), c.upper) << c.text;
    EXPECT_EQ(AnsiLowerCase(c.text), c.lower) << c.text;
  }
  for (char32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    ASSERT_EQ(AnsiUpperCase("a" + Utf8Encode(cp) + "z"), "A" + Utf8Encode(UnicodeUpper(cp)) + "Z") << unsigned(cp);
    ASSERT_EQ(AnsiLowerCase("A" + Utf8Encode(cp) + "Z"), "a" + Utf8Encode(UnicodeLower(cp)) + "z") << unsigned(cp);
  }
}

// How far a start typed in another case reaches into the text: the bytes of
// the text's own characters, which may be more or fewer than the start's.
TEST(StrUtilsTest, AStartInAnotherCaseReachesOverTheTextsOwnCharacters) {
  const struct {
    const char *start, *text;
    std::size_t length;
  } cases[] = {
      {"p.m.", "P.M. rest", 4},
      {"k", "\u212A x", 3},          // the Kelvin sign is three bytes
      {"\u212AM", "km", 2},
      {"ẞe", "ße", 3},
      {"ΣΑ", "ςα", 4},
      {"Ơ", "ơn", 2},
      {"ab", "a", 0},                // the text ends first
      {"ı", "I", 0},                 // no case of each other
      {"", "abc", 0},
      {"\xFF", "\xFF" "a", 1},       // a malformed byte matches itself alone
      {"\xFE", "\xFF", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiStartsTextLength(c.start, c.text), c.length) << c.start << " " << c.text;
    if (c.length > 0) {
      EXPECT_TRUE(AnsiStartsText(c.start, c.text)) << c.start << " " << c.text;
    }
  }
}

// A character folds to the small letter of its capital, as the texts fold:
// forms of one letter (a final sigma, the micro sign) fold with it.
TEST(StrUtilsTest, OneCharacterFoldsAsTheTextsFold) {
  const std::pair<char32_t, char32_t> folds[] = {
      {U'A', U'a'},       {U'a', U'a'},       {U'1', U'1'},       {0xC9, 0xE9},      // É é
      {0xDF, 0xDF},       {0xFF, 0xFF},       {0x178, 0xFF},      {0x3A3, 0x3C3},    // ß ÿ Ÿ Σ
      {0x3C2, 0x3C3},     {0xB5, 0x3BC},      {0x401, 0x451},     {0xFF21, 0xFF41},  // ς µ Ё Ａ
      {0xD7, 0xD7},       {0x10400, 0x10428},                                        // ×, Deseret
  };
  for (auto [c, folded] : folds) EXPECT_EQ(unsigned(UnicodeFold(c)), unsigned(folded)) << unsigned(c);
  for (char32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    ASSERT_EQ(Utf8Encode(UnicodeFold(cp)), AnsiFoldCase(Utf8Encode(cp))) << unsigned(cp);
  }
}

TEST(StrUtilsTest, CompareStrAndCompareText) {
  EXPECT_LT(CompareStr("ABC", "abc"), 0);
  EXPECT_EQ(CompareStr("abc", "abc"), 0);
  EXPECT_LT(CompareStr("ab", "abc"), 0);
  EXPECT_GT(CompareStr("b", "abc"), 0);
  EXPECT_EQ(CompareText("Hello", "hELLO"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  // ASCII only: accented capitals and small letters differ.
  EXPECT_NE(CompareText("\xC3\xA9", "\xC3\x89"), 0);
}

TEST(StrUtilsTest, AnsiComparisonsFoldCase) {
  EXPECT_TRUE(AnsiSameText("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
  EXPECT_TRUE(SameText("M\xC3\xBCller", "M\xC3\x9CLLER"));
  EXPECT_FALSE(AnsiSameText("abc", "abcd"));
  EXPECT_FALSE(AnsiSameStr("abc", "ABC"));
  EXPECT_EQ(AnsiCompareText("zebra", "ZEBRA"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);  // not byte order
  EXPECT_LT(AnsiCompareStr("apple", "Banana"), 0);
  // Same letters in another case: small first, but still next to each other.
  EXPECT_LT(AnsiCompareStr("abc", "ABC"), 0);
  EXPECT_GT(AnsiCompareStr("ABC", "abc"), 0);
  EXPECT_LT(AnsiCompareStr("ABC", "abd"), 0);
  EXPECT_EQ(AnsiCompareStr("abc", "abc"), 0);

  std::vector<std::string> names = {"delta", "Alpha", "\xC3\x89mile", "charlie", "Bravo"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta",
                                             "\xC3\x89mile"}));
}

TEST(StrUtilsTest, OneBasedBytePositions) {
  EXPECT_EQ(Pos("lo", "hello lo"), 4u);
  EXPECT_EQ(Pos("x", "hello"), 0u);
  EXPECT_EQ(Pos("", "hello"), 0u);
  EXPECT_EQ(PosEx("lo", "hello lo", 5), 7u);
  EXPECT_EQ(PosEx("lo", "hello lo", 0), 0u);
  EXPECT_EQ(PosEx("lo", "hello lo", 99), 0u);

  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abcdef", 5, 100), "ef");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
  EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
  EXPECT_EQ(Copy("abcdef", 3, -1), "");

  std::string s = "abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "adef");
  Delete(s, 3, 100);
  EXPECT_EQ(s, "ad");
  Delete(s, 0, 1);
  Delete(s, 5, 1);
  EXPECT_EQ(s, "ad");

  Insert("XY", s, 2);
  EXPECT_EQ(s, "aXYd");
  Insert("!", s, 100);
  EXPECT_EQ(s, "aXYd!");
  Insert("<", s, -3);
  EXPECT_EQ(s, "<aXYd!");
}

TEST(StrUtilsTest, Quoting) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");

  std::string_view src = "'it''s' rest";
  EXPECT_EQ(AnsiExtractQuotedStr(src, '\''), "it's");
  EXPECT_EQ(src, " rest");

  std::string_view unterminated = "'open";
  EXPECT_EQ(AnsiExtractQuotedStr(unterminated, '\''), "open");
  EXPECT_TRUE(unterminated.empty());

  std::string_view plain = "plain";
  EXPECT_EQ(AnsiExtractQuotedStr(plain, '\''), "");
  EXPECT_EQ(plain, "plain");

  EXPECT_EQ(AnsiDequotedStr("'a''b'", '\''), "a'b");
  EXPECT_EQ(AnsiDequotedStr("''", '\''), "");
  EXPECT_EQ(AnsiDequotedStr("'a' 'b'", '\''), "'a' 'b'");
  EXPECT_EQ(AnsiDequotedStr("'", '\''), "'");
  EXPECT_EQ(AnsiDequotedStr("abc", '\''), "abc");
}

TEST(StrUtilsTest, StringReplace) {
  EXPECT_EQ(StringReplace("a-b-c", "-", "+"), "a+b-c");
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", rfReplaceAll), "a+b+c");
  EXPECT_EQ(StringReplace("Cat cat CAT", "cat", "dog", rfReplaceAll), "Cat dog CAT");
  EXPECT_EQ(StringReplace("Cat cat CAT", "cat", "dog", rfReplaceAll | rfIgnoreCase),
            "dog dog dog");
  EXPECT_EQ(StringReplace("\xC3\x89t\xC3\xA9", "\xC3\xA9", "e", rfReplaceAll | rfIgnoreCase),
            "ete");
  EXPECT_EQ(StringReplace("aaa", "a", "aa", rfReplaceAll), "aaaaaa");  // no re-scan
  EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
  EXPECT_EQ(StringReplace("abc", "abc", "", rfReplaceAll), "");
  EXPECT_EQ(StringOfChar('*', 3), "***");
  EXPECT_EQ(StringOfChar('*', -1), "");
}

TEST(StrUtilsTest, Delimiters) {
  EXPECT_TRUE(IsDelimiter("\\/", "C:\\dir", 3));
  EXPECT_FALSE(IsDelimiter("\\/", "C:\\dir", 1));
  EXPECT_FALSE(IsDelimiter("\\/", "C:\\dir", 0));
  EXPECT_FALSE(IsDelimiter("\\/", "C:\\dir", 7));
  EXPECT_EQ(LastDelimiter("/.", "/home/a.b/c.txt"), 12u);
  EXPECT_EQ(LastDelimiter("/", "name"), 0u);
}

TEST(StrUtilsTest, AdjustLineBreaks) {
  EXPECT_EQ(AdjustLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_EQ(AdjustLineBreaks("a\n\nb"), "a\r\n\r\nb");
  EXPECT_EQ(AdjustLineBreaks("a\r\n\r\nb", tlbsLF), "a\n\nb");
}

TEST(StrUtilsTest, Utf8DecodeAndEncode) {
  for (char32_t cp : {char32_t(0x41), char32_t(0xE9), char32_t(0x20AC), char32_t(0x1F600)}) {
    const std::string s = Utf8Encode(cp);
    std::size_t pos = 0;
    EXPECT_EQ(Utf8Decode(s, pos), cp);
    EXPECT_EQ(pos, s.size());
  }
  EXPECT_EQ(Utf8Encode(0xD800), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8Encode(0x110000), "\xEF\xBF\xBD");

  // Overlong, surrogate, cut-off and stray bytes decode as one replacement each.
  for (std::string bad : {std::string("\xC0\xAF"), std::string("\xED\xA0\x80"),
                          std::string("\xE2\x82"), std::string("\x80"),
                          std::string("\xF4\x90\x80\x80")}) {
    std::size_t pos = 0;
    EXPECT_EQ(Utf8Decode(bad, pos), 0xFFFDu) << bad;
    EXPECT_EQ(pos, 1u);
    EXPECT_FALSE(IsValidUtf8(bad));
  }
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8(""));
}

TEST(StrUtilsTest, AsciiIsEveryByteBelow0x80) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},         {"plain text", true}, {std::string("a\0b", 3), true}, {"\x7F", true},
      {"a\x80", false},   {"\xC3\xA9", false},   {"abc\xFF", false},
  };
  for (const auto& [text, ascii] : cases) EXPECT_EQ(IsAscii(text), ascii) << text;
}

TEST(StrUtilsTest, Utf8CountsAndPositions) {
  const std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  EXPECT_EQ(Utf8Length(s), 5u);
  EXPECT_EQ(Utf8Length("a\xFF\xFE"), 3u);
  EXPECT_EQ(Utf8ByteOffset(s, 0), 0u);
  EXPECT_EQ(Utf8ByteOffset(s, 2), 3u);
  EXPECT_EQ(Utf8ByteOffset(s, 4), 10u);
  EXPECT_EQ(Utf8ByteOffset(s, 9), s.size());
  EXPECT_EQ(Utf8CharIndex(s, 0), 0u);
  EXPECT_EQ(Utf8CharIndex(s, 2), 1u);  // inside é
  EXPECT_EQ(Utf8CharIndex(s, 9), 3u);
  EXPECT_EQ(Utf8CharIndex(s, s.size()), 5u);

  EXPECT_EQ(Utf8Copy(s, 2, 2), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Utf8Copy(s, 4, 99), "\xF0\x9F\x98\x80z");
  EXPECT_EQ(Utf8Copy(s, 0, 2), "a\xC3\xA9");
  EXPECT_EQ(Utf8Copy(s, 6, 1), "");

  std::string t = s;
  Utf8Delete(t, 2, 2);
  EXPECT_EQ(t, "a\xF0\x9F\x98\x80z");
  Utf8Insert("\xC3\xBC", t, 2);
  EXPECT_EQ(t, "a\xC3\xBC\xF0\x9F\x98\x80z");
  Utf8Insert("!", t, 99);
  EXPECT_EQ(t, "a\xC3\xBC\xF0\x9F\x98\x80z!");
}
