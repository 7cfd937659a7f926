#pragma once
// A pass over the entries the entry table shows (the counting pass, the time
// chart's scan, the program properties): while it runs the main window's Busy
// flag keeps the detail pane and toolbar still, the table's controls are
// suspended and the cursor is the hourglass. All three go back however the
// pass ends, an exception included: the cursor to the default one, or inside
// other busy work (a pass within a pass) to the one that work showed.

#include "platform/classlib/controls/controls.h"

class TDataSet;

// The main window's Busy flag set for a scope (the detail pane and toolbar
// keep still), and what it was before put back after, so scopes nest.
class TBusyScope {
 public:
  explicit TBusyScope(bool& busy) : busy_(busy), was_(busy) { busy_ = true; }
  ~TBusyScope() { busy_ = was_; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  bool& busy_;
  bool was_;
};

class TEntryPass {
 public:
  TEntryPass(TDataSet* entries, bool& busy);
  ~TEntryPass();
  TEntryPass(const TEntryPass&) = delete;
  TEntryPass& operator=(const TEntryPass&) = delete;

  // The first entry the table's filter admits; false when there is none.
  bool First();
  // The next admitted entry; false past the last.
  bool Next();

 private:
  TDataSet* entries_;
  bool& busy_;
  bool wasBusy_;
  TCursor cursor_;  // what the busy work around the pass shows
  // Stepping visits what a find visits when the filter is on (or none is set).
  bool steps_;
};
