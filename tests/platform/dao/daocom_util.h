#pragma once
// Helpers for the tests that go through the DAO interfaces as the engine does.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "daotest_util.h"
#include "platform/classlib/core/settings_folder.h"
#include "platform/dao/dao.h"

namespace daotest {

using testing_support::TScratchRegistry;

// Holds one reference and releases it.
template <class T>
class Ptr {
 public:
  Ptr() = default;
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  ~Ptr() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** operator&() {
    Reset();
    return &p_;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

inline Variant Missing() { return Variant::FromError(DISP_E_PARAMNOTFOUND); }

inline int DaoNumber(HRESULT hr) { return hr & 0xFFFF; }

// Registering writes class keys: the caller holds a TScratchRegistry so that
// they stay out of the user's own settings and go with the test.
inline void NewEngine(Ptr<DAODBEngine>& engine) {
  CoInitialize(nullptr);
  DaoRegisterServer();
  CLSID clsid;
  IID iid;
  EXPECT_EQ(S_OK, CLSIDFromProgID("DAO.DBENGINE.35", &clsid));
  IIDFromString(kIIDDBEngine35W, &iid);
  EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
                                   reinterpret_cast<void**>(&engine)));
}

// The first error of the engine's Errors collection: number and description.
inline std::pair<int, std::string> FirstError(DAODBEngine* engine) {
  Ptr<DAOErrors> errors;
  Ptr<DAOError> error;
  std::int32_t number = 0;
  std::string text;
  if (engine->get_Errors(&errors) != S_OK) return {-1, ""};
  if (errors->get_Item(Variant(0), &error) != S_OK) return {0, ""};
  error->get_Number(&number);
  error->get_Description(&text);
  return {number, text};
}

class DaoComFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDir();
    path_ = dir_ + "/Vantrel.MDB";
    NewEngine(engine_);
    ASSERT_EQ(S_OK, engine_->CreateDatabase(path_, ";LANGID=0x0409;CP=1252;COUNTRY=0", Missing(), &db_));
  }
  void TearDown() override {
    db_.Reset();
    engine_.Reset();
    std::filesystem::remove_all(dir_);
  }
  void Exec(const std::string& sql) { ASSERT_EQ(S_OK, db_->Execute(sql, Missing())) << sql; }
  HRESULT Open(const std::string& source, Ptr<DAORecordset>& rs, int options = -1) {
    return db_->OpenRecordset(source, Missing(), options < 0 ? Missing() : Variant(options), &rs);
  }
  Variant Value(DAORecordset* rs, const std::string& field) {
    Ptr<DAOFields> fields;
    Ptr<DAOField> f;
    Variant v;
    rs->get_Fields(&fields);
    if (fields->get_Item(Variant(field), &f) != S_OK) return Variant("<no field>");
    EXPECT_EQ(S_OK, f->get_Value(&v));
    return v;
  }
  HRESULT SetValue(DAORecordset* rs, const std::string& field, const Variant& value) {
    Ptr<DAOFields> fields;
    Ptr<DAOField> f;
    rs->get_Fields(&fields);
    HRESULT hr = fields->get_Item(Variant(field), &f);
    return hr != S_OK ? hr : f->put_Value(value);
  }

  TScratchRegistry registry_;  // outlives the engine: made first, gone last
  std::string dir_;
  std::string path_;
  Ptr<DAODBEngine> engine_;
  Ptr<DAODatabase> db_;
};

}  // namespace daotest
