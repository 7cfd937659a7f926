// Bands about a point of the index's first columns (a range of one key): a
// part of the index wholly before the point is asked only the first band,
// one within it the middle ones, one after it the last. Every read, walk and
// seek, either way and in either order of the column, reads the rows it reads
// when every part is asked every band.

#include <string>
#include <vector>

#include "daotest_util.h"

using namespace dao;
using daotest::DaoFixture;

namespace {

class BandPoint : public DaoFixture {
 protected:
  void SetUp() override {
    DaoFixture::SetUp();
    MakePeople();  // ByAgeName: (Age DESC, Name)
    db_->Execute("CREATE INDEX ByAgeUp ON People (Age, Name)");
    auto insert = db_->Conn().Prepare("INSERT INTO People (Name, Age) VALUES (?, ?)");
    const std::vector<std::pair<const char*, Cell>> rows = {
        {"a", Cell()},         {"b", Cell()},           {"a", Cell::MakeInteger(1)},
        {"b", Cell::MakeInteger(1)}, {"a", Cell::MakeInteger(2)}, {"b", Cell::MakeInteger(2)},
        {"B", Cell::MakeInteger(2)}, {"c", Cell::MakeInteger(2)}, {"b", Cell::MakeReal(2.5)},
        {"b", Cell::MakeInteger(3)}, {"b", Cell::MakeText("x")},  {"b", Cell::MakeInteger(40000)},
        {"b", Cell::MakeReal(2.0)}};
    for (const auto& [name, age] : rows) {
      insert->Bind(1, std::string(name));
      insert->Bind(2, age);
      insert->Step();
      insert->Reset();
    }
  }
  // Ids read: a walk from each end, and from each seek either way.
  std::string Reads(const std::string& index, const std::vector<std::string>& bands, const std::vector<Cell>& point) {
    auto rs = db_->OpenRecordset("People", -1);
    rs->SetIndex(index);
    rs->SetRowCondition("", bands, point);
    std::string out;
    auto walk = [&](bool forward) {
      for (; !rs->Eof() && !rs->Bof(); forward ? rs->MoveNext() : rs->MovePrevious())
        out += std::to_string(rs->Value(0).integer) + " ";
      out += "| ";
    };
    rs->MoveFirst();
    walk(true);
    rs->MoveLast();
    walk(false);
    const std::vector<std::vector<Cell>> keys = {{Cell::MakeInteger(2)},
                                                 {Cell::MakeInteger(1)},
                                                 {Cell::MakeInteger(3)},
                                                 {Cell::MakeInteger(2), Cell::MakeText("b")},
                                                 {Cell()}};
    for (const auto& key : keys)
      for (const char* op : {">=", ">", "<=", "<"}) {
        rs->Seek(op, key);
        if (rs->NoMatch()) {
          out += "none | ";
          continue;
        }
        walk(op[0] == '>');
      }
    return out;
  }
};

TEST_F(BandPoint, EachPartOfTheIndexReadsTheBandsThatCanHoldItsRows) {
  struct Case {
    const char* index;
    const char* before;
    const char* after;
  };
  const Case cases[] = {{"ByAgeUp", "(\"Age\" < 2 OR \"Age\" IS NULL)", "\"Age\" > 2"},
                        {"ByAgeName", "\"Age\" > 2", "(\"Age\" < 2 OR \"Age\" IS NULL)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    // Within the point, the names "b" in any case (ascending names in both).
    const std::vector<std::string> bands = {c.before, "\"Age\" = 2 AND \"Name\" < 'b'", "\"Age\" = 2 AND \"Name\" = 'b'",
                                            "\"Age\" = 2 AND \"Name\" > 'b'", c.after};
    const std::string everywhere = Reads(c.index, bands, {});
    EXPECT_EQ(everywhere, Reads(c.index, bands, {Cell::MakeInteger(2)}));
    EXPECT_EQ(everywhere, Reads(c.index, {}, {})) << "the bands hold every row";
  }
}

}  // namespace
