#pragma once
// Finding a record of a dataset by the value of one field: the search routine
// wwLocateValue, and the locate dialog that lets the user choose the field,
// the value and the kind of match.

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/db/datasource.h"

class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TGroupBox;
class TRadioButton;

DECLARE_ENUM(TwwLocateMatchType, mtExactMatch, mtPartialMatchStart, mtPartialMatchAny)
DECLARE_ENUM(TwwFieldSortType, fsSortByFieldNo, fsSortByFieldName)
DECLARE_ENUM(TwwDefaultButtonType, dbFindFirst, dbFindNext)
DECLARE_ENUM(TwwFieldSelection, fsAllFields, fsVisibleFields)

// The hourglass for a scope that may read many records (when `wait`), the
// cursor before it afterwards.
class TwwWaitCursor {
 public:
  explicit TwwWaitCursor(bool wait = true);
  ~TwwWaitCursor();
  TwwWaitCursor(const TwwWaitCursor&) = delete;
  TwwWaitCursor& operator=(const TwwWaitCursor&) = delete;

 private:
  TCursor saved_;
  bool wait_;
};

// Whether a field's text matches the value. Not case-sensitive: the field
// text is taken as the upper case of its fold (AnsiUpperCaseFolded), so that
// every case pair matches; the caller has taken the value so, alike.
bool wwMatchText(const std::string& fieldText, const std::string& value,
                 TwwLocateMatchType matchType, bool caseSensitive);

// Moves the dataset to the first (fromFirst) or next record whose field
// matches; true when found. Without a match the dataset stays where it was.
// A missing field shows "Field <name> not found." and gives false.
bool wwLocateValue(bool fromFirst, TDataSet* dataSet, const std::string& fieldName,
                   const std::string& value, TwwLocateMatchType matchType, bool caseSensitive);

// The dialog's form.
class TwwLocateDlg : public TForm {
  DECLARE_CLASS(TwwLocateDlg, TForm)
 public:
  explicit TwwLocateDlg(TComponent* owner);

  TGroupBox* SearchTypeGroup;
  TCheckBox* CaseSensitiveCheckBox;
  TRadioButton* ExactMatchBtn;
  TRadioButton* PartialMatchStartBtn;
  TRadioButton* PartialMatchAnyBtn;
  TGroupBox* FieldsGroup;
  TComboBox* FieldNameComboBox;
  TGroupBox* FieldValueGroup;
  TEdit* SearchValue;
  TButton* FirstButton;
  TButton* NextButton;
  TButton* CancelButton;

  TDataSet* DataSet = nullptr;
  // The form's settings as the radio buttons and the list hold them.
  TwwLocateMatchType MatchType() const;
  void SetMatchType(TwwLocateMatchType value);
  std::string SelectedFieldName() const;
  // Runs when the form is shown, after the library texts are applied.
  std::function<void(TwwLocateDlg*)> OnShowDialog;

 protected:
  void DoShow() override;

 private:
  void ApplyTexts();
  void Find(bool fromFirst);
  bool nextWasDefault_ = true;
  bool enterCloses_ = false;
};

using TwwOnInitLocateDlgEvent = std::function<void(TwwLocateDlg* dialog)>;

class TwwLocateDialog : public TComponent {
  DECLARE_CLASS(TwwLocateDialog, TComponent)
 public:
  explicit TwwLocateDialog(TComponent* owner);
  ~TwwLocateDialog() override;

  std::string Caption = "Locate Field Value";
  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* value) { link_->SetDataSource(value); }
  std::string SearchField;
  TwwLocateMatchType MatchType = mtPartialMatchStart;
  bool CaseSensitive = false;
  TwwFieldSortType SortFields = fsSortByFieldName;
  TwwDefaultButtonType DefaultButton = dbFindNext;
  TwwFieldSelection FieldSelection = fsAllFields;
  bool ShowMessages = true;
  TwwOnInitLocateDlgEvent OnInitDialog;
  // The search text, preset into the dialog and read back after it.
  std::string FieldValue;

  virtual void InitDialog(TwwLocateDlg* dialog);
  // True when the dialog closed with OK (after a successful search).
  virtual bool Execute();

 private:
  void FillFields(TwwLocateDlg* dialog, TDataSet* dataSet) const;
  std::unique_ptr<TDataLink> link_;
};
