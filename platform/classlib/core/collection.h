#pragma once
// TCollection and TCollectionItem: a list of items of one class that the
// collection owns (deleting the collection deletes them; deleting an item
// takes it out of its collection).
//
// Creating items by class. A collection creates its items from ItemClass
// through the class registry: Add() calls ItemClass->Create(), which builds the
// item detached (no collection), and then attaches it with SetCollection. So
// an item class needs a constructor callable without arguments, best
// `explicit TMyItem(TCollection* collection = nullptr) : TCollectionItem(collection)`,
// and an IMPLEMENT_CLASS; it must not need its collection while being built.
// The component streamer creates the items of a streamed collection the same
// way, with Add().
//
// Notifications. Every change (an item added, removed, moved, or an item's
// Changed) calls the virtual Update: Update(item) when one item's own data
// changed, Update(nullptr) when the collection as a whole did. Between
// BeginUpdate and EndUpdate nothing is reported; the outer EndUpdate calls
// Update(nullptr) once.

#include <string>

#include "platform/classlib/core/list.h"
#include "platform/classlib/core/persistent.h"

class TCollection;

class TCollectionItem : public TPersistent {
  DECLARE_CLASS(TCollectionItem, TPersistent)
 public:
  // With a collection, the item is added to it.
  explicit TCollectionItem(TCollection* collection = nullptr);
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  // Moves the item to another collection (a new ID there), or detaches it
  // with nullptr. Raises EListError "Invalid property value" when the item is
  // not of the collection's ItemClass.
  void SetCollection(TCollection* collection);

  // Unique within the collection, increasing, never reused.
  int ID() const { return id_; }
  // The position in the collection; -1 when detached.
  int Index() const;
  // Moves the item to that position ("List index out of bounds (n)" when invalid).
  void SetIndex(int index);

  // The name shown to the user; the class name unless a descendant says otherwise.
  std::string DisplayName() const { return GetDisplayName(); }
  void SetDisplayName(const std::string& name) { SetDisplayNameValue(name); }

  // "<collection's name path>[<index>]", e.g. "Grid1.Columns[3]".
  std::string GetNamePath() const override;

 protected:
  virtual std::string GetDisplayName() const;
  // The base only reports the change; descendants that keep a name store it.
  virtual void SetDisplayNameValue(const std::string& name);
  // Reports a change of this item (allItems: of the whole collection).
  void Changed(bool allItems);
  TPersistent* GetOwner() const override;

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  DECLARE_CLASS(TCollection, TPersistent)
 public:
  explicit TCollection(TClass itemClass = TCollectionItem::StaticClass());
  ~TCollection() override;

  // A new item of ItemClass at the end / at index (0..Count).
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();

  int Count() const { return items_.Count(); }
  TCollectionItem* Items(int index) const;
  // Assigns value to the item at index.
  void SetItems(int index, const TCollectionItem* value);
  TCollectionItem* operator[](int index) const { return Items(index); }
  // The item with that ID; nullptr when none.
  TCollectionItem* FindItemID(int id) const;
  TClass ItemClass() const { return itemClass_; }

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Replaces the items by copies of source's (each item assigned from the
  // source's item of the same position).
  void Assign(const TPersistent* source) override;

  // "<owner's name path>.<PropName>" when both are known, else the class name.
  std::string GetNamePath() const override;
  // The name of the owner's property that holds this collection ("Columns"):
  // the published object property of the owner whose value is this
  // collection, unless set explicitly; "" when none.
  std::string PropName() const;
  void SetPropName(std::string name) { propName_ = std::move(name); }
  TPersistent* Owner() const { return GetOwner(); }

 protected:
  // Called on every change outside BeginUpdate/EndUpdate; see above.
  virtual void Update(TCollectionItem* item);
  // Reports a change of the whole collection.
  void Changed();

 private:
  friend class TCollectionItem;
  // checkClass is false while the item is still being constructed (its
  // class is not known yet).
  void InsertItem(TCollectionItem* item, bool checkClass);
  void RemoveItem(TCollectionItem* item);

  TClass itemClass_;
  TList items_;  // of TCollectionItem*; its index errors are the collection's
  int nextId_ = 0;
  int updateCount_ = 0;
  std::string propName_;
};

// A collection that belongs to another object (for name paths and streaming).
class TOwnedCollection : public TCollection {
  DECLARE_CLASS(TOwnedCollection, TCollection)
 public:
  TOwnedCollection(TPersistent* owner, TClass itemClass)
      : TCollection(itemClass), owner_(owner) {}

 protected:
  TPersistent* GetOwner() const override { return owner_; }

 private:
  TPersistent* owner_;
};
