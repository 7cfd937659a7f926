#include "platform/classlib/db/fielddefs.h"

#include <memory>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

IMPLEMENT_CLASS(TFieldDef, TPersistent)
IMPLEMENT_CLASS(TFieldDefs, TPersistent)
IMPLEMENT_CLASS(TIndexDef, TPersistent)
IMPLEMENT_CLASS(TIndexDefs, TPersistent)

// ---- TFieldDef ---------------------------------------------------------------

TFieldDef::TFieldDef(TFieldDefs* owner, std::string name, TFieldType dataType, int size,
                     bool required, int fieldNo)
    : owner_(owner), name_(std::move(name)), dataType_(dataType), size_(size),
      required_(required), fieldNo_(fieldNo) {}

int TFieldDef::Index() const {
  if (!owner_) return -1;
  for (int i = 0; i < owner_->Count(); ++i)
    if (owner_->Items(i) == this) return i;
  return -1;
}

TClass TFieldDef::FieldClass() const { return DefaultFieldClass(dataType_); }

TField* TFieldDef::CreateField(TComponent* owner) const {
  std::unique_ptr<TField> field(CreateFieldOfType(dataType_, owner));
  if (!field) return nullptr;
  field->SetFieldName(name_);
  if (size_ != 0 || IsBlobType(dataType_)) field->SetSize(size_);
  field->SetRequired(required_);
  if (auto* f = As<TFloatField>(field.get()); f && precision_ > 0) f->SetPrecision(precision_);
  if (internalCalc_) field->SetFieldKind(fkInternalCalc);
  if (owner_ && owner_->DataSet()) field->SetDataSet(owner_->DataSet());
  return field.release();
}

void TFieldDef::Assign(const TPersistent* source) {
  if (auto* d = As<TFieldDef>(source)) {
    name_ = d->name_;
    dataType_ = d->dataType_;
    size_ = d->size_;
    required_ = d->required_;
    precision_ = d->precision_;
    internalCalc_ = d->internalCalc_;
    return;
  }
  TPersistent::Assign(source);
}

// ---- TFieldDefs --------------------------------------------------------------

TFieldDef* TFieldDefs::Items(int index) const {
  if (index < 0 || index >= Count()) DatabaseError(dbtext::FieldIndexError, dataSet_);
  return items_[std::size_t(index)].get();
}

namespace {
void CheckDefSize(TFieldType type, int size) {
  bool ok = true;
  switch (type) {
    case ftString: case ftBytes: case ftVarBytes: ok = size > 0; break;
    case ftBCD: ok = size >= 0 && size <= 32; break;
    default: ok = IsBlobType(type) ? size >= 0 : size == 0; break;
  }
  if (!ok) DatabaseError(dbtext::InvalidFieldSize);
}
}  // namespace

TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required) {
  if (name.empty()) DatabaseError(dbtext::FieldNameMissing, dataSet_);
  if (IndexOf(name) >= 0) DatabaseErrorFmt(dbtext::DuplicateFieldName, {name}, dataSet_);
  CheckDefSize(dataType, size);
  items_.push_back(std::make_unique<TFieldDef>(this, name, dataType, size, required, Count() + 1));
  updated_ = false;
  return items_.back().get();
}

void TFieldDefs::Clear() {
  items_.clear();
  updated_ = false;
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[std::size_t(i)]->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(dbtext::FieldNotFound, {name}, dataSet_);
  return items_[std::size_t(i)].get();
}

void TFieldDefs::Update() {
  if (!updated_ && dataSet_) dataSet_->PrepareFieldDefs();
}

void TFieldDefs::Assign(const TPersistent* source) {
  if (auto* d = As<TFieldDefs>(source)) {
    items_.clear();
    for (const auto& def : d->items_) {
      TFieldDef* copy = Add(def->Name(), def->DataType(), def->Size(), def->Required());
      copy->Assign(def.get());
    }
    return;
  }
  TPersistent::Assign(source);
}

// ---- TIndexDef ---------------------------------------------------------------

TIndexDef::TIndexDef(TIndexDefs* owner, std::string name, std::string fields,
                     TIndexOptions options)
    : owner_(owner), name_(std::move(name)), fields_(std::move(fields)), options_(options) {}

void TIndexDef::Assign(const TPersistent* source) {
  if (auto* d = As<TIndexDef>(source)) {
    name_ = d->name_;
    fields_ = d->fields_;
    options_ = d->options_;
    source_ = d->source_;
    return;
  }
  TPersistent::Assign(source);
}

// ---- TIndexDefs --------------------------------------------------------------

TIndexDef* TIndexDefs::Items(int index) const {
  if (index < 0 || index >= Count()) DatabaseError(dbtext::FieldIndexError, dataSet_);
  return items_[std::size_t(index)].get();
}

TIndexDef* TIndexDefs::Add(const std::string& name, const std::string& fields,
                           TIndexOptions options) {
  if (IndexOf(name) >= 0) DatabaseErrorFmt(dbtext::DuplicateIndexName, {name}, dataSet_);
  items_.push_back(std::make_unique<TIndexDef>(this, name, fields, options));
  return items_.back().get();
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[std::size_t(i)]->Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(dbtext::IndexNotFound, {name}, dataSet_);
  return items_[std::size_t(i)].get();
}

TIndexDef* TIndexDefs::GetIndexForFields(std::string_view fields, bool caseInsensitive) const {
  if (fields.empty()) return nullptr;
  // First an index on exactly these fields, then one whose key begins with them.
  for (bool exact : {true, false}) {
    for (const auto& def : items_) {
      TIndexOptions o = def->Options();
      if (o.Contains(ixDescending) || o.Contains(ixExpression)) continue;
      if (caseInsensitive && !o.Contains(ixCaseInsensitive)) continue;
      const std::string& key = def->Fields();
      if (exact) {
        if (AnsiSameText(key, fields)) return def.get();
      } else if (key.size() > fields.size() && key[fields.size()] == ';' &&
                 AnsiSameText(key.substr(0, fields.size()), fields)) {
        return def.get();
      }
    }
  }
  return nullptr;
}

TIndexDef* TIndexDefs::FindIndexForFields(std::string_view fields) const {
  TIndexDef* def = GetIndexForFields(fields, false);
  if (!def) DatabaseErrorFmt(dbtext::NoIndexForFields, {fields}, dataSet_);
  return def;
}

void TIndexDefs::Update() {
  if (!updated_ && dataSet_) dataSet_->RefreshIndexDefs();
}

void TIndexDefs::Assign(const TPersistent* source) {
  if (auto* d = As<TIndexDefs>(source)) {
    items_.clear();
    for (const auto& def : d->items_) Add(def->Name(), def->Fields(), def->Options())->Assign(def.get());
    return;
  }
  TPersistent::Assign(source);
}
