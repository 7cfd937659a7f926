#include "winctrls/tb97calc.h"

#include <algorithm>
#include <map>

#include "platform/classlib/controls/messages.h"

namespace tb97 {

int ClampDockRow(int row) { return std::clamp(row, 0, kMaxDockRow); }
int ClampDockPos(int pos) { return std::clamp(pos, kMinDockPos, kMaxDockPos); }

// ---- Dock arrangement ----

void RemoveBlankRows(std::vector<DockSlot>& slots) {
  // Renumbering the rows in use is what removing each empty row in turn
  // amounts to, without walking every number up to a (damaged) huge one.
  std::map<int, int> renumber;
  for (const DockSlot& s : slots) renumber[s.row] = 0;
  int next = 0;
  for (auto& [row, number] : renumber) number = next++;
  for (DockSlot& s : slots) s.row = renumber[s.row];
}

namespace {

// Step along one row: a bar at or before the running position moves up to
// it, so bars neither overlap nor leave a gap before the first.
void CloseGaps(std::vector<DockSlot*>& row) {
  int p = 0;
  for (DockSlot* s : row) {
    if (s->pos <= p) s->pos = p;
    else p = s->pos;
    p += s->length;
  }
}

// A row whose last bar ends beyond the dock shifts back as a whole.
void PullBack(std::vector<DockSlot*>& row, int clientLength) {
  if (row.empty()) return;
  const DockSlot* last = row.back();
  const int excess = last->pos + last->length - clientLength;
  if (excess <= 0) return;
  for (DockSlot* s : row) s->pos -= excess;
}

}  // namespace

DockArrangement ArrangeDock(std::vector<DockSlot>& slots, bool vertical, bool limitToOneRow,
                            int clientLength) {
  DockArrangement result;
  for (DockSlot& s : slots) {
    s.row = limitToOneRow ? 0 : ClampDockRow(s.row);
    s.pos = ClampDockPos(s.pos);
  }
  // Equal (row, pos) keep their list order, so a re-arrangement never swaps them.
  std::stable_sort(slots.begin(), slots.end(), [](const DockSlot& a, const DockSlot& b) {
    return a.row != b.row ? a.row < b.row : a.pos < b.pos;
  });
  RemoveBlankRows(slots);
  const int rowCount = slots.empty() ? 0 : slots.back().row + 1;
  std::vector<std::vector<DockSlot*>> rows(rowCount);
  result.rows.resize(rowCount);
  for (DockSlot& s : slots) {
    rows[s.row].push_back(&s);
    DockedSize& r = result.rows[s.row];
    r.tbThickness = std::max(r.tbThickness, s.size.tbThickness);
    r.lrThickness = std::max(r.lrThickness, s.size.lrThickness);
  }
  int offset = 0;
  for (int i = 0; i < rowCount; ++i) {
    CloseGaps(rows[i]);
    PullBack(rows[i], clientLength);
    CloseGaps(rows[i]);  // bars pulled before 0 come back, the rest follow
    const int size = result.rows[i].Size(vertical);
    for (DockSlot* s : rows[i]) {
      s->rowOffset = offset;
      s->rowSize = size;
    }
    offset += size;
  }
  result.thickness = offset;
  return result;
}

int RowAt(const std::vector<int>& rowSizes, int pos) {
  int end = 0;
  for (int r = 0; r < int(rowSizes.size()); ++r) {
    end += rowSizes[r];
    if (end > pos) return r;
  }
  return int(rowSizes.size());
}

int RowAtForDrop(const std::vector<int>& rowSizes, int pos, bool& newRow) {
  // A band of 5 pixels on either side of each row boundary means "a new row here".
  constexpr int kBand = 5;
  newRow = false;
  long long start = 0;
  const int count = int(rowSizes.size());
  for (int r = 0; r <= count; ++r) {
    const long long end = r < count ? start + rowSizes[r] : kMaxInt;
    if (pos <= start + kBand) {
      newRow = true;
      return r;
    }
    if (pos <= end - kBand) return r;
    start = end;
  }
  return count;
}

// ---- Control layout ----

namespace {

constexpr int kTopMargin[] = {2, 2, 2};
constexpr int kBottomMargin[] = {1, 2, 2};
constexpr int kLeftMarginDrag[] = {4, 11, 11};
constexpr int kLeftMarginNoDrag[] = {4, 2, 2};
constexpr int kRightMargin[] = {4, 2, 2};
constexpr int kLineSpacing = 6;

struct Group {
  std::vector<int> items;
  int width = 0, height = 0;
};

// Groups end after each separator; separators add nothing to a group's size.
std::vector<Group> BuildGroups(const std::vector<LayoutItem>& items) {
  std::vector<Group> groups;
  bool startNew = true;
  for (int i = 0; i < int(items.size()); ++i) {
    if (startNew) groups.emplace_back();
    Group& g = groups.back();
    g.items.push_back(i);
    startNew = items[i].separator;
    if (!items[i].separator) {
      g.width += items[i].width;
      g.height += items[i].height;
    }
  }
  return groups;
}

}  // namespace

int LeftMargin(DockType type, bool dragHandle) {
  return dragHandle ? kLeftMarginDrag[type] : kLeftMarginNoDrag[type];
}
int RightMargin(DockType type) { return kRightMargin[type]; }

DockedSize MeasureDockedSize(const std::vector<LayoutItem>& items) {
  DockedSize d;
  for (const LayoutItem& it : items) {
    if (it.separator) continue;
    d.tbThickness = std::max(d.tbThickness, it.height);
    d.lrThickness = std::max(d.lrThickness, it.width);
  }
  return d;
}

LayoutResult LayoutControls(const LayoutInput& in) {
  LayoutResult out;
  const DockType type = in.dockType;
  const bool vertical = type == dtLeftRight;
  const int wrapAt = (type != dtNone || in.wrapAt == 0) ? kMaxInt : in.wrapAt;
  const int left = LeftMargin(type, in.dragHandle), right = kRightMargin[type];
  const DockedSize& t = in.row;
  const int lineThickness = vertical ? t.lrThickness : t.tbThickness;
  out.bounds.resize(in.items.size());
  // Sums in 64 bits: a wrap width near the largest integer must not overflow.
  long long x = 0, maxX = 0;
  int y = kTopMargin[type];
  const std::vector<Group> groups = BuildGroups(in.items);
  if (groups.empty()) maxX = left + kMinThickness;
  bool groupWrapped = false, first = true;
  int pendingSep = -1;
  long long extentBeforeSep = 0;
  for (size_t gi = 0; gi < groups.size(); ++gi) {
    const Group& g = groups[gi];
    const int size = vertical ? g.height : g.width;
    bool breakLine = type == dtNone && groupWrapped;
    if (!breakLine) {
      if (first) {
        x += left;
        first = false;
      }
      breakLine = x + size + right > wrapAt;
    }
    if (breakLine) {
      x = left;
      maxX = std::max(maxX, x);
      if (gi > 0 && !groups[gi - 1].items.empty()) {
        y += lineThickness + kLineSpacing;
        if (pendingSep >= 0) {
          maxX = extentBeforeSep;
          out.collapsed.push_back(pendingSep);
          out.lineBreaks.push_back({y, in.items[pendingSep].blank});
        }
      }
    } else {
      maxX = std::max(maxX, x);
    }
    groupWrapped = false;
    for (int i : g.items) {
      const LayoutItem& c = in.items[i];
      const int len = c.separator ? (vertical ? c.sizeVert : c.sizeHorz)
                                  : (vertical ? c.height : c.width);
      // A control already at the start of a line stays there, however wide:
      // wrapping it would only leave an empty line above it.
      if (!c.separator && x > left && x + len + right > wrapAt) {
        x = left;
        maxX = std::max(maxX, x);
        y += t.tbThickness;
        groupWrapped = true;
      }
      TRect& b = out.bounds[i];
      const int xi = int(x);
      if (!vertical && c.separator) b = Bounds(xi, y, c.sizeHorz, t.tbThickness);
      else if (!vertical) b = Bounds(xi, y + (t.tbThickness - c.height) / 2, c.width, c.height);
      else if (c.separator) b = Bounds(y, xi, t.lrThickness, c.sizeVert);
      else b = Bounds(y + (t.lrThickness - c.width) / 2, xi, c.width, c.height);
      extentBeforeSep = x;
      x += len;
      pendingSep = c.separator ? i : -1;
      maxX = std::max(maxX, x);
    }
  }
  // A separator that ends a line takes no room there.
  for (int i : out.collapsed) (vertical ? out.bounds[i].Bottom : out.bounds[i].Right) =
      vertical ? out.bounds[i].Top : out.bounds[i].Left;
  const int length = int(maxX) + right;
  int thickness = lineThickness + y + kBottomMargin[type];
  if (in.docked) thickness = std::max(thickness, t.Size(vertical));
  out.client = vertical ? TSize{thickness, length} : TSize{length, thickness};
  return out;
}

// ---- Floating windows ----

TRect ClientToWindowRect(const TRect& r) {
  return {r.Left - kFrame, r.Top, r.Right + kFrame, r.Bottom + 2 * kFrame + kCaption};
}
TRect WindowToClientRect(const TRect& r) {
  return {r.Left + kFrame, r.Top, r.Right - kFrame, r.Bottom - 2 * kFrame - kCaption};
}

std::vector<TSize> CandidateSizes(const std::function<TSize(int wrapAt)>& layout,
                                  int widestControl) {
  std::vector<TSize> list;
  const TSize one = layout(0);
  list.push_back(one);
  int lastHeight = one.cy, lastWidth = kMaxInt;
  for (int w = one.cx - 1; w >= widestControl + 8; --w) {
    if (w > lastWidth) continue;
    const TSize s = layout(w);
    if (s.cx == w) {
      if (s.cy == lastHeight) list.pop_back();
      if (std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
      lastHeight = s.cy;
    } else {
      lastWidth = s.cx;
    }
  }
  return list;
}

int SizeTolerance(const std::vector<int>& sortedDesc, int current) {
  int t = 12;
  const auto it = std::find(sortedDesc.begin(), sortedDesc.end(), current);
  if (it == sortedDesc.end()) return t;
  if (it != sortedDesc.begin()) t = std::min(t, *(it - 1) - current - 1);
  if (it + 1 != sortedDesc.end()) t = std::min(t, current - *(it + 1) - 1);
  return std::max(t, 0);
}

int PickCandidate(const std::vector<int>& sortedDesc, int wanted, int current, int tolerance,
                  bool stickToCurrent) {
  if (sortedDesc.empty()) return current;
  if (stickToCurrent && wanted >= current - tolerance && wanted < current + tolerance)
    wanted = current;
  if (wanted < current) {
    // Shrinking: the largest not above the wish, else the smallest.
    for (int s : sortedDesc)
      if (s <= wanted) return s;
    return sortedDesc.back();
  }
  // Growing (or staying): the smallest above the wish... or the wish itself
  // when it is a candidate; the largest when none is.
  for (auto it = sortedDesc.rbegin(); it != sortedDesc.rend(); ++it)
    if (*it >= wanted) return *it;
  return sortedDesc.front();
}

namespace {
// a * b / c without overflow; 0 for a zero divisor (a bar of no size).
int MulDiv(long long a, long long b, long long c) { return c ? int(a * b / c) : 0; }
}  // namespace

TRect OutlineAt(TPoint mouse, TSize size, TPoint grab, TSize initial) {
  const int left = mouse.x - MulDiv(size.cx - 1, grab.x, initial.cx);
  const int top = mouse.y - MulDiv(size.cy - 1, grab.y, initial.cy);
  return Bounds(left, top, size.cx, size.cy);
}

TRect KeepReachable(TRect r, const TRect& workArea) {
  TRect a = workArea;
  InflateRect(a, -(kFrame + 4), -(kFrame + 4));
  if (r.Bottom < a.Top) OffsetRect(r, 0, a.Top - r.Bottom);
  if (r.Top > a.Bottom) OffsetRect(r, 0, a.Bottom - r.Top);
  if (r.Right < a.Left) OffsetRect(r, a.Left - r.Right, 0);
  if (r.Left > a.Right) OffsetRect(r, a.Right - r.Left, 0);
  return r;
}

TRect MoveOnScreen(TRect r, const TRect& a) {
  if (r.Right > a.Right) OffsetRect(r, a.Right - r.Right, 0);
  if (r.Bottom > a.Bottom) OffsetRect(r, 0, a.Bottom - r.Bottom);
  if (r.Left < a.Left) OffsetRect(r, a.Left - r.Left, 0);
  if (r.Top < a.Top) OffsetRect(r, 0, a.Top - r.Top);
  return r;
}

bool WhollyOutside(const TRect& r, const TRect& workArea) {
  TRect overlap;
  return !IntersectRect(overlap, r, workArea);
}

TRect CaptionRect(TSize window, bool closeButton) {
  TRect r = Rect(kFrame, kFrame, window.cx - kFrame, kFrame + kCaption - 1);
  if (closeButton) r.Right -= kCaption - 1;
  return r;
}

TRect CloseButtonRect(TSize window) {
  const TRect full = CaptionRect(window, false);
  return Rect(full.Right - (kCaption - 1), full.Top, full.Right, full.Bottom);
}

int FloatHitTest(TPoint p, TSize window, bool closeButton) {
  if (closeButton && PtInRect(CloseButtonRect(window), p)) return HTCLOSE;
  if (PtInRect(CaptionRect(window, closeButton), p)) return HTCLIENT;
  // The first match wins: corners size vertically.
  if (p.y >= 0 && p.y <= kFrame) return HTTOP;
  if (p.y >= window.cy - kFrame - 1 && p.y < window.cy) return HTBOTTOM;
  if (p.x >= 0 && p.x <= kFrame) return HTLEFT;
  if (p.x >= window.cx - kFrame - 1 && p.x < window.cx) return HTRIGHT;
  return HTCLIENT;
}

bool DockAccepts(TRect r, bool vertical, TPoint m, const TRect& wouldBe, TPoint grab,
                 TSize initial) {
  // An empty dock still catches a bar dragged over its edge.
  if (r.Width() <= 0 || r.Height() <= 0) {
    if (vertical) InflateRect(r, 1, 0);
    else InflateRect(r, 0, 1);
  }
  const int ax = MulDiv(32, grab.x, initial.cx), ay = MulDiv(20, grab.y, initial.cy);
  if (m.x < r.Left - (32 - ax) || m.x > r.Right - 1 + ax) return false;
  if (vertical && (m.y < r.Top || m.y >= r.Bottom)) return false;
  if (m.y < r.Top - (20 - ay) || m.y > r.Bottom - 1 + ay) return false;
  TRect overlap;
  return IntersectRect(overlap, wouldBe, r);
}

}  // namespace tb97
