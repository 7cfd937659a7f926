#pragma once
// The scratch Access database reached through the process-wide Access binding:
// the binding starts with each test and is freed (with its call layer) before
// the scratch database goes.

#include <memory>
#include <string>
#include <vector>

#include "access_testutil.h"
#include "dbengine/accbinding.h"
#include "dbengine/ttsession.h"

namespace accesstest {

// The values of one field over every record, from the first.
inline std::vector<std::string> ColumnOf(TDataSet* t, const std::string& field = "Name") {
  std::vector<std::string> values;
  for (t->First(); !t->Eof(); t->Next()) values.push_back(t->FieldByName(field)->AsString());
  return values;
}

class BindingFixture : public AccessFixture {
 protected:
  void SetUp() override {
    AccessFixture::SetUp();
    StartAccessBinding();
  }
  void TearDown() override {
    StopAccessBinding();
    AccessFixture::TearDown();
  }
  // A dataset of the binding over the scratch file.
  template <class T>
  std::unique_ptr<T> Make() {
    auto d = std::make_unique<T>();
    d->SetDatabaseName(path_);
    return d;
  }
  std::unique_ptr<TtaTable> MakeTable(const std::string& table = "People") {
    auto t = Make<TtaTable>();
    t->SetTableName(table);
    return t;
  }
};

}  // namespace accesstest
