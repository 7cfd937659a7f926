#include "gridtestdata.h"

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"

std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows) {
  auto ds = std::make_unique<TSettingsDataSet>();
  FillNumbered(*ds, rows);
  return ds;
}

void PlaceWithPinnedFont(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, int w, int h) {
  grid->Font()->SetName("Arial");
  grid->Font()->SetSize(9);
  grid->TitleFont()->Assign(grid->Font());
  grid->SetBounds(0, 0, w, h);
  grid->SetParent(form);
  grid->SetDataSource(source);
  testing_support::Pump();
}

TColor PixelColor(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
}
