// The report's components in layout streams: every kind with settings that
// differ from its defaults and references by name (reset group, shift
// master, pipeline) comes back the same from the text and the binary form.

#include <gtest/gtest.h>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "report/components/ppdbtext.h"
#include "report/components/ppgraph.h"
#include "report/components/ppstrtch.h"
#include "report/model/reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

// A stretchable that streams as the real kinds do.
class TStreamedStretch : public TppStretchable {
  DECLARE_CLASS(TStreamedStretch, TppStretchable)
 public:
  explicit TStreamedStretch(TComponent* owner = nullptr) : TppStretchable(owner) {}
};
IMPLEMENT_CLASS(TStreamedStretch, TppStretchable)

template <class T>
T* Make(ReportRig& r, TppBand* band, const std::string& name) {
  auto* c = new T(&r.form);
  c->SetName(name);
  c->SetBand(band);
  c->SetmmBounds(1000, 2000, 30000, 4000);
  return c;
}

std::string BinaryRoundTrip(TComponent* form) {
  TMemoryStream stream;
  WriteComponentToStream(&stream, form);
  stream.SetPosition(0);
  std::unique_ptr<TComponent> copy(ReadComponentFromStream(&stream, nullptr));
  return WriteComponentToText(copy.get());
}

TEST(ComponentStreams, EveryKindComesBackFromTextAndBinaryForms) {
  ReportRig r(1);
  auto* detail = r.AddBand<TppDetailBand>(30 * kMM);
  detail->SetName("Report1DetailBand1");
  detail->SetPrintHeight(phDynamic);
  TppGroup* group = r.AddGroup("Grp", 5 * kMM, 5 * kMM);
  group->SetName("Report1Group1");
  group->HeaderBand()->SetName("Report1GroupHeaderBand1");
  group->FooterBand()->SetName("Report1GroupFooterBand1");

  auto* text = Make<TppDBText>(r, detail, "DBText1");
  text->SetDataPipeline(r.pipeline);
  text->SetDataField("Name");
  text->SetSuppressRepeatedValues(true);
  text->SetDisplayFormat("!>L");
  auto* calc = Make<TppDBCalc>(r, group->FooterBand(), "DBCalc1");
  calc->SetDataPipeline(r.pipeline);
  calc->SetDataField("ID");
  calc->SetDBCalcType(dcAverage);
  calc->SetResetGroup(group);
  auto* value = Make<TppCalc>(r, detail, "Calc1");
  value->SetCalcType(ctCustom);
  value->SetCustomType(dtString);
  auto* shape = Make<TppShape>(r, detail, "Shape1");
  shape->SetShape(stCircle);
  shape->Pen()->SetWidth(3);
  auto* line = Make<TppLine>(r, detail, "Line1");
  line->SetPosition(lpRight);
  line->SetStyle(lsDouble);
  auto* image = Make<TppImage>(r, detail, "Image1");
  image->Picture()->Bitmap()->SetSize(3, 2);
  image->SetStretch(true);
  auto* dbImage = Make<TppDBImage>(r, detail, "DBImage1");
  dbImage->SetAutoDisplay(false);
  dbImage->SetDataPipeline(r.pipeline);
  dbImage->SetDataField("Name");
  auto* master = Make<TStreamedStretch>(r, detail, "Stretch1");
  master->SetStretch(true);
  master->SetmmBottomOffset(5 * kMM);
  auto* dependent = Make<TStreamedStretch>(r, detail, "Stretch2");
  dependent->SetShiftRelativeTo(master);
  dependent->SetmmOverFlowOffset(7 * kMM);

  const std::string stored = WriteComponentToText(&r.form);
  for (const char* key :
       {"DataField = 'Name'", "SuppressRepeatedValues = True", "DBCalcType = dcAverage",
        "ResetGroup = Report1Group1", "CalcType = ctCustom", "CustomType = dtString",
        "Shape = stCircle", "Position = lpRight", "Style = lsDouble", "AutoDisplay = False",
        "Stretch = True", "mmBottomOffset = 5000", "ShiftRelativeTo = Stretch1",
        "mmOverFlowOffset = 7000", "DataPipeline = plData"})
    EXPECT_NE(std::string::npos, stored.find(key)) << key;

  std::unique_ptr<TComponent> read(ReadComponentFromText(stored, nullptr));
  EXPECT_EQ(stored, WriteComponentToText(read.get()));
  EXPECT_EQ(stored, BinaryRoundTrip(&r.form));

  auto* readCalc = dynamic_cast<TppDBCalc*>(read->FindComponent("DBCalc1"));
  auto* readDependent = dynamic_cast<TppStretchable*>(read->FindComponent("Stretch2"));
  ASSERT_TRUE(readCalc && readDependent);
  EXPECT_EQ(read->FindComponent("Report1Group1"), readCalc->ResetGroup());
  EXPECT_EQ(read->FindComponent("Stretch1"), readDependent->ShiftRelativeTo());
  EXPECT_EQ(3, dynamic_cast<TppImage*>(read->FindComponent("Image1"))->Picture()->Width());
}

}  // namespace
