#pragma once
// Internal to the grid's .cpp files: the geometry of one direction.

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/classlib/grids/grids.h"

// Raises EInvalidGridOperation "Grid index out of range" unless `ok`.
void CheckGridIndex(bool ok);

// One direction of the grid: column widths or row heights, the fixed cells
// at its start, the first scrollable cell in view and the client extent.
// A cell is followed by its grid line.
struct TCustomGrid::Axis {
  const std::vector<int>* sizes;
  int fixed;
  int first;
  int line;
  int client;

  int Count() const { return int(sizes->size()); }
  int Extent(int i) const { return (*sizes)[size_t(i)]; }
  int FixedBoundary() const {
    int pos = 0;
    for (int i = 0; i < fixed; ++i) pos += Extent(i) + line;
    return pos;
  }
  // Where cell i starts, or -1 when it is scrolled out at the start.
  int Start(int i) const {
    if (i >= fixed && i < first) return -1;
    int pos = 0;
    for (int j = 0; j < std::min(i, fixed); ++j) pos += Extent(j) + line;
    for (int j = first; j < i; ++j) pos += Extent(j) + line;
    return pos;
  }
  // The next cell in drawing order after i (fixed cells, then from first).
  int Next(int i) const { return i + 1 == fixed ? std::max(first, fixed) : i + 1; }
  int Begin() const { return fixed > 0 ? 0 : first; }
  // The last scrollable cell that ends inside the client extent.
  int LastFullVisible() const {
    int pos = FixedBoundary(), i = first;
    while (i < Count() && pos + Extent(i) <= client) pos += Extent(i++) + line;
    return i - 1;
  }
  // Where the drawn cells end (at most the client extent).
  int GridBoundary() const {
    int pos = FixedBoundary();
    for (int i = first; i < Count() && pos < client; ++i) pos += Extent(i) + line;
    return std::min(pos, client);
  }
  // The largest first cell that still fills the view to the last cell.
  int MaxFirst() const {
    // Walks back from the last cell while the cells from i to the end fit.
    const int room = client - FixedBoundary();
    int i = Count() - 1, used = Extent(i);
    while (i - 1 >= fixed && used + line + Extent(i - 1) <= room) used += line + Extent(--i);
    return std::max(fixed, i);
  }
  // The cell (with its line) holding client position pos; -1 for none.
  int CellAt(int pos) const {
    if (pos < 0) return -1;
    int start = 0;
    for (int i = Begin(); i < Count() && start < client; i = Next(i)) {
      const int end = start + Extent(i) + line;
      if (pos < end) return i;
      start = end;
    }
    return -1;
  }
  // The client span of cells lo..hi (both shown); false when none is in view.
  bool Span(int lo, int hi, int& s, int& e) const {
    if (lo > hi) std::swap(lo, hi);
    if (lo < 0 || hi >= Count()) return false;
    if (lo >= fixed && lo < first) {
      if (hi < first) return false;
      lo = first;
    }
    if (hi >= fixed && hi < first) hi = fixed - 1;
    s = Start(lo);
    e = Start(hi) + Extent(hi);
    e = std::min(e, client);
    return s < client && e > s;
  }
};

