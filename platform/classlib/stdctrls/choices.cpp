#include "platform/classlib/stdctrls/choices.h"

#include <algorithm>

#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TButtonControl, TCustomControl)
IMPLEMENT_CLASS(TCustomCheckBox, TButtonControl)
IMPLEMENT_CLASS(TCheckBox, TCustomCheckBox)
IMPLEMENT_CLASS(TRadioButton, TButtonControl)
IMPLEMENT_CLASS(TCustomGroupBox, TCustomControl)
IMPLEMENT_CLASS(TGroupBox, TCustomGroupBox)
IMPLEMENT_CLASS(TCustomRadioGroup, TCustomGroupBox)
IMPLEMENT_CLASS(TRadioGroup, TCustomRadioGroup)

namespace {

constexpr int kMarkSize = 13;  // the classic check box and radio mark
constexpr int kMarkGap = 4;    // between mark and caption

}  // namespace

// ---- Check boxes and radio buttons ------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
  SetParentColor(true);
}

void TButtonControl::SetAlignment(TAlignment value) {
  alignment_ = value;
  Invalidate();
}

void TButtonControl::SetPressed(bool value) {
  if (pressed_ == value) return;
  pressed_ = value;
  Invalidate();
}

void TButtonControl::PaintContent() {
  TCanvas* c = Canvas();
  const TRect client = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(client);
  const bool markLeft = alignment_ == taRightJustify;
  const int top = (client.Height() - kMarkSize) / 2;
  TRect mark = markLeft ? Bounds(0, top, kMarkSize, kMarkSize)
                        : Bounds(client.Right - kMarkSize, top, kMarkSize, kMarkSize);
  uint32_t state = MarkState();
  if (pressed_) state |= DFCS_PUSHED;
  if (!Enabled()) state |= DFCS_INACTIVE;
  DrawFrameControl(c, mark, DFC_BUTTON, state);

  c->SetFont(Font());
  c->Brush()->SetStyle(bsClear);
  constexpr uint32_t flags = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  TRect text = markLeft ? Rect(kMarkSize + kMarkGap, 0, client.Right, client.Bottom)
                        : Rect(0, 0, client.Right - kMarkSize - kMarkGap, client.Bottom);
  if (!Enabled()) {
    DrawDisabledText(c, Caption(), text, flags);
  } else {
    DrawText(c, Caption(), text, flags);
  }
  if (Focused() && !Caption().empty()) {
    // The focus frame hugs the caption.
    TRect box = Rect(0, 0, text.Width(), 0);
    DrawText(c, Caption(), box, flags | DT_CALCRECT);
    const int y = (client.Height() - box.Height()) / 2;
    TRect focus = Bounds(text.Left - 1, y - 1, box.Width() + 2, box.Height() + 2);
    c->Brush()->SetStyle(bsSolid);
    c->DrawFocusRect(focus);
  }
}

void TButtonControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) {
    if (CanFocus() && !Focused()) SetFocus();
    SetMouseCapture(true);
    SetPressed(true);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButtonControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (MouseCapture()) SetPressed(PtInRect(ClientRect(), {X, Y}));
  TCustomControl::MouseMove(Shift, X, Y);
}

void TButtonControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool wasPressed = pressed_ && Button == mbLeft;
  if (Button == mbLeft) {
    SetMouseCapture(false);
    SetPressed(false);
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (wasPressed && PtInRect(ClientRect(), {X, Y})) Toggle();
}

void TButtonControl::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE && Enabled()) SetPressed(true);
}

void TButtonControl::KeyUp(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (Key == VK_SPACE && pressed_) {
    SetPressed(false);
    Toggle();
  }
}

void TButtonControl::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TButtonControl::DoExit() {
  SetPressed(false);
  TCustomControl::DoExit();
}

void TButtonControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGCHAR:
      if (IsAccel(char32_t(m.WParam), Caption()) && CanFocus()) {
        SetFocus();
        Toggle();
        m.Result = 1;
      }
      return;
    case WM_GETDLGCODE:
      m.Result = 0;
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {}

void TCustomCheckBox::SetState(TCheckBoxState value) {
  if (state_ == value) return;
  state_ = value;
  Invalidate();
  Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(allowGrayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

uint32_t TCustomCheckBox::MarkState() const {
  switch (state_) {
    case cbChecked: return DFCS_BUTTONCHECK | DFCS_CHECKED;
    // Grayed: a grey mark on the face colour.
    case cbGrayed: return DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE;
    default: return DFCS_BUTTONCHECK;
  }
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) { SetTabStop(false); }

std::vector<TRadioButton*> TRadioButton::Group() const {
  std::vector<TRadioButton*> group;
  if (!Parent()) return group;
  std::vector<TWinControl*> order;
  Parent()->GetTabOrderList(order);
  for (TWinControl* c : order)
    if (auto* r = dynamic_cast<TRadioButton*>(c); r && r->Parent() == Parent()) group.push_back(r);
  return group;
}

void TRadioButton::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  // The group's checked button is the one Tab reaches.
  SetTabStop(value);
  Invalidate();
  if (!value) return;
  for (TRadioButton* other : Group())
    if (other != this) other->SetChecked(false);
  Click();
}

void TRadioButton::Toggle() { SetChecked(true); }

uint32_t TRadioButton::MarkState() const {
  return DFCS_BUTTONRADIO | (checked_ ? DFCS_CHECKED : 0);
}

void TRadioButton::KeyDown(WORD& Key, TShiftState Shift) {
  TButtonControl::KeyDown(Key, Shift);
  const int step = Key == VK_DOWN || Key == VK_RIGHT ? 1 : Key == VK_UP || Key == VK_LEFT ? -1 : 0;
  if (step == 0) return;
  const std::vector<TRadioButton*> group = Group();
  const int n = int(group.size());
  const int at = int(std::find(group.begin(), group.end(), this) - group.begin());
  // The next enabled one round the group takes the focus and the check.
  for (int i = 1; i < n; ++i) {
    TRadioButton* next = group[size_t((at + step * i + n * n) % n)];
    if (!next->CanFocus()) continue;
    next->SetFocus();
    next->SetChecked(true);
    break;
  }
  Key = 0;
}

void TRadioButton::Dispatch(TMessage& m) {
  if (m.Msg == WM_GETDLGCODE) {
    m.Result = DLGC_WANTARROWS;
    return;
  }
  TButtonControl::Dispatch(m);
}

// ---- Group boxes -----------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                csDoubleClicks});
  SetBounds(0, 0, 185, 105);
  SetParentColor(true);
}

int TCustomGroupBox::CaptionHeight() const {
  Canvas()->SetFont(Font());
  return Canvas()->TextHeight("0");
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  rect.Top += CaptionHeight();
  InflateRect(rect, -2, -2);
}

void TCustomGroupBox::PaintContent() {
  TCanvas* c = Canvas();
  const TRect client = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(client);
  const int h = CaptionHeight();
  // An etched frame whose top line runs through the middle of the caption.
  TRect frame = Rect(0, h / 2 - 1, client.Right, client.Bottom);
  DrawEdge(c, frame, EDGE_ETCHED, BF_RECT);
  if (Caption().empty()) return;
  constexpr uint32_t flags = DT_SINGLELINE | DT_LEFT | DT_TOP;
  TRect text = Rect(0, 0, client.Width() - 16, h);
  DrawText(c, Caption(), text, flags | DT_CALCRECT);
  OffsetRect(text, 8, 0);
  c->Brush()->SetColor(Color());
  c->FillRect(Rect(text.Left - 1, text.Top, text.Right + 1, text.Bottom));
  c->Brush()->SetStyle(bsClear);
  if (Enabled()) {
    DrawText(c, Caption(), text, flags);
  } else {
    DrawDisabledText(c, Caption(), text, flags);
  }
}

void TCustomGroupBox::Dispatch(TMessage& m) {
  // The mnemonic leads to the first control inside; any other goes on to the
  // controls inside, which have mnemonics of their own.
  if (m.Msg == CM_DIALOGCHAR && IsAccel(char32_t(m.WParam), Caption()) && CanFocus()) {
    SelectNext(nullptr, true, true);
    m.Result = 1;
    return;
  }
  if (m.Msg == CM_FONTCHANGED || m.Msg == CM_TEXTCHANGED) Realign();
  TCustomControl::Dispatch(m);
}

// ---- Radio groups ----------------------------------------------------------------

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner)
    : TCustomGroupBox(AOwner), items_(std::make_unique<TStringList>()) {
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks, csCaptureMouse, csClickEvents});
  items_->OnChange = [this](TObject*) {
    if (!ComponentState().Contains(csLoading)) UpdateButtons();
  };
}

TCustomRadioGroup::~TCustomRadioGroup() {
  items_->OnChange = nullptr;
}

void TCustomRadioGroup::Loaded() {
  TCustomGroupBox::Loaded();
  UpdateButtons();
}

void TCustomRadioGroup::SetItemIndex(int value) {
  if (ComponentState().Contains(csLoading)) {
    itemIndex_ = value;  // the buttons come when loading ends
    return;
  }
  value = std::clamp(value, -1, int(buttons_.size()) - 1);
  if (value == itemIndex_) return;
  updating_ = true;
  if (itemIndex_ >= 0) buttons_[size_t(itemIndex_)]->SetChecked(false);
  itemIndex_ = value;
  if (value >= 0) buttons_[size_t(value)]->SetChecked(true);
  updating_ = false;
}

void TCustomRadioGroup::SetColumns(int value) {
  // More than 16 columns leave no readable width.
  value = std::clamp(value, 1, 16);
  if (value == columns_) return;
  columns_ = value;
  ArrangeButtons();
}

void TCustomRadioGroup::UpdateButtons() {
  updating_ = true;
  while (int(buttons_.size()) > items_->Count()) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (int(buttons_.size()) < items_->Count()) {
    auto* b = new TRadioButton(this);
    b->OnClick = [this, b](TObject*) { ButtonClicked(b); };
    b->SetParent(this);
    buttons_.push_back(b);
  }
  for (int i = 0; i < int(buttons_.size()); ++i) {
    buttons_[size_t(i)]->SetCaption(items_->Strings(i));
    buttons_[size_t(i)]->SetEnabled(Enabled());
  }
  if (itemIndex_ >= int(buttons_.size())) itemIndex_ = -1;
  if (itemIndex_ >= 0) buttons_[size_t(itemIndex_)]->SetChecked(true);
  updating_ = false;
  ArrangeButtons();
}

// Columns of equal width; the rows share the height below the caption.
void TCustomRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  const int n = int(buttons_.size());
  const int perColumn = (n + columns_ - 1) / columns_;
  const int buttonWidth = (Width() - 10) / columns_;
  const int room = Height() - CaptionHeight() - 5;
  const int buttonHeight = room / perColumn;
  const int top = CaptionHeight() + 1 + (room % perColumn) / 2;
  for (int i = 0; i < n; ++i) {
    buttons_[size_t(i)]->SetBounds((i / perColumn) * buttonWidth + 8,
                                   (i % perColumn) * buttonHeight + top, buttonWidth,
                                   buttonHeight);
  }
}

void TCustomRadioGroup::ButtonClicked(TRadioButton* button) {
  if (updating_ || !button->Checked()) return;
  itemIndex_ = int(std::find(buttons_.begin(), buttons_.end(), button) - buttons_.begin());
  Click();
}

void TCustomRadioGroup::Resize() {
  ArrangeButtons();
  TCustomGroupBox::Resize();
}

void TCustomRadioGroup::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_ENABLEDCHANGED:
      for (TRadioButton* b : buttons_) b->SetEnabled(Enabled());
      break;
    case CM_FONTCHANGED:
      ArrangeButtons();
      break;
  }
  TCustomGroupBox::Dispatch(m);
}

PUBLISHED(TButtonControl) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taRightJustify);
  PROP_DEFAULT(TabStop, true);
}

PUBLISHED(TCustomCheckBox) {
  PROP_BOOL(AllowGrayed, AllowGrayed, SetAllowGrayed, false);
  PROP_ENUM(State, State, SetState, cbUnchecked);
  PROP_BOOL(Checked, Checked, SetChecked, false).Stored(false);
}

PUBLISHED(TRadioButton) {
  PROP_BOOL(Checked, Checked, SetChecked, false);
  PROP_DEFAULT(TabStop, false);
}

PUBLISHED(TCustomRadioGroup) {
  PROP_OBJ(Items, Items, SetItems);
  PROP_INT(ItemIndex, ItemIndex, SetItemIndex, -1);
  PROP_INT(Columns, Columns, SetColumns, 1);
}
