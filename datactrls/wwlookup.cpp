#include "datactrls/wwlookup.h"

#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/list.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

std::function<TDataSet*(TDataSet* owner)> wwLookupTableFactory = [](TDataSet* owner) {
  TClass cls = GetClass("TwwTable");
  return cls ? dynamic_cast<TDataSet*>(cls->Create(owner)) : nullptr;
};

std::function<void(TDataSet* dataSet, const std::string& message)> wwLookupFailureHandler;

namespace {

std::string TextBeforeDot(const std::string& s) { return s.substr(0, s.find('.')); }

// One LookupFields entry, read.
struct LookupDefinition {
  std::vector<std::string> pieces;
  bool Valid() const { return pieces.size() >= 5; }
  const std::string& FieldName() const { return pieces[0]; }
  const std::string& DatabaseName() const { return pieces[1]; }
  const std::string& ResultField() const { return pieces[3]; }
  // With six pieces or more and a last piece "N", the table name stops at its first ".".
  std::string TableName() const {
    return pieces.size() >= 6 && pieces.back() == "N" ? TextBeforeDot(pieces[2]) : pieces[2];
  }
  bool ByIndexFields() const { return pieces.size() > 5; }
  // Pieces 5 to Count-2 joined by ";"; with exactly six pieces, piece 5 alone.
  std::string IndexFields() const {
    if (pieces.size() == 6) return pieces[5];
    std::string fields;
    for (std::size_t i = 5; i + 1 < pieces.size(); ++i) fields += (i > 5 ? ";" : "") + pieces[i];
    return fields;
  }
};

std::string StrPropOf(TObject* object, std::string_view name) {
  const TPropInfo* prop = GetPropInfo(object, name);
  return prop && prop->GetStr ? GetStrProp(object, prop) : std::string();
}

void SetStrPropOf(TObject* object, std::string_view name, const std::string& value) {
  const TPropInfo* prop = GetPropInfo(object, name);
  if (prop && prop->SetStr) SetStrProp(object, prop, value);
}

bool TableMatches(TDataSet* table, const LookupDefinition& definition) {
  return wwGetDatabaseName(table) == definition.DatabaseName() &&
         StrPropOf(table, "TableName") == definition.TableName();
}

IwwLookupTable* AsLookupTable(TDataSet* table) { return dynamic_cast<IwwLookupTable*>(table); }

TDataSet* TableAt(TList* tables, int i) { return static_cast<TDataSet*>(tables->Items(i)); }

// Reports a lookup table that could not be set up, once per dataset and entry.
// True when it had failed before (the entry is then not tried again).
bool FailedBefore(TDataSet* dataSet, const std::string& key) {
  auto* owner = dynamic_cast<IwwLookupTableOwner*>(dataSet);
  return owner && owner->FailedLookupTables.count(key) > 0;
}

void ReportFailure(TDataSet* dataSet, const std::string& key, const std::string& message) {
  auto* owner = dynamic_cast<IwwLookupTableOwner*>(dataSet);
  if (owner && !owner->FailedLookupTables.insert(key).second) return;
  if (wwLookupFailureHandler) wwLookupFailureHandler(dataSet, message);
}

// A new lookup table for the entry, open and read-only; nullptr when it cannot be
// set up (then it is freed and the failure reported).
TDataSet* CreateLookupTable(TDataSet* dataSet, const LookupDefinition& definition,
                            const std::string& key) {
  TDataSet* table = nullptr;
  try {
    table = wwLookupTableFactory ? wwLookupTableFactory(dataSet) : nullptr;
    if (!table) throw Exception("No lookup table can be created");
    SetStrPropOf(table, "DatabaseName", definition.DatabaseName());
    SetStrPropOf(table, "TableName", definition.TableName());
    if (definition.ByIndexFields()) {
      IwwLookupTable* lookup = AsLookupTable(table);
      if (lookup)
        SetStrPropOf(table, "IndexName", lookup->IndexNameForFields(definition.IndexFields()));
    } else {
      SetStrPropOf(table, "IndexName", definition.pieces[4]);
    }
    if (const TPropInfo* readOnly = GetPropInfo(table, "ReadOnly"); readOnly && readOnly->SetOrd)
      SetOrdProp(table, readOnly, 1);
    table->Open();
    return table;
  } catch (const Exception& e) {
    delete table;
    ReportFailure(dataSet, key,
                  "Lookup table " + definition.TableName() + " for " + definition.FieldName() +
                      " cannot be opened: " + e.Message());
    return nullptr;
  }
}

std::string TextOf(TDataSet* dataSet, const std::string& fieldName, bool& found) {
  TField* field = dataSet ? dataSet->FindField(fieldName) : nullptr;
  found = field != nullptr;
  return field ? field->Text() : std::string();
}

bool HasLocalFields(TDataSet* dataSet, const std::vector<std::string>& links) {
  for (std::size_t i = 0; i < links.size(); i += 2)
    if (!wwDataSetHasField(dataSet, links[i])) return false;
  return true;
}

void HideField(TDataSet* dataSet, const std::string& fieldName) {
  if (TField* field = dataSet->FindField(fieldName)) field->SetVisible(false);
}

// Keeps LookupSeeking set while the table is being positioned.
class SeekingScope {
 public:
  explicit SeekingScope(IwwLookupTable* table) : table_(table) {
    if (table_) table_->LookupSeeking = true;
  }
  ~SeekingScope() {
    if (table_) table_->LookupSeeking = false;
  }

 private:
  IwwLookupTable* table_;
};

}  // namespace

bool wwSeekLookupTable(TDataSet* table, TDataSet* dataSet, const std::vector<std::string>& links) {
  IwwLookupTable* lookup = AsLookupTable(table);
  if (!lookup || !dataSet) return false;
  if (lookup->IndexFieldCount() > 0) {
    const std::size_t n = links.size();
    if (n == 0 || n % 2 != 0 || n > 12) return false;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < n; i += 2) {
      bool found;
      values.push_back(TextOf(dataSet, links[i], found));
      if (!found) return false;
    }
    return lookup->VerifiedFindKey(values);
  }
  if (links.size() < 2) return false;
  bool found;
  std::string value = TextOf(dataSet, links[0], found);
  return found && lookup->LocateValue(links[1], value);
}

bool wwSeekLookupTableBy(TDataSet* table, const std::vector<std::string>& links,
                         const TwwFieldValueGetter& getValue) {
  IwwLookupTable* lookup = AsLookupTable(table);
  if (!lookup || !getValue || links.empty()) return false;
  std::vector<std::string> values;
  for (std::size_t i = 0; i < links.size(); i += 2) {
    TField* field = getValue(links[i]);
    if (!field) return false;
    values.push_back(field->Text());
  }
  return lookup->FindKey(values);
}

void wwCalcLookupFields(TDataSet* dataSet, TStrings* lookupFields, TStrings* lookupLinks,
                        TList* lookupTables) {
  if (!dataSet || !lookupFields || !lookupLinks || !lookupTables) return;
  for (int t = 0; t < lookupTables->Count(); ++t)
    if (IwwLookupTable* lookup = AsLookupTable(TableAt(lookupTables, t)))
      lookup->LookupPositioned = false;

  for (int i = 0; i < lookupFields->Count(); ++i) {
    LookupDefinition definition{wwSplitPieces(lookupFields->Strings(i), ";")};
    if (!definition.Valid()) continue;
    const std::string linkText = i < lookupLinks->Count() ? lookupLinks->Strings(i) : "";
    const std::string key =
        definition.DatabaseName() + ";" + definition.TableName() + ";" + linkText;

    TDataSet* table = nullptr;
    for (int t = 0; t < lookupTables->Count() && !table; ++t) {
      TDataSet* candidate = TableAt(lookupTables, t);
      IwwLookupTable* lookup = AsLookupTable(candidate);
      if (lookup && TableMatches(candidate, definition) &&
          AnsiSameText(lookup->LookupLinkKey, linkText))
        table = candidate;
    }
    if (!table) {
      if (FailedBefore(dataSet, key)) continue;
      table = CreateLookupTable(dataSet, definition, key);
      if (!table) continue;
      IwwLookupTable* lookup = AsLookupTable(table);
      if (!lookup) {
        delete table;
        ReportFailure(dataSet, key,
                      "Lookup table " + definition.TableName() + " cannot be positioned");
        continue;
      }
      lookup->LookupPositioned = false;
      lookup->LookupLinkKey = linkText;
      lookupTables->Add(table);
    } else if (!table->Active()) {
      try {
        table->Open();
      } catch (const Exception& e) {
        ReportFailure(
            dataSet, key,
            "Lookup table " + definition.TableName() + " cannot be opened: " + e.Message());
        continue;
      }
    }
    IwwLookupTable* lookup = AsLookupTable(table);

    const std::vector<std::string> links = wwSplitPieces(linkText, ";");
    if (!HasLocalFields(dataSet, links)) {
      HideField(dataSet, definition.FieldName());
      return;  // later entries are not computed in this pass
    }
    if (!lookup->LookupPositioned) {
      SeekingScope seeking(lookup);
      lookup->LookupFound = wwSeekLookupTable(table, dataSet, links);
    }
    TField* target = dataSet->FindField(definition.FieldName());
    if (target) {
      TField* source = table->FindField(definition.ResultField());
      if (lookup->LookupFound && source)
        target->SetText(source->IsBlob() ? source->AsString() : source->Text());
      else
        target->SetText("");
    }
    lookup->LookupPositioned = true;
  }
}

bool wwFindLookupValue(TField* field, std::string& keyValue, TField*& resultField) {
  keyValue.clear();
  resultField = nullptr;
  TDataSet* dataSet = field ? field->DataSet() : nullptr;
  TList* tables = wwGetLookupTableList(dataSet);
  if (!tables) return false;
  TwwLookupEntry entry = wwGetLookupEntry(field);
  for (int t = 0; t < tables->Count(); ++t) {
    TDataSet* table = TableAt(tables, t);
    IwwLookupTable* lookup = AsLookupTable(table);
    if (!lookup || wwGetDatabaseName(table) != entry.DatabaseName ||
        StrPropOf(table, "TableName") != entry.TableName ||
        !AnsiSameText(lookup->LookupLinkKey, entry.Links))
      continue;
    bool found;
    keyValue = TextOf(dataSet, wwSplitPieces(entry.Links, ";")[0], found);
    bool positioned = lookup->FindKey({keyValue});
    resultField = table->FindField(entry.ResultField);
    return positioned;
  }
  return false;
}

namespace {
bool lookupResultSeeking = false;  // set while wwGetLookupResultField seeks
}

TField* wwGetLookupResultField(TDataSet* dataSet, TField* field,
                               const TwwFieldValueGetter& getValue) {
  if (!dataSet || !field) return nullptr;
  if (field->FieldKind() == fkLookup) {
    std::vector<std::string> keys = wwSplitPieces(field->KeyFields(), ";");
    std::vector<std::string> lookupKeys = wwSplitPieces(field->LookupKeyFields(), ";");
    std::vector<std::string> links;
    for (std::size_t i = 0; i < keys.size() && i < lookupKeys.size(); ++i) {
      if (keys[i].empty() || lookupKeys[i].empty()) break;
      links.push_back(keys[i]);
      links.push_back(lookupKeys[i]);
    }
    TDataSet* table = field->LookupDataSet();
    if (!wwSeekLookupTableBy(table, links, getValue)) return nullptr;
    return table->FindField(field->LookupResultField());
  }
  if (field->FieldKind() != fkCalculated || lookupResultSeeking) return nullptr;

  TStrings* lookupFields = wwGetLookupFieldsList(dataSet);
  TStrings* lookupLinks = wwGetLookupLinksList(dataSet);
  TList* tables = wwGetLookupTableList(dataSet);
  if (!lookupFields || !lookupLinks || !tables) return nullptr;
  for (int i = 0; i < lookupFields->Count(); ++i) {
    LookupDefinition definition{wwSplitPieces(lookupFields->Strings(i), ";")};
    if (!definition.Valid() || !AnsiSameText(definition.FieldName(), field->FieldName())) continue;
    const std::string linkText = i < lookupLinks->Count() ? lookupLinks->Strings(i) : "";
    for (int t = 0; t < tables->Count(); ++t) {
      TDataSet* table = TableAt(tables, t);
      IwwLookupTable* lookup = AsLookupTable(table);
      if (!lookup || !TableMatches(table, definition) ||
          !AnsiSameText(lookup->LookupLinkKey, linkText))
        continue;
      lookupResultSeeking = true;
      bool found;
      try {
        found = wwSeekLookupTableBy(table, wwSplitPieces(linkText, ";"), getValue);
      } catch (...) {
        lookupResultSeeking = false;
        throw;
      }
      lookupResultSeeking = false;
      return found ? table->FindField(definition.ResultField()) : nullptr;
    }
    return nullptr;
  }
  return nullptr;
}

bool wwPositionLookupTable(TDataSet* dataSet, TDataSet* lookupTable, const std::string& fieldName,
                           std::string& firstLinkField) {
  firstLinkField.clear();
  IwwLookupTable* lookup = AsLookupTable(lookupTable);
  if (!dataSet || !lookup) return false;
  TStrings* lookupFields = wwGetLookupFieldsList(dataSet);
  TStrings* lookupLinks = wwGetLookupLinksList(dataSet);
  wwRemoveStaleFieldSettings(dataSet, lookupFields, lookupLinks, wwGetControlTypeList(dataSet));
  if (!lookupFields) return false;
  for (int i = 0; i < lookupFields->Count(); ++i) {
    LookupDefinition definition{wwSplitPieces(lookupFields->Strings(i), ";")};
    if (!definition.Valid() || !AnsiSameText(definition.FieldName(), fieldName)) continue;
    if (AnsiSameText(TextBeforeDot(StrPropOf(lookupTable, "TableName")), TextBeforeDot(definition.pieces[2]))) {
      if (definition.ByIndexFields())
        lookup->SetIndexFieldsForLookup(definition.IndexFields());
      else if (StrPropOf(lookupTable, "IndexName") != definition.pieces[4])
        SetStrPropOf(lookupTable, "IndexName", definition.pieces[4]);
    }
    const std::vector<std::string> links =
        wwSplitPieces(lookupLinks && i < lookupLinks->Count() ? lookupLinks->Strings(i) : "", ";");
    if (!HasLocalFields(dataSet, links)) {
      HideField(dataSet, definition.FieldName());
      return false;
    }
    firstLinkField = links[0];
    return wwSeekLookupTable(lookupTable, dataSet, links);
  }
  return false;
}
