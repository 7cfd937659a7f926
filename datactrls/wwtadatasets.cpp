#include "datactrls/wwtadatasets.h"

#include "platform/classlib/core/typinfo.h"

IMPLEMENT_CLASS(TwwtaTable, TtaTable)
PUBLISHED(TwwtaTable) {
  PROP_OBJ(ControlType, ControlType, SetControlType);
  PROP_OBJ(PictureMasks, PictureMasks, SetPictureMasks);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true).AlwaysStored();
  PROP_EVENT(OnInvalidValue);
}

IMPLEMENT_CLASS(TwwtaQuery, TtaQuery)
PUBLISHED(TwwtaQuery) {
  PROP_OBJ(ControlType, ControlType, SetControlType);
  PROP_OBJ(PictureMasks, PictureMasks, SetPictureMasks);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true).AlwaysStored();
  PROP_EVENT(OnInvalidValue);
}
