#include "app/message/message.h"

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmMessage, TForm)

namespace {
// Room for the picture on the left and three lines of text beside it.
constexpr int kWidth = 400, kHeight = 170, kIcon = 32, kMargin = 12, kButtonWidth = 75;
}  // namespace

TfrmMessage::TfrmMessage(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmMessage");
  SetCaption("Entry Not Visible");
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  SetPosition(poScreenCenter);
  imgIcon = NewControl<TImage>(this, this, "imgIcon");
  imgIcon->SetBounds(kMargin, kMargin, kIcon, kIcon);
  lblMessage = NewControl<TLabel>(this, this, "lblMessage");
  lblMessage->SetWordWrap(true);
  lblMessage->SetBounds(2 * kMargin + kIcon, kMargin, kWidth - 3 * kMargin - kIcon, 80);
  chkMessageBodyBlankConfirm = NewControl<TCheckBox>(this, this, "chkMessageBodyBlankConfirm");
  chkMessageBodyBlankConfirm->SetCaption("&Don't show me this again");
  chkMessageBodyBlankConfirm->SetBounds(2 * kMargin + kIcon, 100, 250, 20);
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetDefault(true);
  btnOk->SetCancel(true);
  btnOk->SetModalResult(mrOk);
  btnOk->SetBounds((kWidth - kButtonWidth) / 2, kHeight - 35, kButtonWidth, 25);
}
