// TPrintDialog and TPrinterSetupDialog over Printer(), and the file name the
// PDF printer asks for.

#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/classlib/core/format.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/dialogs/responder.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/printers/printers.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;

IMPLEMENT_CLASS(TPrintDialog, TCommonDialog)
IMPLEMENT_CLASS(TPrinterSetupDialog, TCommonDialog)

namespace {

std::string AskPrintFile(const std::string& title) {
  TSaveDialog dialog(nullptr);
  dialog.SetTitle(title.empty() ? "Print to File" : "Print to File - " + title);
  dialog.SetFilter("PDF files (*.pdf)|*.pdf|All files (*.*)|*");
  dialog.SetDefaultExt("pdf");
  dialog.SetOptions({ofOverwritePrompt, ofPathMustExist});
  return dialog.Execute() ? dialog.FileName() : std::string();
}

// Installed with the library: the PDF printer asks through the save dialog.
const bool kPrintFileInstalled = [] {
  AskPrintFileName = AskPrintFile;
  return true;
}();

// A QPrinter set up like Printer(): the system printer of that name, or PDF output.
void ConfigureQPrinter(QPrinter& q) {
  TPrinter* p = Printer();
  TPrinterSettings s = p->Settings();
  QPrinterInfo info = QPrinterInfo::printerInfo(ToQString(s.DeviceName));
  if (info.isNull()) {
    q.setOutputFormat(QPrinter::PdfFormat);
    q.setOutputFileName(ToQString(p->FileName()));
  } else {
    q.setPrinterName(info.printerName());
  }
  q.setPageSize(QPageSize(QSizeF(s.PaperWidth / 10.0, s.PaperLength / 10.0),
                          QPageSize::Millimeter));
  q.setPageOrientation(s.Orientation == poLandscape ? QPageLayout::Landscape
                                                    : QPageLayout::Portrait);
  q.setCopyCount(s.Copies);
  q.setCollateCopies(s.Collate);
}

// Takes back what the user chose in a Qt print or page dialog.
void TakeQPrinter(const QPrinter& q) {
  TPrinter* p = Printer();
  if (q.outputFormat() == QPrinter::PdfFormat) {
    p->SetPrinterIndex(p->Printers()->IndexOf("PDF"));
    p->SetFileName(FromQString(q.outputFileName()));
  } else if (int i = p->Printers()->IndexOf(FromQString(q.printerName())); i >= 0) {
    p->SetPrinterIndex(i);
  }
  TPrinterSettings s = p->Settings();
  s.Orientation = q.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
  int number = q.pageLayout().pageSize().windowsId();
  if (StandardPaperSize(number).cx > 0) s.PaperSize = number;
  s.Copies = q.copyCount();
  s.Collate = q.collateCopies();
  try {
    p->SetSettings(s);
  } catch (const EPrinter&) {
    // A paper the dialog offers but the printer's list lacks keeps the old paper.
    s.PaperSize = p->Settings().PaperSize;
    p->SetSettings(s);
  }
}

}  // namespace

// ---- Print dialog -----------------------------------------------------------------

TPrintDialog::TPrintDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

std::string TPrintDialog::RangeError() const {
  if (copies_ < 1) return "The number of copies must be at least 1.";
  if (printRange_ != prPageNums) return {};
  if (fromPage_ > toPage_ || fromPage_ < minPage_ || toPage_ > maxPage_)
    return Format("Page numbers must lie between %d and %d.", {minPage_, maxPage_});
  return {};
}

bool TPrintDialog::Execute() {
  if (printRange_ == prPageNums && !options_.Contains(poPageNums))
    printRange_ = prAllPages;  // the range box is not offered
  bool accepted = ExecuteChecked(TDialogKind::Print, [this] { return RunQtDialog(); },
                                 [this] {
                                   std::string error = RangeError();
                                   if (!error.empty()) MessageDlg(error, mtWarning, {mbOK}, 0);
                                   return error.empty();
                                 });
  if (!accepted) return false;
  TPrinter* printer = Printer();
  TPrinterSettings s = printer->Settings();
  s.Copies = copies_;
  s.Collate = collate_;
  printer->SetSettings(s);
  if (printToFile_) {
    std::string name = AskPrintFile(Printer()->Title());
    if (name.empty()) return false;
    printer->SetFileName(name);
  }
  return true;
}

bool TPrintDialog::RunQtDialog() {
  vantrel::dialogs::RequireWindowSystem();
  QPrinter q;
  ConfigureQPrinter(q);
  q.setCopyCount(copies_);
  q.setCollateCopies(collate_);
  q.setFromTo(fromPage_, toPage_);
  QPrintDialog dialog(&q);
  if (!Title().empty()) dialog.setWindowTitle(ToQString(Title()));
  dialog.setMinMax(minPage_, maxPage_);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, options_.Contains(poPageNums));
  dialog.setOption(QAbstractPrintDialog::PrintSelection, options_.Contains(poSelection));
  dialog.setOption(QAbstractPrintDialog::PrintToFile, options_.Contains(poPrintToFile) &&
                                                          !options_.Contains(poDisablePrintToFile));
  dialog.setPrintRange(printRange_ == prPageNums  ? QAbstractPrintDialog::PageRange
                       : printRange_ == prSelection ? QAbstractPrintDialog::Selection
                                                    : QAbstractPrintDialog::AllPages);
  if (OnShow) OnShow(this);
  bool accepted = dialog.exec() == QDialog::Accepted;
  if (OnClose) OnClose(this);
  if (!accepted) return false;
  copies_ = q.copyCount();
  collate_ = q.collateCopies();
  fromPage_ = q.fromPage();
  toPage_ = q.toPage();
  printRange_ = dialog.printRange() == QAbstractPrintDialog::PageRange ? prPageNums
                : dialog.printRange() == QAbstractPrintDialog::Selection ? prSelection
                                                                         : prAllPages;
  TakeQPrinter(q);
  return true;
}

// ---- Printer setup dialog ---------------------------------------------------------

TPrinterSetupDialog::TPrinterSetupDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

bool TPrinterSetupDialog::Execute() {
  bool accepted = false;
  if (AskResponder(TDialogKind::PrinterSetup, accepted)) return accepted;
  vantrel::dialogs::RequireWindowSystem();
  QPrinter q;
  ConfigureQPrinter(q);
  QPageSetupDialog dialog(&q);
  if (!Title().empty()) dialog.setWindowTitle(ToQString(Title()));
  if (OnShow) OnShow(this);
  accepted = dialog.exec() == QDialog::Accepted;
  if (OnClose) OnClose(this);
  if (accepted) TakeQPrinter(q);
  return accepted;
}
