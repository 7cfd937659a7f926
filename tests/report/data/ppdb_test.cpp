// Data pipelines over the tests' in-memory dataset: ranges and directions,
// counted ranges, the explicit record list, position restore, links, field
// answers without data, Locate's cut, and the page-cache record with its
// bookmark handles.

#include "report/data/ppdbbde.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/db/dbtestutil.h"

namespace {

class Pipelines : public ::testing::Test {
 protected:
  void SetUp() override {
    data = MakeNumbered(6);
    source.SetDataSet(data.get());
    pipe.SetDataSource(&source);
  }
  int Id() { return data->FieldByName("ID")->AsInteger(); }
  // The IDs a whole walk from First visits, as the engine walks.
  std::vector<int> Walk() {
    std::vector<int> ids;
    pipe.Open();
    for (pipe.First(); !pipe.Eof() && ids.size() < 20; pipe.Next()) ids.push_back(Id());
    return ids;
  }
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TppBDEPipeline pipe;
};

TEST_F(Pipelines, RangesAndDirections) {
  struct Case {
    TppRangeBeginType begin;
    TppRangeEndType end;
    int endCount;
    int moveBy;
    std::vector<int> ids;
  } cases[] = {
      {rbFirstRecord, reLastRecord, 0, 1, {1, 2, 3, 4, 5, 6}},
      {rbLastRecord, reFirstRecord, 0, -1, {6, 5, 4, 3, 2, 1}},
      {rbFirstRecord, reCount, 3, 1, {1, 2, 3}},
      {rbLastRecord, reCount, 2, -1, {6, 5}},
      {rbFirstRecord, reCount, 50, 1, {1, 2, 3, 4, 5, 6}},  // the data ends first
      {rbFirstRecord, reCurrentRecord, 0, 1, {1}},
      {rbFirstRecord, reFirstRecord, 0, 1, {}},  // the first record is the range's end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(GetEnumName(EnumInfo(c.begin), c.begin) + " " + GetEnumName(EnumInfo(c.end), c.end));
    pipe.SetRangeEndCount(c.endCount);
    pipe.SetRangeBegin(c.begin);
    pipe.SetRangeEnd(c.end);
    EXPECT_EQ(c.moveBy, pipe.MoveBy());
    EXPECT_EQ(c.ids, Walk());
  }
}

TEST_F(Pipelines, CountedAndRememberedRangesEndWhereTheyShould) {
  pipe.SetRangeEnd(reCount);
  pipe.SetRangeEndCount(3);
  pipe.Open();
  pipe.First();
  for (int i = 1; i <= 3; ++i) {
    EXPECT_FALSE(pipe.Eof()) << i;
    pipe.Next();
  }
  EXPECT_TRUE(pipe.Eof());
  pipe.Last();
  EXPECT_EQ(4, Id()) << "Last stands on the fourth record from the start";

  // The remembered record starts the range and ends it after one Next.
  data->MoveBy(1);  // onto 5 from 4
  pipe.SavePosition();
  pipe.SetRangeBegin(rbCurrentRecord);
  pipe.SetRangeEnd(reCurrentRecord);
  data->First();
  pipe.First();
  EXPECT_EQ(5, Id());
  EXPECT_TRUE(pipe.Bof());
  pipe.Next();
  EXPECT_TRUE(pipe.Eof());
}

TEST_F(Pipelines, DataStateAndPositionRestore) {
  pipe.Open();
  EXPECT_EQ(ppdsBof, pipe.DataState());
  pipe.Last();
  pipe.Next();
  EXPECT_EQ(ppdsEof, pipe.DataState());
  data->First();
  data->MoveBy(2);
  pipe.SavePosition();
  data->Last();
  pipe.RestorePosition();
  EXPECT_EQ(3, Id());
  EXPECT_EQ(0, pipe.DataState());
  pipe.Close();
  EXPECT_EQ(0, pipe.SavedBookmark());
  EXPECT_EQ(0, pipe.BookmarkCount()) << "closing frees the remembered record";

  data->ClearRows();
  data->Close();
  data->Open();
  pipe.Open();
  EXPECT_EQ(ppdsNoRecords, pipe.DataState());
}

TEST_F(Pipelines, AnExplicitRecordListIsFollowed) {
  std::vector<int32_t> list;
  for (int step : {4, -2}) {  // records 5 and 3
    data->MoveBy(step);
    list.push_back(pipe.GetBookmark());
  }
  pipe.SetBookmarkList(list);
  EXPECT_EQ((std::vector<int>{5, 3}), Walk());
  pipe.Prior();  // from beyond the end back onto the last entry
  EXPECT_EQ(3, Id());
  pipe.Prior();
  EXPECT_EQ(5, Id());
  EXPECT_TRUE(pipe.Bof());
  for (int32_t b : list) pipe.FreeBookmark(b);
}

// A report object that records what its pipeline tells it.
class TListener : public TppCommunicator, public TppPipelineListener {
 public:
  void PipelineNotify(TppDataPipeline*, int event) override { events.push_back(event); }
  std::vector<int> events;
};

TEST_F(Pipelines, LinkedObjectsHearSettingsAndTheEnd) {
  auto pipeline = std::make_unique<TppBDEPipeline>();
  TListener kept;
  auto freed = std::make_unique<TListener>();
  pipeline->AddLink(&kept);
  pipeline->AddLink(&kept);
  pipeline->AddLink(freed.get());
  freed.reset();  // a freed object leaves the list
  EXPECT_EQ(1u, pipeline->Links().size());
  pipeline->SetSkipWhenNoRecords(false);
  pipeline->SetRangeBegin(rbLastRecord);
  pipeline.reset();
  EXPECT_EQ((std::vector<int>{ppdeSettingsChanged, ppdeSettingsChanged, ppdePipelineFreed}),
            kept.events);
}

TEST_F(Pipelines, ReadingAFormKeepsTheStoredDirection) {
  TppBDEPipeline read;
  ReadComponentFromText(
      "object Pipe: TppBDEPipeline\n  MoveBy = 1\n  RangeEnd = reFirstRecord\n"
      "  RangeBegin = rbCurrentRecord\nend\n",
      &read);
  EXPECT_EQ(1, read.MoveBy());
  read.SetRangeBegin(rbCurrentRecord);
  EXPECT_EQ(-1, read.MoveBy());
}

TEST_F(Pipelines, FieldAnswersAndTheirNeutralValues) {
  data->First();
  pipe.Open();
  EXPECT_EQ("N1", pipe.GetFieldAsString("Name"));
  EXPECT_DOUBLE_EQ(1.5, pipe.GetFieldAsDouble("Amount"));
  EXPECT_EQ(1, pipe.GetFieldValue("ID").AsInteger());
  EXPECT_EQ(20, pipe.GetFieldSize("Name"));
  EXPECT_EQ(2, pipe.FieldIndex("Amount"));

  TppBDEPipeline none;  // no data source
  struct Case {
    TppDataPipeline& p;
    const char* name;
  } cases[] = {{none, "Name"}, {pipe, "Missing"}};
  for (auto& [p, name] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ("", p.GetFieldAsString(name));
    EXPECT_EQ(0.0, p.GetFieldAsDouble(name));
    EXPECT_EQ(dtNotKnown, p.GetFieldDataType(name));
    EXPECT_EQ(0, p.GetFieldSize(name));
    EXPECT_EQ(0, p.GetFieldDisplayWidth(name));
    EXPECT_EQ(nullptr, p.GetBlobField(name));
    EXPECT_EQ(varOleStr, p.GetFieldValue(name).VType());
  }
  EXPECT_EQ(-1, none.FieldIndex("Name"));
  EXPECT_TRUE(none.Bof() && none.Eof());
  EXPECT_FALSE(none.Locate("Name", "N1", 0));
  EXPECT_EQ(0, none.GetBookmark());
}

TEST_F(Pipelines, LocateCutsALongTextToTheFieldSizeInCharacters) {
  const std::string twenty = [] {
    std::string s;
    for (int i = 0; i < 20; ++i) s += "\xC3\x84";  // "Ä", two bytes
    return s;
  }();
  data->Last();
  data->Edit();
  data->FieldByName("Name")->SetAsString(twenty);
  data->Post();
  data->First();
  EXPECT_TRUE(pipe.Locate("Name", twenty + "\xC3\x84\xC3\x84tail", 0));
  EXPECT_EQ(6, Id());
  EXPECT_TRUE(pipe.Locate("name", "n3", ppLocateCaseInsensitive));
  EXPECT_EQ(3, Id());
  EXPECT_TRUE(pipe.Locate("ID", Variant("4"), 0)) << "a field without a size is not cut";
  EXPECT_FALSE(pipe.Locate("Missing", "x", 0));
  EXPECT_FALSE(pipe.Locate("Name", std::string(100000, '\xFF'), 0)) << "malformed bytes cut as characters";
}

// Data sources or datasets that go away while the pipeline uses them.
TEST_F(Pipelines, ASourceOrDatasetThatGoesAwayIsForgotten) {
  auto ds = MakeNumbered(3);
  auto src = std::make_unique<TDataSource>();
  src->SetDataSet(ds.get());
  TppBDEPipeline p;
  p.SetDataSource(src.get());
  p.Open();
  p.Next();
  p.SavePosition();
  ds.reset();
  EXPECT_EQ(0, p.BookmarkCount()) << "its bookmarks went with it";
  p.RestorePosition();
  src.reset();
  EXPECT_EQ(nullptr, p.DataSource());
  EXPECT_FALSE(p.Active());
}

// ---- the page-state cache ----------------------------------------------------------

class TPipelineOwner : public TppCacheOwner {
 public:
  std::vector<TppCacheable*> CacheObjects() override { return {pipeline}; }
  TppCacheable* pipeline = nullptr;
};

TEST_F(Pipelines, PageRecordsRestoreThePositionAndFreeTheirBookmarks) {
  TPipelineOwner owner;
  owner.pipeline = &pipe;
  TppCacheManager cache(&owner);
  cache.BuildCache();
  pipe.Open();
  cache.RestorePageState(0);  // never saved: nothing moves, the state reads zero
  EXPECT_EQ(1, Id());
  EXPECT_EQ(0, pipe.DataState());

  pipe.First();
  cache.SavePageState(1);  // at the beginning: no bookmark needed
  for (int page = 2; page <= 3; ++page) {
    pipe.Next();
    pipe.Next();
    cache.SavePageState(page);  // on records 3 and 5
  }
  pipe.Last();
  pipe.Next();
  cache.SavePageState(4);  // at the end
  EXPECT_EQ(2, pipe.BookmarkCount());
  cache.RestorePageState(2);  // page 3 again, from the end of page 2
  pipe.Next();
  pipe.Next();
  cache.SavePageState(3);  // its old bookmark is let go
  EXPECT_EQ(2, pipe.BookmarkCount());

  struct Case {
    int page, id, recordNo;
    uint8_t state;
  } cases[] = {{2, 3, 2, 0}, {1, 1, 0, ppdsBof}, {4, 6, 5, ppdsEof}};
  for (const Case& c : cases) {
    cache.RestorePageState(c.page);
    EXPECT_EQ(c.id, Id()) << c.page;
    EXPECT_EQ(c.state, pipe.DataState()) << c.page;
    EXPECT_EQ(c.recordNo, pipe.RecordNo()) << c.page;
  }
  cache.ClearCache();
  EXPECT_EQ(0, pipe.BookmarkCount());
  EXPECT_FALSE(pipe.CacheBookmarksSaved());
}

// The cache keeps a page's bookmark without its trailing zero bytes; the
// record it names comes back whole, whatever zero bytes its bookmark holds
// (these bookmarks are record numbers: 256 is 00 01 00 00).
TEST(PipelineBookmarks, KeptBookmarksNameTheirRecordsWhateverZeroBytesTheyHold) {
  auto data = MakeNumbered(600);
  TDataSource source;
  source.SetDataSet(data.get());
  TppBDEPipeline pipe;
  pipe.SetDataSource(&source);
  TPipelineOwner owner;
  owner.pipeline = &pipe;
  TppCacheManager cache(&owner);
  cache.BuildCache();
  pipe.Open();
  const int ids[] = {2, 256, 257, 512, 513};
  int page = 0;
  for (pipe.First(); !pipe.Eof() && page < 5; pipe.Next())
    if (data->FieldByName("ID")->AsInteger() == ids[page]) cache.SavePageState(++page);
  ASSERT_EQ(5, page);
  for (int page : {3, 1, 5, 2, 4}) {
    data->Last();
    cache.RestorePageState(page);
    EXPECT_EQ(ids[page - 1], data->FieldByName("ID")->AsInteger()) << page;
  }
}

}  // namespace
