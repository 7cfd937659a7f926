// The made database read back through a separate connection: tables, fields
// with their types, sizes and order, indexes and the first rows.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/schema/schema.h"
#include "apptest.h"
#include "platform/classlib/core/failingfiles.h"
#include "dbengine/accbinding.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/db/fields.h"
#include "platform/dao/core.h"

namespace {

// The engine presents a counter as a long integer that the database fills.
constexpr TFieldType ftCounter = ftInteger;

struct FieldSpec {
  const char* name;
  TFieldType type;
  int size;
};

struct TableSpec {
  const char* table;
  std::vector<FieldSpec> fields;
  // Index name and its fields ("a;b").
  std::vector<std::pair<std::string, std::string>> indexes;
};

std::vector<std::pair<std::string, std::string>> ReportIndexes() {
  std::vector<std::pair<std::string, std::string>> list{{"ProgramNumber", "ProgramNumber"}};
  for (const char* f : {"ReportNumber", "Identifier", "Status", "Priority", "Severity", "Description",
                        "Area", "Version", "ReportedBy", "ReportedDate", "Responsibility", "FixedBy",
                        "FixedDate", "FixedInVersion", "VerifiedBy", "VerifiedDate"})
    list.emplace_back(f, std::string("ProgramNumber;") + f);
  return list;
}

const std::vector<TableSpec>& Tables() {
  static const std::vector<TableSpec> tables{
      {"Reports",
       {{"ReportNumber", ftCounter, 0},   {"Identifier", ftString, 50},  {"Status", ftString, 50},
        {"Priority", ftString, 50},       {"Severity", ftString, 50},    {"Description", ftString, 200},
        {"Area", ftString, 50},           {"Version", ftString, 50},     {"ReportedBy", ftString, 50},
        {"ReportedDate", ftDateTime, 0},  {"Responsibility", ftString, 50}, {"FixedBy", ftString, 50},
        {"FixedDate", ftDateTime, 0},     {"FixedInVersion", ftString, 20}, {"VerifiedBy", ftString, 40},
        {"VerifiedDate", ftDateTime, 0},  {"ProgramNumber", ftInteger, 0}, {"ReportType", ftString, 50},
        {"Report", ftMemo, 0},            {"Resolution", ftMemo, 0},     {"Steps", ftMemo, 0},
        {"Attachment", ftMemo, 0},        {"Workaround", ftMemo, 0}},
       ReportIndexes()},
      {"Programs", {{"Program", ftString, 50}, {"ProgramNumber", ftCounter, 0}},
       {{"PrimaryKey", "ProgramNumber"}}},
      {"Status", {{"Status", ftString, 50}, {"StatusDescription", ftString, 50}}, {{"PrimaryKey", "Status"}}},
      {"Priority", {{"Priority", ftString, 50}, {"PriorityDescription", ftString, 50}},
       {{"PrimaryKey", "Priority"}}},
      {"Area", {{"Area", ftString, 50}}, {{"Area", "Area"}}},
      {"Version", {{"Version", ftString, 50}}, {{"Version", "Version"}}},
      {"User", {{"User", ftString, 50}, {"Email", ftString, 50}}, {{"User", "User"}}},
      {"Employee", {{"Employee", ftString, 50}}, {{"Employee", "Employee"}}},
      {"Severity", {{"Severity", ftString, 50}}, {{"Severity", "Severity"}}},
  };
  return tables;
}

class Schema : public testing::Test {
 protected:
  apptest::Scratch scratch_;
  std::unique_ptr<TtaTable> Open(const std::string& table) {
    auto t = std::make_unique<TtaTable>();
    t->SetDatabaseName(scratch_.Database());
    t->SetTableName(table);
    t->Open();
    return t;
  }
};

TEST_F(Schema, TablesFieldsAndIndexesAreAsTheApplicationReadsThem) {
  for (const TableSpec& spec : Tables()) {
    SCOPED_TRACE(spec.table);
    auto t = Open(spec.table);
    ASSERT_EQ(t->FieldDefs().Count(), int(spec.fields.size()));
    for (int i = 0; i < t->FieldDefs().Count(); ++i) {
      const TFieldDef* d = t->FieldDefs()[i];
      EXPECT_EQ(d->Name(), spec.fields[i].name);
      EXPECT_EQ(d->DataType(), spec.fields[i].type) << d->Name();
      if (spec.fields[i].size) { EXPECT_EQ(d->Size(), spec.fields[i].size) << d->Name(); }
    }
    t->RefreshIndexDefs();
    for (const auto& [name, fields] : spec.indexes)
      EXPECT_EQ(t->IndexDefs().Find(name)->Fields(), fields) << name;
  }
}

TEST_F(Schema, CodesCarryTheExportTextsAndOneProgramIsThere) {
  auto status = Open("Status");
  std::vector<std::string> rows;
  for (status->First(); !status->Eof(); status->Next())
    rows.push_back(status->Fields()[0]->AsString() + "=" + status->Fields()[1]->AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"1=New", "2=In Process", "3=Fixed/Implemented", "4=Verified",
                                            "5=Delegated", "6=Deferred", "7=No Longer Relevant",
                                            "8=Will Not Be Fixed/Implemented", "9=Could Not Duplicate"}));
  auto priority = Open("Priority");
  rows.clear();
  for (priority->First(); !priority->Eof(); priority->Next())
    rows.push_back(priority->Fields()[0]->AsString() + "=" + priority->Fields()[1]->AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"1=Very High", "2=High", "3=Normal", "4=Low", "5=Very Low"}));
  auto programs = Open("Programs");
  EXPECT_EQ(programs->RecordCount(), 1);
  EXPECT_EQ(programs->FieldByName("Program")->AsString(), "New Program");
}

TEST_F(Schema, AnExistingFileIsNeverReplaced) {
  EXPECT_FALSE(CreateVantrelDatabaseIfMissing(scratch_.Database()));
  EXPECT_THROW(CreateVantrelDatabase(scratch_.Database()), Exception);
  EXPECT_EQ(Open("Programs")->RecordCount(), 1);
}

// Each open, write and flush of a new database may fail: the caller is told,
// and no half-made database nor a side file of one (a log would be replayed
// into the next database made there) is left behind. A failure the database
// library may pass over (a flush at its close) leaves a whole database.
TEST_F(Schema, AFailureAtAnyStepLeavesNoHalfMadeDatabase) {
  const std::string folder = scratch_.Dir() + "/new";
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/Vantrel.MDB";
  auto left = [&] {
    std::string names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names += e.path().filename().string() + " ";
    return names;
  };
  auto programs = [&] {
    dao::TDatabaseCore db(path, false, true, "");
    return db.OpenRecordset("Programs", -1)->RecordCount();
  };
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync}) {
    bool raised = false;
    int whole = 0;
    const int runs = FailEachCall(
        folder, call,
        [&] {
          raised = false;
          try {
            CreateVantrelDatabase(path);
          } catch (const std::exception&) {
            raised = true;
          }
        },
        [&](int n) {
          if (raised) {
            EXPECT_EQ(left(), "") << int(call) << " #" << n;
            return;
          }
          ++whole;
          EXPECT_EQ(programs(), 1) << int(call) << " #" << n;
          std::filesystem::remove_all(folder);
          std::filesystem::create_directory(folder);
        });
    EXPECT_GT(runs, whole) << int(call);
    EXPECT_EQ(programs(), 1) << "the run past the last failure makes it";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
  }
}

}  // namespace
