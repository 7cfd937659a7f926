#pragma once
// The template error dialog: the reader's message and the question whether
// to go on, answered with Ignore, All or Cancel.

#include <string>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "report/output/ppforms.h"

class TppTemplateErrorDialog : public TppCustomTemplateErrorDialog {
  DECLARE_CLASS(TppTemplateErrorDialog, TppCustomTemplateErrorDialog)
 public:
  explicit TppTemplateErrorDialog(TComponent* owner);

  void LanguageChanged() override;
  void SetErrorMessage(const std::string& message) override;

  TLabel* lblMessage;
  TButton* btnIgnore;
  TButton* btnAll;
  TButton* btnCancel;
};
