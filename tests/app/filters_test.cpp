// Quick filters and saved filters of the main window, over a real database
// holding an entry of every status, priority and kind.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

#include "app/main/bug.h"
#include "apptest.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwfltwin.h"
#include "datactrls/wwsavedfilters.h"
#include "datactrls/wwtable.h"
#include "entryrows.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/lists.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/tabs.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

using apptest::Scratch;

void ClickItem(TListBox* list, const std::string& text) {
  const TRect r = list->ItemRect(list->Items()->IndexOf(text));
  testing_support::Click(list, r.Left + 3, (r.Top + r.Bottom) / 2);
}

const char* const kStatusButtons[] = {
    "tbStatusFilter_NewReport",         "tbStatusFilter_InProcess", "tbStatusFilter_Fixed",
    "tbStatusFilter_Completed",         "tbStatusFilter_Delegated", "tbStatusFilter_Deferred",
    "tbStatusFilter_NoLongerRelevant",  "tbStatusFilter_WillNotBeFixed",
    "tbStatusFilter_CouldNotDuplicate"};
const char* const kPriorityButtons[] = {"tbPriorityFilter_VeryHigh", "tbPriorityFilter_High",
                                        "tbPriorityFilter_Normal", "tbPriorityFilter_Low",
                                        "tbPriorityFilter_VeryLow"};

class Filters : public apptest::MainWindowTest {
 protected:
  void Prepare() override { apptest::AddEveryCodeEntry(scratch.Database()); }

  TToolbarButton97* Button(const std::string& name) {
    return static_cast<TToolbarButton97*>(form->FindComponent(name));
  }
  // Puts the named buttons up and every other one down, as clicks leave them.
  void PutUp(const std::set<std::string>& up) {
    for (const char* name : kStatusButtons) Button(name)->SetDown(!up.count(name));
    for (const char* name : kPriorityButtons) Button(name)->SetDown(!up.count(name));
    form->tbStatusFilter_NewReportClick(form->tbStatusFilter_NewReport);
  }
  static int Rows(TDataSet* data) {
    int n = 0;
    for (data->First(); !data->Eof(); data->Next()) ++n;
    return n;
  }

  // Answers every dialog: `respond` when set, else the box's first button.
  std::function<TModalResult(TDialogRequest&)> respond;
  TModalResult Answer(TDialogRequest& r) override {
    return respond ? respond(r) : MainWindowTest::Answer(r);
  }
};

TEST_F(Filters, ClauseTextsAndTheRowsTheyLeave) {
  const std::string allStatus = " and 'Status' <> '1' and 'Status' <> '2' and 'Status' <> '5'"
                                " and 'Status' <> '6' and 'Status' <> '7' and 'Status' <> '8'"
                                " and 'Status' <> '9' and 'Status' <> '4' and 'Status' <> '3'";
  struct Case {
    std::set<std::string> up;
    const char* kind;
    std::string filter;
  } cases[] = {
      {{}, "BugReport", "ReportType = 'BugReport'"},
      {{}, "FeatureRequest", "ReportType = 'FeatureRequest'"},
      {{"tbPriorityFilter_Low", "tbStatusFilter_Deferred"}, "BugReport",
       "ReportType = 'BugReport' and 'Priority' <> '4' and 'Status' <> '6'"},
      {{"tbPriorityFilter_VeryHigh"}, "BugReport", "ReportType = 'BugReport' and 'Priority' <> '1'"},
      {{"tbStatusFilter_CouldNotDuplicate"}, "FeatureRequest",
       "ReportType = 'FeatureRequest' and 'Status' <> '9'"},
      {{std::begin(kStatusButtons), std::end(kStatusButtons)}, "BugReport",
       "ReportType = 'BugReport'" + allStatus},
      {{"tbPriorityFilter_VeryLow", "tbPriorityFilter_High", "tbStatusFilter_Fixed",
        "tbStatusFilter_NewReport"},
       "BugReport",
       "ReportType = 'BugReport' and 'Priority' <> '2' and 'Priority' <> '5' and 'Status' <> '1'"
       " and 'Status' <> '3'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    form->ReportType = c.kind;
    PutUp(c.up);
    EXPECT_EQ(form->dsetBug->Filter(), c.filter);
    EXPECT_TRUE(form->dsetBug->Filtered());
    int statusShown = 0, priorityShown = 0;
    for (const char* b : kStatusButtons) statusShown += !c.up.count(b);
    for (const char* b : kPriorityButtons) priorityShown += !c.up.count(b);
    EXPECT_EQ(Rows(form->dsetBug), statusShown * priorityShown);
    for (form->dsetBug->First(); !form->dsetBug->Eof(); form->dsetBug->Next())
      ASSERT_EQ(form->dsetBug->FieldByName("ReportType")->AsString(), c.kind);
  }
}

TEST_F(Filters, ScopeFiltersOverTheQueryOfAllKinds) {
  using Scope = void (*)(TfrmBug*, TDataSet*);
  const Scope all = [](TfrmBug* f, TDataSet* d) { f->FilterAllKinds(d); };
  const Scope bugs = [](TfrmBug* f, TDataSet* d) { f->FilterBugReportsOnly(d); };
  const Scope features = [](TfrmBug* f, TDataSet* d) { f->FilterFeatureRequestsOnly(d); };
  struct Case {
    Scope scope;
    std::set<std::string> up;
    std::string filter;
    int rows;
  } cases[] = {
      {all, {}, "", 90},
      {all, {"tbPriorityFilter_Low"}, " 'Priority' <> '4'", 72},
      {all, {"tbStatusFilter_Deferred", "tbPriorityFilter_Low"},
       " 'Priority' <> '4' and 'Status' <> '6'", 64},
      {bugs, {"tbStatusFilter_Fixed"},
       "ReportType = 'BugReport' and 'Status' <> '3'", 40},
      {features, {}, "ReportType = 'FeatureRequest'", 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    PutUp(c.up);
    c.scope(form, form->qdsetBug);
    EXPECT_EQ(form->qdsetBug->Filter(), c.filter);
    EXPECT_TRUE(form->qdsetBug->Filtered());
    EXPECT_EQ(Rows(form->qdsetBug), c.rows);
  }
}

TEST_F(Filters, AClickTogglesItsButtonAndTheHintsFollow) {
  TToolbarButton97* low = form->tbPriorityFilter_Low;
  EXPECT_EQ(low->Hint(), "Hide 'Low Priority'");
  testing_support::Click(form->tbarFilters, low->Left() + low->Width() / 2, low->Top() + low->Height() / 2);
  testing_support::Pump();
  EXPECT_FALSE(low->Down());
  EXPECT_EQ(low->Hint(), "Show 'Low Priority'");
  EXPECT_EQ(form->dsetBug->Filter(), "ReportType = 'BugReport' and 'Priority' <> '4'");
  EXPECT_EQ(Rows(form->dsetBug), 36);

  form->popFilter_HideAll->Click();
  EXPECT_EQ(Rows(form->dsetBug), 0);
  EXPECT_EQ(form->tbStatusFilter_Completed->Hint(), "Show 'Verified'");
  // A kind label wrote another text: the next refresh writes the table's again.
  form->tbStatusFilter_Fixed->SetHint("Show 'Implemented'");
  form->popFilter_ShowAll->Click();
  EXPECT_EQ(form->tbStatusFilter_Fixed->Hint(), "Hide 'Fixed'");
  EXPECT_EQ(form->dsetBug->Filter(), "ReportType = 'BugReport'");
  EXPECT_EQ(Rows(form->dsetBug), 45);
}

TEST_F(Filters, ButtonsAreStoredByValueNameAndGarbageKeepsThemShown) {
  PutUp({"tbStatusFilter_Fixed", "tbPriorityFilter_VeryLow"});
  form->SaveFilterButtons();
  auto reg = scratch.Settings();
  EXPECT_FALSE(reg->ReadBool("Buttons", "Fixed_Status", true));
  EXPECT_FALSE(reg->ReadBool("Buttons", "VeryLow", true));
  EXPECT_TRUE(reg->ReadBool("Buttons", "Completed", false));
  reg->WriteString("Buttons", "Completed", "garbage");
  reg->WriteString("Buttons", "Fixed_Status", "1");
  reg.reset();
  PutUp({});
  form->LoadFilterButtons();
  EXPECT_TRUE(form->tbStatusFilter_Completed->Down());
  EXPECT_TRUE(form->tbStatusFilter_Fixed->Down());
  EXPECT_FALSE(form->tbPriorityFilter_VeryLow->Down());
}

// A condition on Description that keeps the priority-1 entries of every status.
void AddPriorityOneCondition(TwwFilterDialog* dialog) {
  auto c = std::make_unique<TwwFieldInfo>();
  c->FieldName = "Description";
  c->DisplayLabel = "Description";
  c->MatchType = fdMatchEnd;
  c->FilterValue = " 1";
  dialog->FieldInfo().push_back(std::move(c));
}

TEST_F(Filters, TheAdvancedFilterNarrowsWhatTheQuickFilterLeaves) {
  TToolbarButton97* advanced = form->btnAdvancedFilter;
  // Cancelled: the button comes up again.
  respond = [](TDialogRequest&) { return mrCancel; };
  advanced->SetDown(true);
  advanced->Click();
  EXPECT_FALSE(advanced->Down());
  EXPECT_EQ(advanced->Hint(), "Set Advanced Filter");

  AddPriorityOneCondition(form->wwFilterDialog1);
  form->wwFilterDialog1->ApplyFilter();
  advanced->SetDown(true);
  PutUp({"tbStatusFilter_NewReport"});
  EXPECT_EQ(Rows(form->dsetBug), 8);  // statuses 2-9, priority 1, bug reports
  form->popFiltersPopup(form->popFilters);
  EXPECT_TRUE(form->popFilters_Save->Enabled());
  EXPECT_TRUE(form->popFilters_Clear->Enabled());
  EXPECT_FALSE(form->popFilters_Load->Enabled());

  // Clicked up: the dialog's filter goes, the quick filter stays.
  advanced->SetDown(false);
  advanced->Click();
  EXPECT_TRUE(form->wwFilterDialog1->FieldInfo().empty());
  EXPECT_EQ(advanced->Hint(), "Set Advanced Filter");
  EXPECT_EQ(Rows(form->dsetBug), 40);
  form->popFiltersPopup(form->popFilters);
  EXPECT_FALSE(form->popFilters_Save->Enabled());
  EXPECT_FALSE(form->popFilters_Clear->Enabled());
}

// The filter window, opened by the menu or the button, says what it is.
TEST_F(Filters, TheFilterWindowIsTitledFilter) {
  std::vector<std::string> titles;
  respond = [&](TDialogRequest& r) {
    if (auto* window = dynamic_cast<TForm*>(r.Dialog)) titles.push_back(window->Caption());
    return mrCancel;
  };
  form->popFilters_Specify->Click();
  form->btnAdvancedFilter->SetDown(true);
  form->btnAdvancedFilter->Click();
  EXPECT_EQ(titles, (std::vector<std::string>{"Filter", "Filter"}));
}

// What the filter window shows of the application's settings: only the
// fields worth searching, by label in alphabetic order, no choice of field
// order; the description first, matched at its start; the non-matching box
// beside the case box; a counter field offered by range. Confirmed, the
// value's "or" joins two starts, and the records are filtered one by one
// under the entry table's own index.
TEST_F(Filters, TheFilterWindowShowsTheApplicationsSettings) {
  const std::string index = form->dsetBug->IndexName();
  int shown = 0;
  respond = [&](TDialogRequest& r) {
    auto* w = dynamic_cast<TwwFilterDlg*>(r.Dialog);
    if (!w) return mrCancel;
    ++shown;
    TStrings* items = w->FieldsListBox->Items();
    std::vector<std::string> fields;
    for (int i = 0; i < items->Count(); ++i) fields.push_back(items->Strings(i));
    EXPECT_EQ(fields, (std::vector<std::string>{"Area", "Description", "Fixed By", "Fixed Date", "Fixed in Version",
                                                "Identifier", "Report Number", "Reported By", "Reported Date",
                                                "ReportType", "Responsibility", "Severity", "Verified By",
                                                "Verified Date", "Version"}));
    EXPECT_EQ(w->FieldCriteria->Caption(), "Description");
    EXPECT_EQ(w->MatchTypeGroup->ItemIndex(), 1) << "Partial Match at Beginning";
    EXPECT_EQ(w->SelectNotebook->PageIndex(), 0) << "by value";
    EXPECT_FALSE(w->FieldOrder->Visible());
    for (TControl* c : std::initializer_list<TControl*>{w->CaseSensitive, w->Nonmatching, w->ViewButton,
                                                        w->ValueRangeTabSet})
      EXPECT_TRUE(c->Visible()) << c->Name();
    EXPECT_LT(w->OKButton->Top(), w->ClientHeight());
    ClickItem(w->FieldsListBox, "Report Number");
    EXPECT_EQ(w->SelectNotebook->PageIndex(), 1) << "a counter by range";
    ClickItem(w->FieldsListBox, "Description");
    w->FilterValueEdit->SetText("bugreport 3 or BugReport 4");
    return mrOk;
  };
  form->popFilters_Specify->Click();
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(form->btnAdvancedFilter->Down());
  EXPECT_EQ(Rows(form->dsetBug), 10);  // statuses 3 and 4, every priority
  EXPECT_EQ(form->dsetBug->IndexName(), index);
}

// Records the names the window passes to the store.
class RecordingStore : public TwwSaveFilter {
 public:
  using TwwSaveFilter::TwwSaveFilter;
  bool SaveFilter(const std::string& name) override {
    names.push_back(name);
    return TwwSaveFilter::SaveFilter(name);
  }
  std::vector<std::string> names;
};

TEST_F(Filters, SaveGivesTheStoreTheTypedNameEvenAnEmptyOne) {
  auto store = std::make_unique<RecordingStore>(nullptr);
  store->FilePath = form->SaveFilter->FilePath;
  store->Delimiter = form->SaveFilter->Delimiter;
  store->SetwwFilterDialog(form->wwFilterDialog1);
  TwwSaveFilter* own = std::exchange(form->SaveFilter, store.get());
  AddPriorityOneCondition(form->wwFilterDialog1);
  for (const char* typed : {"Priority one", ""}) {
    respond = [typed](TDialogRequest& r) {
      EXPECT_EQ(r.Caption, "Filter Name");
      EXPECT_EQ(r.Text, "Name of Filter?");
      *r.Value = typed;
      return mrOk;
    };
    form->popFilters_Save->Click();
  }
  respond = [](TDialogRequest&) { return mrCancel; };
  form->popFilters_Save->Click();
  EXPECT_EQ(store->names, (std::vector<std::string>{"Priority one", "", ""}));
  EXPECT_TRUE(store->FilterExists("Priority one"));
  EXPECT_EQ(own->FilePath, scratch.Dir() + "/registry/SavedFilters.txt");
  form->SaveFilter = own;
}

TEST_F(Filters, TheLoadDialogDropsRemovedNamesAndLoadsTheChosenOne) {
  form->popFilters_Load->Click();
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{"You do not have any saved filters."});

  AddPriorityOneCondition(form->wwFilterDialog1);
  for (const char* name : {"First", "Second", "Third"}) form->SaveFilter->SaveFilter(name);
  form->wwFilterDialog1->ClearFilter();
  respond = [](TDialogRequest& r) {
    auto* select = dynamic_cast<TSelectSaveFilter*>(r.Dialog);
    if (!select) return mrCancel;
    EXPECT_EQ(select->Caption(), "Select Filter");
    TStrings* names = select->FiltersBox->Items();
    names->Delete(names->IndexOf("First"));
    select->FiltersBox->SetItemIndex(names->IndexOf("Third"));
    return mrOk;
  };
  form->popFilters_Load->Click();
  EXPECT_TRUE(form->btnAdvancedFilter->Down());
  EXPECT_EQ(form->wwFilterDialog1->FieldInfo().size(), 1u);
  TStringList stored;
  form->SaveFilter->GetFilterNames(&stored);
  ASSERT_EQ(stored.Count(), 2);
  EXPECT_EQ(stored[0], "Second");
  EXPECT_EQ(stored[1], "Third");
  EXPECT_EQ(Rows(form->dsetBug), 9);

  // Cancelled: nothing changes.
  respond = [](TDialogRequest&) { return mrCancel; };
  form->btnAdvancedFilter->SetDown(false);
  EXPECT_FALSE(form->LoadFilterDialog());
  EXPECT_FALSE(form->btnAdvancedFilter->Down());
}

}  // namespace
