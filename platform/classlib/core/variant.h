#pragma once
// Variant: a value that carries its own type, with the class library's type
// numbers, conversions, comparisons and one-dimensional arrays.
//
// Text: every text variant has type varOleStr (8), the type the database layer
// exchanges. varString (0x100) is accepted wherever a target type is asked for
// (VarAsType, VarArrayCreate) and gives varOleStr; VarType never answers it.
//
// Construction follows the C++ type: int -> varInteger, short -> varSmallint,
// signed char -> varShortInt, unsigned char -> varByte, unsigned short -> varWord,
// unsigned -> varLongWord, long / long long -> varInt64, float -> varSingle,
// double -> varDouble, bool -> varBoolean, Currency -> varCurrency, TDateTime ->
// varDate, texts and char -> varOleStr.
//
// Conversions raise EVariantError: "Could not convert variant of type (Null) into
// type (Integer)", "Invalid variant type conversion", "Variant overflow",
// "Invalid variant operation", "Variant array bounds error".

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"

using TVarType = std::uint16_t;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varString = 0x0100;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;

// The error code of an omitted optional argument (varError).
constexpr std::uint32_t DISP_E_PARAMNOTFOUND = 0x80020004u;

class Variant;
using TVariantArray = std::vector<Variant>;

class Variant {
 public:
  Variant() = default;
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  // Only to variables: v[i] = x would change a copy (use PutElement).
  Variant& operator=(const Variant& other) &;
  Variant& operator=(Variant&& other) & noexcept;
  // Inline: a record scan makes and drops a variant per field; the array is
  // freed out of line by its deleter.
  ~Variant() = default;

  Variant(int v) : type_(varInteger), int_(v) {}
  Variant(short v) : type_(varSmallint), int_(v) {}
  Variant(signed char v) : type_(varShortInt), int_(v) {}
  Variant(unsigned char v) : type_(varByte), int_(v) {}
  Variant(unsigned short v) : type_(varWord), int_(v) {}
  Variant(unsigned v) : type_(varLongWord), int_(v) {}
  Variant(long v) : type_(varInt64), int_(v) {}
  Variant(long long v) : type_(varInt64), int_(v) {}
  // Unsigned 64-bit values are held as varInt64; above its range: EVariantOverflowError.
  Variant(unsigned long v);
  Variant(unsigned long long v);
  Variant(float v) : type_(varSingle), float_(v) {}
  Variant(double v) : type_(varDouble), float_(v) {}
  Variant(bool v) : type_(varBoolean), int_(v ? -1 : 0) {}
  Variant(Currency v) : type_(varCurrency), int_(v.Raw()) {}
  Variant(TDateTime v) : type_(varDate), float_(v.Value) {}
  Variant(char v) : type_(varOleStr), text_(1, v) {}
  Variant(const char* v) : type_(varOleStr), text_(v ? v : "") {}
  Variant(char* v) : Variant(static_cast<const char*>(v)) {}
  Variant(std::string v) : type_(varOleStr), text_(std::move(v)) {}
  Variant(std::string_view v) : type_(varOleStr), text_(v) {}
  // Pointers other than texts would silently become Booleans: refuse them.
  template <class T>
  Variant(T*) = delete;
  Variant(std::nullptr_t) = delete;

  // The Null value, built at compile time (see the Null constant).
  struct NullTag {};
  constexpr explicit Variant(NullTag) : type_(varNull) {}

  // Typed builders for the types the C++ types above do not reach.
  static Variant FromError(std::uint32_t code);
  static Variant FromType(TVarType type, std::int64_t value);  // integer types, Boolean

  TVarType VType() const;  // varArray | element type for arrays
  bool IsNull() const { return type_ == varNull; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsArray() const { return array_ != nullptr; }

  // Conversions by the class library's rules; EVariantError when impossible.
  int AsInteger() const;
  std::int64_t AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  std::string AsString() const;  // "" for Empty; Null raises (use VarToStr)
  std::uint32_t ErrorCode() const;  // of a varError variant, else EVariantError

  explicit operator int() const { return AsInteger(); }
  explicit operator std::int64_t() const { return AsInt64(); }
  explicit operator double() const { return AsDouble(); }
  explicit operator bool() const { return AsBoolean(); }
  explicit operator std::string() const { return AsString(); }
  explicit operator Currency() const { return AsCurrency(); }
  explicit operator TDateTime() const { return AsDateTime(); }

  // Array elements by index within the bounds (EVariantError outside, or on a
  // variant that is no array).
  Variant GetElement(int index) const;
  void PutElement(int index, const Variant& value);
  Variant operator[](int index) const { return GetElement(index); }

  // Equality: Null equals only Null; Empty equals Empty, 0 and "". Numbers
  // compare by value, texts exactly (text against a number as a number).
  friend bool operator==(const Variant& a, const Variant& b);
  // Ordering; Null sorts before everything, Empty as 0 or "".
  friend bool operator<(const Variant& a, const Variant& b);
  friend bool operator>(const Variant& a, const Variant& b) { return b < a; }
  friend bool operator<=(const Variant& a, const Variant& b) { return !(b < a); }
  friend bool operator>=(const Variant& a, const Variant& b) { return !(a < b); }

  // Arithmetic: numbers (Booleans as -1/0, numeric texts as numbers); "+" joins
  // two texts; a Null operand gives Null; date + number is a date.
  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);
  Variant operator-() const;

 private:
  friend struct VariantAccess;
  struct ArrayData;
  // Frees the array out of line, so that code constructing variants compiles
  // without seeing ArrayData.
  struct ArrayDataDeleter {
    void operator()(ArrayData* data) const;
  };

  TVarType type_ = varEmpty;
  std::int64_t int_ = 0;  // integers, Boolean (-1/0), Currency raw, error code
  double float_ = 0;      // single, double, date
  std::string text_;
  std::unique_ptr<ArrayData, ArrayDataDeleter> array_;
};

std::ostream& operator<<(std::ostream& out, const Variant& v);

// Null and Unassigned (Empty) values.
extern const Variant Null;
extern const Variant Unassigned;

TVarType VarType(const Variant& v);
bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
bool VarIsArray(const Variant& v);
bool VarIsNumeric(const Variant& v);  // integer, floating, currency, Boolean types
bool VarIsStr(const Variant& v);
// The text of a variant; Null gives "".
std::string VarToStr(const Variant& v);
std::string VarToStrDef(const Variant& v, const std::string& def);
TDateTime VarToDateTime(const Variant& v);
// A date variant from any date-time expression (Date() + Time() is a double).
Variant VarFromDateTime(TDateTime dateTime);
// A copy converted to the given type (varString gives varOleStr).
Variant VarAsType(const Variant& v, TVarType type);
// The type's name as the messages show it ("Integer", "String", ...).
std::string VarTypeAsText(TVarType type);

// Arrays: one dimension, bounds inclusive. Element types varByte (stored as
// bytes) or any other simple type, varVariant for mixed ones.
Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType);
Variant VarArrayOf(std::initializer_list<Variant> values);
Variant VarArrayOf(const std::vector<Variant>& values);
int VarArrayDimCount(const Variant& v);  // 1 for arrays, 0 otherwise
int VarArrayLowBound(const Variant& v, int dim = 1);
int VarArrayHighBound(const Variant& v, int dim = 1);
// Resizes keeping the low bound and the elements that stay.
void VarArrayRedim(Variant& v, int highBound);
Variant VarArrayGet(const Variant& v, int index);
void VarArrayPut(Variant& v, const Variant& value, int index);
// The bytes of a varByte array: VarArrayLock gives their address (valid until
// the array changes size); VarArrayUnlock ends the use.
std::uint8_t* VarArrayLock(Variant& v);
void VarArrayUnlock(Variant& v);
// A varByte array from raw bytes (low bound 0), and the bytes back.
Variant VarByteArrayOf(const void* data, std::size_t size);
std::vector<std::uint8_t> VarArrayToBytes(const Variant& v);

// "Variant overflow" and the failed conversions of one type into another.
DECLARE_EXCEPTION(EVariantOverflowError, EVariantError)
DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError)
