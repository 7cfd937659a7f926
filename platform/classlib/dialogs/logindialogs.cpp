#include "platform/classlib/dialogs/logindialogs.h"

#include "platform/classlib/dialogs/rowsform.h"
#include "platform/classlib/stdctrls/edits.h"

using vantrel::dialogs::TRowsForm;

bool LoginDialog(const std::string& databaseName, std::string& userName, std::string& password) {
  TRowsForm form(logintext::LoginCaption);
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
  TRowsForm form(logintext::PasswordCaption);
  TEdit* secret = form.AddEdit(logintext::PasswordPrompt, "", true);
  if (!form.Run(secret)) return false;
  password = secret->Text();
  return true;
}
