#pragma once
// What the main window shows of its place (its program, its entry, the grid
// row the entry stands on and the entry on the grid's top row), and a
// data-aware control that counts how often it had to show another record.

#include <cstdint>
#include <memory>

#include "app/main/bug.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/fields.h"

namespace apptest {

struct TShownPlace {
  std::int64_t program, entry;
  int row;
  std::int64_t top;
  bool operator==(const TShownPlace&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TShownPlace& p) {
  return out << "program " << p.program << ", entry " << p.entry << " on row " << p.row << " below "
             << p.top;
}

inline TShownPlace ShownPlace(TfrmBug* form) {
  TDataLink* link = form->dbgBug->DataLink();
  TDataSet* entries = form->dsetBug;
  const int row = link->ActiveRecord();
  link->SetActiveRecord(0);
  const std::int64_t top = entries->FieldByName("ReportNumber")->AsInteger();
  link->SetActiveRecord(row);
  return {form->wwtblProgram->FieldByName("ProgramNumber")->AsInteger(),
          entries->FieldByName("ReportNumber")->AsInteger(), row, top};
}

// Shows one record of a table, as the record pane and the memos do: each
// record it is told to show again is one more read for such a control.
class TFollower : public TDataLink {
 public:
  explicit TFollower(TDataSet* table) : source_(std::make_unique<TDataSource>(nullptr)) {
    source_->SetDataSet(table);
    SetDataSource(source_.get());
  }
  ~TFollower() override { SetDataSource(nullptr); }
  int shown = 0;

 protected:
  void RecordChanged(TField* field) override {
    if (field == nullptr) ++shown;
  }

 private:
  std::unique_ptr<TDataSource> source_;
};

}  // namespace apptest
