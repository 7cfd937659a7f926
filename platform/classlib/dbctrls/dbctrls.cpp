#include "platform/classlib/dbctrls/dbctrls.h"

#include "platform/classlib/db/fields.h"

IMPLEMENT_CLASS(TDBMemo, TCustomMemo)
IMPLEMENT_CLASS(TDBRichEdit, TCustomRichEdit)

// ---- The binding -------------------------------------------------------------------

TMemoFieldBinding::TMemoFieldBinding(TCustomMemo* memo, std::function<void(const std::string&)> load,
                                     std::function<std::string()> save)
    : memo_(memo), link_(std::make_unique<TFieldDataLink>()), load_(std::move(load)),
      save_(std::move(save)) {
  link_->SetControl(memo);
  link_->OnDataChange = [this](TFieldDataLink*) { DataChange(); };
  link_->OnEditingChange = [this](TFieldDataLink*) { UpdateReadOnly(); };
  link_->OnUpdateData = [this](TFieldDataLink*) { link_->Field()->SetAsString(save_()); };
  link_->OnActiveChange = [this](TFieldDataLink*) { UpdateReadOnly(); };
  UpdateReadOnly();
}

TMemoFieldBinding::~TMemoFieldBinding() {
  // The link must not call back into a control that is going.
  link_->OnDataChange = nullptr;
  link_->OnEditingChange = nullptr;
  link_->OnActiveChange = nullptr;
  link_->SetDataSource(nullptr);
}

void TMemoFieldBinding::DataChange() {
  std::string value = link_->Field() ? link_->Field()->AsString() : std::string();
  // The same value again (the record went into edit state) leaves the caret
  // and the look where they are.
  if (shown_ && value == *shown_ && !link_->IsModified() && !memo_->Modified()) return;
  loading_ = true;
  load_(value);
  loading_ = false;
  shown_ = std::move(value);
  memo_->SetModified(false);
}

void TMemoFieldBinding::UpdateReadOnly() { memo_->SetReadOnly(!link_->Editing()); }

void TMemoFieldBinding::Change() {
  if (!loading_) link_->Modified();
}

void TMemoFieldBinding::KeyDown(WORD& key, TShiftState shift) {
  const bool ctrl = shift == TShiftState{ssCtrl}, shiftOnly = shift == TShiftState{ssShift};
  // Keys that delete or paste change the text: the record goes into edit state first.
  if (key == VK_DELETE || key == VK_BACK || (shiftOnly && key == VK_INSERT) ||
      (ctrl && (key == 'V' || key == 'X')) || (key == VK_RETURN && shift.Empty()))
    link_->Edit();
  if (key == VK_ESCAPE && link_->IsModified()) {
    link_->Reset();
    memo_->SelectAll();
    key = 0;
  }
}

void TMemoFieldBinding::KeyPress(char32_t& key) {
  if (key == U'\x1b') {
    key = 0;  // done in KeyDown
    return;
  }
  // A character goes in only once the field is being edited.
  if ((key >= 32 || key == U'\t' || key == U'\r' || key == U'\b') && !link_->Edit()) key = 0;
}

void TMemoFieldBinding::Exit() {
  try {
    link_->UpdateRecord();
  } catch (...) {
    memo_->SelectAll();
    memo_->SetFocus();
    throw;
  }
}

void TMemoFieldBinding::BeforeEditMessage(UINT msg) {
  if (msg == WM_CUT || msg == WM_PASTE || msg == WM_CLEAR || msg == WM_UNDO || msg == EM_UNDO)
    link_->Edit();
}

// ---- The controls ------------------------------------------------------------------

template <class Base>
TMemoFieldControl<Base>::TMemoFieldControl(TComponent* AOwner)
    : Base(AOwner),
      binding_(this, [this](const std::string& value) { LoadField(value); },
               [this] { return FieldValue(); }) {}

template <class Base>
void TMemoFieldControl<Base>::SetDataSource(TDataSource* value) {
  binding_.Link()->SetDataSource(value);
  if (value) value->FreeNotification(this);
}

template <class Base>
void TMemoFieldControl<Base>::SetReadOnly(bool value) {
  binding_.Link()->SetReadOnly(value);
  binding_.UpdateReadOnly();
}

template <class Base>
void TMemoFieldControl<Base>::Dispatch(TMessage& m) {
  binding_.BeforeEditMessage(m.Msg);
  Base::Dispatch(m);
}

template <class Base>
void TMemoFieldControl<Base>::KeyDown(WORD& key, TShiftState shift) {
  binding_.KeyDown(key, shift);
  if (key) Base::KeyDown(key, shift);
}

template <class Base>
void TMemoFieldControl<Base>::KeyPress(char32_t& key) {
  binding_.KeyPress(key);
  if (key) Base::KeyPress(key);
}

template <class Base>
void TMemoFieldControl<Base>::Change() {
  binding_.Change();
  Base::Change();
}

template <class Base>
void TMemoFieldControl<Base>::DoExit() {
  binding_.Exit();
  Base::DoExit();
}

template <class Base>
void TMemoFieldControl<Base>::Notification(TComponent* component, TOperation operation) {
  Base::Notification(component, operation);
  if (operation == opRemove && component == DataSource()) SetDataSource(nullptr);
}

template class TMemoFieldControl<TCustomMemo>;
template class TMemoFieldControl<TCustomRichEdit>;

// ---- Published ---------------------------------------------------------------------

PUBLISHED(TDBMemo) { PROP_STR(DataField, DataField, SetDataField, ""); }

PUBLISHED(TDBRichEdit) { PROP_STR(DataField, DataField, SetDataField, ""); }
