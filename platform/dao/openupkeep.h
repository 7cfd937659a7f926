#pragma once
// What an open tells while it brings a database file up to date before its
// first use (the case-blind indexes of a file made by an earlier build), and
// what the user must know of it afterwards. The layer that shows them
// installs the hooks; without them an open says nothing and waits alike.

#include <cstdint>
#include <functional>
#include <string>

struct DaoOpenProgress {
  enum Stage {
    Checking,    // reading the indexes to find those out of order
    Rebuilding,  // building those again
    Waiting,     // for another user who is doing either
    Done,        // the work is over (told once, after any of the others)
  };
  std::string path;
  Stage stage = Checking;
  std::int64_t done = 0;   // index entries; Waiting: milliseconds waited so far
  std::int64_t total = 0;  // index entries; Waiting: 0 (not known)
};

struct DaoOpenHooks {
  // Called often enough for a progress line (a few times a second) and from
  // within the open: it may run the event loop, not use the database.
  std::function<void(const DaoOpenProgress&)> Progress;
  // A plain-words text for the user, once the open's work is committed.
  std::function<void(const std::string& path, const std::string& text)> Notice;
};

// Installs the hooks for every later open in this process; answers the
// ones installed before, so that a caller may put them back.
DaoOpenHooks DaoSetOpenHooks(DaoOpenHooks hooks);
