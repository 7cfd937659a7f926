#pragma once
// Small pieces the standard controls share.

#include <cstdint>

#include "platform/classlib/controls/messages.h"
#include "platform/classlib/core/alignment.h"
#include "platform/classlib/graphics/drawing.h"

// The DrawText flag that places text as the alignment says.
inline uint32_t AlignmentFlags(TAlignment alignment) {
  return alignment == taCenter ? DT_CENTER : alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
}

// Where a WM_VSCROLL / WM_HSCROLL request moves a position that steps by
// `line` and `page` over 0..`end`; `pos` when the request moves nothing.
inline int ScrollRequestTarget(WPARAM request, int pos, int line, int page, int end) {
  switch (LoWord(request)) {
    case SB_LINEUP: return pos - line;
    case SB_LINEDOWN: return pos + line;
    case SB_PAGEUP: return pos - page;
    case SB_PAGEDOWN: return pos + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return HiWord(request);
    case SB_TOP: return 0;
    case SB_BOTTOM: return end;
    default: return pos;
  }
}
