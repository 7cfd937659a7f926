#include "dbengine/enginetext.h"

#include "platform/classlib/core/strutils.h"

namespace dbengine_detail {

namespace {
bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::string_view CutBytes(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && IsContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

std::string CutChars(std::string_view text, std::size_t maxChars) {
  // No more bytes than allowed characters: nothing to cut, and no need to walk
  // the characters (every end of a blob read records its error text).
  if (text.size() <= maxChars) return std::string(text);
  return Utf8Copy(text, 1, static_cast<long long>(maxChars));
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

bool SameName(std::string_view a, std::string_view b) { return SameText(a, b); }

}  // namespace dbengine_detail
