#include "report/output/pppreview.h"

#include <cctype>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "report/data/pputils.h"
#include "report/output/ppglyphs.h"

namespace {

// The form as designed for a 96-pixels-per-inch screen; larger fonts get
// a window a quarter larger.
constexpr int kDesignWidth = 509, kDesignHeight = 350, kDesignPixelsPerInch = 96;
constexpr double kLargeFontScale = 1.25;
constexpr int kBarHeight = 32, kButtonSize = 24, kBoxWidth = 48, kButtonTop = 4;
// Five digits for a page number or a percentage.
constexpr int kNumberBoxLength = 5;

// The number typed into a box (its literals and blanks left out); `fallback`
// when there is none.
int TypedNumber(const std::string& text, int fallback) {
  std::string digits;
  for (char c : text)
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  return digits.empty() ? fallback : StrToIntDef(digits, fallback);
}

}  // namespace

IMPLEMENT_CLASS(TppPrintPreview, TppCustomPreviewer)

TppPrintPreview::TppPrintPreview(TComponent* owner) : TppCustomPreviewer(owner) {
  SetPosition(poScreenCenter);
  int width = kDesignWidth, height = kDesignHeight;
  if (ppScreenPixelsPerInch() != kDesignPixelsPerInch) {
    width = int(width * kLargeFontScale);
    height = int(height * kLargeFontScale);
  }
  SetBounds(0, 0, width, height);

  pnlPreviewBar = new TPanel(this);
  pnlPreviewBar->SetParent(this);
  pnlPreviewBar->SetAlign(alTop);
  pnlPreviewBar->SetHeight(kBarHeight);
  spbPreviewPrint = AddButton(4, ppgPrint, [this](TObject*) { ppViewer1->Print(); });
  spbPreviewWhole = AddButton(32, ppgWholePage, [this](TObject*) { Zoom(zsWholePage); });
  spbPreviewWidth = AddButton(56, ppgPageWidth, [this](TObject*) { Zoom(zsPageWidth); });
  spbPreview100Percent = AddButton(80, ppg100Percent, [this](TObject*) { Zoom(zs100Percent); });
  for (TSpeedButton* b : {spbPreviewWhole, spbPreviewWidth, spbPreview100Percent}) {
    b->SetGroupIndex(1);
    b->SetAllowAllUp(true);
  }
  spbPreviewWhole->SetDown(true);
  mskPreviewPercentage = AddNumberBox(108, "999\\ %;0; ");
  spbPreviewFirst = AddButton(160, ppgFirstPage, [this](TObject*) { ppViewer1->FirstPage(); });
  spbPreviewPrior = AddButton(184, ppgPriorPage, [this](TObject*) { ppViewer1->PriorPage(); });
  mskPreviewPage = AddNumberBox(212, "99999;0; ");
  spbPreviewNext = AddButton(264, ppgNextPage, [this](TObject*) { ppViewer1->NextPage(); });
  spbPreviewLast = AddButton(288, ppgLastPage, [this](TObject*) { ppViewer1->LastPage(); });
  spbPreviewClose = AddButton(320, [this](TObject*) { CloseClick(); });
  mskPreviewPage->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    if (key == VK_RETURN) PageEntered();
  };
  mskPreviewPercentage->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    if (key == VK_RETURN) PercentageEntered();
  };

  pnlStatusBar = new TStatusBar(this);
  pnlStatusBar->SetParent(this);
  pnlStatusBar->SetAlign(alBottom);
  pnlStatusBar->SetSimplePanel(true);

  ppViewer1 = new TppViewer(this);
  ppViewer1->SetParent(this);
  ppViewer1->SetAlign(alClient);
  ppViewer1->SetBevelOuter(bvLowered);
  ppViewer1->OnPageChange = [this](TObject*) {
    mskPreviewPage->SetText(IntToStr(ppViewer1->AbsolutePageNo()));
    mskPreviewPercentage->SetText(IntToStr(ppViewer1->CalculatedZoom()));
  };
  ppViewer1->OnStatusChange = [this](TObject*) {
    pnlStatusBar->SetSimpleText(ppViewer1->Status());
  };
  ppViewer1->OnPrintStateChange = [this](TObject*) { PrintStateChanged(); };
  LanguageChanged();
}

TppPrintPreview::~TppPrintPreview() = default;

TSpeedButton* TppPrintPreview::AddButton(int left, TNotifyEvent onClick) {
  auto* button = new TSpeedButton(this);
  button->SetParent(pnlPreviewBar);
  button->SetBounds(left, kButtonTop, kButtonSize, kButtonSize);
  button->SetFlat(true);
  button->SetShowHint(true);
  button->OnClick = std::move(onClick);
  return button;
}

TSpeedButton* TppPrintPreview::AddButton(int left, TppPreviewGlyph glyph, TNotifyEvent onClick) {
  TSpeedButton* button = AddButton(left, std::move(onClick));
  button->SetGlyph(ppPreviewGlyph(glyph).get());
  return button;
}

TMaskEdit* TppPrintPreview::AddNumberBox(int left, const char* mask) {
  auto* box = new TMaskEdit(this);
  box->SetParent(pnlPreviewBar);
  box->SetBounds(left, kButtonTop, kBoxWidth, kButtonSize);
  box->SetEditMask(mask);
  box->SetMaxLength(kNumberBoxLength);
  return box;
}

void TppPrintPreview::LanguageChanged() {
  SetCaption(Text(23));
  spbPreviewPrint->SetHint(Text(22));
  spbPreviewWhole->SetHint(Text(30));
  spbPreviewWidth->SetHint(Text(31));
  spbPreview100Percent->SetHint(Text(1));
  spbPreviewFirst->SetHint(Text(13));
  spbPreviewPrior->SetHint(Text(29));
  spbPreviewNext->SetHint(Text(15));
  spbPreviewLast->SetHint(Text(14));
  spbPreviewClose->SetCaption(Text(ppViewer1->Busy() ? 5 : 6));
  ppFitButtonToCaption(spbPreviewClose);
}

void TppPrintPreview::AttachReport() { ppViewer1->SetReport(Report()); }

void TppPrintPreview::Activate() {
  ShowZoomButtons();
  TppCustomPreviewer::Activate();
}

void TppPrintPreview::DoClose(TCloseAction& action) {
  TppCustomPreviewer::DoClose(action);
  action = caFree;
}

void TppPrintPreview::ShowZoomButtons() {
  spbPreviewWhole->SetDown(ppViewer1->ZoomSetting() == zsWholePage);
  spbPreviewWidth->SetDown(ppViewer1->ZoomSetting() == zsPageWidth);
  spbPreview100Percent->SetDown(ppViewer1->ZoomSetting() == zs100Percent);
}

void TppPrintPreview::Zoom(TppZoomSettingType setting) {
  ppViewer1->SetZoomSetting(setting);
  mskPreviewPercentage->SetText(IntToStr(ppViewer1->CalculatedZoom()));
  pnlPreviewBar->Invalidate();
}

void TppPrintPreview::CloseClick() {
  // While the report generates, the button stops it instead.
  if (ppViewer1->Busy()) ppViewer1->Cancel();
  else Close();
}

void TppPrintPreview::PageEntered() {
  ppViewer1->GotoPage(TypedNumber(mskPreviewPage->Text(), ppViewer1->AbsolutePageNo()));
}

void TppPrintPreview::PercentageEntered() {
  ppViewer1->SetZoomPercentage(TypedNumber(mskPreviewPercentage->Text(), 100));
  for (TSpeedButton* b : {spbPreviewWhole, spbPreviewWidth, spbPreview100Percent}) b->SetDown(false);
  mskPreviewPercentage->SetText(IntToStr(ppViewer1->CalculatedZoom()));
}

void TppPrintPreview::PrintStateChanged() {
  const bool busy = ppViewer1->Busy();
  mskPreviewPage->SetEnabled(!busy);
  mskPreviewPercentage->SetEnabled(!busy);
  const TCursor cursor = busy ? crHourGlass : crDefault;
  for (TControl* c : std::initializer_list<TControl*>{pnlPreviewBar, ppViewer1, pnlStatusBar})
    c->SetCursor(cursor);
  spbPreviewClose->SetCursor(busy ? crArrow : crDefault);
  spbPreviewClose->SetCaption(Text(busy ? 5 : 6));
  ppFitButtonToCaption(spbPreviewClose);
}
