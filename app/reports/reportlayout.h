#pragma once
// Lays out the report windows' forms in code. Each window says what it
// holds (bands, captions, data fields, the long texts); the layout places it
// on the report with the shared page setup, fonts and footer, so the five
// layouts differ only in what they show.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/printers/printers.h"
#include "report/model/ppbands.h"

class TComponent;
class TppBand;
class TppDataPipeline;
class TppDBRichText;
class TppDBText;
class TppGroup;
class TppLabel;
class TppRegion;
class TppReport;

// Thousandths of a millimetre, the report's own unit.
inline constexpr int32_t kMM = 1000;
// One line of 8-point text with a little air.
inline constexpr int32_t kLine = 4 * kMM;

// Where a component goes in its band.
struct TReportBox {
  int32_t left, top, width, height = kLine;
};

// One of the long texts of an entry: its region, the region's title label
// and the rich text showing the field.
struct TReportSection {
  TppRegion* region;
  TppLabel* title;
  TppDBRichText* text;
};

class TReportFormLayout {
 public:
  TReportFormLayout(TComponent* owner, TppReport* report);

  // Letter paper in the given orientation, 6350 margins, the document name
  // "Vantrel" and two passes (the footer counts the pages).
  void SetupPage(TPrinterOrientation orientation);
  // Width inside the margins of the page set up.
  int32_t PrintableWidth() const;

  template <class Band>
  Band* AddBand(const std::string& name, int32_t height) {
    auto* band = new Band(owner_);
    band->SetName(name);
    Place(band, height);
    return band;
  }
  // The detail band walking `pipeline` (none: the report's own).
  TppBand* AddDetail(int32_t height, TppDataPipeline* pipeline);
  // The group breaking on "ProgramNumber" of the entries, its header naming
  // the program of `programs`.
  TppGroup* AddProgramGroup(TppDataPipeline* entries, TppDataPipeline* programs);
  // The page footer: the print date and time left, "Page n of m" right.
  void AddFooter();

  TppLabel* AddLabel(TppBand* band, const std::string& name, const std::string& caption,
                     const TReportBox& box, int points = 8, bool bold = false);
  TppDBText* AddText(TppBand* band, const std::string& name, TppDataPipeline* pipeline,
                     const std::string& field, const TReportBox& box, int points = 8,
                     bool bold = false);
  // The five long texts of an entry from `top` down, each region shifted
  // below the one before so that it follows however far that one stretched;
  // the band's height ends with them.
  std::vector<TReportSection> AddSections(TppBand* band, TppDataPipeline* pipeline, int32_t top);

 private:
  void Place(TppBand* band, int32_t height);
  template <class Text>
  Text* NewText(TppBand* band, const std::string& name, const TReportBox& box, int points, bool bold);
  TComponent* owner_;
  TppReport* report_;
};

// The long texts of an entry in print order: field and region name suffix.
inline constexpr const char* kSectionFields[] = {"Report", "Workaround", "Steps", "Resolution",
                                                 "Attachment"};
inline constexpr int kSectionCount = 5;
