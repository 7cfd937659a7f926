#include "platform/classlib/db/dbtypes.h"

#include "platform/classlib/core/component.h"
#include "platform/classlib/db/filterblob.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(EDatabaseError, Exception)

const char* FieldTypeName(TFieldType type) {
  static const char* const names[kFieldTypeCount] = {
      "Unknown", "String", "SmallInt", "Integer", "Word", "Boolean", "Float", "Currency",
      "BCD", "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo",
      "Graphic", "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor"};
  return type < kFieldTypeCount ? names[type] : "Unknown";
}

bool IsBlobType(TFieldType type) { return type >= ftBlob && type <= ftTypedBinary; }

std::uint16_t LogicalFieldType(TFieldType type) {
  switch (type) {
    case ftString: return fldtype::ZString;
    case ftSmallint: return fldtype::Int16;
    case ftInteger: case ftAutoInc: return fldtype::Int32;
    case ftWord: return fldtype::UInt16;
    case ftBoolean: return fldtype::Bool;
    case ftFloat: case ftCurrency: return fldtype::Float;
    case ftBCD: return fldtype::BCD;
    case ftDate: return fldtype::Date;
    case ftTime: return fldtype::Time;
    case ftDateTime: return fldtype::TimeStamp;
    case ftBytes: return fldtype::Bytes;
    case ftVarBytes: return fldtype::VarBytes;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: return fldtype::Blob;
    case ftCursor: return fldtype::Cursor;
    default: return 0;
  }
}

std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      char c = pattern[i + 1];
      if (c == '%') {
        out += '%';
        ++i;
        continue;
      }
      if ((c == 's' || c == 'd') && arg != args.end()) {
        out += *arg++;
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

void DatabaseError(const std::string& message, const TComponent* component) {
  if (component && !component->Name().empty())
    throw EDatabaseError(component->Name() + ": " + message);
  throw EDatabaseError(message);
}

void DatabaseErrorFmt(std::string_view pattern, std::initializer_list<std::string_view> args,
                      const TComponent* component) {
  DatabaseError(FormatMessage(pattern, args), component);
}

std::vector<std::string> SplitNameList(std::string_view names) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos <= names.size()) {
    std::size_t semi = std::min(names.find(';', pos), names.size());
    std::string name = Trim(names.substr(pos, semi - pos));
    if (!name.empty()) out.push_back(std::move(name));
    pos = semi + 1;
  }
  return out;
}
