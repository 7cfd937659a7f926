#include "datactrls/wwtable.h"

#include "datactrls/wwdbroutines.h"
#include "datactrls/wwfieldcheck.h"

#include "dbengine/accessblob.h"
#include "dbengine/qbesql.h"
#include "dbengine/virteng.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/dialogs/dialogs.h"

IMPLEMENT_CLASS(TwwTable, TTable)
IMPLEMENT_CLASS(TwwQuery, TQuery)
IMPLEMENT_CLASS(TwwStoredProc, TStoredProc)
IMPLEMENT_CLASS(TwwDataSource, TDataSource)

PUBLISHED(TwwTable) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PublishTableProperties(P);
  PublishLibrarySettings(P);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true).AlwaysStored();
  PROP_OBJ(wwFilter, wwFilter, SetwwFilter);
  PROP_OBJ(Query, Query, SetQuery);
  PROP_BOOL(SyncSQLByRange, SyncSQLByRange, SyncSQLByRange, false);
  PROP_BOOL(NarrowSearch, NarrowSearch, NarrowSearch, false);
  PROP_INT(NarrowSearchUpperChar, NarrowSearchUpperChar, NarrowSearchUpperChar, 255);
}
PUBLISHED(TwwQuery) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PublishQueryProperties(P);
  PublishLibrarySettings(P);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true).AlwaysStored();
}
PUBLISHED(TwwStoredProc) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PROP_STR(StoredProcName, StoredProcName, SetStoredProcName, "");
  PublishLibrarySettings(P);
  PROP_BOOL(ValidateWithMask, ValidateWithMask, ValidateWithMask, true).AlwaysStored();
}
PUBLISHED(TwwDataSource) {}

void wwShowFilterWarning(const std::string& text) { MessageDlg(text, mtWarning, {mbOK}, 0); }

namespace {
constexpr std::uint16_t kSqlLanguage = 2;
bool IsSecurityCode(DBIResult code) { return code >= 0x2901 && code <= 0x2903; }
}  // namespace

DBIResult wwRunStatementText(TttDBDataset* dataSet, std::uint16_t language, const std::string& text,
                             bool auxiliaryTables, bool blankAsZero, TBaseTable*& cursor,
                             const std::function<void(TSqlStmt*)>& afterRun) {
  TVirtEng* engine = dataSet->Engine();
  TSqlStmt* statement = nullptr;
  EngineCheck(engine, engine->AllocateStatement(dataSet->DBHandle(), language, statement));
  DBIResult code = dberr::None;
  if (language == kQbeLanguage) {
    code = engine->SetProperty(statement, kQbeAuxTablesProperty, auxiliaryTables ? 1 : 0);
    if (code == dberr::None && blankAsZero) code = engine->SetProperty(statement, kQbeBlankAsZeroProperty, 1);
  }
  if (code == dberr::None) code = engine->PrepareStatement(statement, text.c_str());
  if (code == dberr::None) code = engine->ExecuteStatement(statement, &cursor);
  // The error is raised (with the engine's account of its cause) before the
  // statement goes, and the statement goes all the same.
  try {
    if (!IsSecurityCode(code)) EngineCheck(engine, code);
    if (code == dberr::None && cursor && afterRun) afterRun(statement);
  } catch (...) {
    if (cursor) engine->CloseCursor(cursor);  // nobody takes it over now
    cursor = nullptr;
    engine->FreeStatement(statement);
    throw;
  }
  engine->FreeStatement(statement);
  return code;
}

Variant wwReadFilterBlob(TttBDEDataset* dataSet, TField* field, std::uint8_t* record) {
  TVirtEng* engine = dataSet->Engine();
  TBaseTable* cursor = dataSet->Handle();
  const auto fieldNo = std::uint16_t(field->FieldNo());
  EngineCheck(engine, engine->OpenBlob(cursor, record, fieldNo, kBlobReadOnly));
  std::uint32_t size = 0;
  std::string text;
  DBIResult code = engine->GetBlobSize(cursor, record, fieldNo, size);
  if (code == dberr::None && size > 0) {
    text.resize(size);
    std::uint32_t read = 0;
    code = engine->ReadBlob(cursor, record, fieldNo, 0, size, text.data(), read);
    if (code == dberr::EndOfBlob) code = dberr::None;  // the engine's "all of it was read"
    text.resize(read);
  }
  engine->FreeBlob(cursor, record, fieldNo);
  EngineCheck(engine, code);
  return text.empty() ? Variant() : Variant(text);
}

std::uint16_t wwQueryTextLanguage(TStrings* lines) {
  std::string first = lines->Count() > 0 ? (*lines)[0] : std::string();
  first = first.substr(0, first.find(' '));
  return AnsiSameText(first, "query") ? kQbeLanguage : kSqlLanguage;
}

// ---- table -------------------------------------------------------------------

TwwTable::TwwTable(TComponent* owner) : TwwLibrarySettings(owner) {}

std::string TwwTable::JoinedFilter() const {
  std::string joined;
  for (int i = 0; i < wwFilter_->Count(); ++i) {
    std::string line = (*wwFilter_)[i];
    line.erase(line.find_last_not_of(" \t") + 1);
    if (line.empty()) continue;
    joined += joined.empty() ? line : " AND (" + line + ")";
  }
  return joined;
}

bool TwwTable::InstallFilters(bool force) {
  TwwCursorFilterEngine engine(Handle());
  // A text that does not compile keeps the installed filter and its handle.
  bool installed = wwApplyFilterExpression(JoinedFilter(), this, engine, exprHandle_, force);
  if (OnFilter() && Handle()) InstallCallback();
  return installed;
}

void TwwTable::SetwwFilter(TStrings* lines) {
  wwFilter_->Assign(lines);
  if (Active() && !InstallFilters(false)) wwShowFilterWarning(kwwFailToSetFilter);
}

bool TwwTable::HasStableRecordNumbers() {
  return JoinedFilter().empty() && TwwLibrarySettings::HasStableRecordNumbers();
}

void TwwTable::PrepareOpenedCursor() {
  TwwLibrarySettings::PrepareOpenedCursor();
  if (!JoinedFilter().empty() || OnFilter()) InstallFilters(true);
}

bool TwwTable::CheckKeyCount(std::size_t count) {
  const std::string prefix = "Table " + TableName() + ": ";
  if (int(count) > IndexFieldCount()) {
    wwShowFilterWarning(prefix + "FindKey has too many lookup values for index " + IndexName());
    return false;
  }
  if (IndexFieldCount() == 0) {
    wwShowFilterWarning(prefix + "Table index not found");
    return false;
  }
  return true;
}

bool TwwTable::VerifiedFindKey(const std::vector<std::string>& values) {
  if (!CheckKeyCount(values.size())) return false;
  auto holdsKey = [&] {
    if (IsEmpty()) return false;
    for (std::size_t i = 0; i < values.size(); ++i)
      if (!AnsiSameText(IndexFields(int(i))->Text(), values[i])) return false;
    return true;
  };
  return holdsKey() || (FindKey(values) && holdsKey());
}

// A text that is no value of its field (an empty number, a date of letters)
// is in no record: the search finds nothing rather than failing to convert it.
bool TwwTable::FindKey(const std::vector<std::string>& values) {
  for (std::size_t i = 0; i < values.size() && int(i) < IndexFieldCount(); ++i)
    if (!wwIsValidFieldInput(IndexFields(int(i)), values[i])) return false;
  std::vector<Variant> keys(values.begin(), values.end());
  return TTable::FindKey(keys);
}

bool TwwTable::LocateValue(const std::string& fieldName, const std::string& value) {
  if (TField* field = FindField(fieldName); field && !wwIsValidFieldInput(field, value)) return false;
  return Locate(fieldName, Variant(value), {});
}

std::string TwwTable::IndexNameForFields(const std::string& fieldNames) {
  IndexDefs().Update();
  TIndexDef* index = IndexDefs().GetIndexForFields(fieldNames, false);
  return index ? index->Name() : std::string();
}

void TwwTable::SetIndexFieldsForLookup(const std::string& fieldNames) {
  SetIndexName(IndexNameForFields(fieldNames));
}

bool TwwTable::SelectIndexForSearch(TStrings* fieldList) {
  if (query_->Count() > 0 || !fieldList || fieldList->Count() == 0) return false;
  const std::string first = (*fieldList)[0];
  const std::string field = first.substr(0, first.find('\t'));
  if (!IndexFieldNames().empty()) {
    if (AnsiSameText(IndexFieldNames(), field)) return false;
    SetIndexFieldNames(field);
    return true;
  }
  const std::string index = IndexNameForFields(field);
  if (index.empty() || AnsiSameText(index, IndexName())) return false;
  SetIndexName(index);
  return true;
}

namespace {
bool HasExtension(const std::string& name, std::string_view extension) {
  return name.size() >= extension.size() &&
         AnsiSameText(std::string_view(name).substr(name.size() - extension.size()), extension);
}
}  // namespace

bool TwwTable::IsDBaseTable() const {
  return TableType() == ttDBase || (TableType() == ttDefault && HasExtension(TableName(), ".dbf"));
}

bool TwwTable::IsParadoxTable() const {
  return TableType() == ttParadox || (TableType() == ttDefault && HasExtension(TableName(), ".db"));
}

void TwwTable::SetQuery(TStrings* lines) {
  Close();
  if (lines && lines->Count() > 0) {
    TTable::SetTableName("");
    SetIndexFieldNames("");
    SetMasterSource(nullptr);
    SetMasterFields("");
  }
  query_->Assign(lines);
}

void TwwTable::SetTableName(const std::string& name) {
  if (!name.empty()) query_->Clear();
  TTable::SetTableName(name);
}

TBaseTable* TwwTable::OpenCursorHandle() {
  if (query_->Count() == 0) return TwwLibrarySettings::OpenCursorHandle();
  // The example statement leaves out auxiliary tables and counts blanks as zero.
  TBaseTable* cursor = nullptr;
  DBIResult code = wwRunStatementText(this, wwQueryTextLanguage(query_.get()), wwStringsToText(query_.get(), false),
                                      false, true, cursor);
  EngineCheck(Engine(), code);
  return cursor;
}

// The table's own way reads its name's field list, which a query text has
// not: the text is run for field information and closed again.
void TwwTable::PrepareFieldDefs() {
  if (query_->Count() == 0) return TwwLibrarySettings::PrepareFieldDefs();
  TDataSet::PrepareFieldDefs();
}

void TwwTable::CloseCursorHandle() {
  exprHandle_ = nullptr;  // the engine drops the filters with the cursor
  tablePictures_.clear();  // another open may find other checks
  tablePicturesRead_ = false;
  TwwLibrarySettings::CloseCursorHandle();
}

// ---- query -------------------------------------------------------------------

void TwwQuery::OpenCursorAndFields(bool infoOnly) {
  TwwLibrarySettings::OpenCursorAndFields(infoOnly);
  wwPrepareAnswerTable(this, StmtHandle(), "");
}
