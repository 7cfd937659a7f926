#include "app/locatedb/locatedb.h"

#include <algorithm>

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmLocateDB, TForm)

namespace {
constexpr int kWidth = 420, kHeight = 130;
// Room around and between the rows, and the least sizes of the edit and the
// buttons (their sizes at the default font); larger fonts grow them.
constexpr int kMargin = 8, kGap = 8, kEditHeight = 22, kButtonWidth = 76, kButtonHeight = 26;
}

TfrmLocateDB::TfrmLocateDB(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmLocateDB");
  SetCaption("Select Database");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  lblMain = NewControl<TLabel>(this, this, "lblMain");
  // Sized here for the whole width: a label that sizes itself to its widest
  // wrapped line narrows at every font change until one word fills a line.
  lblMain->SetAutoSize(false);
  lblMain->SetWordWrap(true);
  lblMain->SetCaption(kLocateDBText);
  txtFile = NewControl<TEdit>(this, this, "txtFile");
  txtFile->SetHint("The location of the Vantrel.mdb file");
  txtFile->SetShowHint(true);
  txtFile->OnChange = [this](TObject* s) { txtFileChange(s); };
  btnBrowse = NewControl<TButton>(this, this, "btnBrowse");
  btnBrowse->SetCaption("&Browse");
  btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetDefault(true);
  btnOk->SetModalResult(mrOk);
  // Stays disabled until the edit names an existing file.
  btnOk->SetEnabled(false);
  btnCancel = NewControl<TButton>(this, this, "btnCancel");
  btnCancel->SetCaption("Cancel");
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  OpenDialog = NewComponent<TOpenDialog>(this, "OpenDialog");
  OpenDialog->SetDefaultExt("mdb");
  OpenDialog->SetFilter("Vantrel Database (*.mdb)|*.mdb|All Files (*.*)|*.*");
  LayOut();
  // The caption is set after creation and the font may differ: laid out again when shown.
  OnShow = [this](TObject*) { LayOut(); };
}

// The message over the whole width, as many lines as it takes at the font in
// use; the path row and the buttons below it; the window as high as that.
void TfrmLocateDB::LayOut() {
  TCanvas* canvas = lblMain->Canvas();
  canvas->SetFont(lblMain->Font());
  const int width = ClientWidth() - 2 * kMargin;
  TRect text{0, 0, width, 0};
  DrawText(canvas, lblMain->Caption(), text, DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT);
  lblMain->SetBounds(kMargin, kMargin, width, text.Bottom);
  const int line = canvas->TextHeight("Wg");
  const int editHeight = std::max(kEditHeight, line + 8), buttonHeight = std::max(kButtonHeight, line + 10);
  int buttonWidth = kButtonWidth;
  for (TButton* b : {btnBrowse, btnOk, btnCancel})
    buttonWidth = std::max(buttonWidth, canvas->TextWidth(b->Caption()) + 2 * kGap);
  const int pathTop = lblMain->Top() + lblMain->Height() + kGap;
  btnBrowse->SetBounds(ClientWidth() - kMargin - buttonWidth, pathTop, buttonWidth, std::max(editHeight, buttonHeight));
  txtFile->SetBounds(kMargin, pathTop, btnBrowse->Left() - kGap - kMargin, editHeight);
  const int buttonsTop = btnBrowse->Top() + btnBrowse->Height() + 2 * kGap;
  btnCancel->SetBounds(ClientWidth() - kMargin - buttonWidth, buttonsTop, buttonWidth, buttonHeight);
  btnOk->SetBounds(btnCancel->Left() - kGap - buttonWidth, buttonsTop, buttonWidth, buttonHeight);
  SetClientHeight(std::max(kHeight, buttonsTop + buttonHeight + kMargin + 4));
}

// Once a real file was named, OK stays enabled while the user types on.
void TfrmLocateDB::txtFileChange(TObject*) {
  if (FileExists(txtFile->Text())) btnOk->SetEnabled(true);
}

void TfrmLocateDB::btnBrowseClick(TObject*) {
  if (OpenDialog->Execute()) txtFile->SetText(OpenDialog->FileName());
}
