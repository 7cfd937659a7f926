#pragma once
// The format settings that every date, time, number and money text follows.
//
// One global instance, FormatSettings, starts from the user's locale (LC_TIME,
// LC_NUMERIC, LC_MONETARY, LANG as the C library resolves them) and falls back to
// US English where no locale is set. Programs and tests may assign it; the
// routines that format or parse also take a settings object of their own.
//
// Date formats use the class library's letters (d, M/m, y; h, n or m after h, s),
// and '/' and ':' in a format stand for DateSeparator and TimeSeparator.

#include <array>
#include <cstdint>
#include <string>

struct TFormatSettings {
  // Money: CurrencyFormat places the symbol for positive amounts (0 "$1",
  // 1 "1$", 2 "$ 1", 3 "1 $"); NegCurrFormat 0-15 for negative ones
  // (0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-",
  // 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)",
  // 15 "(1 $)").
  std::string CurrencyString = "$";
  std::uint8_t CurrencyFormat = 0;
  std::uint8_t NegCurrFormat = 0;
  char ThousandSeparator = ',';
  char DecimalSeparator = '.';
  std::uint8_t CurrencyDecimals = 2;

  char DateSeparator = '/';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM d, yyyy";
  char TimeSeparator = ':';
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";

  // Index 0 is January / Sunday (the class library counts from 1: use [m - 1]).
  std::array<std::string, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames = {"January", "February", "March",     "April",
                                                "May",     "June",     "July",      "August",
                                                "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};

  // Two-digit years in parsed dates: with a window N > 0 a year lands in the
  // hundred years that start N years before the current year (N = 50 in 2026:
  // 1976 to 2075); 0 puts it in the current century.
  int TwoDigitYearCenturyWindow = 50;

  // US English settings (the defaults above).
  static TFormatSettings English();
  // Settings of the user's locale; US English for any part the locale lacks.
  static TFormatSettings FromUserLocale();
};

// The settings used by every routine not given its own.
extern TFormatSettings FormatSettings;

namespace classlib_detail {
// Turns a C-library date/time pattern (as "%d.%m.%Y" or "%I:%M:%S %p") into the
// class library's letters, with the separator written as '/' or ':'. Returns the
// pattern and sets `separator` to the separator found (unchanged if none).
std::string DateFormatFromPattern(const std::string& pattern, char& separator);
std::string TimeFormatFromPattern(const std::string& pattern, char& separator);
// NegCurrFormat for the C library's monetary placement values.
int NegCurrFormatFor(bool symbolPrecedes, bool spaceSeparates, int signPosition);
}  // namespace classlib_detail
