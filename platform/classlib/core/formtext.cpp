// The text form of form definitions and its conversion to and from the
// binary form:
//
//   object Form1: TForm1
//     Caption = 'Defects'#13#10'open'
//     Options = [goBorder, goShadow]
//     Lines.Strings = (
//       'one'
//       'two')
//     Columns = <
//       item
//         Width = 10
//       end>
//     Data = {
//       0A0B0C}
//     object Button1: TButton
//     end
//   end

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/strutils.h"

namespace {

constexpr int kMaxDepth = 200;
constexpr size_t kLineWidth = 64;

bool IdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9') || c == '.'; }

bool IsOneOf(const std::string& word, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(),
                     [&](const char* w) { return CompareText(word, w) == 0; });
}

// Names stand bare in the text form, so a name from a stream must read back as
// the same name: an identifier, not a word the text gives another meaning.
// Anything else is a damaged stream (the writer never makes one).
const std::string& Bare(const std::string& name, std::initializer_list<const char*> reserved) {
  const bool identifier =
      !name.empty() && IdentStart(name[0]) && std::all_of(name.begin(), name.end(), IdentChar);
  if (!identifier || IsOneOf(name, reserved)) throw EReadError("Invalid stream format");
  return name;
}

// ---- Binary to text -------------------------------------------------------------

class TextWriter {
 public:
  explicit TextWriter(TReader& reader) : reader_(reader) {}

  void ConvertObject(int indent) {
    Nest nest(depth_);
    TFilerFlags flags;
    int childPos = 0;
    reader_.ReadPrefix(flags, childPos);
    std::string className = Bare(reader_.ReadStr(), {});
    std::string name = reader_.ReadStr();
    if (!name.empty()) Bare(name, {});
    Indent(indent);
    out_ += flags.Contains(ffInherited) ? "inherited "
            : flags.Contains(ffInline)  ? "inline "
                                        : "object ";
    if (!name.empty()) out_ += name + ": ";
    out_ += className;
    if (flags.Contains(ffChildPos)) out_ += " [" + std::to_string(childPos) + "]";
    out_ += "\r\n";
    while (!reader_.EndOfList()) ConvertProperty(indent + 1);
    reader_.ReadListEnd();
    while (!reader_.EndOfList()) ConvertObject(indent + 1);
    reader_.ReadListEnd();
    Indent(indent);
    out_ += "end\r\n";
  }

  const std::string& Text() const { return out_; }

 private:
  struct Nest {
    explicit Nest(int& depth) : depth_(depth) {
      if (++depth_ > kMaxDepth) {
        --depth_;
        throw EReadError("Invalid stream format");
      }
    }
    ~Nest() { --depth_; }
    int& depth_;
  };

  void Indent(int indent) { out_.append(static_cast<size_t>(indent) * 2, ' '); }

  void ConvertProperty(int indent) {
    Indent(indent);
    const std::string name = Bare(reader_.ReadStr(), {"object", "inherited", "inline", "end"});
    if (name.back() == '.') throw EReadError("Invalid stream format");  // as the parser says
    out_ += name + " = ";
    ConvertValue(indent);
    out_ += "\r\n";
  }

  void ConvertValue(int indent) {
    Nest nest(depth_);
    switch (reader_.NextValue()) {
      case vaList:
        reader_.ReadValue();
        out_ += '(';
        while (!reader_.EndOfList()) {
          out_ += "\r\n";
          Indent(indent + 1);
          ConvertValue(indent + 1);
        }
        reader_.ReadListEnd();
        out_ += ')';
        return;
      case vaInt8: case vaInt16: case vaInt32: case vaInt64:
        out_ += std::to_string(reader_.ReadInt64());
        return;
      case vaExtended: out_ += FloatText(reader_.ReadFloat()); return;
      case vaSingle: out_ += FloatText(reader_.ReadSingle()) + 's'; return;
      case vaDate: out_ += FloatText(reader_.ReadDate()) + 'd'; return;
      case vaCurrency: out_ += CurrencyText(reader_.ReadCurrency()) + 'c'; return;
      case vaString: case vaLString: case vaWString: case vaUTF8String:
        ConvertString(reader_.ReadString(), indent);
        return;
      case vaIdent:
        out_ += Bare(reader_.ReadIdent(), {"False", "True", "nil", "Null", "INF", "NAN"});
        return;
      case vaFalse: case vaTrue: case vaNil: case vaNull:
        out_ += reader_.ReadIdent();
        return;
      case vaBinary: ConvertBinary(reader_.ReadBinary(), indent); return;
      case vaSet: {
        reader_.ReadValue();
        out_ += '[';
        bool first = true;
        for (std::string item = reader_.ReadStr(); !item.empty(); item = reader_.ReadStr()) {
          if (!first) out_ += ", ";
          if (item.find('.') != std::string::npos) throw EReadError("Invalid stream format");
          out_ += Bare(item, {});
          first = false;
        }
        out_ += ']';
        return;
      }
      case vaCollection:
        reader_.ReadValue();
        out_ += '<';
        while (!reader_.EndOfList()) {
          out_ += "\r\n";
          Indent(indent + 1);
          out_ += "item";
          TValueType v = reader_.NextValue();
          if (v == vaInt8 || v == vaInt16 || v == vaInt32)
            out_ += " [" + std::to_string(reader_.ReadInteger()) + "]";
          out_ += "\r\n";
          reader_.ReadListBegin();
          while (!reader_.EndOfList()) ConvertProperty(indent + 2);
          reader_.ReadListEnd();
          Indent(indent + 1);
          out_ += "end";
        }
        reader_.ReadListEnd();
        out_ += '>';
        return;
      default:
        throw EReadError("Invalid stream format");
    }
  }

  // Quoted runs for printable text (UTF-8 bytes included), #n for control
  // characters; long strings continue on following lines joined by "+".
  void ConvertString(const std::string& s, int indent) {
    if (s.empty()) {
      out_ += "''";
      return;
    }
    bool multiLine = s.size() > kLineWidth;
    if (multiLine) {
      out_ += "\r\n";
      Indent(indent + 1);
    }
    bool inQuotes = false;
    size_t lineLength = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      auto c = static_cast<unsigned char>(s[i]);
      bool continuation = (c & 0xC0) == 0x80;
      if (multiLine && lineLength >= kLineWidth && !continuation) {
        if (inQuotes) out_ += '\'';
        inQuotes = false;
        out_ += " +\r\n";
        Indent(indent + 1);
        lineLength = 0;
      }
      if (c < ' ' || c == 127) {
        if (inQuotes) out_ += '\'';
        inQuotes = false;
        std::string code = "#" + std::to_string(c);
        out_ += code;
        lineLength += code.size();
      } else {
        if (!inQuotes) out_ += '\'';
        inQuotes = true;
        out_ += static_cast<char>(c);
        if (c == '\'') out_ += '\'';
        ++lineLength;
      }
    }
    if (inQuotes) out_ += '\'';
  }

  void ConvertBinary(const std::string& bytes, int indent) {
    static const char* hex = "0123456789ABCDEF";
    out_ += '{';
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i % 32 == 0) {
        out_ += "\r\n";
        Indent(indent + 1);
      }
      auto b = static_cast<unsigned char>(bytes[i]);
      out_ += hex[b >> 4];
      out_ += hex[b & 15];
    }
    out_ += '}';
  }

  template <class F>
  static std::string FloatText(F value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    std::string text(buf, result.ptr);
    // A float always shows as one, so that it reads back as a float.
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
  }

  static std::string CurrencyText(int64_t scaled) {
    bool negative = scaled < 0;
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string frac = std::to_string(magnitude % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    while (frac.size() > 1 && frac.back() == '0') frac.pop_back();
    return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + frac;
  }

  TReader& reader_;
  std::string out_;
  int depth_ = 0;
};

// ---- Text to binary -------------------------------------------------------------

enum class Tok { End, Ident, String, Integer, Float, Char };

class TextParser {
 public:
  TextParser(std::string source, TWriter& writer) : src_(std::move(source)), writer_(writer) {
    if (src_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;  // byte-order mark
    Next();
  }

  void ConvertObject() {
    Nest nest(*this);
    TFilerFlags flags;
    if (IsKeyword("inherited"))
      flags.Include(ffInherited);
    else if (IsKeyword("inline"))
      flags.Include(ffInline);
    else if (!IsKeyword("object"))
      Error("'object' expected");
    Next();
    std::string name;
    int classLine = tokLine_;
    std::string className = ExpectIdent();
    if (tok_ == Tok::Char && text_ == ":") {
      Next();
      name = className;
      classLine = tokLine_;
      className = ExpectIdent();
    }
    // The reader takes a first header byte from 0xF0 on for the flags prefix,
    // and a class name's length byte comes first when there are no flags.
    if (className.size() >= 0xF0) Error("Class name too long", classLine);
    int childPos = 0;
    if (tok_ == Tok::Char && text_ == "[") {
      Next();
      childPos = static_cast<int>(ExpectInteger());
      ExpectChar("]");
      flags.Include(ffChildPos);
    }
    writer_.WritePrefix(flags, childPos);
    writer_.WriteStr(className);
    writer_.WriteStr(name);
    while (!IsKeyword("end") && !IsObjectStart()) {
      if (tok_ == Tok::End) Error("'end' expected");
      ConvertProperty();
    }
    writer_.WriteListEnd();
    while (IsObjectStart()) ConvertObject();
    writer_.WriteListEnd();
    if (!IsKeyword("end")) Error("'end' expected");
    Next();
  }

 private:
  struct Nest {
    explicit Nest(TextParser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) p_.Error("Nesting too deep");
    }
    ~Nest() { --p_.depth_; }
    TextParser& p_;
  };

  [[noreturn]] void Error(const std::string& what, int line = 0) const {
    throw EParserError(what + " on line " + std::to_string(line > 0 ? line : tokLine_));
  }

  bool IsKeyword(const char* word) const {
    return tok_ == Tok::Ident && CompareText(text_, word) == 0;
  }
  bool IsObjectStart() const {
    return IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline");
  }

  // A name; "-x" is an identifier token only for the values -INF and the like.
  std::string ExpectIdent() {
    if (tok_ != Tok::Ident || text_[0] == '-') Error("Identifier expected");
    std::string s = text_;
    Next();
    return s;
  }
  void ExpectChar(const char* c) {
    if (tok_ != Tok::Char || text_ != c) Error(std::string("'") + c + "' expected");
    Next();
  }
  int64_t ExpectInteger() {
    if (tok_ != Tok::Integer) Error("Number expected");
    int64_t v = intValue_;
    Next();
    return v;
  }

  void ConvertProperty() {
    std::string name = ExpectIdent();
    if (name.back() == '.') Error("Identifier expected");
    writer_.WriteStr(name);
    ExpectChar("=");
    ConvertValue();
  }

  void ConvertValue(bool inList = false) {
    Nest nest(*this);
    switch (tok_) {
      case Tok::String: {
        std::string s = text_;
        Next();
        // 'first part' + 'second part' continue one string over lines.
        while (tok_ == Tok::Char && text_ == "+") {
          Next();
          if (tok_ != Tok::String) Error("String expected");
          s += text_;
          Next();
        }
        writer_.WriteString(s);
        return;
      }
      case Tok::Integer: writer_.WriteInteger(intValue_); Next(); return;
      case Tok::Float: ConvertFloat(); Next(); return;
      case Tok::Ident: {
        std::string ident = text_;
        Next();
        if (CompareText(ident, "Null") == 0) {
          // Null's value kind is the list end itself, as the writer knows too.
          if (inList) Error("Null cannot stand inside a list");
          writer_.WriteValue(vaNull);
        }
        else if (CompareText(ident, "INF") == 0) writer_.WriteFloat(HUGE_VAL);
        else if (CompareText(ident, "-INF") == 0) writer_.WriteFloat(-HUGE_VAL);
        else if (CompareText(ident, "NAN") == 0) writer_.WriteFloat(std::nan(""));
        else if (ident.front() == '-') Error("Number expected");
        else writer_.WriteIdent(ident);
        return;
      }
      case Tok::Char: break;
      default: Error("Property value expected");
    }
    if (text_ == "[") {
      Next();
      writer_.WriteValue(vaSet);
      if (!(tok_ == Tok::Char && text_ == "]")) {
        for (;;) {
          std::string item = ExpectIdent();
          if (item.find('.') != std::string::npos) Error("Identifier expected");
          writer_.WriteStr(item);
          if (tok_ == Tok::Char && text_ == "]") break;
          ExpectChar(",");
        }
      }
      Next();
      writer_.WriteStr("");
    } else if (text_ == "(") {
      Next();
      writer_.WriteListBegin();
      while (!(tok_ == Tok::Char && text_ == ")")) {
        if (tok_ == Tok::End) Error("')' expected");
        ConvertValue(true);
      }
      Next();
      writer_.WriteListEnd();
    } else if (text_ == "{") {
      ConvertBinary();
    } else if (text_ == "<") {
      Next();
      writer_.WriteValue(vaCollection);
      while (IsKeyword("item")) {
        Next();
        if (tok_ == Tok::Char && text_ == "[") {
          Next();
          writer_.WriteInteger(ExpectInteger());
          ExpectChar("]");
        }
        writer_.WriteListBegin();
        while (!IsKeyword("end")) {
          if (tok_ == Tok::End) Error("'end' expected");
          ConvertProperty();
        }
        Next();
        writer_.WriteListEnd();
      }
      ExpectChar(">");
      writer_.WriteListEnd();
    } else {
      Error("Property value expected");
    }
  }

  void ConvertFloat() {
    const char* first = floatText_.data();
    const char* last = first + floatText_.size();
    switch (floatSuffix_) {
      case 's': {
        float f = 0;
        if (std::from_chars(first, last, f).ec != std::errc())
          Error("Invalid floating-point value");
        writer_.WriteSingle(f);
        return;
      }
      case 'c': writer_.WriteCurrency(CurrencyValue()); return;
      default: {
        double d = 0;
        if (std::from_chars(first, last, d).ec != std::errc())
          Error("Invalid floating-point value");
        if (floatSuffix_ == 'd')
          writer_.WriteDate(d);
        else
          writer_.WriteFloat(d);
      }
    }
  }

  // Currency text is exact to four decimals ("12.5c"); other forms go through a double.
  int64_t CurrencyValue() {
    const std::string& t = floatText_;
    bool negative = t[0] == '-';
    size_t begin = negative ? 1 : 0;
    size_t dot = t.find('.');
    std::string whole = t.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
    std::string frac = dot == std::string::npos ? "" : t.substr(dot + 1);
    auto digits = [](const std::string& x) {
      return std::all_of(x.begin(), x.end(), [](char c) { return Digit(c); });
    };
    if (!whole.empty() && digits(whole) && digits(frac) && frac.size() <= 4 && whole.size() <= 15) {
      frac.append(4 - frac.size(), '0');
      // 15 whole digits and 4 decimals fit in 64 unsigned bits, so the whole
      // currency range reads exactly, down to its lowest value.
      const uint64_t magnitude = std::stoull(whole) * 10000 + std::stoull(frac);
      if (magnitude > uint64_t(INT64_MAX) + (negative ? 1 : 0)) Error("Number out of range");
      return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    }
    double d = 0;
    std::from_chars(t.data(), t.data() + t.size(), d);
    if (!(std::fabs(d) < 9.2e14)) Error("Number out of range");
    return std::llround(d * 10000.0);
  }

  void ConvertBinary() {
    // The token stream is character-based; read the hex digits directly.
    std::string bytes;
    int high = -1;
    for (;;) {
      if (pos_ >= src_.size()) Error("'}' expected");
      char c = src_[pos_++];
      if (c == '}') break;
      if (c == '\n') ++line_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
      int v = DigitValue(c, 16);
      if (v < 0) {
        tokLine_ = line_;
        Error("Invalid binary value");
      }
      if (high < 0) {
        high = v;
      } else {
        bytes += static_cast<char>(high * 16 + v);
        high = -1;
      }
    }
    if (high >= 0) {
      tokLine_ = line_;
      Error("Invalid binary value");
    }
    writer_.WriteBinary(bytes);
    Next();
  }

  static bool Digit(char c) { return c >= '0' && c <= '9'; }
  // The value of a digit in base 10 or 16; -1 when c is none.
  static int DigitValue(char c, int base) {
    int v = Digit(c)                ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    return v < base ? v : -1;
  }

  void Next() {
    while (pos_ < src_.size() && (src_[pos_] == ' ' || src_[pos_] == '\t' || src_[pos_] == '\r' ||
                                  src_[pos_] == '\n')) {
      if (src_[pos_] == '\n') ++line_;
      ++pos_;
    }
    tokLine_ = line_;
    text_.clear();
    if (pos_ >= src_.size()) {
      tok_ = Tok::End;
      return;
    }
    char c = src_[pos_];
    if (IdentStart(c) || (c == '-' && pos_ + 1 < src_.size() && IdentStart(src_[pos_ + 1]))) {
      size_t start = pos_++;
      while (pos_ < src_.size() && IdentChar(src_[pos_])) ++pos_;
      text_ = src_.substr(start, pos_ - start);
      tok_ = Tok::Ident;
    } else if (c == '\'' || c == '#') {
      ReadString();
    } else if (Digit(c) || c == '$' ||
               (c == '-' && pos_ + 1 < src_.size() &&
                (Digit(src_[pos_ + 1]) || src_[pos_ + 1] == '$'))) {
      ReadNumber();
    } else {
      text_ = std::string(1, c);
      ++pos_;
      tok_ = Tok::Char;
    }
  }

  void ReadString() {
    tok_ = Tok::String;
    while (pos_ < src_.size()) {
      char c = src_[pos_];
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= src_.size() || src_[pos_] == '\n' || src_[pos_] == '\r')
            Error("Unterminated string");
          char q = src_[pos_++];
          if (q == '\'') {
            if (pos_ < src_.size() && src_[pos_] == '\'') {
              text_ += '\'';
              ++pos_;
              continue;
            }
            break;
          }
          text_ += q;
        }
      } else if (c == '#') {
        ++pos_;
        uint32_t code = 0;
        int base = 10;
        if (pos_ < src_.size() && src_[pos_] == '$') {
          base = 16;
          ++pos_;
        }
        size_t start = pos_;
        for (int d; pos_ < src_.size() && (d = DigitValue(src_[pos_], base)) >= 0;) {
          code = code * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
          if (code > 0x10FFFF) Error("Invalid string constant");
          ++pos_;
        }
        if (pos_ == start) Error("Invalid string constant");
        Utf8Append(text_, code);
      } else {
        break;
      }
    }
  }

  void ReadNumber() {
    size_t start = pos_;
    bool negative = src_[pos_] == '-';
    if (negative) ++pos_;
    if (src_[pos_] == '$') {
      ++pos_;
      size_t digits = pos_;
      while (pos_ < src_.size() && std::isxdigit(static_cast<unsigned char>(src_[pos_]))) ++pos_;
      uint64_t v = 0;
      auto r = std::from_chars(src_.data() + digits, src_.data() + pos_, v, 16);
      if (pos_ == digits || r.ec != std::errc()) Error("Number expected");
      tok_ = Tok::Integer;
      intValue_ = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
      return;
    }
    bool isFloat = false;
    while (pos_ < src_.size() && Digit(src_[pos_])) ++pos_;
    if (pos_ < src_.size() && src_[pos_] == '.' && pos_ + 1 < src_.size() &&
        Digit(src_[pos_ + 1])) {
      isFloat = true;
      ++pos_;
      while (pos_ < src_.size() && Digit(src_[pos_])) ++pos_;
    }
    if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
      size_t save = pos_++;
      if (pos_ < src_.size() && (src_[pos_] == '+' || src_[pos_] == '-')) ++pos_;
      if (pos_ < src_.size() && Digit(src_[pos_])) {
        isFloat = true;
        while (pos_ < src_.size() && Digit(src_[pos_])) ++pos_;
      } else {
        pos_ = save;
      }
    }
    floatText_ = src_.substr(start, pos_ - start);
    floatSuffix_ = 0;
    if (pos_ < src_.size()) {
      char s = static_cast<char>(src_[pos_] | 0x20);
      if (s == 's' || s == 'c' || s == 'd') {
        floatSuffix_ = s;
        isFloat = true;
        ++pos_;
      }
    }
    if (floatText_.front() == '+') floatText_.erase(0, 1);
    if (isFloat) {
      tok_ = Tok::Float;
      return;
    }
    tok_ = Tok::Integer;
    auto r = std::from_chars(floatText_.data(), floatText_.data() + floatText_.size(), intValue_);
    if (r.ec != std::errc()) Error("Number out of range");
  }

  std::string src_;
  TWriter& writer_;
  size_t pos_ = 0;
  int line_ = 1;
  int tokLine_ = 1;
  int depth_ = 0;
  Tok tok_ = Tok::End;
  std::string text_;
  int64_t intValue_ = 0;
  std::string floatText_;
  char floatSuffix_ = 0;
};

std::string ReadAll(TStream* input) {
  int64_t size = input->Size() - input->Position();
  std::string data(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  if (!data.empty()) input->ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  return data;
}

}  // namespace

void ObjectBinaryToText(TStream* input, TStream* output) {
  TReader reader(input);
  reader.ReadSignature();
  TextWriter writer(reader);
  writer.ConvertObject(0);
  output->WriteBuffer(writer.Text().data(), static_cast<int64_t>(writer.Text().size()));
}

void ObjectTextToBinary(TStream* input, TStream* output) {
  TWriter writer(output);
  writer.WriteSignature();
  TextParser parser(ReadAll(input), writer);
  parser.ConvertObject();
}
