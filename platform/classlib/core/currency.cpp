#include "platform/classlib/core/currency.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/classlib/core/exceptions.h"

namespace {

using Int128 = __int128;

[[noreturn]] void RaiseOverflow() { throw EOverflow("Floating point overflow"); }

std::int64_t Checked(Int128 value) {
  if (value > Int128(INT64_MAX) || value < Int128(INT64_MIN)) RaiseOverflow();
  return std::int64_t(value);
}

// numerator / denominator rounded half to even (denominator > 0).
Int128 DivideRoundHalfEven(Int128 numerator, Int128 denominator) {
  Int128 quotient = numerator / denominator;
  Int128 remainder = numerator % denominator;
  if (remainder < 0) remainder = -remainder;
  const Int128 twice = remainder * 2;
  const bool negative = numerator < 0;
  if (twice > denominator || (twice == denominator && quotient % 2 != 0))
    quotient += negative ? -1 : 1;
  return quotient;
}

constexpr int kMaxDigits = 64;

int DigitAt(const TBcd& bcd, int index) {
  const std::uint8_t byte = bcd.Fraction[index / 2];
  return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void SetDigit(TBcd& bcd, int index, int digit) {
  std::uint8_t& byte = bcd.Fraction[index / 2];
  if (index % 2 == 0)
    byte = std::uint8_t((byte & 0x0F) | (digit << 4));
  else
    byte = std::uint8_t((byte & 0xF0) | digit);
}

int Places(const TBcd& bcd) { return bcd.SignSpecialPlaces & 0x3F; }
bool IsNegative(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x80) != 0; }
bool IsSpecial(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x40) != 0; }

// Stores the digit text (no sign, no point) right-aligned in `precision` digits.
bool StoreDigits(TBcd& bcd, const std::string& digits, int precision, int places,
                 bool negative) {
  if (precision < 1 || precision > kMaxDigits || places < 0 || places > 63 ||
      places > precision || int(digits.size()) > precision)
    return false;
  bcd = TBcd();
  bcd.Precision = std::uint8_t(precision);
  bool zero = true;
  const int lead = precision - int(digits.size());
  for (int i = 0; i < int(digits.size()); ++i) {
    const int d = digits[std::size_t(i)] - '0';
    if (d < 0 || d > 9) return false;
    if (d != 0) zero = false;
    SetDigit(bcd, lead + i, d);
  }
  bcd.SignSpecialPlaces = std::uint8_t(places | ((negative && !zero) ? 0x80 : 0));
  return true;
}

}  // namespace

Currency::Currency(double value) {
  const double scaled = value * double(kScale);
  // 2^63 as a double; anything at or beyond it (or NaN) does not fit.
  if (!(std::fabs(scaled) < 9223372036854775808.0)) RaiseOverflow();
  raw_ = std::int64_t(std::nearbyint(scaled));  // default mode: half to even
}

Currency Currency::operator-() const {
  if (raw_ == INT64_MIN) RaiseOverflow();
  return FromRaw(-raw_);
}

Currency& Currency::operator+=(Currency other) {
  raw_ = Checked(Int128(raw_) + other.raw_);
  return *this;
}

Currency& Currency::operator-=(Currency other) {
  raw_ = Checked(Int128(raw_) - other.raw_);
  return *this;
}

Currency& Currency::operator*=(Currency other) {
  raw_ = Checked(DivideRoundHalfEven(Int128(raw_) * other.raw_, kScale));
  return *this;
}

Currency& Currency::operator/=(Currency other) {
  if (other.raw_ == 0) throw EZeroDivide("Floating point division by zero");
  Int128 numerator = Int128(raw_) * kScale;
  Int128 denominator = other.raw_;
  if (denominator < 0) numerator = -numerator, denominator = -denominator;
  raw_ = Checked(DivideRoundHalfEven(numerator, denominator));
  return *this;
}

// ---- BCD ------------------------------------------------------------------------

bool CurrToBCD(Currency value, TBcd& bcd, int precision, int decimals) {
  if (decimals < 0 || decimals > 63) return false;
  const bool negative = value.Raw() < 0;
  Int128 magnitude = Int128(value.Raw());
  if (negative) magnitude = -magnitude;
  // Bring the four stored places to the wanted number of places.
  if (decimals < 4) {
    Int128 divisor = 1;
    for (int i = decimals; i < 4; ++i) divisor *= 10;
    magnitude = DivideRoundHalfEven(magnitude, divisor);
  }
  std::string digits;
  for (Int128 m = magnitude; m > 0; m /= 10) digits.insert(digits.begin(), char('0' + int(m % 10)));
  if (decimals > 4) digits.append(std::size_t(decimals - 4), '0');
  while (int(digits.size()) < decimals) digits.insert(digits.begin(), '0');
  return StoreDigits(bcd, digits, precision, decimals, negative);
}

bool BCDToCurr(const TBcd& bcd, Currency& value) {
  if (IsSpecial(bcd) || bcd.Precision > kMaxDigits) return false;
  const int places = Places(bcd);
  if (places > bcd.Precision) return false;
  Int128 integer = 0;
  Int128 limit = Int128(INT64_MAX) * 10000;  // generous bound against overflow
  for (int i = 0; i < bcd.Precision; ++i) {
    const int d = DigitAt(bcd, i);
    if (d > 9) return false;
    integer = integer * 10 + d;
    if (integer > limit) return false;
  }
  if (places < 4) {
    for (int i = places; i < 4; ++i) integer *= 10;
  } else if (places > 4) {
    Int128 divisor = 1;
    for (int i = 4; i < places; ++i) divisor *= 10;
    integer = DivideRoundHalfEven(integer, divisor);
  }
  if (IsNegative(bcd)) integer = -integer;
  if (integer > Int128(INT64_MAX) || integer < Int128(INT64_MIN)) return false;
  value = Currency::FromRaw(std::int64_t(integer));
  return true;
}

std::string BcdToPlainText(const TBcd& bcd) {
  if (IsSpecial(bcd) || bcd.Precision > kMaxDigits || Places(bcd) > bcd.Precision) return {};
  const int places = Places(bcd);
  std::string integerPart, fraction;
  for (int i = 0; i < bcd.Precision; ++i) {
    const int d = DigitAt(bcd, i);
    if (d > 9) return {};
    (i < bcd.Precision - places ? integerPart : fraction) += char('0' + d);
  }
  const std::size_t firstNonZero = integerPart.find_first_not_of('0');
  integerPart = firstNonZero == std::string::npos ? "0" : integerPart.substr(firstNonZero);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string text = integerPart;
  if (!fraction.empty()) text += "." + fraction;
  if (IsNegative(bcd) && text != "0") text.insert(text.begin(), '-');
  return text;
}

bool TryPlainTextToBcd(const std::string& text, TBcd& bcd) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;
  int places = 0;
  bool point = false, any = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      any = true;
      if (digits.empty() && c == '0' && !point) continue;  // leading zeros
      digits += c;
      if (point) ++places;
    } else {
      return false;
    }
  }
  if (!any) return false;
  while (int(digits.size()) < places) digits.insert(digits.begin(), '0');
  const int precision = std::max<int>(1, int(digits.size()));
  return StoreDigits(bcd, digits, precision, places, negative);
}

double BCDToDouble(const TBcd& bcd) {
  const std::string text = BcdToPlainText(bcd);
  return text.empty() ? 0.0 : std::strtod(text.c_str(), nullptr);
}

bool DoubleToBCD(double value, TBcd& bcd) {
  if (!std::isfinite(value)) return false;
  // Fifteen significant digits, written without an exponent.
  const int magnitude = value == 0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
  const int decimals = std::clamp(14 - magnitude, 0, 63);
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return TryPlainTextToBcd(text, bcd);
}
