// The DAO objects: thin reference-counted objects over the database and
// recordset machinery, converting variants and turning failures into statuses
// and the engine's Errors collection.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/core.h"
#include "platform/dao/dao.h"
#include "platform/dao/daoerrors.h"

using namespace dao;

namespace {

IID ParseIID(const char* text) {
  IID iid;
  IIDFromString(text, &iid);
  return iid;
}

// Our own identifiers for the interfaces that DAO hands out by return type.
const IID IID_DAOObject = {0x7A3E0000, 0x5D1C, 0x4B2A, {0x9E, 0x61, 0x0C, 0x44, 0x1F, 0x2B, 0x80, 0x01}};
const CLSID CLSID_DBEngine35 = {0x7A3E0100, 0x5D1C, 0x4B2A, {0x9E, 0x61, 0x0C, 0x44, 0x1F, 0x2B, 0x80, 0x35}};
const CLSID CLSID_DBEngine30 = {0x7A3E0100, 0x5D1C, 0x4B2A, {0x9E, 0x61, 0x0C, 0x44, 0x1F, 0x2B, 0x80, 0x30}};

bool IsOneOf(REFIID iid, std::initializer_list<const char*> texts) {
  for (const char* t : texts)
    if (iid == ParseIID(t)) return true;
  return false;
}

// ---- shared state ------------------------------------------------------------------

struct ErrorRecord {
  std::int32_t number;
  std::string description;
};

struct EngineState {
  std::vector<ErrorRecord> errors;
  int transactionDepth = 0;
  std::vector<std::weak_ptr<struct DatabaseState>> databases;
};

struct RecordsetState;

struct DatabaseState {
  std::shared_ptr<EngineState> engine;
  std::unique_ptr<TDatabaseCore> core;
  std::vector<std::weak_ptr<RecordsetState>> recordsets;
  TDatabaseCore& Core() {
    if (!core) Fail(errObjectInvalid);
    return *core;
  }
  void Close();
};

struct RecordsetState {
  std::shared_ptr<DatabaseState> database;
  std::unique_ptr<TRecordsetCore> core;
  TRecordsetCore& Core() {
    if (!core) Fail(errObjectInvalid);
    return *core;
  }
};

void DatabaseState::Close() {
  for (auto& weak : recordsets)
    if (auto rs = weak.lock()) rs->core.reset();
  recordsets.clear();
  core.reset();
}

// Runs one member: a failure becomes the status and the engine's errors.
template <class F>
HRESULT Guard(EngineState& engine, F&& body) {
  int number = 0;
  std::string text;
  try {
    body();
    return S_OK;
  } catch (const TDaoFailure& e) {
    number = e.Number();
    text = e.Description();
  } catch (const EVariantError&) {
    number = errConversion;
    text = ErrorDescription(errConversion);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    number = errReservedError;
    text = ErrorDescription(errReservedError, e.what());
  }
  engine.errors.clear();
  engine.errors.push_back({number, text});
  return DaoStatus(number);
}

template <class T>
void Require(T* out) {
  if (out == nullptr) Fail(errInvalidArgument);
}

bool IsMissing(const Variant& v) { return v.VType() == varError || v.IsEmpty(); }

bool OptionalBool(const Variant& v) { return IsMissing(v) ? false : v.AsBoolean(); }

int OptionalInt(const Variant& v, int missing) { return IsMissing(v) ? missing : v.AsInteger(); }

// Index of a collection item by position or by name (case ignored).
template <class NameOf>
size_t ItemIndex(const Variant& index, size_t count, NameOf nameOf) {
  if (VarIsStr(index)) {
    std::string wanted = index.AsString();
    for (size_t i = 0; i < count; ++i)
      if (AnsiSameText(nameOf(i), wanted)) return i;
    Fail(errItemNotFound);
  }
  if (IsMissing(index) || index.IsNull()) Fail(errItemNotFound);
  std::int64_t i = index.AsInt64();
  if (i < 0 || static_cast<size_t>(i) >= count) Fail(errItemNotFound);
  return static_cast<size_t>(i);
}

template <class T, class... Args>
T* Make(Args&&... args) {
  T* object = new T(std::forward<Args>(args)...);
  object->AddRef();
  return object;
}

// ---- values ----------------------------------------------------------------------

Variant ToVariant(const Cell& c, int type) {
  if (c.IsNull()) return Null;
  switch (type) {
    case dbBoolean: return Variant(c.AsInteger() != 0);
    case dbByte: return Variant(static_cast<unsigned char>(c.AsInteger()));
    case dbInteger: return Variant(static_cast<short>(c.AsInteger()));
    case dbLong: return Variant(static_cast<int>(c.AsInteger()));
    case dbCurrency: return Variant(Currency::FromRaw(c.AsInteger()));
    case dbSingle: return Variant(static_cast<float>(c.AsReal()));
    case dbDouble: return Variant(c.AsReal());
    case dbDate: return Variant(TDateTime(c.AsReal()));
    case dbLongBinary:
    case dbBinary: return VarByteArrayOf(c.text.data(), c.text.size());
    default:
      if (c.kind == Cell::Integer) return Variant(std::to_string(c.integer));
      if (c.kind == Cell::Real) return Variant(c.AsReal());
      return Variant(std::string_view(c.text));  // copied once, into the answer
  }
}

// The cell as ToVariant answers it, less the variant: numbers converted by the
// field's type, other values as stored. Written in place, every part of it:
// a scan fills a record's worth of these for every row.
void PutCellValue(const Cell& c, int type, DAOCellValue& out) {
  out = DAOCellValue{};
  if (c.IsNull()) return;
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
      out.kind = DAOCellValue::Integer;
      out.integer = c.kind == Cell::Integer ? c.integer : c.AsInteger();
      return;
    case dbSingle:
    case dbDouble:
    case dbDate:
      out.kind = DAOCellValue::Real;
      out.real = c.kind == Cell::Real ? c.real : c.AsReal();
      return;
    default: break;
  }
  if (c.kind == Cell::Integer) {
    out.kind = DAOCellValue::Integer;
    out.integer = c.integer;
  } else if (c.kind == Cell::Real) {
    out.kind = DAOCellValue::Real;
    out.real = c.real;
  } else {
    out.kind = DAOCellValue::Text;
    out.text = c.text;
  }
}

// A large value's size as get_FieldSize answers it: a blank one has none.
std::int64_t StoredSize(TRecordsetCore& r, int field) { return std::max<std::int64_t>(r.ValueSize(field), 0); }

// A field's value for GetRecordValues: a memo or binary value by its size only,
// so that a large one stays unread until asked for.
void PutCellOrSize(TRecordsetCore& r, int field, int type, DAOCellValue& out) {
  if (type != dbMemo && type != dbLongBinary) return PutCellValue(r.Value(field), type, out);
  out = DAOCellValue{};
  out.kind = DAOCellValue::Unread;
  out.integer = StoredSize(r, field);
}

std::string BytesOf(const Variant& v) {
  if (v.IsArray()) {
    auto bytes = VarArrayToBytes(v);
    return std::string(bytes.begin(), bytes.end());
  }
  return v.AsString();
}

std::int64_t InRange(std::int64_t v, std::int64_t low, std::int64_t high) {
  if (v < low || v > high) Fail(errConversion);
  return v;
}

Cell FromVariant(const Variant& v, int type) {
  if (v.IsNull() || v.IsEmpty() || v.VType() == varError) return {};
  switch (type) {
    case dbBoolean: return Cell::MakeInteger(v.AsBoolean() ? -1 : 0);
    case dbByte: return Cell::MakeInteger(InRange(v.AsInt64(), 0, 255));
    case dbInteger: return Cell::MakeInteger(InRange(v.AsInt64(), -32768, 32767));
    case dbLong:
      return Cell::MakeInteger(InRange(v.AsInt64(), std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max()));
    case dbCurrency: return Cell::MakeInteger(v.AsCurrency().Raw());
    case dbSingle: return Cell::MakeReal(static_cast<float>(v.AsDouble()));
    case dbDouble: return Cell::MakeReal(v.AsDouble());
    case dbDate: return Cell::MakeReal(v.AsDateTime().Value);
    case dbLongBinary:
    case dbBinary: return Cell::MakeBlob(BytesOf(v));
    default: return Cell::MakeText(BytesOf(v));
  }
}

// The index a recordset is ordered by, whose columns keys and points name.
const IndexDef* CurrentIndex(TRecordsetCore& r) {
  for (const auto& i : r.Indexes())
    if (AnsiSameText(i.name, r.Index())) return &i;
  Fail(r.IsTable() ? errNoCurrentIndex : errNotSupported);
}

Variant BookmarkVariant(const std::string& bytes) { return VarByteArrayOf(bytes.data(), bytes.size()); }

// ---- Errors ------------------------------------------------------------------------

class TError : public TComObject<DAOError> {
 public:
  explicit TError(ErrorRecord r) : r_(std::move(r)) {}
  HRESULT get_Number(std::int32_t* n) override {
    if (!n) return E_POINTER;
    *n = r_.number;
    return S_OK;
  }
  HRESULT get_Description(std::string* t) override {
    if (!t) return E_POINTER;
    *t = r_.description;
    return S_OK;
  }
  HRESULT get_Source(std::string* t) override {
    if (!t) return E_POINTER;
    *t = "DAO.DBEngine";
    return S_OK;
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOError*>(this) : nullptr; }

 private:
  ErrorRecord r_;
};

class TErrors : public TComObject<DAOErrors> {
 public:
  explicit TErrors(std::vector<ErrorRecord> errors) : errors_(std::move(errors)) {}
  HRESULT get_Count(std::int16_t* c) override {
    if (!c) return E_POINTER;
    *c = static_cast<std::int16_t>(errors_.size());
    return S_OK;
  }
  HRESULT get_Item(const Variant& index, DAOError** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    try {
      if (VarIsStr(index) || IsMissing(index)) return DaoStatus(errItemNotFound);
      std::int64_t i = index.AsInt64();
      if (i < 0 || static_cast<size_t>(i) >= errors_.size()) return DaoStatus(errItemNotFound);
      *item = Make<TError>(errors_[static_cast<size_t>(i)]);
      return S_OK;
    } catch (const EVariantError&) {
      return DaoStatus(errConversion);
    }
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOErrors*>(this) : nullptr; }

 private:
  std::vector<ErrorRecord> errors_;
};

// ---- Fields ------------------------------------------------------------------------

// A field of a recordset (with a value), of a table or query definition, or of
// an index (name and attributes only).
class TField : public TComObject<DAOField> {
 public:
  TField(std::shared_ptr<EngineState> engine, FieldInfo info, std::shared_ptr<RecordsetState> rs, int index,
         int indexAttributes = -1, std::shared_ptr<DatabaseState> definition = nullptr)
      : engine_(std::move(engine)), info_(std::move(info)), rs_(std::move(rs)), index_(index),
        indexAttributes_(indexAttributes), definition_(std::move(definition)) {}

  HRESULT get_Name(std::string* out) override {
    return Guard(*engine_, [&] { Require(out), *out = info_.def.name; });
  }
  // Only a table definition's field can be renamed.
  HRESULT put_Name(const std::string& name) override {
    return Guard(*engine_, [&] {
      if (!definition_) Fail(errNotSupported);
      definition_->Core().Conn().RenameField(info_.sourceTable, info_.def.name, name);
      info_.def.name = info_.sourceField = name;
    });
  }
  HRESULT get_Type(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(info_.def.type); });
  }
  HRESULT get_Size(std::int32_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = DefaultFieldSize(info_.def.type, info_.def.size); });
  }
  HRESULT get_FieldSize(std::int32_t* out) override {
    return Guard(*engine_, [&] {
      Require(out);
      *out = static_cast<std::int32_t>(StoredSize(Recordset(), index_));
    });
  }
  HRESULT get_Attributes(std::int32_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = indexAttributes_ >= 0 ? indexAttributes_ : info_.Attributes(); });
  }
  HRESULT get_Required(bool* out) override {
    return Guard(*engine_, [&] { Require(out), *out = info_.def.required; });
  }
  HRESULT get_AllowZeroLength(bool* out) override {
    return Guard(*engine_, [&] { Require(out), *out = info_.def.allowZeroLength; });
  }
  HRESULT get_SourceTable(std::string* out) override {
    return Guard(*engine_, [&] { Require(out), *out = info_.sourceTable; });
  }
  HRESULT get_SourceField(std::string* out) override {
    return Guard(*engine_, [&] { Require(out), *out = info_.sourceField; });
  }
  HRESULT get_Value(Variant* out) override {
    return Guard(*engine_, [&] { Require(out), *out = ToVariant(Current(), info_.def.type); });
  }
  HRESULT put_Value(const Variant& value) override {
    return Guard(*engine_, [&] { Recordset().SetValue(index_, FromVariant(value, info_.def.type)); });
  }
  HRESULT GetWholeValue(std::string* out) override {
    return Guard(*engine_, [&] {
      Require(out);
      RequireLarge();
      *out = Current().text;  // a Null one holds none
    });
  }
  HRESULT GetChunk(std::int32_t offset, std::int32_t bytes, Variant* out) override {
    return Guard(*engine_, [&] {
      Require(out);
      RequireLarge();
      if (offset < 0 || bytes < 0) Fail(errInvalidArgument);
      const Cell& c = Current();
      if (c.IsNull()) {
        *out = Null;
        return;
      }
      // A view of the piece: it is copied once, into the answer.
      std::string_view part = c.text;
      part = static_cast<size_t>(offset) < part.size() ? part.substr(offset, bytes) : std::string_view();
      *out = info_.def.type == dbMemo ? Variant(part) : VarByteArrayOf(part.data(), part.size());
    });
  }
  HRESULT AppendChunk(const Variant& chunk) override {
    return Guard(*engine_, [&] { Recordset().AppendChunk(index_, BytesOf(chunk)); });
  }

 protected:
  void* Supports(REFIID iid) override {
    if (iid == IID_DAOObject || IsOneOf(iid, {kIIDField35W, kIIDField35A, kIIDField30W, kIIDField30A}))
      return static_cast<DAOField*>(this);
    return nullptr;
  }

 private:
  TRecordsetCore& Recordset() {
    if (!rs_) Fail(errInvalidOperation);  // a definition's field has no value
    return rs_->Core();
  }
  const Cell& Current() { return Recordset().Value(index_); }
  // Only a memo or binary value is read in pieces or whole as its bytes.
  void RequireLarge() const {
    if (info_.def.type != dbMemo && info_.def.type != dbLongBinary) Fail(errTypeMismatch);
  }

  std::shared_ptr<EngineState> engine_;
  FieldInfo info_;
  std::shared_ptr<RecordsetState> rs_;
  int index_;
  int indexAttributes_;
  std::shared_ptr<DatabaseState> definition_;
};

class TFields : public TComObject<DAOFields> {
 public:
  TFields(std::shared_ptr<EngineState> engine, std::vector<FieldInfo> fields, std::shared_ptr<RecordsetState> rs,
          std::shared_ptr<DatabaseState> definition = nullptr)
      : engine_(std::move(engine)), fields_(std::move(fields)), rs_(std::move(rs)),
        definition_(std::move(definition)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(fields_.size()); });
  }
  HRESULT get_Item(const Variant& index, DAOField** item) override {
    return Guard(*engine_, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, fields_.size(), [&](size_t k) { return fields_[k].def.name; });
      *item = Make<TField>(engine_, fields_[i], rs_, static_cast<int>(i), -1, definition_);
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOFields*>(this) : nullptr; }

 private:
  std::shared_ptr<EngineState> engine_;
  std::vector<FieldInfo> fields_;
  std::shared_ptr<RecordsetState> rs_;
  std::shared_ptr<DatabaseState> definition_;
};

// ---- Indexes -----------------------------------------------------------------------

class TIndexFields : public TComObject<DAOIndexFields> {
 public:
  TIndexFields(std::shared_ptr<EngineState> engine, IndexDef index, std::vector<FieldDef> tableFields)
      : engine_(std::move(engine)), index_(std::move(index)), tableFields_(std::move(tableFields)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(index_.columns.size()); });
  }
  HRESULT get_Item(const Variant& index, IUnknown** item) override {
    return Guard(*engine_, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, index_.columns.size(), [&](size_t k) { return index_.columns[k].name; });
      const IndexColumn& c = index_.columns[i];
      FieldInfo info;
      info.def.name = c.name;
      for (const auto& f : tableFields_)
        if (AnsiSameText(f.name, c.name)) info.def = f;
      TField* field = Make<TField>(engine_, info, nullptr, -1, c.descending ? dbDescending : 0);
      *item = static_cast<DAOField*>(field);
    });
  }

 protected:
  void* Supports(REFIID iid) override {
    if (iid == IID_DAOObject ||
        IsOneOf(iid, {kIIDIndexFields35W, kIIDIndexFields35A, kIIDIndexFields30W, kIIDIndexFields30A}))
      return static_cast<DAOIndexFields*>(this);
    return nullptr;
  }

 private:
  std::shared_ptr<EngineState> engine_;
  IndexDef index_;
  std::vector<FieldDef> tableFields_;
};

class TIndex : public TComObject<DAOIndex> {
 public:
  TIndex(std::shared_ptr<EngineState> engine, IndexDef index, std::vector<FieldDef> tableFields,
         std::shared_ptr<DatabaseState> definition, std::string table)
      : engine_(std::move(engine)), index_(std::move(index)), tableFields_(std::move(tableFields)),
        definition_(std::move(definition)), table_(std::move(table)) {}
  HRESULT get_Name(std::string* out) override { return Guard(*engine_, [&] { Require(out), *out = index_.name; }); }
  // Only a table definition's index can be renamed.
  HRESULT put_Name(const std::string& name) override {
    return Guard(*engine_, [&] {
      if (!definition_) Fail(errNotSupported);
      definition_->Core().Conn().RenameIndex(table_, index_.name, name);
      index_.name = name;
    });
  }
  HRESULT get_Unique(bool* out) override { return Guard(*engine_, [&] { Require(out), *out = index_.unique; }); }
  HRESULT get_Primary(bool* out) override { return Guard(*engine_, [&] { Require(out), *out = index_.primary; }); }
  HRESULT get_Required(bool* out) override { return Guard(*engine_, [&] { Require(out), *out = index_.required; }); }
  HRESULT get_IgnoreNulls(bool* out) override {
    return Guard(*engine_, [&] { Require(out), *out = index_.ignoreNulls; });
  }
  HRESULT get_Fields(IUnknown** out) override {
    return Guard(*engine_, [&] {
      Require(out);
      *out = static_cast<DAOIndexFields*>(Make<TIndexFields>(engine_, index_, tableFields_));
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOIndex*>(this) : nullptr; }

 private:
  std::shared_ptr<EngineState> engine_;
  IndexDef index_;
  std::vector<FieldDef> tableFields_;
  std::shared_ptr<DatabaseState> definition_;
  std::string table_;
};

class TIndexes : public TComObject<DAOIndexes> {
 public:
  TIndexes(std::shared_ptr<EngineState> engine, std::vector<IndexDef> indexes, std::vector<FieldDef> tableFields,
           std::shared_ptr<DatabaseState> definition = nullptr, std::string table = {})
      : engine_(std::move(engine)), indexes_(std::move(indexes)), tableFields_(std::move(tableFields)),
        definition_(std::move(definition)), table_(std::move(table)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(indexes_.size()); });
  }
  HRESULT get_Item(const Variant& index, DAOIndex** item) override {
    return Guard(*engine_, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, indexes_.size(), [&](size_t k) { return indexes_[k].name; });
      *item = Make<TIndex>(engine_, indexes_[i], tableFields_, definition_, table_);
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOIndexes*>(this) : nullptr; }

 private:
  std::shared_ptr<EngineState> engine_;
  std::vector<IndexDef> indexes_;
  std::vector<FieldDef> tableFields_;
  std::shared_ptr<DatabaseState> definition_;
  std::string table_;
};

// ---- Recordset ---------------------------------------------------------------------

class TRecordset : public TComObject<DAORecordset> {
 public:
  explicit TRecordset(std::shared_ptr<RecordsetState> rs) : rs_(std::move(rs)), engine_(rs_->database->engine) {}

  HRESULT get_Name(std::string* out) override { return Run([&](auto& r) { Require(out), *out = r.Name(); }); }
  HRESULT get_Type(std::int16_t* out) override {
    return Run([&](auto& r) { Require(out), *out = static_cast<std::int16_t>(r.IsTable() ? 1 : 2); });
  }
  HRESULT get_Updatable(bool* out) override { return Run([&](auto& r) { Require(out), *out = r.Updatable(); }); }
  HRESULT get_Fields(DAOFields** out) override {
    return Run([&](auto& r) { Require(out), *out = Make<TFields>(engine_, r.Fields(), rs_); });
  }
  HRESULT get_Indexes(DAOIndexes** out) override {
    return Run([&](auto& r) {
      Require(out);
      *out = nullptr;
      if (!r.IsTable()) Fail(errNotSupported);
      std::vector<FieldDef> defs;
      for (const auto& f : r.Fields()) defs.push_back(f.def);
      *out = Make<TIndexes>(engine_, r.Indexes(), defs);
    });
  }
  HRESULT get_BOF(bool* out) override { return Run([&](auto& r) { Require(out), *out = r.Bof(); }); }
  HRESULT get_EOF(bool* out) override { return Run([&](auto& r) { Require(out), *out = r.Eof(); }); }
  HRESULT get_NoMatch(bool* out) override { return Run([&](auto& r) { Require(out), *out = r.NoMatch(); }); }
  HRESULT get_EditMode(std::int16_t* out) override {
    return Run([&](auto& r) { Require(out), *out = static_cast<std::int16_t>(r.EditMode()); });
  }
  HRESULT get_RecordCount(std::int32_t* out) override {
    return Run([&](auto& r) { Require(out), *out = static_cast<std::int32_t>(r.RecordCount()); });
  }
  HRESULT get_Bookmark(Variant* out) override {
    return Run([&](auto& r) { Require(out), *out = BookmarkVariant(r.Bookmark()); });
  }
  HRESULT put_Bookmark(const Variant& bookmark) override {
    return Run([&](auto& r) {
      if (!bookmark.IsArray()) Fail(errNotValidBookmark);
      r.SetBookmark(BytesOf(bookmark));
    });
  }
  HRESULT get_LastModified(Variant* out) override {
    return Run([&](auto& r) { Require(out), *out = BookmarkVariant(r.LastModified()); });
  }
  HRESULT get_AbsolutePosition(std::int32_t* out) override {
    return Run([&](auto& r) { Require(out), *out = r.AbsolutePosition(); });
  }
  HRESULT put_AbsolutePosition(std::int32_t position) override {
    return Run([&](auto& r) { r.SetAbsolutePosition(position); });
  }
  HRESULT get_Index(std::string* out) override { return Run([&](auto& r) { Require(out), *out = r.Index(); }); }
  HRESULT put_Index(const std::string& index) override { return Run([&](auto& r) { r.SetIndex(index); }); }
  HRESULT AddNew() override { return Run([&](auto& r) { r.AddNew(); }); }
  HRESULT Edit() override { return Run([&](auto& r) { r.Edit(); }); }
  HRESULT Update() override { return Run([&](auto& r) { r.Update(); }); }
  HRESULT CancelUpdate() override { return Run([&](auto& r) { r.CancelUpdate(); }); }
  HRESULT Delete() override { return Run([&](auto& r) { r.Delete(); }); }
  HRESULT Close() override {
    return Run([&](auto&) { rs_->core.reset(); });
  }
  HRESULT MoveFirst() override { return Run([&](auto& r) { r.MoveFirst(); }); }
  HRESULT MoveLast() override { return Run([&](auto& r) { r.MoveLast(); }); }
  HRESULT MoveNext() override { return Run([&](auto& r) { r.MoveNext(); }); }
  HRESULT MovePrevious() override { return Run([&](auto& r) { r.MovePrevious(); }); }
  HRESULT Requery() override { return Run([&](auto& r) { r.Requery(); }); }
  HRESULT Seek(const std::string& comparison, const Variant& k1, const Variant& k2, const Variant& k3,
               const Variant& k4, const Variant& k5, const Variant& k6, const Variant& k7, const Variant& k8,
               const Variant& k9, const Variant& k10, const Variant& k11, const Variant& k12,
               const Variant& k13) override {
    return Run([&](auto& r) {
      const Variant* keys[] = {&k1, &k2, &k3, &k4, &k5, &k6, &k7, &k8, &k9, &k10, &k11, &k12, &k13};
      const IndexDef* index = CurrentIndex(r);
      std::vector<Cell> cells;
      for (size_t k = 0; k < 13 && !IsMissing(*keys[k]); ++k) {
        if (k >= index->columns.size()) Fail(errInvalidArgument);
        int f = r.FieldIndex(index->columns[k].name);
        cells.push_back(FromVariant(*keys[k], f >= 0 ? r.Fields()[static_cast<size_t>(f)].def.type : dbText));
      }
      r.Seek(comparison, cells);
    });
  }
  HRESULT put_RowCondition(const std::string& condition, const std::vector<std::string>& bands,
                           const std::vector<Variant>& point) override {
    return Run([&](auto& r) {
      std::vector<Cell> cells;
      for (size_t k = 0; k < point.size(); ++k) {
        const std::vector<IndexColumn>& columns = CurrentIndex(r)->columns;
        if (k >= columns.size()) Fail(errInvalidArgument);
        const int f = r.FieldIndex(columns[k].name);
        cells.push_back(FromVariant(point[k], f >= 0 ? r.Fields()[static_cast<size_t>(f)].def.type : dbText));
      }
      r.SetRowCondition(condition, bands, cells);
    });
  }
  HRESULT get_BookmarkWord(std::int32_t* out) override {
    return Run([&](auto& r) { Require(out), *out = r.BookmarkWord(); });
  }
  HRESULT get_RowReads(std::int64_t* out) override {
    return Run([&](auto& r) { Require(out), *out = static_cast<std::int64_t>(r.RowReads()); });
  }
  HRESULT GetRecordValues(DAOCellValue* out, std::int32_t count, DAORecordMarks* marks) override {
    return Run([&](auto& r) {
      Require(out);
      const auto& fields = r.Fields();
      if (count < 0 || static_cast<size_t>(count) > fields.size()) Fail(errInvalidArgument);
      for (int i = 0; i < count; ++i) PutCellOrSize(r, i, fields[static_cast<size_t>(i)].def.type, out[i]);
      // After the values: reading one may have taken the row afresh.
      if (marks == nullptr) return;
      marks->rowReads = static_cast<std::int64_t>(r.RowReads());
      marks->hasBookmark = r.HasBookmark();
      marks->bookmarkWord = marks->hasBookmark ? r.BookmarkWord() : 0;
      marks->meetsRowCondition = r.CurrentMeetsRowCondition();
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAORecordset*>(this) : nullptr; }

 private:
  template <class F>
  HRESULT Run(F&& body) {
    return Guard(*engine_, [&] { body(rs_->Core()); });
  }

  std::shared_ptr<RecordsetState> rs_;
  std::shared_ptr<EngineState> engine_;
};

DAORecordset* WrapRecordset(const std::shared_ptr<DatabaseState>& db, std::unique_ptr<TRecordsetCore> core) {
  auto state = std::make_shared<RecordsetState>();
  state->database = db;
  state->core = std::move(core);
  db->recordsets.push_back(state);
  return Make<TRecordset>(state);
}

// ---- Definitions -------------------------------------------------------------------

class TTableDef : public TComObject<DAOTableDef> {
 public:
  TTableDef(std::shared_ptr<DatabaseState> db, std::string name) : db_(std::move(db)), name_(std::move(name)) {}
  HRESULT get_Name(std::string* out) override { return Run([&] { Require(out), *out = name_; }); }
  HRESULT put_Name(const std::string& name) override {
    return Run([&] {
      db_->Core().Conn().RenameTable(name_, name);
      name_ = name;
    });
  }
  HRESULT get_Attributes(std::int32_t* out) override {
    // System objects carry dbSystemObject (0x80000002).
    return Run([&] { Require(out), *out = IsSystemName(name_) ? static_cast<std::int32_t>(0x80000002u) : 0; });
  }
  HRESULT get_RecordCount(std::int32_t* out) override {
    return Run([&] {
      Require(out);
      auto rs = db_->Core().OpenRecordset(name_, dbReadOnly);
      *out = static_cast<std::int32_t>(rs->RecordCount());
    });
  }
  HRESULT get_Fields(DAOFields** out) override {
    return Run([&] {
      Require(out);
      const TableDef& t = db_->Core().Conn().Table(name_);
      std::vector<FieldInfo> fields;
      for (const auto& f : t.fields) {
        FieldInfo info;
        info.def = f;
        info.sourceTable = t.name;
        info.sourceField = f.name;
        info.updatable = true;
        fields.push_back(info);
      }
      *out = Make<TFields>(db_->engine, fields, nullptr, db_);
    });
  }
  HRESULT get_Indexes(DAOIndexes** out) override {
    return Run([&] {
      Require(out);
      const TableDef& t = db_->Core().Conn().Table(name_);
      *out = Make<TIndexes>(db_->engine, t.indexes, t.fields, db_, t.name);
    });
  }
  HRESULT OpenRecordset(const Variant&, const Variant& options, DAORecordset** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      *out = WrapRecordset(db_, db_->Core().OpenRecordset(name_, OptionalInt(options, -1)));
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOTableDef*>(this) : nullptr; }

 private:
  template <class F>
  HRESULT Run(F&& body) {
    return Guard(*db_->engine, body);
  }
  std::shared_ptr<DatabaseState> db_;
  std::string name_;
};

class TTableDefs : public TComObject<DAOTableDefs> {
 public:
  TTableDefs(std::shared_ptr<DatabaseState> db, std::vector<std::string> names)
      : db_(std::move(db)), names_(std::move(names)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*db_->engine, [&] { Require(out), *out = static_cast<std::int16_t>(names_.size()); });
  }
  HRESULT get_Item(const Variant& index, DAOTableDef** item) override {
    return Guard(*db_->engine, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, names_.size(), [&](size_t k) { return names_[k]; });
      *item = Make<TTableDef>(db_, names_[i]);
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOTableDefs*>(this) : nullptr; }

 private:
  std::shared_ptr<DatabaseState> db_;
  std::vector<std::string> names_;
};

struct QueryState {
  std::string name;
  std::string sql;
  std::vector<QueryParameter> parameters;
};

class TParameter : public TComObject<DAOParameter> {
 public:
  TParameter(std::shared_ptr<EngineState> engine, std::shared_ptr<QueryState> q, size_t index)
      : engine_(std::move(engine)), q_(std::move(q)), index_(index) {}
  HRESULT get_Name(std::string* out) override {
    return Guard(*engine_, [&] { Require(out), *out = P().decl.name; });
  }
  HRESULT get_Value(Variant* out) override {
    return Guard(*engine_, [&] { Require(out), *out = P().set ? ToVariant(P().value, P().decl.type) : Null; });
  }
  HRESULT put_Value(const Variant& value) override {
    return Guard(*engine_, [&] {
      P().value = FromVariant(value, P().decl.type);
      P().set = true;
    });
  }
  HRESULT get_Type(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(P().decl.type); });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOParameter*>(this) : nullptr; }

 private:
  QueryParameter& P() { return q_->parameters[index_]; }
  std::shared_ptr<EngineState> engine_;
  std::shared_ptr<QueryState> q_;
  size_t index_;
};

class TParameters : public TComObject<DAOParameters> {
 public:
  TParameters(std::shared_ptr<EngineState> engine, std::shared_ptr<QueryState> q)
      : engine_(std::move(engine)), q_(std::move(q)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*engine_, [&] { Require(out), *out = static_cast<std::int16_t>(q_->parameters.size()); });
  }
  HRESULT get_Item(const Variant& index, DAOParameter** item) override {
    return Guard(*engine_, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, q_->parameters.size(), [&](size_t k) { return q_->parameters[k].decl.name; });
      *item = Make<TParameter>(engine_, q_, i);
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOParameters*>(this) : nullptr; }

 private:
  std::shared_ptr<EngineState> engine_;
  std::shared_ptr<QueryState> q_;
};

class TQueryDef : public TComObject<DAOQueryDef> {
 public:
  TQueryDef(std::shared_ptr<DatabaseState> db, std::string name, std::string sql)
      : db_(std::move(db)), q_(std::make_shared<QueryState>()) {
    q_->name = std::move(name);
    q_->sql = std::move(sql);
    try {
      for (const auto& p : TranslateAccessSql(q_->sql).parameters) q_->parameters.push_back({p, Cell(), false});
    } catch (const TDaoFailure&) {
      // A damaged stored query still lists; using it reports the error.
    }
  }
  HRESULT get_Name(std::string* out) override { return Run([&] { Require(out), *out = q_->name; }); }
  HRESULT put_Name(const std::string& name) override {
    return Run([&] {
      if (!q_->name.empty()) db_->Core().Conn().RenameQueryDef(q_->name, name);
      q_->name = name;
    });
  }
  HRESULT get_SQL(std::string* out) override { return Run([&] { Require(out), *out = q_->sql; }); }
  HRESULT get_Fields(DAOFields** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      std::vector<QueryParameter> nulls = q_->parameters;
      for (auto& p : nulls) p.set = true;
      auto rs = db_->Core().OpenQuery(q_->name, q_->sql, nulls, dbReadOnly);
      *out = Make<TFields>(db_->engine, rs->Fields(), nullptr);
    });
  }
  HRESULT get_Parameters(DAOParameters** out) override {
    return Run([&] { Require(out), *out = Make<TParameters>(db_->engine, q_); });
  }
  HRESULT OpenRecordset(const Variant&, const Variant& options, DAORecordset** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      *out = WrapRecordset(db_, db_->Core().OpenQuery(q_->name, q_->sql, q_->parameters, OptionalInt(options, -1)));
    });
  }
  HRESULT Execute(const Variant&) override { return Run([&] { db_->Core().Execute(q_->sql, q_->parameters); }); }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOQueryDef*>(this) : nullptr; }

 private:
  template <class F>
  HRESULT Run(F&& body) {
    return Guard(*db_->engine, body);
  }
  std::shared_ptr<DatabaseState> db_;
  std::shared_ptr<QueryState> q_;
};

class TQueryDefs : public TComObject<DAOQueryDefs> {
 public:
  TQueryDefs(std::shared_ptr<DatabaseState> db, std::vector<std::pair<std::string, std::string>> queries)
      : db_(std::move(db)), queries_(std::move(queries)) {}
  HRESULT get_Count(std::int16_t* out) override {
    return Guard(*db_->engine, [&] { Require(out), *out = static_cast<std::int16_t>(queries_.size()); });
  }
  HRESULT get_Item(const Variant& index, DAOQueryDef** item) override {
    return Guard(*db_->engine, [&] {
      Require(item);
      *item = nullptr;
      size_t i = ItemIndex(index, queries_.size(), [&](size_t k) { return queries_[k].first; });
      *item = Make<TQueryDef>(db_, queries_[i].first, queries_[i].second);
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAOQueryDefs*>(this) : nullptr; }

 private:
  std::shared_ptr<DatabaseState> db_;
  std::vector<std::pair<std::string, std::string>> queries_;
};

// ---- Database ----------------------------------------------------------------------

class TDatabase : public TComObject<DAODatabase> {
 public:
  explicit TDatabase(std::shared_ptr<DatabaseState> db) : db_(std::move(db)) {}
  HRESULT get_Name(std::string* out) override { return Run([&] { Require(out), *out = db_->Core().Name(); }); }
  HRESULT get_Updatable(bool* out) override { return Run([&] { Require(out), *out = !db_->Core().ReadOnly(); }); }
  HRESULT get_TableDefs(DAOTableDefs** out) override {
    return Run([&] { Require(out), *out = Make<TTableDefs>(db_, db_->Core().Conn().TableNames()); });
  }
  HRESULT get_QueryDefs(DAOQueryDefs** out) override {
    return Run([&] { Require(out), *out = Make<TQueryDefs>(db_, db_->Core().Conn().QueryDefs()); });
  }
  HRESULT OpenRecordset(const std::string& name, const Variant&, const Variant& options, DAORecordset** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      *out = WrapRecordset(db_, db_->Core().OpenRecordset(name, OptionalInt(options, -1)));
    });
  }
  HRESULT Execute(const std::string& query, const Variant&) override {
    return Run([&] { db_->Core().Execute(query); });
  }
  HRESULT get_RecordsAffected(std::int32_t* out) override {
    return Run([&] {
      Require(out);
      *out = static_cast<std::int32_t>(std::min<std::int64_t>(db_->Core().RecordsAffected(), std::numeric_limits<std::int32_t>::max()));
    });
  }
  HRESULT CreateQueryDef(const Variant& name, const Variant& sql, DAOQueryDef** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      std::string n = IsMissing(name) ? std::string() : name.AsString();
      std::string text = IsMissing(sql) ? std::string() : sql.AsString();
      if (!n.empty()) db_->Core().CreateQueryDef(n, text);
      *out = Make<TQueryDef>(db_, n, text);
    });
  }
  HRESULT Close() override {
    return Run([&] {
      db_->Core();  // closing twice reports the closed object
      db_->Close();
    });
  }

 protected:
  void* Supports(REFIID iid) override { return iid == IID_DAOObject ? static_cast<DAODatabase*>(this) : nullptr; }

 private:
  template <class F>
  HRESULT Run(F&& body) {
    return Guard(*db_->engine, body);
  }
  std::shared_ptr<DatabaseState> db_;
};

// ---- DBEngine ----------------------------------------------------------------------

constexpr int kMaxTransactionDepth = 5;

class TDBEngine : public TComObject<DAODBEngine> {
 public:
  TDBEngine() : engine_(std::make_shared<EngineState>()) {}
  ~TDBEngine() override {
    for (auto& weak : engine_->databases)
      if (auto db = weak.lock()) db->Close();
  }

  HRESULT get_Version(std::string* out) override { return Run([&] { Require(out), *out = "3.5"; }); }
  HRESULT get_Errors(DAOErrors** out) override {
    if (!out) return E_POINTER;
    *out = Make<TErrors>(engine_->errors);
    return S_OK;
  }
  HRESULT OpenDatabase(const std::string& name, const Variant& exclusive, const Variant& readOnly,
                       const Variant& connect, DAODatabase** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      std::string text = IsMissing(connect) ? std::string() : connect.AsString();
      *out = Open(std::make_unique<TDatabaseCore>(name, OptionalBool(exclusive), OptionalBool(readOnly), text));
    });
  }
  HRESULT CreateDatabase(const std::string& name, const std::string& locale, const Variant&,
                         DAODatabase** out) override {
    return Run([&] {
      Require(out);
      *out = nullptr;
      TDatabaseCore::Create(name, locale);
      *out = Open(std::make_unique<TDatabaseCore>(name, false, false, locale));
    });
  }
  HRESULT BeginTrans() override {
    return Run([&] {
      if (engine_->transactionDepth >= kMaxTransactionDepth) Fail(errTooManyTransactions);
      // All or none: a database left inside a level nobody ends would hold
      // its later changes uncommitted until it closes, and then drop them.
      std::vector<Connection*> begun;
      try {
        for (auto& db : Open()) {
          Connection& c = db->Core().Conn();
          if (c.TransactionDepth() != engine_->transactionDepth) continue;
          c.Begin();
          begun.push_back(&c);
        }
      } catch (...) {
        for (Connection* c : begun) {
          try {
            c->Rollback();
          } catch (const TDaoFailure&) {
            // The failure to begin is the one the caller hears of.
          }
        }
        throw;
      }
      ++engine_->transactionDepth;
    });
  }
  HRESULT CommitTrans() override { return End(true); }
  HRESULT CommitTrans(std::int32_t) override { return End(true); }
  HRESULT Rollback() override { return End(false); }
  HRESULT Idle(const Variant&) override { return S_OK; }

 protected:
  void* Supports(REFIID iid) override {
    if (IsOneOf(iid, {kIIDDBEngine35W, kIIDDBEngine35A, kIIDDBEngine30W, kIIDDBEngine30A}) || iid == IID_DAOObject)
      return static_cast<DAODBEngine*>(this);
    return nullptr;
  }

 private:
  template <class F>
  HRESULT Run(F&& body) {
    return Guard(*engine_, body);
  }

  DAODatabase* Open(std::unique_ptr<TDatabaseCore> core) {
    auto state = std::make_shared<DatabaseState>();
    state->engine = engine_;
    state->core = std::move(core);
    std::erase_if(engine_->databases, [](auto& w) { return w.expired(); });
    engine_->databases.push_back(state);
    return Make<TDatabase>(state);
  }

  std::vector<std::shared_ptr<DatabaseState>> Open() {
    std::vector<std::shared_ptr<DatabaseState>> out;
    for (auto& weak : engine_->databases)
      if (auto db = weak.lock(); db && db->core) out.push_back(db);
    return out;
  }

  HRESULT End(bool commit) {
    return Run([&] {
      if (engine_->transactionDepth == 0) Fail(errNoTransaction);
      for (auto& db : Open()) {
        Connection& c = db->Core().Conn();
        if (c.TransactionDepth() != engine_->transactionDepth) continue;
        if (commit)
          c.Commit();
        else
          c.Rollback();
      }
      --engine_->transactionDepth;
    });
  }

  std::shared_ptr<EngineState> engine_;
};

HRESULT CreateEngine(REFIID iid, void** object) {
  TDBEngine* engine = Make<TDBEngine>();
  HRESULT hr = engine->QueryInterface(iid, object);
  engine->Release();
  return hr;
}

}  // namespace

namespace {

// A registered server also has its class key under HKEY_CLASSES_ROOT, where
// callers look before they create it.
void WriteClassKeys(bool registered) {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    for (auto [progId, clsid] : {std::pair{kDaoProgId35, CLSID_DBEngine35}, std::pair{kDaoProgId30, CLSID_DBEngine30}}) {
      std::string key = std::string("\\") + progId;
      if (!registered) {
        registry.DeleteKey(key);
      } else if (registry.OpenKey(key + "\\CLSID", true)) {
        registry.WriteString("", StringFromGUID(clsid));
        registry.CloseKey();
      }
    }
  } catch (const std::exception&) {
    // Without a settings store the server is still usable in this process.
  }
}

}  // namespace

HRESULT DaoRegisterServer() {
  HRESULT hr = CoRegisterServer(kDaoProgId35, CLSID_DBEngine35, CreateEngine);
  if (SUCCEEDED(hr)) hr = CoRegisterServer(kDaoProgId30, CLSID_DBEngine30, CreateEngine);
  if (SUCCEEDED(hr)) WriteClassKeys(true);
  return hr;
}

HRESULT DaoUnregisterServer() {
  CoUnregisterServer(kDaoProgId35);
  CoUnregisterServer(kDaoProgId30);
  WriteClassKeys(false);
  return S_OK;
}

void DaoSetBusyTimeout(int milliseconds) { Connection::SetBusyTimeout(milliseconds); }
