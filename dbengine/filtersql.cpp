#include "dbengine/filtersql.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "dbengine/daowrappers.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/filterblob.h"

namespace {

// Reads the blob with every offset checked; a read out of bounds ends the
// translation with nothing restricted.
class BlobReader {
 public:
  BlobReader(const std::uint8_t* blob, std::size_t size) : blob_(blob), size_(size) {
    ok_ = blob != nullptr && size >= sizeof(TFilterBlobHeader);
    if (ok_) std::memcpy(&header_, blob, sizeof header_);
  }
  bool Ok() const { return ok_; }

  template <class T>
  std::optional<T> Node(std::uint16_t offset) const {
    return Read<T>(std::size_t{header_.NodeStart} + offset);
  }
  std::optional<std::string> LiteralText(std::uint16_t offset) const {
    std::size_t at = std::size_t{header_.LiteralStart} + offset;
    if (!ok_ || at >= size_) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(blob_ + at);
    std::size_t length = strnlen(text, size_ - at);
    if (length == size_ - at) return std::nullopt;  // no terminator inside the blob
    return std::string(text, length);
  }
  std::optional<std::string> LiteralBytes(std::uint16_t offset, std::uint16_t count) const {
    std::size_t at = std::size_t{header_.LiteralStart} + offset;
    if (!ok_ || at + count > size_) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(blob_ + at), count);
  }

 private:
  template <class T>
  std::optional<T> Read(std::size_t at) const {
    if (!ok_ || at + sizeof(T) > size_) return std::nullopt;
    T value;
    std::memcpy(&value, blob_ + at, sizeof value);
    return value;
  }

  const std::uint8_t* blob_;
  std::size_t size_;
  bool ok_ = false;
  TFilterBlobHeader header_{};
};

std::string QuotedName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// A column the condition reads. The unary plus keeps SQLite from answering the
// condition through an index: the cursor reads its rows in its own order a
// window at a time, and an index chosen for the condition would have SQLite
// gather and sort every remaining matching row for each window, which grows
// with the square of the rows.
std::string ColumnRef(const std::string& name) { return FilterColumnRef(name); }

std::string QuoteText(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

const char* SqlOperator(std::uint32_t op) {
  switch (op) {
    case filterop::Equal: return "=";
    case filterop::NotEqual: return "<>";
    case filterop::Greater: return ">";
    case filterop::Less: return "<";
    case filterop::GreaterOrEqual: return ">=";
    case filterop::LessOrEqual: return "<=";
    default: return nullptr;
  }
}

// What the engine answers for `c op 0` where c is the sign of the comparison.
bool Holds(std::uint32_t op, int c) {
  switch (op) {
    case filterop::Equal: return c == 0;
    case filterop::NotEqual: return c != 0;
    case filterop::Greater: return c > 0;
    case filterop::Less: return c < 0;
    case filterop::GreaterOrEqual: return c >= 0;
    case filterop::LessOrEqual: return c <= 0;
    default: return false;
  }
}

template <class T>
int Sign(T a, T b) { return a < b ? -1 : (a > b ? 1 : 0); }

// `condition`, widened by the rows whose column is Null when the engine, which
// reads a Null as `nullHolds` tells, accepts those. The Null test comes last:
// a row the condition lets through needs no more.
std::string WithNulls(const std::string& column, const std::string& condition, bool nullHolds) {
  return nullHolds ? "(" + condition + " OR " + column + " IS NULL)" : condition;
}

// A GLOB pattern matching the well-formed `text` character for character,
// in any case when `anyCase`; `prefix` lets anything follow. A pattern reads
// a text as characters up to its first NUL, as the engine reads up to it.
std::string GlobPattern(const std::string& text, bool anyCase, bool prefix) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = Utf8Decode(text, at);
    const std::u32string variants = anyCase ? UnicodeCaseVariants(c) : std::u32string{c};
    if (variants.size() > 1 || c == '*' || c == '?' || c == '[') {
      out += '[';
      for (char32_t v : variants) Utf8Append(out, v);
      out += ']';
    } else {
      Utf8Append(out, c);
    }
  }
  return QuoteText(prefix ? out + "*" : out);
}

// A finite double as an SQL literal that reads back as the same double.
std::string RealText(double v) {
  char text[40];
  // As "%.17g" writes it. A whole number or one and a half, as the cuts of a
  // whole-number column mostly are, is its digits (and ".5"), far quicker
  // to write: a Locate writes dozens.
  const double twice = v * 2;
  if (std::fabs(v) < 1e15 && std::trunc(twice) == twice) {
    const auto whole = static_cast<std::int64_t>(std::trunc(v));
    char* end = std::to_chars(text, text + sizeof text, whole).ptr;
    if (whole == 0 && std::signbit(v)) return v == 0 ? "-0" : "-0.5";
    std::string out(text, end);
    return v == std::trunc(v) ? out : out + ".5";
  }
  const auto written = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 17);
  return std::string(text, written.ptr);
}

// A number constant the engine compares with the record's value as numbers
// (a constant of another type is compared as text).
std::optional<double> NumberConstant(const TFilterColumn& column, std::uint16_t type, const std::string& bytes) {
  if (type != column.fieldType) return std::nullopt;
  if (type == fldtype::Int16 && column.daoType == daotype::Integer && bytes.size() == 2) {
    std::int16_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
  }
  if (type == fldtype::Int32 && column.daoType == daotype::Long && bytes.size() == 4) {
    std::int32_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
  }
  if (type == fldtype::Float && column.daoType == daotype::Double && bytes.size() == 8) {
    double v;
    std::memcpy(&v, bytes.data(), sizeof v);
    if (std::isfinite(v)) return v;
  }
  return std::nullopt;
}

// Any of the conditions; none holds for no row.
std::string AnyOf(const std::vector<std::string>& terms) {
  if (terms.empty()) return "0";
  if (terms.size() == 1) return terms[0];
  std::string out = "(" + terms[0];
  for (std::size_t i = 1; i < terms.size(); ++i) out += " OR " + terms[i];
  return out + ")";
}

// A place in SQLite's order of a column's values without affinity: every
// number, then every text, then every blob. A cut before v has v on its
// upper side, a cut after v on its lower side.
struct Cut {
  double value;
  bool after;
  bool operator<(const Cut& o) const { return value < o.value || (value == o.value && !after && o.after); }
  bool operator<=(const Cut& o) const { return !(o < *this); }
};

// The values from one cut up to another. Without `from` it starts below
// every number; without `to` it runs on through every text and blob.
struct Stretch {
  std::optional<Cut> from, to;
};

bool Empty(const Stretch& s) { return s.from && s.to && *s.to <= *s.from; }

// `ref` lies in the stretch, as plain comparisons: a type test or a function
// call would cost SQLite more for each row than the comparisons.
// Written into one string: a Locate writes a dozen.
std::string InStretch(const std::string& ref, const Stretch& s) {
  std::string out;
  out.reserve(2 * ref.size() + 64);
  const auto bound = [&](const char* op, double value) {
    out += ref;
    out += op;
    out += RealText(value);
  };
  if (s.from && s.to && !s.from->after && s.to->after && s.from->value == s.to->value) {
    bound(" = ", s.from->value);
    return out;
  }
  const bool both = s.from && s.to;
  if (both) out += '(';
  if (s.from) bound(s.from->after ? " > " : " >= ", s.from->value);
  if (both) out += " AND ";
  if (s.to) bound(s.to->after ? " <= " : " < ", s.to->value);
  if (both) out += ')';
  return out;
}

// Whether the stretch holds some value of `usual` (both non-empty).
bool Meets(const Stretch& s, const Stretch& usual) {
  return (!s.from || !usual.to || *s.from < *usual.to) && (!usual.from || !s.to || *usual.from < *s.to);
}

// A condition holding for a value in one of the stretches, and for a Null
// when `nullHolds`; nullopt when that is every row. The stretches that meet
// `usual` come first, so that the common rows are decided by one or two
// comparisons.
// The stretches sorted by where they start, those that meet or overlap joined.
std::vector<Stretch> Merged(std::vector<Stretch> stretches) {
  std::erase_if(stretches, Empty);
  std::sort(stretches.begin(), stretches.end(), [](const Stretch& a, const Stretch& b) {
    return b.from && (!a.from || *a.from < *b.from);
  });
  std::vector<Stretch> merged;
  for (const Stretch& s : stretches) {
    if (!merged.empty() && (!merged.back().to || !s.from || *s.from <= *merged.back().to)) {
      Stretch& last = merged.back();
      if (last.to && (!s.to || *last.to < *s.to)) last.to = s.to;
    } else {
      merged.push_back(s);
    }
  }
  return merged;
}

std::optional<std::string> StretchesSql(const std::string& ref, std::vector<Stretch> stretches, bool nullHolds,
                                        const Stretch& usual) {
  std::vector<Stretch> merged = Merged(std::move(stretches));
  if (merged.size() == 1 && !merged[0].from && !merged[0].to)
    return nullHolds ? std::nullopt : std::optional<std::string>(ref + " IS NOT NULL");
  std::stable_partition(merged.begin(), merged.end(), [&](const Stretch& s) { return Meets(s, usual); });
  std::vector<std::string> terms;
  for (const Stretch& s : merged) terms.push_back(InStretch(ref, s));
  if (nullHolds) terms.push_back(ref + " IS NULL");
  return AnyOf(terms);
}

// How the engine reads a number column: a stored number inside `exact` as
// itself (rounded to a whole number when `whole`); a number outside it (past
// the field's width, which wraps it), a text or a blob (read as the number it
// begins with, or 0) as a number SQL cannot foresee; a Null as 0.
struct NumberReading {
  Stretch exact;
  bool whole;
};

std::optional<NumberReading> ReadingOf(std::int16_t daoType) {
  // Every whole number up to 2^53 is a double; past 2^62 a rounding to 64
  // bits is out of reach.
  constexpr double kWholeDoubles = 9007199254740992.0, kWide = 4611686018427387904.0;
  switch (daoType) {
    case daotype::Byte: return NumberReading{{Cut{-0.5, true}, Cut{255.5, false}}, true};
    case daotype::Integer: return NumberReading{{Cut{-32768.5, true}, Cut{32767.5, false}}, true};
    case daotype::Long: return NumberReading{{Cut{-2147483648.5, true}, Cut{2147483647.5, false}}, true};
    case daotype::Boolean:
    case daotype::Currency: return NumberReading{{Cut{-kWide, true}, Cut{kWide, false}}, true};
    case daotype::Double: return NumberReading{{Cut{-kWholeDoubles, false}, Cut{kWholeDoubles, true}}, false};
    default: return std::nullopt;
  }
}

// The stored numbers read as a value `value op c` holds for: a whole-number
// reading rounds half away from zero, so a number within half of c may read
// as c (the stretches take both ends, a superset).
std::vector<Stretch> Answering(std::uint32_t op, double c, bool whole) {
  const double slack = whole ? 0.5 : 0.0;
  const Stretch less{std::nullopt, Cut{c - slack, whole}}, greater{Cut{c + slack, !whole}, std::nullopt};
  switch (op) {
    case filterop::Equal: return {{Cut{c - slack, false}, Cut{c + slack, true}}};
    case filterop::NotEqual: return {less, greater};
    case filterop::Less: return {less};
    case filterop::LessOrEqual: return {{std::nullopt, Cut{c + slack, true}}};
    case filterop::Greater: return {greater};
    default: return {{Cut{c - slack, false}, std::nullopt}};
  }
}

// A condition for the stored values read as one the stretches answer, and
// every value read otherwise: the engine decides those.
std::optional<std::string> NumberSql(const std::string& ref, const NumberReading& reading,
                                     std::vector<Stretch> answering, bool nullHolds) {
  answering.push_back({std::nullopt, reading.exact.from});
  answering.push_back({reading.exact.to, std::nullopt});
  return StretchesSql(ref, std::move(answering), nullHolds, reading.exact);
}

// Whether the text is ASCII and no character beyond ASCII folds as one of
// its letters does (as the Kelvin sign folds to "k" and the long s to "s").
bool FoldsWithinAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x80 && UnicodeCaseVariants(b).back() < 0x80;
  });
}

// A text's start up to its first byte beyond ASCII.
std::string AsciiStart(const std::string& text) {
  return text.substr(0, std::find_if(text.begin(), text.end(), [](char c) {
                          return static_cast<unsigned char>(c) >= 0x80;
                        }) - text.begin());
}

// The bytes as an SQL text: a literal when they are well-formed UTF-8, else
// the bytes themselves taken as a text.
std::string TextLiteral(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return QuoteText(bytes);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "CAST(X'";
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out + "' AS TEXT)";
}

// The first byte string after every one that starts with `text`: its last
// byte that can grow one higher, the bytes after it dropped. None for bytes
// that are all 0xFF.
std::optional<std::string> PastEveryStart(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) == 0xFF) text.pop_back();
  if (text.empty()) return std::nullopt;
  text.back() = static_cast<char>(static_cast<unsigned char>(text.back()) + 1);
  return text;
}

// A stored text or blob too long for the field's room (bytes with its
// terminator): the engine cuts it, on a character's start, to a start of
// itself, which may hold or fail where the whole text would not.
std::string OverRoom(const std::string& ref, std::uint16_t room) {
  return "length(CAST(" + ref + " AS BLOB)) >= " + std::to_string(room);
}

// A condition in SQL, and whether every row meeting it is one the engine
// accepts too (it decides, not only pre-selects).
struct Sql {
  std::string text;
  bool decides = false;
  Sql(std::string condition, bool decided = false) : text(std::move(condition)), decides(decided) {}
};

class Translator {
 public:
  Translator(const BlobReader& blob, const TFilterColumnLookup& lookup) : blob_(blob), lookup_(lookup) {}

  // A condition every accepted record meets; nullopt restricts nothing.
  std::optional<Sql> Node(std::uint16_t offset, int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    auto header = blob_.Node<TFilterNodeHeader>(offset);
    if (!header) return std::nullopt;
    switch (header->NodeClass) {
      case filternode::Unary: return Unary(offset, header->Operator);
      case filternode::Binary: {
        auto n = blob_.Node<TFilterBinaryNode>(offset);
        if (!n) return std::nullopt;
        if (header->Operator == filterop::And || header->Operator == filterop::Or)
          return Logical(header->Operator, n->Left, n->Right, depth);
        return Comparison(header->Operator, n->Left, n->Right, 0, false);
      }
      case filternode::Compare: {
        auto n = blob_.Node<TFilterCompareNode>(offset);
        if (!n) return std::nullopt;
        return Comparison(header->Operator, n->Left, n->Right, n->PartialLength, n->CaseInsensitive != 0);
      }
      default: return std::nullopt;
    }
  }

 private:
  static constexpr int kMaxDepth = 64;

  std::optional<Sql> Logical(std::uint32_t op, std::uint16_t left, std::uint16_t right, int depth) {
    std::optional<Sql> a = Node(left, depth + 1);
    std::optional<Sql> b = Node(right, depth + 1);
    if (!a || !b) {
      if (op == filterop::Or) return std::nullopt;  // an accepted record may meet only the side SQL cannot see
      // One side alone still holds for every accepted record, but decides nothing.
      std::optional<Sql> one = a ? a : b;
      if (one) one->decides = false;
      return one;
    }
    const char* joiner = op == filterop::And ? " AND " : " OR ";
    return Sql("(" + a->text + joiner + b->text + ")", a->decides && b->decides);
  }

  std::optional<Sql> Unary(std::uint16_t offset, std::uint32_t op) {
    if (op != filterop::IsBlank && op != filterop::NotBlank) return std::nullopt;
    auto n = blob_.Node<TFilterUnaryNode>(offset);
    TFilterColumn column;
    if (!n || !FieldColumn(n->Operand, column)) return std::nullopt;
    std::string ref = ColumnRef(column.name);
    // A Null is blank whatever the kind, so every value that is not blank has one.
    if (op == filterop::NotBlank) return ref + " IS NOT NULL";
    return BlankSql(column, ref);
  }

  // "Is blank" as the engine reads each kind of column: no value, or one
  // whose bytes in the record are all zero (an empty text, a 0, a false
  // Boolean, the date 0). Nothing for a kind where SQL cannot tell exactly.
  static std::optional<Sql> BlankSql(const TFilterColumn& column, const std::string& ref) {
    switch (column.daoType) {
      // A text read up to a NUL byte may be empty and still not blank, when
      // bytes follow the NUL: SQL only pre-selects. A text cut to the room
      // may come out empty.
      case daotype::Text: return TextOrder(filterop::Equal, ref, "", "\x01", true, OverRoom(ref, column.length));
      case daotype::Memo:
      case daotype::LongBinary:
        // No bytes: an empty text or blob, or a number, which has no size as
        // a large value. Numbers sort before every text and the empty text
        // first among texts; a comparison looks at the first byte where
        // length() of a text counts them all. Exactly the blank values.
        return Sql("(" + ref + " IS NULL OR " + ref + " <= '' COLLATE BINARY OR " + ref + " = X'')", true);
      case daotype::Boolean:
      case daotype::Byte:
      case daotype::Integer:
      case daotype::Long:
      case daotype::Currency:
      case daotype::Double: {
        const NumberReading reading = ReadingOf(column.daoType).value();
        return NumberSql(ref, reading, Answering(filterop::Equal, 0, reading.whole), true);
      }
      case daotype::Date:
        // A date no calendar day stands for reads as blank too: only a date
        // well inside the calendar (years 1 to 9999) is surely not. A text
        // or a blob sorts after every number.
        return StretchesSql(ref,
                            {{std::nullopt, Cut{kFirstSureDay, false}}, {Cut{0, false}, Cut{0, true}},
                             {Cut{kLastSureDay, true}, std::nullopt}},
                            true, kSureDates);
      default: return std::nullopt;  // a Single may turn 0 only as it is read
    }
  }
  // Date numbers of 2 January of year 1 and 31 December 9999.
  static constexpr int kFirstSureDay = -693592;
  static constexpr int kLastSureDay = 2958465;
  // The date numbers a date comparison decides in SQL: past day 0 up to the
  // last day of the calendar.
  static constexpr Stretch kSureDates{Cut{0, true}, Cut{kLastSureDay, true}};

  std::optional<Sql> Comparison(std::uint32_t op, std::uint16_t left, std::uint16_t right,
                                std::uint16_t partialLength, bool anyCase) {
    TFilterColumn column;
    auto constant = blob_.Node<TFilterConstantNode>(right);
    if (SqlOperator(op) == nullptr || !FieldColumn(left, column) || !constant ||
        constant->Header.NodeClass != filternode::Constant)
      return std::nullopt;
    auto bytes = blob_.LiteralBytes(constant->ValueOffset, constant->Size);
    if (!bytes) return std::nullopt;
    const std::string ref = ColumnRef(column.name);
    if (constant->FieldType == fldtype::ZString && column.fieldType == fldtype::ZString &&
        column.daoType == daotype::Text)
      return TextComparison(op, ref, column, std::string(bytes->c_str()), partialLength, anyCase);
    if (partialLength != 0) return std::nullopt;
    if (constant->FieldType == fldtype::TimeStamp && column.fieldType == fldtype::TimeStamp &&
        column.daoType == daotype::Date)
      return DateComparison(op, ref, *bytes);
    const std::optional<double> number = NumberConstant(column, constant->FieldType, *bytes);
    if (!number) return std::nullopt;
    const NumberReading reading = ReadingOf(column.daoType).value();
    const bool nullHolds = Holds(op, Sign(0.0, *number));
    if (column.counter && op == filterop::Equal && !nullHolds && !column.table.empty())
      return CounterEqual(column, *number, reading);
    std::optional<std::string> sql = NumberSql(ref, reading, Answering(op, *number, reading.whole), nullHolds);
    if (!sql) return std::nullopt;
    return Sql(*sql);
  }

  // One row by its number, the one index worth using here: the number
  // itself, and the row numbers past the field's width, few if any, which
  // it reads wrapped (each found through the row numbers too). Kept as one
  // list, the database looks each up rather than walking the rows in order.
  static Sql CounterEqual(const TFilterColumn& column, double number, const NumberReading& reading) {
    const std::string name = QuotedName(column.name), from = " FROM " + QuotedName(column.table) + " WHERE " + name;
    return Sql(name + " IN (SELECT " + RealText(number) + " UNION ALL SELECT " + name + from + " > " +
               RealText(reading.exact.to->value) + " UNION ALL SELECT " + name + from + " < " +
               RealText(reading.exact.from->value) + ")");
  }

  // The engine compares the record's text with the constant (up to its
  // terminator) a byte at a time, its characters folded when `anyCase`, over
  // the first `partialLength` bytes when that is set. It reads a Null as the
  // empty text, a stored text up to its first NUL, and one longer than the
  // field's room cut to fit it (OverRoom): that may read as any start of it,
  // so such texts pass wherever a start could hold and the whole would not;
  // their records are tested by the engine even where the condition decides.
  static std::optional<Sql> TextComparison(std::uint32_t op, const std::string& ref,
                                           const TFilterColumn& column, std::string text,
                                           std::uint16_t partialLength, bool anyCase) {
    // Longer than the field holds: the engine compares only what fits.
    if (text.size() + 1 >= column.length) return std::nullopt;
    // A partial length past the constant's end compares through its terminator: the whole text.
    const bool prefix = partialLength != 0 && partialLength <= text.size();
    if (prefix) text.resize(partialLength);
    const bool nullHolds = Holds(op, text.empty() ? 0 : -1);
    const std::string cut = OverRoom(ref, column.length);
    if (anyCase && !FoldsWithinAscii(text)) {
      // The case variants of a letter of another script (or of "k" and "s",
      // which letters beyond ASCII fold to) lie apart in any byte order: a
      // pattern of them, which reads characters. It pre-selects only: a
      // stored sequence no character stands for may read as one of them
      // there (a longer form of it), never as another character. A pattern
      // needs a well-formed constant; otherwise the constant's ASCII start
      // narrows.
      // A pattern reads stray continuation bytes as part of the character
      // before them, where the engine's start of text ends at that
      // character's last byte: a start's last character, when not ASCII,
      // stays out of its pattern.
      const bool wellFormed = IsValidUtf8(text);
      // The database's own case-blind order (NOCASE) compares as the engine
      // does (CompareFoldedText), only over whole texts, through a NUL and
      // past the room, where it lets more through.
      if (op == filterop::NotEqual && !prefix && wellFormed)
        return WithNulls(ref, ref + " <> " + TextLiteral(text) + " COLLATE NOCASE", nullHolds);
      if (op != filterop::Equal) return std::nullopt;
      std::string start = wellFormed ? text : AsciiStart(text);
      if (prefix && wellFormed && static_cast<unsigned char>(start.back()) >= 0x80)
        start.resize(Utf8ByteOffset(start, Utf8Length(start) - 1));
      if (start.empty()) return std::nullopt;
      std::string match = ref + " GLOB " + GlobPattern(start, true, prefix || !wellFormed);
      if (!prefix && wellFormed) match += " OR " + cut;
      return WithNulls(ref, "(" + match + " OR " + ref + " >= X'')", nullHolds);
    }
    // A whole text equal or not: one comparison in the engine's own order of
    // texts (up to the first NUL, ASCII letters folded when `anyCase`: no
    // other letter folds as the constant's do), which the connection provides.
    if (!prefix && (op == filterop::Equal || op == filterop::NotEqual)) {
      const std::string constant = TextLiteral(text) + (anyCase ? " COLLATE ZSTRING_ANYCASE" : " COLLATE ZSTRING");
      // A blob is never equal to a text in SQL, and the engine reads one
      // as its bytes: a blob that differs is let through. A longer text cut
      // to the room never becomes another text.
      if (op == filterop::NotEqual) return WithNulls(ref, ref + " <> " + constant, nullHolds);
      // A blob sorts after every text and is compared as the text of its
      // bytes. A row equal here is equal to the engine: what it reads fits
      // the field (the constant does), so no cut changes it. That decides.
      // A text cut to the constant starts with it, in some case: it sorts
      // from the constant in capitals up to past it in small letters. Every
      // other row is refused by one or three comparisons; only such a text,
      // or a blob, has its length measured.
      const std::string lowest = ref + " >= " + TextLiteral(anyCase ? UpperCase(text) : text) + " COLLATE BINARY";
      const std::optional<std::string> past = PastEveryStart(anyCase ? LowerCase(text) : text);
      const std::string startCut = past ? "(" + ref + " < " + TextLiteral(*past) + " COLLATE BINARY AND " + cut + ")" : cut;
      const std::string blob = "(" + ref + " >= X'' AND (CAST(" + ref + " AS TEXT) = " + constant + " OR " + cut + "))";
      return Sql(WithNulls(ref, "(" + ref + " = " + constant + " OR (" + lowest + " AND (" + startCut + " OR " + blob + ")))",
                           nullHolds),
                 true);
    }
    if (prefix && anyCase) {
      if (op != filterop::Equal && op != filterop::NotEqual) return std::nullopt;
      // A pattern reads a text up to its first NUL, as the engine does, and
      // matches no blob, which the engine reads as its bytes: an equal lets
      // every blob through.
      const std::string match = ref + " GLOB " + GlobPattern(text, true, true);
      if (op == filterop::Equal) return "(" + match + " OR " + ref + " >= X'')";
      return WithNulls(ref, "(NOT (" + match + ") OR " + cut + ")", nullHolds);
    }
    if (prefix) {
      // The texts that start with `text` sort from it up to the first byte
      // string past every such start.
      if (op != filterop::Equal && op != filterop::NotEqual) return std::nullopt;
      std::optional<std::string> past = PastEveryStart(text);
      if (!past) return std::nullopt;
      return TextOrder(op, ref, text, *past, nullHolds, op == filterop::NotEqual ? cut : "");
    }
    if (anyCase) return std::nullopt;  // the engine's folded order is not SQLite's
    // A cut text is a start of the stored one: it can only come out lower.
    const bool cutHolds = op == filterop::Less || op == filterop::LessOrEqual;
    return TextOrder(op, ref, text, text + '\x01', nullHolds, cutHolds ? cut : "");
  }

  // The engine reads a text up to its first NUL and compares its bytes, and
  // a Null as the empty text. In SQLite's binary order the texts that read as
  // `text` sort from `text` up to, not including, `past`: `text` and byte 1
  // for the whole text (`text` itself and `text`, NUL, anything), or the
  // first text after every one that starts with `text`. A blob, which the
  // engine reads as its bytes, sorts after every text: it is let through
  // wherever it might hold. `also`, when given, is one more condition a row
  // may meet instead.
  static std::string TextOrder(std::uint32_t op, const std::string& ref, const std::string& text,
                               const std::string& pastText, bool nullHolds, const std::string& also) {
    const std::string from = TextLiteral(text) + " COLLATE BINARY";
    const std::string past = TextLiteral(pastText) + " COLLATE BINARY";
    const std::string blob = ref + " >= X''";
    std::vector<std::string> terms;
    switch (op) {
      case filterop::Equal:
        terms = {"(" + ref + " >= " + from + " AND (" + ref + " < " + past + " OR " + blob + "))"};
        break;
      case filterop::NotEqual: terms = {ref + " < " + from, ref + " >= " + past}; break;
      case filterop::Less: terms = {ref + " < " + from, blob}; break;
      case filterop::LessOrEqual: terms = {ref + " < " + past, blob}; break;
      case filterop::Greater: terms = {ref + " >= " + past}; break;
      default: terms = {ref + " >= " + from}; break;
    }
    if (!also.empty()) terms.push_back(also);
    if (nullHolds) terms.push_back(ref + " IS NULL");
    return AnyOf(terms);
  }

  // The record holds a date as milliseconds from the start of year 1, a
  // stored date number D > 0 read as kDateBase + llround(D * 86400000), and
  // a Null, a 0 or a number no calendar day stands for as 0. With x = D *
  // 86400000 (a double multiplication), llround(x) >= n is x >= n - 0.5;
  // doubled, 2x >= 2n - 1 is exact in doubles and integers. That rises with
  // D, so it holds from one date number on, which SQL then compares D with
  // directly; dates before 1900 and numbers outside the calendar are left to
  // the engine.
  static std::optional<std::string> DateComparison(std::uint32_t op, const std::string& ref, const std::string& bytes) {
    double constant;
    if (bytes.size() != sizeof constant) return std::nullopt;
    std::memcpy(&constant, bytes.data(), sizeof constant);
    if (!std::isfinite(constant) || std::trunc(constant) != constant || std::fabs(constant) > 1e15)
      return std::nullopt;
    const std::int64_t n = static_cast<std::int64_t>(constant) - kDateBase;
    // The first date numbers at or past n - 0.5 and n + 0.5 milliseconds.
    const Cut below = FirstReaching(2 * n - 1), above = FirstReaching(2 * n + 1);
    const Cut first = kSureDates.from.value(), last = kSureDates.to.value();
    std::vector<Stretch> accepted;
    switch (op) {
      case filterop::Equal: accepted = {{below, above}}; break;
      case filterop::NotEqual: accepted = {{first, below}, {above, last}}; break;
      case filterop::GreaterOrEqual: accepted = {{below, last}}; break;
      case filterop::Greater: accepted = {{above, last}}; break;
      case filterop::LessOrEqual: accepted = {{first, above}}; break;
      case filterop::Less: accepted = {{first, below}}; break;
      default: return std::nullopt;
    }
    // Negative numbers, past the calendar, texts and blobs: the engine decides.
    accepted.push_back({std::nullopt, Cut{0, false}});
    accepted.push_back({last, std::nullopt});
    // The engine compares the values' bytes as 64-bit integers: for the 0 of
    // a blank date, the constant's sign bit decides.
    std::int64_t constantBits;
    std::memcpy(&constantBits, &constant, sizeof constantBits);
    const bool blankHolds = Holds(op, Sign<std::int64_t>(0, constantBits));
    if (blankHolds) accepted.push_back({Cut{0, false}, Cut{0, true}});
    return StretchesSql(ref, std::move(accepted), blankHolds, kSureDates);
  }

  // The cut before the first date number D in the calendar past day 0 whose
  // doubled milliseconds D * 172800000.0, multiplied as SQLite does, reach
  // `twiceMsecs`: after the last day when none does, after day 0 when all
  // do. Multiplying by a positive constant never lowers a double, so the
  // quotient is at most a step or two from that number.
  static Cut FirstReaching(std::int64_t twiceMsecs) {
    const double target = static_cast<double>(twiceMsecs);  // exact: well under 2^53
    auto reaches = [&](double days) { return days * (2.0 * kMSecsPerDay) >= target; };
    const double tiniest = std::numeric_limits<double>::denorm_min(), last = kLastSureDay;
    if (!reaches(last)) return Cut{last, true};
    if (reaches(tiniest)) return Cut{0, true};
    double days = std::clamp(target / (2.0 * kMSecsPerDay), tiniest, last);
    while (!reaches(days)) days = std::nextafter(days, HUGE_VAL);
    while (reaches(std::nextafter(days, 0.0))) days = std::nextafter(days, 0.0);
    return Cut{days, false};
  }
  // Milliseconds of 30 December 1899, day 0 of the stored date numbers.
  static constexpr std::int64_t kMSecsPerDay = MSecsPerDay;
  static constexpr std::int64_t kDateBase = DateDelta * kMSecsPerDay;

  bool FieldColumn(std::uint16_t offset, TFilterColumn& column) {
    auto field = blob_.Node<TFilterFieldNode>(offset);
    if (!field || field->Header.NodeClass != filternode::Field) return false;
    auto name = blob_.LiteralText(field->NameOffset);
    return name && !name->empty() && lookup_(*name, column);
  }

  const BlobReader& blob_;
  const TFilterColumnLookup& lookup_;
};

// ---- Bands of an index

// One stretch of an index column's values, as a condition on the column
// SQLite answers from the index; a point holds one value (in the column's
// order), before which and after which the next column's own stretches lie.
struct Piece {
  std::string sql;
  bool point = false;
  // The stretch of values around a point that its pieces split, as one
  // condition: one band where no next column narrows within the point.
  std::string around{};
};

// The first text after every text that starts with `text` in the database's
// case-blind order (folded characters, compared as code points): the text
// with its last character raised to one whose fold is above that
// character's fold; none when every character is the greatest there is.
std::optional<std::string> PastEveryFoldedStart(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); Utf8Decode(text, at)) starts.push_back(at);
  while (!starts.empty()) {
    std::size_t at = starts.back();
    const char32_t last = UnicodeFold(Utf8Decode(text, at));
    for (char32_t c = last + 1; c <= 0x10FFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      if (UnicodeFold(c) <= last) continue;
      std::string past = text.substr(0, starts.back());
      Utf8Append(past, c);
      return past;
    }
    starts.pop_back();
  }
  return std::nullopt;
}

// Where the texts lie that the engine may read as `text` (or as a start of
// it with a partial length), in the column's ascending order: a number,
// read as its digits, before every text; the texts whose folded characters
// start with the text's (a text read up to a NUL, cut to the field, or with
// a stray byte after it, is one of them); a blob, read as its bytes, after
// every text. For a whole text the texts equal to it in any case come
// first, one value of the index. Nothing for a text SQL cannot place so
// (empty, malformed, or longer than the field holds).
std::vector<Piece> TextPieces(const std::string& ref, const TFilterColumn& column, std::string text,
                              std::uint16_t partialLength) {
  const bool prefix = partialLength != 0 && partialLength <= text.size();
  if (prefix) text.resize(partialLength);
  if (text.empty() || !IsValidUtf8(text) || text.size() + 1 >= column.length) return {};
  std::vector<Piece> pieces;
  if (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) pieces.push_back({ref + " < ''"});
  const std::string literal = QuoteText(text);
  const std::string from = ref + (prefix ? " >= " : " > ") + literal;
  const std::optional<std::string> past = PastEveryFoldedStart(text);
  if (!past) {
    if (!prefix) pieces.push_back({ref + " = " + literal, true, ref + " >= " + literal});
    pieces.push_back({from, false, prefix ? std::string() : ref + " >= " + literal});  // on through every blob
    return pieces;
  }
  const std::string upTo = " AND " + ref + " < " + QuoteText(*past) + ")";
  const std::string around = prefix ? std::string() : "(" + ref + " >= " + literal + upTo;
  if (!prefix) pieces.push_back({ref + " = " + literal, true, around});
  pieces.push_back({"(" + from + upTo, false, around});
  pieces.push_back({ref + " >= X''"});
  return pieces;
}

// Where the values lie that the engine may read as the number `c`: its own
// stretch (half a unit each side, rounded, for a whole-number column, its
// whole value alone one point), the numbers past the field's width and the
// texts and blobs, which it reads otherwise, and a Null when c is 0.
std::vector<Piece> NumberPieces(const std::string& ref, const NumberReading& reading, double c) {
  std::vector<Stretch> stretches = Answering(filterop::Equal, c, reading.whole);
  stretches.push_back({std::nullopt, reading.exact.from});
  stretches.push_back({reading.exact.to, std::nullopt});
  std::vector<Piece> pieces;
  if (c == 0) pieces.push_back({ref + " IS NULL"});
  for (const Stretch& s : Merged(std::move(stretches))) {
    const bool own = s.from && s.to && s.from->value <= c && c <= s.to->value && s.to->value - s.from->value <= 1;
    if (!own) {
      pieces.push_back({InStretch(ref, s)});
      continue;
    }
    const Stretch below{s.from, Cut{c, false}}, above{Cut{c, true}, s.to};
    const std::string around = InStretch(ref, s);
    if (!Empty(below)) pieces.push_back({InStretch(ref, below), false, around});
    pieces.push_back({ref + " = " + RealText(c), true, around});
    if (!Empty(above)) pieces.push_back({InStretch(ref, above), false, around});
  }
  return pieces;
}

// The rows before (or after) a point of the index's first columns, in the
// index's order: where Null, the least value, comes first, or, in a
// descending column, last.
std::string OutsidePoint(const std::vector<TIndexKey>& keys, const std::vector<std::int64_t>& point, bool after) {
  std::vector<std::string> terms;
  std::string prefix;
  for (std::size_t k = 0; k < point.size(); ++k) {
    const std::string ref = QuotedName(keys[k].column), value = std::to_string(point[k]);
    const bool greater = after != keys[k].descending;
    const std::string nulls = after == keys[k].descending ? " OR " + ref + " IS NULL" : "";
    terms.push_back(prefix + "(" + ref + (greater ? " > " : " < ") + value + nulls + ")");
    prefix += ref + " = " + value + " AND ";
  }
  return AnyOf(terms);
}

class BandFinder {
 public:
  BandFinder(const BlobReader& blob, const TFilterColumnLookup& lookup, const std::vector<TIndexKey>& keys,
             const std::vector<std::int64_t>& point)
      : blob_(blob), lookup_(lookup), keys_(keys), pieces_(keys.size()), point_(point) {
    for (std::size_t k = 0; k < point.size() && k < keys.size(); ++k)
      pieces_[k] = {{QuotedName(keys[k].column) + " = " + std::to_string(point[k]), true}};
  }

  // The bands of the index's leading columns the filter gives values of;
  // `all` tells whether they narrow by every term of the filter.
  std::vector<std::string> Bands(bool& all) {
    Collect(0, 0);
    // Every term gave the pieces of a column, and the columns given lead the
    // index, each narrowing within the points of the one before.
    std::size_t given = 0;
    while (given < pieces_.size() && !pieces_[given].empty()) ++given;
    all = false;
    const std::size_t fixed = std::min(point_.size(), pieces_.size());
    if (given <= fixed) return {};  // the filter narrows nothing the point does not
    std::vector<std::string> bands;
    Expand(0, "", bands);
    if (bands.size() > kMaxBands) return {};
    all = !bands.empty() && !otherTerms_ && given - fixed == terms_ - pointTerms_;
    if (!point_.empty() && !bands.empty()) {
      bands.insert(bands.begin(), OutsidePoint(keys_, point_, false));
      bands.push_back(OutsidePoint(keys_, point_, true));
    }
    return bands;
  }

 private:
  static constexpr int kMaxDepth = 64;
  // Bands are read one statement each: a few dozen at most, or the order
  // alone serves.
  static constexpr std::size_t kMaxBands = 64;

  // The terms of the root's ands; each equality of a key column with a
  // constant gives that column's pieces, any other term is counted apart.
  void Collect(std::uint16_t offset, int depth) {
    auto header = blob_.Node<TFilterNodeHeader>(offset);
    if (!header || depth > kMaxDepth) {
      otherTerms_ = true;
      return;
    }
    if (header->NodeClass == filternode::Binary && header->Operator == filterop::And) {
      auto n = blob_.Node<TFilterBinaryNode>(offset);
      if (!n) {
        otherTerms_ = true;
        return;
      }
      Collect(n->Left, depth + 1);
      Collect(n->Right, depth + 1);
      return;
    }
    if (KeyEquality(offset, *header))
      ++terms_;
    else
      otherTerms_ = true;
  }

  // Takes the pieces of an equality of a key column with a constant: false
  // for any other term, and for a second equality of a column.
  bool KeyEquality(std::uint16_t offset, const TFilterNodeHeader& header) {
    if (header.Operator != filterop::Equal) return false;
    std::uint16_t left = 0, right = 0, partial = 0;
    if (header.NodeClass == filternode::Compare) {
      auto n = blob_.Node<TFilterCompareNode>(offset);
      if (!n) return false;
      left = n->Left, right = n->Right, partial = n->PartialLength;
    } else if (header.NodeClass == filternode::Binary) {
      auto n = blob_.Node<TFilterBinaryNode>(offset);
      if (!n) return false;
      left = n->Left, right = n->Right;
    } else {
      return false;
    }
    auto field = blob_.Node<TFilterFieldNode>(left);
    auto constant = blob_.Node<TFilterConstantNode>(right);
    if (!field || field->Header.NodeClass != filternode::Field || !constant ||
        constant->Header.NodeClass != filternode::Constant)
      return false;
    auto name = blob_.LiteralText(field->NameOffset);
    auto bytes = blob_.LiteralBytes(constant->ValueOffset, constant->Size);
    TFilterColumn column;
    if (!name || !bytes || !lookup_(*name, column)) return false;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      if (!SameText(keys_[k].column, column.name)) continue;
      // The point's own value, which every row within the point holds: it
      // narrows nothing beyond the point.
      if (k < point_.size()) {
        const bool same = partial == 0 && NumberConstant(column, constant->FieldType, *bytes) == double(point_[k]);
        pointTerms_ += same ? 1 : 0;
        return same;
      }
      if (!pieces_[k].empty()) return false;
      pieces_[k] = PiecesOf(column, constant->FieldType, *bytes, partial);
      if (keys_[k].descending) std::reverse(pieces_[k].begin(), pieces_[k].end());
      return !pieces_[k].empty();
    }
    return false;
  }

  static std::vector<Piece> PiecesOf(const TFilterColumn& column, std::uint16_t type, const std::string& bytes,
                                     std::uint16_t partial) {
    const std::string ref = QuotedName(column.name);
    if (type == fldtype::ZString && column.fieldType == fldtype::ZString && column.daoType == daotype::Text)
      return TextPieces(ref, column, std::string(bytes.c_str()), partial);
    const std::optional<double> number = partial == 0 ? NumberConstant(column, type, bytes) : std::nullopt;
    if (!number) return {};
    return NumberPieces(ref, ReadingOf(column.daoType).value(), *number);
  }

  // Each piece of key column k after `prefix`; a point goes on into the next
  // column's pieces, when there are any.
  // Without a next column to narrow within a point, the pieces around it are
  // one band: one statement fewer for each read.
  void Expand(std::size_t k, const std::string& prefix, std::vector<std::string>& bands) {
    const bool narrows = k + 1 < keys_.size() && !pieces_[k + 1].empty();
    const std::string* lastAround = nullptr;
    for (const Piece& piece : pieces_[k]) {
      if (bands.size() > kMaxBands) return;
      const bool joined = !narrows && !piece.around.empty();
      if (joined && lastAround != nullptr && *lastAround == piece.around) continue;
      lastAround = joined ? &piece.around : nullptr;
      const std::string& sql = joined ? piece.around : piece.sql;
      const std::string band = prefix.empty() ? sql : prefix + " AND " + sql;
      if (piece.point && narrows)
        Expand(k + 1, band, bands);
      else
        bands.push_back(band);
    }
  }

  const BlobReader& blob_;
  const TFilterColumnLookup& lookup_;
  const std::vector<TIndexKey>& keys_;
  std::vector<std::vector<Piece>> pieces_;
  const std::vector<std::int64_t>& point_;
  std::size_t terms_ = 0;    // equalities that gave a column's pieces
  std::size_t pointTerms_ = 0;  // of them, those of a point's column with its value
  bool otherTerms_ = false;  // the ands hold a term that gave none
};

}  // namespace

std::string FilterPrefilterSql(const std::uint8_t* blob, std::size_t size, const TFilterColumnLookup& lookup,
                               bool* decides) {
  if (decides != nullptr) *decides = false;
  BlobReader reader(blob, size);
  if (!reader.Ok()) return {};
  std::optional<Sql> sql = Translator(reader, lookup).Node(0, 0);
  if (decides != nullptr) *decides = sql && sql->decides;
  return sql ? sql->text : std::string();
}

std::string FilterColumnRef(const std::string& name) { return "+" + QuotedName(name); }

std::vector<std::string> FilterIndexBands(const std::uint8_t* blob, std::size_t size, const TFilterColumnLookup& lookup,
                                          const std::vector<TIndexKey>& keys, bool* narrowsAll,
                                          const std::vector<std::int64_t>& point) {
  if (narrowsAll != nullptr) *narrowsAll = false;
  BlobReader reader(blob, size);
  if (!reader.Ok() || keys.empty() || point.size() >= keys.size()) return {};
  bool all = false;
  std::vector<std::string> bands = BandFinder(reader, lookup, keys, point).Bands(all);
  if (narrowsAll != nullptr) *narrowsAll = all;
  return bands;
}
