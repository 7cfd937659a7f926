// Two users on one database file, each in its own process: the second is this
// test program started again on the helper test SecondUser.Serve, which runs
// the real main window on the first one's file and obeys one-letter commands
// over a pipe. Every wait has a limit, so a hung second user fails the test
// instead of hanging it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "entrytest.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/dao/childprocess.h"
#include "platform/dao/earlierbuild.h"
#include "winctrls/tb97button.h"

extern char** environ;

namespace {

// Names the database the second user opens; unset, SecondUser.Serve skips.
constexpr const char* kSecondUserVariable = "VANTREL_SECOND_USER";
// Where the second user finds its ends of the pipes after exec.
constexpr int kHearFd = 100, kTellFd = 101;
// The second user's start-up may be slow on a loaded machine.
constexpr int kStartMs = daotest::Child::kWaitMs;

const std::string kHeld = "held by the second user";
const std::string kPosted = "posted by the second user";
const std::string kUnlocked = "written without a record lock";

// ---- The second user's side ------------------------------------------------

// 0 when the first user went away or said nothing for a minute: the second
// user then closes rather than outliving the test.
char Hear() {
  pollfd p{kHearFd, POLLIN, 0};
  char c = 0;
  if (::poll(&p, 1, 60000) != 1 || ::read(kHearFd, &c, 1) != 1) return 0;
  return c;
}
void Tell(char c) { (void)!::write(kTellFd, &c, 1); }

void ChangeDescription(TfrmBug* form, const std::string& text) {
  form->dsetBug->First();
  form->dsetBug->Edit();
  form->dsetBug->FieldByName("Description")->SetAsString(text);
}

// E: edit the first entry and hold it; N: the same with the second entry;
// C: cancel; P: edit and post the first entry; F: mark the first entry fixed;
// U: write it through a plain connection, which takes no record lock
// (as another program on the file would).
bool Obey(TfrmBug* form, const std::string& database, char command) {
  switch (command) {
    case 'E': ChangeDescription(form, kHeld); return form->dsetBug->State() == dsEdit;
    case 'N':
      form->dsetBug->First();
      form->dsetBug->Next();
      form->dsetBug->Edit();
      return form->dsetBug->State() == dsEdit;
    case 'C': form->dsetBug->Cancel(); return true;
    case 'P': ChangeDescription(form, kPosted); form->dsetBug->Post(); return true;
    case 'F':
      form->dsetBug->First();
      form->dsetBug->Edit();
      form->dsetBug->FieldByName("Status")->SetAsString("3");
      form->dsetBug->Post();
      return true;
    case 'U': {
      sqlite3* db = nullptr;
      sqlite3_open(database.c_str(), &db);
      sqlite3_busy_timeout(db, 5000);
      daotest::KnowCaseBlindOrder(db);
      const std::string sql = "UPDATE Reports SET Description = '" + kUnlocked + "'";
      const bool done = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
      sqlite3_close(db);
      return done;
    }
    default: return false;
  }
}

TEST(SecondUser, Serve) {
  const char* database = std::getenv(kSecondUserVariable);
  if (!database) GTEST_SKIP() << "runs only as the second user of a several-users test";
  apptest::Scratch scratch(false);
  scratch.Settings()->WriteString("Settings", "DatabaseLocation", database);
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  TfrmBug* form = apptest::StartMainWindow();
  Tell(form->Terminating ? 'x' : 'r');
  for (char c = Hear(); c != 0 && c != 'Q'; c = Hear()) {
    bool done = false;
    try {
      done = Obey(form, database, c);
    } catch (const Exception&) {
    }
    Tell(done ? 'k' : 'x');
  }
  if (form->dsetBug->State() == dsEdit) form->dsetBug->Cancel();
  apptest::CloseMainWindow(form);
}

// ---- The first user's side -------------------------------------------------

// This program again, on the helper test only, with the database in its
// environment. The arguments and environment are made before the fork: the
// child only moves its pipe ends and runs exec.
class SecondUserProcess {
 public:
  explicit SecondUserProcess(const std::string& database)
      : variable_(std::string(kSecondUserVariable) + "=" + database),
        child_([this](daotest::Child& self) {
          ::dup2(self.HearFd(), kHearFd);
          ::dup2(self.TellFd(), kTellFd);
          ::dup2(quiet_, STDOUT_FILENO);  // its test report would only repeat ours
          ::execve("/proc/self/exe", argv_.data(), envp_.data());
          return 97;
        }) {}
  // Gives a command; true when the second user carried it out.
  bool Do(char command) {
    child_.Say(command);
    return child_.Listen() == 'k';
  }
  bool Started() { return child_.Listen(kStartMs) == 'r'; }
  ~SecondUserProcess() {
    child_.Say('Q');
    EXPECT_EQ(child_.Wait(), 0);
    ::close(quiet_);
  }

 private:
  // The parent's environment without its report file (the child would write
  // over it) and with the database named.
  std::vector<char*> Environment() {
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "GTEST_OUTPUT=", 13) != 0 &&
          std::strncmp(*e, kSecondUserVariable, std::strlen(kSecondUserVariable)) != 0)
        env.push_back(*e);
    env.push_back(variable_.data());
    env.push_back(nullptr);
    return env;
  }

  int quiet_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  std::string program_ = "app_tests", filter_ = "--gtest_filter=SecondUser.Serve";
  std::string variable_;
  std::vector<char*> argv_{program_.data(), filter_.data(), nullptr};
  std::vector<char*> envp_ = Environment();
  daotest::Child child_;
};

// The first user's main window with one entry, and the second user started on
// its file.
class SeveralUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::AddEntry(first.form, "as stored");
    second.emplace(first.scratch.Database());
    ASSERT_TRUE(second->Started()) << "the second user's main window did not start";
  }
  std::string Shown() { return first.Field("Description"); }
  std::vector<std::string> Stored() { return apptest::StoredEntries(first.scratch.Database()); }
  // Types into the grid's Description cell with real keys, as the user would.
  void TypeDescription(const char* text) {
    TwwDBGrid* grid = first.form->dbgBug;
    grid->SelectDataColumn(apptest::GridDataColumn(first.form, "Description"));
    grid->SetFocus();
    QApplication::processEvents();
    // The first key opens the cell's editor, which takes the focus and the rest.
    for (const char* c = text; *c; ++c) QTest::keyClicks(QApplication::focusWidget(), QString(QChar(*c)));
  }
  // The first user's dialogs, answered OK and kept.
  TDialogResponderScope answers{[](TDialogRequest&) { return mrOk; }};
  apptest::Window first;
  std::optional<SecondUserProcess> second;  // started once the entry is stored
};

TEST_F(SeveralUsers, AnEntryTheOtherHoldsRefusesTheEditWithTheEnginesLockMessage) {
  ASSERT_TRUE(second->Do('E'));
  TypeDescription("m");
  EXPECT_EQ(first.form->dsetBug->State(), dsBrowse);
  ASSERT_EQ(answers.Count(), 1) << answers.Texts().back();
  const std::string text = answers.Texts()[0];
  EXPECT_EQ(text.rfind("An edit error has occured.\n", 0), 0u) << text;
  EXPECT_NE(text.find("Could not update; currently locked by user 'Admin'."), std::string::npos) << text;
  ASSERT_TRUE(second->Do('C'));
  EXPECT_EQ(Shown(), "as stored");
  EXPECT_EQ(Stored(), std::vector<std::string>{"1:as stored"});
}

// After the refusal the cell shows the stored text again and the entry is
// browsed: the user moves, refreshes and, once the other lets go, edits.
TEST_F(SeveralUsers, AfterARefusedEditTheUserMovesRefreshesAndTriesAgain) {
  apptest::AddEntry(first.form, "second entry");
  TwwDBGrid* grid = first.form->dbgBug;
  QWidget* cells = vantrel::qt::ClientWidget(*grid);
  ASSERT_TRUE(second->Do('E'));
  TypeDescription("m");
  ASSERT_EQ(answers.Count(), 1);
  EXPECT_NE(answers.Texts()[0].find("\n\nYour change has not been saved."), std::string::npos)
      << answers.Texts()[0];
  EXPECT_EQ(first.form->dsetBug->State(), dsBrowse);
  EXPECT_TRUE(!grid->EditorMode() || grid->InplaceEditor()->Text() == "as stored")
      << grid->InplaceEditor()->Text();
  EXPECT_EQ(Shown(), "as stored");
  // Another row, a refresh and back: no further message.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(Shown(), "second entry");
  QTest::keyClick(cells, Qt::Key_F5);
  QTest::keyClick(cells, Qt::Key_Up);
  EXPECT_EQ(Shown(), "as stored");
  EXPECT_EQ(answers.Count(), 1) << answers.Texts().back();
  // The other lets go: typing now edits, and moving away posts it.
  ASSERT_TRUE(second->Do('C'));
  TypeDescription("n");
  EXPECT_EQ(first.form->dsetBug->State(), dsEdit);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(answers.Count(), 1) << answers.Texts().back();
  const std::vector<std::string> stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].substr(0, 3), "1:n");
}

// Refused once or twice while the other holds the entry, the user types
// again once the other has let go (cancelled or saved): the next key tries the
// edit again, and what is typed then is saved when the user moves on, with no
// message beyond the refusals.
TEST_F(SeveralUsers, TypingAgainAfterRefusalsOnceTheOtherLetsGoSavesTheText) {
  apptest::AddEntry(first.form, "second entry");
  struct Case {
    int refusals;
    char release;  // C: the other cancels; P: the other saves its own change
  };
  const Case cases[] = {{1, 'C'}, {2, 'C'}, {2, 'P'}, {3, 'P'}};
  std::size_t told = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.refusals) + " refusals, then " + c.release);
    ASSERT_TRUE(second->Do('E'));
    // Told once, the user types on where the keyboard is, and is told again.
    TypeDescription("m");
    for (int i = 1; i < c.refusals; ++i) QTest::keyClicks(QApplication::focusWidget(), "n");
    ASSERT_EQ(answers.Count(), told + std::size_t(c.refusals)) << answers.Texts().back();
    told = answers.Count();
    // No refused key is typed: the cell shows the entry as stored.
    const std::string stored = Stored()[0].substr(2);
    EXPECT_EQ(Shown(), stored);
    TwwDBGrid* grid = first.form->dbgBug;
    EXPECT_TRUE(!grid->EditorMode() || grid->InplaceEditor()->Text() == stored) << grid->InplaceEditor()->Text();
    ASSERT_TRUE(second->Do(c.release));
    const std::string typed = "typed " + std::to_string(c.refusals) + c.release;
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(typed));
    EXPECT_EQ(first.form->dsetBug->State(), dsEdit);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(first.form->dsetBug->State(), dsBrowse);
    EXPECT_EQ(answers.Count(), told) << answers.Texts().back();
    told = answers.Count();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1:" + typed, "1:second entry"}));
    first.form->dsetBug->First();
  }
}

// Down after typing posts the entry and only moves to the next one: nothing
// holds that entry, so the other user edits it at once.
TEST_F(SeveralUsers, DownAfterTypingLeavesTheNextEntryFreeForTheOther) {
  apptest::AddEntry(first.form, "second entry");
  TypeDescription("m");
  ASSERT_EQ(first.form->dsetBug->State(), dsEdit);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(Shown(), "second entry");
  EXPECT_EQ(first.form->dsetBug->State(), dsBrowse);
  EXPECT_TRUE(first.form->dbgBug->Focused());
  EXPECT_TRUE(second->Do('N')) << "the untouched entry is held";
  ASSERT_TRUE(second->Do('C'));
  EXPECT_EQ(answers.Count(), 0) << answers.Texts().back();
  const std::vector<std::string> stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], "1:m");
  EXPECT_EQ(stored[1], "1:second entry");
}

TEST_F(SeveralUsers, TheOthersPostShowsAfterRefresh) {
  ASSERT_TRUE(second->Do('P'));
  EXPECT_EQ(Shown(), "as stored");
  QTest::keyClick(vantrel::qt::ClientWidget(*first.form->dbgBug), Qt::Key_F5);
  EXPECT_EQ(Shown(), kPosted);
  EXPECT_EQ(answers.Count(), 0);
}

// The first user shows open entries only; the other marks the entry fixed.
// Typing into it then edits that entry as it now stands: what was typed is
// saved with the other's change, and the entry leaves the view after the post.
TEST_F(SeveralUsers, TypingIntoAnEntryTheOtherClosedSavesItThereAndTheEntryLeavesTheView) {
  apptest::AddEntry(first.form, "second entry");
  first.form->tbStatusFilter_Fixed->SetDown(false);
  first.form->ApplyFilter();
  ASSERT_EQ(Shown(), "as stored");
  ASSERT_TRUE(second->Do('F'));
  TypeDescription("typed");
  ASSERT_EQ(first.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(first.form->dsetBug->FieldByName("Status")->AsString(), "3") << "the entry as it now stands";
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(first.form->dsetBug->State(), dsBrowse);
  EXPECT_EQ(answers.Count(), 0) << answers.Texts().back();
  EXPECT_EQ(Stored(), (std::vector<std::string>{"1:typed", "1:second entry"}));
  EXPECT_EQ(apptest::StoredEntries(first.scratch.Database(), "Status"), (std::vector<std::string>{"3", ""}));
  EXPECT_EQ(Shown(), "second entry") << "the fixed entry left the view";
  EXPECT_FALSE(first.form->dsetBug->Locate("Description", Variant(std::string("typed")), {}));
}

TEST_F(SeveralUsers, APostOverTheOthersChangeGetsTheEnginesMessageAndKeepsWhatWasTyped) {
  TypeDescription("typed");
  ASSERT_EQ(first.form->dsetBug->State(), dsEdit);
  ASSERT_TRUE(second->Do('U'));
  try {
    first.form->dsetBug->Post();
  } catch (const EAbort&) {  // the error handler has told the user
  }
  EXPECT_EQ(first.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(Shown(), "typed");
  ASSERT_EQ(answers.Count(), 1);
  const std::string text = answers.Texts()[0];
  EXPECT_EQ(text.rfind("An error has occured while posting a record.\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("you and another user are attempting to change the same data"), std::string::npos)
      << text;
  EXPECT_EQ(Stored(), std::vector<std::string>{"1:" + kUnlocked});
}

}  // namespace
