#include "platform/ui/LinkText.h"

#include <gtest/gtest.h>

namespace {

using plat::ui::LinkText;
using plat::ui::ParseLinkText;

TEST(LinkTextTest, OnlyTheAnchorsTextsAreLinks)
{
    struct Anchor {
        std::u16string text;
        std::u16string href;
    };
    const struct {
        std::u16string markup;
        std::u16string shown;
        std::vector<Anchor> anchors;
    } cases[] = {
        {u"No link here.", u"No link here.", {}},
        {u"See <a href=\"http://x.example/a\">http://x.example/a</a>.",
         u"See http://x.example/a.",
         {{u"http://x.example/a", u"http://x.example/a"}}},
        // Another attribute (the shell page's string uses src), and two anchors.
        {u"<a src=\"s\">one</a> and <A HREF=\"h\">two</A>", u"one and two", {{u"one", u""}, {u"two", u"h"}}},
        // Never closed: a link to the end. Other tags do not show.
        {u"<b>Bold</b> <a href=\"h\">open", u"Bold open", {{u"open", u"h"}}},
        {u"a < b", u"a < b", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.markup.begin(), c.markup.end()));
        const LinkText link = ParseLinkText(c.markup);
        EXPECT_EQ(link.text, c.shown);
        ASSERT_EQ(link.anchors.size(), c.anchors.size());
        for (size_t i = 0; i < c.anchors.size(); ++i) {
            EXPECT_EQ(link.text.substr(link.anchors[i].begin, link.anchors[i].end - link.anchors[i].begin),
                      c.anchors[i].text);
            EXPECT_EQ(link.anchors[i].href, c.anchors[i].href);
        }
    }
}

} // namespace
