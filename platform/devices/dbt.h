// Device arrival and removal notices: RegisterDeviceNotification and the
// records that travel with WM_DEVICECHANGE and a service's device-event
// control.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/wintypes.h"

using HDEVNOTIFY = PVOID;

// Event types (the WM_DEVICECHANGE wParam, a service's event type).
constexpr DWORD DBT_DEVICEARRIVAL = 0x8000;
constexpr DWORD DBT_DEVICEQUERYREMOVE = 0x8001;
constexpr DWORD DBT_DEVICEQUERYREMOVEFAILED = 0x8002;
constexpr DWORD DBT_DEVICEREMOVEPENDING = 0x8003;
constexpr DWORD DBT_DEVICEREMOVECOMPLETE = 0x8004;

constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 0x00000005;

// RegisterDeviceNotification recipient kinds and options.
constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0x00000000;
constexpr DWORD DEVICE_NOTIFY_SERVICE_HANDLE = 0x00000001;
constexpr DWORD DEVICE_NOTIFY_ALL_INTERFACE_CLASSES = 0x00000004;

struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};
using PDEV_BROADCAST_HDR = DEV_BROADCAST_HDR*;

struct DEV_BROADCAST_DEVICEINTERFACE_W {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WCHAR dbcc_name[1];
};
using PDEV_BROADCAST_DEVICEINTERFACE_W = DEV_BROADCAST_DEVICEINTERFACE_W*;
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

extern "C" {

// hRecipient is a window (DEVICE_NOTIFY_WINDOW_HANDLE: WM_DEVICECHANGE is
// sent to it) or a service status handle (DEVICE_NOTIFY_SERVICE_HANDLE: the
// service's handler gets the device-event control). The filter is a
// DEV_BROADCAST_DEVICEINTERFACE_W of the interface class to hear about.
// Notices come from a thread of the platform's own.
HDEVNOTIFY RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle);

} // extern "C"

inline HDEVNOTIFY RegisterDeviceNotification(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags)
{
    return RegisterDeviceNotificationW(hRecipient, NotificationFilter, Flags);
}
