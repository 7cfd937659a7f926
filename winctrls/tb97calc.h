#pragma once
// The arithmetic of docks and toolbars, kept apart from the controls so that
// it can be checked on plain numbers: how a dock arranges its bars in rows,
// how a bar lays out its controls (and wraps them when floating), which
// sizes a floating bar may be dragged to, and where outlines and floating
// windows may go on the screen.

#include <functional>
#include <vector>

#include "platform/classlib/graphics/types.h"

namespace tb97 {

constexpr int kMaxInt = 2147483647;

// Fixed window metrics of a floating bar: the frame on every side and the
// small caption. Fixed rather than asked of the desktop, so that layouts and
// stored rectangles do not depend on the theme.
constexpr int kFrame = 3;
constexpr int kCaption = 15;

// The least thickness of a row or a bar and the docked margins around it
// (top 2 plus bottom 2).
constexpr int kMinThickness = 8;
constexpr int kDockedMargins = 4;

// Stored layouts may be damaged: rows and positions read back are kept in
// these ranges (a row beyond the bars present only collapses to the last
// one; positions beyond the 16-bit screen range mean nothing).
constexpr int kMaxDockRow = 1023;
constexpr int kMinDockPos = -32768, kMaxDockPos = 32767;
int ClampDockRow(int row);
int ClampDockPos(int pos);

// The dock type of a bar: not docked, docked top or bottom, docked left or right.
enum DockType { dtNone = 0, dtTopBottom = 1, dtLeftRight = 2 };

// The thickness a bar needs across a row (of its tallest / widest control).
struct DockedSize {
  int tbThickness = kMinThickness, lrThickness = kMinThickness;
  int TBSize() const { return tbThickness + kDockedMargins; }
  int LRSize() const { return lrThickness + kDockedMargins; }
  int Size(bool vertical) const { return vertical ? LRSize() : TBSize(); }
  friend bool operator==(const DockedSize&, const DockedSize&) = default;
};

// ---- Dock arrangement ----

// One bar of a dock as the arrangement sees it. `length` is its extent along
// the row (width in a horizontal dock, height in a vertical one).
struct DockSlot {
  int row = 0;
  int pos = -1;
  int length = 0;
  DockedSize size;
  int id = 0;  // the caller's identity of the bar; the arrangement reorders slots
  // Result: the offset of the bar's row across the dock and the row's size.
  int rowOffset = 0, rowSize = 0;
};

struct DockArrangement {
  std::vector<DockedSize> rows;  // one record per row (thicknesses of the row)
  int thickness = 0;             // the dock's new client thickness
};

// Sorts the slots by (row, pos), keeping the given order of equal ones,
// renumbers rows 0, 1, 2 ... without gaps, closes gaps and overlaps along
// each row, pulls rows that stick out back inside `clientLength`, and places
// the rows one after the other across the dock.
DockArrangement ArrangeDock(std::vector<DockSlot>& slots, bool vertical, bool limitToOneRow,
                            int clientLength);
// Rows 0, 1, 2 ... in the order of their numbers, empty ones removed.
void RemoveBlankRows(std::vector<DockSlot>& slots);
// The row whose band contains `pos` (across the dock); past the last row
// the number of a new row.
int RowAt(const std::vector<int>& rowSizes, int pos);
// For a drop: within 5 pixels of a row boundary `newRow` is set and the
// answer is the row to insert before; otherwise the row to join.
int RowAtForDrop(const std::vector<int>& rowSizes, int pos, bool& newRow);

// ---- Control layout of a bar ----

struct LayoutItem {
  int width = 0, height = 0;
  bool separator = false;
  bool blank = false;   // a separator that draws no line
  int sizeHorz = 6, sizeVert = 6;
};

struct LayoutInput {
  std::vector<LayoutItem> items;  // the visible controls in bar order
  DockType dockType = dtNone;
  int wrapAt = 0;       // 0: never wrap
  bool dragHandle = true;
  bool docked = false;  // the bar sits in a dock (its size has a floor)
  DockedSize row;       // record of the bar's row (docked), else its own
};

struct LayoutResult {
  std::vector<TRect> bounds;            // per item, in the bar's client area
  std::vector<int> collapsed;           // separators that ended a wrapped line
  struct LineBreak { int y; bool blank; };
  std::vector<LineBreak> lineBreaks;    // etched lines between wrapped lines
  TSize client;                         // the bar's client size
};

DockedSize MeasureDockedSize(const std::vector<LayoutItem>& items);
LayoutResult LayoutControls(const LayoutInput& in);

// Margins per dock type, as the layout uses them.
int LeftMargin(DockType type, bool dragHandle);
int RightMargin(DockType type);

// ---- Floating windows ----

// Client size <-> window size of a floating bar (frame and caption).
TRect ClientToWindowRect(const TRect& r);
TRect WindowToClientRect(const TRect& r);
// The sizes a floating bar may be dragged to: the one-line size first, then
// each narrower arrangement (wrap width down to the widest control + 8); an
// arrangement as high as the previous one replaces it.
std::vector<TSize> CandidateSizes(const std::function<TSize(int wrapAt)>& layout,
                                  int widestControl);
// The candidate a sizing drag lands on. `horizontal`: the left or right edge
// is dragged (widths count); candidates sorted from largest to smallest.
// Within the tolerance of the current size the size stays.
int SizeTolerance(const std::vector<int>& sortedDesc, int current);
int PickCandidate(const std::vector<int>& sortedDesc, int wanted, int current, int tolerance,
                  bool stickToCurrent);

// The outline of a drag: W x H with the grab point at the same relative place
// under the mouse.
TRect OutlineAt(TPoint mouse, TSize size, TPoint grab, TSize initial);
// A floating outline stays reachable: at least partly within the work area
// shrunk by frame + 4.
TRect KeepReachable(TRect r, const TRect& workArea);
// Moves a floating window into the work area; its left and top win when it
// is larger.
TRect MoveOnScreen(TRect r, const TRect& workArea);
bool WhollyOutside(const TRect& r, const TRect& workArea);

// Where a point of a floating window lies (HTCLIENT, HTCLOSE, HTTOP ...);
// `p` relative to the window's top-left.
int FloatHitTest(TPoint p, TSize window, bool closeButton);
TRect CaptionRect(TSize window, bool closeButton);
TRect CloseButtonRect(TSize window);

// Would a bar dragged with the mouse at `mouse` go into the dock whose client
// area (screen) is `dock`? `wouldBe` is the outline it would have there.
bool DockAccepts(TRect dock, bool vertical, TPoint mouse, const TRect& wouldBe, TPoint grab,
                 TSize initial);

}  // namespace tb97
