#pragma once
// The extended tab control: tabs on any side or as buttons, their own colours
// and fonts for the selected and the other tabs, a glyph per tab from one
// strip, hot tracking, a hint per tab, disabled tabs, and owner drawing of
// every tab with a hook for the application.

#include <functional>
#include <memory>
#include <set>

#include "platform/classlib/graphics/imagelist.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/tabs.h"

DECLARE_ENUM(TExtTabPosition, tabPosLeft, tabPosRight, tabPosTop, tabPosBottom)
DECLARE_ENUM(TExtTabStyle, tabStDefault, tabStButton)
DECLARE_ENUM(TExtGlyphPosition, glPosLeft, glPosTop)

class TExtTabControl;
// Paints the page area inside the frame (TabIndex: the selected tab), or the
// area outside the page and the tabs (the canvas is clipped to it).
using TExtBkgndEvent =
    std::function<void(TObject* Sender, TCanvas* Canvas, int TabIndex, const TRect& Rect)>;
using TExtNbDrawTabEvent =
    std::function<void(TWinControl* Control, int Index, bool ActiveTab, const TRect& RectFg,
                       const TRect& RectBg, TOwnerDrawState State)>;

// The tabs' glyphs: one strip bitmap of NumGlyphs cells, glyph i on tab i.
class TExtGlyphs : public TPersistent {
  DECLARE_CLASS(TExtGlyphs, TPersistent)
 public:
  explicit TExtGlyphs(TExtTabControl* owner);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value);
  TExtGlyphPosition Position() const { return position_; }
  void SetPosition(TExtGlyphPosition value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  // The cells as images (empty without a glyph or cells).
  TImageList* Images() const { return images_.get(); }

 private:
  void GlyphChanged();
  TExtTabControl* owner_;
  std::unique_ptr<TBitmap> glyph_;
  std::unique_ptr<TImageList> images_;
  int numGlyphs_ = 0;
  TColor transparentColor_ = clFuchsia;
  TExtGlyphPosition position_ = glPosLeft;
  int spacing_ = 5;
};

// Font colours of the tab under the mouse (clNone leaves the font alone).
class TExtHottrack : public TPersistent {
  DECLARE_CLASS(TExtHottrack, TPersistent)
 public:
  explicit TExtHottrack(TExtTabControl* owner) : owner_(owner) {}
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TColor TabActiveColor() const { return activeColor_; }
  void SetTabActiveColor(TColor value);
  TColor TabInactiveColor() const { return inactiveColor_; }
  void SetTabInactiveColor(TColor value);

 private:
  TExtTabControl* owner_;
  bool enabled_ = false;
  TColor activeColor_ = clHighlight, inactiveColor_ = clHighlight;
};

class TExtTabControl : public TTabControl {
  DECLARE_CLASS(TExtTabControl, TTabControl)
 public:
  explicit TExtTabControl(TComponent* AOwner);
  ~TExtTabControl() override;

  // Setting another valid, enabled tab asks OnChanging and tells OnChange.
  void SetTabIndex(int value);
  TColor TabActiveColor() const { return tabActiveColor_; }
  void SetTabActiveColor(TColor value);
  TColor TabInactiveColor() const { return tabInactiveColor_; }
  void SetTabInactiveColor(TColor value);
  TFont* TabActiveFont() const { return tabActiveFont_.get(); }
  void SetTabActiveFont(const TFont* value) { tabActiveFont_->Assign(value); }
  TFont* TabInactiveFont() const { return tabInactiveFont_.get(); }
  void SetTabInactiveFont(const TFont* value) { tabInactiveFont_->Assign(value); }
  // Tab i's hint is line i; tabs past the list have none.
  TStrings* TabHints() const { return tabHints_.get(); }
  void SetTabHints(const TStrings* value) { tabHints_->Assign(value); }
  TExtHottrack* Hottrack() const { return hottrack_.get(); }
  TExtGlyphs* TabGlyphs() const { return glyphs_.get(); }
  TExtTabPosition TabPosition() const { return tabPosition_; }
  void SetTabPosition(TExtTabPosition value);
  TExtTabStyle TabStyle() const { return tabStyle_; }
  void SetTabStyle(TExtTabStyle value);
  // Across the strip for top and bottom tabs, along it for left and right ones.
  int TabHeight() const { return tabHeight_; }
  void SetTabHeight(int value);
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  bool TabWordWrap() const { return tabWordWrap_; }
  void SetTabWordWrap(bool value);
  // A disabled tab cannot be chosen and is drawn greyed.
  bool TabEnabled(int index) const { return !disabledTabs_.count(index); }
  void SetTabEnabled(int index, bool value);

  // The control's own drawing of a tab; OnDrawTab handlers call it after
  // changing the font. The base class's drawing stays callable beside it.
  using TTabControl::DrawTab;
  void DrawTab(int Index, const TRect& Rect, TOwnerDrawState State);

  // Nothing is painted between these; the last EndTabUpdate repaints.
  void BeginTabUpdate() { ++paintLock_; }
  void EndTabUpdate();
  // The control's font for the tab sizes: whichever tab font writes a wider "W"
  // (the active one when equal).
  void ApplyTabFonts();

  TExtNbDrawTabEvent OnDrawTab;
  TExtBkgndEvent OnDrawBkgndInside, OnDrawBkgndOutside;

  void Dispatch(TMessage& message) override;

 protected:
  void PaintContent() override;
  void PaintTabFace(int index, const TRect& rect, bool active) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;

 private:
  TPoint DrawTabFace(TRect r, TPoint offset, bool disabled, bool centred, const std::string& caption);
  TRect ForegroundRect(const TRect& background, bool active) const;
  void ApplySizes();
  void ShowTabHint(int tab);

  TColor tabActiveColor_ = clBtnFace;
  TColor tabInactiveColor_ = RGB(160, 160, 164);
  std::unique_ptr<TFont> tabActiveFont_, tabInactiveFont_;
  std::unique_ptr<TStringList> tabHints_;
  std::unique_ptr<TExtHottrack> hottrack_;
  std::unique_ptr<TExtGlyphs> glyphs_;
  TExtTabPosition tabPosition_ = tabPosTop;
  TExtTabStyle tabStyle_ = tabStDefault;
  int tabHeight_ = 0, tabWidth_ = 0;
  bool tabWordWrap_ = false;
  std::set<int> disabledTabs_;
  int hintIndex_ = -1;
  int paintLock_ = 0;
  std::string savedHint_;
};
