#pragma once
// The edit core every edit of the system descends from (the grid's in-place
// editor, masked and button edits, lookup combos), and the plain edit and
// memo. The window is a native line or text editor, so users get the
// desktop's keyboard, focus and input methods; the edit's state (limits,
// case, password, read-only, margins) lives here and is given to every new
// window, so re-creating the window after a style change keeps it.
//
// Positions count characters (code points); a memo's line break is "\r\n"
// and counts two, as the class library's edit messages count it.

#include <memory>
#include <string>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/core/strings.h"

// The edit's window styles (TCreateParams::Style) that descendants set in
// FillCreateParams, and the edit messages the system sends.
constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_MULTILINE = 0x4,
                ES_UPPERCASE = 0x8, ES_LOWERCASE = 0x10, ES_PASSWORD = 0x20,
                ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80, ES_NOHIDESEL = 0x100,
                ES_READONLY = 0x800, ES_WANTRETURN = 0x1000;
// EM_GETSEL: WParam/LParam int* start and end (may be null), result start |
// end << 16. EM_SETSEL: start, end (-1 end: to the end; start -1: no
// selection). EM_GETRECT/EM_SETRECT/EM_SETRECTNP: LParam a TRect* (client
// coordinates; EM_SETRECT with LParam 0 goes back to the whole client area).
// EM_REPLACESEL: LParam a const std::string*. EM_SETPASSWORDCHAR: WParam the
// character (0: none). EM_LIMITTEXT: WParam the limit (0: none).
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SETRECT = 0x00B3,
               EM_SETRECTNP = 0x00B4, EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8,
               EM_SETMODIFY = 0x00B9, EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB,
               EM_LINELENGTH = 0x00C1, EM_REPLACESEL = 0x00C2, EM_LIMITTEXT = 0x00C5,
               EM_CANUNDO = 0x00C6, EM_UNDO = 0x00C7, EM_LINEFROMCHAR = 0x00C9,
               EM_SETPASSWORDCHAR = 0x00CC, EM_EMPTYUNDOBUFFER = 0x00CD,
               EM_SETREADONLY = 0x00CF, EM_GETPASSWORDCHAR = 0x00D2, WM_UNDO = 0x0304;

DECLARE_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase)
DECLARE_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth)

class TCustomEdit : public TWinControl {
  DECLARE_CLASS(TCustomEdit, TWinControl)
 public:
  explicit TCustomEdit(TComponent* AOwner);
  ~TCustomEdit() override;

  // The selection; SelLength 0 is the caret alone.
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const;
  void SetSelLength(int value);
  std::string SelText() const;
  // Replaces the selection as typing does (undoable, marks the text modified).
  void SetSelText(const std::string& value);
  void SelectAll();
  void ClearSelection();

  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase value);
  char32_t PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char32_t value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // A single-line bordered edit takes the height its font needs (the text
  // height and four pixels above and below for border and margin).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);

  void CutToClipboard() { Perform(WM_CUT); }
  void CopyToClipboard() { Perform(WM_COPY); }
  void PasteFromClipboard() { Perform(WM_PASTE); }
  void Undo() { Perform(WM_UNDO); }
  bool CanUndo() const;
  void ClearUndo();

  // Hides the caret while the count of hides is above the shows.
  void HideCaret();
  void ShowCaret();
  bool CaretVisible() const { return caretHides_ == 0; }

  // The formatting rectangle: where text is laid out inside the client area.
  TRect EditRect() const;

  // The native editor, for the library's tests and backends (nullptr
  // without a window).
  struct Native;
  Native* NativeEditor() const { return native_.get(); }

  TNotifyEvent OnChange;

  void Dispatch(TMessage& message) override;

 protected:
  void FillCreateParams(TCreateParams& params) override;
  void Loaded() override;
  void CreateWnd() override;
  void DestroyWnd() override;
  // Below the caret.
  TPoint KeyboardPopupPoint() const override;
  // The edit menu (Undo, Cut, Copy, Paste, Delete, Select All).
  bool ShowOwnContextMenu(TPoint screenPos) override;
  // Runs OnChange; called after every change of the text, typed or set.
  virtual void Change();
  // OnKeyPress has the key first, once; what it lets through goes to TypeKey.
  void KeyPress(char32_t& Key) override;
  // What the edit makes of a character that OnKeyPress let through (the
  // length limit, the case); 0 in Key drops it. A descendant that acts on
  // keys overrides this rather than KeyPress, so that OnKeyPress still has
  // every key before any of its steps, and passes on what it leaves.
  virtual void TypeKey(char32_t& Key);
  // A descendant that draws the face itself (a right-aligned field shown
  // while unfocused) paints on `canvas` (the client area) and returns true;
  // false lets the native editor paint.
  virtual bool PaintSelf(TCanvas* canvas) {
    (void)canvas;
    return false;
  }
  // Multi-line descendants (the memo) say so; a descendant may also set
  // ES_MULTILINE in FillCreateParams.
  // A multi-line descendant that shows formatted text (the rich edit) says
  // so: its window is then a rich text editor.
  virtual bool RichEditorWindow() const { return false; }
  bool MultiLineDefault() const { return multiLineDefault_; }
  void SetMultiLineDefault(bool value) { multiLineDefault_ = value; }
  bool WordWrapStyle() const { return wordWrap_; }
  void SetWordWrapStyle(bool value);
  bool WantReturnsStyle() const { return wantReturns_; }
  void SetWantReturnsStyle(bool value);
  bool WantTabsStyle() const { return wantTabs_; }
  void SetWantTabsStyle(bool value) { wantTabs_ = value; }
  TScrollStyle ScrollBarsStyle() const { return scrollBars_; }
  void SetScrollBarsStyle(TScrollStyle value);
  // The multi-line mode of the window in use (of the styles when there is none).
  bool IsMultiLine() const;
  // Input methods compose text past the key events; a descendant that must
  // see every character (the mask edit) turns them off.
  void SetInputMethods(bool enabled);
  bool InputMethods() const { return inputMethods_; }
  // The text typing would give, for descendants that check it first.
  std::string TextWithSelectionReplaced(const std::string& typed) const;
  // The selection's ends (start <= end) and the caret, code points.
  void SelStartEnd(int& start, int& end) const;
  int CaretPosition() const;
  // Sets the selection, the caret at `end`; clamped to the text.
  void SetSelection(int start, int end);

 private:
  friend struct EditAccess;
  void ChangeStyle();  // re-creates the window, keeping text and selection
  void ForgetNative();
  void AdjustHeight();
  // The password character as form definitions store it (one byte).
  char PasswordCharByte() const { return passwordChar_ < 0x80 ? char(passwordChar_) : '\0'; }
  void SetPasswordCharByte(char value) { SetPasswordChar(char32_t(static_cast<unsigned char>(value))); }
  void TextFromNative();
  void PushTextToNative();
  void ShowFocus(bool focused);
  void HandleClipboard(TMessage& m);
  bool HandleEditMessage(TMessage& m);
  bool HandleClipboardKey(WORD key, TShiftState shift);

  std::unique_ptr<Native> native_;
  int maxLength_ = 0;
  bool modified_ = false;
  bool readOnly_ = false;
  bool autoSelect_ = true;
  TEditCharCase charCase_ = ecNormal;
  char32_t passwordChar_ = 0;
  bool hideSelection_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  bool autoSize_ = true;
  bool inputMethods_ = true;
  bool multiLineDefault_ = false;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  TScrollStyle scrollBars_ = ssNone;
  TRect formatRect_;      // empty: the whole client area
  bool formatRectSet_ = false;
  int caretHides_ = 0;
  int selStart_ = 0, selEnd_ = 0;  // kept while there is no window
  bool pushing_ = false;           // the text is being given to the window
  bool fromNative_ = false;        // the text comes from typing in the window
};

class TEdit : public TCustomEdit {
  DECLARE_CLASS(TEdit, TCustomEdit)
 public:
  explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

// The memo's Lines edit its text: every change goes through the window's text.
class TCustomMemo;
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;

 protected:
  std::string Get(int index) const override;
  int GetCount() const override;
  void Put(int index, const std::string& s) override;
  std::string GetTextStr() const override;
  void SetTextStr(const std::string& text) override;

 private:
  std::vector<std::string> Split() const;
  void Join(const std::vector<std::string>& lines);
  TCustomMemo* memo_;
};

class TCustomMemo : public TCustomEdit {
  DECLARE_CLASS(TCustomMemo, TCustomEdit)
 public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  TStrings* Lines() const { return lines_.get(); }
  void SetLines(const TStrings* value) { lines_->Assign(value); }
  bool WordWrap() const { return WordWrapStyle(); }
  void SetWordWrap(bool value) { SetWordWrapStyle(value); }
  TScrollStyle ScrollBars() const { return ScrollBarsStyle(); }
  void SetScrollBars(TScrollStyle value) { SetScrollBarsStyle(value); }
  bool WantReturns() const { return WantReturnsStyle(); }
  void SetWantReturns(bool value) { SetWantReturnsStyle(value); }
  bool WantTabs() const { return WantTabsStyle(); }
  void SetWantTabs(bool value) { SetWantTabsStyle(value); }

  // The caret as column (X) and line (Y), counted from 0.
  TPoint CaretPos() const;
  // The line holding a character position (-1: the caret's line), and the
  // position where a line starts (-1 for a line that does not exist).
  int LineFromChar(int pos) const;
  int LineIndex(int line) const;

 private:
  std::unique_ptr<TMemoStrings> lines_;
};

class TMemo : public TCustomMemo {
  DECLARE_CLASS(TMemo, TCustomMemo)
 public:
  explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};
