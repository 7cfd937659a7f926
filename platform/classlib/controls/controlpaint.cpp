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
    ControlAccess::DropOverlay(this);
    backend_->validated = QRegion();
    backend_->window->update();
    backend_->client->update();
  }
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (!HandleAllocated()) return;
  ControlAccess::DropOverlay(this);
  backend_->validated -= ToQRect(r);
  backend_->client->update(ToQRect(r));
}

// ---- The paint cycle ---------------------------------------------------------------

void VClient::paintEvent(QPaintEvent* e) {
  if (!control) return;
  Guarded([&] {
    TWinControl::Backend& b = *control->backend();
    QPainter p(this);
    if (b.overlay) {
      if (b.overlayCanvas) ReleasePainter(*b.overlayCanvas);  // its drawing is complete
      p.drawImage(0, 0, *b.overlay);
      return;
    }
    // What ValidateRect took out keeps the pixels it has.
    const QRegion region = e->region() - b.validated;
    b.validated = QRegion();
    if (region.isEmpty()) return;
    p.setClipRegion(region);
    TCanvas dc;
    BindPainter(dc, &p);
    TRect r = FromQRect(region.boundingRect());
    TMessage m{WM_PAINT, WPARAM(&dc), LPARAM(&r), 0};
    control->Perform(m);
    Unbind(dc);
  });
}

QImage* ControlAccess::Overlay(TWinControl* w, TCanvas* canvas) {
  if (!w->HandleAllocated() || !w->Showing()) return nullptr;
  TWinControl::Backend& b = *w->backend_;
  if (!b.overlay) {
    // Starts as the control looks now, so that inverting drawing (a sizing
    // line drawn twice) erases itself.
    auto looks = std::make_unique<QImage>(b.client->size(), QImage::Format_RGB32);
    looks->fill(Qt::white);
    b.client->render(looks.get(), QPoint(), QRegion(), QWidget::DrawChildren);
    b.overlay = std::move(looks);
  }
  if (b.overlayCanvas && b.overlayCanvas != canvas) Unbind(*b.overlayCanvas);
  b.overlayCanvas = canvas;
  return b.overlay.get();
}

void ControlAccess::DropOverlay(TWinControl* w) {
  TWinControl::Backend& b = *w->backend_;
  if (!b.overlay) return;
  if (b.overlayCanvas) Unbind(*b.overlayCanvas);
  b.overlayCanvas = nullptr;
  b.overlay.reset();
}

void TWinControl::Update() {
  if (!HandleAllocated()) return;
  QWidget* top = backend_->window->window();
  QCoreApplication::sendPostedEvents(top, QEvent::UpdateRequest);
  QCoreApplication::sendPostedEvents(backend_->window, QEvent::UpdateRequest);
}

// ---- Painting ----------------------------------------------------------------------

bool ControlAccess::PaintMessage(TWinControl* w, TMessage& m) {
  auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
  switch (m.Msg) {
    case WM_PAINT: {
      const TRect* r = reinterpret_cast<const TRect*>(m.LParam);
      if (dc) w->PaintHandler(dc, r ? *r : w->ClientRect());
      return true;
    }
    case WM_ERASEBKGND:
      if (dc) ActivePainter(*dc).fillRect(ToQRect(w->ClientRect()), ToQColor(w->Color()));
      m.Result = 1;
      return true;
    default:
      return false;
  }
}

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

TControlCanvas::~TControlCanvas() {
  Unbind(*this);
  if (auto* w = dynamic_cast<TWinControl*>(control_); w && w->backend()->overlayCanvas == this)
    w->backend()->overlayCanvas = nullptr;
}

void TControlCanvas::CreateHandle() {
  // Outside painting a shown window control draws on its overlay; anything
  // else on a scratch surface, where the drawing is lost.
  if (auto* w = dynamic_cast<TWinControl*>(control_))
    if (QImage* overlay = ControlAccess::Overlay(w, this)) {
      BindDevice(*this, overlay, overlay);
      return;
    }
  const int w = control_ ? std::max(1, control_->Width()) : 1;
  const int h = control_ ? std::max(1, control_->Height()) : 1;
  if (!scratch_) scratch_ = std::make_unique<TBitmap>();
  scratch_->SetSize(w, h);
  QImage& img = BitmapImage(*scratch_);
  BindDevice(*this, &img, &img);
}

void TControlCanvas::Changed() {
  TCanvas::Changed();
  if (auto* w = dynamic_cast<TWinControl*>(control_); w && w->HandleAllocated())
    if (w->backend()->overlayCanvas == this) w->backend()->client->update();
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

namespace {

// The client rectangle a scroll moves: `scroll` (or the client area) within `clip`.
QRect ScrolledArea(TWinControl* w, const TRect* scroll, const TRect* clip) {
  QRect r = ToQRect(scroll ? *scroll : w->ClientRect()) & ToQRect(w->ClientRect());
  if (clip) r &= ToQRect(*clip);
  return r;
}

}  // namespace

int ScrollWindowEx(HWND wnd, int dx, int dy, const TRect* scroll, const TRect* clip,
                   TRect* update, UINT flags) {
  if (!wnd) return 0;
  const QRect r = ScrolledArea(wnd, scroll, clip);
  // The strip the move uncovers is painted afresh; the rest keeps its pixels.
  const QRegion uncovered = QRegion(r) - QRegion(r.translated(dx, dy));
  if (update) *update = FromQRect(uncovered.boundingRect());
  const bool children = flags & SW_SCROLLCHILDREN;
  if (wnd->HandleAllocated() && !r.isEmpty() && (dx || dy)) {
    ControlAccess::DropOverlay(wnd);
    QWidget* client = wnd->backend()->client;
    // Over the whole client area the toolkit moves the child windows with
    // their pixels (nothing to paint for them); then only the bounds follow.
    if (children && r == client->rect()) client->scroll(dx, dy);
    else client->scroll(dx, dy, r);
  }
  if (children)
    for (int i = 0; i < wnd->ControlCount(); ++i)
      if (auto* child = dynamic_cast<TWinControl*>(wnd->Controls(i)))
        child->SetBounds(child->Left() + dx, child->Top() + dy, child->Width(), child->Height());
  if (uncovered.isEmpty()) return NULLREGION;
  return uncovered.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool ScrollWindow(HWND wnd, int dx, int dy, const TRect* scroll, const TRect* clip) {
  // Without a rectangle the child windows move along, as the window system does.
  return ScrollWindowEx(wnd, dx, dy, scroll, clip, nullptr,
                        SW_INVALIDATE | (scroll ? 0 : SW_SCROLLCHILDREN)) != 0;
}

void InvalidateRect(HWND wnd, const TRect* r, bool) {
  if (!wnd) return;
  if (r) wnd->InvalidateRect(*r);
  else wnd->Invalidate();
}

void ValidateRect(HWND wnd, const TRect* r) {
  if (!wnd || !wnd->HandleAllocated()) return;
  wnd->backend()->validated += r ? ToQRect(*r) : ToQRect(wnd->ClientRect());
}

void UpdateWindow(HWND wnd) {
  if (wnd) wnd->Update();
}
