#pragma once
// Per-field settings of the library's datasets, kept as string lists with one
// entry per field and reached by published property name, so any dataset that
// publishes a list of that name takes part:
//   PictureMasks  FieldName TAB Mask TAB AutoFill(T/F) TAB UseMask(T/F)
//   ControlType   FieldName;Type;Parameter  (Parameter may hold ";")
//   LookupFields  FieldName;DatabaseName;TableName;ResultField;IndexName
//                 or ...;ResultField;-;IndexField1;...;IndexFieldN;Flag
//   LookupLinks   LocalField1;LookupField1;LocalField2;LookupField2;...
// Pieces are split with wwSplitToList: empty pieces are kept.

#include <functional>
#include <set>
#include <string>

class TComponent;
class TDataSet;
class TField;
class TList;
class TObject;
class TStrings;

// The handler a dataset publishes as OnInvalidValue: told of the field whose
// value breaks its picture mask before a post is refused.
using TwwInvalidValueEvent = std::function<void(TObject* sender, TField* field)>;

// Implemented by the library's datasets that open lookup tables for their
// LookupFields: the list of the tables they have opened (they own it).
class IwwLookupTableOwner {
 public:
  virtual ~IwwLookupTableOwner() = default;
  virtual TList* LookupTables() = 0;
  // Lookup entries whose table could not be set up: reported once and not tried
  // again for every record (database;table;links). The dataset clears it when it
  // opens again, so a table that appears later is used.
  std::set<std::string> FailedLookupTables;
};

// Implemented by the library's table, whose table may define a picture of its own
// for a field; empty when it defines none.
class IwwTablePictures {
 public:
  virtual ~IwwTablePictures() = default;
  virtual std::string TablePicture(const std::string& fieldName) = 0;
};

// ---- the lists and settings by published name (none / false / empty when absent)
TStrings* wwGetPictureMasksList(TObject* dataSet);
TStrings* wwGetControlTypeList(TObject* dataSet);
TStrings* wwGetLookupFieldsList(TObject* dataSet);
TStrings* wwGetLookupLinksList(TObject* dataSet);
bool wwGetValidateWithMask(TObject* dataSet);
TwwInvalidValueEvent wwGetOnInvalidValue(TObject* dataSet);
std::string wwGetDatabaseName(TObject* dataSet);
TList* wwGetLookupTableList(TObject* dataSet);
bool wwDataSetHasField(TDataSet* dataSet, const std::string& fieldName);
// The picture the library's table defines for an existing field; else empty.
std::string wwGetTablePicture(TDataSet* dataSet, const std::string& fieldName);

// ---- picture masks
struct TwwPictureMaskSetting {
  std::string Mask;
  bool AutoFill = true;
  bool UseMask = true;
};
// The first entry of the field (name compared without regard to case); the
// defaults when there is none. With useTableMask the table's own picture wins and
// an entry that has a mask is rewritten with it.
TwwPictureMaskSetting wwGetPictureMask(TDataSet* dataSet, const std::string& fieldName,
                                       bool useTableMask);
// Updates the field's first entry (keeping each value whose set flag is false),
// deletes it when the mask ends up empty, or appends a new entry for a non-empty
// mask. A picture of the table's own replaces the mask given.
void wwSetPictureMask(TDataSet* dataSet, const std::string& fieldName, const std::string& mask,
                      bool autoFill, bool useMask, bool setMask = true, bool setAutoFill = true,
                      bool setUseMask = true);

// ---- control types
struct TwwControlTypeSetting {
  std::string TypeName;
  std::string Parameter;  // at most 255 characters
};
// The last entry whose field name equals fieldName (case-sensitive).
TwwControlTypeSetting wwGetControlType(TObject* dataSet, const std::string& fieldName);
// Replaces the first entry of the field (case-insensitive; its stored name is
// kept), or deletes it for the type "field" (any case) or an empty type; with no
// entry appends one whatever the type. False when the dataset publishes no list.
bool wwSetControlType(TObject* dataSet, const std::string& fieldName, const std::string& typeName,
                      const std::string& parameter);
// "CustomEdit", "LookupCombo" and "Combo" name a component in their parameter.
bool wwIsControlBearingType(const std::string& typeName);
// The grid's name for wwIsControlBearingType: the edit kinds of its cells.
inline bool wwIsEditControlType(const std::string& typeName) { return wwIsControlBearingType(typeName); }

// ---- lookup entries
std::string wwGetLookupLink(TObject* dataSet, const std::string& fieldName);
std::string wwGetLookupResultName(TObject* dataSet, const std::string& fieldName);
struct TwwLookupEntry {
  std::string DatabaseName;
  std::string TableName;
  std::string ResultField;
  std::string Links;
};
// The first entry of at least five pieces for the field; with none, the
// dataset's own DatabaseName and nothing else.
TwwLookupEntry wwGetLookupEntry(TField* field);

// ---- clean-up
// Drops LookupFields entries (with their LookupLinks) and ControlType entries of
// fields the dataset no longer has. Any list may be absent.
void wwRemoveStaleFieldSettings(TDataSet* dataSet, TStrings* lookupFields, TStrings* lookupLinks,
                                TStrings* controlType);
// While form is being designed: drops ControlType entries whose control cannot
// be found. Returns true.
bool wwRemoveStaleControlTypes(TComponent* form, TDataSet* dataSet);
