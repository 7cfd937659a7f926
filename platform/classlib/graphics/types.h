#pragma once
// Points, sizes and rectangles of the drawing model. A rectangle includes its
// left and top edges and excludes its right and bottom edges, as every drawing
// routine of the class library counts them.

#include <algorithm>
#include <cstdint>

struct TPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  TPoint TopLeft() const { return {Left, Top}; }
  TPoint BottomRight() const { return {Right, Bottom}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int x, int y) { return {x, y}; }
inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

inline bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
inline bool PtInRect(const TRect& r, TPoint p) {
  return p.x >= r.Left && p.x < r.Right && p.y >= r.Top && p.y < r.Bottom;
}
inline void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx; r.Right += dx; r.Top += dy; r.Bottom += dy;
}
inline void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx; r.Right += dx; r.Top -= dy; r.Bottom += dy;
}
// Both return false (and an empty rectangle) when the result is empty.
inline bool IntersectRect(TRect& dest, const TRect& a, const TRect& b) {
  dest = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (IsRectEmpty(dest)) {
    dest = {};
    return false;
  }
  return true;
}
inline bool UnionRect(TRect& dest, const TRect& a, const TRect& b) {
  if (IsRectEmpty(a)) dest = b;
  else if (IsRectEmpty(b)) dest = a;
  else
    dest = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
  return !IsRectEmpty(dest);
}
