// The main menu and the popup menus of the main window.

#include "app/common/components.h"
#include "app/main/bug.h"
#include "platform/classlib/menus/menus.h"

namespace {

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const std::string& name,
                const char* caption, TShortCut shortCut = scNone) {
  auto* item = NewComponent<TMenuItem>(owner, name);
  item->SetCaption(caption);
  item->SetShortCut(shortCut);
  parent->Add(item);
  return item;
}

// Separators carry no name: nothing looks them up.
void Separator(TComponent* owner, TMenuItem* parent) {
  auto* item = new TMenuItem(owner);
  item->SetCaption("-");
  parent->Add(item);
}

TShortCut Ctrl(char key) { return TShortCut(scCtrl | key); }

// A menu item made from a table: its name suffix and caption.
struct ItemText {
  const char* suffix;
  const char* caption;
};

// The View columns items, in menu order.
constexpr ItemText kColumnItems[] = {
    {"RowIndicator", "Row Indicator"}, {"ReportNumber", "Report Number"},
    {"Identifier", "Identifier"},      {"Status", "Status"},
    {"Priority", "Priority"},          {"Severity", "Severity"},
    {"Description", "Description"},   {"Area", "Area"},
    {"Version", "Version"},            {"ReportedBy", "Reported By"},
    {"ReportedDate", "Reported Date"}, {"Responsibility", "Responsibility"},
    {"FixedBy", "Fixed By"},           {"FixedDate", "Fixed Date"},
    {"FixedInVersion", "Fixed In Version"}, {"VerifiedBy", "Verified By"},
    {"VerifiedDate", "Verified Date"},
};

// The toolbar items shared by popToolbars and popFilter.
constexpr ItemText kToolbarItems[] = {
    {"Reports", "&Reports && Charts"},   {"Edit", "&Edit"},
    {"Programs", "&Programs"},           {"Records", "Re&cords"},
    {"Filter", "&Filter"},               {"Attachments", "&Attachments"},
    {"MemoOperations", "Memo &Operations"}, {"MemoColor", "Memo Color && Si&ze"},
    {"MemoFormatting", "&Memo Formatting"},
};

void AddToolbarItems(TComponent* owner, TMenuItem* root, const std::string& prefix) {
  for (const auto& t : kToolbarItems) Item(owner, root, prefix + t.suffix, t.caption)->SetChecked(true);
}

}  // namespace

void TfrmBug::CreateMenus() {
  mnuMain = NewComponent<TMainMenu>(this, "mnuMain");
  TMenuItem* root = mnuMain->Items();

  mnuMain_File = Item(this, root, "mnuMain_File", "&File");
  mnuMain_File_Print = Item(this, mnuMain_File, "mnuMain_File_Print", "&Print");
  mnuMain_File_Print_Single =
      Item(this, mnuMain_File_Print, "mnuMain_File_Print_Single", "&This Bug Report...", Ctrl('P'));
  mnuMain_File_Print_Listing = Item(this, mnuMain_File_Print, "mnuMain_File_Print_Listing", "&Listing");
  mnuMain_File_Print_Comprehensive =
      Item(this, mnuMain_File_Print, "mnuMain_File_Print_Comprehensive", "&Comprehensive...");
  Separator(this, mnuMain_File);
  mnuMain_File_Export = Item(this, mnuMain_File, "mnuMain_File_Export", "&Export");
  mnuMain_File_Export_ThisRecord =
      Item(this, mnuMain_File_Export, "mnuMain_File_Export_ThisRecord", "&This Bug Report...");
  mnuMain_File_Export_CurrentProgram =
      Item(this, mnuMain_File_Export, "mnuMain_File_Export_CurrentProgram", "This &Program");
  mnuMain_File_Export_CurrentProgram_AllEntries = Item(
      this, mnuMain_File_Export_CurrentProgram, "mnuMain_File_Export_CurrentProgram_AllEntries",
      "&All Entries...");
  mnuMain_File_Export_CurrentProgram_OnlyBugReports =
      Item(this, mnuMain_File_Export_CurrentProgram,
           "mnuMain_File_Export_CurrentProgram_OnlyBugReports", "Only &Bug Reports...");
  mnuMain_File_Export_CurrentProgram_OnlyFeatureRequests =
      Item(this, mnuMain_File_Export_CurrentProgram,
           "mnuMain_File_Export_CurrentProgram_OnlyFeatureRequests", "Only &Feature Requests...");
  mnuMain_File_Export_AllPrograms =
      Item(this, mnuMain_File_Export, "mnuMain_File_Export_AllPrograms", "All P&rograms");
  mnuMain_File_Export_AllPrograms_AllEntries =
      Item(this, mnuMain_File_Export_AllPrograms, "mnuMain_File_Export_AllPrograms_AllEntries",
           "&All Entries...");
  mnuMain_File_Export_AllPrograms_OnlyBugReports =
      Item(this, mnuMain_File_Export_AllPrograms,
           "mnuMain_File_Export_AllPrograms_OnlyBugReports", "Only &Bug Reports...");
  mnuMain_File_Export_AllPrograms_OnlyFeatureRequests =
      Item(this, mnuMain_File_Export_AllPrograms,
           "mnuMain_File_Export_AllPrograms_OnlyFeatureRequests", "Only &Feature Requests...");
  mnuMain_File_Export_SetExportFields = Item(this, mnuMain_File_Export,
                                            "mnuMain_File_Export_SetExportFields",
                                            "Select Export Fields...");
  mnuMain_File_Export_SetExportFields->SetVisible(false);
  mnuMain_File_Import = Item(this, mnuMain_File, "mnuMain_File_Import", "Import");
  mnuMain_File_Import->SetVisible(false);
  mnuMain_File_PackProject = Item(this, mnuMain_File, "mnuMain_File_PackProject", "P&ack Project...");
  mnuMain_File_PackProject->SetVisible(false);
  Separator(this, mnuMain_File);
  mnuMain_File_Exit = Item(this, mnuMain_File, "mnuMain_File_Exit", "E&xit");

  mnuMain_Edit = Item(this, root, "mnuMain_Edit", "&Edit");
  mnuMain_Edit_Undo = Item(this, mnuMain_Edit, "mnuMain_Edit_Undo", "&Undo", Ctrl('Z'));
  mnuMain_Edit_UndoAlt = Item(this, mnuMain_Edit, "mnuMain_Edit_UndoAlt", "Undo",
                              TShortCut(scAlt | VK_BACK));
  mnuMain_Edit_UndoAlt->SetVisible(false);
  Separator(this, mnuMain_Edit);
  mnuMain_Edit_Cut = Item(this, mnuMain_Edit, "mnuMain_Edit_Cut", "Cu&t", Ctrl('X'));
  mnuMain_Edit_Copy = Item(this, mnuMain_Edit, "mnuMain_Edit_Copy", "&Copy", Ctrl('C'));
  mnuMain_Edit_Paste = Item(this, mnuMain_Edit, "mnuMain_Edit_Paste", "&Paste", Ctrl('V'));
  Separator(this, mnuMain_Edit);
  mnuMain_Edit_Add = Item(this, mnuMain_Edit, "mnuMain_Edit_Add", "&Add");
  mnuMain_Edit_Add_Report = Item(this, mnuMain_Edit_Add, "mnuMain_Edit_Add_Report", "&Bug Report", VK_F6);
  mnuMain_Edit_Add_FeatureRequest =
      Item(this, mnuMain_Edit_Add, "mnuMain_Edit_Add_FeatureRequest", "&Feature Request", VK_F7);
  mnuMain_Edit_Add_Program = Item(this, mnuMain_Edit_Add, "mnuMain_Edit_Add_Program", "&Program");
  mnuMain_Edit_Edit = Item(this, mnuMain_Edit, "mnuMain_Edit_Edit", "&Edit");
  mnuMain_Edit_Edit_Field = Item(this, mnuMain_Edit_Edit, "mnuMain_Edit_Edit_Field", "&Field...",
                                 TShortCut(scShift | VK_F2));
  mnuMain_Edit_Edit_Entry = Item(this, mnuMain_Edit_Edit, "mnuMain_Edit_Edit_Entry", "&Entry...",
                                 TShortCut(scCtrl | VK_F2));
  mnuMain_Edit_Delete = Item(this, mnuMain_Edit, "mnuMain_Edit_Delete", "&Delete");
  mnuMain_Edit_Delete_Report =
      Item(this, mnuMain_Edit_Delete, "mnuMain_Edit_Delete_Report", "&Bug Report");
  mnuMain_Edit_Delete_Program =
      Item(this, mnuMain_Edit_Delete, "mnuMain_Edit_Delete_Program", "&Program");
  Separator(this, mnuMain_Edit);
  mnuMain_Edit_Find = Item(this, mnuMain_Edit, "mnuMain_Edit_Find", "&Find", Ctrl('F'));
  mnuMain_Edit_Refresh = Item(this, mnuMain_Edit, "mnuMain_Edit_Refresh", "&Refresh", VK_F5);
  mnuMain_Edit_FontName = Item(this, mnuMain_Edit, "mnuMain_Edit_FontName", "Font Name",
                               TShortCut(scCtrl | scShift | 'F'));
  mnuMain_Edit_FontName->SetVisible(false);
  mnuMain_Edit_FontSize = Item(this, mnuMain_Edit, "mnuMain_Edit_FontSize", "Font Size",
                               TShortCut(scCtrl | scShift | 'P'));
  mnuMain_Edit_FontSize->SetVisible(false);

  mnuMain_View = Item(this, root, "mnuMain_View", "&View");
  mnuMain_View_Graphs = Item(this, mnuMain_View, "mnuMain_View_Graphs", "&Graphs");
  mnuMain_View_Graphs_Status = Item(this, mnuMain_View_Graphs, "mnuMain_View_Graphs_Status", "&Status...");
  mnuMain_View_Graphs_Priority =
      Item(this, mnuMain_View_Graphs, "mnuMain_View_Graphs_Priority", "&Priority...");
  mnuMain_View_Graphs_Fixed = Item(this, mnuMain_View_Graphs, "mnuMain_View_Graphs_Fixed", "&Fixed...");
  mnuMain_View_Graphs_Verified =
      Item(this, mnuMain_View_Graphs, "mnuMain_View_Graphs_Verified", "&Verified...");
  mnuMain_View_Graphs_Time = Item(this, mnuMain_View_Graphs, "mnuMain_View_Graphs_Time", "&Time...");
  mnuMain_View_Preview = Item(this, mnuMain_View, "mnuMain_View_Preview", "Print Pre&view");
  mnuMain_View_Preview_Single =
      Item(this, mnuMain_View_Preview, "mnuMain_View_Preview_Single", "&This Bug Report...");
  mnuMain_View_Preview_Listing =
      Item(this, mnuMain_View_Preview, "mnuMain_View_Preview_Listing", "&Listing");
  mnuMain_View_Preview_Comprehensive =
      Item(this, mnuMain_View_Preview, "mnuMain_View_Preview_Comprehensive", "&Comprehensive");
  Separator(this, mnuMain_View);
  mnuMain_View_Options = Item(this, mnuMain_View, "mnuMain_View_Options", "&Options...", Ctrl('O'));

  mnuMain_Help = Item(this, root, "mnuMain_Help", "&Help");
  mnuMain_Help_Contents = Item(this, mnuMain_Help, "mnuMain_Help_Contents", "&Contents", VK_F1);
  mnuMain_Help_TopicSearch = Item(this, mnuMain_Help, "mnuMain_Help_TopicSearch", "&Topic Search");
  Separator(this, mnuMain_Help);
  mnuMain_Help_About = Item(this, mnuMain_Help, "mnuMain_Help_About", "&About Vantrel...");
  mnuMain->SetForm(this);
}

void TfrmBug::CreatePopupMenus() {
  popToolbars = NewComponent<TPopupMenu>(this, "popToolbars");
  AddToolbarItems(this, popToolbars->Items(), "popToolbars_");

  popFilter = NewComponent<TPopupMenu>(this, "popFilter");
  popFilter_ShowAll = Item(this, popFilter->Items(), "popFilter_ShowAll", "Set All To &Show");
  popFilter_HideAll = Item(this, popFilter->Items(), "popFilter_HideAll", "Set All To &Hide");
  Separator(this, popFilter->Items());
  AddToolbarItems(this, popFilter->Items(), "popFilter_");

  popFilters = NewComponent<TPopupMenu>(this, "popFilters");
  popFilters_Specify = Item(this, popFilters->Items(), "popFilters_Specify", "&Specify Filter...");
  popFilters_Save = Item(this, popFilters->Items(), "popFilters_Save", "&Save Filter...");
  popFilters_Load = Item(this, popFilters->Items(), "popFilters_Load", "&Load Filter...");
  popFilters_Clear = Item(this, popFilters->Items(), "popFilters_Clear", "&Clear Filter");

  popPrintPreview = NewComponent<TPopupMenu>(this, "popPrintPreview");
  popPrint = NewComponent<TPopupMenu>(this, "popPrint");
  popChart = NewComponent<TPopupMenu>(this, "popChart");
  popChart_Status = Item(this, popChart->Items(), "popChart_Status", "&Status...");
  popChart_Priority = Item(this, popChart->Items(), "popChart_Priority", "&Priority...");
  popChart_Fixed = Item(this, popChart->Items(), "popChart_Fixed", "&Fixed...");
  popChart_Verified = Item(this, popChart->Items(), "popChart_Verified", "&Verified...");
  popChart_Time = Item(this, popChart->Items(), "popChart_Time", "&Time...");

  popGrid = NewComponent<TPopupMenu>(this, "popGrid");
  TMenuItem* grid = popGrid->Items();
  popGrid_Cut = Item(this, grid, "popGrid_Cut", "Cu&t");
  popGrid_Copy = Item(this, grid, "popGrid_Copy", "&Copy");
  popGrid_Paste = Item(this, grid, "popGrid_Paste", "&Paste");
  Separator(this, grid);
  popGrid_AddReport = Item(this, grid, "popGrid_AddReport", "Add &Bug Report");
  popGrid_AddFeatureRequest = Item(this, grid, "popGrid_AddFeatureRequest", "Add &Feature Request");
  popGrid_DeleteReport = Item(this, grid, "popGrid_DeleteReport", "&Delete");
  Separator(this, grid);
  popGrid_ViewColumns = Item(this, grid, "popGrid_ViewColumns", "&View");
  for (const auto& c : kColumnItems) {
    TMenuItem* item = Item(this, popGrid_ViewColumns, std::string("popGrid_ViewColumns_") + c.suffix,
                           c.caption);
    item->SetChecked(true);
    if (std::string(c.suffix) == "ReportedBy") item->SetBreak(mbBarBreak);
  }
  popGrid_ColumnMode = Item(this, grid, "popGrid_ColumnMode", "Column &Mode");
  popGrid_ColumnMode->SetVisible(false);
  popGrid_ColumnMode_Sort = Item(this, popGrid_ColumnMode, "popGrid_ColumnMode_Sort", "&Select Sort Field");
  popGrid_ColumnMode_ChangeOrder =
      Item(this, popGrid_ColumnMode, "popGrid_ColumnMode_ChangeOrder", "&Change Order");
  for (auto* item : {popGrid_ColumnMode_Sort, popGrid_ColumnMode_ChangeOrder}) {
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
  }

  popPrograms = NewComponent<TPopupMenu>(this, "popPrograms");
  TMenuItem* programs = popPrograms->Items();
  popPrograms_AddProgram = Item(this, programs, "popPrograms_AddProgram", "&Add Program");
  popPrograms_DeleteProgram = Item(this, programs, "popPrograms_DeleteProgram", "&Delete Program");
  popPrograms_Rename = Item(this, programs, "popPrograms_Rename", "&Rename", VK_F2);
  popPrograms_Properties = Item(this, programs, "popPrograms_Properties", "P&roperties",
                                TShortCut(scAlt | VK_RETURN));

  popRTF = NewComponent<TPopupMenu>(this, "popRTF");
  popRTF_Edit = Item(this, popRTF->Items(), "popRTF_Edit", "&Edit");
  popRTF_Edit_Undo = Item(this, popRTF_Edit, "popRTF_Edit_Undo", "&Undo");
  popRTF_Edit_Cut = Item(this, popRTF_Edit, "popRTF_Edit_Cut", "Cu&t");
  popRTF_Edit_Copy = Item(this, popRTF_Edit, "popRTF_Edit_Copy", "&Copy");
  popRTF_Edit_Paste = Item(this, popRTF_Edit, "popRTF_Edit_Paste", "&Paste");
  popRTF_InsertLine = Item(this, popRTF->Items(), "popRTF_InsertLine", "Insert &Line");
  popRTF_InsertAddendum = Item(this, popRTF->Items(), "popRTF_InsertAddendum", "Insert &Addendum");

  popAttachment = NewComponent<TPopupMenu>(this, "popAttachment");
}
