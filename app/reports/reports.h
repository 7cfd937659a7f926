#pragma once
// The five report windows. Each holds one report with its pipelines over the
// main window's data sources and builds its layout in code; the main window
// creates one for a run, sets its labels, runs the report and releases it.
// Every preview takes its placement and zoom from the settings and writes
// them back when it closes.

#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"

class TField;
class TfrmBug;
class TppBDEPipeline;
class TppDBText;
class TppLabel;
class TppReport;
class TRegIniFile;

// Preview_Zoom as stored: 1 whole page, 2 100 percent, 3 page width.
inline constexpr int kZoomWholePage = 1, kZoom100Percent = 2, kZoomPageWidth = 3;

class TfrmReports : public TForm {
  DECLARE_CLASS(TfrmReports, TForm)
 public:
  // The layouts: what each report shows of an entry, and for which programs.
  enum class TLayout { Single, Listing, Comprehensive };
  TfrmReports(TComponent* owner, TfrmBug* main, TLayout layout, bool allPrograms);

  // Titles and captions by kind: 0 all entries, 1 only bug reports, 2 only
  // feature requests; the single entry's by the type tab (0 bug report,
  // 1 feature request).
  void SetKind(int kind);
  // The program the single and this-program reports name in their header.
  void SetProgram(const std::string& name);

  TppReport* ppReport1;
  TppBDEPipeline* plBugs;
  TppBDEPipeline* plStatus;
  TppBDEPipeline* plPriority;
  TppBDEPipeline* plProgram = nullptr;  // the all-programs reports' main pipeline
  TppLabel* pplblTitle = nullptr;
  TppLabel* lblProgram = nullptr;  // the single and this-program reports

 private:
  void BuildSingle();
  void BuildListing();
  void BuildComprehensive();
  void BuildPageHeader(int32_t height);
  // The entry's fields, two to a line below the description; returns the
  // height they take.
  int32_t BuildEntryFields(class TppBand* band, bool all);
  void HideEmptySections(class TppBand* detail);
  int32_t ShowDatesAsTheWindowDoes(TppDBText* text, const TField& field);
  void PreviewFormCreate();
  void PreviewFormClose();

  TfrmBug* main_;
  TLayout layout_;
  bool allPrograms_;
  std::vector<TppLabel*> kindLabels_;
};

class TfrmReports_Single : public TfrmReports {
  DECLARE_CLASS(TfrmReports_Single, TfrmReports)
 public:
  TfrmReports_Single(TComponent* owner, TfrmBug* main)
      : TfrmReports(owner, main, TLayout::Single, false) {}
};

class TfrmReports_Listing_ByProgram : public TfrmReports {
  DECLARE_CLASS(TfrmReports_Listing_ByProgram, TfrmReports)
 public:
  TfrmReports_Listing_ByProgram(TComponent* owner, TfrmBug* main)
      : TfrmReports(owner, main, TLayout::Listing, false) {}
};

class TfrmReports_Listing_ByAll : public TfrmReports {
  DECLARE_CLASS(TfrmReports_Listing_ByAll, TfrmReports)
 public:
  TfrmReports_Listing_ByAll(TComponent* owner, TfrmBug* main)
      : TfrmReports(owner, main, TLayout::Listing, true) {}
};

class TfrmReports_All_ByProgram : public TfrmReports {
  DECLARE_CLASS(TfrmReports_All_ByProgram, TfrmReports)
 public:
  TfrmReports_All_ByProgram(TComponent* owner, TfrmBug* main)
      : TfrmReports(owner, main, TLayout::Comprehensive, false) {}
};

class TfrmReports_All_ByAll : public TfrmReports {
  DECLARE_CLASS(TfrmReports_All_ByAll, TfrmReports)
 public:
  TfrmReports_All_ByAll(TComponent* owner, TfrmBug* main)
      : TfrmReports(owner, main, TLayout::Comprehensive, true) {}
};
