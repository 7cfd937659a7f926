#pragma once
// The few value conversions the data-access layer needs, in one place so that
// fields, datasets and parameters agree on them.

#include <string>
#include <vector>

#include "platform/classlib/db/pending_core.h"

namespace dbvar {
bool IsNullish(const Variant& v);  // Null or Empty
bool IsArray(const Variant& v);
int ItemCount(const Variant& v);  // elements of an array, 1 for a single value
Variant Item(const Variant& v, int index);
Variant MakeArray(std::vector<Variant> items);

std::string ToString(const Variant& v);
long long ToInt(const Variant& v);
double ToFloat(const Variant& v);
bool ToBool(const Variant& v);
TDateTime ToDateTime(const Variant& v);

Variant FromInt(long long value);
Variant FromFloat(double value);
Variant FromCurrency(double value);
Variant FromBool(bool value);
Variant FromString(std::string value);
Variant FromDateTime(TDateTime value);

// Equality as Locate understands it: Null equals only Null; texts compare with
// the options (case, partial prefix); other values by number.
bool SameValue(const Variant& a, const Variant& b, bool caseInsensitive, bool partial);

// Date and time in the engine's stamp form.
TTimeStamp ToTimeStamp(TDateTime value);
TDateTime FromTimeStamp(const TTimeStamp& stamp);
double TimeStampToMSecs(const TTimeStamp& stamp);
TTimeStamp MSecsToTimeStamp(double msecs);

// Text forms used by the fields.
std::string IntText(long long value);
std::string FloatText(double value);  // 15 significant digits
std::string FormatFloat(const std::string& format, double value);
std::string CurrencyText(double value);  // in the currency format of the settings
std::string DateText(TDateTime value);
std::string TimeText(TDateTime value);
std::string DateTimeText(TDateTime value);
std::string FormatDateTime(const std::string& format, TDateTime value);
bool TextToInt(const std::string& text, long long& value);
bool TextToFloat(const std::string& text, double& value);
bool TextToDate(const std::string& text, TDateTime& value);
bool TextToTime(const std::string& text, TDateTime& value);
bool TextToDateTime(const std::string& text, TDateTime& value);
char DecimalSeparator();
}  // namespace dbvar
