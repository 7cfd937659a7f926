#pragma once
// A scratch Access database with the class library's datasets made over it:
// each is owned by the fixture and freed, with the sessions, before the file
// goes.

#include <memory>
#include <vector>

#include "bde/dbtables.h"
#include "dbengine/access_testutil.h"

namespace bdetest {

class LibraryFixture : public accesstest::AccessFixture {
 protected:
  void TearDown() override {
    owned_.clear();
    StopSessions();
    AccessFixture::TearDown();
  }
  // A dataset of the class library on the scratch database.
  template <class T>
  T* Make() {
    owned_.push_back(std::make_unique<T>());
    auto* d = static_cast<T*>(owned_.back().get());
    d->SetDatabaseName(path_);
    return d;
  }
  std::vector<std::unique_ptr<TComponent>> owned_;
};

}  // namespace bdetest
