#include "platform/classlib/stdctrls/edits.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>
#include <tuple>
#include <utility>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/stdctrls/editmenu.h"
#include "platform/classlib/stdctrls/editnative.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;

IMPLEMENT_CLASS(TCustomEdit, TWinControl)
IMPLEMENT_CLASS(TEdit, TCustomEdit)
IMPLEMENT_CLASS(TCustomMemo, TCustomEdit)
IMPLEMENT_CLASS(TMemo, TCustomMemo)

// Reaches the edit's protected hooks from the native widgets.
struct EditAccess {
  static void TextFromNative(TCustomEdit* e) { e->TextFromNative(); }
  static void FocusChanged(TCustomEdit* e, bool focused) { e->ShowFocus(focused); }
  static bool PaintSelf(TCustomEdit* e, QPainter& painter) {
    TCanvas canvas;
    vantrel::qt::BindPainter(canvas, &painter);
    const bool painted = e->PaintSelf(&canvas);
    vantrel::qt::Unbind(canvas);
    return painted;
  }
};

namespace {

// The plain text editor's own margin around the text, kept while no
// formatting rectangle is set.
constexpr qreal kPlainMargin = 4;

// The password character and the caret's width come from the style.
class EditStyle : public QProxyStyle {
 public:
  char32_t passwordChar = U'*';
  bool caretHidden = false;
  // The line editor lacks the focus: a selection kept past the focus's
  // leaving would bring back its caret, which only a focused edit shows.
  bool unfocused = false;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return int(passwordChar);
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TextCursorWidth && (caretHidden || unfocused)) return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

// A line editor that lets the edit paint its face and keeps its selection
// when the focus leaves (the class library's edits keep it; Qt drops it).
class VLineEdit : public QLineEdit {
 public:
  TCustomEdit* owner = nullptr;
  QRect CaretRect() const { return cursorRect(); }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (owner) {
      bool painted = false;
      vantrel::qt::Guarded([&] {
        QPainter p(this);
        painted = EditAccess::PaintSelf(owner, p);
      });
      if (painted) return;
    }
    QLineEdit::paintEvent(e);
  }
  void focusInEvent(QFocusEvent* e) override {
    QLineEdit::focusInEvent(e);
    if (owner) EditAccess::FocusChanged(owner, true);
  }
  void focusOutEvent(QFocusEvent* e) override {
    const int start = selectionStart(), length = selectedText().size();
    const int cursor = cursorPosition();
    QLineEdit::focusOutEvent(e);
    if (owner) EditAccess::FocusChanged(owner, false);
    if (start < 0) return;
    // The cursor goes back to the end it stood at.
    if (cursor == start) {
      setSelection(start + length, -length);
    } else {
      setSelection(start, length);
    }
  }
};

class VPlainEdit : public QPlainTextEdit {
 public:
  TCustomEdit* owner = nullptr;
  void SetMargins(int l, int t, int r, int b) { setViewportMargins(l, t, r, b); }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (owner) {
      bool painted = false;
      vantrel::qt::Guarded([&] {
        QPainter p(viewport());
        painted = EditAccess::PaintSelf(owner, p);
      });
      if (painted) return;
    }
    QPlainTextEdit::paintEvent(e);
  }
};

// The rich edit's window: a text editor that shows formatting.
class VRichEdit : public QTextEdit {
 public:
  TCustomEdit* owner = nullptr;
  void SetMargins(int l, int t, int r, int b) { setViewportMargins(l, t, r, b); }
};

// Without automatic vertical scrolling the text stays where it starts: a
// line taller than the window is cut at its bottom, never scrolled away when
// the caret moves (the editor would scroll a line it cannot show whole).
void KeepFirstLineInView(QPlainTextEdit* editor) {
  QScrollBar* bar = editor->verticalScrollBar();
  QObject::connect(bar, &QScrollBar::rangeChanged, bar, [bar](int, int max) {
    if (max > 0) bar->setRange(0, 0);
  });
}

// The ends of a line editor's selection (both the cursor without one).
std::pair<int, int> LineSelection(const QLineEdit* line) {
  if (!line->hasSelectedText()) return {line->cursorPosition(), line->cursorPosition()};
  return {line->selectionStart(), line->selectionEnd()};
}

}  // namespace

namespace vantrel::qt {

// A rich text's line break inside a paragraph reads back as "\r\n" too.
static bool IsBreak(QChar c) { return c == u'\n' || c == QChar::LineSeparator; }

int OursFromNative(const QString& s, int native, bool crlf) {
  int ours = 0;
  for (int i = 0; i < native && i < s.size(); ++i) {
    if (s[i].isLowSurrogate()) continue;
    ours += crlf && IsBreak(s[i]) ? 2 : 1;
  }
  return ours;
}

int NativeFromOurs(const QString& s, int ours, bool crlf) {
  int i = 0, n = 0;
  while (i < s.size() && n < ours) {
    const int width = crlf && IsBreak(s[i]) ? 2 : 1;
    if (n + width > ours) break;  // inside a "\r\n": before it
    n += width;
    ++i;
    if (i < s.size() && s[i].isLowSurrogate()) ++i;
  }
  return i;
}

// The memo's "\r\n" is the native editor's "\n" (a lone "\r" too).
QString ToNativeText(const std::string& text, bool multiLine) {
  QString s = ToQString(text);
  if (multiLine) s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
  return s;
}

std::string FromNativeText(const QString& text, bool multiLine) {
  if (!multiLine) return FromQString(text);
  QString s = text;
  s.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
  return FromQString(s.replace(QLatin1String("\n"), QLatin1String("\r\n")));
}

}  // namespace vantrel::qt

namespace {

using vantrel::qt::FromNativeText;
using vantrel::qt::NativeFromOurs;
using vantrel::qt::OursFromNative;
using vantrel::qt::ToNativeText;

std::string ApplyCase(const std::string& s, TEditCharCase charCase) {
  if (charCase == ecNormal) return s;
  std::string out;
  for (std::size_t pos = 0; pos < s.size();) {
    const char32_t c = Utf8Decode(s, pos);
    Utf8Append(out, charCase == ecUpperCase ? UnicodeUpper(c) : UnicodeLower(c));
  }
  return out;
}

// The first line of a text (a single-line edit pastes no line breaks).
std::string FirstLine(const std::string& s) { return s.substr(0, s.find_first_of("\r\n")); }

}  // namespace

struct TCustomEdit::Native {
  VLineEdit* line = nullptr;
  // A multi-line window is a plain or (for the rich edit) a rich text editor;
  // both have the same text-editing calls, which `multi` hands to either.
  VPlainEdit* plain = nullptr;
  VRichEdit* rich = nullptr;
  EditStyle* style = nullptr;
  DWORD createdStyle = 0;
  QMetaObject::Connection textChanged;
  QWidget* widget() const {
    if (line) return line;
    return plain ? static_cast<QWidget*>(plain) : static_cast<QWidget*>(rich);
  }
  template <class F>
  auto multi(F f) const {
    return plain ? f(plain) : f(rich);
  }
  QString text() const {
    return line ? line->text() : multi([](auto* e) { return e->toPlainText(); });
  }
  bool multiLine() const { return line == nullptr; }
  // Read-only refuses typing only: as in the system's edits, the keys still
  // move the caret and select (a read-only text editor of Qt ignores them).
  void setReadOnly(bool value) const {
    if (line) {
      line->setReadOnly(value);
      return;
    }
    multi([value](auto* e) {
      e->setReadOnly(value);
      if (value) e->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    });
  }
  void setOwner(TCustomEdit* owner) {
    if (line) line->owner = owner;
    else multi([owner](auto* e) { e->owner = owner; });
  }
};

QTextEdit* vantrel::qt::RichEditorOf(const TCustomEdit& edit) {
  return edit.NativeEditor() ? edit.NativeEditor()->rich : nullptr;
}

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight});
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
}

TCustomEdit::~TCustomEdit() { ForgetNative(); }

// The widget goes with the window, later than this object may: it must not
// reach back here any more.
void TCustomEdit::ForgetNative() {
  if (!native_) return;
  native_->setOwner(nullptr);
  QObject::disconnect(native_->textChanged);
}

// ---- The window ----------------------------------------------------------------------

void TCustomEdit::FillCreateParams(TCreateParams& params) {
  TWinControl::FillCreateParams(params);
  params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  if (passwordChar_) params.Style |= ES_PASSWORD;
  if (readOnly_) params.Style |= ES_READONLY;
  if (!hideSelection_) params.Style |= ES_NOHIDESEL;
  if (charCase_ == ecUpperCase) params.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) params.Style |= ES_LOWERCASE;
  if (!multiLineDefault_) return;
  params.Style |= ES_MULTILINE;
  if (wordWrap_) params.Style &= ~ES_AUTOHSCROLL;
  if (wantReturns_) params.Style |= ES_WANTRETURN;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  // The native editor brings its own scroll bars; the window's stay hidden.
  ShowScrollBar(this, SB_HORZ, false);
  ShowScrollBar(this, SB_VERT, false);
  TCreateParams params;
  FillCreateParams(params);
  native_ = std::make_unique<Native>();
  Native& n = *native_;
  n.createdStyle = params.Style;
  n.style = new EditStyle;
  if (params.Style & ES_MULTILINE) {
    const bool wrap = !(params.Style & (ES_AUTOHSCROLL | WS_HSCROLL));
    if (RichEditorWindow()) {
      n.rich = new VRichEdit;
      n.rich->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
      // Pastes and drops go through the rich edit, which reads RTF itself.
      n.rich->setAcceptRichText(false);
    } else {
      n.plain = new VPlainEdit;
      n.plain->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    }
    n.setOwner(this);
    n.multi([&](auto* e) {
      e->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
      e->setVerticalScrollBarPolicy(params.Style & WS_VSCROLL ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAlwaysOff);
      e->setHorizontalScrollBarPolicy(params.Style & WS_HSCROLL ? Qt::ScrollBarAlwaysOn
                                                                : Qt::ScrollBarAlwaysOff);
      if (borderStyle_ == bsNone) e->setFrameShape(QFrame::NoFrame);
      e->setPlainText(ToNativeText(Text(), true));
    });
    if (n.plain && !(params.Style & (ES_AUTOVSCROLL | WS_VSCROLL))) KeepFirstLineInView(n.plain);
  } else {
    n.line = new VLineEdit;
    n.line->owner = this;
    n.line->setFrame(borderStyle_ != bsNone);
    n.line->setAlignment(params.Style & ES_RIGHT    ? Qt::AlignRight
                         : params.Style & ES_CENTER ? Qt::AlignHCenter
                                                    : Qt::AlignLeft);
    n.line->setText(ToNativeText(Text(), false));
  }
  QWidget* w = n.widget();
  n.style->setParent(w);
  w->setStyle(n.style);
  // Drops would bypass the limit and the case; the class library's edits take none.
  w->setAcceptDrops(false);
  w->setAttribute(Qt::WA_InputMethodEnabled, inputMethods_);
  w->setFont(vantrel::qt::ToQFont(*Font()));
  n.setReadOnly(readOnly_);
  SetPasswordChar(passwordChar_);
  SetHideSelection(hideSelection_);
  Perform(CM_COLORCHANGED);
  SetSelection(selStart_, selEnd_);
  vantrel::qt::EmbedNativeWidget(*this, w);  // a re-created window gets its text back here
  caretHides_ = 0;
  if (formatRectSet_) {
    TRect r = formatRect_;
    Perform(EM_SETRECTNP, 0, LPARAM(&r));
  }
  auto typed = [this] { vantrel::qt::Guarded([this] { EditAccess::TextFromNative(this); }); };
  n.textChanged = n.line    ? QObject::connect(n.line, &QLineEdit::textChanged, n.line, typed)
                  : n.plain ? QObject::connect(n.plain, &QPlainTextEdit::textChanged, n.plain, typed)
                            : QObject::connect(n.rich, &QTextEdit::textChanged, n.rich, typed);
}

TPoint TCustomEdit::KeyboardPopupPoint() const {
  if (!native_) return TWinControl::KeyboardPopupPoint();
  // The caret's rectangle may reach either side of it (the line editor's does).
  const auto below = [](const QRect& caret) { return QPoint(caret.center().x(), caret.bottom() + 1); };
  QWidget* client = vantrel::qt::ClientWidget(*this);
  const QPoint at = native_->line ? native_->line->mapTo(client, below(native_->line->CaretRect()))
                                  : native_->multi([&](auto* e) {
                                      return e->viewport()->mapTo(client, below(e->cursorRect()));
                                    });
  return {at.x(), at.y()};
}

bool TCustomEdit::ShowOwnContextMenu(TPoint screenPos) {
  // As the desktop's rich text control, a formatted editor has no menu of its own.
  if (!native_ || RichEditorWindow()) return false;
  int start = 0, end = 0;
  SelStartEnd(start, end);
  const int length = int(Utf8Length(Text()));
  PopupEditMenu(*this, {CanUndo(), readOnly_, passwordChar_ != 0, end > start, length > 0, start == 0 && end == length},
                screenPos);
  return true;
}

void TCustomEdit::DestroyWnd() {
  if (native_) {
    int start = 0, end = 0;
    SelStartEnd(start, end);
    selStart_ = start;
    selEnd_ = end;
    ForgetNative();
  }
  native_.reset();
  TWinControl::DestroyWnd();
}

// A form definition's height gives way to the font's once loading is done.
void TCustomEdit::Loaded() {
  TWinControl::Loaded();
  AdjustHeight();
}

void TCustomEdit::ChangeStyle() {
  if (HandleAllocated()) RecreateWnd();
}

bool TCustomEdit::IsMultiLine() const {
  if (native_) return native_->multiLine();
  TCreateParams params;
  const_cast<TCustomEdit*>(this)->FillCreateParams(params);
  return (params.Style & ES_MULTILINE) != 0;
}

// ---- Text ------------------------------------------------------------------------

void TCustomEdit::TextFromNative() {
  if (pushing_ || !native_) return;
  modified_ = true;
  fromNative_ = true;
  SetText(FromNativeText(native_->text(), native_->multiLine()));
  fromNative_ = false;
}

void TCustomEdit::PushTextToNative() {
  if (!native_) return;
  const QString text = ToNativeText(Text(), native_->multiLine());
  if (native_->text() == text) return;
  pushing_ = true;
  if (native_->line) native_->line->setText(text);
  else native_->multi([&](auto* e) { e->setPlainText(text); });
  pushing_ = false;
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

std::string TCustomEdit::TextWithSelectionReplaced(const std::string& typed) const {
  int start = 0, end = 0;
  SelStartEnd(start, end);
  std::string text = Text();
  Utf8Delete(text, start + 1, end - start);
  Utf8Insert(typed, text, start + 1);
  return text;
}

// ---- Selection -------------------------------------------------------------------

void TCustomEdit::SelStartEnd(int& start, int& end) const {
  if (!native_) {
    start = selStart_;
    end = selEnd_;
    return;
  }
  const QString s = native_->text();
  const bool crlf = native_->multiLine();
  int a = 0, b = 0;
  if (native_->line) {
    std::tie(a, b) = LineSelection(native_->line);
  } else {
    const QTextCursor c = native_->multi([](auto* e) { return e->textCursor(); });
    a = c.selectionStart();
    b = c.selectionEnd();
  }
  start = OursFromNative(s, a, crlf);
  end = OursFromNative(s, b, crlf);
}

int TCustomEdit::CaretPosition() const {
  if (!native_) return selEnd_;
  const QString s = native_->text();
  const int native = native_->line ? native_->line->cursorPosition()
                                   : native_->multi([](auto* e) { return e->textCursor(); }).position();
  return OursFromNative(s, native, native_->multiLine());
}

void TCustomEdit::SetSelection(int start, int end) {
  const int length = int(Utf8Length(Text()));
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  selStart_ = start;
  selEnd_ = end;
  if (!native_) return;
  const QString s = native_->text();
  const bool crlf = native_->multiLine();
  const int a = NativeFromOurs(s, start, crlf), b = NativeFromOurs(s, end, crlf);
  if (native_->line) {
    // A selection of no length only places the cursor.
    if (a == b) native_->line->setCursorPosition(a);
    else native_->line->setSelection(a, b - a);
  } else {
    native_->multi([&](auto* e) {
      QTextCursor c = e->textCursor();
      c.setPosition(a);
      c.setPosition(b, QTextCursor::KeepAnchor);
      e->setTextCursor(c);
    });
  }
}

int TCustomEdit::SelStart() const {
  int start = 0, end = 0;
  SelStartEnd(start, end);
  return start;
}

int TCustomEdit::SelLength() const {
  int start = 0, end = 0;
  SelStartEnd(start, end);
  return end - start;
}

void TCustomEdit::SetSelStart(int value) { SetSelection(value, value); }

void TCustomEdit::SetSelLength(int value) {
  const int start = SelStart();
  SetSelection(start, start + std::max(0, value));
}

std::string TCustomEdit::SelText() const {
  int start = 0, end = 0;
  SelStartEnd(start, end);
  return Utf8Copy(Text(), start + 1, end - start);
}

void TCustomEdit::SetSelText(const std::string& value) {
  if (!native_) {
    const int start = selStart_;
    SetText(TextWithSelectionReplaced(value));
    SetSelection(start + int(Utf8Length(value)), start + int(Utf8Length(value)));
    return;
  }
  const QString text = ToNativeText(value, native_->multiLine());
  if (native_->line) {
    // Each replacement is its own undo step, as it is for the class library's
    // edits: a move of the cursor ends the line editor's current step.
    QLineEdit* line = native_->line;
    const auto [a, b] = LineSelection(line);
    line->setCursorPosition(a == 0 ? 1 : 0);
    if (a == b) line->setCursorPosition(a);
    else line->setSelection(a, b - a);
    line->insert(text);
  } else {
    native_->multi([&](auto* e) { e->insertPlainText(text); });
  }
}

void TCustomEdit::SelectAll() { SetSelection(0, int(Utf8Length(Text()))); }

void TCustomEdit::ClearSelection() { Perform(WM_CLEAR); }

// ---- Properties --------------------------------------------------------------------

void TCustomEdit::SetMaxLength(int value) { maxLength_ = std::max(0, value); }

void TCustomEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (!native_) return;
  native_->setReadOnly(value);
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
  if (charCase_ == value) return;
  charCase_ = value;
  // The text already there takes the case too, as the window's style gives it.
  const int start = SelStart(), length = SelLength();
  SetText(ApplyCase(Text(), value));
  SetSelection(start, start + length);
}

void TCustomEdit::SetPasswordChar(char32_t value) {
  passwordChar_ = value;
  if (!native_ || !native_->line) return;
  native_->style->passwordChar = value;
  native_->line->setEchoMode(value ? QLineEdit::Password : QLineEdit::Normal);
  QEvent styleChanged(QEvent::StyleChange);
  QCoreApplication::sendEvent(native_->line, &styleChanged);
  native_->line->update();
}

void TCustomEdit::SetHideSelection(bool value) {
  hideSelection_ = value;
  if (native_) ShowFocus(native_->widget()->hasFocus());
}

// Without the focus, a hidden selection looks like plain text; a kept one
// looks as it does with the focus. A text editor of several lines draws it
// in its inactive colours whenever it lacks the focus; a line editor only
// while its window is inactive, so its active colours follow its focus too
// (another control of the same window may have it), as does its caret.
void TCustomEdit::ShowFocus(bool focused) {
  native_->style->unfocused = !focused;
  QWidget* w = native_->widget();
  QPalette p = w->palette();
  const QPalette standard = QApplication::palette(w);
  const auto colour = [&](bool away, QPalette::ColorRole plain, QPalette::ColorRole selected) {
    return away && hideSelection_ ? p.color(QPalette::Active, plain) : standard.color(QPalette::Active, selected);
  };
  const bool lineAway = native_->line && !focused;
  p.setColor(QPalette::Inactive, QPalette::Highlight, colour(true, QPalette::Base, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             colour(true, QPalette::Text, QPalette::HighlightedText));
  p.setColor(QPalette::Active, QPalette::Highlight, colour(lineAway, QPalette::Base, QPalette::Highlight));
  p.setColor(QPalette::Active, QPalette::HighlightedText,
             colour(lineAway, QPalette::Text, QPalette::HighlightedText));
  w->setPalette(p);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  AdjustHeight();
  ChangeStyle();
}

void TCustomEdit::SetInputMethods(bool enabled) {
  inputMethods_ = enabled;
  if (native_) native_->widget()->setAttribute(Qt::WA_InputMethodEnabled, enabled);
}

void TCustomEdit::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
  if (!autoSize_ || borderStyle_ != bsSingle || multiLineDefault_ ||
      ComponentState().Contains(csLoading))
    return;
  // Four pixels above and below the text: the 3D border and the edit's margin.
  constexpr int kFrameAndMargin = 8;
  SetHeight(QFontMetrics(vantrel::qt::ToQFont(*Font())).height() + kFrameAndMargin);
}

void TCustomEdit::SetWordWrapStyle(bool value) {
  if (wordWrap_ == value) return;
  wordWrap_ = value;
  ChangeStyle();
}

// Enter is taken at once; the window's style follows.
void TCustomEdit::SetWantReturnsStyle(bool value) {
  wantReturns_ = value;
  if (native_ && native_->multiLine())
    native_->createdStyle = value ? native_->createdStyle | ES_WANTRETURN
                                  : native_->createdStyle & ~ES_WANTRETURN;
}

void TCustomEdit::SetScrollBarsStyle(TScrollStyle value) {
  if (scrollBars_ == value) return;
  scrollBars_ = value;
  ChangeStyle();
}

bool TCustomEdit::CanUndo() const {
  if (!native_) return false;
  return native_->line ? native_->line->isUndoAvailable()
                       : native_->multi([](auto* e) { return e->document()->isUndoAvailable(); });
}

void TCustomEdit::ClearUndo() {
  if (!native_) return;
  if (native_->multiLine()) {
    native_->multi([](auto* e) { e->document()->clearUndoRedoStacks(); });
    return;
  }
  // Setting the text anew is the line editor's only way to forget its history.
  int start = 0, end = 0;
  SelStartEnd(start, end);
  pushing_ = true;
  native_->line->setText(native_->line->text());
  pushing_ = false;
  SetSelection(start, end);
}

void TCustomEdit::HideCaret() {
  ++caretHides_;
  if (caretHides_ == 1 && native_) {
    native_->style->caretHidden = true;
    if (native_->multiLine()) native_->multi([](auto* e) { e->setCursorWidth(0); });
    native_->widget()->update();
  }
}

void TCustomEdit::ShowCaret() {
  if (caretHides_ == 0) return;
  if (--caretHides_ == 0 && native_) {
    native_->style->caretHidden = false;
    if (native_->multiLine()) native_->multi([](auto* e) { e->setCursorWidth(1); });
    native_->widget()->update();
  }
}

TRect TCustomEdit::EditRect() const {
  TRect r;
  const_cast<TCustomEdit*>(this)->Perform(EM_GETRECT, 0, LPARAM(&r));
  return r;
}

// ---- Keys ------------------------------------------------------------------------

void TCustomEdit::KeyPress(char32_t& key) {
  TWinControl::KeyPress(key);
  if (key != 0) TypeKey(key);
}

void TCustomEdit::TypeKey(char32_t& key) {
  const bool multiLine = IsMultiLine();
  const DWORD style = native_ ? native_->createdStyle : 0;
  if (multiLine && key == U'\r' && !(style & ES_WANTRETURN)) key = 0;
  if (multiLine && key == U'\t' && !wantTabs_) key = 0;
  if (key == 0 || (key < 32 && key != U'\r' && key != U'\t') || readOnly_) return;
  // The limit counts what stays of the text and what the key adds.
  const int adds = key == U'\r' ? 2 : 1;
  if (maxLength_ > 0 && int(Utf8Length(Text())) - SelLength() + adds > maxLength_) {
    key = 0;
    return;
  }
  if (charCase_ == ecUpperCase) key = UnicodeUpper(key);
  if (charCase_ == ecLowerCase) key = UnicodeLower(key);
}

bool TCustomEdit::HandleClipboardKey(WORD key, TShiftState shift) {
  const bool ctrl = shift == TShiftState{ssCtrl};
  const bool shiftOnly = shift == TShiftState{ssShift};
  UINT msg = 0;
  if ((ctrl && key == 'C') || (ctrl && key == VK_INSERT)) msg = WM_COPY;
  if ((ctrl && key == 'X') || (shiftOnly && key == VK_DELETE)) msg = WM_CUT;
  if ((ctrl && key == 'V') || (shiftOnly && key == VK_INSERT)) msg = WM_PASTE;
  if ((ctrl && key == 'Z') || (shift == TShiftState{ssAlt} && key == VK_BACK)) msg = WM_UNDO;
  if (msg == 0) return false;
  Perform(msg);
  return true;
}

// ---- Messages --------------------------------------------------------------------

void TCustomEdit::HandleClipboard(TMessage& m) {
  switch (m.Msg) {
    case WM_COPY:
    case WM_CUT:
      // A password is never handed out.
      if (passwordChar_ || SelLength() == 0) return;
      Clipboard()->SetAsText(SelText());
      if (m.Msg == WM_CUT && !readOnly_) SetSelText("");
      return;
    case WM_CLEAR:
      if (!readOnly_ && SelLength() > 0) SetSelText("");
      return;
    case WM_PASTE: {
      if (readOnly_ || !Clipboard()->HasFormat(CF_TEXT)) return;
      std::string text = ApplyCase(Clipboard()->AsText(), charCase_);
      if (!IsMultiLine()) text = FirstLine(text);
      if (maxLength_ > 0) {
        const int room = maxLength_ - (int(Utf8Length(Text())) - SelLength());
        text = Utf8Copy(text, 1, std::max(0, room));
      }
      if (!text.empty()) SetSelText(text);
      return;
    }
    case WM_UNDO:
    case EM_UNDO:
      if (readOnly_ || !CanUndo()) return;
      if (native_->line) native_->line->undo();
      else native_->multi([](auto* e) { e->undo(); });
      m.Result = 1;
      return;
  }
}

namespace {

// Line number and line start of a position in a text whose breaks are "\r\n".
struct LineOf {
  int line = 0, start = 0;
};
LineOf FindLine(const std::string& text, int pos) {
  LineOf result;
  int at = 0;
  for (std::size_t i = 0; i < text.size() && at < pos;) {
    if (text.compare(i, 2, "\r\n") == 0) {
      at += 2;
      i += 2;
      if (at <= pos) result = {result.line + 1, at};
      continue;
    }
    Utf8Decode(text, i);
    ++at;
  }
  return result;
}

// Starts of every line, code points.
std::vector<int> LineStarts(const std::string& text) {
  std::vector<int> starts{0};
  int at = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, "\r\n") == 0) {
      at += 2;
      i += 2;
      starts.push_back(at);
      continue;
    }
    Utf8Decode(text, i);
    ++at;
  }
  return starts;
}

}  // namespace

bool TCustomEdit::HandleEditMessage(TMessage& m) {
  switch (m.Msg) {
    case EM_GETSEL: {
      int start = 0, end = 0;
      SelStartEnd(start, end);
      if (m.WParam) *reinterpret_cast<int*>(m.WParam) = start;
      if (m.LParam) *reinterpret_cast<int*>(m.LParam) = end;
      m.Result = LRESULT(MakeLParam(start, end));
      return true;
    }
    case EM_SETSEL: {
      int start = int(m.WParam), end = int(m.LParam);
      const int length = int(Utf8Length(Text()));
      if (start == -1) start = end = CaretPosition();  // no selection, caret stays
      if (end == -1) end = length;
      SetSelection(std::min(start, end), std::max(start, end));
      return true;
    }
    case EM_GETRECT: {
      TRect r = ClientRect();
      if (formatRectSet_) r = formatRect_;
      *reinterpret_cast<TRect*>(m.LParam) = r;
      return true;
    }
    case EM_SETRECT:
    case EM_SETRECTNP: {
      formatRectSet_ = m.LParam != 0;
      if (formatRectSet_) formatRect_ = *reinterpret_cast<const TRect*>(m.LParam);
      if (!native_) return true;
      const TRect c = ClientRect();
      const TRect r = formatRectSet_ ? formatRect_ : c;
      const int l = std::max(0, r.Left), t = std::max(0, r.Top);
      const int rt = std::max(0, c.Right - r.Right), b = std::max(0, c.Bottom - r.Bottom);
      if (native_->line) native_->line->setTextMargins(l, t, rt, b);
      else native_->multi([&](auto* e) { e->SetMargins(l, t, rt, b); });
      // A set rectangle is where the text begins; the editor's own margin
      // inside it would push the text down and out of a cell-high edit.
      if (native_->plain) native_->plain->document()->setDocumentMargin(formatRectSet_ ? 0 : kPlainMargin);
      return true;
    }
    case EM_GETMODIFY: m.Result = modified_; return true;
    case EM_SETMODIFY: modified_ = m.WParam != 0; return true;
    case EM_CANUNDO: m.Result = CanUndo(); return true;
    case EM_EMPTYUNDOBUFFER: ClearUndo(); return true;
    case EM_LIMITTEXT: SetMaxLength(int(m.WParam)); return true;
    case EM_SETREADONLY: SetReadOnly(m.WParam != 0); m.Result = 1; return true;
    case EM_SETPASSWORDCHAR: SetPasswordChar(char32_t(m.WParam)); return true;
    case EM_GETPASSWORDCHAR: m.Result = LRESULT(passwordChar_); return true;
    case EM_REPLACESEL: SetSelText(*reinterpret_cast<const std::string*>(m.LParam)); return true;
    case EM_SCROLLCARET:
      if (native_ && native_->line) native_->line->end(false), SetSelection(selStart_, selEnd_);
      if (native_ && native_->multiLine()) native_->multi([](auto* e) { e->ensureCursorVisible(); });
      return true;
    case EM_GETLINECOUNT: m.Result = LRESULT(LineStarts(Text()).size()); return true;
    case EM_LINEFROMCHAR: {
      const int pos = int(m.WParam) < 0 ? CaretPosition() : int(m.WParam);
      m.Result = FindLine(Text(), pos).line;
      return true;
    }
    case EM_LINEINDEX: {
      const std::vector<int> starts = LineStarts(Text());
      const int line = int(m.WParam) < 0 ? FindLine(Text(), CaretPosition()).line : int(m.WParam);
      m.Result = line < int(starts.size()) ? starts[size_t(line)] : -1;
      return true;
    }
    case EM_LINELENGTH: {
      const std::vector<int> starts = LineStarts(Text());
      const int pos = int(m.WParam) < 0 ? CaretPosition() : int(m.WParam);
      const int line = FindLine(Text(), pos).line;
      const int end = line + 1 < int(starts.size()) ? starts[size_t(line) + 1] - 2
                                                    : int(Utf8Length(Text()));
      m.Result = end - starts[size_t(line)];
      return true;
    }
    default:
      return false;
  }
}

void TCustomEdit::Dispatch(TMessage& m) {
  if (HandleEditMessage(m)) return;
  switch (m.Msg) {
    case WM_COPY: case WM_CUT: case WM_PASTE: case WM_CLEAR: case WM_UNDO: case EM_UNDO:
      HandleClipboard(m);
      return;
    case CN_KEYDOWN: {
      const auto alive = Lifetime();
      TWinControl::Dispatch(m);
      if (m.Result == 0 && !alive.expired() &&
          HandleClipboardKey(WORD(m.WParam), TShiftState::FromBits(uint64_t(m.LParam))))
        m.Result = 1;  // done here: the native editor must not do it again
      return;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      const DWORD style = native_ ? native_->createdStyle : 0;
      if (IsMultiLine() && (style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
      if (IsMultiLine() && wantTabs_) code |= DLGC_WANTTAB;
      m.Result = code;
      return;
    }
    case CM_ENTER:
      // Entered by the keyboard, a single-line edit selects its whole text
      // before OnEnter runs.
      if (autoSelect_ && !ControlState().Contains(csLButtonDown) && !IsMultiLine())
        SelectAll();
      TWinControl::Dispatch(m);
      return;
    case CM_TEXTCHANGED:
      if (!fromNative_) {
        const std::string cased = ApplyCase(Text(), charCase_);
        if (cased != Text()) {
          SetText(cased);  // runs this again with the cased text
          return;
        }
        modified_ = false;
        PushTextToNative();
      }
      Change();
      return;
    case CM_FONTCHANGED:
      if (native_) native_->widget()->setFont(vantrel::qt::ToQFont(*Font()));
      AdjustHeight();
      TWinControl::Dispatch(m);
      return;
    case CM_COLORCHANGED:
      if (native_) {
        QWidget* w = native_->widget();
        QPalette p = w->palette();
        p.setColor(QPalette::Base, vantrel::qt::ToQColor(Color()));
        p.setColor(QPalette::Text, vantrel::qt::ToQColor(Font()->Color()));
        w->setPalette(p);
        ShowFocus(w->hasFocus());  // a hidden selection takes the new colours
      }
      TWinControl::Dispatch(m);
      return;
    default:
      TWinControl::Dispatch(m);
  }
}

// ---- Memo --------------------------------------------------------------------------

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
  SetMultiLineDefault(true);
  SetControlStyle(TControlStyle{csClickEvents, csSetCaption, csDoubleClicks});
  SetBounds(0, 0, 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

TPoint TCustomMemo::CaretPos() const {
  const int caret = CaretPosition();
  const LineOf at = FindLine(Text(), caret);
  return {caret - at.start, at.line};
}

int TCustomMemo::LineFromChar(int pos) const {
  return int(const_cast<TCustomMemo*>(this)->Perform(EM_LINEFROMCHAR, WPARAM(pos)));
}

int TCustomMemo::LineIndex(int line) const {
  return int(const_cast<TCustomMemo*>(this)->Perform(EM_LINEINDEX, WPARAM(line)));
}

// The lines of the text; a text ending in a line break has no empty last line.
std::vector<std::string> TMemoStrings::Split() const {
  std::vector<std::string> lines;
  const std::string& text = memo_->Text();
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t br = text.find("\r\n", from);
    if (br == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, br - from));
    from = br + 2;
  }
  return lines;
}

void TMemoStrings::Join(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  memo_->SetText(text);
}

std::string TMemoStrings::Get(int index) const {
  const std::vector<std::string> lines = Split();
  if (index < 0 || index >= int(lines.size())) Error("List index out of bounds (%d)", index);
  return lines[size_t(index)];
}

int TMemoStrings::GetCount() const { return int(Split().size()); }

void TMemoStrings::Put(int index, const std::string& s) {
  std::vector<std::string> lines = Split();
  if (index < 0 || index >= int(lines.size())) Error("List index out of bounds (%d)", index);
  lines[size_t(index)] = s;
  Join(lines);
}

void TMemoStrings::Insert(int index, const std::string& s) {
  std::vector<std::string> lines = Split();
  if (index < 0 || index > int(lines.size())) Error("List index out of bounds (%d)", index);
  lines.insert(lines.begin() + index, s);
  Join(lines);
}

void TMemoStrings::Delete(int index) {
  std::vector<std::string> lines = Split();
  if (index < 0 || index >= int(lines.size())) Error("List index out of bounds (%d)", index);
  lines.erase(lines.begin() + index);
  Join(lines);
}

void TMemoStrings::Clear() { memo_->SetText(""); }

std::string TMemoStrings::GetTextStr() const { return TStrings::GetTextStr(); }

void TMemoStrings::SetTextStr(const std::string& text) {
  // The memo holds what was given; the list's own splitting would add a break.
  memo_->SetText(text);
}

// ---- Published ---------------------------------------------------------------------

PUBLISHED(TCustomEdit) {
  PROP_INT(MaxLength, MaxLength, SetMaxLength, 0);
  PROP_BOOL(ReadOnly, ReadOnly, SetReadOnly, false);
  PROP_BOOL(AutoSelect, AutoSelect, SetAutoSelect, true);
  PROP_BOOL(HideSelection, HideSelection, SetHideSelection, true);
  PROP_ENUM(CharCase, CharCase, SetCharCase, ecNormal);
  PROP_ENUM(BorderStyle, BorderStyle, SetBorderStyle, bsSingle);
  PROP_BOOL(AutoSize, AutoSize, SetAutoSize, true);
  PROP_CHAR(PasswordChar, PasswordCharByte, SetPasswordCharByte, '\0');
  PROP_EVENT(OnChange);
  PROP_DEFAULT(TabStop, true);
  PROP_DEFAULT(Color, clWindow);
  PROP_DEFAULT(ParentColor, false);
}

PUBLISHED(TCustomMemo) {
  PROP_BOOL(WordWrap, WordWrap, SetWordWrap, true);
  PROP_BOOL(WantReturns, WantReturns, SetWantReturns, true);
  PROP_BOOL(WantTabs, WantTabs, SetWantTabs, false);
  PROP_ENUM(ScrollBars, ScrollBars, SetScrollBars, ssNone);
}
