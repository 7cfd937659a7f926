#pragma once
// Regions: a stretchable container inside a band. It draws a rectangle with
// its own pen and brush and holds child components that move, print and
// stretch with it: it places them in a fixed group order, grows to the
// lowest child bottom when Stretch is set, and continues with the children
// that did not finish when the page runs out.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/classlib/graphics/graphics.h"
#include "report/components/ppstrtch.h"

class TppRegion : public TppStretchable {
  DECLARE_CLASS(TppRegion, TppStretchable)
 public:
  explicit TppRegion(TComponent* owner = nullptr);
  ~TppRegion() override;

  TBrush* Brush() const { return brush_.get(); }
  void SetBrush(const TBrush* value) { brush_->Assign(value); }
  TPen* Pen() const { return pen_.get(); }
  void SetPen(const TPen* value) { pen_->Assign(value); }

  int ChildCount() const { return int(children_.size()); }
  TppComponent* Children(int index) const { return children_[size_t(index)]; }
  void AddChild(TppComponent* child) override;
  void RemoveChild(TppComponent* child) override;

  bool SupportsFont() const override { return false; }
  void SetBand(TppBand* band) override;
  void MarkForPrint() override;
  void Init() override;
  void StartPrintPass() override;
  void GenerateContents() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void DrawToPage(TppPage* page) override;
  TppContainerValues ChildContainerValues() const override;
  // At design time the children follow a moved region by the same offset,
  // and those sized to it follow a new size.
  void BoundsChanged() override;
  void CreateDesignControl() override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

 protected:
  void WriteContentsState(uint8_t* record) const override;
  void ReadContentsState(const uint8_t* record) override;

 private:
  // Generates the children of one plan group from `from`; false when the
  // page ran out before the group was done.
  bool GenerateGroup(int group, int from);

  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TPen> pen_;
  std::vector<TppComponent*> children_;
  // The placement plan: groups 1 to 4 (index 0 unused), processed in order.
  std::array<std::vector<TppComponent*>, 5> plan_;
  std::vector<TppComponent*> placed_;  // children that took space on this pass
  TppComponent* tallest_ = nullptr;
  int32_t lowest_ = 0;        // lowest child bottom on this pass
  int resumeGroup_ = 1, resumeIndex_ = 0;
  bool incompleteNoted_ = false, incompleteStretches_ = false;
  // The offset the children of a continuing region go on from (found on the
  // page before), and the one this pass finds for the next page: kept apart,
  // since the children of this pass still place themselves by the first.
  int32_t continuationHeight_ = 0, foundContinuation_ = 0;
  int32_t designHeight_ = 0;
  TRect designBounds_{0, 0, 0, 0};  // left, top, width, height when last laid out
  bool continuing_ = false;   // this pass continues the region's previous page
  bool freeing_ = false;
};
