#pragma once
// The printer device: prints the pages it receives on a report printer, one
// printed page per page, each with the page's own settings; repeats the
// whole request for collated copies and tells the cancel dialog how far it is.

#include <memory>

#include "report/output/ppdevice.h"
#include "report/output/ppprintr.h"

class TppPrinterDevice : public TppRasterDevice {
  DECLARE_CLASS(TppPrinterDevice, TppRasterDevice)
 public:
  explicit TppPrinterDevice(TComponent* owner = nullptr);
  ~TppPrinterDevice() override;

  void CancelJob() override;
  bool DrawCommand(TppDrawCommand* command) override;
  void EndJob() override;
  void ReceivePage(TppPage* page) override;
  void StartJob() override;

  // The canvas of the page being printed (null outside a page).
  TppPrinterCanvas* Canvas() const { return printer_->JobCanvas(); }
  TppPrinter* Printer() const { return printer_.get(); }
  // The printer's unprintable top-left margin, negated (device pixels).
  TPoint PageOffset() const { return pageOffset_; }
  int CopiesLeft() const { return copiesLeft_; }
  bool FirstPageOfJob() const { return firstPageOfJob_; }

 protected:
  // True when the last copy is done; else runs the request once more.
  virtual bool EndCopy();
  virtual bool DrawShape(TppDrawShape* command);
  virtual bool DrawLine(TppDrawLine* command);
  virtual bool DrawImage(TppDrawImage* command);
  virtual bool DrawText(TppDrawText* command);

 private:
  void ShowStatus(const TppPage* page);
  void StartPrintedPage(TppPage* page);
  int ToPixels(int32_t value, TppPixelAxis axis) const;
  void SaveRequest();
  void RestoreRequest();

  std::unique_ptr<TppPrinter> printer_;
  TPoint pageOffset_;
  int copiesLeft_ = 1;
  bool firstPageOfJob_ = true;
  int dpiX_ = 0, dpiY_ = 0;  // of the page being printed
  // The request as it stood before the first copy used it up: each further
  // copy replays it.
  bool requestSaved_ = false;
  TppPageRequestType savedRequest_ = prAll;
  int savedPageNo_ = 1;
  TStringList savedPageList_;
};
