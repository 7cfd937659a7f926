#include "platform/classlib/richedit/rtf.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TRtfCharFormat Chars(std::string font, int halfPoints, TFontStyles style = {}, TColor color = clDefault) {
  TRtfCharFormat f;
  f.FontName = std::move(font);
  f.HalfPoints = halfPoints;
  f.Style = style;
  f.Color = color;
  return f;
}

// What a memo written by a user holds: every attribute of the subset.
TRtfDocument EveryAttribute() {
  TRtfCharFormat arial = Chars("Arial", 20);
  arial.Charset = ANSI_CHARSET;
  TRtfCharFormat bold = arial;
  bold.Style = {fsBold, fsUnderline};
  TRtfCharFormat courier = Chars("Courier New", 17, {fsItalic, fsStrikeOut}, RGB(255, 0, 0));
  courier.Pitch = fpFixed;
  TRtfCharFormat marked = arial;
  marked.Highlight = RGB(255, 255, 0);
  marked.Protected = true;

  TRtfDocument d;
  TRtfParagraph first;
  first.Runs = {{"Plain {braces} \\ back-slash, ", arial}, {"bold underlined", bold}};
  TRtfParagraph second;
  second.Format.Alignment = TRtfAlignment::Center;
  second.Format.FirstIndent = -360;
  second.Format.LeftIndent = 720;
  second.Format.RightIndent = 144;
  second.Format.TabStops = {1440, 2880};
  second.Runs = {{"caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x94 \xCE\xA9 \xF0\x9F\x98\x80\tend", courier}};
  TRtfParagraph bullet;
  bullet.Format.Bullets = true;
  bullet.Format.Alignment = TRtfAlignment::Justify;
  bullet.Runs = {{"item\xE2\x80\xA8second line", marked}};
  TRtfParagraph right;
  right.Format.Alignment = TRtfAlignment::Right;
  d.Paragraphs = {first, second, bullet, TRtfParagraph{}, right};
  d.Paragraphs.back().Runs = {{"12 34", arial}};
  return d;
}

TEST(RtfRoundTrip, EveryAttributeOfTheSubsetReadsBackIdentical) {
  const TRtfDocument d = EveryAttribute();
  const std::string rtf = RtfWrite(d);
  EXPECT_TRUE(IsRtfText(rtf));
  EXPECT_EQ(d, RtfRead(rtf)) << rtf;
  EXPECT_EQ(rtf, RtfWrite(RtfRead(rtf)));
}

TEST(RtfRoundTrip, EmptyParagraphsAndEmptyDocumentsKeepTheirShape) {
  for (std::size_t paragraphs : {0u, 1u, 3u}) {
    TRtfDocument d;
    d.Paragraphs.resize(paragraphs);
    EXPECT_EQ(d, RtfRead(RtfWrite(d))) << paragraphs;
  }
}

TEST(RtfRoundTrip, TextNeverGainsTheBlanksThatEndControlWords) {
  TRtfDocument d;
  d.Paragraphs.resize(1);
  // Runs that start with what could continue a control word.
  for (const char* text : {"1 digit", " blank", "letters", "-dash", "x"})
    d.Paragraphs[0].Runs.push_back({text, Chars("", 24 + 2 * int(d.Paragraphs[0].Runs.size()))});
  EXPECT_EQ(d, RtfRead(RtfWrite(d)));
}

TEST(RtfRoundTrip, FontNamesOutsideTheCodePageKeepEveryCharacter) {
  TRtfDocument d;
  d.Paragraphs.resize(1);
  d.Paragraphs[0].Runs = {{"x", Chars("\xCE\xA9 Sans\tMono \xF0\x9F\x98\x80", 24)}};
  EXPECT_EQ(d, RtfRead(RtfWrite(d))) << RtfWrite(d);
}

struct ReadCase {
  const char* rtf;
  const char* text;  // paragraphs joined by "|"
};

class RtfReadText : public testing::TestWithParam<ReadCase> {};

TEST_P(RtfReadText, GivesTheDocumentsText) {
  EXPECT_EQ(GetParam().text, RtfRead(GetParam().rtf).PlainText("|"));
  EXPECT_EQ(GetParam().text, RtfPlainText(GetParam().rtf, "|"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfReadText,
    testing::Values(
        ReadCase{"{\\rtf1 Hello\\par World}", "Hello|World"},
        ReadCase{"{\\rtf1 a\\par}", "a"},  // the last paragraph mark ends the document
        ReadCase{"{\\rtf1 a\\par\\par}", "a|"},
        ReadCase{"{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red1\\green2\\blue3;}"
                 "{\\*\\generator Writer;}{\\info{\\title T}}\\f0 x}",
                 "x"},
        ReadCase{"{\\rtf1 caf\\'e9 \\'80}", "caf\xC3\xA9 \xE2\x82\xAC"},
        ReadCase{"{\\rtf1\\uc1 \\u8364?\\u-10179?\\u-8704? x}", "\xE2\x82\xAC\xF0\x9F\x98\x80 x"},
        ReadCase{"{\\rtf1\\uc2 \\u937\\'3f\\'3fz}", "\xCE\xA9z"},  // both fallback bytes dropped
        ReadCase{"{\\rtf1 a\\tab b\\line c\\~d}", "a\tb\xE2\x80\xA8" "c\xC2\xA0" "d"},
        ReadCase{"{\\rtf1 \\{x\\}\\\\}", "{x}\\"},
        ReadCase{"{\\rtf1 {\\*\\unknowndest hidden}{\\fldinst HYPERLINK}shown}", "shown"},
        ReadCase{"{\\rtf1 {\\pntext\\'B7\\tab}item}", "item"},
        ReadCase{"{\\rtf1 a\\unknownword12 b}", "ab"},
        ReadCase{"{\\rtf1 line\r\nbreaks\rin\nfile}", "linebreaksinfile"},
        // The fallback count belongs to the group; a cut-off surrogate pair shows nothing.
        ReadCase{"{\\rtf1 {\\uc0\\u937 x}\\u937 yz\\u-10179 \\'41B}", "\xCE\xA9x\xCE\xA9zB"},
        ReadCase{"{\\rtf1\\uc2 \\u8364\\{\\tab c\\par d}", "\xE2\x82\xAC" "c|d"},  // \{ and \tab: its fallback
        ReadCase{"{\\rtf1 {\\*\\b hidden}{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}{\\stylesheet{\\s1 x;}}a}", "a"},
        ReadCase{"{\\rtf1 a\\\r\nb\\\nc}", "a|b|c"},  // an escaped line end is a paragraph
        ReadCase{"{\\rtf1 {{{a}b\\par}c\\par}}", "ab|c"},
        ReadCase{"{\\rtf1 \\'e9\\'8\\'zz\\'", "\xC3\xA9zz"},  // damaged escapes
        ReadCase{"{\\rtf1 tab\tcontrol\x01\x7F\xE9 end}", "tab\tcontrol\x7F\xC3\xA9 end"},
        ReadCase{"{\\rtf1 a\\par\\par\\par}", "a||"},
        ReadCase{"{\\rtf1 cut\\par", "cut"},
        ReadCase{"{\\rtf1 cut\\pa", "cut"},
        ReadCase{"plain, not rtf", "plain, not rtf"}));

// The text-only reading against the document's text over noise made of RTF's
// own pieces: every choice the reader makes is met in some order.
TEST(RtfPlainText, EqualsTheDocumentsTextOverRandomPieces) {
  static const char* const kPieces[] = {
      "{", "}", "\\par ", "\\line ", "\\tab ", "\\u937 ", "\\u-10179 ", "\\u-8704 ", "\\uc0 ",
      "\\uc2 ", "\\'e9", "\\'4", "\\*", "\\fonttbl ", "\\colortbl ", "\\stylesheet ",
      "\\pn ", "\\pntext ", "\\f0 ", "\\b ", "\\unknown5 ", "\\\\", "\\{", "\\}", "\\~",
      "\r\n", "text ", "x", ";", "\\", "\xE9", "\x01", "\t"};
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string rtf = round % 2 ? "{\\rtf1 " : "";
    const int pieces = 1 + int(random() % 40);
    for (int i = 0; i < pieces; ++i) rtf += kPieces[random() % std::size(kPieces)];
    ASSERT_EQ(RtfRead(rtf).PlainText("\r\n"), RtfPlainText(rtf)) << rtf;
  }
}

TEST(RtfRead, AttributesFollowGroupsPlainAndPard) {
  const TRtfDocument d = RtfRead(
      "{\\rtf1\\deff1{\\fonttbl{\\f0\\fmodern\\fprq1 Courier;}{\\f1\\fcharset0 Arial;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;}"
      "\\pard\\qc\\li720\\fs20 a{\\b\\i\\cf1 b}c\\par"
      "\\pard\\f0\\ul d\\ulnone\\plain e\\par}");
  ASSERT_EQ(2u, d.Paragraphs.size());
  const TRtfParagraph& p0 = d.Paragraphs[0];
  EXPECT_EQ(TRtfAlignment::Center, p0.Format.Alignment);
  EXPECT_EQ(720, p0.Format.LeftIndent);
  ASSERT_EQ(3u, p0.Runs.size());
  EXPECT_EQ("Arial", p0.Runs[0].Format.FontName);  // the default font, \deff1
  EXPECT_EQ(20, p0.Runs[0].Format.HalfPoints);
  EXPECT_EQ((TFontStyles{fsBold, fsItalic}), p0.Runs[1].Format.Style);
  EXPECT_EQ(RGB(255, 0, 0), p0.Runs[1].Format.Color);
  EXPECT_EQ(p0.Runs[0].Format, p0.Runs[2].Format);  // the group's attributes ended with it

  const TRtfParagraph& p1 = d.Paragraphs[1];
  EXPECT_EQ(TRtfAlignment::Left, p1.Format.Alignment);
  EXPECT_EQ(0, p1.Format.LeftIndent);
  ASSERT_EQ(2u, p1.Runs.size());
  EXPECT_EQ("Courier", p1.Runs[0].Format.FontName);
  EXPECT_EQ(fpFixed, p1.Runs[0].Format.Pitch);
  EXPECT_TRUE(p1.Runs[0].Format.Style.Contains(fsUnderline));
  EXPECT_EQ(Chars("Arial", 24), [&] {
    TRtfCharFormat f = p1.Runs[1].Format;
    f.Charset = DEFAULT_CHARSET;
    return f;
  }());
}

TEST(RtfRead, BulletsComeFromTheParagraphNumberingGroup) {
  const TRtfDocument d = RtfRead(
      "{\\rtf1{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
      "\\fi-200\\li200 one\\par two\\par\\pard three}");
  ASSERT_EQ(3u, d.Paragraphs.size());
  EXPECT_EQ((std::vector<bool>{true, true, false}),
            (std::vector<bool>{d.Paragraphs[0].Format.Bullets, d.Paragraphs[1].Format.Bullets,
                               d.Paragraphs[2].Format.Bullets}));
  EXPECT_EQ("one", d.Paragraphs[0].Text());
}

// ---- Damaged input: as far as readable, never a crash, bounded work --------

TEST(RtfDamaged, LimitsHoldOnHostileValues) {
  const TRtfDocument d = RtfRead(
      "{\\rtf1\\fs99999999999999999999 a\\fs-5 b\\li-99999999 c\\'4");
  ASSERT_EQ(1u, d.Paragraphs.size());
  ASSERT_EQ(2u, d.Paragraphs[0].Runs.size());
  EXPECT_EQ(3276, d.Paragraphs[0].Runs[0].Format.HalfPoints);
  EXPECT_EQ(2, d.Paragraphs[0].Runs[1].Format.HalfPoints);
  EXPECT_EQ(-31680, d.Paragraphs[0].Format.LeftIndent);
  EXPECT_EQ("abc", d.Paragraphs[0].Text());  // the cut-off \'4 shows nothing
}

TEST(RtfDamaged, UnbalancedAndDeepGroupsStillPairUp) {
  EXPECT_EQ("ab", RtfRead("}}{\\rtf1 a}}}b").PlainText());
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 100000; ++i) deep += "{\\b ";
  deep += "x";
  for (int i = 0; i < 100000; ++i) deep += "}";
  deep += "y}";
  const TRtfDocument d = RtfRead(deep);
  ASSERT_EQ(1u, d.Paragraphs.size());
  ASSERT_EQ(2u, d.Paragraphs[0].Runs.size());
  EXPECT_TRUE(d.Paragraphs[0].Runs[0].Format.Style.Contains(fsBold));
  EXPECT_FALSE(d.Paragraphs[0].Runs[1].Format.Style.Contains(fsBold));  // every group closed
}

TEST(RtfDamaged, EveryTruncationAndRandomBytesLoadWithoutHarm) {
  const std::string rtf = RtfWrite(EveryAttribute());
  for (std::size_t n = 0; n <= rtf.size(); ++n) {
    const TRtfDocument d = RtfRead(std::string_view(rtf).substr(0, n));
    // What was read is a beginning of the text.
    const std::string full = EveryAttribute().PlainText();
    const std::string got = d.PlainText();
    ASSERT_EQ(full.substr(0, got.size()), got) << "cut at " << n;
  }
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string noise = rtf;
    for (int i = 0; i < 20; ++i) noise[random() % noise.size()] = char(random());
    RtfRead(noise);  // must neither crash nor hang (the sanitizer pass checks memory)
  }
}

// ---- Plain text -----------------------------------------------------------------

TEST(RtfPlainText, LinesBecomeParagraphsAndReadBackAsText) {
  EXPECT_FALSE(IsRtfText("plain {\\rtf"));
  const TRtfDocument d = PlainTextDocument("one\r\ntwo\nthree\r\rfive", Chars("Arial", 20));
  EXPECT_EQ("one|two|three||five", d.PlainText("|"));
  EXPECT_EQ("one\r\ntwo\r\nthree\r\n\r\nfive", RtfRead(RtfWrite(d)).PlainText());
  EXPECT_EQ(1u, PlainTextDocument("").Paragraphs.size());
}

// A plain memo's text is read without building its document: against the
// document's text over every mix of line ends, a byte-order mark and text.
TEST(RtfPlainText, PlainMemosGiveTheDocumentsText) {
  static const char* const kPieces[] = {"\r", "\n", "\r\n", "\n\r", "line", " ", "\xEF\xBB\xBF", "{\\rtf"};
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    std::string stored = round % 3 == 0 ? "\xEF\xBB\xBF" : "";
    const int pieces = int(random() % 12);
    for (int i = 0; i < pieces; ++i) stored += kPieces[random() % std::size(kPieces)];
    if (IsRtfText(stored)) continue;
    for (std::string_view separator : {"\r\n", "|", ""})
      ASSERT_EQ(PlainTextDocument(MemoTextBody(stored)).PlainText(separator), MemoPlainText(stored, separator))
          << stored;
  }
  EXPECT_EQ(MemoPlainText("one\r\ntwo\n\nthree\r\n", "|"), "one|two||three");
}

TEST(RtfCodePage, EveryAssignedByteMapsBothWays) {
  int assigned = 0;
  for (int b = 0; b < 256; ++b) {
    const char32_t c = Cp1252ToUnicode(static_cast<unsigned char>(b));
    if (c != char32_t(b) || b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(b, UnicodeToCp1252(c)) << b;
      ++assigned;
    }
  }
  EXPECT_EQ(251, assigned);
  EXPECT_EQ(-1, UnicodeToCp1252(0x3A9));
}

}  // namespace

// ---- Damaged input read, written and read again ------------------------------

struct RoundTripCase {
  const char* what;  // what once went wrong on the way back
  std::string rtf;
  friend void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.what; }
};

class RtfRewrite : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RtfRewrite, ReadsBackEqual) {
  const TRtfDocument d = RtfRead(GetParam().rtf);
  const std::string written = RtfWrite(d);
  EXPECT_EQ(d, RtfRead(written)) << GetParam().what << "\n" << written;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfRewrite,
    testing::Values(
        RoundTripCase{"a control byte in a font name was kept but not written",
                      "{\\fonttbl\\f0 o\x01w}r"},
        RoundTripCase{"a font name character outside the code page was written as \\u but not read",
                      "{\\fonttbl\\f0\x90}i"},
        RoundTripCase{"a tab byte inside a font name was written as \\tab but not read",
                      "{\\fonttbl\\f0 a\tb}c"}));
