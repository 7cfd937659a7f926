#pragma once
// Writing a file whole or not at all: the one road of every file the program
// writes over a target (settings, saved filters, templates, exports, report
// text files, PDF files, attachment copies).
//
// The bytes go into a temporary file beside the target, under a name owned by
// this process (OwnedName in fileutils.h), and only once they are all on disk
// does that file take the target's place: a reader sees the old file or the
// new one, and a failure or a kill leaves the old one whole. What stands at
// the target decides the rest:
// - nothing: the new file gets the mode of any newly created file (0666 less
//   the umask);
// - a regular file: the new one takes its read, write and execute bits
//   (0777) and no others, since setuid, setgid and sticky do not belong on a
//   file now owned by whoever wrote it; and its owner and group;
// - a regular file whose owner and group this process cannot give the new
//   one (another user's file it may write, or one of a group it is not in):
//   written in place, so that it stays theirs, with its permissions; the
//   bytes still go to a temporary file first and are copied over the target
//   only once they are all on disk, so a failure before then (a full disk
//   among them) leaves the target whole, but a kill or a failure during the
//   copy can leave it part new and part old;
// - a symbolic link: followed, so the file it names is the one replaced (made
//   when missing) and the link stays;
// - a character device or a named pipe: written in place, as someone who sends
//   output there expects; a pipe that no program reads is refused, since
//   waiting for one would hang the program;
// - anything else (a folder, a block device, a socket): refused.
// A file the user may not write (another user's, or one without write bits,
// even for the superuser) is refused though the folder would let a new file
// take its place: replacing it must not let anyone change more than writing
// it would. The temporary name is "." + the target's name + "." + the owner
// part, the target's name cut so that the whole fits in a name wherever the
// target's name fits.
// Every failure raises EInOutError "Cannot write file <name>: <reason>", with
// the name as the caller gave it (the reason "cannot create a temporary file
// in '<folder>': ..." when none can be made beside it); nothing is reported
// written that is not.

#include <cstddef>
#include <string>

struct stat;

class TAtomicFileWriter {
 public:
  // Opens the writer on fileName. The temporary file's name starts with
  // tempPrefix (by default "." + the target's name + "."); those of dead
  // processes with that prefix are removed on the way.
  explicit TAtomicFileWriter(const std::string& fileName, const std::string& tempPrefix = {});
  // A writer of a new file in folder, named only when complete (CommitNew):
  // for copies that must never replace anything. shownName names the file in
  // messages until then.
  struct TNewFile {};
  static constexpr TNewFile NewFile{};
  TAtomicFileWriter(TNewFile, const std::string& folder, const std::string& tempPrefix,
                    const std::string& shownName);
  // An unfinished temporary file goes with the writer.
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  // Writes every byte or raises; after a failure the writer is closed.
  void Write(const void* data, std::size_t count);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  // Lets whoever may read `other` read the new file too (call it before
  // committing): its read permissions are added, and its group is taken where
  // this process may take it. Does nothing when other cannot be found.
  void ShareReadingWith(const std::string& other);

  // Ends the file: on disk and in the target's place (or, in place, closed).
  void Commit();
  // Ends a NewFile writer's file under fileName, which it never replaces:
  // false when that name is taken (the file waits for another name).
  bool CommitNew(const std::string& fileName);

 private:
  // Writing straight into a device or a pipe (or closed after a failure).
  bool InPlace() const { return temp_.empty(); }
  // The target opened to be written in place; seen is what was found at its
  // name, so that a file swapped in since is not written over.
  int OpenInPlace(const struct stat& seen);
  // The temporary file in folder; `replaced` is the file it will replace.
  void OpenBeside(const std::string& folder, const std::string& tempPrefix, const struct stat* replaced);
  void Finish();
  void CopyOver();
  // Closes, removes the temporary file and raises; reason replaces the
  // system's text for the error.
  [[noreturn]] void Fail(int error, const char* reason = nullptr);

  std::string shownName_;  // as the caller gave it
  std::string target_;     // links followed
  std::string temp_;       // where the bytes go until complete; empty in place
  int fd_ = -1;
  int copyOver_ = -1;      // the target in place, when the temporary file is copied over it
};

// Replaces the file's contents all at once through a TAtomicFileWriter: a
// reader sees the old file or the new one, never a mix, and a failure leaves
// the old file as it was (but for another user's file, written in place, see
// above). Raises EInOutError naming the file when it cannot be written.
void WriteFileAtomically(const std::string& fileName, const std::string& contents);
