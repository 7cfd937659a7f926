// The engine datasets over a real database file: their settings lists, the
// picture-mask check before every post and how the library sees their class.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfilterinstall.h"
#include "datactrls/wwtadatasets.h"
#include "dbengine/accbinding_fixture.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/strings.h"

namespace {

class TMaskForm : public TComponent {
  DECLARE_CLASS(TMaskForm, TComponent)
 public:
  explicit TMaskForm(TComponent* owner = nullptr) : TComponent(owner) {}
};

}  // namespace
IMPLEMENT_CLASS(TMaskForm, TComponent)

namespace {

class EngineDataSets : public accesstest::BindingFixture {
 protected:
  // Names as the database file holds them, read by a table of its own.
  std::vector<std::string> StoredNames() {
    auto t = MakeTable();
    t->Open();
    return accesstest::ColumnOf(t.get());
  }
  // A form that places a table over People whose Name takes four letters.
  std::string FormText(bool validate) {
    return "object Form1: TMaskForm\n"
           "  object People: TwwtaTable\n"
           "    DatabaseName = '" + path_ + "'\n"
           "    TableName = 'People'\n"
           "    IndexName = 'ByName'\n"
           "    PictureMasks.Strings = (\n"
           "      'Name'#9'&&&&'#9'T'#9'T')\n"
           "    ValidateWithMask = " + (validate ? "True" : "False") + "\n"
           "  end\n"
           "end\n";
  }
  static std::string PostError(TDataSet* d) {
    try {
      d->Post();
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "posted";
  }
};

TEST_F(EngineDataSets, APostBreakingAMaskNeverReachesTheDatabase) {
  TMaskForm form;
  ReadComponentFromText(FormText(true), &form);
  auto* table = As<TwwtaTable>(form.FindComponent("People"));
  ASSERT_NE(nullptr, table);
  ASSERT_TRUE(table->ValidateWithMask);
  std::vector<std::string> events;
  table->BeforePost = [&](TDataSet*) { events.push_back("BeforePost"); };
  table->OnInvalidValue = [&](TObject* sender, TField* field) {
    EXPECT_EQ(table, sender);
    events.push_back("invalid " + field->FieldName());
  };
  table->Open();
  ASSERT_TRUE(table->FindKey({Variant(std::string("Bert"))}));
  table->Edit();
  table->FieldByName("Name")->SetAsString("Be7");
  EXPECT_EQ("Invalid characters. Field : Name", PostError(table));
  EXPECT_EQ((std::vector<std::string>{"BeforePost", "invalid Name"}), events);
  EXPECT_EQ(dsEdit, table->State()) << "the record stays in edit";
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), StoredNames());

  // A value that fits its mask goes through.
  table->Cancel();
  table->Append();
  table->FieldByName("Name")->SetAsString("Dora");
  EXPECT_EQ("posted", PostError(table));
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl", "Dora"}), StoredNames());
  table->Close();
}

TEST_F(EngineDataSets, ALiveQueryChecksItsMasksToo) {
  auto q = Make<TwwtaQuery>();
  q->SQL()->Add("SELECT * FROM People");
  q->SetRequestLive(true);
  q->PictureMasks()->Add("Name\t&&&&\tT\tT");
  std::vector<std::string> told;
  q->OnInvalidValue = [&](TObject*, TField* field) { told.push_back(field->FieldName()); };
  q->Open();
  ASSERT_TRUE(q->CanModify());
  q->Edit();
  q->FieldByName("Name")->SetAsString("A1");
  EXPECT_EQ("Invalid characters. Field : Name", PostError(q.get()));
  EXPECT_EQ(std::vector<std::string>{"Name"}, told);
  q->Cancel();
  q->ValidateWithMask = false;  // switched off, any value posts untold
  q->Edit();
  q->FieldByName("Name")->SetAsString("A1");
  EXPECT_EQ("posted", PostError(q.get()));
  EXPECT_EQ(1u, told.size());
  q->Close();
  EXPECT_EQ((std::vector<std::string>{"A1", "Bert", "Carl"}), StoredNames());
}

TEST_F(EngineDataSets, TheLibraryFindsTheirSettingsByName) {
  TwwtaTable table;
  TwwtaQuery query;
  for (TDataSet* d : std::initializer_list<TDataSet*>{&table, &query}) {
    SCOPED_TRACE(d->ClassName());
    TStrings* masks = wwGetPictureMasksList(d);
    ASSERT_NE(nullptr, masks);
    TStrings* controls = wwGetControlTypeList(d);
    ASSERT_NE(nullptr, controls);
    EXPECT_EQ(0, masks->Count());
    EXPECT_TRUE(wwGetValidateWithMask(d)) << "checked from construction";
    EXPECT_EQ(nullptr, wwGetLookupFieldsList(d)) << "lookup settings are not theirs";
    EXPECT_EQ(nullptr, wwGetLookupLinksList(d));
    EXPECT_TRUE(wwIsWwDataSet(d)) << "it publishes ControlType";

    // Setting a list copies it into the dataset's own.
    TStringList given;
    given.Add("Name\t&&&&\tT\tT");
    SetObjectProp(d, "PictureMasks", &given);
    given.Clear();
    ASSERT_EQ(1, masks->Count());
    EXPECT_EQ("&&&&", wwGetPictureMask(d, "name", false).Mask);
    EXPECT_TRUE(wwSetControlType(d, "Active", "CheckBox", "True;False"));
    EXPECT_EQ("True;False", wwGetControlType(d, "Active").Parameter);
    EXPECT_EQ(1, controls->Count());
  }
  bool told = false;
  query.OnInvalidValue = [&](TObject*, TField*) { told = true; };
  TwwInvalidValueEvent handler = wwGetOnInvalidValue(&query);
  ASSERT_TRUE(bool(handler));
  handler(&query, nullptr);
  EXPECT_TRUE(told);
}

TEST_F(EngineDataSets, TheyAreNeitherTheClassLibrarysNorTheLibrarysTables) {
  TwwtaTable table;
  TwwtaQuery query;
  for (TDataSet* d : std::initializer_list<TDataSet*>{&table, &query})
    for (const char* name : {"TTable", "TQuery", "TwwTable", "TwwQuery", "TBDEDataSet", "TDBDataSet"})
      EXPECT_FALSE(wwInheritsFromName(d, name)) << d->ClassName() << " counts as " << name;
  EXPECT_TRUE(wwInheritsFromName(&table, "TttTable"));
  EXPECT_TRUE(wwInheritsFromName(&query, "tttquery"));

  table.SetDatabaseName(path_);
  table.SetTableName("People");
  table.Open();
  EXPECT_TRUE(wwNeedsLocalSearch(table.FieldByName("Name"))) << "searched as any other dataset";
  table.Close();
}

TEST_F(EngineDataSets, ValidateWithMaskIsAlwaysWrittenToForms) {
  TMaskForm form;
  form.SetName("Form1");
  auto* table = new TwwtaTable(&form);
  table->SetName("People");
  auto* query = new TwwtaQuery(&form);
  query->SetName("Open");
  query->ValidateWithMask = false;
  table->ControlType()->Add("Active;CheckBox;True;False");
  std::string written = WriteComponentToText(&form);
  EXPECT_NE(std::string::npos, written.find("ValidateWithMask = True")) << written;
  EXPECT_NE(std::string::npos, written.find("ValidateWithMask = False")) << written;

  TMaskForm copy;
  ReadComponentFromText(written, &copy);
  auto* readTable = As<TwwtaTable>(copy.FindComponent("People"));
  auto* readQuery = As<TwwtaQuery>(copy.FindComponent("Open"));
  ASSERT_NE(nullptr, readTable);
  ASSERT_NE(nullptr, readQuery);
  EXPECT_TRUE(readTable->ValidateWithMask);
  EXPECT_FALSE(readQuery->ValidateWithMask);
  ASSERT_EQ(1, readTable->ControlType()->Count());
  EXPECT_EQ("Active;CheckBox;True;False", readTable->ControlType()->Strings(0));
}

}  // namespace

namespace {

class AliasPaths : public accesstest::BindingFixture {};

TEST_F(AliasPaths, TheEnginesConfigurationGivesTheAliasPath) {
  TStringList params;
  params.Add("PATH=" + path_);
  AccessDefaultSession()->SetActive(true);
  AccessDefaultSession()->AddAlias("Bugs", "ACCESS", &params, 7);
  EXPECT_EQ(path_, wwGetAliasPath("Bugs"));
  EXPECT_EQ("", wwGetAliasPath("Nowhere")) << "an unknown alias has no node";
  EXPECT_EQ("", wwGetAliasPath(""));
}

TEST_F(AliasPaths, TheSessionStartsWhenNeededAndAFailedStartGivesNoPath) {
  EXPECT_FALSE(AccessDefaultSession()->Active());
  EXPECT_EQ("", wwGetAliasPath("Bugs"));
  EXPECT_TRUE(AccessDefaultSession()->Active()) << "the configuration is read through the engine";
  StopAccessBinding();

  // Without a database engine the session cannot start: no path, no failure.
  accesstest::SetClassKey("\\DAO.DBEngine.35", false);
  accesstest::SetClassKey("\\DAO.DBEngine", false);
  ResetSharedDAOEngine();
  EXPECT_EQ("", wwGetAliasPath("Bugs"));
  EXPECT_FALSE(AccessDefaultSession()->Active());
}

}  // namespace

namespace {

// Keeps the records whose Age field is above 26, read through the engine.
std::uint16_t OlderThan26(std::intptr_t clientData, std::uint8_t* record, std::int32_t) {
  auto* table = reinterpret_cast<TwwtaTable*>(clientData);
  std::int16_t age = 0;
  bool blank = true;
  table->Engine()->GetField(table->Handle(), std::uint16_t(table->FieldByName("Age")->FieldNo()),
                            record, &age, blank);
  return !blank && age > 26 ? 1 : 0;
}

class EngineTableFilters : public accesstest::BindingFixture {};

TEST_F(EngineTableFilters, CompiledAndCallbackFiltersNarrowARealTable) {
  auto table = Make<TwwtaTable>();
  table->SetTableName("People");
  table->Open();
  TwwCursorFilterEngine engine(table->Handle());
  TwwFilterHandle handle = nullptr;

  ASSERT_TRUE(wwApplyFilterExpression("Name <> \"Bert\" and Score > 1", table.get(), engine, handle, false));
  EXPECT_EQ((std::vector<std::string>{"Anna"}), accesstest::ColumnOf(table.get()));

  // A callback replaces the expression.
  ASSERT_TRUE(wwInstallCallbackFilter(&OlderThan26, table.get(), engine, handle));
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), accesstest::ColumnOf(table.get()));
  // An engine table is no table of the class library: it is re-read around its
  // current record instead of going back to the first.
  table->Last();
  ASSERT_TRUE(wwInstallCallbackFilter(&OlderThan26, table.get(), engine, handle));
  EXPECT_EQ("Carl", table->FieldByName("Name")->AsString());

  ASSERT_TRUE(wwInstallCallbackFilter(nullptr, table.get(), engine, handle));
  EXPECT_EQ(nullptr, handle);
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), accesstest::ColumnOf(table.get()));
  table->Close();
}

}  // namespace
