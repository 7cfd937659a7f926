#pragma once
// Texts that compute what they print: a field of the data pipeline (which can
// leave out a value repeating the previous record's), a running calculation
// over a field (count, sum, minimum, maximum, average) that restarts at a
// group break, and a system value (dates, times, page numbers, page sets) or
// a value the application sets. The band calculates them once per record;
// their running state goes into the page-state cache so that any page can be
// regenerated with the values it had.

#include <cstdint>
#include <map>
#include <string>

#include "platform/classlib/core/datetime.h"
#include "report/model/pptext.h"

DECLARE_ENUM(TppDBCalcType, dcCount, dcSum, dcMinimum, dcMaximum, dcAverage)

class TppDBText : public TppCustomText {
  DECLARE_CLASS(TppDBText, TppCustomText)
 public:
  static constexpr int32_t kRecordSize = 12;
  explicit TppDBText(TComponent* owner = nullptr);

  bool IsCalculated() const override { return true; }
  bool IsDataAware() const override { return true; }
  void GetFormattedText(std::string& text) override;
  void GetDescription(std::string& text) override;
  void SetDisplayFormat(const std::string& value) override;
  void Calculate() override;
  void CheckRepeatedValue() override;
  void StartPage() override;
  void ResetCalculation() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;

  bool BlankWhenZero() const { return blankWhenZero_; }
  void SetBlankWhenZero(bool value);
  // At design time a new field sizes the text to the field's display width.
  void SetDataField(const std::string& value) override;
  void PipelineNotify(TppDataPipeline* pipeline, int event) override;
  bool ReprintOnSubsequent() const { return reprintOnSubsequent_; }
  void SetReprintOnSubsequent(bool value);
  bool SuppressRepeatedValues() const { return suppressRepeatedValues_; }
  void SetSuppressRepeatedValues(bool value);

  // Running state, as the cache keeps it.
  bool Repeated() const { return repeated_; }
  int32_t ChangePage() const { return changePage_; }
  const std::string& CurrentText() const { return currentText_; }

 protected:
  // The page-state record's first ten bytes, shared with the calculation.
  void WriteTextState(uint8_t* record) const;
  void ReadTextState(const uint8_t* record);
  // The page the engine is on; 0 outside a generation.
  int CurrentPageNo() const;

 private:
  bool printedOnPage_ = false;
  bool blankWhenZero_ = false;
  std::string currentText_;
  int32_t changePage_ = -1;
  std::string previousText_;
  bool repeated_ = false;
  bool reprintOnSubsequent_ = false;
  bool suppressRepeatedValues_ = false;
};

class TppDBCalc : public TppDBText {
  DECLARE_CLASS(TppDBCalc, TppDBText)
 public:
  static constexpr int32_t kRecordSize = 32;
  explicit TppDBCalc(TComponent* owner = nullptr);

  bool ResetsOnGroup() const override { return true; }
  void GetFormattedText(std::string& text) override;
  void GetDescription(std::string& text) override;
  void Calculate() override;
  void ResetCalculation() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;
  void SetResetGroup(TppGroup* group) override;
  void SetBand(TppBand* band) override;

  TppDBCalcType DBCalcType() const { return dbCalcType_; }
  void SetDBCalcType(TppDBCalcType value);
  double Total() const { return total_; }
  double Count() const { return count_; }

  TNotifyEvent OnCalc, OnGroupBreak;

 protected:
  // A freed reset group is forgotten.
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // "Sum(Amount)", "Count(*)", "Sum(?)": the type and what it sums.
  std::string CalcDescription() const;

  TppDBCalcType dbCalcType_ = dcSum;
  double count_ = 0;
  int32_t firstRecord_ = 0;
  double total_ = 0;
};

class TppCalc : public TppCustomText {
  DECLARE_CLASS(TppCalc, TppCustomText)
 public:
  static constexpr int32_t kRecordSize = 24;
  explicit TppCalc(TComponent* owner = nullptr);

  bool IsCalculated() const override { return true; }
  void GetFormattedText(std::string& text) override;
  void GetDescription(std::string& text) override;
  void SetText(const std::string& value) override;
  void SetDisplayFormat(const std::string& value) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void ConvertVersion(int versionNo) override;
  void Calculate() override;
  void ResetCalculation() override;
  void SaveToCache(int pageNo) override;
  void RestoreFromCache(int pageNo) override;
  void CacheNotify(int operation, int pageNo) override;

  // The value shown, by CalcType.
  Variant Value() const;

  TppCalcType CalcType() const { return calcType_; }
  void SetCalcType(TppCalcType value);
  TppDataType CustomType() const { return customType_; }
  void SetCustomType(TppDataType value);
  // The typed values a custom calculation sets (OnCalc).
  bool CustomBoolean = false;
  TDateTime CustomDateTime;
  int32_t CustomInteger = 0;
  double CustomReal = 0;
  const std::string& CustomString() const { return customString_; }

  TNotifyEvent OnCalc;

 protected:
  void DefineProperties(TFiler* filer) override;

 private:
  bool Designing() const;
  TppCalcType calcType_ = ctDate;
  TppDataType customType_ = dtDateTime;
  std::string customString_;
  // The custom text of each saved page: the fixed-size record cannot hold it,
  // and a regenerated page must print the text it had.
  std::map<int, std::string> pageStrings_;
};

// The data type a system value has.
TppDataType ppCalcDataType(TppCalcType type);
// The data type an old layout's "DataType" names; false for one it does not map.
bool ppLegacyCalcDataType(const std::string& ident, TppDataType& type);
