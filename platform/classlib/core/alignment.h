#pragma once
// Horizontal text alignment, shared by fields (how a grid shows them) and by
// controls (how they draw their text).

#include "platform/classlib/core/typinfo.h"

DECLARE_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)
