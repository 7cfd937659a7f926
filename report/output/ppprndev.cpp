#include "report/output/ppprndev.h"

#include <cmath>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "report/output/ppdrawcmd.h"
#include "report/output/ppforms.h"

IMPLEMENT_CLASS(TppPrinterDevice, TppRasterDevice)

TppPrinterDevice::TppPrinterDevice(TComponent* owner)
    : TppRasterDevice(owner), printer_(std::make_unique<TppPrinter>()) {}

TppPrinterDevice::~TppPrinterDevice() = default;

void TppPrinterDevice::StartJob() {
  if (Busy()) return;
  TppRasterDevice::StartJob();
  printer_->BeginDoc();
}

void TppPrinterDevice::EndJob() {
  if (!Busy() || !EndCopy()) return;
  requestSaved_ = false;
  printer_->EndDoc();
  TppRasterDevice::EndJob();
}

// A stopped job is thrown away: a printer drops it, a file is never made
// (or an older one stays as it was).
void TppPrinterDevice::CancelJob() {
  requestSaved_ = false;
  printer_->Abort();
  TppRasterDevice::CancelJob();
}

void TppPrinterDevice::SaveRequest() {
  savedRequest_ = PageRequest;
  savedPageNo_ = PageNo;
  savedPageList_.Assign(&PageList);
  requestSaved_ = true;
}

void TppPrinterDevice::RestoreRequest() {
  PageRequest = savedRequest_;
  PageNo = savedPageNo_;
  PageList.Assign(&savedPageList_);
}

bool TppPrinterDevice::EndCopy() {
  if (copiesLeft_ <= 1) return true;
  --copiesLeft_;
  // The first copy emptied the page list as its pages came: replay the
  // request as it was asked for.
  if (requestSaved_) RestoreRequest();
  RequestPages();
  return false;
}

void TppPrinterDevice::ReceivePage(TppPage* page) {
  if (Busy() && !requestSaved_) SaveRequest();
  TppRasterDevice::ReceivePage(page);
  if (!Busy() || !PageRequested) return;
  ShowStatus(page);
  if (SkipPage) return;
  StartPrintedPage(page);
  DrawPage(page);
  printer_->EndPage();
}

void TppPrinterDevice::StartPrintedPage(TppPage* page) {
  printer_->SetPrinterSetup(*page->PrinterSetup());
  printer_->StartPage();
  dpiX_ = printer_->PixelsPerInch(TppPixelAxis::Horizontal);
  dpiY_ = printer_->PixelsPerInch(TppPixelAxis::Vertical);
  const TPoint offset = printer_->PageOffset();
  pageOffset_ = {-offset.x, -offset.y};
  if (!firstPageOfJob_) return;
  // With collation the device makes the copies, else the driver does.
  if (page->PrinterSetup()->Collation()) copiesLeft_ = page->PrinterSetup()->Copies();
  firstPageOfJob_ = false;
}

void TppPrinterDevice::ShowStatus(const TppPage* page) {
  if (!CancelDialog) return;
  const int base = page->LanguageIndex;
  const std::string no = IntToStr(page->AbsolutePageNo);
  std::string text;
  if (!SkipPage || (Publisher() && Publisher()->Completed())) {
    const std::string printer = ppPrinters()->Resolve(page->PrinterSetup()->PrinterName());
    if (PageRequest != prAll || page->PassSetting == psOnePass)
      text = Format(ppSetMacros(ppLoadStr(base + 27)), {no, page->DocumentName, printer});
    else
      text = Format(ppSetMacros(ppLoadStr(base + 28)),
                    {no, IntToStr(page->AbsolutePageCount), page->DocumentName, printer});
  } else if (page->PassSetting != psOnePass) {
    text = Format(ppSetMacros(ppLoadStr(base + 4)), {no, page->DocumentName});
  }
  if (text.empty() || text == CancelDialog->StatusText()) return;
  CancelDialog->SetStatusText(text);
  if (Application) Application->ProcessMessages();  // so Cancel can be clicked
}

int TppPrinterDevice::ToPixels(int32_t value, TppPixelAxis axis) const {
  const int dpi = axis == TppPixelAxis::Horizontal ? dpiX_ : dpiY_;
  return int(std::trunc(ppFromMMThousandths(value, utPrinterPixels, dpi)));
}

bool TppPrinterDevice::DrawCommand(TppDrawCommand* c) {
  if (!Canvas()) return false;
  c->DrawLeft = ToPixels(c->Left, TppPixelAxis::Horizontal) + pageOffset_.x;
  c->DrawTop = ToPixels(c->Top, TppPixelAxis::Vertical) + pageOffset_.y;
  c->DrawRight = ToPixels(c->Left + c->Width, TppPixelAxis::Horizontal) + pageOffset_.x;
  c->DrawBottom = ToPixels(c->Top + c->Height, TppPixelAxis::Vertical) + pageOffset_.y;
  if (auto* text = dynamic_cast<TppDrawText*>(c)) return DrawText(text);
  if (auto* shape = dynamic_cast<TppDrawShape*>(c)) return DrawShape(shape);
  if (auto* line = dynamic_cast<TppDrawLine*>(c)) return DrawLine(line);
  if (auto* image = dynamic_cast<TppDrawImage*>(c)) return DrawImage(image);
  return false;
}

namespace {

// Screen pixels (pen widths are given in them) to printer pixels, truncated.
int ScreenToPrinter(int pixels, int dpi) {
  return int(std::trunc(double(pixels) * dpi / ppScreenPixelsPerInch()));
}

}  // namespace

bool TppPrinterDevice::DrawText(TppDrawText* c) {
  TCanvas* canvas = Canvas()->Canvas();
  TppTextLayout layout;
  if (c->IsMemo)
    for (int32_t stop : ppTabStopValues(c->TabStopPositions))
      layout.TabStops.push_back(ToPixels(stop, TppPixelAxis::Horizontal));
  Canvas()->SelectFont(c->Font());
  const TCanvas::TTextMetric tm = canvas->TextMetrics();
  layout.LineHeight =
      tm.Height + (c->IsMemo ? ToPixels(c->Leading, TppPixelAxis::Vertical) : tm.ExternalLeading);
  layout.Rect = ppDrawRect(*c);
  ppGrowToOneLine(*c, layout);
  layout.Lines = ppTextLines(*c);
  layout.AutoSize = c->AutoSize;
  layout.Tabbed = c->IsMemo;
  ppDrawTextLines(canvas, *c, layout);
  return true;
}

bool TppPrinterDevice::DrawShape(TppDrawShape* c) {
  const int pen = c->Pen()->Width() == 0 ? 1 : ScreenToPrinter(c->Pen()->Width(), dpiX_);
  return ppDrawShapeFigure(Canvas()->Canvas(), *c, pen,
                           ToPixels(c->XCornerRound, TppPixelAxis::Horizontal),
                           ToPixels(c->YCornerRound, TppPixelAxis::Vertical));
}

bool TppPrinterDevice::DrawLine(TppDrawLine* c) {
  const bool across = c->Position == lpTop || c->Position == lpBottom;
  const int dpi = across ? dpiX_ : dpiY_;
  const int width = c->Pen()->Width();
  const int strokes = width == 0 ? 1 : ScreenToPrinter(width, dpi);
  const int gap = width == 0 ? ScreenToPrinter(2, dpi) : 2 * strokes;
  ppDrawLineStrokes(Canvas()->Canvas(), *c, strokes, gap);
  return true;
}

bool TppPrinterDevice::DrawImage(TppDrawImage* c) {
  const double screen = ppScreenPixelsPerInch();
  return ppDrawPicture(Canvas()->Canvas(), *c, dpiX_ / screen, dpiY_ / screen, true);
}
