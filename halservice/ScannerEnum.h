// Finds the scanner's device interface among the present imaging devices by
// its USB vendor and product id, and wraps a path in a CUSBDevice.
#pragma once

#include "diag/TraceClient.h"
#include "platform/base/guid.h"
#include "platform/base/wintypes.h"

#include <string>
#include <vector>

class CUSBDevice;

// The device path of the index-th present interface of the class; one
// self-contained enumeration per call. error: 0 on success, else the reason
// (ERROR_NO_MORE_ITEMS past the last interface).
bool GetImageDevicePath(const GUID& interfaceClass, DWORD index, DWORD& error, std::u16string& path);

class CScannerEnum : public CTraceClient {
public:
    CScannerEnum();

    // Every present imaging interface whose path carries the criterion ids.
    bool FindScanners();
    // The path holds "vid_xxxx" and "pid_xxxx" of the criterion (lower-case
    // hexadecimal, at least four digits), case-sensitively, in either order.
    bool MatchDevicePath(const std::u16string& path);
    // A new device for a matching path, not opened; the caller owns it.
    CUSBDevice* CreateScannerDevice(const std::u16string& path);
    // The path is in the list of the last search (exact comparison).
    bool IsDevicePresent(const std::u16string& path);

    const std::vector<std::u16string>& FoundDevices() const { return m_foundList; }

    // The criterion; the owner writes it before a search.
    DWORD m_criterionVendorId = 0;
    DWORD m_criterionProductId = 0;

private:
    std::vector<std::u16string> m_foundList;
};
