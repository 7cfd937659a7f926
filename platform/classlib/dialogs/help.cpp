// The help viewer: the application's help commands become a document and an
// anchor that the desktop's viewer opens.
#include "platform/classlib/dialogs/help.h"

#include <QUrl>

#include <filesystem>
#include <optional>
#include <regex>

#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/dialogs/responder.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/win32/shell.h"

namespace fs = std::filesystem;

namespace {

// The names a help file may stand for, in the order they are tried.
std::vector<fs::path> Candidates(const fs::path& file) {
  std::vector<fs::path> names;
  std::string ext = file.extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".hlp") {
    for (const char* html : {".html", ".htm"}) names.push_back(fs::path(file).replace_extension(html));
  } else {
    names.push_back(file);
  }
  return names;
}

// The anchor a command goes to ("" for the contents), or nothing when the
// command is not one the viewer knows.
std::optional<std::string> Anchor(WORD command, int data, const std::string& text) {
  switch (command) {
    case HELP_CONTENTS:
    case HELP_FINDER:
    case HELP_HELPONHELP:
      return std::string();
    case HELP_CONTEXT:
      return "context-" + std::to_string(data);
    case HELP_KEY:
      return std::string("search");
    case HELP_COMMAND: {
      // Macros are matched whole, spaces aside; the topic keeps its case.
      static const std::regex search(R"re(\s*Search\s*\(\s*\)\s*)re", std::regex::icase);
      static const std::regex jump(R"re(\s*JumpID\s*\(\s*"[^"]*"\s*,\s*"([^"]+)"\s*\)\s*)re",
                                   std::regex::icase);
      std::smatch m;
      if (std::regex_match(text, search)) return std::string("search");
      if (std::regex_match(text, m, jump)) return m[1].str();
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

bool Tell(const std::string& message) {
  MessageDlg(message, mtError, {mbOK}, 0);
  return false;
}

}  // namespace

std::string HelpDocument(const std::string& helpFile) {
  if (helpFile.empty()) return {};
  std::vector<fs::path> places{fs::path(helpFile)};
  // Like the desktop's help, a bare name is found beside the program too.
  if (fs::path(helpFile).is_relative() && Application)
    places.push_back(fs::path(Application->ExeName()).parent_path() / helpFile);
  std::error_code error;
  for (const fs::path& place : places)
    for (const fs::path& name : Candidates(place))
      if (fs::is_regular_file(name, error)) return fs::absolute(name, error).string();
  return {};
}

namespace vantrel::dialogs {

bool ShowHelp(const std::string& helpFile, WORD command, int data, const std::string& text) {
  if (command == HELP_QUIT) return true;  // no viewer of ours stays open
  if (helpFile.empty()) return Tell("This program has no help file.");
  const std::string document = HelpDocument(helpFile);
  if (document.empty()) return Tell("The help file \"" + helpFile + "\" is not installed.");
  const std::optional<std::string> anchor = Anchor(command, data, text);
  if (!anchor) {
    return Tell("The help command " + (text.empty() ? std::to_string(command) : "\"" + text + "\"") +
                " is not supported.");
  }
  QUrl url = QUrl::fromLocalFile(vantrel::qt::ToQString(document));
  if (!anchor->empty()) url.setFragment(vantrel::qt::ToQString(*anchor));
  // Above 32: the desktop's opener started.
  if (ShellExecute(nullptr, "open", vantrel::qt::FromQString(url.toString()), "", "", SW_SHOWNORMAL) > 32)
    return true;
  return Tell("There is no help viewer on this desktop to show \"" + document + "\".");
}

}  // namespace vantrel::dialogs
