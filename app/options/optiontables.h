#pragma once
// What the options dialog's files share: the settings' sections and names,
// the code lists of the New Entry page, the lookup grids and the toolbar boxes.

#include <span>
#include <string>

#include "app/main/bug.h"
#include "app/options/options.h"
#include "platform/classlib/graphics/colors.h"

class TwwDataSource;

inline constexpr const char* kOptionsSection = "Options";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kOptionsPage = "Options Page";
// The font sizes the size box offers (and a typed size is pulled into).
inline constexpr int kMinFontSize = 3, kMaxFontSize = 200;
// The row height factor the track bar offers.
inline constexpr int kMinCellHeight = 1, kMaxCellHeight = 5;

// An item of a status or priority list: its texts for bug reports and
// feature requests, the code stored, and the colour of its picture.
struct CodeItem {
  const char* Bug;
  const char* Feature;
  const char* Code;
  TColor Picture;
};
std::span<const CodeItem> StatusItems();
std::span<const CodeItem> PriorityItems();
// The item carrying `code`; -1 when none does.
int ItemOfCode(std::span<const CodeItem> items, const std::string& code);

// A lookup grid of the Drop Downs page, in the page's order.
struct LookupGridInfo {
  const char* Name;
  const char* Caption;
  TfrmOptions::LookupGrid Number;
  TwwDataSource* TfrmBug::*Source;
  TwwtaTable* TfrmBug::*Table;
  TwwDBGrid* TfrmOptions::*Grid;
  const char* Field;    // the lookup field entries are added to
  const char* Columns;  // the grid's selected fields
};
std::span<const LookupGridInfo> LookupGrids();

// A box of the Toolbars page and the value it stands for.
struct ToolbarBox {
  TCheckBox* TfrmOptions::*Box;
  const char* Name;
  const char* Caption;
  const char* Value;
};
std::span<const ToolbarBox> ToolbarBoxes();

// A check box kept under one value.
struct BoolSetting {
  TCheckBox* TfrmOptions::*Box;
  const char* Section;
  const char* Value;
  bool Default;
};
std::span<const BoolSetting> BoolSettings();

// A font area's value suffix and default font.
struct FontAreaInfo {
  const char* Suffix;
  const char* Name;
  int Size;
};
std::span<const FontAreaInfo> FontAreas();
