// Range bounds, range seeks and database shutdown of the engine core.

#include <gtest/gtest.h>

#include "access_testutil.h"
#include "testengine.h"

using namespace testing_engine;

namespace {

// Records how each range seek was asked to read its key.
class TSeekRecordingCursor : public TTestCursor {
 public:
  using TTestCursor::TTestCursor;
  std::vector<bool> SeeksTakingAKey;
  void SeekKey(std::uint16_t condition, bool keyItself, std::uint8_t* buffer, const std::uint8_t* key,
               std::uint16_t keyLength, std::uint16_t fieldCount) override {
    SeeksTakingAKey.push_back(keyItself);
    TTestCursor::SeekKey(condition, keyItself, buffer, key, keyLength, fieldCount);
  }
};

TEST(RangeSeeks, BoundsGivenAsRecordsAreSoughtAsKeys) {
  TSeekRecordingCursor cursor;
  for (std::int32_t id = 10; id <= 50; id += 10) cursor.Add(id, "n", 0);
  TTestRecord from(25, "", 0), to(45, "", 0);
  cursor.SetRange(false, 0, 0, from.Bytes, true, 0, 0, to.Bytes, true);
  cursor.SetToStart();
  std::uint8_t buffer[kRecordSize] = {};
  cursor.GetNextRecord(0, buffer, nullptr);
  EXPECT_EQ(30, TTestRecord::IdOf(buffer));
  cursor.SetToEnd();
  cursor.GetPriorRecord(0, buffer, nullptr);
  EXPECT_EQ(40, TTestRecord::IdOf(buffer));
  ASSERT_FALSE(cursor.SeeksTakingAKey.empty());
  for (bool asKey : cursor.SeeksTakingAKey) EXPECT_TRUE(asKey);
}

// A driver database that watches its connection close.
class TClosingDatabase : public TTestDatabase {
 public:
  TClosingDatabase(TBapiListItem* session, TMorvaCollection* list, int& closes, int& cursorsAtClose)
      : TTestDatabase(session, list, 0, nullptr, nullptr, "Watched", 0, 0, nullptr),
        closes_(closes), cursorsAtClose_(cursorsAtClose) {}
  ~TClosingDatabase() override { Shutdown(); }
  void CloseConnection() override {
    ++closes_;
    cursorsAtClose_ = OpenCursors()->Count();
    TTestDatabase::CloseConnection();
  }

 private:
  int& closes_;
  int& cursorsAtClose_;
};

TEST(DatabaseShutdown, TheDriverClosesItsConnectionOnceAfterItsCursors) {
  int closes = 0, cursorsAtClose = -1;
  TMorvaCollection list;
  auto* db = new TClosingDatabase(nullptr, &list, closes, cursorsAtClose);
  TBaseTable* cursor = nullptr;
  db->OpenTable("Orders", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, cursor);
  ASSERT_NE(nullptr, cursor);
  delete db;
  EXPECT_EQ(1, closes);
  EXPECT_EQ(0, cursorsAtClose);
}

TEST(DatabaseShutdown, ShuttingDownTwiceClosesOnce) {
  int closes = 0, cursorsAtClose = -1;
  TMorvaCollection list;
  auto* db = new TClosingDatabase(nullptr, &list, closes, cursorsAtClose);
  db->Shutdown();
  db->Shutdown();
  delete db;
  EXPECT_EQ(1, closes);
}

class SingleKeyRange : public accesstest::AccessFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("CREATE TABLE Measures (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Weight SINGLE)");
    db.Execute("CREATE INDEX ByWeight ON Measures (Weight)");
    for (const char* w : {"1.5", "2.5", "3.5", "4.5"})
      db.Execute(std::string("INSERT INTO Measures (Weight) VALUES (") + w + ")");
  }
};

// A single-precision key is read in its double form, wider than it is stored.
TEST_F(SingleKeyRange, RangeOnASingleFieldFromRecords) {
  TBaseDatabase* db = OpenDb();
  TBaseTable* c = OpenTable(db, "Measures", "ByWeight");
  TCursorProps props{};
  ASSERT_EQ(0, Engine().GetCursorProperties(c, props));
  std::vector<std::uint8_t> start(props.RecordBufferSize), end(props.RecordBufferSize), rec(props.RecordBufferSize);
  Engine().InitRecord(c, start.data());
  Engine().InitRecord(c, end.data());
  double from = 2.0, to = 4.0;
  ASSERT_EQ(0, Engine().PutField(c, 2, start.data(), &from));
  ASSERT_EQ(0, Engine().PutField(c, 2, end.data(), &to));
  ASSERT_EQ(0, Engine().SetRange(c, false, 1, 0, start.data(), true, 1, 0, end.data(), true));
  Engine().SetToStart(c);
  std::vector<double> weights;
  while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) weights.push_back(Get<double>(c, rec.data(), 2));
  EXPECT_EQ((std::vector<double>{2.5, 3.5}), weights);
}

}  // namespace
