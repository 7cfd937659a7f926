// A dialog no test answers must fail the test that raised it at once, with
// the dialog's words, and back out of it: checked in a child run of this
// program, where nothing answers for the test.

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/child_run.h"

using testing_support::ChildRun;
using testing_support::Occurrences;
using testing_support::RunChildTest;

// Run only as the child of the tests below: nothing answers these boxes.
TEST(UnexpectedDialogChild, DISABLED_ConfirmBox) {
  EXPECT_EQ(mrCancel, MessageDlg("Delete the entry?", mtConfirmation, mbOKCancel, 0));
}
TEST(UnexpectedDialogChild, DISABLED_YesNoBox) {
  EXPECT_EQ(mrNo, MessageDlg("Keep\nthe filter?", mtConfirmation, {mbYes, mbNo}, 0));
}
TEST(UnexpectedDialogChild, DISABLED_InformationBox) { ShowMessage("Nothing found"); }
TEST(UnexpectedDialogChild, DISABLED_InputBox) {
  EXPECT_EQ("kept", InputBox("Rename", "New name:", "kept"));
}

TEST(UnexpectedDialogChild, DISABLED_OpenDialog) {
  TOpenDialog dialog(nullptr);
  dialog.SetTitle("Attach a file");
  EXPECT_FALSE(dialog.Execute());
}

TEST(UnexpectedDialogTest, FailsTheTestAtOnceWithTheDialogsWordsAndBacksOut) {
  struct Case {
    const char* test;
    std::string heading;
    std::string text;
  };
  const Case cases[] = {
      {"DISABLED_ConfirmBox", "Unexpected dialog \"Confirm\"", "Delete the entry?"},
      {"DISABLED_YesNoBox", "Unexpected dialog \"Confirm\"", "Keep\nthe filter?"},
      {"DISABLED_InformationBox", "Unexpected dialog \"", "Nothing found"},
      {"DISABLED_InputBox", "Unexpected input dialog \"Rename\"", "New name:"},
      {"DISABLED_OpenDialog", "Unexpected open dialog \"Attach a file\"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.test);
    ChildRun run = RunChildTest(std::string("UnexpectedDialogChild.") + c.test);
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.heading))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.text)) << run.output;
    // The answer backed out: the child's own expectations on it held, so
    // the dialog is the one failure.
    EXPECT_EQ(1, Occurrences(run.output, "Failure\n")) << run.output;
  }
}

TEST(UnexpectedDialogTest, AResponderInstalledByTheTestTakesOverAndGivesBack) {
  {
    TDialogResponderScope scope([](TDialogRequest&) { return mrOk; });
    EXPECT_EQ(mrOk, MessageDlg("Save?", mtConfirmation, mbOKCancel, 0));
    EXPECT_EQ(1, scope.Count());
  }
  EXPECT_NONFATAL_FAILURE(MessageDlg("Save?", mtConfirmation, mbOKCancel, 0),
                          "Unexpected dialog \"Confirm\": Save?");
}
