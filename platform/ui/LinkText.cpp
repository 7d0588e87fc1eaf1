#include "platform/ui/LinkText.h"

namespace plat::ui {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithNoCase(std::u16string_view text, size_t at, std::u16string_view prefix)
{
    if (text.size() - at < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[at + i]) != prefix[i])
            return false;
    }
    return true;
}

// The value of `name="..."` inside a tag; empty when it is not there.
std::u16string Attribute(std::u16string_view tag, std::u16string_view name)
{
    for (size_t at = 0; at < tag.size(); ++at) {
        if (!StartsWithNoCase(tag, at, name) || (at > 0 && tag[at - 1] != u' '))
            continue;
        size_t value = at + name.size();
        if (value + 1 >= tag.size() || tag[value] != u'=' || tag[value + 1] != u'"')
            continue;
        value += 2;
        const size_t close = tag.find(u'"', value);
        return std::u16string(tag.substr(value, close == std::u16string_view::npos ? close : close - value));
    }
    return {};
}

} // namespace

LinkText ParseLinkText(std::u16string_view markup)
{
    LinkText link;
    LinkAnchor* open = nullptr;
    size_t at = 0;
    while (at < markup.size()) {
        const size_t tagEnd = markup[at] == u'<' ? markup.find(u'>', at) : std::u16string_view::npos;
        if (tagEnd == std::u16string_view::npos) {
            link.text.push_back(markup[at++]);
            continue;
        }
        const std::u16string_view tag = markup.substr(at + 1, tagEnd - at - 1);
        if (!open && (tag == u"a" || StartsWithNoCase(tag, 0, u"a "))) {
            link.anchors.push_back(LinkAnchor{link.text.size(), link.text.size(), Attribute(tag, u"href")});
            open = &link.anchors.back();
        } else if (open && StartsWithNoCase(tag, 0, u"/a") && tag.size() == 2) {
            open->end = link.text.size();
            open = nullptr;
        }
        at = tagEnd + 1;
    }
    if (open)
        open->end = link.text.size();
    return link;
}

} // namespace plat::ui
