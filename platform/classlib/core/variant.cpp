#include "platform/classlib/core/variant.h"

#include <cmath>
#include <limits>
#include <ostream>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(EVariantOverflowError, EVariantError)
IMPLEMENT_CLASS(EVariantTypeCastError, EVariantError)

struct Variant::ArrayData {
  TVarType elementType = varVariant;
  int low = 0;
  std::vector<std::uint8_t> bytes;  // varByte arrays
  std::vector<Variant> items;       // all others

  std::size_t Size() const { return elementType == varByte ? bytes.size() : items.size(); }
};

void Variant::ArrayDataDeleter::operator()(ArrayData* data) const { delete data; }


// Reaches the representation for the free functions of this file.
struct VariantAccess {
  using Data = Variant::ArrayData;
  static TVarType Type(const Variant& v) { return v.type_; }
  static std::int64_t Int(const Variant& v) { return v.int_; }
  static double Float(const Variant& v) { return v.float_; }
  static const std::string& Text(const Variant& v) { return v.text_; }
  static Variant::ArrayData* Array(const Variant& v) { return v.array_.get(); }
  static Variant MakeArray(TVarType elementType, int low, std::size_t count) {
    Variant v;
    v.type_ = varArray;
    v.array_.reset(new Variant::ArrayData());
    v.array_->elementType = elementType;
    v.array_->low = low;
    if (elementType == varByte)
      v.array_->bytes.resize(count);
    else
      v.array_->items.resize(count);
    return v;
  }
  static Variant Make(TVarType type, std::int64_t i, double f) {
    Variant v;
    v.type_ = type;
    v.int_ = i;
    v.float_ = f;
    return v;
  }
};

namespace {

using VA = VariantAccess;

bool IsIntegerType(TVarType t) {
  switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
      return true;
    default:
      return false;
  }
}

bool IsFloatType(TVarType t) { return t == varSingle || t == varDouble || t == varDate; }

bool IsNumberType(TVarType t) { return IsIntegerType(t) || IsFloatType(t) || t == varCurrency; }

TVarType Normalized(TVarType type) { return type == varString ? varOleStr : type; }

[[noreturn]] void RaiseCast(const Variant& from, TVarType to) {
  throw EVariantTypeCastError("Could not convert variant of type (" + VarTypeAsText(VarType(from)) +
                              ") into type (" + VarTypeAsText(to) + ")");
}

[[noreturn]] void RaiseOverflow() { throw EVariantOverflowError("Variant overflow"); }
[[noreturn]] void RaiseInvalidOperation() { throw EVariantError("Invalid variant operation"); }
[[noreturn]] void RaiseBounds() { throw EVariantError("Variant array bounds error"); }

// Rounds half to even into an int64, as the conversions of floating values do.
std::int64_t RoundToInt64(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) RaiseOverflow();
  return std::int64_t(rounded);
}

std::int64_t CurrencyToInt64(Currency c) {
  const std::int64_t raw = c.Raw();
  std::int64_t whole = raw / Currency::kScale;
  const std::int64_t rest = raw % Currency::kScale;
  const std::int64_t twice = 2 * (rest < 0 ? -rest : rest);
  if (twice > Currency::kScale || (twice == Currency::kScale && whole % 2 != 0))
    whole += raw < 0 ? -1 : 1;
  return whole;
}

// A text as a number, or false when it is none.
bool TextToDouble(const std::string& text, double& value) {
  return TryStrToFloat(text, value);
}

int CheckedInt(std::int64_t value) {
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    RaiseOverflow();
  return int(value);
}

// ---- comparison ---------------------------------------------------------------------

// -1, 0, 1; `comparable` false when the two cannot be compared (text that is no
// number against a number). Neither may be Null or an array.
int CompareValues(const Variant& a, const Variant& b, bool& comparable) {
  comparable = true;
  TVarType ta = VA::Type(a), tb = VA::Type(b);
  if (ta == varError || tb == varError) {
    if (ta == tb) return VA::Int(a) == VA::Int(b) ? 0 : (VA::Int(a) < VA::Int(b) ? -1 : 1);
    comparable = false;
    return 1;
  }
  const bool textA = ta == varOleStr, textB = tb == varOleStr;
  if (ta == varEmpty && tb == varEmpty) return 0;
  if ((textA || ta == varEmpty) && (textB || tb == varEmpty))
    return AnsiCompareStr(VA::Text(a), VA::Text(b));
  double x = 0, y = 0;
  if ((textA && tb == varDate) || (textB && ta == varDate)) {
    // A text against a date: as a date when it reads as one.
    TDateTime when;
    if (!TryStrToDateTime(VA::Text(textA ? a : b), when)) {
      comparable = false;
      return 1;
    }
    x = textA ? when.Value : VA::Float(a);
    y = textA ? VA::Float(b) : when.Value;
  } else if (textA || textB) {
    const Variant& text = textA ? a : b;
    double number;
    if (!TextToDouble(VA::Text(text), number)) {
      comparable = false;
      return 1;
    }
    (textA ? x : y) = number;
    (textA ? y : x) = (textA ? b : a).AsDouble();
  } else if ((IsIntegerType(ta) || ta == varEmpty) && (IsIntegerType(tb) || tb == varEmpty)) {
    const std::int64_t i = VA::Int(a), j = VA::Int(b);
    return i == j ? 0 : (i < j ? -1 : 1);
  } else if (ta == varCurrency && tb == varCurrency) {
    const std::int64_t i = VA::Int(a), j = VA::Int(b);
    return i == j ? 0 : (i < j ? -1 : 1);
  } else {
    x = a.AsDouble();
    y = b.AsDouble();
  }
  if (std::isnan(x) || std::isnan(y)) {
    comparable = false;
    return 1;
  }
  return x == y ? 0 : (x < y ? -1 : 1);
}

// ---- arithmetic -----------------------------------------------------------------------

enum class Op { Add, Subtract, Multiply, Divide };

// A text operand as the number it holds; other operands unchanged.
Variant Numeric(const Variant& v) {
  if (VA::Type(v) == varEmpty) return 0;
  if (VA::Type(v) != varOleStr) return v;
  double number;
  if (!TextToDouble(VA::Text(v), number)) RaiseCast(v, varDouble);
  return number;
}

Variant Arithmetic(const Variant& left, const Variant& right, Op op) {
  if (left.IsNull() || right.IsNull()) return Null;
  if (left.IsArray() || right.IsArray() || VA::Type(left) == varError ||
      VA::Type(right) == varError)
    RaiseInvalidOperation();
  if (op == Op::Add && VA::Type(left) == varOleStr && VA::Type(right) == varOleStr)
    return VA::Text(left) + VA::Text(right);

  const Variant a = Numeric(left), b = Numeric(right);
  const TVarType ta = VA::Type(a), tb = VA::Type(b);
  if (op == Op::Divide) {
    if (ta == varCurrency && tb != varCurrency && IsIntegerType(tb)) {
      if (VA::Int(b) == 0) throw EZeroDivide("Floating point division by zero");
      return a.AsCurrency() / Currency(VA::Int(b));
    }
    const double divisor = b.AsDouble();
    if (divisor == 0) throw EZeroDivide("Floating point division by zero");
    return a.AsDouble() / divisor;
  }
  if (IsIntegerType(ta) && IsIntegerType(tb)) {
    __int128 i = VA::Int(a), j = VA::Int(b), r;
    switch (op) {
      case Op::Add: r = i + j; break;
      case Op::Subtract: r = i - j; break;
      default: r = i * j; break;
    }
    if (r < std::numeric_limits<std::int64_t>::min() || r > std::numeric_limits<std::int64_t>::max())
      RaiseOverflow();
    const bool wide = ta == varInt64 || ta == varLongWord || tb == varInt64 || tb == varLongWord;
    if (!wide && r >= std::numeric_limits<int>::min() && r <= std::numeric_limits<int>::max())
      return int(r);
    return (long long)(r);
  }
  const bool dates = ta == varDate || tb == varDate;
  if (!dates && (ta == varCurrency || tb == varCurrency) && !IsFloatType(ta) && !IsFloatType(tb)) {
    try {
      const Currency x = a.AsCurrency(), y = b.AsCurrency();
      switch (op) {
        case Op::Add: return x + y;
        case Op::Subtract: return x - y;
        default: return x * y;
      }
    } catch (const EOverflow&) {
      RaiseOverflow();
    }
  }
  const double x = a.AsDouble(), y = b.AsDouble();
  double r;
  switch (op) {
    case Op::Add: r = x + y; break;
    case Op::Subtract: r = x - y; break;
    default: r = x * y; break;
  }
  // A date moved by a number stays a date; the distance between two is a number.
  if ((op == Op::Add && dates) || (op == Op::Subtract && ta == varDate && tb != varDate))
    return TDateTime(r);
  return r;
}

}  // namespace

// ---- construction -------------------------------------------------------------------

Variant::Variant(const Variant& other)
    : type_(other.type_), int_(other.int_), float_(other.float_), text_(other.text_),
      array_(other.array_ ? new ArrayData(*other.array_) : nullptr) {}

Variant::Variant(Variant&& other) noexcept
    : type_(other.type_), int_(other.int_), float_(other.float_), text_(std::move(other.text_)),
      array_(std::move(other.array_)) {
  other.type_ = varEmpty;
}

Variant& Variant::operator=(const Variant& other) & {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& other) & noexcept {
  if (this != &other) {
    type_ = other.type_;
    int_ = other.int_;
    float_ = other.float_;
    text_ = std::move(other.text_);
    array_ = std::move(other.array_);
    other.type_ = varEmpty;
  }
  return *this;
}

Variant::Variant(unsigned long v) : type_(varInt64), int_(std::int64_t(v)) {
  if (v > (unsigned long)std::numeric_limits<std::int64_t>::max()) RaiseOverflow();
}

Variant::Variant(unsigned long long v) : type_(varInt64), int_(std::int64_t(v)) {
  if (v > (unsigned long long)std::numeric_limits<std::int64_t>::max()) RaiseOverflow();
}

Variant Variant::FromError(std::uint32_t code) {
  return VA::Make(varError, std::int64_t(code), 0);
}

Variant Variant::FromType(TVarType type, std::int64_t value) {
  if (type == varBoolean) return value != 0;
  if (!IsIntegerType(type)) throw EVariantError("Invalid variant type conversion");
  return VarAsType(static_cast<long long>(value), type);
}

TVarType Variant::VType() const {
  return array_ ? TVarType(varArray | array_->elementType) : type_;
}

// ---- conversions ------------------------------------------------------------------

std::int64_t Variant::AsInt64() const {
  switch (type_) {
    case varEmpty: return 0;
    case varSingle:
    case varDouble:
    case varDate: return RoundToInt64(float_);
    case varCurrency: return CurrencyToInt64(Currency::FromRaw(int_));
    case varOleStr: {
      std::int64_t value;
      if (TryStrToInt64(text_, value)) return value;
      double number;
      if (TextToDouble(text_, number)) return RoundToInt64(number);
      RaiseCast(*this, varInt64);
    }
    default:
      if (IsIntegerType(type_) && !array_) return int_;
      RaiseCast(*this, varInt64);
  }
}

int Variant::AsInteger() const {
  if (type_ == varNull || type_ == varError || array_) RaiseCast(*this, varInteger);
  if (type_ == varOleStr) {
    int value;
    if (TryStrToInt(text_, value)) return value;
    double number;
    if (!TextToDouble(text_, number)) RaiseCast(*this, varInteger);
    return CheckedInt(RoundToInt64(number));
  }
  return CheckedInt(AsInt64());
}

double Variant::AsDouble() const {
  switch (type_) {
    case varEmpty: return 0;
    case varSingle:
    case varDouble:
    case varDate: return float_;
    case varCurrency: return Currency::FromRaw(int_).ToDouble();
    case varOleStr: {
      double number;
      if (TextToDouble(text_, number)) return number;
      RaiseCast(*this, varDouble);
    }
    default:
      if (IsIntegerType(type_) && !array_) return double(int_);
      RaiseCast(*this, varDouble);
  }
}

Currency Variant::AsCurrency() const {
  switch (type_) {
    case varEmpty: return Currency();
    case varCurrency: return Currency::FromRaw(int_);
    case varOleStr: {
      Currency value;
      if (TryStrToCurr(text_, value)) return value;
      RaiseCast(*this, varCurrency);
    }
    case varSingle:
    case varDouble:
    case varDate:
      try {
        return Currency(float_);
      } catch (const EOverflow&) {
        RaiseOverflow();
      }
    default:
      if (IsIntegerType(type_) && !array_) {
        const __int128 raw = __int128(int_) * Currency::kScale;
        if (raw < std::numeric_limits<std::int64_t>::min() ||
            raw > std::numeric_limits<std::int64_t>::max())
          RaiseOverflow();
        return Currency::FromRaw(std::int64_t(raw));
      }
      RaiseCast(*this, varCurrency);
  }
}

TDateTime Variant::AsDateTime() const {
  if (type_ == varOleStr) {
    TDateTime value;
    if (TryStrToDateTime(text_, value)) return value;
    double number;
    if (TextToDouble(text_, number)) return number;
    RaiseCast(*this, varDate);
  }
  if (type_ == varNull || type_ == varError || array_) RaiseCast(*this, varDate);
  return AsDouble();
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case varEmpty: return false;
    case varSingle:
    case varDouble:
    case varDate: return float_ != 0;
    case varCurrency: return int_ != 0;
    case varOleStr: {
      bool value;
      if (TryStrToBool(text_, value)) return value;
      RaiseCast(*this, varBoolean);
    }
    default:
      if (IsIntegerType(type_) && !array_) return int_ != 0;
      RaiseCast(*this, varBoolean);
  }
}

std::string Variant::AsString() const {
  switch (type_) {
    case varEmpty: return {};
    case varOleStr: return text_;
    case varBoolean: return BoolToStr(int_ != 0, true);
    case varSingle: return FloatToStrF(float_, ffGeneral, 7, 0);
    case varDouble: return FloatToStr(float_);
    case varCurrency: return CurrToStr(Currency::FromRaw(int_));
    case varDate: {
      // A pure time (day 0) shows as a time only.
      const double day = std::trunc(float_);
      if (day == 0 && float_ != 0) return TimeToStr(float_);
      return DateTimeToStr(float_);
    }
    default:
      if (IsIntegerType(type_) && !array_) return IntToStr(int_);
      RaiseCast(*this, varOleStr);
  }
}

std::uint32_t Variant::ErrorCode() const {
  if (type_ != varError) RaiseCast(*this, varError);
  return std::uint32_t(int_);
}

// ---- arrays ----------------------------------------------------------------------------

Variant Variant::GetElement(int index) const {
  if (!array_) throw EVariantError("Invalid variant operation");
  const long long at = (long long)index - array_->low;
  if (at < 0 || at >= (long long)array_->Size()) RaiseBounds();
  if (array_->elementType == varByte) return array_->bytes[std::size_t(at)];
  return array_->items[std::size_t(at)];
}

void Variant::PutElement(int index, const Variant& value) {
  if (!array_) throw EVariantError("Invalid variant operation");
  const long long at = (long long)index - array_->low;
  if (at < 0 || at >= (long long)array_->Size()) RaiseBounds();
  if (array_->elementType == varByte) {
    const std::int64_t byte = value.AsInt64();
    if (byte < 0 || byte > 255) RaiseOverflow();
    array_->bytes[std::size_t(at)] = std::uint8_t(byte);
  } else if (array_->elementType == varVariant) {
    array_->items[std::size_t(at)] = value;
  } else {
    array_->items[std::size_t(at)] = VarAsType(value, array_->elementType);
  }
}

// ---- comparison and arithmetic ----------------------------------------------------------

bool operator==(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
  if (a.IsArray() || b.IsArray()) {
    if (!a.IsArray() || !b.IsArray()) return false;
    if (VarArrayLowBound(a) != VarArrayLowBound(b) || VarArrayHighBound(a) != VarArrayHighBound(b))
      return false;
    for (int i = VarArrayLowBound(a); i <= VarArrayHighBound(a); ++i)
      if (!(a.GetElement(i) == b.GetElement(i))) return false;
    return true;
  }
  bool comparable;
  const int order = CompareValues(a, b, comparable);
  return comparable && order == 0;
}

bool operator<(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() && !b.IsNull();
  if (a.IsArray() || b.IsArray()) RaiseInvalidOperation();
  bool comparable;
  const int order = CompareValues(a, b, comparable);
  if (!comparable) {
    if (VA::Type(a) == varOleStr) RaiseCast(a, varDouble);
    if (VA::Type(b) == varOleStr) RaiseCast(b, varDouble);
    RaiseInvalidOperation();
  }
  return order < 0;
}

Variant operator+(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Add); }
Variant operator-(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Subtract); }
Variant operator*(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Multiply); }
Variant operator/(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Divide); }

Variant Variant::operator-() const {
  if (IsNull()) return Null;
  if (type_ == varDate) return TDateTime(-float_);
  return Arithmetic(0, *this, Op::Subtract);
}

std::ostream& operator<<(std::ostream& out, const Variant& v) {
  if (v.IsNull()) return out << "Null";
  if (v.IsEmpty()) return out << "Unassigned";
  if (v.IsArray() || VarType(v) == varError) return out << '(' << VarTypeAsText(VarType(v)) << ')';
  return out << v.AsString() << " (" << VarTypeAsText(VarType(v)) << ')';
}

// ---- free functions ----------------------------------------------------------------------

// Built at compile time, so that static objects of other files may use them.
// clang 14 cannot run libstdc++ 12's string constructor at compile time; the
// fuzzing build with it initialises them at start-up instead.
#if defined(__clang__) && __clang_major__ < 15
#define VARIANT_CONSTINIT
#else
#define VARIANT_CONSTINIT constinit
#endif
VARIANT_CONSTINIT const Variant Null{Variant::NullTag{}};
VARIANT_CONSTINIT const Variant Unassigned;

TVarType VarType(const Variant& v) { return v.VType(); }
bool VarIsNull(const Variant& v) { return v.IsNull(); }
bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
bool VarIsArray(const Variant& v) { return v.IsArray(); }
bool VarIsNumeric(const Variant& v) { return !v.IsArray() && IsNumberType(VarType(v)); }
bool VarIsStr(const Variant& v) { return VarType(v) == varOleStr; }

std::string VarToStr(const Variant& v) { return VarToStrDef(v, ""); }

std::string VarToStrDef(const Variant& v, const std::string& def) {
  return v.IsNull() ? def : v.AsString();
}

TDateTime VarToDateTime(const Variant& v) { return v.AsDateTime(); }
Variant VarFromDateTime(TDateTime dateTime) { return dateTime; }

Variant VarAsType(const Variant& v, TVarType type) {
  type = Normalized(type);
  if (v.IsArray() || (type & varArray)) throw EVariantError("Invalid variant type conversion");
  if (VarType(v) == type) return v;
  switch (type) {
    case varEmpty: return Unassigned;
    case varNull: return Null;
    case varVariant: return v;
    case varSmallint: {
      const std::int64_t i = v.AsInt64();
      if (i < -32768 || i > 32767) RaiseOverflow();
      return short(i);
    }
    case varInteger: return v.AsInteger();
    case varShortInt: {
      const std::int64_t i = v.AsInt64();
      if (i < -128 || i > 127) RaiseOverflow();
      return static_cast<signed char>(i);
    }
    case varByte: {
      const std::int64_t i = v.AsInt64();
      if (i < 0 || i > 255) RaiseOverflow();
      return static_cast<unsigned char>(i);
    }
    case varWord: {
      const std::int64_t i = v.AsInt64();
      if (i < 0 || i > 65535) RaiseOverflow();
      return static_cast<unsigned short>(i);
    }
    case varLongWord: {
      const std::int64_t i = v.AsInt64();
      if (i < 0 || i > 4294967295LL) RaiseOverflow();
      return static_cast<unsigned>(i);
    }
    case varInt64: return static_cast<long long>(v.AsInt64());
    case varSingle: {
      const double d = v.AsDouble();
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) RaiseOverflow();
      return float(d);
    }
    case varDouble: return v.AsDouble();
    case varCurrency: return v.AsCurrency();
    case varDate: return v.AsDateTime();
    case varOleStr: return v.AsString();
    case varBoolean: return v.AsBoolean();
    case varError:
      if (VarType(v) != varError) RaiseCast(v, varError);
      return v;
    default:
      throw EVariantError("Invalid variant type conversion");
  }
}

std::string VarTypeAsText(TVarType type) {
  std::string name;
  switch (type & varTypeMask) {
    case varEmpty: name = "Empty"; break;
    case varNull: name = "Null"; break;
    case varSmallint: name = "Smallint"; break;
    case varInteger: name = "Integer"; break;
    case varSingle: name = "Single"; break;
    case varDouble: name = "Double"; break;
    case varCurrency: name = "Currency"; break;
    case varDate: name = "Date"; break;
    case varOleStr: name = "String"; break;
    case varError: name = "Error"; break;
    case varBoolean: name = "Boolean"; break;
    case varVariant: name = "Variant"; break;
    case varShortInt: name = "ShortInt"; break;
    case varByte: name = "Byte"; break;
    case varWord: name = "Word"; break;
    case varLongWord: name = "LongWord"; break;
    case varInt64: name = "Int64"; break;
    case varString: name = "String"; break;
    default: name = "$" + IntToHex(int(type & varTypeMask), 4);
  }
  return (type & varArray) ? "Array " + name : name;
}

// ---- arrays ------------------------------------------------------------------------------

Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType) {
  elementType = Normalized(elementType);
  if (highBound < lowBound - 1 || (long long)highBound - lowBound + 1 > 0x10000000LL)
    RaiseBounds();
  switch (elementType) {
    case varEmpty:
    case varNull:
    case varError:
      throw EVariantError("Invalid variant type conversion");
    default:
      if (!IsNumberType(elementType) && elementType != varOleStr && elementType != varVariant)
        throw EVariantError("Invalid variant type conversion");
  }
  Variant array = VA::MakeArray(elementType, lowBound,
                                std::size_t((long long)highBound - lowBound + 1));
  if (elementType != varByte && elementType != varVariant) {
    // Typed elements start as that type's zero (an empty text for texts).
    const Variant zero = VarAsType(Unassigned, elementType);
    for (auto& item : VA::Array(array)->items) item = zero;
  }
  return array;
}

Variant VarArrayOf(std::initializer_list<Variant> values) {
  return VarArrayOf(std::vector<Variant>(values));
}

Variant VarArrayOf(const std::vector<Variant>& values) {
  Variant array = VA::MakeArray(varVariant, 0, 0);
  VA::Array(array)->items = values;
  return array;
}

int VarArrayDimCount(const Variant& v) { return v.IsArray() ? 1 : 0; }

namespace {
const VariantAccess::Data& ArrayOf(const Variant& v, int dim) {
  if (!v.IsArray()) throw EVariantError("Invalid variant operation");
  if (dim != 1) RaiseBounds();
  return *VA::Array(v);
}
}  // namespace

int VarArrayLowBound(const Variant& v, int dim) { return ArrayOf(v, dim).low; }

int VarArrayHighBound(const Variant& v, int dim) {
  const auto& data = ArrayOf(v, dim);
  return data.low + int(data.Size()) - 1;
}

void VarArrayRedim(Variant& v, int highBound) {
  ArrayOf(v, 1);
  VA::Data& data = *VA::Array(v);
  if (highBound < data.low - 1) RaiseBounds();
  const std::size_t count = std::size_t((long long)highBound - data.low + 1);
  if (data.elementType == varByte) {
    data.bytes.resize(count);
  } else {
    const Variant zero = data.elementType == varVariant ? Variant()
                                                        : VarAsType(Unassigned, data.elementType);
    data.items.resize(count, zero);
  }
}

Variant VarArrayGet(const Variant& v, int index) { return v.GetElement(index); }
void VarArrayPut(Variant& v, const Variant& value, int index) { v.PutElement(index, value); }

std::uint8_t* VarArrayLock(Variant& v) {
  const auto& data = ArrayOf(v, 1);
  if (data.elementType != varByte) throw EVariantError("Invalid variant operation");
  return VA::Array(v)->bytes.data();
}

void VarArrayUnlock(Variant& v) { ArrayOf(v, 1); }

Variant VarByteArrayOf(const void* data, std::size_t size) {
  Variant array = VA::MakeArray(varByte, 0, size);
  if (size > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    VA::Array(array)->bytes.assign(bytes, bytes + size);
  }
  return array;
}

std::vector<std::uint8_t> VarArrayToBytes(const Variant& v) {
  const auto& data = ArrayOf(v, 1);
  if (data.elementType == varByte) return data.bytes;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(data.items.size());
  for (const Variant& item : data.items) {
    const std::int64_t b = item.AsInt64();
    if (b < 0 || b > 255) RaiseOverflow();
    bytes.push_back(std::uint8_t(b));
  }
  return bytes;
}

// ---- Format arguments --------------------------------------------------------------------

TVarRec::TVarRec(const Variant& v) : VType(vtString) {
  const TVarType type = VarType(v);
  if (v.IsNull() || v.IsEmpty()) return;
  if (type == varBoolean) {
    VType = vtBoolean;
    Int = v.AsBoolean();
  } else if (IsIntegerType(type)) {
    VType = vtInt64;
    Int = v.AsInt64();
  } else if (type == varCurrency) {
    VType = vtCurrency;
    Int = v.AsCurrency().Raw();
  } else if (IsFloatType(type)) {
    VType = vtExtended;
    Float = v.AsDouble();
  } else {
    Text = v.AsString();  // raises for arrays and errors
  }
}
