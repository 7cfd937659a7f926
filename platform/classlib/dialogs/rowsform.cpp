#include "platform/classlib/dialogs/rowsform.h"

#include <algorithm>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

namespace vantrel::dialogs {

namespace {

// Room around and between the rows, the caption column and the least sizes
// of the rows and buttons (room for the default font).
constexpr int kMargin = 10, kGap = 8, kLabelWidth = 80, kEditWidth = 180;
constexpr int kRowHeight = 22, kButtonWidth = 76, kButtonHeight = 26;
// How far a label's text sits below the top of its row, to line up with an edit's text.
constexpr int kLabelDrop = 3;
// What the password edits show in place of each typed character.
constexpr char32_t kPasswordChar = U'*';

TButton* AddButton(TForm* form, const std::string& caption, TModalResult result) {
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetCaption(caption);
  button->SetModalResult(result);
  return button;
}

}  // namespace

TRowsForm::TRowsForm(const std::string& caption) : TForm(nullptr), width_(kMargin * 2 + kLabelWidth + kEditWidth) {
  SetCaption(caption);
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
}

void TRowsForm::AddText(const std::string& caption, const std::string& text) {
  AddCaption(caption, nullptr);
  auto* value = new TLabel(this);
  value->SetParent(this);
  value->SetCaption(text);
  // On the caption's line: labels sit lower than edits to meet their text.
  value->SetBounds(kMargin + kLabelWidth, Row() + kLabelDrop, kEditWidth, kRowHeight);
  rows_.push_back(value);
}

TEdit* TRowsForm::AddEdit(const std::string& caption, const std::string& text, bool secret) {
  auto* edit = new TEdit(this);
  edit->SetParent(this);
  edit->SetText(text);
  if (secret) edit->SetPasswordChar(kPasswordChar);
  AddCaption(caption, edit);
  edit->SetBounds(kMargin + kLabelWidth, Row(), kEditWidth, kRowHeight);
  rows_.push_back(edit);
  return edit;
}

TEdit* TRowsForm::AddPromptedEdit(const std::string& prompt, const std::string& text) {
  auto* edit = new TEdit(this);
  auto* label = new TLabel(this);
  label->SetParent(this);
  label->SetCaption(prompt);  // sized to its text
  label->SetFocusControl(edit);
  label->SetLeft(kMargin);
  label->SetTop(Row());
  rows_.push_back(label);
  width_ = std::max(width_, kMargin * 2 + label->Width());
  edit->SetParent(this);
  edit->SetText(text);
  // Close under its prompt, which it belongs to.
  edit->SetBounds(kMargin, Row() - kGap / 2, width_ - kMargin * 2, kRowHeight);
  rows_.push_back(edit);
  return edit;
}

bool TRowsForm::Run(TEdit* focused) {
  const int top = Row() + kGap;
  auto* cancel = AddButton(this, "Cancel", mrCancel);
  cancel->SetCancel(true);
  cancel->SetBounds(width_ - kMargin - kButtonWidth, top, kButtonWidth, kButtonHeight);
  auto* ok = AddButton(this, "OK", mrOk);
  ok->SetDefault(true);
  ok->SetBounds(cancel->Left() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
  SetClientWidth(width_);
  SetClientHeight(top + kButtonHeight + kMargin);
  if (focused) SetActiveControl(focused);
  return ShowModal() == mrOk;
}

int TRowsForm::Row() const {
  if (rows_.empty()) return kMargin;
  return rows_.back()->Top() + rows_.back()->Height() + kGap;
}

void TRowsForm::AddCaption(const std::string& caption, TWinControl* focusTarget) {
  auto* label = new TLabel(this);
  label->SetParent(this);
  label->SetCaption(caption);
  if (focusTarget) label->SetFocusControl(focusTarget);
  label->SetBounds(kMargin, Row() + kLabelDrop, kLabelWidth - kGap, kRowHeight);
}

}  // namespace vantrel::dialogs
