#include "app/chart/generatingchart.h"

#include "app/common/components.h"
#include "app/main/bug.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "platform/classlib/stdctrls/stdctrls.h"

IMPLEMENT_CLASS(TfrmGeneratingChart, TForm)

TfrmGeneratingChart* frmGeneratingChart = nullptr;

namespace {

constexpr int kWidth = 320, kHeight = 150, kMargin = 10;
constexpr int kAnimationSize = 40, kBarHeight = 16, kButtonWidth = 75, kButtonHeight = 25;

}  // namespace

TfrmGeneratingChart::TfrmGeneratingChart(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmGeneratingChart");
  SetCaption("Generating Report...");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  aniGenerating = NewControl<TAnimate>(this, this, "aniGenerating");
  aniGenerating->SetCommonAVI(aviFindFile);
  aniGenerating->SetBounds(kMargin, kMargin, kAnimationSize, kAnimationSize);
  const int textLeft = 2 * kMargin + kAnimationSize;
  lblReportType = NewControl<TLabel>(this, this, "lblReportType");
  lblReportType->SetCaption("Priority Report");
  lblReportType->SetBounds(textLeft, kMargin, kWidth - textLeft - kMargin, kBarHeight);
  lblRecordCount = NewControl<TLabel>(this, this, "lblRecordCount");
  lblRecordCount->SetCaption("");
  lblRecordCount->SetBounds(textLeft, kMargin + kAnimationSize / 2, kWidth - textLeft - kMargin,
                            kBarHeight);
  const int barTop = 2 * kMargin + kAnimationSize;
  pbGeneratingReport = NewControl<TProgressBar>(this, this, "pbGeneratingReport");
  pbGeneratingReport->SetBounds(kMargin, barTop, kWidth - 2 * kMargin, kBarHeight);
  btnCancel = NewControl<TButton>(this, this, "btnCancel");
  btnCancel->SetCaption("Cancel");
  btnCancel->SetCancel(true);
  btnCancel->SetBounds((kWidth - kButtonWidth) / 2, barTop + kBarHeight + kMargin, kButtonWidth,
                       kButtonHeight);
  btnCancel->OnClick = [](TObject*) {
    if (frmBug) frmBug->CancelRequested = true;
  };
}

TfrmGeneratingChart::~TfrmGeneratingChart() {
  if (frmGeneratingChart == this) frmGeneratingChart = nullptr;
}
