#include "platform/classlib/controls/controls.h"

// The control tree: parents and children, bounds, properties, window hooks
// and the published properties. Alignment, focus and keys, mouse,
// painting, messages, the window and its widgets each have a file of
// their own (controlalign.cpp, controlfocus.cpp, ...).

#include <algorithm>

#include "platform/classlib/controls/controlwidgets.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/graphics/images.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

IMPLEMENT_CLASS(TControl, TComponent)
IMPLEMENT_CLASS(TWinControl, TControl)
IMPLEMENT_CLASS(TControlCanvas, TCanvas)
IMPLEMENT_CLASS(TCustomControl, TWinControl)
IMPLEMENT_CLASS(TGraphicControl, TControl)

std::function<bool(TPopupMenu*, TControl*, TPoint)> PopupMenuHandler;

const TIdentMap& CursorIdents() {
  // A number has one name when written: crSizeAll's; the older crSize still reads.
  static const TIdentMap idents{
      {crDefault, "crDefault"},   {crNone, "crNone"},         {crArrow, "crArrow"},
      {crCross, "crCross"},       {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
      {crSizeNS, "crSizeNS"},     {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
      {crUpArrow, "crUpArrow"},   {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
      {crNoDrop, "crNoDrop"},     {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},
      {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"}, {crNo, "crNo"},
      {crAppStart, "crAppStart"}, {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
      {crSizeAll, "crSizeAll"},   {crSize, "crSize"},
  };
  return idents;
}

namespace vantrel::qt {
void (*MouseMoveObserver)(TControl*, TPoint) = nullptr;
void (*ActivationObserver)(TWinControl*, bool) = nullptr;
}  // namespace vantrel::qt

namespace vantrel::controlsimpl {

TControl* g_capture = nullptr;       // control holding the mouse
TControl* g_mouseControl = nullptr;  // control the mouse is over
TControl* g_dragControl = nullptr;   // control being dragged
TControl* g_dragTarget = nullptr;
QPointer<QWidget> g_cursorWidget;    // the window WM_SETCURSOR is asking about
QPointer<QWidget> g_heldScrollBar;   // a window's scroll bar the left button is down on

// Live windows with a serial number, so that a posted message never reaches
// a window that was freed (or a new one at the same address).
std::unordered_map<const TWinControl*, uint64_t>& LiveWindows() {
  static std::unordered_map<const TWinControl*, uint64_t> live;
  return live;
}
uint64_t g_nextSerial = 1;

}  // namespace vantrel::controlsimpl

// ---- TControl --------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), font_(std::make_unique<TFont>()) {
  static uint64_t made = 0;
  creationOrder_ = ++made;
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  if (g_capture == this) g_capture = nullptr;
  if (g_mouseControl == this) g_mouseControl = nullptr;
  if (g_dragControl == this) {
    g_dragControl = nullptr;
    EndDragCursor();
  }
  if (g_dragTarget == this) g_dragTarget = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (auto* self = dynamic_cast<TWinControl*>(this); self && self->ContainsControl(AParent))
    throw EInvalidOperation("A control cannot be placed inside one of its own children");
  // A window that exists moves with its widgets when its new place has a
  // window too (or it stands alone): its state and focus stay.
  auto* self = dynamic_cast<TWinControl*>(this);
  const bool move = self && self->HandleAllocated() && (!AParent || AParent->HandleAllocated());
  TCustomForm* form = ::GetParentForm(this);
  TWinControl* focused = nullptr;
  if (move && form)
    if (TWinControl* a = form->ActiveControl(); a && a->Focused() && self->ContainsControl(a))
      focused = a;
  const auto alive = Lifetime();
  const std::weak_ptr<void> focusedAlive = focused ? focused->Lifetime() : std::weak_ptr<void>();
  if (move) self->backend_->rehosting = true;
  try {
    if (parent_) parent_->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
  } catch (...) {
    if (move && !alive.expired()) self->backend_->rehosting = false;
    throw;
  }
  if (!move || alive.expired()) return;  // a handler of the change may have freed it
  self->backend_->rehosting = false;
  ControlAccess::Rehost(self);
  // Within the same form the focus stays; another form is not activated for it.
  if (focused && !focusedAlive.expired() && ::GetParentForm(focused) == form &&
      focused->CanFocus())
    focused->SetFocus();
}

TComponent* TControl::GetParentComponent() const { return parent_; }
void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = As<TWinControl>(parent)) SetParent(w);
}

void TControl::ConstrainSize(int& w, int& h) const {
  if (constraints_.MinWidth > 0 && w < constraints_.MinWidth) w = constraints_.MinWidth;
  if (constraints_.MinHeight > 0 && h < constraints_.MinHeight) h = constraints_.MinHeight;
  if (constraints_.MaxWidth > 0 && w > constraints_.MaxWidth) w = constraints_.MaxWidth;
  if (constraints_.MaxHeight > 0 && h > constraints_.MaxHeight) h = constraints_.MaxHeight;
  w = std::max(0, w);
  h = std::max(0, h);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ConstrainSize(AWidth, AHeight);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  const bool resized = AWidth != width_ || AHeight != height_;
  const bool moved = ALeft != left_ || ATop != top_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  BoundsChanged(moved, resized);
  if (resized && !Is<TWinControl>(this)) Resize();
  RequestAlign();
}

void TControl::BoundsChanged(bool, bool) {
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}

TRect TControl::ClientRect() const { return Rect(0, 0, width_, height_); }

void TControl::SetClientWidth(int v) { SetWidth(v + (width_ - ClientWidth())); }
void TControl::SetClientHeight(int v) { SetHeight(v + (height_ - ClientHeight())); }

TPoint TControl::ClientOrigin() const {
  if (!parent_) return {left_, top_};
  const TPoint p = parent_->ClientOrigin();
  return {p.x + left_, p.y + top_};
}
TPoint TControl::ClientToScreen(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.x + o.x, p.y + o.y};
}
TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.x - o.x, p.y - o.y};
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  VisibleChanging();
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value ? 1 : 0);
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
  if (parent_ && align_ != alNone) parent_->Realign();
}
void TControl::Show() { SetVisible(true); }
void TControl::Hide() { SetVisible(false); }

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::FontChanged() {
  if (updatingFont_) return;
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value) SetParentFontFromParent();
}

void TControl::SetParentFontFromParent() {
  if (!parentFont_ || !parent_) return;
  updatingFont_ = true;
  font_->Assign(parent_->Font());
  updatingFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetColor(TColor value) {
  if (value == color_ && !parentColor_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value) SetParentColorFromParent();
}

void TControl::SetParentColorFromParent() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->Color();
  Perform(CM_COLORCHANGED);
}

void TControl::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool value) {
  parentShowHint_ = false;
  if (value == showHint_) return;
  showHint_ = value;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  if (value && parent_) {
    showHint_ = parent_->ShowHint();
    Perform(CM_SHOWHINTCHANGED);
  }
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* menu, TComponent* asComponent) {
  if (popupMenuComponent_) popupMenuComponent_->RemoveFreeNotification(this);
  popupMenu_ = menu;
  popupMenuComponent_ = asComponent;
  if (asComponent) asComponent->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popupMenuComponent_) {
    popupMenu_ = nullptr;
    popupMenuComponent_ = nullptr;
  }
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

namespace {
// Moves `item` to the end (front of the z-order) or the start of `list`.
template <class T>
bool Restack(std::vector<T*>& list, TControl* item, bool toFront) {
  auto it = std::find_if(list.begin(), list.end(), [item](T* c) { return c == item; });
  if (it == list.end()) return false;
  T* c = *it;
  list.erase(it);
  if (toFront) list.push_back(c);
  else list.insert(list.begin(), c);
  return true;
}
}  // namespace

void TControl::SetZOrder(bool toFront) {
  if (parent_) {
    if (Restack(parent_->winControls_, this, toFront)) {
      auto* self = static_cast<TWinControl*>(this);
      if (QWidget* w = WindowWidget(*self)) {
        if (toFront) RaiseWindow(w);
        else w->lower();
      }
    } else {
      Restack(parent_->controls_, this, toFront);
    }
  }
  Invalidate();
}

void TControl::BringToFront() { SetZOrder(true); }
void TControl::SendToBack() { SetZOrder(false); }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WindowProc(m);
  return m.Result;
}

TCustomForm* TControl::GetParentForm() const { return ::GetParentForm(this); }

// ---- TWinControl -----------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner)
    : TControl(AOwner), backend_(std::make_unique<Backend>()) {
  LiveWindows()[this] = g_nextSerial++;
  WindowProc = [this](TMessage& m) { RunHooks(m); };
}

TWinControl::~TWinControl() {
  Destroying();
  // A window frees its child controls with itself.
  while (!winControls_.empty() || !controls_.empty()) {
    TControl* child = !winControls_.empty() ? static_cast<TControl*>(winControls_.back())
                                            : controls_.back();
    delete child;
  }
  DestroyHandleTree();
  LiveWindows().erase(this);
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (index < int(controls_.size())) return controls_[size_t(index)];
  return winControls_[size_t(index) - controls_.size()];
}

void TWinControl::InsertControl(TControl* c) {
  if (!c || c->parent_ == this) return;
  if (auto* w = dynamic_cast<TWinControl*>(c); w && w->ContainsControl(this))
    throw EInvalidOperation("A control cannot be placed inside one of its own children");
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 1);
  c->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    winControls_.push_back(w);
    tabList_.push_back(w);
  } else {
    controls_.push_back(c);
  }
  c->Perform(CM_PARENTCOLORCHANGED);
  c->Perform(CM_PARENTFONTCHANGED);
  c->Perform(CM_PARENTSHOWHINTCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(c); w && HandleAllocated()) w->HandleNeeded();
  if (c->Align() != alNone) Realign();
  c->Invalidate();
  Perform(CM_CONTROLCHANGE, WPARAM(c), 1);
}

void TWinControl::RemoveControl(TControl* c) {
  if (!c || c->parent_ != this) return;
  const bool destroying = c->ComponentState().Contains(csDestroying);
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 0);
  if (TCustomForm* form = ::GetParentForm(this)) form->ForgetControl(c);
  if (!destroying)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->backend_->rehosting) w->DestroyHandleTree();
  if (c->visible_) InvalidateRect(c->BoundsRect());
  std::erase(controls_, c);
  std::erase_if(winControls_, [c](TWinControl* w) { return static_cast<TControl*>(w) == c; });
  std::erase_if(tabList_, [c](TWinControl* w) { return static_cast<TControl*>(w) == c; });
  c->parent_ = nullptr;
  if (c->align_ != alNone && !ComponentState().Contains(csDestroying)) Realign();
  Perform(CM_CONTROLCHANGE, WPARAM(c), 0);
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) const {
  auto hits = [&](TControl* c) {
    const bool visible = c->Visible() || ComponentState().Contains(csDesigning);
    if (!visible || !(c->Enabled() || allowDisabled) || !PtInRect(c->BoundsRect(), pos))
      return false;
    return c->Perform(CM_HITTEST, 0, MakeLParam(pos.x - c->Left(), pos.y - c->Top())) != 0;
  };
  if (allowWinControls)
    for (auto it = winControls_.rbegin(); it != winControls_.rend(); ++it)
      if (hits(*it)) return *it;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (hits(*it)) return *it;
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  for (int i = 0; i < ControlCount(); ++i) {
    Controls(i)->Perform(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT Msg) {
  // A handler may add or remove controls: walk a copy.
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  for (TControl* c : all)
    if (HasChild(c)) c->Perform(Msg);
}

bool TWinControl::HasChild(const TControl* control) const {
  return std::find(controls_.begin(), controls_.end(), control) != controls_.end() ||
         std::any_of(winControls_.begin(), winControls_.end(), [control](const TWinControl* w) {
           return static_cast<const TControl*>(w) == control;
         });
}

void TWinControl::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < ControlCount(); ++i)
    if (TControl* c = Controls(i); c->Owner() == root) proc(c);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  auto order = [](const TWinControl* c) {
    return c->pendingTabOrder_ < 0 ? INT32_MAX : c->pendingTabOrder_;
  };
  std::stable_sort(tabList_.begin(), tabList_.end(),
                   [&](const TWinControl* a, const TWinControl* b) { return order(a) < order(b); });
  ComputeNonClient();
  Realign();
}

// ---- Hooks -------------------------------------------------------------------------

int TWinControl::AddWindowHook(TWindowHookProc proc) { return hooks_.Add(std::move(proc)); }

bool TWinControl::RemoveWindowHook(int id) { return hooks_.Remove(id); }

int TWinControl::WindowHookCount() const { return hooks_.Count(); }

void TWinControl::RunHooks(TMessage& m) {
  if (hooks_.Empty()) {
    WndProc(m);
    return;
  }
  // A snapshot: hooks added or removed while the message travels do not
  // disturb it; removed ones are skipped.
  auto chain = std::make_shared<THookList<TWindowHookProc>::Snapshot>(hooks_.Take());
  std::function<void(TMessage&, size_t)> step = [this, chain, &step](TMessage& msg, size_t i) {
    while (i > 0 && !(*chain)[i - 1]->alive) --i;
    if (i == 0) {
      WndProc(msg);
      return;
    }
    auto hook = (*chain)[i - 1];
    hook->proc(msg, [&step, i](TMessage& next) { step(next, i - 1); });
  };
  step(m, chain->size());
}

// ---- Published properties ----------------------------------------------------
// The published properties of the whole controls library, here and in class
// order: a class that gives an inherited property a new default needs its
// ancestor's properties declared first, and only declarations within one file
// run in a known order at start-up (this file is always linked in).

PUBLISHED(TControl) {
  PROP_INT(Left, Left, SetLeft, 0);
  PROP_INT(Top, Top, SetTop, 0);
  PROP_INT(Width, Width, SetWidth, 0);
  PROP_INT(Height, Height, SetHeight, 0);
  PROP_ENUM(Align, Align, SetAlign, alNone);
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_COLOR(Color, Color, SetColor, clWindow)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return !static_cast<TControl*>(o)->ParentColor(); }));
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_OBJ(Font, Font, SetFont)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return !static_cast<TControl*>(o)->ParentFont(); }));
  PROP_STR(Hint, Hint, SetHint, "");
  PROP_BOOL(ParentColor, ParentColor, SetParentColor, true);
  PROP_BOOL(ParentFont, ParentFont, SetParentFont, true);
  PROP_BOOL(ParentShowHint, ParentShowHint, SetParentShowHint, true);
  PROP_BOOL(ShowHint, ShowHint, SetShowHint, false);
  PROP_CURSOR(Cursor, Cursor, SetCursor, crDefault);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_EVENT(OnClick);
  PROP_EVENT(OnDblClick);
  PROP_EVENT(OnMouseDown);
  PROP_EVENT(OnMouseMove);
  PROP_EVENT(OnMouseUp);
  PROP_EVENT(OnResize);
}

PUBLISHED(TWinControl) {
  PROP_INT(TabOrder, TabOrder, SetTabOrder, -1);
  PROP_BOOL(TabStop, TabStop, SetTabStop, false);
  PROP_EVENT(OnEnter);
  PROP_EVENT(OnExit);
  PROP_EVENT(OnKeyDown);
  PROP_EVENT(OnKeyPress);
  PROP_EVENT(OnKeyUp);
}

PUBLISHED(TCustomForm) {
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSizeable);
  PROP_ENUM(Position, Position, SetPosition, poDesigned);
  PROP_ENUM(WindowState, WindowState, SetWindowState, wsNormal);
  PROP_ENUM(FormStyle, FormStyle, SetFormStyle, fsNormal);
  PROP_BOOL(KeyPreview, KeyPreview, SetKeyPreview, false);
  PROP_DEFAULT(Visible, false);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
  PROP_EVENT(OnCreate);
  PROP_EVENT(OnShow);
  PROP_EVENT(OnHide);
  PROP_EVENT(OnActivate);
  PROP_EVENT(OnDeactivate);
  PROP_EVENT(OnClose);
  PROP_EVENT(OnCloseQuery);
  PROP_EVENT(OnDestroy);
}

PUBLISHED(TTimer) {
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_INT(Interval, Interval, SetInterval, 1000);
  PROP_EVENT(OnTimer);
}

PUBLISHED(TPanel) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taCenter);
  PROP_ENUM(BevelInner, BevelInner, SetBevelInner, bvNone);
  PROP_ENUM(BevelOuter, BevelOuter, SetBevelOuter, bvRaised);
  PROP_INT(BevelWidth, BevelWidth, SetBevelWidth, 1);
  PROP_INT(BorderWidth, BorderWidth, SetBorderWidth, 0);
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsNone);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
}

PUBLISHED(TLabel) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_ENUM(Layout, Layout, SetLayout, tlTop);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, true);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(ShowAccelChar, ShowAccelChar, SetShowAccelChar, true);
  PROP_OBJ(FocusControl, FocusControl, SetFocusControl);
}

PUBLISHED(TBevel) {
  PROP_ENUM(Shape, Shape, SetShape, bsBox);
  PROP_ENUM(Style, Style, SetStyle, bsLowered);
}

PUBLISHED(TImage) {
  PROP_OBJ(Picture, Picture, SetPicture);
  PROP_BOOL(Stretch, Stretch, SetStretch, false);
  PROP_BOOL(Center, Center, SetCenter, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, false);
}

PUBLISHED(TShape) {
  PROP_ENUM(Shape, Shape, SetShape, stRectangle);
  P.Obj("Pen", &Class::Pen, nullptr);
  P.Obj("Brush", &Class::Brush, nullptr);
}

PUBLISHED(TSplitter) {
  PROP_BOOL(Beveled, Beveled, SetBeveled, false);
  PROP_INT(MinSize, MinSize, SetMinSize, 30);
  PROP_EVENT(OnMoved);
  PROP_EVENT(OnCanResize);
}

PUBLISHED(TScrollBox) {
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSingle);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(ParentColor, false);
}

PUBLISHED(TPaintBox) { PROP_EVENT(OnPaint); }
