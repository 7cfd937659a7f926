// The whole main road through the components: session, database, table and
// query over a real database file.

#include <gtest/gtest.h>

#include "ttbinding.h"

using namespace tttest;

namespace {

class MainRoad : public ComponentFixture {};

TEST_F(MainRoad, TableOpensAndReadsEveryRow) {
  auto t = MakeTable();
  t->Open();
  EXPECT_TRUE(Default()->Active());
  std::vector<std::string> names;
  for (t->First(); !t->Eof(); t->Next()) names.push_back(t->FieldByName("Name")->AsString());
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), names);
  t->First();
  EXPECT_EQ(30, t->FieldByName("Age")->AsInteger());
  EXPECT_DOUBLE_EQ(1.5, t->FieldByName("Score")->AsFloat());
  EXPECT_TRUE(t->FieldByName("Born")->IsNull());
  EXPECT_EQ(3, t->RecordCount());
  t->Close();
}

}  // namespace
