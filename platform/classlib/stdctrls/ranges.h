#pragma once
// Controls that show or choose a value in a range: the progress bar (drawn
// here in the classic look), the track bar and the scroll bar (native
// sliders, so that keyboard and mouse work as users expect), and the up-down
// arrows that step a number, usually in an edit beside them.

#include <memory>

#include "platform/classlib/controls/controls.h"

DECLARE_ENUM(TProgressBarOrientation, pbHorizontal, pbVertical)
DECLARE_ENUM(TTrackBarOrientation, trHorizontal, trVertical)
DECLARE_ENUM(TTickMark, tmBottomRight, tmTopLeft, tmBoth)
DECLARE_ENUM(TTickStyle, tsNone, tsAuto, tsManual)
DECLARE_ENUM(TScrollBarKind, sbHorizontal, sbVertical)
DECLARE_ENUM(TScrollCode, scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack,
             scTop, scBottom, scEndScroll)
DECLARE_ENUM(TUDOrientation, udHorizontal, udVertical)
DECLARE_ENUM(TUDAlignButton, udLeft, udRight)
DECLARE_ENUM(TUDBtnType, btNext, btPrev)

using TScrollEvent =
    std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// A range Min..Max with a position kept inside it; a range whose Max is below
// Min raises EInvalidOperation.
struct TRangeValue {
  int min = 0, max = 100, position = 0;
  // Returns whether the position moved.
  bool Set(int newMin, int newMax, int newPosition);
};

class TProgressBar : public TCustomControl {
  DECLARE_CLASS(TProgressBar, TCustomControl)
 public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return range_.min; }
  void SetMin(int v) { SetRange(v, range_.max); }
  int Max() const { return range_.max; }
  void SetMax(int v) { SetRange(range_.min, v); }
  void SetRange(int min, int max);
  int Position() const { return range_.position; }
  void SetPosition(int v);
  int Step() const { return step_; }
  void SetStep(int v) { step_ = v; }
  // Moves by Step (by `delta`); past Max it starts again at Min, as the
  // class library's bar does.
  void StepIt() { StepBy(step_); }
  void StepBy(int delta);
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation v);
  // Smooth fills without the gaps between blocks.
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v);

 protected:
  void PaintContent() override;

 private:
  TRangeValue range_;
  int step_ = 10;
  TProgressBarOrientation orientation_ = pbHorizontal;
  bool smooth_ = false;
};

// What the track bar and the scroll bar share: a native slider under a range.
class TSliderControl : public TWinControl {
  DECLARE_CLASS(TSliderControl, TWinControl)
 public:
  explicit TSliderControl(TComponent* AOwner);
  ~TSliderControl() override;
  int Min() const { return range_.min; }
  void SetMin(int v) { SetParams(range_.position, v, range_.max); }
  int Max() const { return range_.max; }
  void SetMax(int v) { SetParams(range_.position, range_.min, v); }
  int Position() const { return range_.position; }
  void SetPosition(int v) { SetParams(v, range_.min, range_.max); }
  void SetParams(int position, int min, int max);
  TNotifyEvent OnChange;

  void Dispatch(TMessage& message) override;

  struct Native;

 protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();
  void KeyDown(WORD& Key, TShiftState Shift) override;
  // The native slider to build (orientation, ticks) and how the range maps to it.
  virtual void ConfigureNative() = 0;
  virtual int NativeMaximum() const { return range_.max; }
  // A user's move before it happens: the scroll bar tells OnScroll.
  virtual void UserAction(int action, int& position) { (void)action, (void)position; }
  Native* native() const { return native_.get(); }
  void ApplyRange();
  // Arrow keys move by the small step, Page keys and clicks beside the thumb
  // by the large one.
  int SmallStep() const { return smallStep_; }
  void SetSmallStep(int v);
  int LargeStep() const { return largeStep_; }
  void SetLargeStep(int v);

 private:
  friend struct SliderAccess;
  void ValueFromNative(int value);
  void ForgetNative();
  std::unique_ptr<Native> native_;
  TRangeValue range_;
  int smallStep_ = 1;
  int largeStep_ = 2;
  bool pushing_ = false;
};

class TTrackBar : public TSliderControl {
  DECLARE_CLASS(TTrackBar, TSliderControl)
 public:
  explicit TTrackBar(TComponent* AOwner);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation v);
  // A tick every Frequency positions (tsAuto).
  int Frequency() const { return frequency_; }
  void SetFrequency(int v);
  TTickMark TickMarks() const { return tickMarks_; }
  void SetTickMarks(TTickMark v);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle v);
  int LineSize() const { return SmallStep(); }
  void SetLineSize(int v) { SetSmallStep(v); }
  int PageSize() const { return LargeStep(); }
  void SetPageSize(int v) { SetLargeStep(v); }

 protected:
  void ConfigureNative() override;

 private:
  TTrackBarOrientation orientation_ = trHorizontal;
  int frequency_ = 1;
  TTickMark tickMarks_ = tmBottomRight;
  TTickStyle tickStyle_ = tsAuto;
};

class TScrollBar : public TSliderControl {
  DECLARE_CLASS(TScrollBar, TSliderControl)
 public:
  explicit TScrollBar(TComponent* AOwner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind v);
  int SmallChange() const { return SmallStep(); }
  void SetSmallChange(int v) { SetSmallStep(v); }
  int LargeChange() const { return LargeStep(); }
  void SetLargeChange(int v) { SetLargeStep(v); }
  // The thumb's share of the range; the position then goes to Max - PageSize + 1.
  int PageSize() const { return thumbSize_; }
  void SetPageSize(int v);

  // Told of every move by the user before it is made; may change the position.
  TScrollEvent OnScroll;

 protected:
  void ConfigureNative() override;
  int NativeMaximum() const override;
  void UserAction(int action, int& position) override;

 private:
  TScrollBarKind kind_ = sbHorizontal;
  int thumbSize_ = 0;
};

// Two arrow buttons stepping Position by Increment between Min and Max. An
// associated control (an edit) shows the position and sits beside the
// arrows; with ArrowKeys its Up and Down keys step too.
class TUpDown : public TCustomControl {
  DECLARE_CLASS(TUpDown, TCustomControl)
 public:
  explicit TUpDown(TComponent* AOwner);
  ~TUpDown() override;

  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* value);
  int Min() const { return range_.min; }
  void SetMin(int v);
  int Max() const { return range_.max; }
  void SetMax(int v);
  int Position() const { return range_.position; }
  void SetPosition(int v);
  int Increment() const { return increment_; }
  void SetIncrement(int v) { increment_ = v; }
  // Past an end the position goes round to the other end.
  bool Wrap() const { return wrap_; }
  void SetWrap(bool v) { wrap_ = v; }
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation v);
  TUDAlignButton AlignButton() const { return alignButton_; }
  void SetAlignButton(TUDAlignButton v);
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool v);
  // The associate shows "1,000" for 1000.
  bool Thousands() const { return thousands_; }
  void SetThousands(bool v);

  // Steps as a press of a button does: OnChanging may refuse, then OnClick.
  void Step(TUDBtnType button);

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  TUDBtnType ButtonAt(int x, int y) const;
  void ShowInAssociate();
  void PlaceBesideAssociate();
  void HookAssociate();
  void UnhookAssociate();

  TWinControl* associate_ = nullptr;
  int hook_ = 0;
  TRangeValue range_{0, 100, 0};
  int increment_ = 1;
  bool wrap_ = false;
  TUDOrientation orientation_ = udVertical;
  TUDAlignButton alignButton_ = udRight;
  bool arrowKeys_ = true;
  bool thousands_ = true;
  int pressed_ = -1;  // the button held down (a TUDBtnType), -1 none
  bool placing_ = false;
};
