#include <gtest/gtest.h>

#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <string>
#include <vector>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/outline.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

namespace {

// A focusable window that logs enter/exit and keys.
class TField : public TCustomControl {
 public:
  TField(TComponent* owner, std::vector<std::string>* log, const std::string& name)
      : TCustomControl(owner), log_(log) {
    SetName(name);
    SetTabStop(true);
    OnEnter = [this](TObject*) { log_->push_back("enter " + Name()); };
    OnExit = [this](TObject*) { log_->push_back("exit " + Name()); };
  }
  bool wantArrows = false;
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = wantArrows ? DLGC_WANTARROWS : 0;
      return;
    }
    TCustomControl::Dispatch(m);
  }

 private:
  std::vector<std::string>* log_;
};

void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(ClientOf(c), key, mods);
}

// A focused field on `form` that adds what it is typed to `typed`.
TField* FocusedTypist(TCustomForm* form, std::vector<std::string>* log, std::string* typed) {
  auto* a = new TField(form, log, "A");
  a->SetParent(form);
  a->SetFocus();
  a->OnKeyPress = [typed](TObject*, char32_t& ch) { *typed += char(ch); };
  return a;
}

}  // namespace

TEST(FocusTest, TabMovesAlongTheTabOrderWithEnterAndExit) {
  auto form = ShownForm();
  std::vector<std::string> log;
  auto* a = new TField(form.get(), &log, "A");
  auto* b = new TField(form.get(), &log, "B");
  auto* c = new TField(form.get(), &log, "C");
  auto* skipped = new TField(form.get(), &log, "Skipped");
  for (TField* f : {a, b, skipped, c}) f->SetParent(form.get());
  skipped->SetTabStop(false);
  c->SetTabOrder(1);  // order: A, C, B, Skipped
  a->SetFocus();
  EXPECT_EQ(form->ActiveControl(), a);
  EXPECT_TRUE(a->Focused());
  log.clear();
  Key(a, Qt::Key_Tab);
  EXPECT_EQ(form->ActiveControl(), c);
  EXPECT_EQ(log, (std::vector<std::string>{"exit A", "enter C"}));
  Key(c, Qt::Key_Tab);
  EXPECT_EQ(form->ActiveControl(), b);
  Key(b, Qt::Key_Tab);  // wraps, passing over the control without a tab stop
  EXPECT_EQ(form->ActiveControl(), a);
  Key(a, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(form->ActiveControl(), b);
  // Arrows move among siblings unless the control wants them.
  Key(b, Qt::Key_Right);
  EXPECT_EQ(form->ActiveControl(), skipped);
  skipped->wantArrows = true;
  Key(skipped, Qt::Key_Right);
  EXPECT_EQ(form->ActiveControl(), skipped);
  // Disabled or hidden controls cannot take the focus.
  c->SetEnabled(false);
  EXPECT_FALSE(c->CanFocus());
  EXPECT_THROW(form->SetActiveControl(c), EInvalidOperation);
}

TEST(FocusTest, EnterAndExitRunAlongNestedWindows) {
  auto form = ShownForm();
  std::vector<std::string> log;
  auto* panel1 = new TField(form.get(), &log, "P1");
  auto* panel2 = new TField(form.get(), &log, "P2");
  panel1->SetParent(form.get());
  panel2->SetParent(form.get());
  auto* x = new TField(form.get(), &log, "X");
  auto* y = new TField(form.get(), &log, "Y");
  x->SetParent(panel1);
  y->SetParent(panel2);
  x->SetFocus();
  EXPECT_EQ(log, (std::vector<std::string>{"enter P1", "enter X"}));
  log.clear();
  y->SetFocus();
  EXPECT_EQ(log, (std::vector<std::string>{"exit X", "exit P1", "enter P2", "enter Y"}));
  EXPECT_EQ(Screen->ActiveControl(), y);
  delete panel2;  // the focused control goes away with its parent
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_EQ(Screen->ActiveControl(), nullptr);
}

TEST(KeyTest, KeyPreviewLetsTheFormSeeKeysFirst) {
  auto form = ShownForm();
  std::vector<std::string> log;
  std::string typed;
  TField* a = FocusedTypist(form.get(), &log, &typed);
  a->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { log.push_back("down " + std::to_string(key)); };
  Key(a, Qt::Key_Q);
  EXPECT_EQ(typed, "q");
  EXPECT_EQ(log.back(), "down 81");
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    if (key == 'X') key = 0;  // swallowed: no key press follows
  };
  form->OnKeyPress = [&](TObject*, char32_t& ch) {
    if (ch == 'y') ch = 'z';
  };
  Key(a, Qt::Key_X);
  Key(a, Qt::Key_Y);
  EXPECT_EQ(typed, "qz");
  WORD shiftKey = 0;
  a->OnKeyUp = [&](TObject*, WORD& key, TShiftState s) {
    if (s.Contains(ssShift)) shiftKey = key;
  };
  QTest::keyRelease(ClientOf(a), Qt::Key_A, Qt::ShiftModifier);
  EXPECT_EQ(shiftKey, 'A');
}

TEST(KeyTest, ShortCutHooksSeeKeyDownBeforePreviewAndControl) {
  auto form = ShownForm();
  std::vector<std::string> log;
  std::string typed;
  TField* a = FocusedTypist(form.get(), &log, &typed);
  // The modifier's own key-down travels the same road; the letters tell the order.
  auto note = [&](const char* who, WORD key) {
    if (key != VK_CONTROL) log.push_back(who + std::string(" ") + std::to_string(key));
  };
  a->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { note("control", key); };
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { note("preview", key); };
  form->OnShortCut = [&](WORD& key, TShiftState shift, bool& handled) {
    note("event", key);
    handled = key == 'S' && shift.Contains(ssCtrl);
  };
  int once = 0;
  once = form->AddShortCutHook([&](WORD& key, TShiftState) {
    if (key != 'F') return false;
    note("once", key);
    form->RemoveShortCutHook(once);  // removing itself while running is safe
    return true;
  });
  form->AddShortCutHook([&](WORD& key, TShiftState) {
    note("menu", key);
    return key == 'G';
  });
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    std::vector<std::string> log;
    std::string typed;
  } cases[] = {
      {Qt::Key_S, Qt::ControlModifier, {"event 83"}, ""},
      {Qt::Key_F, Qt::NoModifier, {"event 70", "once 70"}, ""},
      {Qt::Key_F, Qt::NoModifier, {"event 70", "menu 70", "preview 70", "control 70"}, "f"},
      {Qt::Key_G, Qt::NoModifier, {"event 71", "menu 71"}, ""},
  };
  for (const Case& c : cases) {
    log.clear();
    typed.clear();
    Key(a, c.key, c.mods);
    EXPECT_EQ(log, c.log) << c.key;
    EXPECT_EQ(typed, c.typed) << c.key;
  }
}

TEST(KeyTest, CtrlLetterTypesTheControlCharacterOnEveryPlatform) {
  auto form = ShownForm();
  std::vector<std::string> log;
  std::string typed;
  TField* a = FocusedTypist(form.get(), &log, &typed);
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    std::string typed;
  } cases[] = {
      {Qt::Key_S, Qt::ControlModifier, "\x13"},
      {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "\x01"},
      {Qt::Key_Z, Qt::ControlModifier, "\x1a"},
      {Qt::Key_S, Qt::NoModifier, "s"},
      {Qt::Key_S, Qt::ControlModifier | Qt::AltModifier, "s"},  // AltGr keeps its text
  };
  for (const Case& c : cases) {
    typed.clear();
    Key(a, c.key, c.mods);
    EXPECT_EQ(typed, c.typed) << c.key;
  }
}

TEST(KeyTest, AltLetterReachesTheControlWithThatMnemonic) {
  auto form = ShownForm();
  class TAccel : public TCustomControl {
   public:
    using TCustomControl::TCustomControl;
    int hits = 0;
    void Dispatch(TMessage& m) override {
      if (m.Msg == CM_DIALOGCHAR && IsAccel(char32_t(m.WParam), Caption())) {
        ++hits;
        m.Result = 1;
        return;
      }
      TCustomControl::Dispatch(m);
    }
  };
  auto* plain = new TAccel(form.get());
  plain->SetCaption("&Open");
  auto* save = new TAccel(form.get());
  save->SetCaption("&Save");
  plain->SetParent(form.get());
  save->SetParent(form.get());
  std::vector<std::string> log;
  auto* field = new TField(form.get(), &log, "F");
  field->SetParent(form.get());
  field->SetFocus();
  Key(field, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(save->hits, 1);
  EXPECT_EQ(plain->hits, 0);
}

TEST(ModalTest, ShowModalReturnsTheModalResult) {
  Application->Initialize();
  TForm dialog(nullptr);
  int shows = 0;
  dialog.OnShow = [&](TObject*) { ++shows; };
  QTimer::singleShot(10, [&] { dialog.SetModalResult(mrOk); });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(dialog.Modal());
  // Close on a modal form answers mrCancel.
  QTimer::singleShot(10, [&] { dialog.Close(); });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  // A refusing CloseQuery keeps the dialog open until it agrees.
  int asked = 0;
  dialog.OnCloseQuery = [&](TObject*, bool& can) { can = ++asked > 1; };
  QTimer::singleShot(10, [&] { dialog.SetModalResult(mrYes); });
  QTimer::singleShot(30, [&] {
    EXPECT_TRUE(dialog.Visible());
    dialog.SetModalResult(mrNo);
  });
  EXPECT_EQ(dialog.ShowModal(), mrNo);
  EXPECT_EQ(asked, 2);
  // Showing a visible form modally is refused.
  dialog.Show();
  EXPECT_THROW(dialog.ShowModal(), EInvalidOperation);
  dialog.Hide();
}

// Ending the modal windows from inside nested modal forms: both end as by
// Close, and what follows runs once both loops have returned.
TEST(ModalTest, EndingModalWindowsEndsNestedFormsAndThenRunsOutside) {
  Application->Initialize();
  TForm outer(nullptr), inner(nullptr);
  std::vector<std::string> log;
  outer.OnShow = [&](TObject*) {
    QTimer::singleShot(10, [&] {
      QTimer::singleShot(10, [&] { Application->EndModalWindows([&] { log.push_back("then"); }); });
      log.push_back("inner " + std::to_string(inner.ShowModal()));
    });
  };
  log.push_back("outer " + std::to_string(outer.ShowModal()));
  QElapsedTimer waited;
  waited.start();
  while (log.size() < 3 && waited.elapsed() < 5000) Application->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"inner 2", "outer 2", "then"}));
}

TEST(CancelModeTest, TheMouseHolderAndTheFocusLoserAreTold) {
  auto form = ShownForm();
  std::vector<std::string> log;
  auto* held = new TField(form.get(), &log, "held");
  held->SetBounds(0, 0, 60, 40);
  held->SetParent(form.get());
  auto* next = new TField(form.get(), &log, "next");
  next->SetBounds(0, 50, 60, 40);
  next->SetParent(form.get());
  held->WindowProc = [&, old = held->WindowProc](TMessage& m) {
    if (m.Msg == WM_CANCELMODE) log.push_back("cancel mode");
    if (m.Msg == CM_CANCELMODE)
      log.push_back(std::string("cancel for ") + (LPARAM(next) == m.LParam ? "next" : "?"));
    old(m);
  };
  held->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
  held->OnClick = [&](TObject*) { log.push_back("click"); };
  const std::vector<std::string> cancelled{"cancel mode", "up"};  // released outside: no click
  // A modal window opening.
  QTest::mousePress(ClientOf(held), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_EQ(GetCaptureControl(), held);
  log.clear();
  TForm dialog(nullptr);
  QTimer::singleShot(10, [&] { dialog.SetModalResult(mrOk); });
  dialog.ShowModal();
  EXPECT_EQ(log, cancelled);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  // The application losing activation (its last window goes away).
  QTest::mouseRelease(ClientOf(held), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  vantrel::qt::WindowWidget(*form)->activateWindow();
  Pump(5);
  QTest::mousePress(ClientOf(held), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_EQ(GetCaptureControl(), held);
  ASSERT_TRUE(Application->Active());
  log.clear();
  form->Hide();
  Pump(5);
  EXPECT_FALSE(Application->Active());
  EXPECT_EQ(log, cancelled);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  // The focus moving on: the loser hears who takes it.
  form->Show();
  Pump(5);
  held->SetFocus();
  log.clear();
  next->SetFocus();
  EXPECT_EQ(log, (std::vector<std::string>{"cancel for next", "exit held", "enter next"}));
}

TEST(ModalTest, ClicksInAModalDialogReachPopUpsWithoutOwnerAndChildren) {
  Application->Initialize();
  TForm dialog(nullptr);
  dialog.SetBounds(50, 50, 200, 150);
  auto* popup = new TStyledControl(&dialog, [](TCreateParams& params) {
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW;
    params.WndParent = nullptr;  // a parent, but no owner window
  });
  popup->SetBounds(70, 90, 60, 40);
  popup->Hide();
  popup->SetParent(&dialog);
  int clicks = 0;
  popup->OnClick = [&](TObject*) { ++clicks; };
  // A click on an ordinary child ends the loop with the result it sets.
  auto* ok = Place<TCustomControl>(&dialog, 10, 10, 40, 20);
  ok->OnClick = [&](TObject*) { dialog.SetModalResult(mrOk); };
  QTimer::singleShot(10, [&] {
    popup->Show();
    Pump();
    SystemClick(popup, 5, 5);
    Click(ok, 5, 5);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(clicks, 1);
}

TEST(CloseTest, CloseActionsAndCloseQuery) {
  auto form = ShownForm();
  TCloseAction chosen = caHide;
  int closes = 0;
  form->OnClose = [&](TObject*, TCloseAction& a) {
    ++closes;
    a = chosen;
  };
  bool allow = false;
  form->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
  form->Close();
  EXPECT_EQ(closes, 0);  // refused before OnClose
  EXPECT_TRUE(form->Visible());
  allow = true;
  chosen = caNone;
  form->Close();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(form->Visible());
  chosen = caMinimize;
  form->Close();
  EXPECT_EQ(form->WindowState(), wsMinimized);
  chosen = caHide;
  form->Close();
  EXPECT_FALSE(form->Visible());
  // caFree frees the form once the current events are over.
  auto* freed = new TForm(nullptr);
  freed->Show();
  freed->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  bool destroyed = false;
  freed->OnDestroy = [&](TObject*) { destroyed = true; };
  const int before = Screen->FormCount();
  freed->Close();
  EXPECT_FALSE(destroyed);
  Pump();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen->FormCount(), before - 1);
}

TEST(CloseTest, WindowCloseRequestGoesThroughCloseQuery) {
  auto form = ShownForm();
  bool asked = false;
  form->OnCloseQuery = [&](TObject*, bool& can) {
    asked = true;
    can = false;
  };
  vantrel::qt::WindowWidget(*form)->close();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(form->Visible());
}

TEST(ApplicationTest, CreateFormMakesTheFirstFormTheMainFormAndRunEndsOnClose) {
  TApplication app(nullptr);
  TApplication* saved = Application;
  Application = &app;
  TForm* main = nullptr;
  TForm* second = nullptr;
  app.CreateForm(main);
  app.CreateForm(second);
  EXPECT_EQ(app.MainForm(), main);
  EXPECT_EQ(main->Owner(), &app);
  QTimer::singleShot(10, [&] { main->Close(); });
  app.Run();  // closing the main form terminates
  EXPECT_TRUE(app.Terminated());
  Application = saved;
}

TEST(ApplicationTest, ExceptionsFromHandlersReachOnException) {
  auto form = ShownForm();
  auto* c = Place<TCustomControl>(form.get(), 0, 0, 50, 50);
  c->OnClick = [](TObject*) { throw EConvertError("bad value"); };
  std::string caught;
  Application->OnException = [&](TObject*, const Exception& e) { caught = e.Message(); };
  Click(c, 5, 5);
  EXPECT_EQ(caught, "bad value");
  caught.clear();
  c->OnClick = [](TObject*) { throw EAbort("quiet"); };
  Click(c, 5, 5);
  EXPECT_EQ(caught, "");  // the silent exception stays silent
  try {
    throw std::runtime_error("plain C++ error");
  } catch (...) {
    Application->HandleException(c);
  }
  EXPECT_EQ(caught, "plain C++ error");
  caught.clear();
  Application->HandleException(c);  // outside a handler: nothing
  EXPECT_EQ(caught, "");
  Application->OnException = nullptr;
}

TEST(ApplicationTest, MainWindowHooksRunInOrderAndComeOffSafely) {
  std::vector<int> seen;
  int h2 = 0;
  const int h1 = Application->HookMainWindow([&](TMessage& m) {
    seen.push_back(1);
    Application->UnhookMainWindow(h2);  // removing a later hook mid-call
    return m.Msg == WM_USER;
  });
  h2 = Application->HookMainWindow([&](TMessage&) {
    seen.push_back(2);
    return false;
  });
  TMessage m{CM_ACTIVATE, 0, 0, 0};
  EXPECT_FALSE(Application->CallMainWindowHooks(m));
  EXPECT_EQ(seen, (std::vector<int>{1}));
  TMessage user{WM_USER, 0, 0, 0};
  EXPECT_TRUE(Application->CallMainWindowHooks(user));
  Application->UnhookMainWindow(h1);
  Application->UnhookMainWindow(h1);  // twice is harmless
  seen.clear();
  EXPECT_FALSE(Application->CallMainWindowHooks(m));
  EXPECT_TRUE(seen.empty());
}

TEST(ApplicationTest, ProcessMessagesIsTheCoreMessagePump) {
  Application->Initialize();
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  ProcessMessages();  // the core's hook, as engine code calls it
  EXPECT_TRUE(ran);
}

TEST(ApplicationTest, HelpGoesToOnHelpFirst) {
  int asked = 0;
  Application->OnHelp = [&](WORD cmd, int data, bool& callHelp) {
    ++asked;
    EXPECT_EQ(cmd, HELP_CONTEXT);
    EXPECT_EQ(data, 17);
    callHelp = false;
    return true;
  };
  EXPECT_TRUE(Application->HelpContext(17));
  EXPECT_EQ(asked, 1);
  Application->OnHelp = nullptr;
  Application->SetHelpFile("/nonexistent/help.hlp");
  EXPECT_FALSE(Application->HelpContext(1));  // no viewer for a missing file
  EXPECT_NE(Application->ExeName().find("classlib_controls_tests"), std::string::npos);
}

TEST(HintTest, HintShowCanChangeTheHint) {
  auto form = ShownForm();
  class THinted : public TCustomControl {
   public:
    using TCustomControl::TCustomControl;
    void Dispatch(TMessage& m) override {
      if (m.Msg == CM_HINTSHOW) {
        auto* info = reinterpret_cast<THintInfo*>(m.LParam);
        info->HintStr += "!";
        info->HintPos = ClientToScreen({3, 40});
      }
      TCustomControl::Dispatch(m);
    }
  };
  auto* c = new THinted(form.get());
  c->SetBounds(0, 0, 60, 30);
  c->SetHint("Short|Long text");
  c->SetShowHint(true);
  c->SetParent(form.get());
  std::string status;
  Application->OnHint = [&](TObject*) { status = Application->Hint(); };
  // Off the control first: a move to where the mouse already is (left there by
  // an earlier test) makes no event.
  QTest::mouseMove(ClientOf(form.get()), QPoint(150, 100));
  QTest::mouseMove(ClientOf(c), QPoint(5, 5));
  EXPECT_EQ(status, "Long text");
  Application->ActivateHint(c->ClientToScreen({5, 5}));
  THintWindow* hint = Application->HintWindow();
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->Caption(), "Short!");
  EXPECT_EQ(hint->Left(), c->ClientToScreen({3, 40}).x);
  Application->CancelHint();
  EXPECT_EQ(Application->HintWindow(), nullptr);
  EXPECT_EQ(GetShortHint("a|b"), "a");
  EXPECT_EQ(GetLongHint("plain"), "plain");
  Application->OnHint = nullptr;
}

TEST(TimerTest, FiresWhileEnabledAndStopsWhenDisabled) {
  Application->Initialize();
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(5);
  timer.OnTimer = [&](TObject* s) {
    EXPECT_EQ(s, &timer);
    if (++ticks == 3) timer.SetEnabled(false);
  };
  timer.SetInterval(5);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 2000));
  EXPECT_EQ(ticks, 3);
  ASSERT_TRUE(RunTimerRounds(5, 5));
  EXPECT_EQ(ticks, 3);  // disabled: no more ticks
  timer.SetInterval(0);
  timer.SetEnabled(true);
  ASSERT_TRUE(RunTimerRounds(5, 5));
  EXPECT_EQ(ticks, 3);  // a zero interval never fires
}

TEST(DropTest, DroppedFilesReachTheFormsHook) {
  auto form = ShownForm();
  std::vector<std::string> files;
  TPoint where;
  const int hook = form->AddWindowHook([&](TMessage& m, const TWndMethod& next) {
    if (m.Msg == WM_DROPFILES) {
      auto drop = reinterpret_cast<HDROP>(m.WParam);
      for (int i = 0; i < DragQueryFileCount(drop); ++i) files.push_back(DragQueryFile(drop, i));
      where = DragQueryPoint(drop);
      DragFinish(drop);
      return;
    }
    next(m);
  });
  DragAcceptFiles(form.get(), true);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile("/tmp/a.txt"), QUrl::fromLocalFile("/tmp/b c.txt")});
  QWidget* window = vantrel::qt::WindowWidget(*form);
  QDragEnterEvent enter(QPoint(12, 7), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(12, 7), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  EXPECT_EQ(files, (std::vector<std::string>{"/tmp/a.txt", "/tmp/b c.txt"}));
  EXPECT_EQ(where, Point(12, 7));
  form->RemoveWindowHook(hook);
  EXPECT_EQ(DragQueryFile(nullptr, 0), "");
  EXPECT_EQ(DragQueryFile(reinterpret_cast<HDROP>(&files), 5), "");
}

TEST(ClipboardTest, TextAndBitmaps) {
  Application->Initialize();
  Clipboard()->SetAsText("Defect 42");
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  EXPECT_EQ(Clipboard()->AsText(), "Defect 42");
  auto b = Surface(3, 2, clRed);
  Clipboard()->Assign(b.get());
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TBitmap out;
  Clipboard()->GetPicture(&out);
  EXPECT_EQ(out.Width(), 3);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clRed);
  Clipboard()->Clear();
  EXPECT_FALSE(Clipboard()->HasFormat(CF_BITMAP));
  EXPECT_THROW(Clipboard()->GetPicture(&out), EConvertError);
}

TEST(ScreenTest, FormsAndGeometry) {
  EXPECT_GT(Screen->Width(), 0);
  EXPECT_GT(Screen->WorkAreaHeight(), 0);
  EXPECT_EQ(Screen->PixelsPerInch(), 96);
  EXPECT_GT(Screen->Fonts()->Count(), 0);
  const int before = Screen->FormCount();
  {
    TForm f(nullptr);
    EXPECT_EQ(Screen->FormCount(), before + 1);
    f.SetPosition(poScreenCenter);
    f.SetBounds(0, 0, 100, 50);
    f.Show();
    EXPECT_EQ(f.Left(), Screen->WorkAreaLeft() + (Screen->WorkAreaWidth() - 100) / 2);
  }
  EXPECT_EQ(Screen->FormCount(), before);
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crSQLWait);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ActivationTest, ShowingAFormActivatesItAndTheApplication) {
  auto first = ShownForm();
  int activations = 0, deactivations = 0;
  auto second = std::make_unique<TForm>(nullptr);
  second->OnActivate = [&](TObject*) { ++activations; };
  second->OnDeactivate = [&](TObject*) { ++deactivations; };
  second->Show();
  Pump(5);
  EXPECT_TRUE(second->Active());
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(Screen->ActiveForm(), second.get());
  EXPECT_TRUE(Application->Active());
  first->Show();
  Pump(5);
  EXPECT_FALSE(second->Active());
  EXPECT_EQ(deactivations, 1);
  EXPECT_EQ(Screen->ActiveForm(), first.get());
}

TEST(ActivationTest, NoActivateWindowsLeaveTheFormActiveAndTheKeyboardInTheEdit) {
  auto form = ShownForm(200, 150);
  std::vector<std::string> log;
  std::string typed;
  TField* edit = FocusedTypist(form.get(), &log, &typed);
  int deactivations = 0;
  form->OnDeactivate = [&](TObject*) { ++deactivations; };
  auto* list = new TStyledControl(form.get(), [](TCreateParams& params) {
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  });
  list->SetParent(form.get());
  list->SetBounds(20, 40, 80, 60);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  THintWindow hint(nullptr);
  TScreenOutline outline;
  struct Case {
    const char* what;
    std::function<void()> show, hide;
  } cases[] = {
      {"pop-up list", [&] { list->Show(); }, [&] { list->Hide(); }},
      {"hint", [&] { hint.ActivateHint(Rect(30, 30, 120, 50), "tip"); }, [&] { hint.ReleaseHint(); }},
      {"drag outline", [&] { outline.Show(Rect(10, 10, 90, 70), 3); }, [&] { outline.Hide(); }},
  };
  for (const Case& c : cases) {
    Pump(5);
    c.show();
    Pump(5);
    EXPECT_TRUE(form->Active()) << c.what;
    EXPECT_EQ(QApplication::focusWidget(), ClientOf(edit)) << c.what;
    Key(edit, Qt::Key_K);
    c.hide();
  }
  EXPECT_EQ(deactivations, 0);
  EXPECT_EQ(typed, "kkk");
  // Clicks in the pop-up still reach it, and leave the keyboard where it was.
  list->Show();
  Pump(5);
  SystemClick(list, 10, 10);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(form->Active());
  EXPECT_EQ(QApplication::focusWidget(), ClientOf(edit));
}

TEST(FormStyleTest, BorderStylesChooseTheWindowKind) {
  auto form = ShownForm();
  QWidget* w = vantrel::qt::WindowWidget(*form);
  EXPECT_FALSE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
  form->SetBorderStyle(bsToolWindow);
  w = vantrel::qt::WindowWidget(*form);
  EXPECT_EQ(w->windowType(), Qt::Tool);
  EXPECT_TRUE(form->Visible());
  form->SetBorderStyle(bsNone);
  w = vantrel::qt::WindowWidget(*form);
  EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
  form->SetFormStyle(fsStayOnTop);
  w = vantrel::qt::WindowWidget(*form);
  EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  form->SetCaption("Filter");
  EXPECT_EQ(w->windowTitle(), "Filter");
}

TEST(FormStyleTest, MinimumTrackingSizeComesFromTheForm) {
  Application->Initialize();
  class TSmallest : public TForm {
   public:
    using TForm::TForm;
    void Dispatch(TMessage& m) override {
      if (m.Msg == WM_GETMINMAXINFO) {
        reinterpret_cast<TMinMaxInfo*>(m.LParam)->ptMinTrackSize = {120, 80};
        return;
      }
      TForm::Dispatch(m);
    }
  };
  TSmallest form(nullptr);
  form.Show();
  EXPECT_EQ(vantrel::qt::WindowWidget(form)->minimumSize(), QSize(120, 80));
}

TEST(HintTest, HintAppearsAfterThePauseAndHidesLater) {
  auto form = ShownForm();
  auto* c = new TCustomControl(form.get());
  c->SetBounds(0, 0, 60, 30);
  c->SetHint("Tip");
  c->SetShowHint(true);
  c->SetParent(form.get());
  Application->SetHintPause(5);
  Application->SetHintHidePause(40);
  QTest::mouseMove(ClientOf(form.get()), QPoint(100, 100));
  QTest::mouseMove(ClientOf(c), QPoint(5, 5));
  EXPECT_EQ(Application->HintWindow(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([] { return Application->HintWindow() != nullptr; }, 1000));
  EXPECT_EQ(Application->HintWindow()->Caption(), "Tip");
  EXPECT_TRUE(QTest::qWaitFor([] { return Application->HintWindow() == nullptr; }, 1000));
  // A control that goes away takes its pending hint with it.
  QTest::mouseMove(ClientOf(form.get()), QPoint(100, 100));
  QTest::mouseMove(ClientOf(c), QPoint(6, 6));
  delete c;
  ASSERT_TRUE(RunTimerRounds(5, 5));  // past the hint pause
  EXPECT_EQ(Application->HintWindow(), nullptr);
  Application->SetHintPause(500);
  Application->SetHintHidePause(2500);
}

TEST(ModalTest, TerminatingTheApplicationCancelsAModalForm) {
  TApplication app(nullptr);
  TApplication* saved = Application;
  Application = &app;
  app.Initialize();
  TForm dialog(nullptr);
  QTimer::singleShot(10, [&] { app.Terminate(); });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_FALSE(dialog.Visible());
  Application = saved;
}

TEST(FormStyleTest, IconsReachTheWindow) {
  auto form = ShownForm();
  auto glyph = Surface(16, 16, clRed);
  TIcon icon;
  icon.Assign(glyph.get());
  form->SetIcon(&icon);
  EXPECT_FALSE(vantrel::qt::WindowWidget(*form)->windowIcon().isNull());
  Application->Icon()->Assign(&icon);
  EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
  Application->Minimize();
  EXPECT_TRUE(vantrel::qt::WindowWidget(*form)->isMinimized());
  Application->Restore();
  EXPECT_FALSE(vantrel::qt::WindowWidget(*form)->isMinimized());
}

TEST(HintTest, HintsStayOnTheScreen) {
  auto form = ShownForm();
  class TCornerHint : public TCustomControl {
   public:
    using TCustomControl::TCustomControl;
    void Dispatch(TMessage& m) override {
      if (m.Msg == CM_HINTSHOW)
        reinterpret_cast<THintInfo*>(m.LParam)->HintPos = {Screen->Width() + 50, -40};
      TCustomControl::Dispatch(m);
    }
  };
  auto* c = new TCornerHint(form.get());
  c->SetBounds(0, 0, 60, 30);
  c->SetHint("A hint near the corner");
  c->SetShowHint(true);
  c->SetParent(form.get());
  Application->ActivateHint(c->ClientToScreen({5, 5}));
  THintWindow* hint = Application->HintWindow();
  ASSERT_NE(hint, nullptr);
  const TRect area = Screen->WorkAreaRect();
  EXPECT_LE(hint->Left() + hint->Width(), area.Right);
  EXPECT_GE(hint->Top(), area.Top);
  Application->CancelHint();
}

TEST(PlatformTest, X11IsChosenOnWaylandOnlyWhenNothingElseDecides) {
  using vantrel::qt::DisplayEnvironment;
  struct Case {
    DisplayEnvironment env;
    bool x11;
  } cases[] = {
      {{"", "wayland-0", "", ":0", true}, true},
      {{"", "", "wayland", ":0", true}, true},
      {{"wayland", "wayland-0", "wayland", ":0", true}, false},  // the user's choice stands
      {{"", "wayland-0", "wayland", "", true}, false},           // no X server
      {{"", "wayland-0", "wayland", ":0", false}, false},        // no X11 plugin
      {{"", "", "x11", ":0", true}, false},                      // X11 already
  };
  for (const Case& c : cases)
    EXPECT_EQ(vantrel::qt::PreferX11(c.env), c.x11) << c.env.waylandDisplay << c.env.sessionType;
  qputenv("WAYLAND_DISPLAY", "wayland-7");
  EXPECT_EQ(vantrel::qt::CurrentDisplayEnvironment().waylandDisplay, "wayland-7");
  EXPECT_EQ(vantrel::qt::CurrentDisplayEnvironment().qpaPlatform, "offscreen");
  qunsetenv("WAYLAND_DISPLAY");
}
