#include "datactrls/edits/wwlkroutines.h"

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwdbroutines.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwlookup.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "dbengine/ttdataset.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {
bool IsLibraryTable(TDataSet* table) { return table && table->InheritsFrom("TwwTable"); }

}  // namespace

bool wwIsLookupTableIndexed(TDataSet* table) {
  auto* lookup = dynamic_cast<IwwLookupTable*>(table);
  return IsLibraryTable(table) && lookup && lookup->IndexFieldCount() > 0;
}

bool wwLookupRecordSearch(TDataSet* table, const std::string& value, const std::string& fieldName,
                          bool caseSensitive, bool partial) {
  const TwwLocateMatchType match = partial ? mtPartialMatchStart : mtExactMatch;
  if (IsLibraryTable(table)) return wwLocateIfDifferent(table, value, fieldName, match, caseSensitive);
  TField* field = table->FindField(fieldName);
  if (!field) return false;
  if (field->Text() == value) return true;
  std::string wanted = value;
  // A longer text could never be stored: the field's own part is searched.
  if (field->DataType() == ftString && field->Size() > 0 && Utf8Length(wanted) > std::size_t(field->Size()))
    wanted = Utf8Copy(wanted, 1, field->Size());
  if (wanted.empty() || !wwIsValidFieldInput(field, wanted)) return false;
  if (wwGlobalIntl()->UseLocateMethodForSearch && !wwIsCalcOrLookup(field)) {
    TwwWaitCursor wait;
    TLocateOptions options;
    if (partial) options.Include(loPartialKey);
    if (!caseSensitive) options.Include(loCaseInsensitive);
    // The index on the field finds the name typed, whatever order the table
    // shows (the window's tables of names are opened on none).
    if (auto* engineTable = dynamic_cast<TttBDEDataset*>(table))
      return engineTable->LocateInKeyOrder(fieldName, Variant(wanted), options);
    return table->Locate(fieldName, Variant(wanted), options);
  }
  return wwLocateIfDifferent(table, wanted, fieldName, match, caseSensitive);
}

bool wwLookupFindKey(TDataSet* table, const std::string& fieldNames, const std::vector<std::string>& values) {
  if (auto* lookup = dynamic_cast<IwwLookupTable*>(table); lookup && wwIsLookupTableIndexed(table))
    return lookup->FindKey(values);
  std::vector<Variant> keys(values.begin(), values.end());
  return table->Locate(fieldNames, keys.size() == 1 ? keys[0] : VarArrayOf(keys), {});
}

bool wwHasMasterFields(TDataSet* table) {
  return table && IsPublishedProp(table, "MasterFields") && !GetStrProp(table, "MasterFields").empty();
}

int wwLookupIndexPosition(TwwTable* table, const std::string& fieldName) {
  for (int i = 0; table && i < table->IndexFieldCount(); ++i)
    if (SameText(table->IndexFields(i)->FieldName(), fieldName)) return i;
  return -1;
}

bool wwLookupValueSearch(TDataSet* table, const std::string& value, const std::string& fieldName,
                         bool caseSensitive, bool partial) {
  auto* library = dynamic_cast<TwwTable*>(table);
  if (library && wwHasMasterFields(table)) {
    // A detail's index leads with its master fields, whose values the range
    // already holds: the seek goes on the field right after them.
    const int m = int(wwSplitPieces(GetStrProp(table, "MasterFields"), ";").size());
    if (wwLookupIndexPosition(library, fieldName) == m) return wwIncrementalSearch(table, value, m);
    return wwLocateIfDifferent(table, value, fieldName, partial ? mtPartialMatchStart : mtExactMatch, caseSensitive);
  }
  TField* field = table->FindField(fieldName);
  if (!partial && field && SameText(field->Text(), value)) return true;
  const int k = wwLookupIndexPosition(library, fieldName);
  if (k < 0) return wwLookupRecordSearch(table, value, fieldName, caseSensitive, partial);
  return wwIncrementalSearch(table, value, k);
}
