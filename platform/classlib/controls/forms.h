#pragma once
// Forms, the application object, the screen and hint windows.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/images.h"
#include "platform/win32/msgbox.h"

DECLARE_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly,
             poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter)
DECLARE_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)
DECLARE_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                       mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9,
                       mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
// Sees a key before the form's menus and its focused control; Handled stops it there.
using TShortCutEvent = std::function<void(WORD& Key, TShiftState Shift, bool& Handled)>;

class TCustomForm : public TWinControl {
  DECLARE_CLASS(TCustomForm, TWinControl)
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState value);
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle value);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(const TIcon* icon) { icon_->Assign(icon); }

  // The control that has (or gets, when the form is activated) the focus.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  void FocusControl(TWinControl* control);
  // Moves the focus record to `control`, firing exit and enter events along
  // the chain of parents that differ.
  void SetFocusedControl(TWinControl* control);
  bool Active() const { return active_; }

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  bool Modal() const { return modalLevel_ > 0; }

  void Show();
  void Hide();
  // Shows the form and runs the event loop until ModalResult is set (and the
  // close is allowed); returns ModalResult.
  virtual TModalResult ShowModal();
  // Asks (CloseQuery), then closes with the action OnClose chooses: hide
  // (default), free, minimise or nothing. Closing the main form ends the program.
  void Close();
  // Frees the form once the events being handled are over.
  void Release();
  virtual bool CloseQuery();
  // Fires OnCreate (once); the application calls it after creating a form.
  void DoCreate();

  // Menus and actions see a key before the focused control; the first that handles it wins.
  using TShortCutHook = std::function<bool(WORD& Key, TShiftState Shift)>;
  int AddShortCutHook(TShortCutHook hook);   // returns an id
  void RemoveShortCutHook(int id);           // safe from inside a hook
  virtual bool IsShortCut(WORD& Key, TShiftState Shift); // OnShortCut event, then hooks in order
  // The same for released keys, before the focused control (a drag watching a
  // modifier key hooks both).
  int AddKeyUpHook(TShortCutHook hook);
  void RemoveKeyUpHook(int id);
  bool KeyUpHandled(WORD& Key, TShiftState Shift) { return keyUpHooks_.AnyHandles(Key, Shift); }

  void Dispatch(TMessage& message) override;
  // The form also writes the components it owns that have no parent (timers...).
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnDestroy;
  TShortCutEvent OnShortCut;

 protected:
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  void FillCreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void PlaceOnScreen();

 private:
  void CloseModal();
  void ApplyWindowState();
  void ShowingChanged();
  void ApplyIcon();
  // Drops the focus records of a control that leaves the form.
  void ForgetControl(TControl* control);
  void FocusFirst();
  // The control of this form that the toolkit last focused in its window.
  TWinControl* ToolkitFocusedControl() const;

  TFormBorderStyle borderStyle_ = bsSizeable;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TFormStyle formStyle_ = fsNormal;
  bool keyPreview_ = false;
  std::unique_ptr<TIcon> icon_;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool active_ = false;
  TModalResult modalResult_ = mrNone;
  int modalLevel_ = 0;
  bool created_ = false;
  bool placed_ = false;
  bool releasing_ = false;
  bool releaseAfterModal_ = false;  // released while its modal loop ran
  THookList<TShortCutHook> shortCutHooks_, keyUpHooks_;
  friend class TScreen;
  friend class TApplication;
  friend class TWinControl;
};

class TForm : public TCustomForm {
  DECLARE_CLASS(TForm, TCustomForm)
 public:
  explicit TForm(TComponent* AOwner);
};

// The form a control lies on (the top one).
TCustomForm* GetParentForm(const TControl* control);

// What CM_HINTSHOW carries (LParam): the control may change it, or answer
// non-zero to show no hint.
struct THintInfo {
  TControl* HintControl = nullptr;
  TPoint HintPos;        // screen
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;      // client coordinates of HintControl
  TPoint CursorPos;      // client coordinates of HintControl
  std::string HintStr;
  int ReshowTimeout = 0;
  int HideTimeout = 0;
};

// The part of a hint before "|" (shown in the hint window) and after it
// (shown in status bars); without "|" both are the whole text.
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);

class THintWindow : public TCustomControl {
  DECLARE_CLASS(THintWindow, TCustomControl)
 public:
  explicit THintWindow(TComponent* AOwner);
  // Screen rectangle of the window and its text.
  virtual void ActivateHint(TRect rect, const std::string& hint);
  virtual TRect CalcHintRect(int maxWidth, const std::string& hint);
  void ReleaseHint();

 protected:
  void PaintContent() override;
  void FillCreateParams(TCreateParams& params) override;
};

class TScreen : public TComponent {
  DECLARE_CLASS(TScreen, TComponent)
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  int Width() const;
  int Height() const;
  TRect DesktopRect() const;
  TRect WorkAreaRect() const;
  int WorkAreaLeft() const { return WorkAreaRect().Left; }
  int WorkAreaTop() const { return WorkAreaRect().Top; }
  int WorkAreaWidth() const { return WorkAreaRect().Width(); }
  int WorkAreaHeight() const { return WorkAreaRect().Height(); }
  int PixelsPerInch() const;

  // The cursor shown everywhere while it is not crDefault (hourglass while busy).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The cursor handle of a cursor number (the standard cursors are their own handles).
  TCursor Cursors(TCursor index) const { return index; }
  TStrings* Fonts();

  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeControl_; }
  int FormCount() const { return int(forms_.size()); }
  TCustomForm* Forms(int index) const;

  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

 private:
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);
  void SetActiveControl(TWinControl* control);

  TCursor cursor_ = crDefault;
  std::unique_ptr<TStringList> fonts_;
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  friend class TCustomForm;
  friend class TApplication;
};

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
using THelpEvent = std::function<bool(WORD Command, int Data, bool& CallHelp)>;
// A hook on the application's main window: true when it handled the message.
using TApplicationHook = std::function<bool(TMessage& Message)>;

// Help commands.
constexpr WORD HELP_CONTEXT = 0x1, HELP_QUIT = 0x2, HELP_INDEX = 0x3, HELP_CONTENTS = 0x3,
               HELP_HELPONHELP = 0x4, HELP_SETINDEX = 0x5, HELP_KEY = 0x101,
               HELP_COMMAND = 0x102, HELP_FINDER = 0xB;

class TApplication : public TComponent {
  DECLARE_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // Makes sure the window system is there (creates the Qt application when
  // the program has none yet) and installs the message pump. The program's
  // main passes its command line (window-system options are taken from it).
  void Initialize();
  void Initialize(int& argc, char** argv);
  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    AddCreatedForm(reference);
  }
  // Shows the main form and handles messages until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Ends every modal window (message boxes, dialogs, modal forms) as its
  // Close button does, then runs `then` from the outermost message loop, once
  // the code that opened them has had their answers. Windows opened while
  // unwinding are ended too.
  void EndModalWindows(std::function<void()> then);
  // Handles every waiting message, then returns.
  void ProcessMessages();
  // Waits for one message (or a batch arriving together) and handles it.
  void HandleMessage();

  TCustomForm* MainForm() const { return mainForm_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);
  std::string ExeName() const;
  TIcon* Icon() const { return icon_.get(); }
  bool Active() const { return active_; }

  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(const std::string& file) { helpFile_ = file; }
  // Asks OnHelp, then the help viewer; false when no help could be shown.
  bool HelpCommand(WORD command, int data);
  // The commands whose data is text: a macro (HELP_COMMAND) or a keyword (HELP_KEY).
  bool HelpCommand(WORD command, const std::string& text);
  bool HelpContext(int context);
  bool HelpJump(const std::string& topic);

  // Hands an exception that a message handler let escape to OnException, or
  // shows the default exception box (silent for EAbort).
  void HandleException(TObject* sender, std::exception_ptr error);
  // The same for the exception being handled (call it inside a catch block).
  void HandleException(TObject* sender) { HandleException(sender, std::current_exception()); }
  void ShowException(const Exception& e);
  // A message box with MB_ flags (buttons, icon, default button); answers
  // the ID of the button chosen. Shown by the dialogs library.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor c) { hintColor_ = c; }
  int HintPause() const { return hintPause_; }
  void SetHintPause(int ms) { hintPause_ = ms; }
  int HintShortPause() const { return hintShortPause_; }
  void SetHintShortPause(int ms) { hintShortPause_ = ms; }
  int HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int ms) { hintHidePause_ = ms; }
  void CancelHint();
  // Shows the hint of the control under a screen point now.
  void ActivateHint(TPoint cursorPos);
  // The hint window currently shown (nullptr when none).
  THintWindow* HintWindow() const;

  void Minimize();
  void Restore();
  void BringToFront();

  // Main-window hooks run in order of installation until one handles the
  // message (CM_ACTIVATE / CM_DEACTIVATE among others). Removal is safe
  // from inside a hook and in any order.
  int HookMainWindow(TApplicationHook hook);
  void UnhookMainWindow(int id);
  // Sends a message to the hooks; true when one handled it.
  bool CallMainWindowHooks(TMessage& message);

  TExceptionEvent OnException;
  THelpEvent OnHelp;
  TNotifyEvent OnHint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

  struct Impl;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void SetHintControl(TControl* control);
  void AddCreatedForm(TComponent* instance);
  void SetActive(bool active);
  void HintMouseMove(TControl* control, TPoint clientPos);
  void ShowHintFor(TControl* control, TPoint clientPos);

  std::unique_ptr<Impl> impl_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool active_ = false;
  std::string title_;
  std::string helpFile_;
  std::string hint_;
  bool showHint_ = true;
  TColor hintColor_ = clInfoBk;
  int hintPause_ = 500;
  int hintShortPause_ = 50;
  int hintHidePause_ = 2500;
  std::unique_ptr<TIcon> icon_;
  friend struct ApplicationAccess;
  friend class TCustomForm;
};

// Tells every form (and so every control) that the system colours changed,
// after SetSysColor or when the desktop's palette changes.
void SysColorsChanged();

// Installed by the dialogs library: shows a message box (or hands it to the
// test responder) and answers the ID of the button chosen.
// (Plain pointers: set during static initialisation of another library.)
// Set by the dialogs library: shows help with the desktop's viewer (data for
// HELP_CONTEXT, text for HELP_COMMAND and HELP_KEY); false when it could not,
// after telling the user why.
extern bool (*HelpViewerHandler)(const std::string& helpFile, WORD command, int data,
                                 const std::string& text);
extern int (*MessageBoxHandler)(const std::string& text, const std::string& caption, UINT flags);
// Installed by the dialogs library while a test responder is set: called from
// the event loop once a form's modal pass runs; a result other than mrNone
// ends the pass with it.
extern TModalResult (*ModalFormResponder)(TCustomForm& form);

// The program's application and screen objects (created at start-up).
extern TApplication* Application;
extern TScreen* Screen;
