// Output speed of the report: a 1,000-record listing (30 pages: 3 per 100
// records, five saved fields a record, a header and a "Page n of m" footer)
// published from hand-made pages to the 600-dpi PDF printer and to the
// text-file device, the whole run each time, in a scratch folder.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/classlib/controls/forms.h"
#include "report/output/ppprndev.h"
#include "report/output/pptxtdev.h"

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

}  // namespace
