#include "platform/dao/daoerrors.h"

#include <map>

namespace dao {

namespace {

// "%s" stands for the item named in the failure.
const std::map<int, const char*>& texts() {
  static const std::map<int, const char*> t = {
      {3000, "Reserved error (%s); there is no message for this error."},
      {3001, "Invalid argument."},
      {3003, "Couldn't start transaction; too many transactions already nested."},
      {3008,
       "The table '%s' is already opened exclusively by another user, or it is already open "
       "through the user interface and cannot be manipulated programmatically."},
      {3010, "Table '%s' already exists."},
      {3012, "Object '%s' already exists."},
      {3015,
       "'%s' isn't an index in this table.  Look in the Indexes collection of the TableDef "
       "object to determine the valid index names."},
      {3019, "Operation invalid without a current index."},
      {3020, "Update or CancelUpdate without AddNew or Edit."},
      {3021, "No current record."},
      {3022,
       "The changes you requested to the table were not successful because they would create "
       "duplicate values in the index, primary key, or relationship.  Change the data in the "
       "field or fields that contain duplicate data, remove the index, or redefine the index to "
       "permit duplicate entries and try again."},
      {3024, "Couldn't find file '%s'."},
      {3026, "Not enough space on disk."},
      {3027, "Can't update.  Database or object is read-only."},
      {3031, "Not a valid password."},
      {3034, "You tried to commit or rollback a transaction without first beginning a transaction."},
      {3043, "Disk or network error."},
      {3044,
       "'%s' isn't a valid path.  Make sure that the path name is spelled correctly and that you are "
       "connected to the server on which the file resides."},
      {3045, "Couldn't use '%s'; file already in use."},
      {3049,
       "Can't open database '%s'.  It may not be a database that your application recognizes, "
       "or the file may be corrupt."},
      {3050, "Couldn't lock file."},
      {3051,
       "Couldn't open '%s' read-only: its log holds changes not yet in the file, which only a user "
       "who may write the file and its folder can bring in.  Open it once for writing."},
      {3061, "Too few parameters. Expected %s."},
      {3065, "Cannot execute a select query."},
      {3075, "Syntax error (missing operator) in query expression '%s'."},
      {3078,
       "The database engine cannot find the input table or query '%s'.  Make sure it exists "
       "and that its name is spelled correctly."},
      {3085, "Undefined function '%s' in expression."},
      {3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
      {3131, "Syntax error in FROM clause."},
      {3134, "Syntax error in INSERT INTO statement."},
      {3142, "Characters found after end of SQL statement."},
      {3144, "Syntax error in UPDATE statement."},
      {3159, "Not a valid bookmark."},
      {3163,
       "The field is too small to accept the amount of data you attempted to add.  Try "
       "inserting or pasting less data."},
      {3164, "Field can't be updated."},
      {3167, "Record is deleted."},
      {3197,
       "The database engine stopped the process because you and another user are attempting to "
       "change the same data at the same time."},
      {3204, "Database already exists."},
      {3218, "Could not update; currently locked."},
      {3219, "Invalid operation."},
      {3251, "Operation is not supported for this type of object."},
      {3260, "Could not update; currently locked by user '%s'."},
      {3262, "Couldn't lock table '%s'; currently in use by another user."},
      {3265, "Item not found in this collection."},
      {3289, "Syntax error in CONSTRAINT clause."},
      {3290, "Syntax error in CREATE TABLE statement."},
      {3292, "Syntax error in field definition."},
      {3295, "Syntax error in DROP TABLE or DROP INDEX."},
      {3314,
       "The field '%s' cannot contain a Null value because the Required property for this "
       "field is set to True.  Enter a value in this field."},
      {3343, "Unrecognized database format '%s'."},
      {3356,
       "You attempted to open a database that is already opened exclusively by user '%s'.  "
       "Try again when the database is available."},
      {3420, "Object invalid or no longer set."},
      {3421, "Data type conversion error."},
      {3464, "Data type mismatch in criteria expression."},
  };
  return t;
}

}  // namespace

std::string ErrorDescription(int number, const std::string& item) {
  auto it = texts().find(number);
  std::string text = it != texts().end() ? it->second : "Reserved error (%s); there is no message for this error.";
  std::string fill = it != texts().end() ? item : std::to_string(number);
  auto pos = text.find("%s");
  if (pos != std::string::npos) text.replace(pos, 2, fill);
  return text;
}

void Fail(int number, const std::string& item) {
  throw TDaoFailure(number, ErrorDescription(number, item));
}

}  // namespace dao
