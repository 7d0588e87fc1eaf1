// Test fixture: a CQBK24Interface bound to a CUSBDevice whose device path
// leads to an in-process scanner emulator, and the emulator's packet log.
#pragma once

#include "emulator/EmulatedScanner.h"
#include "halservice/QBK24Interface.h"
#include "halservice/USBDevice.h"
#include "halservice/testing/EmulatorBackend.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/UsbBackend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace hal::testing {

using Bytes = std::vector<BYTE>;

class EmulatedScannerFixture : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_device)
            m_device->Close();
        plat::usb::DetachInProcessDevice(m_path);
    }

    void Start(emulator::ScannerConfig config = {})
    {
        if (m_device)
            m_device->Close();
        m_scanner = std::make_shared<emulator::EmulatedScanner>(config);
        m_backend = std::make_shared<EmulatorBackend>(m_scanner);
        plat::usb::AttachInProcessDevice(m_path, m_backend);
        m_device = std::make_unique<CUSBDevice>();
        m_device->SetUniqueName(m_path);
        ASSERT_TRUE(m_device->Open());
        ASSERT_TRUE(m_interface.SetDevice(m_device.get()));
    }

    // The packets the host sent, whole ("command" or "data").
    std::vector<Bytes> Sent(const std::string& what)
    {
        std::vector<Bytes> packets;
        for (const auto& entry : m_scanner->Log().Entries()) {
            if (entry.kind == emulator::PacketLogEntry::Kind::Out && entry.what == what)
                packets.emplace_back(entry.bytes.begin(), entry.bytes.end());
        }
        return packets;
    }
    // The operation codes of the commands sent, in order.
    Bytes Opcodes()
    {
        Bytes codes;
        for (const Bytes& packet : Sent("command"))
            codes.push_back(packet.at(12));
        return codes;
    }
    void ClearLogs()
    {
        m_scanner->Log().Clear();
        m_backend->ClearInRequests();
    }

    // A 100 dpi colour window 1 in wide, 0.5 in long: 96 pixels of 3 bytes
    // by 50 lines, 14400 bytes per page.
    static WindowParams FrontWindow()
    {
        WindowParams window{};
        WindowDescriptor& d = window.Descriptor;
        d.wXRes = 100;
        d.wYRes = 100;
        d.dwWidth = 1200;
        d.dwLength = 600;
        d.byImgComposition = 5;
        d.byBitsPerPixel = 24;
        d.byContinuScanningPage = 0xFF;
        return window;
    }
    static constexpr DWORD kPageBytes = 14400;

    // Loads sheets, sets the front window and starts the scan.
    void StartScan(std::uint32_t sheets = 1)
    {
        m_scanner->LoadSheets(sheets);
        WindowParams window = FrontWindow();
        ASSERT_TRUE(m_interface.SetWindow(&window));
        ASSERT_TRUE(m_interface.Scan());
        ClearLogs();
    }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(0x0ABC, 0x0DEF, u"EMU1"));
    std::shared_ptr<emulator::EmulatedScanner> m_scanner;
    std::shared_ptr<EmulatorBackend> m_backend;
    std::unique_ptr<CUSBDevice> m_device;
    CQBK24Interface m_interface;
};

} // namespace hal::testing
