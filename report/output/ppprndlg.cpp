#include "report/output/ppprndlg.h"

#include <algorithm>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "report/data/pputils.h"
#include "report/output/ppprintr.h"

namespace {

constexpr int kClientWidth = 363, kClientHeight = 186;
// Three digits of copies: the driver takes no more than 999.
constexpr int kMaxCopies = 999;
constexpr int kCopiesLength = 3;
// The space between the dialog's groups, in thousandths of a mm.
constexpr int32_t kGap = 2381;
constexpr int kButtonWidth = 75, kButtonHeight = 25;

}  // namespace

int ppCopiesFromText(const std::string& text) {
  return std::clamp(StrToIntDef(Trim(text), 1), 1, kMaxCopies);
}

IMPLEMENT_CLASS(TppPrintDialog, TppCustomPrintDialog)

TppPrintDialog::TppPrintDialog(TComponent* owner) : TppCustomPrintDialog(owner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  lblPrinter = AddLabel(this, 8, 8);
  lblPrinterDesc = AddLabel(this, 64, 8);
  lblCopies = AddLabel(this, 8, 36);
  edtCopies = new TEdit(this);
  edtCopies->SetParent(this);
  edtCopies->SetBounds(64, 32, 40, 21);
  edtCopies->SetMaxLength(kCopiesLength);
  edtCopies->SetText("1");
  edtCopies->OnExit = [this](TObject*) { CopiesExit(); };
  spnCopies = new TUpDown(this);
  spnCopies->SetParent(this);
  spnCopies->SetBounds(104, 32, 16, 21);
  spnCopies->OnClick = [this](TObject*, TUDBtnType button) { CopiesStep(button); };

  bvlPageRange = new TBevel(this);
  bvlPageRange->SetParent(this);
  bvlPageRange->SetBounds(8, 62, 264, 100);
  lblPageRange = AddLabel(this, 16, 56);
  const auto addRadio = [this](int top, int width) {
    auto* radio = new TRadioButton(this);
    radio->SetParent(this);
    radio->SetBounds(16, top, width, 17);
    return radio;
  };
  // Nothing stands right of the first two: they reach the frame's inner edge,
  // so their captions show whole. Pages stops short of its edit box.
  rdbAll = addRadio(72, 248);
  rdbCurrentPage = addRadio(90, 248);
  rdbPages = addRadio(108, 72);
  rdbAll->SetChecked(true);
  rdbAll->OnClick = rdbCurrentPage->OnClick = [this](TObject*) { edtPages->SetText(""); };
  edtPages = new TEdit(this);
  edtPages->SetParent(this);
  edtPages->SetBounds(88, 106, 176, 21);
  edtPages->OnClick = edtPages->OnEnter = [this](TObject*) { rdbPages->SetChecked(true); };
  lblDescription = AddLabel(this, 16, 132);
  lblDescription->SetAutoSize(false);
  lblDescription->SetWordWrap(true);
  lblDescription->SetBounds(16, 132, 248, 26);

  btnPrinter = AddButton(280, 4, [this](TObject*) { PrinterClick(); });
  btnOK = AddButton(280, 64, [this](TObject*) { OKClick(); });
  btnOK->SetDefault(true);
  btnCancel = AddButton(280, 94, nullptr);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  cbxPrintToFile = new TCheckBox(this);
  cbxPrintToFile->SetParent(this);
  cbxPrintToFile->SetBounds(280, 128, 16, 17);
  cbxPrintToFile->OnClick = [this](TObject*) { btnFile->SetEnabled(cbxPrintToFile->Checked()); };
  lblPrintToFile = AddLabel(this, 298, 129);
  lblPrintToFile->OnClick = [this](TObject*) {
    cbxPrintToFile->SetChecked(!cbxPrintToFile->Checked());
  };
  btnFile = AddButton(280, 150, [this](TObject*) { SaveDialog1->Execute(); });

  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetDefaultExt("txt");
  SaveDialog1->SetFilter("Text files|*.TXT|All files|*.*");
  SaveDialog1->SetOptions({ofOverwritePrompt, ofPathMustExist, ofHideReadOnly});
  LanguageChanged();
}

TppPrintDialog::~TppPrintDialog() = default;

TLabel* TppPrintDialog::AddLabel(TWinControl* parent, int left, int top) {
  auto* label = new TLabel(this);
  label->SetParent(parent);
  label->SetLeft(left);
  label->SetTop(top);
  return label;
}

TButton* TppPrintDialog::AddButton(int left, int top, TNotifyEvent onClick) {
  auto* button = new TButton(this);
  button->SetParent(this);
  button->SetBounds(left, top, kButtonWidth, kButtonHeight);
  button->OnClick = std::move(onClick);
  return button;
}

void TppPrintDialog::LanguageChanged() {
  SetCaption(Text(22));
  lblPrinter->SetCaption(Text(25));
  btnPrinter->SetCaption(Text(25));
  lblCopies->SetCaption(Text(7));
  lblPageRange->SetCaption(Text(19));
  rdbAll->SetCaption(Text(3));
  rdbCurrentPage->SetCaption(Text(9));
  rdbPages->SetCaption(Text(20));
  lblDescription->SetCaption(Text(11));
  lblPrintToFile->SetCaption(Text(26));
  btnFile->SetCaption(Text(12));
  btnOK->SetCaption(Text(17));
  btnCancel->SetCaption(Text(5));
  LayOut();
}

// The groups keep one gap apart whatever length the texts have.
void TppPrintDialog::LayOut() {
  const int gap = ppMMToPixels(kGap, ppScreenPixelsPerInch());
  const TRect frame = bvlPageRange->BoundsRect();
  const int frameBottom = lblDescription->Top() + lblDescription->Height() + gap;
  bvlPageRange->SetHeight(frameBottom - frame.Top);
  btnFile->SetTop(lblPrintToFile->Top() + lblPrintToFile->Height() + gap);
  SetClientHeight(frameBottom + gap);
}

void TppPrintDialog::Activate() {
  if (Printer) {
    edtCopies->SetText(IntToStr(Printer->PrinterSetup()->Copies()));
    lblPrinterDesc->SetCaption(Printer->PrinterName());
  }
  for (TControl* c : std::initializer_list<TControl*>{cbxPrintToFile, lblPrintToFile, btnFile}) {
    c->SetVisible(AllowPrintToFile);
    c->SetEnabled(AllowPrintToFile);
  }
  cbxPrintToFile->SetChecked(PrintToFile && !TextFileName.empty());
  btnFile->SetEnabled(AllowPrintToFile && cbxPrintToFile->Checked());
  if (!TextFileName.empty()) {
    SaveDialog1->SetFileName(TextFileName);
    SaveDialog1->SetInitialDir(ppExtractPath(TextFileName));
  }
  TppCustomPrintDialog::Activate();
}

void TppPrintDialog::CopiesExit() { edtCopies->SetText(IntToStr(ppCopiesFromText(edtCopies->Text()))); }

void TppPrintDialog::CopiesStep(TUDBtnType button) {
  const int copies = ppCopiesFromText(edtCopies->Text());
  if (button == btNext && copies < kMaxCopies) edtCopies->SetText(IntToStr(copies + 1));
  if (button == btPrev && copies > 1) edtCopies->SetText(IntToStr(copies - 1));
}

void TppPrintDialog::OKClick() {
  PageRequest = 0;
  if (rdbPages->Checked()) {
    ppTextToPageList(edtPages->Text(), &PageList);
    if (PageList.Count() == 0) {
      MessageDlg(Text(378), mtWarning, {mbOK}, 0);
      return;
    }
    PageRequest = 1;
  }
  const bool toFile = cbxPrintToFile->Checked();
  if (toFile && SaveDialog1->FileName().empty()) {
    MessageDlg(Text(379), mtWarning, {mbOK}, 0);
    return;
  }
  if (!toFile && !AskPdfFileName()) return;
  if (rdbCurrentPage->Checked()) PageRequest = 2;
  if (Printer) Printer->PrinterSetup()->SetCopies(ppCopiesFromText(edtCopies->Text()));
  PrintToFile = toFile;
  TextFileName = SaveDialog1->FileName();
  SetModalResult(mrOk);
}

// A printer that writes files asks for its file once the choices are made;
// cancelling that keeps the dialog open.
bool TppPrintDialog::AskPdfFileName() {
  if (!Printer || !Printer->NeedsFileName()) return true;
  TSaveDialog pdf(nullptr);
  pdf.SetDefaultExt("pdf");
  pdf.SetFilter("PDF files|*.PDF|All files|*.*");
  pdf.SetOptions({ofOverwritePrompt, ofPathMustExist, ofHideReadOnly});
  pdf.SetFileName(Printer->FileName);
  if (!pdf.Execute()) return false;
  Printer->FileName = pdf.FileName();
  return true;
}

void TppPrintDialog::PrinterClick() {
  if (!Printer) return;
  if (!TppPrinterSetupDialog(Printer).Execute()) return;
  lblPrinterDesc->SetCaption(Printer->PrinterName());
  PrinterChanged = true;
}
