#include "platform/classlib/core/datetime.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace {

// Time-stamp days of 1 January 0001 and 31 December 9999.
constexpr std::int32_t kFirstDay = 1;
constexpr std::int32_t kLastDay = 3652059;

int DaysBeforeYear(int year) {
  const int y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

int DayOfYearStart(int year, int month) {
  int days = 0;
  for (int m = 1; m < month; ++m) days += MonthDays[IsLeapYear(year)][m];
  return days;
}

// The time stamp of a date-time, or false when it is outside years 1..9999.
bool ToStamp(double value, TTimeStamp& stamp) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return false;
  const long long msecs = std::llround(value * MSecsPerDay);
  const long long days = msecs / MSecsPerDay;  // truncates toward zero
  stamp.Date = std::int32_t(DateDelta + days);
  stamp.Time = std::int32_t(std::llabs(msecs) % MSecsPerDay);
  return stamp.Date >= kFirstDay && stamp.Date <= kLastDay;
}

void DayNumberToDate(std::int32_t dayNumber, int& year, int& month, int& day) {
  constexpr int D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
  int t = dayNumber - 1;
  year = 1;
  year += (t / D400) * 400;
  t %= D400;
  int centuries = t / D100;
  t %= D100;
  if (centuries == 4) centuries = 3, t += D100;  // the last day of a 400-year cycle
  year += centuries * 100;
  year += (t / D4) * 4;
  t %= D4;
  int years = t / D1;
  t %= D1;
  if (years == 4) years = 3, t += D1;  // the last day of a leap cycle
  year += years;
  month = 1;
  const auto& days = MonthDays[IsLeapYear(year)];
  while (t >= days[month]) t -= days[month++];
  day = t + 1;
}

[[noreturn]] void RaiseConvert(std::string_view text, const char* what) {
  throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

// ---- formatting -----------------------------------------------------------------

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (Upper(text[at + i]) != Upper(word[i])) return false;
  return true;
}

// Appends `value` in decimal with zeros before it up to `width` characters,
// straight into `out`: every date shown or exported goes through here.
void AppendPadded(std::string& out, int value, int width) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const int length = int(end - digits);
  if (length < width) out.append(std::size_t(width - length), '0');
  out.append(digits, std::size_t(length));
}

class DateTimeFormatter {
 public:
  DateTimeFormatter(TDateTime value, const TFormatSettings& fs) : fs_(fs) {
    std::uint16_t y, m, d, dow, h, n, s, ms;
    DecodeDateFully(value, y, m, d, dow);
    DecodeTime(value, h, n, s, ms);
    year_ = y, month_ = m, day_ = d, dayOfWeek_ = dow;
    hour_ = h, minute_ = n, second_ = s, msec_ = ms;
  }

  std::string Run(std::string_view format) {
    Append(format, 0);
    return std::move(out_);
  }

 private:
  // Nested formats (c, ddddd, t ...) expand only two levels deep, so a format
  // that names itself cannot loop.
  void AppendNested(const std::string& format, int depth) {
    if (depth < 2) Append(format, depth + 1);
  }

  static bool Uses12HourClock(std::string_view format, std::size_t from) {
    bool quoted = false;
    for (std::size_t i = from; i < format.size(); ++i) {
      const char c = format[i];
      if (c == '\'' || c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == 'a' || c == 'A')) {
        return StartsWithNoCase(format, i, "AM/PM") || StartsWithNoCase(format, i, "A/P") ||
               StartsWithNoCase(format, i, "AMPM");
      } else if (!quoted && (c == 'h' || c == 'H')) {
        return false;
      }
    }
    return false;
  }

  void Append(std::string_view format, int depth) {
    char lastToken = ' ';
    std::size_t i = 0;
    while (i < format.size()) {
      const char raw = format[i];
      char token = Upper(raw);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      std::size_t count = 1;
      const auto takeRun = [&] {
        while (i + count < format.size() && Upper(format[i + count]) == Upper(raw)) ++count;
      };
      switch (token) {
        case 'Y':
          takeRun();
          if (count <= 2)
            AppendPadded(out_, year_ % 100, 2);
          else
            AppendPadded(out_, year_, 4);
          break;
        case 'E':
          takeRun();
          AppendPadded(out_, year_, count >= 2 ? 2 : 1);
          break;
        case 'G':
          takeRun();
          out_ += "AD";
          break;
        case 'M':
          takeRun();
          if (count <= 2)
            AppendPadded(out_, month_, int(count));
          else if (month_ >= 1)  // 0 for a value outside years 1..9999
            out_ += count == 3 ? fs_.ShortMonthNames[month_ - 1] : fs_.LongMonthNames[month_ - 1];
          break;
        case 'D':
          takeRun();
          if (count <= 2)
            AppendPadded(out_, day_, int(count));
          else if (count == 3)
            out_ += fs_.ShortDayNames[dayOfWeek_ - 1];
          else if (count == 4)
            out_ += fs_.LongDayNames[dayOfWeek_ - 1];
          else
            AppendNested(count == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, depth);
          break;
        case 'H': {
          takeRun();
          int hour = hour_;
          if (Uses12HourClock(format, i + count)) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          AppendPadded(out_, hour, count >= 2 ? 2 : 1);
          break;
        }
        case 'N':
          takeRun();
          AppendPadded(out_, minute_, count >= 2 ? 2 : 1);
          break;
        case 'S':
          takeRun();
          AppendPadded(out_, second_, count >= 2 ? 2 : 1);
          break;
        case 'Z':
          takeRun();
          AppendPadded(out_, msec_, count >= 3 ? 3 : 1);
          break;
        case 'T':
          takeRun();
          AppendNested(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, depth);
          break;
        case 'C':
          takeRun();
          AppendNested(fs_.ShortDateFormat, depth);
          if (hour_ != 0 || minute_ != 0 || second_ != 0) {
            out_ += ' ';
            AppendNested(fs_.LongTimeFormat, depth);
          }
          break;
        case 'A': {
          const bool pm = hour_ >= 12;
          if (StartsWithNoCase(format, i, "AMPM")) {
            out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
            count = 4;
          } else if (StartsWithNoCase(format, i, "AM/PM")) {
            out_ += format.substr(pm ? i + 3 : i, 2);  // in the case written
            count = 5;
          } else if (StartsWithNoCase(format, i, "A/P")) {
            out_ += format[pm ? i + 2 : i];
            count = 3;
          } else {
            out_ += raw;
          }
          break;
        }
        case '/':
          out_ += fs_.DateSeparator;
          break;
        case ':':
          out_ += fs_.TimeSeparator;
          break;
        case '\'':
        case '"': {
          const std::size_t close = format.find(raw, i + 1);
          const std::size_t end = close == std::string_view::npos ? format.size() : close;
          out_.append(format.substr(i + 1, end - i - 1));
          count = end - i + (close == std::string_view::npos ? 0 : 1);
          break;
        }
        default:
          out_ += raw;
      }
      i += count;
    }
  }

  const TFormatSettings& fs_;
  std::string out_;
  int year_, month_, day_, dayOfWeek_, hour_, minute_, second_, msec_;
};

// ---- parsing ------------------------------------------------------------------------

enum class DateOrder { MDY, DMY, YMD };

DateOrder DateOrderOf(std::string_view format) {
  bool quoted = false;
  for (char c : format) {
    if (c == '\'' || c == '"') quoted = !quoted;
    if (quoted) continue;
    switch (Upper(c)) {
      case 'D': return DateOrder::DMY;
      case 'Y': return DateOrder::YMD;
      case 'M': return DateOrder::MDY;
      default: break;
    }
  }
  return DateOrder::MDY;
}

// The separator written literally in a date format ("dd.MM.yyyy" gives '.');
// '/' in a format stands for DateSeparator.
char LiteralSeparatorOf(std::string_view format, char dateSeparator) {
  for (char c : format) {
    const char u = Upper(c);
    if ((u >= 'A' && u <= 'Z') || c == ' ' || c == '\'' || c == '"') continue;
    return c == '/' ? dateSeparator : c;
  }
  return dateSeparator;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  std::size_t Position() const { return pos_; }
  void Reset(std::size_t pos) { pos_ = pos; }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }
  // An unsigned number of at most nine digits; `digits` receives their count.
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (++digits > 9) return false;
      value = value * 10 + (text_[pos_++] - '0');
    }
    return digits > 0;
  }
  // One of the given separator characters; `which` receives it.
  bool Separator(std::string_view allowed, char& which) {
    SkipBlanks();
    if (pos_ < text_.size() && allowed.find(text_[pos_]) != std::string_view::npos) {
      which = text_[pos_++];
      return true;
    }
    return false;
  }
  // A word, case-insensitively (Unicode-aware), not followed by a letter.
  bool Word(std::string_view word) {
    SkipBlanks();
    if (word.empty() || pos_ + word.size() > text_.size()) return false;
    if (!AnsiSameText(text_.substr(pos_, word.size()), word)) return false;
    pos_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool ScanDate(Scanner& in, const TFormatSettings& fs, TDateTime& date) {
  const DateOrder order = DateOrderOf(fs.ShortDateFormat);
  std::string separators{fs.DateSeparator, LiteralSeparatorOf(fs.ShortDateFormat, fs.DateSeparator)};
  int n1, l1, n2, l2, n3 = 0, l3 = 0;
  char sep1, sep2;
  if (!in.Number(n1, l1)) return false;
  if (l1 > 2) separators += '-';  // a year first: ISO dates too
  if (!in.Separator(separators, sep1) || !in.Number(n2, l2)) return false;
  const std::size_t afterTwo = in.Position();
  const bool three = in.Separator(std::string_view(&sep1, 1), sep2) && in.Number(n3, l3);
  if (!three) in.Reset(afterTwo);

  int year, month, day, yearDigits = 4;
  if (!three) {
    if (l1 > 2) return false;
    year = CurrentYear();
    if (order == DateOrder::DMY)
      day = n1, month = n2;
    else
      month = n1, day = n2;
  } else if (l1 > 2 || order == DateOrder::YMD) {
    year = n1, month = n2, day = n3, yearDigits = l1;
  } else if (order == DateOrder::DMY) {
    day = n1, month = n2, year = n3, yearDigits = l3;
  } else {
    month = n1, day = n2, year = n3, yearDigits = l3;
  }
  if (yearDigits <= 2) year = ExpandTwoDigitYear(year, fs);
  return TryEncodeDate(year, month, day, date);
}

// AM/PM marker: +1 for PM, -1 for AM, 0 for none.
int ScanAmPm(Scanner& in, const TFormatSettings& fs) {
  if (in.Word(fs.TimeAMString) || in.Word("AM")) return -1;
  if (in.Word(fs.TimePMString) || in.Word("PM")) return 1;
  return 0;
}

bool ScanTime(Scanner& in, const TFormatSettings& fs, TDateTime& time) {
  int ampm = ScanAmPm(in, fs);  // some locales write the marker first
  int hour, digits, minute = 0, second = 0, msec = 0;
  if (!in.Number(hour, digits)) return false;
  const std::string separators{fs.TimeSeparator, ':'};
  char sep;
  bool hasMinutes = false;
  if (in.Separator(separators, sep)) {
    if (!in.Number(minute, digits)) return false;
    hasMinutes = true;
    if (in.Separator(separators, sep)) {
      if (!in.Number(second, digits)) return false;
      const std::string decimal{fs.DecimalSeparator, '.'};
      const std::size_t beforeFraction = in.Position();
      if (in.Separator(decimal, sep)) {
        int fraction;
        if (!in.Number(fraction, digits) || digits > 3) {
          in.Reset(beforeFraction);
          return false;
        }
        msec = fraction * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
      }
    }
  }
  if (ampm == 0) ampm = ScanAmPm(in, fs);
  if (ampm == 0 && !hasMinutes) return false;
  if (ampm != 0) {
    if (hour > 12) return false;
    if (hour == 12) hour = 0;
    if (ampm > 0) hour += 12;
  }
  return TryEncodeTime(hour, minute, second, msec, time);
}

}  // namespace

int ExpandTwoDigitYear(int year, const TFormatSettings& fs) {
  int threshold = CurrentYear() - fs.TwoDigitYearCenturyWindow;
  year += threshold / 100 * 100;
  if (fs.TwoDigitYearCenturyWindow > 0 && year < threshold) year += 100;
  return year;
}


// ---- calendar ---------------------------------------------------------------------

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  return month >= 1 && month <= 12 ? MonthDays[IsLeapYear(year)][month] : 0;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInAMonth(year, month))
    return false;
  date = double(DaysBeforeYear(year) + DayOfYearStart(year, month) + day - DateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError("Invalid argument to date encode");
  return date;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 ||
      msec >= 1000)
    return false;
  time = double(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime time;
  if (!TryEncodeTime(hour, min, sec, msec, time))
    throw EConvertError("Invalid argument to time encode");
  return time;
}

void DecodeDate(TDateTime date, std::uint16_t& year, std::uint16_t& month, std::uint16_t& day) {
  TTimeStamp stamp;
  if (!ToStamp(date, stamp)) {
    year = month = day = 0;
    return;
  }
  int y, m, d;
  DayNumberToDate(stamp.Date, y, m, d);
  year = std::uint16_t(y), month = std::uint16_t(m), day = std::uint16_t(d);
}

void DecodeTime(TDateTime time, std::uint16_t& hour, std::uint16_t& min, std::uint16_t& sec,
                std::uint16_t& msec) {
  TTimeStamp stamp;
  if (!ToStamp(time, stamp)) {
    hour = min = sec = msec = 0;
    return;
  }
  int t = stamp.Time;
  msec = std::uint16_t(t % 1000), t /= 1000;
  sec = std::uint16_t(t % 60), t /= 60;
  min = std::uint16_t(t % 60), t /= 60;
  hour = std::uint16_t(t);
}

bool DecodeDateFully(TDateTime date, std::uint16_t& year, std::uint16_t& month,
                     std::uint16_t& day, std::uint16_t& dow) {
  DecodeDate(date, year, month, day);
  dow = year == 0 ? 1 : std::uint16_t(DayOfWeek(date));
  return year != 0 && IsLeapYear(year);
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  const double day = std::trunc(date.Value);
  const double fraction = std::fabs(time.Value - std::trunc(time.Value));
  return day < 0 ? day - fraction : day + fraction;
}

TDateTime Now() { return ClockNow(); }

TDateTime Date() { return std::trunc(Now().Value); }

TDateTime Time() {
  const double now = Now();
  return now - std::trunc(now);
}

int CurrentYear() {
  std::uint16_t y, m, d;
  DecodeDate(Date(), y, m, d);
  return y;
}

int DayOfWeek(TDateTime date) {
  TTimeStamp stamp;
  if (!ToStamp(date, stamp)) return 1;
  return stamp.Date % 7 + 1;  // day 1 (1 January 0001) was a Monday
}

TDateTime IncMonth(TDateTime date, int months) {
  std::uint16_t y, m, d;
  DecodeDate(date, y, m, d);
  if (y == 0) return date;
  long long total = (long long)y * 12 + (m - 1) + months;
  int year = int(total / 12), month = int(total % 12) + 1;
  if (year < 1 || year > 9999) throw EConvertError("Invalid argument to date encode");
  const int day = std::min<int>(d, DaysInAMonth(year, month));
  const double fraction = std::fabs(date.Value - std::trunc(date.Value));
  return ComposeDateTime(EncodeDate(year, month, day), fraction);
}

// ---- time stamps ---------------------------------------------------------------

TTimeStamp DateTimeToTimeStamp(TDateTime dateTime) {
  TTimeStamp stamp;
  if (!ToStamp(dateTime, stamp))
    throw EConvertError("'" + std::to_string(dateTime.Value) + "' is not a valid date and time");
  return stamp;
}

namespace {
void ValidateTimeStamp(const TTimeStamp& stamp) {
  if (stamp.Time < 0 || stamp.Time >= MSecsPerDay || stamp.Date <= 0)
    throw EConvertError("'" + std::to_string(stamp.Date) + "." + std::to_string(stamp.Time) +
                        "' is not a valid timestamp");
}
}  // namespace

namespace {
// The date-time of a valid stamp; days before 30 December 1899 count backwards.
TDateTime StampDateTime(const TTimeStamp& stamp) {
  const double day = double(stamp.Date - DateDelta);
  const double fraction = double(stamp.Time) / MSecsPerDay;
  return day < 0 ? day - fraction : day + fraction;
}
}  // namespace

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  ValidateTimeStamp(stamp);
  return StampDateTime(stamp);
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  ValidateTimeStamp(stamp);
  return double(stamp.Date) * MSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
  if (!std::isfinite(msecs) || msecs < MSecsPerDay || msecs >= double(kLastDay + 1) * MSecsPerDay)
    throw EConvertError("'" + std::to_string(msecs) + "' is not a valid timestamp");
  // Within that range msecs + 0.5 is exact (it stays below 2^51), so the
  // truncation rounds half away from zero as llround does, without its call:
  // every date read from a record passes here.
  const long long total = static_cast<long long>(msecs + 0.5);
  TTimeStamp stamp;
  stamp.Date = std::int32_t(total / MSecsPerDay);
  stamp.Time = std::int32_t(total % MSecsPerDay);
  return stamp;
}

// A stamp made from a number of milliseconds in range is valid by its making.
TDateTime MSecsToDateTime(double msecs) { return StampDateTime(MSecsToTimeStamp(msecs)); }

// ---- text ------------------------------------------------------------------------

std::string FormatDateTime(std::string_view format, TDateTime dateTime, const TFormatSettings& fs) {
  return DateTimeFormatter(dateTime, fs).Run(format);
}

std::string DateToStr(TDateTime date, const TFormatSettings& fs) {
  return FormatDateTime("ddddd", date, fs);
}

std::string TimeToStr(TDateTime time, const TFormatSettings& fs) {
  return FormatDateTime("tt", time, fs);
}

std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings& fs) {
  return FormatDateTime("c", dateTime, fs);
}

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  Scanner in(s);
  TDateTime date;
  if (!ScanDate(in, fs, date) || !in.AtEnd()) return false;
  value = date;
  return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  Scanner in(s);
  TDateTime time;
  if (!ScanTime(in, fs, time) || !in.AtEnd()) return false;
  value = time;
  return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
  Scanner in(s);
  TDateTime date, time;
  if (ScanDate(in, fs, date)) {
    if (in.AtEnd()) {
      value = date;
      return true;
    }
    if (ScanTime(in, fs, time) && in.AtEnd()) {
      value = ComposeDateTime(date, time);
      return true;
    }
  }
  return TryStrToTime(s, value, fs);
}

TDateTime StrToDate(std::string_view s, const TFormatSettings& fs) {
  TDateTime value;
  if (!TryStrToDate(s, value, fs)) RaiseConvert(s, "date");
  return value;
}

TDateTime StrToTime(std::string_view s, const TFormatSettings& fs) {
  TDateTime value;
  if (!TryStrToTime(s, value, fs)) RaiseConvert(s, "time");
  return value;
}

TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs) {
  TDateTime value;
  if (!TryStrToDateTime(s, value, fs)) RaiseConvert(s, "date and time");
  return value;
}

TDateTime StrToDateDef(std::string_view s, TDateTime def, const TFormatSettings& fs) {
  TDateTime value;
  return TryStrToDate(s, value, fs) ? value : def;
}

TDateTime StrToTimeDef(std::string_view s, TDateTime def, const TFormatSettings& fs) {
  TDateTime value;
  return TryStrToTime(s, value, fs) ? value : def;
}

TDateTime StrToDateTimeDef(std::string_view s, TDateTime def, const TFormatSettings& fs) {
  TDateTime value;
  return TryStrToDateTime(s, value, fs) ? value : def;
}
