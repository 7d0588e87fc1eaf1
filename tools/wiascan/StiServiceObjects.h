// The two objects the image-acquisition service hands a still-image driver:
// the device-control block of IStiUSD::Initialize, which names the device,
// and the device object of drvInitializeWia. Each is created with one
// reference for its creator.
#pragma once

#include "platform/windows.h"

#include <atomic>
#include <string>

namespace wiascan {

class StiDeviceControl final : public IStiDeviceControl {
public:
    explicit StiDeviceControl(std::u16string devicePath) : m_devicePath(std::move(devicePath)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;
    HRESULT GetMyDevicePortName(LPWSTR pszDevicePath, DWORD cwDevicePathSize) override;

private:
    std::atomic<ULONG> m_refs{1};
    const std::u16string m_devicePath;
};

class StiDevice final : public IStiDevice {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace wiascan
