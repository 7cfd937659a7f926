#pragma once
// Help shown with the desktop's viewer. The application's HelpFile names the
// help; the desktop cannot show ".hlp" files, so such a name stands for an
// HTML document of the same name beside it (".html" or ".htm"). Contents open
// the document, a context opens its anchor "context-<n>", the macro
// "Search()" its anchor "search", JumpID("", "<topic>") the topic's anchor.
// Whatever cannot be shown is told to the user in a message box. The viewer
// starts through the desktop's opener (ShellExecute), whose program runner
// tests replace.

#include <string>

// The document a help file stands for, looked for as named and then in the
// program's folder; empty when none is there.
std::string HelpDocument(const std::string& helpFile);
