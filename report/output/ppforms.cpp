#include "report/output/ppforms.h"

#include <map>
#include <string>

#include "platform/classlib/graphics/images.h"
#include "report/data/pputils.h"
#include "report/output/ppcnldlg.h"
#include "report/output/pppreview.h"
#include "report/output/ppprndlg.h"
#include "report/output/pptmplerr.h"

namespace {

// Base class name -> registered form class, for the program's life.
std::map<std::string, TClass>& Registry() {
  static std::map<std::string, TClass> registry;
  return registry;
}

}  // namespace

void ppRegisterForm(TClass formClass, TClass baseClass) {
  if (!formClass || !baseClass) return;
  ppUnregisterForm(baseClass);
  RegisterClass(formClass);
  Registry()[baseClass->ClassName()] = formClass;
}

void ppUnregisterForm(TClass baseClass) {
  if (!baseClass) return;
  auto it = Registry().find(baseClass->ClassName());
  if (it == Registry().end()) return;
  UnRegisterClass(it->second);
  Registry().erase(it);
}

// The report's own forms serve their bases from the start; an application
// may register others in their place.
const bool kReportFormsRegistered = [] {
  ppRegisterForm(TppPrintPreview::StaticClass(), TppCustomPreviewer::StaticClass());
  ppRegisterForm(TppPrintDialog::StaticClass(), TppCustomPrintDialog::StaticClass());
  ppRegisterForm(TppCancelDialog::StaticClass(), TppCustomCancelDialog::StaticClass());
  ppRegisterForm(TppTemplateErrorDialog::StaticClass(),
                 TppCustomTemplateErrorDialog::StaticClass());
  return true;
}();

TClass ppGetFormClass(TClass baseClass) {
  if (!baseClass) return nullptr;
  auto it = Registry().find(baseClass->ClassName());
  return it == Registry().end() ? nullptr : it->second;
}

// ---- The forms' bases ---------------------------------------------------------------

IMPLEMENT_CLASS(TppForm, TForm)
IMPLEMENT_CLASS(TppCustomPreviewer, TppForm)
IMPLEMENT_CLASS(TppCustomPrintDialog, TppForm)
IMPLEMENT_CLASS(TppCustomCancelDialog, TppForm)
IMPLEMENT_CLASS(TppCustomTemplateErrorDialog, TppForm)

TppForm::TppForm(TComponent* owner) : TForm(owner) {}

TppForm::~TppForm() {
  if (OnDestroyed) OnDestroyed(this);
}

void TppForm::SetReport(TppReportLink* report) {
  report_ = report;
  AttachReport();
}

void TppForm::SetLanguageIndex(int index) {
  languageIndex_ = index;
  LanguageChanged();
}

std::string TppForm::Text(int offset) const { return ppLoadStr(languageIndex_ + offset); }

void TppForm::Dispatch(TMessage& message) {
  // The owner hears of a close request before the form decides on it.
  if (message.Msg == WM_CLOSE && OnCloseMessage) OnCloseMessage(this);
  inherited::Dispatch(message);
}

void TppForm::Activate() {
  inherited::Activate();
  if (OnActivated) OnActivated(this);
}

// The report starts the close timer right after showing a modal cancel
// dialog, so the dialog's modal loop ends by itself once printing is over.
constexpr unsigned kCancelCloseDelay = 10;  // milliseconds

TppCustomCancelDialog::TppCustomCancelDialog(TComponent* owner)
    : TppForm(owner), timer_(new TTimer(this)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(kCancelCloseDelay);
  timer_->OnTimer = [this](TObject*) {
    timer_->SetEnabled(false);
    SetModalResult(mrOk);
  };
}

TppCustomCancelDialog::~TppCustomCancelDialog() = default;

void TppCustomCancelDialog::SetStatusText(const std::string& text) {
  statusText_ = text;
  UpdateStatus();
}

// The frame and padding either side of a button's caption, in pixels.
constexpr int kButtonCaptionRoom = 30;

void ppFitButtonToCaption(TControl* button) {
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->SetFont(button->Font());
  button->SetWidth(measure.Canvas()->TextWidth(button->Caption()) + kButtonCaptionRoom);
}
