#include "gridtestdata.h"

#include "platform/classlib/db/dbtestutil.h"

std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows) {
  auto ds = std::make_unique<TSettingsDataSet>();
  FillNumbered(*ds, rows);
  return ds;
}
