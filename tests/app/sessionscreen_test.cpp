// The running program's database session: its login and password boxes are
// the class library's, its engine calls drive the real screen cursor, and the
// wait cursor ends through a real window timer.

#include <gtest/gtest.h>

#include <QTest>

#include <chrono>

#include "app/main/bug.h"
#include "apptest.h"
#include "dbengine/accbinding.h"
#include "dbengine/ttsession.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

using apptest::Scratch;

// Waits for the event loop to bring about `condition`; false after 10 s.
bool WaitFor(const std::function<bool()>& condition) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition() && std::chrono::steady_clock::now() < limit) Application->ProcessMessages();
  return condition();
}

TEST(SessionScreen, TheRunningProgramsSessionAsksThroughTheClassLibrarysBoxes) {
  Scratch scratch;
  TfrmBug* form = apptest::StartMainWindow();
  ASSERT_FALSE(form->Terminating);
  TttSession* session = AccessDefaultSession();
  ASSERT_TRUE(session->LoginDialog && session->PasswordDialog);
  std::vector<TModalResult> answers{mrOk, mrCancel, mrCancel};
  TDialogResponderScope scope([&](TDialogRequest& r) {
    EXPECT_EQ(TDialogKind::Form, r.Kind);
    TModalResult answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  std::string user = "anna", password;
  EXPECT_TRUE(session->LoginDialog("Tracker", user, password));
  EXPECT_EQ("anna", user);
  EXPECT_FALSE(session->LoginDialog("Tracker", user, password));
  EXPECT_FALSE(session->DoPassword()) << "a cancelled password box gives up";
  ASSERT_EQ(3, scope.Count());
  EXPECT_EQ("Database Login", scope.Requests()[0].Caption);
  EXPECT_EQ("Enter password", scope.Requests()[2].Caption);
  apptest::CloseMainWindow(form);
}

// A burst of engine calls longer than half a second shows the SQL wait cursor
// on the real screen until the real timer ends it; with SQLHourGlass off the
// screen cursor is left alone.
TEST(SessionScreen, EngineCallsShowTheWaitCursorOnTheScreenUnlessTheSessionSaysNot) {
  Scratch scratch;
  TfrmBug* form = apptest::StartMainWindow();
  ASSERT_FALSE(form->Terminating);
  apptest::CloseMainWindow(form);
  TttSession* session = AccessDefaultSession();
  ASSERT_TRUE(session->ScreenCursor && session->WaitCursorHooks.StartTimer);
  std::uint32_t now = 1000;
  session->WaitCursorHooks.TickCount = [&] { return now; };
  for (bool hourGlass : {true, false}) {
    SCOPED_TRACE(hourGlass);
    // The wait-cursor record is made when the session opens.
    session->SetActive(false);
    session->SetSQLHourGlass(hourGlass);
    session->SetActive(true);
    ASSERT_TRUE(WaitFor([] { return Screen->Cursor() == crDefault; })) << Screen->Cursor();
    session->GetConfigMode();
    now += 600;
    session->GetConfigMode();
    EXPECT_EQ(hourGlass ? crSQLWait : crDefault, Screen->Cursor());
    EXPECT_TRUE(WaitFor([] { return Screen->Cursor() == crDefault; })) << "the timer ends it";
  }
  session->WaitCursorHooks.TickCount = nullptr;
  session->SetSQLHourGlass(true);
}

}  // namespace
