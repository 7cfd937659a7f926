#include "app/common/sessionscreen.h"

#include "app/common/beepmessage.h"
#include "app/splash/splash.h"
#include "dbengine/ttsession.h"
#include "platform/classlib/controls/extctrls.h"
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

// The splash window's status line while an open brings a database made by
// an earlier version up to date.
std::string UpkeepStatus(const DaoOpenProgress& p) {
  const auto percent = [&] { return std::to_string(p.total > 0 ? p.done * 100 / p.total : 100) + "%"; };
  switch (p.stage) {
    case DaoOpenProgress::Checking: return "-Checking Indexes " + percent() + "-";
    case DaoOpenProgress::Rebuilding: return "-Rebuilding Indexes " + percent() + "-";
    case DaoOpenProgress::Waiting: break;
  }
  return "-Waiting For Another User's Index Rebuild " + std::to_string(p.done / 1000) + " s-";
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
  // The windows stay drawn while the work goes on; the splash, while there,
  // says how far it has come (after the events, which may write their own
  // stage into it).
  session->OpenUpkeep.Progress = [](const DaoOpenProgress& p) {
    Application->ProcessMessages();
    if (frmSplash) {
      frmSplash->lblStatus->SetCaption(UpkeepStatus(p));
      frmSplash->Repaint();
    }
  };
  session->OpenUpkeep.Notice = [](const std::string&, const std::string& text) {
    ShowBeepMessage(text, kMsgWarning);
  };
}
