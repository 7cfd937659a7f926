// Paper sources of the system's printers, read from their printer
// description files through the print service's library.

#include "platform/classlib/printers/printdevices.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <memory>

namespace vantrel::printers {

namespace {

// The description-file interface is the one the service still keeps every
// printer's input slots in; its deprecation notices say nothing we can act on.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct TPpdCloser {
  void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};
using TPpd = std::unique_ptr<ppd_file_t, TPpdCloser>;

TPpd OpenDescription(const std::string& file) {
  if (file.empty()) return nullptr;
  return TPpd(ppdOpenFile(file.c_str()));
}

// The slot option: "InputSlot" in description files; none when absent.
ppd_option_t* SlotOption(ppd_file_t* ppd) { return ppd ? ppdFindOption(ppd, "InputSlot") : nullptr; }

}  // namespace

std::vector<TBinInfo> DescribedBins(const std::string& descriptionFile) {
  std::vector<TBinInfo> bins;
  TPpd ppd = OpenDescription(descriptionFile);
  ppd_option_t* slot = SlotOption(ppd.get());
  if (!slot) return bins;
  for (int i = 0; i < slot->num_choices; ++i) {
    const ppd_choice_t& choice = slot->choices[i];
    bins.push_back({DMBIN_USER + i, choice.text[0] ? choice.text : choice.choice});
  }
  return bins;
}

std::vector<std::pair<std::string, std::string>> BinJobOptions(const std::string& descriptionFile,
                                                               int binNumber) {
  if (binNumber < DMBIN_USER) return {};
  TPpd ppd = OpenDescription(descriptionFile);
  ppd_option_t* slot = SlotOption(ppd.get());
  const int index = binNumber - DMBIN_USER;
  if (!slot || index >= slot->num_choices) return {};
  return {{slot->keyword, slot->choices[index].choice}};
}

std::string PrinterDescriptionFile(const std::string& printerName) {
  // A copy in a temporary file; none without a print service or a file.
  const char* copy = cupsGetPPD(printerName.c_str());
  return copy ? copy : "";
}

#pragma GCC diagnostic pop

}  // namespace vantrel::printers
