// The rich-text model's small services: plain text in and out, and the code
// page of RTF's \'hh escapes.
#include "platform/classlib/richedit/rtf.h"

#include "platform/classlib/core/strutils.h"

std::string TRtfParagraph::Text() const {
  std::string text;
  for (const TRtfRun& run : Runs) text += run.Text;
  return text;
}

std::string TRtfDocument::PlainText(std::string_view separator) const {
  std::string text;
  for (std::size_t i = 0; i < Paragraphs.size(); ++i) {
    if (i > 0) text += separator;
    text += Paragraphs[i].Text();
  }
  return text;
}

bool IsRtfText(std::string_view text) { return text.starts_with("{\\rtf"); }

std::string_view MemoTextBody(std::string_view stored) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (stored.starts_with(kByteOrderMark)) stored.remove_prefix(kByteOrderMark.size());
  return stored;
}

namespace {

// The text of a plain memo as PlainTextDocument(text).PlainText(separator)
// gives it, without building the document: every line break ("\r\n", "\n"
// or "\r") becomes the separator, except one at the very end, which ends the
// last line and starts none.
void AppendPlainLines(std::string& out, std::string_view text, std::string_view separator) {
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\r' && text[at] != '\n') continue;
    out.append(text, start, at - start);
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    start = at + 1;
    if (start < text.size()) out += separator;
  }
  out.append(text, start);
}

}  // namespace

std::string MemoPlainText(std::string_view stored, std::string_view separator) {
  if (IsRtfText(stored)) return RtfPlainText(stored, separator);
  std::string text;
  text.reserve(stored.size());
  AppendPlainLines(text, MemoTextBody(stored), separator);
  return text;
}

TRtfDocument PlainTextDocument(std::string_view text, const TRtfCharFormat& format) {
  TRtfDocument document;
  std::size_t start = 0;
  auto addLine = [&](std::size_t end) {
    TRtfParagraph paragraph;
    if (end > start) paragraph.Runs.push_back({std::string(text.substr(start, end - start)), format});
    document.Paragraphs.push_back(std::move(paragraph));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    addLine(i);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size() || document.Paragraphs.empty()) addLine(text.size());
  return document;
}

// ---- Windows-1252 ------------------------------------------------------------

namespace {

// Bytes 0x80-0x9F; zero marks the five the code page leaves unassigned.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char32_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0 && kCp1252High[byte - 0x80] != 0) return kCp1252High[byte - 0x80];
  return byte;
}

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}
