#pragma once
// Shared vocabulary of the data-access layer: field types, dataset states, data
// events, fetch modes, option sets, the record-buffer and bookmark types and the
// class library's EDatabaseError with its messages.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/typinfo.h"

class TDataSet;
class TField;
class TComponent;

// Data types of fields and parameters. The numbering is stored (parameter streams)
// and must not change.
DECLARE_ENUM(TFieldType,
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
  ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo,
  ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor)
constexpr int kFieldTypeCount = ftCursor + 1;
// "String", "Integer", ... as the messages name the types.
const char* FieldTypeName(TFieldType type);
bool IsBlobType(TFieldType type);
// The engine's logical type (fldtype) of a field or parameter type; 0 when it has none.
std::uint16_t LogicalFieldType(TFieldType type);

DECLARE_ENUM(TFieldKind, fkData, fkCalculated, fkLookup, fkInternalCalc)

// Dataset states; calc-fields is 5 and the numbering is relied upon by descendants.
enum TDataSetState : std::uint8_t {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue
};
constexpr bool IsEditState(TDataSetState s) { return s == dsEdit || s == dsInsert; }

// Notifications broadcast from a dataset to its data sources and links.
enum TDataEvent : std::uint8_t {
  deFieldChange,       // 0: a field's value changed (info: the field)
  deRecordChange,      // 1: the current record changed in place (info: field or 0)
  deDataSetChange,     // 2: the record window was rebuilt
  deDataSetScroll,     // 3: the window scrolled (info: rows scrolled)
  deLayoutChange,      // 4: fields were added, moved or changed visibility
  deUpdateRecord,      // 5: controls must write pending edits into their fields
  deUpdateState,       // 6: the dataset state changed
  deCheckBrowseMode,   // 7: the dataset is about to leave edit mode
  dePropertyChange,    // 8: the dataset's definitions changed (table name, SQL ...)
  deFieldListChange,   // 9: the field list changed
  deFocusControl       // 10: a control should take the focus (info: TField**)
};

// What FetchRecord is asked to read, and what it found.
enum TGetMode : std::uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : std::uint8_t { grOK, grBOF, grEOF, grError };

// Where a row of the record window stands relative to the cursor.
enum TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TResyncModeFlag { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeFlag>;

enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;

DECLARE_ENUM(TFilterOption, foCaseInsensitive, foNoPartialCompare)
using TFilterOptions = TSet<TFilterOption>;

enum TUpdateKind : std::uint8_t { ukModify, ukInsert, ukDelete };
enum TUpdateAction : std::uint8_t { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum TDataAction : std::uint8_t { daFail, daAbort, daRetry };
enum TUpdateStatus : std::uint8_t { usUnmodified, usModified, usInserted, usDeleted };
enum TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };

// One row of the record window. Its layout belongs to the dataset class.
using TRecordBuffer = char*;
// A bookmark made by GetBookmark (BookmarkSize bytes), released by FreeBookmark.
using TBookmark = char*;
// A bookmark kept as a byte string; empty when there is none.
using TBookmarkStr = std::string;

// The class library's dataset failure; the message names the component.
class EDatabaseError : public Exception {
  DECLARE_CLASS(EDatabaseError, Exception)
 public:
  using Exception::Exception;
};

// Raises EDatabaseError; with a component the message is prefixed "Name: ".
[[noreturn]] void DatabaseError(const std::string& message, const TComponent* component = nullptr);
// Replaces each %s of the pattern in turn by the arguments and raises.
[[noreturn]] void DatabaseErrorFmt(std::string_view pattern,
                                   std::initializer_list<std::string_view> args,
                                   const TComponent* component = nullptr);
// The names of a ";"-separated list, trimmed, empty entries dropped.
std::vector<std::string> SplitNameList(std::string_view names);
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

// The class library's messages, exactly as users see them.
namespace dbtext {
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* NotBrowsing = "Dataset not in browse mode";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* BookmarkNotFound = "Record not found or changed by another user";
inline constexpr const char* CircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* DataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* DuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* FieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* FieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* InvalidFieldSize = "Invalid field size";
inline constexpr const char* FieldTextTooLong = "The text for field '%s' is longer than its %s characters";
inline constexpr const char* FieldNameMissing = "Field name missing";
inline constexpr const char* FieldIndexError = "Field index out of range";
inline constexpr const char* LookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* NotAValidValue = "'%s' is not a valid value for field '%s'";
inline constexpr const char* FieldRangeError = "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* InvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* NoFieldIndexes = "No index currently active";
inline constexpr const char* IndexNotFound = "Index '%s' not found";
inline constexpr const char* NoIndexForFields = "No index for fields '%s'";
inline constexpr const char* DuplicateIndexName = "Duplicate index name '%s'";
inline constexpr const char* ParamNotFound = "Parameter '%s' not found";
inline constexpr const char* NotInCachedUpdates = "Not in cached update mode";
inline constexpr const char* FieldInFilter = "Cannot access field '%s' in a filter";
inline constexpr const char* ConstraintFailed = "Record or field constraint failed";
inline constexpr const char* NotIndexField = "Field '%s' is not indexed and cannot be modified";
inline constexpr const char* BlobNotSupported = "Blob streams are not supported by this dataset";
// Filter-expression parser.
inline constexpr const char* ExprTermination = "Filter expression incorrectly terminated";
inline constexpr const char* ExprNameError = "Unterminated field name";
inline constexpr const char* ExprStringError = "Unterminated string constant";
inline constexpr const char* ExprInvalidChar = "Invalid filter expression character: '%s'";
inline constexpr const char* ExprNoRParen = "')' expected but %s found";
inline constexpr const char* ExprExpected = "Expression expected but %s found";
inline constexpr const char* ExprBadNullTest = "NULL only allowed with '=' and '<>'";
inline constexpr const char* ExprIncorrect = "Incorrectly formed filter expression";
inline constexpr const char* ExprTooBig = "Filter expression is too large";
}  // namespace dbtext

// Event handler types; the first argument is always the sender.
using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet* dataSet, EDatabaseError& error, TDataAction& action)>;
using TFilterRecordEvent = std::function<void(TDataSet* dataSet, bool& accept)>;
using TUpdateErrorEvent = std::function<void(TDataSet* dataSet, EDatabaseError& error,
                                             TUpdateKind kind, TUpdateAction& action)>;
using TUpdateRecordEvent =
    std::function<void(TDataSet* dataSet, TUpdateKind kind, TUpdateAction& action)>;
