#pragma once
// What a band holds: the printable base (geometry in thousandths of a mm,
// appearance, the print flags the band's passes drive, the hand-over of a
// draw command to the page, the streaming of positions), band membership
// with the parent-sized variants, and the placement of a plain component in
// its band during generation.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/core/alignment.h"
#include "platform/classlib/graphics/graphics.h"
#include "report/data/pputils.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"

class TBitmap;
class TCanvas;
class TControl;
class TPopupMenu;
class TppBand;
class TppCustomReport;
class TppDesignControl;
class TppSelectionObject;
class TppDataPipeline;
class TppDrawCommand;
class TppGroup;
class TppPage;
class TppPrinter;

// The band kind codes a component records (BandType).
enum TppBandKindCode {
  bkHeader = 0, bkTitle = 1, bkColumnHeader = 2, bkGroupHeader = 3, bkDetail = 4,
  bkGroupFooter = 5, bkColumnFooter = 6, bkSummary = 7, bkFooter = 8
};

// The container values placement reads (a band, or later a region).
struct TppContainerValues {
  int32_t PrintLeft = 0;
  int32_t PrintTop = 0;
  int32_t StretchBottom = 0;    // lowest bottom reached in this instance so far
  int32_t AvailableBottom = 0;
  bool Continued = false;       // continues a stretching component
  int32_t ContinuationOffset = 0;
  int32_t UsedHeight = 0;
  int32_t DesignedHeight = 0;
  class TppPrintable* Tallest = nullptr;  // the stretchable shifted against
};

class TppPrintable : public TppCacheable, public TppPipelineListener {
  DECLARE_CLASS(TppPrintable, TppCacheable)
 public:
  explicit TppPrintable(TComponent* owner = nullptr);
  ~TppPrintable() override;

  // ---- The virtual protocol the band and engine drive ----
  virtual void AfterEndPage() {}
  virtual void AdjustSize() { InvalidateDesign(); }
  virtual void EndPage() {}
  // At design time: the design control and selection follow the bounds.
  virtual void BoundsChanged();
  // Creates this component's draw command on the page (none without a class).
  virtual void CreateDrawCommand(TppPage* page);
  virtual void GetCaption(std::string& text);
  virtual int GetLanguageIndex() const;
  // The printer that measures: the report's, else the shared one.
  virtual TppPrinter* GetPrinter() const;
  virtual void StartPage() {}
  virtual void PropertiesToDrawCommand(TppDrawCommand*) {}
  virtual void MarkForPrint();
  virtual void EndPrintPass();
  virtual void StartPrintPass();
  virtual void ResetCalculation() { resetPending_ = false; }
  virtual void Calculate() {}
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  // Places the component in its container for this pass.
  virtual void Generate() = 0;
  virtual void GetText(std::string& text);
  virtual bool SupportsColor() const { return true; }
  virtual bool SupportsFont() const { return true; }
  virtual void Init();
  virtual bool IsCalculated() const { return false; }
  virtual bool IsDataAware() const { return false; }
  virtual bool IsDataAvailable() const;
  virtual void LanguageChanged() {}
  virtual void DrawToPage(TppPage* page);
  virtual void Changed() {}
  virtual void ConvertVersion(int versionNo);
  // True for the stretching kinds (placement group 2 when Stretch is set).
  virtual bool IsStretchable() const { return false; }
  virtual bool Stretches() const { return false; }
  // The component a stretchable is shifted against places it (no group).
  virtual bool HasShiftMaster() const { return false; }

  // ---- Design time (ppdesign.cpp): only with a designer attached ----
  virtual bool CanPaintViaBitmap() const { return true; }
  // The design image: Color unless Transparent, the caption, a frame.
  virtual void PaintDesignControl(TCanvas* canvas);
  virtual void BuildPopupMenu(TPopupMenu* menu);
  virtual void UpdatePopupMenu(TPopupMenu* menu);
  // Runs an item of this component's popup menu: toggles its property or
  // opens its dialog.
  virtual void PopupItemClick(const std::string& itemName);
  // The designer window of the report (nullptr without one).
  virtual TControl* GetDesigner() const { return nullptr; }
  virtual void CreateDesignControl();
  void FreeDesignControl();
  void InvalidateDesign();
  void NotifyDesigner();
  void UpdateDesignControl();
  // The design control's paint routine: through the cached bitmap when it can.
  void PaintDesign(TCanvas* canvas);
  TppDesignControl* DesignControl() const { return designControl_; }
  TppSelectionObject* SelectionObject() const { return selection_.get(); }
  TBitmap* DesignBitmap() const { return designBitmap_.get(); }
  bool DesignBitmapValid() const { return designBitmapValid_; }
  // Attached to a designer and not generating.
  bool AtDesignTime() const { return (State() & ppstDesigning) && !Printing(); }
  void SetName(const std::string& newName) override;
  // Showing data at design time or not reloads a data-aware component.
  void StateChanged(uint16_t states) override;

  // ---- Accessors ----
  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment value);
  bool AutoSize() const { return autoSize_; }
  virtual void SetAutoSize(bool value);
  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& value);
  TColor Color() const { return color_; }
  virtual void SetColor(TColor value);
  const std::string& DataField() const { return dataField_; }
  virtual void SetDataField(const std::string& value);
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  virtual void SetDataPipeline(TppDataPipeline* pipeline);
  TFont* Font() const { return font_.get(); }
  virtual void SetFont(const TFont* font);
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& value);
  bool ReprintOnOverFlow() const { return reprintOnOverFlow_; }
  void SetReprintOnOverFlow(bool value);
  bool ShiftWithParent() const { return shiftWithParent_; }
  void SetShiftWithParent(bool value);
  bool StretchWithParent() const { return stretchWithParent_; }
  void SetStretchWithParent(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  TppUnitType Units() const { return units_; }
  virtual void SetUnits(TppUnitType units) { units_ = units; }

  int32_t mmLeft() const { return mmLeft_; }
  int32_t mmTop() const { return mmTop_; }
  int32_t mmWidth() const { return mmWidth_; }
  int32_t mmHeight() const { return mmHeight_; }
  virtual void SetmmLeft(int32_t value);
  virtual void SetmmTop(int32_t value);
  virtual void SetmmWidth(int32_t value);
  virtual void SetmmHeight(int32_t value);
  virtual void SetmmBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  // In Units, through the printer's resolution for printer pixels.
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void SetLeft(float value);
  void SetTop(float value);
  void SetWidth(float value);
  void SetHeight(float value);
  void SetPixelBounds(int left, int top, int width, int height);
  int PixelLeft() const;
  int PixelTop() const;
  int PixelWidth() const;
  int PixelHeight() const;

  // ---- Generation state ----
  bool MarkedToPrint() const { return markedToPrint_; }
  void SetMarkedToPrint(bool value) { markedToPrint_ = value; }
  bool Complete() const { return complete_; }
  bool Overflow() const { return overflow_; }
  bool Continued() const { return continued_; }
  bool ResetPending() const { return resetPending_; }
  void SetResetPending(bool value) { resetPending_ = value; }
  int32_t SpaceUsed() const { return spaceUsed_; }
  virtual void SetSpaceUsed(int32_t height) { spaceUsed_ = height; }
  // Where the overflowing part resumes (thousandths within the component).
  virtual int32_t OverflowOffset() const { return 0; }
  const TRect& PrintRect() const { return printRect_; }
  int OrderIndex() const { return orderIndex_; }
  void SetOrderIndex(int index) { orderIndex_ = index; }
  // True while the report tree generates (print state 1).
  bool Printing() const { return (PrintState() & pppsGenerating) != 0; }

  TNotifyEvent OnPrint;

 protected:
  void DefineProperties(TFiler* filer) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  bool ReadingOrLoading() const;
  // Sets the design control's style flags after it was created.
  virtual void SetupDesignControl(TppDesignControl* control) { (void)control; }
  // The container's list of design controls keeps up with this component's
  // control and name; the control is about to go when `going`.
  virtual void ListDesignControl(bool going) { (void)going; }
  // Fills the image unless Transparent, draws `text` and frames it.
  void PaintDesignText(TCanvas* canvas, const std::string& text, bool wordBreak);

  // The draw command this component emits (none in the base).
  TClass drawCommandClass_ = nullptr;
  bool markedToPrint_ = false;
  bool complete_ = false;
  bool overflow_ = false;
  bool continued_ = false;
  bool resetPending_ = false;
  int32_t spaceUsed_ = 0;
  TRect printRect_{0, 0, 0, 0};
  int32_t mmHeight_ = 0, mmLeft_ = 0, mmTop_ = 0, mmWidth_ = 0;
  std::string oldDataSource_, oldReportField_;

 private:
  int Dpi(TppPixelAxis axis) const;

  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
  std::string caption_;
  TColor color_ = TColor(0xFFFFFF);
  std::string dataField_;
  TppDataPipeline* dataPipeline_ = nullptr;
  std::unique_ptr<TFont> font_;
  bool reprintOnOverFlow_ = false;
  bool shiftWithParent_ = false;
  bool stretchWithParent_ = false;
  std::string text_;
  bool transparent_ = false;
  TppUnitType units_ = utInches;
  bool visible_ = true;
  bool wordWrap_ = false;
  int orderIndex_ = 0;
  // Design time.
  TppDesignControl* designControl_ = nullptr;  // owned by the designer; freed here
  std::unique_ptr<TBitmap> designBitmap_;
  bool designBitmapValid_ = false;
  std::unique_ptr<TppSelectionObject> selection_;
  int32_t lastDesignHeight_ = 0, lastDesignWidth_ = 0;
};

class TppComponent : public TppPrintable {
  DECLARE_CLASS(TppComponent, TppPrintable)
 public:
  explicit TppComponent(TComponent* owner = nullptr);
  ~TppComponent() override;

  virtual bool ResetsOnGroup() const { return false; }
  TppBand* Band() const { return band_; }
  // Leaves the old band's list and joins the new one's.
  virtual void SetBand(TppBand* band);
  TppBandKindCode BandType() const { return bandType_; }
  int GroupNo() const { return groupNo_; }
  bool ParentDataPipeline() const { return parentDataPipeline_; }
  virtual void SetParentDataPipeline(bool value);
  bool ParentHeight() const { return parentHeight_; }
  virtual void SetParentHeight(bool value);
  bool ParentWidth() const { return parentWidth_; }
  virtual void SetParentWidth(bool value);
  TppGroup* ResetGroup() const { return resetGroup_; }
  virtual void SetResetGroup(TppGroup* group) { resetGroup_ = group; }
  // (0, 0, band's printable width, band height) in a band; else its own.
  virtual TRect GetContainerRect() const;
  void BringToFront();
  void SendToBack();
  TppCustomReport* Report() const;

  int GetLanguageIndex() const override;
  TppPrinter* GetPrinter() const override;
  TControl* GetDesigner() const override;
  void CreateDesignControl() override;
  void ListDesignControl(bool going) override;
  void BuildPopupMenu(TPopupMenu* menu) override;
  void UpdatePopupMenu(TPopupMenu* menu) override;
  void PopupItemClick(const std::string& itemName) override;
  void SetDataPipeline(TppDataPipeline* pipeline) override;
  void SetmmLeft(int32_t value) override;
  void SetmmTop(int32_t value) override;
  void SetmmWidth(int32_t value) override;
  void SetmmHeight(int32_t value) override;
  void SetmmBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void Changed() override;

  // ---- Regions (report/components/ppregion.cpp) ----
  // The region the component is placed in, or none.
  TppComponent* Region() const { return region_; }
  // Anything but a region (or none) is ignored; the component joins the region's band.
  void SetRegion(TComponent* region);
  // What a region gives the components placed in it.
  virtual TppContainerValues ChildContainerValues() const { return {}; }
  virtual void AddChild(TppComponent* child) { (void)child; }
  virtual void RemoveChild(TppComponent* child) { (void)child; }
  // Takes the container's size on the sides that follow it (a container
  // that was resized asks its children).
  void SizeToParent();

  // Streaming: a component's parent is its region, else its band.
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 protected:
  void DefineProperties(TFiler* filer) override;
  void ParentSizeChanged(int mask, bool set);

 private:
  TppBand* band_ = nullptr;
  TppBandKindCode bandType_ = bkDetail;
  int groupNo_ = -1;
  bool parentDataPipeline_ = true;
  bool parentHeight_ = false;
  bool parentWidth_ = false;
  TppGroup* resetGroup_ = nullptr;
  TppComponent* region_ = nullptr;
};

class TppCustomComponent : public TppComponent {
  DECLARE_CLASS(TppCustomComponent, TppComponent)
 public:
  explicit TppCustomComponent(TComponent* owner = nullptr);

  // May set the space used to 0 (repeated values are suppressed).
  virtual void CheckRepeatedValue() {}
  // Places the component: marked, visible and fitting, it takes its space.
  void Generate() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;

 protected:
  void DefineProperties(TFiler* filer) override;
  // The container values of the band the component is placed in.
  virtual TppContainerValues ContainerValues() const;
  void Place(const TppContainerValues& container);
};
