#pragma once
// The charting components the statistics window uses: a chart with a title,
// a legend, a left and a bottom axis, and pie and bar series of labelled,
// coloured values. Everything is drawn by one routine on any TCanvas, so the
// chart looks the same on screen, in a bitmap, in a vector picture and on a
// printed page.

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/graphics.h"

class TChart;
class TBitmap;

// What the marks beside a pie's slices show.
DECLARE_ENUM(TSeriesMarksStyle, smsValue, smsPercent, smsLabel, smsLegend)

class TSeriesMarks : public TPersistent {
  DECLARE_CLASS(TSeriesMarks, TPersistent)
 public:
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  TSeriesMarksStyle Style() const { return style_; }
  void SetStyle(TSeriesMarksStyle value) { style_ = value; }

 private:
  bool visible_ = true;
  TSeriesMarksStyle style_ = smsLegend;
};

struct TChartValue {
  double Value;
  std::string Label;
  TColor Color;
};

// A list of labelled values drawn by its chart. A series belongs to its owner
// (the form); the chart it is shown in is its ParentChart.
class TChartSeries : public TComponent {
  DECLARE_CLASS(TChartSeries, TComponent)
 public:
  explicit TChartSeries(TComponent* AOwner);
  ~TChartSeries() override;

  TChart* ParentChart() const { return chart_; }
  void SetParentChart(TChart* chart);
  // The series' name in the legend of a bar chart.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value);
  // An inactive series is neither drawn nor listed in the legend.
  bool Active() const { return active_; }
  void SetActive(bool value);
  // The colour of values added without one (clDefault).
  TColor SeriesColor() const { return seriesColor_; }
  void SetSeriesColor(TColor value);

  // Adds a value; returns its index.
  int Add(double value, const std::string& label = {}, TColor color = clDefault);
  void Clear();
  int Count() const { return int(values_.size()); }
  const TChartValue& Values(int index) const;
  double Total() const;

 protected:
  void Changed();

 private:
  TChart* chart_ = nullptr;
  std::string title_;
  bool active_ = true;
  TColor seriesColor_ = clRed;
  std::vector<TChartValue> values_;
};

class TPieSeries : public TChartSeries {
  DECLARE_CLASS(TPieSeries, TChartSeries)
 public:
  explicit TPieSeries(TComponent* AOwner);
  ~TPieSeries() override;
  TSeriesMarks* Marks() const { return marks_.get(); }

 private:
  std::unique_ptr<TSeriesMarks> marks_;
};

class TBarSeries : public TChartSeries {
  DECLARE_CLASS(TBarSeries, TChartSeries)
 public:
  explicit TBarSeries(TComponent* AOwner);
  // Bars shade from their colour at the foot to white at the top.
  bool Gradient() const { return gradient_; }
  void SetGradient(bool value);

 private:
  bool gradient_ = false;
};

class TChartTitle : public TPersistent {
  DECLARE_CLASS(TChartTitle, TPersistent)
 public:
  TChartTitle();
  ~TChartTitle() override;
  TStrings* Text() const { return text_.get(); }
  TFont* Font() const { return font_.get(); }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  // Fired when the text changes.
  TNotifyEvent OnChange;

 private:
  std::unique_ptr<TStringList> text_;
  std::unique_ptr<TFont> font_;
  bool visible_ = true;
};

class TChartAxis : public TPersistent {
  DECLARE_CLASS(TChartAxis, TPersistent)
 public:
  TChartAxis();
  ~TChartAxis() override;
  // The caption written along the axis.
  TChartTitle* Title() const { return title_.get(); }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }

 private:
  std::unique_ptr<TChartTitle> title_;
  bool visible_ = true;
};

class TChartLegend : public TPersistent {
  DECLARE_CLASS(TChartLegend, TPersistent)
 public:
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }

 private:
  bool visible_ = true;
};

class TChart : public TCustomControl {
  DECLARE_CLASS(TChart, TCustomControl)
 public:
  explicit TChart(TComponent* AOwner);
  ~TChart() override;

  TChartTitle* Title() const { return title_.get(); }
  TChartLegend* Legend() const { return legend_.get(); }
  TChartAxis* LeftAxis() const { return leftAxis_.get(); }
  TChartAxis* BottomAxis() const { return bottomAxis_.get(); }
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);

  int SeriesCount() const { return int(series_.size()); }
  TChartSeries* Series(int index) const;
  void AddSeries(TChartSeries* series) { series->SetParentChart(this); }
  void RemoveSeries(TChartSeries* series) { series->SetParentChart(nullptr); }

  // Draws the whole chart into `r` of any canvas (screen, bitmap, vector
  // picture, printer page); sizes of text follow the canvas's font resolution.
  void Draw(TCanvas* canvas, const TRect& r) const;
  // The chart as a bitmap of the control's size.
  std::unique_ptr<TBitmap> CreateBitmap() const;
  void SaveToBitmapFile(const std::string& fileName) const;
  // The vector picture of the chart: an SVG file.
  void SaveToSvgFile(const std::string& fileName) const;
  void CopyToClipboardBitmap() const;
  // Prints the chart on one landscape page of the current printer, as large as
  // the page allows at the chart's proportions; the printer's orientation is
  // put back afterwards.
  void Print() const;

 protected:
  void PaintContent() override;

 private:
  friend class TChartSeries;
  void SeriesChanged() { Invalidate(); }
  void Attach(TChartSeries* series);
  void Detach(TChartSeries* series);

  std::unique_ptr<TChartTitle> title_;
  std::unique_ptr<TChartLegend> legend_;
  std::unique_ptr<TChartAxis> leftAxis_;
  std::unique_ptr<TChartAxis> bottomAxis_;
  TColor backColor_ = clBtnFace;
  std::vector<TChartSeries*> series_;
};
