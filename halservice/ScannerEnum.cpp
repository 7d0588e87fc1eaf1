#include "halservice/ScannerEnum.h"

#include "diag/FormatWide.h"
#include "halservice/LogText.h"
#include "halservice/USBDevice.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/setupapi.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace {

struct DeviceInfoSetCloser {
    void operator()(void* set) const { SetupDiDestroyDeviceInfoList(set); }
};

} // namespace

bool GetImageDevicePath(const GUID& interfaceClass, DWORD index, DWORD& error, std::u16string& path)
{
    error = ERROR_INVALID_PARAMETER;
    HDEVINFO rawSet = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (rawSet == INVALID_HANDLE_VALUE || rawSet == nullptr) {
        error = ::GetLastError();
        return false;
    }
    const std::unique_ptr<void, DeviceInfoSetCloser> set(rawSet);

    error = ERROR_INVALID_PARAMETER;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (!SetupDiEnumDeviceInterfaces(rawSet, nullptr, &interfaceClass, index, &interfaceData)) {
        error = ::GetLastError();
        return false;
    }

    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailW(rawSet, &interfaceData, nullptr, 0, &required, nullptr)) {
        error = ERROR_INVALID_PARAMETER; // a size query cannot succeed
        return false;
    }
    const DWORD sizeError = ::GetLastError();
    if (sizeError != static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) {
        error = sizeError;
        return false;
    }
    // The record must at least hold its header and a terminator.
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + sizeof(WCHAR)) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }

    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[required]);
    if (!buffer) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(rawSet, &interfaceData, detail, required, nullptr, nullptr)) {
        error = ::GetLastError();
        return false;
    }
    // The path ends at its terminator or at the end of the record.
    const size_t maxChars = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
    const WCHAR* text = detail->DevicePath;
    size_t length = 0;
    while (length < maxChars && text[length] != 0)
        ++length;
    path.assign(text, length);
    error = 0;
    return true;
}

CScannerEnum::CScannerEnum() : CTraceClient(u"Scanner Enumerator") {}

bool CScannerEnum::FindScanners()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FindScanners Entered");
    m_foundList.clear();
    for (DWORD index = 0;; ++index) {
        DWORD error = 0;
        std::u16string path;
        if (!GetImageDevicePath(GUID_DEVINTERFACE_IMAGE, index, error, path))
            break;
        if (MatchDevicePath(path)) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Device %s recognized, adding to list", path.c_str());
            m_foundList.push_back(path);
        } else if (IsLogging(LOG_TRACE)) {
            LogTrace(u"Device %s not recognized, skipping", path.c_str());
        }
    }
    const bool found = !m_foundList.empty();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FindScanners Exit [%s]", TrueFalse(found));
    return found;
}

bool CScannerEnum::MatchDevicePath(const std::u16string& path)
{
    const std::u16string vendor = FormatWide(u"vid_%04x", m_criterionVendorId);
    const std::u16string product = FormatWide(u"pid_%04x", m_criterionProductId);
    return path.find(vendor) != std::u16string::npos && path.find(product) != std::u16string::npos;
}

CUSBDevice* CScannerEnum::CreateScannerDevice(const std::u16string& path)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CreateScannerDevice Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Params: %s", path.c_str());
    CUSBDevice* device = nullptr;
    if (MatchDevicePath(path)) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Creating a USB Device Object");
        device = new (std::nothrow) CUSBDevice;
        if (device) {
            device->SetLogInterface(GetLogInterface());
            device->SetUniqueName(path);
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CreateScannerDevice Exit [0x%08X]", Hex32(device));
    return device;
}

bool CScannerEnum::IsDevicePresent(const std::u16string& path)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"IsDevicePresent Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Params: %s", path.c_str());
    bool present = false;
    for (const std::u16string& entry : m_foundList) {
        if (entry == path) {
            present = true;
            break;
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"IsDevicePresent Exit [%s]", TrueFalse(present));
    return present;
}
