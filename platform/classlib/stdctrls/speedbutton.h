#pragma once
// The speed button: a windowless button with a picture and a caption, used on
// tool bars and at the edge of button edits. Buttons with the same GroupIndex
// under one parent form an exclusive group: pressing one releases the other.

#include <memory>

#include "platform/classlib/stdctrls/buttons.h"

class TSpeedButton : public TGraphicControl {
  DECLARE_CLASS(TSpeedButton, TGraphicControl)
 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;

  // The picture: NumGlyphs (1..4) images side by side for up, disabled, down
  // and exclusive; a picture whose width is k times its height (k <= 4)
  // brings NumGlyphs k.
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  // 0: a plain button. Otherwise the button stays down when clicked, and
  // going down releases the others of its group.
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  // Setting it runs no OnClick; a group's down button comes up only with
  // AllowAllUp (which the whole group shares).
  bool Down() const { return down_; }
  void SetDown(bool value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  // A flat button shows its frame only while the mouse is over it (or down).
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  // How the face looks now.
  TButtonState State() const { return state_; }
  bool MouseInControl() const { return hot_; }

  void Click() override;
  void Dispatch(TMessage& message) override;

 protected:
  // Paints frame and face; descendants draw their own face in PaintFace.
  void PaintContent() override;
  virtual void PaintFace(TCanvas* canvas, const TRect& r, TButtonState state);
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  void TellGroup();  // the others of the group learn this one's state
  void SetState(TButtonState value);

  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool flat_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  TButtonState state_ = bsUp;
  bool hot_ = false;
  bool dragging_ = false;  // the left button went down on it
};
