#pragma once
// Record-level check constraints of a dataset: SQL-like conditions that a
// server or engine verifies before a record is stored.

#include <string>

#include "platform/classlib/core/collection.h"
#include "platform/classlib/core/typinfo.h"

class TCheckConstraint : public TCollectionItem {
  DECLARE_CLASS(TCheckConstraint, TCollectionItem)
 public:
  explicit TCheckConstraint(TCollection* collection = nullptr) : TCollectionItem(collection) {}
  const std::string& CustomConstraint() const { return customConstraint_; }
  void SetCustomConstraint(const std::string& s);
  const std::string& ErrorMessage() const { return errorMessage_; }
  void SetErrorMessage(const std::string& s);
  bool FromDictionary() const { return fromDictionary_; }
  void SetFromDictionary(bool on) { fromDictionary_ = on; }
  const std::string& ImportedConstraint() const { return importedConstraint_; }
  void SetImportedConstraint(const std::string& s);
  void Assign(const TPersistent* source) override;

 protected:
  std::string GetDisplayName() const override;

 private:
  std::string customConstraint_;
  std::string errorMessage_;
  bool fromDictionary_ = true;
  std::string importedConstraint_;
};

class TCheckConstraints : public TOwnedCollection {
  DECLARE_CLASS(TCheckConstraints, TOwnedCollection)
 public:
  explicit TCheckConstraints(TPersistent* owner)
      : TOwnedCollection(owner, TCheckConstraint::StaticClass()) {}
  TCheckConstraint* Add() { return static_cast<TCheckConstraint*>(TCollection::Add()); }
  TCheckConstraint* Items(int index) const {
    return static_cast<TCheckConstraint*>(TCollection::Items(index));
  }
};
