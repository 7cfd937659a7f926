// The rich edit over Qt's rich text editor. The content lives in one text
// document that the edit owns and lends to each window it makes, so that
// formatting outlives re-created windows and attribute changes work before
// the window exists.
#include "platform/classlib/richedit/richedit.h"

#include <optional>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextList>

#include <algorithm>
#include <cmath>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/printers/printers.h"
#include "platform/classlib/richedit/richdocument.h"
#include "platform/classlib/richedit/richlayout.h"
#include "platform/classlib/stdctrls/editnative.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;

IMPLEMENT_CLASS(TTextAttributes, TPersistent)
IMPLEMENT_CLASS(TParaAttributes, TPersistent)
IMPLEMENT_CLASS(TCustomRichEdit, TCustomMemo)
IMPLEMENT_CLASS(TRichEdit, TCustomRichEdit)

namespace {

// The resolution the editor lays text out at (indents become pixels at it).
constexpr int kScreenPpi = 96;
constexpr int kTwipsPerPoint = 20;
constexpr double kTwipsPerInch = 1440;
// The clipboard's name for RTF, as other programs offer it.
const QString kRtfMime = QStringLiteral("text/rtf");

QTextCharFormat CharFormatOf(const TRtfCharFormat& f) { return vantrel::qt::CharFormat(f); }

// Plain text, and text that has no look of its own, takes the edit's font.
TRtfCharFormat FontFormat(const TFont& font) {
  TRtfCharFormat f;
  f.FontName = font.Name();
  f.HalfPoints = font.Size() * 2;
  f.Style = font.Style();
  return f;
}

void UseFontForNewText(QTextDocument& document, const TFont& font) {
  QTextCursor(&document).setBlockCharFormat(CharFormatOf(FontFormat(font)));
}

}  // namespace

struct TCustomRichEdit::Impl {
  QTextDocument document;
  // Set while the edit itself replaces the content: no OnChange, no Modified.
  bool loading = false;
  // The content laid out for range formatting, made on first use after a change.
  std::shared_ptr<TRichTextLayout> layout;
  // Set while a change asked for by the edit has been allowed by OnProtectChange.
  bool protectAllowed = false;
  // The bytes last loaded, while the content is still what they gave.
  std::optional<std::string> loaded;
};

// ---- The content -------------------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner),
      impl_(std::make_unique<Impl>()),
      lines_(std::make_unique<TRichEditStrings>(this)),
      selAttributes_(std::make_unique<TTextAttributes>(this, atSelected)),
      defAttributes_(std::make_unique<TTextAttributes>(this, atDefaultText)),
      paragraph_(std::make_unique<TParaAttributes>(this)) {
  impl_->document.setDocumentMargin(1);
  // What a new, empty edit types in: its own font.
  UseFontForNewText(impl_->document, *Font());
}

TCustomRichEdit::~TCustomRichEdit() { ReleaseDocument(); }

// The window lets go of the document before either goes. Its signals are cut
// first: the empty document it takes instead is no change of the text.
void TCustomRichEdit::ReleaseDocument() {
  QTextEdit* editor = vantrel::qt::RichEditorOf(*this);
  if (!editor) return;
  QObject::disconnect(editor, nullptr, nullptr, nullptr);
  editor->setDocument(nullptr);
}

namespace {

// A cursor on the edit's selection, with or without a window.
QTextCursor SelectionCursor(const TCustomRichEdit& edit, QTextDocument& document) {
  if (QTextEdit* editor = vantrel::qt::RichEditorOf(edit)) return editor->textCursor();
  const QString text = document.toPlainText();
  QTextCursor c(&document);
  c.setPosition(vantrel::qt::NativeFromOurs(text, edit.SelStart(), true));
  c.setPosition(vantrel::qt::NativeFromOurs(text, edit.SelStart() + edit.SelLength(), true),
                QTextCursor::KeepAnchor);
  return c;
}

}  // namespace

void TCustomRichEdit::CreateWnd() {
  TCustomMemo::CreateWnd();
  QTextEdit* editor = vantrel::qt::RichEditorOf(*this);
  if (!editor) return;
  const int start = SelStart(), end = start + SelLength();
  const bool modified = Modified();
  impl_->loading = true;
  editor->setDocument(&impl_->document);
  impl_->loading = false;
  SetModified(modified);
  SetSelection(start, end);
  QObject::connect(editor, &QTextEdit::selectionChanged, editor, [this] { SelectionChange(); });
  QObject::connect(editor, &QTextEdit::cursorPositionChanged, editor, [this] { SelectionChange(); });
}

void TCustomRichEdit::Change() {
  impl_->layout.reset();
  if (impl_->loading) return;
  impl_->loaded.reset();
  TCustomMemo::Change();
}

void TCustomRichEdit::FormatChanged() {
  if (impl_->loading) return;
  SetModified(true);
  Change();
}

void TCustomRichEdit::SelectionChange() {
  if (OnSelectionChange && !impl_->loading) OnSelectionChange(this);
}

TRtfDocument TCustomRichEdit::Document() const {
  return vantrel::qt::ReadTextDocument(impl_->document, kScreenPpi);
}

void TCustomRichEdit::SetDocument(const TRtfDocument& document) {
  impl_->loaded.reset();
  impl_->loading = true;
  vantrel::qt::FillTextDocument(
      impl_->document,
      plainText_ ? PlainTextDocument(document.PlainText(), FontFormat(*Font())) : document,
      kScreenPpi);
  if (document.Paragraphs.empty()) UseFontForNewText(impl_->document, *Font());
  // Without a window no editor tells the edit core that the text changed.
  const std::string text = vantrel::qt::FromNativeText(impl_->document.toPlainText(), true);
  if (Text() != text) SetText(text);
  impl_->loading = false;
  impl_->layout.reset();
  SetModified(false);
  SetSelection(0, 0);
  TCustomMemo::Change();
}

void TCustomRichEdit::LoadContent(const std::string& bytes) {
  if (IsRtfText(bytes)) SetDocument(RtfRead(bytes));
  else SetDocument(PlainTextDocument(MemoTextBody(bytes), FontFormat(*Font())));
  impl_->loaded = bytes;
}

std::string TCustomRichEdit::SaveContent() const {
  if (impl_->loaded && !Modified()) return *impl_->loaded;
  if (plainText_) return Text();
  return RtfWrite(Document());
}

void TCustomRichEdit::SetPlainText(bool value) {
  if (plainText_ == value) return;
  plainText_ = value;
  // The text stays; going plain drops its formatting from the view, not
  // from what an untouched text saves.
  if (value) {
    const bool modified = Modified();
    std::optional<std::string> loaded = impl_->loaded;
    SetDocument(Document());
    impl_->loaded = std::move(loaded);
    SetModified(modified);
  }
}

void TCustomRichEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
      // Text set without a window (SetText, Lines) replaces the document's too.
      if (!vantrel::qt::RichEditorOf(*this) && !impl_->loading) {
        const QString text = vantrel::qt::ToNativeText(Text(), true);
        if (impl_->document.toPlainText() != text) impl_->document.setPlainText(text);
      }
      break;
    case CM_FONTCHANGED:
      if (impl_->document.isEmpty()) UseFontForNewText(impl_->document, *Font());
      break;
    case WM_COPY:
    case WM_CUT:
      CopySelection(m.Msg == WM_CUT);
      return;
    case WM_PASTE:
      Paste();
      return;
    case EM_FORMATRANGE:
      if (m.LParam == 0) impl_->layout.reset();
      else m.Result = FormatRange(*reinterpret_cast<TFormatRange*>(m.LParam), m.WParam != 0);
      return;
  }
  TCustomMemo::Dispatch(m);
}

// ---- Protection --------------------------------------------------------------------

namespace {

// Whether any character in [start, end) of the document (native positions)
// is protected; a bare caret asks about the character before it.
bool TouchesProtected(QTextDocument& document, int start, int end) {
  if (start == end) {
    QTextCursor c(&document);
    c.setPosition(start);
    return vantrel::qt::FromCharFormat(c.charFormat()).Protected;
  }
  for (int at = start; at < end; ++at) {
    QTextCursor c(&document);
    c.setPosition(at + 1);
    if (vantrel::qt::FromCharFormat(c.charFormat()).Protected) return true;
  }
  return false;
}

}  // namespace

// A change of protected text goes ahead only when OnProtectChange allows it.
bool TCustomRichEdit::AllowChange(int start, int end) {
  const QTextCursor c = SelectionCursor(*this, impl_->document);
  const int a = std::min({c.selectionStart(), start}), b = std::max({c.selectionEnd(), end});
  if (!TouchesProtected(impl_->document, a, b)) return true;
  bool allow = false;
  const QString text = impl_->document.toPlainText();
  if (OnProtectChange)
    OnProtectChange(this, vantrel::qt::OursFromNative(text, a, true),
                    vantrel::qt::OursFromNative(text, b, true), allow);
  return allow;
}

void TCustomRichEdit::KeyPress(char32_t& key) {
  TCustomMemo::KeyPress(key);
  if (key == 0 || ReadOnly() || key == U'\b') return;
  const QTextCursor c = SelectionCursor(*this, impl_->document);
  if (!AllowChange(c.selectionStart(), c.selectionEnd())) key = 0;
}

void TCustomRichEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomMemo::KeyDown(key, shift);
  if (key == VK_RETURN && shift.Empty() && !ReadOnly() && EndListAtEmptyItem()) key = 0;
  if ((key != VK_BACK && key != VK_DELETE) || ReadOnly()) return;
  const QTextCursor c = SelectionCursor(*this, impl_->document);
  int a = c.selectionStart(), b = c.selectionEnd();
  // Without a selection the key takes the character beside the caret.
  if (a == b && key == VK_BACK) a = std::max(0, a - 1);
  if (a == b && key == VK_DELETE) b = std::min(impl_->document.characterCount() - 1, b + 1);
  if (a != b && !AllowChange(a, b)) key = 0;
}

// Enter on an empty bullet item ends the list there, as the bullet button
// does: the paragraph keeps its character format, so what is typed next is
// in the list's font (the text control's own way leaves it none).
bool TCustomRichEdit::EndListAtEmptyItem() {
  const QTextCursor c = SelectionCursor(*this, impl_->document);
  if (c.hasSelection() || !c.currentList() || c.block().length() != 1) return false;
  paragraph_->SetNumbering(nsNone);
  return true;
}

// ---- Clipboard ---------------------------------------------------------------------

void TCustomRichEdit::CopySelection(bool cut) {
  QTextCursor c = SelectionCursor(*this, impl_->document);
  if (!c.hasSelection()) return;
  if (cut && (ReadOnly() || !AllowChange(c.selectionStart(), c.selectionEnd()))) return;
  QTextDocument part;
  part.setHtml(QString());
  QTextCursor(&part).insertFragment(c.selection());
  auto* mime = new QMimeData;
  mime->setText(ToQString(SelText()).replace(QChar::ParagraphSeparator, u'\n'));
  mime->setData(kRtfMime, QByteArray::fromStdString(
                              RtfWrite(vantrel::qt::ReadTextDocument(part, kScreenPpi))));
  QApplication::clipboard()->setMimeData(mime);
  if (cut) c.removeSelectedText();
}

void TCustomRichEdit::Paste() {
  if (ReadOnly()) return;
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  if (!mime || !(mime->hasText() || mime->hasFormat(kRtfMime))) return;
  QTextCursor c = SelectionCursor(*this, impl_->document);
  if (!AllowChange(c.selectionStart(), c.selectionEnd())) return;
  TRtfDocument pasted = mime->hasFormat(kRtfMime) && !plainText_
                            ? RtfRead(mime->data(kRtfMime).toStdString())
                            : PlainTextDocument(FromQString(mime->text()), vantrel::qt::FromCharFormat(c.charFormat()));
  if (MaxLength() > 0) {
    // What the limit leaves room for, cut at whole characters.
    const int room = MaxLength() - (GetTextLen() - SelLength());
    const std::string all = pasted.PlainText();
    if (room <= 0) return;
    if (int(Utf8Length(all)) > room) pasted = PlainTextDocument(Utf8Copy(all, 1, room), vantrel::qt::FromCharFormat(c.charFormat()));
  }
  QTextDocument part;
  vantrel::qt::FillTextDocument(part, pasted, kScreenPpi);
  c.insertFragment(QTextDocumentFragment(&part));
  if (QTextEdit* editor = vantrel::qt::RichEditorOf(*this)) editor->setTextCursor(c);
}

// ---- Search and measures -------------------------------------------------------------

namespace {

bool IsWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c); }

std::u32string CodePoints(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) out += Utf8Decode(s, i);
  return out;
}

}  // namespace

int TCustomRichEdit::FindText(const std::string& text, int start, int length,
                              TSearchTypes options) const {
  const std::u32string hay = CodePoints(Text()), needle = CodePoints(text);
  const bool matchCase = options.Contains(stMatchCase);
  auto same = [&](char32_t a, char32_t b) {
    return matchCase ? a == b : UnicodeFold(a) == UnicodeFold(b);
  };
  const int size = int(hay.size());
  start = std::clamp(start, 0, size);
  const int end = length < 0 ? size : std::min(size, start + length);
  if (needle.empty()) return -1;
  for (int at = start; at + int(needle.size()) <= end; ++at) {
    if (!std::equal(needle.begin(), needle.end(), hay.begin() + at, same)) continue;
    const int after = at + int(needle.size());
    if (options.Contains(stWholeWord) &&
        ((at > 0 && IsWordChar(hay[size_t(at) - 1])) || (after < size && IsWordChar(hay[size_t(after)]))))
      continue;
    return at;
  }
  return -1;
}

int TCustomRichEdit::GetTextLen() const { return int(Utf8Length(Text())); }

namespace {

int TwipsToPixels(int twips, int ppi) { return int(std::lround(twips * ppi / kTwipsPerInch)); }

}  // namespace

std::shared_ptr<TRichTextLayout> TCustomRichEdit::RangeLayout() {
  if (!impl_->layout) impl_->layout = std::make_shared<TRichTextLayout>(Document());
  return impl_->layout;
}

int TCustomRichEdit::FormatRange(TFormatRange& range, bool render) {
  if (!range.Canvas) throw EInvalidOperation("Range formatting needs a canvas");
  TRichTextLayout& layout = *RangeLayout();
  const QPaintDevice* device = vantrel::qt::ActivePainter(*range.Canvas).device();
  const int ppiX = device->logicalDpiX(), ppiY = device->logicalDpiY();
  const TRect r{TwipsToPixels(range.Rc.Left, ppiX), TwipsToPixels(range.Rc.Top, ppiY),
                TwipsToPixels(range.Rc.Right, ppiX), TwipsToPixels(range.Rc.Bottom, ppiY)};
  const int first = layout.LayoutPosition(std::max(0, range.Chrg.CpMin));
  const int last = range.Chrg.CpMax < 0 ? -1 : layout.LayoutPosition(range.Chrg.CpMax);
  int used = 0;
  const int next = layout.FormatRange(range.Canvas, r, first, last, render, &used);
  range.UsedHeight = int(std::lround(used * kTwipsPerInch / ppiY));
  return layout.EditPosition(next);
}

void TCustomRichEdit::Print(const std::string& caption) {
  TPrinter* printer = Printer();
  TRichTextLayout layout(Document());
  printer->SetTitle(caption);
  printer->BeginDoc();
  try {
    const TRect page{0, 0, printer->PageWidth(), printer->PageHeight()};
    const int length = layout.TextLength();
    for (int first = 0; first < length;) {
      const int next = layout.FormatRange(printer->Canvas(), page, first, -1, true);
      // A line higher than the page would never fit: stop rather than loop.
      if (next <= first) break;
      first = next;
      if (first < length) printer->NewPage();
    }
  } catch (...) {
    printer->Abort();
    throw;
  }
  printer->EndDoc();
}

// ---- Lines -----------------------------------------------------------------------

TRichEditStrings::TRichEditStrings(TCustomRichEdit* editor) : TMemoStrings(editor), editor_(editor) {}

void TRichEditStrings::LoadFromStream(TStream* stream) {
  const int64_t size = std::max<int64_t>(0, stream->Size() - stream->Position());
  std::string bytes(static_cast<size_t>(size), '\0');
  stream->ReadBuffer(bytes.data(), size);
  editor_->LoadContent(bytes);
}

void TRichEditStrings::SaveToStream(TStream* stream) const {
  const std::string bytes = editor_->SaveContent();
  stream->WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

// ---- Character attributes ------------------------------------------------------------

TTextAttributes::TTextAttributes(TCustomRichEdit* editor, TAttributeType type)
    : editor_(editor), type_(type) {}

namespace {

// The cursor the attributes act on: the selection, or the whole text for the defaults.
QTextCursor AttributeCursor(const TCustomRichEdit& edit, QTextDocument& document, TAttributeType type) {
  if (type == atSelected) return SelectionCursor(edit, document);
  QTextCursor c(&document);
  c.select(QTextCursor::Document);
  return c;
}

// The format of the first character a cursor covers (at a caret: the one typed next).
QTextCharFormat FirstFormat(const QTextCursor& c) {
  if (!c.hasSelection()) return c.charFormat();
  QTextCursor first(c.document());
  first.setPosition(c.selectionStart() + 1);
  return first.charFormat();
}

void ClearProperty(const QTextCursor& selection, int property) {
  QTextCursor c(selection.document());
  c.beginEditBlock();
  for (int at = selection.selectionStart(); at < selection.selectionEnd(); ++at) {
    c.setPosition(at);
    c.setPosition(at + 1, QTextCursor::KeepAnchor);
    QTextCharFormat f = c.charFormat();
    f.clearProperty(property);
    c.setCharFormat(f);
  }
  c.endEditBlock();
}

}  // namespace

TRtfCharFormat TTextAttributes::Get() const {
  QTextCursor c = AttributeCursor(*editor_, editor_->impl_->document, type_);
  if (QTextEdit* e = vantrel::qt::RichEditorOf(*editor_); e && type_ == atSelected && !c.hasSelection())
    return vantrel::qt::ShownCharFormat(e->currentCharFormat(), *c.document());
  return vantrel::qt::ShownCharFormat(FirstFormat(c), *c.document());
}

void TTextAttributes::Change(const std::function<void(TRtfCharFormat&)>& edit,
                             std::initializer_list<int> properties) {
  // Plain text keeps one look for all of its text.
  const TAttributeType type = editor_->PlainText() ? atDefaultText : type_;
  QTextCursor c = AttributeCursor(*editor_, editor_->impl_->document, type);
  QTextEdit* editor = vantrel::qt::RichEditorOf(*editor_);
  TRtfCharFormat changed;
  edit(changed);
  QTextCharFormat q = CharFormatOf(changed);
  // Only the properties asked for: the rest of each run stays as it is.
  QTextCharFormat only;
  for (int p : properties)
    if (q.hasProperty(p)) only.setProperty(p, q.property(p));
  // A property the change leaves unset (the editor's own text colour) is
  // taken off each character; a merge cannot remove it.
  for (int p : properties)
    if (!q.hasProperty(p)) ClearProperty(c, p);
  if (c.hasSelection()) c.mergeCharFormat(only);
  else if (c.document()->isEmpty()) c.mergeBlockCharFormat(only);
  if (editor && !c.hasSelection()) editor->mergeCurrentCharFormat(only);
  else if (editor && type == atDefaultText) editor->mergeCurrentCharFormat(only);
  // Formatted text is changed content (a data-aware edit writes it back);
  // the default look of new text is not.
  if (type == atSelected && c.hasSelection()) editor_->FormatChanged();
}

std::string TTextAttributes::Name() const {
  const std::string name = Get().FontName;
  return name.empty() ? editor_->Font()->Name() : name;
}

void TTextAttributes::SetName(const std::string& value) {
  Change([&](TRtfCharFormat& f) { f.FontName = value; }, {QTextFormat::FontFamilies});
}

int TTextAttributes::Size() const { return int(std::lround(Get().HalfPoints / 2.0)); }

void TTextAttributes::SetSize(int value) {
  if (value <= 0) return;  // a font has a size
  Change([&](TRtfCharFormat& f) { f.HalfPoints = value * 2; }, {QTextFormat::FontPointSize});
}

int TTextAttributes::Height() const { return -MulDiv(Size(), kScreenPpi, 72); }

void TTextAttributes::SetHeight(int value) { SetSize(MulDiv(std::abs(value), 72, kScreenPpi)); }

TFontStyles TTextAttributes::Style() const { return Get().Style; }

void TTextAttributes::SetStyle(TFontStyles value) {
  Change([&](TRtfCharFormat& f) { f.Style = value; },
         {QTextFormat::FontWeight, QTextFormat::FontItalic, QTextFormat::TextUnderlineStyle,
          QTextFormat::FontStrikeOut});
}

TColor TTextAttributes::Color() const {
  const TColor c = Get().Color;
  return c == clDefault ? editor_->Font()->Color() : c;
}

void TTextAttributes::SetColor(TColor value) {
  Change([&](TRtfCharFormat& f) { f.Color = value == clWindowText ? clDefault : value; },
         {QTextFormat::ForegroundBrush});
}

TFontCharset TTextAttributes::Charset() const { return Get().Charset; }

TFontPitch TTextAttributes::Pitch() const { return Get().Pitch; }

bool TTextAttributes::Protected() const { return Get().Protected; }

void TTextAttributes::SetProtected(bool value) {
  Change([&](TRtfCharFormat& f) { f.Protected = value; }, {vantrel::qt::kProtectedProperty});
}

void TTextAttributes::SetCharset(TFontCharset value) {
  Change([&](TRtfCharFormat& f) { f.Charset = value; }, {vantrel::qt::kCharsetProperty});
}

void TTextAttributes::SetPitch(TFontPitch value) {
  Change([&](TRtfCharFormat& f) { f.Pitch = value; }, {vantrel::qt::kPitchProperty});
}

TConsistentAttributes TTextAttributes::ConsistentAttributes() const {
  TConsistentAttributes all{caBold, caColor, caFace, caItalic, caSize, caStrikeOut, caUnderline, caProtected};
  QTextCursor c = AttributeCursor(*editor_, editor_->impl_->document, type_);
  if (!c.hasSelection()) return all;
  const TRtfCharFormat first = vantrel::qt::FromCharFormat(FirstFormat(c));
  QTextCursor at(c.document());
  for (int pos = c.selectionStart() + 1; pos <= c.selectionEnd() && !all.Empty(); ++pos) {
    at.setPosition(pos);
    const TRtfCharFormat f = vantrel::qt::FromCharFormat(at.charFormat());
    if (f.Style.Contains(fsBold) != first.Style.Contains(fsBold)) all.Exclude(caBold);
    if (f.Style.Contains(fsItalic) != first.Style.Contains(fsItalic)) all.Exclude(caItalic);
    if (f.Style.Contains(fsUnderline) != first.Style.Contains(fsUnderline)) all.Exclude(caUnderline);
    if (f.Style.Contains(fsStrikeOut) != first.Style.Contains(fsStrikeOut)) all.Exclude(caStrikeOut);
    if (f.Color != first.Color) all.Exclude(caColor);
    if (f.FontName != first.FontName) all.Exclude(caFace);
    if (f.HalfPoints != first.HalfPoints) all.Exclude(caSize);
    if (f.Protected != first.Protected) all.Exclude(caProtected);
  }
  return all;
}

void TTextAttributes::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    SetName(font->Name());
    SetSize(font->Size());
    SetStyle(font->Style());
    SetColor(font->Color());
    SetCharset(font->Charset());
    SetPitch(font->Pitch());
    return;
  }
  if (auto* other = dynamic_cast<const TTextAttributes*>(source)) {
    TFont font;
    other->AssignTo(&font);
    Assign(&font);
    SetProtected(other->Protected());
    return;
  }
  TPersistent::Assign(source);
}

void TTextAttributes::AssignTo(TPersistent* dest) const {
  if (auto* font = dynamic_cast<TFont*>(dest)) {
    font->SetName(Name());
    font->SetSize(Size());
    font->SetStyle(Style());
    font->SetColor(Color());
    font->SetCharset(Charset());
    font->SetPitch(Pitch());
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---- Paragraph attributes ------------------------------------------------------------

TRtfParaFormat TParaAttributes::Get() const {
  const QTextCursor c = SelectionCursor(*editor_, editor_->impl_->document);
  return vantrel::qt::FromBlock(c.document()->findBlock(c.selectionStart()), kScreenPpi);
}

// Every paragraph the selection touches takes the change; bullets join or
// leave the list of their neighbours.
void TParaAttributes::Change(const std::function<void(TRtfParaFormat&)>& edit) {
  const QTextCursor selection = SelectionCursor(*editor_, editor_->impl_->document);
  QTextDocument* document = selection.document();
  QTextCursor c(document);
  c.beginEditBlock();
  const QTextBlock last = document->findBlock(selection.selectionEnd());
  for (QTextBlock b = document->findBlock(selection.selectionStart()); b.isValid(); b = b.next()) {
    TRtfParaFormat f = vantrel::qt::FromBlock(b, kScreenPpi);
    const bool bullets = f.Bullets;
    edit(f);
    c.setPosition(b.position());
    // Merged, not set: a set format would take the paragraph out of its list.
    c.mergeBlockFormat(vantrel::qt::BlockFormat(f, kScreenPpi));
    if (f.Bullets && !bullets) {
      const QTextBlock previous = b.previous();
      if (previous.isValid() && previous.textList()) previous.textList()->add(b);
      else c.createList(vantrel::qt::BulletList());
    } else if (!f.Bullets && bullets && b.textList()) {
      b.textList()->remove(b);
      // Set whole: a bullet's placement of its text goes with the bullet.
      c.setBlockFormat(vantrel::qt::BlockFormat(f, kScreenPpi));
    }
    if (b == last) break;
  }
  c.endEditBlock();
  editor_->FormatChanged();
}

namespace {

constexpr TAlignment kAlignments[] = {taLeftJustify, taRightJustify, taCenter, taLeftJustify};

int Points(int twips) { return int(std::lround(twips / double(kTwipsPerPoint))); }

}  // namespace

TAlignment TParaAttributes::Alignment() const { return kAlignments[int(Get().Alignment)]; }

void TParaAttributes::SetAlignment(TAlignment value) {
  const TRtfAlignment a = value == taRightJustify ? TRtfAlignment::Right
                          : value == taCenter     ? TRtfAlignment::Center
                                                  : TRtfAlignment::Left;
  Change([&](TRtfParaFormat& f) { f.Alignment = a; });
}

int TParaAttributes::FirstIndent() const { return Points(Get().FirstIndent); }
void TParaAttributes::SetFirstIndent(int value) {
  Change([&](TRtfParaFormat& f) { f.FirstIndent = value * kTwipsPerPoint; });
}
int TParaAttributes::LeftIndent() const { return Points(Get().LeftIndent); }
void TParaAttributes::SetLeftIndent(int value) {
  Change([&](TRtfParaFormat& f) { f.LeftIndent = value * kTwipsPerPoint; });
}
int TParaAttributes::RightIndent() const { return Points(Get().RightIndent); }
void TParaAttributes::SetRightIndent(int value) {
  Change([&](TRtfParaFormat& f) { f.RightIndent = value * kTwipsPerPoint; });
}

TNumberingStyle TParaAttributes::Numbering() const { return Get().Bullets ? nsBullet : nsNone; }
void TParaAttributes::SetNumbering(TNumberingStyle value) {
  Change([&](TRtfParaFormat& f) { f.Bullets = value == nsBullet; });
}

int TParaAttributes::Tab(int index) const {
  const std::vector<int> tabs = Get().TabStops;
  if (index < 0 || index >= int(tabs.size())) return 0;
  return Points(tabs[size_t(index)]);
}

void TParaAttributes::SetTab(int index, int value) {
  if (index < 0 || index >= MaxTabStops) throw EInvalidOperation("Tab stop index out of range");
  Change([&](TRtfParaFormat& f) {
    // Stops between the last one and `index` follow every half inch.
    while (int(f.TabStops.size()) <= index)
      f.TabStops.push_back((f.TabStops.empty() ? 0 : f.TabStops.back()) + 720);
    f.TabStops[size_t(index)] = value * kTwipsPerPoint;
  });
}

int TParaAttributes::TabCount() const { return int(Get().TabStops.size()); }

void TParaAttributes::SetTabCount(int value) {
  value = std::clamp(value, 0, MaxTabStops);
  Change([&](TRtfParaFormat& f) {
    while (int(f.TabStops.size()) < value)
      f.TabStops.push_back((f.TabStops.empty() ? 0 : f.TabStops.back()) + 720);
    f.TabStops.resize(size_t(value));
  });
}

void TParaAttributes::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TParaAttributes*>(source);
  if (!other) return TPersistent::Assign(source);
  const TRtfParaFormat from = other->Get();
  Change([&](TRtfParaFormat& f) { f = from; });
}

// ---- Published ---------------------------------------------------------------------

PUBLISHED(TCustomRichEdit) {
  PROP_BOOL(PlainText, PlainText, SetPlainText, false);
  PROP_EVENT(OnSelectionChange);
}
