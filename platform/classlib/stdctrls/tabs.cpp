#include "platform/classlib/stdctrls/tabs.h"

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TCustomTabControl, TCustomControl)
IMPLEMENT_CLASS(TTabControl, TCustomTabControl)
IMPLEMENT_CLASS(TTabSheet, TCustomControl)
IMPLEMENT_CLASS(TPageControl, TCustomTabControl)
IMPLEMENT_CLASS(TTabSet, TCustomControl)
IMPLEMENT_CLASS(TPage, TCustomControl)
IMPLEMENT_CLASS(TNotebook, TCustomControl)

namespace {

// Room around a caption inside a tab, and between a picture and the caption.
constexpr int kCaptionMarginX = 6, kCaptionMarginY = 3, kPictureGap = 3;
// The selected tab grows by this much to the sides and outwards; the strip
// keeps the room for it.
constexpr int kGrow = 2;
// Button-style tabs stand apart by this much.
constexpr int kButtonGap = 3;
// The page frame (a raised edge) and the margin inside it.
constexpr int kPageInset = 4;

std::unique_ptr<TStringList> NewList(TNotifyEvent onChange) {
  auto list = std::make_unique<TStringList>();
  list->OnChange = std::move(onChange);
  return list;
}

}  // namespace

// ---- Tab control ---------------------------------------------------------------------

TCustomTabControl::TCustomTabControl(TComponent* AOwner)
    : TCustomControl(AOwner), tabs_(NewList([this](TObject*) { TabsChanged(); })) {
  SetControlStyle(TControlStyle{csAcceptsControls, csDoubleClicks, csClickEvents});
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
  SetColor(clBtnFace);
}

TCustomTabControl::~TCustomTabControl() = default;

void TCustomTabControl::TabsChanged() {
  if (tabIndex_ >= tabs_->Count()) tabIndex_ = tabs_->Count() - 1;
  if (tabIndex_ < 0 && tabs_->Count() > 0) tabIndex_ = 0;
  if (hotIndex_ >= tabs_->Count()) hotIndex_ = -1;
  Realign();
  Invalidate();
}

void TCustomTabControl::SetTabIndex(int value) {
  if (value < -1 || value >= tabs_->Count() || value == tabIndex_) return;
  tabIndex_ = value;
  Invalidate();
}

void TCustomTabControl::SetTabHeight(int value) {
  tabHeight_ = std::max(0, value);
  Realign();
  Invalidate();
}

void TCustomTabControl::SetTabWidth(int value) {
  tabWidth_ = std::max(0, value);
  Realign();
  Invalidate();
}

void TCustomTabControl::SetTabPosition(TTabPosition value) {
  tabPosition_ = value;
  Realign();
  Invalidate();
}

void TCustomTabControl::SetStyle(TTabStyle value) {
  style_ = value;
  Realign();
  Invalidate();
}

void TCustomTabControl::SetOwnerDraw(bool value) {
  ownerDraw_ = value;
  Invalidate();
}

void TCustomTabControl::SetHotTrack(bool value) {
  hotTrack_ = value;
  if (!value) SetHotIndex(-1);
}

void TCustomTabControl::SetImages(TCustomImageList* value) {
  if (images_) RemoveFreeNotification(images_);
  images_ = value;
  if (images_) FreeNotification(images_);
  Realign();
  Invalidate();
}

void TCustomTabControl::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) {
    images_ = nullptr;
    Invalidate();
  }
}

TSize TCustomTabControl::TabSize(int index) const {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  const TSize text = c->TextExtent(tabs_->Strings(index));
  int along = text.cx + 2 * kCaptionMarginX;
  int across = text.cy + 2 * kCaptionMarginY;
  if (images_) {
    along += images_->Width() + kPictureGap;
    across = std::max(across, images_->Height() + 2 * kCaptionMarginY);
  }
  if (tabWidth_ > 0) along = tabWidth_;
  if (tabHeight_ > 0) across = tabHeight_;
  return {along, across};
}

TCustomTabControl::Layout TCustomTabControl::ComputeLayout() const {
  Layout l;
  const TRect client = ClientRect();
  const bool buttons = style_ != tsTabs;
  int strip = 0;  // thickness of the strip
  int pos = kGrow;
  for (int i = 0; i < tabs_->Count(); ++i) {
    const TSize s = TabSize(i);
    strip = std::max(strip, s.cy);
    TRect r;
    switch (tabPosition_) {
      case tpTop: r = Rect(pos, kGrow, pos + s.cx, kGrow + s.cy); break;
      case tpBottom: r = Rect(pos, client.Bottom - kGrow - s.cy, pos + s.cx, client.Bottom - kGrow); break;
      case tpLeft: r = Rect(kGrow, pos, kGrow + s.cy, pos + s.cx); break;
      case tpRight: r = Rect(client.Right - kGrow - s.cy, pos, client.Right - kGrow, pos + s.cx); break;
    }
    l.tabs.push_back(r);
    pos += s.cx + (buttons ? kButtonGap : 0);
  }
  l.page = client;
  const int taken = tabs_->Count() ? strip + kGrow : 0;
  switch (tabPosition_) {
    case tpTop: l.page.Top += taken; break;
    case tpBottom: l.page.Bottom -= taken; break;
    case tpLeft: l.page.Left += taken; break;
    case tpRight: l.page.Right -= taken; break;
  }
  return l;
}

int TCustomTabControl::IndexOfTabAt(int X, int Y) const {
  const Layout l = ComputeLayout();
  // The selected tab, grown, lies over its neighbours.
  if (tabIndex_ >= 0 && style_ == tsTabs) {
    TRect r = l.tabs[size_t(tabIndex_)];
    InflateRect(r, kGrow, kGrow);
    if (PtInRect(r, {X, Y}) && !PtInRect(l.page, {X, Y})) return tabIndex_;
  }
  for (size_t i = 0; i < l.tabs.size(); ++i)
    if (PtInRect(l.tabs[i], {X, Y})) return int(i);
  return -1;
}

TRect TCustomTabControl::TabRect(int index) const {
  if (index < 0 || index >= tabs_->Count()) return TRect{};
  return ComputeLayout().tabs[size_t(index)];
}

TRect TCustomTabControl::PaintedTabRect(int index) const {
  if (index < 0 || index >= tabs_->Count()) return TRect{};
  return GrownTab(ComputeLayout(), index);
}

TRect TCustomTabControl::GrownTab(const Layout& l, int i) const {
  TRect r = l.tabs[size_t(i)];
  if (style_ != tsTabs || i != tabIndex_) return r;
  // The selected tab grows and covers the page frame under it.
  InflateRect(r, kGrow, kGrow);
  switch (tabPosition_) {
    case tpTop: r.Bottom = l.tabs[size_t(i)].Bottom + 1; break;
    case tpBottom: r.Top = l.tabs[size_t(i)].Top - 1; break;
    case tpLeft: r.Right = l.tabs[size_t(i)].Right + 1; break;
    case tpRight: r.Left = l.tabs[size_t(i)].Left - 1; break;
  }
  return r;
}

TRect TCustomTabControl::DisplayRect() const {
  TRect r = ComputeLayout().page;
  InflateRect(r, -kPageInset, -kPageInset);
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

void TCustomTabControl::AdjustClientRect(TRect& rect) { rect = DisplayRect(); }

// ---- Changing tabs -------------------------------------------------------------------

bool TCustomTabControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TCustomTabControl::Change() {
  if (OnChange) OnChange(this);
}

bool TCustomTabControl::SelectByUser(int index) {
  if (index < 0 || index >= tabs_->Count() || index == tabIndex_) return false;
  const auto alive = Lifetime();
  if (!CanChange() || alive.expired()) return false;
  SetTabIndex(index);
  Change();
  return true;
}

void TCustomTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    const int index = IndexOfTabAt(X, Y);
    if (index >= 0) {
      if (CanFocus() && !Focused()) SetFocus();
      SelectByUser(index);
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTabControl::SetHotIndex(int value) {
  if (value == hotIndex_) return;
  hotIndex_ = value;
  Invalidate();
}

void TCustomTabControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (hotTrack_) SetHotIndex(IndexOfTabAt(X, Y));
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomTabControl::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const WORD back = Vertical() ? VK_UP : VK_LEFT;
  const WORD next = Vertical() ? VK_DOWN : VK_RIGHT;
  if (Key == back || Key == next) {
    SelectByUser(tabIndex_ + (Key == next ? 1 : -1));
    Key = 0;
  }
}

// Answers the tab window's messages; false for other messages.
bool TCustomTabControl::TabMessage(TMessage& m) {
  switch (m.Msg) {
    case TCM_GETITEMCOUNT: m.Result = tabs_->Count(); return true;
    case TCM_GETCURSEL: m.Result = tabIndex_; return true;
    case TCM_SETCURSEL: {
      const int old = tabIndex_;
      SetTabIndex(int(m.WParam));
      m.Result = old;
      return true;
    }
    case TCM_HITTEST: {
      const auto* info = reinterpret_cast<const TTCHitTestInfo*>(m.LParam);
      m.Result = info ? IndexOfTabAt(info->pt.x, info->pt.y) : -1;
      return true;
    }
    case TCM_GETITEMRECT: {
      const int index = int(m.WParam);
      m.Result = index >= 0 && index < tabs_->Count() && m.LParam;
      if (m.Result) *reinterpret_cast<TRect*>(m.LParam) = TabRect(index);
      return true;
    }
    case TCM_ADJUSTRECT: {
      // The display area keeps these insets from the client area.
      auto* r = reinterpret_cast<TRect*>(m.LParam);
      if (!r) return true;
      const TRect client = ClientRect(), display = DisplayRect();
      const int sign = m.WParam ? -1 : 1;
      r->Left += sign * (display.Left - client.Left);
      r->Top += sign * (display.Top - client.Top);
      r->Right -= sign * (client.Right - display.Right);
      r->Bottom -= sign * (client.Bottom - display.Bottom);
      return true;
    }
    default: return false;
  }
}

void TCustomTabControl::Dispatch(TMessage& m) {
  if (TabMessage(m)) return;
  switch (m.Msg) {
    case CM_MOUSELEAVE:
      SetHotIndex(-1);
      break;
    case CM_FONTCHANGED:
      Realign();
      break;
    case WM_SIZE:
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

// ---- Looks ---------------------------------------------------------------------------

void TCustomTabControl::PaintContent() {
  TCanvas* c = Canvas();
  const Layout l = ComputeLayout();
  c->Brush()->SetStyle(bsSolid);
  // Around the tabs the parent shows through; the page is the control's colour.
  c->Brush()->SetColor(Parent() ? Parent()->Color() : Color());
  c->FillRect(ClientRect());
  c->Brush()->SetColor(Color());
  TRect page = l.page;
  c->FillRect(page);
  if (style_ == tsTabs) DrawEdge(c, page, EDGE_RAISED, BF_RECT);
  // Sides of a tab that carry an edge: all but the one on the page.
  uint32_t sides = BF_RECT;
  switch (tabPosition_) {
    case tpTop: sides &= ~BF_BOTTOM; break;
    case tpBottom: sides &= ~BF_TOP; break;
    case tpLeft: sides &= ~BF_RIGHT; break;
    case tpRight: sides &= ~BF_LEFT; break;
  }
  auto paintTab = [&](int i) {
    const bool active = i == tabIndex_;
    TRect r = GrownTab(l, i);
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    if (style_ == tsTabs) DrawEdge(c, r, EDGE_RAISED, sides | BF_ADJUST);
    else if (style_ == tsButtons || active)
      DrawEdge(c, r, active ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    c->SetFont(Font());
    c->Brush()->SetColor(Color());
    if (hotTrack_ && i == hotIndex_) c->Font()->SetColor(clHighlight);
    PaintTabFace(i, r, active);
    if (active && Focused()) {
      TRect focus = r;
      InflateRect(focus, -1, -1);
      c->DrawFocusRect(focus);
    }
  };
  for (int i = 0; i < tabs_->Count(); ++i)
    if (i != tabIndex_) paintTab(i);
  if (tabIndex_ >= 0) paintTab(tabIndex_);
}

void TCustomTabControl::PaintTabFace(int index, const TRect& rect, bool active) {
  if (ownerDraw_) {
    DrawTab(index, rect, active);
    return;
  }
  TCanvas* c = Canvas();
  TRect text = rect;
  if (images_ && index < images_->Count()) {
    const TSize caption = c->TextExtent(tabs_->Strings(index));
    const int w = images_->Width() + kPictureGap + caption.cx;
    const int x = rect.Left + (rect.Width() - w) / 2;
    images_->Draw(c, x, rect.Top + (rect.Height() - images_->Height()) / 2, index, Enabled());
    text.Left = x + images_->Width() + kPictureGap;
    text.Right = text.Left + caption.cx;
  }
  c->Brush()->SetStyle(bsClear);
  constexpr uint32_t flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (!Enabled()) DrawDisabledText(c, tabs_->Strings(index), text, flags);
  else DrawText(c, tabs_->Strings(index), text, flags);
}

void TCustomTabControl::DrawTab(int TabIndex, const TRect& Rect, bool Active) {
  if (OnDrawTab) OnDrawTab(this, TabIndex, Rect, Active);
}

PUBLISHED(TCustomTabControl) {
  PROP_OBJ(Tabs, Tabs, SetTabs);
  PROP_INT(TabIndex, TabIndex, SetTabIndex, -1);
  PROP_INT(TabHeight, TabHeight, SetTabHeight, 0);
  PROP_INT(TabWidth, TabWidth, SetTabWidth, 0);
  PROP_ENUM(TabPosition, TabPosition, SetTabPosition, tpTop);
  PROP_ENUM(Style, Style, SetStyle, tsTabs);
  PROP_BOOL(OwnerDraw, OwnerDraw, SetOwnerDraw, false);
  PROP_BOOL(HotTrack, HotTrack, SetHotTrack, false);
  PROP_DEFAULT(Color, clBtnFace);
  PROP_DEFAULT(TabStop, true);
  PROP_EVENT(OnChanging);
  PROP_EVENT(OnChange);
  PROP_EVENT(OnDrawTab);
}

// ---- Page control --------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csDoubleClicks, csClickEvents});
  SetAlign(alClient);
  SetColor(clBtnFace);
  InitVisible(false);
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetParent(TWinControl* AParent) {
  auto* pc = dynamic_cast<TPageControl*>(AParent);
  if (pageControl_ && pageControl_ != pc) pageControl_->RemovePage(this);
  TCustomControl::SetParent(AParent);
  if (pc && pageControl_ != pc) pc->InsertPage(this);
}

void TTabSheet::SetPageControl(TPageControl* value) { SetParent(value); }

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return int(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int value) {
  if (!pageControl_) return;
  auto& pages = pageControl_->pages_;
  value = std::clamp(value, 0, int(pages.size()) - 1);
  pages.erase(pages.begin() + PageIndex());
  pages.insert(pages.begin() + value, this);
  pageControl_->UpdateTabs();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int n = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return n;
    if (p->tabVisible_) ++n;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool value) {
  if (tabVisible_ == value) return;
  tabVisible_ = value;
  if (pageControl_) pageControl_->UpdateTabs();
}

void TTabSheet::SetImageIndex(int value) {
  imageIndex_ = value;
  if (pageControl_) pageControl_->Invalidate();
}

void TTabSheet::Dispatch(TMessage& m) {
  TCustomControl::Dispatch(m);
  if (m.Msg == CM_TEXTCHANGED && pageControl_) pageControl_->UpdateTabs();
}

PUBLISHED(TTabSheet) {
  PROP_BOOL(TabVisible, TabVisible, SetTabVisible, true);
  PROP_INT(ImageIndex, ImageIndex, SetImageIndex, -1);
  PROP_INT(PageIndex, PageIndex, SetPageIndex, 0);
}

TPageControl::TPageControl(TComponent* AOwner) : TCustomTabControl(AOwner) {}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  UpdateTabs();
  if (!activePage_ && page->TabVisible()) SetActivePage(page);
  else page->SetVisible(page == activePage_);
}

void TPageControl::RemovePage(TTabSheet* page) {
  // The next page whose tab shows takes over from a removed active one.
  TTabSheet* next = page == activePage_ ? FindNextPage(page, true, true) : activePage_;
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  page->pageControl_ = nullptr;
  if (next == page) next = nullptr;
  activePage_ = nullptr;
  UpdateTabs();
  SetActivePage(next);
}

void TPageControl::UpdateTabs() {
  updating_ = true;
  Tabs()->BeginUpdate();
  Tabs()->Clear();
  for (TTabSheet* p : pages_)
    if (p->TabVisible()) Tabs()->Add(p->Caption());
  Tabs()->EndUpdate();
  updating_ = false;
  // A page whose tab went away is no longer the one shown.
  if (activePage_ && !activePage_->TabVisible()) {
    TTabSheet* next = FindNextPage(activePage_, true, true);
    SetActivePage(next == activePage_ ? nullptr : next);
    return;
  }
  SetTabIndex(activePage_ ? activePage_->TabIndex() : -1);
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->PageControl() != this) return;
  activePage_ = page;
  SetTabIndex(page ? page->TabIndex() : -1);
  ShowActivePage();
}

void TPageControl::ShowActivePage() {
  for (TTabSheet* p : pages_) p->SetVisible(p == activePage_);
  if (activePage_) activePage_->BringToFront();
  Realign();
}

int TPageControl::ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int value) {
  SetActivePage(value >= 0 && value < PageCount() ? pages_[size_t(value)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  if (pages_.empty()) return nullptr;
  const int n = int(pages_.size());
  int start = current ? current->PageIndex() : -1;
  if (start < 0 || start >= n) start = goForward ? n - 1 : 0;
  for (int k = 1; k <= n; ++k) {
    TTabSheet* p = pages_[size_t(((start + (goForward ? k : -k)) % n + n) % n)];
    if (!checkTabVisible || p->TabVisible()) return p;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward) {
  TTabSheet* next = FindNextPage(activePage_, goForward, true);
  if (next && next != activePage_) SelectByUser(next->TabIndex());
}

void TPageControl::Change() {
  // The tab the user chose brings its page.
  for (TTabSheet* p : pages_)
    if (p->TabIndex() == TabIndex() && p->TabVisible()) {
      activePage_ = p;
      ShowActivePage();
      break;
    }
  TCustomTabControl::Change();
}

void TPageControl::Dispatch(TMessage& m) {
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from any control on them.
  if (m.Msg == CM_DIALOGKEY && WORD(m.WParam) == VK_TAB) {
    const TShiftState shift = TShiftState::FromBits(uint64_t(m.LParam));
    if (shift.Contains(ssCtrl)) {
      SelectNextPage(!shift.Contains(ssShift));
      m.Result = 1;
      return;
    }
  }
  TCustomTabControl::Dispatch(m);
}

// ---- Tab set -------------------------------------------------------------------------

TTabSet::TTabSet(TComponent* AOwner)
    : TCustomControl(AOwner), tabs_(NewList([this](TObject*) {
        if (tabIndex_ >= tabs_->Count()) tabIndex_ = tabs_->Count() - 1;
        Invalidate();
      })) {
  SetControlStyle(TControlStyle{csCaptureMouse, csDoubleClicks, csClickEvents});
  SetBounds(0, 0, 185, 21);
}

TTabSet::~TTabSet() = default;

TRect TTabSet::ItemRect(int index) const {
  if (index < 0 || index >= tabs_->Count()) return TRect{};
  TCanvas* c = Canvas();
  c->SetFont(Font());
  int x = startMargin_;
  for (int i = 0; i < index; ++i) x += c->TextWidth(StripHotkey(tabs_->Strings(i))) + 2 * kCaptionMarginX;
  const int w = c->TextWidth(StripHotkey(tabs_->Strings(index))) + 2 * kCaptionMarginX;
  return Rect(x, 0, x + w, ClientHeight() - 1);
}

int TTabSet::ItemAtPos(TPoint pos) const {
  for (int i = 0; i < tabs_->Count(); ++i)
    if (PtInRect(ItemRect(i), pos)) return i;
  return -1;
}

void TTabSet::SetTabIndex(int value) {
  if (value < -1 || value >= tabs_->Count() || value == tabIndex_) return;
  bool allow = true;
  const auto alive = Lifetime();
  if (OnChange) OnChange(this, value, allow);
  if (!allow || alive.expired()) return;
  tabIndex_ = value;
  Invalidate();
  Click();
}

void TTabSet::SetSelectedColor(TColor value) {
  selectedColor_ = value;
  Invalidate();
}

void TTabSet::SetUnselectedColor(TColor value) {
  unselectedColor_ = value;
  Invalidate();
}

void TTabSet::SetBackgroundColor(TColor value) {
  backgroundColor_ = value;
  Invalidate();
}

void TTabSet::SetStartMargin(int value) {
  startMargin_ = std::max(0, value);
  Invalidate();
}

void TTabSet::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) SetTabIndex(ItemAtPos({X, Y}));
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TTabSet::Dispatch(TMessage& m) {
  // Alt with a tab's mnemonic selects that tab.
  if (m.Msg == CM_DIALOGCHAR && Enabled() && Showing()) {
    for (int i = 0; i < tabs_->Count(); ++i)
      if (IsAccel(char32_t(m.WParam), tabs_->Strings(i))) {
        SetTabIndex(i);
        m.Result = 1;
        return;
      }
  }
  TCustomControl::Dispatch(m);
}

void TTabSet::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(backgroundColor_);
  c->FillRect(ClientRect());
  // The line the tabs hang from; the selected tab opens it.
  c->Pen()->SetColor(clWindowFrame);
  c->MoveTo(0, 0);
  c->LineTo(ClientWidth(), 0);
  c->SetFont(Font());
  for (int i = 0; i < tabs_->Count(); ++i) {
    const bool active = i == tabIndex_;
    TRect r = ItemRect(i);
    c->Brush()->SetColor(active ? selectedColor_ : unselectedColor_);
    c->Pen()->SetColor(clWindowFrame);
    c->Polygon({{r.Left, r.Top}, {r.Left + 3, r.Bottom}, {r.Right - 3, r.Bottom}, {r.Right, r.Top}});
    if (active) {
      c->Pen()->SetColor(selectedColor_);
      c->MoveTo(r.Left + 1, 0);
      c->LineTo(r.Right, 0);
    }
    c->Brush()->SetStyle(bsClear);
    DrawText(c, tabs_->Strings(i), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    c->Brush()->SetStyle(bsSolid);
  }
}

PUBLISHED(TTabSet) {
  PROP_OBJ(Tabs, Tabs, SetTabs);
  PROP_INT(TabIndex, TabIndex, SetTabIndex, -1);
  PROP_INT(StartMargin, StartMargin, SetStartMargin, 5);
  PROP_EVENT(OnChange);
}

// ---- Notebook ------------------------------------------------------------------------

TPage::TPage(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csDoubleClicks, csClickEvents});
  SetAlign(alClient);
  InitVisible(false);
}

TNotebook::TNotebook(TComponent* AOwner)
    : TCustomControl(AOwner), pages_(NewList([this](TObject*) { PagesChanged(); })) {
  SetControlStyle(TControlStyle{csAcceptsControls, csDoubleClicks, csClickEvents});
  SetBounds(0, 0, 150, 150);
  pages_->Add("Default");
}

TNotebook::~TNotebook() { pages_->OnChange = nullptr; }

// Each name keeps its page (and the controls on it); new names get new pages
// and pages whose names went are freed.
void TNotebook::PagesChanged() {
  std::vector<TPage*> old = pageControls_;
  std::vector<TPage*> now;
  for (int i = 0; i < pages_->Count(); ++i) {
    auto same = std::find_if(old.begin(), old.end(),
                             [&](TPage* p) { return p && p->Caption() == pages_->Strings(i); });
    TPage* page = nullptr;
    if (same != old.end()) {
      page = *same;
      *same = nullptr;
    } else {
      page = new TPage(this);
      page->SetCaption(pages_->Strings(i));
      page->SetParent(this);
    }
    now.push_back(page);
  }
  TPage* shown = pageIndex_ >= 0 && pageIndex_ < int(pageControls_.size()) ? pageControls_[size_t(pageIndex_)] : nullptr;
  for (TPage* p : old) delete p;
  pageControls_ = now;
  auto at = std::find(now.begin(), now.end(), shown);
  pageIndex_ = -1;
  SetPageIndex(at != now.end() ? int(at - now.begin()) : (now.empty() ? -1 : 0));
}

TPage* TNotebook::Page(int index) const {
  return index >= 0 && index < int(pageControls_.size()) ? pageControls_[size_t(index)] : nullptr;
}

void TNotebook::SetPageIndex(int value) {
  if (value < 0 || value >= int(pageControls_.size()) || value == pageIndex_) return;
  pageIndex_ = value;
  for (size_t i = 0; i < pageControls_.size(); ++i) pageControls_[i]->SetVisible(int(i) == value);
  if (OnPageChanged) OnPageChanged(this);
}

std::string TNotebook::ActivePage() const {
  return pageIndex_ >= 0 ? pages_->Strings(pageIndex_) : std::string();
}

void TNotebook::SetActivePage(const std::string& name) { SetPageIndex(pages_->IndexOf(name)); }

PUBLISHED(TNotebook) {
  PROP_OBJ(Pages, Pages, SetPages);
  PROP_INT(PageIndex, PageIndex, SetPageIndex, 0);
  PROP_STR(ActivePage, ActivePage, SetActivePage, "");
  PROP_EVENT(OnPageChanged);
}
