// A modal window nobody answers must not hold up the test program: after the
// watch's limit the running test fails with the window's title (and text),
// the window closes and the program goes on. Checked in child runs of this
// program with a short limit.

#include <QMessageBox>

#include <gtest/gtest.h>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/child_run.h"

using testing_support::ChildRun;
using testing_support::Occurrences;
using testing_support::RunChildTest;

// Run only as children of the test below: nobody answers these windows.
TEST(UnansweredModalChild, DISABLED_FormLeftRunning) {
  Application->Initialize();
  TForm form(nullptr);
  form.SetCaption("Choose a program");
  EXPECT_EQ(mrCancel, form.ShowModal());  // closed by the watch
}
TEST(UnansweredModalChild, DISABLED_QtBoxLeftOpen) {
  QMessageBox box(QMessageBox::Warning, "Disk full", "No room is left for the copy.");
  EXPECT_EQ(QDialog::Rejected, box.exec());
}

TEST(UnansweredModalTest, FailsTheTestWithTheWindowsWordsAndGoesOn) {
  const struct {
    const char* test;
    const char* words;
  } cases[] = {
      {"DISABLED_FormLeftRunning", "Unanswered modal window \"Choose a program\""},
      {"DISABLED_QtBoxLeftOpen", "Unanswered modal window \"Disk full: No room is left for the copy.\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.test);
    ChildRun run = RunChildTest(std::string("UnansweredModalChild.") + c.test,
                                {{"VANTREL_TEST_MODAL_LIMIT_MS", "300"}});
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.words)) << run.output;
    // The window closed as cancelled: the child's own expectation held.
    EXPECT_EQ(1, Occurrences(run.output, "Failure\n")) << run.output;
  }
}
