#pragma once
// TTimer: fires OnTimer every Interval milliseconds while Enabled, from the
// event loop (so handlers run between other messages, never inside them).

#include <memory>

#include "platform/classlib/core/component.h"
#include "platform/classlib/core/strings.h"

class TTimer : public TComponent {
  DECLARE_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Milliseconds; 0 stops the timer.
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);

  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool enabled_ = true;
  unsigned interval_ = 1000;
};
