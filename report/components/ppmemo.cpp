#include "report/components/ppmemo.h"

#include <algorithm>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/strutils.h"
#include "report/data/ppdb.h"
#include "report/model/ppcache.h"
#include "report/model/pprecord.h"
#include "report/output/pppage.h"
#include "report/output/ppprintr.h"

namespace {
// Layouts before this version stored Leading in screen pixels.
constexpr int kVersionLeadingInMM = 3000;
// The memo's part of the page-state record after the common part: the text
// position, the byte where it begins and the key of the text it is in (0:
// none; the byte is then found again by counting from the text's start).
constexpr int32_t kTextPositionAt = 12, kTextByteAt = 16, kTextKeyAt = 20, kMemoRecordSize = 28;

int VerticalDpi(const TppPrintable& c) {
  TppPrinter* printer = c.GetPrinter();
  return printer ? printer->PixelsPerInch(TppPixelAxis::Vertical) : 0;
}
}  // namespace

IMPLEMENT_CLASS(TppCustomMemo, TppStretchable)
IMPLEMENT_CLASS(TppMemo, TppCustomMemo)
IMPLEMENT_CLASS(TppDBMemo, TppCustomMemo)

// What both kinds publish; each adds its source of text.
PUBLISHED(TppCustomMemo) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_COLOR(Color, Color, SetColor, 0xFFFFFF);
  PROP_OBJ(Font, Font, SetFont);
  PROP_FLOAT(Leading, Leading, SetLeading, 0).Stored(false);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_OBJ(TabStopPositions, TabStopPositions, SetTabStopPositions);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
}

PUBLISHED(TppMemo) {
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_OBJ(Lines, Lines, SetLines);
}

PUBLISHED(TppDBMemo) {
  PROP_BOOL(AutoDisplay, AutoDisplay, SetAutoDisplay, true);
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_EVENT(OnGetMemo);
  PROP_BOOL(ParentDataPipeline, ParentDataPipeline, SetParentDataPipeline, true);
}

// ---- TppCustomMemo -------------------------------------------------------------------------

TppCustomMemo::TppCustomMemo(TComponent* owner) : TppStretchable(owner) {
  drawCommandClass_ = TppDrawText::StaticClass();
  SetRecordSize(kMemoRecordSize);
}

TppCustomMemo::~TppCustomMemo() = default;

TStrings* TppCustomMemo::GetLines() {
  LoadText();
  return &lines_;
}

void TppCustomMemo::SetLines(const TStrings* value) {
  lines_.Assign(value);
  NotifyDesigner();
  Changed();
}

void TppCustomMemo::SetmmLeading(int32_t value) {
  leading_ = value;
  Changed();
}

float TppCustomMemo::Leading() const {
  return ppFromMMThousandths(leading_, Units(), VerticalDpi(*this));
}

void TppCustomMemo::SetLeading(float value) {
  SetmmLeading(ppToMMThousandths(value, Units(), VerticalDpi(*this)));
}

TStrings* TppCustomMemo::TabStopPositions() {
  // Streaming sees the stored thousandths; everyone else the Units.
  if (ComponentState().Contains(csWriting) || ReadingOrLoading()) return &tabStops_;
  ppTabStopsToUnits(tabStops_, Units(), VerticalDpi(*this), &tabStopsShown_);
  return &tabStopsShown_;
}

void TppCustomMemo::SetTabStopPositions(const TStrings* value) {
  if (ReadingOrLoading()) tabStops_.Assign(value);
  else ppTabStopsFromUnits(*value, Units(), VerticalDpi(*this), &tabStops_);
  Changed();
}

void TppCustomMemo::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "mmLeading",
      [this](TReader* reader) {
        // Older streams hold a float: its whole part is kept.
        const TValueType kind = reader->NextValue();
        leading_ = kind == vaExtended || kind == vaSingle ? int32_t(reader->ReadFloat())
                                                          : reader->ReadInteger();
      },
      [this](TWriter* writer) { writer->WriteInteger(leading_); }, leading_ != 0);
  // Read from older layouts and dropped.
  filer->DefineProperty("Position", [](TReader* reader) { reader->SkipValue(); }, nullptr, false);
}

void TppCustomMemo::FontChanged() {
  if (Stretch()) Changed();
}

void TppCustomMemo::ConvertVersion(int versionNo) {
  inherited::ConvertVersion(versionNo);
  if (versionNo < kVersionLeadingInMM) leading_ = ppToMMThousandths(float(leading_), utScreenPixels);
}

void TppCustomMemo::Init() {
  inherited::Init();
  textPos_ = 0;
  textByte_ = 0;
  byteKnown_ = true;
  positionKey_ = 0;
  record_.Forget();
}

void TppCustomMemo::TakeLinesText() {
  if (!lines_.changed) return;
  std::string text = lines_.Text();
  lines_.changed = false;
  if (text == text_) return;  // the same bytes: what is known of them holds
  text_ = std::move(text);
  textKey_ = 0;
  byteKnown_ = false;
}

bool TppCustomMemo::HoldsRecordsText() {
  return !lines_.changed && record_.Holds(*this, [this] { return TextKey(); });
}

uint64_t TppCustomMemo::TextKey() const {
  if (!textKey_) textKey_ = ppTextKey(text_);
  return textKey_;
}

int64_t TppCustomMemo::StartByte() {
  if (textPos_ <= 0) return 0;
  if (!byteKnown_) {
    // A restored page's byte holds in the text its position was in.
    const bool saved = positionKey_ != 0 && positionKey_ == TextKey() && textByte_ >= 0 &&
                       textByte_ <= int64_t(text_.size());
    if (!saved) textByte_ = int64_t(Utf8ByteOffset(text_, size_t(textPos_)));
    byteKnown_ = true;
  }
  positionKey_ = 0;
  return textByte_;
}

TppCustomMemo::Wrap TppCustomMemo::WrapText(bool limit) {
  TppPrinter* printer = GetPrinter();
  TppWrapRequest request;
  request.Text = text_;
  request.Rect = {printRect_.Left, printRect_.Top, printRect_.Right, printRect_.Bottom};
  request.Canvas = printer ? printer->Canvas() : nullptr;
  request.Dpi = printer ? printer->PixelsPerInch(TppPixelAxis::Vertical) : 0;
  request.Font = Font();
  request.StartPos = limit ? textPos_ : 0;
  request.StartByte = limit ? StartByte() : 0;
  request.TabStops = ppTabStopValues(tabStops_);
  request.LimitLines = limit;
  request.Leading = leading_;
  const TppWrapResult result = ppWordWrap(request);
  wrapped_.Clear();
  for (const std::string& line : result.Lines) wrapped_.Add(line);
  return {int(result.Lines.size()), result.EndPos, result.EndByte, result.LineHeight};
}

void TppCustomMemo::GenerateContents() {
  GetLines();
  if (!StretchingMode()) {
    textPos_ = 0;
    WrapText(false);
    SetContinued(false);
    return;  // the component's own height, set by placement
  }
  const Wrap wrap = WrapText(true);
  const int32_t height = int32_t(int64_t{wrap.lines} * wrap.lineHeight);
  if (wrap.endByte < int64_t(text_.size())) {
    // The rest continues on the next page. When not one line fitted, the
    // position reached stays: going back to the start would print again
    // what earlier pages printed. A memo that never fits even a fresh page
    // places nothing twice and the engine's guard ends the run.
    textPos_ = wrap.endPos;
    textByte_ = wrap.endByte;
    byteKnown_ = true;
    SetContinued(true);
    SetSpaceUsed(height);
    return;
  }
  SetContinued(false);
  if (wrap.lines > 0) SetSpaceUsed(height);
  textPos_ = 0;
}

void TppCustomMemo::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawText*>(command);
  if (!draw) return;
  draw->Alignment = Alignment();
  draw->Color = Color();
  draw->Place(printRect_);
  draw->SetFont(Font());
  draw->IsMemo = true;
  draw->Leading = leading_;
  draw->Transparent = Transparent();
  draw->WordWrap = true;
  draw->TabStopPositions.Assign(&tabStops_);
  draw->WrappedText.Assign(&wrapped_);
  draw->Component = this;
}

void TppCustomMemo::WriteContentsState(uint8_t* record) const {
  ppPutInt32(record + kTextPositionAt, textPos_);
  // A page not generated since its state was restored keeps what that state said.
  uint64_t key = 0;
  if (textPos_ > 0 && textByte_ <= INT32_MAX)
    key = byteKnown_ ? record_.KeyToSave(*this, [this] { return TextKey(); }) : positionKey_;
  ppPutInt32(record + kTextByteAt, key ? int32_t(textByte_) : 0);
  ppPutUInt64(record + kTextKeyAt, key);
}

void TppCustomMemo::ReadContentsState(const uint8_t* record) {
  textPos_ = ppGetInt32(record + kTextPositionAt);
  textByte_ = ppGetInt32(record + kTextByteAt);
  positionKey_ = ppGetUInt64(record + kTextKeyAt);
  byteKnown_ = false;
  record_.Restored(positionKey_);
}

// ---- TppMemo -------------------------------------------------------------------------------

void TppMemo::LoadText() {
  TakeLinesText();
  TakenForRecord();  // its own Lines, whatever the record
  InvalidateDesign();
}

// ---- TppDBMemo -----------------------------------------------------------------------------

TStrings* TppDBMemo::GetLines() {
  // Read once for its record, not again at each page a long memo goes on over.
  if (HoldsRecordsText()) return &lines_;
  if (!OnGetMemo) {
    LoadText();
    return &lines_;
  }
  lines_.Clear();
  OnGetMemo(this, &lines_);
  TakeLinesText();
  TakenForRecord();
  return &lines_;
}

void TppDBMemo::LoadText() {
  lines_.Clear();
  TppDataPipeline* pipeline = DataPipeline();
  const bool designOnly = AtDesignTime() && !(State() & ppstDataAtDesign);
  if (autoDisplay_ && !designOnly && !DataField().empty() && pipeline && pipeline->GetActive() &&
      !(PrintState() & pppsNoData))
    lines_.SetText(pipeline->GetFieldAsString(DataField()));
  TakeLinesText();
  TakenForRecord();
  if (autoDisplay_) InvalidateDesign();
}

void TppDBMemo::PipelineNotify(TppDataPipeline* pipeline, int event) {
  inherited::PipelineNotify(pipeline, event);
  if ((event == ppdeSettingsChanged || event == ppdePipelineFreed) && AtDesignTime()) LoadText();
}

void TppDBMemo::SetDataField(const std::string& value) {
  inherited::SetDataField(value);
  LoadText();
}
