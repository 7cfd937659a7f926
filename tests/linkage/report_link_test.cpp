// A program that links only the report library and names none of its
// component classes in code, as a program that loads report layouts does:
// the library must register every class a layout can name by itself.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/qt_test_environment.h"
#include "report/model/ppreport.h"

namespace {

// One object of every class a report layout holds, each inside its container.
constexpr const char* kLayout = R"(object Form1: TComponent
  object plData: TppBDEPipeline
  end
  object Report1: TppReport
    Version = '3.01'
    object Header1: TppHeaderBand
      object Label1: TppLabel
      end
      object Calc1: TppCalc
      end
    end
    object Title1: TppTitleBand
    end
    object ColumnHeader1: TppColumnHeaderBand
    end
    object Detail1: TppDetailBand
      object DBText1: TppDBText
      end
      object DBCalc1: TppDBCalc
      end
      object Shape1: TppShape
      end
      object Line1: TppLine
      end
      object Image1: TppImage
      end
      object DBImage1: TppDBImage
      end
      object SubReport1: TppSubReport
      end
    end
    object ColumnFooter1: TppColumnFooterBand
    end
    object Summary1: TppSummaryBand
    end
    object Footer1: TppFooterBand
    end
    object Group1: TppGroup
      object GroupHeader1: TppGroupHeaderBand
      end
      object GroupFooter1: TppGroupFooterBand
      end
    end
  end
  object Child1: TppChildReport
    Version = '3.01'
  end
end
)";

TEST(ReportLinkage, ALayoutNamingEveryReportClassReadsWithoutTheProgramNamingThem) {
  std::unique_ptr<TComponent> form(ReadComponentFromText(kLayout, nullptr));
  std::map<std::string, std::string> classOf;
  for (int i = 0; i < form->ComponentCount(); ++i)
    classOf[form->Components(i)->Name()] = form->Components(i)->ClassName();
  const std::pair<const char*, const char*> expected[] = {
      {"plData", "TppBDEPipeline"},      {"Report1", "TppReport"},
      {"Header1", "TppHeaderBand"},      {"Label1", "TppLabel"},
      {"Calc1", "TppCalc"},              {"Title1", "TppTitleBand"},
      {"ColumnHeader1", "TppColumnHeaderBand"}, {"Detail1", "TppDetailBand"},
      {"DBText1", "TppDBText"},          {"DBCalc1", "TppDBCalc"},
      {"Shape1", "TppShape"},            {"Line1", "TppLine"},
      {"Image1", "TppImage"},            {"DBImage1", "TppDBImage"},
      {"ColumnFooter1", "TppColumnFooterBand"}, {"Summary1", "TppSummaryBand"},
      {"Footer1", "TppFooterBand"},      {"Group1", "TppGroup"},
      {"GroupHeader1", "TppGroupHeaderBand"}, {"GroupFooter1", "TppGroupFooterBand"},
      {"Child1", "TppChildReport"},      {"SubReport1", "TppSubReport"},
  };
  for (const auto& [name, cls] : expected) EXPECT_EQ(classOf[name], cls) << name;
  auto* report = dynamic_cast<TppReport*>(form->FindComponent("Report1"));
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->BandCount(), 9);
  EXPECT_EQ(report->GroupCount(), 1);
  EXPECT_NE(GetClass("TppPrinterSetup"), nullptr);
}

}  // namespace
