// Painting: invalidation, the paint cycle, graphic children and control canvases.

#include "platform/classlib/controls/controlwidgets.h"

#include <QCoreApplication>
#include <QImage>

#include "platform/classlib/graphics/images.h"

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

void TControl::Invalidate() {
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}
void TControl::Update() {
  if (parent_) parent_->Update();
}
void TControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::PaintTo(TCanvas* canvas, int x, int y) {
  if (!canvas) return;
  HandleNeeded();
  QImage image(width_, height_, QImage::Format_RGB32);
  image.fill(Qt::white);
  backend_->window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(x, y, image);
  p.restore();
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) {
    backend_->window->update();
    backend_->client->update();
  }
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (HandleAllocated()) backend_->client->update(ToQRect(r));
}

void TWinControl::Update() {
  if (!HandleAllocated()) return;
  QWidget* top = backend_->window->window();
  QCoreApplication::sendPostedEvents(top, QEvent::UpdateRequest);
  QCoreApplication::sendPostedEvents(backend_->window, QEvent::UpdateRequest);
}

// ---- Painting ----------------------------------------------------------------------

void TWinControl::PaintHandler(TCanvas* dc, const TRect& updateRect) {
  Perform(WM_ERASEBKGND, WPARAM(dc));
  PaintWindow(dc);
  PaintControls(dc, updateRect);
}

void TWinControl::PaintControls(TCanvas* dc, const TRect& updateRect) {
  QPainter& p = ActivePainter(*dc);
  for (TControl* c : std::vector<TControl*>(controls_)) {
    TRect hit;
    if (!HasChild(c)) continue;  // freed by the painting of an earlier one
    if (!c->Visible() || !IntersectRect(hit, c->BoundsRect(), updateRect)) continue;
    p.save();
    p.translate(c->Left(), c->Top());
    p.setClipRect(QRect(0, 0, c->Width(), c->Height()), Qt::IntersectClip);
    TMessage m{WM_PAINT, WPARAM(dc), 0, 0};
    c->Perform(m);
    p.restore();
  }
}

// ---- Canvases and painted controls ---------------------------------------------------

TControlCanvas::~TControlCanvas() { Unbind(*this); }

void TControlCanvas::CreateHandle() {
  const int w = control_ ? std::max(1, control_->Width()) : 1;
  const int h = control_ ? std::max(1, control_->Height()) : 1;
  if (!scratch_) scratch_ = std::make_unique<TBitmap>();
  scratch_->SetSize(w, h);
  QImage& img = BitmapImage(*scratch_);
  BindDevice(*this, &img, &img);
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}
TCustomControl::~TCustomControl() = default;

namespace {
// Lends the painter of `dc` to a control's canvas while `paint` runs.
template <class F>
void PaintThrough(TCanvas* dc, TCanvas& canvas, F&& paint) {
  QPainter& p = ActivePainter(*dc);
  p.save();
  BindPainter(canvas, &p);
  try {
    paint();
  } catch (...) {
    Unbind(canvas);
    p.restore();
    throw;
  }
  Unbind(canvas);
  p.restore();
}
}  // namespace

void TCustomControl::PaintWindow(TCanvas* dc) {
  PaintThrough(dc, *canvas_, [this] { PaintContent(); });
}

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg != WM_PAINT) {
    TControl::Dispatch(m);
    return;
  }
  if (auto* dc = reinterpret_cast<TCanvas*>(m.WParam))
    PaintThrough(dc, *canvas_, [this] { PaintContent(); });
}

// ---- Window functions of painting -------------------------------------------------

void InvalidateRect(HWND wnd, const TRect* r, bool) {
  if (!wnd) return;
  if (r) wnd->InvalidateRect(*r);
  else wnd->Invalidate();
}

void ValidateRect(HWND, const TRect*) {
  // Qt keeps no invalid region we could shrink; painting what is pending is harmless.
}

void UpdateWindow(HWND wnd) {
  if (wnd) wnd->Update();
}
