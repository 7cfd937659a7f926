#include "platform/classlib/core/foldedorder.h"

#include <string>

#include "platform/classlib/core/strutils.h"

int CompareFoldedText(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  std::size_t i = 0;
  for (; i < common; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    // Both stand at a character's start (all before was ASCII): the rest of
    // each is folded whole, since a fold may change a character's length.
    if (x >= 0x80 || y >= 0x80) break;
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + ('a' - 'A'));
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + ('a' - 'A'));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == common && a.size() == b.size()) return 0;
  if (i == common) return a.size() < b.size() ? -1 : 1;
  const int c = AnsiFoldCase(a.substr(i)).compare(AnsiFoldCase(b.substr(i)));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
