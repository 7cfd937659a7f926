#pragma once
// The report: its bands, groups, pipeline, printer setup and engine, the
// main report that the application places on its report forms (publisher,
// page cache, page-request handler) and the report a sub-report owns.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/classlib/core/strings.h"
#include "report/data/pptmpl.h"
#include "report/data/pputils.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"
#include "report/model/ppcomm.h"
#include "report/output/ppdevice.h"
#include "report/output/ppforms.h"
#include "report/output/pppage.h"
#include "report/output/pptxtdev.h"

class TControl;
class TIcon;
class TWinControl;
class TppBand;
class TppComponent;
class TppDataPipeline;
class TppEngine;
class TppGroup;
class TppPrinter;
class TppPrinterSetup;
class TppPublisher;

DECLARE_ENUM(TppDeviceType, dvPrinter, dvScreen, dvFile)

// Default band indexes (header, title, column header, detail, column
// footer, summary, footer) as DefaultBands holds them.
constexpr int dbHeader = 0, dbTitle = 1, dbColumnHeader = 2, dbDetail = 4,
              dbColumnFooter = 6, dbSummary = 7, dbFooter = 8;

// The stream version written, and its number.
inline constexpr const char* ppVersion = "3.01";
constexpr int ppVersionNo = 3010;
// "3.01" -> 3010: digits kept, the first dot removed, padded to four digits.
int ppVersionToNo(const std::string& version);

class TppCustomReport : public TppCommunicator, public TppPipelineListener {
  DECLARE_CLASS(TppCustomReport, TppCommunicator)
 public:
  explicit TppCustomReport(TComponent* owner = nullptr);
  ~TppCustomReport() override;

  // ---- The virtual protocol ----
  virtual void ReportLoaded() {}
  virtual void SetModified(bool value) { modified_ = value; }
  virtual void PageLayoutChanged();
  virtual void EndPage();
  virtual void PublishPage() {}
  virtual void PrinterSetupChanged();
  virtual int GetLanguageIndex() const;
  virtual TppCustomReport* GetMainReport() { return nullptr; }
  virtual bool IsGenerating() const { return false; }
  virtual void CancelGeneration();
  virtual void ExcludeState(uint16_t states);
  virtual void IncludeState(uint16_t states);
  virtual void ExcludePrintState(uint8_t flags);
  virtual void IncludePrintState(uint8_t flags);
  virtual void LanguageChanged();
  virtual void Reset();
  virtual void AssignReport(TppCustomReport* source);
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;

  // The error routine of the engine, bands and columns: cancels a busy
  // engine, then raises EPrintError unless the engine suppresses errors.
  void RaiseError(const std::string& message);
  // A text of the report's language (offset within the string table).
  std::string LoadStr(int offset) const;

  // ---- Bands and groups ----
  void AddBand(TppBand* band);
  void RemoveBand(TppBand* band);
  int BandCount() const { return int(bands_.size()); }
  TppBand* Bands(int index) const { return bands_[size_t(index)]; }
  // By kind code (0 header ... 8 footer; 3 and 5 need the group index).
  TppBand* FindBand(int kindCode, int groupIndex = 0) const;
  void AddGroup(TppGroup* group);
  void RemoveGroup(TppGroup* group);
  int GroupCount() const { return int(groups_.size()); }
  TppGroup* Groups(int index) const { return groups_[size_t(index)]; }
  int GroupIndex(const TppGroup* group) const;
  TppComponent* FindComponent(const std::string& name) const;
  // Re-sorts the band list (a group's order changed).
  void SortBands();
  // Frees every band and group, as when the report is freed.
  void FreeBandsAndGroups();
  // The objects whose state a page-state cache of this report keeps, in the
  // order TppCacheOwner::CacheObjects gives.
  std::vector<TppCacheable*> PageStateObjects();
  void CreateDefaultBands();
  // The bands of the kinds given (bits 1 << dbHeader ...) that are missing.
  void CreateBands(uint16_t kinds);

  // ---- Properties ----
  int Columns() const { return columns_; }
  void SetColumns(int value);
  int32_t mmColumnWidth() const { return mmColumnWidth_; }
  void SetmmColumnWidth(int32_t value);
  float ColumnWidth() const;
  void SetColumnWidth(float value);
  // The columns' left edges in Units: a copy converted from the held text,
  // or the held text itself while a stream is read or written.
  TStringList* ColumnPositions();
  // Takes text in Units and holds it in thousandths (as it is while streaming).
  void SetColumnPositions(const TStrings* value);
  // The held left edges: decimal text in thousandths of a millimetre.
  const TStringList& mmColumnPositions() const { return columnPositions_; }
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  int PageLimit() const { return pageLimit_; }
  void SetPageLimit(int value);
  TppPassSettingType PassSetting() const { return passSetting_; }
  void SetPassSetting(TppPassSettingType value);
  TppPrinterSetup* PrinterSetup() const { return printerSetup_.get(); }
  void SetPrinterSetup(const TppPrinterSetup* setup);
  bool SaveAsTemplate() const { return saveAsTemplate_; }
  void SetSaveAsTemplate(bool value) { saveAsTemplate_ = value; }
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType value);
  const std::string& Version() const { return version_; }
  int VersionNo() const { return versionNo_; }
  bool Modified() const { return modified_; }
  uint16_t State() const { return state_; }
  uint8_t PrintState() const { return printState_; }
  bool LayoutConverted() const { return layoutConverted_; }
  TppEngine* Engine() const { return engine_.get(); }
  // The shared printer with the report's setup applied (all conversions).
  TppPrinter* GetPrinter() const;
  // Resolution of the report's printer for printer pixels (screen without one).
  int PrinterDpi(TppPixelAxis axis) const;
  bool ReadingOrLoading() const;

  TNotifyEvent OnEndColumn, OnEndFirstPass, OnEndPage, OnEndSecondPass, OnStartColumn,
      OnStartFirstPass, OnStartPage, OnStartSecondPass;

  // ---- The template (pptmpl.h): where SaveAsTemplate keeps the layout ----
  TppReportTemplate* Template() const { return template_.get(); }
  void SetTemplate(const TppReportTemplate* value) { template_->Assign(value); }

  void SetName(const std::string& newName) override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void Loaded() override;

  // ---- Design time (ppdesignrpt.cpp) ----
  // The control that receives designer messages (none at run time).
  TWinControl* DesignWindow() const { return designWindow_; }
  void SetDesignWindow(TWinControl* window) { designWindow_ = window; }
  // While it frees its bands (nothing of it need be laid out again).
  bool FreeingBands() const { return freeing_; }
  TControl* GetDesigner() const;
  // True when the components starting beyond `width` (thousandths; bands
  // laid out per column use `columnWidth`) may be deleted, after the
  // designer's warning of `messageOffset`; without a designer or such
  // components nothing is asked. They are deleted when confirmed.
  bool ConfirmDeleteBeyond(int32_t width, int32_t columnWidth, int messageOffset);
  // Going back to one column: asks before the column bands' components go.
  bool ConfirmDeleteColumnBands();

 protected:
  void DefineProperties(TFiler* filer) override;
  void Notification(TComponent* component, TOperation operation) override;
  // Converts a layout older than the current version.
  virtual void ConvertLayout();
  void HandOnPipeline(TppDataPipeline* oldPipeline, TppDataPipeline* newPipeline);
  int PrinterDpiFor(TppUnitType units) const;
  // While a stream is read or written, column positions pass unconverted.
  bool Streaming() const;
  // A column width no wider than the printable width, and not negative.
  int32_t WithinPrintableWidth(int32_t width) const;
  // Every column position that is a number, from Units to thousandths.
  void PositionsFromUnits(TStrings& list) const;

  std::vector<TppBand*> bands_;
  std::vector<TppGroup*> groups_;
  int columns_ = 1;
  TStringList columnPositions_;
  TStringList columnPositionsInUnits_;
  int32_t mmColumnWidth_ = 0;
  bool layoutConverted_ = false;
  TppDataPipeline* dataPipeline_ = nullptr;
  uint16_t defaultBands_ = (1 << dbHeader) | (1 << dbDetail) | (1 << dbFooter);
  uint16_t state_ = 0;
  std::unique_ptr<TppEngine> engine_;
  bool modified_ = false;
  int pageLimit_ = 0;
  TppPassSettingType passSetting_ = psOnePass;
  bool saveAsTemplate_ = false;
  std::unique_ptr<TppPrinterSetup> printerSetup_;
  uint8_t printState_ = 0;
  TppUnitType units_ = utInches;
  std::string version_ = "1.0";
  int versionNo_ = 1000;
  // ColumnWidth as an older layout stored it, in the layout's Units.
  std::optional<float> oldColumnWidth_;
  bool freeing_ = false;
  TWinControl* designWindow_ = nullptr;
  // The designer hears of the freeing once, before anything goes.
  void TellDesignerFreed();
  bool freedTold_ = false;
  std::unique_ptr<TppReportTemplate> template_ = std::make_unique<TppReportTemplate>(this);
};

// ---- The printing roads' helpers (ppprintroads.cpp) ----
class TppReport;
// What the preview, print and cancel forms reach of a report.
class TppReportFormLink : public TppReportLink {
 public:
  explicit TppReportFormLink(TppReport* report) : report_(report) {}
  TppPublisher* ReportPublisher() override;
  TppPrinterSetup* ReportPrinterSetup() override;
  bool Generating() const override;
  void CancelGeneration() override;
  void PrintFromPreview(int currentPage) override;

 private:
  TppReport* report_;
};
// True when a printer can be printed on. Tests withhold the built-in PDF
// printer to stand for a machine that has no printer at all.
bool ppPrinterAvailable();
void ppSetPdfPrinterWithheld(bool withheld);

// How the last job to a printer or a file ended: a cancelled or failed one
// left nothing behind (no file, or the old one untouched).
enum class TppJobOutcome { None, Printed, Cancelled, Failed };

class TppReport : public TppCustomReport, public TppCacheOwner {
  DECLARE_CLASS(TppReport, TppCustomReport)
 public:
  explicit TppReport(TComponent* owner = nullptr);
  ~TppReport() override;

  TppCustomReport* GetMainReport() override { return this; }
  bool IsGenerating() const override { return generating_; }
  int GetLanguageIndex() const override { return languageIndex_; }
  void PublishPage() override;
  void AssignReport(TppCustomReport* source) override;
  void Reset() override;

  // Runs the publisher's job: every device's request served from the page
  // cache or generated.
  void PrintPages();
  // The publisher's page-request handler.
  void PageRequest(TObject* sender, TppPageRequestType kind, TStrings* pageList, int pageNo);

  // TppCacheOwner.
  std::vector<TppCacheable*> CacheObjects() override;
  void StopGeneration() override;
  int LanguageBase() const override { return languageIndex_; }

  TppPublisher* Publisher() const { return publisher_.get(); }
  TppCacheManager* CacheManager() const { return cacheManager_.get(); }

  // ---- a section printed as a job of its own (set by its sub-report) ----
  // While set, the engine's pages go here instead of to the publisher.
  std::function<void(TppPage* page)> OnDivertPage;
  // Told when a page request is over (`stopped`: cancelled or failed), so
  // that such a job still open is closed.
  std::function<void(bool stopped)> OnRequestOver;
  bool AllowPrintToFile() const { return allowPrintToFile_; }
  void SetAllowPrintToFile(bool value) { allowPrintToFile_ = value; }
  bool CachePages() const { return cachePages_; }
  void SetCachePages(bool value);
  // The preview window's icon when not empty.
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(const TIcon* icon);
  TppDeviceType Device() const { return device_; }
  void SetDevice(TppDeviceType value);
  TppLanguageType Language() const { return language_; }
  void SetLanguage(TppLanguageType value);
  bool ModalCancelDialog() const { return modalCancelDialog_; }
  void SetModalCancelDialog(bool value) { modalCancelDialog_ = value; }
  bool ModalPreview() const { return modalPreview_; }
  void SetModalPreview(bool value) { modalPreview_ = value; }
  bool ShowCancelDialog() const { return showCancelDialog_; }
  void SetShowCancelDialog(bool value);
  bool ShowPrintDialog() const { return showPrintDialog_; }
  void SetShowPrintDialog(bool value);
  TppFileType TextFileType() const { return textFileType_; }
  void SetTextFileType(TppFileType value);
  const std::string& TextFileName() const { return textFileName_; }
  void SetTextFileName(const std::string& value);
  uint8_t LastPageRequest() const { return pageRequest_; }
  const TStringList& PageList() const { return pageList_; }

  TNotifyEvent OnPreviewFormClose, OnPreviewFormCreate, OnPrintingComplete;

  // ---- The printing roads (ppprintroads.cpp) ----
  // By Device: the preview form (dvScreen) or PrintToDevice.
  void Print();
  void PreviewInForm();
  // Prints on the printer or writes the text file, through the print and
  // cancel dialogs when asked for.
  void PrintToDevice();
  TppCustomPreviewer* PreviewForm() const { return previewForm_; }
  TppCustomCancelDialog* CancelDialog() const { return cancelDialog_; }
  TppReportLink* FormLink() { return &formLink_; }
  TppJobOutcome LastJobOutcome() const { return jobOutcome_; }

 protected:
  void DefineProperties(TFiler* filer) override;
  void ConvertLayout() override;

 private:
  bool allowPrintToFile_ = false;
  std::unique_ptr<TppCacheManager> cacheManager_;
  bool cachePages_ = false;
  TppDeviceType device_ = dvScreen;
  std::unique_ptr<TIcon> icon_;
  TppLanguageType language_ = lgEnglish;
  int languageIndex_;
  bool modalCancelDialog_ = true;
  bool modalPreview_ = true;
  bool generating_ = false;
  TStringList pageList_;
  uint8_t pageRequest_ = 0;
  std::unique_ptr<TppPublisher> publisher_;
  bool showCancelDialog_ = true;
  bool showPrintDialog_ = true;
  TppFileType textFileType_ = ftComma;
  std::string textFileName_;
  bool oldLandscape_ = false;
  int32_t oldRowSpacing_ = 0;
  // The printing roads' state.
  TppReportFormLink formLink_{this};
  TppCustomPreviewer* previewForm_ = nullptr;    // owned by the report while shown
  TppCustomCancelDialog* cancelDialog_ = nullptr;  // only during PrintToDevice
  int previewPageNo_ = 0;  // the page shown when the preview asked to print
  TppJobOutcome jobOutcome_ = TppJobOutcome::None;
  void RunJob(TppDevice* device);
  void TellMissingPages(const TStrings& asked);
  friend class TppReportFormLink;
};

class TppChildReport : public TppCustomReport {
  DECLARE_CLASS(TppChildReport, TppCustomReport)
 public:
  explicit TppChildReport(TComponent* owner = nullptr);
  TppCustomReport* GetMainReport() override;
  bool IsGenerating() const override;
  int GetLanguageIndex() const override;
  void Reset() override;
  void CancelGeneration() override;
  void PrinterSetupChanged() override;
  // The sub-report that holds this report (a component of a parent band).
  TppComponent* Parent() const { return parent_; }
  void SetParent(TppComponent* parent) { parent_ = parent; }
  // The default bands (bits 1 << dbHeader ...) a new child layout gets,
  // chosen by how its sub-report prints it.
  uint16_t DefaultBands() const { return defaultBands_; }
  void SetDefaultBands(uint16_t bands) { defaultBands_ = bands; }
  // Streaming: a sub-report's child is written inside it. While read, it
  // may be inside one, which then takes it (ppsubrpt.cpp).
  bool HasParent() const override {
    return parent_ != nullptr || ComponentState().Contains(csReading);
  }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 private:
  TppCustomReport* ParentReport() const;
  TppComponent* parent_ = nullptr;
};
