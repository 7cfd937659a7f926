#pragma once
// The data-aware combo box on the button edit: its drop-down is a pop-up list
// filled from Items; with MapList each item is display text TAB stored value,
// so the field stores the value and the user sees the words.

#include <memory>
#include <string>

#include "datactrls/edits/wwdotdot.h"
#include "platform/classlib/stdctrls/lists.h"

class TwwDBComboBox;

// Sender, whether the choice was accepted.
using TwwComboCloseUpEvent = std::function<void(TObject* sender, bool select)>;

// The dropped-down list: a bordered top-level tool window that never takes
// the focus from the combo; keys reach it through the combo.
class TwwPopupListbox : public TCustomListBox {
  DECLARE_CLASS(TwwPopupListbox, TCustomListBox)
 public:
  explicit TwwPopupListbox(TwwDBComboBox* combo);
  // A key the combo hands on while the list is down.
  void HandleKey(WORD key) { KeyDown(key, {}); }
  // Searches the list for the typed text (see the combo).
  void SearchKey(char32_t key);
  // The keyboard stays in the combo: a click on the list must not move it.
  bool CanFocus() const override { return false; }

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void SelectionChangedByUser() override {}
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;

 private:
  TwwDBComboBox* combo_;
  std::string search_;          // owner-drawn lists: the keys typed so far
  std::uint64_t lastKeyTicks_ = 0;
};

class TwwDBComboBox : public TwwDBCustomCombo {
  DECLARE_CLASS(TwwDBComboBox, TwwDBCustomCombo)
 public:
  explicit TwwDBComboBox(TComponent* owner);
  ~TwwDBComboBox() override;

  bool MapList() const { return mapList_; }
  void SetMapList(bool value) { mapList_ = value; }
  TStringList* Items() const { return items_.get(); }
  void SetItems(TStringList* value) { items_->Assign(value); }
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool value) { items_->SetSorted(value); }
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value) { dropDownCount_ = value; }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value) { itemHeight_ = value; }
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int value) { dropDownWidth_ = value; }
  bool AllowClearKey() const { return allowClearKey_; }
  void SetAllowClearKey(bool value) { allowClearKey_ = value; }
  bool AutoDropDown() const { return autoDropDown_; }
  void SetAutoDropDown(bool value) { autoDropDown_ = value; }
  bool ShowMatchText() const { return showMatchText_; }
  void SetShowMatchText(bool value) { showMatchText_ = value; }
  // csSimple hides the button.
  void SetStyle(TComboBoxStyle value);
  int ItemIndex() const { return itemIndex_; }
  TwwPopupListbox* PopupList() const { return list_; }

  // The map in both directions (first hit; exact, case-sensitive).
  std::string StoredToDisplay(const std::string& stored) const;
  std::string DisplayToStored(const std::string& display) const;
  // Makes an item current as the user's choice (the dataset goes into edit).
  void SelectItem(int index);

  bool IsEditStyle() const override;
  bool IsDroppedDown() const override { return listDown_; }
  void DropDown() override;
  void CloseUp(bool accept) override;

  TNotifyEvent OnDropDown;
  TwwComboCloseUpEvent OnCloseUp;
  // Owner-drawn styles: draws an entry of the pop-up list (Control is the
  // list) or the current item on the combo's face (Control is the combo).
  TDrawItemEvent OnDrawItem;
  // Where the combo's face is drawn, while OnDrawItem runs for it.
  TCanvas* Canvas() const { return faceCanvas_; }

 protected:
  std::string GetStoredText() override;
  bool MapToDisplayText(const std::string& stored, std::string& display) override;
  bool CanEditText() override;
  void PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text) override;
  void DataChange() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void TypeKey(char32_t& Key) override;
  void DoExit() override;

 private:
  friend class TwwPopupListbox;
  std::string DisplayPart(int index) const;
  std::string StoredPart(int index) const;
  // The first item whose display part is `display`; -1 when none.
  int IndexOfDisplay(const std::string& display) const;
  bool OwnerDrawn() const;
  bool MatchTyped(char32_t key);
  // Empty, an item's display text, or free text where the style allows it.
  bool IsStorableText(const std::string& text) const;
  void ClearKey();
  // The first item from `from` on (wrapping once) whose display part starts
  // with `prefix`, upper-cased; -1 when none.
  int FindPrefix(const std::string& prefix, int from) const;
  void FillList();

  bool mapList_ = false;
  std::unique_ptr<TStringList> items_;
  int dropDownCount_ = 8;
  int itemHeight_ = 0;
  TwwPopupListbox* list_ = nullptr;
  bool listDown_ = false;
  bool allowClearKey_ = false;
  int itemIndex_ = -1;
  int dropDownWidth_ = 0;
  bool autoDropDown_ = false;
  bool showMatchText_ = false;
  bool typingDropDown_ = false;  // the list drops down because of a typed key
  TCanvas* faceCanvas_ = nullptr;
};

// Where a drop-down of `size` goes for a control at `control` (screen
// coordinates): below it, above it when it would pass the screen's bottom,
// right-aligned with it when it would pass the right edge.
TPoint wwDropDownPosition(const TRect& control, TSize size, const TRect& screen);
