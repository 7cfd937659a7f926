// Taking and giving back the place the main window shows.

#include "app/main/mainplace.h"

#include "app/main/bug.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/datasource.h"

TMainPlace::TMainPlace(TfrmBug* form)
    : form_(form),
      program_(form->wwtblProgram->Bookmark()),
      entry_(form->dsetBug->Bookmark()),
      row_(form->dbgBug->DataLink()->ActiveRecord()) {}

void TMainPlace::GoBack() {
  // The program first: moving it brings its entries, among them the one kept.
  GoBack(form_->wwtblProgram, program_);
  GoBack(form_->dsetBug, entry_);
  ShowOnRow();
}

void TMainPlace::GoBack(TDataSet* table, TBookmarkStr& kept) {
  if (kept.empty()) return;
  TBookmarkStr now = table->Bookmark();
  if (!now.empty() && table->CompareBookmarks(now.data(), kept.data()) == 0) return;
  // Going straight there reads the record once; a record deleted or filtered
  // out meanwhile is found missing by that read, and the table's rows stay
  // as they were. (A check first would read it twice, and the engine's check
  // passes a deleted record that has a successor.)
  try {
    table->SetBookmark(kept);
  } catch (const EDatabaseError&) {
  }
}

// Scrolls the grid until the current entry stands on its row again, as far
// as the entries around it allow: moving past an edge of the rows shown
// scrolls them, moving back inside does not. The grid shows the table's
// whole record window (it is the table's widest view), so the row is known
// from the table even while the grid does not follow it.
void TMainPlace::ShowOnRow() {
  TDataLink* link = form_->dbgBug->DataLink();
  TDataSet* entries = form_->dsetBug;
  const int shown = link->ActiveRecord();
  if (shown == row_ || entries->IsEmpty()) return;
  const int past = shown > row_ ? link->BufferCount() - 1 - row_ : -row_;
  entries->MoveBy(-entries->MoveBy(past));
}
