#include "platform/classlib/graphics/colors.h"

#include <array>
#include <cstdio>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/graphics.h"

namespace {

// The classic scheme, as RGB values (0x00BBGGRR).
constexpr std::array<TColor, COLOR_COUNT> kClassicScheme = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3-D dark shadow
    RGB(192, 192, 192),  // 3-D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(192, 192, 192),  // (unused slot)
    RGB(0, 0, 255),      // hot-tracked item
    RGB(16, 132, 208),   // active caption gradient
    RGB(181, 181, 181),  // inactive caption gradient
    RGB(0, 0, 128),      // menu highlight
    RGB(192, 192, 192),  // menu bar
};

std::array<TColor, COLOR_COUNT>& Scheme() {
  static std::array<TColor, COLOR_COUNT> scheme = kClassicScheme;
  return scheme;
}

struct ColorName {
  TColor color;
  const char* name;
};

constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"},
    {clOlive, "clOlive"}, {clNavy, "clNavy"}, {clPurple, "clPurple"},
    {clTeal, "clTeal"}, {clGray, "clGray"}, {clSilver, "clSilver"},
    {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"},
    {clWhite, "clWhite"}, {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"}, {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"}, {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"}, {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"}, {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"}, {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"}, {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"}, {clInfoText, "clInfoText"}, {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"}, {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"}, {clMenuBar, "clMenuBar"},
    {clNone, "clNone"}, {clDefault, "clDefault"},
};

}  // namespace

TColor GetSysColor(int index) {
  if (index < 0 || index >= COLOR_COUNT) return clBlack;
  return Scheme()[index];
}

void SetSysColor(int index, TColor rgb) {
  if (index >= 0 && index < COLOR_COUNT) Scheme()[index] = rgb & 0xFFFFFF;
}

void ResetSysColors() { Scheme() = kClassicScheme; }

TColor ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return color;
}

const TIdentMap& ColorIdents() {
  static const TIdentMap idents = [] {
    std::vector<TIdentMapEntry> entries;
    for (const ColorName& n : kColorNames) entries.push_back({n.color, n.name});
    return TIdentMap(std::move(entries));
  }();
  return idents;
}

bool ColorToIdent(TColor color, std::string& ident) {
  for (const ColorName& n : kColorNames)
    if (n.color == color) {
      ident = n.name;
      return true;
    }
  return false;
}

bool IdentToColor(const std::string& ident, TColor& color) {
  for (const ColorName& n : kColorNames)
    if (SameText(ident, n.name)) {
      color = n.color;
      return true;
    }
  return false;
}

std::string ColorToString(TColor color) {
  std::string ident;
  if (ColorToIdent(color, ident)) return ident;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(color));
  return buf;
}

TColor StringToColor(const std::string& text) {
  TColor color = 0;
  if (IdentToColor(text, color)) return color;
  return TColor(StrToInt(text));
}
