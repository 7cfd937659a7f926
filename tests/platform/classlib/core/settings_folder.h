#pragma once
// Settings folders of a test's own: the settings store writes where
// VANTREL_REGISTRY_DIR points, so a test (or a whole run of a program) points
// it at a scratch folder that goes with it, and nothing it writes reaches the
// user's settings or another test.

#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/classlib/core/temp_dir.h"

namespace testing_support {

// Points the settings store at a fresh folder while the object lives, then
// back at the folder it used before; the folder is removed.
class TScratchRegistry {
 public:
  TScratchRegistry() {
    if (const char* old = std::getenv("VANTREL_REGISTRY_DIR")) old_ = old, hadOld_ = true;
    ::setenv("VANTREL_REGISTRY_DIR", folder_.Path().c_str(), 1);
  }
  ~TScratchRegistry() {
    if (hadOld_) ::setenv("VANTREL_REGISTRY_DIR", old_.c_str(), 1);
    else ::unsetenv("VANTREL_REGISTRY_DIR");
  }
  TScratchRegistry(const TScratchRegistry&) = delete;
  TScratchRegistry& operator=(const TScratchRegistry&) = delete;

  const std::string& Path() const { return folder_.Path(); }

 private:
  TempDir folder_;
  std::string old_;
  bool hadOld_ = false;
};

// ctest may run every test of a program in a run of its own, side by side
// with the others: each run then keeps its settings in a folder of its own.
// Registered by the programs that need it.
class OwnSettingsFolder : public testing::Environment {
 public:
  void SetUp() override { scratch_ = std::make_unique<TScratchRegistry>(); }
  void TearDown() override { scratch_.reset(); }

 private:
  std::unique_ptr<TScratchRegistry> scratch_;
};

}  // namespace testing_support
