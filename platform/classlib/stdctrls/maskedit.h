#pragma once
// The class library's edit masks and the masked edit.
//
// A mask is "mask;save-literals;blank". In the mask part:
//   L letter, A letter or digit, C any character, 0 digit   (required)
//   l, a, c, 9 the same, optional; # digit, "+" or "-", optional
//   > the following characters upper case, < lower case, <> neither
//   \ the next character is a literal; : and / the time and date
//   separators; _ a blank literal; ! optional characters stand as leading
//   blanks (the text fills the positions from the right)
//   any other character is a literal.
// save-literals "0" keeps the literals out of Text (default: in); blank is
// the character shown for an empty position (default "_").

#include <string>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/stdctrls/edits.h"

// Raised when a masked text misses required characters.
class EDBEditError : public Exception {
 public:
  using Exception::Exception;
};
// Its message, which data-aware edits raise for invalid text too.
inline constexpr const char* SMaskEditErr = "Invalid input value. Use escape key to abandon changes";

// One position of a mask: a literal, or a place for a character of a class.
struct TMaskPosition {
  char32_t literal = 0;  // 0: an input position
  char32_t kind = 0;     // L l A a C c 0 9 #
  int charCase = 0;      // 1 upper, -1 lower, 0 as typed
  bool IsLiteral() const { return kind == 0; }
  bool Required() const { return kind == U'L' || kind == U'A' || kind == U'C' || kind == U'0'; }
  // Whether `c` may stand here (a blank only where optional).
  bool Accepts(char32_t c) const;
  char32_t Cased(char32_t c) const;
};

struct TParsedMask {
  std::vector<TMaskPosition> positions;
  bool reverse = false;       // "!"
  bool saveLiterals = true;
  char32_t blank = U'_';
  bool Empty() const { return positions.empty(); }
};

TParsedMask ParseEditMask(const std::string& editMask);
// A value laid into a mask: with save-literals the value holds the literals
// (matched where they stand, supplied where missing); without, only the
// input characters. Empty positions show `blank`.
std::string ApplyEditMask(const TParsedMask& mask, const std::string& value, char32_t blank);
// The characters entered in a shown text (blanks as spaces), with or without
// the literals; "" while nothing is entered.
std::string UnmaskedText(const TParsedMask& mask, const std::string& editText, bool withLiterals);
// The value as the masked edit shows it, blanks as spaces.
std::string FormatMaskText(const std::string& editMask, const std::string& value);

class TCustomMaskEdit : public TCustomEdit {
  DECLARE_CLASS(TCustomMaskEdit, TCustomEdit)
 public:
  explicit TCustomMaskEdit(TComponent* AOwner);

  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& value);
  bool IsMasked() const { return !mask_.Empty(); }
  // The text as shown: literals and blank characters included.
  const std::string& EditText() const { return TCustomEdit::Text(); }
  void SetEditText(const std::string& value);
  // The text without the blank characters (spaces instead), and without the
  // literals unless the mask saves them; "" while nothing is entered.
  std::string Text() const;
  void SetText(const std::string& value);
  // Raises EDBEditError when a required position is empty or holds a
  // character it does not accept; the edit takes the focus back first and
  // the caret goes to the position.
  virtual void ValidateEdit();
  // Goes back to the text the edit had when it was entered.
  void Reset();

  void Dispatch(TMessage& message) override;

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override;
  // With a mask the character goes to its input position and Escape
  // restores the text the edit was entered with.
  void TypeKey(char32_t& Key) override;
  void DoEnter() override;

 private:
  // Index of the first input position at or after `pos` (-1: none).
  int NextInput(int pos) const;
  int PreviousInput(int pos) const;
  // Puts `c` at the input position at or after the caret; false when it
  // does not fit there.
  bool TypeChar(char32_t c);
  // Empties the input positions of [start, end) and puts the caret at start.
  void Blank(int start, int end);
  void Replace(int start, const std::string& with, int caret);
  int FirstInvalidPosition() const;  // -1: the text is complete
  void TakeFocusBack(int pos);

  std::string editMask_;
  TParsedMask mask_;
  std::string enteredText_;  // for Reset
  bool reEntering_ = false;  // the focus comes back after a failed validation
  bool exiting_ = false;     // validating while the focus leaves
};

class TMaskEdit : public TCustomMaskEdit {
  DECLARE_CLASS(TMaskEdit, TCustomMaskEdit)
 public:
  explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};
