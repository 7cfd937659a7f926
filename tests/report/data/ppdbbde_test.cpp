// The pipeline over an engine table on a real database file and over the
// in-memory dataset's field classes: how fields are classified, a table's new
// filter reaching the linked objects, and a page regenerated from the cache.

#include "report/data/ppdbbde.h"

#include <gtest/gtest.h>

#include <functional>

#include "bde/library_fixture.h"
#include "platform/classlib/db/dbtestutil.h"

namespace {

// Counts the settings-changed notices a pipeline sends.
class TCounter : public TppCommunicator, public TppPipelineListener {
 public:
  void PipelineNotify(TppDataPipeline*, int event) override { changes += event == ppdeSettingsChanged; }
  int changes = 0;
};

class TablePipeline : public bdetest::LibraryFixture {
 protected:
  TTable* People() {
    auto* t = Make<TTable>();
    t->SetTableName("People");
    source.SetDataSet(t);
    pipe.SetDataSource(&source);
    return t;
  }
  void TearDown() override {
    pipe.SetDataSource(nullptr);
    LibraryFixture::TearDown();
  }
  TDataSource source;
  TppBDEPipeline pipe;
};

TEST_F(TablePipeline, FieldsOfATableAreClassifiedByTheirClass) {
  People();
  pipe.Open();
  struct Case {
    const char* field;
    TppDataType type;
  } cases[] = {{"Id", dtInteger},   {"Name", dtString},  {"Age", dtInteger},
               {"Score", dtDouble}, {"Born", dtDateTime}, {"Notes", dtMemo},
               {"Photo", dtBLOB},   {"Pay", dtDouble},   {"Active", dtBoolean}};
  for (const Case& c : cases) EXPECT_EQ(c.type, pipe.GetFieldDataType(c.field)) << c.field;
  EXPECT_TRUE(pipe.Active());
  EXPECT_EQ("Anna", pipe.GetFieldAsString("Name"));
}

TEST_F(TablePipeline, ANewFilterOnATableTellsTheLinkedObjects) {
  TTable* table = People();
  TCounter counter;
  pipe.AddLink(&counter);
  pipe.Open();
  table->SetFilter("Age = 30");
  table->SetFiltered(true);
  table->First();
  EXPECT_GE(counter.changes, 1);
  const int seen = counter.changes;
  table->Next();
  EXPECT_EQ(seen, counter.changes) << "an unchanged filter says nothing";
  pipe.RemoveLink(&counter);
}

class TOneObject : public TppCacheOwner {
 public:
  explicit TOneObject(TppCacheable* o) : object(o) {}
  std::vector<TppCacheable*> CacheObjects() override { return {object}; }
  TppCacheable* object;
};

TEST_F(TablePipeline, APageRegeneratedFromTheCacheStartsOnItsRecord) {
  People();
  TOneObject owner(&pipe);
  TppCacheManager cache(&owner);
  cache.BuildCache();
  pipe.Open();
  pipe.First();
  pipe.Next();
  cache.SavePageState(1);  // on Bert
  pipe.Close();
  pipe.Open();  // a new run reopens the pipeline; the page's bookmark stays good
  pipe.First();
  cache.RestorePageState(1);
  EXPECT_EQ("Bert", pipe.GetFieldAsString("Name"));
  pipe.Next();
  EXPECT_EQ("Carl", pipe.GetFieldAsString("Name"));
  EXPECT_EQ(2, pipe.RecordNo());
}

// The page after a page starts where that page ended: standing there
// already (on its first record, at its beginning, too), the table is not
// moved (nor its rows read again); elsewhere it goes back to the page's
// record.
TEST_F(TablePipeline, RestoringThePageTheTableStandsOnLeavesTheTableStill) {
  TTable* table = People();
  TOneObject owner(&pipe);
  TppCacheManager cache(&owner);
  cache.BuildCache();
  int scrolls = 0;
  table->BeforeScroll = [&](TDataSet*) { ++scrolls; };
  pipe.Open();
  struct Case {
    const char* name;
    std::function<void()> before;
    int scrolls;
  };
  const Case cases[] = {{"standing on it", [] {}, 0},
                        {"moved on", [&] { table->Next(); }, 1},
                        {"past the end", [&] { table->Last(); table->Next(); }, 1}};
  for (const char* saved : {"Anna", "Bert"}) {
    pipe.First();
    if (std::string(saved) == "Bert") pipe.Next();
    cache.SavePageState(1);
    for (const Case& c : cases) {
      c.before();
      scrolls = 0;
      cache.RestorePageState(1);
      EXPECT_EQ(scrolls, c.scrolls) << saved << ", " << c.name;
      EXPECT_EQ(saved, pipe.GetFieldAsString("Name")) << c.name;
      EXPECT_FALSE(pipe.Eof()) << saved << ", " << c.name;
      EXPECT_EQ(pipe.Bof(), std::string(saved) == "Anna") << c.name;
    }
  }
  table->BeforeScroll = nullptr;
}

TEST(PipelineFieldClasses, DescendantsTakeTheirAncestorsType) {
  TMemDataSet data;
  struct Case {
    TFieldType fieldType;
    TppDataType type;
  } cases[] = {{ftWord, dtInteger},   {ftAutoInc, dtInteger}, {ftTime, dtDateTime},
               {ftDate, dtDate},      {ftGraphic, dtBLOB},     {ftBlob, dtBLOB},
               {ftCurrency, dtDouble}, {ftBCD, dtDouble},       {ftVarBytes, dtNotKnown},
               {ftBytes, dtNotKnown}};
  for (const Case& c : cases) data.FieldDefs().Add("F" + std::to_string(c.fieldType), c.fieldType,
                                                    c.fieldType == ftBytes || c.fieldType == ftVarBytes ? 8 : 0);
  data.Open();
  TDataSource source;
  source.SetDataSet(&data);
  TppBDEPipeline pipe;
  pipe.SetDataSource(&source);
  for (const Case& c : cases)
    EXPECT_EQ(c.type, pipe.GetFieldDataType("F" + std::to_string(c.fieldType))) << c.fieldType;
}

}  // namespace
