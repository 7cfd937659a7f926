// Statistics, charts and program properties on the started main window over
// entries written into its database: counts, slices and their colours, the
// time bars and averages, the progress window and Cancel, saving, a pass that
// fails, and a chart opened from the menu with real events and saved.

#include <gtest/gtest.h>

#include <QImage>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/chart/chartwindow.h"
#include "app/chart/generatingchart.h"
#include "app/main/bug.h"
#include "app/properties/properties.h"
#include "apptest.h"
#include "entrytest.h"
#include "dbengine/accbinding.h"
#include "dbengine/ttsession.h"
#include "shownplace.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/chart/chart.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/printers/printers.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/dao/core.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

// An entry as stored: nullptr codes and 0 dates are left empty.
struct Row {
  const char* type = "BugReport";
  const char* status = "1";
  const char* priority = "3";
  double reported = 0, fixed = 0, verified = 0;
};

constexpr double kDay = 46000;  // a day in 2025

struct Slice {
  std::string label;
  double value;
  TColor color;
  bool operator==(const Slice&) const = default;
};

class Charts : public apptest::MainWindowTest {
 protected:
  void SetUp() override {}

  // Writes the rows into program 1 and starts the window on them.
  void Open(const std::vector<Row>& rows) {
    {
      dao::TDatabaseCore db(scratch.Database(), false, false, "");
      auto insert = db.Conn().Prepare(
          "INSERT INTO Reports (ProgramNumber, ReportType, Status, Priority, ReportedDate, FixedDate, "
          "VerifiedDate) VALUES (1, ?, ?, ?, ?, ?, ?)");
      auto text = [](const char* s) { return s ? dao::Cell::MakeText(s) : dao::Cell(); };
      auto date = [](double d) { return d != 0 ? dao::Cell::MakeReal(d) : dao::Cell(); };
      for (const Row& r : rows) {
        insert->Bind(1, std::string(r.type)).Bind(2, text(r.status)).Bind(3, text(r.priority));
        insert->Bind(4, date(r.reported)).Bind(5, date(r.fixed)).Bind(6, date(r.verified));
        insert->Step();
        insert->Reset();
      }
    }
    Start();
  }

  TModalResult Answer(TDialogRequest& r) override {
    if (r.Kind == TDialogKind::Form && onForm) {
      // What raises here would leave the window up with nobody to close it.
      try {
        return onForm(r.Dialog);
      } catch (...) {
        ADD_FAILURE() << "the check of the window raised";
        return mrCancel;
      }
    }
    if (r.Kind == TDialogKind::SaveFile) {
      auto* dialog = static_cast<TSaveDialog*>(r.Dialog);
      dialog->SetFileName(saveAs);
      dialog->SetFilterIndex(saveFilter);
      return mrOk;
    }
    return MainWindowTest::Answer(r);
  }

  // Shows a chart and runs `look` on it while it is up (then it closes).
  void WithChart(int kind, const std::function<void(TfrmChart*)>& look) {
    onForm = [look](TComponent* f) {
      if (auto* chart = dynamic_cast<TfrmChart*>(f)) look(chart);
      return mrOk;
    };
    form->ShowChart(kind);
    onForm = nullptr;
  }

  static std::vector<Slice> Slices(const TChartSeries* s) {
    std::vector<Slice> slices;
    for (int i = 0; i < s->Count(); ++i) slices.push_back({s->Values(i).Label, s->Values(i).Value, s->Values(i).Color});
    return slices;
  }

  // Runs `during` at every move of the entry table (after the window's own handler).
  void OnEachMove(const std::function<void(int)>& during) {
    auto own = form->dsetBug->AfterScroll;
    form->dsetBug->AfterScroll = [own, during, n = 0](TDataSet* d) mutable {
      if (own) own(d);
      during(++n);
    };
  }

  // The six counts and the program's name the properties window shows when
  // the command opens it.
  template <class Command>
  std::vector<std::string> PropertiesShown(Command* command) {
    std::vector<std::string> shown;
    onForm = [&](TComponent* f) {
      auto* p = static_cast<TfrmProperties*>(f);
      for (TLabel* l : {p->lblReports_Out, p->lblFixed_Out, p->lblVerified_Out, p->lblFeatureRequests_Out,
                        p->lblFixed_Out_Feature, p->lblVerified_Out_Feature, p->lblProgramName})
        shown.push_back(l->Caption());
      return mrOk;
    };
    command->Click();
    onForm = nullptr;
    return shown;
  }

  std::function<TModalResult(TComponent*)> onForm;
  std::string saveAs;
  int saveFilter = 1;
};

std::vector<Row> Repeated(int count, Row row = {}) { return std::vector<Row>(std::size_t(count), row); }

// The engine shows a wait cursor of its own by elapsed time (an engine call
// more than half a second into a burst, as a loaded machine makes bursts)
// until a timer ends it. Detached from the screen while this lives, the
// cursor is what the passes make it, however slowly the test runs.
class TEngineCursorDetached {
 public:
  TEngineCursorDetached() : session_(AccessDefaultSession()), screen_(session_->ScreenCursor) {
    session_->ScreenCursor = nullptr;
  }
  ~TEngineCursorDetached() { session_->ScreenCursor = screen_; }
  TEngineCursorDetached(const TEngineCursorDetached&) = delete;
  TEngineCursorDetached& operator=(const TEngineCursorDetached&) = delete;

 private:
  TttSession* session_;
  TScreenCursor screen_;
};

// The first `n` bytes of a file (zeros where there are none): enough to tell its format.
std::string FileStart(const std::string& path, std::size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string start(n, '\0');
  in.read(start.data(), std::streamsize(n));
  return start;
}

TEST_F(Charts, CountsByStatusAndPriorityIncludingEmptyAndUnknownCodes) {
  Open({{"BugReport", "1", "1"}, {"BugReport", "10", "5"}, {"BugReport", "3", "5"},
        {"BugReport", "3", nullptr}, {"BugReport", "9", ""}, {"BugReport", nullptr, "7"},
        {"BugReport", "", "2"}, {"BugReport", "x", "3"}, {"BugReport", "0", "4"},
        {"FeatureRequest", "4", "1"}});
  ASSERT_TRUE(form->CalcStatistics());
  const TfrmBug::TStatCounters& n = form->StatCounters;
  EXPECT_EQ(n.EntryCount, 9) << "the feature request is on the other tab";
  const int status[10] = {2, 2, 0, 2, 0, 0, 0, 0, 0, 1};  // "x" and "0" counted by none
  const int priority[6] = {2, 1, 1, 1, 1, 2};             // "7" counted by none
  for (int c = 0; c < 10; ++c) EXPECT_EQ(n.Status[c], status[c]) << "status " << c;
  for (int c = 0; c < 6; ++c) EXPECT_EQ(n.Priority[c], priority[c]) << "priority " << c;
  EXPECT_FALSE(form->Busy);
}

TEST_F(Charts, SlicesOnlyWhenCountedButNotFixedAlwaysOnBothTabs) {
  Open({{"BugReport", "3", "1"}, {"BugReport", "3", "2"}, {"BugReport", "1", "2"},
        {"BugReport", "4", nullptr}, {"BugReport", nullptr, "5"},
        {"FeatureRequest", "3", "3"}, {"FeatureRequest", "3", "3"}});
  const struct {
    int tab, kind;
    std::string title;
    std::vector<Slice> slices;
  } cases[] = {
      {0, ckStatus, "Bug Reports by Status",
       {{"Fixed", 2, 0x000080}, {"New", 1, 0xC0C0C0}, {"Verified", 1, 0xFFFFFF}, {"Not Assigned", 1, 0x808080}}},
      {0, ckPriority, "Bug Reports by Priority",
       {{"Very High", 1, 0x0000FF}, {"High", 2, 0x000080}, {"Very Low", 1, 0x800000}, {"Not Assigned", 1, 0xFFFFFF}}},
      {0, ckFixed, "Fixed Bug Reports", {{"Fixed", 2, 0x000080}, {"Not Fixed", 3, 0x808080}}},
      {0, ckVerified, "Verified Fixed Bug Reports", {{"Verified", 1, 0x000080}, {"Not Verified", 4, 0x808080}}},
      {1, ckStatus, "Feature Requests by Status", {{"Implemented", 2, 0x000080}}},
      {1, ckFixed, "Implemented Feature Requests", {{"Implemented", 2, 0x000080}, {"Not Implemented", 0, 0x808080}}},
      {1, ckVerified, "Verified Implemented Feature Requests", {{"Not Verified", 2, 0x808080}}},
  };
  for (const auto& c : cases) {
    form->tcType->SetTabIndex(c.tab);
    form->tcTypeChange(form->tcType);
    WithChart(c.kind, [&](TfrmChart* chart) {
      EXPECT_EQ(Slices(chart->Series_Normal), c.slices) << c.title;
      EXPECT_EQ(chart->Chart->Title()->Text()->Strings(0), c.title);
      EXPECT_EQ(chart->tcChart->Tabs()->Strings(ckFixed), c.tab ? "Implemented" : "Fixed");
      EXPECT_TRUE(chart->Series_Normal->Active());
      EXPECT_FALSE(chart->Series_ReportedToFixed->Active());
    });
  }
}

// Pixels of the colour in an image grabbed from the screen.
int CountColor(const QImage& image, TColor color) {
  const QRgb rgb = qRgb(GetRValue(color), GetGValue(color), GetBValue(color));
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == rgb;
  return n;
}

TEST_F(Charts, TheGrabbedStatusChartShowsTheColoursOfTheCountedSlicesOnly) {
  Open({{"BugReport", "3"}, {"BugReport", "3"}, {"BugReport", "2"}, {"BugReport", "6"}, {"BugReport", "9"}});
  WithChart(ckStatus, [](TfrmChart* chart) {
    Application->ProcessMessages();
    const QImage shot = vantrel::qt::ClientWidget(*chart->Chart)->grab().toImage();
    const TColor counted[] = {0x000080, 0xFF0000, 0x00FFFF, 0x800080};
    const TColor absent[] = {0x808000, 0x800000, 0xFFFF00, 0x808080};
    for (TColor c : counted) EXPECT_GT(CountColor(shot, c), 50) << std::hex << c;
    for (TColor c : absent) EXPECT_EQ(CountColor(shot, c), 0) << std::hex << c;
    // The fixed slice holds two of five entries: twice the in-process one.
    EXPECT_NEAR(double(CountColor(shot, 0x000080)) / CountColor(shot, 0xFF0000), 2.0, 0.25);
  });
}

TEST_F(Charts, ProgressWindowAboveTwentyFiveEntriesOnly) {
  for (int entries : {25, 26}) {
    Open(Repeated(entries - (entries == 26 ? 25 : 0)));
    bool shown = false;
    std::string title;
    OnEachMove([&](int) {
      if (!frmGeneratingChart) return;
      shown = true;
      title = frmGeneratingChart->lblReportType->Caption();
    });
    WithChart(ckVerified, [](TfrmChart*) {});
    EXPECT_EQ(shown, entries > 25) << entries;
    EXPECT_EQ(title, shown ? "Verified Fixed Bug Reports" : "");
    EXPECT_EQ(frmGeneratingChart, nullptr);
    EXPECT_EQ(form->StatCounters.EntryCount, entries);
    Stop();
  }
}

TEST_F(Charts, CancelStopsTheCountAndClosesTheChartWindow) {
  Open(Repeated(40));
  OnEachMove([](int move) {
    if (move == 10 && frmGeneratingChart)
      QTest::mouseClick(vantrel::qt::ClientWidget(*frmGeneratingChart->btnCancel), Qt::LeftButton);
  });
  bool chartShown = false;
  WithChart(ckStatus, [&](TfrmChart*) { chartShown = true; });
  EXPECT_FALSE(chartShown);
  EXPECT_LT(form->StatCounters.EntryCount, 40);
  EXPECT_FALSE(form->CancelRequested);
  EXPECT_EQ(frmGeneratingChart, nullptr);
  EXPECT_FALSE(form->Busy);
}

TEST(ChartTexts, AveragesReadZeroPointHash) {
  EXPECT_EQ(AverageTimesText(7, 2, 5, 3, 4),
            "Average Times -  From Report to Fix: 3.5 days    From Fix to Verify: 1.7 days    "
            "From Initial Report to Final Verification: 3 days");
  EXPECT_EQ(AverageTimesText(5000000000, 1, 0, 1, 2).substr(0, 47),
            "Average Times -  From Report to Fix: 5000000000");
}

TEST_F(Charts, TimeBarsSkipReversedAndMissingDatesAndStatusClearsTheAverages) {
  Open({{"BugReport", "4", "3", kDay + 0.75, kDay + 3.25, kDay + 5},
        {"BugReport", "3", "3", kDay + 10, kDay + 8},  // fixed before it was reported
        {"BugReport", "1", "3"}});
  WithChart(ckTime, [](TfrmChart* chart) {
    const auto heights = [](const TChartSeries* s) {
      std::vector<double> v;
      for (int i = 0; i < s->Count(); ++i) v.push_back(s->Values(i).Value);
      return v;
    };
    EXPECT_EQ(heights(chart->Series_ReportedToFixed), (std::vector<double>{3, 0, 0}));
    EXPECT_EQ(heights(chart->Series_FixedToVerified), (std::vector<double>{2, 0, 0}));
    EXPECT_EQ(chart->Series_ReportedToFixed->Values(0).Color, TColor(0x808000));
    EXPECT_EQ(chart->FixIntervals, 1);
    EXPECT_EQ(chart->VerifyIntervals, 1);
    EXPECT_EQ(chart->sbStatus->SimpleText(),
              "Average Times -  From Report to Fix: 3 days    From Fix to Verify: 2 days    "
              "From Initial Report to Final Verification: 1.7 days");
    EXPECT_FALSE(chart->Series_Normal->Active());
    // A click on the Status tab.
    const TRect tab = chart->tcChart->TabRect(ckStatus);
    QTest::mouseClick(vantrel::qt::ClientWidget(*chart->tcChart), Qt::LeftButton, {},
                      QPoint(tab.Left + 4, tab.Top + 4));
    EXPECT_EQ(chart->tcChart->TabIndex(), ckStatus);
    EXPECT_EQ(chart->sbStatus->SimpleText(), "");
    EXPECT_TRUE(chart->Series_Normal->Active());
  });
}

TEST_F(Charts, DaySumsHoldMoreThanThirtyTwoBits) {
  // 600 intervals of 3,615,899 days each: over 2^31 in all.
  const double first = -657434, last = 2958465;  // 1 January 100, 31 December 9999
  Open(Repeated(600, {"BugReport", "3", "3", first, last}));
  WithChart(ckTime, [&](TfrmChart* chart) {
    EXPECT_EQ(chart->DaysToFix, 600 * std::int64_t(3615899));
    EXPECT_EQ(chart->FixIntervals, 600);
  });
}

TEST_F(Charts, SavesABitmapOrAVectorPictureAndReportsAPathThatCannotBeWritten) {
  Open({{"BugReport", "3"}, {"BugReport", "1"}});
  // A folder where the picture would go: its folder exists, the file cannot be written.
  std::filesystem::create_directory(scratch.Dir() + "/taken.bmp");
  const struct {
    int filter;
    std::string file, start;
  } cases[] = {{1, "chart.bmp", "BM"}, {2, "chart.svg", "<?xml"}, {3, "older.svg", "<?xml"},
               {1, "taken.bmp", ""}};
  WithChart(ckStatus, [&](TfrmChart* chart) {
    for (const auto& c : cases) {
      saveAs = scratch.Dir() + "/" + c.file;
      saveFilter = c.filter;
      chart->tbSaveChart->Click();
      EXPECT_EQ(FileStart(saveAs, c.start.size()), c.start) << c.file;
      // The dialog was the last word, or the error naming the file.
      const TDialogRequest& last = answers.Requests().back();
      EXPECT_EQ(last.Kind, c.start.empty() ? TDialogKind::MessageBox : TDialogKind::SaveFile);
      if (c.start.empty()) { EXPECT_NE(last.Text.find("Cannot create file \"" + saveAs), std::string::npos) << last.Text; }
    }
  });
  std::ifstream svg(scratch.Dir() + "/chart.svg");
  const std::string text((std::istreambuf_iterator<char>(svg)), {});
  EXPECT_NE(text.find("Bug Reports by Status"), std::string::npos);
}

TEST_F(Charts, TheToolbarCopiesSetsUpThePrinterAndPrints) {
  Open({{"BugReport", "3"}, {"BugReport", "1"}});
  TPrinter printer;
  TPrinter* previous = SetPrinter(&printer);
  printer.SetPrinterIndex(printer.Printers()->IndexOf("PDF"));
  printer.SetFileName(scratch.Dir() + "/chart.pdf");
  Clipboard()->Clear();
  WithChart(ckFixed, [&](TfrmChart* chart) {
    chart->tbCopyChartToClipboard->Click();
    chart->tbPrintSetup->Click();
    chart->tbPrint->Click();
  });
  SetPrinter(previous);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  EXPECT_EQ(answers.Requests().back().Kind, TDialogKind::PrinterSetup);
  EXPECT_EQ(FileStart(scratch.Dir() + "/chart.pdf", 4), "%PDF");
}

TEST_F(Charts, AFailingPassPutsBusyTheControlsAndTheCursorBack) {
  Open(Repeated(30));
  TEngineCursorDetached onlyThePasses;
  const std::pair<const char*, std::function<void()>> passes[] = {
      {"statistics", [&] { form->CalcStatistics(); }},
      {"chart", [&] { WithChart(ckStatus, [](TfrmChart*) {}); }}};
  for (const auto& [name, pass] : passes) {
    SCOPED_TRACE(name);
    OnEachMove([](int move) {
      if (move == 3) throw EDatabaseError("The disk went away");
    });
    // A wait cursor showing when the pass starts does not come back after it.
    Screen->SetCursor(crSQLWait);
    EXPECT_THROW(pass(), EDatabaseError);
    EXPECT_FALSE(form->Busy);
    EXPECT_FALSE(form->dsetBug->ControlsDisabled());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(frmGeneratingChart, nullptr);
  }
}

// Every pass shows the hourglass while it moves through the entries (the
// properties window's two counts, and what it does between and after them,
// included) and ends on the default cursor, whatever showed when it began.
TEST_F(Charts, PassesShowTheHourglassThroughoutAndEndOnTheDefaultCursor) {
  Open({{"BugReport", "3"}, {"BugReport", "1"}, {"FeatureRequest", "4"}, {"FeatureRequest", "2"}});
  TEngineCursorDetached onlyThePasses;
  const std::pair<const char*, std::function<void()>> passes[] = {
      {"statistics", [&] { form->CalcStatistics(); }},
      {"chart", [&] { WithChart(ckTime, [](TfrmChart*) {}); }},
      {"properties", [&] { PropertiesShown(form->tbProgramProperties); }}};
  const auto own = form->dsetBug->AfterScroll;
  for (const auto& [name, pass] : passes) {
    SCOPED_TRACE(name);
    std::vector<TCursor> seen;
    OnEachMove([&](int) { seen.push_back(Screen->Cursor()); });
    Screen->SetCursor(crSQLWait);
    pass();
    form->dsetBug->AfterScroll = own;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen, std::vector<TCursor>(seen.size(), crHourGlass));
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }
}

TEST_F(Charts, PropertiesCountBothKindsAndGiveTheQuickFilterAndPositionBack) {
  Open({{"BugReport", "3"}, {"BugReport", "3"}, {"BugReport", "4"}, {"BugReport", "1"},
        {"FeatureRequest", "3"}, {"FeatureRequest", "4"}, {"FeatureRequest", "2"}});
  form->tbStatusFilter_NewReport->SetDown(false);
  form->tbStatusFilter_NewReportClick(form->tbStatusFilter_NewReport);
  form->dsetBug->Next();
  const std::string filter = form->dsetBug->Filter();
  const apptest::TShownPlace place = apptest::ShownPlace(form);
  ASSERT_EQ(place.row, 1);
  EXPECT_EQ(PropertiesShown(form->tbProgramProperties),
            (std::vector<std::string>{"4", "2", "1", "3", "1", "1", "New Program"}));
  EXPECT_EQ(form->dsetBug->Filter(), filter);
  EXPECT_EQ(apptest::ShownPlace(form), place);
  EXPECT_FALSE(form->Busy);
}

TEST_F(Charts, PropertiesOfAnEmptyProgramShowZerosAndThePaneWakesAfter) {
  Open({});
  std::vector<std::string> zeros(6, "0");
  zeros.push_back(form->wwtblProgram->FieldByName("Program")->AsString());
  EXPECT_EQ(PropertiesShown(form->popPrograms_Properties), zeros);
  EXPECT_FALSE(form->tcRTFs->Enabled());
  apptest::AddEntry(form, "First entry");
  EXPECT_TRUE(form->tcRTFs->Enabled());
}

TEST_F(Charts, EndToEndAChartFromTheMenuSavedAndClosedWithEscape) {
  Open({{"BugReport", "3"}, {"BugReport", "1"}, {"BugReport", "2"}});
  saveAs = scratch.Dir() + "/menu.bmp";
  std::optional<int> tab;
  onForm = [&](TComponent* f) {
    auto* chart = static_cast<TfrmChart*>(f);
    tab = chart->tcChart->TabIndex();
    const TRect save = chart->tbSaveChart->BoundsRect();
    QTest::mouseClick(vantrel::qt::ClientWidget(*chart->tbarChart), Qt::LeftButton, {},
                      QPoint(save.Left + save.Width() / 2, save.Top + save.Height() / 2));
    QTest::keyClick(vantrel::qt::ClientWidget(*chart->tcChart), Qt::Key_Escape);
    return mrNone;
  };
  // Alt+V, then G for the graphs and P for the priority chart, as the user types them.
  QTest::keyClick(vantrel::qt::ClientWidget(*form->dbgBug), Qt::Key_V, Qt::AltModifier);
  for (Qt::Key key : {Qt::Key_G, Qt::Key_P}) {
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << "no menu open for key " << key;
    QTest::keyClick(menu, key);
  }
  Application->ProcessMessages();
  ASSERT_TRUE(tab.has_value());
  EXPECT_EQ(*tab, ckPriority);
  EXPECT_EQ(FileStart(saveAs, 2), "BM");
}


// Keys to the widget that has the keyboard in a control.
void KeyTo(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
  QWidget* w = vantrel::qt::ClientWidget(*c);
  QTest::keyClick(w->focusProxy() ? w->focusProxy() : w, key, m);
  QApplication::processEvents();
}

// A chart opened from the toolbar or the menu, and closed with Escape, reads
// every entry but leaves the user on the entry chosen. A Status or Priority
// chosen in an open drop-down of that entry's cell is stored in that entry
// before the count, which counts it; no other entry changes.
TEST_F(Charts, AChartLeavesTheUsersEntryCurrentAndAPendingChoiceInItsOwnEntry) {
  Open({{"BugReport", "1", "3"}, {"BugReport", "1", "3"}, {"BugReport", "2", "2"}, {"BugReport", "1", "4"}});
  struct Case {
    const char* name;
    const char* field;  // whose drop-down is open, with the next item chosen; none: no edit
    bool fromMenu;
    std::vector<std::string> stored;  // Status:Priority of each entry after
    int newEntries;                   // as the chart counted them
  };
  const Case cases[] = {
      {"toolbar", nullptr, false, {"1:3", "1:3", "2:2", "1:4"}, 3},
      {"menu", nullptr, true, {"1:3", "1:3", "2:2", "1:4"}, 3},
      {"status from the toolbar", "Status", false, {"1:3", "2:3", "2:2", "1:4"}, 2},
      {"priority from the menu", "Priority", true, {"1:3", "1:4", "2:2", "1:4"}, 3},
  };
  TwwDBGrid* grid = form->dbgBug;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form->dsetBug->First();
    vantrel::qt::WindowWidget(*form)->activateWindow();  // back from the last case's chart
    grid->SetFocus();
    QApplication::processEvents();
    if (c.field) {
      form->dsetBug->Next();  // the second entry
      grid->SetCol(form->GridColumnOf(apptest::GridDataColumn(form, c.field)));
      testing_support::Pump();  // the cell's combo is placed when the grid paints
      TwwDBComboBox* combo = std::string(c.field) == "Status" ? form->cmbStatus : form->cmbPriority;
      KeyTo(grid, Qt::Key_Down, Qt::AltModifier);
      ASSERT_TRUE(combo->Focused());
      ASSERT_TRUE(combo->IsDroppedDown());
      KeyTo(combo, Qt::Key_Down);  // the item after the entry's own
    }
    const apptest::TShownPlace place = apptest::ShownPlace(form);
    std::optional<int> counted;
    onForm = [&](TComponent* f) {
      counted = form->StatCounters.Status[1];
      QTest::keyClick(vantrel::qt::ClientWidget(*static_cast<TfrmChart*>(f)->tcChart), Qt::Key_Escape);
      return mrNone;
    };
    if (c.fromMenu) {
      // Alt+V, G for the graphs, S for the status chart, as the user types them.
      QWidget* focus = QApplication::focusWidget();
      QTest::keyClick(focus ? focus : vantrel::qt::ClientWidget(*grid), Qt::Key_V, Qt::AltModifier);
      for (Qt::Key key : {Qt::Key_G, Qt::Key_S}) {
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr) << "no menu open for key " << key;
        QTest::keyClick(menu, key);
      }
    } else {
      const TRect b = form->tbChart->BoundsRect();
      QTest::mouseClick(vantrel::qt::ClientWidget(*form->tbChart->Parent()), Qt::LeftButton, {},
                        QPoint((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2));
    }
    Application->ProcessMessages();
    onForm = nullptr;
    ASSERT_TRUE(counted.has_value()) << "no chart shown";
    EXPECT_EQ(*counted, c.newEntries);
    EXPECT_EQ(apptest::ShownPlace(form), place);
    EXPECT_EQ(form->dsetBug->State(), dsBrowse);
    std::vector<std::string> stored;
    const auto status = apptest::StoredEntries(scratch.Database(), "Status");
    const auto priority = apptest::StoredEntries(scratch.Database(), "Priority");
    for (std::size_t i = 0; i < status.size(); ++i) stored.push_back(status[i] + ":" + priority[i]);
    EXPECT_EQ(stored, c.stored);
    for (const TDialogRequest& r : answers.Requests())
      EXPECT_EQ(r.Kind, TDialogKind::Form) << r.Text;
    // The next case starts from the entries as they were.
    dao::TDatabaseCore db(scratch.Database(), false, false, "");
    db.Conn().Prepare("UPDATE Reports SET Status = '1', Priority = '3' WHERE ReportNumber = 2")->Step();
    form->dsetBug->Refresh();
  }
}

}  // namespace
