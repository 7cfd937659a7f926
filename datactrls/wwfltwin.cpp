#include "datactrls/wwfltwin.h"

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwformbuild.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/grids/grids.h"
#include "platform/classlib/stdctrls/buttons.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/lists.h"
#include "platform/classlib/stdctrls/tabs.h"

IMPLEMENT_CLASS(TwwFilterDlg, TForm)
IMPLEMENT_CLASS(TwwFilterDialogView, TForm)

namespace {

// The window's client size at 96 dots per inch.
constexpr int kClientWidth = 470, kClientHeight = 240;
// The criteria group's right edge, where OK and Cancel stand (7 pixels off).
constexpr int kCriteriaLeft = 176, kCriteriaWidth = 200, kButtonGap = 7;
constexpr int kOkTop = 22, kCancelTop = 62;
// Heights of the check-box panel with two and with one box.
constexpr int kPanelTwoBoxes = 41, kPanelOneBox = 26, kLoneBoxTop = 5;
// How far things move when the value/range tabs are hidden.
constexpr int kValueRangeTabHeight = 13;
// Where the OK and Cancel buttons go when they are not shown.
constexpr int kOutOfSight = 1000;
constexpr int kPageValue = 0, kPageRange = 1;
constexpr int kTabAll = 0, kTabSearched = 1;
// MatchTypeGroup items.
constexpr int kItemExact = 0, kItemStart = 1, kItemAny = 2;

std::string Shown(const std::string& label) { return wwReplaceChar(label, '~', ' '); }
bool SameLabel(const std::string& a, const std::string& b) { return wwSameText(Shown(a), Shown(b)); }

int Scaled(int pixels) { return wwScaleToScreen(pixels, Screen ? Screen->PixelsPerInch() : 96); }

std::string WithoutAmpersand(const std::string& s) { return wwRemoveChar(s, '&'); }

}  // namespace

TwwFilterDlg::TwwFilterDlg(TComponent* owner, TwwFilterDialog* dialog)
    : TForm(owner), dialog_(dialog), dataSet_(dialog->DataSet()) {
  SetCaption(dialog->Caption);
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);
  Font()->SetStyle(TFontStyles{fsBold});
  SetKeyPreview(true);
  BuildControls();
  // The window works on copies; each finds its field anew from its label.
  for (const auto& info : dialog->FieldInfo()) {
    working_.push_back(wwCopyFieldInfo(*info));
    if (dataSet_) working_.back()->FieldName = wwFieldNameFromLabel(dataSet_, info->DisplayLabel);
  }
  dialog->BuildFieldList();
}

void TwwFilterDlg::BuildControls() {
  FieldsLbl = wwAddControl<TLabel>(this, this, 8, 4, 100, 13);
  FieldsListBox = wwAddControl<TListBox>(this, this, 8, 20, 160, 130);
  FieldsLbl->SetFocusControl(FieldsListBox);
  FieldTabSet = wwAddControl<TTabSet>(this, this, 8, 150, 160, 20);
  FieldTabSet->Tabs()->Add("&All");
  FieldTabSet->Tabs()->Add("&Searched");
  FieldOrder = wwAddControl<TRadioGroup>(this, this, 8, 174, 160, 40);
  FieldOrder->SetColumns(2);
  FieldOrder->Items()->Add("Alpha&betic");
  FieldOrder->Items()->Add("&Logical");

  FieldCriteria = wwAddControl<TGroupBox>(this, this, kCriteriaLeft, 4, kCriteriaWidth, 200);
  SelectNotebook = wwAddControl<TNotebook>(FieldCriteria, this, 6, 16, 188, 156);
  SelectNotebook->Pages()->Add("AsString");
  SelectNotebook->Pages()->Add("asValue");
  TPage* byValue = SelectNotebook->Page(kPageValue);
  FieldValueLbl = wwAddControl<TLabel>(byValue, this, 4, 0, 120, 13);
  FilterValueEdit = wwAddControl<TEdit>(byValue, this, 4, 14, 130, 21);
  FieldValueLbl->SetFocusControl(FilterValueEdit);
  FilterValueClearButton = wwAddControl<TBitBtn>(byValue, this, 138, 14, 46, 21);
  MatchTypeGroup = wwAddControl<TRadioGroup>(byValue, this, 4, 40, 180, 68);
  for (const char* item : {"&Exact Match", "&Partial Match at Beginning", "Partial Match Any&where"})
    MatchTypeGroup->Items()->Add(item);
  Panel1 = wwAddControl<TPanel>(byValue, this, 4, 110, 180, kPanelTwoBoxes);
  CaseSensitive = wwAddControl<TCheckBox>(Panel1, this, 4, 3, 170, 17);
  Nonmatching = wwAddControl<TCheckBox>(Panel1, this, 4, 21, 170, 17);
  TPage* byRange = SelectNotebook->Page(kPageRange);
  StartingRangeLbl = wwAddControl<TLabel>(byRange, this, 4, 0, 120, 13);
  MinValueEdit = wwAddControl<TEdit>(byRange, this, 4, 14, 130, 21);
  MinValueClearButton = wwAddControl<TBitBtn>(byRange, this, 138, 14, 46, 21);
  EndingRangeLbl = wwAddControl<TLabel>(byRange, this, 4, 44, 120, 13);
  MaxValueEdit = wwAddControl<TEdit>(byRange, this, 4, 58, 130, 21);
  MaxValueClearButton = wwAddControl<TBitBtn>(byRange, this, 138, 58, 46, 21);
  StartingRangeLbl->SetFocusControl(MinValueEdit);
  EndingRangeLbl->SetFocusControl(MaxValueEdit);
  ValueRangeTabSet = wwAddControl<TTabSet>(FieldCriteria, this, 6, 174, 188, 20);
  ValueRangeTabSet->Tabs()->Add("By &Value");
  ValueRangeTabSet->Tabs()->Add("By &Range");
  ClearSearchButton = wwAddControl<TButton>(this, this, kCriteriaLeft, 210, 96, 25);
  ViewButton = wwAddControl<TButton>(this, this, kCriteriaLeft + 104, 210, 96, 25);

  const int buttonLeft = Scaled(kCriteriaLeft + kCriteriaWidth + kButtonGap);
  OKButton = wwSetDialogAppearance(this, TwwDialogButtonKind::OK);
  CancelButton = wwSetDialogAppearance(this, TwwDialogButtonKind::Cancel);
  OKButton->SetBounds(buttonLeft, Scaled(kOkTop), OKButton->Width(), OKButton->Height());
  CancelButton->SetBounds(buttonLeft, Scaled(kCancelTop), CancelButton->Width(), CancelButton->Height());
  OKButton->SetTabOrder(2);
  CancelButton->SetTabOrder(3);
  OKButton->SetVisible(true);
  CancelButton->SetVisible(true);

  // ---- actions
  FieldsListBox->OnClick = [this](TObject*) {
    const int index = FieldsListBox->ItemIndex();
    if (index < 0) return;
    const std::string label = FieldsListBox->Items()->Strings(index);
    if (SameLabel(label, shown_)) return;
    if (!LeaveField()) return;
    ShowField(label);
    FieldsListBox->SetFocus();
  };
  FieldTabSet->OnChange = [this](TObject*, int newTab, bool& allow) {
    if (!activated_) return;
    allow = LeaveField();
    if (!allow) return;
    if (newTab == kTabSearched && working_.empty()) {
      MessageDlg(wwGlobalIntl()->UserMessages()->FilterDlgNoCriteria, mtInformation, {mbOK}, 0);
      allow = false;
      return;
    }
    const std::string previous = shown_;
    FillFieldList(newTab == kTabSearched);
    const int at = FieldsListBox->Items()->IndexOf(Shown(previous));
    const int pick = at >= 0 ? at : (FieldsListBox->Items()->Count() > 0 ? 0 : -1);
    shown_.clear();
    if (pick >= 0) ShowField(FieldsListBox->Items()->Strings(pick));
  };
  ValueRangeTabSet->OnChange = [this](TObject*, int newTab, bool& allow) {
    if (!activated_) return;
    allow = LeaveField();
    if (allow) SelectNotebook->SetPageIndex(newTab);
  };
  FieldOrder->OnClick = [this](TObject*) {
    const std::string keep = shown_;
    FillFieldList(IsSearchedTab());
    SelectLabel(keep);
  };
  ClearSearchButton->OnClick = [this](TObject*) { NewSearch(); };
  ViewButton->OnClick = [this](TObject*) { ViewSummary(); };
  for (TEdit* edit : {FilterValueEdit, MinValueEdit, MaxValueEdit})
    edit->OnChange = [this](TObject*) { UpdateButtons(); };
  const std::pair<TBitBtn*, TEdit*> clears[] = {
      {FilterValueClearButton, FilterValueEdit}, {MinValueClearButton, MinValueEdit}, {MaxValueClearButton, MaxValueEdit}};
  for (const auto& clear : clears) {
    // Plain names: clang 14 cannot capture a structured binding in a lambda.
    TBitBtn* button = clear.first;
    TEdit* edit = clear.second;
    button->OnClick = [button, edit](TObject*) {
      edit->SetText("");
      button->SetEnabled(false);
      if (edit->CanFocus()) edit->SetFocus();
    };
  }
  OnKeyDown = [this](TObject*, WORD& key, TShiftState) { FormKeyDown(key); };
  OnCloseQuery = [this](TObject*, bool& canClose) {
    if (ModalResult() == mrOk) canClose = LeaveField();
  };
}

void TwwFilterDlg::ApplyTexts() {
  const TwwFilterDialogIntl& t = *wwGlobalIntl()->FilterDialog();
  const auto set = [](TControl* c, const std::string& caption, const std::string& hint) {
    if (!caption.empty()) c->SetCaption(caption);
    c->SetHint(hint);
  };
  set(ViewButton, t.BtnViewSummary, t.BtnViewSummaryHint);
  set(ClearSearchButton, t.BtnNewSearch, t.BtnNewSearchHint);
  set(FieldOrder, t.FieldOrderLabel, t.FieldOrderHint);
  FieldOrder->Items()->SetStrings(0, t.AlphabeticLabel);
  FieldOrder->Items()->SetStrings(1, t.LogicalLabel);
  FieldTabSet->Tabs()->SetStrings(kTabAll, t.AllFieldsLabel);
  FieldTabSet->Tabs()->SetStrings(kTabSearched, t.SearchedFieldsLabel);
  FieldTabSet->SetHint(t.AllSearchedTabHint);
  set(StartingRangeLbl, t.StartingRangeLabel, "");
  set(EndingRangeLbl, t.EndingRangeLabel, "");
  MinValueEdit->SetHint(t.StartingRangeHint);
  MaxValueEdit->SetHint(t.EndingRangeHint);
  set(MinValueClearButton, t.BtnClearMin, t.BtnClearMinHint);
  set(MaxValueClearButton, t.BtnClearMax, t.BtnClearMaxHint);
  set(FilterValueClearButton, t.BtnClearFilterValue, t.BtnClearFilterValueHint);
  ValueRangeTabSet->Tabs()->SetStrings(kPageValue, t.ByValueLabel);
  ValueRangeTabSet->Tabs()->SetStrings(kPageRange, t.ByRangeLabel);
  ValueRangeTabSet->SetHint(t.ValueRangeTabHint);
  set(FieldValueLbl, t.FieldValueLabel, "");
  FilterValueEdit->SetHint(t.FieldValueHint);
  set(MatchTypeGroup, t.SearchTypeLabel, t.SearchTypeHint);
  MatchTypeGroup->Items()->SetStrings(kItemExact, t.MatchExactLabel);
  MatchTypeGroup->Items()->SetStrings(kItemStart, t.MatchStartLabel);
  MatchTypeGroup->Items()->SetStrings(kItemAny, t.MatchAnyLabel);
  set(CaseSensitive, t.CaseSensitiveLabel, t.CaseSensitiveHint);
  set(Nonmatching, t.NonMatchingLabel, t.NonMatchingHint);
  set(FieldsLbl, t.FieldsLabel, "");
  const TFontStyles style = wwGlobalIntl()->DialogFontStyle;
  Font()->SetStyle(style);
  FieldTabSet->Font()->SetStyle(style);
  ValueRangeTabSet->Font()->SetStyle(style);
}

void TwwFilterDlg::ApplyOptions() {
  const TwwFilterDialogOptions options = dialog_->Options;
  if (!options.Contains(fdShowOKCancel)) {
    OKButton->SetTop(kOutOfSight);
    CancelButton->SetTop(kOutOfSight);
    SetClientWidth(ClientWidth() - OKButton->Width() - 8);
  }
  if (!options.Contains(fdShowFieldOrder)) {
    FieldOrder->SetVisible(false);
    FieldsListBox->SetHeight(FieldsListBox->Height() + FieldOrder->Height());
    FieldTabSet->SetTop(FieldTabSet->Top() + FieldOrder->Height());
  }
  if (!options.Contains(fdShowViewSummary)) {
    ViewButton->SetVisible(false);
    ClearSearchButton->SetLeft(ViewButton->Left());
  }
  if (!options.Contains(fdShowValueRangeTab)) {
    ValueRangeTabSet->SetVisible(false);
    FieldsListBox->SetHeight(FieldsListBox->Height() - kValueRangeTabHeight);
    for (TControl* c : std::initializer_list<TControl*>{FieldTabSet, FieldOrder, ClearSearchButton, ViewButton})
      c->SetTop(c->Top() - kValueRangeTabHeight);
    SetClientHeight(ClientHeight() - kValueRangeTabHeight);
  }
  const bool showCase = options.Contains(fdShowCaseSensitive);
  const bool showNon = options.Contains(fdShowNonMatching);
  CaseSensitive->SetVisible(showCase);
  Nonmatching->SetVisible(showNon);
  if (showCase && showNon) {
    Panel1->SetHeight(Scaled(kPanelTwoBoxes));
  } else if (showCase || showNon) {
    Panel1->SetHeight(Scaled(kPanelOneBox));
    if (showNon) Nonmatching->SetTop(Scaled(kLoneBoxTop));
  } else {
    Panel1->SetVisible(false);
  }
}

void TwwFilterDlg::DoShow() {
  ApplyOptions();
  FieldOrder->SetItemIndex(dialog_->SortBy == fdSortByFieldName ? 0 : 1);
  std::string first;
  if (!working_.empty()) {
    FieldTabSet->SetTabIndex(kTabSearched);
    FillFieldList(true);
  } else {
    FieldTabSet->SetTabIndex(kTabAll);
    FillFieldList(false);
    TField* field = dataSet_ ? dataSet_->FindField(dialog_->DefaultField) : nullptr;
    const std::string wanted = Shown(field ? field->DisplayLabel() : dialog_->DefaultField);
    for (int i = 0; i < FieldsListBox->Items()->Count() && first.empty(); ++i)
      if (wwSameText(FieldsListBox->Items()->Strings(i), wanted)) first = FieldsListBox->Items()->Strings(i);
  }
  if (first.empty() && FieldsListBox->Items()->Count() > 0) first = FieldsListBox->Items()->Strings(0);
  if (!first.empty()) ShowField(first);
  if (Screen) Screen->SetCursor(crDefault);
  ApplyTexts();
  dialog_->InitDialog(this);
  changed_ = !dataSet_ || !dataSet_->Active();
  activated_ = true;
  UpdateButtons();
  TForm::DoShow();
}

bool TwwFilterDlg::IsSearchedTab() const { return FieldTabSet->TabIndex() == kTabSearched; }

int TwwFilterDlg::FindWorking(const std::string& label) const {
  for (std::size_t i = 0; i < working_.size(); ++i)
    if (SameLabel(working_[i]->DisplayLabel, label)) return int(i);
  return -1;
}

void TwwFilterDlg::FillFieldList(bool searchedOnly) {
  TStrings* items = FieldsListBox->Items();
  items->Clear();
  FieldsListBox->SetSorted(FieldOrder->ItemIndex() == 0);
  const auto offer = [&](const std::string& label) {
    const std::string shown = Shown(label);
    if (searchedOnly && FindWorking(shown) < 0) return;
    if (items->IndexOf(shown) < 0) items->Add(shown);
  };
  TStrings* selected = dialog_->SelectedFields();
  if (selected->Count() == 0) {
    for (const auto& f : dialog_->FieldList())
      if (wwIsSearchableType(f->DataType)) offer(f->DisplayLabel);
    return;
  }
  for (int i = 0; i < selected->Count(); ++i) {
    int position = 1;
    std::string name, label;
    wwNextToken(selected->Strings(i), ";", position, name);
    if (position > 0) wwNextToken(selected->Strings(i), ";", position, label);
    TwwDBFieldInfo* f = dialog_->FindFieldRecord(name);
    if (!f || !wwIsSearchableType(f->DataType)) continue;
    if (!label.empty()) f->DisplayLabel = label;
    offer(f->DisplayLabel);
  }
}

TFieldType TwwFilterDlg::FieldTypeOf(const std::string& label) const {
  const std::string name = dataSet_ ? wwFieldNameFromLabel(dataSet_, label) : std::string();
  if (TField* field = name.empty() ? nullptr : dataSet_->FindField(name)) return field->DataType();
  for (const auto& f : dialog_->FieldList())
    if (SameLabel(f->DisplayLabel, label) || wwSameText(f->FieldName, label)) return f->DataType;
  return ftUnknown;
}

bool TwwFilterDlg::IsRangeType(TFieldType type) const {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat: case ftCurrency: case ftDate:
    case ftAutoInc:
      return true;
    case ftTime: case ftDateTime: return dialog_->FilterMethod() == fdByQueryModify;
    default: return false;
  }
}

TwwFilterMatchType TwwFilterDlg::SelectedMatchType() const {
  switch (MatchTypeGroup->ItemIndex()) {
    case kItemExact: return fdMatchExact;
    case kItemAny: return fdMatchAny;
    default: return fdMatchStart;
  }
}

void TwwFilterDlg::SetMatchType(TwwFilterMatchType type) {
  MatchTypeGroup->SetItemIndex(type == fdMatchExact ? kItemExact : type == fdMatchAny ? kItemAny : kItemStart);
}

bool TwwFilterDlg::LeaveField() {
  if (shown_.empty()) return true;
  const TFieldType type = FieldTypeOf(shown_);
  const auto refuse = [this](int page, TEdit* edit) {
    SelectNotebook->SetPageIndex(page);
    ValueRangeTabSet->SetTabIndex(page);
    if (edit->CanFocus()) edit->SetFocus();
    edit->SelectAll();
    SelectLabel(shown_);
    return false;
  };
  if (IsRangeType(type)) {
    // Every alternative of the value must be a value of the field's type.
    const std::string value = FilterValueEdit->Text();
    int position = 1;
    std::string piece;
    while (position > 0 && position <= int(value.size())) {
      wwNextToken(value, dialog_->FieldOperators()->OrChar(), position, piece);
      wwTrim(piece);
      if (!wwSameText(piece, dialog_->FieldOperators()->NullChar()) && !wwIsValidTypeText(type, piece))
        return refuse(kPageValue, FilterValueEdit);
    }
  }
  for (TEdit* bound : {MinValueEdit, MaxValueEdit})
    if (!bound->Text().empty() && !wwIsValidTypeText(type, bound->Text())) return refuse(kPageRange, bound);
  if (activated_) StoreEntries();
  return true;
}

void TwwFilterDlg::StoreEntries() {
  const bool range = SelectNotebook->PageIndex() == kPageRange;
  TwwFieldInfo entry;
  entry.DisplayLabel = shown_;
  entry.MatchType = range ? fdMatchRange : SelectedMatchType();
  if (range) {
    entry.MinValue = MinValueEdit->Text();
    entry.MaxValue = MaxValueEdit->Text();
  } else {
    entry.FilterValue = FilterValueEdit->Text();
    entry.CaseSensitive = CaseSensitive->Checked();
    entry.NonMatching = Nonmatching->Checked();
  }
  const bool empty = range ? entry.MinValue.empty() && entry.MaxValue.empty() : entry.FilterValue.empty();
  const int at = FindWorking(shown_);
  if (at < 0) {
    // New conditions get no field name: it is found from the label on OK.
    if (!empty) working_.push_back(wwCopyFieldInfo(entry));
    if (!empty) changed_ = true;
  } else if (empty) {
    working_.erase(working_.begin() + at);
    changed_ = true;
  } else {
    TwwFieldInfo& old = *working_[at];
    const bool differs = old.MatchType != entry.MatchType || old.FilterValue != entry.FilterValue ||
                         old.MinValue != entry.MinValue || old.MaxValue != entry.MaxValue ||
                         old.CaseSensitive != entry.CaseSensitive || old.NonMatching != entry.NonMatching;
    if (differs) changed_ = true;
    entry.FieldName = old.FieldName;
    old.CopyFrom(entry);
  }
  UpdateButtons();
}

void TwwFilterDlg::ShowField(const std::string& label) {
  shown_ = Shown(label);
  SelectLabel(shown_);
  const int at = FindWorking(shown_);
  const TwwFieldInfo* condition = at >= 0 ? working_[at].get() : nullptr;
  const TFieldType type = FieldTypeOf(shown_);
  if (condition) {
    SetMatchType(condition->MatchType == fdMatchRange ? dialog_->DefaultMatchType : condition->MatchType);
    FilterValueEdit->SetText(condition->FilterValue);
    MinValueEdit->SetText(condition->MinValue);
    MaxValueEdit->SetText(condition->MaxValue);
    CaseSensitive->SetChecked(condition->CaseSensitive);
    Nonmatching->SetChecked(condition->NonMatching);
  } else {
    for (TEdit* edit : {FilterValueEdit, MinValueEdit, MaxValueEdit}) edit->SetText("");
    CaseSensitive->SetChecked(dialog_->Options.Contains(fdCaseSensitive));
    Nonmatching->SetChecked(false);
    SetMatchType(dialog_->DefaultMatchType);
  }
  FieldCriteria->SetCaption(shown_);
  ValueRangeTabSet->SetVisible(dialog_->Options.Contains(fdShowValueRangeTab));
  // A dataset that is no table searches range-capable fields by exact value.
  const bool table = dataSet_ && dataSet_->InheritsFrom("TTable");
  const bool query = dataSet_ && (dataSet_->InheritsFrom("TQuery") || wwHasSqlProperty(dataSet_));
  MatchTypeGroup->SetEnabled(true);
  CaseSensitive->SetEnabled(true);
  if (!table && IsRangeType(type)) {
    SetMatchType(fdMatchExact);
    MatchTypeGroup->SetEnabled(false);
    CaseSensitive->SetEnabled(false);
  } else if (query && dialog_->FilterMethod() == fdByQueryModify && type == ftMemo) {
    CaseSensitive->SetChecked(true);
    CaseSensitive->SetEnabled(false);
    ValueRangeTabSet->SetVisible(false);
  }
  ChoosePage(condition, type);
  UpdateButtons();
}

void TwwFilterDlg::ChoosePage(const TwwFieldInfo* condition, TFieldType type) {
  int page;
  if (!dialog_->Options.Contains(fdShowValueRangeTab))
    page = dialog_->DefaultFilterBy == fdFilterByRange ? kPageRange : kPageValue;
  else if (condition)
    page = condition->MatchType == fdMatchRange ? kPageRange : kPageValue;
  else if (dialog_->DefaultFilterBy == fdFilterByValue)
    page = kPageValue;
  else if (dialog_->DefaultFilterBy == fdFilterByRange)
    page = kPageRange;
  else
    page = IsRangeType(type) && type != ftBoolean ? kPageRange : kPageValue;
  // Set while not activated, or through the tab set's own check.
  const bool was = activated_;
  activated_ = false;
  ValueRangeTabSet->SetTabIndex(page);
  activated_ = was;
  SelectNotebook->SetPageIndex(page);
  FocusEntry();
}

void TwwFilterDlg::FocusEntry() {
  TEdit* edit = SelectNotebook->PageIndex() == kPageRange ? MinValueEdit : FilterValueEdit;
  if (edit->CanFocus()) edit->SetFocus();
  edit->SelectAll();
}

void TwwFilterDlg::SelectLabel(const std::string& label) {
  FieldsListBox->SetItemIndex(FieldsListBox->Items()->IndexOf(Shown(label)));
}

void TwwFilterDlg::UpdateButtons() {
  FilterValueClearButton->SetEnabled(!FilterValueEdit->Text().empty());
  MinValueClearButton->SetEnabled(!MinValueEdit->Text().empty());
  MaxValueClearButton->SetEnabled(!MaxValueEdit->Text().empty());
  const bool anyText = !FilterValueEdit->Text().empty() || !MinValueEdit->Text().empty() || !MaxValueEdit->Text().empty();
  ClearSearchButton->SetEnabled(!working_.empty() || anyText);
}

void TwwFilterDlg::NewSearch() {
  working_.clear();
  changed_ = true;
  for (TEdit* edit : {FilterValueEdit, MinValueEdit, MaxValueEdit}) edit->SetText("");
  SetMatchType(fdMatchStart);
  const bool was = activated_;
  activated_ = false;
  FieldTabSet->SetTabIndex(kTabAll);
  activated_ = was;
  const std::string keep = shown_;
  FillFieldList(false);
  SelectLabel(keep);
  UpdateButtons();
  ClearSearchButton->SetEnabled(false);
}

void TwwFilterDlg::FormKeyDown(WORD& key) {
  TStrings* items = FieldsListBox->Items();
  if (FieldsListBox->Focused()) {
    if (key != VK_DELETE || !IsSearchedTab() || FieldsListBox->ItemIndex() < 0) return;
    const int at = FindWorking(items->Strings(FieldsListBox->ItemIndex()));
    if (at >= 0) working_.erase(working_.begin() + at);
    changed_ = true;
    shown_.clear();
    FillFieldList(true);
    if (items->Count() > 0) ShowField(items->Strings(0));
    key = 0;
    return;
  }
  const int rows = std::max(1, FieldsListBox->ClientHeight() / std::max(1, FieldsListBox->ItemHeight()));
  int step = 0;
  switch (key) {
    case VK_NEXT: step = rows; break;
    case VK_PRIOR: step = -rows; break;
    case VK_DOWN: step = 1; break;
    case VK_UP: step = -1; break;
    default: return;
  }
  const int from = FieldsListBox->ItemIndex();
  const int to = std::clamp(from + step, 0, items->Count() - 1);
  if (to == from || to < 0) return;
  if (!LeaveField()) return;
  ShowField(items->Strings(to));
  key = 0;
}

std::vector<std::vector<std::string>> TwwFilterDlg::SummaryRows() const {
  const TwwFilterDialogIntl& t = *wwGlobalIntl()->FilterDialog();
  std::vector<std::vector<std::string>> rows{{t.SummaryFieldLabel, t.SummarySearchLabel, t.SummaryValueLabel}};
  for (const auto& c : working_) {
    std::string type, value;
    switch (c->MatchType) {
      case fdMatchExact: type = t.MatchExactLabel; break;
      case fdMatchAny: type = t.MatchAnyLabel; break;
      case fdMatchRange: type = t.ByRangeLabel; break;
      default: type = t.MatchStartLabel; break;
    }
    if (c->MatchType == fdMatchRange) {
      if (!c->MinValue.empty()) value = ">=" + c->MinValue;
      if (!c->MinValue.empty() && !c->MaxValue.empty()) value += ", ";
      if (!c->MaxValue.empty()) value += "<=" + c->MaxValue;
    } else if (c->NonMatching) {
      value = wwFilterValueHasJoin(c->FilterValue, *dialog_->FieldOperators())
                  ? t.ViewSummaryNotText + " (" + c->FilterValue + ")"
                  : t.ViewSummaryNotText + " " + c->FilterValue;
    } else {
      value = c->FilterValue;
    }
    rows.push_back({Shown(c->DisplayLabel), WithoutAmpersand(type), value});
  }
  return rows;
}

void TwwFilterDlg::ViewSummary() {
  LeaveField();
  if (working_.empty()) {
    MessageDlg(wwGlobalIntl()->UserMessages()->FilterDlgNoCriteria, mtInformation, {mbOK}, 0);
    return;
  }
  TwwFilterDialogView view(nullptr, SummaryRows());
  view.ShowModal();
  FocusEntry();
}

// ---- the summary window

namespace {
constexpr int kViewWidth = 481, kViewHeight = 206, kViewRowHeight = 18, kCellInset = 2;
constexpr int kViewColumns[] = {115, 171, 171};
}  // namespace

TwwFilterDialogView::TwwFilterDialogView(TComponent* owner, const std::vector<std::vector<std::string>>& rows)
    : TForm(owner) {
  SetCaption("Show Search Summary");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kViewWidth);
  SetClientHeight(kViewHeight);
  Grid = wwAddControl<TStringGrid>(this, this, 0, 0, kViewWidth, kViewHeight);
  Grid->SetColCount(3);
  Grid->SetRowCount(std::max(2, int(rows.size())));
  Grid->SetFixedCols(0);
  Grid->SetFixedRows(1);
  Grid->SetDefaultRowHeight(kViewRowHeight);
  Grid->SetScrollBars(ssNone);
  for (int c = 0; c < 3; ++c) Grid->SetColWidths(c, kViewColumns[c]);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (int c = 0; c < 3 && c < int(rows[r].size()); ++c) Grid->SetCells(c, int(r), rows[r][std::size_t(c)]);
  Grid->Font()->SetStyle(wwGlobalIntl()->DialogFontStyle);
  // Data cells: black on white, the text a little in from the top left.
  Grid->SetDefaultDrawing(false);
  Grid->OnDrawCell = [this](TObject*, int col, int row, const TRect& rect, TGridDrawState) {
    TCanvas* canvas = Grid->Canvas();
    canvas->Brush()->SetColor(row == 0 ? clBtnFace : clWhite);
    canvas->Font()->SetColor(clBlack);
    canvas->TextRect(rect, rect.Left + kCellInset, rect.Top + kCellInset, Grid->Cells(col, row));
  };
  CancelButton = wwAddControl<TButton>(this, this, 200, kViewHeight + 40, 75, 25);
  CancelButton->SetCaption("Cancel");
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  // The grid never edits: entering it hands the focus on.
  Grid->OnEnter = [this](TObject*) {
    if (CancelButton->CanFocus()) CancelButton->SetFocus();
  };
}
