// The shell extension installed as the device installer installs it, on a
// fresh system root: the emulator program as the plugged-in scanner,
// devinstall staging the library and running the co-installer, whose
// registration the shell's look-up then finds; the tool draws the page and
// the icons; removal takes the registration back.
#include "platform/testing/ChildProcess.h"
#include "platform/testing/ScopedVariable.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/testing/XvfbDisplay.h"
#include "platform/windows.h"
#include "shellext/RNXShellExtIds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildProcess;
using plat::testing::RunProgram;

// The default value of a key under HKCR; "<none>" when the key is missing.
std::u16string ClassesValue(const std::u16string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return u"<none>";
    WCHAR value[1024] = {};
    DWORD bytes = sizeof value - sizeof(WCHAR);
    DWORD type = 0;
    const bool read =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read ? std::u16string(value) : u"<no value>";
}

// Width and height from a PNG file's header; {0, 0} when it is no PNG.
std::pair<int, int> PngSize(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 || !std::equal(std::begin(signature), std::end(signature), bytes.begin()))
        return {0, 0};
    const auto word = [&](size_t at) {
        return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    };
    return {word(16), word(20)};
}

using plat::testing::ScopedVariable;

class ShellExtensionInstallTest : public ::testing::Test {
protected:
    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    plat::testing::TempSystemRoot m_root;
    ChildProcess m_emulator{{QBK_EMULATOR, "--sheets", "1", "--serial", "shell01"}};
};

TEST_F(ShellExtensionInstallTest, InstallationRegistersTheStagedLibraryWhichTheToolShows)
{
    ASSERT_TRUE(m_emulator.Started());
    ASSERT_EQ(m_emulator.ReadLine().rfind("device ", 0), 0u);
    ASSERT_EQ(m_emulator.ReadLine().rfind("ready ", 0), 0u);
    std::string output;
    ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &output), 0) << output;

    const fs::path staged = fs::path(plat::SystemFolder()) / "RNX" / "RNXShellExtx.dll";
    ASSERT_TRUE(fs::is_regular_file(staged));
    const std::u16string handler = u"CLSID\\" + plat::GuidToWideString(CLSID_RNXWIADialogExtHandler);
    const std::u16string page = plat::GuidToWideString(CLSID_RNXHWPropertyPage);
    EXPECT_EQ(ClassesValue(handler + u"\\InprocServer32"), Utf8ToUtf16(staged.string()));
    EXPECT_EQ(ClassesValue(u"CLSID\\" + page + u"\\InprocServer32"), Utf8ToUtf16(staged.string()));
    EXPECT_EQ(ClassesValue(handler + u"\\shellex\\PropertySheetHandlers\\" + page), u"RNX Shell Extenstion");

    const fs::path picture = fs::path(m_root.Path()) / "page.png";
    ASSERT_EQ(RunProgram({QBK_SHELLPAGE, "page", picture.string()}, &output), 0) << output;
    const auto [width, height] = PngSize(picture);
    EXPECT_GT(width, 400) << output;
    EXPECT_GT(height, 300) << output;

    const fs::path icons = fs::path(m_root.Path()) / "icons";
    ASSERT_EQ(RunProgram({QBK_SHELLPAGE, "icon", icons.string()}, &output), 0) << output;
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(PngSize(icons / ("icon-" + std::to_string(size) + ".png")), std::make_pair(size, size));
    }

    // In a window: nowhere without a display; on one, what it shows of the
    // sheet.
    const fs::path shown = fs::path(m_root.Path()) / "window.png";
    {
        const ScopedVariable noDisplay("DISPLAY"), noWayland("WAYLAND_DISPLAY"), noHeadless("QBK_HEADLESS_UI");
        EXPECT_EQ(RunProgram({QBK_SHELLPAGE, "window", "--capture", shown.string()}, &output), 1);
        setenv("QBK_HEADLESS_UI", "1", 1); // the headless model shows nobody anything either
        EXPECT_EQ(RunProgram({QBK_SHELLPAGE, "window", "--capture", shown.string()}, &output), 1);
        EXPECT_FALSE(fs::exists(shown));
    }
    if (plat::testing::XvfbDisplay::ServerProgram().empty()) {
        std::puts("Xvfb is not installed (scripts/deps.sh installs it): the window is not shown");
    } else {
        std::string why;
        ASSERT_NE(plat::testing::XvfbDisplay::ForProcess(&why), nullptr) << why;
        const ScopedVariable noHeadless("QBK_HEADLESS_UI");
        ASSERT_EQ(RunProgram({QBK_SHELLPAGE, "window", "--capture", shown.string()}, &output), 0) << output;
        const auto [shownWidth, shownHeight] = PngSize(shown);
        EXPECT_GT(shownWidth, 400) << output;
        EXPECT_GT(shownHeight, 300) << output;
        if (const char* keep = std::getenv("QBK_KEEP_PICTURES"))
            fs::copy_file(shown, fs::path(keep) / "shellpage-window.png", fs::copy_options::overwrite_existing);
    }
    EXPECT_EQ(RunProgram({QBK_SHELLPAGE, "window", "--capture"}, &output), 2);

    ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "remove"}, &output), 0) << output;
    EXPECT_EQ(ClassesValue(handler), u"<none>");
    EXPECT_EQ(ClassesValue(u"CLSID\\" + page), u"<none>");
    EXPECT_NE(RunProgram({QBK_SHELLPAGE, "icon", icons.string()}, &output), 0) << output;
}

} // namespace
