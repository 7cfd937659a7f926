#pragma once
// The new-entry dialog: fills a freshly appended entry before it is posted.
// Its edits are bound to the main window's entry data source, so the window
// holds no data of its own.

#include <string>

#include "platform/classlib/controls/forms.h"

class TButton;
class TLabel;
class TSpeedButton;
class TToolbarButton97;
class TwwDBComboDlg;
class TwwDBEdit;
class TwwDBLookupCombo;

class TfrmEnterNewRecord : public TForm {
  DECLARE_CLASS(TfrmEnterNewRecord, TForm)
 public:
  explicit TfrmEnterNewRecord(TComponent* AOwner);
  ~TfrmEnterNewRecord() override;

  TwwDBEdit* dbtxtIdentifier;
  TwwDBEdit* dbeDescription;
  TwwDBLookupCombo* dblcVersion;
  TwwDBLookupCombo* dblcArea;
  TwwDBLookupCombo* wwDBLookupCombo1;
  TwwDBLookupCombo* dblcReportedBy;
  TwwDBLookupCombo* dblcResponsibility;
  TwwDBLookupCombo* dblcFixedBy;
  TwwDBLookupCombo* dblcVerifiedBy;
  TwwDBLookupCombo* dblcFixedInVersion;
  TwwDBComboDlg* dbcdReportedDate;
  TwwDBComboDlg* dbcdFixedDate;
  TwwDBComboDlg* dbcdVerifiedDate;
  TLabel* lblReportedBy;
  TLabel* lblReportedDate;
  TLabel* lblFixedBy;
  TLabel* lblFixedDate;
  TLabel* lblFixedInVersion;

  TSpeedButton* sbtnVeryHigh;
  TSpeedButton* sbtnHigh;
  TSpeedButton* sbtnNormal;
  TSpeedButton* sbtnLow;
  TSpeedButton* sbtnVeryLow;
  TSpeedButton* sbtnNew;
  TSpeedButton* sbtnInProcess;
  TSpeedButton* sbtnFixed;
  TSpeedButton* sbtnCompleted;
  TSpeedButton* sbtnDelegated;
  TSpeedButton* sbtnDeferred;
  TSpeedButton* sbtnNoLongerRelevant;
  TSpeedButton* sbtnWillNotBeFixed;
  TSpeedButton* sbtnCouldNotDuplicate;
  TButton* btnOk;
  TButton* btnCancel;

  void RestoreWindowPosition();
  void SaveWindowPosition();
  void FormShow(TObject* Sender);
  void btnOkClick(TObject* Sender);
  void btnCancelClick(TObject* Sender);
  void ShowDateDialog(TObject* Sender);
  void WarnPriorityHidden();
  void WarnStatusHidden();

 private:
  void CreateEdits();
  void WireLookups();
  void CreateCodeButtons();
  void CreateButtons();
};

// The "entry not visible" notice, unless the user asked not to see it again.
void ShowNotVisibleMessage(const std::string& text);

extern TfrmEnterNewRecord* frmEnterNewRecord;
