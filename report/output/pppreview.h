#pragma once
// The print preview window: a tool bar (print, zoom, page moves, close), the
// viewer and a status bar.

#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/maskedit.h"
#include "platform/classlib/stdctrls/speedbutton.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "report/output/ppforms.h"
#include "report/output/ppglyphs.h"
#include "report/output/ppviewr.h"

class TppPrintPreview : public TppCustomPreviewer {
  DECLARE_CLASS(TppPrintPreview, TppCustomPreviewer)
 public:
  explicit TppPrintPreview(TComponent* owner);
  ~TppPrintPreview() override;

  void LanguageChanged() override;
  void AttachReport() override;
  TppViewer* GetViewer() override { return ppViewer1; }

  TPanel* pnlPreviewBar;
  TSpeedButton *spbPreviewPrint, *spbPreviewWhole, *spbPreviewWidth, *spbPreview100Percent;
  TMaskEdit* mskPreviewPercentage;
  TSpeedButton *spbPreviewFirst, *spbPreviewPrior;
  TMaskEdit* mskPreviewPage;
  TSpeedButton *spbPreviewNext, *spbPreviewLast, *spbPreviewClose;
  TppViewer* ppViewer1;
  TStatusBar* pnlStatusBar;

 protected:
  void Activate() override;
  void DoClose(TCloseAction& action) override;

 private:
  TSpeedButton* AddButton(int left, TNotifyEvent onClick);
  // A picture button; the picture alone says what it does, the hint names it.
  TSpeedButton* AddButton(int left, TppPreviewGlyph glyph, TNotifyEvent onClick);
  TMaskEdit* AddNumberBox(int left, const char* mask);
  void Zoom(TppZoomSettingType setting);
  void ShowZoomButtons();
  void CloseClick();
  void PageEntered();
  void PercentageEntered();
  void PrintStateChanged();
};
