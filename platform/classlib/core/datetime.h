#pragma once
// TDateTime and its routines.
//
// A TDateTime counts days since 30 December 1899; the fraction is the time of
// day. Before that day the whole part counts back and the fraction still runs
// forward from midnight: -1.25 is 29 December 1899, 06:00.
//
// TDateTime is a thin wrapper around the double so that a Variant built from it
// is a date; it converts to and from double implicitly and does arithmetic as one.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/classlib/core/formatsettings.h"

struct TDateTime {
  double Value = 0;
  constexpr TDateTime() = default;
  constexpr TDateTime(double value) : Value(value) {}  // NOLINT: implicit by design
  constexpr operator double() const { return Value; }
  TDateTime& operator+=(double days) {
    Value += days;
    return *this;
  }
  TDateTime& operator-=(double days) {
    Value -= days;
    return *this;
  }
};

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = HoursPerDay * 60;
constexpr int SecsPerDay = MinsPerDay * 60;
constexpr int MSecsPerDay = SecsPerDay * 1000;
// Days from 1 January of year 1 to 30 December 1899 (the time-stamp day of TDateTime 0
// is DateDelta).
constexpr int DateDelta = 693594;

// Days per month: MonthDays[IsLeapYear(year)][month], month 1..12 ([x][0] unused).
inline constexpr std::array<std::array<std::uint16_t, 13>, 2> MonthDays = {{
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
}};

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);  // 0 for a month out of range

// Years 1 to 9999. The Encode forms raise EConvertError ("Invalid argument to
// date encode" / "... time encode"); the Try forms answer false.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// Date and time parts (rounded to the millisecond); a value outside years
// 1..9999 (or not a number) decodes as all zeros.
void DecodeDate(TDateTime date, std::uint16_t& year, std::uint16_t& month, std::uint16_t& day);
void DecodeTime(TDateTime time, std::uint16_t& hour, std::uint16_t& min, std::uint16_t& sec,
                std::uint16_t& msec);
// DecodeDate plus the day of the week (1 = Sunday); returns IsLeapYear(year).
bool DecodeDateFully(TDateTime date, std::uint16_t& year, std::uint16_t& month,
                     std::uint16_t& day, std::uint16_t& dow);
// Joins a date and a time following the negative-date rule above.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

TDateTime Now();
TDateTime Date();  // today, midnight
TDateTime Time();  // now, without the date
int CurrentYear();

int DayOfWeek(TDateTime date);  // 1 = Sunday ... 7 = Saturday
// Moves by whole months, keeping the time; the day is clipped to the month's end.
TDateTime IncMonth(TDateTime date, int months = 1);

// ---- time stamps ---------------------------------------------------------------

// Time: milliseconds since midnight; Date: days since 1 January of year 1 plus one.
struct TTimeStamp {
  std::int32_t Time = 0;
  std::int32_t Date = 0;
};

TTimeStamp DateTimeToTimeStamp(TDateTime dateTime);
// Raise EConvertError for a time stamp with a day before year 1 or a time outside the day.
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
double TimeStampToMSecs(const TTimeStamp& stamp);
TTimeStamp MSecsToTimeStamp(double msecs);
// TimeStampToDateTime(MSecsToTimeStamp(msecs)) in one step (EConvertError out of range).
TDateTime MSecsToDateTime(double msecs);

// ---- text ------------------------------------------------------------------------

// Formats with the class library's specifiers:
//   c          short date, then long time unless the time is midnight
//   d dd       day;  ddd dddd  day name;  ddddd dddddd  short / long date
//   e ee       year of the era;  g gg  era name
//   m mm       month (minutes right after h/hh);  mmm mmmm  month name
//   yy yyyy    year;  h hh  hour (12-hour when an am/pm specifier follows)
//   n nn       minute;  s ss  second;  z zzz  millisecond
//   t tt       short / long time
//   am/pm a/p  the letters in the case written;  ampm  TimeAMString / TimePMString
//   / :        date / time separator;  'x' "x"  literal text
// Letters are case-insensitive.
std::string FormatDateTime(std::string_view format, TDateTime dateTime,
                           const TFormatSettings& fs = FormatSettings);
std::string DateToStr(TDateTime date, const TFormatSettings& fs = FormatSettings);
std::string TimeToStr(TDateTime time, const TFormatSettings& fs = FormatSettings);
std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings& fs = FormatSettings);

// Parse in the order of ShortDateFormat (day, month, year in its order, with
// DateSeparator or the separator the format itself uses); two numbers give a date
// in the current year; a first number of three or more digits starts a
// year-month-day date; one- and two-digit years follow TwoDigitYearCenturyWindow.
// Times are h:mm[:ss[.zzz]] with an optional AM/PM marker (TimeAMString,
// TimePMString, "AM" or "PM", in any case). Failures raise EConvertError
// "'<text>' is not a valid date" (time / date and time).
// A year written with one or two digits, placed in the century window
// (TwoDigitYearCenturyWindow) as the text-to-date conversions place it.
int ExpandTwoDigitYear(int year, const TFormatSettings& fs = FormatSettings);

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs = FormatSettings);
bool TryStrToDateTime(std::string_view s, TDateTime& value,
                      const TFormatSettings& fs = FormatSettings);
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateDef(std::string_view s, TDateTime def,
                       const TFormatSettings& fs = FormatSettings);
TDateTime StrToTimeDef(std::string_view s, TDateTime def,
                       const TFormatSettings& fs = FormatSettings);
TDateTime StrToDateTimeDef(std::string_view s, TDateTime def,
                           const TFormatSettings& fs = FormatSettings);
