#pragma once
// Field and index definitions: what a dataset's cursor offers, independent of
// the TField objects that present it.

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/core/persistent.h"

class TFieldDefs;
class TIndexDefs;

class TFieldDef : public TPersistent {
  DECLARE_CLASS(TFieldDef, TPersistent)
 public:
  TFieldDef(TFieldDefs* owner, std::string name, TFieldType dataType, int size, bool required,
            int fieldNo);
  const std::string& Name() const { return name_; }
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  bool Required() const { return required_; }
  void SetRequired(bool on) { required_ = on; }
  int FieldNo() const { return fieldNo_; }
  int Precision() const { return precision_; }
  void SetPrecision(int p) { precision_ = p; }
  bool InternalCalcField() const { return internalCalc_; }
  void SetInternalCalcField(bool on) { internalCalc_ = on; }
  int Index() const;
  // The field class the definition presents as (nullptr for types without one).
  TClass FieldClass() const;
  // Makes a field for this definition, owned by `owner`, in the definitions'
  // dataset.
  TField* CreateField(TComponent* owner) const;
  void Assign(const TPersistent* source) override;

 private:
  TFieldDefs* owner_;
  std::string name_;
  TFieldType dataType_;
  int size_;
  bool required_;
  int fieldNo_;
  int precision_ = 0;
  bool internalCalc_ = false;
};

class TFieldDefs : public TPersistent {
  DECLARE_CLASS(TFieldDefs, TPersistent)
 public:
  explicit TFieldDefs(TDataSet* dataSet) : dataSet_(dataSet) {}
  TDataSet* DataSet() const { return dataSet_; }
  int Count() const { return int(items_.size()); }
  TFieldDef* Items(int index) const;
  TFieldDef* operator[](int index) const { return Items(index); }
  // Adds a definition numbered after the last one; "Duplicate field name" for a
  // name already present, "Invalid field size" for a size the type refuses.
  TFieldDef* Add(const std::string& name, TFieldType dataType, int size = 0, bool required = false);
  void Clear();
  int IndexOf(std::string_view name) const;  // case-insensitive
  TFieldDef* Find(std::string_view name) const;  // raises "Field '%s' not found"
  bool Updated() const { return updated_; }
  void SetUpdated(bool on) { updated_ = on; }
  // Reads the definitions from the dataset when they are not up to date.
  void Update();
  void Assign(const TPersistent* source) override;

 private:
  friend class TFieldDef;
  TDataSet* dataSet_;
  std::vector<std::unique_ptr<TFieldDef>> items_;
  bool updated_ = false;
};

DECLARE_ENUM(TIndexOption, ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression)
using TIndexOptions = TSet<TIndexOption>;

class TIndexDef : public TPersistent {
  DECLARE_CLASS(TIndexDef, TPersistent)
 public:
  TIndexDef(TIndexDefs* owner, std::string name, std::string fields, TIndexOptions options);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  // Key fields joined by ";" (the key expression for an expression index).
  const std::string& Fields() const { return fields_; }
  void SetFields(const std::string& fields) { fields_ = fields; }
  const std::string& Expression() const { return fields_; }
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options) { options_ = options; }
  // The index a tag belongs to, when the name is a tag name.
  const std::string& Source() const { return source_; }
  void SetSource(const std::string& source) { source_ = source; }
  void Assign(const TPersistent* source) override;

 private:
  TIndexDefs* owner_;
  std::string name_;
  std::string fields_;
  TIndexOptions options_;
  std::string source_;
};

class TIndexDefs : public TPersistent {
  DECLARE_CLASS(TIndexDefs, TPersistent)
 public:
  explicit TIndexDefs(TDataSet* dataSet) : dataSet_(dataSet) {}
  TDataSet* DataSet() const { return dataSet_; }
  int Count() const { return int(items_.size()); }
  TIndexDef* Items(int index) const;
  TIndexDef* operator[](int index) const { return Items(index); }
  TIndexDef* Add(const std::string& name, const std::string& fields, TIndexOptions options);
  void Clear() { items_.clear(); }
  int IndexOf(std::string_view name) const;  // case-insensitive
  TIndexDef* Find(std::string_view name) const;  // raises "Index '%s' not found"
  // The index whose key starts with the fields (exact match preferred); ascending
  // non-expression indexes only, and case-insensitive ones when asked.
  TIndexDef* GetIndexForFields(std::string_view fields, bool caseInsensitive) const;
  // As GetIndexForFields (case-sensitive), raising "No index for fields" on a miss.
  TIndexDef* FindIndexForFields(std::string_view fields) const;
  bool Updated() const { return updated_; }
  void SetUpdated(bool on) { updated_ = on; }
  void Update();
  void Assign(const TPersistent* source) override;

 private:
  TDataSet* dataSet_;
  std::vector<std::unique_ptr<TIndexDef>> items_;
  bool updated_ = false;
};
