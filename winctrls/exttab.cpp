#include "winctrls/exttab.h"

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TExtTabControl, TTabControl)
IMPLEMENT_CLASS(TExtGlyphs, TPersistent)
IMPLEMENT_CLASS(TExtHottrack, TPersistent)

// ---- TExtGlyphs -------------------------------------------------------------

TExtGlyphs::TExtGlyphs(TExtTabControl* owner)
    : owner_(owner), glyph_(std::make_unique<TBitmap>()), images_(std::make_unique<TImageList>(nullptr)) {
  // The strip edited in place (drawn on, resized) gives new glyphs too.
  glyph_->OnChange = [this](TObject*) { GlyphChanged(); };
}

void TExtGlyphs::SetGlyph(const TBitmap* value) { glyph_->Assign(value); }

void TExtGlyphs::SetNumGlyphs(int value) {
  if (value == numGlyphs_) return;
  numGlyphs_ = std::max(0, value);
  GlyphChanged();
}

void TExtGlyphs::SetTransparentColor(TColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  GlyphChanged();
}

void TExtGlyphs::SetPosition(TExtGlyphPosition value) {
  position_ = value;
  owner_->Invalidate();
}

void TExtGlyphs::SetSpacing(int value) {
  spacing_ = value;
  owner_->Invalidate();
}

void TExtGlyphs::GlyphChanged() {
  images_->Clear();
  if (numGlyphs_ > 0 && !glyph_->Empty()) {
    images_->SetHeight(glyph_->Height());
    images_->SetWidth(glyph_->Width() / numGlyphs_);
    images_->AddMasked(glyph_.get(), transparentColor_);
  }
  owner_->Invalidate();
}

// ---- TExtHottrack -----------------------------------------------------------

void TExtHottrack::SetEnabled(bool value) {
  enabled_ = value;
  owner_->SetHotTrack(value);
  owner_->Invalidate();
}

void TExtHottrack::SetTabActiveColor(TColor value) {
  activeColor_ = value;
  owner_->Invalidate();
}

void TExtHottrack::SetTabInactiveColor(TColor value) {
  inactiveColor_ = value;
  owner_->Invalidate();
}

// ---- TExtTabControl ---------------------------------------------------------

TExtTabControl::TExtTabControl(TComponent* AOwner)
    : TTabControl(AOwner),
      tabActiveFont_(std::make_unique<TFont>()),
      tabInactiveFont_(std::make_unique<TFont>()),
      tabHints_(std::make_unique<TStringList>()),
      hottrack_(std::make_unique<TExtHottrack>(this)),
      glyphs_(std::make_unique<TExtGlyphs>(this)) {
  SetOwnerDraw(true);
  tabHeight_ = TTabControl::TabHeight();
  tabWidth_ = TTabControl::TabWidth();
  tabActiveFont_->OnChange = [this](TObject*) { ApplyTabFonts(); };
  tabInactiveFont_->OnChange = [this](TObject*) { ApplyTabFonts(); };
  ApplyTabFonts();
}

void TExtTabControl::ApplyTabFonts() {
  TBitmap probe;
  const auto widthOfW = [&probe](const TFont* f) {
    probe.Canvas()->Font()->Assign(f);
    return probe.Canvas()->TextWidth("W");
  };
  const bool inactiveWider = widthOfW(tabInactiveFont_.get()) > widthOfW(tabActiveFont_.get());
  SetFont(inactiveWider ? tabInactiveFont_.get() : tabActiveFont_.get());
  Invalidate();
}

void TExtTabControl::EndTabUpdate() {
  if (paintLock_ > 0) --paintLock_;
  if (paintLock_ == 0) Invalidate();
}

TExtTabControl::~TExtTabControl() {
  tabActiveFont_->OnChange = nullptr;
  tabInactiveFont_->OnChange = nullptr;
}

void TExtTabControl::SetTabIndex(int value) {
  if (value == TabIndex() || value >= Tabs()->Count() || value < -1) return;
  if (value >= 0 && !TabEnabled(value)) return;
  if (ComponentState().Contains(csLoading)) {
    TTabControl::SetTabIndex(value);
    return;
  }
  const auto alive = Lifetime();
  if (!CanChange() || alive.expired()) return;
  TTabControl::SetTabIndex(value);
  Change();
}

void TExtTabControl::SetTabActiveColor(TColor value) {
  tabActiveColor_ = value;
  Invalidate();
}

void TExtTabControl::SetTabInactiveColor(TColor value) {
  tabInactiveColor_ = value;
  Invalidate();
}

void TExtTabControl::SetTabWordWrap(bool value) {
  tabWordWrap_ = value;
  Invalidate();
}

void TExtTabControl::SetTabEnabled(int index, bool value) {
  if (value) disabledTabs_.erase(index);
  else disabledTabs_.insert(index);
  Invalidate();
}

// The inherited sizes run the other way for vertical tabs.
void TExtTabControl::ApplySizes() {
  const bool vertical = tabPosition_ == tabPosLeft || tabPosition_ == tabPosRight;
  TTabControl::SetTabHeight(vertical ? tabWidth_ : tabHeight_);
  TTabControl::SetTabWidth(vertical ? tabHeight_ : tabWidth_);
}

void TExtTabControl::SetTabHeight(int value) {
  tabHeight_ = std::max(0, value);
  ApplySizes();
}

void TExtTabControl::SetTabWidth(int value) {
  tabWidth_ = std::max(0, value);
  ApplySizes();
}

void TExtTabControl::SetTabPosition(TExtTabPosition value) {
  BeginTabUpdate();  // one repaint for the whole change
  const auto vertical = [](TExtTabPosition p) { return p == tabPosLeft || p == tabPosRight; };
  if (!vertical(tabPosition_) && vertical(value)) {
    // Vertical tabs need a size of their own: captions do not turn.
    if (tabHeight_ == 0) tabHeight_ = 35;
    if (tabWidth_ == 0) tabWidth_ = 70;
  }
  tabPosition_ = value;
  if (value != tabPosTop) tabStyle_ = tabStDefault;
  static constexpr TTabPosition kBase[] = {tpLeft, tpRight, tpTop, tpBottom};
  TTabControl::SetStyle(tabStyle_ == tabStButton ? tsButtons : tsTabs);
  TTabControl::SetTabPosition(kBase[value]);
  ApplySizes();
  EndTabUpdate();
}

void TExtTabControl::SetTabStyle(TExtTabStyle value) {
  tabStyle_ = value;
  if (value == tabStButton && tabPosition_ != tabPosTop) SetTabPosition(tabPosTop);
  TTabControl::SetStyle(value == tabStButton ? tsButtons : tsTabs);
}

void TExtTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const int tab = IndexOfTabAt(X, Y);
  if (Button == mbLeft && tab >= 0 && !TabEnabled(tab)) return;  // a disabled tab stays unchosen
  TTabControl::MouseDown(Button, Shift, X, Y);
}

void TExtTabControl::MouseMove(TShiftState Shift, int X, int Y) {
  TTabControl::MouseMove(Shift, X, Y);
  if (ShowHint() && !ComponentState().Contains(csDesigning)) ShowTabHint(IndexOfTabAt(X, Y));
}

void TExtTabControl::ShowTabHint(int tab) {
  if (tab == hintIndex_) return;
  if (hintIndex_ == -1) savedHint_ = Hint();
  hintIndex_ = tab;
  Application->CancelHint();
  SetHint(tab >= 0 && tab < tabHints_->Count() ? tabHints_->Strings(tab) : std::string());
}

void TExtTabControl::KeyDown(WORD& Key, TShiftState Shift) {
  // The arrow keys pass over no disabled tab: they stop before it.
  const WORD back = Vertical() ? VK_UP : VK_LEFT, next = Vertical() ? VK_DOWN : VK_RIGHT;
  if ((Key == back || Key == next) && !TabEnabled(TabIndex() + (Key == next ? 1 : -1))) {
    Key = 0;
    return;
  }
  TTabControl::KeyDown(Key, Shift);
}

void TExtTabControl::Dispatch(TMessage& m) {
  // Alt with a tab's mnemonic selects the first such tab.
  if (m.Msg == CM_DIALOGCHAR && CanFocus()) {
    for (int i = 0; i < Tabs()->Count(); ++i)
      if (IsAccel(char32_t(m.WParam), Tabs()->Strings(i))) {
        SetTabIndex(i);
        m.Result = 1;
        return;
      }
  }
  if (m.Msg == CM_HINTSHOW) {
    // A tab's hint appears just below the tab, wherever the mouse is on it.
    auto* info = reinterpret_cast<THintInfo*>(m.LParam);
    const int tab = IndexOfTabAt(info->CursorPos.x, info->CursorPos.y);
    if (tab >= 0) info->HintPos = ClientToScreen(TPoint{TabRect(tab).Left + 3, TabRect(tab).Bottom + 1});
  }
  if (m.Msg == CM_MOUSELEAVE && hintIndex_ != -1) {
    hintIndex_ = -1;
    SetHint(savedHint_);
  }
  TTabControl::Dispatch(m);
}

// ---- Drawing ----------------------------------------------------------------

void TExtTabControl::PaintContent() {
  if (paintLock_ > 0) return;
  TTabControl::PaintContent();
  TCanvas* c = Canvas();
  if (OnDrawBkgndInside) {
    const TRect page = DisplayRect();
    c->SetClipRect(page);
    OnDrawBkgndInside(this, c, TabIndex(), page);
    c->ResetClip();
  }
  if (OnDrawBkgndOutside) {
    c->SetClipRect(ClientRect());
    c->ExcludeClipRect(PageFrameRect());
    for (int i = 0; i < Tabs()->Count(); ++i) c->ExcludeClipRect(PaintedTabRect(i));
    c->Brush()->SetColor(Parent() ? Parent()->Color() : Color());
    OnDrawBkgndOutside(this, c, TabIndex(), ClientRect());
    c->ResetClip();
  }
}

void TExtTabControl::PaintTabFace(int index, const TRect& rect, bool active) {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(active ? tabActiveColor_ : tabInactiveColor_);
  c->FillRect(rect);
  c->Font()->Assign(active ? tabActiveFont_.get() : tabInactiveFont_.get());
  const TColor hot = active ? hottrack_->TabActiveColor() : hottrack_->TabInactiveColor();
  if (hottrack_->Enabled() && hot != clNone && index == HotIndex()) c->Font()->SetColor(hot);
  TOwnerDrawState state;
  if (active) state.Include(odSelected);
  if (!TabEnabled(index)) state.Include(odDisabled);
  const TRect fg = ForegroundRect(rect, active);
  if (OnDrawTab) OnDrawTab(this, index, active, fg, rect, state);
  else DrawTab(index, fg, state);
}

// Where a tab's face is drawn within its background: a default-style tab's
// text sits off its edges (unselected ones lie lower on the strip, the
// selected one reaches out of it); buttons take the whole rectangle.
TRect TExtTabControl::ForegroundRect(const TRect& background, bool active) const {
  TRect fg = background;
  if (tabStyle_ == tabStButton) return fg;
  if (!active) {
    if (tabPosition_ == tabPosTop) OffsetRect(fg, 0, 1);
    if (tabPosition_ == tabPosBottom) OffsetRect(fg, 0, -2);
    return fg;
  }
  if (tabPosition_ == tabPosLeft) OffsetRect(fg, -2, 0);
  if (tabPosition_ == tabPosRight) OffsetRect(fg, 2, 0);
  if (tabPosition_ == tabPosTop) OffsetRect(fg, 0, -1);
  return fg;
}

void TExtTabControl::DrawTab(int Index, const TRect& Rect, TOwnerDrawState State) {
  const std::string caption = Index >= 0 && Index < Tabs()->Count() ? Tabs()->Strings(Index) : "";
  const bool vertical = tabPosition_ == tabPosLeft || tabPosition_ == tabPosRight;
  TImageList* images = glyphs_->Images();
  const bool glyphs = images->Count() > 0;
  const bool disabled = State.Contains(odDisabled);
  if (!glyphs || disabled) {
    DrawTabFace(Rect, {vertical && !glyphs ? 8 : 0, 0}, disabled, !(vertical && !glyphs), caption);
    return;
  }
  const int W = images->Width(), H = images->Height(), spacing = glyphs_->Spacing();
  const int y = Rect.Top + (Rect.Height() - H) / 2;
  TCanvas* c = Canvas();
  if (glyphs_->Position() == glPosTop) {
    const TPoint at = DrawTabFace(Rect, {0, H + spacing}, false, true, caption);
    if (Index < images->Count()) images->Draw(c, Rect.Left + (Rect.Width() - W) / 2, at.y, Index);
  } else if (!vertical) {
    const TPoint at = DrawTabFace(Rect, {W + spacing, 0}, false, true, caption);
    if (Index < images->Count()) images->Draw(c, at.x, y, Index);
  } else {
    DrawTabFace(Rect, {W + 8 + spacing, 0}, false, false, caption);
    if (Index < images->Count()) images->Draw(c, Rect.Left + 8, y, Index);
  }
}

TPoint TExtTabControl::DrawTabFace(TRect r, TPoint offset, bool disabled, bool centred,
                                   const std::string& caption) {
  TCanvas* c = Canvas();
  const uint32_t format = (tabWordWrap_ ? DT_WORDBREAK : DT_SINGLELINE) | (centred ? DT_CENTER : 0);
  c->Brush()->SetStyle(bsClear);
  InflateRect(r, -2, -2);
  TRect text = r;
  text.Left += offset.x;
  text.Top += offset.y;
  TRect calc = text;
  DrawText(c, caption, calc, format | DT_CALCRECT);
  const int availH = text.Height(), availW = text.Width();
  const int h = std::min(calc.Height(), availH), w = std::min(calc.Width(), availW);
  text.Top += std::max(0, (availH - h) / 2);
  text.Bottom = text.Top + h;
  if (centred) text.Left = r.Left + offset.x + (r.Width() - w - offset.x) / 2;
  text.Right = text.Left + w;
  if (disabled) DrawDisabledText(c, caption, text, format);
  else DrawText(c, caption, text, format);
  c->Brush()->SetStyle(bsSolid);
  return {text.Left - offset.x, text.Top - offset.y};
}

PUBLISHED(TExtGlyphs) {
  PROP_OBJ(Glyph, Glyph, SetGlyph);
  PROP_INT(NumGlyphs, NumGlyphs, SetNumGlyphs, 0);
  PROP_ENUM(Position, Position, SetPosition, glPosLeft);
  PROP_INT(Spacing, Spacing, SetSpacing, 5);
  PROP_COLOR(TransparentColor, TransparentColor, SetTransparentColor, clFuchsia);
}

PUBLISHED(TExtHottrack) {
  PROP_BOOL(Enabled, Enabled, SetEnabled, false);
  PROP_COLOR(TabActiveColor, TabActiveColor, SetTabActiveColor, clHighlight);
  PROP_COLOR(TabInactiveColor, TabInactiveColor, SetTabInactiveColor, clHighlight);
}

// The owned hot tracking and glyphs are edited through their own properties.
// The tab sizes are the control's own (across and along the strip, whatever
// side it is on), written always, as the strips of the program set them.
PUBLISHED(TExtTabControl) {
  P.Obj("Hottrack", &Class::Hottrack, nullptr);
  PROP_COLOR(TabActiveColor, TabActiveColor, SetTabActiveColor, clBtnFace);
  PROP_OBJ(TabActiveFont, TabActiveFont, SetTabActiveFont);
  P.Obj("TabGlyphs", &Class::TabGlyphs, nullptr);
  PROP_INT(TabHeight, TabHeight, SetTabHeight, 0).NoDefault();
  PROP_OBJ(TabHints, TabHints, SetTabHints);
  PROP_COLOR(TabInactiveColor, TabInactiveColor, SetTabInactiveColor, RGB(160, 160, 164));
  PROP_OBJ(TabInactiveFont, TabInactiveFont, SetTabInactiveFont);
  PROP_ENUM(TabPosition, TabPosition, SetTabPosition, tabPosTop);
  PROP_ENUM(TabStyle, TabStyle, SetTabStyle, tabStDefault);
  PROP_INT(TabWidth, TabWidth, SetTabWidth, 0).NoDefault();
  PROP_BOOL(TabWordWrap, TabWordWrap, SetTabWordWrap, false);
  PROP_EVENT(OnDrawBkgndInside);
  PROP_EVENT(OnDrawBkgndOutside);
  PROP_EVENT(OnDrawTab);
}
