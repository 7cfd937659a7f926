#pragma once
// The form-class registry: the report never names its preview, print and
// cancel dialog forms; it asks for the form registered for an abstract base,
// so an application can register forms of its own.

#include <string>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/core/object.h"
#include "platform/classlib/core/strings.h"

// Registers `formClass` for `baseClass`, replacing an earlier registration,
// and makes it known to the class registry.
void ppRegisterForm(TClass formClass, TClass baseClass);
// Removes the registration for `baseClass` and unregisters its form class.
void ppUnregisterForm(TClass baseClass);
// The form class registered for `baseClass`; null when there is none.
TClass ppGetFormClass(TClass baseClass);

// ---- The forms' bases ---------------------------------------------------------------


class TppPublisher;
class TppPrinter;
class TppPrinterSetup;
class TppViewer;

// What the viewer and the forms need of the report they serve. The report
// implements it; keeping it this small lets the output side be built and
// tested without the engine.
class TppReportLink {
 public:
  virtual ~TppReportLink() = default;
  virtual TppPublisher* ReportPublisher() = 0;
  virtual TppPrinterSetup* ReportPrinterSetup() = 0;
  // True while pages are being generated.
  virtual bool Generating() const = 0;
  // Stops a generation that is running.
  virtual void CancelGeneration() = 0;
  // Prints on the printer, the shown page being the current page.
  virtual void PrintFromPreview(int currentPage) = 0;
};

// A report window: it knows its report and the language of its texts.
class TppForm : public TForm {
  DECLARE_CLASS(TppForm, TForm)
 public:
  explicit TppForm(TComponent* owner);
  ~TppForm() override;

  // Sets every caption and hint from the string table.
  virtual void LanguageChanged() {}
  virtual void AttachReport() {}

  TppReportLink* Report() const { return report_; }
  void SetReport(TppReportLink* report);
  int LanguageIndex() const { return languageIndex_; }
  void SetLanguageIndex(int index);
  // A text of the form's language by string-table offset.
  std::string Text(int offset) const;

  // Set by the owner: after activation, on WM_CLOSE (before closing), on destruction.
  TNotifyEvent OnActivated, OnCloseMessage, OnDestroyed;

  void Dispatch(TMessage& message) override;

 protected:
  void Activate() override;

 private:
  TppReportLink* report_ = nullptr;
  int languageIndex_ = 43000;
};

// Sizes a button to its caption: the text's width and room for its frame.
void ppFitButtonToCaption(TControl* button);

class TppCustomPreviewer : public TppForm {
  DECLARE_CLASS(TppCustomPreviewer, TppForm)
 public:
  using TppForm::TppForm;
  virtual TppViewer* GetViewer() { return nullptr; }
};

class TppCustomPrintDialog : public TppForm {
  DECLARE_CLASS(TppCustomPrintDialog, TppForm)
 public:
  using TppForm::TppForm;
  bool AllowPrintToFile = false;
  TStringList PageList;  // "%8d" page numbers
  int PageNo = 1;
  int PageRequest = 0;   // 0 all, 1 page list, 2 current page
  bool PrinterChanged = false;
  std::string TextFileName;
  TppPrinter* Printer = nullptr;
  bool PrintToFile = false;
};

class TppCustomCancelDialog : public TppForm {
  DECLARE_CLASS(TppCustomCancelDialog, TppForm)
 public:
  explicit TppCustomCancelDialog(TComponent* owner);
  ~TppCustomCancelDialog() override;
  virtual void UpdateStatus() {}

  bool AllowCancel = false;
  TNotifyEvent OnCancel;
  const std::string& StatusText() const { return statusText_; }
  void SetStatusText(const std::string& text);
  // Closes a modal dialog with mrOk shortly after it was started.
  TTimer* CloseTimer() const { return timer_; }

 private:
  std::string statusText_;
  TTimer* timer_;  // owned by the form
};

// Asked while a layout loads whether a reader error may be skipped: mrIgnore
// skips this one, mrAll every later one of the load, mrCancel fails the load.
class TppCustomTemplateErrorDialog : public TppForm {
  DECLARE_CLASS(TppCustomTemplateErrorDialog, TppForm)
 public:
  using TppForm::TppForm;
  // The reader's message; the form asks its question below it.
  virtual void SetErrorMessage(const std::string& message) { errorMessage_ = message; }
  const std::string& ErrorMessage() const { return errorMessage_; }

 private:
  std::string errorMessage_;
};
