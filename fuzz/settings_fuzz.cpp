// The settings store and initialisation files: the input is the whole of a
// store file and of an ini file. A damaged store is refused with an error;
// everything that reads is walked.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/inifiles.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/core/strings.h"

namespace {

// A scratch folder for the store, made once per process.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-fuzz-XXXXXX").string();
    std::string made = ::mkdtemp(pattern.data());
    ::setenv("VANTREL_REGISTRY_DIR", made.c_str(), 1);
    return made;
  }();
  return folder;
}

// Replaced whole (a new file, renamed over the old), so the store reads it again.
void Put(const std::string& path, const std::string& content) {
  const std::string temp = path + ".new";
  std::ofstream(temp, std::ios::binary) << content;
  std::filesystem::rename(temp, path);
}

void WalkKey(HKEY key, int depth) {
  std::vector<std::string> names;
  regstore::ValueNames(key, names);
  for (const std::string& name : names) {
    regstore::Value value;
    regstore::QueryValue(key, name, value);
  }
  regstore::KeyInfo info;
  regstore::QueryInfo(key, info);
  if (depth > 8) return;
  names.clear();
  regstore::SubKeyNames(key, names);
  for (const std::string& name : names) {
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    WalkKey(child, depth + 1);
    RegCloseKey(child);
  }
}

void ReadIni(const std::string& path) {
  TIniFile ini(path);
  TStringList sections, lines;
  ini.ReadSections(&sections);
  for (int i = 0; i < sections.Count(); ++i) {
    ini.ReadSectionValues(sections[i], &lines);
    ini.ReadSection(sections[i], &lines);
    for (int j = 0; j < lines.Count(); ++j) {
      ini.ReadInteger(sections[i], lines[j], 0);
      ini.ReadDateTime(sections[i], lines[j], TDateTime());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content = fuzz::Text(data, size);
  const std::string& folder = Folder();
  Put(folder + "/HKEY_CURRENT_USER.reg", content);
  try {
    WalkKey(HKEY_CURRENT_USER, 0);
  } catch (const Exception&) {
  }
  Put(folder + "/fuzz.ini", content);
  try {
    ReadIni(folder + "/fuzz.ini");
  } catch (const Exception&) {
  }
  return 0;
}
