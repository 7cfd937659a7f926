// The printable base: when a data-aware component has data to show.
#include "report/model/ppcomponent.h"

#include <gtest/gtest.h>

#include "reportrig.h"

namespace {

// Every data-aware kind gets the base's whole check, not only the data texts.
TEST(ReportComponents, DataIsAvailableOnlyFromAnActivePipelineWithRecordsAndAField) {
  struct Case {
    const char* name;
    int rows;
    const char* field;
    bool pipeline, open, designer, dataAtDesign, generating, expected;
  };
  const Case cases[] = {
      {"field of an open pipeline", 3, "Name", true, true, false, false, false, true},
      {"no field", 3, "", true, true, false, false, false, false},
      {"no pipeline", 3, "Name", false, true, false, false, false, false},
      {"closed dataset", 3, "Name", true, false, false, false, false, false},
      {"no records", 0, "Name", true, true, false, false, false, false},
      {"designer hides data", 3, "Name", true, true, true, false, false, false},
      {"designer shows data", 3, "Name", true, true, true, true, false, true},
      {"designer while generating", 3, "Name", true, true, true, false, true, true},
  };
  for (const Case& c : cases) {
    ReportRig rig(c.rows);
    auto* detail = rig.AddBand<TppDetailBand>(5000);
    TppCustomText* text = rig.AddText(detail, "Name", 0);
    text->SetDataField(c.field);
    if (!c.pipeline) text->SetDataPipeline(nullptr);
    if (c.open) rig.pipeline->Open();
    else rig.data->Close();
    if (c.designer) text->IncludeState(ppstDesigning);
    if (c.dataAtDesign) text->IncludeState(ppstDataAtDesign);
    if (c.generating) text->IncludePrintState(pppsGenerating);
    EXPECT_EQ(text->IsDataAvailable(), c.expected) << c.name;
  }
  ReportRig rig(3);
  auto* label = new TppLabel(&rig.form);
  EXPECT_FALSE(label->IsDataAvailable()) << "a label is not data-aware";
}

}  // namespace
