#pragma once
// The engine test cursor with the four records the filter tests read back.
#include "dbengine/testcursor.h"

inline void FillSampleRows(testing_engine::TTestCursor& cursor) {
  cursor.Add(1, "Anna", 42);
  cursor.Add(2, "Bert", 0);
  cursor.Add(3, "Bert", 7);
  cursor.Add(4, "Cleo", 9);
}
