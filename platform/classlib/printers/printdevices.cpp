// The built-in PDF printer and the system's printers through Qt print support.

#include "platform/classlib/printers/printdevices.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <QPrintEngine>

#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/graphics/qtbridge.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;

namespace vantrel::printers {

int LocalePaper() {
  return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? DMPAPER_LETTER
                                                                           : DMPAPER_A4;
}

namespace {

QPageLayout LayoutOf(const TPrinterSettings& s, const TRect& marginTenths) {
  QPageSize size(QSizeF(s.PaperWidth / 10.0, s.PaperLength / 10.0), QPageSize::Millimeter,
                 ToQString(StandardPaperName(s.PaperSize)), QPageSize::ExactMatch);
  QMarginsF margins(marginTenths.Left / 10.0, marginTenths.Top / 10.0, marginTenths.Right / 10.0,
                    marginTenths.Bottom / 10.0);
  return QPageLayout(size,
                     s.Orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     margins, QPageLayout::Millimeter);
}

// The painter of a job, begun on its device; a device that refuses it
// (no such printer, an unwritable file) fails the job here.
void BeginPainting(TCanvas& canvas, QPaintDevice* device, const std::string& printer) {
  vantrel::qt::BindDevice(canvas, device, nullptr);
  try {
    vantrel::qt::ActivePainter(canvas);
  } catch (const Exception&) {
    vantrel::qt::Unbind(canvas);
    throw EPrintError(Format("Printer \"%s\" cannot start printing", {printer}));
  }
  if (!vantrel::qt::ActivePainter(canvas).isActive()) {
    vantrel::qt::Unbind(canvas);
    throw EPrintError(Format("Printer \"%s\" cannot start printing", {printer}));
  }
}

// ---- PDF -------------------------------------------------------------------------

// Qt's PDF writer writes in small pieces: they are gathered here and handed to
// the file's writer in large ones. The first failure is kept; it fails every
// later write and the end of the job.
class TWriterDevice : public QIODevice {
 public:
  explicit TWriterDevice(TAtomicFileWriter& file) : file_(file) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }
  // Writes what is gathered; raises EPrintError with the first failure.
  void Finish() {
    Flush();
    if (!failure_.empty()) throw EPrintError(failure_);
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (failure_.empty()) buffer_.append(data, std::size_t(size));
    if (buffer_.size() >= kChunk) Flush();
    return failure_.empty() ? size : -1;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;
  void Flush() {
    if (failure_.empty() && !buffer_.empty()) {
      try {
        file_.Write(buffer_);
      } catch (const Exception& e) {
        failure_ = e.Message();
      }
    }
    buffer_.clear();
  }
  TAtomicFileWriter& file_;
  std::string buffer_;
  std::string failure_;
};

// Every paper of the classic table, and custom sizes.
class PdfPrinter : public TPrinterDevice {
 public:
  std::string Name() const override { return "PDF"; }
  // Fine enough for print and the report's own layout in device pixels.
  TPoint Resolution() const override { return {600, 600}; }
  bool CustomSizes() const override { return true; }
  bool NeedsFileName() const override { return true; }

  std::vector<TPaperInfo> Papers() const override {
    std::vector<TPaperInfo> papers;
    for (int n = 1; n <= DMPAPER_LAST; ++n)
      if (TSize size = StandardPaperSize(n); size.cx > 0)
        papers.push_back({n, StandardPaperName(n), size});
    return papers;
  }

  void StartJob(const TPrinterSettings& settings, const std::string& title,
                const std::string& fileName, TCanvas& canvas) override {
    // Written through an atomic file writer: an aborted or failed job leaves
    // neither a partial file nor a damaged older one, and a device or a pipe
    // named as the file takes the document in place.
    try {
      target_ = std::make_unique<TAtomicFileWriter>(fileName);
    } catch (const Exception& e) {
      throw EPrintError(e.Message());
    }
    file_ = std::make_unique<TWriterDevice>(*target_);
    writer_ = std::make_unique<QPdfWriter>(file_.get());
    writer_->setResolution(Resolution().x);
    writer_->setTitle(ToQString(title));
    writer_->setCreator("Vantrel Pro");
    writer_->setPageLayout(LayoutOf(settings, {}));
    try {
      BeginPainting(canvas, writer_.get(), Name());
    } catch (...) {
      Discard();
      throw;
    }
  }

  void NewPage(const TPrinterSettings& settings, TCanvas& canvas) override {
    (void)canvas;
    writer_->setPageLayout(LayoutOf(settings, {}));
    writer_->newPage();
  }

  void EndJob(TCanvas& canvas) override {
    vantrel::qt::Unbind(canvas);  // ends the painter, which writes the document
    writer_.reset();
    try {
      file_->Finish();
      target_->Commit();
    } catch (const EInOutError& e) {
      Discard();
      throw EPrintError(e.Message());
    } catch (...) {
      Discard();
      throw;
    }
    Discard();
  }

  void AbortJob(TCanvas& canvas) override {
    vantrel::qt::Unbind(canvas);
    Discard();
  }

 private:
  // Removes what an unfinished job wrote.
  void Discard() {
    writer_.reset();
    file_.reset();
    target_.reset();
  }

  std::unique_ptr<TAtomicFileWriter> target_;
  std::unique_ptr<TWriterDevice> file_;
  std::unique_ptr<QPdfWriter> writer_;
};

// ---- System printers -------------------------------------------------------------

// The print engine's property that carries options for the print service
// (name, value, name, value ...) with the job.
const auto kServiceOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

class SystemPrinter : public TPrinterDevice {
 public:
  explicit SystemPrinter(const QPrinterInfo& info) : info_(info) {}
  ~SystemPrinter() override {
    if (description_ && !description_->empty()) std::remove(description_->c_str());
  }

  std::string Name() const override { return FromQString(info_.printerName()); }
  std::string DriverName() const override { return FromQString(info_.makeAndModel()); }
  std::string PortName() const override { return FromQString(info_.location()); }

  TPoint Resolution() const override {
    QPrinter probe(info_, QPrinter::HighResolution);
    return {probe.resolution(), probe.resolution()};
  }

  // Only sizes that have a classic number can be asked for by number.
  std::vector<TPaperInfo> Papers() const override {
    std::vector<TPaperInfo> papers;
    for (const QPageSize& size : info_.supportedPageSizes()) {
      int n = size.windowsId();
      if (StandardPaperSize(n).cx == 0) continue;
      papers.push_back({n, FromQString(size.name()), StandardPaperSize(n)});
    }
    return papers;
  }

  // The paper sources the print service describes; none when it offers none
  // (the printer then takes its own choice, bin 0).
  std::vector<TBinInfo> Bins() const override { return DescribedBins(Description()); }

  bool CustomSizes() const override { return info_.supportsCustomPageSizes(); }

  TRect Margins(const TPrinterSettings& settings) const override {
    QPrinter probe(info_, QPrinter::HighResolution);
    probe.setPageLayout(LayoutOf(settings, {}));
    QPageLayout layout = probe.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    QMarginsF m = layout.minimumMargins();
    auto tenths = [](double mm) { return int(std::lround(mm * 10)); };
    return {tenths(m.left()), tenths(m.top()), tenths(m.right()), tenths(m.bottom())};
  }

  void StartJob(const TPrinterSettings& settings, const std::string& title,
                const std::string& fileName, TCanvas& canvas) override {
    printer_ = std::make_unique<QPrinter>(info_, QPrinter::HighResolution);
    printer_->setFullPage(false);  // the origin is the printable area's corner
    Apply(settings);
    printer_->setDocName(ToQString(title));
    printer_->setCopyCount(settings.Copies);
    printer_->setCollateCopies(settings.Collate);
    if (!fileName.empty()) printer_->setOutputFileName(ToQString(fileName));
    QStringList options;
    for (const auto& [name, value] : BinJobOptions(Description(), settings.DefaultSource))
      options << ToQString(name) << ToQString(value);
    if (!options.isEmpty()) printer_->printEngine()->setProperty(kServiceOptions, options);
    try {
      BeginPainting(canvas, printer_.get(), Name());
    } catch (...) {
      printer_.reset();
      throw;
    }
  }

  void NewPage(const TPrinterSettings& settings, TCanvas&) override {
    Apply(settings);
    printer_->newPage();
  }

  void EndJob(TCanvas& canvas) override {
    vantrel::qt::Unbind(canvas);
    printer_.reset();
  }

  void AbortJob(TCanvas& canvas) override {
    printer_->abort();
    vantrel::qt::Unbind(canvas);
    printer_.reset();
  }

 private:
  void Apply(const TPrinterSettings& settings) {
    QPageLayout layout = LayoutOf(settings, {});
    layout.setMinimumMargins(printer_->pageLayout().minimumMargins());
    layout.setMargins(printer_->pageLayout().minimumMargins());
    printer_->setPageLayout(layout);
    printer_->setDuplex(settings.Duplex == DMDUP_VERTICAL     ? QPrinter::DuplexLongSide
                        : settings.Duplex == DMDUP_HORIZONTAL ? QPrinter::DuplexShortSide
                                                              : QPrinter::DuplexNone);
  }

  // Fetched once: the service copies it into a temporary file each time.
  const std::string& Description() const {
    if (!description_) description_ = PrinterDescriptionFile(Name());
    return *description_;
  }

  QPrinterInfo info_;
  std::unique_ptr<QPrinter> printer_;
  mutable std::optional<std::string> description_;
};

}  // namespace

std::unique_ptr<TPrinterDevice> MakePdfPrinter() { return std::make_unique<PdfPrinter>(); }

std::vector<std::unique_ptr<TPrinterDevice>> SystemPrinters(int& defaultIndex) {
  defaultIndex = -1;
  std::vector<std::unique_ptr<TPrinterDevice>> printers;
  // The print system is reached through the window system's plugins.
  if (!QGuiApplication::instance()) return printers;
  QString defaultName = QPrinterInfo::defaultPrinterName();
  for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
    if (info.printerName() == defaultName) defaultIndex = int(printers.size());
    printers.push_back(std::make_unique<SystemPrinter>(info));
  }
  return printers;
}

}  // namespace vantrel::printers
