#include "platform/classlib/core/list.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/english_settings.h"

namespace {

int a = 1, b = 2, c = 3, d = 4;

std::string ListErrorOf(const std::function<void()>& action) {
  return MessageOf<EListError>(action);
}

std::vector<void*> ItemsOf(const TList& list) { return list.List(); }

}  // namespace

TEST(ListTest, AddInsertDeleteRemoveExtract) {
  TList list;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&c), 1);
  list.Insert(1, &b);
  list.Insert(3, &d);  // inserting at Count appends
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b, &c, &d}));
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.Last(), &d);

  EXPECT_EQ(list.Remove(&c), 2);
  EXPECT_EQ(list.Remove(&c), -1);
  EXPECT_EQ(list.Extract(&a), &a);
  EXPECT_EQ(list.Extract(&a), nullptr);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&b, &d}));
  list.Delete(0);
  EXPECT_EQ(list.IndexOf(&d), 0);
  EXPECT_EQ(list.IndexOf(&b), -1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ListTest, IndexErrorsNameTheBadIndex) {
  TList list;
  list.Add(&a);
  list.Add(&b);
  EXPECT_EQ(ListErrorOf([&] { list.Items(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { list.Items(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListErrorOf([&] { list.SetItems(5, &c); }), "List index out of bounds (5)");
  EXPECT_EQ(ListErrorOf([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { list.Insert(3, &c); }), "List index out of bounds (3)");
  EXPECT_EQ(ListErrorOf([&] { list.Exchange(0, 2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { list.Move(7, 0); }), "List index out of bounds (7)");
  EXPECT_EQ(ListErrorOf([&] { list.SetCount(-1); }), "List count out of bounds (-1)");
  EXPECT_EQ(ListErrorOf([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b}));  // nothing changed

  TList empty;
  EXPECT_EQ(ListErrorOf([&] { empty.First(); }), "List index out of bounds (0)");
  EXPECT_EQ(ListErrorOf([&] { empty.Last(); }), "List index out of bounds (-1)");
}

TEST(ListTest, ExchangeMoveAndItems) {
  TList list;
  for (int* p : {&a, &b, &c, &d}) list.Add(p);
  list.Exchange(0, 3);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&d, &b, &c, &a}));
  list.Move(0, 2);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&b, &c, &d, &a}));
  list.Move(3, 0);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b, &c, &d}));
  list.SetItems(1, nullptr);
  EXPECT_EQ(list[1], nullptr);
}

TEST(ListTest, CountGrowsWithNilsAndPackRemovesThem) {
  TList list;
  list.Add(&a);
  list.SetCount(4);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, nullptr, nullptr, nullptr}));
  EXPECT_GE(list.Capacity(), 4);
  list.SetItems(2, &b);
  list.Pack();
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b}));
  list.SetCount(1);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a}));
}

TEST(ListTest, CapacityGrowsInTheLibrarySteps) {
  TList list;
  list.Add(&a);
  EXPECT_EQ(list.Capacity(), 4);
  for (int i = 0; i < 4; ++i) list.Add(&b);
  EXPECT_EQ(list.Capacity(), 8);
  for (int i = 0; i < 4; ++i) list.Add(&b);
  EXPECT_EQ(list.Capacity(), 12);
  for (int i = 0; i < 4; ++i) list.Add(&b);
  EXPECT_EQ(list.Capacity(), 28);  // past 8: steps of 16
  list.SetCapacity(100);
  EXPECT_EQ(list.Expand(), &list);
  EXPECT_EQ(list.Capacity(), 100);  // not full: nothing to do
  list.SetCount(100);
  list.Expand();
  EXPECT_EQ(list.Capacity(), 125);  // past 64: a quarter more
}

TEST(ListTest, SortIsStableAndAssignCopies) {
  struct Entry {
    int key;
    char tag;
  } e[] = {{3, 'a'}, {1, 'b'}, {3, 'c'}, {2, 'd'}, {1, 'e'}};
  TList list;
  for (Entry& x : e) list.Add(&x);
  list.Sort([](void* x, void* y) {
    return static_cast<Entry*>(x)->key - static_cast<Entry*>(y)->key;
  });
  std::string tags;
  for (void* p : list.List()) tags += static_cast<Entry*>(p)->tag;
  EXPECT_EQ(tags, "bedac");

  TList copy;
  copy.Add(&a);
  copy.Assign(&list);
  EXPECT_EQ(copy.List(), list.List());
  copy.Assign(&copy);
  EXPECT_EQ(copy.Count(), 5);
}
