#include "report/data/pptmpl.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "../model/reportrig.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/output/pptmplerr.h"

namespace {

// The layout of a report in one line per band: class, height, components.
std::string Shape(const TppCustomReport* r) {
  std::string out;
  for (int b = 0; b < r->BandCount(); ++b) {
    const TppBand* band = r->Bands(b);
    out += band->ClassName() + " " + std::to_string(band->mmHeight());
    for (int c = 0; c < band->ComponentCount(); ++c)
      out += " " + band->Components(c)->Name() + "@" +
             std::to_string(band->Components(c)->mmTop());
    out += "\n";
  }
  return out + "groups " + std::to_string(r->GroupCount());
}

// Runs `work` with written files limited to `bytes`: a longer write fails as
// on a full disk, without the signal that would end the program.
void WithFileSizeLimit(rlim_t bytes, const std::function<void()>& work) {
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const sighandler_t handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limited);
  try {
    work();
  } catch (...) {
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, handler);
    throw;
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, handler);
}

class ReportTemplate : public ::testing::Test {
 protected:
  ReportTemplate() : listing(5, 2), tmpl(listing.report) {
    listing.AddGroup("Grp", 5000, 3000);
    listing.header->Components(0)->SetName("txtHead");
    listing.detail->Components(0)->SetName("txtID");
    listing.footer->Components(0)->SetName("txtFoot");
    dir = std::filesystem::temp_directory_path() / ("vantrel-tmpl-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    tmpl.SetFileName(Path("report.rtm"));
    saved = Shape(report());
  }
  ~ReportTemplate() override { std::filesystem::remove_all(dir); }
  TppReport* report() { return listing.report; }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Stored() {
    std::string bytes;
    ReadWholeFile(tmpl.FileName(), bytes);
    return bytes;
  }
  // Another layout in place of the saved one: one band less, a taller detail.
  void ChangeLayout() {
    delete listing.footer;
    listing.detail->SetmmHeight(20000);
    ASSERT_NE(Shape(report()), saved);
  }

  Listing listing;
  TppReportTemplate tmpl;
  std::filesystem::path dir;
  std::string saved;
};

TEST(TemplateLayout, TheVersionLineGivesTheVersionNumber) {
  const std::pair<const char*, int> cases[] = {
      {"object Form1: TForm\n  object R: TppReport\n    Version = '3.01'\n", 3010},
      {"Version = '2.5'", 2500},
      {"Version = '12'", 1200},
      {"Version = 'x.1'", 0},
      {"Version = '1.2.3.4'", 12},  // "12.3.4" read as far as it is a number
      {"Version = '99999999999999999999.9'", INT32_MAX},
      {"no version here", 0},
      {"Vers", 0},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(ppTemplateVersionNo(text), number) << text;
  // Only the first 1000 bytes are searched.
  EXPECT_EQ(ppTemplateVersionNo(std::string(1000, ' ') + "Version = '3.01'"), 0);
}

TEST(TemplateLayout, AnOldTextLayoutGetsFractionsOnItsSizesAndPositions) {
  TStringList lines;
  lines.SetText(
      "object Form1: TForm\n"
      "  object ppReport1: TppReport\n"
      "    ColumnWidth = 100\n"
      "    PaperHeight = 279.4\n"
      "    PaperWidth = 216\n"
      "    RowSpacing = 0\n"
      "    Left = 7\n"
      "    Version = '2.50'\n"
      "    object ppLabel1: TppLabel\n"
      "      Left = 10\n"
      "      mmLeft = 10\n"
      "      Top = 2.5\n");
  ppFixTextLayout(&lines);
  std::string text = lines.Text();
  std::erase(text, '\r');
  EXPECT_EQ(text,
            "object Form1: TForm\n"
            "  object ppReport1: TppReport\n"
            "    ColumnWidth = 100\n"  // "object" passed "C": no longer looked for
            "    PaperHeight = 279.4\n"
            "    PaperWidth = 216.0\n"
            "    RowSpacing = 0.0\n"
            "    Left = 7\n"  // before Version: left alone
            "    Version = '2.50'\n"
            "    object ppLabel1: TppLabel\n"
            "      Left = 10.0\n"
            "      mmLeft = 10\n"
            "      Top = 2.5\n");
}

TEST(TemplateLayout, TheLayoutIsFoundAtOffsetAtZeroOrThroughTheHeader) {
  auto header = [](int32_t at, const std::string& rest) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[size_t(i)] = char(uint32_t(at) >> (8 * i));
    return bytes + rest;
  };
  struct Case {
    std::string stored;
    int32_t offset;
    int32_t found;
  };
  const Case cases[] = {
      {"TPF0...", 0, 0},
      {"object x", 5, 0},
      {header(8, "....TPF0"), 0, 8},
      {header(8, "....TPF0"), 8, 8},
      {header(8, "....TPF0"), 3, 8},
      {header(-8, "....TPF0"), 0, -1},  // negative
      {header(80, "....TPF0"), 0, -1},  // past the end
      {header(0, "....TPF0"), 0, -1},   // pointing at itself
      {header(5, "....TP"), 0, -1},      // a cut signature
      {"", 0, -1},
      {"TP", 0, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ppFindLayout(c.stored, c.offset), c.found) << c.stored.size() << " " << c.offset;
}

TEST_F(ReportTemplate, BothFormsRoundTripThroughAFileWithAnOffsetHeader) {
  for (TppFormatType format : {ftBinary, ftASCII}) {
    tmpl.SetFormat(format);
    tmpl.SetOffset(200);
    tmpl.Save();
    const std::string stored = Stored();
    EXPECT_EQ(stored.substr(0, 4), std::string("\xC8\0\0\0", 4));
    EXPECT_EQ(stored.substr(200, 4), format == ftBinary ? "TPF0" : "obje");
    ChangeLayout();
    tmpl.SetOffset(0);
    tmpl.SetFormat(format == ftBinary ? ftASCII : ftBinary);  // the stream tells
    tmpl.Load();
    EXPECT_EQ(tmpl.Offset(), 200);
    EXPECT_EQ(tmpl.Format(), format);
    EXPECT_EQ(Shape(report()), saved);
    EXPECT_EQ(report()->DataPipeline(), listing.pipeline);
    listing.footer = static_cast<TppFooterBand*>(report()->FindBand(bkFooter));
    listing.detail = static_cast<TppDetailBand*>(report()->FindBand(bkDetail));
  }
  // The loaded layout prints as the saved one did.
  listing.device.SetPublisher(report()->Publisher());
  listing.Print();
  EXPECT_EQ(listing.device.Pages.size(), 1u);
}

TEST_F(ReportTemplate, SavingKeepsTheOldFileWhenItCannotBeWritten) {
  tmpl.Save();
  const std::string before = Stored();
  ChangeLayout();
  // Read-only: 406 and nothing touched.
  FileSetAttr(tmpl.FileName(), faReadOnly);
  EXPECT_EQ(MessageOf<ETemplateSaveError>([&] { tmpl.Save(); }),
            "File is read-only. " + tmpl.FileName());
  FileSetAttr(tmpl.FileName(), 0);
  EXPECT_EQ(Stored(), before);
  // A full disk: the write fails and the old template stays whole.
  WithFileSizeLimit(before.size() / 2, [&] { EXPECT_THROW(tmpl.Save(), ETemplateSaveError); });
  EXPECT_EQ(Stored(), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
  tmpl.Save();
  EXPECT_NE(Stored(), before);
}

// Whatever stands at the template's name: a device or a pipe takes the layout
// in place, a link is followed, an older file keeps its permission bits, a
// new one gets the umask's, and a device that cannot take it fails the save.
TEST_F(ReportTemplate, TheTargetIsWrittenAsWhatItIs) {
  write_targets::ExpectSoundTargets(
      write_targets::FailsByRaising<ETemplateSaveError>([&](const std::string& path) {
        tmpl.SetFileName(path);
        tmpl.Save();
      }),
      [](const std::string& bytes) { return bytes.starts_with("TPF0") && bytes.size() > 100; }, ".rtm");
}

// Each open, write, flush and rename of a template save may fail: the save
// raises, the old template stays whole and no temporary file is left.
TEST_F(ReportTemplate, EveryStepOfASaveMayFail) {
  tmpl.Save();
  const std::string before = Stored();
  ChangeLayout();  // each save below writes this layout over the one before
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
    bool raised = false;
    const int runs = FailEachCall(
        dir, call,
        [&] {
          raised = false;
          try {
            tmpl.Save();
          } catch (const ETemplateSaveError&) {
            raised = true;
          }
        },
        [&](int n) {
          EXPECT_TRUE(raised) << int(call) << " #" << n;
          EXPECT_EQ(Stored(), before) << int(call) << " #" << n;
          EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << int(call) << " #" << n;
        });
    EXPECT_GE(runs, 1) << int(call);
    EXPECT_NE(Stored(), before);
    WriteFileAtomically(tmpl.FileName(), before);
  }
}

TEST_F(ReportTemplate, MissingFilesGarbageAndReaderErrorsKeepThePreviousLayout) {
  tmpl.SetFileName(Path("none.rtm"));
  EXPECT_EQ(MessageOf<ETemplateLoadError>([&] { tmpl.Load(); }),
            "File not found: " + Path("none.rtm"));
  const auto garbage = [&] { tmpl.LoadFromBytes("neither layout nor header"); };
  EXPECT_EQ(MessageOf<EInvalidTemplateError>(garbage), "Invalid Template Format");
  // Two unknown properties, answered by clicking the error form's buttons:
  // Cancel fails the load, All goes on without asking again, Ignore asks for each.
  const std::string text =
      "object Report1: TppReport\n  Bogus = 1\n  Other = 2\n  Version = '3.01'\nend\n";
  const struct {
    TModalResult answer;
    int asked;
  } cases[] = {{mrCancel, 1}, {mrIgnore, 2}, {mrAll, 1}};  // All holds until the next load from file or database: last
  for (const auto& c : cases) {
    std::vector<std::string> shown;
    TDialogResponderScope answers([&](TDialogRequest& request) {
      auto* form = dynamic_cast<TppTemplateErrorDialog*>(request.Dialog);
      if (request.Kind != TDialogKind::Form || !form) return mrCancel;
      shown.push_back(form->lblMessage->Caption());
      for (TButton* b : {form->btnIgnore, form->btnAll, form->btnCancel})
        if (b->ModalResult() == c.answer) b->Click();
      return mrNone;  // the click ends the modal pass
    });
    if (c.answer == mrCancel) EXPECT_THROW(tmpl.LoadFromBytes(text), EReadError);
    else tmpl.LoadFromBytes(text);
    ASSERT_EQ(int(shown.size()), c.asked) << c.answer;
    EXPECT_TRUE(shown[0].find("Bogus") != std::string::npos) << shown[0];
    EXPECT_TRUE(shown[0].ends_with("\rIgnore the error and continue?")) << shown[0];
  }
  EXPECT_NE(Shape(report()), saved);  // the All load replaced the layout (default bands)
}

// A layout that holds no report is refused with the template error, in both
// forms, and the report keeps the layout it had.
TEST_F(ReportTemplate, ALayoutWithoutAReportIsRefusedAndTheOldOneKept) {
  const std::string bandOnly =
      "object Form1: TComponent\n  object Band9: TppDetailBand\n    mmHeight = 5000\n  end\nend\n";
  TStringStream text(bandOnly), binary;
  ObjectTextToBinary(&text, &binary);
  const std::string cases[] = {"TPF0", bandOnly, binary.DataString()};
  for (const std::string& bytes : cases) {
    EXPECT_EQ(MessageOf<EInvalidTemplateError>([&] { tmpl.LoadFromBytes(bytes); }),
              "Invalid Template Format")
        << bytes.size();
    EXPECT_EQ(Shape(report()), saved) << bytes.size();
    EXPECT_EQ(listing.form.FindComponent("Band9"), nullptr);
    tmpl.SetOffset(0);
  }
}

// Every cut and many flipped bytes of both forms fail cleanly or load, and a
// failure leaves the report as it was.
TEST_F(ReportTemplate, DamagedTemplatesFailCleanlyAndLeaveTheLayout) {
  TDialogResponderScope answers([](TDialogRequest&) { return mrCancel; });
  std::mt19937 random(20261206);
  for (TppFormatType format : {ftBinary, ftASCII}) {
    tmpl.SetFormat(format);
    tmpl.Save();
    const std::string good = Stored();
    std::vector<std::string> damaged;
    for (size_t cut = 0; cut < good.size(); cut += 7) damaged.push_back(good.substr(0, cut));
    for (int i = 0; i < 150; ++i) {
      std::string flipped = good;
      flipped[random() % flipped.size()] ^= char(1 << (random() % 8));
      damaged.push_back(flipped);
    }
    for (const std::string& bytes : damaged) {
      const std::string before = Shape(report());
      try {
        tmpl.LoadFromBytes(bytes);
      } catch (const Exception&) {
        EXPECT_EQ(Shape(report()), before) << bytes.size();
      }
      tmpl.SetOffset(0);
    }
  }
}

TEST_F(ReportTemplate, DatabaseTemplatesLiveInABlobFieldFoundByName) {
  TMemDataSet table;
  table.FieldDefs().Add("Name", ftString, 40);
  table.FieldDefs().Add("Layout", ftBlob);
  table.Open();
  TDataSource source;
  source.SetDataSet(&table);
  TppBDEPipeline pipeline(nullptr);
  pipeline.SetDataSource(&source);
  TppTemplateDBSettings* db = tmpl.DatabaseSettings();
  tmpl.SetSaveTo(stDatabase);
  db->SetName("Bugs by program");
  tmpl.Save();  // incomplete settings: nothing, silently
  EXPECT_EQ(table.RecordCount(), 0);
  db->SetDataPipeline(&pipeline);
  db->SetNameField("Name");
  db->SetTemplateField("Layout");
  tmpl.Save();
  tmpl.Save();  // found by name: replaced, not added
  EXPECT_EQ(table.RecordCount(), 1);
  ChangeLayout();
  db->SetName("BUGS BY PROGRAM");
  tmpl.Load();
  EXPECT_EQ(Shape(report()), saved);
  db->SetName("other");
  EXPECT_THROW(tmpl.Load(), ETemplateLoadError);
  db->SetTemplateField("Name");
  db->SetName("Bugs by program");
  EXPECT_EQ(MessageOf<ETemplateLoadError>([&] { tmpl.Load(); }), "Field is not a blob field: Name");
  EXPECT_THROW(tmpl.Save(), ETemplateSaveError);
}

}  // namespace

namespace {

// A report form that keeps its layout as a template loads it from there.
TEST_F(ReportTemplate, AReportSavedAsTemplateTakesItsLayoutWhenItsFormLoads) {
  tmpl.Save();
  const std::string form =
      "object Form1: TComponent\n"
      "  object Report1: TppReport\n"
      "    SaveAsTemplate = True\n"
      "    Template.FileName = '" + tmpl.FileName() + "'\n"
      "    Version = '3.01'\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TComponent> loaded(ReadComponentFromText(form, nullptr));
  auto* report = dynamic_cast<TppReport*>(loaded->FindComponent("Report1"));
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(Shape(report), saved);
  EXPECT_EQ(report->Template()->FileName(), tmpl.FileName());
}

}  // namespace
