// Makes the shipped empty database when it is missing; an existing file is
// never touched. Usage: vantrel_makedb <path of the database file>

#include <cstdio>
#include <exception>
#include <filesystem>

#include "app/schema/schema.h"
#include "platform/classlib/core/exceptions.h"

int main(int argc, char** argv) {
  // A name starting with '-' is an option nobody offers (say --help), not a
  // file to make; "./-name" still makes one.
  if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: vantrel_makedb <database file>\n");
    return 2;
  }
  try {
    const std::filesystem::path path(argv[1]);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    if (CreateVantrelDatabaseIfMissing(path.string()))
      std::printf("vantrel_makedb: created %s\n", argv[1]);
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "vantrel_makedb: %s\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantrel_makedb: %s\n", e.what());
  }
  return 1;
}
