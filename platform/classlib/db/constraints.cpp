#include "platform/classlib/db/constraints.h"

IMPLEMENT_CLASS(TCheckConstraint, TCollectionItem)
IMPLEMENT_CLASS(TCheckConstraints, TOwnedCollection)

PUBLISHED(TCheckConstraint) {
  PROP_STR(CustomConstraint, CustomConstraint, SetCustomConstraint, "");
  PROP_STR(ErrorMessage, ErrorMessage, SetErrorMessage, "");
  PROP_BOOL(FromDictionary, FromDictionary, SetFromDictionary, true);
  PROP_STR(ImportedConstraint, ImportedConstraint, SetImportedConstraint, "");
}

void TCheckConstraint::SetCustomConstraint(const std::string& s) {
  if (s == customConstraint_) return;
  customConstraint_ = s;
  Changed(false);
}

void TCheckConstraint::SetErrorMessage(const std::string& s) {
  if (s == errorMessage_) return;
  errorMessage_ = s;
  Changed(false);
}

void TCheckConstraint::SetImportedConstraint(const std::string& s) {
  if (s == importedConstraint_) return;
  importedConstraint_ = s;
  Changed(false);
}

void TCheckConstraint::Assign(const TPersistent* source) {
  if (auto* c = As<TCheckConstraint>(source)) {
    customConstraint_ = c->customConstraint_;
    errorMessage_ = c->errorMessage_;
    fromDictionary_ = c->fromDictionary_;
    importedConstraint_ = c->importedConstraint_;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(source);
}

std::string TCheckConstraint::GetDisplayName() const {
  std::string name = !customConstraint_.empty() ? customConstraint_ : importedConstraint_;
  return name.empty() ? TCollectionItem::GetDisplayName() : name;
}
