#pragma once
// The base of the components whose height follows their contents and which
// can continue on the next page (memos, rich text, regions, sub-reports). It
// decides where such a component starts (below the stretchable it is shifted
// relative to, or at the top of its container on a continued page plus an
// overflow offset), how much room it has (the available bottom less a bottom
// offset), and generates and draws the stretchables shifted relative to it.
// Descendants fill GenerateContents and set the space they used.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "report/model/ppcomponent.h"

// A property value the component refuses (a cycle of ShiftRelativeTo).
DECLARE_EXCEPTION(EInvalidPropertyError, Exception)

class TppStretchable : public TppComponent {
  DECLARE_CLASS(TppStretchable, TppComponent)
 public:
  // The page-state record's common part: marked, dependents active, two
  // reserved bytes, the restart index, continued and waiting; descendants
  // append their own fields after kPrefixSize (and may enlarge the record).
  static constexpr int32_t kPrefixSize = 10;
  static constexpr int32_t kRecordSize = 12;

  explicit TppStretchable(TComponent* owner = nullptr);
  ~TppStretchable() override;

  // Produces the contents from the print rectangle's top and sets the space used.
  virtual void GenerateContents() {}
  virtual void GetDescription(std::string& text);
  void AddShiftDependent(TppStretchable* component);
  void RemoveShiftDependent(TppStretchable* component);
  const std::vector<TppStretchable*>& ShiftDependents() const { return dependents_; }

  bool IsStretchable() const override { return true; }
  bool Stretches() const override { return stretch_; }
  bool HasShiftMaster() const override { return shiftRelativeTo_ != nullptr; }
  void Generate() override;
  void DrawToPage(TppPage* page) override;
  void Init() override;
  void StartPrintPass() override;
  void EndPrintPass() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;
  void SetName(const std::string& newName) override;
  // At design time a stretching component's new bounds change the layout.
  void BoundsChanged() override;

  // A target no longer in this component's band is dropped (except while writing).
  TppStretchable* ShiftRelativeTo();
  // Refuses a cycle with EInvalidPropertyError "Cyclic assignment of
  // ShiftRelativeTo property." and keeps the old value.
  void SetShiftRelativeTo(TppStretchable* target);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  // These hide the printable's setters: choosing one of them ends the
  // component's own stretching and shifting.
  void SetReprintOnOverFlow(bool value);
  void SetShiftWithParent(bool value);
  void SetStretchWithParent(bool value);

  int32_t mmBottomOffset() const { return mmBottomOffset_; }
  void SetmmBottomOffset(int32_t value);
  int32_t mmOverFlowOffset() const { return mmOverFlowOffset_; }
  void SetmmOverFlowOffset(int32_t value);
  // In Units, vertically through the component's printer.
  float BottomOffset() const;
  void SetBottomOffset(float value);
  float OverFlowOffset() const;
  void SetOverFlowOffset(float value);

  // Generation state, as placement and the dependents read it.
  int32_t PrintedBottom() const { return printedBottom_; }
  int32_t AvailableBottom() const { return availableBottom_; }
  bool DependentsActive() const { return dependentsActive_; }
  int32_t RestartIndex() const { return restartIndex_; }
  bool Waiting() const { return waiting_; }
  // True when the band grows with its contents (PrintHeight dynamic).
  bool StretchingMode() const;

 protected:
  void DefineProperties(TFiler* filer) override;
  void Notify(TppCommunicator* sender, int operation) override;
  void SetContinued(bool value) { continued_ = value; }
  void WriteStretchState(uint8_t* record) const;
  void ReadStretchState(const uint8_t* record);
  // The descendant's part of the page-state record (bytes from kPrefixSize).
  virtual void WriteContentsState(uint8_t* /*record*/) const {}
  virtual void ReadContentsState(const uint8_t* /*record*/) {}

 private:
  void Place();
  void GenerateDependents();
  // The container the component is placed in, with a shift master's bottoms
  // in place of the band's.
  TppContainerValues Container() const;
  bool ReachesBack(const TppStretchable* target) const;
  // A parent-following mode chosen: no shift master, no own stretching.
  void EndOwnPlacement(bool chosen);
  bool Prints() const { return markedToPrint_ && Visible(); }

  int32_t mmBottomOffset_ = 0;
  int32_t mmOverFlowOffset_ = 0;
  std::vector<TppStretchable*> dependents_;
  TppStretchable* shiftRelativeTo_ = nullptr;
  bool stretch_ = false;
  bool dependentsComplete_ = true;
  int32_t printedBottom_ = 0;
  bool dependentsActive_ = false;
  int32_t restartIndex_ = 0;
  bool continueNext_ = false;
  bool incompleteFound_ = false;
  int32_t availableBottom_ = 0;
  int32_t dependentOffset_ = 0;
  bool waiting_ = false;
  // Dependents placed in this pass, drawn in band order.
  std::vector<TppStretchable*> dependentOrder_;
};
