// Painting speed of the canvas: what a grid does for each visible cell, and
// word-wrapped text as memo cells and labels draw it.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"

namespace {

TBitmap& Surface() {
  static TBitmap* bitmap = [] {
    Application->Initialize();  // fonts need the window system (offscreen is fine)
    auto* b = new TBitmap;
    b->SetSize(800, 600);
    return b;
  }();
  return *bitmap;
}

// One screen of grid cells: fill, text, and the two grid lines of each cell.
void BM_GridScreen(benchmark::State& state) {
  TCanvas* c = Surface().Canvas();
  const std::string texts[] = {"Open", "Defect 1234", "Reported by the customer", "2026-12-06"};
  for (auto _ : state) {
    for (int row = 0; row < 30; ++row)
      for (int col = 0; col < 8; ++col) {
        const TRect cell = Bounds(col * 100, row * 20, 100, 20);
        c->Brush()->SetColor((row + col) % 2 ? clWindow : clBtnFace);
        ExtTextOut(c, cell.Left + 3, cell.Top + 2, ETO_CLIPPED | ETO_OPAQUE, &cell,
                   texts[(row * 8 + col) % 4]);
        c->MoveTo(cell.Right - 1, cell.Top);
        c->LineTo(cell.Right - 1, cell.Bottom);
        c->MoveTo(cell.Left, cell.Bottom - 1);
        c->LineTo(cell.Right, cell.Bottom - 1);
      }
  }
  state.SetItemsProcessed(state.iterations() * 240);
}
BENCHMARK(BM_GridScreen)->Unit(benchmark::kMillisecond);

void BM_DrawTextWordBreak(benchmark::State& state) {
  TCanvas* c = Surface().Canvas();
  std::string text;
  for (int i = 0; i < 40; ++i) text += "The report shows every open defect of the project. ";
  for (auto _ : state) {
    TRect r = Rect(0, 0, 300, 600);
    benchmark::DoNotOptimize(DrawText(c, text, r, DT_WORDBREAK | DT_NOPREFIX));
  }
}
BENCHMARK(BM_DrawTextWordBreak)->Unit(benchmark::kMicrosecond);

}  // namespace
