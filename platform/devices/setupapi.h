// Device information sets and the configuration-manager calls, over the
// device records kept in the registry (DeviceDatabase.h).
//
// A device information set is a snapshot: the devices (and their device
// interfaces) that matched when SetupDiGetClassDevs built it. Presence is
// decided at that moment; CM_Get_DevNode_Status asks again.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/wintypes.h"
#include "platform/registry/winreg.h"

#include <cstddef>

using HDEVINFO = PVOID;
using DEVINST = DWORD;
using PDEVINST = DEVINST*;
using CONFIGRET = DWORD;
using DI_FUNCTION = UINT;
using HSPFILEQ = PVOID;
using PSP_FILE_CALLBACK_W = UINT (*)(PVOID Context, UINT Notification, UINT_PTR Param1, UINT_PTR Param2);

// The image device class: both its setup class and its device interface class.
inline constexpr GUID GUID_DEVINTERFACE_IMAGE = plat::MakeGuid("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
inline constexpr GUID GUID_DEVCLASS_IMAGE = GUID_DEVINTERFACE_IMAGE;

// SetupDiGetClassDevs flags.
constexpr DWORD DIGCF_DEFAULT = 0x01;
constexpr DWORD DIGCF_PRESENT = 0x02;
constexpr DWORD DIGCF_ALLCLASSES = 0x04;
constexpr DWORD DIGCF_PROFILE = 0x08;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;

// Device registry properties (SetupDiGetDeviceRegistryProperty).
constexpr DWORD SPDRP_DEVICEDESC = 0x00;
constexpr DWORD SPDRP_HARDWAREID = 0x01;
constexpr DWORD SPDRP_COMPATIBLEIDS = 0x02;
constexpr DWORD SPDRP_SERVICE = 0x04;
constexpr DWORD SPDRP_CLASS = 0x07;
constexpr DWORD SPDRP_CLASSGUID = 0x08;
constexpr DWORD SPDRP_DRIVER = 0x09;
constexpr DWORD SPDRP_MFG = 0x0B;
constexpr DWORD SPDRP_FRIENDLYNAME = 0x0C;
constexpr DWORD SPDRP_LOCATION_INFORMATION = 0x0D;
constexpr DWORD SPDRP_MAXIMUM_PROPERTY = 0x25;

// Device interface flags.
constexpr DWORD SPINT_ACTIVE = 0x1;
constexpr DWORD SPINT_DEFAULT = 0x2;
constexpr DWORD SPINT_REMOVED = 0x4;

// SetupDiOpenDevRegKey scope and key kind.
constexpr DWORD DICS_FLAG_GLOBAL = 0x1;
constexpr DWORD DIREG_DEV = 0x1;
constexpr DWORD DIREG_DRV = 0x2;

// Device installation functions a co-installer is called with.
constexpr DI_FUNCTION DIF_SELECTDEVICE = 0x01;
constexpr DI_FUNCTION DIF_INSTALLDEVICE = 0x02;
constexpr DI_FUNCTION DIF_REMOVE = 0x05;
constexpr DI_FUNCTION DIF_NEWDEVICEWIZARD_FINISHINSTALL = 0x1E;
constexpr DI_FUNCTION DIF_FINISHINSTALL_ACTION = 0x2A;

constexpr DWORD DI_FLAGSEX_FINISHINSTALL_ACTION = 0x00000008;

// Error codes of the device installation calls.
constexpr DWORD ERROR_INVALID_DEVINST_NAME = 0xE0000205;
constexpr DWORD ERROR_INVALID_CLASS = 0xE0000206;
constexpr DWORD ERROR_INVALID_REG_PROPERTY = 0xE0000209;
constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
constexpr DWORD ERROR_NO_SUCH_DEVICE_INTERFACE = 0xE0000225;

// Configuration-manager results.
constexpr CONFIGRET CR_SUCCESS = 0x00;
constexpr CONFIGRET CR_INVALID_POINTER = 0x03;
constexpr CONFIGRET CR_INVALID_FLAG = 0x04;
constexpr CONFIGRET CR_INVALID_DEVNODE = 0x05;
constexpr CONFIGRET CR_NO_SUCH_DEVNODE = 0x0D;
constexpr CONFIGRET CR_BUFFER_SMALL = 0x1A;

// CM_Locate_DevNode flags.
constexpr ULONG CM_LOCATE_DEVNODE_NORMAL = 0x0;
constexpr ULONG CM_LOCATE_DEVNODE_PHANTOM = 0x1;

// Device node status bits (CM_Get_DevNode_Status).
constexpr ULONG DN_DRIVER_LOADED = 0x00000002;
constexpr ULONG DN_STARTED = 0x00000008;
constexpr ULONG DN_DISABLEABLE = 0x00002000;
constexpr ULONG DN_REMOVABLE = 0x00004000;
constexpr ULONG DN_NT_ENUMERATOR = 0x00800000;
constexpr ULONG DN_NT_DRIVER = 0x01000000;

// Longest device instance id, in characters, without the terminator.
constexpr ULONG MAX_DEVICE_ID_LEN = 200;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    WCHAR DevicePath[1];
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_W = SP_DEVICE_INTERFACE_DETAIL_DATA_W*;

struct SP_DEVINSTALL_PARAMS_W {
    DWORD cbSize;
    DWORD Flags;
    DWORD FlagsEx;
    HWND hwndParent;
    PSP_FILE_CALLBACK_W InstallMsgHandler;
    PVOID InstallMsgHandlerContext;
    HSPFILEQ FileQueue;
    ULONG_PTR ClassInstallReserved;
    DWORD Reserved;
    WCHAR DriverPath[260];
};
using PSP_DEVINSTALL_PARAMS_W = SP_DEVINSTALL_PARAMS_W*;

struct COINSTALLER_CONTEXT_DATA {
    BOOL PostProcessing;
    DWORD InstallResult;
    PVOID PrivateData;
};
using PCOINSTALLER_CONTEXT_DATA = COINSTALLER_CONTEXT_DATA*;

// The sizes callers put into cbSize are those of the 64-bit system.
static_assert(sizeof(SP_DEVINFO_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8);
static_assert(sizeof(SP_DEVINSTALL_PARAMS_W) == 584);

extern "C" {

// ClassGuid names a setup class, or with DIGCF_DEVICEINTERFACE an interface
// class; DIGCF_ALLCLASSES takes every device. Enumerator, when given, keeps
// the devices of that enumerator ("USB") only.
HDEVINFO SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags);
HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent);
// Adds the recorded device with this instance id to the set (present or not).
BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND hwndParent, DWORD OpenFlags,
                            PSP_DEVINFO_DATA DeviceInfoData);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData);
BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize);
BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PWSTR DeviceInstanceId,
                                 DWORD DeviceInstanceIdSize, PDWORD RequiredSize);
BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W DeviceInstallParams);
BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W DeviceInstallParams);
// DIREG_DRV: the device's driver key (Control\Class\{class}\NNNN);
// DIREG_DEV: its hardware key (Enum\...\Device Parameters). INVALID_HANDLE_VALUE on failure.
HKEY SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD HwProfile,
                          DWORD KeyType, REGSAM samDesired);

CONFIGRET CM_Locate_DevNodeW(PDEVINST pdnDevInst, PCWSTR pDeviceID, ULONG ulFlags);
// CR_NO_SUCH_DEVNODE for a recorded device that is not present.
CONFIGRET CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags);
// Copies the instance id; the terminator only when there is room for it
// (CR_BUFFER_SMALL when the id itself does not fit).
CONFIGRET CM_Get_Device_IDW(DEVINST dnDevInst, PWSTR Buffer, ULONG BufferLen, ULONG ulFlags);
CONFIGRET CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags);

} // extern "C"

inline HDEVINFO SetupDiGetClassDevs(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    return SetupDiGetClassDevsW(ClassGuid, Enumerator, hwndParent, Flags);
}
inline BOOL SetupDiGetDeviceInterfaceDetail(HDEVINFO s, PSP_DEVICE_INTERFACE_DATA d,
                                            PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size, PDWORD required,
                                            PSP_DEVINFO_DATA info)
{
    return SetupDiGetDeviceInterfaceDetailW(s, d, detail, size, required, info);
}
inline BOOL SetupDiGetDeviceRegistryProperty(HDEVINFO s, PSP_DEVINFO_DATA d, DWORD p, PDWORD t, PBYTE b, DWORD n,
                                             PDWORD r)
{
    return SetupDiGetDeviceRegistryPropertyW(s, d, p, t, b, n, r);
}
inline BOOL SetupDiGetDeviceInstanceId(HDEVINFO s, PSP_DEVINFO_DATA d, PWSTR b, DWORD n, PDWORD r)
{
    return SetupDiGetDeviceInstanceIdW(s, d, b, n, r);
}
inline BOOL SetupDiGetDeviceInstallParams(HDEVINFO s, PSP_DEVINFO_DATA d, PSP_DEVINSTALL_PARAMS_W p)
{
    return SetupDiGetDeviceInstallParamsW(s, d, p);
}
inline BOOL SetupDiSetDeviceInstallParams(HDEVINFO s, PSP_DEVINFO_DATA d, PSP_DEVINSTALL_PARAMS_W p)
{
    return SetupDiSetDeviceInstallParamsW(s, d, p);
}
inline CONFIGRET CM_Get_Device_ID(DEVINST d, PWSTR b, ULONG n, ULONG f) { return CM_Get_Device_IDW(d, b, n, f); }
