#include "winctrls/emboss.h"

std::unique_ptr<TBitmap> EmbossBitmap(TBitmap& source, TColor back, TColor shadow,
                                      const std::function<bool(TColor)>& marked) {
  auto out = std::make_unique<TBitmap>();
  out->SetSize(source.Width() + 1, source.Height() + 1);
  out->Canvas()->Brush()->SetColor(back);
  out->Canvas()->FillRect(Rect(0, 0, out->Width(), out->Height()));
  for (const auto& [color, d] : {std::pair{clBtnHighlight, 1}, std::pair{shadow, 0}})
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x)
        if (marked(source.Canvas()->Pixels(x, y))) out->Canvas()->SetPixels(x + d, y + d, color);
  out->SetTransparentColor(ColorToRGB(back));
  return out;
}

bool IsDark(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb) < 3 * 128;
}
