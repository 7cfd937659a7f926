#include "platform/classlib/core/list.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/classlib/core/exceptions.h"

IMPLEMENT_CLASS(TList, TObject)

void TList::Error(const char* format, int value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  throw EListError(text);
}

void TList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) Error("List index out of bounds (%d)", index);
}

// The class library's growth steps: small lists by 4, medium by 16, large by a quarter.
void TList::Grow() {
  int delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
  SetCapacity(capacity_ + delta);
}

int TList::Add(void* item) {
  if (Count() == capacity_) Grow();
  items_.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) Error("List index out of bounds (%d)", index);
  if (Count() == capacity_) Grow();
  items_.insert(items_.begin() + index, item);
}

void TList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

int TList::Remove(void* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  int index = IndexOf(item);
  if (index < 0) return nullptr;
  Delete(index);
  return item;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[index1], items_[index2]);
}

void TList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = items_[curIndex];
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  capacity_ = 0;
}

void TList::Pack() { std::erase(items_, nullptr); }

void TList::Sort(const TListSortCompare& compare) {
  // A stable merge sort: no out-of-range access even with an inconsistent comparison.
  std::stable_sort(items_.begin(), items_.end(),
                   [&](void* a, void* b) { return compare(a, b) < 0; });
}

TList* TList::Expand() {
  if (Count() == capacity_) Grow();
  return this;
}

void TList::Assign(const TList* source) {
  if (source == this) return;
  Clear();
  SetCapacity(source->Count());
  items_ = source->items_;
}

void TList::SetCount(int count) {
  if (count < 0) Error("List count out of bounds (%d)", count);
  if (count > capacity_) SetCapacity(count);
  items_.resize(count, nullptr);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count()) Error("List capacity out of bounds (%d)", capacity);
  items_.reserve(capacity);
  capacity_ = capacity;
}

void* TList::Items(int index) const {
  CheckIndex(index);
  return items_[index];
}

void TList::SetItems(int index, void* item) {
  CheckIndex(index);
  items_[index] = item;
}
