#include "platform/classlib/controls/outline.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <array>

#include "platform/classlib/controls/controlwidgets.h"
#include "platform/classlib/graphics/qtbridge.h"

namespace {

// One side of the outline: a small window that passes the mouse through.
class Side : public QWidget {
 public:
  Side()
      : QWidget(nullptr, vantrel::controlsimpl::kNoActivateFlags | Qt::WindowStaysOnTopHint |
                             Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    // The halftone: alternate pixels black and white, aligned to the screen.
    QPainter p(this);
    QBrush halftone(Qt::Dense4Pattern);
    halftone.setColor(Qt::black);
    p.fillRect(rect(), Qt::white);
    p.setBrushOrigin(-pos());
    p.fillRect(rect(), halftone);
  }
};

}  // namespace

struct TScreenOutline::Impl {
  std::array<std::unique_ptr<Side>, 4> sides;
};

TScreenOutline::TScreenOutline() : impl_(std::make_unique<Impl>()) {}
TScreenOutline::~TScreenOutline() = default;

void TScreenOutline::Show(const TRect& r, int width) {
  if (!QApplication::instance() || IsRectEmpty(r) || width <= 0) {
    Hide();
    return;
  }
  rect_ = r;
  width_ = width;
  const int w = std::min(width, std::min(r.Width(), r.Height()) / 2 + 1);
  const QRect parts[4] = {
      QRect(r.Left, r.Top, r.Width(), w),                        // top
      QRect(r.Left, r.Bottom - w, r.Width(), w),                 // bottom
      QRect(r.Left, r.Top + w, w, std::max(0, r.Height() - 2 * w)),   // left
      QRect(r.Right - w, r.Top + w, w, std::max(0, r.Height() - 2 * w))  // right
  };
  for (int i = 0; i < 4; ++i) {
    auto& side = impl_->sides[size_t(i)];
    if (!side) side = std::make_unique<Side>();
    side->setGeometry(parts[i]);
    side->setVisible(!parts[i].isEmpty());
    side->update();
  }
  visible_ = true;
}

void TScreenOutline::Hide() {
  for (auto& side : impl_->sides)
    if (side) side->hide();
  visible_ = false;
}
