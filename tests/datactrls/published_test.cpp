// Form definitions keep every published property of the library's datasets,
// lookup combo and filter dialog: each set to a value other than its default,
// written as text and as binary, read into a fresh form, read back the same
// (events by the names of their handlers).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datactrls/edits/wwdblkcb.h"
#include "datactrls/wwfltdlg.h"
#include "datactrls/wwqbe.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/typinfo.h"

// A form whose handlers the definitions name.
class TPublishedForm : public TForm {
  DECLARE_CLASS(TPublishedForm, TForm)
 public:
  explicit TPublishedForm(TComponent* owner = nullptr) : TForm(owner) {}
  void DataFilter(TDataSet*, bool&) {}
  void DataFilterEscape(TObject*) {}
  void DataInvalidValue(TObject*, TField*) {}
  void ComboDropDown(TObject*) {}
  void ComboCloseUp(TObject*, TDataSet*, TDataSet*, bool) {}
  void ComboNotInList(TObject*, TDataSet*, const std::string&, bool&) {}
  void FilterInitDialog(TwwFilterDlg*) {}
  void FilterExecuteSQL(TwwFilterDlg*, TQuery*) {}
};
IMPLEMENT_CLASS(TPublishedForm, TForm)
PUBLISHED(TPublishedForm) {
  PUBLISHED_METHOD(DataFilter);
  PUBLISHED_METHOD(DataFilterEscape);
  PUBLISHED_METHOD(DataInvalidValue);
  PUBLISHED_METHOD(ComboDropDown);
  PUBLISHED_METHOD(ComboCloseUp);
  PUBLISHED_METHOD(ComboNotInList);
  PUBLISHED_METHOD(FilterInitDialog);
  PUBLISHED_METHOD(FilterExecuteSQL);
}

namespace {

// A published value as text: a sub-object's by a dotted path ("Font.Name"),
// a list by its lines, a component by its name, an event by its handler's name.
std::string ValueText(TObject* object, const std::string& path) {
  const std::size_t dot = path.find('.');
  if (dot != std::string::npos)
    return ValueText(GetObjectProp(object, path.substr(0, dot)), path.substr(dot + 1));
  const TPropInfo* prop = GetPropInfo(object, path);
  if (!prop) return "<not published>";
  if (prop->Kind == tkMethod) return "handler " + GetMethodProp(object, prop).Name;
  if (prop->Kind == tkClass) {
    TObject* value = GetObjectProp(object, prop);
    if (auto* lines = dynamic_cast<TStrings*>(value)) return "lines " + lines->Text();
    if (auto* component = dynamic_cast<TComponent*>(value)) return "component " + component->Name();
    return value ? "object" : "nil";
  }
  const TPropValue value = GetPropValue(object, path);
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
  if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const auto* s = std::get_if<std::string>(&value)) return "'" + *s + "'";
  return "<other>";
}

void SetEvent(TObject* object, const char* event, TPublishedForm& form, const char* handler) {
  SetMethodProp(object, event, MethodAddress(&form, handler));
}

// The form read back from its text and from its binary definition.
std::vector<std::unique_ptr<TPublishedForm>> ReadBack(TPublishedForm& form) {
  std::vector<std::unique_ptr<TPublishedForm>> copies;
  copies.push_back(std::make_unique<TPublishedForm>());
  ReadComponentFromText(WriteComponentToText(&form), copies.back().get());
  TMemoryStream binary;
  WriteComponentToStream(&binary, &form);
  binary.SetPosition(0);
  copies.push_back(std::make_unique<TPublishedForm>());
  ReadComponentFromStream(&binary, copies.back().get());
  return copies;
}

// Every listed property of the component `name` differs from a fresh one's
// (made by `fresh`) and reads back the same from both definitions.
void ExpectKept(TPublishedForm& form, const std::string& name, const std::vector<std::string>& props,
                const std::function<TComponent*()>& fresh) {
  TComponent* original = form.FindComponent(name);
  ASSERT_NE(original, nullptr);
  std::unique_ptr<TComponent> plain(fresh());
  for (const std::string& prop : props)
    EXPECT_NE(ValueText(original, prop), ValueText(plain.get(), prop)) << name << "." << prop << " is left at its default";
  const char* kinds[] = {"text", "binary"};
  auto copies = ReadBack(form);
  for (std::size_t i = 0; i < copies.size(); ++i) {
    TComponent* copy = copies[i]->FindComponent(name);
    ASSERT_NE(copy, nullptr) << kinds[i];
    for (const std::string& prop : props)
      EXPECT_EQ(ValueText(copy, prop), ValueText(original, prop)) << kinds[i] << ": " << name << "." << prop;
  }
}

template <class C>
C* Place(TPublishedForm& form, const char* name) {
  auto* c = new C(&form);
  c->SetName(name);
  if (auto* control = dynamic_cast<TControl*>(static_cast<TComponent*>(c))) control->SetParent(&form);
  return c;
}

// The lists, events and options every library dataset publishes.
void SetLibrarySettings(TComponent* data, TPublishedForm& form) {
  for (const char* list : {"ControlType", "PictureMasks", "LookupFields", "LookupLinks"}) {
    TStringList lines;
    lines.Add(std::string("Field\t") + list);
    SetObjectProp(data, list, &lines);
  }
  SetEvent(data, "OnInvalidValue", form, "DataInvalidValue");
  SetEvent(data, "OnFilter", form, "DataFilter");
  SetEvent(data, "OnFilterEscape", form, "DataFilterEscape");
  SetSetProp(data, "OnFilterOptions", "ofoCancelOnEscape");
}

const std::vector<std::string> kLibrarySettings = {
    "ControlType", "PictureMasks", "LookupFields", "LookupLinks", "OnInvalidValue",
    "OnFilter",    "OnFilterEscape", "OnFilterOptions"};

std::vector<std::string> With(std::vector<std::string> props, std::initializer_list<const char*> more) {
  props.insert(props.end(), more.begin(), more.end());
  return props;
}

class PublishedProperties : public testing::Test {
 protected:
  void SetUp() override { form.SetName("Form1"); }
  // The form's data source over `data`.
  TDataSource* SourceOver(TDataSet* data) {
    auto* source = Place<TDataSource>(form, "dsEntries");
    source->SetDataSet(data);
    return source;
  }
  TPublishedForm form;
};

TEST_F(PublishedProperties, TheLibraryDatasetsKeepTheirSettingsAndFilterEvents) {
  // A table names its table or runs a query text, never both.
  auto* table = Place<TwwTable>(form, "tblEntries");
  SetLibrarySettings(table, form);
  table->ValidateWithMask = false;
  table->SetTableName("Reports");
  table->wwFilter()->Add("Priority = 1");
  table->SyncSQLByRange = true;
  table->NarrowSearch = true;
  table->NarrowSearchUpperChar = 122;
  auto* queried = Place<TwwTable>(form, "tblQueried");
  queried->Query()->Add("SELECT * FROM Reports");
  auto* query = Place<TwwQuery>(form, "qryEntries");
  SetLibrarySettings(query, form);
  query->ValidateWithMask = false;
  auto* proc = Place<TwwStoredProc>(form, "spEntries");
  SetLibrarySettings(proc, form);
  proc->ValidateWithMask = false;
  auto* qbe = Place<TwwQBE>(form, "qbeEntries");
  SetLibrarySettings(qbe, form);

  const auto masked = With(kLibrarySettings, {"ValidateWithMask"});
  ExpectKept(form, "tblEntries",
             With(masked, {"TableName", "wwFilter", "SyncSQLByRange", "NarrowSearch", "NarrowSearchUpperChar"}),
             [] { return new TwwTable; });
  ExpectKept(form, "tblQueried", {"Query"}, [] { return new TwwTable; });
  ExpectKept(form, "qryEntries", masked, [] { return new TwwQuery; });
  ExpectKept(form, "spEntries", masked, [] { return new TwwStoredProc; });
  ExpectKept(form, "qbeEntries", kLibrarySettings, [] { return new TwwQBE; });
}

TEST_F(PublishedProperties, TheLookupComboKeepsItsListSearchAndEvents) {
  TDataSource* source = SourceOver(Place<TwwTable>(form, "tblEntries"));
  auto* people = Place<TwwTable>(form, "tblPeople");
  auto* combo = Place<TwwDBLookupCombo>(form, "dblcFixedBy");
  combo->SetDataSource(source);
  combo->SetDataField("FixedBy");
  combo->SetLookupTable(people);
  combo->SetLookupField("Employee");
  combo->Selected()->Add("Employee\t20\tName");
  combo->SetOptions({loColLines, loTitles});
  combo->SetStyle(csDropDownList);
  combo->SetDropDownAlignment(taRightJustify);
  combo->SetDropDownCount(12);
  combo->SetDropDownWidth(240);
  combo->SetAutoDropDown(true);
  combo->SetShowButton(false);
  combo->SetSeqSearchOptions({ssoCaseSensitive});
  combo->SetOrderByDisplay(false);
  combo->SetUseTFields(false);
  combo->SetAllowClearKey(true);
  combo->SetShowMatchText(true);
  combo->SetAutoSize(false);
  combo->SetAutoSelect(false);
  SetEvent(combo, "OnDropDown", form, "ComboDropDown");
  SetEvent(combo, "OnCloseUp", form, "ComboCloseUp");
  SetEvent(combo, "OnNotInList", form, "ComboNotInList");
  ExpectKept(form, "dblcFixedBy",
             {"DataSource", "DataField", "LookupTable", "LookupField", "Selected", "Options", "Style",
              "DropDownAlignment", "DropDownCount", "DropDownWidth", "AutoDropDown", "ShowButton",
              "SeqSearchOptions", "OrderByDisplay", "UseTFields", "AllowClearKey", "ShowMatchText",
              "AutoSize", "AutoSelect", "OnDropDown", "OnCloseUp", "OnNotInList"},
             [] { return new TwwDBLookupCombo(nullptr); });
}

TEST_F(PublishedProperties, TheFilterDialogKeepsItsChoicesAndEvents) {
  auto* filter = Place<TwwFilterDialog>(form, "wwFilterDialog1");
  filter->SetDataSource(SourceOver(Place<TwwQuery>(form, "qryEntries")));
  filter->SetFilterMethod(fdByQueryModify);
  filter->Options = {fdCaseSensitive, fdShowNonMatching};
  filter->SortBy = fdSortByFieldName;
  filter->Caption = "Filter";
  filter->DefaultMatchType = fdMatchAny;
  filter->DefaultFilterBy = fdFilterByValue;
  filter->DefaultField = "Description";
  filter->FieldOperators()->SetOrChar("oder");
  filter->FieldOperators()->SetAndChar("und");
  filter->FieldOperators()->SetNullChar("leer");
  filter->SelectedFields()->Add("Area");
  filter->SelectedFields()->Add("FixedBy;Fixed By");
  filter->FilterOptimization = fdUseActiveIndex;
  SetEvent(filter, "OnInitDialog", form, "FilterInitDialog");
  SetEvent(filter, "OnExecuteSQL", form, "FilterExecuteSQL");
  ExpectKept(form, "wwFilterDialog1",
             {"DataSource", "Options", "SortBy", "Caption", "FilterMethod", "DefaultMatchType",
              "DefaultFilterBy", "DefaultField", "FieldOperators.OrChar", "FieldOperators.AndChar",
              "FieldOperators.NullChar", "SelectedFields", "FilterOptimization", "OnInitDialog",
              "OnExecuteSQL"},
             [] { return new TwwFilterDialog(nullptr); });
}

}  // namespace
