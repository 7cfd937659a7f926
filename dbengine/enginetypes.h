#pragma once
// The byte layouts the engine exchanges with its callers: field descriptors,
// record and cursor properties, database and index descriptions, session
// information and filter reports. They are packed and their sizes are checked;
// where a slot holds a pointer it is pointer-sized (we build 64-bit), and the
// layout says so at that slot. The logical field types and the filter-expression
// blob are shared with the class library and defined there.

#include <cstddef>
#include <cstdint>

#include "platform/classlib/db/filterblob.h"

// A UTF-8 character takes at most this many bytes; text slots whose size is
// given in characters are sized with it so that the full count always fits.
constexpr std::size_t kMaxBytesPerChar = 4;
constexpr std::size_t TextSlotBytes(std::size_t characters) {
  return characters * kMaxBytesPerChar + 1;
}

#pragma pack(push, 1)

// The descriptor of one field.
struct TFieldDesc {
  std::uint16_t FieldNumber;  // from 1
  char Name[32];              // 31 bytes of UTF-8 and the terminator
  std::uint16_t FieldType;    // logical type (fldtype)
  std::uint16_t SubType;
  std::int16_t Units1;        // size in characters, or precision
  std::int16_t Units2;        // scale
  std::uint16_t Offset;       // of the value in the record buffer
  std::uint16_t Length;       // of the value in bytes
  std::uint16_t StatusOffset; // of the field's 8-byte status; 0 = none
  std::uint16_t CheckKind;    // validity-check kind
  std::uint16_t Rights;
  std::uint16_t Calculated;
  std::uint8_t Reserved[4];
  std::uint16_t DriverType;   // the driver's own type of the field
  std::uint16_t KeyWidth;     // width of the field inside a key buffer
};
static_assert(sizeof(TFieldDesc) == 62);
static_assert(offsetof(TFieldDesc, FieldType) == 34 && offsetof(TFieldDesc, Offset) == 42 &&
              offsetof(TFieldDesc, DriverType) == 58);

// The 8-byte status of one field inside a record buffer.
struct TFieldStatus {
  std::uint16_t Blank;  // 0xFFFF blank, 0 has a value
  std::uint8_t Spare[2];
  std::int32_t Changed; // -1 changed, 0 unchanged
};
static_assert(sizeof(TFieldStatus) == 8);

// Properties that accompany every fetched record.
struct TRecordProps {
  std::int32_t SeqNum;
  std::int32_t PhysicalRecNum;
  std::uint16_t Status;       // 0 unchanged, 1 modified, 2 inserted, 3 deleted
  std::uint16_t SeqNumChanged;
  std::int16_t DeleteFlag;    // -1 deleted
};
static_assert(sizeof(TRecordProps) == 14);

// Row status values of TRecordProps::Status.
namespace recstatus {
constexpr std::uint16_t Unmodified = 0;
constexpr std::uint16_t Modified = 1;
constexpr std::uint16_t Inserted = 2;
constexpr std::uint16_t Deleted = 3;
}  // namespace recstatus

// Open modes of a blob.
constexpr int kBlobReadWrite = 0;
constexpr int kBlobReadOnly = 1;

// Properties of an open cursor.
struct TCursorProps {
  char TableName[261];
  std::uint16_t FileNameSize;
  char TableType[32];
  std::uint16_t FieldCount;       // 295
  std::uint16_t RecordSize;       // 297
  std::uint16_t RecordBufferSize; // 299
  std::uint16_t KeySize;          // 301
  std::uint16_t IndexCount;       // 303
  std::uint16_t CheckCount;
  std::uint16_t RefCheckCount;
  std::uint16_t BookmarkSize;     // 309
  std::int16_t BookmarkStable;    // 311
  std::int32_t OpenMode;          // 313
  std::int32_t ShareMode;         // 317
  std::int16_t Indexed;           // 321
  std::int16_t SeqNums;           // 323
  std::int16_t SoftDeletes;
  std::int16_t DeletedOn;
  std::uint16_t RefRange;
  std::int32_t TranslateMode;     // 331
  std::uint16_t RestructureVersion;
  std::int16_t Unidirectional;    // 337
  std::uint16_t Rights;           // 339
  std::uint16_t Spare;
  std::uint16_t FamilyRights;
  std::uint16_t PasswordCount;
  std::uint16_t CodePage;
  std::int16_t Protected;
  std::uint16_t TableLevel;
  char LanguageDriver[32];
  std::int16_t FieldMap;
  std::uint16_t BlockSize;
  std::int16_t StrictRefIntegrity;
  std::uint16_t FilterCount;      // 391
  std::int16_t TempTable;
  std::uint16_t Unused[16];
};
static_assert(sizeof(TCursorProps) == 427);
static_assert(offsetof(TCursorProps, FieldCount) == 295 && offsetof(TCursorProps, IndexCount) == 303 &&
              offsetof(TCursorProps, BookmarkSize) == 309 && offsetof(TCursorProps, OpenMode) == 313 &&
              offsetof(TCursorProps, SeqNums) == 323 && offsetof(TCursorProps, TranslateMode) == 331 &&
              offsetof(TCursorProps, Unidirectional) == 337 && offsetof(TCursorProps, Rights) == 339 &&
              offsetof(TCursorProps, FilterCount) == 391);

// One database (alias) description; also a row of the database list.
struct TDatabaseDesc {
  char Name[32];
  char Text[32];
  char PhysicalPath[261];  // the database's directory
  char DriverType[32];
};
static_assert(sizeof(TDatabaseDesc) == 357);
static_assert(offsetof(TDatabaseDesc, PhysicalPath) == 64 && offsetof(TDatabaseDesc, DriverType) == 325);

// The description of one index.
struct TIndexDesc {
  char Name[261];
  std::uint16_t IndexId;            // 261
  char TagName[32];                 // 263
  char Format[32];                  // 295
  std::int16_t Primary;             // 327
  std::int16_t Unique;              // 329
  std::int16_t Descending;          // 331
  std::int16_t Maintained;          // 333
  std::int16_t Subset;
  std::int16_t ExpressionIndex;     // 337
  std::uint16_t Cost;
  std::uint16_t KeyFieldCount;      // 341
  std::uint16_t KeyLength;          // 343
  std::int16_t OutOfDate;
  std::uint16_t KeyExpressionType;
  std::uint16_t KeyFields[16];      // 349: field numbers in key order
  char KeyExpression[221];          // 381
  char KeyCondition[221];           // 602
  std::int16_t CaseInsensitive;     // 823
  std::uint16_t BlockSize;          // 825
  std::uint16_t RestrictionNumber;
  std::int16_t DescendingFields[16]; // 829: -1 for each descending key field
  std::uint16_t Reserved[16];
};
static_assert(sizeof(TIndexDesc) == 893);
static_assert(offsetof(TIndexDesc, Primary) == 327 && offsetof(TIndexDesc, KeyFieldCount) == 341 &&
              offsetof(TIndexDesc, KeyFields) == 349 && offsetof(TIndexDesc, BlockSize) == 825 &&
              offsetof(TIndexDesc, DescendingFields) == 829);

// What a session reports about itself.
struct TSessionInfo {
  std::uint16_t Position;     // in the call layer's list of sessions
  char Name[32];
  std::uint16_t DatabaseCount;
  std::uint16_t CursorCount;
  std::uint16_t LockWait;
  char NetworkDirectory[261];
  char PrivateDirectory[261];
};
static_assert(sizeof(TSessionInfo) == 562);

// The date format the call layer hands out.
struct TDateFormatRecord {
  char Separator[4];
  std::uint8_t Order;           // 0 month-day-year, 1 day-month-year, 2 year-month-day
  std::uint8_t FourDigitYear;
  std::uint8_t YearBiased;
  std::uint8_t MonthLeadingZero;
  std::uint8_t DayLeadingZero;
};
static_assert(sizeof(TDateFormatRecord) == 9);

struct TTimeFormatRecord {
  char Separator;
  std::uint8_t TwelveHour;
  char MorningText[6];
  char AfternoonText[6];
  std::uint8_t ShowSeconds;
  std::uint8_t ShowMilliseconds;
};
static_assert(sizeof(TTimeFormatRecord) == 16);

// What the engine reports about one filter of a cursor.
struct TFilterInfo {
  std::uint16_t FilterNumber;  // position in the cursor's filter list
  void* FilterHandle;          // pointer-sized slot (the filter object)
  std::intptr_t ClientData;    // pointer-sized slot: callers pass object addresses
  std::uint16_t Priority;
  std::int16_t CanAbort;       // -1 when set
  void* Callback;              // pointer-sized slot
  const void* Expression;      // pointer-sized slot (the engine's copy of the blob)
  std::int16_t Active;         // -1 when active
};
static_assert(sizeof(TFilterInfo) == 8 + 3 * sizeof(void*) + sizeof(std::intptr_t));

#pragma pack(pop)

// The width of a field's value in the engine's native form, as a cursor's
// ReadFieldValue writes it: fixed by the logical type, which can be wider than
// the stored length (a byte is read as a 16-bit integer, a single-precision
// number as a double); texts and bytes are as long as they are stored.
constexpr std::uint16_t NativeValueWidth(const TFieldDesc& d) {
  switch (d.FieldType) {
    case fldtype::Bool:
    case fldtype::Int16:
    case fldtype::UInt16: return 2;
    case fldtype::Int32:
    case fldtype::UInt32: return 4;
    case fldtype::Date:
    case fldtype::Time:
    case fldtype::Float:
    case fldtype::TimeStamp: return 8;
    case fldtype::FloatIEEE: return 10;
    case fldtype::BCD: return 34;
    default: return d.Length > d.KeyWidth ? d.Length : d.KeyWidth;
  }
}
