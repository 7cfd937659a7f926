// Stacks and string routines.
#include <gtest/gtest.h>

#include "datactrls/wwstr.h"
#include "platform/classlib/core/strings.h"

namespace {

TEST(Stacks, PushPopAndEmpty) {
  TStackStr s;
  EXPECT_EQ(s.Pop(), "");
  s.Push("a");
  s.Push("b");
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s.Pop(), "b");
  EXPECT_EQ(s.Pop(), "a");
  EXPECT_EQ(s.Pop(), "");
  EXPECT_EQ(s.Count(), 0);

  TStackPtr p;
  int x = 1, y = 2;
  EXPECT_EQ(p.Pop(), nullptr);
  p.Push(&x);
  p.Push(&y);
  EXPECT_EQ(p.Pop(), &y);
  EXPECT_EQ(p.Pop(), &x);
  EXPECT_EQ(p.Pop(), nullptr);
}

TEST(StringRoutines, NextTokenSingleAndWordDelimiters) {
  std::string token;
  int pos = 1;
  wwNextToken("a AND b", "and", pos, token);
  EXPECT_EQ(token, "a");
  EXPECT_EQ(pos, 7);
  wwNextToken("a AND b", "and", pos, token);
  EXPECT_EQ(token, "b");
  EXPECT_EQ(pos, -1);

  // A word inside another word is no delimiter.
  pos = 1;
  wwNextToken("sandy", "and", pos, token);
  EXPECT_EQ(token, "sandy");
  EXPECT_EQ(pos, -1);

  pos = 1;
  wwNextToken("12/31/98", "/", pos, token);
  EXPECT_EQ(token, "12");
  EXPECT_EQ(pos, 4);

  pos = 0;
  token = "x";
  wwNextToken("abc", "/", pos, token);
  EXPECT_EQ(token, "");
  EXPECT_EQ(pos, 0);
  pos = 4;
  wwNextToken("abc", "/", pos, token);
  EXPECT_EQ(pos, 4);
}

TEST(StringRoutines, SplitKeepsEmptyPieces) {
  TStringList list;
  wwSplitToList("a;b;", ";", &list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list[1], "b");
  EXPECT_EQ(list[2], "");
  wwSplitToList("", ";", &list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], "");
  wwSplitToList("Name\tmask\tT\tF", "\t", &list);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list[1], "mask");
  // The piece after a longer delimiter starts one character after its start.
  wwSplitToList("a::b", "::", &list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], ":b");
}

TEST(StringRoutines, TrimAndCharacterRoutines) {
  std::string s = "\t a b \t";
  wwTrim(s);
  EXPECT_EQ(s, "a b");
  s = "xxaxx";
  wwTrimLeadingCharSet(s, wwCharSet("x"));
  EXPECT_EQ(s, "axx");
  wwTrimTrailingCharSet(s, wwCharSet("x"));
  EXPECT_EQ(s, "a");
  s = "--";
  wwTrimCharSet(s, wwCharSet("-"));
  EXPECT_EQ(s, "");

  EXPECT_EQ(wwRemoveChar("a~b~c", '~'), "abc");
  EXPECT_EQ(wwReplaceChar("a~b", '~', ' '), "a b");
  EXPECT_EQ(wwReplaceCharWithString("a\tb", '\t', "<tab>"), "a<tab>b");
  EXPECT_TRUE(wwSameText("Field", "FIELD"));
  EXPECT_FALSE(wwSameText("Field", "Fields"));
  EXPECT_EQ(wwCountChar("a;b;c", ';'), 2);
  EXPECT_EQ(wwMaxInt(-3, 2), 2);
  EXPECT_EQ(wwTextAfterChar("Owner.Combo", '.'), "Combo");
  EXPECT_EQ(wwTextAfterChar("Combo", '.'), "");
}

TEST(StringRoutines, ScanWord) {
  const TwwCharSet delims = wwCharSet(",=");
  std::string w;
  int pos = 1;
  wwScanWord("  Name = x", pos, wwswSkipBlanks, w, delims);
  EXPECT_EQ(w, "Name");
  EXPECT_EQ(pos, 7);  // on the blank after the word
  wwScanWord("  Name = x", pos, wwswSkipBlanks, w, delims);
  EXPECT_EQ(w, "=");
  EXPECT_EQ(pos, 9);
  wwScanWord("  Name = x", pos, wwswSkipBlanks, w, delims);
  EXPECT_EQ(w, "x");
  EXPECT_EQ(pos, 12);
  wwScanWord("  Name = x", pos, wwswSkipBlanks, w, delims);
  EXPECT_EQ(w, "");

  // A one-character word is passed together with the character that ended it.
  pos = 1;
  wwScanWord("a,b", pos, 0, w, delims);
  EXPECT_EQ(w, "a");
  EXPECT_EQ(pos, 3);

  pos = 1;
  wwScanWord("\"two words\" rest", pos, wwswQuotes, w, delims);
  EXPECT_EQ(w, "\"two words\"");
  EXPECT_EQ(pos, 12);
  pos = 1;
  wwScanWord("\"two words\" rest", pos, wwswQuotes | wwswStripQuotes, w, delims);
  EXPECT_EQ(w, "two words");
  pos = 1;
  wwScanWord("\"open", pos, wwswQuotes | wwswStripQuotes, w, delims);
  EXPECT_EQ(w, "open");
  EXPECT_EQ(pos, 6);
}

}  // namespace
