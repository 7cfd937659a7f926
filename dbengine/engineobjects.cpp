#include "dbengine/engineobjects.h"

#include <algorithm>
#include <cstring>

#include "dbengine/enginetext.h"
#include "platform/win32/system.h"

IMPLEMENT_CLASS(TBapiListItem, TObject)
IMPLEMENT_CLASS(TMorvaCollection, TObject)
IMPLEMENT_CLASS(TSortedCollection, TMorvaCollection)

// ---- TBapiListItem

TBapiListItem::TBapiListItem(TBapiListItem* ownerHandle, TMorvaCollection* ownerList)
    : ownerHandle_(ownerHandle), ownerList_(ownerList) {
  if (ownerList_ != nullptr) ownerList_->Insert(this);
}

TBapiListItem::~TBapiListItem() {
  if (ownerList_ != nullptr) ownerList_->Remove(this);
}

void TBapiListItem::JoinOwnerList(TMorvaCollection* ownerList) {
  if (ownerList_ != nullptr) ownerList_->Remove(this);
  ownerList_ = ownerList;
  if (ownerList_ != nullptr) ownerList_->Insert(this);
}

int TBapiListItem::IndexInOwner() const {
  return ownerList_ != nullptr ? ownerList_->IndexOf(this) : 0;
}

void TBapiListItem::GetProperty(TPropertyId, void*, std::uint16_t, std::uint16_t& length) {
  length = 0;
  RaiseNotSupported();
}

void TBapiListItem::SetProperty(TPropertyId, TPropertyValue) {}  // values are ignored

void TBapiListItem::CheckPropertyValue(TPropertyId, TPropertyValue) {}  // every value is accepted

void TBapiListItem::PutPropertyBytes(const void* value, std::size_t n, void* buffer,
                                     std::uint16_t size, std::uint16_t& length) {
  length = 0;
  CheckParam(buffer);
  std::size_t written = std::min<std::size_t>(n, size);
  std::memcpy(buffer, value, written);
  length = static_cast<std::uint16_t>(written);
}

// ---- TMorvaCollection

TMorvaCollection::~TMorvaCollection() { FreeAll(); }

void TMorvaCollection::Insert(TObject* item) { items_.Add(item); }

TObject* TMorvaCollection::At(int position) const { return static_cast<TObject*>(items_.Items(position)); }

void TMorvaCollection::AtInsert(int position, TObject* item) { items_.Insert(position, item); }

void TMorvaCollection::AtDelete(int position) { items_.Delete(position); }

void TMorvaCollection::Remove(TObject* item) { items_.Remove(item); }

int TMorvaCollection::IndexOf(const TObject* item) const {
  return items_.IndexOf(const_cast<TObject*>(item));
}

void TMorvaCollection::FreeAll() {
  // An item may leave the list itself while being freed (engine objects do),
  // so take each one out before freeing it.
  while (items_.Count() > 0) {
    auto* item = static_cast<TObject*>(items_.Last());
    items_.Delete(items_.Count() - 1);
    FreeItem(item);
  }
}

void TMorvaCollection::FreeItem(TObject* item) { delete item; }

// ---- TSortedCollection

void TSortedCollection::Insert(TObject* item) {
  int position = 0;
  bool found = Search(KeyOf(item), position);
  if (found && !Duplicates) return;
  AtInsert(position, item);
}

bool TSortedCollection::Search(const void* key, int& position) const {
  int low = 0;
  int high = Count() - 1;
  bool found = false;
  while (low <= high) {
    int middle = (low + high) / 2;
    int c = Compare(KeyOf(At(middle)), key);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (!Duplicates) low = middle;
      }
    }
  }
  position = low;
  return found;
}

// ---- Byte and text routines

int CompareBytes(const void* a, const void* b, std::uint16_t count) {
  if (count == 0) return 0;
  int c = std::memcmp(a, b, count);  // compares as unsigned bytes
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void AppendChar(std::string& text, std::size_t maxLength, char ch) {
  if (text.size() < maxLength) text.push_back(ch);
}

std::string GetNetworkUserName() {
  char name[256] = {};
  DWORD length = sizeof name;
  if (WNetGetUserA(nullptr, name, &length) != NO_ERROR) return {};
  return dbengine_detail::SlotText(name);
}

std::string AddTrailingBackslash(std::string_view path) {
  std::string result = dbengine_detail::CutChars(path, 255);
  if (!result.empty() && (result.back() == '\\' || result.back() == '/')) return result;
  bool slashStyle = result.find('/') != std::string::npos && result.find('\\') == std::string::npos;
  if (dbengine_detail::CutChars(result, 254).size() == result.size())
    result.push_back(slashStyle ? '/' : '\\');
  return result;
}

void ZeroFill(void* buffer, std::uint16_t count) {
  if (count > 0) std::memset(buffer, 0, count);
}

bool IsAllZero(const void* buffer, std::uint16_t count) {
  const auto* p = static_cast<const unsigned char*>(buffer);
  return std::all_of(p, p + count, [](unsigned char c) { return c == 0; });
}

std::string RemoveChar(std::string_view text, char ch) {
  std::string result;
  for (char c : text)
    if (c != ch) result.push_back(c);
  return result;
}

bool HasPathPart(std::string_view name, unsigned flags) {
  if (name.find_first_of(":\\/") != std::string_view::npos) return true;
  return (flags & 1) != 0 && name.find('.') != std::string_view::npos;
}

bool ReplaceFirst(std::string& text, std::string_view pattern, const char* replacement,
                  std::size_t maxLength) {
  std::size_t at = pattern.empty() ? std::string::npos : text.find(pattern);
  if (at == std::string::npos) return false;
  text.replace(at, pattern.size(), replacement != nullptr ? replacement : "");
  text = dbengine_detail::CutChars(text, maxLength);
  return true;
}

std::string& CutAtChar(std::string& text, char ch) {
  std::size_t at = text.find(ch);
  if (at != std::string::npos) text.erase(at);
  return text;
}
