#pragma once
// The fixture of the filter tests: the engine test cursor holding four sample records,
// one filter at a time on it, and the dataset whose fields type a parsed filter's
// constants the way the cursor's own fields would.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dbengine/filters.h"
#include "dbengine/testcursor.h"
#include "platform/classlib/db/memdataset.h"

namespace testing_engine {

using Ids = std::vector<std::int32_t>;

class FilterCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cursor.Add(1, "Anna", 42);
    cursor.Add(2, "Bert", 0);
    cursor.Add(3, "Bert", 7);
    cursor.Add(4, "Cleo", 9);
    fields.FieldDefs().Add("ID", ftInteger);
    fields.FieldDefs().Add("NAME", ftString, 20);
    fields.FieldDefs().Add("SCORE", ftInteger);
    fields.Open();
  }

  // Replaces the filter by one over blob and activates it; the IDs the cursor then
  // returns.
  Ids FilteredBy(const std::vector<std::uint8_t>& blob, TFilterCallback callback = nullptr,
                 std::intptr_t clientData = 0) {
    EXPECT_FALSE(blob.empty());
    if (filter != nullptr) cursor.DropFilter(filter);
    filter = nullptr;
    cursor.AddFilter(clientData, 1, false, blob.data(), callback, filter);
    cursor.ActivateFilter(filter);
    return ReadAll(cursor);
  }

  TTestCursor cursor;
  TMemDataSet fields;
  TFilterListItem* filter = nullptr;
};

}  // namespace testing_engine
