// Several real processes on one database file: record locks, changes made by
// another user, a process killed while it holds a lock or a transaction, a
// busy file, and exclusive opens.

#include <chrono>

#include "childprocess.h"
#include "daotest_util.h"

using namespace dao;
using daotest::Child;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

using Processes = daotest::PeopleInBothModes;

TEST_P(Processes, EditLocksTheRecordAgainstOtherProcesses) {
  auto rs = OnPerson(*db_, "one");
  rs->Edit();
  Child child([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    auto mine = OnPerson(db, "one");
    int edit = ErrorOf([&] { mine->Edit(); });
    int del = ErrorOf([&] { mine->Delete(); });
    auto other = OnPerson(db, "two");
    int free = ErrorOf([&] { other->Edit(); });
    c.Tell(edit == errLockedByUser && del == errLockedByUser && free == 0 ? 'y' : 'n');
    c.Hear();  // the parent has updated: the lock is gone
    int after = ErrorOf([&] {
      mine->Edit();
      mine->SetValue(2, Cell::MakeInteger(7));
      mine->Update();
    });
    return after;
  });
  EXPECT_EQ('y', child.Listen());
  rs->SetValue(2, Cell::MakeInteger(5));
  rs->Update();
  child.Say('g');
  EXPECT_EQ(0, child.Wait());
  auto check = OnPerson(*db_, "one");
  EXPECT_EQ(7, check->Value(2).integer);
}

TEST_P(Processes, ChangesAndDeletesByOthersFailTheUpdate) {
  auto one = OnPerson(*db_, "one");
  auto two = OnPerson(*db_, "two");
  one->Edit();
  two->Edit();
  Child child([&](Child&) {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("UPDATE People SET Age = 10 WHERE Name = 'one'");
    db.Execute("DELETE FROM People WHERE Name = 'two'");
    return 0;
  });
  ASSERT_EQ(0, child.Wait());
  one->SetValue(2, Cell::MakeInteger(3));
  EXPECT_EQ(errDataChanged, ErrorOf([&] { one->Update(); }));
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { two->Update(); }));
  // A fresh Edit sees the other user's value and succeeds.
  one->Edit();
  EXPECT_EQ(10, one->Value(2).integer);
  one->SetValue(2, Cell::MakeInteger(11));
  one->Update();
  EXPECT_EQ(11, OnPerson(*db_, "one")->Value(2).integer);
}

TEST_P(Processes, LocksAndTransactionsOfAKilledProcessVanish) {
  Child child([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    auto rs = OnPerson(db, "one");
    rs->Edit();
    db.Conn().Begin();
    for (int i = 0; i < 200; ++i) db.Execute("INSERT INTO People (Name, Age) VALUES ('ghost', 0)");
    c.Tell('r');
    c.Hear();  // killed here
    return 0;
  });
  ASSERT_EQ('r', child.Listen());
  auto rs = OnPerson(*db_, "two");  // reading goes on while the other writes
  child.Kill();
  auto one = OnPerson(*db_, "one");
  EXPECT_EQ(0, ErrorOf([&] { one->Edit(); }));
  one->CancelUpdate();
  EXPECT_EQ(2, db_->OpenRecordset("People", -1)->RecordCount());
  db_->Execute("INSERT INTO People (Name, Age) VALUES ('three', 3)");
  auto check = db_->OpenRecordset("SELECT count(*) AS N FROM People", -1);
  EXPECT_EQ(3, check->Value(0).integer);
}

TEST_P(Processes, BusyFileBeyondTheTimeoutIsALockError) {
  Child child([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    db.Conn().Begin();
    db.Execute("INSERT INTO People (Name, Age) VALUES ('held', 0)");
    c.Tell('r');
    c.Hear();
    db.Conn().Commit();
    return 0;
  });
  ASSERT_EQ('r', child.Listen());
  int saved = Connection::BusyTimeout();
  Connection::SetBusyTimeout(200);
  TDatabaseCore db(path_, false, false, "");  // takes the short timeout
  Connection::SetBusyTimeout(saved);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(errLocked, ErrorOf([&] { db.Execute("INSERT INTO People (Name, Age) VALUES ('late', 0)"); }));
  auto rs = db.OpenRecordset("People", -1);
  EXPECT_EQ(errLocked, ErrorOf([&] { rs->AddNew(); }));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(3));
  EXPECT_EQ(2, rs->RecordCount());  // reading is not blocked
  child.Say('c');
  EXPECT_EQ(0, child.Wait());
  EXPECT_EQ(0, ErrorOf([&] { db.Execute("INSERT INTO People (Name, Age) VALUES ('late', 0)"); }));
  EXPECT_EQ(4, rs->RecordCount());
}

// The names a table cursor in name order reads from its current record on.
std::vector<std::string> NamesFromHere(TRecordsetCore& rs, int field) {
  std::vector<std::string> names;
  for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs.Value(field).text);
  return names;
}

TEST_P(Processes, ALiveCursorSeesEveryOtherWritersChangeAtItsNextMove) {
  for (const char* name : {"a1", "a2", "a3", "a4", "a5", "a6"}) AddPerson(name, 20);
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  rs->MoveFirst();  // the cursor holds a window of rows ahead of it now
  ASSERT_EQ("a1", rs->Value(1).text);
  // Another process changes a row inside that window and deletes another.
  Child child([&](Child&) {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("UPDATE People SET Age = 77 WHERE Name = 'a2'");
    db.Execute("DELETE FROM People WHERE Name = 'a3'");
    return 0;
  });
  ASSERT_EQ(0, child.Wait());
  rs->MoveNext();
  EXPECT_EQ("a2", rs->Value(1).text);
  EXPECT_EQ(77, rs->Value(2).integer) << "the other process's change, at the very next move";
  rs->MoveNext();
  EXPECT_EQ("a4", rs->Value(1).text) << "the deleted row is gone";
  // Another connection of this process.
  {
    TDatabaseCore other(path_, false, false, "");
    other.Execute("UPDATE People SET Age = 55 WHERE Name = 'a5'");
  }
  rs->MoveNext();
  EXPECT_EQ(55, rs->Value(2).integer);
  // Another recordset on the same connection.
  auto writer = OnPerson(*db_, "a6");
  writer->Edit();
  writer->SetValue(2, Cell::MakeInteger(66));
  writer->Update();
  rs->MoveNext();
  EXPECT_EQ("a6", rs->Value(1).text);
  EXPECT_EQ(66, rs->Value(2).integer);
  // And rows another process adds ahead of the cursor.
  Child adder([&](Child&) {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('a7', 7)");
    return 0;
  });
  ASSERT_EQ(0, adder.Wait());
  rs->MoveNext();
  EXPECT_EQ((std::vector<std::string>{"a7", "one", "two"}), NamesFromHere(*rs, 1));
}

TEST_P(Processes, ExclusiveOpensAcrossProcesses) {
  Child child([&](Child& c) {
    auto shared = std::make_unique<TDatabaseCore>(path_, false, false, "");
    c.Tell('s');
    c.Hear();
    shared.reset();
    TDatabaseCore exclusive(path_, true, false, "");
    c.Tell('x');
    c.Hear();
    return 0;
  });
  ASSERT_EQ('s', child.Listen());
  db_.reset();
  EXPECT_EQ(errFileInUse, ErrorOf([&] { TDatabaseCore(path_, true, false, ""); }));
  child.Say('n');
  ASSERT_EQ('x', child.Listen());
  EXPECT_EQ(errOpenedExclusively, ErrorOf([&] { TDatabaseCore(path_, false, false, ""); }));
  child.Kill();  // its exclusive hold goes with it
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore(path_, true, false, ""); }));
}

INSTANTIATE_TEST_SUITE_P(BothModes, Processes, ::testing::Values(false, true), daotest::ModeName);

}  // namespace
