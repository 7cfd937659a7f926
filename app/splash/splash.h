#pragma once
// The splash window shown during start-up; the main window writes each stage
// into its status line.

#include "platform/classlib/controls/forms.h"

class TImage;
class TLabel;
class TTimer;

class TfrmSplash : public TForm {
  DECLARE_CLASS(TfrmSplash, TForm)
 public:
  explicit TfrmSplash(TComponent* AOwner);
  ~TfrmSplash() override;

  TImage* imgLogo;
  TLabel* lblProduct;
  TLabel* lblVersion;
  TLabel* lblLine;
  TLabel* lblCopyright;
  TLabel* lblStatus;
  TTimer* Timer;

 protected:
  void DoShow() override;
};

extern TfrmSplash* frmSplash;

// The time the splash window stays at least on screen.
inline constexpr unsigned kSplashMs = 2000;

// Creates and shows the splash window, then handles events until its timer
// has fired once (waiting for them, not spinning).
void ShowSplashAndWait(unsigned intervalMs);
// Hides and frees the splash window; later status texts go nowhere.
void FreeSplash();
