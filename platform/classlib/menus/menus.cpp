// The Qt side of menus: menus and menu bars built from the items as they
// open, owner-drawn items painted on our canvas, hints, the form's menu bar
// and popup menus.

#include "platform/classlib/menus/menus.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/qtmenus.h"

using vantrel::qt::Guarded;
using vantrel::qt::ToQColor;
using vantrel::qt::ToQString;

IMPLEMENT_CLASS(TMenu, TComponent)
IMPLEMENT_CLASS(TMainMenu, TMenu)
IMPLEMENT_CLASS(TPopupMenu, TMenu)

namespace {

// Room beside an owner-drawn item's text for the check mark and the
// sub-menu arrow, and the height of its separator line, before the
// program's measure hook changes them.
constexpr int kOwnerDrawTextMargin = 16;
constexpr int kOwnerDrawLineHeight = 8;

void SetApplicationHint(const std::string& hint) {
  if (Application) Application->SetHint(GetLongHint(hint));
}

}  // namespace

// ---- Building Qt menus from the items ------------------------------------------------

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

namespace {

// An owner-drawn item: sized by the measure hooks, painted by the draw hooks.
// The menu keeps the mouse and keys (the widget is transparent to them), so
// highlighting, keyboard moves and choosing work as for plain items.
class OwnerDrawnItem : public QWidget {
 public:
  OwnerDrawnItem(TMenu::Impl& impl, QMenu* menu) : QWidget(menu), impl_(&impl), menu_(menu) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QObject::connect(menu, &QMenu::hovered, this, [this] { update(); });
  }
  void SetAction(QAction* action) { action_ = action; }
  // Cut off from the menu (it is being freed): draws and measures nothing.
  void Forget() { impl_ = nullptr; }

  QSize sizeHint() const override {
    TMenuItem* item = impl_ ? impl_->ItemOf(action_) : nullptr;
    if (!item) return {0, 0};
    TCanvas* canvas = impl_->measureSurface.Canvas();
    TFont plain;
    canvas->SetFont(&plain);
    if (item->Default()) canvas->Font()->SetStyle({fsBold});
    std::string text = StripHotkey(item->Caption());
    if (item->ShortCut() != scNone) text += "  " + ShortCutToText(item->ShortCut());
    int width = canvas->TextWidth(text) + 2 * kOwnerDrawTextMargin;
    int height = item->IsLine() ? kOwnerDrawLineHeight : canvas->TextHeight("Wg") + 4;
    impl_->menu.MeasureItem(item, canvas, width, height);
    return {std::max(0, width), std::max(0, height)};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    TMenuItem* item = impl_ ? impl_->ItemOf(action_) : nullptr;
    if (!item) return;
    QPainter painter(this);
    // As the system gives it: the item's place among the menu's items, so
    // a drawing that spans the menu (a side bar) shows each item its part.
    const QPoint at = geometry().topLeft() - QPoint(x(), ItemsTop());
    painter.translate(-at);
    TCanvas canvas;
    vantrel::qt::BindPainter(canvas, &painter);
    const TRect r = Bounds(at.x(), at.y(), width(), height());
    const TOwnerDrawState state = StateOf(*item);
    Guarded([&] {
      if (!impl_->menu.DrawItem(item, &canvas, r, state)) PlainDraw(canvas, *item, r, state);
    });
    vantrel::qt::Unbind(canvas);
  }

 private:
  // The top of the menu's first item.
  int ItemsTop() const {
    const QList<QAction*> actions = menu_->actions();
    return actions.isEmpty() ? 0 : menu_->actionGeometry(actions.first()).top();
  }

  TOwnerDrawState StateOf(const TMenuItem& item) const {
    TOwnerDrawState s;
    if (menu_->activeAction() == action_ && !item.IsLine())
      s.Include(odSelected).Include(odFocused);
    if (!item.Enabled()) s.Include(odDisabled).Include(odGrayed);
    if (item.Checked()) s.Include(odChecked);
    if (item.Default()) s.Include(odDefault);
    return s;
  }

  // What an owner-drawn item looks like when no hook paints it.
  static void PlainDraw(TCanvas& canvas, const TMenuItem& item, const TRect& r,
                        TOwnerDrawState state) {
    const bool selected = state.Contains(odSelected);
    canvas.Brush()->SetColor(selected ? clHighlight : clMenu);
    canvas.FillRect(r);
    if (item.IsLine()) {
      canvas.Pen()->SetColor(clBtnShadow);
      canvas.MoveTo(r.Left, r.Top + r.Height() / 2);
      canvas.LineTo(r.Right, r.Top + r.Height() / 2);
      return;
    }
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(!item.Enabled() ? clGrayText : selected ? clHighlightText : clMenuText);
    canvas.TextOut(r.Left + kOwnerDrawTextMargin, r.Top + (r.Height() - canvas.TextHeight("Wg")) / 2,
                   StripHotkey(item.Caption()));
  }

  TMenu::Impl* impl_;
  QMenu* menu_;
  QAction* action_ = nullptr;
};

}  // namespace

namespace {

// Owner-drawn items of a menu bar: the bar asks its style for the size and
// the look of every item, so the style hands those to the menu's hooks.
class OwnerDrawnBarStyle : public QProxyStyle {
 public:
  explicit OwnerDrawnBarStyle(TMenu::Impl& impl) : impl_(impl) {}

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize plain = QProxyStyle::sizeFromContents(type, option, size, widget);
    TMenuItem* item = type == CT_MenuBarItem ? impl_.BarItemOf(option) : nullptr;
    if (!item || !impl_.menu.IsOwnerDrawn(item)) return plain;
    int width = plain.width(), height = plain.height();
    TCanvas* canvas = impl_.measureSurface.Canvas();
    TFont font;
    canvas->SetFont(&font);
    impl_.menu.MeasureItem(item, canvas, width, height);
    return {std::max(0, width), std::max(0, height)};
  }

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_DrawMenuBarSeparator) return 1;  // right-justified items follow one
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    TMenuItem* item = element == CE_MenuBarItem ? impl_.BarItemOf(option) : nullptr;
    bool drawn = false;
    if (item && impl_.menu.IsOwnerDrawn(item)) {
      TCanvas canvas;
      vantrel::qt::BindPainter(canvas, painter);
      TOwnerDrawState state;
      if (option->state & (State_Selected | State_Sunken)) state.Include(odSelected);
      if (!(option->state & State_Enabled)) state.Include(odDisabled).Include(odGrayed);
      Guarded([&] {
        drawn = impl_.menu.DrawItem(item, &canvas, vantrel::qt::FromQRect(option->rect), state);
      });
      vantrel::qt::Unbind(canvas);
    }
    if (!drawn) QProxyStyle::drawControl(element, option, painter, widget);
  }

 private:
  TMenu::Impl& impl_;
};

}  // namespace

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
    if (element == PE_PanelMenu) {
      painter->fillRect(option->rect, ToQColor(clMenu));
    } else if (element == PE_FrameMenu) {
      DrawEdgeWith(painter, vantrel::qt::FromQRect(option->rect), EDGE_RAISED, BF_RECT);
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

QPalette PopupPalette() {
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
    setPalette(PopupPalette());
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

void TMenu::Impl::Clear(QWidget* container) {
  for (QAction* action : container->actions()) {
    container->removeAction(action);
    items.erase(action);
    action->disconnect();
    if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
      if (auto* widget = dynamic_cast<OwnerDrawnItem*>(widgetAction->defaultWidget()))
        widget->Forget();
    if (QMenu* sub = action->menu()) {
      Clear(sub);
      sub->disconnect();
      sub->deleteLater();
    }
    action->deleteLater();
  }
}

QIcon TMenu::Impl::IconOf(TMenuItem* item) {
  QImage image;
  if (menu.Images() && item->ImageIndex() >= 0 && item->ImageIndex() < menu.Images()->Count()) {
    image = QImage(menu.Images()->Width(), menu.Images()->Height(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    TCanvas canvas;
    vantrel::qt::BindDevice(canvas, &image, &image);
    menu.Images()->Draw(&canvas, 0, 0, item->ImageIndex(), item->Enabled());
    vantrel::qt::Unbind(canvas);
  } else if (item->Bitmap()->Width() > 0) {
    image = vantrel::qt::MaskedImage(*item->Bitmap());
  }
  return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

void TMenu::Impl::SetUpAction(QAction* action, TMenuItem* item) {
  QString text = ToQString(item->Caption());
  // Text after a tab is the shortcut column; Qt itself binds no key, the form
  // dispatches shortcuts.
  if (item->ShortCut() != scNone) text += "\t" + ToQString(ShortCutToText(item->ShortCut()));
  action->setText(text);
  action->setEnabled(item->Enabled());
  if (item->Checked() || item->RadioItem()) {
    action->setCheckable(true);
    action->setChecked(item->Checked());
  }
  if (item->Default()) {
    QFont bold = action->font();
    bold.setBold(true);
    action->setFont(bold);
  }
  action->setIcon(IconOf(item));
}

QAction* TMenu::Impl::MakeAction(QWidget* container, TMenuItem* item, bool isBar) {
  QAction* action;
  if (!isBar && menu.IsOwnerDrawn(item)) {
    auto* widgetAction = new QWidgetAction(container);
    auto* widget = new OwnerDrawnItem(*this, static_cast<QMenu*>(container));
    widget->SetAction(widgetAction);
    widgetAction->setDefaultWidget(widget);
    // Lines stay out of the keyboard's way as plain separators do. The
    // caption is not shown (the item is painted) but its "&" letter chooses it.
    widgetAction->setEnabled(item->Enabled() && !item->IsLine());
    if (!item->IsLine()) widgetAction->setText(ToQString(item->Caption()));
    action = widgetAction;
  } else {
    action = new QAction(container);
    if (item->IsLine()) action->setSeparator(true);
    else SetUpAction(action, item);
  }
  items[action] = item;
  if (item->Count() > 0 && !item->IsLine()) {
    QMenu* sub = NewMenu(container, isBar, action);
    action->setMenu(sub);
    QObject::connect(sub, &QMenu::aboutToShow, sub, [this, sub, action] { Opening(sub, action); });
  }
  QObject::connect(action, &QAction::triggered, action, [this, action] { Choose(action); });
  return action;
}

void TMenu::Impl::AddColumnBreak(QWidget* popup, TMenuBreak kind) {
  auto* filler = new QWidgetAction(popup);
  filler->setDefaultWidget(new ColumnFiller(kind == mbBarBreak));
  filler->setEnabled(false);
  popup->addAction(filler);
}

QMenu* TMenu::Impl::NewMenu(QWidget* parent, bool topLevel, QAction* parentAction) {
  auto* sub = new MenuPopup(*this, parent, parentAction);
  QObject::connect(sub, &QMenu::hovered, sub, [this](QAction* action) {
    if (TMenuItem* item = ItemOf(action)) menu.ItemSelected(item);
  });
  if (topLevel) QObject::connect(sub, &QMenu::aboutToHide, sub, [this] { Closed(); });
  return sub;
}

void TMenu::Impl::Opening(QMenu* sub, QAction* action) {
  TMenuItem* item = ItemOf(action);
  if (!item) return;
  // The item's OnClick runs as its menu opens: the program enables the
  // sub-items there. Changes it makes wait until the menus close.
  ++opening;
  Guarded([&] { item->Click(); });
  --opening;
  if (ItemOf(action) != item) return;
  menu.PopupOpening(item);
  if (ItemOf(action) == item) Fill(sub, item);
}

// The menu that chose the item goes on using its actions and menus once the
// OnClick is over, until the key or click is handled: changes the OnClick
// makes to the menus (even through a message box's event loop) wait until then.
void TMenu::Impl::Choose(QAction* action) {
  TMenuItem* chosen = ItemOf(action);
  if (!chosen || chosen->Count() > 0) return;
  const std::weak_ptr<bool> living = alive;
  ++choosing;
  Guarded([&] { chosen->Click(); });
  if (living.expired()) return;
  --choosing;
  RebuildLater();
}

void TMenu::Impl::Closed() {
  SetApplicationHint("");
  menu.PopupClosed();
  // Later: a menu closes before the chosen action's signal runs, and that
  // action must still find its item.
  RebuildLater();
}

void TMenu::Impl::RebuildLater() {
  if (!dirty || !bar) return;
  QMetaObject::invokeMethod(
      bar,
      [this, living = std::weak_ptr<bool>(alive)] {
        if (living.expired() || !dirty || opening || choosing) return;
        dirty = false;
        Fill(bar, menu.Items());
      },
      Qt::QueuedConnection);
}

void TMenu::Impl::Refresh() {
  if (opening || choosing) {
    dirty = true;
    return;
  }
  if (bar) Fill(bar, menu.Items());
  if (popup && popup->isVisible()) Fill(popup, menu.Items());
}

// ---- TMenu ---------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner)
    : TComponent(AOwner),
      items_(std::make_unique<TMenuItem>(nullptr)),
      impl_(std::make_unique<Impl>(*this)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  impl_.reset();  // the Qt menus go before the items they show
  items_.reset();
}

void TMenu::SetImages(TCustomImageList* images) {
  if (images_) images_->RemoveFreeNotification(this);
  images_ = images;
  if (images_) images_->FreeNotification(this);
  MenuChanged();
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

void TMenu::MenuChanged() {
  if (impl_) impl_->Refresh();
}

void TMenu::SetOwnerDrawHooks(TMeasureHook measure, TDrawHook draw) {
  measureHook_ = std::move(measure);
  drawHook_ = std::move(draw);
  MenuChanged();
}

void TMenu::SetPopupHooks(TPopupHook opening, TSelectHook selected, TSelectHook help,
                          std::function<void()> closed) {
  popupHook_ = std::move(opening);
  selectHook_ = std::move(selected);
  helpHook_ = std::move(help);
  closedHook_ = std::move(closed);
}

void TMenu::HelpRequested(TMenuItem* item) const {
  if (TSelectHook hook = helpHook_) Guarded([&] { hook(item); });
}

void TMenu::PopupClosed() const {
  if (std::function<void()> hook = closedHook_) Guarded([&] { hook(); });
}

void TMenu::PopupOpening(TMenuItem* parent) const {
  // A copy runs: the hook may take itself off.
  if (TPopupHook hook = popupHook_) Guarded([&] { hook(parent); });
}

void TMenu::ItemSelected(TMenuItem* item) const {
  SetApplicationHint(item->Hint());
  if (TSelectHook hook = selectHook_) Guarded([&] { hook(item); });
}

TMenuItem* TMenu::MenuChar(TMenuItem* parent, char32_t ch) const {
  TMenuItem* chosen = nullptr;
  if (TMenuCharHook hook = menuCharHook_) Guarded([&] { chosen = hook(parent, ch); });
  return chosen;
}

bool TMenu::IsOwnerDrawn(const TMenuItem* item) const {
  return bool(drawHook_) || bool(item->OnAdvancedDrawItem);
}

bool TMenu::MeasureItem(TMenuItem* item, TCanvas* canvas, int& width, int& height) const {
  if (measureHook_ && measureHook_(item, canvas, width, height)) return true;
  if (!item->OnMeasureItem) return false;
  item->OnMeasureItem(item, canvas, width, height);
  return true;
}

bool TMenu::DrawItem(TMenuItem* item, TCanvas* canvas, const TRect& rect,
                     TOwnerDrawState state) const {
  if (drawHook_ && drawHook_(item, canvas, rect, state)) return true;
  if (!item->OnAdvancedDrawItem) return false;
  item->OnAdvancedDrawItem(item, canvas, rect, state);
  return true;
}

// ---- Main menu -----------------------------------------------------------------------

namespace {

std::map<const TCustomForm*, TMainMenu*>& FormMenus() {
  static std::map<const TCustomForm*, TMainMenu*> menus;
  return menus;
}

int BarHeight() { return GetSystemMetrics(SM_CYMENU); }

}  // namespace

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {
  if (auto* form = dynamic_cast<TCustomForm*>(AOwner); form && !OfForm(form)) SetForm(form);
}

TMainMenu::~TMainMenu() { Detach(); }

TMainMenu* TMainMenu::OfForm(const TCustomForm* form) {
  auto it = FormMenus().find(form);
  return it == FormMenus().end() ? nullptr : it->second;
}

void TMainMenu::SetForm(TCustomForm* form) {
  if (form == form_) return;
  if (form && OfForm(form)) OfForm(form)->SetForm(nullptr);
  Detach();
  if (!form) return;
  form_ = form;
  FormMenus()[form] = this;
  form->FreeNotification(this);
  // The bar takes the top of the window above the client area.
  windowHook_ = form->AddWindowHook([this](TMessage& m, const TWndMethod& next) {
    next(m);
    if (m.Msg == WM_NCCALCSIZE) {
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      const TRect bar = Bounds(r.Left - form_->Left(), r.Top - form_->Top(), r.Width(),
                               std::min(BarHeight(), r.Height()));
      r.Top += bar.Height();
      vantrel::menus::PlaceMenuBar(*this, bar);
    }
  });
  shortCutHook_ = form->AddShortCutHook([this](WORD& key, TShiftState shift) {
    return IsShortCut(key, shift) || vantrel::menus::OpenByMnemonic(*this, key, shift);
  });
  form->FrameChanged();
}

void TMainMenu::Detach() {
  if (!form_) return;
  TCustomForm* form = form_;
  form_ = nullptr;
  FormMenus().erase(form);
  impl().Dispose(impl().bar);
  if (form->ComponentState().Contains(csDestroying)) return;  // its hooks go with it
  form->RemoveWindowHook(windowHook_);
  form->RemoveShortCutHook(shortCutHook_);
  form->RemoveFreeNotification(this);
  form->FrameChanged();
}

void TMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == form_) {
    FormMenus().erase(form_);
    form_ = nullptr;  // the bar is a child of its window and goes with it
  }
}

namespace vantrel::menus {

void PlaceMenuBar(TMainMenu& menu, const TRect& bounds) {
  TCustomForm* form = menu.Form();
  QWidget* window = form ? vantrel::qt::WindowWidget(*form) : nullptr;
  if (!window) return;
  TMenu::Impl& impl = menu.impl();
  if (!impl.bar || impl.bar->parentWidget() != window) {
    delete impl.bar.data();
    impl.bar = new QMenuBar(window);
    impl.bar->setNativeMenuBar(false);
    if (!impl.barStyle) impl.barStyle = std::make_unique<OwnerDrawnBarStyle>(impl);
    impl.bar->setStyle(impl.barStyle.get());
    QObject::connect(impl.bar, &QMenuBar::hovered, impl.bar, [&impl](QAction* action) {
      if (TMenuItem* item = impl.ItemOf(action)) impl.menu.ItemSelected(item);
    });
    impl.Fill(impl.bar, menu.Items());
    impl.bar->show();
  }
  impl.bar->setGeometry(vantrel::qt::ToQRect(bounds));
}

bool OpenByMnemonic(TMainMenu& menu, WORD key, TShiftState shift) {
  TMenu::Impl& impl = menu.impl();
  if (!(shift == TShiftState{ssAlt}) || !impl.bar) return false;
  for (int i = 0; i < menu.Items()->Count(); ++i) {
    TMenuItem* item = menu.Items()->Items(i);
    if (!item->Visible() || !item->Enabled() || !IsAccel(char32_t(key), item->Caption())) continue;
    QAction* action = impl.ActionOf(item, impl.bar);
    if (!action) return false;
    if (item->Count() > 0) impl.bar->setActiveAction(action);
    else Guarded([&] { item->Click(); });
    return true;
  }
  return false;
}

QMenuBar* MenuBarWidget(TMainMenu& menu) { return menu.impl().bar; }
QMenu* PopupWidget(TPopupMenu& menu) { return menu.impl().popup; }
QAction* ActionOf(TMenu& menu, const TMenuItem* item, QWidget* container) {
  return menu.impl().ActionOf(item, container);
}

}  // namespace vantrel::menus

PUBLISHED(TPopupMenu) {
  PROP_ENUM(Alignment, Alignment, SetAlignment, paLeft);
  PROP_BOOL(AutoPopup, AutoPopup, SetAutoPopup, true);
  PROP_EVENT(OnPopup);
}

// ---- Popup menu ----------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {
  // Right clicks on a control with this menu open it.
  PopupMenuHandler = [](TPopupMenu* menu, TControl* control, TPoint screenPos) {
    if (!menu->AutoPopup()) return;
    menu->SetPopupComponent(control);
    menu->Popup(screenPos.x, screenPos.y);
  };
  // A popup menu's shortcuts work while the focused control, or one of its
  // parents, has the menu: Delete on an edit stays the edit's.
  if (auto* form = dynamic_cast<TCustomForm*>(AOwner)) {
    hookedForm_ = form;
    shortCutHook_ = form->AddShortCutHook([this](WORD& key, TShiftState shift) {
      for (TControl* c = hookedForm_->ActiveControl(); c; c = c->Parent())
        if (c->PopupMenu() == this) return IsShortCut(key, shift);
      return false;
    });
  }
}

TPopupMenu::~TPopupMenu() {
  if (hookedForm_ && !hookedForm_->ComponentState().Contains(csDestroying))
    hookedForm_->RemoveShortCutHook(shortCutHook_);
}

void TPopupMenu::SetPopupComponent(TComponent* component) {
  if (popupComponent_) popupComponent_->RemoveFreeNotification(this);
  popupComponent_ = component;
  if (component) component->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (!QApplication::instance())
    throw EInvalidOperation("A menu cannot be shown: there is no window system");
  if (OnPopup) OnPopup(this);
  Impl& impl = this->impl();
  if (!impl.popup) impl.popup = impl.NewMenu(nullptr, true, nullptr);
  PopupOpening(Items());
  impl.Fill(impl.popup, Items());
  const int width = impl.popup->sizeHint().width();
  int left = x;
  if (alignment_ == paRight) left = x - width;
  else if (alignment_ == paCenter) left = x - width / 2;
  static_cast<MenuPopup*>(impl.popup.data())->PopupAt(QPoint(left, y));
}

void TPopupMenu::ClosePopup() {
  if (impl().popup) impl().popup->hide();
}
