// The report windows run from the main window: what a preview shows, the
// preview's placement and zoom kept in the settings, the labels by kind,
// printing to the PDF printer, and the main window given back as it was
// (with a failed run telling why).

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "../report/command_output.h"
#include "app/main/bug.h"
#include "app/reports/reportlayout.h"
#include "app/reports/reports.h"
#include "apptest.h"
#include "shownplace.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/rtf.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/dao/core.h"
#include "platform/classlib/db/datasource.h"
#include "report/components/pprichtx.h"
#include "report/model/ppreport.h"
#include "report/output/pppage.h"
#include "report/output/pppreview.h"
#include "report/output/ppprintr.h"
#include "report/output/ppprndlg.h"
#include "report/output/ppviewr.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

// The texts drawn on the preview's current page.
std::vector<std::string> PageTexts(TppPrintPreview* preview) {
  std::vector<std::string> texts;
  TppPage* page = preview->ppViewer1->ScreenDevice()->CurrentPage();
  for (int i = 0; page && i < page->DrawCommandCount(); ++i)
    if (auto* t = dynamic_cast<TppDrawText*>(page->DrawCommands(i))) texts.push_back(t->Text);
  return texts;
}

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Counts the events of one kind a widget receives while it lives.
struct TEventCounter : QObject {
  TEventCounter(QWidget* widget, QEvent::Type type) : type(type) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type) ++count;
    return false;
  }
  QEvent::Type type;
  int count = 0;
};

// A real click in the middle of a button (a windowless one through its parent).
void ClickButton(TControl* button) {
  if (auto* window = dynamic_cast<TWinControl*>(button))
    QTest::mouseClick(vantrel::qt::ClientWidget(*window), Qt::LeftButton);
  else
    QTest::mouseClick(vantrel::qt::ClientWidget(*button->Parent()), Qt::LeftButton, {},
                      QPoint(button->Left() + button->Width() / 2, button->Top() + button->Height() / 2));
  Application->ProcessMessages();
}

// Program 1 holds entries 1..45 ("Entry n", identifiers in reverse order,
// even ones In Process, odd ones Fixed; 1, 4, 7... feature requests). Program 2 ("Second") holds one entry
// without a Workaround, then one with; program 3 ("Third") has none.
struct ReportsTest : apptest::MainWindowTest {
  std::function<void(TppPrintPreview*)> onPreview = [](TppPrintPreview* p) { p->Close(); };
  // Called as the preview opens, before its first page is made.
  std::function<void(TppPrintPreview*)> answerPreviewFirst = [](TppPrintPreview*) {};
  std::string pdf;
  bool cancelPrint = false;  // the print dialog is cancelled
  std::vector<std::string> messages;
  std::function<void()> onMessage = [] {};

  void Prepare() override {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Second')");
    db.Execute("INSERT INTO Programs ([Program]) VALUES ('Third')");
    for (int n = 1; n <= 45; ++n)
      db.Execute("INSERT INTO Reports (Description, Identifier, Status, Priority, ProgramNumber, "
                 "ReportType) VALUES ('Entry " + std::to_string(n) + "', 'ID" + std::to_string(100 - n) +
                 "', '" + (n % 2 ? "3" : "2") + "', '3', 1, '" +
                 (n % 3 == 1 ? "FeatureRequest" : "BugReport") + "')");
    db.Execute("INSERT INTO Reports (Description, ProgramNumber, ReportType) "
               "VALUES ('Other program', 2, 'BugReport')");
    db.Execute("INSERT INTO Reports (Description, ProgramNumber, ReportType, Workaround) "
               "VALUES ('With workaround', 2, 'BugReport', '{\\rtf1 WA text\\par}')");
  }
  TModalResult Answer(TDialogRequest& r) override {
    if (auto* preview = dynamic_cast<TppPrintPreview*>(r.Dialog)) {
      answerPreviewFirst(preview);
      Application->ProcessMessages();
      onPreview(preview);
      return mrNone;
    }
    if (auto* dialog = dynamic_cast<TppPrintDialog*>(r.Dialog)) {
      if (cancelPrint) return mrCancel;
      TppPrinterSetup setup;  // the built-in PDF printer, whatever the machine has
      setup.Assign(dialog->Printer->PrinterSetup());
      setup.SetPrinterName("PDF");
      dialog->Printer->SetPrinterSetup(setup);
      ClickButton(dialog->btnOK);
      return mrNone;
    }
    if (r.Kind == TDialogKind::SaveFile) {
      static_cast<TSaveDialog*>(r.Dialog)->SetFileName(pdf);
      return mrOk;
    }
    if (std::find(r.Buttons.begin(), r.Buttons.end(), mrYes) != r.Buttons.end())
      return mrYes;  // replacing the file asked for
    if (r.Kind == TDialogKind::MessageBox) {
      messages.push_back(r.Text);
      onMessage();
      return mrOk;
    }
    return mrNone;  // the cancel dialog closes by itself when the pages are out
  }
  std::vector<int> GridRows() {
    std::vector<int> rows;
    for (form->dsetBug->First(); !form->dsetBug->Eof(); form->dsetBug->Next())
      rows.push_back(form->dsetBug->FieldByName("ReportNumber")->AsInteger());
    return rows;
  }
  // Walks to the entry as the user would (the grid's cursor keys).
  void GoToEntry(int number) {
    for (form->dsetBug->First(); !form->dsetBug->Eof(); form->dsetBug->Next())
      if (form->dsetBug->FieldByName("ReportNumber")->AsInteger() == number) return;
  }
  std::string PdfText() { return CommandOutput("pdftotext -layout '" + pdf + "' - 2>&1"); }
  // What the main window shows of its entries: the current entry, the grid
  // row it stands on and the entry on the grid's top row, the record pane's
  // status, and the code tables' rows for the entry.
  struct Shown {
    apptest::TShownPlace place;
    std::string paneStatus, status, priority;
    bool operator==(const Shown&) const = default;
  };
  Shown WhatTheWindowShows() {
    return {apptest::ShownPlace(form), form->cmbStatus->Text(),
            form->wwtaStatus->FieldByName("Status")->AsString(),
            form->wwtaPriority->FieldByName("Priority")->AsString()};
  }
  // The report of the report window the main window is running.
  static TppReport* RunningReport() {
    for (int i = 0; i < Application->ComponentCount(); ++i)
      if (auto* window = dynamic_cast<TfrmReports*>(Application->Components(i))) return window->ppReport1;
    return nullptr;
  }
  // The grid scrolled down, its current entry two rows above the bottom row.
  void ScrollDown() {
    form->dsetBug->First();
    form->dsetBug->MoveBy(20);
    form->dsetBug->MoveBy(-2);
    Application->ProcessMessages();
  }
  // The texts on the opening page of the preview the run shows (its status bar in shownStatus).
  std::string shownStatus;
  std::vector<std::string> PreviewTexts(const std::function<void()>& run) {
    std::vector<std::string> texts;
    onPreview = [&](TppPrintPreview* p) {
      texts = PageTexts(p);
      shownStatus = p->pnlStatusBar->SimpleText();
      p->Close();
    };
    run();
    return texts;
  }
};

TEST_F(ReportsTest, SingleEntryShowsOnlyThatEntryAndLeavesTheGridAsItWas) {
  form->tbStatusFilter_Fixed->SetDown(false);  // the quick filter hides the odd entries
  form->ApplyFilter();
  form->dsetBug->SetIndexName("Identifier");  // sorted in reverse
  const std::vector<int> before = GridRows();
  GoToEntry(42);
  const auto texts = PreviewTexts([this] { form->PrintSingleEntry(true); });
  EXPECT_TRUE(Has(texts, "Entry 42")) << ::testing::PrintToString(texts);
  EXPECT_TRUE(Has(texts, "Bug Report"));
  for (const char* other : {"Entry 41", "Entry 43", "Entry 4", "Other program"})
    EXPECT_FALSE(Has(texts, other)) << other;
  EXPECT_EQ(shownStatus.substr(0, 11), "Page 1 of 1");
  EXPECT_EQ(form->dsetBug->IndexName(), "Identifier");
  EXPECT_EQ(GridRows(), before);
}

TEST_F(ReportsTest, PreviewPlacementAndZoomComeFromTheSettingsAndGoBack) {
  struct Seen {
    TRect bounds;
    TWindowState state;
    TppZoomSettingType zoom;
  };
  std::vector<Seen> seen;
  // Each preview: what it opened with, then what the user does before closing.
  std::vector<std::function<void(TppPrintPreview*)>> actions = {
      [](TppPrintPreview* p) { p->SetBounds(30, 40, 500, 400); ClickButton(p->spbPreviewWidth); },
      [](TppPrintPreview* p) { p->SetWindowState(wsMaximized); },
      [](TppPrintPreview* p) { p->SetWindowState(wsNormal); ClickButton(p->spbPreview100Percent); },
  };
  size_t run = 0;
  onPreview = [&](TppPrintPreview* p) {
    seen.push_back({p->BoundsRect(), p->WindowState(), p->ppViewer1->ZoomSetting()});
    actions[run++](p);
    p->Close();
  };
  for (size_t i = 0; i < actions.size(); ++i) form->PrintListingThisProgram(true, 0);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].zoom, zsWholePage);  // nothing stored yet
  EXPECT_EQ(seen[1].bounds, (TRect{30, 40, 530, 440}));
  EXPECT_EQ(seen[1].zoom, zsPageWidth);
  EXPECT_EQ(seen[1].state, wsNormal);
  EXPECT_EQ(seen[2].state, wsMaximized);
  EXPECT_EQ(seen[2].zoom, zsPageWidth);  // the maximised one wrote its zoom too
  auto reg = scratch.Settings();
  EXPECT_EQ(reg->ReadInteger("Options", "Preview_Zoom", 0), 2);
  EXPECT_FALSE(reg->ReadBool("Options", "PreviewForm_WindowMaximized", true));
  // Stored values off the screen are pulled back; an unknown zoom is ignored.
  reg->WriteInteger("Options", "PreviewForm_WindowTop", Screen->Height() + 50);
  reg->WriteInteger("Options", "PreviewForm_WindowLeft", Screen->Width() + 50);
  reg->WriteInteger("Options", "Preview_Zoom", 7);
  reg.reset();
  actions.push_back([](TppPrintPreview*) {});
  form->PrintListingThisProgram(true, 0);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[3].bounds.Top, Screen->Height() / 2);
  EXPECT_EQ(seen[3].bounds.Left, Screen->Width() / 2);
  EXPECT_EQ(seen[3].zoom, zsWholePage);
}

TEST_F(ReportsTest, MaximisedPreviewKeepsTheLastNormalPlacement) {
  auto reg = scratch.Settings();
  const std::pair<const char*, int> stored[] = {{"PreviewForm_WindowTop", 20},
                                                {"PreviewForm_WindowLeft", 25},
                                                {"PreviewForm_WindowWidth", 610},
                                                {"PreviewForm_WindowHeight", 420}};
  for (auto [name, value] : stored) reg->WriteInteger("Options", name, value);
  reg->WriteBool("Options", "PreviewForm_WindowMaximized", true);
  reg.reset();
  TWindowState opened = wsNormal;
  onPreview = [&](TppPrintPreview* p) {
    opened = p->WindowState();
    p->Close();
  };
  form->PrintComprehensiveThisProgram(true, 1);
  EXPECT_EQ(opened, wsMaximized);
  reg = scratch.Settings();
  for (auto [name, value] : stored) EXPECT_EQ(reg->ReadInteger("Options", name, 0), value) << name;
  EXPECT_TRUE(reg->ReadBool("Options", "PreviewForm_WindowMaximized", false));
}

TEST_F(ReportsTest, LabelsFollowTheKind) {
  struct Case {
    std::function<void()> run;
    std::vector<const char*> shown, hidden;
  };
  const Case cases[] = {
      {[this] { form->PrintListingThisProgram(true, 0); },
       {"Bug Reports & Feature Requests", "Reported/Requested", "Fixed/Implemented", "Entry 3"}, {}},
      {[this] { form->PrintListingThisProgram(true, 1); },
       {"Bug Reports", "Reported", "Fixed", "Entry 3"}, {"Entry 1"}},
      {[this] { form->PrintListingAllPrograms(true, 2); },
       {"Feature Requests", "Requested", "Implemented", "Entry 1"}, {"Entry 3"}},
      {[this] { form->PrintComprehensiveThisProgram(true, 0); },
       {"Bug Reports & Feature Requests", "Reported/Requested By", "Reported/Requested Date",
        "Fixed/Implemented By", "Fixed/Implemented Date"}, {}},
      {[this] { form->PrintComprehensiveAllPrograms(true, 1); },
       {"Bug Reports", "Reported By", "Reported Date", "Fixed By", "Fixed Date"}, {}},
      {[this] { form->PrintComprehensiveThisProgram(true, 2); },
       {"Feature Requests", "Requested By", "Requested Date", "Implemented By", "Implemented Date"},
       {}},
      {[this] { form->PrintSingleEntry(true); },
       {"Bug Report", "Reported By", "Fixed Date", "Report", "Workaround", "Steps To Recreate"}, {}},
      {[this] {
         form->tcType->SetTabIndex(1);
         form->tcTypeChange(form->tcType);
         form->PrintSingleEntry(true);
       },
       {"Feature Request", "Requested By", "Implemented Date", "Request", "New Ideas",
        "Implementation Notes"}, {"Bug Report"}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const std::vector<std::string> texts = PreviewTexts(cases[i].run);
    for (const char* text : cases[i].shown) EXPECT_TRUE(Has(texts, text)) << text;
    for (const char* text : cases[i].hidden) EXPECT_FALSE(Has(texts, text)) << text;
  }
}

size_t Occurrences(const std::string& text, const std::string& word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
  return count;
}

TEST_F(ReportsTest, OpeningAReportMenuNamesTheTabsKindInTheSingleItem) {
  const std::pair<int, const char*> tabs[] = {
      {1, "&This Feature Request..."}, {0, "&This Bug Report..."}};
  for (auto [tab, caption] : tabs) {
    form->tcType->SetTabIndex(tab);
    form->tcTypeChange(form->tcType);
    form->mnuMain_View_Preview->Click();
    EXPECT_EQ(form->mnuMain_View_Preview_Single->Caption(), caption);
    for (TPopupMenu* popup : {form->popPrintPreview, form->popPrint}) {
      TMenuItem* single = popup->Items()->Items(0);
      single->SetCaption("");
      popup->OnPopup(popup);
      EXPECT_EQ(single->Caption(), caption) << popup->Name();
    }
  }
}

TEST_F(ReportsTest, PrintsToThePdfPrinterAndHidesEmptySectionsOnlyForAllPrograms) {
  pdf = scratch.Dir() + "/report.pdf";
  ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Second"), {}));
  // All programs show a Workaround title for the one entry that has one;
  // this program shows all five sections of both entries.
  struct Case {
    std::function<void()> print;
    size_t titles;
  };
  const Case cases[] = {{[this] { form->PrintComprehensiveAllPrograms(false, 0); }, 1},
                        {[this] { form->PrintComprehensiveThisProgram(false, 0); }, 2}};
  for (const Case& c : cases) {
    std::filesystem::remove(pdf);
    c.print();
    const std::string text = PdfText();
    EXPECT_EQ(Occurrences(text, "Workaround"), c.titles) << text;
    EXPECT_EQ(Occurrences(text, "WA text"), 1u) << text;
    EXPECT_NE(text.find("Page 1 of "), std::string::npos);
  }
  const std::string info = CommandOutput("pdfinfo '" + pdf + "' 2>&1");
  EXPECT_NE(info.find("612 x 792 pts (letter)"), std::string::npos) << info;
  const size_t title = info.find("Title:");
  ASSERT_NE(title, std::string::npos) << info;
  const std::string line = info.substr(title + 6, info.find('\n', title) - title - 6);
  EXPECT_EQ(line.substr(line.find_first_not_of(' ')), "Vantrel") << info;
  EXPECT_TRUE(messages.empty()) << messages.front();
}

// All programs, printed and read back: a program's heading stands above its
// first entry (and again atop each further page it fills), never above a
// second entry on the same page.
TEST_F(ReportsTest, AllProgramsReportsHeadEachProgramOnceAboveItsFirstEntry) {
  pdf = scratch.Dir() + "/programs.pdf";
  const std::function<void()> runs[] = {[this] { form->PrintListingAllPrograms(false, 0); },
                                        [this] { form->PrintComprehensiveAllPrograms(false, 0); }};
  for (const auto& run : runs) {
    std::filesystem::remove(pdf);
    run();
    const std::string text = PdfText();
    const size_t first = text.find("Program:"), second = text.find("Second");
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, text.find("Entry 1"));
    EXPECT_EQ(text.rfind("Program:"), text.rfind("Program:", second)) << text;
    const size_t other = text.find("Other program");
    EXPECT_EQ(Occurrences(text.substr(other, text.find("With workaround") - other), "Program:"), 0u)
        << text;
    EXPECT_LT(second, other) << text;
  }
  EXPECT_TRUE(messages.empty());
}

// A word of a PDF page and its box, in points from the page's top left.
struct PdfWord {
  std::string text;
  double left, top, right;
};

std::vector<PdfWord> PdfWords(const std::string& pdf) {
  const std::string html = CommandOutput("pdftotext -bbox '" + pdf + "' - 2>&1");
  static const std::regex word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
  std::vector<PdfWord> words;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
    words.push_back({(*it)[4], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3])});
  return words;
}

// The listing printed and read back word by word: between the column titles
// and the footer every word ends before the next column's title starts, so
// no text runs into its neighbour; the longest statuses stay on one line.
TEST_F(ReportsTest, ListingTextsStayInsideTheirColumns) {
  {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    for (const char* status : {"7", "8", "9"})
      db.Execute(std::string("INSERT INTO Reports (Description, Status, Priority, ProgramNumber, "
                             "ReportType) VALUES ('Long status', '") + status + "', '1', 1, 'FeatureRequest')");
  }
  form->dsetBug->Refresh();
  pdf = scratch.Dir() + "/listing.pdf";
  form->PrintListingThisProgram(false, 0);
  const std::string text = PdfText();
  for (const char* status : {"No Longer Relevant", "Will Not Be Fixed/Implemented", "Could Not Duplicate"})
    EXPECT_NE(text.find(status), std::string::npos) << status << text;
  const std::vector<PdfWord> words = PdfWords(pdf);
  const auto number = std::find_if(words.begin(), words.end(), [](const PdfWord& w) { return w.text == "Number"; });
  const auto page = std::find_if(words.begin(), words.end(), [](const PdfWord& w) { return w.text == "Page"; });
  ASSERT_TRUE(number != words.end() && page != words.end()) << text;
  std::vector<PdfWord> titles;
  for (const char* title : {"Number", "Status", "Priority", "Severity", "Description", "Area", "Version",
                            "Responsibility", "Reported/Requested", "Fixed/Implemented", "Verified",
                            "Type", "Identifier"}) {
    const auto it = std::find_if(words.begin(), words.end(), [&](const PdfWord& w) {
      return w.text == title && std::abs(w.top - number->top) < 1;
    });
    ASSERT_NE(it, words.end()) << title << " is a word of its own";
    titles.push_back(*it);
  }
  for (size_t i = 0; i + 1 < titles.size(); ++i)
    EXPECT_LE(titles[i].right, titles[i + 1].left) << titles[i].text;
  int checked = 0;
  for (const PdfWord& w : words) {
    if (w.top < number->top + 1 || w.top > page->top - 1) continue;
    size_t column = 0;
    while (column + 1 < titles.size() && titles[column + 1].left <= w.left + 0.5) ++column;
    if (column + 1 == titles.size()) continue;  // the last column ends at the page's edge
    EXPECT_LE(w.right, titles[column + 1].left) << w.text << " in " << titles[column].text;
    ++checked;
  }
  EXPECT_GT(checked, 45 * 4);
}

// A listing prints each date whole, as the main window shows it: the date
// alone (the options' default) or, with Options ▸ DateTimeFormat 1, with its
// time on the line below, in the row made taller for it; never cut inside.
TEST_F(ReportsTest, ListingDatesPrintWholeAsTheWindowShowsThem) {
  {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    auto stamp = db.Conn().Prepare(
        "UPDATE Reports SET ReportedDate = ?, FixedDate = ?, VerifiedDate = ? WHERE ReportNumber <= 3");
    const double when = EncodeDate(2026, 12, 28).Value + EncodeTime(22, 58, 58, 0).Value;
    for (int i = 1; i <= 3; ++i) stamp->Bind(i, dao::Cell::MakeReal(when));
    stamp->Step();
  }
  form->dsetBug->Refresh();
  pdf = scratch.Dir() + "/dates.pdf";
  const std::string date = "12/28/2026", time = "10:58:58";
  for (int format : {0, 1}) {
    SCOPED_TRACE(format);
    form->Reg->WriteInteger("Options", "DateTimeFormat", format);
    form->ApplyRowHeightAndDates();
    std::filesystem::remove(pdf);
    form->PrintListingThisProgram(false, 0);
    const std::vector<PdfWord> words = PdfWords(pdf);
    auto first = [&](const std::string& text) {
      return *std::find_if(words.begin(), words.end(), [&](const PdfWord& w) { return w.text == text; });
    };
    // The date columns lie between the Reported/Requested title and the Type
    // one; each ends where the next title starts.
    const double from = first("Reported/Requested").left - 0.5, to = first("Type").left - 0.5;
    const double ends[] = {first("Fixed/Implemented").left, first("Verified").left, to + 0.5};
    std::vector<double> rows;  // the tops of the rows of entries 1 to 4
    for (size_t i = 0; i + 1 < words.size() && rows.size() < 4; ++i)
      if (words[i].text == "Entry" && words[i + 1].text == std::to_string(rows.size() + 1))
        rows.push_back(words[i].top);
    ASSERT_EQ(rows.size(), 4u);
    for (size_t row = 0; row < 3; ++row) {
      std::vector<PdfWord> dates;
      for (const PdfWord& w : words)
        if (w.left >= from && w.left < to && w.top >= rows[row] - 0.5 && w.top < rows[row + 1] - 0.5) {
          dates.push_back(w);
          EXPECT_LE(w.right, *std::find_if(std::begin(ends), std::end(ends), [&](double end) { return w.left < end; }))
              << w.text;
        }
      std::multiset<std::string> shown;
      for (const PdfWord& w : dates) shown.insert(w.text);
      const std::multiset<std::string> whole =
          format == 0 ? std::multiset<std::string>{date, date, date}
                      : std::multiset<std::string>{date, date, date, time, time, time, "PM", "PM", "PM"};
      EXPECT_EQ(shown, whole) << "entry " << row + 1;
      // A time stands below its date, at the column's left.
      for (const PdfWord& t : dates) {
        if (t.text != time) continue;
        EXPECT_TRUE(std::any_of(dates.begin(), dates.end(), [&](const PdfWord& d) {
          return d.text == date && std::abs(d.left - t.left) < 1 && d.top < t.top;
        })) << "entry " << row + 1;
      }
    }
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReportsTest, AnEmptyResultPreviewsAndPrintsAnEmptyReport) {
  ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Third"), {}));
  const auto texts = PreviewTexts([this] { form->PrintListingThisProgram(true, 0); });
  pdf = scratch.Dir() + "/empty.pdf";
  form->PrintListingThisProgram(false, 0);
  const std::string text = PdfText();
  for (const char* expected : {"Third", "Page 1 of 1"}) {
    EXPECT_TRUE(Has(texts, expected)) << expected << ::testing::PrintToString(texts);
    EXPECT_NE(text.find(expected), std::string::npos) << expected << text;
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReportsTest, AllProgramsRunsReturnToTheProgramSelectedBefore) {
  ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Second"), {}));
  const std::function<void()> runs[] = {[this] { form->PrintListingAllPrograms(true, 0); },
                                        [this] { form->PrintComprehensiveAllPrograms(true, 0); }};
  for (const auto& run : runs) {
    std::string shown;
    onPreview = [&](TppPrintPreview* p) {
      shown = form->wwtblProgram->FieldByName("Program")->AsString();
      p->Close();
    };
    run();
    EXPECT_NE(shown, "Second");  // the run itself walked from the first program
    EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "Second");
    EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "Other program");
  }
}

// Text typed into an entry's memo and not yet saved is the entry's: a report
// run from the main window prints it (or shows it) and keeps it, also when the
// print is cancelled.
TEST_F(ReportsTest, AMemoTypedAndNotYetSavedIsPrintedAndKept) {
  pdf = scratch.Dir() + "/typed.pdf";
  const struct {
    const char* name;
    int entry;
    bool preview, cancel;
  } runs[] = {{"previewed", 2, true, false}, {"printed", 3, false, false}, {"print cancelled", 5, false, true}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    GoToEntry(run.entry);
    ASSERT_EQ(form->dsetBug->FieldByName("ReportNumber")->AsInteger(), run.entry);
    form->rtfReport->SetFocus();
    testing_support::Pump();
    const std::string typed = std::string("typed and kept ") + run.name;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(typed));
    testing_support::Pump();
    std::string shown;
    onPreview = [&](TppPrintPreview* p) {
      TppPage* page = p->ppViewer1->ScreenDevice()->CurrentPage();
      for (int i = 0; page && i < page->DrawCommandCount(); ++i)
        if (auto* memo = dynamic_cast<TppDrawRichText*>(page->DrawCommands(i))) shown += RtfPlainText(memo->RichText());
      p->Close();
    };
    std::filesystem::remove(pdf);
    cancelPrint = run.cancel;
    form->PrintSingleEntry(run.preview);
    cancelPrint = false;
    if (run.preview) {
      EXPECT_NE(shown.find(typed), std::string::npos) << shown;
    } else if (!run.cancel) {
      EXPECT_NE(PdfText().find(typed), std::string::npos) << PdfText();
    }
    EXPECT_NE(form->rtfReport->Text().find(typed), std::string::npos) << form->rtfReport->Text();
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    auto stored = db.Conn().Prepare("SELECT Report FROM Reports WHERE ReportNumber = ?");
    stored->Bind(1, dao::Cell::MakeInteger(run.entry));
    ASSERT_TRUE(stored->Step());
    EXPECT_NE(RtfPlainText(stored->Column(0).text).find(typed), std::string::npos);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReportsTest, AFailedPrintTellsTheEngineErrorOnceTheWindowIsBack) {
  pdf = scratch.Dir() + "/taken.pdf";
  std::filesystem::create_directory(pdf);  // a folder of that name: nothing can be written there
  const TWindowState state = form->WindowState();
  const std::string filter = form->dsetBug->Filter();
  TWindowState stateAtMessage = wsMinimized;
  std::string filterAtMessage;
  onMessage = [&] {
    stateAtMessage = form->WindowState();
    filterAtMessage = form->dsetBug->Filter();
  };
  form->PrintListingThisProgram(false, 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("Cannot write"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("taken.pdf"), std::string::npos) << messages[0];
  EXPECT_EQ(stateAtMessage, state);
  EXPECT_EQ(filterAtMessage, filter);
  EXPECT_TRUE(std::filesystem::is_empty(pdf));
  EXPECT_EQ(form->sbMain->Panels()->Items(1)->Text(), "Printing failed.");
}

// A print the user stops leaves no file and says so on the status line; a
// good print clears it again.
TEST_F(ReportsTest, AStoppedPrintSaysSoOnTheStatusLine) {
  pdf = scratch.Dir() + "/listing.pdf";
  cancelPrint = true;
  form->PrintListingThisProgram(false, 0);
  cancelPrint = false;
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_EQ(form->sbMain->Panels()->Items(1)->Text(), "Printing cancelled.");
  form->PrintListingThisProgram(false, 0);
  EXPECT_TRUE(std::filesystem::exists(pdf));
  EXPECT_EQ(form->sbMain->Panels()->Items(1)->Text(), "");
}

// A run leaves the main window as it was: the same entry current, on the same
// grid row below the same top entry, the record pane and the code tables on
// it. While the report walks the entries, the grid and the panes stay where
// they were.
TEST_F(ReportsTest, ARunGivesTheEntryBackOnItsRowAndTheWindowStaysStillMeanwhile) {
  pdf = scratch.Dir() + "/still.pdf";
  const std::pair<const char*, std::function<void()>> runs[] = {
      {"listing preview", [this] { form->PrintListingThisProgram(true, 0); }},
      {"comprehensive preview", [this] { form->PrintComprehensiveThisProgram(true, 1); }},
      {"listing printed", [this] { form->PrintListingThisProgram(false, 2); }},
      {"all programs", [this] { form->PrintListingAllPrograms(true, 0); }},
  };
  for (const auto& [name, run] : runs) {
    ScrollDown();
    const Shown before = WhatTheWindowShows();
    ASSERT_NE(before.place.top, 1) << "the grid is scrolled";
    ASSERT_EQ(before.status, form->dsetBug->FieldByName("Status")->AsString());
    std::optional<Shown> during;
    TEventCounter gridPaints(vantrel::qt::ClientWidget(*form->dbgBug), QEvent::Paint);
    apptest::TFollower pane(form->dsetBug);
    onPreview = [&](TppPrintPreview* p) {
      during = WhatTheWindowShows();
      p->Close();
    };
    run();
    if (during) {
      EXPECT_EQ(during->paneStatus, before.paneStatus) << name;
      EXPECT_NE(during->place.entry, before.place.entry) << name << ": the report walked the entries";
    }
    // Going down and coming back, never per entry (it was one per page or more).
    EXPECT_LE(gridPaints.count, 2) << name;
    // The window's entry controls show the entry once, not at every move back.
    EXPECT_EQ(pane.shown, 1) << name;
    EXPECT_EQ(WhatTheWindowShows(), before) << name;
    EXPECT_FALSE(form->dsetBug->ControlsDisabled()) << name;
    EXPECT_FALSE(form->Busy) << name;
    EXPECT_EQ(form->WindowState(), wsNormal) << name;
    // The next entry brings its own status into the code table.
    form->dsetBug->Next();
    EXPECT_EQ(form->wwtaStatus->FieldByName("Status")->AsString(),
              form->dsetBug->FieldByName("Status")->AsString()) << name;
    EXPECT_NE(form->wwtaStatus->FieldByName("Status")->AsString(), before.status) << name;
  }
  EXPECT_TRUE(messages.empty());
}

// Another user deletes the entry the window stood on while the report runs:
// the window comes back to its program (the user's, after a run over all
// programs) on an entry still there, still and whole, without a message.
TEST_F(ReportsTest, AnEntryDeletedDuringTheRunLeavesTheWindowOnItsProgram) {
  const std::function<void()> scrolledInTheFirst = [this] {
    form->wwtblProgram->First();
    ScrollDown();
  };
  const std::function<void()> onSecond = [this] {
    ASSERT_TRUE(form->wwtblProgram->Locate("Program", Variant("Second"), {}));
  };
  const std::tuple<const char*, std::function<void()>, std::function<void()>> runs[] = {
      {"this program", scrolledInTheFirst, [this] { form->PrintListingThisProgram(true, 0); }},
      {"all programs", scrolledInTheFirst, [this] { form->PrintComprehensiveAllPrograms(true, 0); }},
      {"all programs from the second", onSecond, [this] { form->PrintListingAllPrograms(true, 0); }},
  };
  for (const auto& [name, goTo, run] : runs) {
    goTo();
    const std::int64_t program = form->wwtblProgram->FieldByName("ProgramNumber")->AsInteger();
    const std::string entry = form->dsetBug->FieldByName("ReportNumber")->AsString();
    onPreview = [&](TppPrintPreview* p) {
      dao::TDatabaseCore db(scratch.Database(), false, false, "");
      db.Execute("DELETE FROM Reports WHERE ReportNumber = " + entry);
      p->Close();
    };
    run();
    const std::string where = std::string(name) + ", entry " + entry;
    EXPECT_EQ(form->wwtblProgram->FieldByName("ProgramNumber")->AsInteger(), program) << where;
    ASSERT_FALSE(form->dsetBug->IsEmpty()) << where;
    EXPECT_NE(form->dsetBug->FieldByName("ReportNumber")->AsString(), entry) << where;
    EXPECT_EQ(form->wwtaStatus->FieldByName("Status")->AsString(),
              form->dsetBug->FieldByName("Status")->AsString()) << where;
    EXPECT_FALSE(form->dsetBug->ControlsDisabled()) << where;
    EXPECT_FALSE(form->Busy) << where;
    EXPECT_EQ(form->WindowState(), wsNormal) << where;
    const std::vector<int> rows = GridRows();
    EXPECT_EQ(std::find(rows.begin(), rows.end(), std::stoi(entry)), rows.end()) << where;
  }
  EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
}

// The listing reads each entry's status and priority from the code tables,
// which follow the entry the report stands on while the grid stays still.
TEST_F(ReportsTest, EachListingRowShowsItsEntrysOwnStatusAndPriority) {
  std::map<std::string, std::string> statuses, priorities;
  {
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    for (int n = 4; n <= 45; n += 4)
      db.Execute("UPDATE Reports SET Priority = '1' WHERE ReportNumber = " + std::to_string(n));
    const std::pair<const char*, std::map<std::string, std::string>*> tables[] = {
        {"SELECT Status, StatusDescription FROM Status", &statuses},
        {"SELECT Priority, PriorityDescription FROM Priority", &priorities}};
    for (const auto& [sql, descriptions] : tables)
      for (auto rows = db.Conn().Prepare(sql); rows->Step();)
        (*descriptions)[rows->ColumnText(0)] = rows->ColumnText(1);
  }
  form->dsetBug->Refresh();
  ScrollDown();
  const auto texts = PreviewTexts([this] { form->PrintListingThisProgram(true, 0); });
  int rows = 0;
  for (size_t i = 3; i < texts.size(); ++i) {
    if (texts[i].rfind("Entry ", 0) != 0) continue;
    const int n = std::stoi(texts[i].substr(6));
    EXPECT_EQ(texts[i - 3], statuses[n % 2 ? "3" : "2"]) << texts[i];
    EXPECT_EQ(texts[i - 2], priorities[n % 4 == 0 ? "1" : "3"]) << texts[i];
    ++rows;
  }
  EXPECT_GT(rows, 20);
  EXPECT_NE(statuses["2"], statuses["3"]);
}

// Cancel pressed while the pages are being made stops the run; the preview
// stays until closed and the main window comes back on its entry. Meanwhile
// the window handles events: a timer set at the first page fires before the
// run ends.
TEST_F(ReportsTest, CancelWhileThePagesAreMadeStopsAndTheWindowComesBackRight) {
  ScrollDown();
  const Shown before = WhatTheWindowShows();
  std::string caption;
  bool timerFired = false, firedBeforeCancel = false;
  int pages = 0;
  answerPreviewFirst = [&](TppPrintPreview* p) {
    TppReport* report = RunningReport();
    ASSERT_NE(report, nullptr);
    report->OnStartPage = [&, p](TObject*) {
      if (++pages == 1) QTimer::singleShot(0, [&] { timerFired = true; });
      if (pages != 3) return;
      firedBeforeCancel = timerFired;
      caption = p->spbPreviewClose->Caption();
      ClickButton(p->spbPreviewClose);
    };
  };
  onPreview = [](TppPrintPreview* p) { p->Close(); };
  form->PrintComprehensiveThisProgram(true, 0);
  EXPECT_EQ(caption, "Cancel");
  EXPECT_TRUE(firedBeforeCancel);
  EXPECT_EQ(pages, 3) << "no page after the Cancel";
  EXPECT_EQ(WhatTheWindowShows(), before);
  EXPECT_FALSE(form->dsetBug->ControlsDisabled());
  EXPECT_EQ(form->WindowState(), wsNormal);
  EXPECT_TRUE(messages.empty());
}

// End to end: the View menu opened with the keyboard, the listing previewed
// and paged through with the preview's buttons while the main window is minimised.
TEST_F(ReportsTest, ListingPreviewFromTheMenuPagesThrough) {
  std::vector<std::string> statuses;
  bool minimisedWhileShown = false;
  onPreview = [&](TppPrintPreview* p) {
    minimisedWhileShown = form->WindowState() == wsMinimized && p->Visible();
    auto status = [&] { statuses.push_back(p->pnlStatusBar->SimpleText().substr(0, 11)); };
    status();
    for (TControl* button : {p->spbPreviewNext, p->spbPreviewPrior, p->spbPreviewLast}) {
      ClickButton(button);
      status();
    }
    ClickButton(p->spbPreviewClose);
  };
  QTest::keyClick(vantrel::qt::ClientWidget(*form->dbgBug), Qt::Key_V, Qt::AltModifier);
  Application->ProcessMessages();
  // Print Pre&view, &Listing, This &Program, &All Entries...
  for (Qt::Key key : {Qt::Key_V, Qt::Key_L, Qt::Key_P, Qt::Key_A}) {
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << key;
    QTest::keyClick(menu, key);
    Application->ProcessMessages();
  }
  EXPECT_TRUE(minimisedWhileShown);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Page 1 of 2", "Page 2 of 2", "Page 1 of 2",
                                                "Page 2 of 2"}));
  EXPECT_EQ(form->WindowState(), wsNormal);
  EXPECT_NE(scratch.Settings()->ReadInteger("Options", "PreviewForm_WindowTop", -100), -100);
}

// The comprehensive report of all programs, printed and previewed, prints
// every entry's Report memo as its own wherever the entry meets the end of a
// page: entries with memos in rich text, in plain text and in plain text that
// looks like markup take turns with rich ones of growing length, so that
// they fall at many heights, some with less room left than a line.
struct MemoEntries : ReportsTest {
  static constexpr int kRuns = 5;
  void Prepare() override {
    ReportsTest::Prepare();
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    db.Execute("DELETE FROM Reports");
    auto add = [&](const std::string& memo) {
      db.Execute("INSERT INTO Reports (Description, ProgramNumber, ReportType, Report) "
                 "VALUES ('Memo', 1, 'BugReport', '" + memo + "')");
    };
    for (int run = 1; run <= kRuns; ++run) {
      std::string rich = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
      for (int line = 1; line <= 5 * run; ++line) rich += "R" + std::to_string(run) + " \\b rich\\b0  line\\par ";
      add(rich + "}");
      add(Plain(run));
      add(Markup(run));
    }
  }
  static std::string Plain(int run) { return "P" + std::to_string(run) + " plain memo"; }
  static std::string Markup(int run) {
    return "A" + std::to_string(run) + " Printing <b>bold</b> & ampersand";
  }
};

TEST_F(MemoEntries, EachPlainMemoPrintsAsItsOwnInPdfAndPreview) {
  pdf = scratch.Dir() + "/memos.pdf";
  form->PrintComprehensiveAllPrograms(false, 0);
  const std::string text = PdfText();
  for (int run = 1; run <= kRuns; ++run)
    for (const std::string& memo : {Plain(run), Markup(run)})
      EXPECT_EQ(Occurrences(text, memo), 1u) << memo;
  // Previewed, each page shows its plain memos on the page, inked.
  std::map<std::string, int> shown;
  onPreview = [&](TppPrintPreview* p) {
    TppScreenDevice* screen = p->ppViewer1->ScreenDevice();
    for (;;) {
      TppPage* page = screen->CurrentPage();
      TCanvas* pixels = screen->PageBitmap()->Canvas();
      for (int i = 0; i < page->DrawCommandCount(); ++i) {
        auto* memo = dynamic_cast<TppDrawRichText*>(page->DrawCommands(i));
        if (!memo || IsRtfText(memo->RichText()) || memo->FirstCharacter < 0) continue;
        EXPECT_GE(memo->Top, 0) << memo->RichText();
        EXPECT_LE(memo->Top + memo->Height, page->PageDef().mmHeight()) << memo->RichText();
        bool inked = false;
        for (int y = memo->DrawTop; y < memo->DrawBottom && !inked; ++y)
          for (int x = memo->DrawLeft; x < memo->DrawRight && !inked; ++x)
            inked = (uint32_t(pixels->Pixels(x, y)) & 0xFFFFFF) != 0xFFFFFF;
        if (inked) ++shown[memo->RichText()];
      }
      if (page->LastPage) break;
      ClickButton(p->spbPreviewNext);
    }
    p->Close();
  };
  form->PrintComprehensiveAllPrograms(true, 0);
  for (int run = 1; run <= kRuns; ++run)
    for (const std::string& memo : {Plain(run), Markup(run)}) EXPECT_EQ(shown[memo], 1) << memo;
  EXPECT_TRUE(messages.empty());
}

// Entries whose memos run over page ends in every shape: long one-paragraph
// memos, bullet lists, plain text, short ones, and empty memos between long
// ones, in two programs and of both kinds. Each memo word is
// "x<entry><field letter><n>" and each entry's description "Head<entry>", so
// the page text tells whose word it is and under which entry it printed.
struct CrossingMemos : ReportsTest {
  static constexpr int kEntries = 12;
  static constexpr char kLetters[] = "rwsza";  // Report, Workaround, Steps, Resolution, Attachment
  struct Entry {
    int program;
    bool bug;
    std::vector<std::string> words;  // of all its memos
  };
  std::map<std::string, Entry> entries;  // by heading

  void Prepare() override {
    ReportsTest::Prepare();
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    db.Execute("DELETE FROM Reports");
    TRtfCharFormat arial;
    arial.FontName = "Arial";
    arial.HalfPoints = 20;
    for (int k = 1; k <= kEntries; ++k) {
      const std::string head = "Head" + std::to_string(k);
      Entry entry{k <= 9 ? 1 : 2, k % 3 != 0, {}};
      std::string columns = "Description, Identifier, Status, Priority, ProgramNumber, ReportType";
      std::string values = "'" + head + "', 'I" + std::to_string(k) + "', '1', '3', " +
                           std::to_string(entry.program) + ", '" +
                           (entry.bug ? "BugReport" : "FeatureRequest") + "'";
      for (int f = 0; f < kSectionCount; ++f) {
        auto word = [&, n = 0]() mutable {
          entry.words.push_back("x" + std::to_string(k) + kLetters[f] + std::to_string(++n));
          return entry.words.back();
        };
        std::string memo;
        switch ((k * 3 + f) % 5) {
          case 0: break;  // empty, between long ones
          case 1: {       // one long paragraph
            std::string text;
            for (int n = 0; n < 250 + (k * 97 + f * 31) % 600; ++n) text += word() + " ";
            memo = RtfWrite(PlainTextDocument(text, arial));
            break;
          }
          case 2: {  // a bullet list
            TRtfDocument list;
            for (int item = 0; item < 12 + (k * 7 + f) % 30; ++item) {
              TRtfParagraph p;
              p.Format.Bullets = true;
              std::string text;
              for (int n = 0; n < 9; ++n) text += word() + " ";
              p.Runs.push_back({text, arial});
              list.Paragraphs.push_back(p);
            }
            memo = RtfWrite(list);
            break;
          }
          case 3:  // plain text in lines
            for (int line = 0; line < 20 + (k * 13 + f) % 60; ++line) {
              for (int n = 0; n < 8; ++n) memo += word() + " ";
              memo += "\r\n";
            }
            break;
          case 4:  // short
            memo = RtfWrite(PlainTextDocument(word() + " " + word(), arial));
            break;
        }
        columns += std::string(", ") + kSectionFields[f];
        std::string quoted;
        for (char c : memo) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        values += ", '" + quoted + "'";
      }
      db.Execute("INSERT INTO Reports (" + columns + ") VALUES (" + values + ")");
      entries[head] = std::move(entry);
    }
  }

  // What a printed report shows: the headings in the order they print (one
  // heading printed again atop a page it goes on counting once), and the
  // memo words found under each.
  struct Printed {
    std::vector<std::string> headings;
    std::map<std::string, std::vector<std::string>> words;
  };
  Printed Read() {
    Printed printed;
    std::istringstream text(PdfText());
    std::string current;
    for (std::string word; text >> word;) {
      if (word.rfind("Head", 0) == 0 && word.size() > 4 && std::isdigit((unsigned char)word[4])) {
        if (word != current) printed.headings.push_back(word);
        current = word;
      } else if (word.size() > 2 && word[0] == 'x' && std::isdigit((unsigned char)word[1])) {
        printed.words[current].push_back(word);
      }
    }
    for (auto& [head, words] : printed.words) std::sort(words.begin(), words.end());
    return printed;
  }
  // Checks a print of the entries `shown` accepts: each heading once, in
  // it all the entry's memo words once (or none, for a listing), and no
  // other entry's heading or word anywhere.
  void Expect(const std::function<bool(const Entry&)>& shown, bool memos) {
    const Printed printed = Read();
    std::set<std::string> heads(printed.headings.begin(), printed.headings.end());
    EXPECT_EQ(heads.size(), printed.headings.size()) << "a heading printed twice";
    EXPECT_EQ(printed.words.count(""), 0u) << "memo words above every heading";
    size_t expected = 0;
    for (const auto& [head, entry] : entries) {
      SCOPED_TRACE(head);
      if (!shown(entry)) {
        EXPECT_EQ(heads.count(head), 0u);
        EXPECT_EQ(printed.words.count(head), 0u);
        continue;
      }
      ++expected;
      EXPECT_EQ(heads.count(head), 1u);
      std::vector<std::string> own = memos ? entry.words : std::vector<std::string>{};
      std::sort(own.begin(), own.end());
      const auto found = printed.words.find(head);
      const std::vector<std::string> under = found == printed.words.end() ? std::vector<std::string>{} : found->second;
      EXPECT_EQ(under.size(), own.size());
      std::vector<std::string> missing, foreign;
      std::set_difference(own.begin(), own.end(), under.begin(), under.end(), std::back_inserter(missing));
      std::set_difference(under.begin(), under.end(), own.begin(), own.end(), std::back_inserter(foreign));
      EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first " << missing.front();
      EXPECT_TRUE(foreign.empty()) << foreign.size() << " not its own, first " << foreign.front();
    }
    EXPECT_EQ(heads.size(), expected);
  }
};

// Every report the main window offers, printed to PDF from one database whose
// memos cross page ends: each entry's memos print once, whole, under its own
// heading, and only the entries the report is for print.
TEST_F(CrossingMemos, EveryReportPrintsEachEntrysOwnMemosOnceUnderItsHeading) {
  pdf = scratch.Dir() + "/crossing.pdf";
  const auto kindOf = [](int kind) {
    return [kind](const Entry& e) { return kind == 0 || e.bug == (kind == 1); };
  };
  for (int kind = 0; kind <= 2; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    struct Run {
      const char* name;
      std::function<void()> print;
      bool allPrograms, memos;
    };
    const Run runs[] = {
        {"comprehensive, this program", [&] { form->PrintComprehensiveThisProgram(false, kind); }, false, true},
        {"comprehensive, all programs", [&] { form->PrintComprehensiveAllPrograms(false, kind); }, true, true},
        {"listing, this program", [&] { form->PrintListingThisProgram(false, kind); }, false, false},
        {"listing, all programs", [&] { form->PrintListingAllPrograms(false, kind); }, true, false},
    };
    for (const Run& run : runs) {
      SCOPED_TRACE(run.name);
      std::filesystem::remove(pdf);
      run.print();
      Expect([&](const Entry& e) { return (run.allPrograms || e.program == 1) && kindOf(kind)(e); },
             run.memos);
    }
  }
  // One entry, the one the grid stands on, of each kind.
  for (const char* head : {"Head4", "Head6"}) {
    SCOPED_TRACE(head);
    const bool bug = entries[head].bug;
    form->tcType->SetTabIndex(bug ? 0 : 1);
    form->tcTypeChange(form->tcType);
    bool found = false;
    for (form->dsetBug->First(); !form->dsetBug->Eof() && !found; )
      if (!(found = form->dsetBug->FieldByName("Description")->AsString() == head)) form->dsetBug->Next();
    ASSERT_TRUE(found);
    std::filesystem::remove(pdf);
    form->PrintSingleEntry(false);
    Expect([&](const Entry& e) { return &e == &entries[head]; }, true);
  }
  EXPECT_TRUE(messages.empty());
}

}  // namespace
