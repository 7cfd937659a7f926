// Edit and Update as the write path runs them: the row an edit starts from,
// the check that nobody changed it before the update, the values as SQLite
// stores them, and failures that must leave the row and the edit as they were.

#include <cmath>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::ErrorOf;

namespace {

class EditWrites : public daotest::PeopleInBothModes {
 protected:
  // A field of a person's row as the file holds it, read afresh.
  Cell Stored(const std::string& name, int field) { return OnPerson(*db_, name)->Value(field); }
};

constexpr int kAge = 2, kNotes = 4;

// Whoever writes, and whenever: a write before the edit shows in the edit,
// one after it to the same row fails the update, one to another row does not.
TEST_P(EditWrites, WritesBetweenTheMoveTheEditAndTheUpdateAreSeen) {
  TDatabaseCore other(path_, false, false, "");
  struct Case {
    const char* name;
    bool ownConnection;  // else another connection of this process
    bool afterEdit;      // else between the move and the edit
    bool sameRow;
    bool inTransaction;  // the edit runs in a transaction of its connection
  };
  const Case cases[] = {
      {"own, before the edit, same row", true, false, true, false},
      {"own, after the edit, same row", true, true, true, false},
      {"own, after the edit, other row", true, true, false, false},
      {"own in a transaction, before the edit", true, false, true, true},
      {"own in a transaction, after the edit", true, true, true, true},
      {"other, before the edit, same row", false, false, true, false},
      {"other, after the edit, same row", false, true, true, false},
      {"other, after the edit, other row", false, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_->Execute("UPDATE People SET Age = 1, Notes = NULL WHERE Name = 'one'");
    db_->Execute("UPDATE People SET Age = 2 WHERE Name = 'two'");
    auto rs = OnPerson(*db_, "one");
    auto write = [&] {
      std::string sql = std::string("UPDATE People SET Age = 50 WHERE Name = '") + (c.sameRow ? "one" : "two") + "'";
      (c.ownConnection ? *db_ : other).Execute(sql);
    };
    if (c.inTransaction) db_->Conn().Begin();
    if (!c.afterEdit) write();
    rs->Edit();
    if (!c.afterEdit) {
      EXPECT_EQ(50, rs->Value(kAge).integer);
    }
    if (c.afterEdit) write();
    rs->SetValue(kNotes, Cell::MakeText("mine"));
    const bool refused = c.afterEdit && c.sameRow;
    EXPECT_EQ(refused ? errDataChanged : 0, ErrorOf([&] { rs->Update(); }));
    if (refused) rs->CancelUpdate();
    if (c.inTransaction) db_->Conn().Commit();
    EXPECT_EQ(c.sameRow ? 50 : 1, Stored("one", kAge).integer);
    EXPECT_EQ(c.sameRow ? 2 : 50, Stored("two", kAge).integer);
    EXPECT_EQ(refused ? Cell() : Cell::MakeText("mine"), Stored("one", kNotes));
    if (!refused) {
      EXPECT_EQ("mine", rs->Value(kNotes).text);
    }
  }
}

// After an update the recordset shows what the file holds, not what was
// given: SQLite converts by the column's type, and triggers write too.
TEST_P(EditWrites, TheUpdatedRowShowsTheValuesAsStored) {
  db_->Execute(
      "CREATE TABLE V (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, N LONG, R DOUBLE, T TEXT(20), B LONGBINARY)");
  db_->Conn().Exec("CREATE TABLE W (Id INTEGER PRIMARY KEY, X NUMERIC, Y TEXT)");
  db_->Execute("INSERT INTO V (N) VALUES (0)");
  db_->Conn().Exec("INSERT INTO W (X) VALUES (0)");
  struct Case {
    const char* table;
    int field;
    Cell given;
    Cell stored;
  };
  const Case cases[] = {
      {"V", 1, Cell::MakeText("7"), Cell::MakeInteger(7)},
      {"V", 1, Cell::MakeReal(5.0), Cell::MakeInteger(5)},
      {"V", 1, Cell::MakeReal(5.5), Cell::MakeReal(5.5)},
      {"V", 1, Cell::MakeInteger(9), Cell::MakeInteger(9)},
      {"V", 2, Cell::MakeInteger(5), Cell::MakeReal(5.0)},
      {"V", 2, Cell::MakeText("2.5"), Cell::MakeReal(2.5)},
      {"V", 2, Cell::MakeReal(std::nan("")), Cell()},
      {"V", 3, Cell::MakeInteger(12), Cell::MakeText("12")},
      {"V", 3, Cell::MakeText("x"), Cell::MakeText("x")},
      {"V", 4, Cell::MakeText("abc"), Cell::MakeText("abc")},
      {"W", 1, Cell::MakeText("1e2"), Cell::MakeInteger(100)},
      {"W", 1, Cell::MakeReal(3.0), Cell::MakeInteger(3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " field " + std::to_string(c.field) + " given kind " +
                 std::to_string(c.given.kind));
    auto rs = db_->OpenRecordset(c.table, -1);
    rs->Edit();
    rs->SetValue(c.field, c.given);
    rs->Update();
    EXPECT_EQ(c.stored, rs->Value(c.field));
    EXPECT_EQ(c.stored, db_->OpenRecordset(c.table, -1)->Value(c.field));
  }
  // A trigger that changes the row after the update, and one that writes
  // elsewhere only.
  db_->Conn().Exec(
      "CREATE TRIGGER Stamp AFTER UPDATE OF X ON W BEGIN UPDATE W SET Y = 'by trigger' WHERE Id = NEW.Id; END");
  db_->Conn().Exec("CREATE TABLE Log (Entry TEXT)");
  db_->Conn().Exec("CREATE TRIGGER Note AFTER UPDATE OF N ON V BEGIN INSERT INTO Log VALUES ('n'); END");
  auto w = db_->OpenRecordset("W", -1);
  w->Edit();
  w->SetValue(1, Cell::MakeInteger(4));
  w->Update();
  EXPECT_EQ("by trigger", w->Value(2).text);
  EXPECT_EQ(4, w->Value(1).integer);
  auto v = db_->OpenRecordset("V", -1);
  v->Edit();
  v->SetValue(1, Cell::MakeText("8"));
  v->Update();
  EXPECT_EQ(Cell::MakeInteger(8), v->Value(1));
}

// A refused update changes nothing in the file, keeps the edit pending, and
// leaves the prepared statements fit for the next one.
TEST_P(EditWrites, AFailedUpdateLeavesTheRowAndTheEditAsTheyWere) {
  db_->Execute("CREATE UNIQUE INDEX ByAgeOnly ON People (Age)");
  auto rs = OnPerson(*db_, "one");
  rs->Edit();
  rs->SetValue(kAge, Cell::MakeInteger(2));  // "two"'s age
  rs->SetValue(kNotes, Cell::MakeText("lost?"));
  EXPECT_EQ(errDuplicateKey, ErrorOf([&] { rs->Update(); }));
  EXPECT_EQ(dbEditInProgress, rs->EditMode());
  EXPECT_EQ(2, rs->Value(kAge).integer);  // the edit's buffer
  EXPECT_EQ(1, Stored("one", kAge).integer);
  EXPECT_TRUE(Stored("one", kNotes).IsNull());
  rs->SetValue(kAge, Cell::MakeInteger(3));
  rs->Update();
  EXPECT_EQ(3, Stored("one", kAge).integer);
  EXPECT_EQ("lost?", Stored("one", kNotes).text);
}

// The schema changing under the cached statements (another connection adds a
// column and an index) does not disturb the next edit.
TEST_P(EditWrites, EditsGoOnAfterAnotherUserChangesTheSchema) {
  auto rs = OnPerson(*db_, "one");
  rs->Edit();
  rs->SetValue(kAge, Cell::MakeInteger(10));
  rs->Update();
  {
    TDatabaseCore other(path_, false, false, "");
    other.Conn().Exec("ALTER TABLE People ADD COLUMN Extra INTEGER");
    other.Execute("CREATE INDEX ByNotes ON People (Notes)");
    other.Execute("UPDATE People SET Notes = 'theirs' WHERE Name = 'one'");
  }
  rs->Edit();
  EXPECT_EQ("theirs", rs->Value(kNotes).text);
  rs->SetValue(kAge, Cell::MakeInteger(11));
  rs->Update();
  EXPECT_EQ(11, Stored("one", kAge).integer);
  EXPECT_EQ("theirs", Stored("one", kNotes).text);
}

// Inside a transaction an edit keeps the rows its cursor read ahead only
// while they are as they were: writes to other rows (a trigger's, the same
// connection's), a changed place in the order, and other users' commits
// after the transaction all show at the next moves.
TEST_P(EditWrites, RowsReadAheadShowEveryWriteAfterAnEditInATransaction) {
  for (const char* name : {"three", "four", "five"}) AddPerson(name, 3);
  TDatabaseCore other(path_, false, false, "");
  auto editNotes = [&](TRecordsetCore& rs, const char* text) {
    rs.Edit();
    rs.SetValue(kNotes, Cell::MakeText(text));
    rs.Update();
  };
  {
    SCOPED_TRACE("a trigger changes the next row");
    db_->Conn().Exec(
        "CREATE TRIGGER Bump AFTER UPDATE OF Notes ON People BEGIN "
        "UPDATE People SET Age = Age + 100 WHERE Name = 'two'; END");
    auto rs = db_->OpenRecordset("People", -1);  // row order: one, two, three...
    db_->Conn().Begin();
    rs->MoveFirst();  // rows read ahead in the transaction
    editNotes(*rs, "a");
    rs->MoveNext();
    EXPECT_EQ(102, rs->Value(kAge).integer);
    db_->Conn().Commit();
    db_->Conn().Exec("DROP TRIGGER Bump");
  }
  {
    SCOPED_TRACE("the edit moves its row in the order");
    auto rs = db_->OpenRecordset("People", -1);
    rs->SetIndex("ByName");  // five, four, one, three, two
    db_->Conn().Begin();
    rs->MoveFirst();
    rs->MoveNext();
    rs->MoveNext();
    ASSERT_EQ("one", rs->Value(1).text);
    rs->Edit();
    rs->SetValue(1, Cell::MakeText("zed"));
    rs->Update();
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof()) << "zed comes last";
    db_->Conn().Commit();
  }
  {
    SCOPED_TRACE("the same connection writes the next rows, then another user after the commit");
    auto rs = db_->OpenRecordset("People", -1);
    db_->Conn().Begin();
    rs->MoveFirst();
    db_->Execute("UPDATE People SET Age = 50 WHERE Name = 'two'");  // before the edit
    editNotes(*rs, "b");
    rs->MoveNext();
    EXPECT_EQ(50, rs->Value(kAge).integer);
    editNotes(*rs, "c");
    db_->Execute("UPDATE People SET Age = 55 WHERE Name = 'three'");  // after it
    rs->MoveNext();
    EXPECT_EQ(55, rs->Value(kAge).integer);
    editNotes(*rs, "d");
    db_->Conn().Commit();
    other.Execute("UPDATE People SET Age = 60 WHERE Name = 'four'");
    rs->MoveNext();
    EXPECT_EQ(60, rs->Value(kAge).integer);
  }
  {
    SCOPED_TRACE("edits alone keep every row as written");
    auto rs = db_->OpenRecordset("People", -1);
    db_->Conn().Begin();
    rs->MoveFirst();
    std::vector<std::string> seen;
    for (; !rs->Eof(); rs->MoveNext()) {
      editNotes(*rs, ("n" + std::to_string(seen.size())).c_str());
      seen.push_back(rs->Value(kNotes).text + "/" + std::to_string(rs->Value(kAge).integer));
    }
    db_->Conn().Commit();
    EXPECT_EQ((std::vector<std::string>{"n0/1", "n1/50", "n2/55", "n3/60", "n4/3"}), seen);
    rs->MoveFirst();
    EXPECT_EQ("n0", rs->Value(kNotes).text);
  }
}

INSTANTIATE_TEST_SUITE_P(BothModes, EditWrites, ::testing::Bool(), daotest::ModeName);

// With a rollback journal a reader keeps a writer from committing: the
// update fails whole once the busy timeout passes, and succeeds once the
// reader is done.
TEST(EditWritesNetwork, ACommitRefusedWhileOthersReadLeavesNothingHalfDone) {
  daotest::UseNetworkMode(true);
  const int savedTimeout = Connection::BusyTimeout();
  Connection::SetBusyTimeout(100);
  const std::string dir = daotest::ScratchDir(), path = dir + "/Busy.MDB";
  {
    TDatabaseCore::Create(path, "");
    TDatabaseCore db(path, false, false, "");
    db.Execute("CREATE TABLE T (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, V LONG)");
    db.Execute("INSERT INTO T (V) VALUES (1)");
    TDatabaseCore reader(path, false, false, "");
    auto rs = db.OpenRecordset("T", -1);
    rs->Edit();
    rs->SetValue(1, Cell::MakeInteger(2));
    reader.Conn().Exec("BEGIN");
    EXPECT_EQ(1, reader.OpenRecordset("T", -1)->Value(1).integer);  // holds the file's read lock
    EXPECT_EQ(errLocked, ErrorOf([&] { rs->Update(); }));
    EXPECT_EQ(dbEditInProgress, rs->EditMode());
    reader.Conn().Exec("COMMIT");
    EXPECT_EQ(1, db.OpenRecordset("T", -1)->Value(1).integer);
    rs->Update();
    EXPECT_EQ(2, reader.OpenRecordset("T", -1)->Value(1).integer);
  }
  std::filesystem::remove_all(dir);
  daotest::UseNetworkMode(false);
  Connection::SetBusyTimeout(savedTimeout);
}

}  // namespace
