#include "app/common/entrypass.h"

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/db/dataset.h"

namespace {

// A find honours the filter condition even while filtering is off; stepping
// does the same when filtering is on (or nothing filters), and keeps the
// window of buffered records instead of re-reading it at every entry.
bool StepsLikeAFind(TDataSet* entries) {
  return entries->Filtered() || (entries->Filter().empty() && !entries->OnFilterRecord());
}

}  // namespace

TEntryPass::TEntryPass(TDataSet* entries, bool& busy)
    : entries_(entries), busy_(busy), wasBusy_(busy), cursor_(Screen->Cursor()),
      steps_(StepsLikeAFind(entries)) {
  Screen->SetCursor(crHourGlass);
  entries_->DisableControls();
  busy_ = true;
}

// What was there before goes back, so a pass inside another (the properties
// window counting twice) leaves the outer one's state alone. A pass of its
// own ends on the default cursor, not on the one it found: a wait cursor
// showing when it began (the engine's, whose timer may have gone by now)
// would stay on screen.
TEntryPass::~TEntryPass() {
  busy_ = wasBusy_;
  entries_->EnableControls();
  Screen->SetCursor(wasBusy_ ? cursor_ : crDefault);
}

bool TEntryPass::First() {
  if (!steps_) return entries_->FindFirst();
  entries_->First();
  return !entries_->Eof();
}

bool TEntryPass::Next() {
  if (!steps_) return entries_->FindNext();
  entries_->Next();
  return !entries_->Eof();
}
