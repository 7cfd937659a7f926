// Page-by-page layout of rich text on Qt's text document, laid out at the
// resolution of the device it goes to so that lines break there as printed.
#include "platform/classlib/richedit/richlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/richedit/richdocument.h"

struct TRichTextLayout::Impl {
  TRtfDocument text;
  QTextDocument document;
  QPaintDevice* device = nullptr;
  int pixelsPerInch = 0;
  double width = -1;

  // Lays the text out for `device` and `width` unless it already is.
  // Each change of device, margin or width lays the whole text out again, so
  // the text is emptied first and filled in once all three are set.
  void LayOut(QPaintDevice* target, double textWidth) {
    const int ppi = target->logicalDpiY();
    if (target != device || ppi != pixelsPerInch) {
      device = target;
      pixelsPerInch = ppi;
      document.clear();
      document.documentLayout()->setPaintDevice(target);
      document.setDocumentMargin(0);
      document.setTextWidth(textWidth);
      width = textWidth;
      vantrel::qt::FillTextDocument(document, text, ppi);
    }
    if (textWidth != width) {
      document.setTextWidth(textWidth);
      width = textWidth;
    }
  }

  // A copy of the text from `start` (a line's start) to `end`, laid out for
  // `target` at `textWidth`. Lines break from a paragraph's start onwards, so
  // they break in the copy as here; a paragraph that began on an earlier page
  // continues without its first-line indent, space above or bullet.
  std::unique_ptr<QTextDocument> Part(int start, int end, QPaintDevice* target,
                                      double textWidth) const {
    auto part = std::make_unique<QTextDocument>();
    part->setDefaultFont(document.defaultFont());
    part->setDefaultTextOption(document.defaultTextOption());
    part->setIndentWidth(document.indentWidth());
    // Set while the copy is empty: on a filled copy each would lay it all out again.
    part->documentLayout()->setPaintDevice(target);
    part->setDocumentMargin(0);
    part->setTextWidth(textWidth);
    QTextCursor cut(part.get());
    cut.beginEditBlock();  // laid out once, when it is cut to size
    cut.insertFragment(QTextDocumentFragment(&document));
    cut.setPosition(std::min(end, part->characterCount() - 1));
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    const bool continues = document.findBlock(start).position() != start;
    cut.setPosition(0);
    cut.setPosition(start, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    if (continues) {
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

namespace {

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

}  // namespace

TRichTextLayout::TRichTextLayout(const TRtfDocument& document) : impl_(std::make_unique<Impl>()) {
  impl_->text = document;
  vantrel::qt::FillTextDocument(impl_->document, document, 96);
}

TRichTextLayout::~TRichTextLayout() = default;

int TRichTextLayout::TextLength() const { return std::max(0, impl_->document.characterCount() - 1); }

int TRichTextLayout::FormatRange(TCanvas* canvas, const TRect& rect, int first, int last, bool render,
                                 int* usedHeight) {
  const int length = TextLength();
  if (last < 0 || last > length) last = length;
  first = std::clamp(first, 0, last);
  if (usedHeight) *usedHeight = 0;
  if (first >= last || rect.Width() <= 0 || rect.Height() <= 0) return first;

  QPainter& painter = vantrel::qt::ActivePainter(*canvas);
  impl_->LayOut(painter.device(), rect.Width());
  const std::vector<Line> lines = LinesOf(impl_->document, first, last, rect.Height());
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
    if (lines.front().start != 0 || next != length)
      part = impl_->Part(lines.front().start, next, painter.device(), rect.Width());
    painter.save();
    painter.translate(rect.Left, rect.Top);
    (part ? *part : impl_->document).drawContents(&painter, QRectF(0, 0, rect.Width(), bottom - top));
    painter.restore();
  }
  return next;
}
