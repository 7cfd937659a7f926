#include "app/message/message.h"

#include <algorithm>

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmMessage, TForm)

namespace {
// Room for the picture on the left and three lines of text beside it; the
// picture is as large as the message boxes make it (larger on screens of
// finer resolution), the text moves right of it.
constexpr int kWidth = 400, kHeight = 170, kIcon = 32, kMargin = 12, kButtonWidth = 75;
}  // namespace

TfrmMessage::TfrmMessage(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmMessage");
  SetCaption("Entry Not Visible");
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  SetPosition(poScreenCenter);
  imgIcon = NewControl<TImage>(this, this, "imgIcon");
  // The notice informs, as the information boxes do: it shows their picture.
  imgIcon->Picture()->Assign(MessageDlgIcon(mtInformation).get());
  const int icon = std::max(kIcon, imgIcon->Picture()->Width());
  imgIcon->SetBounds(kMargin, kMargin, icon, std::max(kIcon, imgIcon->Picture()->Height()));
  const int textLeft = 2 * kMargin + icon;
  lblMessage = NewControl<TLabel>(this, this, "lblMessage");
  lblMessage->SetWordWrap(true);
  lblMessage->SetBounds(textLeft, kMargin, kWidth - kMargin - textLeft, 80);
  chkMessageBodyBlankConfirm = NewControl<TCheckBox>(this, this, "chkMessageBodyBlankConfirm");
  chkMessageBodyBlankConfirm->SetCaption("&Don't show me this again");
  chkMessageBodyBlankConfirm->SetBounds(textLeft, 100, 250, 20);
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetDefault(true);
  btnOk->SetCancel(true);
  btnOk->SetModalResult(mrOk);
  btnOk->SetBounds((kWidth - kButtonWidth) / 2, kHeight - 35, kButtonWidth, 25);
}
