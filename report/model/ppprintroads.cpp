// The printing roads of the main report: the preview form over the screen
// device, and the printer or text-file device behind the print and cancel
// dialogs. Whatever happens, a job leaves the report's printer setup as it
// found it and frees its dialogs and devices.

#include <exception>
#include <memory>

#include "platform/classlib/core/format.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/model/ppengine.h"
#include "report/model/ppreport.h"
#include "report/output/ppprintr.h"
#include "report/output/ppprndev.h"
#include "report/output/pptxtdev.h"

namespace {

// "There are no printers connected to your computer."
constexpr int kNoPrinters = 411;
// The printer the class library always offers; it writes PDF files.
constexpr const char* kPdfPrinter = "PDF";

bool pdfWithheld = false;

// A form of the class registered for `base`, in the report's language.
template <class Form>
Form* CreateRegisteredForm(TClass base, TComponent* owner, int languageIndex) {
  TClass cls = ppGetFormClass(base);
  auto* form = cls ? dynamic_cast<Form*>(cls->Create(owner)) : nullptr;
  if (!form) throw EPrintError("No form is registered for " + base->ClassName());
  form->SetLanguageIndex(languageIndex);
  return form;
}

// Runs `work` from the form's first activation while the form is shown
// modally; an error ends the modal pass and is raised once it is over.
void RunWhileModal(TppForm* form, const std::function<void()>& work,
                   const std::function<void()>& whenDone) {
  bool started = false;
  std::exception_ptr failure;
  form->OnActivated = [&](TObject*) {
    if (started) return;  // later activations only repaint
    started = true;
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    if (failure) form->SetModalResult(mrCancel);
    else whenDone();
  };
  form->ShowModal();
  form->OnActivated = nullptr;
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

bool ppPrinterAvailable() {
  TppPrinterList* list = ppPrinters();
  for (int i = 1; i < list->Count(); ++i)  // entry 0 is "Default"
    if (!(pdfWithheld && list->Names(i) == kPdfPrinter)) return true;
  return false;
}

void ppSetPdfPrinterWithheld(bool withheld) { pdfWithheld = withheld; }

// ---- The forms' view of the report ----------------------------------------------------------

TppPublisher* TppReportFormLink::ReportPublisher() { return report_->Publisher(); }
TppPrinterSetup* TppReportFormLink::ReportPrinterSetup() { return report_->PrinterSetup(); }
bool TppReportFormLink::Generating() const { return report_->IsGenerating(); }
void TppReportFormLink::CancelGeneration() { report_->CancelGeneration(); }

void TppReportFormLink::PrintFromPreview(int currentPage) {
  report_->previewPageNo_ = currentPage;
  try {
    report_->PrintToDevice();
  } catch (...) {
    report_->previewPageNo_ = 0;
    throw;
  }
  report_->previewPageNo_ = 0;
}

// ---- The roads ------------------------------------------------------------------------------

void TppReport::Print() {
  if (device_ == dvScreen) PreviewInForm();
  else PrintToDevice();
}

void TppReport::PreviewInForm() {
  if (!previewForm_) {
    previewForm_ = CreateRegisteredForm<TppCustomPreviewer>(TppCustomPreviewer::StaticClass(),
                                                            this, languageIndex_);
    previewForm_->SetReport(&formLink_);
    // A close request stops a running generation at once; closing tells the owner.
    previewForm_->OnCloseMessage = [this](TObject*) {
      if (generating_) CancelGeneration();
    };
    previewForm_->OnClose = [this](TObject*, TCloseAction&) {
      if (generating_) CancelGeneration();
      if (OnPreviewFormClose) OnPreviewFormClose(this);
    };
    previewForm_->OnDestroyed = [this](TObject*) {
      engine_->Reset();
      previewForm_ = nullptr;
    };
    if (OnPreviewFormCreate) OnPreviewFormCreate(this);
  }
  if (!modalPreview_) {
    previewForm_->Show();
    PrintPages();
    return;
  }
  // A modal preview lives for one showing, however the showing ends.
  const std::unique_ptr<TppCustomPreviewer> showing(previewForm_);
  RunWhileModal(showing.get(), [this] { PrintPages(); }, [] {});
}

void TppReport::PrintToDevice() {
  if (cancelDialog_) return;  // a job of this report is running
  jobOutcome_ = TppJobOutcome::None;
  // A designer always asks how to print.
  const bool withDialog = showPrintDialog_ || designWindow_;
  // A text file named by the report needs no printer at all.
  const bool fileWithoutDialog = device_ == dvFile && !withDialog;
  if (!fileWithoutDialog && !ppPrinterAvailable()) {
    MessageDlg(LoadStr(kNoPrinters), mtWarning, {mbOK}, 0);
    return;
  }
  TppPrinterSetup saved;
  saved.Assign(printerSetup_.get());
  std::unique_ptr<TppPrinterDevice> printerDevice;
  std::unique_ptr<TppTextFileDevice> fileDevice;
  // Put back on every way out: the setup, the dialogs, the devices.
  struct Restore {
    TppReport* report;
    TppPrinterSetup* saved;
    TppDevice* devices[2];
    ~Restore() {
      for (TppDevice* d : devices)
        if (d) d->SetPublisher(nullptr);
      delete report->cancelDialog_;
      report->cancelDialog_ = nullptr;
      report->SetPrinterSetup(saved);
    }
  } restore{this, &saved, {nullptr, nullptr}};

  bool toFile = device_ == dvFile;
  std::string fileName = textFileName_;
  TppPageRequestType kind = prAll;
  int pageNo = previewPageNo_ > 0 ? previewPageNo_ : 1;
  TStringList pages;
  if (!fileWithoutDialog) {
    printerDevice = std::make_unique<TppPrinterDevice>();
    printerDevice->Printer()->SetPrinterSetup(*printerSetup_);
  }
  if (withDialog) {
    std::unique_ptr<TppCustomPrintDialog> dialog(CreateRegisteredForm<TppCustomPrintDialog>(
        TppCustomPrintDialog::StaticClass(), nullptr, languageIndex_));
    dialog->AllowPrintToFile = allowPrintToFile_;
    dialog->Printer = printerDevice->Printer();
    dialog->TextFileName = textFileName_;
    dialog->PrintToFile = toFile;
    dialog->PageNo = pageNo;
    if (dialog->ShowModal() != mrOk) {
      jobOutcome_ = TppJobOutcome::Cancelled;
      return;
    }
    toFile = dialog->PrintToFile;
    fileName = dialog->TextFileName;
    kind = TppPageRequestType(dialog->PageRequest);
    pageNo = dialog->PageNo;
    // The devices look pages up by their keys; the dialog lists plain numbers.
    for (int i = 0; i < dialog->PageList.Count(); ++i)
      pages.Add(ppPageKey(std::stoi(dialog->PageList[i])));
  }

  TppDevice* device = printerDevice.get();
  if (toFile) {
    fileDevice = std::make_unique<TppTextFileDevice>();
    fileDevice->SetFileName(fileName);
    fileDevice->SetFileType(textFileType_);
    device = fileDevice.get();
  }
  device->ResetPageRequest();
  device->PageRequest = kind;
  device->PageNo = pageNo;
  device->PageList.Assign(&pages);
  device->SetPublisher(publisher_.get());
  restore.devices[0] = device;
  if (!toFile) SetPrinterSetup(printerDevice->Printer()->PrinterSetup());
  bool cancelled = false;
  device->OnCancelJob = [&cancelled](TObject*) { cancelled = true; };
  try {
    RunJob(device);
  } catch (const EAbort&) {
    jobOutcome_ = TppJobOutcome::Cancelled;  // the user stopped it (no file name given)
    throw;
  } catch (...) {
    jobOutcome_ = TppJobOutcome::Failed;
    throw;
  }
  jobOutcome_ = cancelled ? TppJobOutcome::Cancelled : TppJobOutcome::Printed;
  if (!cancelled && kind == prPageList) TellMissingPages(pages);
}

// A page list that reaches beyond the report's end names the pages there are.
void TppReport::TellMissingPages(const TStrings& asked) {
  if (!engine_->Completed() || asked.Count() == 0) return;
  const int count = engine_->AbsolutePageCount();
  const int first = std::stoi(asked[0]), last = std::stoi(asked[asked.Count() - 1]);
  if (last <= count) return;
  const std::string exist =
      count == 1 ? "The report has only page 1." : Format("The report has pages 1 to %d.", {count});
  const std::string text = first > count ? "Nothing was printed: the pages asked for do not exist. "
                                         : Format("Pages after %d were not printed. ", {count});
  MessageDlg(text + exist, mtInformation, {mbOK}, 0);
}

void TppReport::RunJob(TppDevice* device) {
  if (showCancelDialog_) {
    cancelDialog_ = CreateRegisteredForm<TppCustomCancelDialog>(
        TppCustomCancelDialog::StaticClass(), nullptr, languageIndex_);
    cancelDialog_->AllowCancel = true;
    cancelDialog_->OnCancel = [this](TObject*) { CancelGeneration(); };
    device->CancelDialog = cancelDialog_;
    // Cancel closes and frees the dialog: nothing may point at it after.
    cancelDialog_->OnDestroyed = [this, device](TObject*) {
      cancelDialog_ = nullptr;
      device->CancelDialog = nullptr;
    };
  }
  if (!cancelDialog_) {
    PrintPages();
  } else if (modalCancelDialog_) {
    TppCustomCancelDialog* dialog = cancelDialog_;
    // The close timer ends the modal pass once the pages are out.
    RunWhileModal(dialog, [this] { PrintPages(); },
                  [dialog] { dialog->CloseTimer()->SetEnabled(true); });
  } else {
    cancelDialog_->Show();
    PrintPages();
  }
}
