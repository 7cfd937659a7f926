#pragma once
// DAO error numbers and their description texts. Inside the DAO stand-in a
// failure travels as a TDaoFailure; the interface layer turns it into the
// 32-bit status (low 16 bits = the number) and the Errors collection.

#include <cstdint>
#include <exception>
#include <string>

#include "platform/win32/com.h"

namespace dao {

enum ErrorNumber : int {
  errInvalidArgument = 3001,
  errReservedError = 3000,
  errTooManyTransactions = 3003,
  errTableExists = 3010,
  errObjectExists = 3012,
  errNoSuchIndex = 3015,
  errNoCurrentIndex = 3019,
  errUpdateWithoutEdit = 3020,
  errNoCurrentRecord = 3021,
  errDuplicateKey = 3022,
  errFileNotFound = 3024,
  errDiskFull = 3026,
  errReadOnly = 3027,
  errBadPassword = 3031,
  errNoTransaction = 3034,
  errDiskOrNetwork = 3043,
  errInvalidPath = 3044,
  errFileInUse = 3045,
  errCannotOpen = 3049,
  errCantLockFile = 3050,
  errFolderReadOnly = 3051,
  errTooFewParameters = 3061,
  errNoSuchTable = 3078,
  errSyntaxInExpression = 3075,
  errSelectNotExecutable = 3065,
  errFieldNotUpdatable = 3164,
  errUndefinedFunction = 3085,
  errInvalidStatement = 3129,
  errSyntaxInFrom = 3131,
  errSyntaxInInsert = 3134,
  errCharactersAfterEnd = 3142,
  errSyntaxInUpdate = 3144,
  errNotValidBookmark = 3159,
  errFieldTooSmall = 3163,
  errRecordDeleted = 3167,
  errDataChanged = 3197,
  errLocked = 3218,
  errInvalidOperation = 3219,
  errNotSupported = 3251,
  errLockedByUser = 3260,
  errTableLocked = 3262,
  errTableInUse = 3008,
  errItemNotFound = 3265,
  errSyntaxInCreateTable = 3290,
  errSyntaxInCreateIndex = 3289,
  errSyntaxInFieldDefinition = 3292,
  errSyntaxInDrop = 3295,
  errRequiredIsNull = 3314,
  errOpenedExclusively = 3356,
  errObjectInvalid = 3420,
  errConversion = 3421,
  errTypeMismatch = 3464,
  errDatabaseExists = 3204,
  errNoDatabase = 3343,
};

// The facility DAO reports its errors under; the low word is the number.
constexpr HRESULT DaoStatus(int number) {
  return static_cast<HRESULT>(0x800A0000u | (static_cast<std::uint32_t>(number) & 0xFFFFu));
}

// The description of an error number with its placeholder filled by `item`
// (a name, a path, an expression ...). Unknown numbers give a generic text.
std::string ErrorDescription(int number, const std::string& item = {});

class TDaoFailure : public std::exception {
 public:
  TDaoFailure(int number, std::string description)
      : number_(number), description_(std::move(description)) {}
  int Number() const { return number_; }
  const std::string& Description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int number_;
  std::string description_;
};

// Throws the error with its standard description.
[[noreturn]] void Fail(int number, const std::string& item = {});

}  // namespace dao
