// The lookup combos of the entry grid: each shows and stores the text of its
// lookup table's field; a typed value the table lacks joins it, and giving a
// person, by the list or by typing, stamps the matching date with today.

#include "app/main/bug.h"

#include "app/common/lookups.h"
#include "app/newentry/enternewrecord.h"
#include "datactrls/edits/wwdbcomb.h"
#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/fields.h"

namespace {

// The narrowest useful lists: code texts, and names of the lookup tables.
constexpr int kCodeListWidth = 100, kLookupListWidth = 150;

TwwDBLookupCombo* NewLookup(TfrmBug* form, const char* name, const char* field,
                            TDataSet* table, const char* lookupField, bool matchCombo) {
  auto* combo = NewLookupCombo(form, form, name, form->dsBug, field, table, lookupField);
  combo->SetVisible(false);
  KeepDropDownWide(combo, kLookupListWidth, matchCombo);
  return combo;
}

// The date a person given by any road stamps: today, or in the new-entry
// window the date and time, as that window's own boxes stamp it (a name
// taken from one of its lists reaches the entry before the box hears of it).
TDateTime PersonStamp() {
  return frmEnterNewRecord && frmEnterNewRecord->Visible() ? Now() : Date();
}

}  // namespace

void TfrmBug::CreateLookupCombos() {
  dblcArea = NewLookup(this, "dblcArea", "Area", wwtaArea, "Area", false);
  dblcVersion = NewLookup(this, "dblcVersion", "Version", wwtaVersion, "Version", true);
  dblcFixedInVersion =
      NewLookup(this, "dblcFixedInVersion", "FixedInVersion", wwtaFixedInVersion, "Version", true);
  dblcReportedBy = NewLookup(this, "dblcReportedBy", "ReportedBy", wwtaReportedBy, "User", true);
  dblcFixedBy = NewLookup(this, "dblcFixedBy", "FixedBy", wwtaFixedBy, "Employee", true);
  dblcVerifiedBy =
      NewLookup(this, "dblcVerifiedBy", "VerifiedBy", wwtaVerifiedBy, "Employee", true);
  dblcResponsibility = NewLookup(this, "dblcResponsibility", "Responsibility",
                                 wwtaResponsibility, "Employee", true);
  dblcSeverity = NewLookup(this, "dblcSeverity", "Severity", wwtaSeverity, "Severity", false);
  // A new reporter is the entry's reporter at once, whatever the combo does next.
  AppendWhenNotInList(dblcReportedBy, dsetBug);
  StampDateOnChoice(dblcReportedBy, dsetBug, "ReportedDate", Date);
  StampDateOnChoice(dblcFixedBy, dsetBug, "FixedDate", Date);
  StampDateOnChoice(dblcVerifiedBy, dsetBug, "VerifiedDate", Date);
  KeepPersonField(dsetBug, "ReportedBy", "ReportedDate", PersonStamp);
  KeepPersonField(dsetBug, "FixedBy", "FixedDate", PersonStamp);
  KeepPersonField(dsetBug, "VerifiedBy", "VerifiedDate", PersonStamp);
  KeepPersonField(dsetBug, "Responsibility", nullptr, PersonStamp);
  KeepDropDownWide(cmbStatus, kCodeListWidth, false);
  KeepDropDownWide(cmbPriority, kCodeListWidth, false);
}
