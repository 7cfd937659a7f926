#pragma once
// The toolbar buttons' pictures: 16 x 16 pixel drawings kept in the program,
// in the sixteen classic colours so that the buttons' disabled look (made
// from the picture) stays clean.

#include <initializer_list>
#include <memory>
#include <string>

#include "platform/classlib/graphics/images.h"

// The side of every picture.
constexpr int kToolGlyphSize = 16;

// The picture made of the named layers, each drawn over the ones before it
// (a symbol and a small "add" or "remove" badge, say). The transparent
// colour is set. Raises EInvalidOperation for a name that is not drawn here.
std::unique_ptr<TBitmap> MakeToolGlyph(std::initializer_list<std::string> layers);
