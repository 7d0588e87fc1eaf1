// The two objects the image-acquisition service hands a still-image driver:
// the device-control block of IStiUSD::Initialize, which names the device,
// and the device object of drvInitializeWia. Each is created with one
// reference for its creator.
#pragma once

#include "platform/com/RefCounted.h"
#include "platform/windows.h"

#include <string>

namespace wiascan {

class StiDeviceControl final : public plat::RefCounted<IStiDeviceControl> {
public:
    explicit StiDeviceControl(std::u16string devicePath) : m_devicePath(std::move(devicePath)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetMyDevicePortName(LPWSTR pszDevicePath, DWORD cwDevicePathSize) override;

private:
    const std::u16string m_devicePath;
};

class StiDevice final : public plat::RefCounted<IStiDevice> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
};

} // namespace wiascan
