#pragma once
// Internal to the printers library: the built-in printers and the page
// geometry every printer shares.

#include <memory>
#include <vector>

#include "platform/classlib/printers/printers.h"

namespace vantrel::printers {

// A page in device pixels: the whole sheet, the printable area and where it starts.
struct TPageGeometry {
  TPoint Dpi;
  TSize Physical;
  TSize Printable;
  TPoint Offset;
};
TPageGeometry Geometry(const TPrinterDevice& device, const TPrinterSettings& settings);

// Letter where the locale measures in inches, else A4.
int LocalePaper();

// The PDF printer: 600 dots per inch, every standard paper and custom sizes.
std::unique_ptr<TPrinterDevice> MakePdfPrinter();
// The system's printers; `defaultIndex` receives the system default's index
// (-1 when there is none).
std::vector<std::unique_ptr<TPrinterDevice>> SystemPrinters(int& defaultIndex);

}  // namespace vantrel::printers
