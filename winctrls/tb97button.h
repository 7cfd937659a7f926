#pragma once
// The toolbar button: a windowless, flat-by-default button with a glyph
// and/or caption, two-state behaviour in groups (GroupIndex, Down,
// AllowAllUp), an optional drop-down menu (inline arrow, or a separate arrow
// part in combo mode) and hot tracking. Disabled glyphs are generated from the
// normal one.

#include <array>
#include <memory>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/buttons.h"

DECLARE_ENUM(TButtonDisplayMode, dmBoth, dmGlyphOnly, dmTextOnly)
enum TButtonState97 { bsUp97, bsDisabled97, bsDown97, bsExclusive97, bsMouseIn97 };

class TToolbarButton97 : public TGraphicControl {
  DECLARE_CLASS(TToolbarButton97, TGraphicControl)
 public:
  // The arrow part of a combo-mode button.
  static constexpr int kComboArrowWidth = 11;

  explicit TToolbarButton97(TComponent* AOwner);
  ~TToolbarButton97() override;

  bool Down() const { return down_; }
  // Runs no OnClick. Without a group the button stays up; a group's down
  // button comes up only with AllowAllUp.
  void SetDown(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  TButtonDisplayMode DisplayMode() const { return displayMode_; }
  void SetDisplayMode(TButtonDisplayMode value);
  bool DropdownArrow() const { return dropdownArrow_; }
  void SetDropdownArrow(bool value);
  bool DropdownCombo() const { return dropdownCombo_; }
  void SetDropdownCombo(bool value);
  TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  // A flat button that is not opaque lets its parent show through.
  bool Opaque() const { return opaque_; }
  void SetOpaque(bool value);
  // The caption breaks into lines within the button.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  TBitmap* Glyph() const { return glyph_.get(); }
  // A picture k times as wide as high (k <= 5) brings NumGlyphs k.
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  bool OldDisabledStyle() const { return oldDisabledStyle_; }
  void SetOldDisabledStyle(bool value);
  TButtonState97 State() const { return state_; }
  bool MouseInControl() const { return hot_; }
  // The image drawn for a state (built on demand), nullptr without a glyph.
  TBitmap* GlyphImage(TButtonState97 state);

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;

  void Click() override;
  void Dispatch(TMessage& message) override;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  void SetState(TButtonState97 value);
  static void HotTick();
  void StartHotTracking();
  void StopHotTracking();
  // Makes this the hot button (the old one leaves); unless `evenInactive`, only
  // while its form is the active form of the active application.
  void BecomeHot(bool evenInactive);
  void Enter();
  void Leave();
  bool InsideMain(int x, int y) const;
  void DropImages();
  void PaintFace(TCanvas* c, TRect r, TPoint offset);
  void UpdateOpaqueStyle();
  bool Transparent() const { return flat_ && !opaque_; }

  bool down_ = false;
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  TButtonDisplayMode displayMode_ = dmBoth;
  bool dropdownArrow_ = true;
  bool dropdownCombo_ = false;
  TPopupMenu* dropdownMenu_ = nullptr;
  bool flat_ = true;
  bool opaque_ = true;
  bool wordWrap_ = false;
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool oldDisabledStyle_ = false;
  TButtonState97 state_ = bsUp97;
  bool hot_ = false;
  bool pressing_ = false;
  bool arrowPressed_ = false;
  bool inClick_ = false;
  std::array<std::unique_ptr<TBitmap>, 5> images_;
};
