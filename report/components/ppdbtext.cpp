#include "report/components/ppdbtext.h"

#include <bit>
#include <cmath>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/filer.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/ppgroup.h"
#include "report/model/pprecord.h"
#include "report/model/ppreport.h"
#include "report/output/pppage.h"

namespace {

// String-table offsets of the names of the calculation and system-value kinds.
constexpr int kCalcTypeNames = 303;    // "Date" ... "Custom"
constexpr int kDBCalcTypeNames = 313;  // "Count" ... "Average"
constexpr int kCustomName = 312;
// Layouts older than this did not store the data type of a system value.
constexpr int kVersionCustomType = 3000;

// Doubles of page-state records, little-endian as the rest of the record.
void PutDouble(uint8_t* p, double v) {
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(bits >> (8 * i));
}
double GetDouble(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t(p[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

// BlankWhenZero: a value that is not a number is never zero.
bool IsZero(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return false;
  try {
    return value.AsDouble() == 0;
  } catch (const Exception&) {
    return false;
  }
}

bool AttachedToDesigner(const TppCacheable& c) { return (c.State() & ppstDesigning) != 0; }

TppEngine* EngineOf(const TppComponent& c) {
  TppCustomReport* report = c.Report();
  return report ? report->Engine() : nullptr;
}

}  // namespace

// ---- TppDBText -----------------------------------------------------------------------

IMPLEMENT_CLASS(TppDBText, TppCustomText)

PUBLISHED(TppDBText) {
  PROP_EVENT(OnGetText);
  PROP_EVENT(OnSave);
  PROP_EVENT(OnFormat);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_BOOL(Save, Save, SetSave, false);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_BOOL(BlankWhenZero, BlankWhenZero, SetBlankWhenZero, false);
  PROP_BOOL(ReprintOnSubsequent, ReprintOnSubsequent, SetReprintOnSubsequent, false);
  PROP_BOOL(SuppressRepeatedValues, SuppressRepeatedValues, SetSuppressRepeatedValues, false);
  PROP_INT(SaveOrder, StoredSaveOrder, SetSaveOrder, -1);
  PROP_INT(SaveLength, SaveLength, SetSaveLength, 0);
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, false);
  PROP_COLOR(Color, Color, SetColor, 0xFFFFFF);
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_STR(DisplayFormat, DisplayFormat, SetDisplayFormat, "");
  PROP_OBJ(Font, Font, SetFont);
  PROP_BOOL(ParentDataPipeline, ParentDataPipeline, SetParentDataPipeline, true);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

TppDBText::TppDBText(TComponent* owner) : TppCustomText(owner) {
  SetAutoSize(false);
  SetRecordSize(kRecordSize);
}

int TppDBText::CurrentPageNo() const {
  TppEngine* engine = EngineOf(*this);
  return engine ? engine->AbsolutePageNo() : 0;
}

void TppDBText::GetFormattedText(std::string& text) {
  if (!IsDataAvailable()) {
    // Outside a generation the design view names the field.
    text = Printing() ? std::string() : DataField().empty() ? Name() : DataField();
    return;
  }
  TppDataPipeline* pipeline = DataPipeline();
  const TppDataType type = pipeline->GetFieldDataType(DataField());
  const Variant value = pipeline->GetFieldValue(DataField());
  text = ppFormat(OnFormat ? std::string() : DisplayFormat(), type, value);
  if (OnFormat) OnFormat(this, DisplayFormat(), type, value, text);
  if (blankWhenZero_ && IsZero(value)) text.clear();
}

void TppDBText::GetDescription(std::string& text) {
  text = DataField().empty() ? Name() : Name() + ": " + DataField();
}

void TppDBText::SetDisplayFormat(const std::string& value) {
  inherited::SetDisplayFormat(value);
  std::string caption;
  GetText(caption);
  SetCaption(caption);
}

void TppDBText::SetReprintOnSubsequent(bool value) {
  reprintOnSubsequent_ = value;
  Changed();
  NotifyDesigner();
}

void TppDBText::SetSuppressRepeatedValues(bool value) {
  suppressRepeatedValues_ = value;
  Changed();
  NotifyDesigner();
}

void TppDBText::SetBlankWhenZero(bool value) {
  blankWhenZero_ = value;
  NotifyDesigner();
}

void TppDBText::Calculate() {
  std::string text;
  GetText(text);
  currentText_ = text;
  if (!resetPending_ && previousText_ == text) {
    repeated_ = true;
    return;
  }
  previousText_ = text;
  repeated_ = false;
  changePage_ = CurrentPageNo();
  resetPending_ = false;
}

void TppDBText::CheckRepeatedValue() {
  TppDataPipeline* pipeline = DataPipeline();
  bool prints;
  if (!repeated_ || (pipeline && pipeline->AtBeginning()))
    prints = true;  // the first record is never suppressed
  else if (!suppressRepeatedValues_)
    prints = markedToPrint_;
  else
    prints = reprintOnSubsequent_ && changePage_ < CurrentPageNo() && !printedOnPage_;
  if (prints) {
    printedOnPage_ = true;
  } else {
    markedToPrint_ = false;
    SetSpaceUsed(0);
  }
}

void TppDBText::StartPage() { printedOnPage_ = !reprintOnSubsequent_; }

void TppDBText::ResetCalculation() {
  inherited::ResetCalculation();
  printedOnPage_ = false;
  changePage_ = -1;
  previousText_.clear();
  repeated_ = false;
}

void TppDBText::WriteTextState(uint8_t* r) const {
  r[0] = markedToPrint_;
  r[1] = printedOnPage_;
  ppPutInt32(r + 4, changePage_);
  r[8] = repeated_;
  r[9] = resetPending_;
}

void TppDBText::ReadTextState(const uint8_t* r) {
  markedToPrint_ = r[0] != 0;
  printedOnPage_ = r[1] != 0;
  changePage_ = ppGetInt32(r + 4);
  repeated_ = r[8] != 0;
  resetPending_ = r[9] != 0;
  // The next record compares with the text of the record the page state was
  // saved on, exactly as in the first generation (the engine does not
  // calculate that record again), so a regenerated page leaves out the same
  // repeated values.
  GetText(previousText_);
}

void TppDBText::SaveToCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  WriteTextState(record);
  WriteCacheRecord(pageNo, record);
}

void TppDBText::RestoreFromCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  ReadCacheRecord(pageNo, record);
  ReadTextState(record);
}

// ---- TppDBCalc -----------------------------------------------------------------------

IMPLEMENT_CLASS(TppDBCalc, TppDBText)

PUBLISHED(TppDBCalc) {
  PROP_ENUM(DBCalcType, DBCalcType, SetDBCalcType, dcSum);
  PROP_OBJ(ResetGroup, ResetGroup, SetResetGroup);
  PROP_EVENT(OnCalc);
  PROP_EVENT(OnGroupBreak);
}

TppDBCalc::TppDBCalc(TComponent* owner) : TppDBText(owner) { SetRecordSize(kRecordSize); }

void TppDBCalc::SetDBCalcType(TppDBCalcType value) {
  dbCalcType_ = value;
  if (AtDesignTime()) {
    PipelineNotify(DataPipeline(), ppdeSettingsChanged);
    NotifyDesigner();
  }
  Changed();
}

void TppDBCalc::SetResetGroup(TppGroup* group) {
  if (group == ResetGroup()) return;
  inherited::SetResetGroup(group);
  if (group) FreeNotification(group);
  NotifyDesigner();
  Changed();
}

// Placed in a group's band by a designer, it resets with that group.
void TppDBCalc::SetBand(TppBand* band) {
  inherited::SetBand(band);
  if (ReadingOrLoading() || !(State() & ppstDesigning)) return;
  SetResetGroup(band ? band->Group() : nullptr);
}

void TppDBCalc::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == ResetGroup()) inherited::SetResetGroup(nullptr);
}

std::string TppDBCalc::CalcDescription() const {
  std::string what = DataField();
  if (what.empty()) what = dbCalcType_ == dcCount ? "*" : "?";
  return ppLoadStr(GetLanguageIndex() + kDBCalcTypeNames + dbCalcType_) + "(" + what + ")";
}

void TppDBCalc::GetDescription(std::string& text) { text = Name() + ": " + CalcDescription(); }

void TppDBCalc::GetFormattedText(std::string& text) {
  if (AttachedToDesigner(*this) && !Printing()) {
    text = CalcDescription();
    return;
  }
  double value = total_;
  if (dbCalcType_ == dcAverage) value = count_ != 0 ? total_ / count_ : 0;  // no record yet: 0
  text = ppFormat(OnFormat ? std::string() : DisplayFormat(), dtDouble, Variant(value));
  if (OnFormat) OnFormat(this, DisplayFormat(), dtDouble, Variant(value), text);
  if (BlankWhenZero() && value == 0) text.clear();
}

void TppDBCalc::Calculate() {
  TppDataPipeline* pipeline = DataPipeline();
  if (!pipeline || (DataField().empty() && dbCalcType_ != dcCount) || (PrintState() & pppsNoData)) {
    total_ = count_ = 0;
    return;
  }
  if (resetPending_) {
    resetPending_ = false;
    firstRecord_ = pipeline->RecordNo();
    ResetCalculation();
    if (OnGroupBreak) OnGroupBreak(this);
  }
  const double records = double(int64_t{pipeline->RecordNo()} - firstRecord_ + 1);
  const double value = dbCalcType_ == dcCount ? records : pipeline->GetFieldAsDouble(DataField());
  switch (dbCalcType_) {
    case dcCount: total_ = value; break;
    case dcSum:
    case dcAverage: total_ += value; break;
    case dcMinimum:
      if (count_ == 0 || value < total_) total_ = value;
      break;
    case dcMaximum:
      if (count_ == 0 || value > total_) total_ = value;
      break;
  }
  count_ = records;
  inherited::Calculate();
  if (OnCalc) OnCalc(this);
}

void TppDBCalc::ResetCalculation() {
  inherited::ResetCalculation();
  total_ = 0;
  count_ = 0;
}

void TppDBCalc::SaveToCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  WriteTextState(record);
  PutDouble(record + 12, count_);
  PutDouble(record + 20, total_);
  ppPutInt32(record + 28, firstRecord_);
  WriteCacheRecord(pageNo, record);
}

void TppDBCalc::RestoreFromCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  ReadCacheRecord(pageNo, record);
  // The totals first: the text state compares with the restored total's text.
  count_ = GetDouble(record + 12);
  total_ = GetDouble(record + 20);
  firstRecord_ = ppGetInt32(record + 28);
  ReadTextState(record);
}

// ---- TppCalc -------------------------------------------------------------------------

IMPLEMENT_CLASS(TppCalc, TppCustomText)

PUBLISHED(TppCalc) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, true);
  PROP_ENUM(CalcType, CalcType, SetCalcType, ctDate);
  PROP_COLOR(Color, Color, SetColor, 0xFFFFFF);
  PROP_ENUM(CustomType, CustomType, SetCustomType, dtDateTime).AlwaysStored();
  PROP_STR(DisplayFormat, DisplayFormat, SetDisplayFormat, "");
  PROP_OBJ(Font, Font, SetFont);
  PROP_EVENT(OnCalc);
  PROP_EVENT(OnFormat);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

TppDataType ppCalcDataType(TppCalcType type) {
  switch (type) {
    case ctDate: return dtDate;
    case ctDateTime:
    case ctPrintDateTime: return dtDateTime;
    case ctPageCount:
    case ctPageNo: return dtInteger;
    case ctTime: return dtTime;
    default: return dtString;
  }
}

bool ppLegacyCalcDataType(const std::string& ident, TppDataType& type) {
  static const std::pair<const char*, TppDataType> kTypes[] = {
      {"ftString", dtString},    {"ftSmallint", dtInteger}, {"ftInteger", dtInteger},
      {"ftWord", dtInteger},     {"ftBytes", dtInteger},    {"ftFloat", dtDouble},
      {"ftCurrency", dtDouble},  {"ftBoolean", dtBoolean},  {"ftDate", dtDate},
      {"ftTime", dtTime},        {"ftDateTime", dtDateTime}};
  for (const auto& [name, value] : kTypes)
    if (ident == name) return type = value, true;
  return false;
}

TppCalc::TppCalc(TComponent* owner) : TppCustomText(owner), CustomDateTime(ClockNow()) {
  SetRecordSize(kRecordSize);
  drawCommandClass_ = TppDrawCalc::StaticClass();
}

bool TppCalc::Designing() const { return ComponentState().Contains(csDesigning); }

void TppCalc::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "DataType", [this](TReader* r) { ppLegacyCalcDataType(r->ReadIdent(), customType_); },
      nullptr, false);
}

void TppCalc::SetCalcType(TppCalcType value) {
  calcType_ = value;
  if (!ReadingOrLoading()) customType_ = ppCalcDataType(value);
  if (AttachedToDesigner(*this) && !Printing()) {
    std::string caption;
    GetText(caption);
    SetCaption(caption);
    NotifyDesigner();
  }
}

void TppCalc::SetCustomType(TppDataType value) {
  if (ReadingOrLoading() || calcType_ == ctCustom) customType_ = value;
}

void TppCalc::SetText(const std::string& value) {
  if (calcType_ != ctCustom) return;
  customString_ = value;
  customType_ = dtString;
  inherited::SetText(value);
}

void TppCalc::SetDisplayFormat(const std::string& value) {
  inherited::SetDisplayFormat(value);
  if (AttachedToDesigner(*this) && !Printing()) {
    std::string caption;
    GetText(caption);
    SetCaption(caption);
  }
}

void TppCalc::ConvertVersion(int versionNo) {
  inherited::ConvertVersion(versionNo);
  if (versionNo < kVersionCustomType) customType_ = ppCalcDataType(calcType_);
}

Variant TppCalc::Value() const {
  TppEngine* engine = EngineOf(*this);
  const bool generating = Printing() && engine;
  const TDateTime now = ClockNow();
  switch (calcType_) {
    case ctDate: return Variant(TDateTime(std::floor(now.Value)));
    case ctDateTime: return Variant(now);
    case ctTime: return Variant(TDateTime(now.Value - std::floor(now.Value)));
    case ctPrintDateTime: return Variant(generating ? engine->PrintDateTime() : now);
    case ctPageCount: return Variant(generating ? engine->GetPageCount() : 1);
    case ctPageNo: return Variant(generating ? engine->GetPageNo() : 1);
    case ctPageSet:
    case ctPageSetDesc:
    case ctPageNoDesc: {
      TppCalcValues values;
      if (generating)
        values = {true, engine->GetPageNo(), engine->GetPageCount(), engine->PrintDateTime()};
      return Variant(ppCalcText(calcType_, values, GetLanguageIndex()));
    }
    case ctCustom: break;
  }
  const std::string custom = ppLoadStr(GetLanguageIndex() + kCustomName);
  if (Designing()) return Variant(Printing() ? "{" + custom + "}" : custom);
  if (AttachedToDesigner(*this) && !Printing()) return Variant(custom);
  switch (customType_) {
    case dtBoolean: return Variant(CustomBoolean);
    case dtDate:
    case dtTime:
    case dtDateTime: return Variant(CustomDateTime);
    case dtInteger: return Variant(CustomInteger);
    case dtDouble: return Variant(CustomReal);
    case dtString: return Variant(customString_);
    default: return Variant(std::string());
  }
}

void TppCalc::GetFormattedText(std::string& text) {
  const Variant value = Value();
  const std::string format = OnFormat ? std::string() : DisplayFormat();
  bool formatted = true;
  if (calcType_ == ctPageSet || calcType_ == ctPageSetDesc || calcType_ == ctPageNoDesc)
    formatted = false;
  else if (calcType_ == ctCustom)
    formatted = !Designing() && (!AttachedToDesigner(*this) || Printing());
  text = formatted ? ppFormat(format, customType_, value) : value.AsString();
  if (OnFormat) OnFormat(this, DisplayFormat(), customType_, value, text);
}

void TppCalc::GetDescription(std::string& text) {
  text = Name() + ": " + ppLoadStr(GetLanguageIndex() + kCalcTypeNames + calcType_);
}

void TppCalc::PropertiesToDrawCommand(TppDrawCommand* command) {
  inherited::PropertiesToDrawCommand(command);
  if (auto* calc = dynamic_cast<TppDrawCalc*>(command)) calc->CalcType = calcType_;
}

void TppCalc::Calculate() {
  if (calcType_ != ctCustom || !Printing()) return;
  if (resetPending_) ResetCalculation();
  if (OnCalc) OnCalc(this);
}

void TppCalc::ResetCalculation() {
  inherited::ResetCalculation();
  CustomBoolean = false;
  CustomInteger = 0;
  CustomReal = 0;
  customString_.clear();
  CustomDateTime = ClockNow();
}

void TppCalc::SaveToCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  record[0] = markedToPrint_;
  record[1] = CustomBoolean;
  PutDouble(record + 4, CustomDateTime.Value);
  ppPutInt32(record + 12, CustomInteger);
  PutDouble(record + 16, CustomReal);
  WriteCacheRecord(pageNo, record);
  // Only texts are kept: the cache saves every page, and most calculations
  // never set one.
  if (customString_.empty())
    pageStrings_.erase(pageNo);
  else
    pageStrings_[pageNo] = customString_;
}

void TppCalc::RestoreFromCache(int pageNo) {
  uint8_t record[kRecordSize] = {};
  ReadCacheRecord(pageNo, record);
  markedToPrint_ = record[0] != 0;
  CustomBoolean = record[1] != 0;
  CustomDateTime = TDateTime(GetDouble(record + 4));
  CustomInteger = ppGetInt32(record + 12);
  CustomReal = GetDouble(record + 16);
  const auto it = pageStrings_.find(pageNo);
  customString_ = it == pageStrings_.end() ? std::string() : it->second;
}

void TppCalc::CacheNotify(int operation, int pageNo) {
  inherited::CacheNotify(operation, pageNo);
  if (operation == ppcoDetach) pageStrings_.clear();  // the cache was cleared
}
