#include "platform/classlib/graphics/drawing.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <vector>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/qtbridge.h"

using namespace vantrel::qt;

namespace {

// One line of text to draw, with the position of its mnemonic (or -1).
struct TextLine {
  QString text;
  int mnemonic = -1;
};

// Removes "&" markers; returns the index of the underlined character in the result.
QString StripPrefix(const QString& s, int* mnemonic) {
  QString out;
  out.reserve(s.size());
  if (mnemonic) *mnemonic = -1;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == u'&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != u'&' && mnemonic) *mnemonic = int(out.size());
    } else if (s[i] == u'&') {
      continue;  // a trailing "&" marks nothing
    }
    out += s[i];
  }
  return out;
}

// `mnemonic`, an index into `s`, moves along with the characters it marks.
QString ExpandTabs(const QString& s, const QFontMetrics& m, int& mnemonic) {
  if (!s.contains(u'\t')) return s;
  const int stop = std::max(1, 8 * m.averageCharWidth());
  QString out;
  int shift = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] != u'\t') {
      out += s[i];
      continue;
    }
    const qsizetype before = out.size();
    const int w = m.horizontalAdvance(out);
    const int target = (w / stop + 1) * stop;
    do out += u' ';
    while (m.horizontalAdvance(out) < target);
    if (mnemonic > i) shift += int(out.size() - before) - 1;
  }
  if (mnemonic >= 0) mnemonic += shift;
  return out;
}

// Cuts a paragraph into lines no wider than `width`, breaking at blanks. A word
// wider than the line stays whole on its own line.
std::vector<QString> WrapParagraph(const QString& para, int width, const QFontMetrics& m) {
  std::vector<QString> lines;
  QString current;
  int currentWidth = 0;  // widths add up word by word: each line is measured once
  qsizetype i = 0;
  while (i < para.size()) {
    qsizetype j = i;
    while (j < para.size() && para[j] != u' ') ++j;
    const qsizetype wordEnd = j;
    while (j < para.size() && para[j] == u' ') ++j;  // a word keeps its trailing blanks
    const QString word = para.mid(i, wordEnd - i);
    const QString blanks = para.mid(wordEnd, j - wordEnd);
    const int wordWidth = m.horizontalAdvance(word);
    if (!current.isEmpty() && currentWidth + wordWidth > width) {
      lines.push_back(current);
      // Leading blanks of a continued line are dropped.
      current = word.isEmpty() ? QString() : word + blanks;
      currentWidth = current.isEmpty() ? 0 : wordWidth + m.horizontalAdvance(blanks);
    } else {
      current += word + blanks;
      currentWidth += wordWidth + m.horizontalAdvance(blanks);
    }
    i = j;
  }
  lines.push_back(current);
  return lines;
}

QString EndEllipsis(const QString& s, int width, const QFontMetrics& m) {
  if (m.horizontalAdvance(s) <= width) return s;
  QString t = s;
  while (!t.isEmpty() && m.horizontalAdvance(t + "...") > width) t.chop(1);
  return t + "...";
}

}  // namespace

int DrawText(TCanvas* canvas, const std::string& text, TRect& r, uint32_t flags) {
  if (!canvas) return 0;
  if (text.empty()) {
    // Nothing to draw or measure (labels measure " " for their empty captions).
    if (flags & DT_CALCRECT) {
      r.Right = r.Left;
      r.Bottom = r.Top;
    }
    return 0;
  }
  const QFont font = ToQFont(*canvas->Font());
  QFontMetrics m(font);
  const int lineHeight = m.height() + ((flags & DT_EXTERNALLEADING) ? m.leading() : 0);
  const int width = r.Width();

  // Split into paragraphs (CR, LF, CR LF), unless single line.
  QString all = ToQString(text);
  std::vector<QString> paragraphs;
  if (flags & DT_SINGLELINE) {
    all.replace(u'\r', u' ').replace(u'\n', u' ');
    paragraphs.push_back(all);
  } else {
    QString cur;
    for (qsizetype i = 0; i < all.size(); ++i) {
      if (all[i] == u'\r' || all[i] == u'\n') {
        paragraphs.push_back(cur);
        cur.clear();
        if (all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n') ++i;
      } else {
        cur += all[i];
      }
    }
    paragraphs.push_back(cur);
  }

  // Lines, with prefix and tab handling; the mnemonic is found before wrapping.
  std::vector<TextLine> lines;
  for (QString para : paragraphs) {
    int mnemonic = -1;
    if (!(flags & DT_NOPREFIX)) para = StripPrefix(para, &mnemonic);
    if (flags & DT_HIDEPREFIX) mnemonic = -1;
    if (flags & DT_EXPANDTABS) para = ExpandTabs(para, m, mnemonic);
    if ((flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE)) {
      int offset = 0;
      for (const QString& piece : WrapParagraph(para, width, m)) {
        TextLine line{piece, -1};
        // Locate the mnemonic in the wrapped piece.
        const int start = int(para.indexOf(piece, offset));
        if (mnemonic >= 0 && start >= 0 && mnemonic >= start && mnemonic < start + piece.size())
          line.mnemonic = mnemonic - start;
        if (start >= 0) offset = start + int(piece.size());
        lines.push_back(line);
      }
    } else {
      lines.push_back({para, mnemonic});
    }
  }
  if (flags & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
    for (TextLine& line : lines) {
      const QString cut = EndEllipsis(line.text, width, m);
      if (cut != line.text) {
        if (line.mnemonic >= cut.size() - 3) line.mnemonic = -1;
        line.text = cut;
      }
    }

  int textWidth = 0;
  for (const TextLine& line : lines) textWidth = std::max(textWidth, m.horizontalAdvance(line.text));
  const int textHeight = int(lines.size()) * lineHeight;

  if (flags & DT_CALCRECT) {
    r.Right = r.Left + textWidth;
    r.Bottom = r.Top + textHeight;
    return textHeight;
  }

  int y = r.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = r.Top + (r.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM) y = r.Bottom - lineHeight;
  }
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (!(flags & DT_NOCLIP)) p.setClipRect(ToQRect(r), Qt::IntersectClip);
  p.setFont(font);
  const QColor textColor = ToQColor(canvas->Font()->Color());
  const bool opaque = canvas->Brush()->Style() != bsClear;
  for (const TextLine& line : lines) {
    const int w = m.horizontalAdvance(line.text);
    int x = r.Left;
    if (flags & DT_CENTER) x = r.Left + (r.Width() - w) / 2;
    else if (flags & DT_RIGHT) x = r.Right - w;
    if (opaque) p.fillRect(QRect(x, y, w, lineHeight), ToQColor(canvas->Brush()->Color()));
    p.setPen(textColor);
    p.drawText(QPoint(x, y + m.ascent()), line.text);
    if (line.mnemonic >= 0 && line.mnemonic < line.text.size()) {
      const int ux = x + m.horizontalAdvance(line.text.left(line.mnemonic));
      const int uw = m.horizontalAdvance(line.text.mid(line.mnemonic, 1));
      p.fillRect(QRect(ux, y + m.ascent() + 1, std::max(1, uw), 1), textColor);
    }
    y += lineHeight;
  }
  p.restore();
  return (flags & DT_SINGLELINE) ? lineHeight : textHeight;
}

char32_t GetMnemonic(const std::string& caption) {
  int mnemonic = -1;
  const QString s = StripPrefix(ToQString(caption), &mnemonic);
  if (mnemonic < 0) return 0;
  const uint cp = s.mid(mnemonic).toUcs4().value(0);
  return QChar::toLower(cp);
}

bool IsAccel(char32_t ch, const std::string& caption) {
  const char32_t m = GetMnemonic(caption);
  return m != 0 && UnicodeFold(m) == UnicodeFold(ch);
}

std::string StripHotkey(const std::string& caption) {
  return FromQString(StripPrefix(ToQString(caption), nullptr));
}

namespace {

struct EdgeColors {
  TColor topLeft;
  TColor bottomRight;
};

EdgeColors OuterColors(uint32_t edge, uint32_t flags) {
  if (flags & BF_MONO) return {clWindowFrame, clWindowFrame};
  if (flags & BF_FLAT) return {clBtnShadow, clBtnShadow};
  if (edge & BDR_RAISEDOUTER)
    return {(flags & BF_SOFT) ? clBtnHighlight : cl3DLight, cl3DDkShadow};
  return {(flags & BF_SOFT) ? cl3DDkShadow : clBtnShadow, clBtnHighlight};
}

EdgeColors InnerColors(uint32_t edge, uint32_t flags) {
  if (flags & BF_MONO) return {clWindow, clWindow};
  if (flags & BF_FLAT) return {clBtnFace, clBtnFace};
  if (edge & BDR_RAISEDINNER)
    return {(flags & BF_SOFT) ? cl3DLight : clBtnHighlight, clBtnShadow};
  return {(flags & BF_SOFT) ? clBtnShadow : cl3DDkShadow, cl3DLight};
}

// One ring of a 3-D edge; the dark sides run full length.
void EdgeRing(QPainter& p, const TRect& r, EdgeColors c, uint32_t sides) {
  const QColor light = ToQColor(c.topLeft), dark = ToQColor(c.bottomRight);
  if (sides & BF_LEFT) p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), light);
  if (sides & BF_TOP) p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), light);
  if (sides & BF_RIGHT) p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), dark);
  if (sides & BF_BOTTOM) p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), dark);
}

void Shrink(TRect& r, uint32_t sides) {
  if (sides & BF_LEFT) ++r.Left;
  if (sides & BF_TOP) ++r.Top;
  if (sides & BF_RIGHT) --r.Right;
  if (sides & BF_BOTTOM) --r.Bottom;
}

}  // namespace

bool DrawEdge(TCanvas* canvas, TRect& r, uint32_t edge, uint32_t flags) {
  if (!canvas || IsRectEmpty(r)) return false;
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  TRect inner = r;
  const uint32_t sides = flags & BF_RECT;
  if (flags & BF_DIAGONAL) {
    // A single line from one corner to the opposite one, in the light colour.
    p.setPen(ToQColor(OuterColors(edge, flags).topLeft));
    p.drawLine(r.Left, r.Bottom - 1, r.Right - 1, r.Top);
  } else {
    if (edge & BDR_OUTER) {
      EdgeRing(p, inner, OuterColors(edge, flags), sides);
      Shrink(inner, sides);
    }
    if ((edge & BDR_INNER) && !IsRectEmpty(inner)) {
      EdgeRing(p, inner, InnerColors(edge, flags), sides);
      Shrink(inner, sides);
    }
    if ((flags & BF_MIDDLE) && !IsRectEmpty(inner))
      p.fillRect(ToQRect(inner), ToQColor((flags & (BF_MONO | BF_FLAT)) ? clWindow : clBtnFace));
  }
  p.restore();
  if (flags & BF_ADJUST) r = inner;
  return true;
}

namespace {

void DrawCheckMark(QPainter& p, const TRect& box, const QColor& c) {
  // Seven short vertical strokes forming a tick, centred in the box.
  const int x0 = box.Left + (box.Width() - 7) / 2, y0 = box.Top + (box.Height() - 7) / 2;
  static const int tops[7] = {2, 3, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; ++i) p.fillRect(QRect(x0 + i, y0 + tops[i], 1, 3), c);
}

void DrawCross(QPainter& p, const TRect& r, const QColor& c) {
  const int size = std::min(r.Width(), r.Height());
  const int x0 = r.Left + (r.Width() - size) / 2, y0 = r.Top + (r.Height() - size) / 2;
  for (int i = 0; i < size; ++i) {
    p.fillRect(QRect(x0 + i, y0 + i, 2, 1), c);
    p.fillRect(QRect(x0 + size - 1 - i - 1, y0 + i, 2, 1), c);
  }
}

void DrawTriangle(QPainter& p, const TRect& r, int direction, const QColor& c) {
  // direction: 0 up, 1 down, 2 left, 3 right.
  const int size = std::max(1, std::min(r.Width(), r.Height()) / 3);
  const int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
  for (int i = 0; i < size; ++i) {
    switch (direction) {
      case 0: p.fillRect(QRect(cx - i, cy - size / 2 + i, 2 * i + 1, 1), c); break;
      case 1: p.fillRect(QRect(cx - (size - 1 - i), cy - size / 2 + i, 2 * (size - 1 - i) + 1, 1), c); break;
      case 2: p.fillRect(QRect(cx - size / 2 + i, cy - i, 1, 2 * i + 1), c); break;
      default: p.fillRect(QRect(cx - size / 2 + i, cy - (size - 1 - i), 1, 2 * (size - 1 - i) + 1), c); break;
    }
  }
}

}  // namespace

bool DrawFrameControl(TCanvas* canvas, TRect& r, uint32_t kind, uint32_t state) {
  if (!canvas || IsRectEmpty(r)) return false;
  const bool pushed = state & DFCS_PUSHED;
  const bool inactive = state & DFCS_INACTIVE;
  const bool flat = state & DFCS_FLAT;
  const QColor glyph = ToQColor(inactive ? clGrayText : clBtnText);
  auto button = [&](TRect& face) {
    face = r;
    if (flat) DrawEdge(canvas, face, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_ADJUST | BF_FLAT);
    else if (pushed) DrawEdge(canvas, face, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_ADJUST);
    else DrawEdge(canvas, face, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST | BF_SOFT);
    if (pushed) OffsetRect(face, 1, 1);
  };
  switch (kind) {
    case DFC_CAPTION: {
      TRect face;
      button(face);
      QPainter& p = ActivePainter(*canvas);
      p.save();
      TRect g = face;
      InflateRect(g, -std::max(1, face.Width() / 5), -std::max(1, face.Height() / 5));
      if ((state & 0xFF) == DFCS_CAPTIONCLOSE) {
        DrawCross(p, g, glyph);
      } else if ((state & 0xFF) == DFCS_CAPTIONMIN) {
        p.fillRect(QRect(g.Left, g.Bottom - 2, g.Width() / 2 + 1, 2), glyph);
      } else if ((state & 0xFF) == DFCS_CAPTIONMAX) {
        p.fillRect(QRect(g.Left, g.Top, g.Width(), 2), glyph);
        p.setPen(glyph);
        p.drawRect(QRect(g.Left, g.Top, g.Width() - 1, g.Height() - 1));
      } else if ((state & 0xFF) == DFCS_CAPTIONRESTORE) {
        p.setPen(glyph);
        p.drawRect(QRect(g.Left + 2, g.Top, g.Width() - 3, g.Height() - 3));
        p.fillRect(QRect(g.Left, g.Top + 2, g.Width() - 2, g.Height() - 2),
                   ToQColor(clBtnFace));
        p.drawRect(QRect(g.Left, g.Top + 2, g.Width() - 3, g.Height() - 3));
      } else {
        p.setPen(glyph);
        p.setFont(QFont("Liberation Sans", std::max(6, g.Height())));
        p.drawText(ToQRect(g), Qt::AlignCenter, "?");
      }
      p.restore();
      return true;
    }
    case DFC_SCROLL: {
      TRect face;
      button(face);
      QPainter& p = ActivePainter(*canvas);
      p.save();
      int dir = int(state & 0xFF);
      if (dir == int(DFCS_SCROLLCOMBOBOX)) dir = 1;
      DrawTriangle(p, face, dir, glyph);
      p.restore();
      return true;
    }
    case DFC_BUTTON: {
      if (state & DFCS_BUTTONPUSH) {
        TRect face;
        button(face);
        return true;
      }
      QPainter& p = ActivePainter(*canvas);
      const bool radio = state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE);
      const bool checked = state & DFCS_CHECKED;
      const QColor well = ToQColor((inactive || pushed) ? clBtnFace : clWindow);
      if (radio) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        const QRect box = ToQRect(r).adjusted(0, 0, -1, -1);
        p.setBrush(well);
        p.setPen(ToQColor(clBtnShadow));
        p.drawEllipse(box);
        if (checked) {
          p.setBrush(glyph);
          p.setPen(Qt::NoPen);
          const int d = std::max(2, box.width() / 3);
          p.drawEllipse(QRect(box.center().x() - d / 2, box.center().y() - d / 2, d, d));
        }
        p.restore();
        return true;
      }
      TRect box = r;
      if (flat) DrawEdge(canvas, box, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST | BF_FLAT);
      else DrawEdge(canvas, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      p.save();
      p.fillRect(ToQRect(box), well);
      if (checked) DrawCheckMark(p, box, glyph);
      p.restore();
      return true;
    }
    case DFC_MENU: {
      QPainter& p = ActivePainter(*canvas);
      p.save();
      const QColor c = ToQColor(clMenuText);
      if ((state & 0xFF) == DFCS_MENUCHECK) DrawCheckMark(p, r, c);
      else if ((state & 0xFF) == DFCS_MENUBULLET) {
        p.setBrush(c);
        p.setPen(Qt::NoPen);
        const int d = std::max(2, std::min(r.Width(), r.Height()) / 3);
        p.drawEllipse(QRect(r.Left + (r.Width() - d) / 2, r.Top + (r.Height() - d) / 2, d, d));
      } else {
        DrawTriangle(p, r, 3, c);
      }
      p.restore();
      return true;
    }
    default: return false;
  }
}

void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, int width) {
  if (!canvas) return;
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (int i = 0; i < width && !IsRectEmpty(r); ++i) {
    EdgeRing(p, r, {topColor, bottomColor}, BF_RECT);
    InflateRect(r, -1, -1);
  }
  p.restore();
}

void DrawDisabledText(TCanvas* canvas, const std::string& text, TRect r, uint32_t flags) {
  if (!canvas) return;
  const TColor saved = canvas->Font()->Color();
  const TBrushStyle savedBrush = canvas->Brush()->Style();
  canvas->Brush()->SetStyle(bsClear);
  TRect shifted = r;
  OffsetRect(shifted, 1, 1);
  canvas->Font()->SetColor(clBtnHighlight);
  DrawText(canvas, text, shifted, flags);
  canvas->Font()->SetColor(clBtnShadow);
  DrawText(canvas, text, r, flags);
  canvas->Font()->SetColor(saved);
  canvas->Brush()->SetStyle(savedBrush);
}

bool ExtTextOut(TCanvas* canvas, int x, int y, uint32_t options, const TRect* r,
                const std::string& text) {
  if (!canvas) return false;
  if (r && (options & ETO_OPAQUE)) {
    QPainter& p = ActivePainter(*canvas);
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(ToQRect(*r), ToQColor(canvas->Brush()->Color()));
    p.restore();
  }
  canvas->SaveState();  // keeps the pen position too: no current-position update
  if (r && (options & ETO_CLIPPED)) canvas->IntersectClipRect(*r);
  canvas->TextOut(x, y, text);
  canvas->RestoreState();
  return true;
}

bool DrawCaption(TCanvas* canvas, const TRect& r, const std::string& text, uint32_t flags) {
  if (!canvas || IsRectEmpty(r)) return false;
  const bool active = flags & DC_ACTIVE;
  const TColor back = active ? clActiveCaption : clInactiveCaption;
  QPainter& p = ActivePainter(*canvas);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (flags & DC_GRADIENT) {
    QLinearGradient g(r.Left, 0, r.Right, 0);
    g.setColorAt(0, ToQColor(back));
    g.setColorAt(1, ToQColor(active ? clGradientActiveCaption : clGradientInactiveCaption));
    p.fillRect(ToQRect(r), g);
  } else {
    p.fillRect(ToQRect(r), ToQColor(back));
  }
  p.restore();
  if (!(flags & DC_TEXT) || text.empty()) return true;
  TFont saved;
  saved.Assign(canvas->Font());
  const TBrushStyle savedBrush = canvas->Brush()->Style();
  canvas->Font()->SetStyle({fsBold});
  canvas->Font()->SetColor(active ? clCaptionText : clInactiveCaptionText);
  if (flags & DC_SMALLCAP) canvas->Font()->SetHeight(-std::max(8, (r.Height() * 2) / 3));
  canvas->Brush()->SetStyle(bsClear);
  TRect t = r;
  t.Left += 2;
  t.Right -= 2;
  DrawText(canvas, text, t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
  canvas->Font()->Assign(&saved);
  canvas->Brush()->SetStyle(savedBrush);
  return true;
}

TSize TabbedTextOut(TCanvas* canvas, int x, int y, const std::string& text,
                    const std::vector<int>& tabStops, int tabOrigin) {
  if (!canvas) return {};
  const int ave = canvas->TextMetrics().AveCharWidth;
  const int end = ForEachTabbedPiece(text, tabStops, ave, x - tabOrigin,
                                     [&](int at, const std::string& part) {
                                       canvas->TextOut(at + tabOrigin, y, part);
                                       return canvas->TextWidth(part);
                                     });
  return {end - (x - tabOrigin), canvas->TextHeight(text)};
}

TSize GetTabbedTextExtent(TCanvas* canvas, const std::string& text,
                          const std::vector<int>& tabStops) {
  if (!canvas) return {};
  const int ave = canvas->TextMetrics().AveCharWidth;
  const int end = ForEachTabbedPiece(text, tabStops, ave, 0, [&](int, const std::string& part) {
    return canvas->TextWidth(part);
  });
  return {end, canvas->TextHeight(text)};
}
