// The drawing calls of the dialog renderer over the 2-D graphics library:
// filled and framed rectangles, circles, and text in the dialog font laid
// out as the system lays out control text (one line, or wrapped at word
// ends, aligned, cut at the control's edges).
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

#include <memory>
#include <string_view>

namespace plat::ui {

// How a text sits in its rectangle.
struct TextLayout {
    enum class Align { Left, Centre, Right };
    Align align = Align::Left;
    bool wrap = false;          // word-wrapped lines from the top; else one line
    bool centreVertically = true; // one line only
    bool underline = false;
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
    // A circle inside `r`, filled or drawn as a ring.
    void Circle(const RECT& r, uint32_t color, bool filled);
    void Text(const RECT& r, std::u16string_view text, uint32_t color, const TextLayout& layout = {});
    // The height of one line of the dialog font, in pixels.
    int LineHeight();

    RgbImage Image();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace plat::ui
