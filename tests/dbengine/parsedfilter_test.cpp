// Filters written by the class library's expression parser, evaluated by the
// engine's evaluator on the test cursor: both sides read one blob layout, and
// these cases keep them agreeing on it.
#include <gtest/gtest.h>

#include "dbengine/filters.h"
#include "platform/classlib/db/filterexpr.h"
#include "platform/classlib/db/memdataset.h"
#include "testcursor.h"

using namespace testing_engine;

namespace {

using Ids = std::vector<std::int32_t>;

class ParsedFilterOnCursor : public ::testing::Test {
 protected:
  void SetUp() override {
    cursor.Add(1, "Anna", 42);
    cursor.Add(2, "Bert", 0);
    cursor.Add(3, "Bert", 7);
    cursor.Add(4, "Cleo", 9);
    // The dataset whose fields the parser types constants by: the cursor's own.
    fields.FieldDefs().Add("ID", ftInteger);
    fields.FieldDefs().Add("NAME", ftString, 20);
    fields.FieldDefs().Add("SCORE", ftInteger);
    fields.Open();
  }

  // The IDs the cursor returns with the parsed expression as its only filter.
  Ids Filtered(const std::string& expression, TFilterOptions options = {}) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(expression, &fields, options);
    EXPECT_FALSE(blob.empty()) << expression;
    if (filter) cursor.DropFilter(filter);
    filter = nullptr;
    cursor.AddFilter(0, 1, false, blob.data(), nullptr, filter);
    cursor.ActivateFilter(filter);
    return ReadAll(cursor);
  }

  TTestCursor cursor;
  TMemDataSet fields;
  TFilterListItem* filter = nullptr;
};

TEST_F(ParsedFilterOnCursor, Comparisons) {
  EXPECT_EQ(Filtered("NAME = 'Bert'"), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Score > 7"), (Ids{1, 4}));
  EXPECT_EQ(Filtered("Score <= '7'"), (Ids{2, 3}));  // the text takes the field's type
  EXPECT_EQ(Filtered("7 < Score"), (Ids{1, 4}));     // turned round
  EXPECT_EQ(Filtered("7 > Score"), (Ids{2}));
  EXPECT_EQ(Filtered("ID <> 3"), (Ids{1, 2, 4}));
  EXPECT_EQ(Filtered("[Name] >= 'Bert'"), (Ids{2, 3, 4}));
  EXPECT_EQ(Filtered("Name < \"Bert\""), (Ids{1}));
}

TEST_F(ParsedFilterOnCursor, ConnectivesAndBlankTests) {
  // AND binds tighter than OR.
  EXPECT_EQ(Filtered("ID = 1 or ID = 2 and Score = 0"), (Ids{1, 2}));
  EXPECT_EQ(Filtered("(ID = 1 or ID = 2) and Score = 0"), (Ids{2}));
  EXPECT_EQ(Filtered("Name <> 'Bert' and Score < 40"), (Ids{4}));
  EXPECT_EQ(Filtered("not (Name = 'Bert')"), (Ids{1, 4}));
  EXPECT_EQ(Filtered("Score is null"), (Ids{2}));  // its value bytes are all zero
  EXPECT_EQ(Filtered("Score is not null"), (Ids{1, 3, 4}));
  EXPECT_EQ(Filtered("not (Score = null) and not (ID >= 3)"), (Ids{1}));
}

TEST_F(ParsedFilterOnCursor, TextOptions) {
  EXPECT_EQ(Filtered("Name = 'B*'"), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Name = 'B*'", {foNoPartialCompare}), Ids{});
  EXPECT_EQ(Filtered("Name = 'bert'"), Ids{});
  EXPECT_EQ(Filtered("Name = 'bert'", {foCaseInsensitive}), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Name = 'c*'", {foCaseInsensitive}), (Ids{4}));
}

}  // namespace
