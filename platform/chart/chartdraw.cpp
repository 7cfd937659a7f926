// Drawing a chart on a canvas. Every distance derives from the height of the
// label font on that canvas, so a chart printed at 600 dpi has the proportions
// it has on screen.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/chart/chart.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/graphics/drawing.h"

namespace {

// Bars narrower than three times this many pixels get no frame.
constexpr int kFramedBarMinimum = 2;
// A gradient is painted in at most this many bands: each differs from the next
// by a few levels of a colour channel, too little to see, and a tall bar costs
// no more than a short one.
constexpr int kGradientBands = 32;

struct LegendEntry {
  std::string text;
  TColor color;
};

// 1, 2 or 5 times a power of ten: the step of at most `ticks` grid lines up to `top`.
double NiceStep(double top, int ticks) {
  const double raw = top / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

TColor Blend(TColor from, TColor to, double t) {
  from = ColorToRGB(from);
  to = ColorToRGB(to);
  auto mix = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
  return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
             mix(GetBValue(from), GetBValue(to)));
}

class ChartPainter {
 public:
  ChartPainter(const TChart& chart, TCanvas* canvas, const TRect& r)
      : chart_(chart), c_(canvas), area_(r) {
    ppi_ = canvas->Font()->PixelsPerInch();
    for (int i = 0; i < chart.SeriesCount(); ++i) {
      TChartSeries* s = chart.Series(i);
      if (!s->Active()) continue;
      if (auto* pie = dynamic_cast<TPieSeries*>(s)) {
        if (!pie_) pie_ = pie;
      } else if (auto* bar = dynamic_cast<TBarSeries*>(s)) {
        bars_.push_back(bar);
      }
    }
  }

  void Paint() {
    c_->SaveState();
    c_->IntersectClipRect(area_);
    UseFont(chart_.Title()->Font());
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(chart_.BackColor());
    c_->FillRect(area_);
    UseLabelFont();
    gap_ = std::max(2, c_->TextHeight("Ag") / 2);
    area_ = InflatedBy(area_, -gap_);
    PaintTitle();
    PaintLegend();
    if (pie_) PaintPie();
    else if (!bars_.empty()) PaintBars();
    c_->RestoreState();
  }

 private:
  // ---- Fonts and text --------------------------------------------------------

  void UseFont(const TFont* font, int orientation = 0) {
    TFont f;
    f.Assign(font);
    f.SetPixelsPerInch(ppi_);
    f.SetOrientation(orientation);
    c_->SetFont(&f);
  }

  void UseLabelFont(int orientation = 0) {
    TFont f;
    f.SetName("Arial");
    f.SetSize(8);
    UseFont(&f, orientation);
  }

  void Text(int x, int y, const std::string& text) {
    c_->Brush()->SetStyle(bsClear);
    c_->TextOut(x, y, text);
  }

  static TRect InflatedBy(TRect r, int d) { return {r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

  // ---- Title and legend ------------------------------------------------------

  void PaintTitle() {
    const TChartTitle* title = chart_.Title();
    if (!title->Visible() || title->Text()->Count() == 0) return;
    UseFont(title->Font());
    const int h = c_->TextHeight("Ag");
    for (int i = 0; i < title->Text()->Count(); ++i) {
      const std::string line = title->Text()->Strings(i);
      Text(area_.Left + (area_.Width() - c_->TextWidth(line)) / 2, area_.Top, line);
      area_.Top += h;
    }
    area_.Top += gap_;
    UseLabelFont();
  }

  // The slices of the pie, else one line per bar series.
  std::vector<LegendEntry> LegendEntries() const {
    std::vector<LegendEntry> entries;
    if (pie_) {
      for (int i = 0; i < pie_->Count(); ++i)
        entries.push_back({pie_->Values(i).Label, pie_->Values(i).Color});
    } else {
      for (TBarSeries* s : bars_)
        entries.push_back({s->Title(), s->Count() > 0 ? s->Values(0).Color : s->SeriesColor()});
    }
    return entries;
  }

  void PaintLegend() {
    const std::vector<LegendEntry> entries = LegendEntries();
    if (!chart_.Legend()->Visible() || entries.empty()) return;
    const int h = c_->TextHeight("Ag");
    int textWidth = 0;
    for (const LegendEntry& e : entries) textWidth = std::max(textWidth, c_->TextWidth(e.text));
    const int box = h * 3 / 4;
    const int width = gap_ + box + gap_ + textWidth + gap_;
    const int height = int(entries.size()) * h + 2 * gap_;
    const int top = area_.Top + std::max(0, (area_.Height() - height) / 2);
    const TRect frame{area_.Right - width, top, area_.Right, top + height};
    c_->Pen()->SetColor(clBlack);
    c_->Pen()->SetWidth(1);
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(clWhite);
    c_->Rectangle(frame);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const int y = frame.Top + gap_ + int(i) * h;
      c_->Brush()->SetStyle(bsSolid);
      c_->Brush()->SetColor(entries[i].color);
      c_->Rectangle(frame.Left + gap_, y + (h - box) / 2, frame.Left + gap_ + box, y + (h + box) / 2);
      Text(frame.Left + 2 * gap_ + box, y, entries[i].text);
    }
    area_.Right = frame.Left - gap_;
  }

  // ---- Pie -------------------------------------------------------------------

  std::string MarkText(int i, double total) const {
    const TChartValue& v = pie_->Values(i);
    switch (pie_->Marks()->Style()) {
      case smsValue: return FormatFloat("0.###", v.Value);
      case smsPercent: return FormatFloat("0.##", 100 * v.Value / total) + " %";
      case smsLabel:
      case smsLegend: return v.Label;
    }
    return v.Label;
  }

  void PaintPie() {
    const double total = pie_->Total();
    if (total <= 0) return;
    const bool marks = pie_->Marks()->Visible();
    const int h = c_->TextHeight("Ag");
    // Marks stand outside the rim: leave them a line's height and a label's width.
    int markWidth = 0;
    if (marks)
      for (int i = 0; i < pie_->Count(); ++i) markWidth = std::max(markWidth, c_->TextWidth(MarkText(i, total)));
    const int reserveX = marks ? markWidth + 2 * h : 0, reserveY = marks ? 2 * h : 0;
    const int radius = std::max(1, std::min(area_.Width() - 2 * reserveX, area_.Height() - 2 * reserveY) / 2);
    const int cx = area_.Left + area_.Width() / 2, cy = area_.Top + area_.Height() / 2;

    // Rays far beyond the rim keep a thin slice's angle exact in whole pixels.
    constexpr double kRay = 100000;
    double angle = 90;  // the first slice starts at the top
    std::vector<double> middles;
    c_->Pen()->SetColor(clBlack);
    for (int i = 0; i < pie_->Count(); ++i) {
      const TChartValue& v = pie_->Values(i);
      const double span = 360 * std::max(0.0, v.Value) / total;
      middles.push_back(angle + span / 2);
      if (span < 0.01) continue;
      const double a0 = angle * std::numbers::pi / 180, a1 = (angle + span) * std::numbers::pi / 180;
      c_->Brush()->SetStyle(bsSolid);
      c_->Brush()->SetColor(v.Color);
      c_->Pie(cx - radius, cy - radius, cx + radius + 1, cy + radius + 1,
              cx + int(kRay * std::cos(a0)), cy - int(kRay * std::sin(a0)),
              cx + int(kRay * std::cos(a1)), cy - int(kRay * std::sin(a1)));
      angle += span;
    }
    if (!marks) return;
    for (int i = 0; i < pie_->Count(); ++i)
      if (pie_->Values(i).Value > 0) PaintMark(MarkText(i, total), middles[std::size_t(i)], cx, cy, radius, h);
  }

  // A framed label beside the rim at `degrees`, joined to the slice by a line.
  void PaintMark(const std::string& text, double degrees, int cx, int cy, int radius, int h) {
    const double a = degrees * std::numbers::pi / 180;
    const int rimX = cx + int(radius * std::cos(a)), rimY = cy - int(radius * std::sin(a));
    const int outX = cx + int((radius + h) * std::cos(a)), outY = cy - int((radius + h) * std::sin(a));
    c_->Pen()->SetColor(clBlack);
    c_->MoveTo(rimX, rimY);
    c_->LineTo(outX, outY);
    const int w = c_->TextWidth(text) + gap_;
    const int left = std::cos(a) >= 0 ? outX : outX - w;
    const TRect box{left, outY - h / 2 - 1, left + w, outY + h / 2 + 1};
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(RGB(255, 255, 225));
    c_->Rectangle(box);
    Text(box.Left + gap_ / 2, box.Top + 1, text);
  }

  // ---- Bars ------------------------------------------------------------------

  void PaintBars() {
    int slots = 0;
    double top = 0;
    for (TBarSeries* s : bars_) {
      slots = std::max(slots, s->Count());
      for (int i = 0; i < s->Count(); ++i) top = std::max(top, s->Values(i).Value);
    }
    const double step = NiceStep(std::max(top, 1.0), 5);
    top = std::ceil(std::max(top, 1.0) / step) * step;
    const TRect plot = PlotRect(top, step);
    PaintGrid(plot, top, step);
    if (slots > 0) {
      const double slot = double(plot.Width()) / slots;
      if (slots > plot.Width()) PaintDenseBars(plot, slots, slot, top);
      else for (int i = 0; i < slots; ++i) PaintSlot(plot, i, slot, top);
      PaintBottomLabels(plot, slots, slot);
    }
    PaintAxisTitles(plot);
  }

  // The plot area: what the axis labels and titles leave.
  TRect PlotRect(double top, double step) {
    const int h = c_->TextHeight("Ag");
    int labelWidth = 0;
    for (double v = 0; v <= top + step / 2; v += step)
      labelWidth = std::max(labelWidth, c_->TextWidth(FormatFloat("0.###", v)));
    TRect plot = area_;
    plot.Left += labelWidth + gap_ + (HasTitle(chart_.LeftAxis()) ? h + gap_ : 0);
    plot.Bottom -= h + gap_ + (HasTitle(chart_.BottomAxis()) ? h + gap_ : 0);
    plot.Top += h / 2;
    if (plot.Right <= plot.Left) plot.Right = plot.Left + 1;
    if (plot.Bottom <= plot.Top) plot.Bottom = plot.Top + 1;
    return plot;
  }

  static bool HasTitle(const TChartAxis* axis) {
    return axis->Visible() && axis->Title()->Visible() && axis->Title()->Text()->Count() > 0;
  }

  int YOf(const TRect& plot, double value, double top) const {
    return plot.Bottom - int(std::lround(plot.Height() * value / top));
  }

  void PaintGrid(const TRect& plot, double top, double step) {
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(clWhite);
    c_->FillRect(plot);
    const int h = c_->TextHeight("Ag");
    for (double v = 0; v <= top + step / 2; v += step) {
      const int y = YOf(plot, v, top);
      c_->Pen()->SetColor(clSilver);
      c_->MoveTo(plot.Left, y);
      c_->LineTo(plot.Right, y);
      const std::string label = FormatFloat("0.###", v);
      Text(plot.Left - gap_ - c_->TextWidth(label), y - h / 2, label);
    }
    c_->Pen()->SetColor(clBlack);
    c_->MoveTo(plot.Left, plot.Top);
    c_->LineTo(plot.Left, plot.Bottom);
    c_->LineTo(plot.Right, plot.Bottom);
  }

  // Where series k's bar for value `i` starts, from the plot's left.
  double BarLeft(int i, std::size_t k, double slot) const {
    return i * slot + slot * 0.1 + double(k) * slot * 0.8 / double(bars_.size());
  }

  // The bars of every series for value `i`, side by side in their slot.
  void PaintSlot(const TRect& plot, int i, double slot, double top) {
    for (std::size_t k = 0; k < bars_.size(); ++k) {
      TBarSeries* s = bars_[k];
      if (i >= s->Count()) continue;
      const int left = plot.Left + int(BarLeft(i, k, slot));
      const int right = std::max(left + 1, plot.Left + int(BarLeft(i, k + 1, slot)));
      PaintBar(s, s->Values(i), TRect{left, 0, right, plot.Bottom}, plot, top);
    }
  }

  // `bar` gets its top from the value.
  void PaintBar(const TBarSeries* s, const TChartValue& v, TRect bar, const TRect& plot, double top) {
    bar.Top = YOf(plot, std::max(0.0, v.Value), top);
    if (bar.Bottom <= bar.Top) return;
    if (s->Gradient()) PaintGradient(bar, v.Color);
    else FillBar(bar, v.Color);
    // On bars too thin to show colour inside a frame, the frame would hide it.
    if (bar.Width() < 3 * kFramedBarMinimum) return;
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(clBlack);
    c_->FrameRect(bar);
  }

  // More values than pixel columns: the bars landing on one column would
  // cover each other there, and only the tallest shows, so each series
  // paints that one alone: a column's work, not a value's.
  void PaintDenseBars(const TRect& plot, int slots, double slot, double top) {
    for (std::size_t k = 0; k < bars_.size(); ++k) {
      TBarSeries* s = bars_[k];
      std::vector<int> tallest(std::size_t(plot.Width()), -1);
      for (int i = 0; i < std::min(slots, s->Count()); ++i) {
        const int column = std::min(plot.Width() - 1, int(BarLeft(i, k, slot)));
        int& shown = tallest[std::size_t(column)];
        if (shown < 0 || s->Values(i).Value > s->Values(shown).Value) shown = i;
      }
      for (int column = 0; column < plot.Width(); ++column)
        if (const int i = tallest[std::size_t(column)]; i >= 0)
          PaintBar(s, s->Values(i), TRect{plot.Left + column, 0, plot.Left + column + 1, plot.Bottom}, plot, top);
    }
  }

  void FillBar(const TRect& r, TColor color) {
    c_->Brush()->SetStyle(bsSolid);
    c_->Brush()->SetColor(color);
    c_->FillRect(r);
  }

  // From the colour at the foot to white at the top, a band per pixel row up
  // to kGradientBands of them.
  void PaintGradient(const TRect& r, TColor color) {
    const int rows = r.Height();
    const int bands = std::min(rows, kGradientBands);
    for (int b = 0; b < bands; ++b) {
      const int from = rows * b / bands, to = rows * (b + 1) / bands;
      FillBar(TRect{r.Left, r.Bottom - to, r.Right, r.Bottom - from}, Blend(color, clWhite, 0.8 * from / rows));
    }
  }

  // Labels of the first series under their slots, leaving out any that would
  // run into the one before.
  void PaintBottomLabels(const TRect& plot, int slots, double slot) {
    const TBarSeries* s = bars_.front();
    int freeFrom = plot.Left - gap_;
    for (int i = 0; i < slots && i < s->Count(); ++i) {
      const int middle = plot.Left + int(i * slot + slot / 2);
      // A label centred left of the free room runs into it whatever its
      // width: no need to measure it (most of them, on a crowded axis).
      if (middle < freeFrom) continue;
      const std::string& label = s->Values(i).Label;
      const int w = c_->TextWidth(label);
      const int x = middle - w / 2;
      if (x < freeFrom) continue;
      Text(x, plot.Bottom + gap_ / 2, label);
      freeFrom = x + w + gap_;
    }
  }

  void PaintAxisTitles(const TRect& plot) {
    const int h = c_->TextHeight("Ag");
    if (HasTitle(chart_.BottomAxis())) {
      const std::string text = chart_.BottomAxis()->Title()->Text()->Strings(0);
      UseFont(chart_.BottomAxis()->Title()->Font());
      Text(plot.Left + (plot.Width() - c_->TextWidth(text)) / 2, plot.Bottom + h + gap_, text);
    }
    if (HasTitle(chart_.LeftAxis())) {
      const std::string text = chart_.LeftAxis()->Title()->Text()->Strings(0);
      UseFont(chart_.LeftAxis()->Title()->Font());
      const int w = c_->TextWidth(text);
      // Written upwards: the text starts at the bottom of its run.
      UseFont(chart_.LeftAxis()->Title()->Font(), 900);
      Text(area_.Left, plot.Top + (plot.Height() + w) / 2, text);
    }
    UseLabelFont();
  }

  const TChart& chart_;
  TCanvas* c_;
  TRect area_;
  int ppi_ = 96;
  int gap_ = 4;
  TPieSeries* pie_ = nullptr;
  std::vector<TBarSeries*> bars_;
};

}  // namespace

void TChart::Draw(TCanvas* canvas, const TRect& r) const { ChartPainter(*this, canvas, r).Paint(); }
