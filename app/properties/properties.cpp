#include "app/properties/properties.h"

#include "app/common/components.h"
#include "app/common/entrypass.h"
#include "app/main/bug.h"
#include "app/main/mainplace.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/tabs.h"

IMPLEMENT_CLASS(TfrmProperties, TForm)

namespace {

constexpr int kWidth = 300, kHeight = 260, kMargin = 8, kRow = 20;
constexpr int kCaptionLeft = 24, kValueLeft = 150, kButtonWidth = 75, kButtonHeight = 25;

TLabel* NewLabel(TfrmProperties* form, const char* name, const std::string& caption, int left,
                 int top) {
  auto* label = NewControl<TLabel>(form, form->tsGeneral, name);
  label->SetCaption(caption);
  label->SetLeft(left);
  label->SetTop(top);
  return label;
}

}  // namespace

TfrmProperties::TfrmProperties(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmProperties");
  SetCaption("Program Properties");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  pcProperties = NewControl<TPageControl>(this, this, "pcProperties");
  pcProperties->SetBounds(kMargin, kMargin, kWidth - 2 * kMargin,
                          kHeight - 3 * kMargin - kButtonHeight);
  tsGeneral = NewComponent<TTabSheet>(this, "tsGeneral");
  tsGeneral->SetPageControl(pcProperties);
  tsGeneral->SetCaption("General");
  lblProgramName = NewLabel(this, "lblProgramName", "", kMargin, kMargin);
  // Each count's caption, its label and its row.
  const struct {
    const char* caption;
    const char* name;
    TLabel* TfrmProperties::*label;
    int row;
  } rows[] = {{"Bug Reports:", "lblReports_Out", &TfrmProperties::lblReports_Out, 2},
              {"Fixed", "lblFixed_Out", &TfrmProperties::lblFixed_Out, 3},
              {"Verified:", "lblVerified_Out", &TfrmProperties::lblVerified_Out, 4},
              {"Feature Requests:", "lblFeatureRequests_Out", &TfrmProperties::lblFeatureRequests_Out, 6},
              {"Implemented:", "lblFixed_Out_Feature", &TfrmProperties::lblFixed_Out_Feature, 7},
              {"Verified:", "lblVerified_Out_Feature", &TfrmProperties::lblVerified_Out_Feature, 8}};
  for (const auto& r : rows) {
    const bool heading = r.row == 2 || r.row == 6;
    NewLabel(this, "", r.caption, heading ? kMargin : kCaptionLeft, kMargin + r.row * kRow);
    this->*r.label = NewLabel(this, r.name, "0", kValueLeft, kMargin + r.row * kRow);
  }
  btnOK = NewControl<TButton>(this, this, "btnOK");
  btnOK->SetCaption("OK");
  btnOK->SetDefault(true);
  btnOK->SetCancel(true);
  btnOK->SetModalResult(mrOk);
  btnOK->SetBounds(kWidth - kMargin - kButtonWidth, kHeight - kMargin - kButtonHeight, kButtonWidth,
                   kButtonHeight);
  OnShow = [this](TObject* sender) { FormShow(sender); };
}

void TfrmProperties::FormShow(TObject*) {
  // The counting moves the table: the user's entry is found again after.
  TMainPlace place(frmBug);
  lblProgramName->SetCaption(frmBug->wwtblProgram->FieldByName("Program")->AsString());
  SetActiveControl(btnOK);
  TEntryPass pass(frmBug->dsetBug, frmBug->Busy);
  CountKind("BugReport", lblReports_Out, lblFixed_Out, lblVerified_Out);
  CountKind("FeatureRequest", lblFeatureRequests_Out, lblFixed_Out_Feature, lblVerified_Out_Feature);
  frmBug->ApplyFilter();
  place.GoBack();
}

void TfrmProperties::CountKind(const char* reportType, TLabel* entries, TLabel* fixed,
                               TLabel* verified) {
  TDataSet* table = frmBug->dsetBug;
  try {
    table->SetFilterText(std::string("ReportType = '") + reportType + "'");
    table->SetFiltered(true);
    if (table->IsEmpty()) return;
    frmBug->CalcStatistics();
    const TfrmBug::TStatCounters& n = frmBug->StatCounters;
    entries->SetCaption(std::to_string(n.EntryCount));
    fixed->SetCaption(std::to_string(n.Status[3]));
    verified->SetCaption(std::to_string(n.Status[4]));
  } catch (const Exception&) {
    // A count that cannot be made keeps its "0"; the window still shows.
  }
}
