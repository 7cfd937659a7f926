// Start-up and shutdown of the main window: the settings object, the search
// for the database file, the bring-up of the tables on first activation, the
// global exception handler and the orderly close.

#include "app/common/beepmessage.h"
#include "app/common/sessionscreen.h"
#include "app/locatedb/locatedb.h"
#include "app/main/bug.h"
#include "app/splash/splash.h"
#include "datactrls/wwtable.h"
#include "dbengine/accbinding.h"
#include "dbengine/ttsession.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "platform/dao/openupkeep.h"
#include "platform/win32/msgbox.h"
#include "winctrls/filedrag.h"
#include "winctrls/tb97.h"

namespace {

// Posted by FormShow: runs the first activation should the window system
// never activate the window (no window manager).
constexpr UINT WM_FIRSTACTIVATION = WM_APP + 1;
// The minimum tracking size of the main window.
constexpr int kMinWidth = 300, kMinHeight = 200;
// The DAO error whose failures refresh the view instead of showing a box.
constexpr const char* kNoCurrentRecord = "3021";

std::string DefaultDatabasePath() {
  return ExtractFilePath(Application->ExeName()) + "DB/Vantrel.MDB";
}

// Characters 15 to 18 of a message carry the DAO error number of an engine text.
bool NamesNoCurrentRecord(const std::string& message) {
  return Utf8Copy(message, 15, 4) == kNoCurrentRecord;
}

// The engine's own text comes first in its message; the DAO level below it
// may still be the missing-record error.
bool IsNoCurrentRecord(const Exception& e) {
  if (NamesNoCurrentRecord(e.Message())) return true;
  const auto* engine = dynamic_cast<const ETDBEngineError*>(&e);
  if (!engine) return false;
  for (int i = 0; i < engine->ErrorCount(); ++i) {
    const TttError* entry = engine->Errors(i);
    if ((entry->NativeError() & 0xFFFF) == 3021 || NamesNoCurrentRecord(entry->Message()))
      return true;
  }
  return false;
}

std::string GlobalHandlerText(const std::string& message) {
  return std::string("Global Handler\r\rAn error has occured while using ") + kProductName +
         "\r\rType: " + message + "\r\r" + "You may need to close down " + kProductName +
         " if this error is serious enough." + "\r\r" +
         "Please report this error to us using the information in the help file on reporting bugs.";
}

}  // namespace

void TfrmBug::SetSplashStatus(const std::string& text) {
  if (!frmSplash) return;
  frmSplash->lblStatus->SetCaption(text);
  frmSplash->Repaint();
}

namespace {

// What the status bar's wide panel says of an open's work, and the splash
// window's status line.
struct TUpkeepTexts {
  std::string line, splash;
};

TUpkeepTexts UpkeepTexts(const DaoOpenProgress& p) {
  const std::int64_t part = p.total > 0 ? std::min<std::int64_t>(p.done * 100 / p.total, 100) : 100;
  const std::string percent = std::to_string(part) + "%";
  switch (p.stage) {
    case DaoOpenProgress::Checking:
      return {"Checking the database's indexes: " + percent, "-Checking Indexes " + percent + "-"};
    case DaoOpenProgress::Rebuilding:
      return {"Rebuilding the database's indexes: " + percent, "-Rebuilding Indexes " + percent + "-"};
    case DaoOpenProgress::Waiting: {
      const std::string waited = std::to_string(p.done / 1000) + " s";
      return {"Waiting while another user rebuilds the database's indexes: " + waited,
              "-Waiting For Another User " + waited + "-"};
    }
    case DaoOpenProgress::Done: break;
  }
  return {};
}

}  // namespace

void TfrmBug::ShowOpenProgress(const DaoOpenProgress& progress) {
  // Events first: they may write a stage of their own into the splash.
  Application->ProcessMessages();
  const TUpkeepTexts texts = UpkeepTexts(progress);
  if (!texts.splash.empty()) SetSplashStatus(texts.splash);
  sbMain->Panels()->Items(1)->SetText(texts.line);  // the wide panel
  sbMain->Repaint();
}

void TfrmBug::HideSplash() {
  if (!frmSplash) return;
  frmSplash->Hide();
  frmSplash->Repaint();
}

void TfrmBug::InitMainForm() {
  Reg = std::make_unique<TRegIniFile>(kSettingsKey);
  // Reopening the key stores what was written so far (see SaveSettingsNow).
  Reg->SetLazyWrite(false);
  SetSplashStatus("-Checking Files-");
  DatabasePath = Reg->ReadString("Settings", "DatabaseLocation", DefaultDatabasePath());
  if (!CheckDatabaseFile() || Terminating) return;
  Reg->WriteString("Settings", "Program Location", Application->ExeName());
  // Before the first table opens: the session's logins and wait cursor are
  // the program's, and the progress of an open's work is the window's.
  InstallSessionScreen(AccessDefaultSession());
  AccessDefaultSession()->OpenUpkeep.Progress = [this](const DaoOpenProgress& p) { ShowOpenProgress(p); };
  Application->OnException = [this](TObject* sender, const Exception& e) {
    GlobalExceptionHandler(sender, e);
  };
  SetSplashStatus("-Initializing-");
  FileDrag->SetEnableDrop(true);
  // The attachments folder is made by the first attachment: a read-only
  // folder still opens, and a file not yet known to be a database gets
  // nothing beside it.
  Application->SetTitle(kProductName);
  FocusArea = 0;
  SetSplashStatus("-Setting Controls-");
  ProgramDeleting = false;
  PasteEnabled = false;
  AttachmentUpdating = false;
  Busy = false;
  LoadFonts();
  ActiveMemo = 0;
  LoadWindowPlacement();
  LoadPaneSizes();
  ApplyColorOptions();
  ApplyPlainTextMode();
  if (!Terminating) LoadToolbarLayout(this, kToolbarKey);
}

bool TfrmBug::CheckDatabaseFile() {
  for (;;) {
    Terminating = false;
    if (FileExists(DatabasePath)) return true;
    HideSplash();
    MessageBeep(MB_ICONEXCLAMATION);
    auto locate = std::make_unique<TfrmLocateDB>(this);
    locate->txtFile->SetText(DatabasePath);
    locate->lblMain->SetCaption(kLocateDBText);
    locate->OpenDialog->SetInitialDir(ExtractFileDir(DatabasePath));
    const TModalResult result = locate->ShowModal();
    const std::string typed = locate->txtFile->Text();
    locate.reset();
    if (result != mrOk) break;
    DatabasePath = typed;
  }
  Abandon("File '" + DatabasePath + "' not found." + "\r\r" + kProductName +
          " requires this file in order to run." + "\r\r" + kProductName + " will now close.");
  return false;
}

void TfrmBug::Abandon(const std::string& message) {
  HideSplash();
  ShowBeepMessage(message, kMsgError);
  Terminating = true;
  // Closing the main window ends the program.
  Close();
}

void TfrmBug::BringUpDatabases() {
  for (TwwtaTable* t : {wwtaSeverity, wwtaStatus, wwtaPriority, wwtaArea, wwtaVersion,
                        wwtaReportedBy, wwtaFixedBy, wwtaFixedInVersion, wwtaResponsibility,
                        wwtaVerifiedBy, dsetBug, wwtblProgram})
    t->Close();
  for (TwwtaTable* t : {wwtaArea, wwtaVersion, wwtaReportedBy, wwtaFixedBy, wwtaFixedInVersion,
                        wwtaResponsibility, wwtblProgram, wwtaVerifiedBy, dsetBug, wwtaStatus,
                        wwtaPriority, wwtaSeverity})
    t->SetDatabaseName(DatabasePath);
  qdsetBug->SetDatabaseName(DatabasePath);
  try {
    for (TwwtaTable* t : {wwtaSeverity, wwtaPriority, wwtaStatus, wwtaArea, wwtaVersion,
                          wwtaReportedBy, wwtaFixedBy, wwtaFixedInVersion, wwtaResponsibility,
                          wwtaVerifiedBy, wwtblProgram, dsetBug})
      t->Open();
    // The query below needs a current program: an empty list gets one first.
    EnsureProgramExists();
    qdsetBug->SQL()->SetText("select Reports.* from Reports, Programs where Reports.ProgramNumber = " +
                             wwtblProgram->FieldByName("ProgramNumber")->AsString() + ";");
    qdsetBug->Open();
    qdsetBug->Last();
    qdsetBug->First();
    Reg->WriteString("Settings", "DatabaseLocation", DatabasePath);
    SaveSettingsNow();
  } catch (const Exception& e) {
    Abandon("An error occured while bringing up the database.\r\rError: " + e.Message() + "\r\r" +
            "Vantrel will now close.");
  }
}

// The settings object keeps its changes until its key closes; reopening the
// key stores them, so other processes (and a crash) see a working location.
void TfrmBug::SaveSettingsNow() { Reg->OpenKey(std::string("\\") + kSettingsKey, true); }

void TfrmBug::PostPendingEntry() {
  if (dsetBug->State() == dsEdit) {
    dsetBug->Post();
  } else if (dsetBug->State() == dsInsert) {
    // A new row the user typed into is kept; one never touched is dropped.
    if (dsetBug->Modified()) dsetBug->Post();
    else dsetBug->Cancel();
  }
}

void TfrmBug::CloseTables() {
  PostPendingEntry();
  // A program name still being typed (or refused until now) is stored too;
  // a refusal keeps the window open with it.
  if (wwtblProgram->Active()) wwtblProgram->CheckBrowseMode();
  for (TwwtaTable* t : {wwtaSeverity, wwtaStatus, wwtaPriority, wwtaArea, wwtaVersion,
                        wwtaReportedBy, wwtaFixedBy, wwtaFixedInVersion, wwtaResponsibility,
                        wwtaVerifiedBy, dsetBug, wwtblProgram})
    t->Close();
}

void TfrmBug::GlobalExceptionHandler(TObject*, const Exception& E) {
  // A failure while the handler refreshes the view is shown once, not handled again.
  static bool refreshing = false;
  if (!refreshing && IsNoCurrentRecord(E)) {
    refreshing = true;
    try {
      tcTypeChange(this);
    } catch (const Exception& again) {
      refreshing = false;
      ShowBeepMessage(GlobalHandlerText(again.Message()), kMsgError);
      return;
    }
    refreshing = false;
    return;
  }
  ShowBeepMessage(GlobalHandlerText(E.Message()), kMsgError);
}

void TfrmBug::FormShow(TObject*) {
  if (Terminating) return;
  FirstActivation = true;
  dsetBug->DisableControls();
  SkipMemoPaneEdit = true;
  LoadToolbarVisibility();
  SetAttachmentMode(Reg->ReadInteger("Settings", "Attachment Mode", 0));
  FillFontNames();
  ReportType = "BugReport";
  tbarAttachment->SetVisible(false);
  ApplyMemoToolbarVisibility();
  ApplyRowHeightAndDates();
  CreateSaveFilter();
  SetSplashStatus("-Setting Grid Controls-");
  BindGridEditors();
  PostMessage(Handle(), WM_FIRSTACTIVATION);
}

void TfrmBug::FormActivate(TObject*) {
  SetSplashStatus("-Activating Form-");
  // A box shown during the bring-up reactivates the window when it closes.
  if (Terminating || !FirstActivation || bringingUp_) return;
  bringingUp_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{bringingUp_};
  SetCaption(kProductName);
  Application->SetTitle(kProductName);
  SetSplashStatus("-Bringing Up Databases-");
  BringUpDatabases();
  if (Terminating) return;
  SetSplashStatus("-Initializing RTF's-");
  ActiveMemo = 0;
  FocusActiveMemo();
  ApplyDocumentFont();
  SetSplashStatus("-Setting Filters-");
  ApplyFilter();
  dsetBug->EnableControls();
  SetSplashStatus("-Setting Columns-");
  LoadColumnVisibility();
  LoadColumnWidths();
  FitProgramColumn();
  LoadColumnOrder();
  LoadColumnWidths();
  wwtblProgram->FindKey({Variant(Reg->ReadInteger("Settings", "LastOpenProgram", 1))});
  HideSplash();
  FirstActivation = false;
}

void TfrmBug::FormClose(TObject*, TCloseAction& Action) {
  // Nothing was opened or read when start-up failed: nothing is written.
  if (!Terminating && wwtblProgram->Active() && !wwtblProgram->IsEmpty())
    Reg->WriteInteger("Settings", "LastOpenProgram",
                      wwtblProgram->FieldByName("ProgramNumber")->AsInteger());
  // The grid forgets its columns once the tables close: their widths are
  // taken while it still shows them.
  if (!Terminating) SaveColumnWidths();
  try {
    CloseTables();
  } catch (const EAbort&) {
    // The post-error handler told the user; the window stays with the record.
    Action = caNone;
    return;
  } catch (const Exception& e) {
    ShowBeepMessage(e.Message(), kMsgError);
    Action = caNone;
    return;
  }
  if (Terminating) return;
  SaveWindowPlacement();
  SavePaneSizes();
  SaveColumnOrder();
  Reg->WriteInteger("Settings", "Attachment Mode", AttachmentMode());
  Reg->WriteString("Settings", "Current Index", dsetBug->IndexName());
  SaveToolbarLayout(this, kToolbarKey);
}

void TfrmBug::FormDestroy(TObject*) { Reg.reset(); }

void TfrmBug::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETMINMAXINFO: {
      TForm::Dispatch(message);
      auto* info = reinterpret_cast<TMinMaxInfo*>(message.LParam);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return;
    }
    case WM_FIRSTACTIVATION:
      if (FirstActivation) FormActivate(this);
      return;
    default:
      TForm::Dispatch(message);
  }
}
