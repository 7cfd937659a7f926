// The dataset's state machine: every transition, its events in order, and the
// errors raised on misuse.

#include <gtest/gtest.h>

#include <functional>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"

namespace {

TEST(DataSetStates, OpenAndCloseFireTheirEventsAndSetStates) {
  TMemDataSet ds;
  ds.FieldDefs().Add("ID", ftInteger);
  EventLog log;
  log.Attach(ds);
  EXPECT_EQ(ds.State(), dsInactive);
  ds.Open();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(log.Joined(), "BeforeOpen AfterOpen");  // empty: no AfterScroll
  log.Clear();
  ds.Close();
  EXPECT_EQ(ds.State(), dsInactive);
  EXPECT_EQ(log.Joined(), "BeforeClose AfterClose");
  EXPECT_EQ(ds.FieldCount(), 0) << "default fields go with the cursor";
}

TEST(DataSetStates, OpeningANonEmptyDataSetScrollsToTheFirstRecord) {
  auto ds = MakeNumbered(3);
  ds->Close();
  EventLog log;
  log.Attach(*ds);
  ds->Open();
  EXPECT_EQ(log.Joined(), "BeforeOpen AfterOpen AfterScroll");
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
}

TEST(DataSetStates, AFailingOpenLeavesTheDataSetClosed) {
  TMemDataSet ds;
  ds.FieldDefs().Add("ID", ftInteger);
  AddField<TStringField>(ds, "Missing");
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), dsInactive);
}

TEST(DataSetStates, EditPostCycle) {
  auto ds = MakeNumbered(3);
  EventLog log;
  log.Attach(*ds);
  ds->Edit();
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_FALSE(ds->Modified());
  ds->FieldByName("Name")->SetAsString("changed");
  EXPECT_TRUE(ds->Modified());
  ds->Post();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_FALSE(ds->Modified());
  EXPECT_EQ(log.Joined(), "BeforeEdit AfterEdit BeforePost AfterPost");
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "changed");
  ds->Next();
  ds->Prior();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "changed") << "the change was stored";
}

// Cancel, delete and refresh: the events each fires, in order, and the row it
// leaves current, in browse mode.
TEST(DataSetStates, CancelDeleteAndRefreshFireTheirEventsAndLandOnTheirRow) {
  const struct {
    int rows, skip;
    std::function<void(TDataSet&)> act;
    const char *events, *name;
    int count;
  } cases[] = {
      {3, 0, [](TDataSet& d) { d.Edit(); d.FieldByName("Name")->SetAsString("x"); d.Cancel(); },
       "BeforeEdit AfterEdit BeforeCancel AfterCancel", "N1", 3},  // the record restored
      {3, 0, [](TDataSet& d) { d.Delete(); }, "BeforeDelete BeforeScroll AfterDelete AfterScroll",
       "N2", 2},  // on the next record
      {5, 2, [](TDataSet& d) { d.Refresh(); }, "BeforeRefresh AfterRefresh", "N3", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.events);
    auto ds = MakeNumbered(c.rows);
    ds->MoveBy(c.skip);
    EventLog log;
    log.Attach(*ds);
    c.act(*ds);
    EXPECT_EQ(log.Joined(), c.events);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), c.name);
    EXPECT_EQ(ds->RowCount(), c.count);
  }
}

TEST(DataSetStates, InsertAndAppendEvents) {
  auto ds = MakeNumbered(2);
  EventLog log;
  log.Attach(*ds);
  ds->Insert();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(log.Joined(), "BeforeInsert BeforeScroll OnNewRecord AfterInsert AfterScroll");
  log.Clear();
  ds->Cancel();
  EXPECT_EQ(log.Joined(), "BeforeCancel BeforeScroll AfterCancel AfterScroll");
  EXPECT_EQ(ds->RowCount(), 2);
  log.Clear();
  ds->Append();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_TRUE(ds->Eof());
  ds->FieldByName("ID")->SetAsInteger(9);
  ds->Post();
  EXPECT_EQ(log.Joined(),
            "BeforeInsert BeforeScroll OnNewRecord AfterInsert AfterScroll BeforePost AfterPost");
  EXPECT_EQ(ds->RowCount(), 3);
  ds->Last();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 9);
}

TEST(DataSetStates, DeleteInInsertStateCancelsTheNewRecord) {
  auto ds = MakeNumbered(2);
  ds->Insert();
  ds->Delete();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RowCount(), 2);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
}

TEST(DataSetStates, EditOnAnEmptyDataSetInserts) {
  auto ds = MakeNumbered(0);
  ds->Edit();
  EXPECT_EQ(ds->State(), dsInsert);
}

TEST(DataSetStates, ScrollingPostsAModifiedRecordAndCancelsAnUntouchedOne) {
  auto ds = MakeNumbered(3);
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("x");
  ds->Next();  // leaves edit mode by posting
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->First();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "x");
  ds->Insert();  // untouched new record
  ds->Next();
  EXPECT_EQ(ds->RowCount(), 3) << "an untouched new record is dropped";
}

TEST(DataSetStates, MisuseRaisesTheLibraryMessages) {
  TMemDataSet ds;
  ds.FieldDefs().Add("ID", ftInteger);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Next(); }),
            "Cannot perform this operation on a closed dataset");
  EXPECT_THROW(ds.Insert(), EDatabaseError);
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  ds.Open();
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Post(); }), "Dataset not in edit or insert mode");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Delete(); }),
            "Cannot perform this operation on an empty dataset");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.FieldByName("Nope"); }), "Field 'Nope' not found");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] {
              ds.FieldDefs().Add("X", ftInteger);
              ds.SetActive(true);
              TStringField f;
              f.SetDataSet(&ds);
            }),
            "Cannot perform this operation on an open dataset");
  // Writing a field in browse mode.
  ds.AppendRecord({Variant(1)});
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.FieldByName("ID")->SetAsInteger(2); }),
            "Dataset not in edit or insert mode");
}

TEST(DataSetStates, NamedComponentsPrefixTheirMessages) {
  TMemDataSet ds;
  ds.SetName("Orders");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.First(); }),
            "Orders: Cannot perform this operation on a closed dataset");
}

TEST(DataSetStates, ReadOnlyDataSetRefusesChanges) {
  auto ds = MakeNumbered(2);
  ds->ReadOnly = true;
  EXPECT_FALSE(ds->CanModify());
  EXPECT_THROW(ds->Edit(), EDatabaseError);
  EXPECT_THROW(ds->Insert(), EDatabaseError);
  EXPECT_THROW(ds->Append(), EDatabaseError);
  EXPECT_THROW(ds->Delete(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RowCount(), 2);
}

TEST(DataSetStates, RequiredFieldMustHaveAValue) {
  auto ds = MakeNumbered(1);
  ds->FieldByName("Name")->SetRequired(true);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(5);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds->Post(); }), "Field 'Name' must have a value");
  EXPECT_EQ(ds->State(), dsInsert) << "the record stays in insert mode";
  ds->FieldByName("Name")->SetAsString("ok");
  ds->Post();
  EXPECT_EQ(ds->RowCount(), 2);
}

TEST(DataSetStates, ErrorEventDecidesFailAbortOrRetry) {
  auto ds = MakeNumbered(1);
  int failures = 2;
  ds->BeforeCursorOperation = [&](const std::string& op) {
    if (op == "post" && failures > 0) {
      --failures;
      throw EDatabaseError("engine refused");
    }
  };
  std::vector<TDataAction> answers = {daRetry, daRetry};
  int asked = 0;
  ds->OnPostError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
    EXPECT_STREQ(e.what(), "engine refused");
    action = answers[std::size_t(asked++)];
  };
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("retried");
  ds->Post();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "retried");

  // Abort: silent exception, record stays in edit mode.
  failures = 1;
  answers = {daAbort};
  asked = 0;
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("aborted");
  EXPECT_THROW(ds->Post(), EAbort);
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();

  // Fail (the default): the error itself reaches the caller.
  failures = 1;
  ds->OnPostError = nullptr;
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("failed");
  EXPECT_THROW(ds->Post(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsEdit);
}

TEST(DataSetStates, EditAndDeleteErrorsReachTheirEvents) {
  auto ds = MakeNumbered(2);
  ds->BeforeCursorOperation = [](const std::string& op) {
    throw EDatabaseError("locked: " + op);
  };
  std::string seen;
  ds->OnEditError = [&](TDataSet*, EDatabaseError& e, TDataAction&) { seen += e.Message() + ";"; };
  ds->OnDeleteError = [&](TDataSet*, EDatabaseError& e, TDataAction&) { seen += e.Message() + ";"; };
  EXPECT_THROW(ds->Edit(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_THROW(ds->Delete(), EDatabaseError);
  EXPECT_EQ(seen, "locked: edit;locked: delete;");
  EXPECT_EQ(ds->RowCount(), 2);
}

TEST(DataSetStates, OnNewRecordFailureReturnsToBrowse) {
  auto ds = MakeNumbered(2);
  ds->Next();
  ds->OnNewRecord = [](TDataSet*) { throw EDatabaseError("no defaults"); };
  EXPECT_THROW(ds->Insert(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
}

TEST(DataSetStates, OnNewRecordValuesDoNotMarkTheRecordModified) {
  auto ds = MakeNumbered(1);
  ds->OnNewRecord = [](TDataSet* d) { d->FieldByName("Name")->SetAsString("default"); };
  ds->Append();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "default");
  EXPECT_FALSE(ds->Modified());
}

TEST(DataSetStates, CheckBrowseModeAndUpdateRecord) {
  auto ds = MakeNumbered(1);
  EXPECT_THROW(ds->UpdateRecord(), EDatabaseError);
  ds->Edit();
  ds->FieldByName("Amount")->SetAsFloat(7.25);
  ds->CheckBrowseMode();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_DOUBLE_EQ(ds->FieldByName("Amount")->AsFloat(), 7.25);
}

TEST(DataSetStates, ControlsDisabledHoldNotificationsUntilEnabled) {
  auto ds = MakeNumbered(3);
  ds->DisableControls();
  ds->DisableControls();
  EXPECT_TRUE(ds->ControlsDisabled());
  ds->EnableControls();
  EXPECT_TRUE(ds->ControlsDisabled());
  ds->EnableControls();
  EXPECT_FALSE(ds->ControlsDisabled());
  ds->EnableControls();  // one too many does no harm
  EXPECT_FALSE(ds->ControlsDisabled());
}

TEST(DataSetStates, FreeingAFieldOfAnOpenDataSetClosesIt) {
  auto ds = MakeNumbered(2);
  delete ds->FieldByName("Amount");
  EXPECT_FALSE(ds->Active());
  ds->Open();
  EXPECT_EQ(ds->FieldCount(), 3) << "default fields come back";
}

TEST(DataSetStates, ALinkFailingAtOpenLeavesEverythingClosed) {
  auto ds = MakeNumbered(2);
  ds->Close();
  TDataSource source;
  source.SetDataSet(ds.get());
  TFieldDataLink link;
  link.SetFieldName("Missing");
  link.SetDataSource(&source);
  EXPECT_THROW(ds->Open(), EDatabaseError);
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(source.State(), dsInactive);
}

class TFailingOnCloseLink : public TDataLink {
 protected:
  void ActiveChanged() override {
    if (!Active()) throw EDatabaseError("control refused");
  }
};

TEST(DataSetStates, ALinkFailingAtCloseStillLeavesTheDataSetClosed) {
  auto ds = MakeNumbered(2);
  TDataSource source;
  source.SetDataSet(ds.get());
  TFailingOnCloseLink link;
  link.SetDataSource(&source);
  EXPECT_THROW(ds->Close(), EDatabaseError);
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(ds->HasOpenCursor());
  link.SetDataSource(nullptr);
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 2);
}

}  // namespace
