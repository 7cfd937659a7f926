#include "report/components/pprichtx.h"

#include <algorithm>
#include <cmath>

#include "platform/classlib/graphics/images.h"
#include "platform/classlib/richedit/richedit.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"
#include "report/model/pprecord.h"
#include "report/output/ppprintr.h"
#include "report/output/ppprndev.h"
#include "report/output/ppviewr.h"

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int64_t kMMThousandthsPerInch = 25400;
// The rich text's part of the page-state record after the common part: the
// range, where the next page goes on and whether this page overflowed.
constexpr int32_t kFirstAt = 12, kLastAt = 16, kNextAt = 20, kOverflowAt = 24;
constexpr int32_t kRichTextRecordSize = 28;
constexpr const char* kParagraphEnd = "\r\n";
// The measuring surface only needs a painter, not room.
constexpr int kSurfaceSize = 16;
// The screen draws a range on a bitmap at the printer's resolution; a range
// larger than this many pixels is drawn at a lower one, with room below for
// lines that then run a little taller (1/8 of its height).
constexpr int64_t kScreenPixelBudget = int64_t(8) << 20;
constexpr int kSlackDivisor = 8;

int Twips(int pixels, int dpi) { return int(int64_t{pixels} * kTwipsPerInch / std::max(dpi, 1)); }

int32_t TwipsToMM(int twips) { return int32_t(int64_t{twips} * kMMThousandthsPerInch / kTwipsPerInch); }

TRect TwipsRect(const TRect& pixels, int dpiX, int dpiY) {
  return {Twips(pixels.Left, dpiX), Twips(pixels.Top, dpiY), Twips(pixels.Right, dpiX),
          Twips(pixels.Bottom, dpiY)};
}

// Lays the range out on the canvas in the rectangle (twips); draws it when
// `render`. The control's layout is dropped before and after, so a change of
// text or device is never measured with an old one.
int FormatRange(TRichEdit* editor, TCanvas* canvas, const TRect& twips, int first, int last,
                bool render, int* usedTwips = nullptr) {
  TFormatRange range;
  range.Canvas = canvas;
  range.Rc = range.RcPage = twips;
  range.Chrg = {first, last};
  editor->Perform(EM_FORMATRANGE, 0, 0);
  const int next = editor->FormatRange(range, render);
  editor->Perform(EM_FORMATRANGE, 0, 0);
  if (usedTwips) *usedTwips = range.UsedHeight;
  return next;
}

void LoadInto(TRichEdit* editor, const std::string& bytes) {
  TStringStream stream(bytes);
  editor->Lines()->LoadFromStream(&stream);
}

}  // namespace

IMPLEMENT_CLASS(TppCustomRichText, TppStretchable)
IMPLEMENT_CLASS(TppRichText, TppCustomRichText)
IMPLEMENT_CLASS(TppDBRichText, TppCustomRichText)
IMPLEMENT_CLASS(TppDrawRichText, TppDrawCommand)

PUBLISHED(TppCustomRichText) {
  PROP_INT(Color, Color, SetColor, 0xFFFFFF);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
}

PUBLISHED(TppRichText) {
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_STR(RichText, RichText, SetRichText, "");
}

PUBLISHED(TppDBRichText) {
  PROP_BOOL(AutoDisplay, AutoDisplay, SetAutoDisplay, true);
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_EVENT(OnGetRichText);
  PROP_BOOL(ParentDataPipeline, ParentDataPipeline, SetParentDataPipeline, true);
}

// ---- TppCustomRichText ---------------------------------------------------------------------

TppCustomRichText::TppCustomRichText(TComponent* owner) : TppStretchable(owner) {
  drawCommandClass_ = TppDrawRichText::StaticClass();
  SetRecordSize(kRichTextRecordSize);
}

TppCustomRichText::~TppCustomRichText() = default;

TRichEdit* TppCustomRichText::Editor() {
  if (!editor_) editor_ = std::make_unique<TRichEdit>(nullptr);
  return editor_.get();
}

void TppCustomRichText::SetRichText(const std::string& text) {
  rtf_ = text;
  LoadInto(Editor(), rtf_);
  Changed();
}

std::string TppCustomRichText::GetRichText() {
  GetRichTextStream();
  // Empty is what an empty editor saves: no character, only the final paragraph end.
  return Editor()->GetTextLen() > 0 ? rtf_ : std::string();
}

void TppCustomRichText::Init() {
  inherited::Init();
  first_ = 0;
  last_ = -1;
  next_ = 0;
  overflowed_ = false;
}

void TppCustomRichText::GenerateContents() {
  const bool empty = GetRichText().empty();
  TRichEdit* editor = Editor();
  const std::string text = editor->Text();
  const int length = empty ? 0 : editor->GetTextLen();
  if (!StretchingMode()) {
    first_ = 0;
    last_ = length;
    overflowed_ = false;
    SetContinued(false);
    return;  // the component's own height, set by placement
  }
  const int start = overflowed_ ? next_ : 0;
  if (length == 0) {
    first_ = last_ = -1;
    next_ = 0;
    overflowed_ = false;
    SetContinued(false);
    return;
  }
  TppPrinter* printer = GetPrinter();
  const int dpiX = printer ? printer->PixelsPerInch(TppPixelAxis::Horizontal) : 0;
  const int dpiY = printer ? printer->PixelsPerInch(TppPixelAxis::Vertical) : 0;
  const TRect pixels{ppMMToPixels(printRect_.Left, dpiX), ppMMToPixels(printRect_.Top, dpiY),
                     ppMMToPixels(printRect_.Right, dpiX), ppMMToPixels(printRect_.Bottom, dpiY)};
  // Laid out as the printer of that resolution lays it out.
  TBitmap surface;
  surface.SetPixelsPerInch(dpiY);
  surface.SetSize(kSurfaceSize, kSurfaceSize);
  int used = 0;
  const int brk = FormatRange(editor, surface.Canvas(), TwipsRect(pixels, dpiX, dpiY), start, -1,
                              false, &used);
  const bool onlyFinalEnd = brk == length - 2 && text.size() >= 2 &&
                            text.compare(text.size() - 2, 2, kParagraphEnd) == 0;
  if (brk >= length || onlyFinalEnd) {
    first_ = start;
    last_ = length;
    next_ = 0;
    overflowed_ = false;
    SetContinued(false);
    SetSpaceUsed(TwipsToMM(used));
  } else if (brk <= start) {
    // Not one character fits: nothing here, and the next page goes on from
    // the same character (going back would print earlier pages again).
    first_ = last_ = -1;
    next_ = start;
    overflowed_ = true;
    SetContinued(true);
    SetSpaceUsed(0);
  } else {
    first_ = start;
    last_ = brk - 1;
    next_ = brk;
    overflowed_ = true;
    SetContinued(true);
    SetSpaceUsed(TwipsToMM(used));
  }
}

void TppCustomRichText::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawRichText*>(command);
  if (!draw) return;
  draw->Color = Color();
  draw->Place(printRect_);
  draw->RichText = rtf_;
  draw->FirstCharacter = first_;
  draw->LastCharacter = last_;
  draw->Transparent = Transparent();
}

void TppCustomRichText::WriteContentsState(uint8_t* record) const {
  ppPutInt32(record + kFirstAt, first_);
  ppPutInt32(record + kLastAt, last_);
  ppPutInt32(record + kNextAt, next_);
  record[kOverflowAt] = overflowed_;
}

void TppCustomRichText::ReadContentsState(const uint8_t* record) {
  first_ = ppGetInt32(record + kFirstAt);
  last_ = ppGetInt32(record + kLastAt);
  next_ = ppGetInt32(record + kNextAt);
  overflowed_ = record[kOverflowAt] != 0;
}

// ---- TppDBRichText -------------------------------------------------------------------------

void TppDBRichText::GetRichTextStream() {
  if (!OnGetRichText) return LoadRichText();
  std::string text;
  OnGetRichText(this, text);
  SetRichText(text);
}

void TppDBRichText::LoadRichText() {
  rtf_.clear();
  TppDataPipeline* pipeline = DataPipeline();
  const bool designOnly = AtDesignTime() && !(State() & ppstDataAtDesign);
  if (autoDisplay_ && !designOnly && !DataField().empty() && pipeline && pipeline->GetActive() &&
      !(PrintState() & pppsNoData))
    rtf_ = pipeline->GetFieldAsString(DataField());
  LoadInto(Editor(), rtf_);
  InvalidateDesign();
}

void TppDBRichText::PipelineNotify(TppDataPipeline* pipeline, int event) {
  inherited::PipelineNotify(pipeline, event);
  if ((event == ppdeSettingsChanged || event == ppdePipelineFreed) && AtDesignTime())
    LoadRichText();
}

void TppDBRichText::SetAutoDisplay(bool value) {
  autoDisplay_ = value;
  LoadRichText();
}

// ---- TppDrawRichText -----------------------------------------------------------------------

void TppDrawRichText::Assign(const TPersistent* source) {
  inherited::Assign(source);
  auto* s = dynamic_cast<const TppDrawRichText*>(source);
  if (!s) return;
  Color = s->Color;
  FirstCharacter = s->FirstCharacter;
  LastCharacter = s->LastCharacter;
  RichText = s->RichText;
  Transparent = s->Transparent;
}

bool TppDrawRichText::Draw(TppDevice* device) {
  auto* printer = dynamic_cast<TppPrinterDevice*>(device);
  auto* screen = dynamic_cast<TppScreenDevice*>(device);
  if (!printer && !screen) return false;  // a text file has no place for it
  device->DrawCommand(this);  // only places the command: the device draws no rich text
  if (FirstCharacter < 0) return true;
  TRichEdit editor(nullptr);
  LoadInto(&editor, RichText);
  const TRect dest{DrawLeft, DrawTop, DrawRight, DrawBottom};
  if (printer) {
    // Measured at this printer's resolution: the range fills the rectangle.
    if (!printer->Canvas()) return false;
    TCanvas* canvas = printer->Canvas()->Canvas();
    if (!Transparent) {
      canvas->Brush()->SetColor(Color);
      canvas->FillRect(dest);
    }
    const int dpiX = printer->Printer()->PixelsPerInch(TppPixelAxis::Horizontal);
    const int dpiY = printer->Printer()->PixelsPerInch(TppPixelAxis::Vertical);
    FormatRange(&editor, canvas, TwipsRect(dest, dpiX, dpiY), FirstCharacter, LastCharacter + 1,
                true);
    return true;
  }
  // On screen the range is laid out as on paper, on a bitmap at the report
  // printer's resolution, and scaled onto the page: lines break as printed.
  TppPrinter* reportPrinter = ppPrinter();
  int dpi = reportPrinter ? reportPrinter->PixelsPerInch(TppPixelAxis::Vertical) : 0;
  if (dpi <= 0) dpi = ppScreenPixelsPerInch();
  const int64_t pixels = int64_t{ppMMToPixels(Width, dpi)} * ppMMToPixels(Height, dpi);
  int32_t height = Height;
  if (pixels > kScreenPixelBudget) {
    dpi = std::max(1, int(dpi * std::sqrt(double(kScreenPixelBudget) / double(pixels))));
    height += Height / kSlackDivisor;
  }
  TBitmap paper;
  paper.SetPixelsPerInch(dpi);
  paper.SetSize(std::max(ppMMToPixels(Width, dpi), 1), std::max(ppMMToPixels(height, dpi), 1));
  const TRect whole = Rect(0, 0, paper.Width(), paper.Height());
  FormatRange(&editor, paper.Canvas(), TwipsRect(whole, dpi, dpi), FirstCharacter,
              LastCharacter + 1, true);
  TCanvas* page = screen->PageBitmap()->Canvas();
  if (!Transparent) {
    page->Brush()->SetColor(Color);
    page->FillRect(dest);
  }
  // White is clear: the text goes over the colour and never over what lies below.
  const TRect target{dest.Left, dest.Top, dest.Right,
                     dest.Top + int(int64_t{dest.Height()} * height / std::max(Height, 1))};
  const TCopyMode saved = page->CopyMode();
  page->SetCopyMode(SRCAND);
  page->CopyRect(target, paper.Canvas(), whole);
  page->SetCopyMode(saved);
  return true;
}
