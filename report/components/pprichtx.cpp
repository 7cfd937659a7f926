#include "report/components/pprichtx.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "platform/classlib/graphics/images.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/classlib/richedit/richlayout.h"
#include "report/data/ppdb.h"
#include "report/model/ppbands.h"
#include "report/model/ppcache.h"
#include "report/model/pprecord.h"
#include "report/output/ppprintr.h"
#include "report/output/ppprndev.h"
#include "report/output/ppviewr.h"

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int64_t kMMThousandthsPerInch = 25400;
// The rich text's part of the page-state record after the common part: the
// range, where the next page goes on, whether this page overflowed and the
// key of the band's record's text when the text held was read for it.
constexpr int32_t kFirstAt = 12, kLastAt = 16, kNextAt = 20, kOverflowAt = 24, kTextKeyAt = 28;
constexpr int32_t kRichTextRecordSize = 36;
constexpr const char* kParagraphEnd = "\r\n";
// The measuring surface only needs a painter, not room.
constexpr int kSurfaceSize = 16;
// The screen draws a range on a bitmap at the printer's resolution; a range
// larger than this many pixels is drawn at a lower one, with room below for
// lines that then run a little taller (1/8 of its height).
constexpr int64_t kScreenPixelBudget = int64_t(8) << 20;
constexpr int kSlackDivisor = 8;
// Texts and measurements remembered per component: more than a page holds
// and enough for a program's entries in both passes, yet a few megabytes at most.
constexpr size_t kRememberedTexts = 16384;

int Twips(int pixels, int dpi) { return int(int64_t{pixels} * kTwipsPerInch / std::max(dpi, 1)); }

int32_t TwipsToMM(int twips) { return int32_t(int64_t{twips} * kMMThousandthsPerInch / kTwipsPerInch); }

TRect TwipsRect(const TRect& pixels, int dpiX, int dpiY) {
  return {Twips(pixels.Left, dpiX), Twips(pixels.Top, dpiY), Twips(pixels.Right, dpiX),
          Twips(pixels.Bottom, dpiY)};
}

void LoadInto(TRichEdit* editor, const std::string& bytes) {
  TStringStream stream(bytes);
  editor->Lines()->LoadFromStream(&stream);
}

// A range of a page was measured to fit its rectangle; drawn, it may take
// all the room it needs below the rectangle's top, so that rounding the
// rectangle to a device's pixels never costs the range its last line.
TRect Unbounded(const TRect& rect) { return {rect.Left, rect.Top, rect.Right, rect.Top + (INT32_MAX >> 2)}; }

const std::shared_ptr<const std::string>& NoText() {
  static const auto empty = std::make_shared<const std::string>();
  return empty;
}

template <class Map>
void Remember(Map& map, uint64_t key, const typename Map::mapped_type& value) {
  if (map.size() >= kRememberedTexts) map.clear();
  map.emplace(key, value);
}

}  // namespace

IMPLEMENT_CLASS(TppCustomRichText, TppStretchable)
IMPLEMENT_CLASS(TppRichText, TppCustomRichText)
IMPLEMENT_CLASS(TppDBRichText, TppCustomRichText)
IMPLEMENT_CLASS(TppDrawRichText, TppDrawCommand)

PUBLISHED(TppCustomRichText) {
  PROP_COLOR(Color, Color, SetColor, 0xFFFFFF);
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

TppCustomRichText::TppCustomRichText(TComponent* owner) : TppStretchable(owner), rtf_(NoText()) {
  drawCommandClass_ = TppDrawRichText::StaticClass();
  SetRecordSize(kRichTextRecordSize);
}

TppCustomRichText::~TppCustomRichText() = default;

TRichEdit* TppCustomRichText::Editor() {
  if (!editor_) editor_ = std::make_unique<TRichEdit>(nullptr);
  if (loaded_ != rtf_) {
    LoadInto(editor_.get(), *rtf_);
    loaded_ = rtf_;
  }
  return editor_.get();
}

void TppCustomRichText::SetRichText(const std::string& text) {
  TakeRichText(text);
  record_.Forget();
  Changed();
}

void TppCustomRichText::TakeRichText(std::string bytes) {
  if (bytes == *rtf_) return;
  rtf_ = bytes.empty() ? NoText() : std::make_shared<const std::string>(std::move(bytes));
  factsKey_ = 0;
}

const TppCustomRichText::TTextFacts& TppCustomRichText::Facts() {
  static const TTextFacts kEmpty;
  if (rtf_->empty()) return kEmpty;  // nothing to parse
  TextKey();
  if (auto it = facts_.find(factsKey_); it != facts_.end()) return it->second;
  TRichEdit* editor = Editor();
  const std::string text = editor->Text();
  TTextFacts facts{editor->GetTextLen(),
                   text.size() >= 2 && text.compare(text.size() - 2, 2, kParagraphEnd) == 0,
                   std::any_of(text.begin(), text.end(), [](unsigned char c) { return !std::isspace(c); })};
  Remember(facts_, factsKey_, facts);
  return facts_.at(factsKey_);
}

std::string TppCustomRichText::GetRichText() {
  GetRichTextStream();
  // Empty is what an empty editor saves: no character, only the final paragraph end.
  return Facts().length > 0 ? *rtf_ : std::string();
}

bool TppCustomRichText::ShowsText() {
  GetRichTextStream();
  return Facts().visible;
}

uint64_t TppCustomRichText::TextKey() {
  if (!factsKey_) factsKey_ = ppTextKey(*rtf_);
  return factsKey_;
}

bool TppCustomRichText::HoldsRecordsText() {
  return record_.Holds(*this, [this] { return TextKey(); });
}

void TppCustomRichText::Init() {
  inherited::Init();
  first_ = 0;
  last_ = -1;
  next_ = 0;
  overflowed_ = false;
  record_.Forget();
}

void TppCustomRichText::GenerateContents() {
  GetRichTextStream();
  const TTextFacts facts = Facts();
  const int length = facts.length;
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
  PlaceRange(start, length, Measure(start, TwipsRect(pixels, dpiX, dpiY), dpiY));
}

TppCustomRichText::TMeasure TppCustomRichText::Measure(int start, const TRect& twips, int dpi) {
  uint64_t key = ppMixKey(factsKey_, uint64_t(start));
  for (int side : {twips.Left, twips.Top, twips.Right, twips.Bottom, dpi})
    key = ppMixKey(key, uint32_t(side));
  if (auto it = measures_.find(key); it != measures_.end()) return it->second;
  // Laid out as the printer of that resolution lays it out, on one surface
  // kept for every record: the layout stays while the text and device do.
  if (!surface_ || surfaceDpi_ != dpi) {
    surface_ = std::make_unique<TBitmap>();
    surfaceDpi_ = dpi;
    surface_->SetPixelsPerInch(dpi);
    surface_->SetSize(kSurfaceSize, kSurfaceSize);
  }
  TFormatRange range;
  range.Canvas = surface_->Canvas();
  range.Rc = range.RcPage = twips;
  range.Chrg = {start, -1};
  TMeasure measure;
  measure.next = Editor()->FormatRange(range, false);
  measure.used = range.UsedHeight;
  Remember(measures_, key, measure);
  return measure;
}

void TppCustomRichText::PlaceRange(int start, int length, const TMeasure& measure) {
  const int brk = measure.next, used = measure.used;
  const bool onlyFinalEnd = brk == length - 2 && Facts().endsWithParagraph;
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
  // Nothing to draw needs no layout.
  draw->SetRichText(rtf_, first_ < 0 ? nullptr : Editor()->RangeLayout());
  draw->FirstCharacter = first_;
  draw->LastCharacter = last_;
  draw->Transparent = Transparent();
}

void TppCustomRichText::WriteContentsState(uint8_t* record) const {
  ppPutInt32(record + kFirstAt, first_);
  ppPutInt32(record + kLastAt, last_);
  ppPutInt32(record + kNextAt, next_);
  record[kOverflowAt] = overflowed_;
  // Known once a page measured it: hashing a long text at every page would cost each its length.
  ppPutUInt64(record + kTextKeyAt, record_.KeyToSave(*this, [this] {
    return factsKey_ ? factsKey_ : ppTextKey(*rtf_);
  }));
}

void TppCustomRichText::ReadContentsState(const uint8_t* record) {
  first_ = ppGetInt32(record + kFirstAt);
  last_ = ppGetInt32(record + kLastAt);
  next_ = ppGetInt32(record + kNextAt);
  overflowed_ = record[kOverflowAt] != 0;
  record_.Restored(ppGetUInt64(record + kTextKeyAt));
}

// ---- TppDBRichText -------------------------------------------------------------------------

void TppDBRichText::GetRichTextStream() {
  // Read once for its record, from the field or the handler.
  if (HoldsRecordsText()) return;
  if (!OnGetRichText) {
    LoadRichText();
    return;
  }
  std::string text;
  OnGetRichText(this, text);
  SetRichText(text);
  TakenForRecord();
}

void TppDBRichText::LoadRichText() {
  TppDataPipeline* pipeline = DataPipeline();
  const bool designOnly = AtDesignTime() && !(State() & ppstDataAtDesign);
  const bool shown = autoDisplay_ && !designOnly && !DataField().empty() && pipeline &&
                     pipeline->GetActive() && !(PrintState() & pppsNoData);
  // The editor takes the text when it is measured or shown, not here.
  TakeRichText(shown ? pipeline->GetFieldAsString(DataField()) : std::string());
  TakenForRecord();
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
  text_ = s->text_;
  layout_ = s->layout_;
  Transparent = s->Transparent;
}

const std::string& TppDrawRichText::RichText() const { return text_ ? *text_ : *NoText(); }

void TppDrawRichText::SetRichText(std::string text) {
  SetRichText(std::make_shared<const std::string>(std::move(text)), nullptr);
}

void TppDrawRichText::SetRichText(std::shared_ptr<const std::string> text,
                                  std::shared_ptr<TRichTextLayout> layout) {
  text_ = std::move(text);
  layout_ = std::move(layout);
}

TRichTextLayout& TppDrawRichText::Layout() {
  if (!layout_) {
    TRichEdit editor(nullptr);
    LoadInto(&editor, RichText());
    layout_ = editor.RangeLayout();
  }
  return *layout_;
}

void TppDrawRichText::Render(TCanvas* canvas, const TRect& rect) {
  TRichTextLayout& layout = Layout();
  layout.FormatRange(canvas, Unbounded(rect), layout.LayoutPosition(FirstCharacter),
                     layout.LayoutPosition(LastCharacter + 1), true);
}

bool TppDrawRichText::Draw(TppDevice* device) {
  auto* printer = dynamic_cast<TppPrinterDevice*>(device);
  auto* screen = dynamic_cast<TppScreenDevice*>(device);
  if (!printer && !screen) return false;  // a text file has no place for it
  device->DrawCommand(this);  // only places the command: the device draws no rich text
  if (FirstCharacter < 0) return true;
  const TRect dest{DrawLeft, DrawTop, DrawRight, DrawBottom};
  if (printer) {
    // Laid out at this printer's resolution: the range fills the rectangle.
    if (!printer->Canvas()) return false;
    TCanvas* canvas = printer->Canvas()->Canvas();
    if (!Transparent) {
      canvas->Brush()->SetColor(Color);
      canvas->FillRect(dest);
    }
    Render(canvas, dest);
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
  // As wide as the rectangle measured on paper, pixel for pixel: the lines
  // break as they did there.
  paper.SetSize(std::max(ppMMToPixels(Left + Width, dpi) - ppMMToPixels(Left, dpi), 1),
                std::max(ppMMToPixels(height, dpi), 1));
  const TRect whole = Rect(0, 0, paper.Width(), paper.Height());
  Render(paper.Canvas(), whole);
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
