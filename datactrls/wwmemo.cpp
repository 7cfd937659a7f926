#include "datactrls/wwmemo.h"

#include <algorithm>

#include "datactrls/wwintl.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TwwMemoDlg, TForm)
IMPLEMENT_CLASS(TwwMemoDialog, TComponent)

namespace {

// The memo's margin in the window, and the room below it for the buttons.
constexpr int kMargin = 6;
constexpr int kButtonRoom = 45;
constexpr int kButtonGap = 20;
// User buttons: where the first starts in its panel and the gap between them.
constexpr int kUserLeft = 10, kUserGap = 15;

}  // namespace

// ---- The window ----------------------------------------------------------------

TwwMemoDlg::TwwMemoDlg(TComponent* AOwner) : TForm(AOwner) {
  SetBounds(0, 0, 561, 395);
  SetPosition(poScreenCenter);
  memo_ = new TMemo(this);
  memo_->SetParent(this);
  memo_->SetScrollBars(ssVertical);
  memo_->SetWantTabs(true);
  memo_->SetText("Memo");
  memo_->OnKeyDown = [this](TObject*, WORD& key, TShiftState shift) { MemoKeyDown(key, shift); };
  // Escape closes the window; its character would only beep in the memo.
  memo_->OnKeyPress = [](TObject*, char32_t& key) {
    if (key == 27) key = 0;
  };
  userButtonPanel_ = new TPanel(this);
  userButtonPanel_->SetParent(this);
  userButtonPanel_->SetVisible(false);
  userButton1_ = new TButton(userButtonPanel_);
  userButton2_ = new TButton(userButtonPanel_);
  for (TButton* b : {userButton1_, userButton2_}) {
    b->SetParent(userButtonPanel_);
    b->SetVisible(false);
    b->OnClick = [this, b](TObject*) {
      if (!dialog_) return;
      const auto& handler = b == userButton1_ ? dialog_->OnUserButton1Click : dialog_->OnUserButton2Click;
      if (handler) handler(this, memo_);
    };
  }
  ok_ = wwSetDialogAppearance(this, TwwDialogButtonKind::OK);
  cancel_ = wwSetDialogAppearance(this, TwwDialogButtonKind::Cancel);
  ok_->SetTabOrder(1);
  cancel_->SetTabOrder(2);
  ok_->SetVisible(true);
  cancel_->SetVisible(true);
  ok_->OnClick = [this](TObject*) { okPressed_ = true; };
  OnCloseQuery = [this](TObject*, bool& canClose) { AskBeforeClosing(canClose); };
}

void TwwMemoDlg::MemoKeyDown(WORD& key, TShiftState shift) {
  if ((key == VK_RETURN && shift.Contains(ssCtrl)) || key == VK_F2) {
    okPressed_ = true;
    SetModalResult(mrOk);
    key = 0;
  } else if (key == VK_ESCAPE) {
    SetModalResult(mrCancel);
    key = 0;
  }
}

void TwwMemoDlg::AskBeforeClosing(bool& canClose) {
  canClose = true;
  if (okPressed_ || !memo_->Modified()) return;
  const std::string& warning = wwGlobalIntl()->UserMessages()->MemoChangesWarning;
  canClose = MessageDlg(warning, mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
}

void TwwMemoDlg::ApplyFirstShow() {
  // A designed position is one at least 1 pixel in; else the window is centred.
  if (wanted_.Left < 1 && wanted_.Top < 1) {
    SetBounds(Left(), Top(), wanted_.Right - wanted_.Left, wanted_.Bottom - wanted_.Top);
  } else {
    SetPosition(poDesigned);
    SetBounds(wanted_.Left, wanted_.Top, wanted_.Right - wanted_.Left, wanted_.Bottom - wanted_.Top);
  }
  LayOutUserButtons();
  Resize();
  memo_->SetModified(false);
}

void TwwMemoDlg::LayOutUserButtons() {
  int right = 0;
  for (TButton* b : {userButton1_, userButton2_}) {
    if (b->Caption().empty()) continue;
    b->SetBounds(right == 0 ? kUserLeft : right + kUserGap, 0, ok_->Width(), ok_->Height());
    b->SetVisible(true);
    right = b->Left() + b->Width();
  }
  userButtonPanel_->SetVisible(right > 0);
  if (right > 0) userButtonPanel_->SetBounds(kMargin - 1, 0, right + 10, ok_->Height());
}

void TwwMemoDlg::Resize() {
  TForm::Resize();
  if (!cancel_) return;  // still being built
  const int w = std::max(ClientWidth() - 2 * kMargin, 0);
  const int h = std::max(ClientHeight() - kButtonRoom, 0);
  memo_->SetBounds(kMargin, kMargin, w, h);
  const int top = h + 17;
  if (userButtonPanel_->Visible())
    userButtonPanel_->SetBounds(userButtonPanel_->Left(), kMargin + h + 2, userButtonPanel_->Width(),
                                userButtonPanel_->Height());
  if (!viewOnly_) {
    cancel_->SetBounds(w - (ok_->Width() + kButtonGap), top, cancel_->Width(), cancel_->Height());
    ok_->SetBounds(cancel_->Left() - (ok_->Width() + kButtonGap), top, ok_->Width(), ok_->Height());
  } else if (userButtonPanel_->Visible()) {
    ok_->SetBounds(kMargin + w - ok_->Width() - 25, top, ok_->Width(), ok_->Height());
  } else {
    ok_->SetBounds(kMargin + (w - ok_->Width()) / 2, top, ok_->Width(), ok_->Height());
  }
}

// ---- The component -------------------------------------------------------------

TwwMemoDialog::TwwMemoDialog(TComponent* AOwner)
    : TComponent(AOwner), font_(std::make_unique<TFont>()) {}

TwwMemoDialog::~TwwMemoDialog() { SetDataSource(nullptr); }

void TwwMemoDialog::SetDataSource(TDataSource* value) {
  if (value == dataSource_) return;
  if (dataSource_) dataSource_->RemoveFreeNotification(this);
  dataSource_ = value;
  if (value) value->FreeNotification(this);
}

void TwwMemoDialog::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dataSource_) dataSource_ = nullptr;
}

void TwwMemoDialog::InitDialog(TwwMemoDlg* dialog) {
  if (OnInitDialog) OnInitDialog(dialog);
}

void TwwMemoDialog::CloseDialog(TwwMemoDlg* dialog) {
  if (OnCloseDialog) OnCloseDialog(dialog);
}

bool TwwMemoDialog::Execute() {
  auto dlg = std::make_unique<TwwMemoDlg>(nullptr);
  dlg->dialog_ = this;
  TDataSet* ds = dataSource_ ? dataSource_->DataSet() : nullptr;
  TField* field = ds && !DataField.empty() ? ds->FindField(DataField) : nullptr;
  dlg->memo_->SetText(field ? field->AsString() : std::string());
  dlg->memo_->SetWordWrap(MemoAttributes.Contains(mWordWrap));
  dlg->SetBorderStyle(MemoAttributes.Contains(mSizeable) ? bsSizeable : bsDialog);
  dlg->memo_->Font()->Assign(font_.get());
  dlg->SetCaption(Caption);
  dlg->wanted_ = {DlgLeft, DlgTop, DlgLeft + DlgWidth, DlgTop + DlgHeight};
  dlg->viewOnly_ = MemoAttributes.Contains(mViewOnly);
  if (dlg->viewOnly_) {
    dlg->cancel_->SetVisible(false);
    dlg->memo_->SetReadOnly(true);
  }
  dlg->userButton1_->SetCaption(UserButton1Caption);
  dlg->userButton2_->SetCaption(UserButton2Caption);
  dlg->ApplyFirstShow();
  dlg_ = dlg.get();
  InitDialog(dlg_);
  dlg->memo_->SetModified(false);
  TModalResult result = mrCancel;
  try {
    result = dlg->ShowModal();
    CloseDialog(dlg_);
  } catch (...) {
    dlg_ = nullptr;
    throw;
  }
  dlg_ = nullptr;
  if (result != mrOk) return false;
  if (!dlg->viewOnly_ && field) {
    ds->Edit();
    field->SetAsString(dlg->memo_->Text());
  }
  return true;
}
