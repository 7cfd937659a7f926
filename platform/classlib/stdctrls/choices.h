#pragma once
// Check boxes, radio buttons, group boxes and radio groups, drawn in the
// classic look: a 13-pixel mark and the caption beside it.

#include <memory>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"

DECLARE_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed)

// What check boxes and radio buttons share: the mark and caption, mouse and
// Space presses, the "&" mnemonic.
class TButtonControl : public TCustomControl {
  DECLARE_CLASS(TButtonControl, TCustomControl)
 public:
  explicit TButtonControl(TComponent* AOwner);
  // taRightJustify: the caption right of the mark; taLeftJustify: left of it.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);

  void Dispatch(TMessage& message) override;

 protected:
  // What a press by the user does (check, cycle the states).
  virtual void Toggle() = 0;
  // DrawFrameControl's DFCS_ flags for the mark.
  virtual uint32_t MarkState() const = 0;
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  void SetPressed(bool value);
  TAlignment alignment_ = taRightJustify;
  bool pressed_ = false;
};

class TCustomCheckBox : public TButtonControl {
  DECLARE_CLASS(TCustomCheckBox, TButtonControl)
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  // Changing the state (by the user or by code) runs OnClick.
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  // With it, a press goes unchecked -> grayed -> checked -> unchecked.
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool value) { allowGrayed_ = value; }

 protected:
  void Toggle() override;
  uint32_t MarkState() const override;

 private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
};

class TCheckBox : public TCustomCheckBox {
  DECLARE_CLASS(TCheckBox, TCustomCheckBox)
 public:
  explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

// Radio buttons under one parent are one group: checking one unchecks the
// others; the arrow keys move to the next one and check it.
class TRadioButton : public TButtonControl {
  DECLARE_CLASS(TRadioButton, TButtonControl)
 public:
  explicit TRadioButton(TComponent* AOwner);
  bool Checked() const { return checked_; }
  // Becoming checked runs OnClick.
  void SetChecked(bool value);

  void Dispatch(TMessage& message) override;

 protected:
  void Toggle() override;
  uint32_t MarkState() const override;
  void KeyDown(WORD& Key, TShiftState Shift) override;

 private:
  std::vector<TRadioButton*> Group() const;
  bool checked_ = false;
};

// A captioned frame around other controls.
class TCustomGroupBox : public TCustomControl {
  DECLARE_CLASS(TCustomGroupBox, TCustomControl)
 public:
  explicit TCustomGroupBox(TComponent* AOwner);
  void Dispatch(TMessage& message) override;

 protected:
  void AdjustClientRect(TRect& rect) override;
  void PaintContent() override;
  int CaptionHeight() const;
};

class TGroupBox : public TCustomGroupBox {
  DECLARE_CLASS(TGroupBox, TCustomGroupBox)
 public:
  explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
};

// A group box of radio buttons made from Items, in Columns; ItemIndex is the
// checked one (-1: none). The user's choice runs OnClick; setting ItemIndex
// does not.
class TCustomRadioGroup : public TCustomGroupBox {
  DECLARE_CLASS(TCustomRadioGroup, TCustomGroupBox)
 public:
  explicit TCustomRadioGroup(TComponent* AOwner);
  ~TCustomRadioGroup() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(const TStrings* value) { items_->Assign(value); }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int value);
  int Columns() const { return columns_; }
  void SetColumns(int value);
  // The radio button of an item, for tests and painting hooks.
  TRadioButton* Buttons(int index) const { return buttons_.at(size_t(index)); }
  int ButtonCount() const { return int(buttons_.size()); }

  void Loaded() override;

 protected:
  void Resize() override;
  void Dispatch(TMessage& message) override;

 private:
  void UpdateButtons();  // one button per item
  void ArrangeButtons();
  void ButtonClicked(TRadioButton* button);

  std::unique_ptr<TStringList> items_;
  std::vector<TRadioButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  bool updating_ = false;
};

class TRadioGroup : public TCustomRadioGroup {
  DECLARE_CLASS(TRadioGroup, TCustomRadioGroup)
 public:
  explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
};
