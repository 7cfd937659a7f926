#include "dbengine/enginetext.h"

#include <algorithm>
#include <cctype>

namespace dbengine_detail {

namespace {
bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
char LowerAscii(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
}  // namespace

std::string_view CutBytes(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && IsContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

std::string CutChars(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuationByte(text[i])) continue;
    if (chars == maxChars) return std::string(text.substr(0, i));
    ++chars;
  }
  return std::string(text);
}

void StoreText(char* slot, std::size_t slotBytes, std::string_view text) {
  if (slot == nullptr || slotBytes == 0) return;
  std::string_view kept = CutBytes(text.substr(0, text.find('\0')), slotBytes - 1);
  std::memcpy(slot, kept.data(), kept.size());
  std::memset(slot + kept.size(), 0, slotBytes - kept.size());
}

std::string SlotText(const char* slot, std::size_t slotBytes) {
  if (slot == nullptr) return {};
  const char* end = static_cast<const char*>(std::memchr(slot, 0, slotBytes));
  return std::string(slot, end ? static_cast<std::size_t>(end - slot) : slotBytes);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::size_t FindNoCase(std::string_view text, std::string_view needle) {
  auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                        [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
  return it == text.end() && !needle.empty() ? std::string_view::npos
                                             : static_cast<std::size_t>(it - text.begin());
}

}  // namespace dbengine_detail
