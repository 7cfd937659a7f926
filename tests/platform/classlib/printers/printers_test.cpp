// Printing: the paper table, page geometry at a test printer's resolution,
// the settings record's checks, and real PDF output read back as text.

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/printers/printers.h"

namespace {

// A printer with a letter and an A4 paper, two bins and margins.
TRecordingPrinter* AddTestPrinter(TPrinter& printer, int dpi = 300) {
  auto device = std::make_unique<TRecordingPrinter>("Test printer", dpi);
  device->SetPapers({{DMPAPER_LETTER, "Letter", StandardPaperSize(DMPAPER_LETTER)},
                     {DMPAPER_A4, "A4", StandardPaperSize(DMPAPER_A4)}});
  device->SetBins({{DMBIN_AUTO, "Automatic"}, {DMBIN_MANUAL, "Manual feed"}});
  TRecordingPrinter* raw = device.get();
  printer.SetPrinterIndex(printer.AddPrinter(std::move(device)));
  return raw;
}

std::string PdfText(const std::string& pdf) {
  std::string txt = pdf + ".txt";
  std::string command = "pdftotext -layout '" + pdf + "' '" + txt + "'";
  if (std::system(command.c_str()) != 0) return "<pdftotext failed>";
  std::stringstream s;
  s << std::ifstream(txt).rdbuf();
  return s.str();
}

}  // namespace

TEST(PaperTableTest, ClassicNumbersInTenthsOfAMillimetre) {
  struct Case {
    int number;
    TSize size;
    const char* name;
  } cases[] = {
      {1, {2159, 2794}, "Letter"},     {5, {2159, 3556}, "Legal"},
      {7, {1841, 2667}, "Executive"},  {9, {2100, 2970}, "A4"},
      {21, {1143, 2635}, "Envelope #11"}, {39, {3778, 2794}, "US Std Fanfold"},
      {53, {2354, 3223}, "A4 Extra"},  {68, {3220, 4450}, "A3 Extra Transverse"},
      {0, {0, 0}, ""}, {48, {0, 0}, ""}, {49, {0, 0}, ""}, {69, {0, 0}, ""}, {256, {0, 0}, ""},
  };
  for (const Case& c : cases) {
    TSize s = StandardPaperSize(c.number);
    EXPECT_EQ(s.cx, c.size.cx) << c.number;
    EXPECT_EQ(s.cy, c.size.cy) << c.number;
    EXPECT_EQ(StandardPaperName(c.number), c.name);
  }
}

TEST(PrinterGeometryTest, LetterAndA4AtTheTestPrintersResolution) {
  TPrinter printer;
  TRecordingPrinter* device = AddTestPrinter(printer, 300);
  device->SetMargins({50, 40, 30, 20});  // tenths: left, top, right, bottom
  struct Case {
    int paper;
    TPrinterOrientation orientation;
    int physW, physH, offX, offY, resW, resH;
  } cases[] = {
      // 5 mm = 59 px, 4 mm = 47 px, 3 mm = 35 px, 2 mm = 24 px at 300 dpi.
      {DMPAPER_LETTER, poPortrait, 2550, 3300, 59, 47, 2550 - 59 - 35, 3300 - 47 - 24},
      {DMPAPER_A4, poPortrait, 2480, 3508, 59, 47, 2480 - 59 - 35, 3508 - 47 - 24},
      // Turned: the portrait top margin is now on the left.
      {DMPAPER_A4, poLandscape, 3508, 2480, 47, 35, 3508 - 47 - 24, 2480 - 35 - 59},
  };
  for (const Case& c : cases) {
    TPrinterSettings s = printer.Settings();
    s.PaperSize = c.paper;
    s.Orientation = c.orientation;
    printer.SetSettings(s);
    EXPECT_EQ(printer.DeviceCaps(PHYSICALWIDTH), c.physW);
    EXPECT_EQ(printer.DeviceCaps(PHYSICALHEIGHT), c.physH);
    EXPECT_EQ(printer.DeviceCaps(PHYSICALOFFSETX), c.offX);
    EXPECT_EQ(printer.DeviceCaps(PHYSICALOFFSETY), c.offY);
    EXPECT_EQ(printer.PageWidth(), c.resW);
    EXPECT_EQ(printer.PageHeight(), c.resH);
    EXPECT_EQ(printer.DeviceCaps(LOGPIXELSY), 300);
  }
}

TEST(PrinterSettingsTest, DamagedRecordsAreRefusedAndChangeNothing) {
  TPrinter printer;
  AddTestPrinter(printer);
  TPrinterSettings good = printer.Settings();
  EXPECT_EQ(good.DeviceName, "Test printer");
  struct Case {
    const char* what;
    std::function<void(TPrinterSettings&)> damage;
  } cases[] = {
      {"unknown paper", [](TPrinterSettings& s) { s.PaperSize = DMPAPER_LEGAL; }},
      {"no copies", [](TPrinterSettings& s) { s.Copies = 0; }},
      {"bad orientation", [](TPrinterSettings& s) { s.Orientation = TPrinterOrientation(7); }},
      {"bad duplex", [](TPrinterSettings& s) { s.Duplex = 9; }},
      {"bin not offered", [](TPrinterSettings& s) { s.DefaultSource = DMBIN_CASSETTE; }},
      {"empty custom size",
       [](TPrinterSettings& s) {
         s.PaperSize = DMPAPER_USER;
         s.PaperWidth = 0;
       }},
      {"vanished printer", [](TPrinterSettings& s) { s.DeviceName = "Gone"; }},
  };
  for (const Case& c : cases) {
    TPrinterSettings bad = good;
    c.damage(bad);
    EXPECT_THROW(printer.SetSettings(bad), EPrinter) << c.what;
    EXPECT_EQ(printer.Settings().PaperSize, good.PaperSize) << c.what;
    EXPECT_EQ(printer.Printers()->Strings(printer.PrinterIndex()), "Test printer") << c.what;
  }
  TPrinterSettings custom = good;
  custom.PaperSize = DMPAPER_USER;
  custom.PaperWidth = 1000;
  custom.PaperLength = 1500;
  custom.DefaultSource = DMBIN_MANUAL;
  custom.Collate = true;
  printer.SetSettings(custom);
  EXPECT_EQ(printer.DeviceCaps(PHYSICALWIDTH), 1181);  // 100 mm at 300 dpi
  EXPECT_EQ(printer.Settings().DefaultSource, DMBIN_MANUAL);
  EXPECT_THROW(printer.SetPrinterIndex(printer.Printers()->Count()), EPrinter);
}

TEST(PrinterJobTest, TestPrinterRecordsPagesAtItsResolution) {
  TPrinter printer;
  TRecordingPrinter* device = AddTestPrinter(printer, 150);
  printer.SetTitle("Job");
  printer.SetCopies(2);
  EXPECT_THROW(printer.NewPage(), EPrinter);
  printer.BeginDoc();
  EXPECT_TRUE(printer.Printing());
  EXPECT_THROW(printer.SetPrinterIndex(-1), EPrinter);
  TCanvas* c = printer.Canvas();
  c->Font()->SetSize(12);
  EXPECT_EQ(c->Font()->Height(), -25);  // 12 pt at 150 dpi
  c->Font()->SetHeight(-26);
  EXPECT_EQ(printer.Canvas()->Font()->Height(), -26) << "asking again keeps a pixel height";
  c->Brush()->SetColor(clBlack);
  c->FillRect(Rect(0, 0, 10, 10));
  const int portraitWidth = printer.PageWidth();
  printer.SetOrientation(poLandscape);  // the next page turns, as a job may do page by page
  printer.NewPage();
  EXPECT_EQ(printer.PageNumber(), 2);
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(20, 20, 30, 30));
  printer.EndDoc();
  EXPECT_FALSE(printer.Printing());
  ASSERT_EQ(device->Pages().size(), 2u);
  EXPECT_EQ(device->JobTitle(), "Job");
  EXPECT_EQ(device->JobCopies(), 2);
  EXPECT_EQ(device->Pages()[0]->Width(), portraitWidth);
  EXPECT_EQ(device->Pages()[1]->Width(), printer.PageWidth());
  EXPECT_GT(device->Pages()[1]->Width(), device->Pages()[1]->Height());
  EXPECT_EQ(device->Pages()[0]->Canvas()->Pixels(5, 5), clBlack);
  EXPECT_EQ(device->Pages()[1]->Canvas()->Pixels(5, 5), clWhite);
  EXPECT_EQ(device->Pages()[1]->Canvas()->Pixels(25, 25), clRed);
}

TEST(PrinterJobTest, InfoCanvasMeasuresAtThePrinterResolutionWithoutAJob) {
  TPrinter printer;
  AddTestPrinter(printer, 600);
  TCanvas* info = printer.InfoCanvas();
  info->Font()->SetName("Arial");
  info->Font()->SetSize(10);
  EXPECT_EQ(info->Font()->Height(), -83);
  int atPrinter = info->TextWidth("Measured text");
  info->Font()->SetPixelsPerInch(96);
  info->Font()->SetSize(10);
  EXPECT_GT(atPrinter, 5 * info->TextWidth("Measured text"));
  EXPECT_FALSE(printer.Printing());
}

TEST(PdfPrinterTest, TwoPagesReadBackAsText) {
  TempDir dir;
  TPrinter printer;
  int pdf = printer.Printers()->IndexOf("PDF");
  ASSERT_GE(pdf, 0);
  printer.SetPrinterIndex(pdf);
  EXPECT_EQ(printer.DeviceCaps(LOGPIXELSX), 600);
  EXPECT_TRUE(printer.Bins().empty());
  printer.SetFileName(dir / "out.pdf");
  printer.SetTitle("Two pages");
  printer.BeginDoc();
  printer.Canvas()->Font()->SetName("Arial");
  printer.Canvas()->Font()->SetSize(12);
  printer.Canvas()->TextOut(300, 300, "First page of the job");
  printer.NewPage();
  printer.Canvas()->TextOut(300, 300, "Second page of the job");
  printer.EndDoc();
  std::string text = PdfText(dir / "out.pdf");
  size_t first = text.find("First page of the job");
  size_t feed = text.find('\f');
  size_t second = text.find("Second page of the job");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_LT(first, feed);
  EXPECT_LT(feed, second);
}

// Whatever stands at the file name: a device or a pipe takes the document in
// place, a link is followed, an older file keeps its permission bits, a new
// one gets the umask's, and a device that cannot take it fails the job.
TEST(PdfPrinterTest, TheTargetIsWrittenAsWhatItIs) {
  TPrinter printer;
  printer.SetPrinterIndex(printer.Printers()->IndexOf("PDF"));
  write_targets::ExpectSoundTargets(
      [&](const std::string& path) {
        printer.SetFileName(path);
        try {
          printer.BeginDoc();
          printer.Canvas()->TextOut(300, 300, "Written in its place");
          printer.EndDoc();
          return true;
        } catch (const EPrintError& e) {
          EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
          EXPECT_FALSE(printer.Printing());
          return false;
        }
      },
      [](const std::string& bytes) { return bytes.starts_with("%PDF-") && bytes.ends_with("%%EOF\n"); },
      ".pdf");
}

TEST(PdfPrinterTest, AbortAndUnwritablePathsLeaveNoFile) {
  TempDir dir;
  TPrinter printer;
  printer.SetPrinterIndex(printer.Printers()->IndexOf("PDF"));
  printer.SetFileName(dir / "aborted.pdf");
  printer.BeginDoc();
  printer.Canvas()->TextOut(10, 10, "never");
  printer.Abort();
  EXPECT_TRUE(printer.Aborted());
  EXPECT_FALSE(printer.Printing());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

  printer.SetFileName(dir / "no/such/folder/out.pdf");
  EXPECT_THROW(printer.BeginDoc(), EPrintError);
  EXPECT_FALSE(printer.Printing());

  // Without a file name the printer asks; with nobody to ask it refuses.
  printer.SetFileName("");
  auto* previous = AskPrintFileName;
  AskPrintFileName = nullptr;
  EXPECT_THROW(printer.BeginDoc(), EPrinter);
  AskPrintFileName = [](const std::string&) { return std::string(); };
  EXPECT_THROW(printer.BeginDoc(), EAbort);
  AskPrintFileName = previous;
  EXPECT_FALSE(printer.Printing());
}
