#pragma once
// Internal to the printers library: the built-in printers and the page
// geometry every printer shares.

#include <memory>
#include <string>
#include <utility>
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

// The paper sources a printer description file offers (its InputSlot
// choices, named by their texts), numbered from DMBIN_USER in file order;
// none when the file has none or cannot be read.
std::vector<TBinInfo> DescribedBins(const std::string& descriptionFile);
// The job option that chooses bin `binNumber` of that file, as (name, value)
// pairs for the print service; none for the printer's own choice or a bin
// the file lacks.
std::vector<std::pair<std::string, std::string>> BinJobOptions(const std::string& descriptionFile,
                                                               int binNumber);
// The print service's description file of a printer (a temporary copy);
// empty without a service or a file.
std::string PrinterDescriptionFile(const std::string& printerName);

// The PDF printer: 600 dots per inch, every standard paper and custom sizes.
std::unique_ptr<TPrinterDevice> MakePdfPrinter();
// The system's printers; `defaultIndex` receives the system default's index
// (-1 when there is none).
std::vector<std::unique_ptr<TPrinterDevice>> SystemPrinters(int& defaultIndex);

}  // namespace vantrel::printers
