#pragma once
// Combo boxes: an edit or a face showing the chosen item, with a list that
// drops down below it. The edit part is a native line edit; the button lies
// beside the client area; the list is a pop-up that never takes activation.
// A simple combo box shows its list always, below the edit.

#include <memory>
#include <string>

#include "platform/classlib/stdctrls/lists.h"

DECLARE_ENUM(TComboBoxStyle, csDropDown, csSimple, csDropDownList, csOwnerDrawFixed,
             csOwnerDrawVariable)

class TComboPopupList;

// The notification (in CN_COMMAND's high word) that the list has closed.
constexpr WORD CBN_CLOSEUP = 8;

class TCustomComboBox : public TCustomControl {
  DECLARE_CLASS(TCustomComboBox, TCustomControl)
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(const TStrings* value) { items_->Assign(value); }
  void Clear();
  // Setting the index from code shows the item and fires no OnChange.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int value);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool value) { items_->SetSorted(value); }
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value) { dropDownCount_ = value > 0 ? value : 8; }
  // Most characters the edit part takes (0: no limit).
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  int ItemHeight() const;
  void SetItemHeight(int value);
  bool DroppedDown() const;
  void SetDroppedDown(bool value);
  // The selection in the edit part (code points).
  int SelStart() const;
  int SelLength() const;
  void SelectAll();
  // The canvas items are drawn on: the list's while it draws its items.
  TCanvas* Canvas() const;

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void PaintContent() override;
  // Paints one item on Canvas (the face's or the list's).
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
  virtual void MeasureItem(int Index, int& Height);
  virtual void Change();
  virtual void DropDown();
  virtual void CloseUp();
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // With an edit part: below its caret, and the edit menu of text controls.
  TPoint KeyboardPopupPoint() const override;
  bool ShowOwnContextMenu(TPoint screenPos) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  bool HasEditPart() const { return style_ == csDropDown || style_ == csSimple; }
  bool HasButton() const { return style_ != csSimple; }

 private:
  friend class TComboPopupList;
  struct EditPart;
  void ItemsChanged(TListBoxStrings::Change change, int index);
  // The user chose an item (keys, the list): text, OnClick, OnChange.
  void SelectByUser(int index);
  // Closes the list; `accept` takes its selection.
  void CloseList(bool accept);
  void EditTextChanged(const std::string& text);
  void ShowText(const std::string& text);
  TRect ButtonRect() const;
  TRect SimpleListRect() const;
  bool NonClientMessage(TMessage& m);
  // The edit messages its edit menu sends (WM_UNDO, the clipboard's, EM_SETSEL).
  bool EditPartMessage(TMessage& m);
  void PaintSimpleList(TCanvas* dc);
  void RepaintSimpleList();

  std::unique_ptr<TListBoxStrings> items_;
  std::unique_ptr<EditPart> edit_;
  TComboPopupList* list_ = nullptr;
  TCanvas* drawCanvas_ = nullptr;
  TComboBoxStyle style_ = csDropDown;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
  int maxLength_ = 0;
  int itemHeight_ = 16;
  bool settingText_ = false;
  int simpleTop_ = 0;  // first item a simple combo box's list shows
};

class TComboBox : public TCustomComboBox {
  DECLARE_CLASS(TComboBox, TCustomComboBox)
 public:
  using TCustomComboBox::TCustomComboBox;
};
