// Help commands reach the document through the opener; failures are told in a box.
#include "platform/classlib/dialogs/help.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "platform/classlib/dialogs/dialogs.h"
#include "platform/win32/shell.h"

namespace fs = std::filesystem;

namespace {

// A help document in a scratch folder, a program runner that records what
// the desktop's opener would start, and a responder.
struct HelpFixture {
  fs::path dir = fs::temp_directory_path() / ("vantrel-help-" + std::to_string(::getpid()));
  std::vector<std::string> opened;
  bool viewer = true;
  TProgramRunner previous;
  TDialogResponderScope boxes{[](TDialogRequest&) { return mrOk; }};

  HelpFixture() {
    fs::create_directories(dir);
    std::ofstream(dir / "Vantrel.html") << "<html></html>";
    previous = SetProgramRunner([this](const std::vector<std::string>& argv, const std::string&) {
      opened.push_back(argv.back());
      return viewer;
    });
    Application->SetHelpFile((dir / "Vantrel.hlp").string());
  }
  ~HelpFixture() {
    SetProgramRunner(previous);
    Application->SetHelpFile("");
    fs::remove_all(dir);
  }
  std::string Document() const { return "file://" + (dir / "Vantrel.html").string(); }
};

}  // namespace

TEST(HelpTest, CommandsOpenTheDocumentAtTheirAnchor) {
  HelpFixture f;
  struct Case {
    std::function<bool()> command;
    const char* anchor;
  } const cases[] = {
      {[] { return Application->HelpCommand(HELP_CONTENTS, 0); }, ""},
      {[] { return Application->HelpContext(1); }, "#context-1"},
      {[] { return Application->HelpCommand(HELP_COMMAND, "Search()"); }, "#search"},
      {[] { return Application->HelpCommand(HELP_COMMAND, " search ( ) "); }, "#search"},
      {[] { return Application->HelpJump("Reporting_Bugs"); }, "#Reporting_Bugs"},
      {[] { return Application->HelpCommand(HELP_QUIT, 0); }, nullptr},  // nothing to open
  };
  for (const Case& c : cases) {
    f.opened.clear();
    EXPECT_TRUE(c.command());
    if (c.anchor) EXPECT_EQ(f.opened, std::vector<std::string>{f.Document() + c.anchor});
    else EXPECT_TRUE(f.opened.empty());
  }
  EXPECT_EQ(f.boxes.Count(), 0);
}

TEST(HelpTest, WhatCannotBeShownIsToldNeverThrown) {
  struct Case {
    const char* what;
    std::function<void(HelpFixture&)> arrange;
    std::function<bool()> command;
    const char* message;
  } const cases[] = {
      {"no viewer", [](HelpFixture& f) { f.viewer = false; }, [] { return Application->HelpContext(1); },
       "There is no help viewer on this desktop to show"},
      {"unknown macro", [](HelpFixture&) {},
       [] { return Application->HelpCommand(HELP_COMMAND, "Exec(rm)"); },
       "The help command \"Exec(rm)\" is not supported."},
      {"missing file", [](HelpFixture&) { Application->SetHelpFile("/nonexistent/Vantrel.hlp"); },
       [] { return Application->HelpCommand(HELP_CONTENTS, 0); },
       "The help file \"/nonexistent/Vantrel.hlp\" is not installed."},
      {"no help file", [](HelpFixture&) { Application->SetHelpFile(""); },
       [] { return Application->HelpContext(1); }, "This program has no help file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HelpFixture f;
    c.arrange(f);
    EXPECT_FALSE(c.command());
    ASSERT_EQ(f.boxes.Count(), 1);
    EXPECT_EQ(f.boxes.Requests()[0].Type, mtError);
    EXPECT_NE(f.boxes.Requests()[0].Text.find(c.message), std::string::npos) << f.boxes.Requests()[0].Text;
  }
}
