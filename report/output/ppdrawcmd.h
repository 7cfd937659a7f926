#pragma once
// Drawing of the page's commands on a device canvas, shared by the printer
// and the screen devices: each device works out its own geometry (device
// rectangle, font height, stroke counts) and these routines draw with it.

#include <string>
#include <vector>

#include "platform/classlib/graphics/graphics.h"
#include "report/output/pppage.h"

// The device rectangle of a command.
TRect ppDrawRect(const TppDrawCommand& command);

// How a text command's lines are laid out on the device.
struct TppTextLayout {
  TRect Rect;                      // the box; AutoSize may move its sides
  std::vector<std::string> Lines;
  int LineHeight = 0;              // the pitch of the lines
  std::vector<int> TabStops;       // device pixels, for memo lines
  bool Tabbed = false;             // memo lines expand their tabs
  bool AutoSize = false;           // the box follows the widest line
  int MaxLines = -1;               // -1: every line
};

// The lines a text command shows: its wrapped lines, or its text as one line.
std::vector<std::string> ppTextLines(const TppDrawText& command);
// The box of an AutoSize label grows to one line when it is lower.
void ppGrowToOneLine(const TppDrawText& command, TppTextLayout& layout);
// Moves the box to the widest line (AutoSize), fills it unless transparent
// and draws the lines; the canvas font must already be the command's.
void ppDrawTextLines(TCanvas* canvas, const TppDrawText& command, TppTextLayout& layout);

// A rectangle, round rectangle or ellipse; other shape numbers draw nothing
// (false).
bool ppDrawShapeFigure(TCanvas* canvas, const TppDrawShape& command, int penWidth, int cornerX,
                       int cornerY);
// `strokes` one-pixel strokes on the command's side, a second group `gap`
// pixels further in for a double line.
void ppDrawLineStrokes(TCanvas* canvas, const TppDrawLine& command, int strokes, int gap);

// The picture of an image command, laid out in screen pixels inside the
// command's size and copied into the device rectangle (white shows through
// where the command is transparent). `scaleX`, `scaleY` are device pixels per
// screen pixel: a stretched picture is drawn at the device's own resolution
// when `deviceResolution` is set. False when there is no picture.
bool ppDrawPicture(TCanvas* canvas, const TppDrawImage& command, double scaleX, double scaleY,
                   bool deviceResolution);

// Rounds to the nearest whole number, halves to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
int ppRound(double value);
