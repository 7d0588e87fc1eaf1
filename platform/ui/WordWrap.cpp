#include "platform/ui/WordWrap.h"

#include <cstring>

namespace plat::ui {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The word's width on one unwrapped line.
int WordWidth(PangoLayout* line, int begin, int end, int length)
{
    PangoRectangle start;
    pango_layout_index_to_pos(line, begin, &start);
    int right = 0;
    if (end < length) {
        PangoRectangle after;
        pango_layout_index_to_pos(line, end, &after);
        right = after.x;
    } else {
        pango_layout_get_size(line, &right, nullptr);
    }
    return PANGO_PIXELS_CEIL(right - start.x);
}

} // namespace

PangoAttrList* WholeWords(PangoLayout* layout, int widthPixels)
{
    PangoAttrList* attributes = pango_attr_list_new();
    PangoLayout* line = pango_layout_copy(layout);
    pango_layout_set_width(line, -1);
    const char* text = pango_layout_get_text(line);
    const int length = static_cast<int>(std::strlen(text));
    for (int at = 0; at < length;) {
        if (IsSpace(text[at])) {
            ++at;
            continue;
        }
        int end = at;
        while (end < length && !IsSpace(text[end]))
            ++end;
        if (WordWidth(line, at, end, length) <= widthPixels) {
            PangoAttribute* whole = pango_attr_allow_breaks_new(FALSE);
            whole->start_index = static_cast<guint>(at);
            whole->end_index = static_cast<guint>(end);
            pango_attr_list_insert(attributes, whole);
        }
        at = end;
    }
    g_object_unref(line);
    return attributes;
}

} // namespace plat::ui
