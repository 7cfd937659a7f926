#pragma once
// Where a database file lies decides how its users share it. On a local disk
// every process maps the write-ahead log's shared index (fast, and readers
// never wait for writers). Processes on other machines share no memory, so
// a file on a network file system (NFS, SMB/CIFS, other remote or FUSE file
// systems) runs with a rollback journal and the file's own POSIX locks,
// which the network file system's lock manager carries between machines.

#include <functional>
#include <string>

namespace dao {

// The statfs type code of the file system holding `folder` (0 when unknown).
using FileSystemProbe = std::function<long(const std::string& folder)>;
// Replaces the probe (tests); an empty one restores statfs.
void SetFileSystemProbe(FileSystemProbe probe);

// True for the type codes of network file systems and of those where shared
// memory between processes cannot be trusted.
bool IsNetworkFileSystem(long typeCode);

// True when the database at `path` (existing or to be made) is shared in
// network mode: its folder is on a network file system, or the environment
// variable VANTREL_NETWORK_MODE is 1 (to run a local disk the network way).
bool InNetworkMode(const std::string& path);

// The folder part of a file's path ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace dao
