#include "datactrls/wwfltdlg.h"

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfltlocal.h"
#include "datactrls/wwfltwin.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"

IMPLEMENT_CLASS(TwwFieldInfo, TObject)
IMPLEMENT_CLASS(TwwDBFieldInfo, TObject)
IMPLEMENT_CLASS(TwwFieldOperators, TPersistent)
IMPLEMENT_CLASS(TwwDummyForm, TForm)
IMPLEMENT_CLASS(TwwFilterDialog, TComponent)

PUBLISHED(TwwFieldOperators) {
  PROP_STR(OrChar, OrChar, SetOrChar, "or");
  PROP_STR(AndChar, AndChar, SetAndChar, "and");
  PROP_STR(NullChar, NullChar, SetNullChar, "null");
}

PUBLISHED(TwwFilterDialog) {
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  PROP_SET(Options, Options, Options,
           (TwwFilterDialogOptions{fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary, fdShowFieldOrder,
                                   fdShowValueRangeTab}));
  PROP_ENUM(SortBy, SortBy, SortBy, fdSortByFieldNo);
  PROP_STR(Caption, Caption, Caption, "");
  PROP_ENUM(FilterMethod, FilterMethod, SetFilterMethod, fdByFilter);
  PROP_ENUM(DefaultMatchType, DefaultMatchType, DefaultMatchType, fdMatchStart);
  PROP_ENUM(DefaultFilterBy, DefaultFilterBy, DefaultFilterBy, fdSmartFilter);
  PROP_STR(DefaultField, DefaultField, DefaultField, "");
  PROP_OBJ(FieldOperators, FieldOperators, SetFieldOperators);
  PROP_OBJ(SelectedFields, SelectedFields, SetSelectedFields);
  PROP_ENUM(FilterOptimization, FilterOptimization, FilterOptimization, fdNone);
  PROP_EVENT(OnInitDialog);
  PROP_EVENT(OnExecuteSQL);
}

void TwwFieldInfo::CopyFrom(const TwwFieldInfo& other) {
  FieldName = other.FieldName;
  DisplayLabel = other.DisplayLabel;
  MatchType = other.MatchType;
  FilterValue = other.FilterValue;
  MinValue = other.MinValue;
  MaxValue = other.MaxValue;
  CaseSensitive = other.CaseSensitive;
  NonMatching = other.NonMatching;
}

std::unique_ptr<TwwFieldInfo> wwCopyFieldInfo(const TwwFieldInfo& info) {
  auto copy = std::make_unique<TwwFieldInfo>();
  copy->CopyFrom(info);
  return copy;
}

// ---- operators

void TwwFieldOperators::Store(std::string& slot, const std::string& value) {
  if (value == slot) return;
  slot = value;
  wwTrim(slot);
  if (wwSameText(or_, and_) || wwSameText(or_, null_) || wwSameText(and_, null_))
    wwShowFilterWarning(kwwFilterOperatorsNotUnique);
}

void TwwFieldOperators::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TwwFieldOperators*>(source);
  if (!other) return TPersistent::Assign(source);
  or_ = other->or_;
  and_ = other->and_;
  null_ = other->null_;
}

// ---- splitting values

namespace {

std::vector<std::string> FilterWords(const std::string& value, const TwwFieldOperators& ops) {
  TwwCharSet delimiters;
  // A one-character operator ends a word and is a word by itself.
  for (const std::string* op : {&ops.OrChar(), &ops.AndChar()})
    if (op->size() == 1) delimiters.set(static_cast<unsigned char>((*op)[0]));
  std::vector<std::string> words;
  int position = 1;
  std::string word;
  for (;;) {
    wwScanWord(value, position, wwswSkipBlanks | wwswQuotes | wwswStripQuotes, word, delimiters);
    if (word.empty() && (position < 1 || position > int(value.size()))) break;
    words.push_back(word);
  }
  return words;
}

TwwFilterJoin JoinOf(const std::vector<std::string>& words, const TwwFieldOperators& ops, std::string& joinWord) {
  // The first word is never an operator.
  for (std::size_t i = 1; i < words.size(); ++i)
    if (wwSameText(words[i], ops.OrChar())) return joinWord = ops.OrChar(), TwwFilterJoin::Or;
  for (std::size_t i = 1; i < words.size(); ++i)
    if (wwSameText(words[i], ops.AndChar())) return joinWord = ops.AndChar(), TwwFilterJoin::And;
  return TwwFilterJoin::Single;
}

}  // namespace

TwwFilterPieces wwSplitFilterValue(const std::string& value, const TwwFieldOperators& ops) {
  const std::vector<std::string> words = FilterWords(value, ops);
  TwwFilterPieces result;
  std::string joinWord;
  result.Join = JoinOf(words, ops, joinWord);
  std::string piece;
  bool started = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && result.Join != TwwFilterJoin::Single && wwSameText(words[i], joinWord)) {
      result.Pieces.push_back(piece);
      piece.clear();
      started = false;
      continue;
    }
    piece += (started ? " " : "") + words[i];
    started = true;
  }
  result.Pieces.push_back(piece);
  return result;
}

bool wwFilterValueHasJoin(const std::string& value, const TwwFieldOperators& ops) {
  std::string joinWord;
  return JoinOf(FilterWords(value, ops), ops, joinWord) != TwwFilterJoin::Single;
}

// ---- the dummy form

TwwDummyForm::TwwDummyForm(TwwFilterDialog* dialog)
    : TForm(nullptr), dialog_(dialog), local_(std::make_unique<TwwLocalFilter>()) {
  SetCaption("wwDummyForm");
}

TwwDummyForm::~TwwDummyForm() = default;

void TwwDummyForm::FilterRecord(TDataSet* dataSet, bool& accept) { accept = local_->Accepts(dataSet); }

// ---- the component

bool wwHasSqlProperty(TObject* dataSet) { return wwSqlProperty(dataSet) != nullptr; }

TStrings* wwSqlProperty(TObject* dataSet) {
  const TPropInfo* prop = dataSet ? GetPropInfo(dataSet, "Sql") : nullptr;
  if (!prop || prop->Kind != tkClass) return nullptr;
  return dynamic_cast<TStrings*>(GetObjectProp(dataSet, prop));
}

TwwFilterDialog::TwwFilterDialog(TComponent* owner)
    : TComponent(owner), link_(std::make_unique<TDataLink>()), dummy_(new TwwDummyForm(this)) {}

TwwFilterDialog::~TwwFilterDialog() {
  // The dataset must not call a handler that is going.
  TDataSet* dataSet = DataSet();
  if (dataSet && dataSet == installedOn_) RemoveLocalFilter(dataSet);
  link_->SetDataSource(nullptr);
  delete dummy_;
}

TDataSet* TwwFilterDialog::DataSet() const { return DataSource() ? DataSource()->DataSet() : nullptr; }

void TwwFilterDialog::SetDataSource(TDataSource* value) {
  link_->SetDataSource(value);
  if (DataSet() && DataSet()->InheritsFrom("TTable")) filterMethod_ = fdByFilter;
}

void TwwFilterDialog::SetFilterMethod(TwwFilterMethod value) {
  TDataSet* dataSet = DataSet();
  if (dataSet && value != fdByFilter && !dataSet->InheritsFrom("TQuery") && !wwHasSqlProperty(dataSet)) {
    wwShowFilterWarning(kwwFilterInvalidMethod);
    return;
  }
  filterMethod_ = value;
}

TwwDBFieldInfo* TwwFilterDialog::FindFieldRecord(const std::string& fieldName) const {
  for (const auto& f : fields_)
    if (wwSameText(f->FieldName, fieldName)) return f.get();
  return nullptr;
}

std::string TwwFilterDialog::FieldNameForLabel(const std::string& label) const {
  TDataSet* dataSet = DataSet();
  std::string name = dataSet ? wwFieldNameFromLabel(dataSet, label) : std::string();
  if (!name.empty()) return name;
  const std::string shown = wwReplaceChar(label, '~', ' ');
  for (const auto& f : fields_)
    if (wwSameText(wwReplaceChar(f->DisplayLabel, '~', ' '), shown)) return f->FieldName;
  return {};
}

void TwwFilterDialog::InitDialog(TwwFilterDlg* dialog) {
  if (OnInitDialog) OnInitDialog(dialog);
}

bool TwwFilterDialog::UsesQueryRewrite() const {
  TDataSet* dataSet = DataSet();
  if (!dataSet || (!dataSet->InheritsFrom("TwwQuery") && !wwHasSqlProperty(dataSet))) return false;
  return filterMethod_ == fdByQueryModify;
}

void TwwFilterDialog::BuildFieldList() {
  fields_.clear();
  if (UsesQueryRewrite()) return BuildQueryFieldList();
  TDataSet* dataSet = DataSet();
  if (!dataSet) return;
  for (int i = 0; i < dataSet->FieldCount(); ++i) {
    TField* field = dataSet->Fields()[i];
    auto info = std::make_unique<TwwDBFieldInfo>();
    info->FieldName = info->SqlFieldName = field->FieldName();
    info->DataType = field->DataType();
    info->DisplayLabel = field->DisplayLabel();
    fields_.push_back(std::move(info));
  }
}

namespace {
// The screen cursor is the hourglass while the dialog works.
struct THourGlass {
  THourGlass() {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~THourGlass() {
    if (Screen) Screen->SetCursor(crDefault);
  }
};
}  // namespace

bool TwwFilterDialog::Execute() {
  TDataSet* dataSet = DataSet();
  if (!dataSet) return false;
  if (!dataSet->Active() && filterMethod_ == fdByFilter) {
    MessageDlg(kwwFilterNeedsActiveDataSet, mtError, {mbOK}, 0);
    return false;
  }
  if (operators_->OrChar() == operators_->AndChar()) wwShowFilterWarning(kwwFilterSameAndOr);
  THourGlass hourGlass;
  if (!showWindow_) {
    Apply();
    return true;
  }
  auto window = std::make_unique<TwwFilterDlg>(nullptr, this);
  window_ = window.get();
  const bool confirmed = window->ShowModal() == mrOk;
  window_ = nullptr;
  if (!confirmed) return false;
  // Nothing changed on a filter that is on already: nothing to apply.
  if (!window->Changed() && (wwGetFilterOptions(dataSet) & 1) != 0) return true;
  conditions_.clear();
  for (const auto& working : window->WorkingList()) {
    conditions_.push_back(wwCopyFieldInfo(*working));
    conditions_.back()->FieldName = FieldNameForLabel(working->DisplayLabel);
  }
  Apply();
  return true;
}

void TwwFilterDialog::ApplyFilter() {
  BuildFieldList();
  showWindow_ = false;
  try {
    Execute();
  } catch (...) {
    showWindow_ = true;
    throw;
  }
  showWindow_ = true;
}

void TwwFilterDialog::ClearFilter() {
  conditions_.clear();
  TStrings* sql = wwSqlProperty(DataSet());
  if (filterMethod_ != fdByQueryModify || !sql || originalSql_->Count() == 0) return;
  sql->Assign(originalSql_.get());
  originalSql_->Clear();
}

void TwwFilterDialog::ReplaceConditions(TwwFieldInfoList conditions) {
  ClearFilter();
  conditions_ = std::move(conditions);
}

void TwwFilterDialog::Apply() {
  TDataSet* dataSet = DataSet();
  wwSetFilterEnabled(dataSet, true);
  if (UsesQueryRewrite())
    BuildSqlWhere();
  else
    InstallLocalFilter(dataSet);
}

void TwwFilterDialog::RemoveLocalFilter(TDataSet* dataSet) {
  if (!wwWithLibraryDataSet(dataSet, [](auto* own) { own->SetOnFilter(nullptr); }))
    dataSet->SetOnFilterRecord(nullptr);
  installedOn_ = nullptr;
}

void TwwFilterDialog::InstallLocalFilter(TDataSet* dataSet) {
  if (!dataSet->Active()) dataSet->Open();
  dummy_->DataSet = dataSet;
  // Checked once here: what cannot be applied is reported once and left out.
  TwwLocalFilter* local = dummy_->LocalFilter();
  local->Compile(dataSet, conditions_, *operators_);
  if (!local->Problems().empty()) {
    std::string text = kwwFilterConditionsSkipped;
    for (const auto& problem : local->Problems()) text += "\r" + problem;
    wwShowFilterWarning(text);
  }
  if (auto* table = dynamic_cast<TwwTable*>(dataSet))
    wwApplyFilterIndex(table, conditions_, *operators_, FilterOptimization, rangeSet_);
  const bool any = !conditions_.empty();
  TwwDummyForm* dummy = dummy_;
  TwwFilterEvent handler = [dummy](TDataSet* d, bool& accept) { dummy->FilterRecord(d, accept); };
  const bool library = wwWithLibraryDataSet(dataSet, [&](auto* own) {
    own->SetOnFilter(nullptr);
    if (any) own->SetOnFilter(handler);
    if (own->Active()) own->First();
  });
  if (!library) {
    dataSet->SetOnFilterRecord(any ? TFilterRecordEvent(handler) : TFilterRecordEvent());
    dataSet->SetFiltered(true);
  }
  installedOn_ = any ? dataSet : nullptr;
}
