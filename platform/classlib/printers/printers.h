#pragma once
// TPrinter: the printers of the system plus a built-in "PDF" printer that is
// always there, so printing and page measuring work on any machine.
//
// Units are the class library's: paper numbers are the classic paper numbers
// (1 letter ... 9 A4 ... 68, 256 a custom size), paper sizes are tenths of a
// millimetre, page sizes and the canvas are device pixels with the origin at
// the top-left of the printable area.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/images.h"

DECLARE_EXCEPTION(EPrinter, Exception)
DECLARE_EXCEPTION(EPrintError, Exception)

DECLARE_ENUM(TPrinterOrientation, poPortrait, poLandscape)

// Paper numbers that the system names.
constexpr int DMPAPER_LETTER = 1, DMPAPER_LEGAL = 5, DMPAPER_A3 = 8, DMPAPER_A4 = 9,
              DMPAPER_A5 = 11, DMPAPER_LAST = 68, DMPAPER_USER = 256;
constexpr int DMDUP_SIMPLEX = 1, DMDUP_VERTICAL = 2, DMDUP_HORIZONTAL = 3;
constexpr int DMBIN_ONLYONE = 1, DMBIN_LOWER = 2, DMBIN_MIDDLE = 3, DMBIN_MANUAL = 4,
              DMBIN_ENVELOPE = 5, DMBIN_ENVMANUAL = 6, DMBIN_AUTO = 7, DMBIN_TRACTOR = 8,
              DMBIN_SMALLFMT = 9, DMBIN_LARGEFMT = 10, DMBIN_LARGECAPACITY = 11,
              DMBIN_CASSETTE = 14, DMBIN_FORMSOURCE = 15,
              DMBIN_USER = 256;  // the first of a printer's own bins

// The standard size of a classic paper number in tenths of a millimetre
// (portrait); {0, 0} for 0, 48, 49, numbers above 68 and custom papers.
TSize StandardPaperSize(int paperNumber);
// Its usual name ("Letter", "A4" ...), empty when the number has no size.
std::string StandardPaperName(int paperNumber);

// The settings of a print job on one printer (what the job's device mode holds).
struct TPrinterSettings {
  std::string DeviceName, DriverName, PortName;
  int PaperSize = DMPAPER_A4;  // a paper number of the printer, or DMPAPER_USER
  // Tenths of a millimetre, portrait; the size of a DMPAPER_USER paper (for
  // other papers they are filled in from the printer's paper list).
  int PaperWidth = 0, PaperLength = 0;
  TPrinterOrientation Orientation = poPortrait;
  int Copies = 1;
  bool Collate = false;
  int Duplex = DMDUP_SIMPLEX;
  int DefaultSource = 0;  // a bin number of the printer; 0 = the printer's choice
  int PrintQuality = 0;   // horizontal dots per inch (read only: the device's)
  int YResolution = 0;    // vertical dots per inch (read only)
};

struct TPaperInfo {
  int Number = 0;
  std::string Name;
  TSize Size;  // tenths of a millimetre, portrait
};

struct TBinInfo {
  int Number = 0;
  std::string Name;
};

// GetDeviceCaps indices the system reads.
constexpr int HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88,
              LOGPIXELSY = 90, PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111,
              PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113;

// One printer a TPrinter can print on. The built-in ones are the PDF printer
// and the system's printers; tests add a TRecordingPrinter.
class TPrinterDevice {
 public:
  virtual ~TPrinterDevice();
  virtual std::string Name() const = 0;
  virtual std::string DriverName() const { return {}; }
  virtual std::string PortName() const { return {}; }
  // Dots per inch, the same across and down unless a printer says otherwise.
  virtual TPoint Resolution() const = 0;
  virtual std::vector<TPaperInfo> Papers() const = 0;
  virtual std::vector<TBinInfo> Bins() const { return {}; }
  // Whether custom paper sizes (DMPAPER_USER) are accepted.
  virtual bool CustomSizes() const { return false; }
  // The unprintable margins in tenths of a millimetre for a paper (portrait;
  // the printer turns them with the page).
  virtual TRect Margins(const TPrinterSettings& settings) const;
  virtual TPrinterSettings DefaultSettings() const;
  // True when the printer cannot print without a file to write (PDF).
  virtual bool NeedsFileName() const { return false; }

  // The job: start binds the canvas to the first page, new page moves it to
  // the next one, end finishes the output and abort throws it away. A
  // non-empty fileName prints to that file.
  virtual void StartJob(const TPrinterSettings& settings, const std::string& title,
                        const std::string& fileName, TCanvas& canvas) = 0;
  virtual void NewPage(const TPrinterSettings& settings, TCanvas& canvas) = 0;
  virtual void EndJob(TCanvas& canvas) = 0;
  virtual void AbortJob(TCanvas& canvas) = 0;
};

// A printer for tests: its resolution, papers, bins and margins are set by
// the test, and every printed page is kept as an image of the printable area.
class TRecordingPrinter : public TPrinterDevice {
 public:
  TRecordingPrinter(std::string name, int dpi);
  ~TRecordingPrinter() override;

  std::string Name() const override { return name_; }
  TPoint Resolution() const override { return {dpi_, dpi_}; }
  std::vector<TPaperInfo> Papers() const override { return papers_; }
  std::vector<TBinInfo> Bins() const override { return bins_; }
  bool CustomSizes() const override { return true; }
  TRect Margins(const TPrinterSettings&) const override { return margins_; }

  void SetPapers(std::vector<TPaperInfo> papers) { papers_ = std::move(papers); }
  void SetBins(std::vector<TBinInfo> bins) { bins_ = std::move(bins); }
  void SetMargins(TRect tenths) { margins_ = tenths; }

  // Pages of the last job, finished ones only.
  const std::vector<std::unique_ptr<TBitmap>>& Pages() const { return pages_; }
  std::string JobTitle() const { return title_; }
  int JobCopies() const { return copies_; }
  bool JobEnded() const { return ended_; }

  void StartJob(const TPrinterSettings& settings, const std::string& title,
                const std::string& fileName, TCanvas& canvas) override;
  void NewPage(const TPrinterSettings& settings, TCanvas& canvas) override;
  void EndJob(TCanvas& canvas) override;
  void AbortJob(TCanvas& canvas) override;

 private:
  void StartPage(const TPrinterSettings& settings, TCanvas& canvas);

  std::string name_;
  int dpi_;
  std::vector<TPaperInfo> papers_;
  std::vector<TBinInfo> bins_;
  TRect margins_;
  std::vector<std::unique_ptr<TBitmap>> pages_;
  std::unique_ptr<TBitmap> current_;
  std::string title_;
  int copies_ = 0;
  bool ended_ = false;
};

class TPrinter : public TObject {
  DECLARE_CLASS(TPrinter, TObject)
 public:
  TPrinter();
  ~TPrinter() override;

  // The printers' names: the system's, then "PDF", then added ones.
  TStrings* Printers();
  // -1 selects the default printer (the system's default, else the PDF printer).
  int PrinterIndex() const;
  void SetPrinterIndex(int index);
  // Adds a printer (tests); returns its index. RemovePrinter drops it again.
  int AddPrinter(std::unique_ptr<TPrinterDevice> device);
  void RemovePrinter(TPrinterDevice* device);
  TPrinterDevice* Device() const;
  // Reads the system's printers again (they may have changed).
  void Refresh();

  void BeginDoc();
  void EndDoc();
  void NewPage();
  // Ends the job and throws its output away (no partial file is left).
  void Abort();
  bool Aborted() const { return aborted_; }
  bool Printing() const { return printing_; }
  int PageNumber() const { return pageNumber_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  int Copies() const { return settings_.Copies; }
  void SetCopies(int copies);
  TPrinterOrientation Orientation() const { return settings_.Orientation; }
  void SetOrientation(TPrinterOrientation orientation);

  // The printable area in device pixels.
  int PageWidth() const { return DeviceCaps(HORZRES); }
  int PageHeight() const { return DeviceCaps(VERTRES); }
  // The page being printed (only while printing).
  TCanvas* Canvas();
  // A canvas that measures text and fonts as the printer will, with or
  // without a job (fonts sized at the printer's vertical resolution).
  TCanvas* InfoCanvas();
  // GetDeviceCaps of the printer with the current settings.
  int DeviceCaps(int index) const;

  // The settings record; setting it checks it against the printer (and may
  // switch to the printer DeviceName names).
  TPrinterSettings Settings() const { return settings_; }
  void SetSettings(const TPrinterSettings& settings);
  std::vector<TPaperInfo> Papers() const;
  std::vector<TBinInfo> Bins() const;

  // Where the PDF printer writes; empty asks for a name at BeginDoc.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }

 private:
  void LoadPrinters();
  void SelectDevice(int index);
  TPrinterSettings Checked(const TPrinterSettings& settings) const;
  void PrepareCanvas(TCanvas& canvas) const;
  void CheckNotPrinting(const char* what) const;
  void CheckPrinting(const char* what) const;

  std::vector<std::unique_ptr<TPrinterDevice>> devices_;
  int systemCount_ = 0;  // the system's printers come first
  int index_ = -1;
  int defaultIndex_ = 0;
  std::unique_ptr<TStringList> names_;
  TPrinterSettings settings_;
  std::unique_ptr<TCanvas> canvas_;
  std::unique_ptr<TBitmap> infoSurface_;
  std::string title_;
  std::string fileName_;
  bool printing_ = false;
  bool aborted_ = false;
  int pageNumber_ = 0;
};

// The program's printer, made on first use.
TPrinter* Printer();
// Replaces the program's printer (tests); returns the previous one, which the
// caller then owns.
TPrinter* SetPrinter(TPrinter* printer);

// Set by the dialogs library: asks for the file the PDF printer writes
// (empty when the user cancels).
extern std::string (*AskPrintFileName)(const std::string& title);
