#include "dbengine/filters.h"

#include <gtest/gtest.h>

#include <chrono>

#include "filterblob.h"
#include "filtercursor.h"

using namespace testing_engine;

namespace {

class FilterTest : public FilterCursorTest {
 protected:
  Ids Filtered(const TNode& root, TFilterCallback callback = nullptr, std::intptr_t clientData = 0) {
    return FilteredBy(BlobOf(root), callback, clientData);
  }
  DBIResult AddRaw(const std::vector<std::uint8_t>& blob) {
    TFilterListItem* added = nullptr;
    return EngineCode([&] { cursor.AddFilter(0, 1, false, blob.data(), nullptr, added); });
  }
};

// Comparisons of each kind; a number compared with a text compares as text
// (42 as a 32-bit number reads "0000000042", which is not "42"); an unknown
// field name stands for its own text.
TEST_F(FilterTest, Comparisons) {
  const struct {
    TNode root;
    Ids ids;
  } cases[] = {
      {Compare(filterop::Equal, FieldNode("NAME"), TextConst("Bert")), {2, 3}},
      {Compare(filterop::Equal, FieldNode("name"), TextConst("bert"), true), {2, 3}},
      {Compare(filterop::Greater, FieldNode("SCORE"), IntConst(7)), {1, 4}},
      {Compare(filterop::LessOrEqual, FieldNode("SCORE"), IntConst(7)), {2, 3}},
      {Compare(filterop::Equal, FieldNode("SCORE"), TextConst("42")), {}},
      {Compare(filterop::Equal, FieldNode("SCORE"), TextConst("0000000042")), {1}},
      {Compare(filterop::Equal, FieldNode("X"), TextConst("X")), {1, 2, 3, 4}},
      {Compare(filterop::Equal, FieldNode("\"X\""), TextConst("X")), {1, 2, 3, 4}},
  };
  for (const auto& c : cases) EXPECT_EQ(Filtered(c.root), c.ids) << &c - cases;
}

TEST_F(FilterTest, AndAndOrStopAsSoonAsTheResultIsKnown) {
  auto never = Compare(filterop::Equal, FieldNode("NAME"), TextConst("nobody"));
  auto always = Compare(filterop::Equal, FieldNode("X"), TextConst("X"));
  auto score = Compare(filterop::Greater, FieldNode("SCORE"), IntConst(0));
  cursor.FieldReads = 0;
  EXPECT_EQ(Filtered(Binary(filterop::And, never, score)), Ids{});
  EXPECT_EQ(cursor.FieldReads, 4);  // NAME once per record, SCORE never
  cursor.FieldReads = 0;
  EXPECT_EQ(Filtered(Binary(filterop::Or, always, score)), (Ids{1, 2, 3, 4}));
  EXPECT_EQ(cursor.FieldReads, 0);
  EXPECT_EQ(Filtered(Binary(filterop::Or, never, score)), (Ids{1, 3, 4}));
}

// Blank tests look at the value bytes; Not of a failing condition is true; an
// unknown node class makes its branch false.
TEST_F(FilterTest, UnaryAndUnknownNodes) {
  auto never = Compare(filterop::Equal, FieldNode("NAME"), TextConst("nobody"));
  const struct {
    TNode root;
    Ids ids;
  } cases[] = {
      {Unary(filterop::IsBlank, FieldNode("SCORE")), {2}},
      {Unary(filterop::NotBlank, FieldNode("SCORE")), {1, 3, 4}},
      {Unary(filterop::Not, Compare(filterop::Equal, FieldNode("NAME"), TextConst("Bert"))), {1, 4}},
      {Binary(filterop::Or, never, OtherClass(6)), {}},
      {OtherClass(8), {}},
      {ContinueNode(1), {1, 2, 3, 4}},
  };
  for (const auto& c : cases) EXPECT_EQ(Filtered(c.root), c.ids) << &c - cases;
}

std::uint16_t RefuseId2(std::intptr_t clientData, std::uint8_t* record, std::int32_t) {
  ++*reinterpret_cast<int*>(clientData);
  return TTestRecord::IdOf(record) != 2;
}

TEST_F(FilterTest, CallbackAndExpressionMustBothAccept) {
  int calls = 0;
  cursor.FieldReads = 0;
  auto bert = Compare(filterop::Equal, FieldNode("NAME"), TextConst("Bert"));
  EXPECT_EQ(Filtered(bert, RefuseId2, reinterpret_cast<std::intptr_t>(&calls)), Ids{3});
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(cursor.FieldReads, 3);  // the refused record's expression is not evaluated
}

std::uint16_t Throwing(std::intptr_t, std::uint8_t*, std::int32_t) { throw EListError("boom"); }

TEST_F(FilterTest, ACallbackExceptionEndsTheFetch) {
  cursor.AddFilter(0, 1, true, nullptr, Throwing, filter);
  cursor.ActivateFilter(filter);
  std::uint8_t buffer[kRecordSize];
  cursor.SetToStart();
  EXPECT_THROW(cursor.GetNextRecord(0, buffer, nullptr), EListError);
}

TEST_F(FilterTest, OnlyActiveFiltersTakePart) {
  auto anna = BlobOf(Compare(filterop::Equal, FieldNode("NAME"), TextConst("Anna")));
  auto high = BlobOf(Compare(filterop::Greater, FieldNode("SCORE"), IntConst(5)));
  TFilterListItem *a = nullptr, *b = nullptr;
  cursor.AddFilter(0, 1, false, anna.data(), nullptr, a);
  cursor.AddFilter(0, 1, false, high.data(), nullptr, b);
  EXPECT_FALSE(cursor.FiltersActive);
  cursor.ActivateFilter(b);
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 3, 4}));
  cursor.ActivateFilter(nullptr);
  EXPECT_EQ(ReadAll(cursor), Ids{1});
  cursor.DeactivateFilter(b);
  EXPECT_TRUE(cursor.FiltersActive);
  EXPECT_EQ(ReadAll(cursor), Ids{1});
  cursor.DeactivateFilter(nullptr);
  EXPECT_FALSE(cursor.FiltersActive);
  EXPECT_EQ(ReadAll(cursor).size(), 4u);
  cursor.DropFilter(a);
  EXPECT_EQ(cursor.FilterList()->Count(), 1);
  cursor.DropFilter(nullptr);
  EXPECT_EQ(cursor.FilterList()->Count(), 0);
}

TEST_F(FilterTest, UnknownFiltersAreRefused) {
  TFilterListItem stranger(&cursor, 0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(EngineCode([&] { cursor.ActivateFilter(&stranger); }), dberr::NoSuchFilter);
  EXPECT_EQ(EngineCode([&] { cursor.DeactivateFilter(&stranger); }), dberr::NoSuchFilter);
  TFilterInfo info;
  EXPECT_EQ(EngineCode([&] { cursor.GetFilterInfo(&stranger, info); }), dberr::NoSuchFilter);
}

TEST_F(FilterTest, FilterInformation) {
  TFilterInfo info;
  std::memset(&info, 0x55, sizeof info);
  cursor.GetFilterInfo(nullptr, info);
  EXPECT_EQ(Val(info.FilterHandle), nullptr);  // no filter: all zero
  auto blob = BlobOf(ContinueNode(1));
  TFilterListItem *first = nullptr, *second = nullptr;
  cursor.AddFilter(77, 3, true, blob.data(), RefuseId2, first);
  cursor.AddFilter(0, 1, false, nullptr, nullptr, second);
  cursor.ActivateFilter(first);
  cursor.GetFilterInfo(nullptr, info);
  EXPECT_EQ(info.FilterNumber, 0);
  EXPECT_EQ(Val(info.FilterHandle), first);
  EXPECT_EQ(Val(info.ClientData), 77);
  EXPECT_EQ(info.Priority, 3);
  EXPECT_EQ(info.CanAbort, -1);
  EXPECT_EQ(info.Active, -1);
  EXPECT_NE(Val(info.Expression), blob.data());  // the engine's own copy
  EXPECT_EQ(std::memcmp(info.Expression, blob.data(), blob.size()), 0);
  cursor.GetFilterInfo(second, info);
  EXPECT_EQ(info.FilterNumber, 1);
  EXPECT_EQ(info.Active, 0);
  TCursorProps props;
  cursor.GetCursorProperties(props);
  EXPECT_EQ(Val(props.FilterCount), 2);
}

// ---- Damaged blobs are refused when added, never followed.

TEST_F(FilterTest, ATooShortBlobIsRefused) {
  auto blob = BlobOf(ContinueNode(1));
  TFilterBlobHeader h;
  std::memcpy(&h, blob.data(), sizeof h);
  h.TotalSize = 4;
  std::memcpy(blob.data(), &h, sizeof h);
  EXPECT_EQ(AddRaw(blob), dberr::InvalidFilter);
  EXPECT_EQ(cursor.FilterList()->Count(), 0);
}

TEST_F(FilterTest, OffsetsOutsideTheBlobAreRefused) {
  auto base = BlobOf(Binary(filterop::And, ContinueNode(1), ContinueNode(1)));
  auto bad = base;
  TFilterBinaryNode root;
  std::memcpy(&root, bad.data() + 10, sizeof root);
  root.Right = 0xFFF0;
  std::memcpy(bad.data() + 10, &root, sizeof root);
  EXPECT_EQ(AddRaw(bad), dberr::InvalidFilter);

  bad = base;
  TFilterBlobHeader h;
  std::memcpy(&h, bad.data(), sizeof h);
  h.NodeStart = 0xFF00;
  std::memcpy(bad.data(), &h, sizeof h);
  EXPECT_EQ(AddRaw(bad), dberr::InvalidFilter);
}

TEST_F(FilterTest, UnterminatedNamesAndOversizedConstantsAreRefused) {
  auto blob = BlobOf(FieldNode("NAME"));
  blob.back() = 'X';  // the name's terminator is the blob's last byte
  EXPECT_EQ(AddRaw(blob), dberr::InvalidFilter);

  blob = BlobOf(Compare(filterop::Equal, FieldNode("NAME"), TextConst("Anna")));
  // The constant node is the last node; give it a size reaching past the end.
  TFilterBlobHeader h;
  std::memcpy(&h, blob.data(), sizeof h);
  std::size_t constantAt = h.LiteralStart - sizeof(TFilterConstantNode);
  TFilterConstantNode c;
  std::memcpy(&c, blob.data() + constantAt, sizeof c);
  ASSERT_EQ(c.Header.NodeClass, filternode::Constant);
  c.Size = 5000;
  std::memcpy(blob.data() + constantAt, &c, sizeof c);
  EXPECT_EQ(AddRaw(blob), dberr::InvalidFilter);
}

TEST_F(FilterTest, CircularAndOverDeepExpressionsAreRefused) {
  // A "not" whose operand is itself.
  auto blob = BlobOf(Unary(filterop::Not, ContinueNode(1)));
  TFilterUnaryNode root;
  std::memcpy(&root, blob.data() + 10, sizeof root);
  root.Operand = 0;
  std::memcpy(blob.data() + 10, &root, sizeof root);
  EXPECT_EQ(AddRaw(blob), dberr::InvalidFilter);

  TNode deep = ContinueNode(1);
  for (int i = 0; i < kMaxFilterDepth + 5; ++i) deep = Unary(filterop::Not, deep);
  EXPECT_EQ(AddRaw(BlobOf(deep)), dberr::InvalidFilter);

  TNode fine = ContinueNode(1);
  for (int i = 0; i < 100; ++i) fine = Unary(filterop::Not, fine);
  EXPECT_EQ(AddRaw(BlobOf(fine)), 0);
}

TEST_F(FilterTest, SharedSubtreesCannotMultiplyTheWork) {
  // 40 binary nodes, each using the next one twice: 2^40 visits if followed.
  std::vector<std::uint8_t> blob(10 + 40 * sizeof(TFilterBinaryNode) + sizeof(TFilterContinueNode));
  TFilterBlobHeader h{1, static_cast<std::uint16_t>(blob.size()), 41, 10,
                      static_cast<std::uint16_t>(blob.size())};
  std::memcpy(blob.data(), &h, sizeof h);
  for (std::uint16_t i = 0; i < 40; ++i) {
    auto next = static_cast<std::uint16_t>((i + 1) * sizeof(TFilterBinaryNode));
    TFilterBinaryNode n{{filternode::Binary, filterop::And}, next, next};
    std::memcpy(blob.data() + 10 + i * sizeof n, &n, sizeof n);
  }
  TFilterContinueNode last{{filternode::Continue, 0}, 1};
  std::memcpy(blob.data() + 10 + 40 * sizeof(TFilterBinaryNode), &last, sizeof last);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AddRaw(blob), dberr::InvalidFilter);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(FilterTest, DamagedBlobsNeverCrashTheFetch) {
  // Every byte of a valid blob is changed in turn, to several values; each
  // damaged copy is either refused when added or evaluated without harm.
  auto valid = BlobOf(Binary(filterop::Or,
                             Compare(filterop::Equal, FieldNode("NAME"), TextConst("Bert")),
                             Unary(filterop::Not, Unary(filterop::IsBlank, FieldNode("SCORE")))));
  const std::uint8_t values[] = {0x00, 0x01, 0x07, 0x7F, 0x80, 0xFF};
  int refused = 0, accepted = 0;
  for (std::size_t at = 0; at < valid.size(); ++at) {
    for (std::uint8_t v : values) {
      auto damaged = valid;
      damaged[at] = v;
      TFilterBlobHeader h;
      std::memcpy(&h, damaged.data(), sizeof h);
      damaged.resize(std::max<std::size_t>(damaged.size(), h.TotalSize), 0);  // the caller's whole blob
      if (AddRaw(damaged) != 0) {
        ++refused;
        continue;
      }
      ++accepted;
      cursor.ActivateFilter(nullptr);
      ReadAll(cursor);
      cursor.DropFilter(nullptr);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(accepted, 0);
}

}  // namespace
