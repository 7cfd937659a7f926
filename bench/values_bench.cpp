// Speed of the value routines that grids, reports and the engine call per cell
// and per record: number and date texts, Format, variant conversions, sorting
// comparisons.

#include <benchmark/benchmark.h>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/variant.h"

namespace {

void BM_FloatToStr(benchmark::State& state) {
  double x = 1234.5678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FloatToStr(x));
    x += 0.001;
  }
}
BENCHMARK(BM_FloatToStr);

void BM_FormatFloatPicture(benchmark::State& state) {
  double x = 1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatFloat("#,##0.00;(#,##0.00)", x));
    x += 0.01;
  }
}
BENCHMARK(BM_FormatFloatPicture);

void BM_Format(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(Format("%s: %d of %.2f", {"Field", ++n, 2.5}));
}
BENCHMARK(BM_Format);

void BM_FormatDateTime(benchmark::State& state) {
  const TFormatSettings fs = TFormatSettings::English();
  TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(13, 14, 15, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DateTimeToStr(t, fs));
    t += 1.0 / 86400;
  }
}
BENCHMARK(BM_FormatDateTime);

void BM_StrToDateTime(benchmark::State& state) {
  const TFormatSettings fs = TFormatSettings::English();
  for (auto _ : state) benchmark::DoNotOptimize(StrToDateTime("2/29/2024 1:14:15 PM", fs));
}
BENCHMARK(BM_StrToDateTime);

void BM_VariantTextToNumber(benchmark::State& state) {
  const Variant v = "12345.75";
  for (auto _ : state) benchmark::DoNotOptimize(v.AsDouble());
}
BENCHMARK(BM_VariantTextToNumber);

void BM_AnsiCompareText(benchmark::State& state) {
  const std::string a = "M\xC3\xBCller, Stefan", b = "M\xC3\x9CLLER, STEPHAN";
  for (auto _ : state) benchmark::DoNotOptimize(AnsiCompareText(a, b));
}
BENCHMARK(BM_AnsiCompareText);

// Case mapping and folding per byte of text: names of several scripts, and
// plain ASCII, the usual case.
const std::string kMixedText =
    "M\xC3\xBCller, Stefan; \xC6\xA0n Ph\xC6\xB0\xC6\xA1ng; \xC6\x8Fli; Stra\xC3\x9F" "e; "
    "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1; \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";
const std::string kAsciiText = "Mueller, Stefan; On Phuong; Ali; Strasse; Athena; Moskva";

void BM_CaseMap(benchmark::State& state, std::string (*map)(std::string_view), const std::string& text) {
  for (auto _ : state) benchmark::DoNotOptimize(map(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_CaseMap, AnsiUpperCase_mixed, AnsiUpperCase, kMixedText);
BENCHMARK_CAPTURE(BM_CaseMap, AnsiUpperCase_ascii, AnsiUpperCase, kAsciiText);
BENCHMARK_CAPTURE(BM_CaseMap, AnsiLowerCase_mixed, AnsiLowerCase, kMixedText);
BENCHMARK_CAPTURE(BM_CaseMap, AnsiFoldCase_mixed, AnsiFoldCase, kMixedText);
BENCHMARK_CAPTURE(BM_CaseMap, AnsiUpperCaseFolded_mixed, AnsiUpperCaseFolded, kMixedText);

}  // namespace
