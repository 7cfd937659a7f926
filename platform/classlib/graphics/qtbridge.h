#pragma once
// Internal to the class library's .cpp files: how canvases, fonts and images
// reach the Qt objects under them. Only forward declarations of Qt classes
// here; the system's own code never includes this header.

#include <memory>
#include <string>

#include "platform/classlib/graphics/graphics.h"

class QPainter;
class QPaintDevice;
class QImage;
class QColor;
class QFont;
class QString;
class QRect;
class QPicture;
class TIcon;

namespace vantrel::qt {

QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);
QFont ToQFont(const TFont& font);
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);
QRect ToQRect(const TRect& r);
TRect FromQRect(const QRect& r);

// Targets: a canvas draws through a painter that it begins on the bound device
// on first use, or through a painter that someone else runs (a window's paint).
// `image` is the device again when it is an image (pixels can then be read).
void BindDevice(TCanvas& canvas, QPaintDevice* device, QImage* image);
void BindPainter(TCanvas& canvas, QPainter* painter, QImage* image = nullptr);
void Unbind(TCanvas& canvas);
// Ends a painter the canvas began itself, so its device may be read or changed.
void ReleasePainter(TCanvas& canvas);
// The painter to draw with, begun when needed; raises EInvalidOperation
// "Canvas does not allow drawing" when the canvas has no target.
QPainter& ActivePainter(TCanvas& canvas);
// The image under the canvas, or nullptr when it draws on something else.
QImage* TargetImage(TCanvas& canvas);
// Keeps a readable log of drawing calls in `log` (nullptr stops it).
void SetCommandLog(TCanvas& canvas, std::vector<std::string>* log);

// The pixels of a bitmap (ends its canvas's painter first).
QImage& BitmapImage(TBitmap& bitmap);
// The bitmap with its transparency applied (transparent pixels have alpha 0).
QImage MaskedImage(TBitmap& bitmap);

// The pixels of an icon (with alpha), and a new icon of such pixels.
QImage IconImage(const TIcon& icon);
std::unique_ptr<TIcon> IconOfImage(const QImage& image);

// Font substitutes for the classic face names, installed once.
void InstallFontSubstitutes();

}  // namespace vantrel::qt
