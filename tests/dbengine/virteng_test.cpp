#include "dbengine/virteng.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/formatsettings.h"
#include "testengine.h"

using namespace testing_engine;
using dbengine_detail::SlotText;

namespace {

struct CallLayerTest : ::testing::Test {
  TScratchRegistry scratch;
  TVirtEng engine{TestSessionClass()};
  TTestSession* Session() { return static_cast<TTestSession*>(engine.GetCurrentSession()); }
  TBaseDatabase* OpenDb(const char* name = "/srv/bugs.mdb") {
    TBaseDatabase* db = nullptr;
    EXPECT_EQ(engine.OpenDatabase(name, nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), 0);
    return db;
  }
  TBaseTable* OpenOrders(TBaseDatabase* db) {
    TBaseTable* cursor = nullptr;
    EXPECT_EQ(engine.OpenTable(db, "Orders", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, cursor), 0);
    return cursor;
  }
  std::string ErrorText(std::uint16_t n) {
    std::int32_t native = 0;
    std::string text;
    engine.GetErrorText(n, native, text);
    return text;
  }
};

TEST_F(CallLayerTest, CreationStartsTheInitialSession) {
  EXPECT_EQ(engine.StartResult(), 0);
  ASSERT_NE(Session(), nullptr);
  EXPECT_EQ(engine.HandleList()->At(0), Session());
  EXPECT_EQ(Session()->OwnerHandle(), &engine);
  EXPECT_EQ(engine.ErrorStack()->Capacity(), 10);
  TBaseSession* current = nullptr;
  EXPECT_EQ(engine.GetSessionHandle(current), 0);
  EXPECT_EQ(current, Session());
}

TEST_F(CallLayerTest, WithoutASessionClassNothingStarts) {
  TVirtEng bare{TSessionClass()};
  EXPECT_EQ(bare.StartResult(), dberr::InvalidParam);
  EXPECT_EQ(bare.GetCurrentSession(), nullptr);
  EXPECT_EQ(bare.ErrorStack()->Count(), 1);
  TSessionInfo info;
  EXPECT_EQ(bare.GetSessionInfo(info), dberr::InvalidHndl);  // no crash without a session
}

TEST_F(CallLayerTest, AnEngineFailureBecomesItsCodeAndOneStackEntry) {
  TBaseDatabase* db = OpenDb();
  TBaseTable* cursor = OpenOrders(db);
  std::uint8_t buffer[kRecordSize];
  EXPECT_EQ(engine.SetToEnd(cursor), 0);
  EXPECT_EQ(engine.GetNextRecord(cursor, 0, buffer, nullptr), dberr::Eof);
  ASSERT_EQ(engine.ErrorStack()->Count(), 1);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_EOF");
  std::int32_t native = 7;
  std::string text;
  EXPECT_EQ(engine.GetErrorText(1, native, text), dberr::Eof);
  EXPECT_EQ(native, 0);
  // The next failure replaces it; a success leaves the stack alone.
  EXPECT_EQ(engine.GetPriorRecord(cursor, 0, buffer, nullptr), dberr::Bof);
  EXPECT_EQ(engine.ErrorStack()->Count(), 1);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_BOF");
  EXPECT_EQ(engine.SetToStart(cursor), 0);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_BOF");
}

TEST_F(CallLayerTest, ContextsAndDetailsJoinTheErrorText) {
  TBaseDatabase* db = OpenDb();
  TBaseTable* cursor = nullptr;
  EXPECT_EQ(engine.OpenTable(db, "Missing", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, cursor),
            dberr::NoSuchTable);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_NOSUCHTABLE\r\nMissing");
  std::string found;
  EXPECT_EQ(engine.FindErrorEntry(dberr::NoSuchTable, found), 0);
  EXPECT_EQ(found, ErrorText(1));
  EXPECT_EQ(engine.FindErrorEntry(dberr::Eof, found), 0);
  EXPECT_EQ(found, "");
  std::int32_t native = 99;
  std::string text = "untouched";
  EXPECT_EQ(engine.GetErrorText(2, native, text), 0);
  EXPECT_EQ(native, 99);
  EXPECT_EQ(text, "untouched");
}

TEST_F(CallLayerTest, NilHandlesAreRefused) {
  EXPECT_EQ(engine.CloseCursor(nullptr), dberr::InvalidHndl);
  EXPECT_EQ(engine.ErrorStack()->Count(), 1);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_INVALIDHNDL");
  std::uint8_t buffer[8];
  EXPECT_EQ(engine.GetNextRecord(nullptr, 0, buffer, nullptr), dberr::InvalidHndl);
  TBaseDatabase* none = nullptr;
  EXPECT_EQ(engine.CloseDatabase(none), dberr::InvalidHndl);
  engine.ErrorStack()->Clear();
  std::uint16_t length = 5;
  EXPECT_EQ(engine.GetProperty(nullptr, 1, buffer, 8, length), dberr::InvalidParam);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(engine.SetProperty(nullptr, 1, 0), dberr::InvalidParam);
  EXPECT_EQ(engine.InstallConstraintCheck(nullptr, nullptr, 0), dberr::NA);
  EXPECT_EQ(engine.RemoveConstraintCheck(nullptr), dberr::NA);
  EXPECT_EQ(engine.ErrorStack()->Count(), 0);  // none of these is recorded
}

// A cursor whose moves to the ends fail.
class TStuckCursor : public TTestCursor {
 public:
  void SetToStart() override { RaiseEngineError(dberr::TableReadOnly); }
  void SetToEnd() override { RaiseEngineError(dberr::TableReadOnly); }
};

TEST_F(CallLayerTest, FailedMovesToTheEndsAreReportedLikeAnyOtherFailure) {
  TStuckCursor cursor;
  EXPECT_EQ(engine.SetToStart(&cursor), dberr::TableReadOnly);
  EXPECT_EQ(engine.SetToEnd(&cursor), dberr::TableReadOnly);
  EXPECT_EQ(engine.ErrorStack()->Count(), 1);
}

class TBrokenCursor : public TTestCursor {
 public:
  void GetNextRecord(int, std::uint8_t*, TRecordProps*) override { throw EListError("list index"); }
};

TEST_F(CallLayerTest, OtherExceptionsPassThrough) {
  TBrokenCursor cursor;
  std::uint8_t buffer[kRecordSize];
  EXPECT_THROW(engine.GetNextRecord(&cursor, 0, buffer, nullptr), EListError);
  EXPECT_EQ(engine.ErrorStack()->Count(), 0);
}

TEST_F(CallLayerTest, DatabaseNamesLoseTheirBracketedAliasPart) {
  OpenDb("[Bugs] /srv/bugs.mdb");
  EXPECT_EQ(SlotText(Session()->LastDescription.PhysicalPath), "/srv/bugs.mdb/");
  EXPECT_EQ(engine.GetCurrentDatabase(), nullptr);  // opening a database makes nothing current

  // Without name and driver the path comes from the optional parameter, cleaned in place.
  TFieldDesc params[2] = {MakeField(1, "USER NAME", fldtype::ZString, 0, 8),
                          MakeField(2, "path", fldtype::ZString, 8, 40)};
  char values[48] = {};
  std::strcpy(values, "me");
  std::strcpy(values + 8, "[x] /srv/other.mdb");
  TBaseDatabase* db = nullptr;
  EXPECT_EQ(engine.OpenDatabase(nullptr, nullptr, 0, 0, nullptr, 2, params, values, db), 0);
  EXPECT_EQ(SlotText(Session()->LastDescription.PhysicalPath), "/srv/other.mdb/");
  EXPECT_STREQ(values + 8, "/srv/other.mdb");
  EXPECT_EQ(db->UserName, "me");
}

TEST(SplitNameValue, RemovesTheBracketedPartAndTheCharacterAfterIt) {
  std::string dest, second = "x";
  TVirtEng::SplitNameValue("[alias] C:\\data", dest, second);
  EXPECT_EQ(dest, "C:\\data");
  EXPECT_EQ(second, "");
  TVirtEng::SplitNameValue("name[tail]", dest, second);  // "]" is the last character
  EXPECT_EQ(dest, "name");
  TVirtEng::SplitNameValue("a]b[c", dest, second);
  EXPECT_EQ(dest, "a]b[c");
  TVirtEng::SplitNameValue(nullptr, dest, second);
  EXPECT_EQ(dest, "");
}

TEST(FormatRecords, FollowTheFormatSettings) {
  TDateFormatRecord d = MakeDateFormatRecord('/', "dd/MM/yyyy");
  EXPECT_EQ(d.Separator[0], '/');
  EXPECT_EQ(d.Order, 1);
  EXPECT_EQ(d.FourDigitYear, 1);
  EXPECT_EQ(d.YearBiased, 1);
  EXPECT_EQ(d.MonthLeadingZero, 0);  // the test is on "mm" in lower case
  EXPECT_EQ(d.DayLeadingZero, 1);
  EXPECT_EQ(MakeDateFormatRecord('-', "yyyy-mm-dd").Order, 2);
  EXPECT_EQ(MakeDateFormatRecord('/', "M/d/yy").Order, 0);

  TTimeFormatRecord t = MakeTimeFormatRecord(':', "h:mm AMPM", "morning", "PM");
  EXPECT_EQ(t.Separator, ':');
  EXPECT_EQ(t.TwelveHour, 1);
  EXPECT_STREQ(t.MorningText, "morni");
  EXPECT_STREQ(t.AfternoonText, "PM");
  EXPECT_EQ(t.ShowSeconds, 1);
  TTimeFormatRecord h24 = MakeTimeFormatRecord('.', "HH.mm", "AM", "PM");
  EXPECT_EQ(h24.TwelveHour, 0);
  EXPECT_STREQ(h24.MorningText, "");

  TFormatSettings saved = FormatSettings;
  FormatSettings.ShortDateFormat = "dd/MM/yyyy";
  TVirtEng engine{TestSessionClass()};
  EXPECT_EQ(engine.DateFormat().DayLeadingZero, 1);
  EXPECT_EQ(engine.DateFormat().Order, 1);
  FormatSettings = saved;
}

TEST_F(CallLayerTest, SessionsStartSelectAndClose) {
  TBaseSession* initial = Session();
  TBaseSession* second = nullptr;
  EXPECT_EQ(engine.StartSession("Second", second, "/net"), 0);
  EXPECT_EQ(engine.GetCurrentSession(), second);
  EXPECT_EQ(engine.SelectSession(initial), 0);
  EXPECT_EQ(engine.GetCurrentSession(), initial);
  EXPECT_EQ(engine.CloseSession(second), 0);
  EXPECT_EQ(engine.GetCurrentSession(), initial);
  EXPECT_EQ(engine.HandleList()->Count(), 1);
  EXPECT_EQ(engine.SelectSession(nullptr), dberr::InvalidHndl);

  TSessionInfo info;
  EXPECT_EQ(engine.GetSessionInfo(info), 0);
  EXPECT_EQ(engine.SetPrivateDirectory("/private"), 0);
  EXPECT_EQ(Session()->PrivateDirectory(), "/private");
  TBapiListItem* owner = nullptr;
  EXPECT_EQ(engine.GetHandleProperty(initial, 2, owner), 0);
  EXPECT_EQ(owner, &engine);
  EXPECT_EQ(engine.GetHandleProperty(initial, 1, owner), dberr::InvalidParam);
  EXPECT_EQ(owner, nullptr);
}

TEST_F(CallLayerTest, AliasesAndConfigurationListsThroughTheLayer) {
  EXPECT_EQ(engine.AddAlias(nullptr, "TEMP", nullptr, "PATH:\"/srv/temp\"", false), 0);
  TDatabaseDesc desc{};
  EXPECT_EQ(engine.ResolveAlias("[x] TEMP", desc), 0);
  EXPECT_EQ(SlotText(desc.PhysicalPath), "/srv/temp");
  EXPECT_EQ(engine.ResolveAlias("NOPE", desc), dberr::UnknownDb);
  EXPECT_EQ(ErrorText(1), "DBI Error Code = DBIERR_UNKNOWNDB\r\nNOPE");
  TBaseTable* list = nullptr;
  EXPECT_EQ(engine.OpenConfigList(nullptr, 0, 0, "\\DATABASES\\TEMP\\DB INFO", list), 0);
  ASSERT_NE(list, nullptr);
  std::uint32_t count = 0;
  EXPECT_EQ(engine.QueryRecordCount(list, count), 0);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(engine.DeleteAlias(nullptr, "TEMP"), 0);
  EXPECT_EQ(engine.ResolveAlias("TEMP", desc), dberr::UnknownDb);
  EXPECT_EQ(engine.RegisterCallback(nullptr, 0, 0, 0, nullptr, nullptr), dberr::NotSupported);
  char out[4] = {};
  bool loss = true;
  EXPECT_EQ(engine.ConvertOemToAnsi(nullptr, "abc", out, 4, loss), 0);
  EXPECT_STREQ(out, "abc");
}

TEST_F(CallLayerTest, ARoundTripThroughTablesStatementsAndCaches) {
  TBaseDatabase* db = OpenDb();
  TBaseTable* cursor = OpenOrders(db);
  EXPECT_EQ(engine.GetCurrentDatabase(), db);
  auto* orders = static_cast<TTestCursor*>(cursor);
  orders->Add(1, "a", 10);
  orders->Add(2, "b", 20);

  TCursorProps props;
  EXPECT_EQ(engine.GetCursorProperties(cursor, props), 0);
  EXPECT_EQ(Val(props.FieldCount), 3);
  std::vector<TFieldDesc> descs(props.FieldCount);
  EXPECT_EQ(engine.GetFieldDescriptors(cursor, descs.data()), 0);
  EXPECT_EQ(SlotText(descs[1].Name), "NAME");

  std::uint8_t buffer[kRecordSize];
  EXPECT_EQ(engine.BeginCachedUpdates(cursor), 0);
  EXPECT_NE(cursor, orders);
  EXPECT_EQ(engine.SetToStart(cursor), 0);
  EXPECT_EQ(engine.GetNextRecord(cursor, 0, buffer, nullptr), 0);
  std::int32_t score = 11;
  EXPECT_EQ(engine.PutField(cursor, 3, buffer, &score), 0);
  EXPECT_EQ(engine.ModifyRecord(cursor, buffer, 0), 0);
  std::uint32_t cached = 0;
  std::uint16_t length = 0;
  EXPECT_EQ(engine.GetProperty(cursor, 5, &cached, 4, length), 0);
  EXPECT_EQ(cached, 1u);
  EXPECT_EQ(engine.EndCachedUpdates(cursor), 0);
  EXPECT_EQ(cursor, orders);
  EXPECT_EQ(orders->Rows[0].Score(), 10);

  TBaseTable* duplicate = nullptr;
  EXPECT_EQ(engine.OpenDuplicateCursor(cursor, true, false, duplicate), 0);
  EXPECT_EQ(engine.CloseCursor(duplicate), 0);

  TSqlStmt* statement = nullptr;
  EXPECT_EQ(engine.AllocateStatement(db, 0, statement), 0);
  EXPECT_EQ(engine.PrepareStatement(statement, "select"), 0);
  TBaseTable* result = nullptr;
  EXPECT_EQ(engine.ExecuteStatement(statement, &result), 0);
  EXPECT_NE(result, nullptr);
  EXPECT_EQ(engine.FreeStatement(statement), 0);
  EXPECT_EQ(statement, nullptr);

  EXPECT_EQ(engine.CloseDatabase(db), 0);
  EXPECT_NE(db, nullptr);  // the caller's variable is left alone
  EXPECT_EQ(engine.GetCurrentDatabase(), nullptr);
  EXPECT_EQ(engine.PrepareStatement(statement, "x"), dberr::InvalidHndl);
}

TEST_F(CallLayerTest, TheLayersOwnProperty) {
  EXPECT_EQ(engine.SetProperty(&engine, kEnginePropertyId, 0x1234), 0);
  std::uint32_t value = 0;
  std::uint16_t length = 0;
  EXPECT_EQ(engine.GetProperty(&engine, kEnginePropertyId, &value, 4, length), 0);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(engine.GetProperty(&engine, 7, &value, 4, length), dberr::NotSupported);
}

}  // namespace
