#include "app/common/placement.h"

#include <algorithm>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/registry.h"

std::optional<TPoint> StoredPosition(TRegIniFile& reg, const std::string& section,
                                     const std::string& topName, const std::string& leftName) {
  if (reg.ReadInteger(section, topName, kNeverSaved) == kNeverSaved) return std::nullopt;
  int top = reg.ReadInteger(section, topName, 0);
  int left = reg.ReadInteger(section, leftName, 0);
  if (top > Screen->Height()) top = Screen->Height() / 2;
  if (left > Screen->Width()) left = Screen->Width() / 2;
  return TPoint{left, top};
}

void RestoreStoredPosition(TForm& form, TRegIniFile& reg, const std::string& section,
                           const std::string& topName, const std::string& leftName) {
  const std::optional<TPoint> position = StoredPosition(reg, section, topName, leftName);
  if (!position) {
    form.SetPosition(poScreenCenter);
    return;
  }
  form.SetPosition(poDesigned);
  form.SetLeft(position->x);
  form.SetTop(position->y);
}

int ClampExtent(int value, int minimum, int limit) {
  return std::max(std::min(value, limit), std::min(minimum, limit));
}

bool RestoreStoredBounds(TForm& form, TRegIniFile& reg, const std::string& section,
                         const TStoredBoundsNames& names, TPoint minimum) {
  const std::optional<TPoint> position = StoredPosition(reg, section, names.top, names.left);
  if (!position) return false;
  const int width =
      ClampExtent(reg.ReadInteger(section, names.width, 0), minimum.x, std::max(minimum.x, Screen->Width()));
  const int height =
      ClampExtent(reg.ReadInteger(section, names.height, 0), minimum.y, std::max(minimum.y, Screen->Height()));
  form.SetPosition(poDesigned);
  form.SetBounds(position->x, position->y, width, height);
  return true;
}
