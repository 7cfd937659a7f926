#include "report/output/ppdrawcmd.h"

#include <algorithm>
#include <cmath>

#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"

int ppRound(double value) { return int(std::nearbyint(value)); }

TRect ppDrawRect(const TppDrawCommand& c) {
  return Rect(c.DrawLeft, c.DrawTop, c.DrawRight, c.DrawBottom);
}

// ---- Text ----------------------------------------------------------------------------------

std::vector<std::string> ppTextLines(const TppDrawText& command) {
  if (command.WordWrap) {
    std::vector<std::string> lines;
    for (int i = 0; i < command.WrappedText.Count(); ++i) lines.push_back(command.WrappedText[i]);
    return lines;
  }
  if (command.Text.empty()) return {};
  return {command.Text};
}

void ppGrowToOneLine(const TppDrawText& command, TppTextLayout& layout) {
  if (command.AutoSize && !command.WordWrap && !command.Text.empty() &&
      layout.Rect.Height() < layout.LineHeight)
    layout.Rect.Bottom = layout.Rect.Top + layout.LineHeight;
}

namespace {

int LineWidth(TCanvas* canvas, const TppTextLayout& layout, const std::string& line) {
  return layout.Tabbed ? GetTabbedTextExtent(canvas, line, layout.TabStops).cx
                       : canvas->TextWidth(line);
}

void FitBoxToText(TCanvas* canvas, const TppDrawText& command, TppTextLayout& layout) {
  int width = 0;
  for (const std::string& line : layout.Lines) width = std::max(width, LineWidth(canvas, layout, line));
  TRect& r = layout.Rect;
  if (width == r.Width()) return;
  switch (command.Alignment) {
    case taRightJustify: r.Left = r.Right - width; break;
    case taCenter:
      r.Left += ppRound((r.Width() - width) / 2.0);
      r.Right = r.Left + width;
      break;
    default: r.Right = r.Left + width; break;
  }
}

}  // namespace

void ppDrawTextLines(TCanvas* canvas, const TppDrawText& command, TppTextLayout& layout) {
  if (layout.AutoSize) FitBoxToText(canvas, command, layout);
  const TRect& r = layout.Rect;
  if (!command.Transparent) {
    canvas->Brush()->SetColor(command.Color);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
  }
  canvas->Brush()->SetStyle(bsClear);
  const int count = layout.MaxLines < 0 ? int(layout.Lines.size())
                                        : std::min(layout.MaxLines, int(layout.Lines.size()));
  for (int i = 0; i < count; ++i) {
    const std::string& line = layout.Lines[size_t(i)];
    const int y = r.Top + i * layout.LineHeight;
    int x = r.Left;
    if (command.Alignment != taLeftJustify) {
      const int width = LineWidth(canvas, layout, line);
      x = command.Alignment == taRightJustify ? r.Right - width
                                              : r.Left + ppRound((r.Width() - width) / 2.0);
    }
    if (layout.Tabbed) {
      canvas->SaveState();
      canvas->IntersectClipRect(r);
      TabbedTextOut(canvas, x, y, line, layout.TabStops, x);
      canvas->RestoreState();
    } else {
      canvas->TextRect(r, x, y, line);
    }
  }
}

// ---- Shapes and lines ------------------------------------------------------------------------

bool ppDrawShapeFigure(TCanvas* canvas, const TppDrawShape& command, int penWidth, int cornerX,
                       int cornerY) {
  canvas->SetPen(command.Pen());
  canvas->SetBrush(command.Brush());
  canvas->Pen()->SetWidth(penWidth);
  const TRect r = ppDrawRect(command);
  switch (command.Shape) {
    case stRectangle: canvas->Rectangle(r); return true;
    case stRoundRect:
      canvas->RoundRect(r.Left, r.Top, r.Right, r.Bottom, cornerX, cornerY);
      return true;
    case stEllipse: canvas->Ellipse(r); return true;
    default: return false;  // the shape component never sends the others
  }
}

void ppDrawLineStrokes(TCanvas* canvas, const TppDrawLine& command, int strokes, int gap) {
  canvas->SetPen(command.Pen());
  canvas->Pen()->SetWidth(1);
  const TRect r = ppDrawRect(command);
  const int groups = command.Style == lsDouble ? 2 : 1;
  for (int group = 0; group < groups; ++group) {
    const int g = group * gap;
    for (int k = 0; k < strokes; ++k) {
      switch (command.Position) {
        case lpTop:
          canvas->MoveTo(r.Left, r.Top + g + k);
          canvas->LineTo(r.Right, r.Top + g + k);
          break;
        case lpBottom:
          canvas->MoveTo(r.Left, r.Bottom - g - k);
          canvas->LineTo(r.Right, r.Bottom - g - k);
          break;
        case lpLeft:
          canvas->MoveTo(r.Left + g + k, r.Top);
          canvas->LineTo(r.Left + g + k, r.Bottom);
          break;
        case lpRight:
          canvas->MoveTo(r.Right - g - k, r.Top);
          canvas->LineTo(r.Right - g - k, r.Bottom);
          break;
      }
    }
  }
}

// ---- Pictures -----------------------------------------------------------------------------------

namespace {

// Where the picture lies inside a box of w x h screen pixels.
TRect PictureTarget(const TppDrawImage& c, int w, int h) {
  const TPicture& picture = *c.Picture();
  const int pw = picture.Width(), ph = picture.Height();
  if (c.Stretch && c.MaintainAspectRatio) {
    const double scale = ppAspectScale(pw, ph, w, h);
    return Rect(0, 0, ppRound(pw * scale), ppRound(ph * scale));
  }
  if (c.Stretch) return Rect(0, 0, w, h);
  if (c.Center) return Bounds((w - pw) / 2, (h - ph) / 2, pw, ph);
  return Rect(0, 0, pw, ph);
}

}  // namespace

bool ppDrawPicture(TCanvas* canvas, const TppDrawImage& c, double scaleX, double scaleY,
                   bool deviceResolution) {
  const TGraphic* graphic = c.Picture()->Graphic();
  if (!graphic || graphic->Empty()) return false;
  const int w = ppRound(ppFromMMThousandths(c.Width, utScreenPixels));
  const int h = ppRound(ppFromMMThousandths(c.Height, utScreenPixels));
  if (w <= 0 || h <= 0) return false;
  TRect target = PictureTarget(c, w, h);
  const TRect dest = ppDrawRect(c);
  // The picture goes onto white first: white is what a transparent copy keeps.
  TBitmap surface;
  if (deviceResolution && c.Stretch) {
    surface.SetSize(std::max(dest.Width(), 1), std::max(dest.Height(), 1));
    target = Rect(0, 0, ppRound(target.Right * scaleX), ppRound(target.Bottom * scaleY));
  } else {
    surface.SetSize(w, h);
  }
  surface.Canvas()->Brush()->SetColor(clWhite);
  surface.Canvas()->FillRect(Rect(0, 0, surface.Width(), surface.Height()));
  surface.Canvas()->StretchDraw(target, const_cast<TGraphic*>(graphic));
  const TCopyMode mode = canvas->CopyMode();
  canvas->SetCopyMode(c.Transparent ? SRCAND : SRCCOPY);
  canvas->CopyRect(dest, surface.Canvas(), Rect(0, 0, surface.Width(), surface.Height()));
  canvas->SetCopyMode(mode);
  return true;
}
