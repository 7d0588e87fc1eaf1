// The still-image driver served as the image-acquisition service serves it,
// across processes on a fresh system root: the emulator program as the
// plugged-in scanner, devinstall installing it (the hardware service
// registered as a service), the driver loaded here from its installed file
// with the hardware service running out of process.
#include "stillimage/EscapeCodes.h"
#include "tools/wiascan/StiServiceObjects.h"
#include "tools/wiascan/WiaScanCommands.h"
#include "tools/wiascan/testing/WiaServiceTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace {

using plat::testing::ChildPipes;
using plat::testing::ChildProcess;
using plat::wia::WiaItem;
using wiascan::testing::WiaServiceTest;

constexpr HRESULT kLockViolation = static_cast<HRESULT>(0x80070021u);

TEST_F(WiaServiceTest, DocumentStatusIsReadyOnlyWithPaperInTheFeeder)
{
    ASSERT_EQ(S_OK, wiasWritePropLong(m_root->Context(), WIA_DPA_CONNECT_STATUS, 0));
    ASSERT_EQ(S_OK, m_host->ReadProperties(*m_root));
    EXPECT_EQ(Read(m_root, WIA_DPS_DOCUMENT_HANDLING_STATUS), FEED_READY);
    EXPECT_EQ(Read(m_root, WIA_DPA_CONNECT_STATUS), WIA_DEVICE_CONNECTED);

    ControlScanner("load 0");
    ASSERT_EQ(S_OK, m_host->ReadProperties(*m_root));
    EXPECT_EQ(Read(m_root, WIA_DPS_DOCUMENT_HANDLING_STATUS), 0);

    ControlScanner("load 3");
    ASSERT_EQ(S_OK, m_host->ReadProperties(*m_root));
    EXPECT_EQ(Read(m_root, WIA_DPS_DOCUMENT_HANDLING_STATUS), FEED_READY);
}

TEST_F(WiaServiceTest, ScannerLockedByAnotherProcessIsALockViolation)
{
    ChildProcess other({QBK_WIASCAN, "shell"}, ChildPipes::WithInput);
    ASSERT_TRUE(other.Started());
    ASSERT_TRUE(other.WriteLine("lock"));
    const std::string locked = other.ReadThrough("lock: ");
    ASSERT_NE(locked.find("lock: 0x00000000"), std::string::npos) << locked;

    EXPECT_EQ(kLockViolation, m_host->Usd()->LockDevice());
    // The service's requests need the scanner too.
    EXPECT_EQ(kLockViolation, m_host->ReadProperties(*m_root));

    ASSERT_TRUE(other.WriteLine("unlock"));
    const std::string unlocked = other.ReadThrough("unlock: ");
    ASSERT_NE(unlocked.find("unlock: 0x00000000"), std::string::npos) << unlocked;
    EXPECT_EQ(S_OK, m_host->Usd()->LockDevice());
    EXPECT_EQ(S_OK, m_host->Usd()->UnLockDevice());
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(WiaServiceTest, EscapeScsiCommandPassesACommandToTheScanner)
{
    ASSERT_EQ(S_OK, m_host->LockDevice());
    BYTE inquiry[96] = {};
    DWORD status = 0;
    ESCAPE_SCSI_COMMAND_BLOCK block{};
    block.dwDirection = 1;
    const BYTE cdb[] = {0x12, 0, 0, 0, sizeof inquiry, 0};
    std::memcpy(block.abCommand, cdb, sizeof cdb);
    block.wCommandLength = sizeof cdb;
    block.dwDataLength = sizeof inquiry;
    block.pData = inquiry;
    block.pdwStatus = &status;
    DWORD actual = 0;
    ASSERT_EQ(S_OK, m_host->Usd()->Escape(ESCAPE_SCSI_COMMAND, &block, sizeof block, nullptr, 0, &actual));
    EXPECT_EQ(status, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry) + 8, 8), "QUILLBOX");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry) + 16, 3), "K24");

    // A command the scanner refuses comes back as a failed status.
    const BYTE unknown[] = {0xFF, 0, 0, 0, 0, 0};
    std::memcpy(block.abCommand, unknown, sizeof unknown);
    block.dwDirection = 0;
    block.pData = nullptr;
    EXPECT_EQ(S_OK, m_host->Usd()->Escape(ESCAPE_SCSI_COMMAND, &block, sizeof block, nullptr, 0, &actual));
    EXPECT_EQ(status, 4u);
    EXPECT_EQ(S_OK, m_host->UnLockDevice());
}

TEST_F(WiaServiceTest, GeometryFollowsResolutionAndExtent)
{
    ASSERT_EQ(S_OK, Write(m_feeder, {{WIA_IPS_XRES, 300}, {WIA_IPS_YRES, 300}}));
    EXPECT_EQ(Read(m_feeder, WIA_IPS_XEXTENT), 2550);
    EXPECT_EQ(Read(m_feeder, WIA_IPS_YEXTENT), 3300);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_PIXELS_PER_LINE), 2550);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_NUMBER_OF_LINES), 3300);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_BYTES_PER_LINE), 320);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_ITEM_SIZE), 320 * 3300 + 48);

    ASSERT_EQ(S_OK, Write(m_feeder, {{WIA_IPS_XEXTENT, 1000}, {WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}}));
    EXPECT_EQ(Read(m_feeder, WIA_IPA_PIXELS_PER_LINE), 1000);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_BYTES_PER_LINE), 1000);
    EXPECT_EQ(Read(m_feeder, WIA_IPA_ITEM_SIZE), 1000 * 3300 + 1064);

    // A refused change is undone.
    EXPECT_EQ(E_INVALIDARG, Write(m_feeder, {{WIA_IPS_XRES, 250}}));
    EXPECT_EQ(Read(m_feeder, WIA_IPS_XRES), 300);
}

TEST_F(WiaServiceTest, SynchronizeAndEventsLeaveTheClientsServed)
{
    IWiaDrvItem* oldRoot = m_root->DrvItem();
    oldRoot->AddRef();
    ASSERT_EQ(S_OK, m_host->DeviceCommand(WIA_CMD_SYNCHRONIZE));
    WiaItem* root = m_host->FindItem(u"Root");
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root->DrvItem(), oldRoot);
    LONG flags = 0;
    ASSERT_EQ(S_OK, oldRoot->GetItemFlags(&flags));
    EXPECT_EQ(flags & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    oldRoot->Release();
    ASSERT_NE(m_host->FindItem(u"0000\\Root\\Feeder"), nullptr);
    EXPECT_EQ(m_host->Items().Entries().size(), 2u);
    EXPECT_EQ(E_NOTIMPL, m_host->DeviceCommand(WIA_EVENT_DEVICE_CONNECTED));

    for (const GUID& event : {WIA_EVENT_DEVICE_DISCONNECTED, WIA_EVENT_DEVICE_CONNECTED, WIA_EVENT_POWER_SUSPEND,
                              WIA_EVENT_POWER_RESUME, WIA_EVENT_CANCEL_IO})
        EXPECT_EQ(S_OK, m_host->NotifyEvent(event)) << plat::GuidToString(event);
    EXPECT_EQ(E_NOTIMPL, m_host->NotifyEvent(WIA_CMD_SYNCHRONIZE));

    // Still served: the items read and the scanner answers.
    ASSERT_EQ(S_OK, m_host->ReadProperties(*root));
    EXPECT_EQ(Read(root, WIA_DPS_DOCUMENT_HANDLING_STATUS), FEED_READY);
}

// The device's commands and events as a host lists them, and each of them
// served: a listed command runs, a listed event is taken.
TEST_F(WiaServiceTest, CapabilitiesListTheCommandsAndEventsTheDriverServes)
{
    std::string output;
    ASSERT_EQ(S_OK, wiascan::RunCommand(*m_host, {"capabilities"}, &output));
    EXPECT_EQ(output,
              "command Synchronize {9B26B7B2-ACAD-11D2-A093-00C04F72DC3C} \"Synchronize Command\" icon sti.dll,-2000\n"
              "event Connected {A28BBADE-64B6-11D2-A231-00C04FA31809} \"PnP Device Arrival Event\" icon "
              "sti.dll,-1001 (notification)\n"
              "event Disconnected {143E4E83-6497-11D2-A231-00C04FA31809} \"PnP Device Removal Event\" icon "
              "sti.dll,-1001 (notification)\n"
              "capabilities: 0x00000000\n");

    std::vector<wiascan::DeviceCapability> commands, events;
    ASSERT_EQ(S_OK, m_host->Capabilities(WIA_DEVICE_COMMANDS, &commands));
    ASSERT_EQ(S_OK, m_host->Capabilities(WIA_DEVICE_EVENTS, &events));
    for (const auto& command : commands)
        EXPECT_EQ(S_OK, m_host->DeviceCommand(command.guid)) << plat::GuidToString(command.guid);
    for (const auto& event : events)
        EXPECT_EQ(S_OK, m_host->NotifyEvent(event.guid)) << plat::GuidToString(event.guid);
}

TEST_F(WiaServiceTest, ClientsKeepTheTreeUntilTheLastLeaves)
{
    const plat::ComPtr<IWiaDrvItem> held(m_root->DrvItem());
    IWiaDrvItem* root = held.Get();
    ASSERT_EQ(S_OK, m_host->Connect());
    EXPECT_EQ(m_host->FindItem(u"Root"), m_root); // the same tree
    ASSERT_EQ(S_OK, m_host->Disconnect());
    LONG flags = 0;
    ASSERT_EQ(S_OK, root->GetItemFlags(&flags));
    EXPECT_EQ(flags & WiaItemTypeDisconnected, 0);

    // Clients coming and going on two threads at once, as the service's
    // threads do, while this one stays connected.
    std::atomic<int> failures{0};
    auto client = [&] {
        plat::ScopedBstr deviceId(m_host->Scanner().deviceId);
        plat::ScopedBstr rootName(m_host->Scanner().rootFullItemName);
        IWiaMiniDrv* driver = m_host->MiniDriver();
        plat::ComPtr<IStiDevice> device;
        device.Attach(new wiascan::StiDevice);
        for (int i = 0; i < 200; ++i) {
            IWiaDrvItem* shared = nullptr;
            LONG error = 0;
            if (driver->drvInitializeWia(m_root->Context(), 0, deviceId.Get(), rootName.Get(), device.Get(), nullptr,
                                         &shared, nullptr, &error) != S_OK ||
                shared != root)
                ++failures;
            if (driver->drvUnInitializeWia(m_root->Context()) != S_OK)
                ++failures;
        }
    };
    std::thread first(client);
    std::thread second(client);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    ASSERT_EQ(S_OK, root->GetItemFlags(&flags));
    EXPECT_EQ(flags & WiaItemTypeDisconnected, 0);

    ASSERT_EQ(S_OK, m_host->Disconnect());
    EXPECT_TRUE(m_host->Items().Empty());
    ASSERT_EQ(S_OK, root->GetItemFlags(&flags));
    EXPECT_EQ(flags & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
}

TEST_F(WiaServiceTest, ProgramListsAndWritesAsAnApplicationWould)
{
    // The driver is loaded by the program as well; this test's own host
    // stays connected meanwhile.
    std::string output;
    ASSERT_EQ(
        plat::testing::RunProgram({QBK_WIASCAN, "set", "Feeder", "Horizontal Resolution=300", "6148=300"}, &output), 0)
        << output;
    EXPECT_NE(output.find("4112 Pixels Per Line = 2550  (read-only)"), std::string::npos) << output;
    EXPECT_NE(output.find("set: 0x00000000"), std::string::npos) << output;

    ASSERT_EQ(plat::testing::RunProgram({QBK_WIASCAN, "list", "Root"}, &output), 0) << output;
    EXPECT_NE(output.find("3087 Document Handling Status = 1"), std::string::npos) << output;
    EXPECT_EQ(plat::testing::RunProgram({QBK_WIASCAN, "set", "Root", "3088=2"}, &output), 1) << output;
    EXPECT_NE(output.find("set: 0x80070057"), std::string::npos) << output;
    EXPECT_EQ(plat::testing::RunProgram({QBK_WIASCAN, "frobnicate"}, &output), 1) << output;
    EXPECT_NE(output.find("unknown command frobnicate"), std::string::npos) << output;
}

} // namespace
