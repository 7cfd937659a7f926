// "Bitmap" cells of the published grid: the picture stored in the field (or
// in the field of its lookup table) drawn in the cell by the ControlType
// entry's mode and raster operation ("Stretch To Fit;Source Copy").
#include <algorithm>
#include <cstdint>
#include <utility>

#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwlookup.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/images.h"

namespace {

// The raster operations a ControlType entry names; names are exact and any
// other name copies.
TCopyMode RasterOpOf(const std::string& name) {
  static const std::pair<const char*, TCopyMode> kOps[] = {
      {"Source Copy", SRCCOPY},       {"Source Paint", SRCPAINT},
      {"Source And", SRCAND},         {"Source Invert", SRCINVERT},
      {"Source Erase", SRCERASE},     {"Not Source Copy", NOTSRCCOPY},
      {"Not Source Erase", NOTSRCERASE}, {"Merge Paint", MERGEPAINT},
  };
  for (const auto& [text, op] : kOps)
    if (name == text) return op;
  return SRCCOPY;
}

// Pictures stored by some programs start with a graphic header of 8 bytes:
// the 16-bit words 1 and 256, then the size of what follows.
constexpr std::size_t kGraphicHeader = 8;

std::string WithoutGraphicHeader(std::string bytes) {
  if (bytes.size() < kGraphicHeader) return bytes;
  const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(bytes[i])); };
  const std::uint32_t first = byte(0) | byte(1) << 8, second = byte(2) | byte(3) << 8;
  const std::uint32_t size = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
  if (first == 1 && second == 256 && size == bytes.size() - kGraphicHeader) bytes.erase(0, kGraphicHeader);
  return bytes;
}

// `length` scaled by `to` / `from` (from > 0), in 64 bits: pictures and cells may both be large.
int Scaled(int length, int to, int from) { return int(std::int64_t(length) * to / from); }

// The picture scaled to `dest` first, then copied: the class library's
// stretch ignores the copy mode, the copy takes it.
void DrawScaled(TCanvas* c, const TRect& dest, TBitmap* picture) {
  if (dest.Width() <= 0 || dest.Height() <= 0) return;
  TBitmap scaled;
  scaled.SetSize(dest.Width(), dest.Height());
  const TRect all{0, 0, dest.Width(), dest.Height()};
  scaled.Canvas()->StretchDraw(all, picture);
  c->CopyRect(dest, scaled.Canvas(), all);
}

}  // namespace

// A picture is read from the field itself, or for a lookup field (the class
// library's or one named in LookupFields) from its lookup table's result
// field. The new record being inserted has no stored picture yet.
std::unique_ptr<TBitmap> TwwDBGrid::CellPicture(TField* field, bool insertedRow) {
  TDataSet* ds = field->DataSet();
  TField* source = field;
  if (field->FieldKind() == fkLookup || !wwGetLookupResultName(ds, field->FieldName()).empty())
    source = wwGetLookupResultField(ds, field, [ds](const std::string& name) { return ds->FieldByName(name); });
  else if (insertedRow && field->FieldKind() == fkData)
    return nullptr;
  if (!source || !source->IsBlob() || source->IsNull()) return nullptr;
  auto picture = std::make_unique<TBitmap>();
  try {
    TStringStream stream(WithoutGraphicHeader(source->AsString()));
    picture->LoadFromStream(&stream);
  } catch (const Exception&) {
    return nullptr;  // not a picture: the cell shows its background
  }
  if (picture->Width() <= 0 || picture->Height() <= 0) return nullptr;
  return picture;
}

void TwwDBGrid::DrawPicture(const TRect& r, TBitmap* picture, const std::string& mode) {
  TCanvas* c = Canvas();
  const int cw = r.Right - r.Left, ch = r.Bottom - r.Top;
  const int pw = picture->Width(), ph = picture->Height();
  if (mode == "Original Size") {
    // The top-left part that fits one pixel inside the cell.
    const int w = std::min(pw, cw - 1), h = std::min(ph, ch - 1);
    if (w > 0 && h > 0)
      c->CopyRect({r.Left + 1, r.Top + 1, r.Left + 1 + w, r.Top + 1 + h}, picture->Canvas(), {0, 0, w, h});
    return;
  }
  if (mode == "Stretch To Fit") {
    DrawScaled(c, r, picture);
    return;
  }
  int w = 0, h = 0;
  if (mode == "Fit Height") {
    h = ch;
    w = Scaled(pw, ch, ph);
    if (w > cw) w = cw, h = Scaled(ph, cw, pw);
  } else if (mode == "Fit Width") {
    w = cw;
    h = Scaled(ph, cw, pw);
    if (h > ch) h = ch, w = Scaled(pw, ch, ph);
  }
  // A picture shrunk to a sliver shows nothing worth seeing.
  if (w > 2 && h > 2) DrawScaled(c, {r.Left, r.Top, r.Left + w, r.Top + h}, picture);
}

void TwwDBGrid::PaintBitmapCell(int ACol, int ARow, const TRect& r, TGridDrawState state,
                                const std::string& parameter) {
  TCanvas* c = Canvas();
  const std::vector<std::string> pieces = wwSplitPieces(parameter, ";");
  const std::string mode = pieces.empty() ? std::string() : pieces[0];
  const TCopyMode op = RasterOpOf(pieces.size() > 1 ? pieces[1] : std::string());
  TDataSet* ds = ActiveDataSet();
  const bool insertedRow = ds && ds->State() == dsInsert && DataRow(ARow) == DataLink()->ActiveRecord();
  BeginCellFrame();
  AtRow(DataRow(ARow), [&] {
    std::unique_ptr<TBitmap> picture = CellPicture(GetField(DataColumn(ACol)), insertedRow);
    if (!picture) {
      FillControlCell(ACol, ARow, r, state);
      return;
    }
    const TCopyMode saved = c->CopyMode();
    c->SetCopyMode(op);
    const bool highlight = FillControlCell(ACol, ARow, r, state);
    DrawPicture(r, picture.get(), mode);
    c->SetCopyMode(saved);
    if (!highlight) return;
    c->Brush()->SetColor(clHighlight);
    c->FrameRect(r);
    MarkFramed();
  });
}
