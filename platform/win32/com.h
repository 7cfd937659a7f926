#pragma once
// A small component-object layer: servers register a class under a program
// identifier, callers turn identifier strings into GUIDs, create instances and
// ask them for interfaces. Objects count their references and free themselves.

#include <cstdint>
#include <functional>
#include <string>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

extern const IID IID_IUnknown;  // {00000000-0000-0000-C000-000000000046}

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// Makes an instance of a registered class and hands out the interface asked for.
using ClassFactory = std::function<HRESULT(REFIID iid, void** object)>;

// Per process: the first call answers S_OK, later calls S_FALSE. Creation
// fails with CO_E_NOTINITIALIZED until it has been called.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case).
HRESULT CLSIDFromString(const std::string& text, CLSID* clsid);
HRESULT IIDFromString(const std::string& text, IID* iid);
std::string StringFromGUID(const GUID& guid);  // upper-case, with braces

// Program identifiers are compared without regard to case.
HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid);

// Registers (or replaces) a server class under its program identifier.
HRESULT CoRegisterServer(const std::string& progId, REFCLSID clsid, ClassFactory factory);
// Removes a program identifier; the class stays creatable while another
// identifier still names it. S_FALSE when it was not registered.
HRESULT CoUnregisterServer(const std::string& progId);

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, std::uint32_t context, REFIID iid,
                         void** object);

// Reference-counted implementation of an interface: QueryInterface answers
// IID_IUnknown and whatever Supports() accepts; the object frees itself when
// its last reference goes.
template <class Interface>
class TComObject : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = iid == IID_IUnknown ? static_cast<IUnknown*>(this) : Supports(iid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

 protected:
  TComObject() = default;
  // The interface pointer for iid (no reference added), or nullptr.
  virtual void* Supports(REFIID iid) = 0;

 private:
  ULONG refs_ = 0;
};
