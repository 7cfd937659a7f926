#pragma once
// The registry class through which the engine reads and writes its own keys
// with explicit access rights: keys are opened with Access (readers set
// KEY_READ first); keys are created with full access.

#include <string>

#include "platform/classlib/core/registry.h"

class TRightsRegistry : public TRegistry {
  DECLARE_CLASS(TRightsRegistry, TRegistry)
 public:
  TRightsRegistry() = default;

  // Opens (or, with mayCreate, creates) the key and makes it the current key.
  bool OpenKey(const std::string& key, bool mayCreate);
  // An open handle of the key, nullptr on failure; the current key stays.
  // The caller closes it with RegCloseKey.
  using TRegistry::GetKey;
  using TRegistry::KeyExists;
  static bool IsRelative(const std::string& key) { return TRegistry::IsRelative(key); }
};
