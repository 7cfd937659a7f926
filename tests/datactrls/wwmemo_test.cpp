// The memo dialog driven through its live window: the closing keys, view-only
// mode, the question before changes are thrown away, placement and write-back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "datactrls/wwmemo.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

using namespace testing_support;

namespace {

class MemoDialog : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    data = MakeNumbered(2);
    source.SetDataSet(data.get());
    dialog.SetDataSource(&source);
    dialog.DataField = "Name";
  }
  // The memo's own text widget, which takes the keys.
  static QWidget* Target(TWinControl* c) {
    QWidget* w = ClientOf(c);
    return w->focusProxy() ? w->focusProxy() : w;
  }
  static void Press(TWinControl* c, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Target(c), k, mods);
  }
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TwwMemoDialog dialog{nullptr};
};

TEST_F(MemoDialog, KeysCloseWithOkAndTheTextGoesIntoTheFieldUnposted) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
  } cases[] = {{Qt::Key_Return, Qt::ControlModifier}, {Qt::Key_F2, Qt::NoModifier}};
  for (const Case& c : cases) {
    data->Cancel();
    TDialogResponderScope answers([&](TDialogRequest& r) {
      auto* dlg = static_cast<TwwMemoDlg*>(r.Dialog);
      EXPECT_EQ(dlg->Memo()->Text(), "N1");
      dlg->Memo()->SetFocus();
      QTest::keyClicks(Target(dlg->Memo()), "x");
      Press(dlg->Memo(), c.key, c.mods);
      return mrNone;
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(data->State(), dsEdit);
    EXPECT_NE(data->FieldByName("Name")->AsString(), "N1");
  }
}

TEST_F(MemoDialog, ViewOnlyShowsOnlyOkAndWritesNothing) {
  dialog.MemoAttributes.Include(mViewOnly);
  bool cancelShown = true;
  TDialogResponderScope answers([&](TDialogRequest& r) {
    auto* dlg = static_cast<TwwMemoDlg*>(r.Dialog);
    cancelShown = dlg->CancelButton()->Visible();
    Press(dlg->Memo(), Qt::Key_Return, Qt::ControlModifier);
    return mrNone;
  });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_FALSE(cancelShown);
  EXPECT_EQ(data->State(), dsBrowse);
}

TEST_F(MemoDialog, EscapeAfterChangesAsksAndNoKeepsTheWindow) {
  int questions = 0;
  TDialogResponderScope answers([&](TDialogRequest& r) {
    if (r.Kind == TDialogKind::MessageBox) {
      EXPECT_EQ(r.Text, "Changes have been made!  Are you sure you wish to cancel?");
      // No keeps the window; Yes the second time lets it go.
      if (++questions == 1) {
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
        return mrNo;
      }
      return mrYes;
    }
    auto* dlg = static_cast<TwwMemoDlg*>(r.Dialog);
    dlg->Memo()->SetFocus();
    QTest::keyClicks(Target(dlg->Memo()), "changed");
    Press(dlg->Memo(), Qt::Key_Escape);
    return mrNone;
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(data->State(), dsBrowse);
  EXPECT_EQ(data->FieldByName("Name")->AsString(), "N1");
}

TEST_F(MemoDialog, ADesignedPositionAndNoDataSource) {
  dialog.SetDataSource(nullptr);
  dialog.DlgLeft = 100;
  TRect bounds;
  std::string text = "?";
  dialog.OnInitDialog = [&](TwwMemoDlg* dlg) {
    bounds = dlg->BoundsRect();
    text = dlg->Memo()->Text();
  };
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(bounds, (TRect{100, 0, 100 + 561, 396}));
  EXPECT_EQ(text, "");
  EXPECT_EQ(data->State(), dsBrowse);
}

}  // namespace
