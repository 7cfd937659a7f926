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
    return true;
  }();
  (void)registered;
}
