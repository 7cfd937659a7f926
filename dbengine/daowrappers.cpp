#include "dbengine/daowrappers.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/classlib/core/messagepump.h"

IMPLEMENT_CLASS(TDAOUnknown, TObject)
IMPLEMENT_CLASS(TDAOError, TDAOUnknown)
IMPLEMENT_CLASS(TDAOCollection, TDAOUnknown)
IMPLEMENT_CLASS(TDAODynaCollection, TDAOCollection)
IMPLEMENT_CLASS(TDAOErrors, TDAOCollection)
IMPLEMENT_CLASS(TDAOBase, TDAOUnknown)
IMPLEMENT_CLASS(TDAOParameter, TDAOBase)
IMPLEMENT_CLASS(TDAOParameters, TDAOCollection)
IMPLEMENT_CLASS(TDAOField, TDAOBase)
IMPLEMENT_CLASS(TDAOFields, TDAODynaCollection)
IMPLEMENT_CLASS(TDAOIndexField, TDAOBase)
IMPLEMENT_CLASS(TDAOIndexfields, TDAODynaCollection)
IMPLEMENT_CLASS(TDAOIndex, TDAOBase)
IMPLEMENT_CLASS(TDAOIndexes, TDAODynaCollection)
IMPLEMENT_CLASS(TDAORecordset, TDAOBase)
IMPLEMENT_CLASS(TDAOQuerydef, TDAOBase)
IMPLEMENT_CLASS(TDAOQuerydefs, TDAODynaCollection)
IMPLEMENT_CLASS(TDAOTabledef, TDAOBase)
IMPLEMENT_CLASS(TDAOTabledefs, TDAODynaCollection)
IMPLEMENT_CLASS(TDAODatabase, TDAOBase)
IMPLEMENT_CLASS(TDAOEngine, TDAOBase)

namespace {
// Interface identifiers by [DAO 3.5][wide].
const char* Pick(const TDAOInterfaceSet& set, const char* w35, const char* a35, const char* w30,
                 const char* a30) {
  if (set.UseDAO35) return set.UseWideInterfaces ? w35 : a35;
  return set.UseWideInterfaces ? w30 : a30;
}
IID DBEngineIID(const TDAOInterfaceSet& set) {
  IID iid;
  CLSIDFromString(Pick(set, kIIDDBEngine35W, kIIDDBEngine35A, kIIDDBEngine30W, kIIDDBEngine30A), &iid);
  return iid;
}
IID IndexFieldsIID(const TDAOInterfaceSet& set) {
  IID iid;
  CLSIDFromString(
      Pick(set, kIIDIndexFields35W, kIIDIndexFields35A, kIIDIndexFields30W, kIIDIndexFields30A), &iid);
  return iid;
}
IID FieldIID(const TDAOInterfaceSet& set) {
  IID iid;
  CLSIDFromString(Pick(set, kIIDField35W, kIIDField35A, kIIDField30W, kIIDField30A), &iid);
  return iid;
}
Variant Index(std::int16_t i) { return Variant(static_cast<short>(i)); }
Variant Options(std::int32_t options) {
  return options == -1 ? DaoMissingArg() : Variant(static_cast<int>(options));
}
}  // namespace

Variant DaoMissingArg() { return Variant::FromError(DISP_E_PARAMNOTFOUND); }

// ---- Root

TDAOUnknown::TDAOUnknown() : MissingArg(DaoMissingArg()) {}

TDAOUnknown::~TDAOUnknown() { SetInterface(nullptr); }

void TDAOUnknown::SetInterface(IUnknown* intf) {
  if (Intf != nullptr) Intf->Release();
  Intf = intf;
}

// ---- Errors

std::int32_t TDAOError::Number() {
  std::int32_t n = 0;
  Status = As<DAOError>()->get_Number(&n);
  return n;
}

std::string TDAOError::Description() {
  std::string text;
  Status = As<DAOError>()->get_Description(&text);
  return text;
}

std::int16_t TDAOErrors::Count() {
  std::int16_t n = 0;
  Status = As<DAOErrors>()->get_Count(&n);
  return n;
}

TDAOError* TDAOErrors::Item(std::int16_t index) {
  DAOError* out = nullptr;
  HRESULT hr = As<DAOErrors>()->get_Item(Index(index), &out);
  return Wrap<TDAOError>(hr, out);
}

// ---- Parameters

std::string TDAOParameter::GetName() {
  std::string name;
  Status = As<DAOParameter>()->get_Name(&name);
  return name;
}

void TDAOParameter::SetValue(const Variant& value) { Status = As<DAOParameter>()->put_Value(value); }

std::int16_t TDAOParameter::Type() {
  std::int16_t t = 0;
  Status = As<DAOParameter>()->get_Type(&t);
  return t;
}

std::int16_t TDAOParameters::Count() {
  std::int16_t n = 0;
  Status = As<DAOParameters>()->get_Count(&n);
  return n;
}

TDAOParameter* TDAOParameters::Item(std::int16_t index) {
  DAOParameter* out = nullptr;
  HRESULT hr = As<DAOParameters>()->get_Item(Index(index), &out);
  return Wrap<TDAOParameter>(hr, out);
}

// ---- Fields

std::string TDAOField::GetName() {
  std::string name;
  Status = As<DAOField>()->get_Name(&name);
  return name;
}

void TDAOField::SetName(const std::string& name) { Status = As<DAOField>()->put_Name(name); }

std::int16_t TDAOField::Type() {
  std::int16_t t = 0;
  Status = As<DAOField>()->get_Type(&t);
  return t;
}

std::int32_t TDAOField::Size() {
  std::int32_t n = 0;
  Status = As<DAOField>()->get_Size(&n);
  return n;
}

std::int32_t TDAOField::FieldSize() {
  std::int32_t n = 0;
  Status = As<DAOField>()->get_FieldSize(&n);
  return n;
}

std::int32_t TDAOField::Attributes() {
  std::int32_t n = 0;
  Status = As<DAOField>()->get_Attributes(&n);
  return n;
}

// Read straight into the value handed back: every move reads every field,
// and a kept copy would cost one more copy of each text.
Variant TDAOField::Value() {
  Variant value;
  Status = As<DAOField>()->get_Value(&value);
  return value;
}

double TDAOField::AsDouble() {
  Variant v = Value();
  return VarType(v) == varDouble ? v.AsDouble() : 0.0;
}

std::uint8_t TDAOField::AsByte() {
  Variant v = Value();
  return VarType(v) == varByte ? static_cast<std::uint8_t>(v.AsInteger()) : 0;
}

std::int16_t TDAOField::AsSmallint() {
  Variant v = Value();
  return VarType(v) == varSmallint ? static_cast<std::int16_t>(v.AsInteger()) : 0;
}

std::int32_t TDAOField::AsInteger() {
  Variant v = Value();
  return VarType(v) == varInteger ? v.AsInteger() : 0;
}

float TDAOField::AsSingle() {
  Variant v = Value();
  return VarType(v) == varSingle ? static_cast<float>(v.AsDouble()) : 0.0f;
}

bool TDAOField::AsBoolean() {
  Variant v = Value();
  return VarType(v) == varBoolean && v.AsBoolean();
}

Currency TDAOField::AsCurrency() {
  Variant v = Value();
  return VarType(v) == varCurrency ? v.AsCurrency() : Currency();
}

std::string TDAOField::AsString() {
  Variant v = Value();
  return VarType(v) == varOleStr ? v.AsString() : std::string();
}

TDateTime TDAOField::AsDateTime() {
  Variant v = Value();
  if (v.IsNull() || v.IsEmpty()) return TDateTime(0);
  try {
    return VarToDateTime(v);
  } catch (const EVariantError&) {
    return TDateTime(0);
  }
}

void TDAOField::SetValue(const Variant& value) {
  Status = As<DAOField>()->put_Value(value.IsEmpty() ? Null : value);
}

std::int32_t TDAOField::DataSize() {
  std::int16_t t = Type();
  return t == daotype::LongBinary || t == daotype::Memo ? FieldSize() : Size();
}

std::string TDAOField::MemoText() {
  // All of it, in one call: a size asked for before may be another
  // version's (the row changed meanwhile), and must not cut this one.
  std::string text;
  Status = As<DAOField>()->GetWholeValue(&text);
  return text;
}

std::int32_t TDAOField::GetChunk(std::int32_t offset, std::int32_t bytes, void* buffer) {
  Variant chunk;
  Status = As<DAOField>()->GetChunk(offset, bytes, &chunk);
  if (!chunk.IsArray()) return 0;
  std::vector<std::uint8_t> data = VarArrayToBytes(chunk);
  std::size_t n = std::min<std::size_t>(data.size(), bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  if (buffer != nullptr && n > 0) std::memcpy(buffer, data.data(), n);
  return static_cast<std::int32_t>(n);
}

void TDAOField::AppendChunk(const void* data, std::int32_t bytes) {
  Variant chunk = VarByteArrayOf(data, bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  Status = As<DAOField>()->AppendChunk(chunk);
}

std::int16_t TDAOFields::Count() {
  std::int16_t n = 0;
  Status = As<DAOFields>()->get_Count(&n);
  return n;
}

TDAOField* TDAOFields::Item(std::int16_t index) {
  DAOField* out = nullptr;
  HRESULT hr = As<DAOFields>()->get_Item(Index(index), &out);
  return Wrap<TDAOField>(hr, out);
}

// ---- Indexes

std::string TDAOIndexField::GetName() {
  std::string name;
  Status = As<DAOField>()->get_Name(&name);
  return name;
}

std::int32_t TDAOIndexField::Attributes() {
  std::int32_t n = 0;
  Status = As<DAOField>()->get_Attributes(&n);
  return n;
}

std::int16_t TDAOIndexfields::Count() {
  std::int16_t n = 0;
  Status = As<DAOIndexFields>()->get_Count(&n);
  return n;
}

TDAOIndexField* TDAOIndexfields::Item(std::int16_t index) {
  IUnknown* item = nullptr;
  HRESULT hr = As<DAOIndexFields>()->get_Item(Index(index), &item);
  void* field = nullptr;
  if (SUCCEEDED(hr) && item != nullptr) {
    hr = item->QueryInterface(FieldIID(Interfaces), &field);
    item->Release();
  }
  return Wrap<TDAOIndexField>(hr, static_cast<IUnknown*>(static_cast<DAOField*>(field)));
}

std::string TDAOIndex::GetName() {
  std::string name;
  Status = As<DAOIndex>()->get_Name(&name);
  return name;
}

void TDAOIndex::SetName(const std::string& name) { Status = As<DAOIndex>()->put_Name(name); }

bool TDAOIndex::Unique() {
  bool b = false;
  Status = As<DAOIndex>()->get_Unique(&b);
  return b;
}

bool TDAOIndex::Primary() {
  bool b = false;
  Status = As<DAOIndex>()->get_Primary(&b);
  return b;
}

TDAOIndexfields* TDAOIndex::Fields() {
  IUnknown* fields = nullptr;
  HRESULT hr = As<DAOIndex>()->get_Fields(&fields);
  void* wanted = nullptr;
  if (SUCCEEDED(hr) && fields != nullptr) {
    hr = fields->QueryInterface(IndexFieldsIID(Interfaces), &wanted);
    fields->Release();
  }
  return Wrap<TDAOIndexfields>(hr, static_cast<IUnknown*>(static_cast<DAOIndexFields*>(wanted)));
}

std::int16_t TDAOIndexes::Count() {
  std::int16_t n = 0;
  Status = As<DAOIndexes>()->get_Count(&n);
  return n;
}

TDAOIndex* TDAOIndexes::Item(std::int16_t index) {
  DAOIndex* out = nullptr;
  HRESULT hr = As<DAOIndexes>()->get_Item(Index(index), &out);
  return Wrap<TDAOIndex>(hr, out);
}

// ---- Recordsets

std::string TDAORecordset::GetName() {
  std::string name;
  Status = As<DAORecordset>()->get_Name(&name);
  return name;
}

TDAOFields* TDAORecordset::GetFields() {
  DAOFields* out = nullptr;
  HRESULT hr = As<DAORecordset>()->get_Fields(&out);
  return Wrap<TDAOFields>(hr, out);
}

TDAOIndexes* TDAORecordset::GetIndexes() {
  DAOIndexes* out = nullptr;
  HRESULT hr = As<DAORecordset>()->get_Indexes(&out);
  return Wrap<TDAOIndexes>(hr, out);
}

bool TDAORecordset::BOF() {
  bool b = false;
  Status = As<DAORecordset>()->get_BOF(&b);
  return b;
}

bool TDAORecordset::EOF_() {
  bool b = false;
  Status = As<DAORecordset>()->get_EOF(&b);
  return b;
}

bool TDAORecordset::NoMatch() {
  bool b = false;
  Status = As<DAORecordset>()->get_NoMatch(&b);
  return b;
}

std::int32_t TDAORecordset::RecordCount() {
  std::int32_t n = 0;
  Status = As<DAORecordset>()->get_RecordCount(&n);
  return n;
}

Variant TDAORecordset::Bookmark() {
  Variant v;
  Status = As<DAORecordset>()->get_Bookmark(&v);
  return v;
}

std::int32_t TDAORecordset::BookmarkWord() {
  std::int32_t word = 0;
  Status = As<DAORecordset>()->get_BookmarkWord(&word);
  return word;
}

void TDAORecordset::SetBookmark(const Variant& bookmark) {
  Status = As<DAORecordset>()->put_Bookmark(bookmark);
}

Variant TDAORecordset::LastModified() {
  Variant v;
  Status = As<DAORecordset>()->get_LastModified(&v);
  return v;
}

std::int32_t TDAORecordset::AbsolutePosition() {
  std::int32_t n = 0;
  Status = As<DAORecordset>()->get_AbsolutePosition(&n);
  return n;
}

void TDAORecordset::SetAbsolutePosition(std::int32_t position) {
  Status = As<DAORecordset>()->put_AbsolutePosition(position);
}

void TDAORecordset::SetIndex(const std::string& name) { Status = As<DAORecordset>()->put_Index(name); }
void TDAORecordset::AddNew() { Status = As<DAORecordset>()->AddNew(); }
void TDAORecordset::Edit() { Status = As<DAORecordset>()->Edit(); }
void TDAORecordset::Update() { Status = As<DAORecordset>()->Update(); }
void TDAORecordset::CancelUpdate() { Status = As<DAORecordset>()->CancelUpdate(); }
void TDAORecordset::Requery() { Status = As<DAORecordset>()->Requery(); }
void TDAORecordset::Delete() { Status = As<DAORecordset>()->Delete(); }
void TDAORecordset::Close() { Status = As<DAORecordset>()->Close(); }
void TDAORecordset::MoveFirst() { Status = As<DAORecordset>()->MoveFirst(); }
void TDAORecordset::MoveLast() { Status = As<DAORecordset>()->MoveLast(); }
void TDAORecordset::MoveNext() { Status = As<DAORecordset>()->MoveNext(); }
void TDAORecordset::MovePrevious() { Status = As<DAORecordset>()->MovePrevious(); }

void TDAORecordset::Seek(const std::string& comparison, const Variant (&k)[13]) {
  Status = As<DAORecordset>()->Seek(comparison, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7],
                                    k[8], k[9], k[10], k[11], k[12]);
}

void TDAORecordset::SetRowCondition(const std::string& condition, const std::vector<std::string>& bands,
                                    const std::vector<Variant>& point) {
  Status = As<DAORecordset>()->put_RowCondition(condition, bands, point);
}

std::int64_t TDAORecordset::RowReads() {
  std::int64_t n = 0;
  Status = As<DAORecordset>()->get_RowReads(&n);
  return n;
}

void TDAORecordset::RecordValues(DAOCellValue* values, std::int32_t count, DAORecordMarks& marks) {
  Status = As<DAORecordset>()->GetRecordValues(values, count, &marks);
}

// ---- Query and table definitions

std::string TDAOQuerydef::GetName() {
  std::string name;
  Status = As<DAOQueryDef>()->get_Name(&name);
  return name;
}

void TDAOQuerydef::SetName(const std::string& name) { Status = As<DAOQueryDef>()->put_Name(name); }

TDAOFields* TDAOQuerydef::GetFields() {
  DAOFields* out = nullptr;
  HRESULT hr = As<DAOQueryDef>()->get_Fields(&out);
  return Wrap<TDAOFields>(hr, out);
}

TDAOParameters* TDAOQuerydef::Parameters() {
  DAOParameters* out = nullptr;
  HRESULT hr = As<DAOQueryDef>()->get_Parameters(&out);
  return Wrap<TDAOParameters>(hr, out);
}

TDAORecordset* TDAOQuerydef::OpenRecordset(std::int32_t options) {
  DAORecordset* out = nullptr;
  HRESULT hr = As<DAOQueryDef>()->OpenRecordset(MissingArg, Options(options), &out);
  return Wrap<TDAORecordset>(hr, out);
}

void TDAOQuerydef::Execute() { Status = As<DAOQueryDef>()->Execute(MissingArg); }

std::int16_t TDAOQuerydefs::Count() {
  std::int16_t n = 0;
  Status = As<DAOQueryDefs>()->get_Count(&n);
  return n;
}

TDAOQuerydef* TDAOQuerydefs::Item(std::int16_t index) {
  DAOQueryDef* out = nullptr;
  HRESULT hr = As<DAOQueryDefs>()->get_Item(Index(index), &out);
  return Wrap<TDAOQuerydef>(hr, out);
}

std::string TDAOTabledef::GetName() {
  std::string name;
  Status = As<DAOTableDef>()->get_Name(&name);
  return name;
}

void TDAOTabledef::SetName(const std::string& name) { Status = As<DAOTableDef>()->put_Name(name); }

std::int16_t TDAOTabledefs::Count() {
  std::int16_t n = 0;
  Status = As<DAOTableDefs>()->get_Count(&n);
  return n;
}

TDAOTabledef* TDAOTabledefs::Item(std::int16_t index) {
  DAOTableDef* out = nullptr;
  HRESULT hr = As<DAOTableDefs>()->get_Item(Index(index), &out);
  return Wrap<TDAOTabledef>(hr, out);
}

// ---- Databases

std::string TDAODatabase::GetName() {
  std::string name;
  Status = As<DAODatabase>()->get_Name(&name);
  return name;
}

TDAOTabledefs* TDAODatabase::TableDefs() {
  DAOTableDefs* out = nullptr;
  HRESULT hr = As<DAODatabase>()->get_TableDefs(&out);
  return Wrap<TDAOTabledefs>(hr, out);
}

TDAOQuerydefs* TDAODatabase::QueryDefs() {
  DAOQueryDefs* out = nullptr;
  HRESULT hr = As<DAODatabase>()->get_QueryDefs(&out);
  return Wrap<TDAOQuerydefs>(hr, out);
}

TDAORecordset* TDAODatabase::OpenRecordset(const std::string& name, std::int32_t options) {
  DAORecordset* out = nullptr;
  HRESULT hr = As<DAODatabase>()->OpenRecordset(name, MissingArg, Options(options), &out);
  return Wrap<TDAORecordset>(hr, out);
}

void TDAODatabase::Execute(const std::string& sql) { Status = As<DAODatabase>()->Execute(sql, MissingArg); }
std::int32_t TDAODatabase::RecordsAffected() {
  std::int32_t count = 0;
  Status = As<DAODatabase>()->get_RecordsAffected(&count);
  return count;
}

void TDAODatabase::Close() { Status = As<DAODatabase>()->Close(); }

// ---- Engine

TDAOEngine::TDAOEngine(bool useDAO35, bool useWide) {
  Interfaces = TDAOInterfaceSet{useDAO35, useWide};
  if (IsMainThread()) {
    Status = CoInitialize(nullptr);
    if (SUCCEEDED(Status)) ComInitialized = -1;
  }
  if (FAILED(Status)) {
    ErrorText = "CoInitialize Error";
    return;
  }
  CLSID clsid;
  Status = CLSIDFromProgID(useDAO35 ? kDaoProgId35 : kDaoProgId30, &clsid);
  if (FAILED(Status)) {
    ErrorText = "DAO.DBEngine CLSIDFromProgID Error";
    return;
  }
  IID iid;
  Status = CLSIDFromString(
      Pick(Interfaces, kIIDDBEngine35W, kIIDDBEngine35A, kIIDDBEngine30W, kIIDDBEngine30A), &iid);
  if (FAILED(Status)) {
    ErrorText = "DBDAO IID CLSIDFromString Error";
    return;
  }
  void* unknown = nullptr;
  Status = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &unknown);
  if (FAILED(Status)) {
    ErrorText = "CoCreateInstance Error GSTATUS=" + std::to_string(Status);
    return;
  }
  void* engine = nullptr;
  auto* outer = static_cast<IUnknown*>(unknown);
  Status = outer->QueryInterface(DBEngineIID(Interfaces), &engine);
  outer->Release();
  if (FAILED(Status) || engine == nullptr) {
    ErrorText = "CoQueryInterface error";
    return;
  }
  SetInterface(static_cast<DAODBEngine*>(engine));
  Ready = -1;
}

TDAODatabase* TDAOEngine::OpenDatabase(const std::string& name, bool exclusive, bool readOnly,
                                       const std::string& connect) {
  DAODatabase* out = nullptr;
  HRESULT hr = As<DAODBEngine>()->OpenDatabase(name, Variant(exclusive), Variant(readOnly),
                                               connect.empty() ? MissingArg : Variant(connect), &out);
  return Wrap<TDAODatabase>(hr, out);
}

void TDAOEngine::BeginTrans() { Status = As<DAODBEngine>()->BeginTrans(); }

void TDAOEngine::CommitTrans() {
  // The newer server takes an options argument; the older one none.
  Status = Interfaces.UseDAO35 ? As<DAODBEngine>()->CommitTrans(0) : As<DAODBEngine>()->CommitTrans();
}

void TDAOEngine::Rollback() { Status = As<DAODBEngine>()->Rollback(); }

TDAOErrors* TDAOEngine::Errors() {
  DAOErrors* out = nullptr;
  HRESULT hr = As<DAODBEngine>()->get_Errors(&out);
  return Wrap<TDAOErrors>(hr, out);
}

void TDAOEngine::Idle(std::int32_t action) { Status = As<DAODBEngine>()->Idle(Variant(static_cast<int>(action))); }

// ---- Variant builders

Variant DaoVarI4(std::int32_t v) { return Variant(static_cast<int>(v)); }
Variant DaoVarI2(std::int16_t v) { return Variant(static_cast<short>(v)); }
Variant DaoVarUI1(std::uint8_t v) { return Variant(static_cast<unsigned char>(v)); }
Variant DaoVarBool(bool v) { return Variant(v); }
Variant DaoVarR4(float v) { return Variant(v); }
Variant DaoVarR8(double v) { return Variant(v); }
Variant DaoVarCY(Currency v) { return Variant(v); }
Variant DaoVarDate(TDateTime v) { return Variant(v); }
Variant DaoVarStr(const std::string& v) { return Variant(v); }
