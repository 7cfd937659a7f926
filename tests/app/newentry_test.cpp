// The new-entry dialog over a real database file: its warnings and their
// "don't show again" (and the notice's picture), copying the description, a
// refused post, Cancel by the title bar, OK on an edit; one entry added with
// real keys end to end; and the dates that giving a person or a space fills.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <set>

#include "app/common/exportformat.h"
#include "app/message/message.h"
#include "app/newentry/enternewrecord.h"
#include "entrytest.h"
#include "datactrls/edits/wwdbedit.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/edits/wwdotdot.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/speedbutton.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/tb97button.h"

namespace {

using apptest::AddEmployees;
using apptest::StoredEntries;
using apptest::Window;

using Dialog = apptest::DialogWindow;

// Answers the new-entry window with `act` (run once it is modal), message
// boxes with OK, and the notice with OK, ticking its box when `tick`.
// The notices' texts land in `notices` when given.
TDialogResponder Answer(std::function<void(TfrmEnterNewRecord*)> act, bool tick = false,
                        std::vector<std::string>* notices = nullptr) {
  return [act, tick, notices](TDialogRequest& r) -> TModalResult {
    if (r.Kind != TDialogKind::Form) return mrOk;
    if (auto* notice = dynamic_cast<TfrmMessage*>(r.Dialog)) {
      if (notices) notices->push_back(notice->lblMessage->Caption());
      notice->chkMessageBodyBlankConfirm->SetChecked(tick);
      return mrOk;
    }
    act(static_cast<TfrmEnterNewRecord*>(r.Dialog));
    return mrNone;
  };
}

std::string Hidden(const std::string& what, const std::string& name) {
  return "This new entry will not be immediately visible on the grid because the filter is set "
         "to not show entries with a " + what + " of '" + name + "'.";
}

void ClickOk(TfrmEnterNewRecord* f) {
  frmBug->dsetBug->FieldByName("Description")->SetAsString("crash on save");
  f->btnOk->Click();
}

TEST(NewEntry, WarnsOnceWhenTheFilterHidesTheEntryAndStillPosts) {
  struct Case {
    const char *status, *priority;
    bool statusUp, priorityUp;
    std::vector<std::string> notices;
  } cases[] = {
      {"1", "3", false, false, {}},
      {"1", "3", false, true, {Hidden("Priority", "Normal")}},
      {"4", "1", true, true, {Hidden("Priority", "Very High")}},
      {"4", "5", true, false, {Hidden("Status", "Completed")}},
  };
  for (const Case& c : cases) {
    Dialog d([&](TRegIniFile& reg) {
      reg.WriteString("Options", "NewRecord_Status", c.status);
      reg.WriteString("Options", "NewRecord_Priority", c.priority);
    });
    d.form->tbStatusFilter_Completed->SetDown(!c.statusUp);
    d.form->tbStatusFilter_NewReport->SetDown(!c.statusUp);
    d.form->tbPriorityFilter_Normal->SetDown(!c.priorityUp);
    d.form->tbPriorityFilter_VeryHigh->SetDown(!c.priorityUp);
    d.form->tbPriorityFilter_VeryLow->SetDown(true);
    std::vector<std::string> notices;
    TDialogResponderScope answers(Answer(ClickOk, false, &notices));
    d.form->AddEntry();
    EXPECT_EQ(notices, c.notices) << c.status << c.priority;
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "Status"), std::vector<std::string>{c.status});
  }
}

TEST(NewEntry, DontShowAgainSilencesTheNotice) {
  Dialog d;
  d.form->tbPriorityFilter_Normal->SetDown(false);
  {
    TDialogResponderScope answers(Answer(ClickOk, true));
    d.form->AddEntry();
    EXPECT_EQ(answers.Count(), 2);
  }
  EXPECT_FALSE(d.form->Reg->ReadBool("Settings", "Warn Record Not Visible", true));
  TDialogResponderScope answers(Answer(ClickOk));
  d.form->AddEntry();
  EXPECT_EQ(answers.Count(), 1);
  EXPECT_EQ(StoredEntries(d.scratch.Database()).size(), 2u);
}

TEST(NewEntry, CopyDescToReptFillsTheReportOnlyWhenOn) {
  for (bool copy : {true, false}) {
    Dialog d([&](TRegIniFile& reg) { reg.WriteBool("Options", "CopyDescToRept", copy); });
    TDialogResponderScope answers(Answer(ClickOk));
    d.form->AddEntry();
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "Report"),
              std::vector<std::string>{copy ? "crash on save" : ""});
  }
}

TEST(NewEntry, ARefusedPostKeepsTheWindowWithTheRecord) {
  Dialog d;
  apptest::RefuseValue(d.scratch.Database(), "Reports", "Description", "crash on save");
  bool stillInserting = false;
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    frmBug->dsetBug->FieldByName("Description")->SetAsString("crash on save");
    try {
      f->btnOk->Click();
    } catch (const Exception&) {
    }
    stillInserting = f->ModalResult() == mrNone && frmBug->dsetBug->State() == dsInsert;
    f->btnCancel->Click();
  }));
  d.form->AddEntry();
  EXPECT_TRUE(stillInserting);
  ASSERT_EQ(answers.Count(), 2);
  EXPECT_EQ(answers.Texts()[1].rfind("An error has occured while posting a record.\n\n", 0), 0u)
      << answers.Texts()[1];
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{});
}

TEST(NewEntry, TitleBarCloseCancelsAndOkOnAnEditLeavesItEditing) {
  Dialog d;
  const std::function<void(TfrmEnterNewRecord*)> closers[] = {
      [](TfrmEnterNewRecord* f) { f->Close(); },
      [](TfrmEnterNewRecord* f) {
        QTest::keyClick(vantrel::qt::ClientWidget(*f->dbeDescription), Qt::Key_Escape);
      }};
  for (const auto& close : closers) {
    TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
      frmBug->dsetBug->FieldByName("Description")->SetAsString("dropped");
      close(f);
    }));
    d.form->AddEntry();
    EXPECT_EQ(d.form->dsetBug->State(), dsBrowse);
  }
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{});
  TDialogResponderScope answers(Answer(ClickOk));
  d.form->AddEntry();
  TDialogResponderScope edit(Answer([](TfrmEnterNewRecord* f) {
    f->sbtnDeferred->SetDown(true);
    f->btnOk->Click();
  }));
  d.form->ShowEntryWindow("Edit Entry");
  EXPECT_EQ(d.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(d.Field("Status"), "6");
}

TEST(NewEntry, EndToEndAProgramAndAnEntryTypedWithRealKeys) {
  Dialog d;
  TDialogResponderScope answers([](TDialogRequest& r) -> TModalResult {
    if (r.Kind == TDialogKind::InputQuery) {
      *r.Value = "Editor";
      return mrOk;
    }
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    frmEnterNewRecord->dbeDescription->SetFocus();
    QApplication::processEvents();
    QWidget* description = QApplication::focusWidget();
    QTest::keyClicks(description, "Typed entry");
    QTest::keyClick(description, Qt::Key_Return);
    return mrNone;
  });
  d.form->tbAddProgram->Click();
  d.form->tbAddBugReport->Click();
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{"2:Typed entry"});
  EXPECT_EQ(StoredEntries(d.scratch.Database(), "Report"), std::vector<std::string>{"Typed entry"});
  EXPECT_TRUE(d.form->tbDelete->Enabled());
}

// Entries typed into the new-entry window keep their description as plain
// text in Report; an export must write the text the Report pane shows, not
// read it as RTF (backslashes and braces are text there, and so is UTF-8).
TEST(NewEntry, AnExportOfTypedEntriesWritesWhatThePanesShow) {
  const char* const typed[] = {"Path C:\\temp\\new {x} caf\u00e9", "say \"hi\" \u00bd \u2014 na\u00efve \\par"};
  Dialog d([](TRegIniFile& reg) {
    for (const char* column : {"Program", "ReportNumber", "Identifier", "Status", "Priority", "Severity",
                               "Area", "Version", "ReportedBy", "ReportedDate", "Responsibility",
                               "FixedBy", "FixedDate", "FixedInVersion", "VerifiedBy", "VerifiedDate",
                               "ReportType", "Resolution", "Steps", "Workaround", "Attachment"})
      reg.WriteBool("Column Export", column, false);
  });
  std::string target, current;
  int filterIndex = 1;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Kind == TDialogKind::SaveFile) {
      auto* save = static_cast<TSaveDialog*>(r.Dialog);
      save->SetFileName(target);
      save->SetFilterIndex(filterIndex);
      return mrOk;
    }
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    frmEnterNewRecord->dbeDescription->SetFocus();
    QApplication::processEvents();
    QWidget* description = QApplication::focusWidget();
    // Characters beyond ASCII have no key of their own: they come as key
    // events carrying the text, as an input method gives them.
    for (QChar ch : QString::fromUtf8(current.c_str())) {
      if (ch.unicode() < 0x80) QTest::keyClick(description, ch.toLatin1());
      else QTest::sendKeyEvent(QTest::Click, description, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    QTest::keyClick(description, Qt::Key_Return);
    return mrNone;
  });
  for (const char* text : typed) {
    current = text;
    d.form->tbAddBugReport->Click();
  }
  ASSERT_EQ(StoredEntries(d.scratch.Database(), "Report"), std::vector<std::string>(std::begin(typed), std::end(typed)));
  // What the panes show, entry by entry in the grid's order.
  std::string csv;
  std::vector<std::string> shown;
  for (d.form->dsetBug->First(); !d.form->dsetBug->Eof(); d.form->dsetBug->Next()) {
    shown.push_back(d.form->rtfReport->Text());
    csv += CsvRecord({d.Field("Description"), shown.back()});
  }
  EXPECT_EQ(shown, std::vector<std::string>(std::begin(typed), std::end(typed)));
  for (int format : {1, 2}) {
    filterIndex = format;
    target = d.scratch.Dir() + (format == 1 ? "/typed.csv" : "/typed.htm");
    d.form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
    std::string written;
    ASSERT_TRUE(ReadWholeFile(target, written));
    if (format == 1) {
      EXPECT_EQ(written, csv);
      continue;
    }
    for (const std::string& text : shown)
      EXPECT_NE(written.find("<TD COLSPAN=4>" + HtmlCellText(text) + "</TD>"), std::string::npos) << text;
  }
}

// The fourteen code buttons carry the pictures of the quick-filter buttons of
// their codes, and the window shows fourteen different faces.
TEST(NewEntry, CodeButtonsShowTheirQuickFilterPictures) {
  Dialog d;
  std::vector<std::pair<TSpeedButton*, TToolbarButton97*>> pairs;
  std::vector<QImage> faces;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    TfrmEnterNewRecord* f = frmEnterNewRecord;
    TfrmBug* m = d.form;
    pairs = {{f->sbtnVeryHigh, m->tbPriorityFilter_VeryHigh}, {f->sbtnHigh, m->tbPriorityFilter_High},
             {f->sbtnNormal, m->tbPriorityFilter_Normal}, {f->sbtnLow, m->tbPriorityFilter_Low},
             {f->sbtnVeryLow, m->tbPriorityFilter_VeryLow}, {f->sbtnNew, m->tbStatusFilter_NewReport},
             {f->sbtnInProcess, m->tbStatusFilter_InProcess}, {f->sbtnFixed, m->tbStatusFilter_Fixed},
             {f->sbtnCompleted, m->tbStatusFilter_Completed}, {f->sbtnDelegated, m->tbStatusFilter_Delegated},
             {f->sbtnDeferred, m->tbStatusFilter_Deferred},
             {f->sbtnNoLongerRelevant, m->tbStatusFilter_NoLongerRelevant},
             {f->sbtnWillNotBeFixed, m->tbStatusFilter_WillNotBeFixed},
             {f->sbtnCouldNotDuplicate, m->tbStatusFilter_CouldNotDuplicate}};
    f->Show();
    QApplication::processEvents();
    const QImage shot = vantrel::qt::ClientWidget(*f)->grab().toImage();
    const double scale = double(shot.width()) / f->ClientWidth();
    for (auto [button, filter] : pairs) {
      TBitmap* mine = button->Glyph();
      TBitmap* theirs = filter->Glyph();
      EXPECT_FALSE(mine->Empty()) << button->Name();
      bool same = mine->Width() == theirs->Width() && mine->Height() == theirs->Height();
      for (int y = 0; same && y < mine->Height(); ++y)
        for (int x = 0; same && x < mine->Width(); ++x)
          same = mine->Canvas()->Pixels(x, y) == theirs->Canvas()->Pixels(x, y);
      EXPECT_TRUE(same) << button->Name();
      faces.push_back(shot.copy(int(button->Left() * scale), int(button->Top() * scale),
                                int(button->Width() * scale), int(button->Height() * scale)));
    }
    f->btnCancel->Click();
    return mrCancel;
  });
  d.form->AddEntry();
  ASSERT_EQ(faces.size(), 14u);
  for (std::size_t i = 0; i < faces.size(); ++i)
    for (std::size_t j = i + 1; j < faces.size(); ++j)
      EXPECT_NE(faces[i], faces[j]) << pairs[i].first->Name() << " looks like " << pairs[j].first->Name();
}

TEST(NewEntry, TypedLookupValuesJoinTheirTablesAndAReporterStampsTheDateAndTime) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  frmEnterNewRecord->dblcVersion->OnDropDown(frmEnterNewRecord->dblcVersion);
  EXPECT_EQ(frmEnterNewRecord->dblcVersion->DropDownWidth(), 150);
  TDialogResponderScope answers([](TDialogRequest& r) -> TModalResult {
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    auto type = [](TWinControl* control, const char* text) {
      control->SetFocus();
      QApplication::processEvents();
      QTest::keyClicks(QApplication::focusWidget(), text);
    };
    type(frmEnterNewRecord->dbeDescription, "Lookups");
    type(frmEnterNewRecord->dblcReportedBy, "Dee");
    type(frmEnterNewRecord->dblcVersion, "3.0");
    QTest::mouseClick(vantrel::qt::ClientWidget(*frmEnterNewRecord->btnOk), Qt::LeftButton);
    return mrNone;
  });
  d.form->AddEntry();
  const std::string db = d.scratch.Database();
  EXPECT_EQ(apptest::StoredValues(db, "User", "User"), std::vector<std::string>{"Dee"});
  EXPECT_EQ(apptest::StoredValues(db, "Version", "Version"), std::vector<std::string>{"3.0"});
  EXPECT_EQ(StoredEntries(db, "ReportedBy"), std::vector<std::string>{"Dee"});
  EXPECT_EQ(StoredEntries(db, "Version"), std::vector<std::string>{"3.0"});
  EXPECT_DOUBLE_EQ(d.form->dsetBug->FieldByName("ReportedDate")->AsDateTime(),
                   EncodeDate(2026, 7, 8) + 0.5);
}

}  // namespace

namespace {

TEST(NewEntry, PlacementIsRestoredWithinTheScreenAndSavedAtTheEnd) {
  struct Case { int top, left, wantTop, wantLeft; } cases[] = {
      {100000, 5, Screen->Height() / 2, 5}, {40, 100000, 40, Screen->Width() / 2}};
  for (const Case& c : cases) {
    Dialog d([&](TRegIniFile& reg) {
      reg.WriteInteger("Options", "NewReportWindowTop", c.top);
      reg.WriteInteger("Options", "NewReportWindowLeft", c.left);
    });
    EXPECT_EQ(frmEnterNewRecord->Top(), c.wantTop);
    EXPECT_EQ(frmEnterNewRecord->Left(), c.wantLeft);
    frmEnterNewRecord->SetBounds(7, 9, frmEnterNewRecord->Width(), frmEnterNewRecord->Height());
    delete frmEnterNewRecord;
    frmEnterNewRecord = nullptr;
    EXPECT_EQ(d.form->Reg->ReadInteger("Options", "NewReportWindowTop", 0), 9);
    EXPECT_EQ(d.form->Reg->ReadInteger("Options", "NewReportWindowLeft", 0), 7);
  }
}

}  // namespace

namespace {

// A key as the user presses it, to the widget that has the keyboard.
void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  QApplication::processEvents();
}

void FocusOn(TWinControl* control) {
  control->SetFocus();
  QApplication::processEvents();
}

// Types `text` with real keys into `control`.
void TypeInto(TWinControl* control, const char* text) {
  FocusOn(control);
  QTest::keyClicks(QApplication::focusWidget(), text);
}

bool HasDate(const char* field) { return !frmBug->dsetBug->FieldByName(field)->IsNull(); }

// The stored dates of the one entry, through another connection.
std::vector<std::string> StoredDates(const std::string& database) {
  std::vector<std::string> dates;
  for (const char* field : {"ReportedDate", "FixedDate", "VerifiedDate"}) {
    const auto values = StoredEntries(database, field);
    dates.push_back(values.size() == 1 ? values[0] : "<" + std::to_string(values.size()) + " entries>");
  }
  return dates;
}

// Tab through the whole window, forwards and back, then OK: the entry was
// neither fixed nor verified, so it is stored without those dates (nor a
// reported date, which the options here do not fill).
TEST(NewEntry, TabbingThroughTheWindowStoresNoDates) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  AddEmployees(d.form, {"Ann"});
  std::set<TWinControl*> visited;
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    TypeInto(f->dbeDescription, "Tabbed");
    for (Qt::KeyboardModifiers direction : {Qt::NoModifier, Qt::ShiftModifier})
      for (int i = 0; i < 40; ++i) {
        Press(Qt::Key_Tab, direction);
        visited.insert(f->ActiveControl());
      }
    EXPECT_FALSE(HasDate("FixedDate"));
    f->btnOk->Click();
  }));
  d.form->AddEntry();
  for (TWinControl* combo : std::initializer_list<TWinControl*>{
           frmEnterNewRecord->dblcReportedBy, frmEnterNewRecord->dblcFixedBy,
           frmEnterNewRecord->dblcVerifiedBy, frmEnterNewRecord->dbcdFixedDate})
    EXPECT_TRUE(visited.count(combo)) << combo->Name() << " was never reached";
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{"1:Tabbed"});
  EXPECT_EQ(StoredDates(d.scratch.Database()), (std::vector<std::string>{"", "", ""}));
}

// In an empty Fixed By box, no key that only moves or cancels gives the
// entry a fixed date, nor does Enter, which closes the window with OK.
TEST(NewEntry, KeysThatOnlyMoveOrCancelStampNoDate) {
  struct Case {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool listOpen;  // pressed with the box's list dropped down (Alt+Down)
  } cases[] = {
      {"Tab", Qt::Key_Tab, Qt::NoModifier, false},
      {"Shift+Tab", Qt::Key_Tab, Qt::ShiftModifier, false},
      {"Left", Qt::Key_Left, Qt::NoModifier, false},
      {"Right", Qt::Key_Right, Qt::NoModifier, false},
      {"Up", Qt::Key_Up, Qt::NoModifier, false},
      {"Down", Qt::Key_Down, Qt::NoModifier, false},
      {"Home", Qt::Key_Home, Qt::NoModifier, false},
      {"End", Qt::Key_End, Qt::NoModifier, false},
      {"Page Up", Qt::Key_PageUp, Qt::NoModifier, false},
      {"Page Down", Qt::Key_PageDown, Qt::NoModifier, false},
      {"F2", Qt::Key_F2, Qt::NoModifier, false},
      {"F12", Qt::Key_F12, Qt::NoModifier, false},
      {"Shift", Qt::Key_Shift, Qt::ShiftModifier, false},
      {"Ctrl", Qt::Key_Control, Qt::ControlModifier, false},
      {"Alt", Qt::Key_Alt, Qt::AltModifier, false},
      {"Insert", Qt::Key_Insert, Qt::NoModifier, false},
      {"Delete", Qt::Key_Delete, Qt::NoModifier, false},
      {"Backspace", Qt::Key_Backspace, Qt::NoModifier, false},
      {"Escape in the list", Qt::Key_Escape, Qt::NoModifier, true},
      {"Enter in the list", Qt::Key_Return, Qt::NoModifier, true},
      {"Alt+Up in the list", Qt::Key_Up, Qt::AltModifier, true},
  };
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  AddEmployees(d.form, {"Ann", "Bo"});
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    TypeInto(f->dbeDescription, "Keys");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      FocusOn(f->dblcFixedBy);
      if (c.listOpen) Press(Qt::Key_Down, Qt::AltModifier);
      ASSERT_EQ(f->dblcFixedBy->IsDroppedDown(), c.listOpen);
      Press(c.key, c.modifiers);
      EXPECT_FALSE(f->dblcFixedBy->IsDroppedDown());
      EXPECT_EQ(frmBug->dsetBug->State(), dsInsert);
      EXPECT_FALSE(HasDate("FixedDate"));
      frmBug->dsetBug->FieldByName("FixedDate")->Clear();  // each key on its own
    }
    // Enter on the empty box is the window's OK.
    FocusOn(f->dblcFixedBy);
    Press(Qt::Key_Return);
  }));
  d.form->AddEntry();
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{"1:Keys"});
  EXPECT_EQ(StoredDates(d.scratch.Database()), (std::vector<std::string>{"", "", ""}));
}

// A letter typed into Fixed By and a name chosen from the Verified By list
// give the entry those dates (with the time); the reported date stays empty.
TEST(NewEntry, TypingOrChoosingAPersonStampsTheDate) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  AddEmployees(d.form, {"Ann", "Bo"});
  const TDateTime now = EncodeDate(2026, 7, 8) + EncodeTime(9, 30, 0, 0);
  TTestClock clock(now);
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    TypeInto(f->dbeDescription, "Fixed");
    FocusOn(f->dblcFixedBy);
    Press(Qt::Key_B);
    EXPECT_TRUE(HasDate("FixedDate"));
    EXPECT_FALSE(HasDate("VerifiedDate"));
    // The list by its button, the second name by the mouse.
    TWinControl* button = f->dblcVerifiedBy->ButtonContainer();
    QTest::mouseClick(vantrel::qt::ClientWidget(*button), Qt::LeftButton, Qt::NoModifier,
                      QPoint(button->Width() / 2, button->Height() / 2));
    QApplication::processEvents();
    TwwPopupGrid* list = f->dblcVerifiedBy->Grid();
    ASSERT_TRUE(f->dblcVerifiedBy->IsDroppedDown());
    const int row = list->RowHeights(0);
    QTest::mouseClick(vantrel::qt::ClientWidget(*list), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, row + row / 2));
    QApplication::processEvents();
    EXPECT_FALSE(f->dblcVerifiedBy->IsDroppedDown());
    EXPECT_EQ(f->dblcVerifiedBy->EditText(), "Bo");
    EXPECT_TRUE(HasDate("VerifiedDate"));
    f->btnOk->Click();
  }));
  d.form->AddEntry();
  const std::string stamped = DateTimeToStr(now);
  EXPECT_EQ(StoredEntries(d.scratch.Database(), "VerifiedBy"), std::vector<std::string>{"Bo"});
  EXPECT_EQ(StoredDates(d.scratch.Database()), (std::vector<std::string>{"", stamped, stamped}));
}

// A person is given to the dialog's Fixed By by any road, and the fixed
// date stamped with it: chosen (the list of a new database showing at once
// a name Verified By added), typed, pasted, or the person already shown
// taken from the list; in the grid, pasted by the Edit menu. Blanks typed or pasted are
// no name: nothing stored, no date, no row of blanks in the list;
// cancelling the list stamps nothing either.
TEST(NewEntry, AGivenNameStampsTheDateByAnyRoadAndBlanksAreNoName) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  const TDateTime now = EncodeDate(2026, 7, 8) + EncodeTime(9, 30, 0, 0);
  TTestClock clock(now);
  auto paste = [](TfrmEnterNewRecord* f, const char* text) {
    Clipboard()->SetAsText(text);
    FocusOn(f->dblcFixedBy);
    Press(Qt::Key_V, Qt::ControlModifier);
  };
  struct Case {
    const char* name;
    const char* shown;  // the person the box holds when the window opens
    std::function<void(TfrmEnterNewRecord*)> act;
    const char* stored;
    bool dated;
  } cases[] = {
      {"chosen from the list, where Verified By just added it", "",
       [](TfrmEnterNewRecord* f) {
         TypeInto(f->dblcVerifiedBy, "Zed Ames");
         Press(Qt::Key_Tab);
         FocusOn(f->dblcFixedBy);
         Press(Qt::Key_Down, Qt::AltModifier);
         TwwPopupGrid* list = f->dblcFixedBy->Grid();
         ASSERT_TRUE(f->dblcFixedBy->IsDroppedDown());
         const int row = list->RowHeights(0);
         QTest::mouseClick(vantrel::qt::ClientWidget(*list), Qt::LeftButton, Qt::NoModifier,
                           QPoint(5, row / 2));
         QApplication::processEvents();
         EXPECT_EQ(f->dblcFixedBy->EditText(), "Zed Ames");
       },
       "Zed Ames", true},
      {"typed, completed", "",
       [](TfrmEnterNewRecord* f) {
         TypeInto(f->dblcFixedBy, "z");
         EXPECT_EQ(f->dblcFixedBy->EditText(), "Zed Ames");
       },
       "Zed Ames", true},
      {"a blank, then Tab", "",
       [](TfrmEnterNewRecord* f) {
         TypeInto(f->dblcFixedBy, " ");
         EXPECT_FALSE(HasDate("FixedDate"));
         Press(Qt::Key_Tab);
       },
       "", false},
      {"blanks, then Enter", "",
       [](TfrmEnterNewRecord* f) {
         TypeInto(f->dblcFixedBy, "  ");
         Press(Qt::Key_Return);
       },
       "", false},
      {"Ctrl+V of a name, then Enter", "",
       [&](TfrmEnterNewRecord* f) {
         paste(f, "Ann");
         EXPECT_TRUE(HasDate("FixedDate"));
         Press(Qt::Key_Return);
         // The new name joined the list as the window closed.
         EXPECT_EQ(apptest::StoredValues(frmBug->DatabasePath, "Employee", "Employee").back(), "Ann");
       },
       "Ann", true},
      {"Ctrl+V of blanks", "", [&](TfrmEnterNewRecord* f) { paste(f, "   "); }, "", false},
      {"the person shown, taken from the list", "Ann",
       [](TfrmEnterNewRecord* f) {
         FocusOn(f->dblcFixedBy);
         Press(Qt::Key_Down, Qt::AltModifier);
         ASSERT_TRUE(f->dblcFixedBy->IsDroppedDown());
         Press(Qt::Key_Return);
       },
       "Ann", true},
      {"the person shown, the list cancelled", "Ann",
       [](TfrmEnterNewRecord* f) {
         FocusOn(f->dblcFixedBy);
         Press(Qt::Key_Down, Qt::AltModifier);
         Press(Qt::Key_Escape);
       },
       "Ann", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
      TypeInto(f->dbeDescription, c.name);
      if (*c.shown) {
        // A person without a date, as an entry that came in so holds one.
        frmBug->dsetBug->FieldByName("FixedBy")->SetAsString(c.shown);
        frmBug->dsetBug->FieldByName("FixedDate")->Clear();
      }
      c.act(f);
      if (f->ModalResult() == mrNone) f->btnOk->Click();
    }));
    d.form->AddEntry();
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedBy").back(), c.stored);
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedDate").back(), c.dated ? DateTimeToStr(now) : "");
  }
  // In the grid, a name pasted by the Edit menu stamps the date (the day), and
  // pasted blanks leave both empty.
  struct Pasted {
    size_t entry;
    const char *text, *stored, *date;
  } pasted[] = {{2, "Bo", "Bo", "7/8/2026"}, {3, "   ", "", ""}};
  for (const Pasted& p : pasted) {
    SCOPED_TRACE(p.text);
    ASSERT_TRUE(d.form->dsetBug->Locate("Description", cases[p.entry].name, {}));
    d.form->dbgBug->SetFocus();
    QApplication::processEvents();
    d.form->dbgBug->SelectDataColumn(apptest::GridDataColumn(d.form, "FixedBy"));
    Clipboard()->SetAsText(p.text);
    d.form->PasteCommand();
    d.form->dsetBug->Post();
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedBy")[p.entry], p.stored);
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedDate")[p.entry], p.date);
  }
  EXPECT_EQ(apptest::StoredValues(d.scratch.Database(), "Employee", "Employee"),
            (std::vector<std::string>{"Zed Ames", "Ann"}));
}

// Each window holds eight lookup combos, all completing typed text and none
// dropping its list down by typing.
TEST(NewEntry, BothWindowsLookupCombosCompleteTypedText) {
  Dialog d;
  for (TComponent* window : std::initializer_list<TComponent*>{d.form, frmEnterNewRecord}) {
    int combos = 0;
    for (int i = 0; i < window->ComponentCount(); ++i) {
      auto* combo = dynamic_cast<TwwDBLookupCombo*>(window->Components(i));
      if (!combo) continue;
      ++combos;
      EXPECT_TRUE(combo->ShowMatchText()) << combo->Name();
      EXPECT_FALSE(combo->AutoDropDown()) << combo->Name();
    }
    EXPECT_EQ(combos, 8) << window->Name();
  }
}

// Typed text completes with the first name that begins so: "bo" in Verified
// By shows "Bo Chen", "Bo" as typed and " Chen" selected, and leaving keeps
// it; the first letter stamps the verified date, the next one not again. A
// name the list lacks stays as typed and joins the list.
TEST(NewEntry, TypedNamesCompleteAndANewNameJoinsTheList) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  AddEmployees(d.form, {"Ann", "Bo Chen", "Cy"});
  const TDateTime now = EncodeDate(2026, 7, 8) + EncodeTime(9, 30, 0, 0);
  TTestClock clock(now);
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    TypeInto(f->dbeDescription, "Completed");
    FocusOn(f->dblcVerifiedBy);
    Press(Qt::Key_B);
    clock.Advance(60 * 1000);
    Press(Qt::Key_O);
    EXPECT_EQ(f->dblcVerifiedBy->EditText(), "Bo Chen");
    EXPECT_EQ(f->dblcVerifiedBy->SelStart(), 2);
    EXPECT_EQ(f->dblcVerifiedBy->SelText(), " Chen");
    TypeInto(f->dblcFixedBy, "Dee");
    EXPECT_EQ(f->dblcFixedBy->EditText(), "Dee");
    Press(Qt::Key_Tab);
    TypeInto(f->dblcResponsibility, "an");
    EXPECT_EQ(f->dblcResponsibility->EditText(), "Ann");
    Press(Qt::Key_Delete);
    EXPECT_EQ(f->dblcResponsibility->EditText(), "An");
    Press(Qt::Key_Tab);
    EXPECT_EQ(f->dblcResponsibility->EditText(), "An");
    f->btnOk->Click();
  }));
  d.form->AddEntry();
  const std::string database = d.scratch.Database();
  EXPECT_EQ(StoredEntries(database, "VerifiedBy"), std::vector<std::string>{"Bo Chen"});
  EXPECT_EQ(StoredEntries(database, "FixedBy"), std::vector<std::string>{"Dee"});
  EXPECT_EQ(StoredEntries(database, "Responsibility"), std::vector<std::string>{"An"});
  EXPECT_EQ(StoredEntries(database, "VerifiedDate"), std::vector<std::string>{DateTimeToStr(now)});
  EXPECT_EQ(apptest::StoredValues(database, "Employee", "Employee"),
            (std::vector<std::string>{"Ann", "Bo Chen", "Cy", "Dee", "An"}));
}

}  // namespace

namespace {

// The notice that a new entry is hidden shows the information boxes' picture
// left of its text, drawn over the window's face.
TEST(NewEntry, TheNotVisibleNoticeShowsTheInformationPicture) {
  Dialog d;
  d.form->tbPriorityFilter_Normal->SetDown(false);
  QImage shot;
  TRect place;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Kind != TDialogKind::Form) return mrOk;
    auto* notice = dynamic_cast<TfrmMessage*>(r.Dialog);
    if (!notice) {
      ClickOk(static_cast<TfrmEnterNewRecord*>(r.Dialog));
      return mrNone;
    }
    QApplication::processEvents();
    shot = vantrel::qt::ClientWidget(*notice)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    place = notice->imgIcon->BoundsRect();
    return mrOk;
  });
  d.form->AddEntry();
  ASSERT_FALSE(shot.isNull());
  // What the place must show: the boxes' picture over the face colour at its corner.
  QMessageBox box;
  box.setIcon(QMessageBox::Information);
  const QPixmap picture = box.iconPixmap();
  const int w = picture.width(), h = picture.height();
  ASSERT_EQ(place.Right - place.Left, w);
  ASSERT_EQ(place.Bottom - place.Top, h);
  QImage want(w, h, QImage::Format_ARGB32);
  want.fill(shot.pixel(place.Left - 2, place.Top - 2));
  {
    QPainter painter(&want);
    painter.drawPixmap(0, 0, picture);
  }
  int differing = 0, drawn = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const QRgb got = shot.pixel(place.Left + x, place.Top + y), expected = want.pixel(x, y);
      if (std::abs(qRed(got) - qRed(expected)) > 2 || std::abs(qGreen(got) - qGreen(expected)) > 2 ||
          std::abs(qBlue(got) - qBlue(expected)) > 2)
        ++differing;
      if (expected != want.pixel(0, 0)) ++drawn;
    }
  EXPECT_GT(drawn, w * h / 5) << "the picture covers much of its place";
  EXPECT_EQ(differing, 0);
}

}  // namespace

namespace {

// A space typed into an empty date box of the window is today; into a date
// begun it completes the date part by part, as in any date edit.
TEST(NewEntry, ASpaceInAnEmptyDateBoxIsToday) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  const TDateTime today = EncodeDate(2026, 7, 8);
  TTestClock clock(today + EncodeTime(9, 30, 0, 0));
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    TypeInto(f->dbeDescription, "Dated");
    for (TwwDBComboDlg* date : {f->dbcdReportedDate, f->dbcdFixedDate}) {
      FocusOn(date);
      Press(Qt::Key_Space);
      EXPECT_EQ(date->Text(), DateToStr(today)) << date->Name();
    }
    TypeInto(f->dbcdVerifiedDate, "7 ");
    EXPECT_EQ(f->dbcdVerifiedDate->Text(), wwCompleteDateTimeText("7", ftDateTime, Now()));
    EXPECT_FALSE(HasDate("VerifiedDate"));
    f->dbcdVerifiedDate->SelectAll();
    Press(Qt::Key_Delete);
    f->btnOk->Click();
  }));
  d.form->AddEntry();
  EXPECT_EQ(StoredDates(d.scratch.Database()), (std::vector<std::string>{DateToStr(today), DateToStr(today), ""}));
}

// A half-typed date ("12/") in a date box of the window is not left by a key
// or a click: the box says what is wrong, keeps the keyboard and the text,
// selected, and the window stays open with nothing stored.
TEST(NewEntry, AHalfTypedDateKeepsTheUserInItsBoxWithItsOwnMessage) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  std::vector<std::string> told;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Kind != TDialogKind::Form) {
      told.push_back(r.Text);
      return mrOk;
    }
    auto* f = static_cast<TfrmEnterNewRecord*>(r.Dialog);
    auto click = [](TWinControl* c) { testing_support::WindowClick(c, c->Width() / 2, c->Height() / 2); };
    const struct {
      const char* name;
      std::function<void()> leave;
    } leaving[] = {{"Tab", [] { Press(Qt::Key_Tab); }},
                   {"Shift+Tab", [] { Press(Qt::Key_Tab, Qt::ShiftModifier); }},
                   {"Enter", [] { Press(Qt::Key_Return); }},
                   {"a click on another box", [&] { click(f->dbeDescription); }},
                   {"a click on OK", [&] { click(f->btnOk); }}};
    TypeInto(f->dbeDescription, "Half typed");
    for (TwwDBComboDlg* box : {f->dbcdReportedDate, f->dbcdFixedDate, f->dbcdVerifiedDate}) {
      for (const auto& [name, leave] : leaving) {
        SCOPED_TRACE(box->Name() + ", " + name);
        TypeInto(box, "12/");
        told.clear();
        leave();
        Application->ProcessMessages();
        EXPECT_EQ(told, std::vector<std::string>{"'12/' is not a valid date and time."});
        EXPECT_EQ(f->ModalResult(), mrNone);
        EXPECT_EQ(f->ActiveControl(), box);
        EXPECT_TRUE(box->Focused());
        EXPECT_EQ(box->SelText(), "12/");
        EXPECT_EQ(frmBug->dsetBug->State(), dsInsert);
        EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{});
        Press(Qt::Key_Delete);  // given up
      }
    }
    f->btnOk->Click();
    return mrNone;
  });
  d.form->AddEntry();
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{"1:Half typed"});
  EXPECT_EQ(StoredDates(d.scratch.Database()), (std::vector<std::string>{"", "", ""}));
}

}  // namespace

namespace {

// Alt with the underlined letter of a field's caption focuses that field.
TEST(NewEntry, AltAndALabelsLetterFocusItsField) {
  Dialog d;
  std::vector<std::string> missed;
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    const std::pair<Qt::Key, TWinControl*> cases[] = {
        {Qt::Key_D, f->dbeDescription},   {Qt::Key_V, f->dblcVersion},
        {Qt::Key_A, f->dblcArea},         {Qt::Key_S, f->wwDBLookupCombo1},
        {Qt::Key_R, f->dblcReportedBy},   {Qt::Key_O, f->dbcdReportedDate},
        {Qt::Key_P, f->dblcResponsibility}, {Qt::Key_F, f->dblcFixedBy},
        {Qt::Key_X, f->dbcdFixedDate},    {Qt::Key_I, f->dblcFixedInVersion},
        {Qt::Key_E, f->dblcVerifiedBy},   {Qt::Key_T, f->dbcdVerifiedDate},
    };
    for (const auto& [key, field] : cases) {
      QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
      Application->ProcessMessages();
      if (f->ActiveControl() != field) missed.push_back(field->Name());
    }
    f->btnCancel->Click();
  }));
  d.form->AddEntry();
  EXPECT_EQ(missed, std::vector<std::string>{});
}

}  // namespace
