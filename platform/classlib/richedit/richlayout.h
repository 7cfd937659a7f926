#pragma once
// Rich text laid out on a device: what a report band or a printed memo shows
// of a text on one page, and where the next page goes on.
//
// The text is laid out once for each resolution it is measured or drawn at
// and kept, so that a long text printed page by page costs each page only
// its own lines: no page lays the whole text out again.

#include <memory>

#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/richedit/rtf.h"

class TRichTextLayout {
 public:
  explicit TRichTextLayout(const TRtfDocument& document);
  ~TRichTextLayout();
  TRichTextLayout(const TRichTextLayout&) = delete;
  TRichTextLayout& operator=(const TRichTextLayout&) = delete;

  // Characters of the text; the end of each paragraph but the last counts as one.
  int TextLength() const;

  // Positions as a rich edit counts them (code points, the end of a paragraph
  // and a line break inside one counting two, as "\r\n") and the layout's own.
  // A position inside such a "\r\n" stands before it; positions beyond the
  // text stand at its end.
  int EditPosition(int position) const;
  int LayoutPosition(int editPosition) const;

  // Lays the characters from `first` up to `last` (-1: to the end) out in
  // `rect` of `canvas`, at the canvas's resolution, in whole lines from the
  // top; draws them when `render`, else only measures. Returns the first
  // character that did not fit (TextLength() or `last` when all did; `first`
  // when not even one line fits) and sets `usedHeight` to the height of the
  // lines that fit. The same resolution gives the same lines whatever the
  // canvas, so a range measured on one canvas draws alike on another.
  int FormatRange(TCanvas* canvas, const TRect& rect, int first, int last, bool render,
                  int* usedHeight = nullptr);

  // What the last FormatRange did, so that a page's work can be held to what
  // the page prints: the lines of the laid-out text it looked at, the lines
  // it took (those that fit and the first that did not), the characters it
  // copied to draw, and whether it laid the whole text out first.
  struct TWork {
    int LinesLookedAt = 0;
    int LinesTaken = 0;
    int CharactersCopied = 0;
    bool LaidOutWhole = false;
  };
  const TWork& LastWork() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
