#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/surface.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace testing_support;

TEST(ColorTest, SystemColoursFollowTheScheme) {
  ResetSysColors();
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clHighlight), RGB(0, 0, 128));
  EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFF);
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(clNone), clNone);  // not a system colour: unchanged
  SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
  ResetSysColors();
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(GetSysColor(-1), clBlack);
  EXPECT_EQ(GetSysColor(1000), clBlack);
}

TEST(ColorTest, NamesAndNumbersRoundTrip) {
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(RGB(1, 2, 3)), "$00030201");
  EXPECT_EQ(StringToColor("clbtnface"), clBtnFace);
  EXPECT_EQ(StringToColor("$00030201"), RGB(1, 2, 3));
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor("-2147483633"), clBtnFace);
  EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
  EXPECT_THROW(StringToColor("$123456789"), EConvertError);
  EXPECT_THROW(StringToColor(""), EConvertError);
}

TEST(FontTest, SizeAndHeightFollowTheResolution) {
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.Height(), -11);
  f.SetSize(10);
  EXPECT_EQ(f.Height(), -13);
  f.SetPixelsPerInch(120);
  f.SetSize(10);
  EXPECT_EQ(f.Height(), -17);
  EXPECT_EQ(f.Size(), 10);
}

TEST(FontTest, ChangesAreNotifiedOncePerRealChange) {
  TFont f;
  int changes = 0;
  f.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &f);
    ++changes;
  };
  f.SetColor(clRed);
  f.SetColor(clRed);
  f.SetStyle({fsBold, fsItalic});
  f.SetName("");  // ignored: a font needs a face
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  TFont g;
  g.Assign(&f);
  EXPECT_TRUE(g == f);
  TPen pen;
  EXPECT_THROW(g.Assign(&pen), EConvertError);
}

TEST(FontTest, ClassicFacesResolveToLiberationSans) {
  TFont f;
  EXPECT_EQ(QFontInfo(vantrel::qt::ToQFont(f)).family(), "Liberation Sans");
  f.SetName("Arial");
  EXPECT_EQ(QFontInfo(vantrel::qt::ToQFont(f)).family(), "Liberation Sans");
}

TEST(BrushTest, SettingAColourMakesAClearBrushSolid) {
  TBrush b;
  b.SetStyle(bsClear);
  b.SetColor(clRed);
  EXPECT_EQ(b.Style(), bsSolid);
}

TEST(CanvasTest, WithoutASurfaceDrawingRaises) {
  TCanvas c;
  EXPECT_FALSE(c.HandleAllocated());
  EXPECT_THROW(c.Rectangle(0, 0, 5, 5), EInvalidOperation);
  EXPECT_EQ(c.Pixels(0, 0), CLR_INVALID);
}

TEST(CanvasTest, RectangleExcludesRightAndBottomEdges) {
  auto b = Surface(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  c->Rectangle(2, 3, 10, 8);
  EXPECT_EQ(c->Pixels(2, 3), clBlack);
  EXPECT_EQ(c->Pixels(9, 7), clBlack);    // last pixel inside
  EXPECT_EQ(c->Pixels(10, 7), clWhite);   // right edge excluded
  EXPECT_EQ(c->Pixels(9, 8), clWhite);    // bottom edge excluded
  EXPECT_EQ(c->Pixels(5, 5), clRed);      // brush inside
  EXPECT_EQ(CountPixels(*b, clBlack), 2 * 8 + 2 * 3);
}

TEST(CanvasTest, FillAndFrameCoverExactlyTheRectangle) {
  auto b = Surface(20, 20);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clBlue);
  c->FillRect(Rect(1, 1, 4, 5));
  EXPECT_EQ(CountPixels(*b, clBlue), 3 * 4);
  c->Brush()->SetColor(clLime);
  c->FrameRect(Rect(10, 10, 15, 14));
  EXPECT_EQ(CountPixels(*b, clLime), 2 * 5 + 2 * 2);
  EXPECT_EQ(c->Pixels(12, 12), clWhite);
  c->FillRect(Rect(5, 5, 5, 9));  // empty: nothing
  EXPECT_EQ(CountPixels(*b, clLime), 14);
}

TEST(CanvasTest, LineToLeavesOutTheEndPoint) {
  auto b = Surface(20, 20);
  TCanvas* c = b->Canvas();
  c->MoveTo(2, 2);
  c->LineTo(10, 2);
  EXPECT_EQ(c->Pixels(2, 2), clBlack);
  EXPECT_EQ(c->Pixels(9, 2), clBlack);
  EXPECT_EQ(c->Pixels(10, 2), clWhite);
  EXPECT_EQ(c->PenPos(), Point(10, 2));
  c->LineTo(10, 12);  // continues from the pen position
  EXPECT_EQ(c->Pixels(10, 2), clBlack);
  EXPECT_EQ(c->Pixels(10, 11), clBlack);
  EXPECT_EQ(c->Pixels(10, 12), clWhite);
  EXPECT_EQ(CountPixels(*b, clBlack), 18);
}

TEST(CanvasTest, XorPenDrawnTwiceRestoresThePicture) {
  auto b = Surface(20, 20, clSilver);
  TCanvas* c = b->Canvas();
  c->Pen()->SetMode(pmXor);
  c->Pen()->SetColor(clWhite);
  c->MoveTo(0, 5);
  c->LineTo(20, 5);
  EXPECT_EQ(c->Pixels(3, 5), RGB(63, 63, 63));
  c->MoveTo(0, 5);
  c->LineTo(20, 5);
  EXPECT_EQ(c->Pixels(3, 5), clSilver);
  c->Pen()->SetMode(pmNot);
  c->Brush()->SetStyle(bsClear);
  c->Rectangle(2, 2, 8, 8);
  EXPECT_EQ(c->Pixels(2, 2), RGB(63, 63, 63));
  EXPECT_EQ(c->Pixels(4, 4), clSilver);  // clear brush: inside untouched
}

TEST(CanvasTest, FocusRectangleTogglesAlternatePixels) {
  auto b = Surface(10, 10);
  TCanvas* c = b->Canvas();
  c->DrawFocusRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(c->Pixels(0, 0), clBlack);
  EXPECT_EQ(c->Pixels(1, 0), clWhite);
  EXPECT_EQ(c->Pixels(2, 0), clBlack);
  c->DrawFocusRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(CountPixels(*b, clWhite), 100);
}

TEST(CanvasTest, ClipRectLimitsDrawingAndStateIsRestored) {
  auto b = Surface(20, 20);
  TCanvas* c = b->Canvas();
  EXPECT_EQ(c->ClipRect(), Rect(0, 0, 20, 20));
  c->SaveState();
  c->IntersectClipRect(Rect(5, 5, 10, 10));
  EXPECT_EQ(c->ClipRect(), Rect(5, 5, 10, 10));
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(CountPixels(*b, clRed), 25);
  c->RestoreState();
  EXPECT_EQ(c->ClipRect(), Rect(0, 0, 20, 20));
  c->OffsetOrigin(3, 4);
  c->SetPixels(0, 0, clBlue);
  c->OffsetOrigin(-3, -4);
  EXPECT_EQ(c->Pixels(3, 4), clBlue);
}

TEST(CanvasTest, TextIsDrawnWithTheFontColourAndOpaqueBackground) {
  auto b = Surface(120, 30);
  TCanvas* c = b->Canvas();
  c->Font()->SetColor(clBlue);
  c->Brush()->SetColor(clYellow);
  c->TextOut(2, 2, "Hello");
  const TSize ext = c->TextExtent("Hello");
  EXPECT_GT(ext.cx, 15);
  EXPECT_GE(ext.cy, 11);
  EXPECT_EQ(c->PenPos(), Point(2 + ext.cx, 2));
  EXPECT_GT(CountPixels(*b, clBlue), 10);
  EXPECT_EQ(c->Pixels(2 + ext.cx - 1, 2 + ext.cy - 1) == clYellow ||
                c->Pixels(2 + ext.cx - 1, 2 + ext.cy - 1) == clBlue,
            true);
  EXPECT_EQ(c->Pixels(2 + ext.cx, 2), clWhite);
  // A clear brush leaves the background alone.
  auto t = Surface(120, 30);
  t->Canvas()->Brush()->SetStyle(bsClear);
  t->Canvas()->TextOut(2, 2, "Hello");
  EXPECT_EQ(CountPixels(*t, clYellow), 0);
}

TEST(CanvasTest, RotatedTextRunsUpwards) {
  auto b = Surface(60, 120);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetOrientation(900);
  c->TextOut(10, 110, "Vertical text");
  int minY = 1000, maxY = -1, minX = 1000, maxX = -1;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 60; ++x)
      if (c->Pixels(x, y) == clBlack) {
        minY = std::min(minY, y); maxY = std::max(maxY, y);
        minX = std::min(minX, x); maxX = std::max(maxX, x);
      }
  ASSERT_GE(maxY, 0);
  EXPECT_GT(maxY - minY, 40);  // long along y
  EXPECT_LT(maxX - minX, 20);  // thin along x
  EXPECT_LE(maxY, 110);
}

TEST(CanvasTest, RecordingCanvasLogsCallsAndDraws) {
  TRecordingCanvas rec(40, 40);
  rec.Brush()->SetColor(clRed);
  rec.Rectangle(1, 2, 3, 4);
  rec.MoveTo(0, 0);
  rec.LineTo(5, 5);
  rec.TextOut(20, 20, "x");
  ASSERT_EQ(rec.Commands().size(), 4u);
  EXPECT_EQ(rec.Commands()[0], "Rectangle(1,2,3,4)");
  EXPECT_EQ(rec.Commands()[2], "LineTo(5,5)");
  EXPECT_EQ(rec.Commands()[3], "TextOut(20,20,\"x\")");
  EXPECT_EQ(rec.Image()->Canvas()->Pixels(1, 2), clBlack);
}

TEST(CanvasTest, LockCounts) {
  TCanvas c;
  c.Lock();
  EXPECT_TRUE(c.TryLock());
  EXPECT_EQ(c.LockCount(), 2);
  c.Unlock();
  c.Unlock();
  c.Unlock();  // an extra unlock is harmless
  EXPECT_EQ(c.LockCount(), 0);
}

TEST(MulDivTest, RoundsAndGuardsDivisionByZero) {
  EXPECT_EQ(MulDiv(8, 96, 72), 11);
  EXPECT_EQ(MulDiv(-8, 96, 72), -11);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(2000000000, 2, 4), 1000000000);
}

TEST(FontTest, PublishedPropertiesReachTheFont) {
  TFont f;
  SetEnumProp(&f, "Pitch", "fpFixed");
  SetSetProp(&f, "Style", "fsBold,fsUnderline");
  SetOrdProp(&f, "Color", clRed);
  EXPECT_EQ(f.Pitch(), fpFixed);
  EXPECT_TRUE(f.Style().Contains(fsUnderline));
  EXPECT_EQ(f.Color(), clRed);
  EXPECT_FALSE(IsStoredProp(&f, GetPropInfo(&f, "Size")));  // Height carries it
  EXPECT_TRUE(IsDefaultPropertyValue(&f, GetPropInfo(&f, "Name")));  // default face
  TPen pen;
  EXPECT_EQ(GetEnumProp(&pen, "Mode"), "pmCopy");
}

TEST(CanvasTest, FiguresStayInsideTheirBoundingRectangle) {
  auto b = Surface(40, 40);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->Ellipse(5, 5, 25, 15);
  TRect ink = InkBox(*b, clBlack);
  EXPECT_GE(ink.Left, 5);
  EXPECT_LE(ink.Right, 25);
  EXPECT_LE(ink.Bottom, 15);
  EXPECT_EQ(c->Pixels(15, 10), clRed);
  EXPECT_EQ(c->Pixels(5, 5), clWhite);  // outside the curve

  auto p = Surface(40, 40);
  p->Canvas()->Brush()->SetColor(clBlue);
  // A quarter pie: from the ray to the right, counter-clockwise to the ray up.
  p->Canvas()->Pie(0, 0, 40, 40, 40, 20, 20, 0);
  EXPECT_EQ(p->Canvas()->Pixels(28, 12), clBlue);
  EXPECT_EQ(p->Canvas()->Pixels(12, 28), clWhite);

  auto g = Surface(40, 40);
  g->Canvas()->Brush()->SetColor(clLime);
  g->Canvas()->Polygon({{5, 5}, {35, 5}, {5, 35}});
  EXPECT_EQ(g->Canvas()->Pixels(10, 10), clLime);
  EXPECT_EQ(g->Canvas()->Pixels(30, 30), clWhite);

  auto r = Surface(40, 40);
  r->Canvas()->Brush()->SetColor(clYellow);
  r->Canvas()->RoundRect(0, 0, 40, 40, 20, 20);
  EXPECT_EQ(r->Canvas()->Pixels(0, 0), clWhite);  // rounded corner
  EXPECT_EQ(r->Canvas()->Pixels(20, 0), clBlack);
  EXPECT_EQ(r->Canvas()->Pixels(20, 20), clYellow);
}

TEST(CanvasTest, PenStylesAndBrushPatterns) {
  auto b = Surface(60, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetStyle(psDot);
  c->MoveTo(0, 1);
  c->LineTo(60, 1);
  EXPECT_EQ(c->Pixels(0, 1), clBlack);
  EXPECT_EQ(c->Pixels(3, 1), clWhite);  // dots of three, gaps of three
  EXPECT_EQ(c->Pixels(6, 1), clBlack);
  c->Pen()->SetStyle(psClear);
  c->MoveTo(0, 3);
  c->LineTo(60, 3);
  EXPECT_EQ(c->Pixels(5, 3), clWhite);
  c->Brush()->SetColor(clRed);
  c->Brush()->SetStyle(bsHorizontal);
  c->FillRect(Rect(0, 5, 60, 20));
  int red = CountPixels(*b, clRed);
  EXPECT_GT(red, 0);
  EXPECT_LT(red, 60 * 15 / 2);  // hatched, not solid
  auto pattern = Surface(2, 2, clBlue);
  pattern->Canvas()->SetPixels(0, 0, clLime);
  auto t = Surface(4, 4);
  t->Canvas()->Brush()->SetBitmap(pattern.get());
  t->Canvas()->FillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(t->Canvas()->Pixels(0, 0), clLime);
  EXPECT_EQ(t->Canvas()->Pixels(2, 2), clLime);  // tiled
  EXPECT_EQ(t->Canvas()->Pixels(1, 0), clBlue);
}

TEST(CanvasTest, TextRectAndExtTextOutClipAndFill) {
  auto b = Surface(100, 30);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clYellow);
  c->TextRect(Rect(10, 5, 30, 25), 12, 6, "Wide text here");
  EXPECT_EQ(c->Pixels(10, 5), clYellow);   // the whole rectangle is filled
  EXPECT_EQ(c->Pixels(29, 24), clYellow);
  EXPECT_LE(InkBox(*b, clBlack).Right, 30);
  auto e = Surface(100, 30);
  e->Canvas()->Brush()->SetColor(clAqua);
  e->Canvas()->MoveTo(1, 1);
  const TRect cell = Rect(50, 0, 70, 20);
  ExtTextOut(e->Canvas(), 52, 2, ETO_OPAQUE | ETO_CLIPPED, &cell, "Clipped text");
  EXPECT_EQ(e->Canvas()->Pixels(69, 19), clAqua);
  EXPECT_LE(InkBox(*e, clBlack).Right, 70);
  EXPECT_GT(InkBox(*e, clBlack).Right, 52);
  EXPECT_EQ(e->Canvas()->PenPos(), Point(1, 1));  // no current-position update
}

TEST(CanvasTest, FloodFillAndExcludedClip) {
  auto b = Surface(20, 20);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  c->Rectangle(2, 2, 12, 12);  // a black frame
  c->Brush()->SetColor(clRed);
  c->FloodFill(5, 5, clBlack, TCanvas::fsBorder);  // fill until the border
  EXPECT_EQ(c->Pixels(5, 5), clRed);
  EXPECT_EQ(c->Pixels(10, 10), clRed);
  EXPECT_EQ(c->Pixels(15, 15), clWhite);  // outside stays
  c->Brush()->SetColor(clBlue);
  c->FloodFill(15, 15, clWhite, TCanvas::fsSurface);  // fill the white surface
  EXPECT_EQ(c->Pixels(0, 0), clBlue);
  EXPECT_EQ(c->Pixels(5, 5), clRed);
  c->FloodFill(-5, 3, clWhite, TCanvas::fsSurface);  // outside: nothing, no failure

  auto e = Surface(10, 10);
  e->Canvas()->ExcludeClipRect(Rect(2, 2, 8, 8));
  e->Canvas()->Brush()->SetColor(clLime);
  e->Canvas()->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(CountPixels(*e, clLime), 100 - 36);
  e->Canvas()->ResetClip();
  e->Canvas()->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(CountPixels(*e, clLime), 100);
}

// Corners given in either order name the same rectangle, for every figure.
TEST(CanvasTest, FiguresWithReversedCornersMatchTheOrderedOnes) {
  using Figure = std::function<void(TCanvas*, int, int, int, int)>;
  const Figure figures[] = {
      [](TCanvas* c, int x1, int y1, int x2, int y2) { c->Rectangle(x1, y1, x2, y2); },
      [](TCanvas* c, int x1, int y1, int x2, int y2) { c->Ellipse(x1, y1, x2, y2); },
      [](TCanvas* c, int x1, int y1, int x2, int y2) { c->RoundRect(x1, y1, x2, y2, 10, 10); },
      [](TCanvas* c, int x1, int y1, int x2, int y2) {
        c->Pie(x1, y1, x2, y2, 40, 20, 20, 0);
      },
  };
  for (const Figure& draw : figures) {
    auto ordered = Surface(40, 40);
    auto reversed = Surface(40, 40);
    for (TBitmap* b : {ordered.get(), reversed.get()}) b->Canvas()->Brush()->SetColor(clRed);
    draw(ordered->Canvas(), 4, 6, 34, 30);
    draw(reversed->Canvas(), 34, 30, 4, 6);
    ASSERT_GT(CountPixels(*ordered, clRed), 100);
    int differing = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x)
        if (ordered->Canvas()->Pixels(x, y) != reversed->Canvas()->Pixels(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
  }
}
