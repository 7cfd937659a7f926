#include "dbengine/ttquery.h"

#include <cstring>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/format.h"

IMPLEMENT_CLASS(TttParam, TParam)
IMPLEMENT_CLASS(TttParams, TParams)
IMPLEMENT_CLASS(TttQueryDataLink, TDataLink)
IMPLEMENT_CLASS(TttQuery, TttDBDataset)

PUBLISHED(TttQuery) { PublishQueryProperties(P); }

namespace {

constexpr TPropertyId kLivenessProperty = 0x00060021;
constexpr TPropertyId kAuxTablesProperty = 0x00060026;
constexpr TPropertyId kConstrainedProperty = 0x00060031;
constexpr TPropertyId kPrepareFlagProperty = 0x00060042;
constexpr TPropertyId kUniDirectionalProperty = 0x00060010;
constexpr std::uint16_t kSqlLanguage = 2;
constexpr std::size_t kPointerSlot = 16;  // pointer-sized address, then the 32-bit length

bool IsStreamedBlob(TFieldType type) {
  return type == ftBlob || type == ftGraphic || type == ftFmtMemo || type == ftParadoxOle ||
         type == ftDBaseOle;
}

std::uint16_t BlobSubType(TFieldType type) {
  switch (type) {
    case ftBlob: return 23;
    case ftMemo: return 22;
    case ftGraphic: return 26;
    case ftFmtMemo: return 24;
    case ftParadoxOle: return 25;
    case ftDBaseOle: return 27;
    case ftTypedBinary: return 28;
    default: return 0;
  }
}

// Reads little-endian values from a "Data" stream; a short stream is a damaged one.
template <class T>
T ReadValue(TStream* stream) {
  T value{};
  if (stream->Read(&value, sizeof value) != sizeof value) DatabaseError(querytext::BadParamStream);
  return value;
}

}  // namespace

// ============================================================================
// Parameters
// ============================================================================

int CheckedDataSize(const TParam* param) {
  switch (param->DataType()) {
    case ftBytes: case ftVarBytes: case ftTypedBinary:
      DatabaseErrorFmt(querytext::UnsupportedType, {param->Name()});
    case ftUnknown:
      DatabaseErrorFmt(querytext::UnknownType, {param->Name()});
    default:
      return param->GetDataSize();
  }
}

TttParams::TttParams(TPersistent* owner) : TParams(owner) {}

TParam* TttParams::Items(int index) const { return FindParam(TParams::Items(index)->Name()); }

TParam* TttParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
  auto* param = new TttParam(this);
  param->SetName(name);
  param->SetDataType(type);
  param->SetParamType(paramType);
  return param;
}

void TttParams::WriteBinaryData(TStream* stream) const {
  auto put = [&](const auto& value) { stream->WriteBuffer(&value, sizeof value); };
  put(std::uint16_t(1));
  put(std::uint16_t(Count()));
  for (int i = 0; i < Count(); ++i) {
    TParam* param = TParams::Items(i);
    std::string name = param->Name().substr(0, 255);
    put(std::uint8_t(name.size()));
    stream->WriteBuffer(name.data(), std::int64_t(name.size()));
    put(std::uint8_t(param->ParamType()));
    put(std::uint8_t(param->DataType()));
    if (param->DataType() != ftUnknown) {
      std::vector<char> value;
      if (IsStreamedBlob(param->DataType()) || param->DataType() == ftMemo) {
        std::string text = param->AsString();
        value.assign(text.begin(), text.end());
      } else {
        value.resize(std::size_t(CheckedDataSize(param)));
        if (!value.empty() && !param->IsNull()) param->GetData(value.data());
      }
      if (value.size() > std::size_t(kMaxStoredValue))
        DatabaseError(Format(querytext::ParamTooBig, {param->Name(), kMaxStoredValue}));
      put(std::uint16_t(value.size()));
      stream->WriteBuffer(value.data(), std::int64_t(value.size()));
    }
    put(std::uint8_t(param->IsNull() ? 1 : 0));
    put(std::uint8_t(param->Bound() ? 1 : 0));
  }
}

void TttParams::ReadBinaryData(TStream* stream) {
  auto version = ReadValue<std::uint16_t>(stream);
  if (version > 2) DatabaseError(querytext::BadParamStream);
  std::uint32_t count = version == 2 ? ReadValue<std::uint32_t>(stream) : ReadValue<std::uint16_t>(stream);
  Clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t nameLength = version == 2 ? ReadValue<std::uint32_t>(stream) : ReadValue<std::uint8_t>(stream);
    if (nameLength > stream->Size() - stream->Position()) DatabaseError(querytext::BadParamStream);
    std::string name(nameLength, '\0');
    if (nameLength && stream->Read(name.data(), nameLength) != std::int64_t(nameLength))
      DatabaseError(querytext::BadParamStream);
    auto paramType = ReadValue<std::uint8_t>(stream);
    auto dataType = ReadValue<std::uint8_t>(stream);
    if (dataType >= kFieldTypeCount || paramType > ptResult) DatabaseError(querytext::BadParamStream);
    TParam* param = CreateParam(TFieldType(dataType), name, TParamType(paramType));
    if (dataType != ftUnknown) {
      std::uint32_t size = version == 2 ? ReadValue<std::uint32_t>(stream) : ReadValue<std::uint16_t>(stream);
      if (size > stream->Size() - stream->Position()) DatabaseError(querytext::BadParamStream);
      std::vector<char> value(size + 1, '\0');
      if (size && stream->Read(value.data(), size) != std::int64_t(size)) DatabaseError(querytext::BadParamStream);
      TFieldType type = TFieldType(dataType);
      if (IsStreamedBlob(type)) {
        param->SetValue(Variant(std::string(value.data(), size)));
        param->SetDataType(type);
      } else if (type == ftCursor) {
        param->Clear();
      } else if (type == ftBCD) {
        ::Currency money;
        if (size >= sizeof(TBcd) && BCDToCurr(*reinterpret_cast<const TBcd*>(value.data()), money))
          param->SetAsBCD(money);
      } else if (type == ftString || type == ftMemo || int(size) >= param->GetDataSize()) {
        param->SetData(value.data(), int(size));
      }
    }
    bool isNull = ReadValue<std::uint8_t>(stream) != 0;
    bool bound = ReadValue<std::uint8_t>(stream) != 0;
    if (isNull) param->Clear();
    param->SetBound(bound);
  }
}

std::string ScanQueryParams(const std::string& sql, TttParams* params) {
  auto isDelimiter = [](char c) {
    return c == '\n' || c == '\r' || c == ' ' || c == ')' || c == ',' || c == ';';
  };
  std::string out;
  bool inLiteral = false;
  std::size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      inLiteral = !inLiteral;
      out += c;
      ++i;
      continue;
    }
    if (inLiteral || c != ':') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < sql.size() && sql[i + 1] == ':') {
      out += ':';
      i += 2;
      continue;
    }
    std::size_t start = i + 1;
    std::size_t end = start;
    std::string name;
    if (start < sql.size() && (sql[start] == '\'' || sql[start] == '"')) {
      char quote = sql[start];
      end = sql.find(quote, start + 1);
      if (end == std::string::npos) end = sql.size();
      name = sql.substr(start + 1, end - start - 1);
      if (end < sql.size()) ++end;
    } else {
      while (end < sql.size() && !isDelimiter(sql[end])) ++end;
      name = sql.substr(start, end - start);
    }
    if (params) params->CreateParam(ftUnknown, name, ptUnknown);
    out += '?';
    i = end;
  }
  return out;
}

// ============================================================================
// Master data link
// ============================================================================

void TttQueryDataLink::ActiveChanged() {
  if (query_->Active()) query_->RefreshParams();
}

void TttQueryDataLink::RecordChanged(TField* field) {
  if (!field && query_->Active()) query_->RefreshParams();
}

void TttQueryDataLink::CheckBrowseMode() {
  if (query_->Active()) query_->CheckBrowseMode();
}

// ============================================================================
// Query
// ============================================================================

TttQuery::TttQuery(TComponent* owner)
    : TttDBDataset(owner),
      sql_(std::make_unique<TStringList>()),
      params_(std::make_unique<TttParams>(this)),
      dataLink_(std::make_unique<TttQueryDataLink>(this)) {
  sql_->OnChange = [this](TObject*) { QueryChanged(); };
}

TttQuery::~TttQuery() {
  Destroying();
  try {
    DisconnectFromDatabase();
  } catch (const Exception&) {
    // The statement is freed as far as the engine allows.
  }
  sql_->OnChange = nullptr;
  dataLink_->SetDataSource(nullptr);
}

void TttQuery::SetSQL(TStrings* sql) {
  if (sql_->Text() == sql->Text()) return;
  DisconnectFromDatabase();
  sql_->BeginUpdate();
  sql_->Assign(sql);
  sql_->EndUpdate();
}

void TttQuery::QueryChanged() {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) {
    sqlText_ = ScanQueryParams(sql_->Text(), nullptr);
    return;
  }
  DisconnectFromDatabase();
  sqlBinary_.clear();
  sqlText_ = sql_->Text();
  if (paramCheck_ || ComponentState().Contains(csDesigning)) {
    auto fresh = std::make_unique<TttParams>(this);
    sqlText_ = ScanQueryParams(sqlText_, fresh.get());
    fresh->AssignValues(params_.get());
    params_ = std::move(fresh);
  }
  BroadcastDataEvent(dePropertyChange, 0);
}

void TttQuery::SetDataSource(TDataSource* source) {
  if (source && IsLinkedTo(source)) DatabaseError(dbtext::CircularDataLink, this);
  dataLink_->SetDataSource(source);
}

void TttQuery::DisconnectFromDatabase() {
  Close();
  SetPrepared(false);
  SetDatabaseUseFlag(duPrepared, false);
}

void TttQuery::SetDatabaseUseFlag(TDatabaseUse flag, bool value) {
  bool wasHeld = Database() != nullptr;
  if (!value && DatabaseUse(flag) && flag != duPrepared) {
    bool last = true;
    for (TDatabaseUse other : {duOpen, duPrepared, duFieldList, duIndexList})
      if (other != flag && DatabaseUse(other)) last = false;
    if (last && prepared_) SetPrepared(false);
  }
  TttDBDataset::SetDatabaseUseFlag(flag, value);
  if (!wasHeld && Database() && !ComponentState().Contains(csDesigning)) local_ = !Database()->IsSQLBased();
}

void TttQuery::SetPrepared(bool value) {
  if (HasOpenCursor()) DatabaseError(dbtext::DataSetOpen, this);
  if (value == prepared_) return;
  if (value) {
    rowsAffected_ = -1;
    checkRowsAffected_ = true;
    if (StatementSource().size() < 2) DatabaseError(MissingSourceText(), this);
    SetDatabaseUseFlag(duPrepared, true);
    try {
      PrepareStatement();
    } catch (...) {
      SetDatabaseUseFlag(duPrepared, false);
      throw;
    }
    prepared_ = true;
  } else {
    FreeStatement();
    prepared_ = false;
  }
}

void TttQuery::PrepareStatement() {
  Check(Engine()->AllocateStatement(DBHandle(), kSqlLanguage, statement_));
  try {
    bool forcedCallback = CachedUpdates() && (OnUpdateRecord || UpdateObject());
    Check(Engine()->SetProperty(statement_, kLivenessProperty, requestLive_ && !forcedCallback ? 1 : 2));
    if (local_) {
      Check(Engine()->SetProperty(statement_, kAuxTablesProperty, 0));
      if (requestLive_ && constrained_) Check(Engine()->SetProperty(statement_, kConstrainedProperty, 1));
    }
    Check(Engine()->SetProperty(statement_, kPrepareFlagProperty, 1));
    while (CheckOpen(Engine()->PrepareStatement(statement_, sqlText_.c_str()))) {
    }
  } catch (...) {
    Engine()->FreeStatement(statement_);
    statement_ = nullptr;
    throw;
  }
  if (!local_) Check(Engine()->SetProperty(statement_, kUniDirectionalProperty, uniDirectional_ ? 1 : 0));
}

int TttQuery::RowsAffected() const {
  if (!prepared_ || !statement_ || !Engine()) return rowsAffected_;
  std::int32_t count = -1;
  std::uint16_t length = 0;
  if (Engine()->GetProperty(statement_, kStatementRowCountProperty, &count, sizeof count, length) != 0 ||
      length != sizeof count)
    return -1;
  return count;
}

void TttQuery::FreeStatement() {
  if (!statement_) return;
  if (checkRowsAffected_) rowsAffected_ = RowsAffected();
  TVirtEng* engine = Engine();
  DBIResult code = engine ? engine->FreeStatement(statement_) : 0;
  statement_ = nullptr;
  if (!ComponentState().Contains(csDestroying)) Check(code);
}

void TttQuery::SetParamsFromSource() {
  TDataSet* master = dataLink_->DataSet();
  if (!master) return;
  master->FieldDefs().Update();
  for (int i = 0; i < params_->Count(); ++i) {
    TParam* param = params_->TParams::Items(i);
    if (param->Bound()) continue;
    if (TField* field = master->FindField(param->Name())) {
      param->AssignField(field);
      param->SetBound(false);
    }
  }
}

TttQuery::TParamImage TttQuery::ParamImage() {
  const int count = params_->Count();
  TParamImage image;
  image.descs.resize(static_cast<std::size_t>(count));
  image.texts.reserve(std::size_t(count));  // the pointer slots point into it: no reallocation
  std::vector<std::uint8_t>& values = image.values;
  std::vector<int> nullParams;
  for (int i = 0; i < count; ++i) {
    TParam* param = params_->TParams::Items(i);
    TFieldDesc& d = image.descs[std::size_t(i)];
    std::memset(&d, 0, sizeof d);
    d.FieldNumber = std::uint16_t(i + 1);
    d.FieldType = LogicalFieldType(param->DataType());
    if (d.FieldType == 0) DatabaseErrorFmt(querytext::NoParameterValue, {param->Name()}, this);
    d.SubType = BlobSubType(param->DataType());
    d.Offset = std::uint16_t(values.size());
    std::string text = param->IsNull() ? std::string() : param->AsString();
    bool viaPointer = d.FieldType == fldtype::Blob || (d.FieldType == fldtype::ZString && text.size() > 255);
    if (d.FieldType == fldtype::ZString) d.Units1 = std::int16_t(std::min<std::size_t>(text.size(), 32767));
    if (viaPointer) {
      image.texts.push_back(text);
      std::uint8_t slot[kPointerSlot] = {};
      const char* address = image.texts.back().data();
      std::memcpy(slot, &address, sizeof address);
      auto length = std::uint32_t(image.texts.back().size());
      std::memcpy(slot + sizeof address, &length, sizeof length);
      values.insert(values.end(), slot, slot + kPointerSlot);
      d.Length = std::uint16_t(kPointerSlot);
    } else {
      int size = CheckedDataSize(param);
      std::size_t at = values.size();
      values.resize(at + std::size_t(size), 0);
      if (!param->IsNull() && size > 0) param->GetData(values.data() + at);
      d.Length = std::uint16_t(size);
    }
    if (param->IsNull()) nullParams.push_back(i);
  }
  // One null indicator (-1) at the end serves every null parameter.
  auto nullOffset = std::uint16_t(values.size());
  values.push_back(0xFF);
  values.push_back(0xFF);
  for (int i : nullParams) image.descs[std::size_t(i)].StatusOffset = nullOffset;
  return image;
}

void TttQuery::BindParams() {
  TParamImage image = ParamImage();
  Check(Engine()->BindParameters(statement_, std::uint16_t(image.descs.size()), image.descs.data(),
                                 image.values.data()));
}

TBaseTable* TttQuery::OpenCursorHandle() {
  if (StatementSource().empty()) DatabaseError(MissingSourceText(), this);
  SetPrepared(true);
  if (DataSource()) SetParamsFromSource();
  if (params_->Count() > 0) BindParams();
  TBaseTable* cursor = nullptr;
  Check(Engine()->ExecuteStatement(statement_, &cursor));
  checkRowsAffected_ = cursor == nullptr;
  return cursor;
}

void TttQuery::ExecSQL() {
  EnsureClosed();
  if (StatementSource().empty()) DatabaseError(MissingSourceText(), this);
  SetPrepared(true);
  if (DataSource()) SetParamsFromSource();
  if (params_->Count() > 0) BindParams();
  Check(Engine()->ExecuteStatement(statement_, nullptr));  // no result set is wanted
  checkRowsAffected_ = true;
}

void TttQuery::RefreshParams() {
  DisableControls();
  try {
    TDataSet* master = dataLink_->DataSet();
    if (master && master->Active() && master->State() != dsSetKey) {
      Close();
      Open();
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TttQuery::DefineProperties(TFiler* filer) {
  TttDBDataset::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "Data", [this](TStream* stream) { params_->ReadBinaryData(stream); },
      [this](TStream* stream) { params_->WriteBinaryData(stream); }, params_->Count() > 0);
}
