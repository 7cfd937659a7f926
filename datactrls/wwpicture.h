#pragma once
// Picture masks: a short pattern stating the shape of a field's text, and the
// validator that matches texts against one. Positions count characters (code
// points) of UTF-8 text.
//
// Mask characters: # digit; ? letter; & letter, upper-cased; ~ letter,
// lower-cased; ! any character, upper-cased; @ any character; ; the next mask
// character is a literal; *[count] repeats the next item; [...] optional part;
// {...} group; , separates alternatives; anything else is a literal, matched
// without regard to ASCII case and stored in the mask's case.

#include <cstdint>
#include <string>

#include "platform/classlib/core/object.h"

enum TwwPicResult : std::uint8_t {
  pmComplete,          // a full valid value
  pmIncomplete,        // a valid beginning; more is required
  pmEmpty,             // the text is empty
  pmError,             // the text cannot become valid
  pmSyntax,            // the mask itself is malformed
  pmAmbiguous,         // internal: complete, but more could follow
  pmIncompleteNoFill,  // internal: incomplete, literals must not be filled in
};

class TwwPictureValidator : public TObject {
  DECLARE_CLASS(TwwPictureValidator, TObject)
 public:
  static constexpr std::uint16_t voAutoFill = 1;

  // Status becomes 1 when the mask fails the syntax check (an empty mask too).
  TwwPictureValidator(const std::string& mask, bool autoFill);

  // Text being typed: false only when it cannot become valid. The text may come
  // back changed (case conversions, literals of the mask, filled-in literals).
  virtual bool ValidateInput(std::string& text, bool suppressFill);
  // A finished value: true when it is complete or empty. The text is not changed.
  virtual bool ValidateValue(const std::string& text);
  // Matches text against the mask, converting it in place; with autoFill the
  // literals that must follow a valid beginning are appended. Returns
  // pmComplete, pmIncomplete, pmEmpty, pmError or pmSyntax.
  virtual TwwPicResult MatchPicture(std::string& text, bool autoFill);

  // The mask passes the syntax check (brackets and braces balance, no dangling
  // ";" or "*").
  static bool IsValidMask(const std::string& mask);

  std::uint16_t Status = 0;
  std::uint16_t Options = 0;
  std::string Mask;
};
