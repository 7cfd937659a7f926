// The Qt side of menus: menus and menu bars built from the items as they
// open, owner-drawn items painted on our canvas, hints, the form's menu bar
// and popup menus.

#include "platform/classlib/menus/menus.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QWidgetAction>

#include <algorithm>
#include <map>

#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/controls/winapi.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/menuimpl.h"
#include "platform/classlib/menus/menupopup.h"
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
    if (item->Count() > 0 && !item->IsLine()) {
      // As the system adds it to an owner-drawn item: the sub-menu's arrow.
      painter.resetTransform();
      const TColor text = !item->Enabled()                  ? clGrayText
                          : state.Contains(odSelected) ? clHighlightText
                                                       : clMenuText;
      vantrel::menus::DrawSubMenuArrow(&painter, QRect(width() - kOwnerDrawTextMargin, 0,
                                                       kOwnerDrawTextMargin, height()),
                                       vantrel::qt::ToQColor(text));
    }
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

// The look of a menu bar: its drop-downs' (the system's menu colours, an
// item pointed at or open in the highlight). Owner-drawn items: the bar asks
// its style for the size and the look of every item, so the style hands
// those to the menu's hooks.
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
    if (drawn) return;
    if (element == CE_MenuBarEmptyArea) {
      painter->fillRect(option->rect, ToQColor(clMenu));
    } else if (auto* o = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
               o && element == CE_MenuBarItem) {
      DrawPlainItem(*o, painter, widget);
    } else {
      QProxyStyle::drawControl(element, option, painter, widget);
    }
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_PanelMenuBar) painter->fillRect(option->rect, ToQColor(clMenu));
    else QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

 private:
  void DrawPlainItem(const QStyleOptionMenuItem& o, QPainter* painter, const QWidget* widget) const {
    const bool enabled = o.state & State_Enabled, selected = o.state & State_Selected;
    painter->fillRect(o.rect, ToQColor(selected ? clHighlight : clMenu));
    painter->save();
    painter->setPen(ToQColor(!enabled ? clGrayText : selected ? clHighlightText : clMenuText));
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    if (!styleHint(SH_UnderlineShortcut, &o, widget, nullptr)) flags |= Qt::TextHideMnemonic;
    painter->drawText(o.rect, flags, o.text);
    painter->restore();
  }

  TMenu::Impl& impl_;
};

}  // namespace

// ---- Building Qt menus from the items ------------------------------------------------

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

QMenu* TMenu::Impl::NewMenu(QWidget* parent, bool topLevel, QAction* parentAction) {
  QMenu* sub = vantrel::menus::NewPopup(*this, parent, parentAction);
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

int TMenu::AddMenuHooks(TMenuHooks hooks) { return menuHooks_.Add(std::move(hooks)); }

void TMenu::RemoveMenuHooks(int id) { menuHooks_.Remove(id); }

namespace {

// Runs `ask` on the hooks newest first until it answers true. A hook may take
// itself or another off meanwhile: one taken off is not asked any more.
template <class Ask>
void NewestFirst(const THookList<TMenu::TMenuHooks>& hooks, Ask ask) {
  const auto snapshot = hooks.Take();
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (!(*it)->alive) continue;
    bool answered = false;
    Guarded([&] { answered = ask((*it)->proc); });
    if (answered) return;
  }
}

}  // namespace

void TMenu::HelpRequested(TMenuItem* item) const {
  NewestFirst(menuHooks_, [item](const TMenuHooks& h) { return h.Help && h.Help(item); });
}

void TMenu::PopupClosed() const {
  NewestFirst(menuHooks_, [](const TMenuHooks& h) {
    if (h.Closed) h.Closed();
    return false;
  });
}

void TMenu::PopupOpening(TMenuItem* parent) const {
  NewestFirst(menuHooks_, [parent](const TMenuHooks& h) {
    if (h.Opening) h.Opening(parent);
    return false;
  });
}

void TMenu::ItemSelected(TMenuItem* item) const {
  SetApplicationHint(item->Hint());
  NewestFirst(menuHooks_, [item](const TMenuHooks& h) { return h.Selected && h.Selected(item); });
}

TMenuItem* TMenu::MenuChar(TMenuItem* parent, char32_t ch) const {
  TMenuItem* chosen = nullptr;
  NewestFirst(menuHooks_, [&](const TMenuHooks& h) {
    if (h.MenuChar) chosen = h.MenuChar(parent, ch);
    return chosen != nullptr;
  });
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
    // The system's menu font and colours, as its drop-downs have them.
    impl.bar->setFont(vantrel::qt::ToQFont(TFont()));
    impl.bar->setPalette(vantrel::menus::MenuPalette());
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
  // Right clicks and the context-menu keys on a control with this menu open it.
  PopupMenuHandler = [](TPopupMenu* menu, TControl* control, TPoint screenPos) {
    if (!menu->AutoPopup()) return false;
    menu->SetPopupComponent(control);
    menu->Popup(screenPos.x, screenPos.y);
    return true;
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
  vantrel::menus::ShowPopupAt(impl.popup, QPoint(left, y));
}

void TPopupMenu::ClosePopup() {
  if (impl().popup) impl().popup->hide();
}
