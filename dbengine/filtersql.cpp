#include "dbengine/filtersql.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "dbengine/daowrappers.h"
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

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

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

// The constant as an SQL literal of the column's kind, when SQL compares it
// exactly as the engine compares the record's value.
std::optional<std::string> Literal(const TFilterColumn& column, std::uint16_t type, const std::string& bytes) {
  if (type != column.fieldType) return std::nullopt;  // the engine compares mixed types as text
  if (type == fldtype::Int16 && column.daoType == daotype::Integer && bytes.size() == 2) {
    std::int16_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return std::to_string(v);
  }
  if (type == fldtype::Int32 && column.daoType == daotype::Long && bytes.size() == 4) {
    std::int32_t v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return std::to_string(v);
  }
  if (type == fldtype::Float && column.daoType == daotype::Double && bytes.size() == 8) {
    double v;
    std::memcpy(&v, bytes.data(), sizeof v);
    if (!std::isfinite(v)) return std::nullopt;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);  // reads back as the same double
    return std::string(text);
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
        return Comparison(header->Operator, n->Left, n->Right, 0);
      }
      case filternode::Compare: {
        auto n = blob_.Node<TFilterCompareNode>(offset);
        if (!n) return std::nullopt;
        return Comparison(header->Operator, n->Left, n->Right, n->PartialLength);
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
    std::string name = QuoteName(column.name);
    // A Null is blank whatever the kind, so every value that is not blank has one.
    if (op == filterop::NotBlank) return name + " IS NOT NULL";
    return BlankSql(column, name);
  }

  // "Is blank" as the engine reads each kind of column: no value, or one
  // whose bytes in the record are all zero (an empty text, a 0, a false
  // Boolean, the date 0). Nothing for a kind where SQL cannot tell exactly.
  static std::optional<std::string> BlankSql(const TFilterColumn& column, const std::string& name) {
    switch (column.daoType) {
      case daotype::Text: return "(" + name + " IS NULL OR " + name + " = '')";
      case daotype::Memo:
      case daotype::LongBinary: return "(" + name + " IS NULL OR length(" + name + ") = 0)";
      case daotype::Boolean:
      case daotype::Byte:
      case daotype::Integer:
      case daotype::Long:
      case daotype::Currency:
      case daotype::Double: return "(" + name + " IS NULL OR " + name + " = 0)";
      case daotype::Date:
        // A date no calendar day stands for reads as blank too: only a date
        // well inside the calendar (years 1 to 9999) is surely not.
        return "(" + name + " IS NULL OR NOT (typeof(" + name + ") IN ('integer', 'real') AND " + name +
               " <> 0 AND " + name + " BETWEEN " + std::to_string(kFirstSureDay) + " AND " +
               std::to_string(kLastSureDay) + "))";
      default: return std::nullopt;  // a Single may turn 0 only as it is read
    }
  }
  // Date numbers of 2 January of year 1 and 31 December 9999.
  static constexpr int kFirstSureDay = -693592;
  static constexpr int kLastSureDay = 2958465;

  std::optional<std::string> Comparison(std::uint32_t op, std::uint16_t left, std::uint16_t right,
                                        std::uint16_t partialLength) {
    const char* sqlOp = SqlOperator(op);
    TFilterColumn column;
    auto constant = blob_.Node<TFilterConstantNode>(right);
    if (sqlOp == nullptr || partialLength != 0 || !FieldColumn(left, column) || !constant ||
        constant->Header.NodeClass != filternode::Constant)
      return std::nullopt;
    auto bytes = blob_.LiteralBytes(constant->ValueOffset, constant->Size);
    if (!bytes) return std::nullopt;
    std::string name = QuoteName(column.name);
    if (constant->FieldType == fldtype::ZString && column.fieldType == fldtype::ZString &&
        column.daoType == daotype::Text && op == filterop::Equal) {
      std::string text(bytes->c_str());  // up to its terminator
      // Longer than the field holds: the engine compares only what fits.
      if (text.size() + 1 >= column.length) return std::nullopt;
      // The column ignores case, the engine may not: equal there is equal here.
      if (text.empty()) return "(" + name + " IS NULL OR " + name + " = '')";
      return name + " = " + QuoteText(text);
    }
    std::optional<std::string> literal = Literal(column, constant->FieldType, *bytes);
    if (!literal) return std::nullopt;
    // A Null number reads as 0 in the engine.
    return "(" + name + " " + sqlOp + " " + *literal + " OR (" + name + " IS NULL AND 0 " + sqlOp + " " +
           *literal + "))";
  }

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
