#include "datactrls/wwfilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "datactrls/wwstr.h"
#include "dbengine/filters.h"
#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/filterblob.h"

namespace {

// Every node takes a slot of this size, whatever its class.
constexpr std::size_t kSlotSize = 14;
constexpr std::size_t kHeaderSize = sizeof(TFilterBlobHeader);
static_assert(sizeof(TFilterConstantNode) == kSlotSize);
static_assert(sizeof(TFilterBinaryNode) <= kSlotSize && sizeof(TFilterFieldNode) <= kSlotSize);

enum NodeKind : std::uint8_t { nkComparison, nkConnective, nkArithmetic, nkOperand };

// One node of the expression tree; owns its operands.
struct TNode {
  NodeKind Kind = nkOperand;
  TwwFilterConstKind ConstKind = fckField;
  int Scale = 0;
  std::string Text;
  std::size_t CodeOffset = 0;
  int Height = 0;  // levels below this node
  std::unique_ptr<TNode> Left;
  std::unique_ptr<TNode> Right;
};

bool IsNameStart(char32_t c) {
  return std::u32string_view(U"!#$*+-/@_`").find(c) != std::u32string_view::npos ||
         (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || c >= 146;
}
bool IsNameChar(char32_t c) { return IsNameStart(c) || c == U' ' || (c >= U'0' && c <= U'9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Words are held in buffers of this many characters: a longer name, number
// or unquoted text stands in the expression for its first 64 characters. The
// whole word is read past, so that its rest never ends the expression as a
// stray word; a quoted text stays whole, as cut it would lose its closing
// quote and stand for another text.
constexpr long long kWordChars = 64;
std::string WordText(const std::string& token) {
  if (!token.empty() && token[0] == '"') return token;
  return Utf8Copy(token, 1, kWordChars);
}

class FilterParser {
 public:
  FilterParser(const std::string& expression, const TwwFilterFieldLookup& lookup,
               const TwwFilterWarning& warn)
      : rest_(expression), lookup_(lookup), warn_(warn) {}

  ~FilterParser() {
    // Nodes left on the stack by a failed or aborted parse.
    while (nodes_.Count() > 0) delete static_cast<TNode*>(nodes_.Pop());
  }

  // The root of the tree, or nullptr when the expression does not parse.
  std::unique_ptr<TNode> Parse() {
    if (!Logical() || nodes_.Count() != 1) return nullptr;
    return std::unique_ptr<TNode>(static_cast<TNode*>(nodes_.Pop()));
  }

 private:
  // ---- scanner ----
  // The next token at the front of the remaining text, without consuming it;
  // blanks and tabs before it are dropped for good.
  std::string Peek() {
    std::size_t lead = 0;
    while (lead < rest_.size() && (rest_[lead] == ' ' || rest_[lead] == '\t')) ++lead;
    rest_.erase(0, lead);
    std::string token = Token();
    while (!token.empty() && token.back() == ' ') token.pop_back();
    return token;
  }

  std::string Token() const {
    if (rest_.empty()) return {};
    const char first = rest_[0];
    if (first == '(' || first == ')') return rest_.substr(0, 1);
    auto isRelation = [](char c) { return c == '<' || c == '=' || c == '>'; };
    if (isRelation(first))
      return rest_.substr(0, rest_.size() > 1 && isRelation(rest_[1]) ? 2 : 1);
    if (connectives_) {
      std::string upper = UpperCase(rest_.substr(0, 3));
      if (upper == "AND") return rest_.substr(0, 3);
      if (upper.compare(0, 2, "OR") == 0) return rest_.substr(0, 2);
    }
    std::size_t pos = 0;
    if (IsNameStart(Utf8Decode(rest_, pos))) {
      std::size_t end = pos;
      while (end < rest_.size()) {
        std::size_t next = end;
        if (!IsNameChar(Utf8Decode(rest_, next))) break;
        end = next;
      }
      return rest_.substr(0, end);
    }
    std::size_t end = 0;
    if (rest_[end] == '-') ++end;
    if (end < rest_.size() && IsDigit(rest_[end])) {
      while (end < rest_.size() && IsDigit(rest_[end])) ++end;
      if (end < rest_.size() && rest_[end] == FormatSettings.DecimalSeparator) {
        ++end;
        while (end < rest_.size() && IsDigit(rest_[end])) ++end;
      }
      return rest_.substr(0, end);
    }
    if (first == '"') {
      std::size_t close = rest_.find('"', 1);
      if (close != std::string::npos) return rest_.substr(0, close + 1);
    }
    return {};
  }

  bool Accept(const std::string& token) {
    if (token.empty() || rest_.compare(0, token.size(), token) != 0) return false;
    rest_.erase(0, token.size());
    symbols_.Push(token);
    return true;
  }

  bool Reduce(int count, const char* label) {
    for (int i = 0; i < count; ++i) {
      if (symbols_.Count() == 0) return false;
      symbols_.Pop();
    }
    symbols_.Push(label);
    return true;
  }

  // ---- grammar ----
  bool Logical() {
    if (!Relation()) return false;
    for (;;) {
      connectives_ = true;
      std::string token = Peek();
      connectives_ = false;
      std::string upper = UpperCase(token);
      if (upper != "AND" && upper != "OR") return true;
      if (!Accept(token) || !Relation() || !Reduce(3, "L") || !MakeNode(nkConnective, token))
        return false;
    }
  }

  bool Relation() {
    if (!Additive()) return false;
    std::string token = Peek();
    if (token != "<" && token != "<>" && token != "<=" && token != ">=" && token != "=" &&
        token != ">")
      return true;
    return Accept(token) && Additive() && Reduce(3, "R") && MakeNode(nkComparison, token);
  }

  bool Additive() {
    if (!Term()) return false;
    for (;;) {
      std::string token = Peek();
      if (token != "+" && token != "-") return true;
      if (!Accept(token) || !Term() || !Reduce(3, "E") || !MakeNode(nkArithmetic, token))
        return false;
    }
  }

  bool Term() {
    if (!Primary()) return false;
    std::string token = Peek();
    if (token != "*" && token != "/") return true;
    Nesting nesting(depth_);
    return nesting.Allowed() && Accept(token) && Term() && Reduce(3, "T") &&
           MakeNode(nkArithmetic, token);
  }

  bool Primary() {
    std::string token = Peek();
    if (token == "(") {
      Nesting nesting(depth_);
      return nesting.Allowed() && Accept("(") && Logical() && Accept(")") && Reduce(3, "P");
    }
    return Accept(token) && Reduce(1, "P") && MakeNode(nkOperand, token);
  }

  // Counts the levels of recursion; deeper than the engine evaluates, a text
  // fails to parse.
  class Nesting {
   public:
    explicit Nesting(int& depth) : depth_(++depth) {}
    ~Nesting() { --depth_; }
    bool Allowed() const { return depth_ <= kMaxFilterDepth; }

   private:
    int& depth_;
  };

  bool MakeNode(NodeKind kind, const std::string& token) {
    auto node = std::make_unique<TNode>();
    node->Kind = kind;
    node->Text = WordText(token);
    if (kind != nkOperand) {
      if (nodes_.Count() < 2) return false;
      node->Right.reset(static_cast<TNode*>(nodes_.Pop()));
      node->Left.reset(static_cast<TNode*>(nodes_.Pop()));
      // The engine refuses expressions nested deeper than it evaluates.
      node->Height = 1 + std::max(node->Left->Height, node->Right->Height);
      if (node->Height > kMaxFilterDepth) return false;
      if (node->Left->Kind == nkOperand) {
        TwwFilterField field;
        if (!lookup_ || !lookup_(node->Left->Text, field)) {
          if (warn_) warn_(std::string(kFilterFieldNotFound) + "\r" + node->Left->Text);
          return false;
        }
        node->Right->ConstKind = field.ConstKind;
        if (field.ConstKind == fckBCD) node->Right->Scale = field.Scale;
      }
    }
    nodes_.Push(node.release());
    return true;
  }

  std::string rest_;
  const TwwFilterFieldLookup& lookup_;
  const TwwFilterWarning& warn_;
  bool connectives_ = false;
  int depth_ = 0;
  TStackStr symbols_;
  TStackPtr nodes_;
};

// ---- code generation ----

std::size_t CountNodes(const TNode* node) {
  return node ? 1 + CountNodes(node->Left.get()) + CountNodes(node->Right.get()) : 0;
}

std::uint32_t OperatorCode(const TNode& node) {
  const std::string op = UpperCase(node.Text);
  if (op == "AND") return filterop::And;
  if (op == "OR") return filterop::Or;
  if (op == "=") return filterop::Equal;
  if (op == "<>") return filterop::NotEqual;
  if (op == ">") return filterop::Greater;
  if (op == "<") return filterop::Less;
  if (op == ">=") return filterop::GreaterOrEqual;
  if (op == "<=") return filterop::LessOrEqual;
  if (op == "+") return filterop::Add;
  if (op == "-") return filterop::Subtract;
  if (op == "*") return filterop::Multiply;
  if (op == "/") return filterop::Divide;
  return 0;
}

template <class T>
void AppendBytes(std::vector<std::uint8_t>& out, const T& value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof(T));
}

// The text of a text-like constant: a quoted one loses its quotes.
std::string ConstantText(const std::string& text) {
  if (!text.empty() && text[0] == '"') return text.size() >= 2 ? text.substr(1, text.size() - 2) : "";
  std::string s = text;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct Constant {
  std::uint16_t Type;
  std::vector<std::uint8_t> Bytes;
};

Constant ConvertConstant(const TNode& node) {
  Constant c{};
  switch (node.ConstKind) {
    case fckString: {
      std::string text = Utf8Copy(ConstantText(node.Text), 1, 255);
      c.Type = fldtype::ZString;
      c.Bytes.assign(text.begin(), text.end());
      c.Bytes.push_back(0);
      break;
    }
    case fckFloat:
      c.Type = fldtype::Float;
      AppendBytes(c.Bytes, StrToFloat(node.Text));
      break;
    case fckDateTime: {
      std::string text = ConstantText(node.Text);
      TDateTime value = text.find(' ') != std::string::npos ? StrToDateTime(text) : StrToDate(text);
      c.Type = fldtype::TimeStamp;
      AppendBytes(c.Bytes, TimeStampToMSecs(DateTimeToTimeStamp(value)));
      break;
    }
    case fckDate:
      c.Type = fldtype::Date;
      AppendBytes(c.Bytes, DateTimeToTimeStamp(StrToDate(ConstantText(node.Text))).Date);
      break;
    case fckTime:
      c.Type = fldtype::Time;
      AppendBytes(c.Bytes, DateTimeToTimeStamp(StrToTime(ConstantText(node.Text))).Time);
      break;
    case fckBoolean: {
      std::string text = ConstantText(node.Text);
      std::uint16_t value = (!text.empty() && (text[0] == 'T' || text[0] == 't')) ? 0xFFFF : 0;
      c.Type = fldtype::Bool;
      AppendBytes(c.Bytes, value);
      break;
    }
    case fckInteger:
      c.Type = fldtype::Int32;
      AppendBytes(c.Bytes, static_cast<std::int32_t>(StrToInt(node.Text)));
      break;
    case fckBCD: {
      // BCD fields hold up to four places, as Currency does.
      const int places = node.Scale < 0 ? 0 : (node.Scale > 4 ? 4 : node.Scale);
      const double factor = std::pow(10.0, places);
      const double value = std::round(StrToFloat(node.Text) * factor) / factor;
      TBcd bcd;
      if (!CurrToBCD(Currency(value), bcd, 32, places))
        throw EConvertError("'" + node.Text + "' is not a valid BCD value");
      c.Type = fldtype::BCD;
      AppendBytes(c.Bytes, bcd);
      break;
    }
    case fckSmallInt:
      c.Type = fldtype::Int16;
      AppendBytes(c.Bytes, static_cast<std::uint16_t>(StrToInt(node.Text) & 0xFFFF));
      break;
    case fckField: break;
  }
  return c;
}

// Writes the tree in post-order, each node into the slot before the previous one,
// so that the root ends in the slot at offset 0.
class BlobWriter {
 public:
  explicit BlobWriter(std::size_t nodeCount)
      : nodes_(nodeCount * kSlotSize, 0), next_(nodeCount * kSlotSize) {}

  void Write(TNode& node) {
    if (node.Left) Write(*node.Left);
    if (node.Right) Write(*node.Right);
    next_ -= kSlotSize;
    node.CodeOffset = next_;
    std::uint8_t* slot = nodes_.data() + next_;
    if (node.Kind != nkOperand) {
      TFilterBinaryNode n{{filternode::Binary, OperatorCode(node)},
                          Offset(node.Left ? node.Left->CodeOffset : 0),
                          Offset(node.Right ? node.Right->CodeOffset : 0)};
      std::memcpy(slot, &n, sizeof n);
    } else if (node.ConstKind == fckField) {
      std::vector<std::uint8_t> name(node.Text.begin(), node.Text.end());
      name.push_back(0);
      TFilterFieldNode n{{filternode::Field, filterop::FieldRef}, Offset(++fieldCount_),
                         AddLiteral(name)};
      std::memcpy(slot, &n, sizeof n);
    } else {
      Constant c = ConvertConstant(node);
      TFilterConstantNode n{{filternode::Constant, filterop::ConstantValue}, c.Type,
                            Offset(c.Bytes.size()), AddLiteral(c.Bytes)};
      std::memcpy(slot, &n, sizeof n);
    }
  }

  // The whole blob; empty when it outgrows the 16-bit sizes and offsets.
  std::vector<std::uint8_t> Finish(std::size_t nodeCount) {
    if (!fits_) return {};
    const std::size_t total = kHeaderSize + nodes_.size() + literals_.size();
    if (total > 0xFFFF) return {};
    TFilterBlobHeader header{1, static_cast<std::uint16_t>(total),
                             static_cast<std::uint16_t>(nodeCount),
                             static_cast<std::uint16_t>(kHeaderSize),
                             static_cast<std::uint16_t>(kHeaderSize + nodes_.size())};
    std::vector<std::uint8_t> blob;
    blob.reserve(total);
    AppendBytes(blob, header);
    blob.insert(blob.end(), nodes_.begin(), nodes_.end());
    blob.insert(blob.end(), literals_.begin(), literals_.end());
    return blob;
  }

 private:
  std::uint16_t Offset(std::size_t value) {
    if (value > 0xFFFF) fits_ = false;
    return static_cast<std::uint16_t>(value);
  }
  std::uint16_t AddLiteral(const std::vector<std::uint8_t>& bytes) {
    std::uint16_t at = Offset(literals_.size());
    literals_.insert(literals_.end(), bytes.begin(), bytes.end());
    return at;
  }

  std::vector<std::uint8_t> nodes_;
  std::vector<std::uint8_t> literals_;
  std::size_t next_;
  std::size_t fieldCount_ = 0;
  bool fits_ = true;
};

}  // namespace

std::vector<std::uint8_t> wwCompileFilterExpression(const std::string& expression,
                                                    const TwwFilterFieldLookup& lookup,
                                                    const TwwFilterWarning& warn) {
  std::unique_ptr<TNode> root = FilterParser(expression, lookup, warn).Parse();
  if (!root) return {};
  const std::size_t count = CountNodes(root.get());
  BlobWriter writer(count);
  writer.Write(*root);
  return writer.Finish(count);
}
