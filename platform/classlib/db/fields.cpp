#include "platform/classlib/db/fields.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"

IMPLEMENT_CLASS(TField, TComponent)
IMPLEMENT_CLASS(TStringField, TField)
IMPLEMENT_CLASS(TNumericField, TField)
IMPLEMENT_CLASS(TIntegerField, TNumericField)
IMPLEMENT_CLASS(TSmallintField, TIntegerField)
IMPLEMENT_CLASS(TWordField, TIntegerField)
IMPLEMENT_CLASS(TAutoIncField, TIntegerField)
IMPLEMENT_CLASS(TFloatField, TNumericField)
IMPLEMENT_CLASS(TCurrencyField, TFloatField)
IMPLEMENT_CLASS(TBCDField, TNumericField)
IMPLEMENT_CLASS(TBooleanField, TField)
IMPLEMENT_CLASS(TDateTimeField, TField)
IMPLEMENT_CLASS(TDateField, TDateTimeField)
IMPLEMENT_CLASS(TTimeField, TDateTimeField)
IMPLEMENT_CLASS(TBinaryField, TField)
IMPLEMENT_CLASS(TBytesField, TBinaryField)
IMPLEMENT_CLASS(TVarBytesField, TBinaryField)
IMPLEMENT_CLASS(TBlobField, TField)
IMPLEMENT_CLASS(TMemoField, TBlobField)
IMPLEMENT_CLASS(TGraphicField, TBlobField)

PUBLISHED(TField) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_STR(ConstraintErrorMessage, ConstraintErrorMessage, SetConstraintErrorMessage, "");
  PROP_STR(CustomConstraint, CustomConstraint, SetCustomConstraint, "");
  PROP_STR(DisplayLabel, displayLabel_, SetDisplayLabel, "");
  PROP_INT(DisplayWidth, DisplayWidth, SetDisplayWidth, 0).Stored(&Class::IsDisplayWidthStored);
  PROP_STR(EditMask, EditMask, SetEditMask, "");
  PROP_ENUM(FieldKind, FieldKind, SetFieldKind, fkData);
  PROP_STR(ImportedConstraint, ImportedConstraint, SetImportedConstraint, "");
  PROP_STR(FieldName, FieldName, SetFieldName, "");
  PROP_INT(Index, Index, SetIndex, 0).Stored(false);
  PROP_STR(KeyFields, KeyFields, SetKeyFields, "");
  PROP_OBJ(LookupDataSet, LookupDataSet, SetLookupDataSet);
  PROP_STR(LookupKeyFields, LookupKeyFields, SetLookupKeyFields, "");
  PROP_STR(LookupResultField, LookupResultField, SetLookupResultField, "");
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_BOOL(Required, Required, SetRequired, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_EVENT(OnChange);
  PROP_EVENT(OnGetText);
  PROP_EVENT(OnSetText);
  PROP_EVENT(OnValidate);
}

PUBLISHED(TStringField) {
  PROP_INT(Size, Size, SetSize, 20);
  PROP_BOOL(Transliterate, Transliterate, SetTransliterate, true);
}

PUBLISHED(TNumericField) {
  PROP_STR(DisplayFormat, DisplayFormat, SetDisplayFormat, "");
  PROP_STR(EditFormat, EditFormat, SetEditFormat, "");
  PROP_DEFAULT(Alignment, taRightJustify);
}

PUBLISHED(TIntegerField) {
  PROP_INT(MaxValue, MaxValue, SetMaxValue, 0);
  PROP_INT(MinValue, MinValue, SetMinValue, 0);
}

PUBLISHED(TFloatField) {
  PROP_BOOL(Currency, Currency, SetCurrency, false);
  PROP_FLOAT(MaxValue, MaxValue, SetMaxValue, 0.0);
  PROP_FLOAT(MinValue, MinValue, SetMinValue, 0.0);
  PROP_INT(Precision, Precision, SetPrecision, 15);
}

PUBLISHED(TCurrencyField) { PROP_DEFAULT(Currency, true); }

PUBLISHED(TBCDField) {
  PROP_INT(Precision, Precision, SetPrecision, 32);
  PROP_INT(Size, Size, SetSize, 4);
}

PUBLISHED(TBooleanField) { PROP_STR(DisplayValues, DisplayValues, SetDisplayValues, ""); }

PUBLISHED(TDateTimeField) { PROP_STR(DisplayFormat, DisplayFormat, SetDisplayFormat, ""); }

PUBLISHED(TBinaryField) { PROP_INT(Size, Size, SetSize, 16); }

PUBLISHED(TBlobField) {
  PROP_ENUM(BlobType, BlobType, SetBlobType, ftBlob);
  PROP_INT(Size, Size, SetSize, 0);
  PROP_BOOL(Transliterate, Transliterate, SetTransliterate, false);
}

PUBLISHED(TMemoField) { PROP_DEFAULT(Transliterate, true); }

namespace {
const char* kInvalidInteger = "'%s' is not a valid integer value for field '%s'";
const char* kInvalidFloat = "'%s' is not a valid floating point value for field '%s'";

// A Null answer built in place: copying the shared Null costs a call per
// blank value, and scans read many.
Variant NullValue() { return Variant(Variant::NullTag{}); }

// The longest start of a text within `bytes` bytes that splits no UTF-8 sequence.
std::string CutToBytes(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  return text.substr(0, Utf8ByteOffset(text, Utf8CharIndex(text, bytes)));
}
}  // namespace

// ============================================================================
// TField
// ============================================================================

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
  if (!dataSet_) return;
  TDataSet* ds = dataSet_;
  ds->fields_->Remove(this);
  // The record layout of an open dataset included this field: close it.
  if (ds->Active() && !ds->ComponentState().Contains(csDestroying)) {
    try {
      ds->Close();
    } catch (...) {
    }
  }
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->EnsureClosed();
  if (dataSet) {
    dataSet->EnsureClosed();
    // A field being read from a form gets its name after its dataset.
    if (!ComponentState().Contains(csLoading)) dataSet->Fields().CheckFieldName(fieldName_);
  }
  if (dataSet_) dataSet_->fields_->Remove(this);
  if (dataSet) dataSet->fields_->Add(this);
}

TComponent* TField::GetParentComponent() const { return dataSet_; }

void TField::SetParentComponent(TComponent* parent) {
  if (auto* ds = As<TDataSet>(parent)) SetDataSet(ds);
}

void TField::SetFieldName(const std::string& name) {
  if (name == fieldName_) return;
  if (dataSet_ && !SameText(name, fieldName_) && !ComponentState().Contains(csLoading))
    dataSet_->Fields().CheckFieldName(name);
  fieldName_ = name;
  PropertyChanged(true);
}

void TField::SetFieldKind(TFieldKind kind) {
  if (kind == fieldKind_) return;
  if (dataSet_) dataSet_->EnsureClosed();
  fieldKind_ = kind;
}

void TField::SetSize(int size) {
  if (size == size_) return;
  if (dataSet_) dataSet_->EnsureClosed();
  CheckSize(size);
  size_ = size;
}

void TField::CheckSize(int size) const {
  if (size != 0) DatabaseError(dbtext::InvalidFieldSize);
}

int TField::Index() const { return dataSet_ ? dataSet_->Fields().IndexOf(this) : -1; }

void TField::SetIndex(int index) {
  if (dataSet_) dataSet_->Fields().SetFieldIndex(this, index);
}

bool TField::IsIndexField() const {
  return fieldNo_ > 0 && dataSet_ && dataSet_->IsIndexedField(const_cast<TField*>(this));
}

void TField::PropertyChanged(bool layout) {
  if (dataSet_ && dataSet_->Active())
    dataSet_->BroadcastDataEvent(layout ? deLayoutChange : deDataSetChange, 0);
}

void TField::SetDisplayLabel(const std::string& label) {
  std::string v = label == fieldName_ ? std::string() : label;
  if (v == displayLabel_) return;
  displayLabel_ = v;
  PropertyChanged(true);
}

void TField::SetDisplayWidth(int width) {
  if (width == displayWidth_) return;
  displayWidth_ = width;
  PropertyChanged(true);
}

void TField::SetVisible(bool on) {
  if (on == visible_) return;
  visible_ = on;
  PropertyChanged(true);
}

void TField::SetReadOnly(bool on) {
  if (on == readOnly_) return;
  readOnly_ = on;
  PropertyChanged(true);
}

void TField::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  PropertyChanged(false);
}

void TField::SetEditMask(const std::string& mask) {
  editMask_ = mask;
  PropertyChanged(false);
}

void TField::SetDisplayFormat(const std::string& format) {
  displayFormat_ = format;
  PropertyChanged(false);
}

void TField::SetEditFormat(const std::string& format) {
  editFormat_ = format;
  PropertyChanged(false);
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
  if (dataSet == lookupDataSet_) return;
  if (dataSet_) dataSet_->EnsureClosed();
  if (lookupDataSet_) RemoveFreeNotification(lookupDataSet_);
  lookupDataSet_ = dataSet;
  if (lookupDataSet_) FreeNotification(lookupDataSet_);
}

void TField::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == lookupDataSet_) lookupDataSet_ = nullptr;
}

// ---- value plumbing ----------------------------------------------------------

bool TField::GetData(void* buffer) const {
  if (!dataSet_) DatabaseErrorFmt(dbtext::DataSetMissing, {DisplayName()});
  if (inValidate_) {
    if (validating_ && buffer && DataSize() > 0) std::memcpy(buffer, validating_, std::size_t(DataSize()));
    return validating_ != nullptr;
  }
  return dataSet_->ReadFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataSet_) DatabaseErrorFmt(dbtext::DataSetMissing, {DisplayName()});
  dataSet_->WriteFieldData(this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  const void* saved = validating_;
  bool savedIn = inValidate_;
  validating_ = buffer;
  inValidate_ = true;
  try {
    OnValidate(this);
  } catch (...) {
    validating_ = saved;
    inValidate_ = savedIn;
    throw;
  }
  validating_ = saved;
  inValidate_ = savedIn;
}

void TField::Change() {
  if (OnChange) OnChange(this);
}

bool TField::IsNull() const { return !GetData(nullptr); }

bool TField::CanModify() const {
  if (fieldNo_ <= 0 || !dataSet_) return false;
  if (dataSet_->State() == dsSetKey) return IsIndexField();
  return !readOnly_ && dataSet_->CanModify();
}

void TField::FocusControl() {
  if (!dataSet_ || !dataSet_->Active()) return;
  TField* field = this;
  dataSet_->BroadcastDataEvent(deFocusControl, reinterpret_cast<std::intptr_t>(&field));
}

bool TField::IsValidChar(char32_t ch) const { return ch >= 32 || ch == '\t'; }

void TField::AccessError(const char* typeName) const {
  DatabaseErrorFmt(dbtext::FieldAccessError, {DisplayName(), typeName});
}

void TField::RangeError(double value, double min, double max) const {
  DatabaseErrorFmt(dbtext::FieldRangeError, {dbvar::FloatText(value), DisplayName(),
                                             dbvar::FloatText(min), dbvar::FloatText(max)});
}

std::string TField::GetAsString() const { AccessError("String"); }
void TField::SetAsStringValue(const std::string&) { AccessError("String"); }
long TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(long) { AccessError("Integer"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool) { AccessError("Boolean"); }
TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError("DateTime"); }
Variant TField::GetAsVariant() const { AccessError("Variant"); }
void TField::SetVariantValue(const Variant&) { AccessError("Variant"); }

void TField::SetAsVariant(const Variant& v) {
  if (dbvar::IsNullish(v))
    Clear();
  else
    SetVariantValue(v);
}

Variant TField::OldValue() const {
  return dataSet_ ? dataSet_->ReadFieldValueInState(dsOldValue, const_cast<TField*>(this))
                  : Null;
}

Variant TField::NewValue() const {
  return dataSet_ ? dataSet_->ReadFieldValueInState(dsNewValue, const_cast<TField*>(this))
                  : Null;
}

void TField::SetNewValue(const Variant& v) {
  if (dataSet_) dataSet_->WriteFieldValueInState(dsNewValue, this, v);
}

void TField::GetText(std::string& text, bool) const { text = GetAsString(); }

void TField::SetTextValue(const std::string& text) { SetAsStringValue(text); }

std::string TField::Text() const {
  std::string text;
  if (OnGetText)
    OnGetText(const_cast<TField*>(this), text, false);
  else
    GetText(text, false);
  return text;
}

void TField::SetText(const std::string& text) {
  if (OnSetText)
    OnSetText(this, text);
  else
    SetTextValue(text);
}

std::string TField::DisplayText() const {
  std::string text;
  if (OnGetText)
    OnGetText(const_cast<TField*>(this), text, true);
  else
    GetText(text, true);
  return text;
}

void TField::Bind(bool binding) {
  if (fieldKind_ != fkLookup) return;
  if (!binding) return;
  if (!lookupDataSet_ || keyFields_.empty() || lookupKeyFields_.empty() ||
      lookupResultField_.empty())
    DatabaseErrorFmt(dbtext::LookupInfoError, {DisplayName()}, dataSet_);
  std::vector<TField*> keys;
  dataSet_->GetFieldList(keys, keyFields_);
  if (lookupDataSet_ == dataSet_) DatabaseError(dbtext::CircularDataLink, dataSet_);
  // The lookup table opens with the dataset that looks values up in it.
  lookupDataSet_->Open();
  lookupDataSet_->GetFieldList(keys, lookupKeyFields_);
  lookupDataSet_->FieldByName(lookupResultField_);
}

void TField::CalcLookupValue() {
  if (!lookupDataSet_ || !lookupDataSet_->Active()) return;
  Variant keys = dataSet_->FieldValues(keyFields_);
  for (int i = 0; i < dbvar::ItemCount(keys); ++i)
    if (dbvar::IsNullish(dbvar::Item(keys, i))) return;
  SetAsVariant(lookupDataSet_->Lookup(lookupKeyFields_, keys, lookupResultField_));
}

// ============================================================================
// TStringField
// ============================================================================

TStringField::TStringField(TComponent* owner) : TField(owner) {
  SetDataType(ftString);
  TField::SetSize(20);
}

void TStringField::CheckSize(int size) const {
  if (size < 1 || size > 8192) DatabaseError(dbtext::InvalidFieldSize);
}

namespace {
// A text field's value read once: a zero-terminated text of at most `size`
// bytes, seen where it was read, so that a string or a variant is built from
// it with a single copy. A text the cursor left unterminated ends at the
// buffer's end.
class TTextRead {
 public:
  // False when the field is Null.
  bool Read(const TField* field, int size) {
    const std::size_t bytes = std::size_t(size);
    char* buf = bytes < sizeof local_ ? local_ : (large_ = std::make_unique<char[]>(bytes + 1)).get();
    // A cursor may fill fewer bytes than asked for: the rest must read as the end.
    std::memset(buf, 0, bytes + 1);
    if (!field->GetData(buf)) return false;
    text_ = std::string_view(buf, strnlen(buf, bytes));
    return true;
  }
  std::string_view Text() const { return text_; }

 private:
  // Most fields fit the stack: reading a text then allocates only its result.
  char local_[1024];
  std::unique_ptr<char[]> large_;
  std::string_view text_;
};
}  // namespace

std::string TStringField::GetAsString() const {
  TTextRead read;
  return read.Read(this, DataSize()) ? std::string(read.Text()) : std::string();
}

void TStringField::SetAsStringValue(const std::string& v) {
  // A text longer than Size goes to the dataset as it is, so that the
  // database refuses it with its own message rather than storing a part.
  // Only a text of characters wider than the buffer allows for cannot be
  // passed on so: that one is refused here.
  std::string buffer = CutToBytes(v, std::size_t(DataSize()) - 1);
  if (Utf8Length(buffer) <= std::size_t(Size()) && buffer.size() < v.size())
    DatabaseErrorFmt(dbtext::FieldTextTooLong, {DisplayName(), std::to_string(Size())});
  // The native value always fills DataSize bytes: the text, then zeros.
  buffer.resize(std::size_t(DataSize()), '\0');
  SetData(buffer.data());
}

Variant TStringField::GetAsVariant() const {
  TTextRead read;
  if (!read.Read(this, DataSize())) return NullValue();
  return Variant(read.Text());
}

void TStringField::SetVariantValue(const Variant& v) { SetAsStringValue(dbvar::ToString(v)); }

long TStringField::GetAsInteger() const {
  std::string s = GetAsString();
  long long v;
  if (!dbvar::TextToInt(s, v)) throw EConvertError(FormatMessage("'%s' is not a valid integer value", {s}));
  return long(v);
}
void TStringField::SetAsIntegerValue(long v) { SetAsStringValue(IntToStr(v)); }

double TStringField::GetAsFloat() const {
  std::string s = GetAsString();
  double v;
  if (!dbvar::TextToFloat(s, v))
    throw EConvertError(FormatMessage("'%s' is not a valid floating point value", {s}));
  return v;
}
void TStringField::SetAsFloatValue(double v) { SetAsStringValue(dbvar::FloatText(v)); }

bool TStringField::GetAsBoolean() const {
  std::string s = GetAsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}
void TStringField::SetAsBooleanValue(bool v) { SetAsStringValue(v ? "T" : "F"); }

TDateTime TStringField::GetAsDateTime() const {
  std::string s = GetAsString();
  TDateTime v;
  if (!TryStrToDateTime(s, v))
    throw EConvertError(FormatMessage("'%s' is not a valid date and time", {s}));
  return v;
}
void TStringField::SetAsDateTimeValue(TDateTime v) { SetAsStringValue(DateTimeToStr(v)); }

// ============================================================================
// Numeric fields
// ============================================================================

TNumericField::TNumericField(TComponent* owner) : TField(owner) { SetAlignment(taRightJustify); }

TIntegerField::TIntegerField(TComponent* owner)
    : TIntegerField(owner, ftInteger, std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max()) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type, long min, long max)
    : TNumericField(owner), limitMin_(min), limitMax_(max) {
  SetDataType(type);
}

bool TIntegerField::ReadInt(long& value) const {
  std::int32_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

void TIntegerField::WriteInt(long value) {
  std::int32_t v = std::int32_t(value);
  SetData(&v);
}

long TIntegerField::GetAsInteger() const {
  long v = 0;
  return ReadInt(v) ? v : 0;
}

void TIntegerField::SetAsIntegerValue(long v) {
  long lo = limitMin_, hi = limitMax_;
  if (minValue_ != 0 || maxValue_ != 0) {
    lo = std::max(lo, minValue_);
    hi = std::min(hi, maxValue_);
  }
  if (v < lo || v > hi)
    DatabaseErrorFmt(dbtext::FieldRangeError, {IntToStr(v), DisplayName(),
                                               IntToStr(lo), IntToStr(hi)});
  WriteInt(v);
}

std::string TIntegerField::GetAsString() const {
  long v;
  return ReadInt(v) ? IntToStr(v) : std::string();
}

void TIntegerField::SetAsStringValue(const std::string& v) {
  if (Trim(v).empty()) {
    Clear();
    return;
  }
  long long n;
  if (!dbvar::TextToInt(v, n)) DatabaseErrorFmt(kInvalidInteger, {v, DisplayName()});
  if (n < limitMin_ || n > limitMax_)
    DatabaseErrorFmt(dbtext::FieldRangeError,
                     {v, DisplayName(), IntToStr(limitMin_), IntToStr(limitMax_)});
  SetAsIntegerValue(long(n));
}

double TIntegerField::GetAsFloat() const { return double(GetAsInteger()); }

void TIntegerField::SetAsFloatValue(double v) {
  if (!std::isfinite(v) || v < double(limitMin_) || v > double(limitMax_))
    RangeError(v, double(limitMin_), double(limitMax_));
  SetAsIntegerValue(long(std::llround(v)));
}

Variant TIntegerField::GetAsVariant() const {
  long v;
  return ReadInt(v) ? Variant(int(v)) : NullValue();
}

void TIntegerField::SetVariantValue(const Variant& v) { SetAsFloatValue(dbvar::ToFloat(v)); }

void TIntegerField::GetText(std::string& text, bool displayText) const {
  long v;
  if (!ReadInt(v)) {
    text.clear();
    return;
  }
  const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
  text = format.empty() ? IntToStr(v) : FormatFloat(format, double(v));
}

bool TIntegerField::IsValidChar(char32_t ch) const {
  return (ch >= '0' && ch <= '9') || ch == '+' || ch == '-';
}

TSmallintField::TSmallintField(TComponent* owner)
    : TIntegerField(owner, ftSmallint, -32768, 32767) {}

bool TSmallintField::ReadInt(long& value) const {
  std::int16_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

void TSmallintField::WriteInt(long value) {
  std::int16_t v = std::int16_t(value);
  SetData(&v);
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, 65535) {}

bool TWordField::ReadInt(long& value) const {
  std::uint16_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

void TWordField::WriteInt(long value) {
  std::uint16_t v = std::uint16_t(value);
  SetData(&v);
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner) { SetDataType(ftAutoInc); }

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner) { SetDataType(ftFloat); }

void TFloatField::SetCurrency(bool on) {
  if (on == currency_) return;
  currency_ = on;
  PropertyChanged(false);
}

void TFloatField::SetPrecision(int p) {
  p = std::clamp(p, 2, 15);
  if (p == precision_) return;
  precision_ = p;
  PropertyChanged(false);
}

double TFloatField::GetAsFloat() const {
  double v = 0;
  return GetData(&v) ? v : 0;
}

void TFloatField::SetAsFloatValue(double v) {
  if ((minValue_ != 0 || maxValue_ != 0) && (v < minValue_ || v > maxValue_))
    RangeError(v, minValue_, maxValue_);
  SetData(&v);
}

long TFloatField::GetAsInteger() const { return long(std::llround(GetAsFloat())); }

std::string TFloatField::GetAsString() const {
  double v;
  return GetData(&v) ? dbvar::FloatText(v) : std::string();
}

void TFloatField::SetAsStringValue(const std::string& v) {
  if (Trim(v).empty()) {
    Clear();
    return;
  }
  double d;
  if (!dbvar::TextToFloat(v, d)) DatabaseErrorFmt(kInvalidFloat, {v, DisplayName()});
  SetAsFloatValue(d);
}

Variant TFloatField::GetAsVariant() const {
  double v;
  if (!GetData(&v)) return NullValue();
  return currency_ ? Variant(::Currency(v)) : Variant(v);
}

void TFloatField::SetVariantValue(const Variant& v) { SetAsFloatValue(dbvar::ToFloat(v)); }

void TFloatField::GetText(std::string& text, bool displayText) const {
  double v;
  if (!GetData(&v)) {
    text.clear();
    return;
  }
  const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
  if (!format.empty())
    text = FormatFloat(format, v);
  else if (currency_)
    text = displayText ? dbvar::CurrencyText(v, precision_)
                       : FloatToStrF(v, ffFixed, precision_, FormatSettings.CurrencyDecimals);
  else
    text = dbvar::FloatText(v, precision_);
}

bool TFloatField::IsValidChar(char32_t ch) const {
  return (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == 'e' || ch == 'E' ||
         ch == char32_t(FormatSettings.DecimalSeparator);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
  SetDataType(ftCurrency);
  SetCurrency(true);
}

// ============================================================================
// TBCDField
// ============================================================================

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner) {
  SetDataType(ftBCD);
  TField::SetSize(4);
}

void TBCDField::CheckSize(int size) const {
  if (size < 0 || size > 32) DatabaseError(dbtext::InvalidFieldSize);
}

bool TBCDField::ReadCurrency(::Currency& value) const {
  TBcd bcd{};
  if (!GetData(&bcd)) return false;
  if (!DataSet()->ConvertBcdToCurrency(&bcd, value)) value = ::Currency();
  return true;
}

void TBCDField::SetCurrencyValue(::Currency value) {
  TBcd bcd{};
  DataSet()->ConvertCurrencyToBcd(value, &bcd, precision_, Size());
  SetData(&bcd);
}

::Currency TBCDField::GetAsCurrency() const {
  ::Currency c;
  return ReadCurrency(c) ? c : ::Currency();
}

std::string TBCDField::GetAsString() const {
  ::Currency c;
  return ReadCurrency(c) ? CurrToStr(c) : std::string();
}

void TBCDField::SetAsStringValue(const std::string& v) {
  if (Trim(v).empty()) {
    Clear();
    return;
  }
  ::Currency c;
  if (!TryStrToCurr(Trim(v), c)) DatabaseErrorFmt(kInvalidFloat, {v, DisplayName()});
  SetCurrencyValue(c);
}

long TBCDField::GetAsInteger() const { return long(std::llround(GetAsCurrency().ToDouble())); }
double TBCDField::GetAsFloat() const { return GetAsCurrency().ToDouble(); }

Variant TBCDField::GetAsVariant() const {
  ::Currency c;
  return ReadCurrency(c) ? Variant(c) : NullValue();
}

void TBCDField::GetText(std::string& text, bool displayText) const {
  ::Currency c;
  if (!ReadCurrency(c)) {
    text.clear();
    return;
  }
  const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
  text = format.empty() ? CurrToStr(c) : FormatCurr(format, c);
}

bool TBCDField::IsValidChar(char32_t ch) const {
  return (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' ||
         ch == char32_t(FormatSettings.DecimalSeparator);
}

// ============================================================================
// TBooleanField
// ============================================================================

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

void TBooleanField::SetDisplayValues(const std::string& values) {
  displayValues_ = values;
  auto semi = values.find(';');
  if (values.empty()) {
    trueText_ = "True";
    falseText_ = "False";
  } else if (semi == std::string::npos) {
    trueText_ = values;
    falseText_.clear();
  } else {
    trueText_ = values.substr(0, semi);
    falseText_ = values.substr(semi + 1);
  }
  PropertyChanged(true);
}

int TBooleanField::DefaultWidth() const {
  return int(std::max(Utf8Length(trueText_), Utf8Length(falseText_)));
}

bool TBooleanField::GetAsBoolean() const {
  std::int16_t v = 0;
  return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBooleanValue(bool v) {
  std::int16_t n = v ? -1 : 0;
  SetData(&n);
}

std::string TBooleanField::GetAsString() const {
  std::int16_t v = 0;
  if (!GetData(&v)) return {};
  return v ? trueText_ : falseText_;
}

void TBooleanField::SetAsStringValue(const std::string& v) {
  std::string text = Trim(v);
  if (text.empty()) {
    Clear();
    return;
  }
  // A typed prefix of either text is enough ("T" for "True").
  auto matches = [&](const std::string& value) {
    return !value.empty() && AnsiSameText(text, Utf8Copy(value, 1, long(Utf8Length(text))));
  };
  if (matches(falseText_))
    SetAsBooleanValue(false);
  else if (matches(trueText_))
    SetAsBooleanValue(true);
  else
    DatabaseErrorFmt(dbtext::InvalidBoolValue, {v, DisplayName()});
}

Variant TBooleanField::GetAsVariant() const {
  std::int16_t v = 0;
  if (!GetData(&v)) return NullValue();
  return Variant(v != 0);
}

void TBooleanField::SetVariantValue(const Variant& v) { SetAsBooleanValue(dbvar::ToBool(v)); }

// ============================================================================
// Date and time fields
// ============================================================================

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
}

namespace {
// The field's value in `value`, or false (and 0) when it is Null: one read of
// the record serves both answers.
bool ReadDateTime(const TDateTimeField* field, TDateTime& value) {
  value = 0;
  switch (field->DataType()) {
    case ftDate: {
      std::int32_t days = 0;
      if (!field->GetData(&days)) return false;
      value = TimeStampToDateTime(TTimeStamp{0, days});
      return true;
    }
    case ftTime: {
      std::int32_t ms = 0;
      if (!field->GetData(&ms)) return false;
      value = ms / 86400000.0;
      return true;
    }
    default: {
      double ms = 0;
      if (!field->GetData(&ms)) return false;
      value = MSecsToDateTime(ms);
      return true;
    }
  }
}
}  // namespace

TDateTime TDateTimeField::GetAsDateTime() const {
  TDateTime value;
  ReadDateTime(this, value);
  return value;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime v) {
  TTimeStamp stamp = DateTimeToTimeStamp(v);
  switch (DataType()) {
    case ftDate: {
      std::int32_t days = stamp.Date;
      SetData(&days);
      break;
    }
    case ftTime: {
      std::int32_t ms = stamp.Time;
      SetData(&ms);
      break;
    }
    default: {
      double ms = TimeStampToMSecs(stamp);
      SetData(&ms);
      break;
    }
  }
}

std::string TDateTimeField::GetAsString() const {
  std::string text;
  GetText(text, false);
  return text;
}

void TDateTimeField::SetAsStringValue(const std::string& v) {
  if (Trim(v).empty()) {
    Clear();
    return;
  }
  TDateTime d;
  if (!ParseText(Trim(v), d)) throw EConvertError(FormatMessage("'%s' is not a valid date and time", {v}));
  SetAsDateTimeValue(d);
}

bool TDateTimeField::ParseText(const std::string& text, TDateTime& value) const {
  return TryStrToDateTime(text, value);
}

std::string TDateTimeField::DefaultText(TDateTime v) const { return DateTimeToStr(v); }

Variant TDateTimeField::GetAsVariant() const {
  TDateTime value = 0;
  return ReadDateTime(this, value) ? Variant(value) : NullValue();
}

void TDateTimeField::SetVariantValue(const Variant& v) { SetAsDateTimeValue(dbvar::ToDateTime(v)); }

void TDateTimeField::GetText(std::string& text, bool displayText) const {
  TDateTime v;
  if (!ReadDateTime(this, v)) {
    text.clear();
    return;
  }
  if (displayText && !DisplayFormat().empty())
    text = FormatDateTime(DisplayFormat(), v);
  else
    text = DefaultText(v);
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
std::string TDateField::DefaultText(TDateTime v) const { return DateToStr(v); }
bool TDateField::ParseText(const std::string& text, TDateTime& value) const {
  return TryStrToDate(text, value);
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}
std::string TTimeField::DefaultText(TDateTime v) const { return TimeToStr(v); }
bool TTimeField::ParseText(const std::string& text, TDateTime& value) const {
  return TryStrToTime(text, value);
}

// ============================================================================
// Byte fields
// ============================================================================

TBinaryField::TBinaryField(TComponent* owner) : TField(owner) { TField::SetSize(16); }

void TBinaryField::CheckSize(int size) const {
  if (size < 1 || size > 65535) DatabaseError(dbtext::InvalidFieldSize);
}

std::string TBinaryField::GetAsString() const {
  std::string buf(std::size_t(DataSize()), '\0');
  if (!GetData(buf.data())) return {};
  if (!Variable()) return buf;
  std::uint16_t len;
  std::memcpy(&len, buf.data(), 2);
  len = std::min<std::uint16_t>(len, std::uint16_t(Size()));
  return buf.substr(2, len);
}

void TBinaryField::SetAsStringValue(const std::string& v) {
  std::string buf(std::size_t(DataSize()), '\0');
  if (Variable()) {
    std::uint16_t len = std::uint16_t(std::min<std::size_t>(v.size(), std::size_t(Size())));
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, v.data(), len);
  } else {
    std::memcpy(buf.data(), v.data(), std::min(v.size(), buf.size()));
  }
  SetData(buf.data());
}

void TBinaryField::GetText(std::string& text, bool) const {
  text = Variable() ? "(VarBytes)" : "(Bytes)";
}

TBytesField::TBytesField(TComponent* owner) : TBinaryField(owner) { SetDataType(ftBytes); }
TVarBytesField::TVarBytesField(TComponent* owner) : TBinaryField(owner) { SetDataType(ftVarBytes); }

// ============================================================================
// Blob fields
// ============================================================================

TBlobField::TBlobField(TComponent* owner) : TField(owner) { SetDataType(ftBlob); }

void TBlobField::CheckSize(int size) const {
  if (size < 0) DatabaseError(dbtext::InvalidFieldSize);
}

void TBlobField::SetBlobType(TFieldType type) {
  if (!IsBlobType(type)) DatabaseError(dbtext::InvalidFieldSize);
  SetDataType(type);
}

namespace {
std::unique_ptr<TStream> OpenBlob(const TBlobField* field, TBlobStreamMode mode) {
  TDataSet* ds = field->DataSet();
  if (!ds) DatabaseErrorFmt(dbtext::DataSetMissing, {field->DisplayName()});
  TStream* stream = ds->CreateBlobStream(const_cast<TBlobField*>(field), mode);
  if (!stream) DatabaseError(dbtext::BlobNotSupported, ds);
  return std::unique_ptr<TStream>(stream);
}
}  // namespace

int TBlobField::BlobSize() const {
  if (!DataSet() || !DataSet()->Active()) return 0;
  return int(OpenBlob(this, bmRead)->Size());
}

std::string TBlobField::GetAsString() const {
  std::string content;
  if (TDataSet* ds = DataSet(); ds && ds->ReadBlobContent(const_cast<TBlobField*>(this), content))
    return content;
  auto stream = OpenBlob(this, bmRead);
  std::string out(std::size_t(stream->Size()), '\0');
  if (!out.empty()) out.resize(std::size_t(stream->Read(out.data(), std::int64_t(out.size()))));
  return out;
}

void TBlobField::SetAsStringValue(const std::string& v) {
  auto stream = OpenBlob(this, bmWrite);
  if (!v.empty()) stream->WriteBuffer(v.data(), std::int64_t(v.size()));
}

void TBlobField::Clear() { OpenBlob(this, bmWrite); }

void TBlobField::LoadFromStream(TStream* source) {
  auto stream = OpenBlob(this, bmWrite);
  source->SetPosition(0);
  stream->CopyFrom(source, 0);
}

void TBlobField::SaveToStream(TStream* dest) const {
  auto stream = OpenBlob(this, bmRead);
  if (stream->Size() > 0) dest->CopyFrom(stream.get(), 0);
}

void TBlobField::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}

void TBlobField::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(&file);
}

Variant TBlobField::GetAsVariant() const {
  if (IsNull()) return NullValue();
  return Variant(GetAsString());
}

void TBlobField::SetVariantValue(const Variant& v) { SetAsStringValue(dbvar::ToString(v)); }

void TBlobField::GetText(std::string& text, bool) const {
  // The kind of content in brackets, upper-cased when there is some.
  std::string kind = DataType() == ftMemo ? "Memo" : DataType() == ftGraphic ? "Graphic" : "Blob";
  if (DataType() == ftFmtMemo) kind = "FmtMemo";
  text = "(" + (IsNull() ? kind : UpperCase(kind)) + ")";
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) {
  SetBlobType(ftMemo);
  SetTransliterate(true);
}
TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner) { SetBlobType(ftGraphic); }

// ============================================================================
// Field classes by type, and the field list
// ============================================================================

TClass DefaultFieldClass(TFieldType type) {
  switch (type) {
    case ftString: return TStringField::StaticClass();
    case ftSmallint: return TSmallintField::StaticClass();
    case ftInteger: return TIntegerField::StaticClass();
    case ftWord: return TWordField::StaticClass();
    case ftBoolean: return TBooleanField::StaticClass();
    case ftFloat: return TFloatField::StaticClass();
    case ftCurrency: return TCurrencyField::StaticClass();
    case ftBCD: return TBCDField::StaticClass();
    case ftDate: return TDateField::StaticClass();
    case ftTime: return TTimeField::StaticClass();
    case ftDateTime: return TDateTimeField::StaticClass();
    case ftBytes: return TBytesField::StaticClass();
    case ftVarBytes: return TVarBytesField::StaticClass();
    case ftAutoInc: return TAutoIncField::StaticClass();
    case ftMemo: return TMemoField::StaticClass();
    case ftGraphic: return TGraphicField::StaticClass();
    case ftBlob: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
      return TBlobField::StaticClass();
    default: return nullptr;
  }
}

TField* CreateFieldOfType(TFieldType type, TComponent* owner) {
  TClass cls = DefaultFieldClass(type);
  if (!cls) return nullptr;
  auto* field = static_cast<TField*>(cls->Create(owner));
  if (auto* blob = As<TBlobField>(field)) blob->SetBlobType(type);
  return field;
}

TField* TFields::Fields(int index) const {
  if (index < 0 || index >= Count()) DatabaseError(dbtext::FieldIndexError, dataSet_);
  return list_[std::size_t(index)];
}

TField* TFields::FindField(std::string_view name) const {
  for (TField* f : list_)
    if (AnsiSameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TFields::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt(dbtext::FieldNotFound, {name}, dataSet_);
  return f;
}

TField* TFields::FieldByNumber(int fieldNo) const {
  for (TField* f : list_)
    if (f->FieldNo() == fieldNo) return f;
  return nullptr;
}

int TFields::IndexOf(const TField* field) const {
  for (std::size_t i = 0; i < list_.size(); ++i)
    if (list_[i] == field) return int(i);
  return -1;
}

void TFields::CheckFieldName(const std::string& name) const {
  if (name.empty()) DatabaseError(dbtext::FieldNameMissing, dataSet_);
  if (FindField(name)) DatabaseErrorFmt(dbtext::DuplicateFieldName, {name}, dataSet_);
}

void TFields::Add(TField* field) {
  list_.push_back(field);
  field->dataSet_ = dataSet_;
  dataSet_->SetFieldListChanged();
}

void TFields::Remove(TField* field) {
  int i = IndexOf(field);
  if (i < 0) return;
  list_.erase(list_.begin() + i);
  field->dataSet_ = nullptr;
  dataSet_->SetFieldListChanged();
}

void TFields::Clear() {
  while (!list_.empty()) {
    TField* f = list_.back();
    Remove(f);
    delete f;
  }
}

void TFields::SetFieldIndex(TField* field, int index) {
  int cur = IndexOf(field);
  if (cur < 0) return;
  index = std::clamp(index, 0, Count() - 1);
  if (index == cur) return;
  list_.erase(list_.begin() + cur);
  list_.insert(list_.begin() + index, field);
  field->PropertyChanged(true);
  dataSet_->SetFieldListChanged();
}
