#include "report/output/ppcnldlg.h"

#include <utility>

IMPLEMENT_CLASS(TppCancelDialog, TppCustomCancelDialog)

namespace {

constexpr int kClientWidth = 270, kClientHeight = 133;
constexpr int kButtonTop = 96, kButtonHeight = 25;

}  // namespace

TppCancelDialog::TppCancelDialog(TComponent* owner) : TppCustomCancelDialog(owner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);
  memMessage = new TMemo(this);
  memMessage->SetParent(this);
  memMessage->SetBounds(8, 8, kClientWidth - 16, kButtonTop - 16);
  memMessage->SetReadOnly(true);
  memMessage->SetBorderStyle(bsNone);
  memMessage->SetColor(clBtnFace);
  memMessage->SetCursor(crHourGlass);
  memMessage->SetTabStop(false);
  btnCancel = new TButton(this);
  btnCancel->SetParent(this);
  btnCancel->SetBounds(0, kButtonTop, 75, kButtonHeight);
  btnCancel->OnClick = [this](TObject*) {
    if (OnCancel) OnCancel(this);
    Close();
  };
  LanguageChanged();
  SetStatusText("");
}

TppCancelDialog::~TppCancelDialog() { EnableDisabledForm(); }

void TppCancelDialog::LanguageChanged() {
  SetCaption(Text(24));
  btnCancel->SetCaption(Text(5));
  ppFitButtonToCaption(btnCancel);
  btnCancel->SetLeft((ClientWidth() - btnCancel->Width()) / 2);
}

void TppCancelDialog::UpdateStatus() { memMessage->SetText(StatusText()); }

void TppCancelDialog::Activate() {
  btnCancel->SetEnabled(AllowCancel);
  TppCustomCancelDialog::Activate();
}

void TppCancelDialog::DoShow() {
  TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
  if (active && active != this && !disabled_) {
    disabled_ = active;
    disabled_->SetEnabled(false);
  }
  TppCustomCancelDialog::DoShow();
}

void TppCancelDialog::DoHide() {
  EnableDisabledForm();
  TppCustomCancelDialog::DoHide();
}

void TppCancelDialog::DoClose(TCloseAction& action) {
  TppCustomCancelDialog::DoClose(action);
  action = caFree;
}

void TppCancelDialog::EnableDisabledForm() {
  TCustomForm* form = std::exchange(disabled_, nullptr);
  if (!form || !Screen) return;
  // The form may have gone while printing.
  bool alive = false;
  for (int i = 0; i < Screen->FormCount() && !alive; ++i) alive = Screen->Forms(i) == form;
  if (!alive) return;
  const bool dialogWasActive = Screen->ActiveForm() == this;
  form->SetEnabled(true);
  if (dialogWasActive && form->CanFocus()) form->SetFocus();
}
