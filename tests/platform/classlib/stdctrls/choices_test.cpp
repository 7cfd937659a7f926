// Check boxes, radio buttons, group boxes, radio groups and speed buttons
// driven with real clicks and keys; their looks from grabbed images.

#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/place.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/speedbutton.h"

using namespace testing_support;

namespace {

void Press(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(ClientOf(c), key, mods);
}

// Black pixels inside the mark of a check box or radio button (left, centred).
int MarkInk(TWinControl* c) {
  auto shot = Snapshot(c);
  const int top = (c->Height() - 13) / 2;
  int ink = 0;
  for (int y = top + 2; y < top + 11; ++y)
    for (int x = 2; x < 11; ++x) ink += shot->Canvas()->Pixels(x, y) == clBlack;
  return ink;
}

}  // namespace

TEST(CheckBoxTest, ClicksSpaceAndMnemonicCycleTheStates) {
  struct Case {
    bool allowGrayed;
    std::vector<TCheckBoxState> states;
  } cases[] = {{false, {cbChecked, cbUnchecked, cbChecked}},
               {true, {cbGrayed, cbChecked, cbUnchecked}}};
  auto form = ShownForm();
  for (const Case& c : cases) {
    auto* box = Place<TCheckBox>(form.get(), 10, 10, 120, 17);
    box->SetCaption("Case Sensi&tive");
    box->SetAllowGrayed(c.allowGrayed);
    std::vector<TCheckBoxState> seen;
    box->OnClick = [&](TObject*) { seen.push_back(box->State()); };
    Click(box, 5, 8);
    Press(box, Qt::Key_Space);
    Press(box, Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(seen, c.states);
    EXPECT_TRUE(box->Focused());
    delete box;
  }
  // Set by code it runs OnClick too; a press released off the box does nothing.
  auto* box = Place<TCheckBox>(form.get(), 10, 10, 120, 17);
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  box->SetChecked(true);
  box->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  QTest::mousePress(ClientOf(box), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
  QTest::mouseMove(ClientOf(box), QPoint(5, 40));
  QTest::mouseRelease(ClientOf(box), Qt::LeftButton, Qt::NoModifier, QPoint(5, 40));
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 1);
}

TEST(CheckBoxTest, TheMarkShowsTheState) {
  auto form = ShownForm();
  auto* box = Place<TCheckBox>(form.get(), 10, 10, 120, 17);
  auto* radio = Place<TRadioButton>(form.get(), 10, 40, 120, 17);
  Pump();
  EXPECT_EQ(MarkInk(box), 0);
  EXPECT_EQ(MarkInk(radio), 0);
  box->SetChecked(true);
  radio->SetChecked(true);
  Pump();
  EXPECT_GT(MarkInk(box), 10);
  EXPECT_GT(MarkInk(radio), 4);
  // Grayed: a grey mark on the face colour instead of a black one on white.
  box->SetAllowGrayed(true);
  box->SetState(cbGrayed);
  Pump();
  EXPECT_EQ(MarkInk(box), 0);
  EXPECT_EQ(Snapshot(box)->Canvas()->Pixels(2, (box->Height() - 13) / 2 + 2),
            ColorToRGB(clBtnFace));
}

TEST(RadioGroupTest, ItemsMakeButtonsInColumnsAndTheChoiceIsItemIndex) {
  auto form = ShownForm(300, 200);
  auto* group = Place<TRadioGroup>(form.get(), 10, 10, 250, 100);
  group->SetCaption("Search Type");
  group->Items()->Add("&Exact Match");
  group->Items()->Add("&Partial Match at Beginning");
  group->Items()->Add("Partial Match Any&where");
  group->SetColumns(2);
  ASSERT_EQ(group->ButtonCount(), 3);
  EXPECT_EQ(group->Buttons(1)->Caption(), "&Partial Match at Beginning");
  // Two rows in the first column, the third item heads the second.
  EXPECT_EQ(group->Buttons(0)->Left(), group->Buttons(1)->Left());
  EXPECT_GT(group->Buttons(1)->Top(), group->Buttons(0)->Top());
  EXPECT_EQ(group->Buttons(2)->Top(), group->Buttons(0)->Top());
  EXPECT_GT(group->Buttons(2)->Left(), group->Buttons(0)->Left() + 100);
  int clicks = 0;
  group->OnClick = [&](TObject*) { ++clicks; };
  group->SetItemIndex(0);
  EXPECT_TRUE(group->Buttons(0)->Checked());
  EXPECT_EQ(clicks, 0);
  Click(group->Buttons(2), 5, group->Buttons(2)->Height() / 2);
  EXPECT_EQ(group->ItemIndex(), 2);
  EXPECT_FALSE(group->Buttons(0)->Checked());
  EXPECT_EQ(clicks, 1);
  // Arrow keys move the check round the group.
  Press(group->Buttons(2), Qt::Key_Down);
  EXPECT_EQ(group->ItemIndex(), 0);
  EXPECT_TRUE(group->Buttons(0)->Focused());
  Press(group->Buttons(0), Qt::Key_Up);
  EXPECT_EQ(group->ItemIndex(), 2);
  EXPECT_EQ(clicks, 3);
  group->SetItemIndex(7);
  EXPECT_EQ(group->ItemIndex(), 2);  // kept within the items
  group->Items()->Delete(2);
  EXPECT_EQ(group->ButtonCount(), 2);
  EXPECT_EQ(group->ItemIndex(), -1);
}

TEST(GroupBoxTest, TheFrameRunsThroughTheCaptionAndTheMnemonicEntersIt) {
  auto form = ShownForm(300, 200);
  auto* box = Place<TGroupBox>(form.get(), 10, 10, 200, 100);
  box->SetCaption("&Field");
  box->Font()->SetColor(clRed);
  auto* inside = Place<TCheckBox>(box, 10, 10, 100, 17);
  auto* outside = Place<TCheckBox>(form.get(), 10, 150, 100, 17);
  Pump();
  auto shot = Snapshot(box);
  const TRect caption = InkBox(*shot, clRed);
  ASSERT_GE(caption.Right, 0);
  EXPECT_NEAR(caption.Left, 8, 2);
  // The frame's shadow line crosses the caption's middle, left and right of it.
  int lineY = -1;
  for (int yy = 0; yy < caption.Bottom; ++yy)
    if (shot->Canvas()->Pixels(box->Width() - 10, yy) == ColorToRGB(clBtnShadow)) lineY = yy;
  EXPECT_GT(lineY, caption.Top);
  EXPECT_LT(lineY, caption.Bottom);
  EXPECT_NE(shot->Canvas()->Pixels(caption.Left + 2, lineY), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shot->Canvas()->Pixels(4, lineY), ColorToRGB(clBtnShadow));
  outside->SetFocus();
  Press(outside, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(inside->Focused());
  // A mnemonic of a control inside the box reaches that control.
  auto* exact = Place<TRadioButton>(box, 10, 40, 100, 17);
  exact->SetCaption("&Exact");
  Pump();
  outside->SetFocus();
  Press(outside, Qt::Key_E, Qt::AltModifier);
  EXPECT_TRUE(exact->Checked());
  EXPECT_TRUE(exact->Focused());
}

namespace {

// Hosts one speed button filling it, so that a snapshot is the button.
struct SpeedHost {
  TCustomControl* host;
  TSpeedButton* button;
};
SpeedHost PlaceSpeed(TForm* form, int left, int group = 0) {
  auto* host = Place<TCustomControl>(form, left, 10, 25, 25);
  auto* b = Place<TSpeedButton>(host, 0, 0, 25, 25);
  b->SetGroupIndex(group);
  return {host, b};
}

}  // namespace

TEST(SpeedButtonTest, GroupsKeepOneDownAndAllowAllUpLetsItGo) {
  auto form = ShownForm(300, 100);
  auto* host = Place<TCustomControl>(form.get(), 0, 0, 200, 40);
  auto* a = Place<TSpeedButton>(host, 0, 0, 25, 25);
  auto* b = Place<TSpeedButton>(host, 30, 0, 25, 25);
  auto* plain = Place<TSpeedButton>(host, 60, 0, 25, 25);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  std::vector<std::string> log;
  for (auto [btn, name] : {std::pair{a, "a"}, std::pair{b, "b"}, std::pair{plain, "plain"}})
    btn->OnClick = [&log, name = std::string(name)](TObject*) { log.push_back(name); };
  struct Step {
    TSpeedButton* click;
    bool aDown, bDown;
  } steps[] = {{a, true, false}, {b, false, true}, {b, false, true}, {plain, false, true}};
  for (const Step& s : steps) {
    Click(host, s.click->Left() + 5, 5);
    EXPECT_EQ(a->Down(), s.aDown);
    EXPECT_EQ(b->Down(), s.bDown);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "b", "plain"}));
  EXPECT_FALSE(plain->Down());
  b->SetDown(false);  // not without AllowAllUp
  EXPECT_TRUE(b->Down());
  a->SetAllowAllUp(true);  // shared by the group
  EXPECT_TRUE(b->AllowAllUp());
  Click(host, b->Left() + 5, 5);
  EXPECT_FALSE(b->Down());
  a->SetDown(true);  // no OnClick when set
  EXPECT_EQ(log.size(), 5u);
  // Another kind of control telling the group of a press is not a speed button.
  TMessage pressed{CM_BUTTONPRESSED, 1, LPARAM(static_cast<TControl*>(host)), 0};
  host->Broadcast(pressed);
  EXPECT_TRUE(a->Down());
  // A glyph strip brings its image count.
  auto strip = Surface(48, 16, clBlue);
  a->SetGlyph(strip.get());
  EXPECT_EQ(a->NumGlyphs(), 3);
  a->SetNumGlyphs(9);
  EXPECT_EQ(a->NumGlyphs(), 4);
}

TEST(SpeedButtonTest, FacesShowUpDownAndFlatStates) {
  auto form = ShownForm(300, 100);
  SpeedHost up = PlaceSpeed(form.get(), 0);
  SpeedHost down = PlaceSpeed(form.get(), 30, 1);
  SpeedHost flat = PlaceSpeed(form.get(), 60);
  down.button->SetDown(true);
  flat.button->SetFlat(true);
  Pump();
  auto upShot = Snapshot(up.host), downShot = Snapshot(down.host), flatShot = Snapshot(flat.host);
  // Raised: light top-left, dark bottom-right; down: the reverse and a dithered face.
  EXPECT_EQ(upShot->Canvas()->Pixels(1, 1), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(upShot->Canvas()->Pixels(24, 24), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(downShot->Canvas()->Pixels(24, 24), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(downShot->Canvas()->Pixels(1, 1), ColorToRGB(cl3DDkShadow));
  EXPECT_GT(CountPixels(*downShot, ColorToRGB(clBtnHighlight)), 200);
  EXPECT_LT(CountPixels(*upShot, ColorToRGB(clBtnHighlight)), 60);
  // Flat and not under the mouse: no frame at all.
  EXPECT_EQ(CountPixels(*flatShot, ColorToRGB(clBtnFace)), 25 * 25);
}

