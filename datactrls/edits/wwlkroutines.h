#pragma once
// The searches the lookup list and the lookup combo share: whether a lookup
// table is searched through its index, the record-by-record search for a
// typed text, and the key search over two or three fields.

#include <string>
#include <vector>

class TDataSet;
class TwwTable;

// True for a library table whose current index has fields; every other
// lookup table (the engine's included) is searched record by record.
bool wwIsLookupTableIndexed(TDataSet* table);

// Moves the table to the first record whose field holds the value (its start
// with partial); true when found, the record unchanged otherwise. A value
// that is empty or no valid input for the field finds nothing; one longer
// than a string field is cut to the field's size.
bool wwLookupRecordSearch(TDataSet* table, const std::string& value, const std::string& fieldName,
                          bool caseSensitive, bool partial);

// The record whose fields (";"-separated names) hold the values, in order.
bool wwLookupFindKey(TDataSet* table, const std::string& fieldNames, const std::vector<std::string>& values);

// True for a dataset that publishes non-empty MasterFields (a detail table).
bool wwHasMasterFields(TDataSet* table);

// The search for a whole value (its start with partial) in one field of a
// lookup table: a detail library table seeks on its index when the field
// follows the master fields there; otherwise the index when the field is in
// it, else the record-by-record search.
bool wwLookupValueSearch(TDataSet* table, const std::string& value, const std::string& fieldName,
                         bool caseSensitive, bool partial);

// The position of the field in the table's current index, -1 when not there.
int wwLookupIndexPosition(TwwTable* table, const std::string& fieldName);
