// Picture masks on hostile input: nested counts stay cheap, what the matcher
// completes or fills in matches again unchanged, and masks that are not UTF-8
// are refused.
#include <gtest/gtest.h>

#include "datactrls/wwpicture.h"

namespace {

struct Case {
  const char* mask;
  const char* text;
  TwwPicResult result;
  const char* after;  // the text as the match leaves it (auto-fill on)
};

// Matches with auto-fill; a text that is not refused then matches again
// unchanged, with the same result.
void ExpectMatch(const Case& c) {
  TwwPictureValidator v(c.mask, true);
  std::string text = c.text;
  EXPECT_EQ(v.MatchPicture(text, true), c.result) << c.mask << " / " << c.text;
  EXPECT_EQ(text, c.after) << c.mask << " / " << c.text;
  if (c.result == pmError) return;
  std::string again = text;
  EXPECT_EQ(v.MatchPicture(again, true), c.result) << c.mask << " / " << c.text;
  EXPECT_EQ(again, text) << c.mask << " / " << c.text;
}

TEST(PictureMaskLimits, HostileMasksAnswerAtOnceAndTheirResultsMatchAgain) {
  const Case cases[] = {
      // Before, each round of an outer count replayed every inner round: these
      // took from seconds to centuries on one keystroke.
      {"*70*70*70*70*a", "x", pmError, "x"},
      {"*255*255*255*255*255*255*a", "x", pmError, "x"},
      {"*255*255*255*255*255*255[a]", "aaaa", pmIncomplete, "aaaa"},
      {"*99*99*99*99*99{[a],[b]}c", "abab", pmError, "abab"},
      // "*~" takes every letter, so the literal V can never follow: a blank
      // must not turn into it.
      {"*~V", " ", pmError, " "},
      {"*~V", "V", pmIncomplete, "v"},
      // The filled-in V would be taken by the repeated "~": no fill.
      {"**22~V", "V", pmIncomplete, "v"},
      {"**22~V", "vv", pmIncomplete, "vv"},
      // A text that already is a value keeps its meaning: this blank is the
      // mask's own, not a stand-in for an "x" (it was, with auto-fill off).
      {"*x ", " ", pmComplete, " "},
      {"**4x ", " ", pmComplete, " "},
      // Help that settles stays.
      {"#-#", "1 ", pmIncomplete, "1-"},
      {"AB", "a ", pmComplete, "AB"},
      {"(###) ###-####", "(555", pmIncomplete, "(555) "},
  };
  for (const Case& c : cases) ExpectMatch(c);
}

TEST(PictureMaskLimits, MasksThatAreNotUtf8OrHoldNulAreRefused) {
  const std::string bad = "?*B,\xff(";
  EXPECT_FALSE(TwwPictureValidator::IsValidMask(bad));
  TwwPictureValidator v(bad, true);
  EXPECT_EQ(v.Status, 1);
  std::string text = "a";
  EXPECT_EQ(v.MatchPicture(text, true), pmSyntax);
  EXPECT_EQ(text, "a");
  EXPECT_FALSE(TwwPictureValidator::IsValidMask(std::string("#\0#", 3)));
  // Letters beyond ASCII in proper UTF-8 stay literals that fill in.
  TwwPictureValidator accented("\xC3\xA9-#", true);
  std::string typed = "\xC3\xA9";
  EXPECT_EQ(accented.MatchPicture(typed, true), pmIncomplete);
  EXPECT_EQ(typed, "\xC3\xA9-");
}

}  // namespace
