#include "datactrls/wwlocate.h"

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwformbuild.h"
#include "datactrls/wwintl.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/richedit/rtf.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TwwLocateDlg, TForm)
IMPLEMENT_CLASS(TwwLocateDialog, TComponent)

PUBLISHED(TwwLocateDialog) {
  PROP_STR(Caption, Caption, Caption, "Locate Field Value");
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  PROP_STR(SearchField, SearchField, SearchField, "");
  PROP_ENUM(MatchType, MatchType, MatchType, mtPartialMatchStart);
  PROP_BOOL(CaseSensitive, CaseSensitive, CaseSensitive, false);
  PROP_ENUM(SortFields, SortFields, SortFields, fsSortByFieldName);
  PROP_ENUM(DefaultButton, DefaultButton, DefaultButton, dbFindNext);
  PROP_ENUM(FieldSelection, FieldSelection, FieldSelection, fsAllFields);
  PROP_BOOL(ShowMessages, ShowMessages, ShowMessages, true);
  PROP_EVENT(OnInitDialog);
}

// ---- Matching and searching ---------------------------------------------------

TwwWaitCursor::TwwWaitCursor(bool wait) : saved_(Screen ? Screen->Cursor() : crDefault), wait_(wait && Screen) {
  if (wait_) Screen->SetCursor(crHourGlass);
}

TwwWaitCursor::~TwwWaitCursor() {
  if (wait_) Screen->SetCursor(saved_);
}

bool wwMatchText(const std::string& fieldText, const std::string& value,
                 TwwLocateMatchType matchType, bool caseSensitive) {
  const std::string text = caseSensitive ? fieldText : AnsiUpperCaseFolded(fieldText);
  switch (matchType) {
    case mtExactMatch: return text == value;
    case mtPartialMatchStart: return text.rfind(value, 0) == 0;
    case mtPartialMatchAny: return text.find(value) != std::string::npos;
  }
  return false;
}

namespace {

bool IsMemo(TField* field) { return field->DataType() == ftMemo || field->DataType() == ftFmtMemo; }

// The record's match test. Memo texts are read whole (AsString grows with the
// text), so no part of a long memo is cut from the comparison, and a rich-text
// memo is searched for the text a reader sees, not its markup.
bool RecordMatches(TField* field, const std::string& value, bool haveNumber, double number,
                   TwwLocateMatchType matchType, bool caseSensitive) {
  if (haveNumber) return !field->IsNull() && field->AsFloat() == number;
  const std::string text = IsMemo(field) ? MemoPlainText(field->AsString()) : field->Text();
  return wwMatchText(text, value, matchType, caseSensitive);
}

// The index the table is on now: by name, by its field list, else the primary
// index; nullptr when none is known.
const TIndexDef* CurrentIndexDef(TTable* table) {
  TIndexDefs& defs = table->IndexDefs();
  defs.Update();
  for (int i = 0; i < defs.Count(); ++i) {
    const TIndexDef* def = defs[i];
    if (!table->IndexName().empty() ? wwSameText(def->Name(), table->IndexName())
        : !table->IndexFieldNames().empty() ? wwSameText(def->Fields(), table->IndexFieldNames())
                                            : def->Options().Contains(ixPrimary))
      return def;
  }
  return nullptr;
}

bool HasQueryText(TDataSet* dataSet) {
  auto* table = dynamic_cast<TwwTable*>(dataSet);
  return table && table->Query()->Count() > 0;
}

// A table of the class library whose current index starts with the field
// seeks the value instead of reading record by record. Answers 1 found, 0 not
// found (the record unchanged), -1 when the index cannot serve this search.
int KeySearch(bool fromFirst, TDataSet* dataSet, TField* field, const std::string& value,
              const std::string& wanted, TwwLocateMatchType matchType, bool caseSensitive) {
  auto* table = dynamic_cast<TTable*>(dataSet);
  if (!table || IsMemo(field) || HasQueryText(table) || value.empty() || field->DataType() == ftBoolean ||
      matchType == mtPartialMatchAny)
    return -1;
  if (table->IndexFieldCount() == 0 || table->IndexFields(0) != field) return -1;
  const bool isString = field->DataType() == ftString;
  if (!isString && matchType != mtExactMatch) return -1;
  // Text keys serve only a search of the index's own sensitivity to case.
  const TIndexDef* index = CurrentIndexDef(table);
  if (isString && (!index || index->Options().Contains(ixCaseInsensitive) == caseSensitive)) return -1;
  // Next: a seek cannot start after the current record, so it serves only
  // when every match lies ahead of it in key order.
  if (!fromFirst) {
    const std::string current = field->Text();
    const int order = caseSensitive ? AnsiCompareStr(current, value) : AnsiCompareText(current, value);
    if (!isString || order >= 0 || wwMatchText(current, wanted, matchType, caseSensitive)) return -1;
  }
  if (!wwIsValidFieldInput(field, value)) return 0;
  const TBookmarkStr saved = table->Bookmark();
  const bool reached = matchType == mtExactMatch ? table->FindKey({Variant(value)})
                                                 : (table->FindNearest({Variant(value)}), true);
  if (reached && wwMatchText(field->Text(), wanted, matchType, caseSensitive)) return 1;
  // Some engines seek text without regard to case whatever their index
  // says: a record that differs from the value only in case leaves the
  // search to the scan, which can tell them apart.
  const bool caseOnly = reached && caseSensitive &&
                        wwMatchText(field->Text(), AnsiUpperCaseFolded(value), matchType, false);
  if (reached) table->SetBookmark(saved);
  return caseOnly ? -1 : 0;
}

}  // namespace

bool wwLocateValue(bool fromFirst, TDataSet* dataSet, const std::string& fieldName,
                   const std::string& value, TwwLocateMatchType matchType, bool caseSensitive) {
  dataSet->CheckBrowseMode();
  TField* field = dataSet->FindField(fieldName);
  if (!field) {
    MessageDlg("Field " + fieldName + " not found.", mtWarning, {mbOK}, 0);
    return false;
  }
  const std::string wanted = caseSensitive ? value : AnsiUpperCaseFolded(value);
  // An exact search on a float field compares numbers when the value is one.
  double number = 0;
  const bool haveNumber = matchType == mtExactMatch &&
                          (field->DataType() == ftFloat || field->DataType() == ftCurrency) &&
                          TryStrToFloat(value, number);
  const int keyed = KeySearch(fromFirst, dataSet, field, value, wanted, matchType, caseSensitive);
  if (keyed >= 0) return keyed == 1;
  // Every other dataset (the engine's included) is scanned, and the scan
  // restores the position.
  const TBookmarkStr saved = dataSet->Bookmark();
  TwwWaitCursor cursor(IsMemo(field));
  dataSet->DisableControls();
  bool found = false;
  try {
    if (fromFirst) dataSet->First();
    else dataSet->Next();
    while (!dataSet->Eof() && !found) {
      found = RecordMatches(field, wanted, haveNumber, number, matchType, caseSensitive);
      if (!found) dataSet->Next();
    }
    if (!found) dataSet->SetBookmark(saved);
  } catch (...) {
    dataSet->EnableControls();
    throw;
  }
  dataSet->EnableControls();
  return found;
}

// ---- The form -----------------------------------------------------------------

namespace {

// The form's client size and the rows of its controls.
constexpr int kClientWidth = 212, kClientHeight = 238;

}  // namespace

TwwLocateDlg::TwwLocateDlg(TComponent* owner) : TForm(owner) {
  SetCaption("Locate Value");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);
  Font()->SetStyle(TFontStyles{fsBold});
  Font()->SetSize(8);
  SearchTypeGroup = wwAddControl<TGroupBox>(this, this, 8, 4, 196, 84);
  CaseSensitiveCheckBox = wwAddControl<TCheckBox>(SearchTypeGroup, this, 10, 16, 180, 17);
  ExactMatchBtn = wwAddControl<TRadioButton>(SearchTypeGroup, this, 10, 32, 180, 17);
  PartialMatchStartBtn = wwAddControl<TRadioButton>(SearchTypeGroup, this, 10, 48, 180, 17);
  PartialMatchAnyBtn = wwAddControl<TRadioButton>(SearchTypeGroup, this, 10, 64, 180, 17);
  PartialMatchStartBtn->SetChecked(true);
  FieldsGroup = wwAddControl<TGroupBox>(this, this, 8, 92, 196, 48);
  FieldNameComboBox = wwAddControl<TComboBox>(FieldsGroup, this, 10, 18, 176, 21);
  FieldNameComboBox->SetStyle(csDropDownList);
  FieldNameComboBox->SetSorted(true);
  FieldValueGroup = wwAddControl<TGroupBox>(this, this, 8, 144, 196, 48);
  SearchValue = wwAddControl<TEdit>(FieldValueGroup, this, 10, 18, 176, 21);
  FirstButton = wwAddControl<TButton>(this, this, 8, 204, 62, 25);
  NextButton = wwAddControl<TButton>(this, this, 75, 204, 62, 25);
  CancelButton = wwAddControl<TButton>(this, this, 142, 204, 62, 25);
  NextButton->SetDefault(true);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  FirstButton->OnClick = [this](TObject*) { Find(true); };
  NextButton->OnClick = [this](TObject*) { Find(false); };
  // Another field empties the value, which is typed next.
  FieldNameComboBox->OnChange = [this](TObject*) {
    SearchValue->SetText("");
    if (!FieldNameComboBox->DroppedDown() && SearchValue->CanFocus()) SearchValue->SetFocus();
  };
  // Enter in the field list must not search: Next stops being the default
  // while the list has the focus. Enter closing the dropped list moves on to
  // the value.
  FieldNameComboBox->OnEnter = [this](TObject*) {
    nextWasDefault_ = NextButton->Default();
    NextButton->SetDefault(false);
  };
  FieldNameComboBox->OnExit = [this](TObject*) { NextButton->SetDefault(nextWasDefault_); };
  FieldNameComboBox->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    enterCloses_ = key == VK_RETURN && FieldNameComboBox->DroppedDown();
  };
  FieldNameComboBox->OnCloseUp = [this](TObject*) {
    if (enterCloses_ && SearchValue->CanFocus()) SearchValue->SetFocus();
    enterCloses_ = false;
  };
  SetActiveControl(SearchValue);
  ApplyTexts();
}

void TwwLocateDlg::ApplyTexts() {
  const TwwLocateDialogIntl& t = *wwGlobalIntl()->LocateDialog();
  const auto set = [](TControl* c, const std::string& caption, const std::string& hint) {
    if (!caption.empty()) c->SetCaption(caption);
    c->SetHint(hint);
  };
  set(SearchTypeGroup, t.SearchTypeLabel, "");
  set(CaseSensitiveCheckBox, t.CaseSensitiveLabel, t.CaseSensitiveHint);
  set(ExactMatchBtn, t.MatchExactLabel, t.MatchExactHint);
  set(PartialMatchStartBtn, t.MatchStartLabel, t.MatchStartHint);
  set(PartialMatchAnyBtn, t.MatchAnyLabel, t.MatchAnyHint);
  set(FieldsGroup, t.FieldsLabel, "");
  set(FieldNameComboBox, "", t.FieldNameHint);
  set(FieldValueGroup, t.FieldValueLabel, "");
  set(SearchValue, "", t.FieldValueHint);
  set(FirstButton, t.BtnFirst, t.BtnFirstHint);
  set(NextButton, t.BtnNext, t.BtnNextHint);
  set(CancelButton, t.BtnCancel, "");
  Font()->SetStyle(wwGlobalIntl()->DialogFontStyle);
}

void TwwLocateDlg::DoShow() {
  ApplyTexts();
  TForm::DoShow();
  if (OnShowDialog) OnShowDialog(this);
}

TwwLocateMatchType TwwLocateDlg::MatchType() const {
  if (ExactMatchBtn->Checked()) return mtExactMatch;
  if (PartialMatchStartBtn->Checked()) return mtPartialMatchStart;
  return mtPartialMatchAny;
}

void TwwLocateDlg::SetMatchType(TwwLocateMatchType value) {
  ExactMatchBtn->SetChecked(value == mtExactMatch);
  PartialMatchStartBtn->SetChecked(value == mtPartialMatchStart);
  PartialMatchAnyBtn->SetChecked(value == mtPartialMatchAny);
}

std::string TwwLocateDlg::SelectedFieldName() const {
  const int index = FieldNameComboBox->ItemIndex();
  if (!DataSet || index < 0) return {};
  // Labels are read with "~" as a blank; data fields win over calculated
  // and lookup fields of the same label.
  const std::string label = FieldNameComboBox->Items()->Strings(index);
  for (const bool calcOrLookup : {false, true})
    for (int i = 0; i < DataSet->Fields().Count(); ++i) {
      TField* f = DataSet->Fields()[i];
      if (wwIsCalcOrLookup(f) == calcOrLookup && wwReplaceChar(f->DisplayLabel(), '~', ' ') == label)
        return f->FieldName();
    }
  return {};
}

void TwwLocateDlg::Find(bool fromFirst) {
  const std::string field = SelectedFieldName();
  if (field.empty() || !DataSet) return;
  if (wwLocateValue(fromFirst, DataSet, field, SearchValue->Text(), MatchType(),
                    CaseSensitiveCheckBox->Checked())) {
    SetModalResult(mrOk);
    return;
  }
  const TwwUserMessagesIntl& m = *wwGlobalIntl()->UserMessages();
  MessageDlg(fromFirst ? m.LocateNoMatches : m.LocateNoMoreMatches, mtInformation, {mbOK}, 0);
}

// ---- The component ---------------------------------------------------------------

TwwLocateDialog::TwwLocateDialog(TComponent* owner)
    : TComponent(owner), link_(std::make_unique<TDataLink>()) {}

TwwLocateDialog::~TwwLocateDialog() { link_->SetDataSource(nullptr); }

void TwwLocateDialog::InitDialog(TwwLocateDlg* dialog) {
  if (OnInitDialog) OnInitDialog(dialog);
}

void TwwLocateDialog::FillFields(TwwLocateDlg* dialog, TDataSet* dataSet) const {
  TStrings* items = dialog->FieldNameComboBox->Items();
  dialog->FieldNameComboBox->SetSorted(SortFields == fsSortByFieldName);
  for (int i = 0; i < dataSet->Fields().Count(); ++i) {
    TField* f = dataSet->Fields()[i];
    if (!wwIsSearchableType(f->DataType())) continue;
    if (FieldSelection == fsVisibleFields && !f->Visible()) continue;
    items->Add(wwReplaceChar(f->DisplayLabel(), '~', ' '));
  }
}

bool TwwLocateDialog::Execute() {
  auto dialog = std::make_unique<TwwLocateDlg>(nullptr);
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet || !dataSet->Active()) {
    MessageDlg("DataSource does not reference an active DataSet", mtError, {mbOK}, 0);
    return false;
  }
  dialog->DataSet = dataSet;
  FillFields(dialog.get(), dataSet);
  dialog->NextButton->SetDefault(DefaultButton == dbFindNext);
  dialog->FirstButton->SetDefault(DefaultButton == dbFindFirst);
  TField* preset = SearchField.empty() ? nullptr : dataSet->FindField(SearchField);
  if (preset) {
    dialog->FieldNameComboBox->SetItemIndex(dialog->FieldNameComboBox->Items()->IndexOf(
        wwReplaceChar(preset->DisplayLabel(), '~', ' ')));
    dialog->SearchValue->SetText(FieldValue);
  } else {
    dialog->SearchValue->SetText("");
  }
  dialog->CaseSensitiveCheckBox->SetChecked(CaseSensitive);
  dialog->SetMatchType(MatchType);
  dialog->SetCaption(Caption);
  dialog->OnShowDialog = [this](TwwLocateDlg* d) { InitDialog(d); };
  const TModalResult result = dialog->ShowModal();
  MatchType = dialog->MatchType();
  CaseSensitive = dialog->CaseSensitiveCheckBox->Checked();
  FieldValue = dialog->SearchValue->Text();
  SearchField = dialog->SelectedFieldName();
  return result == mrOk;
}
