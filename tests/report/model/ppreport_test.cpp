// The report object model: defaults, setters, renames, streaming in the text
// and binary forms, older layouts and damaged streams.
#include "report/model/ppreport.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/streams.h"
#include "reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

// A report with a header, a detail with a label and a group with a header.
struct Layout : ReportRig {
  Layout() : ReportRig(3) {
    header = AddBand<TppHeaderBand>(12 * kMM);
    header->SetName("Report1HeaderBand1");
    detail = AddBand<TppDetailBand>(7 * kMM);
    detail->SetName("Report1DetailBand1");
    label = new TppLabel(&form);
    label->SetName("Report1Label1");
    label->SetBand(detail);
    label->SetCaption("Hello");
    label->SetmmBounds(1000, 2000, 30000, 4000);
    group = AddGroup("Grp", 9 * kMM, 0);
    group->SetName("Report1Group1");
    group->HeaderBand()->SetName("Report1GroupHeaderBand1");
    group->FooterBand()->SetName("Report1GroupFooterBand1");
    report->SetPassSetting(psTwoPass);
    report->SetPageLimit(7);
  }
  TppHeaderBand* header;
  TppDetailBand* detail;
  TppLabel* label;
  TppGroup* group;
};

TppReport* FindReport(TComponent* form) {
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* r = dynamic_cast<TppReport*>(form->Components(i))) return r;
  return nullptr;
}

// The shape of a report: bands by class with height, components, groups.
std::string Shape(TppCustomReport* r) {
  std::string out = r->Version() + " " + std::to_string(r->PageLimit()) + " " +
                    std::to_string(r->PassSetting()) + "\n";
  for (int i = 0; i < r->BandCount(); ++i) {
    TppBand* b = r->Bands(i);
    out += b->ClassName() + " " + std::to_string(b->mmHeight());
    for (int c = 0; c < b->ComponentCount(); ++c) {
      TppComponent* comp = b->Components(c);
      out += " [" + comp->Name() + " " + comp->Caption() + " " + std::to_string(comp->mmLeft()) +
             "," + std::to_string(comp->mmTop()) + "," + std::to_string(comp->mmWidth()) + "," +
             std::to_string(comp->mmHeight()) + " bt" + std::to_string(comp->BandType()) + "]";
    }
    out += "\n";
  }
  for (int g = 0; g < r->GroupCount(); ++g)
    out += "group " + r->Groups(g)->BreakName() + " " +
           (r->Groups(g)->DataPipeline() ? r->Groups(g)->DataPipeline()->Name() : "-") + "\n";
  return out;
}

TEST(ReportModel, TextAndBinaryFormsGiveTheSameReportBack) {
  Layout original;
  const std::string expected = Shape(original.report);
  const std::string text = WriteComponentToText(&original.form);
  EXPECT_NE(text.find("Version = '3.01'"), std::string::npos);
  EXPECT_NE(text.find("mmHeight = 12000"), std::string::npos);
  {
    std::unique_ptr<TComponent> form(ReadComponentFromText(text, nullptr));
    TppReport* copy = FindReport(form.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Shape(copy), std::string("3.01") + expected.substr(expected.find(' ')));
    EXPECT_EQ(WriteComponentToText(form.get()), text);
  }
  TMemoryStream binary;
  WriteComponentToStream(&binary, &original.form);
  binary.SetPosition(0);
  std::unique_ptr<TComponent> form(ReadComponentFromStream(&binary, nullptr));
  EXPECT_EQ(WriteComponentToText(form.get()), text);
}

// Cut anywhere, the stream fails with the reader's error and whatever was
// read stays consistent (freeing it is clean under the sanitizers).
TEST(ReportModel, ADamagedLayoutFailsWithTheReadersErrorAndLeavesNoHalfLinkedReport) {
  Layout original;
  TMemoryStream binary;
  WriteComponentToStream(&binary, &original.form);
  const std::string bytes(static_cast<const char*>(binary.Memory()), size_t(binary.Size()));
  for (size_t cut = 8; cut < bytes.size(); cut += 37) {
    TMemoryStream damaged;
    damaged.WriteBuffer(bytes.data(), int64_t(cut));
    damaged.SetPosition(0);
    TComponent form(nullptr);
    EXPECT_THROW(ReadComponentFromStream(&damaged, &form), EFilerError) << cut;
    for (int i = 0; i < form.ComponentCount(); ++i) {
      auto* band = dynamic_cast<TppBand*>(form.Components(i));
      if (!band || !band->Report()) continue;
      TppCustomReport* report = band->Report();
      bool listed = false;
      for (int b = 0; b < report->BandCount(); ++b) listed = listed || report->Bands(b) == band;
      EXPECT_TRUE(listed) << cut;
    }
  }
}

TEST(ReportModel, AReportLoadedWithoutBandsGetsHeaderDetailAndFooter) {
  std::unique_ptr<TComponent> form(ReadComponentFromText(
      "object Form1: TComponent\n  object Report1: TppReport\n    Version = '3.01'\n  end\nend\n",
      nullptr));
  TppReport* report = FindReport(form.get());
  ASSERT_NE(report, nullptr);
  ASSERT_EQ(report->BandCount(), 3);
  EXPECT_EQ(report->Bands(0)->ClassName(), "TppHeaderBand");
  EXPECT_EQ(report->Bands(1)->ClassName(), "TppDetailBand");
  EXPECT_EQ(report->Bands(2)->ClassName(), "TppFooterBand");
  EXPECT_EQ(report->Bands(0)->Name(), "Report1HeaderBand1");
}

// A layout without a Version line (an old one) and without bands gets the
// default bands at their usual height, and prints.
TEST(ReportModel, AnOldLayoutWithoutBandsGetsDefaultBandsThatPrint) {
  for (const char* version : {"", "    Version = '1.0'\n", "    Version = '3.01'\n"}) {
    SCOPED_TRACE(version);
    std::unique_ptr<TComponent> form(ReadComponentFromText(
        std::string("object Form1: TComponent\n  object Report1: TppReport\n") + version +
            "  end\nend\n",
        nullptr));
    TppReport* report = FindReport(form.get());
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->BandCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(report->Bands(i)->mmHeight(), 13229);
    EXPECT_EQ(report->Version(), "3.01");
    TCaptureDevice device;
    device.SetPublisher(report->Publisher());
    EXPECT_NO_THROW(report->PrintPages());
    EXPECT_EQ(device.Pages.size(), 1u);
  }
}

// Version 1.0 stored screen pixels: 50 pixels become 13229 thousandths.
TEST(ReportModel, AVersionOneLayoutIsConvertedToTheCurrentVersion) {
  std::unique_ptr<TComponent> form(ReadComponentFromText(
      "object Form1: TComponent\n"
      "  object Report1: TppReport\n"
      "    Version = '1.0'\n"
      "    object Detail1: TppDetailBand\n"
      "      mmHeight = 50\n"
      "      object Label1: TppLabel\n"
      "        Caption = 'x'\n"
      "        mmLeft = 10\n"
      "        mmHeight = 20\n"
      "        mmWidth = 40\n"
      "      end\n"
      "    end\n"
      "  end\n"
      "end\n",
      nullptr));
  TppReport* report = FindReport(form.get());
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->Version(), "3.01");
  EXPECT_EQ(report->VersionNo(), 3010);
  EXPECT_EQ(report->PassSetting(), psTwoPass);
  EXPECT_TRUE(report->LayoutConverted());
  ASSERT_EQ(report->BandCount(), 1);
  EXPECT_EQ(report->Bands(0)->mmHeight(), 13229);
  EXPECT_EQ(report->Bands(0)->Components(0)->mmLeft(), 2646);
  // Phdynamic bands only take a bottom offset; this one is static.
  EXPECT_EQ(report->Bands(0)->mmBottomOffset(), 0);
}

TEST(ReportModel, VersionTextsBecomeNumbersOfFourDigits) {
  const std::pair<const char*, int> cases[] = {{"3.01", 3010}, {"1.0", 1000}, {"2.097", 2097},
                                               {"1.27", 1270}, {"3", 3000}};
  for (auto [text, number] : cases) EXPECT_EQ(ppVersionToNo(text), number) << text;
}

TEST(ReportModel, SettersClampAndFreezeWhileGenerating) {
  Layout r;
  r.report->SetColumns(0);
  EXPECT_EQ(r.report->Columns(), 1);
  r.report->SetPageLimit(-3);
  EXPECT_EQ(r.report->PageLimit(), 0);
  r.report->SetDevice(dvPrinter);
  r.report->OnStartPage = [&](TObject*) {
    r.report->SetDevice(dvFile);
    r.report->SetLanguage(lgGerman);
    r.report->SetTextFileName("x.txt");
  };
  r.Print();
  EXPECT_EQ(r.report->Device(), dvPrinter);
  EXPECT_EQ(r.report->Language(), lgEnglish);
  EXPECT_EQ(r.report->TextFileName(), "");
}

// Turning a one-column layout into columns adds a column header and footer
// once; more columns later or fewer keep the bands that exist.
TEST(ReportModel, GoingFromOneColumnToMoreCreatesTheColumnBands) {
  Layout r;
  auto kinds = [&] {
    std::string out;
    for (int i = 0; i < r.report->BandCount(); ++i)
      out += r.report->Bands(i)->ClassName() + " ";
    return out;
  };
  const std::string before = kinds();
  EXPECT_EQ(r.report->FindBand(dbColumnHeader), nullptr);
  r.report->SetColumns(2);
  ASSERT_NE(r.report->FindBand(dbColumnHeader), nullptr) << kinds();
  ASSERT_NE(r.report->FindBand(dbColumnFooter), nullptr) << kinds();
  EXPECT_EQ(r.report->BandCount(), 6) << kinds();
  EXPECT_EQ(r.report->FindBand(dbColumnHeader)->Name(), "Report1ColumnHeaderBand1");
  r.report->SetColumns(3);
  EXPECT_EQ(r.report->BandCount(), 6) << kinds();
  r.report->SetColumns(1);
  EXPECT_EQ(r.report->BandCount(), 6) << kinds();
  EXPECT_NE(kinds(), before);
}

TEST(ReportModel, RenamingTheReportRenamesWhatStartsWithItsName) {
  Layout r;
  r.report->PrinterSetup()->SetDocumentName("Report1");
  auto* other = new TppLabel(&r.form);
  other->SetName("Total");
  other->SetBand(r.detail);
  r.report->SetName("Sales");
  EXPECT_EQ(r.header->Name(), "SalesHeaderBand1");
  EXPECT_EQ(r.label->Name(), "SalesLabel1");
  EXPECT_EQ(r.group->Name(), "SalesGroup1");
  EXPECT_EQ(r.group->HeaderBand()->Name(), "SalesGroupHeaderBand1");
  EXPECT_EQ(other->Name(), "Total");
  EXPECT_EQ(r.report->PrinterSetup()->DocumentName(), "Sales");
}

// Freeing a group frees its bands; freeing the report frees every band.
TEST(ReportModel, FreeingReportsGroupsAndBandsUnlinksEverything) {
  Layout r;
  const int before = r.form.ComponentCount();
  delete r.group;
  EXPECT_EQ(r.form.ComponentCount(), before - 3);
  EXPECT_EQ(r.report->BandCount(), 2);
  delete r.detail;  // its label goes with it
  EXPECT_EQ(r.form.ComponentCount(), before - 5);
  EXPECT_EQ(r.report->FindComponent("Report1Label1"), nullptr);
}

}  // namespace

namespace {

// Components and data-field groups that followed the old pipeline, or whose
// field the new one has, take the report's new pipeline.
TEST(ReportModel, ANewReportPipelineIsHandedOnToComponentsAndGroups) {
  Layout r;
  TppCustomText* follows = r.AddText(r.detail, "Name", 0);
  TppCustomText* foreign = r.AddText(r.detail, "Elsewhere", 5000);
  foreign->SetDataPipeline(nullptr);
  auto* other = new TppBDEPipeline(&r.form);
  other->SetDataSource(&r.source);
  r.report->SetDataPipeline(other);
  EXPECT_EQ(follows->DataPipeline(), other);
  EXPECT_EQ(foreign->DataPipeline(), nullptr);  // no field of that name
  EXPECT_EQ(r.group->DataPipeline(), other);
  delete other;  // every holder forgets it
  EXPECT_EQ(r.report->DataPipeline(), nullptr);
  EXPECT_EQ(follows->DataPipeline(), nullptr);
  EXPECT_EQ(r.group->DataPipeline(), nullptr);
}

}  // namespace

namespace {

// Messages come from the report's language block: the custom block marks
// every text with an "X".
TEST(ReportModel, MessagesAndDescriptionsFollowTheReportsLanguage) {
  Layout r;
  r.report->SetLanguage(lgCustom);
  EXPECT_EQ(r.detail->Caption(), "XDetail");
  r.detail->SetmmHeight(300 * kMM);
  try {
    r.Print();
    ADD_FAILURE() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_EQ(e.Message(), "XBand height cannot exceed page height.");
  }
}

}  // namespace

namespace {

// Assigning moves every band and group of the source to this report and its
// owner; the settings are copied (CachePages is not).
TEST(ReportModel, AssignReportMovesBandsAndGroupsAndCopiesTheSettings) {
  Layout source;
  source.report->SetCachePages(true);
  TComponent otherForm(nullptr);
  auto* target = new TppReport(&otherForm);
  target->AssignReport(source.report);
  EXPECT_EQ(source.report->BandCount(), 0);
  EXPECT_EQ(source.report->GroupCount(), 0);
  ASSERT_EQ(target->BandCount(), 4);
  EXPECT_EQ(target->GroupCount(), 1);
  EXPECT_EQ(source.header->Owner(), &otherForm);
  EXPECT_EQ(source.group->HeaderBand()->Owner(), &otherForm);
  EXPECT_EQ(target->FindComponent("Report1Label1"), source.label);
  EXPECT_EQ(target->PageLimit(), 7);
  EXPECT_EQ(target->PassSetting(), psTwoPass);
  EXPECT_EQ(target->DataPipeline(), source.pipeline);
  EXPECT_FALSE(target->CachePages());
  delete target;  // frees the moved bands and groups
  EXPECT_EQ(otherForm.ComponentCount(), 0);
}

}  // namespace

// A form whose old layout names its band's print handler.
class TOldLayoutForm : public TComponent {
  DECLARE_CLASS(TOldLayoutForm, TComponent)
 public:
  explicit TOldLayoutForm(TComponent* owner = nullptr) : TComponent(owner) {}
  void DetailPrint(TObject*) { ++calls; }
  void NotAHandler(TObject*, int) {}
  int calls = 0;
};
IMPLEMENT_CLASS(TOldLayoutForm, TComponent)
PUBLISHED(TOldLayoutForm) {
  PUBLISHED_METHOD(DetailPrint);
  PUBLISHED_METHOD(NotAHandler);
}

namespace {

TEST(ReportModel, AnOldLayoutsOnPrintHandlerBecomesBeforePrint) {
  for (const char* name : {"DetailPrint", "NotAHandler", "Missing"}) {
    TOldLayoutForm form;
    ReadComponentFromText(std::string("object Form1: TOldLayoutForm\n  object Report1: TppReport\n"
                                      "    Version = '1.0'\n    object Detail1: TppDetailBand\n"
                                      "      OnPrint = ") +
                              name + "\n    end\n  end\nend\n",
                          &form);
    TppReport* report = FindReport(&form);
    ASSERT_NE(report, nullptr);
    TppBand* band = report->Bands(0);
    EXPECT_EQ(bool(band->BeforePrint), std::string(name) == "DetailPrint") << name;
    if (band->BeforePrint) band->BeforePrint(band);
    EXPECT_EQ(form.calls, std::string(name) == "DetailPrint" ? 1 : 0) << name;
  }
}

}  // namespace

namespace {

std::string Lines(const TStrings& list) { return list.CommaText(); }

// Held in thousandths, shown in the report's Units; a stream passes the held
// text unconverted, and a typed entry that is not a number stays as typed.
TEST(ReportModel, ColumnPositionsAreHeldInThousandthsAndShownInUnits) {
  Layout r;
  TStringList typed;
  typed.SetCommaText("0.25,4.25,abc");
  r.report->SetColumnPositions(&typed);
  EXPECT_EQ(Lines(r.report->mmColumnPositions()), "6350,107950,abc");
  EXPECT_EQ(Lines(*r.report->ColumnPositions()), "0.25,4.25,abc");
  r.report->SetUnits(utMillimeters);
  EXPECT_EQ(Lines(*r.report->ColumnPositions()), "6.35,107.95,abc");
  std::unique_ptr<TComponent> form(ReadComponentFromText(WriteComponentToText(&r.form), nullptr));
  EXPECT_EQ(Lines(FindReport(form.get())->mmColumnPositions()), "6350,107950,abc");
}

// Before version 3.0 positions and width were stored in Units, which the
// layout may name after them; the separator is the system's.
TEST(ReportModel, AnOldLayoutsColumnPositionsAndWidthAreConvertedFromItsUnits) {
  struct Case {
    const char* version;
    char separator;
    const char* held;
    int32_t width;
  };
  const Case cases[] = {{"2.0", '.', "10500,100000", 90000},
                        {"2.0", ',', "10500,100000", 90000},
                        {"3.01", '.', "10.5,100", 0},
                        {"3.01", ',', "\"10,5\",100", 0}};
  const char saved = FormatSettings.DecimalSeparator;
  for (const Case& c : cases) {
    FormatSettings.DecimalSeparator = c.separator;
    std::unique_ptr<TComponent> form(ReadComponentFromText(
        std::string("object Form1: TComponent\n  object Report1: TppReport\n    Columns = 2\n"
                    "    ColumnPositions.Strings = (\n      '10.5'\n      '100')\n"
                    "    ColumnWidth = 90.000000000000000000\n    Units = utMillimeters\n"
                    "    Version = '") + c.version + "'\n  end\nend\n",
        nullptr));
    TppReport* report = FindReport(form.get());
    EXPECT_EQ(Lines(report->mmColumnPositions()), c.held) << c.version << c.separator;
    EXPECT_EQ(report->mmColumnWidth(), c.width) << c.version << c.separator;
  }
  FormatSettings.DecimalSeparator = saved;
}

}  // namespace
