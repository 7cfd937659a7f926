#pragma once
// Files, folders and paths with the class library's names and results. Paths use
// '/'; there are no drives (ExtractFileDrive is always empty). Functions that
// answer Boolean report failure by their result and leave errno set; the few that
// the class library lets raise (ForceDirectories, temporary files) raise EInOutError.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/wintypes.h"

inline constexpr char PathDelim = '/';
inline constexpr char PathSep = ':';

// --- Existence, folders, files --------------------------------------------------

bool FileExists(const std::string& fileName);       // a file, not a folder
bool DirectoryExists(const std::string& directory);
bool CreateDir(const std::string& directory);        // one level
bool RemoveDir(const std::string& directory);        // only when empty
// Creates the folder and every missing parent. Raises EInOutError "Unable to create
// directory" for an empty name or when a level cannot be made; true on success.
bool ForceDirectories(const std::string& directory);
bool DeleteFile(const std::string& fileName);        // files only, never folders
// Renames or moves; fails (false) when newName already exists, so nothing is replaced.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Copies contents, permissions and modification time. With failIfExists an existing
// target is left alone and the copy fails; a copy that fails half-way leaves no target.
bool CopyFile(const std::string& existingName, const std::string& newName, bool failIfExists);

// --- Paths ------------------------------------------------------------------------

std::string ExtractFilePath(const std::string& fileName);  // "a/b/c.txt" -> "a/b/"
std::string ExtractFileDir(const std::string& fileName);   // "a/b/c.txt" -> "a/b"
std::string ExtractFileName(const std::string& fileName);  // "a/b/c.txt" -> "c.txt"
std::string ExtractFileExt(const std::string& fileName);   // "a/b/c.txt" -> ".txt"
std::string ExtractFileDrive(const std::string& fileName); // always ""
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// An absolute path with "." and ".." resolved against the current folder (links are kept).
std::string ExpandFileName(const std::string& fileName);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// --- Dates, sizes, attributes -----------------------------------------------------

// File dates are the class library's packed form: local time, two-second steps,
// years 1980 to 2107. -1 stands for "no date" (missing file, or outside that range).
int FileAge(const std::string& fileName);
// The modification time as a TDateTime (local time, to the second); false when missing.
bool FileAge(const std::string& fileName, TDateTime& fileDateTime);
// Raises EConvertError for a value that is no packed date.
TDateTime FileDateToDateTime(int fileDate);
// 0 for a moment outside 1980 to 2107.
int DateTimeToFileDate(TDateTime dateTime);
int FileGetDate(int handle);  // of an open file descriptor
// 0 on success, else the operating system's error number.
int FileSetDate(const std::string& fileName, int age);
int FileSetDate(int handle, int age);

// The file's size in bytes; -1 when it does not exist or is a folder.
std::int64_t FileSizeByName(const std::string& fileName);

inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;   // names starting with '.'
inline constexpr int faSysFile = 0x04;
inline constexpr int faVolumeID = 0x08;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;  // every ordinary file
inline constexpr int faAnyFile = 0x3F;

int FileGetAttr(const std::string& fileName);  // -1 when missing
// Only faReadOnly can be changed (it clears or restores the write permissions);
// 0 on success, else the operating system's error number.
int FileSetAttr(const std::string& fileName, int attr);

// --- Searching a folder -------------------------------------------------------------

namespace classlib_detail {
struct SearchState;
}

struct TSearchRec {
  int Time = 0;           // packed file date (see FileAge)
  std::int64_t Size = 0;
  int Attr = 0;
  std::string Name;       // the name only, without the folder
  int ExcludeAttr = 0;
  std::shared_ptr<classlib_detail::SearchState> FindHandle;
};

// Path is a folder and a pattern ("data/*.txt"); '*' matches any run of characters,
// '?' one character, case-sensitively, and "*.*" matches every name. Entries come in
// name order; "." and ".." are never listed. Hidden files, system files and folders
// are listed only when attr asks for them. Result 0 when an entry was found, else
// ERROR_FILE_NOT_FOUND (no match), ERROR_PATH_NOT_FOUND (no such folder) or, from
// FindNext, ERROR_NO_MORE_FILES.
int FindFirst(const std::string& path, int attr, TSearchRec& f);
int FindNext(TSearchRec& f);
void FindClose(TSearchRec& f);

// --- Whole files (for the settings stores) --------------------------------------------

// Reads the whole file; false when it cannot be read (errno tells why).
bool ReadWholeFile(const std::string& fileName, std::string& contents);
// Holds an exclusive lock on a lock file (made when missing) while it lives, so a
// read-change-write of a shared file by several programs cannot lose one program's
// change. Raises EInOutError naming the lock file when it cannot be opened.
class TFileLockScope {
 public:
  explicit TFileLockScope(const std::string& lockFileName);
  ~TFileLockScope();
  TFileLockScope(const TFileLockScope&) = delete;
  TFileLockScope& operator=(const TFileLockScope&) = delete;

 private:
  int fd_;
};

// --- Files a process owns while it runs ------------------------------------------------

// Temporary files and folders that a killed process would leave behind carry their
// process in their names: prefix, the process number, '-', then anything. A prefix
// for a folder that several machines may share holds the machine's name (see
// OwnedNamePrefix), so that only this machine's processes are judged.
// prefix + this machine's name + '@': the start of such names in a shared folder.
std::string OwnedNamePrefix(const std::string& prefix);
// prefix + this process's number + '-'.
std::string OwnedName(const std::string& prefix);
// Removes the files and folders of folder named prefix, a process number and '-'
// whose process no longer runs here. Names of running processes, of other forms
// and entries that cannot be removed are left alone.
void RemoveAbandoned(const std::string& folder, const std::string& prefix);
// RemoveAbandoned, the first time for each folder and prefix in this process only:
// once is enough to free what died before, and later calls stay cheap.
void RemoveAbandonedOnce(const std::string& folder, const std::string& prefix);
// Creates a new file in folder named OwnedName(OwnedNamePrefix(prefix)), a unique
// part and ".tmp", after removing such files of dead processes there, with `mode`
// (less the umask), and opens it for writing and reading back: returns its
// descriptor and puts its full name in `name`. Raises EInOutError when no file
// can be created there.
int OpenOwnedTempFile(const std::string& folder, const std::string& prefix, unsigned mode,
                      std::string& name);

// --- Current folder, temporary files, the program ------------------------------------

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& directory);

// The folder for temporary files ($TMPDIR, else /tmp), with a trailing '/'.
std::string GetTempPath();
// Creates a new empty file with a unique name (prefix, at most three characters of it,
// then hex digits, then ".tmp") in directory and returns its full name. Raises
// EInOutError when no file can be created there.
std::string GetTempFileName(const std::string& directory, const std::string& prefix);

// ParamStr(0) is the full name of the running program; 1 .. ParamCount() its arguments.
std::string ParamStr(int index);
int ParamCount();
