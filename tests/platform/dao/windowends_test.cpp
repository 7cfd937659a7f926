// A table cursor whose read-ahead reached the end of the table (or its start)
// answers the move past it without asking the file again, but only while
// nobody has written since: a row added at either end by another user, by
// another recordset of this connection, or let through by a new condition,
// shows at the next move.

#include <functional>
#include <string>

#include "daotest_util.h"

using namespace dao;
using daotest::DaoFixture;

namespace {

using CoreWindowEnds = DaoFixture;

struct Writer {
  const char* name;
  // Adds a row named `who` at age 1, not through the recordset under test.
  std::function<void(const std::string& who)> add;
};

}  // namespace

TEST_F(CoreWindowEnds, ARowAddedPastEitherEndShowsAtTheNextMove) {
  MakePeople();
  const Writer writers[] = {
      {"another user",
       [this](const std::string& who) {
         TDatabaseCore other(path_, false, false, "");
         other.Execute("INSERT INTO People (Name, Age) VALUES ('" + who + "', 1)");
       }},
      {"another recordset of this connection",
       [this](const std::string& who) {
         auto writer = db_->OpenRecordset("People", -1);
         writer->AddNew();
         writer->SetValue(1, Cell::MakeText(who));
         writer->SetValue(2, Cell::MakeInteger(1));
         writer->Update();
       }},
  };
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.name);
    db_->Execute("DELETE FROM People");
    AddPerson("m", 1);
    AddPerson("n", 1);
    auto rs = db_->OpenRecordset("People", -1);
    rs->SetIndex("ByName");
    // Forward: the first read took both rows and came short of its limit.
    rs->MoveFirst();
    rs->MoveNext();
    ASSERT_EQ("n", rs->Value(1).text);
    w.add("z");
    rs->MoveNext();
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ("z", rs->Value(1).text);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof()) << "and nothing after it";
    // Backward: the read from the end took every row.
    rs->MoveLast();
    rs->MovePrevious();
    rs->MovePrevious();
    ASSERT_EQ("m", rs->Value(1).text);
    w.add("a");
    rs->MovePrevious();
    ASSERT_FALSE(rs->Bof());
    EXPECT_EQ("a", rs->Value(1).text);
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
  }
}

// Past the end of a window that held every row, the cursor is at its end;
// the moves back from there find the rows again, a seek's single row is no
// end, and a row condition set afterwards is the one the next reads meet.
TEST_F(CoreWindowEnds, TheEndOfAWholeWindowIsTheEndOfTheTable) {
  MakePeople();
  for (const char* who : {"a", "b", "c"}) AddPerson(who, who[0] == 'b' ? 2 : 1);
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  rs->MoveFirst();
  rs->MoveNext();
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(errNoCurrentRecord, daotest::ErrorOf([&] { rs->MoveNext(); }));
  rs->MovePrevious();
  EXPECT_EQ("c", rs->Value(1).text);
  // A seek reads its one row, and says nothing of the rows after it.
  rs->Seek("=", {Cell::MakeText("a")});
  ASSERT_FALSE(rs->NoMatch());
  rs->MoveNext();
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ("b", rs->Value(1).text);
  rs->SetRowCondition("Age = 2");
  rs->MoveFirst();
  EXPECT_EQ("b", rs->Value(1).text);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  // The condition widened: the rows it lets through now follow.
  rs->SetRowCondition("Age >= 1");
  rs->MoveFirst();
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_EQ("c", rs->Value(1).text);
}
