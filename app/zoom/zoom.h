#pragma once
// The text zoom window: edits one field's text in a larger rich edit.

#include "platform/classlib/controls/forms.h"

class TButton;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TRichEdit;

class TfrmZoom : public TForm {
  DECLARE_CLASS(TfrmZoom, TForm)
 public:
  explicit TfrmZoom(TComponent* AOwner);

  TRichEdit* rtfText;
  TPanel* pnlButtons;
  TButton* btnOk;
  TButton* btnCancel;
  TPopupMenu* popZoom;

 private:
  // Cancel at the button panel's right edge, OK beside it.
  void PlaceButtons();
};

extern TfrmZoom* frmZoom;
