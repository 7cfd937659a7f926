// Start-up and close of the main window: the database search, the bring-up,
// the global exception handler and what is written at close.

#include <gtest/gtest.h>

#include "app/main/bug.h"
#include "apptest.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

using apptest::Scratch;

TEST(Startup, BringsUpTheDatabaseAndWritesItsLocation) {
  Scratch scratch;
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  TfrmBug* form = apptest::StartMainWindow();
  EXPECT_FALSE(form->Terminating);
  EXPECT_EQ(answers.Texts(), std::vector<std::string>{});
  EXPECT_TRUE(form->dsetBug->Active());
  EXPECT_EQ(form->wwtblProgram->FieldByName("Program")->AsString(), "New Program");
  apptest::CloseMainWindow(form);
  EXPECT_EQ(scratch.Settings()->ReadString("Settings", "DatabaseLocation", ""), scratch.Database());
}

}  // namespace
