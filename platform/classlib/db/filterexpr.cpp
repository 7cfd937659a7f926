#include "platform/classlib/db/filterexpr.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/dbvariant.h"

namespace {

enum class Tok { End, Name, QuotedName, Text, Number, Symbol };  // QuotedName: [name]

struct Token {
  Tok kind = Tok::End;
  std::string text;
};

// ---- scanner ------------------------------------------------------------------

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) { Advance(); }
  const Token& Current() const { return token_; }
  void Advance();
  bool IsKeyword(const char* word) const {
    return token_.kind == Tok::Name && SameText(token_.text, word);
  }
  bool IsSymbol(const char* symbol) const {
    return token_.kind == Tok::Symbol && token_.text == symbol;
  }
  // How the current token reads in a message.
  std::string Describe() const {
    return token_.kind == Tok::End ? std::string("end of expression") : "'" + token_.text + "'";
  }

 private:
  std::string ReadQuoted(char close, const char* unterminated);
  std::string_view text_;
  std::size_t pos_ = 0;
  Token token_;
};

std::string Scanner::ReadQuoted(char close, const char* unterminated) {
  std::string out;
  ++pos_;  // opening character
  for (;;) {
    if (pos_ >= text_.size()) DatabaseError(unterminated);
    char c = text_[pos_++];
    if (c == close) {
      // A doubled quote stands for itself inside a text.
      if (close != ']' && pos_ < text_.size() && text_[pos_] == close) {
        out += close;
        ++pos_;
        continue;
      }
      return out;
    }
    out += c;
  }
}

void Scanner::Advance() {
  while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  token_ = Token{};
  if (pos_ >= text_.size()) return;
  char c = text_[pos_];
  auto isNameChar = [](char ch) {
    unsigned char u = static_cast<unsigned char>(ch);
    return std::isalnum(u) || ch == '_' || u >= 0x80;
  };
  if (c == '\'') {
    token_ = {Tok::Text, ReadQuoted('\'', dbtext::ExprStringError)};
  } else if (c == '"') {
    token_ = {Tok::Text, ReadQuoted('"', dbtext::ExprStringError)};
  } else if (c == '[') {
    token_ = {Tok::QuotedName, ReadQuoted(']', dbtext::ExprNameError)};
  } else if (std::isdigit(static_cast<unsigned char>(c)) ||
             ((c == '-' || c == '.') && pos_ + 1 < text_.size() &&
              std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
    std::size_t start = pos_++;
    while (pos_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.'))
      ++pos_;
    token_ = {Tok::Number, std::string(text_.substr(start, pos_ - start))};
  } else if (isNameChar(c)) {
    std::size_t start = pos_;
    while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    token_ = {Tok::Name, std::string(text_.substr(start, pos_ - start))};
  } else if (c == '(' || c == ')' || c == '=') {
    token_ = {Tok::Symbol, std::string(1, c)};
    ++pos_;
  } else if (c == '<' || c == '>') {
    std::string op(1, c);
    ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == '=' || (c == '<' && text_[pos_] == '>')))
      op += text_[pos_++];
    token_ = {Tok::Symbol, op};
  } else {
    DatabaseErrorFmt(dbtext::ExprInvalidChar, {std::string(1, c)});
  }
}

// ---- tree ----------------------------------------------------------------------

enum class Kind { Field, Const, Null, Unary, Binary, Compare };

struct Node {
  Kind kind;
  std::uint32_t op = 0;
  std::string text;          // field name or constant text
  bool quotedText = false;   // a constant written as 'text'
  const TField* field = nullptr;
  std::uint16_t type = 0;    // constant's logical type once typed
  std::string value;         // constant's bytes once typed
  bool caseInsensitive = false;
  std::uint16_t partial = 0;
  std::unique_ptr<Node> left, right;
};

using NodePtr = std::unique_ptr<Node>;

NodePtr MakeNode(Kind kind, std::uint32_t op = 0) {
  auto n = std::make_unique<Node>();
  n->kind = kind;
  n->op = op;
  return n;
}

std::uint32_t Mirror(std::uint32_t op) {
  switch (op) {
    case filterop::Greater: return filterop::Less;
    case filterop::Less: return filterop::Greater;
    case filterop::GreaterOrEqual: return filterop::LessOrEqual;
    case filterop::LessOrEqual: return filterop::GreaterOrEqual;
    default: return op;
  }
}

// A filter compares a memo as a text; every other type as the engine holds it.
std::uint16_t LogicalTypeOf(TFieldType type) {
  return type == ftMemo || type == ftFmtMemo ? fldtype::ZString : LogicalFieldType(type);
}

template <class T>
std::string Bytes(T value) {
  std::string s(sizeof(T), '\0');
  std::memcpy(s.data(), &value, sizeof(T));
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, const TDataSet* dataSet, TFilterOptions options)
      : scan_(text), dataSet_(dataSet), options_(options) {}

  NodePtr Parse() {
    NodePtr root = Condition(ParseOr());
    if (scan_.Current().kind != Tok::End) DatabaseError(dbtext::ExprTermination);
    return root;
  }

  // Each field equal to its value, joined by AND. Numbers and dates become
  // constants straight from the value: their text may not give it back. A
  // value's characters are its own ('*' is no pattern); with `lastPartial` the
  // last comparison, when it is of a text, holds for every text starting with
  // the value.
  NodePtr Equalities(const std::vector<const TField*>& fields, const std::vector<Variant>& values,
                     bool lastPartial) {
    literalText_ = true;
    NodePtr root;
    const std::size_t count = std::min(fields.size(), values.size());
    for (std::size_t i = 0; i < count; ++i) {
      NodePtr f = New(Kind::Field);
      f->field = fields[i];
      f->text = fields[i]->FieldName();
      NodePtr term;
      if (dbvar::IsNullish(values[i])) {
        term = BlankTest(std::move(f), false);
      } else {
        NodePtr c = New(Kind::Const);
        c->text = dbvar::ToString(values[i]);
        c->quotedText = true;
        ValueConstant(*c, fields[i]->DataType(), values[i]);
        term = Comparison(filterop::Equal, std::move(f), std::move(c));
        if (lastPartial && i + 1 == count && term->kind == Kind::Compare && term->right->type == fldtype::ZString)
          term->partial = std::uint16_t(std::min<std::size_t>(term->right->value.size() - 1, 0xFFFF));
      }
      root = root ? Logical(filterop::And, std::move(root), std::move(term)) : std::move(term);
    }
    return root;
  }

 private:
  NodePtr ParseOr() {
    NodePtr left = ParseAnd();
    while (scan_.IsKeyword("or")) {
      scan_.Advance();
      left = Logical(filterop::Or, std::move(left), ParseAnd());
    }
    return left;
  }

  NodePtr ParseAnd() {
    NodePtr left = ParseNot();
    while (scan_.IsKeyword("and")) {
      scan_.Advance();
      left = Logical(filterop::And, std::move(left), ParseNot());
    }
    return left;
  }

  // A blob holds at most 64 KB, so no expression has more nodes than this;
  // bounding them early also bounds the work and the tree's depth.
  static constexpr int kMaxNodes = int(0xFFFF / sizeof(TFilterUnaryNode));
  NodePtr New(Kind kind, std::uint32_t op = 0) {
    if (++nodes_ > kMaxNodes) DatabaseError(dbtext::ExprTooBig);
    return MakeNode(kind, op);
  }

  // Nesting is bounded so that no text can exhaust the stack.
  struct Depth {
    explicit Depth(int& d) : d_(d) {
      if (++d_ > kMaxDepth) DatabaseError(dbtext::ExprTooBig);
    }
    ~Depth() { --d_; }
    int& d_;
  };
  static constexpr int kMaxDepth = 256;

  NodePtr ParseNot() {
    if (scan_.IsKeyword("not")) {
      Depth guard(depth_);
      scan_.Advance();
      NodePtr n = New(Kind::Unary, filterop::Not);
      n->left = Condition(ParseNot());
      return n;
    }
    return ParseCompare();
  }

  NodePtr ParseCompare() {
    NodePtr left = ParseOperand();
    if (scan_.IsKeyword("is")) {
      scan_.Advance();
      bool negated = false;
      if (scan_.IsKeyword("not")) {
        negated = true;
        scan_.Advance();
      }
      if (!scan_.IsKeyword("null")) DatabaseErrorFmt(dbtext::ExprExpected, {scan_.Describe()});
      scan_.Advance();
      return BlankTest(std::move(left), negated);
    }
    static const struct {
      const char* symbol;
      std::uint32_t op;
    } kOps[] = {{"=", filterop::Equal},        {"<>", filterop::NotEqual},
                {"<", filterop::Less},         {">", filterop::Greater},
                {"<=", filterop::LessOrEqual}, {">=", filterop::GreaterOrEqual}};
    for (const auto& o : kOps) {
      if (!scan_.IsSymbol(o.symbol)) continue;
      scan_.Advance();
      NodePtr right = ParseOperand();
      return Comparison(o.op, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr ParseOperand() {
    const Token tok = scan_.Current();
    switch (tok.kind) {
      case Tok::Symbol:
        if (tok.text == "(") {
          Depth guard(depth_);
          scan_.Advance();
          NodePtr inner = ParseOr();
          if (!scan_.IsSymbol(")")) DatabaseErrorFmt(dbtext::ExprNoRParen, {scan_.Describe()});
          scan_.Advance();
          return inner;
        }
        break;
      case Tok::Name:
        if (SameText(tok.text, "null")) {
          scan_.Advance();
          return New(Kind::Null);
        }
        [[fallthrough]];
      case Tok::QuotedName: {
        scan_.Advance();
        const TField* field = FindField(tok.text);
        if (!field && tok.kind == Tok::Name &&
            (SameText(tok.text, "true") || SameText(tok.text, "false"))) {
          NodePtr c = New(Kind::Const);
          c->text = tok.text;
          c->type = fldtype::Bool;
          c->value = Bytes<std::int16_t>(SameText(tok.text, "true") ? -1 : 0);
          return c;
        }
        if (!field && dataSet_) DatabaseErrorFmt(dbtext::FieldNotFound, {tok.text});
        NodePtr f = New(Kind::Field);
        f->text = field ? field->FieldName() : tok.text;
        f->field = field;
        return f;
      }
      case Tok::Text:
      case Tok::Number: {
        scan_.Advance();
        NodePtr c = New(Kind::Const);
        c->text = tok.text;
        c->quotedText = tok.kind == Tok::Text;
        return c;
      }
      case Tok::End:
        break;
    }
    DatabaseErrorFmt(dbtext::ExprExpected, {scan_.Describe()});
  }

  const TField* FindField(const std::string& name) const {
    return dataSet_ ? dataSet_->FindField(name) : nullptr;
  }

  bool IsCondition(const Node& n) const {
    return n.kind == Kind::Unary || n.kind == Kind::Compare ||
           (n.kind == Kind::Binary && (n.op == filterop::And || n.op == filterop::Or));
  }

  // A Boolean field stands for "field = True"; anything else must be a condition.
  NodePtr Condition(NodePtr n) {
    if (IsCondition(*n)) return n;
    if (n->kind == Kind::Field && n->field && n->field->DataType() == ftBoolean) {
      NodePtr t = New(Kind::Const);
      t->text = "True";
      return Comparison(filterop::Equal, std::move(n), std::move(t));
    }
    DatabaseError(dbtext::ExprIncorrect);
  }

  NodePtr Logical(std::uint32_t op, NodePtr left, NodePtr right) {
    NodePtr n = New(Kind::Binary, op);
    n->left = Condition(std::move(left));
    n->right = Condition(std::move(right));
    return n;
  }

  NodePtr BlankTest(NodePtr operand, bool negated) {
    if (operand->kind == Kind::Const && operand->quotedText) operand = AsField(std::move(operand));
    if (operand->kind != Kind::Field) DatabaseError(dbtext::ExprBadNullTest);
    NodePtr n = New(Kind::Unary, negated ? filterop::NotBlank : filterop::IsBlank);
    n->left = std::move(operand);
    return n;
  }

  // The left operand of a comparison is resolved as a field by its text, also
  // when it is written as a quoted text.
  NodePtr AsField(NodePtr constant) {
    NodePtr f = New(Kind::Field);
    f->field = FindField(constant->text);
    f->text = f->field ? f->field->FieldName() : constant->text;
    return f;
  }

  NodePtr Comparison(std::uint32_t op, NodePtr left, NodePtr right) {
    if (IsCondition(*left) || IsCondition(*right)) DatabaseError(dbtext::ExprIncorrect);
    if (left->kind == Kind::Const && left->quotedText && FindField(left->text))
      left = AsField(std::move(left));
    if (left->kind == Kind::Const && right->kind == Kind::Field) {
      std::swap(left, right);
      op = Mirror(op);
    } else if (left->kind == Kind::Const && left->quotedText) {
      left = AsField(std::move(left));  // no such field: the engine compares the name as text
    }
    if (right->kind == Kind::Null || left->kind == Kind::Null) {
      if (op != filterop::Equal && op != filterop::NotEqual) DatabaseError(dbtext::ExprBadNullTest);
      NodePtr operand = right->kind == Kind::Null ? std::move(left) : std::move(right);
      return BlankTest(std::move(operand), op == filterop::NotEqual);
    }
    NodePtr n = New(Kind::Compare, op);
    const TField* field = left->kind == Kind::Field ? left->field : nullptr;
    if (right->kind == Kind::Const) TypeConstant(*right, field, *n);
    if (left->kind == Kind::Const) TypeConstant(*left, nullptr, *n);
    n->left = std::move(left);
    n->right = std::move(right);
    return n;
  }

  // Gives a constant its bytes, in the type of the field it is compared with.
  void TypeConstant(Node& c, const TField* field, Node& compare) {
    if (c.type != 0) return;  // TRUE / FALSE
    std::uint16_t type = field ? LogicalTypeOf(field->DataType()) : 0;
    const std::string& text = c.text;
    auto bad = [&]() {
      DatabaseErrorFmt(dbtext::NotAValidValue, {text, field ? field->DisplayName() : text});
    };
    if (type == 0 && c.quotedText)
      type = fldtype::ZString;
    else if (type == 0)
      type = text.find('.') != std::string::npos ? fldtype::Float : fldtype::Int32;
    c.type = type;
    switch (type) {
      case fldtype::ZString: {
        std::string s = text;
        if (!literalText_ && !s.empty() && s.back() == '*' && !options_.Contains(foNoPartialCompare)) {
          s.pop_back();
          compare.partial = std::uint16_t(std::min<std::size_t>(s.size(), 0xFFFF));
          if (s.empty()) compare.partial = 0;
        }
        compare.caseInsensitive = options_.Contains(foCaseInsensitive);
        c.value = s + '\0';
        return;
      }
      case fldtype::Int16: case fldtype::UInt16: case fldtype::Int32: {
        std::int64_t v;
        if (!TryStrToInt64(Trim(text), v)) bad();
        if (type == fldtype::Int16) {
          if (v < -32768 || v > 32767) bad();
          c.value = Bytes<std::int16_t>(std::int16_t(v));
        } else if (type == fldtype::UInt16) {
          if (v < 0 || v > 65535) bad();
          c.value = Bytes<std::uint16_t>(std::uint16_t(v));
        } else {
          if (v < INT32_MIN || v > INT32_MAX) bad();
          c.value = Bytes<std::int32_t>(std::int32_t(v));
        }
        return;
      }
      case fldtype::Float: {
        double v;
        if (!TryStrToFloat(Trim(text), v)) bad();
        c.value = Bytes<double>(v);
        return;
      }
      case fldtype::BCD: {
        TBcd bcd{};
        if (!TryPlainTextToBcd(Trim(text), bcd)) bad();
        c.value.assign(reinterpret_cast<const char*>(&bcd), sizeof bcd);
        return;
      }
      case fldtype::Bool: {
        bool v;
        if (!TryStrToBool(Trim(text), v)) bad();
        c.value = Bytes<std::int16_t>(v ? -1 : 0);
        return;
      }
      case fldtype::Date: case fldtype::Time: case fldtype::TimeStamp: {
        TDateTime v;
        bool ok = type == fldtype::Date   ? TryStrToDate(Trim(text), v)
                  : type == fldtype::Time ? TryStrToTime(Trim(text), v)
                                     : TryStrToDateTime(Trim(text), v);
        if (!ok) bad();
        c.value = DateBytes(type, v);
        return;
      }
      default:
        // Fields without a comparable constant form compare as text.
        c.type = fldtype::ZString;
        c.value = text + '\0';
        return;
    }
  }

  // Types a constant from a value where its text could lose precision;
  // anything else is typed from its text as a written constant is.
  static void ValueConstant(Node& c, TFieldType fieldType, const Variant& value) {
    std::uint16_t type = LogicalTypeOf(fieldType);
    if (type == fldtype::Float) {
      c.type = type;
      c.value = Bytes<double>(value.AsDouble());
    } else if (type == fldtype::Date || type == fldtype::Time || type == fldtype::TimeStamp) {
      c.type = type;
      c.value = DateBytes(type, value.AsDateTime());
    }
  }

  static std::string DateBytes(std::uint16_t type, TDateTime v) {
    TTimeStamp stamp = DateTimeToTimeStamp(v);
    if (type == fldtype::Date) return Bytes<std::int32_t>(stamp.Date);
    if (type == fldtype::Time) return Bytes<std::int32_t>(stamp.Time);
    return Bytes<double>(TimeStampToMSecs(stamp));
  }

  Scanner scan_;
  const TDataSet* dataSet_;
  TFilterOptions options_;
  bool literalText_ = false;  // a trailing '*' is a character, not a start of text
  int depth_ = 0;
  int nodes_ = 0;
};

// ---- writer ----------------------------------------------------------------------

class Writer {
 public:
  std::vector<std::uint8_t> Write(const Node& root) {
    Emit(root);
    constexpr std::size_t kHeaderSize = sizeof(TFilterBlobHeader);
    const TFilterBlobHeader header{filterblob::kVersion,
                                   Word(kHeaderSize + nodes_.size() + literals_.size()),
                                   Word(count_), Word(kHeaderSize),
                                   Word(kHeaderSize + nodes_.size())};
    std::vector<std::uint8_t> blob(kHeaderSize);
    std::memcpy(blob.data(), &header, sizeof header);
    blob.insert(blob.end(), nodes_.begin(), nodes_.end());
    blob.insert(blob.end(), literals_.begin(), literals_.end());
    return blob;
  }

 private:
  // Every size, count and offset of the blob is a 16-bit word.
  static std::uint16_t Word(std::size_t v) {
    if (v > 0xFFFF) DatabaseError(dbtext::ExprTooBig);
    return std::uint16_t(v);
  }
  // Nodes go in pre-order: a node's room is taken before its operands are
  // written, and the node is stored once their offsets are known.
  template <class TNodeLayout>
  std::size_t Reserve() {
    std::size_t at = nodes_.size();
    nodes_.resize(at + sizeof(TNodeLayout), 0);
    ++count_;
    return at;
  }
  template <class TNodeLayout>
  void Store(std::size_t at, const TNodeLayout& node) {
    std::memcpy(nodes_.data() + at, &node, sizeof node);
  }
  std::size_t Literal(const std::string& bytes) {
    std::size_t at = literals_.size();
    literals_.insert(literals_.end(), bytes.begin(), bytes.end());
    return at;
  }

  std::size_t Emit(const Node& n) {
    switch (n.kind) {
      case Kind::Unary: {
        std::size_t at = Reserve<TFilterUnaryNode>();
        std::uint16_t operand = Word(Emit(*n.left));
        Store(at, TFilterUnaryNode{{filternode::Unary, n.op}, operand});
        return at;
      }
      case Kind::Binary:
        return EmitBinary(n);
      case Kind::Compare: {
        bool text = n.right->type == fldtype::ZString || n.left->type == fldtype::ZString ||
                    (n.left->field && LogicalTypeOf(n.left->field->DataType()) == fldtype::ZString);
        if (!text) return EmitBinary(n);
        std::size_t at = Reserve<TFilterCompareNode>();
        std::uint16_t left = Word(Emit(*n.left));
        std::uint16_t right = Word(Emit(*n.right));
        Store(at, TFilterCompareNode{{filternode::Compare, n.op},
                                     std::uint16_t(n.caseInsensitive ? 1 : 0), n.partial, left,
                                     right});
        return at;
      }
      case Kind::Field: {
        std::size_t at = Reserve<TFilterFieldNode>();
        std::uint16_t number = Word(n.field ? std::size_t(std::max(n.field->FieldNo(), 0)) : 0);
        std::uint16_t name = Word(Literal(n.text + '\0'));
        Store(at, TFilterFieldNode{{filternode::Field, 0}, number, name});
        return at;
      }
      case Kind::Const: {
        std::size_t at = Reserve<TFilterConstantNode>();
        std::uint16_t size = Word(n.value.size());
        std::uint16_t value = Word(Literal(n.value));
        Store(at, TFilterConstantNode{{filternode::Constant, 0}, n.type, size, value});
        return at;
      }
      case Kind::Null:
        break;
    }
    DatabaseError(dbtext::ExprIncorrect);
  }

  std::size_t EmitBinary(const Node& n) {
    std::size_t at = Reserve<TFilterBinaryNode>();
    std::uint16_t left = Word(Emit(*n.left));
    std::uint16_t right = Word(Emit(*n.right));
    Store(at, TFilterBinaryNode{{filternode::Binary, n.op}, left, right});
    return at;
  }

  std::vector<std::uint8_t> nodes_;
  std::vector<std::uint8_t> literals_;
  std::size_t count_ = 0;
};

}  // namespace

std::vector<std::uint8_t> BuildEqualityFilterBlob(const std::vector<const TField*>& fields,
                                                  const std::vector<Variant>& values, TFilterOptions options,
                                                  bool lastPartial) {
  if (fields.empty()) return {};
  Parser parser("", fields.front()->DataSet(), options);
  NodePtr root = parser.Equalities(fields, values, lastPartial);
  return Writer().Write(*root);
}

std::vector<std::uint8_t> BuildFilterBlob(std::string_view text, const TDataSet* dataSet,
                                          TFilterOptions options) {
  if (Trim(text).empty()) return {};
  Parser parser(text, dataSet, options);
  NodePtr root = parser.Parse();
  return Writer().Write(*root);
}
