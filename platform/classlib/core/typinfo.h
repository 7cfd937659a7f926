#pragma once
// Published properties by name: every class of the class-library model may
// publish properties (name, kind, accessors, declared default, stored rule)
// that the component streamer and the system's code reach by name.
//
// Declaring them takes one block per class, next to IMPLEMENT_CLASS:
//
//   DECLARE_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient)
//   DECLARE_ENUM(TPanelOption, poBorder, poShadow)
//   using TPanelOptions = TSet<TPanelOption>;           // a set property's type
//   const TIdentMap ColorIdents{{0x000000, "clBlack"}, {0xFFFFFF, "clWhite"}};
//
//   IMPLEMENT_CLASS(TPanel, TControl)
//   PUBLISHED(TPanel) {
//     PROP_INT(Tag, FTag, SetTag, 0);                   // field or getter, field or setter
//     PROP_BOOL(Visible, GetVisible, SetVisible, true);
//     PROP_ENUM(Align, FAlign, SetAlign, alNone);       // streamed as "alClient"
//     PROP_SET(Options, FOptions, SetOptions, TPanelOptions{poBorder});
//     PROP_INT(Color, FColor, SetColor, 0xFFFFFF).Idents(ColorIdents);  // "clBlack"
//     PROP_FLOAT(Ratio, FRatio, FRatio, 0.0);           // also TDateTime and Currency
//     PROP_STR(Caption, GetCaption, SetCaption, "");
//     PROP_OBJ(Font, FFont, SetFont);                   // owned sub-object or component reference
//     PROP_VARIANT(Value, FValue, SetValue);            // a Variant
//     PROP_EVENT(OnClick);                              // a std::function member
//     PROP_INT(Width, GetWidth, SetWidth, 0).Stored(&Class::IsWidthStored);
//     PROP_INT(Height, FHeight, SetHeight, 0).AlwaysStored();
//     PROP_DEFAULT(ParentColor, false);                 // an inherited property, new default
//     PUBLISHED_METHOD(btnOKClick);                     // a handler that streams can name
//   }
//
// Inside the block `Class` is the class being declared; getters and setters may
// be private (the block is a friend of the class), a data member, a member
// function, or a callable taking `Class&`. A read-only property uses the call
// form with nullptr as setter: P.Int("Count", &Class::GetCount, nullptr, 0),
// P.Obj("Items", &Class::FItems, nullptr). Ordinal and float defaults decide
// what the streamer writes (only values that differ); `.NoDefault()` writes always.

#include <any>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/classlib/core/object.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/variant.h"

enum TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass,
  tkMethod, tkWChar, tkLString, tkWString, tkVariant, tkInt64
};
enum TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum class TFloatType { Single, Double, Extended, Currency, Date };

// The identifiers of an enumeration, values counted from 0.
class TEnumInfo {
 public:
  // names: the identifiers separated by commas, as written in the declaration.
  TEnumInfo(std::string typeName, std::string_view names);
  const std::string& TypeName() const { return typeName_; }
  int Count() const { return static_cast<int>(names_.size()); }
  // The identifier of a value; empty when out of range.
  const std::string& Name(int64_t value) const;
  // The value of an identifier (case-insensitive); -1 when unknown.
  int Value(std::string_view name) const;

 private:
  std::string typeName_;
  std::vector<std::string> names_;
};

// The identifiers of Boolean: "False", "True". (Not an EnumInfo overload:
// every unscoped enumeration would convert to bool and pick it silently.)
const TEnumInfo& BooleanInfo();

// Declares an enumeration with its identifiers (at namespace scope):
//   DECLARE_ENUM(TAlign, alNone, alTop, alBottom)
#define DECLARE_ENUM(Type, ...)     \
  enum Type : int { __VA_ARGS__ }; \
  ENUM_NAMES(Type, __VA_ARGS__)

// Gives an enumeration declared elsewhere its identifiers, in value order.
#define ENUM_NAMES(Type, ...)                                 \
  [[maybe_unused]] inline const TEnumInfo& EnumInfo(Type) {   \
    static const TEnumInfo info(#Type, #__VA_ARGS__);         \
    return info;                                              \
  }

inline const std::string& GetEnumName(const TEnumInfo& info, int64_t value) {
  return info.Name(value);
}
inline int GetEnumValue(const TEnumInfo& info, std::string_view name) { return info.Value(name); }

// Names for some values of an integer type (colours: clBlack, clBtnFace ...).
// A property given such a map streams those values as identifiers.
struct TIdentMapEntry {
  int64_t Value;
  const char* Name;
};
class TIdentMap {
 public:
  TIdentMap(std::initializer_list<TIdentMapEntry> entries) : entries_(entries) {}
  explicit TIdentMap(std::vector<TIdentMapEntry> entries) : entries_(std::move(entries)) {}
  // False when the value has no name / the name is unknown (case-insensitive).
  bool IntToIdent(int64_t value, std::string& ident) const;
  bool IdentToInt(std::string_view ident, int64_t& value) const;

 private:
  std::vector<TIdentMapEntry> entries_;
};

// A method value: the handler assigned to an event. Code holds the event's
// std::function; Name and Data say which published method of which object it
// is (both empty for handlers assigned in code, which streams cannot name).
struct TMethod {
  std::string Name;
  TObject* Data = nullptr;
  std::any Code;
  bool Assigned() const { return Code.has_value(); }
};

// The generic value of a property, as GetPropValue returns it: enumerations
// as identifiers, sets as "a,b" text, methods as handler names, variants as
// their nearest simple value (Empty and Null as monostate).
using TPropValue = std::variant<std::monostate, bool, int64_t, double, std::string, TObject*>;

struct TPropInfo {
  std::string Name;
  TTypeKind Kind = tkUnknown;
  TOrdType OrdType = otSLong;
  TFloatType FloatType = TFloatType::Double;
  const TEnumInfo* EnumType = nullptr;  // enumeration, Boolean, or a set's element type
  TClass PropClass = nullptr;           // class of a tkClass property
  TClass Owner = nullptr;               // the class that declared it
  const TIdentMap* Idents = nullptr;    // names of integer values, when any

  // Declared default: ordinal kinds compare Default when HasDefault (no
  // default means always written); floats and strings compare their own.
  int64_t Default = 0;
  bool HasDefault = false;
  double FloatDefault = 0;
  std::string StrDefault;
  bool AlwaysStored = false;
  bool StoredFlag = true;                     // "stored False" when false
  std::function<bool(TObject*)> StoredFunc;   // "stored IsXStored"

  // Accessors of the kind's value (empty when not readable / not writable).
  std::function<int64_t(TObject*)> GetOrd;
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  std::function<std::string(TObject*)> GetStr;
  std::function<void(TObject*, const std::string&)> SetStr;
  std::function<TObject*(TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
  std::function<TMethod(TObject*)> GetMethod;
  std::function<void(TObject*, const TMethod&)> SetMethod;
  std::function<Variant(TObject*)> GetVariant;
  std::function<void(TObject*, const Variant&)> SetVariant;

  bool IsOrdinal() const {
    return Kind == tkInteger || Kind == tkChar || Kind == tkEnumeration || Kind == tkSet ||
           Kind == tkInt64 || Kind == tkWChar;
  }
  bool IsReadable() const;
  bool IsWritable() const;
};

// ---- Lookup ----------------------------------------------------------------
// nullptr when the class has no published property of that name (case-insensitive).
const TPropInfo* GetPropInfo(TClass cls, std::string_view name);
const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name);
// Ancestors' properties first; a redeclared property keeps its ancestor's place.
std::vector<const TPropInfo*> GetPropList(TClass cls);
std::vector<const TPropInfo*> GetPropList(const TObject* obj);
bool IsPublishedProp(const TObject* obj, std::string_view name);
bool PropIsType(const TObject* obj, std::string_view name, TTypeKind kind);
TTypeKind PropType(const TObject* obj, std::string_view name);

// ---- Typed access (raise EPropertyError for unknown or mistyped properties) ----
int64_t GetOrdProp(TObject* obj, const TPropInfo* prop);
void SetOrdProp(TObject* obj, const TPropInfo* prop, int64_t value);
int64_t GetOrdProp(TObject* obj, std::string_view name);
void SetOrdProp(TObject* obj, std::string_view name, int64_t value);
std::string GetEnumProp(TObject* obj, const TPropInfo* prop);
void SetEnumProp(TObject* obj, const TPropInfo* prop, std::string_view ident);
std::string GetEnumProp(TObject* obj, std::string_view name);
void SetEnumProp(TObject* obj, std::string_view name, std::string_view ident);
std::string GetSetProp(TObject* obj, const TPropInfo* prop, bool brackets = false);
void SetSetProp(TObject* obj, const TPropInfo* prop, std::string_view text);
std::string GetSetProp(TObject* obj, std::string_view name, bool brackets = false);
void SetSetProp(TObject* obj, std::string_view name, std::string_view text);
std::string GetStrProp(TObject* obj, const TPropInfo* prop);
void SetStrProp(TObject* obj, const TPropInfo* prop, const std::string& value);
std::string GetStrProp(TObject* obj, std::string_view name);
void SetStrProp(TObject* obj, std::string_view name, const std::string& value);
double GetFloatProp(TObject* obj, const TPropInfo* prop);
void SetFloatProp(TObject* obj, const TPropInfo* prop, double value);
double GetFloatProp(TObject* obj, std::string_view name);
void SetFloatProp(TObject* obj, std::string_view name, double value);
TObject* GetObjectProp(TObject* obj, const TPropInfo* prop);
void SetObjectProp(TObject* obj, const TPropInfo* prop, TObject* value);
TObject* GetObjectProp(TObject* obj, std::string_view name);
void SetObjectProp(TObject* obj, std::string_view name, TObject* value);
TMethod GetMethodProp(TObject* obj, const TPropInfo* prop);
void SetMethodProp(TObject* obj, const TPropInfo* prop, const TMethod& value);
TMethod GetMethodProp(TObject* obj, std::string_view name);
void SetMethodProp(TObject* obj, std::string_view name, const TMethod& value);
Variant GetVariantProp(TObject* obj, const TPropInfo* prop);
void SetVariantProp(TObject* obj, const TPropInfo* prop, const Variant& value);

// Generic access by name: any kind, converting identifiers and set text.
TPropValue GetPropValue(TObject* obj, std::string_view name);
void SetPropValue(TObject* obj, std::string_view name, const TPropValue& value);

// Set text: "a,b" (or "[a,b]") <-> bit mask, identifiers of the element type.
std::string SetToString(const TEnumInfo& elements, uint64_t bits, bool brackets = false);
uint64_t StringToSet(const TEnumInfo& elements, std::string_view text);

// True when the property's stored rule (flag or predicate) holds. Whether its
// value equals the declared default is IsDefaultPropertyValue; the writer
// skips a property when either says so, unless it is always stored.
bool IsStoredProp(TObject* obj, const TPropInfo* prop);
bool IsDefaultPropertyValue(TObject* obj, const TPropInfo* prop);

// ---- Published methods (the handlers a stream names) -------------------------
// The handler of that name published by the instance's class or an ancestor,
// bound to the instance; not Assigned() when there is none.
TMethod MethodAddress(TObject* instance, std::string_view name);
// The published name of a handler when it is one of instance's; empty otherwise.
std::string MethodName(TObject* instance, const TMethod& method);

// ---- Declaration machinery ---------------------------------------------------
namespace classlib_detail {

// Identifiers (property, component, handler names) compare ignoring ASCII case.
bool SameIdent(std::string_view a, std::string_view b);

// The callable an event holds when it is set from a published method: it
// remembers the method's name so that the writer can stream it.
template <class Sig>
struct TNamedHandler;
template <class R, class... A>
struct TNamedHandler<R(A...)> {
  std::string Name;
  TObject* Data = nullptr;
  std::function<R(A...)> Fn;
  R operator()(A... args) const { return Fn(std::forward<A>(args)...); }
};

template <class F>
struct EventTraits : std::false_type {};
template <class R, class... A>
struct EventTraits<std::function<R(A...)>> : std::true_type {
  using Signature = R(A...);
};

template <class T>
struct IsTSet : std::false_type {};
template <class E>
struct IsTSet<TSet<E>> : std::true_type {
  using Element = E;
};

TPropInfo& NewPropInfo(TClass owner, const char* name, TTypeKind kind);
// A copy of an inherited property declared again by owner (e.g. a new default).
TPropInfo& RedeclarePropInfo(TClass owner, const char* name);
void AddPublishedMethod(TClass owner, const char* name, std::function<TMethod(TObject*)> bind);
[[noreturn]] void RaiseIncompatibleHandler(const TPropInfo& prop, const TMethod& method);
[[noreturn]] void RaiseIncompatibleObject(const TPropInfo& prop, TObject* value);

// Reads a property through a data member, member function or callable.
template <class C, class G>
decltype(auto) ReadVia(const G& get, C& obj) {
  if constexpr (std::is_invocable_v<const G&, C&>)
    return std::invoke(get, obj);
  else
    return std::invoke(get, &obj);
}
template <class C, class G>
using ReadType =
    std::remove_cvref_t<decltype(ReadVia(std::declval<const G&>(), std::declval<C&>()))>;

template <class C, class S, class V>
void WriteVia(const S& set, C& obj, V&& value) {
  if constexpr (std::is_member_object_pointer_v<S>)
    std::invoke(set, obj) = std::forward<V>(value);
  else if constexpr (std::is_invocable_v<const S&, C&, V>)
    std::invoke(set, obj, std::forward<V>(value));
  else
    std::invoke(set, &obj, std::forward<V>(value));
}

// Chainable refinements of a property just declared.
class TPropBuilder {
 public:
  explicit TPropBuilder(TPropInfo& info) : info_(info) {}
  TPropBuilder& Stored(bool stored) {
    info_.StoredFlag = stored;
    return *this;
  }
  // A predicate member ("stored IsWidthStored") or any callable on the object.
  template <class B>
  TPropBuilder& Stored(bool (B::*pred)() const) {
    info_.StoredFunc = [pred](TObject* obj) { return (static_cast<const B*>(obj)->*pred)(); };
    return *this;
  }
  template <class B>
  TPropBuilder& Stored(bool (B::*pred)()) {
    info_.StoredFunc = [pred](TObject* obj) { return (static_cast<B*>(obj)->*pred)(); };
    return *this;
  }
  TPropBuilder& Stored(std::function<bool(TObject*)> pred) {
    info_.StoredFunc = std::move(pred);
    return *this;
  }
  // Written whatever its value (the class library's "always stored" rule).
  TPropBuilder& AlwaysStored() {
    info_.AlwaysStored = true;
    return *this;
  }
  // Integer values with names are written and read as those names.
  TPropBuilder& Idents(const TIdentMap& map) {
    info_.Idents = &map;
    return *this;
  }
  TPropBuilder& NoDefault() {
    info_.HasDefault = false;
    return *this;
  }

 private:
  TPropInfo& info_;
};

template <class C>
class TPublisher {
 public:
  using Class = C;

  // Integers of any width; 64-bit ones are tkInt64.
  template <class G, class S>
  TPropBuilder Int(const char* name, G get, S set, int64_t def) {
    using V = ReadType<C, G>;
    static_assert(std::is_integral_v<V> && !std::is_same_v<V, bool>, "not an integer property");
    TTypeKind kind = sizeof(V) == 8 ? tkInt64 : tkInteger;
    TPropInfo& p = Ordinal<V>(name, kind, get, set, def);
    p.OrdType = OrdTypeOf<V>();
    return TPropBuilder(p);
  }
  template <class G, class S>
  TPropBuilder Bool(const char* name, G get, S set, bool def) {
    static_assert(std::is_same_v<ReadType<C, G>, bool>, "not a Boolean property");
    TPropInfo& p = Ordinal<bool>(name, tkEnumeration, get, set, def ? 1 : 0);
    p.OrdType = otUByte;
    p.EnumType = &BooleanInfo();
    return TPropBuilder(p);
  }
  template <class G, class S>
  TPropBuilder Char(const char* name, G get, S set, char def) {
    static_assert(std::is_same_v<ReadType<C, G>, char>, "not a char property");
    TPropInfo& p = Ordinal<char>(name, tkChar, get, set, static_cast<unsigned char>(def));
    p.OrdType = otUByte;
    return TPropBuilder(p);
  }
  template <class G, class S, class E>
  TPropBuilder Enum(const char* name, G get, S set, E def) {
    using V = ReadType<C, G>;
    static_assert(std::is_enum_v<V>, "not an enumeration property");
    TPropInfo& p = Ordinal<V>(name, tkEnumeration, get, set, static_cast<int64_t>(V(def)));
    p.EnumType = &EnumInfo(V{});
    p.OrdType = otUByte;
    return TPropBuilder(p);
  }
  template <class G, class S>
  TPropBuilder Set(const char* name, G get, S set, ReadType<C, G> def) {
    using V = ReadType<C, G>;
    static_assert(IsTSet<V>::value, "a set property's type is TSet<Enum>");
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkSet);
    p.EnumType = &EnumInfo(typename IsTSet<V>::Element{});
    p.Default = static_cast<int64_t>(def.Bits());
    p.HasDefault = true;
    p.GetOrd = [get](TObject* obj) {
      return static_cast<int64_t>(ReadVia(get, Self(obj)).Bits());
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TObject* obj, int64_t v) {
        WriteVia(set, Self(obj), V::FromBits(static_cast<uint64_t>(v)));
      };
    return TPropBuilder(p);
  }
  // float, double, long double, TDateTime (streamed as a date) or Currency.
  template <class G, class S>
  TPropBuilder Float(const char* name, G get, S set, double def) {
    using V = ReadType<C, G>;
    constexpr bool isCurrency = std::is_same_v<V, Currency>;
    static_assert(std::is_floating_point_v<V> || std::is_same_v<V, TDateTime> || isCurrency,
                  "not a floating-point property");
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkFloat);
    p.FloatType = std::is_same_v<V, TDateTime>    ? TFloatType::Date
                  : isCurrency                     ? TFloatType::Currency
                  : sizeof(V) == sizeof(float)     ? TFloatType::Single
                  : sizeof(V) == sizeof(double)    ? TFloatType::Double
                                                   : TFloatType::Extended;
    p.FloatDefault = def;
    p.HasDefault = true;
    p.GetFloat = [get](TObject* obj) {
      if constexpr (isCurrency)
        return static_cast<double>(ReadVia(get, Self(obj)).Raw()) / Currency::kScale;
      else
        return static_cast<double>(ReadVia(get, Self(obj)));
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetFloat = [set](TObject* obj, double v) {
        if constexpr (isCurrency)
          WriteVia(set, Self(obj), Currency::FromRaw(std::llround(v * Currency::kScale)));
        else
          WriteVia(set, Self(obj), static_cast<V>(v));
      };
    return TPropBuilder(p);
  }
  template <class G, class S>
  TPropBuilder Str(const char* name, G get, S set, const char* def) {
    static_assert(std::is_same_v<ReadType<C, G>, std::string>, "not a string property");
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkString);
    p.StrDefault = def ? def : "";
    p.HasDefault = true;
    p.GetStr = [get](TObject* obj) { return std::string(ReadVia(get, Self(obj))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetStr = [set](TObject* obj, const std::string& v) { WriteVia(set, Self(obj), v); };
    return TPropBuilder(p);
  }
  // A pointer to an object: an owned sub-object (TPersistent: font, string
  // list, collection) streamed inline, or a component reference streamed by name.
  template <class G, class S>
  TPropBuilder Obj(const char* name, G get, S set) {
    using V = ReadType<C, G>;
    static_assert(std::is_pointer_v<V>, "an object property holds a pointer");
    using T = std::remove_cv_t<std::remove_pointer_t<V>>;
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkClass);
    p.PropClass = T::StaticClass();
    p.GetObj = [get](TObject* obj) -> TObject* {
      return const_cast<T*>(ReadVia(get, Self(obj)));
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetObj = [set, &p](TObject* obj, TObject* v) {
        T* typed = v ? dynamic_cast<T*>(v) : nullptr;
        if (v && !typed) RaiseIncompatibleObject(p, v);
        WriteVia(set, Self(obj), typed);
      };
    return TPropBuilder(p);
  }
  // An event held in a std::function member.
  template <class M>
  TPropBuilder Event(const char* name, M member) {
    return Event(name, member, member);
  }
  // An event read and written through accessors returning / taking a std::function.
  template <class G, class S>
  TPropBuilder Event(const char* name, G get, S set) {
    using F = ReadType<C, G>;
    static_assert(EventTraits<F>::value, "an event is a std::function");
    using Handler = TNamedHandler<typename EventTraits<F>::Signature>;
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkMethod);
    p.GetMethod = [get](TObject* obj) {
      TMethod m;
      const F& fn = ReadVia(get, Self(obj));
      if (!fn) return m;
      if (const Handler* h = fn.template target<Handler>()) {
        m.Name = h->Name;
        m.Data = h->Data;
      }
      m.Code = fn;
      return m;
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetMethod = [set, &p](TObject* obj, const TMethod& m) {
        if (!m.Assigned()) {
          WriteVia(set, Self(obj), F());
          return;
        }
        const F* fn = std::any_cast<F>(&m.Code);
        if (!fn) RaiseIncompatibleHandler(p, m);
        WriteVia(set, Self(obj), *fn);
      };
    return TPropBuilder(p);
  }
  // A Variant.
  template <class G, class S>
  TPropBuilder Variant(const char* name, G get, S set) {
    static_assert(std::is_same_v<ReadType<C, G>, ::Variant>, "not a Variant property");
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, tkVariant);
    p.GetVariant = [get](TObject* obj) -> ::Variant { return ReadVia(get, Self(obj)); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetVariant = [set](TObject* obj, const ::Variant& v) { WriteVia(set, Self(obj), v); };
    return TPropBuilder(p);
  }
  // An inherited ordinal property declared again with another default.
  template <class V>
  TPropBuilder Default(const char* name, V def) {
    TPropInfo& p = RedeclarePropInfo(C::StaticClass(), name);
    if constexpr (std::is_floating_point_v<V>) {
      p.FloatDefault = def;
    } else if constexpr (std::is_convertible_v<V, std::string_view>) {
      p.StrDefault = std::string(std::string_view(def));
    } else if constexpr (IsTSet<V>::value) {
      p.Default = static_cast<int64_t>(def.Bits());
    } else {
      p.Default = static_cast<int64_t>(def);
    }
    p.HasDefault = true;
    return TPropBuilder(p);
  }
  // A handler that streams may name (e.g. a form's "btnOKClick").
  template <class R, class B, class... A>
  void Method(const char* name, R (B::*handler)(A...)) {
    std::string methodName = name;
    AddPublishedMethod(C::StaticClass(), name, [handler, methodName](TObject* instance) {
      C* self = static_cast<C*>(instance);
      TMethod m;
      m.Name = methodName;
      m.Data = instance;
      m.Code = std::function<R(A...)>(TNamedHandler<R(A...)>{
          methodName, instance,
          [self, handler](A... args) -> R { return (self->*handler)(std::forward<A>(args)...); }});
      return m;
    });
  }

 private:
  static C& Self(TObject* obj) { return *static_cast<C*>(obj); }

  template <class V>
  static constexpr TOrdType OrdTypeOf() {
    if constexpr (sizeof(V) == 1) return std::is_signed_v<V> ? otSByte : otUByte;
    if constexpr (sizeof(V) == 2) return std::is_signed_v<V> ? otSWord : otUWord;
    return std::is_signed_v<V> ? otSLong : otULong;
  }

  template <class V, class G, class S>
  static TPropInfo& Ordinal(const char* name, TTypeKind kind, G get, S set, int64_t def) {
    TPropInfo& p = NewPropInfo(C::StaticClass(), name, kind);
    p.Default = def;
    p.HasDefault = true;
    p.GetOrd = [get](TObject* obj) {
      auto v = ReadVia(get, Self(obj));
      if constexpr (std::is_same_v<V, char>)
        return static_cast<int64_t>(static_cast<unsigned char>(v));
      else
        return static_cast<int64_t>(v);
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TObject* obj, int64_t v) { WriteVia(set, Self(obj), static_cast<V>(v)); };
    return p;
  }
};

// Queues a class's published block at start-up. The blocks run on the first
// property lookup, ancestors first: a class that gives an inherited property a
// new default needs its ancestor's declaration, and static initialisation
// across files runs in no particular order.
struct PublishRegistrar {
  PublishRegistrar(TClass cls, void (*publish)());
};
// Runs the queued blocks; every lookup calls it, so callers never need to.
void EnsurePublished();

}  // namespace classlib_detail

// The block of published properties of a class: see the top of this file.
#define PUBLISHED(Self)                                                    \
  template <>                                                              \
  struct classlib_detail::Published<Self> {                                \
    using Class = Self;                                                    \
    static void Declare(classlib_detail::TPublisher<Self>& P);             \
    static void Run() {                                                    \
      classlib_detail::TPublisher<Self> publisher;                         \
      Declare(publisher);                                                  \
    }                                                                      \
  };                                                                       \
  static const classlib_detail::PublishRegistrar vantrel_published_##Self( \
      Self::StaticClass(), &classlib_detail::Published<Self>::Run);        \
  void classlib_detail::Published<Self>::Declare(                          \
      [[maybe_unused]] classlib_detail::TPublisher<Self>& P)

#define PROP_INT(Name, Getter, Setter, Def) P.Int(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_BOOL(Name, Getter, Setter, Def) P.Bool(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_CHAR(Name, Getter, Setter, Def) P.Char(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_ENUM(Name, Getter, Setter, Def) P.Enum(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_SET(Name, Getter, Setter, Def) P.Set(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_FLOAT(Name, Getter, Setter, Def) P.Float(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_STR(Name, Getter, Setter, Def) P.Str(#Name, &Class::Getter, &Class::Setter, Def)
#define PROP_OBJ(Name, Getter, Setter) P.Obj(#Name, &Class::Getter, &Class::Setter)
#define PROP_VARIANT(Name, Getter, Setter) P.Variant(#Name, &Class::Getter, &Class::Setter)
#define PROP_EVENT(Name) P.Event(#Name, &Class::Name)
#define PROP_DEFAULT(Name, Def) P.Default(#Name, Def)
#define PUBLISHED_METHOD(Name) P.Method(#Name, &Class::Name)
