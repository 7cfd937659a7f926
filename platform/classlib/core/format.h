#pragma once
// Formatting and conversion of numbers: Format, FormatFloat, FloatToStr,
// FloatToStrF, StrToFloat, StrToInt, IntToStr, IntToHex and the currency forms.
//
// Numbers are rounded half away from zero on their decimal digits (0.125 with two
// decimals gives 0.13), and a value that rounds to zero never shows a minus sign.
// All routines follow FormatSettings unless given settings of their own, and none
// depends on the C library's locale.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/formatsettings.h"

class Variant;

// One argument of Format: accepts integers, floating point, texts, characters,
// Booleans, pointers, Currency, TDateTime and Variant.
struct TVarRec {
  enum Kind { vtInteger, vtInt64, vtExtended, vtString, vtChar, vtBoolean, vtPointer, vtCurrency };

  TVarRec(int v) : VType(vtInteger), Int(v) {}
  TVarRec(unsigned v) : VType(vtInt64), Int(v) {}
  TVarRec(long v) : VType(vtInt64), Int(v) {}
  TVarRec(unsigned long v) : VType(vtInt64), Int(std::int64_t(v)) {}
  TVarRec(long long v) : VType(vtInt64), Int(v) {}
  TVarRec(unsigned long long v) : VType(vtInt64), Int(std::int64_t(v)) {}
  TVarRec(short v) : VType(vtInteger), Int(v) {}
  TVarRec(unsigned short v) : VType(vtInteger), Int(v) {}
  TVarRec(unsigned char v) : VType(vtInteger), Int(v) {}
  TVarRec(double v) : VType(vtExtended), Float(v) {}
  TVarRec(float v) : VType(vtExtended), Float(v) {}
  TVarRec(TDateTime v) : VType(vtExtended), Float(v.Value) {}
  TVarRec(bool v) : VType(vtBoolean), Int(v) {}
  TVarRec(char v) : VType(vtChar), Text(1, v) {}
  TVarRec(const char* v) : VType(vtString), Text(v ? v : "") {}
  TVarRec(std::string v) : VType(vtString), Text(std::move(v)) {}
  TVarRec(std::string_view v) : VType(vtString), Text(v) {}
  TVarRec(const void* v) : VType(vtPointer), Pointer(v) {}
  TVarRec(Currency v) : VType(vtCurrency), Int(v.Raw()) {}
  TVarRec(const Variant& v);  // by the variant's type; Null and Empty as ""

  Kind VType;
  std::int64_t Int = 0;  // integers, Booleans, Currency (its raw ten-thousandths)
  double Float = 0;
  std::string Text;
  const void* Pointer = nullptr;
};

// Format with the class library's directives:
//   "%" [index ":"] ["-"] [width] ["." precision] type
// type d (integer; precision = minimum digits), u (unsigned), x (hexadecimal,
// upper case), e (scientific; precision = digits, 15 by default), f (fixed;
// precision = decimals, 2 by default), g (general, 15 digits), n (as f with
// thousand separators), m (money; CurrencyDecimals by default), p (pointer),
// s (text; precision = most characters). Width and precision may be "*" to take
// them from the arguments, "%%" is a percent sign, "%1:s" picks an argument by
// index (following ones continue from it). A directive that does not match its
// argument raises EConvertError "Format '<format>' invalid or incompatible with
// argument"; a missing argument "No argument for format '<format>'".
std::string Format(std::string_view format, std::initializer_list<TVarRec> args,
                   const TFormatSettings& fs = FormatSettings);
// The same with arguments gathered at run time.
std::string Format(std::string_view format, const std::vector<TVarRec>& args,
                   const TFormatSettings& fs = FormatSettings);

// An exception built from a format, as in  throw CreateFmt<EDatabaseError>("%s", {name});
template <class E>
E CreateFmt(std::string_view format, std::initializer_list<TVarRec> args) {
  return E(Format(format, args));
}

// ---- floating point ------------------------------------------------------------

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// General format with 15 significant digits.
std::string FloatToStr(double value, const TFormatSettings& fs = FormatSettings);
// precision: significant digits (at most 18); digits: decimals for ffFixed,
// ffNumber and ffCurrency, least exponent digits for ffGeneral and ffExponent.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings);
// Picture formats: "0" digit, "#" optional digit, "." decimal point, "," thousand
// separators, "E+0"/"E-0" scientific, 'text' or "text" literal, and up to three
// sections "positive;negative;zero". An empty format gives the general format.
std::string FormatFloat(std::string_view format, double value,
                        const TFormatSettings& fs = FormatSettings);

// Text with DecimalSeparator and an optional exponent, blanks around allowed.
// StrToFloat raises EConvertError "'<text>' is not a valid floating point value".
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs = FormatSettings);
double StrToFloat(std::string_view s, const TFormatSettings& fs = FormatSettings);
double StrToFloatDef(std::string_view s, double def, const TFormatSettings& fs = FormatSettings);

// ---- integers --------------------------------------------------------------------

std::string IntToStr(std::int64_t value);
namespace classlib_detail {
std::string HexDigits(std::uint64_t bits, int digits);
}
// Upper-case hexadecimal with at least `digits` digits; negative values show
// the two's complement of their own width (IntToHex(-1, 2) of an int is "FFFFFFFF").
template <class T>
  requires std::is_integral_v<T>
std::string IntToHex(T value, int digits) {
  using Unsigned = std::make_unsigned_t<T>;
  return classlib_detail::HexDigits(std::uint64_t(Unsigned(value)), digits);
}
// Decimal, or hexadecimal after "$" or "0x"; blanks around allowed. StrToInt
// raises EConvertError "'<text>' is not a valid integer value" (also out of range).
bool TryStrToInt(std::string_view s, int& value);
bool TryStrToInt64(std::string_view s, std::int64_t& value);
int StrToInt(std::string_view s);
int StrToIntDef(std::string_view s, int def);
std::int64_t StrToInt64(std::string_view s);
std::int64_t StrToInt64Def(std::string_view s, std::int64_t def);

// ---- currency --------------------------------------------------------------------

std::string CurrToStr(Currency value, const TFormatSettings& fs = FormatSettings);
std::string CurrToStrF(Currency value, TFloatFormat format, int digits,
                       const TFormatSettings& fs = FormatSettings);
std::string FormatCurr(std::string_view format, Currency value,
                       const TFormatSettings& fs = FormatSettings);
// Exact decimal text (rounded to four places half to even); raises EConvertError
// "'<text>' is not a valid floating point value".
bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs = FormatSettings);
Currency StrToCurr(std::string_view s, const TFormatSettings& fs = FormatSettings);
Currency StrToCurrDef(std::string_view s, Currency def, const TFormatSettings& fs = FormatSettings);

// Booleans as "True"/"False" (or "-1"/"0" when useBoolStrs is false).
std::string BoolToStr(bool value, bool useBoolStrs = false);
// "True"/"False" in any case, or a number (non-zero is true).
bool TryStrToBool(std::string_view s, bool& value);
bool StrToBool(std::string_view s);  // EConvertError "'<text>' is not a valid boolean value"
