// Toolbars, menus and find.
// (Stub bodies until this area's routines are filled in this file.)

#include "app/main/bug.h"

void TfrmBug::WireCommandHandlers() {}
void TfrmBug::LoadToolbarVisibility() {}
void TfrmBug::ApplyMemoToolbarVisibility() {}
void TfrmBug::HideMemoToolbars() {}
void TfrmBug::mnuMain_FileClick(TObject*) {}
void TfrmBug::mnuMain_EditClick(TObject*) {}
void TfrmBug::mnuMain_ViewClick(TObject*) {}
void TfrmBug::tbFindClick(TObject*) {}
