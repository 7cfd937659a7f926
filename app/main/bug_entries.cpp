// Entries and programs: adding, editing, deleting and switching entries, the programs, the dataset handlers and the enabling of the detail pane.
// (Stub bodies until this area's routines are filled in this file.)

#include "app/main/bug.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"

void TfrmBug::WireEntryHandlers() {}
void TfrmBug::AddEntry() {}
void TfrmBug::DeleteEntry() {}
void TfrmBug::AddProgram() {}
void TfrmBug::DeleteProgram() {}
void TfrmBug::RenameProgram() {}
void TfrmBug::SwitchEntry() {}
void TfrmBug::UpdateDetailControls() {}
void TfrmBug::UpdateToolbarButtons() {}
void TfrmBug::SetBugReportCaptions() {}
void TfrmBug::SetFeatureRequestCaptions() {}
void TfrmBug::tcTypeChange(TObject*) {}

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
