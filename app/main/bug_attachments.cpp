// Attachments: files copied into the folder beside the database, listed one
// bare name per line in the entry's Attachment memo; adding by dialog or
// drop, opening, deleting to the trash, and removing the files with their
// entries and programs. A memo line that is not a bare name is listed but no
// file operation ever touches it.

#include "app/common/attachfiles.h"
#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "app/fileproperties/fileproperties.h"
#include "app/main/bug.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/win32/msgbox.h"
#include "winctrls/exttab.h"
#include "winctrls/filedrag.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

// The memo's lines (CR LF or LF ends a line).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
         });
}

std::string Extension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

// Moves the named files of the folder to the trash, last first; names that
// are not bare are left alone. The trash's failures are silent.
void TrashFiles(const std::string& folder, const std::vector<std::string>& names) {
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (IsBareFileName(*it)) MoveFileToRecycleBin(folder + *it);
}

// The lines of `field` in every entry of the dataset, its filter off for the
// walk and given back after.
std::vector<std::string> EveryEntryLines(TDataSet* entries, const char* field) {
  std::vector<std::string> lines;
  const bool filtered = entries->Filtered();
  entries->DisableControls();
  try {
    entries->SetFiltered(false);
    for (entries->First(); !entries->Eof(); entries->Next())
      for (const std::string& line : Lines(entries->FieldByName(field)->AsString())) lines.push_back(line);
  } catch (...) {
    entries->SetFiltered(filtered);
    entries->EnableControls();
    throw;
  }
  entries->SetFiltered(filtered);
  entries->EnableControls();
  return lines;
}

}  // namespace

std::string TfrmBug::AttachmentsPath() const { return AttachmentsFolder(DatabasePath); }

void TfrmBug::WireAttachmentHandlers() {
  silAttachment_Large = NewComponent<TSystemImageList>(this, "silAttachment_Large");
  silAttachment_Small = NewComponent<TSystemImageList>(this, "silAttachment_Small");
  silAttachment_Large->AddDefaultIcon();
  silAttachment_Small->AddDefaultIcon();
  lvAttachments->SetLargeImages(silAttachment_Large);
  lvAttachments->SetSmallImages(silAttachment_Small);
  lvAttachments->SetMultiSelect(true);
  dlgOpen = NewComponent<TOpenDialog>(this, "dlgOpen");
  dlgOpen->SetFilter(
      "All Files (*.*)|*.*|Zip Files (*.zip)|*.zip|Picture Files (*.bmp,*.gif,*.jpg)|*.bmp;*.gif;*.jpg");
  dlgOpen->SetOptions({ofHideReadOnly, ofAllowMultiSelect, ofPathMustExist, ofFileMustExist});

  CreateAttachmentMenu();
  dbmemAttachment->OnChange = [this](TObject*) { RefreshAttachmentList(); };
  lvAttachments->OnSelectItem = [this](TObject*, TListItem*, bool) { UpdateAttachmentButtons(); };
  lvAttachments->OnDblClick = [this](TObject*) { ExecuteAttachment(); };
  tbAttachmentExecute->OnClick = [this](TObject*) { ExecuteAttachment(); };
  tbDeleteAttachment->OnClick = [this](TObject*) { DeleteAttachments(); };
  tbAttachmentProperties->OnClick = [this](TObject*) { ShowAttachmentProperties(); };
  const std::pair<TToolbarButton97*, TViewStyle> views[] = {
      {tbLargeIcons, vsIcon}, {tbSmallIcons, vsSmallIcon}, {tbList, vsList}};
  for (auto [button, style] : views)
    button->OnClick = [this, style = style](TObject*) { lvAttachments->SetViewStyle(style); };
  tbAttach->OnClick = [this](TObject*) {
    dlgOpen->SetInitialDir(Reg->ReadString("Settings", "Attach Dir", ""));
    dlgOpen->SetTitle("Attach File");
    if (!dlgOpen->Execute()) return;
    Reg->WriteString("Settings", "Attach Dir", ExtractFilePath(dlgOpen->FileName()));
    std::vector<std::string> sources;
    for (int i = 0; i < dlgOpen->Files()->Count(); ++i) sources.push_back(dlgOpen->Files()->Strings(i));
    AttachFiles(sources);
  };
  FileDrag->OnDrop = [this](TObject*) {
    tcRTFs->SetTabIndex(4);
    tcRTFsChange(tcRTFs);
    Application->ProcessMessages();
    std::vector<std::string> sources;
    for (int i = 0; i < FileDrag->NameWithPath()->Count(); ++i)
      sources.push_back(FileDrag->NameWithPath()->Strings(i));
    AttachFiles(sources);
  };
}

void TfrmBug::RefreshAttachmentList() {
  if (AttachmentsDeleting) return;
  lvAttachments->Items()->Clear();
  for (const std::string& line : Lines(dbmemAttachment->Text())) {
    TListItem* item = lvAttachments->Items()->Add();
    item->SetCaption(line);
    const std::string ext = Extension(line);
    item->SetImageIndex(silAttachment_Large->IconIndexOfExtension(ext));
    // Keeps both lists' indexes equal.
    silAttachment_Small->IconIndexOfExtension(ext);
  }
  // A new list has nothing selected: the buttons must not act on the old one.
  UpdateAttachmentButtons();
}

std::string TfrmBug::UniqueAttachmentName(const std::string& name) const {
  return ::UniqueAttachmentName(AttachmentsPath(), name);
}

void TfrmBug::AttachFile(const std::string& source) {
  // Other users of a shared database open the copies too.
  const std::string name = CopyInAttachment(AttachmentsPath(), source, DatabasePath);
  TField* field = dsetBug->FieldByName("Attachment");
  field->SetAsString(field->AsString() + name + "\r\n");
  tcRTFs->Repaint();
}

void TfrmBug::AttachFiles(const std::vector<std::string>& sources) {
  dsetBug->Edit();
  const std::vector<std::string> attached = Lines(dsetBug->FieldByName("Attachment")->AsString());
  for (const std::string& source : sources) {
    // Lines hold bare names, so this never fires; it stays as the command had it.
    if (std::find(attached.begin(), attached.end(), source) != attached.end()) {
      ShowBeepInfo("The file " + source + " is already attached.");
      continue;
    }
    AttachFile(source);
  }
  UpdateAttachmentButtons();
  tcRTFs->Repaint();
  if (dsetBug->State() == dsEdit || dsetBug->State() == dsInsert) dsetBug->Post();
}

void TfrmBug::ExecuteAttachment() {
  TListItem* item = lvAttachments->Selected();
  if (!item) return;
  const std::string path = AttachmentsPath() + item->Caption();
  if (!IsBareFileName(item->Caption()) || !FileExists(path)) {
    ShowBeepMessage("File '" + path + "' not found.", kMsgError);
    return;
  }
  try {
    ShellOpenFile(path, "", AttachmentsPath());  // where the attachment is
  } catch (const EInOutError& e) {
    ShowBeepMessage(e.Message(), kMsgError);
  }
}

void TfrmBug::DeleteAttachments() {
  const int selected = lvAttachments->SelCount();
  if (selected == 0) return;
  bool yes = true;
  if (Reg->ReadBool("Options", "ConfirmDeletes", true)) {
    MessageBeep(MB_ICONQUESTION);
    yes = MessageDlg(selected == 1 ? "Delete this attachment?" : "Delete these attachments?",
                     mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
  }
  if (yes) {
    dsetBug->Edit();
    AttachmentsDeleting = true;
    TField* field = dsetBug->FieldByName("Attachment");
    std::vector<std::string> lines = Lines(field->AsString());
    for (int i = lvAttachments->Items()->Count() - 1; i >= 0; --i) {
      TListItem* item = lvAttachments->Items()->Item(i);
      if (!item->Selected()) continue;
      if (IsBareFileName(item->Caption())) MoveFileToRecycleBin(AttachmentsPath() + item->Caption());
      auto line = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return SameText(l, item->Caption()); });
      if (line != lines.end()) lines.erase(line);
    }
    field->SetAsString(Joined(lines));
    AttachmentsDeleting = false;
    RefreshAttachmentList();
  }
  UpdateAttachmentButtons();
  tcRTFs->Repaint();
  if (dsetBug->State() == dsEdit || dsetBug->State() == dsInsert) dsetBug->Post();
}

void TfrmBug::UpdateAttachmentButtons() {
  const int selected = lvAttachments->SelCount();
  tbDeleteAttachment->SetEnabled(selected > 0);
  tbAttachmentProperties->SetEnabled(selected == 1);
  tbAttachmentExecute->SetEnabled(selected == 1);
  const std::string suffix = selected >= 2 ? "s" : "";
  tbDeleteAttachment->SetHint("Delete Attachment" + suffix);
  popAttachment_Delete->SetCaption("&Delete Attachment" + suffix);
}

void TfrmBug::EnableAttachmentButtons() {
  tbarAttachment->SetVisible(Reg->ReadBool("Toolbar Visibility", "Attachments", true));
  UpdateAttachmentButtons();
}

void TfrmBug::DisableAttachmentButtons() { tbarAttachment->SetVisible(false); }

bool TfrmBug::DeleteEntryAttachmentFiles() {
  TrashFiles(AttachmentsPath(), Lines(dsetBug->FieldByName("Attachment")->AsString()));
  return true;
}

// The row goes first: when another user's lock refuses the delete, the
// entry keeps its files.
bool TfrmBug::DeleteCurrentEntry() {
  if (dsetBug->IsEmpty()) return false;
  const std::vector<std::string> names = Lines(dsetBug->FieldByName("Attachment")->AsString());
  dsetBug->Delete();
  TrashFiles(AttachmentsPath(), names);
  return true;
}

// Every entry of the program counts, whatever the quick filter shows. The
// files go only once the entries and the program's row are gone: a delete
// that another user's lock refuses leaves every file in place.
void TfrmBug::DeleteProgramAttachments() {
  ProgramDeleting = true;
  std::vector<std::string> names;
  try {
    names = EveryEntryLines(dsetBug, "Attachment");
    DeleteProgramEntries();
    wwtblProgram->Delete();
  } catch (...) {
    ProgramDeleting = false;
    throw;
  }
  ProgramDeleting = false;
  TrashFiles(AttachmentsPath(), names);
}

void TfrmBug::ShowAttachmentProperties() {
  TListItem* item = lvAttachments->Selected();
  if (!item) return;
  const std::string path = AttachmentsPath() + item->Caption();
  if (!IsBareFileName(item->Caption()) || !FileExists(path)) {
    ShowBeepMessage("The file '" + path + "' could not be found", kMsgError);
    return;
  }
  auto* window = new TfrmFileProperties(this);
  window->ShowFile(path);
  window->ShowModal();
  delete window;
}

void TfrmBug::CreateAttachmentMenu() {
  struct Entry {
    TMenuItem** item;
    const char* name;
    const char* caption;
    TShortCut key;
    TMenuItem* parent;
  };
  TMenuItem* root = popAttachment->Items();
  TMenuItem* view = nullptr;
  TMenuItem* separator = nullptr;
  // The unnamed separator and the View submenu are made in place (their slots above).
  const Entry entries[] = {
      {&popAttachment_Add, "popAttachment_Add", "&Add Attachment...", VK_INSERT, root},
      {&popAttachment_Delete, "popAttachment_Delete", "&Delete Attachment", VK_DELETE, root},
      {&popAttachment_Execute, "popAttachment_Execute", "&Execute Attachment", VK_RETURN, root},
      {&popAttachment_SelectAll, "popAttachment_SelectAll", "&Select All", TShortCut(scCtrl | 'A'), root},
      {&separator, "", "-", scNone, root},
      {&view, "popAttachment_View", "&View", scNone, root},
      {&popAttachment_View_LargeIcons, "popAttachment_View_LargeIcons", "&Large Icons", scNone, nullptr},
      {&popAttachment_View_SmallIcons, "popAttachment_View_SmallIcons", "&Small Icons", scNone, nullptr},
      {&popAttachment_View_List, "popAttachment_View_List", "L&ist", scNone, nullptr},
      {&popAttachment_Seperator_Properties, "popAttachment_Seperator_Properties", "-", scNone, root},
      {&popAttachment_Properties, "popAttachment_Properties", "&Properties",
       TShortCut(scAlt | VK_RETURN), root}};
  for (const Entry& e : entries) {
    auto* item = NewComponent<TMenuItem>(this, e.name);
    item->SetCaption(e.caption);
    item->SetShortCut(e.key);
    (e.parent ? e.parent : view)->Add(item);
    *e.item = item;
  }
  popAttachment_View_LargeIcons->SetChecked(true);
  // The add item gets the toolbar's add command.
  popAttachment_Add->OnClick = [this](TObject*) { tbAttach->Click(); };
  popAttachment_Delete->OnClick = [this](TObject*) { DeleteAttachments(); };
  popAttachment_Execute->OnClick = [this](TObject*) { ExecuteAttachment(); };
  popAttachment_Properties->OnClick = [this](TObject*) { ShowAttachmentProperties(); };
  popAttachment_SelectAll->OnClick = [this](TObject*) {
    for (int i = 0; i < lvAttachments->Items()->Count(); ++i) lvAttachments->Items()->Item(i)->SetSelected(true);
  };
  const std::pair<TMenuItem*, TToolbarButton97*> views[] = {
      {popAttachment_View_LargeIcons, tbLargeIcons},
      {popAttachment_View_SmallIcons, tbSmallIcons},
      {popAttachment_View_List, tbList}};
  for (auto [item, button] : views)
    item->OnClick = [this, button = button](TObject*) {
      for (TToolbarButton97* b : {tbLargeIcons, tbSmallIcons, tbList}) b->SetDown(b == button);
      button->Click();
    };
  popAttachment->OnPopup = [this](TObject* sender) { popAttachmentPopup(sender); };
}

void TfrmBug::popAttachmentPopup(TObject*) {
  popAttachment_View_LargeIcons->SetChecked(tbLargeIcons->Down());
  popAttachment_View_SmallIcons->SetChecked(tbSmallIcons->Down());
  popAttachment_View_List->SetChecked(tbList->Down());
  const int selected = lvAttachments->SelCount();
  popAttachment_Delete->SetVisible(selected > 0);
  for (TMenuItem* item : {popAttachment_Execute, popAttachment_Properties, popAttachment_Seperator_Properties})
    item->SetVisible(selected == 1);
  popAttachment_SelectAll->SetVisible(selected > 1);
}
