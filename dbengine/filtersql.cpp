#include "dbengine/filtersql.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

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
std::string ColumnRef(const std::string& name) { return "+" + QuotedName(name); }

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
// reads a Null as `nullHolds` tells, accepts those.
std::string WithNulls(const std::string& column, const std::string& condition, bool nullHolds) {
  return nullHolds ? "(" + column + " IS NULL OR " + condition + ")" : condition;
}

// The engine folds case a byte at a time through the C library; answers
// whether that folds the 26 ASCII letters alone, which a pattern can spell.
bool FoldsAsciiOnly() {
  for (int c = 0; c < 256; ++c) {
    int expected = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    if (std::tolower(c) != expected) return false;
  }
  return true;
}

// A GLOB pattern matching `text` byte for byte, each ASCII letter in either
// case when `anyCase`; `prefix` lets anything follow.
std::string GlobPattern(const std::string& text, bool anyCase, bool prefix) {
  std::string out;
  for (char c : text) {
    if (anyCase && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      out += std::string("[") + static_cast<char>(c & ~0x20) + static_cast<char>(c | 0x20) + "]";
    else if (c == '*' || c == '?' || c == '[')
      out += std::string("[") + c + "]";
    else
      out += c;
  }
  return QuoteText(prefix ? out + "*" : out);
}

// A number constant as an SQL literal, and how a Null (which the engine reads
// as 0) compares with it.
struct NumberLiteral {
  std::string text;
  int zeroSign;  // of 0 against the constant
};

// The constant as an SQL literal of the column's kind, when SQL compares it
// exactly as the engine compares the record's value.
std::optional<NumberLiteral> Literal(const TFilterColumn& column, std::uint16_t type, const std::string& bytes) {
  if (type != column.fieldType) return std::nullopt;  // the engine compares mixed types as text
  if (type == fldtype::Int16 && column.daoType == daotype::Integer && bytes.size() == 2) {
    std::int16_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return NumberLiteral{std::to_string(v), Sign<int>(0, v)};
  }
  if (type == fldtype::Int32 && column.daoType == daotype::Long && bytes.size() == 4) {
    std::int32_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return NumberLiteral{std::to_string(v), Sign<std::int32_t>(0, v)};
  }
  if (type == fldtype::Float && column.daoType == daotype::Double && bytes.size() == 8) {
    double v;
    std::memcpy(&v, bytes.data(), sizeof v);
    if (!std::isfinite(v)) return std::nullopt;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);  // reads back as the same double
    return NumberLiteral{text, Sign(0.0, v)};
  }
  return std::nullopt;
}

class Translator {
 public:
  Translator(const BlobReader& blob, const TFilterColumnLookup& lookup) : blob_(blob), lookup_(lookup) {}

  // A condition every accepted record meets; nullopt restricts nothing.
  std::optional<std::string> Node(std::uint16_t offset, int depth) {
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

  std::optional<std::string> Logical(std::uint32_t op, std::uint16_t left, std::uint16_t right, int depth) {
    std::optional<std::string> a = Node(left, depth + 1);
    std::optional<std::string> b = Node(right, depth + 1);
    if (op == filterop::And) {
      if (a && b) return "(" + *a + " AND " + *b + ")";
      return a ? a : b;  // one side alone still holds for every accepted record
    }
    if (a && b) return "(" + *a + " OR " + *b + ")";
    return std::nullopt;  // an accepted record may meet only the side SQL cannot see
  }

  std::optional<std::string> Unary(std::uint16_t offset, std::uint32_t op) {
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
  static std::optional<std::string> BlankSql(const TFilterColumn& column, const std::string& ref) {
    switch (column.daoType) {
      case daotype::Text: return "(" + ref + " IS NULL OR " + ref + " = '')";
      case daotype::Memo:
      case daotype::LongBinary: return "(" + ref + " IS NULL OR length(" + ref + ") = 0)";
      case daotype::Boolean:
      case daotype::Byte:
      case daotype::Integer:
      case daotype::Long:
      case daotype::Currency:
      case daotype::Double: return "(" + ref + " IS NULL OR " + ref + " = 0)";
      case daotype::Date:
        // A date no calendar day stands for reads as blank too: only a date
        // well inside the calendar (years 1 to 9999) is surely not.
        return "(" + ref + " IS NULL OR NOT (typeof(" + ref + ") IN ('integer', 'real') AND " + ref +
               " <> 0 AND " + ref + " BETWEEN " + std::to_string(kFirstSureDay) + " AND " +
               std::to_string(kLastSureDay) + "))";
      default: return std::nullopt;  // a Single may turn 0 only as it is read
    }
  }
  // Date numbers of 2 January of year 1 and 31 December 9999.
  static constexpr int kFirstSureDay = -693592;
  static constexpr int kLastSureDay = 2958465;

  std::optional<std::string> Comparison(std::uint32_t op, std::uint16_t left, std::uint16_t right,
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
    std::optional<NumberLiteral> literal = Literal(column, constant->FieldType, *bytes);
    if (!literal) return std::nullopt;
    // One row at most, found by its number: the one index worth using here.
    if (column.counter && op == filterop::Equal && !Holds(op, literal->zeroSign))
      return QuotedName(column.name) + " = " + literal->text;
    return WithNulls(ref, ref + " " + SqlOperator(op) + " " + literal->text, Holds(op, literal->zeroSign));
  }

  // The engine compares the record's text with the constant (up to its
  // terminator) a byte at a time, ASCII letters folded when `anyCase`, over
  // the first `partialLength` bytes when that is set; a Null reads as the
  // empty text.
  static std::optional<std::string> TextComparison(std::uint32_t op, const std::string& ref,
                                                   const TFilterColumn& column, std::string text,
                                                   std::uint16_t partialLength, bool anyCase) {
    // Longer than the field holds: the engine compares only what fits.
    if (text.size() + 1 >= column.length) return std::nullopt;
    // A partial length past the constant's end compares through its terminator: the whole text.
    bool prefix = partialLength != 0 && partialLength <= text.size();
    if (prefix) text.resize(partialLength);
    if (anyCase && !FoldsAsciiOnly()) return std::nullopt;
    // A pattern matches characters: a constant cut inside one is left to the engine.
    if ((prefix || anyCase) && !IsValidUtf8(text)) return std::nullopt;
    const bool nullHolds = Holds(op, text.empty() ? 0 : -1);
    if (op == filterop::Equal || op == filterop::NotEqual) {
      if (text.empty()) return op == filterop::Equal ? "(" + ref + " IS NULL OR " + ref + " = '')"
                                                     : "(" + ref + " IS NOT NULL AND " + ref + " <> '')";
      std::string match = prefix || anyCase ? ref + " GLOB " + GlobPattern(text, anyCase, prefix)
                                            : ref + " = " + QuoteText(text) + " COLLATE BINARY";
      if (op == filterop::Equal) return match;
      return WithNulls(ref, "NOT (" + match + ")", nullHolds);
    }
    // Ordered: SQLite's binary order is the order of the bytes, as the engine's.
    if (prefix || anyCase) return std::nullopt;
    return WithNulls(ref, ref + " " + SqlOperator(op) + " " + QuoteText(text) + " COLLATE BINARY", nullHolds);
  }

  // The record holds a date as milliseconds from the start of year 1, a
  // stored date number D > 0 read as kDateBase + llround(D * 86400000), and
  // a Null, a 0 or a number no calendar day stands for as 0. With x = D *
  // 86400000 (the same double multiplication in SQLite), llround(x) >= n is
  // x >= n - 0.5; doubled, 2x >= 2n - 1 is exact in doubles and integers.
  static std::optional<std::string> DateComparison(std::uint32_t op, const std::string& ref, const std::string& bytes) {
    double constant;
    if (bytes.size() != sizeof constant) return std::nullopt;
    std::memcpy(&constant, bytes.data(), sizeof constant);
    if (!std::isfinite(constant) || std::trunc(constant) != constant || std::fabs(constant) > 1e15)
      return std::nullopt;
    const std::int64_t n = static_cast<std::int64_t>(constant) - kDateBase;
    const std::string x2 = ref + " * " + std::to_string(2 * kMSecsPerDay) + ".0";
    const std::string below = std::to_string(2 * n - 1), above = std::to_string(2 * n + 1);
    std::string sure;
    switch (op) {
      case filterop::Equal: sure = x2 + " >= " + below + " AND " + x2 + " < " + above; break;
      case filterop::NotEqual: sure = "NOT (" + x2 + " >= " + below + " AND " + x2 + " < " + above + ")"; break;
      case filterop::GreaterOrEqual: sure = x2 + " >= " + below; break;
      case filterop::Greater: sure = x2 + " >= " + above; break;
      case filterop::LessOrEqual: sure = x2 + " < " + above; break;
      case filterop::Less: sure = x2 + " < " + below; break;
      default: return std::nullopt;
    }
    // The engine compares the values' bytes as 64-bit integers: for the 0 of
    // a blank date, the constant's sign bit decides.
    std::int64_t constantBits;
    std::memcpy(&constantBits, &constant, sizeof constantBits);
    const bool blankHolds = Holds(op, Sign<std::int64_t>(0, constantBits));
    // Dates before 1900 and numbers outside the calendar are left to the engine.
    return "(CASE WHEN typeof(" + ref + ") IN ('integer', 'real') AND " + ref + " > 0 AND " + ref +
           " <= " + std::to_string(kLastSureDay) + " THEN " + sure + " WHEN " + ref + " IS NULL OR " + ref +
           " = 0 THEN " + (blankHolds ? "1" : "0") + " ELSE 1 END)";
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

}  // namespace

std::string FilterPrefilterSql(const std::uint8_t* blob, std::size_t size, const TFilterColumnLookup& lookup) {
  BlobReader reader(blob, size);
  if (!reader.Ok()) return {};
  return Translator(reader, lookup).Node(0, 0).value_or(std::string());
}
