// Output speed of the report: a 1,000-record listing (30 pages: 3 per 100
// records, five saved fields a record, a header and a "Page n of m" footer)
// published from hand-made pages to the 600-dpi PDF printer and to the
// text-file device, the whole run each time, in a scratch folder.
//
// Then the engine's two-pass listing (reportlisting.h): the whole run to the
// same two devices, generated each time; the first request of
// page 15 and its revisit, with CachePages set (the publisher serves it: no
// request may reach the report) and off (one page made again from the state
// cache); the pages the publisher keeps and the resident memory over a whole
// run; and a run whose state cache is capped at a few KB, which must move to
// "cch" files mid-run and write the same text file byte for byte.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "report/output/ppprndev.h"
#include "report/output/pptxtdev.h"
#include "reportlisting.h"

namespace {

constexpr int kRecords = 1000;
constexpr int kPages = 30;
constexpr int kRecordsPerPage = (kRecords + kPages - 1) / kPages;
constexpr int32_t kLineHeight = 6000;  // thousandths of a mm

std::filesystem::path ScratchFile(const char* name) {
  static const std::filesystem::path dir = [] {
    Application->Initialize();  // fonts need the window system (offscreen is fine)
    auto d = std::filesystem::temp_directory_path() /
             ("vantrel-output-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir / name;
}

TppDrawText* AddText(TppPage& page, const std::string& text, int32_t left, int32_t top) {
  auto* t = new TppDrawText;
  t->Text = text;
  t->Font()->SetName("Arial");
  t->Font()->SetSize(10);
  t->Transparent = true;
  t->Left = left;
  t->Top = top;
  t->Width = 40000;
  t->Height = kLineHeight;
  t->SetPage(&page);
  return t;
}

// Page `no` of the listing, as the engine would make it.
void FillPage(TppPage& page, int no, const TppPrinterSetup& setup) {
  page.SetPrinterSetup(&setup);
  page.AbsolutePageNo = page.PageNo = no;
  page.AbsolutePageCount = page.PageCount = kPages;
  page.FirstPage = no == 1;
  page.LastPage = no == kPages;
  page.FinalPage = true;
  page.DocumentName = "Defect listing";
  AddText(page, "Defect listing", 6350, 6350);
  const int first = (no - 1) * kRecordsPerPage;
  const int last = std::min(first + kRecordsPerPage, kRecords);
  for (int r = first; r < last; ++r) {
    const int32_t top = 20000 + (r - first) * kLineHeight;
    const std::string fields[] = {std::to_string(1 + r / 50), std::to_string(10000 + r),
                                  "Report total is wrong after filter " + std::to_string(r),
                                  r % 3 ? "Open" : "Closed", "2026-12-06"};
    for (int f = 0; f < 5; ++f) {
      TppDrawText* t = AddText(page, fields[f], 6350 + f * 40000, top);
      t->BandSave = t->Save = true;
      t->SaveLineNo = r;
      t->SaveOrder = f;
    }
  }
  auto* calc = new TppDrawCalc;
  calc->CalcType = ctPageSetDesc;
  calc->Left = 6350;
  calc->Top = 260000;
  calc->Width = 50000;
  calc->Height = kLineHeight;
  calc->SetPage(&page);
  calc->Recalculate();
}

// A publisher that makes every page of the listing when asked.
struct TListing {
  TListing() {
    setup.SetPrinterName("PDF");
    publisher.OnPageRequest = [this](TObject*, TppPageRequestType, TStrings*, int) {
      for (int no = 1; no <= kPages; ++no) {
        TppPage page;
        FillPage(page, no, setup);
        publisher.ReceivePage(&page);
      }
    };
  }
  TppPrinterSetup setup;
  TppPublisher publisher;
};

void BM_ListingToPdf(benchmark::State& state) {
  const std::string file = ScratchFile("listing.pdf").string();
  TListing listing;
  for (auto _ : state) {
    TppPrinterDevice device;
    device.Printer()->SetPrinterSetup(listing.setup);
    device.Printer()->FileName = file;
    device.SetPublisher(&listing.publisher);
    device.RequestPages();
  }
  state.counters["bytes"] = double(std::filesystem::file_size(file));
}
BENCHMARK(BM_ListingToPdf)->Unit(benchmark::kMillisecond);

void BM_ListingToTextFile(benchmark::State& state) {
  const std::string file = ScratchFile("listing.txt").string();
  TListing listing;
  for (auto _ : state) {
    TppTextFileDevice device;
    device.SetFileName(file);
    device.SetPublisher(&listing.publisher);
    device.RequestPages();
  }
  state.counters["bytes"] = double(std::filesystem::file_size(file));
}
BENCHMARK(BM_ListingToTextFile)->Unit(benchmark::kMillisecond);

// ---- the engine's listing ----------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The engine's whole two-pass run, the listing generated afresh each time.
template <class Device>
void EngineRun(benchmark::State& state, const char* name,
               const std::function<void(Device&, const std::string&, TppReport*)>& setUp) {
  const std::string file = ScratchFile(name).string();
  bench_listing::Listing listing(psTwoPass);
  listing.device.SetPublisher(nullptr);
  for (auto _ : state) {
    listing.report->Engine()->Reset();
    listing.report->Publisher()->Reset();
    Device device;
    setUp(device, file, listing.report);
    device.SetPublisher(listing.report->Publisher());
    device.RequestPages();
    device.SetPublisher(nullptr);
  }
  state.counters["pages"] = listing.report->Engine()->AbsolutePageCount();
  state.counters["bytes"] = double(std::filesystem::file_size(file));
}

void BM_EngineListingToPdf(benchmark::State& state) {
  EngineRun<TppPrinterDevice>(state, "engine.pdf",
                              [](TppPrinterDevice& device, const std::string& file, TppReport* report) {
                                report->PrinterSetup()->SetPrinterName("PDF");
                                device.Printer()->SetPrinterSetup(*report->PrinterSetup());
                                device.Printer()->FileName = file;
                              });
}
BENCHMARK(BM_EngineListingToPdf)->Unit(benchmark::kMillisecond);

void BM_EngineListingToTextFile(benchmark::State& state) {
  EngineRun<TppTextFileDevice>(
      state, "engine.txt",
      [](TppTextFileDevice& device, const std::string& file, TppReport*) { device.SetFileName(file); });
}
BENCHMARK(BM_EngineListingToTextFile)->Unit(benchmark::kMillisecond);

// Ratio targets of a revisit to the first request of its page.
constexpr double kCachedRevisitShare = 0.1, kUncachedRevisitShare = 0.25;
constexpr int kRevisitedPage = 15;

// Page 15 asked for on a fresh run, then again: Arg 1 with CachePages set.
void BM_Page15FirstAndRevisit(benchmark::State& state) {
  const bool cached = state.range(0) != 0;
  bench_listing::Listing listing(psTwoPass);
  listing.report->SetCachePages(cached);
  std::vector<double> first, revisit;
  for (auto _ : state) {
    listing.report->Engine()->Reset();
    listing.report->Publisher()->Reset();
    const Clock::time_point start = Clock::now();
    listing.Request(prOnePage, kRevisitedPage);
    const Clock::time_point between = Clock::now();
    const int requestsBefore = listing.engineRequests;
    const int copiesBefore = listing.report->Publisher()->CachedPageCount();
    listing.Request(prOnePage, kRevisitedPage);
    const Clock::time_point end = Clock::now();
    first.push_back(Micros(between - start));
    revisit.push_back(Micros(end - between));
    if (listing.device.kept != 1) state.SkipWithError("the revisit did not output its page");
    if (cached && listing.engineRequests != requestsBefore)
      state.SkipWithError("a cached revisit reached the report");
    if (cached && (copiesBefore != 1 || listing.report->Publisher()->CachedPageCount() != 1))
      state.SkipWithError("the publisher must hold one copy of the page");
    if (!cached && listing.report->Engine()->PagesGenerated() != 1)
      state.SkipWithError("an uncached revisit must make exactly one page");
  }
  const double share = Median(revisit) / Median(first);
  state.counters["first_us"] = Median(first);
  state.counters["revisit_us"] = Median(revisit);
  state.counters["revisit_share"] = share;
  state.counters["meets_target"] = share <= (cached ? kCachedRevisitShare : kUncachedRevisitShare);
}
BENCHMARK(BM_Page15FirstAndRevisit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

// A whole run, the resident memory noted when the device gets page 1 and
// page 30; then every page revisited. Arg 1 with CachePages set.
void BM_PagesKeptOverAWholeRun(benchmark::State& state) {
  const bool cached = state.range(0) != 0;
  bench_listing::Listing listing(psTwoPass);
  listing.report->SetCachePages(cached);
  int64_t afterFirst = 0, afterThirtieth = 0;
  listing.device.OnPageReceive = [&](TObject*, TppPage* page) {
    if (page->AbsolutePageNo == 1) afterFirst = ResidentBytes();
    if (page->AbsolutePageNo == 30) afterThirtieth = ResidentBytes();
  };
  int pages = 0;
  for (auto _ : state) {
    listing.report->Engine()->Reset();
    listing.report->Publisher()->Reset();
    listing.Request(prAll);
    pages = listing.report->Engine()->AbsolutePageCount();
    const int copies = listing.report->Publisher()->CachedPageCount();
    if (copies != (cached ? pages : 0))
      state.SkipWithError(cached ? "one copy per final page expected" : "the publisher kept pages");
    for (int page = 1; page <= pages; ++page) listing.Request(prOnePage, page);
    if (listing.report->Publisher()->CachedPageCount() != copies)
      state.SkipWithError("revisits changed the pages kept");
  }
  state.counters["pages"] = pages;
  state.counters["copies"] = listing.report->Publisher()->CachedPageCount();
  state.counters["rss_growth_mb"] = double(afterThirtieth - afterFirst) / (1 << 20);
}
BENCHMARK(BM_PagesKeptOverAWholeRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The listing to a text file with the state cache capped at a few KB.
constexpr int64_t kCappedCache = 4 << 10;

void BM_CappedStateCacheToTextFile(benchmark::State& state) {
  const std::filesystem::path plain = ScratchFile("capped-reference.txt"),
                              capped = ScratchFile("capped.txt");
  auto run = [](const std::filesystem::path& file, int64_t cap, int* switchedAt) {
    bench_listing::Listing listing(psTwoPass);
    listing.device.SetPublisher(nullptr);
    listing.report->CacheManager()->SetMemoryCap(cap);
    TppTextFileDevice device;
    device.SetFileName(file.string());
    device.OnPageReceive = [&](TObject*, TppPage* page) {
      if (switchedAt && *switchedAt == 0 && listing.report->CacheManager()->Mode() == 1)
        *switchedAt = page->AbsolutePageNo;
    };
    device.SetPublisher(listing.report->Publisher());
    device.RequestPages();
    device.SetPublisher(nullptr);
  };
  run(plain, TppCacheManager::kDefaultMemoryCap, nullptr);
  int switchedAt = 0;
  for (auto _ : state) {
    switchedAt = 0;
    run(capped, kCappedCache, &switchedAt);
  }
  if (switchedAt <= 1) state.SkipWithError("the cache did not move to files mid-run");
  if (FileBytes(plain).empty()) state.SkipWithError("the listing wrote no text");
  if (FileBytes(plain) != FileBytes(capped)) state.SkipWithError("the text files differ");
  state.counters["switched_at_page"] = switchedAt;
  state.counters["bytes"] = double(std::filesystem::file_size(capped));
}
BENCHMARK(BM_CappedStateCacheToTextFile)->Unit(benchmark::kMillisecond);

}  // namespace
