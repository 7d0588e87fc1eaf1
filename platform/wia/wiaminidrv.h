// The driver's side of the service: the operations the service calls on a
// still-image driver, and the service functions that call back into it.
#pragma once

#include "platform/wia/wiatransfer.h"

inline constexpr IID IID_IWiaMiniDrv = plat::MakeGuid("A4E07C19-52B6-4D3E-8F21-7C0B95D4E6A2");

struct IWiaMiniDrv : IUnknown {
    // *ppIDrvItemRoot is the driver's own root item, not a new reference:
    // the service takes a reference of its own for every item it keeps.
    virtual HRESULT drvInitializeWia(BYTE* pWiasContext, LONG lFlags, BSTR bstrDeviceID, BSTR bstrRootFullItemName,
                                     IUnknown* pStiDevice, IUnknown* pIUnknownOuter, IWiaDrvItem** ppIDrvItemRoot,
                                     IUnknown** ppIUnknownInner, LONG* plDevErrVal) = 0;
    virtual HRESULT drvAcquireItemData(BYTE* pWiasContext, LONG lFlags, PMINIDRV_TRANSFER_CONTEXT pmdtc,
                                       LONG* plDevErrVal) = 0;
    virtual HRESULT drvInitItemProperties(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) = 0;
    virtual HRESULT drvValidateItemProperties(BYTE* pWiasContext, LONG lFlags, ULONG nPropSpec,
                                              const PROPSPEC* pPropSpec, LONG* plDevErrVal) = 0;
    virtual HRESULT drvWriteItemProperties(BYTE* pWiasContext, LONG lFlags, PMINIDRV_TRANSFER_CONTEXT pmdtc,
                                           LONG* plDevErrVal) = 0;
    virtual HRESULT drvReadItemProperties(BYTE* pWiasContext, LONG lFlags, ULONG nPropSpec, const PROPSPEC* pPropSpec,
                                          LONG* plDevErrVal) = 0;
    virtual HRESULT drvLockWiaDevice(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) = 0;
    virtual HRESULT drvUnLockWiaDevice(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) = 0;
    virtual HRESULT drvAnalyzeItem(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) = 0;
    virtual HRESULT drvGetDeviceErrorStr(LONG lFlags, LONG lDevErrVal, LPOLESTR* ppszDevErrStr, LONG* plDevErr) = 0;
    virtual HRESULT drvDeviceCommand(BYTE* pWiasContext, LONG lFlags, const GUID* plCommand, IWiaDrvItem** ppWiaDrvItem,
                                     LONG* plDevErrVal) = 0;
    virtual HRESULT drvGetCapabilities(BYTE* pWiasContext, LONG lFlags, LONG* pcelt, WIA_DEV_CAP_DRV** ppCapabilities,
                                       LONG* plDevErrVal) = 0;
    virtual HRESULT drvDeleteItem(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) = 0;
    virtual HRESULT drvFreeDrvItemContext(LONG lFlags, BYTE* pSpecContext, LONG* plDevErrVal) = 0;
    virtual HRESULT drvGetWiaFormatInfo(BYTE* pWiasContext, LONG lFlags, LONG* pcelt, WIA_FORMAT_INFO** ppwfi,
                                        LONG* plDevErrVal) = 0;
    virtual HRESULT drvNotifyPnpEvent(const GUID* pEventGUID, BSTR bstrDeviceID, ULONG ulReserved) = 0;
    virtual HRESULT drvUnInitializeWia(BYTE* pWiasContext) = 0;
};

// A new driver item with one reference for the caller: its flags (item
// type), its name and full item name (copied; neither may be empty), the
// minidriver it belongs to (not held) and a device-specific context of
// cbDevSpecContext zeroed bytes, owned by the item, which *ppDevSpecContext
// receives when given.
HRESULT wiasCreateDrvItem(LONG lObjectFlags, BSTR bstrItemName, BSTR bstrFullItemName, IWiaMiniDrv* pIMiniDrv,
                          LONG cbDevSpecContext, BYTE** ppDevSpecContext, IWiaDrvItem** ppIWiaDrvItem);
// The driver item behind an item's context. The item keeps its reference:
// the caller does not release the pointer.
HRESULT wiasGetDrvItem(BYTE* pWiasContext, IWiaDrvItem** ppIWiaDrvItem);

// Keeps the valid values of "Format" in step with "Media Type": when the
// media type is in the context, the formats the driver reports for the
// current media type become the valid formats; a current format that is no
// longer valid is replaced by the first valid one and marked changed.
HRESULT wiasUpdateValidFormat(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, IWiaMiniDrv* pIMiniDrv);

// Keeps the scan rectangle inside the scan area (lWidth x lHeight in
// thousandths of an inch) at the current resolutions: the valid ranges of
// the start positions and extents follow the resolutions; when a resolution
// changed, position and extent are scaled to the new one; both are then
// brought inside the area and marked changed when they moved.
HRESULT wiasUpdateScanRect(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, LONG lWidth, LONG lHeight);
