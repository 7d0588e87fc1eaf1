// The settings an application left behind come back when the source is
// opened again in another process: a scan saves them under the user's
// configuration key, and the next opening restores them from there.
#include "twainds/testing/ScannerSourceTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Trellis::CTWAINOneValue;

using SettingsAcrossProcessesTest = qbk24::testing::ScannerSourceTest;

constexpr TW_UINT16 kInvertImage = 0x801E; // the scanner's own capability

TEST_F(SettingsAcrossProcessesTest, SettingsSurviveClosingAndReopeningInANewProcess)
{
    Install(1);
    struct Setting {
        TW_UINT16 id;
        CTWAINOneValue value;
        const char* line; // as the probe prints the current value
    };
    const Setting settings[] = {
        {ICAP_PIXELTYPE, CTWAINOneValue(static_cast<TW_UINT16>(TWPT_GRAY)), "0x0101 1"},
        {ICAP_BRIGHTNESS, CTWAINOneValue(300.0f), "0x1101 300"},
        {ICAP_JPEGQUALITY, CTWAINOneValue(65, TWTY_INT16), "0x1153 65"},
        {CAP_DUPLEXENABLED, CTWAINOneValue(true, TWTY_BOOL), "0x1013 1"},
        {ICAP_FILTER, CTWAINOneValue(static_cast<TW_UINT16>(TWFT_GREEN)), "0x1106 1"},
        {kInvertImage, CTWAINOneValue(true, TWTY_BOOL), "0x801E 1"},
    };
    std::vector<std::string> probe = {QBK_SETTINGS_PROBE, m_copy};
    std::string expected;
    for (const Setting& setting : settings) {
        ASSERT_EQ(TWRC_SUCCESS, SetCap(setting.id, setting.value)) << setting.line << ": " << ConditionCode();
        char id[8];
        std::snprintf(id, sizeof(id), "%04X", setting.id);
        probe.push_back(id);
        expected += std::string(setting.line) + "\n";
    }

    // A scan that starts saves the settings; the application then lets the
    // page go and closes the source.
    ASSERT_EQ(TWRC_SUCCESS, Enable()) << ConditionCode();
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending)) << ConditionCode();
    Disable();
    Close();

    std::string output;
    ASSERT_EQ(0, plat::testing::RunProgram(probe, &output)) << output;
    EXPECT_EQ(expected, output);
}

} // namespace
