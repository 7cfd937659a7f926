#pragma once
// The drawing helpers window controls use: formatted text, 3-D edges, frame
// controls (caption buttons, check boxes, radio buttons, push buttons, scroll
// arrows) and the class library's Frame3D. They draw on any TCanvas with its
// current font and brush, in the colours of the current system scheme.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/graphics/graphics.h"

// DrawText flags.
constexpr uint32_t DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2,
                   DT_VCENTER = 0x4, DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10,
                   DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80,
                   DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
                   DT_NOPREFIX = 0x800, DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000,
                   DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
                   DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
                   DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000,
                   DT_PREFIXONLY = 0x200000;

// Draws `text` in `r` and returns the height of the text. With DT_CALCRECT
// nothing is drawn: r's right and bottom are set to fit the text (r's width
// is kept for word-breaking). "&" underlines the next character (mnemonic)
// unless DT_NOPREFIX; "&&" is a single "&". A non-clear canvas brush paints
// the background of each line, as text output does.
int DrawText(TCanvas* canvas, const std::string& text, TRect& r, uint32_t flags);

// The character after the single "&" of a caption, lower-cased ('\0' if none).
char32_t GetMnemonic(const std::string& caption);
// True when `ch` is the mnemonic of `caption` (case-insensitive), as dialog
// keys test it.
bool IsAccel(char32_t ch, const std::string& caption);
// The caption without its "&" markers ("&&" becomes "&").
std::string StripHotkey(const std::string& caption);

// DrawEdge edges and flags.
constexpr uint32_t BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4,
                   BDR_SUNKENINNER = 0x8, BDR_OUTER = 0x3, BDR_INNER = 0xC,
                   EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
                   EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                   EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
                   EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr uint32_t BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8,
                   BF_TOPLEFT = BF_TOP | BF_LEFT, BF_TOPRIGHT = BF_TOP | BF_RIGHT,
                   BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT, BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT,
                   BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM, BF_DIAGONAL = 0x10,
                   BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000,
                   BF_MONO = 0x8000;

// Draws up to two one-pixel edges (outer, then inner) on the sides in `flags`.
// Top and left take the light colour, bottom and right the dark one, and the
// dark lines run the full length (they own the top-right and bottom-left
// corners). BF_MIDDLE fills the inside with the button face; BF_ADJUST leaves
// r as the rectangle inside the edges. Returns false for an empty rectangle.
bool DrawEdge(TCanvas* canvas, TRect& r, uint32_t edge, uint32_t flags);

// DrawFrameControl kinds and states.
constexpr uint32_t DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr uint32_t DFCS_CAPTIONCLOSE = 0x0, DFCS_CAPTIONMIN = 0x1, DFCS_CAPTIONMAX = 0x2,
                   DFCS_CAPTIONRESTORE = 0x3, DFCS_CAPTIONHELP = 0x4, DFCS_MENUARROW = 0x0,
                   DFCS_MENUCHECK = 0x1, DFCS_MENUBULLET = 0x2, DFCS_SCROLLUP = 0x0,
                   DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3,
                   DFCS_SCROLLCOMBOBOX = 0x5, DFCS_BUTTONCHECK = 0x0,
                   DFCS_BUTTONRADIOIMAGE = 0x1, DFCS_BUTTONRADIOMASK = 0x2,
                   DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8, DFCS_BUTTONPUSH = 0x10,
                   DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400,
                   DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000;

bool DrawFrameControl(TCanvas* canvas, TRect& r, uint32_t kind, uint32_t state);

// The class library's Frame3D: `width` nested frames, light on top/left, dark
// on bottom/right; r shrinks by `width` on each side.
void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, int width);

// Disabled (embossed) text: once in the highlight colour one pixel down and
// right, then in the shadow colour.
void DrawDisabledText(TCanvas* canvas, const std::string& text, TRect r, uint32_t flags);

// ExtTextOut options: ETO_OPAQUE fills the rectangle with the brush colour
// first, ETO_CLIPPED keeps the text inside it.
constexpr uint32_t ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;
// Draws one line of text with its cell's top-left at (x, y).
bool ExtTextOut(TCanvas* canvas, int x, int y, uint32_t options, const TRect* r,
                const std::string& text);

// Text with tabs expanded at `tabStops` (see ForEachTabbedPiece), measured
// from `tabOrigin`; the cell's top-left is at (x, y). Returns the size drawn.
TSize TabbedTextOut(TCanvas* canvas, int x, int y, const std::string& text,
                    const std::vector<int>& tabStops = {}, int tabOrigin = 0);
TSize GetTabbedTextExtent(TCanvas* canvas, const std::string& text,
                          const std::vector<int>& tabStops = {});

// DrawCaption flags.
constexpr uint32_t DC_ACTIVE = 0x1, DC_SMALLCAP = 0x2, DC_ICON = 0x4, DC_TEXT = 0x8,
                   DC_INBUTTON = 0x10, DC_GRADIENT = 0x20;
// A window caption bar in r: the active or inactive caption colours (a
// gradient with DC_GRADIENT), with DC_TEXT the text in bold, left-aligned,
// vertically centred and cut with "..." when too long. The canvas's font
// gives the face; DC_SMALLCAP uses a smaller height.
bool DrawCaption(TCanvas* canvas, const TRect& r, const std::string& text, uint32_t flags);
