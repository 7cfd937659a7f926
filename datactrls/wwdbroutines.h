#pragma once
// The library's routines over the class library's engine datasets (TTable,
// TQuery, TDBDataSet and their descendants): the answer table of a statement
// that has run, the change of a table's index that keeps its record, and
// incremental search.

#include <string>

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
// change reopens the table, so the record is found again: the values of the
// new index's fields are remembered and the table goes to the nearest key.
// Datasets that are no table of the class library are left alone.
void wwSetIndexKeepPosition(TDataSet* table, const TIndexDef* index);

// Moves a table to the first record whose key starts with the typed text.
// The key search (narrowed ranges, the index's fields before keyIndex kept)
// is the library's own table's; a plain table of the class library answers
// false after the warning "Incremental Search - TTable component not
// supported. Use TwwTable instead.", any other dataset false at once.
bool wwIncrementalSearch(TDataSet* dataSet, const std::string& text, int keyIndex);
