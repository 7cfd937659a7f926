#include "app/newentry/enternewrecord.h"

#include <array>
#include <memory>
#include <span>

#include "app/choosedate/choosefor.h"
#include "app/common/components.h"
#include "app/common/lookups.h"
#include "app/common/placement.h"
#include "app/main/bug.h"
#include "app/message/message.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/edits/wwdotdot.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/speedbutton.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

IMPLEMENT_CLASS(TfrmEnterNewRecord, TForm)

TfrmEnterNewRecord* frmEnterNewRecord = nullptr;

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kTop = "NewReportWindowTop";
constexpr const char* kLeft = "NewReportWindowLeft";
// The two exclusive rows of picture buttons.
constexpr int kPriorityGroup = 1, kStatusGroup = 2;
constexpr int kPriorityCount = 5, kStatusCount = 9;
// Layout: a label column, an edit column, rows of this height.
constexpr int kLabelLeft = 8, kEditLeft = 120, kEditWidth = 220, kRowHeight = 26;
constexpr int kCodeButton = 24, kFormWidth = 470, kFormHeight = 440;
// Versions read best in a list no narrower than this.
constexpr int kVersionListWidth = 150;

// A code row's names in code order ("1" first), as the warnings word them.
constexpr const char* kPriorityNames[kPriorityCount] = {"Very High", "High", "Normal", "Low",
                                                        "Very Low"};
constexpr const char* kStatusNames[kStatusCount] = {
    "New",      "In Process",         "Fixed",
    "Completed", "Delegated",         "Deferred",
    "No Longer Relevant", "Will Not Be Fixed", "Could Not Duplicate"};

// The name of a one-digit code, "" for any other value.
std::string CodeName(const std::string& code, const char* const* names, int count) {
  if (code.size() != 1 || code[0] < '1' || code[0] > '0' + count) return "";
  return names[code[0] - '1'];
}

std::string NotVisibleText(const std::string& what, const std::string& name) {
  return "This new entry will not be immediately visible on the grid because the filter is set "
         "to not show entries with a " + what + " of '" + name + "'.";
}

// Settings are written through the main window's settings object when it is
// there, so two objects on one key never overwrite each other.
template <class F>
void WithSettings(F use) {
  if (frmBug && frmBug->Reg) {
    use(*frmBug->Reg);
    return;
  }
  TRegIniFile reg(kSettingsKey);
  use(reg);
}

TDataSet* Entries() { return frmBug ? frmBug->dsetBug : nullptr; }

// A lookup table of the main window, none without it.
TDataSet* Table(TwwtaTable* TfrmBug::*table) { return frmBug ? frmBug->*table : nullptr; }

}  // namespace

void ShowNotVisibleMessage(const std::string& text) {
  bool warn = true;
  WithSettings([&](TRegIniFile& reg) { warn = reg.ReadBool("Settings", "Warn Record Not Visible", true); });
  if (!warn) return;
  auto message = std::make_unique<TfrmMessage>(nullptr);
  message->lblMessage->SetCaption(text);
  message->ShowModal();
  const bool again = !message->chkMessageBodyBlankConfirm->Checked();
  WithSettings([&](TRegIniFile& reg) { reg.WriteBool("Settings", "Warn Record Not Visible", again); });
}

TfrmEnterNewRecord::TfrmEnterNewRecord(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmEnterNewRecord");
  SetCaption("New Bug Report");
  SetClientWidth(kFormWidth);
  SetClientHeight(kFormHeight);
  CreateEdits();
  CreateCodeButtons();
  CreateButtons();
  OnShow = [this](TObject* sender) { FormShow(sender); };
  // The title bar's close button cancels as the Cancel button does.
  OnClose = [this](TObject*, TCloseAction&) {
    if (ModalResult() != mrOk && Entries() && Entries()->State() == dsInsert) btnCancelClick(this);
  };
  RestoreWindowPosition();
}

TfrmEnterNewRecord::~TfrmEnterNewRecord() {
  SaveWindowPosition();
  if (frmEnterNewRecord == this) frmEnterNewRecord = nullptr;
}

void TfrmEnterNewRecord::CreateEdits() {
  TDataSource* source = frmBug ? frmBug->dsBug : nullptr;
  int row = 0;
  auto place = [&](TWinControl* c, const char* labelName, const char* caption) {
    auto* label = NewControl<TLabel>(this, this, labelName);
    label->SetCaption(caption);
    label->SetFocusControl(c);  // Alt and the caption's letter focus the field
    label->SetBounds(kLabelLeft, 8 + row * kRowHeight, kEditLeft - kLabelLeft, kRowHeight - 4);
    c->SetBounds(kEditLeft, 8 + row * kRowHeight, kEditWidth, kRowHeight - 4);
    ++row;
    return label;
  };
  auto edit = [&](const char* name, const char* field, const char* labelName,
                  const char* caption) {
    auto* e = NewControl<TwwDBEdit>(this, this, name);
    e->SetDataSource(source);
    e->SetDataField(field);
    place(e, labelName, caption);
    return e;
  };
  auto date = [&](const char* name, const char* field, const char* labelName,
                  const char* caption, TLabel** label) {
    auto* e = NewControl<TwwDBComboDlg>(this, this, name);
    e->SetDataSource(source);
    e->SetDataField(field);
    e->OnCustomDlg = [this](TObject* sender) { ShowDateDialog(sender); };
    TodayOnSpace(e);
    *label = place(e, labelName, caption);
    return e;
  };
  auto lookup = [&](const char* name, const char* field, const char* labelName,
                    const char* caption, TDataSet* table, const char* lookupField) {
    auto* c = NewLookupCombo(this, this, name, source, field, table, lookupField);
    place(c, labelName, caption);
    return c;
  };
  dbtxtIdentifier = edit("dbtxtIdentifier", "Identifier", "lblIdentifier", "Identifier");
  dbeDescription = edit("dbeDescription", "Description", "lblDescription", "&Description");
  dblcVersion = lookup("dblcVersion", "Version", "lblVersion", "&Version", Table(&TfrmBug::wwtaVersion), "Version");
  dblcArea = lookup("dblcArea", "Area", "lblArea", "&Area", Table(&TfrmBug::wwtaArea), "Area");
  wwDBLookupCombo1 = lookup("wwDBLookupCombo1", "Severity", "lblSeverity", "&Severity",
                            Table(&TfrmBug::wwtaSeverity), "Severity");
  dblcReportedBy = lookup("dblcReportedBy", "ReportedBy", "lblReportedBy", "&Reported By",
                          Table(&TfrmBug::wwtaReportedBy), "User");
  lblReportedBy = static_cast<TLabel*>(FindComponent("lblReportedBy"));
  dbcdReportedDate =
      date("dbcdReportedDate", "ReportedDate", "lblReportedDate", "Rep&orted Date", &lblReportedDate);
  dblcResponsibility = lookup("dblcResponsibility", "Responsibility", "lblResponsibility",
                              "Res&ponsibility", Table(&TfrmBug::wwtaFixedBy), "Employee");
  dblcFixedBy = lookup("dblcFixedBy", "FixedBy", "lblFixedBy", "&Fixed By",
                       Table(&TfrmBug::wwtaFixedBy), "Employee");
  lblFixedBy = static_cast<TLabel*>(FindComponent("lblFixedBy"));
  dbcdFixedDate = date("dbcdFixedDate", "FixedDate", "lblFixedDate", "Fi&xed Date", &lblFixedDate);
  dblcFixedInVersion = lookup("dblcFixedInVersion", "FixedInVersion", "lblFixedInVersion",
                              "Fixed &In Version", Table(&TfrmBug::wwtaVersion), "Version");
  lblFixedInVersion = static_cast<TLabel*>(FindComponent("lblFixedInVersion"));
  dblcVerifiedBy = lookup("dblcVerifiedBy", "VerifiedBy", "lblVerifiedBy", "V&erified By",
                          Table(&TfrmBug::wwtaVerifiedBy), "Employee");
  TLabel* verifiedDate = nullptr;
  dbcdVerifiedDate = date("dbcdVerifiedDate", "VerifiedDate", "lblVerifiedDate", "Verified Da&te",
                          &verifiedDate);
  WireLookups();
}

void TfrmEnterNewRecord::WireLookups() {
  // A new reporter is the entry's reporter at once, whatever the combo does next.
  AppendWhenNotInList(dblcReportedBy, Entries());
  // Giving a person, by the list or by typing, stamps the matching date (and
  // time) when it is still empty.
  StampDateOnChoice(dblcReportedBy, Entries(), "ReportedDate", Now);
  StampDateOnChoice(dblcFixedBy, Entries(), "FixedDate", Now);
  StampDateOnChoice(dblcVerifiedBy, Entries(), "VerifiedDate", Now);
  KeepDropDownWide(dblcVersion, kVersionListWidth, false);
}

void TfrmEnterNewRecord::CreateCodeButtons() {
  const int top = 8 + 13 * kRowHeight;
  auto button = [&](const char* name, const char* hint, int group, int index) {
    auto* b = NewControl<TSpeedButton>(this, this, name);
    b->SetHint(hint);
    b->SetShowHint(true);
    b->SetGroupIndex(group);
    b->SetBounds(kEditLeft + index * (kCodeButton + 2), top + (group - 1) * (kCodeButton + 6),
                 kCodeButton, kCodeButton);
    return b;
  };
  sbtnVeryHigh = button("sbtnVeryHigh", "Very High", kPriorityGroup, 0);
  sbtnHigh = button("sbtnHigh", "High", kPriorityGroup, 1);
  sbtnNormal = button("sbtnNormal", "Normal", kPriorityGroup, 2);
  sbtnLow = button("sbtnLow", "Low", kPriorityGroup, 3);
  sbtnVeryLow = button("sbtnVeryLow", "Very Low", kPriorityGroup, 4);
  sbtnNew = button("sbtnNew", "New", kStatusGroup, 0);
  sbtnInProcess = button("sbtnInProcess", "In Process", kStatusGroup, 1);
  sbtnFixed = button("sbtnFixed", "Fixed", kStatusGroup, 2);
  sbtnCompleted = button("sbtnCompleted", "Verified", kStatusGroup, 3);
  sbtnDelegated = button("sbtnDelegated", "Delegated", kStatusGroup, 4);
  sbtnDeferred = button("sbtnDeferred", "Deferred", kStatusGroup, 5);
  sbtnNoLongerRelevant = button("sbtnNoLongerRelevant", "No Longer Relevant", kStatusGroup, 6);
  sbtnWillNotBeFixed = button("sbtnWillNotBeFixed", "Will Not Be Fixed", kStatusGroup, 7);
  sbtnCouldNotDuplicate = button("sbtnCouldNotDuplicate", "Could Not Duplicate", kStatusGroup, 8);
}

void TfrmEnterNewRecord::CreateButtons() {
  auto button = [&](const char* name, const char* caption, int left) {
    auto* b = NewControl<TButton>(this, this, name);
    b->SetCaption(caption);
    b->SetBounds(left, kFormHeight - 34, 80, 26);
    return b;
  };
  btnOk = button("btnOk", "OK", kFormWidth - 180);
  btnOk->SetDefault(true);
  btnOk->OnClick = [this](TObject* sender) { btnOkClick(sender); };
  btnCancel = button("btnCancel", "Cancel", kFormWidth - 90);
  btnCancel->SetCancel(true);
  btnCancel->OnClick = [this](TObject* sender) { btnCancelClick(sender); };
}

void TfrmEnterNewRecord::RestoreWindowPosition() {
  WithSettings([this](TRegIniFile& reg) { RestoreStoredPosition(*this, reg, kOptions, kTop, kLeft); });
}

void TfrmEnterNewRecord::SaveWindowPosition() {
  WithSettings([this](TRegIniFile& reg) {
    reg.WriteInteger(kOptions, kTop, Top());
    reg.WriteInteger(kOptions, kLeft, Left());
  });
}

namespace {

// Each row's buttons in code order ("1" first).
std::array<TSpeedButton*, kPriorityCount> PriorityRow(TfrmEnterNewRecord* f) {
  return {f->sbtnVeryHigh, f->sbtnHigh, f->sbtnNormal, f->sbtnLow, f->sbtnVeryLow};
}

std::array<TSpeedButton*, kStatusCount> StatusRow(TfrmEnterNewRecord* f) {
  return {f->sbtnNew,       f->sbtnInProcess, f->sbtnFixed,
          f->sbtnCompleted, f->sbtnDelegated, f->sbtnDeferred,
          f->sbtnNoLongerRelevant, f->sbtnWillNotBeFixed, f->sbtnCouldNotDuplicate};
}

// The main window's quick-filter buttons in the same code order.
TToolbarButton97* PriorityFilter(int index) {
  TToolbarButton97* const filters[] = {frmBug->tbPriorityFilter_VeryHigh,
                                       frmBug->tbPriorityFilter_High,
                                       frmBug->tbPriorityFilter_Normal,
                                       frmBug->tbPriorityFilter_Low,
                                       frmBug->tbPriorityFilter_VeryLow};
  return filters[index];
}

TToolbarButton97* StatusFilter(int index) {
  TToolbarButton97* const filters[] = {
      frmBug->tbStatusFilter_NewReport,        frmBug->tbStatusFilter_InProcess,
      frmBug->tbStatusFilter_Fixed,            frmBug->tbStatusFilter_Completed,
      frmBug->tbStatusFilter_Delegated,        frmBug->tbStatusFilter_Deferred,
      frmBug->tbStatusFilter_NoLongerRelevant, frmBug->tbStatusFilter_WillNotBeFixed,
      frmBug->tbStatusFilter_CouldNotDuplicate};
  return filters[index];
}

using Row = std::span<TSpeedButton* const>;

// Each code button shows the picture of the quick-filter button of its code,
// so the two rows read as the filter bar does.
void ShowFilterPictures(TfrmEnterNewRecord* f) {
  const auto status = StatusRow(f);
  for (int i = 0; i < kStatusCount; ++i) status[i]->SetGlyph(StatusFilter(i)->Glyph());
  const auto priority = PriorityRow(f);
  for (int i = 0; i < kPriorityCount; ++i) priority[i]->SetGlyph(PriorityFilter(i)->Glyph());
}

// Presses the button of `code` in a row (none for another value).
void PressCode(Row row, const std::string& code) {
  for (TSpeedButton* b : row) b->SetDown(false);
  const int index = code.size() == 1 ? code[0] - '1' : -1;
  if (index >= 0 && index < int(row.size())) row[index]->SetDown(true);
}

// The index of the pressed button of a row, -1 when none is.
int PressedIndex(Row row) {
  for (size_t i = 0; i < row.size(); ++i)
    if (row[i]->Down()) return int(i);
  return -1;
}

// Writes the pressed button's code; a row with none down leaves the field.
void WriteCode(TDataSet* d, const char* field, int index) {
  if (index >= 0) d->FieldByName(field)->SetAsString(std::string(1, char('1' + index)));
}

}  // namespace

void TfrmEnterNewRecord::FormShow(TObject*) {
  ShowFilterPictures(this);
  TDataSet* d = Entries();
  if (d->State() == dsEdit) d->Post();
  PressCode(StatusRow(this), d->FieldByName("Status")->AsString());
  PressCode(PriorityRow(this), d->FieldByName("Priority")->AsString());
  const bool bug = frmBug->tcType->TabIndex() == 0;
  lblReportedBy->SetCaption(bug ? "&Reported By" : "&Requested By");
  lblReportedDate->SetCaption(bug ? "Rep&orted Date" : "Req&uested Date");
  lblFixedBy->SetCaption(bug ? "&Fixed By" : "&Implemented By");
  lblFixedDate->SetCaption(bug ? "Fi&xed Date" : "I&mp. Date");
  lblFixedInVersion->SetCaption(bug ? "Fixed &In Version" : "Imp. In Versi&on");
  sbtnFixed->SetHint(bug ? "Fixed" : "Implemented");
  sbtnWillNotBeFixed->SetHint(bug ? "Will Not Be Fixed" : "Will Not Be Implemented");
  if (dbeDescription->CanFocus()) dbeDescription->SetFocus();
}

void TfrmEnterNewRecord::btnOkClick(TObject*) {
  // The box being typed in is left first, as a click on OK leaves it: Enter
  // and Alt+O too write its text and add a new name to its list.
  if (btnOk->CanFocus()) btnOk->SetFocus();
  TDataSet* d = Entries();
  d->Edit();
  // The edit holding the focus gives its text to the record first, so the
  // description copied below is the one typed.
  d->UpdateRecord();
  const int p = PressedIndex(PriorityRow(this));
  const int s = PressedIndex(StatusRow(this));
  WriteCode(d, "Priority", p);
  WriteCode(d, "Status", s);
  if (d->State() == dsInsert) {
    // One warning is enough: the priority's wins.
    if (p >= 0 && !PriorityFilter(p)->Down()) WarnPriorityHidden();
    else if (s >= 0 && !StatusFilter(s)->Down()) WarnStatusHidden();
    if (frmBug->Option("CopyDescToRept", true))
      d->FieldByName("Report")->SetAsString(d->FieldByName("Description")->AsString());
    // A refused post raises through the post-error handler: the window stays
    // open with the record still being inserted.
    d->Post();
  }
  SetModalResult(mrOk);
}

void TfrmEnterNewRecord::btnCancelClick(TObject*) {
  Entries()->Cancel();
  frmBug->UpdateDetailControls();
  SetModalResult(mrCancel);
}

void TfrmEnterNewRecord::ShowDateDialog(TObject* sender) {
  ChooseDateFor(static_cast<TwwDBCustomCombo*>(sender));
}

void TfrmEnterNewRecord::WarnPriorityHidden() {
  const std::string code = Entries()->FieldByName("Priority")->AsString();
  ShowNotVisibleMessage(NotVisibleText("Priority", CodeName(code, kPriorityNames, kPriorityCount)));
}

void TfrmEnterNewRecord::WarnStatusHidden() {
  const std::string code = Entries()->FieldByName("Status")->AsString();
  ShowNotVisibleMessage(NotVisibleText("Status", CodeName(code, kStatusNames, kStatusCount)));
}
