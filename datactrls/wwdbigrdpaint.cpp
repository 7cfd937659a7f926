// The data grid's cell painting: titles of several lines, the indicator with
// its state figures, data cells with highlight, alignment and word wrap, and
// the owner's colour hooks.
#include <cmath>
#include <utility>

#include "datactrls/wwdbigrd.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"

namespace {

// Text starts this far inside its cell.
constexpr int kTextLeft = 3;
constexpr int kTextTop = 2;

// The indicator figures: black on white, 6 by 11 pixels, one string per row.
constexpr int kFigureWidth = 6, kFigureHeight = 11;
constexpr const char* kArrowRows[kFigureHeight] = {
    "......", "#.....", "##....", "###...", "####..", "#####.",
    "####..", "###...", "##....", "#.....", "......"};
constexpr const char* kEditRows[kFigureHeight] = {
    "##.##.", "..#...", "..#...", "..#...", "..#...", "..#...",
    "..#...", "..#...", "..#...", "..#...", "##.##."};
constexpr const char* kInsertRows[kFigureHeight] = {
    "......", "......", "..#...", "#.#.#.", ".###..", "#####.",
    ".###..", "#.#.#.", "..#...", "......", "......"};

std::unique_ptr<TBitmap> MakeFigure(const char* const (&rows)[kFigureHeight]) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(kFigureWidth, kFigureHeight);
  for (int y = 0; y < kFigureHeight; ++y)
    for (int x = 0; x < kFigureWidth; ++x)
      bitmap->Canvas()->SetPixels(x, y, rows[y][x] == '#' ? clBlack : clWhite);
  return bitmap;
}

}  // namespace

// One set for every grid: made by the first grid, freed with the last one.
struct TwwGridResources {
  std::unique_ptr<TBitmap> arrow = MakeFigure(kArrowRows);
  std::unique_ptr<TBitmap> edit = MakeFigure(kEditRows);
  std::unique_ptr<TBitmap> insert = MakeFigure(kInsertRows);
  std::unique_ptr<TBitmap> scratch = std::make_unique<TBitmap>();
};

std::shared_ptr<TwwGridResources> TwwCustomDBGrid::SharedResources() {
  static std::weak_ptr<TwwGridResources> shared;
  std::shared_ptr<TwwGridResources> r = shared.lock();
  if (!r) shared = r = std::make_shared<TwwGridResources>();
  return r;
}

// ---- Text ----------------------------------------------------------------------

void TwwCustomDBGrid::WriteLine(const TRect& r, TAlignment alignment, int dx, int dy,
                                const std::string& text, bool opaque) {
  TCanvas* c = Canvas();
  int x = r.Left + dx;
  if (alignment == taRightJustify)
    x = r.Right - c->TextWidth(text) - kTextLeft;
  else if (alignment == taCenter)
    x = r.Left + (r.Right - r.Left) / 2 - c->TextWidth(text) / 2;
  ExtTextOut(c, x, r.Top + dy, ETO_CLIPPED | (opaque ? ETO_OPAQUE : 0), &r, text);
}

std::vector<std::string> TwwCustomDBGrid::WrapLines(const std::string& text, int width) const {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  const auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  while (i < text.size()) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      // CR LF and LF CR are one break.
      const char pair = ch == '\r' ? '\n' : '\r';
      i += (i + 1 < text.size() && text[i + 1] == pair) ? 2 : 1;
      flush();
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
           text[end] != '\n')
      ++end;
    if (end == i) ++end;  // a blank or tab is a piece of its own
    std::string piece = text.substr(i, end - i);
    i = end;
    if (line.empty() && !lines.empty() && piece == " ") continue;  // continued lines drop blanks
    if (!line.empty() && Canvas()->TextWidth(line + piece) > width) {
      flush();
      if (piece == " ") continue;
    }
    line += piece;
  }
  if (!line.empty() || lines.empty()) flush();
  return lines;
}

// Most cells hold one line that fits: one measurement saves the wrapping.
bool TwwCustomDBGrid::FitsOneLine(const TRect& r, const std::string& text) const {
  return text.find_first_of("\r\n") == std::string::npos &&
         Canvas()->TextWidth(text) <= r.Right - r.Left - kTextLeft;
}

void TwwCustomDBGrid::WriteCellText(const TRect& r, TAlignment alignment, const std::string& text) {
  if (!options_.Contains(dgWordWrap) || FitsOneLine(r, text)) {
    WriteLine(r, alignment, kTextLeft, kTextTop, text, true);
    return;
  }
  const int h = Canvas()->TextHeight("W");
  const std::vector<std::string> lines = WrapLines(text, r.Right - r.Left - kTextLeft);
  Canvas()->FillRect(r);
  int y = kTextTop;
  for (const std::string& line : lines) {
    if (r.Top + y >= r.Bottom) break;
    WriteLine(r, alignment, kTextLeft, y, line, false);
    y += h;
  }
}

void TwwCustomDBGrid::WriteTitle(const TRect& r, TAlignment alignment, const std::string& title,
                                 bool pressed) {
  const int lines = titleLines_ == 1 ? 1 : wwCountChar(title, '~') + 1;
  const int h = Canvas()->TextHeight(title);
  // Centred in the title row, halves rounded to even as the layout was measured.
  const int top = int(std::nearbyint(RowHeights(0) * 0.5 - h * lines * 0.5));
  // A pressed title button's text sinks with it.
  const int dx = kTextLeft + (pressed ? 1 : 0), dy = top + (pressed ? 1 : 0);
  if (titleLines_ == 1) {
    WriteLine(r, alignment, dx, dy, title, true);
    return;
  }
  Canvas()->FillRect(r);
  int y = dy;
  int piece = 0;
  for (const std::string& text : wwSplitPieces(title, "~")) {
    WriteLine(r, alignment, dx, y, text, false);
    y += h + (piece++ == 0 ? 1 : 0);
  }
}

// ---- Cells ---------------------------------------------------------------------

bool TwwCustomDBGrid::IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) {
  (void)dataCol, (void)dataRow;
  if (options_.Contains(dgMultiSelect)) return false;  // the selected-row cache decides
  return state.Contains(gdSelected) && (Focused() || options_.Contains(dgAlwaysShowSelection));
}

void TwwCustomDBGrid::CalcCellColors(TField* field, TGridDrawState state, bool highlight,
                                     TFont* font, TBrush* brush) {
  if (OnCalcCellColors) OnCalcCellColors(this, field, state, highlight, font, brush);
  whiteBrush_ = ColorToRGB(brush->Color()) == TColor(0xFFFFFF);
}

void TwwCustomDBGrid::CalcTitleAttributes(const std::string& fieldName, TFont* font, TBrush* brush,
                                          TAlignment& alignment) {
  if (OnCalcTitleAttributes) OnCalcTitleAttributes(this, fieldName, font, brush, alignment);
}

TColor TwwCustomDBGrid::GetColumnColor(int ACol) { return (void)ACol, Color(); }

std::string TwwCustomDBGrid::TitleOf(TField* field) const {
  int index;
  if (!useTFields_ && wwFindSelectedEntry(selected_.get(), field->FieldName(), index)) {
    const TwwSelectedLine line = wwParseSelectedLine(selected_->Strings(index));
    if (line.hasTitle) return line.title;
  }
  return field->DisplayLabel();
}

void TwwCustomDBGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  TCanvas* c = Canvas();
  const bool fixed = AState.Contains(gdFixed);
  BeginCellFrame();
  c->SetFont(fixed ? titleFont_.get() : Font());
  c->Brush()->SetColor(fixed ? titleColor_ : GetColumnColor(ACol));
  const int dataRow = ARow - titleOffset_, dataCol = ACol - indicatorOffset_;
  if (dataRow < 0) {
    PaintTitleCell(ACol, ARow, ARect);
  } else if (!dataLink_->Active()) {
    c->FillRect(ARect);
  } else if (dataCol < 0) {
    c->FillRect(ARect);
    if (dataRow == dataLink_->ActiveRecord()) {
      DrawIndicator(ARect);
      oldIndicatorRow_ = ARow;
    }
  } else {
    PaintDataCell(dataCol, dataRow, ARect, AState);
  }
}

void TwwCustomDBGrid::PaintTitleCell(int ACol, int ARow, const TRect& r) {
  TField* field = GetField(DataColumn(ACol));
  if (!field) {
    WriteLine(r, titleAlignment_, kTextLeft, kTextTop, "", true);
    return;
  }
  TAlignment alignment = titleAlignment_;
  CalcTitleAttributes(field->FieldName(), Canvas()->Font(), Canvas()->Brush(), alignment);
  const bool pressed = pressedTitle_ == TGridCoord{ACol, ARow};
  WriteTitle(r, alignment, TitleOf(field), pressed);
  if (!titleButtons_) return;
  DrawTitleButtonFrame(r, pressed);
  titleFrame_ = true;
}

void TwwCustomDBGrid::PaintDataCell(int dataCol, int dataRow, const TRect& r, TGridDrawState state) {
  TCanvas* c = Canvas();
  const int saved = dataLink_->ActiveRecord();
  paintedRow_ = dataRow;
  paintedCol_ = dataCol;
  try {
    dataLink_->SetActiveRecord(dataRow);
    TField* field = GetField(dataCol);
    const std::string text = field ? CellText(field) : std::string();
    const bool highlight = IsCellHighlighted(dataCol, dataRow, state);
    if (highlight) {
      c->Brush()->SetColor(clHighlight);
      c->Font()->SetColor(clHighlightText);
    }
    CalcCellColors(field, state, highlight, c->Font(), c->Brush());
    if (DefaultDrawing()) WriteCellText(r, field ? field->Alignment() : taLeftJustify, text);
    if (OnDrawDataCell) OnDrawDataCell(this, r, field, state);
  } catch (const Exception&) {
    dataLink_->SetActiveRecord(saved);
    ReportPaintError(r);
    return;
  }
  dataLink_->SetActiveRecord(saved);
}

// A row the dataset cannot read is left blank. The user hears of it once, after
// the paint (a message box inside a paint would paint again and ask again).
void TwwCustomDBGrid::ReportPaintError(const TRect& r) {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(r);
  if (paintErrorShown_) return;
  paintErrorShown_ = true;
  paintError_ = std::current_exception();
  PostMessage(this, kReportPaintError);
}

void TwwCustomDBGrid::Dispatch(TMessage& message) {
  if (message.Msg == WM_MOUSEWHEEL) {
    // The rows are the record window, not rows of the class library's grid.
    WheelRecords(int(int16_t(HiWord(message.WParam))));
    message.Result = 1;
    return;
  }
  if (message.Msg != kReportPaintError) {
    TCustomGrid::Dispatch(message);
    if (message.Msg == CM_FONTCHANGED) GridFontChanged();
    return;
  }
  std::exception_ptr error = std::exchange(paintError_, nullptr);
  if (error) Application->HandleException(this, error);
}

TBitmap* TwwCustomDBGrid::IndicatorFigure() const {
  TDataSet* ds = dataLink_->DataSet();
  const TDataSetState state = ds ? ds->State() : dsInactive;
  if (state == dsEdit) return resources_->edit.get();
  if (state == dsInsert) return resources_->insert.get();
  return resources_->arrow.get();
}

void TwwCustomDBGrid::DrawIndicator(const TRect& cell) {
  TCanvas* c = Canvas();
  TBitmap* figure = IndicatorFigure();
  const TRect source{0, 0, kFigureWidth, kFigureHeight};
  const int x = (cell.Right - kFigureWidth) / 2 + 1;
  const int y = (cell.Top + cell.Bottom - kFigureHeight) / 2;
  const TRect dest{x, y, x + kFigureWidth, y + kFigureHeight};
  if (indicatorColor_ == icBlack) {
    // The white background lets the cell's colour through.
    c->SetCopyMode(SRCAND);
    c->CopyRect(dest, figure->Canvas(), source);
  } else {
    // Black becomes yellow, then white becomes the cell's colour.
    TBitmap* scratch = resources_->scratch.get();
    scratch->SetSize(kFigureWidth, kFigureHeight);
    scratch->Canvas()->Brush()->SetColor(clYellow);
    scratch->Canvas()->BrushCopy(source, figure, source, clBlack);
    c->BrushCopy(dest, scratch, source, clWhite);
  }
  c->SetCopyMode(SRCCOPY);
}

// ---- Frames --------------------------------------------------------------------

namespace {

// The grey of the inner shadow of buttons.
constexpr TColor kButtonGrey = TColor(0x808080);

void Line(TCanvas* c, TColor color, TPoint from, TPoint to) {
  c->Pen()->SetColor(color);
  c->Polyline({from, to});
}

bool IsWhite(TColor color) { return ColorToRGB(color) == TColor(0xFFFFFF); }

}  // namespace

void TwwCustomDBGrid::BeginCellFrame() {
  focusFrame_ = titleFrame_ = false;
  // Only a data cell's colours make its brush white (CalcCellColors); a
  // title cell must not inherit the verdict of the cell painted before it.
  whiteBrush_ = false;
}

void TwwCustomDBGrid::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  Invalidate();
}

void TwwCustomDBGrid::SetTitleButtons(bool value) {
  if (value == titleButtons_) return;
  titleButtons_ = value;
  Invalidate();
}

void TwwCustomDBGrid::DrawTitleButtonFrame(const TRect& r, bool pressed) {
  TCanvas* c = Canvas();
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  if (!pressed) {
    c->Pen()->SetColor(kButtonGrey);
    c->Polyline({{L, T}, {L, B - 1}, {R - 1, B - 1}, {R - 1, T}});
    Line(c, clBtnHighlight, {L, T}, {L, B});
    Line(c, clBtnHighlight, {L + 1, T}, {R - 1, T});
    Line(c, clBtnShadow, {L, B - 1}, {R, B - 1});
    return;
  }
  Line(c, clBlack, {L, T}, {L, B});
  Line(c, clBlack, {L, T}, {R, T});
  Line(c, kButtonGrey, {L + 1, T + 1}, {L + 1, B - 1});
  Line(c, kButtonGrey, {L + 1, B - 1}, {R, B - 1});
  Line(c, clBtnHighlight, {R, B - 1}, {R, T - 1});
}

void TwwCustomDBGrid::DrawCellFrame(int ACol, int ARow, const TRect& r, TGridDrawState state) {
  if (titleFrame_) return;
  titleFrame_ = true;
  TCanvas* c = Canvas();
  const bool title = ARow < titleOffset_, indicator = ACol < indicatorOffset_;
  const bool data = !title && !indicator;
  const bool whiteGrid = IsWhite(Color());
  // A white grid shows its plain lines around white and highlighted cells.
  if (data && whiteGrid &&
      (whiteBrush_ || (IsCellHighlighted(DataColumn(ACol), DataRow(ARow), state) &&
                       ColorToRGB(c->Brush()->Color()) == ColorToRGB(clHighlight))))
    return;
  if (data && !ctl3D_) return;
  const TColor savedPen = c->Pen()->Color();
  c->Pen()->SetWidth(1);
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  const bool rowLines = options_.Contains(dgRowLines);
  // The far edges lie on the grid lines: black beside fixed cells.
  const TColor far = state.Contains(gdFixed) ? clBlack : clBtnShadow;
  if (options_.Contains(dgColLines)) {
    if (!rowLines) {
      Line(c, clBtnHighlight, {L, B}, {L, T - 1});
      if (!indicator) Line(c, clBtnShadow, {R, B}, {R, T - 1});
    } else if (whiteBrush_) {
      Line(c, clBtnHighlight, {L, B}, {L, T});
    } else {
      if (!focusFrame_) Line(c, clBtnHighlight, {L, B}, {L, T});
      Line(c, far, {R, B}, {R, T});
    }
  }
  if (title && whiteGrid && !rowLines) Line(c, clBlack, {L, B - 1}, {R, B - 1});
  if (!rowLines) {
    if (indicator && DataRow(ARow) == 0 && indicatorButton_) {
      Line(c, clBtnHighlight, {L, T}, {R, T});
      Line(c, clBtnShadow, {L, T - 1}, {R, T - 1});
    } else if (title) {
      Line(c, clBtnHighlight, {L, T}, {R, T});
    }
  } else if (whiteBrush_) {
    Line(c, clBtnHighlight, {L, T}, {R, T});
  } else {
    if (!focusFrame_) Line(c, clBtnHighlight, {L, T}, {R, T});
    Line(c, far, {L, B}, {R, B});
  }
  c->Pen()->SetColor(savedPen);
}
