// A base for the tests' minidrivers: it lives on the test's stack, answers
// no interface, and every operation answers E_NOTIMPL, so a test driver
// overrides only what the code under test calls.
#pragma once

#include "platform/base/winerror.h"
#include "platform/wia/wiaminidrv.h"

namespace plat::wia::testing {

class MiniDriverStub : public IWiaMiniDrv {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT drvInitializeWia(BYTE*, LONG, BSTR, BSTR, IUnknown*, IUnknown*, IWiaDrvItem**, IUnknown**, LONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT drvAcquireItemData(BYTE*, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG*) override { return E_NOTIMPL; }
    HRESULT drvInitItemProperties(BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT drvValidateItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG*) override { return E_NOTIMPL; }
    HRESULT drvWriteItemProperties(BYTE*, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG*) override { return E_NOTIMPL; }
    HRESULT drvReadItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG*) override { return E_NOTIMPL; }
    HRESULT drvLockWiaDevice(BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT drvUnLockWiaDevice(BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT drvAnalyzeItem(BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT drvGetDeviceErrorStr(LONG, LONG, LPOLESTR*, LONG*) override { return E_NOTIMPL; }
    HRESULT drvDeviceCommand(BYTE*, LONG, const GUID*, IWiaDrvItem**, LONG*) override { return E_NOTIMPL; }
    HRESULT drvGetCapabilities(BYTE*, LONG, LONG*, WIA_DEV_CAP_DRV**, LONG*) override { return E_NOTIMPL; }
    HRESULT drvDeleteItem(BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT drvFreeDrvItemContext(LONG, BYTE*, LONG*) override { return E_NOTIMPL; }
    HRESULT drvGetWiaFormatInfo(BYTE*, LONG, LONG*, WIA_FORMAT_INFO**, LONG*) override { return E_NOTIMPL; }
    HRESULT drvNotifyPnpEvent(const GUID*, BSTR, ULONG) override { return E_NOTIMPL; }
    HRESULT drvUnInitializeWia(BYTE*) override { return E_NOTIMPL; }
};

} // namespace plat::wia::testing
