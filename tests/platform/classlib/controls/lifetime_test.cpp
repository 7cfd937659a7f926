#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

// Objects freed by their own event handlers, or by a neighbour's, while the
// library is still working on them.

TEST(LifetimeTest, SiblingFreedWhileTheParentAlignsSurvives) {
  auto form = ShownForm(200, 150);
  auto* top = new TCustomControl(form.get());
  top->SetAlign(alTop);
  top->SetHeight(20);
  top->SetParent(form.get());
  auto* bottom = new TCustomControl(form.get());
  bottom->SetAlign(alTop);
  bottom->SetTop(30);
  bottom->SetHeight(20);
  bottom->SetParent(form.get());
  auto* client = new TCustomControl(form.get());
  client->SetAlign(alClient);
  client->SetParent(form.get());
  // The first bar, resized by the alignment, frees the bar aligned after it.
  top->OnResize = [&](TObject*) {
    if (bottom) {
      TCustomControl* doomed = bottom;
      bottom = nullptr;
      delete doomed;
    }
  };
  form->SetBounds(10, 10, 300, 200);
  EXPECT_EQ(bottom, nullptr);
  EXPECT_EQ(form->ControlCount(), 2);
  EXPECT_EQ(top->Width(), form->ClientWidth());
  EXPECT_EQ(client->Top(), 20);
  EXPECT_EQ(client->Height(), form->ClientHeight() - 20);  // the freed bar takes no room
}

TEST(LifetimeTest, FormReleasedWhileModalEndsTheLoopFirst) {
  Application->Initialize();
  auto* dialog = new TForm(nullptr);
  dialog->SetBounds(0, 0, 100, 80);
  bool destroyed = false;
  dialog->OnDestroy = [&](TObject*) { destroyed = true; };
  QTimer::singleShot(10, [&] { dialog->Release(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_FALSE(destroyed);  // still there for the caller to read
  EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed; }, 2000));
}

// Each handler frees the control whose event it handles; the library must not
// touch the control afterwards (the sanitizer build catches any access).
TEST(LifetimeTest, ControlFreedByItsOwnMouseHandlers) {
  auto form = ShownForm();
  auto* window = Place<TCustomControl>(form.get(), 0, 0, 50, 50);
  window->OnClick = [](TObject* s) { delete static_cast<TControl*>(s); };
  Click(window, 10, 10);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);

  auto* painted = Place<TGraphicControl>(form.get(), 0, 0, 50, 50);
  painted->OnClick = [](TObject* s) { delete static_cast<TControl*>(s); };
  Click(form.get(), 10, 10);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);

  auto* freedOnUp = Place<TGraphicControl>(form.get(), 0, 0, 50, 50);
  freedOnUp->OnMouseUp = [](TObject* s, TMouseButton, TShiftState, int, int) {
    delete static_cast<TControl*>(s);
  };
  Click(form.get(), 10, 10, Qt::RightButton);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);
}

TEST(LifetimeTest, FormFreedByItsOwnDoubleClick) {
  Application->Initialize();
  auto* form = new TForm(nullptr);
  form->SetBounds(10, 10, 100, 100);
  form->Show();
  Pump();
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  form->OnDblClick = [](TObject* s) { delete static_cast<TForm*>(s); };
  QTest::mouseDClick(ClientOf(form), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  Pump();
  EXPECT_TRUE(destroyed);
}

TEST(LifetimeTest, ControlFreedByItsOwnKeyHandlers) {
  auto form = ShownForm();
  auto* field = new TCustomControl(form.get());
  field->SetParent(form.get());
  field->SetTabStop(true);
  field->SetFocus();
  bool typed = false;
  field->OnKeyPress = [&](TObject*, char32_t&) { typed = true; };
  field->OnKeyDown = [](TObject* s, WORD&, TShiftState) { delete static_cast<TControl*>(s); };
  QTest::keyPress(ClientOf(field), Qt::Key_A);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_FALSE(typed);  // a freed control makes no character

  // Freed by the form's key preview while the key travels to the control.
  auto* previewed = new TCustomControl(form.get());
  previewed->SetParent(form.get());
  previewed->SetTabStop(true);
  previewed->SetFocus();
  form->SetKeyPreview(true);
  form->OnKeyUp = [&](TObject*, WORD&, TShiftState) { delete previewed; };
  QTest::keyClick(ClientOf(previewed), Qt::Key_B);
  Pump();
  EXPECT_EQ(form->ControlCount(), 0);
}

// Dropping a dragged control on a bin that frees it, or on a target that
// frees itself, ends the drag without touching either again.
TEST(LifetimeTest, DragEndsSafelyWhenTheDropFreesSourceOrTarget) {
  auto form = ShownForm(200, 100);
  for (bool freeSource : {true, false}) {
    auto* source = Place<TGraphicControl>(form.get(), 10, 10, 20, 20);
    source->SetDragMode(dmAutomatic);
    auto* bin = Place<TCustomControl>(form.get(), 100, 10, 50, 50);
    bin->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) {
      accept = true;
    };
    bin->OnDragDrop = [freeSource](TObject* sender, TObject* src, int, int) {
      delete static_cast<TControl*>(freeSource ? src : sender);
    };
    bool ended = false;
    source->OnEndDrag = [&](TObject*, TObject*, int, int) { ended = true; };
    QWidget* w = ClientOf(form.get());
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
    QTest::mouseMove(w, QPoint(110, 20));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(110, 20));
    Pump();
    EXPECT_EQ(form->ControlCount(), 1);
    if (freeSource) {
      EXPECT_FALSE(ended);
      delete bin;
    } else {
      EXPECT_TRUE(ended);  // told that the drop happened, on a target now gone
      EXPECT_FALSE(source->Dragging());
      delete source;
    }
  }
}

namespace {

// Frees another control when its parent tells it of a colour change.
class TColourWatcher : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  TControl* victim = nullptr;
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_PARENTCOLORCHANGED && victim) {
      TControl* doomed = victim;
      victim = nullptr;
      delete doomed;
    }
    TGraphicControl::Dispatch(m);
  }
};

}  // namespace

TEST(LifetimeTest, SiblingFreedWhileTheParentPaintsOrNotifiesSurvives) {
  auto form = ShownForm(200, 150);
  auto* first = Place<TPaintBox>(form.get(), 0, 0, 50, 50);
  auto* second = Place<TShape>(form.get(), 60, 0, 50, 50);
  int paints = 0;
  first->OnPaint = [&](TObject*) {
    ++paints;
    if (second) {
      TShape* doomed = second;
      second = nullptr;
      delete doomed;
    }
  };
  Snapshot(form.get());
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(form->ControlCount(), 1);

  auto* watcher = new TColourWatcher(form.get());
  watcher->SetParent(form.get());
  auto* other = new TShape(form.get());
  other->SetParent(form.get());
  watcher->victim = other;
  form->SetColor(clYellow);
  EXPECT_EQ(form->ControlCount(), 2);
  EXPECT_EQ(first->Color(), clYellow);
}
