#include "platform/win32/com.h"

#include <gtest/gtest.h>

namespace {

const IID IID_ICounter = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID CLSID_Counter = {0xCAFEBABE, 0x0001, 0x0002, {9, 9, 9, 9, 9, 9, 9, 9}};

class ICounter : public IUnknown {
 public:
  virtual int Next() = 0;
};

int liveCounters = 0;

class TCounter : public TComObject<ICounter> {
 public:
  TCounter() { ++liveCounters; }
  ~TCounter() override { --liveCounters; }
  int Next() override { return ++value_; }

 protected:
  void* Supports(REFIID iid) override {
    return iid == IID_ICounter ? static_cast<ICounter*>(this) : nullptr;
  }

 private:
  int value_ = 0;
};

HRESULT CreateCounter(REFIID iid, void** object) {
  auto* c = new TCounter;
  c->AddRef();
  HRESULT hr = c->QueryInterface(iid, object);
  c->Release();
  return hr;
}

TEST(ComGuid, ParsesAndFormatsIdentifierStrings) {
  IID iid;
  ASSERT_EQ(S_OK, IIDFromString("{00000021-0000-0010-8000-00aa006d2ea4}", &iid));
  EXPECT_EQ(0x21u, iid.Data1);
  EXPECT_EQ(0x10, iid.Data3);
  EXPECT_EQ(0x80, iid.Data4[0]);
  EXPECT_EQ(0xA4, iid.Data4[7]);
  EXPECT_EQ("{00000021-0000-0010-8000-00AA006D2EA4}", StringFromGUID(iid));
  CLSID c;
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString("00000021-0000-0010-8000-00AA006D2EA4", &c));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString("{0000002G-0000-0010-8000-00AA006D2EA4}", &c));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString("{00000021-0000-0010-8000-00AA006D2EA}", &c));
  EXPECT_EQ(E_INVALIDARG, IIDFromString("", &iid));
  EXPECT_EQ(E_POINTER, CLSIDFromString("{00000021-0000-0010-8000-00AA006D2EA4}", nullptr));
}

TEST(ComServer, CreatesQueriesAndCountsReferences) {
  EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ASSERT_EQ(S_OK, CoRegisterServer("Test.Counter.1", CLSID_Counter, CreateCounter));
  CLSID c;
  ASSERT_EQ(S_OK, CLSIDFromProgID("TEST.COUNTER.1", &c));  // case ignored
  EXPECT_EQ(CLSID_Counter, c);

  IUnknown* unk = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(c, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&unk)));
  EXPECT_EQ(1, liveCounters);
  ICounter* counter = nullptr;
  ASSERT_EQ(S_OK, unk->QueryInterface(IID_ICounter, reinterpret_cast<void**>(&counter)));
  EXPECT_EQ(1, counter->Next());
  void* none = nullptr;
  EXPECT_EQ(E_NOINTERFACE, unk->QueryInterface(CLSID_Counter, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(1u, unk->Release());
  EXPECT_EQ(1, liveCounters);
  EXPECT_EQ(0u, counter->Release());
  EXPECT_EQ(0, liveCounters);

  // Aggregation is not offered; a wrong context finds no server.
  EXPECT_EQ(CLASS_E_NOAGGREGATION,
            CoCreateInstance(c, unk, CLSCTX_INPROC_SERVER, IID_IUnknown, &none));
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(c, nullptr, 0x4, IID_IUnknown, &none));

  // An interface the class does not have: creation fails and nothing leaks.
  EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(c, nullptr, CLSCTX_INPROC_SERVER, CLSID_Counter, &none));
  EXPECT_EQ(0, liveCounters);

  EXPECT_EQ(S_OK, CoUnregisterServer("Test.Counter.1"));
  EXPECT_EQ(S_FALSE, CoUnregisterServer("Test.Counter.1"));
  // Unregistered, neither the name nor the class is known; no object is handed out.
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID("Test.Counter.1", &c));
  none = reinterpret_cast<void*>(1);
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &none));
  EXPECT_EQ(nullptr, none);
}

TEST(ComServer, CreationNeedsInitialisation) {
  ASSERT_EQ(S_OK, CoRegisterServer("Test.Counter.2", CLSID_Counter, CreateCounter));
  CoUninitialize();
  void* obj = nullptr;
  EXPECT_EQ(CO_E_NOTINITIALIZED,
            CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &obj));
  EXPECT_EQ(S_OK, CoInitialize(nullptr));
  EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  ASSERT_EQ(S_OK,
            CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &obj));
  static_cast<IUnknown*>(obj)->Release();
  CoUnregisterServer("Test.Counter.2");
}

}  // namespace
