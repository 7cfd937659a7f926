#pragma once
// Lookup fields: calculated fields of a dataset whose value is fetched from
// another table (its LookupFields and LookupLinks entries), and the positioning
// of lookup tables for the lookup controls and the filter routines.

#include <functional>
#include <string>
#include <vector>

class TDataSet;
class TField;
class TList;
class TStrings;

// What the lookup routines need of a lookup table beyond its dataset and its
// published DatabaseName, TableName, IndexName and ReadOnly: the library's table
// provides it.
class IwwLookupTable {
 public:
  virtual ~IwwLookupTable() = default;
  // The LookupLinks entry the table was opened for; positioned during the
  // current calculation pass; the result of that positioning; seeking now.
  std::string LookupLinkKey;
  bool LookupPositioned = false;
  bool LookupFound = false;
  bool LookupSeeking = false;

  virtual int IndexFieldCount() = 0;
  // Key search over the current index that checks the record reached.
  virtual bool VerifiedFindKey(const std::vector<std::string>& values) = 0;
  virtual bool FindKey(const std::vector<std::string>& values) = 0;
  // Case-sensitive whole-value search in one field.
  virtual bool LocateValue(const std::string& fieldName, const std::string& value) = 0;
  // The name of the index over these fields (";"-separated), empty when none.
  virtual std::string IndexNameForFields(const std::string& fieldNames) = 0;
  // Switches to the index over these fields while the table's index-change flag
  // is raised.
  virtual void SetIndexFieldsForLookup(const std::string& fieldNames) = 0;
};

// Creates a lookup table owned by the dataset. By default an instance of the
// registered class "TwwTable"; nullptr when none can be made.
extern std::function<TDataSet*(TDataSet* owner)> wwLookupTableFactory;
// Told once per dataset and lookup entry that its table could not be set up.
extern std::function<void(TDataSet* dataSet, const std::string& message)> wwLookupFailureHandler;

// Fills every lookup field of the current record from its lookup table, opening
// (and keeping in lookupTables) the tables it needs. A table that cannot be set up
// is freed at once and reported once; its entry then yields nothing.
void wwCalcLookupFields(TDataSet* dataSet, TStrings* lookupFields, TStrings* lookupLinks,
                        TList* lookupTables);
// Positions a lookup table on the record that matches the current values of the
// dataset's link fields (pieces: local;lookup;local;lookup...).
bool wwSeekLookupTable(TDataSet* table, TDataSet* dataSet, const std::vector<std::string>& links);
// The same with FindKey only, the local values taken from getValue.
using TwwFieldValueGetter = std::function<TField*(const std::string& fieldName)>;
bool wwSeekLookupTableBy(TDataSet* table, const std::vector<std::string>& links,
                         const TwwFieldValueGetter& getValue);
// For a lookup field: its lookup table's key for the current record and the
// table's result field, positioned by FindKey on that one value.
bool wwFindLookupValue(TField* field, std::string& keyValue, TField*& resultField);
// The lookup table's result field for a record under filter evaluation, for a
// class-library lookup field or a calculated field named in LookupFields.
TField* wwGetLookupResultField(TDataSet* dataSet, TField* field,
                               const TwwFieldValueGetter& getValue);
// Used by the lookup list: sets the lookup table's index for the field's entry
// and positions it; firstLinkField gets the first local link field.
bool wwPositionLookupTable(TDataSet* dataSet, TDataSet* lookupTable, const std::string& fieldName,
                           std::string& firstLinkField);
