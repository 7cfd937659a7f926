// The popups that show a menu's items: their look (the system's menu colours
// in a raised frame), columns started by items, and the keys across them.

#include "platform/classlib/menus/menupopup.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>

#include <algorithm>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/menuimpl.h"

using vantrel::qt::ToQColor;

namespace {

// The frame round a popup: a raised edge and a pixel of ground.
constexpr int kPopupFrame = 3;

// Draws one of the library's edges with a painter that Qt runs, so that
// popups get the edges every other control has.
void DrawEdgeWith(QPainter* painter, const TRect& r, uint32_t edge, uint32_t flags) {
  TCanvas canvas;
  vantrel::qt::BindPainter(canvas, painter);
  TRect drawn = r;
  DrawEdge(&canvas, drawn, edge, flags);
  vantrel::qt::Unbind(canvas);
}

// The look of every popup, plain and owner-drawn items alike: the system's
// menu colours (the ground is the one owner-drawn items paint) and lines,
// in a raised frame.
class MenuStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_MenuPanelWidth) return kPopupFrame;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    const bool arrow = element == PE_IndicatorArrowRight || element == PE_IndicatorArrowLeft;
    if (element == PE_PanelMenu) {
      painter->fillRect(option->rect, ToQColor(clMenu));
    } else if (element == PE_FrameMenu) {
      DrawEdgeWith(painter, vantrel::qt::FromQRect(option->rect), EDGE_RAISED, BF_RECT);
    } else if (arrow && qobject_cast<const QMenu*>(widget)) {
      // The menu's style makes the arrow a faint shade of the text: it is
      // drawn solid, in the item's text colour (the highlight's on the bar).
      const QColor color = option->state & State_Enabled ? option->palette.color(QPalette::WindowText)
                                                         : ToQColor(clGrayText);
      vantrel::menus::DrawSubMenuArrow(painter, option->rect, color, element == PE_IndicatorArrowLeft);
    } else {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item || item->menuItemType != QStyleOptionMenuItem::Separator)
      return QProxyStyle::drawControl(element, option, painter, widget);
    // An etched line across the item, as owner-drawn separators have it.
    const TRect r = vantrel::qt::FromQRect(option->rect);
    const int y = r.Top + r.Height() / 2 - 1;
    DrawEdgeWith(painter, Rect(r.Left, y, r.Right, y + 2), EDGE_ETCHED, BF_TOP);
  }
};

// One for all popups (a style must outlive the widgets that use it): it
// goes with the application object.
QStyle* PopupStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new MenuStyle;
    style->setParent(QApplication::instance());
  }
  return style;
}


// Stands before an item that starts a column of a popup and reaches down to
// where the popup's own layout ends a column (near the foot of the screen),
// so that the item goes to the top of the next column. Never seen: the
// popup ends with its longest column of items.
class ColumnFiller : public QWidget {
 public:
  explicit ColumnFiller(bool ruled) : ruled_(ruled) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  bool Ruled() const { return ruled_; }
  int Height() const { return height_; }
  void SetHeight(int value) { height_ = value; }
  // A pixel wide at least: the layout leaves empty items out.
  QSize sizeHint() const override { return {1, height_}; }

 private:
  bool ruled_;
  int height_ = 0;
};

ColumnFiller* FillerOf(const QAction* action) {
  auto* widgetAction = qobject_cast<const QWidgetAction*>(action);
  return widgetAction ? dynamic_cast<ColumnFiller*>(widgetAction->defaultWidget()) : nullptr;
}

// The line between two columns of a bar break, over the items' edges.
class ColumnRule : public QWidget {
 public:
  ColumnRule(QWidget* popup, QAction* first) : QWidget(popup), first_(first) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QAction* First() const { return first_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    DrawEdgeWith(&p, Rect(0, 0, width(), height()), EDGE_ETCHED, BF_LEFT);
  }

 private:
  QPointer<QAction> first_;  // the column's first item
};

// A popup of a menu: the menu's own or an item's sub-menu. On top of the
// plain menu: the look above, columns where items start them with the
// arrow keys across them, an owner-drawn item's first letter, and help (F1).
class MenuPopup : public QMenu {
 public:
  MenuPopup(TMenu::Impl& impl, QWidget* parent, QAction* parentAction)
      : QMenu(parent), impl_(impl), parentAction_(parentAction) {
    setStyle(PopupStyle());
    setPalette(vantrel::menus::MenuPalette());
    // The system's menu font, the one owner-drawn items start with.
    setFont(vantrel::qt::ToQFont(TFont()));
  }

  QSize sizeHint() const override {
    const_cast<MenuPopup*>(this)->LayOutColumns();
    QSize size = QMenu::sizeHint();
    // The fillers reach past the items: the popup ends with its longest column.
    int all = 0, items = 0;
    for (QAction* a : actions()) {
      const QRect r = actionGeometry(a);
      if (r.isEmpty()) continue;
      all = std::max(all, r.bottom());
      if (!FillerOf(a)) items = std::max(items, r.bottom());
    }
    size.rheight() -= all - items;
    return size;
  }

  // Shows the popup with its top-left at `at` (the menu's own popup).
  void PopupAt(QPoint at) {
    wantedTop_ = at.y();
    popup(at);
  }

 protected:
  void actionEvent(QActionEvent* e) override {
    if (!layingOut_) columnsDirty_ = true;
    QMenu::actionEvent(e);
  }

  void showEvent(QShowEvent* e) override {
    // No hint stays over the menu (the hint of the button that opened it).
    if (Application) Application->CancelHint();
    QMenu::showEvent(e);
    // The menu's own placement puts a popup of several columns at the top of
    // the screen (its own columns come only with a popup of screen height):
    // ours goes where a popup of one column would, as far as the screen allows.
    if (HasColumns() && screen()) {
      const QRect area = screen()->availableGeometry();
      move(x(), std::clamp(WantedTop(), area.top(), std::max(area.top(), area.bottom() + 1 - height())));
    }
  }

  void resizeEvent(QResizeEvent* e) override {
    QMenu::resizeEvent(e);
    PlaceRules();
  }

  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_F1) {
      if (TMenuItem* item = impl_.ItemOf(activeAction())) impl_.menu.HelpRequested(item);
      return;
    }
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QAction* current = activeAction();
    if (plain && (e->key() == Qt::Key_Left || e->key() == Qt::Key_Right)) {
      // Right opens a current item's sub-menu, as in any menu.
      const bool opens = e->key() == Qt::Key_Right && current && current->menu() &&
                         current->isEnabled();
      if (!opens && MoveAcross(e->key() == Qt::Key_Right ? 1 : -1)) return;
    }
    if (ChooseByFirstLetter(*e)) return;
    QMenu::keyPressEvent(e);
  }

 private:
  bool HasColumns() const {
    const QList<QAction*> list = actions();
    return std::any_of(list.begin(), list.end(),
                       [](const QAction* a) { return FillerOf(a) && FillerOf(a)->Height() > 0; });
  }

  // Where the popup's top goes: its first item level with the item that
  // opened it, below the menu bar's item, or as asked.
  int WantedTop() const {
    const QRect first = FirstShown(actions(), 0, 1);
    if (auto* menu = qobject_cast<QMenu*>(parentWidget()); menu && parentAction_)
      return menu->mapToGlobal(menu->actionGeometry(parentAction_).topLeft()).y() - first.top();
    if (auto* bar = qobject_cast<QMenuBar*>(parentWidget()); bar && parentAction_)
      return bar->mapToGlobal(QPoint(0, bar->actionGeometry(parentAction_).bottom() + 1)).y();
    return wantedTop_;
  }

  static bool Selectable(const QAction* a) {
    return a->isVisible() && a->isEnabled() && !a->isSeparator() && !FillerOf(a);
  }

  static void SetFillerHeight(QAction* filler, int height) {
    FillerOf(filler)->SetHeight(height);
    filler->setData(height);  // the popup lays its items out again
  }

  // The rectangle of the first item shown (laid out, and no filler) at or
  // after `from` in the direction of `step` (1 forwards, -1 backwards);
  // empty when there is none.
  QRect FirstShown(const QList<QAction*>& list, qsizetype from, int step) const {
    for (qsizetype i = from; i >= 0 && i < list.size(); i += step) {
      const QRect r = actionGeometry(list[i]);
      if (!FillerOf(list[i]) && !r.isEmpty()) return r;
    }
    return {};
  }

  // Where the popup's layout ends a column, as the style's margins and the
  // screen give it; searched for when a layout puts it elsewhere.
  int ColumnFoot() const {
    QStyleOption option;
    option.initFrom(this);
    const auto metric = [&](QStyle::PixelMetric m) { return style()->pixelMetric(m, &option, this); };
    const QScreen* shown = screen();
    const int height = shown ? shown->availableGeometry().height() : 0;
    return height - 2 * metric(QStyle::PM_MenuDesktopFrameWidth) -
           (metric(QStyle::PM_MenuVMargin) + contentsMargins().bottom() +
            metric(QStyle::PM_MenuPanelWidth));
  }

  void LayOutColumns() {
    if (!columnsDirty_ || layingOut_) return;
    const QScopedValueRollback<bool> guard(layingOut_, true);
    columnsDirty_ = false;
    const QList<QAction*> list = actions();
    for (QAction* a : list)
      if (FillerOf(a) && FillerOf(a)->Height() != 0) SetFillerHeight(a, 0);
    for (qsizetype i = 0; i < list.size(); ++i)
      if (FillerOf(list[i])) FillColumn(list, i);
    MakeRules(list);
  }

  // The filler at `at` takes the rest of its column: as tall as it can be
  // without going to the next column itself, so the item after it does.
  void FillColumn(const QList<QAction*>& list, qsizetype at) {
    QAction* filler = list[at];
    const QRect before = FirstShown(list, at - 1, -1), after = FirstShown(list, at + 1, 1);
    if (before.isEmpty() || after.isEmpty()) return;
    const int top = FirstShown(list, 0, 1).top();
    const auto fits = [&](int height) {
      SetFillerHeight(filler, height);
      const QRect r = actionGeometry(filler);
      return height > 0 && r.left() == before.left() && r.top() == before.bottom() + 1;
    };
    const auto nextStartsColumn = [&] {
      const QRect r = FirstShown(list, at + 1, 1);
      return r.left() > before.left() && r.top() == top;
    };
    // Half an item short of the foot: the item after it does not fit below.
    if (fits(ColumnFoot() - before.bottom() - 1 - (after.height() - 1) / 2) && nextStartsColumn())
      return;
    int low = 0, high = screen() ? screen()->geometry().height() : 0;
    while (low < high) {
      const int middle = (low + high + 1) / 2;
      if (fits(middle)) low = middle;
      else high = middle - 1;
    }
    SetFillerHeight(filler, low);
  }

  void MakeRules(const QList<QAction*>& list) {
    rules_.clear();
    for (qsizetype i = 0; i < list.size(); ++i)
      if (FillerOf(list[i]) && FillerOf(list[i])->Ruled())
        for (qsizetype j = i + 1; j < list.size(); ++j)
          if (!FillerOf(list[j]) && !actionGeometry(list[j]).isEmpty()) {
            rules_.push_back(std::make_unique<ColumnRule>(this, list[j]));
            break;
          }
    PlaceRules();
  }

  // Each rule runs down the popup just left of its column.
  void PlaceRules() {
    if (rules_.empty()) return;
    const QRect first = FirstShown(actions(), 0, 1);
    for (const auto& rule : rules_) {
      const QRect column = rule->First() ? actionGeometry(rule->First()) : QRect();
      rule->setVisible(!column.isEmpty() && column.left() > first.left());
      rule->setGeometry(column.left() - 1, first.top(), 2, height() - 2 * first.top());
      rule->raise();
    }
  }

  // To the item of the next column that way nearest the current one's row.
  bool MoveAcross(int direction) {
    QAction* current = activeAction();
    if (!current) return false;
    const QRect from = actionGeometry(current);
    QAction* best = nullptr;
    std::pair<int, int> bestDistance;
    for (QAction* a : actions()) {
      const QRect r = actionGeometry(a);
      if (!Selectable(a) || r.isEmpty() || (r.left() - from.left()) * direction <= 0) continue;
      const std::pair<int, int> distance{std::abs(r.left() - from.left()),
                                         std::abs(r.center().y() - from.center().y())};
      if (!best || distance < bestDistance) {
        best = a;
        bestDistance = distance;
      }
    }
    if (!best) return false;
    setActiveAction(best);
    return true;
  }

  // A typed character that no "&" letter takes goes to the menu, which may
  // name an item (an owner-drawn one by its first letter); that item is
  // chosen as Enter chooses it.
  bool ChooseByFirstLetter(const QKeyEvent& e) {
    const QString text = e.text();
    if ((e.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) != Qt::NoModifier ||
        text.size() != 1 || !text[0].isPrint() || text[0].isSpace())
      return false;
    const char32_t ch = text[0].unicode();
    TMenuItem* parent = parentAction_ ? impl_.ItemOf(parentAction_) : impl_.menu.Items();
    if (!parent) return false;
    for (int i = 0; i < parent->Count(); ++i)
      if (parent->Items(i)->Visible() && parent->Items(i)->Enabled() &&
          IsAccel(ch, parent->Items(i)->Caption()))
        return false;
    TMenuItem* chosen = impl_.menu.MenuChar(parent, ch);
    QAction* action = chosen ? impl_.ActionOf(chosen, this) : nullptr;
    if (!action || !action->isEnabled()) return false;
    setActiveAction(action);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QMenu::keyPressEvent(&enter);
    return true;
  }

  TMenu::Impl& impl_;
  QPointer<QAction> parentAction_;
  bool columnsDirty_ = false;
  bool layingOut_ = false;
  std::vector<std::unique_ptr<ColumnRule>> rules_;  // children, freed before the popup
  int wantedTop_ = 0;
};

}  // namespace

void TMenu::Impl::AddColumnBreak(QWidget* popup, TMenuBreak kind) {
  auto* filler = new QWidgetAction(popup);
  filler->setDefaultWidget(new ColumnFiller(kind == mbBarBreak));
  filler->setEnabled(false);
  popup->addAction(filler);
}

namespace vantrel::menus {

QMenu* NewPopup(TMenu::Impl& impl, QWidget* parent, QAction* parentAction) {
  return new MenuPopup(impl, parent, parentAction);
}

void ShowPopupAt(QMenu* popup, QPoint at) { static_cast<MenuPopup*>(popup)->PopupAt(at); }

QPalette MenuPalette() {
  QPalette p = QApplication::palette();
  const auto set = [&p](QPalette::ColorRole role, TColor color) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      p.setColor(group, role, ToQColor(color));
  };
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) set(role, clMenu);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) set(role, clMenuText);
  set(QPalette::Highlight, clHighlight);
  set(QPalette::HighlightedText, clHighlightText);
  set(QPalette::Light, clBtnHighlight);
  set(QPalette::Dark, clBtnShadow);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, ToQColor(clGrayText));
  return p;
}

void DrawSubMenuArrow(QPainter* painter, const QRect& area, const QColor& color, bool leftwards) {
  // Four columns of 7, 5, 3 and 1 pixels.
  constexpr int kWidth = 4, kHeight = 7;
  const int left = area.left() + (area.width() - kWidth) / 2;
  const int top = area.top() + (area.height() - kHeight) / 2;
  for (int i = 0; i < kWidth; ++i) {
    const int x = leftwards ? left + kWidth - 1 - i : left + i;
    painter->fillRect(x, top + i, 1, kHeight - 2 * i, color);
  }
}

}  // namespace vantrel::menus
