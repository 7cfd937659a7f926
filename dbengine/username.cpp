#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "dbengine/engineobjects.h"

std::string GetNetworkUserName() {
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr)
    return pw->pw_name;
  const char* name = std::getenv("USER");
  return name != nullptr ? name : "";
}
