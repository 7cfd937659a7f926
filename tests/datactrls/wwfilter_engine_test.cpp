// Compiled filters evaluated by the engine's own filter evaluator on a cursor.
#include <gtest/gtest.h>

#include "datactrls/wwfilter.h"
#include "dbengine/filtercursor.h"

using namespace testing_engine;

namespace {

class CompiledFilterOnCursor : public FilterCursorTest {
 protected:
  // The IDs the cursor returns with the compiled expression as its filter.
  Ids Filtered(const std::string& expression) {
    SCOPED_TRACE(expression);
    return FilteredBy(wwCompileFilterExpression(
        expression,
        [](const std::string& name, TwwFilterField& field) {
          std::string upper;
          for (char c : name) upper += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
          if (upper == "ID" || upper == "SCORE") field.ConstKind = fckInteger;
          else if (upper == "NAME") field.ConstKind = fckString;
          else return false;
          return true;
        },
        nullptr));
  }
};

TEST_F(CompiledFilterOnCursor, Comparisons) {
  EXPECT_EQ(Filtered("Name = Bert"), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Name = \"Bert\""), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Score > 7"), (Ids{1, 4}));
  EXPECT_EQ(Filtered("Score <= 7"), (Ids{2, 3}));
  EXPECT_EQ(Filtered("Score <> 0"), (Ids{1, 3, 4}));
  EXPECT_EQ(Filtered("ID >= 3"), (Ids{3, 4}));
  EXPECT_EQ(Filtered("Name < Bert"), (Ids{1}));
}

TEST_F(CompiledFilterOnCursor, Connectives) {
  // Unquoted, "Bert AND Score" is one text, which no name equals.
  EXPECT_EQ(Filtered("Name = Bert AND Score > 0"), Ids{});
  EXPECT_EQ(Filtered("Name = \"Bert\" AND Score > 0"), (Ids{3}));
  EXPECT_EQ(Filtered("Score = 42 OR Score = 9"), (Ids{1, 4}));
  EXPECT_EQ(Filtered("ID = 1 OR ID = 2 AND Score = 0"), (Ids{2}));
  EXPECT_EQ(Filtered("ID = 4 OR (ID = 2 AND Score = 0)"), (Ids{2, 4}));
  EXPECT_EQ(Filtered("(Score < 8) and (Name <> \"Anna\")"), (Ids{2, 3}));
}

TEST_F(CompiledFilterOnCursor, LongExpressionsEvaluateWhole) {
  std::string expression = "ID = 4";
  for (int i = 0; i < 60; ++i) expression += " OR Name = \"" + std::string(30, 'q') + "\"";
  expression += " OR ID = 1";
  EXPECT_EQ(Filtered(expression), (Ids{1, 4}));
}

}  // namespace
