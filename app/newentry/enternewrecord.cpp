#include "app/newentry/enternewrecord.h"

IMPLEMENT_CLASS(TfrmEnterNewRecord, TForm)

TfrmEnterNewRecord* frmEnterNewRecord = nullptr;

// (The dialog's controls are built in this folder.)
TfrmEnterNewRecord::TfrmEnterNewRecord(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmEnterNewRecord");
  SetCaption("New Bug Report");
}
