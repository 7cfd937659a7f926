#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"

namespace {

class DateTimeTest : public EnglishSettingsTest {
 protected:
  static TFormatSettings German() {
    TFormatSettings fs = TFormatSettings::English();
    fs.DateSeparator = '.';
    fs.ShortDateFormat = "dd/MM/yyyy";
    fs.TimeSeparator = ':';
    fs.LongTimeFormat = "hh:mm:ss";
    fs.ShortTimeFormat = "hh:mm";
    fs.DecimalSeparator = ',';
    return fs;
  }
  static TFormatSettings Iso() {
    TFormatSettings fs = TFormatSettings::English();
    fs.DateSeparator = '-';
    fs.ShortDateFormat = "yyyy-MM-dd";
    fs.LongTimeFormat = "HH:mm:ss";
    return fs;
  }
};

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
  return EncodeDate(y, m, d) + EncodeTime(h, n, s, ms);
}

}  // namespace

TEST_F(DateTimeTest, EncodeAndDecodeAroundTheEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);

  for (TDateTime date : {EncodeDate(1, 1, 1), EncodeDate(1600, 2, 29), EncodeDate(1899, 12, 31),
                         EncodeDate(2000, 2, 29), EncodeDate(2100, 3, 1),
                         EncodeDate(9999, 12, 31)}) {
    std::uint16_t y, m, d;
    DecodeDate(date, y, m, d);
    EXPECT_EQ(EncodeDate(y, m, d), date.Value);
  }
  std::uint16_t y, m, d;
  DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
  EXPECT_EQ(std::tuple(y, m, d), std::tuple(2024, 2, 29));
}

TEST_F(DateTimeTest, InvalidDatesAndTimesAreRefused) {
  TDateTime value;
  // 1900 is a century, not a leap year.
  for (auto [y, m, d, valid] : {std::tuple{2023, 2, 29, false}, {1900, 2, 29, false},
                                {2000, 2, 29, true}, {0, 1, 1, false}, {10000, 1, 1, false},
                                {2020, 13, 1, false}, {2020, 4, 31, false}})
    EXPECT_EQ(TryEncodeDate(y, m, d, value), valid) << y << "-" << m << "-" << d;
  for (auto [h, n, sec, ms] : {std::tuple{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}})
    EXPECT_FALSE(TryEncodeTime(h, n, sec, ms, value)) << h << ":" << n << ":" << sec << "." << ms;
  EXPECT_EQ(MessageOf<EConvertError>([&] { EncodeDate(2023, 2, 29); }),
            "Invalid argument to date encode");
  EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
}

TEST_F(DateTimeTest, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(MonthDays[IsLeapYear(2024)][2], 29);
  EXPECT_EQ(MonthDays[IsLeapYear(2100)][2], 28);
  EXPECT_EQ(DaysInAMonth(2023, 4), 30);
  EXPECT_EQ(DaysInAMonth(2023, 13), 0);
}

TEST_F(DateTimeTest, NegativeDatesKeepTheirTimeForward) {
  const TDateTime value = -1.25;  // 29 Dec 1899, 06:00
  std::uint16_t y, m, d, h, n, s, ms;
  DecodeDate(value, y, m, d);
  DecodeTime(value, h, n, s, ms);
  EXPECT_EQ(std::tuple(y, m, d, h), std::tuple(1899, 12, 29, 6));
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", value), "1899-12-29 06:00");

  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  EXPECT_EQ(stamp.Date, DateDelta - 1);
  EXPECT_EQ(stamp.Time, 6 * 3600 * 1000);
  EXPECT_EQ(TimeStampToDateTime(stamp), -1.25);
}

TEST_F(DateTimeTest, OutOfRangeValuesDecodeAsZeros) {
  std::uint16_t y, m, d, h, n, s, ms;
  for (double bad : {1e12, -1e12, std::nan(""), double(INFINITY)}) {
    DecodeDate(bad, y, m, d);
    DecodeTime(bad, h, n, s, ms);
    EXPECT_EQ(y + m + d + h + n + s + ms, 0) << bad;
  }
}

TEST_F(DateTimeTest, FormattingAValueOutOfRangeDoesNotFail) {
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd mmm mmmm ddd dddd", 1e12), "0000-00-00   Sun Sunday");
  EXPECT_NO_THROW(DateTimeToStr(std::nan("")));
}

TEST_F(DateTimeTest, DecodeRoundsToTheMillisecond) {
  std::uint16_t y, m, d, h, n, s, ms;
  const TDateTime almostMidnight = EncodeDate(2020, 12, 31) + (MSecsPerDay - 0.4) / MSecsPerDay;
  DecodeDate(almostMidnight, y, m, d);
  DecodeTime(almostMidnight, h, n, s, ms);
  // Rounds into the next day, consistently.
  EXPECT_EQ(std::tuple(y, m, d, h, n, s, ms), std::tuple(2021, 1, 1, 0, 0, 0, 0));
  DecodeTime(EncodeTime(13, 14, 15, 999), h, n, s, ms);
  EXPECT_EQ(std::tuple(h, n, s, ms), std::tuple(13, 14, 15, 999));
}

TEST_F(DateTimeTest, DayOfWeekAndIncMonth) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 6, 2)), 1);   // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);      // Monday
  EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31)), EncodeDate(2024, 2, 29));
  EXPECT_EQ(IncMonth(EncodeDate(2023, 1, 31)), EncodeDate(2023, 2, 28));
  EXPECT_EQ(IncMonth(EncodeDate(2024, 3, 15), -3), EncodeDate(2023, 12, 15));
  EXPECT_EQ(IncMonth(EncodeDate(2024, 11, 30), 14), EncodeDate(2026, 1, 30));
  EXPECT_DOUBLE_EQ(IncMonth(At(2024, 1, 10, 12), 1), At(2024, 2, 10, 12));
}

TEST_F(DateTimeTest, TimeStamps) {
  const TTimeStamp stamp = DateTimeToTimeStamp(At(2000, 1, 1, 0, 0, 1, 500));
  EXPECT_EQ(stamp.Date, DateDelta + 36526);
  EXPECT_EQ(stamp.Time, 1500);
  const double msecs = TimeStampToMSecs(stamp);
  EXPECT_EQ(msecs, double(DateDelta + 36526) * MSecsPerDay + 1500);
  const TTimeStamp back = MSecsToTimeStamp(msecs);
  EXPECT_EQ(back.Date, stamp.Date);
  EXPECT_EQ(back.Time, stamp.Time);
  EXPECT_DOUBLE_EQ(TimeStampToDateTime(back), At(2000, 1, 1, 0, 0, 1, 500));
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);

  EXPECT_THROW(TimeStampToDateTime(TTimeStamp{-1, 5}), EConvertError);
  EXPECT_THROW(TimeStampToDateTime(TTimeStamp{0, 0}), EConvertError);
  EXPECT_THROW(TimeStampToMSecs(TTimeStamp{MSecsPerDay, 5}), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(-5), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(std::nan("")), EConvertError);
}

TEST_F(DateTimeTest, MillisecondsRoundHalfAwayAndConvertInOneStep) {
  const double firstDay = MSecsPerDay;  // 1 January 0001
  const double y1900 = double(DateDelta + 2) * MSecsPerDay;
  const double lastDay = 3652059.0 * MSecsPerDay;  // 31 December 9999
  const double values[] = {
      firstDay, firstDay + 0.5, firstDay + 0.49999999, firstDay + 1.5, firstDay + 2.5,
      y1900 - 0.5, y1900 - 1.5, y1900 + MSecsPerDay - 0.5,  // the last half of a day rounds into the next
      y1900 - 12 * 3600000.0 + 0.25,  // before 1900: days count backwards
      lastDay, lastDay + MSecsPerDay - 1, lastDay + MSecsPerDay - 0.75,
      std::nextafter(y1900 + 0.5, 0.0), std::nextafter(y1900 + 0.5, 1e300),
  };
  for (double ms : values) {
    const long long expected = std::llround(ms);
    const TTimeStamp stamp = MSecsToTimeStamp(ms);
    EXPECT_EQ(stamp.Date, expected / MSecsPerDay) << std::to_string(ms);
    EXPECT_EQ(stamp.Time, expected % MSecsPerDay) << std::to_string(ms);
    EXPECT_EQ(MSecsToDateTime(ms).Value, TimeStampToDateTime(stamp).Value) << std::to_string(ms);
  }
  EXPECT_EQ(MSecsToDateTime(double(DateDelta) * MSecsPerDay - 12 * 3600000.0).Value, -1.5)
      << "noon of 29 December 1899";
  EXPECT_EQ(MSecsToDateTime(y1900 + 1.5).Value, 2.0 + 2.0 / MSecsPerDay);
  for (double bad : {0.0, firstDay - 1, lastDay + MSecsPerDay, std::nan(""), 1.0 / 0.0})
    EXPECT_THROW(MSecsToDateTime(bad), EConvertError) << std::to_string(bad);
}

TEST_F(DateTimeTest, NowDateAndTimeAgree) {
  const TDateTime now = Now();
  const TDateTime today = Date();
  EXPECT_EQ(today, std::trunc(today.Value));
  EXPECT_LE(today, now);
  EXPECT_LT(now - today, 1.0 + 1e-6);
  EXPECT_GE(Time(), 0.0);
  EXPECT_LT(Time(), 1.0);
  EXPECT_GE(CurrentYear(), 2024);
}

TEST_F(DateTimeTest, FormatDateTimeSpecifiers) {
  const TDateTime t = At(2024, 3, 5, 14, 7, 9, 45);  // Tuesday
  const std::pair<const char*, const char*> formats[] = {
      {"d dd ddd dddd", "5 05 Tue Tuesday"}, {"m mm mmm mmmm", "3 03 Mar March"},
      {"yy yyyy", "24 2024"}, {"h:n:s", "14:7:9"}, {"hh:nn:ss.zzz z", "14:07:09.045 45"},
      {"hh:mm", "14:07"},  // m after h is minutes
      {"h 'at' m", "14 at 7"}, {"mm/dd/yyyy", "03/05/2024"}, {"ddddd", "3/5/2024"},
      {"dddddd", "Tuesday, March 5, 2024"}, {"c", "3/5/2024 2:07:09 PM"},
      {"t | tt", "2:07 PM | 2:07:09 PM"}, {"e ee g", "2024 2024 AD"},
      {"'yyyy' \"mm\" x", "yyyy mm x"}, {"DD-MMM-YYYY", "05-Mar-2024"},
      {"'unterminated", "unterminated"}, {"", ""},
  };
  for (auto [format, text] : formats) EXPECT_EQ(FormatDateTime(format, t), text) << format;
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "3/5/2024");
}

TEST_F(DateTimeTest, FormatAmPmAndTheTwelveHourClock) {
  const TDateTime midnight = EncodeTime(0, 5, 0, 0);
  const TDateTime noon = EncodeTime(12, 0, 0, 0);
  const TDateTime evening = EncodeTime(23, 59, 0, 0);
  EXPECT_EQ(FormatDateTime("h:nn am/pm", midnight), "12:05 am");
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", noon), "12:00 PM");
  EXPECT_EQ(FormatDateTime("h:nn am/PM", evening), "11:59 PM");
  EXPECT_EQ(FormatDateTime("h a/p", evening), "11 p");
  EXPECT_EQ(FormatDateTime("h A/P", midnight), "12 A");
  EXPECT_EQ(FormatDateTime("hh ampm", evening), "11 PM");
  EXPECT_EQ(FormatDateTime("hh", evening), "23");  // 24-hour without a marker
  EXPECT_EQ(FormatDateTime("h 'am/pm'", evening), "23 am/pm");
  EXPECT_EQ(FormatDateTime("h n a", evening), "23 59 a");
  TFormatSettings fs = TFormatSettings::English();
  fs.TimeAMString = "vorm.";
  fs.TimePMString = "nachm.";
  EXPECT_EQ(FormatDateTime("h ampm", evening, fs), "11 nachm.");
}

TEST_F(DateTimeTest, FormatUsesSeparatorsAndNamesOfTheSettings) {
  const TFormatSettings fs = German();
  const TDateTime t = At(2024, 12, 24, 8, 30, 0);
  EXPECT_EQ(DateToStr(t, fs), "24.12.2024");
  EXPECT_EQ(TimeToStr(t, fs), "08:30:00");
  EXPECT_EQ(DateTimeToStr(t, fs), "24.12.2024 08:30:00");
  EXPECT_EQ(FormatDateTime("dd/mm hh:nn", t, fs), "24.12 08:30");
  EXPECT_EQ(DateToStr(t, Iso()), "2024-12-24");
}

TEST_F(DateTimeTest, SelfReferringFormatsDoNotLoop) {
  TFormatSettings fs = TFormatSettings::English();
  fs.ShortDateFormat = "ddddd";
  fs.LongTimeFormat = "tt c";
  EXPECT_NO_THROW(FormatDateTime("c", At(2024, 1, 1, 1), fs));
}

TEST_F(DateTimeTest, ParseDatesInTheOrderOfTheShortFormat) {
  EXPECT_EQ(StrToDate("3/5/2024"), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate(" 12/31/1999 "), EncodeDate(1999, 12, 31));
  EXPECT_EQ(StrToDate("2/29/2024"), EncodeDate(2024, 2, 29));
  EXPECT_EQ(StrToDate("2024-03-05"), EncodeDate(2024, 3, 5));  // a year first
  EXPECT_EQ(StrToDate("05.03.2024", German()), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate("5.3.2024", German()), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate("2024-03-05", Iso()), EncodeDate(2024, 3, 5));

  TFormatSettings literal = TFormatSettings::English();
  literal.ShortDateFormat = "dd.MM.yyyy";  // separator written in the format
  EXPECT_EQ(StrToDate("05.03.2024", literal), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate("05/03/2024", literal), EncodeDate(2024, 3, 5));

  const int year = CurrentYear();
  EXPECT_EQ(StrToDate("3/5"), EncodeDate(year, 3, 5));
  EXPECT_EQ(StrToDate("5.3", German()), EncodeDate(year, 3, 5));
}

TEST_F(DateTimeTest, BadDatesRaiseWithTheText) {
  for (const char* bad : {"", "2/30/2024", "2/29/2023", "13/1/2024", "1/2/3/4", "abc", "1-2-2024",
                          "1/2/2024x", "1//2024", "/1/2", "99999999999/1/1"}) {
    TDateTime value = 7;
    EXPECT_FALSE(TryStrToDate(bad, value)) << bad;
    EXPECT_EQ(value, 7.0);
  }
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToDate("2/30/2024"); }),
            "'2/30/2024' is not a valid date");
  EXPECT_EQ(StrToDateDef("nonsense", 42), 42.0);
}

TEST_F(DateTimeTest, TwoDigitYearsFollowTheCenturyWindow) {
  // In mid-2026 the window of a hundred years starts at 1976.
  TTestClock clock(EncodeDate(2026, 6, 15));
  for (auto [yy, year] : {std::pair{0, 2000}, {5, 2005}, {49, 2049}, {50, 2050}, {51, 2051},
                          {75, 2075}, {76, 1976}, {77, 1977}, {99, 1999}}) {
    char text[16];
    std::snprintf(text, sizeof text, "1/2/%02d", yy);
    EXPECT_EQ(StrToDate(text), EncodeDate(year, 1, 2)) << text;
  }
  TFormatSettings fixed = TFormatSettings::English();
  fixed.TwoDigitYearCenturyWindow = 0;  // the current century
  EXPECT_EQ(StrToDate("1/1/99", fixed), EncodeDate(2099, 1, 1));
  EXPECT_EQ(StrToDate("1/1/05", fixed), EncodeDate(2005, 1, 1));
  // Three or four digits are taken as written.
  EXPECT_EQ(StrToDate("1/1/0099"), EncodeDate(99, 1, 1));
}

TEST_F(DateTimeTest, ParseTimesWithAndWithoutAmPm) {
  const std::pair<const char*, TDateTime> times[] = {
      {"13:45", EncodeTime(13, 45, 0, 0)}, {"1:45:30 PM", EncodeTime(13, 45, 30, 0)},
      {"1:45 pm", EncodeTime(13, 45, 0, 0)}, {"12:00 AM", EncodeTime(0, 0, 0, 0)},
      {"12:00 PM", EncodeTime(12, 0, 0, 0)}, {"12:30am", EncodeTime(0, 30, 0, 0)}, {"0:00", 0.0},
      {"23:59:59.5", EncodeTime(23, 59, 59, 500)}, {"23:59:59.125", EncodeTime(23, 59, 59, 125)},
      {"7 PM", EncodeTime(19, 0, 0, 0)}, {"PM 7:15", EncodeTime(19, 15, 0, 0)},
  };
  for (auto [text, time] : times) EXPECT_DOUBLE_EQ(StrToTime(text), time) << text;

  TFormatSettings fs = TFormatSettings::English();
  fs.TimeAMString = "vorm.";
  fs.TimePMString = "nachm.";
  EXPECT_DOUBLE_EQ(StrToTime("7:15 nachm.", fs), EncodeTime(19, 15, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("7:15 PM", fs), EncodeTime(19, 15, 0, 0));

  for (const char* bad : {"24:00", "13:00 PM", "12:60", "7", "7:", "1:2:3:4", "10:00 XM",
                          "1:00:00.1234", "", "noon"}) {
    TDateTime value;
    EXPECT_FALSE(TryStrToTime(bad, value)) << bad;
  }
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToTime("25:00"); }), "'25:00' is not a valid time");
}

TEST_F(DateTimeTest, ParseDateAndTimeTogether) {
  EXPECT_DOUBLE_EQ(StrToDateTime("2/29/2024 11:30 PM"), At(2024, 2, 29, 23, 30));
  EXPECT_DOUBLE_EQ(StrToDateTime("2/29/2024"), EncodeDate(2024, 2, 29));
  EXPECT_DOUBLE_EQ(StrToDateTime("10:15"), EncodeTime(10, 15, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("24.12.2024 08:30:00", German()), At(2024, 12, 24, 8, 30));
  EXPECT_DOUBLE_EQ(StrToDateTime("1899-12-29 06:00", Iso()), -1.25);
  for (const char* bad : {"2/29/2024 25:00", "2/29/2024 x", "x 10:15", "2/30/2024 10:00"}) {
    TDateTime value;
    EXPECT_FALSE(TryStrToDateTime(bad, value)) << bad;
  }
  EXPECT_EQ(MessageOf<EConvertError>([&] { StrToDateTime("2/29/2024 25:00"); }),
            "'2/29/2024 25:00' is not a valid date and time");
}

TEST_F(DateTimeTest, TextRoundTripsAcrossFormats) {
  for (const TFormatSettings& fs : {TFormatSettings::English(), German(), Iso()}) {
    for (TDateTime t : {At(2024, 2, 29, 0, 0, 1), At(1999, 12, 31, 23, 59, 59),
                        At(2000, 1, 1, 12, 0, 0), At(1800, 6, 15, 6, 30, 0)}) {
      EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(t, fs), fs), t) << DateTimeToStr(t, fs);
    }
  }
}

TEST_F(DateTimeTest, LocalePatternsTranslateToFormatLetters) {
  struct Case {
    bool date;
    const char* pattern;
    const char* format;
    char separator;  // '?' where the pattern names none
  };
  for (const Case& c : {Case{true, "%d.%m.%Y", "dd/MM/yyyy", '.'},
                        Case{true, "%m/%d/%y", "MM/dd/yy", '/'},
                        Case{true, "%F", "yyyy/MM/dd", '-'},
                        Case{false, "%I:%M:%S %p", "hh:mm:ss AMPM", ':'},
                        Case{false, "%T", "hh:mm:ss", ':'},
                        Case{false, "%H.%M.%S", "hh:mm:ss", '.'}}) {
    char sep = '?';
    EXPECT_EQ(c.date ? classlib_detail::DateFormatFromPattern(c.pattern, sep)
                     : classlib_detail::TimeFormatFromPattern(c.pattern, sep),
              c.format);
    EXPECT_EQ(sep, c.separator) << c.pattern;
  }
  char sep = '?';
  EXPECT_EQ(classlib_detail::DateFormatFromPattern("%-d/%-m/%Y", sep), "d/M/yyyy");

  EXPECT_EQ(classlib_detail::NegCurrFormatFor(true, false, 1), 1);    // -$1
  EXPECT_EQ(classlib_detail::NegCurrFormatFor(false, true, 1), 8);    // -1 $
  EXPECT_EQ(classlib_detail::NegCurrFormatFor(true, false, 0), 0);    // ($1)
  EXPECT_EQ(classlib_detail::NegCurrFormatFor(true, true, 4), 12);    // $ -1
}

TEST_F(DateTimeTest, UserLocaleFallsBackToEnglish) {
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  const TFormatSettings fs = TFormatSettings::FromUserLocale();
  EXPECT_EQ(fs.ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(fs.DecimalSeparator, '.');
  EXPECT_EQ(fs.LongMonthNames[0], "January");
  setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // not installed
  EXPECT_EQ(TFormatSettings::FromUserLocale().ShortDateFormat, "M/d/yyyy");
  if (saved)
    setenv("LC_ALL", keep.c_str(), 1);
  else
    unsetenv("LC_ALL");
}
