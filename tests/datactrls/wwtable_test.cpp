// The library's table, query, stored procedure and example datasets over a
// scratch Access database: their class chains, opening and posting with the
// picture check, wwFilter lines on a closed and an open table, OnFilter, and
// example texts with the engine's own errors passed on.

#include <gtest/gtest.h>

#include <algorithm>

#include "bde/library_fixture.h"
#include "datactrls/wwqbe.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/db/dbtestutil.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"

namespace {

std::vector<std::string> Column(TDataSet* d, const std::string& field = "Name") {
  std::vector<std::string> values;
  for (d->First(); !d->Eof(); d->Next()) values.push_back(d->FieldByName(field)->AsString());
  return values;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

void HideBert(TDataSet* d, bool& accept) { accept = d->FieldByName("Name")->AsString() != "Bert"; }

class LibraryOwnDataSets : public bdetest::LibraryFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    AccessFixture::Populate(db);  // 1 Anna 30, 2 Bert 25, 3 Carl 30
    db.Execute("CREATE TABLE Orders (Id COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, PersonId LONG, Item TEXT(20))");
    db.Execute("UPDATE People SET Notes = '" + std::string(40000, 'n') + "' WHERE Name = 'Carl'");
    for (const char* row : {"1, 'Pen'", "2, 'Cup'", "9, 'Ink'"})
      db.Execute(std::string("INSERT INTO Orders (PersonId, Item) VALUES (") + row + ")");
    db.CreateQueryDef("OlderThan", "PARAMETERS [MinAge] SHORT; SELECT Name FROM People WHERE Age >= [MinAge]");
  }
  TwwTable* Table() {
    auto* t = Make<TwwTable>();
    t->SetTableName("People");
    return t;
  }
  static void SetLines(TwwTable* t, const std::string& text) {
    TStringList lines;
    lines.SetText(text);
    t->SetwwFilter(&lines);
  }
  TwwQBE* Qbe(const std::vector<std::string>& rows) {
    auto* q = Make<TwwQBE>();
    std::string text = "Query\r\nANSWER: :PRIV:ANSWER.DB\r\n\r\nPeople | Name | Age |\r\n";
    for (const auto& r : rows) text += r + "\r\n";
    TStringList lines;
    lines.SetText(text + "\r\nEndQuery\r\n");
    q->SetQBE(&lines);
    return q;
  }
};

TEST_F(LibraryOwnDataSets, ClassNamesFollowTheClassLibrarysChains) {
  struct TCase {
    TObject* object;
    const char* name;
    const char* base;
  };
  TwwDataSource source;
  TwwtaTable engineTable;
  for (const TCase& c : std::initializer_list<TCase>{{Make<TwwTable>(), "TwwTable", "TTable"},
                                                    {Make<TwwQuery>(), "TwwQuery", "TQuery"},
                                                    {Make<TwwStoredProc>(), "TwwStoredProc", "TStoredProc"},
                                                    {Make<TwwQBE>(), "TwwQBE", "TDBDataSet"},
                                                    {&source, "TwwDataSource", "TDataSource"}}) {
    EXPECT_EQ(c.name, c.object->ClassName());
    EXPECT_TRUE(c.object->InheritsFrom(c.base)) << c.name;
    EXPECT_FALSE(c.object->InheritsFrom("TttTable")) << c.name;
  }
  EXPECT_FALSE(Make<TwwQBE>()->InheritsFrom("TTable"));
  EXPECT_FALSE(engineTable.InheritsFrom("TTable")) << "the engine's table is no library table";
}

TEST_F(LibraryOwnDataSets, EachDataSetOpensOnTheRowsOfItsSource) {
  auto* query = Make<TwwQuery>();
  query->SQL()->SetText("SELECT Name FROM People WHERE Age = 30");
  auto* proc = Make<TwwStoredProc>();
  proc->SetStoredProcName("OlderThan");
  proc->Params()->CreateParam(ftSmallint, "MinAge", ptInput)->SetAsSmallInt(26);
  const std::pair<TDataSet*, std::vector<std::string>> cases[] = {
      {Table(), {"Anna", "Bert", "Carl"}},
      {query, {"Anna", "Carl"}},
      {proc, {"Anna", "Carl"}},
      {Qbe({"| Check | <30 |"}), {"Bert"}},
  };
  for (const auto& [d, names] : cases) {
    d->Open();
    EXPECT_EQ(names, Sorted(Column(d))) << d->ClassName();
  }
}

TEST_F(LibraryOwnDataSets, APostBreakingAPictureMaskStaysInEdit) {
  TwwTable* t = Table();
  t->PictureMasks()->SetText("Name\t&&&&\tT\tT");
  std::vector<std::string> invalid;
  t->OnInvalidValue = [&](TObject*, TField* f) { invalid.push_back(f->FieldName()); };
  t->Open();
  t->Edit();
  t->FieldByName("Name")->SetAsString("An7a");
  EXPECT_THROW(t->Post(), EDatabaseError);
  EXPECT_EQ(dsEdit, t->State());
  EXPECT_EQ(std::vector<std::string>{"Name"}, invalid);
  t->FieldByName("Name")->SetAsString("Anja");
  t->Post();
  t->ValidateWithMask = false;
  t->Next();
  t->Edit();
  t->FieldByName("Name")->SetAsString("B0b");
  t->Post();
  EXPECT_EQ((std::vector<std::string>{"Anja", "B0b", "Carl"}), Sorted(Column(t)));
}

TEST_F(LibraryOwnDataSets, FilterLinesJoinAndApplyOnOpenAndWhenChanged) {
  TwwTable* t = Table();
  SetLines(t, "Age = 30  \t\n\nName <> \"Carl\"");
  EXPECT_EQ("Age = 30 AND (Name <> \"Carl\")", t->JoinedFilter());
  t->Open();
  EXPECT_NE(nullptr, t->ExpressionHandle());
  EXPECT_EQ(std::vector<std::string>{"Anna"}, Column(t));
  SetLines(t, "Age < 30");
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(t));
  SetLines(t, "");
  EXPECT_EQ(3, int(Column(t).size()));
}

// A change that cannot be built keeps the installed filter known, so that a
// later change replaces it instead of leaving it orphaned on the cursor.
TEST_F(LibraryOwnDataSets, AFailedFilterChangeLeavesNoOrphanedFilter) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  TwwTable* t = Table();
  t->Open();
  SetLines(t, "Age < 30");
  TwwFilterHandle installed = t->ExpressionHandle();
  ASSERT_NE(nullptr, installed);
  SetLines(t, "Nowhere = 1");
  EXPECT_EQ(std::vector<std::string>{"Fail to set filter"}, boxes.Texts());
  EXPECT_EQ(installed, t->ExpressionHandle());
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(t));
  SetLines(t, "");
  EXPECT_EQ(nullptr, t->ExpressionHandle());
  EXPECT_EQ(3, int(Column(t).size())) << "no filter left behind";
}

TEST_F(LibraryOwnDataSets, OnFilterHidesRecordsUntilClearedOrDisabled) {
  const std::vector<std::string> notBert{"Anna", "Carl"};
  TwwTable* table = Table();
  table->SetOnFilter(HideBert);
  table->Open();  // installed while it opens
  SetLines(table, "Age = 30");  // the callback runs after the new expression
  EXPECT_EQ(notBert, Sorted(Column(table)));
  SetLines(table, "");
  EXPECT_EQ(notBert, Sorted(Column(table)));
  table->SetOnFilterOptions({});
  EXPECT_EQ(3, int(Column(table).size())) << "disabled, every record passes";
  table->SetOnFilterOptions({ofoEnabled});
  table->SetOnFilter(nullptr);
  EXPECT_EQ(3, int(Column(table).size()));
  auto* query = Make<TwwQuery>();
  query->SQL()->SetText("SELECT Name, Age FROM People");
  query->Open();
  query->SetOnFilter(HideBert);  // installed on the open query
  EXPECT_EQ(notBert, Sorted(Column(query)));
  query->SetOnFilter(nullptr);
  EXPECT_EQ(3, int(Column(query).size()));
}

TEST_F(LibraryOwnDataSets, StoredProceduresAndExamplesFilterTooAndAnExampleRerunsWhenChanged) {
  auto* proc = Make<TwwStoredProc>();
  proc->SetStoredProcName("OlderThan");
  proc->Params()->CreateParam(ftSmallint, "MinAge", ptInput)->SetAsSmallInt(20);
  TwwQBE* qbe = Qbe({"| Check | |"});
  proc->Open();
  proc->SetOnFilter(HideBert);
  qbe->SetOnFilter(HideBert);  // installed when it opens
  qbe->Open();
  for (TDataSet* d : std::initializer_list<TDataSet*>{proc, qbe})
    EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), Sorted(Column(d))) << d->ClassName();
  qbe->SetQBE(Qbe({"| Check | <30 |"})->QBE());
  EXPECT_TRUE(qbe->Active());
  EXPECT_EQ(std::vector<std::string>{}, Column(qbe));
  qbe->SetOnFilter(nullptr);
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(qbe));
}

TEST_F(LibraryOwnDataSets, ATablesQueryTextRunsInsteadOfItsTableName) {
  const std::string example = "Query\r\n\r\nPeople | Name | Age |\r\n| Check | 30 |\r\n\r\nEndQuery";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"SELECT Name FROM People\r\nWHERE Age < 30", {"Bert"}},
      {example, {"Anna", "Carl"}},
      {"qUERY" + example.substr(5), {"Anna", "Carl"}},
  };
  TwwTable* t = Table();
  for (const auto& [text, names] : cases) {
    SCOPED_TRACE(text);
    TStringList lines;
    lines.SetText(text);
    t->SetQuery(&lines);
    EXPECT_EQ("", t->TableName());
    t->Open();
    EXPECT_EQ(names, Sorted(Column(t))) << text;
  }
  t->Close();
  // A closed table reads its fields from the text's answer.
  TStringList lines;
  lines.SetText("SELECT Name, Age FROM People");
  t->SetQuery(&lines);
  t->FieldDefs().Update();
  ASSERT_EQ(2, t->FieldDefs().Count());
  EXPECT_EQ("Age", t->FieldDefs().Items(1)->Name());
  EXPECT_FALSE(t->Active());
  t->SetTableName("People");
  EXPECT_EQ(0, t->Query()->Count());
}

TEST_F(LibraryOwnDataSets, LookupFieldsAreFilledFromALibraryTable) {
  wwLookupTableFactory = [](TDataSet* owner) -> TDataSet* { return new TwwTable(owner); };
  auto* orders = Make<TwwTable>();
  orders->SetTableName("Orders");
  AddField<TIntegerField>(*orders, "PersonId");
  AddField<TStringField>(*orders, "PersonName", fkCalculated, 20);
  orders->LookupFields()->Add("PersonName;" + path_ + ";People;Name;PrimaryKey");
  orders->LookupLinks()->Add("PersonId;Id");
  orders->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", ""}), Column(orders, "PersonName"));
  EXPECT_EQ(1, orders->LookupTables()->Count());
  // A record filter reads the lookup value of the record being filtered.
  orders->SetOnFilter([&](TDataSet*, bool& accept) {
    accept = orders->wwFieldFilterValue("PersonName").AsString() == "Bert";
  });
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(orders, "PersonName"));
  orders->Close();
  EXPECT_EQ(0, orders->LookupTables()->Count()) << "freed with the open they served";
  orders->SetOnFilter(nullptr);
  orders->Open();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", ""}), Column(orders, "PersonName"));
}

// A blank number link finds nothing, keyed on the lookup table's index or
// searched without one: the lookup field is empty, as for a link no record has.
TEST_F(LibraryOwnDataSets, ABlankNumberLinkFindsNothing) {
  wwLookupTableFactory = [](TDataSet* owner) -> TDataSet* { return new TwwTable(owner); };
  ExecuteElsewhere("INSERT INTO Orders (Item) VALUES ('Box')");
  for (const char* index : {"PrimaryKey", ""}) {
    SCOPED_TRACE(std::string("index '") + index + "'");
    auto* orders = Make<TwwTable>();
    orders->SetTableName("Orders");
    AddField<TIntegerField>(*orders, "PersonId");
    AddField<TStringField>(*orders, "PersonName", fkCalculated, 20);
    orders->LookupFields()->Add("PersonName;" + path_ + ";People;Name;" + index);
    orders->LookupLinks()->Add("PersonId;Id");
    try {
      orders->Open();
      EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "", ""}), Column(orders, "PersonName"));
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message();
    }
    orders->Close();
  }
}

TEST_F(LibraryOwnDataSets, AFilterReadsWholeMemosAndRefusesUnknownNames) {
  TwwTable* t = Table();
  t->Open();
  std::vector<std::size_t> memoSizes;
  t->SetOnFilter([&](TDataSet*, bool& accept) {
    memoSizes.push_back(VarToStr(t->wwFieldFilterValue("Notes")).size());
    accept = t->wwFieldFilterValue("Name").AsString() != "Bert";
  });
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), Column(t));
  EXPECT_NE(memoSizes.end(), std::find(memoSizes.begin(), memoSizes.end(), 40000u)) << "no 32,767-byte cap";
  try {
    t->SetOnFilter([&](TDataSet*, bool&) { t->wwFieldFilterValue("Nowhere"); });
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ("Field 'Nowhere' not found", e.Message());
  }
}

TEST_F(LibraryOwnDataSets, AVerifiedKeySearchWarnsOfKeysItCannotUse) {
  struct TCase {
    std::string index;
    std::vector<std::string> values;
    bool found;
    std::string box;
  };
  const TCase cases[] = {
      {"PrimaryKey", {"2"}, true, ""},
      {"PrimaryKey", {"7"}, false, ""},
      {"PrimaryKey", {"1", "2"}, false, "Table People: FindKey has too many lookup values for index PrimaryKey"},
      {"ByName", {"\u01A1N STRA\u1E9EE K"}, true, ""},  // every case pair of the fold
      {"ByName", {"carl"}, true, ""},
  };
  TwwTable* t = Table();
  t->Open();
  t->Append();
  t->FieldByName("Name")->SetAsString("\u01A0n Stra\u00DFe \u212A");
  t->Post();
  for (const TCase& c : cases) {
    TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
    t->Close();
    t->SetIndexName(c.index);
    t->Open();
    EXPECT_EQ(c.found, t->VerifiedFindKey(c.values)) << c.index << " " << c.values[0];
    EXPECT_EQ(c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box}, boxes.Texts());
  }
  EXPECT_EQ("Carl", t->FieldByName("Name")->AsString());
}

TEST_F(LibraryOwnDataSets, ASearchFieldListSelectsTheIndexOverItsFirstField) {
  struct TCase {
    std::string indexName, indexFields, list;
    bool changed;
    std::string nameAfter, fieldsAfter;
  };
  const TCase cases[] = {
      {"PrimaryKey", "", "Name\t20\tName\nAge\t5", true, "ByName", ""},
      {"ByName", "", "name\t20", false, "ByName", ""},
      {"", "Age", "Name\t20", true, "", "Name"},
      {"", "Name", "NAME", false, "", "Name"},
      {"PrimaryKey", "", "Score\t10", false, "PrimaryKey", ""},  // no index over it
  };
  TwwTable* t = Table();
  for (const TCase& c : cases) {
    t->Close();
    c.indexFields.empty() ? t->SetIndexName(c.indexName) : t->SetIndexFieldNames(c.indexFields);
    t->Open();
    TStringList list;
    list.SetText(c.list);
    EXPECT_EQ(c.changed, t->SelectIndexForSearch(&list)) << c.list;
    EXPECT_EQ(c.nameAfter, t->IndexName()) << c.list;
    EXPECT_EQ(c.fieldsAfter, t->IndexFieldNames()) << c.list;
  }
}

TEST_F(LibraryOwnDataSets, TableKindsFollowTheTypeOrTheNamesExtension) {
  struct TCase {
    TTableType type;
    const char* name;
    bool dBase, paradox;
  };
  const TCase cases[] = {
      {ttDefault, "people.dbf", true, false}, {ttDefault, "PEOPLE.DBF", true, false},
      {ttDefault, "people.db", false, true},  {ttDefault, "People", false, false},
      {ttDBase, "People", true, false},       {ttParadox, "People", false, true},
  };
  TwwTable* t = Make<TwwTable>();
  for (const TCase& c : cases) {
    t->SetTableType(c.type);
    t->SetTableName(c.name);
    EXPECT_EQ(c.dBase, t->IsDBaseTable()) << c.name;
    EXPECT_EQ(c.paradox, t->IsParadoxTable()) << c.name;
  }
}

TEST_F(LibraryOwnDataSets, AnUntranslatableExampleRaisesTheEnginesCause) {
  TwwQBE* q = Qbe({"| Check | calc _a * 2 |"});
  try {
    q->Open();
    ADD_FAILURE() << "opened";
  } catch (const Exception& e) {
    EXPECT_NE(std::string::npos, e.Message().find("\"calc\" is not supported")) << e.Message();
  }
  EXPECT_FALSE(q->Active());
}

TEST_F(LibraryOwnDataSets, AnExampleWritesTheAnswerTableItNames) {
  TwwQBE* q = Qbe({"| Check | <30 |"});
  q->AnswerTable = "Young";
  q->Open();
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(q));
  auto* young = Make<TTable>();
  young->SetTableName("Young");
  young->Open();
  EXPECT_EQ(std::vector<std::string>{"Bert"}, Column(young));
}

TEST(wwComposeQbeLine, NamesAfterTildeBecomeOneBlankAndTheRestStaysWhole) {
  const std::string longTail(300, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"| Check ~limit |", "| Check   |"},
      {"a~b#%c d", "a  d"},
      {"~one~two", "  "},
      {"lone ~ tilde", "lone ~ tilde"},
      {"~v " + longTail, "  " + longTail},
      {"no names", "no names"},
  };
  for (const auto& [line, composed] : cases) EXPECT_EQ(composed, wwComposeQbeLine(line)) << line;
}

using testing_support::Pump;
using testing_support::ShownForm;

class LibraryFilterEscape : public LibraryOwnDataSets {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    LibraryOwnDataSets::Populate(db);
    for (int i = 0; i < 250; ++i) db.Execute("INSERT INTO Orders (PersonId, Item) VALUES (1, 'Pad')");
  }
};

// Escape held down while every record is refused (the hourglass up from the
// first refused one): filtering stops at the 100th record, every record then
// shows and OnFilterEscape runs once.
TEST_F(LibraryFilterEscape, EscapeStopsFilteringAtTheNextHundredthRecordUnderTheHourglass) {
  auto form = ShownForm();
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetFocus();
  Pump();
  auto* orders = Make<TwwTable>();
  orders->SetTableName("Orders");
  orders->SetOnFilterOptions({ofoEnabled, ofoShowHourGlass, ofoCancelOnEscape});
  int asked = 0, escapes = 0;
  orders->OnFilterEscape = [&](TObject*) { ++escapes; };
  orders->SetOnFilter([&](TDataSet*, bool& accept) {
    if (asked == 1) { EXPECT_EQ(crHourGlass, Screen->Cursor()); }
    if (++asked == 50) PostMessage(edit, CN_KEYDOWN, VK_ESCAPE, 0);
    accept = false;
  });
  std::vector<TCursor> cursors;
  orders->AfterOpen = [&](TDataSet*) { cursors.push_back(Screen->Cursor()); };
  orders->Open();
  EXPECT_EQ(100, asked);
  // The hourglass went up at the first refused record and is down again.
  EXPECT_EQ(std::vector<TCursor>{crDefault}, cursors);
  EXPECT_EQ(crDefault, Screen->Cursor());
  EXPECT_EQ(1, escapes);
  EXPECT_FALSE(orders->OnFilterOptions().Contains(ofoEnabled));
  EXPECT_EQ(253, int(Column(orders, "Item").size()));
}

}  // namespace
