#pragma once
// Groups split the detail records into runs that share a break value (the
// text of a pipeline field or of a named text component). Each group owns a
// header and a footer band; a break prints the old run's footer and the new
// run's header, may ask for a new page or column, and can count page numbers
// within each run.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "report/data/ppdb.h"
#include "report/model/ppcache.h"

class TppCustomReport;
class TppDataPipeline;
class TppGroupHeaderBand;
class TppGroupFooterBand;
class TppPrintable;

DECLARE_ENUM(TppBreakType, btDataField, btCustomField)

using TppGetBreakValueEvent = std::function<void(TObject* sender, std::string& value)>;

class TppGroup : public TppCacheable, public TppPipelineListener {
  DECLARE_CLASS(TppGroup, TppCacheable)
 public:
  explicit TppGroup(TComponent* owner = nullptr);
  ~TppGroup() override;

  virtual void ResetBreak();
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  virtual void UpdateBandCaptions();
  virtual void ConvertVersion(int versionNo);
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;

  // ---- Breaks (engine) ----
  void GetBreakValue(std::string& value);
  // Stores the new break value; true when it differs from the previous one.
  bool CheckBreak();
  void Break();
  void Init();
  // Recomputes the break value without break detection.
  void RecomputeValue();
  int PageNo() const;
  int PageCount() const;
  void SetFirstPage(int page) { firstPage_ = page; }
  // The run's last page, also written into the saved pages of this run.
  void SetLastPage();

  // ---- Properties ----
  TppCustomReport* Report() const { return report_; }
  void SetReport(TppCustomReport* report);
  TppGroupHeaderBand* HeaderBand() const { return headerBand_; }
  TppGroupFooterBand* FooterBand() const { return footerBand_; }
  // Bands created with the group, or read from a stream, join it here.
  void SetHeaderBand(TppGroupHeaderBand* band);
  void SetFooterBand(TppGroupFooterBand* band);
  TppBreakType BreakType() const { return breakType_; }
  void SetBreakType(TppBreakType value);
  const std::string& BreakName() const { return breakName_; }
  void SetBreakName(const std::string& value);
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  bool NewColumn() const { return newColumn_; }
  void SetNewColumn(bool value);
  bool NewPage() const { return newPage_; }
  void SetNewPage(bool value);
  int32_t mmNewColumnThreshold() const { return mmNewColumnThreshold_; }
  void SetmmNewColumnThreshold(int32_t value);
  int32_t mmNewPageThreshold() const { return mmNewPageThreshold_; }
  void SetmmNewPageThreshold(int32_t value);
  float NewColumnThreshold() const;
  void SetNewColumnThreshold(float value);
  float NewPageThreshold() const;
  void SetNewPageThreshold(float value);
  bool ReprintOnSubsequentColumn() const { return reprintOnSubsequentColumn_; }
  void SetReprintOnSubsequentColumn(bool value);
  bool ReprintOnSubsequentPage() const { return reprintOnSubsequentPage_; }
  void SetReprintOnSubsequentPage(bool value);
  bool ResetPageNo() const { return resetPageNo_; }
  void SetResetPageNo(bool value);
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType units) { units_ = units; }
  // A renamed break component takes its group's BreakName along.
  void BreakComponentRenamed(const std::string& oldName, const std::string& newName);
  void BreakComponentFreed(TppPrintable* component);

  // ---- Break state ----
  bool BreakOccurred() const { return breakOccurred_; }
  int BreakNo() const { return breakNo_; }
  void IncBreakNo() { ++breakNo_; }
  const std::string& CurrentValue() const { return currentValue_; }
  const std::string& PreviousValue() const { return previousValue_; }
  int FirstPage() const { return firstPage_; }
  int LastPage() const { return lastPage_; }
  int HeaderColumn() const { return headerColumn_; }
  void SetHeaderColumn(int column) { headerColumn_ = column; }
  // The header has printed: the run starts on the record under it.
  void ClearBreakOccurred();
  int GroupIndex() const;

  TNotifyEvent AfterGroupBreak, BeforeGroupBreak;
  TppGetBreakValueEvent OnGetBreakValue;

  // Streaming: groups are children of their report; their bands of them.
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

 protected:
  void DefineProperties(TFiler* filer) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TppPrintable* BreakComponent();
  void ResetReport();
  bool ReadingOrLoading() const;
  int Dpi() const;

  TppPrintable* breakComponent_ = nullptr;
  bool breakOccurred_ = false;
  int breakNo_ = 0;
  TppBreakType breakType_ = btDataField;
  std::string breakName_;
  std::string currentValue_;
  std::vector<TppPrintable*> resetComponents_;
  TppDataPipeline* dataPipeline_ = nullptr;
  int headerColumn_ = 1;
  int firstPage_ = 1;
  TppGroupFooterBand* footerBand_ = nullptr;
  TppGroupHeaderBand* headerBand_ = nullptr;
  int lastPage_ = 1;
  bool newColumn_ = false;
  bool newPage_ = false;
  int32_t mmNewColumnThreshold_ = 0;
  int32_t mmNewPageThreshold_ = 0;
  std::string previousValue_;
  TppCustomReport* report_ = nullptr;
  bool reprintOnSubsequentColumn_ = true;
  bool reprintOnSubsequentPage_ = true;
  bool resetPageNo_ = false;
  bool lookupPending_ = true;
  TppUnitType units_ = utInches;
  int32_t oldThreshold_ = 0;
  bool oldReprint_ = true;
  std::string oldFieldName_;
};
