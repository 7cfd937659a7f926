// Page-by-page layout of rich text on Qt's text document. The text is laid
// out at the resolution of the device it goes to, against an image of that
// resolution of its own: lines break as they print, and the layout outlives
// the canvases it measured and drew on.
#include "platform/classlib/richedit/richlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <vector>

#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/richedit/richdocument.h"

namespace {

// Layouts kept at once (a resolution and a width each): the printer's, a
// screen's at a reduced resolution and one more; a fourth drops the one used
// longest ago.
constexpr size_t kKeptLayouts = 3;
constexpr double kMetersPerInch = 0.0254;

// A line of the laid-out text: its characters and where it stands.
struct Line {
  int start, end;      // document positions, end exclusive
  double top, bottom;  // in document coordinates
};

// The end of a paragraph's line `i`, exclusive, from the paragraph's start:
// the line that ends a paragraph also holds its paragraph mark.
int LineEnd(const QTextLayout& text, const QTextLine& line, int i) {
  return line.textStart() + line.textLength() + (i == text.lineCount() - 1 ? 1 : 0);
}

// The first line of a paragraph that holds a character at or after
// `offset`, found by halving: a paragraph may hold thousands of lines, and
// walking them from its start would cost each page the pages before it.
// Each line looked at counts in `looked`.
int FirstLineFrom(const QTextLayout& text, int offset, int& looked) {
  int low = 0, high = text.lineCount();
  while (low < high) {
    const int middle = (low + high) / 2;
    ++looked;
    if (LineEnd(text, text.lineAt(middle), middle) <= offset) low = middle + 1;
    else high = middle;
  }
  return low;
}

// The lines that hold characters of [first, last), in order, up to the first
// that ends lower than `height` below the first line's top.
std::vector<Line> LinesOf(const QTextDocument& document, int first, int last, double height, int& looked) {
  std::vector<Line> lines;
  auto* layout = document.documentLayout();
  for (QTextBlock block = document.findBlock(first); block.isValid(); block = block.next()) {
    if (block.position() >= last) break;
    const QRectF box = layout->blockBoundingRect(block);
    const QTextLayout& text = *block.layout();
    const int from = lines.empty() ? FirstLineFrom(text, first - block.position(), looked) : 0;
    for (int i = from; i < text.lineCount(); ++i) {
      const QTextLine line = text.lineAt(i);
      ++looked;
      const int start = block.position() + line.textStart();
      if (start >= last) return lines;
      lines.push_back({start, block.position() + LineEnd(text, line, i), box.top() + line.y(),
                       box.top() + line.y() + line.height()});
      if (lines.back().bottom - lines.front().top > height) return lines;
    }
  }
  return lines;
}

// A character that a rich edit counts otherwise than the layout: a line
// break ("\r\n" to an edit, one unit to the layout) or a character of two
// UTF-16 units (one code point to an edit). Offsets are from its paragraph's start.
struct OddCharacter {
  int native, edit;            // where it starts in each count
  int nativeWidth, editWidth;  // what it counts in each
  int NativeEnd() const { return native + nativeWidth; }
  int EditEnd() const { return edit + editWidth; }
};

// Appends the odd characters of a paragraph's text to `odd`, in order, and
// returns how many more positions the paragraph counts to an edit. The
// break opportunities the layout put in (`breaks`, their offsets) count to
// the layout only.
int AppendOddCharacters(const QString& text, std::span<const int> breaks, std::vector<OddCharacter>& odd) {
  int shift = 0;
  for (int i = 0; i < text.size(); ++i) {
    if (!breaks.empty() && breaks.front() == i) {
      odd.push_back({i, i + shift, 1, 0});
      --shift;
      breaks = breaks.subspan(1);
    } else if (text[i] == QChar::LineSeparator || text[i] == u'\n') {
      odd.push_back({i, i + shift, 1, 2});
      ++shift;
    } else if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      odd.push_back({i, i + shift, 2, 1});
      --shift;
      ++i;
    }
  }
  return shift;
}

// A stretch of text with no place to break a line, longer than this many
// UTF-16 units, is longer than any line, so it breaks anywhere: past this
// many, a break opportunity goes after each of its characters (a zero-width
// space, which draws nothing). The lines break where they did, and the
// layout no longer looks for the stretch's end at each of its lines, which
// made a long word, a pasted log line or encoded data lay out in quadratic time.
constexpr qsizetype kLongestUnbroken = 1024;
constexpr char16_t kBreakOpportunity = 0x200B;

// `paragraph` with break opportunities in its long unbroken stretches; their
// offsets in the new paragraph's text go to `breaks`, in order.
TRtfParagraph WithBreakOpportunities(const TRtfParagraph& paragraph, std::vector<int>& breaks) {
  size_t bytes = 0;  // no fewer than its UTF-16 units
  for (const TRtfRun& run : paragraph.Runs) bytes += run.Text.size();
  if (bytes <= size_t(kLongestUnbroken)) return paragraph;
  QString all;
  std::vector<qsizetype> runEnds;
  for (const TRtfRun& run : paragraph.Runs) {
    all += vantrel::qt::ToQString(run.Text);
    runEnds.push_back(all.size());
  }
  if (all.size() <= kLongestUnbroken) return paragraph;
  std::vector<qsizetype> cuts;  // offsets in `all` before which one goes
  QTextBoundaryFinder lines(QTextBoundaryFinder::Line, all), characters(QTextBoundaryFinder::Grapheme, all);
  for (qsizetype from = 0, to = lines.toNextBoundary(); to > 0; from = to, to = lines.toNextBoundary()) {
    if (to - from <= kLongestUnbroken) continue;
    characters.setPosition(from + kLongestUnbroken);
    if (!characters.isAtBoundary()) characters.toNextBoundary();
    for (qsizetype at = characters.position(); at > 0 && at < to; at = characters.toNextBoundary())
      cuts.push_back(at);
  }
  if (cuts.empty()) return paragraph;
  TRtfParagraph out{paragraph.Format, {}};
  size_t cut = 0;
  for (size_t r = 0; r < paragraph.Runs.size(); ++r) {
    const qsizetype start = r == 0 ? 0 : runEnds[r - 1];
    QString text;
    text.reserve(runEnds[r] - start);
    qsizetype copied = start;
    for (; cut < cuts.size() && cuts[cut] <= runEnds[r]; ++cut) {
      text += QStringView(all).mid(copied, cuts[cut] - copied);
      breaks.push_back(int(cuts[cut] + qsizetype(cut)));
      text += QChar(kBreakOpportunity);
      copied = cuts[cut];
    }
    text += QStringView(all).mid(copied, runEnds[r] - copied);
    out.Runs.push_back({vantrel::qt::FromQString(text), paragraph.Runs[r].Format});
  }
  return out;
}

// The format of a paragraph going on from an earlier page: without its
// first-line indent or space above, and out of its list (no bullet), its
// text staying where the bullet put it.
QTextBlockFormat GoingOn(const QTextBlock& paragraph) {
  QTextBlockFormat format = paragraph.blockFormat();
  format.setTextIndent(0);
  format.setTopMargin(0);
  if (const QTextList* list = paragraph.textList()) format.setIndent(format.indent() + list->format().indent());
  format.clearProperty(QTextFormat::ObjectIndex);
  return format;
}

}  // namespace

struct TRichTextLayout::Impl {
  // The text laid out at one resolution and width, on an image of that resolution.
  struct Laid {
    int dpiX = 0, dpiY = 0;
    QImage reference{1, 1, QImage::Format_ARGB32_Premultiplied};
    QTextDocument document;  // declared after its device, so it goes first
    double width = 0;
  };

  TRtfDocument text;  // with break opportunities in long unbroken stretches
  // Where they stand, paragraph n's from breakStarts[n] to breakStarts[n + 1].
  std::vector<int> breaks;
  std::vector<size_t> breakStarts;
  // The paragraphs and their positions, laid out nowhere (filled at the
  // screen's resolution: positions do not depend on it).
  QTextDocument structure;
  std::vector<int> editStarts;  // the edit position where each paragraph starts
  // The odd characters of all paragraphs; paragraph n's from oddStarts[n] to oddStarts[n + 1].
  std::vector<OddCharacter> odd;
  std::vector<size_t> oddStarts;
  std::vector<std::unique_ptr<Laid>> laid;  // the one used last at the back
  TWork work;

  explicit Impl(const TRtfDocument& document) {
    for (const TRtfParagraph& paragraph : document.Paragraphs) {
      breakStarts.push_back(breaks.size());
      text.Paragraphs.push_back(WithBreakOpportunities(paragraph, breaks));
    }
    breakStarts.push_back(breaks.size());
    vantrel::qt::FillTextDocument(structure, text, 96);
    int edit = 0;
    for (QTextBlock block = structure.begin(); block.isValid(); block = block.next()) {
      const QString paragraph = block.text();
      const auto n = size_t(block.blockNumber());
      const std::span<const int> inserted =
          n + 1 < breakStarts.size()
              ? std::span<const int>(breaks.data() + breakStarts[n], breakStarts[n + 1] - breakStarts[n])
              : std::span<const int>();
      editStarts.push_back(edit);
      oddStarts.push_back(odd.size());
      edit += int(paragraph.size()) + AppendOddCharacters(paragraph, inserted, odd) + 2;
    }
    oddStarts.push_back(odd.size());
  }

  // The odd characters of paragraph n.
  std::span<const OddCharacter> OddOf(size_t paragraph) const {
    return {odd.begin() + std::ptrdiff_t(oddStarts[paragraph]),
            odd.begin() + std::ptrdiff_t(oddStarts[paragraph + 1])};
  }

  // Between two odd characters both counts step alike, so a position maps
  // from the last odd character before it: found by halving, never by
  // walking the paragraph.
  int EditOffset(size_t paragraph, int native) const {
    const auto odd = OddOf(paragraph);
    const auto after = std::upper_bound(odd.begin(), odd.end(), native,
                                        [](int at, const OddCharacter& c) { return at < c.NativeEnd(); });
    if (after == odd.begin()) return native;
    return after[-1].EditEnd() + native - after[-1].NativeEnd();
  }

  // At most `length`; inside a "\r\n", before it.
  int NativeOffset(size_t paragraph, int edit, int length) const {
    const auto odd = OddOf(paragraph);
    const auto after = std::upper_bound(odd.begin(), odd.end(), edit,
                                        [](int at, const OddCharacter& c) { return at < c.EditEnd(); });
    int native = after == odd.begin() ? edit : after[-1].NativeEnd() + edit - after[-1].EditEnd();
    if (after != odd.end()) native = std::min(native, after->native);
    return std::min(native, length);
  }

  // The text laid out at a resolution and width, once for each: what
  // measures a text and what draws it may differ in width by a rounded
  // pixel, and taking turns they must not lay the text out at every turn.
  Laid& LayOut(int dpiX, int dpiY, double width) {
    auto it = std::find_if(laid.begin(), laid.end(), [&](const auto& l) {
      return l->dpiX == dpiX && l->dpiY == dpiY && l->width == width;
    });
    if (it != laid.end()) {
      std::rotate(it, it + 1, laid.end());
      return *laid.back();
    }
    if (laid.size() == kKeptLayouts) laid.erase(laid.begin());
    auto l = std::make_unique<Laid>();
    l->dpiX = dpiX;
    l->dpiY = dpiY;
    l->width = width;
    l->reference.setDotsPerMeterX(int(std::lround(dpiX / kMetersPerInch)));
    l->reference.setDotsPerMeterY(int(std::lround(dpiY / kMetersPerInch)));
    // Set while the document is empty: on a filled one each would lay it all out again.
    l->document.documentLayout()->setPaintDevice(&l->reference);
    l->document.setDocumentMargin(0);
    l->document.setTextWidth(width);
    vantrel::qt::FillTextDocument(l->document, text, dpiY);
    laid.push_back(std::move(l));
    work.LaidOutWhole = true;
    return *laid.back();
  }

  // An empty document laid out as `from` is: the same device, width and defaults.
  static std::unique_ptr<QTextDocument> EmptyLike(Laid& from) {
    const QTextDocument& source = from.document;
    auto empty = std::make_unique<QTextDocument>();
    empty->setDefaultFont(source.defaultFont());
    empty->setDefaultTextOption(source.defaultTextOption());
    empty->setIndentWidth(source.indentWidth());
    empty->documentLayout()->setPaintDevice(&from.reference);
    empty->setDocumentMargin(0);
    empty->setTextWidth(from.width);
    return empty;
  }

  // The characters of `source` from `start` to `end`.
  static QTextDocumentFragment Copy(QTextDocument& source, int start, int end) {
    QTextCursor copy(&source);
    // Inside an edit block a cursor does not look for the line it stands on,
    // which would lay its whole paragraph out again at every page. Nothing
    // is edited.
    copy.beginEditBlock();
    copy.setPosition(start);
    copy.setPosition(end, QTextCursor::KeepAnchor);
    QTextDocumentFragment fragment(copy);
    copy.endEditBlock();
    return fragment;
  }

  // A copy of the laid-out text from `start` (a line's start) to `end`, laid
  // out alike, that holds those characters only, so that a page costs its
  // own length: a page that begins a paragraph takes the mark before it too
  // (it carries the paragraph's format and list); one that goes on with a
  // paragraph takes the paragraph's format for its first one (GoingOn).
  // Lines break from a line's start onwards, so they break in the copy as in
  // the text.
  std::unique_ptr<QTextDocument> Part(Laid& from, int start, int end, std::span<const int> lineEnds) {
    QTextDocument& source = from.document;
    std::unique_ptr<QTextDocument> part = EmptyLike(from);
    const QTextBlock paragraph = source.findBlock(start);
    const bool goesOn = paragraph.position() != start;
    const int copyStart = goesOn ? start : std::max(start - 1, 0);
    const int copyEnd = std::min(end, source.characterCount() - 1);
    work.CharactersCopied = copyEnd - copyStart;
    QTextCursor cut(part.get());
    cut.beginEditBlock();  // laid out once, when it is whole
    cut.insertFragment(Copy(source, copyStart, copyEnd));
    cut.setPosition(0);
    if (goesOn) {
      // Text from inside a list's paragraph comes as a paragraph of its own
      // behind an empty one, which goes (a page that starts with a
      // paragraph's empty last line has that line first, and keeps it).
      const bool inside = start < paragraph.position() + paragraph.length() - 1;
      if (inside && paragraph.textList() && cut.block().length() == 1 && cut.block().next().isValid()) {
        cut.setPosition(1, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
      }
      cut.setBlockFormat(GoingOn(paragraph));
    } else if (copyStart < start) {
      cut.setPosition(start - copyStart, QTextCursor::KeepAnchor);
      cut.removeSelectedText();
    }
    // The paragraph's own character format, which sizes its bullet and an
    // empty line, whatever the mark before it brought.
    cut.setBlockCharFormat(paragraph.charFormat());
    WithoutBreakOpportunities(source, *part, start, end, lineEnds);
    cut.endEditBlock();
    return part;
  }

  // The break opportunities the layout put in, as positions of the text from
  // `start` to `end`, in order.
  std::vector<int> BreaksIn(const QTextDocument& source, int start, int end) const {
    std::vector<int> found;
    for (QTextBlock block = source.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
      const auto n = size_t(block.blockNumber());
      if (n + 1 >= breakStarts.size()) break;
      for (size_t i = breakStarts[n]; i < breakStarts[n + 1]; ++i) {
        const int at = block.position() + breaks[i];
        if (at >= start && at < end) found.push_back(at);
      }
    }
    return found;
  }

  // Takes the break opportunities out of `part`, the text of `source` (laid
  // out) from `start` to `end`, whose lines end at `lineEnds`: drawn,
  // each would make the character before it a text item of its own (a page
  // of them a file many times larger). A line of a long stretch still ends
  // where it was measured, at a line separator, and its letters do not kern
  // as they did not where they were measured.
  void WithoutBreakOpportunities(const QTextDocument& source, QTextDocument& part, int start, int end,
                                 std::span<const int> lineEnds) const {
    const std::vector<int> found = BreaksIn(source, start, end);
    if (found.empty()) return;
    QTextCursor edit(&part);
    QTextCharFormat unkerned;
    unkerned.setFontKerning(false);
    // A stretch's characters, from its first break opportunity to past the
    // character after its last, neighbours two units apart at most.
    for (size_t first = 0, last = 0; first < found.size(); first = last = last + 1) {
      while (last + 1 < found.size() && found[last + 1] - found[last] <= 3) ++last;
      edit.setPosition(found[first] - start);
      const int after = std::min(found[last] + 3, end) - start;
      edit.setPosition(std::min(after, part.characterCount() - 1), QTextCursor::KeepAnchor);
      edit.mergeCharFormat(unkerned);
    }
    for (auto at = found.rbegin(); at != found.rend(); ++at) {
      edit.setPosition(*at - start);
      edit.setPosition(*at - start + 1, QTextCursor::KeepAnchor);
      const bool endsLine = *at + 1 < end && std::binary_search(lineEnds.begin(), lineEnds.end(), *at + 1);
      if (endsLine) edit.insertText(QString(QChar::LineSeparator));
      else edit.removeSelectedText();
    }
  }
};

TRichTextLayout::TRichTextLayout(const TRtfDocument& document)
    : impl_(std::make_unique<Impl>(document)) {}

TRichTextLayout::~TRichTextLayout() = default;

int TRichTextLayout::TextLength() const { return std::max(0, impl_->structure.characterCount() - 1); }

int TRichTextLayout::EditPosition(int position) const {
  const int at = std::clamp(position, 0, TextLength());
  const QTextBlock block = impl_->structure.findBlock(at);
  const auto n = size_t(block.blockNumber());
  return impl_->editStarts[n] + impl_->EditOffset(n, at - block.position());
}

int TRichTextLayout::LayoutPosition(int editPosition) const {
  const std::vector<int>& starts = impl_->editStarts;
  const int at = std::max(editPosition, 0);
  const auto n = size_t(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin() - 1);
  const QTextBlock block = impl_->structure.findBlockByNumber(int(n));
  // Inside or beyond the paragraph's "\r\n": at the paragraph's end.
  return block.position() + impl_->NativeOffset(n, at - starts[n], block.length() - 1);
}

const TRichTextLayout::TWork& TRichTextLayout::LastWork() const { return impl_->work; }

int TRichTextLayout::FormatRange(TCanvas* canvas, const TRect& rect, int first, int last, bool render,
                                 int* usedHeight) {
  TWork& work = impl_->work;
  work = {};
  const int length = TextLength();
  if (last < 0 || last > length) last = length;
  first = std::clamp(first, 0, last);
  if (usedHeight) *usedHeight = 0;
  if (first >= last || rect.Width() <= 0 || rect.Height() <= 0) return first;

  QPainter& painter = vantrel::qt::ActivePainter(*canvas);
  const QPaintDevice* device = painter.device();
  Impl::Laid& laid = impl_->LayOut(device->logicalDpiX(), device->logicalDpiY(), rect.Width());
  const std::vector<Line> lines = LinesOf(laid.document, first, last, rect.Height(), work.LinesLookedAt);
  work.LinesTaken = int(lines.size());
  if (lines.empty()) return last;

  const double top = lines.front().top;
  int next = first;
  double bottom = top;
  for (const Line& line : lines) {
    if (line.bottom - top > rect.Height()) break;
    next = std::min(line.end, last);
    bottom = line.bottom;
  }
  const int height = int(std::ceil(bottom - top));
  if (usedHeight) *usedHeight = height;
  if (render && next > first) {
    // Only the lines that fit, and nothing else: text drawn and clipped away
    // would still be text of a PDF, found twice by search and copy. A text
    // that fits whole is drawn as laid out, without a copy to lay out again.
    std::unique_ptr<QTextDocument> part;
    if (lines.front().start != 0 || next != length || !impl_->breaks.empty()) {
      std::vector<int> ends;
      for (const Line& line : lines) ends.push_back(line.end);
      part = impl_->Part(laid, lines.front().start, next, ends);
    }
    painter.save();
    painter.translate(rect.Left, rect.Top);
    (part ? *part : laid.document).drawContents(&painter, QRectF(0, 0, rect.Width(), bottom - top));
    painter.restore();
  }
  return next;
}
