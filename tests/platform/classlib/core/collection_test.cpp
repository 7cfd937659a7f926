#include "platform/classlib/core/collection.h"

#include <gtest/gtest.h>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/core/english_settings.h"

namespace {

class TColumn : public TCollectionItem {
  DECLARE_CLASS(TColumn, TCollectionItem)
 public:
  explicit TColumn(TCollection* collection = nullptr) : TCollectionItem(collection) {}
  std::string Title;
  void SetTitle(const std::string& title) {
    Title = title;
    Changed(false);
  }
  void Assign(const TPersistent* source) override {
    if (auto column = As<TColumn>(source)) {
      Title = column->Title;
      Changed(false);
      return;
    }
    TCollectionItem::Assign(source);
  }

 protected:
  std::string GetDisplayName() const override {
    return Title.empty() ? TCollectionItem::GetDisplayName() : Title;
  }
};

class TOtherItem : public TCollectionItem {
  DECLARE_CLASS(TOtherItem, TCollectionItem)
 public:
  explicit TOtherItem(TCollection* collection = nullptr) : TCollectionItem(collection) {}
};

// Records every Update call: the item, or nullptr for the whole collection.
class TWatchedColumns : public TCollection {
  DECLARE_CLASS(TWatchedColumns, TCollection)
 public:
  TWatchedColumns() : TCollection(TColumn::StaticClass()) {}
  std::vector<TCollectionItem*> updates;

 protected:
  void Update(TCollectionItem* item) override { updates.push_back(item); }
};

class TGridStandIn : public TPersistent {
  DECLARE_CLASS(TGridStandIn, TPersistent)
 public:
  std::string GetNamePath() const override { return "Grid1"; }
};

// Publishes its collection, so the collection finds its own property name.
class TGridWithColumns : public TGridStandIn {
  DECLARE_CLASS(TGridWithColumns, TGridStandIn)
 public:
  TGridWithColumns() : columns_(this, TColumn::StaticClass()) {}
  TCollection* GetColumns() { return &columns_; }
  void SetColumns(TCollection* value) { columns_.Assign(value); }
  TCollection* GetNothing() { return nullptr; }
  void SetNothing(TCollection*) {}

 private:
  TOwnedCollection columns_;
};

TColumn* ColumnOf(TCollectionItem* item) { return As<TColumn>(item); }

std::string Titles(const TCollection& c) {
  std::string out;
  for (int i = 0; i < c.Count(); ++i) out += ColumnOf(c.Items(i))->Title;
  return out;
}

}  // namespace

IMPLEMENT_CLASS(TColumn, TCollectionItem)
IMPLEMENT_CLASS(TOtherItem, TCollectionItem)
IMPLEMENT_CLASS(TWatchedColumns, TCollection)
IMPLEMENT_CLASS(TGridStandIn, TPersistent)
IMPLEMENT_CLASS(TGridWithColumns, TGridStandIn)
PUBLISHED(TGridWithColumns) {
  PROP_OBJ(Empty, GetNothing, SetNothing);
  PROP_OBJ(Columns, GetColumns, SetColumns);
}

TEST(CollectionTest, AddCreatesItemsOfItemClassWithIncreasingIds) {
  TCollection columns(TColumn::StaticClass());
  TCollectionItem* a = columns.Add();
  TCollectionItem* b = columns.Add();
  ASSERT_NE(ColumnOf(a), nullptr);
  EXPECT_EQ(a->Collection(), &columns);
  EXPECT_EQ(a->ID(), 0);
  EXPECT_EQ(b->ID(), 1);
  columns.Delete(1);
  EXPECT_EQ(columns.Add()->ID(), 2);  // IDs are never reused
  columns.Clear();
  EXPECT_EQ(columns.Count(), 0);
  TCollectionItem* c = columns.Add();
  EXPECT_EQ(c->ID(), 3);
  EXPECT_EQ(columns.FindItemID(3), c);
  EXPECT_EQ(columns.FindItemID(0), nullptr);

  // An item constructed with a collection joins it; deleting it leaves.
  auto* d = new TColumn(&columns);
  EXPECT_EQ(d->Index(), 1);
  EXPECT_EQ(d->ID(), 4);
  delete d;
  EXPECT_EQ(columns.Count(), 1);
}

TEST(CollectionTest, IndexMovesAndInsertPlaces) {
  TCollection columns(TColumn::StaticClass());
  for (const char* t : {"a", "b", "c", "d"}) ColumnOf(columns.Add())->Title = t;
  columns.Items(0)->SetIndex(2);
  EXPECT_EQ(Titles(columns), "bcad");
  columns.Items(3)->SetIndex(0);
  EXPECT_EQ(Titles(columns), "dbca");
  EXPECT_EQ(columns.Items(2)->Index(), 2);
  EXPECT_THROW(columns.Items(0)->SetIndex(4), EListError);
  EXPECT_EQ(Titles(columns), "dbca");

  ColumnOf(columns.Insert(1))->Title = "X";
  EXPECT_EQ(Titles(columns), "dXbca");
  ColumnOf(columns.Insert(5))->Title = "Y";
  EXPECT_EQ(Titles(columns), "dXbcaY");
  EXPECT_EQ(MessageOf<EListError>([&] { columns.Insert(9); }), "List index out of bounds (9)");
  EXPECT_EQ(columns.Count(), 6);
  EXPECT_THROW(columns.Items(6), EListError);
  EXPECT_THROW(columns.Delete(-1), EListError);
}

TEST(CollectionTest, ItemsMoveBetweenCollectionsOfTheirClass) {
  TCollection first(TColumn::StaticClass()), second(TColumn::StaticClass());
  TCollectionItem* item = first.Add();
  second.Add();
  second.Add();
  item->SetCollection(&second);
  EXPECT_EQ(first.Count(), 0);
  EXPECT_EQ(item->Index(), 2);
  EXPECT_EQ(item->ID(), 2);  // numbered by its new collection
  EXPECT_EQ(item->Collection(), &second);

  TCollection others(TOtherItem::StaticClass());
  EXPECT_THROW(item->SetCollection(&others), EListError);
  EXPECT_EQ(item->Collection(), &second);

  item->SetCollection(nullptr);
  EXPECT_EQ(item->Index(), -1);
  EXPECT_EQ(second.Count(), 2);
  delete item;  // a detached item belongs to nobody
}

TEST(CollectionTest, UpdateReportsItemsAndWholeCollection) {
  TWatchedColumns columns;
  auto* a = ColumnOf(columns.Add());
  auto* b = ColumnOf(columns.Add());
  EXPECT_EQ(columns.updates, (std::vector<TCollectionItem*>{nullptr, nullptr}));
  columns.updates.clear();

  a->SetTitle("A");  // one item's data
  b->SetIndex(0);    // the order: the whole collection
  EXPECT_EQ(columns.updates, (std::vector<TCollectionItem*>{a, nullptr}));
  columns.updates.clear();

  columns.BeginUpdate();
  columns.BeginUpdate();
  a->SetTitle("A2");
  columns.Add();
  columns.Delete(0);
  columns.EndUpdate();
  EXPECT_TRUE(columns.updates.empty());
  columns.EndUpdate();
  EXPECT_EQ(columns.updates, (std::vector<TCollectionItem*>{nullptr}));  // once, at the end
  columns.updates.clear();

  columns.Clear();
  EXPECT_EQ(columns.updates, (std::vector<TCollectionItem*>{nullptr}));
}

TEST(CollectionTest, AssignCopiesItemsAndNamesFollowTheOwner) {
  TCollection source(TColumn::StaticClass());
  ColumnOf(source.Add())->Title = "one";
  ColumnOf(source.Add())->Title = "two";
  TWatchedColumns copy;
  copy.Add();
  copy.updates.clear();
  copy.Assign(&source);
  EXPECT_EQ(Titles(copy), "onetwo");
  EXPECT_EQ(copy.updates, (std::vector<TCollectionItem*>{nullptr}));
  EXPECT_THROW(copy.Assign(nullptr), EConvertError);
  copy.SetItems(0, As<TColumn>(source.Items(1)));
  EXPECT_EQ(Titles(copy), "twotwo");

  // A plain item cannot copy another: the library's conversion error.
  TCollection plain(TCollectionItem::StaticClass());
  plain.Add();
  EXPECT_THROW(plain.Assign(&source), EConvertError);

  TGridStandIn grid;
  TOwnedCollection owned(&grid, TColumn::StaticClass());
  TCollectionItem* item = owned.Add();
  owned.Add();
  EXPECT_EQ(owned.Owner(), &grid);
  EXPECT_EQ(owned.GetNamePath(), "TOwnedCollection");  // property name unknown
  owned.SetPropName("Columns");
  EXPECT_EQ(owned.GetNamePath(), "Grid1.Columns");
  EXPECT_EQ(owned.Items(1)->GetNamePath(), "Grid1.Columns[1]");
  EXPECT_EQ(item->DisplayName(), "TColumn");
  ColumnOf(item)->Title = "Name";
  EXPECT_EQ(item->DisplayName(), "Name");
  TColumn detached;
  EXPECT_EQ(detached.GetNamePath(), "TColumn");

  TGridWithColumns published;
  published.GetColumns()->Add();
  EXPECT_EQ(published.GetColumns()->PropName(), "Columns");
  EXPECT_EQ(published.GetColumns()->Items(0)->GetNamePath(), "Grid1.Columns[0]");
}

TEST(CollectionTest, ItemClassMustMakeCollectionItems) {
  TCollection wrong(TGridStandIn::StaticClass());
  EXPECT_THROW(wrong.Add(), EInvalidCast);
  EXPECT_EQ(wrong.Count(), 0);
  TClass registered = FindClass("TColumn");
  TCollection byName(registered);
  EXPECT_EQ(byName.Add()->ClassName(), "TColumn");
}
