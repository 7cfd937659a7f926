#pragma once
// The value conversions the data-access layer needs, in one place so that
// fields, datasets and parameters agree on them. They sit on the core's
// Variant, date and number routines.

#include <string>
#include <vector>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/variant.h"

namespace dbvar {
bool IsNullish(const Variant& v);  // Null or Empty
int ItemCount(const Variant& v);   // elements of an array, 1 for a single value
Variant Item(const Variant& v, int index);  // counted from 0 whatever the low bound
Variant MakeArray(const std::vector<Variant>& items);

std::string ToString(const Variant& v);  // Null gives ""
long long ToInt(const Variant& v);
double ToFloat(const Variant& v);
bool ToBool(const Variant& v);
TDateTime ToDateTime(const Variant& v);

// Equality as Locate understands it: Null equals only Null; texts compare with
// the options (case, partial prefix); other values by number.
bool SameValue(const Variant& a, const Variant& b, bool caseInsensitive, bool partial);

// Text forms used by the fields.
std::string FloatText(double value, int precision = 15);
std::string CurrencyText(double value, int precision = 15);
bool TextToInt(const std::string& text, long long& value);
bool TextToFloat(const std::string& text, double& value);
}  // namespace dbvar
