#pragma once
// The DAO interfaces the engine calls, served by our own implementation over
// SQLite. Every member returns a 32-bit status: 0 for success, otherwise a
// failure whose low 16 bits are the DAO error number (the DBEngine's Errors
// collection then holds the errors of that call, the first one first). Out
// values come back through the pointer arguments; objects handed out carry
// one reference that the caller releases.
//
// Types: VARIANT is Variant, BSTR is std::string (UTF-8), a byte SAFEARRAY is
// a varByte array Variant, VARIANT_BOOL is bool. An optional argument the
// caller leaves out is Variant::FromError(DISP_E_PARAMNOTFOUND). Where DAO
// hands out an object inside a VARIANT (Index.Fields, IndexFields.Item) the
// object comes as an IUnknown to be asked for the interface wanted.
//
// The server answers to the program identifiers "DAO.DBEngine.35" and
// "DAO.DBEngine" once DaoRegisterServer() has run.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/classlib/core/variant.h"
#include "platform/dao/openupkeep.h"
#include "platform/win32/com.h"

class DAOError;
class DAOErrors;
class DAODatabase;
class DAOTableDefs;
class DAOTableDef;
class DAOQueryDefs;
class DAOQueryDef;
class DAOParameters;
class DAOParameter;
class DAORecordset;
class DAOFields;
class DAOField;
class DAOIndexes;
class DAOIndex;
class DAOIndexFields;
struct DAOCellValue;
struct DAORecordMarks;

// Program identifiers of the two server versions (both served alike).
inline constexpr const char* kDaoProgId35 = "DAO.DBEngine.35";
inline constexpr const char* kDaoProgId30 = "DAO.DBEngine";

// Published interface identifiers, by version and character width.
inline constexpr const char* kIIDDBEngine35W = "{00000021-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDDBEngine35A = "{00000020-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDDBEngine30W = "{00025E17-0000-0000-C000-000000000046}";
inline constexpr const char* kIIDDBEngine30A = "{00025E16-0000-0000-C000-000000000046}";
inline constexpr const char* kIIDField35W = "{00000051-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDField35A = "{00000050-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDField30W = "{00025E4E-0000-0000-C000-000000000046}";
inline constexpr const char* kIIDField30A = "{00025E4D-0000-0000-C000-000000000046}";
inline constexpr const char* kIIDIndexFields35W = "{0000005D-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDIndexFields35A = "{0000005C-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kIIDIndexFields30W = "{00025E5B-0000-0000-C000-000000000046}";
inline constexpr const char* kIIDIndexFields30A = "{00025E5A-0000-0000-C000-000000000046}";

// Registers the server under both program identifiers, in this process and
// as class keys "\DAO.DBEngine.35" and "\DAO.DBEngine" under
// HKEY_CLASSES_ROOT of the settings store; unregistering removes both, so
// that tests reach the creation failures.
HRESULT DaoRegisterServer();
HRESULT DaoUnregisterServer();

// Sets how long a call waits for a database file that another process is
// writing before it fails with the lock error 3218 (default 5000 ms).
void DaoSetBusyTimeout(int milliseconds);

// What an open of a file made by an earlier build tells (openupkeep.h):
// DaoSetOpenHooks.

class DAOError : public IUnknown {
 public:
  virtual HRESULT get_Number(std::int32_t* number) = 0;
  virtual HRESULT get_Description(std::string* text) = 0;
  virtual HRESULT get_Source(std::string* text) = 0;
};

class DAOErrors : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOError** item) = 0;
};

class DAODBEngine : public IUnknown {
 public:
  virtual HRESULT get_Version(std::string* version) = 0;
  virtual HRESULT get_Errors(DAOErrors** errors) = 0;
  virtual HRESULT OpenDatabase(const std::string& name, const Variant& exclusive, const Variant& readOnly,
                               const Variant& connect, DAODatabase** database) = 0;
  // `locale` may carry ";pwd=..." to give the new file a password.
  virtual HRESULT CreateDatabase(const std::string& name, const std::string& locale, const Variant& option,
                                 DAODatabase** database) = 0;
  virtual HRESULT BeginTrans() = 0;
  virtual HRESULT CommitTrans() = 0;                      // the older form
  virtual HRESULT CommitTrans(std::int32_t options) = 0;  // the newer form
  virtual HRESULT Rollback() = 0;
  virtual HRESULT Idle(const Variant& action) = 0;
};

class DAODatabase : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT get_Updatable(bool* updatable) = 0;
  virtual HRESULT get_TableDefs(DAOTableDefs** tableDefs) = 0;
  virtual HRESULT get_QueryDefs(DAOQueryDefs** queryDefs) = 0;
  virtual HRESULT OpenRecordset(const std::string& name, const Variant& type, const Variant& options,
                                DAORecordset** recordset) = 0;
  virtual HRESULT Execute(const std::string& query, const Variant& options) = 0;
  // Rows changed by the last Execute on this database (0 for definitions and
  // after a failed Execute).
  virtual HRESULT get_RecordsAffected(std::int32_t* count) = 0;
  virtual HRESULT CreateQueryDef(const Variant& name, const Variant& sql, DAOQueryDef** queryDef) = 0;
  virtual HRESULT Close() = 0;
};

class DAOTableDefs : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOTableDef** item) = 0;
};

class DAOTableDef : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT put_Name(const std::string& name) = 0;
  virtual HRESULT get_Attributes(std::int32_t* attributes) = 0;
  virtual HRESULT get_RecordCount(std::int32_t* count) = 0;
  virtual HRESULT get_Fields(DAOFields** fields) = 0;
  virtual HRESULT get_Indexes(DAOIndexes** indexes) = 0;
  virtual HRESULT OpenRecordset(const Variant& type, const Variant& options, DAORecordset** recordset) = 0;
};

class DAOQueryDefs : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOQueryDef** item) = 0;
};

class DAOQueryDef : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT put_Name(const std::string& name) = 0;
  virtual HRESULT get_SQL(std::string* sql) = 0;
  virtual HRESULT get_Fields(DAOFields** fields) = 0;
  virtual HRESULT get_Parameters(DAOParameters** parameters) = 0;
  virtual HRESULT OpenRecordset(const Variant& type, const Variant& options, DAORecordset** recordset) = 0;
  virtual HRESULT Execute(const Variant& options) = 0;
};

class DAOParameters : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOParameter** item) = 0;
};

class DAOParameter : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT get_Value(Variant* value) = 0;
  virtual HRESULT put_Value(const Variant& value) = 0;
  virtual HRESULT get_Type(std::int16_t* type) = 0;
};

class DAORecordset : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT get_Type(std::int16_t* type) = 0;  // 1 table, 2 dynaset
  virtual HRESULT get_Updatable(bool* updatable) = 0;
  virtual HRESULT get_Fields(DAOFields** fields) = 0;
  virtual HRESULT get_Indexes(DAOIndexes** indexes) = 0;
  virtual HRESULT get_BOF(bool* bof) = 0;
  virtual HRESULT get_EOF(bool* eof) = 0;
  virtual HRESULT get_NoMatch(bool* noMatch) = 0;
  virtual HRESULT get_EditMode(std::int16_t* mode) = 0;
  virtual HRESULT get_RecordCount(std::int32_t* count) = 0;
  virtual HRESULT get_Bookmark(Variant* bookmark) = 0;
  virtual HRESULT put_Bookmark(const Variant& bookmark) = 0;
  virtual HRESULT get_LastModified(Variant* bookmark) = 0;
  virtual HRESULT get_AbsolutePosition(std::int32_t* position) = 0;
  virtual HRESULT put_AbsolutePosition(std::int32_t position) = 0;
  virtual HRESULT get_Index(std::string* index) = 0;
  virtual HRESULT put_Index(const std::string& index) = 0;
  virtual HRESULT AddNew() = 0;
  virtual HRESULT Edit() = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT CancelUpdate() = 0;
  virtual HRESULT Delete() = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT MoveFirst() = 0;
  virtual HRESULT MoveLast() = 0;
  virtual HRESULT MoveNext() = 0;
  virtual HRESULT MovePrevious() = 0;
  // Brings the recordset up to the database as it stands: every move reads
  // others' changes already (see get_RowReads), so what is left is to refuse
  // (3043) when the path no longer names the file the connection holds.
  virtual HRESULT Requery() = 0;
  // Keys left out are omitted arguments; at most thirteen.
  virtual HRESULT Seek(const std::string& comparison, const Variant& key1, const Variant& key2,
                       const Variant& key3, const Variant& key4, const Variant& key5, const Variant& key6,
                       const Variant& key7, const Variant& key8, const Variant& key9, const Variant& key10,
                       const Variant& key11, const Variant& key12, const Variant& key13) = 0;
  // Not DAO's own: an SQL condition on the table's columns that the moves of a
  // table-type recordset skip the other rows by (empty: none). The engine uses
  // it to let the database pre-select what its record filters may accept. A
  // condition that does not suit the table is 3001 and leaves none; other
  // recordsets ignore it.
  // `bands`, when given, are conditions that together hold for every row the
  // condition and the engine may accept, each answered from the current
  // index, disjoint and listed in the order of the forward moves: a read
  // takes the rows of each in turn, so that the index narrows where to look.
  // `point`, when given with three bands or more, holds values of the index's
  // first columns: the first band then holds every row before that point in
  // the index's order, the last every row after it, and the others lie within
  // it. A read then asks each part of the index only the bands that can hold
  // rows there.
  virtual HRESULT put_RowCondition(const std::string& condition, const std::vector<std::string>& bands,
                                   const std::vector<Variant>& point = {}) = 0;
  // Not DAO's own: a count that changes whenever the recordset reads its
  // current record afresh (a move, or a large value read later that finds
  // the row changed meanwhile). The engine compares it with the count of the
  // read its record buffer holds, to know whether the two are one version.
  virtual HRESULT get_RowReads(std::int64_t* reads) = 0;
  // Not DAO's own: the current record's bookmark as the number its four bytes
  // hold (little-endian), without building the byte array. The engine asks
  // for it with every record it reads.
  virtual HRESULT get_BookmarkWord(std::int32_t* word) = 0;
  // Not DAO's own: the current values of the first `count` fields, in field
  // order, without a variant each (see DAOCellValue), in one call: a reader that
  // copies every field of every record pays the call once per record, not per
  // field. A memo or binary value is left unread (it is read on demand): it
  // comes as Unread with its size as get_FieldSize answers it. With `marks`,
  // what such a reader asks next (see DAORecordMarks) comes in the same call.
  virtual HRESULT GetRecordValues(DAOCellValue* values, std::int32_t count, DAORecordMarks* marks) = 0;
};

class DAOFields : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOField** item) = 0;
};

// Not DAO's own: a field's current value as stored, for readers that copy
// every field of every record (DAORecordset::GetRecordValues) and would
// otherwise build a variant for each.
// Numbers come converted by the field's type as get_Value converts them:
// Integer for Boolean, Byte, Integer, Long and Currency (its raw amount), Real
// for Single, Double and Date. Other types give what the row holds: Text (its
// bytes) or, where a number was stored, Integer or Real. The text is the
// recordset's own: it stays valid until the recordset moves or changes. An
// Unread value (see DAORecordset::GetRecordValues) holds its size in `integer`.
struct DAOCellValue {
  enum Kind : std::uint8_t { Null, Integer, Real, Text, Unread };
  Kind kind = Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view text;
};

// Not DAO's own: what the engine asks with every record it reads, answered
// with its values (DAORecordset::GetRecordValues) rather than by a call each.
struct DAORecordMarks {
  std::int64_t rowReads = 0;  // as get_RowReads answers it after the values
  // As get_BookmarkWord answers it; where that fails (no current record, an
  // addition under way) hasBookmark is false and the word 0.
  bool hasBookmark = false;
  std::int32_t bookmarkWord = 0;
  // The record was read by a move that applied the recordset's row condition
  // (put_RowCondition), which is still its condition, and nobody has read it
  // afresh or written it since: it meets that condition as read.
  bool meetsRowCondition = false;
};

class DAOField : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT put_Name(const std::string& name) = 0;
  virtual HRESULT get_Type(std::int16_t* type) = 0;
  virtual HRESULT get_Size(std::int32_t* size) = 0;
  virtual HRESULT get_FieldSize(std::int32_t* size) = 0;
  virtual HRESULT get_Attributes(std::int32_t* attributes) = 0;
  virtual HRESULT get_Required(bool* required) = 0;
  virtual HRESULT get_AllowZeroLength(bool* allow) = 0;
  virtual HRESULT get_SourceTable(std::string* table) = 0;
  virtual HRESULT get_SourceField(std::string* field) = 0;
  virtual HRESULT get_Value(Variant* value) = 0;
  virtual HRESULT put_Value(const Variant& value) = 0;
  virtual HRESULT GetChunk(std::int32_t offset, std::int32_t bytes, Variant* chunk) = 0;
  virtual HRESULT AppendChunk(const Variant& chunk) = 0;
  // Not DAO's own: a memo or binary value whole, as its bytes (a Null one
  // as none), copied once into `bytes` rather than into a variant first:
  // the engine reads a record's memo this way on every record it shows.
  // Fails as GetChunk fails.
  virtual HRESULT GetWholeValue(std::string* bytes) = 0;
};

class DAOIndexes : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  virtual HRESULT get_Item(const Variant& index, DAOIndex** item) = 0;
};

class DAOIndex : public IUnknown {
 public:
  virtual HRESULT get_Name(std::string* name) = 0;
  virtual HRESULT put_Name(const std::string& name) = 0;
  virtual HRESULT get_Unique(bool* unique) = 0;
  virtual HRESULT get_Primary(bool* primary) = 0;
  virtual HRESULT get_Required(bool* required) = 0;
  virtual HRESULT get_IgnoreNulls(bool* ignoreNulls) = 0;
  // The IndexFields object, to be asked for one of the IndexFields identifiers.
  virtual HRESULT get_Fields(IUnknown** fields) = 0;
};

class DAOIndexFields : public IUnknown {
 public:
  virtual HRESULT get_Count(std::int16_t* count) = 0;
  // A field object, to be asked for one of the Field identifiers (DAOField).
  virtual HRESULT get_Item(const Variant& index, IUnknown** item) = 0;
};
