#include "app/main/bug.h"

#include "app/common/components.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/edits/wwdotdot.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/listview.h"
#include "winctrls/exttab.h"
#include "winctrls/filedrag.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

IMPLEMENT_CLASS(TfrmBug, TForm)

TfrmBug* frmBug = nullptr;

namespace {

// The window's first size; the stored placement replaces it once saved.
constexpr int kDesignWidth = 780, kDesignHeight = 560;
// The panes' sizes before the stored ones apply (the stored defaults).
constexpr int kProgramsWidth = 130, kGridHeight = 240;
// The tab bar above the grid and the memo editors' font.
constexpr int kTypeTabsHeight = 24;
constexpr const char* kMemoFont = "Arial";

}  // namespace

TfrmBug::TfrmBug(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmBug");
  SetCaption(kProductName);
  SetWidth(kDesignWidth);
  SetHeight(kDesignHeight);
  SetKeyPreview(true);
  CreateDatasets();
  CreateFields();
  CreatePopupMenus();
  CreatePanes();
  CreateRecordPane();
  CreateGridEditors();
  CreateLookupCombos();
  CreateToolbars();
  GiveToolbarGlyphs();
  CreateMenus();
  GiveMenuPictures();
  FileDrag = NewComponent<TFileDrag>(this, "FileDrag");
  LocateDialog = NewComponent<TwwLocateDialog>(this, "LocateDialog");
  PrintDialog = NewComponent<TPrintDialog>(this, "PrintDialog");

  OnCreate = [this](TObject*) { InitMainForm(); };
  OnShow = [this](TObject* sender) { FormShow(sender); };
  OnActivate = [this](TObject* sender) { FormActivate(sender); };
  OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
  // Each area connects its own handlers.
  WireEntryHandlers();
  WireFilterHandlers();
  WireColumnHandlers();
  WireMemoHandlers();
  WireCommandHandlers();
  WireExportHandlers();
  WireAttachmentHandlers();
  InstallOptionsCommands();
  InstallStatisticsCommands();
  InstallReportCommands();
}

// The form's own destruction event would come after the members are gone.
TfrmBug::~TfrmBug() {
  FormDestroy(this);
  if (frmBug == this) frmBug = nullptr;
}

void TfrmBug::CreatePanes() {
  Dock_Top = NewControl<TDock97>(this, this, "Dock_Top");
  Dock_Top->SetPosition(dpTop);
  Dock_Bottom = NewControl<TDock97>(this, this, "Dock_Bottom");
  Dock_Bottom->SetPosition(dpBottom);
  Dock_Left = NewControl<TDock97>(this, this, "Dock_Left");
  Dock_Left->SetPosition(dpLeft);
  Dock_Right = NewControl<TDock97>(this, this, "Dock_Right");
  Dock_Right->SetPosition(dpRight);

  pnlPrograms = NewControl<TPanel>(this, this, "pnlPrograms", alLeft);
  pnlPrograms->SetWidth(kProgramsWidth);
  pnlPrograms->SetCaption("");
  dock_Programs = NewControl<TDock97>(this, pnlPrograms, "dock_Programs");
  dock_Programs->SetPosition(dpTop);
  dbgridPrograms = NewControl<TwwDBGrid>(this, pnlPrograms, "dbgridPrograms", alClient);
  dbgridPrograms->SetDataSource(wwdsProgram);
  dbgridPrograms->Selected()->SetText("Program\t20\tProgram");
  dbgridPrograms->SetPopupMenu(popPrograms);
  splPrograms = NewControl<TSplitter>(this, this, "splPrograms", alLeft);

  pnlMain = NewControl<TPanel>(this, this, "pnlMain", alClient);
  pnlMain->SetCaption("");
  Dock_Filter = NewControl<TDock97>(this, pnlMain, "Dock_Filter");
  Dock_Filter->SetPosition(dpTop);
  pnlGrid = NewControl<TPanel>(this, pnlMain, "pnlGrid", alTop);
  pnlGrid->SetHeight(kGridHeight);
  pnlGrid->SetCaption("");
  tcType = NewControl<TExtTabControl>(this, pnlGrid, "tcType", alTop);
  tcType->SetHeight(kTypeTabsHeight);
  tcType->Tabs()->Add("Bug Reports");
  tcType->Tabs()->Add("Feature Requests");
  tcType->Hottrack()->SetEnabled(true);
  dbgBug = NewControl<TwwDBGrid>(this, pnlGrid, "dbgBug", alClient);
  dbgBug->SetDataSource(dsBug);
  dbgBug->SetTitleLines(2);
  dbgBug->SetOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines,
                      dgTabs, dgAlwaysShowSelection, dgCancelOnExit, dgWordWrap,
                      dgPerfectRowFit});
  dbgBug->SetPopupMenu(popGrid);
  dbgBugIButton = NewControl<TToolbarButton97>(this, dbgBug, "dbgBugIButton");
  dbgBugIButton->SetBounds(0, 0, 11, 30);
  dbgBugIButton->SetHint("Edit Entry");
  splGrid = NewControl<TSplitter>(this, pnlMain, "splGrid", alTop);
  // A splitter turned to the top keeps the height it had standing on the left.
  splGrid->SetHeight(3);
}

void TfrmBug::CreateRecordPane() {
  pnlRecord = NewControl<TPanel>(this, pnlMain, "pnlRecord", alClient);
  pnlRecord->SetCaption("");
  Dock_RTF = NewControl<TDock97>(this, pnlRecord, "Dock_RTF");
  Dock_RTF->SetPosition(dpTop);
  Dock_Attachments = NewControl<TDock97>(this, pnlRecord, "Dock_Attachments");
  Dock_Attachments->SetPosition(dpTop);
  tcRTFs = NewControl<TExtTabControl>(this, pnlRecord, "tcRTFs", alClient);
  for (const char* caption : {" Report ", "   Steps To Recreate   ", "  Workaround  ",
                              "  Resolution  ", "  Attachments  "})
    tcRTFs->Tabs()->Add(caption);
  tcRTFs->Hottrack()->SetEnabled(true);
  auto memo = [this](const char* name, const char* field) {
    auto* rtf = NewControl<TDBRichEdit>(this, tcRTFs, name, alClient);
    rtf->SetDataSource(dsBug);
    rtf->SetDataField(field);
    rtf->Font()->SetName(kMemoFont);
    rtf->SetHideSelection(false);
    rtf->SetScrollBars(ssBoth);
    rtf->SetWantTabs(true);
    rtf->SetPopupMenu(popRTF);
    rtf->SetVisible(false);
    return rtf;
  };
  rtfReport = memo("rtfReport", "Report");
  rtfResolution = memo("rtfResolution", "Resolution");
  rtfSteps = memo("rtfSteps", "Steps");
  rtfWorkAround = memo("rtfWorkAround", "Workaround");
  rtfReport->SetVisible(true);
  lvAttachments = NewControl<TListView>(this, tcRTFs, "lvAttachments", alClient);
  lvAttachments->SetVisible(false);
  lvAttachments->SetPopupMenu(popAttachment);
  // The attachment list reads the file names through this hidden memo.
  dbmemAttachment = NewControl<TDBMemo>(this, pnlRecord, "dbmemAttachment");
  dbmemAttachment->SetDataSource(dsBug);
  dbmemAttachment->SetDataField("Attachment");
  dbmemAttachment->SetVisible(false);
}

void TfrmBug::CreateGridEditors() {
  // Status and priority show their text and store their code.
  auto codes = [this](const char* name, const char* field, int dropDownCount,
                      std::initializer_list<const char*> items) {
    auto* combo = NewControl<TwwDBComboBox>(this, this, name);
    combo->SetDataSource(dsBug);
    combo->SetDataField(field);
    combo->SetStyle(csDropDownList);
    combo->SetMapList(true);
    // Typing on the cell picks the item whose words begin with what was typed;
    // the clear key stays off, as for every code list of this window.
    combo->SetShowMatchText(true);
    combo->SetAllowClearKey(false);
    combo->SetDropDownCount(dropDownCount);
    for (const char* item : items) combo->Items()->Add(item);
    combo->SetVisible(false);
    return combo;
  };
  cmbStatus = codes("cmbStatus", "Status", 10,
                    {"New\t1", "In process\t2", "Fixed/Implemented\t3", "Verified\t4",
                     "Delegated\t5", "Deferred\t6", "No longer relevant\t7",
                     "Will not be fixed/implemented\t8", "Could not duplicate\t9"});
  cmbPriority = codes("cmbPriority", "Priority", 8,
                      {"Very high\t1", "High\t2", "Normal\t3", "Low\t4", "Very low\t5"});
  auto date = [this](const char* name, const char* field) {
    auto* combo = NewControl<TwwDBComboDlg>(this, this, name);
    combo->SetDataSource(dsBug);
    combo->SetDataField(field);
    combo->SetVisible(false);
    return combo;
  };
  dbcdReportedDate = date("dbcdReportedDate", "ReportedDate");
  dbcdFixedDate = date("dbcdFixedDate", "FixedDate");
  dbcdVerifiedDate = date("dbcdVerifiedDate", "VerifiedDate");
}
