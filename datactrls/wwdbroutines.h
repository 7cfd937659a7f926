#pragma once
// The library's routines over the class library's engine datasets (TTable,
// TQuery, TDBDataSet and their descendants): the answer table of a statement
// that has run.

#include <string>

class TDataSet;
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
