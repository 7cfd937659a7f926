#pragma once
// A small report on an in-memory dataset for the engine tests: a form that
// owns a report, its bands and texts; a pipeline over rows ID, Grp, Name;
// and a device that keeps a copy of every page it is given to output.

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/memdataset.h"
#include "report/data/ppdbbde.h"
#include "report/model/ppbands.h"
#include "report/model/ppengine.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppdevice.h"

// Keeps a copy of each page it outputs (requested, final pages only).
class TCaptureDevice : public TppDevice {
 public:
  using TppDevice::TppDevice;
  void ReceivePage(TppPage* page) override;
  std::vector<std::unique_ptr<TppPage>> Pages;
  int Received = 0;  // every page the publisher handed on
};

// Shows a field of its pipeline, as the data texts do.
class TTestFieldText : public TppCustomText {
  DECLARE_CLASS(TTestFieldText, TppCustomText)
 public:
  explicit TTestFieldText(TComponent* owner = nullptr) : TppCustomText(owner) {}
  bool IsDataAware() const override { return true; }
  void GetFormattedText(std::string& text) override;
};

// "top:text" for each text command of a page, one a line; shapes and other
// commands as "top:Class".
std::string Describe(const TppPage& page);

struct ReportRig {
  // `rows` records; Grp changes every `groupSize` records ("G1", "G2", ...).
  explicit ReportRig(int rows, int groupSize = 1000);
  ~ReportRig();

  // A band of the report (kinds: TppHeaderBand ...), `height` thousandths.
  template <class B>
  B* AddBand(int32_t height) {
    auto* band = new B(&form);
    band->SetmmHeight(height);
    band->SetReport(report);
    return band;
  }
  TppGroup* AddGroup(const std::string& field, int32_t headerHeight, int32_t footerHeight);
  // A text showing `field` (or the caption when the field is empty).
  TppCustomText* AddText(TppBand* band, const std::string& field, int32_t top,
                         int32_t height = 4000, const std::string& caption = "");
  // Asks for pages as a device does and runs the job.
  void Print(TppPageRequestType kind = prAll, int pageNo = 1,
             const std::vector<int>& pages = {});
  std::vector<std::string> Pages() const;
  // The texts of each page joined by blanks.
  std::vector<std::string> Texts() const;

  TComponent form{nullptr};
  std::unique_ptr<TMemDataSet> data;
  TDataSource source;
  TppBDEPipeline* pipeline;
  TppReport* report;
  TCaptureDevice device;
};

// Header ("Head"), detail (ID) and footer ("Foot") bands of 10 mm on letter
// paper: 24 details fit between header and footer.
struct Listing : ReportRig {
  explicit Listing(int rows, int groupSize = 1000);
  std::vector<std::string> Joined() const { return Texts(); }
  TppHeaderBand* header;
  TppDetailBand* detail;
  TppFooterBand* footer;
};
