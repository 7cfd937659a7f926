#include "report/output/pppage.h"

#include <algorithm>

#include "platform/classlib/core/format.h"
#include "report/output/ppdevice.h"

// ---- Draw commands ---------------------------------------------------------------

IMPLEMENT_CLASS(TppDrawCommand, TPersistent)

TppDrawCommand::~TppDrawCommand() {
  if (page_) page_->RemoveDrawCommand(this);
}

void TppDrawCommand::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TppDrawCommand*>(source);
  if (!s) return inherited::Assign(source);
  DrawLeft = s->DrawLeft;
  DrawRight = s->DrawRight;
  DrawTop = s->DrawTop;
  DrawBottom = s->DrawBottom;
  Left = s->Left;
  Height = s->Height;
  Top = s->Top;
  Width = s->Width;
}

bool TppDrawCommand::Draw(TppDevice* device) { return device && device->DrawCommand(this); }

void TppDrawCommand::SetPage(TppPage* page) {
  if (page == page_) return;
  if (page_) page_->RemoveDrawCommand(this);
  if (page) page->AddDrawCommand(this);
}

IMPLEMENT_CLASS(TppDrawText, TppDrawCommand)

TppDrawText::TppDrawText() : font_(std::make_unique<TFont>()) {}

void TppDrawText::Assign(const TPersistent* source) {
  inherited::Assign(source);
  auto* s = dynamic_cast<const TppDrawText*>(source);
  if (!s) return;
  Alignment = s->Alignment;
  AutoSize = s->AutoSize;
  Color = s->Color;
  font_->Assign(s->font_.get());
  IsMemo = s->IsMemo;
  Leading = s->Leading;
  Text = s->Text;
  Transparent = s->Transparent;
  WordWrap = s->WordWrap;
  WrappedText.Assign(&s->WrappedText);
  TabStopPositions.Assign(&s->TabStopPositions);
  BandSave = s->BandSave;
  SaveLineNo = s->SaveLineNo;
  Component = s->Component;
  Save = s->Save;
  SaveOrder = s->SaveOrder;
  SaveLength = s->SaveLength;
}

std::string TppDrawText::GetSaveKey() const {
  return Format("%8d", {SaveOrder}) + Format("%8d", {SaveLineNo});
}

IMPLEMENT_CLASS(TppDrawCalc, TppDrawText)

void TppDrawCalc::Assign(const TPersistent* source) {
  inherited::Assign(source);
  if (auto* s = dynamic_cast<const TppDrawCalc*>(source)) CalcType = s->CalcType;
}

bool TppDrawCalc::Recalculate() {
  if (CalcType != ctPageCount && CalcType != ctPageSet && CalcType != ctPageSetDesc) return false;
  TppCalcValues values;
  if (Page()) {
    values = {true, Page()->PageNo, Page()->PageCount, Page()->PrintDateTime};
  }
  Text = ppCalcText(CalcType, values, Page() ? Page()->LanguageIndex : ppLanguageBase(lgEnglish));
  return true;
}

IMPLEMENT_CLASS(TppDrawShape, TppDrawCommand)

TppDrawShape::TppDrawShape() : brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {}

void TppDrawShape::Assign(const TPersistent* source) {
  inherited::Assign(source);
  auto* s = dynamic_cast<const TppDrawShape*>(source);
  if (!s) return;
  brush_->Assign(s->brush_.get());
  pen_->Assign(s->pen_.get());
  Shape = s->Shape;
  XCornerRound = s->XCornerRound;
  YCornerRound = s->YCornerRound;
}

IMPLEMENT_CLASS(TppDrawLine, TppDrawCommand)

TppDrawLine::TppDrawLine() : pen_(std::make_unique<TPen>()) {}

void TppDrawLine::Assign(const TPersistent* source) {
  inherited::Assign(source);
  auto* s = dynamic_cast<const TppDrawLine*>(source);
  if (!s) return;
  Position = s->Position;
  Style = s->Style;
  pen_->Assign(s->pen_.get());
}

IMPLEMENT_CLASS(TppDrawImage, TppDrawCommand)

TppDrawImage::TppDrawImage() : picture_(std::make_unique<TPicture>()) {}

void TppDrawImage::Assign(const TPersistent* source) {
  inherited::Assign(source);
  auto* s = dynamic_cast<const TppDrawImage*>(source);
  if (!s) return;
  Center = s->Center;
  DataBased = s->DataBased;
  MaintainAspectRatio = s->MaintainAspectRatio;
  picture_->Assign(s->picture_.get());
  Reserved = s->Reserved;
  Stretch = s->Stretch;
  Transparent = s->Transparent;
}

// ---- The page ------------------------------------------------------------------------

IMPLEMENT_CLASS(TppPage, TComponent)

TppPage::TppPage(TComponent* owner)
    : TComponent(owner), setup_(std::make_unique<TppPrinterSetup>()) {}

TppPage::~TppPage() { FreeCommands(); }

void TppPage::FreeCommands() {
  while (!commands_.empty()) delete commands_.back();  // each leaves the list
}

void TppPage::AddDrawCommand(TppDrawCommand* command) {
  if (!command) return;
  if (command->page_ && command->page_ != this) command->page_->RemoveDrawCommand(command);
  if (std::find(commands_.begin(), commands_.end(), command) == commands_.end())
    commands_.push_back(command);
  command->page_ = this;
}

void TppPage::RemoveDrawCommand(TppDrawCommand* command) {
  std::erase(commands_, command);
  if (command && command->page_ == this) command->page_ = nullptr;
}

std::vector<TppDrawCommand*> TppPage::CalculatedCommands() const {
  std::vector<TppDrawCommand*> result;
  for (TppDrawCommand* c : commands_)
    if (c->IsCalculated()) result.push_back(c);
  return result;
}

void TppPage::RecalculateCommands(TppDevice* device) {
  for (TppDrawCommand* c : CalculatedCommands())
    if (c->Recalculate() && device) device->DrawCommandDirect(c);
}

std::string TppPage::GetDescription() const {
  return ppLoadStr(LanguageIndex + 18) + " " + IntToStr(AbsolutePageNo) + " " +
         ppLoadStr(LanguageIndex + 16) + " " + IntToStr(AbsolutePageCount);
}

void TppPage::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TppPage*>(source);
  if (!s) return inherited::Assign(source);
  AbsolutePageNo = s->AbsolutePageNo;
  AbsolutePageCount = s->AbsolutePageCount;
  FirstPassPage = s->FirstPassPage;
  ControlGroupBreakNo = s->ControlGroupBreakNo;
  DocumentName = s->DocumentName;
  FinalPage = s->FinalPage;
  FirstPage = s->FirstPage;
  LanguageIndex = s->LanguageIndex;
  LastPage = s->LastPage;
  PageNo = s->PageNo;
  PageCount = s->PageCount;
  PassSetting = s->PassSetting;
  PrintDateTime = s->PrintDateTime;
  setup_->Assign(s->setup_.get());
  FreeCommands();
  for (TppDrawCommand* from : s->commands_) {
    // Re-created by class name, so every registered kind copies itself.
    auto* copy = dynamic_cast<TppDrawCommand*>(FindClass(from->ClassName())->Create());
    if (!copy) continue;
    copy->Assign(from);
    AddDrawCommand(copy);
  }
}
