// The class library's sessions, databases and datasets over a scratch Access
// database: what this layer adds to the engine's components (whose moves,
// keys, ranges, filters, details and queries the engine's own tests hold):
// nearest keys, stored queries, update objects, transactions, passwords asked
// through the dialog responder, bad input, and the two class hierarchies.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bde/dbtables.h"
#include "bde/library_fixture.h"
#include "dbengine/accbinding.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"

namespace {

std::vector<TEdit*> EditsOf(TComponent* form) {
  std::vector<TEdit*> edits;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* edit = dynamic_cast<TEdit*>(form->Components(i))) edits.push_back(edit);
  return edits;
}

std::vector<std::string> Column(TDataSet* t, const std::string& field = "Name") {
  std::vector<std::string> values;
  for (t->First(); !t->Eof(); t->Next()) values.push_back(t->FieldByName(field)->AsString());
  return values;
}

// The same values in alphabetical order, for answers whose order is the engine's.
std::vector<std::string> Sorted(TDataSet* t, const std::string& field = "Name") {
  std::vector<std::string> values = Column(t, field);
  std::sort(values.begin(), values.end());
  return values;
}

class LibraryDataSets : public bdetest::LibraryFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    AccessFixture::Populate(db);  // 1 Anna 30, 2 Bert 25, 3 Carl 30
    db.CreateQueryDef("OlderThan", "PARAMETERS [MinAge] SHORT; SELECT Name FROM People WHERE Age >= [MinAge]");
    db.CreateQueryDef("Rename", "PARAMETERS [NewName] TEXT(20); UPDATE People SET Name = [NewName] WHERE Age = 25");
  }
  TTable* Table(const std::string& name = "People") {
    TTable* t = Make<TTable>();
    t->SetTableName(name);
    return t;
  }
  TQuery* Query(const std::string& sql) {
    TQuery* q = Make<TQuery>();
    q->SQL()->SetText(sql);
    return q;
  }
  // Anna becomes Ann, Bert goes, Dora (41) comes: cached for the update object.
  void CacheThreeChanges(TTable* t, TTDataSetUpdateObject* update) {
    t->SetCachedUpdates(true);
    t->SetUpdateObject(update);
    t->Open();
    t->Edit();
    t->FieldByName("Name")->SetAsString("Ann");
    t->Post();
    t->Next();
    t->Delete();
    t->AppendRecord({Variant(), Variant("Dora"), Variant(41)});
  }
  std::string FileBytes() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(LibraryDataSets, ClassNamesFollowTheClassLibrarysChainsNotTheEngines) {
  TTable table;
  TQuery query;
  TStoredProc proc;
  TDBDataSet db;
  for (TDataSet* d : std::initializer_list<TDataSet*>{&table, &query, &proc, &db}) {
    for (const char* name : {"TDBDataSet", "TBDEDataSet", "TDataSet"})
      EXPECT_TRUE(d->InheritsFrom(std::string_view(name))) << d->ClassName() << " " << name;
    for (const char* name : {"TttDBDataset", "TttBDEDataset", "TttTable", "TttQuery"})
      EXPECT_FALSE(d->InheritsFrom(std::string_view(name))) << d->ClassName() << " " << name;
  }
  EXPECT_EQ("TDBDataSet", table.ClassParent()->ClassName());
  EXPECT_EQ("TDBDataSet", proc.ClassParent()->ClassName());
  EXPECT_FALSE(proc.InheritsFrom(std::string_view("TQuery")));
  EXPECT_EQ("TComponent", Session()->ClassParent()->ClassName());
  StartAccessBinding();
  {
    TtaTable engineTable;
    for (const char* name : {"TTable", "TDBDataSet", "TBDEDataSet"})
      EXPECT_FALSE(engineTable.InheritsFrom(std::string_view(name))) << name;
  }
  StopAccessBinding();
  // Every published property reads the dataset itself.
  SetStrProp(&table, "TableName", "Orders");
  SetStrProp(&table, "DatabaseName", path_);
  EXPECT_EQ("Orders", table.TableName());
  EXPECT_EQ(path_, GetStrProp(&table, "DatabaseName"));
  SetOrdProp(&table, "TableType", ttParadox);
  EXPECT_EQ(ttParadox, table.TableType());
  SetStrProp(&proc, "StoredProcName", "OlderThan");
  EXPECT_EQ("OlderThan", proc.StoredProcName());
}

TEST_F(LibraryDataSets, NearestKeysAndIndexFieldNamesFollowTheChosenIndex) {
  TTable* t = Table();
  t->SetIndexName("ByName");
  t->Open();
  // The nearest key at or after the one asked for; the last record past them all.
  for (const auto& [asked, found] : std::vector<std::pair<std::string, std::string>>{
           {"A", "Anna"}, {"Bert", "Bert"}, {"Bz", "Carl"}, {"Zed", "Carl"}}) {
    t->FindNearest({Variant(asked)});
    EXPECT_EQ(found, t->FieldByName("Name")->AsString()) << asked;
  }
  t->SetKey();
  t->FieldByName("Name")->SetAsString("Bb");
  t->GotoNearest();
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
  t->Close();
  t->SetIndexFieldNames("Age");
  t->Open();
  // The first index whose fields begin with Age: (Age, Name descending).
  ASSERT_EQ(2, t->IndexFieldCount());
  EXPECT_EQ("Age", t->IndexFields(0)->FieldName());
  EXPECT_EQ("Name", t->IndexFields(1)->FieldName());
}

TEST_F(LibraryDataSets, StoredQueriesRunWithTheirParameters) {
  TStoredProc* proc = Make<TStoredProc>();
  proc->SetStoredProcName("OlderThan");
  proc->Params()->CreateParam(ftSmallint, "MinAge", ptInput);
  for (const auto& [minAge, names] : std::vector<std::pair<int, std::vector<std::string>>>{
           {30, {"Anna", "Carl"}}, {26, {"Anna", "Carl"}}, {20, {"Anna", "Bert", "Carl"}}, {31, {}}}) {
    proc->ParamByName("MinAge")->SetAsSmallInt(minAge);
    proc->Open();
    EXPECT_EQ(names, Sorted(proc)) << minAge;
    proc->Close();
  }
  TStoredProc* rename = Make<TStoredProc>();
  rename->SetStoredProcName("Rename");
  rename->Params()->CreateParam(ftString, "NewName", ptInput)->SetAsString("Bob");
  rename->ExecProc();
  EXPECT_EQ(1, rename->RowsAffected());
  TTable* t = Table();
  t->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bob", "Carl"}), Column(t));
}

// An update object that notes each change handed to it: kind, name before
// and after.
class TNotingUpdate : public TTDataSetUpdateObject {
 public:
  using TTDataSetUpdateObject::TTDataSetUpdateObject;
  TDataSet* GetDataSet() const override { return dataSet_; }
  void SetDataSet(TDataSet* dataSet) override { dataSet_ = dataSet; }
  void Apply(TUpdateKind kind) override {
    TField* name = dataSet_->FieldByName("Name");
    seen.push_back(std::to_string(int(kind)) + ":" + VarToStr(name->OldValue()) + ">" + VarToStr(name->NewValue()));
  }
  std::vector<std::string> seen;

 private:
  TDataSet* dataSet_ = nullptr;
};

TEST_F(LibraryDataSets, CachedChangesGoToTheUpdateObjectNotTheTable) {
  TTable* t = Table();
  TNotingUpdate update(nullptr);
  CacheThreeChanges(t, &update);
  t->ApplyUpdates();
  std::sort(update.seen.begin(), update.seen.end());
  EXPECT_EQ((std::vector<std::string>{"0:Anna>Ann", "1:>Dora", "2:Bert>"}), update.seen);
  t->ApplyUpdates();
  EXPECT_EQ(3u, update.seen.size()) << "an applied change is not handed over twice";
  t->CommitUpdates();
  TQuery* q = Query("SELECT Name FROM People ORDER BY Name");
  q->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), Column(q)) << "the table is the object's business";
  // A handler that fails a change stops the applying with an error.
  t->SetUpdateObject(nullptr);
  t->OnUpdateRecord = [](TDataSet*, TUpdateKind, TUpdateAction& action) { action = uaFail; };
  t->Edit();
  t->FieldByName("Name")->SetAsString("X");
  t->Post();
  EXPECT_THROW(t->ApplyUpdates(), Exception);
}

TEST_F(LibraryDataSets, UpdateSqlAppliesCachedChangesWithItsStatements) {
  TTable* t = Table();
  TUpdateSQL update;
  update.ModifySQL()->SetText("UPDATE People SET Name = :Name WHERE Id = :OLD_Id");
  update.InsertSQL()->SetText("INSERT INTO People (Name, Age) VALUES (:Name, :Age)");
  update.DeleteSQL()->SetText("DELETE FROM People WHERE Id = :OLD_Id");
  CacheThreeChanges(t, &update);
  t->ApplyUpdates();
  t->CommitUpdates();
  TQuery* q = Query("SELECT Name, Age FROM People ORDER BY Name");
  q->Open();
  EXPECT_EQ((std::vector<std::string>{"Ann", "Carl", "Dora"}), Column(q));
  EXPECT_EQ((std::vector<std::string>{"30", "30", "41"}), Column(q, "Age"));
}

TEST_F(LibraryDataSets, TransactionsCommitOrRollBack) {
  TDatabase* db = new TDatabase(Session());
  db->SetDatabaseName(path_);
  EXPECT_THROW(db->StartTransaction(), EDatabaseError) << "closed";
  db->Open();
  for (bool commit : {false, true}) {
    db->StartTransaction();
    EXPECT_THROW(db->StartTransaction(), EDatabaseError);
    Query("INSERT INTO People (Name) VALUES ('Tmp')")->ExecSQL();
    commit ? db->Commit() : db->Rollback();
    EXPECT_FALSE(db->InTransaction());
    TQuery* count = Query("SELECT Name FROM People WHERE Name = 'Tmp'");
    count->Open();
    EXPECT_EQ(commit ? 1 : 0, int(Column(count).size())) << commit;
  }
  EXPECT_THROW(db->Commit(), EDatabaseError);
}

TEST_F(LibraryDataSets, BadInputLeavesTheDatasetClosedAndTheFileUntouched) {
  const std::string before = FileBytes();
  struct TBad {
    const char* what;
    std::function<TDataSet*()> make;
    const char* message;
  };
  const TBad cases[] = {
      {"dBASE table", [&] { TTable* t = Table(); t->SetTableType(ttDBase); return t; }, "DBASE"},
      {"ASCII table", [&] { TTable* t = Table(); t->SetTableType(ttASCII); return t; }, "ASCIIDRV"},
      {"missing table", [&] { return Table("Nowhere"); }, "Nowhere"},
      {"missing alias", [&] { TTable* t = Table(); t->SetDatabaseName("NoSuchAlias"); return t; }, "NoSuchAlias"},
      {"bad SQL", [&] { return Query("SELEKT * FROM People"); }, "Invalid SQL statement"},
      {"no SQL", [&] { return Query(""); }, "No SQL statement available"},
      {"stored query without a name", [&] { return Make<TStoredProc>(); }, "Missing StoredProcName property"},
      {"missing stored query", [&] { TStoredProc* p = Make<TStoredProc>(); p->SetStoredProcName("Nowhere"); return p; }, "Nowhere"},
  };
  for (const auto& c : cases) {
    TDataSet* d = c.make();
    try {
      d->Open();
      ADD_FAILURE() << c.what << " opened";
    } catch (const Exception& e) {
      EXPECT_NE(std::string::npos, e.Message().find(c.message)) << c.what << ": " << e.Message();
    }
    EXPECT_FALSE(d->Active()) << c.what;
  }
  owned_.clear();
  StopSessions();
  EXPECT_TRUE(before == FileBytes()) << "the database file changed";
}

TEST_F(LibraryDataSets, ARefusedPasswordAsksThePasswordBoxAgain) {
  const std::string locked = dir_ + "/Locked.MDB";
  dao::TDatabaseCore::Create(locked, ";pwd=secret");
  {
    dao::TDatabaseCore db(locked, false, false, ";pwd=secret");
    db.Execute("CREATE TABLE T (Name TEXT(10))");
  }
  // A handler that goes on without a new password ends the asking.
  Session()->OnPassword = [](TObject*, bool& go) { go = true; };
  Session()->AddPassword("wrong again");
  TTable* handled = Table("T");
  handled->SetDatabaseName(locked);
  EXPECT_THROW(handled->Open(), Exception);
  Session()->OnPassword = nullptr;
  struct TCase {
    std::vector<std::string> typed;  // answers of the box, in order; "" cancels
    bool opens;
  };
  const TCase cases[] = {{{""}, false}, {{"wrong", "wrong"}, false}, {{"wrong", "secret"}, true}};
  for (const auto& c : cases) {
    Session()->RemoveAllPasswords();
    Session()->AddPassword("stale");
    std::size_t asked = 0;
    // The class library's password box: its one edit takes the answer.
    TDialogResponderScope scope([&](TDialogRequest& r) {
      EXPECT_EQ(TDialogKind::Form, r.Kind);
      EXPECT_EQ("Enter password", r.Caption);
      const std::vector<TEdit*> edits = EditsOf(r.Dialog);
      EXPECT_EQ(1u, edits.size());
      if (edits.empty() || asked >= c.typed.size() || c.typed[asked].empty()) return ++asked, mrCancel;
      EXPECT_NE(0u, edits[0]->PasswordChar()) << "what is typed stays hidden";
      edits[0]->SetText(c.typed[asked++]);
      return mrOk;
    });
    TTable* t = Table("T");
    t->SetDatabaseName(locked);
    try {
      t->Open();
    } catch (const Exception& e) {
      EXPECT_NE(std::string::npos, e.Message().find("Not a valid password")) << e.Message();
    }
    EXPECT_EQ(c.opens, t->Active()) << c.typed.back();
    EXPECT_EQ(c.typed.size(), asked) << "one box per refused password";
    // A password given in the box is kept; a cancelled box adds none.
    EXPECT_EQ(c.typed.back().empty() ? "stale" : c.typed.back(), Session()->Passwords().back());
    t->Close();
  }
}

// A cached edit of the record another user (another connection) moved out of
// the filter stays on that record, and applying stores it there, its memo
// included: Carl (Id 3) is edited, not the next record the filter shows.
TEST_F(LibraryDataSets, ACachedEditStaysOnTheRecordAnotherUserMovedOutOfTheFilter) {
  ExecuteElsewhere("INSERT INTO People (Name, Age) VALUES ('Dora', 28)");
  TTable* t = Table();
  t->SetIndexName("PrimaryKey");
  t->SetFilter("Age < 35");
  t->SetFiltered(true);
  t->SetCachedUpdates(true);
  t->Open();
  ASSERT_TRUE(t->Locate("Name", Variant("Carl"), {}));
  ExecuteElsewhere("UPDATE People SET Age = 99 WHERE Name = 'Carl'");
  t->Edit();
  EXPECT_EQ("Carl", t->FieldByName("Name")->AsString());
  t->FieldByName("Score")->SetAsFloat(7.5);
  t->FieldByName("Notes")->SetAsString("typed");
  t->Post();
  t->ApplyUpdates();
  t->CommitUpdates();
  dao::TDatabaseCore raw(path_, false, true, "");
  auto rows = raw.Conn().Prepare("SELECT Name, Age, ifnull(Score, ''), ifnull(Notes, '') FROM People ORDER BY Id");
  std::string stored;
  while (rows->Step())
    stored += rows->ColumnText(0) + ":" + std::to_string(rows->ColumnInteger(1)) + ":" + rows->ColumnText(2) + ":" +
              rows->ColumnText(3) + " ";
  EXPECT_EQ("Anna:30:1.5: Bert:25:: Carl:99:7.5:typed Dora:28:: ", stored);
}

}  // namespace
