#include "winctrls/tb97button.h"

#include <algorithm>

#include "platform/classlib/controls/timer.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/graphics/drawing.h"
#include "winctrls/emboss.h"
#include "winctrls/tb97.h"

IMPLEMENT_CLASS(TToolbarButton97, TGraphicControl)

namespace {

constexpr int kArrowWidth = 9, kArrowHeight = 3;

// The arrow: a filled triangle (x + 4, y), (x + 8, y), (x + 6, y + 2).
void DrawArrow(TCanvas* c, int x, int y, TColor color) {
  for (int row = 0; row < kArrowHeight; ++row)
    for (int px = x + 4 + row; px <= x + 8 - row; ++px) c->SetPixels(px, y + row, color);
}

void DrawArrowInState(TCanvas* c, int x, int y, bool enabled, TColor color) {
  if (enabled) return DrawArrow(c, x, y, color);
  DrawArrow(c, x + 1, y + 1, clBtnHighlight);
  DrawArrow(c, x, y, clBtnShadow);
}

bool SameRGB(TColor a, TColor b) { return ColorToRGB(a) == ColorToRGB(b); }

// Often enough that a button the mouse left without a leave message (moved
// fast onto another window) looks as if it had one.
constexpr unsigned kHotTrackInterval = 125;  // milliseconds

// The one hot button of the process, the timer that watches it and the
// application hook that ends it on deactivation; made with the first button
// and freed with the last.
struct HotTracking {
  int buttons = 0;
  TToolbarButton97* button = nullptr;
  std::unique_ptr<TTimer> timer;
  int appHook = 0;
};
HotTracking g_hot;

}  // namespace

void TToolbarButton97::HotTick() {
  TToolbarButton97* hot = g_hot.button;
  if (hot && FindDragTarget(GetCursorPos(), true) != hot) hot->Leave();
}

void TToolbarButton97::StartHotTracking() {
  if (g_hot.buttons++ > 0) return;
  g_hot.timer = std::make_unique<TTimer>(nullptr);
  g_hot.timer->SetEnabled(false);
  g_hot.timer->SetInterval(kHotTrackInterval);
  g_hot.timer->OnTimer = [](TObject*) { HotTick(); };
  if (Application)
    g_hot.appHook = Application->HookMainWindow([](TMessage& m) {
      if (m.Msg == CM_DEACTIVATE && g_hot.button) g_hot.button->Leave();
      return false;  // every other hook sees it too
    });
}

void TToolbarButton97::StopHotTracking() {
  if (g_hot.button == this) g_hot.button = nullptr;
  if (--g_hot.buttons > 0) return;
  g_hot.timer.reset();
  if (Application && g_hot.appHook) Application->UnhookMainWindow(g_hot.appHook);
  g_hot.appHook = 0;
}

void TToolbarButton97::BecomeHot(bool evenInactive) {
  if (g_hot.button == this) return;
  if (g_hot.button) g_hot.button->Leave();
  // Only the active form of the active application tracks the mouse.
  const TCustomForm* form = ::GetParentForm(this);
  if (!evenInactive && (!Application || !Application->Active() || !form || !form->Active())) return;
  if (!Enabled()) return;
  g_hot.button = this;
  g_hot.timer->SetEnabled(true);
  Enter();
}

TToolbarButton97::TToolbarButton97(TComponent* AOwner)
    : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  SetControlStyle({csCaptureMouse, csOpaque, csDoubleClicks});
  SetBounds(0, 0, 23, 22);
  glyph_->OnChange = [this](TObject*) {
    DropImages();
    Invalidate();
  };
  StartHotTracking();
}

TToolbarButton97::~TToolbarButton97() {
  glyph_->OnChange = nullptr;
  StopHotTracking();
}

void TToolbarButton97::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dropdownMenu_) dropdownMenu_ = nullptr;
}

void TToolbarButton97::SetState(TButtonState97 value) {
  if (value == state_) return;
  state_ = value;
  Invalidate();
}

void TToolbarButton97::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  if (down_ && !allowAllUp_) return;  // a group always keeps one button down
  down_ = value;
  state_ = value ? bsExclusive97 : bsUp97;
  Invalidate();
  if (value && Parent()) {
    TMessage m{CM_BUTTONPRESSED, WPARAM(groupIndex_), LPARAM(this), 0};
    Parent()->Broadcast(m);
  }
}

void TToolbarButton97::SetGroupIndex(int value) {
  groupIndex_ = value;
  if (down_ && Parent()) {
    TMessage m{CM_BUTTONPRESSED, WPARAM(groupIndex_), LPARAM(this), 0};
    Parent()->Broadcast(m);
  }
}

void TToolbarButton97::SetAllowAllUp(bool value) {
  allowAllUp_ = value;
  // The whole group shares one value.
  if (Parent() && groupIndex_) {
    TMessage m{CM_BUTTONPRESSED, WPARAM(groupIndex_), LPARAM(this), 0};
    Parent()->Broadcast(m);
  }
}

void TToolbarButton97::SetDisplayMode(TButtonDisplayMode value) { displayMode_ = value; Invalidate(); }
void TToolbarButton97::SetDropdownArrow(bool value) { dropdownArrow_ = value; Invalidate(); }
void TToolbarButton97::SetFlat(bool value) {
  flat_ = value;
  UpdateOpaqueStyle();
}

void TToolbarButton97::SetOpaque(bool value) {
  opaque_ = value;
  UpdateOpaqueStyle();
}

// The opaque style tells the parent it need not paint behind the button.
void TToolbarButton97::UpdateOpaqueStyle() {
  TControlStyle style = ControlStyle();
  if (Transparent()) style.Exclude(csOpaque);
  else style.Include(csOpaque);
  SetControlStyle(style);
  Invalidate();
}

void TToolbarButton97::SetWordWrap(bool value) { wordWrap_ = value; Invalidate(); }
void TToolbarButton97::SetLayout(TButtonLayout value) { layout_ = value; Invalidate(); }
void TToolbarButton97::SetSpacing(int value) { spacing_ = value; Invalidate(); }

void TToolbarButton97::SetMargin(int value) {
  if (value < -1) return;  // below "automatic" means nothing
  margin_ = value;
  Invalidate();
}

void TToolbarButton97::SetDropdownCombo(bool value) {
  if (value == dropdownCombo_) return;
  dropdownCombo_ = value;
  // Read from a definition, the width read with it already holds the arrow part.
  if (ComponentState().Contains(csLoading)) return;
  const int w = value ? Width() + kComboArrowWidth : std::max(1, Width() - kComboArrowWidth);
  SetBounds(Left(), Top(), w, Height());
  if (auto* bar = dynamic_cast<TToolWindow97*>(Parent())) bar->ArrangeControls();
}

void TToolbarButton97::SetDropdownMenu(TPopupMenu* value) {
  dropdownMenu_ = value;
  if (value) value->FreeNotification(this);
  if (dropdownArrow_) Invalidate();
}

void TToolbarButton97::SetGlyph(const TBitmap* value) {
  glyph_->Assign(value);
  if (const int k = GlyphStripCount(*glyph_); k >= 1) numGlyphs_ = k <= 5 ? k : 1;
  DropImages();
  Invalidate();
}

void TToolbarButton97::SetNumGlyphs(int value) {
  numGlyphs_ = std::clamp(value, 1, 5);
  DropImages();
  Invalidate();
}

void TToolbarButton97::SetOldDisabledStyle(bool value) {
  oldDisabledStyle_ = value;
  DropImages();
  Invalidate();
}

void TToolbarButton97::DropImages() {
  for (auto& image : images_) image.reset();
}

TBitmap* TToolbarButton97::GlyphImage(TButtonState97 state) {
  if (glyph_->Empty()) return nullptr;
  std::unique_ptr<TBitmap>& image = images_[state];
  if (image) return image.get();
  const int cw = glyph_->Width() / numGlyphs_, h = glyph_->Height();
  const TColor transparent = ColorToRGB(glyph_->TransparentColor());
  const bool generated = state == bsDisabled97 && numGlyphs_ < 2;
  const int index = generated || int(state) >= numGlyphs_ ? 0 : int(state);
  TBitmap cell;
  cell.SetSize(cw + 1, h + 1);
  cell.Canvas()->Brush()->SetColor(transparent);
  cell.Canvas()->FillRect(Rect(0, 0, cw + 1, h + 1));
  cell.Canvas()->CopyRect(Rect(0, 0, cw, h), glyph_->Canvas(), Bounds(index * cw, 0, cw, h));
  if (generated && oldDisabledStyle_) {
    image = EmbossBitmap(cell, clBtnFace, clBtnShadow,
                         [&](TColor c) { return !SameRGB(c, transparent) && IsDark(c); });
  } else if (generated) {
    image = EmbossBitmap(cell, clBtnFace, clBtnShadow, [&](TColor c) {
      return !SameRGB(c, transparent) && !SameRGB(c, clWhite) && !SameRGB(c, clSilver);
    });
  } else {
    image = std::make_unique<TBitmap>();
    image->Assign(&cell);
    if (state == bsDisabled97) {
      // The picture's own disabled cell in the system's colours.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < cw; ++x) {
          const TColor c = cell.Canvas()->Pixels(x, y);
          if (SameRGB(c, clWhite)) image->Canvas()->SetPixels(x, y, clBtnHighlight);
          else if (SameRGB(c, clGray)) image->Canvas()->SetPixels(x, y, clBtnShadow);
        }
    }
    image->SetTransparentColor(transparent);
  }
  image->SetTransparent(true);
  return image.get();
}

// ---- Mouse --------------------------------------------------------------------

bool TToolbarButton97::InsideMain(int x, int y) const {
  const int right = dropdownCombo_ ? Width() - kComboArrowWidth : Width();
  return x >= 0 && y >= 0 && x < right && y < Height();
}

void TToolbarButton97::Enter() {
  if (!Enabled() || hot_) return;
  hot_ = true;
  if (state_ == bsUp97) state_ = bsMouseIn97;
  Invalidate();
  if (OnMouseEnter) OnMouseEnter(this);
}

void TToolbarButton97::Leave() {
  if (!Enabled() || !hot_ || pressing_) return;
  if (state_ == bsMouseIn97 || (state_ == bsDown97 && !inClick_)) state_ = bsUp97;
  hot_ = false;
  if (g_hot.button == this) {
    g_hot.button = nullptr;
    g_hot.timer->SetEnabled(false);
  }
  Invalidate();
  if (OnMouseExit) OnMouseExit(this);
}

void TToolbarButton97::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (!Enabled()) return;
  BecomeHot(true);  // a press makes it hot in any case
  if (Button != mbLeft) return;
  arrowPressed_ = dropdownMenu_ && (!dropdownCombo_ || X >= Width() - kComboArrowWidth);
  if (!down_) SetState(bsDown97);
  else if (allowAllUp_) Invalidate();
  if (arrowPressed_) Click();  // the menu opens on the press
  else pressing_ = true;
}

void TToolbarButton97::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!pressing_) return;
  SetState(down_ ? bsExclusive97 : InsideMain(X, Y) ? bsDown97 : bsUp97);
}

void TToolbarButton97::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbRight) {
    pressing_ = false;
    Leave();
    return;
  }
  if (Button != mbLeft || !pressing_) return;
  pressing_ = false;
  const bool inside = InsideMain(X, Y);
  if (groupIndex_ != 0) {
    if (inside) SetDown(!down_);
    else if (down_) SetState(bsExclusive97);
  }
  if (inside) {
    Click();
  } else {
    if (state_ == bsDown97) SetState(bsUp97);
    if (!PtInRect(ClientRect(), {X, Y})) Leave();
  }
}

void TToolbarButton97::Click() {
  const auto alive = Lifetime();
  inClick_ = true;
  if (state_ == bsUp97 || state_ == bsMouseIn97) SetState(bsDown97);
  if (!dropdownMenu_ || (dropdownCombo_ && !arrowPressed_)) {
    TGraphicControl::Click();
  } else {
    // Below the button; beside it on a bar docked left (or right, opening leftwards).
    TPoint at{0, Height()};
    TPopupAlignment align = paLeft;
    if (auto* bar = dynamic_cast<TToolWindow97*>(Parent()))
      if (TDock97* d = bar->DockedTo(); d && d->Vertical()) {
        at = d->Position() == dpLeft ? TPoint{Width(), 0} : TPoint{0, 0};
        if (d->Position() == dpRight) align = paRight;
      }
    // The menu takes the mouse; the release of this press never comes here,
    // so the button would keep the capture and every later click.
    ReleaseCapture();
    const TPopupAlignment old = dropdownMenu_->Alignment();
    dropdownMenu_->SetAlignment(align);
    dropdownMenu_->SetPopupComponent(this);
    const TPoint s = ClientToScreen(at);
    dropdownMenu_->Popup(s.x, s.y);
    if (!alive.expired() && dropdownMenu_) dropdownMenu_->SetAlignment(old);
  }
  if (alive.expired()) return;
  inClick_ = false;
  arrowPressed_ = false;
  if (state_ == bsDown97) SetState(hot_ ? bsMouseIn97 : bsUp97);
  Invalidate();
}

void TToolbarButton97::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_BUTTONPRESSED: {
      auto* sender = reinterpret_cast<TToolbarButton97*>(m.LParam);
      if (sender == this || int(m.WParam) != groupIndex_ || groupIndex_ == 0) break;
      if (!dynamic_cast<TToolbarButton97*>(reinterpret_cast<TControl*>(m.LParam))) break;
      if (sender->Down() && down_) {
        down_ = false;
        SetState(bsUp97);
      }
      allowAllUp_ = sender->AllowAllUp();
      break;
    }
    case CM_MOUSEENTER:
      BecomeHot(false);
      break;
    case CM_MOUSELEAVE:
      Leave();
      break;
    case CM_ENABLEDCHANGED:
      Invalidate();
      break;
    case CM_SYSCOLORCHANGE:
      // The generated images (the disabled one's emboss) use system colours.
      DropImages();
      Invalidate();
      break;
    case CM_DIALOGCHAR:
      // Alt with the caption's mnemonic clicks the button.
      if (IsAccel(char32_t(m.WParam), Caption()) && Enabled() && Visible()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TGraphicControl::Dispatch(m);
}

// ---- Painting ---------------------------------------------------------------

void TToolbarButton97::PaintContent() {
  TCanvas* c = Canvas();
  if (!Enabled()) {
    state_ = bsDisabled97;
    pressing_ = false;
  } else if (state_ == bsDisabled97) {
    state_ = down_ && groupIndex_ ? bsExclusive97 : bsUp97;
  }
  if (!Transparent()) {
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
  }
  const bool pressed = state_ == bsDown97 || state_ == bsExclusive97;
  const bool mainPressed = pressed && !arrowPressed_;
  const bool border = !flat_ || pressed || (hot_ && Enabled());
  TRect main = ClientRect();
  if (dropdownCombo_) {
    main.Right -= kComboArrowWidth;
    if (border) {
      TRect arrow = Rect(Width() - kComboArrowWidth, 0, Width(), Height());
      const bool arrowDown = arrowPressed_ && pressed;
      DrawEdge(c, arrow, flat_ ? (arrowDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER)
                               : (arrowDown ? EDGE_SUNKEN : EDGE_RAISED),
               flat_ ? BF_RECT : BF_RECT | BF_SOFT | BF_MIDDLE);
    }
  }
  if (border) {
    TRect r = main;
    DrawEdge(c, r, flat_ ? (mainPressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER)
                         : (mainPressed ? EDGE_SUNKEN : EDGE_RAISED),
             flat_ ? BF_RECT : BF_RECT | BF_SOFT | BF_MIDDLE);
  }
  TRect content = main;
  InflateRect(content, flat_ ? -1 : -2, flat_ ? -1 : -2);
  if (state_ == bsExclusive97 && !(flat_ && hot_)) {
    // The checker of a button that stays down.
    const TColor face = ColorToRGB(clBtnFace), light = ColorToRGB(clBtnHighlight);
    for (int y = content.Top; y < content.Bottom; ++y)
      for (int x = content.Left; x < content.Right; ++x)
        c->SetPixels(x, y, (x % 2) == (y % 2) ? light : face);
  }
  PaintFace(c, content, mainPressed ? TPoint{1, 1} : TPoint{0, 0});
  if (dropdownCombo_)
    DrawArrowInState(c, Width() - 13, Height() / 2 - 1, Enabled(), Font()->Color());
}

void TToolbarButton97::PaintFace(TCanvas* c, TRect r, TPoint offset) {
  const int W = r.Width(), H = r.Height();
  TBitmap* image = displayMode_ != dmTextOnly ? GlyphImage(state_) : nullptr;
  const int gw = image ? glyph_->Width() / numGlyphs_ : 0, gh = image ? glyph_->Height() : 0;
  const bool arrow = dropdownArrow_ && dropdownMenu_ && !dropdownCombo_;
  const int aw = arrow ? kArrowWidth : 0;
  TButtonLayout layout = layout_;
  if (!image && (layout == blGlyphTop || layout == blGlyphBottom)) layout = blGlyphLeft;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  const std::string caption = displayMode_ != dmGlyphOnly ? Caption() : std::string();
  c->Font()->Assign(Font());
  // A wrapped caption gets what the glyph, the spacing and the margins leave.
  int room = horizontal ? W - aw : W;
  if (wordWrap_ && horizontal)
    room -= gw + (spacing_ == -1 ? 4 : spacing_) + (margin_ == -1 ? 4 : 2 * margin_);
  const uint32_t lines = wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE;
  TRect calc = Rect(0, 0, room, 0);
  if (!caption.empty()) DrawText(c, caption, calc, DT_CALCRECT | lines);
  const int tw = caption.empty() ? 0 : calc.Width(), th = caption.empty() ? 0 : calc.Height();
  const TButtonFacePlaces at = PlaceButtonFace({W, H}, {gw, gh}, {tw, th},
                                               {aw, arrow ? kArrowHeight : 0}, layout, margin_, spacing_);
  const TPoint g = at.glyph, t = at.caption, a = at.arrow;
  const int dx = r.Left + offset.x, dy = r.Top + offset.y;
  if (image) c->Draw(g.x + dx, g.y + dy, image);
  if (!caption.empty()) {
    TRect tr = Bounds(t.x + dx, t.y + dy, tw, th);
    c->Brush()->SetStyle(bsClear);
    if (Enabled()) {
      DrawText(c, caption, tr, DT_CENTER | lines);
    } else {
      DrawDisabledText(c, caption, tr, DT_CENTER | lines);
    }
  }
  if (arrow) DrawArrowInState(c, a.x + dx, a.y + dy, Enabled(), Font()->Color());
}

// The group before Down: a button is down only within a group.
PUBLISHED(TToolbarButton97) {
  PROP_INT(GroupIndex, GroupIndex, SetGroupIndex, 0);
  PROP_BOOL(AllowAllUp, AllowAllUp, SetAllowAllUp, false);
  PROP_BOOL(Down, Down, SetDown, false);
  PROP_ENUM(DisplayMode, DisplayMode, SetDisplayMode, dmBoth);
  PROP_BOOL(DropdownArrow, DropdownArrow, SetDropdownArrow, true);
  PROP_BOOL(DropdownCombo, DropdownCombo, SetDropdownCombo, false);
  PROP_OBJ(DropdownMenu, DropdownMenu, SetDropdownMenu);
  PROP_BOOL(Flat, Flat, SetFlat, true);
  PROP_OBJ(Glyph, Glyph, SetGlyph);
  PROP_INT(NumGlyphs, NumGlyphs, SetNumGlyphs, 1);
  PROP_ENUM(Layout, Layout, SetLayout, blGlyphLeft);
  PROP_INT(Margin, Margin, SetMargin, -1);
  PROP_INT(Spacing, Spacing, SetSpacing, 4);
  PROP_BOOL(OldDisabledStyle, OldDisabledStyle, SetOldDisabledStyle, false);
  PROP_BOOL(Opaque, Opaque, SetOpaque, true);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_EVENT(OnMouseEnter);
  PROP_EVENT(OnMouseExit);
}
