// The options dialog's settings: which value each control shows, how it is
// written back and what applying it does to the main window.

#include <algorithm>

#include "app/common/beepmessage.h"
#include "app/exportfields/exportfields.h"
#include "app/main/bug.h"
#include "app/options/options.h"
#include "app/options/optiontables.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "platform/classlib/stdctrls/tabs.h"
#include "winctrls/colcombo.h"

namespace {

constexpr const char* kColumnVisible = "Column Visible";
constexpr const char* kColumnExport = "Column Export";
constexpr const char* kToolbarVisibility = "Toolbar Visibility";
constexpr int kPageCount = 8;
// A ReportedByColumnWidth of -100 was never saved: the grid keeps its own width.
constexpr int kNoColumnWidth = -100;
constexpr int kDefaultGreyColor = 0x808080;
const std::string kDefaultSeparator(25, '_');

// Status items in list order; the code is what an entry stores.
constexpr CodeItem kStatusItems[] = {
    {"New", "New", "1", TColor(0x0000FF)},
    {"In Process", "In Process", "2", TColor(0x00FFFF)},
    {"Delegated", "Delegated", "5", TColor(0xFF00FF)},
    {"Deferred", "Deferred", "6", TColor(0x008080)},
    {"No Longer Relevant", "No Longer Relevant", "7", TColor(0x808080)},
    {"Will Not Be Fixed", "Will Not Be Implemented", "8", TColor(0x000080)},
    {"Could Not Duplicate", "Could Not Duplicate", "9", TColor(0x800080)},
    {"Fixed", "Implemented", "3", TColor(0x00FF00)},
    {"Verified", "Verified", "4", TColor(0x008000)},
};
constexpr CodeItem kPriorityItems[] = {
    {"Very High", "Very High", "1", TColor(0x0000FF)},
    {"High", "High", "2", TColor(0x0080FF)},
    {"Normal", "Normal", "3", TColor(0x00FFFF)},
    {"Low", "Low", "4", TColor(0x00FF00)},
    {"Very Low", "Very Low", "5", TColor(0xFFFF00)},
};

// The four lists of the New Entry page, their values and default codes.
struct CodeList {
  TComboBox* TfrmOptions::*Combo;
  const char* Value;
  bool Status;
  const char* Default;
};
constexpr CodeList kCodeLists[] = {
    {&TfrmOptions::cmbNewRecStatus, "NewRecord_Status", true, "1"},
    {&TfrmOptions::cmbNewRecPriority, "NewRecord_Priority", false, "3"},
    {&TfrmOptions::cmbNewRecStatus_Feature, "NewRecord_Status_Feature", true, "1"},
    {&TfrmOptions::cmbNewRecPriority_Feature, "NewRecord_Priority_Feature", false, "3"},
};

constexpr LookupGridInfo kLookupGrids[] = {
    {"dbgVersion", "&Version / Version Fixed In", TfrmOptions::agVersion, &TfrmBug::wwdsVersion,
     &TfrmBug::wwtaVersion, &TfrmOptions::dbgVersion, "Version", "Version\t20\tVersion"},
    {"dbgReportedBy", "&Reported By", TfrmOptions::agReportedBy, &TfrmBug::wwdsUser,
     &TfrmBug::wwtaReportedBy, &TfrmOptions::dbgReportedBy, "User",
     "User\t20\tUser\nEmail\t20\tEmail"},
    {"dbgFixed_Verified", "&Fixed / Verified By", TfrmOptions::agFixedVerified,
     &TfrmBug::wwdsEmployee, &TfrmBug::wwtaFixedBy, &TfrmOptions::dbgFixed_Verified, "Employee",
     "Employee\t20\tEmployee"},
    {"dbgArea", "&Area", TfrmOptions::agArea, &TfrmBug::wwdsArea, &TfrmBug::wwtaArea,
     &TfrmOptions::dbgArea, "Area", "Area\t20\tArea"},
    {"dbgSeverity", "&Severity", TfrmOptions::agSeverity, &TfrmBug::wwdsSeverity,
     &TfrmBug::wwtaSeverity, &TfrmOptions::dbgSeverity, "Severity", "Severity\t20\tSeverity"},
};

constexpr ToolbarBox kToolbarBoxes[] = {
    {&TfrmOptions::chkToolbars_Reports, "chkToolbars_Reports", "Reports && Charts", "Reports"},
    {&TfrmOptions::chkToolbars_Edit, "chkToolbars_Edit", "Edit", "Edit"},
    {&TfrmOptions::chkToolbars_Filter, "chkToolbars_Filter", "Filter", "Filter"},
    {&TfrmOptions::chkToolbars_Records, "chkToolbars_Records", "Records", "Records"},
    {&TfrmOptions::chkToolbars_Programs, "chkToolbars_Programs", "Programs", "Programs"},
    {&TfrmOptions::chkToolbars_MemoOps, "chkToolbars_MemoOps", "Memo Operations", "Memo Operations"},
    {&TfrmOptions::chkToolbars_MemoColor, "chkToolbars_MemoColor", "Memo Color && Size",
     "Memo Color && Size"},
    {&TfrmOptions::chkToolbars_MemoFormatting, "chkToolbars_MemoFormatting", "Memo Formatting",
     "Memo Formatting"},
    {&TfrmOptions::chkToolbars_Attachments, "chkToolbars_Attachments", "Attachments", "Attachments"},
};

constexpr BoolSetting kBoolSettings[] = {
    {&TfrmOptions::chkShowEntryDialog, kOptionsSection, "ShowEntryDialog", true},
    {&TfrmOptions::chkCopyDescriptionToReport, kOptionsSection, "CopyDescToRept", true},
    {&TfrmOptions::chkEnterDate, kOptionsSection, "EnterDate", true},
    {&TfrmOptions::chkConfirmDeletes, kOptionsSection, "ConfirmDeletes", true},
    {&TfrmOptions::chkShowMemoFieldStatus, kOptionsSection, "ShowMemoFieldStatus", true},
    {&TfrmOptions::chkPlainText, kOptionsSection, "PlainText", false},
    {&TfrmOptions::chkShowIndicator, kColumnVisible, "ShowRowIndicator", true},
};

// Memos, Program List, Report Grid, Addendum.
constexpr FontAreaInfo kFontAreas[] = {
    {"Document", "Arial", 10}, {"Tree", "MS Sans Serif", 8},
    {"Grid", "MS Sans Serif", 8}, {"Addendum", "Arial", 10}};

// A radio group kept as its item number.
struct RadioSetting {
  TRadioGroup* TfrmOptions::*Group;
  const char* Value;
};
constexpr RadioSetting kRadioSettings[] = {
    {&TfrmOptions::rgInactiveTabColor, "InactiveTabColor"},
    {&TfrmOptions::rgRowIndicatorColor, "RowIndColor"},
    {&TfrmOptions::rgDateTime, "DateTimeFormat"},
};

// A colour combo kept as its colour; addenda are drawn grey until one is chosen.
struct ColorSetting {
  TColorComboBox* TfrmOptions::*Combo;
  const char* Value;
};
constexpr ColorSetting kColorSettings[] = {
    {&TfrmOptions::ccmbSortFieldColor, "SortFieldColor"},
    {&TfrmOptions::ccmbAddendumColor, "AddendumFieldColor"},
};

// An HTML colour panel and its value in Settings.
struct PanelSetting {
  TPanel* TfrmOptions::*Panel;
  const char* Value;
  int Default;
};
constexpr PanelSetting kPanelSettings[] = {
    {&TfrmOptions::pnlTitle, "HTML Export Color Title", 7912636},
    {&TfrmOptions::pnlData, "HTML Export Color Data", 12902911},
    {&TfrmOptions::pnlBackground, "HTML Export Color Background", 0xFFFFFF},
};

std::span<const CodeItem> ItemsOf(const CodeList& list) {
  return list.Status ? StatusItems() : PriorityItems();
}

}  // namespace

std::span<const CodeItem> StatusItems() { return kStatusItems; }
std::span<const CodeItem> PriorityItems() { return kPriorityItems; }
std::span<const LookupGridInfo> LookupGrids() { return kLookupGrids; }
std::span<const ToolbarBox> ToolbarBoxes() { return kToolbarBoxes; }
std::span<const BoolSetting> BoolSettings() { return kBoolSettings; }
std::span<const FontAreaInfo> FontAreas() { return kFontAreas; }

int ItemOfCode(std::span<const CodeItem> items, const std::string& code) {
  for (size_t i = 0; i < items.size(); ++i)
    if (code == items[i].Code) return int(i);
  return -1;
}

void TfrmOptions::LoadSettings() {
  TRegIniFile& reg = Reg();
  loading_ = true;
  for (const CodeList& list : kCodeLists)
    (this->*list.Combo)
        ->SetItemIndex(ItemOfCode(ItemsOf(list), reg.ReadString(kOptionsSection, list.Value, list.Default)));
  for (const BoolSetting& b : kBoolSettings)
    (this->*b.Box)->SetChecked(reg.ReadBool(b.Section, b.Value, b.Default));
  const int reportedByWidth = reg.ReadInteger(kOptionsSection, "ReportedByColumnWidth", kNoColumnWidth);
  if (reportedByWidth != kNoColumnWidth) dbgReportedBy->SetColWidths(0, reportedByWidth);
  const int page = reg.ReadInteger(kOptionsSection, kOptionsPage, 0);
  if (page >= 0 && page < kPageCount) pcOptions->SetActivePageIndex(page);
  else ShowMessage("Internal Assert error #11");
  txtSeperatorLine->SetText(reg.ReadString(kOptionsSection, "SeperatorLine", kDefaultSeparator));
  for (const ColorSetting& c : kColorSettings)
    (this->*c.Combo)->SetSelectedColor(TColor(reg.ReadInteger(kOptionsSection, c.Value, kDefaultGreyColor)));
  for (const RadioSetting& r : kRadioSettings)
    (this->*r.Group)->SetItemIndex(reg.ReadInteger(kOptionsSection, r.Value, 0));
  for (int a = 0; a < faCount; ++a) {
    const FontAreaInfo& info = kFontAreas[a];
    const std::string suffix = info.Suffix;
    Fonts[a] = {reg.ReadString(kOptionsSection, "FontName_" + suffix, info.Name),
                std::clamp(reg.ReadInteger(kOptionsSection, "FontSize_" + suffix, info.Size),
                           kMinFontSize, kMaxFontSize),
                reg.ReadBool(kOptionsSection, "FontBold_" + suffix, false),
                reg.ReadBool(kOptionsSection, "FontItalic_" + suffix, false)};
  }
  const auto fields = ExportFieldBoxes();
  for (size_t i = 0; i < GridColumnBoxes.size(); ++i)
    GridColumnBoxes[i]->SetChecked(reg.ReadBool(kColumnVisible, fields[i].Field, true));
  for (size_t i = 0; i < ExportBoxes.size(); ++i)
    ExportBoxes[i]->SetChecked(reg.ReadBool(kColumnExport, fields[i].Field, true));
  for (const ToolbarBox& t : kToolbarBoxes)
    (this->*t.Box)->SetChecked(reg.ReadBool(kToolbarVisibility, t.Value, true));
  for (const PanelSetting& p : kPanelSettings)
    (this->*p.Panel)->SetColor(TColor(reg.ReadInteger(kSettingsSection, p.Value, p.Default)));
  trackbarCellHeight->SetPosition(reg.ReadInteger(kSettingsSection, "Cell Height", kMinCellHeight));
  rgColumnMode->SetItemIndex(frmBug->popGrid_ColumnMode_Sort->Checked() ? 0 : 1);
  loading_ = false;
}

void TfrmOptions::SaveSettings() {
  TRegIniFile& reg = Reg();
  for (const CodeList& list : kCodeLists) {
    // A stored code no item carries stays as it is until the user picks one.
    const int item = (this->*list.Combo)->ItemIndex();
    if (item >= 0) reg.WriteString(kOptionsSection, list.Value, ItemsOf(list)[size_t(item)].Code);
  }
  for (const RadioSetting& r : kRadioSettings)
    reg.WriteInteger(kOptionsSection, r.Value, (this->*r.Group)->ItemIndex());
  for (const ColorSetting& c : kColorSettings)
    reg.WriteInteger(kOptionsSection, c.Value, int((this->*c.Combo)->SelectedColor()));
  for (const BoolSetting& b : kBoolSettings) reg.WriteBool(b.Section, b.Value, (this->*b.Box)->Checked());
  reg.WriteString(kOptionsSection, "SeperatorLine", txtSeperatorLine->Text());
  for (int a = 0; a < faCount; ++a) {
    const std::string suffix = kFontAreas[a].Suffix;
    reg.WriteString(kOptionsSection, "FontName_" + suffix, Fonts[a].Name);
    reg.WriteInteger(kOptionsSection, "FontSize_" + suffix, Fonts[a].Size);
    reg.WriteBool(kOptionsSection, "FontBold_" + suffix, Fonts[a].Bold);
    reg.WriteBool(kOptionsSection, "FontItalic_" + suffix, Fonts[a].Italic);
  }
  const auto fields = ExportFieldBoxes();
  for (size_t i = 0; i < GridColumnBoxes.size(); ++i)
    reg.WriteBool(kColumnVisible, fields[i].Field, GridColumnBoxes[i]->Checked());
  reg.WriteInteger(kOptionsSection, "ReportedByColumnWidth", dbgReportedBy->ColWidths(0));
  for (size_t i = 0; i < ExportBoxes.size(); ++i)
    reg.WriteBool(kColumnExport, fields[i].Field, ExportBoxes[i]->Checked());
  for (const PanelSetting& p : kPanelSettings)
    reg.WriteInteger(kSettingsSection, p.Value, int((this->*p.Panel)->Color()));
  for (const ToolbarBox& t : kToolbarBoxes)
    reg.WriteBool(kToolbarVisibility, t.Value, (this->*t.Box)->Checked());
  reg.WriteInteger(kSettingsSection, "Cell Height", trackbarCellHeight->Position());
  if (LocationChanged) reg.WriteString(kSettingsSection, "DatabaseLocation", txtLocation->Text());
}

void TfrmOptions::ApplyFontTo(TFont* font, FontArea area) const {
  const PendingFont& pending = Fonts[area];
  font->SetName(pending.Name);
  font->SetSize(pending.Size);
  TFontStyles style = font->Style();
  if (pending.Bold) style.Include(fsBold);
  else style.Exclude(fsBold);
  if (pending.Italic) style.Include(fsItalic);
  else style.Exclude(fsItalic);
  font->SetStyle(style);
}

void TfrmOptions::ApplySettings() {
  SaveSettings();
  // The flag stays set until the dialog shows again, so each Apply repeats the notice.
  if (LocationChanged && txtLocation->Text() != frmBug->DatabasePath)
    ShowBeepInfo("The location of the database has been changed.\r\r"
                 "Vantrel must be restarted before it will use this database.");
  ApplyToMainWindow();
}

void TfrmOptions::ApplyToMainWindow() {
  TfrmBug* f = frmBug;
  // Date display and row height are read back from the values just written.
  f->ApplyRowHeightAndDates();
  f->ApplyColorOptions();
  if (GridFontChanged) {
    ApplyFontTo(f->dbgBug->Font(), faGrid);
    f->LoadColumnWidths();
  }
  if (ProgramFontChanged) ApplyFontTo(f->dbgridPrograms->Font(), faProgramList);
  if (ColumnsChanged) {
    f->LoadColumnVisibility();
    f->LoadColumnWidths();
  }
  if (chkShowIndicator->Checked()) f->RowIndicatorOn();
  else f->RowIndicatorOff();
  f->LoadColumnWidths();
  f->LoadToolbarVisibility();
  const bool sorting = rgColumnMode->ItemIndex() == 0;
  f->popGrid_ColumnMode_Sort->SetChecked(sorting);
  f->popGrid_ColumnMode_ChangeOrder->SetChecked(!sorting);
  f->dbgBug->SetTitleButtons(sorting);
  f->ApplyPlainTextMode();
  f->wwtblProgram->Refresh();
  f->dsetBug->Refresh();
  // Edit state only on an entry: on an empty program it would start a new one.
  if (!f->dsetBug->IsEmpty()) f->dsetBug->Edit();
  // The refresh reloads the memos, and with them their default font: the new
  // one goes on after it.
  if (MemoFontChanged) f->ApplyDocumentFont();
}
