// The image-acquisition service as its clients see it: the device manager
// (CLSID_WiaDevMgr, a local server) that opens a device by its id and gives
// its root item, the items with their property storage, and the UI
// extension interface through which the service's dialogs ask a device's
// own library for its icon, logo and dialog.
//
// The device manager here is the platform's own stand-in: it knows the
// installed imaging devices of the system root and gives a root item that
// carries the device's information properties. It does not load the
// device's driver.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"
#include "platform/kernel/Window.h"
#include "platform/oleauto/bstr.h"
#include "platform/wia/propidl.h"
#include "platform/wia/wiadef.h"

struct IEnumWiaItem;
struct IEnumWIA_DEV_CAPS;
struct IEnumWIA_DEV_INFO;
struct IEnumSTATPROPSTG;
struct IWiaEventCallback;
struct IStream;
struct STATPROPSETSTG;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;

// A device's id (WIA_DIP_DEV_ID) is its driver key,
// "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000".

inline constexpr CLSID CLSID_WiaDevMgr = plat::MakeGuid("3F6C2B90-7E41-4D0A-9B58-C2E71A46D803");
inline constexpr IID IID_IWiaDevMgr = plat::MakeGuid("7B0E5D14-2A96-4C3F-8E71-5D9A03B6F248");
inline constexpr IID IID_IWiaItem = plat::MakeGuid("C84A1E27-5F03-4B9D-A6E2-31F7D0C95B16");
inline constexpr IID IID_IWiaPropertyStorage = plat::MakeGuid("0D5F93A8-B147-4E62-9C3D-7A28E1F064B9");
inline constexpr IID IID_IWiaUIExtension = plat::MakeGuid("E2937C05-6D18-4FA4-B1E9-8C4D72A0F53E");

struct IWiaPropertyStorage : IUnknown {
    STDMETHOD(ReadMultiple)(ULONG cpspec, const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) PURE;
    STDMETHOD(WriteMultiple)
    (ULONG cpspec, const PROPSPEC rgpspec[], const PROPVARIANT rgpropvar[], PROPID propidNameFirst) PURE;
    STDMETHOD(DeleteMultiple)(ULONG cpspec, const PROPSPEC rgpspec[]) PURE;
    STDMETHOD(ReadPropertyNames)(ULONG cpropid, const PROPID rgpropid[], LPOLESTR rglpwstrName[]) PURE;
    STDMETHOD(WritePropertyNames)(ULONG cpropid, const PROPID rgpropid[], const LPOLESTR rglpwstrName[]) PURE;
    STDMETHOD(DeletePropertyNames)(ULONG cpropid, const PROPID rgpropid[]) PURE;
    STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(Enum)(IEnumSTATPROPSTG** ppenum) PURE;
    STDMETHOD(SetTimes)(const FILETIME* pctime, const FILETIME* patime, const FILETIME* pmtime) PURE;
    STDMETHOD(SetClass)(REFCLSID clsid) PURE;
    STDMETHOD(Stat)(STATPROPSETSTG* pstatpsstg) PURE;
    STDMETHOD(GetPropertyAttributes)(ULONG cpspec, PROPSPEC rgpspec[], ULONG rgflags[], PROPVARIANT rgpropvar[]) PURE;
    STDMETHOD(GetCount)(ULONG* pulNumProps) PURE;
    STDMETHOD(GetPropertyStream)(GUID* pCompatibilityId, IStream** ppIStream) PURE;
    STDMETHOD(SetPropertyStream)(GUID* pCompatibilityId, IStream* pIStream) PURE;
};

struct IWiaItem : IUnknown {
    STDMETHOD(GetItemType)(LONG* pItemType) PURE;
    STDMETHOD(AnalyzeItem)(LONG lFlags) PURE;
    STDMETHOD(EnumChildItems)(IEnumWiaItem** ppIEnumWiaItem) PURE;
    STDMETHOD(DeleteItem)(LONG lFlags) PURE;
    STDMETHOD(CreateChildItem)(LONG lFlags, BSTR bstrItemName, BSTR bstrFullItemName, IWiaItem** ppIWiaItem) PURE;
    STDMETHOD(EnumRegisterEventInfo)(LONG lFlags, const GUID* pEventGUID, IEnumWIA_DEV_CAPS** ppIEnum) PURE;
    STDMETHOD(FindItemByName)(LONG lFlags, BSTR bstrFullItemName, IWiaItem** ppIWiaItem) PURE;
    STDMETHOD(DeviceDlg)(HWND hwndParent, LONG lFlags, LONG lIntent, LONG* plItemCount, IWiaItem*** ppIWiaItem) PURE;
    STDMETHOD(DeviceCommand)(LONG lFlags, const GUID* pCmdGUID, IWiaItem** pIWiaItem) PURE;
    STDMETHOD(GetRootItem)(IWiaItem** ppIWiaItem) PURE;
    STDMETHOD(EnumDeviceCapabilities)(LONG lFlags, IEnumWIA_DEV_CAPS** ppIEnumWIA_DEV_CAPS) PURE;
    STDMETHOD(DumpItemData)(BSTR* bstrData) PURE;
    STDMETHOD(DumpDrvItemData)(BSTR* bstrData) PURE;
    STDMETHOD(DumpTreeItemData)(BSTR* bstrData) PURE;
    STDMETHOD(Diagnostic)(ULONG ulSize, BYTE* pBuffer) PURE;
};

struct IWiaDevMgr : IUnknown {
    STDMETHOD(EnumDeviceInfo)(LONG lFlag, IEnumWIA_DEV_INFO** ppIEnum) PURE;
    STDMETHOD(CreateDevice)(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) PURE;
    STDMETHOD(SelectDeviceDlg)
    (HWND hwndParent, LONG lDeviceType, LONG lFlags, BSTR* pbstrDeviceID, IWiaItem** ppItemRoot) PURE;
    STDMETHOD(SelectDeviceDlgID)(HWND hwndParent, LONG lDeviceType, LONG lFlags, BSTR* pbstrDeviceID) PURE;
    STDMETHOD(GetImageDlg)
    (HWND hwndParent, LONG lDeviceType, LONG lFlags, LONG lIntent, IWiaItem* pItemRoot, BSTR bstrFilename,
     GUID* pguidFormat) PURE;
    STDMETHOD(RegisterEventCallbackProgram)
    (LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, BSTR bstrCommandline, BSTR bstrName, BSTR bstrDescription,
     BSTR bstrIcon) PURE;
    STDMETHOD(RegisterEventCallbackInterface)
    (LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, IWiaEventCallback* pIWiaEventCallback,
     IUnknown** pEventObject) PURE;
    STDMETHOD(RegisterEventCallbackCLSID)
    (LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID, const GUID* pClsID, BSTR bstrName, BSTR bstrDescription,
     BSTR bstrIcon) PURE;
    STDMETHOD(AddDeviceDlg)(HWND hwndParent, LONG lFlags) PURE;
};

// What the service's dialogs hand a device's own dialog.
struct DEVICEDIALOGDATA {
    DWORD cbSize;
    HWND hwndParent;
    IWiaItem* pIWiaItemRoot;
    DWORD dwFlags;
    LONG lIntent;
    LONG lItemCount;
    IWiaItem** ppWiaItems;
};
using PDEVICEDIALOGDATA = DEVICEDIALOGDATA*;

struct IWiaUIExtension : IUnknown {
    STDMETHOD(DeviceDialog)(PDEVICEDIALOGDATA pDeviceDialogData) PURE;
    STDMETHOD(GetDeviceIcon)(BSTR bstrDeviceId, HICON* phIcon, ULONG nSize) PURE;
    STDMETHOD(GetDeviceBitmapLogo)(BSTR bstrDeviceId, HBITMAP* phBitmap, ULONG nMaxWidth, ULONG nMaxHeight) PURE;
};

namespace plat::wia {

// The device manager's class object, as CoGetClassObject answers it for
// CLSID_WiaDevMgr in a local-server context.
HRESULT GetDeviceManagerClassObject(REFIID riid, void** ppv);

} // namespace plat::wia
