// The edit core driven through its native editor with real keys.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <functional>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/stdctrls/edits.h"

using namespace testing_support;

namespace {

QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy(); }

template <class Edit = TEdit>
Edit* Place(TForm* form, int top = 0) {
  auto* e = new Edit(form);
  e->SetTop(top);
  e->SetParent(form);
  return e;
}

void Type(TWinControl* c, const char* keys) { QTest::keyClicks(Native(c), keys); }
void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(Native(c), key, mods);
}

}  // namespace

// A selection left behind shows only while the edit has the focus (another
// control of the same window may take it), unless it is kept shown; it
// stays selected all the same. Without the focus, an edit whose selection is
// hidden looks just like one never selected in: no highlight, no caret.
TEST(EditTest, ASelectionShowsOnlyWithTheFocusUnlessKeptShown) {
  const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
  auto highlighted = [&](const QImage& shot) {
    int count = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) count += shot.pixelColor(x, y) == highlight;
    return count;
  };
  auto shot = [](TWinControl* c) { return ClientOf(c)->grab().toImage(); };
  for (bool memo : {false, true})
    for (bool hide : {true, false}) {
      SCOPED_TRACE(std::string(memo ? "memo" : "edit") + (hide ? ", hidden" : ", kept shown"));
      auto form = ShownForm(200, 200);
      auto place = [&](int top) {
        return memo ? static_cast<TCustomEdit*>(Place<TMemo>(form.get(), top)) : Place(form.get(), top);
      };
      TCustomEdit* e = place(0);
      TCustomEdit* untouched = place(100);
      for (TCustomEdit* each : {e, untouched}) {
        each->SetHideSelection(hide);
        each->SetText("Selected");
      }
      e->SetFocus();
      e->SelectAll();
      Pump();
      EXPECT_GT(highlighted(shot(e)), 20);
      Place(form.get(), 60)->SetFocus();
      Pump();
      EXPECT_EQ(e->SelLength(), 8);
      EXPECT_EQ(highlighted(shot(e)) > 20, !hide);
      EXPECT_EQ(shot(e) == shot(untouched), hide);
      e->SetFocus();
      Pump();
      EXPECT_GT(highlighted(shot(e)), 20);
    }
}

// The focus only passing through an edit (the control that had it takes it
// back at once, keeping text it cannot give up) leaves that edit as it was:
// no caret blinks there while the keys go to the control that kept them.
TEST(EditTest, AnEditTheFocusOnlyPassesThroughShowsNoCaret) {
  auto form = ShownForm(200, 200);
  TEdit* keeper = Place(form.get(), 0);
  TEdit* passed = Place(form.get(), 60);
  TEdit* untouched = Place(form.get(), 120);
  keeper->OnExit = [&](TObject*) { keeper->SetFocus(); };
  auto shot = [](TWinControl* c) { return ClientOf(c)->grab().toImage(); };
  const struct {
    const char* name;
    std::function<void()> leave;
  } leaving[] = {{"Tab", [&] { Key(keeper, Qt::Key_Tab); }},
                 {"a click", [&] { WindowClick(passed, 5, 5); }}};
  for (const auto& [name, leave] : leaving) {
    SCOPED_TRACE(name);
    keeper->SetFocus();
    Pump();
    leave();
    Pump();
    EXPECT_TRUE(keeper->Focused());
    EXPECT_TRUE(Native(keeper)->hasFocus());
    EXPECT_TRUE(shot(passed) == shot(untouched));
  }
}

// Alt with a letter is a command, never text: with no mnemonic to take it the
// edit stays as it was; AltGr (Ctrl+Alt) types its character.
TEST(EditTest, AltWithALetterTypesNothing) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  e->SetFocus();
  Key(e, Qt::Key_Q, Qt::AltModifier);
  EXPECT_EQ(e->Text(), "");
  EXPECT_FALSE(e->Modified());
  Key(e, Qt::Key_W, Qt::AltModifier | Qt::ControlModifier);
  Type(e, "e");
  EXPECT_EQ(e->Text(), "we");
}

TEST(EditTest, TypingSelectionAndModifiedFlag) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  int changes = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->SetFocus();
  Type(e, "h");
  // One character of two bytes: positions count characters.
  QTest::sendKeyEvent(QTest::Click, Native(e), Qt::Key_Eacute, QString::fromUtf8("\xC3\xA9"),
                      Qt::NoModifier);
  Type(e, "llo");
  EXPECT_EQ(e->Text(), "h\xC3\xA9llo");
  EXPECT_EQ(e->SelStart(), 5);
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(changes, 5);
  e->SetSelStart(1);
  e->SetSelLength(3);
  EXPECT_EQ(e->SelText(), "\xC3\xA9ll");
  e->SetSelText("EY");
  EXPECT_EQ(e->Text(), "hEYo");
  EXPECT_EQ(e->SelStart(), 3);
  e->SetText("set");
  EXPECT_FALSE(e->Modified());  // set, not typed
  e->SelectAll();
  EXPECT_EQ(e->SelLength(), 3);
  e->ClearSelection();
  EXPECT_EQ(e->Text(), "");
  // EM_SETSEL: -1 as the end selects to the end; the ends may come reversed.
  e->SetText("abcdef");
  e->Perform(EM_SETSEL, 4, 2);
  int start = 0, end = 0;
  e->Perform(EM_GETSEL, WPARAM(&start), LPARAM(&end));
  EXPECT_EQ(std::pair(start, end), std::pair(2, 4));
  e->Perform(EM_SETSEL, 1, LPARAM(-1));
  EXPECT_EQ(e->SelText(), "bcdef");
}

TEST(EditTest, LimitsCaseAndReadOnlyShapeWhatIsTyped) {
  struct Case {
    int maxLength;
    TEditCharCase charCase;
    bool readOnly;
    const char* start;
    const char* keys;
    const char* text;
  } cases[] = {
      {3, ecNormal, false, "", "abcde", "abc"},
      {3, ecNormal, false, "ab", "xyz", "abx"},
      {0, ecUpperCase, false, "", "aBc", "ABC"},
      {0, ecLowerCase, false, "", "aBc", "abc"},
      {0, ecNormal, true, "keep", "xyz", "keep"},
  };
  auto form = ShownForm();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    TEdit* e = Place(form.get());
    e->SetMaxLength(c.maxLength);
    e->SetCharCase(c.charCase);
    e->SetReadOnly(c.readOnly);
    e->SetText(c.start);
    e->SetFocus();
    e->SetSelStart(int(std::string(c.start).size()));
    Type(e, c.keys);
    EXPECT_EQ(e->Text(), c.text);
    delete e;
  }
  // The case applies to a text set as well; the limit only to typing.
  TEdit* e = Place(form.get());
  e->SetMaxLength(2);
  e->SetText("abcd");
  EXPECT_EQ(e->Text(), "abcd");
  e->SetCharCase(ecUpperCase);
  EXPECT_EQ(e->Text(), "ABCD");
  e->SetText("xy");
  EXPECT_EQ(e->Text(), "XY");
}

TEST(EditTest, ClipboardAndUndoCommandsAndKeys) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  std::vector<UINT> seen;
  e->AddWindowHook([&](TMessage& m, const TWndMethod& next) {
    if (m.Msg >= WM_CUT && m.Msg <= WM_UNDO) seen.push_back(m.Msg);
    next(m);
  });
  e->SetFocus();
  Type(e, "hello world");
  e->Perform(EM_SETSEL, 0, 5);
  Key(e, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Clipboard()->AsText(), "hello");
  EXPECT_EQ(e->Text(), " world");
  e->SetSelStart(6);
  Key(e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e->Text(), " worldhello");
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e->Text(), " worldhellohello");
  EXPECT_TRUE(e->CanUndo());
  Key(e, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(e->Text(), " worldhello");
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CUT, WM_PASTE, WM_PASTE, WM_UNDO}));
  // The commands: a pasted text keeps its first line and the limit.
  Clipboard()->SetAsText("ab\r\ncd");
  e->SetText("12");
  e->SetMaxLength(3);
  e->SetSelStart(2);
  e->PasteFromClipboard();
  EXPECT_EQ(e->Text(), "12a");
  EXPECT_TRUE(e->CanUndo());
  e->ClearUndo();
  EXPECT_FALSE(e->CanUndo());
  EXPECT_EQ(e->SelStart(), 3);
  e->SelectAll();
  e->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "12a");
  // A password is never copied; a read-only text is copied, not cut.
  e->SetPasswordChar(U'*');
  Clipboard()->SetAsText("none");
  e->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "none");
  EXPECT_EQ(e->Text(), "12a");
  e->SetPasswordChar(0);
  e->SetReadOnly(true);
  e->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "12a");
  EXPECT_EQ(e->Text(), "12a");
}

TEST(EditTest, AutoSizeFollowsTheFontOfABorderedSingleLineEdit) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  TMemo* m = Place<TMemo>(form.get(), 40);
  const int memoHeight = m->Height();
  e->Font()->SetSize(20);
  m->Font()->SetSize(20);
  const int big = e->Height();
  EXPECT_GT(big, 30);
  EXPECT_EQ(m->Height(), memoHeight);  // a memo keeps its height
  e->Font()->SetSize(8);
  EXPECT_LT(e->Height(), big);
  e->SetAutoSize(false);
  e->Font()->SetSize(20);
  EXPECT_LT(e->Height(), big);
  // The password character is stored with a form as one character.
  e->SetPasswordChar(U'*');
  EXPECT_EQ(GetOrdProp(e, "PasswordChar"), int64_t('*'));
}

TEST(EditTest, PasswordCharacterHidesTheText) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  e->SetText("secret");
  auto* line = static_cast<QLineEdit*>(Native(e));
  EXPECT_EQ(line->displayText(), "secret");
  e->Perform(EM_SETPASSWORDCHAR, '#');
  EXPECT_EQ(e->Perform(EM_GETPASSWORDCHAR), '#');
  EXPECT_EQ(line->displayText(), "######");
  EXPECT_EQ(e->Text(), "secret");
}

TEST(EditTest, EnterAndExitInOrderWithAutoSelect) {
  auto form = ShownForm();
  TEdit* a = Place(form.get());
  TEdit* b = Place(form.get(), 30);
  TEdit* c = Place(form.get(), 60);
  b->SetText("all");
  c->SetText("none");
  c->SetAutoSelect(false);
  std::vector<std::string> log;
  for (TEdit* e : {a, b, c}) {
    const std::string name = e == a ? "a" : e == b ? "b" : "c";
    e->OnEnter = [&log, e, name](TObject*) {
      log.push_back("enter " + name + " sel " + std::to_string(e->SelLength()));
    };
    e->OnExit = [&log, name](TObject*) { log.push_back("exit " + name); };
  }
  a->SetFocus();
  Key(a, Qt::Key_Tab);
  Key(b, Qt::Key_Tab);
  EXPECT_EQ(log, (std::vector<std::string>{"enter a sel 0", "exit a", "enter b sel 3", "exit b",
                                           "enter c sel 0"}));
  // B keeps its selection after losing the focus.
  EXPECT_EQ(b->SelLength(), 3);
}

TEST(EditTest, RecreatingTheWindowKeepsTextSelectionAndState) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  e->SetFocus();
  Type(e, "keep me");
  e->SetMaxLength(8);
  e->Perform(EM_SETSEL, 5, 2);
  QWidget* before = Native(e);
  e->SetBorderStyle(bsNone);
  Pump();
  ASSERT_NE(Native(e), before);
  EXPECT_EQ(e->Text(), "keep me");
  EXPECT_EQ(e->SelText(), "ep ");
  EXPECT_TRUE(e->Modified());
  EXPECT_FALSE(static_cast<QLineEdit*>(Native(e))->hasFrame());
  e->SetSelStart(7);
  e->SetFocus();
  Type(e, "xyz");
  EXPECT_EQ(e->Text(), "keep mex");  // the limit came along
}

TEST(MemoTest, LinesEditTheTextWithLibraryLineBreaks) {
  auto form = ShownForm(300, 200);
  TMemo* m = Place<TMemo>(form.get());
  m->Lines()->Add("one");
  m->Lines()->Add("two");
  m->Lines()->Insert(1, "between");
  EXPECT_EQ(m->Text(), "one\r\nbetween\r\ntwo");
  EXPECT_EQ(static_cast<QPlainTextEdit*>(Native(m))->toPlainText(), "one\nbetween\ntwo");
  m->Lines()->Delete(0);
  m->Lines()->SetStrings(0, "2nd");
  EXPECT_EQ(m->Lines()->Count(), 2);
  EXPECT_EQ(m->Text(), "2nd\r\ntwo");
  m->SetText("a\r\n");
  EXPECT_EQ(m->Lines()->Count(), 1);
  m->Lines()->Clear();
  EXPECT_EQ(m->Lines()->Count(), 0);
  EXPECT_THROW(m->Lines()->Delete(0), Exception);
  // Positions count a line break as two characters.
  m->SetText("ab\r\ncde\r\nf");
  m->SetSelStart(6);
  EXPECT_EQ(m->CaretPos(), (TPoint{2, 1}));
  EXPECT_EQ(m->LineFromChar(9), 2);
  EXPECT_EQ(m->LineIndex(2), 9);
  EXPECT_EQ(m->LineIndex(3), -1);
  EXPECT_EQ(m->Perform(EM_LINELENGTH, 5), 3);
  m->Perform(EM_SETSEL, 1, 5);
  EXPECT_EQ(m->SelText(), "b\r\nc");
}

TEST(MemoTest, ReturnsTabsAndWrappingFollowTheStyles) {
  struct Case {
    bool wantReturns, wantTabs;
    const char* text;
  } cases[] = {{true, false, "a\r\nb"}, {false, false, "ab"}, {true, true, "a\r\nb\t"}};
  auto form = ShownForm(300, 200);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TMemo* m = Place<TMemo>(form.get());
    m->SetWantReturns(c.wantReturns);
    m->SetWantTabs(c.wantTabs);
    m->SetFocus();
    Type(m, "a");
    Key(m, Qt::Key_Return);
    Type(m, "b");
    Key(m, Qt::Key_Tab);
    EXPECT_EQ(m->Text(), c.text);
    delete m;
  }
  TMemo* m = Place<TMemo>(form.get());
  // Each release is told once, though the editor leaves it to its parent.
  int ups = 0;
  m->OnKeyUp = [&](TObject*, WORD&, TShiftState) { ++ups; };
  m->SetFocus();
  Type(m, "x");
  EXPECT_EQ(ups, 1);
  m->SetText("wrapped text");
  m->Perform(EM_SETSEL, 2, 4);
  auto* plain = static_cast<QPlainTextEdit*>(Native(m));
  EXPECT_EQ(plain->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  m->SetWordWrap(false);
  m->SetScrollBars(ssVertical);
  Pump();
  plain = static_cast<QPlainTextEdit*>(Native(m));
  EXPECT_EQ(plain->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(plain->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(GetWindowLong(m, GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(m->SelText(), "ap");
}

namespace {

// Paints its face itself while it holds "paint".
class TSelfPaintedEdit : public TEdit {
 public:
  using TEdit::TEdit;

 protected:
  bool PaintSelf(TCanvas* canvas) override {
    if (Text() != "paint") return false;
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect(ClientRect());
    return true;
  }
};

}  // namespace

TEST(EditTest, FormattingRectangleCaretAndSelfPaintedFace) {
  auto form = ShownForm();
  TEdit* e = Place(form.get());
  EXPECT_EQ(e->EditRect(), e->ClientRect());
  TRect r = Rect(2, 2, e->ClientWidth() - 1, e->ClientHeight());
  e->Perform(EM_SETRECTNP, 0, LPARAM(&r));
  EXPECT_EQ(e->EditRect(), r);
  const QMargins m = static_cast<QLineEdit*>(Native(e))->textMargins();
  EXPECT_EQ(m, QMargins(2, 2, 1, 0));
  e->Perform(EM_SETRECT, 0, 0);
  EXPECT_EQ(e->EditRect(), e->ClientRect());
  e->HideCaret();
  e->HideCaret();
  e->ShowCaret();
  EXPECT_FALSE(e->CaretVisible());
  e->ShowCaret();
  EXPECT_TRUE(e->CaretVisible());

  auto* self = new TSelfPaintedEdit(form.get());
  self->SetParent(form.get());
  self->SetText("plain");
  Pump();
  EXPECT_EQ(CountPixels(*Snapshot(self), clRed), 0);
  self->SetText("paint");
  Pump();
  EXPECT_EQ(CountPixels(*Snapshot(self), clRed), self->Width() * self->Height());
}

namespace {

// The first row of an image holding a dark pixel, or -1.
int FirstDarkRow(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) return y;
  return -1;
}

}  // namespace

// A set formatting rectangle is where a multi-line edit's first line begins,
// as text drawn at its top; without one the editor keeps its own margin.
TEST(EditTest, AMultiLineFormattingRectangleIsWhereTheTextBegins) {
  auto form = ShownForm();
  TMemo* m = Place<TMemo>(form.get());
  m->SetBorderStyle(bsNone);
  m->SetBounds(0, 0, 120, 40);
  m->SetText("Hg");
  TBitmap drawn;
  drawn.SetSize(40, 40);
  drawn.Canvas()->Font()->Assign(m->Font());
  drawn.Canvas()->Brush()->SetColor(clWhite);
  drawn.Canvas()->FillRect(TRect{0, 0, 40, 40});
  drawn.Canvas()->TextOut(0, 0, "Hg");
  int inkTop = -1;
  for (int y = 0; y < 40 && inkTop < 0; ++y)
    for (int x = 0; x < 40 && inkTop < 0; ++x)
      if (drawn.Canvas()->Pixels(x, y) != clWhite) inkTop = y;
  ASSERT_GE(inkTop, 0);
  auto firstRow = [&] {
    Pump();
    return FirstDarkRow(ClientOf(m)->grab().toImage());
  };
  for (const int top : {0, 2, 5}) {
    TRect r = Rect(2, top, m->ClientWidth() - 2, m->ClientHeight());
    m->Perform(EM_SETRECTNP, 0, LPARAM(&r));
    EXPECT_EQ(firstRow(), top + inkTop) << top;
  }
  m->Perform(EM_SETRECT, 0, 0);
  EXPECT_GT(firstRow(), inkTop);
}

namespace {

// A cell-like editor: several lines, no automatic vertical scrolling.
class TNoScrollMemo : public TMemo {
 public:
  using TMemo::TMemo;

 protected:
  void FillCreateParams(TCreateParams& params) override {
    TMemo::FillCreateParams(params);
    params.Style &= ~ES_AUTOVSCROLL;
  }
};

}  // namespace

// Without automatic vertical scrolling the first line stays in view wherever
// the caret goes, even in a window lower than a line; with it, the editor
// follows the caret.
TEST(EditTest, WithoutAutoVerticalScrollTheTextNeverScrollsAway) {
  auto form = ShownForm();
  struct Case { TMemo* memo; bool follows; };
  const Case cases[] = {{Place<TNoScrollMemo>(form.get()), false}, {Place<TMemo>(form.get(), 60), true}};
  for (const Case& c : cases) {
    c.memo->SetBorderStyle(bsNone);
    c.memo->SetBounds(0, c.memo->Top(), 120, 10);
    c.memo->SetText("first\r\nsecond\r\nthird");
    c.memo->SetFocus();
    Pump();
    for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_Down}) Key(c.memo, key);
    Pump();
    const int scrolled = static_cast<QPlainTextEdit*>(Native(c.memo))->verticalScrollBar()->value();
    EXPECT_EQ(scrolled > 0, c.follows) << (c.follows ? "auto-scrolling" : "fixed");
  }
}
