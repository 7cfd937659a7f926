// The report printer's print job on the class library's printer, its page
// canvas and the printer setup dialog.

#include <algorithm>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/output/ppprintr.h"

namespace {

// Job titles longer than this are cut, as print queues show no more.
constexpr int kMaxTitleLength = 31;
constexpr int kDefaultBin = DMBIN_AUTO;

}  // namespace

// ---- The page canvas ----------------------------------------------------------------------

bool TppPrinterCanvas::SelectFont(const TFont* font) {
  TFont* current = canvas_->Font();
  if (current->Charset() == font->Charset() && current->Color() == font->Color() &&
      current->Pitch() == font->Pitch() && current->Size() == font->Size() &&
      current->Style() == font->Style() && current->Name() == font->Name())
    return false;
  const int points = font->Size();
  current->Assign(font);
  current->SetPixelsPerInch(dpiY_);
  current->SetSize(points);
  return true;
}

// ---- The job ---------------------------------------------------------------------------------

void TppPrinter::BeginDoc() {
  if (printing_) return;
  aborted_ = pageStarted_ = docOpen_ = false;
  pageNumber_ = 0;
  printing_ = true;
  // The document itself opens with its first page, so a run that prints no
  // page leaves no empty document behind.
}

void TppPrinter::StartPage() {
  if (!printing_ || pageStarted_) return;
  TPrinter* printer = Select();  // the settings of this page
  if (!docOpen_) {
    previousFileName_ = printer->FileName();
    printer->SetFileName(FileName);
    printer->SetTitle(Utf8Copy(title_, 1, kMaxTitleLength));
    try {
      printer->BeginDoc();
    } catch (...) {
      printer->SetFileName(previousFileName_);
      printing_ = false;
      throw;
    }
    docOpen_ = true;
  } else {
    printer->NewPage();
  }
  pageStarted_ = true;
  ++pageNumber_;
  jobCanvas_ = std::make_unique<TppPrinterCanvas>(printer->Canvas(),
                                                  printer->DeviceCaps(LOGPIXELSY));
}

bool TppPrinter::NeedsFileName() const { return Select()->Device()->NeedsFileName(); }

void TppPrinter::EndPage() { pageStarted_ = false; }

void TppPrinter::EndDoc() {
  if (!printing_) return;
  EndPage();
  jobCanvas_.reset();
  printing_ = false;
  if (!docOpen_) return;
  docOpen_ = false;
  TPrinter* printer = Target();
  printer->SetFileName(previousFileName_);
  if (!aborted_) printer->EndDoc();
}

void TppPrinter::Abort() {
  if (!printing_) return;
  aborted_ = true;
  if (docOpen_) Target()->Abort();
  EndDoc();
}

// ---- The setup dialog ------------------------------------------------------------------------

bool TppPrinterSetupDialog::Execute() {
  if (!printer_) return false;
  TPrinter* printer = printer_->Select();
  TPrinterSetupDialog dialog(nullptr);
  if (!dialog.Execute()) return false;
  const TPrinterSettings chosen = printer->Settings();
  TppDevMode dm;
  dm.dmDeviceName = chosen.DeviceName;
  dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DUPLEX | DM_DEFAULTSOURCE;
  dm.dmOrientation = int16_t(chosen.Orientation + 1);
  dm.dmPaperSize = int16_t(chosen.PaperSize);
  dm.dmPaperWidth = int16_t(std::min(chosen.PaperWidth, int(INT16_MAX)));
  dm.dmPaperLength = int16_t(std::min(chosen.PaperLength, int(INT16_MAX)));
  dm.dmCopies = int16_t(std::min(chosen.Copies, int(INT16_MAX)));
  dm.dmDuplex = int16_t(chosen.Duplex);
  dm.dmDefaultSource = int16_t(chosen.DefaultSource == 0 ? kDefaultBin : chosen.DefaultSource);
  printer_->SetupFromDevMode(dm);
  if (printer_->OnSetupChanged) printer_->OnSetupChanged(printer_);
  return true;
}
