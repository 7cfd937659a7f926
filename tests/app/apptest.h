#pragma once
// What the application's tests share: a scratch folder with a fresh database
// and settings store, and the main window started as the program starts it.

#include <memory>
#include <string>

#include "platform/classlib/core/registry.h"

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
// until its first activation is over (or start-up gave up).
TfrmBug* StartMainWindow();
// Closes the main window as Exit does and frees it.
void CloseMainWindow(TfrmBug* form);

}  // namespace apptest
