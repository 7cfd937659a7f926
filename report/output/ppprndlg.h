#pragma once
// The print dialog: printer, copies, page range and print to file.

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "report/output/ppforms.h"

class TppPrintDialog : public TppCustomPrintDialog {
  DECLARE_CLASS(TppPrintDialog, TppCustomPrintDialog)
 public:
  explicit TppPrintDialog(TComponent* owner);
  ~TppPrintDialog() override;

  void LanguageChanged() override;

  TLabel *lblPrinter, *lblPrinterDesc, *lblCopies;
  TEdit* edtCopies;
  TUpDown* spnCopies;
  TBevel* bvlPageRange;
  TLabel* lblPageRange;
  TRadioButton *rdbAll, *rdbCurrentPage, *rdbPages;
  TEdit* edtPages;
  TLabel* lblDescription;
  TButton *btnOK, *btnCancel, *btnPrinter;
  TCheckBox* cbxPrintToFile;
  TLabel* lblPrintToFile;
  TButton* btnFile;
  TSaveDialog* SaveDialog1;

 protected:
  void Activate() override;

 private:
  TLabel* AddLabel(TWinControl* parent, int left, int top);
  TButton* AddButton(int left, int top, TNotifyEvent onClick);
  void LayOut();
  void CopiesExit();
  void CopiesStep(TUDBtnType button);
  void OKClick();
  bool AskPdfFileName();
  void PrinterClick();
};

// The copies a text asks for: 1 when it is no number, and never above 999.
int ppCopiesFromText(const std::string& text);
