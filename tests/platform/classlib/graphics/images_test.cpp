#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <iterator>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/surface.h"

namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

using namespace testing_support;

TEST(BitmapTest, ResizingKeepsPixelsAndFillsWhite) {
  auto b = Surface(4, 4, clRed);
  b->SetSize(6, 5);
  EXPECT_EQ(b->Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(b->Canvas()->Pixels(5, 4), clWhite);
  b->SetSize(0, 7);
  EXPECT_TRUE(b->Empty());
  b->SetSize(-3, -3);
  EXPECT_EQ(b->Width(), 0);
}

TEST(BitmapTest, TransparentColourLetsTheBackgroundShow) {
  auto glyph = Surface(4, 4, clFuchsia);
  glyph->Canvas()->Brush()->SetColor(clBlue);
  glyph->Canvas()->FillRect(Rect(1, 1, 3, 3));
  EXPECT_EQ(glyph->TransparentColor(), clFuchsia);  // bottom-left pixel in auto mode
  glyph->SetTransparent(true);
  auto target = Surface(10, 10, clLime);
  target->Canvas()->Draw(2, 2, glyph.get());
  TCanvas* c = target->Canvas();
  EXPECT_EQ(c->Pixels(2, 2), clLime);
  EXPECT_EQ(c->Pixels(3, 3), clBlue);
  EXPECT_EQ(c->Pixels(5, 5), clLime);
  // Fixed transparent colour: blue now disappears, fuchsia shows.
  glyph->SetTransparentColor(clBlue);
  EXPECT_EQ(glyph->TransparentMode(), tmFixed);
  auto t2 = Surface(10, 10, clLime);
  t2->Canvas()->Draw(0, 0, glyph.get());
  EXPECT_EQ(t2->Canvas()->Pixels(0, 0), clFuchsia);
  EXPECT_EQ(t2->Canvas()->Pixels(1, 1), clLime);
  // Opaque drawing copies everything.
  glyph->SetTransparent(false);
  auto t3 = Surface(10, 10, clLime);
  t3->Canvas()->StretchDraw(Rect(0, 0, 8, 8), glyph.get());
  EXPECT_EQ(t3->Canvas()->Pixels(0, 0), clFuchsia);
  EXPECT_EQ(t3->Canvas()->Pixels(3, 3), clBlue);  // stretched twice
}

TEST(BitmapTest, CopyModesCombineSourceAndDestination) {
  auto src = Surface(2, 1, clWhite);
  src->Canvas()->SetPixels(0, 0, clBlack);
  auto dst = Surface(2, 1, RGB(0x12, 0x34, 0x56));
  TCanvas* d = dst->Canvas();
  d->SetCopyMode(SRCAND);  // black source blackens, white keeps the destination
  d->CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(d->Pixels(0, 0), clBlack);
  EXPECT_EQ(d->Pixels(1, 0), RGB(0x12, 0x34, 0x56));
  d->SetCopyMode(SRCINVERT);
  d->CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(d->Pixels(0, 0), clBlack);
  EXPECT_EQ(d->Pixels(1, 0), RGB(0xED, 0xCB, 0xA9));
  d->SetCopyMode(DSTINVERT);
  d->CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(d->Pixels(0, 0), clWhite);
  d->SetCopyMode(NOTSRCCOPY);
  d->CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(d->Pixels(0, 0), clWhite);
  EXPECT_EQ(d->Pixels(1, 0), clBlack);
  d->SetCopyMode(SRCPAINT);
  auto dst2 = Surface(2, 1, clRed);
  dst2->Canvas()->SetCopyMode(SRCPAINT);
  dst2->Canvas()->CopyRect(Rect(0, 0, 2, 1), src->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(dst2->Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(dst2->Canvas()->Pixels(1, 0), clWhite);
}

TEST(BitmapTest, BrushWhereTheMaskIsBlack) {
  auto mask = Surface(2, 1, clWhite);
  mask->Canvas()->SetPixels(0, 0, clBlack);
  auto dst = Surface(2, 1, clGreen);
  dst->Canvas()->Brush()->SetColor(clYellow);
  dst->Canvas()->SetCopyMode(ROP_PSDPxax);
  dst->Canvas()->CopyRect(Rect(0, 0, 2, 1), mask->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(dst->Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(dst->Canvas()->Pixels(1, 0), clGreen);
  // PATINVERT xors the brush in.
  dst->Canvas()->Brush()->SetColor(clWhite);
  dst->Canvas()->SetCopyMode(PATINVERT);
  dst->Canvas()->CopyRect(Rect(0, 0, 2, 1), mask->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(dst->Canvas()->Pixels(1, 0), RGB(255, 127, 255));
}

TEST(BitmapTest, BrushCopyRecoloursOneColour) {
  auto arrow = Surface(3, 1, clWhite);
  arrow->Canvas()->SetPixels(1, 0, clBlack);
  auto dst = Surface(3, 1, clRed);
  dst->Canvas()->Brush()->SetColor(clBtnFace);
  dst->Canvas()->BrushCopy(Rect(0, 0, 3, 1), arrow.get(), Rect(0, 0, 3, 1), clWhite);
  EXPECT_EQ(dst->Canvas()->Pixels(0, 0), ColorToRGB(clBtnFace));
  EXPECT_EQ(dst->Canvas()->Pixels(1, 0), clBlack);
}

TEST(BitmapTest, SavesAndLoadsBmpKeepingPixelsAndDepth) {
  QTemporaryDir dir;
  const std::string name = dir.filePath("a.bmp").toStdString();
  auto b = Surface(5, 3, clTeal);
  b->Canvas()->SetPixels(4, 2, clYellow);
  b->SaveToFile(name);
  EXPECT_EQ(ReadFile(name).substr(0, 2), "BM");
  TBitmap c;
  c.LoadFromFile(name);
  EXPECT_EQ(c.Width(), 5);
  EXPECT_EQ(c.Height(), 3);
  EXPECT_EQ(c.Canvas()->Pixels(4, 2), clYellow);
  EXPECT_EQ(c.Canvas()->Pixels(0, 0), clTeal);

  b->SetMonochrome(true);  // teal is dark, yellow light
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(b->Canvas()->Pixels(4, 2), clWhite);
  b->SaveToFile(name);
  TBitmap m;
  m.LoadFromFile(name);
  EXPECT_TRUE(m.Monochrome());
  EXPECT_EQ(m.Canvas()->Pixels(4, 2), clWhite);
}

TEST(BitmapTest, BadFilesGiveClearErrors) {
  QTemporaryDir dir;
  TBitmap b;
  EXPECT_THROW(b.LoadFromFile(dir.filePath("missing.bmp").toStdString()), EFOpenError);
  const std::string junk = dir.filePath("junk.bmp").toStdString();
  std::ofstream(junk) << "BMnot really a bitmap";
  EXPECT_THROW(b.LoadFromFile(junk), EInvalidGraphic);
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.SaveToFile(dir.filePath("empty.bmp").toStdString()), EInvalidGraphicOperation);
}

TEST(BitmapTest, MaskAndAssign) {
  auto b = Surface(2, 1, clRed);
  b->Canvas()->SetPixels(1, 0, clBlue);
  TBitmap copy;
  copy.Assign(b.get());
  b->Mask(clRed);
  EXPECT_TRUE(b->Monochrome());
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(b->Canvas()->Pixels(1, 0), clWhite);
  EXPECT_EQ(copy.Canvas()->Pixels(0, 0), clRed);  // the copy is independent
  int changes = 0;
  copy.OnChange = [&](TObject*) { ++changes; };
  copy.Canvas()->SetPixels(0, 0, clLime);
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(copy.Modified());
}

TEST(MetafileTest, RecordsReplaysScaledAndSavesSvg) {
  TMetafile meta;
  meta.SetWidth(20);
  meta.SetHeight(10);
  {
    TMetafileCanvas mc(&meta);
    mc.Brush()->SetColor(clRed);
    mc.Pen()->SetStyle(psClear);
    mc.FillRect(Rect(0, 0, 10, 10));
  }
  EXPECT_FALSE(meta.Empty());
  auto target = Surface(40, 20);
  target->Canvas()->StretchDraw(Rect(0, 0, 40, 20), &meta);
  EXPECT_EQ(target->Canvas()->Pixels(5, 5), clRed);
  EXPECT_EQ(target->Canvas()->Pixels(18, 18), clRed);
  EXPECT_EQ(target->Canvas()->Pixels(25, 5), clWhite);

  QTemporaryDir dir;
  const std::string name = dir.filePath("m.svg").toStdString();
  meta.SaveToFile(name);
  const std::string svg = ReadFile(name);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  TMetafile loaded;
  loaded.LoadFromFile(name);
  EXPECT_EQ(loaded.Width(), 20);
  auto t2 = Surface(20, 10);
  t2->Canvas()->Draw(0, 0, &loaded);
  EXPECT_EQ(t2->Canvas()->Pixels(5, 5), clRed);
  EXPECT_EQ(t2->Canvas()->Pixels(15, 5), clWhite);
  const std::string junk = dir.filePath("junk.svg").toStdString();
  std::ofstream(junk) << "<not svg";
  EXPECT_THROW(loaded.LoadFromFile(junk), EInvalidGraphic);
  EXPECT_EQ(loaded.Width(), 20);  // unchanged after a failed load
}

// The SVG file as a picture of its size.
std::unique_ptr<TBitmap> RenderSvg(const std::string& name) {
  TMetafile svg;
  svg.LoadFromFile(name);
  auto b = Surface(svg.Width(), svg.Height(), clFuchsia);
  b->Canvas()->Draw(0, 0, &svg);
  return b;
}

TEST(SvgCanvasTest, WritesTheDrawing) {
  QTemporaryDir dir;
  const std::string name = dir.filePath("c.svg").toStdString();
  {
    TSvgCanvas c(name, 100, 50, "chart");
    c.Brush()->SetColor(clBlue);
    c.Rectangle(10, 10, 50, 40);
    c.Brush()->SetStyle(bsClear);
    c.TextOut(60, 5, "Legend");
  }
  EXPECT_NE(ReadFile(name).find("<title>chart</title>"), std::string::npos);
  auto shown = RenderSvg(name);
  EXPECT_EQ(shown->Canvas()->Pixels(30, 25), clBlue);
  EXPECT_EQ(shown->Canvas()->Pixels(10, 25), clBlack);  // the pen's edge
  int text = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 60; x < 100; ++x) text += shown->Canvas()->Pixels(x, y) != clFuchsia;
  EXPECT_GT(text, 20);
}

TEST(SvgCanvasTest, WhiteOfAnAndedPictureIsTransparentOnTheVectorPage) {
  // A black square on white, ANDed onto red: red stays around the square, as on the screen.
  auto picture = Surface(20, 20, clWhite);
  picture->Canvas()->Brush()->SetColor(clBlack);
  picture->Canvas()->FillRect(Rect(5, 5, 15, 15));
  QTemporaryDir dir;
  const std::string name = dir.filePath("and.svg").toStdString();
  auto draw = [&](TCanvas* c) {
    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(0, 0, 40, 40));
    c->SetCopyMode(cmSrcAnd);
    c->CopyRect(Rect(10, 10, 30, 30), picture->Canvas(), Rect(0, 0, 20, 20));
  };
  {
    TSvgCanvas svg(name, 40, 40);
    draw(&svg);
  }
  auto screen = Surface(40, 40);
  draw(screen->Canvas());
  auto page = RenderSvg(name);
  for (TPoint p : {Point(12, 12), Point(20, 20), Point(35, 35)})
    EXPECT_EQ(page->Canvas()->Pixels(p.x, p.y), screen->Canvas()->Pixels(p.x, p.y)) << p.x;
  EXPECT_EQ(page->Canvas()->Pixels(12, 12), clRed);
  EXPECT_EQ(page->Canvas()->Pixels(20, 20), clBlack);
}

TEST(PictureTest, HoldsOneKindAndLoadsByExtension) {
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.Bitmap()->SetSize(3, 2);
  EXPECT_EQ(pic.Width(), 3);
  EXPECT_GE(changes, 2);  // a new graphic, then its change
  TIcon* icon = pic.Icon();  // replaces the bitmap
  EXPECT_TRUE(icon->Empty());
  EXPECT_EQ(pic.Width(), 0);
  QTemporaryDir dir;
  EXPECT_THROW(pic.LoadFromFile(dir.filePath("x.xyz").toStdString()), EInvalidGraphic);
  auto b = Surface(4, 4, clRed);
  const std::string name = dir.filePath("p.bmp").toStdString();
  b->SaveToFile(name);
  pic.LoadFromFile(name);
  ASSERT_TRUE(Is<TBitmap>(pic.Graphic()));
  EXPECT_EQ(pic.Bitmap()->Canvas()->Pixels(1, 1), clRed);
  TPicture other;
  other.Assign(&pic);
  EXPECT_NE(other.Graphic(), pic.Graphic());
  EXPECT_EQ(other.Bitmap()->Canvas()->Pixels(1, 1), clRed);
  TBitmap out;
  out.Assign(&pic);  // a picture holding a bitmap assigns to a bitmap
  EXPECT_EQ(out.Width(), 4);
}

TEST(IconTest, KeepsAlphaAndCannotBeResized) {
  auto b = Surface(4, 4, clFuchsia);
  b->Canvas()->SetPixels(1, 1, clBlue);
  b->SetTransparent(true);
  TIcon icon;
  icon.Assign(b.get());
  EXPECT_THROW(icon.SetWidth(8), EInvalidGraphicOperation);
  auto t = Surface(4, 4, clLime);
  t->Canvas()->Draw(0, 0, &icon);
  EXPECT_EQ(t->Canvas()->Pixels(0, 0), clLime);
  EXPECT_EQ(t->Canvas()->Pixels(1, 1), clBlue);
}

TEST(BitmapTest, StreamsCarryBitmapFilesAndDamageIsReported) {
  auto b = Surface(4, 3, clNavy);
  TMemoryStream stream;
  b->SaveToStream(&stream);
  EXPECT_GT(stream.Size(), 54);  // file header and pixels
  stream.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(&stream);
  EXPECT_EQ(back.Height(), 3);
  EXPECT_EQ(back.Canvas()->Pixels(3, 2), clNavy);
  TMemoryStream junk;
  junk.WriteBuffer("BMxxxx", 6);
  junk.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(&junk), EInvalidGraphic);
  EXPECT_EQ(back.Width(), 4);  // unchanged after the failure
  TMetafile meta;
  meta.SetWidth(10);
  meta.SetHeight(10);
  { TMetafileCanvas mc(&meta); mc.Rectangle(0, 0, 5, 5); }
  TMemoryStream svg;
  meta.SaveToStream(&svg);
  svg.SetPosition(0);
  TMetafile loaded;
  loaded.LoadFromStream(&svg);
  EXPECT_EQ(loaded.Width(), 10);
}

TEST(BitmapTest, PatternOperationsNeedNoSource) {
  auto b = Surface(4, 1, clBlack);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clWhite);
  c->SetCopyMode(PATINVERT);
  c->CopyRect(Rect(0, 0, 2, 1), nullptr, Rect(0, 0, 0, 0));
  EXPECT_EQ(c->Pixels(0, 0), clWhite);
  EXPECT_EQ(c->Pixels(2, 0), clBlack);
  c->SetCopyMode(SRCCOPY);
  c->CopyRect(Rect(0, 0, 4, 1), nullptr, Rect(0, 0, 4, 1));  // needs a source: nothing
  EXPECT_EQ(c->Pixels(0, 0), clWhite);
  // A pattern brush starts at the brush origin.
  auto pattern = Surface(2, 1, clRed);
  pattern->Canvas()->SetPixels(1, 0, clBlue);
  auto t = Surface(4, 1);
  t->Canvas()->Brush()->SetBitmap(pattern.get());
  t->Canvas()->SetBrushOrigin({1, 0});
  t->Canvas()->FillRect(Rect(0, 0, 4, 1));
  EXPECT_EQ(t->Canvas()->Pixels(0, 0), clBlue);
  EXPECT_EQ(t->Canvas()->Pixels(1, 0), clRed);
}

TEST(BitmapTest, HugeSizesFailCleanlyAndKeepThePicture) {
  auto b = Surface(4, 3, clNavy);
  EXPECT_THROW(b->SetSize(100000, 100000), EOutOfResources);
  EXPECT_THROW(b->SetWidth(2000000000), EOutOfResources);
  EXPECT_EQ(b->Width(), 4);
  EXPECT_EQ(b->Height(), 3);
  EXPECT_EQ(b->Canvas()->Pixels(3, 2), clNavy);
  b->SetSize(300, 200);  // ordinary sizes still work
  EXPECT_EQ(b->Canvas()->Pixels(299, 199), clWhite);

  // A file header claiming a picture of 2^31 x 2^31 pixels.
  unsigned char header[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                              0xff, 0xff, 0xff, 0x7f, 0xff, 0xff, 0xff, 0x7f, 1, 0, 24, 0};
  TMemoryStream stream;
  stream.WriteBuffer(header, sizeof header);
  stream.SetPosition(0);
  EXPECT_THROW(b->LoadFromStream(&stream), EInvalidGraphic);
  EXPECT_EQ(b->Width(), 300);
}
