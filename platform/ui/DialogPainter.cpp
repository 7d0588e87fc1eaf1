#include "platform/ui/DialogPainter.h"

#include "platform/base/strings.h"
#include "platform/ui/WordWrap.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>

namespace plat::ui {

namespace {

// The dialog font: the templates' 8 points at 96 dots per inch, an
// 11-pixel em as the system sizes it. The first family is metric-compatible
// with the common Windows sans-serif faces, so texts take the room they
// take there; the second stands in when it is missing.
constexpr const char* kFontFamilies = "Liberation Sans, DejaVu Sans, sans-serif";
constexpr int kFontPixels = 11;

void SetColor(cairo_t* cr, uint32_t color)
{
    cairo_set_source_rgb(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0);
}

// A link's part of the text, in its colour and underlined.
void AddLink(PangoAttrList* attributes, std::u16string_view text, const TextLink& link)
{
    const size_t end = std::min(link.end, text.size());
    if (link.begin >= end)
        return;
    const auto begin = static_cast<guint>(Utf16ToUtf8(text.substr(0, link.begin)).size());
    const auto stop = static_cast<guint>(begin + Utf16ToUtf8(text.substr(link.begin, end - link.begin)).size());
    const auto channel = [&](int shift) { return static_cast<guint16>(((link.color >> shift) & 0xFF) * 0x101); };
    for (PangoAttribute* a : {pango_attr_foreground_new(channel(16), channel(8), channel(0)),
                              pango_attr_underline_new(PANGO_UNDERLINE_SINGLE)}) {
        a->start_index = begin;
        a->end_index = stop;
        pango_attr_list_insert(attributes, a);
    }
}

} // namespace

struct DialogPainter::State {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    PangoLayout* layout = nullptr;
    int width = 0;
    int height = 0;
};

DialogPainter::DialogPainter(int width, int height, uint32_t background) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.width = std::max(width, 1);
    s.height = std::max(height, 1);
    s.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, s.width, s.height);
    s.cr = cairo_create(s.surface);
    s.layout = pango_cairo_create_layout(s.cr);

    // Smoothed text, hinted as the desktop's font configuration says (the
    // options left at their defaults take it), so that the picture's text
    // reads as the display's does.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(s.layout), options);
    cairo_font_options_destroy(options);
    PangoFontDescription* font = pango_font_description_from_string(kFontFamilies);
    pango_font_description_set_absolute_size(font, kFontPixels * PANGO_SCALE);
    pango_layout_set_font_description(s.layout, font);
    pango_font_description_free(font);
    pango_layout_context_changed(s.layout);

    Fill(RECT{0, 0, s.width, s.height}, background);
}

DialogPainter::~DialogPainter()
{
    g_object_unref(m_state->layout);
    cairo_destroy(m_state->cr);
    cairo_surface_destroy(m_state->surface);
}

void DialogPainter::Fill(const RECT& r, uint32_t color)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    SetColor(m_state->cr, color);
    cairo_rectangle(m_state->cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(m_state->cr);
}

void DialogPainter::Frame(const RECT& r, uint32_t color)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    // One pixel inside the rectangle, as FrameRect draws.
    SetColor(m_state->cr, color);
    cairo_set_line_width(m_state->cr, 1.0);
    cairo_rectangle(m_state->cr, r.left + 0.5, r.top + 0.5, r.right - r.left - 1, r.bottom - r.top - 1);
    cairo_stroke(m_state->cr);
}

void DialogPainter::Line(int x0, int y0, int x1, int y1, uint32_t color)
{
    Fill(RECT{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1}, color);
}

void DialogPainter::Picture(const RECT& r, const RgbaImage& image)
{
    if (image.width <= 0 || image.height <= 0 || r.right <= r.left || r.bottom <= r.top)
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < image.width; ++x) {
            // Cairo's pixels carry their colour premultiplied by alpha.
            const uint32_t p =
                image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
            const uint32_t alpha = p >> 24;
            uint32_t premultiplied = alpha << 24;
            for (int shift = 0; shift <= 16; shift += 8)
                premultiplied |= (((p >> shift) & 0xFF) * alpha + 127) / 255 << shift;
            row[x] = premultiplied;
        }
    }
    cairo_surface_mark_dirty(surface);
    cairo_t* cr = m_state->cr;
    cairo_save(cr);
    cairo_translate(cr, r.left, r.top);
    cairo_scale(cr, static_cast<double>(r.right - r.left) / image.width,
                static_cast<double>(r.bottom - r.top) / image.height);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

void DialogPainter::Circle(const RECT& r, uint32_t color, bool filled)
{
    const double radius = std::min(r.right - r.left, r.bottom - r.top) / 2.0;
    if (radius <= 0)
        return;
    cairo_t* cr = m_state->cr;
    SetColor(cr, color);
    cairo_new_path(cr);
    cairo_arc(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0, filled ? radius : radius - 0.5, 0, 6.2832);
    if (filled) {
        cairo_fill(cr);
    } else {
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
}

int DialogPainter::LineHeight()
{
    pango_layout_set_attributes(m_state->layout, nullptr);
    pango_layout_set_width(m_state->layout, -1);
    pango_layout_set_text(m_state->layout, "Ag", -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(m_state->layout, &width, &height);
    return height;
}

int DialogPainter::TextWidth(std::u16string_view text)
{
    const std::string utf8 = Utf16ToUtf8(text);
    pango_layout_set_attributes(m_state->layout, nullptr);
    pango_layout_set_width(m_state->layout, -1);
    pango_layout_set_text(m_state->layout, utf8.c_str(), static_cast<int>(utf8.size()));
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(m_state->layout, &width, &height);
    return width;
}

void DialogPainter::Text(const RECT& r, std::u16string_view text, uint32_t color, const TextLayout& how)
{
    if (text.empty() || r.right <= r.left || r.bottom <= r.top)
        return;
    State& s = *m_state;
    const std::string utf8 = Utf16ToUtf8(text);
    pango_layout_set_text(s.layout, utf8.c_str(), static_cast<int>(utf8.size()));
    const int boxWidth = r.right - r.left;
    pango_layout_set_width(s.layout, how.wrap ? boxWidth * PANGO_SCALE : -1);
    pango_layout_set_wrap(s.layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(s.layout, how.align == TextLayout::Align::Centre  ? PANGO_ALIGN_CENTER
                                         : how.align == TextLayout::Align::Right ? PANGO_ALIGN_RIGHT
                                                                                 : PANGO_ALIGN_LEFT);
    pango_layout_set_attributes(s.layout, nullptr);
    PangoAttrList* attributes = how.wrap ? WholeWords(s.layout, boxWidth) : pango_attr_list_new();
    for (const TextLink& link : how.links)
        AddLink(attributes, text, link);
    pango_layout_set_attributes(s.layout, attributes);
    pango_attr_list_unref(attributes);

    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(s.layout, &width, &height);
    int x = r.left;
    // One line wider than its box keeps its start in view, as the system
    // cuts it.
    if (!how.wrap && width < boxWidth) {
        if (how.align == TextLayout::Align::Centre)
            x = r.left + (boxWidth - width) / 2;
        else if (how.align == TextLayout::Align::Right)
            x = r.right - width;
    }
    const int y = !how.wrap && how.centreVertically ? r.top + (r.bottom - r.top - height) / 2 : r.top;

    cairo_save(s.cr);
    cairo_rectangle(s.cr, r.left, r.top, boxWidth, how.wrap ? s.height - r.top : r.bottom - r.top);
    cairo_clip(s.cr);
    SetColor(s.cr, color);
    cairo_move_to(s.cr, x, y);
    pango_cairo_show_layout(s.cr, s.layout);
    cairo_restore(s.cr);
}

RgbImage DialogPainter::Image()
{
    State& s = *m_state;
    cairo_surface_flush(s.surface);
    RgbImage image;
    image.width = s.width;
    image.height = s.height;
    image.pixels.resize(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
    const unsigned char* data = cairo_image_surface_get_data(s.surface);
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(s.surface));
    for (int y = 0; y < s.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < s.width; ++x)
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)] =
                row[x] & 0xFFFFFF;
    }
    return image;
}

} // namespace plat::ui
