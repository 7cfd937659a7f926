#include "platform/classlib/core/strings.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TStrings, TPersistent)
IMPLEMENT_CLASS(TStringList, TStrings)

namespace {

constexpr const char* kIndexError = "List index out of bounds (%d)";
constexpr const char* kSortedListError = "Operation not allowed on sorted string list";
constexpr const char* kDuplicateString = "String list does not allow duplicates";
constexpr const char* kLineBreak = "\r\n";

// Blanks and control characters separate delimited items.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// BeginUpdate/EndUpdate that also ends the update when an exception passes.
class UpdateScope {
 public:
  explicit UpdateScope(TStrings* strings) : strings_(strings) { strings_->BeginUpdate(); }
  ~UpdateScope() { strings_->EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  TStrings* strings_;
};

}  // namespace

// ---------------------------------------------------------------- TStrings

void TStrings::Error(const char* format, int value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  throw EStringListError(text);
}

int TStrings::Add(const std::string& s) {
  int index = GetCount();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings* strings) {
  UpdateScope update(this);
  const int count = strings->Count();  // fixed first: a list may add itself
  for (int i = 0; i < count; ++i) AddObject(strings->Get(i), strings->GetObject(i));
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::Exchange(int index1, int index2) {
  UpdateScope update(this);
  std::string s = Get(index1);
  TObject* object = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s);
  PutObject(index2, object);
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  UpdateScope update(this);
  std::string s = Get(curIndex);
  TObject* object = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, s, object);
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < GetCount(); ++i) {
    std::string s = Get(i);
    size_t eq = s.find('=');
    if (eq != std::string::npos && CompareStrings(s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  for (int i = 0; i < GetCount(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::Assign(const TPersistent* source) {
  if (auto strings = As<TStrings>(source)) {
    if (strings == this) return;
    UpdateScope update(this);
    Clear();
    AddStrings(strings);
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings* strings) const {
  if (!strings || strings->GetCount() != GetCount()) return false;
  for (int i = 0; i < GetCount(); ++i)
    if (Get(i) != strings->Get(i)) return false;
  return true;
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;  // unbalanced: nothing to end
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::Values(const std::string& name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
  int index = IndexOfName(name);
  if (!value.empty()) {
    if (index < 0)
      Add(name + "=" + value);
    else
      Put(index, name + "=" + value);
  } else if (index >= 0) {
    Delete(index);
  }
}

std::string TStrings::ValueFromIndex(int index) const {
  std::string s = Get(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

void TStrings::SetValueFromIndex(int index, const std::string& value) {
  if (value.empty())
    Delete(index);
  else
    Put(index, Names(index) + "=" + value);
}

std::string TStrings::CommaText() const { return JoinDelimited(',', '"'); }

void TStrings::SetCommaText(const std::string& text) { SplitDelimited(text, ',', '"'); }

std::string TStrings::DelimitedText() const { return JoinDelimited(delimiter_, quoteChar_); }

void TStrings::SetDelimitedText(const std::string& text) {
  SplitDelimited(text, delimiter_, quoteChar_);
}

std::string TStrings::JoinDelimited(char delimiter, char quote) const {
  int count = GetCount();
  if (count == 1 && Get(0).empty()) return std::string(2, quote);
  std::string result;
  for (int i = 0; i < count; ++i) {
    if (i > 0) result += delimiter;
    std::string s = Get(i);
    bool needsQuotes = std::any_of(s.begin(), s.end(), [&](char c) {
      return IsBlank(c) || c == quote || c == delimiter;
    });
    result += needsQuotes ? AnsiQuotedStr(s, quote) : s;
  }
  return result;
}

void TStrings::SplitDelimited(const std::string& text, char delimiter, char quote) {
  UpdateScope update(this);
  Clear();
  const size_t n = text.size();
  size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < n && IsBlank(text[pos])) ++pos;
  };
  skipBlanks();
  while (pos < n) {
    if (text[pos] == quote) {
      std::string_view rest = std::string_view(text).substr(pos);
      Add(AnsiExtractQuotedStr(rest, quote));
      pos = n - rest.size();
    } else {
      size_t start = pos;
      while (pos < n && !IsBlank(text[pos]) && text[pos] != delimiter) ++pos;
      Add(text.substr(start, pos - start));
    }
    skipBlanks();
    if (pos < n && text[pos] == delimiter) {
      if (pos + 1 == n) Add(std::string());  // a trailing delimiter ends with an empty item
      ++pos;
      skipBlanks();
    }
  }
}

std::string TStrings::GetTextStr() const {
  std::string result;
  for (int i = 0; i < GetCount(); ++i) {
    result += Get(i);
    result += kLineBreak;
  }
  return result;
}

void TStrings::SetTextStr(const std::string& text) {
  UpdateScope update(this);
  Clear();
  const size_t n = text.size();
  size_t pos = 0;
  while (pos < n) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = n;
    Add(text.substr(pos, end - pos));
    pos = end;
    if (pos < n && text[pos] == '\r') ++pos;
    if (pos < n && text[pos] == '\n') ++pos;
  }
}

void TStrings::LoadFromStream(TStream* stream) {
  int64_t size = stream->Size() - stream->Position();
  std::string text(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  stream->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  SetTextStr(text);
}

void TStrings::SaveToStream(TStream* stream) const {
  std::string text = GetTextStr();
  stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

TObject* TStrings::GetObject(int) const { return nullptr; }

void TStrings::Put(int index, const std::string& s) {
  TObject* object = GetObject(index);
  UpdateScope update(this);
  Delete(index);
  InsertObject(index, s, object);
}

void TStrings::PutObject(int, TObject*) {}

void TStrings::SetUpdateState(bool) {}

int TStrings::CompareStrings(const std::string& s1, const std::string& s2) const {
  return AnsiCompareText(s1, s2);
}

// ---------------------------------------------------------------- TStringList

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) Error(kIndexError, index);
}

void TStringList::CheckNotSorted() const {
  if (sorted_) Error(kSortedListError, 0);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

int TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::string& s, TObject* object) {
  int index = GetCount();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;  // the existing entry keeps its object
    if (duplicates_ == dupError) Error(kDuplicateString, 0);
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const std::string& s, TObject* object) {
  CheckNotSorted();
  if (index < 0 || index > GetCount()) Error(kIndexError, index);
  InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[index1], items_[index2]);
  Changed();
}

// Checked before anything moves, so a refused move loses nothing.
void TStringList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  CheckNotSorted();
  Changing();
  Item item = std::move(items_[curIndex]);
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, std::move(item));
  Changed();
}

bool TStringList::Find(const std::string& s, int& index) const {
  int low = 0, high = GetCount() - 1;
  bool found = false;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = CompareStrings(items_[middle].string, s);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) found = true;
    }
  }
  index = low;
  return found;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index = 0;
  return Find(s, index) ? index : -1;
}

void TStringList::Sort() {
  CustomSort([](TStringList* list, int a, int b) {
    return list->CompareStrings(list->items_[a].string, list->items_[b].string);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (sorted_ || GetCount() < 2) return;
  SortByIndex([&](int a, int b) { return compare(this, a, b); });
}

void TStringList::SortByIndex(const std::function<int(int, int)>& compare) {
  // The comparison sees the list unchanged while the order is worked out.
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return compare(a, b) < 0; });
  Changing();
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) {  // the order depends on the comparison
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

std::string TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[index].string;
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[index].object;
}

void TStringList::Put(int index, const std::string& s) {
  CheckNotSorted();
  CheckIndex(index);
  Changing();
  items_[index].string = s;
  Changed();
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[index].object = object;
  Changed();
}

int TStringList::CompareStrings(const std::string& s1, const std::string& s2) const {
  return caseSensitive_ ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}
