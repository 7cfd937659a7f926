#include <gtest/gtest.h>

#include <QTimer>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/stdctrls.h"

using namespace testing_support;

namespace {

// A focusable window that is not a button (where the typing happens).
class TField : public TCustomControl {
 public:
  explicit TField(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
};

TField* NewField(TForm* form) {
  auto* field = new TField(form);
  field->SetParent(form);
  return field;
}

TButton* NewButton(TWinControl* parent, const std::string& caption, int* clicks) {
  auto* b = new TButton(parent);
  b->SetParent(parent);
  b->SetCaption(caption);
  b->OnClick = [clicks](TObject*) { ++*clicks; };
  return b;
}

void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(ClientOf(c), key, mods);
}

}  // namespace

TEST(ButtonModalTest, ClickingAButtonWithAModalResultClosesTheModalForm) {
  Application->Initialize();
  TForm dialog(nullptr);
  dialog.SetBounds(20, 20, 200, 120);
  int clicks = 0;
  TButton* yes = NewButton(&dialog, "&Yes", &clicks);
  yes->SetBounds(10, 10, 75, 25);
  yes->SetModalResult(mrYes);
  QTimer::singleShot(10, [&] { Click(yes, 20, 10); });
  EXPECT_EQ(dialog.ShowModal(), mrYes);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(dialog.Visible());

  // Without a modal result the click runs OnClick and the dialog stays.
  yes->SetModalResult(mrNone);
  bool stillOpen = false;
  QTimer::singleShot(10, [&] { Click(yes, 20, 10); });
  QTimer::singleShot(40, [&] {
    stillOpen = dialog.Visible();
    dialog.SetModalResult(mrCancel);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(clicks, 2);
}

TEST(ButtonModalTest, ClickFromCodeSetsTheFormsResultThenRunsOnClick) {
  auto form = ShownForm();
  auto* b = new TButton(form.get());
  b->SetParent(form.get());
  b->SetModalResult(mrAbort);
  TModalResult seen = -1;
  b->OnClick = [&](TObject*) { seen = form->ModalResult(); };
  b->Click();
  EXPECT_EQ(seen, mrAbort);
  EXPECT_EQ(form->ModalResult(), mrAbort);
  // A button on no form has nobody to tell: only OnClick runs.
  TButton loose(nullptr);
  int clicks = 0;
  loose.OnClick = [&](TObject*) { ++clicks; };
  loose.SetModalResult(mrOk);
  loose.Click();
  EXPECT_EQ(clicks, 1);
}

TEST(ButtonKeyTest, EnterAndEscapeReachTheDefaultAndCancelButtonsAndTheOutlineFollows) {
  auto form = ShownForm(300, 150);
  auto* field = NewField(form.get());
  int ok = 0, cancel = 0, other = 0;
  TButton* okButton = NewButton(form.get(), "OK", &ok);
  okButton->SetDefault(true);
  okButton->SetLeft(10);
  TButton* cancelButton = NewButton(form.get(), "Cancel", &cancel);
  cancelButton->SetCancel(true);
  cancelButton->SetLeft(100);
  TButton* otherButton = NewButton(form.get(), "Other", &other);
  otherButton->SetLeft(190);
  field->SetFocus();
  Pump();
  auto outlined = [](TButton* b) {
    return Snapshot(b)->Canvas()->Pixels(0, 0) == ColorToRGB(clWindowFrame);
  };
  EXPECT_TRUE(outlined(okButton));
  EXPECT_FALSE(outlined(otherButton));
  Key(field, Qt::Key_Return);
  EXPECT_EQ(ok, 1);
  Key(field, Qt::Key_Escape);
  EXPECT_EQ(cancel, 1);
  // With a shift key held Enter is no dialog key.
  Key(field, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(ok, 1);
  // Enter clicks the focused button rather than the default one.
  otherButton->SetFocus();
  Pump();
  Key(otherButton, Qt::Key_Return);
  EXPECT_EQ(other, 1);
  EXPECT_EQ(ok, 1);
  // The outline follows the button that Enter would click.
  EXPECT_FALSE(outlined(okButton));
  EXPECT_TRUE(outlined(otherButton));
  field->SetFocus();
  Pump();
  EXPECT_TRUE(outlined(okButton));
  EXPECT_FALSE(outlined(otherButton));
  // A disabled default button is not clicked.
  okButton->SetEnabled(false);
  Pump();
  Key(field, Qt::Key_Return);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(cancel, 1);
}

TEST(ButtonKeyTest, AltWithTheMnemonicClicksTheButton) {
  auto form = ShownForm(300, 150);
  auto* field = NewField(form.get());
  int save = 0, quit = 0;
  TButton* saveButton = NewButton(form.get(), "&Save", &save);
  TButton* quitButton = NewButton(form.get(), "Quit", &quit);
  quitButton->SetLeft(100);
  field->SetFocus();
  Pump();
  Key(field, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(save, 1);
  // A caption without "&" has no mnemonic.
  Key(field, Qt::Key_Q, Qt::AltModifier);
  EXPECT_EQ(quit, 0);
  saveButton->SetVisible(false);
  Key(field, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(save, 1);
}

// Alt with a letter is a command: one that no mnemonic takes types nothing;
// AltGr (Ctrl+Alt) still types.
TEST(ButtonKeyTest, AltWithALetterNoMnemonicTakesTypesNothing) {
  auto form = ShownForm(300, 150);
  auto* field = NewField(form.get());
  std::u32string pressed;
  field->OnKeyPress = [&](TObject*, char32_t& key) { pressed += key; };
  field->SetFocus();
  Pump();
  Key(field, Qt::Key_Q, Qt::AltModifier);
  Key(field, Qt::Key_W, Qt::AltModifier | Qt::ControlModifier);
  Key(field, Qt::Key_E);
  EXPECT_EQ(pressed, U"we");
}

TEST(ButtonInputTest, SpaceClicksWhenReleasedAndAMouseReleaseOutsideIsNoClick) {
  auto form = ShownForm();
  int clicks = 0;
  TButton* b = NewButton(form.get(), "Go", &clicks);
  b->SetBounds(10, 10, 75, 25);
  b->SetFocus();
  Pump();
  QWidget* w = ClientOf(b);
  QTest::keyPress(w, Qt::Key_Space);
  EXPECT_EQ(clicks, 0);
  QTest::keyRelease(w, Qt::Key_Space);
  EXPECT_EQ(clicks, 1);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
  EXPECT_EQ(clicks, 1);
  Click(b, 10, 10);
  EXPECT_EQ(clicks, 2);
  b->SetEnabled(false);
  Click(b, 10, 10);
  EXPECT_EQ(clicks, 2);
}

TEST(ButtonLooksTest, TheFaceShowsTheCaptionAndGoesDownWhilePressed) {
  auto form = ShownForm();
  int clicks = 0;
  TButton* b = NewButton(form.get(), "WWW", &clicks);
  b->SetBounds(10, 10, 80, 30);
  b->Font()->SetColor(clRed);
  Pump();
  auto up = Snapshot(b);
  const TRect ink = InkBox(*up, clRed);
  ASSERT_GE(ink.Right, 0);
  // The caption sits in the middle of the face.
  EXPECT_NEAR((ink.Left + ink.Right) / 2, 40, 3);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2, 15, 3);
  QTest::mousePress(ClientOf(b), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  Pump();
  auto down = Snapshot(b);
  const TRect pressed = InkBox(*down, clRed);
  EXPECT_EQ(pressed.Left, ink.Left + 1);
  EXPECT_EQ(pressed.Top, ink.Top + 1);
  QTest::mouseRelease(ClientOf(b), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(clicks, 1);
}
