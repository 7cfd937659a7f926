#include "platform/classlib/stdctrls/ranges.h"

#include <QScrollBar>
#include <QSlider>

#include <algorithm>

#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/edits.h"

IMPLEMENT_CLASS(TProgressBar, TCustomControl)
IMPLEMENT_CLASS(TSliderControl, TWinControl)
IMPLEMENT_CLASS(TTrackBar, TSliderControl)
IMPLEMENT_CLASS(TScrollBar, TSliderControl)
IMPLEMENT_CLASS(TUpDown, TCustomControl)

bool TRangeValue::Set(int newMin, int newMax, int newPosition) {
  if (newMax < newMin) throw EInvalidOperation("Property out of range");
  min = newMin;
  max = newMax;
  const int old = position;
  position = std::clamp(newPosition, newMin, newMax);
  return position != old;
}

// ---- Progress bar ----------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(0, 0, 150, 16);
  SetParentColor(true);
}

void TProgressBar::SetRange(int min, int max) {
  range_.Set(min, max, range_.position);
  Invalidate();
}

void TProgressBar::SetPosition(int v) {
  if (range_.Set(range_.min, range_.max, v)) Invalidate();
}

void TProgressBar::StepBy(int delta) {
  int next = range_.position + delta;
  if (next > range_.max) next = range_.min + (next - range_.max);  // round again from Min
  SetPosition(next);
}

void TProgressBar::SetOrientation(TProgressBarOrientation v) {
  orientation_ = v;
  Invalidate();
}

void TProgressBar::SetSmooth(bool v) {
  smooth_ = v;
  Invalidate();
}

void TProgressBar::PaintContent() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  DrawEdge(c, r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  InflateRect(r, -1, -1);
  const bool across = orientation_ == pbHorizontal;
  const int extent = across ? r.Width() : r.Height();
  const int span = range_.max - range_.min;
  const int filled = span > 0 ? int((long long)(range_.position - range_.min) * extent / span) : 0;
  c->Brush()->SetColor(clHighlight);
  // Blocks two thirds of the thickness long with a gap of two pixels, from
  // the left or from the bottom.
  const int block = smooth_ ? extent : std::max(2, (across ? r.Height() : r.Width()) * 2 / 3);
  const int gap = smooth_ ? 0 : 2;
  for (int at = 0; at < filled; at += block + gap) {
    const int len = std::min(block, filled - at);
    c->FillRect(across ? Rect(r.Left + at, r.Top, r.Left + at + len, r.Bottom)
                       : Rect(r.Left, r.Bottom - at - len, r.Right, r.Bottom - at));
  }
}

// ---- Native sliders --------------------------------------------------------------

struct TSliderControl::Native {
  QAbstractSlider* slider = nullptr;
  QMetaObject::Connection connections[2];
};

struct SliderAccess {
  static void Value(TSliderControl* c, int v) { c->ValueFromNative(v); }
  static void Action(TSliderControl* c, int action) {
    QAbstractSlider* s = c->native_->slider;
    int position = s->sliderPosition();
    c->UserAction(action, position);
    if (position != s->sliderPosition()) s->setSliderPosition(position);
  }
};

TSliderControl::TSliderControl(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
}

TSliderControl::~TSliderControl() { ForgetNative(); }

void TSliderControl::SetParams(int position, int min, int max) {
  const bool moved = range_.Set(min, max, position);
  ApplyRange();
  if (moved) Change();
}

void TSliderControl::SetSmallStep(int v) {
  smallStep_ = std::max(1, v);
  ApplyRange();
}

void TSliderControl::SetLargeStep(int v) {
  largeStep_ = std::max(1, v);
  ApplyRange();
}

void TSliderControl::ApplyRange() {
  if (!native_ || !native_->slider) return;
  QAbstractSlider* s = native_->slider;
  pushing_ = true;
  s->setRange(range_.min, std::max(range_.min, NativeMaximum()));
  s->setSingleStep(smallStep_);
  s->setPageStep(largeStep_);
  s->setValue(range_.position);
  pushing_ = false;
}

void TSliderControl::ValueFromNative(int value) {
  if (pushing_ || value == range_.position) return;
  range_.position = value;
  Change();
}

void TSliderControl::Dispatch(TMessage& m) {
  // The arrow keys move the slider rather than the focus.
  if (m.Msg == WM_GETDLGCODE) {
    m.Result = DLGC_WANTARROWS;
    return;
  }
  TWinControl::Dispatch(m);
}

// The keys move as the class library's bars move, whatever way Qt's sliders
// turn them: Left and Up towards Min, Right and Down towards Max, Page Up
// and Page Down by pages, Home and End to the ends.
void TSliderControl::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == 0 || !shift.Empty() || !native_) return;
  QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
  switch (key) {
    case VK_LEFT: case VK_UP: action = QAbstractSlider::SliderSingleStepSub; break;
    case VK_RIGHT: case VK_DOWN: action = QAbstractSlider::SliderSingleStepAdd; break;
    case VK_PRIOR: action = QAbstractSlider::SliderPageStepSub; break;
    case VK_NEXT: action = QAbstractSlider::SliderPageStepAdd; break;
    case VK_HOME: action = QAbstractSlider::SliderToMinimum; break;
    case VK_END: action = QAbstractSlider::SliderToMaximum; break;
    default: return;
  }
  native_->slider->triggerAction(action);
  key = 0;
}

void TSliderControl::Change() {
  if (OnChange) OnChange(this);
}

void TSliderControl::CreateWnd() {
  TWinControl::CreateWnd();
  native_ = std::make_unique<Native>();
  ConfigureNative();
  ApplyRange();
  QAbstractSlider* s = native_->slider;
  vantrel::qt::EmbedNativeWidget(*this, s);
  native_->connections[0] = QObject::connect(s, &QAbstractSlider::valueChanged, s, [this](int v) {
    vantrel::qt::Guarded([&] { SliderAccess::Value(this, v); });
  });
  native_->connections[1] =
      QObject::connect(s, &QAbstractSlider::actionTriggered, s, [this](int action) {
        vantrel::qt::Guarded([&] { SliderAccess::Action(this, action); });
      });
}

// The slider goes with the window, which may outlive this object.
void TSliderControl::ForgetNative() {
  if (!native_) return;
  for (const QMetaObject::Connection& c : native_->connections) QObject::disconnect(c);
  native_.reset();
}

void TSliderControl::DestroyWnd() {
  ForgetNative();
  TWinControl::DestroyWnd();
}

TTrackBar::TTrackBar(TComponent* AOwner) : TSliderControl(AOwner) {
  SetBounds(0, 0, 150, 45);
  SetParams(0, 0, 10);
}

void TTrackBar::SetOrientation(TTrackBarOrientation v) {
  if (orientation_ == v) return;
  orientation_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetFrequency(int v) {
  frequency_ = std::max(1, v);
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetTickMarks(TTickMark v) {
  tickMarks_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetTickStyle(TTickStyle v) {
  tickStyle_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::ConfigureNative() {
  auto* s = new QSlider(orientation_ == trHorizontal ? Qt::Horizontal : Qt::Vertical);
  QSlider::TickPosition ticks = QSlider::NoTicks;
  if (tickStyle_ != tsNone) {
    // Bottom-right is below a horizontal bar and right of a vertical one.
    ticks = tickMarks_ == tmBoth          ? QSlider::TicksBothSides
            : tickMarks_ == tmBottomRight ? QSlider::TicksBelow
                                          : QSlider::TicksAbove;
  }
  s->setTickPosition(ticks);
  s->setTickInterval(frequency_);
  // A vertical track bar has its minimum at the top, as the class library's.
  s->setInvertedAppearance(orientation_ == trVertical);
  s->setInvertedControls(orientation_ == trVertical);
  native()->slider = s;
}

TScrollBar::TScrollBar(TComponent* AOwner) : TSliderControl(AOwner) {
  SetBounds(0, 0, 121, 16);
  SetSmallStep(1);
  SetLargeStep(1);
}

void TScrollBar::SetKind(TScrollBarKind v) {
  if (kind_ == v) return;
  kind_ = v;
  // A new kind turns the bar: width and height change places.
  if (!ComponentState().Contains(csLoading)) SetBounds(Left(), Top(), Height(), Width());
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBar::SetPageSize(int v) {
  thumbSize_ = std::max(0, v);
  if (Position() > NativeMaximum()) SetPosition(NativeMaximum());
  ApplyRange();
}

int TScrollBar::NativeMaximum() const { return Max() - std::max(thumbSize_ - 1, 0); }

void TScrollBar::ConfigureNative() {
  auto* s = new QScrollBar(kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
  native()->slider = s;
}

void TScrollBar::UserAction(int action, int& position) {
  if (!OnScroll) return;
  TScrollCode code = scPosition;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = scLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = scLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = scPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = scPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = scTop; break;
    case QAbstractSlider::SliderToMaximum: code = scBottom; break;
    case QAbstractSlider::SliderMove: code = scTrack; break;
    default: break;
  }
  OnScroll(this, code, position);
}

// ---- Up-down ---------------------------------------------------------------------

TUpDown::TUpDown(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csCaptureMouse, csDoubleClicks});
  SetBounds(0, 0, 15, 25);
}

TUpDown::~TUpDown() { UnhookAssociate(); }

void TUpDown::SetMin(int v) {
  range_.Set(v, std::max(v, range_.max), range_.position);
  ShowInAssociate();
}

void TUpDown::SetMax(int v) {
  range_.Set(std::min(v, range_.min), v, range_.position);
  ShowInAssociate();
}

void TUpDown::SetPosition(int v) {
  range_.Set(range_.min, range_.max, v);
  ShowInAssociate();
}

void TUpDown::SetOrientation(TUDOrientation v) {
  orientation_ = v;
  Invalidate();
}

void TUpDown::SetAlignButton(TUDAlignButton v) {
  alignButton_ = v;
  PlaceBesideAssociate();
}

void TUpDown::SetArrowKeys(bool v) { arrowKeys_ = v; }

void TUpDown::SetThousands(bool v) {
  thousands_ = v;
  ShowInAssociate();
}

void TUpDown::SetAssociate(TWinControl* value) {
  if (value == associate_) return;
  if (value == this) throw EInvalidOperation("An up-down control cannot be its own associate");
  UnhookAssociate();
  associate_ = value;
  if (!associate_) return;
  associate_->FreeNotification(this);
  HookAssociate();
  PlaceBesideAssociate();
  ShowInAssociate();
}

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == associate_) {
    associate_ = nullptr;  // its hooks went with it
    hook_ = 0;
  }
}

// Up and Down in the associate step the position (with ArrowKeys).
void TUpDown::HookAssociate() {
  hook_ = associate_->AddWindowHook([this](TMessage& m, const TWndMethod& next) {
    const WORD key = WORD(m.WParam);
    if (m.Msg == CN_KEYDOWN && arrowKeys_ && (key == VK_UP || key == VK_DOWN) &&
        TShiftState::FromBits(uint64_t(m.LParam)).Empty()) {
      Step(key == VK_UP ? btNext : btPrev);
      m.Result = 1;
      return;
    }
    next(m);
  });
}

void TUpDown::UnhookAssociate() {
  if (associate_ && hook_) associate_->RemoveWindowHook(hook_);
  if (associate_) associate_->RemoveFreeNotification(this);
  hook_ = 0;
}

namespace {

// "1,000" with thousands, "1000" without.
std::string FormatUpDownNumber(int value, bool thousands) {
  std::string digits = std::to_string(value < 0 ? -(long long)value : (long long)value);
  if (thousands && FormatSettings.ThousandSeparator)
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
      digits.insert(size_t(at), 1, FormatSettings.ThousandSeparator);
  return (value < 0 ? "-" : "") + digits;
}

}  // namespace

void TUpDown::ShowInAssociate() {
  if (associate_) associate_->SetText(FormatUpDownNumber(range_.position, thousands_));
}

void TUpDown::PlaceBesideAssociate() {
  if (!associate_ || placing_) return;
  placing_ = true;
  if (Parent() != associate_->Parent()) SetParent(associate_->Parent());
  // The associate gives up the room the arrows take.
  const TRect a = associate_->BoundsRect();
  associate_->SetBounds(alignButton_ == udRight ? a.Left : a.Left + Width(), a.Top,
                        a.Width() - Width(), a.Height());
  SetBounds(alignButton_ == udRight ? a.Right - Width() : a.Left, a.Top, Width(), a.Height());
  placing_ = false;
}

void TUpDown::Step(TUDBtnType button) {
  // A number typed into the associate counts from where it stands.
  if (auto* edit = dynamic_cast<TCustomEdit*>(associate_)) {
    std::string text;
    for (char ch : edit->Text())
      if (ch != FormatSettings.ThousandSeparator) text += ch;
    try {
      std::size_t used = 0;
      const int typed = std::stoi(text, &used);
      if (used == text.size()) range_.position = std::clamp(typed, range_.min, range_.max);
    } catch (const std::exception&) {
      // Not a number: the position stays.
    }
  }
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  long long next = (long long)range_.position + (button == btNext ? increment_ : -increment_);
  if (next > range_.max) next = wrap_ ? range_.min : range_.max;
  if (next < range_.min) next = wrap_ ? range_.max : range_.min;
  range_.position = int(next);
  ShowInAssociate();
  if (OnClick) OnClick(this, button);
}

TUDBtnType TUpDown::ButtonAt(int x, int y) const {
  // Up (or right) is the next value.
  if (orientation_ == udVertical) return y < Height() / 2 ? btNext : btPrev;
  return x >= Width() / 2 ? btNext : btPrev;
}

void TUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  pressed_ = ButtonAt(X, Y);
  Invalidate();
  if (associate_ && associate_->CanFocus()) associate_->SetFocus();
  Step(TUDBtnType(pressed_));
}

void TUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  pressed_ = -1;
  Invalidate();
}

void TUpDown::PaintContent() {
  TCanvas* c = Canvas();
  const bool vertical = orientation_ == udVertical;
  const int w = Width(), h = Height();
  const TRect halves[2] = {vertical ? Rect(0, 0, w, h / 2) : Rect(w / 2, 0, w, h),
                           vertical ? Rect(0, h / 2, w, h) : Rect(0, 0, w / 2, h)};
  const uint32_t arrows[2] = {vertical ? DFCS_SCROLLUP : DFCS_SCROLLRIGHT,
                              vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLLEFT};
  for (int b = 0; b < 2; ++b) {
    TRect r = halves[b];
    uint32_t state = arrows[b];
    if (pressed_ == b) state |= DFCS_PUSHED;
    if (!Enabled()) state |= DFCS_INACTIVE;
    DrawFrameControl(c, r, DFC_SCROLL, state);
  }
}

PUBLISHED(TProgressBar) {
  PROP_INT(Min, Min, SetMin, 0);
  PROP_INT(Max, Max, SetMax, 100);
  PROP_INT(Position, Position, SetPosition, 0);
  PROP_INT(Step, Step, SetStep, 10);
  PROP_ENUM(Orientation, Orientation, SetOrientation, pbHorizontal);
  PROP_BOOL(Smooth, Smooth, SetSmooth, false);
}

PUBLISHED(TTrackBar) {
  PROP_INT(Min, Min, SetMin, 0);
  PROP_INT(Max, Max, SetMax, 10);
  PROP_INT(Position, Position, SetPosition, 0);
  PROP_INT(Frequency, Frequency, SetFrequency, 1);
  PROP_INT(LineSize, LineSize, SetLineSize, 1);
  PROP_INT(PageSize, PageSize, SetPageSize, 2);
  PROP_ENUM(Orientation, Orientation, SetOrientation, trHorizontal);
  PROP_ENUM(TickMarks, TickMarks, SetTickMarks, tmBottomRight);
  PROP_ENUM(TickStyle, TickStyle, SetTickStyle, tsAuto);
  PROP_EVENT(OnChange);
}

PUBLISHED(TScrollBar) {
  PROP_ENUM(Kind, Kind, SetKind, sbHorizontal);
  PROP_INT(Min, Min, SetMin, 0);
  PROP_INT(Max, Max, SetMax, 100);
  PROP_INT(Position, Position, SetPosition, 0);
  PROP_INT(SmallChange, SmallChange, SetSmallChange, 1);
  PROP_INT(LargeChange, LargeChange, SetLargeChange, 1);
  PROP_INT(PageSize, PageSize, SetPageSize, 0);
  PROP_EVENT(OnChange);
}

PUBLISHED(TUpDown) {
  PROP_INT(Min, Min, SetMin, 0);
  PROP_INT(Max, Max, SetMax, 100);
  PROP_INT(Position, Position, SetPosition, 0);
  PROP_INT(Increment, Increment, SetIncrement, 1);
  PROP_BOOL(Wrap, Wrap, SetWrap, false);
  PROP_BOOL(ArrowKeys, ArrowKeys, SetArrowKeys, true);
  PROP_BOOL(Thousands, Thousands, SetThousands, true);
  PROP_ENUM(Orientation, Orientation, SetOrientation, udVertical);
  PROP_ENUM(AlignButton, AlignButton, SetAlignButton, udRight);
}
