// Lookup fields filled from lookup tables: table set-up and reuse, seeking by
// links, failures, and positioning for the lookup list.
#include <gtest/gtest.h>

#include <map>

#include "datactrls/wwlookup.h"
#include "platform/classlib/core/list.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/db/fields.h"
#include "settingsdataset.h"

// The tables a lookup table can open: name -> rows of (ID, Name, Mail).
static std::map<std::string, std::vector<std::vector<std::string>>> catalog;

// A lookup table over the catalog; its index "ByID" is on ID.
class TLookupTestTable : public TMemDataSet, public IwwLookupTable {
  DECLARE_CLASS(TLookupTestTable, TMemDataSet)
 public:
  explicit TLookupTestTable(TComponent* owner) : TMemDataSet(owner) {
    ++alive;
    AfterOpen = [this](TDataSet*) {
      if (RowCount() > 0) return;
      for (const auto& row : catalog[TableName])
        AppendRecord({Variant(std::stoi(row[0])), Variant(row[1]), Variant(row[2])});
      First();
    };
  }
  ~TLookupTestTable() override { --alive; }
  static inline int alive = 0;
  static inline int seeks = 0;

  std::string DatabaseName, TableName, IndexName;
  bool ReadOnlyProp = false;
  std::string IndexFieldsSet;

  int IndexFieldCount() override { return IndexName == "ByID" ? 1 : 0; }
  bool VerifiedFindKey(const std::vector<std::string>& values) override {
    ++seeks;
    return values.size() == 1 && LocateValue("ID", values[0]);
  }
  bool FindKey(const std::vector<std::string>& values) override { return VerifiedFindKey(values); }
  bool LocateValue(const std::string& fieldName, const std::string& value) override {
    for (First(); !Eof(); Next())
      if (FieldByName(fieldName)->Text() == value) return true;
    return false;
  }
  std::string IndexNameForFields(const std::string& fields) override {
    return fields == "ID" ? "ByID" : "";
  }
  void SetIndexFieldsForLookup(const std::string& fields) override {
    IndexFieldsSet = fields;
    IndexName = IndexNameForFields(fields);
  }

 protected:
  void OpenEngineCursor() override {
    auto it = catalog.find(TableName);
    if (it == catalog.end()) DatabaseError("Table does not exist: " + TableName);
    if (FieldDefs().Count() == 0) {
      FieldDefs().Add("ID", ftInteger);
      FieldDefs().Add("Name", ftString, 30);
      FieldDefs().Add("Mail", ftMemo);
    }
    TMemDataSet::OpenEngineCursor();
  }
};

IMPLEMENT_CLASS(TLookupTestTable, TMemDataSet)
PUBLISHED(TLookupTestTable) {
  PROP_STR(DatabaseName, DatabaseName, DatabaseName, "");
  PROP_STR(TableName, TableName, TableName, "");
  PROP_STR(IndexName, IndexName, IndexName, "");
  PROP_BOOL(ReadOnly, ReadOnlyProp, ReadOnlyProp, false);
}

namespace {

// A dataset with lookup fields that computes them on every calculation.
class TLookupDataSet : public TSettingsDataSet, public IwwLookupTableOwner {
 public:
  TLookupDataSet() {
    OnCalcFields = [this](TDataSet*) {
      ++Passes;
      wwRemoveStaleFieldSettings(this, LookupFields(), LookupLinks(), ControlType());
      wwCalcLookupFields(this, LookupFields(), LookupLinks(), &tables_);
    };
  }
  TList* LookupTables() override { return &tables_; }
  int Passes = 0;

 private:
  TList tables_;
};

class LookupFields : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog.clear();
    catalog["People"] = {{"1", "Ann", "ann@example.org"}, {"2", "Bob", "bob@example.org"}};
    TLookupTestTable::seeks = 0;
    wwLookupTableFactory = [this](TDataSet* owner) -> TDataSet* {
      ++created;
      return new TLookupTestTable(owner);
    };
    wwLookupFailureHandler = [this](TDataSet*, const std::string& m) { failures.push_back(m); };
    Build(ds);
  }
  void TearDown() override {
    wwLookupFailureHandler = nullptr;
    catalog.clear();
  }

  // ID, Owner and Reporter data fields; OwnerName, OwnerMail, ReporterName calculated.
  void Build(TLookupDataSet& ds) {
    for (const char* name : {"ID", "Owner", "Reporter"}) {
      ds.FieldDefs().Add(name, ftInteger);
      AddField<TIntegerField>(ds, name);
    }
    AddField<TStringField>(ds, "OwnerName", fkCalculated, 30);
    AddField<TStringField>(ds, "OwnerMail", fkCalculated, 60);
    AddField<TStringField>(ds, "ReporterName", fkCalculated, 30);
    ds.LookupFields()->Add("OwnerName;Bugs;People;Name;ByID");
    ds.LookupLinks()->Add("Owner;ID");
    ds.LookupFields()->Add("OwnerMail;Bugs;People;Mail;ByID");
    ds.LookupLinks()->Add("owner;id");  // the same links in another case
    ds.LookupFields()->Add("ReporterName;Bugs;People;Name;ByID");
    ds.LookupLinks()->Add("Reporter;ID");
  }

  int created = 0;
  std::vector<std::string> failures;
  TLookupDataSet ds;
};

TEST_F(LookupFields, FillFromTheLookupTable) {
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  ds.AppendRecord({Variant(2), Variant(7), Variant(2)});
  ds.First();
  EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "Bob");
  EXPECT_EQ(ds.FieldByName("OwnerMail")->AsString(), "bob@example.org");  // a memo source
  EXPECT_EQ(ds.FieldByName("ReporterName")->AsString(), "Ann");
  ds.Next();
  EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "");  // no person 7
  EXPECT_EQ(ds.FieldByName("ReporterName")->AsString(), "Bob");

  // One table serves entries with the same database, table and links.
  ASSERT_EQ(ds.LookupTables()->Count(), 2);
  EXPECT_EQ(created, 2);
  auto* table = static_cast<TLookupTestTable*>(ds.LookupTables()->Items(0));
  EXPECT_EQ(table->Owner(), &ds);
  EXPECT_EQ(table->TableName, "People");
  EXPECT_EQ(table->IndexName, "ByID");
  EXPECT_TRUE(table->ReadOnlyProp);
  EXPECT_EQ(table->LookupLinkKey, "Owner;ID");
  EXPECT_FALSE(table->LookupSeeking);
}

TEST_F(LookupFields, TwoFieldsSharingATableSeekOncePerRecord) {
  ds.LookupFields()->Delete(2);
  ds.LookupLinks()->Delete(2);
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(1), Variant(1)});
  ds.Edit();
  ds.FieldByName("Owner")->SetAsInteger(2);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "Bob");
  EXPECT_EQ(ds.FieldByName("OwnerMail")->AsString(), "bob@example.org");
  // Every calculation pass seeks the shared table once for both fields.
  TLookupTestTable::seeks = 0;
  ds.Passes = 0;
  ds.Refresh();
  ds.First();
  EXPECT_GT(ds.Passes, 0);
  EXPECT_EQ(TLookupTestTable::seeks, ds.Passes);
  EXPECT_EQ(ds.LookupTables()->Count(), 1);
}

TEST_F(LookupFields, ATableThatCannotBeSetUpIsFreedAndReportedOnce) {
  ds.LookupFields()->SetStrings(0, "OwnerName;Bugs;Missing;Name;ByID");
  ds.Open();
  for (int i = 1; i <= 3; ++i) ds.AppendRecord({Variant(i), Variant(1), Variant(2)});
  for (ds.First(); !ds.Eof(); ds.Next()) {
    EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "");
    EXPECT_EQ(ds.FieldByName("ReporterName")->AsString(), "Bob");  // later entries go on
  }
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("Missing"), std::string::npos);
  EXPECT_EQ(created, 3);  // the failed one once, then the two good tables
  EXPECT_EQ(TLookupTestTable::alive, 2);  // the failed table was released
}

TEST_F(LookupFields, AMissingLinkFieldHidesTheFieldAndEndsThePass) {
  ds.LookupLinks()->SetStrings(1, "Assignee;ID");
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(1), Variant(2)});
  EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "Ann");
  EXPECT_FALSE(ds.FieldByName("OwnerMail")->Visible());
  EXPECT_TRUE(ds.FieldByName("ReporterName")->Visible());
  EXPECT_EQ(ds.FieldByName("ReporterName")->AsString(), "");  // not computed in this pass
}

TEST_F(LookupFields, EntriesWithTheTrailingFlagUseTheIndexOfTheirFields) {
  ds.LookupFields()->SetStrings(0, "OwnerName;Bugs;People.db;Name;-;ID;N");
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  EXPECT_EQ(ds.FieldByName("OwnerName")->AsString(), "Bob");
  auto* table = static_cast<TLookupTestTable*>(ds.LookupTables()->Items(0));
  EXPECT_EQ(table->TableName, "People");
  EXPECT_EQ(table->IndexName, "ByID");
}

TEST_F(LookupFields, SeekingByLinks) {
  TLookupTestTable table(nullptr);
  table.TableName = "People";
  table.IndexName = "ByID";
  table.Open();
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  EXPECT_TRUE(wwSeekLookupTable(&table, &ds, {"Owner", "ID"}));
  EXPECT_EQ(table.FieldByName("Name")->AsString(), "Bob");
  EXPECT_FALSE(wwSeekLookupTable(&table, &ds, {"Owner", "ID", "Reporter"}));  // three pieces
  std::vector<std::string> fourteen;
  for (int i = 0; i < 7; ++i) {
    fourteen.push_back("Owner");
    fourteen.push_back("ID");
  }
  EXPECT_FALSE(wwSeekLookupTable(&table, &ds, fourteen));
  // Without index fields the first link is searched in its field.
  table.IndexName = "";
  EXPECT_TRUE(wwSeekLookupTable(&table, &ds, {"Reporter", "ID"}));
  EXPECT_EQ(table.FieldByName("Name")->AsString(), "Ann");
  EXPECT_FALSE(wwSeekLookupTable(&table, &ds, {"Nothing", "ID"}));

  TMemDataSet plain;
  EXPECT_FALSE(wwSeekLookupTable(&plain, &ds, {"Owner", "ID"}));
  EXPECT_FALSE(wwSeekLookupTableBy(&plain, {"Owner", "ID"}, [&](const std::string& n) {
    return ds.FindField(n);
  }));
}

TEST_F(LookupFields, ResultFieldsForFilterEvaluation) {
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  auto getValue = [this](const std::string& name) { return ds.FindField(name); };
  TField* result = wwGetLookupResultField(&ds, ds.FieldByName("OwnerName"), getValue);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->FieldName(), "Name");
  EXPECT_EQ(result->AsString(), "Bob");
  EXPECT_EQ(wwGetLookupResultField(&ds, ds.FieldByName("ID"), getValue), nullptr);

  std::string key;
  TField* found = nullptr;
  EXPECT_TRUE(wwFindLookupValue(ds.FieldByName("ReporterName"), key, found));
  EXPECT_EQ(key, "1");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->AsString(), "Ann");
  TSettingsDataSet noTables;
  noTables.FieldDefs().Add("X", ftString, 5);
  noTables.Open();
  EXPECT_FALSE(wwFindLookupValue(noTables.FieldByName("X"), key, found));
}

TEST_F(LookupFields, PositioningForTheLookupList) {
  ds.LookupFields()->SetStrings(2, "ReporterName;Bugs;People;Name;-;ID;N");
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  catalog["people.db"] = catalog["People"];
  TLookupTestTable list(nullptr);
  list.TableName = "people.db";
  list.Open();
  std::string first;
  EXPECT_TRUE(wwPositionLookupTable(&ds, &list, "reportername", first));
  EXPECT_EQ(first, "Reporter");
  EXPECT_EQ(list.IndexFieldsSet, "ID");
  EXPECT_EQ(list.FieldByName("Name")->AsString(), "Ann");
  EXPECT_FALSE(wwPositionLookupTable(&ds, &list, "NoSuchField", first));
}

// The list's table is the lookup's in any case of its name's letters.
TEST_F(LookupFields, PositioningKnowsTheTableInAnyCase) {
  catalog["\u01A0n Stra\u00DFe"] = catalog["\u01A1N STRA\u1E9EE.db"] = catalog["People"];
  ds.LookupFields()->SetStrings(2, "ReporterName;Bugs;\u01A0n Stra\u00DFe;Name;-;ID;N");
  ds.Open();
  ds.AppendRecord({Variant(1), Variant(2), Variant(1)});
  TLookupTestTable list(nullptr);
  list.TableName = "\u01A1N STRA\u1E9EE.db";
  list.Open();
  std::string first;
  EXPECT_TRUE(wwPositionLookupTable(&ds, &list, "ReporterName", first));
  EXPECT_EQ(list.IndexFieldsSet, "ID");
}

}  // namespace
