#include "dbengine/engineerrors.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testcursor.h"

namespace {

using testing_engine::EngineCode;

TEST(EngineErrorText, NamesPublishedCodesAndFallsBackToNumber) {
  EXPECT_EQ(EngineErrorText(0x2202), "DBIERR_EOF");
  EXPECT_EQ(EngineErrorText(0), "DBIERR_NONE");
  EXPECT_EQ(EngineErrorText(0x3001), "DBIERR_NOTSUPPORTED");
  EXPECT_EQ(EngineErrorText(0x2A06), "DBIERR_NOTINITIALIZED");
  EXPECT_EQ(EngineErrorText(0x2204), "DBIERR_RECDELETED");  // first of its two names
  EXPECT_EQ(EngineErrorText(0x7FFF), "Morva (BDE) Error 32767.");
  EXPECT_EQ(EngineErrorText(0x8001), "Morva (BDE) Error -32767.");
  EXPECT_EQ(EngineErrorText(0x2202, 5), "DBIER");
}

TEST(EngineErrorText, TableHoldsThePublishedListInOrder) {
  using namespace dbengine_detail;
  ASSERT_EQ(kEngineErrorNameCount, 524u);
  EXPECT_EQ(kEngineErrorNames[0].Code, 0);
  for (std::size_t i = 1; i < kEngineErrorNameCount; ++i)
    EXPECT_LT(kEngineErrorNames[i - 1].Code, kEngineErrorNames[i].Code) << i;
}

TEST(EngineErrors, BoundsErrorsCarryCodeOnly) {
  try {
    RaiseEofError();
    FAIL();
  } catch (const EMorvaBoundryError& e) {
    EXPECT_EQ(e.ErrorCode, dberr::Eof);
    EXPECT_EQ(e.Message(), "");
    EXPECT_EQ(e.ErrorContext, "");
    EXPECT_EQ(e.NativeError, 0);
    EXPECT_TRUE(e.InheritsFrom("EAbort"));
  }
  EXPECT_EQ(EngineCode(RaiseBofError), dberr::Bof);
  EXPECT_EQ(EngineCode(RaiseNotSupported), dberr::NotSupported);
}

TEST(EngineErrors, CheckRoutinesRaiseTheirCodes) {
  int x = 0;
  EXPECT_EQ(CheckParam(&x), &x);
  EXPECT_TRUE(CheckEngine(true, dberr::NA));
  EXPECT_EQ(EngineCode([] { CheckHandle(static_cast<int*>(nullptr)); }), dberr::InvalidHndl);
  EXPECT_EQ(EngineCode([] { CheckEngine(false, dberr::NA); }), dberr::NA);
  EXPECT_EQ(testing_engine::EngineFailure([] {
              RaiseEngineErrorText(dberr::NoSuchTable, std::string(300, 'x'));
            }),
            (testing_engine::TEngineFailure{dberr::NoSuchTable, std::string(255, 'x')}));
}

TEST(EngineErrors, MapErrorCode) {
  const TErrorCodeMapping table[] = {{0, 7}, {0x2202, 0x2201}, {0x2202, 0x3001}};
  EXPECT_EQ(MapErrorCode(table, 3, 0), 0);  // 0 is never looked up
  EXPECT_EQ(MapErrorCode(table, 3, 0x2202), 0x2201);
  EXPECT_EQ(MapErrorCode(table, 0, 0x2202), 0x2202);
  EXPECT_EQ(MapErrorCode(table, 3, 0x2A04), 0x2A04);
}

TErrorStackEntry EntryWithCode(DBIResult code) {
  TErrorStackEntry e{};
  e.ErrorCode = code;
  return e;
}

TEST(ErrorStack, CapacityIsCutAndOldestDropped) {
  TErrorStack stack(50);
  EXPECT_EQ(stack.Capacity(), 20);
  EXPECT_FALSE(stack.HasEntries());
  for (int i = 1; i <= 21; ++i) stack.Push(EntryWithCode(static_cast<DBIResult>(i)));
  EXPECT_EQ(stack.Count(), 20);
  TErrorStackEntry e{};
  ASSERT_TRUE(stack.GetEntry(1, e));
  EXPECT_EQ(e.ErrorCode, 21);
  ASSERT_TRUE(stack.GetEntry(20, e));
  EXPECT_EQ(e.ErrorCode, 2);  // the first push is gone
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0);
}

TEST(ErrorStack, GetEntryOutsideTheCountCopiesNothing) {
  TErrorStack stack(10);
  stack.Push(EntryWithCode(5));
  TErrorStackEntry e = EntryWithCode(99);
  EXPECT_FALSE(stack.GetEntry(0, e));
  EXPECT_FALSE(stack.GetEntry(2, e));
  EXPECT_EQ(e.ErrorCode, 99);
}

class EDetailed : public EMorvaEngineError {
 public:
  EDetailed() : EMorvaEngineError(0x2A0B, "Orders") { NativeError = 3022; }
  std::string GetDetailText() const override { return "Driver says no"; }
};

TEST(ErrorStack, PushExceptionFillsEveryPart) {
  TErrorStack stack(10);
  stack.PushException(EDetailed());
  TErrorStackEntry e{};
  ASSERT_TRUE(stack.GetEntry(1, e));
  EXPECT_EQ(e.ErrorCode, 0x2A0B);
  EXPECT_EQ(e.NativeError, 3022);
  EXPECT_STREQ(e.CodeText, "DBIERR_TABLEREADONLY");
  EXPECT_STREQ(e.DetailText, "Driver says no");
  EXPECT_STREQ(e.Context[0], "Orders");
  EXPECT_STREQ(e.Context[1], "");
}

TEST(ErrorStack, LongContextContinuesOnTheNextLine) {
  TErrorStack stack(10);
  stack.PushException(EMorvaEngineError(dberr::NoSuchTable, std::string(200, 'a')));
  TErrorStackEntry e{};
  ASSERT_TRUE(stack.GetEntry(1, e));
  EXPECT_EQ(std::strlen(e.Context[0]) + std::strlen(e.Context[1]), 200u);
}

}  // namespace
