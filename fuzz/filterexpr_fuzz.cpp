// The class library's filter-expression parser: any filter text gives a blob
// or EDatabaseError. The first byte chooses the filter options.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/db/filterexpr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  TFilterOptions options;
  if (data[0] & 1) options.Include(foCaseInsensitive);
  if (data[0] & 2) options.Include(foNoPartialCompare);
  try {
    BuildFilterBlob(fuzz::Text(data + 1, size - 1), nullptr, options);
  } catch (const Exception&) {
  }
  return 0;
}
