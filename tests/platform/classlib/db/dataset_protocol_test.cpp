// Defaults of the dataset protocol that descendants build on: cached-update
// hooks, constraints, state values, field definitions without opening.

#include <gtest/gtest.h>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"

namespace {

TEST(CachedUpdateHooks, RequireCachedUpdateMode) {
  auto ds = MakeNumbered(1);
  for (auto call : {&TDataSet::ApplyUpdates, &TDataSet::CommitUpdates, &TDataSet::CancelUpdates,
                    &TDataSet::RevertRecord}) {
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { (ds.get()->*call)(); }), "Not in cached update mode");
  }
  ds->SetCachedUpdates(true);
  EXPECT_NO_THROW(ds->ApplyUpdates());
  EXPECT_EQ(ds->UpdateStatus(), usUnmodified);
}

TEST(ConstraintsTest, DataSetAndFieldConstraints) {
  auto ds = MakeNumbered(1);
  EXPECT_EQ(ds->Constraints().Count(), 0);
  TCheckConstraint* c = ds->Constraints().Add();
  c->SetCustomConstraint("Amount > 0");
  c->SetErrorMessage("Amount must be positive");
  EXPECT_EQ(ds->Constraints().Items(0)->DisplayName(), "Amount > 0");
  EXPECT_TRUE(c->FromDictionary());
  TField* f = ds->FieldByName("Amount");
  EXPECT_FALSE(f->HasConstraints());
  f->SetCustomConstraint("x > 0");
  EXPECT_TRUE(f->HasConstraints());
  TCheckConstraints copy(nullptr);
  copy.Assign(&ds->Constraints());
  EXPECT_EQ(copy.Items(0)->ErrorMessage(), "Amount must be positive");
}

TEST(StateValues, NewValueWritesWithoutEvents) {
  auto ds = MakeNumbered(1);
  int changes = 0;
  ds->FieldByName("Name")->OnChange = [&](TField*) { ++changes; };
  ds->Edit();
  ds->FieldByName("Name")->SetNewValue(Variant("quiet"));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "quiet");
  EXPECT_EQ(VarToStr(ds->FieldByName("Name")->OldValue()), "N1");
  EXPECT_EQ(ds->State(), dsEdit);
}

TEST(FieldDefinitions, ComeUpToDateWithoutOpening) {
  TMemDataSet ds;
  ds.FieldDefs().Add("A", ftInteger);
  EXPECT_FALSE(ds.FieldDefs().Updated());
  ds.FieldDefs().Update();
  EXPECT_TRUE(ds.FieldDefs().Updated());
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.GetFieldNames(), (std::vector<std::string>{"A"}));
}

TEST(TextConversion, IsACopyHere) {
  auto ds = MakeNumbered(0);
  char out[16] = {};
  EXPECT_EQ(ds->ConvertText("abc", out, true), 3);
  EXPECT_STREQ(out, "abc");
}

TEST(RecordNumbers, DefaultsOfTheBaseProtocol) {
  auto ds = MakeNumbered(3);
  EXPECT_EQ(ds->TDataSet::GetRecordNumber(), -1);
  EXPECT_EQ(ds->TDataSet::CountRecords(), -1);
  EXPECT_FALSE(ds->TDataSet::HasStableRecordNumbers());
  EXPECT_FALSE(ds->TDataSet::FindRecordByValues("ID", Variant(1), {}));
  EXPECT_TRUE(VarIsNull(ds->TDataSet::FetchValuesByKey("ID", Variant(1), "Name")));
  EXPECT_EQ(ds->TDataSet::CreateBlobStream(ds->FieldByName("Name"), bmRead), nullptr);
}

}  // namespace
