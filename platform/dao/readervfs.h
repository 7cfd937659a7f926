#pragma once
// The file layer read-only connections open their files through.

namespace dao {

// The name of the file layer to open a reader's connection through: it opens
// the log and the journal only where they exist.
const char* ReaderVfs();

}  // namespace dao
