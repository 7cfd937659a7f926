#include "platform/dao/readervfs.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/dao/filelayer.h"

namespace dao {

namespace {

// The files SQLite makes beside a database take the database file's
// permission bits, and its owner only when their maker is the superuser. A
// reader of another account who made them would own them, and nobody who
// may write the database could write through them. So readers open files
// through this variant of the default file system, which opens the log and
// the journal only where they exist: a reader creates neither.
// A reader that found no log files reads the file as it stands, without
// locks ("immutable"), and keeps what it read. Its owner may still change the
// file under it (a checkpoint folds the owner's log in), and a page read
// after that would mix two states, or tear. So every read of such a file
// first looks at the file's size and modification time: once they differ from
// what they were at the open, nothing more is read (SQLITE_IOERR_VNODE) and
// the reader is told to open the file again; what it had read still stands.
struct WatchedFile {
  LayeredFile layer;
  const char* path;      // SQLite keeps the name until the file is closed
  struct ::stat opened;  // as it stood at the open
  static void Replace(sqlite3_io_methods& m);
};

// The file's state as a change of its contents leaves it: its size and
// modification time (a link or new permissions leave both). Looked up by its
// name, so that another file put at the path counts as a change too.
bool SameState(const struct ::stat& a, const struct ::stat& b) {
  return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool StillAsOpened(WatchedFile* f) {
  struct ::stat now {};
  return ::stat(f->path, &now) == 0 && SameState(now, f->opened);
}

int WatchedRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  auto* f = reinterpret_cast<WatchedFile*>(file);
  if (!StillAsOpened(f)) return SQLITE_IOERR_VNODE;
  sqlite3_file* real = f->layer.real;
  const int rc = real->pMethods->xRead(real, buffer, amount, offset);
  // Changed during the read: the bytes may be torn.
  return rc == SQLITE_OK && !StillAsOpened(f) ? SQLITE_IOERR_VNODE : rc;
}

// Everything else as the default file system does it.
void WatchedFile::Replace(sqlite3_io_methods& m) {
  m.iVersion = 1;  // no shared memory nor mapping: an immutable file needs neither
  m.xRead = WatchedRead;
}

// The state taken at the open must be older than the clock's last tick: a
// change within the same tick could leave the modification time as it was.
struct ::stat SettledState(const char* path) {
  struct ::stat st {};
  for (int tries = 0; tries < 20 && ::stat(path, &st) == 0; ++tries) {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto age = std::chrono::seconds(now.tv_sec - st.st_mtim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - st.st_mtim.tv_nsec);
    if (age > std::chrono::milliseconds(20)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return st;
}

int OpenForReading(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL)) != 0) flags &= ~SQLITE_OPEN_CREATE;
  const bool watched = (flags & SQLITE_OPEN_MAIN_DB) != 0 && sqlite3_uri_boolean(name, "immutable", 0);
  if (!watched) return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
  const int rc = OpenLayered(file, LayerBytes<WatchedFile>(), name, flags, outFlags);
  if (rc != SQLITE_OK) return rc;
  auto* f = reinterpret_cast<WatchedFile*>(file);
  f->path = name;
  f->opened = SettledState(name);
  f->layer.base.pMethods = MethodsOf<WatchedFile>(f->layer.real->pMethods);
  return SQLITE_OK;
}

}  // namespace

const char* ReaderVfs() {
  static const char* const name =
      RegisterVfsVariant("vantrel-reader", LayerBytes<WatchedFile>(), OpenForReading);
  return name;
}

}  // namespace dao
