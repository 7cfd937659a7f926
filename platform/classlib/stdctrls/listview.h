#pragma once
// The list view: items with a caption, pictures from two image lists and
// sub-items, shown as large icons, small icons, a list or a report with
// columns; single or multiple selection, a focused item, hot tracking and
// sorting.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/alignment.h"
#include "platform/classlib/core/collection.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/imagelist.h"

DECLARE_ENUM(TViewStyle, vsIcon, vsSmallIcon, vsList, vsReport)
DECLARE_ENUM(TSortType, stNone, stData, stText, stBoth)
DECLARE_ENUM(TItemChange, ctText, ctImage, ctState)
DECLARE_ENUM(TListArrangement, arAlignBottom, arAlignLeft, arAlignRight, arAlignTop, arDefault,
             arSnapToGrid)

class TListView;
class TListItems;

class TListColumn : public TCollectionItem {
  DECLARE_CLASS(TListColumn, TCollectionItem)
 public:
  explicit TListColumn(TCollection* collection = nullptr) : TCollectionItem(collection) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  void Assign(const TPersistent* source) override;

 private:
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
};

class TListColumns : public TCollection {
  DECLARE_CLASS(TListColumns, TCollection)
 public:
  explicit TListColumns(TListView* owner);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int index) const { return static_cast<TListColumn*>(TCollection::Items(index)); }

 protected:
  void Update(TCollectionItem* item) override;
  TPersistent* GetOwner() const override;

 private:
  TListView* owner_;
};

class TListItem : public TPersistent {
  DECLARE_CLASS(TListItem, TPersistent)
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TStrings* SubItems() const { return subItems_.get(); }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  void* Data() const { return data_; }
  void SetData(void* value);
  bool Selected() const { return selected_; }
  void SetSelected(bool value);
  bool Focused() const;
  void SetFocused(bool value);
  int Index() const;
  TListItems* Owner() const { return owner_; }
  TListView* ListView() const;
  // Scrolls the view until the item shows.
  void MakeVisible(bool partialOK);
  void Delete();

 private:
  friend class TListView;
  TListItems* owner_;
  std::string caption_;
  std::unique_ptr<TStringList> subItems_;
  int imageIndex_ = -1;
  void* data_ = nullptr;
  bool selected_ = false;
};

class TListItems : public TPersistent {
  DECLARE_CLASS(TListItems, TPersistent)
 public:
  explicit TListItems(TListView* owner) : owner_(owner) {}
  ~TListItems() override;

  TListItem* Add();
  TListItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int Count() const { return int(items_.size()); }
  TListItem* Item(int index) const;
  TListItem* operator[](int index) const { return Item(index); }
  int IndexOf(const TListItem* item) const;
  // Changes in between repaint and re-sort once.
  void BeginUpdate();
  void EndUpdate();
  TListView* Owner() const { return owner_; }

 private:
  friend class TListView;
  friend class TListItem;
  TListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int updateCount_ = 0;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVCompareEvent =
    std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
// CustomSort's comparison: < 0, 0, > 0 as Item1 goes before, with or after Item2.
using TLVCompare = std::function<int(TListItem* Item1, TListItem* Item2, long Data)>;

class TListView : public TCustomControl {
  DECLARE_CLASS(TListView, TCustomControl)
 public:
  explicit TListView(TComponent* AOwner);
  ~TListView() override;

  TListItems* Items() const { return items_.get(); }
  TListColumns* Columns() const { return columns_.get(); }
  void SetColumns(const TListColumns* value) { columns_->Assign(value); }
  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value) { hotTrack_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);
  TCustomImageList* LargeImages() const { return largeImages_; }
  void SetLargeImages(TCustomImageList* value);
  TCustomImageList* SmallImages() const { return smallImages_; }
  void SetSmallImages(TCustomImageList* value);
  TSortType SortType() const { return sortType_; }
  void SetSortType(TSortType value);

  // The first selected item (nullptr when none); setting it selects only that item.
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const { return focused_; }
  void SetItemFocused(TListItem* item);
  int SelCount() const;
  TListItem* HotItem() const { return hot_; }
  void SelectAll();
  void ClearSelection();
  // The next selected item after `start` (from the first with nullptr).
  TListItem* GetNextSelected(TListItem* start) const;

  // Sorts by OnCompare, else by caption ignoring case.
  bool AlphaSort();
  bool CustomSort(const TLVCompare& compare, long data);
  // Lays the icons out again in rows.
  void Arrange(TListArrangement code);
  // The first item from StartIndex (+1 unless Inclusive) whose caption is
  // Value (begins with it when Partial), ignoring case; wraps when asked.
  TListItem* FindCaption(int StartIndex, const std::string& Value, bool Partial, bool Inclusive,
                         bool Wrap) const;
  TListItem* FindData(int StartIndex, void* Value, bool Inclusive, bool Wrap) const;
  TListItem* GetItemAt(int X, int Y) const;
  // The item's whole rectangle in client coordinates.
  TRect ItemRect(const TListItem* item) const;
  // The visible row of the first item (report and list views scroll by it).
  TListItem* TopItem() const;

  void Dispatch(TMessage& message) override;

  TLVSelectItemEvent OnSelectItem;
  TLVChangeEvent OnChange;
  TLVCompareEvent OnCompare;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  // Below the focused item.
  TPoint KeyboardPopupPoint() const override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void Resize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void Change(TListItem* Item, TItemChange Change);

 private:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumns;
  struct Geometry;
  Geometry Measure() const;
  TRect CellRect(const Geometry& g, int index) const;
  void ItemsChanged();
  void ItemRemoved(TListItem* item);
  void SelectItem(TListItem* item, bool value);
  void ChooseByUser(int index, TShiftState shift);
  void PaintItem(TListItem* item, const TRect& cell, const Geometry& g);
  void SortNow();
  void UpdateScrollBars();
  void ScrollTo(TPoint offset);
  void SetImageList(TCustomImageList*& slot, TCustomImageList* value);
  int KeyTarget(WORD key, int from) const;
  int HeaderHeight() const;

  std::unique_ptr<TListItems> items_;
  std::unique_ptr<TListColumns> columns_;
  TViewStyle viewStyle_ = vsIcon;
  bool multiSelect_ = false;
  bool hideSelection_ = true;
  bool hotTrack_ = false;
  bool readOnly_ = false;
  bool showColumnHeaders_ = true;
  TCustomImageList* largeImages_ = nullptr;
  TCustomImageList* smallImages_ = nullptr;
  TSortType sortType_ = stNone;
  TListItem* focused_ = nullptr;
  TListItem* hot_ = nullptr;
  int anchor_ = -1;
  TPoint scroll_;
};
