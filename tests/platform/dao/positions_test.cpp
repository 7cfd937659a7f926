// Absolute positions of a table cursor stay exact while rows come and go:
// through the cursor itself, another recordset or connection, another
// process, a transaction rolled back, and under a row condition. Each case
// first puts the cursor somewhere (so that it holds what it learnt of the
// order), then changes the table, then checks the first, middle and last
// positions, both ways, against a fresh cursor's walk.

#include <algorithm>
#include <functional>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

// More rows than a put near the start counts its way through, so that puts
// in the middle and at the end go by the keys in order.
constexpr int kRows = 1200;

std::string NameAt(int i) {
  // Distinct names of one length in an order unrelated to insertion order.
  return "p" + std::to_string((i * 37) % 1201 + 1000);
}

// Adds a row through the cursor (an age of Null leaves Age empty).
void Add(TRecordsetCore& rs, const std::string& name, const Cell& age) {
  rs.AddNew();
  rs.SetValue(1, Cell::MakeText(name));
  if (!age.IsNull()) rs.SetValue(2, age);
  rs.Update();
}

class Positions : public DaoFixture {
 protected:
  void SetUp() override {
    DaoFixture::SetUp();
    MakePeople();
    db_->Conn().Begin();
    for (int i = 0; i < kRows; ++i) AddPerson(NameAt(i), i % 7);
    db_->Conn().Commit();
  }

  // The names in the order `index` gives, as a cursor opened now reads them
  // (on the same connection, which sees its own transaction).
  std::vector<std::string> Order(const std::string& index) {
    auto rs = db_->OpenRecordset("People", dbReadOnly);
    if (!index.empty()) rs->SetIndex(index);
    std::vector<std::string> out;
    if (rs->Bof() && rs->Eof()) return out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out.push_back(rs->Value(1).text);
    return out;
  }

  // Puts the cursor at the first, middle and last rows and reads each one's
  // position back after reaching it another way.
  void ExpectPositions(TRecordsetCore& rs, const std::string& index, const std::string& what) {
    std::vector<std::string> order = Order(index);
    ASSERT_FALSE(order.empty()) << what;
    const int last = static_cast<int>(order.size()) - 1;
    for (int p : {0, last / 2, last}) {
      rs.SetAbsolutePosition(p);
      EXPECT_EQ(order[static_cast<size_t>(p)], rs.Value(1).text) << what << ", put at " << p;
      const std::string mark = rs.Bookmark();
      rs.MoveFirst();
      rs.SetBookmark(mark);
      EXPECT_EQ(p, rs.AbsolutePosition()) << what << ", read at " << p;
    }
    EXPECT_EQ(errInvalidArgument, ErrorOf([&] { rs.SetAbsolutePosition(last + 1); })) << what;
    // The last row the moves reach (a row condition may stop them short).
    rs.MoveLast();
    auto at = std::find(order.begin(), order.end(), rs.Value(1).text);
    EXPECT_EQ(at - order.begin(), rs.AbsolutePosition()) << what << ", after MoveLast";
  }

  // A new database for the next case of a table.
  void Fresh() {
    TearDown();
    SetUp();
  }

  // Opens the cursor in `index` order and puts it in the middle once.
  std::unique_ptr<TRecordsetCore> Placed(const std::string& index) {
    auto rs = db_->OpenRecordset("People", -1);
    if (!index.empty()) rs->SetIndex(index);
    rs->SetAbsolutePosition(kRows / 2);
    return rs;
  }

  void MoveTo(TRecordsetCore& rs, const std::string& name) {
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
      if (rs.Value(1).text == name) return;
    FAIL() << name << " not found";
  }
};

// Row order, a text order and a descending order with duplicates.
const char* const kOrders[] = {"", "ByName", "ByAgeName"};

TEST_F(Positions, ThisCursorsOwnAdditionsEditsAndDeletions) {
  struct Case {
    const char* what;
    std::function<void(TRecordsetCore&)> change;
  };
  const std::vector<Case> cases = {
      {"added before every row",
       [](TRecordsetCore& rs) { Add(rs, "a000", Cell::MakeInteger(9)); }},
      {"added after every row",
       [](TRecordsetCore& rs) { Add(rs, "z999", Cell::MakeInteger(-1)); }},
      {"added with a Null key",
       [](TRecordsetCore& rs) { Add(rs, "n", Cell()); }},
      {"first deleted",
       [](TRecordsetCore& rs) {
         rs.SetAbsolutePosition(0);
         rs.Delete();
       }},
      {"middle deleted",
       [](TRecordsetCore& rs) {
         rs.SetAbsolutePosition(kRows / 2 - 1);
         rs.Delete();
       }},
      {"last deleted, reached by moves",
       [](TRecordsetCore& rs) {
         rs.MoveLast();
         rs.Delete();
       }},
      {"first renamed to the end",
       [](TRecordsetCore& rs) {
         rs.SetAbsolutePosition(0);
         rs.Edit();
         rs.SetValue(1, Cell::MakeText("zz"));
         rs.SetValue(2, Cell::MakeInteger(-5));
         rs.Update();
       }},
      {"edited without moving",
       [](TRecordsetCore& rs) {
         rs.SetAbsolutePosition(10);
         rs.Edit();
         rs.SetValue(3, Cell::MakeReal(40000));
         rs.Update();
       }},
      {"added, then cancelled",
       [](TRecordsetCore& rs) {
         rs.AddNew();
         rs.SetValue(1, Cell::MakeText("a"));
         rs.CancelUpdate();
       }},
  };
  for (const char* index : kOrders)
    for (const auto& c : cases) {
      Fresh();
      auto rs = Placed(index);
      c.change(*rs);
      ExpectPositions(*rs, index, std::string(c.what) + " in order '" + index + "'");
      // And once more after further changes of its own in a row.
      Add(*rs, "b" + std::string(c.what).substr(0, 3), Cell());
      rs->SetAbsolutePosition(5);
      rs->Delete();
      ExpectPositions(*rs, index, std::string(c.what) + " and more in order '" + index + "'");
    }
}

TEST_F(Positions, ChangesByOthersOfThisProcess) {
  struct Case {
    const char* what;
    std::function<void()> change;
  };
  const std::vector<Case> cases = {
      {"another connection adds first",
       [this] {
         TDatabaseCore other(path_, false, false, "");
         other.Execute("INSERT INTO People (Name, Age) VALUES ('a0', 99)");
       }},
      {"another connection deletes the middle and the last",
       [this] {
         TDatabaseCore other(path_, false, false, "");
         const std::string last = Order("ByName").back();
         other.Execute("DELETE FROM People WHERE Name IN ('" + NameAt(kRows / 2) + "', '" + last + "')");
       }},
      {"another connection renames a row to the front",
       [this] {
         TDatabaseCore other(path_, false, false, "");
         other.Execute("UPDATE People SET Name = 'a1', Age = 50 WHERE Name = '" + NameAt(59) + "'");
       }},
      {"another recordset on the same connection adds",
       [this] {
         auto writer = db_->OpenRecordset("People", -1);
         writer->AddNew();
         writer->SetValue(1, Cell::MakeText("a2"));
         writer->SetValue(2, Cell::MakeInteger(80));
         writer->Update();
       }},
      {"an SQL statement on the same connection deletes",
       [this] { db_->Execute("DELETE FROM People WHERE Age = 3"); }},
      {"a statement inside a transaction of the same connection",
       [this] {
         db_->Conn().Begin();
         db_->Conn().Exec("INSERT INTO People (Name, Age) VALUES ('a3', 70)");
         db_->Conn().Commit();
       }},
  };
  for (const char* index : kOrders)
    for (const auto& c : cases) {
      Fresh();
      auto rs = Placed(index);
      c.change();
      ExpectPositions(*rs, index, std::string(c.what) + " in order '" + index + "'");
    }
}

// A row this cursor added and then lost to a rollback is gone from its
// positions too.
TEST_F(Positions, RolledBackAdditionsAndDeletionsLeaveNoTrace) {
  for (const char* index : kOrders) {
    Fresh();
    auto rs = Placed(index);
    db_->Conn().Begin();
    Add(*rs, "a9", Cell::MakeInteger(90));
    rs->SetAbsolutePosition(kRows - 10);
    rs->Delete();
    ExpectPositions(*rs, index, std::string("inside the transaction, order '") + index + "'");
    db_->Conn().Rollback();
    ExpectPositions(*rs, index, std::string("rolled back, order '") + index + "'");
  }
}

// Positions count every row, also those a row condition makes the moves skip.
TEST_F(Positions, UnderARowConditionCountEveryRow) {
  for (const char* index : kOrders) {
    Fresh();
    auto rs = Placed(index);
    rs->SetRowCondition("\"Age\" = 4");
    ExpectPositions(*rs, index, std::string("with the condition, order '") + index + "'");
    Add(*rs, "a5", Cell::MakeInteger(4));
    {
      TDatabaseCore other(path_, false, false, "");
      other.Execute("DELETE FROM People WHERE Age = 1");
    }
    ExpectPositions(*rs, index, std::string("changed under the condition, order '") + index + "'");
    // A move the condition governs, then its position.
    MoveTo(*rs, "a5");
    std::vector<std::string> order = Order(index);
    EXPECT_EQ(std::find(order.begin(), order.end(), "a5") - order.begin(), rs->AbsolutePosition()) << index;
  }
}

// Another process commits between two puts of a cursor, in both sharing modes.
class PositionsAcrossProcesses : public Positions, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(GetParam());
    Positions::SetUp();
  }
  void TearDown() override {
    Positions::TearDown();
    daotest::UseNetworkMode(false);
  }
};

TEST_P(PositionsAcrossProcesses, AnotherProcessCommitsBetweenPuts) {
  auto rs = Placed("ByName");
  ExpectPositions(*rs, "ByName", "before");
  Child child([&](Child&) {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('a0', 1)");
    db.Execute("DELETE FROM People WHERE Name = '" + NameAt(kRows / 2) + "'");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('zz', 1)");
    return 0;
  });
  ASSERT_EQ(0, child.Wait());
  ExpectPositions(*rs, "ByName", "after the other process");
  rs->SetAbsolutePosition(0);
  EXPECT_EQ("a0", rs->Value(1).text);
}

INSTANTIATE_TEST_SUITE_P(BothModes, PositionsAcrossProcesses, ::testing::Bool());

}  // namespace
