#include "report/output/ppprintr.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/classlib/core/component.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/printers/printdevices.h"
#include "report/output/virtual_printers.h"

namespace {

// Two virtual printers (600 and 300 dpi) with letter, A4 and two bins.
class ReportPrinter : public ::testing::Test {
 protected:
  testing_support::TVirtualPrinters printers{{{"Virtual 600", 600}, {"Virtual 300", 300}}};
  static std::vector<std::string> List(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s[i]);
    return out;
  }
  using Strings = std::vector<std::string>;
};

TEST_F(ReportPrinter, ListAndCapabilitiesOfAPrinter) {
  TppPrinterList& list = *ppPrinters();
  EXPECT_EQ(list.Names(0), "Default");
  ASSERT_NE(list.Find("Virtual 300"), nullptr);
  EXPECT_EQ(list.Find("Default"), list.Find(list.DefaultPrinterName()));
  EXPECT_NE(list.Find("PDF"), nullptr);  // never only "Default"
  EXPECT_EQ(list.Find("No such printer"), nullptr);
  const TppPrinterCapabilities& caps = list.Find("Virtual 300")->Capabilities();
  EXPECT_EQ(List(caps.PaperNames), (Strings{"Letter", "A4", "Custom"}));
  EXPECT_EQ(List(caps.PaperNumbers), (Strings{"1", "9", "256"}));
  EXPECT_EQ(List(caps.PaperWidths), (Strings{"2159", "2100", ""}));
  EXPECT_EQ(List(caps.BinNames), (Strings{"Default", "Lower", "Manual"}));
  EXPECT_EQ(List(caps.BinNumbers), (Strings{"7", "2", "4"}));
  // 297 x 210.5 mm is A4 turned; 2 mm off is no paper of the printer.
  EXPECT_EQ(caps.PaperNameForSize(2970, 2105), "A4");
  EXPECT_EQ(caps.PaperNameForSize(2159, 2794), "Letter");
  EXPECT_EQ(caps.PaperNameForSize(2970, 2120), "Custom");
}

TEST_F(ReportPrinter, CapabilitiesRulesForDriverLists) {
  struct Case {
    TppPrinterCapabilities::TRaw raw;
    Strings names, numbers, widths;
  };
  const Case cases[] = {
      // no sizes: standard ones for standard numbers; 48 has none and goes
      {{{"Letter", "Odd", "A4", "Big"}, {1, 48, 9, 300}, {}, {}, {}, {}},
       {"Letter", "A4", "Custom"}, {"1", "9", "300"}, {"2159", "2100", ""}},
      // an unnamed custom number takes the name and moves to the end
      {{{"User", "A4"}, {256, 9}, {1000, 2100}, {1000, 2970}, {}, {}},
       {"A4", "Custom"}, {"9", "256"}, {"2100", "1000"}},
      // names and numbers cut to the shorter list
      {{{"Letter", "A4", "A5"}, {1, 9}, {}, {}, {}, {}},
       {"Letter", "A4", "Custom"}, {"1", "9", "256"}, {"2159", "2100", ""}},
  };
  for (const Case& c : cases) {
    TppPrinterCapabilities caps("P", c.raw);
    EXPECT_EQ(List(caps.PaperNames), c.names);
    EXPECT_EQ(List(caps.PaperNumbers), c.numbers);
    EXPECT_EQ(List(caps.PaperWidths), c.widths);
    EXPECT_EQ(List(caps.BinNames), Strings{"Default"});
  }
}

TEST_F(ReportPrinter, DefaultPaperFollowsTheDecimalSeparator) {
  const char saved = FormatSettings.DecimalSeparator;
  struct Case { char separator; int32_t width, height; const char* paper; };
  for (const Case& c : {Case{'.', 215900, 279401, "Letter"}, Case{',', 210000, 297000, "A4"}}) {
    FormatSettings.DecimalSeparator = c.separator;
    TppPrinterSetup setup;
    setup.SetPrinterName("Virtual 600");
    EXPECT_EQ(setup.PageDef().mmWidth(), c.width);
    EXPECT_EQ(setup.PageDef().mmHeight(), c.height);
    EXPECT_EQ(setup.PaperName(), c.paper);
    EXPECT_EQ(setup.PageDef().mmMarginTop(), 6350);
    EXPECT_FLOAT_EQ(setup.MarginLeft(), 0.25f);  // inches until the report sets Units
  }
  FormatSettings.DecimalSeparator = saved;
}

// A printer whose description file lists input slots: they are its bins,
// and the one chosen in the setup goes with the job as the service's option.
TEST_F(ReportPrinter, TheInputSlotsOfADescriptionFileAreBinsAndGoWithTheJob) {
  const std::filesystem::path ppd =
      std::filesystem::temp_directory_path() / ("vantrel-slots-" + std::to_string(getpid()) + ".ppd");
  std::ofstream(ppd)
      << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
         "*ModelName: \"Slots\"\n*NickName: \"Slots\"\n"
         "*OpenUI *InputSlot/Media Source: PickOne\n*DefaultInputSlot: Upper\n"
         "*InputSlot Upper/Upper Tray: \"\"\n*InputSlot Lower/Lower Tray: \"\"\n"
         "*CloseUI: *InputSlot\n";
  auto device = std::make_unique<TRecordingPrinter>("Slots 300", 300);
  device->SetPapers({{DMPAPER_A4, "A4", {2100, 2970}}});
  device->SetBins(vantrel::printers::DescribedBins(ppd.string()));
  TPrinterDevice* raw = device.get();
  Printer()->AddPrinter(std::move(device));
  ppPrinters()->Refresh();
  const TppPrinterCapabilities& caps = ppPrinters()->Find("Slots 300")->Capabilities();
  EXPECT_EQ(List(caps.BinNames), (Strings{"Default", "Upper Tray", "Lower Tray"}));
  EXPECT_EQ(List(caps.BinNumbers), (Strings{"7", "256", "257"}));
  TppPrinter printer;
  printer.PrinterSetup()->SetPrinterName("Slots 300");
  using TOptions = std::vector<std::pair<std::string, std::string>>;
  const std::pair<std::string, TOptions> cases[] = {{"Lower Tray", {{"InputSlot", "Lower"}}},
                                                   {"Upper Tray", {{"InputSlot", "Upper"}}},
                                                   {"Default", {}}};
  for (const auto& [bin, options] : cases) {
    printer.PrinterSetup()->SetBinName(bin);
    EXPECT_EQ(vantrel::printers::BinJobOptions(ppd.string(), printer.DevMode().dmDefaultSource),
              options)
        << bin;
  }
  Printer()->RemovePrinter(raw);
  ppPrinters()->Refresh();
  std::filesystem::remove(ppd);
}

TEST_F(ReportPrinter, SetupChangesBecomeTheDeviceMode) {
  TppPrinter printer;
  TppPrinterSetup& s = *printer.PrinterSetup();
  s.SetPrinterName("Virtual 600");
  EXPECT_EQ(printer.PixelsPerInch(TppPixelAxis::Vertical), 600);
  s.SetPaperName("A4");
  s.SetOrientation(poLandscape);
  EXPECT_EQ(s.PageDef().mmWidth(), 297000);
  EXPECT_EQ(s.PageDef().mmHeight(), 210000);
  s.SetCopies(3);
  s.SetCopies(0);  // ignored
  s.SetCopies(-2);
  EXPECT_EQ(s.Copies(), 3);
  s.SetDuplex(dpVertical);
  s.SetBinName("Manual");
  s.SetDocumentName("Defects");
  TppDevMode dm = printer.DevMode();
  EXPECT_EQ(dm.dmDeviceName, "Virtual 600");
  EXPECT_EQ(dm.dmPaperSize, DMPAPER_A4);
  EXPECT_EQ(dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(dm.dmCopies, 3);
  EXPECT_EQ(dm.dmDuplex, 3);  // Duplex + 1
  EXPECT_EQ(dm.dmDefaultSource, DMBIN_MANUAL);
  EXPECT_EQ(dm.dmFields, DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DUPLEX | DM_DEFAULTSOURCE);
  EXPECT_EQ(printer.Title(), "Defects");
  s.SetCollation(true);
  EXPECT_EQ(printer.DevMode().dmCopies, 1);  // the device repeats the job instead
  EXPECT_EQ(s.Copies(), 3);

  // A size no paper has is custom, sent in tenths across and down.
  s.SetUnits(utMillimeters);
  s.SetPaperWidth(150.0f);
  s.SetPaperHeight(-5.0f);  // ignored
  EXPECT_EQ(s.PaperName(), "Custom");
  dm = printer.DevMode();
  EXPECT_EQ(dm.dmPaperSize, DMPAPER_USER);
  EXPECT_EQ(dm.dmPaperWidth, 2100);   // landscape: the page's height runs across the sheet
  EXPECT_EQ(dm.dmPaperLength, 1500);
  EXPECT_TRUE(dm.dmFields & DM_PAPERWIDTH);
}

TEST_F(ReportPrinter, ValidationCanRefuseAPageChange) {
  TppPrinterSetup s;
  int changes = 0;
  s.OnValidatePageDef = [](TObject*, const TppPageDef& def, bool& accept) {
    accept = def.mmMarginLeft() < 20000;
  };
  s.OnPageDefChange = [&](TObject*) { ++changes; };
  s.SetUnits(utMMThousandths);
  s.SetMarginLeft(10000);
  s.SetMarginLeft(30000);
  EXPECT_EQ(s.PageDef().mmMarginLeft(), 10000);
  EXPECT_EQ(changes, 1);
}

TEST_F(ReportPrinter, DeviceModeReadsBackIntoAnEqualSetup) {
  TppPrinter first;
  TppPrinterSetup& s = *first.PrinterSetup();
  s.SetPrinterName("Virtual 300");
  s.SetPaperName("Letter");
  s.SetOrientation(poLandscape);
  s.SetCopies(2);
  s.SetDuplex(dpHorizontal);
  s.SetBinName("Lower");
  TppPrinter second;
  second.SetupFromDevMode(first.DevMode());
  EXPECT_TRUE(*second.PrinterSetup() == s);
  EXPECT_EQ(second.PixelsPerInch(TppPixelAxis::Horizontal), 300);
  EXPECT_EQ(second.DevMode(), first.DevMode());

  TppPrinterSetup other;
  other.Assign(&s);
  EXPECT_TRUE(other == s);
  other.SetCopies(5);
  EXPECT_FALSE(other == s);
  second.SetPrinterSetup(other);
  EXPECT_EQ(second.DevMode().dmCopies, 5);

  // "Default" equals the default printer by name; unknown names are ignored.
  TppPrinterSetup a, b;
  b.SetPrinterName(ppPrinters()->DefaultPrinterName());
  EXPECT_TRUE(a == b);
  b.SetPrinterName("Nowhere");
  EXPECT_EQ(b.PrinterName(), ppPrinters()->DefaultPrinterName());
}

}  // namespace

// A component that carries a setup, as a report does.
class TSetupHolder : public TComponent {
  DECLARE_CLASS(TSetupHolder, TComponent)
 public:
  explicit TSetupHolder(TComponent* owner = nullptr) : TComponent(owner) {
    setup_->SetOwnerComponent(this);
  }
  void Loaded() override {
    TComponent::Loaded();
    setup_->Loaded();
  }
  TppPrinterSetup* Setup() const { return setup_.get(); }
  void SetSetup(TppPrinterSetup* s) { setup_->Assign(s); }

 private:
  std::unique_ptr<TppPrinterSetup> setup_ = std::make_unique<TppPrinterSetup>();
};
IMPLEMENT_CLASS(TSetupHolder, TComponent)
PUBLISHED(TSetupHolder) { PROP_OBJ(PrinterSetup, Setup, SetSetup); }

namespace {

TEST_F(ReportPrinter, GeometryStreamsExactlyInThousandths) {
  TSetupHolder source;
  source.SetName("Holder");
  source.Setup()->SetUnits(utMMThousandths);
  source.Setup()->SetMarginLeft(1234);  // not a whole number of inches
  source.Setup()->SetPaperWidth(200001);
  TMemoryStream binary;
  WriteComponentToStream(&binary, &source);
  binary.SetPosition(0);
  TSetupHolder read;
  ReadComponentFromStream(&binary, &read);
  EXPECT_TRUE(*read.Setup() == *source.Setup());
  EXPECT_EQ(read.Setup()->PageDef().mmMarginLeft(), 1234);

  // Older layouts wrote a float; it is rounded.
  std::string text = WriteComponentToText(&source);
  const std::string key = "mmMarginLeft = 1234";
  ASSERT_NE(text.find(key), std::string::npos) << text;
  text.replace(text.find(key), key.size(), "mmMarginLeft = 1234.6");
  TSetupHolder fromText;
  int checks = 0, changes = 0;
  fromText.Setup()->OnValidatePageDef = [&](TObject*, const TppPageDef&, bool&) { ++checks; };
  fromText.Setup()->OnChange = [&](TObject*) { ++changes; };
  ReadComponentFromText(text, &fromText);
  EXPECT_EQ(fromText.Setup()->PageDef().mmMarginLeft(), 1235);
  EXPECT_EQ(fromText.Setup()->PageDef().mmWidth(), 200001);  // the exact key wins
  EXPECT_EQ(checks, 0);  // nothing validated or notified while reading
  EXPECT_EQ(changes, 0);

  // Without the exact key the size in Units is applied after loading.
  const std::string widthKey = "PrinterSetup.mmPaperWidth = 200001";
  ASSERT_NE(text.find(widthKey), std::string::npos) << text;
  text.erase(text.find(widthKey), widthKey.size());
  TSetupHolder older;
  older.Setup()->SetUnits(utMMThousandths);
  ReadComponentFromText(text, &older);
  EXPECT_EQ(older.Setup()->PageDef().mmWidth(), ppToMMThousandths(source.Setup()->PaperWidth(), utMMThousandths));
}

}  // namespace
