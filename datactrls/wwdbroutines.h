#pragma once
// The library's routines over the class library's engine datasets (TTable,
// TQuery, TDBDataSet and their descendants): the answer table of a statement
// that has run, the change of a table's index that keeps its record, and
// incremental search.

#include <string>

#include "datactrls/wwlocate.h"

class TDataSet;
class TIndexDef;
class TSqlStmt;

// Writes the rows of a statement that has run on the dataset's database into
// the answer table AnswerName, by running it once more with that answer name
// (the name is taken off the statement afterwards, so later runs write
// nothing). An empty name does nothing. ":alias:table" puts the table in the
// alias's directory; an alias without a path shows "Invalid Alias in QBE". A
// name on another drive than the session's private directory is made in that
// place. An engine refusal shows its text followed by "(" + name + ")";
// anything else that fails shows "Unable to create answer table " + name.
// True when the answer table was written.
bool wwPrepareAnswerTable(TDataSet* dataSet, TSqlStmt* statement, const std::string& answerName);

// Makes the index the table's current one. On an SQL-based database a
// change reopens the table (the library's table only with SyncSQLByRange),
// so the record is found again: the values of the new index's fields are
// remembered and the table goes to the nearest key.
// Datasets that are no table of the class library are left alone.
void wwSetIndexKeepPosition(TDataSet* table, const TIndexDef* index);

// ---- searches and tests over the library's table (wwdbdatasetroutines.cpp)

// The hourglass and the dataset's controls suspended while a table reopens or
// narrows its range; both come back however the work ends.
class TwwBusyScope {
 public:
  explicit TwwBusyScope(TDataSet* dataSet);
  ~TwwBusyScope();
  TwwBusyScope(const TwwBusyScope&) = delete;
  TwwBusyScope& operator=(const TwwBusyScope&) = delete;

 private:
  TDataSet* dataSet_;
  int previous_;  // the screen cursor before
};

// Moves a table to the first record whose key starts with the typed text;
// keyIndex is the position of the typed field in the current index, the
// fields before it keep the current record's values. By the table's
// settings it narrows a range (NarrowSearch; SyncSQLByRange on an SQL-based
// database), locates (the library's UseLocateMethodForSearch) or finds the
// nearest key. An empty text cancels a range or goes to the first record.
// True when the record reached holds the text (numbers equal, text keys
// begin with it ignoring case). A typed text that is no value of a numeric,
// date or time key moves nothing and answers false. A plain table of the
// class library answers false after the warning "Incremental Search - TTable
// component not supported. Use TwwTable instead.", a table without index
// fields after "Table <name>: Table index not found"; any other dataset false
// at once.
bool wwIncrementalSearch(TDataSet* dataSet, const std::string& text, int keyIndex);

// True at once when the field's current text is value (exactly when
// caseSensitive, else ignoring case); otherwise the library's locate from the
// first record (wwLocateValue) with both options.
bool wwLocateIfDifferent(TDataSet* dataSet, const std::string& value, const std::string& fieldName,
                         TwwLocateMatchType matchOption, bool caseSensitive);

// A library table with at least one index field.
bool wwIsIndexedTable(TDataSet* dataSet);
// A library table whose Query lines are not empty.
bool wwHasQueryText(TDataSet* dataSet);
