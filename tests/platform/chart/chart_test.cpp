#include "platform/chart/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/surface.h"
#include "platform/classlib/printers/printers.h"

namespace {

using testing_support::CountPixels;

constexpr TColor kNavy = 0x000080, kTeal = 0x808000, kGrey = 0x808080;

// A chart on an owner, as the statistics window holds one.
struct ChartFixture : testing::Test {
  TComponent owner{nullptr};
  TChart* chart = new TChart(&owner);
  TPieSeries* pie = new TPieSeries(&owner);
  TBarSeries* fixed = new TBarSeries(&owner);
  TBarSeries* verified = new TBarSeries(&owner);

  ChartFixture() {
    chart->SetBounds(0, 0, 400, 260);
    for (TChartSeries* s : std::initializer_list<TChartSeries*>{pie, fixed, verified}) chart->AddSeries(s);
    fixed->SetTitle("Reported Date To Fixed Date");
    verified->SetTitle("Fixed Date To Verified Date");
  }

  void ShowPie() {
    fixed->SetActive(false);
    verified->SetActive(false);
  }

  std::vector<std::string> TextsDrawn() {
    TRecordingCanvas canvas(400, 260);
    chart->Draw(&canvas, TRect{0, 0, 400, 260});
    std::vector<std::string> texts;
    static const std::regex kTextOut(R"re(TextOut\((-?\d+),(-?\d+),"(.*)"\))re");
    for (const std::string& command : canvas.Commands()) {
      std::smatch m;
      if (std::regex_match(command, m, kTextOut)) texts.push_back(m[3]);
    }
    return texts;
  }
};

TEST_F(ChartFixture, PieSlicesCoverAreasInProportionToTheirValues) {
  ShowPie();
  chart->Legend()->SetVisible(false);
  pie->Marks()->SetVisible(false);
  pie->Add(1, "Fixed", kNavy);
  pie->Add(3, "New", kTeal);
  auto bitmap = chart->CreateBitmap();
  const double navy = CountPixels(*bitmap, kNavy), teal = CountPixels(*bitmap, kTeal);
  ASSERT_GT(navy, 1000);
  EXPECT_NEAR(3.0, teal / navy, 0.1);
}

TEST_F(ChartFixture, MarksAndLegendShowTheSliceLabelsAndTheTitle) {
  ShowPie();
  chart->Title()->Text()->SetText("Bug Reports by Status");
  pie->Add(5, "Fixed", kNavy);
  pie->Add(2, "Not Assigned", kGrey);
  pie->Add(0, "Deferred", clYellow);  // a zero slice gets no mark
  const std::vector<std::string> texts = TextsDrawn();
  auto count = [&](const std::string& t) { return std::count(texts.begin(), texts.end(), t); };
  EXPECT_EQ(1, count("Bug Reports by Status"));
  EXPECT_EQ(2, count("Fixed"));  // legend and mark
  EXPECT_EQ(2, count("Not Assigned"));
  EXPECT_EQ(1, count("Deferred"));  // legend only
}

TEST_F(ChartFixture, BarLabelsThatWouldCollideAreLeftOut) {
  pie->SetActive(false);
  chart->LeftAxis()->Title()->Text()->SetText("Days");
  for (int i = 1; i <= 120; ++i) {
    fixed->Add(i % 7, std::to_string(1000 + i), kTeal);
    verified->Add(3, std::to_string(1000 + i), kGrey);
  }
  const std::vector<std::string> texts = TextsDrawn();
  const auto labels = std::count_if(texts.begin(), texts.end(), [](const std::string& t) {
    return t.size() == 4 && t[0] == '1';
  });
  EXPECT_GT(labels, 3);
  EXPECT_LT(labels, 120);  // 120 labels cannot stand side by side in 400 pixels
  EXPECT_EQ(1, std::count(texts.begin(), texts.end(), "Days"));
  EXPECT_EQ(1, std::count(texts.begin(), texts.end(), "Fixed Date To Verified Date"));
}

TEST_F(ChartFixture, GradientBarsLightenUpwardsAndPlainBarsKeepTheirColour) {
  pie->SetActive(false);
  chart->Legend()->SetVisible(false);
  fixed->SetGradient(true);
  for (int i = 0; i < 6; ++i) {
    fixed->Add(5, "", kTeal);
    verified->Add(5, "", kGrey);
  }
  auto bitmap = chart->CreateBitmap();
  const TRect plain = testing_support::InkBox(*bitmap, kGrey);  // the first plain bar's inside
  ASSERT_GT(plain.Height(), 50);
  EXPECT_GT(CountPixels(*bitmap, kGrey), 6 * plain.Height());
  // The gradient bar stands left of it, as tall: darkest at the foot, near white on top.
  auto brightness = [&](int y) {
    const TColor c = bitmap->Canvas()->Pixels(plain.Left - 4, y);
    return GetRValue(c) + GetGValue(c) + GetBValue(c);
  };
  const int foot = brightness(plain.Bottom - 2), middle = brightness(plain.Top + plain.Height() / 2),
            top = brightness(plain.Top + 1);
  EXPECT_LT(std::abs(foot - (0x80 + 0x80)), 12);  // teal: 0x80 green, 0x80 blue
  EXPECT_LT(foot, middle);
  EXPECT_LT(middle, top);
  EXPECT_GT(top, 3 * 200);
}

TEST_F(ChartFixture, MoreValuesThanPixelColumnsShowTheTallestOfEachColumn) {
  pie->SetActive(false);
  verified->SetActive(false);
  chart->Legend()->SetVisible(false);
  constexpr int kValues = 5000, kTall = 2500;
  for (int i = 0; i < kValues; ++i) fixed->Add(i == kTall ? 10 : 1, std::to_string(i), kTeal);
  auto bitmap = chart->CreateBitmap();
  const TRect ink = testing_support::InkBox(*bitmap, kTeal);
  ASSERT_GT(ink.Width(), 300) << "every column holds a bar";
  // The one tall value stands alone above the rest, in the middle.
  std::vector<int> tall;
  for (int x = ink.Left; x < ink.Right; ++x)
    if (bitmap->Canvas()->Pixels(x, ink.Top) == kTeal) tall.push_back(x);
  ASSERT_EQ(tall.size(), 1u);
  EXPECT_NEAR(tall[0], ink.Left + ink.Width() / 2, 2);
  EXPECT_EQ(bitmap->Canvas()->Pixels(tall[0], ink.Top + ink.Height() / 2), kTeal);
}

TEST_F(ChartFixture, BitmapAndSvgFilesHoldTheChartAsDrawn) {
  ShowPie();
  pie->Add(1, "Verified", kNavy);
  pie->Add(1, "Not Verified", kGrey);
  TempDir dir;
  chart->SaveToBitmapFile(dir / "chart.bmp");
  TBitmap saved;
  saved.LoadFromFile(dir / "chart.bmp");
  auto drawn = chart->CreateBitmap();
  ASSERT_EQ(400, saved.Width());
  EXPECT_EQ(CountPixels(*drawn, kNavy), CountPixels(saved, kNavy));

  chart->SaveToSvgFile(dir / "chart.svg");
  TPicture picture;
  picture.LoadFromFile(dir / "chart.svg");
  auto rendered = testing_support::Surface(400, 260);
  rendered->Canvas()->Draw(0, 0, picture.Graphic());
  const double navy = CountPixels(*rendered, kNavy);
  EXPECT_NEAR(1.0, navy / CountPixels(*drawn, kNavy), 0.15);  // antialiased edges differ
}

TEST_F(ChartFixture, CopyPutsTheChartOnTheClipboardAsABitmap) {
  ShowPie();
  pie->Add(1, "Fixed", kNavy);
  chart->CopyToClipboardBitmap();
  ASSERT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TBitmap pasted;
  Clipboard()->GetPicture(&pasted);
  EXPECT_EQ(CountPixels(*chart->CreateBitmap(), kNavy), CountPixels(pasted, kNavy));
}

TEST_F(ChartFixture, AChartOnAFormPaintsWhatItDraws) {
  ShowPie();
  pie->Add(2, "Fixed", kNavy);
  Application->Initialize();
  TForm form(nullptr);
  form.SetBounds(0, 0, 420, 280);
  chart->SetParent(&form);
  form.Show();
  pie->Add(1, "Not Fixed", kGrey);
  auto painted = testing_support::Surface(chart->Width(), chart->Height(), clFuchsia);
  chart->PaintTo(painted->Canvas(), 0, 0);
  auto drawn = chart->CreateBitmap();
  EXPECT_EQ(0, CountPixels(*painted, clFuchsia));
  EXPECT_EQ(CountPixels(*drawn, kNavy), CountPixels(*painted, kNavy));
  EXPECT_EQ(CountPixels(*drawn, kGrey), CountPixels(*painted, kGrey));
  chart->SetParent(nullptr);
}

TEST(ChartLifetime, SeriesAndChartMayGoInEitherOrder) {
  {
    auto chart = std::make_unique<TChart>(nullptr);
    auto series = std::make_unique<TBarSeries>(nullptr);
    chart->AddSeries(series.get());
    series.reset();
    EXPECT_EQ(0, chart->SeriesCount());
  }
  auto series = std::make_unique<TPieSeries>(nullptr);
  {
    TChart chart(nullptr);
    series->SetParentChart(&chart);
    EXPECT_EQ(series.get(), chart.Series(0));
  }
  EXPECT_EQ(nullptr, series->ParentChart());
  series->Add(1, "after");  // no chart to tell
  EXPECT_THROW(series->Values(1), EListError);
}

TEST_F(ChartFixture, PrintingFillsOneLandscapePageAndKeepsTheOrientation) {
  ShowPie();
  pie->Add(1, "Fixed", kNavy);
  pie->Add(1, "Not Fixed", kGrey);
  TPrinter printer;
  TPrinter* previous = SetPrinter(&printer);
  auto device = std::make_unique<TRecordingPrinter>("Test printer", 150);
  device->SetPapers({{DMPAPER_LETTER, "Letter", StandardPaperSize(DMPAPER_LETTER)}});
  TRecordingPrinter* recorder = device.get();
  printer.SetPrinterIndex(printer.AddPrinter(std::move(device)));
  printer.SetOrientation(poPortrait);
  chart->Print();
  SetPrinter(previous);
  ASSERT_EQ(1u, recorder->Pages().size());
  TBitmap& page = *recorder->Pages()[0];
  EXPECT_GT(page.Width(), page.Height());
  EXPECT_EQ(poPortrait, printer.Orientation());
  // At about four times the screen's size, the slices have about sixteen times the pixels.
  const double ratio = double(CountPixels(page, kNavy)) / CountPixels(*chart->CreateBitmap(), kNavy);
  EXPECT_GT(ratio, 6);
  EXPECT_EQ(CountPixels(page, kNavy) > 0, CountPixels(page, kGrey) > 0);
}

TEST_F(ChartFixture, PrintedToThePdfPrinterTheChartReadsBackAsOnePageOfText) {
  ShowPie();
  chart->Title()->Text()->SetText("Bug Reports by Status");
  pie->Add(3, "Fixed", kNavy);
  pie->Add(1, "Not Assigned", kGrey);
  TempDir dir;
  TPrinter printer;
  TPrinter* previous = SetPrinter(&printer);
  printer.SetPrinterIndex(printer.Printers()->IndexOf("PDF"));
  printer.SetFileName(dir / "chart.pdf");
  chart->Print();
  SetPrinter(previous);
  const std::string txt = dir / "chart.txt";
  ASSERT_EQ(0, std::system(("pdftotext -layout '" + dir / "chart.pdf" + "' '" + txt + "'").c_str()));
  std::stringstream read;
  read << std::ifstream(txt).rdbuf();
  const std::string text = read.str();
  for (const char* expected : {"Bug Reports by Status", "Fixed", "Not Assigned"})
    EXPECT_NE(std::string::npos, text.find(expected)) << expected;
  EXPECT_EQ(1, std::count(text.begin(), text.end(), '\f'));  // one page
}

}  // namespace
