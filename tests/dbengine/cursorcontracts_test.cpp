// Promises of the base cursor that nothing else checks: what a filter report
// carries, what a cursor without blobs answers, and that deleting a range
// keeps the window responsive.

#include <gtest/gtest.h>

#include "filterblob.h"
#include "platform/classlib/core/messagepump.h"
#include "testcursor.h"

using namespace testing_engine;

namespace {

std::uint16_t AcceptAll(std::intptr_t, std::uint8_t*, std::int32_t) { return 1; }

TEST(CursorContracts, AFilterReportNamesItsCallback) {
  TTestCursor cursor;
  auto blob = BlobOf(ContinueNode(1));
  TFilterListItem *withCallback = nullptr, *expressionOnly = nullptr;
  cursor.AddFilter(0, 1, false, blob.data(), AcceptAll, withCallback);
  cursor.AddFilter(0, 1, false, blob.data(), nullptr, expressionOnly);
  TFilterInfo info;
  cursor.GetFilterInfo(withCallback, info);
  EXPECT_EQ(Val(info.Callback), reinterpret_cast<void*>(&AcceptAll));
  cursor.GetFilterInfo(expressionOnly, info);
  EXPECT_EQ(Val(info.Callback), nullptr);
}

TEST(CursorContracts, ACursorWithoutBlobsSaysSoForEveryBlobOperation) {
  TTestCursor cursor;
  cursor.Add(1, "Anna", 1);
  std::vector<std::uint8_t> record(cursor.GetRecordBufferSize());
  std::uint8_t data[8] = {};
  std::uint32_t count = 7;
  EXPECT_EQ(dberr::NotSupported, EngineCode([&] { cursor.OpenBlob(record.data(), 2, 0); }));
  EXPECT_EQ(dberr::NotSupported, EngineCode([&] { cursor.GetBlobSize(record.data(), 2, count); }));
  EXPECT_EQ(dberr::NotSupported,
            EngineCode([&] { cursor.ReadBlob(record.data(), 2, 0, sizeof data, data, count); }));
  EXPECT_EQ(dberr::NotSupported,
            EngineCode([&] { cursor.WriteBlob(record.data(), 2, 0, sizeof data, data); }));
}

TEST(CursorContracts, DeletingEveryRecordLetsTheWindowBreathe) {
  TTestCursor cursor;
  for (int id = 1; id <= 5; ++id) cursor.Add(id, "x", id);
  int pumped = 0;
  auto previous = SetMessagePumpHook([&] { ++pumped; });
  cursor.DeleteAllRecords();
  SetMessagePumpHook(previous);
  EXPECT_TRUE(cursor.Rows.empty());
  EXPECT_GE(pumped, 5) << "once per deleted record";
}

}  // namespace
