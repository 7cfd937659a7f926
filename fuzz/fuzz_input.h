#pragma once
// Helpers for the fuzz targets: the input as text and cut into parts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/classlib/core/exceptions.h"

namespace fuzz {

inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The input up to the first line break, and what follows it (seed files keep
// two texts on separate lines: a mask and a text, a format and a value ...).
inline std::string_view FirstLine(std::string_view s, std::string_view& rest) {
  const std::size_t eol = s.find('\n');
  if (eol == std::string_view::npos) {
    rest = {};
    return s;
  }
  rest = s.substr(eol + 1);
  return s.substr(0, eol);
}

// An invariant the target checks: a failure is a finding like a crash.
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace fuzz
