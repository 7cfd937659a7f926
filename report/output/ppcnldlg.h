#pragma once
// The cancel dialog: shows how far printing is and lets it be cancelled;
// while it is shown the form that was active stays disabled.

#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "report/output/ppforms.h"

class TppCancelDialog : public TppCustomCancelDialog {
  DECLARE_CLASS(TppCancelDialog, TppCustomCancelDialog)
 public:
  explicit TppCancelDialog(TComponent* owner);
  ~TppCancelDialog() override;

  void LanguageChanged() override;
  void UpdateStatus() override;

  TMemo* memMessage;
  TButton* btnCancel;
  // The form disabled while the dialog shows (null when none).
  TCustomForm* DisabledForm() const { return disabled_; }

 protected:
  void Activate() override;
  void DoShow() override;
  void DoHide() override;
  void DoClose(TCloseAction& action) override;

 private:
  void EnableDisabledForm();
  TCustomForm* disabled_ = nullptr;
};
