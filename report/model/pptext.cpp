#include "report/model/pptext.h"

#include <algorithm>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/output/pppage.h"
#include "report/output/ppprintr.h"

// ---- TppCustomText -------------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomText, TppCustomComponent)

TppCustomText::TppCustomText(TComponent* owner) : TppCustomComponent(owner) {
  drawCommandClass_ = TppDrawText::StaticClass();
  SetAutoSize(true);
  SetColor(TColor(0xFFFFFF));
}

// A group that broke on this text forgets its break name.
TppCustomText::~TppCustomText() {
  for (TppGroup* group : std::vector<TppGroup*>(breakGroups_)) group->BreakComponentFreed(this);
  if (Band()) std::erase(Band()->SaveList(), this);
}

void TppCustomText::GetText(std::string& text) {
  GetFormattedText(text);
  if (OnGetText) OnGetText(this, text);
}

void TppCustomText::GetFormattedText(std::string& text) { text = Text(); }

void TppCustomText::GetDescription(std::string& text) { text = Name() + ": " + Caption(); }

void TppCustomText::SetDisplayFormat(const std::string& value) {
  if (value == displayFormat_) return;
  displayFormat_ = value;
  NotifyDesigner();
}

void TppCustomText::SetFont(const TFont* font) {
  inherited::SetFont(font);
  AdjustSize();
}

void TppCustomText::AdjustSize() {
  if (ReadingOrLoading() || Printing()) return;
  if (!AutoSize() && WordWrap()) return;
  TBitmap bitmap;
  TCanvas* canvas = bitmap.Canvas();
  canvas->Font()->Assign(Font());
  TRect r{0, 0, PixelWidth(), PixelHeight()};
  uint32_t flags = DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX;
  if (Alignment() == taRightJustify) flags |= DT_RIGHT;
  if (Alignment() == taCenter) flags |= DT_CENTER;
  if (WordWrap()) flags |= DT_WORDBREAK;
  std::string caption;
  GetCaption(caption);
  DrawText(canvas, caption, r, flags);
  const int left = PixelLeft(), top = PixelTop();
  if (AutoSize()) {
    const int oldWidth = PixelWidth(), newWidth = r.Width();
    int newLeft = left;
    if (Alignment() == taRightJustify) newLeft += oldWidth - newWidth;
    if (Alignment() == taCenter) newLeft += (oldWidth - newWidth) / 2;
    SetPixelBounds(newLeft, top, newWidth, r.Height());
  } else {
    SetPixelBounds(left, top, PixelWidth(), r.Height());
  }
}

void TppCustomText::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawText*>(command);
  if (!draw) return;
  draw->Alignment = Alignment();
  draw->AutoSize = AutoSize();
  draw->Color = Color();
  draw->Place(printRect_);
  GetText(draw->Text);
  draw->Transparent = Transparent();
  draw->WordWrap = WordWrap();
  draw->SetFont(Font());
  if (WordWrap()) {
    TppPrinter* printer = GetPrinter();
    TppWrapRequest request;
    request.Text = draw->Text;
    request.Rect = {printRect_.Left, printRect_.Top, printRect_.Right, printRect_.Bottom};
    request.Canvas = printer ? printer->Canvas() : nullptr;
    request.Dpi = printer ? printer->PixelsPerInch(TppPixelAxis::Vertical) : 0;
    request.Font = Font();
    if (request.Canvas)
      for (const std::string& line : ppWordWrap(request).Lines) draw->WrappedText.Add(line);
  }
  TppBand* band = Band();
  draw->BandSave = band && band->Save();
  if (band && band->Engine()) draw->SaveLineNo = band->Engine()->BandCount();
  draw->Component = this;
  draw->Save = save_;
  draw->SaveOrder = SaveOrder();
  draw->SaveLength = saveLength_;
}

void TppCustomText::SetName(const std::string& newName) {
  const std::string oldName = Name();
  inherited::SetName(newName);
  if (ReadingOrLoading() || oldName == newName) return;
  for (TppGroup* group : breakGroups_) group->BreakComponentRenamed(oldName, newName);
}

void TppCustomText::FireSave(TObject* device, std::string& text) {
  if (OnSave) OnSave(device, text);
}

void TppCustomText::SetSave(bool value) {
  if (value == save_) return;
  save_ = value;
  if (ComponentState().Contains(csReading) || !Band()) return;
  std::vector<TppCustomText*>& list = Band()->SaveList();
  std::erase(list, this);
  if (value) list.push_back(this);
  if (State() & ppstDesigning) NotifyDesigner();
  Changed();
}

int TppCustomText::SaveOrder() const {
  if (!Band()) return -1;
  const std::vector<TppCustomText*>& list = Band()->SaveList();
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TppCustomText::SetSaveOrder(int value) {
  if (ComponentState().Contains(csReading)) {
    saveOrder_ = value;  // the band orders its save list after loading
    return;
  }
  if (!save_ || !Band()) return;
  std::vector<TppCustomText*>& list = Band()->SaveList();
  // Clamped into the list: beyond the end is the last place, below 0 the first.
  value = std::clamp(value, 0, std::max(0, int(list.size()) - 1));
  saveOrder_ = value;
  if (value == SaveOrder()) return;
  std::erase(list, this);
  list.insert(list.begin() + std::min<size_t>(size_t(value), list.size()), this);
  Changed();
}

void TppCustomText::SetSaveLength(int value) {
  saveLength_ = value;
  Changed();
}

void TppCustomText::AddBreakGroup(TppGroup* group) {
  if (std::find(breakGroups_.begin(), breakGroups_.end(), group) == breakGroups_.end())
    breakGroups_.push_back(group);
}

void TppCustomText::RemoveBreakGroup(TppGroup* group) { std::erase(breakGroups_, group); }

// ---- TppLabel --------------------------------------------------------------------------

IMPLEMENT_CLASS(TppLabel, TppCustomText)
PUBLISHED(TppLabel) {
  PROP_EVENT(OnGetText);
  PROP_EVENT(OnSave);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_INT(SaveOrder, StoredSaveOrder, SetSaveOrder, -1);
  PROP_BOOL(Save, Save, SetSave, false);
  PROP_INT(SaveLength, SaveLength, SetSaveLength, 0);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_ENUM(Alignment, Alignment, SetAlignment, taLeftJustify);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, true);
  PROP_STR(Caption, Caption, SetCaption, "").AlwaysStored();
  PROP_COLOR(Color, Color, SetColor, 0xFFFFFF);
  PROP_OBJ(Font, Font, SetFont);
  PROP_BOOL(Transparent, Transparent, SetTransparent, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, false);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

void TppLabel::SetName(const std::string& newName) {
  const bool follows = Caption() == Name();
  inherited::SetName(newName);
  if (follows && !ReadingOrLoading()) SetCaption(newName);
}
