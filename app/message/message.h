#pragma once
// A message with a "don't show me this again" box (an information picture,
// the text and one OK button).

#include "platform/classlib/controls/forms.h"

class TButton;
class TCheckBox;
class TImage;
class TLabel;

class TfrmMessage : public TForm {
  DECLARE_CLASS(TfrmMessage, TForm)
 public:
  explicit TfrmMessage(TComponent* AOwner);

  TImage* imgIcon;
  TLabel* lblMessage;
  TCheckBox* chkMessageBodyBlankConfirm;
  TButton* btnOk;
};
