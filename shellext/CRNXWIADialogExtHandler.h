// The WIA dialogs' extension of the device: it gives the device icon from
// the library's icon group and declines the logo and the dialog, so that
// the system's own dialogs are used.
#pragma once

#include "shellext/CComObjectRootEx.h"
#include "shellext/RNXShellExtIds.h"

// The library's own interface of the class: nothing beyond IUnknown.
struct IRNXWIADialogExtHandler : IUnknown {};

class CRNXWIADialogExtHandler final : public CComObjectRootEx, public IRNXWIADialogExtHandler, public IWiaUIExtension {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
    explicit CRNXWIADialogExtHandler(IUnknown* outer) : CComObjectRootEx(outer) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE DeviceDialog(PDEVICEDIALOGDATA pDeviceDialogData) override;
    HRESULT STDMETHODCALLTYPE GetDeviceIcon(BSTR bstrDeviceId, HICON* phIcon, ULONG nSize) override;
    HRESULT STDMETHODCALLTYPE GetDeviceBitmapLogo(BSTR bstrDeviceId, HBITMAP* phBitmap, ULONG nMaxWidth,
                                                  ULONG nMaxHeight) override;

protected:
    void* GetInterface(REFIID riid) override;
};
