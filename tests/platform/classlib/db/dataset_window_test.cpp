// The record window: scrolling, the active row, and the re-reading of the
// window after inserts, deletes and refreshes in the middle and at the ends.

#include <gtest/gtest.h>

#include <algorithm>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"

namespace {

using Rows = std::vector<std::string>;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = MakeNumbered(10);
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
    ds->First();
  }
  Rows Ids() { return link.Rows("ID"); }
  long Current() { return ds->FieldByName("ID")->AsInteger(); }

  std::unique_ptr<TMemDataSet> ds;
  TDataSource source;
  TRecordingLink link{5};
};

TEST_F(WindowTest, EndsSetBofAndEof) {
  EXPECT_TRUE(ds->Bof());
  ds->Prior();
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(ds->MoveBy(20), 9);
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(Current(), 10);
  ds->Next();
  EXPECT_EQ(Current(), 10);
  EXPECT_EQ(ds->MoveBy(-20), -9);
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  EXPECT_EQ(ds->RecordCount(), 10);
}

// The record, the active row and the window after an action taken on the
// first record (after an unwatched preparation), and the link's calls during
// the action where they matter.
struct WindowCase {
  const char* action;
  void (*prepare)(TDataSet&);
  void (*act)(TDataSet&);
  long current;
  int active;
  Rows ids;
  const char* calls = nullptr;
};

void SetId(TDataSet& d, int id) { d.FieldByName("ID")->SetAsInteger(id); }
void Stay(TDataSet&) {}

TEST_F(WindowTest, TheWindowAfterEachAction) {
  EXPECT_EQ(link.RecordCount(), 5) << "the largest link sizes the window";
  const WindowCase cases[] = {
      {"moving inside the window", Stay, [](TDataSet& d) { d.MoveBy(3); }, 4, 3, {"1", "2", "3", "4", "5"},
       "checkbrowse, scrolled 0"},
      {"moving past the last row", [](TDataSet& d) { d.MoveBy(4); }, [](TDataSet& d) { d.Next(); }, 6, 4,
       {"2", "3", "4", "5", "6"}, "checkbrowse, scrolled 1"},
      {"scrolling by two", [](TDataSet& d) { d.MoveBy(5); }, [](TDataSet& d) { d.MoveBy(2); }, 8, 4,
       {"4", "5", "6", "7", "8"}},
      {"last", Stay, [](TDataSet& d) { d.Last(); }, 10, 4, {"6", "7", "8", "9", "10"}},
      {"moving before the first row", [](TDataSet& d) { d.Last(), d.MoveBy(-4); }, [](TDataSet& d) { d.Prior(); },
       5, 0, {"5", "6", "7", "8", "9"}, "checkbrowse, scrolled -1"},
      {"insert at the start", Stay, [](TDataSet& d) { d.Insert(), SetId(d, 0), d.Post(); }, 0, 0,
       {"0", "1", "2", "3", "4"}},
      {"cancelled insert", Stay, [](TDataSet& d) { d.MoveBy(2), d.Insert(), d.Cancel(); }, 3, 2,
       {"1", "2", "3", "4", "5"}},
      {"delete in the middle pulls the next up", Stay, [](TDataSet& d) { d.MoveBy(2), d.Delete(); }, 4,
       2, {"1", "2", "4", "5", "6"}},
      {"delete at the start", Stay, [](TDataSet& d) { d.Delete(); }, 2, 0, {"2", "3", "4", "5", "6"}},
      {"delete of the last moves to the new last", [](TDataSet& d) { d.Last(); }, [](TDataSet& d) { d.Delete(); },
       9, 4, {"5", "6", "7", "8", "9"}},
      {"refresh keeps the active row", Stay, [](TDataSet& d) { d.MoveBy(6), d.Refresh(); }, 7, 4,
       {"3", "4", "5", "6", "7"}}};
  for (const WindowCase& c : cases) {
    SetUp();
    c.prepare(*ds);
    link.Clear();
    c.act(*ds);
    EXPECT_EQ(Current(), c.current) << c.action;
    EXPECT_EQ(link.ActiveRecord(), c.active) << c.action;
    EXPECT_EQ(Ids(), c.ids) << c.action;
    if (c.calls) { EXPECT_EQ(link.Joined(), c.calls) << c.action; }
  }
}

TEST_F(WindowTest, InsertInTheMiddleOpensARowAtTheActivePosition) {
  ds->MoveBy(2);  // on 3
  ds->Insert();
  EXPECT_EQ(link.ActiveRecord(), 2);
  EXPECT_EQ(Ids(), (Rows{"1", "2", "", "3", "4"}));
  ds->FieldByName("ID")->SetAsInteger(100);
  ds->Post();
  EXPECT_EQ(Current(), 100);
  EXPECT_EQ(link.ActiveRecord(), 2);
  EXPECT_EQ(Ids(), (Rows{"1", "2", "100", "3", "4"}));
  ds->Next();
  EXPECT_EQ(Current(), 3) << "the new record went before the old active one";
}

TEST_F(WindowTest, InsertIntoAnEmptyDataSet) {
  ds->First();
  while (!ds->IsEmpty()) ds->Delete();
  EXPECT_EQ(link.RecordCount(), 0);
  ds->Insert();
  EXPECT_EQ(link.RecordCount(), 1);
  ds->FieldByName("ID")->SetAsInteger(7);
  ds->Post();
  EXPECT_EQ(Ids(), (Rows{"7"}));
  EXPECT_EQ(ds->RecordCount(), 1);
}

TEST_F(WindowTest, AppendShowsTheLastRecordsAboveTheNewOne) {
  ds->MoveBy(2);
  ds->Append();
  EXPECT_EQ(Ids(), (Rows{"7", "8", "9", "10", ""}));
  EXPECT_EQ(link.ActiveRecord(), 4);
  ds->FieldByName("ID")->SetAsInteger(11);
  ds->Post();
  EXPECT_EQ(Ids(), (Rows{"7", "8", "9", "10", "11"}));
  EXPECT_EQ(Current(), 11);
  ds->Next();
  EXPECT_TRUE(ds->Eof());
}

TEST_F(WindowTest, GrowingAndShrinkingALinkKeepsTheActiveRecord) {
  ds->MoveBy(6);  // 7
  link.SetBufferCount(8);
  EXPECT_EQ(Current(), 7);
  EXPECT_EQ(link.RecordCount(), 8);
  EXPECT_EQ(link.Rows("ID")[std::size_t(link.ActiveRecord())], "7");
  link.SetBufferCount(2);
  EXPECT_EQ(Current(), 7);
  EXPECT_EQ(link.RecordCount(), 2);
  EXPECT_EQ(link.Rows("ID")[std::size_t(link.ActiveRecord())], "7");
  ds->Next();
  EXPECT_EQ(Current(), 8);
}

TEST_F(WindowTest, ASmallLinkFollowsTheActiveRecordInsideALargerWindow) {
  TRecordingLink single(1);
  single.SetDataSource(&source);
  ds->MoveBy(3);
  EXPECT_EQ(single.Rows("ID"), (Rows{"4"}));
  EXPECT_EQ(single.ActiveRecord(), 0);
  single.Clear();
  ds->Prior();
  EXPECT_EQ(single.Joined(), "checkbrowse, scrolled -1");
}

TEST_F(WindowTest, RecNoCountsVisibleRecords) {
  EXPECT_EQ(ds->RecNo(), 1);
  ds->MoveBy(4);
  EXPECT_EQ(ds->RecNo(), 5);
  ds->SetRecNo(9);
  EXPECT_EQ(Current(), 9);
  EXPECT_TRUE(ds->HasStableRecordNumbers());
}

TEST_F(WindowTest, ALinkAttachedDuringInsertKeepsTheInsertPosition) {
  ds->MoveBy(2);  // on 3
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(100);
  TRecordingLink grid(9);
  grid.SetDataSource(&source);  // the window grows while inserting
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 100);
  ds->Post();
  ds->First();
  std::string order;
  while (!ds->Eof()) {
    order += ds->FieldByName("ID")->AsString() + " ";
    ds->Next();
  }
  EXPECT_EQ(order, "1 2 100 3 4 5 6 7 8 9 10 ");
}

TEST_F(WindowTest, AppendThenGrowingTheWindowStillAppends) {
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(11);
  TRecordingLink grid(8);
  grid.SetDataSource(&source);
  ds->Post();
  ds->Last();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 11);
  EXPECT_EQ(ds->RecordCount(), 11);
}

TEST(StringFieldData, AnUnterminatedTextEndsAtTheBuffer) {
  // A cursor that fills the whole buffer without a terminator must not make
  // the field read past it.
  TMemDataSet ds;
  ds.FieldDefs().Add("S", ftString, 2);
  ds.Open();
  ds.Append();
  TField* s = ds.FieldByName("S");
  std::string full(std::size_t(s->DataSize()), 'x');
  s->SetData(full.data());
  EXPECT_EQ(s->AsString(), full);
}

TEST_F(WindowTest, RefreshAfterAnotherUserDeletedTheCurrentRecord) {
  ds->MoveBy(2);  // on 3
  ds->RemoveRowElsewhere(ds->Bookmark());
  ASSERT_NO_THROW(ds->Refresh());
  Rows rows = Ids();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "3"), 0);
  EXPECT_EQ(rows.size(), 5u);
  EXPECT_NE(Current(), 3);
  EXPECT_EQ(ds->RecordCount(), 9);
}

TEST_F(WindowTest, PostingARecordAnotherUserDeletedKeepsTheEdits) {
  ds->MoveBy(1);  // on 2
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("mine");
  ds->RemoveRowElsewhere(ds->Bookmark());
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Post(); }),
            "Record not found or changed by another user");
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "mine") << "nothing typed is lost";
  ds->Cancel();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(Current(), 3);
}

TEST_F(WindowTest, AJumpToARecordAnotherUserDeletedFailsInPlace) {
  ds->MoveBy(5);
  TBookmarkStr mark = ds->Bookmark();
  ds->First();
  ds->RemoveRowElsewhere(mark);
  EXPECT_FALSE(ds->CheckBookmark(mark.data()));
  EXPECT_THROW(ds->SetBookmark(mark), EDatabaseError);
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(Ids(), (Rows{"1", "2", "3", "4", "5"}));
}

TEST_F(WindowTest, CancelLeavesEditModeEvenWhenTheRecordIsGone) {
  ds->MoveBy(1);  // on 2
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("mine");
  TBookmarkStr mark = ds->Bookmark();
  ds->RemoveRowElsewhere(mark);
  link.SetBufferCount(7);  // the cursor moves away to fill the window
  ASSERT_NO_THROW(ds->Cancel());
  EXPECT_EQ(ds->State(), dsBrowse);
  Rows rows = Ids();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "2"), 0);
}

TEST(WindowShrink, DroppingRowsFromTheFrontKeepsOnlyRecordsInTheWindow) {
  auto ds = MakeNumbered(2);
  TDataSource source;
  source.SetDataSet(ds.get());
  TRecordingLink large(6), small(2);
  large.SetDataSource(&source);
  small.SetDataSource(&source);
  ds->Last();
  ds->Append();
  ds->Cancel();
  ds->Insert();  // leaves a record that never existed in a spare buffer
  ds->FieldByName("ID")->SetAsInteger(999);
  ds->Cancel();
  large.SetBufferCount(1);
  Rows rows = small.Rows("ID");
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "999"), 0) << "a cancelled record came back";
  EXPECT_EQ(rows.back(), "2");
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  ds->Next();
  EXPECT_TRUE(ds->Eof());
}

}  // namespace
