// The RTF reader: any bytes load as far as they are readable, and what the
// writer makes of the result reads back equal.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/richedit/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TRtfDocument document = RtfRead(fuzz::Text(data, size));
  const std::string written = RtfWrite(document);
  fuzz::Require(RtfRead(written) == document || document.Paragraphs.empty(),
                "a written document reads back equal");
  return 0;
}
