#include "report/model/ppcomm.h"

#include <algorithm>

IMPLEMENT_CLASS(TppCommunicator, TComponent)

TppCommunicator::~TppCommunicator() {
  SendNotify(this, ppopRemove);
  // Whoever did not drop the link on notice must not keep a dangling one.
  for (TppCommunicator* other : std::vector(notifyList_)) other->Unlink(this);
}

void TppCommunicator::Link(TppCommunicator* other) {
  if (std::find(notifyList_.begin(), notifyList_.end(), other) == notifyList_.end())
    notifyList_.push_back(other);
}

void TppCommunicator::Unlink(TppCommunicator* other) { std::erase(notifyList_, other); }

void TppCommunicator::AddNotify(TppCommunicator* other) {
  if (!other || other == this) return;
  Link(other);
  other->Link(this);
}

void TppCommunicator::RemoveNotify(TppCommunicator* other) {
  if (!other) return;
  Unlink(other);
  other->Unlink(this);
}

void TppCommunicator::SendNotify(TppCommunicator* sender, int operation) {
  // A receiver may unlink itself (or others) while it is told; work on a copy
  // and skip those already gone.
  const std::vector<TppCommunicator*> targets(notifyList_.rbegin(), notifyList_.rend());
  for (TppCommunicator* target : targets)
    if (std::find(notifyList_.begin(), notifyList_.end(), target) != notifyList_.end())
      target->Notify(sender, operation);
}

void TppCommunicator::Notify(TppCommunicator* sender, int operation) {
  if (operation == ppopRemove) Unlink(sender);
}
