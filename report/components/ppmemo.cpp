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
// The memo's part of the page-state record: the text position after the common part.
constexpr int32_t kTextPositionAt = 12, kMemoRecordSize = 16;

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
  request.TabStops = ppTabStopValues(tabStops_);
  request.LimitLines = limit;
  request.Leading = leading_;
  const TppWrapResult result = ppWordWrap(request);
  wrapped_.Clear();
  for (const std::string& line : result.Lines) wrapped_.Add(line);
  return {int(result.Lines.size()), result.EndPos, result.LineHeight};
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
  const int length = int(Utf8Length(text_));
  if (wrap.endPos < length) {
    // The rest continues on the next page. When not one line fitted, the
    // position reached stays: going back to the start would print again
    // what earlier pages printed. A memo that never fits even a fresh page
    // places nothing twice and the engine's guard ends the run.
    textPos_ = wrap.endPos;
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
}

void TppCustomMemo::ReadContentsState(const uint8_t* record) {
  textPos_ = ppGetInt32(record + kTextPositionAt);
}

// ---- TppMemo -------------------------------------------------------------------------------

void TppMemo::LoadText() {
  text_ = lines_.Text();
  InvalidateDesign();
}

// ---- TppDBMemo -----------------------------------------------------------------------------

TStrings* TppDBMemo::GetLines() {
  text_.clear();
  lines_.Clear();
  if (!OnGetMemo) {
    LoadText();
    return &lines_;
  }
  OnGetMemo(this, &lines_);
  text_ = lines_.Text();
  return &lines_;
}

void TppDBMemo::LoadText() {
  text_.clear();
  lines_.Clear();
  if (!autoDisplay_) return;
  TppDataPipeline* pipeline = DataPipeline();
  const bool designOnly = AtDesignTime() && !(State() & ppstDataAtDesign);
  if (!designOnly && !DataField().empty() && pipeline && pipeline->GetActive() &&
      !(PrintState() & pppsNoData)) {
    lines_.SetText(pipeline->GetFieldAsString(DataField()));
    text_ = lines_.Text();
  }
  InvalidateDesign();
}

void TppDBMemo::PipelineNotify(TppDataPipeline* pipeline, int event) {
  inherited::PipelineNotify(pipeline, event);
  if ((event == ppdeSettingsChanged || event == ppdePipelineFreed) && AtDesignTime()) LoadText();
}

void TppDBMemo::SetDataField(const std::string& value) {
  inherited::SetDataField(value);
  LoadText();
}
