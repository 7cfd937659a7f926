// Shapes, lines and pictures: where a shape is drawn in its box, the draw
// commands of a generated page, pictures sized to their contents, and
// pictures read from blob fields (damaged ones print empty).

#include "report/components/ppgraph.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/streams.h"
#include "report/model/reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

TEST(Shapes, GeometryInsideTheBox) {
  struct Case {
    TShapeType shape;
    int pen, width, height;
    TppShapeGeometry expected;
  } cases[] = {
      {stCircle, 1, 40, 20, {10, 0, 30, 20, 5, 5}},     // centred horizontally
      {stRectangle, 1, 40, 20, {0, 0, 40, 20, 5, 5}},
      {stRectangle, 3, 40, 20, {1, 1, 39, 19, 5, 5}},   // 3 / 2 = 1 pixel inset
      {stRoundSquare, 2, 20, 41, {1, 11, 19, 30, 5, 5}},
      {stEllipse, 0, 7, 3, {0, 0, 7, 3, 0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, ppShapeGeometry(c.shape, c.pen, c.width, c.height)) << c.shape;
}

TEST(Shapes, AClearBrushMakesTheShapeTransparent) {
  TppShape shape;
  shape.Brush()->SetStyle(bsClear);
  EXPECT_TRUE(shape.Transparent());
  shape.Brush()->SetStyle(bsSolid);
  EXPECT_FALSE(shape.Transparent());
  TppLine line;
  EXPECT_TRUE(line.Transparent());
  line.SetColor(TColor(0x123456));
  EXPECT_EQ(TColor(0xFFFFFF), line.Color()) << "a line has no fill colour";
}

// A one-record report whose detail band holds the component at (10, 5) mm.
struct OneRecord : ReportRig {
  OneRecord() : ReportRig(1) { detail = AddBand<TppDetailBand>(30 * kMM); }
  template <class T>
  T* Add(int32_t width, int32_t height) {
    auto* c = new T(&form);
    c->SetBand(detail);
    c->SetmmBounds(10 * kMM, 5 * kMM, width, height);
    return c;
  }
  template <class T>
  T* Command() {
    Print();
    if (device.Pages.empty()) return nullptr;
    const TppPage& page = *device.Pages[0];
    for (int i = 0; i < page.DrawCommandCount(); ++i)
      if (auto* c = dynamic_cast<T*>(page.DrawCommands(i))) return c;
    return nullptr;
  }
  TppDetailBand* detail;
};

int32_t Px(int pixels) { return ppToMMThousandths(float(pixels), utScreenPixels); }

TEST(Shapes, ACircleIsDrawnAsAnEllipseOnSquaredCoordinates) {
  OneRecord r;
  auto* shape = r.Add<TppShape>(Px(48), Px(24));
  shape->SetShape(stCircle);
  auto* c = r.Command<TppDrawShape>();
  ASSERT_NE(nullptr, c);
  // The printed box in screen pixels (the conversion truncates), squared and
  // centred, then back in thousandths from the box's corner.
  const TppShapeGeometry g =
      ppShapeGeometry(stCircle, 1, ppMMToPixels(Px(48), 0), ppMMToPixels(Px(24), 0));
  EXPECT_EQ(g.Y2 - g.Y1, g.X2 - g.X1);
  const int32_t left = 6350 + 10 * kMM, top = 6350 + 5 * kMM;
  EXPECT_EQ(stEllipse, c->Shape);
  EXPECT_EQ((std::vector<int32_t>{left + Px(g.X1), top + Px(g.Y1), Px(g.X2) - Px(g.X1),
                                  Px(g.Y2) - Px(g.Y1), Px(g.CornerWidth)}),
            (std::vector<int32_t>{c->Left, c->Top, c->Width, c->Height, c->XCornerRound}));
}

TEST(Lines, TheCommandCarriesTheBoxAndThePen) {
  OneRecord r;
  auto* line = r.Add<TppLine>(50 * kMM, 2 * kMM);
  line->SetPosition(lpBottom);
  line->SetStyle(lsDouble);
  line->Pen()->SetWidth(3);
  auto* c = r.Command<TppDrawLine>();
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(lpBottom, c->Position);
  EXPECT_EQ(lsDouble, c->Style);
  EXPECT_EQ(3, c->Pen()->Width());
  EXPECT_EQ((std::vector<int32_t>{16350, 11350, 50 * kMM, 2 * kMM}),
            (std::vector<int32_t>{c->Left, c->Top, c->Width, c->Height}));
}

// The one-thousandth rule: a component may pass the available bottom by one
// thousandth and still print; by two it does not fit.
TEST(Shapes, AComponentMayPassTheBottomByOneThousandth) {
  for (int32_t excess : {1, 2}) {
    OneRecord r;
    r.detail->SetPrintHeight(phDynamic);
    r.detail->SetmmHeight(5 * kMM);
    r.detail->SetmmBottomOffset(0);
    auto* shape = r.Add<TppShape>(10 * kMM, 0);
    // Room below the shape's top: the page's printable height less its top.
    const int32_t room = 279401 - 2 * 6350 - 5 * kMM;
    shape->SetmmHeight(room + excess);
    bool failed = false;
    try {
      r.Print();
    } catch (const Exception&) {
      failed = true;  // it never fits, not even on a fresh page
    }
    const bool printed = !r.device.Pages.empty() && r.device.Pages[0]->DrawCommandCount() == 1;
    EXPECT_EQ(excess == 1, printed && !failed) << excess;
  }
}

std::string BitmapBytes(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  TMemoryStream stream;
  bitmap.SaveToStream(&stream);
  return std::string(static_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

TEST(Images, AutoSizeTakesThePicturesPixelSize) {
  TppImage image;
  TPicture picture;
  picture.Bitmap()->SetSize(30, 20);
  image.SetPicture(&picture);
  EXPECT_NE(30, image.PixelWidth()) << "without AutoSize the box stays";
  image.SetAutoSize(true);
  EXPECT_EQ(30, image.PixelWidth());
  EXPECT_EQ(20, image.PixelHeight());
}

// Pictures of a blob field over the in-memory dataset: a good one, a damaged
// one, an empty one; a text field and AutoDisplay off never give a picture.
TEST(Images, DataImagesReadTheirBlobAndShowNothingForBadData) {
  TMemDataSet data;
  data.FieldDefs().Add("Photo", ftBlob);
  data.FieldDefs().Add("Name", ftString, 10);
  data.Open();
  for (const std::string& bytes : {BitmapBytes(6, 4), std::string("BM\x10garbage", 10), std::string()})
    data.AppendRecord({Variant(bytes), Variant("x")});
  TDataSource source;
  source.SetDataSet(&data);
  TppBDEPipeline pipeline;
  pipeline.SetDataSource(&source);
  pipeline.Open();

  struct Case {
    const char* field;
    bool autoDisplay;
    std::vector<int> widths;  // per record
  } cases[] = {{"Photo", true, {6, 0, 0}}, {"Name", true, {0, 0, 0}}, {"Photo", false, {0, 0, 0}}};
  for (const Case& c : cases) {
    TppDBImage image;
    image.SetAutoDisplay(c.autoDisplay);
    image.SetDataPipeline(&pipeline);
    image.SetDataField(c.field);
    std::vector<int> widths;
    for (pipeline.First(); !pipeline.Eof(); pipeline.Next()) widths.push_back(image.GetPicture()->Width());
    EXPECT_EQ(c.widths, widths) << c.field << c.autoDisplay;
  }
}

}  // namespace
