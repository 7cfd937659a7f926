// Picture masks: the first line is the mask, the rest the text. Any mask and
// text give a result quickly; a completed text matches its mask again and
// matching what auto-fill produced changes nothing.
#include "datactrls/wwpicture.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::Text(data, size);
  std::string_view rest;
  const std::string mask(fuzz::FirstLine(input, rest));
  if (mask.size() > 300) return 0;  // longer than a field's mask can be
  TwwPictureValidator validator(mask, true);
  for (bool fill : {false, true}) {
    std::string text(rest);
    const TwwPicResult r = validator.MatchPicture(text, fill);
    if (r == pmError || r == pmSyntax || r == pmEmpty) continue;
    std::string again = text;
    fuzz::Require(validator.MatchPicture(again, fill) == r && again == text,
                  "the matched text does not match again unchanged");
    if (r == pmComplete) fuzz::Require(validator.ValidateValue(text), "a completed text is refused");
  }
  return 0;
}
