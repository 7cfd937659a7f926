// Filters written by the class library's expression parser, evaluated by the
// engine's evaluator on the test cursor: both sides read one blob layout, and
// these cases keep them agreeing on it.
#include <gtest/gtest.h>

#include "filtercursor.h"
#include "platform/classlib/db/filterexpr.h"

using namespace testing_engine;

namespace {

class ParsedFilterOnCursor : public FilterCursorTest {
 protected:
  // The IDs the cursor returns with the parsed expression as its only filter.
  Ids Filtered(const std::string& expression, TFilterOptions options = {}) {
    SCOPED_TRACE(expression);
    return FilteredBy(BuildFilterBlob(expression, &fields, options));
  }
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
