#pragma once
// Record filters: a callback, a filter-expression blob, or both. The engine
// keeps its own copy of the blob, checks its structure when the filter is
// added and evaluates it against each record through the cursor's field cache.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/enginetypes.h"
#include "platform/classlib/db/filterblob.h"
#include "platform/classlib/core/object.h"

class TBaseTable;

// Asked for every record: non-zero accepts it.
using TFilterCallback = std::uint16_t (*)(std::intptr_t clientData, std::uint8_t* record,
                                          std::int32_t reserved);

// Deepest nesting of expression nodes the evaluator follows; deeper (or
// circular) expressions are refused as invalid filters.
constexpr int kMaxFilterDepth = 256;

class TFilterListItem : public TObject {
  DECLARE_CLASS(TFilterListItem, TObject)
 public:
  // Copies the blob (its size from its header) and checks every node and
  // literal it reaches; a malformed blob raises INVALIDFILTER. Inactive.
  TFilterListItem(TBaseTable* owner, std::intptr_t clientData, std::uint16_t priority,
                  std::int32_t canAbort, const void* expression, TFilterCallback callback);

  TBaseTable* Owner() const { return owner_; }
  bool Active() const { return active_ != 0; }
  void SetActive(bool active) { active_ = active ? -1 : 0; }
  const std::uint8_t* Expression() const { return blob_.empty() ? nullptr : blob_.data(); }
  std::uint16_t ExpressionSize() const { return static_cast<std::uint16_t>(blob_.size()); }
  bool HasCallback() const { return callback_ != nullptr; }

  // The callback first, then the expression; an expression that cannot be
  // evaluated refuses the record, a callback's exception passes on.
  bool Accepts(std::uint8_t* record);
  void GetInfo(std::uint16_t number, TFilterInfo& info) const;

 private:
  // The evaluator's value cell: a value read from a field or a constant, or a
  // truth result (operator TruthResult, data word 0 or 1). Every byte of Data
  // read holds the value or zero; only the first Clean bytes are known to,
  // so that a record's test does not clear kilobytes it never reads.
  struct TFilterValue {
    std::uint32_t NodeClass;
    std::uint32_t Operator;
    std::uint8_t Data[1024];  // room for a full-length UTF-8 text field
    std::uint16_t FieldType;
    std::uint16_t Length;
    std::uint16_t Clean;
  };
  // Bytes a cleared cell holds zero: a truth word, the widest number.
  static constexpr std::size_t kAlwaysClean = 8;
  static void Clear(TFilterValue& cell);
  static void ZeroUpTo(TFilterValue& cell, std::size_t bytes);

  bool Evaluate(std::uint16_t node, TFilterValue& cell, int depth);
  bool EvalUnary(std::uint16_t node, TFilterValue& cell, int depth);
  bool EvalLogical(std::uint16_t node, std::uint32_t op, TFilterValue& cell, int depth);
  bool EvalBinary(std::uint16_t node, std::uint32_t op, TFilterValue& cell, int depth);
  bool EvalCompare(std::uint16_t node, std::uint32_t op, TFilterValue& cell, int depth);
  bool EvalField(std::uint16_t node, TFilterValue& cell);
  // The cursor's number of the field a field node names, or 0 (with the
  // name) when it names none.
  int FieldNumberOf(std::uint16_t node, std::string& name);
  bool EvalConstant(std::uint16_t node, TFilterValue& cell);
  bool CompareOperands(std::uint32_t op, std::uint16_t left, std::uint16_t right,
                       std::uint16_t partialLength, bool caseInsensitive, TFilterValue& cell,
                       int depth);
  // Zeroes what each cell may be read past its value first.
  int CompareValues(TFilterValue& a, TFilterValue& b, std::uint16_t partialLength, bool caseInsensitive);
  static std::string ValueToText(const TFilterValue& v);
  static bool SetTruth(TFilterValue& cell, bool truth);

  // Structural check of the copied blob: every reachable node and literal lies
  // inside it, nesting stays within kMaxFilterDepth and no node is reached
  // more often than a tree allows.
  void Validate();
  void ValidateNode(std::uint16_t node, int depth, int& visits);

  // Bounded reads of the copied blob; out of bounds raises INVALIDFILTER.
  template <class T>
  T ReadNode(std::uint16_t node) const;
  std::string ReadLiteralText(std::uint16_t offset) const;
  const std::uint8_t* LiteralBytes(std::uint16_t offset, std::uint16_t size) const;
  const TFilterBlobHeader& Header() const;

  TBaseTable* owner_;
  std::intptr_t clientData_;
  std::uint16_t priority_;
  std::int32_t canAbort_;
  std::vector<std::uint8_t> blob_;
  TFilterCallback callback_;
  std::int32_t active_ = 0;
  std::uint8_t* record_ = nullptr;  // the record under test
  std::vector<std::pair<std::uint16_t, int>> fieldNumbers_;  // field node, its number
};
