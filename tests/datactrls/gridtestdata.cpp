#include "gridtestdata.h"

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"

std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows) {
  auto ds = std::make_unique<TSettingsDataSet>();
  FillNumbered(*ds, rows);
  return ds;
}

namespace {

void Place(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, const TRect& bounds) {
  grid->SetBoundsRect(bounds);
  grid->SetParent(form);
  grid->SetDataSource(source);
}

}  // namespace

void PlaceFocused(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, const TRect& bounds) {
  Place(grid, form, source, bounds);
  grid->SetFocus();
  testing_support::Pump();
}

TwwDBGrid* PlaceFocusedGrid(TForm* form, TDataSource* source, const TRect& bounds) {
  auto* grid = new TwwDBGrid(form);
  PlaceFocused(grid, form, source, bounds);
  return grid;
}

void PlaceWithPinnedFont(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, int w, int h) {
  grid->Font()->SetName("Arial");
  grid->Font()->SetSize(9);
  grid->TitleFont()->Assign(grid->Font());
  Place(grid, form, source, {0, 0, w, h});
  testing_support::Pump();
}

TColor PixelColor(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
}
