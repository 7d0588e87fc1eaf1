#include "halservice/ScannerEnum.h"

#include "diag/RecordingLogSink.h"
#include "halservice/USBDevice.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/setupapi.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ScannerEnumTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::u16string& path : m_attached)
            plat::usb::DetachInProcessDevice(path);
    }

    std::u16string Add(WORD vendorId, WORD productId, const char16_t* serial, bool present)
    {
        plat::devices::DeviceRecord record;
        EXPECT_TRUE(plat::devices::AddDevice({vendorId, productId, serial, u"Scanner", u"Maker"}, &record));
        if (present) {
            plat::usb::AttachInProcessDevice(record.interfacePath,
                                             std::make_shared<plat::usb::testing::FakeUsbDevice>());
            m_attached.push_back(record.interfacePath);
        }
        return record.interfacePath;
    }

    void Criterion(DWORD vendorId, DWORD productId)
    {
        m_enum.m_criterionVendorId = vendorId;
        m_enum.m_criterionProductId = productId;
    }

    plat::testing::TempSystemRoot m_root;
    std::vector<std::u16string> m_attached;
    CScannerEnum m_enum;
};

TEST_F(ScannerEnumTest, NothingPresentFindsNothingAndLogsNoDeviceLine)
{
    RecordingLogSink sink;
    m_enum.SetLogInterface(&sink);
    sink.RegisterLogName(u"Scanner Enumerator")->store(LOG_TRACE);
    Add(0x0ABC, 0x0DEF, u"ABSENT", false);
    Criterion(0x0ABC, 0x0DEF);

    EXPECT_FALSE(m_enum.FindScanners());
    EXPECT_TRUE(m_enum.FoundDevices().empty());
    std::vector<std::u16string> lines;
    for (const LogRecord& record : sink.records)
        lines.push_back(record.text);
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"FindScanners Entered", u"FindScanners Exit [FALSE]"}));
    sink.RegisterLogName(u"Scanner Enumerator")->store(0);
    m_enum.SetLogInterface(nullptr);
}

TEST_F(ScannerEnumTest, ListsEveryPresentMatchInEnumerationOrder)
{
    const std::u16string first = Add(0x0ABC, 0x0DEF, u"SN1", true);
    const std::u16string second = Add(0x0ABC, 0x0DEF, u"SN2", true);
    Add(0x0ABC, 0x0DF0, u"OTHERMODEL", true);
    Add(0x04B8, 0x0DEF, u"OTHERVENDOR", true);
    Add(0x0ABC, 0x0DEF, u"SN3", false);
    Criterion(0x0ABC, 0x0DEF);

    ASSERT_TRUE(m_enum.FindScanners());
    EXPECT_EQ(m_enum.FoundDevices(), (std::vector<std::u16string>{first, second}));
    EXPECT_TRUE(m_enum.IsDevicePresent(first));
    EXPECT_TRUE(m_enum.IsDevicePresent(second));

    std::u16string upper = second;
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    EXPECT_FALSE(m_enum.IsDevicePresent(upper));

    // The second model is found with its own criterion; the list is redone.
    Criterion(0x0ABC, 0x0DF0);
    ASSERT_TRUE(m_enum.FindScanners());
    EXPECT_EQ(m_enum.FoundDevices().size(), 1u);
    EXPECT_FALSE(m_enum.IsDevicePresent(first));
}

TEST_F(ScannerEnumTest, MatchingIsCaseSensitiveOnLowerCaseFourDigitIds)
{
    const struct {
        DWORD vendorId;
        DWORD productId;
        const char16_t* path;
        bool match;
    } cases[] = {
        {0x0ABC, 0x0DEF, u"\\\\?\\usb#vid_0abc&pid_0def#sn1#{guid}", true},
        {0x0ABC, 0x0DEF, u"\\\\?\\usb#pid_0def&vid_0abc#sn1", true},
        {0x0ABC, 0x0DEF, u"\\\\?\\USB#VID_0ABC&PID_0DEF#SN1", false},
        {0x0ABC, 0x0DEF, u"\\\\?\\usb#vid_0ABC&pid_0DEF#sn1", false},
        {0x0ABC, 0x0DEF, u"\\\\?\\usb#vid_abc&pid_def#sn1", false},
        {0x0ABC, 0x0DEF, u"\\\\?\\usb#vid_0abc#sn1", false},
        {0x0001, 0x12345, u"\\\\?\\usb#vid_0001&pid_12345#sn1", true},
    };
    for (const auto& c : cases) {
        Criterion(c.vendorId, c.productId);
        EXPECT_EQ(m_enum.MatchDevicePath(c.path), c.match)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
    }
}

TEST_F(ScannerEnumTest, CreatesAClosedDeviceForAMatchingPathOnly)
{
    RecordingLogSink sink;
    m_enum.SetLogInterface(&sink);
    Criterion(0x0ABC, 0x0DEF);

    EXPECT_EQ(m_enum.CreateScannerDevice(u"\\\\?\\usb#vid_04b8&pid_0def#sn1"), nullptr);

    std::unique_ptr<CUSBDevice> device(m_enum.CreateScannerDevice(u"\\\\?\\usb#vid_0abc&pid_0def#sn1"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetVendorId(), 0x0ABCu);
    EXPECT_EQ(device->GetProductId(), 0x0DEFu);
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(device->GetLogInterface(), &sink);
    EXPECT_EQ(device->GetLogName(), u"USB Device");
    device->SetLogInterface(nullptr);
    m_enum.SetLogInterface(nullptr);
}

TEST_F(ScannerEnumTest, GetImageDevicePathPastTheLastInterface)
{
    const std::u16string path = Add(0x0ABC, 0x0DEF, u"SN1", true);
    DWORD error = 1;
    std::u16string found;
    ASSERT_TRUE(GetImageDevicePath(GUID_DEVINTERFACE_IMAGE, 0, error, found));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(found, path);
    EXPECT_FALSE(GetImageDevicePath(GUID_DEVINTERFACE_IMAGE, 1, error, found));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
}

} // namespace
