// Format, FormatFloat, FormatCurr, FormatDateTime and the text-to-value
// conversions: any format or text gives a result or EConvertError.
#include <cmath>
#include <limits>

#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"

namespace {

void Formats(const std::string& format) {
  try {
    Format(format, {42, -7LL, 3.25, "text", 'c', true, Currency(12), TDateTime(45000.5)});
  } catch (const Exception&) {
  }
  for (double value : {0.0, -1.5, 1234567.891, 1e300, -1e-300, 0.5, HUGE_VAL,
                       std::numeric_limits<double>::quiet_NaN()}) {
    FormatFloat(format, value);
    try {
      FormatDateTime(format, TDateTime(value));
    } catch (const Exception&) {
    }
  }
  FormatCurr(format, MaxCurrency);
  FormatCurr(format, MinCurrency);
}

void Conversions(const std::string& text) {
  double d;
  TryStrToFloat(text, d);
  int i;
  TryStrToInt(text, i);
  std::int64_t i64;
  TryStrToInt64(text, i64);
  Currency c;
  TryStrToCurr(text, c);
  bool b;
  TryStrToBool(text, b);
  TDateTime t;
  TryStrToDate(text, t);
  TryStrToTime(text, t);
  TryStrToDateTime(text, t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  Formats(text);
  Conversions(text);
  return 0;
}
