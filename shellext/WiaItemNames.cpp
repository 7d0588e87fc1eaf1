#include "shellext/WiaItemNames.h"

#include <cstring>

HRESULT GetWiaItemNames(IDataObject* pdtobj, std::vector<std::u16string>* names)
{
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"WIAItemNames")), nullptr, DVASPECT_CONTENT, -1,
                     TYMED_HGLOBAL};
    STGMEDIUM medium{};
    HRESULT hr = pdtobj->GetData(&format, &medium);
    if (FAILED(hr))
        return hr;
    hr = E_FAIL;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        const SIZE_T bytes = GlobalSize(medium.hGlobal);
        if (const void* block = GlobalLock(medium.hGlobal)) {
            if (ParseWiaItemNames(static_cast<const BYTE*>(block), bytes, names))
                hr = S_OK;
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return hr;
}

bool ParseWiaItemNames(const BYTE* block, size_t bytes, std::vector<std::u16string>* names)
{
    // Copied out: the block need not be aligned for wide characters.
    std::u16string list(bytes / sizeof(char16_t), u'\0');
    if (!list.empty())
        std::memcpy(list.data(), block, list.size() * sizeof(char16_t));
    names->clear();
    size_t at = 0;
    while (at < list.size()) {
        const size_t end = list.find(u'\0', at);
        if (end == std::u16string::npos)
            break; // an entry runs past the block
        if (end == at)
            return true; // the closing empty entry
        names->push_back(list.substr(at, end - at));
        at = end + 1;
    }
    names->clear();
    return false;
}

std::vector<std::u16string> SplitDeviceName(const std::u16string& entry)
{
    std::vector<std::u16string> tokens;
    size_t at = 0;
    while (at <= entry.size()) {
        size_t end = entry.find(u':', at);
        if (end == std::u16string::npos)
            end = entry.size();
        if (end > at)
            tokens.push_back(entry.substr(at, end - at));
        at = end + 1;
    }
    return tokens;
}

HRESULT CreateWiaDevice(const std::u16string& deviceId, IWiaItem** root)
{
    plat::ComPtr<IWiaDevMgr> manager;
    HRESULT hr = CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                                  manager.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    BSTR id = SysAllocString(deviceId.c_str());
    if (!id)
        return E_OUTOFMEMORY;
    hr = manager->CreateDevice(id, root);
    SysFreeString(id);
    return hr;
}
