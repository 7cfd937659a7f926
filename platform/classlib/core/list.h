#pragma once
// TList: the class library's list of untyped pointers. It does not own what
// it points to. Index errors raise EListError "List index out of bounds (n)".

#include <functional>
#include <vector>

#include "platform/classlib/core/object.h"

// Returns < 0, 0 or > 0 as item1 sorts before, with or after item2.
using TListSortCompare = std::function<int(void* item1, void* item2)>;

class TList : public TObject {
  DECLARE_CLASS(TList, TObject)
 public:
  TList() = default;
  ~TList() override = default;

  // Appends; returns the new item's index.
  int Add(void* item);
  // 0 <= index <= Count.
  void Insert(int index, void* item);
  void Delete(int index);
  // Deletes the first occurrence; returns its former index, -1 when absent.
  int Remove(void* item);
  // Removes the first occurrence and returns it; nullptr when absent.
  void* Extract(void* item);
  int IndexOf(void* item) const;
  void Exchange(int index1, int index2);
  // Takes the item at curIndex out and puts it at newIndex.
  void Move(int curIndex, int newIndex);
  void Clear();
  // Removes every nullptr item.
  void Pack();
  // Sorts with the comparison; equal items keep their order.
  void Sort(const TListSortCompare& compare);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  // Makes room for more items when the list is full; returns the list.
  TList* Expand();
  // Makes this list a copy of source's items.
  void Assign(const TList* source);

  int Count() const { return static_cast<int>(items_.size()); }
  // Growing fills with nullptr; shrinking drops the items at the end.
  // Raises EListError "List count out of bounds (n)" for a negative count.
  void SetCount(int count);
  int Capacity() const { return capacity_; }
  // Raises EListError "List capacity out of bounds (n)" below Count.
  void SetCapacity(int capacity);

  void* Items(int index) const;
  void SetItems(int index, void* item);
  void* operator[](int index) const { return Items(index); }

  // The items themselves, for fast iteration.
  const std::vector<void*>& List() const { return items_; }

 protected:
  [[noreturn]] static void Error(const char* format, int value);
  void CheckIndex(int index) const;

 private:
  void Grow();

  std::vector<void*> items_;
  int capacity_ = 0;  // reported capacity; the vector reserves accordingly
};
