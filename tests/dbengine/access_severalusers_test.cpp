// Several real processes editing one database file through the Access
// binding's tables: an edit works on the record as it stands under its lock,
// so concurrent increments lose nothing.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "accbinding_fixture.h"
#include "platform/dao/childprocess.h"

using daotest::Child;

namespace {

class SeveralUsers : public accesstest::BindingFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    daotest::UseNetworkMode(GetParam());
    BindingFixture::SetUp();
  }
  void TearDown() override {
    BindingFixture::TearDown();
    daotest::UseNetworkMode(false);
  }
  std::unique_ptr<TtaTable> OpenOn(const std::string& table, const std::string& index) {
    auto t = MakeTable(table);
    t->SetIndexName(index);
    t->Open();
    return t;
  }
  void MakeCounters(int count) {
    dao::TDatabaseCore db(path_, false, false, "");
    db.Execute("CREATE TABLE Counters (Name TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY, N LONG)");
    for (int i = 0; i < count; ++i) db.Execute("INSERT INTO Counters VALUES ('c" + std::to_string(i) + "', 0)");
  }
};

// Another user changes Anna's age between this user's read and Edit, then
// again between Edit and Post (by SQL, which takes no record lock).
TEST_P(SeveralUsers, EditShowsTheLockedRowAndPostRefusesALaterChange) {
  auto t = OpenOn("People", "ByName");
  ASSERT_TRUE(t->FindKey({Variant(std::string("Anna"))}));
  ASSERT_EQ(30, t->FieldByName("Age")->AsInteger());
  auto otherSets = [&](int age) {
    Child c([&](Child&) {
      dao::TDatabaseCore db(path_, false, false, "");
      db.Execute("UPDATE People SET Age = " + std::to_string(age) + " WHERE Name = 'Anna'");
      return 0;
    });
    ASSERT_EQ(0, c.Wait());
  };
  otherSets(31);
  t->Edit();
  EXPECT_EQ(31, t->FieldByName("Age")->AsInteger()) << "Edit shows the row as it stands under the lock";
  otherSets(32);
  t->FieldByName("Age")->SetAsInteger(40);
  t->FieldByName("Notes")->SetAsString("typed");
  EXPECT_EQ("typed", t->FieldByName("Notes")->AsString()) << "before post";
  try {
    t->Post();
    ADD_FAILURE() << "a change by another user after Edit must refuse the post";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string::npos, std::string(e.Message()).find("another user")) << e.Message();
  }
  EXPECT_EQ(dsEdit, t->State());
  EXPECT_EQ(40, t->FieldByName("Age")->AsInteger()) << "typed values are kept";
  EXPECT_EQ("typed", t->FieldByName("Notes")->AsString());
  t->Cancel();
  t->Edit();
  EXPECT_EQ(32, t->FieldByName("Age")->AsInteger());
  t->FieldByName("Age")->SetAsInteger(33);
  t->Post();
  auto check = OpenOn("People", "ByName");
  ASSERT_TRUE(check->FindKey({Variant(std::string("Anna"))}));
  EXPECT_EQ(33, check->FieldByName("Age")->AsInteger());
}

// Processes increment shared counters through FindKey/Edit/Post, retrying
// while another holds the record: the sum counts every increment.
TEST_P(SeveralUsers, ConcurrentIncrementsLoseNothing) {
  // A rollback journal syncs every commit: the network mode does fewer.
  constexpr int kCounters = 4, kProcesses = 8;
  const int kIncrements = GetParam() ? 100 : 500;
  MakeCounters(kCounters);
  std::vector<std::unique_ptr<Child>> children;
  // Other processes hold the file or a record only for a moment, however long
  // the moment is on a loaded machine; one that is still refused after this
  // long is refused for good. A count of tries would run out in an instant
  // while the holder waits for a processor.
  auto giveUpAt = [] { return std::chrono::steady_clock::now() + std::chrono::milliseconds(Child::kListenMs); };
  auto past = [](auto limit) { return std::chrono::steady_clock::now() > limit; };
  for (int p = 0; p < kProcesses; ++p)
    children.push_back(std::make_unique<Child>([&](Child&) {
      std::unique_ptr<TtaTable> t;
      for (const auto limit = giveUpAt(); !t;) {
        try {
          t = OpenOn("Counters", "PrimaryKey");
        } catch (const EDatabaseError&) {
          if (past(limit)) return 4;  // a busy file: another try
        }
      }
      for (int i = 0; i < kIncrements; ++i) {
        std::string name = "c" + std::to_string((i + p) % kCounters);
        for (const auto limit = giveUpAt();;) {
          if (past(limit)) return 3;
          bool posting = false;
          try {
            if (!t->FindKey({Variant(name)})) return 2;
            t->Edit();  // refused while another process holds the record
            t->FieldByName("N")->SetAsInteger(t->FieldByName("N")->AsInteger() + 1);
            posting = true;
            t->Post();
            break;
          } catch (const EDatabaseError&) {
            // A post refused stays in edit; one that wrote and then could
            // not re-read the record (busy) is done.
            if (posting && t->State() == dsBrowse) break;
            t->Cancel();
          }
        }
      }
      return 0;
    }));
  for (auto& c : children) EXPECT_EQ(0, c->Wait());
  auto t = OpenOn("Counters", "PrimaryKey");
  int sum = 0;
  for (t->First(); !t->Eof(); t->Next()) sum += t->FieldByName("N")->AsInteger();
  EXPECT_EQ(kProcesses * kIncrements, sum);
}

INSTANTIATE_TEST_SUITE_P(BothModes, SeveralUsers, ::testing::Values(false, true), daotest::ModeName);

}  // namespace
