#pragma once
// A report for the output tests: a publisher whose page requests make pages
// of a fixed count, one or two passes, each page carrying a "Page n of m"
// text and a box, with the hooks the viewer and the forms call.

#include <functional>
#include <vector>

#include "report/output/ppdevice.h"
#include "report/output/ppforms.h"
#include "report/output/ppprintr.h"

namespace testing_support {

class TFakeReport : public TppReportLink {
 public:
  explicit TFakeReport(int pages) : pages_(pages) {
    setup_.SetDocumentName("Defects");
    publisher_.OnPageRequest = [this](TObject*, TppPageRequestType kind, TStrings*, int pageNo) {
      requests.push_back(kind == prOnePage ? pageNo : -int(kind));
      generating_ = true;
      Generate(kind, pageNo);
      generating_ = false;
    };
  }
  TppPublisher* ReportPublisher() override { return &publisher_; }
  TppPrinterSetup* ReportPrinterSetup() override { return &setup_; }
  bool Generating() const override { return generating_; }
  void CancelGeneration() override { cancelled = true; }
  void PrintFromPreview(int currentPage) override { printedFrom.push_back(currentPage); }

  // The pages of a counting pass come first (the requested one as a draft).
  bool TwoPass = false;
  // Called before each page is published (a test may cancel or look).
  std::function<void(TppPage&)> OnPage;
  std::vector<int> requests;  // page numbers, or minus the kind of other requests
  std::vector<int> printedFrom;
  bool cancelled = false;

 private:
  void Publish(int no, int count, bool final, bool firstPass) {
    TppPage page;
    page.SetPrinterSetup(&setup_);
    page.AbsolutePageNo = page.PageNo = no;
    page.AbsolutePageCount = page.PageCount = count;
    page.FirstPage = no == 1;
    page.LastPage = no == pages_;
    page.FinalPage = final;
    page.FirstPassPage = firstPass;
    page.PassSetting = TwoPass ? psTwoPass : psOnePass;
    page.DocumentName = "Defects";
    auto* calc = new TppDrawCalc;
    calc->CalcType = ctPageSetDesc;
    calc->Left = calc->Top = 25400;
    calc->Width = 50800;
    calc->Height = 5000;
    calc->SetPage(&page);
    calc->Recalculate();
    if (OnPage) OnPage(page);
    publisher_.ReceivePage(&page);
  }
  void Generate(TppPageRequestType kind, int pageNo) {
    const int wanted = kind == prOnePage ? pageNo : kind == prLastPage ? pages_ : 1;
    for (int p = 1; p <= pages_ && !cancelled; ++p) {
      if (TwoPass) Publish(p, p, false, p != wanted);
      else Publish(p, pages_, true, false);
      if (!TwoPass && publisher_.RequestMet()) break;  // a counting pass runs to the end
    }
  }

  TppPublisher publisher_;
  TppPrinterSetup setup_;
  int pages_;
  bool generating_ = false;
};

}  // namespace testing_support
