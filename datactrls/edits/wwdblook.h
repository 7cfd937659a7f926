#pragma once
// The lookup list: a data grid over a lookup table that marks the record
// whose key equals a field of another dataset, and changes that field when
// the user moves in it. TwwPopupGrid is the same list as the lookup combo's
// drop-down: a top-level window that never takes the focus from the combo.

#include <memory>
#include <string>

#include "datactrls/wwdbigrd.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/typinfo.h"

class TTimer;
class TwwDBCustomLookupCombo;

DECLARE_ENUM(TwwDBLookupListOption, loColLines, loRowLines, loTitles)
using TwwDBLookupListOptions = TSet<TwwDBLookupListOption>;

// Texts the list and the combo report with.
inline constexpr const char* kwwLookupSourceNotCreated = "Lookup Source is not created";
inline constexpr const char* kwwDuplicateSource = "Unable to use duplicate DataSource and LookupSource";
inline constexpr const char* kwwLookupSourceNotTable = "LookupSource must be connected to TTable component";
inline constexpr const char* kwwFieldNotFound = "%s: Field '%s' not found";
inline constexpr const char* kwwDetailLookupTable =
    "LookupTable on a detail table is only supported when using a TwwTable as the LookupTable!";

class TwwDBLookupList : public TwwCustomDBGrid {
  DECLARE_CLASS(TwwDBLookupList, TwwCustomDBGrid)
 public:
  explicit TwwDBLookupList(TComponent* owner);
  ~TwwDBLookupList() override;

  TDataSet* LookupTable() const;
  // Refuses the dataset of the list's own field link (kwwDuplicateSource).
  void SetLookupTable(TDataSet* value);
  const std::string& LookupField() const { return lookupField_; }
  void SetLookupField(const std::string& value);
  // The field the list edits (not the grid's own source, which is the lookup source).
  TDataSource* DataSource() const { return fieldLink_->DataSource(); }
  void SetDataSource(TDataSource* value);
  std::string DataField() const { return fieldLink_->FieldName(); }
  void SetDataField(const std::string& value) { fieldLink_->SetFieldName(value); }
  TDataSource* LookupSource() const { return lookupSource_.get(); }
  TwwDBLookupListOptions LookupOptions() const { return lookupOptions_; }
  void SetLookupOptions(TwwDBLookupListOptions value);

  // The lookup table's fields named by LookupField (1 to 3 of them) and the
  // field shown as the list's text.
  TField* KeyField() const { return keyField_; }
  TField* DisplayField() const { return displayField_; }
  int LookupFieldCount() const { return fieldCount_; }
  // Resolves the fields again; strict raises EInvalidOperation for a missing key field.
  void ResolveFields(bool strict);
  // The matched record's texts.
  const std::string& KeyText() const { return keyText_; }
  const std::string& SecondText() const { return secondText_; }
  const std::string& ThirdText() const { return thirdText_; }
  const std::string& DisplayText() const { return displayText_; }
  void ClearKeyText() { keyText_.clear(), secondText_.clear(), thirdText_.clear(); }
  // Takes the lookup table's current record as the match.
  void TakeCurrentRecord();
  // Positions the lookup table on the record whose key is `value`; true when found.
  bool PositionOnValue(const std::string& value);
  // The grid row of the matched record among the visible rows, -1 when none.
  int MatchRow();
  bool SearchFound() const { return searchFound_; }
  TTimer* ScrollTimer() const { return scrollTimer_; }

  virtual bool CanChangeValue();

 protected:
  TFieldDataLink* FieldLink() const { return fieldLink_.get(); }
  // Whether the lookup table's current record is the matched one.
  bool IsMatchedRecord() const;
  virtual bool IsSequential() const;
  virtual bool CaseSensitiveSearch() const { return false; }
  // Makes the current record the chosen one through the field link.
  virtual void ChooseCurrentRecord();
  // Before a move: the edited dataset goes into edit first (which shows the
  // field again, so it must not come after the move); false when it cannot.
  virtual bool BeginChange();

  void BuildFieldMap() override;
  void DataLinkActiveChanged(bool active) override;
  void ApplyColumnAttributes() override;
  bool IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool tracking_ = false;

 private:
  void FieldDataChange();
  void FieldUpdateData();
  void MoveToMouse(int Y);
  void AutoScroll();

  std::unique_ptr<TDataSource> lookupSource_;
  std::unique_ptr<TFieldDataLink> fieldLink_;
  std::string lookupField_;
  TwwDBLookupListOptions lookupOptions_;
  TField* keyField_ = nullptr;
  TField* secondField_ = nullptr;
  TField* thirdField_ = nullptr;
  TField* displayField_ = nullptr;
  int fieldCount_ = 0;
  std::string keyText_, secondText_, thirdText_, displayText_;
  bool searchFound_ = false;
  TTimer* scrollTimer_ = nullptr;  // scrolls while the button is held outside the rows
  int mouseY_ = 0;
};

// The drop-down of a lookup combo.
class TwwPopupGrid : public TwwDBLookupList {
  DECLARE_CLASS(TwwPopupGrid, TwwDBLookupList)
 public:
  explicit TwwPopupGrid(TwwDBCustomLookupCombo* combo);
  TwwDBCustomLookupCombo* Combo() const { return combo_; }
  // The keyboard stays in the combo.
  bool CanFocus() const override { return false; }
  // A key the combo hands on while the list is down.
  void HandleKey(WORD key) { KeyDown(key, {}); }
  bool CanChangeValue() override;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  bool CaseSensitiveSearch() const override;
  // A detail lookup table moved by its master: the combo looks its value up again.
  void RefreshData() override;
  void ChooseCurrentRecord() override;
  bool BeginChange() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;

 private:
  TwwDBCustomLookupCombo* combo_;
};
