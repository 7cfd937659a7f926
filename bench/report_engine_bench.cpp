// Generation speed of the report engine: a two-pass listing of 1,000
// in-memory records (a group every 50, "Page n of m" in the footer, about
// three pages per 100 records) on a 600-dpi virtual printer into a device
// that keeps the pages. Measured: the whole run in one and in two passes,
// and a revisit of one page (early and late) with CachePages off, which
// must generate exactly that page from the state cached before it.
//
// Counters: pages, pages generated per iteration, and the state-cache bytes
// with the bytes expected from (pages + 1) x the sum of the record sizes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/printers/printers.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppdevice.h"
#include "report/output/ppprintr.h"

namespace {

constexpr int kRecords = 1000;
constexpr int kRun = 50;          // records of one group run
constexpr int32_t kBand = 5000;   // every band 5 mm high
constexpr int32_t kPageBand = 10000;

// Records as a pipeline sees them: ID and the group field; the position is
// the whole state a page needs (4 bytes of the pipeline's 12-byte record).
class TArrayPipeline : public TppDataPipeline {
 public:
  TArrayPipeline() { SetRecordSize(12); }
  // A dataset's flags: set by moving past either end, the record stays.
  bool IsDataBof() override { return bof_; }
  bool IsDataEof() override { return eof_; }
  void CloseData() override {}
  bool GetActive() override { return true; }
  void GotoFirstRecord() override { Goto(0, true, false); }
  void GotoLastRecord() override { Goto(kRecords - 1, false, true); }
  void OpenData() override { GotoFirstRecord(); }
  using TppDataPipeline::MoveBy;
  void MoveBy(int distance) override {
    const int target = pos_ + distance;
    Goto(std::clamp(target, 0, kRecords - 1), target < 0, target >= kRecords);
  }
  void FreeBookmark(int32_t) override {}
  int32_t GetBookmark() override { return pos_ + 1; }
  void GotoBookmark(int32_t bookmark) override { Goto(bookmark - 1, false, false); }
  std::string GetDataName() override { return "Records"; }
  bool GetFieldNames(TStrings* list) override {
    list->Clear();
    list->Add("ID");
    list->Add("ProgramNumber");
    return true;
  }
  TAlignment GetFieldAlignment(const std::string&) override { return taLeftJustify; }
  double GetFieldAsDouble(const std::string&) override { return pos_; }
  TBlobField* GetBlobField(const std::string&) override { return nullptr; }
  std::string GetFieldAsString(const std::string& name) override {
    return name == "ID" ? std::to_string(pos_ + 1) : "P" + std::to_string(pos_ / kRun);
  }
  TppDataType GetFieldDataType(const std::string&) override { return dtString; }
  int GetFieldDisplayWidth(const std::string&) override { return 10; }
  bool IsFieldCalculated(const std::string&) override { return false; }
  int GetFieldSize(const std::string&) override { return 10; }
  Variant GetFieldValue(const std::string& name) override { return Variant(GetFieldAsString(name)); }
  void SaveToCache(int pageNo) override {
    uint8_t record[12] = {};
    std::memcpy(record, &pos_, sizeof pos_);
    record[4] = bof_;
    record[5] = eof_;
    WriteCacheRecord(pageNo, record);
  }
  void RestoreFromCache(int pageNo) override {
    uint8_t record[12] = {};
    ReadCacheRecord(pageNo, record);
    std::memcpy(&pos_, record, sizeof pos_);
    bof_ = record[4] != 0;
    eof_ = record[5] != 0;
    UpdateDataState();
  }

 private:
  void Goto(int pos, bool bof, bool eof) {
    pos_ = pos;
    bof_ = bof;
    eof_ = eof;
  }
  int pos_ = 0;
  bool bof_ = true, eof_ = false;
};

// A field of the pipeline, or "Page n of m" when no field is given.
class TBenchText : public TppCustomText {
 public:
  using TppCustomText::TppCustomText;
  bool IsDataAware() const override { return true; }
  void GetFormattedText(std::string& text) override {
    if (!field.empty()) {
      text = pipeline->GetFieldAsString(field);
      return;
    }
    TppEngine* engine = Band()->Engine();
    text = "Page " + std::to_string(engine->GetPageNo()) + " of " +
           std::to_string(engine->GetPageCount());
  }
  std::string field;
  TppDataPipeline* pipeline = nullptr;
};

// Keeps the final pages it is given, as a preview would.
class TKeepingDevice : public TppDevice {
 public:
  void ReceivePage(TppPage* page) override {
    TppDevice::ReceivePage(page);
    if (PageRequested && !SkipPage) ++kept;
  }
  int kept = 0;
};

void InstallPrinter() {
  static bool done = [] {
    Application->Initialize();
    auto device = std::make_unique<TRecordingPrinter>("Virtual 600", 600);
    device->SetPapers({{DMPAPER_LETTER, "Letter", {2159, 2794}}});
    Printer()->AddPrinter(std::move(device));
    ppPrinters()->Refresh();
    return true;
  }();
  (void)done;
}

struct Listing {
  explicit Listing(TppPassSettingType passes) {
    InstallPrinter();
    report = new TppReport(&form);
    report->SetDataPipeline(&pipeline);
    TppPrinterSetup* setup = report->PrinterSetup();
    setup->SetPrinterName("Virtual 600");
    setup->SetPaperName("Letter");
    setup->SetOrientation(poLandscape);
    report->SetPassSetting(passes);
    AddText(Band<TppHeaderBand>(kPageBand), "ProgramNumber");
    AddText(Band<TppDetailBand>(kBand), "ID");
    AddText(Band<TppFooterBand>(kPageBand), "");
    auto* group = new TppGroup(&form);
    group->SetReport(report);
    group->SetBreakName("ProgramNumber");
    group->SetDataPipeline(&pipeline);
    auto* header = new TppGroupHeaderBand(&form);
    header->SetmmHeight(kBand);
    header->SetGroup(group);
    AddText(header, "ProgramNumber");
    auto* footer = new TppGroupFooterBand(&form);
    footer->SetmmHeight(kBand);
    footer->SetGroup(group);
    AddText(footer, "ProgramNumber");
    device.SetPublisher(report->Publisher());
  }
  ~Listing() {
    device.SetPublisher(nullptr);
    delete report;
  }
  template <class B>
  B* Band(int32_t height) {
    auto* band = new B(&form);
    band->SetmmHeight(height);
    band->SetReport(report);
    return band;
  }
  void AddText(TppBand* band, const std::string& field) {
    auto* text = new TBenchText(&form);
    text->SetAutoSize(false);
    text->SetBand(band);
    text->SetmmBounds(0, 0, 60000, 4000);
    text->field = field;
    text->pipeline = &pipeline;
  }
  void Request(TppPageRequestType kind, int pageNo = 1) {
    device.ResetPageRequest();
    device.PageRequest = kind;
    device.PageNo = pageNo;
    device.kept = 0;
    report->PrintPages();
  }
  // Bytes the page-state cache holds, each stream once.
  int64_t CacheBytes() const {
    std::set<TStream*> streams;
    int64_t bytes = 0;
    for (TppCacheable* object : report->CacheManager()->Objects())
      if (TStream* s = object->CacheStream(); s && streams.insert(s).second) bytes += s->Size();
    return bytes;
  }
  int64_t RecordBytes() const {
    int64_t bytes = 0;
    for (TppCacheable* object : report->CacheManager()->Objects()) bytes += object->RecordSize();
    return bytes;
  }

  TComponent form{nullptr};
  TArrayPipeline pipeline;
  TppReport* report;
  TKeepingDevice device;
};

void WholeRun(benchmark::State& state, TppPassSettingType passes) {
  Listing listing(passes);
  for (auto _ : state) {
    listing.report->Engine()->Reset();
    listing.report->Publisher()->Reset();
    listing.Request(prAll);
  }
  const int pages = listing.report->Engine()->AbsolutePageCount();
  state.counters["pages"] = pages;
  state.counters["cache_bytes"] = double(listing.CacheBytes());
  state.counters["expected_bytes"] = double((pages + 1) * listing.RecordBytes());
}

void BM_OnePassRun(benchmark::State& state) { WholeRun(state, psOnePass); }
void BM_TwoPassRun(benchmark::State& state) { WholeRun(state, psTwoPass); }
BENCHMARK(BM_OnePassRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoPassRun)->Unit(benchmark::kMillisecond);

// One page again after the whole run: from the state cached before it.
void BM_Revisit(benchmark::State& state) {
  Listing listing(psTwoPass);
  listing.Request(prAll);
  const int pages = listing.report->Engine()->AbsolutePageCount();
  const int target = state.range(0) == 0 ? 2 : pages - 1;
  const int64_t bytesBefore = listing.CacheBytes();
  for (auto _ : state) listing.Request(prOnePage, target);
  if (listing.report->Engine()->PagesGenerated() != 1 || listing.device.kept != 1)
    state.SkipWithError("a revisit must generate exactly one page");
  if (listing.CacheBytes() != bytesBefore) state.SkipWithError("a revisit changed the cache");
  state.counters["page"] = target;
  state.counters["generated"] = listing.report->Engine()->PagesGenerated();
}
BENCHMARK(BM_Revisit)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
