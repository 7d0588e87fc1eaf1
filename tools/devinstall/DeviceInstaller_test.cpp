// The installer's choices that do not need the co-installer: which recorded
// scanner it acts on, and the udev rule that goes with its package.
#include "tools/devinstall/DeviceInstaller.h"

#include "platform/base/strings.h"
#include "platform/devices/UsbBus.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/LibusbDevice.h"
#include "platform/usb/UsbBackend.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace {

TEST(DevInstallTest, WithoutAnInstanceIdTheScannerPluggedInIsChosen)
{
    plat::testing::TempSystemRoot root;
    plat::devices::DeviceRecord first;
    plat::devices::DeviceRecord second;
    ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"AAA", u"Scanner", u"Maker"}, &first));
    ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"BBB", u"Scanner", u"Maker"}, &second));
    EXPECT_EQ(devinstall::FindScanner({})->instanceId, first.instanceId);

    plat::usb::AttachInProcessDevice(second.interfacePath, std::make_shared<plat::usb::testing::FakeUsbDevice>());
    EXPECT_EQ(devinstall::FindScanner({})->instanceId, second.instanceId);
    EXPECT_EQ(devinstall::FindScanner(Utf16ToUtf8(first.instanceId))->instanceId, first.instanceId);
    plat::usb::DetachInProcessDevice(second.interfacePath);
}

// Every model the package serves has its line in the rule, giving access to
// the user at the machine and to the group "scanner", and no other does.
TEST(DevInstallTest, TheUdevRuleGivesAccessToEveryModelOfThePackage)
{
    EXPECT_EQ(std::filesystem::path(QBK_UDEV_RULE).filename(), plat::usb::kUdevRuleFile);
    std::ifstream rules(QBK_UDEV_RULE);
    ASSERT_TRUE(rules);
    const std::regex ids(R"re(ATTR\{idVendor\}=="([0-9a-f]{4})", ATTR\{idProduct\}=="([0-9a-f]{4})")re");
    std::set<std::u16string> covered;
    for (std::string line; std::getline(rules, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line, match, ids)) << line;
        EXPECT_NE(line.find(R"(SUBSYSTEM=="usb", ENV{DEVTYPE}=="usb_device")"), std::string::npos) << line;
        EXPECT_NE(line.find(R"(MODE="0660", GROUP="scanner", TAG+="uaccess")"), std::string::npos) << line;
        const std::string hardwareId = "USB\\VID_" + match[1].str() + "&PID_" + match[2].str();
        covered.insert(plat::devices::ToUpperAscii(std::u16string(hardwareId.begin(), hardwareId.end())));
    }
    const devinstall::InstallationValues values;
    EXPECT_EQ(covered, std::set<std::u16string>(values.hardwareIds.begin(), values.hardwareIds.end()));
}

} // namespace
