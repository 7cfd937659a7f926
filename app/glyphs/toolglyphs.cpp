#include "app/glyphs/toolglyphs.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/graphics/pixelart.h"

namespace {

struct Drawing {
  const char* name;
  const char* rows[kToolGlyphSize];
};

// clang-format off
constexpr Drawing kDrawings[] = {
  // ---- badges, drawn over a symbol's lower right corner
  {"plus", {
    "................", "................", "................", "................",
    "................", "................", "................", "................",
    "................", "...........eee..", "...........eGe..", ".........eeeGeee",
    ".........eGGGGGe", ".........eeeGeee", "...........eGe..", "...........eee.."}},
  {"cross", {
    "................", "................", "................", "................",
    "................", "................", "................", "................",
    "................", ".........rr...rr", ".........rrr.rrr", "..........rrrrr.",
    "...........rrr..", "..........rrrrr.", ".........rrr.rrr", ".........rr...rr"}},
  {"lens", {
    "................", "................", "................", "................",
    "................", "................", "........kkk.....", ".......kwwwk....",
    "......kwcwwwk...", "......kcwwwwk...", "......kwwwwwk...", ".......kwwwkk...",
    "........kkkgkk..", "............kgkk", ".............kkk", "................"}},
  {"up", {
    "................", "................", "................", "................",
    "............b...", "...........bbb..", "..........bbbbb.", "................",
    "................", "................", "................", "................",
    "................", "................", "................", "................"}},
  {"down", {
    "................", "................", "................", "................",
    "..........bbbbb.", "...........bbb..", "............b...", "................",
    "................", "................", "................", "................",
    "................", "................", "................", "................"}},
  // ---- symbols
  {"page", {
    ".kkkkkkkkk......", ".kwwwwwwwkk.....", ".kwnnnnwwkwk....", ".kwwwwwwwkkkk...",
    ".kwnnnnnnnwk....", ".kwwwwwwwwwk....", ".kwnnnnnnnwk....", ".kwwwwwwwwwk....",
    ".kwnnnnnnnwk....", ".kwwwwwwwwwk....", ".kwnnnnnnnwk....", ".kwwwwwwwwwk....",
    ".kwnnnnnnnwk....", ".kwwwwwwwwwk....", ".kkkkkkkkkkk....", "................"}},
  {"chart", {
    "................", "k...............", "k.........kkk...", "k.........krk...",
    "k.........krk...", "k.....kkk.krk...", "k.....kbk.krk...", "k.....kbk.krk...",
    "k.kkk.kbk.krk...", "k.kyk.kbk.krk...", "k.kyk.kbk.krk...", "k.kyk.kbk.krk...",
    "k.kyk.kbk.krk...", "k.kyk.kbk.krk...", "kkkkkkkkkkkkkkkk", "................"}},
  {"printer", {
    "................", "....kkkkkkkk....", "....kwwwwwwk....", "....kwnnnnwk....",
    "....kwwwwwwk....", "..kkkkkkkkkkkk..", ".kwwwwwwwwwwwwk.", ".ksssssssssseek.",
    ".kssssssssssssk.", ".kggggggggggggk.", ".kkkkkkkkkkkkkk.", "...kwwwwwwwwk...",
    "...kwnnnnnnwk...", "...kwwwwwwwwk...", "...kkkkkkkkkk...", "................"}},
  {"scissors", {
    "...k.......k....", "...k.......k....", "...kk.....kk....", "....k.....k.....",
    "....kk...kk.....", ".....k...k......", ".....kk.kk......", "......kkk.......",
    "......nkn.......", ".....n...n......", "..nnnn...nnnn...", ".n...n...n...n..",
    ".n...n...n...n..", ".n...n...n...n..", "..nnn.....nnn...", "................"}},
  {"copy", {
    "kkkkkkkk........", "kwwwwwwk........", "kwnnnnwk........", "kwwwwwwk........",
    "kwnnnnwk........", "kwwwwwkkkkkkkk..", "kwnnnnkwwwwwwk..", "kwwwwwkwnnnnwk..",
    "kwnnnnkwwwwwwk..", "kwwwwwkwnnnnwk..", "kkkkkkkwwwwwwk..", "......kwnnnnwk..",
    "......kwwwwwwk..", "......kwnnnnwk..", "......kwwwwwwk..", "......kkkkkkkk.."}},
  {"paste", {
    "....kkkk........", ".kkksssskkk.....", "kooookkkoook....", "kooooooooook....",
    "kooooooooook....", "kooookkkkkkkkkk.", "kooookwwwwwwwwk.", "kooookwnnnnnnwk.",
    "kooookwwwwwwwwk.", "kooookwnnnnnnwk.", "kooookwwwwwwwwk.", "kooookwnnnnnnwk.",
    "kooookwwwwwwwwk.", "kooookwnnnwwwwk.", "kkkkkkwwwwwwwwk.", ".....kkkkkkkkkk."}},
  {"undo", {
    "................", "................", "................", "....b...........",
    "...bb...........", "..bbbbbbbbbb....", ".bbbbbbbbbbbb...", "..bbb......bbb..",
    "...bb.......bbb.", "....b........bb.", ".............bb.", "............bbb.",
    "..........bbbb..", "........bbbb....", "................", "................"}},
  {"program", {
    "................", "kkkkkkkkkkkkkk..", "knnnnnnnnnwkwk..", "kkkkkkkkkkkkkk..",
    "kwwwwwwwwwwwwk..", "kwggggwwwwwwwk..", "kwwwwwwwwwwwwk..", "kwggggggggwwwk..",
    "kwwwwwwwwwwwwk..", "kwgggggwwwwwwk..", "kwwwwwwwwwwwwk..", "kwwwwwwwwwwwwk..",
    "kkkkkkkkkkkkkk..", "................", "................", "................"}},
  {"properties", {
    "................", "kkkkkkkkkkkkkkk.", "knnnnnnnnnnnnnk.", "kkkkkkkkkkkkkkk.",
    "ksssssssssssssk.", "ksssssskkkkkksk.", "ksnnnsskwwwwksk.", "ksssssskkkkkksk.",
    "ksssssssssssssk.", "ksssssskkkkkksk.", "ksnnnsskwwwwksk.", "ksssssskkkkkksk.",
    "ksssssssssssssk.", "kkkkkkkkkkkkkkk.", "................", "................"}},
  {"bug", {
    "....k......k....", ".....k....k.....", "......kkkk......", "......kkkk......",
    "..k..rrkkrr..k..", "...krrrkkrrrk...", "....rrrkkrrr....", ".kkkrrrkkrrrkkk.",
    "....rrrkkrrr....", "...krrrkkrrrk...", "..k.rrrkkrrr.k..", ".....rrkkrr.....",
    "......rkkr......", "................", "................", "................"}},
  {"bulb", {
    ".....kkkkk......", "....kyyyyyk.....", "...kyywyyyyk....", "...kywyyyyyk....",
    "...kyyyyyyyk....", "...kyyyyyyyk....", "....kyyyyyk.....", ".....kyyyk......",
    ".....kyyyk......", ".....kkkkk......", ".....ksssk......", ".....kkkkk......",
    ".....ksssk......", "......kkk.......", "................", "................"}},
  {"delete", {
    "................", "................", "..rr........rr..", "..rrr......rrr..",
    "...rrr....rrr...", "....rrr..rrr....", ".....rrrrrr.....", "......rrrr......",
    "......rrrr......", ".....rrrrrr.....", "....rrr..rrr....", "...rrr....rrr...",
    "..rrr......rrr..", "..rr........rr..", "................", "................"}},
  {"switch", {
    "................", ".........b......", ".........bb.....", "..bbbbbbbbbb....",
    "..bbbbbbbbbbb...", "..bbbbbbbbbb....", ".........bb.....", ".........b......",
    "......e.........", ".....ee.........", "....eeeeeeeeee..", "...eeeeeeeeeee..",
    "....eeeeeeeeee..", ".....ee.........", "......e.........", "................"}},
  {"find", {
    "....kkkkk.......", "..kkcwwwckk.....", ".kcwwwwwwwck....", ".kwwccwwwwwk....",
    "kcwcwwwwwwwck...", "kwwcwwwwwwwwk...", "kwwwwwwwwwwwk...", "kwwwwwwwwwwwk...",
    "kcwwwwwwwwwck...", ".kwwwwwwwwwk....", ".kcwwwwwwwckk...", "..kkcwwwckkgkk..",
    "....kkkkk..kgkk.", "............kgkk", ".............kkk", "..............k."}},
  {"funnel", {
    "................", "kkkkkkkkkkkkkkk.", "kccccccccccccck.", ".kccccccccccck..",
    "..kccccccccck...", "...kccccccck....", "....kccccck.....", ".....kccck......",
    "......kck.......", "......kck.......", "......kck.......", "......kck.......",
    "......kck.......", "......kkk.......", "................", "................"}},
  {"large", {
    "................", ".kkkkkk..kkkkkk.", ".kbbbbk..kyyyyk.", ".kbbbbk..kyyyyk.",
    ".kbbbbk..kyyyyk.", ".kbbbbk..kyyyyk.", ".kkkkkk..kkkkkk.", "................",
    "................", ".kkkkkk..kkkkkk.", ".keeeek..krrrrk.", ".keeeek..krrrrk.",
    ".keeeek..krrrrk.", ".keeeek..krrrrk.", ".kkkkkk..kkkkkk.", "................"}},
  {"small", {
    "................", ".kkk..kkk..kkk..", ".kbk..kyk..kek..", ".kkk..kkk..kkk..",
    "................", "................", ".kkk..kkk..kkk..", ".krk..kbk..kyk..",
    ".kkk..kkk..kkk..", "................", "................", ".kkk..kkk..kkk..",
    ".kek..krk..kbk..", ".kkk..kkk..kkk..", "................", "................"}},
  {"list", {
    "................", ".kkk............", ".kbk.nnnnnnnnn..", ".kkk............",
    "................", ".kkk............", ".kyk.nnnnnnn....", ".kkk............",
    "................", ".kkk............", ".kek.nnnnnnnnn..", ".kkk............",
    "................", ".kkk............", ".krk.nnnnnn.....", ".kkk............"}},
  {"clip", {
    "......kkkkk.....", ".....k.....k....", ".....k..k..k....", ".....k.k.k.k....",
    ".....k.k.k.k....", ".....k.k.k.k....", ".....k.k.k.k....", ".....k.k.k.k....",
    ".....k.k.k.k....", ".....k.k.k.k....", ".....k.k.k.k....", ".....k.k.k.k....",
    ".....k.k.k.k....", ".....k.k...k....", "......k....k....", "...........k...."}},
  {"folder", {
    "................", "................", ".kkkk...........", "kooook..........",
    "koooookkkkkkkk..", "kooooooooooook..", "kooooooooooook..", "koookkkkkkkkkkkk",
    "kookyyyyyyyyyyk.", "kookyyyyyyyyyk..", "kokyyyyyyyyyyk..", "kokyyyyyyyyyk...",
    "kkyyyyyyyyyyk...", "kkkkkkkkkkkkk...", "................", "................"}},
  {"line", {
    "................", "................", "..nnnnnnnnnnnn..", "................",
    "..nnnnnnnnn.....", "................", "................", ".kkkkkkkkkkkkkk.",
    ".kkkkkkkkkkkkkk.", "................", "................", "..nnnnnnnnnnnn..",
    "................", "..nnnnnnnn......", "................", "................"}},
  {"alignleft", {
    "................", "................", ".kkkkkkkkkkkk...", "................",
    ".kkkkkkkk.......", "................", ".kkkkkkkkkkkkkk.", "................",
    ".kkkkkkkkk......", "................", ".kkkkkkkkkkkk...", "................",
    ".kkkkkkk........", "................", "................", "................"}},
  {"aligncenter", {
    "................", "................", "..kkkkkkkkkkkk..", "................",
    "....kkkkkkkk....", "................", ".kkkkkkkkkkkkkk.", "................",
    "...kkkkkkkkkk...", "................", "..kkkkkkkkkkkk..", "................",
    ".....kkkkkk.....", "................", "................", "................"}},
  {"alignright", {
    "................", "................", "...kkkkkkkkkkkk.", "................",
    ".......kkkkkkkk.", "................", ".kkkkkkkkkkkkkk.", "................",
    "......kkkkkkkkk.", "................", "...kkkkkkkkkkkk.", "................",
    "........kkkkkkk.", "................", "................", "................"}},
  {"letterA", {
    "................", "................", "................", "...kk...........",
    "..kkkk..........", "..kkkk..........", ".kk..kk.........", ".kk..kk.........",
    ".kkkkkk.........", "kk....kk........", "kk....kk........", "kk....kk........",
    "................", "................", "................", "................"}},
  {"bold", {
    "................", "................", "..kkkkkkk.......", "...kkk..kkk.....",
    "...kkk...kkk....", "...kkk...kkk....", "...kkk..kkk.....", "...kkkkkkk......",
    "...kkk..kkkk....", "...kkk...kkk....", "...kkk...kkk....", "...kkk..kkkk....",
    "..kkkkkkkkk.....", "................", "................", "................"}},
  {"italic", {
    "................", "................", "......kkkkk.....", "........kk......",
    "........kk......", ".......kk.......", ".......kk.......", "......kk........",
    "......kk........", ".....kk.........", ".....kk.........", "....kk..........",
    "..kkkkk.........", "................", "................", "................"}},
  {"underline", {
    "................", "................", "..kkkk..kkkk....", "...kk....kk.....",
    "...kk....kk.....", "...kk....kk.....", "...kk....kk.....", "...kk....kk.....",
    "...kk....kk.....", "...kk....kk.....", "...kk....kk.....", "....kk..kk......",
    ".....kkkk.......", "................", "..kkkkkkkkkk....", "................"}},
  {"bullets", {
    "................", "................", ".kk..nnnnnnnnn..", ".kk.............",
    "................", "................", ".kk..nnnnnnnnn..", ".kk.............",
    "................", "................", ".kk..nnnnnnnnn..", ".kk.............",
    "................", "................", "................", "................"}},
  // ---- menu commands that have no toolbar button
  {"export", {
    ".kkkkkkkk.......", ".kwwwwwwkk......", ".kwnnnnwkwk.....", ".kwwwwwwkkkk....",
    ".kwnnnnnnnwk....", ".kwwwwwwwwwke...", ".kwnnnnnnnwkee..", ".kwwwweeeeeeeee.",
    ".kwnnneeeeeeeeee", ".kwwwweeeeeeeee.", ".kwnnnnnnnwkee..", ".kwwwwwwwwwke...",
    ".kwnnnnnnnwk....", ".kwwwwwwwwwk....", ".kkkkkkkkkkk....", "................"}},
  {"exit", {
    "................", "......kkkkkkkk..", "......kmmmmmmk..", "......kmmmmmmk..",
    "......kmmmmmmk..", "...e..kmmmmmmk..", "..ee..kmmmmmmk..", ".eeeeekmmmmymk..",
    "eeeeeekmmmmymk..", ".eeeeekmmmmmmk..", "..ee..kmmmmmmk..", "...e..kmmmmmmk..",
    "......kmmmmmmk..", "......kmmmmmmk..", "....kkkkkkkkkkkk", "................"}},
  {"refresh", {
    "................", ".....eeeeee.....", "...ee......ee.e.", "..e..........ee.",
    ".e..........eee.", ".e.........eeee.", "e...............", "e...............",
    "...............e", "...............e", ".eeee.........e.", ".eee..........e.",
    ".ee..........e..", ".e.ee......ee...", ".....eeeeee.....", "................"}},
  {"options", {
    "................", "kkkkkkkkkkkkkkk.", "knnnnnnnnnnnnnk.", "kkkkkkkkkkkkkkk.",
    "ksssssssssssssk.", "kskkkkssnnnnnsk.", "kskwekssssssssk.", "kskkkkssnnnnnsk.",
    "ksssssssssssssk.", "kskkkkssnnnnnsk.", "kskwwkssssssssk.", "kskkkkssnnnnnsk.",
    "ksssssssssssssk.", "kkkkkkkkkkkkkkk.", "................", "................"}},
  {"contents", {
    "................", "..kkkkkkkkkkk...", ".kbbbbbbbbbbbk..", ".kbbbbbbbbbbbk..",
    ".kbbwwwwwwwbbk..", ".kbbbbbbbbbbbk..", ".kbbwwwwwbbbbk..", ".kbbbbbbbbbbbk..",
    ".kbbbbbbbbbbbk..", ".kbbbbbbbbbbbk..", ".kbbbbbbbbbbbk..", ".kbbbbbbbbbbbk..",
    ".kkkkkkkkkkkkkk.", ".kwwwwwwwwwwwwk.", "..kkkkkkkkkkkkk.", "................"}},
  {"about", {
    "................", ".....bbbbbb.....", "...bbbbbbbbbb...", "..bbbbbwwbbbbb..",
    "..bbbbbwwbbbbb..", ".bbbbbbbbbbbbbb.", ".bbbbbwwwbbbbbb.", ".bbbbbbwwbbbbbb.",
    ".bbbbbbwwbbbbbb.", ".bbbbbbwwbbbbbb.", ".bbbbbbwwbbbbbb.", "..bbbbbwwbbbbb..",
    "..bbbbwwwwbbbb..", "...bbbbbbbbbb...", ".....bbbbbb.....", "................"}},
  // ---- entry states and priorities (quick filters)
  {"star", {
    "................", ".......kk.......", ".......kk.......", "......kyyk......",
    "......kyyk......", "kkkkkkyyyykkkkkk", ".kyyyyyyyyyyyyk.", "..kyyyyyyyyyyk..",
    "...kyyyyyyyyk...", "....kyyyyyyk....", "....kyyyyyyk....", "...kyyykkyyyk...",
    "...kyykk.kkyyk..", "..kykk.....kkyk.", "..kk.........kk.", "................"}},
  {"hourglass", {
    "................", "...kkkkkkkkkk...", "....kwwwwwwk....", "....kyyyyyyk....",
    ".....kyyyyk.....", "......kyyk......", ".......kk.......", ".......kk.......",
    "......kwyk......", ".....kwwyyk.....", "....kwwyyyyk....", "....kyyyyyyk....",
    "...kkkkkkkkkk...", "................", "................", "................"}},
  {"check", {
    "................", "................", "................", "............ee..",
    "...........eee..", "..........eee...", ".........eee....", "..e.....eee.....",
    "..ee...eee......", "..eee.eee.......", "...eeeee........", "....eee.........",
    ".....e..........", "................", "................", "................"}},
  {"seal", {
    "................", ".....nnnnnn.....", "...nnbbbbbbnn...", "..nbbbbbbbbbbn..",
    "..nbbbbbbbbwwn..", ".nbbbbbbbbwwwbn.", ".nbbbbbbbwwwbbn.", ".nbbwbbbwwwbbbn.",
    ".nbbwwbwwwbbbbn.", ".nbbwwwwwbbbbbn.", ".nbbbwwwbbbbbbn.", "..nbbbwbbbbbbn..",
    "..nbbbbbbbbbbn..", "...nnbbbbbbnn...", ".....nnnnnn.....", "................"}},
  {"handover", {
    "................", "..........kkk...", ".........kyyyk..", ".........kyyyk..",
    "..........kkk...", "................", ".........kkkkk..", "....e...kbbbbbk.",
    "....ee..kbbbbbk.", "eeeeeee.kbbbbbk.", "eeeeeeeekbbbbbk.", "eeeeeee.kbbbbbk.",
    "....ee..kbbbbbk.", "....e...kbbbbbk.", "........kkkkkkk.", "................"}},
  {"clock", {
    "................", ".....kkkkkk.....", "...kkwwwwwwkk...", "..kwwwwnwwwwwk..",
    "..kwwwwnwwwwwk..", ".kwwwwwnwwwwwwk.", ".kwwwwwnwwwwwwk.", ".kwwwwwnnnnnwwk.",
    ".kwwwwwwwwwwwwk.", ".kwwwwwwwwwwwwk.", ".kwwwwwwwwwwwwk.", "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..", "...kkwwwwwwkk...", ".....kkkkkk.....", "................"}},
  {"notrelevant", {
    "................", ".....gggggg.....", "...gg......gg...", "..g........ggg..",
    "..g.......gg.g..", ".g.......gg...g.", ".g......gg....g.", ".g.....gg.....g.",
    ".g....gg......g.", ".g...gg.......g.", ".g..gg........g.", "..ggg........g..",
    "..gg.........g..", "...gg......gg...", ".....gggggg.....", "................"}},
  {"noentry", {
    "................", ".....rrrrrr.....", "...rrrrrrrrrr...", "..rrrrrrrrrrrr..",
    "..rrrrrrrrrrrr..", ".rrrrrrrrrrrrrr.", ".rrrrrrrrrrrrrr.", ".rrwwwwwwwwwwrr.",
    ".rrwwwwwwwwwwrr.", ".rrrrrrrrrrrrrr.", ".rrrrrrrrrrrrrr.", "..rrrrrrrrrrrr..",
    "..rrrrrrrrrrrr..", "...rrrrrrrrrr...", ".....rrrrrr.....", "................"}},
  {"question", {
    "................", ".....ppppp......", "....ppppppp.....", "...ppp...ppp....",
    "...pp.....pp....", "..........pp....", ".........ppp....", "........ppp.....",
    ".......ppp......", ".......pp.......", ".......pp.......", "................",
    ".......pp.......", ".......pp.......", "................", "................"}},
  {"veryhigh", {
    "................", ".......rr.......", "......rrrr......", ".....rrrrrr.....",
    "....rrr..rrr....", "...rrr....rrr...", "..rrr......rrr..", "................",
    ".......rr.......", "......rrrr......", ".....rrrrrr.....", "....rrr..rrr....",
    "...rrr....rrr...", "..rrr......rrr..", "................", "................"}},
  {"high", {
    "................", "................", "................", "................",
    ".......mm.......", "......mmmm......", ".....mmmmmm.....", "....mmm..mmm....",
    "...mmm....mmm...", "..mmm......mmm..", "................", "................",
    "................", "................", "................", "................"}},
  {"normal", {
    "................", "................", "................", "................",
    "................", "..eeeeeeeeeeee..", "..eeeeeeeeeeee..", "................",
    "................", "..eeeeeeeeeeee..", "..eeeeeeeeeeee..", "................",
    "................", "................", "................", "................"}},
  {"low", {
    "................", "................", "................", "................",
    "................", "..nnn......nnn..", "...nnn....nnn...", "....nnn..nnn....",
    ".....nnnnnn.....", "......nnnn......", ".......nn.......", "................",
    "................", "................", "................", "................"}},
  {"verylow", {
    "................", "................", "..bbb......bbb..", "...bbb....bbb...",
    "....bbb..bbb....", ".....bbbbbb.....", "......bbbb......", ".......bb.......",
    "................", "..bbb......bbb..", "...bbb....bbb...", "....bbb..bbb....",
    ".....bbbbbb.....", "......bbbb......", ".......bb.......", "................"}},
};
// clang-format on

const Drawing& FindDrawing(const std::string& name) {
  const auto* d = std::find_if(std::begin(kDrawings), std::end(kDrawings),
                               [&](const Drawing& x) { return name == x.name; });
  if (d == std::end(kDrawings)) throw EInvalidOperation("No toolbar picture is called \"" + name + "\"");
  return *d;
}

}  // namespace

std::unique_ptr<TBitmap> MakeToolGlyph(std::initializer_list<std::string> layers) {
  std::vector<TPixelRows> rows;
  for (const std::string& name : layers) rows.emplace_back(FindDrawing(name).rows);
  return PaintPixelArt(kToolGlyphSize, kToolGlyphSize, rows);
}
