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

    // Runs a command line as a shell in `folder` does.
    static int Shell(const fs::path& folder, const std::string& line, std::string* output)
    {
        return Run({"/bin/bash", "-c", "cd \"" + folder.string() + "\" && " + line}, output);
    }

    fs::path m_temp;
};

// The lines of the README's code blocks.
std::vector<std::string> ReadmeCommands()
{
    std::ifstream readme(fs::path(QBK_SOURCE_DIR) / "README.md");
    std::vector<std::string> commands;
    bool inBlock = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("```", 0) == 0)
            inBlock = !inBlock;
        else if (inBlock)
            commands.push_back(line);
    }
    return commands;
}

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
                   "mount -t tmpfs tmpfs \"$3\" && exec /bin/bash \"$0\" \"$@\"", script, prefix.string(), out.string(),
                   QBK_BUILD_DIR},
                  &output),
              0)
        << output;
    EXPECT_NE(output.find("Quillbox K24"), std::string::npos) << output;
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"page-001.bmp", "page-001.tif", "page-002.bmp", "page-002.tif",
                                                      "page-003.tif", "page-004.tif", "shellpage.png"}))
        << output;
}

// A user who follows the README: installs into ~/.local, plugs in the
// emulated scanner, installs it, lists and scans with the commands as the
// README writes them, on the default system root (no QBK_SYSROOT), from a
// folder where `build` is the build tree.
TEST_F(InstalledSuiteTest, TheReadmesCommandsFindListAndScanOnTheDefaultRoot)
{
    const std::string install = "cmake --install build --prefix ~/.local";
    const std::string plugIn = "qbk-scanner-emu --sheets 3";
    const std::vector<std::string> scan = {
        "devinstall install", "twainscan --list", "mkdir -p scans",
        "twainscan --pixel gray --dpi 150 --size a4 --duplex --xfer memory --out scans"};
    const std::string remove = "devinstall remove";
    std::vector<std::string> written = {install, plugIn, remove};
    written.insert(written.end(), scan.begin(), scan.end());
    const std::vector<std::string> readme = ReadmeCommands();
    for (const std::string& command : written)
        ASSERT_NE(std::find(readme.begin(), readme.end(), command), readme.end()) << "not in the README: " << command;

    const fs::path home = m_temp / "home";
    const fs::path work = m_temp / "work";
    fs::create_directories(home);
    fs::create_directories(work);
    fs::create_directory_symlink(QBK_BUILD_DIR, work / "build");
    const std::string path =
        (home / ".local/bin").string() + ":" + fs::path(QBK_CMAKE).parent_path().string() + ":/usr/bin:/bin";
    const ScopedVariable homeVariable("HOME", home.string()), pathVariable("PATH", path),
        noRoot(plat::kSysRootVariable), noXdg("XDG_DATA_HOME"), noLibraryPath("LD_LIBRARY_PATH");

    std::string output;
    ASSERT_EQ(Shell(work, install, &output), 0) << output;
    plat::testing::ChildProcess emulator({"/bin/bash", "-c", "exec " + plugIn});
    ASSERT_TRUE(emulator.Started());
    ASSERT_EQ(emulator.ReadLine().rfind("device ", 0), 0u);
    ASSERT_EQ(emulator.ReadLine().rfind("ready ", 0), 0u);
    std::string listed;
    for (const std::string& command : scan) {
        SCOPED_TRACE(command);
        ASSERT_EQ(Shell(work, command, &output), 0) << output;
        if (command == "twainscan --list")
            listed = output;
    }
    EXPECT_NE(listed.find("Quillbox K24"), std::string::npos) << listed;
    EXPECT_EQ(FilesIn(work / "scans"), (std::vector<std::string>{"page-001.tif", "page-002.tif", "page-003.tif",
                                                                 "page-004.tif", "page-005.tif", "page-006.tif"}));
    EXPECT_TRUE(fs::is_regular_file(home / ".local/share/qbk24/windows/twain_32/RNX/QBK24_0000.ds"));
    EXPECT_EQ(Shell(work, remove, &output), 0) << output;
}

} // namespace
