#pragma once
// A report for the stretching components: one record (or more), a header
// band shown only on the pages a test chooses, above a dynamic detail band.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "report/model/reportrig.h"

// Counts the reads of each field of its data.
class TCountingPipeline : public TppBDEPipeline {
 public:
  using TppBDEPipeline::TppBDEPipeline;
  std::string GetFieldAsString(const std::string& name) override {
    ++reads[name];
    return TppBDEPipeline::GetFieldAsString(name);
  }
  std::map<std::string, int> reads;
};

struct StretchRig : ReportRig {
  static constexpr int32_t kMM = 1000;
  explicit StretchRig(int32_t headerHeight, int rows = 1) : ReportRig(rows) {
    header = AddBand<TppHeaderBand>(headerHeight);
    header->BeforePrint = [this](TObject*) {
      header->SetVisible(headerOn(report->Engine()->AbsolutePageNo()));
    };
    detail = AddBand<TppDetailBand>(10 * kMM);
    detail->SetPrintHeight(phDynamic);
  }
  // The commands of class C, page by page.
  template <class C>
  std::vector<std::vector<C*>> Commands() {
    Print();
    std::vector<std::vector<C*>> out;
    for (const auto& page : device.Pages) {
      out.emplace_back();
      for (int i = 0; i < page->DrawCommandCount(); ++i)
        if (auto* c = dynamic_cast<C*>(page->DrawCommands(i))) out.back().push_back(c);
    }
    return out;
  }
  std::function<bool(int page)> headerOn = [](int) { return false; };
  TppHeaderBand* header;
  TppDetailBand* detail;
};
