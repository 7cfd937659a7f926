// Quick filters and saved filters: the fourteen status and priority buttons of
// the Filter toolbar build the entry table's filter expression; the advanced
// button runs the filter dialog, whose record callback narrows the rows the
// quick filter leaves, and its menu saves, loads and clears named filters.

#include <memory>

#include "app/common/components.h"
#include "app/common/beepmessage.h"
#include "app/main/bug.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwsavedfilters.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/lists.h"
#include "winctrls/tb97button.h"

namespace {

// One quick-filter button: the code it lets through when down, the text its
// hints name and its value name in section Buttons.
struct QuickFilter {
  TToolbarButton97* TfrmBug::*button;
  const char* code;
  const char* shown;
  const char* value;
};

// Status buttons in the order their clauses are appended.
constexpr QuickFilter kStatusFilters[] = {
    {&TfrmBug::tbStatusFilter_NewReport, "1", "New", "New Report"},
    {&TfrmBug::tbStatusFilter_InProcess, "2", "In Process", "In Process"},
    {&TfrmBug::tbStatusFilter_Delegated, "5", "Delegated", "Delegated"},
    {&TfrmBug::tbStatusFilter_Deferred, "6", "Deferred", "Deferred"},
    {&TfrmBug::tbStatusFilter_NoLongerRelevant, "7", "No Longer Relevant", "NoLongerRelevant"},
    {&TfrmBug::tbStatusFilter_WillNotBeFixed, "8", "Will Not Be Fixed", "WillNotBeFixed"},
    {&TfrmBug::tbStatusFilter_CouldNotDuplicate, "9", "Could Not Duplicate", "CouldNotDuplicate"},
    {&TfrmBug::tbStatusFilter_Completed, "4", "Verified", "Completed"},
    {&TfrmBug::tbStatusFilter_Fixed, "3", "Fixed", "Fixed_Status"},
};

constexpr QuickFilter kPriorityFilters[] = {
    {&TfrmBug::tbPriorityFilter_VeryHigh, "1", "Very High Priority", "VeryHigh"},
    {&TfrmBug::tbPriorityFilter_High, "2", "High Priority", "High"},
    {&TfrmBug::tbPriorityFilter_Normal, "3", "Normal Priority", "Normal"},
    {&TfrmBug::tbPriorityFilter_Low, "4", "Low Priority", "Low"},
    {&TfrmBug::tbPriorityFilter_VeryLow, "5", "Very Low Priority", "VeryLow"},
};

constexpr const char* kButtonsSection = "Buttons";
constexpr const char* kSetAdvancedHint = "Set Advanced Filter";
constexpr const char* kClearAdvancedHint = "Clear Advanced Filter";
// The saved-filter store's file and the line that ends each stored set.
constexpr const char* kSavedFiltersFile = "SavedFilters.txt";
constexpr const char* kSavedFiltersDelimiter = "///";

// The fields the filter window offers. Status and priority are the quick
// filter's; the long texts are read in the record pane.
constexpr const char* kFilterFields[] = {
    "Area", "Description", "FixedBy", "FixedDate", "FixedInVersion",
    "Identifier", "ReportedBy", "ReportedDate", "ReportNumber", "ReportType",
    "Responsibility", "Severity", "VerifiedBy", "VerifiedDate", "Version"};

// Calls f(button, filter) for each of the fourteen buttons.
template <typename F>
void ForEachQuickFilter(TfrmBug* form, F f) {
  for (const auto& q : kStatusFilters) f(form->*q.button, q);
  for (const auto& q : kPriorityFilters) f(form->*q.button, q);
}

// Empty when every button of the group is down; else one clause per button up.
template <size_t N>
std::string HiddenCodesClause(TfrmBug* form, const QuickFilter (&group)[N], const char* field) {
  std::string clause;
  for (const auto& q : group)
    if (!(form->*q.button)->Down()) clause += std::string(" and '") + field + "' <> '" + q.code + "'";
  return clause;
}

void SetFilter(TDataSet* dataSet, const std::string& text) {
  dataSet->SetFilterText(text);
  dataSet->SetFiltered(true);
}

}  // namespace

void TfrmBug::WireFilterHandlers() {
  CreateFilterDialog();
  ForEachQuickFilter(this, [this](TToolbarButton97* b, const QuickFilter&) {
    b->OnClick = [this](TObject* sender) { tbStatusFilter_NewReportClick(sender); };
  });
  // The button's face toggles the filter; its arrow opens the saved-filter menu.
  btnAdvancedFilter->SetDropdownCombo(true);
  btnAdvancedFilter->OnClick = [this](TObject* sender) { btnAdvancedFilterClick(sender); };
  auto setAll = [this](bool down) {
    ForEachQuickFilter(this, [down](TToolbarButton97* b, const QuickFilter&) { b->SetDown(down); });
    ApplyFilter();
    UpdateFilterHints();
  };
  popFilter_ShowAll->OnClick = [setAll](TObject*) { setAll(true); };
  popFilter_HideAll->OnClick = [setAll](TObject*) { setAll(false); };
  popFilters->OnPopup = [this](TObject* sender) { popFiltersPopup(sender); };
  popFilters_Specify->OnClick = [this](TObject*) {
    btnAdvancedFilter->SetDown(true);
    btnAdvancedFilter->Click();
  };
  popFilters_Clear->OnClick = [this](TObject*) {
    wwFilterDialog1->ClearFilter();
    wwFilterDialog1->ApplyFilter();
  };
  popFilters_Save->OnClick = [this](TObject*) {
    // A cancelled box gives the empty name, which the store refuses itself.
    SaveFilter->SaveFilter(InputBox("Filter Name", "Name of Filter?", ""));
  };
  popFilters_Load->OnClick = [this](TObject*) {
    if (LoadFilterDialog()) btnAdvancedFilter->SetDown(true);
  };
}

// The filter window searches the entry table record by record: it lists the
// fields worth searching by name, opens on the description, matches the start
// of a value by default and offers non-matching records; the field order is
// fixed, so no choice of it is shown.
void TfrmBug::CreateFilterDialog() {
  wwFilterDialog1 = NewComponent<TwwFilterDialog>(this, "wwFilterDialog1");
  wwFilterDialog1->SetDataSource(dsBug);
  wwFilterDialog1->SetFilterMethod(fdByFilter);
  wwFilterDialog1->Options = {fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary, fdShowValueRangeTab,
                              fdShowNonMatching};
  wwFilterDialog1->SortBy = fdSortByFieldName;
  wwFilterDialog1->Caption = "Filter";
  wwFilterDialog1->DefaultMatchType = fdMatchStart;
  wwFilterDialog1->DefaultFilterBy = fdSmartFilter;
  wwFilterDialog1->DefaultField = "Description";
  TwwFieldOperators* words = wwFilterDialog1->FieldOperators();
  words->SetOrChar("or");
  words->SetAndChar("and");
  words->SetNullChar("null");
  for (const char* field : kFilterFields) wwFilterDialog1->SelectedFields()->Add(field);
  wwFilterDialog1->FilterOptimization = fdNone;
}

void TfrmBug::CreateSaveFilter() {
  SaveFilter = NewComponent<TwwSaveFilter>(Application, "");
  SaveFilter->Delimiter = kSavedFiltersDelimiter;
  SaveFilter->FilePath = IncludeTrailingPathDelimiter(regstore::StoreFolder()) + kSavedFiltersFile;
  SaveFilter->SetwwFilterDialog(wwFilterDialog1);
}

std::string TfrmBug::PriorityFilterClause() {
  return HiddenCodesClause(this, kPriorityFilters, "Priority");
}

std::string TfrmBug::StatusFilterClause() { return HiddenCodesClause(this, kStatusFilters, "Status"); }

void TfrmBug::ApplyFilter() {
  SetFilter(dsetBug, "ReportType = '" + ReportType + "'" + PriorityFilterClause() + StatusFilterClause());
}

void TfrmBug::FilterAllKinds(TDataSet* dataSet) {
  std::string text = PriorityFilterClause() + StatusFilterClause();
  // The leading " and" goes; the blank after it stays.
  if (text.starts_with(" and")) text.erase(0, 4);
  SetFilter(dataSet, text);
}

void TfrmBug::FilterBugReportsOnly(TDataSet* dataSet) {
  SetFilter(dataSet, "ReportType = 'BugReport'" + PriorityFilterClause() + StatusFilterClause());
}

void TfrmBug::FilterFeatureRequestsOnly(TDataSet* dataSet) {
  SetFilter(dataSet, "ReportType = 'FeatureRequest'" + PriorityFilterClause() + StatusFilterClause());
}

void TfrmBug::UpdateFilterHints() {
  ForEachQuickFilter(this, [](TToolbarButton97* b, const QuickFilter& q) {
    b->SetHint(std::string(b->Down() ? "Hide '" : "Show '") + q.shown + "'");
  });
}

void TfrmBug::LoadFilterButtons() {
  ForEachQuickFilter(this, [this](TToolbarButton97* b, const QuickFilter& q) {
    b->SetDown(Reg->ReadBool(kButtonsSection, q.value, true));
  });
}

void TfrmBug::SaveFilterButtons() {
  regstore::WriteBatch batch;
  ForEachQuickFilter(this, [this](TToolbarButton97* b, const QuickFilter& q) {
    Reg->WriteBool(kButtonsSection, q.value, b->Down());
  });
}

void TfrmBug::tbStatusFilter_NewReportClick(TObject*) {
  ApplyFilter();
  UpdateFilterHints();
}

void TfrmBug::btnAdvancedFilterClick(TObject*) {
  if (btnAdvancedFilter->Down()) {
    btnAdvancedFilter->SetHint(kClearAdvancedHint);
    if (!wwFilterDialog1->Execute()) {
      btnAdvancedFilter->SetDown(false);
      btnAdvancedFilter->SetHint(kSetAdvancedHint);
    }
  } else {
    wwFilterDialog1->ClearFilter();
    wwFilterDialog1->ApplyFilter();
    btnAdvancedFilter->SetHint(kSetAdvancedHint);
  }
  // No conditions, no advanced filter: the button says so.
  if (wwFilterDialog1->FieldInfo().empty()) {
    btnAdvancedFilter->SetDown(false);
    btnAdvancedFilter->SetHint(kSetAdvancedHint);
  }
}

void TfrmBug::popFiltersPopup(TObject*) {
  const bool conditions = !wwFilterDialog1->FieldInfo().empty();
  popFilters_Save->SetEnabled(conditions);
  popFilters_Clear->SetEnabled(conditions);
  // The store fills a list box only: a select window lends it one for the question.
  auto select = std::make_unique<TSelectSaveFilter>(this);
  popFilters_Load->SetEnabled(SaveFilter->GetFilterNames(select->FiltersBox->Items()));
}

bool TfrmBug::LoadFilterDialog() {
  auto select = std::make_unique<TSelectSaveFilter>(this);
  if (!SaveFilter->GetFilterNames(select->FiltersBox->Items())) {
    ShowBeepMessage("You do not have any saved filters.", kMsgError);
    return false;
  }
  Screen->SetCursor(crHourGlass);
  bool loaded = false;
  if (select->ShowModal() == mrOk) {
    // Names the user deleted from the list go from the store too.
    TStringList stored;
    SaveFilter->GetFilterNames(&stored);
    TStrings* kept = select->FiltersBox->Items();
    for (int i = 0; i < stored.Count(); ++i)
      if (kept->IndexOf(stored[i]) < 0) SaveFilter->DeleteFilter(stored[i]);
    if (select->FiltersBox->ItemIndex() >= 0)
      SaveFilter->LoadFilter(kept->Strings(select->FiltersBox->ItemIndex()));
    loaded = true;
  }
  select.reset();
  Screen->SetCursor(crArrow);
  return loaded;
}
