// The drawing calls of the dialog renderer over the 2-D graphics library:
// filled and framed rectangles, lines, circles, images, and text in the
// dialog font laid out as the system lays out control text (one line, or
// wrapped at word ends, aligned, cut at the control's edges).
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

#include <memory>
#include <string_view>
#include <vector>

namespace plat::ui {

// A part of a text drawn as a link: in its own colour, underlined.
struct TextLink {
    size_t begin; // UTF-16 units
    size_t end;
    uint32_t color;
};

// How a text sits in its rectangle. Wrapped lines that need more room than
// the rectangle's height run on below it, as a label on the display grows,
// instead of being cut.
struct TextLayout {
    enum class Align { Left, Centre, Right };
    Align align = Align::Left;
    bool wrap = false;            // word-wrapped lines from the top; else one line
    bool centreVertically = true; // one line only
    std::vector<TextLink> links = {};
};

class DialogPainter {
public:
    // A canvas of the given size filled with `background`.
    DialogPainter(int width, int height, uint32_t background);
    ~DialogPainter();
    DialogPainter(const DialogPainter&) = delete;
    DialogPainter& operator=(const DialogPainter&) = delete;

    void Fill(const RECT& r, uint32_t color);
    void Frame(const RECT& r, uint32_t color);
    // A line one pixel wide from (x0, y0) to (x1, y1), both ends included:
    // horizontal or vertical.
    void Line(int x0, int y0, int x1, int y1, uint32_t color);
    // The image scaled into `r`, over what is there.
    void Picture(const RECT& r, const RgbaImage& image);
    // A circle inside `r`, filled or drawn as a ring.
    void Circle(const RECT& r, uint32_t color, bool filled);
    void Text(const RECT& r, std::u16string_view text, uint32_t color, const TextLayout& layout = {});
    // The height of one line of the dialog font, in pixels.
    int LineHeight();
    // The width of a text on one line, in pixels.
    int TextWidth(std::u16string_view text);

    RgbImage Image();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace plat::ui
