#pragma once
// Internal to the rich-edit .cpp files: rich text in and out of the text
// document that editors show and layouts measure. Only a forward declaration
// of the Qt class here; the system's own code never includes this header.

#include "platform/classlib/richedit/rtf.h"

class QTextBlock;
class QTextBlockFormat;
class QTextCharFormat;
class QTextDocument;
class QTextListFormat;

namespace vantrel::qt {

// Fills `target` with `document`. Indents and tab stops become pixels at
// `pixelsPerInch`, the resolution the document will be laid out at; font
// sizes stay in points, which the layout's device turns into pixels itself.
void FillTextDocument(QTextDocument& target, const TRtfDocument& document, int pixelsPerInch);

// The rich text `source` holds, read back in the units FillTextDocument used.
TRtfDocument ReadTextDocument(const QTextDocument& source, int pixelsPerInch);

// The format properties that carry what Qt has no place for; they start at
// Qt's first user property.
enum RichTextProperty : int {
  kCharsetProperty = 0x100000,
  kPitchProperty,
  kProtectedProperty,
  kTabTwipsProperty,  // the stops as written, since pixels at a low resolution round
  // A bullet paragraph's indents as written: its text stands where the
  // bullet leaves room, not where they alone would put it.
  kLeftIndentTwipsProperty,
  kFirstIndentTwipsProperty,
};

// A list of bullets as the paragraphs' indents place them: it adds no indent of its own.
QTextListFormat BulletList();

// One run's and one paragraph's attributes in and out of Qt's formats, for
// editors that change the attributes of a selection.
QTextCharFormat CharFormat(const TRtfCharFormat& format);
TRtfCharFormat FromCharFormat(const QTextCharFormat& format);
// FromCharFormat as `document` shows the run: without a size of its own, in
// the size of the document's default font.
TRtfCharFormat ShownCharFormat(const QTextCharFormat& format, const QTextDocument& document);
QTextBlockFormat BlockFormat(const TRtfParaFormat& format, int pixelsPerInch);
TRtfParaFormat FromBlock(const QTextBlock& block, int pixelsPerInch);

}  // namespace vantrel::qt
