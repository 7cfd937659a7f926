#pragma once
// The progress window of a long counting pass: an animation, a bar that the
// pass moves, the title of the chart being made and a Cancel button that asks
// the pass to stop.

#include "platform/classlib/controls/forms.h"

class TAnimate;
class TButton;
class TLabel;
class TProgressBar;

class TfrmGeneratingChart : public TForm {
  DECLARE_CLASS(TfrmGeneratingChart, TForm)
 public:
  explicit TfrmGeneratingChart(TComponent* AOwner);
  ~TfrmGeneratingChart() override;

  TAnimate* aniGenerating;
  TProgressBar* pbGeneratingReport;
  TButton* btnCancel;
  TLabel* lblRecordCount;
  TLabel* lblReportType;
};

// The progress window while a chart window's passes run; none otherwise.
extern TfrmGeneratingChart* frmGeneratingChart;
