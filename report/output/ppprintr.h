#pragma once
// The report's printer: its setup (printer, paper, bin, orientation, margins,
// copies, collation, duplex; geometry kept in thousandths of a millimetre),
// the installed printers with their paper and bin lists, and the device mode
// a setup becomes. It stands on the class library's printers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/printers/printers.h"
#include "report/data/pputils.h"

DECLARE_ENUM(TppDuplexType, dpNone, dpHorizontal, dpVertical)

// The device-mode fields a setup fills in.
constexpr uint32_t DM_ORIENTATION = 0x1, DM_PAPERSIZE = 0x2, DM_PAPERLENGTH = 0x4,
                   DM_PAPERWIDTH = 0x8, DM_COPIES = 0x100, DM_DEFAULTSOURCE = 0x200,
                   DM_DUPLEX = 0x1000;
constexpr int DMORIENT_PORTRAIT = 1, DMORIENT_LANDSCAPE = 2;

// The settings a print job asks the driver for; lengths in tenths of a mm.
struct TppDevMode {
  std::string dmDeviceName;
  uint32_t dmFields = 0;
  int16_t dmOrientation = 0;
  int16_t dmPaperSize = 0;
  int16_t dmPaperLength = 0;
  int16_t dmPaperWidth = 0;
  int16_t dmCopies = 0;
  int16_t dmDefaultSource = 0;
  int16_t dmDuplex = 0;
  bool operator==(const TppDevMode&) const = default;
};

// What one printer offers: papers (sizes in tenths of a mm, numbers as
// decimal text) and bins, in matching order.
class TppPrinterCapabilities {
 public:
  struct TRaw {  // as a driver reports them; missing sizes stay short lists
    std::vector<std::string> PaperNames;
    std::vector<int> PaperNumbers;
    std::vector<int> PaperWidths, PaperHeights;
    std::vector<std::string> BinNames;
    std::vector<int> BinNumbers;
  };
  TppPrinterCapabilities() = default;
  explicit TppPrinterCapabilities(const TPrinterDevice& device);
  TppPrinterCapabilities(const std::string& printerName, const TRaw& raw);

  std::string PrinterName;
  TStringList BinNames, BinNumbers, PaperNames, PaperNumbers, PaperWidths, PaperHeights;

  // The index of a paper by name or number; -1 when the printer lacks it.
  int PaperIndex(const std::string& name) const { return PaperNames.IndexOf(name); }
  int PaperIndexOfNumber(int number) const;
  // The name of the first paper within 1 mm of the size in either
  // orientation (tenths of a mm), else "Custom".
  std::string PaperNameForSize(int widthTenths, int heightTenths) const;

 private:
  void Build(const TRaw& raw);
};

// One installed printer.
class TppPrinterInfo {
 public:
  TppPrinterInfo(std::string name, std::string driver, std::string device, std::string port)
      : Name(std::move(name)), Driver(std::move(driver)), Device(std::move(device)),
        Port(std::move(port)) {}
  std::string Name, Driver, Device, Port;
  // Read from the printer on first use.
  const TppPrinterCapabilities& Capabilities();

 private:
  std::unique_ptr<TppPrinterCapabilities> capabilities_;
};

// The installed printers; entry 0 is "Default", the system's default printer.
class TppPrinterList {
 public:
  TppPrinterList() { Refresh(); }
  // Reads the printers again (printers added or removed since).
  void Refresh();
  int Count() const { return int(entries_.size()); }
  const std::string& Names(int index) const { return entries_[size_t(index)]->Name; }
  // "Default" resolves to the default printer; null when absent.
  TppPrinterInfo* Find(const std::string& name);
  std::string DefaultPrinterName() const { return defaultName_; }
  // "Default" (or "Current") as the default printer's name, others unchanged.
  std::string Resolve(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<TppPrinterInfo>> entries_;
  std::string defaultName_;
};

// The process-wide printer list, made on first use.
TppPrinterList* ppPrinters();

class TppPrinter;

class TppPrinterSetup : public TPersistent {
  DECLARE_CLASS(TppPrinterSetup, TPersistent)
 public:
  TppPrinterSetup();
  ~TppPrinterSetup() override;

  void Assign(const TPersistent* source) override;
  bool operator==(const TppPrinterSetup& other) const;

  std::string BinName() const { return binName_; }
  void SetBinName(const std::string& name);
  bool Collation() const { return collation_; }
  void SetCollation(bool value);
  int Copies() const { return copies_; }
  void SetCopies(int value);
  std::string DocumentName() const { return documentName_; }
  void SetDocumentName(const std::string& name);
  TppDuplexType Duplex() const { return duplex_; }
  void SetDuplex(TppDuplexType value);
  TPrinterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrinterOrientation value);
  std::string PaperName() const { return paperName_; }
  void SetPaperName(const std::string& name);
  std::string PrinterName() const { return printerName_; }
  void SetPrinterName(const std::string& name);

  // In Units.
  float MarginBottom() const;
  float MarginLeft() const;
  float MarginRight() const;
  float MarginTop() const;
  float PaperHeight() const;
  float PaperWidth() const;
  void SetMarginBottom(float value);
  void SetMarginLeft(float value);
  void SetMarginRight(float value);
  void SetMarginTop(float value);
  void SetPaperHeight(float value);
  void SetPaperWidth(float value);
  // The whole page geometry at once, exact in thousandths (a page made to
  // measure, such as a sub-report's box).
  void SetPageDef(const TppPageDef& value);

  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType units) { units_ = units; }
  const TppPageDef& PageDef() const { return pageDef_; }
  TppPrinterInfo* PrinterInfo() const;

  // The component whose stream the setup is read with: while it loads or
  // reads, values are stored without validation or notification, and paper
  // sizes in Units wait for Loaded (the "mm…" keys are exact and win).
  void SetOwnerComponent(TComponent* owner) { ownerComponent_ = owner; }
  void Loaded();

  std::function<TppPrinter*()> OnGetPrinter;
  std::function<void(TObject* sender, const TppPageDef& pageDef, bool& accept)>
      OnValidatePageDef;
  TNotifyEvent OnPageDefChange;
  TNotifyEvent OnChange;

 protected:
  // The "mm…" keys restore the geometry exactly whatever the Units.
  void DefineProperties(TFiler* filer) override;

 private:
  int Dpi(TppPixelAxis axis) const;
  int32_t ToMM(float value, TppPixelAxis axis) const;
  float FromMM(int32_t value, TppPixelAxis axis) const;
  // Offers a changed page definition; true when accepted and stored, with
  // the paper name kept, derived from the new size or the one given.
  enum class TPaperNaming { Kept, FromSize, Given };
  bool TryPageDef(const TppPageDef& candidate, TPaperNaming naming,
                  const std::string& paperName = {});
  void Changed();
  std::string DerivedPaperName() const;
  bool Reading() const;
  void SetPaperSize(float value, float& pending, void (TppPageDef::*set)(int32_t),
                    TppPixelAxis axis);

  std::string binName_ = "Default";
  bool collation_ = false;
  int copies_ = 1;
  std::string documentName_;
  TppDuplexType duplex_ = dpNone;
  TPrinterOrientation orientation_ = poPortrait;
  std::string paperName_;
  std::string printerName_ = "Default";
  TppPageDef pageDef_;
  TppUnitType units_ = utInches;
  TComponent* ownerComponent_ = nullptr;
  float pendingWidth_ = -1, pendingHeight_ = -1;  // -1: none received
  bool mmWidthRead_ = false, mmHeightRead_ = false;
};

// The paper a new setup starts with: A4 where the decimal separator is not
// ".", else letter (279401 high, as stored layouts expect).
void ppDefaultPaper(int32_t& mmWidth, int32_t& mmHeight);

// The canvas of a printed page: fonts given to it keep their point size and
// are measured at the printer's vertical resolution.
class TppPrinterCanvas {
 public:
  TppPrinterCanvas(TCanvas* canvas, int dpiY) : canvas_(canvas), dpiY_(dpiY) {}
  TCanvas* Canvas() const { return canvas_; }
  // Selects a font unless the canvas already has it (charset, colour, pitch,
  // size, style and name); true when it changed.
  bool SelectFont(const TFont* font);
  int PixelsPerInchY() const { return dpiY_; }

 private:
  TCanvas* canvas_;
  int dpiY_;
};

class TppPrinter : public TObject {
  DECLARE_CLASS(TppPrinter, TObject)
 public:
  TppPrinter();
  ~TppPrinter() override;

  TppPrinterSetup* PrinterSetup() const { return setup_.get(); }
  // The device mode the setup became (rebuilt on every change).
  const TppDevMode& DevMode() const { return devMode_; }
  // The printer name in use, "Default" resolved.
  std::string PrinterName() const;
  std::string Title() const { return title_; }
  // Takes a page's setup (nothing when equal).
  void SetPrinterSetup(const TppPrinterSetup& setup);
  // Reads the setup back from a device mode (after a setup dialog).
  void SetupFromDevMode(const TppDevMode& devMode);

  // Device metrics with this printer's settings.
  int PixelsPerInch(TppPixelAxis axis) const;
  TPoint PageOffset() const;  // the unprintable top-left margin, device pixels
  int DeviceCaps(int index) const;
  // A canvas that measures as the printer prints.
  TCanvas* Canvas() const;

  // ---- The print job ----
  // Opens the document (not while printing); the first page starts with it.
  void BeginDoc();
  // Starts the next page (printing and no page started), with the settings
  // the last SetPrinterSetup gave.
  void StartPage();
  void EndPage();
  // Ends the page and the document; an aborted document is thrown away.
  void EndDoc();
  // Throws the document away (the job ends; nothing is output).
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  bool PageStarted() const { return pageStarted_; }
  // Pages started in the job.
  int PageNumber() const { return pageNumber_; }
  // The canvas of the page being printed (null outside a job).
  TppPrinterCanvas* JobCanvas() const { return jobCanvas_.get(); }
  // The file a printer that writes files (PDF) prints to; empty asks for one.
  std::string FileName;
  // True for a printer that cannot print without a file (PDF).
  bool NeedsFileName() const;
  // Fired after the setup dialog changed the printer.
  TNotifyEvent OnSetupChanged;
  // The class library's printer holds one document at a time: a job that runs
  // beside another one prints through a printer object of its own.
  void UseOwnPrinter();

 private:
  friend class TppPrinterSetupDialog;
  std::unique_ptr<TppPrinterCanvas> jobCanvas_;
  std::string previousFileName_;
  bool printing_ = false, aborted_ = false, pageStarted_ = false, docOpen_ = false;
  int pageNumber_ = 0;

  void BuildDevMode();
  // Selects this printer and its settings on the class library's printer.
  TPrinter* Select() const;
  TPrinter* Target() const { return own_ ? own_.get() : Printer(); }

  std::unique_ptr<TPrinter> own_;  // see UseOwnPrinter

  std::unique_ptr<TppPrinterSetup> setup_;
  TppDevMode devMode_;
  std::string title_;
};

// The shared printer: made on first use when a printer is installed, else null.
TppPrinter* ppPrinter();

// Runs the printer setup dialog for a printer: on OK the chosen printer and
// its settings become the printer's setup, and its OnSetupChanged fires.
class TppPrinterSetupDialog {
 public:
  explicit TppPrinterSetupDialog(TppPrinter* printer) : printer_(printer) {}
  bool Execute();

 private:
  TppPrinter* printer_;
};
