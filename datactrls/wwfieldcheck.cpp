#include "datactrls/wwfieldcheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "datactrls/wwintl.h"
#include "datactrls/wwpicture.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtextcheck.h"
#include "dbengine/accbinding.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/db/params.h"

bool wwIsValidTypeText(TFieldType dataType, const std::string& text) {
  switch (dataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: return wwIsValidIntegerText(text);
    case ftFloat:
    case ftCurrency:
    case ftBCD: return wwIsValidFloatText(text);
    case ftDate: return wwIsValidDateText(text);
    case ftTime: return wwIsValidTimeText(text);
    case ftDateTime: return wwIsValidDateTimeText(text) || wwIsValidDateText(text);
    default: return true;
  }
}

bool wwIsValidFieldText(TField* field, const std::string& text) {
  return field && wwIsValidTypeText(field->DataType(), text);
}

bool wwIsValidFieldInput(TField* field, const std::string& text) {
  if (!field) return false;
  if (text.empty()) {
    switch (field->DataType()) {
      case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD:
      case ftDate: case ftTime: case ftDateTime: case ftAutoInc:
        return false;
      default: break;
    }
  }
  return wwIsValidFieldText(field, text);
}

bool wwIsNumericType(TFieldType dataType) {
  switch (dataType) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftAutoInc:
      return true;
    default: return false;
  }
}

bool wwIsSearchableType(TFieldType dataType) {
  return dataType != ftBytes && dataType != ftVarBytes && dataType != ftBlob &&
         dataType != ftGraphic;
}

bool wwMaskAccepts(const std::string& mask, const std::string& text) {
  if (text.empty()) return true;
  TwwPictureValidator validator(mask, true);
  std::string value = text;
  return validator.MatchPicture(value, false) == pmComplete;
}

void wwValidatePictureFields(TDataSet* dataSet, const TwwInvalidValueEvent& handler) {
  if (!dataSet) return;
  for (int i = 0; i < dataSet->FieldCount(); ++i) {
    TField* field = dataSet->Fields()[i];
    TwwPictureMaskSetting setting = wwGetPictureMask(dataSet, field->FieldName(), true);
    if (setting.Mask.empty()) continue;
    if (wwMaskAccepts(setting.Mask, field->AsString())) continue;
    if (field->ReadOnly()) continue;
    field->FocusControl();
    if (handler) handler(dataSet, field);
    throw EDatabaseError(wwGlobalIntl()->UserMessages()->PictureValidateError +
                         field->DisplayName());
  }
}

namespace {
template <class T>
std::size_t Put(void* buffer, std::size_t bufferSize, T value) {
  if (bufferSize < sizeof(T)) return 0;
  std::memcpy(buffer, &value, sizeof(T));
  return sizeof(T);
}

// The longest front of text, in whole characters, that takes at most maxBytes.
std::string FittingFront(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    std::size_t next = end;
    Utf8Decode(text, next);
    if (next > maxBytes) break;
    end = next;
  }
  return text.substr(0, end);
}
}  // namespace

namespace {
std::size_t WriteNative(TField* field, void* buffer, std::size_t bufferSize) {
  switch (field->DataType()) {
    case ftString:
    case ftMemo: {
      if (bufferSize == 0) return 0;
      std::string text = Utf8Copy(field->Text(), 1, 32767);
      text = FittingFront(text, bufferSize - 1);
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      return text.size() + 1;
    }
    case ftSmallint:
      return Put(buffer, bufferSize, static_cast<std::int16_t>(field->AsInteger()));
    case ftWord: return Put(buffer, bufferSize, static_cast<std::uint16_t>(field->AsInteger()));
    case ftInteger:
    case ftAutoInc: return Put(buffer, bufferSize, static_cast<std::int32_t>(field->AsInteger()));
    case ftFloat:
    case ftCurrency: return Put(buffer, bufferSize, field->AsFloat());
    case ftBoolean:
      return Put(buffer, bufferSize, static_cast<std::uint8_t>(field->AsBoolean() ? 255 : 0));
    case ftDate:
      return Put(buffer, bufferSize, DateTimeToTimeStamp(field->AsDateTime()).Date);
    case ftTime:
      return Put(buffer, bufferSize, DateTimeToTimeStamp(field->AsDateTime()).Time);
    case ftDateTime:
      return Put(buffer, bufferSize, TimeStampToMSecs(DateTimeToTimeStamp(field->AsDateTime())));
    default: return 0;
  }
}
}  // namespace

std::size_t wwFieldValueToBuffer(TField* field, TParam* param, void* buffer,
                                 std::size_t bufferSize) {
  if (!field || !buffer) return 0;
  std::size_t written = WriteNative(field, buffer, bufferSize);
  if (written == 0 || !param) return written;
  param->SetDataType(field->DataType());
  // The parameter's native Boolean is two bytes wide; the buffer holds one.
  if (field->DataType() == ftBoolean)
    param->SetAsBoolean(static_cast<std::uint8_t*>(buffer)[0] != 0);
  else
    param->SetData(buffer, static_cast<int>(written));
  return written;
}

namespace {
int ParseWidth(std::string_view part) {
  int value = -1;
  const auto* end = part.data() + part.size();
  const auto [ptr, ec] = std::from_chars(part.data(), end, value);
  if (ec != std::errc() || ptr != end || value < 0) return -1;
  return std::min(value, kwwMaxColumnChars);
}
}  // namespace

TwwSelectedLine wwParseSelectedLine(std::string_view line) {
  const std::vector<std::string> parts = wwSplitPieces(line, "\t");
  TwwSelectedLine result;
  if (!parts.empty()) result.fieldName = parts[0];
  if (parts.size() > 1) result.width = ParseWidth(parts[1]);
  if (parts.size() > 2) {
    result.title = parts[2];
    result.hasTitle = true;
  }
  return result;
}

std::string wwSelectedLineText(const std::string& fieldName, int width, const std::string& title) {
  return fieldName + "\t" + std::to_string(width) + "\t" + title;
}

void wwApplySelectedToFields(TDataSet* dataSet, const TStrings* selected) {
  if (!dataSet || !selected) return;
  dataSet->DisableControls();
  try {
    for (int i = 0; i < dataSet->FieldCount(); ++i) dataSet->Fields()[i]->SetVisible(false);
    for (int i = 0; i < selected->Count(); ++i) {
      const TwwSelectedLine line = wwParseSelectedLine(selected->Strings(i));
      TField* field = dataSet->FindField(line.fieldName);
      if (!field) continue;
      if (line.width >= 0) field->SetDisplayWidth(line.width);
      if (line.hasTitle) field->SetDisplayLabel(line.title);
      // Lines past the last field (a list naming unknown fields) go to the end
      // one after the other, so the shown fields keep the list's order.
      field->SetIndex(std::min(i, dataSet->FieldCount() - 1));
      field->SetVisible(true);
    }
  } catch (...) {
    dataSet->EnableControls();
    throw;
  }
  dataSet->EnableControls();
}

void wwFieldsToSelected(TDataSet* dataSet, TStrings* selected) {
  if (!dataSet || !selected) return;
  selected->Clear();
  for (int i = 0; i < dataSet->FieldCount(); ++i) {
    TField* field = dataSet->Fields()[i];
    if (field->Visible())
      selected->Add(wwSelectedLineText(field->FieldName(), field->DisplayWidth(), field->DisplayLabel()));
  }
}

bool wwFindSelectedEntry(const TStrings* selected, const std::string& fieldName, int& index) {
  for (index = 0; selected && index < selected->Count(); ++index)
    if (AnsiSameText(wwParseSelectedLine(selected->Strings(index)).fieldName, fieldName)) return true;
  index = -1;
  return false;
}

std::string wwFieldNameFromLabel(TDataSet* dataSet, const std::string& label) {
  if (!dataSet) return {};
  const std::string wanted = wwReplaceChar(label, '~', ' ');
  for (int i = 0; i < dataSet->FieldCount(); ++i) {
    TField* field = dataSet->Fields()[i];
    if (wwReplaceChar(field->DisplayLabel(), '~', ' ') == wanted) return field->FieldName();
  }
  return {};
}

bool wwInheritsFromName(const TObject* object, const std::string& className) {
  return object && object->InheritsFrom(std::string_view(className));
}

bool wwIsWwDataSet(const TObject* dataSet) {
  if (!dataSet) return false;
  for (const char* name : {"TwwTable", "TwwQuery", "TwwQBE", "TwwStoredProc", "TwwClientDataSet"})
    if (wwInheritsFromName(dataSet, name)) return true;
  return GetPropInfo(dataSet, "ControlType") != nullptr;
}

bool wwIsCalcOrLookup(TField* field) {
  return field && (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup);
}

bool wwNeedsLocalSearch(TField* field) {
  if (!field) return false;
  return wwIsCalcOrLookup(field) || !wwInheritsFromName(field->DataSet(), "TBDEDataSet");
}

TObject* wwGetDataSource(TObject* control) {
  const TPropInfo* prop = control ? GetPropInfo(control, "DataSource") : nullptr;
  return prop && prop->Kind == tkClass ? GetObjectProp(control, prop) : nullptr;
}

namespace {
bool IsEditControl(const TObject* control) { return wwInheritsFromName(control, "TCustomEdit"); }
}  // namespace

std::string wwGetDataField(TObject* control) {
  if (!IsEditControl(control)) return {};
  const TPropInfo* prop = GetPropInfo(control, "DataField");
  return prop && (prop->Kind == tkString || prop->Kind == tkLString) ? GetStrProp(control, prop)
                                                                      : std::string();
}

bool wwSetDataSource(TObject* control, TObject* source) {
  if (!IsEditControl(control)) return false;
  const TPropInfo* prop = GetPropInfo(control, "DataSource");
  if (!prop || prop->Kind != tkClass || !prop->IsWritable()) return false;
  SetObjectProp(control, prop, source);
  return true;
}

bool wwSetDataField(TObject* control, const std::string& name) {
  if (!IsEditControl(control)) return false;
  const TPropInfo* prop = GetPropInfo(control, "DataField");
  if (!prop || (prop->Kind != tkString && prop->Kind != tkLString) || !prop->IsWritable())
    return false;
  SetStrProp(control, prop, name);
  return true;
}

void wwSetFilterEnabled(TObject* dataSet, bool enabled) {
  const TPropInfo* prop = dataSet ? GetPropInfo(dataSet, "OnFilterOptions") : nullptr;
  if (!prop || prop->Kind != tkSet || !prop->IsWritable()) return;
  std::int64_t bits = GetOrdProp(dataSet, prop);
  bits = enabled ? (bits | 1) : (bits & ~std::int64_t(1));  // option 0: enabled
  SetOrdProp(dataSet, prop, bits);
}

std::uint64_t wwGetFilterOptions(TObject* dataSet) {
  const TPropInfo* prop = dataSet ? GetPropInfo(dataSet, "OnFilterOptions") : nullptr;
  if (!prop || prop->Kind != tkSet) return 0;
  std::uint64_t bits = static_cast<std::uint64_t>(GetOrdProp(dataSet, prop));
  if (wwInheritsFromName(dataSet, "TwwClientDataSet")) {
    const TPropInfo* filtered = GetPropInfo(dataSet, "Filtered");
    bool on = filtered && filtered->IsOrdinal() && GetOrdProp(dataSet, filtered) != 0;
    bits = on ? 1 : 0;
  }
  return bits;
}

int wwCompareBookmarks(TDataSet* dataSet, TBookmark a, TBookmark b) {
  return dataSet ? dataSet->CompareBookmarks(a, b) : 0;
}

namespace {

// The value of the node named name in an open configuration list; empty when none.
std::string ConfigValue(TVirtEng* engine, TBaseTable* list, const std::string& name) {
  TCursorProps props{};
  if (engine->GetCursorProperties(list, props) != 0) return {};
  std::vector<std::uint8_t> record(std::max<std::size_t>(props.RecordBufferSize, 1));
  // Node names and values are short texts; these hold any of them.
  std::array<char, 1024> node{};
  std::array<char, 1024> value{};
  bool blank = false;
  engine->SetToStart(list);
  while (engine->GetNextRecord(list, 0, record.data(), nullptr) == 0) {
    node.fill(0);
    if (engine->GetField(list, 1, record.data(), node.data(), blank) != 0) continue;
    if (!SameText(node.data(), name)) continue;
    value.fill(0);
    if (engine->GetField(list, 4, record.data(), value.data(), blank) != 0) return {};
    return value.data();
  }
  return {};
}

}  // namespace

std::string wwGetAliasPath(const std::string& alias) {
  TtaSession* session = AccessDefaultSession();
  try {
    session->SetActive(true);
  } catch (const Exception&) {
    return {};  // no engine, no configuration
  }
  TVirtEng* engine = session->Engine();
  TBaseTable* list = nullptr;
  const std::string node = "\\DATABASES\\" + alias + "\\DB INFO";
  if (!engine || engine->OpenConfigList(nullptr, 0, 0, node.c_str(), list) != 0 || !list) return {};
  std::string path = ConfigValue(engine, list, "path");
  engine->CloseCursor(list);
  return path;
}

TComponent* wwGetParentForm(TComponent* component) {
  TComponent* current = component;
  while (current && !wwInheritsFromName(current, "TCustomForm") && current->Owner())
    current = current->Owner();
  return current;
}

bool wwIsEditKey(std::uint16_t key) {
  return key == 8 || key == 32 || key == 46 || (key >= 48 && key <= 111) || key > 145;
}

bool wwIsHighBitSet(std::uint8_t value) { return (value & 128) != 0; }

int wwScaleToScreen(int size, int pixelsPerInch) { return size * pixelsPerInch / 96; }

std::string wwStringsToText(TStrings* lines, bool oneLine) {
  std::string text;
  for (int i = 0; lines && i < lines->Count(); ++i) {
    if (i) text += oneLine ? " " : "\r\n";
    text += lines->Strings(i);
  }
  return text;
}

int wwIndexOfText(TStrings* lines, const std::string& text) {
  for (int i = 0; lines && i < lines->Count(); ++i)
    if (AnsiSameText(lines->Strings(i), text)) return i;
  return -1;
}

int wwMax(int a, int b) { return wwMaxInt(a, b); }
