// The main window's datasets, data sources, master-detail links and the entry
// table's persistent fields.

#include <vector>

#include "app/common/components.h"
#include "app/main/bug.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/fields.h"

namespace {

TwwtaTable* NewTable(TfrmBug* form, const char* name, const char* table) {
  auto* t = NewComponent<TwwtaTable>(form, name);
  t->SetTableName(table);
  t->ValidateWithMask = true;
  return t;
}

TwwDataSource* NewSource(TfrmBug* form, const char* name, TDataSet* dataSet) {
  auto* s = NewComponent<TwwDataSource>(form, name);
  s->SetDataSet(dataSet);
  return s;
}

// One persistent field of the entry table (or its query twin).
struct FieldDef {
  const char* name;
  TFieldType type;
  int size;             // characters, string fields only
  const char* label;    // empty: the field name
  int width;            // display width in characters (0: the field's own)
  bool visible;
};

// The entry fields in their stored order.
constexpr FieldDef kEntryFields[] = {
    {"ReportNumber", ftAutoInc, 0, "Report~Number", 7, true},
    {"Identifier", ftString, 50, "", 5, true},
    {"Status", ftString, 50, "", 8, true},
    {"Priority", ftString, 50, "", 8, true},
    {"Severity", ftString, 50, "", 8, true},
    {"Description", ftString, 200, "", 10, true},
    {"Area", ftString, 50, "", 8, true},
    {"Version", ftString, 50, "", 8, true},
    {"ReportedBy", ftString, 50, "Reported~By", 8, true},
    {"ReportedDate", ftDateTime, 0, "Reported~Date", 8, true},
    {"Responsibility", ftString, 50, "", 8, true},
    {"FixedBy", ftString, 50, "Fixed~By", 8, true},
    {"FixedDate", ftDateTime, 0, "Fixed~Date", 8, true},
    {"FixedInVersion", ftString, 20, "Fixed In~Version", 8, true},
    {"VerifiedBy", ftString, 40, "Verified~By", 8, true},
    {"VerifiedDate", ftDateTime, 0, "Verified~Date", 8, true},
    {"ProgramNumber", ftInteger, 0, "", 0, false},
    {"ReportType", ftString, 50, "", 8, false},
    {"Report", ftMemo, 0, "", 0, false},
    {"Resolution", ftMemo, 0, "", 0, false},
    {"Steps", ftMemo, 0, "", 0, false},
    {"Attachment", ftMemo, 0, "", 0, false},
    {"Workaround", ftMemo, 0, "", 0, false},
};

TField* NewField(TComponent* owner, TFieldType type) {
  switch (type) {
    case ftAutoInc: return new TAutoIncField(owner);
    case ftInteger: return new TIntegerField(owner);
    case ftDateTime: return new TDateTimeField(owner);
    case ftMemo: return new TMemoField(owner);
    default: return new TStringField(owner);
  }
}

void AddField(TComponent* owner, TDataSet* dataSet, const std::string& prefix, const FieldDef& d) {
  TField* f = NewField(owner, d.type);
  f->SetName(prefix + d.name);
  f->SetFieldName(d.name);
  if (d.size) f->SetSize(d.size);
  if (*d.label) f->SetDisplayLabel(d.label);
  if (d.width) f->SetDisplayWidth(d.width);
  f->SetVisible(d.visible);
  f->SetDataSet(dataSet);
}

}  // namespace

void TfrmBug::CreateDatasets() {
  wwtblProgram = NewTable(this, "wwtblProgram", "Programs");
  // The last open program is found by its key.
  wwtblProgram->SetIndexName("PrimaryKey");
  wwdsProgram = NewSource(this, "wwdsProgram", wwtblProgram);

  dsetBug = NewTable(this, "dsetBug", "Reports");
  dsetBug->SetIndexName("ProgramNumber");
  dsetBug->SetMasterSource(wwdsProgram);
  dsetBug->SetMasterFields("ProgramNumber");
  dsBug = NewSource(this, "dsBug", dsetBug);

  qdsetBug = NewComponent<TwwtaQuery>(this, "qdsetBug");
  qdsetBug->SetRequestLive(true);
  qdsetBug->ValidateWithMask = true;

  wwtaArea = NewTable(this, "wwtaArea", "Area");
  wwdsArea = NewSource(this, "wwdsArea", wwtaArea);
  wwtaVersion = NewTable(this, "wwtaVersion", "Version");
  wwdsVersion = NewSource(this, "wwdsVersion", wwtaVersion);
  // Two combos share table Version and three table Employee: each has its own cursor.
  wwtaFixedInVersion = NewTable(this, "wwtaFixedInVersion", "Version");
  wwtaReportedBy = NewTable(this, "wwtaReportedBy", "User");
  wwdsUser = NewSource(this, "wwdsUser", wwtaReportedBy);
  wwtaFixedBy = NewTable(this, "wwtaFixedBy", "Employee");
  wwdsEmployee = NewSource(this, "wwdsEmployee", wwtaFixedBy);
  wwtaVerifiedBy = NewTable(this, "wwtaVerifiedBy", "Employee");
  wwtaResponsibility = NewTable(this, "wwtaResponsibility", "Employee");
  wwtaSeverity = NewTable(this, "wwtaSeverity", "Severity");
  wwdsSeverity = NewSource(this, "wwdsSeverity", wwtaSeverity);

  ShareLookupRows();

  // The code tables follow the current entry: their row is the entry's code.
  wwtaStatus = NewTable(this, "wwtaStatus", "Status");
  wwtaStatus->SetIndexName("PrimaryKey");
  wwtaStatus->SetMasterSource(dsBug);
  wwtaStatus->SetMasterFields("Status");
  wwdsStatus = NewSource(this, "wwdsStatus", wwtaStatus);
  wwtaPriority = NewTable(this, "wwtaPriority", "Priority");
  wwtaPriority->SetIndexName("PrimaryKey");
  wwtaPriority->SetMasterSource(dsBug);
  wwtaPriority->SetMasterFields("Priority");
  wwdsPriority = NewSource(this, "wwdsPriority", wwtaPriority);
}

void TfrmBug::CreateFields() {
  for (const FieldDef& d : kEntryFields) {
    AddField(this, dsetBug, "dsetBug", d);
    AddField(this, qdsetBug, "qdsetBug", d);
  }
  AddField(this, wwtblProgram, "wwtblProgram", {"Program", ftString, 50, "", 20, true});
  AddField(this, wwtblProgram, "wwtblProgram", {"ProgramNumber", ftAutoInc, 0, "P#", 7, false});
}

// Tables on one lookup table of the file each have a cursor of their own: a
// row that one of them stores or deletes (a name typed into Verified By, a
// version added in the options) is in the others' lists at once.
void TfrmBug::ShareLookupRows() {
  const std::vector<TwwtaTable*> tables = {wwtaArea,           wwtaVersion,    wwtaFixedInVersion,
                                           wwtaReportedBy,     wwtaFixedBy,    wwtaVerifiedBy,
                                           wwtaResponsibility, wwtaSeverity};
  for (TwwtaTable* changed : tables) {
    auto refreshOthers = [changed, tables](TDataSet*) {
      for (TwwtaTable* other : tables)
        if (other != changed && AnsiSameText(other->TableName(), changed->TableName()) &&
            other->Active() && other->State() == dsBrowse)
          other->Refresh();
    };
    changed->AfterPost = refreshOthers;
    changed->AfterDelete = refreshOthers;
  }
}
