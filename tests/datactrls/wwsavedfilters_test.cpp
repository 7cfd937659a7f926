// Saved filters over a real file and a real engine table: the file byte for
// byte, names matched on name lines only, values the file cannot hold, and
// damaged files that load what is readable and change nothing else.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "datactrls/wwsavedfilters.h"
#include "filtertestdata.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/core/child_writers.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/lists.h"

namespace {

using namespace filtertest;

class SavedFilters : public LocalFilter {
 protected:
  void SetUp() override {
    LocalFilter::SetUp();
    store.FilePath = dir_ + "/SavedFilters.txt";
    store.SetwwFilterDialog(&dialog);
  }
  std::string File() const {
    std::ifstream in(store.FilePath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& bytes) { WriteFileAtomically(store.FilePath, bytes); }
  std::vector<std::string> Names() {
    TStringList list;
    store.GetFilterNames(&list);
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
    return names;
  }
  TwwSaveFilter store;
};

const char* const kTwoSets =
    "Open crashes\r\n"
    "\tNotes\t1\tcrash or null\t\t\tFalse\r\n"
    "\tAge\t4\t\t\t30\tFalse\r\n"
    "///\r\n"
    "Mine\r\n"
    "Name\tName\t2\tNew report\t\t\tTrue\r\n"
    "///\r\n";

TEST_F(SavedFilters, SetsRoundTripByteForByte) {
  Set({{"Notes", fdMatchAny, "crash or null", "", "", false, true}, {"Age", fdMatchRange, "", "", "30"}});
  EXPECT_TRUE(store.SaveFilter("Open crashes"));
  Set({{"Name", fdMatchExact, "New report", "", "", true}});
  dialog.FieldInfo()[0]->FieldName = "Name";
  EXPECT_TRUE(store.SaveFilter("Mine"));
  EXPECT_EQ(File(), kTwoSets);  // non-matching is not stored

  EXPECT_TRUE(store.LoadFilter("Open crashes"));  // loaded and applied at once
  EXPECT_EQ(Shown(), (Ids{1, 4, 5}));
  ASSERT_EQ(dialog.FieldInfo().size(), 2u);
  EXPECT_FALSE(dialog.FieldInfo()[0]->NonMatching);
  EXPECT_TRUE(store.DeleteFilter("Open crashes"));
  EXPECT_TRUE(store.SaveFilter("Open crashes"));  // saved back from what was loaded
  EXPECT_EQ(File(), std::string(kTwoSets).substr(std::string(kTwoSets).find("Mine")) +
                        std::string(kTwoSets).substr(0, std::string(kTwoSets).find("Mine")));
  EXPECT_FALSE(store.LoadFilter("Nobody"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Mine", "Open crashes"}));
}

TEST_F(SavedFilters, OverwritingAsksOnceAndKeepsOneSetAtTheEnd) {
  TModalResult answer = mrNo;
  TDialogResponderScope boxes([&](TDialogRequest&) { return answer; });
  Write(kTwoSets);
  Set({{"Name", fdMatchStart, "low"}});
  EXPECT_FALSE(store.SaveFilter("Open crashes"));
  EXPECT_EQ(File(), kTwoSets);
  ASSERT_EQ(boxes.Count(), 1);
  EXPECT_EQ(boxes.Texts()[0], "\"Open crashes\" already exists.  Overwrite?");
  answer = mrYes;
  EXPECT_TRUE(store.SaveFilter("Open crashes"));
  EXPECT_EQ(File(), "Mine\r\nName\tName\t2\tNew report\t\t\tTrue\r\n///\r\n"
                    "Open crashes\r\n\tName\t0\tlow\t\t\tFalse\r\n///\r\n");
  store.OverwriteMessage = false;
  EXPECT_TRUE(store.SaveFilter("Mine"));
  EXPECT_EQ(boxes.Count(), 2);
}

TEST_F(SavedFilters, OnlyNameLinesAreNames) {
  TDialogResponderScope boxes([](TDialogRequest& r) { return r.Buttons.front(); });
  Write(kTwoSets);
  const std::string conditionLine = "\tAge\t4\t\t\t30\tFalse";
  EXPECT_FALSE(store.FilterExists(conditionLine));
  EXPECT_FALSE(store.FilterExists("///"));
  EXPECT_FALSE(store.DeleteFilter("///"));
  EXPECT_EQ(File(), kTwoSets);
  Set({{"Name", fdMatchStart, "a\tb"}});
  EXPECT_FALSE(store.SaveFilter("Tabbed"));  // a TAB would split the field
  Set({{"Name", fdMatchStart, "x"}});
  EXPECT_FALSE(store.SaveFilter("///"));
  EXPECT_FALSE(store.SaveFilter("two\nlines"));
  EXPECT_FALSE(store.SaveFilter(""));
  EXPECT_EQ(File(), kTwoSets);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                               "The filter cannot be saved: the value of field \"Name\" holds a TAB or a line "
                               "break, which the saved-filters file cannot store.",
                               "A saved filter cannot be named \"///\": a name must not equal the delimiter "
                               "line or hold a line break.",
                               "A saved filter cannot be named \"two\nlines\": a name must not equal the "
                               "delimiter line or hold a line break."}));
}

TEST_F(SavedFilters, DamagedFilesLoadWhatIsReadable) {
  struct TCase {
    const char* what;
    std::string bytes;
    int reports;  // warnings while listing: one for all damaged sets
  };
  const std::string good = "Good\r\n\tName\t0\tnew\t\t\tFalse\r\n///\r\n";
  const TCase cases[] = {
      {"truncated", good + "Cut\r\n\tName\t0\tn", 1},
      {"no delimiter", good + "Open\r\n\tName\t0\tnew\t\t\tFalse\r\n", 1},
      {"six fields", "Short\r\n\tName\t0\tnew\t\tFalse\r\n///\r\n" + good, 1},
      {"eight fields", "Long\r\n\tName\t0\tnew\t\t\tFalse\tx\r\n///\r\nOdd\r\n\tName\t9\t\t\t\tFalse\r\n///\r\n" + good, 1},
      {"garbage", std::string("\x01\xff\0", 3) + "zz\t\t\r\nmore\x02garbage\r\n" + "///\r\n" + good, 1},
      {"LF only", "Good\n\tName\t0\tnew\t\t\tFalse\n///\n", 0},
      {"CR only", "Good\r\tName\t0\tnew\t\t\tFalse\r///\r", 0},
      {"empty lines first", "\r\n\r\n" + good, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
    Write(c.bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"Good"});
    EXPECT_EQ(boxes.Count(), c.reports);
    EXPECT_TRUE(store.LoadFilter("Good"));
    EXPECT_EQ(Shown(), (Ids{1}));
    EXPECT_EQ(File(), c.bytes);  // reading never rewrites
  }
}

TEST_F(SavedFilters, AFailedLoadChangesNothing) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  Write("Half\r\n\tName\t0\tnew\t\t\tFalse\r\n\tAge\tx\t\t\t\tFalse\r\n///\r\n");
  Set({{"Name", fdMatchStart, "low"}});
  dialog.ApplyFilter();
  EXPECT_FALSE(store.LoadFilter("Half"));
  ASSERT_EQ(dialog.FieldInfo().size(), 1u);
  EXPECT_EQ(dialog.FieldInfo()[0]->FilterValue, "low");
  EXPECT_EQ(Shown(), (Ids{3}));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"The saved filter \"Half\" is damaged and was not loaded: "
                                                     "line 3 has match type 'x' is no number from 0 to 5"}));
}

TEST_F(SavedFilters, UnterminatedSetsAndMissingFiles) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  EXPECT_EQ(Names(), std::vector<std::string>{});
  EXPECT_THROW(store.LoadFilter("x"), EFOpenError);
  EXPECT_THROW(store.FilterExists("x"), EFOpenError);
  Write("Open\r\n\tName\t0\tnew\t\t\tFalse\r\n");
  Set({{"Name", fdMatchStart, "low"}});
  EXPECT_TRUE(store.SaveFilter("Low"));  // the open set is closed first
  EXPECT_EQ(File(), "Open\r\n\tName\t0\tnew\t\t\tFalse\r\n///\r\nLow\r\n\tName\t0\tlow\t\t\tFalse\r\n///\r\n");
  Write("Open\r\n\tName\t0\tnew\t\t\tFalse\r\n");
  EXPECT_TRUE(store.DeleteFilter("Open"));  // the whole set goes
  EXPECT_EQ(File(), "");
}

TEST_F(SavedFilters, TheSelectionWindowDropsNamesFromItsListOnly) {
  TSelectSaveFilter select(nullptr);
  EXPECT_EQ(select.Caption(), "Select Filter");
  EXPECT_EQ(select.ClientWidth(), 367);
  Write(kTwoSets);
  ASSERT_TRUE(store.GetFilterNames(select.FiltersBox->Items()));
  select.FiltersBox->SetItemIndex(0);
  WORD key = VK_DELETE;
  select.FiltersBox->OnKeyDown(select.FiltersBox, key, {});
  EXPECT_EQ(select.FiltersBox->Items()->Count(), 1);
  EXPECT_EQ(select.FiltersBox->Items()->Strings(0), "Mine");
  EXPECT_EQ(File(), kTwoSets);
}

}  // namespace

// Programs saving and deleting at once: each save and delete holds, and a name
// saved by all keeps exactly one whole set, the last one written.
TEST_F(SavedFilters, ProgramsSavingAtOnceLoseNothing) {
  constexpr int kPrograms = 4;
  constexpr int kSaves = 30;
  store.OverwriteMessage = false;
  Set({{"Name", fdMatchStart, "low"}});
  for (int i = 0; i < kSaves; ++i) ASSERT_TRUE(store.SaveFilter("old " + std::to_string(i)));
  const std::vector<int> codes = RunChildWriters(kPrograms, [&](int program) {
    bool all = true;
    for (int i = 0; i < kSaves; ++i) {
      dialog.FieldInfo()[0]->FilterValue = "program " + std::to_string(program);
      all = store.SaveFilter("p" + std::to_string(program) + " " + std::to_string(i)) && all;
      all = store.SaveFilter("Shared") && all;
      // Each program deletes its share of the old sets.
      if (i % kPrograms == program) all = store.DeleteFilter("old " + std::to_string(i)) && all;
    }
    return all;
  });
  EXPECT_EQ(codes, std::vector<int>(kPrograms, 0));
  const std::vector<std::string> names = Names();
  int lost = 0;
  for (int program = 0; program < kPrograms; ++program)
    for (int i = 0; i < kSaves; ++i)
      lost += std::count(names.begin(), names.end(), "p" + std::to_string(program) + " " + std::to_string(i)) != 1;
  EXPECT_EQ(lost, 0) << "sets lost of " << kPrograms * kSaves;
  EXPECT_EQ(std::count(names.begin(), names.end(), "Shared"), 1);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.starts_with("old "); }), 0);
  EXPECT_EQ(names.size(), std::size_t(kPrograms * kSaves + 1));
  TStringList lines;
  lines.LoadFromFile(store.FilePath);
  for (const TwwSavedFilterSet& set : wwReadSavedFilterSets(&lines, store.Delimiter))
    EXPECT_TRUE(set.Damage.empty() && set.EndLine == set.NameLine + 2) << set.Name << ": " << set.Damage;
}

// Each open, write, flush and rename of a save or a delete may fail: the caller
// is told, the file stays as it was, and no temporary file is left beside it.
TEST_F(SavedFilters, EveryStepOfASaveOrDeleteMayFail) {
  store.OverwriteMessage = false;
  Set({{"Name", fdMatchStart, "low"}});
  auto leftovers = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      n += e.path().filename().string().starts_with(".SavedFilters.txt.");
    return n;
  };
  const std::pair<const char*, std::function<void()>> actions[] = {
      {"save", [&] { store.SaveFilter("New"); }}, {"delete", [&] { store.DeleteFilter("Mine"); }}};
  for (const auto& entry : actions) {
    const char* what = entry.first;
    const std::function<void()>& action = entry.second;
    for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
      Write(kTwoSets);
      bool raised = false;
      const int runs = FailEachCall(
          dir_, call,
          [&] {
            raised = false;
            try {
              action();
            } catch (const Exception&) {
              raised = true;
            }
          },
          [&](int n) {
            EXPECT_TRUE(raised) << what << " " << int(call) << " #" << n;
            EXPECT_EQ(File(), kTwoSets) << what << " " << int(call) << " #" << n;
            EXPECT_EQ(leftovers(), 0) << what << " " << int(call) << " #" << n;
          });
      EXPECT_GE(runs, 1) << what << " " << int(call);
      EXPECT_NE(File(), kTwoSets) << what << ": the run past the last failure changes the file";
    }
  }
}
