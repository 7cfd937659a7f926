#pragma once
// The file layers connections open their files through (internal to the dao
// library): variants of SQLite's default file system whose files wrap the
// default one's. A variant's file starts with a LayeredFile; the default
// layer's file follows the variant's own part. Every method passes the call
// on to the default layer's file, except those the variant replaces.

#include <sqlite3.h>

namespace dao {

struct LayeredFile {
  sqlite3_file base;   // what SQLite holds
  sqlite3_file* real;  // the default layer's file
};

// The default file system.
sqlite3_vfs* DefaultVfs();

// The methods of a wrapped file with every call passed on to `real`'s; a
// variant changes the ones it replaces.
sqlite3_io_methods PassedOn(const sqlite3_io_methods& real);

// A variant's methods, made once: every call passed on to the default
// layer's file but those `File::Replace` sets.
template <class File>
const sqlite3_io_methods* MethodsOf(const sqlite3_io_methods* real) {
  static const sqlite3_io_methods methods = [real] {
    sqlite3_io_methods m = PassedOn(*real);
    File::Replace(m);
    return m;
  }();
  return &methods;
}

// The bytes of a variant's own part: the default layer's file follows, aligned.
template <class File>
constexpr int LayerBytes() {
  return static_cast<int>((sizeof(File) + 7) / 8 * 8);
}

// Registers a variant of the default file system under `name` whose files
// are a `File` (starting with a LayeredFile) followed by the default layer's
// file, opened by `open`. No variant deletes the log of an empty database
// file (see filelayer.cpp).
using VfsOpen = int (*)(sqlite3_vfs*, const char*, sqlite3_file*, int, int*);
const char* RegisterVfsVariant(const char* name, int fileBytes, VfsOpen open);

// Opens `name` with the default layer into the part of `file` after a
// variant's `fileBytes`, and points the LayeredFile at it. The variant sets
// base.pMethods once this succeeds (SQLite closes nothing it did not open).
int OpenLayered(sqlite3_file* file, int fileBytes, const char* name, int flags, int* outFlags);

}  // namespace dao
