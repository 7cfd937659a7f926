#pragma once
// TEMPORARY: stand-ins for core classes that other branches are still landing
// (Variant, date stamps). Removed as soon as the real headers merge.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>
#include <algorithm>

#include "platform/classlib/core/component.h"

using TDateTime = double;
struct TTimeStamp { int Time; int Date; };

class Variant {
 public:
  struct NullTag {};
  Variant() = default;
  Variant(NullTag) : v_(NullTag{}) {}
  Variant(int i) : v_(std::int64_t(i)) {}
  Variant(long long i) : v_(std::int64_t(i)) {}
  Variant(double d) : v_(d) {}
  Variant(bool b) : v_(b) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::vector<Variant> a) : v_(std::move(a)) {}
  static Variant Null() { return Variant(NullTag{}); }
  bool IsEmpty() const { return v_.index() == 0; }
  bool IsNull() const { return v_.index() == 1; }
  using Store = std::variant<std::monostate, NullTag, std::int64_t, double, bool, std::string, std::vector<Variant>>;
  const Store& store() const { return v_; }
 private:
  Store v_;
};
