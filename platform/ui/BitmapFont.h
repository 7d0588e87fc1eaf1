// A small built-in pixel font for the dialog renderer: 3 x 5 glyphs drawn
// at twice their size, upper case only (lower case is drawn as upper case;
// characters without a glyph as an empty box).
#pragma once

#include "platform/ui/PngWriter.h"

#include <string_view>

namespace plat::ui {

constexpr int kGlyphScale = 2;
constexpr int kCharWidth = 3 * kGlyphScale + 1; // glyph and one pixel of space
constexpr int kCharHeight = 5 * kGlyphScale;

struct ClipRect {
    int left, top, right, bottom;
};

// Draws `text` with its top left corner at (x, y), cut at `clip`.
void DrawText(RgbImage& image, int x, int y, std::u16string_view text, uint32_t color, const ClipRect& clip);

} // namespace plat::ui
