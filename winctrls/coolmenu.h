#pragma once
// Owner-drawn menus: a TCoolMenu on a form turns chosen menu items (each
// described by a TCoolMenuItem it holds) into items drawn with a picture,
// their own font and colours, bevels, wallpaper, a vertical side bar and
// shadowed text, through the menus' owner-draw hooks.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/graphics/imagelist.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/menus/menus.h"

DECLARE_ENUM(TRefreshAction, RA_NONE, RA_REFRESH, RA_REFRESHWITHBAR, RA_RESTORE)
DECLARE_ENUM(TMenuOption, omAlwaysDefFont, omAlwaysDefFontColor, omAlwaysDefFontSize,
             omFixedImgSize, omDrawBarIfNeeded, omPaintWallpaper, omPaintSelWallpaper,
             omTileWallpaper, omTileSelWallpaper, omBevelOnlyIfSel, omNoHighlightImage,
             omNoHighlightDisabled, omNoHighlightEnabled, omNoHighlightEnabledButDoText,
             omNoHighlightEnabledButDoRoundRect, omRightJustified, omNoImageAttached)
using TMenuOptions = TSet<TMenuOption>;
DECLARE_ENUM(TCaptionAlign, alUp, alDown, alCenter)
DECLARE_ENUM(TMenuBevelStyle, bsBevelBoth, bsBevelOnlyImage, bsBevelOnlyText)
DECLARE_ENUM(TBevelType, btRectangle, btRoundedRect)
DECLARE_ENUM(TShadowOption, soNoShadowIfNormal, soNoShadowIfSel)
using TShadowOptions = TSet<TShadowOption>;
DECLARE_ENUM(TShadowPosition, spLeftTop, spLeftBottom, spRightBottom, spRightTop)

class TCoolMenu;

// The side bar of a popup: a caption running bottom to top on a plain or
// graded background. Its fields are its published properties.
class TCoolMenuBar : public TPersistent {
  DECLARE_CLASS(TCoolMenuBar, TPersistent)
 public:
  void Assign(const TPersistent* source) override;

  std::string Caption;
  int Size = 11;  // points
  int Space = 0;  // margin at the caption's end
  TColor BackFrom = clBlack, BackTo = clBlue, Fore = clWhite;
  bool IsSerif = true, IsGradient = false, IsSeparator = true;
  TCaptionAlign CaptionAlign = alDown;
};

// The shadow under an item's caption; its fields are its published properties.
class TShadowText : public TPersistent {
  DECLARE_CLASS(TShadowText, TPersistent)
 public:
  void Assign(const TPersistent* source) override;

  bool Active = false;
  TColor ShadowColor = clBtnHighlight, SelShadowColor = clBtnHighlight;
  int ShadowSize = 1, SelShadowSize = 1;
  TShadowPosition ShadowPos = spLeftTop, SelShadowPos = spLeftTop;
  TShadowOptions Options{soNoShadowIfSel};
};

// Values that TCoolMenu::ApplyItemProperties gives every item; the mask's
// bits choose which (0: all of them, the options replaced).
struct TGlobalParameters {
  const TFont* Font = nullptr;
  TColor NormColor = clMenu, SelColor = clHighlight, TrColor = clNone;
  TMenuOptions Options;
  TAlign TextAlign = alRight;
  int CustomImgSize = 16;
  TBevelCut BevelInner = bvNone, BevelOuter = bvNone;
  TMenuBevelStyle BevelStyle = bsBevelBoth;
  std::string SeparatorText;
};
enum TItemMask {
  imFont = 1, imNormColor = 2, imSelColor = 4, imTrColor = 8, imTextAlign = 32,
  imCustomImgSize = 64, imOptions = 128, imAddOptions = 256, imRemoveOptions = 512,
  imBevelInner = 1024, imBevelOuter = 2048, imBevelStyle = 4096, imSeparatorText = 8192
};

// The same for every item's Shadow, through ApplyShadowProperties.
using TShadowParameters = TShadowText;
enum TShadowMask {
  smActive = 1, smShadowColor = 2, smSelShadowColor = 4, smShadowPos = 8, smSelShadowPos = 16,
  smShadowSize = 32, smSelShadowSize = 64, smOptions = 128, smAddOptions = 256,
  smRemoveOptions = 512
};

// Told with the popup concerned (the item whose sub-items it shows) and a value.
using TMenuEvent = std::function<void(TObject* sender, TMenuItem* popup, int value)>;

// Where the parts of an item were laid out by its last measure and paint.
struct TCoolMenuMetrics {
  int ImageLeft = 0, ImageTop = 0, TextLeft = 0, TextTop = 0, TextWidth = 0, TextHeight = 0,
      ImageSize = 0, ItemHeight = 0, StackedWidth = 0, ShortcutWidth = 0;
  int CheckWidth = 13;  // the menu check mark's width
};

class TCoolMenuItem : public TComponent {
  DECLARE_CLASS(TCoolMenuItem, TComponent)
 public:
  static constexpr TMenuOptions kDefaultOptions{omFixedImgSize, omTileWallpaper, omTileSelWallpaper};

  explicit TCoolMenuItem(TComponent* AOwner);
  ~TCoolMenuItem() override;

  TCoolMenu* CoolMenu() const { return coolMenu_; }
  void SetCoolMenu(TCoolMenu* value);
  TMenuItem* MenuItem() const { return menuItem_; }
  // Also finds the menu that holds the item.
  void SetMenuItem(TMenuItem* value);
  TMenu* Menu() const { return menu_; }
  // Form definitions name the menu too (the item's own is found anyway).
  void SetMenu(TMenu* value);
  bool IsLinked() const { return menu_ && menuItem_; }

  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* value) { font_->Assign(value); }
  TPicture* Picture() const { return picture_.get(); }
  // A bitmap brings its bottom-left pixel as the transparent colour.
  void SetPicture(const TGraphic* graphic);
  // Form definitions assign the whole picture.
  void AssignPicture(const TPicture* value) { SetPicture(value ? value->Graphic() : nullptr); }
  TPicture* DisabledPicture() const { return disabledPicture_.get(); }
  void AssignDisabledPicture(const TPicture* value) { disabledPicture_->Assign(value); }
  TColor GetTrColor() const { return TrColor; }
  void SetTrColor(TColor value) { TrColor = value; }
  int ImgSize() const { return CustomImgSize; }
  void SetImgSize(int value) { CustomImgSize = value; }
  const std::string& SepText() const { return SeparatorText; }
  void SetSepText(const std::string& value) { SeparatorText = value; }
  TMenuOptions Options() const { return options_; }
  // Raises for features that need the caption beside the image when it is not.
  void SetOptions(TMenuOptions value);
  TAlign TextAlign() const { return textAlign_; }
  void SetTextAlign(TAlign value);
  TShadowText& Shadow() { return shadow_; }
  int ImageIndex() const { return imageIndex_; }
  // Copies the image of that index from the component's image lists; an
  // index past a list raises "Index out of bounds".
  void SetImageIndex(int value);
  const TCoolMenuMetrics& Metrics() const { return metrics_; }

  // Written inside their TCoolMenu in form definitions.
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  TColor SelColor = clHighlight, SelTextColor = clHighlightText, NormColor = clMenu;
  TColor TrColor = clNone;
  int CustomImgSize = 16;
  TBevelCut BevelInner = bvNone, BevelOuter = bvNone;
  TMenuBevelStyle BevelStyle = bsBevelBoth;
  TBevelType BevelType = btRectangle;
  std::string SeparatorText;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  static void CheckAlign(TAlign align);
  void CheckOptions(TMenuOptions options, TAlign align) const;

  TCoolMenu* coolMenu_ = nullptr;
  TMenu* menu_ = nullptr;
  TMenuItem* menuItem_ = nullptr;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPicture> picture_, disabledPicture_;
  TMenuOptions options_ = kDefaultOptions;
  TAlign textAlign_ = alRight;
  TShadowText shadow_;
  int imageIndex_ = 0;
  TCoolMenuMetrics metrics_;
  bool drawn_ = false;  // owner-drawn (refreshed) rather than plain (restored)
  friend class TCoolMenu;
};

class TCoolMenu : public TComponent {
  DECLARE_CLASS(TCoolMenu, TComponent)
 public:
  explicit TCoolMenu(TComponent* AOwner);
  ~TCoolMenu() override;

  bool Active() const { return active_; }
  void SetActive(bool value);
  bool ShowBar() const { return showBar_; }
  void SetShowBar(bool value);
  int HSpace() const { return hSpace_; }
  void SetHSpace(int value);
  int VSpace() const { return vSpace_; }
  void SetVSpace(int value);
  const TCoolMenuBar& MenuBar() const { return *menuBar_; }
  void SetMenuBar(const TCoolMenuBar& value);
  TBitmap* Wallpaper() const { return wallpaper_.get(); }
  void SetWallpaper(const TBitmap* value) { wallpaper_->Assign(value); }
  TBitmap* SelWallpaper() const { return selWallpaper_.get(); }
  void SetSelWallpaper(const TBitmap* value) { selWallpaper_->Assign(value); }
  // The rendered side bar (empty when there is none).
  TBitmap* BarBitmap() const { return bar_.get(); }

  int ItemCount() const { return int(items_.size()); }
  TCoolMenuItem* Item(int index) const;
  // Makes the item (nullptr: every item) owner-drawn, or plain again.
  void RefreshItems(TCoolMenuItem* item, TRefreshAction action);

  // What the menus ask of an owner-drawn item.
  void Measure(TCoolMenuItem* item, TCanvas* canvas, int& width, int& height);
  // Form definitions hold the items inside the component.
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void Paint(TCoolMenuItem* item, TCanvas* canvas, const TRect& rect, TOwnerDrawState state);

  // Gives every item the chosen values, then refreshes. A combination that
  // one item refuses changes none of them.
  void ApplyItemProperties(const TGlobalParameters& source, int mask);
  void ApplyShadowProperties(const TShadowParameters& source, int mask);

  // Not owned. Setting a list clears the pictures the previous one gave and
  // hands out its images in item order (see LoadImages).
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  TCustomImageList* DisabledImages() const { return disabledImages_; }
  void SetDisabledImages(TCustomImageList* value);
  // Image i goes to item i; with skipSeparators every separator met shifts
  // the following images one item on.
  void LoadImages(TCustomImageList* images, TCustomImageList* disabled, bool skipSeparators);

  // What a popup menu opening does to the items of popup menus first
  // (RA_NONE: nothing).
  TRefreshAction MenuRefresh() const { return menuRefresh_; }
  void SetMenuRefresh(TRefreshAction value) { menuRefresh_ = value; }
  // The mouse cursor while a menu is open (crDefault, or crArrow: the menu's own).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value) { cursor_ = value; }

  // Told after the items of a popup were measured (once per opening), with
  // their total height; as a popup opens, with its index in its parent menu;
  // as one of the items described here is pointed at, with its command.
  TMenuEvent OnMeasure, OnPopup, OnItemSelect;

 protected:
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TCoolMenuItem* ItemOf(const TMenuItem* menuItem) const;
  void Hook(TMenu* menu);
  void DrawItem(TCoolMenuItem* item, bool drawn);
  void Unhook(TMenu* menu);
  void RenderBar(int totalHeight);
  void MeasureOne(TCoolMenuItem* item, TCanvas* canvas, int& width, int& height);
  static bool ShownIn(const TCoolMenuItem* item, const TMenuItem* popup);
  void PopupOpening(TMenuItem* parent);
  // True when the item is one of those described here (the ones before in
  // the menu's chain of hooks are then not asked).
  bool ItemSelected(TMenuItem* mi);
  // True when the item's menu is a popup menu with items described here.
  bool HelpRequested(TMenuItem* mi);
  void PopupClosed();
  TMenuItem* MenuChar(TMenuItem* parent, char32_t ch) const;
  bool DescribesPopupMenu(const TMenu* menu) const;
  static void GiveImage(TCoolMenuItem* item, int index, TCustomImageList* images,
                        TCustomImageList* disabled);
  void SwapList(TCustomImageList*& link, TCustomImageList* value, bool disabled);

  bool active_ = true, showBar_ = false;
  bool measured_ = false;  // the popup now open was measured
  TCursor cursor_ = crDefault;
  bool cursorSet_ = false;  // cursor_ shows while a menu is open; savedCursor_ comes back
  TCursor savedCursor_ = crDefault;
  TRefreshAction menuRefresh_ = RA_REFRESH;
  int hSpace_ = 5, vSpace_ = 2;
  int maxItemWidth_ = 0, maxTextWidth_ = 0, maxShortcutWidth_ = 0;
  std::unique_ptr<TCoolMenuBar> menuBar_;
  std::unique_ptr<TBitmap> wallpaper_, selWallpaper_, bar_;
  std::vector<TCoolMenuItem*> items_;
  // The menus hooked, with the id of their hooks.
  std::vector<std::pair<TMenu*, int>> hooked_;
  TCustomImageList* images_ = nullptr;
  TCustomImageList* disabledImages_ = nullptr;
  friend class TCoolMenuItem;
};
