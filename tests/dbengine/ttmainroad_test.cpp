// The whole main road through the components as the program takes it: the
// Access binding's session, database, table and query over a real database file.

#include <gtest/gtest.h>

#include "accbinding_fixture.h"

using accesstest::ColumnOf;

namespace {

class MainRoad : public accesstest::BindingFixture {};

TEST_F(MainRoad, TableOpensAndReadsEveryRow) {
  auto t = MakeTable();
  t->Open();
  EXPECT_TRUE(AccessDefaultSession()->Active());
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), ColumnOf(t.get()));
  t->First();
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_DOUBLE_EQ(1.5, t->FieldByName("Score")->AsFloat());
  EXPECT_TRUE(t->FieldByName("Born")->IsNull());
  EXPECT_EQ(3, t->RecordCount());
  t->Close();
}

TEST_F(MainRoad, WholeRoadThroughTheComponents) {
  // Database component, session and table.
  auto owned = std::make_unique<TtaDatabase>();
  TtaDatabase* db = owned.get();
  db->SetDatabaseName("Main");
  db->Params()->Add("PATH=" + path_);
  db->SetLoginPrompt(false);
  db->SetDatabaseName(path_);
  db->Open();
  ASSERT_TRUE(db->Connected());
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  EXPECT_EQ(db, t->Database());
  EXPECT_EQ(1, db->DataSetCount());

  // Moves.
  t->Last();
  EXPECT_EQ("Carl", t->FieldByName("Name")->AsString());
  t->Prior();
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
  TBookmarkStr mark = t->Bookmark();
  t->First();
  t->SetBookmark(mark);
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());

  // Seek.
  EXPECT_TRUE(t->FindKey({Variant(std::string("Carl"))}));
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_FALSE(t->FindKey({Variant(std::string("Zed"))}));

  // Insert, edit, post, delete.
  t->Append();
  t->FieldByName("Name")->SetAsString("Dora");
  t->FieldByName("Age")->SetAsInteger(41);
  t->FieldByName("Notes")->SetAsString("first line\r\nsecond line");
  t->Post();
  EXPECT_EQ("Dora", t->FieldByName("Name")->AsString());
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl", "Dora"}), ColumnOf(t.get()));
  ASSERT_TRUE(t->FindKey({Variant(std::string("Bert"))}));
  t->Edit();
  t->FieldByName("Age")->SetAsInteger(26);
  t->Post();
  t->Refresh();
  EXPECT_EQ(26, t->FieldByName("Age")->AsInteger());
  ASSERT_TRUE(t->FindKey({Variant(std::string("Anna"))}));
  t->Delete();
  EXPECT_EQ((std::vector<std::string>{"Bert", "Carl", "Dora"}), ColumnOf(t.get()));

  // Blob streams: the memo written above reads back whole.
  ASSERT_TRUE(t->FindKey({Variant(std::string("Dora"))}));
  EXPECT_EQ("first line\r\nsecond line", t->FieldByName("Notes")->AsString());

  // Ranges on the two-field index.
  t->SetIndexName("ByAgeName");
  t->SetRange({Variant(30)}, {Variant(45)});
  EXPECT_EQ((std::vector<std::string>{"Carl", "Dora"}), ColumnOf(t.get()));
  t->CancelRange();
  EXPECT_EQ(3u, ColumnOf(t.get()).size());

  // A query with a parameter.
  TtaQuery q;
  q.SetDatabaseName(path_);
  q.SQL()->Add("SELECT Name FROM People WHERE Age >= :MinAge ORDER BY Name");
  ASSERT_EQ(1, q.ParamCount());
  q.ParamByName("MinAge")->SetAsInteger(30);
  q.Open();
  EXPECT_EQ((std::vector<std::string>{"Carl", "Dora"}), ColumnOf(&q));
  q.Close();
  q.ParamByName("MinAge")->SetAsInteger(0);
  q.Open();
  EXPECT_EQ(3u, ColumnOf(&q).size());
  q.Close();

  t->Close();
  db->Close();
  EXPECT_FALSE(db->Connected());
}

TEST_F(MainRoad, DetailFollowsItsMaster) {
  {
    dao::TDatabaseCore raw(path_, false, false, "");
    raw.Execute("CREATE TABLE Pets (PetId COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Owner SHORT, PetName TEXT(20))");
    raw.Execute("CREATE INDEX ByOwner ON Pets (Owner, PetName)");
    raw.Execute("INSERT INTO Pets (Owner, PetName) VALUES (1, 'Rex')");
    raw.Execute("INSERT INTO Pets (Owner, PetName) VALUES (1, 'Tom')");
    raw.Execute("INSERT INTO Pets (Owner, PetName) VALUES (3, 'Kit')");
  }
  auto master = MakeTable();
  master->Open();
  TDataSource source;
  source.SetDataSet(master.get());
  auto detail = MakeTable("Pets");
  detail->SetIndexName("ByOwner");
  detail->SetMasterSource(&source);
  detail->SetMasterFields("Id");
  detail->Open();
  auto pets = [&] { return ColumnOf(detail.get(), "PetName"); };
  EXPECT_EQ((std::vector<std::string>{"Rex", "Tom"}), pets());
  master->Next();
  EXPECT_TRUE(pets().empty());
  master->Next();
  EXPECT_EQ((std::vector<std::string>{"Kit"}), pets());
  // A new detail record takes the master's key.
  detail->Append();
  detail->FieldByName("PetName")->SetAsString("Zig");
  detail->Post();
  EXPECT_EQ(3, detail->FieldByName("Owner")->AsInteger());
  EXPECT_EQ((std::vector<std::string>{"Kit", "Zig"}), pets());
  detail->Close();
  master->Close();
}

// A post the database refuses keeps every value typed into the record, new
// or edited, and every field left empty empty: the corrected post writes
// them all, not only the field changed afterwards.
TEST_F(MainRoad, RefusedPostKeepsEveryTypedValueForTheNextPost) {
  ExecuteElsewhere("CREATE UNIQUE INDEX UniqueName ON People (Name)");
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  for (bool insert : {true, false}) {
    const std::string name = insert ? "Dora" : "Bertram";
    if (insert) {
      t->Append();
    } else {
      ASSERT_TRUE(t->FindKey({Variant(std::string("Bert"))}));
      t->Edit();
    }
    t->FieldByName("Name")->SetAsString("Anna");  // taken
    t->FieldByName("Age")->SetAsInteger(44);
    t->FieldByName("Notes")->SetAsString("kept " + name);
    EXPECT_THROW(t->Post(), EDatabaseError);
    EXPECT_EQ(insert ? dsInsert : dsEdit, t->State());
    // What was left empty reads empty still: no date of nothing, no zero.
    EXPECT_TRUE(t->FieldByName("Born")->IsNull()) << name;
    EXPECT_TRUE(t->FieldByName("Score")->IsNull()) << name;
    t->FieldByName("Name")->SetAsString(name);
    t->Post();
    t->Close();
    t->Open();
    ASSERT_TRUE(t->FindKey({Variant(name)}));
    EXPECT_EQ(44, t->FieldByName("Age")->AsInteger()) << name;
    EXPECT_EQ("kept " + name, t->FieldByName("Notes")->AsString());
    EXPECT_TRUE(t->FieldByName("Born")->IsNull()) << name;
  }
  EXPECT_EQ(4, t->RecordCount());
}

}  // namespace
