#include "platform/classlib/core/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace {

// ---- decimal digits ----------------------------------------------------------------

// A number as decimal digits: value = 0.Digits x 10^Exponent. Digits carries no
// trailing zeros; empty Digits is zero.
struct Decimal {
  bool Negative = false;
  int Exponent = 0;
  std::string Digits;
  bool Infinite = false;
  bool NotANumber = false;
  bool IsZero() const { return Digits.empty() && !Infinite && !NotANumber; }
};

void StripTrailingZeros(Decimal& d) {
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exponent = 0;
}

// The significant digits of a double as it reads (15 unless more are asked for,
// at most 17), correctly rounded. Later rounding works on these digits, so a
// value that reads 9.995 gives 10.00 and 1.005 gives 1.01.
Decimal DigitsOf(double value, int significant = 15) {
  Decimal d;
  d.Negative = std::signbit(value);
  if (std::isnan(value)) {
    d.NotANumber = true;
    return d;
  }
  if (std::isinf(value)) {
    d.Infinite = true;
    return d;
  }
  value = std::fabs(value);
  if (value == 0) return d;
  int exponent;
  classlib_detail::SignificantDigits(value, std::clamp(significant, 15, 17), d.Digits, exponent);
  d.Exponent = exponent + 1;
  StripTrailingZeros(d);
  return d;
}

Decimal DigitsOf(Currency value) {
  Decimal d;
  const std::int64_t raw = value.Raw();
  d.Negative = raw < 0;
  const std::uint64_t magnitude = d.Negative ? 0 - std::uint64_t(raw) : std::uint64_t(raw);
  if (magnitude == 0) return d;
  d.Digits = std::to_string(magnitude);
  d.Exponent = int(d.Digits.size()) - 4;
  StripTrailingZeros(d);
  return d;
}

// Rounds half away from zero to at most `precision` significant digits and
// `decimals` digits after the point. A result of zero loses its sign.
void RoundDecimal(Decimal& d, int precision, int decimals) {
  if (d.Infinite || d.NotANumber || d.Digits.empty()) {
    if (d.Digits.empty() && !d.Infinite && !d.NotANumber) d.Negative = false;
    return;
  }
  const long long keep = std::min<long long>(precision, (long long)d.Exponent + decimals);
  if (keep < 0) {
    d.Digits.clear();
  } else if (keep < (long long)d.Digits.size()) {
    const bool up = d.Digits[std::size_t(keep)] >= '5';
    d.Digits.resize(std::size_t(keep));
    if (up) {
      while (!d.Digits.empty() && d.Digits.back() == '9') d.Digits.pop_back();
      if (d.Digits.empty()) {
        d.Digits = "1";
        d.Exponent += 1;
      } else {
        d.Digits.back()++;
      }
    }
  }
  StripTrailingZeros(d);
  if (d.Digits.empty()) d.Negative = false;
}

// The digits before the point ("" for none) and after it (with the zeros that
// follow the point), padded to `minDecimals`.
std::string IntegerDigits(const Decimal& d) {
  if (d.Exponent <= 0) return {};
  std::string digits = d.Digits.substr(0, std::size_t(d.Exponent));
  digits.resize(std::size_t(d.Exponent), '0');
  return digits;
}

std::string FractionDigits(const Decimal& d) {
  if (d.Digits.empty()) return {};
  if (d.Exponent >= int(d.Digits.size())) return {};
  if (d.Exponent >= 0) return d.Digits.substr(std::size_t(d.Exponent));
  return std::string(std::size_t(-d.Exponent), '0') + d.Digits;
}

std::string WithThousands(const std::string& digits, char separator) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    out += digits[i];
    const std::size_t remaining = digits.size() - i - 1;
    if (remaining > 0 && remaining % 3 == 0) out += separator;
  }
  return out;
}

std::string Special(const Decimal& d) {
  if (d.NotANumber) return "NAN";
  return d.Negative ? "-INF" : "INF";
}

std::string ExponentText(int exponent, int minDigits, bool alwaysSign) {
  std::string text = std::to_string(std::abs(exponent));
  if (int(text.size()) < minDigits) text.insert(0, std::size_t(minDigits) - text.size(), '0');
  if (exponent < 0) return "-" + text;
  return alwaysSign ? "+" + text : text;
}

// The mantissa d.ddd of a rounded decimal with `count` digits shown (trailing
// zeros added), or as many as it has when count is 0.
std::string Mantissa(const Decimal& d, std::size_t count, char decimalSeparator) {
  std::string digits = d.Digits.empty() ? "0" : d.Digits;
  if (count > 0) digits.resize(count, '0');
  std::string out(1, digits[0]);
  if (digits.size() > 1) out += decimalSeparator + digits.substr(1);
  return out;
}

const char* kNegativeCurrencyPatterns[16] = {
    "($1)", "-$1", "$-1", "$1-", "(1$)", "-1$", "1-$", "1$-",
    "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)",
};
const char* kPositiveCurrencyPatterns[4] = {"$1", "1$", "$ 1", "1 $"};

std::string ApplyCurrencyPattern(const char* pattern, const std::string& number,
                                 const TFormatSettings& fs) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '$')
      out += fs.CurrencyString;
    else if (*p == '1')
      out += number;
    else
      out += *p;
  }
  return out;
}

// Renders a decimal (not yet rounded) in one of the float formats.
std::string RenderFloat(Decimal d, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  if (d.Infinite || d.NotANumber) return Special(d);
  precision = std::clamp(precision, 1, 19);
  const Decimal unrounded = d;
  switch (format) {
    case ffExponent: {
      RoundDecimal(d, precision, 9999);
      const int exponent = d.Digits.empty() ? 0 : d.Exponent - 1;
      return (d.Negative ? "-" : "") + Mantissa(d, std::size_t(precision), fs.DecimalSeparator) +
             "E" + ExponentText(exponent, std::clamp(digits, 0, 4), true);
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      digits = std::clamp(digits, 0, 18);
      RoundDecimal(d, precision, digits);
      if (d.Exponent > precision) return RenderFloat(unrounded, ffGeneral, precision, 0, fs);
      std::string integer = IntegerDigits(d);
      if (integer.empty()) integer = "0";
      if (format != ffFixed) integer = WithThousands(integer, fs.ThousandSeparator);
      std::string number = integer;
      if (digits > 0) {
        std::string fraction = FractionDigits(d);
        fraction.resize(std::size_t(digits), '0');
        number += fs.DecimalSeparator + fraction;
      }
      if (format != ffCurrency) return (d.Negative ? "-" : "") + number;
      return ApplyCurrencyPattern(d.Negative
                                      ? kNegativeCurrencyPatterns[fs.NegCurrFormat % 16]
                                      : kPositiveCurrencyPatterns[fs.CurrencyFormat % 4],
                                  number, fs);
    }
    case ffGeneral:
    default: {
      RoundDecimal(d, precision, 9999);
      if (d.Digits.empty()) return "0";
      const std::string sign = d.Negative ? "-" : "";
      if (d.Exponent > precision || d.Exponent < -3)
        return sign + Mantissa(d, 0, fs.DecimalSeparator) + "E" +
               ExponentText(d.Exponent - 1, std::clamp(digits, 0, 4), false);
      std::string integer = IntegerDigits(d);
      if (integer.empty()) integer = "0";
      const std::string fraction = FractionDigits(d);
      return sign + integer + (fraction.empty() ? "" : fs.DecimalSeparator + fraction);
    }
  }
}

// ---- picture formats -------------------------------------------------------------

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';' && sections.size() < 2) {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

struct Picture {
  int integerPlaces = 0;   // digit placeholders before the point
  int minInteger = 0;      // of which are '0' from the first '0' on
  int decimalPlaces = 0;   // placeholders after the point
  int minDecimals = 0;     // up to the last '0' after the point
  bool thousands = false;
  bool scientific = false;
};

// True when an exponent marker ("E+0", "e-00") starts at i; `zeros` receives
// the number of exponent digits.
bool ExponentAt(std::string_view s, std::size_t i, int& zeros) {
  if (i + 2 >= s.size() || (s[i] != 'E' && s[i] != 'e') || (s[i + 1] != '+' && s[i + 1] != '-'))
    return false;
  zeros = 0;
  for (std::size_t j = i + 2; j < s.size() && s[j] == '0'; ++j) ++zeros;
  return zeros > 0;
}

Picture Analyse(std::string_view section) {
  Picture p;
  bool point = false;
  int firstZero = -1;
  char quote = 0;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    int zeros;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '0' || c == '#') {
      if (!point) {
        if (c == '0' && firstZero < 0) firstZero = p.integerPlaces;
        ++p.integerPlaces;
      } else {
        ++p.decimalPlaces;
        if (c == '0') p.minDecimals = p.decimalPlaces;
      }
    } else if (c == '.') {
      point = true;
    } else if (c == ',') {
      if (!point) p.thousands = true;
    } else if (ExponentAt(section, i, zeros)) {
      p.scientific = true;
      break;
    }
  }
  p.minInteger = firstZero < 0 ? 0 : p.integerPlaces - firstZero;
  return p;
}

class PictureWriter {
 public:
  PictureWriter(std::string_view section, const Picture& picture, const Decimal& rounded,
                int exponent, const TFormatSettings& fs)
      : section_(section), picture_(picture), exponent_(exponent), fs_(fs) {
    if (picture.scientific) {
      std::string all = rounded.Digits;
      all.resize(std::size_t(std::max(picture.integerPlaces + picture.decimalPlaces, 1)), '0');
      integer_ = all.substr(0, std::size_t(picture.integerPlaces));
      fraction_ = all.substr(std::size_t(picture.integerPlaces));
      while (int(fraction_.size()) > picture.minDecimals && !fraction_.empty() &&
             fraction_.back() == '0')
        fraction_.pop_back();
    } else {
      integer_ = IntegerDigits(rounded);
      fraction_ = FractionDigits(rounded);
      if (int(fraction_.size()) < picture.minDecimals)
        fraction_.resize(std::size_t(picture.minDecimals), '0');
    }
    if (int(integer_.size()) < picture.minInteger)
      integer_.insert(0, std::size_t(picture.minInteger) - integer_.size(), '0');
  }

  std::string Write() {
    std::size_t i = 0;
    while (i < section_.size()) {
      const char c = section_[i];
      int zeros;
      if (c == '\'' || c == '"') {
        const std::size_t close = section_.find(c, i + 1);
        const std::size_t end = close == std::string_view::npos ? section_.size() : close;
        out_.append(section_.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
      if (c == '0' || c == '#') {
        if (!afterPoint_) {
          IntegerPlaceholder();
        } else {
          FlushIntegerIfNoPlaces();
          if (fractionIndex_ < fraction_.size()) out_ += fraction_[fractionIndex_];
          ++fractionIndex_;
        }
      } else if (c == '.') {
        if (!afterPoint_) {
          FlushIntegerIfNoPlaces();
          afterPoint_ = true;
          if (!fraction_.empty()) out_ += fs_.DecimalSeparator;
        }
      } else if (c == ',') {
        // only switches thousand separators on
      } else if (picture_.scientific && ExponentAt(section_, i, zeros)) {
        FlushIntegerIfNoPlaces();
        out_ += c;
        out_ += ExponentText(exponent_, zeros, section_[i + 1] == '+');
        i += 2 + std::size_t(zeros);
        continue;
      } else {
        out_ += c;
      }
      ++i;
    }
    FlushIntegerIfNoPlaces();
    return std::move(out_);
  }

 private:
  void EmitIntegerDigit(std::size_t k) {
    out_ += integer_[k];
    const std::size_t remaining = integer_.size() - k - 1;
    if (picture_.thousands && remaining > 0 && remaining % 3 == 0) out_ += fs_.ThousandSeparator;
  }

  void IntegerPlaceholder() {
    const std::size_t places = std::size_t(picture_.integerPlaces);
    if (integerIndex_ == 0 && integer_.size() > places)
      for (std::size_t k = 0; k < integer_.size() - places; ++k) EmitIntegerDigit(k);
    const long long fromRight = (long long)places - (long long)integerIndex_;
    const long long k = (long long)integer_.size() - fromRight;
    // Placeholders after an exponent were not counted as places: they have no
    // digit left to show.
    if (k >= 0 && k < (long long)integer_.size()) EmitIntegerDigit(std::size_t(k));
    ++integerIndex_;
  }

  // Without integer placeholders (".00") the integer digits still appear once;
  // a section without any placeholder shows its literal text only.
  void FlushIntegerIfNoPlaces() {
    if (picture_.integerPlaces > 0 || picture_.decimalPlaces == 0 || integerFlushed_) return;
    integerFlushed_ = true;
    for (std::size_t k = 0; k < integer_.size(); ++k) EmitIntegerDigit(k);
  }

  std::string_view section_;
  const Picture& picture_;
  int exponent_;
  const TFormatSettings& fs_;
  std::string integer_, fraction_, out_;
  std::size_t integerIndex_ = 0, fractionIndex_ = 0;
  bool afterPoint_ = false, integerFlushed_ = false;
};

std::string FormatSection(std::string_view section, const Decimal& value, bool& roundedToZero,
                          const TFormatSettings& fs) {
  const Picture picture = Analyse(section);
  Decimal rounded = value;
  int exponent = 0;
  if (picture.scientific) {
    RoundDecimal(rounded, std::clamp(picture.integerPlaces + picture.decimalPlaces, 1, 18), 9999);
    if (!rounded.Digits.empty()) exponent = rounded.Exponent - picture.integerPlaces;
  } else {
    RoundDecimal(rounded, 18, picture.decimalPlaces);
  }
  roundedToZero = rounded.Digits.empty();
  return PictureWriter(section, picture, rounded, exponent, fs).Write();
}

std::string FormatPicture(std::string_view format, const Decimal& value,
                          const TFormatSettings& fs) {
  if (value.Infinite || value.NotANumber) return Special(value);
  if (format.empty()) return RenderFloat(value, ffGeneral, 15, 0, fs);
  const std::vector<std::string_view> sections = SplitSections(format);
  const auto has = [&](std::size_t i) { return sections.size() > i && !sections[i].empty(); };
  bool roundedToZero = false;
  if (value.IsZero() && has(2)) return FormatSection(sections[2], value, roundedToZero, fs);
  if (value.Negative && has(1)) {
    Decimal magnitude = value;
    magnitude.Negative = false;
    std::string text = FormatSection(sections[1], magnitude, roundedToZero, fs);
    if (roundedToZero && has(2)) return FormatSection(sections[2], magnitude, roundedToZero, fs);
    return text;
  }
  std::string text = FormatSection(sections[0], value, roundedToZero, fs);
  if (roundedToZero && has(2)) return FormatSection(sections[2], value, roundedToZero, fs);
  if (value.Negative && !roundedToZero) text.insert(text.begin(), '-');
  return text;
}

// ---- Format ----------------------------------------------------------------------------

class Formatter {
 public:
  Formatter(std::string_view format, const TVarRec* args, std::size_t count,
            const TFormatSettings& fs)
      : format_(format), args_(args), count_(count), fs_(fs) {}

  std::string Run() {
    std::size_t i = 0;
    while (i < format_.size()) {
      const std::size_t percent = format_.find('%', i);
      if (percent == std::string_view::npos) {
        out_.append(format_.substr(i));
        break;
      }
      out_.append(format_.substr(i, percent - i));
      i = Directive(percent + 1);
    }
    return std::move(out_);
  }

 private:
  [[noreturn]] void Invalid() const {
    throw EConvertError("Format '" + std::string(format_) +
                        "' invalid or incompatible with argument");
  }
  [[noreturn]] void Missing() const {
    throw EConvertError("No argument for format '" + std::string(format_) + "'");
  }

  const TVarRec& NextArg() {
    if (next_ >= count_) Missing();
    return args_[next_++];
  }

  // Widths and precisions beyond this are taken for damaged formats.
  static constexpr long long kMaxCount = 1000000;

  // A number or '*' (taken from the arguments); -1 when neither is there.
  long long Count(std::size_t& i) {
    if (i < format_.size() && format_[i] == '*') {
      ++i;
      const TVarRec& arg = NextArg();
      if (arg.VType != TVarRec::vtInteger && arg.VType != TVarRec::vtInt64) Invalid();
      if (arg.Int > kMaxCount || arg.Int < -kMaxCount) Invalid();
      return arg.Int;
    }
    if (i >= format_.size() || format_[i] < '0' || format_[i] > '9') return -1;
    long long value = 0;
    while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
      value = value * 10 + (format_[i++] - '0');
      if (value > kMaxCount) Invalid();
    }
    return value;
  }

  std::size_t Directive(std::size_t i) {
    if (i < format_.size() && format_[i] == '%') {
      out_ += '%';
      return i + 1;
    }
    // [index ":"]
    const std::size_t start = i;
    if (i < format_.size() && format_[i] != '*') {
      const long long index = Count(i);
      if (index >= 0 && i < format_.size() && format_[i] == ':') {
        next_ = std::size_t(index);
        ++i;
      } else {
        i = start;
      }
    } else if (i + 1 < format_.size() && format_[i] == '*' && format_[i + 1] == ':') {
      const long long index = Count(i);
      if (index < 0) Invalid();
      next_ = std::size_t(index);
      ++i;
    }
    bool left = false;
    if (i < format_.size() && format_[i] == '-') left = true, ++i;
    const bool widthFromArgs = i < format_.size() && format_[i] == '*';
    long long width = Count(i);
    if (width < 0 && widthFromArgs) left = true, width = -width;  // as "-" with the size
    if (width < 0) width = 0;
    long long precision = -1;
    if (i < format_.size() && format_[i] == '.') {
      ++i;
      precision = Count(i);
      if (precision < 0) precision = 0;
    }
    if (i >= format_.size()) Invalid();
    const char type = char(format_[i] >= 'a' && format_[i] <= 'z' ? format_[i] - 32 : format_[i]);
    std::string text = Convert(type, NextArg(), precision);
    const std::size_t length = Utf8Length(text);
    if (length < std::size_t(width)) {
      const std::string pad(std::size_t(width) - length, ' ');
      text = left ? text + pad : pad + text;
    }
    out_ += text;
    return i + 1;
  }

  std::string Convert(char type, const TVarRec& arg, long long precision) {
    const bool integer = arg.VType == TVarRec::vtInteger || arg.VType == TVarRec::vtInt64;
    const bool number = arg.VType == TVarRec::vtExtended || arg.VType == TVarRec::vtCurrency;
    switch (type) {
      case 'D': {
        if (!integer) Invalid();
        const bool negative = arg.Int < 0;
        std::string digits = negative ? std::to_string(0 - std::uint64_t(arg.Int))
                                      : std::to_string(arg.Int);
        if ((long long)digits.size() < precision)
          digits.insert(0, std::size_t(precision) - digits.size(), '0');
        return negative ? "-" + digits : digits;
      }
      case 'U':
      case 'X': {
        if (!integer) Invalid();
        const std::uint64_t value = arg.VType == TVarRec::vtInteger
                                        ? std::uint64_t(std::uint32_t(arg.Int))
                                        : std::uint64_t(arg.Int);
        std::string digits;
        if (type == 'U') {
          digits = std::to_string(value);
        } else {
          char buffer[32];
          const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
          digits = UpperCase(std::string_view(buffer, std::size_t(end - buffer)));
        }
        if ((long long)digits.size() < precision)
          digits.insert(0, std::size_t(precision) - digits.size(), '0');
        return digits;
      }
      case 'E':
      case 'F':
      case 'G':
      case 'N':
      case 'M': {
        if (!number) Invalid();
        const int p = int(std::min<long long>(precision, 18));
        const Decimal value = arg.VType == TVarRec::vtCurrency
                                  ? DigitsOf(Currency::FromRaw(arg.Int))
                                  : DigitsOf(arg.Float, type == 'E' || type == 'G' ? p : 15);
        switch (type) {
          case 'E': return RenderFloat(value, ffExponent, precision < 0 ? 15 : p, 3, fs_);
          case 'F': return RenderFloat(value, ffFixed, 19, precision < 0 ? 2 : p, fs_);
          case 'G': return RenderFloat(value, ffGeneral, precision < 0 ? 15 : p, 3, fs_);
          case 'N': return RenderFloat(value, ffNumber, 19, precision < 0 ? 2 : p, fs_);
          default:
            return RenderFloat(value, ffCurrency, 19, precision < 0 ? fs_.CurrencyDecimals : p,
                               fs_);
        }
      }
      case 'P': {
        if (arg.VType != TVarRec::vtPointer) Invalid();
        return IntToHex(reinterpret_cast<std::uintptr_t>(arg.Pointer), 16);
      }
      case 'S': {
        if (arg.VType != TVarRec::vtString && arg.VType != TVarRec::vtChar) Invalid();
        if (precision >= 0 && std::size_t(precision) < Utf8Length(arg.Text))
          return Utf8Copy(arg.Text, 1, precision);
        return arg.Text;
      }
      default:
        Invalid();
    }
  }

  std::string_view format_;
  const TVarRec* args_;
  std::size_t count_;
  const TFormatSettings& fs_;
  std::size_t next_ = 0;
  std::string out_;
};

// ---- parsing ---------------------------------------------------------------------------

// Checks the shape "[sign] digits [sep digits] [e [sign] digits]" and rewrites it
// with '.' as the decimal point. Returns false for anything else.
bool NormalizeNumber(std::string_view s, char decimalSeparator, std::string& out,
                     bool& negativeExponent) {
  const std::string text = Trim(s);
  std::size_t i = 0;
  out.clear();
  negativeExponent = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') out += '-';
    ++i;
  }
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++], digits = true;
  if (i < text.size() && text[i] == decimalSeparator) {
    out += '.';
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++], digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    out += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negativeExponent = text[i] == '-';
      out += text[i++];
    }
    bool exponentDigits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') out += text[i++], exponentDigits = true;
    if (!exponentDigits) return false;
  }
  return i == text.size();
}

[[noreturn]] void RaiseInvalidFloat(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
}

[[noreturn]] void RaiseInvalidInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

// Parses an integer; `limit` is the largest magnitude allowed for a positive
// decimal number (negative ones may be one more), `hexLimit` for hexadecimal.
bool ParseInteger(std::string_view s, std::uint64_t limit, std::uint64_t hexLimit,
                  std::uint64_t& magnitude, bool& negative, bool& hex) {
  const std::string text = Trim(s);
  std::size_t i = 0;
  negative = false;
  hex = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  const int base = hex ? 16 : 10;
  const std::uint64_t max = hex ? hexLimit : limit + (negative ? 1 : 0);
  magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    if (magnitude > (max - std::uint64_t(digit)) / std::uint64_t(base)) return false;
    magnitude = magnitude * std::uint64_t(base) + std::uint64_t(digit);
  }
  return true;
}

}  // namespace

// ---- public routines ------------------------------------------------------------------

std::string Format(std::string_view format, std::initializer_list<TVarRec> args,
                   const TFormatSettings& fs) {
  return Formatter(format, args.begin(), args.size(), fs).Run();
}

std::string Format(std::string_view format, const std::vector<TVarRec>& args,
                   const TFormatSettings& fs) {
  return Formatter(format, args.data(), args.size(), fs).Run();
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
  return RenderFloat(DigitsOf(value), ffGeneral, 15, 0, fs);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  return RenderFloat(DigitsOf(value, precision), format, std::min(precision, 18), digits, fs);
}

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
  return FormatPicture(format, DigitsOf(value), fs);
}

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs) {
  std::string text;
  bool negativeExponent;
  if (!NormalizeNumber(s, fs.DecimalSeparator, text, negativeExponent)) return false;
  double result = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error == std::errc::result_out_of_range && negativeExponent) {
    value = 0;  // too small to hold: zero
    return true;
  }
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = result;
  return true;
}

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
  double value;
  if (!TryStrToFloat(s, value, fs)) RaiseInvalidFloat(s);
  return value;
}

double StrToFloatDef(std::string_view s, double def, const TFormatSettings& fs) {
  double value;
  return TryStrToFloat(s, value, fs) ? value : def;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string classlib_detail::HexDigits(std::uint64_t bits, int digits) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, bits, 16).ptr;
  std::string text = UpperCase(std::string_view(buffer, std::size_t(end - buffer)));
  if (int(text.size()) < digits) text.insert(0, std::size_t(digits) - text.size(), '0');
  return text;
}

bool TryStrToInt(std::string_view s, int& value) {
  std::uint64_t magnitude;
  bool negative, hex;
  if (!ParseInteger(s, std::uint64_t(std::numeric_limits<int>::max()), 0xFFFFFFFFu, magnitude,
                    negative, hex))
    return false;
  // Hexadecimal takes all 32 bits: $FFFFFFFF is -1.
  const std::int64_t wide = hex ? std::int64_t(std::int32_t(std::uint32_t(magnitude)))
                                : std::int64_t(magnitude);
  value = int(negative ? -wide : wide);
  return true;
}

bool TryStrToInt64(std::string_view s, std::int64_t& value) {
  std::uint64_t magnitude;
  bool negative, hex;
  if (!ParseInteger(s, std::uint64_t(std::numeric_limits<std::int64_t>::max()),
                    std::numeric_limits<std::uint64_t>::max(), magnitude, negative, hex))
    return false;
  value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
  return true;
}

int StrToInt(std::string_view s) {
  int value;
  if (!TryStrToInt(s, value)) RaiseInvalidInteger(s);
  return value;
}

int StrToIntDef(std::string_view s, int def) {
  int value;
  return TryStrToInt(s, value) ? value : def;
}

std::int64_t StrToInt64(std::string_view s) {
  std::int64_t value;
  if (!TryStrToInt64(s, value)) RaiseInvalidInteger(s);
  return value;
}

std::int64_t StrToInt64Def(std::string_view s, std::int64_t def) {
  std::int64_t value;
  return TryStrToInt64(s, value) ? value : def;
}

std::string CurrToStr(Currency value, const TFormatSettings& fs) {
  return RenderFloat(DigitsOf(value), ffGeneral, 19, 0, fs);
}

std::string CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings& fs) {
  return RenderFloat(DigitsOf(value), format, 19, digits, fs);
}

std::string FormatCurr(std::string_view format, Currency value, const TFormatSettings& fs) {
  return FormatPicture(format, DigitsOf(value), fs);
}

bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs) {
  std::string text;
  bool negativeExponent;
  if (!NormalizeNumber(s, fs.DecimalSeparator, text, negativeExponent)) return false;
  // Exact decimal arithmetic: mantissa digits and a power of ten.
  const bool negative = !text.empty() && text[0] == '-';
  std::string digits;
  int exponent = 0;
  std::size_t i = negative ? 1 : 0;
  bool point = false;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    digits += text[i];
    if (point) --exponent;
  }
  const std::size_t nonZero = digits.find_first_not_of('0');
  if (nonZero == std::string::npos) {
    value = Currency();
    return true;
  }
  if (i < text.size()) {  // the exponent
    const char* first = text.data() + i + 1;
    if (*first == '+') ++first;
    int e = 0;
    const auto result = std::from_chars(first, text.data() + text.size(), e);
    const bool tiny = *first == '-' && (result.ec != std::errc() || e < -100);
    if (tiny) {  // far below a ten-thousandth
      value = Currency();
      return true;
    }
    if (result.ec != std::errc() || e > 100) return false;
    exponent += e;
  }
  return classlib_detail::DecimalToCurrency(std::string_view(digits).substr(nonZero), exponent,
                                            negative, value);
}

Currency StrToCurr(std::string_view s, const TFormatSettings& fs) {
  Currency value;
  if (!TryStrToCurr(s, value, fs)) RaiseInvalidFloat(s);
  return value;
}

Currency StrToCurrDef(std::string_view s, Currency def, const TFormatSettings& fs) {
  Currency value;
  return TryStrToCurr(s, value, fs) ? value : def;
}

std::string BoolToStr(bool value, bool useBoolStrs) {
  if (useBoolStrs) return value ? "True" : "False";
  return value ? "-1" : "0";
}

bool TryStrToBool(std::string_view s, bool& value) {
  const std::string text = Trim(s);
  if (SameText(text, "True")) {
    value = true;
    return true;
  }
  if (SameText(text, "False")) {
    value = false;
    return true;
  }
  double number;
  if (!TryStrToFloat(text, number)) return false;
  value = number != 0;
  return true;
}

bool StrToBool(std::string_view s) {
  bool value;
  if (!TryStrToBool(s, value))
    throw EConvertError("'" + std::string(s) + "' is not a valid boolean value");
  return value;
}
