#pragma once
// What a shell command prints, for tests that read files with outside tools
// (poppler's pdfinfo and pdftotext).

#include <cstdio>
#include <memory>
#include <string>

inline std::string CommandOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string out;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}
