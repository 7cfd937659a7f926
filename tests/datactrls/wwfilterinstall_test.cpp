// Installing compiled filters on an engine cursor: expression filters, their
// removal, failures that keep the filter known, and callback filters.
#include <gtest/gtest.h>

#include "datactrls/wwfilterinstall.h"
#include "dbengine/filtercursor.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"

using namespace testing_engine;

namespace {

class FilterInstall : public FilterCursorTest {
 protected:
  void SetUp() override {
    FilterCursorTest::SetUp();
    wwFilterWarningHandler = [this](const std::string& text) { warnings.push_back(text); };
  }
  void TearDown() override { wwFilterWarningHandler = nullptr; }
  int FilterCount() const { return cursor.FilterList()->Count(); }

  TwwCursorFilterEngine engine{&cursor};
  TwwFilterHandle handle = nullptr;
  std::vector<std::string> warnings;
};

TEST_F(FilterInstall, InstallReplaceAndRemove) {
  EXPECT_TRUE(wwApplyFilterExpression("Score > 7", &fields, engine, handle, false));
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(handle->Active());
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 4}));

  EXPECT_TRUE(wwApplyFilterExpression("name = \"Bert\"", &fields, engine, handle, false));
  EXPECT_EQ(FilterCount(), 1);  // the old one was dropped
  EXPECT_EQ(ReadAll(cursor), (Ids{2, 3}));

  EXPECT_TRUE(wwApplyFilterExpression("", &fields, engine, handle, false));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FilterCount(), 0);
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 2, 3, 4}));
}

TEST_F(FilterInstall, AFailedBuildKeepsTheActiveFilterKnown) {
  ASSERT_TRUE(wwApplyFilterExpression("Score > 7", &fields, engine, handle, false));
  TwwFilterHandle installed = handle;

  EXPECT_FALSE(wwApplyFilterExpression("Bogus = 1", &fields, engine, handle, false));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Field not found in Table. \rBogus");
  EXPECT_EQ(handle, installed);  // still in force, still removable
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 4}));

  EXPECT_FALSE(wwApplyFilterExpression("(Score > 7", &fields, engine, handle, false));
  EXPECT_EQ(handle, installed);

  // A constant that does not convert raises, and the filter stays as it was.
  EXPECT_THROW(wwApplyFilterExpression("Score > \"x\"", &fields, engine, handle, false),
               EConvertError);
  EXPECT_EQ(handle, installed);
  EXPECT_EQ(FilterCount(), 1);

  wwRemoveFilter(engine, handle);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FilterCount(), 0);
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 2, 3, 4}));
}

TEST_F(FilterInstall, ClosedTableWaitsUnlessForced) {
  fields.Close();
  handle = reinterpret_cast<TwwFilterHandle>(0x1);  // stale from before the close
  EXPECT_TRUE(wwApplyFilterExpression("Score > 7", &fields, engine, handle, false));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FilterCount(), 0);
  // Forced, the filter goes on at once, over the table's persistent fields.
  TMemDataSet persistent;
  AddField<TIntegerField>(persistent, "ID");
  EXPECT_TRUE(wwApplyFilterExpression("ID = 3", &persistent, engine, handle, true));
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(ReadAll(cursor), (Ids{3}));
}

// An engine that refuses every new filter.
class RefusingEngine : public TwwCursorFilterEngine {
 public:
  using TwwCursorFilterEngine::TwwCursorFilterEngine;
  DBIResult AddFilter(std::intptr_t, std::uint16_t, bool, const void*, TFilterCallback,
                      TwwFilterHandle&) override {
    return dberr::InvalidParam;
  }
};

TEST_F(FilterInstall, AnEngineRefusalLeavesNoFilter) {
  ASSERT_TRUE(wwApplyFilterExpression("Score > 7", &fields, engine, handle, false));
  RefusingEngine refusing(&cursor);
  EXPECT_FALSE(wwApplyFilterExpression("Score > 8", &fields, refusing, handle, false));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FilterCount(), 0);
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 2, 3, 4}));
}

std::uint16_t OddIdsOf(std::intptr_t clientData, std::uint8_t* record, std::int32_t) {
  auto* dataSet = reinterpret_cast<TDataSet*>(clientData);
  if (dataSet == nullptr) return 0;
  return TTestRecord::IdOf(record) % 2 == 1;
}

TEST_F(FilterInstall, CallbackFilters) {
  ASSERT_TRUE(wwApplyFilterExpression("Score > 7", &fields, engine, handle, false));
  EXPECT_TRUE(wwInstallCallbackFilter(&OddIdsOf, &fields, engine, handle));
  EXPECT_EQ(FilterCount(), 1);  // it replaced the expression
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 3}));
  // Without a callback the filter just goes.
  EXPECT_TRUE(wwInstallCallbackFilter(nullptr, &fields, engine, handle));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(ReadAll(cursor), (Ids{1, 2, 3, 4}));

  TwwCursorFilterEngine noCursor(nullptr);
  EXPECT_FALSE(wwInstallCallbackFilter(&OddIdsOf, &fields, noCursor, handle));
  RefusingEngine refusing(&cursor);
  EXPECT_FALSE(wwInstallCallbackFilter(&OddIdsOf, &fields, refusing, handle));
  EXPECT_EQ(handle, nullptr);
}

TEST_F(FilterInstall, BlocksOverTheNamedDataSet) {
  TwwFilterBlockBuilder builder(&fields);
  const void* block = builder.wwBuildFilterBlock("Name = Anna");
  ASSERT_NE(block, nullptr);
  TFilterBlobHeader header;
  std::memcpy(&header, block, sizeof header);
  EXPECT_EQ(header.NodeCount, 3);
  EXPECT_EQ(header.TotalSize, 10 + 3 * 14 + 5 + 5);
  builder.wwFreeFilterBlock();
  EXPECT_EQ(builder.wwBuildFilterBlock("Missing = 1"), nullptr);
}

TEST_F(FilterInstall, EachBuilderKeepsItsOwnDataSetAndBlock) {
  TwwFilterBlockBuilder named(&fields);
  TwwFilterBlockBuilder unnamed(nullptr);
  const void* block = named.wwBuildFilterBlock("Score > 7");
  ASSERT_NE(block, nullptr);
  TFilterBlobHeader before;
  std::memcpy(&before, block, sizeof before);
  // Without a dataset no field is known, and the other builder's block stays.
  EXPECT_EQ(unnamed.wwBuildFilterBlock("Score > 7"), nullptr);
  TFilterBlobHeader after;
  std::memcpy(&after, block, sizeof after);
  EXPECT_EQ(after.NodeCount, before.NodeCount);
  EXPECT_EQ(after.TotalSize, before.TotalSize);
}

TEST(FilterConstKinds, FromFieldTypes) {
  const std::pair<TFieldType, TwwFilterConstKind> kinds[] = {
      {ftString, fckString},     {ftFloat, fckFloat},     {ftCurrency, fckFloat},
      {ftDateTime, fckDateTime}, {ftDate, fckDate},       {ftTime, fckTime},
      {ftBoolean, fckBoolean},   {ftInteger, fckInteger}, {ftBCD, fckBCD},
      {ftSmallint, fckSmallInt}, {ftWord, fckSmallInt},   {ftMemo, fckField},
      {ftAutoInc, fckField}};
  for (auto [type, kind] : kinds) EXPECT_EQ(wwFilterConstKindOf(type), kind) << type;
}

}  // namespace
