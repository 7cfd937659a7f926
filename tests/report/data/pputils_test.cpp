#include "report/data/pputils.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/formatsettings.h"
#include "report/data/ppdevcanvas.h"

namespace {

// Conversions use a fixed screen so results do not depend on a display.
class ReportUtils : public ::testing::Test {
 protected:
  void SetUp() override { ppSetScreenPixelsPerInch(96); }
  void TearDown() override { ppSetScreenPixelsPerInch(0); }
};

TEST_F(ReportUtils, ConversionsFromThousandths) {
  struct Case { int32_t value; TppUnitType units; int dpi; float expected; };
  const Case cases[] = {
      {25400, utInches, 0, 1.0f},        {25400, utScreenPixels, 0, 96},
      {25400, utPrinterPixels, 600, 600}, {25400, utPrinterPixels, 0, 96},  // no printer: screen
      {1500, utMillimeters, 0, 1.5f},     {-7, utMMThousandths, 0, -7},
      // 0.5 pixel exactly is not reachable; 66146 at 96 dpi is 249.9993 -> 250
      {66146, utScreenPixels, 0, 250},
      {12700, utInches, 0, 0.5f},         {25400, TppUnitType(9), 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(ppFromMMThousandths(c.value, c.units, c.dpi), c.expected)
        << c.value << " units " << int(c.units);
}

TEST_F(ReportUtils, ConversionsToThousandthsRoundHalfToEvenAndClamp) {
  struct Case { float value; TppUnitType units; int dpi; int32_t expected; };
  const Case cases[] = {
      {1.0f, utInches, 0, 25400},         {96, utScreenPixels, 0, 25400},
      {600, utPrinterPixels, 600, 25400}, {0.0025f, utMillimeters, 0, 2},  // 2.5 -> 2
      {0.0035f, utMillimeters, 0, 4},     // 3.5 -> 4
      {-0.0025f, utMillimeters, 0, -2},   {12.9f, utMMThousandths, 0, 12},
      {-12.9f, utMMThousandths, 0, -12},  {1e12f, utMillimeters, 0, INT32_MAX},
      {-1e12f, utInches, 0, INT32_MIN},   {1.0f, TppUnitType(7), 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ppToMMThousandths(c.value, c.units, c.dpi), c.expected)
        << c.value << " units " << int(c.units);
  EXPECT_EQ(ppReadCoordinate(1234.5), 1234);
  EXPECT_EQ(ppReadCoordinate(1235.5), 1236);
  EXPECT_EQ(ppReadCoordinate(1e300), INT32_MAX);
  EXPECT_EQ(ppToScreenPixels(1.0f, utInches), 95);  // 95.9999: truncated
  EXPECT_FLOAT_EQ(ppFromScreenPixels(96, utInches), 1.0f);
  EXPECT_FLOAT_EQ(ppFromTenthsOfMM(254, utMillimeters), 25);
  EXPECT_EQ(ppToTenthsOfMM(25.4f, utMillimeters), 254);
  EXPECT_EQ(ppToTenthsOfMM(25400, utMMThousandths), 254);
  EXPECT_EQ(ppToTenthsOfMM(1.0f, utInches), 254);
}

TEST_F(ReportUtils, PageDefinitionDerivesPrintableAreaWithoutOverflow) {
  TppPageDef a;
  a.SetmmWidth(215900);
  a.SetmmHeight(279401);
  a.SetmmMarginLeft(6350);
  a.SetmmMarginRight(6350);
  a.SetmmMarginTop(6350);
  a.SetmmMarginBottom(6350);
  EXPECT_EQ(a.mmPrintableWidth(), 203200);
  EXPECT_EQ(a.mmPrintableHeight(), 266701);
  EXPECT_EQ(a.PrintableRect(), (TRect{6350, 6350, 209550, 273051}));
  EXPECT_EQ(a.PrintableWidthPixels(), 767);
  TppPageDef b;
  b.Assign(&a);
  EXPECT_TRUE(a == b);
  b.SetmmMarginTop(0);
  EXPECT_FALSE(a == b);
  b.SetmmWidth(INT32_MIN);
  b.SetmmMarginLeft(INT32_MAX);
  EXPECT_EQ(b.mmPrintableWidth(), int64_t{INT32_MIN} - INT32_MAX - 6350);
}

TEST_F(ReportUtils, PageRanges) {
  struct Case { const char* text; std::vector<int> pages; };
  const Case cases[] = {
      {"1,3,5-12", {1, 3, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"5-3", {3, 5}},
      {"1-3,2", {1, 2, 3}},
      {"", {}},
      {"1-3-5", {1, 2, 3, 5}},
      {"7 , - 9", {7, 8, 9}},  // the "-" may follow after any characters
      {"-4", {4}},             // nothing to extend
      {"12345678", {12345678}},
      {"123456789", {}},       // over 8 digits
      {"00000000000000000000000001", {}},
      {"1-2000000000", {}},
      {"1-100000", {}},        // 100,000 pages
  };
  for (const Case& c : cases) EXPECT_EQ(ppParsePageRange(c.text), c.pages) << c.text;
  EXPECT_EQ(ppParsePageRange("1-99999").size(), 99999u);
  EXPECT_EQ(ppParsePageRange("1-99999,99998-99999,5").size(), 99999u);
  EXPECT_TRUE(ppParsePageRange("1-60000,60001-100000").empty());  // the whole list counts
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "1-99999,";
  EXPECT_EQ(ppParsePageRange(many).size(), 99999u);

  // A print dialog's list keeps what it can and cuts the rest at the longest list.
  const std::pair<const char*, std::vector<int>> clipped[] = {
      {"1-3", {1, 2, 3}}, {"2000000000", {99999}}, {"99998-2000000000", {99998, 99999}},
      {"x", {}}};
  for (const auto& [text, pages] : clipped) EXPECT_EQ(ppParsePageRangeClipped(text), pages) << text;
  EXPECT_EQ(ppParsePageRangeClipped("1-2000000000").size(), 99999u);

  TStringList list;
  list.Add("stale");
  ppTextToPageList("10,9", &list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], "9");
  EXPECT_EQ(list[1], "10");
}

TEST_F(ReportUtils, MacrosAndLanguageBases) {
  const int english = ppLanguageBase(lgEnglish);
  EXPECT_EQ(ppSetMacros(ppLoadStr(english + 28)),
            "Printing page %s of %s for report %s on the %s");
  EXPECT_EQ(ppSetMacros("<columnno>/<filename>/<Page>"), "%s/%s/<Page>");

  struct Case { int language; int base; };
  const Case bases[] = {{lgCustom, 43500}, {lgDanish, 48000}, {lgDutch, 46500},
                        {lgEnglish, 43000}, {lgFrench, 46000}, {lgGerman, 45000},
                        {lgItalian, 45500}, {lgPortugueseBrazil, 44500},
                        {lgPortuguese, 44000}, {lgSpanish, 47000}, {lgSwedish, 47500},
                        {lgNorwegian, 48500}, {lgThai, 49000}, {200, 43000}, {13, 43000},
                        {128 + lgGerman, 45000}};
  for (const Case& c : bases) EXPECT_EQ(ppLanguageBase(c.language), c.base) << c.language;

  EXPECT_EQ(ppLoadStr(43500 + 4), "XCalculating page <page> for report <documentname>");
  EXPECT_EQ(ppLoadStr(45000 + 4), "Berechne Seite <page> f\xC3\xBCr Report <documentname>");
  EXPECT_EQ(ppLoadStr(46000 + 275), "Band height cannot exceed page height.");
  EXPECT_EQ(ppLoadStr(49000 + 378), "No pages entered.");
  EXPECT_EQ(ppLoadStr(43000 + 284), "Not enough disk space to print report.");
  EXPECT_EQ(ppLoadStr(43000 + 35), "");     // between the two ranges of offsets
  EXPECT_EQ(ppLoadStr(43000 + 420), "");
  EXPECT_EQ(ppLoadStr(42000), "");
}

TEST_F(ReportUtils, CalcTexts) {
  TTestClock clock(EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 0, 0));
  TppCalcValues page{true, 3, 10, EncodeDate(2023, 1, 2)};
  const int base = ppLanguageBase(lgEnglish);
  EXPECT_EQ(ppCalcText(ctPageSetDesc, page, base), "Page 3 of 10");
  EXPECT_EQ(ppCalcText(ctPageSet, page, base), "3 of 10");
  EXPECT_EQ(ppCalcText(ctPageNoDesc, page, base), "Page 3");
  EXPECT_EQ(ppCalcText(ctPageCount, page, base), "10");
  EXPECT_EQ(ppCalcText(ctPrintDateTime, page, base), DateTimeToStr(EncodeDate(2023, 1, 2)));
  EXPECT_EQ(ppCalcText(ctCustom, page, base), "");
  EXPECT_EQ(ppCalcText(ctDate, page, base), DateToStr(EncodeDate(2024, 2, 29)));
  EXPECT_EQ(ppCalcText(ctTime, page, base), TimeToStr(EncodeTime(13, 5, 0, 0)));
  const TppCalcValues design;  // design time: 1 of 1, printed now
  EXPECT_EQ(ppCalcText(ctPageSetDesc, design, base), "Page 1 of 1");
  EXPECT_EQ(ppCalcText(ctPrintDateTime, design, base), DateTimeToStr(Now()));
  EXPECT_EQ(ppCalcText(ctPageNoDesc, page, ppLanguageBase(lgCustom)), "XPage 3");
}

TEST_F(ReportUtils, DisplayFormatting) {
  const TDateTime when = EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 0, 0);
  struct Case { const char* format; TppDataType type; Variant value; std::string text; };
  const Case cases[] = {
      {"", dtDate, Variant(when), DateToStr(when)},
      {"yyyy-mm-dd", dtDate, Variant(when), "2024-02-29"},
      {"", dtTime, Variant(when), TimeToStr(when)},
      {"", dtDateTime, Variant(when), FormatDateTime("c", when)},
      {"", dtDouble, Variant(1.0 / 3), "0.333333333333333"},
      {"#,##0.00", dtInteger, Variant(1234567), "1,234,567.00"},
      {"000-0000;0;_", dtString, Variant(std::string("5551234")), "555-1234"},
      {"", dtString, Variant(std::string("plain")), "plain"},
      {"", dtLongint, Variant(5), ""},  // types without a format rule show nothing
      {"", dtBoolean, Variant(true), ""},
      {"", dtDate, Variant(std::string("no date")), ""},  // bad value: empty, no stop
  };
  for (const Case& c : cases) EXPECT_EQ(ppFormat(c.format, c.type, c.value), c.text) << c.format;
  EXPECT_EQ(ppFormat("", dtString, Null), "");
}

TEST_F(ReportUtils, TabStopsInUnits) {
  const char saved = FormatSettings.DecimalSeparator;
  FormatSettings.DecimalSeparator = ',';
  TStringList stored, presented, back;
  for (const char* s : {"25400", "12700.4", "junk", "6350"}) stored.Add(s);
  ppTabStopsToUnits(stored, utInches, 0, &presented);
  ASSERT_EQ(presented.Count(), 3);
  EXPECT_EQ(presented[0], "1");
  EXPECT_EQ(presented[1], "0,5");  // "." read as the separator; shown in the user's way
  ppTabStopsFromUnits(presented, utInches, 0, &back);
  EXPECT_EQ(back[1], "12700");
  EXPECT_EQ(ppTabStopValues(stored), (std::vector<int32_t>{25400, 12700, 6350}));
  FormatSettings.DecimalSeparator = saved;
}

TEST_F(ReportUtils, UniqueNamesTakeTheSmallestFreeNumber) {
  TComponent owner(nullptr);
  owner.SetName("Report1");
  for (const char* name : {"Report1Label1", "Report1Label3", "Report1Labelx", "Report1Label0",
                           "Report1Label99999999999"}) {
    auto* c = new TComponent(&owner);
    c->SetName(name);
  }
  EXPECT_EQ(ppDefaultNamePrefix(&owner, TppPageDef::StaticClass()), "Report1PageDef");
  EXPECT_EQ(ppGetUniqueName(&owner, "Report1Label", TComponent::StaticClass()), "Report1Label2");
  EXPECT_EQ(ppGetUniqueName(&owner, "Report1Label", TppPageDef::StaticClass()), "Report1Label1");
  EXPECT_EQ(ppGetUniqueName(nullptr, "Band", nullptr), "Band1");
}

TEST_F(ReportUtils, FontSubstitutionAndHelpers) {
  EXPECT_EQ(ppPrinterFontName("Courier"), "Courier New");
  EXPECT_EQ(ppPrinterFontName("MS Sans Serif"), "Arial");
  EXPECT_EQ(ppPrinterFontName("Terminal"), "Arial");
  EXPECT_EQ(ppPrinterFontName("courier"), "courier");
  EXPECT_EQ(ppExtractPath("C:\\dir\\file.rtm"), "C:\\dir\\");
  EXPECT_EQ(ppExtractPath("file.rtm"), "");
  EXPECT_EQ(ppRemoveChar("&File&", '&'), "File");
  EXPECT_DOUBLE_EQ(ppAspectScale(200, 100, 100, 100), 0.5);
  EXPECT_DOUBLE_EQ(ppAspectScale(200, 100, 0, 100), 0);
}

// Wraps at 96 dpi in a monospaced font. A word's trailing blank counts in the
// line's extent, so a line of n characters needs room for n + 1.
class ReportWrap : public ReportUtils {
 protected:
  ReportWrap() {
    font.SetName("Liberation Mono");
    font.SetSize(10);
  }
  TppWrapResult Wrap(const std::string& text, int chars, int startPos = 0,
                     int heightLines = 0, int64_t startByte = -1) {
    const int widthPx = CharWidth() * chars + CharWidth() / 2;
    TppWrapRequest r;
    r.Text = text;
    r.Font = &font;
    r.Dpi = 96;
    r.StartPos = startPos;
    r.StartByte = startByte;
    r.Rect = {0, 0, ppToMMThousandths(float(widthPx), utScreenPixels), 0};
    if (heightLines > 0) {
      TppDeviceCompatibleCanvas measure(8, 8, nullptr, 96);
      measure.Canvas()->Font()->Assign(&font);
      const int lineHeight = measure.Canvas()->TextMetrics().Height;
      r.Rect.Bottom = ppToMMThousandths(float(lineHeight * heightLines), utScreenPixels) + 1;
      r.LimitLines = true;
    }
    return ppWordWrap(r);
  }
  int CharWidth() {
    TppDeviceCompatibleCanvas measure(8, 8, nullptr, 96);
    measure.Canvas()->Font()->Assign(&font);
    return measure.Canvas()->TextWidth("x");
  }
  TFont font;
};

TEST_F(ReportWrap, WrapsWordsBreaksAndKeepsLongWordsWhole) {
  ASSERT_GT(CharWidth(), 0);
  using Lines = std::vector<std::string>;
  struct Case { const char* text; int chars; Lines lines; };
  const Case cases[] = {
      {"aaa bbb ccc", 8, {"aaa bbb", "ccc"}},
      {"supercalifragilistic is long", 8, {"supercalifragilistic", "is long"}},
      {"one\ntwo\r\n\nthree", 20, {"one", "two", "", "three"}},
      {"   lead  trail   ", 20, {"lead  trail"}},
      {"t\tab", 20, {"tab"}},
      {"\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9", 5,
       {"\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Wrap(c.text, c.chars).Lines, c.lines) << c.text;
}

TEST_F(ReportWrap, LineLimitStopsAtThePendingWordInCodePoints) {
  // "é" is two bytes; positions count characters.
  const std::string text = "\xC3\xA9\xC3\xA9 bb cc dd";
  TppWrapResult first = Wrap(text, 6, 0, 2);
  EXPECT_EQ(first.Lines, (std::vector<std::string>{"\xC3\xA9\xC3\xA9 bb", "cc dd"}));
  EXPECT_EQ(first.EndPos, 11);
  TppWrapResult cut = Wrap(text, 3, 0, 2);
  EXPECT_EQ(cut.Lines, (std::vector<std::string>{"\xC3\xA9\xC3\xA9", "bb"}));
  EXPECT_EQ(cut.EndPos, 6);
  EXPECT_GT(cut.LineHeight, 0);
  TppWrapResult rest = Wrap(text, 3, cut.EndPos, 2);
  EXPECT_EQ(rest.Lines, (std::vector<std::string>{"cc", "dd"}));
  EXPECT_EQ(rest.EndPos, 11);
  int pos = 3;
  EXPECT_EQ(ppGetWord(text, pos), "bb ");
  EXPECT_EQ(pos, 6);
}

// A page going on from where the last one stopped starts at the byte that
// wrap gave, not counting the characters before it again: a long memo's page
// costs what it holds. A byte beyond the text is not trusted.
TEST_F(ReportWrap, APageGoesOnFromTheByteTheLastOneEndedAt) {
  // Characters: 0 "\u00e9", 1 "\u00e9", 2 " ", 3 "b", ... 11 in 13 bytes.
  const std::string text = "\xC3\xA9\xC3\xA9 bb cc dd";
  using Lines = std::vector<std::string>;
  const struct {
    int startPos;
    int64_t startByte;
    Lines lines;
    int endPos;
    int64_t endByte;
  } cases[] = {
      {0, -1, {"\xC3\xA9\xC3\xA9", "bb"}, 6, 8},
      {6, 8, {"cc", "dd"}, 11, 13},
      {6, -1, {"cc", "dd"}, 11, 13},           // counted
      {3, 8, {"cc", "dd"}, 8, 13},            // the byte given is where it starts
      {6, 99, {"cc", "dd"}, 11, 13},          // beyond the text: counted
      {11, 13, {}, 11, 13},
      {40, -1, {}, 11, 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.startPos) + " at byte " + std::to_string(c.startByte));
    const TppWrapResult result = Wrap(text, 3, c.startPos, 2, c.startByte);
    EXPECT_EQ(result.Lines, c.lines);
    EXPECT_EQ(result.EndPos, c.endPos);
    EXPECT_EQ(result.EndByte, c.endByte);
  }
}

TEST_F(ReportUtils, DeviceCompatibleCanvasMeasuresAtTheDeviceResolution) {
  TBitmap target;
  target.SetSize(40, 40);
  TppDeviceCompatibleCanvas low(20, 10, target.Canvas(), 96);
  TppDeviceCompatibleCanvas high(20, 10, nullptr, 600);
  low.Canvas()->Font()->SetSize(10);
  high.Canvas()->Font()->SetSize(10);
  EXPECT_EQ(high.Canvas()->Font()->PixelsPerInch(), 600);
  EXPECT_NEAR(double(high.Canvas()->TextWidth("Measure")) / low.Canvas()->TextWidth("Measure"),
              600.0 / 96, 0.5);
  EXPECT_EQ(low.Canvas()->Pixels(5, 5), clWhite);  // filled white at creation
  target.Canvas()->Brush()->SetColor(clBlack);
  target.Canvas()->FillRect({0, 0, 40, 40});
  low.RenderToDevice({0, 0, 20, 10}, SRCCOPY);
  EXPECT_EQ(target.Canvas()->Pixels(3, 3), clWhite);
  EXPECT_EQ(target.Canvas()->Pixels(30, 30), clBlack);
  EXPECT_EQ(target.Canvas()->CopyMode(), SRCCOPY);
  EXPECT_THROW(high.RenderToDevice({0, 0, 1, 1}, SRCCOPY), EInvalidOperation);
}

}  // namespace
