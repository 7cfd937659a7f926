// Entry grid columns: editors, visibility, widths, order, sorting and the row indicator.
// (Stub bodies until this area's routines are filled in this file.)

#include "app/main/bug.h"

void TfrmBug::WireColumnHandlers() {}
void TfrmBug::BindGridEditors() {}
void TfrmBug::ApplyRowHeightAndDates() {}
void TfrmBug::LoadColumnVisibility() {}
void TfrmBug::SaveColumnVisibility() {}
void TfrmBug::LoadColumnWidths() {}
void TfrmBug::SaveColumnWidths() {}
void TfrmBug::LoadColumnOrder() {}
void TfrmBug::SaveColumnOrder() {}
void TfrmBug::RowIndicatorOn() {}
void TfrmBug::RowIndicatorOff() {}
void TfrmBug::ChangeColumnVisibility(TObject*) {}
