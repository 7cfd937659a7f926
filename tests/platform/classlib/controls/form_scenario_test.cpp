// A whole form: aligned panels, a custom control and graphic controls, shown
// offscreen, driven with mouse and keyboard, checked by what it drew.

#include <gtest/gtest.h>

#include <map>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/graphics/drawing.h"

using namespace testing_support;

namespace {

// A windowless push button: raised, sunken while pressed or down.
class TPushSpot : public TGraphicControl {
 public:
  explicit TPushSpot(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 24, 22); }
  bool down = false;
  bool pressed = false;

 protected:
  void PaintContent() override {
    TRect r = ClientRect();
    const bool sunk = down || pressed;
    DrawEdge(Canvas(), r, sunk ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    pressed = true;
    Invalidate();
    TGraphicControl::MouseDown(b, s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    pressed = false;
    Invalidate();
    TGraphicControl::MouseUp(b, s, x, y);
  }
  void Click() override {
    down = !down;
    TGraphicControl::Click();
  }
};

// A small grid of 20-pixel cells: click or arrows select, digits fill a cell.
class TCellGrid : public TCustomControl {
 public:
  explicit TCellGrid(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
  }
  TPoint selected{0, 0};
  std::map<std::pair<int, int>, std::string> cells;
  static constexpr int kCell = 20;

  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    }
    TCustomControl::Dispatch(m);
  }

 protected:
  int Cols() const { return ClientWidth() / kCell; }
  int Rows() const { return ClientHeight() / kCell; }
  void Select(int c, int r) {
    selected = {std::clamp(c, 0, std::max(0, Cols() - 1)), std::clamp(r, 0, std::max(0, Rows() - 1))};
    Invalidate();
  }
  void PaintContent() override {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(clWindow);
    c->FillRect(ClientRect());
    c->Pen()->SetColor(clGray);
    for (int x = 0; x <= Cols(); ++x) {
      c->MoveTo(x * kCell, 0);
      c->LineTo(x * kCell, Rows() * kCell);
    }
    for (int y = 0; y <= Rows(); ++y) {
      c->MoveTo(0, y * kCell);
      c->LineTo(Cols() * kCell, y * kCell);
    }
    c->Brush()->SetColor(clHighlight);
    c->FillRect(Bounds(selected.x * kCell + 1, selected.y * kCell + 1, kCell - 1, kCell - 1));
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBlack);
    for (const auto& [pos, text] : cells) {
      TRect r = Bounds(pos.first * kCell + 1, pos.second * kCell + 1, kCell - 1, kCell - 1);
      DrawText(c, text, r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    SetFocus();
    Select(x / kCell, y / kCell);
    TCustomControl::MouseDown(b, s, x, y);
  }
  void KeyDown(WORD& key, TShiftState s) override {
    switch (key) {
      case VK_LEFT: Select(selected.x - 1, selected.y); key = 0; break;
      case VK_RIGHT: Select(selected.x + 1, selected.y); key = 0; break;
      case VK_UP: Select(selected.x, selected.y - 1); key = 0; break;
      case VK_DOWN: Select(selected.x, selected.y + 1); key = 0; break;
      default: break;
    }
    TCustomControl::KeyDown(key, s);
  }
  void KeyPress(char32_t& ch) override {
    if (ch >= U'0' && ch <= U'9') {
      cells[{selected.x, selected.y}] = std::string(1, char(ch));
      Invalidate();
    }
    TCustomControl::KeyPress(ch);
  }
};

}  // namespace

TEST(FormScenarioTest, AlignedPanelsCustomAndGraphicControlsDrivenByMouseAndKeys) {
  Application->Initialize();
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  form.SetCaption("Defects");

  auto* toolbar = new TPanel(&form);
  toolbar->SetHeight(30);
  toolbar->SetAlign(alTop);
  toolbar->SetParent(&form);
  auto* bold = new TPushSpot(&form);
  bold->SetLeft(4);
  bold->SetTop(4);
  bold->SetParent(toolbar);
  int boldClicks = 0;
  bold->OnClick = [&](TObject*) { ++boldClicks; };
  auto* status = new TLabel(&form);
  status->SetLeft(40);
  status->SetTop(8);
  status->SetCaption("Ready");
  status->SetParent(toolbar);

  auto* side = new TPanel(&form);
  side->SetWidth(60);
  side->SetAlign(alLeft);
  side->SetBevelOuter(bvLowered);
  side->SetParent(&form);
  auto* marker = new TShape(&form);
  marker->SetBounds(10, 10, 20, 20);
  marker->Brush()->SetColor(clRed);
  marker->SetParent(side);

  auto* grid = new TCellGrid(&form);
  grid->SetAlign(alClient);
  grid->SetParent(&form);

  form.Show();
  Pump();

  // Alignment.
  EXPECT_EQ(toolbar->BoundsRect(), Rect(0, 0, 300, 30));
  EXPECT_EQ(side->BoundsRect(), Rect(0, 30, 60, 200));
  EXPECT_EQ(grid->BoundsRect(), Rect(60, 30, 300, 200));
  EXPECT_EQ(form.ActiveControl(), grid);  // the first control with a tab stop

  // What the form drew.
  auto shot = Snapshot(&form);
  TCanvas* c = shot->Canvas();
  EXPECT_EQ(c->Pixels(0, 0), ColorToRGB(clBtnHighlight));         // toolbar bevel
  EXPECT_EQ(c->Pixels(299, 29), ColorToRGB(clBtnShadow));
  EXPECT_EQ(c->Pixels(4, 4), ColorToRGB(cl3DLight));               // raised button
  EXPECT_EQ(c->Pixels(27, 25), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(c->Pixels(0, 100), ColorToRGB(clBtnShadow));           // lowered side panel
  EXPECT_EQ(c->Pixels(20, 50), clRed);                             // the shape inside it
  EXPECT_EQ(c->Pixels(70, 40), ColorToRGB(clHighlight));           // selected cell 0,0
  EXPECT_EQ(c->Pixels(60, 50), clGray);                            // grid line
  EXPECT_GT(InkBox(*shot, clBlack).Right, 40);                     // "Ready" and edges

  // Mouse: pressing the graphic button sinks it; the click toggles it.
  QWidget* bar = ClientOf(toolbar);
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  Pump();
  shot = Snapshot(&form);
  EXPECT_EQ(shot->Canvas()->Pixels(4, 4), ColorToRGB(clBtnShadow));  // sunken
  QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(boldClicks, 1);
  EXPECT_TRUE(bold->down);

  // Mouse on the custom control selects a cell; keys move and fill it.
  Click(grid, 45, 25);  // cell (2, 1)
  EXPECT_EQ(grid->selected, Point(2, 1));
  EXPECT_TRUE(grid->Focused());
  QTest::keyClick(ClientOf(grid), Qt::Key_Right);
  QTest::keyClick(ClientOf(grid), Qt::Key_Down);
  EXPECT_EQ(grid->selected, Point(3, 2));
  QTest::keyClick(ClientOf(grid), Qt::Key_7);
  Pump();
  shot = Snapshot(&form);
  const int cellX = 60 + 3 * 20, cellY = 30 + 2 * 20;
  EXPECT_EQ(shot->Canvas()->Pixels(cellX + 2, cellY + 2), ColorToRGB(clHighlight));
  EXPECT_EQ(shot->Canvas()->Pixels(70, 40), ColorToRGB(clWindow));  // old selection gone
  int ink = 0;
  for (int y = cellY + 1; y < cellY + 20; ++y)
    for (int x = cellX + 1; x < cellX + 20; ++x)
      if (shot->Canvas()->Pixels(x, y) == clBlack) ++ink;
  EXPECT_GT(ink, 5);  // the digit

  // Tab leaves the grid for nothing else focusable: it stays; arrows stay in it.
  QTest::keyClick(ClientOf(grid), Qt::Key_Left);
  EXPECT_EQ(grid->selected, Point(2, 2));
  EXPECT_EQ(form.ActiveControl(), grid);

  // Resizing the form realigns and the grid grows.
  form.SetBounds(20, 20, 400, 260);
  Pump();
  EXPECT_EQ(grid->BoundsRect(), Rect(60, 30, 400, 260));
  shot = Snapshot(&form);
  EXPECT_EQ(shot->Canvas()->Pixels(60 + 16 * 20, 35), clGray);  // a new column line
  EXPECT_EQ(shot->Canvas()->Pixels(399, 0), ColorToRGB(clBtnShadow));  // toolbar follows
}
