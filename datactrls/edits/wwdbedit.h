#pragma once
// The library's single-field edit: shows and edits one field of a data
// source, checks typed text against a picture mask (its own or the field's
// PictureMasks entry), completes dates and times from the clock on the space
// bar, and works unbound too. The combo edits build on TwwDBCustomEdit.

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/stdctrls/maskedit.h"

class TwwCustomMaskEdit;
class TwwDBCustomEdit;

// Sender, whether the text passes the picture mask.
using TwwValidateEvent = std::function<void(TObject* sender, bool passesPictureTest)>;

DECLARE_ENUM(TwwEditDataType, wwDefault, wwEdtDate, wwEdtTime, wwEdtDateTime)

// The edit's picture settings. A bound edit keeps them in the dataset's
// PictureMasks entry of its field, so every control on that field agrees.
class TwwDBPicture : public TPersistent {
  DECLARE_CLASS(TwwDBPicture, TPersistent)
 public:
  explicit TwwDBPicture(TwwCustomMaskEdit* owner) : owner_(owner) {}
  std::string PictureMask() const;
  // On a bound edit whose table defines its own picture for the field: a
  // warning box and nothing changes.
  void SetPictureMask(const std::string& value);
  bool AutoFill() const;
  void SetAutoFill(bool value);
  // Bound edits never leave with invalid text.
  bool AllowInvalidExit() const;
  void SetAllowInvalidExit(bool value);
  void Assign(const TPersistent* source) override;

 private:
  TDataSet* BoundDataSet(std::string& fieldName) const;
  TwwCustomMaskEdit* owner_;
  std::string mask_;
  bool autoFill_ = true;
  bool allowInvalidExit_ = false;
};

// The mask-edit level: the picture object, word wrap and OnCheckValue.
class TwwCustomMaskEdit : public TCustomMaskEdit {
  DECLARE_CLASS(TwwCustomMaskEdit, TCustomMaskEdit)
 public:
  explicit TwwCustomMaskEdit(TComponent* owner);
  ~TwwCustomMaskEdit() override;

  TwwDBPicture* Picture() const { return picture_.get(); }
  void SetPicture(TwwDBPicture* value) { picture_->Assign(value); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  TwwValidateEvent OnCheckValue;

  // The field the picture belongs to (none on this level).
  virtual TField* PictureField() const { return nullptr; }

 protected:
  // The formatting rectangle: the client area less one pixel on the right,
  // plus one at the bottom, with a margin of 2 without a border.
  virtual void SetEditRect();
  virtual void CheckValue(bool passesPictureTest);
  void Resize() override;
  void CreateWnd() override;

 private:
  std::unique_ptr<TwwDBPicture> picture_;
  bool wordWrap_ = false;
};

class TwwDBCustomEdit : public TwwCustomMaskEdit {
  DECLARE_CLASS(TwwDBCustomEdit, TwwCustomMaskEdit)
 public:
  explicit TwwDBCustomEdit(TComponent* owner);
  ~TwwDBCustomEdit() override;

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* value);
  std::string DataField() const { return link_->FieldName(); }
  void SetDataField(const std::string& value);
  TField* Field() const { return link_->Field(); }
  TField* PictureField() const override { return Field(); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool UsePictureMask() const { return usePictureMask_; }
  void SetUsePictureMask(bool value) { usePictureMask_ = value; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value);
  bool ShowVertScrollBar() const { return showVertScrollBar_; }
  void SetShowVertScrollBar(bool value);
  bool AutoFillDate() const { return autoFillDate_; }
  void SetAutoFillDate(bool value) { autoFillDate_ = value; }
  TwwEditDataType UnboundDataType() const { return unboundDataType_; }
  void SetUnboundDataType(TwwEditDataType value) { unboundDataType_ = value; }

  // Writes the text into the field now; on failure the text is selected, the
  // edit takes the focus, its modified flag comes back, and the error goes on
  // (EAbort for text the field cannot take: the edit tells of it itself).
  void UpdateRecordNow();
  bool HasPictureMask() const;
  // True for an empty text or without a mask; passed to CheckValue each time.
  bool IsValidPictureText(const std::string& text);
  // The invalid-on-exit flag of the last exit.
  bool InvalidOnExit() const { return invalidOnExit_; }
  // True while the edit shows the field's value (or its own stored text)
  // again: a change of the text then is none of the user's.
  bool ShowingField() const { return showing_; }
  // Form definitions keep the picture of unbound edits that have a mask.
  bool IsPictureStored() const { return !Bound() && !Picture()->PictureMask().empty(); }

  void Dispatch(TMessage& message) override;

 protected:
  virtual bool CanEditText() { return true; }
  virtual TRect GetTextRect() { return ClientRect(); }
  virtual std::string GetStoredText() { return EditText(); }
  virtual void PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text);
  virtual bool GetShowButton() const { return false; }
  virtual void SetShowButton(bool value) { (void)value; }
  // A stored value shown as other text (the map-list combo); false: as is.
  virtual bool MapToDisplayText(const std::string& stored, std::string& display) {
    (void)stored;
    (void)display;
    return false;
  }

  void KeyDown(WORD& Key, TShiftState Shift) override;
  void TypeKey(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void Change() override;
  void FillCreateParams(TCreateParams& params) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  bool PaintSelf(TCanvas* canvas) override;

  TFieldDataLink* DataLink() const { return link_.get(); }
  bool Bound() const { return link_->DataSource() != nullptr; }
  // Puts the bound dataset into edit when the field can be modified; true
  // when the text may change (unbound edits always may).
  bool EditCanModify();
  // Runs `startEdit`, which puts the dataset into edit, keeping the caret
  // and selection where they were while the text stays the same; its result.
  bool KeepingSelection(const std::function<bool()>& startEdit);
  // Marks the text modified for the data link (typing, pasting, a choice).
  void MarkModified();
  // Shows the field's value again (or the stored unbound text).
  void ResetToField();
  // Sets the text without it counting as the user's change.
  void ShowText(const std::string& text);
  // The date and time completion of the space bar; true when it acted.
  bool CompleteDateTime();
  bool HasAutoFillMask() const;
  // Shows the field (the link's data change).
  virtual void DataChange();

 private:
  void EditingChange();
  // The field's text as the edit shows it (see DataChange).
  std::string FieldText(TField* field);
  void UpdateData();
  void WriteFieldText(TField* field);
  TFieldType CompletionType() const;
  void PictureTyped(char32_t key);
  // Whether the text has more characters than the edit's length allows.
  bool PastMaxLength(const std::string& text) const;
  void RecheckPicture();
  void ExitCheck();

  std::unique_ptr<TFieldDataLink> link_;
  bool readOnly_ = false;
  bool usePictureMask_ = true;
  bool wantReturns_ = false;
  bool showVertScrollBar_ = false;
  bool invalidOnExit_ = false;
  bool focused_ = false;
  bool exiting_ = false;  // the record is written as the focus leaves
  bool showing_ = false;  // ShowText is setting the text
  int alignmentShown_ = 0;
  std::string unboundText_;
  std::string refusal_;  // what the field said of refused text, until told
  bool autoFillDate_ = true;
  TwwEditDataType unboundDataType_ = wwDefault;
};

class TwwDBEdit : public TwwDBCustomEdit {
  DECLARE_CLASS(TwwDBEdit, TwwDBCustomEdit)
 public:
  explicit TwwDBEdit(TComponent* owner) : TwwDBCustomEdit(owner) {}
};

// One press of the space bar on a date, time or date-time text: what the
// text becomes (unchanged when a separator was the step). `now` is the clock's
// reading; `type` ftDate, ftTime or ftDateTime.
std::string wwCompleteDateTimeText(const std::string& text, TFieldType type, TDateTime now,
                                   const TFormatSettings& fs = FormatSettings);
