#include "gridtestdata.h"

#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/dbtestutil.h"

std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows) {
  auto ds = std::make_unique<TSettingsDataSet>();
  FillNumbered(*ds, rows);
  return ds;
}

TwwDBGrid* PlaceFocusedGrid(TForm* form, TDataSource* source, const TRect& bounds) {
  auto* grid = new TwwDBGrid(form);
  grid->SetBoundsRect(bounds);
  grid->SetParent(form);
  grid->SetDataSource(source);
  grid->SetFocus();
  testing_support::Pump();
  return grid;
}
