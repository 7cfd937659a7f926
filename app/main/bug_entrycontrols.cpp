// The window's labels per entry kind, and the enabling of the detail pane and
// the toolbar buttons by whether the entry table is empty.

#include "app/main/bug.h"
#include "app/newentry/enternewrecord.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/listview.h"
#include "winctrls/colcombo.h"
#include "winctrls/exttab.h"
#include "winctrls/filedrag.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

// Everything that reads differently for bug reports and feature requests.
struct KindTexts {
  const char* switchHint;
  const char* reportedBy;
  const char* reportedDate;
  const char* deleteHint;
  const char* fixedChart;
  const char* deleteItem;
  const char* thisEntry;
  const char* newCaption;
  const char* memoTabs[3];
  const char* fixedInVersion;
  const char* fixedBy;
  const char* fixedDate;
  const char* memoLabels[3];
  const char* fixedWord;  // in the Fixed status filter button's hint
};

namespace {

constexpr KindTexts kBugTexts = {
    "Moves selected entry to Feature Requests", "Reported~By", "Reported~Date",
    "Delete Bug Report", "&Fixed...", "&Bug Report", "&This Bug Report...", "New Bug Report",
    {" Report ", "   Steps To Recreate   ", "  Workaround  "}, "Fixed in~Version", "Fixed~By",
    "Fixed~Date", {"Report", "Steps To Recreate", "Workaround"}, "Fixed"};

constexpr KindTexts kFeatureTexts = {
    "Moves selected entry to Bug Reports", "Requested~By", "Requested~Date",
    "Delete Feature Request", "&Implemented...", "&Feature Request",
    "&This Feature Request...", "New Feature Request",
    {" Request ", "   Implementation Notes   ", "  New Ideas  "}, "Implemented In~Version",
    "Implemented~By", "Implemented~Date", {"Request", "Implementation Notes", "New Ideas"},
    "Implemented"};

// The grid fields whose text the cut, copy and paste commands work on.
bool IsClipboardField(const std::string& field) {
  for (const char* name : {"Description", "Version", "ReportedBy", "ReportedDate", "FixedBy",
                           "FixedDate", "VerifiedBy", "VerifiedDate"})
    if (field == name) return true;
  return false;
}

}  // namespace

void TfrmBug::SetBugReportCaptions() { ApplyKindTexts(kBugTexts); }
void TfrmBug::SetFeatureRequestCaptions() { ApplyKindTexts(kFeatureTexts); }

void TfrmBug::ApplyKindTexts(const KindTexts& t) {
  tbSwitch->SetHint(t.switchHint);
  tbDelete->SetHint(t.deleteHint);
  popChart_Fixed->SetCaption(t.fixedChart);
  mnuMain_View_Graphs_Fixed->SetCaption(t.fixedChart);
  mnuMain_Edit_Delete_Report->SetCaption(t.deleteItem);
  mnuMain_File_Print_Single->SetCaption(t.thisEntry);
  mnuMain_File_Export_ThisRecord->SetCaption(t.thisEntry);
  if (frmEnterNewRecord) frmEnterNewRecord->SetCaption(t.newCaption);
  const char* fieldLabels[][2] = {{"ReportedBy", t.reportedBy},
                                  {"ReportedDate", t.reportedDate},
                                  {"FixedInVersion", t.fixedInVersion},
                                  {"FixedBy", t.fixedBy},
                                  {"FixedDate", t.fixedDate},
                                  {"Report", t.memoLabels[0]},
                                  {"Steps", t.memoLabels[1]},
                                  {"Workaround", t.memoLabels[2]}};
  for (const auto& [field, label] : fieldLabels)
    dsetBug->FieldByName(field)->SetDisplayLabel(label);
  for (int i = 0; i < 3; ++i) tcRTFs->Tabs()->SetStrings(i, t.memoTabs[i]);
  const std::string shown = tbStatusFilter_Fixed->Down() ? "Hide '" : "Show '";
  tbStatusFilter_Fixed->SetHint(shown + t.fixedWord + "'");
  LoadColumnWidths();
}

void TfrmBug::UpdateDetailControls() {
  if (Busy) return;
  UpdateToolbarButtons();
  const bool on = !dsetBug->IsEmpty();
  dbgBug->SetEnabled(on);
  dbgBug->TitleFont()->SetColor(on ? clWindowText : clGrayText);
  dbgBugIButton->SetEnabled(on);
  tcRTFs->Font()->SetColor(on ? clWindowText : clYellow);
  tcRTFs->SetEnabled(on);
  for (TControl* c : std::initializer_list<TControl*>{
           rtfReport, rtfResolution, rtfSteps, rtfWorkAround, lvAttachments, tbarRTF_1,
           tbarRTF_2, tbarRTF_3, btnInsertAddendum, tbReportLine, btnRTFPrint, ccbTextColor,
           cmbRTF_FontName, tbDecreaseFontSize, tbIncreaseFontSize, btnRTF_Bold, btnRTF_Italic,
           btnRTF_Underline, btnRTF_LeftAlign, btnRTF_CenterAlign, btnRTF_RightAlign,
           btnRTF_Bullets, tbarAttachment})
    c->SetEnabled(on);
  FileDrag->SetEnableDrop(on);
  // Plain-text mode keeps the formatting controls off.
  ApplyPlainTextMode();
}

void TfrmBug::UpdateToolbarButtons() {
  if (Busy) return;
  const bool on = !dsetBug->IsEmpty();
  for (TToolbarButton97* b : {tbPrintReport, tbPrintPreview, tbChart, tbDelete, tbSwitch, tbFind})
    b->SetEnabled(on);
  TField* field = on ? dbgBug->GetSelectedField() : nullptr;
  const bool clip = field && IsClipboardField(field->FieldName());
  tbCut->SetEnabled(clip);
  tbCopy->SetEnabled(clip);
  if (!on) {
    tbUndo->SetEnabled(false);
    PasteEnabled = false;
  }
  // Paste follows the clipboard: text copied in another program counts too.
  const bool paste = clip && Clipboard()->HasFormat(CF_TEXT);
  for (TMenuItem* item : {mnuMain_Edit_Paste, popGrid_Paste}) item->SetEnabled(paste);
  tbPaste->SetEnabled(paste);
}
