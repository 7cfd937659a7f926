#include "datactrls/edits/wwdotdot.h"

#include <algorithm>

#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwwindow.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/graphics/graphics.h"

IMPLEMENT_CLASS(TwwComboDlgButton, TSpeedButton)
IMPLEMENT_CLASS(TwwDBCustomCombo, TwwDBCustomEdit)
IMPLEMENT_CLASS(TwwDBComboDlg, TwwDBCustomCombo)

PUBLISHED(TwwDBComboDlg) {
  PROP_EVENT(OnCustomDlg);
  PROP_BOOL(ShowButton, ShowButton, SetShowButton, true);
  PROP_ENUM(Style, Style, SetStyle, csDropDown);
  PROP_ENUM(ButtonStyle, ButtonStyle, SetButtonStyle, cbsEllipsis);
}

namespace {
// The container is at least 17 pixels wide and high, the button at least 15
// wide: the sizes of the system's scroll-bar arrow at the smallest fonts.
constexpr int kMinContainerWidth = 17, kContainerHeight = 17, kMinButtonWidth = 15;
}  // namespace

TwwComboDlgButton::TwwComboDlgButton(TComponent* owner, TwwDBCustomCombo* combo)
    : TSpeedButton(owner), combo_(combo) {}

void TwwComboDlgButton::PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) {
  bool defaultDraw = true;
  combo_->DrawButtonFace(canvas, r, defaultDraw, state);
  if (defaultDraw) TSpeedButton::PaintFace(canvas, r, state);
}

TwwDBCustomCombo::TwwDBCustomCombo(TComponent* owner)
    : TwwDBCustomCombo(owner, [](TwwDBCustomCombo* combo) { return new TwwComboDlgButton(combo, combo); }) {}

TwwDBCustomCombo::TwwDBCustomCombo(TComponent* owner, TwwComboDlgButton* (*makeButton)(TwwDBCustomCombo*))
    : TwwDBCustomEdit(owner) {
  container_ = new TCustomControl(this);
  container_->SetBounds(0, 0, std::max(GetSystemMetrics(SM_CXVSCROLL) + 4, kMinContainerWidth),
                        kContainerHeight);
  container_->SetTabStop(false);
  container_->SetParent(this);
  button_ = makeButton(this);
  button_->SetBounds(0, 0, std::max(GetSystemMetrics(SM_CXVSCROLL), kMinButtonWidth), kContainerHeight);
  if (TBitmap* glyph = GetButtonGlyph()) button_->SetGlyph(glyph);
  button_->OnClick = [this](TObject*) { ButtonClick(); };
  button_->SetParent(container_);
  LayoutButton();
}

void TwwDBCustomCombo::FillCreateParams(TCreateParams& params) {
  TwwDBCustomEdit::FillCreateParams(params);
  params.Style = (params.Style & ~(ES_AUTOVSCROLL | ES_WANTRETURN)) | WS_CLIPCHILDREN;
}

bool TwwDBCustomCombo::GetShowButton() const { return container_->Visible(); }

void TwwDBCustomCombo::SetShowButton(bool value) {
  container_->SetVisible(value);
  if (!ComponentState().Contains(csLoading)) SetEditRect();
  Invalidate();
}

void TwwDBCustomCombo::SetButtonStyle(TwwComboButtonStyle value) {
  buttonStyle_ = value;
  if (TBitmap* glyph = GetButtonGlyph()) button_->SetGlyph(glyph);
  button_->Invalidate();
}

bool TwwDBCustomCombo::CanEditText() { return style_ != csDropDownList || IsDroppedDown(); }

TRect TwwDBCustomCombo::GetTextRect() {
  TRect r = ClientRect();
  if (GetShowButton()) r.Right = container_->Left();
  return r;
}

void TwwDBCustomCombo::SetEditRect() {
  if (!HandleAllocated()) return;
  const int margin = BorderStyle() == bsNone ? 2 : 0;
  const int right = (GetShowButton() ? container_->Left() : ClientWidth()) - 2;
  TRect r{margin, margin, right, ClientHeight() + 1};
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TwwDBCustomCombo::LayoutButton() {
  const int width = button_->Width();
  container_->SetBounds(ClientWidth() - width, 0, width, ClientHeight());
  if (BorderStyle() == bsNone) button_->SetBounds(0, -1, width, container_->Height() + 1);
  else button_->SetBounds(0, 0, width, container_->Height());
  SetEditRect();
}

void TwwDBCustomCombo::Resize() {
  TwwDBCustomEdit::Resize();
  LayoutButton();
}

void TwwDBCustomCombo::Loaded() {
  TwwDBCustomEdit::Loaded();
  button_->SetWidth(std::max(GetSystemMetrics(SM_CXVSCROLL), kMinButtonWidth));
  LayoutButton();
}

void TwwDBCustomCombo::Dispatch(TMessage& message) {
  TwwDBCustomEdit::Dispatch(message);
  if (message.Msg == CM_ENABLEDCHANGED) button_->SetEnabled(Enabled());
}

void TwwDBCustomCombo::ButtonClick() {
  if (IsDroppedDown()) {
    CloseUp(true);
    return;
  }
  if (CanFocus()) SetFocus();
  if (Focused()) DropDown();
}

void TwwDBCustomCombo::DropDown() {
  if (!OnCustomDlg) return;
  droppedDown_ = true;
  Invalidate();
  OnCustomDlg(this);
  if (!CanEditText()) HideCaret();
  Invalidate();
  droppedDown_ = false;
}

void TwwDBCustomCombo::CloseUp(bool accept) {
  if (accept) MarkModified();
}

void TwwDBCustomCombo::KeyDown(WORD& key, TShiftState shift) {
  const bool alt = shift.Contains(ssAlt);
  if ((key == VK_RETURN || key == VK_ESCAPE) && IsDroppedDown() && !alt) {
    CloseUp(key == VK_RETURN);
    key = 0;
    return;
  }
  if ((key == VK_UP || key == VK_DOWN) && alt) {
    if (IsDroppedDown()) CloseUp(true);
    else DropDown();
    key = 0;
    return;
  }
  // A date box in a grid cell moves rows as every other cell does.
  if (HandToGrid(key, shift, false)) {
    key = 0;
    return;
  }
  TwwDBCustomEdit::KeyDown(key, shift);
}

// Inside a grid cell with the list closed the grid keeps moving: keys that
// go to another row, and Tab (Enter where the grid turns it into Tab), go to
// the grid; Escape only where the caller lets it. Nil when the key stays here.
TwwDBGrid* TwwDBCustomCombo::GridTakingKey(WORD key, TShiftState shift, bool escape) const {
  auto* grid = dynamic_cast<TwwDBGrid*>(Parent());
  if (!grid || IsDroppedDown() || shift.Contains(ssAlt)) return nullptr;
  const bool rowKey = key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
  const bool tab = key == VK_TAB || (key == VK_RETURN && grid->KeyOptions().Contains(dgEnterToTab));
  return rowKey || tab || (escape && key == VK_ESCAPE) ? grid : nullptr;
}

// The grid takes the focus first, so the cell's value is written before it moves.
void TwwDBCustomCombo::PassToGrid(TwwDBGrid* grid, WORD key, TShiftState shift) {
  if (grid->CanFocus()) grid->SetFocus();
  grid->Perform(CN_KEYDOWN, key, LPARAM(shift.Bits()));
}

bool TwwDBCustomCombo::HandToGrid(WORD key, TShiftState shift, bool escape) {
  TwwDBGrid* grid = GridTakingKey(key, shift, escape);
  if (grid && (key == VK_ESCAPE || TextFitsField())) PassToGrid(grid, key, shift);
  return grid != nullptr;
}

// Text the field cannot take (a date half typed) is written before the grid
// has the focus, so that the refusal, told by the box, keeps the user here.
bool TwwDBCustomCombo::TextFitsField() {
  TField* field = Field();
  if (!field || !Modified() || wwIsValidFieldText(field, EditText())) return true;
  try {
    UpdateRecordNow();
  } catch (const EAbort&) {
    return false;
  }
  return true;
}

void TwwDBCustomCombo::TypeKey(char32_t& key) {
  if ((key >= 32 || key == 8) && !CanEditText()) {
    key = 0;
    return;
  }
  if (key == U'\t' && IsMasked()) {
    key = 0;
    return;
  }
  TwwDBCustomEdit::TypeKey(key);
}

void TwwDBCustomCombo::ToggleFromMouse() {
  if (IsEditStyle()) return;
  if (CanFocus()) SetFocus();
  if (IsDroppedDown()) CloseUp(true);
  else DropDown();
}

void TwwDBCustomCombo::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) ToggleFromMouse();
  TwwDBCustomEdit::MouseDown(button, shift, x, y);
}

void TwwDBCustomCombo::DblClick() {
  ToggleFromMouse();
  TwwDBCustomEdit::DblClick();
}

void TwwDBCustomCombo::DrawButtonFace(TCanvas* canvas, TRect rect, bool& defaultDraw,
                                      TButtonState state) {
  if (buttonStyle_ == cbsEllipsis) {
    wwDrawEllipsisButton(canvas, rect, Enabled() ? state : bsDisabled, false);
  } else {
    wwDrawDropDownArrowButton(canvas, rect, state == bsDown, false, Enabled());
  }
  defaultDraw = false;
}
