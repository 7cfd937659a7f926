// Text checks for dates, times and numbers, and the date or time part under a cursor.
#include <gtest/gtest.h>

#include "datactrls/wwtextcheck.h"

namespace {

TFormatSettings MonthDayYear() { return TFormatSettings::English(); }

TFormatSettings DayMonthYear() {
  TFormatSettings fs = TFormatSettings::English();
  fs.ShortDateFormat = "dd.MM.yyyy";
  fs.DateSeparator = '.';
  fs.DecimalSeparator = ',';
  fs.ShortMonthNames = {"Jan", "Feb", "M\u00e4r", "Apr", "Mai", "Jun",
                        "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  return fs;
}

TEST(DateTextCheck, MonthDayYear) {
  const TFormatSettings fs = MonthDayYear();
  EXPECT_TRUE(wwIsValidDateText("12/31/98", fs));
  EXPECT_TRUE(wwIsValidDateText("12/31/1998  ", fs));  // trailing blanks
  EXPECT_FALSE(wwIsValidDateText("2/30/1999", fs));
  EXPECT_TRUE(wwIsValidDateText("12/31", fs));  // current year
  EXPECT_TRUE(wwIsValidDateText("Dec/31/1998", fs));
  EXPECT_TRUE(wwIsValidDateText("dec/31/1998", fs));
  EXPECT_FALSE(wwIsValidDateText("12/31/", fs));
  EXPECT_FALSE(wwIsValidDateText("13/1/2000", fs));
  EXPECT_FALSE(wwIsValidDateText("12/31/98x", fs));
  EXPECT_FALSE(wwIsValidDateText("", fs));
  EXPECT_FALSE(wwIsValidDateText("1/1/10000", fs));
}

TEST(DateTextCheck, TwoDigitYearsFollowTheCenturyWindow) {
  TFormatSettings fs = MonthDayYear();
  // 2000 is a leap year, 1900 was not: the short year must land in 2000.
  fs.TwoDigitYearCenturyWindow = 50;
  EXPECT_TRUE(wwIsValidDateText("2/29/00", fs));
  EXPECT_TRUE(wwIsValidDateText("2/29/1996", fs));
  EXPECT_FALSE(wwIsValidDateText("2/29/1900", fs));
  // Written with four digits the year is taken as it stands.
  EXPECT_FALSE(wwIsValidDateText("2/29/0100", fs));
}

TEST(DateTextCheck, DayMonthYearLocale) {
  const TFormatSettings fs = DayMonthYear();
  EXPECT_TRUE(wwIsValidDateText("31.12.1998", fs));
  EXPECT_FALSE(wwIsValidDateText("12/31/1998", fs));
  EXPECT_FALSE(wwIsValidDateText("12.31.1998", fs));
  EXPECT_TRUE(wwIsValidDateText("31.12", fs));
  EXPECT_TRUE(wwIsValidDateText("1.m\u00e4r.2001", fs));  // abbreviation beyond ASCII
  EXPECT_TRUE(wwIsValidFloatText("1,5", fs));
  EXPECT_FALSE(wwIsValidFloatText("1.5x", fs));
}

TEST(DateTextCheck, YearMonthDayLocale) {
  TFormatSettings fs = MonthDayYear();
  fs.ShortDateFormat = "yyyy-MM-dd";
  fs.DateSeparator = '-';
  EXPECT_TRUE(wwIsValidDateText("1998-12-31", fs));
  EXPECT_FALSE(wwIsValidDateText("1998-31-12", fs));
}

TEST(TimeTextCheck, HoursMinutesSecondsAndMarkers) {
  const TFormatSettings fs = MonthDayYear();
  EXPECT_TRUE(wwIsValidTimeText("10:30 PM", fs));
  EXPECT_TRUE(wwIsValidTimeText("10:30 pm", fs));
  EXPECT_TRUE(wwIsValidTimeText("22:30:59", fs));
  EXPECT_TRUE(wwIsValidTimeText("12:00 AM", fs));
  EXPECT_FALSE(wwIsValidTimeText("13:00 PM", fs));
  EXPECT_FALSE(wwIsValidTimeText("0:10 AM", fs));
  EXPECT_FALSE(wwIsValidTimeText("10:30:", fs));
  EXPECT_FALSE(wwIsValidTimeText("24:00", fs));
  EXPECT_FALSE(wwIsValidTimeText("10:60", fs));
  EXPECT_FALSE(wwIsValidTimeText("10", fs));

  TFormatSettings dotted = fs;
  dotted.TimeSeparator = '.';
  dotted.TimeAMString = "vorm.";
  EXPECT_TRUE(wwIsValidTimeText("10.30 VORM.", dotted));
  EXPECT_TRUE(wwIsValidTimeText("10.30 AM", dotted));  // "AM" is always understood
}

TEST(TimeTextCheck, DateAndTimeTogether) {
  const TFormatSettings fs = MonthDayYear();
  EXPECT_TRUE(wwIsValidDateTimeText("12/31/1998 10:30 PM", fs));
  EXPECT_FALSE(wwIsValidDateTimeText("12/31/1998", fs));
  EXPECT_FALSE(wwIsValidDateTimeText("12/31/1998 25:00", fs));
}

TEST(NumberTextCheck, IntegersAndFloats) {
  EXPECT_TRUE(wwIsValidIntegerText(""));
  EXPECT_TRUE(wwIsValidIntegerText("-12"));
  EXPECT_TRUE(wwIsValidIntegerText("007"));
  EXPECT_FALSE(wwIsValidIntegerText("-"));
  EXPECT_FALSE(wwIsValidIntegerText("1-2"));
  EXPECT_FALSE(wwIsValidIntegerText("+1"));
  EXPECT_FALSE(wwIsValidIntegerText("1 "));

  const TFormatSettings fs = MonthDayYear();
  EXPECT_TRUE(wwIsValidFloatText("", fs));
  EXPECT_TRUE(wwIsValidFloatText("-1.25e3", fs));
  EXPECT_FALSE(wwIsValidFloatText("1,5", fs));
  EXPECT_FALSE(wwIsValidFloatText("abc", fs));
}

TEST(NumberTextCheck, UsesTheGlobalSettingsByDefault) {
  const TFormatSettings saved = FormatSettings;
  FormatSettings = DayMonthYear();
  EXPECT_TRUE(wwIsValidDateText("31.12.1998"));
  EXPECT_TRUE(wwIsValidFloatText("2,5"));
  FormatSettings = saved;
}

TEST(DateTimePart, PartUnderTheCursor) {
  const TFormatSettings fs = MonthDayYear();
  const std::string text = "12/31/1998 10:30:15 PM";
  EXPECT_EQ(wwDateTimePartAt(0, text, false, fs), wwdtMonth);
  EXPECT_EQ(wwDateTimePartAt(2, text, false, fs), wwdtMonth);
  EXPECT_EQ(wwDateTimePartAt(3, text, false, fs), wwdtDay);
  EXPECT_EQ(wwDateTimePartAt(7, text, false, fs), wwdtYear);
  EXPECT_EQ(wwDateTimePartAt(11, text, false, fs), wwdtHour);
  EXPECT_EQ(wwDateTimePartAt(14, text, false, fs), wwdtMinute);
  EXPECT_EQ(wwDateTimePartAt(17, text, false, fs), wwdtSecond);
  EXPECT_EQ(wwDateTimePartAt(21, text, false, fs), wwdtAMPM);

  TFormatSettings dmy = DayMonthYear();
  EXPECT_EQ(wwDateTimePartAt(0, "31.12.1998", false, dmy), wwdtDay);
  EXPECT_EQ(wwDateTimePartAt(4, "31.12.1998", false, dmy), wwdtMonth);
  // The cursor counts characters, not bytes.
  EXPECT_EQ(wwDateTimePartAt(4, "1.m\u00e4r.2001", false, dmy), wwdtMonth);
  EXPECT_EQ(wwDateTimePartAt(6, "1.m\u00e4r.2001", false, dmy), wwdtYear);
  // A text that is no date at all is read as one.
  EXPECT_EQ(wwDateTimePartAt(4, "12/xx", false, fs), wwdtDay);

  EXPECT_EQ(wwTimePartAt(-1, "10:30", fs), wwdtHour);
  EXPECT_EQ(wwTimePartAt(1, "10:30", fs), wwdtHour);
  EXPECT_EQ(wwTimePartAt(4, "10:30", fs), wwdtMinute);
  EXPECT_EQ(wwDateTimePartAt(7, "10:30:15 AM", true, fs), wwdtSecond);
  EXPECT_EQ(wwDateTimePartAt(9, "10:30:15 AM", true, fs), wwdtAMPM);
}

}  // namespace
