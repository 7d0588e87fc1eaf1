// The still-image user-mode driver interface as the service calls it, with
// the records its operations fill.
#pragma once

#include "platform/base/guid.h"
#include "platform/com/objbase.h"
#include "platform/registry/winreg.h"
#include "platform/usb/fileio.h"

constexpr DWORD STI_GENCAP_NOTIFICATIONS = 0x00000001;
constexpr DWORD STI_GENCAP_WIA = 0x00000010;

constexpr DWORD STI_DEVSTATUS_ONLINE_STATE = 0x0001;
constexpr DWORD STI_DEVSTATUS_EVENTS_STATE = 0x0002;
constexpr DWORD STI_ONLINESTATE_OPERATIONAL = 0x00000001;
constexpr DWORD STI_EVENTHANDLING_PENDING = 0x00000004;

constexpr DWORD STI_MAX_INTERNAL_NAME_LENGTH = 255;

struct STI_USD_CAPS {
    DWORD dwVersion;
    DWORD dwGenericCaps;
};
using PSTI_USD_CAPS = STI_USD_CAPS*;

struct STI_DEVICE_STATUS {
    DWORD dwSize;
    DWORD StatusMask;
    DWORD dwOnlineState;
    DWORD dwHardwareStatusCode;
    DWORD dwEventHandlingState;
    DWORD dwPollingInterval;
};
using PSTI_DEVICE_STATUS = STI_DEVICE_STATUS*;

struct STI_ERROR_INFO {
    DWORD dwSize;
    DWORD dwGenericError;
    DWORD dwVendorError;
    WCHAR szExtendedErrorText[STI_MAX_INTERNAL_NAME_LENGTH];
};
using PSTI_ERROR_INFO = STI_ERROR_INFO*;
static_assert(sizeof(STI_ERROR_INFO) == 524);

struct STI_DIAG {
    DWORD dwSize;
    DWORD dwBasicDiagCode;
    DWORD dwVendorDiagCode;
    DWORD dwStatusMask;
    STI_ERROR_INFO sErrorInfo;
};
using LPSTI_DIAG = STI_DIAG*;
static_assert(sizeof(STI_DIAG) == 540);

struct STINOTIFY {
    DWORD dwSize;
    GUID guidNotificationCode;
    BYTE abNotificationData[64];
};
using LPSTINOTIFY = STINOTIFY*;

using STI_RAW_CONTROL_CODE = DWORD;

// The service's device-control block, given to a driver's Initialize: it
// names the device the driver serves.
inline constexpr IID IID_IStiDeviceControl = plat::MakeGuid("4C7E1A02-95D3-4B68-8F0A-2E6D91B3C457");
struct IStiDeviceControl : IUnknown {
    // The device path, terminated, into a buffer of cwDevicePathSize wide
    // characters; E_INVALIDARG when it does not fit.
    virtual HRESULT GetMyDevicePortName(LPWSTR pszDevicePath, DWORD cwDevicePathSize) = 0;
};
using PSTIDEVICECONTROL = IStiDeviceControl*;

// The service's device object, given to a WIA driver's drvInitializeWia. The
// driver keeps it; its operations are not used.
inline constexpr IID IID_IStiDevice = plat::MakeGuid("9B1E4F70-2C86-4D3A-B5E9-71A0C84D26F3");
struct IStiDevice : IUnknown {};

// The still-image interface version the service passes to Initialize.
constexpr DWORD STI_VERSION = 0x00000002;

inline constexpr IID IID_IStiUSD = plat::MakeGuid("6D3F0C52-8E1B-4A7C-B2D4-0F9A61C3E815");

struct IStiUSD : IUnknown {
    virtual HRESULT Initialize(PSTIDEVICECONTROL pHelDcb, DWORD dwStiVersion, HKEY hParametersKey) = 0;
    virtual HRESULT GetCapabilities(PSTI_USD_CAPS pDevCaps) = 0;
    virtual HRESULT GetStatus(PSTI_DEVICE_STATUS pDevStatus) = 0;
    virtual HRESULT DeviceReset() = 0;
    virtual HRESULT Diagnostic(LPSTI_DIAG pBuffer) = 0;
    virtual HRESULT Escape(STI_RAW_CONTROL_CODE EscapeFunction, LPVOID lpInData, DWORD cbInDataSize, LPVOID pOutData,
                           DWORD dwOutDataSize, LPDWORD pdwActualData) = 0;
    virtual HRESULT GetLastError(LPDWORD pdwLastDeviceError) = 0;
    virtual HRESULT LockDevice() = 0;
    virtual HRESULT UnLockDevice() = 0;
    virtual HRESULT RawReadData(LPVOID lpBuffer, LPDWORD lpdwNumberOfBytes, OVERLAPPED* lpOverlapped) = 0;
    virtual HRESULT RawWriteData(LPVOID lpBuffer, DWORD nNumberOfBytes, OVERLAPPED* lpOverlapped) = 0;
    virtual HRESULT RawReadCommand(LPVOID lpBuffer, LPDWORD lpdwNumberOfBytes, OVERLAPPED* lpOverlapped) = 0;
    virtual HRESULT RawWriteCommand(LPVOID lpBuffer, DWORD nNumberOfBytes, OVERLAPPED* lpOverlapped) = 0;
    virtual HRESULT SetNotificationHandle(HANDLE hEvent) = 0;
    virtual HRESULT GetNotificationData(LPSTINOTIFY lpNotify) = 0;
    virtual HRESULT GetLastErrorInfo(STI_ERROR_INFO* pLastErrorInfo) = 0;
};
