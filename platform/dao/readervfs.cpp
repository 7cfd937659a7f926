#include "platform/dao/readervfs.h"

#include <sqlite3.h>

namespace dao {

namespace {

// The files SQLite makes beside a database take the database file's
// permission bits, and its owner only when their maker is the superuser. A
// reader of another account who made them would own them, and nobody who
// may write the database could write through them. So readers open files
// through this variant of the default file system, which opens the log and
// the journal only where they exist: a reader creates neither.
sqlite3_vfs* DefaultVfs() {
  static sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
  return base;
}

int OpenWithoutCreatingLogs(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL)) != 0) flags &= ~SQLITE_OPEN_CREATE;
  return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
}

}  // namespace

const char* ReaderVfs() {
  static const char* const name = [] {
    static sqlite3_vfs reader = *DefaultVfs();
    reader.zName = "vantrel-reader";
    reader.pNext = nullptr;
    reader.xOpen = OpenWithoutCreatingLogs;
    sqlite3_vfs_register(&reader, 0);
    return reader.zName;
  }();
  return name;
}

}  // namespace dao
