#pragma once
// The main window started as the program starts it, for the benchmarks that
// work through it.

#include <memory>
#include <string>

#include "app/choosedate/choosedate.h"
#include "app/main/bug.h"
#include "app/newentry/enternewrecord.h"
#include "app/program.h"
#include "app/zoom/zoom.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/graphics/images.h"

namespace bench {

// A window of a common laptop screen's size, most of it given to the grid
// (its stored height), which then shows about 25 rows.
constexpr int kWindowWidth = 1280, kWindowHeight = 900, kGridHeight = 600;

// The windows the program makes after the splash, the main one shown and
// through its first activation, painted.
struct MainWindow {
  TfrmBug* form = nullptr;
  TBitmap surface;
  explicit MainWindow(const std::string& database) {
    Application->Initialize();
    RegisterDatabaseEngine();
    auto reg = std::make_unique<TRegIniFile>(kSettingsKey);
    reg->WriteString("Settings", "DatabaseLocation", database);
    reg->WriteInteger("Options", "WindowWidth", kWindowWidth);
    reg->WriteInteger("Options", "WindowHeight", kWindowHeight);
    reg->WriteInteger("Options", "WindowTop", 0);
    reg->WriteInteger("Options", "WindowLeft", 0);
    reg->WriteInteger("Options", "Grid Height", kGridHeight);
    reg.reset();
    form = new TfrmBug(Application);
    frmBug = form;
    frmChooseDate = new TfrmChooseDate(Application);
    frmZoom = new TfrmZoom(Application);
    frmEnterNewRecord = new TfrmEnterNewRecord(Application);
    form->DoCreate();
    form->Show();
    while (form->FirstActivation && !form->Terminating) Application->ProcessMessages();
    Flush();
    surface.SetSize(form->dbgBug->Width(), form->dbgBug->Height());
  }
  ~MainWindow() {
    form->Close();
    delete frmEnterNewRecord;
    delete frmZoom;
    delete frmChooseDate;
    delete form;
    frmBug = nullptr;
  }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  // Lets the windows paint what changed, as the event loop would.
  static void Flush() {
    Application->ProcessMessages();
    Application->ProcessMessages();
  }
  void PaintGrid() {
    const TRect all = form->dbgBug->ClientRect();
    form->dbgBug->Perform(WM_PAINT, WPARAM(surface.Canvas()), LPARAM(&all));
  }
};

}  // namespace bench
