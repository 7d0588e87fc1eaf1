#include "platform/ui/BitmapFont.h"

namespace plat::ui {

namespace {

struct Glyph {
    char16_t c;
    const char* rows; // 5 rows of 3 columns, '#' is ink
};

// Rows separated by spaces, top to bottom.
const Glyph kGlyphs[] = {
    {u'A', ".#. #.# ### #.# #.#"},
    {u'B', "##. #.# ##. #.# ##."},
    {u'C', ".## #.. #.. #.. .##"},
    {u'D', "##. #.# #.# #.# ##."},
    {u'E', "### #.. ##. #.. ###"},
    {u'F', "### #.. ##. #.. #.."},
    {u'G', ".## #.. #.# #.# .##"},
    {u'H', "#.# #.# ### #.# #.#"},
    {u'I', "### .#. .#. .#. ###"},
    {u'J', "..# ..# ..# #.# .#."},
    {u'K', "#.# #.# ##. #.# #.#"},
    {u'L', "#.. #.. #.. #.. ###"},
    {u'M', "#.# ### ### #.# #.#"},
    {u'N', "##. #.# #.# #.# #.#"},
    {u'O', ".#. #.# #.# #.# .#."},
    {u'P', "##. #.# ##. #.. #.."},
    {u'Q', ".#. #.# #.# ##. .##"},
    {u'R', "##. #.# ##. #.# #.#"},
    {u'S', ".## #.. .#. ..# ##."},
    {u'T', "### .#. .#. .#. .#."},
    {u'U', "#.# #.# #.# #.# ###"},
    {u'V', "#.# #.# #.# #.# .#."},
    {u'W', "#.# #.# ### ### #.#"},
    {u'X', "#.# #.# .#. #.# #.#"},
    {u'Y', "#.# #.# .#. .#. .#."},
    {u'Z', "### ..# .#. #.. ###"},
    {u'0', "### #.# #.# #.# ###"},
    {u'1', ".#. ##. .#. .#. ###"},
    {u'2', "##. ..# .#. #.. ###"},
    {u'3', "##. ..# .#. ..# ##."},
    {u'4', "#.# #.# ### ..# ..#"},
    {u'5', "### #.. ##. ..# ##."},
    {u'6', ".## #.. ### #.# ###"},
    {u'7', "### ..# .#. .#. .#."},
    {u'8', "### #.# ### #.# ###"},
    {u'9', "### #.# ### ..# ##."},
    {u'.', "... ... ... ... .#."},
    {u',', "... ... ... .#. #.."},
    {u':', "... .#. ... .#. ..."},
    {u';', "... .#. ... .#. #.."},
    {u'-', "... ... ### ... ..."},
    {u'_', "... ... ... ... ###"},
    {u'(', "..# .#. .#. .#. ..#"},
    {u')', "#.. .#. .#. .#. #.."},
    {u'/', "..# ..# .#. #.. #.."},
    {u'\\', "#.. #.. .#. ..# ..#"},
    {u'\'', ".#. .#. ... ... ..."},
    {u'"', "#.# #.# ... ... ..."},
    {u'!', ".#. .#. .#. ... .#."},
    {u'?', "##. ..# .#. ... .#."},
    {u'&', ".#. #.# .#. #.# .##"},
    {u'%', "#.# ..# .#. #.. #.#"},
    {u'+', "... .#. ### .#. ..."},
    {u'=', "... ### ... ### ..."},
    {u'<', "..# .#. #.. .#. ..#"},
    {u'>', "#.. .#. ..# .#. #.."},
    {u'[', "##. #.. #.. #.. ##."},
    {u']', ".## ..# ..# ..# .##"},
    {u'*', "... #.# .#. #.# ..."},
    {u'#', "#.# ### #.# ### #.#"},
    {u'@', "### #.# ### #.. ###"},
    {u'$', ".## ##. .#. .## ##."},
    {u' ', "... ... ... ... ..."},
};


const char* kMissing = "### #.# #.# #.# ###";

const char* Rows(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        c = static_cast<char16_t>(c - u'a' + u'A');
    for (const Glyph& g : kGlyphs) {
        if (g.c == c)
            return g.rows;
    }
    return kMissing;
}

} // namespace

void DrawText(RgbImage& image, int x, int y, std::u16string_view text, uint32_t color, const ClipRect& clip)
{
    for (char16_t c : text) {
        const char* rows = Rows(c);
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (rows[row * 4 + col] != '#')
                    continue;
                for (int dy = 0; dy < kGlyphScale; ++dy) {
                    for (int dx = 0; dx < kGlyphScale; ++dx) {
                        const int px = x + col * kGlyphScale + dx;
                        const int py = y + row * kGlyphScale + dy;
                        if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom ||
                            px < 0 || py < 0 || px >= image.width || py >= image.height)
                            continue;
                        image.pixels[static_cast<size_t>(py) * static_cast<size_t>(image.width) +
                                     static_cast<size_t>(px)] = color;
                    }
                }
            }
        }
        x += kCharWidth;
    }
}

} // namespace plat::ui
