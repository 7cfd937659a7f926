#include "dbengine/engineobjects.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testcursor.h"

namespace {

// Records the order in which items are freed.
struct TTracked : TObject {
  TTracked(int id, std::vector<int>* log) : Id(id), Log(log) {}
  ~TTracked() override { if (Log) Log->push_back(Id); }
  int Id;
  std::vector<int>* Log;
};

class TIntCollection : public TSortedCollection {
 public:
  const void* KeyOf(TObject* item) const override { return &static_cast<TTracked*>(item)->Id; }
  int Compare(const void* a, const void* b) const override {
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
  }
};

TEST(ByteRoutines, CompareBytesIsUnsigned) {
  EXPECT_EQ(CompareBytes("ab", "ac", 2), -1);
  EXPECT_EQ(CompareBytes("ab", "ac", 1), 0);
  EXPECT_EQ(CompareBytes("ac", "ab", 2), 1);
  const unsigned char hi = 0x80, lo = 0x7F;
  EXPECT_EQ(CompareBytes(&hi, &lo, 1), 1);
  EXPECT_EQ(CompareBytes(nullptr, nullptr, 0), 0);
}

TEST(ByteRoutines, ZeroFillAndIsAllZero) {
  unsigned char buf[4] = {1, 2, 3, 4};
  EXPECT_FALSE(IsAllZero(buf, 4));
  EXPECT_TRUE(IsAllZero(buf, 0));
  ZeroFill(buf, 3);
  EXPECT_TRUE(IsAllZero(buf, 3));
  EXPECT_EQ(buf[3], 4);
}

TEST(TextRoutines, PathPartsAndReplacements) {
  EXPECT_TRUE(HasPathPart("C:data", 0));
  EXPECT_TRUE(HasPathPart("dir\\x", 0));
  EXPECT_TRUE(HasPathPart("/home/db", 0));
  EXPECT_FALSE(HasPathPart("orders.db", 0));
  EXPECT_TRUE(HasPathPart("orders.db", 1));

  std::string t = "alpha beta";
  EXPECT_FALSE(ReplaceFirst(t, "gamma", "x", 255));
  EXPECT_EQ(t, "alpha beta");
  EXPECT_TRUE(ReplaceFirst(t, "a", "AA", 255));
  EXPECT_EQ(t, "AAlpha beta");
  EXPECT_TRUE(ReplaceFirst(t, "beta", nullptr, 255));
  EXPECT_EQ(t, "AAlpha ");
  t = "abcdef";
  EXPECT_TRUE(ReplaceFirst(t, "b", "XYZ", 4));
  EXPECT_EQ(t, "aXYZ");

  std::string c = "name;x;y";
  EXPECT_EQ(CutAtChar(c, ';'), "name");
  EXPECT_EQ(RemoveChar("\"a\"b\"", '"'), "ab");
  std::string a = "ab";
  AppendChar(a, 3, 'c');
  AppendChar(a, 3, 'd');
  EXPECT_EQ(a, "abc");
}

TEST(TextRoutines, TrailingSeparatorFollowsThePathStyle) {
  EXPECT_EQ(AddTrailingBackslash("D:\\Data"), "D:\\Data\\");
  EXPECT_EQ(AddTrailingBackslash("D:\\Data\\"), "D:\\Data\\");
  EXPECT_EQ(AddTrailingBackslash("/srv/data"), "/srv/data/");
  EXPECT_EQ(AddTrailingBackslash("/srv/data/"), "/srv/data/");
  EXPECT_EQ(AddTrailingBackslash(std::string(300, 'x')).size(), 255u);
}

TEST(TextRoutines, NetworkUserNameIsKnown) { EXPECT_FALSE(GetNetworkUserName().empty()); }

TEST(MorvaCollection, FreesItemsLastToFirstAndRemoveDoesNotFree) {
  std::vector<int> log;
  auto* kept = new TTracked(9, &log);
  {
    TMorvaCollection c;
    c.Insert(new TTracked(1, &log));
    c.Insert(kept);
    c.Insert(new TTracked(2, &log));
    c.Insert(new TTracked(3, &log));
    c.Remove(kept);
    c.Remove(kept);  // absent: nothing happens
    EXPECT_EQ(c.Count(), 3);
    EXPECT_EQ(c.IndexOf(kept), -1);
    TObject* first = c.At(0);
    c.AtDelete(0);  // the item is not freed
    EXPECT_TRUE(log.empty());
    delete first;
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<int>{3, 2}));
  delete kept;
}

TEST(MorvaCollection, EngineObjectsJoinAndLeaveTheirOwnersList) {
  TMorvaCollection list;
  TBapiListItem owner(nullptr, nullptr);
  EXPECT_EQ(owner.IndexInOwner(), 0);
  auto* a = new TBapiListItem(&owner, &list);
  auto* b = new TBapiListItem(&owner, &list);
  EXPECT_EQ(b->IndexInOwner(), 1);
  EXPECT_EQ(b->OwnerHandle(), &owner);
  delete a;
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(b->IndexInOwner(), 0);
  // b is freed with the list
}

TEST(MorvaCollection, RootHandleAnswersNoProperty) {
  TBapiListItem item(nullptr, nullptr);
  char buf[4];
  std::uint16_t len = 7;
  EXPECT_EQ(testing_engine::EngineCode([&] { item.GetProperty(1, buf, 4, len); }), dberr::NotSupported);
  EXPECT_EQ(len, 0);
  EXPECT_NO_THROW(item.CheckPropertyValue(1, 0));
}

TEST(SortedCollection, DuplicatesGoInFrontOfTheirEquals) {
  std::vector<int> log;
  TIntCollection c;
  auto* first = new TTracked(5, nullptr);
  auto* second = new TTracked(5, nullptr);
  c.Insert(new TTracked(7, nullptr));
  c.Insert(first);
  c.Insert(new TTracked(1, nullptr));
  c.Insert(second);
  ASSERT_EQ(c.Count(), 4);
  EXPECT_EQ(static_cast<TTracked*>(c.At(0))->Id, 1);
  EXPECT_EQ(c.At(1), second);
  EXPECT_EQ(c.At(2), first);
  int pos = -1;
  EXPECT_TRUE(c.Search(&first->Id, pos));
  EXPECT_EQ(pos, 1);
}

TEST(SortedCollection, WithoutDuplicatesASecondEqualKeyIsRefused) {
  TIntCollection c;
  c.Duplicates = false;
  auto* first = new TTracked(5, nullptr);
  TTracked second(5, nullptr);
  c.Insert(first);
  c.Insert(new TTracked(3, nullptr));
  c.Insert(&second);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.IndexOf(&second), -1);
  int pos = -1;
  EXPECT_TRUE(c.Search(&first->Id, pos));
  EXPECT_EQ(c.At(pos), first);
}

}  // namespace
