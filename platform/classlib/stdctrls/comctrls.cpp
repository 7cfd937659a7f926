#include "platform/classlib/stdctrls/comctrls.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/classlib/controls/timer.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TMonthCalendar, TCustomControl)
IMPLEMENT_CLASS(TAnimate, TCustomControl)

// ---- Month calendar ------------------------------------------------------------------

namespace {

// Six weeks always show, so the grid keeps its size from month to month.
constexpr int kWeeks = 6, kDays = 7;
// Room round a day number and round the title.
constexpr int kCellPadX = 8, kCellPadY = 4, kTitlePad = 8;

TDateTime DayOnly(TDateTime d) { return std::floor(double(d)); }

}  // namespace

struct TMonthCalendar::Grid {
  int cellW = 0, cellH = 0, titleH = 0, headerH = 0;
  TPoint origin;  // top-left of the first day cell
};

TMonthCalendar::TMonthCalendar(TComponent* AOwner) : TCustomControl(AOwner), date_(DayOnly(::Date())) {
  // OnClick is for clicks on days only (the arrows just turn the month).
  SetControlStyle(TControlStyle{csCaptureMouse, csDoubleClicks});
  SetBounds(0, 0, 191, 154);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
}

TMonthCalendar::~TMonthCalendar() = default;

void TMonthCalendar::SetDate(TDateTime value) {
  value = DayOnly(value);
  if (double(value) == double(date_)) return;
  date_ = value;
  Invalidate();
  if (OnChange) OnChange(this);
}

TMonthCalendar::Grid TMonthCalendar::Measure() const {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  Grid g;
  const int textH = c->TextHeight("0");
  g.cellW = c->TextWidth("00") + kCellPadX;
  for (const std::string& day : FormatSettings.ShortDayNames) g.cellW = std::max(g.cellW, c->TextWidth(day.substr(0, 3)) + 4);
  g.cellH = textH + kCellPadY;
  g.titleH = textH + kTitlePad;
  g.headerH = textH + kCellPadY;
  g.origin = {std::max(0, (ClientWidth() - kDays * g.cellW) / 2), g.titleH + g.headerH};
  return g;
}

TDateTime TMonthCalendar::FirstShown() const {
  std::uint16_t y, m, d;
  DecodeDate(date_, y, m, d);
  const TDateTime first = EncodeDate(y, m, 1);
  return double(first) - (DayOfWeek(first) - 1);
}

TRect TMonthCalendar::DayRect(TDateTime day) const {
  const int index = int(double(DayOnly(day)) - double(FirstShown()));
  if (index < 0 || index >= kWeeks * kDays) return TRect{};
  const Grid g = Measure();
  const int x = g.origin.x + (index % kDays) * g.cellW, y = g.origin.y + (index / kDays) * g.cellH;
  return Rect(x, y, x + g.cellW, y + g.cellH);
}

TRect TMonthCalendar::PrevMonthRect() const {
  const int h = Measure().titleH;
  return Rect(2, 2, h - 2, h - 2);
}

TRect TMonthCalendar::NextMonthRect() const {
  const int h = Measure().titleH;
  return Rect(ClientWidth() - h + 2, 2, ClientWidth() - 2, h - 2);
}

void TMonthCalendar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  dayClicked_ = false;
  if (Button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    if (PtInRect(PrevMonthRect(), {X, Y})) SetDate(IncMonth(date_, -1));
    else if (PtInRect(NextMonthRect(), {X, Y})) SetDate(IncMonth(date_, 1));
    else
      for (int i = 0; i < kWeeks * kDays; ++i) {
        const TDateTime day = double(FirstShown()) + i;
        if (PtInRect(DayRect(day), {X, Y})) {
          dayClicked_ = true;
          SetDate(day);
          break;
        }
      }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TMonthCalendar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft && dayClicked_) {
    dayClicked_ = false;
    Click();
  }
}

void TMonthCalendar::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  std::uint16_t y, m, d;
  DecodeDate(date_, y, m, d);
  TDateTime to = date_;
  switch (Key) {
    case VK_LEFT: to = double(date_) - 1; break;
    case VK_RIGHT: to = double(date_) + 1; break;
    case VK_UP: to = double(date_) - kDays; break;
    case VK_DOWN: to = double(date_) + kDays; break;
    case VK_PRIOR: to = IncMonth(date_, -1); break;
    case VK_NEXT: to = IncMonth(date_, 1); break;
    case VK_HOME: to = EncodeDate(y, m, 1); break;
    case VK_END: to = EncodeDate(y, m, DaysInAMonth(y, m)); break;
    default: return;
  }
  SetDate(to);
  Key = 0;
}

void TMonthCalendar::PaintContent() {
  TCanvas* c = Canvas();
  const Grid g = Measure();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->SetFont(Font());
  // Title: month and year between the two arrows.
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(0, 0, ClientWidth(), g.titleH));
  TRect prev = PrevMonthRect(), next = NextMonthRect();
  DrawFrameControl(c, prev, DFC_SCROLL, DFCS_SCROLLLEFT);
  DrawFrameControl(c, next, DFC_SCROLL, DFCS_SCROLLRIGHT);
  c->Brush()->SetStyle(bsClear);
  TRect title = Rect(0, 0, ClientWidth(), g.titleH);
  DrawText(c, FormatDateTime("mmmm yyyy", date_), title, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  // Day names over a line.
  for (int i = 0; i < kDays; ++i) {
    TRect r = Rect(g.origin.x + i * g.cellW, g.titleH, g.origin.x + (i + 1) * g.cellW, g.origin.y - 1);
    DrawText(c, FormatSettings.ShortDayNames[size_t(i)].substr(0, 3), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  c->Pen()->SetColor(clGrayText);
  c->MoveTo(g.origin.x, g.origin.y - 1);
  c->LineTo(g.origin.x + kDays * g.cellW, g.origin.y - 1);
  std::uint16_t year, month, day;
  DecodeDate(date_, year, month, day);
  const TDateTime today = DayOnly(::Date());
  for (int i = 0; i < kWeeks * kDays; ++i) {
    const TDateTime d = double(FirstShown()) + i;
    std::uint16_t dy, dm, dd;
    DecodeDate(d, dy, dm, dd);
    TRect r = DayRect(d);
    const bool chosen = double(d) == double(date_);
    c->Brush()->SetStyle(bsSolid);
    if (chosen) {
      c->Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
      c->FillRect(r);
    }
    c->Font()->SetColor(chosen && Focused() ? clHighlightText : dm == month ? clWindowText : clGrayText);
    c->Brush()->SetStyle(bsClear);
    TRect text = r;
    InflateRect(text, -kCellPadX / 4, 0);
    DrawText(c, std::to_string(dd), text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    if (double(d) == double(today)) {
      c->Brush()->SetColor(clMaroon);
      c->FrameRect(r);
    }
  }
  c->Brush()->SetStyle(bsSolid);
}

// ---- Animation -----------------------------------------------------------------------

namespace {

// Frames of the busy loop and their pace (ten a second, as the shell plays).
constexpr int kFrames = 16;
constexpr unsigned kFrameMs = 100;

}  // namespace

TAnimate::TAnimate(TComponent* AOwner) : TCustomControl(AOwner), timer_(std::make_unique<TTimer>(nullptr)) {
  SetBounds(0, 0, 100, 80);
  timer_->SetEnabled(false);
  timer_->SetInterval(kFrameMs);
  timer_->OnTimer = [this](TObject*) { NextFrame(); };
}

TAnimate::~TAnimate() = default;

int TAnimate::FrameCount() const { return kFrames; }

void TAnimate::SetCommonAVI(TCommonAVI value) {
  commonAVI_ = value;
  Invalidate();
}

void TAnimate::Play(int fromFrame, int toFrame, int count) {
  from_ = std::clamp(fromFrame, 0, kFrames - 1);
  to_ = std::clamp(toFrame, from_, kFrames - 1);
  roundsLeft_ = std::max(0, count);
  frame_ = from_;
  const bool was = active_;
  active_ = true;
  timer_->SetEnabled(true);
  Invalidate();
  if (!was && OnStart) OnStart(this);
}

void TAnimate::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Play(0, kFrames - 1, repetitions_);
    return;
  }
  active_ = false;
  timer_->SetEnabled(false);
  if (OnStop) OnStop(this);
}

void TAnimate::NextFrame() {
  if (!active_) return;
  if (frame_ < to_) {
    ++frame_;
  } else if (roundsLeft_ == 1) {
    SetActive(false);  // the last round ends on its last frame
    return;
  } else {
    if (roundsLeft_ > 1) --roundsLeft_;
    frame_ = from_;
  }
  Invalidate();
}

void TAnimate::PaintContent() {
  // A sheet of paper flies in an arc from one folder to the other.
  TCanvas* c = Canvas();
  const TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const int w = r.Width(), h = r.Height();
  const int folderW = std::max(8, w / 5), folderH = std::max(6, h / 4);
  const int base = h - 4;
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clYellow);
  for (int x : {4, w - 4 - folderW}) c->Rectangle(x, base - folderH, x + folderW, base);
  const double t = double(frame_) / double(kFrames - 1);
  const int fromX = 4 + folderW / 2, toX = w - 4 - folderW / 2;
  const int x = fromX + int((toX - fromX) * t);
  const int lift = int((h - folderH - 12) * std::sin(t * 3.14159265358979));
  const int pageW = std::max(4, folderW / 2), pageH = std::max(5, folderH * 2 / 3);
  const int y = base - folderH - lift;
  c->Brush()->SetColor(clWhite);
  c->Rectangle(x - pageW / 2, y - pageH, x + pageW / 2, y);
}

PUBLISHED(TAnimate) {
  PROP_BOOL(Active, Active, SetActive, false);
  PROP_ENUM(CommonAVI, CommonAVI, SetCommonAVI, aviNone);
  PROP_INT(Repetitions, Repetitions, SetRepetitions, 0);
  PROP_EVENT(OnStart);
  PROP_EVENT(OnStop);
}

PUBLISHED(TMonthCalendar) {
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
  PROP_DEFAULT(TabStop, true);
  PROP_EVENT(OnChange);
}
