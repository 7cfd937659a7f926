// Where the keys go after the new-entry window closes: a click in a memo
// pane of the main window, which that window's activation follows, gives the
// memo the keyboard; the program list, focused before, keeps its name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "datactrls/edits/wwdbedit.h"
#include "entrytest.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/richedit/richedit.h"
#include "winctrls/tb97button.h"

namespace {

using testing_support::Click;
using testing_support::Pump;

void ClickButton(TToolbarButton97* button) {
  Click(button->Parent(), button->Left() + button->Width() / 2, button->Top() + button->Height() / 2);
  Pump();
}

TEST(MemoFocus, AClickInAMemoAfterTheNewEntryWindowTakesTheKeysNotTheProgramList) {
  struct Case {
    const char* what;
    int tab;            // memo tab shown
    Qt::Key closeKey;   // Return is OK, Escape is Cancel
    const char* field;  // the memo's field
  } cases[] = {
      {"Report memo after OK", 0, Qt::Key_Return, "Report"},
      {"Steps memo after OK", 1, Qt::Key_Return, "Steps"},
      {"Report memo after Cancel", 0, Qt::Key_Escape, "Report"},
  };
  for (const Case& c : cases) {
    apptest::DialogWindow w([](TRegIniFile& reg) { reg.WriteBool("Options", "CopyDescToRept", false); });
    TfrmBug* form = w.form;
    apptest::AddEntry(form, "existing");
    form->tcRTFs->SetTabIndex(c.tab);
    form->tcRTFs->OnChange(form->tcRTFs);
    // The program list has the keyboard, as after start-up.
    form->dbgridPrograms->SetFocus();
    Pump();
    TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
      if (r.Dialog != frmEnterNewRecord) return mrOk;
      frmEnterNewRecord->dbeDescription->SetFocus();
      QApplication::processEvents();
      QTest::keyClicks(QApplication::focusWidget(), "typed entry");
      QTest::keyClick(QApplication::focusWidget(), c.closeKey);
      return mrNone;
    });
    ClickButton(form->tbAddBugReport);
    ASSERT_EQ(answers.Count(), 1) << c.what;
    ASSERT_EQ(form->dsetBug->State(), dsBrowse) << c.what;

    TDBRichEdit* memo = form->MemoOf(c.tab == 0 ? 0 : 2);
    ASSERT_TRUE(testing_support::ActivatingClick(memo, 10, 10)) << c.what;
    testing_support::SystemKeys("abc");

    EXPECT_EQ(form->ActiveControl(), memo) << c.what;
    EXPECT_EQ(form->FocusArea, 2) << c.what;
    EXPECT_EQ(memo->Text(), "abc") << c.what;
    EXPECT_FALSE(form->dbgridPrograms->EditorMode()) << c.what;
    EXPECT_EQ(form->wwtblProgram->State(), dsBrowse) << c.what;
    EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "New Program") << c.what;
    ASSERT_EQ(form->dsetBug->State(), dsEdit) << c.what;
    form->dsetBug->Post();
    const std::string db = w.scratch.Database();
    EXPECT_EQ(apptest::StoredValues(db, "Programs", "Program"), std::vector<std::string>{"New Program"})
        << c.what;
    const std::string stored = apptest::StoredEntries(db, c.field).back();
    EXPECT_NE(stored.find("abc"), std::string::npos) << c.what << ": " << stored;
  }
}

}  // namespace
