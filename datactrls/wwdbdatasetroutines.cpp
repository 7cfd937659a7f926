// The library's searches over its own table: incremental search by the
// table's key, locate unless the record already holds the value, and the
// small tests the search controls ask of a dataset.

#include <vector>

#include "datactrls/wwdbroutines.h"
#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

// The library's table, whose search nesting is raised while it searches.
class TSearchScope {
 public:
  explicit TSearchScope(TDataSet* dataSet) : table_(dynamic_cast<TwwTable*>(dataSet)) {
    if (table_) table_->EnterSearch();
  }
  ~TSearchScope() {
    if (table_) table_->LeaveSearch();
  }
  TSearchScope(const TSearchScope&) = delete;
  TSearchScope& operator=(const TSearchScope&) = delete;

 private:
  TwwTable* table_;
};

// Keys whose typed text must be a value of their type: a number, a date or a time.
bool IsTypedKey(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
    case ftFloat: case ftCurrency: case ftBCD:
    case ftDate: case ftTime: case ftDateTime:
      return true;
    default:
      return false;
  }
}

// Key values go as far as the fourth index field: the fields before the typed
// one keep the current record's texts.
constexpr int kMaxKeyIndex = 3;

std::vector<Variant> KeyValues(TwwTable* table, const std::string& text, int keyIndex) {
  std::vector<Variant> values;
  for (int i = 0; i < keyIndex; ++i) values.emplace_back(table->IndexFields(i)->Text());
  values.emplace_back(text);
  return values;
}

const TIndexDef* NamedIndex(TwwTable* table) {
  if (table->IndexName().empty()) return nullptr;
  table->IndexDefs().Update();
  int found = table->IndexDefs().IndexOf(table->IndexName());
  return found < 0 ? nullptr : table->IndexDefs()[found];
}

bool NamedIndexHas(TwwTable* table, TIndexOption option) {
  const TIndexDef* index = NamedIndex(table);
  return index != nullptr && index->Options().Contains(option);
}

// Keys that begin with the text.
void NarrowToTextKeys(TwwTable* table, const std::string& text) {
  const Variant end(wwRangeEndOfStart(text, table->NarrowSearchUpperChar, table->IndexFields(0)->Size()));
  if (NamedIndexHas(table, ixDescending))
    table->SetRange({end}, {Variant(text)});
  else
    table->SetRange({Variant(text)}, {end});
}

void NarrowSearch(TwwTable* table, TField* key, const std::string& text) {
  TwwBusyScope busy(table);
  if (text.empty()) table->CancelRangeKeepState();
  else if (IsTypedKey(key->DataType())) table->SetRangeStartKey({Variant(text)});
  else NarrowToTextKeys(table, text);
}

void SyncRange(TwwTable* table, const std::string& text, int keyIndex) {
  TwwBusyScope busy(table);
  if (text.empty()) table->CancelRangeKeepState();
  else if (keyIndex <= kMaxKeyIndex) table->SetRangeStartKey(KeyValues(table, text, keyIndex));
}

void LocateKey(TwwTable* table, TField* key, const std::string& text, int keyIndex) {
  if (text.empty()) return table->First();
  TLocateOptions options{loPartialKey};
  if (NamedIndexHas(table, ixCaseInsensitive)) options.Include(loCaseInsensitive);
  if (keyIndex == 0) {
    table->Locate(key->FieldName(), Variant(text), options);
    return;
  }
  std::string names;
  for (int i = 0; i <= keyIndex; ++i) names += (i ? ";" : "") + table->IndexFields(i)->FieldName();
  table->Locate(names, VarArrayOf(KeyValues(table, text, keyIndex)), options);
}

// Whether the record reached holds the text in its key field.
bool KeyHoldsText(TField* key, const std::string& text) {
  const TFieldType type = key->DataType();
  if (type == ftFloat || type == ftCurrency) {
    if (text.empty()) return key->Text().empty();
    double number = 0;
    return TryStrToFloat(text, number) && !key->IsNull() && key->AsFloat() == number;
  }
  if (wwIsNumericType(type)) return key->Text() == text;
  const std::string held = key->Text();
  return AnsiStartsText(text, held);
}

bool SearchTable(TwwTable* table, const std::string& text, int keyIndex) {
  if (table->IndexFieldCount() == 0) {
    MessageDlg("Table " + table->Name() + ": Table index not found", mtWarning, {mbOK}, 0);
    return false;
  }
  // A key field past the index's is the key search's misuse: warned of as there.
  if (keyIndex < 0 || !table->CheckKeyCount(std::size_t(keyIndex) + 1)) return false;
  TField* key = table->IndexFields(keyIndex);
  if (IsTypedKey(key->DataType()) && !wwIsValidTypeText(key->DataType(), text)) return false;
  const bool sqlBased = table->Database() != nullptr && table->Database()->IsSQLBased();
  if (table->NarrowSearch)
    NarrowSearch(table, key, text);
  else if (sqlBased && table->SyncSQLByRange && table->MasterSource() == nullptr)
    SyncRange(table, text, keyIndex);
  else if (wwGlobalIntl()->UseLocateMethodForSearch)
    LocateKey(table, key, text, keyIndex);
  else if (keyIndex <= kMaxKeyIndex)
    table->FindNearest(KeyValues(table, text, keyIndex));
  return KeyHoldsText(key, text);
}

TwwTable* LibraryTableOf(TDataSet* dataSet) { return dynamic_cast<TwwTable*>(dataSet); }

}  // namespace

bool wwIncrementalSearch(TDataSet* dataSet, const std::string& text, int keyIndex) {
  if (dataSet == nullptr || !wwInheritsFromName(dataSet, "TTable")) return false;
  auto* table = dynamic_cast<TwwTable*>(dataSet);
  if (table == nullptr) {
    MessageDlg("Incremental Search - TTable component not supported. Use TwwTable instead.", mtWarning, {mbOK}, 0);
    return false;
  }
  TSearchScope searching(table);
  return SearchTable(table, text, keyIndex);
}

bool wwLocateIfDifferent(TDataSet* dataSet, const std::string& value, const std::string& fieldName,
                         TwwLocateMatchType matchOption, bool caseSensitive) {
  TField* field = dataSet->FindField(fieldName);
  if (field != nullptr) {
    const std::string held = field->Text();
    if (caseSensitive ? held == value : AnsiSameText(held, value)) return true;
  }
  TSearchScope searching(dataSet);
  return wwLocateValue(true, dataSet, fieldName, value, matchOption, caseSensitive);
}

bool wwIsIndexedTable(TDataSet* dataSet) {
  TwwTable* table = LibraryTableOf(dataSet);
  return table != nullptr && table->IndexFieldCount() > 0;
}

bool wwHasQueryText(TDataSet* dataSet) {
  TwwTable* table = LibraryTableOf(dataSet);
  return table != nullptr && table->Query()->Count() > 0;
}
