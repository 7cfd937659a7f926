// Export to comma-separated and HTML files: the texts of the pieces, then
// golden files written through the File menu from a fixed database, and the
// failures (unknown format, a folder that cannot take the file, a write
// failing midway) that must leave the target untouched and the window usable.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>

#include <QTextBlock>
#include <QTextDocument>

#include "app/common/exportformat.h"
#include "app/exportfields/exportfields.h"
#include "app/main/bug.h"
#include "winctrls/tb97button.h"
#include "app/schema/schema.h"
#include "apptest.h"
#include "shownplace.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/exttab.h"
#include "platform/dao/core.h"

namespace {

TEST(ExportTexts, RecordsCellsColoursAndCodes) {
  EXPECT_EQ(CsvRecord({}), "\"\"\r\n");
  EXPECT_EQ(CsvRecord({"a\"b", "", "x\r\ny", "\"\""}), "\"a\"\"b\",\"\",\"x\r\ny\",\"\"\"\"\"\"\r\n");
  const std::pair<const char*, const char*> cells[] = {
      {"", "&nbsp;"}, {"a<b>c", "a_b_c"}, {"R&D", "R&amp;D"}, {"&lt;", "&amp;lt;"}, {"plain", "plain"}};
  for (auto [text, cell] : cells) EXPECT_EQ(HtmlCellText(text), cell);
  EXPECT_EQ(HtmlTitleText("Report~Number"), "Report Number");
  const std::pair<TColor, const char*> colours[] = {
      {0x78BCBC, "#BCBC78"}, {0xC4E1FF, "#FFE1C4"}, {0xFFFFFF, "#FFFFFF"}, {0x010203, "#030201"}};
  for (auto [colour, text] : colours) EXPECT_EQ(HtmlColour(colour), text);
  const std::pair<const char*, const char*> codes[] = {
      {"1", "New"}, {"3", "Fixed/Implemented"}, {"9", "Could Not Duplicate"}, {"0", "0"},
      {"", ""},     {"x\"y", "x\"y"},           {"10", "10"}};
  for (auto [code, text] : codes) EXPECT_EQ(StatusExportText(code), text);
  EXPECT_EQ(PriorityExportText("5"), "Very Low");
  EXPECT_EQ(PriorityExportText("6"), "6");
}

// The fixture's two entries as comma-separated records.
constexpr const char* kFirstRecord =
    "\"Tools & \"\"Co\"\" <1>\",\"1\",\"New\",\"High\",\"Say \"\"hi\"\" <now> & go\","
    "\"line one\r\nline two\",\"a.txt\"\r\n";
constexpr const char* kSecondRecord = "\"Tools & \"\"Co\"\" <1>\",\"2\",\"x\"\"y\",\"\",\"\",\"\",\"\"\r\n";
const std::vector<std::string> kCompleted{"Data set export completed sucessfully."};

// A database with one program of awkward name and two entries, the window
// started on it, and the save dialog and message boxes answered.
struct ExportWindow : ::testing::Test {
  apptest::Scratch scratch;
  TTestClock clock{EncodeDate(2026, 3, 4) + EncodeTime(10, 0, 0, 0)};
  std::string target = scratch.Dir() + "/out.csv";
  int filterIndex = 1;
  std::string progress;  // the status bar's count when the export completed
  std::unique_ptr<TDialogResponderScope> answers;
  TfrmBug* form = nullptr;
  std::function<void()> whileChoosing = [] {};  // another user at work while the file is chosen
  std::function<void()> onMessage = [] {};

  void SetUp() override {
    {
      dao::TDatabaseCore db(scratch.Database(), false, false, "");
      db.Execute("UPDATE Programs SET [Program] = 'Tools & \"Co\" <1>'");
      db.Execute(
          "INSERT INTO Reports (Identifier, Status, Priority, Description, ProgramNumber, ReportType, "
          "Report, Attachment) VALUES ('ID-1', '1', '2', 'Say \"hi\" <now> & go', 1, 'BugReport', "
          "'{\\rtf1 line one\\par line two}', 'a.txt')");
      db.Execute("INSERT INTO Reports (Status, ProgramNumber, ReportType) VALUES ('x\"y', 1, 'BugReport')");
    }
    auto settings = scratch.Settings();
    for (const char* column : {"Identifier", "Severity", "Area", "Version", "ReportedBy",
                               "ReportedDate", "Responsibility", "FixedBy", "FixedDate",
                               "FixedInVersion", "VerifiedBy", "VerifiedDate", "ReportType",
                               "Resolution", "Steps", "Workaround"})
      settings->WriteBool("Column Export", column, false);
    settings.reset();
    answers = std::make_unique<TDialogResponderScope>([this](TDialogRequest& r) {
      if (r.Text == kCompleted.front())
        progress = form->sbMain->Panels()->Items(1)->Text();
      if (r.Kind == TDialogKind::MessageBox) onMessage();
      if (r.Kind != TDialogKind::SaveFile)  // the overwrite prompt is answered Yes
        return std::find(r.Buttons.begin(), r.Buttons.end(), mrYes) != r.Buttons.end() ? mrYes : mrOk;
      auto* dialog = static_cast<TSaveDialog*>(r.Dialog);
      whileChoosing();
      dialog->SetFileName(target);
      dialog->SetFilterIndex(filterIndex);
      return mrOk;
    });
    form = apptest::StartMainWindow();
    ASSERT_FALSE(form->Terminating);
  }
  void TearDown() override { apptest::CloseMainWindow(form); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const TDialogRequest& r : answers->Requests())
      if (r.Kind == TDialogKind::MessageBox && r.Text.find("replace it?") == std::string::npos)
        texts.push_back(r.Text);
    return texts;
  }
  std::string Written() const {
    std::string s = "<no file>";
    ReadWholeFile(target, s);
    return s;
  }
  // Rows added by another user, then shown.
  void Store(std::initializer_list<const char*> statements) {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    for (const char* sql : statements) db.Execute(sql);
    form->wwtblProgram->Refresh();
    form->dsetBug->Refresh();
  }
  bool Unlocked() const {
    return form->pnlMain->Enabled() && form->mnuMain_File->Enabled() && !form->Busy;
  }
  // Programs "Second" (45 bug reports 3..47, each with its number in its
  // report memo) and "Third" (none); the user on an entry of Second a few
  // rows into the grid, which is scrolled.
  void OnAScrolledEntryOfASecondProgram() {
    {
      dao::TDatabaseCore db(scratch.Database(), false, false, "");
      db.Execute("INSERT INTO Programs ([Program]) VALUES ('Second')");
      db.Execute("INSERT INTO Programs ([Program]) VALUES ('Third')");
      for (int n = 3; n <= 47; ++n)
        db.Execute("INSERT INTO Reports (Status, ProgramNumber, ReportType, Description, Report) "
                   "VALUES ('1', 2, 'BugReport', 'e', '{\\rtf1 report " + std::to_string(n) + "}')");
    }
    Store({});
    ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Second"), {}));
    form->dsetBug->MoveBy(20);
    form->dsetBug->MoveBy(-2);
    Application->ProcessMessages();
    const apptest::TShownPlace place = apptest::ShownPlace(form);
    ASSERT_GT(place.row, 0);
    ASSERT_GT(place.top, 3) << "the grid is scrolled";
  }
  // The report pane shows the current entry's memo.
  bool PaneShowsTheEntry() const {
    return form->rtfReport->Text() == "report " + form->dsetBug->FieldByName("ReportNumber")->AsString();
  }
  // The list exports, of the program and of all programs.
  std::vector<TMenuItem*> ListCommands() const {
    return {form->mnuMain_File_Export_CurrentProgram_AllEntries,
            form->mnuMain_File_Export_CurrentProgram_OnlyBugReports,
            form->mnuMain_File_Export_AllPrograms_AllEntries,
            form->mnuMain_File_Export_AllPrograms_OnlyFeatureRequests};
  }
};

TEST_F(ExportWindow, CsvOfTheProgramDoublesEveryQuote) {
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  EXPECT_EQ(Written(), std::string(kFirstRecord) + kSecondRecord);
  EXPECT_EQ(Messages(), kCompleted);
  EXPECT_TRUE(Unlocked());
  EXPECT_EQ(scratch.Settings()->ReadString("Settings", "Export Dir", ""), scratch.Dir() + "/");
}

TEST_F(ExportWindow, OnlyTheEntriesTheFilterAdmitsWhetherOnOrOff) {
  // The export filters by the quick filter's buttons: "New" hidden leaves entry 2.
  form->tbStatusFilter_NewReport->SetDown(false);
  for (bool on : {false, true}) {
    form->dsetBug->SetFiltered(on);
    form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
    EXPECT_EQ(Written(), kSecondRecord) << on;
  }
}

TEST_F(ExportWindow, HtmlOfTheEntryEscapesEntryAndProgramText) {
  target = scratch.Dir() + "/out.htm";
  filterIndex = 2;
  form->mnuMain_File_Export_ThisRecord->Click();
  const std::string date = DateToStr(Date());
  const std::string program = "Tools &amp; \"Co\" _1_";
  EXPECT_EQ(Written(),
            "<HTML>\r\n<HEAD>\r\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\r\n"
            "<TITLE>Vantrel - Program " + program + " - " + date + " - Bug Report</TITLE>\r\n"
            "</HEAD>\r\n\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n\r\n<H1>Vantrel Bug Report</H1>\r\n\r\n"
            "<H2>Program: " + program + "</H2>\r\n\r\n<H2>Date: " + date + "</H2>\r\n\r\n"
            "<TABLE BORDER=1 ALIGN=\"left\">\r\n\r\n"
            "<TR BGCOLOR=\"#BCBC78\">\r\n<TD>Program</TD>\r\n<TD>Report Number</TD>\r\n"
            "<TD>Status</TD>\r\n<TD>Priority</TD>\r\n<TD>Description</TD>\r\n</TR>\r\n\r\n"
            "<TR BGCOLOR=\"#FFE1C4\">\r\n<TD>" + program + "</TD>\r\n<TD>1</TD>\r\n<TD>New</TD>\r\n"
            "<TD>High</TD>\r\n<TD>Say \"hi\" _now_ &amp; go</TD>\r\n</TR>\r\n\r\n"
            "<TR BGCOLOR=\"#BCBC78\">\r\n<TD COLSPAN=4>Report</TD>\r\n<TD COLSPAN=4>Attachment</TD>\r\n"
            "</TR>\r\n\r\n"
            "<TR BGCOLOR=\"#FFE1C4\">\r\n<TD COLSPAN=4>line one\r\nline two</TD>\r\n"
            "<TD COLSPAN=4>a.txt</TD>\r\n</TR>\r\n\r\n"
            "<TR BGCOLOR=\"#000000\">\r\n<TD ColSpan=20>_</TD>\r\n</TR>\r\n"
            "</TABLE></BODY></HTML>\r\n");
}

// Whatever stands at the chosen name: a device or a pipe takes the export in
// place, a link is followed, an older file keeps its permission bits, a new
// one gets the umask's, and a device that cannot take it is reported.
TEST_F(ExportWindow, TheTargetIsWrittenAsWhatItIs) {
  write_targets::ExpectSoundTargets(
      [&](const std::string& path) {
        target = path;
        const std::size_t before = Messages().size();
        form->mnuMain_File_Export_ThisRecord->Click();
        const std::vector<std::string> messages = Messages();
        EXPECT_TRUE(Unlocked());
        if (messages.size() != before + 1) return false;
        EXPECT_EQ(messages.back() == kCompleted.front(), messages.back().find(path) == std::string::npos)
            << messages.back();
        return messages.back() == kCompleted.front();
      },
      [](const std::string& bytes) { return bytes == kFirstRecord; }, ".csv");
}

TEST_F(ExportWindow, FailuresShowTheErrorLeaveTheTargetAndUnlock) {
  // An unknown format: its error only, no file.
  filterIndex = 3;
  form->mnuMain_File_Export_ThisRecord->Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Export Filter case error."});
  EXPECT_FALSE(FileExists(target));
  // A name taken by a folder: the error, the window usable again.
  filterIndex = 1;
  target = scratch.Dir() + "/taken.csv";
  std::filesystem::create_directory(target);
  form->mnuMain_File_Export_ThisRecord->Click();
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_TRUE(Unlocked());
  EXPECT_TRUE(std::filesystem::is_directory(target));
  // A write failing midway: the old file stays, no completion message.
  target = scratch.Dir() + "/old.csv";
  std::ofstream(target) << "old";
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100;
  ::setrlimit(RLIMIT_FSIZE, &small);
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_TRUE(Messages()[2].starts_with("The export to " + target + " failed: Cannot write file " + target))
      << Messages()[2];
  EXPECT_EQ(Written(), "old");
  EXPECT_TRUE(Unlocked());
  for (const auto& e : std::filesystem::directory_iterator(scratch.Dir()))
    EXPECT_FALSE(e.path().filename().string().starts_with("vex")) << "temporary file left";
}

TEST_F(ExportWindow, OnlyBugReportsFromTheFeatureTabGivesTheTabItsFilterAndLabelsBack) {
  Store({"INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) "
         "VALUES ('1', 1, 'FeatureRequest', 'wish')"});
  form->tcType->SetTabIndex(1);
  form->tcTypeChange(form->tcType);
  const std::string filter = form->dsetBug->Filter();
  target = scratch.Dir() + "/out.htm";
  filterIndex = 2;
  form->mnuMain_File_Export_CurrentProgram_OnlyBugReports->Click();
  const std::string page = Written();
  // Both bug reports under the bug-report labels; no feature request.
  EXPECT_NE(page.find("<TD COLSPAN=4>Report</TD>"), std::string::npos);
  EXPECT_NE(page.find("<TD>x\"y</TD>"), std::string::npos);
  EXPECT_EQ(page.find("wish"), std::string::npos);
  EXPECT_EQ(page.find("Request"), std::string::npos);
  EXPECT_EQ(form->dsetBug->Filter(), filter);
  EXPECT_EQ(form->dsetBug->FieldByName("Report")->DisplayLabel(), "Request");
  EXPECT_EQ(form->dsetBug->FieldByName("ReportedBy")->DisplayLabel(), "Requested~By");
}

TEST_F(ExportWindow, AllProgramsWriteEveryProgramsEntriesCountedAgainstTheWholeTable) {
  Store({"INSERT INTO Programs ([Program]) VALUES ('Second')",
         "INSERT INTO Reports (Status, Priority, ProgramNumber, ReportType, Description) "
         "VALUES ('2', '3', 2, 'BugReport', 'b')",
         "INSERT INTO Reports (Status, Priority, ProgramNumber, ReportType, Description) "
         "VALUES ('4', '1', 2, 'FeatureRequest', 'f')"});
  form->mnuMain_File_Export_AllPrograms_AllEntries->Click();
  EXPECT_EQ(Written(), std::string(kFirstRecord) + kSecondRecord +
            "\"Second\",\"3\",\"In Process\",\"Normal\",\"b\",\"\",\"\"\r\n"
            "\"Second\",\"4\",\"Verified\",\"Very High\",\"f\",\"\",\"\"\r\n");
  // The total is the entry table's count, taken at the start.
  EXPECT_EQ(progress, "4/4");
  EXPECT_EQ(Messages(), kCompleted);
}

// Every character the formats treat apart, in plain text and in RTF memos
// (escapes, code-page and Unicode characters, skipped groups, tabs, line and
// paragraph marks), plain memos with every kind of line end, and Nulls in
// every written column, exported to both formats.
TEST_F(ExportWindow, EverySpecialCharacterAndNullIsWrittenAsItsFormatWantsIt) {
  Store({"INSERT INTO Reports (Status, Priority, Description, ProgramNumber, ReportType, Report, Attachment) "
         "VALUES ('7', '4', 'tab\there \"q\" <a&b> caf\xC3\xA9 &amp;', 1, 'BugReport', "
         "'{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\unknown gone}\\f0 caf\\''e9 \\u8364? \\{x\\} "
         "a\\\\b\\tab t\\line l\\par <p>&\"q\"\\par}', 'x\"y<z>&')",
         "INSERT INTO Reports (ProgramNumber, ReportType, Report) "
         "VALUES (1, 'BugReport', '\xEF\xBB\xBFone\rtwo\nthree\r\n\r\nfive\r\n')",
         "INSERT INTO Reports (ProgramNumber, ReportType) VALUES (1, 'BugReport')"});
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  const std::string program = "\"Tools & \"\"Co\"\" <1>\"";
  EXPECT_EQ(Written(), std::string(kFirstRecord) + kSecondRecord + program +
            ",\"3\",\"No Longer Relevant\",\"Low\",\"tab\there \"\"q\"\" <a&b> caf\xC3\xA9 &amp;\","
            "\"caf\xC3\xA9 \xE2\x82\xAC {x} a\\b\tt\xE2\x80\xA8l\r\n<p>&\"\"q\"\"\",\"x\"\"y<z>&\"\r\n" +
            program + ",\"4\",\"\",\"\",\"\",\"one\r\ntwo\r\nthree\r\n\r\nfive\",\"\"\r\n" +
            program + ",\"5\",\"\",\"\",\"\",\"\",\"\"\r\n");

  target = scratch.Dir() + "/out.htm";
  filterIndex = 2;
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  const std::string page = Written();
  auto dataRows = [](const std::string& shortCells, const std::string& longCells) {
    return "<TR BGCOLOR=\"#FFE1C4\">\r\n" + shortCells + "</TR>\r\n\r\n"
           "<TR BGCOLOR=\"#BCBC78\">\r\n<TD COLSPAN=4>Report/Request</TD>\r\n<TD COLSPAN=4>Attachment</TD>\r\n"
           "</TR>\r\n\r\n<TR BGCOLOR=\"#FFE1C4\">\r\n" + longCells + "</TR>\r\n\r\n"
           "<TR BGCOLOR=\"#000000\">\r\n<TD ColSpan=20>_</TD>\r\n</TR>\r\n";
  };
  const std::string programCell = "<TD>Tools &amp; \"Co\" _1_</TD>\r\n";
  const std::string expected[] = {
      dataRows(programCell + "<TD>3</TD>\r\n<TD>No Longer Relevant</TD>\r\n<TD>Low</TD>\r\n"
                         "<TD>tab\there \"q\" _a&amp;b_ caf\xC3\xA9 &amp;amp;</TD>\r\n",
               "<TD COLSPAN=4>caf\xC3\xA9 \xE2\x82\xAC {x} a\\b\tt\xE2\x80\xA8l\r\n_p_&amp;\"q\"</TD>\r\n"
               "<TD COLSPAN=4>x\"y_z_&amp;</TD>\r\n"),
      dataRows(programCell + "<TD>4</TD>\r\n<TD>&nbsp;</TD>\r\n<TD>&nbsp;</TD>\r\n<TD>&nbsp;</TD>\r\n",
               "<TD COLSPAN=4>one\r\ntwo\r\nthree\r\n\r\nfive</TD>\r\n<TD COLSPAN=4>&nbsp;</TD>\r\n"),
      dataRows(programCell + "<TD>5</TD>\r\n<TD>&nbsp;</TD>\r\n<TD>&nbsp;</TD>\r\n<TD>&nbsp;</TD>\r\n",
               "<TD COLSPAN=4>&nbsp;</TD>\r\n<TD COLSPAN=4>&nbsp;</TD>\r\n")};
  for (const std::string& rows : expected) EXPECT_NE(page.find(rows), std::string::npos) << rows;
  EXPECT_TRUE(page.ends_with(expected[2] + "</TABLE></BODY></HTML>\r\n")) << page;
}

// A page of every program, read as a browser reads it: its title and head
// name no program, and each program's entries follow a heading of their own
// program; a program without entries of the kind exported has no heading.
TEST_F(ExportWindow, AnHtmlPageOfEveryProgramNamesEachProgramOverItsOwnEntries) {
  Store({"INSERT INTO Programs ([Program]) VALUES ('Beta Server')",
         "INSERT INTO Programs ([Program]) VALUES ('Gamma')",
         "INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) VALUES ('1', 2, 'BugReport', 'beta one')",
         "INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) VALUES ('1', 2, 'BugReport', 'beta two')",
         "INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) VALUES ('1', 3, 'FeatureRequest', 'gamma wish')"});
  // The user works on Beta Server when exporting.
  ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Beta Server"), {}));
  target = scratch.Dir() + "/all.htm";
  filterIndex = 2;
  const std::string tools = "Tools & \"Co\" _1_";
  struct Case {
    TMenuItem* command;
    std::vector<std::string> sections;  // headings ("P:") and descriptions ("E:") in page order
  } cases[] = {
      {form->mnuMain_File_Export_AllPrograms_AllEntries,
       {"P:" + tools, "E:Say \"hi\" _now_ & go", "P:Beta Server", "E:beta one", "E:beta two", "P:Gamma",
        "E:gamma wish"}},
      {form->mnuMain_File_Export_AllPrograms_OnlyBugReports,
       {"P:" + tools, "E:Say \"hi\" _now_ & go", "P:Beta Server", "E:beta one", "E:beta two"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command->Caption());
    c.command->Click();
    QTextDocument page;
    page.setHtml(QString::fromStdString(Written()));
    const std::string title = page.metaInformation(QTextDocument::DocumentTitle).toStdString();
    EXPECT_TRUE(title.starts_with("Vantrel - All Programs - " + DateToStr(Date()))) << title;
    std::vector<std::string> sections;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
      const std::string text = block.text().toStdString();
      if (block.blockFormat().headingLevel() == 2 && text.starts_with("Program: "))
        sections.push_back("P:" + text.substr(9));
      else if (text.starts_with("Say") || text.starts_with("beta") || text.starts_with("gamma"))
        sections.push_back("E:" + text);
    }
    EXPECT_EQ(sections, c.sections);
  }
  // One program's page keeps its name in the title and the head.
  target = scratch.Dir() + "/one.htm";
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  const std::string one = Written();
  EXPECT_NE(one.find("<TITLE>Vantrel - Program Beta Server - "), std::string::npos);
  EXPECT_NE(one.find("<H2>Program: Beta Server</H2>\r\n\r\n<H2>Date: "), std::string::npos);
}

// An export moves through the tables; afterwards the window shows the program
// and entry it showed before, in every scope, and the panes show that entry.
TEST_F(ExportWindow, TheWindowShowsTheProgramAndEntryItShowedBefore) {
  Store({"INSERT INTO Programs ([Program]) VALUES ('Second')",
         "INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) VALUES ('1', 2, 'BugReport', 'b')",
         "INSERT INTO Reports (Status, ProgramNumber, ReportType, Description) VALUES ('1', 1, 'BugReport', 'c')"});
  TMenuItem* const commands[] = {form->mnuMain_File_Export_CurrentProgram_AllEntries,
                                 form->mnuMain_File_Export_CurrentProgram_OnlyBugReports,
                                 form->mnuMain_File_Export_AllPrograms_AllEntries,
                                 form->mnuMain_File_Export_ThisRecord};
  for (TMenuItem* command : commands) {
    form->dsetBug->First();
    ASSERT_EQ(form->dsetBug->FieldByName("ReportNumber")->AsInteger(), 1);
    command->Click();
    EXPECT_EQ(Messages().back(), kCompleted.front()) << command->Caption();
    EXPECT_EQ(form->wwtblProgram->FieldByName("ProgramNumber")->AsInteger(), 1) << command->Caption();
    EXPECT_EQ(form->dsetBug->FieldByName("ReportNumber")->AsInteger(), 1) << command->Caption();
    EXPECT_EQ(form->rtfReport->Text(), "line one\r\nline two") << command->Caption();
    EXPECT_TRUE(Unlocked());
  }
}

// However a list export ends (written, or failing as the folder cannot
// take the file), the window comes back to its program and its entry, on the
// same grid row below the same top entry, with the panes on it; the outcome
// is told once it is back.
TEST_F(ExportWindow, TheWindowComesBackToItsPlaceHoweverAnExportEnds) {
  OnAScrolledEntryOfASecondProgram();
  const apptest::TShownPlace before = apptest::ShownPlace(form);
  ASSERT_TRUE(PaneShowsTheEntry());
  const std::string folder = scratch.Dir() + "/readonly";
  std::filesystem::create_directory(folder);
  std::filesystem::permissions(folder, std::filesystem::perms(0555));
  for (bool writable : {true, false}) {
    for (TMenuItem* command : ListCommands()) {
      const std::string name = command->Name() + (writable ? " written" : " failed");
      target = (writable ? scratch.Dir() : folder) + "/out.csv";
      std::optional<apptest::TShownPlace> told;
      onMessage = [&] { told = apptest::ShownPlace(form); };
      {
        apptest::TWithoutPermissionOverride limited;
        command->Click();
      }
      EXPECT_EQ(apptest::ShownPlace(form), before) << name;
      ASSERT_TRUE(told.has_value()) << name;
      EXPECT_EQ(*told, before) << name;
      if (writable) EXPECT_EQ(Messages().back(), kCompleted.front()) << name;
      else EXPECT_TRUE(Messages().back().starts_with("The export to " + target + " failed")) << name;
      EXPECT_TRUE(PaneShowsTheEntry()) << name;
      EXPECT_TRUE(Unlocked()) << name;
    }
  }
  std::filesystem::permissions(folder, std::filesystem::perms(0755));
}

// The export's labels and filter come and go without the grid noticing: its
// columns keep their widths and the window its look.
TEST_F(ExportWindow, TheGridsColumnsKeepTheirWidthsThroughAnExport) {
  OnAScrolledEntryOfASecondProgram();
  auto widths = [this] {
    std::vector<int> w;
    for (int c = 0; c < form->dbgBug->ColCount(); ++c) w.push_back(form->dbgBug->GetColWidth(c));
    return w;
  };
  const std::vector<int> before = widths();
  for (TMenuItem* command : ListCommands()) {
    command->Click();
    Application->ProcessMessages();
    EXPECT_EQ(widths(), before) << command->Name();
  }
}

// Another user deletes the user's entry, or makes it one the tab does not
// show, while the file is chosen: the window is not taken to it afterwards,
// but stays on its program, on an entry the tab shows, the panes on that.
TEST_F(ExportWindow, AnEntryGoneOrHiddenMeanwhileLeavesTheWindowOnItsProgram) {
  OnAScrolledEntryOfASecondProgram();
  const std::string changes[] = {"DELETE FROM Reports WHERE ReportNumber = ",
                                 "UPDATE Reports SET ReportType = 'FeatureRequest' WHERE ReportNumber = "};
  for (const std::string& change : changes) {
    for (TMenuItem* command : {form->mnuMain_File_Export_CurrentProgram_AllEntries,
                               form->mnuMain_File_Export_AllPrograms_AllEntries}) {
      const std::string entry = form->dsetBug->FieldByName("ReportNumber")->AsString();
      whileChoosing = [&] {
        dao::TDatabaseCore db(scratch.Database(), false, false, "");
        db.Execute(change + entry);
      };
      command->Click();
      whileChoosing = [] {};
      const std::string name = change + entry + " " + command->Name();
      EXPECT_EQ(Messages().back(), kCompleted.front()) << name;
      EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "Second") << name;
      EXPECT_NE(form->dsetBug->FieldByName("ReportNumber")->AsString(), entry) << name;
      EXPECT_EQ(form->dsetBug->FieldByName("ReportType")->AsString(), "BugReport") << name;
      EXPECT_TRUE(PaneShowsTheEntry()) << name;
      EXPECT_TRUE(Unlocked()) << name;
    }
  }
}

// Going back is not read step by step: after an export the window's entry
// controls show one record (the entry gone back to), however much the
// export moved, and a program table the export did not move is not moved.
TEST_F(ExportWindow, AfterAnExportTheWindowReadsItsEntryOnceAndAProgramThatStayedNotAtAll) {
  OnAScrolledEntryOfASecondProgram();
  for (TMenuItem* command : ListCommands()) {
    apptest::TFollower entries(form->dsetBug), programs(form->wwtblProgram);
    command->Click();
    EXPECT_EQ(Messages().back(), kCompleted.front()) << command->Name();
    EXPECT_EQ(entries.shown, 1) << command->Name();
    if (command->Parent() == form->mnuMain_File_Export_CurrentProgram) {
      EXPECT_EQ(programs.shown, 0) << command->Name();
    }
  }
}

TEST_F(ExportWindow, AReadOnlyFolderGivesTheErrorAndChangesNothing) {
  const std::string folder = scratch.Dir() + "/readonly";
  std::filesystem::create_directory(folder);
  target = folder + "/old.csv";
  std::ofstream(target) << "old";
  std::filesystem::permissions(folder, std::filesystem::perms(0555));
  {
    apptest::TWithoutPermissionOverride limited;
    form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  }
  std::filesystem::permissions(folder, std::filesystem::perms(0755));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "The export to " + target + " failed: Cannot write file " + target +
                               ": cannot create a temporary file in '" + folder + "/': Permission denied");
  EXPECT_EQ(Written(), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  EXPECT_TRUE(Unlocked());
}

TEST_F(ExportWindow, TheFieldsWindowShowsAndStoresTheChoice) {
  for (bool ok : {false, true}) {
    std::vector<bool> shown;
    TDialogResponderScope fields{[&](TDialogRequest& r) {
      auto* w = dynamic_cast<TfrmExportFields*>(r.Dialog);
      if (!w) return mrOk;
      EXPECT_EQ(w->Caption(), "Select Fields To Export");
      for (TCheckBox* box : w->Boxes) shown.push_back(box->Checked());
      w->Boxes[0]->SetChecked(false);  // Status
      w->Boxes[13]->SetChecked(true);  // Identifier
      if (!ok) return mrCancel;
      w->btnOk->Click();
      return mrOk;
    }};
    form->mnuMain_File_Export_SetExportFields->Click();
    ASSERT_EQ(shown.size(), 23u);
    EXPECT_TRUE(shown[0]);  // Status: the first pass was cancelled
    EXPECT_FALSE(shown[13]);  // Identifier, as the fixture stored it
    EXPECT_EQ(form->Reg->ReadBool("Column Export", "Status", true), !ok);
    EXPECT_EQ(form->Reg->ReadBool("Column Export", "Identifier", true), ok);
  }
}

// Run as a program of its own by the test below, never by itself: an export
// into the folder that VANTREL_TEST_EXPORT_INTO names, killed midway by the
// signal of the file size limit.
TEST_F(ExportWindow, KilledMidwayInAProgramOfItsOwn) {
  const char* into = std::getenv("VANTREL_TEST_EXPORT_INTO");
  if (into == nullptr) GTEST_SKIP() << "started by KilledAndFailingExportsLeaveTheTargetAndNoTemporaryFile";
  target = std::string(into) + "/old.csv";
  std::signal(SIGXFSZ, SIG_DFL);
  rlimit small{100, 100};
  ::setrlimit(RLIMIT_FSIZE, &small);
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
}

// An export killed midway leaves its temporary file beside the target; the
// next export removes it. Every open, write and rename of an export may fail:
// the old target stays and no temporary file is left.
TEST_F(ExportWindow, KilledAndFailingExportsLeaveTheTargetAndNoTemporaryFile) {
  const std::string folder = scratch.Dir() + "/out";
  std::filesystem::create_directory(folder);
  target = folder + "/old.csv";
  std::ofstream(target) << "old";
  auto temporaries = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      n += e.path().filename().string().starts_with("vex");
    return n;
  };
  // A program of its own: a fork of this one could not run its windows.
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.push_back(*e);
  environment.push_back("VANTREL_TEST_EXPORT_INTO=" + folder);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=ExportWindow.KilledMidwayInAProgramOfItsOwn";
  std::string self = "/proc/self/exe";
  char* argv[] = {self.data(), filter.data(), nullptr};
  const pid_t child = ::fork();
  if (child == 0) {
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(Written(), "old");
  EXPECT_EQ(temporaries(), 1) << "the killed export's";
  form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
  EXPECT_EQ(Written(), std::string(kFirstRecord) + kSecondRecord);
  EXPECT_EQ(temporaries(), 0) << "removed by the next export";

  std::ofstream(target) << "old";
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Rename}) {
    const int runs = FailEachCall(
        folder, call, [&] { form->mnuMain_File_Export_CurrentProgram_AllEntries->Click(); },
        [&](int n) {
          EXPECT_EQ(Written(), "old") << int(call) << " #" << n;
          EXPECT_EQ(temporaries(), 0) << int(call) << " #" << n;
          EXPECT_TRUE(Unlocked());
          EXPECT_NE(Messages().back().find("No space left on device"), std::string::npos) << Messages().back();
        });
    EXPECT_GE(runs, 1) << int(call);
    EXPECT_EQ(Written(), std::string(kFirstRecord) + kSecondRecord);
    std::ofstream(target) << "old";
  }
}

}  // namespace
