// An item that only tells what it is: every operation but its type answers
// E_NOTIMPL. The device manager's root item and the items of tests derive
// from it and give IUnknown and GetItemType (and what else they answer).
#pragma once

#include "platform/wia/wiaclient.h"

namespace plat::wia {

class WiaItemBase : public IWiaItem {
public:
    HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteItem(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateChildItem(LONG, BSTR, BSTR, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG, const GUID*, IEnumWIA_DEV_CAPS**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindItemByName(LONG, BSTR, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceDlg(HWND, LONG, LONG, LONG*, IWiaItem***) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceCommand(LONG, const GUID*, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG, IEnumWIA_DEV_CAPS**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DumpItemData(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Diagnostic(ULONG, BYTE*) override { return E_NOTIMPL; }

protected:
    virtual ~WiaItemBase() = default;
};

} // namespace plat::wia
