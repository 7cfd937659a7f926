#include "platform/win32/com.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

struct Registry {
  std::mutex mutex;
  bool initialized = false;
  std::map<std::string, CLSID> progIds;  // key: upper-case program identifier
  struct Server {
    CLSID clsid;
    ClassFactory factory;
  };
  std::map<std::string, Server> servers;  // by upper-case program identifier
};

Registry& registry() {
  static Registry r;
  return r;
}

std::string upper(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false on any non-hex character.
bool readHex(const std::string& text, size_t pos, int digits, std::uint64_t& out) {
  out = 0;
  for (int i = 0; i < digits; ++i) {
    int d = hexDigit(text[pos + i]);
    if (d < 0) return false;
    out = out * 16 + static_cast<unsigned>(d);
  }
  return true;
}

}  // namespace

HRESULT CoInitialize(void*) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (r.initialized) return S_FALSE;
  r.initialized = true;
  return S_OK;
}

void CoUninitialize() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.initialized = false;
}

HRESULT CLSIDFromString(const std::string& text, CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  // {01234567-0123-0123-0123-0123456789AB}: 38 characters.
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-')
    return CO_E_CLASSSTRING;
  GUID g;
  std::uint64_t v = 0;
  if (!readHex(text, 1, 8, v)) return CO_E_CLASSSTRING;
  g.Data1 = static_cast<std::uint32_t>(v);
  if (!readHex(text, 10, 4, v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!readHex(text, 15, 4, v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<std::uint16_t>(v);
  static const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(text, bytePos[i], 2, v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  *clsid = g;
  return S_OK;
}

HRESULT IIDFromString(const std::string& text, IID* iid) {
  HRESULT hr = CLSIDFromString(text, iid);
  return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}

std::string StringFromGUID(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.servers.find(upper(progId));
  if (it == r.servers.end()) return CO_E_CLASSSTRING;
  *clsid = it->second.clsid;
  return S_OK;
}

HRESULT CoRegisterServer(const std::string& progId, REFCLSID clsid, ClassFactory factory) {
  if (progId.empty() || !factory) return E_INVALIDARG;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.servers[upper(progId)] = {clsid, std::move(factory)};
  return S_OK;
}

HRESULT CoUnregisterServer(const std::string& progId) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.servers.erase(upper(progId)) ? S_OK : S_FALSE;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, std::uint32_t context, REFIID iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ClassFactory factory;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (!r.initialized) return CO_E_NOTINITIALIZED;
    if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    for (auto& [name, server] : r.servers)
      if (server.clsid == clsid) {
        factory = server.factory;
        break;
      }
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  return factory(iid, object);
}
