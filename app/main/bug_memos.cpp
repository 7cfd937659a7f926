// Rich-text memo panes: the active memo, formatting, separator lines, addenda and clipboard routing.
// (Stub bodies until this area's routines are filled in this file.)

#include "app/main/bug.h"

void TfrmBug::WireMemoHandlers() {}
void TfrmBug::FillFontNames() {}
void TfrmBug::ApplyDocumentFont() {}
void TfrmBug::FocusActiveMemo() {}
void TfrmBug::InsertSeparatorLine() {}
void TfrmBug::InsertAddendum() {}
void TfrmBug::CutCommand() {}
void TfrmBug::CopyCommand() {}
void TfrmBug::PasteCommand() {}
void TfrmBug::UndoCommand() {}
void TfrmBug::tcRTFsChange(TObject*) {}
