#include "dbengine/basedatabase.h"

#include <gtest/gtest.h>

#include "dbengine/listtables.h"
#include "testengine.h"

using namespace testing_engine;

namespace {

struct DatabaseTest : ::testing::Test {
  TTestDatabase* db = new TTestDatabase(nullptr, nullptr, 0, nullptr, nullptr, "Bugs", 1, 2, nullptr);
  ~DatabaseTest() override { delete db; }
  TBaseTable* Open(const char* name) {
    TBaseTable* c = nullptr;
    db->OpenTable(name, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c);
    return c;
  }
};

TEST_F(DatabaseTest, FreeingADatabaseFreesItsCursorsAndStatements) {
  TMorvaCollection sessionList;
  auto* owned = new TTestDatabase(nullptr, &sessionList, 0, nullptr, nullptr, "x", 0, 0, nullptr);
  TBaseTable* c = nullptr;
  owned->OpenTable("Orders", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c);
  owned->OpenTable("Customers", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c);
  TSqlStmt* s = nullptr;
  owned->AllocateStatement(0, s);
  EXPECT_EQ(owned->OpenCursors()->Count(), 2);
  EXPECT_EQ(owned->Statements()->Count(), 1);
  delete owned;  // a leak checker would see anything left behind
  EXPECT_EQ(sessionList.Count(), 0);
}

TEST_F(DatabaseTest, ConnectParametersDirectoryAndModes) {
  TFieldDesc params[2] = {MakeField(1, "PATH", fldtype::ZString, 0, 10),
                          MakeField(2, "USER NAME", fldtype::ZString, 10, 50)};
  char values[60] = {};
  std::strcpy(values, "/data");
  std::strcpy(values + 10, "A name longer than thirty-one characters");
  TDatabaseDesc desc{};
  dbengine_detail::StoreText(desc.PhysicalPath, "/srv/db/");
  TBaseDatabase d(nullptr, nullptr, 2, params, values, "Bugs", 3, 4, &desc);
  EXPECT_EQ(d.UserName, "A name longer than thirty-one c");
  EXPECT_EQ(d.GetDirectory(), "/srv/db/");
  d.SetDirectory("/tmp/x");
  EXPECT_EQ(d.GetDirectory(), "/tmp/x");
  EXPECT_EQ(d.OpenMode(), 3);
  EXPECT_EQ(d.ShareMode(), 4);
  EXPECT_FALSE(d.Connected);
  std::uint8_t record[10];
  d.GetOpenModes(record);
  std::int32_t open;
  std::memcpy(&open, record, 4);
  EXPECT_EQ(open, 3);
}

TEST_F(DatabaseTest, OpenCursorsAreFoundByTableOrSourceName) {
  TBaseTable* orders = Open("Orders");
  TBaseTable* found = nullptr;
  db->FindOpenCursorByPlainName("orders;x", found);
  EXPECT_EQ(found, orders);
  db->FindOpenCursor("/DATA/orders", found);  // a path is compared with source names
  EXPECT_EQ(found, orders);
  EXPECT_EQ(EngineCode([&] { db->FindOpenCursor("data/Customers", found); }), dberr::NoSuchTable);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(EngineCode([&] { db->FindOpenCursor(nullptr, found); }), dberr::InvalidParam);
  std::uint16_t count = 0;
  Open("Orders");
  db->CountOpenCursors("ORDERS", count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(EngineFailure([&] { db->CountOpenCursors("Customers", count); }),
            (TEngineFailure{dberr::NoSuchTable, "Customers"}));
}

TEST_F(DatabaseTest, TableListsAndEmptying) {
  bool found = false;
  db->TableExists("customers", found);
  EXPECT_TRUE(found);
  db->TableExists("Nope", found);
  EXPECT_FALSE(found);
  EXPECT_EQ(db->OpenCursors()->Count(), 0);  // the list cursors are gone again

  auto* orders = static_cast<TTestCursor*>(Open("Orders"));
  orders->Add(1, "", 0);
  orders->Add(2, "", 0);
  db->EmptyTable(orders, "Orders");
  EXPECT_TRUE(orders->Rows.empty());
  db->EmptyTable(nullptr, "Customers");  // opened for the purpose and freed
  EXPECT_EQ(db->OpenCursors()->Count(), 1);
  EXPECT_EQ(EngineCode([&] { db->EmptyTable(nullptr, "Nope"); }), dberr::NoSuchTable);
  EXPECT_EQ(EngineCode([&] { db->Op42(orders, "Orders"); }), dberr::NotSupported);
}

TEST_F(DatabaseTest, IndexListsFromAnOpenOrATemporaryCursor) {
  TBaseTable* list = nullptr;
  db->OpenIndexList("Orders", list);
  EXPECT_EQ(db->TablesOpened, 1);
  EXPECT_EQ(db->OpenCursors()->Count(), 1);  // only the list is left open
  TIndexDesc row{};
  list->GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&row), nullptr);
  EXPECT_EQ(dbengine_detail::SlotText(row.Name), "ByID");
  EXPECT_EQ(Val(row.KeyFieldCount), 1);
  EXPECT_EQ(EngineCode([&] { list->GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&row), nullptr); }),
            dberr::Eof);
  Open("Customers");
  db->OpenIndexList("Customers;x", list);
  EXPECT_EQ(db->TablesOpened, 2);  // the open cursor served
}

TEST_F(DatabaseTest, ExecuteSqlRunsAndFreesItsStatement) {
  TBaseTable* result = nullptr;
  db->ExecuteSql(0, "select", result);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetTableName(), "result");
  EXPECT_EQ(db->Statements()->Count(), 0);
  EXPECT_EQ(EngineCode([&] { db->ExecuteSql(0, "fail", result); }), dberr::NoSuchTable);
  EXPECT_EQ(db->Statements()->Count(), 0);
}

TEST_F(DatabaseTest, StatementTextAndProperties) {
  TSqlStmt stmt(db, "select 1");
  EXPECT_TRUE(stmt.HasText());
  EXPECT_EQ(stmt.StatementText(), "select 1");
  stmt.SetStatementText(nullptr);
  EXPECT_FALSE(stmt.HasText());
  std::uint16_t length = 0;
  std::uint16_t kind = 0;
  stmt.GetProperty(1, &kind, 2, length);
  EXPECT_EQ(kind, 32);
  stmt.SetProperty(16, 1234);
  std::uint32_t v = 0;
  stmt.GetProperty(16, &v, 4, length);
  EXPECT_EQ(v, 1234u);
  EXPECT_EQ(length, 4);
  char text[4] = "x";
  stmt.GetProperty(4, text, 4, length);
  EXPECT_EQ(length, 1);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(EngineCode([&] { stmt.GetProperty(19, &v, 4, length); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { stmt.CheckPropertyValue(2, 1); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { stmt.CheckPropertyValue(16, 1); }), 0);
  TBaseTable* c = nullptr;
  EXPECT_EQ(EngineCode([&] { stmt.ExecuteStatement(&c); }), dberr::NotSupported);

  char name[6] = {};
  db->GetProperty(1, name, sizeof name, length);
  EXPECT_STREQ(name, "STAND");
  EXPECT_EQ(length, 6);
  db->GetProperty(0, &kind, 2, length);
  EXPECT_EQ(kind, 22);
  EXPECT_EQ(EngineCode([&] { db->CheckPropertyValue(0, 1); }), dberr::NotSupported);
}

TEST_F(DatabaseTest, OperationsADriverDoesNotProvide) {
  TBaseDatabase base(nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, 0, nullptr);
  TBaseTable* c = nullptr;
  TSqlStmt* s = nullptr;
  void* transaction = nullptr;
  EXPECT_EQ(EngineCode([&] { base.OpenTable("t", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c); }),
            dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { base.AllocateStatement(0, s); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { base.BeginTransaction(0, transaction); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { base.OpenConnection(); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { base.Op58(); }), dberr::NA);
  EXPECT_EQ(EngineCode([&] { base.Op41(); }), dberr::NotSupported);
  EXPECT_EQ(base.Op7(), 0);
  EXPECT_EQ(base.GetDriverName(), "STANDARD");
}

TEST_F(DatabaseTest, DuplicateCursorsOpenTheSameTable) {
  TBaseTable* orders = Open("Orders");
  TBaseTable* duplicate = nullptr;
  orders->OpenDuplicateCursor(true, false, duplicate);
  ASSERT_NE(duplicate, nullptr);
  EXPECT_EQ(duplicate->GetTableName(), "Orders");
  EXPECT_EQ(duplicate->OpenMode, 1);
  EXPECT_EQ(db->OpenCursors()->Count(), 2);
}

}  // namespace
