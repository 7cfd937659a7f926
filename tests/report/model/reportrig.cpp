#include "reportrig.h"

#include "platform/classlib/core/format.h"

void TCaptureDevice::ReceivePage(TppPage* page) {
  TppDevice::ReceivePage(page);
  ++Received;
  if (!PageRequested || SkipPage) return;
  auto copy = std::make_unique<TppPage>();
  copy->Assign(page);
  Pages.push_back(std::move(copy));
}

IMPLEMENT_CLASS(TTestFieldText, TppCustomText)

void TTestFieldText::GetFormattedText(std::string& text) {
  text = DataPipeline() && !DataField().empty() ? DataPipeline()->GetFieldAsString(DataField())
                                                : Text();
}

std::string Describe(const TppPage& page) {
  std::string out;
  for (int i = 0; i < page.DrawCommandCount(); ++i) {
    TppDrawCommand* c = page.DrawCommands(i);
    auto* text = dynamic_cast<TppDrawText*>(c);
    out += std::to_string(c->Top) + ":" + (text ? text->Text : c->ClassName()) + "\n";
  }
  return out;
}

ReportRig::ReportRig(int rows, int groupSize) : data(std::make_unique<TMemDataSet>()) {
  data->FieldDefs().Add("ID", ftInteger);
  data->FieldDefs().Add("Grp", ftString, 10);
  data->FieldDefs().Add("Name", ftString, 20);
  data->Open();
  for (int i = 1; i <= rows; ++i)
    data->AppendRecord({Variant(i), Variant("G" + std::to_string((i - 1) / groupSize + 1)),
                        Variant("N" + std::to_string(i))});
  data->First();
  source.SetDataSet(data.get());
  form.SetName("Form1");
  pipeline = new TppBDEPipeline(&form);
  pipeline->SetName("plData");
  pipeline->SetDataSource(&source);
  report = new TppReport(&form);
  report->SetName("Report1");
  report->SetDataPipeline(pipeline);
  device.SetPublisher(report->Publisher());
}

ReportRig::~ReportRig() {
  device.SetPublisher(nullptr);
  delete report;
}

TppGroup* ReportRig::AddGroup(const std::string& field, int32_t headerHeight,
                              int32_t footerHeight) {
  auto* group = new TppGroup(&form);
  group->SetReport(report);
  group->SetBreakName(field);
  group->SetDataPipeline(pipeline);
  auto* header = new TppGroupHeaderBand(&form);
  header->SetmmHeight(headerHeight);
  header->SetGroup(group);
  auto* footer = new TppGroupFooterBand(&form);
  footer->SetmmHeight(footerHeight);
  footer->SetGroup(group);
  return group;
}

TppCustomText* ReportRig::AddText(TppBand* band, const std::string& field, int32_t top,
                                  int32_t height, const std::string& caption) {
  auto* text = new TTestFieldText(&form);
  text->SetAutoSize(false);
  text->SetCaption(caption.empty() ? field : caption);
  text->SetBand(band);
  text->SetmmBounds(0, top, 50000, height);
  if (!field.empty()) {
    text->SetDataPipeline(pipeline);
    text->SetDataField(field);
  }
  return text;
}

void ReportRig::Print(TppPageRequestType kind, int pageNo, const std::vector<int>& pages) {
  device.Pages.clear();
  device.Received = 0;
  device.ResetPageRequest();
  device.PageRequest = kind;
  device.PageNo = pageNo;
  for (int p : pages) device.PageList.Add(ppPageKey(p));
  report->PrintPages();
}

Listing::Listing(int rows, int groupSize) : ReportRig(rows, groupSize) {
  constexpr int32_t kBandHeight = 10000;
  header = AddBand<TppHeaderBand>(kBandHeight);
  AddText(header, "", 0, 4000, "Head");
  detail = AddBand<TppDetailBand>(kBandHeight);
  AddText(detail, "ID", 0);
  footer = AddBand<TppFooterBand>(kBandHeight);
  AddText(footer, "", 0, 4000, "Foot");
}

std::vector<std::string> ReportRig::Texts() const {
  std::vector<std::string> out;
  for (const auto& page : device.Pages) {
    std::string line;
    for (int i = 0; i < page->DrawCommandCount(); ++i)
      if (auto* t = dynamic_cast<TppDrawText*>(page->DrawCommands(i)))
        line += (line.empty() ? "" : " ") + t->Text;
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> ReportRig::Pages() const {
  std::vector<std::string> out;
  for (const auto& page : device.Pages) out.push_back(Describe(*page));
  return out;
}
