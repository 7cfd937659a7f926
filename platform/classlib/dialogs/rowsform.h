#pragma once
// Internal to the dialogs library: the small forms it builds of our own
// controls (the login and password boxes, the input box), so their edits
// behave as every edit of the program does. Rows of a caption and a value
// stand top down over an OK and a Cancel button.

#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"

class TEdit;

namespace vantrel::dialogs {

class TRowsForm : public TForm {
 public:
  explicit TRowsForm(const std::string& caption);

  // A row with a fixed text (the database name).
  void AddText(const std::string& caption, const std::string& text);
  // A row with an edit holding `text`; `secret` hides what is typed.
  TEdit* AddEdit(const std::string& caption, const std::string& text, bool secret);
  // A prompt on a row of its own over an edit as wide as the form (a long
  // prompt widens the form); added before any other row.
  TEdit* AddPromptedEdit(const std::string& prompt, const std::string& text);
  // Adds the buttons under the rows, sizes the window and runs it; true on OK.
  bool Run(TEdit* focused);

 private:
  // The top of the next row.
  int Row() const;
  void AddCaption(const std::string& caption, TWinControl* focusTarget);
  std::vector<TControl*> rows_;
  int width_;  // of the client area, widened by a longer prompt
};

}  // namespace vantrel::dialogs
