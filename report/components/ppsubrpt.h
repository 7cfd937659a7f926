#pragma once
// Sub-reports: a stretchable component that owns a child report (its own
// bands, groups and pipeline) and prints it inside the parent's output, as a
// box cut to the component's size (pbFixed), as a region that stretches and
// continues over pages (pbChild), or as a section whose pages are whole
// pages of the parent job (pbSection). The parent's generation drives the
// child report's engine one child page at a time; the child keeps its own
// page-state cache so that any of its pages can be made again.

#include <cstdint>
#include <memory>
#include <vector>

#include "report/components/ppstrtch.h"
#include "report/model/ppcache.h"
#include "report/output/pppage.h"

class TppCacheManager;
class TppChildReport;
class TppEngine;
class TppPage;
class TppPrinterDevice;
class TppReport;

DECLARE_ENUM(TppPrintBehaviorType, pbChild, pbSection, pbFixed)

class TppSubReport : public TppStretchable, public TppCacheOwner {
  DECLARE_CLASS(TppSubReport, TppStretchable)
 public:
  // The default bands of the child layout, by print behaviour: header,
  // detail and footer for a page-like child; title, detail and summary for
  // one that runs inside the parent's page.
  static constexpr uint16_t kPageBands = 273, kRegionBands = 146;

  explicit TppSubReport(TComponent* owner = nullptr);
  ~TppSubReport() override;

  // Published read-only as Report (the component's own Report() is the parent's).
  TppChildReport* ChildReport() const { return childReport_; }
  // Takes over a child report read from a layout; the one it had goes.
  void AdoptChildReport(TppChildReport* report);
  // The child report streams inside the sub-report.
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

  TppPrintBehaviorType PrintBehavior() const { return printBehavior_; }
  // Inside a region only pbFixed is taken.
  void SetPrintBehavior(TppPrintBehaviorType value);
  bool NewPrintJob() const { return newPrintJob_; }
  // True makes the sub-report a section.
  void SetNewPrintJob(bool value);
  bool ParentPrinterSetup() const { return parentPrinterSetup_; }
  void SetParentPrinterSetup(bool value);
  // With ParentPrinterSetup, the child report takes the parent's setup.
  void ApplyParentPrinterSetup();
  bool ResetPageNo() const { return resetPageNo_; }
  // Taken only while the sub-report is a section.
  void SetResetPageNo(bool value);
  // A section always spans the band.
  void SetParentWidth(bool value) override;

  bool SupportsColor() const override { return false; }
  bool SupportsFont() const override { return false; }
  void Changed() override;
  void LanguageChanged() override;
  // The child report is designed in the parent's designer window.
  void SetBand(TppBand* band) override;
  void SetCaption(const std::string& value) override;
  void Init() override;
  void GenerateContents() override;
  void CreateDrawCommand(TppPage* page) override;
  void EndPage() override;
  void AfterEndPage() override;

  // TppCacheOwner: the child report's objects, for the child's own cache.
  std::vector<TppCacheable*> CacheObjects() override;
  void StopGeneration() override;

  // Generation state, as tests and the page-state cache see it.
  TppCacheManager* ChildCache() const { return childCache_.get(); }
  bool SectionStarted() const { return sectionStarted_; }
  bool SectionActive() const { return sectionActive_; }
  int ChildPageNo() const { return childPageNo_; }
  // The device of the section's own print job, while one is open.
  TppPrinterDevice* JobDevice() const { return jobDevice_.get(); }

 protected:
  void WriteContentsState(uint8_t* record) const override;
  void ReadContentsState(const uint8_t* record) override;

 private:
  TppEngine* ChildEngine() const;
  // The child's page: the parent's setup cut to `width` x `height`, no margins.
  void SetChildPage(int32_t width, int32_t height);
  // Asks the child engine for one of its pages of the current run. Each run
  // keeps its pages' states in its own slots of the child's cache, so a
  // revisited parent page finds the state its child page starts from.
  void RequestChildPage(int pageNo);
  void StartRun();
  void BindChildCache();
  void GenerateFixed();
  void GenerateChild();
  void GenerateSection();
  // Engine states of a section: through the report for the outermost one
  // (a child report passes them to the main report), else its own only.
  void ChangeSectionState(uint16_t off, uint16_t on);
  // The child height used on its page (0 when it made none).
  int32_t ChildUsedHeight() const;
  // The main report whose job the section leaves for one of its own: a
  // NewPrintJob section directly in it, printing to the printer (the screen
  // and files keep the section inline).
  TppReport* OwnJobReport() const;
  // A final section page goes to the section's job, opened on first use.
  void PrintOnOwnJob(TppReport* main, TppPage* page);
  // Ends (or, when `stopped`, cancels) the section's job and frees its device.
  void EndOwnJob(bool stopped);

  TppChildReport* childReport_ = nullptr;  // owned
  std::unique_ptr<TppCacheManager> childCache_;
  TppPrintBehaviorType printBehavior_ = pbChild;
  bool newPrintJob_ = false;
  bool parentPrinterSetup_ = true;
  bool resetPageNo_ = true;
  bool freeing_ = false;
  // Generation state (the page-state record holds all but the last two).
  bool sectionStarted_ = false;
  bool outermost_ = false;
  bool childComplete_ = false;
  bool continuing_ = false;
  int32_t firstSectionPage_ = 0;
  int32_t childPageNo_ = 1;  // the child page the next call asks for
  int32_t runNo_ = 0;        // numbers the child runs of one generation
  int32_t cacheOffset_ = 0;  // the cache slot of the run's page 0
  int32_t nextSlot_ = 0;     // the first slot no run has used yet
  bool sectionActive_ = false;
  int32_t loadedRun_ = -1;   // the run the child engine's cache holds
  std::unique_ptr<TppPrinterDevice> jobDevice_;
  // The own job's pages, kept for the collated copies after the first.
  std::vector<std::unique_ptr<TppPage>> jobPages_;
  TppReport* hookedReport_ = nullptr;  // the report whose page hooks are ours
};
