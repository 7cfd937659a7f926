#pragma once
// The file layer read-only connections open their files through, and how
// each file layer here is made from the default one.

struct sqlite3_vfs;
struct sqlite3_file;

namespace dao {

// The name of the file layer to open a reader's connection through: it opens
// the log and the journal only where they exist.
const char* ReaderVfs();

// The default file system, and a variant of it registered under `name` whose
// files are `extraBytes` larger and opened by `open`: the file layers here
// wrap the default one's files.
sqlite3_vfs* DefaultVfs();
using VfsOpen = int (*)(sqlite3_vfs*, const char*, sqlite3_file*, int, int*);
const char* RegisterVfsVariant(const char* name, int extraBytes, VfsOpen open);

}  // namespace dao
