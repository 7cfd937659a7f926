// Notifications from a dataset through its data sources to the data links.

#include <gtest/gtest.h>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"

namespace {

TEST(DataEvents, NumberingIsStable) {
  // Descendants and the engine rely on these numbers.
  EXPECT_EQ(int(deFieldChange), 0);
  EXPECT_EQ(int(deRecordChange), 1);
  EXPECT_EQ(int(deDataSetChange), 2);
  EXPECT_EQ(int(deDataSetScroll), 3);
  EXPECT_EQ(int(deUpdateRecord), 5);
  EXPECT_EQ(int(deUpdateState), 6);
  EXPECT_EQ(int(deCheckBrowseMode), 7);
  EXPECT_EQ(int(dePropertyChange), 8);
  EXPECT_EQ(int(dsCalcFields), 5);
  EXPECT_EQ(int(dsSetKey), 4);
  EXPECT_EQ(int(ftCursor), 22);
}

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = MakeNumbered(3);
    ds->Close();
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
  }
  std::unique_ptr<TMemDataSet> ds;
  TDataSource source;
  TRecordingLink link;
};

TEST_F(LinkTest, OpenCloseAndEditingReachTheLink) {
  EXPECT_FALSE(link.Active());
  ds->Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(link.Joined(), "active");
  link.Clear();
  ds->Edit();
  EXPECT_TRUE(link.Editing());
  EXPECT_EQ(link.Joined(), "checkbrowse, editing, record");
  link.Clear();
  ds->FieldByName("Name")->SetAsString("x");
  EXPECT_EQ(link.Joined(), "record Name");
  link.Clear();
  ds->Post();
  EXPECT_EQ(link.Joined(), "updatedata, checkbrowse, not editing, changed");
  link.Clear();
  ds->Close();
  EXPECT_EQ(link.Joined(), "inactive");
  EXPECT_FALSE(link.Active());
}

TEST_F(LinkTest, NavigationSendsChangeAndScroll) {
  ds->Open();
  link.Clear();
  ds->Next();
  ds->Last();
  EXPECT_EQ(link.Joined(), "checkbrowse, scrolled 1, checkbrowse, changed");
}

TEST_F(LinkTest, DisabledControlsHearOneChangeAtTheEnd) {
  ds->Open();
  link.Clear();
  ds->DisableControls();
  ds->Next();
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("y");
  ds->Post();
  EXPECT_EQ(link.Joined(), "");
  ds->EnableControls();
  EXPECT_EQ(link.Joined(), "changed");
}

TEST_F(LinkTest, ClosingWhileDisabledTellsTheLinkWhenEnabled) {
  ds->Open();
  link.Clear();
  ds->DisableControls();
  ds->Close();
  EXPECT_TRUE(link.Active());
  ds->EnableControls();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.Joined(), "inactive");
}

TEST_F(LinkTest, LayoutChangeOnFieldVisibility) {
  ds->Open();
  link.Clear();
  ds->FieldByName("Amount")->SetVisible(false);
  EXPECT_EQ(link.Joined(), "layout");
}

TEST_F(LinkTest, DisabledSourceDeactivatesItsLinks) {
  ds->Open();
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(source.State(), dsInactive);
  source.SetEnabled(true);
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(source.State(), dsBrowse);
}

TEST_F(LinkTest, DataSourceEvents) {
  std::vector<std::string> seen;
  source.OnStateChange = [&](TObject*) { seen.push_back("state " + std::to_string(source.State())); };
  source.OnDataChange = [&](TObject*, TField* f) { seen.push_back(f ? "data " + f->FieldName() : "data"); };
  source.OnUpdateData = [&](TObject*) { seen.push_back("update"); };
  ds->Open();
  ds->Edit();
  ds->FieldByName("ID")->SetAsInteger(42);
  ds->Post();
  std::string all;
  for (auto& s : seen) all += s + ";";
  EXPECT_EQ(all, "state 1;data;state 2;data;data ID;update;state 1;data;");
}

TEST_F(LinkTest, AutoEditPutsTheDataSetInEditMode) {
  ds->Open();
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  source.SetAutoEdit(false);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
  link.SetReadOnly(true);
  source.SetAutoEdit(true);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(LinkTest, DestroyingTheDataSetDetachesSources) {
  ds->Open();
  ds.reset();
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_FALSE(link.Active());
}

TEST_F(LinkTest, DestroyingTheSourceDetachesLinks) {
  auto src = std::make_unique<TDataSource>(nullptr);
  TRecordingLink other;
  src->SetDataSet(ds.get());
  other.SetDataSource(src.get());
  ds->Open();
  EXPECT_TRUE(other.Active());
  src.reset();
  EXPECT_EQ(other.DataSource(), nullptr);
  EXPECT_FALSE(other.Active());
  ds->Next();  // the dataset no longer knows the source
}

// A field link on a source over three numbered records.
class FieldDataLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
  }
  std::unique_ptr<TMemDataSet> ds = MakeNumbered(3);
  TDataSource source;
  TFieldDataLink link;
};

TEST_F(FieldDataLinkTest, FollowsItsFieldOnly) {
  int changes = 0;
  link.OnDataChange = [&](TFieldDataLink*) { ++changes; };
  link.SetFieldName("Name");
  ASSERT_NE(link.Field(), nullptr);
  EXPECT_EQ(link.Field()->FieldName(), "Name");
  ds->Edit();
  changes = 0;
  ds->FieldByName("ID")->SetAsInteger(9);
  EXPECT_EQ(changes, 0) << "another field changed";
  ds->FieldByName("Name")->SetAsString("z");
  EXPECT_EQ(changes, 1);
  ds->Cancel();
  ds->Next();
  EXPECT_EQ(changes, 3);  // the cancel's window refresh, then the scroll
  EXPECT_THROW(link.SetFieldName("Nope"), EDatabaseError);
}

TEST_F(FieldDataLinkTest, WritesTheControlValueBackOnPost) {
  link.SetFieldName("Name");
  std::string controlText = "typed";
  link.OnUpdateData = [&](TFieldDataLink* l) { l->Field()->SetAsString(controlText); };
  bool editing = false;
  link.OnEditingChange = [&](TFieldDataLink* l) { editing = l->Editing(); };
  EXPECT_TRUE(link.Edit());
  EXPECT_TRUE(editing);
  link.Modified();
  ds->Post();
  EXPECT_FALSE(editing);
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "typed");
  // Unmodified controls write nothing.
  controlText = "ignored";
  ds->Edit();
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "typed");
}

TEST_F(FieldDataLinkTest, ReadOnlyFieldCannotBeEdited) {
  link.SetFieldName("ID");
  ds->FieldByName("ID")->SetReadOnly(true);
  EXPECT_FALSE(link.CanModify());
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(FieldDataLinkTest, FocusControlAsksTheLinkOfTheField) {
  TFieldDataLink idLink;
  link.SetFieldName("Name");
  idLink.SetDataSource(&source);
  idLink.SetFieldName("ID");
  std::string focused;
  link.OnFocusControl = [&](TFieldDataLink*) { focused += "Name;"; return true; };
  idLink.OnFocusControl = [&](TFieldDataLink*) { focused += "ID;"; return true; };
  ds->FieldByName("Name")->SetRequired(true);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(3);
  EXPECT_THROW(ds->Post(), EDatabaseError);
  EXPECT_EQ(focused, "Name;") << "the required field's control takes the focus";
}

TEST(CircularLinks, AreRefused) {
  TMemDataSet a, b;
  a.FieldDefs().Add("ID", ftInteger);
  b.FieldDefs().Add("ID", ftInteger);
  TDataSource sa, sb;
  sa.SetDataSet(&a);
  sb.SetDataSet(&b);
  b.SetMasterSource(&sa);  // b follows a
  // a following b closes the circle
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { a.SetMasterSource(&sb); }),
            "Circular datalinks are not allowed");
  EXPECT_THROW(a.SetMasterSource(&sa), EDatabaseError) << "a dataset cannot follow itself";
  // A source cannot show a dataset that follows the source.
  TDataSource sc;
  TMemDataSet c;
  c.SetMasterSource(&sc);
  EXPECT_THROW(sc.SetDataSet(&c), EDatabaseError);
  EXPECT_TRUE(b.IsLinkedTo(&sb));
  EXPECT_TRUE(a.IsLinkedTo(&sb)) << "sb shows b, which follows a";
  TDataSource unrelated;
  EXPECT_FALSE(a.IsLinkedTo(&unrelated));
}

}  // namespace
