// Text checks for dates, times and numbers, and the date or time part under a cursor.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

// Names whose letters another case writes in more or fewer bytes.
TFormatSettings Turkish() {
  TFormatSettings fs = DayMonthYear();
  fs.ShortMonthNames = {"Oca", "Şub", "Mar", "Nis", "May", "Haz",
                        "Tem", "Ağu", "Eyl", "Eki", "Kas", "Ara"};
  fs.TimeAMString = "ÖÖ";
  fs.TimePMString = "ÖS";
  return fs;
}

TFormatSettings YearMonthDay() {
  TFormatSettings fs = MonthDayYear();
  fs.ShortDateFormat = "yyyy-MM-dd";
  fs.DateSeparator = '-';
  return fs;
}

// 2000 is a leap year, 1900 was not: a short year must land in 2000.
TFormatSettings CenturyWindow50() {
  TFormatSettings fs = MonthDayYear();
  fs.TwoDigitYearCenturyWindow = 50;
  return fs;
}

TFormatSettings DottedTimes() {
  TFormatSettings fs = MonthDayYear();
  fs.TimeSeparator = '.';
  fs.TimeAMString = "vorm.";
  return fs;
}

enum Check { kDate, kTime, kDateTime, kInteger, kFloat };

// Texts that one check with one set of settings takes (or refuses) alike.
struct TextCase {
  Check check;
  TFormatSettings (*settings)();
  bool valid;
  std::vector<const char*> texts;
};

bool Valid(Check check, const char* text, const TFormatSettings& fs) {
  switch (check) {
    case kDate: return wwIsValidDateText(text, fs);
    case kTime: return wwIsValidTimeText(text, fs);
    case kDateTime: return wwIsValidDateTimeText(text, fs);
    case kInteger: return wwIsValidIntegerText(text);
    case kFloat: return wwIsValidFloatText(text, fs);
  }
  return false;
}

const auto MDY = MonthDayYear;
const auto DMY = DayMonthYear;

// clang-format off
const TextCase kTextCases[] = {
    // Trailing blanks are allowed; a missing year is the current one.
    {kDate, MDY, true, {"12/31/98", "12/31/1998  ", "12/31", "Dec/31/1998", "dec/31/1998"}},
    {kDate, MDY, false, {"2/30/1999", "12/31/", "13/1/2000", "12/31/98x", "", "1/1/10000"}},
    // Written with four digits a year is taken as it stands.
    {kDate, CenturyWindow50, true, {"2/29/00", "2/29/1996"}},
    {kDate, CenturyWindow50, false, {"2/29/1900", "2/29/0100"}},
    {kDate, DMY, true, {"31.12.1998", "31.12", "1.m\u00e4r.2001"}},  // names beyond ASCII
    {kDate, DMY, false, {"12/31/1998", "12.31.1998"}},
    // The Kelvin sign is a "k" of three bytes, the long s an "s" of two.
    {kDate, Turkish, true, {"1.E\u212AI.2001", "1.e\u212Ai", "2.kaſ.2001", "3.AĞU.2001"}},
    {kDate, Turkish, false, {"1.E\u212A.2001", "1.Eki\u212A.2001"}},
    {kDateTime, MDY, true, {"ſep/1/2001 10:30 pm"}},
    {kTime, Turkish, true, {"10:30 öſ", "10:30 ÖS", "10:30 öö", "10:30 AM"}},
    {kTime, Turkish, false, {"10:30 ö", "10:30 öſx"}},
    {kDate, YearMonthDay, true, {"1998-12-31"}},
    {kDate, YearMonthDay, false, {"1998-31-12"}},
    {kTime, MDY, true, {"10:30 PM", "10:30 pm", "22:30:59", "12:00 AM"}},
    {kTime, MDY, false, {"13:00 PM", "0:10 AM", "10:30:", "24:00", "10:60", "10"}},
    {kTime, DottedTimes, true, {"10.30 VORM.", "10.30 AM"}},  // "AM" is always understood
    {kDateTime, MDY, true, {"12/31/1998 10:30 PM"}},
    {kDateTime, MDY, false, {"12/31/1998", "12/31/1998 25:00"}},
    {kInteger, MDY, true, {"", "-12", "007"}},
    {kInteger, MDY, false, {"-", "1-2", "+1", "1 "}},
    {kFloat, MDY, true, {"", "-1.25e3"}},
    {kFloat, MDY, false, {"1,5", "abc"}},
    {kFloat, DMY, true, {"1,5"}},
    {kFloat, DMY, false, {"1.5x"}},
};
// clang-format on

TEST(TextCheck, EveryCase) {
  for (const TextCase& c : kTextCases)
    for (const char* text : c.texts)
      EXPECT_EQ(Valid(c.check, text, c.settings()), c.valid) << c.check << " " << text;
}

TEST(TextCheck, UsesTheGlobalSettingsByDefault) {
  const TFormatSettings saved = FormatSettings;
  FormatSettings = DayMonthYear();
  EXPECT_TRUE(wwIsValidDateText("31.12.1998"));
  EXPECT_TRUE(wwIsValidFloatText("2,5"));
  FormatSettings = saved;
}

// The part under each cursor position of one text.
struct PartCase {
  const char* text;
  bool timeOnly;
  TFormatSettings (*settings)();
  std::vector<std::pair<int, TwwDateTimePart>> parts;
};

// clang-format off
const PartCase kPartCases[] = {
    {"12/31/1998 10:30:15 PM", false, MDY,
     {{0, wwdtMonth}, {2, wwdtMonth}, {3, wwdtDay}, {7, wwdtYear}, {11, wwdtHour},
      {14, wwdtMinute}, {17, wwdtSecond}, {21, wwdtAMPM}}},
    {"31.12.1998", false, DMY, {{0, wwdtDay}, {4, wwdtMonth}}},
    {"1.m\u00e4r.2001", false, DMY, {{4, wwdtMonth}, {6, wwdtYear}}},  // characters, not bytes
    {"12/xx", false, MDY, {{4, wwdtDay}}},  // a text that is no date at all is read as one
    {"10:30:15 AM", true, MDY, {{7, wwdtSecond}, {9, wwdtAMPM}}},
};
// clang-format on

TEST(DateTimePart, PartUnderTheCursor) {
  for (const PartCase& c : kPartCases)
    for (auto [cursor, part] : c.parts)
      EXPECT_EQ(wwDateTimePartAt(cursor, c.text, c.timeOnly, c.settings()), part)
          << c.text << " at " << cursor;
  const TFormatSettings fs = MonthDayYear();
  EXPECT_EQ(wwTimePartAt(-1, "10:30", fs), wwdtHour);
  EXPECT_EQ(wwTimePartAt(1, "10:30", fs), wwdtHour);
  EXPECT_EQ(wwTimePartAt(4, "10:30", fs), wwdtMinute);
}

TEST(DateTimePart, DateOrderIsTheFirstOfMonthDayAndYear) {
  for (auto [format, order] : {std::pair<const char*, int>{"M/d/yyyy", 0}, {"dd.MM.yyyy", 1},
                               {"yyyy-MM-dd", 2}, {"ddd", 1}, {"", 0}, {"--", 0}})
    EXPECT_EQ(wwGetDateOrder(format), order) << format;
}

}  // namespace
