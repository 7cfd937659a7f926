#include "platform/classlib/controls/forms.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace vantrel::qt;

IMPLEMENT_CLASS(TCustomForm, TWinControl)
IMPLEMENT_CLASS(TForm, TCustomForm)
IMPLEMENT_CLASS(THintWindow, TCustomControl)
IMPLEMENT_CLASS(TScreen, TComponent)
IMPLEMENT_CLASS(TApplication, TComponent)

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);

namespace vantrel::qt {
void ReportException(std::exception_ptr error) {
  if (Application) {
    Application->HandleException(nullptr, error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
  }
}
}  // namespace vantrel::qt

TCustomForm* GetParentForm(const TControl* control) {
  if (!control) return nullptr;
  const TControl* top = control;
  while (top->Parent()) top = top->Parent();
  return As<TCustomForm>(const_cast<TControl*>(top));
}

std::string GetShortHint(const std::string& hint) {
  const size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint) {
  const size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

void SysColorsChanged() {
  for (int i = Screen->FormCount() - 1; i >= 0; --i)
    if (i < Screen->FormCount()) Screen->Forms(i)->Perform(CM_SYSCOLORCHANGE);
}

// ---- TCustomForm -------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), icon_(std::make_unique<TIcon>()) {
  InitVisible(false);
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                   csDoubleClicks});
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  icon_->OnChange = [this](TObject*) { ApplyIcon(); };
  Screen->AddForm(this);
}

void TCustomForm::ApplyIcon() {
  QWidget* w = WindowWidget(*this);
  if (!w) return;
  w->setWindowIcon(icon_->Empty() ? QIcon() : QIcon(QPixmap::fromImage(IconImage(*icon_))));
}

TCustomForm::~TCustomForm() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      ReportException(std::current_exception());
    }
  }
  if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
  Screen->RemoveForm(this);
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

void TCustomForm::DoCreate() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (value == formStyle_) return;
  formStyle_ = value;
  RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState value) {
  if (value == windowState_) return;
  windowState_ = value;
  if (Showing()) ApplyWindowState();
}

void TCustomForm::ApplyWindowState() {
  QWidget* w = WindowWidget(*this);
  if (!w) return;
  switch (windowState_) {
    case wsMinimized: w->showMinimized(); break;
    case wsMaximized: w->showMaximized(); break;
    default: w->showNormal(); break;
  }
}

void TCustomForm::FillCreateParams(TCreateParams& params) {
  TWinControl::FillCreateParams(params);
  if (Parent()) return;  // a form placed on another control is a child window
  params.Style &= ~WS_CHILD;
  params.Style |= WS_POPUP;
  params.WndParent = nullptr;
  switch (borderStyle_) {
    case bsNone: break;
    case bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; break;
    case bsSizeable:
      params.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
      break;
    case bsDialog: params.Style |= WS_CAPTION | WS_SYSMENU | WS_DLGFRAME; break;
    case bsToolWindow:
    case bsSizeToolWin:
      params.Style |= WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (formStyle_ == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyIcon();
  if (borderStyle_ == bsDialog) WindowWidget(*this)->setWindowFlag(Qt::Dialog, true);
}

void TCustomForm::PlaceOnScreen() {
  if (placed_) return;
  placed_ = true;
  TRect area = Screen->WorkAreaRect();
  TCustomForm* over = nullptr;
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      break;
    case poMainFormCenter:
      over = Application->MainForm();
      break;
    case poOwnerFormCenter:
      over = As<TCustomForm>(Owner());
      break;
    default:
      return;
  }
  if (over && over != this) area = over->BoundsRect();
  SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2,
            Width(), Height());
}

void TCustomForm::Show() {
  SetVisible(true);
  if (QWidget* w = WindowWidget(*this)) {
    RaiseWindow(w);
    w->activateWindow();
  }
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::ShowingChanged() {
  if (Visible()) {
    Application->Initialize();
    HandleNeeded();
    PlaceOnScreen();
    TMinMaxInfo info;
    info.ptMinTrackSize = {Constraints().MinWidth, Constraints().MinHeight};
    Perform(WM_GETMINMAXINFO, 0, LPARAM(&info));
    WindowWidget(*this)->setMinimumSize(std::max(0, info.ptMinTrackSize.x),
                                        std::max(0, info.ptMinTrackSize.y));
    DoShow();
    UpdateShowing();
    if (windowState_ != wsNormal) ApplyWindowState();
    FocusFirst();
  } else {
    DoHide();
    UpdateShowing();
    if (active_) {
      active_ = false;
      Deactivate();
    }
  }
}

void TCustomForm::FocusFirst() {
  TWinControl* target = activeControl_;
  if (!target || !target->CanFocus()) target = FindNextControl(nullptr, true, true, false);
  if (target) SetActiveControl(target);
}

TWinControl* TCustomForm::ToolkitFocusedControl() const {
  QWidget* window = WindowWidget(*this);
  TWinControl* control = window ? ControlOfWidget(window->focusWidget()) : nullptr;
  if (!control || control == this || ::GetParentForm(control) != this || !control->CanFocus())
    return nullptr;
  return control;
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || Modal())
    throw EInvalidOperation("Cannot make a visible window modal");
  CancelMouseMode();
  ++modalLevel_;
  modalResult_ = mrNone;
  HandleNeeded();
  WindowWidget(*this)->setWindowModality(Qt::ApplicationModal);
  auto done = [this] {
    --modalLevel_;
    if (QWidget* w = WindowWidget(*this)) {
      Hide();
      w->setWindowModality(Qt::NonModal);
    }
    if (releaseAfterModal_ && !Modal()) {
      releaseAfterModal_ = false;
      PostToWindow(this, [](TWinControl* w) { delete w; });
    }
  };
  try {
    Show();
    if (ModalFormResponder)
      PostToWindow(this, [](TWinControl* w) {
        auto* form = static_cast<TCustomForm*>(w);
        if (!ModalFormResponder || !form->Modal()) return;
        if (TModalResult r = ModalFormResponder(*form); r != mrNone) form->modalResult_ = r;
      });
    while (modalResult_ == mrNone) {
      Application->HandleMessage();
      if (Application->Terminated()) modalResult_ = mrCancel;
      else if (modalResult_ != mrNone) CloseModal();
    }
  } catch (...) {
    done();
    throw;
  }
  done();
  return modalResult_;
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  switch (action) {
    case caNone: modalResult_ = mrNone; break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Close() {
  if (Modal()) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    default: Release(); break;
  }
}

void TCustomForm::Release() {
  if (releasing_) return;
  releasing_ = true;
  PostToWindow(this, [](TWinControl* w) {
    // Freed under its own modal loop, the form would vanish beneath it: end
    // the loop instead, which frees the form once ShowModal has returned.
    auto* form = static_cast<TCustomForm*>(w);
    if (form->Modal()) {
      if (form->modalResult_ == mrNone) form->modalResult_ = mrCancel;
      form->releaseAfterModal_ = true;
      return;
    }
    delete w;
  });
}

void TCustomForm::GetChildren(const TGetChildProc& proc, TComponent* root) {
  TWinControl::GetChildren(proc, root);
  TComponent::GetChildren(proc, root);  // its components without a parent
}

int TCustomForm::AddShortCutHook(TShortCutHook hook) { return shortCutHooks_.Add(std::move(hook)); }

void TCustomForm::RemoveShortCutHook(int id) { shortCutHooks_.Remove(id); }

int TCustomForm::AddKeyUpHook(TShortCutHook hook) { return keyUpHooks_.Add(std::move(hook)); }

void TCustomForm::RemoveKeyUpHook(int id) { keyUpHooks_.Remove(id); }

bool TCustomForm::IsShortCut(WORD& Key, TShiftState Shift) {
  if (OnShortCut) {
    bool handled = false;
    OnShortCut(Key, Shift, handled);
    if (handled) return true;
  }
  return shortCutHooks_.AnyHandles(Key, Shift);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}
void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}
void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}
void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control && (control == this || ::GetParentForm(control) != this ||
                  (!ComponentState().Contains(csLoading) && !control->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  activeControl_ = control;
  if (!control || !Showing()) return;
  control->HandleNeeded();
  if (QWidget* w = ClientWidget(*control)) w->setFocus(Qt::OtherFocusReason);
  SetFocusedControl(control);
}

void TCustomForm::FocusControl(TWinControl* control) {
  SetActiveControl(control);
  if (!Showing()) return;
  // The window that holds the control becomes the active one: the form's,
  // or a window of its own on the form (a floating tool window), as a
  // focused window activates its top-level window.
  QWidget* client = control ? ClientWidget(*control) : nullptr;
  QWidget* w = client ? client->window() : WindowWidget(*this);
  if (w && !w->isActiveWindow()) w->activateWindow();
}

void TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == focusedControl_ || (control && ::GetParentForm(control) != this)) return;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  if (control && control != this) activeControl_ = control;
  // The control losing the focus closes what it has open (a drop-down list).
  if (old) {
    old->Perform(CM_CANCELMODE, 0, LPARAM(control));
    if (focusedControl_ != control) return;  // a handler moved the focus on
  }
  // Exit from the old control up to the first parent the new one shares, then
  // enter from there down to the new control.
  std::vector<TWinControl*> oldChain, newChain;
  for (TWinControl* c = old; c && c != this; c = c->Parent()) oldChain.push_back(c);
  for (TWinControl* c = control; c && c != this; c = c->Parent()) newChain.push_back(c);
  for (TWinControl* c : oldChain) {
    if (std::find(newChain.begin(), newChain.end(), c) != newChain.end()) break;
    c->Perform(CM_EXIT);
    if (focusedControl_ != control) return;  // a handler moved the focus on
  }
  std::vector<TWinControl*> entering;
  for (TWinControl* c : newChain) {
    if (std::find(oldChain.begin(), oldChain.end(), c) != oldChain.end()) break;
    entering.push_back(c);
  }
  for (auto it = entering.rbegin(); it != entering.rend(); ++it) {
    (*it)->Perform(CM_ENTER);
    if (focusedControl_ != control) return;
  }
  Screen->SetActiveControl(control);
}

void TCustomForm::ForgetControl(TControl* control) {
  auto inside = [control](TControl* c) {
    for (; c; c = c->Parent())
      if (c == control) return true;
    return false;
  };
  if (activeControl_ && inside(activeControl_)) activeControl_ = nullptr;
  if (focusedControl_ && inside(focusedControl_)) focusedControl_ = nullptr;
  if (Screen->activeControl_ && inside(Screen->activeControl_)) Screen->SetActiveControl(nullptr);
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      ShowingChanged();
      return;
    case WM_ACTIVATE: {
      const bool active = m.WParam != WA_INACTIVE;
      if (active == active_) return;
      active_ = active;
      if (active) {
        Screen->SetActiveForm(this);
        Activate();
        // A click that activates the window has already focused the clicked
        // control there: it keeps the keys rather than the one focused before.
        if (TWinControl* clicked = ToolkitFocusedControl()) activeControl_ = clicked;
        FocusFirst();
      } else {
        Deactivate();
      }
      return;
    }
    case WM_CLOSE:
      Close();
      return;
    case CM_DIALOGKEY: {
      const WORD key = WORD(m.WParam);
      const TShiftState shift = TShiftState::FromBits(uint64_t(m.LParam));
      if (key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
        SelectNext(activeControl_, !shift.Contains(ssShift), true);
        m.Result = 1;
        return;
      }
      if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
        if (activeControl_) {
          if (TWinControl* p = activeControl_->Parent())
            p->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
        }
        m.Result = 1;
        return;
      }
      TWinControl::Dispatch(m);
      return;
    }
    default:
      TWinControl::Dispatch(m);
  }
}

// ---- Hint window -------------------------------------------------------------

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  InitVisible(false);
  SetColor(clInfoBk);
  Canvas()->Font()->SetColor(clInfoText);
}

void THintWindow::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
  TRect r = Rect(0, 0, maxWidth, 0);
  DrawText(Canvas(), hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
  SetCaption(hint);
  SetBoundsRect(rect);
  Show();
  RaiseWindow(WindowWidget(*this));
  Invalidate();
}

void THintWindow::ReleaseHint() { Hide(); }

void THintWindow::PaintContent() {
  // The black frame is WS_BORDER's.
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  r.Left += 2;
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(clInfoText);
  DrawText(c, Caption(), r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// ---- TScreen -------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}
TScreen::~TScreen() = default;

namespace {
QScreen* Primary() {
  return QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
}
}  // namespace

int TScreen::Width() const { return Primary() ? Primary()->geometry().width() : 1024; }
int TScreen::Height() const { return Primary() ? Primary()->geometry().height() : 768; }
TRect TScreen::DesktopRect() const {
  return Primary() ? FromQRect(Primary()->virtualGeometry()) : Rect(0, 0, 1024, 768);
}
TRect TScreen::WorkAreaRect() const {
  return Primary() ? FromQRect(Primary()->availableGeometry()) : Rect(0, 0, 1024, 768);
}
int TScreen::PixelsPerInch() const {
  return Primary() ? int(Primary()->logicalDotsPerInch() + 0.5) : 96;
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  const bool had = cursor_ != crDefault;
  cursor_ = cursor;
  if (!QGuiApplication::instance()) return;
  if (cursor == crDefault) {
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    return;
  }
  QCursor shape;
  switch (cursor) {
    case crHourGlass:
    case crSQLWait: shape = QCursor(Qt::WaitCursor); break;
    case crAppStart: shape = QCursor(Qt::BusyCursor); break;
    case crCross: shape = QCursor(Qt::CrossCursor); break;
    case crIBeam: shape = QCursor(Qt::IBeamCursor); break;
    case crHandPoint: shape = QCursor(Qt::PointingHandCursor); break;
    case crNo: shape = QCursor(Qt::ForbiddenCursor); break;
    default: shape = QCursor(Qt::ArrowCursor); break;
  }
  if (had) QGuiApplication::changeOverrideCursor(shape);
  else QGuiApplication::setOverrideCursor(shape);
}

TStrings* TScreen::Fonts() {
  if (!fonts_) {
    fonts_ = std::make_unique<TStringList>();
    if (QGuiApplication::instance())
      for (const QString& family : QFontDatabase::families()) fonts_->Add(FromQString(family));
    fonts_->SetSorted(true);
  }
  return fonts_.get();
}

TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= FormCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return forms_[size_t(index)];
}

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  std::erase(forms_, form);
  if (activeForm_ == form) SetActiveForm(nullptr);
  if (activeControl_ && ::GetParentForm(activeControl_) == form) SetActiveControl(nullptr);
}

void TScreen::SetActiveForm(TCustomForm* form) {
  if (form == activeForm_) return;
  activeForm_ = form;
  if (form) {
    // The active form moves to the front of the list, as the z-order does.
    std::erase(forms_, form);
    forms_.insert(forms_.begin(), form);
  }
  if (OnActiveFormChange) OnActiveFormChange(this);
}

void TScreen::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  activeControl_ = control;
  if (OnActiveControlChange) OnActiveControlChange(this);
}

// ---- TApplication ----------------------------------------------------------------

struct TApplication::Impl {
  bool initialized = false;
  std::unique_ptr<QTimer> showTimer;
  std::unique_ptr<QTimer> hideTimer;
  std::unique_ptr<THintWindow> hintWindow;
  TControl* hintControl = nullptr;
  TPoint hintPos;
  bool hintShown = false;
  THookList<TApplicationHook> hooks;
};

struct ApplicationAccess {
  static void MouseMoved(TControl* c, TPoint p) {
    if (Application) Application->HintMouseMove(c, p);
  }
  static void Activated(TWinControl*, bool active) {
    if (!Application) return;
    if (active) {
      Application->SetActive(true);
      return;
    }
    // Another window of ours may be taking over; decide once events settle.
    QTimer::singleShot(0, [] {
      if (Application && !QApplication::activeWindow()) Application->SetActive(false);
    });
  }
};

TApplication::TApplication(TComponent* AOwner)
    : TComponent(AOwner), impl_(std::make_unique<Impl>()), icon_(std::make_unique<TIcon>()) {
  // The program's icon is the default icon of its windows.
  icon_->OnChange = [this](TObject*) {
    if (QGuiApplication::instance() && !icon_->Empty())
      QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(IconImage(*icon_))));
  };
  // Settings that could not be saved when no caller could be told: the user is.
  regstore::SetSaveFailureHandler([](const std::string& message) {
    if (Application)
      Application->ShowException(Exception(message));
    else
      std::fprintf(stderr, "%s\n", message.c_str());
  });
}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  static int argc = 1;
  static char name[] = "vantrel";
  static char* argv[] = {name, nullptr};
  Initialize(argc, argv);
}

namespace vantrel::qt {

DisplayEnvironment CurrentDisplayEnvironment() {
  auto var = [](const char* name) { return qEnvironmentVariable(name).toStdString(); };
  const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
  return {var("QT_QPA_PLATFORM"), var("WAYLAND_DISPLAY"), var("XDG_SESSION_TYPE"), var("DISPLAY"),
          QFileInfo::exists(plugins + "/platforms/libqxcb.so")};
}

bool PreferX11(const DisplayEnvironment& env) {
  const bool wayland = !env.waylandDisplay.empty() || env.sessionType == "wayland";
  return env.qpaPlatform.empty() && wayland && !env.x11Display.empty() && env.x11PluginInstalled;
}

}  // namespace vantrel::qt

void TApplication::Initialize(int& argc, char** argv) {
  if (impl_->initialized) return;
  if (!QCoreApplication::instance()) {
    if (PreferX11(CurrentDisplayEnvironment())) qputenv("QT_QPA_PLATFORM", "xcb");
    new QApplication(argc, argv);  // lives as long as the program
  }
  impl_->initialized = true;
  SetMessagePumpHook([] {
    if (Application) Application->ProcessMessages();
  });
  MouseMoveObserver = &ApplicationAccess::MouseMoved;
  ActivationObserver = &ApplicationAccess::Activated;
  impl_->showTimer = std::make_unique<QTimer>();
  impl_->showTimer->setSingleShot(true);
  QObject::connect(impl_->showTimer.get(), &QTimer::timeout, [this] {
    if (impl_->hintControl) {
      try {
        ShowHintFor(impl_->hintControl, impl_->hintPos);
      } catch (...) {
        HandleException(this, std::current_exception());
      }
    }
  });
  impl_->hideTimer = std::make_unique<QTimer>();
  impl_->hideTimer->setSingleShot(true);
  QObject::connect(impl_->hideTimer.get(), &QTimer::timeout, [this] { CancelHint(); });
}

void TApplication::AddCreatedForm(TComponent* instance) {
  if (auto* form = As<TCustomForm>(instance)) {
    if (!mainForm_) mainForm_ = form;
    form->DoCreate();
  }
}

void TApplication::Run() {
  Initialize();
  if (!mainForm_) return;
  mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  terminated_ = true;
  // Wakes a loop that waits for messages.
  if (QCoreApplication::instance()) QTimer::singleShot(0, [] {});
}

namespace {

// Asks every modal window to go; true when none was left running.
bool EndModalPass() {
  bool none = QThread::currentThread()->loopLevel() == 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible() && dialog->isModal())
      dialog->reject();  // a box without an Escape answer ignores a close
  }
  for (int i = 0; Screen && i < Screen->FormCount(); ++i)
    if (TCustomForm* form = Screen->Forms(i); form->Modal()) {
      form->Close();
      none = false;
    }
  return none;
}

// Runs `then` once no modal loop is left on the stack: each pass ends what
// is open and comes back after the loops have had their turn. A loop that is
// no window's (a drag, say) ends by itself; the wait between passes keeps
// the waiting from spinning meanwhile.
constexpr int kModalPassWaitMs = 10;

void EndModalWindowsThen(std::function<void()> then) {
  if (EndModalPass()) {
    then();
    return;
  }
  QTimer::singleShot(kModalPassWaitMs,
                     [then = std::move(then)]() mutable { EndModalWindowsThen(std::move(then)); });
}

}  // namespace

void TApplication::EndModalWindows(std::function<void()> then) {
  if (!QCoreApplication::instance()) {
    then();
    return;
  }
  EndModalWindowsThen(std::move(then));
}

void TApplication::ProcessMessages() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleMessage() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
}

void TApplication::SetTitle(const std::string& title) { title_ = title; }

std::string TApplication::ExeName() const {
  if (QCoreApplication::instance()) return FromQString(QCoreApplication::applicationFilePath());
  return FromQString(QFileInfo("/proc/self/exe").canonicalFilePath());
}

bool (*HelpViewerHandler)(const std::string&, WORD, int, const std::string&) = nullptr;

bool TApplication::HelpCommand(WORD command, int data) {
  bool callHelp = true;
  bool result = false;
  if (OnHelp) result = OnHelp(command, data, callHelp);
  if (!callHelp) return result;
  return HelpViewerHandler && HelpViewerHandler(helpFile_, command, data, "");
}

bool TApplication::HelpCommand(WORD command, const std::string& text) {
  bool callHelp = true;
  bool result = false;
  if (OnHelp) result = OnHelp(command, 0, callHelp);
  if (!callHelp) return result;
  return HelpViewerHandler && HelpViewerHandler(helpFile_, command, 0, text);
}

bool TApplication::HelpContext(int context) { return HelpCommand(HELP_CONTEXT, context); }

bool TApplication::HelpJump(const std::string& topic) {
  return HelpCommand(HELP_COMMAND, "JumpID(\"\",\"" + topic + "\")");
}

void TApplication::HandleException(TObject* sender, std::exception_ptr error) {
  if (!error) return;  // called outside a handler: nothing to report
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    // The silent exception.
  } catch (const Exception& e) {
    if (OnException) OnException(sender ? sender : this, e);
    else ShowException(e);
  } catch (const std::exception& e) {
    const Exception wrapped(e.what());
    if (OnException) OnException(sender ? sender : this, wrapped);
    else ShowException(wrapped);
  } catch (...) {
    const Exception wrapped("Unknown error");
    if (OnException) OnException(sender ? sender : this, wrapped);
    else ShowException(wrapped);
  }
}

void TApplication::ShowException(const Exception& e) {
  std::string text = e.Message();
  if (!text.empty() && text.back() > '.') text += '.';
  std::string caption = title_.empty() ? FromQString(QFileInfo(ToQString(ExeName())).baseName())
                                       : title_;
  if (MessageBoxHandler) {
    MessageBoxHandler(text, caption, MB_OK | MB_ICONERROR);
    return;
  }
  if (!QApplication::instance()) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  QMessageBox box(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok);
  box.exec();
}

int (*MessageBoxHandler)(const std::string&, const std::string&, UINT) = nullptr;
TModalResult (*ModalFormResponder)(TCustomForm&) = nullptr;

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  // Without the dialogs library linked in there is nothing that could ask.
  if (!MessageBoxHandler) throw EInvalidOperation("Message boxes are not available");
  return MessageBoxHandler(text, caption, flags);
}

void TApplication::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (OnHint) OnHint(this);
}

void TApplication::SetShowHint(bool value) {
  showHint_ = value;
  if (!value) CancelHint();
}

THintWindow* TApplication::HintWindow() const {
  return impl_->hintShown ? impl_->hintWindow.get() : nullptr;
}

void TApplication::CancelHint() {
  if (impl_->showTimer) impl_->showTimer->stop();
  if (impl_->hideTimer) impl_->hideTimer->stop();
  if (impl_->hintWindow) impl_->hintWindow->ReleaseHint();
  impl_->hintShown = false;
}

namespace {
std::string HintOf(TControl* c) {
  for (; c; c = c->Parent())
    if (!c->Hint().empty()) return c->Hint();
  return {};
}
}  // namespace

void TApplication::HintMouseMove(TControl* control, TPoint clientPos) {
  SetHint(GetLongHint(HintOf(control)));
  impl_->hintPos = clientPos;
  if (control == impl_->hintControl) return;
  const bool wasShown = impl_->hintShown;
  CancelHint();
  SetHintControl(control);
  if (!showHint_ || !control || !control->ShowHint() || HintOf(control).empty()) return;
  if (impl_->showTimer) impl_->showTimer->start(wasShown ? hintShortPause_ : hintPause_);
}

void TApplication::SetHintControl(TControl* control) {
  if (control == impl_->hintControl) return;
  if (impl_->hintControl) impl_->hintControl->RemoveFreeNotification(this);
  impl_->hintControl = control;
  if (control) control->FreeNotification(this);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == impl_->hintControl) {
    impl_->hintControl = nullptr;
    CancelHint();
  }
}

void TApplication::ActivateHint(TPoint cursorPos) {
  TControl* c = FindDragTarget(cursorPos, true);
  if (!c) return;
  SetHintControl(c);
  ShowHintFor(c, c->ScreenToClient(cursorPos));
}

void TApplication::ShowHintFor(TControl* control, TPoint clientPos) {
  // Not over an open menu or list: it would cover their first items.
  if (QApplication::activePopupWidget()) return;
  THintInfo info;
  info.HintControl = control;
  info.CursorPos = clientPos;
  info.CursorRect = control->ClientRect();
  const TPoint screen = control->ClientToScreen(clientPos);
  info.HintPos = {screen.x, screen.y + 20};
  info.HintMaxWidth = Screen->Width();
  info.HintColor = hintColor_;
  info.HintStr = GetShortHint(HintOf(control));
  info.HideTimeout = hintHidePause_;
  if (control->Perform(CM_HINTSHOW, 0, LPARAM(&info)) != 0 || info.HintStr.empty()) return;
  if (!impl_->hintWindow) impl_->hintWindow = std::make_unique<THintWindow>(nullptr);
  THintWindow* w = impl_->hintWindow.get();
  w->SetColor(info.HintColor);
  TRect r = w->CalcHintRect(info.HintMaxWidth, info.HintStr);
  OffsetRect(r, info.HintPos.x, info.HintPos.y);
  // Keep the hint on the screen.
  const TRect area = Screen->WorkAreaRect();
  if (r.Right > area.Right) OffsetRect(r, area.Right - r.Right, 0);
  if (r.Bottom > area.Bottom) OffsetRect(r, 0, area.Bottom - r.Bottom);
  if (r.Left < area.Left) OffsetRect(r, area.Left - r.Left, 0);
  if (r.Top < area.Top) OffsetRect(r, 0, area.Top - r.Top);
  w->ActivateHint(r, info.HintStr);
  impl_->hintShown = true;
  if (impl_->hideTimer && info.HideTimeout > 0) impl_->hideTimer->start(info.HideTimeout);
}

void TApplication::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  TMessage m{UINT(active ? CM_ACTIVATE : CM_DEACTIVATE), 0, 0, 0};
  CallMainWindowHooks(m);
  if (!active) {
    CancelMouseMode();
    CancelHint();
  }
  if (active && OnActivate) OnActivate(this);
  if (!active && OnDeactivate) OnDeactivate(this);
}

void TApplication::Minimize() {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (QWidget* w = WindowWidget(*Screen->Forms(i)); w && w->isVisible()) w->showMinimized();
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (QWidget* w = WindowWidget(*Screen->Forms(i)); w && w->isMinimized()) w->showNormal();
  if (OnRestore) OnRestore(this);
}

void TApplication::BringToFront() {
  if (!mainForm_) return;
  if (QWidget* w = WindowWidget(*mainForm_)) {
    RaiseWindow(w);
    w->activateWindow();
  }
}

int TApplication::HookMainWindow(TApplicationHook hook) { return impl_->hooks.Add(std::move(hook)); }

void TApplication::UnhookMainWindow(int id) { impl_->hooks.Remove(id); }

bool TApplication::CallMainWindowHooks(TMessage& message) {
  return impl_->hooks.AnyHandles(message);
}
