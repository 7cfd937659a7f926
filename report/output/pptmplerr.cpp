#include "report/output/pptmplerr.h"

IMPLEMENT_CLASS(TppTemplateErrorDialog, TppCustomTemplateErrorDialog)

namespace {

// Room for a reader message of a few wrapped lines above the buttons.
constexpr int kClientWidth = 360, kClientHeight = 130;
constexpr int kMargin = 8, kButtonHeight = 25, kButtonGap = 6;
constexpr int kButtonTop = kClientHeight - kMargin - kButtonHeight;
// String-table offsets: "All", "Cancel", "Ignore the error and continue?".
constexpr int kAll = 3, kCancel = 5, kIgnoreError = 405;

TButton* AddButton(TppForm* form, TModalResult answer) {
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(0, kButtonTop, 75, kButtonHeight);
  button->SetModalResult(answer);
  return button;
}

}  // namespace

TppTemplateErrorDialog::TppTemplateErrorDialog(TComponent* owner)
    : TppCustomTemplateErrorDialog(owner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);
  SetCaption("Error");
  lblMessage = new TLabel(this);
  lblMessage->SetParent(this);
  lblMessage->SetAutoSize(false);
  lblMessage->SetWordWrap(true);
  lblMessage->SetBounds(kMargin, kMargin, kClientWidth - 2 * kMargin, kButtonTop - 2 * kMargin);
  btnIgnore = AddButton(this, mrIgnore);
  btnIgnore->SetDefault(true);
  btnAll = AddButton(this, mrAll);
  btnCancel = AddButton(this, mrCancel);
  btnCancel->SetCancel(true);
  LanguageChanged();
}

void TppTemplateErrorDialog::LanguageChanged() {
  // The report's string table has no "Ignore"; the other two follow the language.
  btnIgnore->SetCaption("Ignore");
  btnAll->SetCaption(Text(kAll));
  btnCancel->SetCaption(Text(kCancel));
  // Fitted buttons in a row, centred under the message.
  int width = -kButtonGap;
  for (TButton* b : {btnIgnore, btnAll, btnCancel}) {
    ppFitButtonToCaption(b);
    width += b->Width() + kButtonGap;
  }
  int left = (ClientWidth() - width) / 2;
  for (TButton* b : {btnIgnore, btnAll, btnCancel}) {
    b->SetLeft(left);
    left += b->Width() + kButtonGap;
  }
  SetErrorMessage(ErrorMessage());
}

void TppTemplateErrorDialog::SetErrorMessage(const std::string& message) {
  TppCustomTemplateErrorDialog::SetErrorMessage(message);
  lblMessage->SetCaption(message + "\r" + Text(kIgnoreError));
}
