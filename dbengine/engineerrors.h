#pragma once
// Engine failures. Every failure inside the engine is an EMorvaEngineError that
// carries a 16-bit result code; the call layer turns it into that code and one
// entry of the error stack, from which the components build their texts.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/classlib/core/exceptions.h"

// A 16-bit engine result code: category * 256 + sub-code, 0 for success.
using DBIResult = std::uint16_t;

// The codes the engine itself raises.
namespace dberr {
constexpr DBIResult None = 0x0000;
constexpr DBIResult Bof = 0x2201;
constexpr DBIResult Eof = 0x2202;
constexpr DBIResult NoCurrRec = 0x2205;
constexpr DBIResult RecNotFound = 0x2206;
constexpr DBIResult EndOfBlob = 0x2207;
constexpr DBIResult NoDiskSpace = 0x2503;
constexpr DBIResult DriverLimit = 0x2513;
constexpr DBIResult InvalidParam = 0x2702;
constexpr DBIResult InvalidHndl = 0x2706;
constexpr DBIResult NoSuchIndex = 0x270D;
constexpr DBIResult InvalidBlobOffset = 0x270E;
constexpr DBIResult InvalidRecStruct = 0x2713;
constexpr DBIResult UnknownDb = 0x271E;
constexpr DBIResult InvalidPassword = 0x271F;
constexpr DBIResult InvalidIndexName = 0x2726;
constexpr DBIResult NoSuchTable = 0x2728;
constexpr DBIResult InvalidKey = 0x272A;
constexpr DBIResult NoSuchFilter = 0x2742;
constexpr DBIResult InvalidFilter = 0x2743;
constexpr DBIResult InvalidTableCreate = 0x2744;
constexpr DBIResult ReadOnlyFld = 0x2906;
constexpr DBIResult NotABlob = 0x2A01;
constexpr DBIResult BlobOpened = 0x2A02;
constexpr DBIResult NA = 0x2A04;
constexpr DBIResult NotIndexed = 0x2A05;
constexpr DBIResult NotInitialized = 0x2A06;
constexpr DBIResult TableReadOnly = 0x2A0B;
constexpr DBIResult NoAssocIndex = 0x2A0C;
constexpr DBIResult NotSupported = 0x3001;
constexpr DBIResult TableExists = 0x3304;
}  // namespace dberr

// An engine failure with its code. Silent (an EAbort) so that the class
// library's global handler never shows it by itself: texts reach the user
// only through the error stack.
class EMorvaEngineError : public EAbort {
  DECLARE_CLASS(EMorvaEngineError, EAbort)
 public:
  explicit EMorvaEngineError(DBIResult code, std::string context = {});
  static EMorvaEngineError CreateCode(DBIResult code) { return EMorvaEngineError(code); }
  static EMorvaEngineError CreateCodeText(DBIResult code, std::string context) {
    return EMorvaEngineError(code, std::move(context));
  }

  DBIResult ErrorCode = 0;
  std::string ErrorContext;     // at most 255 characters
  std::int32_t NativeError = 0;  // set by driver errors

  // Further text of a driver error (its collected messages); empty here.
  virtual std::string GetDetailText() const { return {}; }
};

// A move or read went past an end of the table or range (EOF or BOF).
class EMorvaBoundryError : public EMorvaEngineError {
  DECLARE_CLASS(EMorvaBoundryError, EMorvaEngineError)
 public:
  using EMorvaEngineError::EMorvaEngineError;
  static EMorvaBoundryError CreateEof() { return EMorvaBoundryError(dberr::Eof); }
  static EMorvaBoundryError CreateBof() { return EMorvaBoundryError(dberr::Bof); }
};

[[noreturn]] void RaiseEngineError(DBIResult code);
[[noreturn]] void RaiseEngineErrorText(DBIResult code, std::string_view context);
[[noreturn]] void RaiseEofError();
[[noreturn]] void RaiseBofError();
[[noreturn]] void RaiseNotSupported();

// Raises the code when the condition is false.
bool CheckEngine(bool condition, DBIResult code);

// Raises the code when the pointer is nil; returns the pointer.
template <class T>
T* CheckAssigned(T* pointer, DBIResult code) {
  if (pointer == nullptr) RaiseEngineError(code);
  return pointer;
}
template <class T>
T* CheckParam(T* pointer) { return CheckAssigned(pointer, dberr::InvalidParam); }
template <class T>
T* CheckHandle(T* pointer) { return CheckAssigned(pointer, dberr::InvalidHndl); }

// One (from, to) pair of an error-code translation table.
struct TErrorCodeMapping {
  DBIResult From;
  DBIResult To;
};

// The "to" of the first pair whose "from" is the code; the code itself when it
// is 0, the table is empty or no pair matches.
DBIResult MapErrorCode(const TErrorCodeMapping* table, std::size_t count, DBIResult code);

// "DBIERR_" and the code's published name, or "Morva (BDE) Error %d." with the
// code as a signed 16-bit number; cut to 255 and then to maxLength characters.
std::string EngineErrorText(DBIResult code, std::size_t maxLength = 255);

#pragma pack(push, 1)
// One entry of the error stack, as the call layer hands it out.
struct TErrorStackEntry {
  std::int32_t NativeError;
  char DetailText[262];
  DBIResult ErrorCode;
  char CodeText[128];
  char Context[4][128];  // four context lines; the exception's context fills them in order
};
#pragma pack(pop)
static_assert(sizeof(TErrorStackEntry) == 908);

// The failures of the latest call-layer entry, newest first (entry 1).
class TErrorStack : public TObject {
  DECLARE_CLASS(TErrorStack, TObject)
 public:
  static constexpr std::uint16_t MaxCapacity = 20;

  explicit TErrorStack(std::uint16_t capacity);
  ~TErrorStack() override;

  std::uint16_t Capacity() const { return capacity_; }
  std::uint16_t Count() const { return count_; }
  bool HasEntries() const { return count_ > 0; }

  void Clear() { count_ = 0; }
  // Stores the entry as entry 1; when full, the oldest entry is dropped.
  void Push(const TErrorStackEntry& entry);
  void PushException(const EMorvaEngineError& e);
  // Copies entry n (1 = newest); false for 0 or n > Count.
  bool GetEntry(std::uint16_t n, TErrorStackEntry& entry) const;

 private:
  std::uint16_t capacity_;
  std::uint16_t count_ = 0;
  TErrorStackEntry* entries_ = nullptr;  // allocated at the first push
};

namespace dbengine_detail {
struct TEngineErrorName {
  DBIResult Code;
  const char* Name;
};
// The published codes in ascending order, and their names (generated).
extern const TEngineErrorName kEngineErrorNames[];
extern const std::size_t kEngineErrorNameCount;
}  // namespace dbengine_detail
