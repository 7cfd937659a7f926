// A file made before the case-blind order took its present form holds its
// case-blind index in an older order (an older fold, or a byte no character
// stands for read as U+FFFD). Its first writer rebuilds the index once; a
// reader writes nothing and still reads in the new order.

#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "daotest_util.h"
#include "platform/classlib/core/strutils.h"

using namespace dao;

namespace {

// The case-blind orders before: texts compared character by character, a
// byte no character stands for read as U+FFFD, each character folded so.
template <char32_t (*kFold)(char32_t)>
int CompareDecoded(void*, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a(static_cast<const char*>(p1), n1), b(static_cast<const char*>(p2), n2);
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = kFold(Utf8Decode(a, i));
    const char32_t y = kFold(Utf8Decode(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  return i < a.size() ? 1 : (j < b.size() ? -1 : 0);
}
// Recorded as 0: the small letter of a character's capital, as far as the
// hand-written case tables went: they had no Ơ/ơ and no Kelvin sign, which
// these files hold, and folded the ASCII letters as the fold does.
char32_t OldFold(char32_t c) { return c == 0x1A0 || c == 0x1A1 || c == 0x212A ? c : UnicodeFold(c); }
const auto CompareOldFold = CompareDecoded<OldFold>;
// Recorded as 1: every case pair folded, but a stray byte read as U+FFFD.
const auto CompareStrayAsReplacement = CompareDecoded<UnicodeFold>;
using Collation = int (*)(void*, int, const void*, int, const void*);

class CaseOrder : public daotest::DaoFixture {
 protected:
  // People by name; the index and the header as a program before left them.
  void MakeOldFile() {
    MakePeople();
    for (const char* name : {"Ơc", "ơa", "Ơb", "\u212Ax", "kb", "la"}) AddPerson(name, 1);
    db_.reset();
    RewriteInOldOrder(0);
  }
  // The case-blind indexes rebuilt in an older order, after what another
  // program `writes`, and the header saying which order they follow.
  void RewriteInOldOrder(int recordedFold, Collation order = CompareOldFold, const std::string& writes = "") {
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &raw));
    sqlite3_create_collation(raw, "NOCASE", SQLITE_UTF8, nullptr, order);
    const std::string sql = writes + "REINDEX NOCASE; PRAGMA user_version=" + std::to_string(recordedFold);
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr));
    sqlite3_close(raw);
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

// A file whose index was built while a byte no character stands for read as
// U+FFFD: that byte now sorts by its value, before every letter beyond ASCII.
// A reader reads in the new order meanwhile; the first writer rebuilds.
TEST_F(CaseOrder, AnIndexBuiltWhileStrayBytesReadAsOneCharacterIsRebuilt) {
  MakePeople();
  for (const char* name : {"aé", "b", "ab", "AÉz"}) AddPerson(name, 1);
  db_.reset();
  RewriteInOldOrder(1, CompareStrayAsReplacement,
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

// A reader of an old file searches no band of its index: in the new order
// it would miss "ơa", which the old one put after "Ơc". Its reads go on
// without, the condition alone narrowing.
TEST_F(CaseOrder, AReaderOfAnOldFileSearchesNoBandOfItsIndex) {
  MakeOldFile();
  TDatabaseCore reader(path_, false, true, "");
  ASSERT_TRUE(reader.Conn().CaseBlindIndexesStale());
  EXPECT_EQ("ơa | ơa", NamesByIndex(reader, "ƠA", "+\"Name\" = 'ƠA'", {"\"Name\" = 'ƠA'"}));
}

// A blob another program wrote among the names of an old file: a reader,
// kept off the index, still reads it by its bytes, in its place.
TEST_F(CaseOrder, AReaderOfAnOldFileReadsABlobAmongTheNamesByItsBytes) {
  MakeOldFile();
  RewriteInOldOrder(0, CompareOldFold, "INSERT INTO People (Name, Age) VALUES (X'C6A16262', 1);");
  TDatabaseCore reader(path_, false, true, "");
  ASSERT_TRUE(reader.Conn().CaseBlindIndexesStale());
  EXPECT_EQ("kb \u212Ax la ơa Ơb ơbb Ơc | ơbb", NamesByIndex(reader, "ƠBB"));
}

}  // namespace
