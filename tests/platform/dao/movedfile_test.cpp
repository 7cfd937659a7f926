// The database file removed, renamed away or replaced by another program
// while a connection has it open: every write, edit and new cursor is refused
// with an error that says so, and nothing is written where nobody would find
// it. The same file put back at its path takes writes again.

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "childprocess.h"
#include "daotest_util.h"
#include "earlierbuild.h"
#include "sharedfile.h"

using namespace dao;
using daotest::Child;
using daotest::ErrorOf;
using daotest::DescriptionOf;
namespace fs = std::filesystem;

namespace {

class MovedFile : public daotest::PeopleInBothModes {
 protected:
  void SetUp() override {
    PeopleInBothModes::SetUp();
    other_ = dir_ + "/Other.MDB";
    moved_ = dir_ + "/Moved.MDB";
  }
  // Another database with an empty People table, closed.
  void MakeOther() {
    TDatabaseCore::Create(other_, "");
    TDatabaseCore db(other_, false, false, "");
    db.Execute("CREATE TABLE People (Id COUNTER, Name TEXT(20), Age SHORT)");
  }
  // Another program does it while this one keeps the file open.
  static void ByAnotherProgram(const std::function<int()>& act) {
    Child child([&](Child&) { return act(); });
    ASSERT_EQ(0, child.Wait());
  }
  // People's names and ages in a file, read by a connection of its own.
  static std::vector<std::string> People(const std::string& path) {
    TDatabaseCore db(path, false, true, "");
    auto rs = db.OpenRecordset("SELECT Name, Age FROM People ORDER BY Name", -1);
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext())  // an open recordset stands on its first row
      out.push_back(rs->Value(0).text + ":" + std::to_string(rs->Value(1).AsInteger()));
    return out;
  }
  std::string other_, moved_;
};

TEST_P(MovedFile, EveryWriteIsRefusedOnceThePathNamesAnotherFileOrNone) {
  struct Case {
    const char* name;
    std::function<int()> act;
    bool otherAtPath;  // else nothing is there
  };
  const Case cases[] = {
      {"removed", [this] { return ::unlink(path_.c_str()); }, false},
      {"renamed away", [this] { return ::rename(path_.c_str(), moved_.c_str()); }, false},
      {"another renamed over it", [this] { return ::rename(other_.c_str(), path_.c_str()); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.reset();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    TDatabaseCore::Create(path_, "");
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    MakeOneAndTwo();
    MakeOther();
    auto editing = OnPerson(*db_, "one");
    editing->Edit();
    editing->SetValue(2, Cell::MakeInteger(10));
    auto browsing = OnPerson(*db_, "two");
    db_->Conn().Begin();
    db_->Execute("UPDATE People SET Age = 20 WHERE Name = 'two'");

    ByAnotherProgram(c.act);

    // The open transaction is not committed, and rolled back.
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->Conn().Commit(); }));
    EXPECT_EQ(0, db_->Conn().TransactionDepth());
    // The edit under way, a new edit, an addition, a deletion, a statement,
    // a transaction and a new cursor.
    const std::string said = DescriptionOf([&] { editing->Update(); });
    EXPECT_NE(said.find("'" + path_ + "' was moved, removed or replaced while it was open"), std::string::npos)
        << said;
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { browsing->Edit(); }));
    EXPECT_EQ(dbEditNone, browsing->EditMode());
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { browsing->AddNew(); }));
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { browsing->Delete(); }));
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->Execute("DELETE FROM People"); }));
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->Conn().Begin(); }));
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->OpenRecordset("People", -1); }));
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->OpenRecordset("SELECT * FROM People", -1); }));
    // Reading on with a cursor already open goes on (the rows it had); a
    // refresh, which asks for the file as it stands, is refused.
    EXPECT_EQ("two", browsing->Value(1).text);
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { browsing->Requery(); }));
    editing.reset();
    browsing.reset();
    db_.reset();

    // Nothing of it went anywhere.
    const std::vector<std::string> original = {"one:1", "two:2"};
    if (c.otherAtPath) {
      EXPECT_EQ(People(path_), std::vector<std::string>{});
    } else {
      EXPECT_FALSE(fs::exists(path_));
    }
    if (fs::exists(moved_)) {
      EXPECT_EQ(People(moved_), original) << "the moved file has every commit made before the move";
    }
  }
}

// The same file back at its path (renamed away and back) is the file held:
// writes go on, to it.
TEST_P(MovedFile, TheSameFileBackInPlaceTakesWritesAgain) {
  auto rs = OnPerson(*db_, "one");
  ByAnotherProgram([&] { return ::rename(path_.c_str(), moved_.c_str()); });
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { rs->Edit(); }));
  ByAnotherProgram([&] { return ::rename(moved_.c_str(), path_.c_str()); });
  rs->Requery();
  rs->Edit();
  rs->SetValue(2, Cell::MakeInteger(10));
  rs->Update();
  rs.reset();
  db_.reset();
  EXPECT_EQ(People(path_), (std::vector<std::string>{"one:10", "two:2"}));
}

// Two programs have the file open when another file is renamed over it.
// Each save reported done must be in the file it was made in: the log files
// beside the path are the old file's until every program holding it has let
// it go, so the new file opens only then (3045 before), and the program
// that still holds the old file is told what happened when it saves (3043).
TEST_P(MovedFile, SavesStayInTheirOwnFileWhileAnotherProgramHoldsTheReplacedOne) {
  MakeOther();
  const std::string kept = dir_ + "/Kept.MDB";  // the replaced file, found again
  ASSERT_EQ(0, ::link(path_.c_str(), kept.c_str()));
  AddPerson("a1", 1);
  Child second([&](Child& c) {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('b1', 1)");
    c.Tell('1');
    c.Hear();
    const int refused = ErrorOf([&] { db.Execute("INSERT INTO People (Name, Age) VALUES ('b3', 3)"); });
    return refused == errDiskOrNetwork ? 0 : 10 + refused % 100;
  });
  ASSERT_EQ('1', second.Listen());
  ASSERT_EQ(0, ::rename(other_.c_str(), path_.c_str()));

  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { AddPerson("a2", 2); }));
  db_.reset();
  // The first program opens again and saves while the second still holds the old file.
  const int reopened = ErrorOf([&] {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('a3', 3)");
  });
  EXPECT_EQ(errFileInUse, reopened);
  second.Say('3');
  EXPECT_EQ(0, second.Wait());
  {
    TDatabaseCore db(path_, false, false, "");
    db.Execute("INSERT INTO People (Name, Age) VALUES ('a4', 4)");
  }
  EXPECT_EQ(People(kept), (std::vector<std::string>{"a1:1", "b1:1", "one:1", "two:2"}));
  EXPECT_EQ(People(path_), reopened == 0 ? (std::vector<std::string>{"a3:3", "a4:4"})
                                         : (std::vector<std::string>{"a4:4"}));
  for (const std::string& file : {kept, path_}) {
    TDatabaseCore db(file, false, true, "");
    auto check = db.Conn().Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check->Step());
    EXPECT_EQ("ok", check->ColumnText(0)) << file;
  }
}

// A file replaced in the middle of a transaction: whatever step notices it
// says what happened (3043), never "read-only" (3027) or "disk I/O error".
TEST_P(MovedFile, AReplacementInsideATransactionIsToldAsOne) {
  MakeOther();
  db_->Conn().Begin();
  ByAnotherProgram([this] { return ::rename(other_.c_str(), path_.c_str()); });
  const int written = ErrorOf([&] { AddPerson("three", 3); });
  EXPECT_TRUE(written == 0 || written == errDiskOrNetwork) << written;
  if (written == 0) {
    EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->Conn().Commit(); }));
  }
  if (db_->Conn().TransactionDepth() > 0) db_->Conn().Rollback();
}

// The database maker never makes a file at a path whose earlier file a
// program still holds, nor removes the log files that file's saves are in.
TEST_P(MovedFile, TheMakerLeavesAHeldFilesLogAlone) {
  const std::string kept = dir_ + "/Kept.MDB";
  ASSERT_EQ(0, ::link(path_.c_str(), kept.c_str()));
  AddPerson("three", 3);  // in the log until the file is let go (local mode)
  ASSERT_EQ(0, ::unlink(path_.c_str()));
  const auto sideFiles = [&] {
    int n = 0;
    for (const char* side : {"-wal", "-shm", "-journal", "-lock"}) n += fs::exists(path_ + side);
    return n;
  };
  const int before = sideFiles();
  ByAnotherProgram([&] {
    const int error = ErrorOf([&] { TDatabaseCore::Create(path_, ""); });
    return error == errFileInUse ? 0 : 10 + error % 100;
  });
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_EQ(before, sideFiles());
  db_.reset();
  EXPECT_EQ(People(kept), (std::vector<std::string>{"one:1", "three:3", "two:2"}));
}

// A reader that found no log files reads the file as it stands, unlocked.
// When its owner then writes and folds the log into the file, the reader
// goes on with what it had read or is told to open the file again: it never
// reads a page of the new state beside one of the old (rows missing, or the
// sound file taken for a damaged one, 3049).
TEST_P(MovedFile, AReaderWithoutLogFilesNeverMixesTwoStates) {
  if (GetParam()) GTEST_SKIP() << "a reader in network mode always reads through locks";
  db_.reset();  // no log files are left
  ASSERT_FALSE(fs::exists(path_ + "-wal"));
  TDatabaseCore reader(path_, false, true, "");
  {
    auto s = reader.Conn().Prepare("SELECT Age FROM People NOT INDEXED");  // the table's pages only
    int rows = 0;
    while (s->Step()) ++rows;
    EXPECT_EQ(2, rows);
  }
  ByAnotherProgram([this] {
    TDatabaseCore owner(path_, false, false, "");
    for (int i = 0; i < 300; ++i)
      owner.Execute("INSERT INTO People (Name, Age, Notes) VALUES ('p" + std::to_string(i) + "', 5, '" +
                    std::string(500, 'x') + "')");
    return 0;  // its close folds the log into the file
  });
  std::vector<std::string> names;
  std::string said;
  try {
    // Through the index, whose pages it has not read yet; the table's it has.
    auto s = reader.Conn().Prepare("SELECT Name FROM People INDEXED BY People_ByName WHERE Name > ''");
    while (s->Step()) names.push_back(s->ColumnText(0));
  } catch (const TDaoFailure& e) {
    EXPECT_EQ(errDiskOrNetwork, e.Number()) << e.Description();
    said = e.Description();
  }
  if (said.empty()) {
    EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
  } else {
    EXPECT_NE(said.find("changed by another user since it was opened read-only"), std::string::npos) << said;
  }
  EXPECT_EQ(302, TDatabaseCore(path_, false, true, "").OpenRecordset("People", -1)->RecordCount());
}

// Another program copies a backup over the file in place (the same inode,
// older contents) while this one has it open: the next save or cursor is
// refused as for a replaced file, and none of the pages this program had
// read or logged goes into the new contents; the log of the contents before
// is kept aside under a name SQLite never reads, which the refusal names.
// Opened again, the file is the backup, whole, and takes saves.
TEST_P(MovedFile, AFileCopiedOverInPlaceIsRefusedAndLeftAsCopied) {
  const bool network = GetParam();  // every commit writes the file: no log to keep aside
  db_.reset();
  const std::string backup = dir_ + "/Backup.MDB";
  fs::copy_file(path_, backup);  // one and two
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  AddPerson("three", 3);
  db_.reset();  // folded into the file: the backup is older now
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  for (int i = 0; i < 200; ++i) AddPerson("p" + std::to_string(i), 3);  // in the log
  auto browsing = OnPerson(*db_, "one");
  ByAnotherProgram([&] {
    fs::copy_file(backup, path_, fs::copy_options::overwrite_existing);
    return 0;
  });
  const std::string said = DescriptionOf([&] { AddPerson("after", 4); });
  EXPECT_NE(said.find("was written over by another program"), std::string::npos) << said;
  const auto kept = said.find("kept beside it in '" + path_ + "-wal-kept-");
  EXPECT_EQ(network, kept == std::string::npos) << said;
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { db_->OpenRecordset("People", -1); }));
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { browsing->Edit(); }));
  browsing.reset();
  db_.reset();
  EXPECT_TRUE(daotest::FileBytes(path_) == daotest::FileBytes(backup)) << "the copied contents were written over";
  // The saves made before the copy are in the log kept aside, which SQLite
  // reads with the file it belongs to.
  if (kept != std::string::npos) {
    const std::string aside = said.substr(kept + 19, said.find('\'', kept + 19) - kept - 19);
    ASSERT_TRUE(fs::exists(aside)) << aside;
    EXPECT_FALSE(fs::exists(path_ + "-wal") && fs::file_size(path_ + "-wal") > 0);
  }
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  AddPerson("four", 4);
  db_.reset();
  EXPECT_EQ(People(path_), (std::vector<std::string>{"four:4", "one:1", "two:2"}));
}

// Another program that uses SQLite may write the file and fold its log into
// it meanwhile: that is no copy written over it. A copy of an older backup
// after it still is; a copy of the file as it stands (a backup made since the
// last fold) changes nothing and is no refusal.
TEST_P(MovedFile, AnotherSqliteProgramsFoldIsNoCopy) {
  if (GetParam()) GTEST_SKIP() << "in network mode every commit rewrites the file; the log is local";
  const std::string older = dir_ + "/Older.MDB";
  db_.reset();  // one and two folded in
  fs::copy_file(path_, older);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path_.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr));
  sqlite3_busy_timeout(other, 5000);
  daotest::KnowCaseBlindOrder(other);
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(other,
                                    "INSERT INTO People (Name, Age) VALUES ('three', 3);"
                                    "PRAGMA wal_checkpoint(PASSIVE);",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(other);
  EXPECT_EQ(0, ErrorOf([&] { AddPerson("four", 4); }));
  db_.reset();
  const std::string current = dir_ + "/Current.MDB";
  fs::copy_file(path_, current);
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  AddPerson("five", 5);
  ByAnotherProgram([&] {
    fs::copy_file(current, path_, fs::copy_options::overwrite_existing);
    return 0;
  });
  EXPECT_EQ(0, ErrorOf([&] { AddPerson("six", 6); })) << "the same contents copied back";
  ByAnotherProgram([&] {
    fs::copy_file(older, path_, fs::copy_options::overwrite_existing);
    return 0;
  });
  EXPECT_EQ(errDiskOrNetwork, ErrorOf([&] { AddPerson("seven", 7); }));
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");  // takes the file as copied
  db_.reset();
  EXPECT_EQ(People(path_), (std::vector<std::string>{"one:1", "two:2"}));
}

// Another program that uses SQLite may change the file while none of ours
// holds it. Without a log left that nobody uses, that is no copy: readers and
// writers open it and keep working; a log that program still has open is its
// own, and a writer arriving meanwhile keeps what it holds.
TEST_P(MovedFile, AnotherSqliteProgramMayChangeTheFileWhileNobodyHoldsIt) {
  if (GetParam()) GTEST_SKIP() << "in network mode every commit rewrites the file; the log is local";
  db_.reset();
  const auto other = [this](const char* sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr));
    daotest::KnowCaseBlindOrder(db);
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
    return db;
  };
  sqlite3_close(other("INSERT INTO People (Name, Age) VALUES ('three', 3)"));  // folded and closed
  {
    TDatabaseCore reader(path_, false, true, "");
    EXPECT_EQ(3, reader.OpenRecordset("People", -1)->RecordCount());
    EXPECT_EQ(3, reader.OpenRecordset("People", -1)->RecordCount()) << "a second look was refused";
  }
  // Still open in a process of its own, its last change only in its log,
  // after a fold of the one before.
  Child holder([&](Child& c) {
    sqlite3* held = other(
        "INSERT INTO People (Name, Age) VALUES ('four', 4); PRAGMA wal_checkpoint(PASSIVE);"
        "INSERT INTO People (Name, Age) VALUES ('five', 5)");
    c.Tell('h');
    c.Hear();
    sqlite3_close(held);
    return 0;
  });
  ASSERT_EQ('h', holder.Listen());
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  EXPECT_EQ(0, ErrorOf([&] { AddPerson("six", 6); }));
  db_.reset();
  holder.Say('c');
  ASSERT_EQ(0, holder.Wait());
  EXPECT_EQ(People(path_), (std::vector<std::string>{"five:5", "four:4", "one:1", "six:6", "three:3", "two:2"}));
}

INSTANTIATE_TEST_SUITE_P(BothModes, MovedFile, ::testing::Bool(), daotest::ModeName);

}  // namespace
