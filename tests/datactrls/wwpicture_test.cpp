// Picture masks: complete, incomplete, empty and error results, conversions and
// auto-fill.
#include <gtest/gtest.h>

#include "datactrls/wwpicture.h"

namespace {

struct Match {
  TwwPicResult result;
  std::string text;
};

Match MatchMask(const std::string& mask, std::string text, bool autoFill = false) {
  TwwPictureValidator v(mask, autoFill);
  TwwPicResult r = v.MatchPicture(text, autoFill);
  return {r, text};
}

TEST(PictureMask, DigitsAndLiteralWithAutoFill) {
  Match m = MatchMask("##-##", "12", true);
  EXPECT_EQ(m.result, pmIncomplete);
  EXPECT_EQ(m.text, "12-");
  EXPECT_EQ(MatchMask("##-##", "12").result, pmIncomplete);
  EXPECT_EQ(MatchMask("##-##", "12").text, "12");
  EXPECT_EQ(MatchMask("##-##", "1234").result, pmError);
  EXPECT_EQ(MatchMask("##-##", "12-34").result, pmComplete);
  EXPECT_EQ(MatchMask("##-##", "1a").result, pmError);
}

TEST(PictureMask, AutoFillAppendsLiteralsUpToTheNextPlaceholder) {
  Match m = MatchMask("(###) ###-####", "(555", true);
  EXPECT_EQ(m.text, "(555) ");
  EXPECT_EQ(m.result, pmIncomplete);
  // Escaped placeholders are literals and are filled in as such.
  Match e = MatchMask("#;#;*#", "1", true);
  EXPECT_EQ(e.text, "1#*");
  EXPECT_EQ(e.result, pmIncomplete);
}

TEST(PictureMask, CaseConversions) {
  Match up = MatchMask("&&&", "abc");
  EXPECT_EQ(up.result, pmComplete);
  EXPECT_EQ(up.text, "ABC");
  Match low = MatchMask("~~", "AB");
  EXPECT_EQ(low.result, pmComplete);
  EXPECT_EQ(low.text, "ab");
  Match any = MatchMask("!!@", "x1y");
  EXPECT_EQ(any.text, "X1y");
  EXPECT_EQ(any.result, pmComplete);
  // Letters beyond ASCII are letters and are upper-cased too.
  Match accented = MatchMask("&", "\u00e9");
  EXPECT_EQ(accented.result, pmComplete);
  EXPECT_EQ(accented.text, "\u00c9");
}

TEST(PictureMask, LettersAreAsciiLettersOrCodesAbove128) {
  EXPECT_EQ(MatchMask("?", "1").result, pmError);
  EXPECT_EQ(MatchMask("?", "\u00c8").result, pmComplete);  // code 200
  EXPECT_EQ(MatchMask("?", "\u0080").result, pmError);     // exactly 128
  EXPECT_EQ(MatchMask("?", "\u0081").result, pmComplete);
}

TEST(PictureMask, CountsCodePointsNotBytes) {
  // Three characters, six bytes: the mask of three letters takes them all.
  EXPECT_EQ(MatchMask("???", "\u00e4\u00f6\u00fc").result, pmComplete);
  EXPECT_EQ(MatchMask("??", "\u00e4\u00f6\u00fc").result, pmError);
  EXPECT_EQ(MatchMask("*2?", "\u00e4\u00f6").result, pmComplete);
}

TEST(PictureMask, Repetition) {
  EXPECT_EQ(MatchMask("*#", "").result, pmEmpty);
  EXPECT_EQ(MatchMask("*#", "1").result, pmComplete);
  EXPECT_EQ(MatchMask("*#", "12345").result, pmComplete);
  EXPECT_EQ(MatchMask("*#", "12a").result, pmError);
  EXPECT_EQ(MatchMask("*3#", "12").result, pmIncomplete);
  EXPECT_EQ(MatchMask("*3#", "123").result, pmComplete);
  EXPECT_EQ(MatchMask("*3#", "1234").result, pmError);
  EXPECT_EQ(MatchMask("*&", "abc").text, "ABC");
  // A counted optional part may be left out at the end.
  EXPECT_EQ(MatchMask("#*2[#]", "1").result, pmComplete);
}

TEST(PictureMask, GroupsAndAlternatives) {
  Match t = MatchMask("{Mon,Tue}", "t");
  EXPECT_EQ(t.result, pmIncomplete);
  EXPECT_EQ(t.text, "T");
  Match tue = MatchMask("{Mon,Tue}", "tue");
  EXPECT_EQ(tue.result, pmComplete);
  EXPECT_EQ(tue.text, "Tue");
  EXPECT_EQ(MatchMask("{Mon,Tue}", "x").result, pmError);
  // With auto-fill the only alternative left is completed.
  Match filled = MatchMask("{Mon,Tue}", "t", true);
  EXPECT_EQ(filled.text, "Tue");
  EXPECT_EQ(filled.result, pmComplete);
  // Alternatives at the top level of the mask.
  EXPECT_EQ(MatchMask("#,?", "a").result, pmComplete);
  EXPECT_EQ(MatchMask("#,?", "1").result, pmComplete);
  EXPECT_EQ(MatchMask("#,?", "-").result, pmError);
  // A longer alternative wins over a shorter complete one only when it got further.
  EXPECT_EQ(MatchMask("{##,#}", "1").result, pmComplete);
  EXPECT_EQ(MatchMask("{##,#}", "12").result, pmComplete);
  // The first alternative that completes is taken; the text left over fails.
  EXPECT_EQ(MatchMask("{#,##}", "12").result, pmError);
}

TEST(PictureMask, OptionalParts) {
  EXPECT_EQ(MatchMask("#[#]", "1").result, pmComplete);
  EXPECT_EQ(MatchMask("#[#]", "12").result, pmComplete);
  EXPECT_EQ(MatchMask("#[#]", "123").result, pmError);
  EXPECT_EQ(MatchMask("[#]?", "a").result, pmComplete);
  EXPECT_EQ(MatchMask("[#]?", "1a").result, pmComplete);
  EXPECT_EQ(MatchMask("#[-#]", "1-").result, pmIncomplete);
  // A group whose alternatives are all optional may be left out at the end.
  EXPECT_EQ(MatchMask("#{[a],b}", "1").result, pmComplete);
  // One whose only alternatives need text may not.
  EXPECT_EQ(MatchMask("#{[a]b,c}", "1").result, pmIncomplete);
}

TEST(PictureMask, TrailingBlankStandsForTheLiteral) {
  Match m = MatchMask("AB", "a ");
  EXPECT_EQ(m.result, pmComplete);
  EXPECT_EQ(m.text, "AB");
  EXPECT_EQ(MatchMask("AB", "a b").result, pmError);
  EXPECT_EQ(MatchMask("#-#", "1 ").text, "1-");
  // Once a trailing blank matched a literal blank, no later alternative may use
  // it for another literal.
  EXPECT_EQ(MatchMask("# x,#-", "1 ").result, pmIncomplete);
  EXPECT_EQ(MatchMask("#-", "1 ").result, pmComplete);
}

TEST(PictureMask, SyntaxCheck) {
  for (const char* bad : {"#;", "#*", "[#", "{#", "", "#]]"})
    EXPECT_EQ(MatchMask(bad, "1").result, pmSyntax) << bad;
  EXPECT_EQ(MatchMask("#;*", "1*").result, pmComplete);
  EXPECT_EQ(TwwPictureValidator("#;*", false).Status, 0);
  EXPECT_EQ(TwwPictureValidator("[#", false).Status, 1);
  EXPECT_EQ(TwwPictureValidator("", false).Status, 1);
  EXPECT_TRUE(TwwPictureValidator::IsValidMask("{a,b}[c]"));
}

TEST(PictureMask, EmptyTextIsEmpty) {
  for (const char* mask : {"#", "&&&", "{Mon,Tue}", "*#", "[#]"})
    EXPECT_EQ(MatchMask(mask, "").result, pmEmpty) << mask;
  TwwPictureValidator v("###", true);
  EXPECT_TRUE(v.ValidateValue(""));
}

TEST(PictureValidator, ValidateInputAndValue) {
  TwwPictureValidator v("##-##", true);
  std::string typed = "12";
  EXPECT_TRUE(v.ValidateInput(typed, false));
  EXPECT_EQ(typed, "12-");
  std::string suppressed = "12";
  EXPECT_TRUE(v.ValidateInput(suppressed, true));
  EXPECT_EQ(suppressed, "12");
  std::string wrong = "1x";
  EXPECT_FALSE(v.ValidateInput(wrong, false));

  EXPECT_TRUE(v.ValidateValue("12-34"));
  EXPECT_FALSE(v.ValidateValue("12"));
  EXPECT_FALSE(v.ValidateValue("12-345"));
  std::string lower = "ab";
  TwwPictureValidator upper("&&", false);
  EXPECT_TRUE(upper.ValidateValue(lower));
  EXPECT_EQ(lower, "ab");  // the caller's text is left alone
}

TEST(PictureValidator, MalformedAndEmptyMasks) {
  TwwPictureValidator bad("[#", false);
  std::string text = "anything";
  EXPECT_TRUE(bad.ValidateInput(text, false));
  EXPECT_FALSE(bad.ValidateValue("1"));
  EXPECT_FALSE(bad.ValidateValue(""));

  TwwPictureValidator none("", false);
  EXPECT_TRUE(none.ValidateInput(text, false));
  EXPECT_TRUE(none.ValidateValue("whatever"));
}

TEST(PictureValidator, NestingIsBounded) {
  const std::string deep100 = std::string(100, '[') + "#" + std::string(100, ']');
  EXPECT_EQ(MatchMask(deep100, "1").result, pmComplete);
  const std::string deep = std::string(100000, '{') + "#" + std::string(100000, '}');
  EXPECT_EQ(MatchMask(deep, "1").result, pmSyntax);
  EXPECT_EQ(MatchMask(std::string(100000, '*') + "#", "1").result, pmSyntax);
  EXPECT_EQ(MatchMask("*2*3#", "123456").result, pmComplete);
  // Long flat masks are not nested.
  std::string flat;
  for (int i = 0; i < 1000; ++i) flat += "*#";
  EXPECT_EQ(MatchMask(flat, "12").result, pmComplete);
}

TEST(PictureValidator, DamagedMasksNeverCrash) {
  // Unbalanced in order though balanced in count, and deep nesting.
  for (const char* mask : {"]a[", "}{", "*[]", "{,}", "[[[#]]]", "*255#", "{;,,#}", "*9"}) {
    for (const char* text : {"1", "a", "1a1", "]a[", ","}) {
      TwwPictureValidator v(mask, true);
      std::string t = text;
      v.MatchPicture(t, true);
      v.ValidateValue(text);
    }
  }
  SUCCEED();
}

}  // namespace
