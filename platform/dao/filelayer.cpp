#include "platform/dao/filelayer.h"

#include <sys/stat.h>

#include <string>

namespace dao {

namespace {

sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<LayeredFile*>(file)->real; }

// Each method of the default layer's file, passed on.
int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return Real(f)->pMethods->xRead(Real(f), p, n, o); }
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
  return Real(f)->pMethods->xWrite(Real(f), p, n, o);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags) { return Real(f)->pMethods->xSync(Real(f), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag); }
int Fetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return Real(f)->pMethods->xFetch(Real(f), o, n, p); }
int Unfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), o, p); }

// SQLite deletes the log beside a database file it finds empty as it opens
// it. Such a file is one being written (a copy cuts it to nothing first),
// and the log holds the saves of those who have the file open: it stays,
// and the open waits (busy) for the file to have pages again.
int DeleteKeepingLogOfEmptyFile(sqlite3_vfs*, const char* name, int syncDirectory) {
  const std::string path = name;
  constexpr std::size_t kLog = 4;  // "-wal"
  struct stat file {}, log {};
  if (path.size() > kLog && path.compare(path.size() - kLog, kLog, "-wal") == 0 &&
      ::stat(path.substr(0, path.size() - kLog).c_str(), &file) == 0 && file.st_size == 0 &&
      ::stat(path.c_str(), &log) == 0 && log.st_size > 0)
    return SQLITE_BUSY;
  return DefaultVfs()->xDelete(DefaultVfs(), name, syncDirectory);
}

}  // namespace

sqlite3_vfs* DefaultVfs() {
  static sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
  return base;
}

sqlite3_io_methods PassedOn(const sqlite3_io_methods& real) {
  sqlite3_io_methods m = real;  // a method the default layer lacks stays missing
  m.xClose = Close;
  m.xRead = Read;
  m.xWrite = Write;
  m.xTruncate = Truncate;
  m.xSync = Sync;
  m.xFileSize = FileSize;
  m.xLock = Lock;
  m.xUnlock = Unlock;
  m.xCheckReservedLock = CheckReservedLock;
  m.xFileControl = FileControl;
  m.xSectorSize = SectorSize;
  m.xDeviceCharacteristics = DeviceCharacteristics;
  if (real.iVersion >= 2) {
    m.xShmMap = ShmMap;
    m.xShmLock = ShmLock;
    m.xShmBarrier = ShmBarrier;
    m.xShmUnmap = ShmUnmap;
  }
  if (real.iVersion >= 3) {
    m.xFetch = Fetch;
    m.xUnfetch = Unfetch;
  }
  return m;
}

const char* RegisterVfsVariant(const char* name, int fileBytes, VfsOpen open) {
  auto* variant = new sqlite3_vfs(*DefaultVfs());  // registered for the process's life
  variant->zName = name;
  variant->pNext = nullptr;
  variant->szOsFile = fileBytes + DefaultVfs()->szOsFile;
  variant->xOpen = open;
  variant->xDelete = DeleteKeepingLogOfEmptyFile;
  sqlite3_vfs_register(variant, 0);
  return variant->zName;
}

int OpenLayered(sqlite3_file* file, int fileBytes, const char* name, int flags, int* outFlags) {
  auto* layered = reinterpret_cast<LayeredFile*>(file);
  layered->base.pMethods = nullptr;
  layered->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + fileBytes);
  return DefaultVfs()->xOpen(DefaultVfs(), name, layered->real, flags, outFlags);
}

}  // namespace dao
