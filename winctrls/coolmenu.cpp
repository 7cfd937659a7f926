#include "winctrls/coolmenu.h"

#include <algorithm>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/drawing.h"
#include "winctrls/emboss.h"

IMPLEMENT_CLASS(TCoolMenuItem, TComponent)
IMPLEMENT_CLASS(TCoolMenu, TComponent)
IMPLEMENT_CLASS(TCoolMenuBar, TPersistent)
IMPLEMENT_CLASS(TShadowText, TPersistent)

namespace {

// The check and radio marks drawn over a checked item's picture, on a
// background of their own transparent colour.
constexpr TColor kMarkTransparent = TColor(0x000080);
constexpr int kMarkSize = 16;

std::unique_ptr<TBitmap> MarkBitmap(bool radio) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(kMarkSize, kMarkSize);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(kMarkTransparent);
  c->FillRect(Rect(0, 0, kMarkSize, kMarkSize));
  c->Brush()->SetColor(clBlack);
  c->Pen()->SetColor(clBlack);
  if (radio) {
    c->Ellipse(5, 5, 11, 11);
  } else {
    // A tick, three pixels thick.
    for (int i = 0; i < 3; ++i) {
      c->MoveTo(4, 7 + i);
      c->LineTo(6, 9 + i);
      c->LineTo(11, 4 + i);
    }
  }
  b->SetTransparentColor(kMarkTransparent);
  return b;
}

// Tiles of the picture from the rectangle's top-left, cut at its edges.
void Tile(TCanvas* c, const TRect& r, TBitmap* picture) {
  const int w = picture->Width(), h = picture->Height();
  if (w <= 0 || h <= 0) return;
  for (int y = r.Top; y < r.Bottom; y += h)
    for (int x = r.Left; x < r.Right; x += w) {
      const int cw = std::min(w, r.Right - x), ch = std::min(h, r.Bottom - y);
      c->CopyRect(Bounds(x, y, cw, ch), picture->Canvas(), Rect(0, 0, cw, ch));
    }
}

TColor InverseColor(TColor color) {
  const TColor c = ColorToRGB(color);
  return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c));
}

bool Horizontal(TAlign a) { return a == alLeft || a == alRight; }

void DrawShadowText(TCanvas* c, const TShadowText& s, const std::string& text, bool selected,
                    TRect r) {
  const bool plain = !s.Active || (selected && s.Options.Contains(soNoShadowIfSel)) ||
                     (!selected && s.Options.Contains(soNoShadowIfNormal));
  if (plain) {
    DrawText(c, text, r, DT_NOCLIP);
    return;
  }
  const int size = selected ? s.SelShadowSize : s.ShadowSize;
  const TShadowPosition pos = selected ? s.SelShadowPos : s.ShadowPos;
  TRect t = r, sh = r;
  switch (pos) {
    case spLeftTop: OffsetRect(t, size, size); break;
    case spLeftBottom: OffsetRect(t, size, 0); OffsetRect(sh, 0, size); break;
    case spRightBottom: OffsetRect(sh, size, size); break;
    case spRightTop: OffsetRect(t, 0, size); OffsetRect(sh, size, 0); break;
  }
  const TColor textColor = c->Font()->Color();
  c->Font()->SetColor(selected ? s.SelShadowColor : s.ShadowColor);
  DrawText(c, text, sh, DT_NOCLIP);
  c->Font()->SetColor(textColor);
  DrawText(c, text, t, DT_NOCLIP);
}

void RoundBevel(TCanvas* c, const TRect& r, TColor fill, TBevelCut outer, TBevelCut inner) {
  constexpr int kCorner = 18;
  c->Brush()->SetStyle(bsClear);
  auto round = [&](TColor color, int l, int t, int rr, int b) {
    c->Pen()->SetColor(color);
    c->RoundRect(l, t, rr, b, kCorner, kCorner);
  };
  if (inner == bvRaised) round(clBtnHighlight, r.Left, r.Top, r.Right - 2, r.Bottom - 2);
  if (inner == bvLowered) round(clBtnShadow, r.Left, r.Top, r.Right - 2, r.Bottom - 2);
  if (outer == bvLowered) round(clBtnHighlight, r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  if (outer == bvRaised) round(clBtnShadow, r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  round(fill, r.Left + 1, r.Top + 1, r.Right - 2, r.Bottom - 2);
  c->Brush()->SetStyle(bsSolid);
}

uint32_t EdgeOf(TBevelCut inner, TBevelCut outer) {
  uint32_t e = 0;
  if (inner == bvLowered) e |= BDR_SUNKENINNER;
  if (inner == bvRaised) e |= BDR_RAISEDINNER;
  if (outer == bvLowered) e |= BDR_SUNKENOUTER;
  if (outer == bvRaised) e |= BDR_RAISEDOUTER;
  return e;
}

}  // namespace

// ---- Side bar and shadow ----------------------------------------------------

void TCoolMenuBar::Assign(const TPersistent* source) {
  const auto* bar = As<TCoolMenuBar>(source);
  if (!bar) return TPersistent::Assign(source);
  Caption = bar->Caption;
  Size = bar->Size;
  Space = bar->Space;
  BackFrom = bar->BackFrom;
  BackTo = bar->BackTo;
  Fore = bar->Fore;
  IsSerif = bar->IsSerif;
  IsGradient = bar->IsGradient;
  IsSeparator = bar->IsSeparator;
  CaptionAlign = bar->CaptionAlign;
}

void TShadowText::Assign(const TPersistent* source) {
  const auto* shadow = As<TShadowText>(source);
  if (!shadow) return TPersistent::Assign(source);
  Active = shadow->Active;
  ShadowColor = shadow->ShadowColor;
  SelShadowColor = shadow->SelShadowColor;
  ShadowSize = shadow->ShadowSize;
  SelShadowSize = shadow->SelShadowSize;
  ShadowPos = shadow->ShadowPos;
  SelShadowPos = shadow->SelShadowPos;
  Options = shadow->Options;
}

// ---- TCoolMenuItem ----------------------------------------------------------

TCoolMenuItem::TCoolMenuItem(TComponent* AOwner)
    : TComponent(AOwner),
      font_(std::make_unique<TFont>()),
      picture_(std::make_unique<TPicture>()),
      disabledPicture_(std::make_unique<TPicture>()) {}

TCoolMenuItem::~TCoolMenuItem() { SetCoolMenu(nullptr); }

void TCoolMenuItem::SetCoolMenu(TCoolMenu* value) {
  if (value == coolMenu_) return;
  if (coolMenu_) {
    coolMenu_->RefreshItems(this, RA_RESTORE);
    auto& list = coolMenu_->items_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  coolMenu_ = value;
  if (value) value->items_.push_back(this);
}

void TCoolMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // The menu may be half-way through its destruction: it is not touched, and
  // its hooks, which find no drawn item for it any more, draw nothing.
  if (AComponent == menuItem_ || AComponent == menu_) drawn_ = false;
  if (AComponent == menuItem_) menuItem_ = nullptr;
  if (AComponent == menu_) menu_ = nullptr;
}

void TCoolMenuItem::SetMenuItem(TMenuItem* value) {
  if (menuItem_ && coolMenu_) coolMenu_->RefreshItems(this, RA_RESTORE);
  menuItem_ = value;
  if (!value) return;
  value->FreeNotification(this);
  if (TMenu* m = value->GetParentMenu()) {
    menu_ = m;
    m->FreeNotification(this);
  }
  if (coolMenu_ && coolMenu_->Active()) coolMenu_->RefreshItems(this, RA_REFRESH);
}

void TCoolMenuItem::SetMenu(TMenu* value) {
  if (value == menu_) return;
  if (menu_ && menuItem_ && coolMenu_) coolMenu_->RefreshItems(this, RA_RESTORE);
  menu_ = value;
  if (value) value->FreeNotification(this);
  if (coolMenu_ && coolMenu_->Active()) coolMenu_->RefreshItems(this, RA_REFRESH);
}

void TCoolMenuItem::SetPicture(const TGraphic* graphic) {
  picture_->SetGraphic(graphic);
  if (auto* b = dynamic_cast<TBitmap*>(picture_->Graphic()); b && !b->Empty())
    TrColor = b->Canvas()->Pixels(0, b->Height() - 1);
}

void TCoolMenuItem::CheckOptions(TMenuOptions options, TAlign align) const {
  // Painting leaves the image area alone only beside the caption; refused
  // here rather than failing half-way through drawing the item.
  if (options.Contains(omNoHighlightImage) && !Horizontal(align))
    throw Exception("Advanced features available only for horisontal aligned items");
}

void TCoolMenuItem::SetOptions(TMenuOptions value) {
  CheckOptions(value, textAlign_);
  const TMenuOptions layoutBits{omRightJustified, omNoImageAttached};
  const bool relayout = coolMenu_ && ((value * layoutBits) != TMenuOptions{} ||
                                      (options_ * layoutBits) != TMenuOptions{});
  options_ = value;
  if (relayout) {
    if (value.Contains(omNoImageAttached)) coolMenu_->SetHSpace(3);
    coolMenu_->RefreshItems(this, RA_REFRESHWITHBAR);
  }
}

void TCoolMenuItem::CheckAlign(TAlign align) {
  if (align != alTop && align != alBottom && align != alLeft && align != alRight)
    throw EInvalidOperation("A menu item's caption goes above, below, left or right of its image");
}

void TCoolMenuItem::SetTextAlign(TAlign value) {
  CheckAlign(value);
  CheckOptions(options_, value);
  textAlign_ = value;
}

void TCoolMenuItem::SetImageIndex(int value) {
  // Both lists are checked before either picture changes.
  for (TCustomImageList* list : {coolMenu_ ? coolMenu_->images_ : nullptr,
                                 coolMenu_ ? coolMenu_->disabledImages_ : nullptr})
    if (list && (value < 0 || value > list->Count() - 1)) throw Exception("Index out of bounds");
  if (coolMenu_) coolMenu_->GiveImage(this, value, coolMenu_->images_, coolMenu_->disabledImages_);
  imageIndex_ = value;
}

TComponent* TCoolMenuItem::GetParentComponent() const { return coolMenu_; }

void TCoolMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* cool = dynamic_cast<TCoolMenu*>(parent)) SetCoolMenu(cool);
}

// ---- TCoolMenu --------------------------------------------------------------

void TCoolMenu::GetChildren(const TGetChildProc& proc, TComponent*) {
  for (TCoolMenuItem* item : std::vector<TCoolMenuItem*>(items_)) proc(item);
}

TCoolMenu::TCoolMenu(TComponent* AOwner)
    : TComponent(AOwner),
      menuBar_(std::make_unique<TCoolMenuBar>()),
      wallpaper_(std::make_unique<TBitmap>()),
      selWallpaper_(std::make_unique<TBitmap>()),
      bar_(std::make_unique<TBitmap>()) {}

TCoolMenu::~TCoolMenu() {
  PopupClosed();  // a cursor shown for an open menu goes
  // Menus and items still alive lose their hooks, which point here.
  for (TCoolMenuItem* item : items_)
    if (item->drawn_ && item->IsLinked()) DrawItem(item, false);
  for (const auto& [m, id] : std::vector(hooked_)) Unhook(m);
  for (TCoolMenuItem* item : std::vector<TCoolMenuItem*>(items_)) item->coolMenu_ = nullptr;
}

TCoolMenuItem* TCoolMenu::Item(int index) const {
  if (index < 0 || index >= ItemCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[size_t(index)];
}

void TCoolMenu::Loaded() {
  TComponent::Loaded();
  if (active_) RefreshItems(nullptr, RA_REFRESH);
}

void TCoolMenu::SetActive(bool value) {
  RefreshItems(nullptr, value ? RA_REFRESH : RA_RESTORE);
  active_ = value;
}

void TCoolMenu::SetShowBar(bool value) {
  showBar_ = value;
  if (!value) bar_->SetSize(0, 0);
  if (active_) RefreshItems(nullptr, RA_REFRESH);
}

void TCoolMenu::SetHSpace(int value) { hSpace_ = std::clamp(value, 0, 5); }
void TCoolMenu::SetVSpace(int value) { vSpace_ = std::clamp(value, 0, 5); }

void TCoolMenu::SetMenuBar(const TCoolMenuBar& value) {
  menuBar_->Assign(&value);
  bar_->SetSize(0, 0);  // rendered again at the next measure
  if (active_) RefreshItems(nullptr, RA_REFRESH);
}

TCoolMenuItem* TCoolMenu::ItemOf(const TMenuItem* menuItem) const {
  for (TCoolMenuItem* item : items_)
    if (item->drawn_ && item->IsLinked() && item->menuItem_ == menuItem) return item;
  return nullptr;
}

// Another component may hook the same menu: each takes its turn in the
// menu's chain of hooks and hands on what it does not answer.
void TCoolMenu::Hook(TMenu* menu) {
  if (std::any_of(hooked_.begin(), hooked_.end(), [menu](const auto& h) { return h.first == menu; }))
    return;
  menu->FreeNotification(this);
  const int id = menu->AddMenuHooks({
      [this](TMenuItem* parent) { PopupOpening(parent); },
      [this](TMenuItem* mi) { return ItemSelected(mi); },
      [this](TMenuItem* mi) { return HelpRequested(mi); },
      [this] { PopupClosed(); },
      [this](TMenuItem* parent, char32_t ch) { return MenuChar(parent, ch); },
  });
  hooked_.emplace_back(menu, id);
}

// The first item of the popup whose caption's mnemonic (its first letter
// when it has none; "&&" is a plain "&") is the one typed, whatever the case.
TMenuItem* TCoolMenu::MenuChar(TMenuItem* parent, char32_t ch) const {
  if (!active_) return nullptr;
  const auto answers = [ch](const std::string& caption) {
    if (GetMnemonic(caption) != 0) return IsAccel(ch, caption);
    const std::string shown = StripHotkey(caption);
    std::size_t at = 0;  // an empty caption never answers
    return !shown.empty() && UnicodeFold(Utf8Decode(shown, at)) == UnicodeFold(ch);
  };
  for (const TCoolMenuItem* item : items_)
    if (item->drawn_ && item->IsLinked() && item->menuItem_->Parent() == parent &&
        answers(item->menuItem_->Caption()))
      return item->menuItem_;
  return nullptr;
}

// Only the described items are drawn here: the menu's other items keep
// their plain looks (a sub-menu's arrow, a line).
void TCoolMenu::DrawItem(TCoolMenuItem* item, bool drawn) {
  item->drawn_ = drawn;
  TMenuItem* mi = item->menuItem_;
  if (!drawn) {
    mi->OnMeasureItem = nullptr;
    mi->OnAdvancedDrawItem = nullptr;
    return;
  }
  mi->OnMeasureItem = [this, mi](TObject*, TCanvas* c, int& w, int& h) {
    if (TCoolMenuItem* t = active_ ? ItemOf(mi) : nullptr) Measure(t, c, w, h);
  };
  mi->OnAdvancedDrawItem = [this, mi](TObject*, TCanvas* c, const TRect& r, TOwnerDrawState s) {
    if (TCoolMenuItem* t = active_ ? ItemOf(mi) : nullptr) Paint(t, c, r, s);
  };
}

void TCoolMenu::PopupOpening(TMenuItem* parent) {
  measured_ = false;
  if (!active_) return;
  if (cursor_ != crDefault && cursor_ != crArrow && !cursorSet_ && Screen) {
    savedCursor_ = Screen->Cursor();
    Screen->SetCursor(cursor_);
    cursorSet_ = true;
  }
  // A popup menu opening starts a menu loop: its items are refreshed as asked.
  TMenu* owner = parent->GetParentMenu();
  if (parent == owner->Items() && dynamic_cast<TPopupMenu*>(owner) && menuRefresh_ != RA_NONE)
    for (TCoolMenuItem* item : std::vector<TCoolMenuItem*>(items_))
      if (dynamic_cast<TPopupMenu*>(item->menu_)) RefreshItems(item, menuRefresh_);
  // Their font may follow the system's: refreshed as they are shown.
  for (TCoolMenuItem* item : std::vector<TCoolMenuItem*>(items_))
    if (item->IsLinked() && item->drawn_ && item->menuItem_->Parent() == parent &&
        (item->options_.Contains(omDrawBarIfNeeded) || item->textAlign_ == alLeft))
      RefreshItems(item, RA_REFRESH);
  if (OnPopup) OnPopup(this, parent, parent->Parent() ? parent->MenuIndex() : 0);
}

bool TCoolMenu::ItemSelected(TMenuItem* mi) {
  for (TCoolMenuItem* item : items_)
    if (item->IsLinked() && item->menuItem_ == mi) {
      // The status line shows a popup menu item's hint as it stands.
      if (dynamic_cast<TPopupMenu*>(item->menu_) && Application) Application->SetHint(mi->Hint());
      if (OnItemSelect) OnItemSelect(this, mi->Parent(), mi->Command());
      return true;
    }
  return false;
}

bool TCoolMenu::DescribesPopupMenu(const TMenu* menu) const {
  return dynamic_cast<const TPopupMenu*>(menu) &&
         std::any_of(items_.begin(), items_.end(),
                     [menu](const TCoolMenuItem* i) { return i->IsLinked() && i->menu_ == menu; });
}

bool TCoolMenu::HelpRequested(TMenuItem* mi) {
  if (!DescribesPopupMenu(mi->GetParentMenu())) return false;
  // The item's help context, else the nearest one of the items it lies under.
  int context = 0;
  for (const TMenuItem* i = mi; i && !context; i = i->Parent()) context = i->HelpContext();
  // Forms here have no help button: the topic is shown, not a pop-up of it.
  if (Screen && Screen->ActiveForm() && Application) Application->HelpContext(context);
  return true;
}

void TCoolMenu::PopupClosed() {
  if (!cursorSet_) return;
  cursorSet_ = false;
  if (Screen) Screen->SetCursor(savedCursor_);
}

void TCoolMenu::Unhook(TMenu* menu) {
  const auto it =
      std::find_if(hooked_.begin(), hooked_.end(), [menu](const auto& h) { return h.first == menu; });
  if (it == hooked_.end()) return;
  const int id = it->second;
  hooked_.erase(it);
  menu->RemoveFreeNotification(this);
  menu->RemoveMenuHooks(id);
}

void TCoolMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // A menu being freed takes its hooks with it.
  hooked_.erase(std::remove_if(hooked_.begin(), hooked_.end(),
                               [AComponent](const auto& h) { return h.first == AComponent; }),
                hooked_.end());
  // The pictures already handed out stay; only the link goes.
  if (AComponent == images_) images_ = nullptr;
  if (AComponent == disabledImages_) disabledImages_ = nullptr;
}

// ---- Image lists ------------------------------------------------------------

void TCoolMenu::GiveImage(TCoolMenuItem* item, int index, TCustomImageList* images,
                          TCustomImageList* disabled) {
  TBitmap image;
  if (images && index < images->Count()) {
    images->GetBitmap(index, &image);
    item->SetPicture(&image);
  }
  if (disabled && index < disabled->Count()) {
    disabled->GetBitmap(index, &image);
    item->disabledPicture_->SetGraphic(&image);
  }
}

void TCoolMenu::SwapList(TCustomImageList*& link, TCustomImageList* value, bool disabled) {
  if (link) {
    link->RemoveFreeNotification(this);
    for (TCoolMenuItem* item : items_)
      (disabled ? item->disabledPicture_ : item->picture_)->SetGraphic(nullptr);
  }
  link = value;
  if (!value) return;
  value->FreeNotification(this);
  LoadImages(disabled ? nullptr : value, disabled ? value : nullptr, true);
}

void TCoolMenu::SetImages(TCustomImageList* value) { SwapList(images_, value, false); }
void TCoolMenu::SetDisabledImages(TCustomImageList* value) {
  SwapList(disabledImages_, value, true);
}

void TCoolMenu::LoadImages(TCustomImageList* images, TCustomImageList* disabled,
                           bool skipSeparators) {
  const int n = std::max(images ? images->Count() : 0, disabled ? disabled->Count() : 0);
  int skip = 0;
  for (int i = 0; i < n && i < ItemCount(); ++i) {
    if (!items_[size_t(i)]->IsLinked()) continue;
    if (skipSeparators && items_[size_t(i)]->menuItem_->IsLine()) ++skip;
    // Separators near the end push the last images past the items: dropped.
    if (i + skip >= ItemCount()) break;
    TCoolMenuItem* target = items_[size_t(i + skip)];
    GiveImage(target, i, images, disabled);
    target->imageIndex_ = i;
  }
}

// ---- Properties for all items -----------------------------------------------

void TCoolMenu::ApplyItemProperties(const TGlobalParameters& s, int mask) {
  const auto on = [mask](int bit) { return mask == 0 || (mask & bit) != 0; };
  const auto optionsOf = [&](const TCoolMenuItem* item) {
    if (on(imOptions)) return s.Options;
    TMenuOptions o = item->options_;
    if (mask & imAddOptions) o += s.Options;
    if (mask & imRemoveOptions) o -= s.Options;
    return o;
  };
  const auto alignOf = [&](const TCoolMenuItem* item) {
    return on(imTextAlign) ? s.TextAlign : item->textAlign_;
  };
  if (on(imTextAlign)) TCoolMenuItem::CheckAlign(s.TextAlign);
  for (const TCoolMenuItem* item : items_) item->CheckOptions(optionsOf(item), alignOf(item));
  for (TCoolMenuItem* item : std::vector<TCoolMenuItem*>(items_)) {
    if (on(imFont) && s.Font) item->font_->Assign(s.Font);
    if (on(imNormColor)) item->NormColor = s.NormColor;
    if (on(imSelColor)) item->SelColor = s.SelColor;
    if (on(imTrColor)) item->TrColor = s.TrColor;
    if (on(imCustomImgSize)) item->CustomImgSize = s.CustomImgSize;
    if (on(imBevelInner)) item->BevelInner = s.BevelInner;
    if (on(imBevelOuter)) item->BevelOuter = s.BevelOuter;
    if (on(imBevelStyle)) item->BevelStyle = s.BevelStyle;
    if (on(imSeparatorText)) item->SeparatorText = s.SeparatorText;
    const TMenuOptions options = optionsOf(item);
    item->textAlign_ = alignOf(item);
    if (options != item->options_) item->SetOptions(options);
  }
  if (active_) RefreshItems(nullptr, RA_REFRESH);
}

void TCoolMenu::ApplyShadowProperties(const TShadowParameters& s, int mask) {
  const auto on = [mask](int bit) { return mask == 0 || (mask & bit) != 0; };
  for (TCoolMenuItem* item : items_) {
    TShadowText& t = item->shadow_;
    if (on(smActive)) t.Active = s.Active;
    if (on(smShadowColor)) t.ShadowColor = s.ShadowColor;
    if (on(smSelShadowColor)) t.SelShadowColor = s.SelShadowColor;
    if (on(smShadowPos)) t.ShadowPos = s.ShadowPos;
    if (on(smSelShadowPos)) t.SelShadowPos = s.SelShadowPos;
    if (on(smShadowSize)) t.ShadowSize = s.ShadowSize;
    if (on(smSelShadowSize)) t.SelShadowSize = s.SelShadowSize;
    if (on(smOptions)) t.Options = s.Options;
    if (mask & smAddOptions) t.Options += s.Options;
    if (mask & smRemoveOptions) t.Options -= s.Options;
  }
  if (active_) RefreshItems(nullptr, RA_REFRESH);
}

void TCoolMenu::RefreshItems(TCoolMenuItem* item, TRefreshAction action) {
  if (action == RA_NONE) return;
  const std::vector<TCoolMenuItem*> targets = item ? std::vector{item} : items_;
  for (TCoolMenuItem* t : targets) {
    if (!t->IsLinked()) continue;
    TMenu* m = t->menu_;
    if (action == RA_RESTORE) {
      if (t->drawn_) DrawItem(t, false);
      t->menuItem_->SetRightJustify(false);
      // The menu stays hooked while another of its items is drawn here.
      if (std::none_of(items_.begin(), items_.end(),
                       [m](TCoolMenuItem* o) { return o->drawn_ && o->menu_ == m; }))
        Unhook(m);
      continue;
    }
    const TFont menuFont;  // the system's menu font
    if (t->options_.Contains(omAlwaysDefFont)) t->font_->Assign(&menuFont);
    if (t->options_.Contains(omAlwaysDefFontSize)) t->font_->SetHeight(menuFont.Height());
    TMenuItem* mi = t->menuItem_;
    if (mi->Parent() == m->Items()) mi->SetRightJustify(t->options_.Contains(omRightJustified));
    DrawItem(t, true);
    Hook(m);
  }
}

// ---- Measuring --------------------------------------------------------------

void TCoolMenu::MeasureOne(TCoolMenuItem* item, TCanvas* canvas, int& width, int& height) {
  TMenuItem* mi = item->menuItem_;
  TCoolMenuMetrics& m = item->metrics_;
  canvas->Font()->Assign(item->font_.get());
  if (mi->Default()) canvas->Font()->SetStyle(canvas->Font()->Style() + TFontStyles{fsBold});
  const std::string caption = StripHotkey(mi->Caption());
  const TSize text = canvas->TextExtent(caption);
  m.TextWidth = text.cx;
  m.TextHeight = text.cy;
  maxTextWidth_ = std::max(maxTextWidth_, m.TextWidth);
  const TMenuOptions o = item->options_;
  m.ImageSize = o.Contains(omFixedImgSize) ? item->CustomImgSize : m.TextHeight;
  const bool onBar = mi->Parent() == item->menu_->Items() && !dynamic_cast<TPopupMenu*>(item->menu_);
  if (!Horizontal(item->textAlign_)) {
    height = 2 * m.ImageSize + 3 * vSpace_;
    width = m.TextWidth + m.CheckWidth;
    m.StackedWidth = width + m.CheckWidth;
  } else {
    height = m.ImageSize + 2 * vSpace_;
    if (o.Contains(omNoImageAttached))
      width = onBar ? m.TextWidth : m.TextWidth + 2 * hSpace_ + m.CheckWidth;
    else
      width = m.TextWidth + m.ImageSize +
              (onBar ? vSpace_ : mi->Count() > 0 ? 2 * m.CheckWidth : m.CheckWidth);
  }
  if (!bar_->Empty() && o.Contains(omDrawBarIfNeeded)) width += bar_->Width();
  if (mi->IsLine()) height = canvas->TextHeight("-");
  maxItemWidth_ = std::max(maxItemWidth_, width);
  const std::string shortcut = ShortCutToText(mi->ShortCut());
  if (!shortcut.empty()) {
    m.ShortcutWidth = canvas->TextWidth(shortcut);
    maxShortcutWidth_ = std::max(maxShortcutWidth_, m.ShortcutWidth);
    width = maxItemWidth_ + maxShortcutWidth_ + hSpace_;
  }
  // The widths above leave room for a check mark that the menus of the
  // system added to every owner-drawn item of a popup; ours add nothing,
  // and without it the shortcut would run into the widest caption.
  if (!onBar) width += m.CheckWidth;
  m.ItemHeight = height;
}

bool TCoolMenu::ShownIn(const TCoolMenuItem* item, const TMenuItem* popup) {
  return item->drawn_ && item->IsLinked() && item->menuItem_->Parent() == popup &&
         item->menuItem_->Visible();
}

void TCoolMenu::Measure(TCoolMenuItem* item, TCanvas* canvas, int& width, int& height) {
  // The widths of a popup's items depend on each other: its items are
  // measured together, each time one of them is asked about.
  maxItemWidth_ = maxTextWidth_ = maxShortcutWidth_ = 0;
  int total = 0;
  bool barNeeded = false;
  const TMenuItem* parent = item->menuItem_->Parent();
  for (TCoolMenuItem* sibling : items_) {
    if (!ShownIn(sibling, parent)) continue;
    int w = 0, h = 0;
    MeasureOne(sibling, canvas, w, h);
    total += h;
    barNeeded = barNeeded || sibling->options_.Contains(omDrawBarIfNeeded);
  }
  if (showBar_ && barNeeded) RenderBar(total);
  MeasureOne(item, canvas, width, height);
  // Told once per opening of a popup.
  if (!measured_ && OnMeasure) OnMeasure(this, const_cast<TMenuItem*>(parent), total);
  measured_ = true;
}

void TCoolMenu::RenderBar(int totalHeight) {
  TBitmap measure;
  TCanvas* mc = measure.Canvas();
  mc->Font()->SetName(menuBar_->IsSerif ? "Times New Roman" : "Arial");
  mc->Font()->SetSize(menuBar_->Size);
  mc->Font()->SetStyle(TFontStyles{fsBold});
  const TSize text = mc->TextExtent(menuBar_->Caption);
  const int h = std::max(text.cx + 8, totalHeight), w = text.cy + 4;
  bar_->SetSize(w, h);
  TCanvas* c = bar_->Canvas();
  if (menuBar_->IsGradient) {
    // 32 bands from BackFrom at the bottom to BackTo at the top.
    constexpr int kSteps = 32;
    const TColor from = ColorToRGB(menuBar_->BackFrom), to = ColorToRGB(menuBar_->BackTo);
    for (int i = kSteps, k = 0; i >= 0; --i, ++k) {
      auto mix = [&](int a, int b) { return a + (b - a) * k / kSteps; };
      c->Brush()->SetColor(RGB(mix(GetRValue(from), GetRValue(to)),
                               mix(GetGValue(from), GetGValue(to)),
                               mix(GetBValue(from), GetBValue(to))));
      c->FillRect(Rect(0, (i - 1) * h / kSteps, w, i * h / kSteps));
    }
  } else {
    c->Brush()->SetColor(menuBar_->BackFrom);
    c->FillRect(Rect(0, 0, w, h));
  }
  int offset = 0, margin = menuBar_->Space;
  if (menuBar_->CaptionAlign == alUp) {
    offset = h - text.cx - 8;
    margin = -menuBar_->Space;
  } else if (menuBar_->CaptionAlign == alCenter) {
    offset = (h - text.cx - 8) / 2;
  }
  c->Font()->Assign(mc->Font());
  c->Font()->SetOrientation(900);
  c->Font()->SetColor(menuBar_->Fore);
  c->Brush()->SetStyle(bsClear);
  // Running upwards from its start point, the text cell lies to the right of
  // it: two pixels in, as a baseline at three quarters of the width puts it.
  c->TextOut(2, h - margin - offset - 4, menuBar_->Caption);
  c->Brush()->SetStyle(bsSolid);
  if (menuBar_->IsSeparator) {
    bar_->SetSize(w + 6, h);
    c->Brush()->SetColor(clMenu);
    c->FillRect(Rect(w, 0, w + 6, h));
    for (const auto& [color, x] : {std::pair{TColor(0x808080), w + 2}, std::pair{clBtnHighlight, w + 3}}) {
      c->Pen()->SetColor(color);
      c->MoveTo(x, 0);
      c->LineTo(x, h);
    }
  }
}

// ---- Painting ---------------------------------------------------------------

void TCoolMenu::Paint(TCoolMenuItem* item, TCanvas* c, const TRect& rc, TOwnerDrawState state) {
  TMenuItem* mi = item->menuItem_;
  TCoolMenuMetrics& m = item->metrics_;
  const TMenuOptions o = item->options_;
  const bool enabled = mi->Enabled();
  const int barW = !bar_->Empty() && o.Contains(omDrawBarIfNeeded) ? bar_->Width() : 0;
  bool selected = state.Contains(odSelected);
  const bool doText = o.Contains(omNoHighlightEnabledButDoText) && selected;
  if ((o.Contains(omNoHighlightDisabled) && selected && !enabled) ||
      (o.Contains(omNoHighlightEnabled) && selected && enabled))
    selected = false;
  c->Font()->Assign(item->font_.get());
  if (mi->Default()) c->Font()->SetStyle(c->Font()->Style() + TFontStyles{fsBold});
  const std::string caption = mi->Caption();
  const bool line = mi->IsLine();
  const bool centred = o.Contains(omFixedImgSize) && !line;

  // Layout (halves rounded toward zero).
  const int M = m.StackedWidth, T = m.TextWidth, I = m.ImageSize;
  switch (item->textAlign_) {
    case alTop:
    case alBottom: {
      // Stacked and centred: the caption above the image, or below it.
      m.TextLeft = rc.Left + M / 2 - T / 2 + barW;
      m.ImageLeft = rc.Left + M / 2 - I / 2 + barW;
      const int first = rc.Top + vSpace_, second = first + I + vSpace_;
      const bool textFirst = item->textAlign_ == alTop;
      m.TextTop = textFirst ? first : second;
      m.ImageTop = textFirst ? second : first;
      break;
    }
    case alLeft:
      m.TextLeft = rc.Left + hSpace_ + barW;
      m.TextTop = centred ? rc.Top + m.ItemHeight / 2 - m.TextHeight / 2 - 1 : rc.Top + vSpace_;
      m.ImageLeft = m.TextLeft + maxTextWidth_ + hSpace_;
      m.ImageTop = rc.Top + vSpace_;
      break;
    default: {
      m.ImageLeft = rc.Left + hSpace_ + barW;
      m.ImageTop = rc.Top + vSpace_;
      const bool onBar = mi->Parent() == item->menu_->Items() && !dynamic_cast<TPopupMenu*>(item->menu_);
      m.TextLeft = !o.Contains(omNoImageAttached) ? m.ImageLeft + I + hSpace_
                   : onBar                         ? m.ImageLeft + hSpace_
                                                   : m.ImageLeft + m.CheckWidth;
      m.TextTop = centred ? rc.Top + m.ItemHeight / 2 - m.TextHeight / 2 - 1 : m.ImageTop;
    }
  }

  // Background: a wallpaper, or the item's colour.
  const TRect area = Rect(rc.Left + barW, rc.Top, rc.Right, rc.Bottom);
  bool papered = false;
  TColor textColor;
  if (selected) {
    c->Brush()->SetColor(item->SelColor);
    textColor = item->SelTextColor;
    if (o.Contains(omPaintSelWallpaper) && !selWallpaper_->Empty()) {
      if (o.Contains(omTileSelWallpaper)) Tile(c, area, selWallpaper_.get());
      else c->Draw(area.Left, area.Top, selWallpaper_.get());
      papered = true;
    } else if (o.Contains(omPaintWallpaper) && !wallpaper_->Empty() && !o.Contains(omTileWallpaper)) {
      // The selection shows as the wallpaper's negative.
      c->SetCopyMode(NOTSRCCOPY);
      c->CopyRect(area, wallpaper_->Canvas(), area);
      c->SetCopyMode(SRCCOPY);
      textColor = item->SelTextColor == clHighlightText ? InverseColor(item->font_->Color())
                                                        : item->SelTextColor;
      papered = true;
    }
  } else {
    c->Brush()->SetColor(item->NormColor);
    if (o.Contains(omPaintWallpaper) && !wallpaper_->Empty()) {
      if (o.Contains(omTileWallpaper)) Tile(c, area, wallpaper_.get());
      else c->CopyRect(area, wallpaper_->Canvas(), area);
      papered = true;
    }
    if (o.Contains(omAlwaysDefFontColor)) item->font_->SetColor(clMenuText);
    textColor = item->font_->Color();
    if (doText) textColor = item->SelTextColor;
  }
  const bool hasPicture = item->picture_->Graphic() && !item->picture_->Graphic()->Empty();
  const TColor fill = c->Brush()->Color();
  if (!papered) {
    int left = area.Left;
    if (o.Contains(omNoHighlightImage) && (hasPicture || mi->Checked())) {
      left = item->textAlign_ == alRight ? m.TextLeft - 1 : m.ImageLeft - 1;
      const bool bevel = item->BevelInner != bvNone || item->BevelOuter != bvNone;
      if (bevel && (item->BevelStyle == bsBevelBoth ||
                    (item->BevelStyle == bsBevelOnlyImage && item->textAlign_ == alRight))) {
        c->Brush()->SetColor(item->NormColor);
        c->FillRect(item->BevelStyle == bsBevelBoth ? Rect(area.Left, rc.Top, rc.Right, rc.Bottom + 1)
                                                    : Rect(area.Left, rc.Top, left, rc.Bottom + 1));
        c->Brush()->SetColor(fill);
      }
    }
    c->FillRect(Rect(left, rc.Top, rc.Right, rc.Bottom + 1));
  }

  // Bevel.
  if ((enabled && o.Contains(omBevelOnlyIfSel) && selected) || (!o.Contains(omBevelOnlyIfSel) && !line)) {
    TRect b = area;
    if (item->BevelStyle == bsBevelBoth || (!hasPicture && !mi->Checked())) b.Top += 1;
    if (item->BevelStyle == bsBevelOnlyImage) {
      b = Bounds(m.ImageLeft, m.ImageTop, I, I);
      InflateRect(b, vSpace_, vSpace_);
    } else if (item->BevelStyle == bsBevelOnlyText) {
      if (item->textAlign_ == alRight) b = Rect(m.ImageLeft + I + 4, rc.Top, rc.Right, rc.Bottom);
      else if (item->textAlign_ == alLeft) b = Rect(rc.Left, rc.Top, m.ImageLeft, rc.Bottom);
      else b = Rect(m.TextLeft - hSpace_, m.TextTop - 1, m.TextLeft + hSpace_ + T, m.TextTop + 1 + I);
    }
    if (item->BevelType == btRectangle) {
      if (const uint32_t edge = EdgeOf(item->BevelInner, item->BevelOuter)) DrawEdge(c, b, edge, BF_RECT);
    } else if (item->BevelInner != bvNone || item->BevelOuter != bvNone) {
      RoundBevel(c, b, fill, item->BevelOuter, item->BevelInner);
    }
  }

  // Caption, separator and shortcut.
  c->Brush()->SetStyle(bsClear);
  if (line) {
    const int y = rc.Top + m.ItemHeight / 2;
    for (const auto& [color, dy] : {std::pair{TColor(0x808080), 0}, std::pair{clBtnHighlight, 1}}) {
      c->Pen()->SetColor(color);
      c->MoveTo(area.Left, y + dy);
      c->LineTo(rc.Right, y + dy);
    }
    if (!item->SeparatorText.empty()) {
      c->Font()->SetName("MS Serif");
      c->Font()->SetHeight(10);
      c->Font()->SetColor(o.Contains(omAlwaysDefFont) || o.Contains(omAlwaysDefFontColor)
                              ? clMenuText : item->font_->Color());
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(item->NormColor);
      TRect r = Bounds(m.TextLeft, m.TextTop - 1, c->TextWidth(item->SeparatorText), 9);
      DrawText(c, item->SeparatorText, r, DT_NOCLIP);
    }
  } else {
    const std::string shortcut = ShortCutToText(mi->ShortCut());
    const TRect textRect = Rect(m.TextLeft, m.TextTop, m.TextLeft + T, m.TextTop + I);
    const TRect shortcutRect = Rect(rc.Right - m.ShortcutWidth - m.CheckWidth, m.TextTop, rc.Right,
                                    m.TextTop + I);
    if (enabled) {
      c->Font()->SetColor(textColor);
      DrawShadowText(c, item->shadow_, caption, selected, textRect);
      if (!shortcut.empty()) DrawShadowText(c, item->shadow_, shortcut, selected, shortcutRect);
    } else {
      // Embossed, except on the selection bar (unless it is not shown for
      // disabled items): there plain grey text.
      const bool embossed = !selected || o.Contains(omNoHighlightDisabled);
      auto draw = [&](const std::string& text, TRect r) {
        if (embossed) {
          DrawDisabledText(c, text, r, 0);
          return;
        }
        c->Font()->SetColor(clGrayText);
        DrawText(c, text, r, DT_NOCLIP);
      };
      draw(caption, textRect);
      if (!shortcut.empty()) draw(shortcut, shortcutRect);
    }
  }
  c->Brush()->SetStyle(bsSolid);

  // The side bar's strip.
  if (barW) c->CopyRect(Rect(rc.Left, rc.Top, rc.Left + barW, rc.Bottom), bar_->Canvas(),
                        Rect(rc.Left, rc.Top, rc.Left + barW, rc.Bottom));

  // The image: the picture, a check or radio mark, embossed when disabled.
  if (line) return;
  std::unique_ptr<TBitmap> mark;
  TGraphic* graphic = hasPicture ? item->picture_->Graphic() : nullptr;
  if (mi->Checked()) {
    mark = MarkBitmap(mi->RadioItem());
    graphic = mark.get();
    item->TrColor = kMarkTransparent;
  }
  if (!enabled && item->disabledPicture_->Graphic() && !item->disabledPicture_->Graphic()->Empty()) {
    graphic = item->disabledPicture_->Graphic();
  } else if (!enabled && graphic) {
    // Any graphic (a metafile too) is drawn on its transparent colour first.
    TBitmap flat;
    const TColor back = item->TrColor == clNone ? clWhite : item->TrColor;
    flat.SetSize(graphic->Width(), graphic->Height());
    flat.Canvas()->Brush()->SetColor(back);
    flat.Canvas()->FillRect(Rect(0, 0, flat.Width(), flat.Height()));
    flat.Canvas()->Draw(0, 0, graphic);
    mark = EmbossBitmap(flat, o.Contains(omNoHighlightImage) ? clMenu : fill, clBtnShadow,
                        [back](TColor px) { return ColorToRGB(px) != ColorToRGB(back) && IsDark(px); });
    graphic = mark.get();
  }
  if (!graphic) return;
  if (auto* b = dynamic_cast<TBitmap*>(graphic); b && graphic != mark.get()) {
    b->SetTransparent(item->TrColor != clNone);
    if (item->TrColor != clNone) b->SetTransparentColor(item->TrColor);
  } else if (graphic == mark.get()) {
    mark->SetTransparent(true);
  }
  c->StretchDraw(Bounds(m.ImageLeft, m.ImageTop, I, I), graphic);
}

PUBLISHED(TCoolMenuBar) {
  PROP_STR(Caption, Caption, Caption, "");
  PROP_INT(Size, Size, Size, 11);
  PROP_INT(Space, Space, Space, 0);
  PROP_COLOR(BackFrom, BackFrom, BackFrom, clBlack);
  PROP_COLOR(BackTo, BackTo, BackTo, clBlue);
  PROP_COLOR(Fore, Fore, Fore, clWhite);
  PROP_BOOL(IsSerif, IsSerif, IsSerif, true);
  PROP_BOOL(IsGradient, IsGradient, IsGradient, false);
  PROP_BOOL(IsSeparator, IsSeparator, IsSeparator, true);
  PROP_ENUM(CaptionAlign, CaptionAlign, CaptionAlign, alDown);
}

PUBLISHED(TShadowText) {
  PROP_BOOL(Active, Active, Active, false);
  PROP_COLOR(ShadowColor, ShadowColor, ShadowColor, clBtnHighlight);
  PROP_COLOR(SelShadowColor, SelShadowColor, SelShadowColor, clBtnHighlight);
  PROP_INT(ShadowSize, ShadowSize, ShadowSize, 1);
  PROP_INT(SelShadowSize, SelShadowSize, SelShadowSize, 1);
  PROP_ENUM(ShadowPos, ShadowPos, ShadowPos, spLeftTop);
  PROP_ENUM(SelShadowPos, SelShadowPos, SelShadowPos, spLeftTop);
  PROP_SET(Options, Options, Options, TShadowOptions{soNoShadowIfSel});
}

PUBLISHED(TCoolMenu) {
  P.Obj("MenuBar", [](TCoolMenu& m) { return m.menuBar_.get(); },
        [](TCoolMenu& m, TCoolMenuBar* v) { if (v) m.SetMenuBar(*v); });
  PROP_OBJ(Wallpaper, Wallpaper, SetWallpaper);
  PROP_OBJ(SelWallpaper, SelWallpaper, SetSelWallpaper);
  PROP_OBJ(Images, Images, SetImages);
  PROP_OBJ(DisabledImages, DisabledImages, SetDisabledImages);
  PROP_EVENT(OnMeasure);
  PROP_EVENT(OnPopup);
  PROP_EVENT(OnItemSelect);
  PROP_ENUM(MenuRefresh, MenuRefresh, SetMenuRefresh, RA_REFRESH);
  PROP_BOOL(Active, Active, SetActive, true);
  PROP_BOOL(ShowBar, ShowBar, SetShowBar, false);
  PROP_INT(HSpace, HSpace, SetHSpace, 5);
  PROP_INT(VSpace, VSpace, SetVSpace, 2);
  PROP_CURSOR(Cursor, Cursor, SetCursor, crDefault);
}

PUBLISHED(TCoolMenuItem) {
  PROP_OBJ(MenuItem, MenuItem, SetMenuItem);
  PROP_OBJ(Picture, Picture, AssignPicture);
  PROP_OBJ(DisabledPicture, DisabledPicture, AssignDisabledPicture);
  PROP_COLOR(TrColor, GetTrColor, SetTrColor, clNone);
  PROP_ENUM(TextAlign, TextAlign, SetTextAlign, alRight);
  PROP_INT(CustomImgSize, ImgSize, SetImgSize, 16);
  PROP_STR(SeparatorText, SepText, SetSepText, "");
  PROP_INT(ImageIndex, ImageIndex, SetImageIndex, 0).NoDefault();
  PROP_OBJ(Font, Font, SetFont);
  PROP_OBJ(Menu, Menu, SetMenu);
  PROP_COLOR(SelColor, SelColor, SelColor, clHighlight);
  PROP_COLOR(SelTextColor, SelTextColor, SelTextColor, clHighlightText);
  PROP_COLOR(NormColor, NormColor, NormColor, clMenu);
  PROP_SET(Options, Options, SetOptions, Class::kDefaultOptions);
  PROP_ENUM(BevelInner, BevelInner, BevelInner, bvNone);
  PROP_ENUM(BevelOuter, BevelOuter, BevelOuter, bvNone);
  PROP_ENUM(BevelStyle, BevelStyle, BevelStyle, bsBevelBoth);
  PROP_ENUM(BevelType, BevelType, BevelType, btRectangle);
  P.Obj("Shadow", [](TCoolMenuItem& i) { return &i.Shadow(); },
        [](TCoolMenuItem& i, TShadowText* v) { if (v) i.Shadow().Assign(v); });
}
