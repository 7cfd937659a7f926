#pragma once
// Test data for the published grid, which shows only the library's datasets.

#include <memory>

#include "platform/classlib/graphics/types.h"

#include "settingsdataset.h"

// A library dataset with ID (integer), Name (string 20) and Amount (float),
// rows ID = 1..rows, Name = "N<id>", Amount = id * 1.5, at the first record.
std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows);

class TDataSource;
class TForm;
class TwwDBGrid;
// A grid on the form with those bounds over `source`, holding the focus.
TwwDBGrid* PlaceFocusedGrid(TForm* form, TDataSource* source, const TRect& bounds);
