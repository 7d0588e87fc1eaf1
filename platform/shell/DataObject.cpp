#include "platform/shell/DataObject.h"

#include <cstring>
#include <string>

namespace plat::shell {

MemoryDataObject::~MemoryDataObject()
{
    if (m_item)
        m_item->Release();
}

void MemoryDataObject::SetBlock(CLIPFORMAT format, std::vector<BYTE> bytes) { m_blocks[format] = std::move(bytes); }

void MemoryDataObject::SetItem(IUnknown* item)
{
    if (item)
        item->AddRef();
    if (m_item)
        m_item->Release();
    m_item = item;
}

HRESULT MemoryDataObject::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    if (m_item && riid != IID_IUnknown)
        return m_item->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT MemoryDataObject::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    if (format->dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (format->lindex != -1)
        return DV_E_LINDEX;
    if (!(format->tymed & TYMED_HGLOBAL))
        return DV_E_TYMED;
    return m_blocks.count(format->cfFormat) ? S_OK : DV_E_FORMATETC;
}

HRESULT MemoryDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!medium)
        return E_INVALIDARG;
    const HRESULT hr = QueryGetData(format);
    if (FAILED(hr))
        return hr;
    const std::vector<BYTE>& bytes = m_blocks[format->cfFormat];
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!block)
        return E_OUTOFMEMORY;
    if (!bytes.empty()) {
        void* memory = GlobalLock(block);
        std::memcpy(memory, bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

std::vector<BYTE> WiaItemNamesBlock(const std::vector<std::u16string>& names)
{
    std::u16string list;
    for (const std::u16string& name : names) {
        list += name;
        list.push_back(u'\0');
    }
    list.push_back(u'\0');
    const auto* bytes = reinterpret_cast<const BYTE*>(list.data());
    return std::vector<BYTE>(bytes, bytes + list.size() * sizeof(char16_t));
}

} // namespace plat::shell
