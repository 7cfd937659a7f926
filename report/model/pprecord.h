#pragma once
// Small helpers the report objects share: little-endian fields of page-state
// records, the "being read or loaded" test that mutes setters, and the
// integer "mm…" stream keys that keep geometry exact whatever the Units.

#include <cstdint>

#include "platform/classlib/core/component.h"

class TFiler;

// Page-state records are little-endian whatever the machine.
inline void ppPutInt32(uint8_t* p, int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}
inline int32_t ppGetInt32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(p[i]) << (8 * i);
  return int32_t(v);
}
inline void ppPutUInt64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint64_t ppGetUInt64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t(p[i]) << (8 * i);
  return v;
}

// True while a stream is read into the component or it is being loaded.
inline bool ppReadingOrLoading(const TComponent* c) {
  const TComponentState s = c->ComponentState();
  return s.Contains(csReading) || s.Contains(csLoading);
}

// Defines an "mm…" key: written as an integer, read as an integer or a
// rounded float; negative values read as 0 when `nonNegative`.
void ppDefineMMProperty(TFiler* filer, const char* name, int32_t& field, bool nonNegative);
