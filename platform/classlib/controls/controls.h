#pragma once
// The visual control model: TControl (position, alignment, visibility,
// colour and font with parent inheritance, mouse and click events, messages),
// TWinControl (a window: children, tab order, focus, keys, non-client margins
// the control paints itself, window hooks), TCustomControl (a window that
// paints itself on its canvas) and TGraphicControl (windowless: painted and
// hit-tested by its parent).
//
// Messages: every control answers TMessage records. Perform sends one through
// WindowProc (which runs the window hooks, then WndProc). WndProc does the
// common work and calls Dispatch, which a class overrides to handle its own
// messages ("message methods") and passes the rest to its parent class's
// Dispatch; what nobody handles ends in DefaultHandler.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/controls/hooklist.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/graphics/graphics.h"

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;

// A window handle is the window control itself.
using HWND = TWinControl*;
using HPALETTE = void*;

DECLARE_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient)

DECLARE_ENUM(TDragMode, dmManual, dmAutomatic)
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
DECLARE_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow,
             bsSizeToolWin)
// Controls use the first two border styles.
using TBorderStyle = TFormBorderStyle;

enum TControlStyleFlag {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed,
  csSetCaption, csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible,
  csReplicatable, csNoStdEvents, csDisplayDragImage, csReflector, csMenuEvents
};
using TControlStyle = TSet<TControlStyleFlag>;
enum TControlStateFlag {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing,
  csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle
};
using TControlState = TSet<TControlStateFlag>;

// Cursors: the standard ones are negative, 0 is the control's default.
using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                  crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
                  crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17,
                  crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22, crSize = crSizeAll;
// The cursor identifiers ("crHandPoint") of a published cursor property: form
// definitions write them and read them as the numbers they name.
const TIdentMap& CursorIdents();
#define PROP_CURSOR(Name, Getter, Setter, Def) PROP_INT(Name, Getter, Setter, Def).Idents(CursorIdents())

using TWndMethod = std::function<void(TMessage&)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                       int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y,
                                          TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender)>;

// Size limits of a control (0 = none); forms use the minimum as their minimum
// tracking size.
struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};

class TControl : public TComponent {
  DECLARE_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // ---- Parent and geometry (in the parent's client coordinates) ----
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  virtual TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  // Screen position of the client area's top-left.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  TSizeConstraints& Constraints() { return constraints_; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);

  // ---- State ----
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show();
  void Hide();
  // Visible and every parent visible (for forms: on the screen).
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
  TControlState ControlState() const { return controlState_; }

  // ---- Looks ----
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  // Caption and Text are the same string.
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& value) { SetText(value); }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  // The control lets go of a menu that is freed (free-notification). The
  // menu is passed again as a component by the template, which is compiled
  // where the menu's class is known.
  template <class Menu>
  void SetPopupMenu(Menu* menu) { SetPopupMenu(menu, menu); }
  void SetPopupMenu(std::nullptr_t) { SetPopupMenu(nullptr, nullptr); }
  void SetPopupMenu(TPopupMenu* menu, TComponent* asComponent);
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode mode) { dragMode_ = mode; }
  // The cursor a drag of this control shows over a target that takes it.
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor value) { dragCursor_ = value; }

  // ---- Painting and z-order ----
  virtual void Invalidate();
  // Paints what is invalid now.
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  // Graphic controls always lie below the windows of the same parent.
  virtual void SetZOrder(bool toFront);

  // ---- Messages ----
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  void Perform(TMessage& message) { WindowProc(message); }
  // Replaceable entry of every message (the class library's WindowProc property).
  TWndMethod WindowProc;
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  // ---- Mouse and dragging ----
  bool MouseCapture() const;
  void SetMouseCapture(bool value);
  void BeginDrag(bool immediate);
  void EndDrag(bool drop);
  bool Dragging() const;

  // The top form this control lies on (nullptr when none).
  TCustomForm* GetParentForm() const;

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnResize;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TStartDragEvent OnStartDrag;
  TEndDragEvent OnEndDrag;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // "Dynamic" notifications the class library's descendants override.
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Resize();
  // Raise to refuse a change of visibility.
  virtual void VisibleChanging() {}
  // The palette the control draws with (true-colour devices need none).
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DoEndDrag(TObject* Target, int X, int Y);
  virtual void DoStartDrag();
  // Called after the bounds changed (windows also get WM_MOVE / WM_SIZE).
  virtual void BoundsChanged(bool moved, bool resized);
  // Where the popup menu asked for from the keyboard opens (client
  // coordinates): the client area's top-left; a control with a caret, a
  // current cell or a selected item answers the place of that.
  virtual TPoint KeyboardPopupPoint() const { return {0, 0}; }
  // Asked for a context menu (a right click, Shift+F10, the Menu key) that no
  // popup menu of the control took: a control with a menu of its own, as the
  // window system's text controls have their edit menu, shows it at the
  // screen point and returns true; false hands the request to the parent.
  virtual bool ShowOwnContextMenu(TPoint screenPos) {
    (void)screenPos;
    return false;
  }
  // Asks the parent to realign when this control is aligned.
  void RequestAlign();
  // Keeps the min/max constraints.
  void ConstrainSize(int& w, int& h) const;
  void SetParentFontFromParent();
  void SetParentColorFromParent();
  void IncludeControlState(TControlStateFlag f) { controlState_.Include(f); }
  void ExcludeControlState(TControlStateFlag f) { controlState_.Exclude(f); }
  // Sets the initial visibility without messages (forms start hidden).
  void InitVisible(bool value) { visible_ = value; }
  // Expires when the control is destroyed. Code that runs an event handler
  // and goes on afterwards checks it: the handler may have freed the control.
  std::weak_ptr<void> Lifetime() const { return lifetime_; }

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

 private:
  void HandleMouseMessage(TMessage& m);
  // WM_CONTEXTMENU: the control's popup menu, else its own menu, else its
  // parent's.
  void ContextMenu(TMessage& m);
  void FontChanged();

  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::unique_ptr<TFont> font_;
  TColor color_ = clWindow;
  bool parentFont_ = true;
  bool parentColor_ = true;
  std::string text_;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  TComponent* popupMenuComponent_ = nullptr;
  TDragMode dragMode_ = dmManual;
  TCursor dragCursor_ = crDrag;
  TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState controlState_;
  TSizeConstraints constraints_;
  bool updatingFont_ = false;
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  uint64_t creationOrder_;  // controls aligned side by side stand in this order

  friend class TWinControl;
  friend struct ControlAccess;
};

// Creation parameters of a window (the few style bits the system sets).
constexpr DWORD WS_HSCROLL = 0x00100000, WS_VSCROLL = 0x00200000;
constexpr DWORD WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                WS_DISABLED = 0x08000000, WS_CLIPSIBLINGS = 0x04000000,
                WS_CLIPCHILDREN = 0x02000000, WS_CAPTION = 0x00C00000,
                WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000, WS_THICKFRAME = 0x00040000,
                WS_SYSMENU = 0x00080000, WS_MINIMIZEBOX = 0x00020000,
                WS_MAXIMIZEBOX = 0x00010000;
// WS_EX_NOACTIVATE: a top-level window (pop-up list, hint, drag outline) that
// never takes activation or the keyboard from the form under it; clicks
// still reach it.
constexpr DWORD WS_EX_TOPMOST = 0x8, WS_EX_ACCEPTFILES = 0x10, WS_EX_TOOLWINDOW = 0x80,
                WS_EX_CLIENTEDGE = 0x200, WS_EX_NOACTIVATE = 0x08000000;
constexpr DWORD CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_DBLCLKS = 0x8;
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  DWORD WindowClassStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
};

// A window hook sees a message before the window does; it passes it on by
// calling `next` (or swallows it by not calling it). The newest hook runs first.
using TWindowHookProc = std::function<void(TMessage& message, const TWndMethod& next)>;

class TWinControl : public TControl {
  DECLARE_CLASS(TWinControl, TControl)
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // ---- Children (graphic controls first, then windows, each in z-order) ----
  int ControlCount() const { return int(controls_.size() + winControls_.size()); }
  TControl* Controls(int index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(const TControl* control) const;
  // The topmost child under a client point; graphic controls only unless asked.
  TControl* ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls = false) const;
  void Broadcast(TMessage& message);
  // Tells every child (recursively) the news, e.g. CM_SYSCOLORCHANGE.
  void NotifyControls(UINT Msg);

  // ---- Alignment ----
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const { return alignLevel_ > 0; }
  void Realign();

  // ---- Tab order and focus ----
  int TabOrder() const;
  void SetTabOrder(int value);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                               bool checkParent) const;
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  // ---- The window ----
  HWND Handle();
  bool HandleAllocated() const;
  void HandleNeeded();
  void RecreateWnd();
  // Widths of the non-client margins (left, top, right, bottom) from WM_NCCALCSIZE.
  TRect NonClientMargins() const { return ncMargins_; }
  // Asks WM_NCCALCSIZE again and repaints the frame (SWP_FRAMECHANGED).
  void FrameChanged();
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  bool Showing() const override;
  // Draws the control and its children as they look now.
  void PaintTo(TCanvas* canvas, int x, int y);
  void Invalidate() override;
  void InvalidateRect(const TRect& r);
  void Update() override;

  // ---- Window hooks ----
  int AddWindowHook(TWindowHookProc proc);
  // False when no hook has that id (already removed).
  bool RemoveWindowHook(int id);
  int WindowHookCount() const;

  // Streaming: the child controls this window writes (those owned by root).
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void Loaded() override;

  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool v) { doubleBuffered_ = v; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

  void WndProc(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  struct Backend;
  Backend* backend() const { return backend_.get(); }

 protected:
  // The class library's AlignControls: places aligned children in `rect`.
  virtual void ArrangeChildren(TControl* AControl, TRect& rect);
  // True while `control` is one of this window's own children. It compares
  // addresses only, so it may be asked about a control that was freed.
  bool HasChild(const TControl* control) const;
  virtual void AdjustClientRect(TRect& rect) { (void)rect; }
  virtual void FillCreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Paints the window: background, PaintWindow, then the graphic children.
  virtual void PaintHandler(TCanvas* canvas, const TRect& updateRect);
  virtual void PaintWindow(TCanvas* canvas) { (void)canvas; }
  void PaintControls(TCanvas* canvas, const TRect& updateRect);
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  virtual void KeyUp(WORD& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  virtual void DoEnter();
  virtual void DoExit();
  void BoundsChanged(bool moved, bool resized) override;
  // Applies the visibility/enabled state to the window.
  void UpdateShowing();

 private:
  void AlignControl(TControl* AControl);
  void InsertTab(TWinControl* c);
  void SyncWindowGeometry();
  void LayoutScrollBars();
  void ComputeNonClient();
  void DestroyHandleTree();
  void CreateHandleTree();
  void RunHooks(TMessage& message);

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> winControls_;
  std::vector<TWinControl*> tabList_;
  int alignLevel_ = 0;
  int pendingTabOrder_ = -1;  // read from a stream, applied when the parent is loaded
  bool tabStop_ = false;
  bool doubleBuffered_ = false;
  TRect ncMargins_;
  THookList<TWindowHookProc> hooks_;
  std::unique_ptr<Backend> backend_;

  friend class TControl;
  friend struct ControlAccess;
};

// The canvas of a control: draws on its window while it paints.
class TControlCanvas : public TCanvas {
  DECLARE_CLASS(TControlCanvas, TCanvas)
 public:
  TControlCanvas() = default;
  ~TControlCanvas() override;
  TControl* Control() const { return control_; }
  void SetControl(TControl* control) { control_ = control; }

 protected:
  // Outside painting a shown window control's drawing appears on an overlay
  // of its looks until it is invalidated (sizing lines, focus rectangles
  // drawn during a drag); otherwise it goes to a scratch surface and is lost.
  void CreateHandle() override;
  void Changed() override;

 private:
  TControl* control_ = nullptr;
  std::unique_ptr<TBitmap> scratch_;
};

class TCustomControl : public TWinControl {
  DECLARE_CLASS(TCustomControl, TWinControl)
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  // Draws the client area on Canvas (the class library's Paint).
  virtual void PaintContent() {}
  void PaintWindow(TCanvas* canvas) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

class TGraphicControl : public TControl {
  DECLARE_CLASS(TGraphicControl, TControl)
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  void Dispatch(TMessage& message) override;

 protected:
  virtual void PaintContent() {}

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// ---- Window functions ------------------------------------------------------

// The style bits of a window (GWL_STYLE, GWL_EXSTYLE) as it was created or
// last changed; a change is told to the window with WM_STYLECHANGED (WParam
// the index, LParam a TStyleStruct*). Returns the previous value.
LONG GetWindowLong(HWND wnd, int index);
LONG SetWindowLong(HWND wnd, int index, LONG value);

// The scroll bars of a window (SB_HORZ, SB_VERT), kept beside its client
// area as window scroll bars are. A window created with WS_HSCROLL /
// WS_VSCROLL shows a bar while its range is not empty (or always with
// SIF_DISABLENOSCROLL); using a bar sends WM_HSCROLL / WM_VSCROLL and the
// window moves the thumb itself with SetScrollPos.
int SetScrollInfo(HWND wnd, int bar, const TScrollInfo& info, bool redraw);
bool GetScrollInfo(HWND wnd, int bar, TScrollInfo& info);
int SetScrollPos(HWND wnd, int bar, int pos, bool redraw);
int GetScrollPos(HWND wnd, int bar);
bool SetScrollRange(HWND wnd, int bar, int minPos, int maxPos, bool redraw);
bool GetScrollRange(HWND wnd, int bar, int& minPos, int& maxPos);
bool ShowScrollBar(HWND wnd, int bar, bool show);

LRESULT SendMessage(HWND wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Delivers later, from the event loop; dropped when the window is gone by then.
void PostMessage(HWND wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Moves, sizes, shows or hides a window and re-asks its frame (SWP_ flags).
void SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
void InvalidateRect(HWND wnd, const TRect* r, bool erase);
// Takes `r` (the client area when null) out of what the next paint paints.
void ValidateRect(HWND wnd, const TRect* r);
// Moves the painted pixels of `scroll` (the client area when null), within
// `clip`, by (dx, dy) and invalidates the strip uncovered, which `update`
// receives. SW_SCROLLCHILDREN moves the child windows too. The uncovered strip
// is always invalidated (SW_INVALIDATE and SW_ERASE are implied).
constexpr UINT SW_SCROLLCHILDREN = 0x1, SW_INVALIDATE = 0x2, SW_ERASE = 0x4;
constexpr int NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
int ScrollWindowEx(HWND wnd, int dx, int dy, const TRect* scroll, const TRect* clip,
                   TRect* update, UINT flags);
// ScrollWindowEx; without `scroll` the child windows move along.
bool ScrollWindow(HWND wnd, int dx, int dy, const TRect* scroll, const TRect* clip);
void UpdateWindow(HWND wnd);

// The control holding the mouse (nullptr when none).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
void ReleaseCapture();
// Tells the control holding the mouse to let it go (WM_CANCELMODE), as a
// modal window opening or the application losing activation does.
void CancelMouseMode();
// The window control under a screen point, and the control (graphic ones too)
// under it; disabled controls count when asked (drag-target search).
TWinControl* FindControlWindow(TPoint screenPos);
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);
// The control the mouse is over (what receives mouse enter/leave).
TControl* MouseControl();

// A modal mouse loop: captures the mouse for `control` and hands every mouse
// and key message of the application to `handler` (in `control`'s client
// coordinates) until the handler returns false or the capture ends.
void RunCaptureLoop(TControl* control, const std::function<bool(TMessage&)>& handler);

// Files dropped onto a window: WM_DROPFILES carries a TDropFiles* in WParam.
struct TDropFiles {
  std::vector<std::string> Files;
  TPoint Point;  // client coordinates of the drop
};
using HDROP = const TDropFiles*;
void DragAcceptFiles(HWND wnd, bool accept);
int DragQueryFileCount(HDROP drop);
std::string DragQueryFile(HDROP drop, int index);
TPoint DragQueryPoint(HDROP drop);
void DragFinish(HDROP drop);

// Hook the menus library installs to show a control's popup menu at a screen
// point; false when the menu does not open by itself (not AutoPopup).
extern std::function<bool(TPopupMenu* menu, TControl* control, TPoint screenPos)>
    PopupMenuHandler;
