#pragma once
// Internal to the rich-edit .cpp files: rich text in and out of the text
// document that editors show and layouts measure. Only a forward declaration
// of the Qt class here; the system's own code never includes this header.

#include "platform/classlib/richedit/rtf.h"

class QTextDocument;

namespace vantrel::qt {

// Fills `target` with `document`. Indents and tab stops become pixels at
// `pixelsPerInch`, the resolution the document will be laid out at; font
// sizes stay in points, which the layout's device turns into pixels itself.
void FillTextDocument(QTextDocument& target, const TRtfDocument& document, int pixelsPerInch);

// The rich text `source` holds, read back in the units FillTextDocument used.
TRtfDocument ReadTextDocument(const QTextDocument& source, int pixelsPerInch);

}  // namespace vantrel::qt
