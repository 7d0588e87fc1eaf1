#include "tools/scannertool/ScannerTool.h"

#include "emulator/EmulatedScanner.h"
#include "halservice/testing/EmulatorBackend.h"
#include "platform/base/strings.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

namespace {

class ScannerToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"TOOL1", u"Scanner", u"Maker"}, &m_record));
        emulator::ScannerConfig config;
        config.counter = 42;
        m_scanner = std::make_shared<emulator::EmulatedScanner>(config);
        plat::usb::AttachInProcessDevice(m_record.interfacePath,
                                         std::make_shared<hal::testing::EmulatorBackend>(m_scanner));
    }
    void TearDown() override { plat::usb::DetachInProcessDevice(m_record.interfacePath); }

    int Run(const std::vector<std::string>& args)
    {
        m_out.str({});
        m_err.str({});
        return scannertool::Run(args, m_out, m_err);
    }

    plat::testing::TempSystemRoot m_root;
    plat::devices::DeviceRecord m_record;
    std::shared_ptr<emulator::EmulatedScanner> m_scanner;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(ScannerToolTest, CommandsAgainstTheEmulator)
{
    const std::string path = Utf16ToUtf8(m_record.interfacePath);
    const struct {
        std::vector<std::string> args;
        std::function<void(emulator::EmulatedScanner&)> setup;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"list"}, nullptr, 0, Utf16ToUtf8(m_record.instanceId) + "  " + path + "\n"},
        {{"--device", Utf16ToUtf8(m_record.instanceId), "counter"}, nullptr, 0, "counter: 42\n"},
        {{"inquiry"}, nullptr, 0, "vendor: QUILLBOX\nproduct: K24\nrevision: T.50\n"},
        {{"--path", path, "counter"}, nullptr, 0, "counter: 42\n"},
        {{"keys"},
         [](emulator::EmulatedScanner& s) {
             s.QueueKeyEvent(emulator::PanelKey::Simplex, emulator::KeyAction::Press);
             s.QueueKeyEvent(emulator::PanelKey::Duplex, emulator::KeyAction::Release);
         },
         0,
         "key: simplex press\nkey: duplex release\n"},
        {{"keys"}, nullptr, 0, ""},
        {{"document"},
         [](emulator::EmulatedScanner& s) {
             s.LoadSheets(1, emulator::Sheet{11000, 5});
         },
         0,
         "document: present\nsize code: 5\n"},
        {{"document"}, [](emulator::EmulatedScanner& s) { s.LoadSheets(0); }, 0, "document: none\nsize code: 0\n"},
        {{"ready"}, [](emulator::EmulatedScanner& s) { s.SetCoverOpen(true); }, 1, ""},
        // The failed command's run already fetched the sense, so the scanner has none left.
        {{"sense"}, nullptr, 0, "sense: key 0, ASC 00, ASCQ 00, residue 0\ntext: NO SENSE\n"},
        {{"frobnicate"}, nullptr, 2, ""},
        {{}, nullptr, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.back());
        if (c.setup)
            c.setup(*m_scanner);
        EXPECT_EQ(Run(c.args), c.exitCode) << m_err.str();
        EXPECT_EQ(m_out.str(), c.out);
    }
}

TEST_F(ScannerToolTest, AFailureSaysWhatTheScannerReported)
{
    m_scanner->SetCoverOpen(true);
    EXPECT_EQ(Run({"ready"}), 1);
    EXPECT_EQ(m_err.str(), "TEST UNIT READY failed: DOOR OPEN\n");
}

TEST_F(ScannerToolTest, NoScannerPresent)
{
    plat::usb::DetachInProcessDevice(m_record.interfacePath);
    EXPECT_EQ(Run({"inquiry"}), 1);
    EXPECT_EQ(m_err.str(), "no supported scanner is present\n");
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_EQ(m_out.str(), "");
}

// The tool as a program on a system root whose registry is no database:
// it says so instead of listing nothing.
TEST(ScannerToolProgramTest, ADamagedRegistryIsReportedNotListedAsEmpty)
{
    plat::testing::TempSystemRoot root;
    std::ofstream(root.Path() + "/registry.db", std::ios::binary | std::ios::trunc) << "not a database at all";
    for (const char* command : {"list", "inquiry"}) {
        SCOPED_TRACE(command);
        plat::testing::ChildProcess tool({QBK_SCANNERTOOL, command}, plat::testing::ChildPipes::WithErrors);
        const std::string output = tool.RestOfOutput();
        EXPECT_EQ(tool.Wait(), 1);
        EXPECT_EQ(output.rfind("scannertool: cannot read the device database (error 1009: the registry is damaged)", 0),
                  0u)
            << output;
    }
}

} // namespace
