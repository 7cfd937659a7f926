#include "platform/dao/readorder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/classlib/core/foldedorder.h"

namespace dao {

namespace {

int Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

// Storage classes in SQLite's order: Null, numbers, texts, blobs.
int ClassOf(const Cell& c) {
  switch (c.kind) {
    case Cell::Null: return 0;
    case Cell::Integer:
    case Cell::Real: return 1;
    case Cell::Text: return 2;
    case Cell::Blob: return 3;
  }
  return 0;
}

int CompareNumbers(const Cell& a, const Cell& b) {
  if (a.kind == Cell::Integer && b.kind == Cell::Integer) return a.integer < b.integer ? -1 : (a.integer > b.integer);
  // An integer beside a real: compared as reals, then (equal as reals) the
  // integer against the real's whole part, which is exact.
  const double x = a.AsReal(), y = b.AsReal();
  if (x != y) return x < y ? -1 : 1;
  if (a.kind == b.kind) return 0;
  const std::int64_t whole = a.kind == Cell::Integer ? a.integer : b.integer;
  const double real = a.kind == Cell::Integer ? b.real : a.real;
  if (real >= 9223372036854775808.0) return a.kind == Cell::Integer ? -1 : 1;
  if (real < -9223372036854775808.0) return a.kind == Cell::Integer ? 1 : -1;
  const auto truncated = static_cast<std::int64_t>(real);
  if (whole == truncated) return 0;
  return (whole < truncated) == (a.kind == Cell::Integer) ? -1 : 1;
}

}  // namespace

std::string TextAsRead(const Cell& value, std::size_t room) {
  std::string_view text;
  std::string digits;
  switch (value.kind) {
    case Cell::Integer:
      digits = std::to_string(value.integer);
      text = digits;
      break;
    case Cell::Text:
    case Cell::Blob: text = value.text; break;
    default: return {};  // no value, or a real number, which a text field reads as nothing
  }
  if (text.size() > room) {
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
  }
  return std::string(text.substr(0, text.find('\0')));
}

int CompareStored(const Cell& a, const Cell& b, bool caseBlind) {
  const int ca = ClassOf(a), cb = ClassOf(b);
  if (ca != cb) return ca < cb ? -1 : 1;
  if (ca == 0) return 0;
  if (ca == 1) return CompareNumbers(a, b);
  if (ca == 2 && caseBlind) return CompareFoldedText(a.text, b.text);
  return Sign(a.text.compare(b.text));
}

int CompareAsRead(const std::vector<Cell>& a, const std::vector<Cell>& b, const std::vector<ReadOrderColumn>& columns,
                  std::size_t count) {
  for (std::size_t i = 0; i < count && i < columns.size(); ++i) {
    const int c = columns[i].text ? CompareFoldedText(TextAsRead(a[i], columns[i].room), TextAsRead(b[i], columns[i].room))
                                  : CompareStored(a[i], b[i]);
    if (c != 0) return columns[i].descending ? -c : c;
  }
  return 0;
}

}  // namespace dao
