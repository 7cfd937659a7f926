// Edit masks: formatting, typing with real keys, validation on exit.

#include <gtest/gtest.h>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/stdctrls/maskedit.h"
#include "platform/win32/msgbox.h"

using namespace testing_support;

namespace {

QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy(); }

// Counts beeps while alive.
struct BeepCounter {
  int beeps = 0;
  TBeepSink previous = SetBeepSink([this](UINT) { ++beeps; });
  ~BeepCounter() { SetBeepSink(previous); }
};

TMaskEdit* Place(TForm* form, const char* mask, int top = 0) {
  auto* e = new TMaskEdit(form);
  e->SetTop(top);
  e->SetParent(form);
  e->SetEditMask(mask);
  return e;
}

}  // namespace

TEST(FormatMaskTextTest, LaysValuesIntoMasks) {
  struct Case {
    const char* mask;
    const char* value;
    const char* text;
  } cases[] = {
      {"000-0000;0;_", "5551234", "555-1234"},
      {"(999)000-0000;1;_", "(555)123-4567", "(555)123-4567"},
      {"(999)000-0000;1;_", "5551234567", "(555)123-4567"},  // literals supplied
      {"!999;0;_", "12", " 12"},
      {"999;0;_", "12", "12 "},
      {">LL<ll;0", "abCD", "ABcd"},
      {">L<>l;0", "aB", "AB"},
      {"\\A00;0", "12", "A12"},
      {"00:00;1", "12:34", "12:34"},
      {"00/00;0", "1231", "12/31"},
      {"L0L;0", "1a2", "   "},  // what a position refuses stays blank
      {"aa_99;0", "ab12", "ab 12"},
      {"#99;0", "-12", "-12"},
      {"00\\;0;0", "123", "12;3"},
      {"", "as is", "as is"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(FormatMaskText(c.mask, c.value), c.text);
  }
  const TParsedMask m = ParseEditMask("!>LL;0;*");
  EXPECT_TRUE(m.reverse);
  EXPECT_FALSE(m.saveLiterals);
  EXPECT_EQ(m.blank, U'*');
  EXPECT_TRUE(m.positions[0].Required());
}

TEST(MaskEditTest, TypingFillsInputPositionsOverLiterals) {
  struct Case {
    const char* mask;
    const char* keys;
    const char* editText;
    const char* text;
    int beeps;
  } cases[] = {
      {"000-0000;0;_", "5551234", "555-1234", "5551234", 0},
      {"000-0000;1;_", "555", "555-____", "555-    ", 0},
      {"(999)000;0;*", "12a3", "(123)***", "123   ", 1},
      {">LL;0", "ab", "AB", "AB", 0},
      {"LL;0", "1a", "a_", "a ", 1},
      {"00;0", "123", "12", "12", 1},  // full: the third beeps
  };
  auto form = ShownForm();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    BeepCounter beeps;
    TMaskEdit* e = Place(form.get(), c.mask);
    e->SetFocus();
    e->SetSelStart(0);
    QTest::keyClicks(Native(e), c.keys);
    EXPECT_EQ(e->EditText(), c.editText);
    EXPECT_EQ(e->Text(), c.text);
    EXPECT_EQ(beeps.beeps, c.beeps);
    EXPECT_TRUE(e->Modified());
    delete e;
  }
}

TEST(MaskEditTest, DeletingBlanksPositionsAndPasteTypes) {
  auto form = ShownForm();
  TMaskEdit* e = Place(form.get(), "000-0000;1;_");
  EXPECT_EQ(e->EditText(), "___-____");
  EXPECT_EQ(e->Text(), "");  // nothing entered
  e->SetFocus();
  e->SetSelStart(0);
  QTest::keyClicks(Native(e), "555123");
  QTest::keyClick(Native(e), Qt::Key_Backspace);
  EXPECT_EQ(e->EditText(), "555-12__");
  EXPECT_EQ(e->SelStart(), 6);
  e->SetSelStart(0);
  QTest::keyClick(Native(e), Qt::Key_Delete);
  EXPECT_EQ(e->EditText(), "_55-12__");
  e->Perform(EM_SETSEL, 1, 5);
  QTest::keyClick(Native(e), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Clipboard()->AsText(), "55-1");
  EXPECT_EQ(e->EditText(), "___-_2__");
  Clipboard()->SetAsText("987-6543");
  e->SetSelStart(0);
  e->PasteFromClipboard();
  EXPECT_EQ(e->EditText(), "987-6543");
  EXPECT_EQ(e->Text(), "987-6543");
  // Text set with the literals saved or not.
  e->SetEditMask("000-0000;0;_");
  EXPECT_EQ(e->EditText(), "987-6543");
  EXPECT_EQ(e->Text(), "9876543");
  e->SetText("12");
  EXPECT_EQ(e->EditText(), "12_-____");
}

TEST(MaskEditTest, ValidationOnExitKeepsTheFocusAndEscapeAbandons) {
  auto form = ShownForm();
  TMaskEdit* e = Place(form.get(), "000;0;_");
  auto* other = new TEdit(form.get());
  other->SetTop(40);
  other->SetParent(form.get());
  std::vector<std::string> errors;
  Application->OnException = [&](TObject*, const Exception& x) { errors.push_back(x.Message()); };
  BeepCounter beeps;
  e->SetFocus();
  e->SetSelStart(0);
  QTest::keyClicks(Native(e), "12");
  EXPECT_THROW(e->ValidateEdit(), EDBEditError);
  other->SetFocus();
  Pump();
  EXPECT_EQ(errors, (std::vector<std::string>{"Invalid input value. Use escape key to abandon changes"}));
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_EQ(e->SelStart(), 2);  // at the first empty required position
  EXPECT_GE(beeps.beeps, 1);
  // Escape goes back to the text the edit had when entered.
  QTest::keyClick(Native(e), Qt::Key_Escape);
  EXPECT_EQ(e->EditText(), "___");
  EXPECT_FALSE(e->Modified());
  QTest::keyClicks(Native(e), "123");
  EXPECT_NO_THROW(e->ValidateEdit());
  other->SetFocus();
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_EQ(errors.size(), 1u);
  Application->OnException = nullptr;
}
