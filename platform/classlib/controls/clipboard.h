#pragma once
// The clipboard: text and pictures, shared with other programs.

#include <string>

#include "platform/classlib/core/persistent.h"

class TBitmap;
class TPicture;

// Clipboard formats the system asks about.
using TClipboardFormat = unsigned;
constexpr TClipboardFormat CF_TEXT = 1, CF_BITMAP = 2, CF_METAFILEPICT = 3, CF_DIB = 8,
                           CF_UNICODETEXT = 13, CF_ENHMETAFILE = 14, CF_HDROP = 15;

class TClipboard : public TPersistent {
  DECLARE_CLASS(TClipboard, TPersistent)
 public:
  // Open/Close bracket several changes; they are counted.
  void Open() { ++openCount_; }
  void Close() {
    if (openCount_ > 0) --openCount_;
  }
  void Clear();
  bool HasFormat(TClipboardFormat format) const;
  std::string AsText() const;
  void SetAsText(const std::string& text);
  // Puts a bitmap (or a picture's bitmap) on the clipboard.
  void Assign(const TPersistent* source) override;
  // Copies the clipboard's picture into a bitmap or picture; raises
  // EConvertError when the clipboard holds none.
  void GetPicture(TPersistent* dest) const;

 private:
  int openCount_ = 0;
};

// The program's clipboard object.
TClipboard* Clipboard();
