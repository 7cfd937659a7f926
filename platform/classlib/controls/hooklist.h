#pragma once
// An ordered list of callbacks with ids, shared by the window, application
// and shortcut hooks: a hook may remove itself (or another) while the list
// is being run, so callers walk a snapshot and skip entries removed since.

#include <memory>
#include <vector>

template <class Proc>
class THookList {
 public:
  struct Entry {
    int id;
    Proc proc;
    bool alive;  // false once removed: a running call finishes, no new one starts
  };
  using Snapshot = std::vector<std::shared_ptr<Entry>>;

  int Add(Proc proc) {
    const int id = nextId_++;
    entries_.push_back(std::make_shared<Entry>(Entry{id, std::move(proc), true}));
    return id;
  }
  // False when no hook has that id (already removed).
  bool Remove(int id) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if ((*it)->id == id) {
        (*it)->alive = false;
        entries_.erase(it);
        return true;
      }
    return false;
  }
  int Count() const { return int(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  // The hooks as they are now, oldest first; later additions do not join a run.
  Snapshot Take() const { return entries_; }
  // Runs the hooks oldest first until one answers true.
  template <class... Args>
  bool AnyHandles(Args&&... args) const {
    for (const auto& e : Take())
      if (e->alive && e->proc(args...)) return true;
    return false;
  }

 private:
  Snapshot entries_;
  int nextId_ = 1;
};
