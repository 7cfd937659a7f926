#include "platform/classlib/controls/timer.h"

#include <QCoreApplication>
#include <QTimer>

#include "platform/classlib/controls/qtbackend.h"

IMPLEMENT_CLASS(TTimer, TComponent)

struct TTimer::Impl {
  std::unique_ptr<QTimer> timer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), impl_(std::make_unique<Impl>()) {
  UpdateTimer();
}

TTimer::~TTimer() { impl_->timer.reset(); }

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (impl_->timer) impl_->timer->stop();
  if (!enabled_ || interval_ == 0 || !QCoreApplication::instance()) return;
  if (!impl_->timer) {
    impl_->timer = std::make_unique<QTimer>();
    QObject::connect(impl_->timer.get(), &QTimer::timeout, [this] {
      try {
        Timer();
      } catch (...) {
        vantrel::qt::ReportException(std::current_exception());
      }
    });
  }
  impl_->timer->start(int(std::min<unsigned>(interval_, 0x7FFFFFFF)));
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}
