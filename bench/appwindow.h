#pragma once
// The main window started as the program starts it, for the benchmarks that
// work through it.

#include <string>

#include "app/main/bug.h"
#include "app/program.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/graphics/images.h"

namespace bench {

struct MainWindow {
  TfrmBug* form = nullptr;
  TBitmap surface;
  explicit MainWindow(const std::string& database) {
    Application->Initialize();
    RegisterDatabaseEngine();
    TRegIniFile(kSettingsKey).WriteString("Settings", "DatabaseLocation", database);
    form = new TfrmBug(Application);
    frmBug = form;
    form->DoCreate();
    form->Show();
    while (form->FirstActivation && !form->Terminating) Application->ProcessMessages();
    surface.SetSize(form->dbgBug->Width(), form->dbgBug->Height());
  }
  ~MainWindow() {
    form->Close();
    delete form;
  }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  void PaintGrid() {
    const TRect all = form->dbgBug->ClientRect();
    form->dbgBug->Perform(WM_PAINT, WPARAM(surface.Canvas()), LPARAM(&all));
  }
};

}  // namespace bench
