// Rich text to and from Qt's text document. What Qt has no place for (the
// charset, pitch and protection of a run, whether a font was named at all)
// rides along as user properties, so nothing is lost on the way back.
#include "platform/classlib/richedit/richdocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>

#include "platform/classlib/graphics/qtbridge.h"

namespace vantrel::qt {

namespace {

static_assert(int(kCharsetProperty) == int(QTextFormat::UserProperty));
constexpr int kCharset = kCharsetProperty, kPitch = kPitchProperty, kProtected = kProtectedProperty,
              kTabTwips = kTabTwipsProperty, kLeftTwips = kLeftIndentTwipsProperty,
              kFirstTwips = kFirstIndentTwipsProperty;

// A bullet stands at the first line's indent, its text a quarter inch on,
// and every line of the text stands there: a hanging first line leaves the
// bullet its room (\li720\fi-360: bullet at a quarter inch, text at half an
// inch), a first line indented no less than the rest is moved on by the room.
constexpr int kBulletRoomTwips = 360;
int BulletTextTwips(const TRtfParaFormat& p) {
  return std::max({p.LeftIndent, p.LeftIndent + p.FirstIndent + kBulletRoomTwips, kBulletRoomTwips});
}

constexpr double kTwipsPerInch = 1440;

double ToPixels(int twips, int ppi) { return twips * double(ppi) / kTwipsPerInch; }
int ToTwips(double pixels, int ppi) { return int(std::lround(pixels * kTwipsPerInch / ppi)); }

}  // namespace

QTextCharFormat CharFormat(const TRtfCharFormat& f) {
  QTextCharFormat q;
  if (!f.FontName.empty()) q.setFontFamilies(QStringList{ToQString(f.FontName)});
  q.setFontPointSize(f.HalfPoints / 2.0);
  q.setFontWeight(f.Style.Contains(fsBold) ? QFont::Bold : QFont::Normal);
  q.setFontItalic(f.Style.Contains(fsItalic));
  q.setFontUnderline(f.Style.Contains(fsUnderline));
  q.setFontStrikeOut(f.Style.Contains(fsStrikeOut));
  if (f.Color != clDefault) q.setForeground(ToQColor(f.Color));
  if (f.Highlight != clNone) q.setBackground(ToQColor(f.Highlight));
  q.setProperty(kCharset, int(f.Charset));
  q.setProperty(kPitch, int(f.Pitch));
  q.setProperty(kProtected, f.Protected);
  return q;
}

TRtfCharFormat FromCharFormat(const QTextCharFormat& q) {
  TRtfCharFormat f;
  const QStringList families = q.property(QTextFormat::FontFamilies).toStringList();
  if (!families.isEmpty()) f.FontName = FromQString(families.front());
  if (q.hasProperty(QTextFormat::FontPointSize)) f.HalfPoints = int(std::lround(q.fontPointSize() * 2));
  if (q.fontWeight() >= QFont::DemiBold) f.Style.Include(fsBold);
  if (q.fontItalic()) f.Style.Include(fsItalic);
  if (q.fontUnderline()) f.Style.Include(fsUnderline);
  if (q.fontStrikeOut()) f.Style.Include(fsStrikeOut);
  if (q.hasProperty(QTextFormat::ForegroundBrush)) f.Color = FromQColor(q.foreground().color());
  if (q.hasProperty(QTextFormat::BackgroundBrush)) f.Highlight = FromQColor(q.background().color());
  if (q.hasProperty(kCharset)) f.Charset = TFontCharset(q.intProperty(kCharset));
  if (q.hasProperty(kPitch)) f.Pitch = TFontPitch(q.intProperty(kPitch));
  f.Protected = q.boolProperty(kProtected);
  return f;
}

TRtfCharFormat ShownCharFormat(const QTextCharFormat& q, const QTextDocument& document) {
  TRtfCharFormat f = FromCharFormat(q);
  // Text Qt left without a size of its own (a paragraph taken out of a list)
  // shows in the document's default font: that size is the one kept, not
  // the size RTF assumes where none is written.
  const double shown = document.defaultFont().pointSizeF();
  if (!q.hasProperty(QTextFormat::FontPointSize) && shown > 0) f.HalfPoints = int(std::lround(shown * 2));
  return f;
}

QTextBlockFormat BlockFormat(const TRtfParaFormat& p, int ppi) {
  static constexpr Qt::Alignment kAlignment[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                                  Qt::AlignJustify};
  QTextBlockFormat q;
  q.setAlignment(kAlignment[int(p.Alignment)] | Qt::AlignAbsolute);
  if (p.Bullets) {
    q.setTextIndent(0);
    q.setLeftMargin(ToPixels(BulletTextTwips(p), ppi));
    q.setProperty(kLeftTwips, p.LeftIndent);
    q.setProperty(kFirstTwips, p.FirstIndent);
  } else {
    q.setTextIndent(ToPixels(p.FirstIndent, ppi));
    q.setLeftMargin(ToPixels(p.LeftIndent, ppi));
  }
  q.setRightMargin(ToPixels(p.RightIndent, ppi));
  QList<QTextOption::Tab> tabs;
  QVariantList twips;
  for (int t : p.TabStops) {
    tabs.append(QTextOption::Tab(ToPixels(t, ppi), QTextOption::LeftTab));
    twips.append(t);
  }
  q.setTabPositions(tabs);
  q.setProperty(kTabTwips, twips);
  return q;
}

TRtfParaFormat FromBlock(const QTextBlock& block, int ppi) {
  const QTextBlockFormat q = block.blockFormat();
  TRtfParaFormat p;
  const Qt::Alignment a = q.alignment() & Qt::AlignHorizontal_Mask;
  p.Alignment = a & Qt::AlignRight     ? TRtfAlignment::Right
                : a & Qt::AlignHCenter ? TRtfAlignment::Center
                : a & Qt::AlignJustify ? TRtfAlignment::Justify
                                       : TRtfAlignment::Left;
  if (block.textList() && q.hasProperty(kLeftTwips)) {
    p.FirstIndent = q.intProperty(kFirstTwips);
    p.LeftIndent = q.intProperty(kLeftTwips);
  } else {
    p.FirstIndent = ToTwips(q.textIndent(), ppi);
    p.LeftIndent = ToTwips(q.leftMargin(), ppi);
  }
  p.RightIndent = ToTwips(q.rightMargin(), ppi);
  const QVariantList twips = q.property(kTabTwips).toList();
  const QList<QTextOption::Tab> tabs = q.tabPositions();
  // Stops set in the editor have no twips of their own.
  if (twips.size() == tabs.size())
    for (const QVariant& t : twips) p.TabStops.push_back(t.toInt());
  else
    for (const QTextOption::Tab& t : tabs) p.TabStops.push_back(ToTwips(t.position, ppi));
  p.Bullets = block.textList() != nullptr;
  return p;
}

QTextListFormat BulletList() {
  QTextListFormat format;
  format.setStyle(QTextListFormat::ListDisc);
  format.setIndent(0);
  return format;
}

void FillTextDocument(QTextDocument& target, const TRtfDocument& document, int pixelsPerInch) {
  target.clear();
  QTextCursor cursor(&target);
  cursor.beginEditBlock();
  QTextList* list = nullptr;
  for (std::size_t i = 0; i < document.Paragraphs.size(); ++i) {
    const TRtfParagraph& p = document.Paragraphs[i];
    const QTextBlockFormat block = BlockFormat(p.Format, pixelsPerInch);
    const QTextCharFormat blockChars = CharFormat(p.Runs.empty() ? TRtfCharFormat{} : p.Runs[0].Format);
    if (i == 0) {
      cursor.setBlockFormat(block);
      cursor.setBlockCharFormat(blockChars);
    } else {
      cursor.insertBlock(block, blockChars);
    }
    // Neighbouring bullet paragraphs form one list.
    if (!p.Format.Bullets) list = nullptr;
    else if (list) list->add(cursor.block());
    else list = cursor.createList(BulletList());
    for (const TRtfRun& run : p.Runs) cursor.insertText(ToQString(run.Text), CharFormat(run.Format));
  }
  cursor.endEditBlock();
}

TRtfDocument ReadTextDocument(const QTextDocument& source, int pixelsPerInch) {
  TRtfDocument document;
  for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
    TRtfParagraph p;
    p.Format = FromBlock(block, pixelsPerInch);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || fragment.length() == 0) continue;
      TRtfRun run{FromQString(fragment.text()), ShownCharFormat(fragment.charFormat(), source)};
      if (!p.Runs.empty() && p.Runs.back().Format == run.Format) p.Runs.back().Text += run.Text;
      else p.Runs.push_back(std::move(run));
    }
    document.Paragraphs.push_back(std::move(p));
  }
  return document;
}

}  // namespace vantrel::qt
