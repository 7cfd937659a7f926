#pragma once
// Currency: a fixed-point number, a 64-bit integer counting ten-thousandths, so
// money adds up without binary rounding. Conversions from floating point round
// half to even, as the class library does.
//
// TBcd: the 32-digit packed decimal that the dataset uses for BCD fields.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

class Currency {
 public:
  static constexpr std::int64_t kScale = 10000;

  constexpr Currency() = default;
  // Whole units: Currency(5) is 5.0000.
  constexpr explicit Currency(int units) : raw_(std::int64_t(units) * kScale) {}
  constexpr explicit Currency(std::int64_t units) : raw_(units * kScale) {}
  // The value as it reads in 15 significant digits, rounded to four decimals
  // half to even (0.00015 gives 0.0002); raises EOverflow outside the range.
  explicit Currency(double value);

  // The stored ten-thousandths: FromRaw(12345) is 1.2345.
  static constexpr Currency FromRaw(std::int64_t raw) {
    Currency c;
    c.raw_ = raw;
    return c;
  }
  constexpr std::int64_t Raw() const { return raw_; }

  double ToDouble() const { return double(raw_) / double(kScale); }
  explicit operator double() const { return ToDouble(); }

  Currency operator-() const;
  Currency& operator+=(Currency other);
  Currency& operator-=(Currency other);
  Currency& operator*=(Currency other);
  Currency& operator/=(Currency other);  // EZeroDivide for a zero divisor
  friend Currency operator+(Currency a, Currency b) { return a += b; }
  friend Currency operator-(Currency a, Currency b) { return a -= b; }
  friend Currency operator*(Currency a, Currency b) { return a *= b; }
  friend Currency operator/(Currency a, Currency b) { return a /= b; }

  friend constexpr bool operator==(Currency a, Currency b) = default;
  friend constexpr auto operator<=>(Currency a, Currency b) = default;

 private:
  std::int64_t raw_ = 0;
};

// Largest and smallest values a Currency holds (about ±922 337 203 685 477).
constexpr Currency MaxCurrency = Currency::FromRaw(INT64_MAX);
constexpr Currency MinCurrency = Currency::FromRaw(INT64_MIN);

namespace classlib_detail {
// The Currency nearest to digits x 10^exponent (digits: decimal digits only),
// half to even; false when it is out of range.
bool DecimalToCurrency(std::string_view digits, int exponent, bool negative, Currency& value);
// The first `count` significant digits of a finite positive double, correctly
// rounded, and the power of ten of the first: value = d.ddd x 10^exponent.
void SignificantDigits(double value, int count, std::string& digits, int& exponent);
}  // namespace classlib_detail

// ---- BCD ------------------------------------------------------------------------

// Packed decimal of up to 64 digits. Precision is the number of digits held;
// SignSpecialPlaces holds the sign (bit 7), a "special" flag (bit 6, blank or
// not a number) and the number of decimal places (bits 0-5). Fraction holds the
// digits, two per byte, high nibble first; the last `places` digits are decimals.
struct TBcd {
  std::uint8_t Precision = 0;
  std::uint8_t SignSpecialPlaces = 0;
  std::uint8_t Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34, "TBcd is 34 bytes");

// Fills `bcd` with the value, `precision` digits (at most 32) of which
// `decimals` are places. Returns false when the value does not fit.
bool CurrToBCD(Currency value, TBcd& bcd, int precision = 32, int decimals = 4);
// False when the BCD is special or its value does not fit a Currency; more than
// four places are rounded half to even.
bool BCDToCurr(const TBcd& bcd, Currency& value);
// Text with '.' as decimal point ("-12.5"); "" for a special BCD.
std::string BcdToPlainText(const TBcd& bcd);
// Parses "-123.45" ('.' decimal point); false on bad text or too many digits.
bool TryPlainTextToBcd(const std::string& text, TBcd& bcd);
double BCDToDouble(const TBcd& bcd);
bool DoubleToBCD(double value, TBcd& bcd);
