#include "report/output/ppviewr.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/drawing.h"
#include "report/output/ppdrawcmd.h"

namespace {

// The zoom never goes past this, so a page bitmap stays a few megabytes.
constexpr int kMaxZoomPercentage = 250;
// Room for the vertical scroll bar in page-width zoom, in inches.
constexpr double kScrollBarInches = 0.1458;
// A memo whose line pitch and line height differ by more than this share is
// fitted to its box; below it the lines are spread evenly.
constexpr double kPitchTolerance = 0.1;

// The height one step nearer to 0 (a height of 1 or -1 stays).
int StepTowardZero(int height) { return height > 1 ? height - 1 : height < -1 ? height + 1 : height; }

}  // namespace

// ---- The screen device -----------------------------------------------------------------

IMPLEMENT_CLASS(TppScreenDevice, TppRasterDevice)

TppScreenDevice::TppScreenDevice(TComponent* owner)
    : TppRasterDevice(owner),
      currentPage_(std::make_unique<TppPage>()),
      bitmap_(std::make_unique<TBitmap>()) {
  PageRequest = prOnePage;
}

TppScreenDevice::~TppScreenDevice() = default;

int TppScreenDevice::ScreenPixels(int32_t value) const {
  return int(std::trunc(ppFromMMThousandths(value, utScreenPixels)));
}

void TppScreenDevice::SetStatus(const std::string& text) {
  status_ = text;
  if (!ShowStatusMessages) return;
  if (viewer_ && viewer_->OnStatusChange) viewer_->OnStatusChange(viewer_);
  if (Application) Application->ProcessMessages();  // navigation and Cancel stay live
}

void TppScreenDevice::ReceivePage(TppPage* page) {
  TppRasterDevice::ReceivePage(page);
  const std::string no = IntToStr(page->AbsolutePageNo);
  if (PageRequested) {
    SetStatus(Format(ppSetMacros(ppLoadStr(page->LanguageIndex + 10)),
                     {no, IntToStr(page->AbsolutePageCount), page->DocumentName}));
    if (!SkipPage) ShowPage(page);
  } else if (page->FirstPassPage) {
    SetStatus(Format(ppSetMacros(ppLoadStr(page->LanguageIndex + 4)), {no, page->DocumentName}));
    UpdatePageCount(page);
  }
}

void TppScreenDevice::ShowPage(TppPage* page) {
  currentPage_->Assign(page);
  DrawPageBitmap();
  if (viewer_) {
    viewer_->ArrangeScrollBars();
    viewer_->PaintBox()->Invalidate();
  }
  SetStatus(currentPage_->GetDescription());
  if (viewer_ && viewer_->OnPageChange) viewer_->OnPageChange(viewer_);
}

// A counting pass learns the page count late: the shown page takes it, and
// only its calculated texts are drawn again.
void TppScreenDevice::UpdatePageCount(TppPage* page) {
  TppPage& shown = *currentPage_;
  if (shown.AbsolutePageNo == 0 || page->AbsolutePageCount <= shown.AbsolutePageCount) return;
  shown.AbsolutePageCount = page->AbsolutePageCount;
  if (shown.ControlGroupBreakNo == page->ControlGroupBreakNo) shown.PageCount = page->PageCount;
  shown.RecalculateCommands(this);
  if (Application) Application->ProcessMessages();
}

void TppScreenDevice::CancelJob() {
  TppRasterDevice::CancelJob();
  SetStatus(currentPage_->GetDescription());
}

void TppScreenDevice::ResetPageRequest() {
  TppRasterDevice::ResetPageRequest();
  currentPage_ = std::make_unique<TppPage>();
  bitmap_ = std::make_unique<TBitmap>();
  if (viewer_ && viewer_->Report()) {
    if (TppPrinterSetup* setup = viewer_->Report()->ReportPrinterSetup())
      currentPage_->SetPrinterSetup(setup);
    DrawPageBitmap();  // an empty page until the first one comes
    viewer_->ArrangeScrollBars();
    viewer_->PaintBox()->Invalidate();
  }
  PageRequest = prOnePage;
  PageNo = 1;
}

void TppScreenDevice::GotoPage(int pageNo) {
  if (pageNo == currentPage_->AbsolutePageNo) return;
  PageRequest = prOnePage;
  PageNo = pageNo;
  RequestPages();
}

void TppScreenDevice::FirstPage() {
  if (currentPage_->AbsolutePageNo == 1) return;
  PageRequest = prFirstPage;
  RequestPages();
}

void TppScreenDevice::LastPage() {
  if (currentPage_->LastPage) return;
  PageRequest = prLastPage;
  RequestPages();
}

bool TppScreenDevice::SizeBitmap(int& bw, int& bh) {
  const int ppi = ppScreenPixelsPerInch();
  const int w100 = ppRound(ppFromMMThousandths(currentPage_->PageDef().mmWidth(), utScreenPixels));
  const int h100 = ppRound(ppFromMMThousandths(currentPage_->PageDef().mmHeight(), utScreenPixels));
  if (w100 <= 0 || h100 <= 0) return false;
  const int g8 = ppRound(ppi * 0.125), g4 = ppRound(ppi * 0.25), g2 = ppRound(ppi * 0.5);
  int cw = 0, ch = 0;
  if (viewer_ && viewer_->ScrollBox()) {
    cw = viewer_->ScrollBox()->ClientWidth();
    ch = viewer_->ScrollBox()->ClientHeight();
  }
  int pw = 0, ph = 0;
  const TppZoomSettingType zoom = viewer_ ? viewer_->ZoomSetting() : zs100Percent;
  switch (zoom) {
    case zs100Percent:
      pw = w100, ph = h100;
      bw = w100 + 2 * g4, bh = h100 + 2 * g4;
      break;
    case zsWholePage:
      bw = cw, bh = ch;
      ph = ch - g4;
      pw = ppRound(double(ph) * w100 / h100);
      // Away from a tiny viewer, the page keeps a margin on every side.
      if (g2 < bw && g2 < bh) {
        do {
          ph -= g4;
          pw = ppRound(double(ph) * w100 / h100);
        } while (bw <= pw && ph > 0);
      }
      break;
    case zsPageWidth:
      pw = cw - 2 * g8 - ppRound(ppi * kScrollBarInches);
      ph = ppRound(double(pw) * h100 / w100);
      bw = pw + 2 * g8, bh = std::max(ph + 2 * g8, ch);
      break;
    case zsPercentage: {
      const int percent = viewer_->ZoomPercentage();
      ph = ppRound(h100 * percent * 0.01);
      pw = ppRound(w100 * percent * 0.01);
      bw = std::max(cw, pw + 2 * g4), bh = std::max(ch, ph + 2 * g4);
      break;
    }
  }
  if (pw <= 0 || ph <= 0 || bw <= 0 || bh <= 0) return false;
  pageWidth_ = pw;
  pageHeight_ = ph;
  scaleX_ = double(pw) / w100;
  scaleY_ = double(ph) / h100;
  zoomPercent_ = ppRound(double(ph) / h100 * 100);
  return true;
}

void TppScreenDevice::DrawPageBitmap() {
  int bw = 0, bh = 0;
  if (!SizeBitmap(bw, bh)) return;  // a page without a size leaves the bitmap
  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetSize(bw, bh);
  TCanvas* canvas = bitmap_->Canvas();
  canvas->Brush()->SetColor(clBtnShadow);
  canvas->FillRect(Rect(0, 0, bw, bh));
  pageOrigin_ = {(bw - pageWidth_) / 2, (bh - pageHeight_) / 2};
  canvas->Brush()->SetColor(clWhite);
  canvas->Pen()->SetColor(clBlack);
  canvas->Pen()->SetWidth(1);
  canvas->Rectangle(Bounds(pageOrigin_.x, pageOrigin_.y, pageWidth_, pageHeight_));
  DrawPage(currentPage_.get());
}

bool TppScreenDevice::DrawCommand(TppDrawCommand* c) {
  const int l = ScreenPixels(c->Left), t = ScreenPixels(c->Top);
  const int w = ScreenPixels(c->Width), h = ScreenPixels(c->Height);
  c->DrawLeft = ppRound(l * scaleX_) + pageOrigin_.x;
  c->DrawTop = ppRound(t * scaleY_) + pageOrigin_.y;
  c->DrawRight = ppRound((l + w) * scaleX_) + pageOrigin_.x;
  c->DrawBottom = ppRound((t + h) * scaleY_) + pageOrigin_.y;
  TCanvas* canvas = bitmap_->Canvas();
  if (auto* text = dynamic_cast<TppDrawText*>(c)) return DrawText(text);
  if (auto* shape = dynamic_cast<TppDrawShape*>(c)) {
    const auto corner = [&](int32_t v, double scale) { return ppRound(ScreenPixels(v) * scale); };
    return ppDrawShapeFigure(canvas, *shape, ppRound(shape->Pen()->Width() * scaleX_),
                             corner(shape->XCornerRound, scaleX_),
                             corner(shape->YCornerRound, scaleY_));
  }
  if (auto* line = dynamic_cast<TppDrawLine*>(c)) {
    const int strokes = std::max(ppRound(line->Pen()->Width() * scaleX_), 1);
    if (line->Position == lpRight) --line->DrawRight;
    if (line->Position == lpBottom) --line->DrawBottom;
    canvas->Brush()->SetStyle(bsCross);
    ppDrawLineStrokes(canvas, *line, strokes, 2 * strokes);
    return true;
  }
  if (auto* image = dynamic_cast<TppDrawImage*>(c))
    return ppDrawPicture(canvas, *image, scaleX_, scaleY_, false);
  return false;
}

bool TppScreenDevice::DrawText(TppDrawText* c) {
  TCanvas* canvas = bitmap_->Canvas();
  canvas->SetFont(c->Font());
  TFont* font = canvas->Font();
  font->SetName(ppPrinterFontName(c->Font()->Name()));
  int height = ppRound(c->Font()->Height() * scaleY_);
  font->SetHeight(height == 0 ? -1 : height);

  TppTextLayout layout;
  layout.Rect = ppDrawRect(*c);
  layout.Lines = ppTextLines(*c);
  const bool fullSize = scaleX_ >= 1.0;
  layout.Tabbed = c->IsMemo && fullSize;
  layout.AutoSize = c->AutoSize && fullSize;
  if (c->IsMemo)
    for (int32_t stop : ppTabStopValues(c->TabStopPositions))
      layout.TabStops.push_back(ppRound(ScreenPixels(stop) * scaleX_));
  int leading = c->IsMemo ? ppRound(ScreenPixels(c->Leading) * scaleY_) : 0;
  const auto lineHeight = [&] {
    const TCanvas::TTextMetric tm = canvas->TextMetrics();
    return tm.Height + (c->IsMemo ? leading : tm.ExternalLeading);
  };
  layout.LineHeight = lineHeight();
  ppGrowToOneLine(*c, layout);

  const int lines = int(layout.Lines.size());
  if (c->IsMemo && lines > 1) {
    // (1) Narrower letters until every line fits the scaled box's width.
    const auto tooWide = [&] {
      return std::any_of(layout.Lines.begin(), layout.Lines.end(), [&](const std::string& s) {
        return GetTabbedTextExtent(canvas, s, layout.TabStops).cx > layout.Rect.Width();
      });
    };
    while (std::abs(font->Height()) > 1 && tooWide()) font->SetHeight(StepTowardZero(font->Height()));
    // (2) Lines that fill the box's height.
    const double pitch = double(layout.Rect.Height()) / lines;
    layout.LineHeight = lineHeight();
    if (std::abs(pitch - layout.LineHeight) > kPitchTolerance * layout.LineHeight) {
      const int room = int(std::trunc(pitch));
      while (layout.LineHeight > room && leading > 0) {
        --leading;
        layout.LineHeight = lineHeight();
      }
      while (layout.LineHeight > room && std::abs(font->Height()) > 1) {
        font->SetHeight(StepTowardZero(font->Height()));
        layout.LineHeight = lineHeight();
      }
      if (layout.LineHeight > room && layout.LineHeight > 0)
        layout.MaxLines = layout.Rect.Height() / layout.LineHeight;
    } else {
      layout.LineHeight = ppRound(pitch);
    }
  }
  ppDrawTextLines(canvas, *c, layout);
  return true;
}

bool TppScreenDevice::DrawCommandDirect(TppDrawCommand* c) {
  if (!DrawCommand(c)) return false;
  if (viewer_) viewer_->CopyToScreen(ppDrawRect(*c));
  return true;
}

// ---- The viewer ------------------------------------------------------------------------------

IMPLEMENT_CLASS(TppViewer, TPanel)

TppViewer::TppViewer(TComponent* owner)
    : TPanel(owner), device_(std::make_unique<TppScreenDevice>()) {
  device_->viewer_ = this;
  Font()->SetName("MS Sans Serif");
  Font()->SetSize(8);
  Font()->SetColor(clBtnShadow);
  SetColor(clBtnShadow);
  scrollBox_ = new TScrollBox(this);
  scrollBox_->SetParent(this);
  scrollBox_->SetAlign(alClient);
  paintBox_ = new TPaintBox(this);
  paintBox_->SetParent(scrollBox_);
  paintBox_->OnPaint = [this](TObject*) { PaintPage(); };
  SetBounds(Left(), Top(), 320, 120);
  device_->OnStartJob = device_->OnEndJob = device_->OnCancelJob = [this](TObject*) {
    if (OnPrintStateChange) OnPrintStateChange(this);
  };
}

TppViewer::~TppViewer() {
  // The children outlive the device: they must not reach it while they go.
  paintBox_->OnPaint = nullptr;
  scrollBox_ = nullptr;
  device_->SetPublisher(nullptr);
}

int TppViewer::AbsolutePageNo() const { return device_->CurrentPage()->AbsolutePageNo; }

void TppViewer::SetReport(TppReportLink* report) {
  if (report == report_) return;
  report_ = report;
  device_->SetPublisher(report ? report->ReportPublisher() : nullptr);
  device_->ResetPageRequest();
}

void TppViewer::SetZoomPercentage(int value) {
  // 0 would give a page that is never drawn.
  zoomPercentage_ = std::clamp(value, 1, kMaxZoomPercentage);
  SetZoomSetting(zsPercentage);
}

void TppViewer::SetZoomSetting(TppZoomSettingType value) {
  zoomSetting_ = value;
  if (!Visible()) {
    Invalidate();
    return;
  }
  resetScroll_ = true;
  Redraw();
}

void TppViewer::Redraw() {
  // Without the paint box the scroll box has no bars, so the zoom measures
  // the whole client area.
  paintBox_->Hide();
  const bool reset = resetScroll_;
  RefreshScrollBars();
  resetScroll_ = reset;
  device_->DrawPageBitmap();
  ArrangeScrollBars();
  paintBox_->Show();
  paintBox_->Invalidate();
}

void TppViewer::PageChanged() {
  if (OnPageChange) OnPageChange(this);
}

void TppViewer::ArrangeScrollBars() {
  const TBitmap* bitmap = device_->PageBitmap();
  // The scroll box's own client size: a bar appears only for a larger bitmap.
  const int w = std::max(bitmap->Width(), scrollBox_->ClientWidth());
  const int h = std::max(bitmap->Height(), scrollBox_->ClientHeight());
  paintBox_->SetBounds(-scrollBox_->HorzPosition(), -scrollBox_->VertPosition(), w, h);
  RefreshScrollBars();
}

// Setting a position shows or hides the scroll box's bars for what its
// visible children reach.
void TppViewer::RefreshScrollBars() {
  const int horz = resetScroll_ ? 0 : scrollBox_->HorzPosition();
  const int vert = resetScroll_ ? 0 : scrollBox_->VertPosition();
  resetScroll_ = false;
  scrollBox_->SetHorzPosition(horz);
  scrollBox_->SetVertPosition(vert);
}

void TppViewer::Resize() {
  TPanel::Resize();
  if (!scrollBox_) return;  // still being made
  Realign();                // the scroll box first takes the new size
  Redraw();
  PageChanged();
}

void TppViewer::PaintPage() {
  if (directDrawing_) return;
  TBitmap* bitmap = device_->PageBitmap();
  if (bitmap->Empty()) return;
  TCanvas* canvas = paintBox_->Canvas();
  const TRect clip = canvas->ClipRect();
  // A window wider or taller than the page's bitmap shows the background
  // there, not what lies outside the bitmap (black).
  TRect shown;
  IntersectRect(shown, clip, Rect(0, 0, bitmap->Width(), bitmap->Height()));
  if (shown != clip) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(clip);
  }
  if (!IsRectEmpty(shown)) canvas->CopyRect(shown, bitmap->Canvas(), shown);
}

void TppViewer::CopyToScreen(const TRect& rect) {
  directDrawing_ = true;
  paintBox_->Canvas()->CopyRect(rect, device_->PageBitmap()->Canvas(), rect);
  // Only what was drawn: a counting pass redraws the shown page's page count
  // with every page it counts.
  TRect shown = rect;
  OffsetRect(shown, paintBox_->Left(), paintBox_->Top());
  scrollBox_->InvalidateRect(shown);
  directDrawing_ = false;
}

void TppViewer::Dispatch(TMessage& message) {
  TPanel::Dispatch(message);
  // The page is what the user points at: it shows the viewer's cursor.
  if (message.Msg == CM_CURSORCHANGED && paintBox_) paintBox_->SetCursor(Cursor());
}

void TppViewer::Cancel() {
  if (report_) report_->CancelGeneration();
}

void TppViewer::Print() {
  if (!report_) return;
  const int shown = AbsolutePageNo();
  TppPublisher* publisher = report_->ReportPublisher();
  device_->SetPublisher(nullptr);
  try {
    report_->PrintFromPreview(shown == 0 ? 1 : shown);
  } catch (...) {
    device_->SetPublisher(publisher);
    throw;
  }
  device_->SetPublisher(publisher);
}
