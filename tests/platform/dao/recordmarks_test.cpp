// A record read in one call with its marks (GetRecordValues): the marks answer
// what the calls they stand for answer, wherever the recordset stands.

#include "daocom_util.h"

using namespace daotest;
using namespace dao;

namespace {

using DaoRecordMarks = DaoComFixture;

constexpr int kFields = 3;  // Id, Title, Body

struct Read {
  HRESULT status = E_FAIL;
  DAORecordMarks marks;
  DAOCellValue cells[kFields];
};

Read ReadRecord(DAORecordset* rs) {
  Read r;
  // Set apart from every answer, so that a mark left unwritten shows.
  r.marks.rowReads = -7;
  r.marks.hasBookmark = true;
  r.marks.bookmarkWord = -7;
  r.status = rs->GetRecordValues(r.cells, kFields, &r.marks);
  return r;
}

// The current record's marks against get_RowReads, get_BookmarkWord and the
// bookmark's own bytes.
void ExpectMarksOfTheCurrentRecord(DAORecordset* rs, const char* where) {
  SCOPED_TRACE(where);
  Read r = ReadRecord(rs);
  ASSERT_EQ(S_OK, r.status);
  std::int64_t reads = -1;
  ASSERT_EQ(S_OK, rs->get_RowReads(&reads));
  EXPECT_EQ(reads, r.marks.rowReads);
  std::int32_t word = 0;
  ASSERT_EQ(S_OK, rs->get_BookmarkWord(&word));
  EXPECT_TRUE(r.marks.hasBookmark);
  EXPECT_EQ(word, r.marks.bookmarkWord);
  Variant mark;
  ASSERT_EQ(S_OK, rs->get_Bookmark(&mark));
  std::vector<std::uint8_t> b = VarArrayToBytes(mark);
  ASSERT_GE(b.size(), 4u);
  const auto bytes = static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24);
  EXPECT_EQ(static_cast<std::int32_t>(bytes), r.marks.bookmarkWord);
}

}  // namespace

TEST_F(DaoRecordMarks, MarksAnswerAsTheirOwnCallsOnEveryRecord) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(20), Body MEMO)");
  Exec("INSERT INTO Items (Title, Body) VALUES ('one', 'first body')");
  Exec("INSERT INTO Items (Title) VALUES ('two')");
  // A row number past 2^31: the word is its low four bytes, a negative number.
  Exec("INSERT INTO Items (Id, Title) VALUES (3000000001, 'far')");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  ExpectMarksOfTheCurrentRecord(rs.get(), "first");
  const std::int64_t firstReads = ReadRecord(rs.get()).marks.rowReads;
  ASSERT_EQ(S_OK, rs->MoveNext());
  ExpectMarksOfTheCurrentRecord(rs.get(), "second");
  EXPECT_NE(firstReads, ReadRecord(rs.get()).marks.rowReads) << "a move reads the record afresh";
  ASSERT_EQ(S_OK, rs->MoveNext());
  ExpectMarksOfTheCurrentRecord(rs.get(), "far");
  EXPECT_EQ(static_cast<std::int32_t>(std::uint32_t{3000000001u}), ReadRecord(rs.get()).marks.bookmarkWord);
  ASSERT_EQ(S_OK, rs->MovePrevious());
  ExpectMarksOfTheCurrentRecord(rs.get(), "back to the second");
}

// Where a record has no bookmark (an addition under way) the values still
// come, and the marks say so instead of failing the read; past the end the
// read fails as get_BookmarkWord does.
TEST_F(DaoRecordMarks, AnAdditionHasValuesButNoBookmark) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(20), Body MEMO)");
  Exec("INSERT INTO Items (Title) VALUES ('one')");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  ASSERT_EQ(S_OK, rs->AddNew());
  ASSERT_EQ(S_OK, SetValue(rs.get(), "Title", Variant("new")));
  Read r = ReadRecord(rs.get());
  ASSERT_EQ(S_OK, r.status);
  EXPECT_FALSE(r.marks.hasBookmark);
  EXPECT_EQ(0, r.marks.bookmarkWord);
  ASSERT_EQ(DAOCellValue::Text, r.cells[1].kind);
  EXPECT_EQ("new", r.cells[1].text);
  std::int32_t word = 0;
  EXPECT_EQ(3021, DaoNumber(rs->get_BookmarkWord(&word)));
  std::int64_t reads = -1;
  ASSERT_EQ(S_OK, rs->get_RowReads(&reads));
  EXPECT_EQ(reads, r.marks.rowReads);
  ASSERT_EQ(S_OK, rs->CancelUpdate());

  ASSERT_EQ(S_OK, rs->MoveLast());
  ASSERT_EQ(S_OK, rs->MoveNext());
  const HRESULT pastTheEnd = rs->get_BookmarkWord(&word);
  EXPECT_NE(S_OK, pastTheEnd);
  EXPECT_EQ(pastTheEnd, ReadRecord(rs.get()).status);
  // Without marks asked for, the values alone are read.
  ASSERT_EQ(S_OK, rs->MoveFirst());
  DAOCellValue cells[kFields];
  EXPECT_EQ(S_OK, rs->GetRecordValues(cells, kFields, nullptr));
  EXPECT_EQ("one", cells[1].text);
}

// A record meets the row condition as read only when a move read it under
// the condition in force now and nothing changed it since: not a record
// found by its bookmark, one being edited, one this cursor wrote (even where
// its transaction keeps the rows read ahead), one read before the condition
// changed, nor any record of a recordset without a condition.
TEST_F(DaoRecordMarks, ARecordMeetsTheRowConditionOnlyAsAMoveReadItUnderIt) {
  Exec("CREATE TABLE Items (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Title TEXT(20), Body MEMO)");
  for (const char* title : {"a", "b", "a", "c", "a"})
    Exec(std::string("INSERT INTO Items (Title) VALUES ('") + title + "')");
  Ptr<DAORecordset> rs;
  ASSERT_EQ(S_OK, Open("Items", rs));
  auto meets = [&] {
    Read r = ReadRecord(rs.get());
    EXPECT_EQ(S_OK, r.status);
    return r.marks.meetsRowCondition;
  };
  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_FALSE(meets()) << "no condition";

  ASSERT_EQ(S_OK, rs->put_RowCondition("Title = 'a'", {}));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_TRUE(meets());
  Variant first;
  ASSERT_EQ(S_OK, rs->get_Bookmark(&first));
  ASSERT_EQ(S_OK, rs->MoveNext());
  EXPECT_TRUE(meets());
  ASSERT_EQ(S_OK, rs->put_Bookmark(first));
  EXPECT_FALSE(meets()) << "found by its bookmark, past the condition";

  ASSERT_EQ(S_OK, engine_->BeginTrans());
  ASSERT_EQ(S_OK, rs->MoveFirst());
  ASSERT_EQ(S_OK, rs->MoveNext());
  ASSERT_EQ(S_OK, rs->Edit());
  EXPECT_FALSE(meets()) << "under edit";
  ASSERT_EQ(S_OK, SetValue(rs.get(), "Title", Variant("z")));
  ASSERT_EQ(S_OK, rs->Update());
  EXPECT_FALSE(meets()) << "written by this cursor";
  ASSERT_EQ(S_OK, rs->MoveNext());
  EXPECT_TRUE(meets());
  ASSERT_EQ(S_OK, rs->MovePrevious());
  DAOCellValue cells[kFields];
  ASSERT_EQ(S_OK, rs->GetRecordValues(cells, kFields, nullptr));
  ASSERT_EQ("z", cells[1].text) << "back on the written row";
  EXPECT_FALSE(meets()) << "the written row, back from the rows read ahead";
  ASSERT_EQ(S_OK, engine_->CommitTrans());

  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_TRUE(meets());
  ASSERT_EQ(S_OK, rs->put_RowCondition("Title <> 'b'", {}));
  EXPECT_FALSE(meets()) << "read under the condition before";
  ASSERT_EQ(S_OK, rs->MoveNext());
  EXPECT_TRUE(meets());
  ASSERT_EQ(S_OK, rs->put_RowCondition("", {}));
  ASSERT_EQ(S_OK, rs->MoveFirst());
  EXPECT_FALSE(meets());

  Ptr<DAORecordset> query;
  ASSERT_EQ(S_OK, Open("SELECT * FROM Items WHERE Title = 'a'", query));
  ASSERT_EQ(S_OK, query->MoveFirst());
  Read r = ReadRecord(query.get());
  ASSERT_EQ(S_OK, r.status);
  EXPECT_FALSE(r.marks.meetsRowCondition) << "a query has no row condition";
}
