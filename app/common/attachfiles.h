#pragma once
// The attachment files: the small file routines the attachment commands use
// (copying, sizes, dates, attributes, opening and the trash), and the rules
// for the names of copies in the attachments folder. Only a bare name is ever
// joined to the folder, so no name taken from an entry or a source file can
// reach outside it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Copies source to a new file dest block by block; dest is created
// exclusively: false (nothing touched) when a file of that name exists
// already. Raises EFOpenError "Cannot open file <source>" for a source that
// cannot be read (with ": it is not a regular file" for a folder, a named pipe
// or a device), EFCreateError "Cannot create file <expanded dest>" and
// EInOutError "Cannot write file <expanded dest>: <reason>"; a copy that fails
// half-way is removed.
bool CopyFileToNew(const std::string& source, const std::string& dest);

// The file's size; -1 when there is no such file.
std::int64_t GetFileSizeBytes(const std::string& path);
// "dddd, mmmm d, yyyy hh:mm:ss AM/PM" of the last write; empty when missing.
std::string FileDateTimeText(const std::string& path);
// True when every bit is set: read-only = not writable by its owner, hidden =
// a name starting with "."; archive and system are never set.
bool FileHasAttributes(const std::string& path, int attributes);
// Decimal digits, one comma before the last three when there are four or more
// (1234567 -> "1234,567"), then " bytes".
std::string FormatByteCount(std::int64_t size);

// Starts the desktop's program for the file in `folder`, without waiting for
// it. The launcher runs `argv` in `folder` and raises EInOutError when the
// folder cannot be entered or the program not started; tests replace it.
using TShellLauncher = std::function<void(const std::vector<std::string>& argv,
                                          const std::string& folder)>;
void ShellOpenFile(const std::string& file, const std::string& parameters,
                   const std::string& folder);
// Installs a launcher (an empty one restores the real one); returns the old.
TShellLauncher SetShellLauncher(TShellLauncher launcher);

// Moves one file (never a folder) to the user's trash; false when it could not.
bool MoveFileToRecycleBin(const std::string& path);

// ---- The attachments folder ----

// The database file's folder + "Attachments/".
std::string AttachmentsFolder(const std::string& databasePath);
// A name that may be joined to the folder: not empty, no "/", not "." or
// "..", no control characters.
bool IsBareFileName(const std::string& name);
// The name itself when free in the folder, else base + "(n)" + extension for
// the first free n from 2 (base up to the first dot, extension from the last).
std::string UniqueAttachmentName(const std::string& folder, const std::string& name);
// Copies source into the folder (made again when missing) under a free name
// and returns that name. A source whose name is not bare is refused with
// EInOutError, one that is no regular file (a folder, a named pipe) with
// EFOpenError, without waiting on it; a name taken by another user meanwhile
// moves on to the next. The copy is made whole under a temporary name and then
// renamed, so no attachment name ever holds part of a file; temporary copies
// left by killed programs are removed by the next copy into the folder. The
// copy's mode is that of a new file (the umask's), and whoever may read
// `readableLike` (the database, when given) may read the copy too.
std::string CopyInAttachment(const std::string& folder, const std::string& source,
                             const std::string& readableLike = "");
