#pragma once
// The filter dialog's window: the searchable fields on the left; for the
// selected field a search value with its search type, or a starting and
// ending range. Each field's entries become a working condition; the working
// list replaces the component's conditions only when the window closes with OK.

#include <string>
#include <vector>

#include "datactrls/wwfltdlg.h"
#include "platform/classlib/controls/forms.h"

class TBitBtn;
class TButton;
class TCheckBox;
class TEdit;
class TGroupBox;
class TLabel;
class TListBox;
class TNotebook;
class TPanel;
class TRadioGroup;
class TStringGrid;
class TTabSet;

// The "Show Search Summary" window: a title row, then one row per condition
// (label, search type, value), painted black on white.
class TwwFilterDialogView : public TForm {
  DECLARE_CLASS(TwwFilterDialogView, TForm)
 public:
  TwwFilterDialogView(TComponent* owner, const std::vector<std::vector<std::string>>& rows);
  TStringGrid* Grid;
  TButton* CancelButton;  // below the visible area: Escape closes the window
};

class TwwFilterDlg : public TForm {
  DECLARE_CLASS(TwwFilterDlg, TForm)
 public:
  TwwFilterDlg(TComponent* owner, TwwFilterDialog* dialog);

  TLabel* FieldsLbl;
  TListBox* FieldsListBox;
  TTabSet* FieldTabSet;  // All / Searched
  TRadioGroup* FieldOrder;
  TGroupBox* FieldCriteria;
  TNotebook* SelectNotebook;  // page 0 by value, page 1 by range
  TLabel* FieldValueLbl;
  TEdit* FilterValueEdit;
  TRadioGroup* MatchTypeGroup;  // exact, start, any
  TPanel* Panel1;
  TCheckBox* CaseSensitive;
  TCheckBox* Nonmatching;
  TBitBtn* FilterValueClearButton;
  TLabel* StartingRangeLbl;
  TEdit* MinValueEdit;
  TBitBtn* MinValueClearButton;
  TLabel* EndingRangeLbl;
  TEdit* MaxValueEdit;
  TBitBtn* MaxValueClearButton;
  TTabSet* ValueRangeTabSet;  // by value / by range
  TButton* ClearSearchButton;
  TButton* ViewButton;
  TButton* OKButton;
  TButton* CancelButton;

  TwwFilterDialog* Dialog() const { return dialog_; }
  TwwFieldInfoList& WorkingList() { return working_; }
  bool Changed() const { return changed_; }
  // The label whose entries the controls show (empty: none).
  const std::string& ShownLabel() const { return shown_; }
  // Stores the shown field's entries; false (the offending edit focused) when
  // a value or bound is no value of the field's type.
  bool LeaveField();
  // Shows the search summary window.
  void ViewSummary();
  // The search summary rows: label, search type, value.
  std::vector<std::vector<std::string>> SummaryRows() const;

 protected:
  void DoShow() override;

 private:
  void BuildControls();
  void ApplyTexts();
  void ApplyOptions();
  void FillFieldList(bool searchedOnly);
  void ShowField(const std::string& label);
  void ChoosePage(const TwwFieldInfo* condition, TFieldType type);
  void FocusEntry();
  void StoreEntries();
  void UpdateButtons();
  void SelectLabel(const std::string& label);
  void NewSearch();
  void FormKeyDown(WORD& key);
  bool IsSearchedTab() const;
  TFieldType FieldTypeOf(const std::string& label) const;
  bool IsRangeType(TFieldType type) const;
  int FindWorking(const std::string& label) const;
  TwwFilterMatchType SelectedMatchType() const;
  void SetMatchType(TwwFilterMatchType type);

  TwwFilterDialog* dialog_;
  TDataSet* dataSet_;
  TwwFieldInfoList working_;
  std::string shown_;
  bool activated_ = false;
  bool changed_ = false;
};
