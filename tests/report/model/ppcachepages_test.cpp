// Pages asked for again: with CachePages the publisher serves them from its
// one copy of each final page and the report is not asked; without, the
// publisher keeps nothing and the report makes the one page again. A state
// cache capped at a few KB moves to files mid-run without changing a byte
// of the output.

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "report/output/pptxtdev.h"
#include "reportrig.h"

namespace {

// Counts the requests the publisher passes on to the report.
int* CountRequests(TppReport* report) {
  static int asked = 0;
  asked = 0;
  TppPublisher* publisher = report->Publisher();
  publisher->OnPageRequest = [serve = publisher->OnPageRequest](
                                 TObject* sender, TppPageRequestType kind, TStrings* list,
                                 int pageNo) {
    ++asked;
    serve(sender, kind, list, pageNo);
  };
  return &asked;
}

TEST(PageCache, ARevisitReachesTheReportOnlyWithoutCachePages) {
  for (TppPassSettingType passes : {psOnePass, psTwoPass})
    for (bool cached : {false, true}) {
      Listing r(100);  // five pages
      r.report->SetPassSetting(passes);
      r.report->SetCachePages(cached);
      int* asked = CountRequests(r.report);
      r.Print();
      const std::vector<std::string> whole = r.Pages();
      ASSERT_EQ(whole.size(), 5u);
      const int copies = cached ? 5 : 0;  // one per final page, or none
      EXPECT_EQ(r.report->Publisher()->CachedPageCount(), copies) << cached << passes;
      for (int page : {3, 1, 5}) {
        *asked = 0;
        r.Print(prOnePage, page);
        EXPECT_EQ(*asked, cached ? 0 : 1) << cached << passes;
        EXPECT_EQ(r.Pages(), std::vector<std::string>{whole[size_t(page - 1)]});
        if (!cached) {
          EXPECT_EQ(r.report->Engine()->PagesGenerated(), 1);
        }
        EXPECT_EQ(r.report->Publisher()->CachedPageCount(), copies);
      }
    }
}

// A page list of which only some pages are cached: those come from the
// cache, the others are generated, none is lost.
TEST(PageCache, APageListPartlyCachedDeliversEveryPage) {
  Listing r(100);  // five pages
  r.report->SetCachePages(true);
  r.Print(prOnePage, 3);
  ASSERT_EQ(r.Pages().size(), 1u);
  const std::string third = r.Pages()[0];
  struct Case {
    std::vector<int> pages;
    std::vector<int> delivered;
  };
  const Case cases[] = {{{3, 1}, {1, 3}}, {{1, 3, 5}, {1, 3, 5}}, {{4, 2}, {2, 4}}};
  for (const Case& c : cases) {
    r.Print(prPageList, 1, c.pages);
    std::vector<int> delivered;
    for (const auto& page : r.device.Pages) delivered.push_back(page->AbsolutePageNo);
    std::sort(delivered.begin(), delivered.end());  // cached pages come first
    EXPECT_EQ(delivered, c.delivered) << ::testing::PrintToString(c.pages);
  }
  r.Print(prPageList, 1, {3});
  EXPECT_EQ(r.Pages(), std::vector<std::string>{third});
}

std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PageCache, AStateCacheCappedAtAFewKBMovesToFilesAndWritesTheSameTextFile) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vantrel-cachepages-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // The text file of a two-pass run, and the page on which the cache went to files.
  auto run = [&dir](int64_t cap, const char* name, int& switchedAt) {
    Listing r(1000);  // 42 pages of about 110 state bytes each
    r.report->SetPassSetting(psTwoPass);
    r.detail->SetSave(true);
    for (int i = 0; i < r.detail->ComponentCount(); ++i)
      static_cast<TppCustomText*>(r.detail->Components(i))->SetSave(true);
    r.report->CacheManager()->SetMemoryCap(cap);
    TppTextFileDevice device;
    device.SetFileName((dir / name).string());
    switchedAt = 0;
    device.OnPageReceive = [&](TObject*, TppPage* page) {
      if (switchedAt == 0 && r.report->CacheManager()->Mode() == 1) switchedAt = page->AbsolutePageNo;
    };
    r.device.SetPublisher(nullptr);
    device.SetPublisher(r.report->Publisher());
    device.RequestPages();
    device.SetPublisher(nullptr);
    return FileBytes(dir / name);
  };
  int plainSwitch = 0, cappedSwitch = 0;
  const std::string plain = run(TppCacheManager::kDefaultMemoryCap, "plain.txt", plainSwitch);
  const std::string capped = run(2 << 10, "capped.txt", cappedSwitch);
  EXPECT_EQ(plainSwitch, 0);
  EXPECT_GT(cappedSwitch, 1);   // not from the start:
  EXPECT_LT(cappedSwitch, 42);  // mid-run
  EXPECT_FALSE(plain.empty());
  EXPECT_EQ(capped, plain);
  std::filesystem::remove_all(dir);
}

}  // namespace
