// Case-blind means every case pair of Unicode's simple folding, on every road
// of the engine: filters on a table (pre-selected by the database) and on a
// query (every record tested), whole and by their start, Locate, keys, ranges
// and the order of a case-blind index.

#include <gtest/gtest.h>

#include "platform/classlib/core/strutils.h"
#include "roads.h"

using namespace tttest;

namespace {

// The stored name and another case of it; the stored names fold apart.
struct Pair {
  const char *stored, *sought;
};
const Pair kPairs[] = {
    {"Ơn", "ơN"},  {"Ưu", "ưU"},  {"Əli", "əLI"}, {"Ǆa", "ǆA"},        {"ǅb", "ǄB"}, {"ẞe", "ßE"},
    {"\u212Ael", "KEL"}, {"ſun", "SUN"}, {"Ἀθ", "ἀΘ"}, {"Ⴀa", "ⴀA"}, {"Აb", "აB"}, {"Ꭰc", "ꭰC"},
    {"Ωm", "\u2126M"}, {"Ɐz", "ɐZ"},
};

class CasePairs : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("CREATE TABLE T (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(10))");
    db.Execute("CREATE INDEX ByName ON T (Name)");
    for (const Pair& p : kPairs) db.Execute(std::string("INSERT INTO T (Name) VALUES ('") + p.stored + "')");
  }
  void SetUp() override {
    ComponentFixture::SetUp();
    table = MakeTable("T");
    table->SetIndexName("ByName");
    table->Open();
    query = RecordTestRoad(path_, "T", "Id");
  }
  void TearDown() override {
    table.reset();
    query.reset();
    ComponentFixture::TearDown();
  }
  static std::string Ids(const std::vector<int>& ids) {
    std::string out;
    for (int id : ids) out += std::to_string(id) + " ";
    return out;
  }
  static std::string Located(TDataSet* d, const std::string& value, TLocateOptions options) {
    return d->Locate("Name", Variant(value), options) ? d->FieldByName("Id")->AsString() + " " : "none";
  }
  std::unique_ptr<TTestTable> table;
  std::unique_ptr<TTestQuery> query;
};

TEST_F(CasePairs, EveryRoadFindsTheOtherCase) {
  const TFilterOptions anyCase{foCaseInsensitive};
  const TLocateOptions locateAnyCase{loCaseInsensitive};
  const TLocateOptions startAnyCase{loCaseInsensitive, loPartialKey};
  for (std::size_t i = 0; i < std::size(kPairs); ++i) {
    const Pair& p = kPairs[i];
    SCOPED_TRACE(std::string(p.stored) + " / " + p.sought);
    const std::string id = std::to_string(i + 1) + " ";
    const std::string start = Utf8Copy(p.sought, 1, 2);  // its first two characters
    for (TDataSet* d : {static_cast<TDataSet*>(table.get()), static_cast<TDataSet*>(query.get())}) {
      SCOPED_TRACE(d == table.get() ? "table" : "query");
      EXPECT_EQ(id, Ids(FilteredIds(d, std::string("Name = '") + p.sought + "'", anyCase)));
      EXPECT_EQ(id, Ids(FilteredIds(d, "Name = '" + start + "*'", anyCase)));
      EXPECT_EQ("", Ids(FilteredIds(d, std::string("Name = '") + p.sought + "'", {}))) << "with case";
      EXPECT_EQ(id, Located(d, p.sought, locateAnyCase));
      EXPECT_EQ(id, Located(d, start, startAnyCase));
      EXPECT_EQ("none", Located(d, p.sought, {}));
    }
    ASSERT_TRUE(table->FindKey({Variant(std::string(p.sought))}));
    EXPECT_EQ(id, table->FieldByName("Id")->AsString() + " ");
    table->SetRange({Variant(std::string(p.sought))}, {Variant(std::string(p.sought))});
    EXPECT_EQ(id, Ids(FilteredIds(table.get(), "", {})));
    table->CancelRange();
  }
}

// The case-blind index lists the names in the order of their folds' code
// points: the Kelvin sign as "k", the long s as "s", "ẞ" as "ß", "Ǆ" and "ǅ"
// as "ǆ", Georgian capitals as their small letters, Cherokee small letters as
// their capitals.
TEST_F(CasePairs, TheIndexOrdersByTheFold) {
  const std::vector<std::string> folded = {"\u212Ael", "ſun", "ẞe", "Ơn", "Ưu", "Ǆa", "ǅb",
                                           "Ɐz", "Əli", "Ωm", "Აb", "Ꭰc", "Ἀθ", "Ⴀa"};
  EXPECT_EQ(folded, ColumnOf(table.get(), "Name"));
}

}  // namespace
