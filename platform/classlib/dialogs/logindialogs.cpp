#include "platform/classlib/dialogs/logindialogs.h"

#include <algorithm>
#include <vector>

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

namespace {

// Room around and between the rows, the caption column and the least sizes
// of the rows and buttons (room for the default font).
constexpr int kMargin = 10, kGap = 8, kLabelWidth = 80, kEditWidth = 180;
constexpr int kRowHeight = 22, kButtonWidth = 76, kButtonHeight = 26;
// How far a label's text sits below the top of its row, to line up with an edit's text.
constexpr int kLabelDrop = 3;
// What the password edits show in place of each typed character.
constexpr char32_t kPasswordChar = U'*';

// A form of caption/value rows over an OK and a Cancel button. Rows are added
// top down; the edits keep what the user typed after the modal pass.
class TLoginForm : public TForm {
 public:
  explicit TLoginForm(const std::string& caption) : TForm(nullptr) {
    SetCaption(caption);
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
  }

  // A row with a fixed text (the database name).
  void AddText(const std::string& caption, const std::string& text) {
    AddCaption(caption, nullptr);
    auto* value = new TLabel(this);
    value->SetParent(this);
    value->SetCaption(text);
    // On the caption's line: labels sit lower than edits to meet their text.
    value->SetBounds(kMargin + kLabelWidth, Row() + kLabelDrop, kEditWidth, kRowHeight);
    rows_.push_back(value);
  }

  // A row with an edit holding `text`; `secret` hides what is typed.
  TEdit* AddEdit(const std::string& caption, const std::string& text, bool secret) {
    auto* edit = new TEdit(this);
    edit->SetParent(this);
    edit->SetText(text);
    if (secret) edit->SetPasswordChar(kPasswordChar);
    AddCaption(caption, edit);
    edit->SetBounds(kMargin + kLabelWidth, Row(), kEditWidth, kRowHeight);
    rows_.push_back(edit);
    return edit;
  }

  // Adds the buttons under the rows, sizes the window and runs it; true on OK.
  bool Run(TEdit* focused) {
    const int top = Row() + kGap;
    const int width = kMargin * 2 + kLabelWidth + kEditWidth;
    auto* cancel = AddButton("Cancel", mrCancel);
    cancel->SetCancel(true);
    cancel->SetBounds(width - kMargin - kButtonWidth, top, kButtonWidth, kButtonHeight);
    auto* ok = AddButton("OK", mrOk);
    ok->SetDefault(true);
    ok->SetBounds(cancel->Left() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
    SetClientWidth(width);
    SetClientHeight(top + kButtonHeight + kMargin);
    if (focused) SetActiveControl(focused);
    return ShowModal() == mrOk;
  }

 private:
  // The top of the next row.
  int Row() const {
    if (rows_.empty()) return kMargin;
    return rows_.back()->Top() + rows_.back()->Height() + kGap;
  }
  void AddCaption(const std::string& caption, TWinControl* focusTarget) {
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetCaption(caption);
    if (focusTarget) label->SetFocusControl(focusTarget);
    label->SetBounds(kMargin, Row() + kLabelDrop, kLabelWidth - kGap, kRowHeight);
  }
  TButton* AddButton(const std::string& caption, TModalResult result) {
    auto* button = new TButton(this);
    button->SetParent(this);
    button->SetCaption(caption);
    button->SetModalResult(result);
    return button;
  }

  std::vector<TControl*> rows_;
};

}  // namespace

bool LoginDialog(const std::string& databaseName, std::string& userName, std::string& password) {
  TLoginForm form(logintext::LoginCaption);
  form.AddText(logintext::DatabaseLabel, databaseName);
  TEdit* user = form.AddEdit(logintext::UserNameLabel, userName, false);
  TEdit* secret = form.AddEdit(logintext::PasswordLabel, "", true);
  // With a user name offered, the password is what is left to type.
  if (!form.Run(userName.empty() ? user : secret)) return false;
  userName = user->Text();
  password = secret->Text();
  return true;
}

bool PasswordDialog(std::string& password) {
  TLoginForm form(logintext::PasswordCaption);
  TEdit* secret = form.AddEdit(logintext::PasswordPrompt, "", true);
  if (!form.Run(secret)) return false;
  password = secret->Text();
  return true;
}
