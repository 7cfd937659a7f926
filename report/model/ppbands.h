#pragma once
// Bands: horizontal strips of a layout printed as a unit (once per page,
// report, column, group break or record). The engine asks a band to generate
// at its print position; the band decides whether it fits, lets its
// components place themselves, draws them and moves the print position down.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/core/strings.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"
#include "report/model/ppcomponent.h"

class TControl;
class TPopupMenu;
class TppBandDesignControl;
class TppCustomReport;
class TppDataPipeline;
class TppEngine;
class TppGroup;
class TppPage;
class TppCustomText;

// Kind bits (GetBandType) as the engine's PendingBands holds them.
enum TppBandKindBit : uint16_t {
  btTitle = 1, btSummary = 2, btHeader = 4, btFooter = 8, btColumnHeader = 16,
  btColumnFooter = 32, btGroupHeader = 64, btGroupFooter = 128, btDetail = 256
};

DECLARE_ENUM(TppPrintHeightType, phStatic, phDynamic)

// Print modes: once per Generate call, while the kind is due, PrintCount times.
constexpr uint8_t pmOnce = 1, pmWhileDue = 2, pmCount = 3;

class TppBand : public TppCacheable, public TppPipelineListener {
  DECLARE_CLASS(TppBand, TppCacheable)
 public:
  explicit TppBand(TComponent* owner = nullptr);
  ~TppBand() override;

  virtual uint8_t GetDefaultPrintMode() const { return pmOnce; }
  virtual std::string GetSortKey() const = 0;
  virtual uint16_t GetBandType() const = 0;
  // The code components record (0 header ... 8 footer).
  virtual TppBandKindCode KindCode() const = 0;
  virtual bool PrintsInColumns() const { return true; }
  virtual void SetReport(TppCustomReport* report);
  virtual void AfterEndPage();
  virtual void EndPage();
  virtual void CalculateComponents();
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  virtual void Generate() = 0;
  virtual TppDataPipeline* GetDataPipeline() const;
  virtual std::string GetDescription() const;
  virtual void Init();
  virtual bool IsDetail() const { return false; }
  virtual void LanguageChanged();
  virtual void StartPage();
  virtual void ConvertVersion(int versionNo);
  // The group of a group band; none for the others.
  virtual TppGroup* Group() const { return nullptr; }

  // ---- Design time (ppdesignrpt.cpp) ----
  virtual void BuildPopupMenu(TPopupMenu* menu);
  virtual void UpdatePopupMenu(TPopupMenu* menu);
  virtual void PopupItemClick(const std::string& itemName);
  virtual void NotifyDesigner();
  virtual void UpdateDesignLayout();
  TControl* GetDesigner() const;
  // The band's own control in its report's design window while attached
  // (a strip of the band's size that opens the band's popup menu).
  void CreateDesignControl();
  void FreeDesignControl();
  TppBandDesignControl* DesignControl() const { return designControl_; }
  // Its components' design controls, sorted by component name.
  const TStringList& DesignControls() const { return designControls_; }
  // Lists (or, when `going`, drops) a component's design control.
  void ListDesignControl(TppComponent* component, bool going);

  TppCustomReport* Report() const { return report_; }
  TppEngine* Engine() const;

  int32_t mmHeight() const { return mmHeight_; }
  void SetmmHeight(int32_t value);
  int32_t mmBottomOffset() const { return mmBottomOffset_; }
  void SetmmBottomOffset(int32_t value);
  int32_t mmPrintPosition() const { return mmPrintPosition_; }
  void SetmmPrintPosition(int32_t value);
  // In Units, through the report's printer.
  float Height() const;
  void SetHeight(float value);
  float BottomOffset() const;
  void SetBottomOffset(float value);
  float PrintPosition() const;
  void SetPrintPosition(float value);
  int PrintCount() const { return printCount_; }
  void SetPrintCount(int value);
  TppPrintHeightType PrintHeight() const { return printHeight_; }
  virtual void SetPrintHeight(TppPrintHeightType value);
  uint8_t PrintMode() const { return printMode_; }
  bool Save() const { return save_; }
  void SetSave(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType units);
  bool DrawingEnabled() const { return drawingEnabled_; }
  void SetDrawingEnabled(bool value) { drawingEnabled_ = value; }
  const std::string& Caption() const { return caption_; }

  // ---- Components ----
  void AddComponent(TppComponent* component);
  void RemoveComponent(TppComponent* component);
  void MoveComponent(TppComponent* component, int index);
  int ComponentCount() const { return int(components_.size()); }
  TppComponent* Components(int index) const { return components_[size_t(index)]; }
  int IndexOfComponent(const TppComponent* component) const;
  TppComponent* FindComponentByName(const std::string& name) const;
  // Text components with a save number, in save order.
  std::vector<TppCustomText*>& SaveList() { return saveList_; }
  // The printable width components may use (the report's, or a column's).
  int32_t PrintableWidth() const;

  TNotifyEvent AfterPrint, BeforePrint;

  // Streaming: bands are children of their report (or group).
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

 protected:
  void DefineProperties(TFiler* filer) override;
  void Loaded() override;
  void UpdatePrintMode();
  void ResetReport();
  // At design time: refuses (with the designer's warning) a height that
  // cannot hold the components or exceeds the page, and moves components
  // that would end below a valid new height up.
  bool AcceptDesignHeight(int32_t value);
  // The band controls of the report follow a changed size.
  void UpdateDesignControl();
  void Notification(TComponent* component, TOperation operation) override;
  bool ReadingOrLoading() const;
  int Dpi() const;

  int32_t mmBottomOffset_ = 0;
  std::string caption_;
  TStringList designControls_;
  TppBandDesignControl* designControl_ = nullptr;  // owned
  bool drawingEnabled_ = true;
  int32_t mmHeight_ = 13229;  // 50 screen pixels at 96 dpi
  std::vector<TppComponent*> components_;
  int printCount_ = 0;
  TppPrintHeightType printHeight_ = phStatic;
  int32_t mmPrintPosition_ = 0;
  uint8_t printMode_ = pmOnce;
  TppCustomReport* report_ = nullptr;
  bool save_ = false;
  std::vector<TppCustomText*> saveList_;
  TppUnitType units_ = utInches;
  bool visible_ = true;
  std::string oldOnPrint_;
};

// The generating band: fits, places, draws and advances.
class TppCustomBand : public TppBand {
  DECLARE_CLASS(TppCustomBand, TppBand)
 public:
  explicit TppCustomBand(TComponent* owner = nullptr);
  ~TppCustomBand() override;

  void Generate() override;
  void Init() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;

  virtual void ApplyPrintPosition();
  virtual void AfterGenerate() {}
  virtual void EndPrintPass();
  virtual void AfterPrintComponents() {}
  virtual void BeforeGenerate() {}
  virtual void BeforePrintComponents() {}
  virtual void StartPrintPass();
  virtual void CalcPrintSpace();
  virtual void BeforeDrawComponents(TppPage*) {}

  // ---- Generation state (engine, components, cache) ----
  bool OutOfSpace() const { return outOfSpace_; }
  void SetOutOfSpace(bool value) { outOfSpace_ = value; }
  bool IsGenerating() const { return generating_; }
  bool Done() const { return done_; }
  bool IsContinued() const { return continued_; }
  bool IsIncomplete() const { return incomplete_; }
  // Which record the band stands on while it generates: a number no earlier
  // record had, taken when the band starts a record (and at the first pass
  // after a page's state was restored, or when a run starts), kept while it
  // goes on with it over pages. What a component read for one number belongs
  // to that record.
  uint64_t RecordStamp() const { return recordStamp_; }
  int32_t RestartGroup() const { return restartGroup_; }
  int32_t OverflowIndex() const { return overflowIndex_; }
  int32_t ResumeOffset() const { return resumeOffset_; }
  int32_t Available() const { return available_; }
  int32_t BandBottom() const { return bandBottom_; }
  int32_t UsedHeight() const { return usedHeight_; }
  int32_t Top() const { return top_; }
  const TRect& PrintRect() const { return printRect_; }
  TppPrintable* TallestStretchable() const { return tallest_; }
  bool PrintPositionAsked() const { return printPositionAsked_; }
  int InstanceCount() const { return instanceCount_; }
  // True when this pass placed nothing (the engine's overflow guard).
  bool PlacedNothing() const { return placedNothing_; }
  // The values placement reads for components of this band.
  TppContainerValues ContainerValues() const;

 protected:
  bool IsDone() const;
  void PlaceComponents(int startGroup, int startIndex);
  void PlaceList(int group, int from);
  void AdvancePrintArea();
  void DrawComponents(TppPage* page);
  void BuildPlacementGroups();
  // Bytes 17-19 of the page record (Printed / BreakPending / Asked flags).
  virtual void SaveKindState(uint8_t* record) const { (void)record; }
  virtual void RestoreKindState(const uint8_t* record) { (void)record; }

  bool allComplete_ = false;
  std::vector<TppPrintable*> calcComponents_;
  int instanceCount_ = 0;
  int32_t bandBottom_ = 0;
  bool generating_ = false;
  bool done_ = false;
  TppPrintable* tallest_ = nullptr;
  int32_t restartGroup_ = 0;
  std::vector<TppPrintable*> groups_[5];  // placement groups 1..4 (0 unused)
  bool overflowNoted_ = false;
  int32_t overflowIndex_ = 0;
  bool overflowStretches_ = false;
  bool firstOverflowInPass_ = false;
  bool continued_ = false;
  uint64_t recordStamp_ = 0;
  bool restored_ = false;  // a page's state was restored since the last pass began
  bool outOfSpace_ = false;
  int32_t available_ = 0;
  bool incomplete_ = false;
  int32_t resumeOffset_ = 0;
  TRect printRect_{0, 0, 0, 0};
  bool printPositionAsked_ = false;
  int32_t usedHeight_ = 0;
  int32_t top_ = 0;
  std::vector<TppPrintable*> drawList_;  // sorted by order index when drawn
  bool placedNothing_ = false;
};

class TppBasicBand : public TppCustomBand {
  DECLARE_CLASS(TppBasicBand, TppCustomBand)
 public:
  using TppCustomBand::TppCustomBand;
};

class TppDetailBand : public TppBasicBand {
  DECLARE_CLASS(TppDetailBand, TppBasicBand)
 public:
  explicit TppDetailBand(TComponent* owner = nullptr);
  ~TppDetailBand() override;
  uint8_t GetDefaultPrintMode() const override { return pmWhileDue; }
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btDetail; }
  TppBandKindCode KindCode() const override { return bkDetail; }
  bool IsDetail() const override { return true; }
  TppDataPipeline* GetDataPipeline() const override;
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  void EndPrintPass() override;
  void AfterPrintComponents() override;
  void ApplyPrintPosition() override;
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);

 private:
  TppDataPipeline* dataPipeline_ = nullptr;
};

class TppPageBand : public TppBasicBand {
  DECLARE_CLASS(TppPageBand, TppBasicBand)
 public:
  using TppBasicBand::TppBasicBand;
  bool PrintsInColumns() const override { return false; }
  void BeforeGenerate() override;
  bool PrintOnFirstPage() const { return printOnFirstPage_; }
  void SetPrintOnFirstPage(bool value);
  bool PrintOnLastPage() const { return printOnLastPage_; }
  void SetPrintOnLastPage(bool value);

 private:
  bool printOnFirstPage_ = true;
  bool printOnLastPage_ = true;
};

class TppHeaderBand : public TppPageBand {
  DECLARE_CLASS(TppHeaderBand, TppPageBand)
 public:
  using TppPageBand::TppPageBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btHeader; }
  TppBandKindCode KindCode() const override { return bkHeader; }
};

class TppFooterBand : public TppPageBand {
  DECLARE_CLASS(TppFooterBand, TppPageBand)
 public:
  using TppPageBand::TppPageBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btFooter; }
  TppBandKindCode KindCode() const override { return bkFooter; }
  void CalcPrintSpace() override;
};

class TppReportBand : public TppBasicBand {
  DECLARE_CLASS(TppReportBand, TppBasicBand)
 public:
  using TppBasicBand::TppBasicBand;
  bool PrintsInColumns() const override { return false; }
  void Init() override;
  bool Printed() const { return printed_; }
  bool NewPage() const { return newPage_; }
  void SetNewPage(bool value);

 protected:
  void SaveKindState(uint8_t* record) const override;
  void RestoreKindState(const uint8_t* record) override;
  bool printed_ = false;
  bool newPage_ = false;
};

class TppTitleBand : public TppReportBand {
  DECLARE_CLASS(TppTitleBand, TppReportBand)
 public:
  using TppReportBand::TppReportBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btTitle; }
  TppBandKindCode KindCode() const override { return bkTitle; }
  void BeforeGenerate() override;
  void AfterGenerate() override;

 private:
  bool printedBefore_ = false;
};

class TppSummaryBand : public TppReportBand {
  DECLARE_CLASS(TppSummaryBand, TppReportBand)
 public:
  using TppReportBand::TppReportBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btSummary; }
  TppBandKindCode KindCode() const override { return bkSummary; }
  void BeforeGenerate() override;
  void AfterGenerate() override;
  void CalcPrintSpace() override;
};

class TppColumnHeaderBand : public TppBasicBand {
  DECLARE_CLASS(TppColumnHeaderBand, TppBasicBand)
 public:
  using TppBasicBand::TppBasicBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btColumnHeader; }
  TppBandKindCode KindCode() const override { return bkColumnHeader; }
};

class TppColumnFooterBand : public TppBasicBand {
  DECLARE_CLASS(TppColumnFooterBand, TppBasicBand)
 public:
  using TppBasicBand::TppBasicBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btColumnFooter; }
  TppBandKindCode KindCode() const override { return bkColumnFooter; }
  void CalcPrintSpace() override;
};

class TppGroupBand : public TppCustomBand {
  DECLARE_CLASS(TppGroupBand, TppCustomBand)
 public:
  using TppCustomBand::TppCustomBand;
  ~TppGroupBand() override;
  TppGroup* Group() const override { return group_; }
  // Joins the group (and its report); the caption follows.
  virtual void SetGroup(TppGroup* group);
  void UpdateCaption();
  std::string GetDescription() const override;
  void Init() override;
  bool BreakPending() const { return breakPending_; }
  void SetBreakPending(bool value) { breakPending_ = value; }
  int GroupIndex() const;

  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 protected:
  void SaveKindState(uint8_t* record) const override;
  void RestoreKindState(const uint8_t* record) override;
  TppGroup* group_ = nullptr;
  bool breakPending_ = false;
};

class TppGroupHeaderBand : public TppGroupBand {
  DECLARE_CLASS(TppGroupHeaderBand, TppGroupBand)
 public:
  using TppGroupBand::TppGroupBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override;
  TppBandKindCode KindCode() const override { return bkGroupHeader; }
  void Init() override;
  void BeforeGenerate() override;
  void StartPrintPass() override;
  void CalcPrintSpace() override;
  void EndPrintPass() override;
  bool NewPageAsked() const { return newPageAsked_; }
  bool NewColumnAsked() const { return newColumnAsked_; }

 protected:
  void SaveKindState(uint8_t* record) const override;
  void RestoreKindState(const uint8_t* record) override;

 private:
  bool newColumnAsked_ = false;
  bool newPageAsked_ = false;
  bool breakAtStart_ = false;
};

class TppGroupFooterBand : public TppGroupBand {
  DECLARE_CLASS(TppGroupFooterBand, TppGroupBand)
 public:
  using TppGroupBand::TppGroupBand;
  std::string GetSortKey() const override;
  uint16_t GetBandType() const override { return btGroupFooter; }
  TppBandKindCode KindCode() const override { return bkGroupFooter; }
  void BeforeGenerate() override;
  void EndPrintPass() override;
};
