#include "report/output/ppglyphs.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/pixelart.h"

namespace {

struct Drawing {
  TppPreviewGlyph which;
  const char* rows[kppPreviewGlyphSize];
};

// Navy for what the user reads (lines of text, arrows, figures), blue for
// the page-width arrow so it stands out from the page's lines.
// clang-format off
constexpr Drawing kDrawings[] = {
  {ppgPrint, {
    "................", "...kkkkkkkkkk...", "...kwwwwwwwwk...", "...kwnnnnnnwk...",
    "...kwwwwwwwwk...", ".kkkkkkkkkkkkkk.", "kssssssssssssssk", "kssssssssssGGssk",
    "kssssssssssssssk", "kggggggggggggggk", "kkkkkkkkkkkkkkkk", "..kwwwwwwwwwwk..",
    "..kwnnnnnnnnwk..", "..kwwwwwwwwwwk..", "..kkkkkkkkkkkk..", "................"}},
  {ppgWholePage, {
    "................", "...kkkkkkkkkk...", "...kwwwwwwwwk...", "...kwnnnnwwwk...",
    "...kwwwwwwwwk...", "...kwnnnnnnwk...", "...kwnnnnnnwk...", "...kwwwwwwwwk...",
    "...kwnnnnnnwk...", "...kwnnnnnnwk...", "...kwwwwwwwwk...", "...kwnnnnnnwk...",
    "...kwnnnnnnwk...", "...kwwwwwwwwk...", "...kkkkkkkkkk...", "................"}},
  {ppgPageWidth, {
    "................", "kkkkkkkkkkkkkkkk", "kwwwwwwwwwwwwwwk", "kwnnnnnnnnnnnnwk",
    "kwwwwwwwwwwwwwwk", "kwwbwwwwwwwwbwwk", "kwbbwwwwwwwwbbwk", "kbbbbbbbbbbbbbbk",
    "kwbbwwwwwwwwbbwk", "kwwbwwwwwwwwbwwk", "kwwwwwwwwwwwwwwk", "kwnnnnnnnnnnnnwk",
    "kwwwwwwwwwwwwwwk", "kwnnnnnnnnnnnnwk", "kwwwwwwwwwwwwwwk", "................"}},
  {ppg100Percent, {
    "................", "................", "................", "................",
    "................", "...n...nn...nn..", "..nn..n..n.n..n.", "...n..n..n.n..n.",
    "...n..n..n.n..n.", "...n..n..n.n..n.", "...n..n..n.n..n.", "..nnn..nn...nn..",
    "................", "................", "................", "................"}},
  {ppgFirstPage, {
    "................", "................", "................", "...nn......n....",
    "...nn.....nn....", "...nn....nnn....", "...nn...nnnn....", "...nn..nnnnn....",
    "...nn.nnnnnn....", "...nn..nnnnn....", "...nn...nnnn....", "...nn....nnn....",
    "...nn.....nn....", "...nn......n....", "................", "................"}},
  {ppgPriorPage, {
    "................", "................", "................", "..........n.....",
    ".........nn.....", "........nnn.....", ".......nnnn.....", "......nnnnn.....",
    ".....nnnnnn.....", "......nnnnn.....", ".......nnnn.....", "........nnn.....",
    ".........nn.....", "..........n.....", "................", "................"}},
  {ppgNextPage, {
    "................", "................", "................", ".....n..........",
    ".....nn.........", ".....nnn........", ".....nnnn.......", ".....nnnnn......",
    ".....nnnnnn.....", ".....nnnnn......", ".....nnnn.......", ".....nnn........",
    ".....nn.........", ".....n..........", "................", "................"}},
  {ppgLastPage, {
    "................", "................", "................", "....n......nn...",
    "....nn.....nn...", "....nnn....nn...", "....nnnn...nn...", "....nnnnn..nn...",
    "....nnnnnn.nn...", "....nnnnn..nn...", "....nnnn...nn...", "....nnn....nn...",
    "....nn.....nn...", "....n......nn...", "................", "................"}},
};
// clang-format on

}  // namespace

std::unique_ptr<TBitmap> ppPreviewGlyph(TppPreviewGlyph which) {
  const auto* d = std::find_if(std::begin(kDrawings), std::end(kDrawings),
                               [&](const Drawing& x) { return x.which == which; });
  if (d == std::end(kDrawings))
    throw EInvalidOperation("No preview picture number " + std::to_string(static_cast<int>(which)));
  const TPixelRows layer[] = {TPixelRows(d->rows)};
  return PaintPixelArt(kppPreviewGlyphSize, kppPreviewGlyphSize, layer);
}
