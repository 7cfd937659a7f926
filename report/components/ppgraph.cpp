#include "report/components/ppgraph.h"

#include <algorithm>

#include "platform/classlib/core/streams.h"
#include "platform/classlib/db/fields.h"
#include "report/components/ppdbtext.h"

namespace {
// A new shape or image: 50 x 50 screen pixels; a line 50 x 15.
constexpr int kGraphicPixels = 50, kLinePixelHeight = 15;

int32_t PixelsToMM(int pixels) { return ppToMMThousandths(float(pixels), utScreenPixels); }
int MMToPixels(int32_t value) { return ppMMToPixels(value, 0); }

// The square kinds are drawn as their plain kinds on squared coordinates.
TShapeType PlainShape(TShapeType shape) {
  switch (shape) {
    case stSquare: return stRectangle;
    case stRoundSquare: return stRoundRect;
    case stCircle: return stEllipse;
    default: return shape;
  }
}
}  // namespace

TppShapeGeometry ppShapeGeometry(TShapeType shape, int penWidth, int width, int height) {
  TppShapeGeometry g;
  const int half = penWidth / 2;
  g.X1 = g.Y1 = half;
  g.X2 = g.X1 + width - 2 * half;
  g.Y2 = g.Y1 + height - 2 * half;
  const int side = std::min(width, height);
  if (shape == stSquare || shape == stRoundSquare || shape == stCircle) {
    const int dx = (width - side) / 2, dy = (height - side) / 2;
    g.X1 += dx;
    g.X2 -= dx;
    g.Y1 += dy;
    g.Y2 -= dy;
  }
  g.CornerWidth = g.CornerHeight = side / 4;
  return g;
}

void ppLoadBlobPicture(TBlobField* field, TPicture* picture) {
  picture->SetGraphic(nullptr);
  if (!field || field->IsNull()) return;
  TMemoryStream data;
  field->SaveToStream(&data);
  if (data.Size() == 0) return;
  data.SetPosition(0);
  try {
    TBitmap bitmap;
    bitmap.LoadFromStream(&data);
    picture->SetGraphic(&bitmap);
  } catch (const Exception&) {
    picture->SetGraphic(nullptr);  // damaged: printed as an empty picture
  }
}

// ---- TppCustomGraphic ---------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomGraphic, TppCustomComponent)

// What shapes and lines both publish.
PUBLISHED(TppCustomGraphic) {
  PROP_BOOL(ParentHeight, ParentHeight, SetParentHeight, false);
  PROP_BOOL(ParentWidth, ParentWidth, SetParentWidth, false);
  PROP_OBJ(Pen, Pen, SetPen);
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_BOOL(StretchWithParent, StretchWithParent, SetStretchWithParent, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

TppCustomGraphic::TppCustomGraphic(TComponent* owner)
    : TppCustomComponent(owner), brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {
  mmWidth_ = PixelsToMM(kGraphicPixels);
  mmHeight_ = PixelsToMM(kGraphicPixels);
  brush_->OnChange = [this](TObject*) { GraphicChanged(); };
  pen_->OnChange = [this](TObject*) { GraphicChanged(); };
}

TppCustomGraphic::~TppCustomGraphic() {
  brush_->OnChange = nullptr;
  pen_->OnChange = nullptr;
}

void TppCustomGraphic::SetBrush(const TBrush* brush) {
  brush_->Assign(brush);
  GraphicChanged();
}

void TppCustomGraphic::SetPen(const TPen* pen) {
  pen_->Assign(pen);
  GraphicChanged();
}

void TppCustomGraphic::GraphicChanged() {
  if (ReadingOrLoading()) return;
  InvalidateDesign();
  NotifyDesigner();
  Changed();
}

// ---- TppShape ---------------------------------------------------------------------------

IMPLEMENT_CLASS(TppShape, TppCustomGraphic)

PUBLISHED(TppShape) {
  PROP_OBJ(Brush, Brush, SetBrush);
  PROP_ENUM(Shape, Shape, SetShape, stRectangle);
}

TppShape::TppShape(TComponent* owner) : TppCustomGraphic(owner) {
  drawCommandClass_ = TppDrawShape::StaticClass();
}

void TppShape::SetShape(TShapeType value) {
  shape_ = value;
  GraphicChanged();
}

void TppShape::GraphicChanged() {
  inherited::GraphicChanged();
  const bool clear = Brush()->Style() == bsClear;
  if (clear != Transparent()) SetTransparent(clear);
}

TppShapeGeometry TppShape::Geometry() const {
  const bool generating = Printing();
  const int width = generating ? MMToPixels(printRect_.Right - printRect_.Left) : PixelWidth();
  const int height = generating ? MMToPixels(printRect_.Bottom - printRect_.Top) : PixelHeight();
  return ppShapeGeometry(shape_, Pen()->Width(), width, height);
}

void TppShape::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawShape*>(command);
  if (!draw) return;
  const TppShapeGeometry g = Geometry();
  const int32_t x1 = printRect_.Left + PixelsToMM(g.X1), x2 = printRect_.Left + PixelsToMM(g.X2);
  const int32_t y1 = printRect_.Top + PixelsToMM(g.Y1), y2 = printRect_.Top + PixelsToMM(g.Y2);
  draw->Brush()->Assign(Brush());
  draw->Pen()->Assign(Pen());
  draw->Left = x1;
  draw->Top = y1;
  draw->Width = x2 - x1;
  draw->Height = y2 - y1;
  draw->Shape = PlainShape(shape_);
  draw->XCornerRound = PixelsToMM(g.CornerWidth);
  draw->YCornerRound = PixelsToMM(g.CornerHeight);
}

// ---- TppLine -----------------------------------------------------------------------------

IMPLEMENT_CLASS(TppLine, TppCustomGraphic)

PUBLISHED(TppLine) {
  PROP_ENUM(Position, Position, SetPosition, lpTop);
  PROP_ENUM(Style, Style, SetStyle, lsSingle);
}

TppLine::TppLine(TComponent* owner) : TppCustomGraphic(owner) {
  drawCommandClass_ = TppDrawLine::StaticClass();
  mmHeight_ = PixelsToMM(kLinePixelHeight);
  SetTransparent(true);
}

void TppLine::SetPosition(TppLinePositionType value) {
  position_ = value;
  GraphicChanged();
}

void TppLine::SetStyle(TppLineStyleType value) {
  style_ = value;
  GraphicChanged();
}

void TppLine::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawLine*>(command);
  if (!draw) return;
  draw->Style = style_;
  draw->Position = position_;
  draw->Place(printRect_);
  draw->Pen()->Assign(Pen());
}

// ---- Images -----------------------------------------------------------------------------

IMPLEMENT_CLASS(TppCustomImage, TppCustomComponent)

// What both pictures publish.
PUBLISHED(TppCustomImage) {
  PROP_BOOL(Center, Center, SetCenter, true);
  PROP_BOOL(MaintainAspectRatio, MaintainAspectRatio, SetMaintainAspectRatio, false).AlwaysStored();
  PROP_BOOL(ReprintOnOverFlow, ReprintOnOverFlow, SetReprintOnOverFlow, false);
  PROP_BOOL(ShiftWithParent, ShiftWithParent, SetShiftWithParent, false);
  PROP_BOOL(Stretch, Stretch, SetStretch, false);
  PROP_BOOL(Transparent, Transparent, SetTransparentImage, false);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_FLOAT(Height, Height, SetHeight, 0).Stored(false);
  PROP_FLOAT(Left, Left, SetLeft, 0).Stored(false);
  PROP_FLOAT(Top, Top, SetTop, 0).Stored(false);
  PROP_FLOAT(Width, Width, SetWidth, 0).Stored(false);
}

TppCustomImage::TppCustomImage(TComponent* owner)
    : TppCustomComponent(owner), picture_(std::make_unique<TPicture>()) {
  drawCommandClass_ = TppDrawImage::StaticClass();
  mmWidth_ = PixelsToMM(kGraphicPixels);
  mmHeight_ = PixelsToMM(kGraphicPixels);
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TppCustomImage::~TppCustomImage() { picture_->OnChange = nullptr; }

void TppCustomImage::GetCaption(std::string& text) {
  text = IsDataAware() && !DataField().empty() ? DataField() : Name();
}

void TppCustomImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  PictureChanged();
  NotifyDesigner();
}

void TppCustomImage::SetMaintainAspectRatio(bool value) {
  if (value == maintainAspectRatio_) return;
  maintainAspectRatio_ = value;
  PictureChanged();
  NotifyDesigner();
}

void TppCustomImage::SetStretch(bool value) {
  stretch_ = value;
  PictureChanged();
  NotifyDesigner();
}

void TppCustomImage::SetTransparentImage(bool value) {
  SetTransparent(value);
  PictureChanged();
  NotifyDesigner();
}

void TppCustomImage::SetPicture(const TPicture* picture) {
  picture_->Assign(picture);
  PictureChanged();
}

void TppCustomImage::PictureChanged() {
  if (ReadingOrLoading()) return;
  if (AutoSize() && picture_->Width() > 0 && picture_->Height() > 0)
    SetPixelBounds(MMToPixels(mmLeft_), MMToPixels(mmTop_), picture_->Width(), picture_->Height());
  InvalidateDesign();
  NotifyDesigner();
}

void TppCustomImage::PropertiesToDrawCommand(TppDrawCommand* command) {
  auto* draw = dynamic_cast<TppDrawImage*>(command);
  if (!draw) return;
  draw->Place(printRect_);
  draw->Stretch = stretch_;
  draw->Center = center_;
  draw->MaintainAspectRatio = maintainAspectRatio_;
  draw->Transparent = Transparent();
  draw->Picture()->Assign(GetPicture());
  draw->DataBased = IsDataAware();
}

IMPLEMENT_CLASS(TppImage, TppCustomImage)

PUBLISHED(TppImage) {
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, false);
  PROP_OBJ(Picture, Picture, SetPicture);
}

void TppImage::SetAutoSize(bool value) {
  inherited::SetAutoSize(value);
  PictureChanged();
}

IMPLEMENT_CLASS(TppDBImage, TppCustomImage)

PUBLISHED(TppDBImage) {
  PROP_BOOL(AutoDisplay, AutoDisplay, SetAutoDisplay, true);
  PROP_STR(DataField, DataField, SetDataField, "");
  PROP_OBJ(DataPipeline, DataPipeline, SetDataPipeline);
  PROP_EVENT(OnGetPicture);
  PROP_BOOL(ParentDataPipeline, ParentDataPipeline, SetParentDataPipeline, true);
}

TPicture* TppDBImage::GetPicture() {
  if (OnGetPicture) OnGetPicture(this, Picture());
  else LoadPicture();
  return Picture();
}

void TppDBImage::SetAutoDisplay(bool value) {
  autoDisplay_ = value;
  if (value) LoadPicture();
}

void TppDBImage::SetDataField(const std::string& value) {
  inherited::SetDataField(value);
  LoadPicture();
}

void TppDBImage::PipelineNotify(TppDataPipeline* pipeline, int event) {
  inherited::PipelineNotify(pipeline, event);
  if ((State() & ppstDesigning) && !Printing()) LoadPicture();
}

void TppDBImage::LoadPicture() {
  if (!autoDisplay_ || ReadingOrLoading()) return;
  if (!ComponentState().Contains(csDesigning) && OnGetPicture) {
    OnGetPicture(this, Picture());
    return;
  }
  TppDataPipeline* pipeline = DataPipeline();
  const bool hidden = (State() & ppstDesigning) && !(State() & ppstDataAtDesign) && !Printing();
  // Only a blob field holds a picture; without data nothing is shown.
  if (!hidden && pipeline && !DataField().empty() && pipeline->Active() &&
      pipeline->GetFieldDataType(DataField()) == dtBLOB && !(PrintState() & pppsNoData)) {
    ppLoadBlobPicture(pipeline->GetBlobField(DataField()), Picture());
    return;
  }
  Picture()->SetGraphic(nullptr);
}
