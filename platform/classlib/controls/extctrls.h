#pragma once
// Simple controls: panels, labels, bevels, images, shapes, paint boxes,
// splitters and scroll boxes.

#include <memory>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/graphics/images.h"

DECLARE_ENUM(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace)
DECLARE_ENUM(TTextLayout, tlTop, tlCenter, tlBottom)

class TPanel : public TCustomControl {
  DECLARE_CLASS(TPanel, TCustomControl)
 public:
  explicit TPanel(TComponent* AOwner);

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut v);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut v);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int v);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);

  void Dispatch(TMessage& message) override;

 protected:
  void PaintContent() override;
  // Children are aligned inside the bevels and the border.
  void AdjustClientRect(TRect& rect) override;

 private:
  int FrameWidth() const;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};

class TLabel : public TGraphicControl {
  DECLARE_CLASS(TLabel, TGraphicControl)
 public:
  explicit TLabel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  // The control that takes the focus when the label's mnemonic is typed.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c);

  void Dispatch(TMessage& message) override;

 protected:
  void PaintContent() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  uint32_t TextFlags() const;
  void AdjustBounds();
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

DECLARE_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine,
             bsSpacer)
DECLARE_ENUM(TBevelStyle, bsLowered, bsRaised)

class TBevel : public TGraphicControl {
  DECLARE_CLASS(TBevel, TGraphicControl)
 public:
  explicit TBevel(TComponent* AOwner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape v);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle v);

 protected:
  void PaintContent() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

class TImage : public TGraphicControl {
  DECLARE_CLASS(TImage, TGraphicControl)
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture* p) { picture_->Assign(p); }
  // Drawing on the image: its picture becomes a bitmap of the control's size.
  TCanvas* Canvas();
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool Center() const { return center_; }
  void SetCenter(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);

 protected:
  void PaintContent() override;

 private:
  void PictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
  bool autoSize_ = false;
  bool drawing_ = false;
};

DECLARE_ENUM(TShapeType, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle)

class TShape : public TGraphicControl {
  DECLARE_CLASS(TShape, TGraphicControl)
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType v);
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }

 protected:
  void PaintContent() override;

 private:
  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};

class TPaintBox : public TGraphicControl {
  DECLARE_CLASS(TPaintBox, TGraphicControl)
 public:
  explicit TPaintBox(TComponent* AOwner);
  TNotifyEvent OnPaint;

 protected:
  void PaintContent() override;
};

using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// Resizes the control aligned next to it (on the same side) by dragging.
class TSplitter : public TGraphicControl {
  DECLARE_CLASS(TSplitter, TGraphicControl)
 public:
  explicit TSplitter(TComponent* AOwner);
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool v);
  // The smallest size the resized control (and the space left) may have.
  int MinSize() const { return minSize_; }
  void SetMinSize(int v) { minSize_ = v < 1 ? 1 : v; }
  TNotifyEvent OnMoved;
  TCanResizeEvent OnCanResize;

 protected:
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TControl* FindResized() const;
  int SizeOf(TControl* c) const;
  bool Horizontal() const { return Align() == alLeft || Align() == alRight; }
  TControl* resized_ = nullptr;
  TPoint down_;
  int startSize_ = 0;
  int maxSize_ = 0;
  bool beveled_ = false;
  int minSize_ = 30;
};

// A window whose children may extend beyond it; the positions scroll them.
class TScrollBox : public TCustomControl {
  DECLARE_CLASS(TScrollBox, TCustomControl)
 public:
  explicit TScrollBox(TComponent* AOwner);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  // Scroll positions and their ranges (how far the children reach past the client area).
  int HorzPosition() const { return hpos_; }
  int VertPosition() const { return vpos_; }
  void SetHorzPosition(int v);
  void SetVertPosition(int v);
  int HorzRange() const;
  int VertRange() const;
  void ScrollBy(int dx, int dy);
  // Scrolls just enough for the control to be seen whole (when it fits).
  void ScrollInView(TControl* control);

  void Dispatch(TMessage& message) override;

 protected:
  void PaintContent() override;

 private:
  // Shows the window's scroll bars while the children reach past the client area.
  void UpdateScrollBars();
  static constexpr int kLineStep = 8;
  TBorderStyle borderStyle_ = bsSingle;
  int hpos_ = 0;
  int vpos_ = 0;
  bool updatingBars_ = false;
};
