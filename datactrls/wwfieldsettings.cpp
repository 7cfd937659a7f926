#include "datactrls/wwfieldsettings.h"

#include "datactrls/wwstr.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/list.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {

const TPropInfo* Published(TObject* object, std::string_view name, TTypeKind kind) {
  if (!object) return nullptr;
  const TPropInfo* prop = GetPropInfo(object, name);
  return prop && prop->Kind == kind && prop->IsReadable() ? prop : nullptr;
}

TStrings* ListProp(TObject* dataSet, std::string_view name) {
  const TPropInfo* prop = Published(dataSet, name, tkClass);
  return prop ? dynamic_cast<TStrings*>(GetObjectProp(dataSet, prop)) : nullptr;
}

std::string PieceOrEmpty(const std::vector<std::string>& pieces, std::size_t i) {
  return i < pieces.size() ? pieces[i] : std::string();
}

const char* Flag(bool on) { return on ? "T" : "F"; }

// Index of the first PictureMasks entry of the field (case-insensitive); -1 if none.
int PictureEntryOf(TStrings* list, const std::string& fieldName) {
  for (int i = 0; i < list->Count(); ++i)
    if (AnsiSameText(PieceOrEmpty(wwSplitPieces(list->Strings(i), "\t"), 0), fieldName)) return i;
  return -1;
}

std::string PictureEntry(const std::string& fieldName, const TwwPictureMaskSetting& s) {
  return fieldName + "\t" + s.Mask + "\t" + Flag(s.AutoFill) + "\t" + Flag(s.UseMask);
}

// Index of the first LookupFields entry whose first piece is the field's name.
int LookupEntryOf(TStrings* list, const std::string& fieldName) {
  if (!list) return -1;
  for (int i = 0; i < list->Count(); ++i)
    if (PieceOrEmpty(wwSplitPieces(list->Strings(i), ";"), 0) == fieldName) return i;
  return -1;
}

}  // namespace

TStrings* wwGetPictureMasksList(TObject* dataSet) { return ListProp(dataSet, "PictureMasks"); }
TStrings* wwGetControlTypeList(TObject* dataSet) { return ListProp(dataSet, "ControlType"); }
TStrings* wwGetLookupFieldsList(TObject* dataSet) { return ListProp(dataSet, "LookupFields"); }
TStrings* wwGetLookupLinksList(TObject* dataSet) { return ListProp(dataSet, "LookupLinks"); }

bool wwGetValidateWithMask(TObject* dataSet) {
  const TPropInfo* prop = Published(dataSet, "ValidateWithMask", tkEnumeration);
  return prop && prop->EnumType == &BooleanInfo() && GetOrdProp(dataSet, prop) != 0;
}

TwwInvalidValueEvent wwGetOnInvalidValue(TObject* dataSet) {
  const TPropInfo* prop = Published(dataSet, "OnInvalidValue", tkMethod);
  if (!prop) return {};
  TMethod method = GetMethodProp(dataSet, prop);
  const auto* handler = std::any_cast<TwwInvalidValueEvent>(&method.Code);
  return handler ? *handler : TwwInvalidValueEvent();
}

std::string wwGetDatabaseName(TObject* dataSet) {
  const TPropInfo* prop = Published(dataSet, "DatabaseName", tkString);
  if (!prop) prop = Published(dataSet, "DatabaseName", tkLString);
  return prop ? GetStrProp(dataSet, prop) : std::string();
}

TList* wwGetLookupTableList(TObject* dataSet) {
  auto* owner = dynamic_cast<IwwLookupTableOwner*>(dataSet);
  return owner ? owner->LookupTables() : nullptr;
}

bool wwDataSetHasField(TDataSet* dataSet, const std::string& fieldName) {
  return dataSet && dataSet->FindField(fieldName) != nullptr;
}

std::string wwGetTablePicture(TDataSet* dataSet, const std::string& fieldName) {
  auto* table = dynamic_cast<IwwTablePictures*>(dataSet);
  if (!table || !wwDataSetHasField(dataSet, fieldName)) return {};
  return table->TablePicture(fieldName);
}

TwwPictureMaskSetting wwGetPictureMask(TDataSet* dataSet, const std::string& fieldName,
                                       bool useTableMask) {
  TwwPictureMaskSetting setting;
  TStrings* list = wwGetPictureMasksList(dataSet);
  int entry = list ? PictureEntryOf(list, fieldName) : -1;
  std::string storedName;
  if (entry >= 0) {
    std::vector<std::string> p = wwSplitPieces(list->Strings(entry), "\t");
    storedName = p[0];
    setting.Mask = PieceOrEmpty(p, 1);
    setting.AutoFill = PieceOrEmpty(p, 2) == "T";
    setting.UseMask = PieceOrEmpty(p, 3) == "T";
  }
  const std::string tablePicture = useTableMask ? wwGetTablePicture(dataSet, fieldName) : "";
  if (tablePicture.empty()) return setting;
  // The table's own picture wins; an entry with a mask follows it, flags kept.
  const bool rewrite = entry >= 0 && !setting.Mask.empty() && setting.Mask != tablePicture;
  setting.Mask = tablePicture;
  if (rewrite) list->SetStrings(entry, PictureEntry(storedName, setting));
  return setting;
}

void wwSetPictureMask(TDataSet* dataSet, const std::string& fieldName, const std::string& mask,
                      bool autoFill, bool useMask, bool setMask, bool setAutoFill,
                      bool setUseMask) {
  TStrings* list = wwGetPictureMasksList(dataSet);
  if (!list) return;
  TwwPictureMaskSetting wanted{mask, autoFill, useMask};
  std::string tablePicture = wwGetTablePicture(dataSet, fieldName);
  if (!tablePicture.empty()) wanted.Mask = tablePicture;

  int entry = PictureEntryOf(list, fieldName);
  if (entry >= 0) {
    TwwPictureMaskSetting stored = wwGetPictureMask(dataSet, fieldName, false);
    if (!setMask && tablePicture.empty()) wanted.Mask = stored.Mask;
    if (!setAutoFill) wanted.AutoFill = stored.AutoFill;
    if (!setUseMask) wanted.UseMask = stored.UseMask;
    if (wanted.Mask.empty())
      list->Delete(entry);
    else
      list->SetStrings(entry, PictureEntry(fieldName, wanted));
  } else if (!wanted.Mask.empty()) {
    list->Add(PictureEntry(fieldName, wanted));
  }
}

TwwControlTypeSetting wwGetControlType(TObject* dataSet, const std::string& fieldName) {
  TwwControlTypeSetting setting;
  TStrings* list = wwGetControlTypeList(dataSet);
  if (!list) return setting;
  for (int i = 0; i < list->Count(); ++i) {
    const std::string line = list->Strings(i);
    std::vector<std::string> p = wwSplitPieces(line, ";");
    if (p[0] != fieldName) continue;
    setting.TypeName = PieceOrEmpty(p, 1);
    // The parameter is everything after the second ";", itself possibly holding ";".
    std::size_t first = line.find(';');
    std::size_t second = first == std::string::npos ? first : line.find(';', first + 1);
    setting.Parameter =
        second == std::string::npos ? std::string() : Utf8Copy(line.substr(second + 1), 1, 255);
  }
  return setting;
}

bool wwSetControlType(TObject* dataSet, const std::string& fieldName, const std::string& typeName,
                      const std::string& parameter) {
  TStrings* list = wwGetControlTypeList(dataSet);
  if (!list) return false;
  const bool remove = typeName.empty() || AnsiSameText(typeName, "field");
  for (int i = 0; i < list->Count(); ++i) {
    std::string stored = wwSplitPieces(list->Strings(i), ";")[0];
    if (!AnsiSameText(stored, fieldName)) continue;
    if (remove)
      list->Delete(i);
    else
      list->SetStrings(i, stored + ";" + typeName + ";" + parameter);
    return true;
  }
  list->Add(fieldName + ";" + typeName + ";" + parameter);
  return true;
}

bool wwIsControlBearingType(const std::string& typeName) {
  return AnsiSameText(typeName, "CustomEdit") || AnsiSameText(typeName, "LookupCombo") ||
         AnsiSameText(typeName, "Combo");
}

std::string wwGetLookupLink(TObject* dataSet, const std::string& fieldName) {
  TStrings* links = wwGetLookupLinksList(dataSet);
  int entry = LookupEntryOf(wwGetLookupFieldsList(dataSet), fieldName);
  if (!links || entry < 0 || entry >= links->Count()) return {};
  return links->Strings(entry);
}

std::string wwGetLookupResultName(TObject* dataSet, const std::string& fieldName) {
  TStrings* fields = wwGetLookupFieldsList(dataSet);
  int entry = LookupEntryOf(fields, fieldName);
  return entry < 0 ? std::string() : PieceOrEmpty(wwSplitPieces(fields->Strings(entry), ";"), 3);
}

TwwLookupEntry wwGetLookupEntry(TField* field) {
  TwwLookupEntry entry;
  TDataSet* dataSet = field ? field->DataSet() : nullptr;
  if (!dataSet) return entry;
  TStrings* fields = wwGetLookupFieldsList(dataSet);
  TStrings* links = wwGetLookupLinksList(dataSet);
  for (int i = 0; fields && i < fields->Count(); ++i) {
    std::vector<std::string> p = wwSplitPieces(fields->Strings(i), ";");
    if (p.size() < 5 || p[0] != field->FieldName()) continue;
    entry.DatabaseName = p[1];
    entry.TableName = p[2];
    entry.ResultField = p[3];
    if (links && i < links->Count()) entry.Links = links->Strings(i);
    return entry;
  }
  entry.DatabaseName = wwGetDatabaseName(dataSet);
  return entry;
}

void wwRemoveStaleFieldSettings(TDataSet* dataSet, TStrings* lookupFields, TStrings* lookupLinks,
                                TStrings* controlType) {
  if (!dataSet) return;
  auto stale = [dataSet](const std::string& entry) {
    return !wwDataSetHasField(dataSet, wwSplitPieces(entry, ";")[0]);
  };
  if (lookupFields) {
    for (int i = lookupFields->Count() - 1; i >= 0; --i) {
      if (!stale(lookupFields->Strings(i))) continue;
      lookupFields->Delete(i);
      if (lookupLinks && i < lookupLinks->Count()) lookupLinks->Delete(i);
    }
  }
  if (controlType) {
    for (int i = controlType->Count() - 1; i >= 0; --i)
      if (stale(controlType->Strings(i))) controlType->Delete(i);
  }
}

bool wwRemoveStaleControlTypes(TComponent* form, TDataSet* dataSet) {
  if (!form || !form->ComponentState().Contains(csDesigning)) return true;
  TStrings* list = wwGetControlTypeList(dataSet);
  if (!list) return true;
  for (int i = list->Count() - 1; i >= 0; --i) {
    std::vector<std::string> p = wwSplitPieces(list->Strings(i), ";");
    if (p.size() < 2 || !wwIsControlBearingType(p[1])) continue;
    const std::string component = wwSplitPieces(PieceOrEmpty(p, 2), ";")[0];
    bool missing;
    std::size_t dot = component.find('.');
    if (dot == std::string::npos) {
      missing = form->FindComponent(component) == nullptr;
    } else {
      std::string name = component.substr(dot + 1);
      TComponent* owner = dataSet->Owner();
      missing = !name.empty() && (!owner || owner->FindComponent(name) == nullptr);
    }
    if (missing) list->Delete(i);
  }
  return true;
}
