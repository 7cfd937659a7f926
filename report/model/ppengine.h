#pragma once
// The generation engine: sorts the report's bands into nine lists, walks the
// pipeline's records, lets the groups detect breaks, asks each band to
// generate at the print position, decides when a page or column is full,
// fills in each finished page and hands it to the report. It serves page
// requests, counts pages in a first pass for two-pass reports and
// regenerates any page from the state saved at the end of the page before.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/strings.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"

class TppBand;
class TppCustomBand;
class TppCustomReport;
class TppDataPipeline;
class TppGroup;
class TppPage;

// Engine state bits.
constexpr uint16_t esPrepared = 1, esFirstPass = 2, esSecondPass = 4, esNoData = 8,
                   esTitle = 16, esSummary = 32, esChild64 = 64, esChild128 = 128,
                   esChild256 = 256;

// Page requests (as the publisher asks).
constexpr uint8_t rqAll = 0, rqPageList = 1, rqOnePage = 2, rqFirstPage = 3, rqLastPage = 4;

// The band lists, in generation order.
enum TppBandListIndex {
  blHeader = 0, blTitle = 1, blColumnHeader = 2, blGroupHeader = 3, blDetail = 4,
  blGroupFooter = 5, blSummary = 6, blColumnFooter = 7, blFooter = 8, blCount = 9
};

class TppGenerator : public TppCacheable {
  DECLARE_CLASS(TppGenerator, TppCacheable)
 public:
  explicit TppGenerator(TppCustomReport* report);
  ~TppGenerator() override;

  virtual int GetPageNo() const;
  virtual int GetPageCount() const;
  virtual void FinishData();
  virtual void StopGeneration();
  virtual void Reset();
  virtual void RequestPages(uint8_t request, int pageNo, const TStrings* pageList) = 0;

  int AbsolutePageNo() const { return absolutePageNo_; }
  int AbsolutePageCount() const { return absolutePageCount_; }
  uint16_t EngineState() const { return engineState_; }
  void IncludeEngineState(uint16_t bits) { engineState_ |= bits; }
  void ExcludeEngineState(uint16_t bits) { engineState_ &= uint16_t(~bits); }
  bool Finished() const { return finished_; }
  bool ReportCompleted() const { return reportCompleted_; }
  TppPage* Page() const { return page_.get(); }
  uint16_t PendingBands() const { return pendingBands_; }
  void IncludePending(uint16_t bits) { pendingBands_ |= bits; }
  void ExcludePending(uint16_t bits) { pendingBands_ &= uint16_t(~bits); }
  TDateTime PrintDateTime() const { return printDateTime_; }
  bool Busy() const { return busy_; }
  TppCustomReport* Report() const { return report_; }
  bool SuppressErrors() const { return suppressErrors_; }
  void SetSuppressErrors(bool value) { suppressErrors_ = value; }
  bool Cancelled() const { return cancelled_; }
  void SetCancelled(bool value) { cancelled_ = value; }
  bool Prepared() const { return (engineState_ & esPrepared) != 0; }

  // Bound by the report's constructor to its EndPage and PublishPage.
  std::function<void()> OnEndPage;
  std::function<void()> OnPublishPage;

 protected:
  int absolutePageNo_ = -1;
  int absolutePageCount_ = 0;
  uint16_t engineState_ = 0;
  bool finished_ = false;
  bool reportCompleted_ = false;
  std::unique_ptr<TppPage> page_;
  uint16_t pendingBands_ = 0;
  TDateTime printDateTime_;
  bool busy_ = false;
  TppCustomReport* report_;
  bool suppressErrors_ = false;
  bool cancelled_ = false;
};

class TppCustomEngine : public TppGenerator {
  DECLARE_CLASS(TppCustomEngine, TppGenerator)
 public:
  using TppGenerator::TppGenerator;

  int GetPageNo() const override;
  int GetPageCount() const override;
  void FinishData() override;
  virtual int32_t GetPageBottom() const;
  virtual void TraverseData() = 0;
  virtual void ClosePipelines() = 0;

  bool DataEnded() const { return dataEnded_; }
  bool RecordMoved() const { return recordMoved_; }
  void SetRecordMoved(bool value) { recordMoved_ = value; }
  TppGroup* ControlGroup() const { return controlGroup_; }
  int ColumnNo() const { return columnNo_; }
  bool DetailPlacedOnPage() const { return detailPlacedOnPage_; }
  void SetDetailPlacedOnPage(bool value) { detailPlacedOnPage_ = value; }
  int32_t AreaLeft() const { return areaLeft_; }
  int32_t AreaTop() const { return areaTop_; }
  int32_t AreaExtent() const { return areaExtent_; }
  int32_t PrintPosition() const { return printPosition_; }
  // The area the next band starts in (also the new print position).
  void SetPrintArea(int32_t left, int32_t top, int32_t extent);
  int PageBandCount() const { return pageBandCount_; }
  int BandCount() const { return bandCount_; }
  void CountBandInstance() {
    ++pageBandCount_;
    ++bandCount_;
  }
  int32_t LastBandBottom() const { return lastBandBottom_; }

  // Cache notifications, bound by TppReport's constructor.
  std::function<void(int pageNo)> OnRestorePageState;
  std::function<void(int pageNo)> OnSavePageState;
  std::function<void()> OnResetCache;
  std::function<void(int& lastCachedPage)> OnGetLastCachedPage;

 protected:
  bool dataEnded_ = false;
  bool recordMoved_ = false;
  TppGroup* controlGroup_ = nullptr;
  int columnNo_ = 0;
  bool detailPlacedOnPage_ = false;
  int lastCachedPage_ = -1;
  int32_t areaLeft_ = 0, areaTop_ = 0, areaExtent_ = 0, printPosition_ = 0;
  int pageBandCount_ = 0;
  int bandCount_ = 0;
  int32_t lastBandBottom_ = 0;
};

class TppEngine : public TppCustomEngine, public TppPipelineListener {
  DECLARE_CLASS(TppEngine, TppCustomEngine)
 public:
  explicit TppEngine(TppCustomReport* report);
  ~TppEngine() override;

  void RequestPages(uint8_t request, int pageNo, const TStrings* pageList) override;
  void Reset() override;
  void TraverseData() override;
  void ClosePipelines() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;
  // Event 1 (pipeline freed): forgets it wherever it is held.
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;

  bool Completed() const { return completed_; }
  bool SteppedBack() const { return steppedBack_; }
  int CurrentList() const { return currentList_; }
  int CurrentIndex() const { return currentIndex_; }
  bool Columnar() const { return columnar_; }
  bool OutputPage() const { return outputPage_; }
  int32_t ColumnTop() const { return columnTop_; }
  TppDataPipeline* ReportPipeline() const { return reportPipeline_; }
  TppDataPipeline* DetailPipeline() const { return detailPipeline_; }
  TppBand* FinalBand() const { return finalBand_; }
  bool PageEnded() const { return pageEnded_; }
  uint8_t PageRequest() const { return pageRequest_; }
  int RequestedPage() const { return requestedPage_; }
  int LastCachedPage() const { return lastCachedPage_; }
  const std::vector<TppBand*>& BandList(int list) const { return bandLists_[list]; }
  // A band instance that took space: detail, footer and summary instances
  // are the progress the overflow guard looks for.
  void NoteBandPlaced(TppBand* band);
  // Pages generated in this run (for measuring regeneration).
  int PagesGenerated() const { return pagesGenerated_; }

 private:
  void GeneratePages();
  void Prepare();
  void PrepareBands();
  void InitGroups();
  void OpenPipelines();
  void OpenComponentPipelines();
  void ReleasePipelines(int op);
  void ReleaseOne(TppDataPipeline*& pipeline, int op);
  void SkipEmptyMasters();
  void ShowNoDataMessage();
  void SetNoDataMode(bool noData);
  void SetStartPage();
  void LimitToCache();
  void AdvancePageRequest();
  bool NextListedPage();
  void StartPass();
  void EndPassEvents();
  void FillPage();
  void ReprintAfterFooterBreak();
  void ReprintHeadersAboveFooters();
  void PrintPageHeaders();
  void StartPage();
  void UpdateControlGroupPages();
  void ComputeOutputFlag();
  void FillBands(int list, int index);
  // Moves the fill position to the start of the list after the current one.
  void NextBandList();
  void GenerateBandList(int list, int start, bool store);
  void EndPage();
  void StorePageInfo();
  void StartColumn();
  bool PlaceColumn();
  void EndColumn();
  void NextRecord();
  void PriorRecord();
  void MoveRecord(bool next);
  void CheckGroupBreaks(TppDataPipeline* pipeline);
  void BreakInnerGroups();
  void CalculateAllComponents();
  void ForEachBand(const std::function<void(TppBand*)>& fn);
  // The overflow guard: a band that overflows on a fresh page that placed
  // nothing would be regenerated on new pages forever.
  void CheckOverflowGuard(TppCustomBand* band);
  [[noreturn]] void Fail(const std::string& message);

  bool steppedBack_ = false;
  int currentIndex_ = 0;
  int currentList_ = 0;
  bool columnEnded_ = false;
  bool columnar_ = false;
  bool outputPage_ = false;
  bool hasDetailPipeline_ = false;
  int32_t columnTop_ = 0;
  TppDataPipeline* detailPipeline_ = nullptr;
  bool completed_ = false;
  bool firstPassEnded_ = false;
  bool firstPassStarted_ = false;
  TppBand* finalBand_ = nullptr;
  int previousPage_ = 0;
  std::vector<TppDataPipeline*> otherPipelines_;
  TppDataPipeline* reportPipeline_ = nullptr;
  int lowestBreak_ = 0;
  bool pageEnded_ = false;
  uint8_t pageRequest_ = rqAll;
  TStringList pageList_;
  int pageListIndex_ = 0;
  int requestedPage_ = 0;
  bool repeatLastPage_ = false;
  bool secondPassStarted_ = false;
  bool secondPassEnded_ = false;
  std::vector<TppBand*> bandLists_[blCount];
  int pagesGenerated_ = 0;
  // Overflow guard state: the band that overflowed a page that placed
  // nothing before it, and the page it did so on.
  TppBand* guardBand_ = nullptr;
  int guardPage_ = 0;
  int guardColumn_ = 0;
  int progress_ = 0;
};
