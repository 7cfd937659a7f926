// The engine's filter-blob evaluator: any blob is refused when it is added or
// evaluated against every record of a small table without reading outside it.
// The blob's size word is set to the input's size, as a caller's blob states
// its own size.
#include <algorithm>
#include <cstring>

#include "dbengine/filters.h"
#include "fuzz/fuzz_input.h"
#include "tests/dbengine/testcursor.h"

using namespace testing_engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(TFilterBlobHeader) || size > 0xFFFF) return 0;
  std::vector<std::uint8_t> blob(data, data + size);
  const auto total = static_cast<std::uint16_t>(size);
  std::memcpy(blob.data() + offsetof(TFilterBlobHeader, TotalSize), &total, sizeof total);

  TTestCursor cursor;
  cursor.Add(1, "Anna", 42);
  cursor.Add(2, "", 0);
  cursor.Add(3, std::string(20, 'z'), -7);
  try {
    TFilterListItem* filter = nullptr;
    cursor.AddFilter(0, 1, false, blob.data(), nullptr, filter);
    cursor.ActivateFilter(filter);
    ReadAll(cursor);
  } catch (const Exception&) {
  }
  return 0;
}
