#pragma once
// Tabs and pages: the tab control (a strip of tabs on any side over a page
// area, drawn by the control or by its owner), the page control whose tabs
// show one sheet at a time, the tab set (a strip hanging below a notebook)
// and the notebook whose named pages show one at a time.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/imagelist.h"

DECLARE_ENUM(TTabPosition, tpTop, tpBottom, tpLeft, tpRight)
DECLARE_ENUM(TTabStyle, tsTabs, tsButtons, tsFlatButtons)

// The tab window's messages, for descendants written against them:
// TCM_HITTEST LParam a TTCHitTestInfo* (result: the tab, -1 for none);
// TCM_GETITEMRECT WParam the tab, LParam a TRect* (result 0 out of range);
// TCM_ADJUSTRECT WParam 0: LParam a TRect* of the client area becomes the
// display area (1: the other way); TCM_GETCURSEL / TCM_SETCURSEL the
// selected tab (setting tells nobody); TCM_GETITEMCOUNT the number of tabs.
constexpr UINT TCM_FIRST = 0x1300, TCM_GETITEMCOUNT = TCM_FIRST + 4,
               TCM_GETITEMRECT = TCM_FIRST + 10, TCM_GETCURSEL = TCM_FIRST + 11,
               TCM_SETCURSEL = TCM_FIRST + 12, TCM_HITTEST = TCM_FIRST + 13,
               TCM_ADJUSTRECT = TCM_FIRST + 40;
struct TTCHitTestInfo {
  TPoint pt;
  UINT flags = 0;
};

class TCustomTabControl;
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
using TDrawTabEvent = std::function<void(TCustomTabControl* Control, int TabIndex,
                                         const TRect& Rect, bool Active)>;

class TCustomTabControl : public TCustomControl {
  DECLARE_CLASS(TCustomTabControl, TCustomControl)
 public:
  explicit TCustomTabControl(TComponent* AOwner);
  ~TCustomTabControl() override;

  TStrings* Tabs() const { return tabs_.get(); }
  void SetTabs(const TStrings* value) { tabs_->Assign(value); }
  // Selecting from code asks nobody and tells nobody, as the window does.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int value);
  // Size of every tab (0: from its caption). For left and right tabs the
  // width runs along the strip and the height across it, as the window's
  // item size does for vertical tabs.
  int TabHeight() const { return tabHeight_; }
  void SetTabHeight(int value);
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  TTabPosition TabPosition() const { return tabPosition_; }
  void SetTabPosition(TTabPosition value);
  TTabStyle Style() const { return style_; }
  void SetStyle(TTabStyle value);
  // Tabs painted by DrawTab / OnDrawTab.
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool value);
  // The tab under the mouse is drawn in the highlight colour.
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value);
  int HotIndex() const { return hotIndex_; }
  // Tab pictures: image i on tab i.
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);

  // The tab at a client point; -1 where there is none.
  int IndexOfTabAt(int X, int Y) const;
  // A tab's rectangle before the selected one grows; empty when out of range.
  TRect TabRect(int index) const;
  // The area for the page inside the page frame.
  TRect DisplayRect() const;
  // The framed page area, and the rectangle a tab is painted in (the
  // selected tab grown over the frame); what lies outside both shows the parent.
  TRect PageFrameRect() const { return ComputeLayout().page; }
  TRect PaintedTabRect(int index) const;

  void Dispatch(TMessage& message) override;

  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;
  TDrawTabEvent OnDrawTab;

 protected:
  // Asked before the user moves to another tab (OnChanging may refuse).
  virtual bool CanChange();
  // Told after the user moved to another tab.
  virtual void Change();
  // Owner drawing of one tab (Canvas set up with the control's font and brush).
  virtual void DrawTab(int TabIndex, const TRect& Rect, bool Active);
  // Paints one tab face inside its frame: owner drawing, else picture and caption.
  virtual void PaintTabFace(int index, const TRect& rect, bool active);
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void AdjustClientRect(TRect& rect) override;
  // The user chose a tab: asks, moves, tells. False when refused.
  bool SelectByUser(int index);
  // Called when the tabs' list changed.
  virtual void TabsChanged();
  bool Vertical() const { return tabPosition_ == tpLeft || tabPosition_ == tpRight; }

 private:
  struct Layout {
    std::vector<TRect> tabs;  // unselected rectangles
    TRect page;               // the framed page area
  };
  Layout ComputeLayout() const;
  TRect GrownTab(const Layout& l, int i) const;
  TSize TabSize(int index) const;
  bool TabMessage(TMessage& m);
  void SetHotIndex(int value);

  std::unique_ptr<TStringList> tabs_;
  int tabIndex_ = -1;
  int tabHeight_ = 0;
  int tabWidth_ = 0;
  TTabPosition tabPosition_ = tpTop;
  TTabStyle style_ = tsTabs;
  bool ownerDraw_ = false;
  bool hotTrack_ = false;
  int hotIndex_ = -1;
  TCustomImageList* images_ = nullptr;
};

class TTabControl : public TCustomTabControl {
  DECLARE_CLASS(TTabControl, TCustomTabControl)
 public:
  using TCustomTabControl::TCustomTabControl;
};

class TPageControl;

// A page of a page control: its caption is its tab's.
class TTabSheet : public TCustomControl {
  DECLARE_CLASS(TTabSheet, TCustomControl)
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* value);
  // Index among all pages; -1 without a page control.
  int PageIndex() const;
  void SetPageIndex(int value);
  // Index among the pages whose tabs show; -1 when hidden.
  int TabIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  void SetParent(TWinControl* AParent) override;
  void Dispatch(TMessage& message) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;
};

class TPageControl : public TCustomTabControl {
  DECLARE_CLASS(TPageControl, TCustomTabControl)
 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int PageCount() const { return int(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(size_t(index)); }
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int value);
  // The next (or previous) page whose tab shows, wrapping; nullptr when none.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  void SelectNextPage(bool goForward);

 protected:
  void Change() override;
  void Dispatch(TMessage& message) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  // The tabs show the captions of the pages whose tabs are visible.
  void UpdateTabs();
  void ShowActivePage();

  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  bool updating_ = false;
};

// ---- Tab set and notebook ------------------------------------------------------------

// The tab set's change event: NewTab is the tab the user is moving to.
using TTabChangeEvent = std::function<void(TObject* Sender, int NewTab, bool& AllowChange)>;

// A strip of tabs hanging from its top edge, under a notebook or a list.
class TTabSet : public TCustomControl {
  DECLARE_CLASS(TTabSet, TCustomControl)
 public:
  explicit TTabSet(TComponent* AOwner);
  ~TTabSet() override;

  TStrings* Tabs() const { return tabs_.get(); }
  void SetTabs(const TStrings* value) { tabs_->Assign(value); }
  // Setting it runs OnChange (which may refuse), then OnClick, as a click does.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int value);
  TColor SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(TColor value);
  TColor UnselectedColor() const { return unselectedColor_; }
  void SetUnselectedColor(TColor value);
  TColor BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(TColor value);
  int StartMargin() const { return startMargin_; }
  void SetStartMargin(int value);

  int ItemAtPos(TPoint pos) const;
  TRect ItemRect(int index) const;

  TTabChangeEvent OnChange;

 protected:
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Dispatch(TMessage& message) override;

 private:
  std::unique_ptr<TStringList> tabs_;
  int tabIndex_ = -1;
  TColor selectedColor_ = clBtnFace;
  TColor unselectedColor_ = clWindow;
  TColor backgroundColor_ = clBtnFace;
  int startMargin_ = 5;
};

// A page of a notebook, named by its caption.
class TPage : public TCustomControl {
  DECLARE_CLASS(TPage, TCustomControl)
 public:
  explicit TPage(TComponent* AOwner);
};

class TNotebook : public TCustomControl {
  DECLARE_CLASS(TNotebook, TCustomControl)
 public:
  explicit TNotebook(TComponent* AOwner);
  ~TNotebook() override;

  // The page names; adding one adds a page, deleting one frees it.
  TStrings* Pages() const { return pages_.get(); }
  void SetPages(const TStrings* value) { pages_->Assign(value); }
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int value);
  // The name of the page shown; setting it shows the page of that name.
  std::string ActivePage() const;
  void SetActivePage(const std::string& name);
  TPage* Page(int index) const;

  TNotifyEvent OnPageChanged;

 private:
  void PagesChanged();

  std::unique_ptr<TStringList> pages_;
  std::vector<TPage*> pageControls_;
  int pageIndex_ = -1;
};
