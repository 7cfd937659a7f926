#include "platform/classlib/controls/extctrls.h"

#include <algorithm>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/drawing.h"

IMPLEMENT_CLASS(TPanel, TCustomControl)
IMPLEMENT_CLASS(TLabel, TGraphicControl)
IMPLEMENT_CLASS(TBevel, TGraphicControl)
IMPLEMENT_CLASS(TImage, TGraphicControl)
IMPLEMENT_CLASS(TShape, TGraphicControl)
IMPLEMENT_CLASS(TPaintBox, TGraphicControl)
IMPLEMENT_CLASS(TSplitter, TGraphicControl)
IMPLEMENT_CLASS(TScrollBox, TCustomControl)

namespace {

template <class T>
void Store(T& field, T value, TControl* control) {
  if (field == value) return;
  field = value;
  control->Invalidate();
}

uint32_t AlignmentFlag(TAlignment a) {
  return a == taRightJustify ? DT_RIGHT : a == taCenter ? DT_CENTER : DT_LEFT;
}

void BevelColors(TBevelCut cut, TColor& top, TColor& bottom) {
  top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
  bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
}

}  // namespace

// ---- TPanel ------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                   csDoubleClicks, csReplicatable});
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelInner(TBevelCut v) {
  Store(bevelInner_, v, this);
  Realign();
}
void TPanel::SetBevelOuter(TBevelCut v) {
  Store(bevelOuter_, v, this);
  Realign();
}
void TPanel::SetBevelWidth(int v) {
  Store(bevelWidth_, std::max(1, v), this);
  Realign();
}
void TPanel::SetBorderWidth(int v) {
  Store(borderWidth_, std::max(0, v), this);
  Realign();
}
void TPanel::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  FrameChanged();
}
void TPanel::SetAlignment(TAlignment v) { Store(alignment_, v, this); }

int TPanel::FrameWidth() const {
  int size = borderWidth_;
  if (bevelOuter_ != bvNone) size += bevelWidth_;
  if (bevelInner_ != bvNone) size += bevelWidth_;
  return size;
}

void TPanel::AdjustClientRect(TRect& rect) { InflateRect(rect, -FrameWidth(), -FrameWidth()); }

void TPanel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      TCustomControl::Dispatch(m);
      // A single border is a one-pixel frame outside the client area.
      if (borderStyle_ == bsSingle)
        InflateRect(reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0], -1, -1);
      return;
    case WM_NCPAINT:
      if (borderStyle_ == bsSingle) {
        auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
        dc->Brush()->SetColor(clWindowFrame);
        dc->FrameRect(Rect(0, 0, Width(), Height()));
      }
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

void TPanel::PaintContent() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  TColor top, bottom;
  if (bevelOuter_ != bvNone) {
    BevelColors(bevelOuter_, top, bottom);
    Frame3D(c, r, top, bottom, bevelWidth_);
  }
  Frame3D(c, r, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    BevelColors(bevelInner_, top, bottom);
    Frame3D(c, r, top, bottom, bevelWidth_);
  }
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (Caption().empty()) return;
  c->Brush()->SetStyle(bsClear);
  c->SetFont(Font());
  const int h = c->TextHeight("W");
  r.Top = (r.Bottom + r.Top - h) / 2;
  r.Bottom = r.Top + h;
  DrawText(c, Caption(), r, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | AlignmentFlag(alignment_));
}

// ---- TLabel ------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque, csReplicatable});
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

uint32_t TLabel::TextFlags() const {
  uint32_t flags = DT_EXPANDTABS | AlignmentFlag(alignment_);
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || ComponentState().Contains(csLoading)) return;
  std::string text = Caption();
  if (text.empty() || (showAccelChar_ && text == "&")) text += ' ';
  TCanvas* c = Canvas();
  c->SetFont(Font());
  TRect r = ClientRect();
  DrawText(c, text, r, TextFlags() | DT_CALCRECT);
  int x = Left();
  if (alignment_ == taRightJustify) x += Width() - r.Right;
  SetBounds(x, Top(), r.Right, r.Bottom);
}

void TLabel::SetAlignment(TAlignment v) {
  Store(alignment_, v, this);
  AdjustBounds();
}
void TLabel::SetLayout(TTextLayout v) { Store(layout_, v, this); }
void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}
void TLabel::SetWordWrap(bool v) {
  Store(wordWrap_, v, this);
  AdjustBounds();
}
void TLabel::SetTransparent(bool v) {
  Store(transparent_, v, this);
  TControlStyle s = ControlStyle();
  if (v) s.Exclude(csOpaque);
  else s.Include(csOpaque);
  SetControlStyle(s);
}
void TLabel::SetShowAccelChar(bool v) {
  Store(showAccelChar_, v, this);
  AdjustBounds();
}
void TLabel::SetFocusControl(TWinControl* c) {
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = c;
  if (c) c->FreeNotification(this);
}

void TLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

void TLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(char32_t(m.WParam), Caption()) &&
          focusControl_->CanFocus()) {
        focusControl_->SetFocus();
        m.Result = 1;
      }
      return;
    default:
      TGraphicControl::Dispatch(m);
  }
}

void TLabel::PaintContent() {
  TCanvas* c = Canvas();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
  }
  c->Brush()->SetStyle(bsClear);
  c->SetFont(Font());
  TRect r = ClientRect();
  if (layout_ != tlTop) {
    TRect calc = r;
    DrawText(c, Caption(), calc, TextFlags() | DT_CALCRECT);
    OffsetRect(r, 0, layout_ == tlBottom ? Height() - calc.Bottom : (Height() - calc.Bottom) / 2);
  }
  if (Enabled()) DrawText(c, Caption(), r, TextFlags());
  else DrawDisabledText(c, Caption(), r, TextFlags());
}

// ---- TBevel ------------------------------------------------------------------

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape v) { Store(shape_, v, this); }
void TBevel::SetStyle(TBevelStyle v) { Store(style_, v, this); }

void TBevel::PaintContent() {
  TCanvas* c = Canvas();
  TColor light = clBtnHighlight, dark = clBtnShadow;
  if (style_ == bsLowered) std::swap(light, dark);  // lowered: shadow on top/left
  const int w = Width(), h = Height();
  auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
    c->Pen()->SetColor(color);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  c->Pen()->SetWidth(1);
  switch (shape_) {
    case bsBox: {
      TRect r = ClientRect();
      Frame3D(c, r, light, dark, 1);
      break;
    }
    case bsFrame: {
      // An etched frame: two offset rectangles in the two colours.
      TRect outer = Rect(0, 0, w - 1, h - 1);
      Frame3D(c, outer, light, light, 1);
      TRect inner = Rect(1, 1, w, h);
      Frame3D(c, inner, dark, dark, 1);
      break;
    }
    case bsTopLine:
      line(light, 0, 0, w, 0);
      line(dark, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(light, 0, h - 2, w, h - 2);
      line(dark, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(light, 0, 0, 0, h);
      line(dark, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(light, w - 2, 0, w - 2, h);
      line(dark, w - 1, 0, w - 1, h);
      break;
    case bsSpacer:
      break;
  }
}

// ---- TImage ------------------------------------------------------------------

TImage::TImage(TComponent* AOwner)
    : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::PictureChanged() {
  if (drawing_) return;
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  if (TGraphic* g = picture_->Graphic()) g->SetTransparent(transparent_);
  Invalidate();
}

TCanvas* TImage::Canvas() {
  if (!picture_->Graphic()) {
    TBitmap* b = picture_->Bitmap();
    b->SetSize(Width(), Height());
    b->Canvas()->Brush()->SetColor(clWhite);
    b->Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }
  TBitmap* b = As<TBitmap>(picture_->Graphic());
  if (!b) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return b->Canvas();
}

void TImage::SetStretch(bool v) { Store(stretch_, v, this); }
void TImage::SetCenter(bool v) { Store(center_, v, this); }
void TImage::SetTransparent(bool v) {
  transparent_ = v;
  PictureChanged();
}
void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  PictureChanged();
}

void TImage::PaintContent() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  TRect dest = Rect(0, 0, picture_->Width(), picture_->Height());
  if (stretch_) dest = ClientRect();
  else if (center_) OffsetRect(dest, (Width() - dest.Right) / 2, (Height() - dest.Bottom) / 2);
  drawing_ = true;
  try {
    TGraphicControl::Canvas()->StretchDraw(dest, g);
  } catch (...) {
    drawing_ = false;
    throw;
  }
  drawing_ = false;
}

// ---- TShape ------------------------------------------------------------------

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetBounds(0, 0, 65, 65);
  pen_->OnChange = [this](TObject*) { Invalidate(); };
  brush_->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() {
  pen_->OnChange = nullptr;
  brush_->OnChange = nullptr;
}

void TShape::SetShape(TShapeType v) { Store(shape_, v, this); }

void TShape::PaintContent() {
  TCanvas* c = TGraphicControl::Canvas();
  c->SetPen(pen_.get());
  c->SetBrush(brush_.get());
  const int pw = pen_->Width();
  int x = pw / 2, y = x;
  int w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  const int s = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare: c->Rectangle(x, y, x + w, y + h); break;
    case stRoundRect:
    case stRoundSquare: c->RoundRect(x, y, x + w, y + h, s / 4, s / 4); break;
    case stEllipse:
    case stCircle: c->Ellipse(x, y, x + w, y + h); break;
  }
}

// ---- TPaintBox ---------------------------------------------------------------

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::PaintContent() {
  Canvas()->SetFont(Font());
  Canvas()->Brush()->SetColor(Color());
  if (OnPaint) OnPaint(this);
}

// ---- TSplitter ---------------------------------------------------------------

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
  SetColor(clBtnFace);
}

void TSplitter::SetBeveled(bool v) { Store(beveled_, v, this); }

TControl* TSplitter::FindResized() const {
  if (!Parent()) return nullptr;
  TPoint p{Left(), Top()};
  switch (Align()) {
    case alLeft: --p.x; break;
    case alRight: p.x += Width(); break;
    case alTop: --p.y; break;
    case alBottom: p.y += Height(); break;
    default: return nullptr;
  }
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    if (r.Width() == 0) --r.Left;
    if (r.Height() == 0) --r.Top;
    if (PtInRect(r, p)) return c;
  }
  return nullptr;
}

int TSplitter::SizeOf(TControl* c) const { return Horizontal() ? c->Width() : c->Height(); }

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  resized_ = FindResized();
  if (!resized_) return;
  resized_->FreeNotification(this);  // it may be freed while the mouse is held
  down_ = {Left() + x, Top() + y};
  startSize_ = SizeOf(resized_);
  // The room the resized control may take: everything but the splitter and
  // the other controls aligned to either side, keeping MinSize for the rest.
  const TRect client = Parent()->ClientRect();
  int used = Horizontal() ? Width() : Height();
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || c == resized_ || !c->Visible()) continue;
    if (Horizontal() && (c->Align() == alLeft || c->Align() == alRight)) used += c->Width();
    if (!Horizontal() && (c->Align() == alTop || c->Align() == alBottom)) used += c->Height();
  }
  maxSize_ = (Horizontal() ? client.Width() : client.Height()) - used - minSize_;
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  SetCursor(Horizontal() ? crHSplit : crVSplit);
  if (!resized_ || !shift.Contains(ssLeft)) return;
  const TPoint now{Left() + x, Top() + y};
  int delta = Horizontal() ? now.x - down_.x : now.y - down_.y;
  if (Align() == alRight || Align() == alBottom) delta = -delta;
  int size = std::clamp(startSize_ + delta, minSize_, std::max(minSize_, maxSize_));
  bool accept = true;
  if (OnCanResize) OnCanResize(this, size, accept);
  if (!accept || size == SizeOf(resized_)) return;
  if (Horizontal()) resized_->SetWidth(size);
  else resized_->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !resized_) return;
  resized_->RemoveFreeNotification(this);
  resized_ = nullptr;
  if (OnMoved) OnMoved(this);
}

void TSplitter::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == resized_) resized_ = nullptr;
}

void TSplitter::PaintContent() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  if (!beveled_) return;
  TRect r = ClientRect();
  Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
}

// ---- TScrollBox --------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                   csDoubleClicks});
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TScrollBox::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  FrameChanged();
}

void TScrollBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      TCustomControl::Dispatch(m);
      if (borderStyle_ == bsSingle)
        InflateRect(reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0], -2, -2);
      return;
    case WM_NCPAINT:
      if (borderStyle_ == bsSingle) {
        TRect r = Rect(0, 0, Width(), Height());
        DrawEdge(reinterpret_cast<TCanvas*>(m.WParam), r, EDGE_SUNKEN, BF_RECT);
      }
      return;
    case WM_MOUSEWHEEL: {
      const int delta = int(int16_t(HiWord(m.WParam)));
      SetVertPosition(vpos_ - delta / 120 * 20);
      m.Result = 1;
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const bool vert = m.Msg == WM_VSCROLL;
      const int pos = vert ? vpos_ : hpos_;
      const int page = vert ? ClientHeight() : ClientWidth();
      int next = pos;
      switch (int(LoWord(m.WParam))) {
        case SB_LINEUP: next = pos - kLineStep; break;
        case SB_LINEDOWN: next = pos + kLineStep; break;
        case SB_PAGEUP: next = pos - page; break;
        case SB_PAGEDOWN: next = pos + page; break;
        case SB_TOP: next = 0; break;
        case SB_BOTTOM: next = vert ? VertRange() : HorzRange(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: next = int(HiWord(m.WParam)); break;
        default: return;
      }
      if (vert) SetVertPosition(next);
      else SetHorzPosition(next);
      return;
    }
    case WM_SIZE:
    case CM_CONTROLCHANGE:
      TCustomControl::Dispatch(m);
      UpdateScrollBars();
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

void TScrollBox::PaintContent() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

int TScrollBox::HorzRange() const {
  int right = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (TControl* c = Controls(i); c->Visible()) right = std::max(right, c->Left() + c->Width() + hpos_);
  return std::max(0, right - ClientWidth());
}

int TScrollBox::VertRange() const {
  int bottom = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (TControl* c = Controls(i); c->Visible()) bottom = std::max(bottom, c->Top() + c->Height() + vpos_);
  return std::max(0, bottom - ClientHeight());
}

void TScrollBox::ScrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  DisableAlign();
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
  }
  EnableAlign();
  Invalidate();
}

void TScrollBox::SetHorzPosition(int v) {
  v = std::clamp(v, 0, HorzRange());
  ScrollBy(hpos_ - v, 0);
  hpos_ = v;
  UpdateScrollBars();
}

void TScrollBox::SetVertPosition(int v) {
  v = std::clamp(v, 0, VertRange());
  ScrollBy(0, vpos_ - v);
  vpos_ = v;
  UpdateScrollBars();
}

void TScrollBox::UpdateScrollBars() {
  if (updatingBars_ || ComponentState().Contains(csDestroying)) return;
  updatingBars_ = true;
  // Showing one bar narrows the client area, which may call for the other.
  for (int round = 0; round < 2; ++round) {
    for (int which : {SB_HORZ, SB_VERT}) {
      const bool vert = which == SB_VERT;
      const int page = vert ? ClientHeight() : ClientWidth();
      const int range = vert ? VertRange() : HorzRange();
      TScrollInfo info;
      info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      info.nMin = 0;
      info.nMax = range > 0 ? range + page - 1 : 0;
      info.nPage = UINT(range > 0 ? page : 0);
      info.nPos = vert ? vpos_ : hpos_;
      SetScrollInfo(this, which, info, true);
    }
  }
  updatingBars_ = false;
}

void TScrollBox::ScrollInView(TControl* c) {
  if (!c || c->Parent() != this) return;
  if (c->Left() < 0) SetHorzPosition(hpos_ + c->Left());
  else if (c->Left() + c->Width() > ClientWidth() && c->Width() <= ClientWidth())
    SetHorzPosition(hpos_ + c->Left() + c->Width() - ClientWidth());
  if (c->Top() < 0) SetVertPosition(vpos_ + c->Top());
  else if (c->Top() + c->Height() > ClientHeight() && c->Height() <= ClientHeight())
    SetVertPosition(vpos_ + c->Top() + c->Height() - ClientHeight());
}
