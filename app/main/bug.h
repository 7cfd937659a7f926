#pragma once
// The main window: the program list, the entry grid with its type tabs, the
// record pane with the memo tabs, the toolbars and the menus. The constructor
// builds every component (found by name with FindComponent); the routines of
// each area live in their own source file (bug_<area>.cpp).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/common/product.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/core/alignment.h"

class Exception;
struct DaoOpenProgress;
class TComboBox;
class TCoolMenu;
class TBrush;
class TDBMemo;
class TFont;
class TDBRichEdit;
class TDataSet;
class TDock97;
class TExtTabControl;
class TColorComboBox;
class TFileDrag;
class TListView;
class TMainMenu;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TPrintDialog;
class TRegIniFile;
class TOpenDialog;
class TSaveDialog;
class TSystemImageList;
class TSplitter;
class TStatusBar;
class TToolWindow97;
class TToolbarButton97;
class TToolbarSep97;
class TwwDBComboBox;
class TwwDBComboDlg;
class TwwDBGrid;
class TwwDBLookupCombo;
class TwwDataSource;
class TwwFilterDialog;
class TwwLocateDialog;
class TwwLocateDlg;
class TwwSaveFilter;
class TwwtaQuery;
class TwwtaTable;
struct KindTexts;

// The settings key every window reads and writes through frmBug->Reg.
inline constexpr const char* kSettingsKey = "Software\\Corvane Software\\Vantrel 2.00\\Settings";
// The toolbar layout lives in its own sub-key.
inline constexpr const char* kToolbarKey = "Software\\Corvane Software\\Vantrel 2.00\\Settings\\Toolbar";

class TfrmBug : public TForm {
  DECLARE_CLASS(TfrmBug, TForm)
 public:
  explicit TfrmBug(TComponent* AOwner);
  ~TfrmBug() override;

  // ---- State (program entry, start-up and shutdown) ----
  std::unique_ptr<TRegIniFile> Reg;
  std::string DatabasePath;
  bool Terminating = false;
  bool FirstActivation = false;
  bool Busy = true;
  bool ProgramDeleting = false;
  bool PasteEnabled = false;
  bool UpdatingControls = false;
  bool AttachmentUpdating = false;
  int FocusArea = 0;
  int ActiveMemo = 0;
  bool SkipMemoPaneEdit = false;
  std::string ReportType = "BugReport";
  TwwSaveFilter* SaveFilter = nullptr;

  // ---- Datasets and data sources ----
  TwwtaTable* dsetBug;
  TwwDataSource* dsBug;
  TwwtaQuery* qdsetBug;
  TwwtaTable* wwtblProgram;
  TwwDataSource* wwdsProgram;
  TwwtaTable* wwtaArea;
  TwwDataSource* wwdsArea;
  TwwtaTable* wwtaVersion;
  TwwDataSource* wwdsVersion;
  TwwtaTable* wwtaFixedInVersion;
  TwwtaTable* wwtaReportedBy;
  TwwDataSource* wwdsUser;
  TwwtaTable* wwtaFixedBy;
  TwwDataSource* wwdsEmployee;
  TwwtaTable* wwtaVerifiedBy;
  TwwtaTable* wwtaResponsibility;
  TwwtaTable* wwtaSeverity;
  TwwDataSource* wwdsSeverity;
  TwwtaTable* wwtaStatus;
  TwwDataSource* wwdsStatus;
  TwwtaTable* wwtaPriority;
  TwwDataSource* wwdsPriority;

  // ---- Docks and panes ----
  TDock97* Dock_Top;
  TDock97* Dock_Left;
  TDock97* Dock_Right;
  TDock97* Dock_Bottom;
  TPanel* pnlPrograms;
  TDock97* dock_Programs;
  TwwDBGrid* dbgridPrograms;
  TSplitter* splPrograms;
  TPanel* pnlMain;
  TDock97* Dock_Filter;
  TPanel* pnlGrid;
  TExtTabControl* tcType;
  TwwDBGrid* dbgBug;
  TToolbarButton97* dbgBugIButton;
  TSplitter* splGrid;
  TPanel* pnlRecord;
  TDock97* Dock_RTF;
  TDock97* Dock_Attachments;
  TExtTabControl* tcRTFs;
  TDBRichEdit* rtfReport;
  TDBRichEdit* rtfResolution;
  TDBRichEdit* rtfSteps;
  TDBRichEdit* rtfWorkAround;
  TListView* lvAttachments;
  TDBMemo* dbmemAttachment;

  // ---- Grid editors (bound into dbgBug's columns) ----
  TwwDBComboBox* cmbStatus;
  TwwDBComboBox* cmbPriority;
  TwwDBComboDlg* dbcdReportedDate;
  TwwDBComboDlg* dbcdFixedDate;
  TwwDBComboDlg* dbcdVerifiedDate;
  TwwDBLookupCombo* dblcArea = nullptr;
  TwwDBLookupCombo* dblcVersion = nullptr;
  TwwDBLookupCombo* dblcFixedInVersion = nullptr;
  TwwDBLookupCombo* dblcReportedBy = nullptr;
  TwwDBLookupCombo* dblcFixedBy = nullptr;
  TwwDBLookupCombo* dblcVerifiedBy = nullptr;
  TwwDBLookupCombo* dblcResponsibility = nullptr;
  TwwDBLookupCombo* dblcSeverity = nullptr;

  // ---- Toolbars and their buttons ----
  TToolWindow97* tbarMisc;
  TToolbarButton97* tbPrintPreview;
  TToolbarButton97* tbChart;
  TToolbarButton97* tbPrintReport;
  TToolWindow97* tbarEdit;
  TToolbarButton97* tbCut;
  TToolbarButton97* tbCopy;
  TToolbarButton97* tbPaste;
  TToolbarButton97* tbUndo;
  TToolWindow97* tbarProgram;
  TToolbarButton97* tbAddProgram;
  TToolbarButton97* tbDeleteProgram;
  TToolbarButton97* tbProgramProperties;
  TToolWindow97* tbarBug;
  TToolbarButton97* tbAddBugReport;
  TToolbarButton97* tbAddFeature;
  TToolbarButton97* tbDelete;
  TToolbarButton97* tbSwitch;
  TToolbarButton97* tbFind;
  TToolWindow97* tbarFilters;
  TToolbarButton97* tbStatusFilter_NewReport;
  TToolbarButton97* tbStatusFilter_InProcess;
  TToolbarButton97* tbStatusFilter_Fixed;
  TToolbarButton97* tbStatusFilter_Completed;
  TToolbarButton97* tbStatusFilter_Delegated;
  TToolbarButton97* tbStatusFilter_Deferred;
  TToolbarButton97* tbStatusFilter_NoLongerRelevant;
  TToolbarButton97* tbStatusFilter_WillNotBeFixed;
  TToolbarButton97* tbStatusFilter_CouldNotDuplicate;
  TToolbarButton97* tbPriorityFilter_VeryHigh;
  TToolbarButton97* tbPriorityFilter_High;
  TToolbarButton97* tbPriorityFilter_Normal;
  TToolbarButton97* tbPriorityFilter_Low;
  TToolbarButton97* tbPriorityFilter_VeryLow;
  TToolbarButton97* btnAdvancedFilter;
  TToolWindow97* tbarAttachment;
  TToolbarButton97* tbLargeIcons;
  TToolbarButton97* tbSmallIcons;
  TToolbarButton97* tbList;
  TToolbarButton97* tbAttach;
  TToolbarButton97* tbDeleteAttachment;
  TToolbarButton97* tbAttachmentProperties;
  TToolbarButton97* tbAttachmentExecute;
  TToolWindow97* tbarRTF_1;
  TToolbarButton97* btnRTFPrint;
  TToolbarButton97* tbReportLine;
  TToolbarButton97* btnInsertAddendum;
  TToolWindow97* tbarRTF_2;
  TColorComboBox* ccbTextColor;
  TComboBox* cmbRTF_FontName;
  TToolWindow97* tbarRTF_3;
  TToolbarButton97* btnRTF_LeftAlign;
  TToolbarButton97* btnRTF_CenterAlign;
  TToolbarButton97* btnRTF_RightAlign;
  TToolbarButton97* tbDecreaseFontSize;
  TToolbarButton97* tbIncreaseFontSize;
  TToolbarButton97* btnRTF_Bold;
  TToolbarButton97* btnRTF_Italic;
  TToolbarButton97* btnRTF_Underline;
  TToolbarButton97* btnRTF_Bullets;

  // ---- Menus ----
  TMainMenu* mnuMain;
  TCoolMenu* CoolMenu;  // draws the main menu's items that have pictures
  TMenuItem* mnuMain_File;
  TMenuItem* mnuMain_File_Print;
  TMenuItem* mnuMain_File_Print_Single;
  TMenuItem* mnuMain_File_Print_Listing;
  TMenuItem* mnuMain_File_Print_Comprehensive;
  TMenuItem* mnuMain_File_Export;
  TMenuItem* mnuMain_File_Export_ThisRecord;
  TMenuItem* mnuMain_File_Export_CurrentProgram;
  TMenuItem* mnuMain_File_Export_CurrentProgram_AllEntries;
  TMenuItem* mnuMain_File_Export_CurrentProgram_OnlyBugReports;
  TMenuItem* mnuMain_File_Export_CurrentProgram_OnlyFeatureRequests;
  TMenuItem* mnuMain_File_Export_AllPrograms;
  TMenuItem* mnuMain_File_Export_AllPrograms_AllEntries;
  TMenuItem* mnuMain_File_Export_AllPrograms_OnlyBugReports;
  TMenuItem* mnuMain_File_Export_AllPrograms_OnlyFeatureRequests;
  TMenuItem* mnuMain_File_Export_SetExportFields;
  TMenuItem* mnuMain_File_Import;
  TMenuItem* mnuMain_File_PackProject;
  TMenuItem* mnuMain_File_Exit;
  TMenuItem* mnuMain_Edit;
  TMenuItem* mnuMain_Edit_Undo;
  TMenuItem* mnuMain_Edit_UndoAlt;
  TMenuItem* mnuMain_Edit_Cut;
  TMenuItem* mnuMain_Edit_Copy;
  TMenuItem* mnuMain_Edit_Paste;
  TMenuItem* mnuMain_Edit_Add;
  TMenuItem* mnuMain_Edit_Add_Report;
  TMenuItem* mnuMain_Edit_Add_FeatureRequest;
  TMenuItem* mnuMain_Edit_Add_Program;
  TMenuItem* mnuMain_Edit_Edit;
  TMenuItem* mnuMain_Edit_Edit_Field;
  TMenuItem* mnuMain_Edit_Edit_Entry;
  TMenuItem* mnuMain_Edit_Delete;
  TMenuItem* mnuMain_Edit_Delete_Report;
  TMenuItem* mnuMain_Edit_Delete_Program;
  TMenuItem* mnuMain_Edit_Find;
  TMenuItem* mnuMain_Edit_Refresh;
  TMenuItem* mnuMain_Edit_FontName;
  TMenuItem* mnuMain_Edit_FontSize;
  TMenuItem* mnuMain_View;
  TMenuItem* mnuMain_View_Graphs;
  TMenuItem* mnuMain_View_Graphs_Status;
  TMenuItem* mnuMain_View_Graphs_Priority;
  TMenuItem* mnuMain_View_Graphs_Fixed;
  TMenuItem* mnuMain_View_Graphs_Verified;
  TMenuItem* mnuMain_View_Graphs_Time;
  TMenuItem* mnuMain_View_Preview;
  TMenuItem* mnuMain_View_Preview_Single;
  TMenuItem* mnuMain_View_Preview_Listing;
  TMenuItem* mnuMain_View_Preview_Comprehensive;
  TMenuItem* mnuMain_View_Options;
  TMenuItem* mnuMain_Help;
  TMenuItem* mnuMain_Help_Contents;
  TMenuItem* mnuMain_Help_TopicSearch;
  TMenuItem* mnuMain_Help_About;

  TPopupMenu* popToolbars;
  TPopupMenu* popFilter;
  TMenuItem* popFilter_ShowAll;
  TMenuItem* popFilter_HideAll;
  TPopupMenu* popFilters;
  TMenuItem* popFilters_Specify;
  TMenuItem* popFilters_Save;
  TMenuItem* popFilters_Load;
  TMenuItem* popFilters_Clear;
  TPopupMenu* popPrintPreview;
  TPopupMenu* popPrint;
  TPopupMenu* popChart;
  TMenuItem* popChart_Status;
  TMenuItem* popChart_Priority;
  TMenuItem* popChart_Fixed;
  TMenuItem* popChart_Verified;
  TMenuItem* popChart_Time;
  TPopupMenu* popGrid;
  TMenuItem* popGrid_Cut;
  TMenuItem* popGrid_Copy;
  TMenuItem* popGrid_Paste;
  TMenuItem* popGrid_AddReport;
  TMenuItem* popGrid_AddFeatureRequest;
  TMenuItem* popGrid_DeleteReport;
  TMenuItem* popGrid_ViewColumns;
  TMenuItem* popGrid_ColumnMode;
  TMenuItem* popGrid_ColumnMode_Sort;
  TMenuItem* popGrid_ColumnMode_ChangeOrder;
  TPopupMenu* popPrograms;
  TMenuItem* popPrograms_AddProgram;
  TMenuItem* popPrograms_DeleteProgram;
  TMenuItem* popPrograms_Rename;
  TMenuItem* popPrograms_Properties;
  TPopupMenu* popRTF;
  TMenuItem* popRTF_Edit;
  TMenuItem* popRTF_Edit_Undo;
  TMenuItem* popRTF_Edit_Cut;
  TMenuItem* popRTF_Edit_Copy;
  TMenuItem* popRTF_Edit_Paste;
  TMenuItem* popRTF_InsertLine;
  TMenuItem* popRTF_InsertAddendum;
  TPopupMenu* popAttachment;

  // ---- Other components ----
  TFileDrag* FileDrag;
  TwwLocateDialog* LocateDialog;
  TPrintDialog* PrintDialog;
  TwwFilterDialog* wwFilterDialog1 = nullptr;

  // ---- Program entry, start-up and shutdown (bug_startup.cpp) ----
  void SetSplashStatus(const std::string& text);
  void HideSplash();
  // While an open brings a database made by an earlier version up to date:
  // the stage and how far it has come, in the status bar (and the splash's
  // status line while it is there); the windows stay drawn meanwhile.
  void ShowOpenProgress(const DaoOpenProgress& progress);
  void InitMainForm();
  bool CheckDatabaseFile();
  void BringUpDatabases();
  void CloseTables();
  void GlobalExceptionHandler(TObject* Sender, const Exception& E);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormDestroy(TObject* Sender);
  // Ends start-up with a message: nothing is saved at close after this.
  void Abandon(const std::string& message);
  // The entry table's post of a pending change (an edit, or an insert the
  // user typed into); an untouched insert is dropped.
  void PostPendingEntry();
  // Stores the settings written so far.
  void SaveSettingsNow();

  // ---- Settings and view settings (bug_settings.cpp) ----
  void ApplyColorOptions();
  void SetPlainTextOn();
  void SetPlainTextOff();
  void ApplyPlainTextMode();
  void LoadFonts();
  void LoadWindowPlacement();
  void SaveWindowPlacement();
  void FitProgramColumn();
  void LoadPaneSizes();
  void SavePaneSizes();

  // ---- Entries and programs (bug_entries.cpp) ----
  void WireEntryHandlers();
  void AddEntry();
  void DeleteEntry();
  void AddProgram();
  void DeleteProgram();
  void RenameProgram();
  void SwitchEntry();
  void UpdateDetailControls();
  void UpdateToolbarButtons();
  void SetBugReportCaptions();
  void SetFeatureRequestCaptions();
  void tcTypeChange(TObject* Sender);
  // Adds a program when the program table is empty (the list is never empty).
  void EnsureProgramExists();

  // Entries and programs: handlers and helpers (bug_entries.cpp, bug_entrycontrols.cpp).
  bool Option(const std::string& name, bool fallback) const;
  void WireEntryCommands();
  void WireEntryFocus();
  void RelabelForType();
  void EnterMemoPane();  // focus bookkeeping and edit state of the memo pane
  void dsetBugNewRecord();
  void dsetBugAfterScroll();
  void ShowEntryWindow(const std::string& caption);
  void StoreProgramName(const std::string& name, bool append);
  void DeleteProgramEntries();
  static bool IsZoomField(const std::string& field);
  void EditFieldInZoom();
  void ApplyKindTexts(const KindTexts& texts);

  // ---- Quick filters and saved filters (bug_filters.cpp) ----
  void WireFilterHandlers();
  void CreateFilterDialog();
  void CreateSaveFilter();
  void ApplyFilter();
  std::string PriorityFilterClause();
  std::string StatusFilterClause();
  void UpdateFilterHints();
  void LoadFilterButtons();
  void SaveFilterButtons();
  void FilterAllKinds(TDataSet* dataSet);
  void FilterBugReportsOnly(TDataSet* dataSet);
  void FilterFeatureRequestsOnly(TDataSet* dataSet);
  // The handler of all fourteen quick-filter buttons.
  void tbStatusFilter_NewReportClick(TObject* Sender);
  void btnAdvancedFilterClick(TObject* Sender);
  void popFiltersPopup(TObject* Sender);
  // Lets the user pick a saved filter (and drop others); true on OK.
  bool LoadFilterDialog();

  // ---- Entry grid columns (bug_columns.cpp) ----
  void WireColumnHandlers();
  void BindGridEditors();
  void ApplyRowHeightAndDates();
  void LoadColumnVisibility();
  void SaveColumnVisibility();
  void LoadColumnWidths();
  void SaveColumnWidths();
  void LoadColumnOrder();
  void SaveColumnOrder();
  void RowIndicatorOn();
  void RowIndicatorOff();
  void ChangeColumnVisibility(TObject* Sender);
  void dbgBugTitleButtonClick(TObject* Sender, const std::string& AFieldName);
  void dbgBugCalcTitleAttributes(TObject* Sender, const std::string& AFieldName, TFont* AFont,
                                 TBrush* ABrush, TAlignment& ATitleAlignment);
  void popGridPopup(TObject* Sender);
  // The grid column showing data column `dataColumn` (the indicator shifts it).
  int GridColumnOf(int dataColumn) const;
  // The View item of a field (or "RowIndicator").
  TMenuItem* ViewColumnItem(const std::string& field);
  // One fixed column while ReportNumber is shown, none otherwise.
  void SetFixedColumn();

  // ---- Rich-text memo panes (bug_memos.cpp) ----
  void WireMemoHandlers();
  void FillFontNames();
  void ApplyDocumentFont();
  void FocusActiveMemo();
  void InsertSeparatorLine();
  void InsertAddendum();
  void CutCommand();
  void CopyCommand();
  void PasteCommand();
  void UndoCommand();
  void tcRTFsChange(TObject* Sender);

  // ---- Toolbars, menus and find (bug_commands.cpp) ----
  void WireCommandHandlers();
  void LoadToolbarVisibility();
  void ApplyMemoToolbarVisibility();
  void HideMemoToolbars();
  void mnuMain_FileClick(TObject* Sender);
  void mnuMain_EditClick(TObject* Sender);
  void mnuMain_ViewClick(TObject* Sender);
  void tbFindClick(TObject* Sender);

  // ---- Memo pane and command helpers (bug_memos.cpp, bug_commands.cpp) ----
  // The memo an ActiveMemo value names (0 to 3); none for the attachment list.
  TDBRichEdit* MemoOf(int activeMemo) const;
  bool MemoHasFocus() const;
  // Brings the formatting controls in line with the memo's caret.
  void RefreshFromMemo(TDBRichEdit* memo, int activeMemo);
  void MemoChange(TDBRichEdit* memo, int activeMemo);
  void MemoEnter(TDBRichEdit* memo);
  void MemoClick(TDBRichEdit* memo);
  void EnableCutCopy(bool enabled);
  void RefreshPasteState();
  void RefreshUndo(TDBRichEdit* memo);
  void SetFontSizeHints(int size);
  // Runs a formatting change on the active memo with the entry in edit state.
  void ChangeMemoFormat(const std::function<void(TDBRichEdit*)>& change, bool guarded = true);
  void PrintActiveMemo();
  bool TabHasContent(int index) const;
  // The toolbar behind a toolbar menu item (by its name's suffix), and its stored value.
  TToolWindow97* ToolbarOfItem(const TMenuItem* item, std::string& valueName) const;
  void ToolbarMenuClick(TMenuItem* item);
  void ToolbarMenuPopup(TPopupMenu* menu);
  void LocateDialogInitDialog(TwwLocateDlg* dialog);
  void StoreFindSettings();
  void HelpContents();
  void HelpTopicSearch();
  // Where the find window was when it last went (stored after each search).
  int FindTop = 0, FindLeft = 0;

  // ---- Attachments (the attachment view's mode at start and close) ----
  int AttachmentMode() const;
  void SetAttachmentMode(int mode);

  // ---- Export to comma-separated and HTML files (bug_export.cpp) ----
  std::string KindCaption;
  std::vector<bool> ExportFlags;  // one per exported column, in file order
  int ExportCount = 0;
  std::string ExportTotal;
  std::string HtmlTitleColor, HtmlDataColor, HtmlBackColor;
  TSaveDialog* dlgSave = nullptr;
  TStatusBar* sbMain = nullptr;
  void WireExportHandlers();
  void ExportThisRecord();
  void ExportCurrentProgram();
  void ExportAllPrograms();
  void SetCombinedLabels();
  void ShowExportFields();
  // Disables (or enables again) what the user could change during a pass.
  void LockForExport(bool locked);

  // ---- Attachments (bug_attachments.cpp) ----
  bool AttachmentsDeleting = false;
  std::string AttachmentsPath() const;
  void WireAttachmentHandlers();
  void AttachFile(const std::string& source);
  std::string UniqueAttachmentName(const std::string& name) const;
  void ExecuteAttachment();
  bool DeleteEntryAttachmentFiles();
  bool DeleteCurrentEntry();
  void DeleteProgramAttachments();
  TSystemImageList* silAttachment_Large = nullptr;
  TSystemImageList* silAttachment_Small = nullptr;
  TOpenDialog* dlgOpen = nullptr;
  void RefreshAttachmentList();
  // Attaches each file in order (the add-by-dialog and drop commands).
  void AttachFiles(const std::vector<std::string>& sources);
  void DeleteAttachments();
  void UpdateAttachmentButtons();
  void EnableAttachmentButtons();
  void DisableAttachmentButtons();
  void ShowAttachmentProperties();
  TMenuItem* popAttachment_Add = nullptr;
  TMenuItem* popAttachment_Delete = nullptr;
  TMenuItem* popAttachment_Execute = nullptr;
  TMenuItem* popAttachment_SelectAll = nullptr;
  TMenuItem* popAttachment_View_LargeIcons = nullptr;
  TMenuItem* popAttachment_View_SmallIcons = nullptr;
  TMenuItem* popAttachment_View_List = nullptr;
  TMenuItem* popAttachment_Seperator_Properties = nullptr;
  TMenuItem* popAttachment_Properties = nullptr;
  void CreateAttachmentMenu();
  void popAttachmentPopup(TObject* Sender);

  // ---- Options dialog (bug_options.cpp) ----
  void InstallOptionsCommands();
  // Saves the column widths, then shows the options dialog modally and frees it.
  void ShowOptions();

  // ---- Statistics, charts and program properties (bug_statistics.cpp) ----
  // What the last counting pass found among the entries it visited.
  struct TStatCounters {
    int EntryCount = 0;
    int Priority[6] = {};  // [0] an empty Priority, [1]..[5] the codes "1".."5"
    int Status[10] = {};   // [0] an empty Status, [1]..[9] the codes "1".."9"
  };
  TStatCounters StatCounters;
  // Set by the progress window's Cancel button, read by the counting pass.
  bool CancelRequested = false;
  // Counts the entries the entry table shows; false when cancelled.
  bool CalcStatistics();
  // Kinds: 0 status, 1 priority, 2 fixed, 3 verified, 4 time.
  void ShowChart(int kind);
  void ShowProgramProperties();
  void InstallStatisticsCommands();

  // ---- Report windows and printing (bug_reports.cpp) ----
  // Each runs its report window on the screen (preview) or the printer; kind
  // 0 all entries, 1 only bug reports, 2 only feature requests.
  void InstallReportCommands();
  void PrintSingleEntry(bool preview);
  void PrintListingThisProgram(bool preview, int kind);
  void PrintComprehensiveThisProgram(bool preview, int kind);
  void PrintListingAllPrograms(bool preview, int kind);
  void PrintComprehensiveAllPrograms(bool preview, int kind);
  // The single-entry items of the report menus name the type tab's kind.
  void SetReportItemCaptions();

 protected:
  void Dispatch(TMessage& message) override;

 private:
  bool bringingUp_ = false;  // the first activation's work is running
  // The component builders, in the order the constructor runs them.
  void CreateDatasets();
  void CreateFields();
  void ShareLookupRows();
  void CreatePanes();
  void CreateRecordPane();
  void CreateGridEditors();
  void CreateLookupCombos();
  void CreateToolbars();
  void CreateMenus();
  void CreatePopupMenus();

  // Toolbar pictures, and the main menu's owner-drawn items showing them (bug_glyphs.cpp).
  void GiveToolbarGlyphs();
  void GiveMenuPictures();
};

extern TfrmBug* frmBug;
