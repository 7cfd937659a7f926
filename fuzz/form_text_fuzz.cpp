// Text form definitions: whatever ObjectTextToBinary accepts converts back to
// text, and that text converts to the same binary again.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"

namespace {

std::string TextToBinary(const std::string& text) {
  TStringStream in(text);
  TStringStream out("");
  ObjectTextToBinary(&in, &out);
  return out.DataString();
}

std::string BinaryToText(const std::string& bytes) {
  TStringStream in(bytes);
  TStringStream out("");
  ObjectBinaryToText(&in, &out);
  return out.DataString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string binary;
  try {
    binary = TextToBinary(fuzz::Text(data, size));
  } catch (const Exception&) {
    return 0;  // refused with a clear error
  }
  const std::string text = BinaryToText(binary);
  fuzz::Require(TextToBinary(text) == binary, "text form does not read back as it was written");
  return 0;
}
