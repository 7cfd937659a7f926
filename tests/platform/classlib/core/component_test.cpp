#include "platform/classlib/core/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/english_settings.h"

namespace {

// Records what it is told and drops its reference when the target goes.
class TWatcher : public TComponent {
  DECLARE_CLASS(TWatcher, TComponent)
 public:
  using TComponent::TComponent;
  ~TWatcher() override { ++destroyed; }
  TComponent* target = nullptr;
  std::vector<std::string>* log = nullptr;
  static int destroyed;

  void Watch(TComponent* c) {
    target = c;
    if (c) c->FreeNotification(this);
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (log)
      log->push_back(Name() + (Operation == opInsert ? " insert " : " remove ") +
                     (AComponent == target ? "target" : "other"));
    if (Operation == opRemove && AComponent == target) target = nullptr;
  }
};
int TWatcher::destroyed = 0;

// A watcher that never calls the inherited Notification.
class TRudeWatcher : public TComponent {
  DECLARE_CLASS(TRudeWatcher, TComponent)
 public:
  using TComponent::TComponent;
  TComponent* target = nullptr;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == opRemove && AComponent == target) target = nullptr;
  }
};

}  // namespace

IMPLEMENT_CLASS(TWatcher, TComponent)
IMPLEMENT_CLASS(TRudeWatcher, TComponent)

TEST(ComponentTest, OwnerListsAndIndexes) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  auto* c = new TComponent(&owner);
  EXPECT_EQ(owner.ComponentCount(), 3);
  EXPECT_EQ(owner.Components(1), b);
  EXPECT_EQ(c->ComponentIndex(), 2);
  EXPECT_EQ(a->Owner(), &owner);
  EXPECT_EQ(owner.ComponentIndex(), -1);
  EXPECT_THROW(owner.Components(3), EListError);
  EXPECT_THROW(owner.Components(-1), EListError);
  c->SetComponentIndex(0);
  EXPECT_EQ(owner.Components(0), c);
  EXPECT_EQ(owner.Components(2), b);

  TComponent other(nullptr);
  other.InsertComponent(a);  // moves from one owner to the other
  EXPECT_EQ(a->Owner(), &other);
  EXPECT_EQ(owner.ComponentCount(), 2);
  owner.RemoveComponent(b);
  EXPECT_EQ(b->Owner(), nullptr);
  delete b;
  EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(ComponentTest, NamesAreIdentifiersUniquePerOwnerIgnoringCase) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("btnOK");
  EXPECT_EQ(owner.FindComponent("BTNOK"), a);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  EXPECT_EQ(MessageOf<EComponentError>([&] { b->SetName("BtnOk"); }),
            "A component named BtnOk already exists");
  EXPECT_EQ(b->Name(), "");
  EXPECT_EQ(MessageOf<EComponentError>([&] { b->SetName("1st"); }),
            "Component name \"1st\" is not a valid component name");
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  EXPECT_THROW(b->SetName("Name.Dot"), EComponentError);
  b->SetName("_second2");
  a->SetName("BTNOK");  // a change of case clashes with nobody
  EXPECT_EQ(a->Name(), "BTNOK");
  a->SetName("btnCancel");
  EXPECT_EQ(owner.FindComponent("btnok"), nullptr);
  EXPECT_EQ(owner.FindComponent("btnCancel"), a);
  a->SetName("");  // unnamed components never clash
  b->SetName("");
  EXPECT_EQ(owner.FindComponent(""), nullptr);

  // A named component cannot join an owner that has one of that name.
  TComponent loose(nullptr);
  loose.SetName("_SECOND2");
  TComponent taken(nullptr);
  auto* holder = new TComponent(&taken);
  holder->SetName("_second2");
  EXPECT_THROW(taken.InsertComponent(&loose), EComponentError);
  EXPECT_EQ(loose.Owner(), nullptr);
  EXPECT_EQ(taken.ComponentCount(), 1);
}

TEST(ComponentTest, DestroyingFreesOwnedComponentsRecursively) {
  TWatcher::destroyed = 0;
  auto* root = new TComponent(nullptr);
  auto* mid = new TWatcher(root);
  new TWatcher(mid);
  new TWatcher(mid);
  new TWatcher(root);
  delete root;
  EXPECT_EQ(TWatcher::destroyed, 4);
}

TEST(ComponentTest, DeletingAnOwnedComponentDirectlyLeavesItsOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  b->SetName("b");
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), b);
  EXPECT_EQ(owner.FindComponent("b"), b);
}

TEST(ComponentTest, FreeNotificationInEveryDestructionOrder) {
  // Watcher and target in different owners, destroyed in both orders.
  for (int order = 0; order < 2; ++order) {
    auto* formA = new TComponent(nullptr);
    auto* formB = new TComponent(nullptr);
    auto* target = new TComponent(formA);
    auto* watcher = new TWatcher(formB);
    watcher->Watch(target);
    if (order == 0) {
      delete formA;
      EXPECT_EQ(watcher->target, nullptr);
      delete formB;
    } else {
      delete formB;  // the target must forget the dead watcher
      delete formA;
    }
  }
  // Mutual watchers: whichever goes first, the other is told and nothing dangles.
  for (int order = 0; order < 2; ++order) {
    auto* x = new TWatcher(nullptr);
    auto* y = new TWatcher(nullptr);
    x->Watch(y);
    y->Watch(x);
    TWatcher* first = order == 0 ? x : y;
    TWatcher* second = order == 0 ? y : x;
    delete first;
    EXPECT_EQ(second->target, nullptr);
    delete second;
  }
  // Siblings in one owner: the owner frees them last first; the watcher goes
  // first here, the target later must not notify it.
  {
    auto* owner = new TComponent(nullptr);
    auto* target = new TComponent(owner);
    auto* watcher = new TWatcher(owner);
    watcher->Watch(target);
    delete owner;
  }
  // ... and the other way round: the watcher is told before the target is freed.
  {
    auto* owner = new TComponent(nullptr);
    auto* watcher = new TWatcher(owner);
    auto* target = new TComponent(owner);
    watcher->Watch(target);
    std::vector<std::string> log;
    watcher->SetName("w");
    watcher->log = &log;
    delete owner;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "w remove target");
  }
}

TEST(ComponentTest, AWatcherThatSkipsTheInheritedNotificationLeavesNothingDangling) {
  auto* target = new TComponent(nullptr);
  auto* rude = new TRudeWatcher(nullptr);
  rude->target = target;
  target->FreeNotification(rude);
  delete target;
  EXPECT_EQ(rude->target, nullptr);
  auto* second = new TComponent(nullptr);
  second->FreeNotification(rude);
  delete rude;  // the second must not call the freed watcher later
  delete second;
}

TEST(ComponentTest, RemoveFreeNotificationStopsTheNews) {
  auto* target = new TComponent(nullptr);
  TWatcher watcher(nullptr);
  watcher.Watch(target);
  EXPECT_TRUE(target->ComponentState().Contains(csFreeNotification));
  target->RemoveFreeNotification(&watcher);
  // Nobody asks any more: the flag goes with the last request.
  EXPECT_FALSE(target->ComponentState().Contains(csFreeNotification));
  EXPECT_FALSE(watcher.ComponentState().Contains(csFreeNotification));
  delete target;
  EXPECT_NE(watcher.target, nullptr);  // not told, as asked
}

TEST(ComponentTest, OwnerIsToldOfInsertAndRemoveAndPassesItOn) {
  std::vector<std::string> log;
  TWatcher owner(nullptr);
  owner.SetName("owner");
  owner.log = &log;
  auto* child = new TWatcher(&owner);
  child->SetName("child");
  child->log = &log;
  auto* second = new TComponent(&owner);
  // The inherited Notification passes the news on before the owner logs it.
  EXPECT_EQ(log, (std::vector<std::string>{"owner insert other", "child insert other",
                                           "owner insert other"}));
  log.clear();
  delete second;
  EXPECT_EQ(log, (std::vector<std::string>{"child remove other", "owner remove other"}));
}

TEST(ComponentTest, StateDesigningAndLoaded) {
  TComponent root(nullptr);
  auto* child = new TComponent(&root);
  root.SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  auto* late = new TComponent(&root);  // joins a designing owner
  EXPECT_TRUE(late->ComponentState().Contains(csDesigning));
  root.SetDesigning(false);
  EXPECT_FALSE(child->ComponentState().Contains(csDesigning));
  EXPECT_TRUE(root.ComponentState().Empty());
  root.Destroying();
  EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
}

TEST(ComponentTest, NameAndTagArePublished) {
  TComponent owner(nullptr);
  auto* c = new TComponent(&owner);
  SetStrProp(c, "Name", "Edit1");
  SetOrdProp(c, "Tag", 7);
  EXPECT_EQ(c->Name(), "Edit1");
  EXPECT_EQ(c->Tag(), 7);
  EXPECT_FALSE(IsStoredProp(c, GetPropInfo(c, "Name")));
  auto* d = new TComponent(&owner);
  EXPECT_THROW(SetStrProp(d, "Name", "edit1"), EComponentError);
  EXPECT_EQ(c->GetNamePath(), "Edit1");
}
