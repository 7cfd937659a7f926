// Entries and programs over a real database file: defaults of a new entry,
// the dialog-off insert, deleting and renaming programs, the switch, the
// per-kind labels, the enabling of the toolbar, the lookup combos and the
// dates that giving a person or typing a space fills.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/choosedate/choosedate.h"
#include "app/choosedate/choosefor.h"
#include "app/main/bug.h"
#include "app/zoom/zoom.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/richedit/richedit.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/edits/wwdbedit.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/edits/wwdotdot.h"
#include "entrytest.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

using apptest::StoredEntries;
using apptest::Window;

TEST(Entries, NewRecordDefaultsFollowTheOptionsWithinTheirCodes) {
  struct Case {
    int tab;
    const char *status, *priority, *wantStatus, *wantPriority, *wantType;
  } cases[] = {
      {0, "0", "", "1", "3", "BugReport"},   {0, "10", "6", "1", "3", "BugReport"},
      {0, "9", "5", "9", "5", "BugReport"},  {1, "2", "1", "2", "1", "FeatureRequest"},
  };
  for (const Case& c : cases) {
    Window w([&](TRegIniFile& reg) {
      const char* suffix = c.tab ? "_Feature" : "";
      reg.WriteString("Options", std::string("NewRecord_Status") + suffix, c.status);
      reg.WriteString("Options", std::string("NewRecord_Priority") + suffix, c.priority);
    });
    TTestClock clock(EncodeDate(2026, 3, 4) + 0.5);
    w.form->tcType->SetTabIndex(c.tab);
    w.form->AddEntry();
    SCOPED_TRACE(c.status);
    // Dialog off: the new record waits in the grid.
    EXPECT_EQ(w.form->dsetBug->State(), dsInsert);
    EXPECT_EQ(w.Field("Status"), c.wantStatus);
    EXPECT_EQ(w.Field("Priority"), c.wantPriority);
    EXPECT_EQ(w.Field("ReportType"), c.wantType);
    EXPECT_EQ(w.form->dsetBug->FieldByName("ReportedDate")->AsDateTime(), EncodeDate(2026, 3, 4));
  }
}

TEST(Entries, TabChangeAndGridResizePostATypedInsertAndDropAnUntouchedOne) {
  Window w;
  const std::function<void()> triggers[] = {
      [&] { w.form->tcType->SetTabIndex(1 - w.form->tcType->TabIndex()); },
      [&] { w.form->pnlGrid->SetHeight(w.form->pnlGrid->Height() + 20); }};
  for (const auto& trigger : triggers) {
    w.form->AddEntry();
    w.form->dsetBug->FieldByName("Description")->SetAsString("typed in the grid");
    trigger();
    w.form->AddEntry();
    trigger();
    EXPECT_EQ(w.form->dsetBug->State(), dsBrowse);
  }
  EXPECT_EQ(StoredEntries(w.scratch.Database()),
            std::vector<std::string>(2, "1:typed in the grid"));
}

TEST(Entries, DeletingAProgramDeletesItsEntriesOfBothKinds) {
  Window w;
  TDialogResponderScope answers([](TDialogRequest& r) {
    if (r.Kind == TDialogKind::InputQuery) *r.Value = "Second";
    return r.Kind == TDialogKind::InputQuery ? mrOk : mrYes;
  });
  w.AddPosted(0, "kept");
  w.form->AddProgram();
  w.AddPosted(0, "bug");
  w.AddPosted(1, "feature");
  w.form->DeleteProgram();
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{
                                "Program Name", "Delete Program 'Second' and all its reports?"}));
  EXPECT_EQ(StoredEntries(w.scratch.Database()), std::vector<std::string>{"1:kept"});
  EXPECT_EQ(w.form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
}

TEST(Entries, AnEntryHeldElsewhereStopsTheProgramDelete) {
  Window w;
  w.AddPosted(1, "held");
  TwwtaTable other;
  other.SetDatabaseName(w.scratch.Database());
  other.SetTableName("Reports");
  other.Open();
  other.Edit();
  TDialogResponderScope answers([](TDialogRequest& r) { return r.Buttons.front(); });
  w.form->DeleteProgram();
  ASSERT_EQ(answers.Count(), 2);
  EXPECT_EQ(answers.Texts()[1].rfind("A delete error has occured.\n", 0), 0u) << answers.Texts()[1];
  other.Cancel();
  EXPECT_EQ(StoredEntries(w.scratch.Database()), std::vector<std::string>{"1:held"});
  EXPECT_EQ(w.form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
}

TEST(Entries, TheLastProgramDeletedIsReplacedEvenWhenTheNameIsCancelled) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "ConfirmDeletes", false); });
  TDialogResponderScope answers([](TDialogRequest&) { return mrCancel; });
  w.form->DeleteProgram();
  EXPECT_EQ(answers.Count(), 1);
  EXPECT_EQ(w.form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
  EXPECT_EQ(w.form->wwtblProgram->RecordCount(), 1);
}

// A name the database refuses, given by Rename or Add Program, is told in the
// post-error words with the engine's own message and stays in the program
// list as typed, as a refused entry does, until Escape gives it up.
TEST(Entries, ARefusedRenameOrNewProgramIsToldAndStaysAsTypedUntilEscape) {
  Window w;
  apptest::RefuseValue(w.scratch.Database(), "Programs", "Program", "Refused");
  TDialogResponderScope answers([](TDialogRequest& r) {
    if (r.Kind == TDialogKind::InputQuery) *r.Value = "Refused";
    return r.Buttons.empty() ? mrOk : r.Buttons.front();
  });
  TwwtaTable* programs = w.form->wwtblProgram;
  for (auto [command, state] : {std::pair{&TfrmBug::RenameProgram, dsEdit}, std::pair{&TfrmBug::AddProgram, dsInsert}}) {
    const int before = answers.Count();
    (w.form->*command)();
    ASSERT_EQ(answers.Count(), before + 2);
    EXPECT_EQ(answers.Texts().back().rfind("An error has occured while posting a record.\n\nAccess Status 3022", 0), 0u)
        << answers.Texts().back();
    EXPECT_EQ(programs->State(), state);
    EXPECT_EQ(programs->FieldByName("Program")->AsString(), "Refused");
    w.form->dbgridPrograms->SetFocus();
    QApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(answers.Texts().back(), "Discard changes to this record?");
    EXPECT_EQ(programs->State(), dsBrowse);
    EXPECT_EQ(programs->FieldByName("Program")->AsString(), "New Program");
  }
  EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Programs", "Program"), std::vector<std::string>{"New Program"});
}

TEST(Entries, SwitchMovesOnlyTheTwoKindsAndRefusesAnEmptyTable) {
  Window w;
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  w.form->SwitchEntry();
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{
      "You cannot switch entries because there are no entries.\nSelect an existing entry and try again."});
  struct Case { const char *from, *to; } cases[] = {
      {"BugReport", "FeatureRequest"}, {"FeatureRequest", "BugReport"}, {"Other", "Other"}};
  for (const Case& c : cases) {
    w.form->AddEntry();
    w.form->dsetBug->FieldByName("ReportType")->SetAsString(c.from);
    w.form->dsetBug->Post();
    // The bug tab's quick filter hides the other kinds: reach the new row without it.
    w.form->dsetBug->SetFiltered(false);
    w.form->dsetBug->Last();
    w.form->SwitchEntry();
    EXPECT_EQ(StoredEntries(w.scratch.Database(), "ReportType").back(), c.to);
    EXPECT_TRUE(w.form->dsetBug->Filtered()) << "the switch filters the tab again";
  }
}

TEST(Entries, LabelsFollowTheKind) {
  Window w;
  struct Case { int tab; const char *hint, *label, *memoTab, *deleteItem; } cases[] = {
      {1, "Moves selected entry to Bug Reports", "Requested~By", " Request ", "&Feature Request"},
      {0, "Moves selected entry to Feature Requests", "Reported~By", " Report ", "&Bug Report"},
  };
  for (const Case& c : cases) {
    w.form->tcType->SetTabIndex(c.tab);
    EXPECT_EQ(w.form->ReportType, c.tab ? "FeatureRequest" : "BugReport");
    EXPECT_EQ(w.form->tbSwitch->Hint(), c.hint);
    EXPECT_EQ(w.form->dsetBug->FieldByName("ReportedBy")->DisplayLabel(), c.label);
    EXPECT_EQ(w.form->tcRTFs->Tabs()->Strings(0), c.memoTab);
    EXPECT_EQ(w.form->mnuMain_Edit_Delete_Report->Caption(), c.deleteItem);
  }
}

TEST(Entries, ToolbarFollowsEmptinessExceptWhileBusy) {
  Window w;
  w.form->UpdateDetailControls();
  EXPECT_FALSE(w.form->tbDelete->Enabled());
  EXPECT_FALSE(w.form->rtfReport->Enabled());
  w.AddPosted(0, "one");
  EXPECT_TRUE(w.form->tbDelete->Enabled());
  w.form->Busy = true;
  w.form->tbDelete->SetEnabled(false);
  w.form->UpdateToolbarButtons();
  EXPECT_FALSE(w.form->tbDelete->Enabled());
  w.form->Busy = false;
}

}  // namespace

namespace {

TEST(Entries, TheDateChooserOpensOnTheEditsDateOrTodayAndStaysOnScreen) {
  Window w;
  frmChooseDate = new TfrmChooseDate(Application);
  TTestClock clock(EncodeDate(2026, 5, 6) + 0.25);
  const TDateTime other = EncodeDate(2025, 1, 2), chosen = EncodeDate(2025, 1, 3);
  // An unbound edit in the window's bottom-right corner: the chooser cannot go below it.
  w.form->SetBounds(Screen->Width() - w.form->Width(), Screen->Height() - w.form->Height(),
                    w.form->Width(), w.form->Height());
  auto* edit = new TwwDBComboDlg(w.form);
  edit->SetParent(w.form);
  edit->SetBounds(w.form->ClientWidth() - 30, w.form->ClientHeight() - 22, 30, 20);
  struct Case { std::string text; TDateTime preset; } cases[] = {
      {"not a date", EncodeDate(2026, 5, 6)}, {DateToStr(other), other}};
  for (const Case& c : cases) {
    edit->SetText(c.text);
    TDateTime seen = 0;
    TDialogResponderScope answers([&](TDialogRequest&) {
      seen = frmChooseDate->ChosenDate;
      frmChooseDate->ChosenDate = chosen;
      return mrOk;
    });
    EXPECT_TRUE(ChooseDateFor(edit));
    EXPECT_EQ(seen.Value, c.preset.Value) << c.text;
    EXPECT_EQ(edit->Text(), DateToStr(chosen));
    EXPECT_LE(frmChooseDate->Left() + frmChooseDate->Width(), Screen->Width() - 1);
    EXPECT_LE(frmChooseDate->Top() + frmChooseDate->Height(),
              edit->ClientToScreen(TPoint{0, 0}).y);
  }
  // A bound edit writes its field, editing the entry.
  w.AddPosted(0, "dated");
  TDialogResponderScope answers([&](TDialogRequest&) {
    frmChooseDate->ChosenDate = chosen;
    return mrOk;
  });
  EXPECT_TRUE(ChooseDateFor(w.form->dbcdFixedDate));
  EXPECT_EQ(w.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(w.form->dsetBug->FieldByName("FixedDate")->AsDateTime().Value, chosen.Value);
  delete frmChooseDate;
}

}  // namespace

namespace {

TEST(Entries, OnlyTheFiveTextColumnsOpenInTheZoomWindow) {
  Window w;
  // Freed and forgotten even when an assertion below ends the test early.
  std::unique_ptr<TfrmZoom> zoom(frmZoom = new TfrmZoom(Application));
  struct Forget { ~Forget() { frmZoom = nullptr; } } forget;
  w.AddPosted(0, "short");
  int shown = 0;
  TDialogResponderScope answers([&](TDialogRequest&) {
    ++shown;
    frmZoom->rtfText->SetText("zoomed");
    return mrOk;
  });
  TwwDBGrid* grid = w.form->dbgBug;
  struct Case { const char* field; bool zooms; } cases[] = {{"Status", false}, {"Description", true}};
  for (const Case& c : cases) {
    // The indicator and the fixed report-number column come first and are never current.
    for (int col = static_cast<TCustomGrid*>(grid)->FixedCols(); col < grid->ColCount(); ++col) {
      grid->SetCol(col);
      if (grid->GetSelectedField()->FieldName() == c.field) break;
    }
    ASSERT_EQ(grid->GetSelectedField()->FieldName(), c.field);
    w.form->EditFieldInZoom();
    EXPECT_EQ(shown, c.zooms ? 1 : 0) << c.field;
  }
  EXPECT_EQ(frmZoom->Caption(), "Description");
  EXPECT_EQ(w.Field("Description"), "zoomed");
}

// Shift+F2 on a clicked Description cell: both buttons stand at the panel's
// right edge from the start, and a click where OK stands keeps what was typed.
TEST(Entries, TheZoomWindowOpensWithOkAndCancelAtTheRightEdge) {
  Window w;
  std::unique_ptr<TfrmZoom> zoom(frmZoom = new TfrmZoom(Application));
  struct Forget { ~Forget() { frmZoom = nullptr; } } forget;
  w.AddPosted(0, "short");
  TDialogResponderScope answers([&](TDialogRequest&) {
    Application->ProcessMessages();
    TButton* ok = frmZoom->btnOk;
    TButton* cancel = frmZoom->btnCancel;
    const int right = frmZoom->pnlButtons->ClientWidth() - 5;
    EXPECT_EQ(cancel->Left() + cancel->Width(), right);
    EXPECT_EQ(ok->Left() + ok->Width(), cancel->Left() - 5);
    QWidget* text = vantrel::qt::ClientWidget(*frmZoom->rtfText);
    QTest::keyClick(text->focusProxy() ? text->focusProxy() : text, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(text->focusProxy() ? text->focusProxy() : text, " typed");
    // Through the window system, which only reaches what the window shows.
    const TPoint at = frmZoom->pnlButtons->ClientToScreen(
        {right - cancel->Width() - 5 - ok->Width() / 2, frmZoom->pnlButtons->ClientHeight() / 2});
    const QPoint inWindow = vantrel::qt::WindowWidget(*frmZoom)->mapFromGlobal(QPoint(at.x, at.y));
    testing_support::SystemClick(frmZoom, inWindow.x(), inWindow.y());
    return frmZoom->ModalResult() == mrNone ? mrCancel : mrNone;
  });
  TwwDBGrid* grid = w.form->dbgBug;
  const int column = w.form->GridColumnOf(apptest::GridDataColumn(w.form, "Description"));
  grid->SetLeftCol(column);  // scrolled into view
  const TRect cell = grid->CellRect(column, 1);
  QWidget* cells = vantrel::qt::ClientWidget(*grid);
  QTest::mouseClick(cells, Qt::LeftButton, {}, QPoint(cell.Left + 5, (cell.Top + cell.Bottom) / 2));
  ASSERT_EQ(grid->GetSelectedField()->FieldName(), "Description");
  QTest::keyClick(cells, Qt::Key_F2, Qt::ShiftModifier);
  EXPECT_EQ(answers.Count(), 1);
  EXPECT_EQ(frmZoom->ModalResult(), mrOk);
  EXPECT_EQ(w.Field("Description"), "short typed");
}

}  // namespace

namespace {

TEST(Entries, EnteringAMemoEditsTheEntryUnlessToldToSkipOnce) {
  Window w;
  w.AddPosted(0, "memo");
  auto enter = [](TWinControl* c) {
    c->SetFocus();
    Application->ProcessMessages();
  };
  enter(w.form->dbgBug);  // the first activation leaves the focus in the memo pane
  w.form->SkipMemoPaneEdit = true;
  enter(w.form->rtfReport);
  EXPECT_EQ(w.form->FocusArea, 2);
  EXPECT_EQ(w.form->dsetBug->State(), dsBrowse);
  EXPECT_FALSE(w.form->SkipMemoPaneEdit);
  enter(w.form->dbgBug);
  EXPECT_EQ(w.form->FocusArea, 1);
  enter(w.form->rtfReport);
  EXPECT_EQ(w.form->dsetBug->State(), dsEdit);
}

}  // namespace

namespace {

// Types `text` with real keys over a shown lookup combo of the record pane and
// leaves it for the grid; message boxes' texts land in `messages`.
void TypeInto(TwwDBLookupCombo* combo, const char* text, std::vector<std::string>& messages) {
  TDialogResponderScope answers([&](TDialogRequest& r) {
    messages.push_back(r.Text);
    return mrOk;
  });
  combo->SetBounds(10, 10, 120, 21);
  combo->SetVisible(true);
  combo->SetFocus();
  QApplication::processEvents();
  combo->SelectAll();
  QTest::keyClicks(QApplication::focusWidget(), text);
  frmBug->dbgBug->SetFocus();
  QApplication::processEvents();
  combo->SetVisible(false);
}

TEST(Entries, LookupCombosAddTypedValuesStampTodayAndKeepARefusedRowUnchanged) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  w.AddPosted(0, "first");
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  struct Case {
    TwwDBLookupCombo* TfrmBug::*combo;
    const char *table, *lookupField, *field, *typed, *date;
  } cases[] = {
      {&TfrmBug::dblcArea, "Area", "Area", "Area", "Printing", nullptr},
      {&TfrmBug::dblcFixedInVersion, "Version", "Version", "FixedInVersion", "2.1", nullptr},
      {&TfrmBug::dblcReportedBy, "User", "User", "ReportedBy", "Ann Lee", "ReportedDate"},
      {&TfrmBug::dblcFixedBy, "Employee", "Employee", "FixedBy", "Bo", "FixedDate"},
      {&TfrmBug::dblcVerifiedBy, "Employee", "Employee", "VerifiedBy", "Cy", "VerifiedDate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    std::vector<std::string> messages;
    TypeInto(w.form->*c.combo, c.typed, messages);
    w.form->dsetBug->Post();
    EXPECT_EQ(messages, std::vector<std::string>{});
    const auto rows = apptest::StoredValues(w.scratch.Database(), c.table, c.lookupField);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), c.typed), 1);
    EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Reports", c.field),
              std::vector<std::string>{c.typed});
    if (c.date) {
      EXPECT_EQ(w.form->dsetBug->FieldByName(c.date)->AsDateTime(), EncodeDate(2026, 7, 8));
    }
  }
  // The database refuses the new area: its message, the entry and the table unchanged.
  apptest::RefuseValue(w.scratch.Database(), "Area", "Area", "Bad");
  std::vector<std::string> messages;
  TypeInto(w.form->dblcArea, "Bad", messages);
  ASSERT_EQ(messages.size(), 1u);
  // The engine words a refused row as a key violation.
  EXPECT_NE(messages[0].find("3022"), std::string::npos) << messages[0];
  EXPECT_EQ(w.Field("Area"), "Printing");
  EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Area", "Area"),
            std::vector<std::string>{"Printing"});
}

TEST(Entries, LookupListsDropAtLeastTheirWidth) {
  Window w;
  struct Case {
    TwwDBCustomCombo* combo;
    int comboWidth, listWidth, want;
  } cases[] = {
      {w.form->dblcArea, 300, 0, 150},        {w.form->dblcSeverity, 300, 200, 200},
      {w.form->dblcVersion, 300, 0, 300},     {w.form->dblcResponsibility, 90, 400, 150},
      {w.form->cmbStatus, 50, 0, 100},        {w.form->cmbPriority, 50, 120, 120},
  };
  for (const Case& c : cases) {
    c.combo->SetWidth(c.comboWidth);
    auto* lookup = dynamic_cast<TwwDBLookupCombo*>(c.combo);
    auto* codes = dynamic_cast<TwwDBComboBox*>(c.combo);
    if (lookup) lookup->SetDropDownWidth(c.listWidth), lookup->OnDropDown(lookup);
    if (codes) codes->SetDropDownWidth(c.listWidth), codes->OnDropDown(codes);
    EXPECT_EQ(lookup ? lookup->DropDownWidth() : codes->DropDownWidth(), c.want) << c.combo->Name();
  }
}

}  // namespace

namespace {

using testing_support::Pump;

// The grid on `field` of the first entry, with the keyboard; the cell's
// editor is shown once the grid has painted the cell.
void OnFirstCell(TfrmBug* form, const char* field) {
  TwwDBGrid* grid = form->dbgBug;
  form->dsetBug->First();
  // Focused first: the grid then scrolls the cell into view, as it does for the user.
  grid->SetFocus();
  grid->SetCol(form->GridColumnOf(apptest::GridDataColumn(form, field)));
  ASSERT_TRUE(testing_support::WaitFor([grid] {
    const TCustomEdit* editor = grid->CellControl(grid->Col(), grid->Row());
    return editor && editor->Visible();
  }));
}

// A key as the user presses it, to the widget that has the keyboard.
void PressToFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  Pump();
}

bool NoDate(TfrmBug* form, const char* field) { return form->dsetBug->FieldByName(field)->IsNull(); }

// The Fixed By cell's editor in the grid: keys that move, cancel or only
// press a modifier leave the fixed date empty; a name typed stamps it.
TEST(Entries, OnlyANameGivenToAFixedByCellStampsTheFixedDate) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  w.AddPosted(0, "first");
  w.AddPosted(0, "second");
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  struct Case {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } cases[] = {
      {"Left", Qt::Key_Left, Qt::NoModifier},        {"Right", Qt::Key_Right, Qt::NoModifier},
      {"Home", Qt::Key_Home, Qt::NoModifier},        {"End", Qt::Key_End, Qt::NoModifier},
      {"F12", Qt::Key_F12, Qt::NoModifier},          {"Shift", Qt::Key_Shift, Qt::ShiftModifier},
      {"Ctrl", Qt::Key_Control, Qt::ControlModifier}, {"Insert", Qt::Key_Insert, Qt::NoModifier},
      {"Backspace", Qt::Key_Backspace, Qt::NoModifier}, {"Delete", Qt::Key_Delete, Qt::NoModifier},
      {"Return", Qt::Key_Return, Qt::NoModifier},    {"Escape", Qt::Key_Escape, Qt::NoModifier},
      {"Tab", Qt::Key_Tab, Qt::NoModifier},          {"Shift+Tab", Qt::Key_Tab, Qt::ShiftModifier},
      {"Down", Qt::Key_Down, Qt::NoModifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OnFirstCell(w.form, "FixedBy");
    PressToFocus(Qt::Key_F2);
    ASSERT_TRUE(w.form->dblcFixedBy->Focused());
    PressToFocus(c.key, c.modifiers);
    EXPECT_TRUE(NoDate(w.form, "FixedDate"));
    if (w.form->dsetBug->State() != dsBrowse) w.form->dsetBug->Cancel();
  }
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedDate"), (std::vector<std::string>{"", ""}));
  OnFirstCell(w.form, "FixedBy");
  // The grid hands the first key to the cell's editor, which has the next.
  for (char c : std::string("Bo")) {
    QTest::keyClick(QApplication::focusWidget(), c);
    Pump();
  }
  EXPECT_FALSE(NoDate(w.form, "FixedDate"));
  PressToFocus(Qt::Key_Down);  // the grid posts the entry
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedBy"), (std::vector<std::string>{"Bo", ""}));
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedDate"),
            (std::vector<std::string>{DateToStr(EncodeDate(2026, 7, 8)), ""}));
}

// A fixed date is stamped when a person is stored with the entry: not for a
// name only looked at in the open list and given up with Escape, nor for one
// typed and then erased or given up with Escape; in the grid's cell and in
// the new-entry window alike.
TEST(Entries, AFixedDateComesOnlyWithTheNameStoredWithTheEntry) {
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  const std::string today = DateToStr(EncodeDate(2026, 7, 8));
  auto keys = [](std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> pressed) {
    return [pressed] {
      for (const auto& [key, modifiers] : pressed) PressToFocus(key, modifiers);
    };
  };
  const auto none = Qt::NoModifier;
  struct Case {
    const char* name;
    std::function<void()> act;  // on the empty Fixed By box, which has the keyboard
    const char* person;
    bool dated;
  };
  const Case cases[] = {
      {"Down in the open list, then Escape", keys({{Qt::Key_Down, Qt::AltModifier}, {Qt::Key_Down, none},
                                                   {Qt::Key_Escape, none}}),
       "", false},
      {"Down in the open list, then Enter", keys({{Qt::Key_Down, Qt::AltModifier}, {Qt::Key_Down, none},
                                                  {Qt::Key_Return, none}}),
       "Ann", true},
      {"typed, then erased", keys({{Qt::Key_B, none}, {Qt::Key_O, none}, {Qt::Key_Backspace, none},
                                   {Qt::Key_Backspace, none}, {Qt::Key_Backspace, none}}),
       "", false},
      {"typed, then Escape", keys({{Qt::Key_B, none}, {Qt::Key_O, none}, {Qt::Key_Escape, none}}), "", false},
      {"typed", keys({{Qt::Key_B, none}, {Qt::Key_O, none}}), "Bo", true},
  };
  {
    Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
    w.AddPosted(0, "first");
    w.AddPosted(0, "second");
    apptest::AddEmployees(w.form, {"Ann", "Bo"});
    // Escape in the cell asks about the entry the typed name put into edit:
    // kept, it holds neither the name nor the date that came with it.
    TDialogResponderScope keep([](TDialogRequest& r) {
      EXPECT_EQ(r.Text, "Discard changes to this record?");
      return mrNo;
    });
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string("grid: ") + c.name);
      OnFirstCell(w.form, "FixedBy");
      PressToFocus(Qt::Key_F2);
      ASSERT_TRUE(w.form->dblcFixedBy->Focused());
      c.act();
      PressToFocus(Qt::Key_Down);  // the grid posts the entry and moves on
      EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedBy"), (std::vector<std::string>{c.person, ""}));
      EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedDate"),
                (std::vector<std::string>{c.dated ? today : "", ""}));
      // The next case starts from an entry without either.
      w.form->dsetBug->First();
      w.form->dsetBug->Edit();
      w.form->dsetBug->FieldByName("FixedBy")->Clear();
      w.form->dsetBug->FieldByName("FixedDate")->Clear();
      w.form->dsetBug->Post();
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("new-entry window: ") + c.name);
    apptest::DialogWindow d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
    apptest::AddEmployees(d.form, {"Ann", "Bo"});
    TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
      if (r.Dialog != frmEnterNewRecord) return mrOk;
      frmEnterNewRecord->dbeDescription->SetFocus();
      Pump();
      QTest::keyClicks(QApplication::focusWidget(), "entry");
      frmEnterNewRecord->dblcFixedBy->SetFocus();
      Pump();
      c.act();
      PressToFocus(Qt::Key_Tab);
      frmEnterNewRecord->btnOk->Click();
      return mrNone;
    });
    d.form->AddEntry();
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedBy"), std::vector<std::string>{c.person});
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedDate").size(), 1u);
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "FixedDate")[0].empty(), !c.dated);
  }
}

// Typed on a Verified By cell, "bo" completes to the first name that begins
// so, "Bo" as typed and " Chen" selected; the entry stores it with the date.
TEST(Entries, NamesTypedOnALookupCellComplete) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  w.AddPosted(0, "first");
  apptest::AddEmployees(w.form, {"Ann", "Bo Chen", "Cy"});
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  OnFirstCell(w.form, "VerifiedBy");
  // The grid hands the first key to the cell's editor, which has the next.
  for (char c : std::string("bo")) {
    QTest::keyClick(QApplication::focusWidget(), c);
    Pump();
  }
  TwwDBLookupCombo* combo = w.form->dblcVerifiedBy;
  ASSERT_TRUE(combo->Focused());
  EXPECT_EQ(combo->EditText(), "Bo Chen");
  EXPECT_EQ(combo->SelStart(), 2);
  EXPECT_EQ(combo->SelText(), " Chen");
  PressToFocus(Qt::Key_Down);  // the grid posts the entry
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "VerifiedBy"), std::vector<std::string>{"Bo Chen"});
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "VerifiedDate"),
            std::vector<std::string>{DateToStr(EncodeDate(2026, 7, 8))});
}

// Keys at the caret of a name in a Fixed By cell (F2 opens it) edit the name
// there, also the first key, which puts the entry into edit: "Bo" with End
// and "x" is "Box", stored as typed and joining the list as typed.
TEST(Entries, KeysAtTheCaretOfALookupCellEditTheNameThere) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  struct Case {
    const char *name, *keys, *want;
    Qt::Key move;
  } cases[] = {
      {"Bo", "x", "Box", Qt::Key_End},
      {"Émile", "s", "Émiles", Qt::Key_End},
      {"Cy", "Mc", "McCy", Qt::Key_Home},
      {"Dee", "\b", "De", Qt::Key_End},
  };
  for (const Case& c : cases) w.AddPosted(0, c.name);
  for (const Case& c : cases) {
    w.form->dsetBug->Locate("Description", c.name, {});
    w.form->dsetBug->Edit();
    w.form->dsetBug->FieldByName("FixedBy")->SetAsString(c.name);
    w.form->dsetBug->FieldByName("FixedDate")->SetAsDateTime(EncodeDate(2026, 7, 1));
    w.form->dsetBug->Post();
  }
  apptest::AddEmployees(w.form, {"Bo", "Émile", "Cy", "Dee"});
  TwwDBGrid* grid = w.form->dbgBug;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(w.form->dsetBug->Locate("Description", c.name, {}));
    grid->SetFocus();
    grid->SetCol(w.form->GridColumnOf(apptest::GridDataColumn(w.form, "FixedBy")));
    ASSERT_TRUE(testing_support::WaitFor([grid] {
      const TCustomEdit* editor = grid->CellControl(grid->Col(), grid->Row());
      return editor && editor->Visible();
    }));
    PressToFocus(Qt::Key_F2);
    ASSERT_TRUE(w.form->dblcFixedBy->Focused());
    ASSERT_EQ(w.form->dsetBug->State(), dsBrowse);
    PressToFocus(c.move);
    for (const char* k = c.keys; *k; ++k) {
      if (*k == '\b') PressToFocus(Qt::Key_Backspace);
      else QTest::keyClick(QApplication::focusWidget(), *k), Pump();
    }
    EXPECT_EQ(w.form->dblcFixedBy->EditText(), c.want);
    PressToFocus(Qt::Key_Tab);
    w.form->dsetBug->CheckBrowseMode();
  }
  std::vector<std::string> want;
  for (const Case& c : cases) want.push_back(c.want);
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedBy"), want);
  const auto people = apptest::StoredValues(w.scratch.Database(), "Employee", "Employee");
  for (const Case& c : cases) EXPECT_EQ(std::count(people.begin(), people.end(), c.want), 1) << c.want;
  EXPECT_EQ(people.size(), 2 * std::size(cases));
}

// Counts the grid's paints that moved or showed a cell's control: a window
// moved so is not painted where it went, and its cell shows empty on a real
// display (the offscreen one paints it all the same).
struct MovedByPaints : QObject {
  MovedByPaints(QWidget* grid, QWidget* control) : control_(control) { grid->installEventFilter(this); }
  bool eventFilter(QObject* grid, QEvent* e) override {
    if (e->type() != QEvent::Paint || inPaint_) return false;
    const QRect before = control_->geometry();
    const bool shown = control_->isVisible();
    inPaint_ = true;
    grid->event(e);  // the paint itself, seen from both sides
    inPaint_ = false;
    if (control_->geometry() != before || control_->isVisible() != shown) ++count;
    return true;
  }
  QWidget* control_;
  bool inPaint_ = false;
  int count = 0;
};

// The date cells move rows as every cell does: Up and Down on the grid, and
// in the date box F2 opened, go to the row above or below, and the cell's
// date box comes along with that row's date, never moved by a paint.
TEST(Entries, DateCellsFollowTheRowsAndMoveThemAsEveryCell) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  for (int day = 1; day <= 4; ++day) {
    w.AddPosted(0, "entry " + std::to_string(day));
    w.form->dsetBug->Edit();
    w.form->dsetBug->FieldByName("FixedDate")->SetAsDateTime(EncodeDate(2026, 7, day));
    w.form->dsetBug->Post();
  }
  TwwDBGrid* grid = w.form->dbgBug;
  TwwDBComboDlg* box = w.form->dbcdFixedDate;
  OnFirstCell(w.form, "FixedDate");
  const TRect last = grid->CellRect(grid->Col(), 4);
  testing_support::Click(grid, last.Left + 4, last.Top + 4);
  Pump();
  MovedByPaints moves(testing_support::ClientOf(grid), vantrel::qt::WindowWidget(*box));
  struct Step {
    bool f2;  // in the date box F2 opened
    Qt::Key key;
    const char* entry;
  } steps[] = {{false, Qt::Key_Up, "entry 3"}, {false, Qt::Key_Up, "entry 2"},
               {false, Qt::Key_Down, "entry 3"}, {true, Qt::Key_Up, "entry 2"},
               {true, Qt::Key_Up, "entry 1"}, {true, Qt::Key_Down, "entry 2"}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.f2 ? "F2, " : "") + s.entry);
    if (s.f2) {
      PressToFocus(Qt::Key_F2);
      ASSERT_TRUE(box->Focused());
    }
    PressToFocus(s.key);
    EXPECT_EQ(w.Field("Description"), s.entry);
    ASSERT_TRUE(testing_support::WaitFor([&] {
      return box->Visible() && box->BoundsRect() == grid->CellRect(grid->Col(), grid->Row());
    }));
    EXPECT_EQ(box->Text(), w.form->dsetBug->FieldByName("FixedDate")->DisplayText());
  }
  EXPECT_EQ(moves.count, 0);
}

void ClickCell(TwwDBGrid* grid, int col, int row) {
  const TRect cell = grid->CellRect(col, row);
  ASSERT_FALSE(IsRectEmpty(cell)) << "cell " << col << ", " << row << " is out of view";
  testing_support::WindowClick(grid, cell.Left + 4, (cell.Top + cell.Bottom) / 2);
}

// A half-typed date ("12/") in any date cell is not left by a key or a click
// that leaves the cell: the date box says what is wrong, keeps the keyboard
// and the text, selected; the grid stays on the cell, the program list on its
// program, a toolbar button does nothing; nothing is stored, and Escape gives
// the date back.
TEST(Entries, AHalfTypedDateKeepsTheUserInItsCellWithItsOwnMessage) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  w.form->StoreProgramName("Other", true);  // a program to click on
  ASSERT_TRUE(w.form->wwtblProgram->Locate("Program", "New Program", {}));
  w.AddPosted(0, "first");
  w.AddPosted(0, "second");
  const std::string stored = DateToStr(EncodeDate(2026, 7, 8));
  const struct {
    const char* field;
    TwwDBComboDlg* box;
  } cells[] = {{"ReportedDate", w.form->dbcdReportedDate},
               {"FixedDate", w.form->dbcdFixedDate},
               {"VerifiedDate", w.form->dbcdVerifiedDate}};
  TDataSet* d = w.form->dsetBug;
  for (d->First(); !d->Eof(); d->Next()) {
    d->Edit();
    for (const auto& cell : cells) d->FieldByName(cell.field)->SetAsDateTime(EncodeDate(2026, 7, 8));
    d->Post();
  }
  std::vector<std::string> told;
  // A real box swallows the release of the click that set it off: whatever
  // held the mouse then would keep it, and take the user's next click.
  std::vector<TControl*> heldWhileTold;
  TDialogResponderScope answers([&](TDialogRequest& r) {
    told.push_back(r.Text);
    if (TControl* held = GetCaptureControl()) heldWhileTold.push_back(held);
    return mrOk;
  });
  TwwDBGrid* grid = w.form->dbgBug;
  TwwDBGrid* programs = w.form->dbgridPrograms;
  auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [k, modifiers] { PressToFocus(k, modifiers); };
  };
  const struct {
    const char* name;
    std::function<void()> leave;
  } leaving[] = {
      {"Up", key(Qt::Key_Up)},
      {"Down", key(Qt::Key_Down)},
      {"Tab", key(Qt::Key_Tab)},
      {"Shift+Tab", key(Qt::Key_Tab, Qt::ShiftModifier)},
      {"Enter", key(Qt::Key_Return)},
      {"a click on another row", [&] { ClickCell(grid, grid->Col(), 1); }},
      {"a click on the cell beside", [&] { ClickCell(grid, grid->Col() - 1, grid->Row()); }},
      {"a click on another program", [&] { ClickCell(programs, 0, programs->Row() == 1 ? 2 : 1); }},
      {"a click on the scroll arrow", [&] { ASSERT_TRUE(testing_support::ClickScrollArrow(grid, SB_VERT, true)); }},
      {"a click on a toolbar button", [&] { testing_support::WindowClick(w.form->tbAddBugReport, 5, 5); }},
      {"a click in the record pane", [&] { testing_support::WindowClick(w.form->rtfReport, 20, 20); }}};
  for (const auto& cell : cells) {
    const char* field = cell.field;
    TwwDBComboDlg* box = cell.box;  // a variable of its own, for the lambdas below
    for (const auto& [name, leave] : leaving) {
      SCOPED_TRACE(std::string(field) + ", " + name);
      OnFirstCell(w.form, field);
      PressToFocus(Qt::Key_Down);  // the second entry: Up has somewhere to go
      ASSERT_TRUE(testing_support::WaitFor([&] { return box->Visible(); }));
      PressToFocus(Qt::Key_F2);
      ASSERT_TRUE(box->Focused());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(QApplication::focusWidget(), "12/");
      const int col = grid->Col();
      told.clear();
      heldWhileTold.clear();
      leave();
      Pump();
      EXPECT_EQ(told, std::vector<std::string>{"'12/' is not a valid date and time."});
      EXPECT_EQ(heldWhileTold, std::vector<TControl*>{});
      EXPECT_EQ(w.form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
      EXPECT_EQ(w.Field("Description"), "second");
      EXPECT_EQ(grid->Col(), col);
      EXPECT_TRUE(box->Focused());
      EXPECT_EQ(box->Text(), "12/");
      EXPECT_EQ(box->SelText(), "12/");
      EXPECT_EQ(StoredEntries(w.scratch.Database(), field), (std::vector<std::string>{stored, stored}));
      PressToFocus(Qt::Key_Escape);
      EXPECT_EQ(box->Text(), stored);
      if (d->State() != dsBrowse) d->Cancel();
    }
  }
}

// The grid's OnKeyPress sees every character typed in a cell, in its editor
// too, and what it makes of a key is what the cell gets.
TEST(Entries, TheGridsKeyPressSeesWhatIsTypedInItsCells) {
  Window w;
  w.AddPosted(0, "first");
  std::u32string seen;
  w.form->dbgBug->OnKeyPress = [&](TObject*, char32_t& key) {
    seen += key;
    if (key == U'#') key = 0;
    else if (key >= U'a' && key <= U'z') key = key - U'a' + U'A';
  };
  TwwDBGrid* grid = w.form->dbgBug;
  grid->SetFocus();
  grid->SelectDataColumn(apptest::GridDataColumn(w.form, "Description"));
  Pump();
  // Each key to where the user's goes: the first opens the cell's editor.
  for (char c : std::string("ab#c")) {
    QTest::keyClick(QApplication::focusWidget(), c);
    Pump();
  }
  PressToFocus(Qt::Key_Down);  // the grid posts the entry
  EXPECT_EQ(seen, U"ab#c");
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "Description"), std::vector<std::string>{"ABC"});
}

// A space on an empty date cell is today, typed to the grid on the cell or
// to the cell's editor; the entry is being edited and stores it. On a date
// begun, the space goes on completing it part by part.
TEST(Entries, ASpaceOnAnEmptyDateCellIsToday) {
  Window w([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  w.AddPosted(0, "first");
  const TDateTime today = EncodeDate(2026, 7, 8);
  TTestClock clock(today + 0.5);
  OnFirstCell(w.form, "FixedDate");
  PressToFocus(Qt::Key_Space);
  EXPECT_EQ(w.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(w.form->dsetBug->FieldByName("FixedDate")->AsDateTime(), today);
  OnFirstCell(w.form, "VerifiedDate");
  PressToFocus(Qt::Key_F2);
  ASSERT_TRUE(w.form->dbcdVerifiedDate->Focused());
  PressToFocus(Qt::Key_Space);
  EXPECT_EQ(w.form->dsetBug->FieldByName("VerifiedDate")->AsDateTime(), today);
  EXPECT_EQ(w.form->dbcdVerifiedDate->Text(), w.form->dsetBug->FieldByName("VerifiedDate")->Text());
  OnFirstCell(w.form, "ReportedDate");
  PressToFocus(Qt::Key_F2);
  QTest::keyClicks(QApplication::focusWidget(), "7 ");
  Pump();
  EXPECT_EQ(w.form->dbcdReportedDate->Text(), wwCompleteDateTimeText("7", ftDateTime, today + 0.5));
  EXPECT_TRUE(NoDate(w.form, "ReportedDate"));
  // The begun date is erased again, so that the entry posts.
  w.form->dbcdReportedDate->SelectAll();
  PressToFocus(Qt::Key_Delete);
  w.form->dsetBug->Post();
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "FixedDate"), std::vector<std::string>{DateToStr(today)});
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "VerifiedDate"), std::vector<std::string>{DateToStr(today)});
  EXPECT_EQ(StoredEntries(w.scratch.Database(), "ReportedDate"), std::vector<std::string>{""});
}

}  // namespace
