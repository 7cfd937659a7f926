#pragma once
// The graphic components of a band: shapes (rectangle, square, rounded,
// ellipse, circle), lines along one edge of their box (single or double), a
// picture kept in the layout and a picture read from a blob field of the data
// pipeline. Each is placed as a plain component and emits one draw command.

#include <functional>
#include <memory>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/graphics/images.h"
#include "report/model/ppcomponent.h"
#include "report/output/pppage.h"

class TBlobField;

// Where a shape is drawn inside its box, in screen pixels.
struct TppShapeGeometry {
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int CornerWidth = 0, CornerHeight = 0;
  bool operator==(const TppShapeGeometry&) const = default;
};
// The pen's half width insets the figure; the square kinds are centred
// squares of the box's smaller side; corners round by a quarter of it.
TppShapeGeometry ppShapeGeometry(TShapeType shape, int penWidth, int width, int height);

// The picture stored in a blob field; a damaged or unknown image, or an empty
// blob, gives an empty picture rather than stopping the report.
void ppLoadBlobPicture(TBlobField* field, TPicture* picture);

class TppCustomGraphic : public TppCustomComponent {
  DECLARE_CLASS(TppCustomGraphic, TppCustomComponent)
 public:
  explicit TppCustomGraphic(TComponent* owner = nullptr);
  ~TppCustomGraphic() override;

  bool SupportsFont() const override { return false; }
  TBrush* Brush() const { return brush_.get(); }
  void SetBrush(const TBrush* brush);
  TPen* Pen() const { return pen_.get(); }
  void SetPen(const TPen* pen);
  void SetFillColor(TColor color) { brush_->SetColor(color); }
  void SetLineColor(TColor color) { pen_->SetColor(color); }
  void SetLineWidth(int width) { pen_->SetWidth(width); }

 protected:
  virtual void GraphicChanged();

 private:
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TPen> pen_;
};

class TppShape : public TppCustomGraphic {
  DECLARE_CLASS(TppShape, TppCustomGraphic)
 public:
  explicit TppShape(TComponent* owner = nullptr);

  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);
  // The figure's box in screen pixels: the print rectangle's while
  // generating, the designed size otherwise.
  TppShapeGeometry Geometry() const;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void PaintDesignControl(TCanvas* canvas) override;

 protected:
  // A clear brush makes the shape transparent.
  void GraphicChanged() override;

 private:
  TShapeType shape_ = stRectangle;
};

class TppLine : public TppCustomGraphic {
  DECLARE_CLASS(TppLine, TppCustomGraphic)
 public:
  explicit TppLine(TComponent* owner = nullptr);

  bool SupportsColor() const override { return false; }
  TppLinePositionType Position() const { return position_; }
  void SetPosition(TppLinePositionType value);
  TppLineStyleType Style() const { return style_; }
  void SetStyle(TppLineStyleType value);
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void PaintDesignControl(TCanvas* canvas) override;

 private:
  TppLinePositionType position_ = lpTop;
  TppLineStyleType style_ = lsSingle;
};

class TppCustomImage : public TppCustomComponent {
  DECLARE_CLASS(TppCustomImage, TppCustomComponent)
 public:
  explicit TppCustomImage(TComponent* owner = nullptr);
  ~TppCustomImage() override;

  bool SupportsColor() const override { return false; }
  bool SupportsFont() const override { return false; }
  void GetCaption(std::string& text) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  // The picture in its box; an empty one shows the framed caption.
  void PaintDesignControl(TCanvas* canvas) override;

  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool MaintainAspectRatio() const { return maintainAspectRatio_; }
  void SetMaintainAspectRatio(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  void SetTransparentImage(bool value);
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture* picture);
  // The picture the image shows now.
  virtual TPicture* GetPicture() { return picture_.get(); }

 protected:
  // With AutoSize, the component takes the picture's pixel size.
  virtual void PictureChanged();

 private:
  bool center_ = true;
  bool maintainAspectRatio_ = false;
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
};

class TppImage : public TppCustomImage {
  DECLARE_CLASS(TppImage, TppCustomImage)
 public:
  explicit TppImage(TComponent* owner = nullptr) : TppCustomImage(owner) {}
  void SetAutoSize(bool value) override;

 protected:
  // Its control is not opaque: a transparent picture shows what lies below.
  void SetupDesignControl(TppDesignControl* control) override;
};

using TppPictureEvent = std::function<void(TObject* sender, TPicture* picture)>;

class TppDBImage : public TppCustomImage {
  DECLARE_CLASS(TppDBImage, TppCustomImage)
 public:
  explicit TppDBImage(TComponent* owner = nullptr) : TppCustomImage(owner) {}

  bool IsDataAware() const override { return true; }
  TPicture* GetPicture() override;
  void SetDataField(const std::string& value) override;
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  bool AutoDisplay() const { return autoDisplay_; }
  void SetAutoDisplay(bool value);
  // Reads the picture of the current record (only with AutoDisplay).
  void LoadPicture();

  TppPictureEvent OnGetPicture;

 protected:
  void PictureChanged() override {}

 private:
  bool autoDisplay_ = true;
};
