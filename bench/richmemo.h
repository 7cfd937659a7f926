#pragma once
// Memos as users write them, for the rich-text benchmarks: runs of words,
// every third bold and coloured, a few non-ASCII characters.

#include <string>

#include "platform/classlib/richedit/rtf.h"

namespace bench {

// The two formats of a memo's runs: plain 10-point text and marked text.
inline TRtfCharFormat MemoFormat(bool marked) {
  TRtfCharFormat format;
  format.FontName = "Arial";
  format.HalfPoints = 20;
  if (marked) {
    format.Style = {fsBold};
    format.Color = RGB(128, 0, 0);
  }
  return format;
}

// Paragraphs of twenty runs, until the RTF holds at least `bytes` bytes.
inline TRtfDocument Memo(std::size_t bytes) {
  TRtfDocument d;
  for (int i = 0; RtfWrite(d).size() < bytes; ++i) {
    TRtfParagraph p;
    for (int r = 0; r < 20; ++r) {
      std::string text = "Step " + std::to_string(i) + "." + std::to_string(r) +
                         " the grid shows the wrong caf\xC3\xA9 entry after sorting; ";
      p.Runs.push_back({text, MemoFormat(r % 3 == 0)});
    }
    d.Paragraphs.push_back(std::move(p));
  }
  return d;
}

// At least `textBytes` bytes of text (a paragraph's end counting two, as
// "\r\n") in paragraphs of `paragraphBytes` bytes each (0: one paragraph),
// in runs of about 60 bytes.
inline TRtfDocument ShapedMemo(std::size_t textBytes, std::size_t paragraphBytes) {
  TRtfDocument d;
  std::size_t total = 0;
  for (int run = 0; total < textBytes;) {
    TRtfParagraph p;
    std::size_t held = 0;
    while (total < textBytes && (paragraphBytes == 0 || held < paragraphBytes)) {
      std::string text = "Step " + std::to_string(run) +
                         " the grid shows the wrong caf\xC3\xA9 entry after sorting; ";
      if (paragraphBytes != 0 && held + text.size() > paragraphBytes) {
        text.resize(paragraphBytes - held);
        // Never half a character: a cut after a lead byte drops it.
        if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0xC0) text.pop_back();
        if (text.empty()) break;
      }
      held += text.size();
      total += text.size();
      p.Runs.push_back({std::move(text), MemoFormat(run % 3 == 0)});
      ++run;
    }
    d.Paragraphs.push_back(std::move(p));
    total += 2;  // the paragraph's end, "\r\n" in the plain text
  }
  return d;
}

// One paragraph of at least `textBytes` bytes with nowhere to break a line,
// as a pasted log line, a hash or encoded data: hexadecimal digits in runs
// of 60, every third bold.
inline TRtfDocument UnbrokenMemo(std::size_t textBytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  TRtfParagraph p;
  std::size_t total = 0;
  for (int run = 0; total < textBytes; ++run) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += kDigits[(run * 7 + i * 5) % 16];
    total += text.size();
    p.Runs.push_back({std::move(text), MemoFormat(run % 3 == 0)});
  }
  TRtfDocument d;
  d.Paragraphs.push_back(std::move(p));
  return d;
}

}  // namespace bench
