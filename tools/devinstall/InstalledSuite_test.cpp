// The suite as a user installs it with `cmake --install` and runs it from
// there: with the build tree out of reach, and with the README's own
// commands on the default system root.
#include "platform/base/sysroot.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/ScopedVariable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using plat::testing::ScopedVariable;

class InstalledSuiteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "qbk24-installed.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_temp = pattern;
    }

    // Whatever still runs from the installation or the root ends here.
    void TearDown() override
    {
        plat::testing::KillProgramsRunFrom(m_temp.string());
        std::error_code error;
        fs::remove_all(m_temp, error);
    }

    // Runs a program with its error output mixed into `output`.
    static int Run(std::vector<std::string> args, std::string* output)
    {
        plat::testing::ChildProcess child(std::move(args), plat::testing::ChildPipes::WithErrors);
        if (!child.Started())
            return -1;
        *output = child.RestOfOutput();
        return child.Wait();
    }

    static std::string Bash(const std::string& command, int* status)
    {
        std::string output;
        *status = Run({"/bin/bash", "-c", command}, &output);
        return output;
    }

    fs::path m_temp;
};

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Installed into a prefix and run in a mount namespace of its own in which
// an empty folder lies over the build tree: nothing it runs, copies or
// loads can come from there.
TEST_F(InstalledSuiteTest, TheInstallationScansWithTheBuildTreeOutOfReach)
{
    const fs::path prefix = m_temp / "prefix";
    const fs::path out = m_temp / "scans";
    fs::create_directories(out);
    std::string output;
    ASSERT_EQ(Run({QBK_CMAKE, "--install", QBK_BUILD_DIR, "--prefix", prefix.string()}, &output), 0) << output;

    // Some containers allow no user or mount namespaces: that is the
    // machine's limit, not the installation's.
    std::string probe;
    if (Run({"/usr/bin/unshare", "--user", "--map-root-user", "--mount", "/bin/true"}, &probe) != 0)
        GTEST_SKIP() << "no user and mount namespaces here: " << probe;

    const ScopedVariable root(plat::kSysRootVariable, (m_temp / "root").string());
    const std::string script = fs::path(QBK_SOURCE_DIR) / "tools/devinstall/testing/scan-installed.sh";
    ASSERT_EQ(Run({"/usr/bin/unshare", "--user", "--map-root-user", "--mount", "/bin/sh", "-c",
                   "mount -t tmpfs tmpfs \"$3\" && exec /bin/bash \"$0\" \"$@\"", script, prefix.string(),
                   out.string(), QBK_BUILD_DIR},
                  &output),
              0)
        << output;
    EXPECT_NE(output.find("Quillbox K24"), std::string::npos) << output;
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"page-0001.bmp", "page-0002.bmp", "page-001.tif",
                                                       "page-002.tif", "page-003.tif", "page-004.tif",
                                                       "shellpage.png"}))
        << output;
}

} // namespace
