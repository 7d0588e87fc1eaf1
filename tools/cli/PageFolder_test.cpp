#include "tools/cli/PageFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class PageFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pagefolder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        fs::permissions(m_folder, fs::perms::owner_all);
        fs::remove_all(m_folder);
    }
    void Touch(const std::string& name) { std::ofstream(m_folder / name) << "x"; }

    fs::path m_folder;
};

TEST_F(PageFolderTest, NamesHaveThreeDigitsAtLeast)
{
    EXPECT_EQ(cli::PageFileName(1, "tif"), "page-001.tif");
    EXPECT_EQ(cli::PageFileName(1234, "bmp"), "page-1234.bmp");
}

TEST_F(PageFolderTest, TheFolderIsCheckedBeforeASheetIsFed)
{
    Touch("file");
    EXPECT_EQ(cli::CheckPageFolder(m_folder.string(), 1000), "");
    EXPECT_EQ(cli::CheckPageFolder((m_folder / "missing").string(), 0),
              "the folder " + (m_folder / "missing").string() + " does not exist");
    EXPECT_EQ(cli::CheckPageFolder((m_folder / "file").string(), 0), (m_folder / "file").string() + " is not a folder");
    EXPECT_NE(cli::CheckPageFolder(m_folder.string(), 1ull << 62).find("has no room for a page"), std::string::npos);
    if (geteuid() != 0) {
        fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(cli::CheckPageFolder(m_folder.string(), 0).find("is not writable"), std::string::npos);
    }
}

TEST_F(PageFolderTest, PagesOfAnEarlierRunAreKeptUnlessForcedOrNumberedAfter)
{
    for (const char* name : {"page-001.tif", "page-004.tif", "page-009.tif.part", "page-007.bmp", "page-x.tif",
                             "page-8.tiff", "notes.txt"})
        Touch(name);
    const cli::PageKinds tiff = {"tif"};
    EXPECT_EQ(cli::HighestPageNumber(m_folder.string(), tiff), 4);
    EXPECT_EQ(cli::HighestPageNumber(m_folder.string(), {"bmp", "pgm"}), 7);
    const struct {
        int first;
        bool force;
        bool allowed;
    } cases[] = {{1, false, false}, {4, false, false}, {5, false, true}, {1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::string problem = cli::CheckPageNumbers(m_folder.string(), tiff, c.first, c.force);
        EXPECT_EQ(problem.empty(), c.allowed) << problem;
        if (!c.allowed) {
            EXPECT_NE(problem.find("up to page 4 of an earlier scan; --force replaces them, --batch-start 5"),
                      std::string::npos)
                << problem;
        }
    }
    EXPECT_EQ(cli::HighestPageNumber((m_folder / "missing").string(), tiff), 0);
}

} // namespace
