// The options dialog's page commands: the Fonts page's pending fonts, what
// enables Apply, the lookup grids' add and delete, and the HTML colour picks.

#include <algorithm>

#include "app/common/beepmessage.h"
#include "app/common/lookups.h"
#include "app/main/bug.h"
#include "app/options/options.h"
#include "app/options/optiontables.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"

namespace {

const LookupGridInfo* LookupGridOf(TfrmOptions::LookupGrid number) {
  for (const LookupGridInfo& g : LookupGrids())
    if (g.Number == number) return &g;
  return nullptr;
}

}  // namespace

void TfrmOptions::EnableApply() {
  if (!loading_) btnApply->SetEnabled(true);
}

// ---- Fonts ----------------------------------------------------------------

void TfrmOptions::WireFontControls() {
  rgSelectFont->SetItemIndex(faMemos);
  rgSelectFont->OnClick = [this](TObject*) { SelectFontArea(); };
  cmbFontName->OnChange = [this](TObject*) {
    if (loading_) return;
    Fonts[rgSelectFont->ItemIndex()].Name = cmbFontName->Text();
    FontControlChanged();
  };
  // Only the listed fonts can be chosen: typed characters and the Delete key
  // (which would empty the name) do nothing; the arrow keys still move.
  cmbFontName->OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    if (key == VK_DELETE) key = 0;
  };
  cmbFontName->OnKeyPress = [](TObject*, char32_t& key) { key = 0; };
  txtFontSize->OnChange = [this](TObject*) {
    if (loading_) return;
    // A text that is no number yet (being typed) leaves the pending size.
    int size = 0;
    if (!TryStrToInt(txtFontSize->Text(), size)) return;
    Fonts[rgSelectFont->ItemIndex()].Size = std::clamp(size, kMinFontSize, kMaxFontSize);
    FontControlChanged();
  };
  auto style = [this](TCheckBox* box, bool PendingFont::*flag) {
    box->OnClick = [this, box, flag](TObject*) {
      if (loading_) return;
      Fonts[rgSelectFont->ItemIndex()].*flag = box->Checked();
      FontControlChanged();
    };
  };
  style(chkBold, &PendingFont::Bold);
  style(chkItalic, &PendingFont::Italic);
  btnSetToDefault->OnClick = [this](TObject*) { SetToDefaultClick(); };
}

void TfrmOptions::SelectFontArea() {
  EnableApply();
  const PendingFont& font = Fonts[rgSelectFont->ItemIndex()];
  loading_ = true;
  cmbFontName->SetItemIndex(cmbFontName->Items()->IndexOf(font.Name));
  txtFontSize->SetText(std::to_string(font.Size));
  udFontSize->SetPosition(font.Size);
  chkBold->SetChecked(font.Bold);
  chkItalic->SetChecked(font.Italic);
  loading_ = false;
  UpdateSampleFont();
}

void TfrmOptions::FontControlChanged() {
  EnableApply();
  // The addendum's font is read whenever one is inserted: it has no flag.
  switch (rgSelectFont->ItemIndex()) {
    case faMemos: MemoFontChanged = true; break;
    case faProgramList: ProgramFontChanged = true; break;
    case faGrid: GridFontChanged = true; break;
    default: break;
  }
  UpdateSampleFont();
}

void TfrmOptions::UpdateSampleFont() {
  const PendingFont& pending = Fonts[rgSelectFont->ItemIndex()];
  TFont* font = memSample->Font();
  font->SetName(pending.Name);
  font->SetSize(pending.Size);
  TFontStyles style;
  if (chkBold->Checked()) style.Include(fsBold);
  if (chkItalic->Checked()) style.Include(fsItalic);
  font->SetStyle(style);
}

void TfrmOptions::SetToDefaultClick() {
  const int area = rgSelectFont->ItemIndex();
  const FontAreaInfo& info = FontAreas()[size_t(area)];
  Fonts[area] = {info.Name, info.Size, false, false};
  SelectFontArea();
  FontControlChanged();
}

// ---- Apply -----------------------------------------------------------------

void TfrmOptions::WireApplyEnabling() {
  auto onClick = [this](TControl* c, bool* flag = nullptr) {
    c->OnClick = [this, flag](TObject*) {
      if (loading_) return;
      if (flag) *flag = true;
      EnableApply();
    };
  };
  for (TControl* c : std::initializer_list<TControl*>{
           chkConfirmDeletes, chkPlainText, rgInactiveTabColor, rgRowIndicatorColor,
           chkShowIndicator, rgDateTime, rgColumnMode, chkShowEntryDialog,
           chkCopyDescriptionToReport, chkEnterDate})
    onClick(c);
  for (TCheckBox* box : GridColumnBoxes) onClick(box, &ColumnsChanged);
  for (const ToolbarBox& t : ToolbarBoxes()) onClick(this->*t.Box);
  trackbarCellHeight->OnChange = [this](TObject*) { EnableApply(); };
  txtLocation->OnChange = [this](TObject*) {
    if (loading_) return;
    LocationChanged = true;
    EnableApply();
  };
}

// ---- Drop Downs ------------------------------------------------------------

void TfrmOptions::FitLookupColumns() {
  for (const LookupGridInfo& g : LookupGrids()) {
    TwwDBGrid* grid = this->*g.Grid;
    grid->SetColWidths(0, grid->ClientWidth() - 1);
    // The first column is the one to see, whichever cell the grid stands on.
    grid->SetLeftCol(0);
  }
}

// A grid shows the rows around its table's current record, and the main
// window's lookup combos leave each table on the value chosen last: the
// lists would open scrolled to it, their first rows out of sight. A table
// being edited keeps its record.
void TfrmOptions::ShowLookupListsFromTheTop() {
  for (const LookupGridInfo& g : LookupGrids()) {
    TwwtaTable* table = frmBug->*g.Table;
    if (table->Active() && table->State() == dsBrowse) table->First();
  }
}

// A row still being edited in a lookup list is stored by OK and Apply (an
// untouched new row goes) and given up by Cancel, by the mouse or by Escape
// alike; leaving the list for another keeps it being edited, so that Cancel
// writes nothing. Moving to another row stores it, as in any grid. A refusal
// keeps the row as typed and says why.
bool TfrmOptions::PostLookupEdit(const LookupGridInfo& g) {
  TwwtaTable* table = frmBug->*g.Table;
  if (!table->Active()) return true;
  try {
    table->CheckBrowseMode();
    return true;
  } catch (const EAbort&) {
    // The table's post-error handler has told the user.
    return false;
  } catch (const Exception& e) {
    ShowBeepMessage(e.Message(), kMsgError);
    return false;
  }
}

bool TfrmOptions::PostLookupEdits() {
  for (const LookupGridInfo& g : LookupGrids()) {
    if (PostLookupEdit(g)) continue;
    TwwDBGrid* grid = this->*g.Grid;
    if (grid->CanFocus()) grid->SetFocus();
    return false;
  }
  return true;
}

// Closed without OK: a row still being edited is given up, so that the main
// window's lists never stay in an edit this dialog began.
void TfrmOptions::CancelLookupEdits() {
  for (const LookupGridInfo& g : LookupGrids()) {
    TwwtaTable* table = frmBug->*g.Table;
    if (table->State() == dsEdit || table->State() == dsInsert) table->Cancel();
  }
}

TwwtaTable* TfrmOptions::LastGridTable() const {
  const LookupGridInfo* g = LookupGridOf(LastGrid);
  return g ? frmBug->*g->Table : nullptr;
}

void TfrmOptions::AddEntryClick() {
  const LookupGridInfo* g = LookupGridOf(LastGrid);
  if (!g) {
    ShowBeepMessage("Assert: Options add: agNone.", kMsgError);
    return;
  }
  std::string entry = "New Entry";
  if (!InputQuery("Add Entry", "Entry", entry)) return;
  // A refusal is told and the new row goes; a row being typed in the list stays.
  AppendRowText(frmBug->*g->Table, g->Field, entry);
}

void TfrmOptions::DeleteEntryClick() {
  if (LastGrid == agNone) {
    ShowBeepMessage("Assert: Options Delete: agNone.", kMsgError);
    return;
  }
  if (Reg().ReadBool(kOptionsSection, "ConfirmDeletes", true)) {
    MessageBeep(MB_ICONQUESTION);
    if (MessageDlg("Delete Entry?", mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
  }
  DeleteLookupEntry();
}

void TfrmOptions::DeleteLookupEntry() {
  TwwtaTable* table = LastGridTable();
  try {
    table->Delete();
  } catch (const EAbort&) {
    throw;
  } catch (const Exception& e) {
    // The row stays; the user learns why from the database's own words.
    if (table->State() != dsBrowse) table->Cancel();
    ShowBeepMessage(e.Message(), kMsgError);
  }
}

// ---- HTML colours ----------------------------------------------------------

void TfrmOptions::PickTitleColor() { PickColor(pnlTitle); }
void TfrmOptions::PickDataColor() { PickColor(pnlData); }
void TfrmOptions::PickBackgroundColor() { PickColor(pnlBackground); }

void TfrmOptions::PickColor(TPanel* panel) {
  const std::string path = CustomColorsPath();
  if (FileExists(path)) {
    // Only the slots read as colours are kept: a damaged file adds nothing.
    TColorDialog read(nullptr);
    try {
      read.CustomColors()->LoadFromFile(path);
    } catch (const Exception&) {
      read.CustomColors()->Clear();
    }
    dlgColor->CustomColors()->Clear();
    for (int slot = 0; slot < TColorDialog::CustomColorCount; ++slot)
      if (read.CustomColor(slot) != clNone) dlgColor->SetCustomColor(slot, read.CustomColor(slot));
  }
  dlgColor->SetColor(panel->Color());
  if (!dlgColor->Execute()) return;
  try {
    // Written beside and renamed: a full disk keeps the old file whole.
    WriteFileAtomically(path, dlgColor->CustomColors()->Text());
  } catch (const Exception& e) {
    // The colour is still taken; only the custom colours are not kept.
    ShowBeepMessage(e.Message(), kMsgError);
  }
  panel->SetColor(dlgColor->Color());
}
