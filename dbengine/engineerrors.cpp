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
