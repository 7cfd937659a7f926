#include "report/model/ppdesign.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/richedit.h"
#include "report/components/ppdbtext.h"
#include "report/components/ppgraph.h"
#include "report/components/ppmemo.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/components/ppstrtch.h"
#include "report/components/ppsubrpt.h"
#include "report/data/pputils.h"
#include "report/model/ppbands.h"
#include "report/model/ppdesigndlg.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppdrawcmd.h"

namespace {

using Items = std::vector<TppMenuItemDef>;

// Caption offsets of the string table.
constexpr int kBringToFront = 161, kSendToBack = 177, kAutoSize = 226, kBlankWhenZero = 227,
              kCalculations = 228, kCenter = 229, kDisplayFormat = 230, kDouble = 231,
              kPicture = 235, kReprintOnOverFlow = 238, kReprintOnSubsequent = 239,
              kShiftWithParent = 240, kSingle = 241, kStretch = 243, kStretchWithParent = 244,
              kSuppressRepeated = 245, kTransparent = 246, kVisible = 247, kWordWrap = 248,
              kShiftRelativeTo = 336, kParentHeight = 370, kParentWidth = 371,
              kPosition = 386, kMaintainAspectRatio = 412, kLines = 233;
constexpr TppMenuItemDef kSeparator{"", 0};
// Caption markers: the item's name without "mni"; the rich-text editor's "...".
constexpr int kNamed = -1, kRichTextEditCaption = -2;

// The text items with a class's prefix ("Label", "DBText").
Items TextItems(const std::string& prefix) {
  static std::map<std::string, std::vector<std::string>> names;  // keeps the names alive
  std::vector<std::string>& n = names[prefix];
  if (n.empty())  // filled once: the tables point into these names
    n = {"mni" + prefix + "AutoSize", "mni" + prefix + "ReprintOnOverFlow",
       "mni" + prefix + "ShiftWithParent", "mni" + prefix + "Transparent",
       "mni" + prefix + "Visible", "mni" + prefix + "WordWrap"};
  return {{"mniBringToFront", kBringToFront}, {"mniSendToBack", kSendToBack}, kSeparator,
          {n[0].c_str(), kAutoSize},        {"mniPosition", kPosition},    {n[1].c_str(), kReprintOnOverFlow},
          {n[2].c_str(), kShiftWithParent}, {n[3].c_str(), kTransparent},  {n[4].c_str(), kVisible},
          {n[5].c_str(), kWordWrap}};
}

Items With(Items items, std::initializer_list<TppMenuItemDef> more) {
  items.insert(items.end(), more);
  return items;
}

const std::map<std::string, Items>& Tables() {
  static const std::map<std::string, Items> tables = [] {
    std::map<std::string, Items> t;
    const Items front{{"mniBringToFront", kBringToFront}, {"mniSendToBack", kSendToBack}, kSeparator};
    t["TppLabel"] = TextItems("Label");
    const Items dbText = With(TextItems("DBText"), {{"mniDBTextBlankWhenZero", kBlankWhenZero},
                                                    {"mniDBTextFormat", kDisplayFormat},
                                                    {"mniDBTextReprintOnSubsequent", kReprintOnSubsequent},
                                                    {"mniDBTextSuppressRepeatedValues", kSuppressRepeated}});
    t["TppDBText"] = dbText;
    t["TppDBCalc"] = With(dbText, {{"mniDBCalcCalc", kCalculations}});
    t["TppCalc"] = With(TextItems("Label"), {{"mniCalcFormat", kDisplayFormat}});
    t["TppShape"] = With(front, {{"mniParentHeight", kParentHeight}, {"mniParentWidth", kParentWidth},
                                 {"mniPosition", kPosition}, {"mniReprintOnOverFlow", kReprintOnOverFlow},
                                 {"mniShapeShiftWithParent", kShiftWithParent},
                                 {"mniShapeStretchWithParent", kStretchWithParent},
                                 {"mniShapeVisible", kVisible}});
    t["TppLine"] = With(front, {{"mniLineSingle", kSingle}, {"mniLineDouble", kDouble}, kSeparator,
                                {"mniParentHeight", kParentHeight}, {"mniParentWidth", kParentWidth},
                                {"mniPosition", kPosition}, {"mniLineReprintOnOverFlow", kReprintOnOverFlow},
                                {"mniLineShiftWithParent", kShiftWithParent},
                                {"mniLineStretchWithParent", kStretchWithParent},
                                {"mniLineVisible", kVisible}});
    const Items image = With(front, {{"mniImageCenter", kCenter},
                                     {"mniImageMaintainAspectRatio", kMaintainAspectRatio},
                                     {"mniPosition", kPosition},
                                     {"mniImageReprintOnOverFlow", kReprintOnOverFlow},
                                     {"mniImageShiftWithParent", kShiftWithParent},
                                     {"mniImageStretch", kStretch},
                                     {"mniImageTransparent", kTransparent},
                                     {"mniImageVisible", kVisible}});
    t["TppDBImage"] = image;
    t["TppImage"] = With(image, {{"mniImageAutoSize", kAutoSize}, {"mniImagePicture", kPicture}});
    const Items stretchable = With(front, {{"mniPosition", kPosition},
                                           {"mniReprintOnOverFlow", kReprintOnOverFlow},
                                           {"mniShiftWithParent", kShiftWithParent},
                                           {"mniShiftRelativeTo", kShiftRelativeTo},
                                           {"mniStretch", kStretch},
                                           {"mniTransparent", kTransparent},
                                           {"mniVisible", kVisible}});
    t["TppStretchable"] = stretchable;
    // Only texts of their own are edited; the data kinds show a field.
    t["TppMemo"] = With(stretchable, {{"mniMemoEdit", kLines}});
    // Its caption is the editor's own "..." (no string-table entry).
    t["TppRichText"] = With(stretchable, {{"mniRichTextEdit", kRichTextEditCaption}});
    // The print behaviour as three choices, then the job and page toggles.
    t["TppSubReport"] = With(front, {{"mniChild", kNamed}, {"mniSection", kNamed},
                                     {"mniFixed", kNamed}, kSeparator,
                                     {"mniParentPrinterSetup", kNamed},
                                     {"mniParentWidth", kParentWidth},
                                     {"mniNewPrintJob", kNamed}, {"mniResetPageNo", kNamed}});
    // Bands: items without a string-table caption show their property's name.
    const Items band{{"mniDynamicHeight", kNamed}, {"mniStaticHeight", kNamed},
                     {"mniLine1", 0}, {"mniPosition", kPosition}, {"mniVisible", kVisible}};
    t["TppBand"] = band;
    t["TppPageBand"] = With(band, {{"mniLine2", 0}, {"mniPrintOnFirstPage", kNamed},
                                   {"mniPrintOnLastPage", kNamed}});
    t["TppReportBand"] = With(band, {{"mniLine2", 0}, {"mniNewPage", kNamed}});
    return t;
  }();
  return tables;
}

// The table a band class falls back to.
const char* KindTable(const std::string& className) {
  if (className == "TppHeaderBand" || className == "TppFooterBand") return "TppPageBand";
  if (className == "TppTitleBand" || className == "TppSummaryBand") return "TppReportBand";
  if (className.size() > 4 && className.compare(className.size() - 4, 4, "Band") == 0)
    return "TppBand";
  return "";
}

}  // namespace

const std::vector<TppMenuItemDef>& ppPopupItems(const std::string& className) {
  static const Items none;
  const auto& tables = Tables();
  auto it = tables.find(className);
  if (it == tables.end()) it = tables.find(KindTable(className));
  return it == tables.end() ? none : it->second;
}

const std::vector<TppMenuItemDef>& ppPopupItems(TClass cls) {
  for (TClass c = cls; c; c = c->ClassParent()) {
    const auto& items = ppPopupItems(c->ClassName());
    if (!items.empty()) return items;
  }
  return ppPopupItems(std::string());
}

std::string ppPopupCaption(const TppMenuItemDef& item, int languageBase) {
  if (item.CaptionOffset == kNamed) return std::string(item.Name).substr(3);
  if (item.CaptionOffset == kRichTextEditCaption) return "...";
  if (item.CaptionOffset == 0) return "-";
  return ppLoadStr(languageBase + item.CaptionOffset);
}

std::vector<TPoint> ppSizingHandles(const TRect& b) {
  const int half = ppHandleSize / 2;
  const int xs[] = {b.Left, b.Left + b.Width() / 2, b.Right};
  const int ys[] = {b.Top, b.Top + b.Height() / 2, b.Bottom};
  std::vector<TPoint> out;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      if (row != 1 || col != 1) out.push_back({xs[col] - half, ys[row] - half});
  return out;
}

std::vector<TPoint> ppSelectionHandles(const TRect& b) {
  const int right = b.Right - ppHandleSize, bottom = b.Bottom - ppHandleSize;
  return {{b.Left, b.Top}, {right, b.Top}, {b.Left, bottom}, {right, bottom}};
}

// ---- Designer messages ----------------------------------------------------------------

LRESULT ppSendDesignerMessage(TControl* designer, UINT msg, TObject* sender, WPARAM param) {
  if (!designer) return 0;
  return designer->Perform(msg, param, LPARAM(sender));
}

void ppPostDesignerMessage(TControl* designer, UINT msg, TObject* sender, WPARAM param) {
  auto* window = dynamic_cast<TWinControl*>(designer);
  if (window) PostMessage(window->Handle(), msg, param, LPARAM(sender));
  else ppSendDesignerMessage(designer, msg, sender, param);
}

// ---- Selection --------------------------------------------------------------------------

namespace {

constexpr TColor kSelectionGrey = TColor(0xC0C0C0);

TShape* NewHandle(TComponent* owner, TColor color) {
  auto* handle = new TShape(owner);
  handle->SetBounds(0, 0, ppHandleSize, ppHandleSize);
  handle->Brush()->SetColor(color);
  handle->Pen()->SetColor(color);
  handle->SetVisible(false);
  return handle;
}

void MoveInto(const std::vector<TShape*>& handles, TWinControl* window) {
  for (TShape* handle : handles) handle->SetParent(window);
}

}  // namespace

IMPLEMENT_CLASS(TppBoundsRect, TShape)

TppBoundsRect::TppBoundsRect(TComponent* owner) : TShape(owner) {
  Pen()->SetWidth(2);
  Pen()->SetColor(clBtnShadow);
  Pen()->SetMode(pmXor);
  Brush()->SetStyle(bsClear);
  SetVisible(false);
}

IMPLEMENT_CLASS(TppSizingHandles, TComponent)

TppSizingHandles::TppSizingHandles(TComponent* owner) : TComponent(owner) {
  // Corners size both ways, edge middles one way.
  static constexpr TCursor kCursors[8] = {crSizeNWSE, crSizeNS, crSizeNESW, crSizeWE,
                                          crSizeWE,   crSizeNESW, crSizeNS, crSizeNWSE};
  for (TCursor cursor : kCursors) {
    TShape* handle = NewHandle(this, clBlack);
    handle->SetCursor(cursor);
    handles_.push_back(handle);
  }
}

void TppSizingHandles::SetControl(TWinControl* window) {
  window_ = window;
  MoveInto(handles_, window);
}

void TppSizingHandles::Place(int left, int top, int width, int height) {
  const std::vector<TPoint> at = ppSizingHandles(TRect{left, top, left + width, top + height});
  for (size_t k = 0; k < handles_.size(); ++k)
    handles_[k]->SetBounds(at[k].x, at[k].y, ppHandleSize, ppHandleSize);
}

void TppSizingHandles::Show() {
  for (TShape* handle : handles_) handle->SetVisible(true);
}

void TppSizingHandles::Hide() {
  for (TShape* handle : handles_) handle->SetVisible(false);
}

void TppSizingHandles::SetColor(TColor color) {
  color_ = color;
  for (TShape* handle : handles_) {
    handle->Brush()->SetColor(color);
    handle->Pen()->SetColor(color);
  }
}

IMPLEMENT_CLASS(TppSelectionHandles, TComponent)

TppSelectionHandles::TppSelectionHandles(TComponent* owner) : TComponent(owner) {
  for (int k = 0; k < 4; ++k) handles_.push_back(NewHandle(this, kSelectionGrey));
}

void TppSelectionHandles::SetControl(TWinControl* window) {
  window_ = window;
  MoveInto(handles_, window);
}

void TppSelectionHandles::Place(int left, int top, int width, int height) {
  const std::vector<TPoint> at = ppSelectionHandles(TRect{left, top, left + width, top + height});
  for (size_t k = 0; k < handles_.size(); ++k)
    handles_[k]->SetBounds(at[k].x, at[k].y, ppHandleSize, ppHandleSize);
}

void TppSelectionHandles::Show() {
  for (TShape* handle : handles_) handle->SetVisible(true);
}

void TppSelectionHandles::Hide() {
  for (TShape* handle : handles_) handle->SetVisible(false);
}

IMPLEMENT_CLASS(TppSelectionObject, TComponent)

TppSelectionObject::TppSelectionObject(TComponent* owner)
    : TComponent(owner),
      boundsRect_(new TppBoundsRect(this)),
      selectionHandles_(new TppSelectionHandles(this)) {}

TppSelectionObject::~TppSelectionObject() {
  if (sizingHandles_) {
    sizingHandles_->Hide();
    sizingHandles_->RemoveFreeNotification(this);
  }
}

void TppSelectionObject::SetControl(TWinControl* window) {
  window_ = window;
  boundsRect_->SetParent(window);
  selectionHandles_->SetControl(window);
}

void TppSelectionObject::SetSizingHandles(TppSizingHandles* handles) {
  if (sizingHandles_) sizingHandles_->RemoveFreeNotification(this);
  sizingHandles_ = handles;
  if (handles) handles->FreeNotification(this);
}

void TppSelectionObject::SetComponent(TppPrintable* component, TppDesignControl* control) {
  component_ = component;
  designControl_ = control;
}

void TppSelectionObject::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == sizingHandles_) sizingHandles_ = nullptr;
}

void TppSelectionObject::Show() {
  if (!component_ || !designControl_) return;
  visible_ = true;
  boundsRect_->SetVisible(false);
  const TppDesignControl& c = *designControl_;
  if (sizingHandles_) {
    // Black handles would vanish on a dark control.
    const bool dark = c.Color() == clBlack || c.Color() == clNavy;
    sizingHandles_->SetControl(window_);
    sizingHandles_->Place(c.Left(), c.Top(), c.Width(), c.Height());
    sizingHandles_->SetColor(dark ? clWhite : clBlack);
    sizingHandles_->Show();
  } else {
    selectionHandles_->Place(c.Left(), c.Top(), c.Width(), c.Height());
    selectionHandles_->Show();
  }
}

void TppSelectionObject::Hide() {
  visible_ = false;
  if (sizingHandles_) sizingHandles_->Hide();
  selectionHandles_->Hide();
  boundsRect_->SetVisible(false);
}

void TppSelectionObject::Update() {
  if (!visible_ || !component_ || !designControl_) return;
  const int left = designControl_->Left(), top = designControl_->Top();
  boundsRect_->Rect = TRect{left, top, left + component_->PixelWidth(),
                            top + component_->PixelHeight()};
  boundsRect_->SetBoundsRect(boundsRect_->Rect);
}

// ---- The design control ---------------------------------------------------------------------

IMPLEMENT_CLASS(TppDesignControl, TCustomControl)

TppDesignControl::TppDesignControl(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque});
}

TppDesignControl::~TppDesignControl() = default;

void TppDesignControl::PaintContent() {
  if (component_) component_->PaintDesign(Canvas());
}

IMPLEMENT_CLASS(TppBandDesignControl, TCustomControl)

TppBandDesignControl::TppBandDesignControl(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque});
  SetColor(clWhite);
}

// White with the band's caption at its foot, above a dividing line.
void TppBandDesignControl::PaintContent() {
  TCanvas* canvas = Canvas();
  const TRect r = ClientRect();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clWhite);
  canvas->FillRect(r);
  if (!band_) return;
  canvas->Font()->SetColor(clGray);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(2, r.Bottom - canvas->TextHeight(band_->Caption()) - 1, band_->Caption());
  canvas->Pen()->SetColor(clGray);
  canvas->MoveTo(0, r.Bottom - 1);
  canvas->LineTo(r.Right, r.Bottom - 1);
}

// ---- Popup menus --------------------------------------------------------------------------

void ppBuildPopupItems(TPopupMenu* menu, const std::vector<TppMenuItemDef>& items,
                       int languageBase, const std::function<void(const std::string&)>& click) {
  menu->Items()->Clear();
  for (const TppMenuItemDef& def : items) {
    auto* item = new TMenuItem(menu);
    item->SetCaption(ppPopupCaption(def, languageBase));
    const std::string name = def.Name;
    // Separators of the component tables have no name of their own.
    if (!name.empty()) {
      item->SetName(name);
      item->OnClick = [click, name](TObject*) { click(name); };
    }
    menu->Items()->Add(item);
  }
}

TMenuItem* ppFindPopupItem(TPopupMenu* menu, const std::string& name) {
  TMenuItem* items = menu->Items();
  for (int i = 0; i < items->Count(); ++i)
    if (items->Items(i)->Name() == name) return items->Items(i);
  return nullptr;
}

void ppCheckPopupItem(TPopupMenu* menu, const std::string& name, bool checked) {
  if (TMenuItem* item = ppFindPopupItem(menu, name)) item->SetChecked(checked);
}

namespace {

// The class prefixes of item names ("mniLabelVisible" toggles Visible).
constexpr const char* kItemPrefixes[] = {"DBText", "DBCalc", "Label", "Calc",    "Shape",
                                         "Line",   "Image",  "Memo",  "RichText"};

// The Boolean property an item toggles ("" when it is no toggle).
std::string ToggledProperty(TObject* object, const std::string& itemName) {
  if (itemName.rfind("mni", 0) != 0) return "";
  const std::string bare = itemName.substr(3);
  auto isToggle = [object](const std::string& prop) {
    const TPropInfo* info = GetPropInfo(object, prop);
    return info && info->Kind == tkEnumeration && info->EnumType == &BooleanInfo() &&
           info->IsWritable();
  };
  if (isToggle(bare)) return bare;
  for (const char* prefix : kItemPrefixes)
    if (bare.rfind(prefix, 0) == 0 && isToggle(bare.substr(strlen(prefix))))
      return bare.substr(strlen(prefix));
  return "";
}

// What an item does: toggle its property, act, or open a dialog.
enum class TItemAction { None, Toggle, Front, Back, Position, Format, Calc, Picture, Shift,
                         Lines, RichText, LineSingle, LineDouble, Behavior };

TItemAction ActionOf(TObject* object, const std::string& name) {
  static const std::map<std::string, TItemAction> fixed{
      {"mniBringToFront", TItemAction::Front}, {"mniSendToBack", TItemAction::Back},
      {"mniPosition", TItemAction::Position},  {"mniDBTextFormat", TItemAction::Format},
      {"mniCalcFormat", TItemAction::Format},  {"mniDBCalcCalc", TItemAction::Calc},
      {"mniImagePicture", TItemAction::Picture}, {"mniShiftRelativeTo", TItemAction::Shift},
      {"mniMemoEdit", TItemAction::Lines},     {"mniRichTextEdit", TItemAction::RichText},
      {"mniLineSingle", TItemAction::LineSingle}, {"mniLineDouble", TItemAction::LineDouble},
      {"mniChild", TItemAction::Behavior},     {"mniSection", TItemAction::Behavior},
      {"mniFixed", TItemAction::Behavior}};
  auto it = fixed.find(name);
  if (it != fixed.end()) return it->second;
  return ToggledProperty(object, name).empty() ? TItemAction::None : TItemAction::Toggle;
}

TppPrintBehaviorType BehaviorOf(const std::string& name) {
  return name == "mniSection" ? pbSection : name == "mniFixed" ? pbFixed : pbChild;
}

// Checks every toggle item of `menu` from its property on `object`.
void CheckToggles(TObject* object, TPopupMenu* menu) {
  TMenuItem* items = menu->Items();
  for (int i = 0; i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    const std::string prop = ToggledProperty(object, item->Name());
    if (!prop.empty()) item->SetChecked(GetOrdProp(object, prop) != 0);
  }
}

void Toggle(TObject* object, const std::string& itemName) {
  const std::string prop = ToggledProperty(object, itemName);
  if (!prop.empty()) SetOrdProp(object, prop, GetOrdProp(object, prop) ? 0 : 1);
}

}  // namespace

// ---- Components at design time ------------------------------------------------------------

void TppPrintable::BuildPopupMenu(TPopupMenu*) {}

void TppPrintable::UpdatePopupMenu(TPopupMenu*) {}

void TppPrintable::PopupItemClick(const std::string&) {}

void TppComponent::BuildPopupMenu(TPopupMenu* menu) {
  ppBuildPopupItems(menu, ppPopupItems(ClassType()), GetLanguageIndex(),
                    [this](const std::string& name) { PopupItemClick(name); });
}

void TppComponent::UpdatePopupMenu(TPopupMenu* menu) {
  CheckToggles(this, menu);
  if (auto* line = dynamic_cast<TppLine*>(this)) {
    ppCheckPopupItem(menu, "mniLineSingle", line->Style() == lsSingle);
    ppCheckPopupItem(menu, "mniLineDouble", line->Style() == lsDouble);
  }
  if (auto* sub = dynamic_cast<TppSubReport*>(this))
    for (const char* name : {"mniChild", "mniSection", "mniFixed"})
      ppCheckPopupItem(menu, name, sub->PrintBehavior() == BehaviorOf(name));
}

void TppComponent::PopupItemClick(const std::string& name) {
  switch (ActionOf(this, name)) {
    case TItemAction::Toggle: Toggle(this, name); break;
    case TItemAction::Front: BringToFront(); break;
    case TItemAction::Back: SendToBack(); break;
    case TItemAction::Position: ppEditPosition(this); break;
    case TItemAction::Format: ppEditDisplayFormat(this); break;
    case TItemAction::Calc: ppEditCalculations(this); break;
    case TItemAction::Picture: ppEditPicture(this); break;
    case TItemAction::Shift: ppEditShiftRelativeTo(this); break;
    case TItemAction::Lines: ppEditLines(this); break;
    case TItemAction::RichText: ppEditRichText(this); break;
    case TItemAction::LineSingle:
    case TItemAction::LineDouble:
      if (auto* line = dynamic_cast<TppLine*>(this))
        line->SetStyle(ActionOf(this, name) == TItemAction::LineSingle ? lsSingle : lsDouble);
      break;
    case TItemAction::Behavior:
      if (auto* sub = dynamic_cast<TppSubReport*>(this)) sub->SetPrintBehavior(BehaviorOf(name));
      break;
    case TItemAction::None: break;
  }
}

TControl* TppComponent::GetDesigner() const {
  TppCustomReport* report = Report();
  return report ? report->GetDesigner() : nullptr;
}

void TppPrintable::CreateDesignControl() {
  IncludeState(ppstDesigning);
  if (!designBitmap_) designBitmap_ = std::make_unique<TBitmap>();
  designBitmapValid_ = false;
  if (designControl_) return;
  LRESULT answer = ppSendDesignerMessage(GetDesigner(), ppmsgCreateDesignControl, this);
  auto* control = dynamic_cast<TppDesignControl*>(reinterpret_cast<TObject*>(answer));
  if (!control) return;
  designControl_ = control;
  control->SetComponent(this);
  control->FreeNotification(this);
  SetupDesignControl(control);
  selection_ = std::make_unique<TppSelectionObject>(nullptr);
  selection_->SetComponent(this, control);
  selection_->SetSizingHandles(control->SizingHandles());
  if (auto* window = control->Parent()) selection_->SetControl(window);
  UpdateDesignControl();
  lastDesignHeight_ = mmHeight_;
  lastDesignWidth_ = mmWidth_;
}

void TppComponent::CreateDesignControl() {
  inherited::CreateDesignControl();
  TppDesignControl* control = DesignControl();
  if (!control) return;
  control->SetSizingHandleMask((ParentWidth() ? ppmaskParentWidth : 0) |
                               (ParentHeight() ? ppmaskParentHeight : 0));
  if (TControl* designer = GetDesigner()) control->SetPopupMenu(designer->PopupMenu());
  ListDesignControl(false);
}

void TppComponent::ListDesignControl(bool going) {
  if (band_) band_->ListDesignControl(this, going);
}

void TppPrintable::FreeDesignControl() {
  if (designControl_) ListDesignControl(true);
  selection_.reset();
  designBitmap_.reset();
  designBitmapValid_ = false;
  TppDesignControl* control = designControl_;
  designControl_ = nullptr;
  if (control) {
    control->RemoveFreeNotification(this);
    control->SetComponent(nullptr);
    delete control;
  }
  ExcludeState(ppstDesigning);
}

void TppPrintable::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation != opRemove || component != designControl_) return;
  // The designer freed the control: its selection goes with it.
  ListDesignControl(true);
  designControl_ = nullptr;
  selection_.reset();
}

void TppPrintable::InvalidateDesign() {
  if (!designControl_ || !AtDesignTime()) return;
  designBitmapValid_ = false;
  designControl_->Invalidate();
}

void TppPrintable::NotifyDesigner() {
  if (Printing() || (State() & (ppstLoading | ppstTemplateLoading))) return;
  ppSendDesignerMessage(GetDesigner(), ppmsgChanged, this);
}

void TppPrintable::UpdateDesignControl() {
  if (!designControl_) return;
  designControl_->SetBounds(PixelLeft(), PixelTop(), PixelWidth(), PixelHeight());
}

void TppPrintable::BoundsChanged() {
  if (!designControl_ || !AtDesignTime()) return;
  UpdateDesignControl();
  if (selection_) selection_->Update();
  NotifyDesigner();
  if (mmHeight_ != lastDesignHeight_ || mmWidth_ != lastDesignWidth_) {
    lastDesignHeight_ = mmHeight_;
    lastDesignWidth_ = mmWidth_;
    InvalidateDesign();
  }
}

void TppPrintable::SetName(const std::string& newName) {
  const bool changed = newName != Name();
  inherited::SetName(newName);
  if (!changed) return;
  if (designControl_) ListDesignControl(false);
  InvalidateDesign();
  if (!ReadingOrLoading()) ppSendDesignerMessage(GetDesigner(), ppmsgNameChanged, this);
}

void TppPrintable::PaintDesign(TCanvas* canvas) {
  if (!CanPaintViaBitmap()) {
    PaintDesignControl(canvas);
    return;
  }
  if (!designBitmap_) designBitmap_ = std::make_unique<TBitmap>();
  const int width = std::max(PixelWidth(), 1), height = std::max(PixelHeight(), 1);
  if (!designBitmapValid_ || designBitmap_->Width() != width ||
      designBitmap_->Height() != height) {
    designBitmap_->SetSize(width, height);
    TCanvas* target = designBitmap_->Canvas();
    target->Brush()->SetStyle(bsSolid);
    target->Brush()->SetColor(clWhite);
    target->FillRect(TRect{0, 0, width, height});
    PaintDesignControl(target);
    designBitmapValid_ = true;
  }
  // White stays see-through on a transparent component.
  canvas->SetCopyMode(Transparent() ? SRCAND : SRCCOPY);
  canvas->CopyRect(TRect{0, 0, width, height}, designBitmap_->Canvas(),
                   TRect{0, 0, width, height});
  canvas->SetCopyMode(SRCCOPY);
}

void TppPrintable::PaintDesignControl(TCanvas* canvas) {
  std::string caption;
  GetCaption(caption);
  PaintDesignText(canvas, caption, WordWrap());
}

void TppPrintable::PaintDesignText(TCanvas* canvas, const std::string& text, bool wordBreak) {
  const TRect r{0, 0, std::max(PixelWidth(), 1), std::max(PixelHeight(), 1)};
  if (!Transparent()) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
  }
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetStyle(bsClear);
  TRect textRect = r;
  uint32_t flags = DT_EXPANDTABS | DT_NOPREFIX;
  if (Alignment() == taCenter) flags |= DT_CENTER;
  else if (Alignment() == taRightJustify) flags |= DT_RIGHT;
  if (wordBreak) flags |= DT_WORDBREAK;
  DrawText(canvas, text, textRect, flags);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clBlack);
  canvas->FrameRect(r);
}

// ---- Bands at design time -----------------------------------------------------------------

TControl* TppBand::GetDesigner() const { return report_ ? report_->GetDesigner() : nullptr; }

void TppBand::NotifyDesigner() {
  if ((PrintState() & pppsGenerating) || ReadingOrLoading() ||
      (State() & (ppstLoading | ppstTemplateLoading)))
    return;
  ppSendDesignerMessage(GetDesigner(), ppmsgChanged, this);
}

void TppBand::UpdateDesignLayout() {
  for (TppComponent* c : components_) {
    c->UpdateDesignControl();
    if (c->SelectionObject()) c->SelectionObject()->Update();
  }
  ppSendDesignerMessage(GetDesigner(), ppmsgBandLayoutChanged, this);
}

void TppBand::BuildPopupMenu(TPopupMenu* menu) {
  const int base = report_ ? report_->GetLanguageIndex() : ppLanguageBase(lgEnglish);
  ppBuildPopupItems(menu, ppPopupItems(ClassType()), base,
                    [this](const std::string& name) { PopupItemClick(name); });
}

void TppBand::UpdatePopupMenu(TPopupMenu* menu) {
  CheckToggles(this, menu);
  ppCheckPopupItem(menu, "mniDynamicHeight", printHeight_ == phDynamic);
  ppCheckPopupItem(menu, "mniStaticHeight", printHeight_ == phStatic);
}

void TppBand::PopupItemClick(const std::string& name) {
  if (name == "mniDynamicHeight") SetPrintHeight(phDynamic);
  else if (name == "mniStaticHeight") SetPrintHeight(phStatic);
  else if (name == "mniPosition") ppEditBandPosition(this);
  else Toggle(this, name);
}

void TppBand::CreateDesignControl() {
  TWinControl* window = report_ ? report_->DesignWindow() : nullptr;
  if (!window || designControl_) return;
  // The band owns it; it learns when the window frees it first.
  auto* control = new TppBandDesignControl(nullptr);
  control->SetBand(this);
  control->FreeNotification(this);
  control->SetParent(window);
  control->SetPopupMenu(window->PopupMenu());
  control->SendToBack();  // the components' controls stay above it
  designControl_ = control;
  UpdateDesignControl();
}

void TppBand::FreeDesignControl() {
  TppBandDesignControl* control = std::exchange(designControl_, nullptr);
  if (!control) return;
  control->RemoveFreeNotification(this);
  delete control;
  if (report_ && !report_->FreeingBands()) ppArrangeBandControls(report_);  // the bands below move up
}

void TppBand::UpdateDesignControl() {
  if (!designControl_ || !report_ || report_->FreeingBands()) return;
  ppArrangeBandControls(report_);
  designControl_->Invalidate();
}

void TppBand::ListDesignControl(TppComponent* component, bool going) {
  TObject* control = component->DesignControl();
  if (!control) return;
  if (int i = designControls_.IndexOfObject(control); i >= 0) designControls_.Delete(i);
  if (!going && IndexOfComponent(component) >= 0)
    designControls_.AddObject(component->Name(), control);
}

void TppBand::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation != opRemove || component != designControl_) return;
  designControl_ = nullptr;
  // The bands below close up, unless the whole window is going.
  TWinControl* window = report_ ? report_->DesignWindow() : nullptr;
  if (window && !window->ComponentState().Contains(csDestroying) && !report_->FreeingBands())
    ppArrangeBandControls(report_);
}

namespace {

int ScreenPixels(int64_t mm) {
  return int(ppFromMMThousandths(int32_t(std::clamp<int64_t>(mm, 0, INT32_MAX)), utScreenPixels));
}

// Places the report's band controls from `top` down; returns the bottom.
int ArrangeBands(TppCustomReport* report, int top) {
  for (int b = 0; b < report->BandCount(); ++b) {
    TppBand* band = report->Bands(b);
    if (!band->DesignControl()) continue;
    const int height = ScreenPixels(band->mmHeight());
    band->DesignControl()->SetBounds(0, top, ScreenPixels(band->PrintableWidth()), height);
    top += height;
  }
  for (int b = 0; b < report->BandCount(); ++b)
    for (int i = 0; i < report->Bands(b)->ComponentCount(); ++i)
      if (auto* sub = dynamic_cast<TppSubReport*>(report->Bands(b)->Components(i));
          sub && sub->ChildReport())
        top = ArrangeBands(sub->ChildReport(), top);
  return top;
}

}  // namespace

void ppArrangeBandControls(TppCustomReport* report) {
  TppCustomReport* main = report->GetMainReport();
  ArrangeBands(main ? main : report, 0);
}

// ---- Reports at design time ---------------------------------------------------------------

TControl* TppCustomReport::GetDesigner() const { return designWindow_; }

namespace {

template <class F>
void ForEachComponent(TppCustomReport* report, F f) {
  for (int b = 0; b < report->BandCount(); ++b) {
    TppBand* band = report->Bands(b);
    for (int i = 0; i < band->ComponentCount(); ++i) f(band->Components(i));
  }
}

}  // namespace

void ppAttachDesigner(TppCustomReport* report, TWinControl* window) {
  report->SetDesignWindow(window);
  report->IncludeState(ppstDesigning);
  for (int b = 0; b < report->BandCount(); ++b) report->Bands(b)->CreateDesignControl();
  ForEachComponent(report, [window](TppComponent* c) {
    c->CreateDesignControl();
    if (auto* sub = dynamic_cast<TppSubReport*>(c); sub && sub->ChildReport())
      ppAttachDesigner(sub->ChildReport(), window);
  });
}

void ppDetachDesigner(TppCustomReport* report) {
  ForEachComponent(report, [](TppComponent* c) {
    c->FreeDesignControl();
    if (auto* sub = dynamic_cast<TppSubReport*>(c); sub && sub->ChildReport())
      ppDetachDesigner(sub->ChildReport());
  });
  for (int b = 0; b < report->BandCount(); ++b) report->Bands(b)->FreeDesignControl();
  report->ExcludeState(ppstDesigning);
  report->SetDesignWindow(nullptr);
}

bool TppCustomReport::ConfirmDeleteBeyond(int32_t width, int32_t columnWidth, int messageOffset) {
  if (!designWindow_ || !(state_ & ppstDesigning)) return true;
  std::vector<TppComponent*> beyond;
  for (TppBand* band : bands_) {
    const int32_t limit = band->PrintsInColumns() && columns_ > 1 ? columnWidth : width;
    for (int i = 0; i < band->ComponentCount(); ++i)
      if (band->Components(i)->mmLeft() > limit) beyond.push_back(band->Components(i));
  }
  if (beyond.empty()) return true;
  if (MessageDlg(LoadStr(messageOffset), mtWarning, mbOKCancel, 0) != mrOk) return false;
  for (TppComponent* c : beyond) delete c;
  return true;
}

bool TppCustomReport::ConfirmDeleteColumnBands() {
  if (!designWindow_ || !(state_ & ppstDesigning)) return true;
  TppBand* header = FindBand(bkColumnHeader);
  TppBand* footer = FindBand(bkColumnFooter);
  const bool inHeader = header && header->ComponentCount() > 0;
  const bool inFooter = footer && footer->ComponentCount() > 0;
  // Which bands would lose components picks the warning.
  constexpr int kBoth = 293, kHeader = 294, kFooter = 295;
  if (inHeader || inFooter) {
    const int offset = inHeader && inFooter ? kBoth : inHeader ? kHeader : kFooter;
    if (MessageDlg(LoadStr(offset), mtWarning, mbOKCancel, 0) != mrOk) return false;
  }
  delete header;
  delete footer;
  return true;
}

bool TppBand::AcceptDesignHeight(int32_t value) {
  if (!report_ || !report_->GetDesigner() || !(State() & ppstDesigning) || ReadingOrLoading())
    return true;
  // Offsets of the designer's two height warnings.
  constexpr int kZeroHeight = 296, kPageHeight = 297;
  const int64_t page = report_->PrinterSetup()->PageDef().mmPrintableHeight();
  const int offset = value < 1 && !components_.empty() ? kZeroHeight
                     : value > page                    ? kPageHeight
                                                       : 0;
  if (offset) {
    MessageDlg(report_->LoadStr(offset), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return false;
  }
  // Components that would end below the band move up by the difference.
  const int32_t shrink = mmHeight_ - value;
  for (TppComponent* c : std::vector<TppComponent*>(components_))
    if (shrink > 0 && c->mmTop() + c->mmHeight() > value)
      c->SetmmTop(std::max(0, c->mmTop() - shrink));
  return true;
}

// ---- Sub-reports at design time -------------------------------------------------------------

void TppSubReport::SetBand(TppBand* band) {
  inherited::SetBand(band);
  TppCustomReport* main = Report() ? Report()->GetMainReport() : nullptr;
  TWinControl* window = main ? main->DesignWindow() : nullptr;
  if (!childReport_ || childReport_->DesignWindow() == window) return;
  if (window) ppAttachDesigner(childReport_, window);
  else if (childReport_->DesignWindow()) ppDetachDesigner(childReport_);
}

void TppSubReport::SetCaption(const std::string& value) {
  inherited::SetCaption(value);
  if (!ReadingOrLoading()) ppSendDesignerMessage(GetDesigner(), ppmsgSubReportCaption, this);
}

void ppHandDesignWindow(TppCustomReport* report) {
  ForEachComponent(report, [report](TppComponent* c) {
    if (auto* sub = dynamic_cast<TppSubReport*>(c); sub && sub->ChildReport())
      sub->ChildReport()->SetDesignWindow(report->DesignWindow());
  });
}

// ---- Data texts at design time ----------------------------------------------------------------

void TppDBText::SetDataField(const std::string& value) {
  const bool wasEmpty = DataField().empty();
  inherited::SetDataField(value);
  if (DesignControl() && AtDesignTime() && !AutoSize() && wasEmpty && IsDataAvailable()) {
    // As wide as the field shows: its display width in the design font's "0"s.
    const int chars = DataPipeline()->GetFieldDisplayWidth(DataField());
    TCanvas* canvas = DesignControl()->Canvas();
    canvas->Font()->Assign(Font());
    SetPixelBounds(PixelLeft(), PixelTop(), chars * canvas->TextWidth("0"), PixelHeight());
  }
  PipelineNotify(DataPipeline(), ppdeSettingsChanged);
}

void TppDBText::PipelineNotify(TppDataPipeline* pipeline, int event) {
  inherited::PipelineNotify(pipeline, event);
  if ((event == ppdeSettingsChanged || event == ppdePipelineFreed) && AtDesignTime()) {
    std::string caption;
    GetText(caption);
    SetCaption(caption);
  }
}

void TppImage::SetupDesignControl(TppDesignControl* control) {
  control->SetControlStyle(control->ControlStyle() - TControlStyle{csOpaque});
}

void TppStretchable::BoundsChanged() {
  inherited::BoundsChanged();
  if (AtDesignTime() && DesignControl() && Stretch()) Changed();
}

void TppCustomReport::TellDesignerFreed() {
  if (freedTold_) return;
  freedTold_ = true;
  ppSendDesignerMessage(designWindow_, ppmsgReportFreed, this);
}

// ---- Regions at design time -------------------------------------------------------------

void TppRegion::CreateDesignControl() {
  inherited::CreateDesignControl();
  // Offsets count from where the region stood when the designer came.
  designBounds_ = TRect{mmLeft(), mmTop(), mmWidth(), mmHeight()};
}

void TppRegion::BoundsChanged() {
  inherited::BoundsChanged();
  const TRect old = designBounds_;
  designBounds_ = TRect{mmLeft(), mmTop(), mmWidth(), mmHeight()};
  if (!DesignControl() || !AtDesignTime() || ReadingOrLoading()) return;
  const int32_t dx = designBounds_.Left - old.Left, dy = designBounds_.Top - old.Top;
  const bool resized = designBounds_.Right != old.Right || designBounds_.Bottom != old.Bottom;
  for (TppComponent* c : std::vector<TppComponent*>(children_)) {
    if (dx || dy) c->SetmmBounds(c->mmLeft() + dx, c->mmTop() + dy, c->mmWidth(), c->mmHeight());
    if (resized || dx || dy) c->SizeToParent();
  }
}

// ---- Design images of the graphic components -------------------------------------------------

namespace {

// A component's draw command over its design image: the device rectangle
// is `pixels`, in the image's screen pixels.
template <class Command>
std::unique_ptr<Command> DesignCommand(TppPrintable& c, const TRect& pixels) {
  auto command = std::make_unique<Command>();
  c.PropertiesToDrawCommand(command.get());
  // Outside a generation there is no print rectangle: the designed size.
  command->Place(TRect{0, 0, c.mmWidth(), c.mmHeight()});
  command->DrawLeft = pixels.Left;
  command->DrawTop = pixels.Top;
  command->DrawRight = pixels.Right;
  command->DrawBottom = pixels.Bottom;
  return command;
}

TRect PixelBox(const TppPrintable& c) { return TRect{0, 0, c.PixelWidth(), c.PixelHeight()}; }

}  // namespace

void TppShape::PaintDesignControl(TCanvas* canvas) {
  const TppShapeGeometry g = Geometry();
  auto command = DesignCommand<TppDrawShape>(*this, TRect{g.X1, g.Y1, g.X2, g.Y2});
  ppDrawShapeFigure(canvas, *command, Pen()->Width(), g.CornerWidth, g.CornerHeight);
}

void TppLine::PaintDesignControl(TCanvas* canvas) {
  auto command = DesignCommand<TppDrawLine>(*this, PixelBox(*this));
  // The far edges are outside the box: the strokes go just inside them.
  if (Position() == lpRight) --command->DrawRight;
  if (Position() == lpBottom) --command->DrawBottom;
  canvas->Brush()->SetStyle(bsClear);
  const int strokes = std::max(Pen()->Width(), 1);
  ppDrawLineStrokes(canvas, *command, strokes, 2 * strokes);
}

void TppCustomImage::PaintDesignControl(TCanvas* canvas) {
  TPicture* picture = GetPicture();
  if (!picture || picture->Width() <= 0 || picture->Height() <= 0) {
    TppPrintable::PaintDesignControl(canvas);
    return;
  }
  auto command = DesignCommand<TppDrawImage>(*this, PixelBox(*this));
  ppDrawPicture(canvas, *command, 1.0, 1.0, false);
}

// A memo shows its lines, wrapped; without lines its caption.
void TppCustomMemo::PaintDesignControl(TCanvas* canvas) {
  const std::string lines = Lines()->Text();
  if (lines.empty()) inherited::PaintDesignControl(canvas);
  else PaintDesignText(canvas, lines, true);
}

// Rich text shows its plain text, wrapped.
void TppCustomRichText::PaintDesignControl(TCanvas* canvas) {
  const std::string text = Editor()->Text();
  if (text.empty()) inherited::PaintDesignControl(canvas);
  else PaintDesignText(canvas, text, true);
}

void TppPrintable::StateChanged(uint16_t states) {
  inherited::StateChanged(states);
  if (IsDataAware() && (states & ppstDataAtDesign)) PipelineNotify(DataPipeline(), ppdeSettingsChanged);
}
