#include "app/locatedb/locatedb.h"

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmLocateDB, TForm)

namespace {
constexpr int kWidth = 420, kHeight = 130;
}

TfrmLocateDB::TfrmLocateDB(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmLocateDB");
  SetCaption("Select Database");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  lblMain = NewControl<TLabel>(this, this, "lblMain");
  lblMain->SetBounds(8, 8, kWidth - 16, 32);
  lblMain->SetWordWrap(true);
  lblMain->SetCaption(kLocateDBText);
  txtFile = NewControl<TEdit>(this, this, "txtFile");
  txtFile->SetBounds(8, 48, kWidth - 100, 22);
  txtFile->SetHint("The location of the Vantrel.mdb file");
  txtFile->SetShowHint(true);
  txtFile->OnChange = [this](TObject* s) { txtFileChange(s); };
  btnBrowse = NewControl<TButton>(this, this, "btnBrowse");
  btnBrowse->SetBounds(kWidth - 84, 47, 76, 24);
  btnBrowse->SetCaption("&Browse");
  btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetBounds(kWidth - 168, 92, 76, 26);
  btnOk->SetCaption("OK");
  btnOk->SetDefault(true);
  btnOk->SetModalResult(mrOk);
  // Stays disabled until the edit names an existing file.
  btnOk->SetEnabled(false);
  btnCancel = NewControl<TButton>(this, this, "btnCancel");
  btnCancel->SetBounds(kWidth - 84, 92, 76, 26);
  btnCancel->SetCaption("Cancel");
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  OpenDialog = NewComponent<TOpenDialog>(this, "OpenDialog");
  OpenDialog->SetDefaultExt("mdb");
  OpenDialog->SetFilter("Vantrel Database (*.mdb)|*.mdb|All Files (*.*)|*.*");
}

// Once a real file was named, OK stays enabled while the user types on.
void TfrmLocateDB::txtFileChange(TObject*) {
  if (FileExists(txtFile->Text())) btnOk->SetEnabled(true);
}

void TfrmLocateDB::btnBrowseClick(TObject*) {
  if (OpenDialog->Execute()) txtFile->SetText(OpenDialog->FileName());
}
