// What a link control shows: its text with the markup taken out, and where
// in that text each anchor (<a href="...">...</a>) stands. Only an anchor's
// text is a link; the rest reads as plain text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::ui {

struct LinkAnchor {
    size_t begin = 0; // in LinkText::text, UTF-16 units
    size_t end = 0;
    std::u16string href; // the href attribute; empty without one
};

struct LinkText {
    std::u16string text;
    std::vector<LinkAnchor> anchors;
};

// An anchor that is never closed runs to the end of the text; other tags
// are left out of what shows.
LinkText ParseLinkText(std::u16string_view markup);

} // namespace plat::ui
