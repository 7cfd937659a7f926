// The login and password boxes: live forms answered through the responder,
// typed into with real keys; OK gives what was typed, Cancel gives nothing.

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include <vector>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/dialogs/logindialogs.h"
#include "platform/classlib/stdctrls/edits.h"

namespace {

using testing_support::ClientOf;

std::vector<TEdit*> EditsOf(TComponent* form) {
  std::vector<TEdit*> edits;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* edit = dynamic_cast<TEdit*>(form->Components(i))) edits.push_back(edit);
  return edits;
}

std::vector<std::string> LabelsOf(TComponent* form) {
  std::vector<std::string> labels;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* label = dynamic_cast<TLabel*>(form->Components(i))) labels.push_back(label->Caption());
  return labels;
}

void Type(TEdit* edit, const char* text) {
  QWidget* client = ClientOf(edit);
  QWidget* target = client->focusProxy() ? client->focusProxy() : client;
  QTest::keyClick(target, Qt::Key_End);  // after what the edit offers
  QTest::keyClicks(target, text);
}

TEST(LoginDialogTest, OkGivesWhatWasTypedAndCancelLeavesTheValues) {
  for (TModalResult answer : {mrOk, mrCancel}) {
    SCOPED_TRACE(answer);
    std::vector<std::string> labels;
    bool passwordHidden = false, passwordFocused = false;
    TDialogResponderScope scope([&](TDialogRequest& r) {
      auto* form = static_cast<TForm*>(r.Dialog);
      std::vector<TEdit*> edits = EditsOf(form);
      EXPECT_EQ(2u, edits.size());
      if (edits.size() != 2) return mrCancel;
      labels = LabelsOf(form);
      EXPECT_EQ("anna", edits[0]->Text()) << "the offered user name";
      EXPECT_EQ("", edits[1]->Text()) << "no password is offered";
      passwordHidden = edits[1]->PasswordChar() != 0;
      passwordFocused = form->ActiveControl() == edits[1];
      Type(edits[0], "-b");
      Type(edits[1], "s3cret");
      return answer;
    });
    std::string user = "anna", password = "old";
    EXPECT_EQ(answer == mrOk, LoginDialog("Tracker", user, password));
    ASSERT_EQ(1, scope.Count());
    EXPECT_EQ(TDialogKind::Form, scope.Requests()[0].Kind);
    EXPECT_EQ("Database Login", scope.Requests()[0].Caption);
    EXPECT_EQ((std::vector<std::string>{"Database:", "Tracker", "&User Name:", "&Password:"}), labels);
    EXPECT_TRUE(passwordHidden);
    EXPECT_TRUE(passwordFocused) << "with a user name given only the password is left to type";
    EXPECT_EQ(answer == mrOk ? "anna-b" : "anna", user);
    EXPECT_EQ(answer == mrOk ? "s3cret" : "old", password);
  }
}

TEST(LoginDialogTest, WithoutAUserNameTheUserNameEditHasTheFocus) {
  bool userFocused = false;
  TDialogResponderScope scope([&](TDialogRequest& r) {
    auto* form = static_cast<TForm*>(r.Dialog);
    userFocused = form->ActiveControl() == EditsOf(form).at(0);
    return mrOk;
  });
  std::string user, password;
  EXPECT_TRUE(LoginDialog("Tracker", user, password));
  EXPECT_TRUE(userFocused);
  EXPECT_EQ("", user);
  EXPECT_EQ("", password);
}

TEST(PasswordDialogTest, OkGivesTheTypedPasswordAndCancelNothing) {
  for (TModalResult answer : {mrOk, mrCancel}) {
    SCOPED_TRACE(answer);
    bool hidden = false;
    TDialogResponderScope scope([&](TDialogRequest& r) {
      std::vector<TEdit*> edits = EditsOf(r.Dialog);
      EXPECT_EQ(1u, edits.size());
      if (edits.empty()) return mrCancel;
      hidden = edits[0]->PasswordChar() != 0;
      Type(edits[0], "open sesame");
      return answer;
    });
    std::string password = "kept";
    EXPECT_EQ(answer == mrOk, PasswordDialog(password));
    ASSERT_EQ(1, scope.Count());
    EXPECT_EQ("Enter password", scope.Requests()[0].Caption);
    EXPECT_TRUE(hidden);
    EXPECT_EQ(answer == mrOk ? "open sesame" : "kept", password);
  }
}

}  // namespace
