#pragma once
// The lookup combo: edits one field by choosing a record of a lookup table.
// While the user types, the lookup table is searched and (ShowMatchText) the
// text completed with the matching record's; the drop-down is a TwwPopupGrid
// listing the lookup table. Leaving or closing up writes the lookup value
// (and up to two more fields) into the data fields.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datactrls/edits/wwdblook.h"
#include "datactrls/edits/wwdotdot.h"

class TTimer;

DECLARE_ENUM(TwwSeqSearchOption, ssoEnabled, ssoCaseSensitive)
using TwwSeqSearchOptions = TSet<TwwSeqSearchOption>;
// Which edge of the combo the drop-down aligns to: taLeftJustify or taRightJustify.
using TLeftRight = TAlignment;

// Sender, the lookup table, the edited field's dataset, whether the value changed.
using TNotifyCloseUpEvent =
    std::function<void(TObject* Sender, TDataSet* LookupTable, TDataSet* FillTable, bool modified)>;
// Sender, the lookup table, the typed text that matches no record, var Accept.
using TNotInListEvent =
    std::function<void(TObject* Sender, TDataSet* LookupTable, const std::string& NewValue, bool& Accept)>;

inline constexpr const char* kwwNoLookupTable = "No lookup table specified!";
inline constexpr const char* kwwLookupTableNotActive = "Lookup table is not active!";

// Where the drop-down goes, in screen pixels: under the control (its right
// edges aligned with alignRight), above it when it would pass the screen's
// bottom unless that is above the screen's top; no wider than the screen,
// and as much taller as a horizontal scroll bar when the width was cut.
TRect wwLookupDropDownBounds(const TRect& control, int width, int height, const TRect& screen,
                             bool alignRight, int scrollBarHeight);

// The lookup combo's drop-down button: the combo's button under its own name.
class TwwComboButton : public TwwComboDlgButton {
  DECLARE_CLASS(TwwComboButton, TwwComboDlgButton)
 public:
  using TwwComboDlgButton::TwwComboDlgButton;
};

class TwwDBCustomLookupCombo : public TwwDBCustomCombo {
  DECLARE_CLASS(TwwDBCustomLookupCombo, TwwDBCustomCombo)
 public:
  explicit TwwDBCustomLookupCombo(TComponent* owner);
  ~TwwDBCustomLookupCombo() override;

  // The search delays: typed keys wait this long; a non-SQL library table half as long.
  static constexpr unsigned kSearchDelayMs = 333;
  // "Search again, but do not complete" (after Backspace or Delete in the open list).
  static constexpr const char* kNoCompletion = "~~~~";

  TDataSet* LookupTable() const { return grid_->LookupTable(); }
  void SetLookupTable(TDataSet* value);
  const std::string& LookupField() const { return lookupField_; }
  void SetLookupField(const std::string& value);
  TStrings* Selected() const { return grid_->Selected(); }
  void SetSelected(const TStrings* value);
  TwwDBLookupListOptions Options() const { return grid_->LookupOptions(); }
  void SetOptions(TwwDBLookupListOptions value) { grid_->SetLookupOptions(value); }
  TLeftRight DropDownAlignment() const { return dropDownAlignment_; }
  void SetDropDownAlignment(TLeftRight value) { dropDownAlignment_ = value; }
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value) { dropDownCount_ = value; }
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int value) { dropDownWidth_ = value; }
  bool AutoDropDown() const { return autoDropDown_; }
  void SetAutoDropDown(bool value) { autoDropDown_ = value; }
  TwwSeqSearchOptions SeqSearchOptions() const { return seqSearchOptions_; }
  void SetSeqSearchOptions(TwwSeqSearchOptions value) { seqSearchOptions_ = value; }
  bool OrderByDisplay() const { return orderByDisplay_; }
  void SetOrderByDisplay(bool value) { orderByDisplay_ = value; }
  bool UseTFields() const { return useTFields_; }
  void SetUseTFields(bool value) { useTFields_ = value; }
  bool AllowClearKey() const { return allowClearKey_; }
  void SetAllowClearKey(bool value) { allowClearKey_ = value; }
  bool ShowMatchText() const { return showMatchText_; }
  void SetShowMatchText(bool value) { showMatchText_ = value; }

  TNotifyEvent OnDropDown;
  TNotifyCloseUpEvent OnCloseUp;
  TNotInListEvent OnNotInList;

  TwwPopupGrid* Grid() const { return grid_; }
  TTimer* SearchTimer() const { return timer_; }
  // The value of the first lookup field for the shown record.
  const std::string& LookupValue() const { return grid_->KeyText(); }

  bool IsDroppedDown() const override { return listDown_; }
  bool IsEditStyle() const override { return Style() != csDropDownList; }
  void DropDown() override;
  void CloseUp(bool accept) override;
  // The timer's work: searches the lookup table for the text (see the .cpp).
  void PerformSearch();
  // A search the timer still waits for runs now (before a click in the list).
  void FinishPendingSearch();
  // The list over a detail lookup table was refreshed (its master moved).
  void DetailTableRefreshed();
  // The list moved to a record by a key or the mouse: it is the choice.
  void ListChose();
  // Before the list moves: the edited dataset goes into edit; false when it cannot.
  bool BeginListChange();
  // The list may change the value: the combo edits a lookup field whose dataset can change.
  bool CanChangeLookupValue();
  // While OnCloseUp runs: whether the list closed on one of its records (a
  // choice, also of the one already shown), not cancelled nor on a text it lacks.
  bool CloseUpTookRecord() const { return closeUpTookRecord_; }
  // A text that matches no record is written all the same.
  virtual bool AcceptsNoMatch() const { return false; }

 protected:
  bool CanEditText() override;
  bool MapToDisplayText(const std::string& stored, std::string& display) override;
  void DataChange() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void TypeKey(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Resize() override;
  void Loaded() override;
  void PaintText(TCanvas* canvas, TRect rect, int x, const std::string& text) override;
  void Dispatch(TMessage& message) override;

 private:
  void PlaceButtonInFrame();
  void UpdateLookupData();
  bool IsLookupDataField() const;
  std::vector<std::string> LocalKeyNames() const;
  std::string LookupKeyNames() const;
  bool TypingAllowed();
  bool BeginLookupFieldTyping();
  void RefreshReadOnly();
  void TypeIntoLookupField(char32_t& key);
  std::string DataValue() const;
  void ShowValue(const std::string& value);
  void RestoreSaved();
  bool ClearKey();
  void ForgetLastSearch(bool erase);
  bool AfterEditKey(bool erase);
  void TypeHandedChar(TMessage& message);
  void SearchNow();
  bool ShowAllNarrowedRecords();
  bool HandToHostGrid(WORD key, TShiftState shift);
  void UpdateCaret();
  void DragFromButton(UINT message, int x, int y);
  void PutInDisplayOrder();
  bool NeedsLookupOrder();
  void PutInLookupOrder();
  void RestartTimer();
  void Complete();
  bool IndexedSearch(const std::string& text, bool incremental);
  // Not-in-list: false when the handler refused the text (the old one is back).
  bool CheckNotInList();
  int DropDownHeight(int rows);
  int ColumnsWidth() const;
  void EnsureSelected();
  void RunQueryAgain();
  void WriteLookupKeys(TField* field);

  TwwPopupGrid* grid_ = nullptr;
  TTimer* timer_ = nullptr;
  std::string lookupField_;
  TLeftRight dropDownAlignment_ = taLeftJustify;
  int dropDownCount_ = 8;
  int dropDownWidth_ = 0;
  bool autoDropDown_ = false;
  TwwSeqSearchOptions seqSearchOptions_{ssoEnabled};
  bool orderByDisplay_ = true;
  bool useTFields_ = true;
  bool allowClearKey_ = false;
  bool showMatchText_ = false;
  bool listDown_ = false;

  std::string lastSearched_;
  bool lookupOrderPosted_ = false;  // the switch back to the lookup index waits in the queue
  bool searchFound_ = false;
  std::string savedText_, savedValue_;  // as the data source last browsed
  bool dropDownPending_ = false;
  bool inNotInList_ = false;
  bool closing_ = false;
  bool closeUpTookRecord_ = false;
  bool dragInList_ = false;  // a press on the button handed to the list
};

class TwwDBLookupCombo : public TwwDBCustomLookupCombo {
  DECLARE_CLASS(TwwDBLookupCombo, TwwDBCustomLookupCombo)
 public:
  explicit TwwDBLookupCombo(TComponent* owner) : TwwDBCustomLookupCombo(owner) {}
};
