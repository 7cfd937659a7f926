#include "report/model/ppregister.h"

#include "report/components/ppdbtext.h"
#include "report/components/ppgraph.h"
#include "report/components/ppmemo.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/components/ppsubrpt.h"
#include "report/data/ppdbbde.h"
#include "report/model/ppbands.h"
#include "report/model/ppgroup.h"
#include "report/model/ppreport.h"
#include "report/model/pptext.h"
#include "report/output/ppprintr.h"
#include "report/output/pptxtdev.h"

void ppRegisterReportClasses() {
  static const bool registered = [] {
    for (TClass cls : {
             // Reports, their printer setup and the pipelines report forms hold.
             TppReport::StaticClass(), TppChildReport::StaticClass(),
             TppPrinterSetup::StaticClass(), TppBDEPipeline::StaticClass(),
             // Bands and groups.
             TppHeaderBand::StaticClass(), TppTitleBand::StaticClass(),
             TppColumnHeaderBand::StaticClass(), TppDetailBand::StaticClass(),
             TppColumnFooterBand::StaticClass(), TppSummaryBand::StaticClass(),
             TppFooterBand::StaticClass(), TppGroup::StaticClass(),
             TppGroupHeaderBand::StaticClass(), TppGroupFooterBand::StaticClass(),
             // Components.
             TppLabel::StaticClass(), TppCalc::StaticClass(), TppDBText::StaticClass(),
             TppDBCalc::StaticClass(), TppShape::StaticClass(), TppLine::StaticClass(),
             TppImage::StaticClass(), TppDBImage::StaticClass(),
             // Stretching components.
             TppMemo::StaticClass(), TppDBMemo::StaticClass(), TppRichText::StaticClass(),
             TppDBRichText::StaticClass(), TppRegion::StaticClass(),
             TppSubReport::StaticClass(),
         })
      RegisterClass(cls);
    // The text-file device reaches the texts' OnSave through this hook, the
    // output side knowing nothing of components.
    ppSaveTextHandler = [](TObject* component, TppTextFileDevice* device, std::string& text) {
      if (auto* saved = dynamic_cast<TppCustomText*>(component)) saved->FireSave(device, text);
    };
    return true;
  }();
  (void)registered;
}
