#pragma once
// The export-fields window: one check box per exported column, kept in the
// settings' section "Column Export" (every column chosen until unticked).

#include <vector>

#include "platform/classlib/controls/forms.h"

class TButton;
class TCheckBox;
class TRegIniFile;

class TfrmExportFields : public TForm {
  DECLARE_CLASS(TfrmExportFields, TForm)
 public:
  // The boxes are read from and written to `reg`, which outlives the window.
  TfrmExportFields(TComponent* AOwner, TRegIniFile* reg);

  std::vector<TCheckBox*> Boxes;  // in the window's order
  TButton* btnOk;
  TButton* btnCancel;

 private:
  void LoadBoxes();
  void SaveBoxes();
  TRegIniFile* reg_;
};
