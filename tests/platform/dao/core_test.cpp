#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

#include "daotest_util.h"
#include "platform/classlib/core/strutils.h"

using namespace dao;
using daotest::DaoFixture;
using daotest::ErrorOf;

namespace {

std::vector<std::string> Names(TRecordsetCore& rs, int field) {
  std::vector<std::string> out;
  if (rs.Bof() && rs.Eof()) return out;
  rs.MoveFirst();
  while (!rs.Eof()) {
    out.push_back(rs.Value(field).text);
    rs.MoveNext();
  }
  return out;
}

using CoreDatabase = DaoFixture;
using CoreCursor = DaoFixture;
using CoreSeek = DaoFixture;
using CoreEditing = DaoFixture;
using CoreBookmarks = DaoFixture;

TEST_F(CoreDatabase, OpenFailures) {
  EXPECT_EQ(errFileNotFound, ErrorOf([&] { TDatabaseCore(dir_ + "/missing.mdb", false, false, ""); }));
  std::string junk = dir_ + "/junk.mdb";
  FILE* f = fopen(junk.c_str(), "w");
  fputs("this is not a database file at all, just some text long enough to matter......", f);
  fclose(f);
  EXPECT_EQ(errCannotOpen, ErrorOf([&] { TDatabaseCore(junk, false, false, ""); }));
  EXPECT_EQ(errDatabaseExists, ErrorOf([&] { TDatabaseCore::Create(path_, ""); }));
}

TEST_F(CoreDatabase, PasswordIsChecked) {
  std::string secured = dir_ + "/secured.mdb";
  TDatabaseCore::Create(secured, ";pwd=Secret");
  EXPECT_EQ(errBadPassword, ErrorOf([&] { TDatabaseCore(secured, false, false, ""); }));
  EXPECT_EQ(errBadPassword, ErrorOf([&] { TDatabaseCore(secured, false, false, ";pwd=secret"); }));
  EXPECT_EQ(0, ErrorOf([&] { TDatabaseCore(secured, false, false, ";PWD=Secret"); }));
}

TEST_F(CoreDatabase, CatalogueKeepsTypesAndIndexNamesPerTable) {
  MakePeople();
  db_->Execute("CREATE TABLE Pets (Tag LONG CONSTRAINT PrimaryKey PRIMARY KEY, Owner LONG NOT NULL)");
  const TableDef& people = db_->Conn().Table("people");
  ASSERT_EQ(6u, people.fields.size());
  EXPECT_EQ(dbLong, people.fields[0].type);
  EXPECT_TRUE(people.fields[0].IsCounter());
  EXPECT_EQ(dbText, people.fields[1].type);
  EXPECT_EQ(20, people.fields[1].size);
  EXPECT_EQ(dbInteger, people.fields[2].type);
  EXPECT_EQ(dbDate, people.fields[3].type);
  EXPECT_EQ(dbMemo, people.fields[4].type);
  EXPECT_EQ(dbLongBinary, people.fields[5].type);
  ASSERT_EQ(3u, people.indexes.size());
  EXPECT_TRUE(people.FindIndex("primarykey")->primary);
  EXPECT_TRUE(people.FindIndex("ByAgeName")->columns[0].descending);
  // "PrimaryKey" on a second table is its own index.
  const TableDef& pets = db_->Conn().Table("Pets");
  ASSERT_NE(nullptr, pets.FindIndex("PrimaryKey"));
  EXPECT_EQ("Tag", pets.FindIndex("PrimaryKey")->columns[0].name);
  EXPECT_TRUE(pets.fields[1].required);
  EXPECT_EQ(errTableExists, ErrorOf([&] { db_->Execute("CREATE TABLE PETS (A LONG)"); }));
  EXPECT_EQ(errNoSuchTable, ErrorOf([&] { db_->Execute("DROP TABLE Nothing"); }));
  db_->Execute("DROP INDEX ByName ON People");
  EXPECT_EQ(nullptr, db_->Conn().Table("People").FindIndex("ByName"));
  db_->Execute("DROP TABLE Pets");
  EXPECT_EQ(nullptr, db_->Conn().FindTable("Pets"));
}

// A table is known by its name in every case the catalogue's case-blind
// order joins, with all that the catalogue keeps of it.
TEST_F(CoreDatabase, ATableIsKnownByItsNameInEveryCase) {
  const std::string name = "\u01A0n Stra\u00DFe \u212A";
  db_->Execute("CREATE TABLE [" + name + "] (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(12))");
  for (const std::string& sought : {name, std::string("\u01A1N STRA\u1E9EE k")}) {
    const TableDef* table = db_->Conn().FindTable(sought);
    ASSERT_NE(nullptr, table) << sought;
    EXPECT_EQ(name, table->name);
    ASSERT_EQ(2u, table->fields.size());
    EXPECT_EQ(12, table->fields[1].size) << sought;
    EXPECT_NE(nullptr, table->FindIndex("PrimaryKey")) << sought;
  }
  EXPECT_EQ(nullptr, db_->Conn().FindTable("\u01A0N STRASSE K")) << "\u00DF is no double s";
  EXPECT_EQ(errTableExists, ErrorOf([&] { db_->Execute("CREATE TABLE [\u01A1N STRA\u1E9EE k] (A LONG)"); }));
}

TEST_F(CoreCursor, EmptyTableMovesAndEnds) {
  MakePeople();
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_TRUE(rs->IsTable());
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->MoveFirst(); }));
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->MoveLast(); }));
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->MoveNext(); }));
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->Value(1); }));
  EXPECT_EQ(0, rs->RecordCount());
}

TEST_F(CoreCursor, MovesInIndexOrderAndPastTheEnds) {
  MakePeople();
  for (auto [n, a] : std::vector<std::pair<const char*, int>>{{"delta", 30}, {"Alpha", 40}, {"charlie", 30}, {"Bravo", 20}})
    AddPerson(n, a);
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_EQ(4, rs->RecordCount());
  // Without an index: insertion order.
  EXPECT_EQ((std::vector<std::string>{"delta", "Alpha", "charlie", "Bravo"}), Names(*rs, 1));
  rs->SetIndex("ByName");  // text order ignores case
  EXPECT_EQ((std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}), Names(*rs, 1));
  rs->SetIndex("ByAgeName");  // Age descending, then Name
  EXPECT_EQ((std::vector<std::string>{"Alpha", "charlie", "delta", "Bravo"}), Names(*rs, 1));
  // MoveNext past the end: EOF without an error, then an error.
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->MoveNext(); }));
  rs->MovePrevious();
  EXPECT_EQ("Bravo", rs->Value(1).text);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(errNoCurrentRecord, ErrorOf([&] { rs->MovePrevious(); }));
  rs->MoveNext();
  EXPECT_EQ("Alpha", rs->Value(1).text);
  EXPECT_EQ(errNoSuchIndex, ErrorOf([&] { rs->SetIndex("NoSuchIndex"); }));
}

TEST_F(CoreCursor, WalksLargeTablesBothWaysAndAbsolutePositions) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 700; ++i) AddPerson("n" + std::to_string(1000 + (i * 37) % 700), i % 13);
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  int count = 0;
  std::string last;
  rs->MoveFirst();
  while (!rs->Eof()) {
    EXPECT_LT(last, rs->Value(1).text);
    last = rs->Value(1).text;
    ++count;
    rs->MoveNext();
  }
  EXPECT_EQ(700, count);
  rs->MoveLast();
  count = 0;
  while (!rs->Bof()) {
    ++count;
    rs->MovePrevious();
  }
  EXPECT_EQ(700, count);
  rs->SetAbsolutePosition(350);
  EXPECT_EQ("n1350", rs->Value(1).text);
  EXPECT_EQ(350, rs->AbsolutePosition());
  rs->SetIndex("ByAgeName");
  rs->SetAbsolutePosition(699);
  EXPECT_EQ(699, rs->AbsolutePosition());
}

// Moves back and forth within the rows read ahead show each row whole, a
// memo read on the way (small ones come with the row, large ones are read
// when asked for) included.
TEST_F(CoreCursor, MovesBackAndForthShowEachRowWhole) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 30; ++i)
    db_->Execute("INSERT INTO People (Name, Age, Notes) VALUES ('n" + std::to_string(10 + i) + "', 1, '" +
                 std::string(i % 3 == 0 ? 9000 : 100 + i, char('a' + i % 26)) + "')");
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  rs->MoveFirst();
  int at = 0;
  // Forward two, back one, over the whole table and past read-ahead windows.
  for (int move = 0; !rs->Eof(); ++move) {
    ASSERT_EQ("n" + std::to_string(10 + at), rs->Value(1).text) << move;
    EXPECT_EQ(std::string(at % 3 == 0 ? 9000 : 100 + at, char('a' + at % 26)), rs->Value(4).text) << move;
    if (move % 3 == 2) {
      rs->MovePrevious();
      --at;
    } else {
      rs->MoveNext();
      ++at;
    }
  }
  EXPECT_EQ(30, at);
}

// The position is kept up by the moves after it was counted, and counted
// afresh once anyone changed the file.
TEST_F(CoreCursor, AbsolutePositionFollowsMovesAndOtherWriters) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 40; ++i) AddPerson("n" + std::to_string(100 + i), 1);
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  rs->SetAbsolutePosition(30);
  const struct {
    int moves;  // > 0 MoveNext, < 0 MovePrevious
    int position;
  } steps[] = {{1, 31}, {3, 34}, {-10, 24}, {5, 29}};
  for (const auto& step : steps) {
    for (int i = 0; i < std::abs(step.moves); ++i) step.moves > 0 ? rs->MoveNext() : rs->MovePrevious();
    EXPECT_EQ(step.position, rs->AbsolutePosition()) << step.moves;
  }
  EXPECT_EQ("n129", rs->Value(1).text);
  TDatabaseCore other(path_, false, false, "");
  other.Execute("INSERT INTO People (Name, Age) VALUES ('a', 1)");
  EXPECT_EQ(30, rs->AbsolutePosition()) << "a row added in front";
  rs->MoveNext();
  other.Execute("DELETE FROM People WHERE Name = 'n100' OR Name = 'n101'");
  rs->MoveNext();
  EXPECT_EQ("n131", rs->Value(1).text);
  EXPECT_EQ(30, rs->AbsolutePosition()) << "two rows in front removed";
  rs->MoveFirst();
  EXPECT_EQ(0, rs->AbsolutePosition());
  rs->MoveLast();
  EXPECT_EQ(38, rs->AbsolutePosition());
}

TEST_F(CoreCursor, SeesRowsOthersAddAndRemove) {
  MakePeople();
  AddPerson("a", 1);
  AddPerson("c", 1);
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  rs->MoveFirst();
  // Another connection on the same file adds a row between the two.
  TDatabaseCore other(path_, false, false, "");
  other.Execute("INSERT INTO People (Name, Age) VALUES ('b', 1)");
  rs->MoveNext();
  EXPECT_EQ("b", rs->Value(1).text);
  other.Execute("DELETE FROM People WHERE Name = 'c'");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(2, rs->RecordCount());
}

// Texts as zero-terminated strings read them: up to the first NUL byte, in
// byte order, and in any case with the 26 ASCII letters folded, no others.
TEST_F(CoreDatabase, ZeroTerminatedTextOrders) {
  const struct {
    std::string a, b;
    int bytes, anyCase;  // the sign of a against b
  } cases[] = {
      {"Anna", "Anna", 0, 0},
      {std::string("Anna\0x", 6), "Anna", 0, 0},
      {std::string("\0z", 2), "", 0, 0},
      {std::string("\0z", 2), std::string("\0a", 2), 0, 0},
      {"Anna", "anna", -1, 0},
      {"ANNA", "annb", -1, -1},
      {"Z", "[", -1, 1},  // 'Z' before '[' as bytes, 'z' after it folded
      {"\xC3\x89", "\xC3\xA9", -1, -1},  // capital and small e acute stay apart
      {"An", "Anna", -1, -1},
      {"b", std::string("a\0c", 3), 1, 1},
      {std::string("ab\0", 3), "AB", 1, 0},
  };
  auto s = db_->Conn().Prepare(
      "SELECT (?1 > ?2 COLLATE ZSTRING) - (?1 < ?2 COLLATE ZSTRING),"
      " (?1 > ?2 COLLATE ZSTRING_ANYCASE) - (?1 < ?2 COLLATE ZSTRING_ANYCASE),"
      " (?2 > ?1 COLLATE ZSTRING_ANYCASE) - (?2 < ?1 COLLATE ZSTRING_ANYCASE)");
  for (const auto& c : cases) {
    s->Bind(1, Cell::MakeText(c.a));
    s->Bind(2, Cell::MakeText(c.b));
    ASSERT_TRUE(s->Step());
    EXPECT_EQ(c.bytes, s->Column(0).integer) << c.a << " / " << c.b;
    EXPECT_EQ(c.anyCase, s->Column(1).integer) << c.a << " / " << c.b;
    EXPECT_EQ(-c.anyCase, s->Column(2).integer) << c.b << " / " << c.a;
    s->Reset();
  }
}

// upper() and lower() change every letter, as the library's case routines
// do, so a condition it upper-cased meets Upper(column); other values change
// as text, and Null stays Null.
TEST_F(CoreDatabase, UpperAndLowerChangeEveryLetter) {
  const struct {
    const char* sql;
    const char* text;  // nullptr: Null
  } cases[] = {
      {"upper('\xC3\xA9mile \xC3\xB6z')", "\xC3\x89MILE \xC3\x96Z"},
      {"lower('\xC3\x89MILE \xCE\xA3')", "\xC3\xA9mile \xCF\x83"},
      {"upper('abc') = 'ABC'", "1"},
      {"upper(12.5)", "12.5"},
      {"upper(NULL)", nullptr},
      {"upper(X'C3')", "\xC3"},  // a stray byte is kept as it is
      // Every script's letters, some of another length in the other case.
      {"upper('ơn əli აბ ꭰ ⱥ ıſ')", "ƠN ƏLI ᲐᲑ Ꭰ Ⱥ ıS"},
      {"lower('ƠN ƏLI ǅ ᲐᲑ Ꭰ Ⱥ İ')", "ơn əli ǆ აბ ꭰ ⱥ i"},
      // upper() is the upper case of the fold: the pairs the fold joins meet.
      {"upper('straße STRAẞE')", "STRAßE STRAßE"},
      {"upper('\u212A k \u2126')", "K K Ω"},
      {"lower('\u212A')", "k"},
      {"upper('ı') = upper('i')", "0"},  // no case of each other
  };
  for (const auto& c : cases) {
    auto s = db_->Conn().Prepare(std::string("SELECT ") + c.sql);
    ASSERT_TRUE(s->Step());
    const Cell value = s->Column(0);
    if (c.text == nullptr) {
      EXPECT_TRUE(value.IsNull()) << c.sql;
    } else {
      EXPECT_EQ(c.text, value.kind == Cell::Integer ? std::to_string(value.integer) : value.text) << c.sql;
    }
  }
}

// Upper(x) = Upper(y) holds for every pair the fold joins: a condition the
// library upper-cased meets each case of the stored text.
TEST_F(CoreDatabase, UpperMeetsEveryCasePairOfTheFold) {
  auto s = db_->Conn().Prepare("SELECT upper(?1) = upper(?2)");
  int pairs = 0;
  for (char32_t c = 0; c < 0x20000; ++c) {
    const std::u32string group = UnicodeCaseVariants(c);
    if (group.size() < 2 || group[0] != c) continue;  // each group once
    for (char32_t other : group) {
      s->Bind(1, Utf8Encode(c)).Bind(2, Utf8Encode(other));
      ASSERT_TRUE(s->Step());
      ASSERT_EQ(1, s->Column(0).integer) << std::hex << unsigned(c) << " " << unsigned(other);
      s->Reset();
      ++pairs;
    }
  }
  EXPECT_GT(pairs, 2800);
}

TEST_F(CoreDatabase, TheChangeStampMovesWithEveryCommitAndOnlyThen) {
  MakePeople();
  Connection& conn = db_->Conn();
  std::uint64_t first = conn.ChangeStamp();
  EXPECT_EQ(first, conn.ChangeStamp()) << "nobody wrote";
  TDatabaseCore other(path_, false, false, "");
  other.Execute("INSERT INTO People (Name, Age) VALUES ('x', 1)");
  std::uint64_t second = conn.ChangeStamp();
  EXPECT_NE(first, second) << "another connection committed";
  EXPECT_EQ(second, conn.ChangeStamp());
  conn.NoteChange();
  EXPECT_NE(second, conn.ChangeStamp()) << "a change through this connection";
  // A read-only connection of the same file follows the writers too.
  Connection reader(path_, true);
  std::uint64_t seen = reader.ChangeStamp();
  EXPECT_EQ(seen, reader.ChangeStamp());
  other.Execute("UPDATE People SET Age = 2");
  EXPECT_NE(seen, reader.ChangeStamp());
}

TEST_F(CoreSeek, ComparisonsPrefixesCaseAndDescendingFields) {
  MakePeople();
  for (auto [n, a] : std::vector<std::pair<const char*, int>>{{"ann", 30}, {"Bob", 40}, {"cy", 30}, {"Dan", 20}, {"Éva", 30}})
    AddPerson(n, a);
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_EQ(errNoCurrentIndex, ErrorOf([&] { rs->Seek("=", {Cell::MakeText("x")}); }));
  rs->SetIndex("ByName");
  rs->Seek("=", {Cell::MakeText("BOB")});
  EXPECT_FALSE(rs->NoMatch());
  EXPECT_EQ("Bob", rs->Value(1).text);
  rs->Seek("=", {Cell::MakeText("éVA")});  // case folding beyond ASCII
  EXPECT_FALSE(rs->NoMatch());
  rs->Seek("=", {Cell::MakeText("bo")});
  EXPECT_TRUE(rs->NoMatch());
  rs->Seek(">=", {Cell::MakeText("bo")});
  EXPECT_EQ("Bob", rs->Value(1).text);
  rs->Seek(">", {Cell::MakeText("bob")});
  EXPECT_EQ("cy", rs->Value(1).text);
  rs->Seek("<", {Cell::MakeText("cy")});
  EXPECT_EQ("Bob", rs->Value(1).text);
  rs->Seek("<=", {Cell::MakeText("CY")});
  EXPECT_EQ("cy", rs->Value(1).text);
  rs->Seek("<", {Cell::MakeText("ann")});
  EXPECT_TRUE(rs->NoMatch());
  rs->Seek(">", {Cell::MakeText("zzz")});  // accented letters sort after the plain ones
  EXPECT_EQ("Éva", rs->Value(1).text);
  rs->Seek(">", {Cell::MakeText("ÉVA")});
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(errInvalidArgument, ErrorOf([&] { rs->Seek("<>", {Cell::MakeText("a")}); }));

  // Age DESC, Name: a prefix of one key; ">=" in a descending field goes to smaller ages.
  rs->SetIndex("ByAgeName");
  rs->Seek("=", {Cell::MakeInteger(30)});
  EXPECT_EQ("ann", rs->Value(1).text);
  rs->Seek(">", {Cell::MakeInteger(30)});
  EXPECT_EQ("Dan", rs->Value(1).text);
  rs->Seek("<", {Cell::MakeInteger(30)});
  EXPECT_EQ("Bob", rs->Value(1).text);
  rs->Seek("<=", {Cell::MakeInteger(30), Cell::MakeText("d")});
  EXPECT_EQ("cy", rs->Value(1).text);
  rs->Seek("=", {Cell::MakeInteger(30), Cell::MakeText("CY")});
  EXPECT_EQ("cy", rs->Value(1).text);
  rs->MoveNext();
  EXPECT_EQ("Éva", rs->Value(1).text);
  EXPECT_EQ(errInvalidArgument, ErrorOf([&] {
              rs->Seek("=", {Cell::MakeInteger(1), Cell::MakeText("a"), Cell::MakeText("b")});
            }));
}

TEST_F(CoreEditing, AddNewAssignsCounterAtOnceAndNeverAgain) {
  MakePeople();
  AddPerson("first", 1);
  auto rs = db_->OpenRecordset("People", -1);
  rs->MoveFirst();
  rs->AddNew();
  EXPECT_EQ(dbEditAdd, rs->EditMode());
  std::int64_t id = rs->Value(0).integer;
  EXPECT_EQ(2, id);
  rs->CancelUpdate();
  rs->AddNew();
  EXPECT_EQ(3, rs->Value(0).integer);  // the cancelled number is not handed out again
  rs->SetValue(1, Cell::MakeText("third"));
  rs->Update();
  // The current record is still the one before AddNew.
  EXPECT_EQ("first", rs->Value(1).text);
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ("third", rs->Value(1).text);
  // SQL inserts continue after it, too.
  AddPerson("fourth", 1);
  auto check = db_->OpenRecordset("SELECT Id FROM People WHERE Name = 'fourth'", -1);
  EXPECT_EQ(4, check->Value(0).integer);
  EXPECT_EQ(errUpdateWithoutEdit, ErrorOf([&] { rs->Update(); }));
  EXPECT_EQ(errUpdateWithoutEdit, ErrorOf([&] { rs->CancelUpdate(); }));
  EXPECT_EQ(errUpdateWithoutEdit, ErrorOf([&] { rs->SetValue(1, Cell::MakeText("x")); }));
  rs->Edit();
  EXPECT_EQ(errFieldNotUpdatable, ErrorOf([&] { rs->SetValue(0, Cell::MakeInteger(9)); }));
  EXPECT_EQ(errFieldTooSmall, ErrorOf([&] { rs->SetValue(1, Cell::MakeText(std::string(21, 'x'))); }));
  rs->SetValue(1, Cell::MakeText("ééééééééééééééééééééé").text.size() ? Cell::MakeText(std::string(20, 'y')) : Cell());
  rs->Update();
  EXPECT_EQ(std::string(20, 'y'), rs->Value(1).text);
}

// A table made by another tool (no catalogue rows) numbers its rows like any
// other: two additions under way at once get different numbers.
TEST_F(CoreEditing, TablesWithoutCatalogueRowsNumberConcurrentAdditionsApart) {
  db_->Conn().Exec("CREATE TABLE Plain (Name TEXT)");
  auto first = db_->OpenRecordset("Plain", -1);
  auto second = db_->OpenRecordset("Plain", -1);
  first->AddNew();
  second->AddNew();
  first->SetValue(0, Cell::MakeText("one"));
  second->SetValue(0, Cell::MakeText("two"));
  first->Update();
  EXPECT_EQ(0, ErrorOf([&] { second->Update(); }));
  EXPECT_EQ(2, first->RecordCount());
}

TEST_F(CoreEditing, DuplicateKeysRequiredFieldsAndDeletes) {
  db_->Execute("CREATE TABLE T (K LONG NOT NULL, V TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY (K))");
  auto rs = db_->OpenRecordset("T", -1);
  rs->AddNew();
  EXPECT_EQ(errRequiredIsNull, ErrorOf([&] { rs->Update(); }));
  rs->SetValue(0, Cell::MakeInteger(1));
  rs->Update();
  rs->AddNew();
  rs->SetValue(0, Cell::MakeInteger(1));
  EXPECT_EQ(errDuplicateKey, ErrorOf([&] { rs->Update(); }));
  rs->SetValue(0, Cell::MakeInteger(2));  // the failed Update kept the buffer
  rs->Update();
  EXPECT_EQ(2, rs->RecordCount());
  rs->SetIndex("PrimaryKey");
  rs->MoveFirst();
  rs->Delete();
  // The deleted record stays current until a move.
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { rs->Value(0); }));
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { rs->Delete(); }));
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { rs->Edit(); }));
  rs->MoveNext();
  EXPECT_EQ(2, rs->Value(0).integer);
  EXPECT_EQ(1, rs->RecordCount());
}

TEST_F(CoreEditing, ChunksReplaceFirstThenAppend) {
  MakePeople();
  auto rs = db_->OpenRecordset("People", -1);
  rs->AddNew();
  rs->AppendChunk(4, "Hello, ");
  rs->AppendChunk(4, "world");
  rs->AppendChunk(5, std::string("\0\1\2", 3));
  rs->Update();
  rs->MoveFirst();
  EXPECT_EQ("Hello, world", rs->Value(4).text);
  EXPECT_EQ(Cell::Blob, rs->Value(5).kind);
  EXPECT_EQ(3u, rs->Value(5).text.size());
  rs->Edit();
  rs->AppendChunk(4, "new");
  rs->Update();
  EXPECT_EQ("new", rs->Value(4).text);
  rs->Edit();
  EXPECT_EQ(errTypeMismatch, ErrorOf([&] { rs->AppendChunk(1, "x"); }));
}

TEST_F(CoreEditing, ReadOnlyRecordsetsAndDatabases) {
  MakePeople();
  AddPerson("a", 1);
  auto rs = db_->OpenRecordset("People", dbReadOnly);
  EXPECT_EQ(errReadOnly, ErrorOf([&] { rs->AddNew(); }));
  EXPECT_EQ(errReadOnly, ErrorOf([&] { rs->Edit(); }));
  EXPECT_EQ(errReadOnly, ErrorOf([&] { rs->Delete(); }));
  rs.reset();
  db_.reset();
  TDatabaseCore ro(path_, false, true, "");
  EXPECT_EQ(errReadOnly, ErrorOf([&] { ro.Execute("DELETE FROM People"); }));
  EXPECT_EQ(errReadOnly, ErrorOf([&] { ro.Execute("CREATE TABLE X (A LONG)"); }));
  auto r2 = ro.OpenRecordset("People", -1);
  EXPECT_EQ(errReadOnly, ErrorOf([&] { r2->Edit(); }));
  EXPECT_EQ(1, r2->RecordCount());
}

TEST_F(CoreBookmarks, UniqueStableAcrossInsertsAndDeletes) {
  MakePeople();
  for (int i = 0; i < 5; ++i) AddPerson("p" + std::to_string(i), i);
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetIndex("ByName");
  std::vector<std::string> marks;
  std::set<std::string> unique;
  rs->MoveFirst();
  while (!rs->Eof()) {
    marks.push_back(rs->Bookmark());
    unique.insert(marks.back());
    EXPECT_GE(marks.back().size(), 4u);
    rs->MoveNext();
  }
  EXPECT_EQ(5u, unique.size());
  AddPerson("a-first", 9);
  rs->SetBookmark(marks[2]);
  EXPECT_EQ("p2", rs->Value(1).text);
  rs->Delete();
  rs->MoveNext();
  EXPECT_EQ("p3", rs->Value(1).text);
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { rs->SetBookmark(marks[2]); }));
  EXPECT_EQ(errNotValidBookmark, ErrorOf([&] { rs->SetBookmark("ab"); }));
  rs->SetBookmark(marks[4]);
  EXPECT_EQ("p4", rs->Value(1).text);
  // Newer rows compare greater as signed 32-bit numbers.
  EXPECT_LT(ReadBookmark(marks[0]), ReadBookmark(marks[4]));
}

// A query recordset keeps what was written to its rows: moving away and back,
// near or past the rows it holds at a time, shows the new values.
TEST_F(CoreBookmarks, QueryRowsShowTheirNewValuesAfterMovingAway) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 600; ++i) AddPerson("p" + std::to_string(1000 + i), i % 7);
  db_->Conn().Commit();
  auto q = db_->OpenRecordset("SELECT Name, Age, Age * 2 AS Twice FROM People ORDER BY Name", -1);
  auto rename = [&](const std::string& name) {
    q->Edit();
    q->SetValue(0, Cell::MakeText(name));
    q->Update();
  };
  rename("first");
  q->MoveNext();
  q->MovePrevious();
  EXPECT_EQ("first", q->Value(0).text);
  q->MoveLast();
  rename("last");
  q->MoveFirst();
  EXPECT_EQ("first", q->Value(0).text);
  EXPECT_EQ(0, q->Value(2).integer);
  q->SetAbsolutePosition(599);
  EXPECT_EQ("last", q->Value(0).text);
  q->SetAbsolutePosition(300);
  EXPECT_EQ("p1300", q->Value(0).text);
  EXPECT_EQ(2 * (300 % 7), q->Value(2).integer);
  q->Delete();
  q->MoveNext();
  EXPECT_EQ(300, q->AbsolutePosition());
  EXPECT_EQ("p1301", q->Value(0).text);
  EXPECT_EQ(599, q->RecordCount());
}

// Points TMPDIR at a folder of its own and puts it back whatever happens.
struct ScratchTempFolder {
  const char* saved = std::getenv("TMPDIR");
  std::string before = saved ? saved : "";
  explicit ScratchTempFolder(const std::string& folder) {
    std::filesystem::create_directories(folder);
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
  ~ScratchTempFolder() { saved ? ::setenv("TMPDIR", before.c_str(), 1) : ::unsetenv("TMPDIR"); }
};

// A query's rows wait in a scratch file of its own, removed with the
// recordset; without a usable scratch folder the query does not open.
TEST_F(CoreBookmarks, QueryRowsLiveInAScratchFileRemovedWithTheRecordset) {
  MakePeople();
  AddPerson("a", 1);
  std::string scratch = dir_ + "/tmp";
  ScratchTempFolder restore(scratch);
  auto entries = [&] {
    return std::distance(std::filesystem::directory_iterator(scratch), std::filesystem::directory_iterator());
  };
  {
    auto q = db_->OpenRecordset("SELECT Name FROM People", -1);
    EXPECT_EQ(1, entries());
    EXPECT_EQ("a", q->Value(0).text);
  }
  EXPECT_EQ(0, entries());
  ::setenv("TMPDIR", (dir_ + "/missing").c_str(), 1);
  EXPECT_EQ(errInvalidPath, ErrorOf([&] { db_->OpenRecordset("SELECT Name FROM People", -1); }));
}

// A process that dies cannot remove its scratch folder; the next one to open
// a query there removes it, and leaves those of living processes alone.
TEST_F(CoreBookmarks, ScratchFoldersOfDeadProcessesAreRemoved) {
  MakePeople();
  AddPerson("a", 1);
  const std::string scratch = dir_ + "/sweep";
  ScratchTempFolder restore(scratch);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // its pid is now free
  const std::string dead = "vantrel-result-" + std::to_string(child) + "-a";
  const std::string alive = "vantrel-result-" + std::to_string(::getpid()) + "-b";
  for (const std::string& name : {dead, alive, std::string("vantrel-result-c"), std::string("other-1-d")}) {
    std::filesystem::create_directories(scratch + "/" + name);
    std::ofstream(scratch + "/" + name + "/result") << "rows";
  }
  auto q = db_->OpenRecordset("SELECT Name FROM People", -1);
  EXPECT_FALSE(std::filesystem::exists(scratch + "/" + dead));
  for (const char* kept : {"vantrel-result-c", "other-1-d"}) EXPECT_TRUE(std::filesystem::exists(scratch + "/" + kept)) << kept;
  EXPECT_TRUE(std::filesystem::exists(scratch + "/" + alive));
}

TEST_F(CoreBookmarks, QueryRecordsetsEditOneTableAndReadOthers) {
  MakePeople();
  db_->Execute("CREATE TABLE Programs (ProgramNumber LONG, Title TEXT(50))");
  db_->Execute("INSERT INTO Programs VALUES (1, 'One')");
  db_->Execute("INSERT INTO Programs VALUES (2, 'Two')");
  AddPerson("x", 1);
  AddPerson("y", 2);
  auto q = db_->OpenRecordset("SELECT * FROM People WHERE Age >= 1 ORDER BY Name DESC;", -1);
  EXPECT_FALSE(q->IsTable());
  EXPECT_TRUE(q->Updatable());
  EXPECT_EQ(2, q->RecordCount());
  EXPECT_EQ("y", q->Value(1).text);
  EXPECT_EQ(dbText, q->Fields()[1].def.type);
  q->Edit();
  q->SetValue(1, Cell::MakeText("yy"));
  q->Update();
  auto t = db_->OpenRecordset("SELECT Name FROM People WHERE Age = 2", -1);
  EXPECT_EQ("yy", t->Value(0).text);
  EXPECT_EQ(errNotSupported, ErrorOf([&] { q->SetIndex("ByName"); }));

  auto join = db_->OpenRecordset("select People.* from People, Programs where People.Age = 1;", -1);
  EXPECT_FALSE(join->Updatable());
  EXPECT_EQ(2, join->RecordCount());
  EXPECT_EQ(errReadOnly, ErrorOf([&] { join->Edit(); }));
}

// A read-only join whose columns all come from one of its tables keeps that
// table's row numbers only: its rows come in the query's order, as many as
// the join makes, each read as the table holds it when the cursor gets there.
TEST_F(CoreBookmarks, JoinRowsOfOneTableAreReadWhereTheCursorStands) {
  MakePeople();
  db_->Execute("CREATE TABLE Programs (ProgramNumber LONG, Title TEXT(50))");
  db_->Execute("INSERT INTO Programs VALUES (1, 'One')");
  db_->Execute("INSERT INTO Programs VALUES (2, 'Two')");
  for (const char* name : {"b", "a", "c", "old"}) {
    AddPerson(name, name[1] ? 9 : 1);
    db_->Execute(std::string("UPDATE People SET Notes = 'note of ") + name + "' WHERE Name = '" + name + "'");
  }
  struct Case {
    const char* sql;
    int nameField;
    std::vector<std::string> names;
  } cases[] = {
      {"select People.* from People, Programs where People.Age = 1 order by People.Name DESC;", 1,
       {"c", "c", "b", "b", "a", "a"}},
      {"select P.Name, P.Notes from People AS P, Programs where P.Age = 1 and Programs.ProgramNumber = 2 "
       "order by P.Name;", 0, {"a", "b", "c"}},
      // Columns of both tables: the rows are copied.
      {"select People.Name, Programs.Title from People, Programs where People.Age = 1 "
       "order by People.Name, Programs.Title;", 0, {"a", "a", "b", "b", "c", "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    auto q = db_->OpenRecordset(c.sql, -1);
    EXPECT_FALSE(q->Updatable());
    EXPECT_EQ(static_cast<std::int64_t>(c.names.size()), q->RecordCount());
    EXPECT_EQ(c.names, Names(*q, c.nameField));
  }
  auto q = db_->OpenRecordset(cases[0].sql, -1);
  TDatabaseCore other(path_, false, false, "");
  other.Execute("UPDATE People SET Notes = 'changed' WHERE Name = 'c'");
  other.Execute("DELETE FROM People WHERE Name = 'b'");
  q->MoveNext();
  EXPECT_EQ("changed", q->Value(4).text);
  q->MoveNext();
  EXPECT_TRUE(q->Value(1).IsNull());
  q->MoveLast();
  EXPECT_EQ("note of a", q->Value(4).text);
}

// Row numbers alone are kept in memory: such a join writes no scratch file
// (a million of them took half a second to write), while one that copies
// columns still does; both read the same rows either way.
TEST_F(CoreBookmarks, JoinOfRowNumbersWritesNoScratchFile) {
  MakePeople();
  db_->Execute("CREATE TABLE Programs (ProgramNumber LONG, Title TEXT(50))");
  db_->Execute("INSERT INTO Programs VALUES (1, 'One')");
  db_->Execute("INSERT INTO Programs VALUES (2, 'Two')");
  for (const char* name : {"b", "a"}) AddPerson(name, 1);
  const std::string scratch = dir_ + "/joins";
  ScratchTempFolder restore(scratch);
  auto entries = [&] {
    return std::distance(std::filesystem::directory_iterator(scratch), std::filesystem::directory_iterator());
  };
  struct Case {
    const char* sql;
    long files;
    std::vector<std::string> names;
  } cases[] = {
      {"select People.* from People, Programs where People.Age = 1 order by People.Name;", 0, {"a", "a", "b", "b"}},
      {"select People.Name, Programs.Title from People, Programs where People.Age = 1 "
       "order by People.Name, Programs.Title;", 1, {"a", "a", "b", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    auto q = db_->OpenRecordset(c.sql, -1);
    EXPECT_EQ(c.files, entries());
    const int name = q->Fields()[0].def.name == "Name" ? 0 : 1;
    EXPECT_EQ(c.names, Names(*q, name));
    // Back and forth, and to a bookmark: the numbers answer as the file did.
    q->MoveFirst();
    const std::string first = q->Bookmark();
    q->MoveLast();
    EXPECT_EQ("b", q->Value(name).text);
    q->MovePrevious();
    q->MovePrevious();
    EXPECT_EQ("a", q->Value(name).text);
    q->MoveLast();
    q->SetBookmark(first);
    EXPECT_EQ("a", q->Value(name).text);
  }
  EXPECT_EQ(0, entries());
}

using CoreDamage = daotest::DaoFixture;

// A NUL character in a statement's text never ends the statement early: a
// cut-off DELETE or UPDATE would act on every row.
TEST_F(CoreEditing, StatementTextWithANulIsRefusedWhole) {
  MakePeople();
  AddPerson("a", 1);
  AddPerson("b", 2);
  using namespace std::string_literals;
  EXPECT_NE(0, ErrorOf([&] { db_->Execute("DELETE FROM People\0 WHERE Name = 'a'"s); }));
  EXPECT_NE(0, ErrorOf([&] { db_->Execute("UPDATE People SET Age = 9\0 WHERE Name = 'a'"s); }));
  EXPECT_NE(0, ErrorOf([&] { db_->OpenRecordset("SELECT * FROM People\0 WHERE Name = 'a'"s, -1); }));
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_EQ(2, rs->RecordCount());
  rs->MoveFirst();
  EXPECT_EQ(1, rs->Value(2).integer);
}

// Sizes in a damaged catalogue are taken as the engine's limits allow: a text
// field is 1 to 255 characters, fixed-size fields have their type's size.
TEST_F(CoreDamage, CatalogueSizesOutsideTheLimitsAreKeptWithinThem) {
  MakePeople();
  AddPerson("a", 1);
  db_->Conn().Exec("UPDATE MSysColumns SET Size = 100000 WHERE Name = 'Name'");
  db_->Conn().Exec("UPDATE MSysColumns SET Size = -5 WHERE Name = 'Age'");
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_EQ(255, rs->Fields()[1].def.size);
  EXPECT_EQ(2, rs->Fields()[2].def.size);
  EXPECT_EQ("a", rs->Value(1).text);
}

// A currency default is read exactly; one beyond the currency range gives no
// default rather than a wrapped-around amount.
TEST_F(CoreDamage, CurrencyDefaultsAreExactOrNone) {
  db_->Execute("CREATE TABLE Pay (Id COUNTER, Amount CURRENCY, Other CURRENCY)");
  db_->Conn().Exec("UPDATE MSysColumns SET DefaultValue = '0.0003' WHERE Name = 'Amount'");
  db_->Conn().Exec("UPDATE MSysColumns SET DefaultValue = '1e300' WHERE Name = 'Other'");
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  auto rs = db_->OpenRecordset("Pay", -1);
  rs->AddNew();
  EXPECT_EQ(3, rs->Value(1).integer);
  EXPECT_TRUE(rs->Value(2).IsNull());
}

// A text default keeps what stands between its quotes, nothing of the quotes.
TEST_F(CoreDamage, TextDefaultsLoseTheirQuotes) {
  const struct {
    const char* Stored;
    const char* Read;
  } cases[] = {{"\"\"", ""}, {"''", ""}, {"\"a b\"", "a b"}, {"'x'", "x"}, {"plain", "plain"}, {"\"", "\""}};
  db_->Execute("CREATE TABLE Notes (Id COUNTER, Body TEXT(20))");
  for (const auto& c : cases) {
    std::string literal;
    for (char ch : std::string(c.Stored)) literal += ch == '\'' ? "''" : std::string(1, ch);
    db_->Conn().Exec("UPDATE MSysColumns SET DefaultValue = '" + literal + "' WHERE Name = 'Body'");
    db_.reset();
    db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
    auto rs = db_->OpenRecordset("Notes", -1);
    rs->AddNew();
    EXPECT_EQ(c.Read, rs->Value(1).text) << c.Stored;
  }
}

TEST_F(CoreDamage, DamagedCatalogueAndFilesFailCleanly) {
  MakePeople();
  AddPerson("a", 1);
  // A catalogue that names a column the table lacks, and one with a bad type number.
  db_->Conn().Exec("INSERT INTO MSysColumns VALUES ('People', 'Ghost', 9, 4, 4, 0, 0, 0, NULL)");
  db_->Conn().Exec("UPDATE MSysColumns SET Type = 77 WHERE Name = 'Age'");
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  EXPECT_NE(0, ErrorOf([&] { db_->OpenRecordset("People", -1); }));
  db_->Conn().Exec("DELETE FROM MSysColumns WHERE Name = 'Ghost'");
  db_.reset();
  db_ = std::make_unique<TDatabaseCore>(path_, false, false, "");
  auto rs = db_->OpenRecordset("People", -1);
  EXPECT_EQ(Cell::Integer, rs->Value(2).kind);  // the value is still there to read
  rs.reset();
  db_.reset();

  // A file cut short is reported, not read.
  std::filesystem::resize_file(path_, 1024);
  std::filesystem::remove(path_ + "-wal");
  EXPECT_EQ(errCannotOpen, ErrorOf([&] {
              TDatabaseCore db(path_, false, false, "");
              db.OpenRecordset("People", -1);
            }));
}

using CoreLargeValues = daotest::DaoFixture;

TEST_F(CoreLargeValues, MemosAreReadWhenAskedForAndSizedWithoutReading) {
  MakePeople();
  auto rs = db_->OpenRecordset("People", -1);
  for (int i = 0; i < 3; ++i) {
    rs->AddNew();
    rs->SetValue(1, Cell::MakeText("p" + std::to_string(i)));
    // A small memo comes with its row, a large one is read when asked for.
    if (i > 0) rs->SetValue(4, Cell::MakeText(std::string(i == 1 ? 1000 : 20000, 'x') + "é"));
    if (i == 2) rs->SetValue(5, Cell::MakeBlob(std::string("\0\1", 2)));
    rs->Update();
  }
  rs->SetIndex("ByName");
  rs->MoveFirst();
  EXPECT_EQ(-1, rs->ValueSize(4));
  EXPECT_TRUE(rs->Value(4).IsNull());
  rs->MoveNext();
  EXPECT_EQ(1002, rs->ValueSize(4));  // bytes: the accented letter takes two
  EXPECT_EQ(1002u, rs->Value(4).text.size());
  EXPECT_EQ(Cell::Text, rs->Value(4).kind);
  rs->MoveNext();
  EXPECT_EQ(2, rs->ValueSize(5));
  EXPECT_EQ(std::string("\0\1", 2), rs->Value(5).text);
  // Another user removes the record before its memo is read.
  TDatabaseCore other(path_, false, false, "");
  other.Execute("DELETE FROM People WHERE Name = 'p2'");
  EXPECT_EQ(errRecordDeleted, ErrorOf([&] { rs->Value(4); }));
  // Editing reads everything, so the values carried are complete.
  rs->MovePrevious();
  rs->Edit();
  rs->SetValue(1, Cell::MakeText("renamed"));
  rs->Update();
  EXPECT_EQ(std::string(1000, 'x') + "é", rs->Value(4).text);
}

// A scan reads each window of rows over the storage of the one before: no
// value of an earlier row may show through in a later one, whatever kind
// each value is (Null, number, short or long text, a memo on either side of
// the bound of those read with their row, binary), forward or back.
TEST_F(CoreLargeValues, RowsReadOverEarlierOnesShowOnlyTheirOwnValues) {
  MakePeople();
  const int rows = 700;  // several read-ahead windows
  auto expected = [](int i) {
    std::vector<Cell> v(6);
    v[0] = Cell::MakeInteger(i + 1);
    if (i % 3 == 1) v[1] = Cell::MakeText("n" + std::to_string(i));
    if (i % 3 == 2) v[1] = Cell::MakeText(std::string(18, char('a' + i % 26)));
    if (i % 2 == 0) v[2] = Cell::MakeInteger(i % 100);
    if (i % 2 == 1) v[3] = Cell::MakeReal(40000.5 + i);
    const std::size_t memo[] = {0, 7, 8192, 8193, 30000};
    if (i % 5 != 0) v[4] = Cell::MakeText(std::string(memo[i % 5] - 1, char('A' + i % 26)) + "z");
    if (i % 4 == 0) v[5] = Cell::MakeBlob(std::string("\0", 1) + std::to_string(i));
    return v;
  };
  db_->Conn().Begin();
  auto insert = db_->Conn().Prepare("INSERT INTO People (Name, Age, Born, Notes, Photo) VALUES (?, ?, ?, ?, ?)");
  for (int i = 0; i < rows; ++i) {
    std::vector<Cell> v = expected(i);
    for (int c = 1; c <= 5; ++c) insert->Bind(c, v[static_cast<size_t>(c)]);
    insert->Step();
    insert->Reset();
  }
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  // The memo and the binary value of every other row are only measured:
  // a value left unread stays so in the row read over next.
  auto check = [&](int i) {
    std::vector<Cell> v = expected(i);
    for (int c = 0; c <= 5; ++c) {
      const Cell& want = v[static_cast<size_t>(c)];
      const std::int64_t size = want.IsNull() ? -1 : static_cast<std::int64_t>(want.text.size());
      if (c >= 4) {
        EXPECT_EQ(size, rs->ValueSize(c)) << "row " << i << ", field " << c;
      }
      if (c < 4 || i % 2 == 0) {
        EXPECT_TRUE(want == rs->Value(c)) << "row " << i << ", field " << c;
      }
    }
  };
  rs->MoveFirst();
  for (int i = 0; i < rows; ++i, rs->MoveNext()) check(i);
  EXPECT_TRUE(rs->Eof());
  rs->MoveLast();
  for (int i = rows - 1; i >= 0; --i, rs->MovePrevious()) check(i);
  EXPECT_TRUE(rs->Bof());
}

// Another connection rewrites a row whose memo the cursor has not read yet:
// the memo comes with the row it belongs to, never measured by the old size.
TEST_F(CoreLargeValues, AMemoReadLaterComesWithTheRowAsItIsThen) {
  MakePeople();
  const std::string before(20000, 'o');
  const struct {
    const char* what;
    Cell memo;  // written by the other connection
    const char* name;
  } cases[] = {
      {"grown, renamed", Cell::MakeText(std::string(30000, 'n')), "zed"},
      {"shrunk, renamed", Cell::MakeText(std::string(9000, 's')), "zed"},
      {"shrunk to a small one", Cell::MakeText("tiny"), "zed"},
      {"emptied", Cell(), "zed"},
      {"same size, same name", Cell::MakeText(std::string(20000, 'q')), "p"},
      {"untouched", Cell::MakeText(before), "p"},
  };
  for (const auto& c : cases) {
    db_->Execute("DELETE FROM People");
    auto rs = db_->OpenRecordset("People", -1);
    rs->AddNew();
    rs->SetValue(1, Cell::MakeText("p"));
    rs->SetValue(4, Cell::MakeText(before));
    rs->Update();
    rs->MoveFirst();
    ASSERT_EQ(20000, rs->ValueSize(4)) << c.what;
    {
      TDatabaseCore other(path_, false, false, "");
      auto theirs = other.OpenRecordset("People", -1);
      theirs->Edit();
      theirs->SetValue(1, Cell::MakeText(c.name));
      theirs->SetValue(4, c.memo);
      theirs->Update();
    }
    const Cell& memo = rs->Value(4);
    EXPECT_TRUE(c.memo == memo) << c.what << ": " << memo.text.size() << " bytes";
    EXPECT_EQ(c.name, rs->Value(1).text) << c.what;
    EXPECT_EQ(c.memo.IsNull() ? -1 : static_cast<std::int64_t>(c.memo.text.size()), rs->ValueSize(4)) << c.what;
  }
}

// The first row meeting a condition has its own place among all rows, and
// keeps it when the condition goes.
TEST_F(CoreCursor, PositionsUnderARowConditionCountEveryRow) {
  MakePeople();
  db_->Conn().Begin();
  for (int i = 0; i < 20; ++i) AddPerson("n" + std::to_string(100 + i), i);
  db_->Conn().Commit();
  auto rs = db_->OpenRecordset("People", -1);
  rs->SetRowCondition("\"Age\" = 13");
  rs->MoveFirst();
  EXPECT_EQ("n113", rs->Value(1).text);
  rs->SetRowCondition("");
  EXPECT_EQ(13, rs->AbsolutePosition());
  rs->MoveNext();
  EXPECT_EQ("n114", rs->Value(1).text);
  EXPECT_EQ(14, rs->AbsolutePosition());
  rs->MoveFirst();
  EXPECT_EQ(0, rs->AbsolutePosition());
  // Asked while the condition holds.
  rs->SetRowCondition("\"Age\" >= 17");
  rs->MoveFirst();
  EXPECT_EQ(17, rs->AbsolutePosition());
  rs->MoveNext();
  EXPECT_EQ(18, rs->AbsolutePosition());
}

}  // namespace
