#include "datactrls/wwwindow.h"

#include <algorithm>
#include <map>
#include <optional>

#include "datactrls/wwfieldcheck.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/core/messagepump.h"
#include "platform/classlib/graphics/drawing.h"

namespace {

// The designers attached to forms. It watches each form so that a freed form
// (and a new one that happens to reuse its address) never reaches a designer.
class DesignerTable : public TComponent {
 public:
  DesignerTable() : TComponent(nullptr) {}

  void Set(TCustomForm* form, TwwFormDesigner* designer) {
    if (designer) {
      designers_[form] = designer;
      FreeNotification(form);
    } else if (designers_.erase(form)) {
      RemoveFreeNotification(form);
    }
  }

  TwwFormDesigner* Get(TCustomForm* form) const {
    auto it = designers_.find(form);
    return it == designers_.end() ? nullptr : it->second;
  }

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove) designers_.erase(component);
  }

 private:
  std::map<const TComponent*, TwwFormDesigner*> designers_;
};

DesignerTable& Designers() {
  // Never freed: forms may outlive every other static object of the program.
  static auto* table = new DesignerTable;
  return *table;
}

// The shift state a held key gives to key messages.
TShiftState ShiftOfKey(WORD key) {
  switch (key) {
    case VK_SHIFT: return TShiftState{ssShift};
    case VK_CONTROL: return TShiftState{ssCtrl};
    case VK_MENU: return TShiftState{ssAlt};
    default: return {};
  }
}

// Key messages as windows receive them: the input forms (CN_) that typed keys
// arrive as, and the window forms (WM_) they are passed on as.
constexpr UINT kKeyLast = WM_KEYDOWN + 8;
bool IsKeyMessage(UINT msg) {
  return (msg >= WM_KEYDOWN && msg <= kKeyLast) ||
         (msg >= CN_KEYDOWN && msg <= CN_BASE + kKeyLast);
}
bool IsKeyDown(UINT msg) { return msg == WM_KEYDOWN || msg == CN_KEYDOWN; }

// Takes the first key message that reaches a window out of its way (the
// window never sees it); later messages pass. Safe when the window is freed
// while it watches.
class KeyCatcher : public TComponent {
 public:
  explicit KeyCatcher(TWinControl* window) : TComponent(nullptr), window_(window) {
    FreeNotification(window_);
    hook_ = window_->AddWindowHook([this](TMessage& m, const TWndMethod& next) {
      if (caught_ || !IsKeyMessage(m.Msg)) {
        next(m);
        return;
      }
      caught_ = m;
      m.Result = 1;  // handled: a typed key makes no character either
    });
  }
  ~KeyCatcher() override {
    if (window_) {
      window_->RemoveWindowHook(hook_);
      RemoveFreeNotification(window_);
    }
  }
  const std::optional<TMessage>& Caught() const { return caught_; }

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == window_) window_ = nullptr;
  }

 private:
  TWinControl* window_;
  int hook_ = 0;
  std::optional<TMessage> caught_;
};

}  // namespace

void wwSetFormDesigner(TCustomForm* form, TwwFormDesigner* designer) {
  if (form) Designers().Set(form, designer);
}

TwwFormDesigner* wwGetFormDesigner(TCustomForm* form) {
  return form ? Designers().Get(form) : nullptr;
}

void wwNotifyDesigner(TComponent* component) {
  auto* form = dynamic_cast<TCustomForm*>(wwGetParentForm(component));
  if (TwwFormDesigner* designer = wwGetFormDesigner(form)) designer->Modified();
}

void wwSimulateKey(TWinControl* window, WORD key, WORD shiftKey) {
  if (!window) return;
  // Typed keys reach a window as CN_KEYDOWN / CN_KEYUP with the shift state in
  // LParam; posting those runs the key through everything a real key runs
  // through (key events, dialog keys such as Tab), with the held keys in it.
  const LPARAM held = LPARAM((ShiftOfKey(key) + ShiftOfKey(shiftKey)).Bits());
  PostMessage(window, CN_KEYDOWN, key, held);
  PostMessage(window, CN_KEYUP, key, held);
}

void wwReleaseMouse() {
  TWinControl* current = Screen ? Screen->ActiveControl() : nullptr;
  if (!current) return;
  auto leftDown = [](const TControl* c) { return c->ControlState().Contains(csLButtonDown); };
  TWinControl* target = leftDown(current) ? current : nullptr;
  for (int i = 0; !target && i < current->ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(current->Controls(i));
    if (child && leftDown(child)) target = child;
  }
  if (!target) return;
  // Released where the mouse is, so that a click follows only over the control.
  const TPoint at = target->ScreenToClient(GetCursorPos());
  PostMessage(target, WM_LBUTTONUP, 0, PointToLParam(at));
}

bool wwCheckFilterEscape(TObject* dataSet) {
  // The window system's queue cannot be searched for key messages alone, so
  // the waiting messages run (as the engine's long passes let them run anyway)
  // while the window that has the keyboard hands its first key message here.
  TWinControl* keyboard = nullptr;
  if (Screen) keyboard = Screen->ActiveControl() ? Screen->ActiveControl() : Screen->ActiveForm();
  if (!keyboard) return false;
  std::optional<TMessage> key;
  {
    KeyCatcher catcher(keyboard);
    ProcessMessages();
    key = catcher.Caught();
  }
  if (!key || !IsKeyDown(key->Msg) || key->WParam != VK_ESCAPE) return false;
  wwSetFilterEnabled(dataSet, false);
  return true;
}

void wwDrawEllipsisButton(TCanvas* canvas, TRect rect, TButtonState state, bool noFlat) {
  if (!canvas || IsRectEmpty(rect)) return;
  const bool pressed = state == bsDown || state == bsExclusive;
  TRect face = rect;
  DrawEdge(canvas, face, EDGE_RAISED,
           BF_RECT | BF_MIDDLE | BF_SOFT | ((pressed && !noFlat) ? BF_FLAT : 0));

  // Three squares, two sides apart, around the middle one.
  const int side = std::max(1, (rect.Width() + 1) / 8);
  const int offset = pressed ? 0 : 1;
  const int x = rect.Left + (rect.Width() - side) / 2 + offset;
  const int y = rect.Top + (rect.Height() - side) / 2 + offset;
  TBrush* brush = canvas->Brush();
  const TColor oldColor = brush->Color();
  const TBrushStyle oldStyle = brush->Style();
  brush->SetColor(clBlack);
  brush->SetStyle(bsSolid);
  for (int dx : {-2 * side, 0, 2 * side})
    canvas->FillRect(Rect(x + dx, y, x + dx + side, y + side));
  brush->SetStyle(oldStyle);
  brush->SetColor(oldColor);
}

void wwDrawDropDownArrowButton(TCanvas* canvas, TRect rect, bool pressed, bool noFlat,
                               bool enabled) {
  if (!canvas) return;
  UINT state = DFCS_SCROLLCOMBOBOX;
  if (pressed && !noFlat) state |= DFCS_PUSHED | DFCS_FLAT;
  else if (!enabled) state |= DFCS_INACTIVE;
  DrawFrameControl(canvas, rect, DFC_SCROLL, state);
}
