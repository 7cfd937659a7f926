#include "platform/classlib/stdctrls/maskedit.h"

#include <QChar>

#include <algorithm>

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/win32/msgbox.h"

IMPLEMENT_CLASS(TCustomMaskEdit, TCustomEdit)
IMPLEMENT_CLASS(TMaskEdit, TCustomMaskEdit)

namespace {

std::vector<char32_t> CodePoints(const std::string& s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) out.push_back(Utf8Decode(s, i));
  return out;
}

std::string FromCodePoints(const std::vector<char32_t>& cps) {
  std::string out;
  for (char32_t c : cps) Utf8Append(out, c);
  return out;
}

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsLetter(char32_t c) { return QChar::isLetter(c); }

// The mask part and the two fields after it; "\;" stays in the mask part.
std::vector<std::vector<char32_t>> SplitFields(const std::vector<char32_t>& all) {
  std::vector<std::vector<char32_t>> fields(1);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == U'\\' && i + 1 < all.size() && fields.size() == 1) {
      fields.back().push_back(all[i]);
      fields.back().push_back(all[++i]);
    } else if (all[i] == U';') {
      fields.emplace_back();
    } else {
      fields.back().push_back(all[i]);
    }
  }
  return fields;
}

}  // namespace

bool TMaskPosition::Accepts(char32_t c) const {
  if (c == U' ') return !Required();
  switch (kind) {
    case U'L': case U'l': return IsLetter(c);
    case U'A': case U'a': return IsLetter(c) || IsDigit(c);
    case U'C': case U'c': return c >= 32;
    case U'0': case U'9': return IsDigit(c);
    case U'#': return IsDigit(c) || c == U'+' || c == U'-';
    default: return false;
  }
}

char32_t TMaskPosition::Cased(char32_t c) const {
  if (charCase > 0) return UnicodeUpper(c);
  if (charCase < 0) return UnicodeLower(c);
  return c;
}

TParsedMask ParseEditMask(const std::string& editMask) {
  TParsedMask mask;
  const auto fields = SplitFields(CodePoints(editMask));
  if (fields.size() > 1 && !fields[1].empty()) mask.saveLiterals = fields[1][0] != U'0';
  if (fields.size() > 2 && !fields[2].empty()) mask.blank = fields[2][0];
  const std::vector<char32_t>& m = fields[0];
  int charCase = 0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    const char32_t c = m[i];
    TMaskPosition p;
    switch (c) {
      case U'!': mask.reverse = true; continue;
      case U'>':
        if (i + 1 < m.size() && m[i + 1] == U'<') {
          charCase = 0;  // "<>": as typed
          ++i;
        } else {
          charCase = 1;
        }
        continue;
      case U'<': charCase = -1; continue;
      case U'\\':
        if (++i < m.size()) p.literal = m[i];
        else continue;
        break;
      case U'L': case U'l': case U'A': case U'a': case U'C': case U'c':
      case U'0': case U'9': case U'#':
        p.kind = c;
        p.charCase = charCase;
        break;
      case U':': p.literal = char32_t(FormatSettings.TimeSeparator); break;
      case U'/': p.literal = char32_t(FormatSettings.DateSeparator); break;
      case U'_': p.literal = U' '; break;
      default: p.literal = c;
    }
    mask.positions.push_back(p);
  }
  return mask;
}

std::string ApplyEditMask(const TParsedMask& mask, const std::string& value, char32_t blank) {
  const std::vector<char32_t> v = CodePoints(value);
  const auto& pos = mask.positions;
  std::vector<char32_t> out(pos.size(), blank);
  auto put = [&](std::size_t i, char32_t c) {
    out[i] = c == U' ' || c == mask.blank || !pos[i].Accepts(pos[i].Cased(c)) ? blank
                                                                                 : pos[i].Cased(c);
  };
  if (mask.saveLiterals) {
    // The value holds the literals: matched where they stand, supplied where not.
    std::size_t j = 0;
    for (std::size_t i = 0; i < pos.size(); ++i) {
      if (pos[i].IsLiteral()) {
        out[i] = pos[i].literal;
        if (j < v.size() && v[j] == pos[i].literal) ++j;
      } else if (j < v.size()) {
        put(i, v[j++]);
      }
    }
    return FromCodePoints(out);
  }
  std::vector<std::size_t> inputs;
  for (std::size_t i = 0; i < pos.size(); ++i) {
    if (pos[i].IsLiteral()) out[i] = pos[i].literal;
    else inputs.push_back(i);
  }
  // "!": a short value stands at the right, its blanks in front.
  const std::size_t n = std::min(v.size(), inputs.size());
  const std::size_t skip = mask.reverse ? inputs.size() - n : 0;
  for (std::size_t k = 0; k < n; ++k) put(inputs[skip + k], v[mask.reverse ? v.size() - n + k : k]);
  return FromCodePoints(out);
}

std::string UnmaskedText(const TParsedMask& mask, const std::string& editText,
                         bool withLiterals) {
  const std::vector<char32_t> shown = CodePoints(editText);
  std::vector<char32_t> out;
  bool entered = false;
  for (std::size_t i = 0; i < mask.positions.size() && i < shown.size(); ++i) {
    if (mask.positions[i].IsLiteral()) {
      if (withLiterals) out.push_back(shown[i]);
      continue;
    }
    const bool blank = shown[i] == mask.blank || shown[i] == U' ';
    entered = entered || !blank;
    out.push_back(blank ? U' ' : shown[i]);
  }
  return entered ? FromCodePoints(out) : std::string();
}

std::string FormatMaskText(const std::string& editMask, const std::string& value) {
  const TParsedMask mask = ParseEditMask(editMask);
  if (mask.Empty()) return value;
  return ApplyEditMask(mask, value, U' ');
}

// ---- The masked edit ---------------------------------------------------------------

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const std::string& value) {
  if (value == editMask_) return;
  // The characters entered so far go into the new mask's input positions.
  const std::string entered =
      IsMasked() ? UnmaskedText(mask_, EditText(), false) : TCustomEdit::Text();
  editMask_ = value;
  mask_ = ParseEditMask(value);
  // Every character must pass the mask's positions one by one.
  SetInputMethods(!IsMasked());
  if (!IsMasked()) return;
  TParsedMask bare = mask_;
  bare.saveLiterals = false;
  TCustomEdit::SetText(ApplyEditMask(bare, entered, mask_.blank));
}

void TCustomMaskEdit::SetEditText(const std::string& value) {
  if (!IsMasked()) {
    TCustomEdit::SetText(value);
    return;
  }
  // The text shown is laid position by position into the mask.
  TParsedMask shown = mask_;
  shown.saveLiterals = true;
  TCustomEdit::SetText(ApplyEditMask(shown, value, mask_.blank));
}

std::string TCustomMaskEdit::Text() const {
  if (!IsMasked()) return TCustomEdit::Text();
  return UnmaskedText(mask_, EditText(), mask_.saveLiterals);
}

void TCustomMaskEdit::SetText(const std::string& value) {
  if (!IsMasked()) {
    TCustomEdit::SetText(value);
    return;
  }
  TCustomEdit::SetText(ApplyEditMask(mask_, value, mask_.blank));
}

int TCustomMaskEdit::NextInput(int pos) const {
  for (int i = std::max(0, pos); i < int(mask_.positions.size()); ++i)
    if (!mask_.positions[size_t(i)].IsLiteral()) return i;
  return -1;
}

int TCustomMaskEdit::PreviousInput(int pos) const {
  for (int i = std::min(pos, int(mask_.positions.size())) - 1; i >= 0; --i)
    if (!mask_.positions[size_t(i)].IsLiteral()) return i;
  return -1;
}

// Replaces characters as typing does (undoable, marks the text modified).
void TCustomMaskEdit::Replace(int start, const std::string& with, int caret) {
  SetSelection(start, start + int(Utf8Length(with)));
  SetSelText(with);
  SetSelection(caret, caret);
}

void TCustomMaskEdit::Blank(int start, int end) {
  std::string with;
  for (int i = start; i < end && i < int(mask_.positions.size()); ++i) {
    const TMaskPosition& p = mask_.positions[size_t(i)];
    Utf8Append(with, p.IsLiteral() ? p.literal : mask_.blank);
  }
  if (!with.empty()) Replace(start, with, start);
}

bool TCustomMaskEdit::TypeChar(char32_t c) {
  const int at = NextInput(SelStart());
  if (at < 0) return false;
  const TMaskPosition& p = mask_.positions[size_t(at)];
  const char32_t cased = p.Cased(c);
  if (!p.Accepts(cased)) return false;
  if (SelLength() > 0) Blank(SelStart(), SelStart() + SelLength());
  // The caret moves behind the character and over the literals after it.
  const int next = NextInput(at + 1);
  Replace(at, Utf8Encode(cased == U' ' ? mask_.blank : cased),
          next < 0 ? int(mask_.positions.size()) : next);
  return true;
}

void TCustomMaskEdit::TypeKey(char32_t& key) {
  if (!IsMasked()) {
    TCustomEdit::TypeKey(key);
    return;
  }
  if (key == 27) {
    Reset();
    key = 0;
    return;
  }
  if (key < 32) return;  // control characters: the keys above did their work
  if (!ReadOnly() && !TypeChar(key)) MessageBeep(0);
  key = 0;
}

void TCustomMaskEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomEdit::KeyDown(key, shift);
  if (!IsMasked() || key == 0 || !shift.Empty()) return;
  if (key != VK_BACK && key != VK_DELETE) return;
  if (!ReadOnly()) {
    const int start = SelStart(), length = SelLength();
    if (length > 0) {
      Blank(start, start + length);
    } else if (key == VK_BACK) {
      const int at = PreviousInput(start);
      if (at >= 0) Blank(at, at + 1);
    } else if (const int at = NextInput(start); at >= 0) {
      Blank(at, at + 1);
      SetSelection(start, start);
    }
  }
  key = 0;
}

void TCustomMaskEdit::DoEnter() {
  enteredText_ = EditText();
  TCustomEdit::DoEnter();
}

void TCustomMaskEdit::Reset() {
  if (!Modified()) return;
  SetEditText(enteredText_);
  SetModified(false);
  SelectAll();
}

int TCustomMaskEdit::FirstInvalidPosition() const {
  const std::vector<char32_t> shown = CodePoints(EditText());
  for (std::size_t i = 0; i < mask_.positions.size(); ++i) {
    const TMaskPosition& p = mask_.positions[i];
    if (p.IsLiteral()) continue;
    const char32_t c = i < shown.size() ? shown[i] : mask_.blank;
    if (c == mask_.blank ? p.Required() : !p.Accepts(c)) return int(i);
  }
  return -1;
}

// Taken back, the edit is not entered anew: the text to go back to stays and
// the caret goes to the bad position.
void TCustomMaskEdit::TakeFocusBack(int pos) {
  if (CanFocus()) {
    reEntering_ = true;
    SetFocus();
    reEntering_ = false;
  }
  SetSelection(pos, pos);
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked() || !Modified()) return;
  const int pos = FirstInvalidPosition();
  if (pos < 0) return;
  if (exiting_) {
    // The focus is on its way to another control: it comes back once there.
    vantrel::qt::PostToWindow(this, [pos](TWinControl* w) {
      static_cast<TCustomMaskEdit*>(w)->TakeFocusBack(pos);
    });
  } else {
    TakeFocusBack(pos);
  }
  MessageBeep(0);
  throw EDBEditError(SMaskEditErr);
}

void TCustomMaskEdit::Dispatch(TMessage& m) {
  if (!IsMasked()) {
    TCustomEdit::Dispatch(m);
    return;
  }
  switch (m.Msg) {
    case CM_WANTSPECIALKEY:
      // Escape abandons the changes here before it may close the form.
      if (WORD(m.WParam) == VK_ESCAPE && Modified()) {
        m.Result = 1;
        return;
      }
      break;
    case CM_ENTER:
      if (reEntering_) return;
      break;
    case CM_EXIT:
      exiting_ = true;
      try {
        ValidateEdit();
      } catch (const Exception&) {
        exiting_ = false;
        Application->HandleException(this);
        return;  // the focus comes back: no exit
      }
      exiting_ = false;
      break;
    case WM_PASTE: {
      if (ReadOnly() || !Clipboard()->HasFormat(CF_TEXT)) return;
      // Pasted characters go in as if typed; literals in the text are passed over.
      for (char32_t c : CodePoints(Clipboard()->AsText())) {
        const int at = SelStart();
        if (at < int(mask_.positions.size()) && mask_.positions[size_t(at)].literal == c) {
          SetSelection(at + 1, at + 1);
          continue;
        }
        TypeChar(c);
      }
      return;
    }
    case WM_CUT:
    case WM_CLEAR:
      if (m.Msg == WM_CUT) CopyToClipboard();
      if (!ReadOnly() && SelLength() > 0) Blank(SelStart(), SelStart() + SelLength());
      return;
  }
  TCustomEdit::Dispatch(m);
}

PUBLISHED(TCustomMaskEdit) { PROP_STR(EditMask, EditMask, SetEditMask, ""); }
