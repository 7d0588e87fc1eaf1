// A data object holding blocks of bytes by clipboard format, as the shell
// hands one to an extension: GetData answers each format in a fresh global
// block the caller frees (ReleaseStgMedium).
#pragma once

#include "platform/com/RefCounted.h"
#include "platform/shell/objidl.h"

#include <map>
#include <string>
#include <vector>

namespace plat::shell {

class MemoryDataObject final : public RefCounted<IDataObject> {
public:
    // A new object with one reference.
    static MemoryDataObject* Create() { return new MemoryDataObject; }

    // Sets (or replaces) the bytes of a format.
    void SetBlock(CLIPFORMAT format, std::vector<BYTE> bytes);
    // The item the data stands for, as the shell's data objects of WIA
    // items do: QueryInterface answers the item's interfaces too (IWiaItem,
    // its property storage). Held until the data object goes.
    void SetItem(IUnknown* item);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    // DVASPECT_CONTENT, index -1 and TYMED_HGLOBAL only.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* pformatetc) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    MemoryDataObject() = default;
    ~MemoryDataObject() override;

    std::map<CLIPFORMAT, std::vector<BYTE>> m_blocks;
    IUnknown* m_item = nullptr;
};

// The "WIAItemNames" block naming WIA devices: each id zero-terminated,
// the list ended by an empty one.
std::vector<BYTE> WiaItemNamesBlock(const std::vector<std::u16string>& names);

} // namespace plat::shell
