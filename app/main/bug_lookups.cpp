// The lookup combos of the entry grid: each shows and stores the text of its
// lookup table's field.

#include "app/main/bug.h"

#include "app/common/components.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/wwtable.h"

namespace {

TwwDBLookupCombo* NewLookup(TfrmBug* form, const char* name, const char* field,
                            TDataSet* table, const char* lookupField) {
  auto* combo = NewControl<TwwDBLookupCombo>(form, form, name);
  combo->SetDataSource(form->dsBug);
  combo->SetDataField(field);
  combo->SetLookupTable(table);
  combo->SetLookupField(lookupField);
  combo->SetVisible(false);
  return combo;
}

}  // namespace

void TfrmBug::CreateLookupCombos() {
  dblcArea = NewLookup(this, "dblcArea", "Area", wwtaArea, "Area");
  dblcVersion = NewLookup(this, "dblcVersion", "Version", wwtaVersion, "Version");
  dblcFixedInVersion =
      NewLookup(this, "dblcFixedInVersion", "FixedInVersion", wwtaFixedInVersion, "Version");
  dblcReportedBy = NewLookup(this, "dblcReportedBy", "ReportedBy", wwtaReportedBy, "User");
  dblcFixedBy = NewLookup(this, "dblcFixedBy", "FixedBy", wwtaFixedBy, "Employee");
  dblcVerifiedBy = NewLookup(this, "dblcVerifiedBy", "VerifiedBy", wwtaVerifiedBy, "Employee");
  dblcResponsibility =
      NewLookup(this, "dblcResponsibility", "Responsibility", wwtaResponsibility, "Employee");
  dblcSeverity = NewLookup(this, "dblcSeverity", "Severity", wwtaSeverity, "Severity");
}
