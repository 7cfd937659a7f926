#pragma once
// The notification link every report object shares: linked objects hear of
// each other's events (operation 0: the sender is being freed), so a
// reference between report objects never dangles.

#include <vector>

#include "platform/classlib/core/component.h"

// Operation 0: the sender is being destroyed.
constexpr int ppopRemove = 0;

class TppCommunicator : public TComponent {
  DECLARE_CLASS(TppCommunicator, TComponent)
 public:
  explicit TppCommunicator(TComponent* owner = nullptr) : TComponent(owner) {}
  ~TppCommunicator() override;

  // Links both ways (each object enters the other's list once).
  void AddNotify(TppCommunicator* other);
  // Unlinks both ways.
  void RemoveNotify(TppCommunicator* other);
  // Tells every linked object, last linked first.
  void SendNotify(TppCommunicator* sender, int operation);
  const std::vector<TppCommunicator*>& NotifyList() const { return notifyList_; }

 protected:
  // Base: a sender that is being freed leaves the list.
  virtual void Notify(TppCommunicator* sender, int operation);

 private:
  void Link(TppCommunicator* other);
  void Unlink(TppCommunicator* other);
  std::vector<TppCommunicator*> notifyList_;
};
