#include "shellext/CComObjectRootEx.h"

HRESULT CComObjectRootEx::NonDelegating::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : m_object->FindInterface(riid);
    if (!*ppv)
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

ULONG CComObjectRootEx::NonDelegating::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete m_object;
    return left;
}
