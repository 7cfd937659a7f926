#pragma once
// The benchmarks' report: a two-pass-capable listing of 1,000 in-memory
// records (a group every 50, "Page n of m" in the footer, about three pages
// per 100 records) on a 600-dpi virtual printer, into a device that counts
// the final pages it is given. Shared by the engine and output benchmarks.

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

namespace bench_listing {

constexpr int kRecords = 1000;
constexpr int kRun = 50;          // records of one group run
constexpr int32_t kBand = 5000;   // every band 5 mm high
constexpr int32_t kPageBand = 10000;

// Records as a pipeline sees them: ID and the group field; the position is
// the whole state a page needs (4 bytes of the pipeline's 12-byte record).
class TArrayPipeline : public TppDataPipeline {
 public:
  explicit TArrayPipeline(int records = kRecords) : records_(records) { SetRecordSize(12); }
  // A dataset's flags: set by moving past either end, the record stays.
  bool IsDataBof() override { return bof_; }
  bool IsDataEof() override { return eof_; }
  void CloseData() override {}
  bool GetActive() override { return true; }
  void GotoFirstRecord() override { Goto(0, true, false); }
  void GotoLastRecord() override { Goto(records_ - 1, false, true); }
  void OpenData() override { GotoFirstRecord(); }
  using TppDataPipeline::MoveBy;
  void MoveBy(int distance) override {
    const int target = pos_ + distance;
    Goto(std::clamp(target, 0, records_ - 1), target < 0, target >= records_);
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
  int records_;
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

inline void InstallPrinter() {
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
    // Counts the requests that reach the report (the publisher could not serve them).
    TppPublisher* publisher = report->Publisher();
    publisher->OnPageRequest = [this, serve = publisher->OnPageRequest](
                                   TObject* sender, TppPageRequestType kind, TStrings* list,
                                   int pageNo) {
      ++engineRequests;
      serve(sender, kind, list, pageNo);
    };
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
    band->SetSave(true);
    return band;
  }
  void AddText(TppBand* band, const std::string& field) {
    auto* text = new TBenchText(&form);
    text->SetAutoSize(false);
    text->SetBand(band);
    text->SetmmBounds(0, 0, 60000, 4000);
    text->field = field;
    text->pipeline = &pipeline;
    text->SetSave(true);  // a text file gets every field
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
  int engineRequests = 0;
};

}  // namespace bench_listing
