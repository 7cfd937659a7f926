// The saved-filters file: the input is the whole file. Listing, checking and
// loading never write it; a damaged set is never loaded in part; deleting a
// set leaves the other names; a set saved from what was loaded is listed.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "datactrls/wwfltdlg.h"
#include "datactrls/wwsavedfilters.h"
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

const std::string& Path() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-fuzz-XXXXXX").string();
    return std::string(::mkdtemp(pattern.data())) + "/SavedFilters.txt";
  }();
  return path;
}

std::string Bytes() {
  std::ifstream in(Path(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Names(TwwSaveFilter& store) {
  TStringList list;
  store.GetFilterNames(&list);
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::Text(data, size);
  TDialogResponderScope boxes([](TDialogRequest& r) { return r.Buttons.empty() ? mrOk : r.Buttons.front(); });
  WriteFileAtomically(Path(), input);
  TwwFilterDialog dialog;
  TwwSaveFilter store;
  store.FilePath = Path();
  store.SetwwFilterDialog(&dialog);

  const std::vector<std::string> names = Names(store);
  for (const std::string& name : names) {
    fuzz::Require(store.FilterExists(name), "a listed name exists");
    fuzz::Require(store.LoadFilter(name), "a listed set loads");
  }
  fuzz::Require(Bytes() == input, "reading never rewrites the file");

  // A damaged set leaves the conditions as they were. A damaged set whose
  // name an earlier good set holds loads that one, so what "as they were"
  // means is taken afresh before each load.
  TStringList lines;
  lines.SetText(input);
  for (const TwwSavedFilterSet& set : wwReadSavedFilterSets(&lines, store.Delimiter)) {
    if (set.Damage.empty() || !store.FilterExists(set.Name)) continue;
    const std::size_t before = dialog.FieldInfo().size();
    if (!store.LoadFilter(set.Name))
      fuzz::Require(dialog.FieldInfo().size() == before, "a failed load changes nothing");
  }

  if (names.empty()) return 0;
  const bool saved = store.SaveFilter(names.front() + " again");
  fuzz::Require(!saved || store.FilterExists(names.front() + " again"), "a saved set exists");
  store.DeleteFilter(names.back());
  std::vector<std::string> left = Names(store);
  fuzz::Require(left.size() + 1 >= names.size(), "deleting removes one set");
  return 0;
}
