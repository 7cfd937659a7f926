#pragma once
// TParam and TParams: named, typed values handed to a statement, and the scan
// that finds ":name" markers in SQL text.
//
// Native forms (GetData/SetData), as the engine takes them:
//   string, memo        zero-terminated text (length + 1 bytes)
//   smallint, word, boolean   16-bit          integer, autoinc  32-bit
//   date                32-bit day number (days since 1 January of year 1, plus one)
//   time                32-bit milliseconds since midnight
//   date-time           double, milliseconds since 1 January of year 1
//   float, currency     double            BCD   34 bytes
//   bytes and blob kinds  the raw bytes   cursor  nothing

#include <string>
#include <vector>

#include "platform/classlib/core/collection.h"
#include "platform/classlib/db/dbvariant.h"
#include "platform/classlib/db/dbtypes.h"

DECLARE_ENUM(TParamType, ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult)

class TParams;

class TParam : public TCollectionItem {
  DECLARE_CLASS(TParam, TCollectionItem)
 public:
  explicit TParam(TCollection* collection = nullptr) : TCollectionItem(collection) {}
  TParam(TParams* params, TParamType type, const std::string& name = {});

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType type);
  TParamType ParamType() const { return paramType_; }
  void SetParamType(TParamType type) { paramType_ = type; }
  bool Bound() const { return bound_; }
  void SetBound(bool on) { bound_ = on; }
  bool IsNull() const { return dbvar::IsNullish(value_); }
  void Clear();

  const Variant& Value() const { return value_; }
  // Sets the value; an unknown data type is taken from the value.
  void SetValue(const Variant& value);
  std::string AsString() const { return IsNull() ? std::string() : dbvar::ToString(value_); }
  long AsInteger() const { return IsNull() ? 0 : long(dbvar::ToInt(value_)); }
  double AsFloat() const { return IsNull() ? 0 : dbvar::ToFloat(value_); }
  bool AsBoolean() const { return IsNull() ? false : dbvar::ToBool(value_); }
  TDateTime AsDateTime() const { return IsNull() ? TDateTime() : dbvar::ToDateTime(value_); }
  ::Currency AsCurrency() const { return IsNull() ? ::Currency() : value_.AsCurrency(); }
  void SetAsString(const std::string& v) { Set(ftString, Variant(v)); }
  void SetAsMemo(const std::string& v) { Set(ftMemo, Variant(v)); }
  void SetAsBlob(const std::string& v) { Set(ftBlob, Variant(v)); }
  void SetAsInteger(long v) { Set(ftInteger, Variant(int(v))); }
  void SetAsSmallInt(int v) { Set(ftSmallint, Variant(short(v))); }
  void SetAsWord(int v) { Set(ftWord, Variant((unsigned short)(v))); }
  void SetAsFloat(double v) { Set(ftFloat, Variant(v)); }
  void SetAsCurrency(::Currency v) { Set(ftCurrency, Variant(v)); }
  void SetAsBCD(::Currency v) { Set(ftBCD, Variant(v)); }
  void SetAsBoolean(bool v) { Set(ftBoolean, Variant(v)); }
  void SetAsDate(TDateTime v) { Set(ftDate, Variant(v)); }
  void SetAsTime(TDateTime v) { Set(ftTime, Variant(v)); }
  void SetAsDateTime(TDateTime v) { Set(ftDateTime, Variant(v)); }

  // Bytes of the native form; GetData writes them, SetData reads them.
  int GetDataSize() const;
  void GetData(void* buffer) const;
  // size: the bytes available (needed for the byte and blob kinds; without
  // it a text runs to its terminating zero).
  void SetData(const void* buffer, int size = -1);

  // From a field: its type (a memo whose Size is 256 or more travels as a
  // string, as callers of the library expect), value or null, and its name.
  void AssignField(const TField* field);
  void AssignFieldValue(const TField* field, const Variant& value);
  void AssignToField(TField* field) const;
  void Assign(const TPersistent* source) override;
  bool IsEqual(const TParam* other) const;

 protected:
  std::string GetDisplayName() const override { return name_.empty() ? TCollectionItem::GetDisplayName() : name_; }
  void AssignTo(TPersistent* dest) const override;

 private:
  void Set(TFieldType type, const Variant& value);
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  TParamType paramType_ = ptUnknown;
  bool bound_ = false;
  Variant value_;
};

class TParams : public TOwnedCollection {
  DECLARE_CLASS(TParams, TOwnedCollection)
 public:
  explicit TParams(TPersistent* owner = nullptr)
      : TOwnedCollection(owner, TParam::StaticClass()) {}
  TParam* Items(int index) const { return static_cast<TParam*>(TCollection::Items(index)); }
  TParam* operator[](int index) const { return Items(index); }
  TParam* CreateParam(TFieldType type, const std::string& name, TParamType paramType);
  TParam* FindParam(std::string_view name) const;  // case-insensitive
  TParam* ParamByName(std::string_view name) const;  // "Parameter '%s' not found"
  // Each parameter takes the value of the first same-named one of the source.
  void AssignValues(const TParams* source);
  bool IsEqual(const TParams* other) const;
  Variant ParamValues(const std::string& names) const;
  void SetParamValues(const std::string& names, const Variant& value);
  // Finds ":name" markers outside quotes ("::" is a colon), replaces each by
  // "?" and, with doCreate, adds a parameter per marker. Returns the new text.
  std::string ParseSQL(const std::string& sql, bool doCreate);
};
