#pragma once
// The rich edit: the memo that shows and keeps formatted text. Its content is
// rich text (rtf.h) in the window; Lines load and save it as RTF or, in
// plain-text mode, as text. Positions count as the memo's do (a paragraph
// break "\r\n" counts two).

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/classlib/richedit/rtf.h"
#include "platform/classlib/stdctrls/edits.h"

class TCustomRichEdit;
class TRichTextLayout;

DECLARE_ENUM(TAttributeType, atSelected, atDefaultText)
DECLARE_ENUM(TConsistentAttribute, caBold, caColor, caFace, caItalic, caSize, caStrikeOut,
             caUnderline, caProtected)
using TConsistentAttributes = TSet<TConsistentAttribute>;

// The character attributes of the selection (atSelected: setting one changes
// the selected text, or what is typed next at a bare caret) or the editor's
// defaults (atDefaultText: the font of text that has none of its own).
class TTextAttributes : public TPersistent {
  DECLARE_CLASS(TTextAttributes, TPersistent)
 public:
  TTextAttributes(TCustomRichEdit* editor, TAttributeType type);

  std::string Name() const;
  void SetName(const std::string& value);
  int Size() const;  // points
  void SetSize(int value);
  // Pixels at the screen's resolution, as the font's Height (negative: the
  // character height without leading).
  int Height() const;
  void SetHeight(int value);
  TFontStyles Style() const;
  void SetStyle(TFontStyles value);
  TColor Color() const;  // clWindowText where the text has no colour of its own
  void SetColor(TColor value);
  TFontCharset Charset() const;
  void SetCharset(TFontCharset value);
  TFontPitch Pitch() const;
  void SetPitch(TFontPitch value);
  bool Protected() const;
  void SetProtected(bool value);
  // Which attributes are the same all over the selection.
  TConsistentAttributes ConsistentAttributes() const;

  // Takes a font's or another attribute set's name, size, style, colour,
  // charset and pitch.
  void Assign(const TPersistent* source) override;
  void AssignTo(TPersistent* dest) const override;

 private:
  TRtfCharFormat Get() const;
  // Sets the format properties `properties` of the attributes `edit` changes.
  void Change(const std::function<void(TRtfCharFormat&)>& edit, std::initializer_list<int> properties);
  TCustomRichEdit* editor_;
  TAttributeType type_;
};

DECLARE_ENUM(TNumberingStyle, nsNone, nsBullet)

// The paragraph attributes of the paragraphs the selection touches (read
// from the first). Indents are points, as the class library keeps them.
class TParaAttributes : public TPersistent {
  DECLARE_CLASS(TParaAttributes, TPersistent)
 public:
  // A paragraph holds at most this many tab stops, as the window's format does.
  static constexpr int MaxTabStops = 32;

  explicit TParaAttributes(TCustomRichEdit* editor) : editor_(editor) {}

  TAlignment Alignment() const;
  void SetAlignment(TAlignment value);
  int FirstIndent() const;
  void SetFirstIndent(int value);
  int LeftIndent() const;
  void SetLeftIndent(int value);
  int RightIndent() const;
  void SetRightIndent(int value);
  TNumberingStyle Numbering() const;
  void SetNumbering(TNumberingStyle value);
  // Tab stops in points; TabCount cuts the list or extends it with stops
  // every half inch after the last.
  int Tab(int index) const;
  void SetTab(int index, int value);
  int TabCount() const;
  void SetTabCount(int value);

  void Assign(const TPersistent* source) override;

 private:
  TRtfParaFormat Get() const;
  void Change(const std::function<void(TRtfParaFormat&)>& edit);
  TCustomRichEdit* editor_;
};

// Lines of a rich edit: loading and saving go through RTF (or plain text).
class TRichEditStrings : public TMemoStrings {
 public:
  explicit TRichEditStrings(TCustomRichEdit* editor);
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) const override;

 private:
  TCustomRichEdit* editor_;
};

DECLARE_ENUM(TSearchType, stWholeWord, stMatchCase)
using TSearchTypes = TSet<TSearchType>;

// Range formatting on a device (EM_FORMATRANGE: WParam nonzero renders,
// zero measures; LParam a TFormatRange*, or 0 to drop what was laid out).
// The rectangle is in twips of the canvas's device; the range in positions,
// CpMax -1 meaning the end. The result is the first character that did not fit.
constexpr UINT EM_FORMATRANGE = 0x0439;
struct TCharRange {
  int CpMin = 0, CpMax = -1;
};
struct TFormatRange {
  TCanvas* Canvas = nullptr;
  TRect Rc;      // twips, where the text goes
  TRect RcPage;  // twips, the page (kept for the caller; layout uses Rc)
  TCharRange Chrg;
  int UsedHeight = 0;  // set by the call: twips of the lines that fit
};

using TRichEditProtectChange =
    std::function<void(TObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;

class TCustomRichEdit : public TCustomMemo {
  DECLARE_CLASS(TCustomRichEdit, TCustomMemo)
 public:
  explicit TCustomRichEdit(TComponent* AOwner);
  ~TCustomRichEdit() override;

  TStrings* Lines() const { return lines_.get(); }
  void SetLines(const TStrings* value) { lines_->Assign(value); }

  // Plain-text mode: the text shows without formatting, and loading and
  // saving read and write text.
  bool PlainText() const { return plainText_; }
  void SetPlainText(bool value);

  TTextAttributes* SelAttributes() const { return selAttributes_.get(); }
  void SetSelAttributes(const TTextAttributes* value) { selAttributes_->Assign(value); }
  TTextAttributes* DefAttributes() const { return defAttributes_.get(); }
  void SetDefAttributes(const TTextAttributes* value) { defAttributes_->Assign(value); }
  TParaAttributes* Paragraph() const { return paragraph_.get(); }

  // The whole content, and setting it (the window's undo history is kept).
  TRtfDocument Document() const;
  void SetDocument(const TRtfDocument& document);

  // The first position from `start` on where `text` stands within `length`
  // characters (-1: to the end), or -1.
  int FindText(const std::string& text, int start, int length, TSearchTypes options) const;
  int GetTextLen() const;

  // Prints the content through the printer, one document named `caption`,
  // page after page.
  void Print(const std::string& caption);
  // Lays out the range on the device in the rectangle (twips) and returns
  // the first character that did not fit; draws it when `render`.
  int FormatRange(TFormatRange& range, bool render);
  // The content as range formatting lays it out (made on first use after a
  // change). Shared, so that what measured ranges of this content can draw
  // them later from the same layout, after the edit has moved on to another.
  std::shared_ptr<TRichTextLayout> RangeLayout();

  TNotifyEvent OnSelectionChange;
  TRichEditProtectChange OnProtectChange;

  void Dispatch(TMessage& message) override;

 protected:
  bool RichEditorWindow() const override { return true; }
  void CreateWnd() override;
  void Change() override;
  virtual void SelectionChange();
  // A change of the text's formatting: the content changed as typing changes it.
  void FormatChanged();
  void KeyPress(char32_t& Key) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  // Puts text or RTF bytes in as loading does ("{\rtf" reads as RTF), and
  // the content as saving writes it: until the content changes, exactly the
  // bytes loaded, so what the editor cannot show (control characters, a
  // byte-order mark, markup it skips) survives a save of an untouched text.
  void LoadContent(const std::string& bytes);
  std::string SaveContent() const;

 private:
  friend class TTextAttributes;
  friend class TParaAttributes;
  friend class TRichEditStrings;
  struct Impl;
  void ReleaseDocument();
  bool AllowChange(int start, int end);
  bool EndListAtEmptyItem();
  void CopySelection(bool cut);
  void Paste();

  std::unique_ptr<Impl> impl_;
  std::unique_ptr<TRichEditStrings> lines_;
  std::unique_ptr<TTextAttributes> selAttributes_, defAttributes_;
  std::unique_ptr<TParaAttributes> paragraph_;
  bool plainText_ = false;
};

class TRichEdit : public TCustomRichEdit {
  DECLARE_CLASS(TRichEdit, TCustomRichEdit)
 public:
  explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
};
