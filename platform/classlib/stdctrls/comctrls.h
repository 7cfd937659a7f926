#pragma once
// Two small common controls: the month calendar (one month of days to pick a
// date from) and the animation (a looping busy picture drawn in code).

#include <memory>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/datetime.h"

class TTimer;

class TMonthCalendar : public TCustomControl {
  DECLARE_CLASS(TMonthCalendar, TCustomControl)
 public:
  explicit TMonthCalendar(TComponent* AOwner);
  ~TMonthCalendar() override;

  // The chosen day (the time of day is dropped); its month is the one shown.
  TDateTime Date() const { return date_; }
  void SetDate(TDateTime value);
  // The cell of a day of the month shown; empty for days not shown.
  TRect DayRect(TDateTime day) const;
  // The title's arrows that step a month back and forward.
  TRect PrevMonthRect() const;
  TRect NextMonthRect() const;

  // After every change of Date, from code or by the user.
  TNotifyEvent OnChange;

 protected:
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;

 private:
  struct Grid;
  Grid Measure() const;
  // The first day of the six weeks shown.
  TDateTime FirstShown() const;

  TDateTime date_;
  bool dayClicked_ = false;
};

DECLARE_ENUM(TCommonAVI, aviNone, aviFindFolder, aviFindFile, aviFindComputer, aviCopyFiles,
             aviCopyFile, aviRecycleFile, aviEmptyRecycle, aviDeleteFile)

class TAnimate : public TCustomControl {
  DECLARE_CLASS(TAnimate, TCustomControl)
 public:
  explicit TAnimate(TComponent* AOwner);
  ~TAnimate() override;

  // Playing: the frames go round until stopped (or Repetitions runs out).
  bool Active() const { return active_; }
  void SetActive(bool value);
  TCommonAVI CommonAVI() const { return commonAVI_; }
  void SetCommonAVI(TCommonAVI value);
  // Rounds to play when activated (0: without end).
  int Repetitions() const { return repetitions_; }
  void SetRepetitions(int value) { repetitions_ = value < 0 ? 0 : value; }
  int FrameCount() const;
  int CurrentFrame() const { return frame_; }
  void Play(int fromFrame, int toFrame, int count);
  void Stop() { SetActive(false); }

  TNotifyEvent OnStart;
  TNotifyEvent OnStop;

 protected:
  void PaintContent() override;

 private:
  void NextFrame();

  std::unique_ptr<TTimer> timer_;
  bool active_ = false;
  TCommonAVI commonAVI_ = aviNone;
  int repetitions_ = 0;
  int frame_ = 0;
  int from_ = 0, to_ = 0, roundsLeft_ = 0;
};
