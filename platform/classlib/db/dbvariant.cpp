#include "platform/classlib/db/dbvariant.h"

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"

namespace dbvar {

bool IsNullish(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

int ItemCount(const Variant& v) {
  return VarIsArray(v) ? VarArrayHighBound(v) - VarArrayLowBound(v) + 1 : 1;
}

Variant Item(const Variant& v, int index) {
  if (!VarIsArray(v)) return index == 0 ? v : Variant();
  int i = VarArrayLowBound(v) + index;
  return i <= VarArrayHighBound(v) ? VarArrayGet(v, i) : Variant();
}

Variant MakeArray(const std::vector<Variant>& items) { return VarArrayOf(items); }

std::string ToString(const Variant& v) { return VarToStr(v); }
long long ToInt(const Variant& v) { return v.AsInt64(); }
double ToFloat(const Variant& v) { return v.AsDouble(); }
bool ToBool(const Variant& v) { return v.AsBoolean(); }
TDateTime ToDateTime(const Variant& v) { return VarToDateTime(v); }

bool SameValue(const Variant& a, const Variant& b, bool caseInsensitive, bool partial) {
  if (IsNullish(a) || IsNullish(b)) return IsNullish(a) && IsNullish(b);
  if (VarIsStr(a) || VarIsStr(b)) {
    const std::string x = VarToStr(a), y = VarToStr(b);
    if (caseInsensitive) return partial ? AnsiStartsText(y, x) : AnsiSameText(x, y);
    return partial ? x.compare(0, y.size(), y) == 0 : x == y;
  }
  return a.AsDouble() == b.AsDouble();
}

std::string FloatText(double value, int precision) {
  return FloatToStrF(value, ffGeneral, precision, 0);
}

std::string CurrencyText(double value, int precision) {
  return FloatToStrF(value, ffCurrency, precision, FormatSettings.CurrencyDecimals);
}

bool TextToInt(const std::string& text, long long& value) {
  std::int64_t v;
  if (!TryStrToInt64(Trim(text), v)) return false;
  value = v;
  return true;
}

bool TextToFloat(const std::string& text, double& value) { return TryStrToFloat(Trim(text), value); }

}  // namespace dbvar
