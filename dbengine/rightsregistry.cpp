#include "dbengine/rightsregistry.h"

IMPLEMENT_CLASS(TRightsRegistry, TRegistry)

bool TRightsRegistry::OpenKey(const std::string& key, bool mayCreate) {
  bool relative = IsRelative(key);
  std::string subKey = relative ? key : key.substr(1);
  HKEY base = GetBaseKey(relative);
  HKEY opened = nullptr;
  LONG result;
  if (!mayCreate || subKey.empty())
    result = RegOpenKeyExA(base, subKey.c_str(), 0, Access(), &opened);
  else
    result = RegCreateKeyExA(base, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                             nullptr);
  if (result != ERROR_SUCCESS) return false;
  std::string path = relative && CurrentKey() != nullptr ? CurrentPath() + "\\" + subKey : subKey;
  ChangeKey(opened, path);
  return true;
}
