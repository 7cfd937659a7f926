#include "platform/classlib/stdctrls/comboboxes.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>

#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/editmenu.h"
#include "platform/classlib/stdctrls/edits.h"

IMPLEMENT_CLASS(TCustomComboBox, TCustomControl)
IMPLEMENT_CLASS(TComboBox, TCustomComboBox)

namespace {

// The drop-down button beside the client area, as wide as a scroll bar.
constexpr int kButtonWidth = 17;
// A simple combo box's edit row is this much taller than an item.
constexpr int kSimpleEditPad = 4;

QString ToQ(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string FromQ(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

// Closes a dropped-down list when the mouse is pressed anywhere outside it
// and its combo box, as the window's list closes.
class OutsideClickWatcher : public QObject {
 public:
  OutsideClickWatcher(QWidget* combo, QWidget* list, std::function<void()> close)
      : combo_(combo), list_(list), close_(std::move(close)) {
    qApp->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonPress || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    const bool inside = (list_ && (w == list_ || list_->isAncestorOf(w))) ||
                        (combo_ && (w == combo_ || combo_->isAncestorOf(w)));
    if (!inside && close_) vantrel::qt::Guarded(close_);
    return false;
  }
  // Stops watching at once; the watcher itself goes later (it may be the
  // one calling).
  void Retire() {
    close_ = nullptr;
    qApp->removeEventFilter(this);
    deleteLater();
  }

 private:
  QPointer<QWidget> combo_, list_;
  std::function<void()> close_;
};

struct TCustomComboBox::EditPart {
  QPointer<QLineEdit> line;
  std::unique_ptr<OutsideClickWatcher> watcher;
};

// The dropped-down list: a bordered pop-up under the combo box that never
// takes the keyboard from it, drawing and measuring through the combo box.
class TComboPopupList : public TCustomListBox {
 public:
  explicit TComboPopupList(TCustomComboBox* combo) : TCustomListBox(combo), combo_(combo) {
    InitVisible(false);
    SetTabStop(false);
  }

 protected:
  void FillCreateParams(TCreateParams& params) override {
    TCustomListBox::FillCreateParams(params);
    params.Style = WS_POPUP | WS_BORDER | WS_VSCROLL;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  }
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override {
    combo_->drawCanvas_ = Canvas();
    combo_->DrawItem(Index, Rect, State);
    combo_->drawCanvas_ = nullptr;
  }
  void MeasureItem(int Index, int& Height) override { combo_->MeasureItem(Index, Height); }
  void MouseMove(TShiftState Shift, int X, int Y) override {
    // The item under the mouse is highlighted, button down or not.
    const int index = ItemAtPos({X, Y}, true);
    if (index >= 0) SetItemIndex(index);
    TCustomListBox::MouseMove(Shift, X, Y);
  }
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    TCustomListBox::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && ItemAtPos({X, Y}, true) >= 0) combo_->CloseList(true);
  }
  void SelectionChangedByUser() override {}

 public:
  void MoveWithKey(WORD key) { KeyDown(key, {}); }

 private:
  TCustomComboBox* combo_;
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      items_(std::make_unique<TListBoxStrings>(
          [this](TListBoxStrings::Change c, int i) { ItemsChanged(c, i); })),
      edit_(std::make_unique<EditPart>()) {
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
}

TCustomComboBox::~TCustomComboBox() { delete list_; }

void TCustomComboBox::FillCreateParams(TCreateParams& params) {
  TCustomControl::FillCreateParams(params);
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomComboBox::CreateWnd() {
  TCustomControl::CreateWnd();
  if (!HasEditPart()) return;
  auto* line = new QLineEdit;
  line->setFrame(false);
  line->setFont(vantrel::qt::ToQFont(*Font()));
  line->setText(ToQ(Text()));
  if (maxLength_ > 0) line->setMaxLength(maxLength_);
  QObject::connect(line, &QLineEdit::textEdited, line, [this](const QString& t) {
    vantrel::qt::Guarded([&] { EditTextChanged(FromQ(t)); });
  });
  edit_->line = line;
  vantrel::qt::EmbedNativeWidget(*this, line);
}

// ---- Items and text ----------------------------------------------------------------

void TCustomComboBox::ItemsChanged(TListBoxStrings::Change change, int index) {
  using C = TListBoxStrings::Change;
  if (change == C::Cleared) itemIndex_ = -1;
  else if (change == C::Inserted && itemIndex_ >= index) ++itemIndex_;
  else if (change == C::Deleted && itemIndex_ == index) itemIndex_ = -1;
  else if (change == C::Deleted && itemIndex_ > index) --itemIndex_;
  if (change == C::Inserted && style_ == csOwnerDrawVariable)
    items_->Measure(index, index, itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
  Invalidate();
}

void TCustomComboBox::Clear() {
  items_->Clear();
  ShowText("");
}

void TCustomComboBox::ShowText(const std::string& text) {
  settingText_ = true;
  SetText(text);
  settingText_ = false;
}

void TCustomComboBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  itemIndex_ = value;
  ShowText(value >= 0 ? items_->Strings(value) : std::string());
  Invalidate();
  RepaintSimpleList();
}

void TCustomComboBox::SelectByUser(int index) {
  if (index < 0 || index >= items_->Count() || index == itemIndex_) return;
  SetItemIndex(index);
  if (edit_->line) edit_->line->selectAll();
  const auto alive = Lifetime();
  Click();
  if (!alive.expired()) Change();
}

void TCustomComboBox::EditTextChanged(const std::string& text) {
  ShowText(text);
  // Typed text that names no item leaves no item chosen.
  itemIndex_ = items_->Find(-1, text, true);
  RepaintSimpleList();
  Change();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  if (edit_->line) edit_->line->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

int TCustomComboBox::ItemHeight() const {
  if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) return itemHeight_;
  TCanvas* c = TCustomControl::Canvas();
  c->SetFont(Font());
  return c->TextHeight("Wg");
}

void TCustomComboBox::SetItemHeight(int value) {
  if (value > 0) itemHeight_ = value;
  Invalidate();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (style_ == value) return;
  CloseList(false);
  style_ = value;
  if (style_ == csOwnerDrawVariable)
    items_->Measure(0, items_->Count() - 1, itemHeight_, [this](int i, int& h) { MeasureItem(i, h); });
  // The edit part comes and goes with the window.
  if (HandleAllocated()) RecreateWnd();
}

int TCustomComboBox::SelStart() const {
  if (!edit_->line) return 0;
  return edit_->line->hasSelectedText() ? edit_->line->selectionStart() : edit_->line->cursorPosition();
}

int TCustomComboBox::SelLength() const {
  return edit_->line ? int(edit_->line->selectedText().size()) : 0;
}

void TCustomComboBox::SelectAll() {
  if (edit_->line) edit_->line->selectAll();
}

TCanvas* TCustomComboBox::Canvas() const {
  return drawCanvas_ ? drawCanvas_ : TCustomControl::Canvas();
}

// ---- The list ----------------------------------------------------------------------

bool TCustomComboBox::DroppedDown() const { return list_ && list_->Visible(); }

void TCustomComboBox::SetDroppedDown(bool value) {
  if (value == DroppedDown()) return;
  if (!value) {
    CloseList(false);
    return;
  }
  if (!HasButton()) return;
  const auto alive = Lifetime();
  DropDown();
  if (alive.expired() || !Showing()) return;
  if (!list_) {
    list_ = new TComboPopupList(this);
    list_->SetParent(this);
  }
  list_->SetStyle(style_ == csOwnerDrawFixed      ? lbOwnerDrawFixed
                  : style_ == csOwnerDrawVariable ? lbOwnerDrawVariable
                                                  : lbStandard);
  list_->SetItemHeight(ItemHeight());
  list_->SetFont(Font());
  list_->Items()->Assign(items_.get());
  int height = 2;
  for (int i = 0; i < std::min(dropDownCount_, items_->Count()); ++i)
    height += style_ == csOwnerDrawVariable && items_->ItemHeight(i) > 0 ? items_->ItemHeight(i)
                                                                          : ItemHeight();
  const TPoint at = Parent() ? Parent()->ClientToScreen({Left(), Top() + Height()}) : TPoint{0, Height()};
  list_->SetBounds(at.x, at.y, Width(), std::max(height, ItemHeight() + 2));
  list_->SetItemIndex(itemIndex_);
  list_->SetTopIndex(itemIndex_);
  list_->Show();
  vantrel::qt::RaiseWindow(vantrel::qt::WindowWidget(*list_));
  edit_->watcher = std::make_unique<OutsideClickWatcher>(
      vantrel::qt::WindowWidget(*this), vantrel::qt::WindowWidget(*list_), [this] { CloseList(false); });
  Invalidate();
}

void TCustomComboBox::CloseList(bool accept) {
  if (!DroppedDown()) return;
  const int chosen = list_->ItemIndex();
  if (edit_->watcher) edit_->watcher.release()->Retire();
  list_->Hide();
  Invalidate();
  const auto alive = Lifetime();
  // Told as a notification, so those who watch the box's messages see it.
  Perform(CN_COMMAND, WPARAM(CBN_CLOSEUP) << 16, 0);
  if (!alive.expired() && accept) SelectByUser(chosen);
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

// ---- Keys and mouse ----------------------------------------------------------------

void TCustomComboBox::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const bool toggle = Key == VK_F4 || ((Key == VK_DOWN || Key == VK_UP) && Shift.Contains(ssAlt));
  if (toggle) {
    if (DroppedDown()) CloseList(true);
    else SetDroppedDown(true);
    Key = 0;
    return;
  }
  if (DroppedDown()) {
    if (Key == VK_RETURN || Key == VK_ESCAPE) {
      CloseList(Key == VK_RETURN);
      Key = 0;
      return;
    }
    if (Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT) {
      // The list takes the arrows while it shows.
      list_->MoveWithKey(Key);
      Key = 0;
    }
    return;
  }
  int target = -2;
  const int last = items_->Count() - 1;
  switch (Key) {
    case VK_UP: target = std::max(0, itemIndex_ - 1); break;
    case VK_DOWN: target = std::min(last, itemIndex_ + 1); break;
    case VK_HOME: if (!HasEditPart()) target = 0; break;
    case VK_END: if (!HasEditPart()) target = last; break;
    default: break;
  }
  if (target >= 0) {
    SelectByUser(target);
    Key = 0;
  }
}

void TCustomComboBox::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (HasEditPart() || Key < 0x20) return;
  // A list without an edit chooses the next item beginning with the letter.
  const int found = items_->Find(itemIndex_, Utf8Encode(Key), false);
  if (found >= 0) {
    if (DroppedDown()) list_->SetItemIndex(found);
    else SelectByUser(found);
  }
  Key = 0;
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && !HasEditPart()) {
    if (CanFocus() && !Focused()) SetFocus();
    SetDroppedDown(!DroppedDown());
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomComboBox::DoEnter() {
  if (edit_->line) edit_->line->selectAll();
  Invalidate();
  TCustomControl::DoEnter();
}

void TCustomComboBox::DoExit() {
  CloseList(false);
  Invalidate();
  TCustomControl::DoExit();
}

// ---- Looks and the button ----------------------------------------------------------

// The button beside the client area, in window coordinates.
TRect TCustomComboBox::ButtonRect() const {
  const TRect m = NonClientMargins();
  const int left = Width() - m.Right;
  return Rect(left, m.Top, left + kButtonWidth, m.Top + ClientHeight());
}

// The list a simple combo box shows below its edit, in window coordinates.
TRect TCustomComboBox::SimpleListRect() const {
  const TRect m = NonClientMargins();
  return Rect(m.Left, m.Top + ClientHeight(), Width() - m.Right, Height() - m.Left);
}

// The button (and a simple combo box's list) lie outside the client area,
// which is the edit or the face alone.
bool TCustomComboBox::NonClientMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      TCustomControl::Dispatch(m);
      TRect& r = reinterpret_cast<TNCCalcSizeParams*>(m.LParam)->rgrc[0];
      if (HasButton()) r.Right = std::max(r.Left, r.Right - kButtonWidth);
      else r.Bottom = std::min(r.Bottom, r.Top + ItemHeight() + kSimpleEditPad);
      return true;
    }
    case WM_NCPAINT: {
      TCustomControl::Dispatch(m);
      auto* dc = reinterpret_cast<TCanvas*>(m.WParam);
      if (HasButton()) {
        TRect r = ButtonRect();
        DrawFrameControl(dc, r, DFC_SCROLL,
                         DFCS_SCROLLCOMBOBOX | (DroppedDown() ? DFCS_PUSHED | DFCS_FLAT : 0) |
                             (Enabled() ? 0 : DFCS_INACTIVE));
      } else {
        PaintSimpleList(dc);
      }
      return true;
    }
    case WM_NCHITTEST: {
      TCustomControl::Dispatch(m);
      const TPoint p = ScreenToClient(SmallPointToPoint(m.LParam));
      const TPoint w = {p.x + NonClientMargins().Left, p.y + NonClientMargins().Top};
      if (m.Result != HTCLIENT && PtInRect(HasButton() ? ButtonRect() : SimpleListRect(), w))
        m.Result = HTBORDER;
      return true;
    }
    case WM_NCLBUTTONDOWN: {
      if (m.WParam != HTBORDER || !Enabled()) return true;
      if (CanFocus() && !Focused()) SetFocus();
      if (HasButton()) {
        SetDroppedDown(!DroppedDown());
        return true;
      }
      const TPoint p = ScreenToClient(SmallPointToPoint(m.LParam));
      const int y = p.y + NonClientMargins().Top - SimpleListRect().Top;
      SelectByUser(simpleTop_ + y / std::max(1, ItemHeight()));
      return true;
    }
    default:
      return false;
  }
}

void TCustomComboBox::RepaintSimpleList() {
  // The list lies in the frame, which repaints when it changes.
  if (!HasButton() && HandleAllocated()) FrameChanged();
}

void TCustomComboBox::PaintSimpleList(TCanvas* dc) {
  const TRect area = SimpleListRect();
  dc->Brush()->SetStyle(bsSolid);
  dc->Brush()->SetColor(Color());
  dc->FillRect(area);
  dc->Pen()->SetColor(clBtnShadow);
  dc->MoveTo(area.Left, area.Top);
  dc->LineTo(area.Right, area.Top);
  const int h = std::max(1, ItemHeight());
  // The chosen item stays in view.
  const int rows = std::max(1, (area.Height() - 1) / h);
  if (itemIndex_ >= 0) simpleTop_ = std::clamp(simpleTop_, itemIndex_ - rows + 1, itemIndex_);
  simpleTop_ = std::clamp(simpleTop_, 0, std::max(0, items_->Count() - rows));
  drawCanvas_ = dc;
  for (int i = simpleTop_; i < items_->Count() && i < simpleTop_ + rows; ++i) {
    const int top = area.Top + 1 + (i - simpleTop_) * h;
    dc->SetFont(Font());
    dc->Brush()->SetColor(i == itemIndex_ ? clHighlight : Color());
    if (i == itemIndex_) dc->Font()->SetColor(clHighlightText);
    DrawItem(i, Rect(area.Left, top, area.Right, top + h), i == itemIndex_ ? TOwnerDrawState{odSelected} : TOwnerDrawState{});
  }
  drawCanvas_ = nullptr;
}

TPoint TCustomComboBox::KeyboardPopupPoint() const {
  QLineEdit* line = edit_->line;
  if (!line) return TCustomControl::KeyboardPopupPoint();
  const QRect caret = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  const QPoint at = line->mapTo(vantrel::qt::ClientWidget(*this), QPoint(caret.center().x(), caret.bottom() + 1));
  return {at.x(), at.y()};
}

bool TCustomComboBox::ShowOwnContextMenu(TPoint screenPos) {
  QLineEdit* line = edit_->line;
  if (!line) return false;
  const bool hasText = !line->text().isEmpty();
  PopupEditMenu(*this,
                {line->isUndoAvailable(), line->isReadOnly(), false, line->hasSelectedText(), hasText,
                 line->selectedText() == line->text()},
                screenPos);
  return true;
}

bool TCustomComboBox::EditPartMessage(TMessage& m) {
  QLineEdit* line = edit_->line;
  if (!line) return false;
  switch (m.Msg) {
    case WM_UNDO: line->undo(); return true;
    case WM_CUT: line->cut(); return true;
    case WM_COPY: line->copy(); return true;
    case WM_PASTE: line->paste(); return true;
    case WM_CLEAR:
      if (line->hasSelectedText()) line->del();  // the selection only, never the next character
      return true;
    case EM_SETSEL: {
      const int length = int(line->text().size());
      const int start = std::clamp(int(m.WParam), 0, length);
      const int end = int(m.LParam) < 0 ? length : std::clamp(int(m.LParam), 0, length);
      line->setSelection(start, end - start);
      return true;
    }
    default: return false;
  }
}

void TCustomComboBox::Dispatch(TMessage& m) {
  if (NonClientMessage(m) || EditPartMessage(m)) return;
  switch (m.Msg) {
    case CN_COMMAND:
      if (HiWord(m.WParam) == CBN_CLOSEUP) CloseUp();
      return;
    case CM_FONTCHANGED:
      if (edit_->line) edit_->line->setFont(vantrel::qt::ToQFont(*Font()));
      TCustomControl::Dispatch(m);
      return;
    case CM_TEXTCHANGED:
      if (edit_->line && FromQ(edit_->line->text()) != Text()) edit_->line->setText(ToQ(Text()));
      // Text set from code chooses the item of that text, if any.
      if (!settingText_) itemIndex_ = items_->Find(-1, Text(), true);
      Invalidate();
      TCustomControl::Dispatch(m);
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

void TCustomComboBox::PaintContent() {
  TCanvas* c = TCustomControl::Canvas();
  const TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (HasEditPart()) return;
  TOwnerDrawState state;
  TRect face = r;
  InflateRect(face, -1, -1);
  if (Focused() && !DroppedDown()) state = TOwnerDrawState{odSelected, odFocused};
  if (!Enabled()) state.Include(odDisabled);
  c->SetFont(Font());
  if (state.Contains(odSelected)) {
    c->Brush()->SetColor(clHighlight);
    c->Font()->SetColor(clHighlightText);
  }
  if (itemIndex_ >= 0) {
    DrawItem(itemIndex_, face, state);
  } else {
    c->FillRect(face);
  }
  if (state.Contains(odFocused)) c->DrawFocusRect(face);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  const bool ownerDraw = style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable;
  if (ownerDraw && OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  TCanvas* c = Canvas();
  c->FillRect(Rect);
  if (State.Contains(odDisabled)) c->Font()->SetColor(clGrayText);
  c->TextOut(Rect.Left + 2, Rect.Top + (Rect.Height() - c->TextHeight("Wg")) / 2,
             items_->Strings(Index));
}

PUBLISHED(TCustomComboBox) {
  PROP_ENUM(Style, Style, SetStyle, csDropDown);
  PROP_OBJ(Items, Items, SetItems);
  PROP_BOOL(Sorted, Sorted, SetSorted, false);
  PROP_INT(DropDownCount, DropDownCount, SetDropDownCount, 8);
  PROP_INT(MaxLength, MaxLength, SetMaxLength, 0);
  PROP_INT(ItemHeight, ItemHeight, SetItemHeight, 16);
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
  PROP_DEFAULT(TabStop, true);
  PROP_DEFAULT(Width, 145);
  PROP_DEFAULT(Height, 21);
  PROP_EVENT(OnChange);
  PROP_EVENT(OnDropDown);
  PROP_EVENT(OnCloseUp);
  PROP_EVENT(OnDrawItem);
  PROP_EVENT(OnMeasureItem);
}
