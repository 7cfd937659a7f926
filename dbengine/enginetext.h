#pragma once
// Texts in the engine's fixed byte slots. Slots hold UTF-8 and are cut on a
// character boundary, so a text never ends in half a character.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace dbengine_detail {

// The longest prefix of text that has at most maxBytes bytes and ends on a
// character boundary.
std::string_view CutBytes(std::string_view text, std::size_t maxBytes);

// The first maxChars characters of text.
std::string CutChars(std::string_view text, std::size_t maxChars);

// Writes text zero-terminated into a slot of slotBytes bytes (cut to fit) and
// zero-fills the rest of the slot.
void StoreText(char* slot, std::size_t slotBytes, std::string_view text);
template <std::size_t N>
void StoreText(char (&slot)[N], std::string_view text) { StoreText(slot, N, text); }

// The zero-terminated text of a slot (never reads past the slot).
std::string SlotText(const char* slot, std::size_t slotBytes);
template <std::size_t N>
std::string SlotText(const char (&slot)[N]) { return SlotText(slot, N); }

// Names compare without regard to case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace dbengine_detail
