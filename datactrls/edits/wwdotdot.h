#pragma once
// The masked data-aware edit with a button at its right edge and the
// open/close protocol of a drop-down. TwwDBComboDlg's ellipsis button runs
// OnCustomDlg, so that the owner can show any dialog and write its result.

#include "datactrls/edits/wwdbedit.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/speedbutton.h"

class TBitmap;
class TwwDBCustomCombo;
class TwwDBGrid;

// csDropDown and csDropDownList: the combo box's own names, so the map-list
// combo's wider style (TComboBoxStyle) holds the same values.
using TwwDBLookupComboStyle = TComboBoxStyle;
DECLARE_ENUM(TwwComboButtonStyle, cbsEllipsis, cbsDownArrow)

// The combo's button: the combo draws its face.
class TwwComboDlgButton : public TSpeedButton {
  DECLARE_CLASS(TwwComboDlgButton, TSpeedButton)
 public:
  TwwComboDlgButton(TComponent* owner, TwwDBCustomCombo* combo);

 protected:
  void PaintFace(TCanvas* canvas, const TRect& r, TButtonState state) override;

 private:
  TwwDBCustomCombo* combo_;
};

class TwwDBCustomCombo : public TwwDBCustomEdit {
  DECLARE_CLASS(TwwDBCustomCombo, TwwDBCustomEdit)
 public:
  explicit TwwDBCustomCombo(TComponent* owner);
  // With a button of a kind of the descendant's own (made once, owned).
  TwwDBCustomCombo(TComponent* owner, TwwComboDlgButton* (*makeButton)(TwwDBCustomCombo* combo));

  bool ShowButton() const { return GetShowButton(); }
  void SetShowButton(bool value) override;
  bool GetShowButton() const override;
  TwwDBLookupComboStyle Style() const { return style_; }
  void SetStyle(TwwDBLookupComboStyle value) { style_ = value; }
  TwwComboButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TwwComboButtonStyle value);
  TwwComboDlgButton* Button() const { return button_; }
  TWinControl* ButtonContainer() const { return container_; }

  TNotifyEvent OnCustomDlg;

  virtual TBitmap* GetButtonGlyph() { return nullptr; }
  // Draws the button's face; clearing defaultDraw skips the button's own.
  virtual void DrawButtonFace(TCanvas* canvas, TRect rect, bool& defaultDraw, TButtonState state);
  virtual bool IsEditStyle() const { return style_ != csDropDownList; }
  virtual bool IsDroppedDown() const { return droppedDown_; }
  virtual void CloseUp(bool accept);
  virtual void DropDown();

  void Dispatch(TMessage& message) override;

 protected:
  bool CanEditText() override;
  TRect GetTextRect() override;
  void SetEditRect() override;
  void FillCreateParams(TCreateParams& params) override;
  void Resize() override;
  void Loaded() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void TypeKey(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;
  void ButtonClick();
  TwwDBGrid* GridTakingKey(WORD key, TShiftState shift, bool escape) const;
  static void PassToGrid(TwwDBGrid* grid, WORD key, TShiftState shift);
  // GridTakingKey and PassToGrid in one: true when the key is the grid's,
  // also when it is held back because the field refused the text.
  bool HandToGrid(WORD key, TShiftState shift, bool escape);
  // False when the field refused the text (the user has been told).
  bool TextFitsField();
  bool droppedDown_ = false;

 private:
  void LayoutButton();
  void ToggleFromMouse();

  TWinControl* container_;
  TwwComboDlgButton* button_;
  TwwDBLookupComboStyle style_ = csDropDown;
  TwwComboButtonStyle buttonStyle_ = cbsEllipsis;
};

class TwwDBComboDlg : public TwwDBCustomCombo {
  DECLARE_CLASS(TwwDBComboDlg, TwwDBCustomCombo)
 public:
  explicit TwwDBComboDlg(TComponent* owner) : TwwDBCustomCombo(owner) {}
};
