#include "platform/classlib/core/currency.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

bool classlib_detail::DecimalToCurrency(std::string_view digits, int exponent, bool negative,
                                        Currency& value) {
  const std::size_t nonZero = digits.find_first_not_of('0');
  if (nonZero == std::string_view::npos) {
    value = Currency();
    return true;
  }
  digits = digits.substr(nonZero);
  const long long shift = (long long)exponent + 4;  // to ten-thousandths
  Int128 raw = 0;
  if (shift >= 0) {
    if ((long long)digits.size() + shift > 20) return false;
    for (char c : digits) raw = raw * 10 + (c - '0');
    for (long long k = 0; k < shift; ++k) raw *= 10;
  } else {
    const long long keep = (long long)digits.size() + shift;  // digits above the cut
    if (keep > 20) return false;
    for (long long k = 0; k < keep; ++k) raw = raw * 10 + (digits[std::size_t(k)] - '0');
    if (keep >= 0) {
      const char first = digits[std::size_t(keep)];
      const bool anyBelow =
          digits.substr(std::size_t(keep) + 1).find_first_not_of('0') != std::string_view::npos;
      if (first > '5' || (first == '5' && (anyBelow || raw % 2 != 0))) ++raw;
    }
  }
  const Int128 limit = Int128(INT64_MAX) + 1;
  if (raw > limit || (raw == limit && !negative)) return false;
  value = Currency::FromRaw(std::int64_t(negative ? -raw : raw));
  return true;
}

void classlib_detail::SignificantDigits(double value, int count, std::string& digits,
                                        int& exponent) {
  char buffer[64];  // d.ddd...e+XX
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific, count - 1).ptr;
  const std::string_view text(buffer, std::size_t(end - buffer));
  const std::size_t e = text.find('e');
  digits = std::string(1, text[0]);
  if (e > 2) digits += text.substr(2, e - 2);
  exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
}

Currency::Currency(double value) {
  if (!std::isfinite(value)) RaiseOverflow();
  std::string digits;
  int exponent = 0;
  if (value != 0) classlib_detail::SignificantDigits(std::fabs(value), 15, digits, exponent);
  Currency result;
  if (!classlib_detail::DecimalToCurrency(digits, exponent - 14, std::signbit(value), result))
    RaiseOverflow();
  raw_ = result.raw_;
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
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool DoubleToBCD(double value, TBcd& bcd) {
  if (!std::isfinite(value)) return false;
  // Fifteen significant digits, written without an exponent.
  const int magnitude = value == 0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
  const int decimals = std::clamp(14 - magnitude, 0, 63);
  char buffer[400];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  std::string text(buffer, end);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return TryPlainTextToBcd(text, bcd);
}
