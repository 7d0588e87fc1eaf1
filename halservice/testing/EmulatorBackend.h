// Test helper: the scanner emulator behind a device path of this process,
// so that CUSBDevice reaches it through CreateFile, ReadFile and WriteFile.
// Every bulk IN request is recorded with the size the host asked for.
#pragma once

#include "emulator/EmulatedScanner.h"
#include "platform/usb/UsbBackend.h"

#include <memory>
#include <mutex>
#include <vector>

namespace hal::testing {

class EmulatorBackend : public plat::usb::UsbBackend {
public:
    explicit EmulatorBackend(std::shared_ptr<emulator::ScannerDevice> device) : m_device(std::move(device)) {}

    plat::usb::UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override
    {
        return Convert(m_device->BulkOut(data, size));
    }
    plat::usb::UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_inRequests.push_back(max);
        }
        return Convert(m_device->BulkIn(buffer, max));
    }
    bool ResetPipe(DWORD pipe) override { return m_device->ResetPipe(pipe); }
    bool CancelPipe(DWORD pipe) override { return m_device->CancelIo(pipe); }

    // The sizes of the bulk IN requests so far.
    std::vector<std::size_t> InRequests()
    {
        std::lock_guard lock(m_mutex);
        return m_inRequests;
    }
    void ClearInRequests()
    {
        std::lock_guard lock(m_mutex);
        m_inRequests.clear();
    }

private:
    static plat::usb::UsbResult Convert(emulator::TransferResult r)
    {
        using plat::usb::UsbStatus;
        switch (r.status) {
        case emulator::TransferStatus::Ok:
            return {UsbStatus::Ok, r.bytes};
        case emulator::TransferStatus::NoResponse:
            return {UsbStatus::NoResponse, 0};
        case emulator::TransferStatus::Stalled:
            return {UsbStatus::Stalled, 0};
        case emulator::TransferStatus::Disconnected:
            return {UsbStatus::Disconnected, 0};
        }
        return {UsbStatus::Disconnected, 0};
    }

    std::shared_ptr<emulator::ScannerDevice> m_device;
    std::mutex m_mutex;
    std::vector<std::size_t> m_inRequests;
};

} // namespace hal::testing
