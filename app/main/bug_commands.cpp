// Toolbars, menus and find: the toolbars' visibility and its menus, menu
// enabling on opening, the help and small commands, and the find command.

#include "app/main/bug.h"

#include "app/about/about.h"
#include "app/common/beepmessage.h"
#include "app/common/entrypass.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kVisibility = "Toolbar Visibility";
constexpr int kAttachmentTab = 4;
// A stored find position of -100 means the dialog was never closed: it opens with its own defaults.
constexpr int kNoFindPosition = -100;
// The help topic "Topic Search" opens before running the search macro.
constexpr int kSearchContext = 1;

// The toolbar a menu item (named <menu>_<suffix>) stands for, and its stored value.
struct ToolbarItem {
  const char* suffix;
  TToolWindow97* TfrmBug::*bar;
  const char* value;
};
constexpr ToolbarItem kToolbarItems[] = {
    {"Reports", &TfrmBug::tbarMisc, "Reports"},
    {"Edit", &TfrmBug::tbarEdit, "Edit"},
    {"Programs", &TfrmBug::tbarProgram, "Programs"},
    {"Records", &TfrmBug::tbarBug, "Records"},
    {"Filter", &TfrmBug::tbarFilters, "Filter"},
    {"Attachments", &TfrmBug::tbarAttachment, "Attachments"},
    {"MemoOperations", &TfrmBug::tbarRTF_1, "Memo Operations"},
    {"MemoColor", &TfrmBug::tbarRTF_2, "Memo Color && Size"},
    {"MemoFormatting", &TfrmBug::tbarRTF_3, "Memo Formatting"},
};

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0 &&
         s[s.size() - tail.size() - 1] == '_';
}

void EnableAll(std::initializer_list<TMenuItem*> items, bool enabled) {
  for (TMenuItem* item : items) item->SetEnabled(enabled);
}

}  // namespace

TToolWindow97* TfrmBug::ToolbarOfItem(const TMenuItem* item, std::string& valueName) const {
  for (const ToolbarItem& t : kToolbarItems)
    if (EndsWith(item->Name(), t.suffix)) {
      valueName = t.value;
      return this->*t.bar;
    }
  return nullptr;
}

void TfrmBug::LoadToolbarVisibility() {
  auto apply = [this](TToolWindow97* bar, const char* value) {
    bar->SetVisible(Reg->ReadBool(kVisibility, value, true));
  };
  if (tcRTFs->TabIndex() == kAttachmentTab) apply(tbarAttachment, "Attachments");
  else ApplyMemoToolbarVisibility();
  apply(tbarMisc, "Reports");
  apply(tbarEdit, "Edit");
  apply(tbarProgram, "Programs");
  apply(tbarBug, "Records");
  apply(tbarFilters, "Filter");
}

void TfrmBug::ApplyMemoToolbarVisibility() {
  tbarRTF_1->SetVisible(Reg->ReadBool(kVisibility, "Memo Operations", true));
  tbarRTF_2->SetVisible(Reg->ReadBool(kVisibility, "Memo Color && Size", true));
  tbarRTF_3->SetVisible(Reg->ReadBool(kVisibility, "Memo Formatting", true));
}

void TfrmBug::HideMemoToolbars() {
  for (TToolWindow97* bar : {tbarRTF_1, tbarRTF_2, tbarRTF_3}) bar->SetVisible(false);
}

void TfrmBug::ToolbarMenuClick(TMenuItem* item) {
  std::string value;
  TToolWindow97* bar = ToolbarOfItem(item, value);
  if (!bar) return;
  const bool shown = !item->Checked();
  item->SetChecked(shown);
  Reg->WriteBool(kVisibility, value, shown);
  // The memo and attachment bars share the record pane: the stored value
  // applies to the hidden kind at the next tab change.
  const bool attachmentsShown = tcRTFs->TabIndex() == kAttachmentTab;
  if (bar == tbarRTF_1 || bar == tbarRTF_2 || bar == tbarRTF_3) {
    if (!attachmentsShown) bar->SetVisible(shown);
  } else if (bar == tbarAttachment) {
    if (attachmentsShown) bar->SetVisible(shown);
  } else {
    bar->SetVisible(shown);
  }
}

void TfrmBug::ToolbarMenuPopup(TPopupMenu* menu) {
  TMenuItem* root = menu->Items();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* item = root->Items(i);
    std::string value;
    TToolWindow97* bar = ToolbarOfItem(item, value);
    if (!bar) continue;
    const bool stored = bar == tbarAttachment || bar == tbarRTF_1 || bar == tbarRTF_2 || bar == tbarRTF_3;
    item->SetChecked(stored ? Reg->ReadBool(kVisibility, value, true) : bar->Visible());
  }
}

void TfrmBug::mnuMain_FileClick(TObject*) {
  const bool entries = dsetBug->Active() && !dsetBug->IsEmpty();
  EnableAll({mnuMain_File_Export_CurrentProgram, mnuMain_File_Export_AllPrograms,
             mnuMain_File_Export_ThisRecord, mnuMain_File_Print_Single, mnuMain_File_Print_Listing,
             mnuMain_File_Print_Comprehensive},
            entries);
}

void TfrmBug::mnuMain_EditClick(TObject*) {
  const bool entries = dsetBug->Active() && !dsetBug->IsEmpty();
  EnableAll({mnuMain_Edit_Edit_Field, mnuMain_Edit_Delete_Report, mnuMain_Edit_Edit_Entry,
             mnuMain_Edit_Find},
            entries);
  mnuMain_Edit_Cut->SetEnabled(tbCut->Enabled());
  mnuMain_Edit_Copy->SetEnabled(tbCopy->Enabled());
  mnuMain_Edit_Paste->SetEnabled(tbPaste->Enabled());
  mnuMain_Edit_Undo->SetEnabled(tbUndo->Enabled());
}

void TfrmBug::mnuMain_ViewClick(TObject*) {
  const bool entries = dsetBug->Active() && !dsetBug->IsEmpty();
  EnableAll({mnuMain_View_Graphs_Status, mnuMain_View_Graphs_Priority, mnuMain_View_Graphs_Fixed,
             mnuMain_View_Graphs_Verified, mnuMain_View_Graphs_Time, mnuMain_View_Preview_Single,
             mnuMain_View_Preview_Listing, mnuMain_View_Preview_Comprehensive},
            entries);
}

void TfrmBug::tbFindClick(TObject*) {
  // A search passes every entry before the one it finds, each a move of the
  // entry table; the detail pane and toolbar follow only the entry found,
  // once the table's controls show it (while the search runs they show the
  // entry it started from).
  for (bool found = true; found;) {
    {
      TBusyScope busy(Busy);
      found = LocateDialog->Execute();
    }
    // The window opens again on what the user just searched: it reads its
    // settings from the stored ones, so they are stored after every search,
    // not only the last (else Next would search a value of an earlier session).
    StoreFindSettings();
    if (found) dsetBugAfterScroll();
  }
}

void TfrmBug::StoreFindSettings() {
  Reg->WriteInteger(kOptions, "WindowTop_Find", FindTop);
  Reg->WriteInteger(kOptions, "WindowLeft_Find", FindLeft);
  Reg->WriteBool(kOptions, "Find_Case Sensitive", LocateDialog->CaseSensitive);
  Reg->WriteInteger(kOptions, "Find_Type", int(LocateDialog->MatchType));
  Reg->WriteString(kOptions, "FindField", LocateDialog->SearchField);
  Reg->WriteString(kOptions, "FindValue", LocateDialog->FieldValue);
}

void TfrmBug::LocateDialogInitDialog(TwwLocateDlg* dialog) {
  // The window's place when it goes is the one stored after the find.
  dialog->OnHide = [this, dialog](TObject*) {
    FindTop = dialog->Top();
    FindLeft = dialog->Left();
  };
  if (Reg->ReadInteger(kOptions, "WindowTop_Find", kNoFindPosition) == kNoFindPosition) return;
  dialog->SetPosition(poDesigned);
  const std::string fieldName = Reg->ReadString(kOptions, "FindField", "Description");
  TField* field = dsetBug->FindField(fieldName);
  const std::string label = field ? field->DisplayLabel() : fieldName;
  dialog->FieldNameComboBox->SetItemIndex(dialog->FieldNameComboBox->Items()->IndexOf(label));
  dialog->SearchValue->SetText(Reg->ReadString(kOptions, "FindValue", ""));
  switch (Reg->ReadInteger(kOptions, "Find_Type", 1)) {
    case 0: dialog->ExactMatchBtn->SetChecked(true); break;
    case 1: dialog->PartialMatchStartBtn->SetChecked(true); break;
    case 2: dialog->PartialMatchAnyBtn->SetChecked(true); break;
  }
  dialog->CaseSensitiveCheckBox->SetChecked(Reg->ReadBool(kOptions, "Find_Case Sensitive", false));
  dialog->SetTop(Reg->ReadInteger(kOptions, "WindowTop_Find", 0));
  dialog->SetLeft(Reg->ReadInteger(kOptions, "WindowLeft_Find", 0));
}

void TfrmBug::HelpContents() { Application->HelpCommand(HELP_CONTENTS, 0); }

void TfrmBug::HelpTopicSearch() {
  Application->HelpContext(kSearchContext);
  Application->HelpCommand(HELP_COMMAND, "Search()");
}

void TfrmBug::WireCommandHandlers() {
  for (TPopupMenu* menu : {popToolbars, popFilter}) {
    menu->OnPopup = [this, menu](TObject*) { ToolbarMenuPopup(menu); };
    TMenuItem* root = menu->Items();
    for (int i = 0; i < root->Count(); ++i) {
      TMenuItem* item = root->Items(i);
      std::string value;
      if (ToolbarOfItem(item, value)) item->OnClick = [this, item](TObject*) { ToolbarMenuClick(item); };
    }
  }
  // The attachment bar belongs to its own dock: dropped onto the memo dock it goes back.
  Dock_RTF->OnInsertRemoveBar = [this](TObject*, bool, TToolWindow97* bar) {
    if (!bar || bar->Name() != "tbarAttachment" || bar->DockedTo() == Dock_Attachments) return;
    bar->SetDockedTo(Dock_Attachments);
  };

  mnuMain_File->OnClick = [this](TObject* sender) { mnuMain_FileClick(sender); };
  mnuMain_Edit->OnClick = [this](TObject* sender) { mnuMain_EditClick(sender); };
  mnuMain_View->OnClick = [this](TObject* sender) { mnuMain_ViewClick(sender); };
  mnuMain_File_Exit->OnClick = [this](TObject*) { Close(); };
  mnuMain_Help_About->OnClick = [this](TObject*) { TfrmAbout(this).ShowModal(); };
  mnuMain_File_Import->OnClick = [](TObject*) { ShowBeepInfo("Stub:"); };
  mnuMain_Help_Contents->OnClick = [this](TObject*) { HelpContents(); };
  mnuMain_Help_TopicSearch->OnClick = [this](TObject*) { HelpTopicSearch(); };

  LocateDialog->SetDataSource(dsBug);
  LocateDialog->SearchField = "Description";
  LocateDialog->MatchType = mtPartialMatchStart;
  LocateDialog->CaseSensitive = false;
  LocateDialog->FieldSelection = fsVisibleFields;
  LocateDialog->DefaultButton = dbFindNext;
  LocateDialog->Caption = "Find Record";
  LocateDialog->OnInitDialog = [this](TwwLocateDlg* dialog) { LocateDialogInitDialog(dialog); };
  tbFind->OnClick = [this](TObject* sender) { tbFindClick(sender); };
  mnuMain_Edit_Find->OnClick = [this](TObject*) { tbFind->Click(); };
}
