#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "platform/classlib/controls/control_helpers.h"

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
