#include <string>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwfltlocal.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/db/fields.h"

namespace {

// The index to range on for a condition, or nullptr.
const TIndexDef* IndexFor(TwwTable* table, const std::string& field, const TwwFieldInfo& c) {
  TIndexDefs& defs = table->IndexDefs();
  defs.Update();
  if (c.MatchType == fdMatchRange || c.CaseSensitive) return defs.GetIndexForFields(field, false);
  return defs.GetIndexForFields(field, true);
}

// The single value of a start or exact condition (empty for none, for a
// list and for the null word).
std::string SingleValue(const TwwFieldInfo& c, const TwwFieldOperators& ops) {
  const TwwFilterPieces pieces = wwSplitFilterValue(c.FilterValue, ops);
  if (pieces.Join != TwwFilterJoin::Single || wwSameText(pieces.Pieces[0], ops.NullChar())) return {};
  return pieces.Pieces[0];
}

// Sets the range for the condition on the table's current index; false when
// the condition gives none (an empty value, a start match on no text index).
bool SetConditionRange(TwwTable* table, const TwwFieldInfo& c, const TwwFieldOperators& ops) {
  const auto text = [](const std::string& s) { return Variant(s); };
  if (c.MatchType == fdMatchRange) {
    if (c.MinValue.empty() && c.MaxValue.empty()) return false;
    std::vector<Variant> from, to;
    if (!c.MinValue.empty()) from.push_back(text(c.MinValue));
    if (!c.MaxValue.empty()) to.push_back(text(c.MaxValue));
    table->SetRange(from, to);
    return true;
  }
  const std::string value = SingleValue(c, ops);
  if (value.empty()) return false;
  if (c.MatchType == fdMatchExact) {
    table->SetRange({text(value)}, {text(value)});
    return true;
  }
  if (table->GetIndexField(0)->DataType() != ftString) return false;
  table->SetRange({text(value)},
                  {text(wwRangeEndOfStart(value, table->NarrowSearchUpperChar, table->GetIndexField(0)->Size()))});
  return true;
}

}  // namespace

void wwApplyFilterIndex(TwwTable* table, const TwwFieldInfoList& conditions, const TwwFieldOperators& ops,
                        TwwFilterOptimization mode, bool& rangeSet) {
  if (rangeSet) table->CancelRange();
  rangeSet = false;
  if (mode == fdNone) return;
  for (const auto& c : conditions) {
    if (c->NonMatching) continue;
    if (c->MatchType != fdMatchStart && c->MatchType != fdMatchExact && c->MatchType != fdMatchRange) continue;
    const std::string field = c->FieldName.empty() ? wwFieldNameFromLabel(table, c->DisplayLabel) : c->FieldName;
    if (field.empty() || !table->FindField(field)) continue;
    if (mode == fdUseAllIndexes) {
      const TIndexDef* index = IndexFor(table, field, *c);
      if (!index) continue;
      table->SetIndexName(index->Name());
    } else if (table->IndexFieldCount() == 0 || !wwSameText(table->GetIndexField(0)->FieldName(), field)) {
      continue;
    }
    try {
      if (!SetConditionRange(table, *c, ops)) continue;
    } catch (const Exception&) {
      continue;  // a bound that is no key value: the record handler reports it
    }
    rangeSet = true;
    return;
  }
}
