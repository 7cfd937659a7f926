#pragma once
// The local record filter of the filter dialog: its conditions checked once
// against the dataset when the filter is applied (fields found, range bounds
// converted, values split and upper-cased), then evaluated for every record
// the dataset offers.

#include <string>
#include <vector>

#include "datactrls/wwfltdlg.h"
#include "datactrls/wwqbe.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/datetime.h"

class TDataSet;
class TField;

class TwwLocalFilter {
 public:
  // Replaces the compiled conditions. A condition naming a field the dataset
  // lacks, or a range bound that is no value of the field's type, is left out
  // and described in Problems(); the caller reports them once.
  void Compile(TDataSet* dataSet, const TwwFieldInfoList& conditions, const TwwFieldOperators& ops);
  void Clear();
  int Count() const { return static_cast<int>(conditions_.size()); }
  const std::vector<std::string>& Problems() const { return problems_; }
  // True when the dataset's current record passes every condition, checked
  // in list order up to the first that fails.
  bool Accepts(TDataSet* dataSet) const;

 private:
  enum class RangeKind { None, Text, Integer, Float, Date };
  struct Bound {
    bool given = false;
    std::string text;
    double number = 0;  // integers, floats and time stamps
  };
  struct Condition {
    std::string fieldName;
    TFieldType dataType = ftUnknown;
    TwwFilterMatchType matchType = fdMatchStart;
    bool caseSensitive = false;
    bool nonMatching = false;
    TwwFilterPieces pieces;           // upper-cased unless case-sensitive
    std::vector<char> nullPieces;     // per piece: equals the null word
    RangeKind range = RangeKind::None;
    Bound min, max;
  };
  bool CompileRange(const TwwFieldInfo& info, TField* field, Condition& c);
  bool ConvertBound(const std::string& text, Condition& c, Bound& bound) const;
  static bool Holds(const Condition& c, TField* field, const std::string& text);
  static bool InRange(const Condition& c, TField* field);
  std::vector<Condition> conditions_;
  std::vector<std::string> problems_;
};

// The text a value condition compares: dates and times in the short-date and
// long-time forms (empty when null), a memo's whole text, else AsString. The
// library's own datasets read through their wwFieldFilterValue.
std::string wwFilterFieldText(TDataSet* dataSet, TField* field);

// Calls f with the dataset as the library's own dataset it is (table, query,
// stored procedure, example query); false, without calling, for any other.
template <class F>
bool wwWithLibraryDataSet(TDataSet* dataSet, F&& f) {
  if (auto* t = dynamic_cast<TwwTable*>(dataSet)) return f(t), true;
  if (auto* q = dynamic_cast<TwwQuery*>(dataSet)) return f(q), true;
  if (auto* p = dynamic_cast<TwwStoredProc*>(dataSet)) return f(p), true;
  if (auto* e = dynamic_cast<TwwQBE*>(dataSet)) return f(e), true;
  return false;
}

// The index optimisation of the library's table: a range on an index over the
// first condition that can use one (not non-matching, no join word; start,
// exact or range), so that fewer records are offered; the record handler
// still decides every record. A range set by an earlier call is cancelled
// first (rangeSet says whether there is one). fdUseAllIndexes may change the
// table's index; fdUseActiveIndex uses the current one only. A case-blind
// condition uses only a case-blind index, so the range never leaves out a
// record the condition keeps.
void wwApplyFilterIndex(TwwTable* table, const TwwFieldInfoList& conditions, const TwwFieldOperators& ops,
                        TwwFilterOptimization mode, bool& rangeSet);
