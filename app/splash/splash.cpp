#include "app/splash/splash.h"

#include "app/common/components.h"
#include "app/common/product.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/timer.h"

IMPLEMENT_CLASS(TfrmSplash, TForm)

TfrmSplash* frmSplash = nullptr;

namespace {

constexpr int kWidth = 360, kHeight = 200;

TLabel* NewLabel(TfrmSplash* form, const char* name, int top, const char* caption) {
  auto* label = NewControl<TLabel>(form, form, name);
  label->SetBounds(16, top, kWidth - 32, 20);
  label->SetCaption(caption);
  return label;
}

}  // namespace

TfrmSplash::TfrmSplash(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmSplash");
  SetBorderStyle(bsNone);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  imgLogo = NewControl<TImage>(this, this, "imgLogo");
  imgLogo->SetBounds(0, 0, kWidth, 8);
  lblProduct = NewLabel(this, "lblProduct", 24, "Vantrel Pro");
  lblProduct->Font()->SetSize(18);
  lblVersion = NewLabel(this, "lblVersion", 64, "");
  lblLine = NewLabel(this, "lblLine", 88, "");
  lblCopyright = NewLabel(this, "lblCopyright", 112, "Defect tracking for software projects");
  lblStatus = NewLabel(this, "lblStatus", kHeight - 32, "-Initializing-");
  Timer = NewComponent<TTimer>(this, "Timer");
  Timer->SetEnabled(false);
  Timer->SetInterval(kSplashMs);
  // The first tick is the signal the program entry waits for.
  Timer->OnTimer = [this](TObject*) { Timer->SetEnabled(false); };
}

TfrmSplash::~TfrmSplash() {
  if (frmSplash == this) frmSplash = nullptr;
}

void TfrmSplash::DoShow() {
  lblVersion->SetCaption(kVersionText);
  lblLine->SetCaption("Bug reports and feature requests");
  TForm::DoShow();
}

void ShowSplashAndWait(unsigned intervalMs) {
  frmSplash = new TfrmSplash(Application);
  frmSplash->Show();
  frmSplash->Repaint();
  frmSplash->Timer->SetInterval(intervalMs);
  frmSplash->Timer->SetEnabled(true);
  while (frmSplash->Timer->Enabled()) Application->HandleMessage();
}

void FreeSplash() {
  if (!frmSplash) return;
  frmSplash->Hide();
  delete frmSplash;
  frmSplash = nullptr;
}
