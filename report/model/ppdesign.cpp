#include "report/model/ppdesign.h"

#include <map>

#include "report/data/pputils.h"

namespace {

using Items = std::vector<TppMenuItemDef>;

// Caption offsets of the string table.
constexpr int kBringToFront = 161, kSendToBack = 177, kAutoSize = 226, kBlankWhenZero = 227,
              kCalculations = 228, kCenter = 229, kDisplayFormat = 230, kDouble = 231,
              kPicture = 235, kReprintOnOverFlow = 238, kReprintOnSubsequent = 239,
              kShiftWithParent = 240, kSingle = 241, kStretch = 243, kStretchWithParent = 244,
              kSuppressRepeated = 245, kTransparent = 246, kVisible = 247, kWordWrap = 248,
              kShiftRelativeTo = 336, kParentHeight = 370, kParentWidth = 371,
              kPosition = 386, kMaintainAspectRatio = 412;
constexpr TppMenuItemDef kSeparator{"", 0};

// The text items with a class's prefix ("Label", "DBText").
Items TextItems(const std::string& prefix) {
  static std::map<std::string, std::vector<std::string>> names;  // keeps the names alive
  std::vector<std::string>& n = names[prefix];
  if (n.empty())  // filled once: the tables point into these names
    n = {"mni" + prefix + "AutoSize", "mni" + prefix + "ReprintOnOverFlow",
       "mni" + prefix + "ShiftWithParent", "mni" + prefix + "Transparent",
       "mni" + prefix + "Visible", "mni" + prefix + "WordWrap"};
  return {{"mniBringToFront", kBringToFront}, {"mniSendToBack", kSendToBack}, kSeparator,
          {n[0].c_str(), kAutoSize},        {"mniPosition", kPosition},    {n[1].c_str(), kReprintOnOverFlow},
          {n[2].c_str(), kShiftWithParent}, {n[3].c_str(), kTransparent},  {n[4].c_str(), kVisible},
          {n[5].c_str(), kWordWrap}};
}

Items With(Items items, std::initializer_list<TppMenuItemDef> more) {
  items.insert(items.end(), more);
  return items;
}

const std::map<std::string, Items>& Tables() {
  static const std::map<std::string, Items> tables = [] {
    std::map<std::string, Items> t;
    const Items front{{"mniBringToFront", kBringToFront}, {"mniSendToBack", kSendToBack}, kSeparator};
    t["TppLabel"] = TextItems("Label");
    const Items dbText = With(TextItems("DBText"), {{"mniDBTextBlankWhenZero", kBlankWhenZero},
                                                    {"mniDBTextFormat", kDisplayFormat},
                                                    {"mniDBTextReprintOnSubsequent", kReprintOnSubsequent},
                                                    {"mniDBTextSuppressRepeatedValues", kSuppressRepeated}});
    t["TppDBText"] = dbText;
    t["TppDBCalc"] = With(dbText, {{"mniDBCalcCalc", kCalculations}});
    t["TppCalc"] = With(TextItems("Label"), {{"mniCalcFormat", kDisplayFormat}});
    t["TppShape"] = With(front, {{"mniParentHeight", kParentHeight}, {"mniParentWidth", kParentWidth},
                                 {"mniPosition", kPosition}, {"mniReprintOnOverFlow", kReprintOnOverFlow},
                                 {"mniShapeShiftWithParent", kShiftWithParent},
                                 {"mniShapeStretchWithParent", kStretchWithParent},
                                 {"mniShapeVisible", kVisible}});
    t["TppLine"] = With(front, {{"mniLineSingle", kSingle}, {"mniLineDouble", kDouble}, kSeparator,
                                {"mniParentHeight", kParentHeight}, {"mniParentWidth", kParentWidth},
                                {"mniPosition", kPosition}, {"mniLineReprintOnOverFlow", kReprintOnOverFlow},
                                {"mniLineShiftWithParent", kShiftWithParent},
                                {"mniLineStretchWithParent", kStretchWithParent},
                                {"mniLineVisible", kVisible}});
    const Items image = With(front, {{"mniImageCenter", kCenter},
                                     {"mniImageMaintainAspectRatio", kMaintainAspectRatio},
                                     {"mniPosition", kPosition},
                                     {"mniImageReprintOnOverFlow", kReprintOnOverFlow},
                                     {"mniImageShiftWithParent", kShiftWithParent},
                                     {"mniImageStretch", kStretch},
                                     {"mniImageTransparent", kTransparent},
                                     {"mniImageVisible", kVisible}});
    t["TppDBImage"] = image;
    t["TppImage"] = With(image, {{"mniImageAutoSize", kAutoSize}, {"mniImagePicture", kPicture}});
    t["TppStretchable"] = With(front, {{"mniPosition", kPosition},
                                       {"mniReprintOnOverFlow", kReprintOnOverFlow},
                                       {"mniShiftWithParent", kShiftWithParent},
                                       {"mniShiftRelativeTo", kShiftRelativeTo},
                                       {"mniStretch", kStretch}, {"mniTransparent", kTransparent},
                                       {"mniVisible", kVisible}});
    // Bands: their own captions are the designer's; offsets 0 show the name.
    const Items band{{"mniDynamicHeight", 0}, {"mniStaticHeight", 0}, {"mniLine1", 0},
                     {"mniPosition", kPosition}, {"mniVisible", kVisible}};
    t["TppBand"] = band;
    t["TppPageBand"] = With(band, {{"mniLine2", 0}, {"mniPrintOnFirstPage", 0},
                                   {"mniPrintOnLastPage", 0}});
    t["TppReportBand"] = With(band, {{"mniLine2", 0}, {"mniNewPage", 0}});
    return t;
  }();
  return tables;
}

// The table a band class falls back to.
const char* KindTable(const std::string& className) {
  if (className == "TppHeaderBand" || className == "TppFooterBand") return "TppPageBand";
  if (className == "TppTitleBand" || className == "TppSummaryBand") return "TppReportBand";
  if (className.size() > 4 && className.compare(className.size() - 4, 4, "Band") == 0)
    return "TppBand";
  return "";
}

}  // namespace

const std::vector<TppMenuItemDef>& ppPopupItems(const std::string& className) {
  static const Items none;
  const auto& tables = Tables();
  auto it = tables.find(className);
  if (it == tables.end()) it = tables.find(KindTable(className));
  return it == tables.end() ? none : it->second;
}

std::string ppPopupCaption(const TppMenuItemDef& item, int languageBase) {
  return item.CaptionOffset ? ppLoadStr(languageBase + item.CaptionOffset) : std::string();
}

std::vector<TPoint> ppSizingHandles(const TRect& b) {
  const int half = ppHandleSize / 2;
  const int xs[] = {b.Left, b.Left + b.Width() / 2, b.Right};
  const int ys[] = {b.Top, b.Top + b.Height() / 2, b.Bottom};
  std::vector<TPoint> out;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      if (row != 1 || col != 1) out.push_back({xs[col] - half, ys[row] - half});
  return out;
}

std::vector<TPoint> ppSelectionHandles(const TRect& b) {
  const int right = b.Right - ppHandleSize, bottom = b.Bottom - ppHandleSize;
  return {{b.Left, b.Top}, {right, b.Top}, {b.Left, bottom}, {right, bottom}};
}
