// Painting one screen of a string grid: 40 rows by 12 columns (one fixed row
// and column among them), every cell holding a text, through the grid's own
// paint message onto a bitmap. The yardstick is the bare canvas drawing the
// same cells on the same bitmap: a fill, the text and the two grid lines of
// each cell. Both run in turn in every iteration (the interleaving the data
// benchmarks use); the counters give the bare canvas's median (raw_ms), the
// grid's (median_ms) and their ratio (x_raw).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/grids/grids.h"
#include "trackertable.h"

namespace {

constexpr int kRows = 40, kCols = 12, kColWidth = 64, kRowHeight = 18;
const std::string kTexts[] = {"Open", "Defect 1234", "Reported by the customer", "2026-12-06"};

// A grid exactly one screen large: no border, no scroll bars.
std::unique_ptr<TStringGrid> ScreenGrid() {
  auto grid = std::make_unique<TStringGrid>(nullptr);
  grid->SetBorderStyle(bsNone);
  grid->SetScrollBars(ssNone);
  grid->SetDefaultColWidth(kColWidth);
  grid->SetDefaultRowHeight(kRowHeight);
  grid->SetColCount(kCols);
  grid->SetRowCount(kRows);
  grid->SetBounds(0, 0, kCols * (kColWidth + 1), kRows * (kRowHeight + 1));
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) grid->SetCells(c, r, kTexts[(r * kCols + c) % 4]);
  return grid;
}

void PaintBareCells(TCanvas* c) {
  c->Pen()->SetColor(clSilver);
  for (int row = 0; row < kRows; ++row)
    for (int col = 0; col < kCols; ++col) {
      const TRect cell = Bounds(col * (kColWidth + 1), row * (kRowHeight + 1), kColWidth + 1,
                                kRowHeight + 1);
      c->Brush()->SetColor(row == 0 || col == 0 ? clBtnFace : clWindow);
      c->FillRect(cell);
      c->TextRect(cell, cell.Left + 2, cell.Top + 2, kTexts[(row * kCols + col) % 4]);
      c->MoveTo(cell.Right - 1, cell.Top);
      c->LineTo(cell.Right - 1, cell.Bottom);
      c->MoveTo(cell.Left, cell.Bottom - 1);
      c->LineTo(cell.Right, cell.Bottom - 1);
    }
}

// One iteration = one screen painted by the grid (the measured time) and the
// same screen painted by the bare canvas.
void BM_GridPaintScreen(benchmark::State& state) {
  Application->Initialize();  // fonts need the window system (offscreen is fine)
  auto grid = ScreenGrid();
  TBitmap surface;
  surface.SetSize(grid->Width(), grid->Height());
  const TRect all = grid->ClientRect();
  bench::Interleave(
      state, [&] { PaintBareCells(surface.Canvas()); },
      [&] { grid->Perform(WM_PAINT, WPARAM(surface.Canvas()), LPARAM(&all)); });
}
BENCHMARK(BM_GridPaintScreen)->UseManualTime()->Iterations(51)->Unit(benchmark::kMillisecond);

}  // namespace
