#include "platform/classlib/core/collection.h"

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/typinfo.h"

IMPLEMENT_CLASS(TCollectionItem, TPersistent)
IMPLEMENT_CLASS(TCollection, TPersistent)
IMPLEMENT_CLASS(TOwnedCollection, TCollection)

namespace {

// BeginUpdate/EndUpdate that also ends the update when an exception passes.
class CollectionUpdate {
 public:
  explicit CollectionUpdate(TCollection* collection) : collection_(collection) {
    collection_->BeginUpdate();
  }
  ~CollectionUpdate() { collection_->EndUpdate(); }
  CollectionUpdate(const CollectionUpdate&) = delete;
  CollectionUpdate& operator=(const CollectionUpdate&) = delete;

 private:
  TCollection* collection_;
};

}  // namespace

// ---------------------------------------------------------------- TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection) collection->InsertItem(this, false);
}

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection && !InheritsFrom(collection->ItemClass()))
    throw EListError("Invalid property value");
  if (collection_) collection_->RemoveItem(this);
  if (collection) collection->InsertItem(this, true);
}

int TCollectionItem::Index() const {
  return collection_ ? collection_->items_.IndexOf(const_cast<TCollectionItem*>(this)) : -1;
}

void TCollectionItem::SetIndex(int index) {
  int current = Index();
  if (current < 0 || current == index) return;
  collection_->items_.Move(current, index);
  Changed(true);
}

std::string TCollectionItem::GetNamePath() const {
  if (!collection_) return ClassName();
  return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

void TCollectionItem::SetDisplayNameValue(const std::string&) { Changed(false); }

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0)
    collection_->Update(allItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

// ---------------------------------------------------------------- TCollection

TCollection::TCollection(TClass itemClass) : itemClass_(itemClass) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // a collection being destroyed reports nothing
  while (Count() > 0) delete Items(Count() - 1);
}

TCollectionItem* TCollection::Add() {
  TObject* created = itemClass_->Create();
  auto* item = dynamic_cast<TCollectionItem*>(created);
  if (!item) {
    delete created;
    throw EInvalidCast(itemClass_->ClassName() + " is not a collection item class");
  }
  InsertItem(item, false);  // made from ItemClass: of the right class
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  CollectionUpdate update(this);
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
  if (Count() == 0) return;
  CollectionUpdate update(this);
  while (Count() > 0) delete Items(Count() - 1);
}

TCollectionItem* TCollection::Items(int index) const {
  return static_cast<TCollectionItem*>(items_.Items(index));
}

void TCollection::SetItems(int index, const TCollectionItem* value) {
  Items(index)->Assign(value);
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (void* p : items_.List())
    if (auto item = static_cast<TCollectionItem*>(p); item->id_ == id) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ == 0) return;  // unbalanced: nothing to end
  --updateCount_;
  Changed();
}

void TCollection::Assign(const TPersistent* source) {
  if (auto collection = As<TCollection>(source)) {
    if (collection == this) return;
    CollectionUpdate update(this);
    Clear();
    for (int i = 0; i < collection->Count(); ++i) Add()->Assign(collection->Items(i));
    return;
  }
  TPersistent::Assign(source);
}

std::string TCollection::GetNamePath() const {
  TPersistent* owner = GetOwner();
  if (!owner) return ClassName();
  std::string ownerPath = owner->GetNamePath();
  std::string propName = PropName();
  if (ownerPath.empty() || propName.empty()) return ClassName();
  return ownerPath + "." + propName;
}

std::string TCollection::PropName() const {
  if (!propName_.empty()) return propName_;
  TPersistent* owner = GetOwner();
  if (!owner) return {};
  for (const TPropInfo* prop : GetPropList(owner))
    if (prop->Kind == tkClass && GetObjectProp(owner, prop) == this) return prop->Name;
  return {};
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item, bool checkClass) {
  if (checkClass && !item->InheritsFrom(itemClass_)) throw EListError("Invalid property value");
  items_.Add(item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  items_.Remove(item);
  item->collection_ = nullptr;
  Changed();
}
