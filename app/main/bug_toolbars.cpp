// The main window's docks' toolbars and their buttons.

#include "app/common/components.h"
#include "app/main/bug.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "winctrls/colcombo.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

// The advanced filter button's group: apart from the fourteen quick filters'.
constexpr int kAdvancedFilterGroup = 240;
// Width of the memo font-name box and the colour combo on their toolbar.
constexpr int kFontNameWidth = 150, kColorComboWidth = 110;

TToolWindow97* NewBar(TfrmBug* form, const char* name, const char* caption, TDock97* dock,
                      TPopupMenu* popup) {
  auto* bar = NewComponent<TToolWindow97>(form, name);
  bar->SetCaption(caption);
  bar->SetCloseButton(false);
  bar->SetPopupMenu(popup);
  bar->SetDockedTo(dock);
  return bar;
}

TToolbarButton97* NewButton(TfrmBug* form, TToolWindow97* bar, const char* name,
                            const char* caption, const char* hint) {
  auto* b = NewControl<TToolbarButton97>(form, bar, name);
  b->SetCaption(caption);
  b->SetHint(hint);
  b->SetShowHint(true);
  return b;
}

// A quick-filter button: a group of its own, allowed up, down = entries shown.
TToolbarButton97* NewFilterButton(TfrmBug* form, const char* name, const char* caption,
                                  const char* shown, int group) {
  auto* b = NewButton(form, form->tbarFilters, name, caption,
                      (std::string("Hide '") + shown + "'").c_str());
  b->SetGroupIndex(group);
  b->SetAllowAllUp(true);
  b->SetDown(true);
  return b;
}

}  // namespace

void TfrmBug::CreateToolbars() {
  tbarMisc = NewBar(this, "tbarMisc", "Reports & Charts", Dock_Top, popToolbars);
  tbPrintPreview = NewButton(this, tbarMisc, "tbPrintPreview", "Preview", "Print Preview");
  tbPrintPreview->SetDropdownMenu(popPrintPreview);
  tbChart = NewButton(this, tbarMisc, "tbChart", "Chart", "Status Chart");
  tbChart->SetDropdownMenu(popChart);
  tbChart->SetDropdownCombo(true);
  tbPrintReport = NewButton(this, tbarMisc, "tbPrintReport", "Print", "Print");
  tbPrintReport->SetDropdownMenu(popPrint);

  tbarEdit = NewBar(this, "tbarEdit", "Edit", Dock_Top, popToolbars);
  tbCut = NewButton(this, tbarEdit, "tbCut", "Cut", "Cut");
  tbCopy = NewButton(this, tbarEdit, "tbCopy", "Copy", "Copy");
  tbPaste = NewButton(this, tbarEdit, "tbPaste", "Paste", "Paste");
  tbUndo = NewButton(this, tbarEdit, "tbUndo", "Undo", "Undo");

  tbarProgram = NewBar(this, "tbarProgram", "Programs", dock_Programs, popToolbars);
  tbAddProgram = NewButton(this, tbarProgram, "tbAddProgram", "Add", "Add Program");
  tbDeleteProgram = NewButton(this, tbarProgram, "tbDeleteProgram", "Delete", "Delete Program");
  tbProgramProperties =
      NewButton(this, tbarProgram, "tbProgramProperties", "Properties", "Program Properties");

  tbarBug = NewBar(this, "tbarBug", "Records", Dock_Filter, popToolbars);
  tbAddBugReport = NewButton(this, tbarBug, "tbAddBugReport", "Bug", "Add Bug Report");
  tbAddFeature = NewButton(this, tbarBug, "tbAddFeature", "Feature", "Add Feature Request");
  tbDelete = NewButton(this, tbarBug, "tbDelete", "Delete", "Delete Bug Report");
  tbSwitch = NewButton(this, tbarBug, "tbSwitch", "Switch", "Moves selected entry to Feature Requests");
  tbFind = NewButton(this, tbarBug, "tbFind", "Find", "Find");

  tbarFilters = NewBar(this, "tbarFilters", "Filter", Dock_Filter, popFilter);
  int group = 1;
  tbStatusFilter_NewReport = NewFilterButton(this, "tbStatusFilter_NewReport", "N", "New", group++);
  tbStatusFilter_InProcess = NewFilterButton(this, "tbStatusFilter_InProcess", "IP", "In Process", group++);
  tbStatusFilter_Fixed = NewFilterButton(this, "tbStatusFilter_Fixed", "F", "Fixed", group++);
  tbStatusFilter_Completed = NewFilterButton(this, "tbStatusFilter_Completed", "V", "Verified", group++);
  tbStatusFilter_Delegated = NewFilterButton(this, "tbStatusFilter_Delegated", "De", "Delegated", group++);
  tbStatusFilter_Deferred = NewFilterButton(this, "tbStatusFilter_Deferred", "Df", "Deferred", group++);
  tbStatusFilter_NoLongerRelevant = NewFilterButton(this, "tbStatusFilter_NoLongerRelevant", "NR",
                                                    "No Longer Relevant", group++);
  tbStatusFilter_WillNotBeFixed = NewFilterButton(this, "tbStatusFilter_WillNotBeFixed", "WN",
                                                  "Will Not Be Fixed", group++);
  tbStatusFilter_CouldNotDuplicate = NewFilterButton(this, "tbStatusFilter_CouldNotDuplicate", "CD",
                                                     "Could Not Duplicate", group++);
  tbPriorityFilter_VeryHigh = NewFilterButton(this, "tbPriorityFilter_VeryHigh", "1",
                                              "Very High Priority", group++);
  tbPriorityFilter_High = NewFilterButton(this, "tbPriorityFilter_High", "2", "High Priority", group++);
  tbPriorityFilter_Normal = NewFilterButton(this, "tbPriorityFilter_Normal", "3", "Normal Priority", group++);
  tbPriorityFilter_Low = NewFilterButton(this, "tbPriorityFilter_Low", "4", "Low Priority", group++);
  tbPriorityFilter_VeryLow = NewFilterButton(this, "tbPriorityFilter_VeryLow", "5", "Very Low Priority", group++);
  btnAdvancedFilter = NewButton(this, tbarFilters, "btnAdvancedFilter", "Filter", "Set Advanced Filter");
  btnAdvancedFilter->SetGroupIndex(kAdvancedFilterGroup);
  btnAdvancedFilter->SetAllowAllUp(true);
  btnAdvancedFilter->SetDropdownMenu(popFilters);

  tbarAttachment = NewBar(this, "tbarAttachment", "Attachments", Dock_Attachments, popToolbars);
  tbLargeIcons = NewButton(this, tbarAttachment, "tbLargeIcons", "Large", "Large Icons View");
  tbSmallIcons = NewButton(this, tbarAttachment, "tbSmallIcons", "Small", "Small Icons View");
  tbList = NewButton(this, tbarAttachment, "tbList", "List", "List View");
  tbAttach = NewButton(this, tbarAttachment, "tbAttach", "Attach", "Attach File");
  tbDeleteAttachment = NewButton(this, tbarAttachment, "tbDeleteAttachment", "Delete", "Delete Attachment");
  tbAttachmentProperties = NewButton(this, tbarAttachment, "tbAttachmentProperties", "Properties",
                                     "Attachment Properties");
  tbAttachmentExecute = NewButton(this, tbarAttachment, "tbAttachmentExecute", "Open", "Execute Attachment");
  for (auto* b : {tbLargeIcons, tbSmallIcons, tbList}) b->SetGroupIndex(1);

  tbarRTF_1 = NewBar(this, "tbarRTF_1", "Memo Operations", Dock_RTF, popToolbars);
  btnRTFPrint = NewButton(this, tbarRTF_1, "btnRTFPrint", "Print", "Print Memo");
  tbReportLine = NewButton(this, tbarRTF_1, "tbReportLine", "Line", "Insert Separator Line");
  btnInsertAddendum = NewButton(this, tbarRTF_1, "btnInsertAddendum", "Addendum", "Insert Addendum");

  tbarRTF_2 = NewBar(this, "tbarRTF_2", "Memo Color & Size", Dock_RTF, popToolbars);
  tbarRTF_2->SetCanDockLeftRight(false);
  ccbTextColor = NewControl<TColorComboBox>(this, tbarRTF_2, "ccbTextColor");
  ccbTextColor->SetWidth(kColorComboWidth);
  cmbRTF_FontName = NewControl<TComboBox>(this, tbarRTF_2, "cmbRTF_FontName");
  cmbRTF_FontName->SetWidth(kFontNameWidth);
  cmbRTF_FontName->SetStyle(csDropDownList);

  tbarRTF_3 = NewBar(this, "tbarRTF_3", "Memo Formatting", Dock_RTF, popToolbars);
  btnRTF_LeftAlign = NewButton(this, tbarRTF_3, "btnRTF_LeftAlign", "L", "Align Left");
  btnRTF_CenterAlign = NewButton(this, tbarRTF_3, "btnRTF_CenterAlign", "C", "Center");
  btnRTF_RightAlign = NewButton(this, tbarRTF_3, "btnRTF_RightAlign", "R", "Align Right");
  btnRTF_LeftAlign->SetTag(0);
  btnRTF_RightAlign->SetTag(1);
  btnRTF_CenterAlign->SetTag(2);
  for (auto* b : {btnRTF_LeftAlign, btnRTF_CenterAlign, btnRTF_RightAlign}) b->SetGroupIndex(1);
  btnRTF_LeftAlign->SetDown(true);
  tbDecreaseFontSize = NewButton(this, tbarRTF_3, "tbDecreaseFontSize", "A-", "Decrease font size");
  tbIncreaseFontSize = NewButton(this, tbarRTF_3, "tbIncreaseFontSize", "A+", "Increase font size");
  btnRTF_Bold = NewButton(this, tbarRTF_3, "btnRTF_Bold", "B", "Bold");
  btnRTF_Italic = NewButton(this, tbarRTF_3, "btnRTF_Italic", "I", "Italic");
  btnRTF_Underline = NewButton(this, tbarRTF_3, "btnRTF_Underline", "U", "Underline");
  btnRTF_Bullets = NewButton(this, tbarRTF_3, "btnRTF_Bullets", "*", "Bullets");
  // Each style button toggles by itself.
  int styleGroup = 2;
  for (auto* b : {btnRTF_Bold, btnRTF_Italic, btnRTF_Underline, btnRTF_Bullets}) {
    b->SetGroupIndex(styleGroup++);
    b->SetAllowAllUp(true);
  }
}
