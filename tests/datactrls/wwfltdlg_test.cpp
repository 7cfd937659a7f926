// The filter dialog's local record filter over a real database file: value
// conditions of every match type and join, ranges by type, memo text, the
// program's expression filter beside it, and the conditions that cannot be
// applied, reported once.

#include <gtest/gtest.h>

#include <algorithm>

#include "datactrls/wwfltlocal.h"
#include "filtertestdata.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

using namespace filtertest;

TEST_F(LocalFilter, ValueConditionsByMatchTypeAndJoin) {
  struct TCase {
    TCond cond;
    Ids expected;
  };
  const TCase cases[] = {
      {{"Name", fdMatchStart, "new or fixed"}, {1, 2}},
      {{"Name", fdMatchStart, "or new"}, {5}},  // the first word is never an operator
      {{"Name", fdMatchStart, "null or low"}, {3, 4}},
      {{"Name", fdMatchAny, "new and report"}, {1}},
      {{"Name", fdMatchAny, "e"}, {1, 2, 5}},
      {{"Name", fdMatchExact, "low prio"}, {3}},
      {{"Name", fdMatchExact, "\"or new\""}, {5}},  // quoted: one piece without quotes
      {{"Name", fdMatchEnd, "BUG"}, {2}},
      {{"Name", fdMatchStart, "New", "", "", true}, {1}},
      {{"Name", fdMatchStart, "new", "", "", true}, {}},
      {{"Name", fdMatchAny, "new", "", "", false, true}, {2, 3, 4}},
      {{"Notes", fdMatchAny, "crash", "", "", false, true}, {2, 3, 4}},  // memo text
      {{"Notes", fdMatchStart, "crash"}, {1, 5}},
      {{"Notes", fdMatchExact, "works or null"}, {2, 3, 4}},
      {{"Age", fdMatchExact, "30 or 5"}, {1, 4}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.cond.label) + " " + c.cond.value);
    EXPECT_EQ(Filtered({c.cond}), c.expected);
  }
}

TEST_F(LocalFilter, RangesCompareByTheFieldsType) {
  const std::string from2021 = Day(2021, 1, 1), to2020 = Day(2020, 12, 31);
  struct TCase {
    TCond cond;
    Ids expected;
  };
  const TCase cases[] = {
      {{"Age", fdMatchRange, "", "", "25"}, {2, 4, 5}},  // the bound is inclusive
      {{"Age", fdMatchRange, "", "12", "30"}, {1, 2, 5}},
      {{"Age", fdMatchRange, "", "12", "30", false, true}, {1, 2, 5}},  // non-matching ignored
      {{"Score", fdMatchRange, "", "1"}, {1, 2}},
      {{"Born", fdMatchRange, "", from2021.c_str()}, {2}},
      {{"Born", fdMatchRange, "", "", to2020.c_str()}, {1, 3, 4, 5}},  // null dates are day 0
      {{"Name", fdMatchRange, "", "Low", "fixed"}, {1, 3}},  // ordinal text comparison
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.cond.label) + " " + c.cond.min + ".." + c.cond.max);
    EXPECT_EQ(Filtered({c.cond}), c.expected);
  }
}

TEST_F(LocalFilter, ConditionsJoinWithAndAndClearingShowsAll) {
  EXPECT_EQ(Filtered({{"Name", fdMatchAny, "o"}, {"Age", fdMatchRange, "", "", "20"}}), (Ids{5}));
  dialog.ClearFilter();
  dialog.ApplyFilter();
  EXPECT_TRUE(table->Filtered());  // the handler is gone, every record passes
  EXPECT_FALSE(table->OnFilterRecord());
  EXPECT_EQ(Shown(), (Ids{1, 2, 3, 4, 5}));
}

TEST_F(LocalFilter, TheProgramsExpressionFilterAppliesBeside) {
  table->SetFilter("Age < 40");
  table->SetFiltered(true);
  EXPECT_EQ(Filtered({{"Name", fdMatchAny, "o"}}), (Ids{1, 5}));  // 3 has "o" but Age 41
  table->SetFilter("Age > 10");
  EXPECT_EQ(Shown(), (Ids{1, 3, 5}));
}

TEST_F(LocalFilter, WhatCannotBeAppliedIsReportedOnceAndLeftOut) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  EXPECT_EQ(Filtered({{"Nope", fdMatchStart, "x"},
                      {"Age", fdMatchRange, "", "abc"},
                      {"Born", fdMatchRange, "", "", "31/31/31"},
                      {"Name", fdMatchStart, "new"}}),
            (Ids{1}));
  ASSERT_EQ(boxes.Count(), 1);
  EXPECT_EQ(boxes.Texts()[0],
            std::string(kwwFilterConditionsSkipped) +
                "\nField 'Nope' not found\n'abc' is not a valid range bound for field 'Age'\n"
                "'31/31/31' is not a valid range bound for field 'Born'");
  EXPECT_EQ(Shown(), (Ids{1}));  // moving again reports nothing more
  EXPECT_EQ(boxes.Count(), 1);
}

TEST_F(LocalFilter, ExecuteNeedsAnActiveDataSetAndOperatorsStayUnique) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  TwwFilterDialog unbound;
  EXPECT_FALSE(unbound.Execute());
  table->Close();
  EXPECT_FALSE(dialog.Execute());
  dialog.FieldOperators()->SetOrChar("  AND\t");
  EXPECT_EQ(dialog.FieldOperators()->OrChar(), "AND");  // trimmed, and it stays
  dialog.FieldOperators()->SetOrChar("|");
  dialog.SetFilterMethod(fdByQueryModify);  // a table filters only locally
  EXPECT_EQ(dialog.FilterMethod(), fdByFilter);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kwwFilterNeedsActiveDataSet, kwwFilterOperatorsNotUnique,
                                                     "Invalid FilterMethod for Dataset. \nOnly fdByFilter is "
                                                     "supported for this type of Dataset"}));
  // A one-character operator ends a word.
  table->Open();
  EXPECT_EQ(Filtered({{"Name", fdMatchStart, "new|fixed"}}), (Ids{1, 2}));
  dialog.FieldOperators()->SetAndChar("|");  // the same as or: warned, and the filter still applies
  EXPECT_EQ(Filtered({{"Name", fdMatchStart, "new|fixed"}}), (Ids{1, 2}));
  EXPECT_EQ(boxes.Texts().back(), kwwFilterSameAndOr);
}

TEST_F(LocalFilter, MemosAreReadWhole) {
  table->Append();
  table->FieldByName("Notes")->SetAsString(std::string(40000, 'n') + " needle");
  table->Post();
  EXPECT_EQ(Filtered({{"Notes", fdMatchAny, "NEEDLE"}}), (Ids{6}));  // past the old 32,767-byte cut
}

TEST_F(LocalFilter, CaseIsFoldedBeyondAscii) {
  table->Append();
  table->FieldByName("Name")->SetAsString("\xC3\xA4rger");  // a-umlaut
  table->Post();
  EXPECT_EQ(Filtered({{"Name", fdMatchStart, "\xC3\x84R"}}), (Ids{6}));  // A-umlaut
  EXPECT_EQ(Filtered({{"Name", fdMatchStart, "\xC3\x84r", "", "", true}}), (Ids{}));
}

TEST_F(LocalFilter, SplittingValues) {
  TwwFieldOperators ops;
  struct TCase {
    const char* value;
    TwwFilterJoin join;
    std::vector<std::string> pieces;
  };
  const TCase cases[] = {
      {"new or fixed", TwwFilterJoin::Or, {"new", "fixed"}},
      {"a  b   and c", TwwFilterJoin::And, {"a b", "c"}},
      {"x and y or z", TwwFilterJoin::Or, {"x and y", "z"}},  // or wins; and stays inside
      {"or new", TwwFilterJoin::Single, {"or new"}},
      {"\"a or b\" OR c", TwwFilterJoin::Or, {"a or b", "c"}},
      {"", TwwFilterJoin::Single, {""}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.value);
    const TwwFilterPieces p = wwSplitFilterValue(c.value, ops);
    EXPECT_EQ(p.Join, c.join);
    EXPECT_EQ(p.Pieces, c.pieces);
  }
  // Values far beyond the old fixed buffers are split whole.
  const std::string big(70000, 'q');
  EXPECT_EQ(wwSplitFilterValue(big + " or b", ops).Pieces, (std::vector<std::string>{big, "b"}));
}

TEST_F(LocalFilter, AGoneDialogLeavesNoHandlerBehind) {
  {
    TwwFilterDialog brief;
    brief.SetDataSource(&source);
    auto info = std::make_unique<TwwFieldInfo>();
    info->DisplayLabel = "Name";
    info->FilterValue = "new";
    brief.FieldInfo().push_back(std::move(info));
    brief.ApplyFilter();
    EXPECT_EQ(Shown(), (Ids{1}));
  }
  EXPECT_FALSE(table->OnFilterRecord());
  EXPECT_EQ(Shown(), (Ids{1, 2, 3, 4, 5}));
}

// The library's own table filters through its OnFilter event.
class LibraryTableFilter : public LocalFilter {};

TEST_F(LibraryTableFilter, TheLibrarysTableFiltersThroughOnFilter) {
  auto own = Make<TwwTable>();
  own->SetTableName("People");
  own->Open();
  source.SetDataSet(own.get());
  Set({{"Notes", fdMatchAny, "crash"}, {"Age", fdMatchRange, "", "", "20"}});
  dialog.ApplyFilter();
  EXPECT_TRUE(own->OnFilter());
  EXPECT_FALSE(own->OnFilterRecord());
  EXPECT_EQ(Shown(own.get()), (Ids{5}));
  dialog.ClearFilter();
  dialog.ApplyFilter();
  EXPECT_FALSE(own->OnFilter());
  EXPECT_EQ(Shown(own.get()), (Ids{1, 2, 3, 4, 5}));
  source.SetDataSet(nullptr);
}

TEST_F(LibraryTableFilter, AnIndexRangeNarrowsTheRecordsOffered) {
  auto own = Make<TwwTable>();
  own->SetTableName("People");
  own->Open();
  source.SetDataSet(own.get());
  const auto sorted = [&](Ids ids) { return std::sort(ids.begin(), ids.end()), ids; };
  struct TCase {
    TwwFilterOptimization mode;
    TCond cond;
    const char* index;  // the table's index afterwards
    Ids offered;        // by the range alone
    Ids shown;
  };
  const TCase cases[] = {
      {fdUseAllIndexes, {"Name", fdMatchStart, "Lo", "", "", true}, "ByName", {3}, {3}},
      {fdUseAllIndexes, {"Name", fdMatchExact, "Low prio", "", "", true}, "ByName", {3}, {3}},
      // The name index ignores case: a case-blind condition ranges on it too.
      {fdUseAllIndexes, {"Name", fdMatchStart, "lo"}, "ByName", {3}, {3}},
      {fdUseAllIndexes, {"Id", fdMatchRange, "", "2", "3"}, "PrimaryKey", {2, 3}, {2, 3}},
      {fdUseAllIndexes, {"Id", fdMatchRange, "", "4"}, "PrimaryKey", {4, 5}, {4, 5}},
      {fdUseAllIndexes, {"Name", fdMatchStart, "lo or new"}, "ByName", {1, 2, 3, 4, 5}, {1, 3}},
      {fdUseAllIndexes, {"Name", fdMatchStart, "lo", "", "", false, true}, "PrimaryKey", {1, 2, 3, 4, 5}, {1, 2, 4, 5}},
      {fdUseActiveIndex, {"Name", fdMatchStart, "f"}, "PrimaryKey", {1, 2, 3, 4, 5}, {2}},  // Id is the active key
      {fdNone, {"Id", fdMatchRange, "", "2", "3"}, "PrimaryKey", {1, 2, 3, 4, 5}, {2, 3}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.cond.label) + " " + c.cond.value + c.cond.min);
    own->SetIndexName("PrimaryKey");
    dialog.FilterOptimization = c.mode;
    Set({c.cond});
    dialog.ApplyFilter();
    EXPECT_EQ(sorted(Shown(own.get())), c.shown);
    EXPECT_EQ(own->IndexName(), c.index);
    own->SetOnFilter(nullptr);
    EXPECT_EQ(sorted(Shown(own.get())), c.offered);
  }
  dialog.ClearFilter();
  dialog.ApplyFilter();  // the last range goes too
  EXPECT_EQ(Shown(own.get()), (Ids{1, 2, 3, 4, 5}));
  source.SetDataSet(nullptr);
}

}  // namespace
