#include "tools/diagnostics/DiagTool.h"

#include "platform/base/winerror.h"
#include "platform/com/objbase.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/diagnostics/DiagnosticsSettings.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class DiagToolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }

    int Run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return RunDiagTool(args, out, err);
    }

    plat::testing::TempSystemRoot root;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(DiagToolTest, EnablesDisablesAndListsNames)
{
    ASSERT_EQ(Run({"register", QBK_DIAGCONFIG_LIBRARY}), 0) << err.str();
    ASSERT_EQ(diagnostics::RegisterComponent(u"Quillbox K24 HAL", u"USB Device"), S_OK);
    ASSERT_EQ(diagnostics::RegisterComponent(u"Quillbox K24 HAL", u"USB Device.Data"), S_OK);

    ASSERT_EQ(Run({"enable", "Quillbox K24 HAL", "USB Device", "QBK24 Device"}), 0) << err.str();
    ASSERT_EQ(Run({"list"}), 0) << err.str();
    EXPECT_EQ(out.str(), "Quillbox K24 HAL\n"
                         "  on   QBK24 Device\n"
                         "  on   USB Device\n"
                         "  off  USB Device.Data\n");

    ASSERT_EQ(Run({"disable", "Quillbox K24 HAL", "USB Device"}), 0) << err.str();
    ASSERT_EQ(Run({"list", "Quillbox K24 HAL"}), 0) << err.str();
    EXPECT_NE(out.str().find("  off  USB Device\n"), std::string::npos) << out.str();
}

TEST_F(DiagToolTest, SetsTheLevelMaskOfNamedSettings)
{
    ASSERT_EQ(Run({"register", QBK_DIAGCONFIG_LIBRARY}), 0) << err.str();
    struct Case {
        std::vector<std::string> args;
        const WCHAR* settings;
        DWORD mask;
    } cases[] = {
        {{"levels", "7"}, u"RNX Diagnostics", 7},
        {{"levels", "0x5", "Other"}, u"Other", 5},
        {{"levels", "0"}, u"RNX Diagnostics", 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(c.args), 0) << err.str();
        DWORD mask = 99;
        ASSERT_EQ(diagnostics::GetLevelMask(c.settings, &mask), S_OK);
        EXPECT_EQ(mask, c.mask);
    }
}

TEST_F(DiagToolTest, BadCommandLinesShowUsage)
{
    // clang-format off
    const std::vector<std::string> lines[] = {
        {}, {"frobnicate"}, {"enable", "app"}, {"levels"}, {"levels", "seven"}, {"levels", "0x"},
        {"list", "a", "b"}, {"unregister", "x"},
    };
    // clang-format on
    for (const auto& args : lines) {
        EXPECT_EQ(Run(args), 2);
        EXPECT_NE(err.str().find("usage:"), std::string::npos);
    }
}

TEST_F(DiagToolTest, WithoutTheComponentItFailsAndSaysSo)
{
    EXPECT_EQ(Run({"list"}), 1);
    EXPECT_NE(err.str().find("not available"), std::string::npos) << err.str();

    ASSERT_EQ(Run({"register", QBK_DIAGCONFIG_LIBRARY}), 0) << err.str();
    ASSERT_EQ(Run({"unregister"}), 0) << err.str();
    EXPECT_EQ(Run({"enable", "Quillbox K24 HAL", "USB Device"}), 1);
}

} // namespace
