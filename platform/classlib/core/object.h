#pragma once
// TObject and class information: every class of the class-library model
// declares its name and parent once, so that ClassName(), InheritsFrom("TTable")
// and creation of registered classes by name work as the system uses them.

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class TObject;
class TComponent;
class TClassInfo;
struct TPropInfo;  // published property descriptor (typinfo.h)

using TClass = const TClassInfo*;

class TClassInfo {
 public:
  // Creates an instance; components receive their owner, other classes ignore it.
  using Creator = TObject* (*)(TComponent* owner);

  TClassInfo(const char* name, TClass parent, Creator create);
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& ClassName() const { return name_; }
  TClass ClassParent() const { return parent_; }
  bool InheritsFrom(TClass other) const;
  // Compares class names along the ancestor chain, case-insensitively.
  bool InheritsFrom(std::string_view className) const;
  bool IsAbstract() const { return create_ == nullptr; }
  // Raises EClassNotFound-free EInvalidOperation for abstract classes.
  TObject* Create(TComponent* owner = nullptr) const;

  // Published properties declared by this class itself (ancestors' via ClassParent()).
  std::vector<const TPropInfo*>& OwnProps() const { return props_; }

 private:
  std::string name_;
  TClass parent_;
  Creator create_;
  mutable std::vector<const TPropInfo*> props_;
};

namespace classlib_detail {
template <class T>
TObject* CreateInstance(TComponent* owner) {
  if constexpr (std::is_abstract_v<T>) {
    (void)owner;
    return nullptr;
  } else if constexpr (std::is_constructible_v<T, TComponent*>) {
    return new T(owner);
  } else if constexpr (std::is_default_constructible_v<T>) {
    (void)owner;
    return new T();
  } else {
    (void)owner;
    return nullptr;
  }
}
template <class T>
constexpr TClassInfo::Creator CreatorFor() {
  if constexpr (std::is_abstract_v<T> ||
                !(std::is_constructible_v<T, TComponent*> || std::is_default_constructible_v<T>))
    return nullptr;
  else
    return &CreateInstance<T>;
}
// The published-property block of a class (typinfo.h, PUBLISHED); a friend of
// the class so that it may name private fields and accessors.
template <class T>
struct Published;
// Registers a class for lookup by name at start-up.
struct ClassRegistrar {
  explicit ClassRegistrar(TClass cls);
};
}  // namespace classlib_detail

// Inside the class body:   DECLARE_CLASS(TMyClass, TParent)
// In exactly one .cpp:     IMPLEMENT_CLASS(TMyClass, TParent)
#define DECLARE_CLASS(Self, Parent)        \
  friend struct classlib_detail::Published<Self>; \
 public:                                   \
  using inherited = Parent;                \
  static TClass StaticClass();             \
  TClass ClassType() const override { return Self::StaticClass(); }

#define IMPLEMENT_CLASS(Self, Parent)                                                   \
  TClass Self::StaticClass() {                                                          \
    static const TClassInfo info(#Self, Parent::StaticClass(),                          \
                                 classlib_detail::CreatorFor<Self>());                 \
    return &info;                                                                       \
  }                                                                                     \
  static const classlib_detail::ClassRegistrar vantrel_registrar_##Self(Self::StaticClass());

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  static TClass StaticClass();
  virtual TClass ClassType() const { return TObject::StaticClass(); }

  const std::string& ClassName() const { return ClassType()->ClassName(); }
  bool ClassNameIs(std::string_view name) const;
  bool InheritsFrom(TClass cls) const { return ClassType()->InheritsFrom(cls); }
  bool InheritsFrom(std::string_view className) const {
    return ClassType()->InheritsFrom(className);
  }
  TClass ClassParent() const { return ClassType()->ClassParent(); }
};

// The class registry (RegisterClass / FindClass / GetClass of the class library).
void RegisterClass(TClass cls);
void UnRegisterClass(TClass cls);
TClass GetClass(std::string_view className);   // nullptr when unknown
TClass FindClass(std::string_view className);  // raises EClassNotFound when unknown

// Type-safe downcast in the spirit of "as" / "is".
template <class T>
T* As(TObject* obj) { return dynamic_cast<T*>(obj); }
template <class T>
const T* As(const TObject* obj) { return dynamic_cast<const T*>(obj); }
template <class T>
bool Is(const TObject* obj) { return dynamic_cast<const T*>(obj) != nullptr; }

template <class T>
void FreeAndNil(T*& obj) {
  T* p = obj;
  obj = nullptr;
  delete p;
}
