// The published grid's "Bitmap" cells: the picture stored in the field, drawn
// at its size, stretched, or fitted to the cell's height or width, with the
// raster operation the field's ControlType entry names.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "datactrls/wwdbgrid.h"
#include "datactrls/wwfieldsettings.h"
#include "datactrls/wwstr.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/classlib/graphics/images.h"

namespace {

struct RopName {
  const char* name;
  TCopyMode mode;
};
// Names compare exactly; any other name copies.
constexpr RopName kRops[] = {
    {"Source Copy", SRCCOPY},         {"Source Paint", SRCPAINT},
    {"Source And", SRCAND},           {"Source Invert", SRCINVERT},
    {"Source Erase", SRCERASE},       {"Not Source Copy", NOTSRCCOPY},
    {"Not Source Erase", NOTSRCERASE}, {"Merge Paint", MERGEPAINT},
};

TCopyMode CopyModeNamed(const std::string& name) {
  for (const RopName& r : kRops)
    if (name == r.name) return r.mode;
  return SRCCOPY;
}

// Pictures stored by the graphic field carry an 8-byte header: the words 1
// and 256, then the size of what follows.
std::string WithoutGraphicHeader(const std::string& data) {
  constexpr size_t kHeader = 8;
  if (data.size() < kHeader) return data;
  uint16_t first, second;
  uint32_t size;
  std::memcpy(&first, data.data(), 2);
  std::memcpy(&second, data.data() + 2, 2);
  std::memcpy(&size, data.data() + 4, 4);
  if (first == 1 && second == 256 && size == data.size() - kHeader) return data.substr(kHeader);
  return data;
}

// Null when the bytes are no picture the class library reads, or an empty one.
std::unique_ptr<TBitmap> PictureOf(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  try {
    TStringStream stream(WithoutGraphicHeader(bytes));
    bitmap->LoadFromStream(&stream);
  } catch (const Exception&) {
    return nullptr;
  }
  if (bitmap->Width() <= 0 || bitmap->Height() <= 0) return nullptr;
  return bitmap;
}

// The picture scaled to one side of the cell, the other side shrunk when it
// would not fit.
TRect Fitted(const TRect& r, int w, int h, bool toHeight) {
  int cw = r.Width(), ch = r.Height();
  if (!toHeight) {
    std::swap(cw, ch);
    std::swap(w, h);
  }
  int64_t fw = int64_t(w) * ch / h, fh = ch;
  if (fw > cw) {
    fw = cw;
    fh = int64_t(h) * cw / w;
  }
  if (!toHeight) std::swap(fw, fh);
  return {r.Left, r.Top, r.Left + int(fw), r.Top + int(fh)};
}

// Scaled first, then copied: the copy is what takes the raster operation.
void DrawScaled(TCanvas* c, const TRect& dest, TBitmap* picture) {
  if (dest.Width() <= 0 || dest.Height() <= 0) return;
  TBitmap scaled;
  scaled.SetSize(dest.Width(), dest.Height());
  const TRect all{0, 0, dest.Width(), dest.Height()};
  scaled.Canvas()->StretchDraw(all, picture);
  c->CopyRect(dest, scaled.Canvas(), all);
}

void DrawPicture(TCanvas* c, const TRect& r, TBitmap* picture, const std::string& mode) {
  const int w = picture->Width(), h = picture->Height();
  if (mode == "Stretch To Fit") {
    DrawScaled(c, r, picture);
  } else if (mode == "Fit Height" || mode == "Fit Width") {
    const TRect f = Fitted(r, w, h, mode == "Fit Height");
    // Scaled below three pixels a picture is only noise.
    if (f.Width() > 2 && f.Height() > 2) DrawScaled(c, f, picture);
  } else {
    const int cw = std::min(w, r.Width() - 1), ch = std::min(h, r.Height() - 1);
    if (cw > 0 && ch > 0)
      c->CopyRect({r.Left + 1, r.Top + 1, r.Left + 1 + cw, r.Top + 1 + ch}, picture->Canvas(), {0, 0, cw, ch});
  }
}

}  // namespace

bool TwwDBGrid::PaintBitmapCell(int ACol, int ARow, const TRect& r, TGridDrawState state) {
  if (ARow < TitleOffset() || ACol < IndicatorOffset() || !DataLink()->Active()) return false;
  TField* field = GetField(DataColumn(ACol));
  if (!field) return false;
  const TwwControlTypeSetting setting = wwGetControlType(field->DataSet(), field->FieldName());
  if (!wwSameText(setting.TypeName, "Bitmap")) return false;
  const std::vector<std::string> parts = wwSplitPieces(setting.Parameter, ";");
  const int dataCol = DataColumn(ACol), dataRow = DataRow(ARow);
  TCanvas* c = Canvas();
  c->Brush()->SetColor(GetColumnColor(ACol));
  const bool highlight = IsCellHighlighted(dataCol, dataRow, state);
  if (highlight) c->Brush()->SetColor(clHighlight);
  CalcCellColors(field, state, highlight, c->Font(), c->Brush());
  c->FillRect(r);
  const int saved = DataLink()->ActiveRecord();
  std::unique_ptr<TBitmap> picture;
  try {
    DataLink()->SetActiveRecord(dataRow);
    // A record being inserted has no stored picture yet.
    const bool inserting = field->DataSet()->State() == dsInsert && dataRow == saved;
    if (!(inserting && field->FieldKind() == fkData)) picture = PictureOf(field->AsString());
  } catch (...) {
    DataLink()->SetActiveRecord(saved);
    throw;
  }
  DataLink()->SetActiveRecord(saved);
  if (picture) {
    const TCopyMode was = c->CopyMode();
    c->SetCopyMode(CopyModeNamed(parts.size() > 1 ? parts[1] : std::string()));
    DrawPicture(c, r, picture.get(), parts.empty() ? std::string() : parts[0]);
    c->SetCopyMode(was);
  }
  if (highlight) {
    c->Brush()->SetColor(clHighlight);
    c->FrameRect(r);
  }
  return true;
}
