#include "platform/classlib/core/formatsettings.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace classlib_detail {
namespace {

bool IsSeparatorChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x80 && u > ' ' && !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                   (c >= '0' && c <= '9') || c == '%');
}

// Walks a C-library pattern, mapping each conversion through `convert` and each
// separator to `written` (remembering the first one found in `separator`).
template <class Convert>
std::string TranslatePattern(const std::string& pattern, char& separator, char written,
                             Convert convert) {
  std::string out;
  bool separatorSeen = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      bool unpadded = false;
      ++i;
      while (i < pattern.size() && std::strchr("-_0^#EO", pattern[i])) {
        if (pattern[i] == '-') unpadded = true;
        ++i;
      }
      if (i < pattern.size()) out += convert(pattern[i], unpadded, separator, separatorSeen);
    } else if (IsSeparatorChar(c)) {
      if (!separatorSeen) separator = c, separatorSeen = true;
      out += c == separator ? written : c;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string DateFormatFromPattern(const std::string& pattern, char& separator) {
  return TranslatePattern(
      pattern, separator, '/',
      [](char conversion, bool unpadded, char& sep, bool& seen) -> std::string {
        switch (conversion) {
          case 'd': return unpadded ? "d" : "dd";
          case 'e': return "d";
          case 'm': return unpadded ? "M" : "MM";
          case 'y': return "yy";
          case 'Y': return "yyyy";
          case 'b':
          case 'h': return "MMM";
          case 'B': return "MMMM";
          case 'a': return "ddd";
          case 'A': return "dddd";
          case 'D':
            if (!seen) sep = '/', seen = true;
            return "MM/dd/yy";
          case 'F':
            if (!seen) sep = '-', seen = true;
            return sep == '-' ? "yyyy/MM/dd" : "yyyy-MM-dd";
          default: return {};
        }
      });
}

std::string TimeFormatFromPattern(const std::string& pattern, char& separator) {
  return TranslatePattern(
      pattern, separator, ':',
      [](char conversion, bool unpadded, char& sep, bool& seen) -> std::string {
        const auto colon = [&] {
          if (!seen) sep = ':', seen = true;
          return std::string(":");
        };
        switch (conversion) {
          case 'H':
          case 'I': return unpadded ? "h" : "hh";
          case 'k':
          case 'l': return "h";
          case 'M': return "mm";
          case 'S': return "ss";
          case 'p':
          case 'P': return "AMPM";
          case 'R': return "hh" + colon() + "mm";
          case 'T': return "hh" + colon() + "mm" + colon() + "ss";
          case 'r': return "hh" + colon() + "mm" + colon() + "ss AMPM";
          default: return {};
        }
      });
}

int NegCurrFormatFor(bool symbolPrecedes, bool spaceSeparates, int signPosition) {
  // Rows: sign position 0 (parentheses) to 4 (right after the symbol).
  static constexpr int kPrecedes[5] = {0, 1, 3, 1, 2};
  static constexpr int kPrecedesSpaced[5] = {14, 9, 11, 9, 12};
  static constexpr int kFollows[5] = {4, 5, 7, 6, 7};
  static constexpr int kFollowsSpaced[5] = {15, 8, 10, 13, 10};
  if (signPosition < 0 || signPosition > 4) signPosition = 1;
  if (symbolPrecedes)
    return spaceSeparates ? kPrecedesSpaced[signPosition] : kPrecedes[signPosition];
  return spaceSeparates ? kFollowsSpaced[signPosition] : kFollows[signPosition];
}

}  // namespace classlib_detail

namespace {

// The locale name the C library would use for a category, from the environment.
std::string LocaleNameFor(const char* category) {
  for (const char* name : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return {};
}

bool IsPlainCLocale(const std::string& name) {
  return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// Opens the user's locale for one category, or returns nullptr where there is
// none (plain C locale, or a locale that is not installed).
locale_t OpenUserLocale(int mask, const char* category) {
  if (IsPlainCLocale(LocaleNameFor(category))) return nullptr;
  return newlocale(mask, "", nullptr);
}

std::string Info(nl_item item, locale_t loc) {
  const char* text = nl_langinfo_l(item, loc);
  return text ? text : "";
}

int InfoNumber(nl_item item, locale_t loc) {
  const char* text = nl_langinfo_l(item, loc);
  return text ? static_cast<unsigned char>(text[0]) : CHAR_MAX;
}

// A one-byte separator from locale text; multi-byte blanks become a blank.
bool SingleByte(const std::string& text, char& out) {
  if (text.size() == 1) {
    out = text[0];
    return true;
  }
  if (!text.empty()) {
    out = ' ';
    return true;
  }
  return false;
}

std::string WithoutSeconds(std::string format) {
  const std::size_t at = format.find(":ss");
  if (at != std::string::npos) format.erase(at, 3);
  return format;
}

void ReadTime(TFormatSettings& fs, locale_t loc) {
  char dateSeparator = fs.DateSeparator;
  const std::string shortDate =
      classlib_detail::DateFormatFromPattern(Info(D_FMT, loc), dateSeparator);
  if (!shortDate.empty()) {
    fs.ShortDateFormat = shortDate;
    fs.DateSeparator = dateSeparator;
    // The locale has no long date pattern of this kind; build one in its order.
    const std::size_t d = shortDate.find_first_of("dD");
    const std::size_t m = shortDate.find_first_of("mM");
    const std::size_t y = shortDate.find_first_of("yY");
    if (y < m && m < d)
      fs.LongDateFormat = "yyyy MMMM d, dddd";
    else if (d < m)
      fs.LongDateFormat = "dddd, d MMMM yyyy";
    else
      fs.LongDateFormat = "dddd, MMMM d, yyyy";
  }
  char timeSeparator = fs.TimeSeparator;
  const std::string longTime =
      classlib_detail::TimeFormatFromPattern(Info(T_FMT, loc), timeSeparator);
  if (!longTime.empty()) {
    fs.LongTimeFormat = longTime;
    fs.ShortTimeFormat = WithoutSeconds(longTime);
    fs.TimeSeparator = timeSeparator;
  }
  if (const std::string am = Info(AM_STR, loc); !am.empty()) fs.TimeAMString = am;
  if (const std::string pm = Info(PM_STR, loc); !pm.empty()) fs.TimePMString = pm;
  for (int i = 0; i < 12; ++i) {
    if (auto s = Info(nl_item(ABMON_1 + i), loc); !s.empty()) fs.ShortMonthNames[i] = s;
    if (auto s = Info(nl_item(MON_1 + i), loc); !s.empty()) fs.LongMonthNames[i] = s;
  }
  for (int i = 0; i < 7; ++i) {
    if (auto s = Info(nl_item(ABDAY_1 + i), loc); !s.empty()) fs.ShortDayNames[i] = s;
    if (auto s = Info(nl_item(DAY_1 + i), loc); !s.empty()) fs.LongDayNames[i] = s;
  }
}

void ReadNumeric(TFormatSettings& fs, locale_t loc) {
  SingleByte(Info(RADIXCHAR, loc), fs.DecimalSeparator);
  if (!SingleByte(Info(THOUSEP, loc), fs.ThousandSeparator) ||
      fs.ThousandSeparator == fs.DecimalSeparator)
    fs.ThousandSeparator = fs.DecimalSeparator == ',' ? '.' : ',';
}

void ReadMonetary(TFormatSettings& fs, locale_t loc) {
  if (const std::string symbol = Info(CURRENCY_SYMBOL, loc); !symbol.empty())
    fs.CurrencyString = symbol;
  if (const int digits = InfoNumber(FRAC_DIGITS, loc); digits >= 0 && digits <= 18)
    fs.CurrencyDecimals = std::uint8_t(digits);
  const int precedes = InfoNumber(P_CS_PRECEDES, loc);
  const int spaced = InfoNumber(P_SEP_BY_SPACE, loc);
  if (precedes <= 1 && spaced <= 2)
    fs.CurrencyFormat = std::uint8_t((precedes ? 0 : 1) + (spaced ? 2 : 0));
  const int negPrecedes = InfoNumber(N_CS_PRECEDES, loc);
  const int negSpaced = InfoNumber(N_SEP_BY_SPACE, loc);
  const int signPosition = InfoNumber(N_SIGN_POSN, loc);
  if (negPrecedes <= 1 && negSpaced <= 2 && signPosition <= 4)
    fs.NegCurrFormat = std::uint8_t(
        classlib_detail::NegCurrFormatFor(negPrecedes == 1, negSpaced != 0, signPosition));
}

void ReadCategory(TFormatSettings& fs, int mask, const char* category,
                  void (*read)(TFormatSettings&, locale_t)) {
  if (locale_t loc = OpenUserLocale(mask, category)) {
    read(fs, loc);
    freelocale(loc);
  }
}

}  // namespace

TFormatSettings TFormatSettings::English() { return TFormatSettings(); }

TFormatSettings TFormatSettings::FromUserLocale() {
  TFormatSettings fs = English();
  ReadCategory(fs, LC_TIME_MASK, "LC_TIME", ReadTime);
  ReadCategory(fs, LC_NUMERIC_MASK, "LC_NUMERIC", ReadNumeric);
  ReadCategory(fs, LC_MONETARY_MASK, "LC_MONETARY", ReadMonetary);
  return fs;
}

TFormatSettings FormatSettings = TFormatSettings::FromUserLocale();
