#pragma once
// Makes a file call fail on purpose, to prove that a failure midway leaves the
// old file whole and nothing half-made behind. While a TFailingFiles lives, the
// calls of one kind on files inside its folder are counted, and the Nth fails
// with its error without touching anything; all other calls pass through.
//
// The layer replaces the C library's entries (open, write, fsync, rename and
// their relatives, fopen and fwrite) in the whole test program, so it sees the
// calls of every library in it: the class library, Qt, SQLite, the C++ streams.
// Unarmed it only passes calls on. One layer is armed at a time.

#include <cerrno>
#include <functional>
#include <string>

enum class TFileCall { Open, Write, Sync, Rename };

class TFailingFiles {
 public:
  // nth counts from 1. Raises std::logic_error when another layer is armed.
  TFailingFiles(const std::string& folder, TFileCall call, int nth, int error = ENOSPC);
  ~TFailingFiles();
  TFailingFiles(const TFailingFiles&) = delete;
  TFailingFiles& operator=(const TFailingFiles&) = delete;

  int Calls() const;    // calls of the kind inside the folder so far
  bool Failed() const;  // the Nth came and failed
};

// Runs action with the 1st call of the kind inside folder failing, then with the
// 2nd, and so on until a run reaches no more such calls; after each run that
// failed, check(n) looks at what was left. What action raises is swallowed.
// Returns the number of runs that failed.
int FailEachCall(const std::string& folder, TFileCall call, const std::function<void()>& action,
                 const std::function<void(int n)>& check, int error = ENOSPC);
