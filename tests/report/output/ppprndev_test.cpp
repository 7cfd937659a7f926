#include "report/output/ppprndev.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/classlib/graphics/images.h"
#include "platform/classlib/richedit/richlayout.h"
#include "report/components/pprichtx.h"
#include "report/output/ppforms.h"
#include "report/output/virtual_printers.h"

namespace {

constexpr int32_t kInch = 25400;  // thousandths of a mm; 600 pixels at 600 dpi

// Pages made by a test, published on request to a printer device that
// prints on a 600-dpi recording printer.
class ReportPrinterDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    setup.SetPrinterName("Virtual 600");
    setup.SetDocumentName("Defects");
    publisher.OnPageRequest = [this](TObject*, TppPageRequestType, TStrings*, int) {
      for (int p = 1; p <= int(pages.size()); ++p) {
        TppPage page;
        page.SetPrinterSetup(&setup);
        page.AbsolutePageNo = page.PageNo = p;
        page.AbsolutePageCount = int(pages.size());
        page.FirstPage = p == 1;
        page.LastPage = p == int(pages.size());
        page.FinalPage = !firstPass;
        page.FirstPassPage = firstPass;
        page.PassSetting = psTwoPass;
        page.DocumentName = "Defects";
        pages[size_t(p - 1)](page);
        publisher.ReceivePage(&page);
        if (publisher.RequestMet()) break;
      }
    };
  }
  // Prints the pages with the device's request; the recording printer keeps them.
  void Print(TppPageRequestType kind = prAll, std::vector<int> list = {}) {
    device.Printer()->SetPrinterSetup(setup);
    device.SetPublisher(&publisher);
    device.ResetPageRequest();
    device.PageRequest = kind;
    for (int p : list) device.PageList.Add(ppPageKey(p));
    device.RequestPages();
  }
  const TBitmap& Printed(size_t page) const { return *printers[0].Pages().at(page); }
  bool Black(size_t page, int x, int y) const {
    return const_cast<TBitmap&>(Printed(page)).Canvas()->Pixels(x, y) == clBlack;
  }
  // A black filled box, one inch square, `across` inches from the left.
  static void Box(TppPage& page, int across, TShapeType shape = stRectangle) {
    auto* box = new TppDrawShape;
    box->Shape = shape;
    box->Brush()->SetColor(clBlack);
    box->Left = across * kInch;
    box->Top = kInch;
    box->Width = box->Height = kInch;
    box->XCornerRound = box->YCornerRound = kInch / 4;
    box->SetPage(&page);
  }

  testing_support::TVirtualPrinters printers{{{"Virtual 600", 600}}};
  TppPrinterSetup setup;
  TppPublisher publisher;
  TppPrinterDevice device;
  std::vector<std::function<void(TppPage&)>> pages;
  bool firstPass = false;
};

TEST_F(ReportPrinterDevice, StrokesAndDoubleLines) {
  struct Case {
    TppLinePositionType position;
    int penWidth;
    TppLineStyleType style;
    std::vector<int> blackRows;  // along x = 900 (lines across) or y = 900 (lines down)
  };
  const std::vector<int> top6 = {600, 601, 602, 603, 604, 605};
  const Case cases[] = {
      {lpTop, 0, lsSingle, {600}},
      {lpTop, 1, lsSingle, top6},
      {lpTop, 1, lsDouble, {600, 601, 602, 603, 604, 605, 612, 613, 614, 615, 616, 617}},
      {lpTop, 0, lsDouble, {600, 612}},  // a gap of two screen pixels
      {lpBottom, 1, lsSingle, {1195, 1196, 1197, 1198, 1199, 1200}},
      {lpLeft, 1, lsSingle, top6},
      {lpRight, 2, lsSingle, {1189, 1190, 1191, 1192, 1193, 1194, 1195, 1196, 1197, 1198, 1199,
                              1200}},
  };
  for (const Case& c : cases) {
    pages = {[&](TppPage& page) {
      auto* line = new TppDrawLine;
      line->Position = c.position;
      line->Style = c.style;
      line->Pen()->SetWidth(c.penWidth);
      line->Left = line->Top = kInch;
      line->Width = line->Height = kInch;
      line->SetPage(&page);
    }};
    Print();
    ASSERT_EQ(printers[0].Pages().size(), 1u);
    const bool across = c.position == lpTop || c.position == lpBottom;
    std::vector<int> black;
    for (int i = 500; i < 1300; ++i)
      if (across ? Black(0, 900, i) : Black(0, i, 900)) black.push_back(i);
    EXPECT_EQ(black, c.blackRows) << c.position << " " << c.penWidth << " " << c.style;
  }
}

TEST_F(ReportPrinterDevice, ShapesOfTheComponentOnlyAreDrawn) {
  pages = {[](TppPage& page) {
    for (int shape = 0; shape <= 5; ++shape) Box(page, shape + 1, TShapeType(shape));
  }};
  Print();
  const bool expected[] = {true, false, true, false, true, false};
  for (int shape = 0; shape <= 5; ++shape) {
    const int left = (shape + 1) * 600;
    EXPECT_EQ(Black(0, left + 300, 900), expected[shape]) << shape;
    // Rounded corners and the ellipse leave the box's corner white.
    EXPECT_EQ(Black(0, left + 2, 602), shape == 0) << shape;
  }
}

TEST_F(ReportPrinterDevice, AutoSizeLabelsGrowToALineAndKeepTheirAnchor) {
  struct Case {
    TAlignment alignment;
    std::vector<int> blackAt, whiteAt;  // x along y = 610
  };
  const Case cases[] = {{taLeftJustify, {605}, {1795}},
                        {taRightJustify, {1795}, {605}},
                        {taCenter, {1200}, {605, 1795}}};
  for (const Case& c : cases) {
    pages = {[&](TppPage& page) {
      auto* label = new TppDrawText;
      label->Text = "W";
      label->AutoSize = true;
      label->Alignment = c.alignment;
      label->Color = clBlack;  // the filled box shows where the text went
      label->Font()->SetName("Arial");
      label->Font()->SetSize(12);
      label->Left = kInch;
      label->Top = kInch;
      label->Width = 2 * kInch;
      label->Height = 100;  // lower than the font
      label->SetPage(&page);
    }};
    Print();
    for (int x : c.blackAt) EXPECT_TRUE(Black(0, x, 640)) << c.alignment << " " << x;
    for (int x : c.whiteAt) EXPECT_FALSE(Black(0, x, 640)) << c.alignment << " " << x;
  }
}

TEST_F(ReportPrinterDevice, CollatedCopiesReplayTheWholeRequest) {
  for (int p = 1; p <= 3; ++p) pages.push_back([p](TppPage& page) { Box(page, p); });
  struct Case {
    bool collation;
    TppPageRequestType kind;
    std::vector<int> list;
    std::vector<int> printed;  // by the box each page carries
    int driverCopies;
  };
  const Case cases[] = {
      {true, prPageList, {2, 3}, {2, 3, 2, 3, 2, 3}, 1},
      {true, prAll, {}, {1, 2, 3, 1, 2, 3, 1, 2, 3}, 1},
      {false, prPageList, {2, 3}, {2, 3}, 3},
  };
  for (const Case& c : cases) {
    setup.SetCopies(3);
    setup.SetCollation(c.collation);
    TppPrinterDevice fresh;  // a device counts its copies from its first job
    device.SetPublisher(nullptr);
    fresh.Printer()->SetPrinterSetup(setup);
    fresh.SetPublisher(&publisher);
    fresh.PageRequest = c.kind;
    for (int p : c.list) fresh.PageList.Add(ppPageKey(p));
    fresh.RequestPages();
    std::vector<int> printed;
    for (size_t i = 0; i < printers[0].Pages().size(); ++i)
      for (int p = 1; p <= 3; ++p)
        if (Black(i, p * 600 + 300, 900)) printed.push_back(p);
    EXPECT_EQ(printed, c.printed) << c.collation << " " << c.kind;
    EXPECT_EQ(printers[0].JobCopies(), c.driverCopies);
    EXPECT_TRUE(printers[0].JobEnded());
    EXPECT_FALSE(fresh.Busy());
    fresh.SetPublisher(nullptr);
  }
}

TEST_F(ReportPrinterDevice, PicturesCoverOrLetWhiteShowThrough) {
  for (bool transparent : {false, true}) {
    pages = {[&](TppPage& page) {
      Box(page, 1);
      auto* image = new TppDrawImage;
      TBitmap picture;
      picture.SetSize(10, 10);
      picture.Canvas()->Brush()->SetColor(clWhite);
      picture.Canvas()->FillRect(Rect(0, 0, 10, 10));
      picture.Canvas()->Brush()->SetColor(clRed);
      picture.Canvas()->FillRect(Rect(0, 0, 5, 10));  // the left half red
      image->Picture()->SetGraphic(&picture);
      image->Stretch = true;
      image->Transparent = transparent;
      image->Left = image->Top = kInch;
      image->Width = image->Height = kInch;
      image->SetPage(&page);
    }};
    Print();
    const auto pixel = [&](int x, int y) {
      return const_cast<TBitmap&>(Printed(0)).Canvas()->Pixels(x, y);
    };
    EXPECT_EQ(pixel(900, 900), transparent ? clBlack : clWhite) << transparent;
    EXPECT_EQ(pixel(700, 900), transparent ? clBlack : clRed) << transparent;
  }
}

TEST_F(ReportPrinterDevice, EachPageTakesItsSetupAndTheJobItsTitle) {
  setup.SetDocumentName("A very long document name for the queue");
  pages = {[](TppPage&) {},
           [](TppPage& page) { page.PrinterSetup()->SetOrientation(poLandscape); }};
  Print();
  ASSERT_EQ(printers[0].Pages().size(), 2u);
  EXPECT_LT(Printed(0).Width(), Printed(0).Height());
  EXPECT_GT(Printed(1).Width(), Printed(1).Height());
  EXPECT_EQ(printers[0].JobTitle(), "A very long document name for t");
}

TEST_F(ReportPrinterDevice, AJobKeepsItsPrinterAndARunWithoutPagesPrintsNothing) {
  testing_support::TVirtualPrinters other{{{"Virtual 300", 300}}};
  pages = {};
  Print();
  EXPECT_FALSE(printers[0].JobEnded());  // no empty document
  pages = {[](TppPage& page) { page.PrinterSetup()->SetPrinterName("Virtual 300"); }};
  Print();
  ASSERT_EQ(printers[0].Pages().size(), 1u);
  EXPECT_EQ(Printed(0).Width(), 5100);  // letter at 600 dpi
  EXPECT_TRUE(other[0].Pages().empty());
  TppPrinter& printer = *device.Printer();
  printer.BeginDoc();
  printer.StartPage();
  printer.Abort();
  EXPECT_FALSE(printer.Printing());
  EXPECT_TRUE(printers[0].Pages().empty());  // thrown away
}

TEST_F(ReportPrinterDevice, SkippedPagesShowTheirProgressAndPrintNothing) {
  pages = {[](TppPage& page) { Box(page, 1); }};
  firstPass = true;
  TppCustomCancelDialog dialog(nullptr);
  device.CancelDialog = &dialog;
  Print();
  EXPECT_EQ(dialog.StatusText(), "Calculating page 1 for report Defects");
  EXPECT_TRUE(printers[0].Pages().empty());
  EXPECT_FALSE(printers[0].JobEnded());
  firstPass = false;
  Print();
  EXPECT_EQ(dialog.StatusText(), "Printing page 1 of 1 for report Defects on the Virtual 600");
  EXPECT_EQ(printers[0].Pages().size(), 1u);
}

}  // namespace

namespace {

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = ::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// The publisher's pages printed by the PDF printer into `file`.
void PrintPdf(const TppPrinterSetup& setup, TppPublisher& publisher, const std::filesystem::path& file) {
  TppPrinterDevice device;
  device.Printer()->SetPrinterSetup(setup);
  device.Printer()->FileName = file.string();
  device.SetPublisher(&publisher);
  device.RequestPages();
}

// The built-in PDF printer needs no installed printer: a file name given by
// the caller is enough.
TEST(ReportPdfPrinting, PagesGoToAPdfFileInOrder) {
  ppSetScreenPixelsPerInch(96);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vantrel-pdf-" + std::to_string(::getpid()) + ".pdf");
  TppPrinterSetup setup;
  setup.SetPrinterName("PDF");
  setup.SetUnits(utMMThousandths);
  setup.SetPaperWidth(215900);
  setup.SetPaperHeight(279401);
  TppPublisher publisher;
  publisher.OnPageRequest = [&](TObject*, TppPageRequestType, TStrings*, int) {
    for (int p = 1; p <= 3; ++p) {
      TppPage page;
      page.SetPrinterSetup(&setup);
      page.AbsolutePageNo = page.PageNo = p;
      page.FirstPage = p == 1;
      page.LastPage = p == 3;
      page.FinalPage = true;
      auto* text = new TppDrawText;
      text->Text = "Defect " + std::to_string(p);
      text->Font()->SetName("Arial");
      text->Font()->SetSize(12);
      text->Left = text->Top = kInch;
      text->Width = 3 * kInch;
      text->Height = kInch / 4;
      text->SetPage(&page);
      publisher.ReceivePage(&page);
    }
  };
  PrintPdf(setup, publisher, file);
  ppSetScreenPixelsPerInch(0);
  ASSERT_TRUE(std::filesystem::exists(file));
  const std::string info = Output("pdfinfo '" + file.string() + "'");
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  EXPECT_NE(info.find("612 x 792 pts"), std::string::npos) << info;
  const std::string text = Output("pdftotext '" + file.string() + "' -");
  EXPECT_EQ(text, "Defect 1\n\n\fDefect 2\n\n\fDefect 3\n\n\f");
  std::filesystem::remove(file);
}

// A rich text's range prints whole: the report measured it to fit, so a box
// that rounds on the printer to a pixel less than its lines takes nothing
// from it.
TEST(ReportPdfPrinting, ARichTextRangePrintsWholeInABoxAPixelShortOfItsLines) {
  constexpr int kDpi = 600;  // the PDF printer's
  const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Word\\par}";
  TRichTextLayout layout(RtfRead(rtf));
  TBitmap surface;
  surface.SetPixelsPerInch(kDpi);
  surface.SetSize(16, 16);
  int line = 0;
  layout.FormatRange(surface.Canvas(), {0, 0, 2 * kDpi, 10 * kDpi}, 0, -1, false, &line);
  ASSERT_GT(line, 10);
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vantrel-rich-" + std::to_string(::getpid()) + ".pdf");
  TppPrinterSetup setup;
  setup.SetPrinterName("PDF");
  TppPublisher publisher;
  publisher.OnPageRequest = [&](TObject*, TppPageRequestType, TStrings*, int) {
    TppPage page;
    page.SetPrinterSetup(&setup);
    page.AbsolutePageNo = page.PageNo = 1;
    page.FirstPage = page.LastPage = page.FinalPage = true;
    auto* text = new TppDrawRichText;
    text->SetRichText(rtf);
    text->FirstCharacter = 0;
    text->LastCharacter = 4;
    text->Left = text->Top = kInch;
    text->Width = 2 * kInch;
    text->Height = (line - 1) * kInch / kDpi;
    text->SetPage(&page);
    publisher.ReceivePage(&page);
  };
  PrintPdf(setup, publisher, file);
  EXPECT_EQ(Output("pdftotext '" + file.string() + "' -"), "Word\n\n\f") << "a line " << line << " pixels high";
  std::filesystem::remove(file);
}

}  // namespace
