// Designer tables: popup items with their captions, handle positions.
#include "report/model/ppdesign.h"

#include <gtest/gtest.h>

#include "report/data/pputils.h"

namespace {

std::string Menu(const std::string& className) {
  std::string out;
  for (const TppMenuItemDef& item : ppPopupItems(className))
    out += std::string(item.Name) + "=" + ppPopupCaption(item, ppLanguageBase(lgEnglish)) + ";";
  return out;
}

TEST(ReportDesign, PopupItemsCarryTheirCaptionsInMenuOrder) {
  EXPECT_EQ(Menu("TppLabel"),
            "mniBringToFront=Bring to Front;mniSendToBack=Send to Back;=-;"
            "mniLabelAutoSize=AutoSize;mniPosition=Position...;"
            "mniLabelReprintOnOverFlow=ReprintOnOverFlow;mniLabelShiftWithParent=ShiftWithParent;"
            "mniLabelTransparent=Transparent;mniLabelVisible=Visible;mniLabelWordWrap=WordWrap;");
  EXPECT_NE(Menu("TppDBCalc").find("mniDBTextAutoSize=AutoSize;"), std::string::npos);
  EXPECT_NE(Menu("TppDBCalc").find("mniDBCalcCalc=Calculations...;"), std::string::npos);
  EXPECT_EQ(ppPopupItems("TppFooterBand").size(), 8u);
  EXPECT_EQ(ppPopupItems("TppDetailBand").size(), 5u);
  EXPECT_TRUE(ppPopupItems("TppUnknown").empty());
}

TEST(ReportDesign, HandlesSitOnTheCornersAndEdgeMiddles) {
  const std::vector<TPoint> sizing = ppSizingHandles(TRect{10, 20, 110, 60});
  const std::vector<TPoint> expected{{8, 18}, {58, 18}, {108, 18}, {8, 38},
                                     {108, 38}, {8, 58}, {58, 58}, {108, 58}};
  EXPECT_EQ(sizing, expected);
  EXPECT_EQ(ppSelectionHandles(TRect{10, 20, 110, 60}),
            (std::vector<TPoint>{{10, 20}, {105, 20}, {10, 55}, {105, 55}}));
}

}  // namespace
