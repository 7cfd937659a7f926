#include "platform/classlib/richedit/richlayout.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/graphics/surface.h"
#include "platform/classlib/richedit/richdocument.h"

namespace {

using testing_support::InkBox;
using testing_support::Surface;

// A memo of many paragraphs of different lengths and sizes.
TRtfDocument LongMemo(int paragraphs) {
  TRtfDocument d;
  for (int i = 0; i < paragraphs; ++i) {
    TRtfCharFormat f;
    f.FontName = "Arial";
    f.HalfPoints = 16 + 4 * (i % 4);
    if (i % 5 == 0) f.Style = {fsBold};
    std::string text = "Paragraph " + std::to_string(i) + ":";
    for (int w = 0; w < 5 + (i * 7) % 60; ++w) text += " word" + std::to_string(w);
    d.Paragraphs.push_back({TRtfParaFormat{}, {{text, f}}});
  }
  return d;
}

// A page-sized image at `ppi` to lay out on.
std::unique_ptr<TBitmap> Page(int ppi, double widthInches, double heightInches) {
  auto page = Surface(int(widthInches * ppi), int(heightInches * ppi));
  QImage& image = vantrel::qt::BitmapImage(*page);
  image.setDotsPerMeterX(int(std::lround(ppi / 0.0254)));
  image.setDotsPerMeterY(int(std::lround(ppi / 0.0254)));
  return page;
}

TRtfCharFormat Arial(int halfPoints, TFontStyles style = {}) {
  TRtfCharFormat f;
  f.FontName = "Arial";
  f.HalfPoints = halfPoints;
  f.Style = style;
  return f;
}

// A memo of at least `characters` characters in paragraphs of `paragraph`
// characters each (0: one paragraph), every third word bold.
TRtfDocument ShapedMemo(int characters, int paragraph) {
  const TRtfCharFormat plain = Arial(20), bold = Arial(20, {fsBold});
  TRtfDocument d;
  int total = 0;
  for (int word = 0; total < characters;) {
    TRtfParagraph p;
    for (int held = 0; total < characters && (paragraph == 0 || held < paragraph); ++word) {
      std::string text = "word" + std::to_string(word) + " ";
      if (paragraph != 0) text.resize(std::min<size_t>(text.size(), size_t(paragraph - held)));
      held += int(text.size());
      total += int(text.size());
      p.Runs.push_back({text, word % 3 == 0 ? bold : plain});
    }
    d.Paragraphs.push_back(std::move(p));
  }
  return d;
}

struct PageRange {
  int first, next, height;
};

std::vector<PageRange> Paginate(TRichTextLayout& layout, TCanvas* canvas, const TRect& r, bool render) {
  std::vector<PageRange> pages;
  int first = 0;
  while (first < layout.TextLength() && pages.size() < 1000) {
    int height = 0;
    const int next = layout.FormatRange(canvas, r, first, -1, render, &height);
    pages.push_back({first, next, height});
    if (next == first) break;
    first = next;
  }
  return pages;
}

TEST(RichTextLayout, ALongTextPaginatesWithNoCharacterLostOrRepeated) {
  TRichTextLayout layout(LongMemo(120));
  auto page = Page(600, 6.5, 3);
  const TRect r{300, 300, page->Width() - 300, page->Height() - 300};
  const std::vector<PageRange> measured = Paginate(layout, page->Canvas(), r, false);
  ASSERT_GT(measured.size(), 5u);
  EXPECT_EQ(0, measured.front().first);
  EXPECT_EQ(layout.TextLength(), measured.back().next);
  for (std::size_t i = 0; i < measured.size(); ++i) {
    EXPECT_GT(measured[i].next, measured[i].first) << "page " << i;
    EXPECT_LE(measured[i].height, r.Height());
    EXPECT_GT(measured[i].height, r.Height() / 2) << "a page is filled before the next starts";
    if (i > 0) {
      EXPECT_EQ(measured[i - 1].next, measured[i].first);
    }
  }
}

// Whatever the text before it, a page looks at the lines it prints (and a
// few more to find the first) and copies only its own characters to draw
// them; the whole text is laid out once. In one paragraph as in many short
// ones.
TEST(RichTextLayout, APageLooksAtAndCopiesOnlyWhatItPrints) {
  constexpr int kHalvings = 32;  // enough to find a line among four billion
  const struct {
    const char* name;
    int paragraph;
  } shapes[] = {{"one paragraph", 0}, {"paragraphs of 80 characters", 80}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    TRichTextLayout layout(ShapedMemo(30000, shape.paragraph));
    auto page = Page(96, 4, 1.3);
    const TRect r{0, 0, page->Width(), page->Height()};
    int pages = 0;
    for (int first = 0; first < layout.TextLength(); ++pages) {
      SCOPED_TRACE(pages);
      const int measured = layout.FormatRange(page->Canvas(), r, first, -1, false);
      const TRichTextLayout::TWork measuring = layout.LastWork();
      const int next = layout.FormatRange(page->Canvas(), r, first, -1, true);
      const TRichTextLayout::TWork drawing = layout.LastWork();
      ASSERT_EQ(measured, next);
      ASSERT_GT(next, first);
      EXPECT_EQ(measuring.LaidOutWhole, pages == 0);
      EXPECT_FALSE(drawing.LaidOutWhole);
      for (const TRichTextLayout::TWork& work : {measuring, drawing})
        EXPECT_LE(work.LinesLookedAt, work.LinesTaken + kHalvings);
      EXPECT_EQ(measuring.CharactersCopied, 0);
      EXPECT_LE(drawing.CharactersCopied, next - first + 1);  // and the paragraph mark before
      first = next;
    }
    EXPECT_GT(pages, 20);
  }
}

// Each page draws its lines as the whole text drawn at once draws them
// there, pixel for pixel: a paragraph going on from the page before keeps
// its indents, a bullet's text stays where the bullet put it, and a
// paragraph's empty last line keeps its height. (Lines aligned right or
// centred may stand a fraction of a pixel apart, so they are left out.)
TEST(RichTextLayout, EachPageDrawsAsTheWholeTextDoesThere) {
  const TRtfCharFormat plain = Arial(20), big = Arial(28, {fsBold});
  TRtfParaFormat bullet, indented, hanging;
  bullet.Bullets = true;
  indented.LeftIndent = 720;
  indented.FirstIndent = 360;
  indented.RightIndent = 500;
  hanging.LeftIndent = 400;
  hanging.FirstIndent = -200;
  const TRtfParaFormat formats[] = {TRtfParaFormat{}, bullet, indented, hanging, bullet};
  TRtfDocument memo;
  for (int p = 0; p < 18; ++p) {
    TRtfParagraph paragraph{formats[p % 5], {}};
    for (int w = 0; w < 60 + p * 7 % 50; ++w)
      paragraph.Runs.push_back({"p" + std::to_string(p) + "w" + std::to_string(w) + " ", w % 9 ? plain : big});
    if (p % 4 == 1) paragraph.Runs.back().Text += "\xE2\x80\xA8";  // ends with an empty line
    memo.Paragraphs.push_back(std::move(paragraph));
  }
  TRichTextLayout layout(memo);
  constexpr int kPpi = 96;
  auto page = Page(kPpi, 4, 1.2);
  const TRect r{0, 0, page->Width(), page->Height()};
  const std::vector<PageRange> pages = Paginate(layout, page->Canvas(), r, false);
  ASSERT_GT(pages.size(), 10u);
  int total = 0;
  for (const PageRange& p : pages) total += p.height;
  auto whole = Page(kPpi, 4, double(total) / kPpi + 1);
  ASSERT_EQ(layout.FormatRange(whole->Canvas(), TRect{0, 0, whole->Width(), whole->Height()}, 0, -1, true),
            layout.TextLength());
  const QImage& all = vantrel::qt::BitmapImage(*whole);
  int top = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    auto alone = Page(kPpi, 4, 1.2);
    layout.FormatRange(alone->Canvas(), r, pages[i].first, -1, true);
    const QImage drawn = vantrel::qt::BitmapImage(*alone).copy(0, 0, r.Width(), pages[i].height);
    EXPECT_TRUE(drawn == all.copy(0, top, r.Width(), pages[i].height)) << "page " << i;
    top += pages[i].height;
  }
}

TEST(RichTextLayout, RenderingBreaksPagesWhereMeasuringDid) {
  // Drawn glyphs at printer resolution are slow to rasterise; 150 dpi shows the same.
  TRichTextLayout layout(LongMemo(60));
  auto page = Page(150, 6.5, 3);
  const TRect r{0, 0, page->Width(), page->Height()};
  const std::vector<PageRange> measured = Paginate(layout, page->Canvas(), r, false);
  const std::vector<PageRange> rendered = Paginate(layout, page->Canvas(), r, true);
  ASSERT_GT(measured.size(), 2u);
  ASSERT_EQ(measured.size(), rendered.size());
  for (std::size_t i = 0; i < measured.size(); ++i) EXPECT_EQ(measured[i].next, rendered[i].next);
}

TEST(RichTextLayout, LinesBreakAtTheDevicesResolution) {
  // The same physical page holds about the same text at 96 and at 600 dpi.
  TRichTextLayout layout(LongMemo(40));
  auto screen = Page(96, 4, 2), printer = Page(600, 4, 2);
  const int onScreen = layout.FormatRange(screen->Canvas(), TRect{0, 0, screen->Width(), screen->Height()}, 0, -1, false);
  const int onPaper = layout.FormatRange(printer->Canvas(), TRect{0, 0, printer->Width(), printer->Height()}, 0, -1, false);
  EXPECT_NEAR(1.0, double(onPaper) / onScreen, 0.15);
}

TEST(RichTextLayout, RenderingDrawsOnlyTheLinesThatFitInsideTheRectangle) {
  TRichTextLayout layout(LongMemo(30));
  auto page = Page(96, 5, 4);
  const TRect r{40, 50, 400, 250};
  int height = 0;
  const int next = layout.FormatRange(page->Canvas(), r, 0, -1, true, &height);
  EXPECT_GT(next, 0);
  EXPECT_LT(next, layout.TextLength());
  const TRect ink = InkBox(*page, clBlack);
  ASSERT_GE(ink.Right, 0);
  EXPECT_GE(ink.Left, r.Left);
  EXPECT_GE(ink.Top, r.Top);
  EXPECT_LE(ink.Right, r.Right);
  EXPECT_LE(ink.Bottom, r.Top + height);
}

TEST(RichTextLayout, NothingFitsInARectangleLowerThanALine) {
  TRichTextLayout layout(LongMemo(3));
  auto page = Page(96, 4, 2);
  int height = -1;
  EXPECT_EQ(7, layout.FormatRange(page->Canvas(), TRect{0, 0, 300, 3}, 7, -1, true, &height));
  EXPECT_EQ(0, height);
  EXPECT_EQ(-1, InkBox(*page, clBlack).Right);
  // An empty range or rectangle does nothing.
  EXPECT_EQ(5, layout.FormatRange(page->Canvas(), TRect{0, 0, 300, 100}, 5, 5, true));
  EXPECT_EQ(0, layout.FormatRange(page->Canvas(), TRect{0, 0, 0, 100}, 0, -1, true));
}

// A page that starts with a paragraph draws as the same text would that
// began there: alignment, indents, bullets and character formats all come
// along into the part drawn.
TEST(RichTextLayout, APartDrawsAsTheTextStartingThereWould) {
  TRtfCharFormat plain;
  plain.FontName = "Arial";
  plain.HalfPoints = 20;
  TRtfCharFormat rich = plain;
  rich.HalfPoints = 28;
  rich.Style = {fsBold, fsUnderline};
  rich.Color = RGB(200, 10, 20);
  TRtfParaFormat centred, indented, bullet;
  centred.Alignment = TRtfAlignment::Center;
  indented.LeftIndent = 725;
  indented.FirstIndent = 300;
  bullet.Bullets = true;
  const std::vector<TRtfParagraph> paragraphs = {
      {TRtfParaFormat{}, {{"The opening paragraph, left as it is.", plain}}},
      {centred, {{"centred ", plain}, {"and rich", rich}}},
      {indented, {{"An indented paragraph long enough to wrap onto a second line of the page.", plain}}},
      {bullet, {{"one", plain}}},
      {bullet, {{"two", rich}}}};
  TRtfDocument whole, rest;
  whole.Paragraphs = paragraphs;
  rest.Paragraphs.assign(paragraphs.begin() + 1, paragraphs.end());
  TRichTextLayout all(whole), tail(rest);
  auto fromSecond = Page(96, 4, 3), alone = Page(96, 4, 3);
  const TRect r{10, 10, 370, 280};
  const int start = int(paragraphs[0].Runs[0].Text.size()) + 1;  // past the first paragraph's end
  EXPECT_EQ(all.FormatRange(fromSecond->Canvas(), r, start, -1, true) - start,
            tail.FormatRange(alone->Canvas(), r, 0, -1, true));
  const QImage& a = vantrel::qt::BitmapImage(*fromSecond);
  const QImage& b = vantrel::qt::BitmapImage(*alone);
  EXPECT_NE(InkBox(*alone, clBlack).Right, -1);
  EXPECT_TRUE(a == b) << "the part draws as the text alone";
}

// Edit positions count code points, each paragraph end and each line break
// inside a paragraph as two ("\r\n"); the layout counts UTF-16 units, each
// break as one. Every position maps across and back; one inside a "\r\n"
// stands before it, one beyond the text at its end.
TEST(RichTextLayout, EditAndLayoutPositionsMapBothWays) {
  const std::string face = "\xF0\x9F\x98\x80", lineBreak = "\xE2\x80\xA8";
  const std::vector<std::vector<std::string>> cases = {
      {"plain words"},
      {"one", "two", ""},
      {"", ""},
      {"a" + face + "b", "c"},
      {"line" + lineBreak + "break", "x" + face},
      {face + lineBreak + face, "", "caf\xC3\xA9 end"},
      {lineBreak + face + lineBreak + "ab" + face + face + "c" + lineBreak, face + "d" + lineBreak + lineBreak},
  };
  for (const auto& paragraphs : cases) {
    TRtfDocument d;
    for (const std::string& text : paragraphs) d.Paragraphs.push_back({TRtfParaFormat{}, {{text, {}}}});
    const TRichTextLayout layout(d);
    SCOPED_TRACE(d.PlainText("|"));
    // The positions between characters, in both counts.
    std::vector<std::pair<int, int>> stops{{0, 0}};
    auto step = [&](int layoutUnits, int editUnits) {
      stops.push_back({stops.back().first + layoutUnits, stops.back().second + editUnits});
    };
    for (size_t p = 0; p < paragraphs.size(); ++p) {
      for (size_t at = 0; at < paragraphs[p].size();) {
        const char32_t c = Utf8Decode(paragraphs[p], at);
        if (c == 0x2028) step(1, 2);
        else step(c > 0xFFFF ? 2 : 1, 1);
      }
      if (p + 1 < paragraphs.size()) step(1, 2);
    }
    EXPECT_EQ(layout.TextLength(), stops.back().first);
    for (size_t i = 0; i < stops.size(); ++i) {
      const auto [position, edit] = stops[i];
      EXPECT_EQ(layout.EditPosition(position), edit) << position;
      EXPECT_EQ(layout.LayoutPosition(edit), position) << edit;
      if (i + 1 < stops.size() && stops[i + 1].second == edit + 2) {
        EXPECT_EQ(layout.LayoutPosition(edit + 1), position) << "inside the break after " << edit;
      }
    }
    EXPECT_EQ(layout.LayoutPosition(stops.back().second + 5), stops.back().first);
    EXPECT_EQ(layout.EditPosition(stops.back().first + 5), stops.back().second);
  }
}

TEST(RichTextDocument, EveryAttributeSurvivesTheEditorsDocument) {
  TRtfCharFormat plain;
  plain.FontName = "Arial";
  plain.HalfPoints = 20;
  TRtfCharFormat rich = plain;
  rich.FontName = "Courier New";
  rich.Charset = ANSI_CHARSET;
  rich.Pitch = fpFixed;
  rich.HalfPoints = 27;
  rich.Style = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  rich.Color = RGB(200, 10, 20);
  rich.Highlight = RGB(255, 255, 0);
  rich.Protected = true;
  TRtfParaFormat indented;
  indented.Alignment = TRtfAlignment::Justify;
  indented.FirstIndent = -144;
  indented.LeftIndent = 725;
  indented.RightIndent = 10;
  indented.TabStops = {333, 1440};
  TRtfParaFormat bullet;
  bullet.Bullets = true;
  bullet.Alignment = TRtfAlignment::Center;
  TRtfDocument d;
  d.Paragraphs = {{indented, {{"a\tb", plain}, {"rich \xE2\x80\xA8 text", rich}}},
                  {bullet, {{"one", plain}}},
                  {bullet, {{"two", rich}}},
                  {TRtfParaFormat{}, {}},
                  {TRtfParaFormat{}, {{"end", plain}}}};
  d.Paragraphs.back().Format.Alignment = TRtfAlignment::Right;
  for (int ppi : {96, 600}) {
    QTextDocument q;
    vantrel::qt::FillTextDocument(q, d, ppi);
    EXPECT_EQ(d, vantrel::qt::ReadTextDocument(q, ppi)) << ppi;
  }
}

}  // namespace

// A stretch of text with nowhere to break a line (a pasted log line, a hash,
// encoded data) breaks its lines where the text document breaks them, page
// by page, in edit positions: characters of two UTF-16 units, a combining
// accent and two formats inside the stretch stay whole, and every position
// maps both ways. (In a font without kerning: past the stretch's first
// thousand characters no letter kerns with the next, so in a font with
// kerning a line there may hold a letter more or fewer.)
TEST(RichTextLayout, ALongUnbrokenStretchBreaksItsLinesAsTheTextDocumentDoes) {
  // A letter of two UTF-16 units (a mathematical bold A) and e with a combining accent.
  const std::string wide = "\xF0\x9D\x90\x80", accent = "e\xCC\x81";
  std::string word;
  for (int i = 0; word.size() < 5000; ++i)
    word += i % 97 == 0 ? wide : i % 89 == 0 ? accent : std::string(1, char('a' + i % 26));
  size_t half = word.size() / 2;  // between two letters of one byte
  while (!std::islower((unsigned char)word[half]) || !std::islower((unsigned char)word[half + 1])) ++half;
  TRtfCharFormat plain = Arial(20), bold = Arial(20, {fsBold});
  plain.FontName = bold.FontName = "Courier New";
  const struct {
    const char* name;
    std::vector<TRtfRun> runs;
  } cases[] = {
      {"alone", {{word, plain}}},
      {"between words", {{"some words before it " + word + " and after it", plain}}},
      {"in two formats", {{"x " + word.substr(0, half + 1), plain}, {word.substr(half + 1) + " y", bold}}},
  };
  constexpr int kPpi = 96, kWidth = 300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRtfDocument memo;
    memo.Paragraphs.push_back({TRtfParaFormat{}, c.runs});
    memo.Paragraphs.push_back({TRtfParaFormat{}, {{"last", plain}}});
    // The first paragraph's line ends as the text document breaks them, in
    // edit positions (code points).
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(int(std::lround(kPpi / 0.0254)));
    device.setDotsPerMeterY(int(std::lround(kPpi / 0.0254)));
    QTextDocument reference;
    reference.documentLayout()->setPaintDevice(&device);
    reference.setDocumentMargin(0);
    reference.setTextWidth(kWidth);
    vantrel::qt::FillTextDocument(reference, memo, kPpi);
    const QTextLayout& lines = *reference.begin().layout();
    const QString text = reference.begin().text();
    std::vector<int> expected;
    for (int i = 0; i + 1 < lines.lineCount(); ++i) {
      const QTextLine line = lines.lineAt(i);
      expected.push_back(int(text.left(line.textStart() + line.textLength()).toUcs4().size()));
    }
    ASSERT_GT(expected.size(), 30u);
    // Laid out a line a page.
    TRichTextLayout layout(memo);
    auto page = Page(kPpi, 4, 2);
    const TRect oneLine{0, 0, kWidth, int(std::ceil(lines.lineAt(0).height()))};
    std::vector<int> printed;
    for (int first = 0; printed.size() < expected.size();) {
      const int next = layout.FormatRange(page->Canvas(), oneLine, first, -1, false);
      ASSERT_GT(next, first);
      printed.push_back(layout.EditPosition(next));
      first = next;
    }
    EXPECT_EQ(printed, expected);
    for (int at = 0; at <= layout.TextLength(); ++at) {
      const int edit = layout.EditPosition(at);
      ASSERT_EQ(layout.EditPosition(layout.LayoutPosition(edit)), edit) << at;
    }
  }
}

// A page whose first line is blank keeps it: an empty paragraph, and a
// paragraph's (or a bullet paragraph's) empty last line after a line break,
// each starting a page of two lines, stand above the page's second line as
// in the whole text.
TEST(RichTextLayout, APageStartingWithABlankLineKeepsIt) {
  const TRtfCharFormat plain = Arial(20);
  const std::string lineBreak = "\xE2\x80\xA8";
  // Lines: A, B | (empty paragraph), C | X, D | (D's empty last line), E |
  // F, bullet G | (G's empty last line), H
  TRtfDocument memo;
  for (const std::string& text : {std::string("A"), std::string("B"), std::string(), std::string("C"),
                                  std::string("X"), "D" + lineBreak, std::string("E"), std::string("F"),
                                  "G" + lineBreak, std::string("H")}) {
    TRtfParaFormat format;
    format.Bullets = text.starts_with("G");
    memo.Paragraphs.push_back({format, {{text, plain}}});
  }
  TRichTextLayout layout(memo);
  constexpr int kPpi = 96;
  auto probe = Page(kPpi, 4, 1);
  int line = 0;
  layout.FormatRange(probe->Canvas(), TRect{0, 0, 300, 300}, 0, 1, false, &line);
  ASSERT_GT(line, 0);
  const TRect twoLines{0, 0, 300, 2 * line};
  const std::vector<PageRange> pages = Paginate(layout, probe->Canvas(), twoLines, false);
  ASSERT_EQ(pages.size(), 6u);
  auto whole = Page(kPpi, 4, 2);
  layout.FormatRange(whole->Canvas(), TRect{0, 0, 300, 20 * line}, 0, -1, true);
  const QImage& all = vantrel::qt::BitmapImage(*whole);
  int top = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    auto alone = Page(kPpi, 4, 1);
    layout.FormatRange(alone->Canvas(), twoLines, pages[i].first, -1, true);
    const QImage drawn = vantrel::qt::BitmapImage(*alone).copy(0, 0, 300, pages[i].height);
    EXPECT_TRUE(drawn == all.copy(0, top, 300, pages[i].height)) << "page " << i;
    if (i % 2 == 1) {  // the pages that start blank: their first line holds no ink
      const TRect ink = InkBox(*alone, clBlack);
      EXPECT_GE(ink.Top, line) << "page " << i;
    }
    top += pages[i].height;
  }
}


// A bullet paragraph stands at its own indents: its text, first line and
// the lines below alike, where a plain paragraph indented as far puts its
// text (\li720\fi-360: half an inch), and its bullet in the hang before it.
// A bullet paragraph without indents keeps room for its bullet.
TEST(RichTextLayout, BulletsStandAtTheParagraphsIndents) {
  std::string text;
  for (int w = 0; w < 40; ++w) text += "word" + std::to_string(w) + " ";
  constexpr int kPpi = 96;
  const struct {
    int left, first;
    int textAt;  // twips where every line's text stands
  } cases[] = {{720, -360, 720}, {0, 0, 360}, {1440, -720, 1440}, {720, 0, 1080}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "/" + std::to_string(c.first));
    TRtfParaFormat bullet, plain;
    bullet.Bullets = true;
    bullet.LeftIndent = c.left;
    bullet.FirstIndent = c.first;
    plain.LeftIndent = c.textAt;
    auto draw = [&](const TRtfParaFormat& format) {
      TRtfDocument memo;
      memo.Paragraphs.push_back({format, {{text, Arial(20)}}});
      TRichTextLayout layout(memo);
      auto page = Page(kPpi, 4, 2);
      layout.FormatRange(page->Canvas(), TRect{0, 0, page->Width(), page->Height()}, 0, -1, true);
      return page;
    };
    const auto withBullet = draw(bullet), alone = draw(plain);
    const int textAt = c.textAt * kPpi / 1440;
    const QImage a = vantrel::qt::BitmapImage(*withBullet), b = vantrel::qt::BitmapImage(*alone);
    const int width = a.width() - textAt;
    EXPECT_TRUE(a.copy(textAt - 1, 0, width, a.height()) == b.copy(textAt - 1, 0, width, b.height()))
        << "the text stands as the plain paragraph's";
    const TRect ink = InkBox(*withBullet, clBlack);
    EXPECT_LT(ink.Left, textAt - 2) << "a bullet before the text";
    EXPECT_GE(ink.Left, (c.left + c.first) * kPpi / 1440) << "not left of the first line's indent";
  }
}
