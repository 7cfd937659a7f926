// Entries and programs: adding, editing, deleting and switching entries, the
// programs, and the entry table's dataset handlers with their messages.

#include <memory>

#include "app/choosedate/choosefor.h"
#include "app/common/beepmessage.h"
#include "app/common/lookups.h"
#include "app/main/bug.h"
#include "app/newentry/enternewrecord.h"
#include "app/zoom/zoom.h"
#include "datactrls/edits/wwdotdot.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/win32/msgbox.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

constexpr const char* kOptions = "Options";
constexpr int kBugTab = 0, kFeatureTab = 1;

const std::string kDeleteErrorText =
    "A delete error has occured.\rThe normal cause of this error is when you attempt to delete\r"
    "an entry that is currently being modified or has been deleted by another user.\r\r";
const std::string kEditErrorText =
    "An edit error has occured.\rThe normal cause of this error is when you attempt to modify or "
    "delete\ran entry that is currently being modified or has been deleted by another user.\r\r";
const std::string kPostErrorText = "An error has occured while posting a record.\r\r";
const std::string kUpdateErrorText = "An update error has occured.\r\r";

// A code default is taken only when it is one of the row's codes ("1".."last").
bool IsCode(const std::string& value, char last) {
  return value.size() == 1 && value[0] >= '1' && value[0] <= last;
}

// A refused edit or post saved nothing, whatever the cause (a lock, a full
// disk, a database file gone): the message says so in plain words. An edit
// drops what was typed; a post keeps it, to be posted again or cancelled.
const std::string kChangeNotSaved = "\r\rYour change has not been saved.";

// The dataset error handlers: tell the user, then abort without a second box.
TDataSetErrorEvent Reporting(const std::string& text, const std::string& after = "") {
  return [text, after](TDataSet*, EDatabaseError& error, TDataAction& action) {
    ShowBeepMessage(text + error.Message() + after, kMsgError);
    action = daAbort;
  };
}

bool AskYesNo(const std::string& question) {
  MessageBeep(MB_ICONQUESTION);
  return MessageDlg(question, mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
}

}  // namespace

bool TfrmBug::Option(const std::string& name, bool fallback) const {
  return Reg->ReadBool(kOptions, name, fallback);
}

void TfrmBug::WireEntryHandlers() {
  dsetBug->OnNewRecord = [this](TDataSet*) { dsetBugNewRecord(); };
  dsetBug->AfterPost = [this](TDataSet*) { UpdateToolbarButtons(); };
  dsetBug->AfterScroll = [this](TDataSet*) { dsetBugAfterScroll(); };
  dsetBug->AfterDelete = [this](TDataSet* d) {
    if (!ProgramDeleting && d->IsEmpty()) ApplyFilter();
  };
  dsetBug->BeforeEdit = [this](TDataSet*) { SaveColumnWidths(); };
  dsetBug->OnDeleteError = Reporting(kDeleteErrorText);
  dsetBug->OnEditError = Reporting(kEditErrorText, kChangeNotSaved);
  dsetBug->OnPostError = Reporting(kPostErrorText, kChangeNotSaved);
  // The action stays as the dataset set it: the user may have more to say.
  dsetBug->SetOnUpdateError([](TDataSet*, EDatabaseError& error, TUpdateKind, TUpdateAction&) {
    ShowBeepMessage(kUpdateErrorText + error.Message(), kMsgError);
  });
  // The program list and the lookup lists are typed into as the entries are:
  // a change the database refuses is told in the same words and stays as typed.
  for (TwwtaTable* table : {wwtblProgram, wwtaArea, wwtaVersion, wwtaFixedInVersion, wwtaReportedBy, wwtaFixedBy,
                            wwtaVerifiedBy, wwtaResponsibility, wwtaSeverity}) {
    table->OnEditError = Reporting(kEditErrorText, kChangeNotSaved);
    table->OnPostError = Reporting(kPostErrorText, kChangeNotSaved);
  }
  wwtblProgram->AfterScroll = [this](TDataSet*) { UpdateToolbarButtons(); };
  wwtblProgram->AfterDelete = [this](TDataSet*) { EnsureProgramExists(); };
  tcType->OnChange = [this](TObject* sender) { tcTypeChange(sender); };
  WireEntryCommands();
}

void TfrmBug::WireEntryCommands() {
  auto addOf = [this](int tab, bool updateDetails) {
    return [this, tab, updateDetails](TObject*) {
      tcType->SetTabIndex(tab);
      tcTypeChange(this);
      AddEntry();
      if (updateDetails) UpdateDetailControls();
    };
  };
  mnuMain_Edit_Add_Report->OnClick = popGrid_AddReport->OnClick = addOf(kBugTab, false);
  mnuMain_Edit_Add_FeatureRequest->OnClick = popGrid_AddFeatureRequest->OnClick =
      addOf(kFeatureTab, false);
  tbAddBugReport->OnClick = addOf(kBugTab, true);
  tbAddFeature->OnClick = addOf(kFeatureTab, true);
  auto deleteEntry = [this](TObject*) { DeleteEntry(); };
  tbDelete->OnClick = popGrid_DeleteReport->OnClick = mnuMain_Edit_Delete_Report->OnClick =
      deleteEntry;
  tbSwitch->OnClick = [this](TObject*) { SwitchEntry(); };
  auto addProgram = [this](TObject*) { AddProgram(); };
  tbAddProgram->OnClick = popPrograms_AddProgram->OnClick = mnuMain_Edit_Add_Program->OnClick =
      addProgram;
  auto deleteProgram = [this](TObject*) { DeleteProgram(); };
  tbDeleteProgram->OnClick = popPrograms_DeleteProgram->OnClick =
      mnuMain_Edit_Delete_Program->OnClick = deleteProgram;
  popPrograms_Rename->OnClick = [this](TObject*) { RenameProgram(); };
  mnuMain_Edit_Edit_Entry->OnClick = [this](TObject*) {
    ShowEntryWindow(tcType->TabIndex() == kBugTab ? "Edit Bug Report" : "Edit Feature Request");
  };
  dbgBugIButton->OnClick = [this](TObject*) { ShowEntryWindow("Edit Entry"); };
  mnuMain_Edit_Edit_Field->OnClick = [this](TObject*) { EditFieldInZoom(); };
  mnuMain_Edit_Refresh->OnClick = [this](TObject*) {
    wwtblProgram->Refresh();
    dsetBug->Refresh();
  };
  mnuMain_File_Exit->OnClick = [this](TObject*) { Close(); };
  for (TwwDBComboDlg* date : {dbcdReportedDate, dbcdFixedDate, dbcdVerifiedDate}) {
    date->OnCustomDlg = [date](TObject*) { ChooseDateFor(date); };
    TodayOnSpace(date);
  }
  WireEntryFocus();
}

void TfrmBug::RelabelForType() {
  if (tcType->TabIndex() == kFeatureTab) SetFeatureRequestCaptions();
  else SetBugReportCaptions();
}

// Typing into a memo edits the entry: the pane asks for edit state on entry.
void TfrmBug::EnterMemoPane() {
  FocusArea = 2;
  if (SkipMemoPaneEdit) SkipMemoPaneEdit = false;
  else if (dsetBug->State() != dsEdit && dsetBug->State() != dsInsert) dsBug->Edit();
  RelabelForType();
}

void TfrmBug::WireEntryFocus() {
  dbgBug->OnEnter = [this](TObject*) {
    FocusArea = 1;
    RelabelForType();
  };
  dbgBug->OnExit = [this](TObject*) {
    for (TToolbarButton97* b : {tbCut, tbCopy, tbPaste}) b->SetEnabled(false);
    for (TMenuItem* item : {mnuMain_Edit_Paste, popGrid_Paste}) item->SetEnabled(false);
  };
  dbgBug->OnColEnter = [this](TObject*) {
    TField* field = dbgBug->GetSelectedField();
    mnuMain_Edit_Edit_Field->SetEnabled(field && IsZoomField(field->FieldName()));
    // Cut, copy and paste depend on the column.
    UpdateToolbarButtons();
  };
  dbgridPrograms->OnEnter = [this](TObject*) { FocusArea = 0; };
  pnlPrograms->OnResize = [this](TObject*) { FitProgramColumn(); };
  // A new row typed into the grid is kept as well as an edit.
  pnlGrid->OnResize = [this](TObject*) {
    try {
      PostPendingEntry();
    } catch (const EAbort&) {
      // The post-error handler has told the user; the record stays pending.
    }
  };
}

void TfrmBug::tcTypeChange(TObject*) {
  SaveColumnWidths();
  PostPendingEntry();
  dsetBug->DisableControls();
  if (tcType->TabIndex() == kFeatureTab) {
    ReportType = "FeatureRequest";
    SetFeatureRequestCaptions();
  } else {
    ReportType = "BugReport";
    SetBugReportCaptions();
  }
  ApplyFilter();
  dsetBug->EnableControls();
  LoadColumnWidths();
}

void TfrmBug::dsetBugNewRecord() {
  const bool bug = tcType->TabIndex() == kBugTab;
  TField* status = dsetBug->FieldByName("Status");
  const std::string statusDefault =
      Reg->ReadString(kOptions, bug ? "NewRecord_Status" : "NewRecord_Status_Feature", "1");
  if (IsCode(statusDefault, '9')) status->SetAsString(statusDefault);
  if (status->AsString().empty()) status->SetAsString("1");
  TField* priority = dsetBug->FieldByName("Priority");
  const std::string priorityDefault =
      Reg->ReadString(kOptions, bug ? "NewRecord_Priority" : "NewRecord_Priority_Feature", "3");
  if (IsCode(priorityDefault, '5')) priority->SetAsString(priorityDefault);
  if (priority->AsString().empty()) priority->SetAsString("3");
  dsetBug->FieldByName("ReportType")->SetAsString(bug ? "BugReport" : "FeatureRequest");
  if (Option("EnterDate", true)) dsetBug->FieldByName("ReportedDate")->SetAsDateTime(Date());
  LoadColumnWidths();
  ApplyDocumentFont();
}

void TfrmBug::dsetBugAfterScroll() {
  if (Busy || !Reg) return;
  ApplyDocumentFont();
  tcRTFs->Invalidate();
  UpdateDetailControls();
}

void TfrmBug::AddEntry() {
  // A new entry goes to the end of its program: the sort by a title is dropped.
  dsetBug->SetIndexName("ProgramNumber");
  dsetBug->Append();
  if (!Option("ShowEntryDialog", true)) return;
  ShowEntryWindow(tcType->TabIndex() == kBugTab ? "New Bug Report" : "New Feature Request");
}

void TfrmBug::ShowEntryWindow(const std::string& caption) {
  if (!frmEnterNewRecord) return;
  frmEnterNewRecord->SetCaption(caption);
  frmEnterNewRecord->ShowModal();
}

void TfrmBug::DeleteEntry() {
  if (dsetBug->IsEmpty()) return;
  if (Option("ConfirmDeletes", true) &&
      !AskYesNo(tcType->TabIndex() == kBugTab ? "Delete Bug Report?" : "Delete Feature Request?"))
    return;
  DeleteCurrentEntry();
}

void TfrmBug::AddProgram() {
  std::string name = "New Program";
  if (InputQuery("Add Program", "Program Name", name)) StoreProgramName(name, true);
}

void TfrmBug::RenameProgram() {
  if (wwtblProgram->IsEmpty()) return;
  const std::string current = wwtblProgram->FieldByName("Program")->AsString();
  const std::string name = InputBox("Rename Program", "Program Name", current);
  if (name != current) StoreProgramName(name, false);
}

// A name the database refuses stays in the list as typed, as an entry's
// change does: the post-error handler has told the user, and moving off the
// row (or closing the window) stores it once the database takes it.
void TfrmBug::StoreProgramName(const std::string& name, bool append) {
  try {
    if (append) wwtblProgram->Append();
    else wwtblProgram->Edit();
    wwtblProgram->FieldByName("Program")->SetAsString(name);
    wwtblProgram->Post();
  } catch (const EAbort&) {
    // Told by the table's error handler.
  }
}

void TfrmBug::DeleteProgram() {
  if (wwtblProgram->IsEmpty()) return;
  const std::string name = wwtblProgram->FieldByName("Program")->AsString();
  if (Option("ConfirmDeletes", true) &&
      !AskYesNo("Delete Program '" + name + "' and all its reports?"))
    return;
  PostPendingEntry();
  try {
    DeleteProgramAttachments();
  } catch (const EDatabaseError& e) {
    ShowBeepMessage(kDeleteErrorText + e.Message(), kMsgError);
  }
  dsetBug->Refresh();
  UpdateDetailControls();
}

// Every entry of the current program goes, of both kinds and whatever the
// quick filter hides, so its own cursor walks them. All are tried for edit
// first: an entry another user holds stops the delete before anything goes.
void TfrmBug::DeleteProgramEntries() {
  auto entries = std::make_unique<TwwtaTable>(nullptr);
  entries->SetDatabaseName(DatabasePath);
  entries->SetTableName("Reports");
  entries->SetIndexName("ProgramNumber");
  entries->SetMasterSource(wwdsProgram);
  entries->SetMasterFields("ProgramNumber");
  entries->Open();
  for (entries->First(); !entries->Eof(); entries->Next()) {
    entries->Edit();
    entries->Cancel();
  }
  entries->First();
  while (!entries->IsEmpty()) entries->Delete();
}

void TfrmBug::SwitchEntry() {
  if (dsetBug->IsEmpty()) {
    ShowBeepMessage(
        "You cannot switch entries because there are no entries.\rSelect an existing entry and "
        "try again.",
        kMsgError);
    return;
  }
  dsetBug->Edit();
  TField* type = dsetBug->FieldByName("ReportType");
  if (type->AsString() == "BugReport") type->SetAsString("FeatureRequest");
  else if (type->AsString() == "FeatureRequest") type->SetAsString("BugReport");
  if (dsetBug->State() == dsEdit || dsetBug->State() == dsInsert) dsetBug->Post();
  ApplyFilter();
}

// Only the short text fields open in the zoom window.
bool TfrmBug::IsZoomField(const std::string& field) {
  for (const char* name : {"Description", "Version", "ReportedBy", "FixedBy", "VerifiedBy"})
    if (field == name) return true;
  return false;
}

void TfrmBug::EditFieldInZoom() {
  TField* field = dbgBug->GetSelectedField();
  if (!field || !frmZoom || !IsZoomField(field->FieldName())) return;
  frmZoom->SetCaption(field->DisplayName());
  frmZoom->rtfText->SetText(field->AsString());
  if (frmZoom->ShowModal() != mrOk) return;
  dsetBug->Edit();
  field->SetAsString(frmZoom->rtfText->Text());
}

// The program list is never empty: a program is added even when the name box
// is cancelled (then under the default name).
void TfrmBug::EnsureProgramExists() {
  if (!wwtblProgram->IsEmpty()) return;
  HideSplash();
  const std::string name = InputBox("Add Program", "Program Name", "New Program");
  wwtblProgram->Append();
  wwtblProgram->FieldByName("Program")->SetAsString(name);
  wwtblProgram->Post();
}
