// Binary form definitions: ObjectBinaryToText refuses a damaged stream with an
// error, and the text it writes for an accepted one converts back.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TStringStream in(fuzz::Text(data, size));
  TStringStream text("");
  try {
    ObjectBinaryToText(&in, &text);
  } catch (const Exception&) {
    return 0;
  }
  TStringStream again(text.DataString());
  TStringStream binary("");
  ObjectTextToBinary(&again, &binary);  // an exception here is a finding
  return 0;
}
