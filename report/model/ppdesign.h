#pragma once
// What a layout designer offers for each component and band: the popup menu
// items (names and caption offsets of the string table) and where the sizing
// and selection handles of a selected component go. The application opens
// no designer; these tables complete the component classes for one.

#include <string>
#include <vector>

#include "platform/classlib/graphics/types.h"

struct TppMenuItemDef {
  const char* Name;
  int CaptionOffset;  // 0 for a separator
};

// The popup items of a class ("TppLabel", "TppDetailBand" ...), in menu
// order; a class without items of its own takes its kind's (any band, page
// band, report band); empty for an unknown class.
const std::vector<TppMenuItemDef>& ppPopupItems(const std::string& className);
// An item's caption at a language base (empty for a separator).
std::string ppPopupCaption(const TppMenuItemDef& item, int languageBase);

// Handle size in pixels.
constexpr int ppHandleSize = 5;
// Top-left corners of the eight sizing handles around `bounds`: top-left,
// top-middle, top-right, middle-left, middle-right, bottom-left,
// bottom-middle, bottom-right (each centred on its point).
std::vector<TPoint> ppSizingHandles(const TRect& bounds);
// Top-left corners of the four selection handles inside `bounds`.
std::vector<TPoint> ppSelectionHandles(const TRect& bounds);
