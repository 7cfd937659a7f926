#pragma once
// TComponent: named objects that own other components and free them with
// themselves, tell each other when one goes away (free notification), and take
// part in component streaming (form definitions, report layouts).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/typinfo.h"

class TReader;
class TWriter;

enum TComponentStateFlag {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating,
  csFixups, csFreeNotification, csInline, csDesignInstance
};
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation { opInsert, opRemove };

using TGetChildProc = std::function<void(TComponent* child)>;

class TComponent : public TPersistent {
  DECLARE_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // Raises EListError for an index out of range.
  TComponent* Components(int index) const;
  // Position in the owner's list (-1 without owner); setting moves it there.
  int ComponentIndex() const;
  void SetComponentIndex(int index);

  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or that
  // another component of the same owner already has (case-insensitively).
  virtual void SetName(const std::string& newName);
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  TComponentState ComponentState() const { return state_; }

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // The owned component of that name (case-insensitive); nullptr when none.
  TComponent* FindComponent(std::string_view name) const;
  // Frees every owned component, last first.
  void DestroyComponents();
  // Marks this component and what it owns as being destroyed.
  virtual void Destroying();

  // Asks to be told (Notification opRemove) when AComponent is destroyed, and
  // tells AComponent the same about this one. Safe in any destruction order.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  void SetDesigning(bool value, bool setChildren = true);
  std::string GetNamePath() const override;

  // ---- Streaming hooks ----
  // Lists the components written inside this one. The root being written
  // lists the components it owns that have no parent component (as a form or
  // data module does); other components list none, so that helpers they create
  // in their constructors are not written twice. A component that streams
  // children (a report its bands, a panel its controls) overrides it.
  virtual void GetChildren(const TGetChildProc& proc, TComponent* root);
  // Owner of the components read inside this one; nullptr (the default) means
  // the root. A component whose GetChildren lists components it owns itself
  // returns this.
  virtual TComponent* GetChildOwner() { return nullptr; }
  // Parent given to the components read inside this one.
  virtual TComponent* GetChildParent() { return this; }
  virtual void SetChildOrder(TComponent* child, int order);
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* parent);
  // Called by the reader after creating this component and before reading its
  // properties: gives a HasParent component its parent (reader->Parent()),
  // then reads the properties and children. Controls that must know their
  // parent early override it and call the inherited one.
  virtual void ReadState(TReader* reader);
  virtual void WriteState(TWriter* writer);
  // Runs after the whole tree was read and its references fixed up.
  virtual void Loaded();

 protected:
  // Told when AComponent is inserted into or removed from this owner, or when
  // a component this one asked about is destroyed. The default forgets a
  // removed component's free notification and passes the news to the owned
  // components. Compare pointers only: a removed component may be half destroyed.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  virtual void ValidateRename(TComponent* AComponent, const std::string& curName,
                              const std::string& newName);
  virtual void ValidateInsert(TComponent*) {}
  virtual void ValidateContainer(TComponent* AComponent);
  // Renames without checks (the reader uses it for names it makes unique).
  void ChangeName(const std::string& newName) { name_ = newName; }
  void IncludeState(TComponentStateFlag flag) { state_.Include(flag); }
  void ExcludeState(TComponentStateFlag flag) { state_.Exclude(flag); }
  TPersistent* GetOwner() const override { return owner_; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void ForgetFreeNotification(TComponent* AComponent);

  TComponent* owner_ = nullptr;
  std::string name_;
  int tag_ = 0;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;

  friend class TReader;
  friend class TWriter;
};

namespace classlib_detail {
// True when name is a valid identifier: a letter or '_' followed by letters,
// digits and '_'.
bool IsIdentifier(std::string_view name);
}  // namespace classlib_detail
