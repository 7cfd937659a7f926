#include <gtest/gtest.h>

#include "platform/classlib/controls/messages.h"
#include "winctrls/tb97calc.h"

using namespace tb97;

namespace {

struct Bar { int row, pos, length, thickness; };
struct Placed { int row, pos, offset; };

std::vector<Placed> Arrange(std::vector<Bar> bars, int client, bool oneRow = false,
                            int* thickness = nullptr) {
  std::vector<DockSlot> slots;
  for (size_t i = 0; i < bars.size(); ++i)
    slots.push_back({bars[i].row, bars[i].pos, bars[i].length,
                     {bars[i].thickness, bars[i].thickness}, int(i)});
  const DockArrangement a = ArrangeDock(slots, false, oneRow, client);
  if (thickness) *thickness = a.thickness;
  std::vector<Placed> out(bars.size());
  for (const DockSlot& s : slots) out[size_t(s.id)] = {s.row, s.pos, s.rowOffset};
  return out;
}

bool operator==(const Placed& a, const Placed& b) {
  return a.row == b.row && a.pos == b.pos && a.offset == b.offset;
}

}  // namespace

TEST(DockArrangement, RowsPositionsAndEdgeCases) {
  struct Case {
    const char* what;
    std::vector<Bar> bars;
    int client;
    bool oneRow;
    std::vector<Placed> want;
    int thickness;
  } cases[] = {
      {"gap before the first bar is kept, overlap pushed along", {{0, 10, 50, 22}, {0, 30, 40, 22}},
       400, false, {{0, 10, 0}, {0, 60, 0}}, 26},
      {"default position -1 starts the row", {{0, -1, 50, 22}}, 400, false, {{0, 0, 0}}, 26},
      {"empty rows disappear", {{0, 0, 50, 22}, {5, 0, 50, 30}}, 400, false,
       {{0, 0, 0}, {1, 0, 26}}, 60},
      {"a row sticking out shifts back as a whole", {{0, 100, 50, 22}, {0, 180, 50, 22}}, 200,
       false, {{0, 70, 0}, {0, 150, 0}}, 26},
      {"pulled before 0 comes back and pushes the rest", {{0, 0, 150, 22}, {0, 150, 150, 22}},
       200, false, {{0, 0, 0}, {0, 150, 0}}, 26},
      {"one row only", {{0, 0, 50, 22}, {3, 0, 50, 22}}, 400, true, {{0, 0, 0}, {0, 50, 0}}, 26},
      {"thin bars make a row of 8 + 4", {{0, 0, 20, 4}}, 400, false, {{0, 0, 0}}, 12},
      {"damaged negative and huge rows are clamped", {{-7, 0, 50, 22}, {2000000000, 0, 50, 22}},
       400, false, {{0, 0, 0}, {1, 0, 26}}, 52},
      {"huge positions do not overflow", {{0, 2147483647, 50, 22}}, 400, false, {{0, 350, 0}}, 26},
      {"equal row and position keep their order", {{0, 0, 50, 22}, {0, 0, 40, 22}, {0, 0, 30, 22}},
       400, false, {{0, 0, 0}, {0, 50, 0}, {0, 90, 0}}, 26},
  };
  for (const Case& c : cases) {
    int thickness = 0;
    EXPECT_EQ(Arrange(c.bars, c.client, c.oneRow, &thickness), c.want) << c.what;
    EXPECT_EQ(thickness, c.thickness) << c.what;
  }
}

TEST(DockArrangement, RowAtAndRowAtForDrop) {
  const std::vector<int> rows = {26, 30};
  struct Case { int pos, row, dropRow; bool newRow; } cases[] = {
      {0, 0, 0, true},   {5, 0, 0, true},   {6, 0, 0, false}, {21, 0, 0, false},
      {22, 0, 1, true},  {25, 0, 1, true},  {31, 1, 1, true}, {32, 1, 1, false},
      {56, 2, 2, true},  {90, 2, 2, false}, {-3, 0, 0, true},
  };
  for (const Case& c : cases) {
    bool newRow = false;
    EXPECT_EQ(RowAt(rows, c.pos), c.row) << c.pos;
    EXPECT_EQ(RowAtForDrop(rows, c.pos, newRow), c.dropRow) << c.pos;
    EXPECT_EQ(newRow, c.newRow) << c.pos;
  }
}

TEST(ToolbarLayout, DockedFloatingAndWrapped) {
  const LayoutItem b26{23, 26}, b22{23, 22}, sep{6, 6, true}, blankSep{6, 6, true, true};
  struct Case {
    const char* what;
    std::vector<LayoutItem> items;
    DockType type;
    int wrapAt;
    bool drag;
    std::vector<TRect> bounds;
    TSize client;
    size_t breaks;
  } cases[] = {
      {"docked with a handle", {b26, sep, b26}, dtTopBottom, 0, true,
       {Bounds(11, 2, 23, 26), Bounds(34, 2, 6, 26), Bounds(40, 2, 23, 26)}, {65, 30}, 0},
      {"docked without a handle", {b26}, dtTopBottom, 0, false, {Bounds(2, 2, 23, 26)}, {27, 30}, 0},
      {"a smaller button is centred", {b26, b22}, dtTopBottom, 0, true,
       {Bounds(11, 2, 23, 26), Bounds(34, 4, 23, 22)}, {59, 30}, 0},
      {"left/right dock exchanges the axes", {b26, sep}, dtLeftRight, 0, true,
       {Bounds(2, 11, 23, 26), Bounds(2, 37, 23, 6)}, {27, 45}, 0},
      {"floating on one line", {b26, sep, b26}, dtNone, 0, true,
       {Bounds(4, 2, 23, 26), Bounds(27, 2, 6, 26), Bounds(33, 2, 23, 26)}, {60, 29}, 0},
      {"floating wrapped at a group, the separator collapses", {b26, sep, b26}, dtNone, 40, true,
       {Bounds(4, 2, 23, 26), Bounds(27, 2, 0, 26), Bounds(4, 34, 23, 26)}, {31, 61}, 1},
      {"a control wider than the wrap width gets its own line", {{60, 26}}, dtNone, 30, true,
       {Bounds(4, 2, 60, 26)}, {68, 29}, 0},
      {"no controls", {}, dtNone, 0, true, {}, {16, 11}, 0},
  };
  for (const Case& c : cases) {
    LayoutInput in{c.items, c.type, c.wrapAt, c.drag, c.type != dtNone,
                   MeasureDockedSize(c.items)};
    const LayoutResult r = LayoutControls(in);
    EXPECT_EQ(r.bounds, c.bounds) << c.what;
    EXPECT_EQ(r.client, c.client) << c.what;
    EXPECT_EQ(r.lineBreaks.size(), c.breaks) << c.what;
  }
  // A blank separator ending a line leaves no etched line to draw.
  LayoutInput in{{b26, blankSep, b26}, dtNone, 40, true, false, {26, 23}};
  const LayoutResult r = LayoutControls(in);
  ASSERT_EQ(r.lineBreaks.size(), 1u);
  EXPECT_TRUE(r.lineBreaks[0].blank);
}

TEST(FloatingToolbar, CandidateSizesAndSnapping) {
  // Three 23-wide buttons, each its own group: one, two or three per line.
  auto layout = [](int wrapAt) {
    const LayoutItem b{23, 22}, sep{6, 6, true};
    return LayoutControls({{b, sep, b, sep, b}, dtNone, wrapAt, true, false, {22, 23}}).client;
  };
  const std::vector<TSize> sizes = CandidateSizes(layout, 23);
  EXPECT_EQ(sizes, (std::vector<TSize>{{89, 25}, {60, 53}, {31, 81}}));
  const std::vector<int> widths = {89, 60, 31};
  EXPECT_EQ(SizeTolerance(widths, 60), 12);
  EXPECT_EQ(SizeTolerance({20, 15, 10}, 15), 4);
  EXPECT_EQ(SizeTolerance(widths, 70), 12);
  struct Case { int wanted, current; bool stick; int want; } cases[] = {
      {55, 60, true, 60},  {40, 60, true, 31}, {80, 60, false, 89}, {100, 89, true, 89},
      {10, 60, false, 31}, {59, 60, false, 31}, {61, 60, false, 89},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PickCandidate(widths, c.wanted, c.current, 12, c.stick), c.want) << c.wanted;
}

TEST(FloatingToolbar, OutlinesClampsAndHitTests) {
  EXPECT_EQ(OutlineAt({100, 100}, {50, 30}, {10, 10}, {20, 20}), Bounds(76, 86, 50, 30));
  const TRect work = Rect(0, 0, 800, 600);
  struct Move { TRect in, onScreen, reachable; } moves[] = {
      {Bounds(10, 10, 50, 30), Bounds(10, 10, 50, 30), Bounds(10, 10, 50, 30)},
      {Bounds(780, 590, 50, 30), Bounds(750, 570, 50, 30), Bounds(780, 590, 50, 30)},
      {Bounds(-100, -50, 50, 30), Bounds(0, 0, 50, 30), Bounds(-43, -23, 50, 30)},
      {Bounds(900, 700, 50, 30), Bounds(750, 570, 50, 30), Bounds(793, 593, 50, 30)},
      {Bounds(-10, -10, 900, 700), Bounds(0, 0, 900, 700), Bounds(-10, -10, 900, 700)},
  };
  for (const Move& m : moves) {
    EXPECT_EQ(MoveOnScreen(m.in, work), m.onScreen);
    EXPECT_EQ(KeepReachable(m.in, work), m.reachable);
  }
  const TSize w{100, 60};
  struct Hit { TPoint p; bool close; int want; } hits[] = {
      {{10, 8}, true, HTCLIENT},   {{90, 8}, true, HTCLOSE},   {{90, 8}, false, HTCLIENT},
      {{1, 1}, true, HTTOP},       {{50, 59}, true, HTBOTTOM}, {{0, 40}, true, HTLEFT},
      {{99, 40}, true, HTRIGHT},   {{50, 40}, true, HTCLIENT}, {{98, 58}, true, HTBOTTOM},
  };
  for (const Hit& h : hits) EXPECT_EQ(FloatHitTest(h.p, w, h.close), h.want) << h.p.x << "," << h.p.y;
  // The dock test: near enough to the dock and overlapping it.
  const TRect dock = Rect(0, 0, 400, 30), empty = Rect(0, 100, 400, 100);
  EXPECT_TRUE(DockAccepts(dock, false, {50, 10}, Bounds(40, 0, 60, 30), {10, 10}, {60, 30}));
  EXPECT_FALSE(DockAccepts(dock, false, {50, 80}, Bounds(40, 70, 60, 30), {10, 10}, {60, 30}));
  EXPECT_TRUE(DockAccepts(empty, false, {50, 100}, Bounds(40, 90, 60, 30), {10, 10}, {60, 30}));
}
