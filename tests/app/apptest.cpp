#include "apptest.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>

#include "app/main/bug.h"
#include "app/program.h"
#include "app/schema/schema.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/deadline.h"

namespace apptest {

Scratch::Scratch(bool withDatabase) {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-app-XXXXXX").string();
  dir_ = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(dir_ + "/registry");
  ::setenv("VANTREL_REGISTRY_DIR", (dir_ + "/registry").c_str(), 1);
  RegisterDatabaseEngine();
  database_ = dir_ + "/Vantrel.MDB";
  if (!withDatabase) return;
  CreateVantrelDatabase(database_);
  Settings()->WriteString("Settings", "DatabaseLocation", database_);
}

Scratch::~Scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::unique_ptr<TRegIniFile> Scratch::Settings() const {
  return std::make_unique<TRegIniFile>(kSettingsKey);
}

TfrmBug* StartMainWindow(const std::function<void(TfrmBug*)>& created) {
  auto* form = new TfrmBug(Application);
  frmBug = form;
  form->DoCreate();
  if (form->Terminating) return form;
  if (created) created(form);
  form->Show();
  // The first activation runs from the event loop; a loaded machine may take a while.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitLimitMs);
  while ((form->FirstActivation || !form->Visible()) && !form->Terminating &&
         std::chrono::steady_clock::now() < limit)
    Application->ProcessMessages();
  return form;
}

void CloseMainWindow(TfrmBug* form) {
  form->Close();
  delete form;
}

void AddEntry(TfrmBug* form, const std::string& description, const std::string& report) {
  // Stored through a table of its own, as another user would, then shown by a refresh.
  TwwtaTable table(nullptr);
  table.SetDatabaseName(form->DatabasePath);
  table.SetTableName("Reports");
  table.Open();
  table.Append();
  table.FieldByName("ProgramNumber")->SetAsInteger(
      form->wwtblProgram->FieldByName("ProgramNumber")->AsInteger());
  table.FieldByName("ReportType")->SetAsString("BugReport");
  table.FieldByName("Description")->SetAsString(description);
  if (!report.empty()) table.FieldByName("Report")->SetAsString(report);
  table.Post();
  table.Close();
  // A refresh alone moves nothing, and the detail pane follows the moves: go to
  // the first row as the user would, so the pane wakes up once there are rows.
  form->dsetBug->Refresh();
  form->dsetBug->First();
}

void MainWindowTest::Start() {
  Prepare();
  form = StartMainWindow();
  ASSERT_FALSE(form->Terminating);
}

void MainWindowTest::Stop() {
  if (form) CloseMainWindow(form);
  form = nullptr;
}

}  // namespace apptest
