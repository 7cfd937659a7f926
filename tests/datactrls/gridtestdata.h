#pragma once
// Test data for the published grid, which shows only the library's datasets,
// and the ways the grid tests place a grid and read its pixels.

#include <memory>

#include <QImage>

#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/graphics/types.h"
#include "settingsdataset.h"

class TDataSource;
class TForm;
class TwwCustomDBGrid;
class TwwDBGrid;

// A library dataset with ID (integer), Name (string 20) and Amount (float),
// rows ID = 1..rows, Name = "N<id>", Amount = id * 1.5, at the first record.
std::unique_ptr<TSettingsDataSet> MakeLibraryNumbered(int rows);

// The grid on the form with those bounds over `source`, holding the focus.
void PlaceFocused(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, const TRect& bounds);
// The same for a new plain TwwDBGrid.
TwwDBGrid* PlaceFocusedGrid(TForm* form, TDataSource* source, const TRect& bounds);
// Puts the grid on the form at (0, 0) in w by h over `source`, its cells and
// titles in a pinned font (Arial 9), so that pixel positions hold.
void PlaceWithPinnedFont(TwwCustomDBGrid* grid, TForm* form, TDataSource* source, int w, int h);
// A pixel's colour as the class library writes colours.
TColor PixelColor(const QImage& image, int x, int y);
