#pragma once
// The engine datasets the program's windows place: the Access binding's table
// and query with the library's per-field settings lists (ControlType and
// PictureMasks, formats in wwfieldsettings.h) and a picture-mask check of the
// whole record before every post.
//
// They live with the library rather than with the engine because the check is
// the library's: the library already builds on the engine, and the engine
// knows nothing of the library.

#include <memory>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfieldsettings.h"
#include "dbengine/accbinding.h"
#include "platform/classlib/core/strings.h"

// What both engine datasets add to the binding's table or query. It takes no
// place in the class chain: each dataset names the binding's class as parent.
template <class Base>
class TwwtaSettings : public Base {
 public:
  explicit TwwtaSettings(TComponent* owner) : Base(owner) {}

  TStrings* ControlType() const { return controlType_.get(); }
  void SetControlType(TStrings* value) { controlType_->Assign(value); }
  TStrings* PictureMasks() const { return pictureMasks_.get(); }
  void SetPictureMasks(TStrings* value) { pictureMasks_->Assign(value); }
  // Check the picture masks before every post.
  bool ValidateWithMask = true;
  // Told of the field that breaks its mask before the post is refused.
  TwwInvalidValueEvent OnInvalidValue;

 protected:
  // BeforePost first; a field that breaks its mask then raises, so the record
  // never reaches the engine.
  void FireBeforePost() override {
    Base::FireBeforePost();
    if (ValidateWithMask) wwValidatePictureFields(this, OnInvalidValue);
  }

 private:
  std::unique_ptr<TStringList> controlType_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> pictureMasks_ = std::make_unique<TStringList>();
};

class TwwtaTable : public TwwtaSettings<TtaTable> {
  DECLARE_CLASS(TwwtaTable, TtaTable)
 public:
  explicit TwwtaTable(TComponent* owner = nullptr) : TwwtaSettings(owner) {}
};

class TwwtaQuery : public TwwtaSettings<TtaQuery> {
  DECLARE_CLASS(TwwtaQuery, TtaQuery)
 public:
  explicit TwwtaQuery(TComponent* owner = nullptr) : TwwtaSettings(owner) {}
};
