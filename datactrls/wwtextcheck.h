#pragma once
// Text checks for dates, times, date-times, integers and floats, and the part of
// a date or time text under an edit cursor. They follow the class library's
// format settings (date order, separators, month abbreviations, AM/PM strings,
// decimal separator).

#include <string_view>

#include "platform/classlib/core/formatsettings.h"

bool wwIsValidDateText(std::string_view text, const TFormatSettings& fs = FormatSettings);
bool wwIsValidTimeText(std::string_view text, const TFormatSettings& fs = FormatSettings);
// A date followed by a time.
bool wwIsValidDateTimeText(std::string_view text, const TFormatSettings& fs = FormatSettings);
// Empty, or digits with an optional leading "-" that has more after it.
bool wwIsValidIntegerText(std::string_view text);
// Empty, or its first 63 characters convert as a floating-point number.
bool wwIsValidFloatText(std::string_view text, const TFormatSettings& fs = FormatSettings);

// The order of a short date format: 0 month first, 1 day first, 2 year first
// (the first of the letters M, D and Y, without regard to case; month first
// when there is none).
int wwGetDateOrder(std::string_view shortDateFormat);

// Parts of a date or time text.
enum TwwDateTimePart {
  wwdtDay,
  wwdtMonth,
  wwdtYear,
  wwdtHour,
  wwdtMinute,
  wwdtSecond,
  wwdtAMPM,
};
// The part under a cursor (0-based, in characters) in a date, date-time or
// (timeOnly) time text.
TwwDateTimePart wwDateTimePartAt(int cursorPos, std::string_view text, bool timeOnly,
                                 const TFormatSettings& fs = FormatSettings);
TwwDateTimePart wwTimePartAt(int cursorPos, std::string_view text,
                             const TFormatSettings& fs = FormatSettings);
