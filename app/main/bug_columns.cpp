// Entry grid columns: editors, visibility, widths, order, sorting and the row
// indicator. Every column setting is stored per field name, so hiding the
// indicator (which shifts the grid's column numbers) changes nothing stored.

#include <algorithm>
#include <string_view>

#include "app/main/bug.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/menus/menus.h"
#include "winctrls/tb97button.h"

namespace {

constexpr const char* kWidthsSection = "Column Positions";
constexpr const char* kVisibleSection = "Column Visible";
constexpr const char* kOrderSection = "Column Order";
constexpr const char* kShowRowIndicator = "ShowRowIndicator";
constexpr const char* kViewItemPrefix = "popGrid_ViewColumns_";
constexpr const char* kRowIndicatorItem = "RowIndicator";
constexpr const char* kFixedColumnField = "ReportNumber";

// The sixteen grid fields, in the order their visibility is stored, with their
// default widths in pixels.
struct GridColumn {
  const char* field;
  int width;
};
constexpr GridColumn kGridColumns[] = {
    {"ReportNumber", 50}, {"Responsibility", 75}, {"Status", 106},      {"Identifier", 50},
    {"Priority", 70},     {"Severity", 70},       {"Description", 150}, {"Area", 50},
    {"Version", 50},      {"ReportedBy", 75},     {"ReportedDate", 88}, {"FixedBy", 75},
    {"FixedDate", 88},    {"FixedInVersion", 50}, {"VerifiedBy", 75},   {"VerifiedDate", 88},
};

// A stored width outside these bounds (hand-edited, or a damaged file) is
// pulled in: a narrower column could not be grabbed again, a wider one would
// push every other column off any screen.
constexpr int kMinColumnWidth = 10, kMaxColumnWidth = 2000;

// The embedded editors, bound in this order.
struct GridEditor {
  const char* field;
  const char* control;
};
constexpr GridEditor kGridEditors[] = {
    {"Priority", "cmbPriority"},          {"Status", "cmbStatus"},
    {"Responsibility", "dblcResponsibility"}, {"ReportedDate", "dbcdReportedDate"},
    {"FixedDate", "dbcdFixedDate"},       {"VerifiedDate", "dbcdVerifiedDate"},
    {"ReportedBy", "dblcReportedBy"},     {"FixedBy", "dblcFixedBy"},
    {"VerifiedBy", "dblcVerifiedBy"},     {"Version", "dblcVersion"},
    {"FixedInVersion", "dblcFixedInVersion"}, {"Area", "dblcArea"},
    {"Severity", "dblcSeverity"},
};
// The grid's control kind for an edit placed over the cell.
constexpr int kCustomControl = 3;

// The items the feature-request tab renames; on the bug-report tab each is
// captioned with its field name.
struct FixItem {
  const char* field;
  const char* feature;
};
constexpr FixItem kFixItems[] = {
    {"FixedBy", "Implemented By"},
    {"FixedDate", "Implemented Date"},
    {"FixedInVersion", "Implemented In Version"},
};

// Column Order passes: each settles moves the previous one disturbed.
constexpr int kOrderPasses = 5;
// Cell Height multiplies the row height; the options' slider offers 1 to 5.
constexpr int kMinCellHeight = 1, kMaxCellHeight = 5;
constexpr int kDefaultSortFieldColor = 0x808080;

const GridColumn* FindGridColumn(const std::string& field) {
  for (const auto& c : kGridColumns)
    if (field == c.field) return &c;
  return nullptr;
}

}  // namespace

void TfrmBug::WireColumnHandlers() {
  dbgBug->SetKeyOptions({dgEnterToTab});
  dbgBug->SetMemoAttributes({mSizeable, mWordWrap, mDisableDialog});
  dbgBug->SetRowHeightPercent(200);
  dbgBug->SetTitleButtons(true);
  dbgBug->OnTitleButtonClick = [this](TObject* sender, const std::string& field) {
    dbgBugTitleButtonClick(sender, field);
  };
  dbgBug->OnCalcTitleAttributes = [this](TObject* sender, const std::string& field, TFont* font,
                                         TBrush* brush, TAlignment& alignment) {
    dbgBugCalcTitleAttributes(sender, field, font, brush, alignment);
  };
  popGrid->OnPopup = [this](TObject* sender) { popGridPopup(sender); };
  for (int i = 0; i < popGrid_ViewColumns->Count(); ++i)
    popGrid_ViewColumns->Items(i)->OnClick = [this](TObject* sender) { ChangeColumnVisibility(sender); };
  auto columnMode = [this](TMenuItem* item, bool sorting) {
    item->OnClick = [this, item, sorting](TObject*) {
      item->SetChecked(true);
      dbgBug->SetTitleButtons(sorting);
    };
  };
  columnMode(popGrid_ColumnMode_Sort, true);
  columnMode(popGrid_ColumnMode_ChangeOrder, false);
}

void TfrmBug::BindGridEditors() {
  for (const auto& e : kGridEditors) dbgBug->SetControlType(e.field, kCustomControl, e.control);
  popGrid_ColumnMode_Sort->SetChecked(true);
  dbgBug->SetTitleButtons(true);
}

void TfrmBug::ApplyRowHeightAndDates() {
  const int cellHeight =
      std::clamp(Reg->ReadInteger("Settings", "Cell Height", 1), kMinCellHeight, kMaxCellHeight);
  dbgBug->SetRowHeightPercent(cellHeight * 100);
  TwwDBGridOptions options = dbgBug->Options();
  if (cellHeight != 1) options.Include(dgWordWrap);
  else options.Exclude(dgWordWrap);
  dbgBug->SetOptions(options);
  const int format = Reg->ReadInteger("Options", "DateTimeFormat", 0);
  if (format != 0 && format != 1) return;
  for (const char* field : {"ReportedDate", "FixedDate", "VerifiedDate"})
    dsetBug->FieldByName(field)->SetDisplayFormat(format == 0 ? "ddddd" : "");
}

int TfrmBug::GridColumnOf(int dataColumn) const {
  return dataColumn + (dbgBug->Options().Contains(dgIndicator) ? 1 : 0);
}

void TfrmBug::LoadColumnWidths() {
  for (int i = 0; i < dbgBug->GetFieldCount(); ++i) {
    const std::string name = dbgBug->GetField(i)->FieldName();
    if (const GridColumn* c = FindGridColumn(name))
      dbgBug->SetColWidthQuiet(GridColumnOf(i),
                               std::clamp(Reg->ReadInteger(kWidthsSection, name, c->width),
                                          kMinColumnWidth, kMaxColumnWidth));
  }
}

void TfrmBug::SaveColumnWidths() {
  {
    regstore::WriteBatch batch;
    for (int i = 0; i < dbgBug->GetFieldCount(); ++i)
      Reg->WriteInteger(kWidthsSection, dbgBug->GetField(i)->FieldName(),
                        dbgBug->GetColWidth(GridColumnOf(i)));
  }
  SaveColumnVisibility();
}

TMenuItem* TfrmBug::ViewColumnItem(const std::string& field) {
  return static_cast<TMenuItem*>(FindComponent(kViewItemPrefix + field));
}

void TfrmBug::SetFixedColumn() {
  dbgBug->SetFixedCols(dsetBug->FieldByName(kFixedColumnField)->Visible() ? 1 : 0);
}

void TfrmBug::LoadColumnVisibility() {
  for (const auto& c : kGridColumns) {
    const bool visible = Reg->ReadBool(kVisibleSection, c.field, true);
    dsetBug->FieldByName(c.field)->SetVisible(visible);
    ViewColumnItem(c.field)->SetChecked(visible);
  }
  if (Reg->ReadBool(kVisibleSection, kShowRowIndicator, true)) RowIndicatorOn();
  else RowIndicatorOff();
  ViewColumnItem(kRowIndicatorItem)->SetChecked(dbgBug->Options().Contains(dgIndicator));
  SetFixedColumn();
}

void TfrmBug::SaveColumnVisibility() {
  regstore::WriteBatch batch;
  for (const auto& c : kGridColumns)
    Reg->WriteBool(kVisibleSection, c.field, dsetBug->FieldByName(c.field)->Visible());
  Reg->WriteBool(kVisibleSection, kShowRowIndicator, dbgBug->Options().Contains(dgIndicator));
}

void TfrmBug::LoadColumnOrder() {
  const int count = dsetBug->FieldCount();
  for (int pass = 0; pass < kOrderPasses; ++pass) {
    for (int i = 0; i < count; ++i) {
      TField* field = dsetBug->Fields()[i];
      const int position = Reg->ReadInteger(kOrderSection, field->FieldName(), i);
      // A position no field can take is ignored: the field stays where it is.
      if (position >= 0 && position < count) field->SetIndex(position);
    }
  }
}

void TfrmBug::SaveColumnOrder() {
  regstore::WriteBatch batch;
  for (int i = 0; i < dsetBug->FieldCount(); ++i)
    Reg->WriteInteger(kOrderSection, dsetBug->Fields()[i]->FieldName(), i);
}

void TfrmBug::RowIndicatorOn() {
  TwwDBGridOptions options = dbgBug->Options();
  options.Include(dgIndicator);
  dbgBug->SetOptions(options);
  dbgBugIButton->SetVisible(true);
}

void TfrmBug::RowIndicatorOff() {
  TwwDBGridOptions options = dbgBug->Options();
  options.Exclude(dgIndicator);
  dbgBug->SetOptions(options);
  dbgBugIButton->SetVisible(false);
}

void TfrmBug::ChangeColumnVisibility(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || !item->Name().starts_with(kViewItemPrefix)) return;
  SaveColumnWidths();
  item->SetChecked(!item->Checked());
  // Each item stands for its own field on either tab, whatever its caption.
  const std::string field = item->Name().substr(std::string_view(kViewItemPrefix).size());
  if (field == kRowIndicatorItem) {
    if (item->Checked()) RowIndicatorOn();
    else RowIndicatorOff();
    LoadColumnWidths();
  } else {
    dsetBug->FieldByName(field)->SetVisible(item->Checked());
    // The fixed column rebuilds the grid's layout: widths are loaded after it.
    if (field == kFixedColumnField) SetFixedColumn();
    LoadColumnWidths();
  }
  SaveColumnVisibility();
}

void TfrmBug::popGridPopup(TObject*) {
  popGrid_Cut->SetEnabled(tbCut->Enabled());
  popGrid_Copy->SetEnabled(tbCopy->Enabled());
  popGrid_Paste->SetEnabled(tbPaste->Enabled());
  const bool bugs = ReportType == "BugReport";
  for (const auto& f : kFixItems) ViewColumnItem(f.field)->SetCaption(bugs ? f.field : f.feature);
}

void TfrmBug::dbgBugTitleButtonClick(TObject*, const std::string& AFieldName) {
  dsetBug->SetIndexName(AFieldName);
}

void TfrmBug::dbgBugCalcTitleAttributes(TObject*, const std::string& AFieldName, TFont*,
                                        TBrush* ABrush, TAlignment&) {
  if (AFieldName != dsetBug->IndexName()) return;
  ABrush->SetColor(TColor(Reg->ReadInteger("Options", "SortFieldColor", kDefaultSortFieldColor)));
}
