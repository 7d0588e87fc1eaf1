#include "shellext/CRNXWIADialogExtHandler.h"

#include "shellext/ResourceIds.h"

HRESULT CRNXWIADialogExtHandler::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXWIADialogExtHandler>(outer, riid, ppv, true);
}

void* CRNXWIADialogExtHandler::GetInterface(REFIID riid)
{
    if (riid == IID_IRNXWIADialogExtHandler)
        return static_cast<IRNXWIADialogExtHandler*>(this);
    if (riid == IID_IWiaUIExtension)
        return static_cast<IWiaUIExtension*>(this);
    return nullptr;
}

HRESULT CRNXWIADialogExtHandler::DeviceDialog(PDEVICEDIALOGDATA) { return E_NOTIMPL; }

HRESULT CRNXWIADialogExtHandler::GetDeviceIcon(BSTR, HICON* phIcon, ULONG nSize)
{
    // Nowhere to put the icon: refused before anything is loaded.
    if (!phIcon)
        return E_POINTER;
    if (nSize > 0x7FFFFFFF)
        return E_NOTIMPL; // no icon of such a size
    const int size = static_cast<int>(nSize);
    auto icon = static_cast<HICON>(
        LoadImageW(ShellExtInstance(), MAKEINTRESOURCEW(IDI_DEVICE_ICON), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (!icon)
        return E_NOTIMPL;
    *phIcon = CopyIcon(icon);
    DestroyIcon(icon);
    return *phIcon ? S_OK : E_OUTOFMEMORY;
}

HRESULT CRNXWIADialogExtHandler::GetDeviceBitmapLogo(BSTR, HBITMAP*, ULONG, ULONG) { return E_NOTIMPL; }
