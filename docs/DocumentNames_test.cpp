// What the README and the pages in docs/ point a reader to exists: every
// link reaches a file, and every file or folder of the tree they quote as
// code is there. A rename that leaves the pages behind would send a
// newcomer to a file that is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = QBK_SOURCE_DIR;

std::string Read(const fs::path& file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The targets of the page's relative links, without their anchors.
std::vector<std::string> LinkTargets(const std::string& text)
{
    static const std::regex link(R"(\]\(([^)#\s]+)(#[^)]*)?\))");
    std::vector<std::string> targets;
    for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
        const std::string target = (*it)[1];
        if (target.find("://") == std::string::npos)
            targets.push_back(target);
    }
    return targets;
}

// A top folder of the source tree; build folders lie there too but are
// not part of it.
bool IsTreeFolder(const std::string& name)
{
    return fs::is_directory(kSource / name) && !fs::exists(kSource / name / "CMakeCache.txt");
}

// The words of code spans and code blocks that name a file (with an
// extension) or a folder (ending in '/') below a top folder of the tree.
// Placeholders, patterns and paths under the system root are left alone.
std::vector<std::string> TreePaths(const std::string& text)
{
    static const std::regex code("`+([^`]+)`+");
    std::vector<std::string> paths;
    for (std::sregex_iterator it(text.begin(), text.end(), code), end; it != end; ++it) {
        std::istringstream words((*it)[1].str());
        for (std::string word; words >> word;) {
            while (!word.empty() && std::string(",.;:)").find(word.back()) != std::string::npos)
                word.pop_back();
            const size_t slash = word.find('/');
            const bool placeholder = word.find_first_of("<>*$~\"'=&{}()[]|") != std::string::npos;
            if (slash == std::string::npos || word[0] == '.' || word[0] == '/' || placeholder)
                continue;
            if (!IsTreeFolder(word.substr(0, slash)))
                continue;
            if (word.back() == '/' || fs::path(word).has_extension())
                paths.push_back(word);
        }
    }
    return paths;
}

std::vector<fs::path> Pages()
{
    std::vector<fs::path> pages = {kSource / "README.md"};
    for (const auto& entry : fs::directory_iterator(kSource / "docs"))
        if (entry.path().extension() == ".md")
            pages.push_back(entry.path());
    return pages;
}

TEST(DocumentNamesTest, WhatThePagesNameIsFoundInTheirText)
{
    struct Case {
        const char* text;
        std::vector<std::string> links;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"see [the design](docs/architecture.md#build) and [x](https://example.org/a.md)",
         {"docs/architecture.md"},
         {}},
        {"the table in `twainfw/CapabilityRoutes.cpp`, the folder `tools/udev/`.",
         {},
         {"twainfw/CapabilityRoutes.cpp", "tools/udev/"}},
        {"```\nctest --test-dir build -R X\nbuild/bin/halservice_xml_test\n```", {}, {}},
        {"`<root>/log/services/<service>.log`, `diag/EventLogObject`, `twainfw/*.cpp`, `nowhere/a.cpp`, "
         "`./scans/page-001.tif`, `/usr/local/lib/twain/`",
         {},
         {}},
        {"```\nmkdir -p /tmp/w\nfuzz /tmp/w twainfw/corpus/jpeg_decoder_fuzz/\n```",
         {},
         {"twainfw/corpus/jpeg_decoder_fuzz/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LinkTargets(c.text), c.links);
        EXPECT_EQ(TreePaths(c.text), c.paths);
    }
}

TEST(DocumentNamesTest, EveryLinkAndEveryPathOfTheTreeInThePagesExists)
{
    for (const fs::path& page : Pages()) {
        const std::string text = Read(page);
        ASSERT_FALSE(text.empty()) << page;
        for (const std::string& target : LinkTargets(text))
            EXPECT_TRUE(fs::exists(page.parent_path() / target)) << page.filename() << " links to " << target;
        for (const std::string& path : TreePaths(text))
            EXPECT_TRUE(fs::exists(kSource / path)) << page.filename() << " names " << path;
    }
}

} // namespace
