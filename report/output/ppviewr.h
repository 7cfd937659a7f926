#pragma once
// The preview control: a panel showing one generated page at a time, zoomed,
// in a scroll box. Its screen device asks the report's publisher for one page
// at a time, renders it once into a bitmap and the paint box copies from it.

#include <memory>
#include <string>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/graphics/images.h"
#include "report/output/ppdevice.h"
#include "report/output/ppforms.h"

DECLARE_ENUM(TppZoomSettingType, zsWholePage, zsPageWidth, zs100Percent, zsPercentage)

class TppViewer;

class TppScreenDevice : public TppRasterDevice {
  DECLARE_CLASS(TppScreenDevice, TppRasterDevice)
 public:
  explicit TppScreenDevice(TComponent* owner = nullptr);
  ~TppScreenDevice() override;

  void CancelJob() override;
  bool DrawCommand(TppDrawCommand* command) override;
  bool DrawCommandDirect(TppDrawCommand* command) override;
  // The screen shows pages that are not final yet.
  bool WithholdsDraftPages() const override { return false; }
  void ReceivePage(TppPage* page) override;
  void ResetPageRequest() override;

  // Page moves; each asks only when another page than the shown one is wanted.
  void GotoPage(int pageNo);
  void FirstPage();
  void LastPage();

  // Renders the shown page into a new bitmap with the viewer's zoom.
  void DrawPageBitmap();

  TppPage* CurrentPage() const { return currentPage_.get(); }
  TBitmap* PageBitmap() const { return bitmap_.get(); }
  TPoint PageOrigin() const { return pageOrigin_; }
  int PageWidthPixels() const { return pageWidth_; }
  int PageHeightPixels() const { return pageHeight_; }
  double ScaleX() const { return scaleX_; }
  double ScaleY() const { return scaleY_; }
  int ZoomPercent() const { return zoomPercent_; }
  const std::string& StatusMessage() const { return status_; }
  TppViewer* Viewer() const { return viewer_; }

  bool ShowStatusMessages = true;

 private:
  friend class TppViewer;
  // The bitmap and page sizes for the zoom; false when the page has no size.
  bool SizeBitmap(int& bitmapWidth, int& bitmapHeight);
  void SetStatus(const std::string& text);
  void ShowPage(TppPage* page);
  void UpdatePageCount(TppPage* page);
  bool DrawText(TppDrawText* command);
  int ScreenPixels(int32_t value) const;

  std::unique_ptr<TppPage> currentPage_;
  std::unique_ptr<TBitmap> bitmap_;
  TPoint pageOrigin_;
  int pageWidth_ = 0, pageHeight_ = 0;
  double scaleX_ = 1, scaleY_ = 1;
  int zoomPercent_ = 100;
  std::string status_;
  TppViewer* viewer_ = nullptr;
};

class TppViewer : public TPanel {
  DECLARE_CLASS(TppViewer, TPanel)
 public:
  explicit TppViewer(TComponent* owner);
  ~TppViewer() override;

  TppReportLink* Report() const { return report_; }
  // Attaches the screen device to the report's publisher (null detaches).
  void SetReport(TppReportLink* report);
  int ZoomPercentage() const { return zoomPercentage_; }
  // Within 1 to 250 percent; switches to zsPercentage.
  void SetZoomPercentage(int value);
  TppZoomSettingType ZoomSetting() const { return zoomSetting_; }
  void SetZoomSetting(TppZoomSettingType value);

  void FirstPage() { device_->FirstPage(); }
  void LastPage() { device_->LastPage(); }
  void NextPage() { device_->GotoPage(AbsolutePageNo() + 1); }
  void PriorPage() { device_->GotoPage(AbsolutePageNo() - 1); }
  void GotoPage(int pageNo) { device_->GotoPage(pageNo); }
  // The shown page's number, 0 when none is shown.
  int AbsolutePageNo() const;
  int CalculatedZoom() const { return device_->ZoomPercent(); }
  const std::string& Status() const { return device_->StatusMessage(); }
  bool Busy() const { return device_->Busy(); }
  // Asks the report to stop generating.
  void Cancel();
  // Prints the report on the printer from the shown page.
  void Print();
  void Reset() { device_->ResetPageRequest(); }

  TppScreenDevice* ScreenDevice() const { return device_.get(); }
  TScrollBox* ScrollBox() const { return scrollBox_; }
  TPaintBox* PaintBox() const { return paintBox_; }

  TNotifyEvent OnPageChange, OnPrintStateChange, OnStatusChange;

  void Dispatch(TMessage& message) override;

 protected:
  void Resize() override;

 private:
  friend class TppScreenDevice;
  void ArrangeScrollBars();
  void Redraw();
  void RefreshScrollBars();
  void PaintPage();
  void CopyToScreen(const TRect& rect);
  void PageChanged();

  std::unique_ptr<TppScreenDevice> device_;
  TScrollBox* scrollBox_ = nullptr;  // owned by the viewer
  TPaintBox* paintBox_ = nullptr;
  TppReportLink* report_ = nullptr;
  int zoomPercentage_ = 100;
  TppZoomSettingType zoomSetting_ = zsWholePage;
  bool directDrawing_ = false;
  bool resetScroll_ = true;
};
