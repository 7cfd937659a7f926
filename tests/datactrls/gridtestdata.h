#pragma once
// Test data for the published grid, which shows only the library's datasets.

#include <memory>

#include "settingsdataset.h"

// A library dataset with ID (integer), Name (string 20) and Amount (float),
// rows ID = 1..rows, Name = "N<id>", Amount = id * 1.5, at the first record.
std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows);
