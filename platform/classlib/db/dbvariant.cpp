#include "platform/classlib/db/dbvariant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace dbvar {
namespace {
constexpr double kMSecsPerDay = 86400000.0;
constexpr int kDateDelta = 693594;  // days from 1 January of year 1 to 30 December 1899
}  // namespace

bool IsNullish(const Variant& v) { return v.IsNull() || v.IsEmpty(); }
bool IsArray(const Variant& v) { return std::holds_alternative<std::vector<Variant>>(v.store()); }
int ItemCount(const Variant& v) {
  return IsArray(v) ? int(std::get<std::vector<Variant>>(v.store()).size()) : 1;
}
Variant Item(const Variant& v, int index) {
  if (!IsArray(v)) return v;
  const auto& a = std::get<std::vector<Variant>>(v.store());
  return index >= 0 && index < int(a.size()) ? a[std::size_t(index)] : Variant();
}
Variant MakeArray(std::vector<Variant> items) { return Variant(std::move(items)); }

std::string ToString(const Variant& v) {
  const auto& s = v.store();
  if (auto p = std::get_if<std::int64_t>(&s)) return IntText(*p);
  if (auto p = std::get_if<double>(&s)) return FloatText(*p);
  if (auto p = std::get_if<bool>(&s)) return *p ? "True" : "False";
  if (auto p = std::get_if<std::string>(&s)) return *p;
  return {};
}
long long ToInt(const Variant& v) {
  const auto& s = v.store();
  if (auto p = std::get_if<std::int64_t>(&s)) return *p;
  if (auto p = std::get_if<double>(&s)) return (long long)std::llround(*p);
  if (auto p = std::get_if<bool>(&s)) return *p ? -1 : 0;
  if (auto p = std::get_if<std::string>(&s)) {
    long long r;
    if (TextToInt(*p, r)) return r;
    throw EVariantError("Could not convert variant of type (String) into type (Integer)");
  }
  return 0;
}
double ToFloat(const Variant& v) {
  const auto& s = v.store();
  if (auto p = std::get_if<std::int64_t>(&s)) return double(*p);
  if (auto p = std::get_if<double>(&s)) return *p;
  if (auto p = std::get_if<bool>(&s)) return *p ? -1 : 0;
  if (auto p = std::get_if<std::string>(&s)) {
    double r;
    if (TextToFloat(*p, r)) return r;
    throw EVariantError("Could not convert variant of type (String) into type (Double)");
  }
  return 0;
}
bool ToBool(const Variant& v) {
  const auto& s = v.store();
  if (auto p = std::get_if<bool>(&s)) return *p;
  if (auto p = std::get_if<std::string>(&s)) {
    if (SameText(*p, "true")) return true;
    if (SameText(*p, "false")) return false;
  }
  return ToFloat(v) != 0;
}
TDateTime ToDateTime(const Variant& v) {
  if (auto p = std::get_if<std::string>(&v.store())) {
    TDateTime d;
    if (TextToDateTime(*p, d)) return d;
    throw EVariantError("Could not convert variant of type (String) into type (Date)");
  }
  return ToFloat(v);
}

Variant FromInt(long long value) { return Variant(value); }
Variant FromFloat(double value) { return Variant(value); }
Variant FromCurrency(double value) { return Variant(value); }
Variant FromBool(bool value) { return Variant(value); }
Variant FromString(std::string value) { return Variant(std::move(value)); }
Variant FromDateTime(TDateTime value) { return Variant(value); }

bool SameValue(const Variant& a, const Variant& b, bool caseInsensitive, bool partial) {
  if (IsNullish(a) || IsNullish(b)) return IsNullish(a) && IsNullish(b);
  const bool aText = std::holds_alternative<std::string>(a.store());
  const bool bText = std::holds_alternative<std::string>(b.store());
  if (aText || bText) {
    std::string x = ToString(a), y = ToString(b);
    if (caseInsensitive) {
      x = AnsiUpperCase(x);
      y = AnsiUpperCase(y);
    }
    if (partial) return x.compare(0, y.size(), y) == 0;
    return x == y;
  }
  return ToFloat(a) == ToFloat(b);
}

TTimeStamp ToTimeStamp(TDateTime value) {
  double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
  int date = int(whole) + kDateDelta;
  if (ms >= (long long)kMSecsPerDay) {
    ms -= (long long)kMSecsPerDay;
    date += value < 0 ? -1 : 1;
  }
  return TTimeStamp{int(ms), date};
}
TDateTime FromTimeStamp(const TTimeStamp& stamp) {
  double days = double(stamp.Date - kDateDelta);
  double frac = stamp.Time / kMSecsPerDay;
  return days >= 0 ? days + frac : days - frac;
}
double TimeStampToMSecs(const TTimeStamp& stamp) {
  return double(stamp.Date) * kMSecsPerDay + stamp.Time;
}
TTimeStamp MSecsToTimeStamp(double msecs) {
  double days = std::floor(msecs / kMSecsPerDay);
  return TTimeStamp{int(msecs - days * kMSecsPerDay), int(days)};
}

std::string IntText(long long value) { return std::to_string(value); }
std::string FloatText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}
std::string FormatFloat(const std::string& format, double value) {
  // Placeholder form: the number of '0' after the point gives the decimals.
  auto dot = format.find('.');
  int decimals = 0;
  if (dot != std::string::npos)
    for (std::size_t i = dot + 1; i < format.size() && (format[i] == '0' || format[i] == '#'); ++i)
      ++decimals;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}
std::string CurrencyText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, value < 0 ? "($%.2f)" : "$%.2f", std::fabs(value));
  return buf;
}
static void Decode(TDateTime v, int& y, int& m, int& d, int& hh, int& nn, int& ss) {
  TTimeStamp ts = ToTimeStamp(v);
  long long days = ts.Date - kDateDelta;  // days since 1899-12-30
  std::time_t t = std::time_t((days - 25569) * 86400LL);
  std::tm tm{};
  gmtime_r(&t, &tm);
  y = tm.tm_year + 1900;
  m = tm.tm_mon + 1;
  d = tm.tm_mday;
  hh = ts.Time / 3600000;
  nn = ts.Time / 60000 % 60;
  ss = ts.Time / 1000 % 60;
}
std::string DateText(TDateTime value) {
  int y, m, d, hh, nn, ss;
  Decode(value, y, m, d, hh, nn, ss);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%d/%04d", m, d, y);
  return buf;
}
std::string TimeText(TDateTime value) {
  int y, m, d, hh, nn, ss;
  Decode(value, y, m, d, hh, nn, ss);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", hh % 12 == 0 ? 12 : hh % 12, nn, ss,
                hh < 12 ? "AM" : "PM");
  return buf;
}
std::string DateTimeText(TDateTime value) {
  std::string s = DateText(value);
  if (ToTimeStamp(value).Time != 0) s += " " + TimeText(value);
  return s;
}
std::string FormatDateTime(const std::string&, TDateTime value) { return DateTimeText(value); }
bool TextToInt(const std::string& text, long long& value) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(t.c_str(), &end, 10);
  return *end == 0;
}
bool TextToFloat(const std::string& text, double& value) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  value = std::strtod(t.c_str(), &end);
  return *end == 0;
}
static bool EncodeDate(int y, int m, int d, TDateTime& out) {
  if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1) return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  std::time_t t = timegm(&tm);
  std::tm back{};
  gmtime_r(&t, &back);
  if (back.tm_mday != d) return false;
  out = double(t / 86400 + 25569);
  return true;
}
bool TextToDate(const std::string& text, TDateTime& value) {
  int m, d, y;
  char extra;
  if (std::sscanf(text.c_str(), "%d/%d/%d%c", &m, &d, &y, &extra) != 3) return false;
  return EncodeDate(y, m, d, value);
}
bool TextToTime(const std::string& text, TDateTime& value) {
  int h, n, s = 0;
  char ampm[3] = {};
  int got = std::sscanf(text.c_str(), "%d:%d:%d %2s", &h, &n, &s, ampm);
  if (got < 2) return false;
  if (ampm[0] == 'P' || ampm[0] == 'p') h = h % 12 + 12;
  if ((ampm[0] == 'A' || ampm[0] == 'a') && h == 12) h = 0;
  if (h > 23 || n > 59 || s > 59) return false;
  value = (h * 3600 + n * 60 + s) / 86400.0;
  return true;
}
bool TextToDateTime(const std::string& text, TDateTime& value) {
  auto blank = text.find(' ');
  if (blank == std::string::npos) return TextToDate(text, value) || TextToTime(text, value);
  TDateTime d, t;
  if (!TextToDate(text.substr(0, blank), d) || !TextToTime(text.substr(blank + 1), t)) return false;
  value = d + t;
  return true;
}
char DecimalSeparator() { return '.'; }
}  // namespace dbvar
