#include "report/model/ppdesigndlg.h"

#include <functional>
#include <vector>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "report/components/ppdbtext.h"
#include "report/components/ppgraph.h"
#include "report/components/ppmemo.h"
#include "report/components/pprichtx.h"
#include "report/components/ppstrtch.h"
#include "report/model/ppbands.h"
#include "report/model/ppdesign.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"

IMPLEMENT_CLASS(TppCustomPositionDialog, TppForm)
IMPLEMENT_CLASS(TppCustomFormatDialog, TppForm)
IMPLEMENT_CLASS(TppCustomDBCalcDialog, TppForm)
IMPLEMENT_CLASS(TppCustomPictureDialog, TppForm)
IMPLEMENT_CLASS(TppCustomShiftDialog, TppForm)
IMPLEMENT_CLASS(TppCustomBandPositionDialog, TppForm)
IMPLEMENT_CLASS(TppCustomMemoDialog, TppForm)
IMPLEMENT_CLASS(TppCustomRTFEditor, TppForm)

TppCustomPictureDialog::TppCustomPictureDialog(TComponent* owner)
    : TppForm(owner), picture_(std::make_unique<TPicture>()) {}
TppCustomPictureDialog::~TppCustomPictureDialog() = default;

namespace {

// ---- The forms: a column of labelled fields over OK and Cancel ----------------------------

constexpr int kRowHeight = 28, kLabelWidth = 110, kFieldWidth = 160, kMargin = 8;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
// String-table offsets of the buttons.
constexpr int kOkOffset = 17, kCancelOffset = 5;

// The fields of one form: each row loads its control from the dialog's
// values when the form shows and stores it back when OK is pressed.
class TDialogRows {
 public:
  explicit TDialogRows(TppForm* form) : form_(form) {}

  TEdit* Edit(const std::string& caption, std::function<std::string()> get,
              std::function<void(const std::string&)> set) {
    auto* edit = new TEdit(form_);
    Place(caption, edit, kFieldWidth, 21);
    rows_.push_back({[edit, get] { edit->SetText(get()); },
                     [edit, set] { set(edit->Text()); }});
    return edit;
  }
  // Seven significant digits: what a single-precision value holds.
  TEdit* Number(const std::string& caption, float& value) {
    return Edit(caption, [&value] { return FloatToStrF(value, ffGeneral, 7, 0); },
                [&value](const std::string& text) { value = float(StrToFloatDef(text, value)); });
  }
  void Check(const std::string& caption, bool& value) {
    auto* box = new TCheckBox(form_);
    box->SetCaption(caption);
    Place("", box, kFieldWidth, 17);
    rows_.push_back({[box, &value] { box->SetChecked(value); },
                     [box, &value] { value = box->Checked(); }});
  }
  // A list of `items`; `index` the chosen one.
  void Choice(const std::string& caption, const TStrings& items, int& index) {
    auto* combo = new TComboBox(form_);
    combo->SetStyle(csDropDownList);
    Place(caption, combo, kFieldWidth, 21);
    rows_.push_back({[combo, &items, &index] {
                       combo->Items()->Assign(&items);
                       combo->SetItemIndex(index);
                     },
                     [combo, &index] { index = combo->ItemIndex(); }});
  }
  void Text(TStrings& lines) {
    auto* memo = new TMemo(form_);
    Place("", memo, kLabelWidth + kFieldWidth + kMargin, kRowHeight * 6);
    rows_.push_back({[memo, &lines] { memo->Lines()->Assign(&lines); },
                     [memo, &lines] { lines.Assign(memo->Lines()); }});
  }
  void Buttons() {
    auto* ok = AddButton(form_->Text(kOkOffset), mrNone);
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) {
      for (auto& row : rows_) row.Store();
      if (AfterStore) AfterStore();
      form_->SetModalResult(mrOk);
    };
    auto* cancel = AddButton(form_->Text(kCancelOffset), mrCancel);
    cancel->SetCancel(true);
    form_->SetClientWidth(kMargin * 3 + kLabelWidth + kFieldWidth);
    form_->SetClientHeight(top_ + kButtonHeight + kMargin);
    form_->OnShow = [this](TObject*) {
      if (BeforeLoad) BeforeLoad();
      for (auto& row : rows_) row.Load();
    };
  }
  // Between the dialog's values and what its controls show.
  std::function<void()> BeforeLoad, AfterStore;

 private:
  struct TRow {
    std::function<void()> Load, Store;
  };
  void Place(const std::string& caption, TControl* control, int width, int height) {
    if (!caption.empty()) {
      auto* label = new TLabel(form_);
      label->SetParent(form_);
      label->SetCaption(caption);
      label->SetBounds(kMargin, top_ + 3, kLabelWidth, 17);
    }
    control->SetParent(form_);
    // A field sits right of the labels; a wider one (a text) spans both.
    const int left = width > kFieldWidth ? kMargin : kMargin * 2 + kLabelWidth;
    control->SetBounds(left, top_, width, height);
    top_ += std::max(kRowHeight, height + kMargin);
  }
  TButton* AddButton(const std::string& caption, TModalResult result) {
    auto* button = new TButton(form_);
    button->SetParent(form_);
    button->SetCaption(caption);
    button->SetModalResult(result);
    // OK left of Cancel, both at the right edge.
    const int slot = buttons_ == 0 ? 2 : 1;
    const int left = kMargin * 3 + kLabelWidth + kFieldWidth - slot * (kButtonWidth + kMargin);
    button->SetBounds(left, top_, kButtonWidth, kButtonHeight);
    ++buttons_;
    return button;
  }

  TppForm* form_;
  std::vector<TRow> rows_;
  int top_ = kMargin;
  int buttons_ = 0;
};

// Each registered form lays out its base's values.
template <class Base>
class TRowsForm : public Base {
 public:
  explicit TRowsForm(TComponent* owner) : Base(owner), rows_(this) {
    this->SetBorderStyle(bsDialog);
    this->SetPosition(poScreenCenter);
  }

 protected:
  TDialogRows rows_;
};

}  // namespace

// The concrete forms, registered for their bases.
class TppPositionDialog : public TRowsForm<TppCustomPositionDialog> {
  DECLARE_CLASS(TppPositionDialog, TppCustomPositionDialog)
 public:
  explicit TppPositionDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(386));
    rows_.Number("Left", Left);
    rows_.Number("Top", Top);
    rows_.Number("Width", Width);
    rows_.Number("Height", Height);
    rows_.Check(Text(371), ParentWidth);
    rows_.Check(Text(370), ParentHeight);
    TEdit* bottom = rows_.Number("BottomOffset", BottomOffset);
    TEdit* overflow = rows_.Number("OverFlowOffset", OverFlowOffset);
    rows_.Buttons();
    // Only stretchables have the offsets.
    rows_.BeforeLoad = [this, bottom, overflow] {
      bottom->SetEnabled(HasOffsets);
      overflow->SetEnabled(HasOffsets);
    };
  }
};

class TppFormatDialog : public TRowsForm<TppCustomFormatDialog> {
  DECLARE_CLASS(TppFormatDialog, TppCustomFormatDialog)
 public:
  explicit TppFormatDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(230));
    rows_.Edit("DisplayFormat", [this] { return DisplayFormat; },
               [this](const std::string& text) { DisplayFormat = text; });
    rows_.Buttons();
  }
};

class TppDBCalcDialog : public TRowsForm<TppCustomDBCalcDialog> {
  DECLARE_CLASS(TppDBCalcDialog, TppCustomDBCalcDialog)
 public:
  explicit TppDBCalcDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(228));
    for (int type = dcCount; type <= dcAverage; ++type) calcTypes_.Add(Text(313 + type));
    rows_.Choice("DBCalcType", calcTypes_, DBCalcType);
    rows_.Edit("DataField", [this] { return DataField; },
               [this](const std::string& text) { DataField = text; });
    rows_.Choice("ResetGroup", groupsWithNone_, groupIndex_);
    rows_.Buttons();
    rows_.BeforeLoad = [this] {
      groupsWithNone_.Clear();
      groupsWithNone_.Add(Text(343));
      groupsWithNone_.AddStrings(&Groups);
      groupIndex_ = ResetGroup + 1;
    };
    rows_.AfterStore = [this] { ResetGroup = groupIndex_ - 1; };
  }

 private:
  TStringList calcTypes_, groupsWithNone_;
  int groupIndex_ = 0;
};

class TppPictureDialog : public TRowsForm<TppCustomPictureDialog> {
  DECLARE_CLASS(TppPictureDialog, TppCustomPictureDialog)
 public:
  explicit TppPictureDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(235));
    rows_.Edit("File", [] { return std::string(); },
               [this](const std::string& file) {
                 if (!file.empty()) Picture()->LoadFromFile(file);
               });
    rows_.Buttons();
  }
};

class TppShiftDialog : public TRowsForm<TppCustomShiftDialog> {
  DECLARE_CLASS(TppShiftDialog, TppCustomShiftDialog)
 public:
  explicit TppShiftDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(336));
    rows_.Choice("ShiftRelativeTo", Components, ItemIndex);
    rows_.Buttons();
  }
};

class TppBandPositionDialog : public TRowsForm<TppCustomBandPositionDialog> {
  DECLARE_CLASS(TppBandPositionDialog, TppCustomBandPositionDialog)
 public:
  explicit TppBandPositionDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(386));
    rows_.Number("Height", Height);
    rows_.Number("BottomOffset", BottomOffset);
    rows_.Number("PrintPosition", PrintPosition);
    rows_.Buttons();
  }
};

class TppMemoDialog : public TRowsForm<TppCustomMemoDialog> {
  DECLARE_CLASS(TppMemoDialog, TppCustomMemoDialog)
 public:
  explicit TppMemoDialog(TComponent* owner) : TRowsForm(owner) {
    SetCaption(Text(233));
    rows_.Text(Lines);
    rows_.Buttons();
  }
};

class TppRTFEditor : public TRowsForm<TppCustomRTFEditor> {
  DECLARE_CLASS(TppRTFEditor, TppCustomRTFEditor)
 public:
  explicit TppRTFEditor(TComponent* owner) : TRowsForm(owner) {
    SetCaption("...");
    rows_.Text(text_);
    rows_.Buttons();
    rows_.BeforeLoad = [this] { text_.SetText(RichText); };
    rows_.AfterStore = [this] { RichText = text_.Text(); };
  }

 private:
  TStringList text_;
};

IMPLEMENT_CLASS(TppPositionDialog, TppCustomPositionDialog)
IMPLEMENT_CLASS(TppFormatDialog, TppCustomFormatDialog)
IMPLEMENT_CLASS(TppDBCalcDialog, TppCustomDBCalcDialog)
IMPLEMENT_CLASS(TppPictureDialog, TppCustomPictureDialog)
IMPLEMENT_CLASS(TppShiftDialog, TppCustomShiftDialog)
IMPLEMENT_CLASS(TppBandPositionDialog, TppCustomBandPositionDialog)
IMPLEMENT_CLASS(TppMemoDialog, TppCustomMemoDialog)
IMPLEMENT_CLASS(TppRTFEditor, TppCustomRTFEditor)

namespace {

// The report's own design dialogs serve their bases from the start.
const bool kDesignFormsRegistered = [] {
  ppRegisterForm(TppPositionDialog::StaticClass(), TppCustomPositionDialog::StaticClass());
  ppRegisterForm(TppFormatDialog::StaticClass(), TppCustomFormatDialog::StaticClass());
  ppRegisterForm(TppDBCalcDialog::StaticClass(), TppCustomDBCalcDialog::StaticClass());
  ppRegisterForm(TppPictureDialog::StaticClass(), TppCustomPictureDialog::StaticClass());
  ppRegisterForm(TppShiftDialog::StaticClass(), TppCustomShiftDialog::StaticClass());
  ppRegisterForm(TppBandPositionDialog::StaticClass(),
                 TppCustomBandPositionDialog::StaticClass());
  ppRegisterForm(TppMemoDialog::StaticClass(), TppCustomMemoDialog::StaticClass());
  ppRegisterForm(TppRTFEditor::StaticClass(), TppCustomRTFEditor::StaticClass());
  return true;
}();

// The form registered for Base, in the language of `languageBase`.
template <class Base>
std::unique_ptr<Base> CreateDialog(int languageBase) {
  (void)kDesignFormsRegistered;
  TClass cls = ppGetFormClass(Base::StaticClass());
  if (!cls) return nullptr;
  std::unique_ptr<Base> form(dynamic_cast<Base*>(cls->Create(nullptr)));
  if (form) form->SetLanguageIndex(languageBase);
  return form;
}

}  // namespace

bool ppEditPosition(TppComponent* c) {
  auto dialog = CreateDialog<TppCustomPositionDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->Units = c->Units();
  dialog->Left = c->Left();
  dialog->Top = c->Top();
  dialog->Width = c->Width();
  dialog->Height = c->Height();
  dialog->ParentWidth = c->ParentWidth();
  dialog->ParentHeight = c->ParentHeight();
  auto* stretchable = dynamic_cast<TppStretchable*>(c);
  dialog->HasOffsets = stretchable != nullptr;
  if (stretchable) {
    dialog->BottomOffset = stretchable->BottomOffset();
    dialog->OverFlowOffset = stretchable->OverFlowOffset();
  }
  if (dialog->ShowModal() != mrOk) return false;
  // The switches first: a parent-sized side ignores its bounds.
  c->SetParentWidth(dialog->ParentWidth);
  c->SetParentHeight(dialog->ParentHeight);
  c->SetLeft(dialog->Left);
  c->SetTop(dialog->Top);
  c->SetWidth(dialog->Width);
  c->SetHeight(dialog->Height);
  if (stretchable) {
    stretchable->SetBottomOffset(dialog->BottomOffset);
    stretchable->SetOverFlowOffset(dialog->OverFlowOffset);
  }
  return true;
}

bool ppEditDisplayFormat(TppComponent* c) {
  auto* text = dynamic_cast<TppCustomText*>(c);
  if (!text) return false;
  auto dialog = CreateDialog<TppCustomFormatDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->DisplayFormat = text->DisplayFormat();
  if (c->DataPipeline() && !c->DataField().empty())
    dialog->DataType = c->DataPipeline()->GetFieldDataType(c->DataField());
  ppSendDesignerMessage(c->GetDesigner(), ppmsgFormatDialog, c);
  if (dialog->ShowModal() != mrOk) return false;
  text->SetDisplayFormat(dialog->DisplayFormat);
  return true;
}

bool ppEditCalculations(TppComponent* c) {
  auto* calc = dynamic_cast<TppDBCalc*>(c);
  if (!calc) return false;
  auto dialog = CreateDialog<TppCustomDBCalcDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->DBCalcType = calc->DBCalcType();
  dialog->DataField = calc->DataField();
  if (calc->DataPipeline()) calc->DataPipeline()->GetFieldNames(&dialog->Fields);
  TppCustomReport* report = c->Report();
  const int groups = report ? report->GroupCount() : 0;
  for (int i = 0; i < groups; ++i) dialog->Groups.Add(report->Groups(i)->Name());
  dialog->ResetGroup = report ? report->GroupIndex(calc->ResetGroup()) : -1;
  if (dialog->ShowModal() != mrOk) return false;
  calc->SetDBCalcType(TppDBCalcType(std::clamp(dialog->DBCalcType, int(dcCount), int(dcAverage))));
  calc->SetDataField(dialog->DataField);
  const int group = dialog->ResetGroup;
  calc->SetResetGroup(group >= 0 && group < groups ? report->Groups(group) : nullptr);
  return true;
}

bool ppEditPicture(TppComponent* c) {
  auto* image = dynamic_cast<TppCustomImage*>(c);
  if (!image) return false;
  auto dialog = CreateDialog<TppCustomPictureDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->Picture()->Assign(image->Picture());
  if (dialog->ShowModal() != mrOk) return false;
  image->SetPicture(dialog->Picture());
  return true;
}

bool ppEditShiftRelativeTo(TppComponent* c) {
  auto* stretchable = dynamic_cast<TppStretchable*>(c);
  if (!stretchable || !c->Band()) return false;
  auto dialog = CreateDialog<TppCustomShiftDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->Components.AddObject(ppLoadStr(c->GetLanguageIndex() + 343), nullptr);
  TppBand* band = c->Band();
  for (int i = 0; i < band->ComponentCount(); ++i) {
    auto* other = dynamic_cast<TppStretchable*>(band->Components(i));
    if (!other || other == stretchable) continue;
    dialog->Components.AddObject(other->Name(), other);
    if (other == stretchable->ShiftRelativeTo()) dialog->ItemIndex = dialog->Components.Count() - 1;
  }
  if (dialog->ShowModal() != mrOk) return false;
  const int index = dialog->ItemIndex;
  TObject* chosen = index > 0 && index < dialog->Components.Count()
                        ? dialog->Components.Objects(index) : nullptr;
  stretchable->SetShiftRelativeTo(dynamic_cast<TppStretchable*>(chosen));
  return true;
}

bool ppEditLines(TppComponent* c) {
  auto* memo = dynamic_cast<TppCustomMemo*>(c);
  if (!memo) return false;
  auto dialog = CreateDialog<TppCustomMemoDialog>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->Lines.Assign(memo->Lines());
  if (dialog->ShowModal() != mrOk) return false;
  memo->SetLines(&dialog->Lines);
  c->NotifyDesigner();
  return true;
}

bool ppEditRichText(TppComponent* c) {
  auto* rich = dynamic_cast<TppCustomRichText*>(c);
  if (!rich) return false;
  auto dialog = CreateDialog<TppCustomRTFEditor>(c->GetLanguageIndex());
  if (!dialog) return false;
  dialog->RichText = rich->GetRichText();
  if (dialog->ShowModal() != mrOk) return false;
  rich->SetRichText(dialog->RichText);
  c->NotifyDesigner();
  return true;
}

bool ppEditBandPosition(TppBand* band) {
  TppCustomReport* report = band->Report();
  const int base = report ? report->GetLanguageIndex() : ppLanguageBase(lgEnglish);
  auto dialog = CreateDialog<TppCustomBandPositionDialog>(base);
  if (!dialog) return false;
  dialog->Units = band->Units();
  dialog->Height = band->Height();
  dialog->BottomOffset = band->BottomOffset();
  dialog->PrintPosition = band->PrintPosition();
  if (dialog->ShowModal() != mrOk) return false;
  band->SetHeight(dialog->Height);
  band->SetBottomOffset(dialog->BottomOffset);
  band->SetPrintPosition(dialog->PrintPosition);
  return true;
}
