#pragma once
// The dialogs a designer opens from a component's or band's popup menu. The
// report names only their abstract bases; the forms registered for them
// (ppRegisterForm) are created with the report's language base, filled from
// the component, shown modally and applied when closed with OK.

#include <memory>
#include <string>

#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/images.h"
#include "report/data/pputils.h"
#include "report/output/ppforms.h"

class TppBand;
class TppComponent;

// Left, Top, Width, Height in Units; the parent-size switches; for
// stretchables also the two offsets.
class TppCustomPositionDialog : public TppForm {
  DECLARE_CLASS(TppCustomPositionDialog, TppForm)
 public:
  using TppForm::TppForm;
  TppUnitType Units = utInches;
  float Left = 0, Top = 0, Width = 0, Height = 0;
  bool ParentWidth = false, ParentHeight = false;
  bool HasOffsets = false;
  float BottomOffset = 0, OverFlowOffset = 0;
};

class TppCustomFormatDialog : public TppForm {
  DECLARE_CLASS(TppCustomFormatDialog, TppForm)
 public:
  using TppForm::TppForm;
  std::string DisplayFormat;
  TppDataType DataType = dtString;
};

// The calculation, the field it runs over (Fields: the pipeline's) and the
// group that resets it (Groups: the report's, index -1 for none).
class TppCustomDBCalcDialog : public TppForm {
  DECLARE_CLASS(TppCustomDBCalcDialog, TppForm)
 public:
  using TppForm::TppForm;
  int DBCalcType = 0;
  std::string DataField;
  TStringList Fields;
  TStringList Groups;
  int ResetGroup = -1;
};

class TppCustomPictureDialog : public TppForm {
  DECLARE_CLASS(TppCustomPictureDialog, TppForm)
 public:
  explicit TppCustomPictureDialog(TComponent* owner);
  ~TppCustomPictureDialog() override;
  TPicture* Picture() const { return picture_.get(); }

 private:
  std::unique_ptr<TPicture> picture_;
};

// The band's other stretchables, "<None>" first; ItemIndex the chosen one.
class TppCustomShiftDialog : public TppForm {
  DECLARE_CLASS(TppCustomShiftDialog, TppForm)
 public:
  using TppForm::TppForm;
  TStringList Components;
  int ItemIndex = 0;
};

class TppCustomBandPositionDialog : public TppForm {
  DECLARE_CLASS(TppCustomBandPositionDialog, TppForm)
 public:
  using TppForm::TppForm;
  TppUnitType Units = utInches;
  float Height = 0, BottomOffset = 0, PrintPosition = 0;
};

class TppCustomMemoDialog : public TppForm {
  DECLARE_CLASS(TppCustomMemoDialog, TppForm)
 public:
  using TppForm::TppForm;
  TStringList Lines;
};

class TppCustomRTFEditor : public TppForm {
  DECLARE_CLASS(TppCustomRTFEditor, TppForm)
 public:
  using TppForm::TppForm;
  std::string RichText;
};

// Each opens its dialog for the component (or band) and applies it on OK;
// true when applied. Nothing happens without a registered form.
bool ppEditPosition(TppComponent* component);
bool ppEditDisplayFormat(TppComponent* component);
bool ppEditCalculations(TppComponent* component);
bool ppEditPicture(TppComponent* component);
bool ppEditShiftRelativeTo(TppComponent* component);
bool ppEditLines(TppComponent* component);
bool ppEditRichText(TppComponent* component);
bool ppEditBandPosition(TppBand* band);
