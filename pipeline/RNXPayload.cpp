#include "pipeline/RNXPayload.h"

#include "pipeline/TypeLibrary.h"

namespace Tessivo {

CRNXPayload::CRNXPayload() : DispatchImpl(PayloadTypeInfo()) {}

CRNXPayload::~CRNXPayload() { SysFreeString(m_MetaContext); }

HRESULT CRNXPayload::get_SessionLevel(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_SessionLevel;
    return S_OK;
}

HRESULT CRNXPayload::put_SessionLevel(LONG newVal)
{
    m_SessionLevel = newVal;
    return S_OK;
}

HRESULT CRNXPayload::get_Status(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_Status;
    return S_OK;
}

HRESULT CRNXPayload::put_Status(LONG newVal)
{
    m_Status = newVal;
    return S_OK;
}

HRESULT CRNXPayload::get_MetaContext(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    if (!m_MetaContext)
        return S_OK;
    *pVal = SysAllocStringLen(m_MetaContext, SysStringLen(m_MetaContext));
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT CRNXPayload::put_MetaContext(BSTR newVal)
{
    if (newVal == m_MetaContext)
        return S_OK;
    BSTR copy = nullptr;
    if (newVal) {
        copy = SysAllocStringLen(newVal, SysStringLen(newVal));
        if (!copy)
            return E_OUTOFMEMORY;
    }
    SysFreeString(m_MetaContext);
    m_MetaContext = copy;
    return S_OK;
}

} // namespace Tessivo
