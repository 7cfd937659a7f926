#include "datactrls/wwfltlocal.h"

#include "datactrls/wwstr.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {

bool IsDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

std::string DateText(TField* field) {
  if (field->IsNull()) return {};
  const TDateTime value = field->AsDateTime();
  switch (field->DataType()) {
    case ftDate: return DateToStr(value);
    case ftTime: return TimeToStr(value);
    default: return DateTimeToStr(value);
  }
}

std::string CaseFolded(const std::string& text, bool caseSensitive) {
  return caseSensitive ? text : AnsiUpperCaseFolded(text);
}

bool StartsWith(const std::string& text, const std::string& piece) { return text.compare(0, piece.size(), piece) == 0; }
bool EndsWith(const std::string& text, const std::string& piece) {
  return text.size() >= piece.size() && text.compare(text.size() - piece.size(), piece.size(), piece) == 0;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

std::string wwFilterFieldText(TDataSet* dataSet, TField* field) {
  if (IsDateType(field->DataType())) return DateText(field);
  // The library's datasets read through their own routine: it reads memos
  // and lookup fields of the record under evaluation.
  std::string text;
  const auto read = [&](auto* own) { text = VarToStr(own->wwFieldFilterValue(field->FieldName())); };
  if (wwWithLibraryDataSet(dataSet, read)) return text;
  // An engine dataset's field cannot read a blob while the engine filters:
  // the memo is read from the record under evaluation.
  auto* engine = dynamic_cast<TttBDEDataset*>(dataSet);
  if (engine && field->IsBlob() && engine->State() == dsFilter)
    return VarToStr(wwReadFilterBlob(engine, field, reinterpret_cast<std::uint8_t*>(engine->StateBuffer())));
  return field->AsString();
}

void TwwLocalFilter::Clear() {
  conditions_.clear();
  problems_.clear();
}

void TwwLocalFilter::Compile(TDataSet* dataSet, const TwwFieldInfoList& conditions, const TwwFieldOperators& ops) {
  Clear();
  for (const auto& info : conditions) {
    std::string name = info->FieldName.empty() ? wwFieldNameFromLabel(dataSet, info->DisplayLabel) : info->FieldName;
    TField* field = name.empty() ? nullptr : dataSet->FindField(name);
    if (!field) {
      problems_.push_back(Format(dbtext::FieldNotFound, {name.empty() ? info->DisplayLabel : name}));
      continue;
    }
    Condition c;
    c.fieldName = field->FieldName();
    c.dataType = field->DataType() == ftAutoInc ? ftInteger : field->DataType();
    c.matchType = static_cast<TwwFilterMatchType>(info->MatchType);
    c.caseSensitive = info->CaseSensitive;
    c.nonMatching = info->NonMatching && c.matchType != fdMatchRange;
    if (c.matchType == fdMatchRange) {
      if (!CompileRange(*info, field, c)) continue;
    } else {
      c.pieces = wwSplitFilterValue(CaseFolded(info->FilterValue, c.caseSensitive), ops);
      for (const auto& piece : c.pieces.Pieces) c.nullPieces.push_back(wwSameText(piece, ops.NullChar()));
    }
    conditions_.push_back(std::move(c));
  }
}

bool TwwLocalFilter::CompileRange(const TwwFieldInfo& info, TField* field, Condition& c) {
  switch (c.dataType) {
    case ftString: c.range = RangeKind::Text; break;
    case ftSmallint: case ftInteger: case ftWord: c.range = RangeKind::Integer; break;
    case ftFloat: case ftCurrency: c.range = RangeKind::Float; break;
    case ftDate: case ftTime: case ftDateTime: c.range = RangeKind::Date; break;
    default: return true;  // no range test for this type: every record passes
  }
  // A bound that is no value of the type is refused here, once, rather than
  // failing for every record; the condition is then not applied at all.
  for (auto [text, bound] : {std::pair{&info.MinValue, &c.min}, std::pair{&info.MaxValue, &c.max}}) {
    if (text->empty() || ConvertBound(*text, c, *bound)) continue;
    problems_.push_back(Quoted(*text) + " is not a valid range bound for field " + Quoted(field->FieldName()));
    return false;
  }
  return true;
}

bool TwwLocalFilter::ConvertBound(const std::string& text, Condition& c, Bound& bound) const {
  bound.given = true;
  bound.text = text;
  switch (c.range) {
    case RangeKind::Integer: {
      int value = 0;
      if (!TryStrToInt(text, value)) return false;
      bound.number = value;
      return true;
    }
    case RangeKind::Float: return TryStrToFloat(text, bound.number);
    case RangeKind::Date: {
      TDateTime value;
      bool ok = c.dataType == ftDate   ? TryStrToDate(text, value)
                : c.dataType == ftTime ? TryStrToTime(text, value)
                                       : TryStrToDateTime(text, value);
      bound.number = value;
      return ok;
    }
    default: return true;
  }
}

bool TwwLocalFilter::Accepts(TDataSet* dataSet) const {
  for (const Condition& c : conditions_) {
    TField* field = dataSet->FindField(c.fieldName);
    // A field gone since the filter was applied (the dataset was reopened
    // with other fields) decides nothing.
    if (!field) continue;
    bool result = c.matchType == fdMatchRange ? InRange(c, field)
                                              : Holds(c, field, CaseFolded(wwFilterFieldText(dataSet, field), c.caseSensitive));
    if (c.nonMatching) result = !result;
    if (!result) return false;
  }
  return true;
}

bool TwwLocalFilter::Holds(const Condition& c, TField*, const std::string& text) {
  const bool orList = c.pieces.Join == TwwFilterJoin::Or;
  const bool memo = c.dataType == ftMemo;
  for (std::size_t i = 0; i < c.pieces.Pieces.size(); ++i) {
    const std::string& piece = c.pieces.Pieces[i];
    bool tested = true;
    bool pass = text.empty() && c.nullPieces[i];
    if (!pass) {
      switch (c.matchType) {
        case fdMatchStart: pass = StartsWith(text, piece); break;
        case fdMatchAny: pass = text.find(piece) != std::string::npos; break;
        case fdMatchExact: pass = text == piece; break;
        case fdMatchEnd: tested = !memo; pass = tested && EndsWith(text, piece); break;
        default: tested = false; break;  // no test for this match type
      }
    }
    if (!tested && !pass) continue;
    if (orList && pass) return true;
    if (!orList && !pass) return false;
  }
  return !orList;
}

bool TwwLocalFilter::InRange(const Condition& c, TField* field) {
  switch (c.range) {
    case RangeKind::Text: {
      const std::string value = field->AsString();
      return !(c.min.given && value < c.min.text) && !(c.max.given && value > c.max.text);
    }
    case RangeKind::None: return true;
    default: break;
  }
  const double value = c.range == RangeKind::Integer ? double(field->AsInteger())
                       : c.range == RangeKind::Float ? field->AsFloat()
                                                     : double(field->AsDateTime());
  return !(c.min.given && value < c.min.number) && !(c.max.given && value > c.max.number);
}
