// Stretchable components in generated reports: shifting below another one,
// bottom and overflow offsets, continuing on the next page, and the property
// rules (cycles refused, stretching and parent-following exclude each other).

#include "report/components/ppstrtch.h"

#include <gtest/gtest.h>

#include "report/model/pprecord.h"
#include "report/model/reportrig.h"

namespace {

constexpr int32_t kMM = 1000;

// Contents of a given height: as much as the room allows, the rest on the
// next page; it draws its box as a shape command.
class TTestStretch : public TppStretchable {
 public:
  explicit TTestStretch(TComponent* owner) : TppStretchable(owner) {
    drawCommandClass_ = TppDrawShape::StaticClass();
    SetRecordSize(16);  // the common part and the height already printed
  }
  void GenerateContents() override {
    if (!StretchingMode()) return;
    const int32_t room = printRect_.Bottom - printRect_.Top;
    const int32_t rest = Contents - printed;
    SetSpaceUsed(std::min(rest, room));
    printed += std::min(rest, room);
    SetContinued(rest > room);
  }
  void PropertiesToDrawCommand(TppDrawCommand* c) override {
    c->Left = printRect_.Left;
    c->Top = printRect_.Top;
    c->Height = printRect_.Bottom - printRect_.Top;
  }
  void Init() override {
    TppStretchable::Init();
    printed = 0;
  }
  int32_t Contents = 0;

 protected:
  void WriteContentsState(uint8_t* r) const override { ppPutInt32(r + 12, printed); }
  void ReadContentsState(const uint8_t* r) override { printed = ppGetInt32(r + 12); }

 private:
  int32_t printed = 0;
};

// One record; a dynamic detail band holding stretchables A (left 0) and B
// (left 100 mm).
struct Stretching : ReportRig {
  Stretching() : ReportRig(1) {
    detail = AddBand<TppDetailBand>(10 * kMM);
    detail->SetPrintHeight(phDynamic);
    a = Add(0, 20 * kMM);
    b = Add(100 * kMM, 50 * kMM);
  }
  TTestStretch* Add(int32_t left, int32_t contents) {
    auto* s = new TTestStretch(&form);
    s->SetBand(detail);
    s->SetmmBounds(left, 2 * kMM, 50 * kMM, 5 * kMM);
    s->SetStretch(true);
    s->Contents = contents;
    return s;
  }
  // "top+height" of each command at `left`, page by page ("|" between pages).
  std::string Boxes(int32_t left) {
    Print();
    std::string out;
    for (const auto& page : device.Pages) {
      if (!out.empty()) out += "|";
      for (int i = 0; i < page->DrawCommandCount(); ++i)
        if (const TppDrawCommand* c = page->DrawCommands(i); c->Left == left)
          out += std::to_string(c->Top) + "+" + std::to_string(c->Height) + ",";
    }
    return out;
  }
  TppDetailBand* detail;
  TTestStretch* a;
  TTestStretch* b;
};

constexpr int32_t kBandTop = 6350, kLeftB = 6350 + 100 * kMM;

TEST(Stretchables, AShiftedOneStartsAtItsMastersBottomAndMovesWithIt) {
  for (int32_t grow : {0, 20 * kMM}) {
    Stretching r;
    r.b->SetShiftRelativeTo(r.a);
    r.a->Contents += grow;
    const int32_t aBottom = kBandTop + 2 * kMM + 20 * kMM + grow;
    EXPECT_EQ(std::to_string(aBottom) + "+" + std::to_string(50 * kMM) + ",", r.Boxes(kLeftB))
        << grow;
  }
}

TEST(Stretchables, TheBottomOffsetIsKeptFreeAndCountsAsUsed) {
  Stretching r;
  r.b->SetShiftRelativeTo(r.a);
  r.a->SetmmBottomOffset(5 * kMM);
  EXPECT_EQ(std::to_string(kBandTop + 27 * kMM) + "+" + std::to_string(50 * kMM) + ",",
            r.Boxes(kLeftB));
  // The master's space reaches down to its dependent's bottom.
  EXPECT_EQ(20 * kMM + 5 * kMM + 50 * kMM, r.a->SpaceUsed());

  // Contents that fill the page stop 5 mm above the available bottom.
  Stretching full;
  full.a->SetmmBottomOffset(5 * kMM);
  full.a->Contents = 400 * kMM;
  const std::string boxes = full.Boxes(6350);
  const int32_t firstHeight = std::stoi(boxes.substr(boxes.find('+') + 1));
  EXPECT_EQ(279401 - 6350 - 5 * kMM - (kBandTop + 2 * kMM), firstHeight);
}

TEST(Stretchables, AContinuedOneStartsBelowTheBandTopByItsOverflowOffset) {
  Stretching r;
  r.a->SetmmOverFlowOffset(10 * kMM);
  r.a->Contents = 300 * kMM;
  r.b->SetVisible(false);
  const std::string boxes = r.Boxes(6350);
  const size_t page2 = boxes.find('|');
  ASSERT_NE(std::string::npos, page2) << boxes;
  EXPECT_EQ(std::to_string(kBandTop + 10 * kMM), boxes.substr(page2 + 1, boxes.find('+', page2) - page2 - 1));

  // Regenerating the second page alone continues the contents identically.
  const auto first = r.Pages();
  r.Print(prOnePage, 2);
  ASSERT_EQ(1u, r.device.Pages.size());
  EXPECT_EQ(first[1], r.Pages()[0]);
}

TEST(Stretchables, PropertyRules) {
  Stretching r;
  r.b->SetShiftRelativeTo(r.a);
  for (TTestStretch* target : {r.b, r.a}) {
    try {
      r.a->SetShiftRelativeTo(target == r.a ? r.a : r.b);
      ADD_FAILURE() << "a cycle was accepted";
    } catch (const EInvalidPropertyError& e) {
      EXPECT_EQ("Cyclic assignment of ShiftRelativeTo property.", e.Message());
    }
  }
  EXPECT_EQ(nullptr, r.a->ShiftRelativeTo());
  EXPECT_EQ(r.a, r.b->ShiftRelativeTo());
  EXPECT_TRUE(r.b->HasShiftMaster());

  r.b->SetShiftWithParent(true);  // ends shifting relative and stretching
  EXPECT_EQ(nullptr, r.b->ShiftRelativeTo());
  EXPECT_FALSE(r.b->Stretch());
  r.b->SetStretchWithParent(true);
  r.b->SetStretch(true);  // ends following the parent
  EXPECT_FALSE(r.b->ShiftWithParent() || r.b->StretchWithParent() || r.b->ReprintOnOverFlow());

  // A master that goes away is forgotten by its dependent.
  r.b->SetShiftRelativeTo(r.a);
  delete r.a;
  EXPECT_EQ(nullptr, r.b->ShiftRelativeTo());
}

}  // namespace
