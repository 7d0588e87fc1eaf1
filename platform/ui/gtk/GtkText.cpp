#include "platform/ui/gtk/GtkText.h"

#include "platform/base/strings.h"

#include <glib.h>

namespace plat::ui::gtk {

namespace {

std::string Escaped(const std::string& text)
{
    gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
    std::string result = escaped;
    g_free(escaped);
    return result;
}

std::string Caption(const std::u16string& text, bool keepMnemonic)
{
    std::u16string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            const char16_t next = text[++i];
            if (next != u'&' && keepMnemonic)
                shown.push_back(u'_');
            shown.push_back(next);
        } else if (c == u'_' && keepMnemonic) {
            shown += u"__";
        } else if (c != u'&') {
            shown.push_back(c);
        }
    }
    return Utf16ToUtf8(shown);
}

} // namespace

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::string MnemonicLabel(const std::u16string& text) { return Caption(text, true); }

std::string PlainLabel(const std::u16string& text) { return Caption(text, false); }

std::string LinkMarkup(const std::u16string& text)
{
    const std::string utf8 = Utf16ToUtf8(text);
    std::string markup;
    size_t at = 0;
    while (at < utf8.size()) {
        const size_t open = utf8.find("<a", at);
        const size_t openEnd = open == std::string::npos ? open : utf8.find('>', open);
        const size_t close = openEnd == std::string::npos ? openEnd : utf8.find("</a>", openEnd);
        if (close == std::string::npos) {
            markup += Escaped(utf8.substr(at));
            break;
        }
        markup += Escaped(utf8.substr(at, open - at));
        // The link's own attributes are kept only for its href.
        const std::string tag = utf8.substr(open, openEnd - open);
        std::string href;
        const size_t hrefAt = tag.find("href=\"");
        if (hrefAt != std::string::npos) {
            const size_t start = hrefAt + 6;
            href = tag.substr(start, tag.find('"', start) - start);
        }
        markup += "<a href=\"" + Escaped(href.empty() ? "#" : href) + "\">";
        markup += Escaped(utf8.substr(openEnd + 1, close - openEnd - 1)) + "</a>";
        at = close + 4;
    }
    return markup;
}

} // namespace plat::ui::gtk
