#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/graphics/surface.h"

using namespace testing_support;

TEST(DrawEdgeTest, RaisedEdgeUsesLightTopLeftAndDarkBottomRight) {
  auto b = Surface(20, 20, clRed);
  TRect r = Rect(2, 2, 12, 10);
  ASSERT_TRUE(DrawEdge(b->Canvas(), r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST));
  TCanvas* c = b->Canvas();
  EXPECT_EQ(c->Pixels(2, 5), ColorToRGB(cl3DLight));         // outer left
  EXPECT_EQ(c->Pixels(5, 2), ColorToRGB(cl3DLight));         // outer top
  EXPECT_EQ(c->Pixels(11, 5), ColorToRGB(cl3DDkShadow));     // outer right
  EXPECT_EQ(c->Pixels(5, 9), ColorToRGB(cl3DDkShadow));      // outer bottom
  EXPECT_EQ(c->Pixels(11, 2), ColorToRGB(cl3DDkShadow));     // dark owns top-right
  EXPECT_EQ(c->Pixels(2, 9), ColorToRGB(cl3DDkShadow));      // and bottom-left
  EXPECT_EQ(c->Pixels(3, 5), ColorToRGB(clBtnHighlight));    // inner left
  EXPECT_EQ(c->Pixels(10, 5), ColorToRGB(clBtnShadow));      // inner right
  EXPECT_EQ(c->Pixels(6, 6), ColorToRGB(clBtnFace));         // middle
  EXPECT_EQ(c->Pixels(12, 5), clRed);                        // right edge excluded
  EXPECT_EQ(r, Rect(4, 4, 10, 8));
}

TEST(DrawEdgeTest, SunkenAndPartialSidesAndNoAdjust) {
  auto b = Surface(20, 20, clRed);
  TRect r = Rect(0, 0, 10, 10);
  DrawEdge(b->Canvas(), r, BDR_SUNKENOUTER, BF_TOP | BF_BOTTOM);
  TCanvas* c = b->Canvas();
  EXPECT_EQ(c->Pixels(5, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(c->Pixels(5, 9), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(c->Pixels(0, 5), clRed);  // no left side
  EXPECT_EQ(r, Rect(0, 0, 10, 10));   // unchanged without BF_ADJUST
  TRect empty = Rect(5, 5, 5, 9);
  EXPECT_FALSE(DrawEdge(c, empty, EDGE_RAISED, BF_RECT));
}

TEST(DrawEdgeTest, Frame3DNestsAndShrinks) {
  auto b = Surface(20, 20, clRed);
  TRect r = Rect(0, 0, 10, 10);
  Frame3D(b->Canvas(), r, clWhite, clBlack, 2);
  EXPECT_EQ(r, Rect(2, 2, 8, 8));
  EXPECT_EQ(b->Canvas()->Pixels(1, 5), clWhite);
  EXPECT_EQ(b->Canvas()->Pixels(8, 5), clBlack);
  EXPECT_EQ(b->Canvas()->Pixels(2, 5), clRed);
}

TEST(DrawTextTest, CalcRectMeasuresWrappedLines) {
  auto b = Surface(200, 100);
  TCanvas* c = b->Canvas();
  const int lineHeight = c->TextHeight("Wg");
  TRect r = Rect(0, 0, 60, 0);
  const int h = DrawText(c, "one two three four five", r, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(h, 2 * lineHeight);
  EXPECT_EQ(r.Bottom, h);
  EXPECT_LE(r.Right, 60);
  EXPECT_EQ(InkBox(*b, clBlack).Right, -1);  // nothing drawn
  TRect one = Rect(0, 0, 0, 0);
  DrawText(c, "a\r\nb\nc", one, DT_CALCRECT);
  EXPECT_EQ(one.Bottom, 3 * lineHeight);
  TRect none = Rect(5, 5, 50, 50);
  EXPECT_EQ(DrawText(c, "", none, DT_CALCRECT), 0);
  EXPECT_EQ(none, Rect(5, 5, 5, 5));
  TRect single = Rect(0, 0, 0, 0);
  DrawText(c, "a\r\nb", single, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(single.Bottom, lineHeight);
}

TEST(DrawTextTest, WrapsAtBlanksAndAlignsEachLine) {
  auto b = Surface(200, 100);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  const int lineHeight = c->TextHeight("Wg");
  TRect r = Rect(10, 10, 110, 90);
  DrawText(c, "alpha beta gamma delta", r, DT_WORDBREAK | DT_RIGHT);
  const TRect ink = InkBox(*b, clBlack);
  EXPECT_LE(ink.Right, 110);
  EXPECT_GE(ink.Right, 105);          // right-aligned
  EXPECT_GT(ink.Bottom, 10 + lineHeight);  // more than one line
  EXPECT_GE(ink.Top, 10);
  // Centred single line, vertically centred.
  auto d = Surface(200, 100);
  d->Canvas()->Brush()->SetStyle(bsClear);
  TRect box = Rect(0, 0, 200, 100);
  DrawText(d->Canvas(), "mid", box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  const TRect m = InkBox(*d, clBlack);
  EXPECT_NEAR((m.Left + m.Right) / 2, 100, 3);
  EXPECT_NEAR((m.Top + m.Bottom) / 2, 50, 4);
}

TEST(DrawTextTest, ClipsToTheRectangleUnlessNoClip) {
  auto b = Surface(200, 40);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  TRect r = Rect(0, 0, 20, 20);
  DrawText(c, "a long line of text", r, DT_SINGLELINE);
  EXPECT_LE(InkBox(*b, clBlack).Right, 20);
  TRect r2 = Rect(0, 20, 20, 40);
  DrawText(c, "a long line of text", r2, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(InkBox(*b, clBlack).Right, 40);
}

TEST(DrawTextTest, EndEllipsisFitsTheWidth) {
  auto b = Surface(200, 40);
  TCanvas* c = b->Canvas();
  TRect r = Rect(0, 0, 50, 20);
  DrawText(c, "a long line of text that does not fit", r,
           DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
  EXPECT_LE(r.Width(), 50);
  EXPECT_GT(r.Width(), 20);
}

TEST(DrawTextTest, PrefixUnderlinesTheMnemonic) {
  auto a = Surface(100, 30);
  auto b = Surface(100, 30);
  a->Canvas()->Brush()->SetStyle(bsClear);
  b->Canvas()->Brush()->SetStyle(bsClear);
  TRect r = Rect(0, 0, 100, 30);
  DrawText(a->Canvas(), "&File", r, DT_SINGLELINE);
  DrawText(b->Canvas(), "File", r, DT_SINGLELINE);
  const TRect withLine = InkBox(*a, clBlack), plain = InkBox(*b, clBlack);
  EXPECT_EQ(withLine.Left, plain.Left);  // "&" itself is not drawn
  EXPECT_GT(withLine.Bottom, plain.Bottom - 1);
  TRect calcPrefix = Rect(0, 0, 0, 0), calcNoPrefix = Rect(0, 0, 0, 0);
  DrawText(a->Canvas(), "A&&B", calcPrefix, DT_CALCRECT | DT_SINGLELINE);
  DrawText(a->Canvas(), "A&&B", calcNoPrefix, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_LT(calcPrefix.Width(), calcNoPrefix.Width());
  EXPECT_EQ(GetMnemonic("&File"), U'f');
  EXPECT_EQ(GetMnemonic("Save &As"), U'a');
  EXPECT_EQ(GetMnemonic("Fish && Chips"), 0u);
  EXPECT_TRUE(IsAccel(U'F', "&File"));
  EXPECT_FALSE(IsAccel(U'i', "&File"));
  EXPECT_TRUE(IsAccel(0x3C3, "&\u03C2x"));  // a final sigma is a sigma
  EXPECT_TRUE(IsAccel(U'k', "&\u212Aelvin"));
  EXPECT_EQ(StripHotkey("Fish && &Chips"), "Fish & Chips");
}

TEST(DrawTextTest, ExpandTabsMovesTextToTheNextStop) {
  auto b = Surface(300, 30);
  TCanvas* c = b->Canvas();
  TRect tab = Rect(0, 0, 0, 0), notab = Rect(0, 0, 0, 0);
  DrawText(c, "a\tb", tab, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  DrawText(c, "ab", notab, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_GE(tab.Width(), 8 * c->TextMetrics().AveCharWidth);
  EXPECT_LT(notab.Width(), tab.Width());
}

TEST(DrawTextTest, MnemonicAfterATabUnderlinesItsOwnCharacter) {
  auto b = Surface(200, 30);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  TRect r = Rect(0, 0, 200, 30);
  DrawText(c, "\t&x", r, DT_SINGLELINE | DT_EXPANDTABS);
  // Text and underline both start at the first tab stop.
  EXPECT_GE(InkBox(*b, clBlack).Left, 8 * c->TextMetrics().AveCharWidth - 1);
}

TEST(TabbedTextTest, TabsStopAtTheGivenOrDefaultPositions) {
  auto b = Surface(400, 30);
  TCanvas* c = b->Canvas();
  const int ave = c->TextMetrics().AveCharWidth, step = 8 * ave;
  const int wb = c->TextWidth("b"), wc = c->TextWidth("c");
  ASSERT_LT(c->TextWidth("a") + wb, 30);  // the pieces fit between the stops used below
  struct Case {
    const char* text;
    std::vector<int> stops;
    int width;
  } cases[] = {
      {"a\tb", {}, step + wb},                 // default: 8 average characters
      {"a\tb", {50}, 50 + wb},                 // one stop: a spacing
      {"a\tb\tc", {30}, 60 + wc},
      {"a\tb\tc", {30, 70}, 70 + wc},          // several: positions
      {"\tb", {30, 70}, 30 + wb},
      {"a\t\tb", {30, 70}, 70 + wb},
      {"a\tb\tc\tb", {30, 70}, ((70 + wc) / step + 1) * step + wb},  // past the last
      {"ab", {30}, c->TextWidth("ab")},
  };
  for (const Case& k : cases)
    EXPECT_EQ(GetTabbedTextExtent(c, k.text, k.stops), (TSize{k.width, c->TextHeight("b")}))
        << k.text;
  EXPECT_EQ(c->TextWidth("a\tb"), step + wb);  // not the toolkit's own 80-pixel stops
  // Drawn: the piece after the tab starts at the stop, measured from the tab origin.
  c->Brush()->SetStyle(bsClear);
  EXPECT_EQ(TabbedTextOut(c, 10, 5, "\tI", {40}, 10), (TSize{40 + c->TextWidth("I"), c->TextHeight("I")}));
  const TRect ink = InkBox(*b, clBlack);
  EXPECT_GE(ink.Left, 50);
  EXPECT_LE(ink.Right, 50 + c->TextWidth("I"));
}

TEST(TabbedTextTest, LineSpacingIsHeightPlusExternalLeading) {
  auto b = Surface(10, 10);
  for (const char* face : {"Arial", "Times New Roman", "Courier New"}) {
    b->Canvas()->Font()->SetName(face);
    b->Canvas()->Font()->SetSize(12);
    const TCanvas::TTextMetric tm = b->Canvas()->TextMetrics();
    EXPECT_GE(tm.ExternalLeading, 0) << face;
    EXPECT_EQ(tm.Height + tm.ExternalLeading, QFontMetrics(vantrel::qt::ToQFont(*b->Canvas()->Font())).lineSpacing()) << face;
  }
}

TEST(FrameControlTest, CheckBoxAndCloseButton) {
  auto b = Surface(40, 20, clRed);
  TRect box = Rect(0, 0, 13, 13);
  DrawFrameControl(b->Canvas(), box, DFC_BUTTON, DFCS_BUTTONCHECK);
  TCanvas* c = b->Canvas();
  EXPECT_EQ(c->Pixels(0, 6), ColorToRGB(clBtnShadow));
  EXPECT_EQ(c->Pixels(6, 6), ColorToRGB(clWindow));
  TRect checked = Rect(20, 0, 33, 13);
  DrawFrameControl(c, checked, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_EQ(InkBox(*b, clBlack).Right > 20, true);
  auto cap = Surface(20, 20, clRed);
  TRect close = Rect(0, 0, 16, 14);
  DrawFrameControl(cap->Canvas(), close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
  const TRect ink = InkBox(*cap, clBlack);
  EXPECT_GT(ink.Right - ink.Left, 4);  // the cross
  EXPECT_EQ(cap->Canvas()->Pixels(15, 13), ColorToRGB(cl3DDkShadow));
  TRect pushed = Rect(0, 0, 16, 14);
  auto cap2 = Surface(20, 20, clRed);
  DrawFrameControl(cap2->Canvas(), pushed, DFC_CAPTION, DFCS_CAPTIONCLOSE | DFCS_PUSHED);
  EXPECT_EQ(cap2->Canvas()->Pixels(0, 0), ColorToRGB(clBtnShadow));
}

TEST(DisabledTextTest, DrawsHighlightThenShadow) {
  auto b = Surface(60, 30, clBtnFace);
  DrawDisabledText(b->Canvas(), "Off", Rect(2, 2, 60, 30), DT_SINGLELINE);
  EXPECT_NE(InkBox(*b, ColorToRGB(clBtnHighlight)).Right, -1);
  EXPECT_NE(InkBox(*b, ColorToRGB(clBtnShadow)).Right, -1);
  EXPECT_EQ(InkBox(*b, clBlack).Right, -1);
  EXPECT_EQ(b->Canvas()->Font()->Color(), clWindowText);  // restored
}

TEST(DrawCaptionTest, ActiveAndInactiveColoursAndText) {
  auto b = Surface(120, 16, clRed);
  ASSERT_TRUE(DrawCaption(b->Canvas(), Rect(0, 0, 120, 16), "Toolbar", DC_ACTIVE | DC_TEXT | DC_SMALLCAP));
  EXPECT_EQ(b->Canvas()->Pixels(119, 15), ColorToRGB(clActiveCaption));
  const TRect text = InkBox(*b, ColorToRGB(clCaptionText));
  EXPECT_GE(text.Left, 2);
  EXPECT_GT(text.Right, 20);
  EXPECT_EQ(b->Canvas()->Font()->Style(), TFontStyles{});  // the canvas font is left alone
  auto i = Surface(40, 16, clRed);
  DrawCaption(i->Canvas(), Rect(0, 0, 40, 16), "A very long caption text", DC_TEXT);
  EXPECT_EQ(i->Canvas()->Pixels(0, 0), ColorToRGB(clInactiveCaption));
  EXPECT_LE(InkBox(*i, ColorToRGB(clInactiveCaptionText)).Right, 38);
  TRect empty = Rect(0, 0, 0, 0);
  EXPECT_FALSE(DrawCaption(i->Canvas(), empty, "x", DC_TEXT));
}
