#pragma once
// Internal to the window controls' .cpp files: the Qt widgets under a window
// control, the state the input paths share, and ControlAccess, the backend's
// way into the control classes. It is the one header of ours that includes
// Qt's own (the widgets are subclassed here); nothing outside the controls
// library may include it.

#include <QDragEnterEvent>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <unordered_map>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/graphics/qtbridge.h"

class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class QScrollBar;

namespace vantrel::controlsimpl {

using namespace vantrel::qt;  // the bridge to Qt painters and rectangles

extern TControl* g_capture;       // control holding the mouse
extern TControl* g_mouseControl;  // control the mouse is over
extern TControl* g_dragControl;   // control being dragged
extern TControl* g_dragTarget;
extern QPointer<QWidget> g_cursorWidget;  // the window WM_SETCURSOR is asking about
extern QPointer<QWidget> g_heldScrollBar;  // a window's scroll bar the left button is down on

// While a control is dragged the screen shows its DragCursor over a target
// that takes it, crNoDrop elsewhere; the cursor before the drag comes back
// when it ends (the source freed included).
void ShowDragCursor(const TControl* source, bool accepted);
void EndDragCursor();

// Live windows with a serial number, so that a posted message never reaches
// a window that was freed (or a new one at the same address).
std::unordered_map<const TWinControl*, uint64_t>& LiveWindows();
extern uint64_t g_nextSerial;

// The control when it still exists and `window` is still its window (widgets
// being torn down must not reach a control or a window half destroyed).
TWinControl* LiveControl(TWinControl* control, const QWidget* window);

// Qt's input in the class library's terms.
TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton);
WPARAM KeysOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons);
WORD VirtualKeyOf(const QKeyEvent* e);
Qt::CursorShape ShapeOf(TCursor c);
UINT MouseMsgFor(QEvent::Type type, Qt::MouseButton b);
// The mouse message of a Qt mouse event at `pos` (client coordinates).
TMessage MouseMessage(const QMouseEvent* me, QPoint pos);

using vantrel::qt::Guarded;

// A window that never takes activation: a tool tip-type frameless window,
// shown without activating, keeps the form under it active on X11 and
// offscreen alike (tool windows get activated even when asked not to be).
constexpr Qt::WindowFlags kNoActivateFlags =
    Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;

class VClient;
constexpr int kScrollBarSize = 16;  // the classic scroll bar width

// The whole window: paints the non-client margins and takes mouse input there.
class VWindow : public QWidget {
 public:
  VWindow(TWinControl* c, QWidget* parent, Qt::WindowFlags flags)
      : QWidget(parent, flags), control(c) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  TWinControl* control;
  VClient* client = nullptr;
  bool acceptFiles = false;

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (acceptFiles && e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override;
};

// The client area: paints the control and its graphic children, takes mouse,
// keyboard and focus.
class VClient : public QWidget {
 public:
  VClient(TWinControl* c, QWidget* parent) : QWidget(parent), control(c) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
  }
  TWinControl* control;

 protected:
  void paintEvent(QPaintEvent* e) override;  // controlpaint.cpp
  bool event(QEvent* e) override;
};

}  // namespace vantrel::controlsimpl

// Friend of the control classes: the backend's way in.
struct ControlAccess {
  static void MouseInput(TWinControl* w, TMessage& m);
  static void KeyInput(TWinControl* w, QKeyEvent* e);
  static void KeyRelease(TWinControl* w, QKeyEvent* e);
  static bool DoKeyDown(TWinControl* w, WORD& key, TShiftState shift);
  static bool DoKeyPress(TWinControl* w, char32_t& ch);
  // The parts of TWinControl::Dispatch, each true when it handled the message:
  // painting (WM_PAINT, WM_ERASEBKGND), the frame (WM_NC*), property changes (CM_*CHANGED).
  static bool PaintMessage(TWinControl* w, TMessage& m);
  static bool NonClientMessage(TWinControl* w, TMessage& m);
  static bool ChangeMessage(TWinControl* w, TMessage& m);
  // CN_KEYDOWN / CN_KEYUP: shortcuts, key preview, the control, dialog keys.
  static void KeyDownMessage(TWinControl* w, TMessage& m);
  static void KeyUpMessage(TWinControl* w, TMessage& m);
  static void SetMouseControl(TControl* c);
  static TRect& Margins(TWinControl* w) { return w->ncMargins_; }
  static void SyncFromWidget(TWinControl* w, const QRect& g);
  static void DragOverTo(TControl* t, TControl* source, TPoint p, TDragState st, bool& accept) {
    t->DragOver(source, p.x, p.y, st, accept);
  }
  static void DragDropTo(TControl* t, TControl* source, TPoint p) { t->DragDrop(source, p.x, p.y); }
  static QScrollBar* CreateScrollBar(TWinControl* control, int which);
  static bool NativeKey(TWinControl* w, QWidget* native, QKeyEvent* e);
  static void LayoutScrollBars(TWinControl* control) { control->LayoutScrollBars(); }
  // The frame the base class draws for the window's style bits.
  struct Frame {
    bool border = false;
    bool clientEdge = false;
    int Width() const;
    void Paint(TCanvas* dc, TRect r) const;
  };
  static Frame StyleFrame(TWinControl* w);
  // The overlay of a shown window for drawing outside paint, made on first use.
  static QImage* Overlay(TWinControl* w, TCanvas* canvas);
  static void DropOverlay(TWinControl* w);
  // Where a window with these parameters lives: under its parent's client
  // area, or top-level with the flags of its styles and owned by a window.
  struct Place {
    bool topLevel = false;
    QWidget* parentWidget = nullptr;
    Qt::WindowFlags flags = Qt::Widget;
  };
  static Place PlaceOf(TWinControl* w, const TCreateParams& params);
  // Moves an existing window to where its (new) parent wants it, keeping the
  // widgets and so their state (text, undo history, selection).
  static void Rehost(TWinControl* w);
  // Keeps a hosted edit's text and selection across a re-creation.
  static void SaveHostedEdit(TWinControl* w);
  static void RestoreHostedEdit(TWinControl* w, QWidget* native);
};

struct TWinControl::Backend {
  vantrel::controlsimpl::VWindow* window = nullptr;
  vantrel::controlsimpl::VClient* client = nullptr;
  bool acceptFiles = false;
  bool topLevel = false;      // the window is a top-level one (form, popup)
  struct Bar {
    int min = 0, max = 0;
    UINT page = 0;
    int pos = 0, track = 0;
    bool hidden = false;           // hidden by ShowScrollBar until the next range
    bool pinned = false;           // shown by ShowScrollBar even with an empty range
    bool disableNoScroll = false;  // shown (disabled) while the range is empty
    QScrollBar* widget = nullptr;
    bool Visible() const {
      const bool hasRange = page == 0 ? max > min : int(page) <= max - min;
      return !hidden && (pinned || disableNoScroll || hasRange);
    }
    bool Enabled() const { return page == 0 ? max > min : int(page) <= max - min; }
  };
  Bar bars[2];                // SB_HORZ, SB_VERT
  bool syncing = false;       // geometry is being copied between control and widget
  bool rehosting = false;     // SetParent moves the window: keep it
  bool recreatePending = false;  // CM_RECREATEWND posted
  struct SavedEdit {
    QString text;
    int anchor = 0, position = 0;  // the selection, from where it began to the cursor
    bool valid = false;
  } savedEdit;
  QRegion validated;          // ValidateRect since the last paint: not painted again
  // What the control drew outside a paint cycle (a sizing line, a focus
  // rectangle), on a copy of its looks; shown instead of painting until the
  // control is invalidated or resized.
  std::unique_ptr<QImage> overlay;
  TCanvas* overlayCanvas = nullptr;  // the canvas drawing on it
  DWORD style = 0, exStyle = 0;  // as created, or as SetWindowLong changed them
};
