// The dataset over the call layer on a real file: states, field definitions,
// bookmarks, filters, locate, cached updates and old values, blob streams.

#include <gtest/gtest.h>

#include "platform/classlib/db/dbtestutil.h"
#include "ttbinding.h"
#include "platform/classlib/core/english_settings.h"

using namespace tttest;

namespace {

std::string S(const char* text) { return text; }

class DatasetStates : public ComponentFixture {
 protected:
  void SetUp() override {
    ComponentFixture::SetUp();
    t = MakeTable();
    t->SetIndexName("ByName");
  }
  void TearDown() override {
    t.reset();
    ComponentFixture::TearDown();
  }
  std::vector<std::string> Names() { return ColumnOf(t.get()); }
  // The stored value, read past the components.
  std::string StoredAge(const std::string& name) {
    dao::TDatabaseCore raw(path_, false, true, "");
    auto rows = raw.Conn().Prepare("SELECT Age FROM People WHERE Name = ?");
    rows->Bind(1, name);
    return rows->Step() ? std::to_string(rows->ColumnInteger(0)) : "none";
  }
  std::unique_ptr<TTestTable> t;
};

// The state machine is the dataset's own (its tests hold it); here: what
// reaches the file.
TEST_F(DatasetStates, EditingCancelledKeepsTheStoredRecord) {
  t->Open();
  t->Edit();
  t->FieldByName("Age")->SetAsInteger(99);
  t->Cancel();
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_EQ("30", StoredAge("Anna"));
  t->Insert();
  t->Cancel();
  EXPECT_EQ(3u, Names().size());
}

TEST_F(DatasetStates, PostedValuesReachTheFile) {
  t->Open();
  t->Edit();
  t->FieldByName("Age")->SetAsInteger(31);
  t->FieldByName("Born")->SetAsDateTime(EncodeDate(1990, 5, 17) + EncodeTime(8, 30, 0, 0));
  t->Post();
  EXPECT_EQ("31", StoredAge("Anna"));
  t->Close();
  t->Open();
  EXPECT_EQ(31, t->FieldByName("Age")->AsInteger());
  EXPECT_EQ(EncodeDate(1990, 5, 17) + EncodeTime(8, 30, 0, 0), t->FieldByName("Born")->AsDateTime());
}

TEST_F(DatasetStates, FieldDefinitionsFollowTheEngineTypes) {
  t->Open();
  EXPECT_EQ(ftString, t->FieldDefs().Find("Name")->DataType());
  EXPECT_EQ(20, t->FieldDefs().Find("Name")->Size());
  EXPECT_EQ(ftSmallint, t->FieldDefs().Find("Age")->DataType());
  EXPECT_EQ(ftFloat, t->FieldDefs().Find("Score")->DataType());
  EXPECT_EQ(ftDateTime, t->FieldDefs().Find("Born")->DataType());
  EXPECT_EQ(ftMemo, t->FieldDefs().Find("Notes")->DataType());
  EXPECT_EQ(ftBoolean, t->FieldDefs().Find("Active")->DataType());
  // Repeated engine names get numbered; integers of odd widths get no field.
  t->FieldDefs().Clear();
  TFieldDesc d{};
  std::strcpy(d.Name, "Dup");
  d.FieldType = fldtype::ZString;
  d.Units1 = 5;
  for (int i = 0; i < 3; ++i) t->AddFieldDesc(d, false, i + 1);
  TFieldDesc small{};
  std::strcpy(small.Name, "Tiny");
  small.FieldType = fldtype::Int16;
  small.Length = 1;
  t->AddFieldDesc(small, false, 4);
  small.Length = 3;
  std::strcpy(small.Name, "Odd");
  t->AddFieldDesc(small, false, 5);
  ASSERT_EQ(4, t->FieldDefs().Count());
  EXPECT_EQ("Dup_1", t->FieldDefs()[1]->Name());
  EXPECT_EQ("Dup_2", t->FieldDefs()[2]->Name());
  EXPECT_EQ(ftSmallint, t->FieldDefs()[3]->DataType());
}

TEST_F(DatasetStates, BookmarksRecordNumbersAndCounts) {
  t->Open();
  EXPECT_EQ(0, t->CompareBookmarks(nullptr, nullptr));
  TBookmark first = t->GetBookmark();
  EXPECT_EQ(-1, t->CompareBookmarks(first, nullptr));
  EXPECT_EQ(1, t->CompareBookmarks(nullptr, first));
  t->Next();
  TBookmark second = t->GetBookmark();
  EXPECT_EQ(0, t->CompareBookmarks(first, first));
  EXPECT_NE(0, t->CompareBookmarks(first, second));
  EXPECT_TRUE(t->CheckBookmark(first));
  t->GotoBookmark(first);
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  TDataSet::FreeBookmark(first);
  TDataSet::FreeBookmark(second);
  EXPECT_EQ(-1, t->RecNo());
  t->SetRecNo(2);  // the cursor does not number its records
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  EXPECT_EQ(3, t->RecordCount());
}

TEST_F(DatasetStates, FiltersLandOnTheFirstMatch) {
  t->Open();
  t->Last();
  t->SetFilter("Age = 30");
  t->SetFiltered(true);
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), Names());
  t->Last();
  t->SetFiltered(true);  // already on: still moves to the first record
  EXPECT_EQ("Anna", t->FieldByName("Name")->AsString());
  t->SetOnFilterRecord([](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Name")->AsString() != "Anna"; });
  EXPECT_EQ((std::vector<std::string>{"Carl"}), Names());
  t->SetFiltered(false);
  EXPECT_EQ(3u, Names().size());
  // FindFirst and FindNext use the filters without filtering the dataset.
  EXPECT_TRUE(t->FindFirst());
  EXPECT_EQ("Carl", t->FieldByName("Name")->AsString());
  EXPECT_FALSE(t->FindNext());
}

TEST_F(DatasetStates, LocateAndLookupWithAndWithoutAnIndex) {
  t->Open();
  EXPECT_TRUE(t->Locate("Name", Variant(S("Carl")), {}));
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_TRUE(t->Locate("Name", Variant(S("be")), TLocateOptions{loCaseInsensitive, loPartialKey}));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
  EXPECT_TRUE(t->Locate("Age", Variant(25), {}));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
  EXPECT_FALSE(t->Locate("Age", Variant(77), {}));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString()) << "a failed locate stays put";
  EXPECT_EQ(S("Carl"), t->Lookup("Age;Name", dbvar::MakeArray({Variant(30), Variant(S("Carl"))}), "Name").AsString());
  EXPECT_TRUE(dbvar::IsNullish(t->Lookup("Name", Variant(S("Nobody")), "Age")));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString()) << "lookup does not move";
}

// Without an index the values are compared as values: a double or a currency
// amount whose shortest text differs from its 15-digit text is still found.
TEST_F(DatasetStates, LocateWithoutAnIndexComparesNumbersAsValues) {
  {
    dao::TDatabaseCore raw(path_, false, false, "");
    raw.Execute("UPDATE People SET Pay = 12.3456 WHERE Name = 'Bert'");
    auto score = raw.Conn().Prepare("UPDATE People SET Score = ? WHERE Name = 'Carl'");
    score->Bind(1, dao::Cell::MakeReal(0.1 + 0.2)).Step();
  }
  t->Open();
  const struct {
    const char* fields;
    Variant values;
    const char* found;  // nullptr: no record
  } cases[] = {
      {"Score", Variant(0.1 + 0.2), "Carl"},
      {"Score", Variant(0.3), nullptr},
      {"Pay", Variant(12.3456), "Bert"},
      {"Pay", Variant(12.3457), nullptr},
      {"Age;Score", dbvar::MakeArray({Variant(30), Variant(0.1 + 0.2)}), "Carl"},
      {"Score;Name", dbvar::MakeArray({Variant(1.5), Variant(S("Anna"))}), "Anna"},
  };
  for (const auto& c : cases) {
    t->First();
    EXPECT_EQ(c.found != nullptr, t->Locate(c.fields, c.values, {})) << c.fields;
    if (c.found) { EXPECT_EQ(c.found, t->FieldByName("Name")->AsString()) << c.fields; }
  }
  // The value the dataset itself shows finds its record.
  t->Locate("Name", Variant(S("Bert")), {});
  Variant pay = t->FieldByName("Pay")->AsVariant();
  t->First();
  EXPECT_EQ(S("Bert"), t->Lookup("Pay", pay, "Name").AsString());
}

// A table opened on no index counts its first index as its own, though its
// records stay in their stored order: a locate by that index's key finds the
// record, and the order is kept.
TEST_F(DatasetStates, LocateByTheFirstIndexOfATableOpenedWithoutAnIndex) {
  t->SetIndexName("");
  t->Open();
  for (const int id : {2, 3, 1, 99}) {
    EXPECT_EQ(id != 99, t->Locate("Id", Variant(id), {})) << id;
    EXPECT_EQ(id == 99 ? 1 : id, t->FieldByName("Id")->AsInteger()) << id;
  }
  t->Next();
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
}

TEST_F(DatasetStates, LookupAnswersCalculatedFieldsOfTheLocatedRecord) {
  // Persistent fields: two data fields and a calculated one.
  auto* name = AddField<TStringField>(*t, "Name", fkData, 20);
  auto* age = AddField<TSmallintField>(*t, "Age");
  auto* label = AddField<TStringField>(*t, "Label", fkCalculated, 40);
  t->OnCalcFields = [&](TDataSet*) { label->SetAsString(name->AsString() + " is " + age->AsString()); };
  t->Open();
  EXPECT_EQ("Anna is 30", label->AsString());
  EXPECT_EQ(S("Carl is 30"), t->Lookup("Name", Variant(S("Carl")), "Label").AsString());
  Variant both = t->Lookup("Name", Variant(S("Bert")), "Age;Label");
  EXPECT_EQ(25, dbvar::Item(both, 0).AsInteger());
  EXPECT_EQ(S("Bert is 25"), dbvar::Item(both, 1).AsString());
  // Without an index on the key the lookup takes the filter road: same answer.
  EXPECT_EQ(S("Bert is 25"), t->Lookup("Age", Variant(25), "Label").AsString());
  EXPECT_TRUE(dbvar::IsNullish(t->Lookup("Name", Variant(S("Nobody")), "Label")));
  EXPECT_EQ(dsBrowse, t->State());
  EXPECT_EQ("Anna is 30", label->AsString()) << "the active record keeps its own values";
}

TEST_F(DatasetStates, ConstraintsMakeTheOpenFailWithNotAvailable) {
  t->Constraints().Add()->SetCustomConstraint("Age > 0");
  try {
    t->Open();
    FAIL();
  } catch (const ETDBEngineError& e) {
    EXPECT_EQ(dberr::NA, e.ErrorCode());
  }
  EXPECT_FALSE(t->Active());
}

// The engine dataset's own field writes: refused in browse mode, only index
// fields during key entry.
TEST_F(DatasetStates, KeyEntryWritesOnlyIndexFields) {
  t->Open();
  EXPECT_EQ("Dataset not in edit or insert mode",
      MessageOf<EDatabaseError>([&] { t->FieldByName("Age")->SetAsInteger(1); }));
  t->SetKey();
  EXPECT_EQ(dsSetKey, t->State());
  EXPECT_EQ("Field 'Age' is not indexed and cannot be modified",
      MessageOf<EDatabaseError>([&] { t->FieldByName("Age")->SetAsInteger(3); }));
  t->FieldByName("Name")->SetAsString("Carl");
  EXPECT_TRUE(t->GotoKey());
  EXPECT_EQ("Carl", t->FieldByName("Name")->AsString());
  // Back to the default order: neither index property names one.
  t->SetIndexName("");
  EXPECT_TRUE(t->Active());
  EXPECT_EQ("", t->IndexName());
  EXPECT_EQ("", t->IndexFieldNames());
}

TEST_F(DatasetStates, ARecordAnotherUserDeletedCannotBeEditedOrDeleted) {
  t->Open();
  ASSERT_TRUE(t->FindKey({Variant(S("Bert"))}));
  ExecuteElsewhere("DELETE FROM People WHERE Name = 'Bert'");
  EXPECT_THROW(t->Edit(), ETDBEngineError);
  EXPECT_EQ(dsBrowse, t->State());
  EXPECT_THROW(t->Delete(), ETDBEngineError);
  EXPECT_EQ("30", StoredAge("Carl")) << "no other record was touched";
  EXPECT_EQ("30", StoredAge("Anna"));
  t->Refresh();
  EXPECT_EQ((std::vector<std::string>{"Anna", "Carl"}), Names());
}

// Anna's age changed to 44 and posted into the cache.
class CachedUpdates : public DatasetStates {
 protected:
  void CacheAgeChange() {
    t->SetCachedUpdates(true);
    t->Open();
    t->Edit();
    t->FieldByName("Age")->SetAsInteger(44);
    t->Post();
  }
};

TEST_F(CachedUpdates, OldValuesAreTheStoredOnes) {
  t->SetCachedUpdates(true);
  t->Open();
  EXPECT_NO_THROW(t->SetCachedUpdates(true)) << "already on";
  EXPECT_EQ(usUnmodified, t->UpdateStatus());
  t->Edit();
  t->FieldByName("Age")->SetAsInteger(44);
  t->Post();
  EXPECT_EQ(usModified, t->UpdateStatus());
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger());
  EXPECT_EQ(30, t->FieldByName("Age")->OldValue().AsInteger());
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger()) << "the old-value read leaves current reads alone";
}

// An old value is read with the cursor switched to the stored values for
// that one read: the records read after it show the posted ones again.
TEST_F(CachedUpdates, ReadsAfterAnOldValueShowThePostedValuesAsCurrent) {
  CacheAgeChange();
  ASSERT_EQ(30, t->FieldByName("Age")->OldValue().AsInteger());
  t->Refresh();
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger());
  t->Last();
  t->First();
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger());
  EXPECT_EQ(30, t->FieldByName("Age")->OldValue().AsInteger());
}

TEST_F(CachedUpdates, AFailedOldValueReadRestoresTheCursorProperty) {
  CacheAgeChange();
  t->PutCursorAtEnd();  // no current record: the old-value read fails
  EXPECT_THROW(t->FieldByName("Age")->OldValue(), ETDBEngineError);
  std::uint8_t keep = 9;
  std::uint16_t length = 0;
  ASSERT_EQ(0, list_->Engine()->GetProperty(t->Handle(), kOldValuesProperty, &keep, 1, length));
  EXPECT_EQ(0, keep);
  t->First();
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger()) << "pending values are still shown";
}

TEST_F(CachedUpdates, AppliedUpdatesReachTheFile) {
  CacheAgeChange();
  EXPECT_EQ("30", StoredAge("Anna")) << "held in the cache until applied";
  EXPECT_TRUE(t->UpdatesPending());
  // Pending updates are never dropped silently.
  EXPECT_NE(std::string::npos,
      MessageOf<EDatabaseError>([&] { t->SetCachedUpdates(false); }).find("apply or cancel"));
  t->ApplyUpdates();
  t->CommitUpdates();
  EXPECT_FALSE(t->UpdatesPending());
  EXPECT_EQ("44", StoredAge("Anna"));
  t->SetCachedUpdates(false);
  EXPECT_EQ(44, t->FieldByName("Age")->AsInteger());
}

TEST_F(CachedUpdates, CancelledUpdatesAreDropped) {
  CacheAgeChange();
  t->CancelUpdates();
  EXPECT_FALSE(t->UpdatesPending());
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_EQ("30", StoredAge("Anna"));
  EXPECT_NO_THROW(t->SetCachedUpdates(false));
  EXPECT_THROW(t->ApplyUpdates(), EDatabaseError);  // "Not in cached update mode"
}

// An update object that records what it was asked to apply.
class TRecordingUpdate : public TTDataSetUpdateObject {
 public:
  using TTDataSetUpdateObject::TTDataSetUpdateObject;
  TDataSet* GetDataSet() const override { return dataSet_; }
  void SetDataSet(TDataSet* dataSet) override { dataSet_ = dataSet; }
  void Apply(TUpdateKind kind) override { kinds.push_back(kind); }
  std::vector<TUpdateKind> kinds;

 private:
  TDataSet* dataSet_ = nullptr;
};

TEST_F(CachedUpdates, TheUpdateRoutineAnswersThroughHandlersAndUpdateObjects) {
  t->SetCachedUpdates(true);
  t->Open();
  auto& info = t->UpdateCallbackInfo();
  info.UpdateKind = 2;  // insert, as the engine numbers it
  TUpdateKind seen = ukModify;
  t->OnUpdateRecord = [&](TDataSet*, TUpdateKind kind, TUpdateAction& action) {
    seen = kind;
    action = uaSkip;
  };
  EXPECT_EQ(7, t->UpdateRoutine());
  EXPECT_EQ(ukInsert, seen);
  t->OnUpdateRecord = [](TDataSet*, TUpdateKind, TUpdateAction& action) { action = uaAbort; };
  EXPECT_EQ(2, t->UpdateRoutine());
  EXPECT_EQ(0x3306, info.ErrorCode);
  t->OnUpdateRecord = nullptr;
  TRecordingUpdate update(nullptr);
  t->SetUpdateObject(&update);
  EXPECT_EQ(t.get(), update.GetDataSet());
  info.UpdateKind = 3;
  EXPECT_EQ(6, t->UpdateRoutine());
  EXPECT_EQ((std::vector<TUpdateKind>{ukDelete}), update.kinds);
  // An update object moves to the dataset that takes it.
  auto other = MakeTable();
  other->SetUpdateObject(&update);
  EXPECT_EQ(nullptr, t->UpdateObject());
  EXPECT_EQ(other.get(), update.GetDataSet());
  other->SetUpdateObject(nullptr);
  // Without a handler the pending change's own error is raised.
  info.ErrorCode = 0x2206;
  EXPECT_THROW(t->UpdateRoutine(), ETDBEngineError);
}

TEST_F(CachedUpdates, TheYieldRoutineAsksTheHandler) {
  EXPECT_EQ(0, t->YieldRoutine(1));
  t->OnServerYield = [](TDataSet*, bool& abortQuery) { abortQuery = true; };
  EXPECT_EQ(2, t->YieldRoutine(1));
  EXPECT_EQ(0, t->YieldRoutine(2)) << "the last step is not asked about";
}

class BlobStreams : public DatasetStates {};

TEST_F(BlobStreams, ChunkedWritesAreKeptWhole) {
  t->Open();
  t->Edit();
  {
    std::unique_ptr<TStream> s(t->CreateBlobStream(t->FieldByName("Notes"), bmWrite));
    for (const char* chunk : {"alpha ", "beta ", "gamma"}) s->WriteBuffer(chunk, std::int64_t(std::strlen(chunk)));
  }
  t->Post();
  t->Close();
  t->Open();
  EXPECT_EQ("alpha beta gamma", t->FieldByName("Notes")->AsString());
}

TEST_F(BlobStreams, ReadsPastTheEndGiveNothingAndRepeatFromTheCache) {
  t->Open();
  t->Edit();
  t->FieldByName("Notes")->SetAsString("0123456789");
  t->Post();
  {
    std::unique_ptr<TttBlobStream> s(static_cast<TttBlobStream*>(t->CreateBlobStream(t->FieldByName("Notes"), bmRead)));
    EXPECT_FALSE(s->Cached());
    char buffer[32] = {};
    EXPECT_EQ(10, s->Read(buffer, 32));
    EXPECT_EQ(0, s->Read(buffer, 32)) << "past the end";
    s->Seek(100, soBeginning);
    EXPECT_EQ(0, s->Read(buffer, 4));
  }
  std::unique_ptr<TttBlobStream> again(static_cast<TttBlobStream*>(t->CreateBlobStream(t->FieldByName("Notes"), bmRead)));
  EXPECT_TRUE(again->Cached()) << "the second read is served from the record's cache";
  char buffer[4] = {};
  again->Seek(6, soBeginning);
  EXPECT_EQ(4, again->Read(buffer, 4));
  EXPECT_EQ("6789", std::string(buffer, 4));
}

TEST_F(BlobStreams, BinaryBlobsRoundTripAndWritesNeedEditMode) {
  t->Open();
  EXPECT_EQ("Dataset not in edit or insert mode",
      MessageOf<EDatabaseError>([&] { std::unique_ptr<TStream> s(t->CreateBlobStream(t->FieldByName("Photo"), bmWrite)); }));
  std::string bytes("\x00\x01\xFF\x7F\x00zz", 7);
  t->Edit();
  {
    std::unique_ptr<TStream> s(t->CreateBlobStream(t->FieldByName("Photo"), bmWrite));
    s->WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
  }
  t->Post();
  t->Refresh();
  std::unique_ptr<TStream> s(t->CreateBlobStream(t->FieldByName("Photo"), bmRead));
  EXPECT_EQ(7, s->Size());
  std::string back(7, '\0');
  s->ReadBuffer(back.data(), 7);
  EXPECT_EQ(bytes, back);
}

// A memo read as a value answers what a blob stream over it reads, whichever
// road the read takes.
class MemoReads : public DatasetStates {
 protected:
  // Writes the memo of the current record and posts it.
  void PostMemo(const std::string& text) {
    t->Edit();
    t->FieldByName("Notes")->SetAsString(text);
    t->Post();
  }
  std::unique_ptr<TttBlobStream> ReadStream() {
    return std::unique_ptr<TttBlobStream>(
        static_cast<TttBlobStream*>(t->CreateBlobStream(t->FieldByName("Notes"), bmRead)));
  }
  std::string ThroughStream() {
    auto s = ReadStream();
    std::string text(std::size_t(s->Size()), '\0');
    if (!text.empty()) s->ReadBuffer(text.data(), std::int64_t(text.size()));
    return text;
  }
};

TEST_F(MemoReads, ValuesAnswerAsTheStreamAndFillTheRecordsCache) {
  t->Open();
  const struct {
    const char* name;
    std::string memo;
  } cases[] = {
      {"Anna", "line one\r\nline two"},
      {"Bert", std::string(70000, 'm') + "end"},  // more than one engine piece
      {"Carl", "  blanks kept  "},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(t->Locate("Name", Variant(S(c.name)), {}));
    PostMemo(c.memo);
    t->Refresh();
    ASSERT_TRUE(t->Locate("Name", Variant(S(c.name)), {}));
    EXPECT_FALSE(ReadStream()->Cached()) << c.name << ": nothing read yet";
    EXPECT_TRUE(t->FieldByName("Notes")->AsString() == c.memo) << c.name;
    EXPECT_TRUE(ReadStream()->Cached()) << c.name << ": the value read filled the record's cache";
    const Variant v = t->FieldByName("Notes")->AsVariant();
    EXPECT_EQ(VarType(v), varOleStr) << c.name;
    EXPECT_TRUE(v.AsString() == c.memo) << c.name;
    EXPECT_TRUE(ThroughStream() == c.memo) << c.name;
  }
}

TEST_F(MemoReads, ABlankMemoIsNullAndAnEmptyText) {
  t->Open();
  ASSERT_TRUE(t->FieldByName("Notes")->IsNull());
  EXPECT_TRUE(VarIsNull(t->FieldByName("Notes")->AsVariant()));
  EXPECT_EQ("", t->FieldByName("Notes")->AsString());
  EXPECT_EQ("", ThroughStream());
}

TEST_F(MemoReads, AnUnpostedChangeReadsAsTypedUntilCancelled) {
  t->Open();
  PostMemo("stored");
  EXPECT_EQ("stored", t->FieldByName("Notes")->AsString());
  t->Edit();
  EXPECT_EQ("stored", t->FieldByName("Notes")->AsString()) << "editing alone changes nothing";
  t->FieldByName("Notes")->SetAsString("typed");
  EXPECT_EQ("typed", t->FieldByName("Notes")->AsString());
  EXPECT_EQ(S("typed"), t->FieldByName("Notes")->AsVariant().AsString());
  t->FieldByName("Notes")->Clear();
  EXPECT_EQ("", t->FieldByName("Notes")->AsString()) << "cleared, not the stored text";
  t->Cancel();
  EXPECT_EQ("stored", t->FieldByName("Notes")->AsString());
}

TEST_F(MemoReads, OtherStatesReadTheirOwnBuffers) {
  auto* name = AddField<TStringField>(*t, "Name", fkData, 20);
  auto* notes = AddField<TMemoField>(*t, "Notes");
  auto* label = AddField<TStringField>(*t, "Label", fkCalculated, 60);
  t->OnCalcFields = [&](TDataSet*) { label->SetAsString(name->AsString() + ": " + notes->AsString()); };
  t->Open();
  PostMemo("first note");
  EXPECT_EQ("Anna: first note", label->AsString()) << "calculated from the record's memo";
  // A filter handler sees a record buffer of the engine's: no memo there.
  t->SetOnFilterRecord([&](TDataSet*, bool& accept) { accept = notes->AsString().empty(); });
  EXPECT_EQ("Cannot access field 'Notes' in a filter",
            MessageOf<EDatabaseError>([&] { t->SetFiltered(true); }));
}

TEST_F(MemoReads, WithoutTheCacheEveryReadGoesToTheEngine) {
  t->SetCacheBlobs(false);
  t->Open();
  PostMemo("uncached");
  EXPECT_EQ("uncached", t->FieldByName("Notes")->AsString());
  EXPECT_EQ(S("uncached"), t->FieldByName("Notes")->AsVariant().AsString());
  EXPECT_FALSE(ReadStream()->Cached());
}

}  // namespace
