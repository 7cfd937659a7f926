#include "winctrls/colcombo.h"

#include "platform/classlib/menus/menus.h"

IMPLEMENT_CLASS(TCustomColorComboBox, TCustomComboBox)
IMPLEMENT_CLASS(TColorComboBox, TCustomColorComboBox)

namespace {

struct BasicColor {
  TColor color = clBlack;
  const char* identifier;  // the colour's identifier; the name drops its "cl"
};
constexpr BasicColor kTable[TCustomColorComboBox::kBasicColors] = {
    {TColor(0x000000), "clBlack"},  {TColor(0x000080), "clMaroon"}, {TColor(0x008000), "clGreen"},
    {TColor(0x008080), "clOlive"},  {TColor(0x800000), "clNavy"},   {TColor(0x800080), "clPurple"},
    {TColor(0x808000), "clTeal"},   {TColor(0x808080), "clGray"},   {TColor(0xC0C0C0), "clSilver"},
    {TColor(0x0000FF), "clRed"},    {TColor(0x00FF00), "clLime"},   {TColor(0x00FFFF), "clYellow"},
    {TColor(0xFF0000), "clBlue"},   {TColor(0xFF00FF), "clFuchsia"}, {TColor(0xFFFF00), "clAqua"},
    {TColor(0xFFFFFF), "clWhite"},
};

}  // namespace

TCustomColorComboBox::TCustomColorComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
  // On a window the list can be filled at once.
  if (auto* parent = dynamic_cast<TWinControl*>(AOwner)) SetParent(parent);
  SetSorted(false);
  SetStyle(csOwnerDrawFixed);
  BuildColorList();
}

int TCustomColorComboBox::GetColorCount() {
  int n = kBasicColors;
  if (OnGetColorNum) OnGetColorNum(this, n);
  return std::max(0, n);
}

void TCustomColorComboBox::GetColorInfo(int Index, TColor& Color, std::string& Name) {
  if (Index >= 0 && Index < kBasicColors) {
    Color = kTable[Index].color;
    Name = std::string(kTable[Index].identifier).substr(2);
  } else {
    // Whatever the caller's variables held is no colour of this list.
    Color = clBlack;
    Name.clear();
  }
  if (OnGetColor) OnGetColor(this, Index, Color, Name);
}

int TCustomColorComboBox::FindColor(TColor value) {
  // Compared as RGB values, so system colours match what they show.
  const TColor rgb = ColorToRGB(value);
  for (int i = Items()->Count() - 1; i >= 0; --i) {
    TColor c = clBlack;
    std::string name;
    GetColorInfo(i, c, name);
    if (ColorToRGB(c) == rgb) return i;
  }
  return -1;
}

void TCustomColorComboBox::BuildColorList() {
  const TColor keep = selectedColor_;
  Items()->Clear();
  const int n = GetColorCount();
  for (int i = 0; i < n; ++i) {
    TColor c = clBlack;
    std::string name;
    GetColorInfo(i, c, name);
    Items()->Add(name);
  }
  SetItemIndex(FindColor(keep));
}

void TCustomColorComboBox::SetSelectedColor(TColor value) {
  selectedColor_ = value;
  SetItemIndex(FindColor(value));
}

void TCustomColorComboBox::SetPictureWidth(int value) {
  if (value == pictureWidth_) return;
  pictureWidth_ = value;
  Invalidate();
}

void TCustomColorComboBox::Loaded() {
  TCustomComboBox::Loaded();
  if (parentCtl3D_) SetParentCtl3D(true);
  if (!ComponentState().Contains(csDesigning)) BuildColorList();
}

// ---- The frame -----------------------------------------------------------------

void TCustomColorComboBox::FillCreateParams(TCreateParams& params) {
  TCustomComboBox::FillCreateParams(params);
  if (ctl3D_) return;
  params.ExStyle &= ~WS_EX_CLIENTEDGE;
  params.Style |= WS_BORDER;
}

void TCustomColorComboBox::Ctl3DChanged(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomColorComboBox::SetCtl3D(bool value) {
  parentCtl3D_ = false;
  Ctl3DChanged(value);
}

void TCustomColorComboBox::SetParentCtl3D(bool value) {
  parentCtl3D_ = value;
  // Only some parents (a grid) have a Ctl3D of their own to give.
  if (value && Parent() && IsPublishedProp(Parent(), "Ctl3D"))
    Ctl3DChanged(GetOrdProp(Parent(), "Ctl3D") != 0);
}

void TCustomColorComboBox::Change() {
  if (ItemIndex() >= 0) {
    TColor c = clBlack;
    std::string name;
    GetColorInfo(ItemIndex(), c, name);
    selectedColor_ = c;
  }
  TCustomComboBox::Change();
}

void TCustomColorComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas* c = Canvas();
  c->FillRect(Rect);
  TRect text = Rect;
  text.Left += 3;
  text.Right -= 3;
  TColor color = clBlack;
  std::string name;
  GetColorInfo(Index, color, name);
  if (PictureWidth() > 0) {
    const TColor brush = c->Brush()->Color();
    c->Brush()->SetColor(Enabled() ? color : clBtnFace);
    c->Rectangle(text.Left, text.Top + 2, text.Left + PictureWidth(), text.Bottom - 2);
    c->Brush()->SetColor(brush);
    text.Left += PictureWidth() + 3;
  }
  if (!Enabled()) c->Font()->SetColor(clInactiveCaption);
  c->TextRect(text, text.Left, text.Top + (text.Height() - c->TextHeight(name)) / 2, name);
  if (OnDrawItem) OnDrawItem(this, Index, Rect, State);
}

PUBLISHED(TCustomColorComboBox) {
  PROP_COLOR(SelectedColor, SelectedColor, SetSelectedColor, clBlack);
  PROP_INT(PictureWidth, PictureWidth, SetPictureWidth, 32);
  PROP_EVENT(OnGetColorNum);
  PROP_EVENT(OnGetColor);
  // The frame: stored only where it is not the parent's.
  PROP_BOOL(Ctl3D, Ctl3D, SetCtl3D, true)
      .Stored(std::function<bool(TObject*)>(
          [](TObject* o) { return !static_cast<TCustomColorComboBox*>(o)->ParentCtl3D(); }));
  PROP_BOOL(ParentCtl3D, ParentCtl3D, SetParentCtl3D, true);
  PROP_ENUM(DragMode, DragMode, SetDragMode, dmManual);
  PROP_CURSOR(DragCursor, DragCursor, SetDragCursor, crDrag);
  PROP_POPUP_MENU();
  PROP_EVENT(OnDragDrop);
  PROP_EVENT(OnDragOver);
  PROP_EVENT(OnEndDrag);
}
