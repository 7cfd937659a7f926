#pragma once
// Recording virtual printers for the output tests: installed for a test's
// life, at the resolutions asked for, with letter and A4 and two bins.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/classlib/printers/printers.h"
#include "report/data/pputils.h"
#include "report/output/ppprintr.h"

namespace testing_support {

class TVirtualPrinters {
 public:
  explicit TVirtualPrinters(std::vector<std::pair<std::string, int>> printers) {
    for (const auto& [name, dpi] : printers) {
      auto device = std::make_unique<TRecordingPrinter>(name, dpi);
      device->SetPapers({{DMPAPER_LETTER, "Letter", {2159, 2794}},
                         {DMPAPER_A4, "A4", {2100, 2970}}});
      device->SetBins({{DMBIN_LOWER, "Lower"}, {DMBIN_MANUAL, "Manual"}});
      devices_.push_back(device.get());
      Printer()->AddPrinter(std::move(device));
    }
    ppPrinters()->Refresh();
    ppSetScreenPixelsPerInch(96);
  }
  ~TVirtualPrinters() {
    for (TPrinterDevice* d : devices_) Printer()->RemovePrinter(d);
    ppPrinters()->Refresh();
    ppSetScreenPixelsPerInch(0);
  }
  TVirtualPrinters(const TVirtualPrinters&) = delete;
  TVirtualPrinters& operator=(const TVirtualPrinters&) = delete;

  TRecordingPrinter& operator[](size_t i) const {
    return *static_cast<TRecordingPrinter*>(devices_[i]);
  }

 private:
  std::vector<TPrinterDevice*> devices_;
};

}  // namespace testing_support
