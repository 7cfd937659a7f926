#pragma once
// A memo as users write them, for the rich-text benchmarks: paragraphs of
// twenty runs of words, every third bold and coloured, a few non-ASCII
// characters, until its RTF holds at least a given number of bytes.

#include <string>

#include "platform/classlib/richedit/rtf.h"

namespace bench {

inline TRtfDocument Memo(std::size_t bytes) {
  TRtfDocument d;
  TRtfCharFormat plain;
  plain.FontName = "Arial";
  plain.HalfPoints = 20;
  TRtfCharFormat marked = plain;
  marked.Style = {fsBold};
  marked.Color = RGB(128, 0, 0);
  for (int i = 0; RtfWrite(d).size() < bytes; ++i) {
    TRtfParagraph p;
    for (int r = 0; r < 20; ++r) {
      std::string text = "Step " + std::to_string(i) + "." + std::to_string(r) +
                         " the grid shows the wrong caf\xC3\xA9 entry after sorting; ";
      p.Runs.push_back({text, r % 3 == 0 ? marked : plain});
    }
    d.Paragraphs.push_back(std::move(p));
  }
  return d;
}

}  // namespace bench
