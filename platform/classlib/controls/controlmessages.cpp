// Messages: how a control receives them and what it does by default.

#include "platform/classlib/controls/controlwidgets.h"

#include <QCoreApplication>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/drawing.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

void TControl::WndProc(TMessage& m) {
  if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_MBUTTONDBLCLK) {
    // A disabled control takes no mouse input.
    if (!enabled_) return;
    if (m.Msg != WM_MOUSEMOVE && dragMode_ == dmAutomatic && m.Msg == WM_LBUTTONDOWN) {
      BeginDrag(false);
    }
  }
  Dispatch(m);
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      HandleMouseMessage(m);
      return;
    case CM_HITTEST:
      m.Result = HTCLIENT;
      return;
    case WM_CONTEXTMENU:
      ContextMenu(m);
      return;
    case WM_CANCELMODE:
      // The mouse is taken away: a drag ends without a drop, a held button
      // is released outside (so it makes no click).
      if (Dragging()) EndDrag(false);
      if (MouseCapture()) {
        SetMouseCapture(false);
        if (controlState_.Contains(csLButtonDown)) Perform(WM_LBUTTONUP, 0, MakeLParam(-1, -1));
      }
      return;
    case CM_PARENTFONTCHANGED:
      SetParentFontFromParent();
      return;
    case CM_PARENTCOLORCHANGED:
      SetParentColorFromParent();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_ && showHint_ != parent_->ShowHint()) {
        showHint_ = parent_->ShowHint();
        Perform(CM_SHOWHINTCHANGED);
      }
      return;
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      return;
    case CM_VISIBLECHANGED:
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage&) {}

// ---- Messages of windows -----------------------------------------------------------

// A 1-pixel frame for WS_BORDER (on windows without a caption, whose frame
// the window manager draws) and a 2-pixel sunken edge for WS_EX_CLIENTEDGE.
int ControlAccess::Frame::Width() const { return (border ? 1 : 0) + (clientEdge ? 2 : 0); }

void ControlAccess::Frame::Paint(TCanvas* dc, TRect r) const {
  if (border) {
    dc->Brush()->SetColor(clWindowFrame);
    dc->FrameRect(r);
    InflateRect(r, -1, -1);
  }
  if (clientEdge) DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT);
}

ControlAccess::Frame ControlAccess::StyleFrame(TWinControl* w) {
  DWORD style = w->backend_->style, exStyle = w->backend_->exStyle;
  if (!w->HandleAllocated()) {
    // Not created yet: the bits it will be created with.
    TCreateParams params;
    w->FillCreateParams(params);
    style = params.Style;
    exStyle = params.ExStyle;
  }
  return {(style & WS_BORDER) != 0 && (style & WS_CAPTION) != WS_CAPTION,
          (exStyle & WS_EX_CLIENTEDGE) != 0};
}

bool ControlAccess::NonClientMessage(TWinControl* w, TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      // The frame of the style bits, then visible scroll bars beside the client area.
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      const int frame = StyleFrame(w).Width();
      InflateRect(r, -frame, -frame);
      const auto& bars = w->backend_->bars;
      if (bars[SB_VERT].Visible()) r.Right = std::max(r.Left, r.Right - kScrollBarSize);
      if (bars[SB_HORZ].Visible()) r.Bottom = std::max(r.Top, r.Bottom - kScrollBarSize);
      return true;
    }
    case WM_NCPAINT:
      if (auto* dc = reinterpret_cast<TCanvas*>(m.WParam))
        StyleFrame(w).Paint(dc, Rect(0, 0, w->Width(), w->Height()));
      return true;
    case WM_NCHITTEST: {
      const TPoint p = w->ScreenToClient(SmallPointToPoint(m.LParam));
      m.Result = PtInRect(w->ClientRect(), p) ? HTCLIENT : HTNOWHERE;
      return true;
    }
    default:
      return false;
  }
}

// A property of the control changed: the window and the children follow.
bool ControlAccess::ChangeMessage(TWinControl* w, TMessage& m) {
  TWinControl::Backend& b = *w->backend_;
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      if (w->Visible() && (!w->parent_ || w->parent_->HandleAllocated() || b.topLevel))
        w->HandleNeeded();
      w->UpdateShowing();
      return true;
    case CM_ENABLEDCHANGED:
      if (w->HandleAllocated()) b.window->setEnabled(w->Enabled());
      w->Invalidate();
      return true;
    case CM_FONTCHANGED:
      w->Invalidate();
      w->NotifyControls(CM_PARENTFONTCHANGED);
      return true;
    case CM_COLORCHANGED:
      w->Invalidate();
      w->NotifyControls(CM_PARENTCOLORCHANGED);
      return true;
    case CM_SHOWHINTCHANGED:
      w->NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return true;
    case CM_SYSCOLORCHANGE:
      w->NotifyControls(CM_SYSCOLORCHANGE);
      w->Invalidate();
      return true;
    case CM_TEXTCHANGED:
      if (w->HandleAllocated()) b.window->setWindowTitle(ToQString(w->Text()));
      w->Invalidate();
      return true;
    case CM_CURSORCHANGED:
      if (w->HandleAllocated()) b.client->setCursor(ShapeOf(w->Cursor()));
      return true;
    default:
      return false;
  }
}

void TWinControl::WndProc(TMessage& m) {
  if ((m.Msg >= WM_KEYDOWN && m.Msg <= WM_SYSCHAR) && !Enabled()) return;
  TControl::WndProc(m);
}

void TWinControl::Dispatch(TMessage& m) {
  if (ControlAccess::PaintMessage(this, m) || ControlAccess::NonClientMessage(this, m) ||
      ControlAccess::ChangeMessage(this, m))
    return;
  switch (m.Msg) {
    case WM_SIZE:
      Realign();
      Resize();
      return;
    case WM_SETCURSOR:
      // Parents are asked first, as the window system does.
      if (parent_ && !backend_->topLevel) m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
      return;
    case WM_SETFOCUS:
      if (TCustomForm* form = ::GetParentForm(this); form && form != this)
        form->SetFocusedControl(this);
      return;
    case CN_KEYDOWN:
      ControlAccess::KeyDownMessage(this, m);
      return;
    case CN_KEYUP:
      ControlAccess::KeyUpMessage(this, m);
      return;
    case CN_CHAR: {
      char32_t ch = char32_t(m.WParam);
      if (ControlAccess::DoKeyPress(this, ch)) {
        m.Result = 1;
        return;
      }
      Perform(WM_CHAR, ch, m.LParam);
      return;
    }
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      Broadcast(m);
      return;
    case CM_RECREATEWND:
      // Re-created once the events being handled are over, however often asked.
      if (HandleAllocated() && !backend_->recreatePending) {
        backend_->recreatePending = true;
        PostToWindow(this, [](TWinControl* w) {
          w->backend()->recreatePending = false;
          w->RecreateWnd();
        });
      }
      return;
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    default:
      TControl::Dispatch(m);
  }
}

// ---- Sending and posting ---------------------------------------------------------

LRESULT SendMessage(HWND wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return wnd ? wnd->Perform(Msg, WParam, LParam) : 0;
}

namespace vantrel::qt {
void PostToWindow(TWinControl* wnd, std::function<void(TWinControl*)> action) {
  if (!wnd || !QCoreApplication::instance()) return;
  auto it = LiveWindows().find(wnd);
  if (it == LiveWindows().end()) return;
  const uint64_t serial = it->second;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [wnd, serial, action = std::move(action)] {
        auto found = LiveWindows().find(wnd);
        if (found == LiveWindows().end() || found->second != serial) return;
        Guarded([&] { action(wnd); });
      },
      Qt::QueuedConnection);
}
}  // namespace vantrel::qt

void PostMessage(HWND wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  PostToWindow(wnd, [Msg, WParam, LParam](TWinControl* w) { w->Perform(Msg, WParam, LParam); });
}
