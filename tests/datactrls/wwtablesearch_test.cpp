// The library table's index and range routines, incremental search and
// locate over a scratch Access database, and the import of the pictures a
// Paradox table's validity checks give its fields.

#include <gtest/gtest.h>

#include <cstring>

#include "bde/library_fixture.h"
#include "datactrls/wwdbroutines.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwtable.h"
#include "dbengine/basedatabase.h"
#include "dbengine/testcursor.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

class LibraryTableSearch : public bdetest::LibraryFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    AccessFixture::Populate(db);  // 1 Anna 30, 2 Bert 25, 3 Carl 30; ByName, ByAgeName (Age, Name DESC)
    for (const char* sql : {"INSERT INTO People (Name, Age) VALUES ('Dora', 41)",
                            "CREATE INDEX ByAgeUp ON People (Age, Name)", "CREATE TABLE Plain (Word TEXT(10))",
                            "INSERT INTO Plain (Word) VALUES ('one')"})
      db.Execute(sql);
  }
  TwwTable* Table(const std::string& index) {
    auto* t = Make<TwwTable>();
    t->SetTableName("People");
    t->SetIndexName(index);
    t->Open();
    return t;
  }
  static std::string Name(TDataSet* d) { return d->FieldByName("Name")->AsString(); }
  static int Count(TDataSet* d) {
    int n = 0;
    for (d->First(); !d->Eof(); d->Next()) ++n;
    return n;
  }
};

TEST_F(LibraryTableSearch, IndexRoutinesAnswerForTheActiveAndTheNamedIndexes) {
  TwwTable* t = Table("ByAgeName");
  t->IndexDefs().Update();
  EXPECT_EQ("Age", t->GetIndexFieldList());
  EXPECT_TRUE(t->FieldsMapToIndex("age;NAME"));
  EXPECT_FALSE(t->FieldsMapToIndex("Name"));
  EXPECT_FALSE(t->FieldsMapToIndex("Age;Name;Id"));
  EXPECT_FALSE(t->IsDifferentIndex("byagename"));
  EXPECT_TRUE(t->IsDifferentIndex("ByName"));
  // Exact key first, then one that begins with the fields; the case
  // sensitivity asked for must be the index's.
  const bool caseSensitive = !t->IndexDefs().Find("ByName")->Options().Contains(ixCaseInsensitive);
  const std::pair<std::string, std::string> cases[] = {
      {"Name", "ByName"}, {"age", "ByAgeName"}, {"Id", "PrimaryKey"}, {"Score", "?"}, {"", "?"}};
  for (const auto& [fields, index] : cases) {
    EXPECT_EQ(index, t->FindIndexForFields(fields, caseSensitive)) << fields;
    EXPECT_EQ("?", t->FindIndexForFields(fields, !caseSensitive)) << fields;
  }
  t->Close();
  EXPECT_EQ("", t->GetIndexFieldList()) << "a closed table has no active index";
}

TEST_F(LibraryTableSearch, ARangeStartKeyShowsTheKeysFromItAndCancellingKeepsTheRecord) {
  TwwTable* t = Table("ByName");
  t->SetRangeStartKey({Variant("Bert")});
  EXPECT_EQ("Bert", Name(t));
  EXPECT_EQ(3, Count(t));
  t->Last();
  t->CancelRangeKeepState();
  EXPECT_EQ("Dora", Name(t));
  EXPECT_EQ(4, Count(t));
  t->Close();
  t->CancelRangeKeepState();  // nothing to cancel on a closed table
}

// How the table searches: locate, nearest key, a narrowed range, or an SQL
// range start kept in step.
enum TSearchMode { smLocate, smNearest, smNarrow, smSync };

TEST_F(LibraryTableSearch, IncrementalSearchFollowsTheTablesSettings) {
  struct TCase {
    const char* index;
    TSearchMode mode;
    std::string text;
    int keyIndex;
    bool found;
    const char* reached;
    int visible;
  };
  const TCase cases[] = {
      {"ByName", smLocate, "Ca", 0, true, "Carl", 4},
      {"ByName", smLocate, "ca", 0, true, "Carl", 4},  // the index ignores case
      {"ByName", smLocate, "cx", 0, false, "Anna", 4},  // no such key: nothing moves
      {"ByName", smNearest, "c", 0, true, "Carl", 4},
      {"ByName", smLocate, "", 0, true, "Anna", 4},  // empty: the first record
      {"PrimaryKey", smLocate, "3", 0, true, "Carl", 4},
      {"PrimaryKey", smLocate, "12a", 0, false, "Anna", 4},  // no number: nothing moves
      {"ByAgeUp", smLocate, "Ca", 1, true, "Carl", 4},  // Age 30 kept from Anna
      {"ByAgeName", smLocate, "Ca", 1, true, "Carl", 4},  // names descending
      {"ByAgeUp", smNearest, "B", 1, false, "Carl", 4},  // the nearest key after (30, B)
      {"ByAgeName", smLocate, "30", 0, true, "Carl", 4},  // the descending names: Carl first
      {"ByName", smNarrow, "B", 0, true, "Bert", 1},
      {"ByName", smNarrow, "z", 0, false, "", 0},
      {"PrimaryKey", smNarrow, "2", 0, true, "Bert", 3},  // a typed key: from it on
      {"ByName", smSync, "B", 0, true, "Bert", 3},
      {"ByAgeUp", smSync, "B", 1, false, "Carl", 2},  // from (30, B) on
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.index) + " '" + c.text + "' " + std::to_string(c.keyIndex));
    TwwTable* t = Table(c.index);
    t->NarrowSearch = c.mode == smNarrow;
    t->SyncSQLByRange = c.mode == smSync;
    wwGlobalIntl()->UseLocateMethodForSearch = c.mode != smNearest;
    ASSERT_TRUE(t->Locate("Name", Variant("Anna"), {}));
    int nesting = -1;
    t->AfterScroll = [&](TDataSet*) { nesting = t->SearchNesting(); };
    EXPECT_EQ(c.found, wwIncrementalSearch(t, c.text, c.keyIndex));
    EXPECT_EQ(c.reached, t->IsEmpty() ? "" : Name(t));
    if (nesting >= 0) {
      EXPECT_EQ(1, nesting) << "moved while counted as searching";
    }
    EXPECT_EQ(0, t->SearchNesting());
    t->AfterScroll = nullptr;
    EXPECT_EQ(c.visible, Count(t));
    if (c.mode == smNarrow || c.mode == smSync) {
      wwIncrementalSearch(t, "", c.keyIndex);
      EXPECT_EQ(4, Count(t)) << "an empty text drops the range";
    }
  }
  wwGlobalIntl()->UseLocateMethodForSearch = true;
}

// Typing a start of a name finds it in any case of every pair, also where a
// fold changes a character's length, by each way the search may take.
TEST_F(LibraryTableSearch, IncrementalSearchFindsEveryCasePair) {
  ExecuteElsewhere("INSERT INTO People (Name, Age) VALUES ('\u212Aelvin', 50)");
  ExecuteElsewhere("INSERT INTO People (Name, Age) VALUES ('Ơn', 50)");
  ExecuteElsewhere("INSERT INTO People (Name, Age) VALUES ('ẞach', 50)");
  const char* const kTyped[][2] = {{"kel", "\u212Aelvin"}, {"ơN", "Ơn"}, {"ßA", "ẞach"}};
  for (bool narrow : {false, true})
    for (bool locate : {false, true}) {
      if (narrow && !locate) continue;
      TwwTable* t = Table("ByName");
      t->NarrowSearch = narrow;
      wwGlobalIntl()->UseLocateMethodForSearch = locate;
      for (const auto& typed : kTyped) {
        SCOPED_TRACE(std::string(typed[0]) + (narrow ? " narrowed" : locate ? " located" : " nearest"));
        EXPECT_TRUE(wwIncrementalSearch(t, typed[0], 0));
        EXPECT_EQ(typed[1], Name(t));
        if (narrow) {
          EXPECT_EQ(1, Count(t));
        }
      }
    }
  wwGlobalIntl()->UseLocateMethodForSearch = true;
}

// The database file is SQL-based; the library's table reopens on the new
// index only when it keeps its SQL range in step. Either way the record stays.
TEST_F(LibraryTableSearch, AnIndexChangeReopensTheLibraryTableOnlyWhenItSyncsItsRange) {
  for (bool sync : {false, true}) {
    TwwTable* t = Table("PrimaryKey");
    ASSERT_TRUE(t->Database()->IsSQLBased());
    t->SyncSQLByRange = sync;
    ASSERT_TRUE(t->Locate("Name", Variant("Carl"), {}));
    int opened = 0;
    t->AfterOpen = [&](TDataSet*) { ++opened; };
    t->SetIndexKeepPosition("byagename");
    EXPECT_EQ("ByAgeName", t->IndexName());
    EXPECT_EQ("Carl", Name(t));
    EXPECT_EQ(sync ? 1 : 0, opened) << sync;
    t->SetIndexKeepPosition("BYAGENAME");
    EXPECT_EQ(sync ? 1 : 0, opened) << "the same index in other case changes nothing";
  }
}

TEST_F(LibraryTableSearch, IncrementalSearchWarnsOfATableWithoutIndexFields) {
  auto* t = Make<TwwTable>();
  t->SetName("PlainWords");
  t->SetTableName("Plain");
  t->Open();
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  EXPECT_FALSE(wwIncrementalSearch(t, "o", 0));
  EXPECT_EQ(std::vector<std::string>{"Table PlainWords: Table index not found"}, boxes.Texts());
  EXPECT_FALSE(wwIsIndexedTable(t));
  TwwTable* people = Table("ByName");
  EXPECT_FALSE(wwIncrementalSearch(people, "o", 1)) << "the index has one field";
  EXPECT_EQ("Table People: FindKey has too many lookup values for index ByName", boxes.Texts().back());
  EXPECT_EQ("Anna", Name(people));
}

TEST_F(LibraryTableSearch, LocateIfDifferentStaysOnARecordThatHoldsTheValue) {
  struct TCase {
    std::string value;
    TwwLocateMatchType match;
    bool caseSensitive, found, searched;
    const char* reached;
  };
  const TCase cases[] = {
      {"anna", mtExactMatch, false, true, false, "Anna"},
      {"anna", mtExactMatch, true, false, true, "Anna"},  // scanned, none found, back on Anna
      {"Ca", mtPartialMatchStart, false, true, false, "Carl"},  // the case-blind index seeks it
      {"Ca", mtPartialMatchStart, true, true, true, "Carl"},  // a case-sensitive search scans
      {"or", mtPartialMatchAny, true, true, true, "Dora"},
  };
  for (const TCase& c : cases) {
    TwwTable* t = Table("ByName");
    bool searched = false;
    t->AfterScroll = [&](TDataSet*) { searched = searched || t->SearchNesting() == 1; };
    EXPECT_EQ(c.found, wwLocateIfDifferent(t, c.value, "Name", c.match, c.caseSensitive)) << c.value;
    EXPECT_EQ(c.searched, searched) << c.value;
    EXPECT_EQ(c.reached, Name(t)) << c.value;
    t->AfterScroll = nullptr;
  }
}

// Names that go on, or begin, with letters outside ASCII.
class LibraryTableLetters : public LibraryTableSearch {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LibraryTableSearch::Populate(db);
    for (const char* name : {"Bœuf", "B中", "Émile", "Özlem"})
      db.Execute(std::string("INSERT INTO People (Name, Age) VALUES ('") + name + "', 50)");
  }
  static std::vector<std::string> Names(TDataSet* d) {
    std::vector<std::string> names;
    for (d->First(); !d->Eof(); d->Next()) names.push_back(Name(d));
    return names;
  }
};

// Narrowed to a text, the table shows every name that starts with it, in
// any case where the index ignores case, whatever letter follows; the
// search that locates goes to the first of them.
TEST_F(LibraryTableLetters, IncrementalSearchFindsEveryNameThatStartsWithTheTextInAnyCase) {
  const struct {
    const char* text;
    const char* reached;
    std::vector<std::string> narrowed;
  } cases[] = {
      {"B", "Bert", {"Bert", "Bœuf", "B中"}},
      {"bœ", "Bœuf", {"Bœuf"}},
      {"é", "Émile", {"Émile"}},
      {"öz", "Özlem", {"Özlem"}},
      {"ÖZL", "Özlem", {"Özlem"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    for (bool narrow : {false, true}) {
      TwwTable* t = Table("ByName");
      t->NarrowSearch = narrow;
      EXPECT_TRUE(wwIncrementalSearch(t, c.text, 0));
      EXPECT_EQ(c.reached, Name(t));
      if (narrow) {
        EXPECT_EQ(c.narrowed, Names(t));
      }
    }
  }
}

class LibraryTableRangeEnds : public LibraryTableLetters {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LibraryTableLetters::Populate(db);
    for (const char* sql : {"INSERT INTO People (Name, Age) VALUES ('Bzz', 50)",
                            "INSERT INTO People (Name, Age) VALUES ('B\xF0\x9F\x98\x80', 50)",
                            "CREATE INDEX ByNameDown ON People (Name DESC)"})
      db.Execute(sql);
    // A byte no character stands for, as another program may leave it.
    auto insert = db.Conn().Prepare("INSERT INTO People (Name, Age) VALUES (?, 50)");
    insert->Bind(1, std::string("B\xFF"));
    insert->Step();
  }
};

// The narrowed range ends past every name that starts with the text and
// goes on with the range-end character, repeated for the field's length; by
// default past every character and byte, also on a descending index, whose
// range starts there and where a name going on above U+FFFD, or with a byte
// no character stands for, starts the walk.
TEST_F(LibraryTableRangeEnds, ANarrowedSearchKeepsTheNamesUpToTheRangeEndCharacter) {
  const std::vector<std::string> all = {"Bert", "Bzz", "Bœuf", "B中", "B\xF0\x9F\x98\x80", "B\xFF"};
  const struct {
    const char* index;
    std::uint16_t upper;
    std::vector<std::string> narrowed;
  } cases[] = {
      {"ByName", 255, all},
      {"ByName", 'z', {"Bert", "Bzz"}},
      {"ByName", 'r', {"Bert"}},
      {"ByNameDown", 255, {all.rbegin(), all.rend()}},
      {"ByNameDown", 'z', {"Bzz", "Bert"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.index) + " " + std::to_string(c.upper));
    TwwTable* t = Table(c.index);
    t->NarrowSearch = true;
    t->NarrowSearchUpperChar = c.upper;
    EXPECT_TRUE(wwIncrementalSearch(t, "B", 0));
    EXPECT_EQ(c.narrowed, Names(t));
  }
}

TEST_F(LibraryTableSearch, DataSetTestsAskForALibraryTableWithIndexOrQueryText) {
  TwwTable* indexed = Table("ByName");
  auto* queried = Make<TwwTable>();
  queried->Query()->Add("SELECT Name FROM People");
  auto* plain = Make<TTable>();
  plain->SetTableName("People");
  plain->Open();
  EXPECT_TRUE(wwIsIndexedTable(indexed));
  EXPECT_TRUE(wwHasQueryText(queried));
  for (TDataSet* d : std::initializer_list<TDataSet*>{queried, plain, nullptr}) EXPECT_FALSE(wwIsIndexedTable(d));
  for (TDataSet* d : std::initializer_list<TDataSet*>{indexed, plain, nullptr}) EXPECT_FALSE(wwHasQueryText(d));
}

// A table whose validity checks are a list made here: field number, required
// word and picture per row, as the engine lists a Paradox table's checks.
class TCheckedTable : public TwwTable {
 public:
  using TwwTable::TwwTable;
  std::vector<std::pair<std::uint16_t, std::string>> Checks;
  int ListsOpened = 0;

 protected:
  TBaseTable* OpenValidityChecks() override {
    ++ListsOpened;
    TFieldDesc descs[3] = {testing_engine::MakeField(1, "FLDNUM", fldtype::Int16, 0, 2),
                           testing_engine::MakeField(2, "REQUIRED", fldtype::Int16, 2, 2),
                           testing_engine::MakeField(3, "PICTURE", fldtype::ZString, 4, 176)};
    TBaseTable* cursor = nullptr;
    DBHandle()->CreateMemoryTable("checks", 3, descs, cursor);
    for (const auto& [field, picture] : Checks) {
      std::vector<std::uint8_t> row(cursor->GetRecordBufferSize(), 0);
      std::memcpy(row.data(), &field, 2);
      std::memcpy(row.data() + 4, picture.c_str(), picture.size());
      cursor->InsertRecord(0, row.data());
    }
    return cursor;
  }
};

class ParadoxPictures : public LibraryTableSearch {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LibraryTableSearch::Populate(db);
    db.Execute("CREATE TABLE [Cust.db] (Id LONG, Phone TEXT(10), Zip TEXT(5), City TEXT(20))");
  }
};

TEST_F(ParadoxPictures, ATablesOwnPicturesMergeIntoPictureMasks) {
  auto* t = Make<TCheckedTable>();
  t->SetTableName("Cust.db");
  t->Checks = {{2, "###-####"}, {3, "#####"}, {4, ""}, {9, "&&"}};
  t->PictureMasks()->SetText("Zip\t*#\tF\tT\nCity\t&*?\tF\tF");
  EXPECT_EQ("", t->TablePicture("Phone")) << "a closed table reads no checks";
  t->Open();
  const std::pair<std::string, std::string> pictures[] = {
      {"Phone", "###-####"}, {"zip", "#####"}, {"City", ""}, {"Id", ""}, {"Nowhere", ""}};
  for (const auto& [field, picture] : pictures) EXPECT_EQ(picture, wwGetTablePicture(t, field)) << field;
  EXPECT_EQ(1, t->ListsOpened) << "read once per open";
  t->ImportTablePictures();
  // The table's picture replaces a mask and keeps the entry's flags; a new
  // entry takes auto-fill and use-mask; a field without a picture keeps its own.
  EXPECT_EQ("Zip\t#####\tF\tT\r\nCity\t&*?\tF\tF\r\nPhone\t###-####\tT\tT\r\n", t->PictureMasks()->Text());
  t->Close();
  t->Open();
  t->TablePicture("Phone");
  EXPECT_EQ(2, t->ListsOpened) << "another open reads them again";
  // The engine's own check lists (it keeps none) give no picture.
  auto* plainParadox = Make<TwwTable>();
  plainParadox->SetTableName("Cust.db");
  plainParadox->Open();
  EXPECT_EQ("", plainParadox->TablePicture("Phone"));
}

}  // namespace
