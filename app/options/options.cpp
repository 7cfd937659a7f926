// The options dialog's window: its eight pages and every control on them,
// placement, and what showing it does. Loading, saving and applying the
// settings are in options_settings.cpp; the pages' commands in options_pages.cpp.

#include "app/options/options.h"

#include <algorithm>
#include <span>

#include "app/common/components.h"
#include "app/common/placement.h"
#include "app/exportfields/exportfields.h"
#include "app/main/bug.h"
#include "app/options/optiontables.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/tabs.h"
#include "winctrls/colcombo.h"

IMPLEMENT_CLASS(TfrmOptions, TForm)

TfrmOptions* frmOptions = nullptr;

namespace {

constexpr const char* kTop = "OptionsWindowTop";
constexpr const char* kLeft = "OptionsWindowLeft";
// Layout: the page control over a row of buttons.
constexpr int kFormWidth = 470, kFormHeight = 420, kMargin = 8;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
constexpr int kRow = 24;
// Hints stay up this long while the dialog shows, and go back to the usual after.
constexpr int kDialogHintPause = 10000, kNormalHintPause = 2500;
// The picture drawn left of a status or priority item.
constexpr int kPictureSize = 12;
// The sample text of the Fonts page.
constexpr const char* kSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nabcdefghijklmnopqrstuvwxyz  1234567890";

// Ready separator lines: each a character or a pair repeated; the first is the default.
std::vector<std::string> SeparatorLines() {
  constexpr int kLength = 25;
  std::vector<std::string> lines;
  for (const char* unit : {"_", "=", "-=", "+", "-", "<>", "#", "/", "|", "\\", "*", "^", "~",
                           "V", "o", ".", ":", "x"}) {
    std::string line;
    while (int(line.size()) < kLength) line += unit;
    lines.push_back(line.substr(0, kLength));
  }
  return lines;
}

TCheckBox* Box(TComponent* owner, TWinControl* parent, const std::string& name,
               const char* caption, int left, int top, int width = 200) {
  auto* box = NewControl<TCheckBox>(owner, parent, name);
  box->SetCaption(caption);
  box->SetBounds(left, top, width, kRow - 4);
  return box;
}

TRadioGroup* Radios(TComponent* owner, TWinControl* parent, const char* name, const char* caption,
                    std::initializer_list<const char*> items, const TRect& bounds) {
  auto* group = NewControl<TRadioGroup>(owner, parent, name);
  group->SetCaption(caption);
  for (const char* item : items) group->Items()->Add(item);
  group->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  return group;
}

TLabel* NewLabel(TComponent* owner, TWinControl* parent, const std::string& name,
                const char* text, int left, int top) {
  auto* label = NewControl<TLabel>(owner, parent, name);
  label->SetCaption(text);
  label->SetBounds(left, top, 200, kRow - 8);
  return label;
}

// Draws a code's picture (a framed swatch of its colour) and its text.
void DrawCodeItem(TCustomComboBox* combo, std::span<const CodeItem> items, bool feature, int index,
                  const TRect& rect) {
  TCanvas* c = combo->Canvas();
  c->FillRect(rect);
  if (index < 0 || index >= int(items.size())) return;
  const CodeItem& item = items[size_t(index)];
  const int top = rect.Top + (rect.Height() - kPictureSize) / 2;
  const TRect picture{rect.Left + 2, top, rect.Left + 2 + kPictureSize, top + kPictureSize};
  const TColor text = c->Brush()->Color();
  c->Brush()->SetColor(item.Picture);
  c->FillRect(picture);
  c->Brush()->SetColor(clBlack);
  c->FrameRect(picture);
  c->Brush()->SetColor(text);
  c->TextOut(picture.Right + 4, rect.Top + (rect.Height() - c->TextHeight("Wg")) / 2,
             feature ? item.Feature : item.Bug);
}

TComboBox* CodeList(TComponent* owner, TWinControl* parent, const char* name,
                    std::span<const CodeItem> items, bool feature, int left, int top) {
  auto* combo = NewControl<TComboBox>(owner, parent, name);
  combo->SetStyle(csOwnerDrawFixed);
  for (const CodeItem& item : items) combo->Items()->Add(feature ? item.Feature : item.Bug);
  combo->SetDropDownCount(int(items.size()));
  combo->SetBounds(left, top, 170, kRow - 2);
  combo->OnDrawItem = [combo, items, feature](TWinControl*, int index, const TRect& rect,
                                              TOwnerDrawState) {
    DrawCodeItem(combo, items, feature, index, rect);
  };
  return combo;
}

}  // namespace

std::string CustomColorsPath() {
  return IncludeTrailingPathDelimiter(regstore::StoreFolder()) + "CColor.vn";
}

TfrmOptions::TfrmOptions(TComponent* AOwner) : TForm(AOwner) {
  // Every value shown here is the main window's, read through its settings object.
  if (!frmBug || !frmBug->Reg) throw EInvalidOperation("The options dialog needs the main window");
  SetName("frmOptions");
  SetCaption("Options");
  SetBorderStyle(bsDialog);
  SetClientWidth(kFormWidth);
  SetClientHeight(kFormHeight);
  pcOptions = NewControl<TPageControl>(this, this, "pcOptions");
  pcOptions->SetBounds(kMargin, kMargin, kFormWidth - 2 * kMargin,
                       kFormHeight - 3 * kMargin - kButtonHeight);
  CreateGeneralPage();
  CreateFontsPage();
  CreateGridPage();
  CreateNewEntryPage();
  CreateDropDownsPage();
  CreateDatabasePage();
  CreateExportPage();
  CreateToolbarsPage();
  CreateButtons();
  WireFontControls();
  WireApplyEnabling();
  OnShow = [this](TObject* sender) { FormShow(sender); };
  OnActivate = [this](TObject*) { FitLookupColumns(); };
  OnClose = [this](TObject*, TCloseAction&) {
    if (ModalResult() != mrOk) CancelLookupEdits();
    Application->SetHintHidePause(kNormalHintPause);
  };
  RestoreWindowPosition();
}

TfrmOptions::~TfrmOptions() {
  SaveWindowPosition();
  if (frmOptions == this) frmOptions = nullptr;
}

TRegIniFile& TfrmOptions::Reg() const { return *frmBug->Reg; }

TTabSheet* TfrmOptions::NewPage(const char* name, const char* caption) {
  auto* page = NewControl<TTabSheet>(this, pcOptions, name);
  page->SetCaption(caption);
  return page;
}

void TfrmOptions::CreateGeneralPage() {
  TTabSheet* page = NewPage("tsGeneral", "General");
  chkConfirmDeletes = Box(this, page, "chkConfirmDeletes", "&Show Confirmation Dialogs", kMargin, kMargin);
  NewLabel(this, page, "lblSeperatorLine", "Separator Line", kMargin, kMargin + kRow);
  txtSeperatorLine = NewControl<TComboBox>(this, page, "txtSeperatorLine");
  txtSeperatorLine->SetStyle(csDropDown);
  for (const std::string& line : SeparatorLines()) txtSeperatorLine->Items()->Add(line);
  txtSeperatorLine->SetBounds(kMargin, kMargin + 2 * kRow - 6, 260, kRow - 2);
  chkShowMemoFieldStatus = Box(this, page, "chkShowMemoFieldStatus",
                               "&Visually show memo field status", kMargin, kMargin + 3 * kRow, 260);
  chkPlainText = Box(this, page, "chkPlainText", "Show memos as plain text", kMargin, kMargin + 4 * kRow, 260);
  const int top = kMargin + 5 * kRow + 4;
  rgInactiveTabColor = Radios(this, page, "rgInactiveTabColor", "Inactive Tab Color",
                              {"Inactive Color", "Active Color", "Light Grey"},
                              TRect{kMargin, top, kMargin + 200, top + 90});
  rgRowIndicatorColor = Radios(this, page, "rgRowIndicatorColor", "Row Indicator Color",
                               {"Black", "Yellow"}, TRect{220, top, 420, top + 66});
  auto colour = [&](const char* name, const char* label, const char* text, int y) {
    NewLabel(this, page, label, text, kMargin, y);
    auto* combo = NewControl<TColorComboBox>(this, page, name);
    combo->SetBounds(130, y - 4, 150, kRow - 2);
    return combo;
  };
  ccmbSortFieldColor = colour("ccmbSortFieldColor", "lblSortFieldColor", "Sort Field Color", top + 100);
  ccmbAddendumColor = colour("ccmbAddendumColor", "lblAddendumColor", "Addendum Color", top + 100 + kRow + 4);
}

void TfrmOptions::CreateFontsPage() {
  TTabSheet* page = NewPage("tsFonts", "Fonts");
  rgSelectFont = Radios(this, page, "rgSelectFont", "Area",
                        {"&Memos", "&Program List", "Report &Grid", "&Addendum"},
                        TRect{kMargin, kMargin, kMargin + 130, kMargin + 110});
  cmbFontName = NewControl<TComboBox>(this, page, "cmbFontName");
  cmbFontName->SetStyle(csDropDownList);
  cmbFontName->SetSorted(true);
  cmbFontName->SetBounds(150, kMargin + 8, 180, kRow - 2);
  txtFontSize = NewControl<TEdit>(this, page, "txtFontSize");
  txtFontSize->SetBounds(340, kMargin + 8, 50, kRow - 2);
  udFontSize = NewControl<TUpDown>(this, page, "udFontSize");
  udFontSize->SetMin(kMinFontSize);
  udFontSize->SetMax(kMaxFontSize);
  udFontSize->SetAssociate(txtFontSize);
  chkBold = Box(this, page, "chkBold", "&Bold", 150, kMargin + 2 * kRow, 80);
  chkItalic = Box(this, page, "chkItalic", "&Italic", 240, kMargin + 2 * kRow, 80);
  btnSetToDefault = NewControl<TButton>(this, page, "btnSetToDefault");
  btnSetToDefault->SetCaption("&Set to Default");
  btnSetToDefault->SetBounds(150, kMargin + 3 * kRow + 8, 110, kButtonHeight);
  memSample = NewControl<TMemo>(this, page, "memSample");
  memSample->SetReadOnly(true);
  memSample->SetBounds(kMargin, 130, 430, 180);
}

void TfrmOptions::CreateGridPage() {
  TTabSheet* page = NewPage("tsGrid", "Grid");
  NewLabel(this, page, "lblShowColumns", "Show Columns", kMargin, 4);
  const auto boxes = ExportFieldBoxes().first(kGridColumnBoxes);
  constexpr int kPerColumn = 9, kBoxWidth = 130;
  int i = 0;
  for (const ExportFieldBox& b : boxes) {
    GridColumnBoxes.push_back(Box(this, page, std::string("chkColumn_") + b.Field, b.Caption,
                                  kMargin + (i / kPerColumn) * kBoxWidth, 22 + (i % kPerColumn) * 22,
                                  kBoxWidth));
    ++i;
  }
  chkShowIndicator = Box(this, page, "chkShowIndicator", "Row Indicator",
                         kMargin + kBoxWidth, 22 + (kPerColumn - 2) * 22, kBoxWidth);
  NewLabel(this, page, "lblRowHeight", "Row Height", 280, 4);
  trackbarCellHeight = NewControl<TTrackBar>(this, page, "trackbarCellHeight");
  trackbarCellHeight->SetParams(kMinCellHeight, kMinCellHeight, kMaxCellHeight);
  trackbarCellHeight->SetBounds(280, 22, 150, 36);
  rgDateTime = Radios(this, page, "rgDateTime", "Show Date Fields As", {"Date", "Date && Time"},
                      TRect{280, 70, 430, 140});
  rgColumnMode = Radios(this, page, "rgColumnMode", "Column Mode", {"Sort", "Change Order"},
                        TRect{280, 150, 430, 220});
}

void TfrmOptions::CreateNewEntryPage() {
  TTabSheet* page = NewPage("tsNewEntry", "New Entry");
  chkShowEntryDialog = Box(this, page, "chkShowEntryDialog",
                           "Show &New Entry Dialog when adding entry", kMargin, kMargin, 400);
  chkShowEntryDialog->SetHint(
      "This will display a dialog to enter new entry information. Some users prefer a dialog\r"
      "instead of directly adding information to the grid.");
  chkShowEntryDialog->SetShowHint(true);
  auto group = [&](const char* name, const char* caption, int left) {
    auto* g = NewControl<TGroupBox>(this, page, name);
    g->SetCaption(caption);
    g->SetBounds(left, kMargin + kRow + 4, 210, 110);
    NewLabel(this, g, std::string(name) + "_Status", "Status", kMargin, 20);
    NewLabel(this, g, std::string(name) + "_Priority", "Priority", kMargin, 62);
    return g;
  };
  TGroupBox* bug = group("grpBugReport", "Bug Report", kMargin);
  TGroupBox* feature = group("grpFeatureRequest", "Feature Request", 230);
  cmbNewRecStatus = CodeList(this, bug, "cmbNewRecStatus", StatusItems(), false, kMargin, 36);
  cmbNewRecPriority = CodeList(this, bug, "cmbNewRecPriority", PriorityItems(), false, kMargin, 78);
  cmbNewRecStatus_Feature =
      CodeList(this, feature, "cmbNewRecStatus_Feature", StatusItems(), true, kMargin, 36);
  cmbNewRecPriority_Feature =
      CodeList(this, feature, "cmbNewRecPriority_Feature", PriorityItems(), true, kMargin, 78);
  chkCopyDescriptionToReport = Box(this, page, "chkCopyDescriptionToReport",
                                   "Copy &Description to Report", kMargin, 160, 400);
  chkEnterDate = Box(this, page, "chkEnterDate", "Enter todays date in Reported/Requested Date field",
                     kMargin, 160 + kRow, 400);
}

void TfrmOptions::CreateDropDownsPage() {
  TTabSheet* page = NewPage("tsDropDowns", "Drop Downs");
  popDropDowns = NewComponent<TPopupMenu>(this, "popDropDowns");
  auto item = [&](const char* name, const char* caption) {
    auto* i = NewComponent<TMenuItem>(this, name);
    i->SetCaption(caption);
    popDropDowns->Items()->Add(i);
    return i;
  };
  popDropDowns_Add = item("popDropDowns_Add", "&Add Entry");
  popDropDowns_Delete = item("popDropDowns_Delete", "&Delete Entry");
  popDropDowns_Add->OnClick = [this](TObject*) { AddEntryClick(); };
  popDropDowns_Delete->OnClick = [this](TObject*) { DeleteEntryClick(); };
  constexpr int kGridWidth = 140, kGridHeight = 130;
  int i = 0;
  for (const LookupGridInfo& g : LookupGrids()) {
    const int left = kMargin + (i % 3) * (kGridWidth + kMargin);
    const int top = 4 + (i / 3) * (kGridHeight + 24);
    NewLabel(this, page, std::string("lbl") + g.Name, g.Caption, left, top);
    auto* grid = NewControl<TwwDBGrid>(this, page, g.Name);
    grid->SetBounds(left, top + 18, kGridWidth, kGridHeight);
    grid->SetOptions({dgEditing, dgTitles, dgColumnResize, dgColLines, dgRowLines, dgTabs});
    grid->SetDataSource((frmBug->*g.Source));
    grid->Selected()->SetText(g.Columns);
    grid->SetPopupMenu(popDropDowns);
    const LookupGrid number = g.Number;
    grid->OnEnter = [this, number](TObject*) { LastGrid = number; };
    this->*g.Grid = grid;
    ++i;
  }
  dbgReportedBy->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
    dbgReportedBy->SetColWidths(1, std::max(0, dbgReportedBy->ClientWidth() - dbgReportedBy->ColWidths(0) - 2));
  };
}

void TfrmOptions::CreateDatabasePage() {
  TTabSheet* page = NewPage("tsDatabase", "Database");
  NewLabel(this, page, "lblLocation", "Database Location", kMargin, kMargin);
  txtLocation = NewControl<TEdit>(this, page, "txtLocation");
  txtLocation->SetBounds(kMargin, kMargin + 18, 340, kRow - 2);
  btnBrowse = NewControl<TButton>(this, page, "btnBrowse");
  btnBrowse->SetCaption("&Browse");
  btnBrowse->SetBounds(356, kMargin + 16, kButtonWidth, kButtonHeight);
  dlgBrowse = NewComponent<TOpenDialog>(this, "dlgBrowse");
  dlgBrowse->SetFilter("Vantrel Database (*.mdb)|*.mdb|All Files (*.*)|*.*");
  btnBrowse->OnClick = [this](TObject*) {
    if (dlgBrowse->Execute()) txtLocation->SetText(dlgBrowse->FileName());
  };
}

void TfrmOptions::CreateExportPage() {
  TTabSheet* page = NewPage("tsExport", "Export");
  NewLabel(this, page, "lblFieldsToInclude", "Fields To Include In Export", kMargin, 4);
  constexpr int kPerColumn = 12, kBoxWidth = 140;
  int i = 0;
  for (const ExportFieldBox& b : ExportFieldBoxes()) {
    ExportBoxes.push_back(Box(this, page, std::string("chkExport_") + b.Field, b.Caption,
                              kMargin + (i / kPerColumn) * kBoxWidth, 22 + (i % kPerColumn) * 20,
                              kBoxWidth));
    ++i;
  }
  // The page's colours as the export shows them: title and data rows on the background.
  auto panel = [&](TWinControl* parent, const char* name, const TRect& r) {
    auto* p = NewControl<TPanel>(this, parent, name);
    p->SetBevelOuter(bvLowered);
    p->SetCaption("");
    p->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    return p;
  };
  pnlBackground = panel(page, "pnlBackground", TRect{292, 150, 440, 260});
  pnlTitle = panel(pnlBackground, "pnlTitle", TRect{10, 10, 138, 48});
  pnlData = panel(pnlBackground, "pnlData", TRect{10, 58, 138, 96});
  auto label = [&](TPanel* parent, const char* name, const char* text) {
    auto* l = NewControl<TLabel>(this, parent, name);
    l->SetCaption(text);
    l->SetTransparent(true);
    l->SetBounds(8, 8, 90, 16);
    return l;
  };
  lblTitle = label(pnlTitle, "lblTitle", "Title");
  lblData = label(pnlData, "lblData", "Data");
  dlgColor = NewComponent<TColorDialog>(this, "dlgColor");
  auto pick = [](TControl* c, std::function<void()> f) {
    c->OnMouseDown = [f](TObject*, TMouseButton, TShiftState, int, int) { f(); };
  };
  pick(pnlTitle, [this] { PickTitleColor(); });
  pick(lblTitle, [this] { PickTitleColor(); });
  pick(pnlData, [this] { PickDataColor(); });
  pick(lblData, [this] { PickDataColor(); });
  pick(pnlBackground, [this] { PickBackgroundColor(); });
}

void TfrmOptions::CreateToolbarsPage() {
  TTabSheet* page = NewPage("tsToolbars", "Toolbars");
  NewLabel(this, page, "lblShowToolbars", "Show Toolbars", kMargin, 4);
  int row = 0;
  for (const ToolbarBox& t : ToolbarBoxes())
    this->*t.Box = Box(this, page, t.Name, t.Caption, kMargin, 22 + kRow * row++);
}

void TfrmOptions::CreateButtons() {
  const int top = kFormHeight - kMargin - kButtonHeight;
  auto button = [&](const char* name, const char* caption, int index) {
    auto* b = NewControl<TButton>(this, this, name);
    b->SetCaption(caption);
    b->SetBounds(kFormWidth - (3 - index) * (kButtonWidth + kMargin), top, kButtonWidth, kButtonHeight);
    return b;
  };
  btnOK = button("btnOK", "OK", 0);
  btnOK->SetDefault(true);
  btnOK->OnClick = [this](TObject*) {
    if (!PostLookupEdits()) return;
    ApplySettings();
    SetModalResult(mrOk);
  };
  btnCancel = button("btnCancel", "Cancel", 1);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  btnApply = button("btnApply", "&Apply", 2);
  btnApply->OnClick = [this](TObject*) {
    PostLookupEdits();
    ApplySettings();
    btnApply->SetEnabled(false);
  };
}

void TfrmOptions::RestoreWindowPosition() {
  RestoreStoredPosition(*this, Reg(), kOptionsSection, kTop, kLeft);
}

void TfrmOptions::SaveWindowPosition() {
  Reg().WriteInteger(kOptionsSection, kTop, Top());
  Reg().WriteInteger(kOptionsSection, kLeft, Left());
  Reg().WriteInteger(kOptionsSection, kOptionsPage, pcOptions->ActivePageIndex());
}

void TfrmOptions::FormShow(TObject*) {
  Application->SetHintHidePause(kDialogHintPause);
  LoadSettings();
  MemoFontChanged = ProgramFontChanged = GridFontChanged = false;
  ColumnsChanged = LocationChanged = false;
  btnApply->SetEnabled(false);
  loading_ = true;
  cmbFontName->Items()->Assign(Screen->Fonts());
  // A stored name the screen lists under another name (a substitute) is offered too.
  for (const PendingFont& font : Fonts)
    if (!font.Name.empty() && cmbFontName->Items()->IndexOf(font.Name) < 0)
      cmbFontName->Items()->Add(font.Name);
  memSample->SetText(kSample);
  loading_ = false;
  SelectFontArea();
  txtLocation->SetText(frmBug->DatabasePath);
  LocationChanged = false;
  dlgBrowse->SetInitialDir(ExtractFilePath(frmBug->DatabasePath));
  btnApply->SetEnabled(false);
  ShowLookupListsFromTheTop();
}
