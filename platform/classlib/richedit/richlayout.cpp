// Page-by-page layout of rich text on Qt's text document. The text is laid
// out at the resolution of the device it goes to, against an image of that
// resolution of its own: lines break as they print, and the layout outlives
// the canvases it measured and drew on.
#include "platform/classlib/richedit/richlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/richedit/richdocument.h"
#include "platform/classlib/stdctrls/editnative.h"

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

// The lines that hold characters of [first, last), in order, up to the first
// that ends lower than `height` below the first line's top.
std::vector<Line> LinesOf(const QTextDocument& document, int first, int last, double height) {
  std::vector<Line> lines;
  auto* layout = document.documentLayout();
  for (QTextBlock block = document.findBlock(first); block.isValid(); block = block.next()) {
    if (block.position() >= last) break;
    const QRectF box = layout->blockBoundingRect(block);
    const QTextLayout* text = block.layout();
    for (int i = 0; i < text->lineCount(); ++i) {
      const QTextLine line = text->lineAt(i);
      const int start = block.position() + line.textStart();
      // The line that ends a paragraph also holds its paragraph mark.
      const int end = start + line.textLength() + (i == text->lineCount() - 1 ? 1 : 0);
      if (end <= first) continue;
      if (start >= last) break;
      lines.push_back({start, end, box.top() + line.y(), box.top() + line.y() + line.height()});
      if (lines.back().bottom - lines.front().top > height) return lines;
    }
  }
  return lines;
}

// Whether a paragraph's edit positions are its layout positions: no line
// break ("\r\n" to an edit) and no character of two UTF-16 units.
bool CountsAlike(const QString& text) {
  return std::none_of(text.begin(), text.end(), [](QChar c) {
    return c.isSurrogate() || c == QChar::LineSeparator || c == u'\n';
  });
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

  TRtfDocument text;
  // The paragraphs and their positions, laid out nowhere (filled at the
  // screen's resolution: positions do not depend on it).
  QTextDocument structure;
  std::vector<int> editStarts;  // the edit position where each paragraph starts
  std::vector<bool> alike;      // paragraphs whose positions count alike (CountsAlike)
  std::vector<std::unique_ptr<Laid>> laid;  // the one used last at the back

  explicit Impl(const TRtfDocument& document) : text(document) {
    vantrel::qt::FillTextDocument(structure, text, 96);
    int edit = 0;
    for (QTextBlock block = structure.begin(); block.isValid(); block = block.next()) {
      const QString paragraph = block.text();
      editStarts.push_back(edit);
      alike.push_back(CountsAlike(paragraph));
      edit += vantrel::qt::OursFromNative(paragraph, int(paragraph.size()), true) + 2;
    }
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
    return *laid.back();
  }

  // A copy of the laid-out text from `start` (a line's start) to `end`, laid
  // out alike. Only those characters are copied, from the mark that ends the
  // paragraph before (it carries the paragraph's format and list), so a page
  // costs its own length. Lines break from a paragraph's start onwards, so
  // they break in the copy as in the text; a paragraph that began on an
  // earlier page continues without its first-line indent, space above or bullet.
  std::unique_ptr<QTextDocument> Part(Laid& from, int start, int end) const {
    QTextDocument& source = from.document;
    auto part = std::make_unique<QTextDocument>();
    part->setDefaultFont(source.defaultFont());
    part->setDefaultTextOption(source.defaultTextOption());
    part->setIndentWidth(source.indentWidth());
    part->documentLayout()->setPaintDevice(&from.reference);
    part->setDocumentMargin(0);
    part->setTextWidth(from.width);
    const int paragraph = source.findBlock(start).position();
    const int copyStart = std::max(paragraph - 1, 0);
    QTextCursor copy(&source);
    copy.setPosition(copyStart);
    copy.setPosition(std::min(end, source.characterCount() - 1), QTextCursor::KeepAnchor);
    QTextCursor cut(part.get());
    cut.beginEditBlock();  // laid out once, when it is cut to size
    cut.insertFragment(QTextDocumentFragment(copy));
    cut.setPosition(0);
    cut.setPosition(start - copyStart, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    if (paragraph != start) {
      cut.setPosition(0);
      int listIndent = 0;  // a bullet's item keeps its text where the bullet put it
      if (QTextList* list = cut.block().textList()) {
        listIndent = list->format().indent();
        list->remove(cut.block());
      }
      QTextBlockFormat format = cut.blockFormat();
      format.setTextIndent(0);
      format.setTopMargin(0);
      format.setIndent(format.indent() + listIndent);
      cut.setBlockFormat(format);
    }
    cut.endEditBlock();
    return part;
  }
};

TRichTextLayout::TRichTextLayout(const TRtfDocument& document)
    : impl_(std::make_unique<Impl>(document)) {}

TRichTextLayout::~TRichTextLayout() = default;

int TRichTextLayout::TextLength() const { return std::max(0, impl_->structure.characterCount() - 1); }

int TRichTextLayout::EditPosition(int position) const {
  const QTextBlock block = impl_->structure.findBlock(std::clamp(position, 0, TextLength()));
  const int offset = std::clamp(position, 0, TextLength()) - block.position();
  const auto n = size_t(block.blockNumber());
  return impl_->editStarts[n] +
         (impl_->alike[n] ? offset : vantrel::qt::OursFromNative(block.text(), offset, true));
}

int TRichTextLayout::LayoutPosition(int editPosition) const {
  const std::vector<int>& starts = impl_->editStarts;
  const auto n = size_t(std::upper_bound(starts.begin(), starts.end(), std::max(editPosition, 0)) -
                        starts.begin() - 1);
  const QTextBlock block = impl_->structure.findBlockByNumber(int(n));
  const QString text = block.text();
  // Inside or beyond the paragraph's "\r\n": at the paragraph's end.
  const int offset = editPosition - starts[n];
  const int native = impl_->alike[n] ? std::min(offset, int(text.size()))
                                     : vantrel::qt::NativeFromOurs(text, offset, true);
  return block.position() + native;
}

int TRichTextLayout::FormatRange(TCanvas* canvas, const TRect& rect, int first, int last, bool render,
                                 int* usedHeight) {
  const int length = TextLength();
  if (last < 0 || last > length) last = length;
  first = std::clamp(first, 0, last);
  if (usedHeight) *usedHeight = 0;
  if (first >= last || rect.Width() <= 0 || rect.Height() <= 0) return first;

  QPainter& painter = vantrel::qt::ActivePainter(*canvas);
  const QPaintDevice* device = painter.device();
  Impl::Laid& laid = impl_->LayOut(device->logicalDpiX(), device->logicalDpiY(), rect.Width());
  const std::vector<Line> lines = LinesOf(laid.document, first, last, rect.Height());
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
    if (lines.front().start != 0 || next != length) part = impl_->Part(laid, lines.front().start, next);
    painter.save();
    painter.translate(rect.Left, rect.Top);
    (part ? *part : laid.document).drawContents(&painter, QRectF(0, 0, rect.Width(), bottom - top));
    painter.restore();
  }
  return next;
}
