// A file made before the case fold joined every case pair holds its
// case-blind index in the older fold's order. Its first writer rebuilds the
// index once; a reader writes nothing and still reads in the new order.

#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "daotest_util.h"
#include "platform/classlib/core/strutils.h"

using namespace dao;

namespace {

// The case-blind order before: the small letter of a character's capital, as
// far as the hand-written case tables went (no Ơ/ơ, no Kelvin sign).
int CompareOldFold(void*, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a(static_cast<const char*>(p1), n1), b(static_cast<const char*>(p2), n2);
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = UnicodeLower(UnicodeUpper(Utf8Decode(a, i)));
    const char32_t y = UnicodeLower(UnicodeUpper(Utf8Decode(b, j)));
    if (x != y) return x < y ? -1 : 1;
  }
  return i < a.size() ? 1 : (j < b.size() ? -1 : 0);
}

class CaseOrder : public daotest::DaoFixture {
 protected:
  // People by name; the index and the header as a program before left them.
  void MakeOldFile() {
    MakePeople();
    for (const char* name : {"Ơc", "ơa", "Ơb", "\u212Ax", "kb", "la"}) AddPerson(name, 1);
    db_.reset();
    RewriteInOldOrder(0);
  }
  // The case-blind indexes rebuilt in the old fold's order, and the header
  // saying which fold they follow.
  void RewriteInOldOrder(int recordedFold) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &raw));
    sqlite3_create_collation(raw, "NOCASE", SQLITE_UTF8, nullptr, CompareOldFold);
    const std::string sql = "REINDEX NOCASE; PRAGMA user_version=" + std::to_string(recordedFold);
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr));
    sqlite3_close(raw);
  }
  // The names in the index's order, and the one a search finds.
  std::string NamesByIndex(TDatabaseCore& db, const char* sought) {
    auto rs = db.OpenRecordset("People", -1);
    rs->SetIndex("ByName");
    std::string names;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) names += rs->Value(1).text + " ";
    rs->Seek("=", {Cell::MakeText(sought)});
    return names + "| " + (rs->NoMatch() ? std::string("none") : rs->Value(1).text);
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
  // The Kelvin sign folds to "k", and "Ơ" to "ơ", which sorts after ASCII.
  const std::string kNewOrder = "kb \u212Ax la ơa Ơb Ơc | \u212Ax";
};

TEST_F(CaseOrder, ANewFileRecordsItsFold) {
  EXPECT_EQ(Connection::kCaseBlindOrder, RecordedFold());
  EXPECT_FALSE(db_->Conn().CaseBlindIndexesStale());
}

TEST_F(CaseOrder, TheFirstWriterRebuildsAnOldFilesIndexOnce) {
  MakeOldFile();
  {
    TDatabaseCore writer(path_, false, false, "");
    EXPECT_FALSE(writer.Conn().CaseBlindIndexesStale());
    EXPECT_EQ(kNewOrder, NamesByIndex(writer, "KX"));
  }
  EXPECT_EQ(Connection::kCaseBlindOrder, RecordedFold());
  // Recorded: a later writer trusts the index as it stands and rebuilds nothing.
  RewriteInOldOrder(Connection::kCaseBlindOrder);
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

}  // namespace
