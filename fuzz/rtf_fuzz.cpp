// The RTF reader: any bytes load as far as they are readable, the text-only
// reading gives the document's text, and what the writer makes of the result
// reads back equal.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/richedit/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  const TRtfDocument document = RtfRead(text);
  fuzz::Require(RtfPlainText(text, "|") == document.PlainText("|"), "the text alone is the document's");
  const std::string written = RtfWrite(document);
  fuzz::Require(RtfRead(written) == document || document.Paragraphs.empty(),
                "a written document reads back equal");
  return 0;
}
