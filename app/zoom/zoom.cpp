#include "app/zoom/zoom.h"

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmZoom, TForm)

TfrmZoom* frmZoom = nullptr;

namespace {

constexpr int kWidth = 460, kHeight = 300, kButtonPanelHeight = 36;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
// The buttons keep this gap to the panel's right edge and to each other.
constexpr int kGap = 5;

TMenuItem* AddItem(TfrmZoom* form, TMenuItem* parent, const char* name, const char* caption) {
  auto* item = NewComponent<TMenuItem>(form, name);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

}  // namespace

TfrmZoom::TfrmZoom(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmZoom");
  SetCaption("Edit text");
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  pnlButtons = NewControl<TPanel>(this, this, "pnlButtons", alBottom);
  pnlButtons->SetHeight(kButtonPanelHeight);
  pnlButtons->SetCaption("");
  btnOk = NewControl<TButton>(this, pnlButtons, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetModalResult(mrOk);
  btnCancel = NewControl<TButton>(this, pnlButtons, "btnCancel");
  btnCancel->SetCaption("Cancel");
  btnCancel->SetModalResult(mrCancel);
  rtfText = NewControl<TRichEdit>(this, this, "rtfText", alClient);

  popZoom = NewComponent<TPopupMenu>(this, "popZoom");
  TMenuItem* edit = AddItem(this, popZoom->Items(), "popZoom_Edit", "&Edit");
  AddItem(this, edit, "popZoom_Edit_Cut", "Cu&t")->OnClick = [this](TObject*) { rtfText->CutToClipboard(); };
  AddItem(this, edit, "popZoom_Edit_Copy", "&Copy")->OnClick = [this](TObject*) { rtfText->CopyToClipboard(); };
  AddItem(this, edit, "popZoom_Edit_Paste", "&Paste")->OnClick = [this](TObject*) { rtfText->PasteFromClipboard(); };
  auto* separator = new TMenuItem(this);
  separator->SetCaption("-");
  edit->Add(separator);
  AddItem(this, edit, "popZoom_Edit_SelectAll", "&SelectAll")->OnClick = [this](TObject*) { rtfText->SelectAll(); };
  AddItem(this, popZoom->Items(), "popZoom_Print", "&Print")->OnClick = [this](TObject*) { rtfText->Print(""); };
  rtfText->SetPopupMenu(popZoom);

  OnShow = [this](TObject*) { FocusControl(rtfText); };
  // The panel has its size already: placed now, and again on every resize.
  pnlButtons->OnResize = [this](TObject*) { PlaceButtons(); };
  PlaceButtons();
  rtfText->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) btnCancel->Click();
  };
}

void TfrmZoom::PlaceButtons() {
  const int top = (pnlButtons->ClientHeight() - kButtonHeight) / 2;
  btnCancel->SetBounds(pnlButtons->ClientWidth() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
  btnOk->SetBounds(btnCancel->Left() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
}
