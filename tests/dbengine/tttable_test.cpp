// Table component: index choice, keys, ranges, read-only tables, index
// definitions and the batch move's settings.

#include <gtest/gtest.h>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "testengine.h"
#include "ttbinding.h"
#include "platform/classlib/core/english_settings.h"

using namespace tttest;

namespace {

class TableKeys : public ComponentFixture {};

TEST_F(TableKeys, IndexNameAndFieldNamesExcludeEachOther) {
  auto t = MakeTable();
  t->SetIndexFieldNames("Name");
  EXPECT_EQ("Name", t->IndexFieldNames());
  EXPECT_EQ("", t->IndexName());
  t->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), ColumnOf(t.get()));
  t->SetIndexName("ByAgeName");
  EXPECT_EQ("ByAgeName", t->IndexName());
  EXPECT_EQ("", t->IndexFieldNames());
  EXPECT_EQ((std::vector<std::string>{"Bert", "Carl", "Anna"}), ColumnOf(t.get())) << "age, then name descending";
  t->SetIndexFieldNames("");
  EXPECT_EQ("", t->IndexName());
  EXPECT_EQ("", t->IndexFieldNames());
  EXPECT_EQ(3u, ColumnOf(t.get()).size());
}

TEST_F(TableKeys, FindKeyOnFewerFieldsThanTheIndexHas) {
  auto t = MakeTable();
  t->SetIndexName("ByAgeName");
  t->Open();
  EXPECT_TRUE(t->FindKey({Variant(30)}));
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_TRUE(t->FindKey({Variant(30), Variant(std::string("Anna"))}));
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  EXPECT_FALSE(t->FindKey({Variant(31)}));
}

TEST_F(TableKeys, KeyEntryCanBeCancelled) {
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  t->SetKey();
  t->FieldByName("Name")->SetAsString("Bert");
  t->Post();  // commits the key
  EXPECT_EQ(dsBrowse, t->State());
  t->EditKey();
  t->FieldByName("Name")->SetAsString("Zed");
  t->Cancel();  // the committed key comes back
  EXPECT_TRUE(t->GotoKey());
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
}

TEST_F(TableKeys, RangesByKeyEntryAndExclusiveEnds) {
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  t->SetRangeStart();
  t->FieldByName("Name")->SetAsString("Anna");
  t->SetRangeEnd();
  t->FieldByName("Name")->SetAsString("Carl");
  t->SetKeyExclusive(TttBDEDataset::kiRangeEnd, true);
  t->ApplyRange();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert"}), ColumnOf(t.get()));
  t->CancelRange();
  EXPECT_EQ(3u, ColumnOf(t.get()).size());
}

TEST_F(TableKeys, ReadOnlyTablesCannotBeModified) {
  auto t = MakeTable();
  t->SetReadOnly(true);
  t->Open();
  EXPECT_FALSE(t->CanModify());
  EXPECT_THROW(t->Edit(), EDatabaseError);
  EXPECT_THROW(t->SetReadOnly(false), EDatabaseError) << "only while closed";
  t->Close();
  t->SetReadOnly(false);
  t->Open();
  EXPECT_TRUE(t->CanModify());
}

TEST_F(TableKeys, MissingTableNameAndCircularMasters) {
  auto t = MakeTable("");
  EXPECT_EQ("Missing TableName property", MessageOf<EDatabaseError>([&] { t->Open(); }));
  auto a = MakeTable();
  auto b = MakeTable();
  TDataSource sa, sb;
  sa.SetDataSet(a.get());
  sb.SetDataSet(b.get());
  b->SetMasterSource(&sa);
  EXPECT_EQ("Circular datalinks are not allowed",
      MessageOf<EDatabaseError>([&] { a->SetMasterSource(&sb); }));
}

TEST_F(TableKeys, IndexDefinitionsComeFromTheEngine) {
  auto t = MakeTable();
  t->RefreshIndexDefs();  // works on a closed table
  TIndexDefs& defs = t->IndexDefs();
  ASSERT_GE(defs.Count(), 3);
  EXPECT_EQ("Name", defs.Find("ByName")->Fields());
  EXPECT_EQ("Age;Name", defs.Find("ByAgeName")->Fields());
  EXPECT_TRUE(defs.Find("PrimaryKey")->Options().Contains(ixPrimary));
  EXPECT_EQ("ByName", defs.FindIndexForFields("Name")->Name());
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(nullptr, t->Database()) << "the database is let go again";
  t->PrepareFieldDefs();
  EXPECT_EQ(ftString, t->FieldDefs().Find("Name")->DataType());
}

// An Access database that counts the tables it opens and answers a list of
// validity checks (field number, required word) of its own.
class TCheckedAccessDatabase : public TAccessDatabase {
 public:
  using TAccessDatabase::TAccessDatabase;
  static inline int TablesOpened = 0;
  static inline std::vector<std::pair<std::uint16_t, std::uint16_t>> Checks;

  void OpenTable(const char* tableName, const char* driverType, const char* indexName, const char* indexTag,
                 std::uint16_t indexId, std::int32_t openMode, std::int32_t shareMode, std::int32_t translateMode,
                 bool unidirectional, const void* optionalParams, TBaseTable*& cursor) override {
    ++TablesOpened;
    TAccessDatabase::OpenTable(tableName, driverType, indexName, indexTag, indexId, openMode, shareMode,
                               translateMode, unidirectional, optionalParams, cursor);
  }
  void OpenFieldCheckList(const char*, const char*, TBaseTable*& cursor) override {
    TFieldDesc descs[2] = {testing_engine::MakeField(1, "FLDNUM", fldtype::Int16, 0, 2),
                           testing_engine::MakeField(2, "REQUIRED", fldtype::Int16, 2, 2)};
    CreateMemoryTable("checks", 2, descs, cursor);
    for (auto [field, required] : Checks) {
      std::vector<std::uint8_t> row(cursor->GetRecordBufferSize(), 0);
      std::memcpy(row.data(), &field, 2);
      std::memcpy(row.data() + 2, &required, 2);
      cursor->InsertRecord(0, row.data());
    }
  }
};

class TCheckedAccessSession : public TAccessSession {
 public:
  using TAccessSession::TAccessSession;
  void CreateDatabase(const TDatabaseDesc& desc, const char*, std::int32_t openMode, std::int32_t shareMode,
                      const char* password, std::uint16_t paramCount, const TFieldDesc* paramDescs,
                      const void* paramValues, TBaseDatabase*& database) override {
    database = nullptr;
    database = new TCheckedAccessDatabase(this, desc, openMode, shareMode, password, paramCount, paramDescs,
                                          paramValues);
  }
};

TEST_F(TableKeys, FieldDefinitionsOfAClosedTableComeFromItsFieldAndCheckLists) {
  list_->EngineClass = [](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
    return new TCheckedAccessSession(e, s, n, d);
  };
  TCheckedAccessDatabase::TablesOpened = 0;
  TCheckedAccessDatabase::Checks = {{2, 1}, {3, 0}, {300, 1}};  // Name required; Age not; 300 is beyond the set
  auto t = MakeTable();
  t->FieldDefs().Update();
  EXPECT_EQ(0, TCheckedAccessDatabase::TablesOpened) << "the table itself is not opened";
  EXPECT_TRUE(t->FieldDefs().Updated());
  TFieldDefs& defs = t->FieldDefs();
  ASSERT_EQ(9, defs.Count());
  EXPECT_EQ("Id", defs[0]->Name());
  EXPECT_EQ(ftInteger, defs.Find("Id")->DataType());
  EXPECT_EQ(ftString, defs.Find("Name")->DataType());
  EXPECT_EQ(20, defs.Find("Name")->Size());
  EXPECT_EQ(ftMemo, defs.Find("Notes")->DataType());
  EXPECT_EQ(ftFloat, defs.Find("Pay")->DataType());
  EXPECT_TRUE(defs.Find("Name")->Required());
  EXPECT_FALSE(defs.Find("Age")->Required());
  EXPECT_FALSE(defs.Find("Id")->Required());
  EXPECT_EQ(nullptr, t->Database()) << "the database is let go again";
  // The definitions equal those of the opened table.
  std::vector<std::pair<std::string, TFieldType>> listed;
  for (int i = 0; i < defs.Count(); ++i) listed.emplace_back(defs[i]->Name(), defs[i]->DataType());
  t->Open();
  EXPECT_EQ(1, TCheckedAccessDatabase::TablesOpened);
  ASSERT_EQ(int(listed.size()), t->FieldDefs().Count());
  for (int i = 0; i < t->FieldDefs().Count(); ++i) {
    EXPECT_EQ(listed[std::size_t(i)].first, t->FieldDefs()[i]->Name());
    EXPECT_EQ(listed[std::size_t(i)].second, t->FieldDefs()[i]->DataType());
  }
}

TEST_F(TableKeys, FieldDefinitionsOfAMissingTableFailWithTheEngineError) {
  auto t = MakeTable("Nowhere");
  try {
    t->PrepareFieldDefs();
    FAIL();
  } catch (const ETDBEngineError& e) {
    EXPECT_EQ(dberr::NoSuchTable, e.ErrorCode());
  }
  EXPECT_EQ(nullptr, t->Database());
  t->SetTableName("");
  EXPECT_EQ("Missing TableName property", MessageOf<EDatabaseError>([&] { t->PrepareFieldDefs(); }));
}

TEST_F(TableKeys, TheBatchMoveForgetsRemovedComponents) {
  TttBatchMove move;
  EXPECT_TRUE(move.AbortOnKeyViol);
  EXPECT_TRUE(move.AbortOnProblem);
  EXPECT_TRUE(move.Transliterate);
  auto source = MakeTable();
  auto* dest = new TTestTable();
  move.SetSource(source.get());
  move.SetDestination(dest);
  delete dest;
  EXPECT_EQ(nullptr, move.Destination());
  EXPECT_EQ(source.get(), move.Source());
  TStringList map;
  map.Add("A=B");
  move.SetMappings(&map);
  EXPECT_EQ("B", move.Mappings()->Values("A"));
}

TEST_F(TableKeys, SettingsTravelInFormsAndAnOpenTableReopens) {
  auto t = MakeTable();
  t->SetName("Entries");
  t->SetIndexName("ByName");
  t->SetReadOnly(true);
  t->SetUpdateMode(upWhereKeyOnly);
  t->Open();
  TMemoryStream stream;
  WriteComponentToStream(&stream, t.get());
  stream.SetPosition(0);
  TMemoryStream text;
  ObjectBinaryToText(&stream, &text);
  std::string form(static_cast<const char*>(text.Memory()), std::size_t(text.Size()));
  EXPECT_NE(std::string::npos, form.find("TableName = 'People'")) << form;
  EXPECT_NE(std::string::npos, form.find("UpdateMode = upWhereKeyOnly")) << form;
  t->Close();
  stream.SetPosition(0);
  TTestTable back;
  ReadComponentFromStream(&stream, &back);
  EXPECT_EQ("People", back.TableName());
  EXPECT_EQ("ByName", back.IndexName());
  EXPECT_EQ(path_, back.DatabaseName());
  EXPECT_TRUE(back.ReadOnly());
  EXPECT_TRUE(back.Active()) << "stored as open, opened when loading ends";
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), ColumnOf(&back));
}


// A database of the test engine whose tables refuse to open for writing.
// Its tables also ask for a password until one was given.
inline bool gPasswordGiven = true;

class TReadOnlyTablesDatabase : public testing_engine::TTestDatabase {
 public:
  using TTestDatabase::TTestDatabase;
  void OpenTable(const char* tableName, const char* driverType, const char* indexName, const char* indexTag,
                 std::uint16_t indexId, std::int32_t openMode, std::int32_t shareMode, std::int32_t translateMode,
                 bool unidirectional, const void* optionalParams, TBaseTable*& cursor) override {
    if (!gPasswordGiven) RaiseEngineError(0x2902);
    if (openMode == 0) RaiseEngineError(dberr::TableReadOnly);
    TTestDatabase::OpenTable(tableName, driverType, indexName, indexTag, indexId, openMode, shareMode,
                             translateMode, unidirectional, optionalParams, cursor);
  }
};

class TReadOnlyTablesSession : public testing_engine::TTestSession {
 public:
  using TTestSession::TTestSession;
  void CreateDatabase(const TDatabaseDesc& desc, const char*, std::int32_t openMode, std::int32_t shareMode,
                      const char*, std::uint16_t paramCount, const TFieldDesc* paramDescs,
                      const void* paramValues, TBaseDatabase*& database) override {
    database = new TReadOnlyTablesDatabase(this, Databases(), paramCount, paramDescs, paramValues, desc.Name,
                                           openMode, shareMode, &desc);
  }
};

// The Orders table of the test engine, through the components.
class ReadOnlyTables : public ::testing::Test {
 protected:
  ReadOnlyTables() {
    list.EngineClass = [](TVirtEng* e, TMorvaCollection* s, const char* n, const char* d) -> TBaseSession* {
      return new TReadOnlyTablesSession(e, s, n, d);
    };
    t.SetDatabaseName("/data/orders");
    t.SetTableName("Orders");
  }
  testing_engine::TScratchRegistry registry;
  TTestSessionlist list;
  TTestTable t;
};

TEST_F(ReadOnlyTables, ATableTheEngineKeepsReadOnlyOpensReadOnly) {
  t.Open();
  EXPECT_TRUE(t.Active());
  EXPECT_FALSE(t.CanModify());
  t.Close();
}

TEST_F(ReadOnlyTables, MissingRightsAskTheSessionForAPassword) {
  gPasswordGiven = false;
  int asked = 0;
  list.DefaultSession()->OnPassword = [&](TObject*, bool& continueOn) {
    ++asked;
    gPasswordGiven = true;
    continueOn = true;
  };
  t.Open();
  EXPECT_EQ(1, asked);
  EXPECT_TRUE(t.Active());
  t.Close();
  gPasswordGiven = false;
  list.DefaultSession()->OnPassword = [](TObject*, bool& continueOn) { continueOn = false; };
  try {
    t.Open();
    FAIL();
  } catch (const ETDBEngineError& e) {
    EXPECT_EQ(0x2902, e.ErrorCode());
  }
  gPasswordGiven = true;
  EXPECT_FALSE(t.Active());
}

}  // namespace
