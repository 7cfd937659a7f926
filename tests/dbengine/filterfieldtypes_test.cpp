// Every Access field type through a record filter, on the dataset road and on
// a bare engine cursor: the file stores some values narrower than the engine
// reads them (a byte as one byte, a single-precision number as four), and the
// filter compares the values, not their stored bytes.

#include <gtest/gtest.h>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/db/filterexpr.h"
#include "ttbinding.h"

using namespace tttest;

namespace {

struct TRow {
  int Id;
  bool F;
  int B, I, L;
  double C, R, D;
  TDateTime W;
  const char* S;
};

const TRow kRows[] = {
    {1, true, 200, -5, 100000, 12.3456, 2.5, 0.1 + 0.2, EncodeDate(2020, 1, 2), "abc"},
    {2, false, 100, 7, -3, 1.5, 1.25, 2, EncodeDate(2021, 5, 6), "xyz"},
    {3, false, 10, 300, 0, -2, -0.75, -1e10, EncodeDate(1990, 1, 1) + 0.5, "ABC"},
};

using Ids = std::vector<int>;

class FilterFieldTypes : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("CREATE TABLE T (Id LONG CONSTRAINT PrimaryKey PRIMARY KEY, F BIT, B BYTE, I SHORT, "
               "L LONG, C CURRENCY, R SINGLE, D DOUBLE, W DATETIME, S TEXT(10), M MEMO, "
               "P LONGBINARY, G GUID)");
  }
  void SetUp() override {
    ComponentFixture::SetUp();
    table_ = MakeTable("T");
    table_->Open();
    for (const TRow& r : kRows) {
      table_->Append();
      table_->FieldByName("Id")->SetAsInteger(r.Id);
      table_->FieldByName("F")->SetAsBoolean(r.F);
      table_->FieldByName("B")->SetAsInteger(r.B);
      table_->FieldByName("I")->SetAsInteger(r.I);
      table_->FieldByName("L")->SetAsInteger(r.L);
      table_->FieldByName("C")->SetAsFloat(r.C);
      table_->FieldByName("R")->SetAsFloat(r.R);
      table_->FieldByName("D")->SetAsFloat(r.D);
      table_->FieldByName("W")->SetAsDateTime(r.W);
      table_->FieldByName("S")->SetAsString(r.S);
      if (r.Id == 1) table_->FieldByName("M")->SetAsString("a note");
      table_->Post();
    }
  }
  void TearDown() override {
    table_.reset();
    ComponentFixture::TearDown();
  }
  // The records the dataset keeps with the filter on.
  Ids ThroughTheDataset(const std::string& filter) {
    table_->SetFilter(filter);
    table_->SetFiltered(true);
    Ids ids;
    for (table_->First(); !table_->Eof(); table_->Next()) ids.push_back(table_->FieldByName("Id")->AsInteger());
    table_->SetFiltered(false);
    return ids;
  }
  // The records a bare engine cursor keeps with the dataset's filter blob.
  Ids ThroughTheEngine(const std::string& filter) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(filter, table_.get(), {});
    TBaseDatabase* db = OpenDb();
    TBaseTable* c = OpenTable(db, "T");
    TFilterListItem* item = nullptr;
    EXPECT_EQ(0, Engine().AddFilter(c, 0, 1, false, blob.data(), nullptr, item));
    EXPECT_EQ(0, Engine().ActivateFilter(c, item));
    std::vector<std::uint8_t> rec(c->GetRecordBufferSize());
    Ids ids;
    while (Engine().GetNextRecord(c, 0, rec.data(), nullptr) == 0) ids.push_back(Get<std::int32_t>(c, rec.data(), 1));
    Engine().CloseCursor(c);
    Engine().CloseDatabase(db);
    return ids;
  }
  std::unique_ptr<TTestTable> table_;
};

TEST_F(FilterFieldTypes, EveryTypeComparesItsValues) {
  const struct {
    std::string Filter;
    Ids Kept;
  } cases[] = {
      {"F = True", {1}},
      {"F = False", {2, 3}},
      {"B > 150", {1}},  // a byte above 127 is not negative
      {"B = 10", {3}},
      {"I < 0", {1}},
      {"I >= 7", {2, 3}},
      {"L = 100000", {1}},
      {"L <= 0", {2, 3}},
      {"C = 12.3456", {1}},
      {"C < 0", {3}},
      {"R = 2.5", {1}},  // a single-precision number read at its full width
      {"R > 2", {1}},
      {"R < 0", {3}},
      {"D > 0.25", {1, 2}},
      {"D < -1000", {3}},
      {"W = '" + DateToStr(EncodeDate(2021, 5, 6)) + "'", {2}},
      {"W < '" + DateToStr(EncodeDate(2000, 1, 1)) + "'", {3}},
      {"S = 'abc'", {1}},
      {"S > 'b'", {2}},
      {"(B > 50) and (R > 1) and (S <> 'abc')", {2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Kept, ThroughTheDataset(c.Filter)) << c.Filter;
    EXPECT_EQ(c.Kept, ThroughTheEngine(c.Filter)) << c.Filter;
  }
}

}  // namespace
