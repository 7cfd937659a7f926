#pragma once
// TField and its typed kinds: one column of the current record of a dataset.
//
// A field reads and writes its value through its dataset in a native form (the
// "data" of GetData/SetData); the dataset decides which record buffer the value
// lives in, following its state. Native forms:
//   string       UTF-8 text, zero-terminated, DataSize = 4 * Size + 1 bytes
//   (SetData and WriteFieldData always pass a buffer of DataSize bytes)
//   smallint     int16        word      uint16     integer, autoinc  int32
//   boolean      int16 (0 false, non-zero true)
//   float, currency  double
//   date         int32 day number (days since 1 January of year 1, plus one)
//   time         int32 milliseconds since midnight
//   date-time    double milliseconds since 1 January of year 1
//   bytes        Size bytes     var-bytes  uint16 length + Size bytes
//   blob kinds   no buffer; the content travels through the dataset's blob stream

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/db/dbvariant.h"

class TField;
class TStream;

using TFieldNotifyEvent = std::function<void(TField* sender)>;
using TFieldGetTextEvent =
    std::function<void(TField* sender, std::string& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField* sender, const std::string& text)>;

class TField : public TComponent {
  DECLARE_CLASS(TField, TComponent)
 public:
  explicit TField(TComponent* owner = nullptr);
  ~TField() override;

  // ---- identity -------------------------------------------------------------
  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  int FieldNo() const { return fieldNo_; }  // 1-based for data fields, -1 calculated
  TFieldKind FieldKind() const { return fieldKind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return fieldKind_ == fkCalculated; }
  void SetCalculated(bool on) { SetFieldKind(on ? fkCalculated : fkData); }
  bool Lookup() const { return fieldKind_ == fkLookup; }
  void SetLookup(bool on) { SetFieldKind(on ? fkLookup : fkData); }
  TFieldType DataType() const { return dataType_; }
  virtual int DataSize() const { return 0; }
  int Size() const { return size_; }
  void SetSize(int size);
  // Position in the dataset's field list; setting it moves the field.
  int Index() const;
  void SetIndex(int index);
  // Calculated and lookup fields: offset in the calculated area (not-null byte
  // first); blob fields: their index among the blob fields.
  int Offset() const { return offset_; }
  bool IsBlob() const { return IsBlobType(dataType_); }
  virtual bool IsIndexField() const;

  // ---- presentation ---------------------------------------------------------
  std::string DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  void SetDisplayLabel(const std::string& label);
  std::string DisplayName() const { return DisplayLabel(); }
  int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : DefaultWidth(); }
  void SetDisplayWidth(int width);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool Required() const { return required_; }
  void SetRequired(bool on) { required_ = on; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& mask);
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& format);
  const std::string& EditFormat() const { return editFormat_; }
  void SetEditFormat(const std::string& format);

  // ---- value ----------------------------------------------------------------
  bool IsNull() const;
  virtual void Clear() { SetData(nullptr); }
  std::string AsString() const { return GetAsString(); }
  void SetAsString(const std::string& v) { SetAsStringValue(v); }
  long AsInteger() const { return GetAsInteger(); }
  void SetAsInteger(long v) { SetAsIntegerValue(v); }
  double AsFloat() const { return GetAsFloat(); }
  void SetAsFloat(double v) { SetAsFloatValue(v); }
  ::Currency AsCurrency() const { return GetAsCurrency(); }
  void SetAsCurrency(::Currency v) { SetAsCurrencyValue(v); }
  bool AsBoolean() const { return GetAsBoolean(); }
  void SetAsBoolean(bool v) { SetAsBooleanValue(v); }
  TDateTime AsDateTime() const { return GetAsDateTime(); }
  void SetAsDateTime(TDateTime v) { SetAsDateTimeValue(v); }
  Variant AsVariant() const { return GetAsVariant(); }
  void SetAsVariant(const Variant& v);
  Variant Value() const { return GetAsVariant(); }
  void SetValue(const Variant& v) { SetAsVariant(v); }
  Variant OldValue() const;
  Variant NewValue() const;
  void SetNewValue(const Variant& v);
  // Edit text and display text, through OnGetText/OnSetText when assigned.
  std::string Text() const;
  void SetText(const std::string& text);
  std::string DisplayText() const;

  // Native value access: GetData is false for a null value; SetData(nullptr)
  // makes the value null.
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);
  // Runs OnValidate on a value about to be stored (the handler reads it as the
  // field's value); datasets call it from their WriteFieldData.
  void Validate(const void* buffer);
  bool CanModify() const;
  void FocusControl();
  virtual bool IsValidChar(char32_t ch) const;
  void AssignValue(const Variant& v) { SetAsVariant(v); }

  // ---- constraints ----------------------------------------------------------
  const std::string& CustomConstraint() const { return customConstraint_; }
  void SetCustomConstraint(const std::string& s) { customConstraint_ = s; }
  const std::string& ImportedConstraint() const { return importedConstraint_; }
  void SetImportedConstraint(const std::string& s) { importedConstraint_ = s; }
  const std::string& ConstraintErrorMessage() const { return constraintErrorMessage_; }
  void SetConstraintErrorMessage(const std::string& s) { constraintErrorMessage_ = s; }
  bool HasConstraints() const { return !customConstraint_.empty() || !importedConstraint_.empty(); }

  // ---- lookup definition ----------------------------------------------------
  TDataSet* LookupDataSet() const { return lookupDataSet_; }
  void SetLookupDataSet(TDataSet* dataSet);
  const std::string& KeyFields() const { return keyFields_; }
  void SetKeyFields(const std::string& s) { keyFields_ = s; }
  const std::string& LookupKeyFields() const { return lookupKeyFields_; }
  void SetLookupKeyFields(const std::string& s) { lookupKeyFields_ = s; }
  const std::string& LookupResultField() const { return lookupResultField_; }
  void SetLookupResultField(const std::string& s) { lookupResultField_ = s; }

  // Streamed inside their dataset in form definitions.
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  // ---- events ---------------------------------------------------------------
  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

 protected:
  void SetDataType(TFieldType type) { dataType_ = type; }
  virtual int DefaultWidth() const { return 10; }
  virtual std::string GetAsString() const;
  virtual void SetAsStringValue(const std::string& v);
  virtual long GetAsInteger() const;
  virtual void SetAsIntegerValue(long v);
  virtual double GetAsFloat() const;
  virtual void SetAsFloatValue(double v);
  virtual ::Currency GetAsCurrency() const { return ::Currency(GetAsFloat()); }
  virtual void SetAsCurrencyValue(::Currency v) { SetAsFloatValue(v.ToDouble()); }
  virtual bool GetAsBoolean() const;
  virtual void SetAsBooleanValue(bool v);
  virtual TDateTime GetAsDateTime() const;
  virtual void SetAsDateTimeValue(TDateTime v);
  virtual Variant GetAsVariant() const;
  virtual void SetVariantValue(const Variant& v);
  // The text shown (displayText) or edited; the default is AsString.
  virtual void GetText(std::string& text, bool displayText) const;
  // Stores typed text; the default sets AsString.
  virtual void SetTextValue(const std::string& text);
  virtual void CheckSize(int size) const;
  [[noreturn]] void AccessError(const char* typeName) const;
  [[noreturn]] void RangeError(double value, double min, double max) const;
  void Notification(TComponent* component, TOperation operation) override;
  void PropertyChanged(bool layout);

 private:
  friend class TDataSet;
  friend class TFields;
  void Change();
  bool IsDisplayWidthStored() const { return displayWidth_ > 0; }
  void Bind(bool binding);
  void CalcLookupValue();

  TDataSet* dataSet_ = nullptr;
  std::string fieldName_;
  int fieldNo_ = 0;
  TFieldKind fieldKind_ = fkData;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int offset_ = 0;
  std::string displayLabel_;
  int displayWidth_ = 0;
  bool visible_ = true;
  bool readOnly_ = false;
  bool required_ = false;
  TAlignment alignment_ = taLeftJustify;
  std::string editMask_;
  std::string displayFormat_;
  std::string editFormat_;
  TDataSet* lookupDataSet_ = nullptr;
  std::string keyFields_;
  std::string lookupKeyFields_;
  std::string lookupResultField_;
  std::string customConstraint_;
  std::string importedConstraint_;
  std::string constraintErrorMessage_;
  const void* validating_ = nullptr;
  bool inValidate_ = false;
};

class TStringField : public TField {
  DECLARE_CLASS(TStringField, TField)
 public:
  explicit TStringField(TComponent* owner = nullptr);
  int DataSize() const override { return 4 * Size() + 1; }
  Variant GetAsVariant() const override;
  std::string Value() const { return GetAsString(); }
  void SetValue(const std::string& v) { SetAsStringValue(v); }
  // Text converted between the cursor's and the program's character sets.
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool on) { transliterate_ = on; }
 protected:
  int DefaultWidth() const override { return Size(); }
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  long GetAsInteger() const override;
  void SetAsIntegerValue(long v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool v) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime v) override;
  void SetVariantValue(const Variant& v) override;
  void CheckSize(int size) const override;

 private:
  bool transliterate_ = true;
};

// Common ground of the numeric fields: right alignment, display and edit formats.
class TNumericField : public TField {
  DECLARE_CLASS(TNumericField, TField)
 public:
  explicit TNumericField(TComponent* owner = nullptr);
};

class TIntegerField : public TNumericField {
  DECLARE_CLASS(TIntegerField, TNumericField)
 public:
  explicit TIntegerField(TComponent* owner = nullptr);
  int DataSize() const override { return 4; }
  long MinValue() const { return minValue_; }
  void SetMinValue(long v) { minValue_ = v; }
  long MaxValue() const { return maxValue_; }
  void SetMaxValue(long v) { maxValue_ = v; }
  bool IsValidChar(char32_t ch) const override;
 protected:
  TIntegerField(TComponent* owner, TFieldType type, long min, long max);
  int DefaultWidth() const override { return 11; }
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  long GetAsInteger() const override;
  void SetAsIntegerValue(long v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override;
  void GetText(std::string& text, bool displayText) const override;
  virtual bool ReadInt(long& value) const;
  virtual void WriteInt(long value);

 private:
  long minValue_ = 0;
  long maxValue_ = 0;
  long limitMin_;
  long limitMax_;
};

class TSmallintField : public TIntegerField {
  DECLARE_CLASS(TSmallintField, TIntegerField)
 public:
  explicit TSmallintField(TComponent* owner = nullptr);
  int DataSize() const override { return 2; }
 protected:
  int DefaultWidth() const override { return 6; }
  bool ReadInt(long& value) const override;
  void WriteInt(long value) override;
};

class TWordField : public TIntegerField {
  DECLARE_CLASS(TWordField, TIntegerField)
 public:
  explicit TWordField(TComponent* owner = nullptr);
  int DataSize() const override { return 2; }
 protected:
  int DefaultWidth() const override { return 5; }
  bool ReadInt(long& value) const override;
  void WriteInt(long value) override;
};

class TAutoIncField : public TIntegerField {
  DECLARE_CLASS(TAutoIncField, TIntegerField)
 public:
  explicit TAutoIncField(TComponent* owner = nullptr);
};

class TFloatField : public TNumericField {
  DECLARE_CLASS(TFloatField, TNumericField)
 public:
  explicit TFloatField(TComponent* owner = nullptr);
  int DataSize() const override { return 8; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool on);
  int Precision() const { return precision_; }
  void SetPrecision(int p);
  double MinValue() const { return minValue_; }
  void SetMinValue(double v) { minValue_ = v; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double v) { maxValue_ = v; }
  bool IsValidChar(char32_t ch) const override;
 protected:
  int DefaultWidth() const override { return 10; }
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  long GetAsInteger() const override;
  void SetAsIntegerValue(long v) override { SetAsFloatValue(double(v)); }
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override;
  void GetText(std::string& text, bool displayText) const override;

 private:
  bool currency_ = false;
  int precision_ = 15;
  double minValue_ = 0;
  double maxValue_ = 0;
};

class TCurrencyField : public TFloatField {
  DECLARE_CLASS(TCurrencyField, TFloatField)
 public:
  explicit TCurrencyField(TComponent* owner = nullptr);
};

// Exact decimals held as the engine's 34-byte BCD; the value is a Currency.
// Size is the number of decimal places.
class TBCDField : public TNumericField {
  DECLARE_CLASS(TBCDField, TNumericField)
 public:
  explicit TBCDField(TComponent* owner = nullptr);
  int DataSize() const override { return 34; }
  int Precision() const { return precision_; }
  void SetPrecision(int p) { precision_ = p; }
  bool IsValidChar(char32_t ch) const override;
 protected:
  ::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(::Currency v) override { SetCurrencyValue(v); }
  int DefaultWidth() const override { return 12; }
  void CheckSize(int size) const override;
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  long GetAsInteger() const override;
  void SetAsIntegerValue(long v) override { SetCurrencyValue(::Currency(int(v))); }
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override { SetCurrencyValue(::Currency(v)); }
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override { SetCurrencyValue(v.AsCurrency()); }
  void GetText(std::string& text, bool displayText) const override;
 private:
  bool ReadCurrency(::Currency& value) const;
  void SetCurrencyValue(::Currency value);
  int precision_ = 32;
};

class TBooleanField : public TField {
  DECLARE_CLASS(TBooleanField, TField)
 public:
  explicit TBooleanField(TComponent* owner = nullptr);
  int DataSize() const override { return 2; }
  // "True text;False text"; the default is "True;False".
  const std::string& DisplayValues() const { return displayValues_; }
  void SetDisplayValues(const std::string& values);
 protected:
  int DefaultWidth() const override;
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool v) override;
  long GetAsInteger() const override { return GetAsBoolean() ? 1 : 0; }
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override;

 private:
  std::string displayValues_;
  std::string trueText_ = "True";
  std::string falseText_ = "False";
};

class TDateTimeField : public TField {
  DECLARE_CLASS(TDateTimeField, TField)
 public:
  explicit TDateTimeField(TComponent* owner = nullptr);
  int DataSize() const override { return 8; }
 protected:
  TDateTimeField(TComponent* owner, TFieldType type);
  int DefaultWidth() const override { return 18; }
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  double GetAsFloat() const override { return GetAsDateTime(); }
  void SetAsFloatValue(double v) override { SetAsDateTimeValue(v); }
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime v) override;
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override;
  void GetText(std::string& text, bool displayText) const override;
  virtual std::string DefaultText(TDateTime v) const;
  virtual bool ParseText(const std::string& text, TDateTime& value) const;
};

class TDateField : public TDateTimeField {
  DECLARE_CLASS(TDateField, TDateTimeField)
 public:
  explicit TDateField(TComponent* owner = nullptr);
  int DataSize() const override { return 4; }
 protected:
  int DefaultWidth() const override { return 10; }
  std::string DefaultText(TDateTime v) const override;
  bool ParseText(const std::string& text, TDateTime& value) const override;
};

class TTimeField : public TDateTimeField {
  DECLARE_CLASS(TTimeField, TDateTimeField)
 public:
  explicit TTimeField(TComponent* owner = nullptr);
  int DataSize() const override { return 4; }
 protected:
  std::string DefaultText(TDateTime v) const override;
  bool ParseText(const std::string& text, TDateTime& value) const override;
};

// Fixed and variable byte strings; AsString gives the raw bytes.
class TBinaryField : public TField {
  DECLARE_CLASS(TBinaryField, TField)
 public:
  explicit TBinaryField(TComponent* owner = nullptr);
 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  Variant GetAsVariant() const override { return IsNull() ? Null : Variant(GetAsString()); }
  void GetText(std::string& text, bool displayText) const override;
  void CheckSize(int size) const override;
  virtual bool Variable() const { return false; }
};

class TBytesField : public TBinaryField {
  DECLARE_CLASS(TBytesField, TBinaryField)
 public:
  explicit TBytesField(TComponent* owner = nullptr);
  int DataSize() const override { return Size(); }
};

class TVarBytesField : public TBinaryField {
  DECLARE_CLASS(TVarBytesField, TBinaryField)
 public:
  explicit TVarBytesField(TComponent* owner = nullptr);
  int DataSize() const override { return Size() + 2; }
 protected:
  bool Variable() const override { return true; }
};

// Blob, memo and graphic fields: the content is read and written through the
// dataset's blob stream of the current record.
class TBlobField : public TField {
  DECLARE_CLASS(TBlobField, TField)
 public:
  explicit TBlobField(TComponent* owner = nullptr);
  TFieldType BlobType() const { return DataType(); }
  void SetBlobType(TFieldType type);
  bool Modified() const { return modified_; }
  void SetModified(bool on) { modified_ = on; }
  // Text converted between the cursor's and the program's character sets
  // (on for memos).
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool on) { transliterate_ = on; }
  int BlobSize() const;
  void LoadFromStream(TStream* stream);
  void SaveToStream(TStream* stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  void Clear() override;
 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  Variant GetAsVariant() const override;
  void SetVariantValue(const Variant& v) override;
  void GetText(std::string& text, bool displayText) const override;
  void CheckSize(int size) const override;

 private:
  bool modified_ = false;
  bool transliterate_ = false;
};

class TMemoField : public TBlobField {
  DECLARE_CLASS(TMemoField, TBlobField)
 public:
  explicit TMemoField(TComponent* owner = nullptr);
};

class TGraphicField : public TBlobField {
  DECLARE_CLASS(TGraphicField, TBlobField)
 public:
  explicit TGraphicField(TComponent* owner = nullptr);
};

// The field class made for a definition of the given type; nullptr when none.
TClass DefaultFieldClass(TFieldType type);
TField* CreateFieldOfType(TFieldType type, TComponent* owner);

// The ordered list of a dataset's fields.
class TFields {
 public:
  explicit TFields(TDataSet* dataSet) : dataSet_(dataSet) {}
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;
  int Count() const { return int(list_.size()); }
  TField* operator[](int index) const { return Fields(index); }
  TField* Fields(int index) const;
  TField* FindField(std::string_view name) const;
  TField* FieldByName(std::string_view name) const;
  TField* FieldByNumber(int fieldNo) const;
  int IndexOf(const TField* field) const;
  void Add(TField* field);
  void Remove(TField* field);
  void Clear();  // frees the fields
  void CheckFieldName(const std::string& name) const;
  void SetFieldIndex(TField* field, int index);
  TDataSet* DataSet() const { return dataSet_; }
  std::vector<TField*>::const_iterator begin() const { return list_.begin(); }
  std::vector<TField*>::const_iterator end() const { return list_.end(); }

 private:
  TDataSet* dataSet_;
  std::vector<TField*> list_;
};
