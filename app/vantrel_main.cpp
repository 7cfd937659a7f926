// The program entry of vantrel.

#include "app/program.h"
#include "platform/classlib/controls/forms.h"
#include "app/splash/splash.h"

int main(int argc, char** argv) {
  if (!DisplayAvailable()) return 1;
  Application->Initialize(argc, argv);
  return RunVantrel(kSplashMs) ? 0 : 1;
}
