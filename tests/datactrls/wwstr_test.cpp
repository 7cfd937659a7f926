// Stacks and string routines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Each call starts at pos (1-based) and leaves it after the delimiter, -1 at the end.
TEST(StringRoutines, NextTokenSingleAndWordDelimiters) {
  struct Case {
    const char* text;
    const char* delimiter;
    int pos;
    const char* token;
    int next;
  };
  for (const Case& c : {Case{"a AND b", "and", 1, "a", 7}, Case{"a AND b", "and", 7, "b", -1},
                        Case{"sandy", "and", 1, "sandy", -1},  // a word inside a word
                        Case{"12/31/98", "/", 1, "12", 4}, Case{"abc", "/", 0, "", 0},
                        Case{"abc", "/", 4, "", 4}}) {
    std::string token = "x";
    int pos = c.pos;
    wwNextToken(c.text, c.delimiter, pos, token);
    EXPECT_EQ(token, c.token) << c.text << " from " << c.pos;
    EXPECT_EQ(pos, c.next) << c.text << " from " << c.pos;
  }
}

// The piece after a longer delimiter starts one character after its start.
TEST(StringRoutines, SplitKeepsEmptyPieces) {
  struct Case {
    const char* text;
    const char* delimiter;
    std::vector<std::string> pieces;
  };
  for (const Case& c : {Case{"a;b;", ";", {"a", "b", ""}}, Case{"", ";", {""}},
                        Case{"Name\tmask\tT\tF", "\t", {"Name", "mask", "T", "F"}},
                        Case{"a::b", "::", {"a", ":b"}}}) {
    TStringList list;
    wwSplitToList(c.text, c.delimiter, &list);
    std::vector<std::string> got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list[i]);
    EXPECT_EQ(got, c.pieces) << c.text;
  }
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

// Each scan starts at pos and leaves it after the word; 0 where the end is not checked.
TEST(StringRoutines, ScanWord) {
  struct Case {
    const char* text;
    int pos;
    int options;
    const char* word;
    int next;
  };
  const int strip = wwswQuotes | wwswStripQuotes;
  for (const Case& c : {Case{"  Name = x", 1, wwswSkipBlanks, "Name", 7},  // on the blank after it
                        Case{"  Name = x", 7, wwswSkipBlanks, "=", 9},
                        Case{"  Name = x", 9, wwswSkipBlanks, "x", 12},
                        Case{"  Name = x", 12, wwswSkipBlanks, "", 0},
                        // A one-character word is passed with the character that ended it.
                        Case{"a,b", 1, 0, "a", 3},
                        Case{"\"two words\" rest", 1, wwswQuotes, "\"two words\"", 12},
                        Case{"\"two words\" rest", 1, strip, "two words", 0},
                        Case{"\"open", 1, strip, "open", 6}}) {
    std::string word;
    int pos = c.pos;
    wwScanWord(c.text, pos, c.options, word, wwCharSet(",="));
    EXPECT_EQ(word, c.word) << c.text << " from " << c.pos;
    if (c.next != 0) {
      EXPECT_EQ(pos, c.next) << c.text << " from " << c.pos;
    }
  }
}

}  // namespace
