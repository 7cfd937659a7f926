#pragma once
// The window that asks for the database file when it is not where the
// settings say.

#include "platform/classlib/controls/forms.h"

class TButton;
class TEdit;
class TLabel;
class TOpenDialog;

class TfrmLocateDB : public TForm {
  DECLARE_CLASS(TfrmLocateDB, TForm)
 public:
  explicit TfrmLocateDB(TComponent* AOwner);

  TLabel* lblMain;
  TEdit* txtFile;
  TButton* btnBrowse;
  TButton* btnOk;
  TButton* btnCancel;
  TOpenDialog* OpenDialog;

  // Places the controls for the caption and font in use.
  void LayOut();

 private:
  void txtFileChange(TObject* Sender);
  void btnBrowseClick(TObject* Sender);
};

inline constexpr const char* kLocateDBText =
    "Vantrel cannot find the Vantrel Database file. Please enter its location.";
