// The Access binding: its process-wide objects, the components it makes and
// the one call layer they share, over a real database file.

#include <gtest/gtest.h>

#include <cstring>

#include "accbinding_fixture.h"
#include "platform/classlib/core/typinfo.h"

using accesstest::BindingFixture;
using accesstest::ColumnOf;

namespace {

class AccessBinding : public BindingFixture {};

TEST_F(AccessBinding, StartUpMakesTheListAndTheDefaultSessionOnce) {
  TtaSessionList* list = AccessSessionList();
  TtaSession* session = AccessDefaultSession();
  ASSERT_NE(nullptr, list);
  ASSERT_NE(nullptr, session);
  EXPECT_EQ("Access", session->SessionName());
  EXPECT_TRUE(session->IsDefault());
  EXPECT_EQ(session, list->DefaultSession());
  EXPECT_EQ(session, list->FindSession(""));
  EXPECT_EQ(1, list->Count());
  EXPECT_EQ(nullptr, AccessEngine()) << "the call layer waits for the first activation";
  EXPECT_FALSE(session->Active());

  StartAccessBinding();
  EXPECT_EQ(list, AccessSessionList()) << "a second start-up changes nothing";
  EXPECT_EQ(1, AccessSessionList()->Count());
}

TEST_F(AccessBinding, EveryComponentSharesTheOneCallLayer) {
  auto table = MakeTable();
  table->Open();
  TtaSession* session = AccessDefaultSession();
  EXPECT_TRUE(session->Active()) << "the default session started with the first open";
  TVirtEng* engine = AccessEngine();
  ASSERT_NE(nullptr, engine);
  EXPECT_EQ(engine, table->Engine());
  EXPECT_EQ(engine, session->Engine());
  EXPECT_EQ((std::vector<std::string>{"Anna", "Bert", "Carl"}), ColumnOf(table.get()));

  // The database the session made for the table is the binding's.
  ASSERT_NE(nullptr, table->Database());
  EXPECT_EQ("TtaDatabase", table->Database()->ClassName());
  EXPECT_EQ(engine, table->Database()->Engine());

  // A second session of the program uses the same call layer.
  auto second = std::make_unique<TtaSession>();
  second->SetSessionName("Second");
  EXPECT_EQ(2, AccessSessionList()->Count());
  EXPECT_FALSE(second->IsDefault());
  auto other = MakeTable();
  other->SetSessionName("Second");
  other->Open();
  EXPECT_TRUE(second->Active());
  EXPECT_EQ(engine, other->Engine());
  EXPECT_EQ(3, other->RecordCount());
  other.reset();
  second.reset();
  EXPECT_EQ(1, AccessSessionList()->Count());
  table.reset();
}

TEST_F(AccessBinding, TheHooksMakeTheBindingsClasses) {
  TtaSession* session = AccessDefaultSession();
  std::unique_ptr<TttDatabase> db(session->GetDatabaseClass(nullptr));
  EXPECT_EQ("TtaDatabase", db->ClassName());
  EXPECT_EQ(AccessSessionList(), db->SessionList());
  std::unique_ptr<TDataSet> table(session->GetTableClass(nullptr));
  EXPECT_EQ("TtaTable", table->ClassName());
  std::unique_ptr<TttSession> made(AccessSessionList()->GetSessionClass(nullptr));
  EXPECT_EQ("TtaSession", made->ClassName());
  EXPECT_EQ(AccessSessionList(), made->SessionList());
  made.reset();

  auto t = MakeTable();
  std::unique_ptr<TttBatchMove> move(t->GetBatchMoveClass(nullptr));
  EXPECT_EQ("TtaBatchMove", move->ClassName());
  EXPECT_EQ(nullptr, move->Engine());
  t->Open();
  EXPECT_EQ(AccessEngine(), move->Engine());

  // The hooks are published methods.
  for (const char* name : {"SetEngineObject", "CriticalSectionStart", "GetDatabaseClass", "GetTableClass"})
    EXPECT_TRUE(MethodAddress(session, name).Assigned()) << name;
  EXPECT_TRUE(MethodAddress(t.get(), "GetBatchMoveClass").Assigned());
  EXPECT_TRUE(MethodAddress(t.get(), "CreateBlobStream").Assigned());
}

TEST_F(AccessBinding, TheCriticalSectionCanBeEnteredAgainByItsThread) {
  TtaSession* session = AccessDefaultSession();
  session->CriticalSectionStart();
  session->CriticalSectionStart();
  session->SetActive(true);  // enters the section once more around the activation
  session->CriticalSectionEnd();
  session->CriticalSectionEnd();
  EXPECT_TRUE(session->Active());
}

TEST_F(AccessBinding, BlobStreamsAreTheBindingsAndRefuseOtherFields) {
  auto t = MakeTable();
  t->SetIndexName("ByName");
  t->Open();
  ASSERT_TRUE(t->FindKey({Variant(std::string("Bert"))}));
  t->Edit();
  t->FieldByName("Notes")->SetAsString("kept notes");
  t->Post();
  {
    std::unique_ptr<TStream> s(t->CreateBlobStream(t->FieldByName("Notes"), bmRead));
    EXPECT_EQ("TtaBlobStream", s->ClassName());
    EXPECT_EQ(AccessEngine(), static_cast<TtaBlobStream*>(s.get())->Engine());
    char buffer[32] = {};
    EXPECT_EQ(10, s->Read(buffer, 32));
    EXPECT_EQ("kept notes", std::string(buffer));
  }
  EXPECT_THROW(delete t->CreateBlobStream(t->FieldByName("Name"), bmRead), EInvalidCast);
  EXPECT_THROW(delete t->CreateBlobStream(nullptr, bmRead), EInvalidCast);

  auto q = Make<TtaQuery>();
  q->SQL()->Add("SELECT Name, Notes FROM People WHERE Name = :Who");
  q->ParamByName("Who")->SetAsString("Bert");
  q->Open();
  ASSERT_EQ(1, q->RecordCount());
  EXPECT_EQ(AccessEngine(), q->Engine()) << "queries run on the binding's call layer too";
  std::unique_ptr<TStream> s(q->CreateBlobStream(q->FieldByName("Notes"), bmRead));
  EXPECT_EQ("TtaBlobStream", s->ClassName());
  EXPECT_EQ(10, s->Size());
  EXPECT_THROW(delete q->CreateBlobStream(q->FieldByName("Name"), bmRead), EInvalidCast);
}

TEST_F(AccessBinding, AFreedDefaultSessionIsNotAnsweredAnyMore) {
  delete AccessDefaultSession();
  EXPECT_EQ(nullptr, AccessDefaultSession());
  EXPECT_EQ(nullptr, AccessSessionList()->DefaultSession());
  EXPECT_EQ(0, AccessSessionList()->Count());
}

TEST_F(AccessBinding, ShutdownFreesEverythingAndAFreshStartWorks) {
  {
    auto t = MakeTable();
    t->Open();
    ASSERT_NE(nullptr, AccessEngine());
  }
  StopAccessBinding();
  EXPECT_EQ(nullptr, AccessEngine());
  StopAccessBinding();  // a second shutdown has nothing left to free

  // Components made afterwards start the binding again on their own.
  auto t = MakeTable();
  EXPECT_EQ(1, AccessSessionList()->Count());
  EXPECT_EQ("Access", AccessDefaultSession()->SessionName());
  t->Open();
  EXPECT_EQ(3, t->RecordCount());
  EXPECT_EQ(AccessEngine(), t->Engine());
}

}  // namespace
