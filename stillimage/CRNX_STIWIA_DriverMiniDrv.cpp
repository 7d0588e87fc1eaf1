// The minidriver operations. The item tree and acquisition are not served
// yet: every operation refuses, and the service sees E_NOTIMPL.
#include "stillimage/CRNX_STIWIA_Driver.h"

HRESULT CRNX_STIWIA_Driver::drvInitializeWia(BYTE*, LONG, BSTR, BSTR, IUnknown*, IUnknown*, IWiaDrvItem**,
                                             IUnknown**, LONG*)
{
    return E_NOTIMPL;
}
HRESULT CRNX_STIWIA_Driver::drvAcquireItemData(BYTE*, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvInitItemProperties(BYTE*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvValidateItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG*)
{
    return E_NOTIMPL;
}
HRESULT CRNX_STIWIA_Driver::drvWriteItemProperties(BYTE*, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG*)
{
    return E_NOTIMPL;
}
HRESULT CRNX_STIWIA_Driver::drvReadItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvLockWiaDevice(BYTE*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvUnLockWiaDevice(BYTE*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvAnalyzeItem(BYTE*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvGetDeviceErrorStr(LONG, LONG, LPOLESTR*, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvDeviceCommand(BYTE*, LONG, const GUID*, IWiaDrvItem**, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvGetCapabilities(BYTE*, LONG, LONG*, WIA_DEV_CAP_DRV**, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvDeleteItem(BYTE*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvFreeDrvItemContext(LONG, BYTE*, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvGetWiaFormatInfo(BYTE*, LONG, LONG*, WIA_FORMAT_INFO**, LONG*) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvNotifyPnpEvent(const GUID*, BSTR, ULONG) { return E_NOTIMPL; }
HRESULT CRNX_STIWIA_Driver::drvUnInitializeWia(BYTE*) { return E_NOTIMPL; }
