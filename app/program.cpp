#include "app/program.h"

#include <cstdio>
#include <cstdlib>

#include "app/choosedate/choosedate.h"
#include "app/main/bug.h"
#include "app/newentry/enternewrecord.h"
#include "app/splash/splash.h"
#include "app/zoom/zoom.h"
#include "dbengine/accbinding.h"
#include "platform/dao/dao.h"
#include "platform/win32/signals.h"

namespace {
bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}
}  // namespace

bool DisplayAvailable() {
  if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return true;
  std::fprintf(stderr,
               "vantrel: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
               "Start it from a desktop session, or under xvfb-run.\n");
  return false;
}

void RegisterDatabaseEngine() { DaoRegisterServer(); }

bool InstallCloseOnTermination() {
  return InstallTerminationRequest([](int) {
    // A box waiting for its answer would hold the close: it goes first, as
    // by its Close button, and the code that asked has its answer.
    Application->EndModalWindows([] {
      if (frmBug && !Application->Terminated()) frmBug->Close();
    });
  });
}

bool RunVantrel(unsigned splashMs) {
  bool started = false;
  try {
    RegisterDatabaseEngine();
    Application->SetTitle("Vantrel Pro");
    Application->SetHelpFile("Vantrel.hlp");
    ShowSplashAndWait(splashMs);
    Application->CreateForm(frmBug);
    Application->CreateForm(frmChooseDate);
    Application->CreateForm(frmZoom);
    Application->CreateForm(frmEnterNewRecord);
    started = true;
  } catch (...) {
    // Say what stopped the start-up (a damaged settings file names itself
    // and its line) in a box of its own, not over the splash.
    FreeSplash();
    Application->HandleException(nullptr);
  }
  FreeSplash();
  if (started) {
    InstallCloseOnTermination();
    // A start-up that gave up has closed the main window already.
    if (!Application->Terminated()) Application->Run();
    RemoveTerminationRequest();
  }
  // The windows go in the reverse order of their making; the main window's
  // settings object stores what was written at close.
  delete frmEnterNewRecord;
  frmEnterNewRecord = nullptr;
  delete frmZoom;
  frmZoom = nullptr;
  delete frmChooseDate;
  frmChooseDate = nullptr;
  delete frmBug;
  // The sessions keep their databases open; closed here, the last program
  // out folds the log into the file, so that the file alone holds every save
  // (a backup or a move of it takes them along).
  StopAccessBinding();
  return started;
}
