#pragma once
// List boxes: a column of strings the user selects from with the mouse and the
// keyboard, one at a time or several, drawn by the control or by the owner
// (fixed or per-item heights).

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/menus/menus.h"

DECLARE_ENUM(TListBoxStyle, lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)

// Owner drawing of list and combo items: the canvas is the control's, already
// set up for the item's state (highlight colours when selected).
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, const TRect& Rect,
                                          TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// The items of a list or combo box. Each string carries its object, its
// selected flag and its measured height, so these follow it when items are
// inserted, deleted or sorted in. A sorted list puts new strings in place,
// ignoring case, as the window's own sorted list does.
class TListBoxStrings : public TStrings {
  DECLARE_CLASS(TListBoxStrings, TStrings)
 public:
  enum class Change { Inserted, Deleted, Cleared, Changed };
  // Told after every change (index of the item inserted or deleted).
  using Listener = std::function<void(Change change, int index)>;
  explicit TListBoxStrings(Listener listener) : listener_(std::move(listener)) {}

  int Add(const std::string& s) override;
  int AddObject(const std::string& s, TObject* object) override;
  void Insert(int index, const std::string& s) override;
  void InsertObject(int index, const std::string& s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;

  bool Sorted() const { return sorted_; }
  // Sorting an unsorted list reorders it once.
  void SetSorted(bool value);

  bool Selected(int index) const { return items_.at(Checked(index)).selected; }
  void SetSelected(int index, bool value) { items_.at(Checked(index)).selected = value; }
  int ItemHeight(int index) const { return items_.at(Checked(index)).height; }
  void SetItemHeight(int index, int value) { items_.at(Checked(index)).height = value; }
  // Asks `measure` for the heights of items first..last, each offered `height`.
  void Measure(int first, int last, int height, const std::function<void(int, int&)>& measure);

  // The first item from `startAfter` + 1 on (wrapping round) whose text begins
  // with `prefix` (or equals it with `exact`), ignoring case; -1 when none.
  int Find(int startAfter, const std::string& prefix, bool exact) const;

 protected:
  std::string Get(int index) const override { return items_.at(Checked(index)).text; }
  int GetCount() const override { return int(items_.size()); }
  TObject* GetObject(int index) const override { return items_.at(Checked(index)).object; }
  void Put(int index, const std::string& s) override;
  void PutObject(int index, TObject* object) override { items_.at(Checked(index)).object = object; }

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
    bool selected = false;
    int height = 0;
  };
  int Checked(int index) const;
  int SortedPosition(const std::string& s) const;
  void Tell(Change change, int index) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  Listener listener_;
};

class TCustomListBox : public TCustomControl {
  DECLARE_CLASS(TCustomListBox, TCustomControl)
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(const TStrings* value) { items_->Assign(value); }
  void Clear() { items_->Clear(); }

  // The selected item; with MultiSelect the item with the focus rectangle.
  int ItemIndex() const;
  void SetItemIndex(int value);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int value);
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // With MultiSelect: Shift and Ctrl extend the selection (else a click toggles).
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value) { extendedSelect_ = value; }
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  // Number of selected items; -1 without MultiSelect, as the window answers.
  int SelCount() const;
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle value);
  // Height of an item in fixed styles (lbStandard measures the font).
  int ItemHeight() const;
  void SetItemHeight(int value);
  // The height is kept to a whole number of items.
  bool IntegralHeight() const { return integralHeight_; }
  void SetIntegralHeight(bool value);

  // Index of the item at a client point. Outside the client area -1; inside
  // but below the last item -1 with `existing`, else Items.Count.
  int ItemAtPos(TPoint pos, bool existing) const;
  // The item's rectangle in client coordinates (empty past the end).
  TRect ItemRect(int index) const;
  // The window's find-string: first item from after `startAfter` (wrapping)
  // whose text begins with `text`, ignoring case; -1 when none.
  int FindString(int startAfter, const std::string& text) const;
  int FindStringExact(int startAfter, const std::string& text) const;

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Dispatch(TMessage& message) override;

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void PaintContent() override;
  // Paints one item on Canvas; the default runs OnDrawItem, else writes the text.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
  virtual void MeasureItem(int Index, int& Height);
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  // Below the selected item.
  TPoint KeyboardPopupPoint() const override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void Resize() override;
  // The user changed the selection: the class library reports it as a click.
  virtual void SelectionChangedByUser() { Click(); }

 private:
  void ItemsChanged(TListBoxStrings::Change change, int index);
  int ItemTop(int index) const;
  int HeightOf(int index) const;
  int VisibleCount(int from) const;
  void UpdateScrollBar();
  void MakeVisible(int index);
  // Moves the focus to `index` the way a key or click does.
  void SelectByUser(int index, TShiftState shift, bool toggle);
  void SelectRange(int from, int to);
  void ClearSelection();
  int KeyTarget(WORD key) const;

  std::unique_ptr<TListBoxStrings> items_;
  int itemIndex_ = -1;  // the selection (single) or the caret (multiple)
  int anchor_ = -1;     // where a Shift-extended selection starts
  int topIndex_ = 0;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  bool integralHeight_ = false;
  TListBoxStyle style_ = lbStandard;
  int itemHeight_ = 16;
  std::string typed_;  // the keyboard search typed so far
  std::chrono::steady_clock::time_point lastTyped_;
};

class TListBox : public TCustomListBox {
  DECLARE_CLASS(TListBox, TCustomListBox)
 public:
  using TCustomListBox::TCustomListBox;
};
