#include "platform/ui/gtk/GtkText.h"

#include "platform/base/strings.h"
#include "platform/ui/LinkText.h"

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
    const LinkText link = ParseLinkText(text);
    std::string markup;
    size_t at = 0;
    for (const LinkAnchor& anchor : link.anchors) {
        markup += Escaped(Utf16ToUtf8(link.text.substr(at, anchor.begin - at)));
        // The toolkit opens nothing itself: the model's owner decides.
        markup += "<a href=\"" + Escaped(anchor.href.empty() ? "#" : Utf16ToUtf8(anchor.href)) + "\">";
        markup += Escaped(Utf16ToUtf8(link.text.substr(anchor.begin, anchor.end - anchor.begin))) + "</a>";
        at = anchor.end;
    }
    return markup + Escaped(Utf16ToUtf8(link.text.substr(at)));
}

} // namespace plat::ui::gtk
