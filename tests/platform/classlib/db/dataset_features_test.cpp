// Calculated and lookup fields, master-detail following, record filtering,
// bookmarks, locate and lookup.

#include <gtest/gtest.h>

#include <functional>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"

namespace {

// Persistent fields made in code: ID, Name, Amount and a calculated Double.
struct CalcSet {
  TMemDataSet ds;
  TIntegerField* id;
  TStringField* name;
  TFloatField* amount;
  TFloatField* twice;
  int calcRuns = 0;
  bool failCalculations = false;  // the handler raises, as a broken one would
  CalcSet() {
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Name", ftString, 20);
    ds.FieldDefs().Add("Amount", ftFloat);
    id = AddField<TIntegerField>(ds, "ID");
    name = AddField<TStringField>(ds, "Name");
    amount = AddField<TFloatField>(ds, "Amount");
    twice = AddField<TFloatField>(ds, "Twice", fkCalculated);
    ds.OnCalcFields = [this](TDataSet*) {
      if (failCalculations) throw Exception("cannot calculate");
      ++calcRuns;
      if (!amount->IsNull()) twice->SetAsFloat(amount->AsFloat() * 2);
    };
    ds.Open();
    for (int i = 1; i <= 3; ++i) ds.AppendRecord({Variant(i), Variant("n" + std::to_string(i)), Variant(i * 10.0)});
    ds.First();
  }
};

TEST(CalculatedFields, AreComputedForEveryFetchedRecord) {
  CalcSet s;
  EXPECT_FALSE(s.ds.DefaultFields());
  EXPECT_EQ(s.twice->FieldNo(), -1);
  EXPECT_TRUE(s.twice->Calculated());
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 20.0);
  s.ds.Next();
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 40.0);
  s.ds.Last();
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 60.0);
}

TEST(CalculatedFields, TheCalculatedAreaKeepsItsSizeAcrossReopens) {
  CalcSet s;
  const int size = s.ds.CalcFieldsSize();
  EXPECT_GT(size, 0);
  for (int round = 0; round < 3; ++round) {
    s.ds.Close();
    s.ds.Open();
    EXPECT_EQ(size, s.ds.CalcFieldsSize()) << "reopened " << round + 1 << " times";
  }
}

TEST(CalculatedFields, AFailingCalculationSkipsNoRecord) {
  CalcSet s;
  s.failCalculations = true;
  EXPECT_THROW(s.ds.Next(), Exception);
  EXPECT_EQ(s.id->AsInteger(), 1);
  s.failCalculations = false;
  s.ds.Next();
  EXPECT_EQ(s.id->AsInteger(), 2) << "the record whose calculation failed is not skipped";
  s.ds.Last();
  s.failCalculations = true;
  EXPECT_THROW(s.ds.Prior(), Exception);
  s.failCalculations = false;
  s.ds.Prior();
  EXPECT_EQ(s.id->AsInteger(), 2);
}

// A new record that a failed read leaves behind would be taken for the record
// it stands before: Delete on it would remove that one.
TEST(CalculatedFields, AFailingReadLeavesNoPhantomNewRow) {
  CalcSet s;
  TDataSource source;
  source.SetDataSet(&s.ds);
  TRecordingLink grid(3);
  grid.SetDataSource(&source);
  s.ds.Next();  // on 2
  for (const auto& start : std::vector<std::function<void()>>{[&] { s.ds.Insert(); }, [] {}}) {
    start();
    s.failCalculations = true;
    EXPECT_THROW(s.ds.State() == dsInsert ? s.ds.Cancel() : s.ds.Append(), Exception);
    s.failCalculations = false;
    EXPECT_EQ(s.ds.State(), dsBrowse);
    EXPECT_FALSE(!s.ds.IsEmpty() && s.id->IsNull()) << "a new record that never came to be is shown";
    EXPECT_THROW(s.ds.Delete(), EDatabaseError);
    s.ds.First();
    EXPECT_EQ(grid.Rows("ID"), (std::vector<std::string>{"1", "2", "3"}));
  }
}

TEST(CalculatedFields, FollowDataChangesWhileEditing) {
  CalcSet s;
  s.ds.Edit();
  s.amount->SetAsFloat(1.5);
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 3.0);
  s.ds.SetAutoCalcFields(false);
  s.amount->SetAsFloat(5);
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 3.0) << "no recalculation without AutoCalcFields";
  s.ds.Cancel();
  EXPECT_DOUBLE_EQ(s.twice->AsFloat(), 20.0);
}

TEST(CalculatedFields, StartNullOnANewRecordAndCannotBeWrittenOutsideCalculation) {
  CalcSet s;
  s.ds.Append();
  EXPECT_TRUE(s.twice->IsNull());
  EXPECT_FALSE(s.twice->CanModify());
  s.ds.Cancel();
  EXPECT_THROW(s.twice->SetAsFloat(1), EDatabaseError) << "browse state";
}

TEST(CalculatedFields, StateDuringCalculationIsCalcFields) {
  CalcSet s;
  TDataSetState seen = dsInactive;
  s.ds.OnCalcFields = [&](TDataSet* d) { seen = d->State(); };
  s.ds.Refresh();
  EXPECT_EQ(seen, dsCalcFields);
  EXPECT_EQ(s.ds.State(), dsBrowse);
}

// A lookup table of codes and an entry table whose lookup field shows the text.
struct LookupSet {
  TMemDataSet codes;
  TMemDataSet entries;
  TStringField* text;
  LookupSet() {
    codes.FieldDefs().Add("Code", ftString, 1);
    codes.FieldDefs().Add("Text", ftString, 20);
    codes.Open();
    codes.AppendRecord({Variant("1"), Variant("Very High")});
    codes.AppendRecord({Variant("2"), Variant("High")});
    codes.AppendRecord({Variant("3"), Variant("Normal")});
    entries.FieldDefs().Add("ID", ftInteger);
    entries.FieldDefs().Add("Priority", ftString, 1);
    for (int i = 0; i < entries.FieldDefs().Count(); ++i)
      entries.FieldDefs()[i]->CreateField(&entries);
    text = new TStringField(&entries);
    text->SetFieldName("PriorityText");
    text->SetFieldKind(fkLookup);
    text->SetLookupDataSet(&codes);
    text->SetKeyFields("Priority");
    text->SetLookupKeyFields("Code");
    text->SetLookupResultField("Text");
    text->SetDataSet(&entries);
    entries.Open();
    entries.AppendRecord({Variant(1), Variant("2")});
    entries.AppendRecord({Variant(2), Variant("3")});
    entries.AppendRecord({Variant(3), Variant("9")});
    entries.AppendRecord({Variant(4)});
    entries.First();
  }
};

TEST(LookupFields, ShowTheResultOfTheLookupTable) {
  LookupSet s;
  EXPECT_TRUE(s.text->Lookup());
  EXPECT_EQ(s.text->AsString(), "High");
  s.entries.Next();
  EXPECT_EQ(s.text->AsString(), "Normal");
  s.entries.Next();
  EXPECT_TRUE(s.text->IsNull()) << "no such code";
  s.entries.Next();
  EXPECT_TRUE(s.text->IsNull()) << "null key";
}

TEST(LookupFields, FollowTheKeyWhileEditing) {
  LookupSet s;
  s.entries.Edit();
  s.entries.FieldByName("Priority")->SetAsString("1");
  EXPECT_EQ(s.text->AsString(), "Very High");
  s.entries.Post();
  EXPECT_EQ(s.text->AsString(), "Very High");
}

TEST(LookupFields, TheLookupTableOpensWithTheDataSet) {
  LookupSet s;
  s.entries.Close();
  s.codes.Close();
  s.entries.Open();
  EXPECT_TRUE(s.codes.Active());
  EXPECT_EQ(s.text->AsString(), "High");
  s.entries.Close();
  s.text->SetLookupResultField("Nope");
  EXPECT_THROW(s.entries.Open(), EDatabaseError) << "an unknown result field";
  EXPECT_FALSE(s.entries.Active());
}

TEST(LookupFields, IncompleteDefinitionFailsTheOpen) {
  TMemDataSet ds;
  ds.FieldDefs().Add("Key", ftInteger);
  AddField<TStringField>(ds, "L", fkLookup);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Open(); }),
            "Lookup information for field 'L' is incomplete");
  EXPECT_FALSE(ds.Active());
}

TEST(LookupFields, ForgetALookupDataSetThatIsDestroyed) {
  auto codes = std::make_unique<TMemDataSet>();
  TMemDataSet ds;
  auto* f = new TStringField(&ds);
  f->SetLookupDataSet(codes.get());
  codes.reset();
  EXPECT_EQ(f->LookupDataSet(), nullptr);
}

// Programs (master) and their entries (detail).
struct MasterDetail {
  TMemDataSet programs;
  TDataSource programSource;
  TMemDataSet entries;
  MasterDetail() {
    programs.FieldDefs().Add("Program", ftInteger);
    programs.FieldDefs().Add("Title", ftString, 10);
    programs.Open();
    programs.AppendRecord({Variant(1), Variant("Alpha")});
    programs.AppendRecord({Variant(2), Variant("Beta")});
    programs.AppendRecord({Variant(3), Variant("Gamma")});
    programs.First();
    programSource.SetDataSet(&programs);
    entries.FieldDefs().Add("Entry", ftInteger);
    entries.FieldDefs().Add("Program", ftInteger);
    entries.Open();
    int n = 0;
    for (int p : {1, 2, 1, 2, 1}) entries.AppendRecord({Variant(++n), Variant(p)});
    entries.Close();
    entries.SetMasterSource(&programSource);
    entries.SetMasterFields("Program");
    entries.SetDetailFields("Program");
    entries.Open();
  }
  std::string EntryIds() {
    std::string s;
    entries.First();
    while (!entries.Eof()) {
      s += entries.FieldByName("Entry")->AsString() + " ";
      entries.Next();
    }
    return s;
  }
};

TEST(MasterDetailTest, DetailShowsTheRecordsOfTheMaster) {
  MasterDetail m;
  EXPECT_EQ(m.EntryIds(), "1 3 5 ");
  m.programs.Next();
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 2) << "the detail followed at once";
  EXPECT_EQ(m.EntryIds(), "2 4 ");
  m.programs.Next();
  EXPECT_TRUE(m.entries.IsEmpty());
  EXPECT_EQ(m.entries.RecordCount(), 0);
}

TEST(MasterDetailTest, NewDetailRecordsTakeTheMasterValue) {
  MasterDetail m;
  m.programs.Last();
  m.entries.Append();
  EXPECT_EQ(m.entries.FieldByName("Program")->AsInteger(), 3);
  m.entries.FieldByName("Entry")->SetAsInteger(9);
  m.entries.Post();
  EXPECT_EQ(m.EntryIds(), "9 ");
}

TEST(MasterDetailTest, ChangingTheMasterKeyRefollows) {
  MasterDetail m;
  m.programs.Edit();
  m.programs.FieldByName("Program")->SetAsInteger(2);
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 2);
  m.programs.FieldByName("Title")->SetAsString("other");  // not a master field
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 2);
  m.programs.Cancel();
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 1);
}

// A long pass over the master with its controls still: the details follow
// only while every disable in force keeps them following; the controls hear
// one change at the end either way.
TEST(MasterDetailTest, DisablingControlsKeepingDetailsStillMovesTheDetail) {
  struct Case {
    const char* name;
    std::function<void(TDataSet&)> disable, enable;
    int firstEntry;  // of the detail after the master moved to program 2
  };
  const Case cases[] = {
      {"keeping details", [](TDataSet& d) { d.DisableControlsKeepingDetails(); },
       [](TDataSet& d) { d.EnableControlsKeepingDetails(); }, 2},
      {"plain", [](TDataSet& d) { d.DisableControls(); }, [](TDataSet& d) { d.EnableControls(); }, 1},
      {"keeping inside plain",
       [](TDataSet& d) {
         d.DisableControls();
         d.DisableControlsKeepingDetails();
       },
       [](TDataSet& d) {
         d.EnableControlsKeepingDetails();
         d.EnableControls();
       },
       1},
  };
  for (const Case& c : cases) {
    MasterDetail m;
    TRecordingLink control;
    control.SetDataSource(&m.programSource);
    control.Clear();
    c.disable(m.programs);
    m.programs.Next();
    EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), c.firstEntry) << c.name;
    EXPECT_EQ(control.Joined(), "") << c.name;
    c.enable(m.programs);
    EXPECT_FALSE(m.programs.ControlsDisabled()) << c.name;
    EXPECT_EQ(control.Joined(), "changed") << c.name;
    EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 2) << c.name << ": caught up at the end";
  }
}

TEST(MasterDetailTest, APlainDisableInsideAKeepingOneStopsTheDetailUntilReleased) {
  MasterDetail m;
  m.programs.DisableControlsKeepingDetails();
  m.programs.DisableControls();
  m.programs.Next();
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 1);
  m.programs.EnableControls();
  EXPECT_TRUE(m.programs.ControlsDisabled());
  m.programs.Prior();
  m.programs.Next();
  EXPECT_EQ(m.entries.FieldByName("Entry")->AsInteger(), 2) << "following again";
  m.programs.EnableControlsKeepingDetails();
  m.programs.EnableControlsKeepingDetails();  // one too many: nothing to release
  EXPECT_FALSE(m.programs.ControlsDisabled());
}

TEST(MasterDetailTest, ClosingTheMasterShowsAllDetails) {
  MasterDetail m;
  m.programs.Close();
  EXPECT_EQ(m.EntryIds(), "1 2 3 4 5 ");
  m.programs.Open();
  EXPECT_EQ(m.EntryIds(), "1 3 5 ");
}

TEST(MasterDetailTest, PendingDetailEditsArePostedWhenTheMasterMoves) {
  MasterDetail m;
  m.entries.Edit();
  m.entries.FieldByName("Entry")->SetAsInteger(11);
  m.programs.Next();
  m.programs.Prior();
  EXPECT_EQ(m.EntryIds(), "11 3 5 ");
}

TEST(Filtering, OnFilterRecordHidesRefusedRecords) {
  auto ds = MakeNumbered(6);
  ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
    EXPECT_EQ(d->State(), dsFilter);
    accept = d->FieldByName("ID")->AsInteger() % 2 == 0;
  });
  EXPECT_EQ(ds->RecordCount(), 6) << "not filtered yet";
  ds->SetFiltered(true);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(ds->RecordCount(), 3);
  ds->Last();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 6);
  EXPECT_FALSE(ds->HasStableRecordNumbers());
  ds->SetFiltered(false);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(ds->RecordCount(), 6);
}

TEST(Filtering, FieldsCannotBeChangedToFailAFilterSilently) {
  auto ds = MakeNumbered(4);
  ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
    accept = d->FieldByName("Name")->AsString() != "hidden";
  });
  ds->SetFiltered(true);
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("hidden");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2) << "the record left the view; the next one shows";
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(ds->RowCount(), 4) << "the record itself was stored";
}

TEST(Filtering, FindFirstNextPriorLastSearchWithTheFilterEvent) {
  auto ds = MakeNumbered(6);
  ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
    accept = d->FieldByName("ID")->AsInteger() % 3 == 0;
  });
  EXPECT_TRUE(ds->FindFirst());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  EXPECT_TRUE(ds->Found());
  EXPECT_TRUE(ds->FindNext());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 6);
  EXPECT_FALSE(ds->FindNext());
  EXPECT_FALSE(ds->Found());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 6) << "a failed search stays";
  EXPECT_TRUE(ds->FindPrior());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  EXPECT_TRUE(ds->FindLast());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 6);
  EXPECT_EQ(ds->RecordCount(), 6) << "searching does not filter the view";
}

TEST(Bookmarks, ReturnToTheMarkedRecord) {
  auto ds = MakeNumbered(10);
  ds->MoveBy(6);
  TBookmarkStr mark = ds->Bookmark();
  ASSERT_FALSE(mark.empty());
  TBookmark b = ds->GetBookmark();
  ds->First();
  ds->SetBookmark(mark);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 7);
  ds->Last();
  ds->GotoBookmark(b);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 7);
  EXPECT_TRUE(ds->CheckBookmark(b));
  TBookmark first = nullptr;
  ds->First();
  first = ds->GetBookmark();
  EXPECT_EQ(ds->CompareBookmarks(first, b), -1);
  EXPECT_EQ(ds->CompareBookmarks(b, first), 1);
  EXPECT_EQ(ds->CompareBookmarks(b, b), 0);
  EXPECT_EQ(ds->CompareBookmarks(nullptr, nullptr), 0);
  EXPECT_EQ(ds->CompareBookmarks(b, nullptr), -1);
  EXPECT_EQ(ds->CompareBookmarks(nullptr, b), 1);
  TDataSet::FreeBookmark(first);
  TDataSet::FreeBookmark(b);
}

TEST(Bookmarks, ABookmarkOfADeletedRecordIsInvalid) {
  auto ds = MakeNumbered(3);
  ds->Next();
  TBookmarkStr mark = ds->Bookmark();
  ds->Delete();
  EXPECT_FALSE(ds->CheckBookmark(mark.data()));
  EXPECT_THROW(ds->SetBookmark(mark), EDatabaseError);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3) << "a failed jump keeps the position";
}

TEST(Bookmarks, NoBookmarkOnANewOrEmptyRecord) {
  auto ds = MakeNumbered(0);
  EXPECT_TRUE(ds->Bookmark().empty());
  EXPECT_EQ(ds->GetBookmark(), nullptr);
  ds->Append();
  EXPECT_TRUE(ds->Bookmark().empty());
  ds->GotoBookmark(nullptr);  // nothing happens
}

TEST(LocateAndLookup, LocateMovesToTheFirstMatch) {
  auto ds = MakeNumbered(5);
  EXPECT_TRUE(ds->Locate("Name", Variant("N4"), {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);
  EXPECT_FALSE(ds->Locate("Name", Variant("n2"), {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4) << "a miss stays";
  EXPECT_TRUE(ds->Locate("Name", Variant("n2"), {loCaseInsensitive}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_TRUE(ds->Locate("ID;Name", VarArrayOf({Variant(5), Variant("N5")}), {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
  EXPECT_FALSE(ds->Locate("ID;Name", VarArrayOf({Variant(5), Variant("N4")}), {}));
  ds->Edit();
  ds->FieldByName("Name")->SetAsString("Nine");
  EXPECT_TRUE(ds->Locate("Name", Variant("Ni"), {loPartialKey}));
  EXPECT_EQ(ds->State(), dsBrowse) << "locate posts first";
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
  EXPECT_THROW(ds->Locate("Nope", Variant(1), {}), EDatabaseError);
}

TEST(LocateAndLookup, LookupReadsWithoutMoving) {
  auto ds = MakeNumbered(5);
  ds->Next();
  Variant v = ds->Lookup("ID", Variant(4), "Name");
  EXPECT_EQ(VarToStr(v), "N4");
  Variant both = ds->Lookup("ID", Variant(3), "Name;Amount");
  EXPECT_EQ(VarToStr(dbvar::Item(both, 0)), "N3");
  EXPECT_DOUBLE_EQ(dbvar::Item(both, 1).AsDouble(), 4.5);
  EXPECT_TRUE(VarIsNull(ds->Lookup("ID", Variant(99), "Name")));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
}

TEST(FieldValuesTest, ReadAndWriteByNameLists) {
  auto ds = MakeNumbered(2);
  EXPECT_EQ(ds->FieldValues("ID").AsInteger(), 1);
  Variant pair = ds->FieldValues("ID; Name");
  EXPECT_EQ(dbvar::ItemCount(pair), 2);
  EXPECT_EQ(VarToStr(dbvar::Item(pair, 1)), "N1");
  ds->Edit();
  ds->SetFieldValues("ID;Name", VarArrayOf({Variant(8), Variant("eight")}));
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "eight");
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 8);
  EXPECT_THROW(ds->FieldValues("ID;Nope"), EDatabaseError);
}

}  // namespace
