// Streaming a large component tree (a report layout has hundreds of
// components): writing, reading back, and the text conversions.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/classlib/core/filer.h"

namespace {

DECLARE_ENUM(TBenchAlign, baNone, baLeft, baRight)

class TBenchItem : public TComponent {
  DECLARE_CLASS(TBenchItem, TComponent)
 public:
  explicit TBenchItem(TComponent* owner) : TComponent(owner) {}
  std::string FCaption;
  int FLeft = 0, FTop = 0, FWidth = 65, FHeight = 17;
  bool FVisible = true;
  TBenchAlign FAlign = baNone;
  double FRatio = 0;
  TBenchItem* FNext = nullptr;
};

}  // namespace

IMPLEMENT_CLASS(TBenchItem, TComponent)
PUBLISHED(TBenchItem) {
  PROP_STR(Caption, FCaption, FCaption, "");
  PROP_INT(Left, FLeft, FLeft, 0);
  PROP_INT(Top, FTop, FTop, 0);
  PROP_INT(Width, FWidth, FWidth, 65);
  PROP_INT(Height, FHeight, FHeight, 17);
  PROP_BOOL(Visible, FVisible, FVisible, true);
  PROP_ENUM(Align, FAlign, FAlign, baNone);
  PROP_FLOAT(Ratio, FRatio, FRatio, 0.0);
  PROP_OBJ(Next, FNext, FNext);
}

namespace {

std::unique_ptr<TComponent> MakeTree(int count) {
  auto root = std::make_unique<TComponent>(nullptr);
  root->SetName("Root");
  TBenchItem* previous = nullptr;
  for (int i = 0; i < count; ++i) {
    auto* item = new TBenchItem(root.get());
    item->SetName("Item" + std::to_string(i));
    item->FCaption = "Caption of item " + std::to_string(i);
    item->FLeft = i * 3;
    item->FTop = i * 7;
    item->FAlign = baRight;
    item->FRatio = i / 3.0;
    if (previous) previous->FNext = item;
    previous = item;
  }
  return root;
}

void BM_WriteBinary(benchmark::State& state) {
  auto root = MakeTree(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TMemoryStream s;
    WriteComponentToStream(&s, root.get());
    benchmark::DoNotOptimize(s.Size());
  }
}
BENCHMARK(BM_WriteBinary)->Arg(1000);

void BM_ReadBinary(benchmark::State& state) {
  auto root = MakeTree(static_cast<int>(state.range(0)));
  TMemoryStream s;
  WriteComponentToStream(&s, root.get());
  for (auto _ : state) {
    s.SetPosition(0);
    std::unique_ptr<TComponent> copy(ReadComponentFromStream(&s, nullptr));
    benchmark::DoNotOptimize(copy.get());
  }
}
BENCHMARK(BM_ReadBinary)->Arg(1000);

void BM_TextRoundTrip(benchmark::State& state) {
  auto root = MakeTree(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string text = WriteComponentToText(root.get());
    std::unique_ptr<TComponent> copy(ReadComponentFromText(text, nullptr));
    benchmark::DoNotOptimize(copy.get());
  }
}
BENCHMARK(BM_TextRoundTrip)->Arg(1000);

}  // namespace
