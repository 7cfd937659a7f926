// The library table's keys, indexes and ranges, used by the search and lookup
// controls and the filter dialog, and the import of the pictures a Paradox
// table defines for its fields.

#include <algorithm>
#include <cstring>

#include "datactrls/wwdbroutines.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "dbengine/virteng.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/fielddefs.h"

namespace {

// The index definitions of a table, read from the engine when out of date.
TIndexDefs& CurrentIndexDefs(TwwTable* table) {
  table->IndexDefs().Update();
  return table->IndexDefs();
}

// Case-sensitive indexes are those without the case-insensitive option.
bool HasCaseSensitivity(const TIndexDef* index, bool caseSensitive) {
  return index->Options().Contains(ixCaseInsensitive) != caseSensitive;
}

// A key that is these fields (exact) or begins with them.
bool KeyMatches(const std::string& key, const std::string& fields, bool exact) {
  if (exact) return AnsiSameText(key, fields);
  return key.size() > fields.size() && key[fields.size()] == ';' &&
         AnsiSameText(std::string_view(key).substr(0, fields.size()), fields);
}

}  // namespace

std::string TwwTable::FindIndexForFields(const std::string& fields, bool caseSensitive) {
  if (fields.empty()) return "?";
  TIndexDefs& defs = CurrentIndexDefs(this);
  for (bool exact : {true, false}) {
    for (int i = 0; i < defs.Count(); ++i) {
      const TIndexDef* index = defs[i];
      if (index->Options().Contains(ixExpression) || !HasCaseSensitivity(index, caseSensitive)) continue;
      if (KeyMatches(index->Fields(), fields, exact)) return index->Name();
    }
  }
  return "?";
}

std::string TwwTable::GetIndexFieldList() {
  if (!Active() || IndexFieldCount() == 0) return {};
  return IndexFields(0)->FieldName();
}

bool TwwTable::FieldsMapToIndex(const std::string& fields) {
  if (!Active() || fields.empty()) return false;
  std::vector<std::string> names = wwSplitPieces(fields, ";");
  if (int(names.size()) > IndexFieldCount()) return false;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!AnsiSameText(IndexFields(int(i))->FieldName(), names[i])) return false;
  return true;
}

bool TwwTable::IsDifferentIndex(const std::string& indexName) {
  return !AnsiSameText(indexName, IndexName());
}

void TwwTable::SetIndexKeepPosition(const std::string& indexName) {
  if (!IsDifferentIndex(indexName)) return;
  TIndexDefs& defs = CurrentIndexDefs(this);
  int found = defs.IndexOf(indexName);
  if (found < 0) return SetIndexName(indexName);  // the class library reports it
  wwSetIndexKeepPosition(this, defs[found]);
}

void TwwTable::SetRangeStartKey(const std::vector<Variant>& keys) {
  CheckBrowseMode();
  SetKeyFields(kiRangeStart, keys);
  SetKeyFields(kiRangeEnd, {});  // no end: every key from the start on
  ApplyRange();
}

// The class library's CancelRange already re-reads the records around the
// current one; posting a pending edit first is its rule too.
void TwwTable::CancelRangeKeepState() {
  if (Active()) CancelRange();
}

// ---- pictures of the table's own validity checks ------------------------------

namespace {

// The check list's rows start with the checked field's number (16 bits, as
// the engine's own reader of required flags takes it); the picture is the
// zero-terminated text of the column named "PICTURE". A list without that
// column defines no pictures.
constexpr const char* kPictureColumn = "PICTURE";

std::map<int, std::string> ReadPictures(TVirtEng* engine, TBaseTable* checks) {
  std::map<int, std::string> pictures;
  TCursorProps props{};
  if (engine->GetCursorProperties(checks, props) != 0 || props.FieldCount == 0) return pictures;
  std::vector<TFieldDesc> descs(props.FieldCount);
  if (engine->GetFieldDescriptors(checks, descs.data()) != 0) return pictures;
  auto column = std::find_if(descs.begin(), descs.end(), [](const TFieldDesc& d) {
    return AnsiSameText(std::string(d.Name, strnlen(d.Name, sizeof d.Name)), kPictureColumn);
  });
  if (column == descs.end()) return pictures;
  std::vector<std::uint8_t> row(std::max<std::size_t>(props.RecordBufferSize, sizeof(std::uint16_t)));
  // A descriptor that reaches past the row is the engine's fault, not a picture.
  if (std::size_t(column->Offset) + column->Length > row.size()) return pictures;
  engine->SetToStart(checks);
  while (engine->GetNextRecord(checks, 0, row.data(), nullptr) == 0) {
    std::uint16_t fieldNo = 0;
    std::memcpy(&fieldNo, row.data(), sizeof fieldNo);
    const char* text = reinterpret_cast<const char*>(row.data() + column->Offset);
    std::string picture(text, strnlen(text, column->Length));
    if (fieldNo > 0 && !picture.empty()) pictures[fieldNo] = picture;
  }
  return pictures;
}

}  // namespace

TBaseTable* TwwTable::OpenValidityChecks() {
  TBaseTable* checks = nullptr;
  // An engine without check lists (the Access engine) answers "not supported".
  if (Engine()->OpenFieldCheckList(DBHandle(), TableName().c_str(), "PARADOX", checks) != 0) return nullptr;
  return checks;
}

std::string TwwTable::TablePicture(const std::string& fieldName) {
  if (!Active() || !IsParadoxTable()) return {};
  if (!tablePicturesRead_) {
    tablePicturesRead_ = true;
    if (TBaseTable* checks = OpenValidityChecks()) {
      try {
        tablePictures_ = ReadPictures(Engine(), checks);
      } catch (...) {
        Engine()->CloseCursor(checks);
        throw;
      }
      Engine()->CloseCursor(checks);
    }
  }
  TField* field = FindField(fieldName);
  auto picture = field ? tablePictures_.find(field->FieldNo()) : tablePictures_.end();
  return picture == tablePictures_.end() ? std::string() : picture->second;
}

void TwwTable::ImportTablePictures() {
  for (int i = 0; i < FieldCount(); ++i) {
    const std::string name = Fields()[i]->FieldName();
    const std::string picture = TablePicture(name);
    // The picture given replaces the mask; an entry's flags stay as they are.
    if (!picture.empty()) wwSetPictureMask(this, name, picture, true, true, true, false, false);
  }
}
