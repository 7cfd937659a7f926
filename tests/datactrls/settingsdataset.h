#pragma once
// Test datasets that publish the library's per-field settings by name, as the
// library's and the engine's datasets do.

#include <memory>
#include <string>

#include "datactrls/wwfieldsettings.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/db/memdataset.h"

// Publishes all four lists, ValidateWithMask, OnInvalidValue and DatabaseName,
// and checks picture masks before every post while ValidateWithMask is set.
DECLARE_ENUM(TTestFilterOption, ofoEnabled, ofoShowHourGlass)
using TTestFilterOptions = TSet<TTestFilterOption>;

class TSettingsDataSet : public TMemDataSet {
  DECLARE_CLASS(TSettingsDataSet, TMemDataSet)
 public:
  explicit TSettingsDataSet(TComponent* owner = nullptr) : TMemDataSet(owner) {}

  TStringList* PictureMasks() const { return pictureMasks_.get(); }
  TStringList* ControlType() const { return controlType_.get(); }
  TStringList* LookupFields() const { return lookupFields_.get(); }
  TStringList* LookupLinks() const { return lookupLinks_.get(); }
  void SetPictureMasks(TStringList* v) { pictureMasks_->Assign(v); }
  void SetControlType(TStringList* v) { controlType_->Assign(v); }
  void SetLookupFields(TStringList* v) { lookupFields_->Assign(v); }
  void SetLookupLinks(TStringList* v) { lookupLinks_->Assign(v); }

  bool ValidateWithMask = true;
  TwwInvalidValueEvent OnInvalidValue;
  std::string DatabaseName;
  TTestFilterOptions OnFilterOptions{ofoShowHourGlass};

 protected:
  void FireBeforePost() override;

 private:
  std::unique_ptr<TStringList> pictureMasks_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> controlType_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> lookupFields_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> lookupLinks_ = std::make_unique<TStringList>();
};

// Publishes only PictureMasks.
class TMasksOnlyDataSet : public TMemDataSet {
  DECLARE_CLASS(TMasksOnlyDataSet, TMemDataSet)
 public:
  explicit TMasksOnlyDataSet(TComponent* owner = nullptr) : TMemDataSet(owner) {}
  TStringList* PictureMasks() const { return pictureMasks_.get(); }
  void SetPictureMasks(TStringList* v) { pictureMasks_->Assign(v); }

 private:
  std::unique_ptr<TStringList> pictureMasks_ = std::make_unique<TStringList>();
};
