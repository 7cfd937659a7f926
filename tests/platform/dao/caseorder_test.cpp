// A file made by an earlier build holds its case-blind indexes under the
// built-in NOCASE, in an older order (an older fold, or a byte no character
// stands for read as U+FFFD). Every road answers as the records do, before
// and after its first writer brings the indexes to the present order; keys
// the present fold finds alike are told and block nothing; an earlier build
// cannot write the file once it is rebuilt; whoever opens it meanwhile waits.

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "childprocess.h"
#include "daotest_util.h"
#include "earlierbuild.h"
#include "platform/classlib/core/foldedorder.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/openupkeep.h"

using namespace dao;
using daotest::Child;
using dao::LockFile;
using daotest::CompareOldFold;
using daotest::CompareStrayAsReplacement;
using daotest::OtherProgram;

namespace {

// The hooks of the opens a test makes, put back at its end.
class OpenHooks {
 public:
  OpenHooks() {
    DaoOpenHooks hooks;
    hooks.Progress = [this](const DaoOpenProgress& p) {
      progress.push_back(p);
      if (onProgress) onProgress(p);
    };
    hooks.Notice = [this](const std::string&, const std::string& text) { notices.push_back(text); };
    before_ = DaoSetOpenHooks(std::move(hooks));
  }
  ~OpenHooks() { DaoSetOpenHooks(std::move(before_)); }
  OpenHooks(const OpenHooks&) = delete;
  OpenHooks& operator=(const OpenHooks&) = delete;
  // The last total and done of a stage; -1 when it was never told.
  std::int64_t Total(DaoOpenProgress::Stage stage) const {
    std::int64_t total = -1;
    for (const auto& p : progress)
      if (p.stage == stage) total = p.total;
    return total;
  }
  std::int64_t Done(DaoOpenProgress::Stage stage) const {
    std::int64_t done = -1;
    for (const auto& p : progress)
      if (p.stage == stage) done = p.done;
    return done;
  }
  std::vector<DaoOpenProgress> progress;
  std::vector<std::string> notices;
  std::function<void(const DaoOpenProgress&)> onProgress;

 private:
  DaoOpenHooks before_;
};

// The names of a file made by the previous build, as its users typed them
// and as sqlite3 wrote bytes that are no UTF-8 (a\x80, S\xFF).
const char* const kNames[] = {"kb",  "Kx",  "\u212Ax", "ßq",  "\u1E9Eq", "σa",  "ςa",  "Σa",  "ıb",  "İb", "ib",
                              "Ꭰc",  "ꭰc",  "𐐀d",  "𐐨d",   "Ơc",  "ơa",      "la",  "Sz",  "sz",  "AÉz", "aé"};
const char* const kWrittenBySqlite = "INSERT INTO People (Name, Age) VALUES (CAST(X'6180' AS TEXT), 7), (CAST(X'53FF' AS TEXT), 8);";
// What the roads are asked: the Kelvin sign, the sharp s, sigma, dotted and
// dotless i, Cherokee, Deseret and stray bytes, and plain ASCII.
const char* const kSought[] = {"K",   "KX",  "\u1E9EQ", "ΣA",  "IB", "İB", "ıB", "ꭰC",
                               "𐐀D", "ƠA",  "LA",       "SZ",  "A\x80", "s\xFF", "zz"};

class CaseOrder : public daotest::DaoFixture {
 protected:
  void TearDown() override {
    ::chmod(path_.c_str(), 0644);
    DaoFixture::TearDown();
  }
  // People by name (ByName; ByAgeName by age, then name); each person's age
  // is their number, so that records alike in name keep an order.
  void MakePeopleNamed(const std::vector<std::string>& names) {
    MakePeople();
    int age = 10;
    for (const std::string& name : names) AddPerson(name, age++);
  }
  // The file as the previous build leaves it: its text columns and their
  // indexes name the built-in NOCASE, their entries in the order `order`
  // (SQL builds them so), the header records `recorded`, after what that
  // build `writes`.
  void MakeEarlierBuildFile(int recorded, daotest::Collation order = CompareOldFold, const std::string& writes = "") {
    db_.reset();
    ASSERT_EQ("", daotest::MakeEarlierBuildFile(path_, recorded, order, writes));
  }
  void MakeOldFile() {
    MakePeopleNamed({"Ơc", "ơa", "Ơb", "\u212Ax", "kb", "la"});
    MakeEarlierBuildFile(0);
  }
  // The names in the index's order (those meeting a row condition read in
  // its bands, when given), and the one a search finds.
  std::string NamesByIndex(TDatabaseCore& db, const char* sought, const std::string& condition = "",
                           const std::vector<std::string>& bands = {}) {
    auto rs = db.OpenRecordset("People", -1);
    rs->SetIndex("ByName");
    rs->SetRowCondition(condition, bands);
    std::string names;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) names += rs->Value(1).text + " ";
    rs->Seek("=", {Cell::MakeText(sought)});
    return names + "| " + (rs->NoMatch() ? std::string("none") : rs->Value(1).text);
  }
  // A query's own rows, its first column of each.
  static std::string Rows(TDatabaseCore& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, -1);
    std::string out;
    for (; !rs->Eof(); rs->MoveNext()) {
      const Cell v = rs->Value(0);
      out += (v.kind == Cell::Integer ? std::to_string(v.integer) : v.text) + " ";
    }
    return out;
  }
  static std::string Sql(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  }

  // What each road answers on People: the walk of ByName and of ByAgeName,
  // and for each name sought the record Seek finds, the first a Locate's
  // condition and bands find, and the rows and order of a query's own SQL
  // (WHERE Name = ... ORDER BY Name).
  std::string Roads(TDatabaseCore& db) {
    std::string out;
    auto rs = db.OpenRecordset("People", -1);
    for (const char* index : {"ByName", "ByAgeName"}) {
      rs->SetIndex(index);
      out += index + std::string(":");
      for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out += " " + rs->Value(1).text;
      out += "\n";
    }
    rs->SetIndex("ByName");
    for (const char* sought : kSought) {
      out += std::string(sought) + ": seek ";
      rs->Seek("=", {Cell::MakeText(sought)});
      out += rs->NoMatch() ? "none" : std::to_string(rs->Value(2).integer);
      const std::string value = Sql(sought);
      rs->SetRowCondition("+\"Name\" = " + value, {"\"Name\" = " + value});
      out += ", locate " + (daotest::ErrorOf([&] { rs->MoveFirst(); }) == errNoCurrentRecord
                                ? std::string("none")
                                : std::to_string(rs->Value(2).integer));
      rs->SetRowCondition("", {});
      out += ", query " + Rows(db, "SELECT Age FROM People WHERE Name = " + value + " ORDER BY Name, Age") + "\n";
    }
    out += "order " + Rows(db, "SELECT Name FROM People ORDER BY Name, Age");
    return out;
  }
  // The same, record by record: every person read as stored, compared in
  // the present case-blind order.
  std::string RoadsRecordByRecord() {
    struct Person {
      std::string name;
      std::int64_t age;
    };
    std::vector<Person> people;
    {
      TDatabaseCore db(path_, false, true, "");
      auto rs = db.OpenRecordset("SELECT Name, Age FROM People", -1);
      for (; !rs->Eof(); rs->MoveNext()) people.push_back({rs->Value(0).text, rs->Value(1).integer});
    }
    auto byName = [](const Person& a, const Person& b) {
      const int c = CompareFoldedText(a.name, b.name);
      return c != 0 ? c < 0 : a.age < b.age;
    };
    std::string out = "ByName:";
    std::sort(people.begin(), people.end(), byName);
    for (const Person& p : people) out += " " + p.name;
    out += "\nByAgeName:";
    std::vector<Person> byAge = people;
    std::sort(byAge.begin(), byAge.end(), [](const Person& a, const Person& b) { return a.age > b.age; });
    for (const Person& p : byAge) out += " " + p.name;
    out += "\n";
    for (const char* sought : kSought) {
      std::string first = "none", ages;
      for (const Person& p : people)
        if (CompareFoldedText(p.name, sought) == 0) {
          if (first == "none") first = std::to_string(p.age);
          ages += std::to_string(p.age) + " ";
        }
      out += std::string(sought) + ": seek " + first + ", locate " + first + ", query " + ages + "\n";
    }
    out += "order ";
    for (const Person& p : people) out += p.name + " ";
    return out;
  }
  int RecordedFold() {
    TDatabaseCore db(path_, false, true, "");
    auto s = db.Conn().Prepare("PRAGMA user_version");
    return s->Step() ? static_cast<int>(s->ColumnInteger(0)) : -1;
  }
  std::string FileBytes() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string IntegrityCheck() {
    TDatabaseCore db(path_, false, true, "");
    auto s = db.Conn().Prepare("PRAGMA integrity_check");
    return s->Step() ? s->ColumnText(0) : "";
  }
  // The Kelvin sign folds to "k", and "Ơ" to "ơ", which sorts after ASCII.
  const std::string kNewOrder = "kb \u212Ax la ơa Ơb Ơc | \u212Ax";
};

TEST_F(CaseOrder, ANewFileNamesThePresentOrderAndRecordsIt) {
  EXPECT_EQ(Connection::kCaseBlindOrder, RecordedFold());
  EXPECT_FALSE(db_->Conn().CaseBlindIndexesStale());
  MakePeople();
  auto s = db_->Conn().Prepare(
      "SELECT count(*), sum(instr(sql, 'COLLATE CASEBLIND3') > 0), sum(instr(sql, 'NOCASE') > 0) FROM sqlite_master"
      " WHERE type='table' AND name<>'sqlite_sequence'");
  ASSERT_TRUE(s->Step());
  EXPECT_EQ(5, s->ColumnInteger(0));  // the catalogue's four and People
  EXPECT_EQ(5, s->ColumnInteger(1));
  EXPECT_EQ(0, s->ColumnInteger(2));
}

// Every road answers as the records do on a file the previous build made,
// for a writer (who brings it to the present order), a reader and a user
// who may not write the file (who read it without its indexes); the file
// holds a unique index whose keys the present fold finds alike.
TEST_F(CaseOrder, EveryRoadAnswersAsTheRecordsDoOnAnEarlierBuildsFile) {
  struct Case {
    const char* who;
    bool readOnly;
    mode_t mode;
    bool rebuilt;
  } cases[] = {
      {"writer", false, 0644, true},
      {"reader", true, 0644, false},
      {"user who may not write the file", false, 0444, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.who);
    TearDown();
    SetUp();
    MakePeopleNamed({std::begin(kNames), std::end(kNames)});
    db_->Execute("CREATE TABLE Codes (Code TEXT(10))");
    db_->Execute("CREATE UNIQUE INDEX ByCode ON Codes (Code)");
    MakeEarlierBuildFile(0, CompareOldFold,
                         std::string(kWrittenBySqlite) +
                             "INSERT INTO Codes (Code) VALUES ('ßq'), ('\u1E9Eq'), ('åx'), ('\u212Bx');");
    const std::string expected = RoadsRecordByRecord();
    const std::string before = FileBytes();
    ::chmod(path_.c_str(), c.mode);
    {
      TDatabaseCore db(path_, false, c.readOnly, "");
      EXPECT_EQ(!c.rebuilt, db.Conn().CaseBlindIndexesStale());
      EXPECT_EQ(expected, Roads(db));
      EXPECT_EQ("ßq \u1E9Eq ", Rows(db, "SELECT Code FROM Codes WHERE Code = 'SSQ' OR Code = 'ßQ' ORDER BY Code, rowid"));
    }
    ::chmod(path_.c_str(), 0644);
    EXPECT_EQ(c.rebuilt ? Connection::kCaseBlindOrder : 0, RecordedFold());
    if (c.rebuilt)
      EXPECT_EQ("ok", IntegrityCheck());
    else
      EXPECT_EQ(before, FileBytes());
  }
}

// Keys that the present fold finds alike in a unique key are told, in plain
// words, at every writer's open while they last, and block the rebuild of
// nothing else. A unique index made by CREATE INDEX gives up its unique rule
// until they differ; a table whose own key holds them keeps its earlier
// order, read without its indexes.
TEST_F(CaseOrder, KeysThePresentFoldFindsAlikeAreToldAndBlockNothing) {
  struct Case {
    const char* kind;
    const char* make;  // by the earlier build
    const char* notice;
    bool tableStale;
  } cases[] = {
      {"unique index", "CREATE TABLE Codes (Code TEXT COLLATE NOCASE); CREATE UNIQUE INDEX ByCode ON Codes (Code);",
       "Table \"Codes\": its index \"ByCode\" requires unique values, and these now count as the same, since upper "
       "and lower case are matched in every alphabet:\r\"ßq\" and \"\u1E9Eq\"\r\"åx\" and \"\u212Bx\"\r\rThe "
       "index accepts such values until one of each is changed.",
       false},
      {"table's own key", "CREATE TABLE Codes (Code TEXT PRIMARY KEY COLLATE NOCASE);",
       "Table \"Codes\": its key requires unique values, and these now count as the same, since upper and lower "
       "case are matched in every alphabet:\r\"ßq\" and \"\u1E9Eq\"\r\"åx\" and \"\u212Bx\"\r\rThe table keeps its "
       "earlier order until one of each is changed; it is read more slowly meanwhile.",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TearDown();
    SetUp();
    MakePeopleNamed({"ơa", "Ơb", "\u212Ax", "kb"});
    MakeEarlierBuildFile(0, CompareOldFold,
                         std::string(c.make) + "INSERT INTO Codes (Code) VALUES ('ßq'), ('b'), ('\u1E9Eq'), "
                                               "('åx'), ('\u212Bx');");
    for (const char* open : {"first", "later"}) {
      SCOPED_TRACE(open);
      OpenHooks hooks;
      TDatabaseCore db(path_, false, false, "");
      EXPECT_EQ(std::vector<std::string>{c.notice}, hooks.notices);
      // People's indexes are in the present order, and read so.
      EXPECT_FALSE(db.Conn().Table("People").caseBlindStale);
      EXPECT_EQ("kb \u212Ax ơa Ơb | \u212Ax", NamesByIndex(db, "KX"));
      EXPECT_EQ(c.tableStale, db.Conn().Table("Codes").caseBlindStale);
      EXPECT_EQ("åx \u212Bx ", Rows(db, "SELECT Code FROM Codes WHERE Code = 'ÅX' ORDER BY Code, rowid"));
      EXPECT_EQ(c.tableStale ? errDuplicateKey : 0,
                daotest::ErrorOf([&] { db.Execute("INSERT INTO Codes (Code) VALUES ('B')"); }));
      db.Execute("DELETE FROM Codes WHERE rowid > 5");
    }
    if (c.tableStale) continue;
    // Once the keys differ, the next writer gives the index its rule back.
    {
      TDatabaseCore db(path_, false, false, "");
      db.Execute("UPDATE Codes SET Code = '\u1E9Er' WHERE rowid = 3");
      db.Execute("UPDATE Codes SET Code = '\u212By' WHERE rowid = 5");
    }
    OpenHooks hooks;
    TDatabaseCore db(path_, false, false, "");
    EXPECT_TRUE(hooks.notices.empty());
    EXPECT_FALSE(db.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(errDuplicateKey, daotest::ErrorOf([&] { db.Execute("INSERT INTO Codes (Code) VALUES ('SSR')"); }) +
                                   daotest::ErrorOf([&] { db.Execute("INSERT INTO Codes (Code) VALUES ('ßR')"); }));
    EXPECT_EQ("ok", IntegrityCheck());
  }
}

// An earlier build that opens a file this build has rebuilt finds a
// collation it lacks: SQLite refuses it every write, and its reading of
// the catalogue, instead of letting it put index entries where the present
// order does not look. The file stays whole and every road right.
TEST_F(CaseOrder, AnEarlierBuildIsRefusedEveryWriteToARebuiltFile) {
  MakePeopleNamed({std::begin(kNames), std::end(kNames)});
  MakeEarlierBuildFile(0);
  { TDatabaseCore writer(path_, false, false, ""); }
  const std::string expected = RoadsRecordByRecord();
  const char* const writes[] = {
      "INSERT INTO People (Name, Age) VALUES ('Sa', 1)",
      "UPDATE People SET Name = 'ss' WHERE Age = 10",
      "UPDATE People SET Age = Age + 100",
      "DELETE FROM People WHERE Age = 12",
      "SELECT TableName, Name FROM MSysColumns ORDER BY TableName, Position",
      "INSERT INTO MSysTables (Name, LastId) VALUES ('More', 0)",
      "REINDEX",
  };
  for (const char* sql : writes) {
    SCOPED_TRACE(sql);
    OtherProgram earlier(path_, CompareOldFold);
    EXPECT_EQ("no such collation sequence: CASEBLIND3", earlier.Run(sql));
  }
  EXPECT_EQ("ok", IntegrityCheck());
  TDatabaseCore db(path_, false, false, "");
  EXPECT_EQ(expected, Roads(db));
}

// The first writer tells how far it has come. It reads each index, keeps
// those already in the present order (the previous build's order where no
// name tells the two apart) and builds only the others again.
TEST_F(CaseOrder, TheRebuildTellsItsProgressAndBuildsOnlyIndexesOutOfOrder) {
  struct Case {
    std::vector<std::string> names;
    int indexesOutOfOrder;
  } cases[] = {
      {{"beta", "Alpha", "gamma", "alpha2"}, 0},
      {{"\u212Ax", "kb", "la", "ơa", "Ơb"}, 1},  // ByName (ByAgeName orders by the age first)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.front());
    TearDown();
    SetUp();
    MakePeopleNamed(c.names);
    MakeEarlierBuildFile(0);
    OpenHooks hooks;
    TDatabaseCore db(path_, false, false, "");
    const std::int64_t checked = hooks.Total(DaoOpenProgress::Checking);
    EXPECT_GE(checked, 2 * static_cast<std::int64_t>(c.names.size()));  // People's two, the catalogue's
    EXPECT_EQ(checked, hooks.Done(DaoOpenProgress::Checking));
    EXPECT_EQ(c.indexesOutOfOrder * static_cast<std::int64_t>(c.names.size()),
              hooks.Total(DaoOpenProgress::Rebuilding));
    EXPECT_EQ(hooks.Total(DaoOpenProgress::Rebuilding), hooks.Done(DaoOpenProgress::Rebuilding));
    EXPECT_EQ(-1, hooks.Total(DaoOpenProgress::Waiting));
    EXPECT_EQ(DaoOpenProgress::Done, hooks.progress.back().stage);
    EXPECT_EQ(0, hooks.Total(DaoOpenProgress::Done));
    EXPECT_FALSE(db.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(RoadsRecordByRecord(), Roads(db));
  }
  // A file in the present order says nothing at its open.
  OpenHooks hooks;
  TDatabaseCore again(path_, false, false, "");
  EXPECT_TRUE(hooks.progress.empty());
}

// A user who opens the file while another rebuilds it waits, told so, and
// then reads through the rebuilt indexes; a writer builds nothing again.
TEST_F(CaseOrder, ASecondUserWaitsForTheRebuildAndThenUsesIt) {
  for (const bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "reader" : "writer");
    TearDown();
    SetUp();
    MakePeopleNamed({std::begin(kNames), std::end(kNames)});
    MakeEarlierBuildFile(0);
    Child first([&](Child& self) {
      OpenHooks hooks;
      bool told = false;
      hooks.onProgress = [&](const DaoOpenProgress&) {
        if (told) return;
        told = true;
        self.Tell('R');            // rebuilding
        return void(self.Hear());  // until the other user waits
      };
      TDatabaseCore db(path_, false, false, "");
      return db.Conn().CaseBlindIndexesStale() ? 1 : 0;
    });
    ASSERT_EQ('R', first.Listen());
    OpenHooks hooks;
    hooks.onProgress = [&](const DaoOpenProgress& p) {
      if (p.stage == DaoOpenProgress::Waiting && hooks.progress.size() == 1) first.Say('G');
    };
    TDatabaseCore second(path_, false, readOnly, "");
    EXPECT_EQ(0, first.Wait());
    ASSERT_FALSE(hooks.progress.empty());
    EXPECT_EQ(DaoOpenProgress::Waiting, hooks.progress.front().stage);
    EXPECT_EQ(-1, hooks.Total(DaoOpenProgress::Checking));
    EXPECT_EQ(DaoOpenProgress::Done, hooks.progress.back().stage);
    EXPECT_FALSE(second.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(RoadsRecordByRecord(), Roads(second));
  }
}

// A rebuild may hold the whole file while it writes (with a rollback
// journal, once it writes out pages), so that nobody may even read it: a
// user who opens it then waits for the rebuild before reading anything,
// rather than be refused as busy.
TEST_F(CaseOrder, AnOpenWaitsWhileARebuildHoldsTheWholeFile) {
  for (const bool network : {false, true}) {
    for (const bool readOnly : {false, true}) {
      SCOPED_TRACE(std::string(network ? "network" : "local") + (readOnly ? " reader" : " writer"));
      daotest::UseNetworkMode(network);
      TearDown();
      SetUp();
      MakeOldFile();
      Child rebuilding([&](Child& self) {
        const auto locks = LockFile::For(path_, true);
        OtherProgram holder(path_, CompareOldFold);
        if (!locks->LockTable(Connection::kRebuildMark, true) || holder.Run("BEGIN EXCLUSIVE") != "") return 1;
        self.Tell('R');
        self.Hear();  // until the other user waits
        holder.Run("ROLLBACK");
        locks->UnlockTable(Connection::kRebuildMark, true);
        return 0;
      });
      ASSERT_EQ('R', rebuilding.Listen());
      OpenHooks hooks;
      hooks.onProgress = [&](const DaoOpenProgress& p) {
        if (p.stage == DaoOpenProgress::Waiting && hooks.progress.size() == 1) rebuilding.Say('G');
      };
      EXPECT_EQ(0, daotest::ErrorOf([&] {
        TDatabaseCore db(path_, false, readOnly, "");
        EXPECT_EQ(readOnly, db.Conn().CaseBlindIndexesStale());
        EXPECT_EQ(kNewOrder, NamesByIndex(db, "KX"));
      }));
      EXPECT_EQ(0, rebuilding.Wait());
      ASSERT_FALSE(hooks.progress.empty());
      EXPECT_EQ(DaoOpenProgress::Waiting, hooks.progress.front().stage);
    }
  }
  daotest::UseNetworkMode(false);
}

// A writer that cannot rebuild (other users write the file for longer than
// it waits) is refused, saying why, rather than write into indexes in an
// older order; it holds nothing of the file afterwards, and a later open
// rebuilds.
TEST_F(CaseOrder, AWriterRefusedTheRebuildIsToldWhyAndHoldsNothing) {
  MakeOldFile();
  const int wait = Connection::BusyTimeout();
  Connection::SetBusyTimeout(200);
  const auto locks = LockFile::For(path_, true);  // this process's locks on the file, kept throughout
  {
    OtherProgram other(path_, CompareOldFold);
    ASSERT_EQ("", other.Run("BEGIN IMMEDIATE; UPDATE People SET Age = 2 WHERE Age = 10"));
    try {
      TDatabaseCore writer(path_, false, false, "");
      ADD_FAILURE() << "opened";
    } catch (const TDaoFailure& e) {
      EXPECT_EQ(errFileInUse, e.Number());
      EXPECT_NE(std::string::npos, e.Description().find("other users are writing it")) << e.Description();
    }
    EXPECT_EQ("", other.Run("ROLLBACK"));
  }
  Connection::SetBusyTimeout(wait);
  EXPECT_FALSE(locks->InUse());
  TDatabaseCore alone(path_, true, false, "");  // exclusive: nobody else holds the file
  EXPECT_FALSE(alone.Conn().CaseBlindIndexesStale());
  EXPECT_EQ(kNewOrder, NamesByIndex(alone, "KX"));
}

TEST_F(CaseOrder, TheFirstWriterRebuildsAnOldFilesIndexOnce) {
  MakeOldFile();
  {
    TDatabaseCore writer(path_, false, false, "");
    EXPECT_FALSE(writer.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(kNewOrder, NamesByIndex(writer, "KX"));
  }
  EXPECT_EQ(Connection::kCaseBlindOrder, RecordedFold());
  // Under the present name: a later writer trusts the index as it stands
  // and rebuilds nothing.
  EXPECT_EQ("", OtherProgram(path_, CompareOldFold, Connection::kCaseBlindCollation).Run("REINDEX CASEBLIND3"));
  TDatabaseCore later(path_, false, false, "");
  EXPECT_EQ("kb la Ơb Ơc ơa \u212Ax | none", NamesByIndex(later, "KX"));
}

TEST_F(CaseOrder, AReaderOfAnOldFileWritesNothingAndReadsInTheNewOrder) {
  MakeOldFile();
  const std::string before = FileBytes();
  {
    TDatabaseCore reader(path_, false, true, "");
    EXPECT_TRUE(reader.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(kNewOrder, NamesByIndex(reader, "KX"));
  }
  EXPECT_EQ(before, FileBytes());
  EXPECT_EQ(0, RecordedFold());
}

// Two writers arrive at an old file: one rebuilds, the other finds it done.
TEST_F(CaseOrder, ASecondWriterFindsTheRebuildDone) {
  MakeOldFile();
  TDatabaseCore first(path_, false, false, "");
  TDatabaseCore second(path_, false, false, "");
  EXPECT_FALSE(second.Conn().CaseBlindIndexesStale());
  EXPECT_EQ(kNewOrder, NamesByIndex(second, "kX"));
  EXPECT_EQ(kNewOrder, NamesByIndex(first, "kX"));
}

// A file whose index was built while a byte no character stands for read as
// U+FFFD: that byte now sorts by its value, before every letter beyond ASCII.
// A reader reads in the new order meanwhile; the first writer rebuilds.
TEST_F(CaseOrder, AnIndexBuiltWhileStrayBytesReadAsOneCharacterIsRebuilt) {
  MakePeopleNamed({"aé", "b", "ab", "AÉz"});
  MakeEarlierBuildFile(1, CompareStrayAsReplacement,
                       "INSERT INTO People (Name, Age) VALUES (CAST(X'6180' AS TEXT), 1), (CAST(X'41FF' AS TEXT), 1);");
  const std::string newOrder = "ab a\x80 aé AÉz A\xFF b | a\x80";
  {
    TDatabaseCore reader(path_, false, true, "");
    EXPECT_TRUE(reader.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(newOrder, NamesByIndex(reader, "A\x80"));
  }
  EXPECT_EQ(1, RecordedFold());
  {
    TDatabaseCore writer(path_, false, false, "");
    EXPECT_FALSE(writer.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(newOrder, NamesByIndex(writer, "A\x80"));
  }
  EXPECT_EQ(Connection::kCaseBlindOrder, RecordedFold());
}

// A reader of an old file reads none of its indexes: searched in the new
// order, the old one would miss "ơa", which it put after "Ơc". A Locate's
// bands still narrow, by reading the table through, all of them at once.
TEST_F(CaseOrder, AReaderOfAnOldFileSearchesNoBandOfItsIndex) {
  MakeOldFile();
  TDatabaseCore reader(path_, false, true, "");
  ASSERT_TRUE(reader.Conn().CaseBlindIndexesStale());
  EXPECT_EQ("ơa | ơa", NamesByIndex(reader, "ƠA", "+\"Name\" = 'ƠA'", {"\"Name\" = 'ƠA'"}));
  EXPECT_EQ("ơa | ơa", NamesByIndex(reader, "ƠA", "", {"\"Name\" = 'ƠA'"}));
  EXPECT_EQ("kb ơa | ơa", NamesByIndex(reader, "ƠA", "", {"\"Name\" = 'KB'", "\"Name\" = 'ƠA'"}));
}

// A blob another program wrote among the names of an old file: a reader,
// kept off the index, still reads it by its bytes, in its place.
TEST_F(CaseOrder, AReaderOfAnOldFileReadsABlobAmongTheNamesByItsBytes) {
  MakePeopleNamed({"Ơc", "ơa", "Ơb", "\u212Ax", "kb", "la"});
  MakeEarlierBuildFile(0, CompareOldFold, "INSERT INTO People (Name, Age) VALUES (X'C6A16262', 1);");
  TDatabaseCore reader(path_, false, true, "");
  ASSERT_TRUE(reader.Conn().CaseBlindIndexesStale());
  EXPECT_EQ("kb \u212Ax la ơa Ơb ơbb Ơc | ơbb", NamesByIndex(reader, "ƠBB"));
}

}  // namespace
