#pragma once
// The place the main window shows: its program, its entry and the grid row
// that entry stands on. A pass that moves the tables (a report run, a list
// export) takes it first and gives it back after, so the user finds the
// window where it was.

#include "platform/classlib/db/dbtypes.h"

class TfrmBug;
class TDataSet;

class TMainPlace {
 public:
  explicit TMainPlace(TfrmBug* form);

  // The program, the entry, then the entry's grid row. Only a table that
  // moved is moved back, so a program that stayed does not read its entries
  // again. One deleted or filtered out meanwhile is not gone back to: its
  // table stays where the pass and the filter left it. Works as well with
  // the entry table's controls suspended, so that a caller can have the
  // window catch up once instead of at every move.
  void GoBack();

 private:
  static void GoBack(TDataSet* table, TBookmarkStr& kept);
  void ShowOnRow();

  TfrmBug* form_;
  TBookmarkStr program_, entry_;  // empty: the table had no record
  int row_;
};
