// Report templates from anywhere: any stored bytes load or fail with the
// template's or the reader's error, and a failed load leaves the report with
// the layout it had, band for band.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "report/data/pptmpl.h"
#include "report/model/ppbands.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"

namespace {

std::string Shape(const TppCustomReport& report) {
  std::string out;
  for (int b = 0; b < report.BandCount(); ++b) {
    const TppBand* band = report.Bands(b);
    out += band->ClassName() + std::to_string(band->mmHeight()) + ":" +
           std::to_string(band->ComponentCount()) + " ";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Application->Initialize();
  // Reader errors are refused, as a user pressing Cancel would.
  TDialogResponderScope refuse([](TDialogRequest&) { return mrCancel; });
  TComponent form(nullptr);
  form.SetName("Form1");
  auto* report = new TppReport(&form);
  report->SetName("Report1");
  report->CreateDefaultBands();
  auto* label = new TppLabel(&form);
  label->SetName("Label1");
  label->SetBand(report->FindBand(bkDetail));
  TppReportTemplate tmpl(report);
  const std::string before = Shape(*report);
  try {
    tmpl.LoadFromBytes(fuzz::Text(data, size));
  } catch (const Exception&) {
    fuzz::Require(Shape(*report) == before, "a failed load changed the layout");
  }
  delete report;
  return 0;
}
