#pragma once
// The class library's data-aware memos: a memo and a rich edit that show a
// memo field of the current record through a field data link and write it
// back. Typing puts the dataset into edit state when the source allows it
// (until then the text cannot change), Escape drops the changes, leaving the
// control and posting the record write them.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/classlib/db/datasource.h"
#include "platform/classlib/richedit/richedit.h"
#include "platform/classlib/stdctrls/edits.h"

// The link and key rules both memos share; each control hands over how its
// content is read from and written to the field.
class TMemoFieldBinding {
 public:
  TMemoFieldBinding(TCustomMemo* memo, std::function<void(const std::string&)> load,
                    std::function<std::string()> save);
  ~TMemoFieldBinding();

  TFieldDataLink* Link() const { return link_.get(); }
  TField* Field() const { return link_->Field(); }

  // The control's hooks, called before its own handling.
  void KeyDown(WORD& key, TShiftState shift);
  void KeyPress(char32_t& key);
  void Change();
  // Writes a change back; the focus stays when the field refuses it.
  void Exit();
  // Cut, paste, clear and undo change the text: editing starts first.
  void BeforeEditMessage(UINT msg);
  // The control takes text only while its field is being edited.
  void UpdateReadOnly();

 private:
  void DataChange();

  TCustomMemo* memo_;
  std::unique_ptr<TFieldDataLink> link_;
  std::function<void(const std::string&)> load_;
  std::function<std::string()> save_;
  bool loading_ = false;
  std::optional<std::string> shown_;  // the field's value the control shows
};

// A memo (Base: the memo or the rich edit) on a memo field.
template <class Base>
class TMemoFieldControl : public Base {
 public:
  explicit TMemoFieldControl(TComponent* AOwner);

  TDataSource* DataSource() const { return binding_.Link()->DataSource(); }
  void SetDataSource(TDataSource* value);
  const std::string& DataField() const { return binding_.Link()->FieldName(); }
  void SetDataField(const std::string& value) { binding_.Link()->SetFieldName(value); }
  TField* Field() const { return binding_.Field(); }
  // Read-only through the link: the field is never changed from here.
  bool ReadOnly() const { return binding_.Link()->ReadOnly(); }
  void SetReadOnly(bool value);

  void Dispatch(TMessage& message) override;

 protected:
  // Shows the field's value, and the value to write back.
  virtual void LoadField(const std::string& value) = 0;
  virtual std::string FieldValue() const = 0;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void Change() override;
  void DoExit() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TMemoFieldBinding binding_;
};

// The memo of a memo field: its text is the field's text.
class TDBMemo : public TMemoFieldControl<TCustomMemo> {
  DECLARE_CLASS(TDBMemo, TCustomMemo)
 public:
  explicit TDBMemo(TComponent* AOwner) : TMemoFieldControl(AOwner) {}

 protected:
  void LoadField(const std::string& value) override { SetText(value); }
  std::string FieldValue() const override { return Text(); }
};

// The rich edit of a memo field: RTF loads formatted, any other text as
// text; a change is written back as RTF (as text in plain-text mode). An
// unchanged field is never written, so its bytes stay as they were.
class TDBRichEdit : public TMemoFieldControl<TCustomRichEdit> {
  DECLARE_CLASS(TDBRichEdit, TCustomRichEdit)
 public:
  explicit TDBRichEdit(TComponent* AOwner) : TMemoFieldControl(AOwner) {}

 protected:
  void LoadField(const std::string& value) override { LoadContent(value); }
  std::string FieldValue() const override { return SaveContent(); }
};
