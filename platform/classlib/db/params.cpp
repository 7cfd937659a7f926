#include "platform/classlib/db/params.h"

#include <cstring>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/fields.h"

IMPLEMENT_CLASS(TParam, TCollectionItem)
IMPLEMENT_CLASS(TParams, TOwnedCollection)

PUBLISHED(TParam) {
  PROP_ENUM(DataType, DataType, SetDataType, ftUnknown);
  PROP_STR(Name, Name, SetName, "");
  PROP_ENUM(ParamType, ParamType, SetParamType, ptUnknown);
}

TParam::TParam(TParams* params, TParamType type, const std::string& name)
    : TCollectionItem(params), name_(name), paramType_(type) {}

void TParam::SetDataType(TFieldType type) {
  dataType_ = type;
  // A value that cannot take the new type is dropped rather than kept wrong.
  if (!IsNull() && type != ftUnknown) {
    try {
      Set(type, value_);
    } catch (const Exception&) {
      value_ = Variant();
    }
  }
}

void TParam::Clear() { value_ = Null; }

namespace {
// The value in the form a parameter of the type holds; raises when it does not convert.
Variant Converted(TFieldType type, const Variant& value) {
  if (dbvar::IsNullish(value)) return Null;
  switch (type) {
    case ftString: case ftMemo: case ftFmtMemo: case ftBlob: case ftGraphic: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftBytes: case ftVarBytes:
      return Variant(dbvar::ToString(value));
    case ftSmallint: return VarAsType(value, varSmallint);
    case ftWord: return VarAsType(value, varWord);
    case ftInteger: case ftAutoInc: return VarAsType(value, varInteger);
    case ftBoolean: return VarAsType(value, varBoolean);
    case ftFloat: return VarAsType(value, varDouble);
    case ftCurrency: case ftBCD: return VarAsType(value, varCurrency);
    case ftDate: case ftTime: case ftDateTime: return VarAsType(value, varDate);
    default: return value;
  }
}
}  // namespace

void TParam::Set(TFieldType type, const Variant& value) {
  // Converted first, so a value that does not convert changes nothing.
  const Variant converted = Converted(type, value);
  dataType_ = type;
  bound_ = true;
  value_ = converted;
}

void TParam::SetValue(const Variant& value) {
  TFieldType type = dataType_;
  if (type == ftUnknown) {
    switch (VarType(value)) {
      case varSmallint: case varShortInt: case varByte: type = ftSmallint; break;
      case varWord: type = ftWord; break;
      case varInteger: case varLongWord: case varInt64: type = ftInteger; break;
      case varSingle: case varDouble: type = ftFloat; break;
      case varCurrency: type = ftCurrency; break;
      case varDate: type = ftDateTime; break;
      case varBoolean: type = ftBoolean; break;
      case varOleStr: case varString: type = ftString; break;
      default: break;
    }
  }
  Set(type, value);
}

int TParam::GetDataSize() const {
  switch (dataType_) {
    case ftString: case ftMemo: return int(AsString().size()) + 1;
    case ftSmallint: case ftWord: case ftBoolean: return 2;
    case ftInteger: case ftAutoInc: case ftDate: case ftTime: return 4;
    case ftDateTime: case ftFloat: case ftCurrency: return 8;
    case ftBCD: return 34;
    case ftCursor: case ftUnknown: return 0;
    default: return int(AsString().size());  // bytes and blob kinds
  }
}

namespace {
template <class T>
void Put(void* buffer, T value) {
  std::memcpy(buffer, &value, sizeof value);
}
template <class T>
T Take(const void* buffer) {
  T value;
  std::memcpy(&value, buffer, sizeof value);
  return value;
}
}  // namespace

void TParam::GetData(void* buffer) const {
  if (!buffer) return;
  switch (dataType_) {
    case ftString: case ftMemo: {
      std::string s = AsString();
      std::memcpy(buffer, s.c_str(), s.size() + 1);
      break;
    }
    case ftSmallint: Put<std::int16_t>(buffer, std::int16_t(AsInteger())); break;
    case ftWord: Put<std::uint16_t>(buffer, std::uint16_t(AsInteger())); break;
    case ftBoolean: Put<std::int16_t>(buffer, AsBoolean() ? -1 : 0); break;
    case ftInteger: case ftAutoInc: Put<std::int32_t>(buffer, std::int32_t(AsInteger())); break;
    case ftDate: Put<std::int32_t>(buffer, DateTimeToTimeStamp(AsDateTime()).Date); break;
    case ftTime: Put<std::int32_t>(buffer, DateTimeToTimeStamp(AsDateTime()).Time); break;
    case ftDateTime: Put<double>(buffer, TimeStampToMSecs(DateTimeToTimeStamp(AsDateTime()))); break;
    case ftFloat: case ftCurrency: Put<double>(buffer, AsFloat()); break;
    case ftBCD: {
      TBcd bcd{};
      CurrToBCD(AsCurrency(), bcd, 32, 4);
      std::memcpy(buffer, &bcd, sizeof bcd);
      break;
    }
    case ftCursor: case ftUnknown: break;
    default: {
      std::string s = AsString();
      std::memcpy(buffer, s.data(), s.size());
      break;
    }
  }
}

void TParam::SetData(const void* buffer, int size) {
  if (!buffer) {
    Clear();
    return;
  }
  switch (dataType_) {
    case ftString: case ftMemo: {
      // With a size, a text the buffer does not terminate ends at its end.
      const char* text = static_cast<const char*>(buffer);
      Set(dataType_, Variant(size < 0 ? std::string(text) : std::string(text, strnlen(text, std::size_t(size)))));
      break;
    }
    case ftSmallint: Set(dataType_, Variant(short(Take<std::int16_t>(buffer)))); break;
    case ftWord: Set(dataType_, Variant((unsigned short)Take<std::uint16_t>(buffer))); break;
    case ftBoolean: Set(dataType_, Variant(Take<std::int16_t>(buffer) != 0)); break;
    case ftInteger: case ftAutoInc: Set(dataType_, Variant(int(Take<std::int32_t>(buffer)))); break;
    case ftDate: Set(dataType_, Variant(TimeStampToDateTime(TTimeStamp{0, Take<std::int32_t>(buffer)}))); break;
    case ftTime: Set(dataType_, Variant(TDateTime(Take<std::int32_t>(buffer) / double(MSecsPerDay)))); break;
    case ftDateTime:
      Set(dataType_, Variant(MSecsToDateTime(Take<double>(buffer))));
      break;
    case ftFloat: Set(dataType_, Variant(Take<double>(buffer))); break;
    case ftCurrency: Set(dataType_, Variant(::Currency(Take<double>(buffer)))); break;
    case ftBCD: {
      ::Currency c;
      if (!BCDToCurr(*static_cast<const TBcd*>(buffer), c)) DatabaseError(dbtext::InvalidFieldSize);
      Set(dataType_, Variant(c));
      break;
    }
    case ftCursor: case ftUnknown: Set(dataType_, Variant()); break;
    default:
      Set(dataType_, Variant(std::string(static_cast<const char*>(buffer), std::size_t(std::max(size, 0)))));
      break;
  }
}

void TParam::AssignField(const TField* field) {
  if (!field) return;
  TFieldType type = field->DataType();
  if (type == ftMemo && field->Size() > 255) type = ftString;
  name_ = field->FieldName();
  dataType_ = type;
  AssignFieldValue(field, field->Value());
}

void TParam::AssignFieldValue(const TField* field, const Variant& value) {
  if (!field) return;
  TFieldType type = field->DataType();
  if (type == ftMemo && field->Size() > 255) type = ftString;
  Set(type, value);
}

void TParam::AssignToField(TField* field) const {
  if (!field) return;
  if (IsNull())
    field->Clear();
  else
    field->SetValue(value_);
}

void TParam::Assign(const TPersistent* source) {
  if (auto* p = As<TParam>(source)) {
    dataType_ = p->dataType_;
    value_ = p->value_;
    bound_ = p->bound_;
    name_ = p->name_;
    if (paramType_ == ptUnknown) paramType_ = p->paramType_;
    return;
  }
  if (auto* f = As<TField>(source)) {
    AssignField(f);
    return;
  }
  TCollectionItem::Assign(source);
}

void TParam::AssignTo(TPersistent* dest) const {
  if (auto* f = As<TField>(dest)) {
    AssignToField(f);
    return;
  }
  TCollectionItem::AssignTo(dest);
}

bool TParam::IsEqual(const TParam* other) const {
  if (!other) return false;
  bool sameValue = IsNull() ? other->IsNull() : (!other->IsNull() && value_ == other->value_);
  return dataType_ == other->dataType_ && sameValue && name_ == other->name_ &&
         IsNull() == other->IsNull() && bound_ == other->bound_ && paramType_ == other->paramType_;
}

// ---- TParams -------------------------------------------------------------------------

TParam* TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
  auto* p = static_cast<TParam*>(Add());
  p->SetName(name);
  p->SetDataType(type);
  p->SetParamType(paramType);
  return p;
}

TParam* TParams::FindParam(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

TParam* TParams::ParamByName(std::string_view name) const {
  TParam* p = FindParam(name);
  if (!p) DatabaseErrorFmt(dbtext::ParamNotFound, {name});
  return p;
}

void TParams::AssignValues(const TParams* source) {
  if (!source) return;
  for (int i = 0; i < Count(); ++i) {
    TParam* p = Items(i);
    if (TParam* from = source->FindParam(p->Name())) {
      TParamType keep = p->ParamType();
      p->Assign(from);
      p->SetParamType(keep == ptUnknown ? from->ParamType() : keep);
    }
  }
}

bool TParams::IsEqual(const TParams* other) const {
  if (!other || other->Count() != Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (!Items(i)->IsEqual(other->Items(i))) return false;
  return true;
}

Variant TParams::ParamValues(const std::string& names) const {
  if (names.find(';') == std::string::npos) return ParamByName(Trim(names))->Value();
  std::vector<Variant> values;
  for (const std::string& name : SplitNameList(names)) values.push_back(ParamByName(name)->Value());
  return dbvar::MakeArray(values);
}

void TParams::SetParamValues(const std::string& names, const Variant& value) {
  if (names.find(';') == std::string::npos) {
    ParamByName(Trim(names))->SetValue(value);
    return;
  }
  int index = 0;
  for (const std::string& name : SplitNameList(names)) ParamByName(name)->SetValue(dbvar::Item(value, index++));
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate) {
  std::string out;
  bool inLiteral = false;
  char quote = 0;
  std::size_t i = 0;
  auto isDelimiter = [](char c) {
    return c == '\n' || c == '\r' || c == ' ' || c == ')' || c == ',' || c == ';';
  };
  while (i < sql.size()) {
    char c = sql[i];
    if (inLiteral) {
      out += c;
      if (c == quote) inLiteral = false;
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') {
      inLiteral = true;
      quote = c;
      out += c;
      ++i;
      continue;
    }
    if (c != ':') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < sql.size() && sql[i + 1] == ':') {  // "::" stands for ":"
      out += ':';
      i += 2;
      continue;
    }
    std::size_t start = ++i;
    std::string name;
    if (i < sql.size() && (sql[i] == '\'' || sql[i] == '"')) {
      char q = sql[i++];
      while (i < sql.size() && sql[i] != q) name += sql[i++];
      if (i < sql.size()) ++i;
    } else {
      while (i < sql.size() && !isDelimiter(sql[i])) ++i;
      name = sql.substr(start, i - start);
    }
    if (doCreate) CreateParam(ftUnknown, name, ptUnknown);
    out += '?';
  }
  return out;
}
