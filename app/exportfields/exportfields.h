#pragma once
// The export-fields window: one check box per exported column, kept in the
// settings' section "Column Export" (every column chosen until unticked).

#include <span>
#include <vector>

#include "platform/classlib/controls/forms.h"

class TButton;
class TCheckBox;
class TRegIniFile;

// A box's caption and the stored column it stands for.
struct ExportFieldBox {
  const char* Caption;
  const char* Field;
};
// Every exported column in the window's order; the first kGridColumnBoxes are
// the entry grid's columns (the options dialog shows them for both).
std::span<const ExportFieldBox> ExportFieldBoxes();
inline constexpr int kGridColumnBoxes = 16;

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
