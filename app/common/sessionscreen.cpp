#include "app/common/sessionscreen.h"

#include "app/common/beepmessage.h"
#include "dbengine/ttsession.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/dialogs/logindialogs.h"
#include "platform/classlib/core/exceptions.h"

namespace {

// The wait cursor runs one timer at a time (there is one screen), so one
// timer per session is reused, found by its name when installed again; its id
// is the one it answers.
constexpr std::uintptr_t kWaitTimerId = 1;
constexpr const char* kWaitTimerName = "WaitCursorTimer";

TWaitCursorHooks WindowTimerHooks(TttSession* session) {
  auto* timer = dynamic_cast<TTimer*>(session->FindComponent(kWaitTimerName));
  // A running timer is left to end the wait cursor it was started for.
  if (!timer) {
    timer = new TTimer(session);
    timer->SetName(kWaitTimerName);
    timer->SetEnabled(false);
  }
  TWaitCursorHooks hooks;
  hooks.StartTimer = [timer](unsigned milliseconds, std::function<void()> expired) {
    timer->SetEnabled(false);
    // Disabled before `expired` runs: it fires once, and may kill it itself.
    timer->OnTimer = [timer, expired = std::move(expired)](TObject*) {
      timer->SetEnabled(false);
      expired();
    };
    timer->SetInterval(milliseconds);
    timer->SetEnabled(true);
    return kWaitTimerId;
  };
  hooks.KillTimer = [timer](std::uintptr_t) { timer->SetEnabled(false); };
  return hooks;
}

}  // namespace

void InstallSessionScreen(TttSession* session) {
  if (!session) throw EInvalidOperation("No session to give the screen to");
  session->LoginDialog = LoginDialog;
  session->PasswordDialog = [](TttSession*) {
    std::string password;
    return PasswordDialog(password) && !password.empty();
  };
  session->ScreenCursor = [](int cursor) { Screen->SetCursor(TCursor(cursor)); };
  session->WaitCursorHooks = WindowTimerHooks(session);
  session->OpenUpkeep.Notice = [](const std::string&, const std::string& text) {
    ShowBeepMessage(text, kMsgWarning);
  };
}
