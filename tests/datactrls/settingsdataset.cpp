#include "settingsdataset.h"

#include "datactrls/wwfieldcheck.h"
#include "platform/classlib/core/typinfo.h"

IMPLEMENT_CLASS(TSettingsDataSet, TMemDataSet)
PUBLISHED(TSettingsDataSet) {
  PROP_OBJ(PictureMasks, PictureMasks, SetPictureMasks);
  PROP_OBJ(ControlType, ControlType, SetControlType);
  PROP_OBJ(LookupFields, LookupFields, SetLookupFields);
  PROP_OBJ(LookupLinks, LookupLinks, SetLookupLinks);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true);
  PROP_EVENT(OnInvalidValue);
  PROP_STR(DatabaseName, DatabaseName, DatabaseName, "");
  PROP_SET(OnFilterOptions, OnFilterOptions, OnFilterOptions, TTestFilterOptions{});
}

// As the engine datasets do: BeforePost first, then the mask check.
void TSettingsDataSet::FireBeforePost() {
  TMemDataSet::FireBeforePost();
  if (ValidateWithMask) wwValidatePictureFields(this, OnInvalidValue);
}

IMPLEMENT_CLASS(TMasksOnlyDataSet, TMemDataSet)
PUBLISHED(TMasksOnlyDataSet) { PROP_OBJ(PictureMasks, PictureMasks, SetPictureMasks); }
