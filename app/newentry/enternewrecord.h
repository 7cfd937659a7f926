#pragma once
// The new-entry dialog: fills a freshly appended entry before it is posted.

#include "platform/classlib/controls/forms.h"

class TfrmEnterNewRecord : public TForm {
  DECLARE_CLASS(TfrmEnterNewRecord, TForm)
 public:
  explicit TfrmEnterNewRecord(TComponent* AOwner);
};

extern TfrmEnterNewRecord* frmEnterNewRecord;
