// The view settings the main window keeps: placement, pane sizes, fonts,
// colours and the plain-text mode.

#include "app/common/placement.h"
#include "app/main/bug.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/listview.h"
#include "winctrls/colcombo.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

constexpr const char* kOptions = "Options";
// The placement values of the main window.
constexpr const char* kTop = "WindowTop";
constexpr const char* kLeft = "WindowLeft";
// Panes and windows are never narrower than this, whatever the settings say.
constexpr int kMinPane = 40;
// A window is at least as large as it can be tracked.
constexpr int kMinWidth = 300, kMinHeight = 200;
// Stored font sizes outside this range are not usable; the default stands.
constexpr int kMinFontSize = 4, kMaxFontSize = 96;

// The inactive-tab colours of InactiveTabColor 0, 1 and 2.
constexpr TColor kInactiveTabColors[] = {TColor(0x80000010), TColor(0x8000000F), TColor(0xA0A0A0)};

void LoadFont(TRegIniFile& reg, TFont* font, const std::string& suffix, int defaultSize,
              bool onlyAddStyles) {
  font->SetName(reg.ReadString(kOptions, "FontName_" + suffix, "MS Sans Serif"));
  const int size = reg.ReadInteger(kOptions, "FontSize_" + suffix, defaultSize);
  font->SetSize(size >= kMinFontSize && size <= kMaxFontSize ? size : defaultSize);
  TFontStyles style = onlyAddStyles ? font->Style() : TFontStyles{};
  if (reg.ReadBool(kOptions, "FontBold_" + suffix, false)) style.Include(fsBold);
  if (reg.ReadBool(kOptions, "FontItalic_" + suffix, false)) style.Include(fsItalic);
  font->SetStyle(style);
}

}  // namespace

void TfrmBug::LoadFonts() {
  // The list only gains bold and italic; the grid's follow the values both ways.
  LoadFont(*Reg, dbgridPrograms->Font(), "Tree", 8, true);
  LoadFont(*Reg, dbgBug->Font(), "Grid", 8, false);
}

void TfrmBug::LoadWindowPlacement() {
  RestoreStoredBounds(*this, *Reg, kOptions, {kTop, kLeft, "WindowWidth", "WindowHeight"},
                      {kMinWidth, kMinHeight});
  SetWindowState(Reg->ReadBool(kOptions, "WindowMaximized", false) ? wsMaximized : wsNormal);
}

void TfrmBug::SaveWindowPlacement() {
  const bool maximized = WindowState() == wsMaximized;
  Reg->WriteBool(kOptions, "WindowMaximized", maximized);
  // The normal bounds of a maximised window stay as saved the last time.
  if (maximized) return;
  Reg->WriteInteger(kOptions, kTop, Top());
  Reg->WriteInteger(kOptions, kLeft, Left());
  Reg->WriteInteger(kOptions, "WindowWidth", Width());
  Reg->WriteInteger(kOptions, "WindowHeight", Height());
}

void TfrmBug::FitProgramColumn() {
  if (dbgridPrograms->Selected()->Count() == 0) return;
  const int width = std::max(1, dbgridPrograms->ClientWidth() - 1);
  dbgridPrograms->SetColWidths(dbgridPrograms->ColCount() - 1, width);
}

void TfrmBug::LoadPaneSizes() {
  pnlPrograms->SetWidth(ClampExtent(Reg->ReadInteger(kOptions, "Tree Width", 130), kMinPane,
                                    ClientWidth() - kMinPane));
  FitProgramColumn();
  pnlGrid->SetHeight(ClampExtent(Reg->ReadInteger(kOptions, "Grid Height", 240), kMinPane,
                                 ClientHeight() - kMinPane));
  LoadFilterButtons();
}

void TfrmBug::SavePaneSizes() {
  Reg->WriteInteger(kOptions, "Grid Height", pnlGrid->Height());
  Reg->WriteInteger(kOptions, "Tree Width", pnlPrograms->Width());
  SaveFilterButtons();
  SaveColumnWidths();
}

void TfrmBug::ApplyColorOptions() {
  const int tabs = Reg->ReadInteger(kOptions, "InactiveTabColor", 0);
  if (tabs >= 0 && tabs < int(std::size(kInactiveTabColors))) {
    tcType->SetTabInactiveColor(kInactiveTabColors[tabs]);
    tcRTFs->SetTabInactiveColor(kInactiveTabColors[tabs]);
  }
  const int indicator = Reg->ReadInteger(kOptions, "RowIndColor", 0);
  if (indicator == 0) dbgBug->SetIndicatorColor(icBlack);
  else if (indicator == 1) dbgBug->SetIndicatorColor(icYellow);
}

namespace {

void EnableFormatting(TfrmBug* f, bool enabled) {
  for (TControl* c : std::initializer_list<TControl*>{
           f->ccbTextColor, f->btnRTF_Bold, f->btnRTF_Italic, f->btnRTF_Underline,
           f->btnRTF_LeftAlign, f->btnRTF_CenterAlign, f->btnRTF_RightAlign, f->btnRTF_Bullets,
           f->cmbRTF_FontName, f->tbDecreaseFontSize, f->tbIncreaseFontSize})
    c->SetEnabled(enabled);
}

void SetMemosPlain(TfrmBug* f, bool plain) {
  for (TDBRichEdit* memo : {f->rtfReport, f->rtfResolution, f->rtfSteps, f->rtfWorkAround})
    memo->SetPlainText(plain);
}

}  // namespace

void TfrmBug::SetPlainTextOn() {
  SetMemosPlain(this, true);
  EnableFormatting(this, false);
}

void TfrmBug::SetPlainTextOff() {
  SetMemosPlain(this, false);
  if (dsetBug->Active() && !dsetBug->IsEmpty()) EnableFormatting(this, true);
}

void TfrmBug::ApplyPlainTextMode() {
  if (Reg->ReadBool(kOptions, "PlainText", false)) SetPlainTextOn();
  else SetPlainTextOff();
}

int TfrmBug::AttachmentMode() const {
  switch (lvAttachments->ViewStyle()) {
    case vsSmallIcon: return 1;
    case vsList: return 2;
    default: return 0;
  }
}

void TfrmBug::SetAttachmentMode(int mode) {
  constexpr TViewStyle styles[] = {vsIcon, vsSmallIcon, vsList};
  if (mode < 0 || mode >= int(std::size(styles))) return;
  lvAttachments->SetViewStyle(styles[mode]);
  (mode == 0 ? tbLargeIcons : mode == 1 ? tbSmallIcons : tbList)->SetDown(true);
}
