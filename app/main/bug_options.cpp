// The View menu's Options command.

#include "app/main/bug.h"

#include "app/options/options.h"
#include "platform/classlib/menus/menus.h"

void TfrmBug::InstallOptionsCommands() {
  mnuMain_View_Options->OnClick = [this](TObject*) { ShowOptions(); };
}

void TfrmBug::ShowOptions() {
  // The dialog shows the widths as they are on screen now.
  SaveColumnWidths();
  TfrmOptions dialog(this);
  frmOptions = &dialog;
  dialog.ShowModal();
}
