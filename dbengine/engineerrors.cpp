// From a failed SQLite call to the message the user reads
// ========================================================
//
// A failure crosses five layers, each turning it into its own kind once:
//
// 1. SQLite -> DAO error (platform/dao/store.cpp, Connection::Raise): the
//    result code picks the DAO number (busy/locked -> 3218, read-only -> 3027,
//    not a database -> 3049, a full disk -> 3026, a broken constraint -> 3022
//    or 3314 ...); SQLite's own message is kept only where no number says it
//    (3000, "reserved error").
//    Refusals of the sharing and lock protocol (locks.cpp) are DAO numbers
//    from the start, and so is a file moved, removed or replaced under an
//    open connection (3043, looked for before every write transaction).
//    Thrown as TDaoFailure(number, description).
// 2. DAO error -> COM status (platform/dao/daoobjects.cpp, Guard): every
//    interface member catches it and returns a failing HRESULT; the number and
//    text go into the DAO engine's Errors collection.
// 3. COM status -> engine error (dbengine/accesserrors.cpp): the status check
//    of the engine's DAO wrappers raises EAccessEngineError, whose code is the
//    engine code the DAO number maps to (MapDaoErrorNumber: 3026, a full
//    disk, becomes the engine's own NODISKSPACE) and whose context is the
//    Errors collection's texts. Engine code of its own raises EMorvaEngineError
//    (here) with a code and a context.
// 4. engine error -> result code (dbengine/virteng.cpp, TVirtEng::Trap):
//    every call into the engine catches EMorvaEngineError, pushes it on the
//    engine's error stack (TErrorStack below: code, context, native number)
//    and returns the code; nothing escapes the call layer as an exception.
// 5. result code -> exception -> message box (dbengine/ttsession.cpp,
//    EngineCheck): the data-access components raise ETDBEngineError, one entry
//    per stack level, whose message joins the entries' distinct texts (the
//    code's name from the generated table, errorcodetable.cpp, when a level
//    has no text). It unwinds to the event handler that started the action;
//    TApplication::HandleException shows it through the dialogs library's
//    error box (the responder hook in tests). EAbort is the silent exception:
//    it ends an action without a box.
//
// So a test of a refusal checks the DAO number at layer 1 or 2, the engine
// code at layer 4, and the text of the box at layer 5.

#include "dbengine/engineerrors.h"

#include <algorithm>
#include <cstring>

#include "dbengine/enginetext.h"

using dbengine_detail::CutChars;
using dbengine_detail::StoreText;

IMPLEMENT_CLASS(EMorvaEngineError, EAbort)
IMPLEMENT_CLASS(EMorvaBoundryError, EMorvaEngineError)
IMPLEMENT_CLASS(TErrorStack, TObject)

EMorvaEngineError::EMorvaEngineError(DBIResult code, std::string context)
    : EAbort(std::string()), ErrorCode(code), ErrorContext(CutChars(context, 255)) {}

void RaiseEngineError(DBIResult code) { throw EMorvaEngineError(code); }

void RaiseEngineErrorText(DBIResult code, std::string_view context) {
  throw EMorvaEngineError(code, std::string(context));
}

void RaiseEofError() { throw EMorvaBoundryError::CreateEof(); }
void RaiseBofError() { throw EMorvaBoundryError::CreateBof(); }
void RaiseNotSupported() { RaiseEngineError(dberr::NotSupported); }

bool CheckEngine(bool condition, DBIResult code) {
  if (!condition) RaiseEngineError(code);
  return true;
}

DBIResult MapErrorCode(const TErrorCodeMapping* table, std::size_t count, DBIResult code) {
  if (code == 0 || count == 0 || table == nullptr) return code;
  for (std::size_t i = 0; i < count; ++i)
    if (table[i].From == code) return table[i].To;
  return code;
}

std::string EngineErrorText(DBIResult code, std::size_t maxLength) {
  using namespace dbengine_detail;
  const TEngineErrorName* first = kEngineErrorNames;
  const TEngineErrorName* last = kEngineErrorNames + kEngineErrorNameCount;
  const TEngineErrorName* hit = std::lower_bound(
      first, last, code, [](const TEngineErrorName& e, DBIResult c) { return e.Code < c; });
  std::string text;
  if (hit != last && hit->Code == code)
    text = std::string("DBIERR_") + hit->Name;
  else
    text = "Morva (BDE) Error " + std::to_string(static_cast<std::int16_t>(code)) + ".";
  return CutChars(text, std::min<std::size_t>(255, maxLength));
}

TErrorStack::TErrorStack(std::uint16_t capacity)
    : capacity_(std::min<std::uint16_t>(capacity, MaxCapacity)) {}

TErrorStack::~TErrorStack() { delete[] entries_; }

void TErrorStack::Push(const TErrorStackEntry& entry) {
  if (capacity_ == 0) return;
  if (entries_ == nullptr) entries_ = new TErrorStackEntry[capacity_]();
  std::uint16_t kept = std::min<std::uint16_t>(count_, capacity_ - 1);
  std::memmove(entries_ + 1, entries_, kept * sizeof(TErrorStackEntry));
  entries_[0] = entry;
  count_ = kept + 1;
}

void TErrorStack::PushException(const EMorvaEngineError& e) {
  TErrorStackEntry entry{};
  entry.ErrorCode = e.ErrorCode;
  StoreText(entry.CodeText, EngineErrorText(e.ErrorCode, 255));
  entry.NativeError = e.NativeError;
  StoreText(entry.DetailText, e.GetDetailText());
  // A long context continues on the next line rather than being lost.
  std::string_view rest = e.ErrorContext;
  for (auto& line : entry.Context) {
    std::string_view part = dbengine_detail::CutBytes(rest, sizeof(line) - 1);
    StoreText(line, part);
    rest.remove_prefix(part.size());
  }
  Push(entry);
}

bool TErrorStack::GetEntry(std::uint16_t n, TErrorStackEntry& entry) const {
  if (n == 0 || n > count_) return false;
  entry = entries_[n - 1];
  return true;
}
