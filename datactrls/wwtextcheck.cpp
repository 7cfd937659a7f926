#include "datactrls/wwtextcheck.h"

#include <string>

#include "datactrls/wwstr.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"

namespace {

// In the numbering of wwGetDateOrder.
enum class DateOrder { MDY, DMY, YMD };

DateOrder DateOrderOf(const TFormatSettings& fs) {
  return static_cast<DateOrder>(wwGetDateOrder(fs.ShortDateFormat));
}

// Reads a text from the front; positions are 0-based byte offsets.
class Scanner {
 public:
  Scanner(std::string_view text, std::size_t pos, const TFormatSettings& fs)
      : s_(text), pos_(pos), fs_(fs) {}

  std::size_t Pos() const { return pos_; }
  bool AtEnd() const { return pos_ >= s_.size(); }
  void SkipBlanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  bool Take(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // Decimal digits while the value is below 1000; with allowMonth, a month
  // abbreviation in their place. `digits` is 0 for a month name.
  bool Number(int& value, int& digits, bool allowMonth) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && value < 1000) {
      value = value * 10 + (s_[pos_] - '0');
      ++pos_;
      ++digits;
    }
    if (digits > 0) return true;
    return allowMonth && MonthName(value);
  }
  // The locale's month abbreviation (its first three characters) at the front,
  // in any case.
  bool MonthName(int& month) {
    const std::string front = Utf8Copy(s_.substr(pos_), 1, 3);
    if (Utf8Length(front) < 3) return false;
    for (int m = 0; m < 12; ++m) {
      if (AnsiSameText(Utf8Copy(fs_.ShortMonthNames[static_cast<std::size_t>(m)], 1, 3), front)) {
        month = m + 1;
        pos_ += front.size();
        return true;
      }
    }
    return false;
  }
  // A marker at the front, compared without regard to case (the text's case
  // of it may be longer or shorter than the marker).
  bool Marker(std::string_view marker) {
    const std::size_t length = AnsiStartsTextLength(marker, s_.substr(pos_));
    pos_ += length;
    return length > 0;
  }

 private:
  std::string_view s_;
  std::size_t pos_;
  const TFormatSettings& fs_;
};

bool ScanDate(Scanner& in, const TFormatSettings& fs, TDateTime& date) {
  const DateOrder order = DateOrderOf(fs);
  int n1, n2, n3, d1, d2, d3;
  if (!in.Number(n1, d1, true) || !in.Take(fs.DateSeparator) || !in.Number(n2, d2, true))
    return false;
  int year, month, day;
  if (in.Take(fs.DateSeparator)) {
    if (!in.Number(n3, d3, true)) return false;
    int yearDigits;
    switch (order) {
      case DateOrder::MDY: year = n3; month = n1; day = n2; yearDigits = d3; break;
      case DateOrder::DMY: year = n3; month = n2; day = n1; yearDigits = d3; break;
      default: year = n1; month = n2; day = n3; yearDigits = d1; break;
    }
    if (yearDigits > 0 && yearDigits <= 2) year = ExpandTwoDigitYear(year, fs);
  } else {
    year = CurrentYear();
    month = n1;
    day = n2;
    if (order == DateOrder::DMY) std::swap(month, day);
  }
  in.SkipBlanks();
  return TryEncodeDate(year, month, day, date);
}

bool ScanTime(Scanner& in, const TFormatSettings& fs, TDateTime& time) {
  int h, m, s = 0, digits;
  if (!in.Number(h, digits, false) || !in.Take(fs.TimeSeparator) ||
      !in.Number(m, digits, false))
    return false;
  if (in.Take(fs.TimeSeparator) && !in.Number(s, digits, false)) return false;
  in.SkipBlanks();
  int offset = -1;
  if (in.Marker(fs.TimeAMString) || in.Marker("AM"))
    offset = 0;
  else if (in.Marker(fs.TimePMString) || in.Marker("PM"))
    offset = 12;
  if (offset >= 0) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
    h += offset;
  }
  in.SkipBlanks();
  if (h >= 24 || m >= 60 || s >= 60) return false;
  time = ((h * 60.0 + m) * 60000.0 + s * 1000.0) / MSecsPerDay;
  return true;
}

// Counts the pieces of text, split by sep from byte `from` (1-based), whose
// separator stands before the cursor; `afterSecond` gets the 1-based position
// just after the second piece's separator.
int PiecesBeforeCursor(std::string_view text, char sep, int from, int cursor, int& afterSecond) {
  int count = 0;
  int pos = from;
  const std::string delimiter(1, sep);
  std::string token;
  while (pos >= 1 && pos <= static_cast<int>(text.size())) {
    int start = pos;
    wwNextToken(text, delimiter, pos, token);
    if (pos < 0) break;  // the last piece has no separator
    int separatorAt = start - 1 + static_cast<int>(token.size());  // 0-based
    if (separatorAt >= cursor) break;
    ++count;
    if (count == 2) afterSecond = pos;
  }
  return count;
}

TwwDateTimePart TimePartFrom(int cursor, std::string_view text, int from,
                             const TFormatSettings& fs) {
  int afterSecond = 0;
  int pieces = PiecesBeforeCursor(text, fs.TimeSeparator, from, cursor, afterSecond);
  if (pieces == 0) return wwdtHour;
  if (pieces == 1) return wwdtMinute;
  // Seconds take two characters; beyond them stands the AM/PM marker.
  if (pieces == 2 && cursor - (afterSecond - 1) > 2) return wwdtAMPM;
  return wwdtSecond;
}

}  // namespace

bool wwIsValidDateText(std::string_view text, const TFormatSettings& fs) {
  Scanner in(text, 0, fs);
  TDateTime date;
  return ScanDate(in, fs, date) && in.AtEnd();
}

bool wwIsValidTimeText(std::string_view text, const TFormatSettings& fs) {
  Scanner in(text, 0, fs);
  TDateTime time;
  return ScanTime(in, fs, time) && in.AtEnd();
}

bool wwIsValidDateTimeText(std::string_view text, const TFormatSettings& fs) {
  Scanner in(text, 0, fs);
  TDateTime date, time;
  return ScanDate(in, fs, date) && ScanTime(in, fs, time) && in.AtEnd();
}

bool wwIsValidIntegerText(std::string_view text) {
  if (text.empty()) return true;
  std::size_t i = 0;
  if (text[0] == '-') {
    if (text.size() == 1) return false;
    i = 1;
  }
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

bool wwIsValidFloatText(std::string_view text, const TFormatSettings& fs) {
  if (text.empty()) return true;
  double value;
  return TryStrToFloat(Utf8Copy(text, 1, 63), value, fs);
}

namespace {
// Edit cursors count characters; the scanners work on bytes.
int CursorByte(int cursorPos, std::string_view text) {
  return cursorPos <= 0 ? cursorPos
                        : static_cast<int>(Utf8ByteOffset(text, static_cast<std::size_t>(cursorPos)));
}
}  // namespace

int wwGetDateOrder(std::string_view shortDateFormat) {
  for (char c : shortDateFormat) {
    switch (c) {
      case 'm': case 'M': return 0;
      case 'd': case 'D': return 1;
      case 'y': case 'Y': return 2;
      default: break;
    }
  }
  return 0;
}

TwwDateTimePart wwDateTimePartAt(int cursorPos, std::string_view text, bool timeOnly,
                                 const TFormatSettings& fs) {
  cursorPos = CursorByte(cursorPos, text);
  if (timeOnly) return TimePartFrom(cursorPos, text, 1, fs);
  Scanner in(text, 0, fs);
  TDateTime date;
  bool scanned = ScanDate(in, fs, date);
  const int dateEnd = static_cast<int>(in.Pos());  // 0-based: first character after the date
  const bool onBlankBeforeEnd = cursorPos == dateEnd - 1 && cursorPos >= 0 &&
                                cursorPos < static_cast<int>(text.size()) &&
                                text[static_cast<std::size_t>(cursorPos)] == ' ';
  if (!scanned || (cursorPos < dateEnd && !onBlankBeforeEnd)) {
    int unused = 0;
    int piece = PiecesBeforeCursor(text, fs.DateSeparator, 1, cursorPos, unused);
    static constexpr TwwDateTimePart kMDY[] = {wwdtMonth, wwdtDay, wwdtYear};
    static constexpr TwwDateTimePart kDMY[] = {wwdtDay, wwdtMonth, wwdtYear};
    static constexpr TwwDateTimePart kYMD[] = {wwdtYear, wwdtMonth, wwdtDay};
    if (piece > 2) return wwdtDay;
    switch (DateOrderOf(fs)) {
      case DateOrder::MDY: return kMDY[piece];
      case DateOrder::DMY: return kDMY[piece];
      default: return kYMD[piece];
    }
  }
  return TimePartFrom(cursorPos, text, dateEnd + 1, fs);
}

TwwDateTimePart wwTimePartAt(int cursorPos, std::string_view text, const TFormatSettings& fs) {
  if (cursorPos < 0) return wwdtHour;
  return TimePartFrom(CursorByte(cursorPos, text), text, 1, fs);
}
