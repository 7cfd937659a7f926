#pragma once
// The attachment properties window: one page of labels and four attribute
// boxes about one file, and an OK button. It only displays.

#include <string>

#include "platform/classlib/controls/forms.h"

class TButton;
class TCheckBox;
class TImage;
class TLabel;
class TSystemImageList;

class TfrmFileProperties : public TForm {
  DECLARE_CLASS(TfrmFileProperties, TForm)
 public:
  explicit TfrmFileProperties(TComponent* AOwner);
  // Fills every label, box and the icon from the file at `path`.
  void ShowFile(const std::string& path);

  TImage* imgFile;
  TLabel* lblFileName;
  TLabel* lblSizeOut;
  TLabel* lblLocationOut;
  TLabel* lblDateOut;
  TCheckBox* chkReadOnly;
  TCheckBox* chkHidden;
  TCheckBox* chkArchive;
  TCheckBox* chkSystem;
  TSystemImageList* ilIcon;
  TButton* btnOk;
};
