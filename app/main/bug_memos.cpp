// Rich-text memo panes: the active memo, formatting, separator lines, addenda and clipboard routing.

#include "app/main/bug.h"

#include <cstdlib>

#include "app/common/components.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/listview.h"
#include "winctrls/colcombo.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

constexpr const char* kOptions = "Options";
// The memo tabs' order differs from the ActiveMemo numbering (the field order).
constexpr int kTabMemo[] = {0, 2, 3, 1, 4};
constexpr int kAttachmentTab = 4;
// The font-name list keeps the first characters of a face name only, as the
// font enumeration's face buffer does.
constexpr std::size_t kFaceNameLength = 32;
// The addendum's default look: grey, so a dated note stands out from the report.
constexpr TColor kAddendumColor = TColor(0x808080);
constexpr int kAddendumSize = 10;
// The separator a fresh installation writes.
const std::string kDefaultSeparator(25, '_');
// Grid focus, as the focus bookkeeping numbers it.
constexpr int kFocusGrid = 1;

bool ClipboardHasText() { return Clipboard()->HasFormat(CF_TEXT); }

// The caret is not at the start of its line: an insertion starts a new one.
std::string LineBreakBefore(TDBRichEdit* memo) { return memo->CaretPos().x != 0 ? "\r\n" : ""; }

void MoveCaretToEnd(TDBRichEdit* memo) {
  memo->SetSelStart(memo->GetTextLen());
  memo->SetSelLength(0);
}

// Brightness of a colour as the eye weighs red, green and blue (0 to 255000).
int Brightness(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return 299 * GetRValue(rgb) + 587 * GetGValue(rgb) + 114 * GetBValue(rgb);
}

// A disabled tab strip greys its captions, yet each must read on its own
// tab's face: the inactive caption's grey on a light face (the selected tab's
// button face), white on a dark one (the other tabs may have the button
// shadow's grey, or a grey between).
void GreyCaptionWhenDisabled(TExtTabControl* tabs, bool active) {
  if (tabs->Enabled()) return;
  const int face = Brightness(active ? tabs->TabActiveColor() : tabs->TabInactiveColor());
  const auto contrast = [face](TColor c) { return std::abs(Brightness(c) - face); };
  tabs->Canvas()->Font()->SetColor(contrast(clInactiveCaption) >= contrast(clBtnHighlight)
                                       ? clInactiveCaption
                                       : clBtnHighlight);
}

// A memo tab whose field holds text is drawn bold (when the option asks for
// it); a disabled tab control greys its texts.
void DrawMemoTab(TfrmBug* f, int index, bool active, const TRect& rect, TOwnerDrawState state) {
  TCanvas* canvas = f->tcRTFs->Canvas();
  if (f->Reg && f->Reg->ReadBool(kOptions, "ShowMemoFieldStatus", true) && f->TabHasContent(index)) {
    TFontStyles style = canvas->Font()->Style();
    style.Include(fsBold);
    canvas->Font()->SetStyle(style);
  }
  GreyCaptionWhenDisabled(f->tcRTFs, active);
  f->tcRTFs->DrawTab(index, rect, state);
}

}  // namespace

TDBRichEdit* TfrmBug::MemoOf(int activeMemo) const {
  switch (activeMemo) {
    case 0: return rtfReport;
    case 1: return rtfResolution;
    case 2: return rtfSteps;
    case 3: return rtfWorkAround;
    default: return nullptr;
  }
}

bool TfrmBug::MemoHasFocus() const {
  for (int i = 0; i < 4; ++i)
    if (MemoOf(i)->Focused()) return true;
  return false;
}

void TfrmBug::EnableCutCopy(bool enabled) {
  tbCut->SetEnabled(enabled);
  tbCopy->SetEnabled(enabled);
  // The clipboard may have changed since paste was last looked at.
  if (enabled) RefreshPasteState();
}

void TfrmBug::RefreshPasteState() {
  PasteEnabled = false;
  const bool text = ClipboardHasText();
  tbPaste->SetEnabled(text);
  popRTF_Edit_Paste->SetEnabled(text);
  mnuMain_Edit_Paste->SetEnabled(text);
}

void TfrmBug::RefreshUndo(TDBRichEdit* memo) {
  const bool can = memo && memo->CanUndo();
  tbUndo->SetEnabled(can);
  mnuMain_Edit_Undo->SetEnabled(can);
}

void TfrmBug::SetFontSizeHints(int size) {
  tbDecreaseFontSize->SetHint("Decrease font size to " + std::to_string(size - 1));
  tbIncreaseFontSize->SetHint("Increase font size to " + std::to_string(size + 1));
}

void TfrmBug::RefreshFromMemo(TDBRichEdit* memo, int activeMemo) {
  if (ActiveMemo != activeMemo || !dsetBug->Active()) return;
  if (memo->Focused()) EnableCutCopy(memo->SelLength() > 0);
  UpdatingControls = true;
  TTextAttributes* attributes = memo->SelAttributes();
  const TFontStyles style = attributes->Style();
  btnRTF_Bold->SetDown(style.Contains(fsBold));
  btnRTF_Italic->SetDown(style.Contains(fsItalic));
  btnRTF_Underline->SetDown(style.Contains(fsUnderline));
  // Only a change that is needed: setting it would count as an edit of the memo.
  if (memo->GetTextLen() == 0 && memo->Paragraph()->Numbering() != nsNone)
    memo->Paragraph()->SetNumbering(nsNone);
  btnRTF_Bullets->SetDown(memo->Paragraph()->Numbering() == nsBullet);
  cmbRTF_FontName->SetItemIndex(cmbRTF_FontName->Items()->IndexOf(attributes->Name()));
  ccbTextColor->SetSelectedColor(attributes->Color());
  SetFontSizeHints(attributes->Size());
  switch (memo->Paragraph()->Alignment()) {
    case taLeftJustify: btnRTF_LeftAlign->SetDown(true); break;
    case taRightJustify: btnRTF_RightAlign->SetDown(true); break;
    case taCenter: btnRTF_CenterAlign->SetDown(true); break;
  }
  UpdatingControls = false;
}

void TfrmBug::MemoChange(TDBRichEdit* memo, int activeMemo) {
  if (ActiveMemo != activeMemo || !dsetBug->Active()) return;
  ccbTextColor->SetSelectedColor(memo->SelAttributes()->Color());
  RefreshUndo(memo);
  SetFontSizeHints(memo->SelAttributes()->Size());
}

void TfrmBug::MemoEnter(TDBRichEdit* memo) {
  EnterMemoPane();
  RefreshUndo(memo);
  EnableCutCopy(memo->SelLength() > 0);
  RefreshPasteState();
}

void TfrmBug::MemoClick(TDBRichEdit* memo) {
  if (memo == rtfReport) dsBug->Edit();
  PasteEnabled = true;
  if (ClipboardHasText()) {
    tbPaste->SetEnabled(true);
    popRTF_Edit_Paste->SetEnabled(true);
    mnuMain_Edit_Paste->SetEnabled(true);
  }
}

void TfrmBug::ChangeMemoFormat(const std::function<void(TDBRichEdit*)>& change, bool guarded) {
  if (guarded && UpdatingControls) return;
  TDBRichEdit* memo = MemoOf(ActiveMemo);
  if (!memo) return;
  // Without edit state the memo's change is thrown away at the next scroll.
  dsBug->Edit();
  change(memo);
}

void TfrmBug::WireMemoHandlers() {
  for (int i = 0; i < 4; ++i) {
    TDBRichEdit* memo = MemoOf(i);
    memo->OnSelectionChange = [this, memo, i](TObject*) { RefreshFromMemo(memo, i); };
    memo->OnChange = [this, memo, i](TObject*) { MemoChange(memo, i); };
    memo->OnEnter = [this, memo](TObject*) { MemoEnter(memo); };
    memo->OnExit = [this](TObject*) { RefreshUndo(nullptr); };
    memo->OnClick = [this, memo](TObject*) { MemoClick(memo); };
  }
  rtfReport->OnKeyDown = [this](TObject*, WORD& key, TShiftState shift) {
    if (shift != TShiftState{ssCtrl} || (key != 'B' && key != 'U')) return;
    TToolbarButton97* button = key == 'B' ? btnRTF_Bold : btnRTF_Underline;
    button->SetDown(!button->Down());
    button->OnClick(button);
    key = 0;
  };
  auto style = [this](TToolbarButton97* button, TFontStyle s) {
    button->OnClick = [this, button, s](TObject*) {
      ChangeMemoFormat([button, s](TDBRichEdit* memo) {
        TFontStyles styles = memo->SelAttributes()->Style();
        if (button->Down()) styles.Include(s);
        else styles.Exclude(s);
        memo->SelAttributes()->SetStyle(styles);
      });
    };
  };
  style(btnRTF_Bold, fsBold);
  style(btnRTF_Italic, fsItalic);
  style(btnRTF_Underline, fsUnderline);
  for (TToolbarButton97* button : {btnRTF_LeftAlign, btnRTF_RightAlign, btnRTF_CenterAlign}) {
    button->OnClick = [this, button](TObject*) {
      static constexpr TAlignment kByTag[] = {taLeftJustify, taRightJustify, taCenter};
      ChangeMemoFormat([button](TDBRichEdit* memo) {
        memo->Paragraph()->SetAlignment(kByTag[button->Tag()]);
      });
    };
  }
  btnRTF_Bullets->OnClick = [this](TObject*) {
    ChangeMemoFormat([this](TDBRichEdit* memo) {
      memo->Paragraph()->SetNumbering(btnRTF_Bullets->Down() ? nsBullet : nsNone);
    });
  };
  cmbRTF_FontName->OnChange = [this](TObject*) {
    if (cmbRTF_FontName->ItemIndex() < 0) return;
    ChangeMemoFormat([this](TDBRichEdit* memo) {
      memo->SelAttributes()->SetName(cmbRTF_FontName->Items()->Strings(cmbRTF_FontName->ItemIndex()));
    });
  };
  ccbTextColor->OnChange = [this](TObject*) {
    ChangeMemoFormat([this](TDBRichEdit* memo) {
      memo->SelAttributes()->SetColor(ccbTextColor->SelectedColor());
      memo->SetFocus();
    }, false);
  };
  tbDecreaseFontSize->OnClick = [this](TObject*) {
    ChangeMemoFormat([](TDBRichEdit* memo) {
      const int size = memo->SelAttributes()->Size() - 1;
      if (size > 0) memo->SelAttributes()->SetSize(size);
    }, false);
  };
  tbIncreaseFontSize->OnClick = [this](TObject*) {
    ChangeMemoFormat([](TDBRichEdit* memo) {
      memo->SelAttributes()->SetSize(memo->SelAttributes()->Size() + 1);
    }, false);
  };
  mnuMain_Edit_FontName->OnClick = [this](TObject*) { cmbRTF_FontName->SetFocus(); };
  mnuMain_Edit_FontSize->OnClick = [this](TObject*) { tbIncreaseFontSize->Click(); };

  tbReportLine->OnClick = [this](TObject*) { InsertSeparatorLine(); };
  btnInsertAddendum->OnClick = [this](TObject*) { InsertAddendum(); };
  popRTF_InsertLine->OnClick = [this](TObject*) {
    FocusActiveMemo();
    InsertSeparatorLine();
  };
  popRTF_InsertAddendum->OnClick = [this](TObject*) {
    FocusActiveMemo();
    InsertAddendum();
  };
  btnRTFPrint->OnClick = [this](TObject*) { PrintActiveMemo(); };

  for (TMenuItem* item : {mnuMain_Edit_Cut, popGrid_Cut, popRTF_Edit_Cut})
    item->OnClick = [this](TObject*) { CutCommand(); };
  for (TMenuItem* item : {mnuMain_Edit_Copy, popGrid_Copy, popRTF_Edit_Copy})
    item->OnClick = [this](TObject*) { CopyCommand(); };
  for (TMenuItem* item : {mnuMain_Edit_Paste, popGrid_Paste, popRTF_Edit_Paste})
    item->OnClick = [this](TObject*) { PasteCommand(); };
  for (TMenuItem* item : {mnuMain_Edit_Undo, mnuMain_Edit_UndoAlt, popRTF_Edit_Undo})
    item->OnClick = [this](TObject*) { UndoCommand(); };
  tbCut->OnClick = [this](TObject*) { CutCommand(); };
  tbCopy->OnClick = [this](TObject*) { CopyCommand(); };
  tbPaste->OnClick = [this](TObject*) { PasteCommand(); };
  tbUndo->OnClick = [this](TObject*) { UndoCommand(); };
  popRTF->OnPopup = [this](TObject*) {
    popRTF_Edit_Cut->SetEnabled(tbCut->Enabled());
    popRTF_Edit_Copy->SetEnabled(tbCopy->Enabled());
    popRTF_Edit_Paste->SetEnabled(tbPaste->Enabled());
    popRTF_Edit_Undo->SetEnabled(tbUndo->Enabled());
  };

  tcRTFs->OnChange = [this](TObject* sender) { tcRTFsChange(sender); };
  tcRTFs->OnDrawTab = [this](TWinControl*, int index, bool active, const TRect& rect, const TRect&,
                             TOwnerDrawState state) { DrawMemoTab(this, index, active, rect, state); };
  tcType->OnDrawTab = [this](TWinControl*, int index, bool active, const TRect& rect, const TRect&,
                             TOwnerDrawState state) {
    GreyCaptionWhenDisabled(tcType, active);
    tcType->DrawTab(index, rect, state);
  };
}

void TfrmBug::FillFontNames() {
  TStrings* items = cmbRTF_FontName->Items();
  items->Clear();
  for (int i = 0; i < Screen->Fonts()->Count(); ++i)
    items->Add(Screen->Fonts()->Strings(i).substr(0, kFaceNameLength));
  TStringList sorted;
  sorted.Assign(items);
  sorted.Sort();
  items->Assign(&sorted);
}

void TfrmBug::ApplyDocumentFont() {
  if (rtfReport->GetTextLen() == 0) {
    const std::string name = Reg->ReadString(kOptions, "FontName_Document", "Arial");
    const bool bold = Reg->ReadBool(kOptions, "FontBold_Document", false);
    const bool italic = Reg->ReadBool(kOptions, "FontItalic_Document", false);
    for (int i = 0; i < 4; ++i) {
      TTextAttributes* attributes = MemoOf(i)->DefAttributes();
      attributes->SetName(name);
      TFontStyles style = attributes->Style();
      if (bold) style.Include(fsBold);
      else style.Exclude(fsBold);
      if (italic) style.Include(fsItalic);
      else style.Exclude(fsItalic);
      attributes->SetStyle(style);
    }
  }
  if (TDBRichEdit* memo = MemoOf(ActiveMemo)) RefreshFromMemo(memo, ActiveMemo);
}

void TfrmBug::FocusActiveMemo() {
  TDBRichEdit* memo = MemoOf(ActiveMemo);
  if (memo && memo->CanFocus()) memo->SetFocus();
}

void TfrmBug::InsertSeparatorLine() {
  TDBRichEdit* memo = MemoOf(ActiveMemo);
  if (!memo) return;
  const std::string line = Reg->ReadString(kOptions, "SeperatorLine", kDefaultSeparator);
  if (memo->CanFocus()) memo->SetFocus();
  // The report takes the line where the caret is; the others collect at their end.
  if (memo != rtfReport) MoveCaretToEnd(memo);
  dsBug->Edit();
  memo->SelAttributes()->SetColor(clBlack);
  memo->SetSelText(LineBreakBefore(memo) + line + "\r\n");
}

void TfrmBug::InsertAddendum() {
  TDBRichEdit* memo = MemoOf(ActiveMemo);
  if (!memo) return;
  dsBug->Edit();
  MoveCaretToEnd(memo);
  if (memo == rtfReport) {
    TTextAttributes* a = memo->SelAttributes();
    a->SetName(Reg->ReadString(kOptions, "FontName_Addendum", "Arial"));
    a->SetSize(Reg->ReadInteger(kOptions, "FontSize_Addendum", kAddendumSize));
    TFontStyles style = a->Style();
    if (Reg->ReadBool(kOptions, "FontBold_Addendum", false)) style.Include(fsBold);
    if (Reg->ReadBool(kOptions, "FontItalic_Addendum", false)) style.Include(fsItalic);
    a->SetStyle(style);
    a->SetColor(TColor(Reg->ReadInteger(kOptions, "AddendumFieldColor", kAddendumColor)));
  }
  memo->SetSelText(LineBreakBefore(memo) + DateToStr(Date()) + ": ");
  if (memo->CanFocus()) memo->SetFocus();
}

void TfrmBug::PrintActiveMemo() {
  static const char* const kTitles[] = {"Report", "Resolution", "Steps To Recreate", "Workaround"};
  TDBRichEdit* memo = MemoOf(ActiveMemo);
  if (memo && PrintDialog->Execute()) memo->Print(kTitles[ActiveMemo]);
}

void TfrmBug::CutCommand() {
  if (FocusArea == kFocusGrid) {
    if (TField* field = dbgBug->GetSelectedField()) {
      Clipboard()->SetAsText(field->AsString());
      dsBug->Edit();
      field->Clear();
    }
  }
  if (MemoHasFocus()) MemoOf(ActiveMemo)->CutToClipboard();
}

void TfrmBug::CopyCommand() {
  if (FocusArea == kFocusGrid) {
    if (TField* field = dbgBug->GetSelectedField()) Clipboard()->SetAsText(field->AsString());
  }
  if (MemoHasFocus()) MemoOf(ActiveMemo)->CopyToClipboard();
  tbPaste->SetEnabled(true);
  PasteEnabled = false;
}

void TfrmBug::PasteCommand() {
  if (FocusArea == kFocusGrid && ClipboardHasText()) {
    if (TField* field = dbgBug->GetSelectedField()) {
      dsBug->Edit();
      field->SetAsString(Clipboard()->AsText());
    }
  }
  if (MemoHasFocus()) MemoOf(ActiveMemo)->PasteFromClipboard();
}

void TfrmBug::UndoCommand() {
  if (MemoHasFocus()) MemoOf(ActiveMemo)->Undo();
}

void TfrmBug::tcRTFsChange(TObject*) {
  const int tab = tcRTFs->TabIndex();
  if (tab < 0 || tab > kAttachmentTab) return;
  ActiveMemo = kTabMemo[tab];
  for (int i = 0; i < 4; ++i) MemoOf(i)->SetVisible(i == ActiveMemo);
  lvAttachments->SetVisible(tab == kAttachmentTab);
  const bool attachments = tab == kAttachmentTab;
  for (TToolbarButton97* b : {tbLargeIcons, tbSmallIcons, tbList, tbAttach, tbDeleteAttachment,
                              tbAttachmentProperties, tbAttachmentExecute})
    b->SetEnabled(attachments);
  if (attachments) {
    UpdateAttachmentButtons();  // those acting on a selection follow it
    HideMemoToolbars();
    tbarAttachment->SetVisible(Reg->ReadBool("Toolbar Visibility", "Attachments", true));
    if (lvAttachments->CanFocus()) lvAttachments->SetFocus();
    return;
  }
  tbarAttachment->SetVisible(false);
  ApplyMemoToolbarVisibility();
  FocusActiveMemo();
  RefreshFromMemo(MemoOf(ActiveMemo), ActiveMemo);
}


bool TfrmBug::TabHasContent(int index) const {
  if (index == kAttachmentTab) return lvAttachments->Items()->Count() > 0;
  if (index < 0 || index > kAttachmentTab || !dsetBug->Active()) return false;
  static const char* const kFields[] = {"Report", "Steps", "Workaround", "Resolution"};
  TField* field = dsetBug->FindField(kFields[index]);
  return field && !field->AsString().empty();
}
