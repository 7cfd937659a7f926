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

struct MaskCase {
  const char* mask;
  const char* text;
  TwwPicResult result;
  const char* after = nullptr;  // the text after matching, where it matters
  bool autoFill = false;
};

constexpr bool kFill = true;

// clang-format off
const MaskCase kMaskCases[] = {
    // Digits and literals; auto-fill appends literals up to the next placeholder.
    {"##-##", "12", pmIncomplete, "12-", kFill}, {"##-##", "12", pmIncomplete, "12"},
    {"##-##", "1234", pmError}, {"##-##", "12-34", pmComplete}, {"##-##", "1a", pmError},
    {"(###) ###-####", "(555", pmIncomplete, "(555) ", kFill},
    {"#;#;*#", "1", pmIncomplete, "1#*", kFill},  // escaped placeholders fill in as literals
    // Case conversions, also of letters beyond ASCII.
    {"&&&", "abc", pmComplete, "ABC"}, {"~~", "AB", pmComplete, "ab"},
    {"!!@", "x1y", pmComplete, "X1y"}, {"&", "\u00e9", pmComplete, "\u00c9"},
    // Letters are ASCII letters or codes above 128.
    {"?", "1", pmError},
    {"?", "\u00c8", pmComplete},  // code 200
    {"?", "\u0080", pmError},  // exactly 128
    {"?", "\u0081", pmComplete},
    // Positions count code points, not bytes.
    {"???", "\u00e4\u00f6\u00fc", pmComplete}, {"??", "\u00e4\u00f6\u00fc", pmError},
    {"*2?", "\u00e4\u00f6", pmComplete},
    // Repetition; a counted optional part may be left out at the end.
    {"*#", "", pmEmpty}, {"*#", "1", pmComplete}, {"*#", "12345", pmComplete},
    {"*#", "12a", pmError}, {"*3#", "12", pmIncomplete}, {"*3#", "123", pmComplete},
    {"*3#", "1234", pmError}, {"*&", "abc", pmComplete, "ABC"}, {"#*2[#]", "1", pmComplete},
    {"*2*3#", "123456", pmComplete},
    // Groups and alternatives; with auto-fill the only alternative left is completed.
    {"{Mon,Tue}", "t", pmIncomplete, "T"}, {"{Mon,Tue}", "tue", pmComplete, "Tue"},
    {"{Mon,Tue}", "x", pmError}, {"{Mon,Tue}", "t", pmComplete, "Tue", kFill},
    {"#,?", "a", pmComplete},  // alternatives at the top level
    {"#,?", "1", pmComplete}, {"#,?", "-", pmError},
    {"{##,#}", "1", pmComplete},  // a longer alternative wins only when it got further
    {"{##,#}", "12", pmComplete},
    {"{#,##}", "12", pmError},  // the first that completes is taken; the rest fails
    // Optional parts; a group whose alternatives are all optional may be left out at
    // the end, one whose only alternatives need text may not.
    {"#[#]", "1", pmComplete}, {"#[#]", "12", pmComplete}, {"#[#]", "123", pmError},
    {"[#]?", "a", pmComplete}, {"[#]?", "1a", pmComplete}, {"#[-#]", "1-", pmIncomplete},
    {"#{[a],b}", "1", pmComplete}, {"#{[a]b,c}", "1", pmIncomplete},
    // A trailing blank stands for the literal; once it matched a literal blank no
    // later alternative may use it for another literal.
    {"AB", "a ", pmComplete, "AB"}, {"AB", "a b", pmError}, {"#-#", "1 ", pmIncomplete, "1-"},
    {"# x,#-", "1 ", pmIncomplete}, {"#-", "1 ", pmComplete},
    // Malformed masks; an escaped star is a literal.
    {"#;", "1", pmSyntax}, {"#*", "1", pmSyntax}, {"[#", "1", pmSyntax}, {"{#", "1", pmSyntax},
    {"", "1", pmSyntax}, {"#]]", "1", pmSyntax}, {"#;*", "1*", pmComplete},
    // An empty text is empty.
    {"#", "", pmEmpty}, {"&&&", "", pmEmpty}, {"{Mon,Tue}", "", pmEmpty}, {"[#]", "", pmEmpty},
};
// clang-format on

TEST(PictureMask, MatchesEveryCase) {
  for (const MaskCase& c : kMaskCases) {
    SCOPED_TRACE(std::string(c.mask) + " / " + c.text + (c.autoFill ? " / fill" : ""));
    Match m = MatchMask(c.mask, c.text, c.autoFill);
    EXPECT_EQ(m.result, c.result);
    if (c.after != nullptr) {
      EXPECT_EQ(m.text, c.after);
    }
  }
}

TEST(PictureMask, SyntaxStatus) {
  EXPECT_EQ(TwwPictureValidator("#;*", false).Status, 0);
  EXPECT_EQ(TwwPictureValidator("[#", false).Status, 1);
  EXPECT_EQ(TwwPictureValidator("", false).Status, 1);
  EXPECT_TRUE(TwwPictureValidator::IsValidMask("{a,b}[c]"));
  EXPECT_TRUE(TwwPictureValidator("###", true).ValidateValue(""));
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
  // Long flat masks are not nested.
  std::string flat;
  for (int i = 0; i < 1000; ++i) flat += "*#";
  EXPECT_EQ(MatchMask(flat, "12").result, pmComplete);
}

// Masks unbalanced in order though balanced in count, or oddly counted: matching
// answers one of the public results, a mask failing the syntax check answers
// pmSyntax, and ValidateValue agrees with the match.
TEST(PictureValidator, DamagedMasksGiveConsistentAnswers) {
  for (const char* mask : {"]a[", "}{", "*[]", "{,}", "[[[#]]]", "*255#", "{;,,#}", "*9"}) {
    for (const char* text : {"1", "a", "1a1", "]a[", ","}) {
      SCOPED_TRACE(std::string(mask) + " / " + text);
      TwwPictureValidator v(mask, true);
      std::string filled = text;
      EXPECT_LE(v.MatchPicture(filled, true), pmSyntax);
      Match plain = MatchMask(mask, text);
      if (!TwwPictureValidator::IsValidMask(mask)) {
        EXPECT_EQ(plain.result, pmSyntax);
      }
      EXPECT_EQ(v.ValidateValue(text), plain.result == pmComplete || plain.result == pmEmpty);
    }
  }
}

}  // namespace

namespace {

// Inputs the fuzzer found whose matched text changed when matched again: a
// matched text matches again unchanged, with the same result.
TEST(PictureValidator, AMatchedTextMatchesAgainUnchanged) {
  const std::pair<std::string, std::string> found[] = {
      {"*{*{!G\x01}*!} ", "!"},
  };
  for (const auto& input : found) {
    for (bool fill : {false, true}) {
      SCOPED_TRACE(input.first + " / " + input.second + (fill ? " / fill" : ""));
      TwwPictureValidator v(input.first, true);
      std::string text = input.second;
      const TwwPicResult r = v.MatchPicture(text, fill);
      if (r == pmError || r == pmSyntax || r == pmEmpty) continue;
      std::string again = text;
      EXPECT_EQ(v.MatchPicture(again, fill), r);
      EXPECT_EQ(again, text);
    }
  }
}

}  // namespace
