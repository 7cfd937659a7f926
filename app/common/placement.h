#pragma once
// The one placement rule of the windows that keep their position in the
// settings (main window, new-entry dialog, find dialog).

#include <optional>
#include <string>

#include "platform/classlib/graphics/types.h"

class TForm;
class TRegIniFile;

// A top of -100 means the position was never saved.
inline constexpr int kNeverSaved = -100;

// The stored top-left of a window, or nothing when it was never saved. A top
// or left beyond the screen is pulled to half the screen's height or width;
// one off the screen to the left or above is kept.
std::optional<TPoint> StoredPosition(TRegIniFile& reg, const std::string& section,
                                     const std::string& topName, const std::string& leftName);

// Puts `form` at its stored position, or centres it on the screen when the
// position was never saved.
void RestoreStoredPosition(TForm& form, TRegIniFile& reg, const std::string& section,
                           const std::string& topName, const std::string& leftName);

// A stored extent pulled into [minimum, limit] (limit wins when smaller).
int ClampExtent(int value, int minimum, int limit);

// The value names of a window's stored bounds.
struct TStoredBoundsNames {
  std::string top, left, width, height;
};

// Puts `form` at its stored position with its stored size, each extent pulled
// into [minimum, the screen's]; false, leaving the form as it is, when the
// bounds were never saved.
bool RestoreStoredBounds(TForm& form, TRegIniFile& reg, const std::string& section,
                         const TStoredBoundsNames& names, TPoint minimum);
