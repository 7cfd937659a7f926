#pragma once
// Internal to the class library's .cpp files: the rich text editor behind an
// edit whose window shows formatting. Only a forward declaration of the Qt
// class here; the system's own code never includes this header.

#include <string>

class QString;
class QTextEdit;
class TCustomEdit;

namespace vantrel::qt {

// The window's rich text editor; nullptr without a window or for an edit
// that shows plain text.
QTextEdit* RichEditorOf(const TCustomEdit& edit);

// Our position (code points, a line break "\r\n" counting two) of a position
// in the native text (UTF-16 units, a line break one "\n"), and back.
int OursFromNative(const QString& text, int native, bool crlf);
int NativeFromOurs(const QString& text, int ours, bool crlf);
// The memo's "\r\n" is the native editor's "\n" (a lone "\r" too), and back.
QString ToNativeText(const std::string& text, bool multiLine);
std::string FromNativeText(const QString& text, bool multiLine);

}  // namespace vantrel::qt
