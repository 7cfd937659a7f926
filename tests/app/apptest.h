#pragma once
// What the application's tests share: a scratch folder with a fresh database
// and settings store, and the main window started as the program starts it.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/responder.h"

class TfrmBug;

namespace apptest {

// A fresh folder (removed after) holding the settings store and, unless
// withDatabase is false, a new database "Vantrel.MDB" named in the settings.
class Scratch {
 public:
  explicit Scratch(bool withDatabase = true);
  ~Scratch();
  const std::string& Dir() const { return dir_; }
  const std::string& Database() const { return database_; }
  // A settings object on the application's key (written when it goes).
  std::unique_ptr<TRegIniFile> Settings() const;

 private:
  std::string dir_, database_;
};

// Creates the main window, runs its creation, shows it and handles events
// until its first activation is over (or start-up gave up). `created` runs
// between its creation and its showing, where the databases open.
TfrmBug* StartMainWindow(const std::function<void(TfrmBug*)>& created = {});
// Closes the main window as Exit does and frees it.
void CloseMainWindow(TfrmBug* form);
// Stores a bug report of the current program (memo Report as stored, when given)
// and refreshes the window's entry table.
void AddEntry(TfrmBug* form, const std::string& description, const std::string& report = "");

// The calling thread without the power to write where permissions forbid it,
// so a folder without write permission refuses even the superuser.
class TWithoutPermissionOverride {
 public:
  TWithoutPermissionOverride() {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    ::syscall(SYS_capset, &header_, reduced);
  }
  ~TWithoutPermissionOverride() { ::syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
};

// A test on the started main window over a fresh scratch folder. Prepare runs
// before the window starts (rows, settings); every dialog goes to Answer,
// whose default takes the box's first button.
class MainWindowTest : public ::testing::Test {
 protected:
  virtual void Prepare() {}
  virtual TModalResult Answer(TDialogRequest& r) {
    return r.Buttons.empty() ? mrCancel : r.Buttons.front();
  }
  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }
  void Start();
  void Stop();

  Scratch scratch;
  TDialogResponderScope answers{[this](TDialogRequest& r) { return Answer(r); }};
  TfrmBug* form = nullptr;
};

}  // namespace apptest
