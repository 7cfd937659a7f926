// A user's session from start to finish, with real mouse clicks and keys on
// the real main window over a real database file: a program and an entry are
// added, the entry's memo typed and made bold, a quick filter switched, and a
// filter saved, cleared and loaded again. What the grid shows is checked by
// its pixels, what was stored through a connection of its own.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "platform/classlib/controls/control_helpers.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwfltwin.h"
#include "datactrls/wwsavedfilters.h"
#include "datactrls/edits/wwdbedit.h"
#include "entrytest.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/classlib/stdctrls/lists.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

using testing_support::Click;
using testing_support::Pump;

QWidget* KeyTarget(TWinControl* c) {
  QWidget* client = testing_support::ClientOf(c);
  return client->focusProxy() ? client->focusProxy() : client;
}

void ClickButton(TToolbarButton97* button) {
  Click(button->Parent(), button->Left() + button->Width() / 2, button->Top() + button->Height() / 2);
  Pump();
}

void ClickItem(TListBox* list, const std::string& text) {
  const TRect r = list->ItemRect(list->Items()->IndexOf(text));
  Click(list, r.Left + 3, (r.Top + r.Bottom) / 2);
}

// Dark pixels in the Description cell of the grid's first row: the text of
// an entry, or nothing when no entry shows.
int InkOfFirstDescription(TfrmBug* form) {
  auto shot = testing_support::Snapshot(form->dbgBug);
  const TRect nc = form->dbgBug->NonClientMargins();
  const TRect cell =
      form->dbgBug->CellRect(form->GridColumnOf(apptest::GridDataColumn(form, "Description")), 1);
  int ink = 0;
  for (int y = nc.Top + cell.Top; y < nc.Top + cell.Bottom; ++y)
    for (int x = nc.Left + cell.Left; x < nc.Left + cell.Right; ++x) {
      const TColor c = shot->Canvas()->Pixels(x, y);
      ink += (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) < 3 * 0x50;
    }
  return ink;
}

int Rows(TDataSet* data) {
  int n = 0;
  for (data->First(); !data->Eof(); data->Next()) ++n;
  data->First();
  return n;
}

// Every window the session opens, answered as the user would.
TModalResult Answer(TDialogRequest& r) {
  if (r.Kind == TDialogKind::InputQuery) {
    *r.Value = r.Caption == "Filter Name" ? "Typed ones" : "Editor";
    return mrOk;
  }
  if (r.Dialog == frmEnterNewRecord) {
    frmEnterNewRecord->dbeDescription->SetFocus();
    QApplication::processEvents();
    QTest::keyClicks(QApplication::focusWidget(), "Typed entry");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    return mrNone;
  }
  if (auto* filter = dynamic_cast<TwwFilterDlg*>(r.Dialog)) {
    ClickItem(filter->FieldsListBox, "Description");
    filter->FilterValueEdit->SetFocus();
    QTest::keyClicks(KeyTarget(filter->FilterValueEdit), "Typed");
    return mrOk;
  }
  if (auto* select = dynamic_cast<TSelectSaveFilter*>(r.Dialog)) {
    ClickItem(select->FiltersBox, "Typed ones");
    return mrOk;
  }
  return r.Buttons.empty() ? mrCancel : r.Buttons.front();
}

TEST(EndToEnd, AProgramAnEntryItsBoldMemoAQuickFilterAndASavedFilter) {
  apptest::DialogWindow w;
  TfrmBug* form = w.form;
  TDialogResponderScope answers(Answer);

  ClickButton(form->tbAddProgram);
  ClickButton(form->tbAddBugReport);
  ASSERT_EQ(Rows(form->dsetBug), 1);
  EXPECT_GT(InkOfFirstDescription(form), 0);

  // The memo: clicked into, typed, all selected and made bold.
  Click(form->rtfReport, 10, 10);
  Pump();
  QTest::keyClicks(KeyTarget(form->rtfReport), "Crash on save");
  QTest::keyClick(KeyTarget(form->rtfReport), Qt::Key_A, Qt::ControlModifier);
  ASSERT_TRUE(form->tbarRTF_3->Visible());
  ClickButton(form->btnRTF_Bold);
  EXPECT_TRUE(form->btnRTF_Bold->Down());

  // The entry is new (status 1): hiding new entries empties the grid.
  ClickButton(form->tbStatusFilter_NewReport);
  EXPECT_EQ(Rows(form->dsetBug), 0);
  EXPECT_EQ(InkOfFirstDescription(form), 0);
  ClickButton(form->tbStatusFilter_NewReport);
  EXPECT_EQ(Rows(form->dsetBug), 1);
  EXPECT_GT(InkOfFirstDescription(form), 0);

  // A filter on the description, saved, cleared and loaded again.
  apptest::AddEntry(form, "Other entry");
  ClickButton(form->btnAdvancedFilter);
  EXPECT_EQ(Rows(form->dsetBug), 1);
  form->popFilters_Save->Click();
  form->popFilters_Clear->Click();
  EXPECT_TRUE(form->wwFilterDialog1->FieldInfo().empty());
  EXPECT_EQ(Rows(form->dsetBug), 2);
  form->popFilters_Load->Click();
  EXPECT_TRUE(form->btnAdvancedFilter->Down());
  EXPECT_EQ(Rows(form->dsetBug), 1);
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "Typed entry");

  const std::string db = w.scratch.Database();
  EXPECT_EQ(apptest::StoredValues(db, "Programs", "Program"),
            (std::vector<std::string>{"New Program", "Editor"}));
  EXPECT_EQ(apptest::StoredEntries(db), (std::vector<std::string>{"2:Typed entry", "2:Other entry"}));
  const std::string report = apptest::StoredEntries(db, "Report").front();
  EXPECT_NE(report.find("\\b"), std::string::npos) << report;
  EXPECT_NE(report.find("Crash on save"), std::string::npos) << report;
}

}  // namespace
