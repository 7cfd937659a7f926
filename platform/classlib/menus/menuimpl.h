#pragma once
// Internal to the menus library's .cpp files: the Qt side of a menu, which
// builds the Qt menus and menu bar from its items.

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionMenuItem>

#include <map>
#include <memory>
#include <unordered_map>

#include "platform/classlib/menus/menus.h"

struct TMenu::Impl {
  explicit Impl(TMenu& m) : menu(m) {}
  ~Impl() {
    Dispose(popup);
    Dispose(bar);
  }

  TMenu& menu;
  // The items of the actions now shown; looked up, never captured, so a
  // freed item is simply not found.
  std::unordered_map<const QAction*, TMenuItem*> items;
  QPointer<QMenu> popup;
  QPointer<QMenuBar> bar;
  std::unique_ptr<QStyle> barStyle;  // outlives the bar that uses it
  int opening = 0;     // inside a menu's opening (its item's OnClick)
  int choosing = 0;    // inside a chosen item's OnClick
  bool dirty = false;  // the tree changed while a menu opened or chose
  // Gone with this object: an OnClick may free its own menu.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  TBitmap measureSurface;

  TMenuItem* ItemOf(const QAction* action) const {
    auto it = items.find(action);
    return it == items.end() ? nullptr : it->second;
  }

  // The bar item a style option is about (bar items are told apart by text).
  TMenuItem* BarItemOf(const QStyleOption* option) const {
    auto* o = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!o || !bar) return nullptr;
    for (QAction* a : bar->actions())
      if (a->text() == o->text) return ItemOf(a);
    return nullptr;
  }

  // Takes the actions out of a menu or bar. They, and the menus under them,
  // are cut off from this object and freed later: one of them may be the
  // action whose signal runs now (an OnClick that changes or frees the menu).
  void Clear(QWidget* container);
  // The same for a menu or bar of its own, which then goes too.
  void Dispose(QWidget* container) {
    if (!container) return;
    Clear(container);
    container->disconnect();
    container->hide();
    container->setStyle(nullptr);  // the style may go before it
    container->deleteLater();
  }

  void Fill(QWidget* container, TMenuItem* parent) {
    Clear(container);
    std::map<int, QActionGroup*> groups;
    const bool isBar = qobject_cast<QMenuBar*>(container) != nullptr;
    bool justified = false, first = true;
    for (int i = 0; i < parent->Count(); ++i) {
      TMenuItem* item = parent->Items(i);
      if (!item->Visible()) continue;
      if (!isBar && !first && item->Break() != mbNone) AddColumnBreak(container, item->Break());
      first = false;
      if (isBar && item->RightJustify() && !justified) {
        // The bar's style puts the items after a separator at its right end.
        justified = true;
        auto* gap = new QAction(container);
        gap->setSeparator(true);
        container->addAction(gap);
      }
      QAction* action = MakeAction(container, item, isBar);
      if (item->RadioItem()) {
        QActionGroup*& group = groups[item->GroupIndex()];
        if (!group) group = new QActionGroup(action);
        group->addAction(action);
      }
      container->addAction(action);
    }
  }

  static void AddColumnBreak(QWidget* popup, TMenuBreak kind);
  QAction* MakeAction(QWidget* container, TMenuItem* item, bool isBar);
  void SetUpAction(QAction* action, TMenuItem* item);
  QIcon IconOf(TMenuItem* item);
  // A popup: the menu's own (parentAction nullptr) or the sub-menu of an item.
  QMenu* NewMenu(QWidget* parent, bool topLevel, QAction* parentAction);
  void Opening(QMenu* sub, QAction* action);
  void Choose(QAction* action);
  void Closed();
  void RebuildLater();
  void Refresh();
  QAction* ActionOf(const TMenuItem* item, QWidget* container) const {
    for (QAction* a : container->actions())
      if (ItemOf(a) == item) return a;
    return nullptr;
  }
};
