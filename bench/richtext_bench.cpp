// Rich text speed: reading and writing a large memo's RTF, and laying a long
// text out page by page on a 600 dpi printer page, as a report prints memos.
// Targets: 100 KB of RTF read or written in at most 20 ms each; a 10-page text
// formatted in at most 50 ms. Plain text of the same size is the yardstick.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>

#include <cmath>
#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/richedit/richlayout.h"
#include "platform/classlib/richedit/rtf.h"
#include "richmemo.h"

namespace {

const TRtfDocument& HundredKilobytes() {
  static const TRtfDocument d = bench::Memo(100 * 1024);
  return d;
}

void BM_RtfRead100KB(benchmark::State& state) {
  const std::string rtf = RtfWrite(HundredKilobytes());
  for (auto _ : state) benchmark::DoNotOptimize(RtfRead(rtf));
  state.SetBytesProcessed(int64_t(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RtfRead100KB)->Unit(benchmark::kMillisecond);

// The text alone, as exports take it: the same reader without the document.
void BM_RtfPlainText100KB(benchmark::State& state) {
  const std::string rtf = RtfWrite(HundredKilobytes());
  for (auto _ : state) benchmark::DoNotOptimize(RtfPlainText(rtf));
  state.SetBytesProcessed(int64_t(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RtfPlainText100KB)->Unit(benchmark::kMillisecond);

void BM_RtfWrite100KB(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RtfWrite(HundredKilobytes()));
}
BENCHMARK(BM_RtfWrite100KB)->Unit(benchmark::kMillisecond);

// The yardstick: the same text as plain lines.
void BM_PlainText100KB(benchmark::State& state) {
  const std::string text = HundredKilobytes().PlainText();
  for (auto _ : state) benchmark::DoNotOptimize(PlainTextDocument(text).PlainText());
}
BENCHMARK(BM_PlainText100KB)->Unit(benchmark::kMillisecond);

// Ten letter pages at 600 dpi, laid out afresh and formatted page by page as a
// report does: measured on a page image, or drawn on a PDF printer's pages.
void FormatTenPages(benchmark::State& state, bool render) {
  Application->Initialize();
  constexpr int kPpi = 600;
  const TRtfDocument memo = bench::Memo(60 * 1024);  // about ten pages of 10-point text
  TBitmap image;
  image.SetSize(16, 16);
  QImage& pixels = vantrel::qt::BitmapImage(image);
  pixels.setDotsPerMeterX(int(std::lround(kPpi / 0.0254)));
  pixels.setDotsPerMeterY(int(std::lround(kPpi / 0.0254)));
  const QString pdfName = QDir::temp().filePath("vantrel-richtext-bench.pdf");
  QPdfWriter pdf(pdfName);
  pdf.setResolution(kPpi);
  pdf.setPageSize(QPageSize(QPageSize::Letter));
  TCanvas pdfCanvas;
  vantrel::qt::BindDevice(pdfCanvas, &pdf, nullptr);
  TCanvas* canvas = render ? &pdfCanvas : image.Canvas();
  const TRect r{0, 0, int(7.5 * kPpi), 10 * kPpi};
  int pages = 0;
  for (auto _ : state) {
    TRichTextLayout layout(memo);
    pages = 0;
    for (int first = 0; first < layout.TextLength(); ++pages) {
      if (render && pages > 0) pdf.newPage();
      const int next = layout.FormatRange(canvas, r, first, -1, render);
      if (next == first) break;
      first = next;
    }
  }
  vantrel::qt::Unbind(pdfCanvas);
  QFile::remove(pdfName);
  state.counters["pages"] = pages;
}
void BM_FormatTenPagesMeasure(benchmark::State& state) { FormatTenPages(state, false); }
void BM_FormatTenPagesToPdf(benchmark::State& state) { FormatTenPages(state, true); }
BENCHMARK(BM_FormatTenPagesMeasure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatTenPagesToPdf)->Unit(benchmark::kMillisecond);

}  // namespace
