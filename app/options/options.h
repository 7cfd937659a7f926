#pragma once
// The options dialog: shows every user option of the main window's settings,
// writes them back on OK or Apply and applies them at once; it also edits the
// five lookup tables through grids on the main window's lookup datasets and
// picks the colours of the HTML export.

#include <array>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"

class TButton;
class TCheckBox;
class TColorComboBox;
class TColorDialog;
class TComboBox;
class TEdit;
class TFont;
class TLabel;
class TMemo;
class TMenuItem;
class TOpenDialog;
class TPageControl;
class TPanel;
class TPopupMenu;
class TRadioGroup;
class TRegIniFile;
class TTabSheet;
class TTrackBar;
class TUpDown;
class TwwDBGrid;
class TwwtaTable;
struct LookupGridInfo;

class TfrmOptions : public TForm {
  DECLARE_CLASS(TfrmOptions, TForm)
 public:
  explicit TfrmOptions(TComponent* AOwner);
  ~TfrmOptions() override;

  // The font areas of the Fonts page, in the order of rgSelectFont.
  enum FontArea { faMemos, faProgramList, faGrid, faAddendum, faCount };
  struct PendingFont {
    std::string Name;
    int Size = 0;
    bool Bold = false, Italic = false;
  };
  // The lookup grid entered last (agNone until one is).
  enum LookupGrid { agNone, agVersion, agArea, agFixedVerified, agReportedBy, agSeverity };

  TPageControl* pcOptions;
  // General
  TCheckBox* chkConfirmDeletes;
  TComboBox* txtSeperatorLine;
  TCheckBox* chkShowMemoFieldStatus;
  TCheckBox* chkPlainText;
  TRadioGroup* rgInactiveTabColor;
  TRadioGroup* rgRowIndicatorColor;
  TColorComboBox* ccmbSortFieldColor;
  TColorComboBox* ccmbAddendumColor;
  // Fonts
  TRadioGroup* rgSelectFont;
  TComboBox* cmbFontName;
  TEdit* txtFontSize;
  TUpDown* udFontSize;
  TCheckBox* chkBold;
  TCheckBox* chkItalic;
  TButton* btnSetToDefault;
  TMemo* memSample;
  // Grid: one box per grid column (in the order of GridColumnBoxes()).
  std::vector<TCheckBox*> GridColumnBoxes;
  TCheckBox* chkShowIndicator;
  TTrackBar* trackbarCellHeight;
  TRadioGroup* rgDateTime;
  TRadioGroup* rgColumnMode;
  // New Entry
  TCheckBox* chkShowEntryDialog;
  TComboBox* cmbNewRecStatus;
  TComboBox* cmbNewRecPriority;
  TComboBox* cmbNewRecStatus_Feature;
  TComboBox* cmbNewRecPriority_Feature;
  TCheckBox* chkCopyDescriptionToReport;
  TCheckBox* chkEnterDate;
  // Drop Downs
  TwwDBGrid* dbgVersion;
  TwwDBGrid* dbgReportedBy;
  TwwDBGrid* dbgFixed_Verified;
  TwwDBGrid* dbgArea;
  TwwDBGrid* dbgSeverity;
  TPopupMenu* popDropDowns;
  TMenuItem* popDropDowns_Add;
  TMenuItem* popDropDowns_Delete;
  // Database
  TEdit* txtLocation;
  TButton* btnBrowse;
  TOpenDialog* dlgBrowse;
  // Export: one box per exported column (in the order of ExportBoxes()).
  std::vector<TCheckBox*> ExportBoxes;
  TPanel* pnlTitle;
  TPanel* pnlData;
  TPanel* pnlBackground;
  TLabel* lblTitle;
  TLabel* lblData;
  TColorDialog* dlgColor;
  // Toolbars
  TCheckBox* chkToolbars_Reports;
  TCheckBox* chkToolbars_Edit;
  TCheckBox* chkToolbars_Filter;
  TCheckBox* chkToolbars_Records;
  TCheckBox* chkToolbars_Programs;
  TCheckBox* chkToolbars_MemoOps;
  TCheckBox* chkToolbars_MemoColor;
  TCheckBox* chkToolbars_MemoFormatting;
  TCheckBox* chkToolbars_Attachments;

  TButton* btnOK;
  TButton* btnCancel;
  TButton* btnApply;

  // State kept while the dialog is open.
  std::array<PendingFont, faCount> Fonts;
  bool MemoFontChanged = false, ProgramFontChanged = false, GridFontChanged = false;
  bool ColumnsChanged = false, LocationChanged = false;
  LookupGrid LastGrid = agNone;

  void RestoreWindowPosition();
  void SaveWindowPosition();
  void FormShow(TObject* Sender);
  void LoadSettings();
  void SaveSettings();
  void ApplySettings();
  void UpdateSampleFont();
  void DeleteLookupEntry();
  void PickTitleColor();
  void PickDataColor();
  void PickBackgroundColor();
  void AddEntryClick();
  void DeleteEntryClick();
  void SelectFontArea();
  void SetToDefaultClick();

 private:
  TTabSheet* NewPage(const char* name, const char* caption);
  void CreateGeneralPage();
  void CreateFontsPage();
  void CreateGridPage();
  void CreateNewEntryPage();
  void CreateDropDownsPage();
  void CreateDatabasePage();
  void CreateExportPage();
  void CreateToolbarsPage();
  void CreateButtons();
  void WireFontControls();
  void WireApplyEnabling();
  void FitLookupColumns();
  void ShowLookupListsFromTheTop();
  // Stores what the lookup lists' rows being edited hold; false when the
  // database refused (the user was told).
  bool PostLookupEdit(const LookupGridInfo& g);
  bool PostLookupEdits();
  void CancelLookupEdits();
  // The table of the grid entered last; nullptr for agNone.
  TwwtaTable* LastGridTable() const;
  void PickColor(TPanel* panel);
  void FontControlChanged();
  void ApplyFontTo(TFont* font, FontArea area) const;
  void ApplyToMainWindow();
  void EnableApply();
  TRegIniFile& Reg() const;
  bool loading_ = false;  // controls are being filled: their handlers change nothing
};

// The custom colours file of the colour dialog (in the settings store's folder).
std::string CustomColorsPath();

extern TfrmOptions* frmOptions;
